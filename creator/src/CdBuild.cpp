#include "CdBuild.h"

#include "DiscNames.h"
#include "qev/FileError.h"
#include "qev/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace creator {

namespace {

const QString PlaylistName = QStringLiteral("PlayList.qev");
const QString AutorunName = QStringLiteral("autorun.inf");
const QString AutorunScriptName = QStringLiteral("autorun.sh");

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void raise(const QString& path, int error)
{
    throw qev::FileError(path, qev::FileError::errnoText(error));
}

// Writes content into folder/name through a temporary file, replacing any
// earlier file only once complete; with permissions, the file gets exactly
// those bits.
void writeWhole(const QString& folder, const QString& name, const QByteArray& content,
                std::optional<QFileDevice::Permissions> permissions = std::nullopt)
{
    const QString path = qev::joinPath(folder, name);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw qev::FileError(path, qev::FileError::openErrorText(file, path));
    if (file.write(content) != content.size() || !file.flush()
        || (permissions && !file.setPermissions(*permissions))) {
        const QString text = file.errorString();
        file.cancelWriting();
        throw qev::FileError(path, text);
    }
    if (!file.commit())
        throw qev::FileError(path, file.errorString());
}

// Makes folder and the folders above it up to an existing one. Throws
// qev::FileError.
void makeFolders(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return;
    const qsizetype slash = folder.lastIndexOf(u'/');
    if (slash > 0)
        makeFolders(folder.left(slash));
    if (::mkdir(nativePath(folder).constData(), 0777) == 0)
        return;
    const int error = errno;
    if (error != EEXIST)
        raise(folder, error);
    if (!QFileInfo(folder).isDir())
        raise(folder, ENOTDIR);
}

// Closes a descriptor when the copy leaves, errors included.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failing close (delayed write errors) is seen.
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Why path cannot be opened for reading, in the system's words; "" when it
// can. Opening is the test, so permission bits, access lists and the like
// all count as the copy will meet them.
QString readProblem(const QString& path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return qev::FileError::errnoText(errno);
    ::close(fd);
    return {};
}

// Removes a partly written copy when the copy leaves early.
class PartialFile {
public:
    explicit PartialFile(QByteArray path) : path_(std::move(path)) {}
    ~PartialFile()
    {
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    // The copy is complete and has its own name now.
    void keep() { path_.clear(); }

private:
    QByteArray path_;
};

} // namespace

const QStringList& CdBuild::fixedFiles()
{
    static const QStringList names = {QStringLiteral("Flash.ocx"), QStringLiteral("COMDLG32.OCX"),
                                      QStringLiteral("MSCOMCTL.OCX"), QStringLiteral("autorun.exe")};
    return names;
}

QByteArray CdBuild::autorunInf()
{
    return QByteArrayLiteral("[autorun]\r\nopen=autorun.exe\r\n");
}

QByteArray CdBuild::autorunScript()
{
    // The player takes the folder it is started in as the disc's folder.
    return QByteArrayLiteral("#!/bin/sh\n"
                             "# Plays the menu of this disc; desktops offer to run this when it is inserted.\n"
                             "cd \"$(dirname \"$0\")\" || exit 1\n"
                             "exec ./autorun.exe \"$@\"\n");
}

const QString& CdBuild::qtConfName()
{
    static const QString name = QStringLiteral("qt.conf");
    return name;
}

const QString& CdBuild::runtimeFolderName()
{
    static const QString name = QStringLiteral("runtime");
    return name;
}

QStringList CdBuild::runtimeFiles() const
{
    const QString runtime = qev::joinPath(startFolder_, runtimeFolderName());
    QStringList files;
    QDirIterator it(runtime, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << runtimeFolderName() + u'/' + QDir(runtime).relativeFilePath(it.next());
    // Sorted by path, so a folder's files come together and a build is the
    // same every time.
    files.sort();
    return files;
}

CdBuild::CdBuild(QStringList moviePaths, QString startFolder)
    : moviePaths_(std::move(moviePaths)), startFolder_(std::move(startFolder))
{
}

QStringList CdBuild::problems() const
{
    QStringList problems;
    QStringList reserved = fixedFiles();
    reserved << PlaylistName << AutorunName << AutorunScriptName << qtConfName() << runtimeFolderName();

    // Bare names folded to lower case -> the first movie file that takes it.
    QHash<QString, QString> takenBy;
    QSet<QString> reported;
    for (const QString& path : moviePaths_) {
        if (!isRegularFile(path)) {
            if (!reported.contains(path))
                problems << QStringLiteral("The movie file is missing: %1").arg(path);
            reported.insert(path);
            continue;
        }
        if (const QString why = readProblem(path); !why.isEmpty()) {
            if (!reported.contains(path))
                problems << QStringLiteral("The movie file cannot be read (%1): %2").arg(why, path);
            reported.insert(path);
            continue;
        }
        const QString name = qev::fileNameOf(path);
        const QString key = name.toCaseFolded();
        if (const QString why = discNameProblem(name); !why.isEmpty()) {
            if (!reported.contains(path))
                problems << QStringLiteral("The movie %1 has the file name \"%2\", which a burned disc "
                                           "cannot keep: %3.")
                                .arg(path, name, why);
            reported.insert(path);
            continue;
        }
        if (reserved.contains(name, Qt::CaseInsensitive)) {
            if (!reported.contains(path))
                problems << QStringLiteral("The movie %1 has the file name \"%2\", which the disc "
                                           "needs for a file of its own.")
                                .arg(path, name);
            reported.insert(path);
            continue;
        }
        const auto earlier = takenBy.constFind(key);
        if (earlier == takenBy.constEnd()) {
            takenBy.insert(key, path);
            continue;
        }
        const QString first = *earlier;
        if (QFileInfo(first).canonicalFilePath() == QFileInfo(path).canonicalFilePath())
            continue; // the same file listed twice is copied once
        const QString pair = first + u'\n' + path;
        if (!reported.contains(pair))
            problems << QStringLiteral("Two different movies would both be \"%1\" on the disc:\n%2\n%3")
                            .arg(name, first, path);
        reported.insert(pair);
    }
    QStringList startFiles = fixedFiles();
    startFiles << qtConfName();
    for (const QString& name : startFiles) {
        const QString path = qev::joinPath(startFolder_, name);
        if (!isRegularFile(path))
            problems << QStringLiteral("The start folder lacks the file %1: %2").arg(name, path);
        else if (const QString why = readProblem(path); !why.isEmpty())
            problems << QStringLiteral("The file %1 of the start folder cannot be read (%2): %3")
                            .arg(name, why, path);
    }
    const QString runtime = qev::joinPath(startFolder_, runtimeFolderName());
    const QStringList files = runtimeFiles();
    if (!QFileInfo(runtime).isDir()) {
        problems << QStringLiteral("The start folder lacks the runtime folder, which the disc's player "
                                   "needs where Qt is not installed: %1")
                        .arg(runtime);
    } else if (files.isEmpty()) {
        problems << QStringLiteral("The runtime folder of the start folder holds no files: %1").arg(runtime);
    }
    for (const QString& relative : files) {
        const QString path = qev::joinPath(startFolder_, relative);
        if (const QString why = readProblem(path); !why.isEmpty())
            problems << QStringLiteral("The file %1 of the start folder cannot be read (%2): %3")
                            .arg(relative, why, path);
        for (const QString& part : relative.split(u'/')) {
            if (const QString why = discNameProblem(part); !why.isEmpty())
                problems << QStringLiteral("The runtime file %1 has a name a burned disc cannot keep: %2.")
                                .arg(path, why);
        }
    }
    return problems;
}

qint64 CdBuild::bytesToCopy() const
{
    qint64 total = 0;
    for (const QString& path : moviePaths_)
        total += QFileInfo(path).size();
    for (const QString& name : fixedFiles())
        total += QFileInfo(qev::joinPath(startFolder_, name)).size();
    total += QFileInfo(qev::joinPath(startFolder_, qtConfName())).size();
    for (const QString& relative : runtimeFiles())
        total += QFileInfo(qev::joinPath(startFolder_, relative)).size();
    return total;
}

QString CdBuild::makeProjectFolder(const QString& folder, const QString& projectName)
{
    const QString project = qev::joinPath(folder, projectName);
    if (::mkdir(nativePath(project).constData(), 0777) == 0)
        return project;
    const int error = errno;
    if (error == EEXIST) {
        // Reused whatever it holds, as long as it is a folder.
        if (QFileInfo(project).isDir())
            return project;
        raise(project, ENOTDIR);
    }
    raise(project, error);
}

void CdBuild::writeAutorunInf(const QString& projectFolder)
{
    writeWhole(projectFolder, AutorunName, autorunInf());
}

void CdBuild::writeAutorunScript(const QString& projectFolder)
{
    // Executable by everyone: Rock Ridge keeps the bits on the disc.
    writeWhole(projectFolder, AutorunScriptName, autorunScript(),
               QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                   | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

void CdBuild::copyFiles(const QString& projectFolder, const Progress& progress,
                        QStringList& written) const
{
    const qint64 total = bytesToCopy();
    qint64 done = 0;
    QSet<QString> copied;
    for (const QString& source : moviePaths_) {
        const QString target = qev::joinPath(projectFolder, qev::fileNameOf(source));
        // A movie listed twice needs one copy.
        const QString key = QFileInfo(source).canonicalFilePath() + u'\n' + target;
        if (copied.contains(key)) {
            done += QFileInfo(source).size();
            continue;
        }
        if (copyReplacing(source, target, done, total, progress))
            written << target;
        copied.insert(key);
    }
    QStringList fromStart = fixedFiles();
    fromStart << qtConfName() << runtimeFiles();
    for (const QString& relative : fromStart) {
        const QString target = qev::joinPath(projectFolder, relative);
        makeFolders(target.left(target.lastIndexOf(u'/')));
        if (copyReplacing(qev::joinPath(startFolder_, relative), target, done, total, progress))
            written << target;
    }
}

bool copyReplacing(const QString& source, const QString& target, qint64& done, qint64 total,
                   const CdBuild::Progress& progress)
{
    const QString name = qev::fileNameOf(target);
    Descriptor in(::open(nativePath(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        raise(source, errno);
    struct stat from {};
    if (::fstat(in.get(), &from) != 0)
        raise(source, errno);

    // Truncating a target that is the source itself would destroy the movie.
    struct stat to {};
    if (::stat(nativePath(target).constData(), &to) == 0 && to.st_dev == from.st_dev
        && to.st_ino == from.st_ino) {
        done += from.st_size;
        if (progress)
            progress(name, done, total);
        return false;
    }

    // The copy is written under a temporary name beside the target and takes
    // the target's name only when complete: a failed copy (disk full) never
    // leaves a truncated file that looks whole, nor spoils an earlier one.
    const qsizetype slash = target.lastIndexOf(u'/');
    QByteArray temporary =
        nativePath(target.left(slash + 1) + u'.' + name + QStringLiteral(".XXXXXX"));
    Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0)
        raise(target, errno);
    PartialFile partial(temporary);
    if (progress)
        progress(name, done, total);

    constexpr std::size_t chunk = 8 << 20;
    bool kernelCopy = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t moved = -1;
        if (kernelCopy) {
            moved = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, chunk, 0);
            if (moved < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved < 0)
                raise(target, errno);
        } else {
            if (buffer.empty())
                buffer.resize(1 << 20);
            const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                raise(source, errno);
            }
            moved = got;
            for (ssize_t written = 0; written < got;) {
                const ssize_t n = ::write(out.get(), buffer.data() + written, std::size_t(got - written));
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    raise(target, errno);
                }
                written += n;
            }
        }
        if (moved == 0)
            break;
        done += moved;
        if (progress)
            progress(name, done, total);
    }
    // The copy keeps the source's permission bits: "autorun.exe" must run
    // from the folder it was copied to.
    if (::fchmod(out.get(), from.st_mode & 07777) != 0)
        raise(target, errno);
    if (out.close() != 0)
        raise(target, errno);
    if (::rename(temporary.constData(), nativePath(target).constData()) != 0)
        raise(target, errno);
    partial.keep();
    return true;
}

} // namespace creator
