#include "qev/CodePage.h"

#include "Printers.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

using qev::CodePage;

namespace {

QByteArray allBytes()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}

std::vector<int> singleBytePages()
{
    std::vector<int> pages;
    for (int number : CodePage::supportedNumbers()) {
        if (!CodePage::fromNumber(number).isDoubleByte())
            pages.push_back(number);
    }
    return pages;
}

} // namespace

TEST(CodePage, SupportsTheFourteenAnsiPages)
{
    const std::vector<int> expected{874, 932, 936, 949, 950, 1250, 1251, 1252,
                                    1253, 1254, 1255, 1256, 1257, 1258};
    EXPECT_EQ(CodePage::supportedNumbers(), expected);
    for (int number : expected) {
        const CodePage page = CodePage::fromNumber(number);
        EXPECT_EQ(page.number(), number);
        const bool doubleByte = number >= 932 && number <= 950;
        EXPECT_EQ(page.isDoubleByte(), doubleByte) << number;
    }
}

TEST(CodePage, RejectsUnsupportedNumbers)
{
    EXPECT_THROW(CodePage::fromNumber(0), std::invalid_argument);
    EXPECT_THROW(CodePage::fromNumber(437), std::invalid_argument);
    EXPECT_THROW(CodePage::fromNumber(1259), std::invalid_argument);
    EXPECT_THROW(CodePage::fromNumber(65001), std::invalid_argument);
}

// Every byte of a single-byte page is a character of its own and comes back
// as the same byte: any file survives a read and a write.
class SingleBytePage : public testing::TestWithParam<int> {};

TEST_P(SingleBytePage, EveryByteIsADistinctCharacterAndComesBack)
{
    const CodePage page = CodePage::fromNumber(GetParam());
    const QByteArray bytes = allBytes();
    const QString text = page.decode(bytes);
    ASSERT_EQ(text.size(), 256);
    std::set<char16_t> seen;
    for (int i = 0; i < 256; ++i) {
        const char16_t ch = text[i].unicode();
        EXPECT_TRUE(seen.insert(ch).second) << "byte " << i << " repeats U+" << std::hex << int(ch);
        EXPECT_EQ(page.codeOf(ch), i);
        EXPECT_EQ(page.charOf(static_cast<std::int16_t>(i)), ch);
    }
    EXPECT_TRUE(page.canEncode(text));
    EXPECT_EQ(page.encode(text), bytes);
}

