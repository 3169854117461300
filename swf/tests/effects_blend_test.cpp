// Blend modes on single pixels with exact expected values, and the layer
// compositing around them.

#include "render/effects/BlendModes.h"

#include <gtest/gtest.h>

#include <QImage>

namespace qev::swf::effects {
namespace {

// An opaque orange-ish source over an opaque mid grey.
constexpr QRgb kSource = 0xFFFF8000; // (255, 128, 0)
constexpr QRgb kGrey = 0xFF808080;   // (128, 128, 128)
constexpr QRgb kDark = 0xFF404040;   // (64, 64, 64)

TEST(EffectsBlendPixel, SeparableModesOnOpaquePixels)
{
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Normal), kSource);
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Layer), kSource);
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Multiply), qRgb(128, 64, 0));
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Screen), qRgb(255, 192, 128));
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Lighten), qRgb(255, 128, 128));
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Darken), qRgb(128, 128, 0));
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Difference), qRgb(127, 0, 128));
    EXPECT_EQ(blendPixel(kSource, kDark, BlendMode::Overlay), qRgb(128, 64, 0));
    EXPECT_EQ(blendPixel(kSource, kDark, BlendMode::HardLight), qRgb(255, 65, 0));
}

TEST(EffectsBlendPixel, ArithmeticModesClampPerChannel)
{
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Add), qRgb(255, 255, 128));
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Subtract), qRgb(0, 0, 128));
    // White minus red leaves cyan.
    EXPECT_EQ(blendPixel(0xFFFF0000, 0xFFFFFFFF, BlendMode::Subtract), qRgb(0, 255, 255));
}

TEST(EffectsBlendPixel, InvertIgnoresTheSourceColour)
{
    EXPECT_EQ(blendPixel(kSource, kGrey, BlendMode::Invert), qRgb(127, 127, 127));
    EXPECT_EQ(blendPixel(0xFF0000FF, kGrey, BlendMode::Invert), qRgb(127, 127, 127));
    // Half covered: half inverted.
    EXPECT_EQ(blendPixel(qRgba(0, 0, 0, 128), 0xFFFFFFFF, BlendMode::Invert), qRgb(127, 127, 127));
}

TEST(EffectsBlendPixel, AlphaAndEraseActOnTheBackdropAlpha)
{
    const QRgb half = qRgba(10, 20, 30, 128);
    const QRgb backdrop = qRgb(100, 100, 100);
    EXPECT_EQ(blendPixel(half, backdrop, BlendMode::Alpha), qRgba(50, 50, 50, 128));
    EXPECT_EQ(blendPixel(0, backdrop, BlendMode::Alpha), 0u);
    EXPECT_EQ(blendPixel(kSource, backdrop, BlendMode::Erase), 0u);
    EXPECT_EQ(blendPixel(half, backdrop, BlendMode::Erase), qRgba(50, 50, 50, 127));
}

TEST(EffectsBlendPixel, PartialCoverageMixesWithTheBackdrop)
{
    // Half-transparent blue over white, premultiplied.
    EXPECT_EQ(blendPixel(qRgba(0, 0, 128, 128), 0xFFFFFFFF, BlendMode::Normal), qRgb(127, 127, 255));
    // Multiply onto nothing shows the source unchanged.
    EXPECT_EQ(blendPixel(kSource, 0, BlendMode::Multiply), kSource);
    // A transparent source leaves the backdrop as it was, whatever the mode.
    for (int code = 1; code <= 14; ++code) {
        if (BlendMode(code) == BlendMode::Alpha)
            continue;
        EXPECT_EQ(blendPixel(0, kGrey, BlendMode(code)), kGrey) << code;
    }
}

TEST(EffectsBlendPixel, ResultStaysPremultiplied)
{
    const QRgb sources[] = {kSource, qRgba(0, 0, 128, 128), qRgba(200, 10, 90, 200), 0xFFFFFFFF};
    const QRgb backdrops[] = {kGrey, qRgba(30, 60, 90, 100), 0, 0xFFFFFFFF};
    for (int code = 1; code <= 14; ++code)
        for (QRgb s : sources)
            for (QRgb d : backdrops) {
                const QRgb r = blendPixel(s, d, BlendMode(code));
                ASSERT_LE(qRed(r), qAlpha(r)) << code;
                ASSERT_LE(qGreen(r), qAlpha(r)) << code;
                ASSERT_LE(qBlue(r), qAlpha(r)) << code;
            }
}

TEST(EffectsBlendMode, CodesAndLayerNeeds)
{
    EXPECT_EQ(blendModeFromCode(0), BlendMode::Normal);
    EXPECT_EQ(blendModeFromCode(1), BlendMode::Normal);
    EXPECT_EQ(blendModeFromCode(3), BlendMode::Multiply);
    EXPECT_EQ(blendModeFromCode(14), BlendMode::HardLight);
    EXPECT_EQ(blendModeFromCode(15), BlendMode::Normal);
    EXPECT_FALSE(needsLayer(BlendMode::Normal));
    EXPECT_TRUE(needsLayer(BlendMode::Multiply));
    EXPECT_TRUE(actsOnParentAlpha(BlendMode::Erase));
    EXPECT_FALSE(actsOnParentAlpha(BlendMode::Screen));
}

TEST(EffectsBlendLayer, LayerLandsAtItsOffsetWithinTheClip)
{
    QImage backdrop(4, 4, QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(kGrey);
    QImage layer(2, 2, QImage::Format_ARGB32_Premultiplied);
    layer.fill(kSource);
    blendLayer(backdrop, layer, QPoint(1, 1), BlendMode::Multiply, QRect(0, 0, 4, 2));
    EXPECT_EQ(backdrop.pixel(1, 1), qRgb(128, 64, 0));
    EXPECT_EQ(backdrop.pixel(2, 1), qRgb(128, 64, 0));
    EXPECT_EQ(backdrop.pixel(1, 2), kGrey); // below the clip
    EXPECT_EQ(backdrop.pixel(0, 0), kGrey);
    EXPECT_EQ(backdrop.pixel(3, 1), kGrey);
}

TEST(EffectsBlendLayer, LayerPartlyOutsideTheBackdropIsCut)
{
    QImage backdrop(3, 3, QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(kGrey);
    QImage layer(3, 3, QImage::Format_ARGB32_Premultiplied);
    layer.fill(0xFFFFFFFF);
    blendLayer(backdrop, layer, QPoint(-2, 2), BlendMode::Difference);
    EXPECT_EQ(backdrop.pixel(0, 2), qRgb(127, 127, 127));
    EXPECT_EQ(backdrop.pixel(1, 2), kGrey);
    EXPECT_EQ(backdrop.pixel(0, 1), kGrey);
}

TEST(EffectsBlendLayer, AlphaModeClearsWhatTheLayerDoesNotCover)
{
    QImage backdrop(4, 1, QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(kGrey);
    QImage layer(2, 1, QImage::Format_ARGB32_Premultiplied);
    layer.fill(0xFFFFFFFF);
    blendLayer(backdrop, layer, QPoint(1, 0), BlendMode::Alpha);
    EXPECT_EQ(backdrop.pixel(0, 0), 0u);
    EXPECT_EQ(backdrop.pixel(1, 0), kGrey);
    EXPECT_EQ(backdrop.pixel(3, 0), 0u);
}

} // namespace
} // namespace qev::swf::effects
