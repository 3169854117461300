#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace creator {

// The file work of "Make autorun CD": the checks made before anything is
// written, the project folder, "autorun.inf", and the copies of the movies
// and of the four files the disc needs beside them. The window runs the
// steps in their order and writes the playlist itself.
class CdBuild {
public:
    // Copied from the start folder in this order.
    static const QStringList& fixedFiles();
    // "[autorun]" CR LF "open=autorun.exe" CR LF: 29 bytes.
    static QByteArray autorunInf();

    // Called while copying: the bare name of the file being copied, and the
    // bytes of all copies done so far out of the total.
    using Progress = std::function<void(const QString& fileName, qint64 done, qint64 total)>;

    CdBuild(QStringList moviePaths, QString startFolder);

    // Everything that would make the build fail or produce a wrong disc, one
    // sentence each; empty when the build may start. Checked before writing:
    // every movie and fixed file is a regular file, no two different movies
    // share a file name (ignoring letter case, as a disc does), and no movie
    // takes the name of a file the disc needs for itself.
    QStringList problems() const;
    // The bytes the copies will move (after problems() found none).
    qint64 bytesToCopy() const;

    // Creates folder/projectName unless it exists, and returns it. Throws
    // qev::FileError.
    static QString makeProjectFolder(const QString& folder, const QString& projectName);
    // Writes the 29 bytes of "autorun.inf" into projectFolder, replacing any
    // earlier file. Throws qev::FileError.
    static void writeAutorunInf(const QString& projectFolder);
    // Copies every movie under its bare file name, then the fixed files,
    // each replacing a file of that name and keeping the source's permission
    // bits. A source that already is the target is left alone. Appends the
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
