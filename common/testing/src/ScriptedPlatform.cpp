#include "qev/ScriptedPlatform.h"

#include <QDialog>

#include <gtest/gtest.h>

namespace qev {

namespace {
template <typename T>
bool takeNext(std::deque<T>& queue, T& out)
{
    if (queue.empty())
        return false;
    out = std::move(queue.front());
    queue.pop_front();
    return true;
}
} // namespace

std::vector<ScriptedPlatform::Asked> ScriptedPlatform::asked(Asked::Kind kind) const
{
    std::vector<Asked> result;
    for (const auto& a : asked_)
        if (a.kind == kind)
            result.push_back(a);
    return result;
}

std::vector<QString> ScriptedPlatform::messages() const
{
    std::vector<QString> texts;
    for (const auto& a : asked_)
        if (a.kind == Asked::Message)
            texts.push_back(a.text);
    return texts;
}

bool ScriptedPlatform::allAnswersUsed() const
{
    return questions_.empty() && openFiles_.empty() && saveFiles_.empty() && folders_.empty()
        && modals_.empty();
}

void ScriptedPlatform::message(QWidget*, const QString& caption, const QString& text)
{
    asked_.push_back({Asked::Message, caption, text, {}});
}

Answer ScriptedPlatform::askYesNoCancel(QWidget*, const QString& caption, const QString& text)
{
    asked_.push_back({Asked::Question, caption, text, {}});
    Answer a = Answer::Cancel;
    if (!takeNext(questions_, a))
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return a;
}

QString ScriptedPlatform::openFile(QWidget*, const FileDialogRequest& request)
{
    asked_.push_back({Asked::OpenFile, request.title, {}, request});
    QString path;
    if (!takeNext(openFiles_, path))
        ADD_FAILURE() << "unexpected open dialog";
    return path;
}

QString ScriptedPlatform::saveFile(QWidget*, const FileDialogRequest& request)
{
    asked_.push_back({Asked::SaveFile, request.title, {}, request});
    QString path;
    if (!takeNext(saveFiles_, path))
        ADD_FAILURE() << "unexpected save dialog";
    return path;
}

QString ScriptedPlatform::browseForFolder(QWidget*, const QString& prompt)
{
    asked_.push_back({Asked::Folder, {}, prompt, {}});
    QString path;
    if (!takeNext(folders_, path))
        ADD_FAILURE() << "unexpected folder picker";
    return path;
}

void ScriptedPlatform::showModal(QDialog* dialog)
{
    asked_.push_back({Asked::Modal, dialog->windowTitle(), {}, {}});
    std::function<void(QDialog*)> action;
    if (!takeNext(modals_, action)) {
        ADD_FAILURE() << "unexpected modal dialog: " << dialog->windowTitle().toStdString();
        dialog->close();
        return;
    }
    dialog->show();
    action(dialog);
    // A dialog the script left open is closed as its close box would close it.
    if (dialog->isVisible())
        dialog->close();
}

} // namespace qev
