// What the renderer draws: fills assembled from edges, gradients, bitmap
// fills, lines, colour transforms, masks and the stage scaling, probed pixel
// by pixel on frames drawn from movies made by the writer.

#include "engine_test_support.h"

#include <QPainter>

namespace qev::swf {
namespace {

using namespace writer;
using testing::colorNear;
using testing::frameImage;
using testing::loadOrFail;

constexpr QRgb red = 0xffff0000;
constexpr QRgb green = 0xff00ff00;
constexpr QRgb blue = 0xff0000ff;
constexpr QRgb white = 0xffffffff;

// A movie of one frame showing the shape at the origin, on a white stage.
QImage drawShape(const Shape& shape, int w = 100, int h = 100, const PlaceObject* place = nullptr)
{
    MovieBuilder m(w, h, 12);
    m.setBackgroundColor(rgb(0xffffff));
    const auto id = m.defineShape(shape);
    if (place) {
        PlaceObject p = *place;
        p.characterId = id;
        m.place(p);
    } else {
        m.place(id, 1);
    }
    m.showFrame();
    Player player;
    EXPECT_TRUE(player.loadBytes(m.finish()).isEmpty());
    return frameImage(player);
}

Edge straight(int x0, int y0, int x1, int y1, std::uint16_t fill0, std::uint16_t fill1, std::uint16_t line = 0)
{
    Edge e;
    e.from = {px(x0), px(y0)};
    e.to = {px(x1), px(y1)};
    e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
    e.fill0 = fill0;
    e.fill1 = fill1;
    e.line = line;
    return e;
}

TEST(RenderFills, SolidRectangleAtItsPlaceOnTheBackground)
{
    const QImage image = drawShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(20, 30, 40, 20).build());
    EXPECT_TRUE(colorNear(image.pixel(40, 40), red));
    EXPECT_TRUE(colorNear(image.pixel(21, 31), red));
    EXPECT_TRUE(colorNear(image.pixel(10, 40), white));
    EXPECT_TRUE(colorNear(image.pixel(40, 55), white));
    EXPECT_TRUE(colorNear(image.pixel(65, 40), white));
}

TEST(RenderFills, EdgesSharedByTwoFillsBoundBothRegions)
{
    // A square split down the middle. Fill 1 lies right of an edge in the
    // direction it is drawn (on screen), fill 0 left of it. The middle edge
    // carries both fills; the outer edges come in scrambled order and some
    // are drawn backwards, so both regions have to be joined into loops. With
    // the non-zero rule every loop must also run the same way round.
    Shape s;
    s.version = 4;
    s.nonZeroWinding = true;
    ShapeLayer layer;
    layer.fills = {solid(rgb(0xff0000)), solid(rgb(0x0000ff))};
    layer.edges = {
        straight(50, 10, 50, 90, 2, 1), // middle, downwards: red right of it (the left half)
        straight(90, 90, 90, 10, 2, 0), // right side, drawn upwards
        straight(10, 10, 50, 10, 0, 1),
        straight(50, 90, 10, 90, 0, 1),
        straight(10, 90, 10, 10, 0, 1),
        straight(50, 10, 90, 10, 0, 2),
        straight(90, 90, 50, 90, 0, 2),
    };
    s.layers = {layer};
    s.bounds = {px(10), px(90), px(10), px(90)};
    s.edgeBounds = s.bounds;
    const QImage image = drawShape(s);
    EXPECT_TRUE(colorNear(image.pixel(30, 50), red));
    EXPECT_TRUE(colorNear(image.pixel(70, 50), blue));
    EXPECT_TRUE(colorNear(image.pixel(5, 50), white));
    EXPECT_TRUE(colorNear(image.pixel(95, 50), white));
}

TEST(RenderFills, EvenOddLeavesAHoleAndNonZeroFillsIt)
{
    auto ring = [](bool nonZero) {
        ShapeBuilder b;
        b.fill(solid(rgb(0x00ff00))).rect(10, 10, 80, 80).rect(30, 30, 40, 40);
        if (nonZero)
            b.nonZeroWinding();
        return b.build();
    };
    const QImage evenOdd = drawShape(ring(false));
    EXPECT_TRUE(colorNear(evenOdd.pixel(20, 50), green));
    EXPECT_TRUE(colorNear(evenOdd.pixel(50, 50), white));
    const QImage nonZero = drawShape(ring(true));
    EXPECT_TRUE(colorNear(nonZero.pixel(20, 50), green));
    EXPECT_TRUE(colorNear(nonZero.pixel(50, 50), green));
}

TEST(RenderFills, NewStylesLayerDrawsOverTheEarlierOne)
{
    const Shape s = ShapeBuilder()
                        .fill(solid(rgb(0xff0000)))
                        .rect(10, 10, 80, 80)
                        .newLayer()
                        .fill(solid(rgb(0x0000ff)))
                        .rect(40, 40, 20, 20)
                        .build();
    const QImage image = drawShape(s);
    EXPECT_TRUE(colorNear(image.pixel(20, 20), red));
    EXPECT_TRUE(colorNear(image.pixel(50, 50), blue));
}

TEST(RenderGradients, LinearRunsFromFirstToLastColourAndPadsBeyond)
{
    const Shape s = ShapeBuilder()
                        .fill(linearGradient({{0, rgb(0xff0000)}, {255, rgb(0x0000ff)}}, 20, 0, 60, 100))
                        .rect(0, 0, 100, 100)
                        .build();
    const QImage image = drawShape(s);
    EXPECT_TRUE(colorNear(image.pixel(5, 50), red));   // padded before the start
    EXPECT_TRUE(colorNear(image.pixel(95, 50), blue)); // padded past the end
    EXPECT_TRUE(colorNear(image.pixel(50, 50), qRgb(128, 0, 127), 12));
    EXPECT_TRUE(colorNear(image.pixel(50, 10), image.pixel(50, 90), 2)); // no change along y
}

TEST(RenderGradients, RadialCentreAndRim)
{
    const Shape s = ShapeBuilder()
                        .fill(radialGradient({{0, rgb(0xffffff)}, {255, rgb(0x000000)}}, 10, 10, 80, 80))
                        .rect(0, 0, 100, 100)
                        .build();
    const QImage image = drawShape(s);
    EXPECT_TRUE(colorNear(image.pixel(50, 50), white, 10));
    EXPECT_TRUE(colorNear(image.pixel(2, 2), 0xff000000, 4));
    EXPECT_TRUE(colorNear(image.pixel(50, 70), image.pixel(70, 50), 4)); // round
}

TEST(RenderGradients, RepeatAndReflectSpreadsContinueThePattern)
{
    auto stripe = [](SpreadMode spread) {
        FillStyle f = linearGradient({{0, rgb(0x000000)}, {255, rgb(0xffffff)}}, 0, 0, 20, 100);
        f.gradient.spread = spread;
        return ShapeBuilder().fill(f).rect(0, 0, 100, 100).build();
    };
    const QImage repeat = drawShape(stripe(SpreadMode::Repeat));
    const QImage reflect = drawShape(stripe(SpreadMode::Reflect));
    // x = 25 is a quarter into the second period: dark again when repeating,
    // light when reflected.
    EXPECT_LT(qRed(repeat.pixel(25, 50)), 100);
    EXPECT_GT(qRed(reflect.pixel(25, 50)), 155);
    const QImage pad = drawShape(stripe(SpreadMode::Pad));
    EXPECT_TRUE(colorNear(pad.pixel(60, 50), white));
}

TEST(RenderGradients, EqualRatiosMakeAHardEdge)
{
    const Shape s = ShapeBuilder()
                        .fill(linearGradient({{0, rgb(0xff0000)}, {128, rgb(0xff0000)}, {128, rgb(0x0000ff)},
                                              {255, rgb(0x0000ff)}},
                                             0, 0, 100, 100))
                        .rect(0, 0, 100, 100)
                        .build();
    const QImage image = drawShape(s);
    EXPECT_TRUE(colorNear(image.pixel(45, 50), red));
    EXPECT_TRUE(colorNear(image.pixel(55, 50), blue));
}

TEST(RenderBitmaps, BitmapFillScalesUnsmoothedAndRepeats)
{
    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.setPixel(0, 0, red);
    tile.setPixel(1, 0, green);
    tile.setPixel(0, 1, blue);
    tile.setPixel(1, 1, white);
    MovieBuilder m(100, 100, 12);
    const auto bitmap = m.defineBitsLossless(tile);
    const auto shape = m.defineShape(ShapeBuilder().fill(bitmapFill(bitmap, 0, 0, 20, true, false)).rect(0, 0, 100, 100));
    m.place(shape, 1);
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(10, 10), red));
    EXPECT_TRUE(colorNear(image.pixel(30, 10), green));
    EXPECT_TRUE(colorNear(image.pixel(10, 30), blue));
    EXPECT_TRUE(colorNear(image.pixel(30, 30), white));
    // The tile repeats every 40 pixels.
    EXPECT_TRUE(colorNear(image.pixel(50, 50), red));
    EXPECT_TRUE(colorNear(image.pixel(70, 70), white));
    EXPECT_TRUE(colorNear(image.pixel(65, 45), green));
}

