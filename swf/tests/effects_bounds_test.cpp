// The effects layer looks for what an object drew only where the renderer
// says it drew. These movies put filtered and blended objects, nested, far
// from the stage's origin, with strokes, rotation and bitmaps, and check that
// nothing of them is lost.

#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>

namespace qev::swf {
namespace {

using namespace writer;

QImage draw(const QByteArray& bytes, QSize size)
{
    Player player;
    EXPECT_TRUE(player.loadBytes(bytes).isEmpty());
    return player.renderImage(size).convertToFormat(QImage::Format_RGB32);
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

// The largest difference of any channel of any pixel, and where.
struct Difference {
    int most = 0;
    QPoint at;
};

Difference compare(const QImage& a, const QImage& b)
{
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q))});
            if (most > d.most)
                d = {most, QPoint(x, y)};
        }
    return d;
}

// A 200 x 150 stage whose lower right holds a sprite in a sprite: a rotated
// square with a thick stroke, a thin line and a bitmap. With effects the
// outer sprite is drawn as a layer and the inner one carries a colour
// matrix that changes nothing, so the picture must look as without them.
QByteArray nestedFarAway(bool effects)
{
    MovieBuilder m(200, 150, 12);
    m.setBackgroundColor(rgb(0xFFFFFF));
    const auto square = m.defineShape(
        ShapeBuilder().fill(solid(rgb(0x3366CC))).line(solidLine(8, rgb(0xCC3300))).rect(-15, -15, 30, 30));
    const auto thin = m.defineShape(ShapeBuilder().line(solidLine(1, rgb(0x000000))).rect(0, 0, 60, 1));
    QImage picture(12, 9, QImage::Format_ARGB32);
    picture.fill(qRgb(0, 160, 0));
    const auto bitmap = m.defineBitsLossless(picture);

    SpriteBuilder inner;
    inner.place(square, 1, rotateTranslatePx(30, 20, 20));
    inner.place(thin, 2, translatePx(0, 45));
    inner.place(bitmap, 3, translatePx(52, 30));
    inner.showFrame();
    const auto innerSprite = m.defineSprite(inner);

    SpriteBuilder outer;
    PlaceObject filtered = placeNew(innerSprite, 1, translatePx(10, 5));
    if (effects)
        filtered.filters = std::vector<Filter>{ColorMatrixFilter{}};
    outer.place(filtered);
    outer.showFrame();
    const auto outerSprite = m.defineSprite(outer);

    PlaceObject blended = placeNew(outerSprite, 1, translatePx(125, 96));
    if (effects)
        blended.blendMode = BlendMode::Layer;
    m.place(blended);
    m.showFrame();
    return m.finish();
}

TEST(EffectsBounds, NestedLayersFarFromTheOriginLoseNothing)
{
    for (const QSize size : {QSize(200, 150), QSize(500, 375), QSize(173, 131)}) {
        const QImage plain = draw(nestedFarAway(false), size);
        const QImage layered = draw(nestedFarAway(true), size);
        const Difference d = compare(plain, layered);
        // Edges pass through the layers' rounding once more; nothing else
        // may change.
        EXPECT_LE(d.most, 3) << size.width() << " x " << size.height() << " at " << d.at.x() << ", " << d.at.y();
    }
}

// A 20 x 20 square with a blue glow, in a sprite drawn in multiply mode on
// white, at (150, 100) of a 200 x 150 stage: the glow must reach as far on
// every side, though only the square itself was drawn.
QByteArray glowInsideMultiply()
{
    MovieBuilder m(200, 150, 12);
    m.setBackgroundColor(rgb(0xFFFFFF));
    const auto square = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 20, 20));
    GlowFilter glow;
    glow.color = rgb(0x0000FF);
    glow.blurX = glow.blurY = 10;
    glow.strength = 2;
    SpriteBuilder s;
    PlaceObject glowing = placeNew(square, 1);
    glowing.filters = std::vector<Filter>{glow};
    s.place(glowing);
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    PlaceObject p = placeNew(sprite, 1, translatePx(150, 100));
    p.blendMode = BlendMode::Multiply;
    m.place(p);
    m.showFrame();
    return m.finish();
}

TEST(EffectsBounds, GlowOfANestedLayerReachesEverySide)
{
    const QImage image = draw(glowInsideMultiply(), QSize(200, 150));
    // Inside: red multiplied onto white.
    EXPECT_GT(qRed(image.pixel(160, 110)), 240);
    EXPECT_LT(qBlue(image.pixel(160, 110)), 15);
    // Three pixels out on each side the glow darkens the white to blue.
    const QRgb left = image.pixel(147, 110);
    const QRgb right = image.pixel(172, 110);
    const QRgb top = image.pixel(160, 97);
    const QRgb bottom = image.pixel(160, 122);
    for (const QRgb p : {left, right, top, bottom}) {
        EXPECT_LT(qRed(p), 200) << std::hex << p;
        EXPECT_GT(qBlue(p), 200) << std::hex << p;
    }
    EXPECT_LE(std::abs(qRed(left) - qRed(right)), 2);
    EXPECT_LE(std::abs(qRed(top) - qRed(bottom)), 2);
    EXPECT_LE(std::abs(qRed(left) - qRed(top)), 2);
    // Far out the stage stays white.
    EXPECT_EQ(image.pixel(120, 110), qRgb(255, 255, 255));
}

} // namespace
} // namespace qev::swf
