// Global functions of the number and text kind: parseInt, parseFloat,
// isNaN, isFinite, escape and unescape.

#include "avm1/builtins/Support.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <string>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

bool isSpace(QChar c)
{
    switch (c.unicode()) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0xA0: case 0x2028: case 0x2029: case 0xFEFF:
        return true;
    default:
        return false;
    }
}

qsizetype skipSpace(const QString& s, qsizetype i)
{
    while (i < s.size() && isSpace(s.at(i)))
        ++i;
    return i;
}

// The value of a digit character in radixes up to 36, or 99 for anything
// that is no digit.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return 99;
}

// parseInt(string, radix). Without a radix (or with 0) a "0x" prefix means
// hexadecimal and a leading 0 followed only by octal digits means octal,
// as the player reads "010" as 8; otherwise decimal. Digits are taken up
// to the first one the radix does not have; none at all is NaN.
Value parseInt(Vm& vm, const Value&, Args& args)
{
    const QString s = vm.toString(arg(args, 0));
    qsizetype i = skipSpace(s, 0);
    double sign = 1;
    if (i < s.size() && (s.at(i) == u'-' || s.at(i) == u'+')) {
        if (s.at(i) == u'-')
            sign = -1;
        ++i;
    }
    int radix = arg(args, 1).isUndefined() ? 0 : toInt32(vm.toNumber(args[1]));
    const bool hexPrefix = i + 1 < s.size() && s.at(i) == u'0' && (s.at(i + 1) == u'x' || s.at(i + 1) == u'X');
    if (radix == 0) {
        if (hexPrefix) {
            radix = 16;
            i += 2;
        } else if (i < s.size() && s.at(i) == u'0') {
            qsizetype j = i;
            while (j < s.size() && digitValue(s.at(j)) < 8)
                ++j;
            const bool moreDecimal = j < s.size() && digitValue(s.at(j)) < 10;
            radix = moreDecimal ? 10 : 8;
        } else {
            radix = 10;
        }
    } else if (radix == 16 && hexPrefix) {
        i += 2;
    }
    if (radix < 2 || radix > 36)
        return Value::fromNumber(kNaN);

    double value = 0;
    const qsizetype start = i;
    for (; i < s.size(); ++i) {
        const int d = digitValue(s.at(i));
        if (d >= radix)
            break;
        value = value * radix + d;
    }
    if (i == start)
        return Value::fromNumber(kNaN);
    return Value::fromNumber(sign * value);
}

// parseFloat(string): the longest prefix (after white space) that reads as
// a decimal number, "Infinity" included; NaN when there is none.
Value parseFloat(Vm& vm, const Value&, Args& args)
{
    const QString s = vm.toString(arg(args, 0));
    qsizetype i = skipSpace(s, 0);
    std::string text;
    bool negative = false;
    if (i < s.size() && (s.at(i) == u'-' || s.at(i) == u'+')) {
        negative = s.at(i) == u'-';
        ++i;
    }
    if (QStringView(s).mid(i).startsWith(u"Infinity"))
        return Value::fromNumber(negative ? -HUGE_VAL : HUGE_VAL);

    const auto isDigit = [&](qsizetype k) { return k < s.size() && s.at(k) >= u'0' && s.at(k) <= u'9'; };
    bool digits = false;
    while (isDigit(i)) {
        text += char(s.at(i++).unicode());
        digits = true;
    }
    if (i < s.size() && s.at(i) == u'.') {
        std::string fraction;
        qsizetype k = i + 1;
        while (isDigit(k))
            fraction += char(s.at(k++).unicode());
        if (!fraction.empty() || digits) {
            text += '.';
            text += fraction;
            digits = digits || !fraction.empty();
            i = k;
        }
    }
    if (!digits)
        return Value::fromNumber(kNaN);
    // An exponent counts only when it has digits; "1e" reads as 1.
    if (i < s.size() && (s.at(i) == u'e' || s.at(i) == u'E')) {
        qsizetype k = i + 1;
        std::string exponent = "e";
        if (k < s.size() && (s.at(k) == u'-' || s.at(k) == u'+'))
            exponent += char(s.at(k++).unicode());
        bool expDigits = false;
        while (isDigit(k)) {
            exponent += char(s.at(k++).unicode());
            expDigits = true;
        }
        if (expDigits)
            text += exponent;
    }
    if (text.front() == '.')
        text.insert(text.begin(), '0');
    if (text.back() == '.')
        text.pop_back();
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large is Infinity, too small is 0, as the number literal would be.
        const auto e = text.find('e');
        value = (e != std::string::npos && text[e + 1] == '-') ? 0.0 : HUGE_VAL;
    }
    return Value::fromNumber(negative ? -value : value);
}

