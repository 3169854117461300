#pragma once

#include <QString>

class QFileDevice;

#include <stdexcept>

namespace qev {

// A failure to read or write a file: the system's error text and the path.
// Raised by file code; window code catches it where an event handler was
// entered and shows message().
class FileError : public std::runtime_error {
public:
    FileError(QString path, QString systemText);

    const QString& path() const { return path_; }
    const QString& systemText() const { return systemText_; }
    // "<system text>: <path>", as shown to the user.
    QString message() const;

    // The text of errno as the system words it.
    static QString errnoText(int errorNumber);
    // Why file could not be opened to read or replace path, in the system's
    // words where Qt's own would name the path a second time.
    static QString openErrorText(const QFileDevice& file, const QString& path);

private:
    QString path_;
    QString systemText_;
};

} // namespace qev
