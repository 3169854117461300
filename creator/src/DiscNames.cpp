#include "DiscNames.h"

#include <QStringList>

namespace creator {

namespace {

bool refusedByJoliet(char16_t c)
{
    switch (c) {
    case u'*': case u'/': case u':': case u';': case u'?': case u'\\':
        return true;
    default:
        return c < 0x20;
    }
}

// A character as the user should read it in the message: printable ones as
// they are, the others by code.
QString shown(char16_t c)
{
    if (c < 0x20 || QChar::isSurrogate(c))
        return QStringLiteral("U+%1").arg(unsigned(c), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("\"%1\"").arg(QChar(c));
}

} // namespace

QString discNameProblem(const QString& name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return QStringLiteral("it is not a file name");
    QStringList refused;
    bool beyondUcs2 = false;
    for (const QChar c : name) {
        if (c.isSurrogate())
            beyondUcs2 = true;
        else if (refusedByJoliet(c.unicode()) && !refused.contains(shown(c.unicode())))
            refused << shown(c.unicode());
    }
    if (!refused.isEmpty())
        return QStringLiteral("it holds %1, which a disc's names cannot hold").arg(refused.join(QStringLiteral(", ")));
    if (beyondUcs2)
        return QStringLiteral("it holds characters beyond the ones a disc's names can hold (such as emoji)");
    if (name.size() > MaxDiscNameLength)
        return QStringLiteral("it is %1 characters long, and a disc's names hold at most %2")
            .arg(name.size())
            .arg(MaxDiscNameLength);
    return {};
}

} // namespace creator
