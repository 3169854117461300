#pragma once

// Readable failure messages for Qt's string types.

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << "\" [";
    for (const QChar ch : text)
        *os << ' ' << std::hex << static_cast<unsigned>(ch.unicode());
    *os << std::dec << " ]";
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '[' << bytes.toHex(' ').toStdString() << ']';
}

inline void PrintTo(QStringView text, std::ostream* os)
{
    PrintTo(text.toString(), os);
}
