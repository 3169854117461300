#include "qev/FileLookup.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace qev {

namespace {

// True when path names a regular file, following symbolic links.
bool isRegularFile(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::optional<QString> findRegularFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    if (isRegularFile(path))
        return path;

    // The exact name is missing (or is no regular file): look in the same
    // folder for a regular file whose name differs only in letter case.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    if (name.isEmpty())
        return std::nullopt;
    const QString folderPart = slash < 0 ? QString() : path.left(slash + 1);
    const QDir folder(slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : path.left(slash)));
    if (!folder.exists())
        return std::nullopt;

    // Sorted by name so that, should several names match, the choice does not
    // depend on the order the file system lists them in.
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) != 0 || entry == name)
            continue;
        const QString candidate = folderPart + entry;
        if (isRegularFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

} // namespace qev
