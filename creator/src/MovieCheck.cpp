#include "MovieCheck.h"

#include "qev/CodePage.h"
#include "qev/CryptoModule.h"

namespace {

QString cannotHold(const QString& what, const QString& text, const qev::CodePage& codePage)
{
    return QStringLiteral("The %1 holds characters that code page %2 cannot store, so the "
                          "playlist would not keep it:\n%3")
        .arg(what)
        .arg(codePage.number())
        .arg(text);
}

} // namespace

QString pathProblem(const QString& path, const qev::CodePage& codePage)
{
    if (!codePage.canEncode(path))
        return cannotHold(QStringLiteral("movie's path"), path, codePage);
    const QByteArray stored = codePage.encode(CryptoModule::Crypt(path, codePage));
    const bool breaksLine = stored.contains("\r\n");
    if (breaksLine || CryptoModule::Crypt(codePage.decode(stored), codePage) != path)
        return QStringLiteral("The movie's path cannot be stored in a playlist: enciphered, it "
                              "would not read back the same%1:\n%2")
            .arg(breaksLine ? QStringLiteral(" (\"WP\" becomes a line end)") : QString())
            .arg(path);
    return {};
}

QString nameProblem(const QString& name, const qev::CodePage& codePage)
{
    if (!codePage.canEncode(name))
        return cannotHold(QStringLiteral("name"), name, codePage);
    if (codePage.encode(name).contains("\r\n"))
        return QStringLiteral("The name cannot be stored in a playlist: it holds a line end.");
    return {};
}
