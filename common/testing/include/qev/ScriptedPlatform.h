#pragma once

#include "qev/Platform.h"

#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace qev {

// A Platform for tests: each question is answered by the next scripted
// answer of its kind, and every question is recorded. A question with no
// scripted answer fails the running test and is answered with a cancel.
class ScriptedPlatform : public Platform {
public:
    struct Asked {
        enum Kind { Message, Question, OpenFile, SaveFile, Folder, Modal } kind;
        QString caption;      // message caption or dialog title
        QString text;         // message text, folder prompt
        FileDialogRequest request;  // for OpenFile and SaveFile
    };

    // Answers, consumed in order per kind.
    void answerQuestion(Answer a) { questions_.push_back(a); }
    void answerOpenFile(QString path) { openFiles_.push_back(std::move(path)); }
    void answerSaveFile(QString path) { saveFiles_.push_back(std::move(path)); }
    void answerFolder(QString path) { folders_.push_back(std::move(path)); }
    // Runs while the dialog is shown: type, click its buttons. If the dialog
    // is still visible afterwards it is closed as the window's close box would.
    void answerModal(std::function<void(QDialog*)> action) { modals_.push_back(std::move(action)); }

    const std::vector<Asked>& asked() const { return asked_; }
    std::vector<Asked> asked(Asked::Kind kind) const;
    // Texts of the messages shown, in order.
    std::vector<QString> messages() const;
    bool allAnswersUsed() const;
    void clearAsked() { asked_.clear(); }

    void message(QWidget* owner, const QString& caption, const QString& text) override;
    Answer askYesNoCancel(QWidget* owner, const QString& caption, const QString& text) override;
    QString openFile(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFile(QWidget* owner, const FileDialogRequest& request) override;
    QString browseForFolder(QWidget* owner, const QString& prompt) override;
    void showModal(QDialog* dialog) override;

private:
    std::deque<Answer> questions_;
    std::deque<QString> openFiles_, saveFiles_, folders_;
    std::deque<std::function<void(QDialog*)>> modals_;
    std::vector<Asked> asked_;
};

} // namespace qev
