#include "UrlPolicy.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace qev::swf {

namespace {

// Suffixes of programs, launchers and scripts of the desktops a disc may
// meet, refused even without the executable bit.
bool looksRunnable(const QFileInfo& file)
{
    static const QStringList suffixes = {
        QStringLiteral("desktop"), QStringLiteral("sh"),   QStringLiteral("bash"), QStringLiteral("csh"),
        QStringLiteral("zsh"),     QStringLiteral("py"),   QStringLiteral("pl"),   QStringLiteral("rb"),
        QStringLiteral("jar"),     QStringLiteral("run"),  QStringLiteral("bin"),  QStringLiteral("appimage"),
        QStringLiteral("exe"),     QStringLiteral("com"),  QStringLiteral("bat"),  QStringLiteral("cmd"),
        QStringLiteral("msi"),     QStringLiteral("scr"),  QStringLiteral("pif"),  QStringLiteral("vbs"),
        QStringLiteral("js"),      QStringLiteral("ps1"),  QStringLiteral("lnk"),  QStringLiteral("reg"),
    };
    return suffixes.contains(file.suffix(), Qt::CaseInsensitive);
}

// Targets that name the movie's own window or level.
bool namesThisMovie(const QString& target)
{
    const QString t = target.trimmed().toLower();
    return t.isEmpty() || t == u"_self" || t == u"_level0" || t == u"_parent" || t == u"_top";
}

} // namespace

UrlDecision decideUrl(const QString& rawUrl, const QString& target, const QString& movieFolder)
{
    UrlDecision d;
    const QString url = rawUrl.trimmed();
    if (url.isEmpty())
        return d;
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    // A one-letter scheme is a drive letter of a path written for another
    // system, not a scheme.
    if (!scheme.isEmpty() && scheme.size() > 1 && scheme != u"file") {
        if (scheme == u"http" || scheme == u"https" || scheme == u"mailto") {
            d.action = UrlDecision::Action::OpenExternal;
            d.url = parsed;
        }
        return d;
    }
    QString path = scheme == u"file" ? parsed.toLocalFile() : url;
    // Movies made on other systems write their folders with backslashes.
    path.replace(u'\\', u'/');
    const QFileInfo file(QDir(movieFolder).absoluteFilePath(QDir::cleanPath(path)));
    d.path = file.absoluteFilePath();
    if (!file.exists()) {
        d.action = UrlDecision::Action::Refuse;
        d.reason = QStringLiteral("there is no such file");
        return d;
    }
    if (file.isFile() && (file.isExecutable() || looksRunnable(file))) {
        d.action = UrlDecision::Action::Refuse;
        d.reason = QStringLiteral("it is a program or script");
        return d;
    }
    if (file.isFile() && file.suffix().compare(QStringLiteral("swf"), Qt::CaseInsensitive) == 0
        && namesThisMovie(target)) {
        d.action = UrlDecision::Action::LoadMovie;
        return d;
    }
    d.action = UrlDecision::Action::OpenFile;
    d.url = QUrl::fromLocalFile(d.path);
    return d;
}

} // namespace qev::swf
