// Filters, blend modes, cached bitmaps and device text in real movies made
// with the SWF writer, played and drawn by the engine, probed at stage points.

#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"
#include "render/effects/BlendModes.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <numbers>

namespace qev::swf {
namespace {

using namespace writer;

::testing::AssertionResult near(QRgb got, QRgb want, int tolerance = 3)
{
    const bool ok = std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance
        && std::abs(qBlue(got) - qBlue(want)) <= tolerance;
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << QColor::fromRgba(got).name().toStdString() << ", want "
                                         << QColor::fromRgba(want).name().toStdString();
}

QImage draw(const QByteArray& bytes, QSize size = QSize(100, 100))
{
    Player player;
    EXPECT_TRUE(player.loadBytes(bytes).isEmpty());
    return player.renderImage(size);
}

PlaceObject placeNew(std::uint16_t id, std::uint16_t depth, const Matrix& m = {})
{
    PlaceObject p;
    p.version = 3;
    p.characterId = id;
    p.depth = depth;
    p.matrix = m;
    return p;
}

// A 100 x 100 stage, grey (128) everywhere, with an orange square
// (255, 128, 0) from (20, 20) to (80, 80) placed in `mode`.
QByteArray blendMovie(BlendMode mode)
{
    MovieBuilder m(100, 100, 12);
    const auto grey = m.defineShape(ShapeBuilder().fill(solid(rgb(0x808080))).rect(0, 0, 100, 100));
    const auto orange = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF8000))).rect(20, 20, 60, 60));
    m.place(grey, 1);
    PlaceObject p = placeNew(orange, 2);
    p.blendMode = mode;
    m.place(p);
    m.showFrame();
    return m.finish();
}

TEST(EffectsMovie, BlendModesCompositeTheObjectOntoWhatIsBelow)
{
    for (BlendMode mode : {BlendMode::Multiply, BlendMode::Screen, BlendMode::Lighten, BlendMode::Darken,
                           BlendMode::Difference, BlendMode::Add, BlendMode::Subtract, BlendMode::Invert,
                           BlendMode::Overlay, BlendMode::HardLight, BlendMode::Layer}) {
        const QImage image = draw(blendMovie(mode));
        const QRgb want = effects::blendPixel(0xFFFF8000, 0xFF808080, mode);
        EXPECT_TRUE(near(image.pixel(50, 50), want)) << int(mode);
        EXPECT_TRUE(near(image.pixel(10, 10), 0xFF808080)) << int(mode); // outside the square
    }
}

TEST(EffectsMovie, AlphaAndEraseOnTheStageShowNothing)
{
    for (BlendMode mode : {BlendMode::Alpha, BlendMode::Erase}) {
        const QImage image = draw(blendMovie(mode));
        EXPECT_TRUE(near(image.pixel(50, 50), 0xFF808080)) << int(mode);
    }
}

// A sprite drawn as a layer holds a blue square (10..90); inside it, a
// 20 x 20 shape at (40, 40) in `mode` with the given alpha.
QByteArray layeredMovie(BlendMode mode, int alpha)
{
    MovieBuilder m(100, 100, 12);
    const auto blue = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000FF))).rect(10, 10, 80, 80));
    const auto cutter = m.defineShape(ShapeBuilder().fill(solid(rgba(0, 0, 0, alpha))).rect(40, 40, 20, 20));
    SpriteBuilder s;
    s.place(blue, 1);
    PlaceObject c = placeNew(cutter, 2);
    c.blendMode = mode;
    s.place(c);
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    PlaceObject p = placeNew(sprite, 1);
    p.blendMode = BlendMode::Layer;
    m.place(p);
    m.showFrame();
    return m.finish();
}

TEST(EffectsMovie, EraseInsideALayerCutsAHoleToTheStage)
{
    const QImage image = draw(layeredMovie(BlendMode::Erase, 255));
    EXPECT_TRUE(near(image.pixel(50, 50), 0xFFFFFFFF)); // the white stage shows through
    EXPECT_TRUE(near(image.pixel(20, 20), 0xFF0000FF));
}

TEST(EffectsMovie, AlphaInsideALayerKeepsOnlyWhatItCovers)
{
    const QImage image = draw(layeredMovie(BlendMode::Alpha, 128));
    EXPECT_TRUE(near(image.pixel(20, 20), 0xFFFFFFFF)); // outside the shape: gone
    EXPECT_TRUE(near(image.pixel(50, 50), qRgb(127, 127, 255))); // half the blue over white
}

QByteArray filteredSquare(const std::vector<Filter>& filters)
{
    MovieBuilder m(100, 100, 12);
    const auto red = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 20, 20));
    PlaceObject p = placeNew(red, 1, translatePx(20, 20));
    p.filters = filters;
    m.place(p);
    m.showFrame();
    return m.finish();
}

