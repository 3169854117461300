#include "CommonDialog.h"

#include "qev/Platform.h"

CommonDialog::CommonDialog(qev::Platform& platform, QWidget* owner)
    : platform_(platform), owner_(owner)
{
}

void CommonDialog::ShowOpen()
{
    FileName = platform_.openFile(owner_, {DialogTitle, FileName, Filter, Flags});
}

void CommonDialog::ShowSave()
{
    FileName = platform_.saveFile(owner_, {DialogTitle, FileName, Filter, Flags});
}
