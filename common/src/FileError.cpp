#include "qev/FileError.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qev {

namespace {

// strerror_r comes in two flavours; both are handled so the build does not
// depend on which one the C library declares.
[[maybe_unused]] const char* pickText(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* pickText(const char* result, const char*)
{
    return result;
}

} // namespace

FileError::FileError(QString path, QString systemText)
    : std::runtime_error(describe(systemText, path).toStdString())
    , path_(std::move(path))
    , systemText_(std::move(systemText))
{
}

QString FileError::message() const
{
    return describe(systemText_, path_);
}

QString FileError::describe(const QString& text, const QString& path)
{
    return text + QStringLiteral(": ") + path;
}

QString FileError::errnoText(int errorNumber)
{
    char buffer[256] = {};
    const char* text = pickText(strerror_r(errorNumber, buffer, sizeof buffer), buffer);
    if (!text || !*text)
        return QStringLiteral("Unknown error %1").arg(errorNumber);
    return QString::fromLocal8Bit(text);
}

QString FileError::openErrorText(const QFileDevice& file, const QString& path)
{
    // Qt words "this is a directory" its own way; keep the system's wording.
    if (QFileInfo(path).isDir())
        return errnoText(EISDIR);
    // QSaveFile refuses an existing file it may not replace with "Existing
    // file <path> is not writable", and the message adds the path again.
    if (file.error() == QFileDevice::WriteError && QFileInfo::exists(path) && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return errnoText(errno);
    return file.errorString();
}

QString errorText(const std::exception& error)
{
    if (const auto* file = dynamic_cast<const FileError*>(&error))
        return file->message();
    return QString::fromUtf8(error.what());
}

} // namespace qev