DropShadowFilter shadow(double distance)
{
    DropShadowFilter f;
    f.color = rgb(0x000000);
    f.angle = 0;
    f.distance = distance;
    f.blurX = f.blurY = 0;
    f.strength = 1;
    return f;
}

// A sprite of two overlapping red squares at half alpha. As a layer it is
// flattened first and then made half transparent as a whole, so the overlap
// looks like the rest; drawn normally each square is half transparent and
// the overlap shows redder.
QByteArray halfAlphaSquares(BlendMode mode)
{
    MovieBuilder m(100, 100, 12);
    m.setBackgroundColor(rgb(0xFFFFFF));
    const auto square = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 40, 40));
    SpriteBuilder s;
    s.place(square, 1, translatePx(10, 10));
    s.place(square, 2, translatePx(30, 30));
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    PlaceObject p = placeNew(sprite, 1);
    p.blendMode = mode;
    ColorTransform half;
    half.aMul = 128;
    p.colorTransform = half;
    m.place(p);
    m.showFrame();
    return m.finish();
}

TEST(EffectsMovie, ALayerTakesItsAlphaAsAWhole)
{
    const QImage layer = draw(halfAlphaSquares(BlendMode::Layer));
    const QRgb half = qRgb(255, 127, 127);
    EXPECT_TRUE(near(layer.pixel(20, 20), half));
    EXPECT_TRUE(near(layer.pixel(40, 40), half)) << "the overlap";
    EXPECT_TRUE(near(layer.pixel(60, 60), half));
    EXPECT_TRUE(near(layer.pixel(90, 10), qRgb(255, 255, 255)));

    const QImage normal = draw(halfAlphaSquares(BlendMode::Normal));
    EXPECT_TRUE(near(normal.pixel(20, 20), half));
    EXPECT_TRUE(near(normal.pixel(40, 40), qRgb(255, 64, 64), 4)) << "each square shows through the other";
}

TEST(EffectsMovie, DropShadowFallsAtItsDistanceAndScalesWithTheStage)
{
    const QImage image = draw(filteredSquare({shadow(10)}));
    EXPECT_TRUE(near(image.pixel(30, 30), 0xFFFF0000));
    EXPECT_TRUE(near(image.pixel(45, 30), 0xFF000000));
    EXPECT_TRUE(near(image.pixel(55, 30), 0xFFFFFFFF));

    // At twice the size the shadow moves twice as far.
    const QImage big = draw(filteredSquare({shadow(10)}), QSize(200, 200));
    EXPECT_TRUE(near(big.pixel(95, 60), 0xFF000000));
    EXPECT_TRUE(near(big.pixel(105, 60), 0xFFFFFFFF));
}

TEST(EffectsMovie, BlurSoftensEdgesAndReachesPastThem)
{
    const QImage image = draw(filteredSquare({BlurFilter{10, 10, 1}}));
    EXPECT_TRUE(near(image.pixel(30, 30), 0xFFFF0000));
    // Just outside the square the blur has spread some red.
    const QRgb outside = image.pixel(17, 30);
    EXPECT_GT(qRed(outside), 255 - 5);
    EXPECT_LT(qGreen(outside), 240);
    EXPECT_GT(qGreen(outside), 60);
    EXPECT_TRUE(near(image.pixel(10, 30), 0xFFFFFFFF));
}

TEST(EffectsMovie, GlowKnockoutLeavesOnlyTheGlow)
{
    GlowFilter glow;
    glow.color = rgb(0x0000FF);
    glow.blurX = glow.blurY = 6;
    glow.strength = 2;
    glow.knockout = true;
    const QImage image = draw(filteredSquare({glow}));
    EXPECT_TRUE(near(image.pixel(30, 30), 0xFFFFFFFF)); // the square is knocked out
    const QRgb edge = image.pixel(19, 30);
    EXPECT_GT(qBlue(edge), qRed(edge) + 20); // the glow around it is blue
}

TEST(EffectsMovie, ColorMatrixTurnsRedToGreen)
{
    ColorMatrixFilter f;
    f.matrix = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    const QImage image = draw(filteredSquare({f}));
    EXPECT_TRUE(near(image.pixel(30, 30), 0xFF00FF00));
}

TEST(EffectsMovie, CachedBitmapWithBackgroundFillsItsBounds)
{
    MovieBuilder m(100, 100, 12);
    const auto disc = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).ellipse(50, 50, 30, 30));
    PlaceObject p = placeNew(disc, 1);
    p.cacheAsBitmap = true;
    p.backgroundColor = rgb(0x00FF00);
    m.place(p);
    m.showFrame();
    const QImage image = draw(m.finish());
    EXPECT_TRUE(near(image.pixel(50, 50), 0xFFFF0000));
    EXPECT_TRUE(near(image.pixel(24, 24), 0xFF00FF00)); // a corner of the bounds, outside the disc
    EXPECT_TRUE(near(image.pixel(10, 10), 0xFFFFFFFF)); // outside the bounds
}

