#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace creator {

// The file work of "Make autorun CD": the checks made before anything is
// written, the project folder, "autorun.inf" and "autorun.sh", and the
// copies of the movies, of the four files the disc needs beside them and of
// the runtime that lets its player start where Qt is not installed. The
// window runs the steps in their order and writes the playlist itself.
class CdBuild {
public:
    // Copied from the start folder in this order.
    static const QStringList& fixedFiles();
    // "[autorun]" CR LF "open=autorun.exe" CR LF: 29 bytes.
    static QByteArray autorunInf();
    // The script a Linux desktop offers to run when the disc is mounted: it
    // starts "autorun.exe" in the disc's folder.
    static QByteArray autorunScript();
    // The runtime, copied from the start folder after the fixed files: Qt's
    // settings file beside the player, and the folder of libraries and
    // plugins it names.
    static const QString& qtConfName();
    static const QString& runtimeFolderName();

    // Called while copying: the bare name of the file being copied, and the
    // bytes of all copies done so far out of the total.
    using Progress = std::function<void(const QString& fileName, qint64 done, qint64 total)>;

    CdBuild(QStringList moviePaths, QString startFolder);

    // Everything that would make the build fail or produce a wrong disc, one
    // sentence each; empty when the build may start. Checked before writing:
    // every movie, fixed file and runtime file is a readable regular file,
    // the runtime folder holds files, no two different movies share a file
    // name (ignoring letter case, as a disc does), no movie takes the name
    // of a file the disc needs for itself, and every name on the disc
    // survives being burned (discNameProblem).
    QStringList problems() const;
    // The files of the start folder's runtime folder, as paths relative to
    // the start folder ("runtime/plugins/platforms/libqxcb.so"), in a fixed
    // order; folders come before what they hold.
    QStringList runtimeFiles() const;
    // The bytes the copies will move (after problems() found none).
    qint64 bytesToCopy() const;

    // Creates folder/projectName unless it exists, and returns it. Throws
    // qev::FileError.
    static QString makeProjectFolder(const QString& folder, const QString& projectName);
    // Writes the 29 bytes of "autorun.inf" into projectFolder, replacing any
    // earlier file. Throws qev::FileError.
    static void writeAutorunInf(const QString& projectFolder);
    // Writes "autorun.sh", executable, into projectFolder, replacing any
    // earlier file. Throws qev::FileError.
    static void writeAutorunScript(const QString& projectFolder);
    // Copies every movie under its bare file name, then the fixed files,
    // then qt.conf and the runtime folder's files under the same relative
    // paths, each replacing a file of that name and keeping the source's
    // permission bits. A source that already is the target is left alone. Appends the
    // path of every file it wrote to written. Throws qev::FileError; copies
    // made before a failure stay, the failed one leaves nothing.
    void copyFiles(const QString& projectFolder, const Progress& progress, QStringList& written) const;

private:
    QStringList moviePaths_;
    QString startFolder_;
};

// Copies source to target, replacing target and giving it the permission
// bits of source; nothing happens when both name the same file. The copy is
// made under a temporary name in target's folder and renamed when complete;
// on failure it is removed. Adds the bytes copied to done and reports them.
// Returns whether a file was written. Throws qev::FileError.
bool copyReplacing(const QString& source, const QString& target, qint64& done, qint64 total,
                   const CdBuild::Progress& progress);

} // namespace creator
