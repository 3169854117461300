#include "qev/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// How the tables are made
//
// Every supported code page is turned into two lookup tables the first time
// it is asked for: code -> character and character -> code. glibc's iconv
// supplies the characters; the rest of the program only ever does lookups.
//
// Single-byte pages are decoded one byte at a time. glibc's converters for
// 1255 and 1258 hold a base letter back to combine it with a following
// diacritic when fed a whole string; one byte alone keeps each byte its own
// character, which is what the cipher and the byte round trip need.
//
// Bytes that glibc leaves unassigned still get a character of their own, so
// every byte decodes to a distinct character and encodes back to itself:
// byte 0xXX becomes U+00XX when the page does not already use that character
// (1252's 0x81, 0x8D, 0x8F, 0x90 and 0x9D become U+0081 ... U+009D, as the
// original platform has them), otherwise the private-use character U+F700+XX.
// On a double-byte page the same rule covers single bytes that are neither
// characters nor lead bytes (932's 0x80, 0xA0, 0xFD..0xFF, for example).
//
// Where glibc differs from the original platform a fix-up below says so.

namespace qev {

namespace {

constexpr char16_t kNoChar = 0xFFFF;      // code with no character
constexpr std::uint16_t kNoCode = 0xFFFF; // character with no code (0xFFFF is no valid pair: 0xFF is never a lead byte)
constexpr char16_t kSubstitute = u'?';
constexpr char16_t kPrivateUseBase = 0xF700;

struct PageInfo {
    int number;
    const char* iconvNames[3]; // tried in order
    bool doubleByte;
};

constexpr std::array<PageInfo, 14> kPages{{
    {874, {"CP874", "WINDOWS-874", nullptr}, false},
    {932, {"CP932", "WINDOWS-31J", nullptr}, true},
    {936, {"CP936", "GBK", nullptr}, true},
    {949, {"CP949", "UHC", nullptr}, true},
    {950, {"CP950", "BIG5", nullptr}, true},
    {1250, {"CP1250", "WINDOWS-1250", nullptr}, false},
    {1251, {"CP1251", "WINDOWS-1251", nullptr}, false},
    {1252, {"CP1252", "WINDOWS-1252", nullptr}, false},
    {1253, {"CP1253", "WINDOWS-1253", nullptr}, false},
    {1254, {"CP1254", "WINDOWS-1254", nullptr}, false},
    {1255, {"CP1255", "WINDOWS-1255", nullptr}, false},
    {1256, {"CP1256", "WINDOWS-1256", nullptr}, false},
    {1257, {"CP1257", "WINDOWS-1257", nullptr}, false},
    {1258, {"CP1258", "WINDOWS-1258", nullptr}, false},
}};

const PageInfo* findPage(int number)
{
    for (const PageInfo& page : kPages) {
        if (page.number == number)
            return &page;
    }
    return nullptr;
}

// One iconv descriptor, closed on every path.
class Converter {
public:
    Converter(const PageInfo& page, bool toUnicode)
    {
        for (const char* name : page.iconvNames) {
            if (!name)
                break;
            cd_ = toUnicode ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
            if (cd_ != invalid())
                return;
        }
        throw std::runtime_error("The system cannot convert code page " + std::to_string(page.number));
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    enum class Result { Complete, Incomplete, Invalid };

    // Converts input on its own (fresh state, flushed at the end). consumed
    // tells how many input bytes were taken.
    Result convert(const char* input, std::size_t size, std::string& output, std::size_t& consumed)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[32];
        char* in = const_cast<char*>(input);
        std::size_t inLeft = size;
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd_, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        iconv(cd_, nullptr, nullptr, &out, &outLeft);
        output.assign(buffer, out);
        consumed = size - inLeft;
        if (rc != static_cast<std::size_t>(-1))
            return Result::Complete;
        return error == EINVAL ? Result::Incomplete : Result::Invalid;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_ = invalid();
};

// The one UTF-16 unit that bytes decode to, or kNoChar.
char16_t decodeAlone(Converter& toUnicode, const unsigned char* bytes, std::size_t size)
{
    std::string out;
    std::size_t consumed = 0;
    if (toUnicode.convert(reinterpret_cast<const char*>(bytes), size, out, consumed) != Converter::Result::Complete
        || consumed != size || out.size() != 2)
        return kNoChar;
    const char16_t ch = static_cast<char16_t>(static_cast<unsigned char>(out[0])
                                              | (static_cast<unsigned char>(out[1]) << 8));
    if (ch >= 0xD800 && ch <= 0xDFFF)
        return kNoChar;
    return ch;
}

} // namespace

struct CodePage::Tables {
    int number = 0;
    bool doubleByte = false;
    // Indexed by the code as an unsigned 16-bit value; 256 entries on a
    // single-byte page, 65536 on a double-byte one.
    std::vector<char16_t> codeToChar;
    std::vector<std::uint16_t> charToCode = std::vector<std::uint16_t>(0x10000, kNoCode);
    std::array<bool, 256> isLead{};
    // Bytes that follow a lead byte in at least one valid pair.
    std::array<bool, 256> isTrail{};

