#include "avm1/Value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace qev::swf::avm1 {

QString numberToString(double n)
{
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (n == 0)
        return QStringLiteral("0");
    // 15 significant digits, then the decimal or exponent form.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", n);
    QString text = QString::fromLatin1(buf);
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    const int ePos = text.indexOf(u'e');
    QString digits = text.left(ePos);
    digits.remove(u'.');
    const int exponent = text.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    QString out;
    if (exponent < -5 || exponent >= 15) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += u'.' + digits.mid(1);
        out += u'e';
        out += exponent >= 0 ? u'+' : u'-';
        out += QString::number(std::abs(exponent));
    } else if (exponent < 0) {
        out = QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
    } else if (digits.size() <= exponent + 1) {
        out = digits + QString(exponent + 1 - digits.size(), u'0');
    } else {
        out = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
    }
    return negative ? u'-' + out : out;
}

QString numberToStringRadix(double n, int radix)
{
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToString(n);
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    std::int64_t v = toInt32(n);
    const bool negative = v < 0;
    if (negative)
        v = -v;
    QString out;
    do {
        const int d = int(v % radix);
        out.prepend(QChar(d < 10 ? u'0' + d : u'a' + d - 10));
        v /= radix;
    } while (v > 0);
    return negative ? u'-' + out : out;
}

namespace {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' || c == QChar(0xA0);
}

} // namespace

double stringToNumber(const QString& s, bool emptyIsZero)
{
    int i = 0;
    const int n = int(s.size());
    while (i < n && isSpace(s[i]))
        ++i;
    // Only leading white space is skipped: "5 " is not a number.
    if (i == n)
        return emptyIsZero ? 0.0 : std::numeric_limits<double>::quiet_NaN();
    const bool ledBySpace = i > 0;
    const QString body = s.mid(i);
    if (body.size() > 2 && body[0] == u'0' && (body[1] == u'x' || body[1] == u'X')) {
        std::uint64_t v = 0;
        for (int k = 2; k < body.size(); ++k) {
            const int c = body[k].unicode();
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return std::numeric_limits<double>::quiet_NaN();
            v = (v << 4 | std::uint64_t(d)) & 0xFFFFFFFFull;
        }
        return double(std::int32_t(std::uint32_t(v)));
    }
    // A leading zero followed only by octal digits reads as octal ("010" is
    // 8), as a 32-bit integer that the sign then negates; white space
    // before it makes it decimal again (" 010" is 10).
    if (!ledBySpace) {
        int k = 0;
        const bool negative = body[0] == u'-';
        if (body[0] == u'+' || body[0] == u'-')
            k = 1;
        if (body.size() - k > 1 && body[k] == u'0') {
            bool octal = true;
            std::uint32_t v = 0;
            for (int j = k + 1; j < body.size() && octal; ++j) {
                const char16_t c = body[j].unicode();
                if (c < u'0' || c > u'7')
                    octal = false;
                else
                    v = v * 8 + std::uint32_t(c - u'0');
            }
            if (octal) {
                const double wrapped = double(std::int32_t(v));
                return negative ? -wrapped : wrapped;
            }
        }
    }
    // A decimal literal: [sign] digits [. digits] [e [sign] digits], at least one digit.
    int k = 0;
    const int m = int(body.size());
    if (k < m && (body[k] == u'+' || body[k] == u'-'))
        ++k;
    int digits = 0;
    while (k < m && body[k].isDigit() && body[k].unicode() < 128) {
        ++k;
        ++digits;
    }
    if (k < m && body[k] == u'.') {
        ++k;
        while (k < m && body[k].isDigit() && body[k].unicode() < 128) {
            ++k;
            ++digits;
        }
    }
    if (digits == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (k < m && (body[k] == u'e' || body[k] == u'E')) {
        int e = k + 1;
        if (e < m && (body[e] == u'+' || body[e] == u'-'))
            ++e;
        int expDigits = 0;
        while (e < m && body[e].isDigit() && body[e].unicode() < 128) {
            ++e;
            ++expDigits;
        }
        if (expDigits == 0)
            return std::numeric_limits<double>::quiet_NaN();
        k = e;
    }
    if (k != m)
        return std::numeric_limits<double>::quiet_NaN();
    const QByteArray latin = body.toLatin1();
    return std::strtod(latin.constData(), nullptr);
}

std::int32_t toInt32(double n)
{
    return std::int32_t(toUint32(n));
}

std::uint32_t toUint32(double n)
{
    if (!std::isfinite(n))
        return 0;
    const double t = std::trunc(n);
    if (t >= 0 && t < 4294967296.0)
        return std::uint32_t(t);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return std::uint32_t(m);
}

} // namespace qev::swf::avm1
