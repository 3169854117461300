#include "Printers.h"

#include "qev/CodePage.h"
#include "qev/CryptoModule.h"
#include "qev/Playlist.h"

#include <gtest/gtest.h>

#include <string>

using qev::CodePage;
using qev::PlaylistItem;

namespace {

struct Decoded {
    std::vector<PlaylistItem> items;
    std::string error;  // what() of a PlaylistFormatError, or ""
};

Decoded decode(QByteArrayView data, int codePage = 1252)
{
    Decoded result;
    try {
        qev::decodePlaylist(data, CodePage::fromNumber(codePage),
                            [&](PlaylistItem&& item) { result.items.push_back(std::move(item)); });
    } catch (const qev::PlaylistFormatError& error) {
        result.error = error.what();
    }
    return result;
}

QByteArray bytes(std::initializer_list<unsigned char> values)
{
    QByteArray out;
    for (unsigned char v : values)
        out.append(static_cast<char>(v));
    return out;
}

} // namespace

TEST(PlaylistLines, LineIsCodePageTextAndCrLf)
{
    QByteArray out("x");
    qev::appendLine(out, u"Caf\u00E9", CodePage::fromNumber(1252));
    EXPECT_EQ(out, QByteArray("xCaf\xE9\r\n"));
    qev::appendLine(out, u"", CodePage::fromNumber(1252));
    EXPECT_EQ(out, QByteArray("xCaf\xE9\r\n\r\n"));
    QByteArray cyrillic;
    qev::appendLine(cyrillic, u"\u041A\u0438\u043D\u043E", CodePage::fromNumber(1251));
    EXPECT_EQ(cyrillic, QByteArray("\xCA\xE8\xED\xEE\r\n"));
}

TEST(PlaylistLines, CharactersWithoutCodeAreWrittenAsQuestionMarks)
{
    QByteArray out;
    qev::appendLine(out, u"a\u041Ab", CodePage::fromNumber(1252));
    EXPECT_EQ(out, QByteArray("a?b\r\n"));
}

TEST(PlaylistEncode, TwoItemsKnownBytes)
{
    const std::vector<PlaylistItem> items{{"Intro", "C:\\Movies\\intro.swf"}, {"Ende", "outro.swf"}};
    const QByteArray expected = bytes({
        'I', 'n', 't', 'r', 'o', 0x0D, 0x0A,
        // C : \ M o v i e s \ i n t r o . s w f, each XOR 5A
        0x19, 0x60, 0x06, 0x17, 0x35, 0x2C, 0x33, 0x3F, 0x29, 0x06,
        0x33, 0x34, 0x2E, 0x28, 0x35, 0x74, 0x29, 0x2D, 0x3C, 0x0D, 0x0A,
        'E', 'n', 'd', 'e', 0x0D, 0x0A,
        0x35, 0x2F, 0x2E, 0x28, 0x35, 0x74, 0x29, 0x2D, 0x3C, 0x0D, 0x0A,
    });
    EXPECT_EQ(qev::encodePlaylist(items, CodePage::fromNumber(1252)), expected);
    const Decoded back = decode(expected);
    EXPECT_EQ(back.error, "");
    EXPECT_EQ(back.items, items);
}

TEST(PlaylistEncode, EmptyListIsZeroBytes)
{
    EXPECT_TRUE(qev::encodePlaylist({}, CodePage::fromNumber(1252)).isEmpty());
}

TEST(PlaylistEncode, ReferencesWithWAndPSurvive)
{
    const CodePage page = CodePage::fromNumber(1252);
    // W ciphers to CR and P to LF; apart they are lone bytes inside the line.
    const std::vector<PlaylistItem> items{
        {"Party", "C:\\Windows\\Party.swf"},
        {"Tail", "MOVIEW"},   // ends in CR, right before the line's CR LF
        {"Head", "PLAY"},     // starts with LF, right after the name's CR LF
        {"Both", "P\\W"},
    };
    const QByteArray data = qev::encodePlaylist(items, page);
    EXPECT_TRUE(data.contains(bytes({0x19, 0x60, 0x06, 0x0D, 0x33})));
    EXPECT_TRUE(data.contains(bytes({0x0D, 0x0D, 0x0A})));
    EXPECT_TRUE(data.contains(bytes({0x0D, 0x0A, 0x0A})));
    const Decoded back = decode(data);
    EXPECT_EQ(back.error, "");
    EXPECT_EQ(back.items, items);
}

TEST(PlaylistEncode, EveryCharacterOfEveryPageSurvives)
{
    for (int number : CodePage::supportedNumbers()) {
        const CodePage page = CodePage::fromNumber(number);
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = static_cast<char>(i);
        // On a double-byte page the bytes form pairs and broken pairs; the
        // name still holds every kind of character. The cipher can only be
        // undone for some double-byte characters, so there the reference
        // holds the single-byte characters below 0x80.
        const QString text = page.decode(all);
        const QString reference = page.isDoubleByte() ? page.decode(all.left(0x80)) : text;
        ASSERT_TRUE(qev::nameSurvivesFile(text, page)) << number;
        ASSERT_TRUE(qev::referenceSurvivesFile(reference, page)) << number;
        const std::vector<PlaylistItem> items{{text, reference}, {"b", reference.right(40)}};
        const Decoded back = decode(qev::encodePlaylist(items, page), number);
        EXPECT_EQ(back.error, "") << number;
        EXPECT_EQ(back.items, items) << number;
    }
}

TEST(PlaylistDecode, ZeroBytesGiveNoItems)
{
    const Decoded result = decode(QByteArrayView());
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(result.items.empty());
}

