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
// extension is ever added to a typed name.
class CommonDialog {
public:
    CommonDialog(qev::Platform& platform, QWidget* owner);

    QString DialogTitle = QStringLiteral("Select a file");
    QString FileName = QStringLiteral("Playlist.txt");
    QString Filter = QStringLiteral("ProjectFile (*.txt)|*.txt");
    int Flags = 0;

    // Show the dialog; afterwards FileName holds the chosen path, or "" when
    // the user cancelled.
    void ShowOpen();
    void ShowSave();

private:
    qev::Platform& platform_;
    QWidget* owner_;
};