// A clipped bitmap fill does not tile: past its edges each row and column
// goes on in its edge colour, on every side, also where the fill starts
// before the bitmap does.
TEST(RenderBitmaps, ClippedBitmapFillExtendsItsEdgePixels)
{
    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.setPixel(0, 0, red);
    tile.setPixel(1, 0, green);
    tile.setPixel(0, 1, blue);
    tile.setPixel(1, 1, white);
    for (const bool smoothed : {false, true}) {
        MovieBuilder m(100, 100, 12);
        m.setBackgroundColor(rgb(0x000000));
        const auto bitmap = m.defineBitsLossless(tile);
        // The bitmap's 40 x 40 pixels lie at (30, 30); the shape covers the stage.
        const auto shape =
            m.defineShape(ShapeBuilder().fill(bitmapFill(bitmap, 30, 30, 20, false, smoothed)).rect(0, 0, 100, 100));
        m.place(shape, 1);
        m.showFrame();
        Player player;
        loadOrFail(player, m.finish());
        const QImage image = frameImage(player);
        // (A tiled fill would repeat every 40 pixels and show other colours
        // at each point outside the bitmap checked here.)
        EXPECT_TRUE(colorNear(image.pixel(35, 35), red)) << smoothed;
        EXPECT_TRUE(colorNear(image.pixel(15, 15), red)) << "above and left of the bitmap: its corner";
        EXPECT_TRUE(colorNear(image.pixel(85, 15), green)) << "above and right";
        EXPECT_TRUE(colorNear(image.pixel(15, 85), blue)) << "below and left";
        EXPECT_TRUE(colorNear(image.pixel(85, 85), white)) << "below and right";
        EXPECT_TRUE(colorNear(image.pixel(75, 35), green)) << "the top row goes on to the right";
        EXPECT_TRUE(colorNear(image.pixel(35, 75), blue)) << "the left column goes on downwards";
    }
}

