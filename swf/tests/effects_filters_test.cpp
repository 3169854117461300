// The bitmap filters on small images whose expected pixels follow from the
// filter's arithmetic.

#include "render/effects/Filters.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <numbers>

namespace qev::swf::effects {
namespace {

QImage blank(int w = 10, int h = 10)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

void fillRect(QImage& image, int x0, int y0, int x1, int y1, QRgb color)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            image.setPixel(x, y, color);
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y); }

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

TEST(EffectsBlur, BoxOfOddWidthAveragesThreeSamples)
{
    std::vector<std::uint8_t> plane{0, 0, 255, 0, 0};
    blurPlane(plane, 5, 1, 3, 0, 1);
    EXPECT_EQ(plane, (std::vector<std::uint8_t>{0, 85, 85, 85, 0}));
}

TEST(EffectsBlur, EvenWidthWeighsTheEndSamplesByHalf)
{
    std::vector<std::uint8_t> plane{0, 0, 255, 0, 0};
    blurPlane(plane, 5, 1, 2, 0, 1);
    EXPECT_EQ(plane, (std::vector<std::uint8_t>{0, 64, 128, 64, 0}));
}

TEST(EffectsBlur, PassesRepeatTheBox)
{
    std::vector<std::uint8_t> plane{0, 0, 0, 255, 0, 0, 0};
    blurPlane(plane, 7, 1, 3, 0, 2);
    EXPECT_EQ(plane, (std::vector<std::uint8_t>{0, 28, 57, 85, 57, 28, 0}));
}

TEST(EffectsBlur, WidthOfOneOrZeroPassesLeaveThePlaneAlone)
{
    const std::vector<std::uint8_t> original{0, 10, 255, 7, 0};
    auto plane = original;
    blurPlane(plane, 5, 1, 1, 1, 3);
    EXPECT_EQ(plane, original);
    blurPlane(plane, 5, 1, 9, 9, 0);
    EXPECT_EQ(plane, original);
}

// The box as its definition reads, one output sample at a time.
std::vector<int> referenceBox(const std::vector<int>& in, double width)
{
    const double radius = (width - 1.0) / 2.0;
    const int inner = int(std::floor(radius));
    const int edge = int(std::lround((radius - inner) * 256.0));
    const int total = 256 * (2 * inner + 1) + 2 * edge;
    const int n = int(in.size());
    auto at = [&](int i) { return i >= 0 && i < n ? in[size_t(i)] : 0; };
    std::vector<int> out(in.size());
    for (int x = 0; x < n; ++x) {
        long sum = 0;
        for (int k = -inner; k <= inner; ++k)
            sum += 256L * at(x + k);
        sum += long(edge) * (at(x - inner - 1) + at(x + inner + 1));
        out[size_t(x)] = int((sum + total / 2) / total);
    }
    return out;
}

TEST(EffectsBlur, SlidingWindowsMatchTheBoxAsDefined)
{
    const int w = 23;
    const int h = 17;
    std::vector<std::uint8_t> plane(size_t(w * h));
    unsigned seed = 12345;
    for (auto& v : plane) {
        seed = seed * 1103515245u + 12345u;
        v = std::uint8_t((seed >> 16) & 0xFF);
    }
    // The last widths reach past both sides of the plane.
    for (double bx : {2.0, 3.0, 4.5, 7.25, 30.5, 61.0}) {
        for (double by : {0.0, 2.5, 6.0, 40.0}) {
            std::vector<int> expected(plane.begin(), plane.end());
            for (int pass = 0; pass < 2; ++pass) {
                for (int y = 0; y < h; ++y) {
                    std::vector<int> row(expected.begin() + y * w, expected.begin() + (y + 1) * w);
                    row = referenceBox(row, bx);
                    std::copy(row.begin(), row.end(), expected.begin() + y * w);
                }
                if (by > 1.0) {
                    for (int x = 0; x < w; ++x) {
                        std::vector<int> col(static_cast<size_t>(h), 0);
                        for (int y = 0; y < h; ++y)
                            col[size_t(y)] = expected[size_t(y * w + x)];
                        col = referenceBox(col, by);
                        for (int y = 0; y < h; ++y)
                            expected[size_t(y * w + x)] = col[size_t(y)];
                    }
                }
            }
            auto got = plane;
            blurPlane(got, w, h, bx, by, 2);
            ASSERT_EQ(std::vector<int>(got.begin(), got.end()), expected) << bx << " x " << by;
        }
    }
}

