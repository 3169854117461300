#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace qev {

enum class Answer { Ok, Yes, No, Cancel };

// What a common open or save dialog is asked to show.
struct FileDialogRequest {
    QString title;     // the dialog's caption
    QString fileName;  // the file name it starts with
    QString filter;    // in the "Description (*.ext)|*.ext" form, pairs separated by "|"
    int flags = 0;     // FileDialogFlags
    QString folder;    // the folder it opens in; "" for the current directory
};

// Option flags of the common file dialogs, with their historic values.
namespace FileDialogFlags {
inline constexpr int OverwritePrompt = 0x2;  // ask before replacing an existing file
inline constexpr int HideReadOnly = 0x4;     // no "open read-only" check box
inline constexpr int PathMustExist = 0x800;  // the typed folder must exist
}

// Everything the programs ask of the desktop, behind one narrow interface.
// The programs pass QtPlatform; tests pass a scripted implementation that
// answers the next question and records what was asked.
class Platform {
public:
    virtual ~Platform() = default;

    // A modal message with an OK button only and no icon.
    virtual void message(QWidget* owner, const QString& caption, const QString& text) = 0;
    // A modal Yes/No/Cancel question, Yes the default button, no icon.
    virtual Answer askYesNoCancel(QWidget* owner, const QString& caption, const QString& text) = 0;
    // The chosen file's full path, or "" when cancelled.
    virtual QString openFile(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QString saveFile(QWidget* owner, const FileDialogRequest& request) = 0;
    // The chosen folder's path, or "" when cancelled.
    virtual QString browseForFolder(QWidget* owner, const QString& prompt) = 0;
    // Shows dialog modally and returns when it has been hidden.
    virtual void showModal(QDialog* dialog) = 0;
};

// The real desktop: QMessageBox, QFileDialog, QDialog::exec.
class QtPlatform : public Platform {
public:
    void message(QWidget* owner, const QString& caption, const QString& text) override;
    Answer askYesNoCancel(QWidget* owner, const QString& caption, const QString& text) override;
    QString openFile(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFile(QWidget* owner, const FileDialogRequest& request) override;
    QString browseForFolder(QWidget* owner, const QString& prompt) override;
    void showModal(QDialog* dialog) override;
};

// "Flash (*.swf)|*.swf" -> "Flash (*.swf)" entries as QFileDialog expects them.
QString toQtNameFilters(const QString& filter);

} // namespace qev