TEST_P(SingleBytePage, UnassignedBytesUseLatin1OrPrivateUse)
{
    // A byte either decodes to a real character of the page or, when the
    // page leaves it unassigned, to U+00XX or U+F7XX.
    const CodePage page = CodePage::fromNumber(GetParam());
    for (int byte = 0x80; byte < 256; ++byte) {
        const char16_t ch = page.charOf(static_cast<std::int16_t>(byte));
        if (ch == 0xF700 + byte) {
            // Private use only when U+00XX belongs to another byte.
            EXPECT_NE(page.codeOf(static_cast<char16_t>(byte)), byte);
            EXPECT_TRUE(page.canEncode(QStringView(&ch, 1)));
        }
        EXPECT_NE(ch, u'?') << byte;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSingleBytePages, SingleBytePage, testing::ValuesIn(singleBytePages()));

TEST(CodePage, Windows1252HasTheOriginalPlatformCharacters)
{
    const CodePage page = CodePage::fromNumber(1252);
    EXPECT_EQ(page.charOf(0x80), u'\u20AC');
    EXPECT_EQ(page.charOf(0x9F), u'\u0178');
    EXPECT_EQ(page.charOf(0xE9), u'\u00E9');
    // The five bytes Windows leaves unassigned are the C1 controls.
    for (int byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(page.charOf(static_cast<std::int16_t>(byte)), char16_t(byte)) << byte;
        EXPECT_EQ(page.codeOf(char16_t(byte)), byte);
    }
    // The other C1 controls have no code in 1252.
    EXPECT_EQ(page.codeOf(u'\u0080'), '?');
    EXPECT_EQ(page.codeOf(u'\u0082'), '?');
}

TEST(CodePage, SingleBytePagesKnownCharacters)
{
    EXPECT_EQ(CodePage::fromNumber(1251).charOf(0xC0), u'\u0410');
    EXPECT_EQ(CodePage::fromNumber(1251).charOf(0xAA), u'\u0404');
    EXPECT_EQ(CodePage::fromNumber(1253).charOf(0xC1), u'\u0391');
    EXPECT_EQ(CodePage::fromNumber(1253).charOf(0xAA), u'\u00AA');  // unassigned in 1253
    EXPECT_EQ(CodePage::fromNumber(874).charOf(0xA1), u'\u0E01');
    EXPECT_EQ(CodePage::fromNumber(1256).charOf(0xC7), u'\u0627');
}

TEST(CodePage, CombiningMarksStayCharactersOfTheirOwn)
{
    // A base letter and a following combining mark are two bytes and two
    // characters, never one precomposed character.
    const CodePage vietnamese = CodePage::fromNumber(1258);
    EXPECT_EQ(vietnamese.decode("A\xCC"), QStringView(u"A\u0300"));
    EXPECT_EQ(vietnamese.encode(u"A\u0300"), QByteArray("A\xCC"));
    const CodePage hebrew = CodePage::fromNumber(1255);
    EXPECT_EQ(hebrew.decode("\xE0\xC4"), QStringView(u"\u05D0\u05B4"));
    EXPECT_EQ(hebrew.encode(u"\u05D0\u05B4"), QByteArray("\xE0\xC4"));
}

TEST(CodePage, CharacterWithoutCodeBecomesQuestionMark)
{
    const CodePage page = CodePage::fromNumber(1252);
    EXPECT_EQ(page.encode(u"a\u0416b"), QByteArray("a?b"));
    EXPECT_EQ(page.codeOf(u'\u0416'), '?');
    // A surrogate pair has no code either: one '?' per 16-bit unit.
    EXPECT_EQ(page.encode(u"x\U0001F600"), QByteArray("x??"));
    // Codes outside a single-byte page have no character.
    EXPECT_EQ(page.charOf(300), u'?');
    EXPECT_EQ(page.charOf(-1), u'?');
}

TEST(CodePage, CanEncodeTellsWhetherTextConvertsWithoutLoss)
{
    const CodePage western = CodePage::fromNumber(1252);
    const CodePage cyrillic = CodePage::fromNumber(1251);
    const CodePage japanese = CodePage::fromNumber(932);
    EXPECT_TRUE(western.canEncode(u""));
    EXPECT_TRUE(western.canEncode(u"Caf\u00E9 \u20AC"));
    EXPECT_FALSE(western.canEncode(u"\u041A\u0438\u043D\u043E"));
    EXPECT_TRUE(cyrillic.canEncode(u"\u041A\u0438\u043D\u043E"));
    EXPECT_FALSE(cyrillic.canEncode(u"Caf\u00E9"));
    EXPECT_TRUE(japanese.canEncode(u"\u6771\u4EAC.swf"));
    EXPECT_FALSE(japanese.canEncode(u"\uD55C\uAD6D"));  // Korean
    EXPECT_FALSE(japanese.canEncode(u"\U0001F600"));
    // A text that canEncode accepts comes back unchanged.
    const QString text = QStringLiteral("\u6771\u4EAC \uFF71 abc");
    EXPECT_EQ(japanese.decode(japanese.encode(text)), text);
}

TEST(CodePage, DoubleBytePairsFormOneCharacter)
{
    const CodePage page = CodePage::fromNumber(932);
    // 東京 is 93 8C 8B 9E; the half-width katakana ｱ is the single byte B1.
    const QByteArray bytes("\x93\x8C\x8B\x9E" "a\xB1", 6);
    EXPECT_EQ(page.decode(bytes), QStringView(u"\u6771\u4EACa\uFF71"));
    EXPECT_EQ(page.encode(u"\u6771\u4EACa\uFF71"), bytes);
    EXPECT_EQ(page.codeOf(u'\u6771'), static_cast<std::int16_t>(0x938C));
    EXPECT_LT(page.codeOf(u'\u6771'), 0);  // lead byte 0x80 or more: negative
    EXPECT_EQ(page.charOf(static_cast<std::int16_t>(0x938C)), u'\u6771');
    EXPECT_EQ(page.codeOf(u'\uFF71'), 0xB1);
    EXPECT_EQ(page.codeOf(u'A'), 'A');
    // 932 keeps the backslash at 0x5C.
    EXPECT_EQ(page.charOf(0x5C), u'\\');
}

TEST(CodePage, BrokenDoubleBytePairsDecodeToQuestionMarks)
{
    const CodePage page = CodePage::fromNumber(932);
    // 82 FA could be a pair but is no character: one '?' for both bytes.
    EXPECT_EQ(page.decode("\x82\xFA" "a"), QStringView(u"?a"));
    // A lead byte before a byte that cannot follow it: '?' and the byte.
    EXPECT_EQ(page.decode("\x82\r\n"), QStringView(u"?\r\n"));
    // A lead byte at the end.
    EXPECT_EQ(page.decode("ab\x93"), QStringView(u"ab?"));
    // A lone lead byte code and a pair code without character.
    EXPECT_EQ(page.charOf(0x93), u'?');
    EXPECT_EQ(page.charOf(static_cast<std::int16_t>(0x82FA)), u'?');
    EXPECT_EQ(page.charOf(0x4142), u'?');
}

class DoubleBytePage : public testing::TestWithParam<int> {};

TEST_P(DoubleBytePage, EveryCharacterEncodesToACodeThatGivesItBack)
{
    const CodePage page = CodePage::fromNumber(GetParam());
    int characters = 0;
    for (int code = 0; code < 0x10000; ++code) {
        const char16_t ch = page.charOf(static_cast<std::int16_t>(code));
        if (ch == u'?')
            continue;
        ++characters;
        ASSERT_EQ(page.charOf(page.codeOf(ch)), ch) << std::hex << code;
    }
    // Thousands of double-byte characters, not just the single bytes.
    EXPECT_GT(characters, 8000);
}

TEST_P(DoubleBytePage, SingleBytesThatAreNoLeadBytesComeBack)
{
    const CodePage page = CodePage::fromNumber(GetParam());
    for (int byte = 0; byte < 256; ++byte) {
        const char b = static_cast<char>(byte);
        const QString text = page.decode(QByteArrayView(&b, 1));
        ASSERT_EQ(text.size(), 1);
        if (text == QStringLiteral("?") && byte != '?')
            continue;  // a lead byte on its own
        EXPECT_EQ(page.encode(text), QByteArray(1, b)) << byte;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDoubleBytePages, DoubleBytePage, testing::Values(932, 936, 949, 950));

TEST(CodePage, ChineseSimplifiedHasTheEuroAt0x80)
{
    const CodePage page = CodePage::fromNumber(936);
    EXPECT_EQ(page.charOf(0x80), u'\u20AC');
    EXPECT_EQ(page.encode(u"\u20AC"), QByteArray("\x80"));
    // 电影 is B5 E7 D3 B0.
    EXPECT_EQ(page.decode("\xB5\xE7\xD3\xB0"), QStringView(u"\u7535\u5F71"));
}

TEST(CodePage, OtherDoubleBytePagesKnownCharacters)
{
    // 가 is B0 A1 in 949; 中 is A4 A4 in 950.
    EXPECT_EQ(CodePage::fromNumber(949).decode("\xB0\xA1"), QStringView(u"\uAC00"));
    EXPECT_EQ(CodePage::fromNumber(950).decode("\xA4\xA4"), QStringView(u"\u4E2D"));
}

struct LocaleCase {
    const char* locale;
    int number;
};

class LocaleMapping : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleMapping, MapsLikeTheOriginalPlatform)
{
    EXPECT_EQ(CodePage::numberForLocale(GetParam().locale), GetParam().number) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocaleMapping,
    testing::Values(
        LocaleCase{"ja_JP.UTF-8", 932}, LocaleCase{"ja", 932}, LocaleCase{"zh_CN.GB18030", 936},
        LocaleCase{"zh_SG", 936}, LocaleCase{"zh_TW.UTF-8", 950}, LocaleCase{"zh_HK.big5hkscs", 950},
        LocaleCase{"ko_KR.EUC-KR", 949}, LocaleCase{"th_TH.TIS-620", 874},
        LocaleCase{"cs_CZ.UTF-8", 1250}, LocaleCase{"pl_PL", 1250}, LocaleCase{"hu_HU", 1250},
        LocaleCase{"sk_SK", 1250}, LocaleCase{"sl_SI", 1250}, LocaleCase{"hr_HR", 1250},
        LocaleCase{"ro_RO", 1250}, LocaleCase{"sq_AL", 1250}, LocaleCase{"bs_BA", 1250},
        LocaleCase{"ru_RU.UTF-8", 1251}, LocaleCase{"uk_UA", 1251}, LocaleCase{"be_BY", 1251},
        LocaleCase{"bg_BG", 1251}, LocaleCase{"sr_RS", 1251}, LocaleCase{"mk_MK", 1251},
        LocaleCase{"kk_KZ", 1251}, LocaleCase{"el_GR.UTF-8", 1253}, LocaleCase{"tr_TR", 1254},
        LocaleCase{"az_AZ", 1254}, LocaleCase{"he_IL", 1255}, LocaleCase{"ar_EG", 1256},
        LocaleCase{"fa_IR", 1256}, LocaleCase{"ur_PK", 1256}, LocaleCase{"et_EE", 1257},
        LocaleCase{"lv_LV", 1257}, LocaleCase{"lt_LT", 1257}, LocaleCase{"vi_VN.UTF-8", 1258},
        LocaleCase{"en_US.UTF-8", 1252}, LocaleCase{"de_DE@euro", 1252}, LocaleCase{"fr_FR", 1252},
        LocaleCase{"C", 1252}, LocaleCase{"C.UTF-8", 1252}, LocaleCase{"POSIX", 1252},
        LocaleCase{"", 1252}, LocaleCase{"JA_JP", 932}, LocaleCase{"zh_tw", 950}));

// The environment is read, the process's locale is never changed.
class EnvironmentLocale : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }
    static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(EnvironmentLocale, LcAllThenLcCtypeThenLang)
{
    EXPECT_EQ(CodePage::fromEnvironment().number(), 1252);
    setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(CodePage::fromEnvironment().number(), 1251);
    setenv("LC_CTYPE", "el_GR.UTF-8", 1);
    EXPECT_EQ(CodePage::fromEnvironment().number(), 1253);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(CodePage::fromEnvironment().number(), 932);
    // An empty variable counts as unset.
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(CodePage::fromEnvironment().number(), 1253);
}