TEST(PlaylistDecode, LastLineWithoutCrLfIsReadToTheEnd)
{
    const Decoded result = decode("A\r\n;");  // ';' deciphers to 'a'
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"A", "a"}}));
}

TEST(PlaylistDecode, EmptyLinesFormItems)
{
    const Decoded result = decode("\r\n\r\nB\r\n\r\n");
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"", ""}, {"B", ""}}));
}

TEST(PlaylistDecode, OddNumberOfLinesDeliversPairsThenFails)
{
    const Decoded result = decode("A\r\n;\r\nB\r\n8\r\nC\r\n");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"A", "a"}, {"B", "b"}}));
    EXPECT_EQ(result.error, "Input past end of file");
}

TEST(PlaylistDecode, NameLineWithoutCrLfAtTheEndFails)
{
    const Decoded result = decode("A\r\n;\r\nB");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"A", "a"}}));
    EXPECT_EQ(result.error, "Input past end of file");
}

TEST(PlaylistDecode, ExtraEmptyLineAtTheEndFails)
{
    const Decoded result = decode("A\r\n;\r\n\r\n");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"A", "a"}}));
    EXPECT_EQ(result.error, "Input past end of file");
}

TEST(PlaylistDecode, OnlyCrLfEndsALine)
{
    // In the name: a lone LF and a lone CR stay. In the reference: LF and CR
    // are the ciphered P and W.
    const Decoded result = decode("a\nb\rc\r\n\n;\r\r\n");
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"a\nb\rc", "PaW"}}));
}

TEST(PlaylistDecode, LoneCrAtTheEndStaysInTheLine)
{
    const Decoded result = decode("n\r\n;\r");
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"n", "aW"}}));
}

TEST(PlaylistDecode, LinesAreTakenAsTheyAre)
{
    const Decoded result = decode("  spaced  \r\n\x7A\x7A\r\n");  // two ciphered blanks
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.items, (std::vector<PlaylistItem>{{"  spaced  ", "  "}}));
}

TEST(PlaylistDecode, ItemsArriveInFileOrderOneByOne)
{
    std::vector<QString> seen;
    EXPECT_THROW(qev::decodePlaylist("1\r\n\r\n2\r\n\r\n3", CodePage::fromNumber(1252),
                                     [&](PlaylistItem&& item) { seen.push_back(item.name); }),
                 qev::PlaylistFormatError);
    EXPECT_EQ(seen, (std::vector<QString>{"1", "2"}));
}

TEST(PlaylistDecode, JapaneseReferenceIsDeciphered)
{
    const CodePage page = CodePage::fromNumber(932);
    const std::vector<PlaylistItem> items{{QStringLiteral(u"\u6771\u4EAC"), QStringLiteral(u"\u6771\u4EAC.swf")}};
    const QByteArray data = qev::encodePlaylist(items, page);
    EXPECT_EQ(data, QByteArray("\x93\x8C\x8B\x9E\r\n\x93\xD6\x8B\xC4t)-<\r\n"));
    EXPECT_EQ(decode(data, 932).items, items);
}

TEST(PlaylistSurvival, ReferenceWithWDirectlyBeforePDoesNotSurvive)
{
    const CodePage page = CodePage::fromNumber(1252);
    const QString reference = "C:\\Media\\WPlay.swf";
    EXPECT_FALSE(qev::referenceSurvivesFile(reference, page));
    // Why: the ciphered "WP" is CR LF, which splits the reference line.
    const Decoded back = decode(qev::encodePlaylist({{"n", reference}}, page));
    EXPECT_TRUE(back.items.empty() || back.items.front().reference != reference);
}

TEST(PlaylistSurvival, ReferencesThatComeBackAreAccepted)
{
    const CodePage page = CodePage::fromNumber(1252);
    for (const char* reference : {"", "C:\\Windows\\Party.swf", "MOVIEW", "PLAY", "P\\W", "wp.swf", "PW"})
        EXPECT_TRUE(qev::referenceSurvivesFile(QString::fromLatin1(reference), page)) << reference;
}

TEST(PlaylistSurvival, CharactersWithoutCodeDoNotSurvive)
{
    EXPECT_FALSE(qev::referenceSurvivesFile(u"\u041A.swf", CodePage::fromNumber(1252)));
    EXPECT_TRUE(qev::referenceSurvivesFile(u"\u041A.swf", CodePage::fromNumber(1251)));
    EXPECT_FALSE(qev::nameSurvivesFile(u"\u041A", CodePage::fromNumber(1252)));
    EXPECT_TRUE(qev::nameSurvivesFile(u"\u041A", CodePage::fromNumber(1251)));
}

TEST(PlaylistSurvival, DoubleByteReferencesSurviveOnlyWhenTheCipherCanBeUndone)
{
    const CodePage page = CodePage::fromNumber(932);
    EXPECT_TRUE(qev::referenceSurvivesFile(u"\u6771\u4EAC.swf", page));
    EXPECT_FALSE(qev::referenceSurvivesFile(u"\u6620\u753B.swf", page));  // 映画
}

TEST(PlaylistSurvival, NamesWithCrLfDoNotSurvive)
{
    const CodePage page = CodePage::fromNumber(1252);
    EXPECT_TRUE(qev::nameSurvivesFile(u"a\rb\nc", page));
    EXPECT_TRUE(qev::nameSurvivesFile(u"", page));
    EXPECT_FALSE(qev::nameSurvivesFile(u"a\r\nb", page));
}
