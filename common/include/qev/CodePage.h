#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qev {

// The 8-bit "ANSI" code page that playlist files and the name cipher use.
// Text is held as UTF-16 (QString); this class converts at the file boundary.
//
// Single-byte code pages map every byte 0..255 to exactly one character and
// back, so any byte sequence survives a decode/encode round trip. Double-byte
// code pages (932, 936, 949, 950) combine a lead byte and a trail byte into
// one character whose code is lead*256+trail as a signed 16-bit value.
// A character the code page cannot hold encodes as '?'.
//
// Bytes a code page leaves unassigned still decode to a character of their
// own: U+00XX for byte 0xXX when the page does not otherwise use that
// character, else the private-use character U+F700+XX. On a double-byte page
// a lead byte not followed by a possible trail byte decodes to '?' on its own
// (the next byte is read afresh); a lead and trail byte that form no
// character decode to one '?'.
//
// Tables are built once per code page and shared; a CodePage is cheap to copy
// and safe to use from several threads.
class CodePage {
public:
    // The code page for the process's locale: LC_ALL, then LC_CTYPE, then LANG.
    static CodePage fromEnvironment();
    // The code page a locale name ("ja_JP.UTF-8", "ru_RU", "C") maps to.
    static int numberForLocale(std::string_view localeName);
    // Supported: 874, 932, 936, 949, 950, 1250..1258. Throws std::invalid_argument otherwise.
    static CodePage fromNumber(int number);
    // The numbers fromNumber() accepts, ascending.
    static std::vector<int> supportedNumbers();

    int number() const;
    bool isDoubleByte() const;

    // The character code as the original platform gives it: 0..255 on a
    // single-byte code page, lead*256+trail (signed) for a double-byte
    // character. A character without a code gives the code of '?'.
    std::int16_t codeOf(char16_t ch) const;
    // The character for a code. A code with no character (an invalid
    // double-byte pair) gives '?'.
    char16_t charOf(std::int16_t code) const;

    // Every character's code XOR key, turned back into a character: what
    // codeOf() and charOf() give per character, in one pass over the text.
    QString xorCodes(QStringView text, std::uint8_t key) const;

    QByteArray encode(QStringView text) const;
    // Appends the bytes of text to out (encode() without a temporary).
    void encodeAppend(QByteArray& out, QStringView text) const;
    QString decode(QByteArrayView bytes) const;
    // xorCodes(decode(bytes), key), in one pass on a single-byte page.
    QString decodeXored(QByteArrayView bytes, std::uint8_t key) const;
    // True when every character of text has a code, so encode() loses nothing.
    bool canEncode(QStringView text) const;

    // Whether this and other use the same tables in memory (every CodePage of
    // one number does, whichever thread made it first).
    bool sharesTablesWith(const CodePage& other) const { return tables_ == other.tables_; }

    struct Tables;

private:
    explicit CodePage(std::shared_ptr<const Tables> tables);
    std::shared_ptr<const Tables> tables_;
};

} // namespace qev
