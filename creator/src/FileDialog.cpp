#include "FileDialog.h"

#include "qev/Platform.h"

FileDialog::FileDialog(qev::Platform& platform, QWidget* owner)
    : platform_(platform), owner_(owner)
{
}

void FileDialog::showOpen()
{
    fileName = platform_.openFile(owner_, {title, fileName, filter, flags});
}

void FileDialog::showSave()
{
    fileName = platform_.saveFile(owner_, {title, fileName, filter, flags});
}
