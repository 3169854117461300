// Device-font text layout: font choice, line breaking, alignment, leading,
// and drawing into the field.

#include "text/DeviceText.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace qev::swf::text {
namespace {

FieldFormat field(double width, bool wrap, bool multiline)
{
    FieldFormat f;
    f.face = QStringLiteral("_sans");
    f.size = 400; // 20 pixels
    f.bounds = QRectF(0, 0, width, 4000);
    f.wordWrap = wrap;
    f.multiline = multiline;
    return f;
}

int linesOf(const TextLayout& layout)
{
    return layout.lineCount;
}

TEST(TextDeviceFont, GenericNamesMapToTheOriginalPlatformFamilies)
{
    EXPECT_EQ(systemFamily(QStringLiteral("_sans")), QStringLiteral("Arial"));
    EXPECT_EQ(systemFamily(QStringLiteral("_serif")), QStringLiteral("Times New Roman"));
    EXPECT_EQ(systemFamily(QStringLiteral("_typewriter")), QStringLiteral("Courier New"));
    EXPECT_EQ(systemFamily(QStringLiteral("Verdana")), QStringLiteral("Verdana"));
    EXPECT_EQ(systemFamily(QString()), QStringLiteral("Times New Roman"));
}

TEST(TextDeviceFont, SizeStyleAndAFixedPitchForTypewriter)
{
    const QFont font = deviceFont(QStringLiteral("_typewriter"), 240, true, true);
    EXPECT_EQ(font.pixelSize(), 240);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    const QFontMetricsF fm(font);
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("iii")), fm.horizontalAdvance(QStringLiteral("MMM")));
    // Sizes out of range are held to something drawable.
    EXPECT_EQ(deviceFont(QStringLiteral("_sans"), -5, false, false).pixelSize(), 1);
    EXPECT_EQ(deviceFont(QStringLiteral("_sans"), 1e9, false, false).pixelSize(), 20000);
}

TEST(TextLayout, WordWrapBreaksAtSpacesWithinTheField)
{
    const Paragraph p{{text::Run{QStringLiteral("aaa bbb ccc ddd"), {}}}, std::nullopt};
    const QFontMetricsF fm(deviceFont(QStringLiteral("_sans"), 400, false, false));
    // Room for about two words per line inside the gutters.
    const double width = fm.horizontalAdvance(QStringLiteral("aaa bbb")) + 2 * kGutter + 10;
    const auto wrapped = layoutText({p}, field(width, true, true));
    EXPECT_EQ(linesOf(wrapped), 2);
    const auto unwrapped = layoutText({p}, field(width, false, true));
    EXPECT_EQ(linesOf(unwrapped), 1);
    for (const PlacedRun& r : wrapped.runs)
        EXPECT_LE(r.origin.x() + QFontMetricsF(r.font).horizontalAdvance(r.text.trimmed()), width - kGutter + 0.5);
}

TEST(TextLayout, AWordLongerThanTheLineIsBrokenInside)
{
    const Paragraph p{{text::Run{QStringLiteral("abcdefghijklmnopqrstuvwxyz"), {}}}, std::nullopt};
    const auto layout = layoutText({p}, field(2 * kGutter + 1000, true, true));
    EXPECT_GT(linesOf(layout), 1);
    QString all;
    for (const PlacedRun& r : layout.runs)
        all += r.text;
    EXPECT_EQ(all, QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
}

TEST(TextLayout, PlainTextKeepsItsLineBreaksHtmlRunsOnInASingleLineField)
{
    const auto paragraphs = plainParagraphs(QStringLiteral("one\rtwo\rthree"));
    EXPECT_EQ(linesOf(layoutText(paragraphs, field(4000, false, true))), 3);
    EXPECT_EQ(linesOf(layoutText(paragraphs, field(4000, false, false))), 3);

    qev::swf::EditText html;
    html.html = true;
    html.initialText = QStringLiteral("<p>one</p><p>two</p>");
    html.multiline = false;
    const auto joined = fieldParagraphs(html, field(4000, false, false));
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].plainText(), QStringLiteral("onetwo"));
    html.multiline = true;
    EXPECT_EQ(fieldParagraphs(html, field(4000, false, true)).size(), 2u);
}