// Called with nothing, both see NaN (an undefined argument is 0 before SWF 7).
Value isNaNFunction(Vm& vm, const Value&, Args& args)
{
    return Value::fromBool(args.empty() || std::isnan(argNumber(vm, args, 0)));
}

Value isFiniteFunction(Vm& vm, const Value&, Args& args)
{
    return Value::fromBool(!args.empty() && std::isfinite(argNumber(vm, args, 0)));
}

// The player's escape keeps only ASCII letters and digits: unlike the
// browsers' escape it also encodes @-_.*+/ ("(222) 515-1212" becomes
// "%28222%29%20515%2D1212").
bool keptByEscape(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// escape(string): every character but letters and digits becomes %XX of
// its bytes, UTF-8 from SWF 6 on, Latin-1 before (where a character beyond
// Latin-1 still takes its UTF-8 bytes, losing nothing).
Value escape(Vm& vm, const Value&, Args& args)
{
    const QString s = vm.toString(arg(args, 0));
    static const char hex[] = "0123456789ABCDEF";
    const bool utf8 = vm.version() >= 6;
    QString out;
    out.reserve(s.size());
    const auto addByte = [&](unsigned char b) {
        out += u'%';
        out += QLatin1Char(hex[b >> 4]);
        out += QLatin1Char(hex[b & 15]);
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (keptByEscape(c)) {
            out += QChar(c);
        } else if (c < 0x80 || (!utf8 && c < 0x100)) {
            addByte(static_cast<unsigned char>(c));
        } else {
            // A surrogate pair is one character in UTF-8.
            qsizetype n = (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ? 2 : 1;
            for (char b : QStringView(s).mid(i, n).toUtf8())
                addByte(static_cast<unsigned char>(b));
            i += n - 1;
        }
        if (out.size() > vm.limits().maxStringLength)
            break;
    }
    return Value::fromString(out);
}

int hexValue(QChar c)
{
    const int d = digitValue(c);
    return d < 16 ? d : -1;
}

// unescape(string): %XX is a byte, %uXXXX a UTF-16 code unit; runs of
// bytes are decoded as UTF-8 from SWF 6 on and as Latin-1 before. A "%"
// that starts no such sequence stays as it is.
Value unescape(Vm& vm, const Value&, Args& args)
{
    const QString s = vm.toString(arg(args, 0));
    const bool utf8 = vm.version() >= 6;
    QString out;
    QByteArray bytes;
    const auto flush = [&] {
        if (bytes.isEmpty())
            return;
        out += utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
        bytes.clear();
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) == u'%') {
            if (i + 5 < s.size() && (s.at(i + 1) == u'u' || s.at(i + 1) == u'U')) {
                int a = hexValue(s.at(i + 2)), b = hexValue(s.at(i + 3)), c = hexValue(s.at(i + 4)),
                    d = hexValue(s.at(i + 5));
                if (a >= 0 && b >= 0 && c >= 0 && d >= 0) {
                    flush();
                    out += QChar(char16_t((a << 12) | (b << 8) | (c << 4) | d));
                    i += 5;
                    continue;
                }
            }
            if (i + 2 < s.size()) {
                int a = hexValue(s.at(i + 1)), b = hexValue(s.at(i + 2));
                if (a >= 0 && b >= 0) {
                    bytes += char((a << 4) | b);
                    i += 2;
                    continue;
                }
            }
        }
        flush();
        out += s.at(i);
    }
    flush();
    return Value::fromString(out);
}

} // namespace

void installGlobalFunctions(Vm& vm)
{
    const auto function = [&vm](const char* name, NativeFunction fn) {
        defineGlobal(vm, QLatin1String(name), Value::fromObject(vm.newNative(std::move(fn))));
    };
    function("parseInt", parseInt);
    function("parseFloat", parseFloat);
    function("isNaN", isNaNFunction);
    function("isFinite", isFiniteFunction);
    function("escape", escape);
    function("unescape", unescape);
}

} // namespace qev::swf::avm1