TEST(EffectsBlur, VerticalBlurRunsDownColumns)
{
    std::vector<std::uint8_t> plane(3 * 5, 0);
    plane[2 * 3 + 1] = 255; // (1, 2)
    blurPlane(plane, 3, 5, 0, 3, 1);
    EXPECT_EQ(plane[1 * 3 + 1], 85);
    EXPECT_EQ(plane[3 * 3 + 1], 85);
    EXPECT_EQ(plane[2 * 3 + 0], 0);
}

TEST(EffectsBlur, ImageBlurKeepsColoursPremultipliedAndSpreadsEvenly)
{
    QImage image = blank();
    image.setPixel(5, 5, qRgba(200, 100, 50, 255));
    blur(image, 3, 3, 1);
    EXPECT_EQ(at(image, 4, 4), qRgba(22, 11, 6, 28));
    EXPECT_EQ(at(image, 5, 5), at(image, 6, 6));
    EXPECT_EQ(at(image, 3, 5), 0u);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const QRgb p = at(image, x, y);
            ASSERT_LE(qRed(p), qAlpha(p));
        }
}

TEST(EffectsBlur, ReachGrowsWithWidthAndPasses)
{
    EXPECT_EQ(blurReach(1, 3), 0);
    EXPECT_EQ(blurReach(3, 1), 1);
    EXPECT_EQ(blurReach(4, 1), 2);
    EXPECT_EQ(blurReach(4, 3), 6);
    BlurFilter f;
    f.blurX = 4;
    f.blurY = 8;
    f.passes = 2;
    EXPECT_EQ(filterPadding(Filter(f), 1.0), QMargins(4, 8, 4, 8));
    // Twice the stage scale doubles the box.
    EXPECT_EQ(filterPadding(Filter(f), 2.0), QMargins(8, 16, 8, 16));
}

DropShadowFilter sharpShadow(double distance)
{
    DropShadowFilter f;
    f.color = Rgba{0, 0, 0, 255};
    f.angle = 0;
    f.distance = distance;
    f.blurX = f.blurY = 0;
    return f;
}

TEST(EffectsDropShadow, ShadowLiesBehindTheObjectAtItsOffset)
{
    QImage image = blank();
    fillRect(image, 4, 4, 5, 5, kRed);
    applyFilter(image, sharpShadow(2), 1.0);
    EXPECT_EQ(at(image, 4, 4), kRed);
    EXPECT_EQ(at(image, 5, 5), kRed);
    EXPECT_EQ(at(image, 6, 4), kBlack);
    EXPECT_EQ(at(image, 7, 5), kBlack);
    EXPECT_EQ(at(image, 8, 4), 0u);
    EXPECT_EQ(at(image, 3, 4), 0u);
}

TEST(EffectsDropShadow, DistanceScalesWithTheStage)
{
    QImage image = blank(12, 12);
    fillRect(image, 2, 2, 3, 3, kRed);
    applyFilter(image, sharpShadow(2), 2.0);
    EXPECT_EQ(at(image, 6, 2), kBlack);
    EXPECT_EQ(at(image, 5, 2), 0u);
}

TEST(EffectsDropShadow, KnockoutLeavesOnlyTheShadowOutsideTheObject)
{
    QImage image = blank();
    fillRect(image, 4, 4, 5, 5, kRed);
    auto f = sharpShadow(1);
    f.knockout = true;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 4, 4), 0u);
    EXPECT_EQ(at(image, 5, 4), 0u); // shadow under the object is knocked out too
    EXPECT_EQ(at(image, 6, 4), kBlack);
}

