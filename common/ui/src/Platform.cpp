#include "qev/Platform.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace qev {

QString toQtNameFilters(const QString& filter)
{
    // "Text (*.txt)|*.txt|All (*.*)|*.*": descriptions sit at even positions
    // and already name their patterns, which is what QFileDialog shows.
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        if (!description.contains(u'('))
            description += QStringLiteral(" (%1)").arg(patterns);
        entries << description;
    }
    return entries.join(QStringLiteral(";;"));
}

void QtPlatform::message(QWidget* owner, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

Answer QtPlatform::askYesNoCancel(QWidget* owner, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

namespace {

QString runFileDialog(QWidget* owner, const FileDialogRequest& request, QFileDialog::AcceptMode mode)
{
    for (;;) {
        QFileDialog dialog(owner, request.title);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(mode);
        // A typed name of a file that does not exist yet is accepted as long as
        // its folder exists; the commands decide what to do with it.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(toQtNameFilters(request.filter));
        if (!(request.flags & FileDialogFlags::OverwritePrompt))
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!request.folder.isEmpty())
            dialog.setDirectory(request.folder);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        if (!(request.flags & FileDialogFlags::PathMustExist) || QFileInfo(chosen).dir().exists())
            return chosen;
        QMessageBox::warning(owner, request.title,
                             QObject::tr("The folder of %1 does not exist.").arg(chosen));
    }
}

} // namespace

QString QtPlatform::openFile(QWidget* owner, const FileDialogRequest& request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

QString QtPlatform::saveFile(QWidget* owner, const FileDialogRequest& request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

QString QtPlatform::browseForFolder(QWidget* owner, const QString& prompt)
{
    return QFileDialog::getExistingDirectory(owner, prompt, QString(),
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void QtPlatform::showModal(QDialog* dialog)
{
    dialog->exec();
}

} // namespace qev
