#include "Printers.h"

#include "qev/CodePage.h"
#include "qev/CryptoModule.h"

#include <gtest/gtest.h>

using CryptoModule::Crypt;
using CryptoModule::NameKey;
using qev::CodePage;

namespace {

QString allCharacters(const CodePage& page)
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    return page.decode(bytes);
}

} // namespace

TEST(Crypt, EmptyTextGivesEmptyText)
{
    EXPECT_TRUE(Crypt(u"", CodePage::fromNumber(1252)).isEmpty());
}

TEST(Crypt, KnownVectorOnWindows1252)
{
    const CodePage page = CodePage::fromNumber(1252);
    // 'C' 0x43 ^ 0x5A = 0x19, ':' 0x3A ^ 0x5A = '`', '\' 0x5C ^ 0x5A = 0x06 ...
    EXPECT_EQ(Crypt(u"C:\\Movies\\intro.swf", page),
              QStringView(u"\u0019`\u0006\u00175,3?)\u000634.(5t)-<"));
}

TEST(Crypt, UpperCaseWGivesCrAndPGivesLf)
{
    const CodePage page = CodePage::fromNumber(1252);
    EXPECT_EQ(Crypt(u"W", page), QStringView(u"\r"));
    EXPECT_EQ(Crypt(u"P", page), QStringView(u"\n"));
    EXPECT_EQ(Crypt(u"\r\n", page), QStringView(u"WP"));
    // 'Z' is the key itself and ciphers to NUL.
    const QString nul = Crypt(u"Z", page);
    ASSERT_EQ(nul.size(), 1);
    EXPECT_EQ(nul[0].unicode(), 0);
}

class CryptSingleByte : public testing::TestWithParam<int> {};

TEST_P(CryptSingleByte, TwoPassesGiveTheTextBack)
{
    const CodePage page = CodePage::fromNumber(GetParam());
    const QString text = allCharacters(page);
    const QString ciphered = Crypt(text, page);
    EXPECT_EQ(ciphered.size(), text.size());
    EXPECT_NE(ciphered, text);
    EXPECT_EQ(Crypt(ciphered, page), text);
}

TEST_P(CryptSingleByte, StoredBytesAreTheAnsiBytesXorKey)
{
    const CodePage page = CodePage::fromNumber(GetParam());
    const QString text = allCharacters(page);
    const QByteArray plain = page.encode(text);
    const QByteArray stored = page.encode(Crypt(text, page));
    ASSERT_EQ(stored.size(), plain.size());
    for (qsizetype i = 0; i < plain.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(stored[i]), static_cast<unsigned char>(plain[i]) ^ NameKey) << i;
}

INSTANTIATE_TEST_SUITE_P(AllSingleBytePages, CryptSingleByte,
                         testing::Values(874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258));

TEST(Crypt, CharacterWithoutCodeBecomesQuestionMarkFirst)
{
    const CodePage page = CodePage::fromNumber(1252);
    // '?' 0x3F ^ 0x5A = 'e'; the Cyrillic letter does not come back.
    EXPECT_EQ(Crypt(u"a\u0416b", page), QStringView(u";e8"));
    EXPECT_EQ(Crypt(Crypt(u"a\u0416b", page), page), QStringView(u"a?b"));
}

TEST(Crypt, NoLengthLimit)
{
    const CodePage page = CodePage::fromNumber(1252);
    for (qsizetype length : {32766, 32767, 32768, 100000}) {
        QString text(length, u'x');
        text[length - 1] = u'W';
        const QString ciphered = Crypt(text, page);
        ASSERT_EQ(ciphered.size(), length);
        EXPECT_EQ(ciphered[0], QChar(u'"'));  // 'x' 0x78 ^ 0x5A = 0x22
        EXPECT_EQ(ciphered[length - 1], QChar(u'\r'));
        EXPECT_EQ(Crypt(ciphered, page), text);
    }
}