TEST(EffectsDropShadow, WithoutCompositeSourceTheObjectIsHidden)
{
    QImage image = blank();
    fillRect(image, 4, 4, 5, 5, kRed);
    auto f = sharpShadow(1);
    f.compositeSource = false;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 4, 4), 0u);
    EXPECT_EQ(at(image, 5, 4), kBlack);
    EXPECT_EQ(at(image, 6, 4), kBlack);
}

TEST(EffectsDropShadow, InnerShadowFallsInsideTheEdgeFacingAwayFromTheLight)
{
    QImage image = blank();
    fillRect(image, 3, 3, 6, 6, kRed);
    auto f = sharpShadow(1);
    f.inner = true;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 3, 4), kBlack); // left edge: the shadow of the outside moves right
    EXPECT_EQ(at(image, 4, 4), kRed);
    EXPECT_EQ(at(image, 6, 4), kRed);
    EXPECT_EQ(at(image, 2, 4), 0u);
    EXPECT_EQ(filterPadding(Filter(f), 1.0), QMargins());
}

TEST(EffectsDropShadow, HalfTransparentColourAndStrength)
{
    QImage image = blank();
    fillRect(image, 4, 4, 5, 5, kRed);
    auto f = sharpShadow(2);
    f.color = Rgba{0, 0, 255, 64};
    f.strength = 2; // scales the shadow's coverage, not its colour's alpha
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 6, 4), qRgba(0, 0, 64, 64));
}

TEST(EffectsDropShadow, PaddingCoversBlurAndOffset)
{
    DropShadowFilter f;
    f.blurX = f.blurY = 4;
    f.distance = 4;
    f.angle = std::numbers::pi / 2; // straight down
    f.passes = 1;
    EXPECT_EQ(filterPadding(Filter(f), 1.0), QMargins(2, 6, 2, 6));
}

TEST(EffectsGlow, OuterGlowSurroundsTheObject)
{
    QImage image = blank();
    image.setPixel(5, 5, kWhite);
    GlowFilter f;
    f.color = Rgba{255, 0, 0, 255};
    f.blurX = f.blurY = 3;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 5, 5), kWhite);
    EXPECT_EQ(at(image, 4, 5), qRgba(28, 0, 0, 28));
    EXPECT_EQ(at(image, 6, 6), qRgba(28, 0, 0, 28));
    EXPECT_EQ(at(image, 7, 5), 0u);
}

TEST(EffectsGlow, KnockoutRemovesTheObject)
{
    QImage image = blank();
    image.setPixel(5, 5, kWhite);
    GlowFilter f;
    f.color = Rgba{255, 0, 0, 255};
    f.blurX = f.blurY = 3;
    f.knockout = true;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 5, 5), 0u);
    EXPECT_EQ(at(image, 4, 5), qRgba(28, 0, 0, 28));
}

TEST(EffectsGlow, StrengthSaturatesTheGlow)
{
    QImage image = blank();
    image.setPixel(5, 5, kWhite);
    GlowFilter f;
    f.color = Rgba{255, 0, 0, 255};
    f.blurX = f.blurY = 3;
    f.strength = 10;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 4, 4), kRed);
}

TEST(EffectsGlow, InnerGlowTintsTheEdgeAndKeepsTheOutline)
{
    QImage image = blank();
    fillRect(image, 2, 2, 7, 7, kWhite);
    GlowFilter f;
    f.color = Rgba{0, 0, 255, 255};
    f.blurX = f.blurY = 3;
    f.inner = true;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 1, 1), 0u);
    EXPECT_EQ(qAlpha(at(image, 2, 2)), 255);
    EXPECT_LT(qRed(at(image, 2, 2)), 255);   // the corner takes the glow
    EXPECT_EQ(qBlue(at(image, 2, 2)), 255);
    EXPECT_EQ(at(image, 4, 4), kWhite);      // the middle is out of reach
}