// A text field in an embedded font whose one glyph, "A", is a block 900 x
// 700 em units (of 1024) standing on the baseline, advancing 1024.
QImage drawOutlineField(const QString& html)
{
    MovieBuilder m(200, 60, 12);
    m.setBackgroundColor(rgb(0xffffff));
    Font font;
    font.version = 2;
    font.name = QStringLiteral("Blocks");
    font.hasLayout = true;
    font.ascent = 800;
    font.descent = 200;
    Glyph a;
    a.code = u'A';
    a.advance = 1024;
    a.outline = ShapeBuilder(1).fill(solid(rgb(0))).rect(50, -700, 900, 700).buildGlyph();
    font.glyphs = {a};
    EditText field;
    field.bounds = Rect{0, 200 * 20, 0, 60 * 20};
    field.html = true;
    field.useOutlines = true;
    field.fontId = m.defineFont(font);
    field.fontHeight = 20 * 20;
    field.textColor = rgb(0x000000);
    field.initialText = html;
    m.place(m.defineEditText(field), 1);
    m.showFrame();
    Player player;
    EXPECT_TRUE(player.loadBytes(m.finish()).isEmpty());
    return frameImage(player);
}

TEST(RenderText, HtmlRunsInEmbeddedFontsKeepTheirColourAndSize)
{
    const QImage image = drawOutlineField(
        QStringLiteral("<p>A<font color=\"#ff0000\">A</font><font size=\"40\">A</font></p>"));
    // The line's baseline sits below the tallest run's ascent: 2 + 31 pixels.
    EXPECT_TRUE(colorNear(image.pixel(10, 28), 0xff000000)) << "the field's colour";
    EXPECT_TRUE(colorNear(image.pixel(30, 28), red)) << "a coloured run";
    EXPECT_TRUE(colorNear(image.pixel(60, 12), 0xff000000)) << "a run twice the size reaches higher";
    EXPECT_TRUE(colorNear(image.pixel(30, 12), white));
    EXPECT_TRUE(colorNear(image.pixel(10, 12), white));
}