// A 200 x 60 stage with one device-font text field over it.
QByteArray textMovie(const QString& text, bool html, TextAlign align = TextAlign::Left)
{
    MovieBuilder m(200, 60, 12);
    Font font;
    font.version = 2;
    font.name = QStringLiteral("_sans");
    const auto fontId = m.defineFont(font);
    EditText e;
    e.bounds = Rect{px(0), px(200), px(0), px(60)};
    e.fontId = fontId;
    e.fontHeight = std::uint16_t(px(30));
    e.textColor = rgb(0xFF0000);
    e.html = html;
    e.multiline = true;
    e.hasLayout = true;
    e.align = align;
    e.readOnly = true;
    e.initialText = text;
    const auto id = m.defineEditText(e);
    m.place(id, 1);
    m.showFrame();
    return m.finish();
}

struct Ink {
    int count = 0;
    int minX = 1 << 30;
    int maxX = -1;
};

Ink inkOf(const QImage& image, QRgb color)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixel(x, y), color, 40)) {
                ++ink.count;
                ink.minX = std::min(ink.minX, x);
                ink.maxX = std::max(ink.maxX, x);
            }
    return ink;
}

TEST(EffectsMovie, DeviceTextIsDrawnInTheFieldColour)
{
    const QImage image = draw(textMovie(QStringLiteral("HHH"), false), QSize(200, 60));
    const Ink red = inkOf(image, 0xFFFF0000);
    EXPECT_GT(red.count, 100);
    EXPECT_GE(red.minX, 2); // inside the gutter
    EXPECT_LT(red.maxX, 100);
}

TEST(EffectsMovie, DeviceTextAlignsRight)
{
    const QImage image = draw(textMovie(QStringLiteral("HHH"), false, TextAlign::Right), QSize(200, 60));
    const Ink red = inkOf(image, 0xFFFF0000);
    EXPECT_GT(red.count, 100);
    EXPECT_GT(red.minX, 100);
    EXPECT_LE(red.maxX, 198);
}

TEST(EffectsMovie, HtmlTextTakesItsFontColours)
{
    const QImage image =
        draw(textMovie(QStringLiteral("HH<font color=\"#0000FF\">HH</font>"), true), QSize(200, 60));
    const Ink red = inkOf(image, 0xFFFF0000);
    const Ink blue = inkOf(image, 0xFF0000FF);
    EXPECT_GT(red.count, 50);
    EXPECT_GT(blue.count, 50);
    EXPECT_LT(red.maxX, blue.minX); // the blue run follows the red one
}


TEST(EffectsMovie, StaticTextInAFontWithoutOutlinesUsesASystemFont)
{
    MovieBuilder m(200, 60, 12);
    Font font;
    font.version = 2;
    font.name = QStringLiteral("Arial");
    Glyph h;
    h.code = 'H';
    h.outline.version = 0;
    h.outline.layers.resize(1);
    font.glyphs = {h};
    const auto fontId = m.defineFont(font);
    Text text;
    text.version = 1;
    text.bounds = Rect{0, px(200), 0, px(60)};
    TextRecord record;
    record.fontId = fontId;
    record.color = rgb(0x0000FF);
    record.x = px(10);
    record.y = px(40);
    record.height = std::uint16_t(px(30));
    for (int i = 0; i < 3; ++i)
        record.glyphs.push_back(GlyphEntry{0, px(25)});
    text.records = {record};
    const auto id = m.defineText(text);
    m.place(id, 1);
    m.showFrame();
    const QImage image = draw(m.finish(), QSize(200, 60));
    const Ink blue = inkOf(image, 0xFF0000FF);
    EXPECT_GT(blue.count, 100);
    EXPECT_GE(blue.minX, 10);
    EXPECT_LT(blue.maxX, 10 + 3 * 25);
}


TEST(EffectsMovie, ColourTransformAppliesToWhatFiltersAdd)
{
    MovieBuilder m(100, 100, 12);
    const auto black = m.defineShape(ShapeBuilder().fill(solid(rgb(0x000000))).rect(0, 0, 20, 20));
    PlaceObject p = placeNew(black, 1, translatePx(40, 40));
    ColorTransform toRed;
    toRed.rAdd = 255;
    p.colorTransform = toRed;
    GlowFilter glow;
    glow.color = rgb(0x000000);
    glow.blurX = glow.blurY = 8;
    glow.strength = 4;
    p.filters = std::vector<Filter>{glow};
    m.place(p);
    m.showFrame();
    const QImage image = draw(m.finish());
    EXPECT_TRUE(near(image.pixel(50, 50), 0xFFFF0000));
    // The black glow went through the same transform: red, not grey.
    const QRgb halo = image.pixel(38, 50);
    EXPECT_GT(qRed(halo), 250);
    EXPECT_LT(qGreen(halo), 200);
}

} // namespace
} // namespace qev::swf