    static std::shared_ptr<const Tables> build(const PageInfo& page);
    void fillUnassignedSingleBytes(const std::array<bool, 256>& assigned);
};

void CodePage::Tables::fillUnassignedSingleBytes(const std::array<bool, 256>& assigned)
{
    for (int byte = 0; byte < 256; ++byte) {
        if (assigned[byte] || isLead[byte])
            continue;
        char16_t ch = static_cast<char16_t>(byte);
        if (charToCode[ch] != kNoCode)
            ch = static_cast<char16_t>(kPrivateUseBase + byte);
        codeToChar[byte] = ch;
        charToCode[ch] = static_cast<std::uint16_t>(byte);
    }
}

std::shared_ptr<const CodePage::Tables> CodePage::Tables::build(const PageInfo& page)
{
    auto tables = std::make_shared<Tables>();
    tables->number = page.number;
    tables->doubleByte = page.doubleByte;
    tables->codeToChar.assign(page.doubleByte ? 0x10000 : 0x100, kNoChar);

    Converter toUnicode(page, true);
    std::array<bool, 256> assigned{};

    // Single bytes first; on a double-byte page a byte that iconv reports as
    // an incomplete sequence is a lead byte candidate.
    std::array<bool, 256> incomplete{};
    for (int byte = 0; byte < 256; ++byte) {
        const unsigned char b = static_cast<unsigned char>(byte);
        std::string unused;
        std::size_t consumed = 0;
        incomplete[byte] = toUnicode.convert(reinterpret_cast<const char*>(&b), 1, unused, consumed)
                               == Converter::Result::Incomplete
                           && consumed == 0;
        const char16_t ch = decodeAlone(toUnicode, &b, 1);
        if (ch != kNoChar && tables->charToCode[ch] == kNoCode) {
            tables->codeToChar[byte] = ch;
            tables->charToCode[ch] = static_cast<std::uint16_t>(byte);
            assigned[byte] = true;
        }
    }

    if (page.doubleByte) {
        // Windows 936 has the euro sign at 0x80; glibc encodes it there but
        // does not decode the byte.
        if (page.number == 936 && !assigned[0x80] && tables->charToCode[0x20AC] == kNoCode) {
            tables->codeToChar[0x80] = 0x20AC;
            tables->charToCode[0x20AC] = 0x80;
            assigned[0x80] = true;
        }

        // A lead byte is one that iconv waits on for a second byte, or one
        // that starts a valid pair. (932's rows 0xEB, 0xEC and 0xEF..0xFC
        // hold no characters but are still lead bytes.)
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            if (assigned[lead])
                continue;
            tables->isLead[lead] = incomplete[lead];
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
                const char16_t ch = decodeAlone(toUnicode, pair, 2);
                if (ch == kNoChar)
                    continue;
                const std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
                tables->codeToChar[code] = ch;
                tables->isLead[lead] = true;
                tables->isTrail[trail] = true;
            }
        }