TEST(TextLayout, LinesAdvanceByAscentDescentAndLeading)
{
    const auto paragraphs = plainParagraphs(QStringLiteral("one\rtwo"));
    FieldFormat f = field(4000, false, true);
    const LineMetrics fm = lineMetrics(deviceFont(f.face, f.size, false, false));
    EXPECT_NEAR(fm.ascent, 0.905 * 400, 0.01); // Arial's proportions
    const auto plain = layoutText(paragraphs, f);
    ASSERT_EQ(plain.runs.size(), 2u);
    EXPECT_NEAR(plain.runs[0].origin.y(), kGutter + fm.ascent, 0.01);
    EXPECT_NEAR(plain.runs[1].origin.y() - plain.runs[0].origin.y(), fm.ascent + fm.descent, 0.01);
    f.leading = 100;
    const auto led = layoutText(paragraphs, f);
    EXPECT_NEAR(led.runs[1].origin.y() - led.runs[0].origin.y(), fm.ascent + fm.descent + 100, 0.01);
}

TEST(TextLayout, AlignmentMarginsAndIndent)
{
    FieldFormat f = field(4000, false, true);
    const auto one = plainParagraphs(QStringLiteral("word"));
    const double w = QFontMetricsF(deviceFont(f.face, f.size, false, false)).horizontalAdvance(QStringLiteral("word"));

    f.leftMargin = 100;
    f.indent = 60;
    EXPECT_NEAR(layoutText(one, f).runs[0].origin.x(), kGutter + 160, 0.01);

    f = field(4000, false, true);
    f.align = Align::Right;
    f.rightMargin = 200;
    EXPECT_NEAR(layoutText(one, f).runs[0].origin.x(), 4000 - kGutter - 200 - w, 0.01);

    f = field(4000, false, true);
    f.align = Align::Center;
    EXPECT_NEAR(layoutText(one, f).runs[0].origin.x(), kGutter + (4000 - 2 * kGutter - w) / 2, 0.01);

    // An HTML paragraph's own alignment wins over the field's.
    f = field(4000, false, true);
    const auto html = parseHtml(QStringLiteral("<p align=\"right\">word</p>"));
    EXPECT_NEAR(layoutText(html, f).runs[0].origin.x(), 4000 - kGutter - w, 0.01);
}

TEST(TextLayout, HtmlRunsKeepTheirFontsAndColours)
{
    FieldFormat f = field(8000, false, true);
    f.color = QColor(0, 0, 255);
    const auto layout = layoutText(parseHtml(QStringLiteral("a<b>b</b><font color=\"#ff0000\" size=\"30\">c</font>")), f);
    ASSERT_EQ(layout.runs.size(), 3u);
    EXPECT_EQ(layout.runs[0].color, QColor(0, 0, 255));
    EXPECT_FALSE(layout.runs[0].font.bold());
    EXPECT_TRUE(layout.runs[1].font.bold());
    EXPECT_EQ(layout.runs[2].color, QColor(255, 0, 0));
    EXPECT_EQ(layout.runs[2].font.pixelSize(), 600);
    // Runs follow one another on the same baseline.
    EXPECT_NEAR(layout.runs[1].origin.x(), layout.runs[0].origin.x() + layout.runs[0].width, 0.01);
    EXPECT_EQ(layout.runs[0].origin.y(), layout.runs[2].origin.y());
}

TEST(TextLayout, DrawnTextLandsInsideTheFieldInItsColour)
{
    FieldFormat f = field(2000, false, false);
    f.color = QColor(255, 0, 0);
    f.size = 600;
    const auto layout = layoutText(plainParagraphs(QStringLiteral("HHHH")), f);
    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setTransform(QTransform::fromScale(1.0 / 20, 1.0 / 20));
    drawLayout(p, layout, render::CxForm{});
    p.end();
    int red = 0;
    int outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60) {
                ++red;
                if (x < 2 || y < 2 || y > 2 + 30)
                    ++outside;
            }
        }
    EXPECT_GT(red, 50);
    EXPECT_EQ(outside, 0);
}

TEST(TextLayout, ColourTransformApplies)
{
    FieldFormat f = field(2000, false, false);
    f.size = 600;
    const auto layout = layoutText(plainParagraphs(QStringLiteral("HHHH")), f);
    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setTransform(QTransform::fromScale(1.0 / 20, 1.0 / 20));
    render::CxForm toGreen;
    toGreen.add[1] = 255; // black text becomes green
    drawLayout(p, layout, toGreen);
    p.end();
    bool green = false;
    for (int y = 0; y < image.height() && !green; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(0, 255, 0))
                green = true;
    EXPECT_TRUE(green);
}

} // namespace
} // namespace qev::swf::text
