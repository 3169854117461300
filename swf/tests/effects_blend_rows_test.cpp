// The row loops of the blend modes against a plain one-pixel-at-a-time
// reference of the same arithmetic: every mode, random premultiplied pixels,
// alpha 0 and 255 on either side, and whole layers composited with a clip.

#include "render/effects/BlendModes.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace qev::swf::effects {
namespace {

int div255(int v)
{
    const int t = v + 128;
    return (t + (t >> 8)) >> 8;
}

int clampChannel(int v) { return std::clamp(v, 0, 255); }

// One channel of a separable mode, written out case by case.
int separableReference(int sc, int sa, int dc, int da, BlendMode mode)
{
    const int uncovered = sc * (255 - da) + dc * (255 - sa);
    int both = 0;
    switch (mode) {
    case BlendMode::Multiply: both = sc * dc; break;
    case BlendMode::Screen: both = sc * da + dc * sa - sc * dc; break;
    case BlendMode::Lighten: both = std::max(sc * da, dc * sa); break;
    case BlendMode::Darken: both = std::min(sc * da, dc * sa); break;
    case BlendMode::Difference: both = std::abs(sc * da - dc * sa); break;
    case BlendMode::HardLight: both = 2 * sc <= sa ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc); break;
    case BlendMode::Overlay: both = 2 * dc <= da ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc); break;
    default: both = sc * 255; break;
    }
    return clampChannel(div255(uncovered + both));
}

QRgb referencePixel(QRgb source, QRgb backdrop, BlendMode mode)
{
    const int sa = qAlpha(source);
    const int da = qAlpha(backdrop);
    if (sa == 0 && mode != BlendMode::Alpha)
        return backdrop;
    const int s[3] = {qRed(source), qGreen(source), qBlue(source)};
    const int d[3] = {qRed(backdrop), qGreen(backdrop), qBlue(backdrop)};
    int out[3];
    int outA = clampChannel(sa + div255(da * (255 - sa)));
    for (int i = 0; i < 3; ++i) {
        switch (mode) {
        case BlendMode::Normal:
        case BlendMode::Layer: out[i] = clampChannel(s[i] + div255(d[i] * (255 - sa))); break;
        case BlendMode::Add: out[i] = clampChannel(s[i] + d[i]); break;
        case BlendMode::Subtract: out[i] = clampChannel(d[i] - s[i]); break;
        case BlendMode::Invert:
            out[i] = clampChannel(div255(d[i] * (255 - sa) + (da - d[i]) * sa));
            outA = da;
            break;
        case BlendMode::Alpha:
            out[i] = div255(d[i] * sa);
            outA = div255(da * sa);
            break;
        case BlendMode::Erase:
            out[i] = div255(d[i] * (255 - sa));
            outA = div255(da * (255 - sa));
            break;
        default: out[i] = separableReference(s[i], sa, d[i], da, mode); break;
        }
    }
    return qRgba(std::min(out[0], outA), std::min(out[1], outA), std::min(out[2], outA), outA);
}

// A premultiplied pixel; a quarter of them fully transparent or opaque.
QRgb randomPixel(std::mt19937& random)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 7);
    int a = byte(random);
    switch (kind(random)) {
    case 0: a = 0; break;
    case 1: a = 255; break;
    default: break;
    }
    std::uniform_int_distribution<int> channel(0, a);
    return qRgba(channel(random), channel(random), channel(random), a);
}

std::vector<BlendMode> everyMode()
{
    std::vector<BlendMode> modes;
    for (int code = 1; code <= 14; ++code)
        modes.push_back(BlendMode(code));
    return modes;
}

TEST(EffectsBlendRows, EveryModeMatchesThePixelReferenceOnRandomPixels)
{
    std::mt19937 random(1234);
    constexpr int count = 20000;
    std::vector<QRgb> source(count);
    std::vector<QRgb> backdrop(count);
    for (int i = 0; i < count; ++i) {
        source[std::size_t(i)] = randomPixel(random);
        backdrop[std::size_t(i)] = randomPixel(random);
    }
    for (BlendMode mode : everyMode()) {
        std::vector<QRgb> row = backdrop;
        blendRow(row.data(), source.data(), count, mode);
        int wrong = 0;
        for (int i = 0; i < count; ++i) {
            const QRgb want = referencePixel(source[std::size_t(i)], backdrop[std::size_t(i)], mode);
            if (row[std::size_t(i)] != want && ++wrong <= 3)
                ADD_FAILURE() << "mode " << int(mode) << " pixel " << i << ": " << std::hex << source[std::size_t(i)]
                              << " onto " << backdrop[std::size_t(i)] << " gives " << row[std::size_t(i)]
                              << ", want " << want;
        }
        EXPECT_EQ(wrong, 0) << "mode " << int(mode);
    }
}

TEST(EffectsBlendRows, EdgeAlphasOfEveryModeMatchTheReference)
{
    // Every pairing of source and backdrop alpha 0, 1, 128, 254 and 255 with
    // colour at none, half and all of its alpha.
    std::vector<QRgb> pixels;
    for (int a : {0, 1, 128, 254, 255})
        for (int c : {0, a / 2, a})
            pixels.push_back(qRgba(c, a - c, a / 2, a));
    for (BlendMode mode : everyMode())
        for (QRgb s : pixels)
            for (QRgb d : pixels) {
                QRgb got = d;
                blendRow(&got, &s, 1, mode);
                ASSERT_EQ(got, referencePixel(s, d, mode)) << "mode " << int(mode) << std::hex << " " << s << " onto " << d;
                ASSERT_EQ(blendPixel(s, d, mode), got);
            }
}

TEST(EffectsBlendRows, UnknownModeNumbersBlendAsNormal)
{
    const QRgb s = qRgba(0, 0, 100, 128);
    const QRgb d = qRgb(200, 200, 200);
    EXPECT_EQ(blendPixel(s, d, BlendMode(0)), referencePixel(s, d, BlendMode::Normal));
    EXPECT_EQ(blendPixel(s, d, BlendMode(99)), referencePixel(s, d, BlendMode::Normal));
}

// A layer composited by blendLayer against the reference applied pixel by
// pixel, alpha mode's clearing outside the layer (within the clip) included.
TEST(EffectsBlendRows, WholeLayersMatchThePixelReferenceWithinTheClip)
{
    std::mt19937 random(99);
    QImage backdrop(37, 29, QImage::Format_ARGB32_Premultiplied);
    QImage layer(23, 17, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < backdrop.height(); ++y)
        for (int x = 0; x < backdrop.width(); ++x)
            backdrop.setPixel(x, y, randomPixel(random));
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x)
            layer.setPixel(x, y, randomPixel(random));
    const QPoint at(20, -5); // partly off the backdrop
    const QRect clip(3, 2, 30, 20);
    for (BlendMode mode : everyMode()) {
        QImage got = backdrop.copy();
        blendLayer(got, layer, at, mode, clip);
        for (int y = 0; y < backdrop.height(); ++y)
            for (int x = 0; x < backdrop.width(); ++x) {
                QRgb want = backdrop.pixel(x, y);
                const QPoint inLayer = QPoint(x, y) - at;
                if (clip.contains(x, y)) {
                    if (layer.rect().contains(inLayer))
                        want = referencePixel(layer.pixel(inLayer), want, mode);
                    else if (mode == BlendMode::Alpha)
                        want = 0;
                }
                ASSERT_EQ(got.pixel(x, y), want) << "mode " << int(mode) << " at " << x << ", " << y;
            }
    }
}

} // namespace
} // namespace qev::swf::effects