TEST(CodePage, UnassignedSingleBytesOfDoubleBytePages)
{
    // 932 leaves 0x80, 0xA0 and 0xFD..0xFF unassigned: U+00XX is free there.
    const CodePage japanese = CodePage::fromNumber(932);
    EXPECT_EQ(japanese.charOf(0xA0), u'\u00A0');
    EXPECT_EQ(japanese.encode(u"\u00A0\u00FF"), QByteArray("\xA0\xFF"));
    // 949 holds þ as a double-byte character, so its unassigned byte 0xFE
    // takes a private-use character instead of U+00FE.
    const CodePage korean = CodePage::fromNumber(949);
    EXPECT_EQ(korean.charOf(0xFE), u'\uF7FE');
    EXPECT_EQ(korean.encode(u"\uF7FE"), QByteArray("\xFE"));
    EXPECT_GT(static_cast<std::uint16_t>(korean.codeOf(u'\u00FE')), 0xFF);
    EXPECT_EQ(korean.decode(korean.encode(u"\u00FE\uF7FE")), QStringView(u"\u00FE\uF7FE"));
}

TEST(CodePage, TablesAreSharedAndSafeToBuildFromSeveralThreads)
{
    // Run on its own (as ctest runs each test), the threads race to be the
    // first to build 949's tables.
    std::vector<std::thread> threads;
    std::vector<QByteArray> results(4);
    std::vector<std::optional<CodePage>> pages(4);
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, &pages, i] {
            pages[i] = CodePage::fromNumber(949);
            results[i] = pages[i]->encode(u"\uC601\uD654");
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i], QByteArray("\xBF\xB5\xC8\xAD")) << i;
        EXPECT_TRUE(pages[i]->sharesTablesWith(*pages[0])) << i;
    }
    const CodePage later = CodePage::fromNumber(949);
    EXPECT_TRUE(later.sharesTablesWith(*pages[0]));
    EXPECT_FALSE(later.sharesTablesWith(CodePage::fromNumber(936)));
}