BevelFilter sharpBevel(bool inner, bool onTop)
{
    BevelFilter f;
    // The colour stored first (the model's shadowColor) is the one the
    // player shows on the lit side.
    f.shadowColor = Rgba{255, 255, 255, 255};
    f.highlightColor = Rgba{0, 0, 0, 255};
    f.angle = std::numbers::pi / 4;
    f.distance = 1.5;
    f.blurX = f.blurY = 0;
    f.inner = inner;
    f.onTop = onTop;
    return f;
}

TEST(EffectsBevel, InnerBevelLightsTheTopLeftAndShadesTheBottomRight)
{
    QImage image = blank();
    fillRect(image, 3, 3, 6, 6, kRed);
    applyFilter(image, sharpBevel(true, false), 1.0);
    EXPECT_EQ(at(image, 3, 3), kWhite);
    EXPECT_EQ(at(image, 6, 6), kBlack);
    EXPECT_EQ(at(image, 4, 5), kRed);
    EXPECT_EQ(at(image, 2, 2), 0u);
    EXPECT_EQ(at(image, 7, 7), 0u);
}

TEST(EffectsBevel, OuterBevelDrawsOutsideOnly)
{
    QImage image = blank();
    fillRect(image, 3, 3, 6, 6, kRed);
    applyFilter(image, sharpBevel(false, false), 1.0);
    EXPECT_EQ(at(image, 3, 3), kRed);
    EXPECT_EQ(at(image, 6, 6), kRed);
    EXPECT_EQ(at(image, 7, 7), kBlack);
    EXPECT_EQ(at(image, 2, 2), kWhite);
}

TEST(EffectsBevel, FullBevelWithKnockoutLeavesOnlyTheBevel)
{
    QImage image = blank();
    fillRect(image, 3, 3, 6, 6, kRed);
    auto f = sharpBevel(false, true);
    f.knockout = true;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 3, 3), kWhite);
    EXPECT_EQ(at(image, 2, 2), kWhite);
    EXPECT_EQ(at(image, 7, 7), kBlack);
    EXPECT_EQ(at(image, 4, 5), 0u);
}

TEST(EffectsGradientFilters, GradientGlowLooksUpTheGlowStrength)
{
    QImage image = blank();
    image.setPixel(5, 5, kWhite);
    GradientFilter f;
    f.colors = {GradientRecord{0, Rgba{0, 0, 255, 0}}, GradientRecord{255, Rgba{0, 0, 255, 255}}};
    f.blurX = f.blurY = 3;
    f.distance = 0;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 5, 5), kWhite);
    EXPECT_EQ(at(image, 4, 5), qRgba(0, 0, 28, 28));
    EXPECT_EQ(at(image, 8, 8), 0u);
}

TEST(EffectsGradientFilters, GradientBevelTakesBothEndsOfTheGradient)
{
    QImage image = blank();
    fillRect(image, 3, 3, 6, 6, kRed);
    GradientFilter f;
    f.bevel = true;
    f.inner = true;
    f.colors = {GradientRecord{0, Rgba{0, 255, 0, 255}}, GradientRecord{128, Rgba{0, 0, 0, 0}},
                GradientRecord{255, Rgba{0, 0, 255, 255}}};
    f.blurX = f.blurY = 0;
    f.angle = std::numbers::pi / 4;
    f.distance = 1.5;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 3, 3), qRgba(0, 255, 0, 255)); // lit side: the gradient's start
    EXPECT_EQ(at(image, 6, 6), qRgba(0, 0, 255, 255)); // shaded side: its end
    EXPECT_EQ(at(image, 4, 5), kRed);                  // flat: the clear middle
}

TEST(EffectsConvolution, MatrixPicksTheNeighbourAndDivisorAndBiasApply)
{
    QImage image = blank();
    image.setPixel(5, 5, kRed);
    ConvolutionFilter f;
    f.matrixX = 3;
    f.matrixY = 1;
    f.matrix = {0, 0, 2};
    f.divisor = 2;
    f.preserveAlpha = false;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 4, 5), kRed);
    EXPECT_EQ(at(image, 5, 5), 0u);
}

