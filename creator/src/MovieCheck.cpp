#include "MovieCheck.h"

#include "qev/CodePage.h"
#include "qev/CryptoModule.h"

#include <QStringList>

namespace {

// The characters of text that the code page has no code for, each once, in
// the order they first appear, joined by ", ".
QString missingCharacters(const QString& text, const qev::CodePage& codePage)
{
    QStringList missing;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!codePage.canEncode(character) && !missing.contains(character))
            missing << character;
        i += length;
    }
    return missing.join(QStringLiteral(", "));
}

} // namespace

QString pathProblem(const QString& path, const qev::CodePage& codePage)
{
    if (!codePage.canEncode(path))
        return QStringLiteral("The movie's path holds characters that this system's code page cannot "
                              "store: %1\n%2")
            .arg(missingCharacters(path, codePage), path);
    const QByteArray stored = codePage.encode(CryptoModule::Crypt(path, codePage));
    if (stored.contains("\r\n"))
        return QStringLiteral("The movie's path cannot be stored in a playlist: the letters \"WP\" in "
                              "a path would be read back as the end of its line.\n%1")
            .arg(path);
    if (CryptoModule::Crypt(codePage.decode(stored), codePage) != path)
        return QStringLiteral("The movie's path cannot be stored in a playlist: this system's code "
                              "page would not read it back the same.\n%1")
            .arg(path);
    return {};
}

QString nameProblem(const QString& name, const qev::CodePage& codePage)
{
    if (!codePage.canEncode(name))
        return QStringLiteral("The name holds characters that this system's code page cannot store: %1")
            .arg(missingCharacters(name, codePage));
    if (codePage.encode(name).contains("\r\n"))
        return QStringLiteral("The name cannot be stored in a playlist: it holds a line break.");
    return {};
}
