#pragma once

#include <QString>

class QWidget;

namespace qev {
class Platform;
}

// The one file dialog the creator shares between adding an item, loading and
// saving a project. Like the control it stands for, it keeps its properties
// from one use to the next: a command that sets no flags runs with the flags
// the previous command left. The title is never changed, and no default
// extension is ever added to a typed name. Each use opens in the folder of
// the file chosen last.
class FileDialog {
public:
    FileDialog(qev::Platform& platform, QWidget* owner);

    QString title = QStringLiteral("Select a file");
    QString fileName = QStringLiteral("Playlist.txt");
    QString filter = QStringLiteral("ProjectFile (*.txt)|*.txt");
    int flags = 0;

    // Show the dialog; afterwards fileName holds the chosen path, or "" when
    // the user cancelled.
    void showOpen();
    void showSave();

private:
    void rememberFolder();

    qev::Platform& platform_;
    QWidget* owner_;
    QString folder_;
};