        // A character reachable from several codes (932 holds some twice)
        // encodes as the system encodes it, when that code decodes back.
        Converter fromUnicode(page, false);
        for (std::uint32_t code = 0x8100; code < 0x10000; ++code) {
            const char16_t ch = tables->codeToChar[code];
            if (ch == kNoChar || tables->charToCode[ch] != kNoCode)
                continue;
            std::uint16_t chosen = static_cast<std::uint16_t>(code);
            const char unit[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
            std::string out;
            std::size_t consumed = 0;
            if (fromUnicode.convert(unit, 2, out, consumed) == Converter::Result::Complete && out.size() == 2) {
                const std::uint16_t systemCode = static_cast<std::uint16_t>(
                    static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
                if (tables->codeToChar[systemCode] == ch)
                    chosen = systemCode;
            }
            tables->charToCode[ch] = chosen;
        }
    }

    tables->fillUnassignedSingleBytes(assigned);
    return tables;
}

CodePage::CodePage(std::shared_ptr<const Tables> tables)
    : tables_(std::move(tables))
{
}

CodePage CodePage::fromNumber(int number)
{
    const PageInfo* page = findPage(number);
    if (!page)
        throw std::invalid_argument("Unsupported code page " + std::to_string(number));

    static std::mutex mutex;
    static std::map<int, std::shared_ptr<const Tables>> cache;
    const std::lock_guard lock(mutex);
    auto& slot = cache[number];
    if (!slot)
        slot = Tables::build(*page);
    return CodePage(slot);
}

std::vector<int> CodePage::supportedNumbers()
{
    std::vector<int> numbers;
    for (const PageInfo& page : kPages)
        numbers.push_back(page.number);
    return numbers;
}

namespace {

std::string lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

} // namespace

int CodePage::numberForLocale(std::string_view localeName)
{
    // "language[_territory][.charset][@modifier]"
    const std::size_t languageEnd = localeName.find_first_of("_.@");
    const std::string language = lower(localeName.substr(0, languageEnd));
    std::string territory;
    if (languageEnd != std::string_view::npos && localeName[languageEnd] == '_') {
        const std::string_view rest = localeName.substr(languageEnd + 1);
        territory = lower(rest.substr(0, rest.find_first_of(".@")));
    }

    struct Entry {
        const char* language;
        int number;
    };
    static constexpr Entry kLanguages[] = {
        {"ja", 932}, {"ko", 949}, {"th", 874},
        {"cs", 1250}, {"pl", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250},
        {"hr", 1250}, {"ro", 1250}, {"sq", 1250}, {"bs", 1250},
        {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251},
        {"mk", 1251}, {"kk", 1251},
        {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"he", 1255},
        {"ar", 1256}, {"fa", 1256}, {"ur", 1256},
        {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258},
    };

    if (language == "zh")
        return territory == "tw" || territory == "hk" ? 950 : 936;
    for (const Entry& entry : kLanguages) {
        if (language == entry.language)
            return entry.number;
    }
    return 1252;
}

CodePage CodePage::fromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return fromNumber(numberForLocale(value));
    }
    return fromNumber(1252);
}

int CodePage::number() const
{
    return tables_->number;
}

bool CodePage::isDoubleByte() const
{
    return tables_->doubleByte;
}

std::int16_t CodePage::codeOf(char16_t ch) const
{
    const std::uint16_t code = tables_->charToCode[ch];
    return static_cast<std::int16_t>(code == kNoCode ? kSubstitute : code);
}

char16_t CodePage::charOf(std::int16_t code) const
{
    const auto index = static_cast<std::uint16_t>(code);
    if (index >= tables_->codeToChar.size() || (index < 0x100 && tables_->isLead[index]))
        return kSubstitute;
    const char16_t ch = tables_->codeToChar[index];
    return ch == kNoChar ? kSubstitute : ch;
}