TEST(RenderLines, WidthColourAndHairlines)
{
    const Shape thick = ShapeBuilder().line(6, rgb(0x0000ff)).moveTo(10, 50).lineTo(90, 50).build();
    const QImage image = drawShape(thick);
    EXPECT_TRUE(colorNear(image.pixel(50, 50), blue));
    EXPECT_TRUE(colorNear(image.pixel(50, 48), blue));
    EXPECT_TRUE(colorNear(image.pixel(50, 44), white));
    // Width 0 is a hairline: still one pixel wide on screen.
    const Shape hair = ShapeBuilder().line(0, rgb(0xff0000)).moveTo(10, 50.5).lineTo(90, 50.5).build();
    const QImage h = drawShape(hair);
    EXPECT_LT(qGreen(h.pixel(50, 50)), 100);
}

TEST(RenderLines, LinesScaleWithTheirObject)
{
    const Shape s = ShapeBuilder().line(2, rgb(0x000000)).moveTo(0, 10).lineTo(20, 10).build();
    PlaceObject p;
    p.depth = 1;
    p.matrix = scaleTranslatePx(4, 4, 0, 0); // the line becomes 8 px wide at y = 40
    const QImage image = drawShape(s, 100, 100, &p);
    EXPECT_TRUE(colorNear(image.pixel(40, 38), 0xff000000));
    EXPECT_TRUE(colorNear(image.pixel(40, 42), 0xff000000));
    EXPECT_TRUE(colorNear(image.pixel(40, 47), white));
    EXPECT_TRUE(colorNear(image.pixel(40, 33), white));
}

TEST(RenderColourTransforms, MultiplyAndAddPerChannel)
{
    PlaceObject p;
    p.depth = 1;
    ColorTransform cx;
    cx.rMul = 0;     // red gone
    cx.bAdd = 255;   // blue full
    cx.aMul = 128;   // half transparent
    p.colorTransform = cx;
    const QImage image = drawShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 100, 100).build(), 100, 100, &p);
    // Half-transparent blue over white.
    EXPECT_TRUE(colorNear(image.pixel(50, 50), qRgb(127, 127, 255), 4));
}

TEST(RenderMasks, ClipDepthMasksTheLayersUpToIt)
{
    MovieBuilder m(100, 100, 12);
    m.setBackgroundColor(rgb(0xffffff));
    const auto mask = m.defineShape(ShapeBuilder().fill(solid(rgb(0x000000))).rect(0, 0, 50, 100));
    const auto redSquare = m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 100, 100));
    const auto blueBar = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000ff))).rect(0, 80, 100, 20));
    PlaceObject maskPlace;
    maskPlace.depth = 1;
    maskPlace.characterId = mask;
    maskPlace.clipDepth = 2;
    m.place(maskPlace);
    m.place(redSquare, 2);
    m.place(blueBar, 3); // above the clip depth: not masked
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(25, 40), red));
    EXPECT_TRUE(colorNear(image.pixel(75, 40), white)); // masked away, and the mask itself is not drawn
    EXPECT_TRUE(colorNear(image.pixel(75, 90), blue));
}

TEST(RenderStage, ShowAllKeepsAspectCentresAndFillsWithTheBackground)
{
    MovieBuilder m(100, 50, 12);
    m.setBackgroundColor(rgb(0x00ff00));
    m.place(m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 100, 50)), 1);
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    // A square target: the stage is 200 x 100 in the middle, bars above and below.
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    player.render(painter, image.rect());
    painter.end();
    EXPECT_TRUE(colorNear(image.pixel(100, 100), red));
    EXPECT_TRUE(colorNear(image.pixel(2, 52), red));
    EXPECT_TRUE(colorNear(image.pixel(100, 20), green));
    EXPECT_TRUE(colorNear(image.pixel(100, 180), green));
}

TEST(RenderStage, NoMovieDrawsAnEmptyStage)
{
    Player player;
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    player.render(painter, image.rect());
    painter.end();
    EXPECT_TRUE(colorNear(image.pixel(10, 10), white));
}

} // namespace
} // namespace qev::swf
