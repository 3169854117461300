#include "FileDialog.h"

#include "qev/Platform.h"

#include <QFileInfo>

FileDialog::FileDialog(qev::Platform& platform, QWidget* owner)
    : platform_(platform), owner_(owner)
{
}

void FileDialog::showOpen()
{
    fileName = platform_.openFile(owner_, {title, fileName, filter, flags, folder_});
    rememberFolder();
}

void FileDialog::showSave()
{
    fileName = platform_.saveFile(owner_, {title, fileName, filter, flags, folder_});
    rememberFolder();
}

void FileDialog::rememberFolder()
{
    // A cancelled dialog leaves the folder as it was.
    if (!fileName.isEmpty())
        folder_ = QFileInfo(fileName).absolutePath();
}
