#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

class QFileDevice;

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
    // The one wording of every failure that concerns a file, whichever
    // part of the programs raised it: what went wrong, then the file.
    static QString describe(const QString& text, const QString& path);

    // The text of errno as the system words it.
    static QString errnoText(int errorNumber);
    // Why file could not be opened to read or replace path, in the system's
    // words where Qt's own would name the path a second time.
    static QString openErrorText(const QFileDevice& file, const QString& path);

private:
    QString path_;
    QString systemText_;
};

// The text of any exception the programs catch, as shown to the user.
// Exceptions raised by our code carry UTF-8 (QString::toStdString), and
// those of the C++ library plain ASCII, so the text is always read as UTF-8
// whatever the locale.
QString errorText(const std::exception& error);

} // namespace qev