TEST(EffectsConvolution, BiasAndPreservedAlpha)
{
    QImage image = blank(2, 1);
    image.setPixel(0, 0, qRgba(100, 100, 100, 255));
    image.setPixel(1, 0, qRgba(50, 50, 50, 128));
    ConvolutionFilter f;
    f.matrixX = f.matrixY = 1;
    f.matrix = {1};
    f.bias = 10;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 0, 0), qRgba(110, 110, 110, 255));
    EXPECT_EQ(qAlpha(at(image, 1, 0)), 128);
}

TEST(EffectsConvolution, EdgesClampOrTakeTheDefaultColour)
{
    ConvolutionFilter f;
    f.matrixX = 3;
    f.matrixY = 1;
    f.matrix = {1, 0, 0}; // each pixel takes its left neighbour
    f.preserveAlpha = false;
    f.defaultColor = Rgba{0, 255, 0, 255};

    QImage clamped = blank(3, 1);
    clamped.fill(kRed);
    f.clamp = true;
    applyFilter(clamped, f, 1.0);
    EXPECT_EQ(at(clamped, 0, 0), kRed);

    QImage framed = blank(3, 1);
    framed.fill(kRed);
    f.clamp = false;
    applyFilter(framed, f, 1.0);
    EXPECT_EQ(at(framed, 0, 0), qRgba(0, 255, 0, 255));
    EXPECT_EQ(at(framed, 1, 0), kRed);
}

TEST(EffectsConvolution, ZeroDivisorAndShortMatrixAreHarmless)
{
    QImage image = blank(2, 2);
    image.fill(qRgba(40, 40, 40, 255));
    ConvolutionFilter f;
    f.matrixX = f.matrixY = 1;
    f.matrix = {1};
    f.divisor = 0;
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 1, 1), qRgba(40, 40, 40, 255));
    f.matrixX = 5; // more than the matrix holds: nothing happens
    applyFilter(image, f, 1.0);
    EXPECT_EQ(at(image, 1, 1), qRgba(40, 40, 40, 255));
}

TEST(EffectsColorMatrix, SwapsChannelsAddsOffsetsAndScalesAlpha)
{
    QImage image = blank(2, 1);
    image.setPixel(0, 0, qRgba(200, 0, 50, 255));
    ColorMatrixFilter f;
    f.matrix = {0, 0, 1, 0, 0,    // R' = B
                0, 0, 0, 0, 128,  // G' = 128
                1, 0, 0, 0, 0,    // B' = R
                0, 0, 0, 0.5f, 0}; // A' = A / 2
    applyFilter(image, f, 1.0);
    // Straight (50, 128, 200) at alpha 128, stored premultiplied.
    EXPECT_EQ(at(image, 0, 0), qRgba(25, 64, 100, 128));
    EXPECT_EQ(at(image, 1, 0), 0u); // no alpha: the added green has nothing to show on
}

TEST(EffectsChain, FiltersApplyInOrderAndPaddingAddsUp)
{
    BlurFilter blurF;
    blurF.blurX = blurF.blurY = 3;
    GlowFilter glow;
    glow.blurX = glow.blurY = 5;
    glow.passes = 2;
    const std::vector<Filter> chain{blurF, glow};
    EXPECT_EQ(filterPadding(chain, 1.0), QMargins(5, 5, 5, 5));

    QImage image = blank();
    image.setPixel(5, 5, kWhite);
    ColorMatrixFilter toRed;
    toRed.matrix = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    applyFilters(image, {Filter(blurF), Filter(toRed)}, 1.0);
    EXPECT_EQ(qGreen(at(image, 5, 5)), 0);
    EXPECT_EQ(qAlpha(at(image, 4, 4)), 28);
}

} // namespace
} // namespace qev::swf::effects
