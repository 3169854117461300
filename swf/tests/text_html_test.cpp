// The simple HTML of text fields, parsed into paragraphs and formatted runs.

#include "text/HtmlText.h"

#include <gtest/gtest.h>

namespace qev::swf::text {
namespace {

TEST(TextHtml, PlainTextBreaksAtEveryKindOfLineEnd)
{
    const auto p = plainParagraphs(QStringLiteral("one\rtwo\r\nthree\nfour"));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].plainText(), QStringLiteral("one"));
    EXPECT_EQ(p[1].plainText(), QStringLiteral("two"));
    EXPECT_EQ(p[3].plainText(), QStringLiteral("four"));
}

TEST(TextHtml, BoldItalicAndFontMakeRunsWithTheirFormat)
{
    const auto p = parseHtml(QStringLiteral(
        "a<b>b<i>c</i></b><font color=\"#FF0000\" size=\"20\" face=\"_sans\">d</font><u>e</u>"));
    ASSERT_EQ(p.size(), 1u);
    const auto& runs = p[0].runs;
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, QStringLiteral("a"));
    EXPECT_FALSE(runs[0].format.bold);
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_FALSE(runs[1].format.italic);
    EXPECT_TRUE(runs[2].format.bold);
    EXPECT_TRUE(runs[2].format.italic);
    EXPECT_EQ(runs[3].format.color, QColor(255, 0, 0));
    EXPECT_EQ(runs[3].format.size, 20.0);
    EXPECT_EQ(runs[3].format.face, QStringLiteral("_sans"));
    EXPECT_FALSE(runs[3].format.bold);
    EXPECT_TRUE(runs[4].format.underline);
}

TEST(TextHtml, ParagraphsAndLineBreaksWithAlignment)
{
    const auto p = parseHtml(QStringLiteral(
        "<p align=\"center\">first<br/>second</p><p align='right'>third</p><p>fourth</p>"));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].plainText(), QStringLiteral("first"));
    EXPECT_EQ(p[0].align, Align::Center);
    EXPECT_EQ(p[1].plainText(), QStringLiteral("second"));
    EXPECT_EQ(p[1].align, Align::Center);
    EXPECT_EQ(p[2].align, Align::Right);
    EXPECT_FALSE(p[3].align.has_value());
}

TEST(TextHtml, EntitiesAndUnknownTags)
{
    const auto p = parseHtml(QStringLiteral(
        "<textformat leading=\"2\"><a href=\"x\">&lt;a&gt; &amp; &quot;q&quot; &#65;&#x42; &bogus; 5 &lt 6</a></textformat>"));
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].plainText(), QStringLiteral("<a> & \"q\" AB &bogus; 5 &lt 6"));
}

TEST(TextHtml, FontSizesAndColoursNestAndRestore)
{
    const auto p = parseHtml(QStringLiteral(
        "<font size=\"10\" color=\"#00ff00\">a<font size=\"+4\">b</font>c</font>d"));
    const auto& runs = p[0].runs;
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].format.size, 10.0);
    EXPECT_EQ(runs[1].format.size, 14.0);
    EXPECT_EQ(runs[1].format.color, QColor(0, 255, 0));
    EXPECT_EQ(runs[2].format.size, 10.0);
    EXPECT_FALSE(runs[3].format.size.has_value());
    EXPECT_FALSE(runs[3].format.color.has_value());
}

TEST(TextHtml, BrokenMarkupIsKeptAsText)
{
    // Stray closing tags, a bad colour and an unclosed tag do no harm.
    const auto p = parseHtml(QStringLiteral("</b></font><font color=\"zz\">x</font>y<b"));
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].plainText(), QStringLiteral("xy<b"));
    EXPECT_FALSE(p[0].runs[0].format.color.has_value());
    EXPECT_TRUE(parseHtml(QString()).size() == 1u);
}

TEST(TextHtml, ListItemsStartParagraphsWithABullet)
{
    const auto p = parseHtml(QStringLiteral("<li>one</li><li>two</li>"));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].plainText(), QStringLiteral("\u2022 one"));
    EXPECT_EQ(p[1].plainText(), QStringLiteral("\u2022 two"));
}

TEST(TextHtml, EntityDecoding)
{
    EXPECT_EQ(decodeEntity(QStringLiteral("nbsp")), QString(QChar(0xA0)));
    EXPECT_EQ(decodeEntity(QStringLiteral("#x20AC")), QStringLiteral("\u20AC"));
    EXPECT_EQ(decodeEntity(QStringLiteral("#128512")).value().size(), 2); // outside the BMP
    EXPECT_FALSE(decodeEntity(QStringLiteral("#xD800")).has_value());
    EXPECT_FALSE(decodeEntity(QStringLiteral("#99999999")).has_value());
    EXPECT_FALSE(decodeEntity(QStringLiteral("#0")).has_value());
}

} // namespace
} // namespace qev::swf::text
