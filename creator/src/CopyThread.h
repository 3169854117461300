#pragma once

#include "CdBuild.h"

#include <QString>
#include <QStringList>
#include <QThread>

// The copies of a disc build, run on a thread of their own: a build moves
// hundreds of megabytes, and the window must keep painting and answering
// meanwhile without running anything from its event queue in the middle of
// a copy. Progress is reported by signal; the result is read once the
// thread has finished.
class CopyThread : public QThread {
    Q_OBJECT
public:
    CopyThread(creator::CdBuild build, QString projectFolder, QObject* parent = nullptr);

    // After the thread has finished: every file the copies wrote, and the
    // failure that stopped them as it is shown to the user ("" when none).
    const QStringList& written() const { return written_; }
    const QString& failure() const { return failure_; }

signals:
    // The bare name of the file being copied, and the bytes of all copies
    // done so far out of the total.
    void progressed(const QString& fileName, qint64 done, qint64 total);

protected:
    void run() override;

private:
    const creator::CdBuild build_;
    const QString projectFolder_;
    QStringList written_;
    QString failure_;
};