QString CodePage::xorCodes(QStringView text, std::uint8_t key) const
{
    const Tables& t = *tables_;
    QString result(text.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(result.data());
    const char16_t* in = text.utf16();
    const qsizetype count = text.size();
    const std::uint16_t* charToCode = t.charToCode.data();
    const char16_t* codeToChar = t.codeToChar.data();
    if (!t.doubleByte) {
        for (qsizetype i = 0; i < count; ++i) {
            std::uint16_t code = charToCode[in[i]];
            if (code == kNoCode)
                code = kSubstitute;
            // A single-byte page has a character for every byte.
            out[i] = codeToChar[(code ^ key) & 0xFF];
        }
        return result;
    }
    for (qsizetype i = 0; i < count; ++i) {
        std::uint16_t code = t.charToCode[in[i]];
        if (code == kNoCode)
            code = kSubstitute;
        code ^= key;
        const char16_t ch = (code < 0x100 && t.isLead[code]) ? kNoChar : t.codeToChar[code];
        out[i] = ch == kNoChar ? kSubstitute : ch;
    }
    return result;
}

void CodePage::encodeAppend(QByteArray& out, QStringView text) const
{
    const Tables& t = *tables_;
    const qsizetype start = out.size();
    const qsizetype count = text.size();
    out.resize(start + (t.doubleByte ? 2 * count : count));
    char* dst = out.data() + start;
    const char16_t* src = text.utf16();
    if (!t.doubleByte) {
        for (qsizetype i = 0; i < count; ++i) {
            const std::uint16_t code = t.charToCode[src[i]];
            dst[i] = static_cast<char>(code == kNoCode ? kSubstitute : code);
        }
        return;
    }
    char* p = dst;
    for (qsizetype i = 0; i < count; ++i) {
        std::uint16_t code = t.charToCode[src[i]];
        if (code == kNoCode)
            code = kSubstitute;
        if (code > 0xFF)
            *p++ = static_cast<char>(code >> 8);
        *p++ = static_cast<char>(code & 0xFF);
    }
    out.resize(p - out.data());
}

QByteArray CodePage::encode(QStringView text) const
{
    QByteArray out;
    encodeAppend(out, text);
    return out;
}

QString CodePage::decode(QByteArrayView bytes) const
{
    const Tables& t = *tables_;
    const qsizetype count = bytes.size();
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    QString out(count, Qt::Uninitialized);
    auto* dst = reinterpret_cast<char16_t*>(out.data());
    if (!t.doubleByte) {
        const char16_t* codeToChar = t.codeToChar.data();
        for (qsizetype i = 0; i < count; ++i)
            dst[i] = codeToChar[src[i]];
        return out;
    }
    // A lead byte with a byte that may follow a lead byte makes one pair;
    // when that pair is no character it gives one '?'. A lead byte followed
    // by anything else (or by nothing) gives '?' on its own, and the next byte
    // is read afresh, so a broken pair never swallows plain text.
    char16_t* p = dst;
    qsizetype i = 0;
    while (i < count) {
        const unsigned char b = src[i];
        if (!t.isLead[b]) {
            *p++ = t.codeToChar[b];
            ++i;
            continue;
        }
        if (i + 1 < count && t.isTrail[src[i + 1]]) {
            const char16_t ch = t.codeToChar[static_cast<std::uint16_t>(b << 8 | src[i + 1])];
            *p++ = ch == kNoChar ? kSubstitute : ch;
            i += 2;
        } else {
            *p++ = kSubstitute;
            ++i;
        }
    }
    out.resize(p - dst);
    return out;
}

QString CodePage::decodeXored(QByteArrayView bytes, std::uint8_t key) const
{
    const Tables& t = *tables_;
    if (t.doubleByte)
        return xorCodes(decode(bytes), key);
    // On a single-byte page every byte is a character and back, so the code
    // of each decoded character is the byte itself: one lookup per byte.
    const qsizetype count = bytes.size();
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const char16_t* codeToChar = t.codeToChar.data();
    QString out(count, Qt::Uninitialized);
    auto* dst = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < count; ++i)
        dst[i] = codeToChar[src[i] ^ key];
    return out;
}

bool CodePage::canEncode(QStringView text) const
{
    const Tables& t = *tables_;
    for (const QChar ch : text) {
        if (t.charToCode[ch.unicode()] == kNoCode)
            return false;
    }
    return true;
}

} // namespace qev
