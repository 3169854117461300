#include "CopyThread.h"

#include "qev/FileError.h"

CopyThread::CopyThread(creator::CdBuild build, QString projectFolder, QObject* parent)
    : QThread(parent), build_(std::move(build)), projectFolder_(std::move(projectFolder))
{
}

void CopyThread::run()
{
    // Nothing may leave a thread's function: every failure becomes the text
    // the window shows when the thread has finished.
    try {
        build_.copyFiles(
            projectFolder_,
            [this](const QString& fileName, qint64 done, qint64 total) { emit progressed(fileName, done, total); },
            written_);
    } catch (const std::exception& e) {
        failure_ = qev::errorText(e);
    }
}