TEST(Crypt, JapaneseNameKeepsLeadBytesAndXorsTrailBytes)
{
    const CodePage page = CodePage::fromNumber(932);
    // 東京.swf: 93 8C 8B 9E 2E 73 77 66. The trail bytes 8C and 9E become D6
    // and C4 (敦 93 D6, 尭 8B C4); the single bytes are XOR-ed as usual.
    const QString name = QStringLiteral(u"\u6771\u4EAC.swf");
    const QString ciphered = Crypt(name, page);
    EXPECT_EQ(ciphered, QStringView(u"\u6566\u5C2Dt)-<"));
    EXPECT_EQ(page.encode(ciphered), QByteArray("\x93\xD6\x8B\xC4" "t)-<"));
    EXPECT_EQ(Crypt(ciphered, page), name);

    // でんしゃ: 82 C5 82 F1 82 B5 82 E1 -> 82 9F 82 AB 82 EF 82 BB (ぁきゑそ).
    const QString train = QStringLiteral(u"\u3067\u3093\u3057\u3083");
    EXPECT_EQ(page.encode(Crypt(train, page)), QByteArray("\x82\x9F\x82\xAB\x82\xEF\x82\xBB"));
    EXPECT_EQ(Crypt(Crypt(train, page), page), train);
}

TEST(Crypt, ChineseNameKeepsLeadBytesAndXorsTrailBytes)
{
    const CodePage page = CodePage::fromNumber(936);
    // 电影 B5 E7 D3 B0 -> B5 BD D3 EA (到雨).
    const QString name = QStringLiteral(u"\u7535\u5F71.swf");
    const QString ciphered = Crypt(name, page);
    EXPECT_EQ(page.encode(ciphered), QByteArray("\xB5\xBD\xD3\xEA" "t)-<"));
    EXPECT_EQ(ciphered, QStringView(u"\u5230\u96E8t)-<"));
    EXPECT_EQ(Crypt(ciphered, page), name);
}

TEST(Crypt, DoubleByteCodeWithoutCharacterBecomesQuestionMark)
{
    const CodePage page = CodePage::fromNumber(932);
    // 映 is 89 66; 66 ^ 5A = 3C cannot follow a lead byte.
    EXPECT_EQ(Crypt(u"\u6620", page), QStringView(u"?"));
    // The half-width ｱ B1 ^ 5A = EB is a lone lead byte.
    EXPECT_EQ(Crypt(u"\uFF71", page), QStringView(u"?"));
    // The length never changes.
    EXPECT_EQ(Crypt(u"\u6620\u753B.swf", page).size(), 6);
}

class CryptEveryPage : public testing::TestWithParam<int> {};

TEST_P(CryptEveryPage, EachCharacterIsItsCodeXorKey)
{
    // The cipher, character by character, as the code page's own code and
    // character conversions give it; every 16-bit value is tried, those
    // without a code included.
    const CodePage page = CodePage::fromNumber(GetParam());
    QString all(0x10000, Qt::Uninitialized);
    for (int i = 0; i < 0x10000; ++i)
        all[i] = QChar(static_cast<char16_t>(i));
    const QString ciphered = Crypt(all, page);
    ASSERT_EQ(ciphered.size(), all.size());
    for (int i = 0; i < 0x10000; ++i) {
        const std::int32_t code = page.codeOf(static_cast<char16_t>(i));
        const char16_t expected = page.charOf(static_cast<std::int16_t>(code ^ NameKey));
        ASSERT_EQ(ciphered[i].unicode(), expected) << "U+" << std::hex << i;
    }
}

INSTANTIATE_TEST_SUITE_P(AllPages, CryptEveryPage, testing::ValuesIn(CodePage::supportedNumbers()));

TEST_P(CryptEveryPage, DecodingAStoredLineIsDecodeThenCrypt)
{
    // The playlist reader deciphers while decoding; it must give what
    // Crypt of the decoded line gives, for any bytes at all.
    const CodePage page = CodePage::fromNumber(GetParam());
    QByteArray bytes;
    for (int first = 0; first < 256; ++first) {
        for (int second : {0x00, 0x0D, 0x41, 0x7F, 0x80, 0xA1, 0xE0, 0xFE, 0xFF}) {
            bytes.append(static_cast<char>(first));
            bytes.append(static_cast<char>(second));
        }
        bytes.append(static_cast<char>(first));  // shifts pairs against the next round
    }
    EXPECT_EQ(page.decodeXored(bytes, NameKey), Crypt(page.decode(bytes), page));
}
