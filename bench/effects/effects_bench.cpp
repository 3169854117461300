// Speed of filters and blend modes: one frame of 100 shapes, of which one
// sprite is blurred and one drawn in multiply mode, at 508 x 465 pixels;
// frames of many bevelled and glowing buttons, and of many blended discs.
#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"
#include "render/effects/BlendModes.h"
#include "render/effects/Filters.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

const QSize viewSize(508, 465);

// 98 small shapes under the effect objects, as in a menu's backdrop.
void placeBackdrop(MovieBuilder& m)
{
    std::vector<std::uint16_t> ids;
    for (int k = 0; k < 10; ++k) {
        const Rgba c = rgba(40 + 20 * k, 255 - 20 * k, 128, 255);
        ids.push_back(m.defineShape(ShapeBuilder().fill(solid(c)).line(1, rgb(0)).rect(0, 0, 30 + k, 20 + k)));
    }
    for (int i = 0; i < 98; ++i) {
        const double a = i * 0.37;
        m.place(ids[i % ids.size()], std::uint16_t(i + 1),
                translatePx(275 + 230 * std::cos(a) * ((i % 7) + 3) / 10.0, 200 + 170 * std::sin(a * 1.3) * 0.8));
    }
}

QByteArray movie(bool effects)
{
    MovieBuilder m(550, 400, 24);
    m.setBackgroundColor(rgb(0x204060));
    placeBackdrop(m);
    // A 200 x 150 picture in a sprite, blurred; a 250 x 250 disc multiplied.
    const auto picture = m.defineShape(ShapeBuilder()
                                           .fill(linearGradient({{0, rgb(0xFFCC00)}, {255, rgb(0x0033CC)}}, 0, 0, 200, 150))
                                           .rect(0, 0, 200, 150)
                                           .fill(solid(rgb(0xFFFFFF)))
                                           .ellipse(100, 75, 40, 30));
    SpriteBuilder s;
    s.place(picture, 1);
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    const auto disc = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF8040))).ellipse(125, 125, 125, 125));

    PlaceObject blurred;
    blurred.version = 3;
    blurred.depth = 200;
    blurred.characterId = sprite;
    blurred.matrix = translatePx(60, 40);
    if (effects)
        blurred.filters = std::vector<Filter>{BlurFilter{8, 8, 2}};
    m.place(blurred);

    PlaceObject multiplied;
    multiplied.version = 3;
    multiplied.depth = 201;
    multiplied.characterId = disc;
    multiplied.matrix = translatePx(250, 120);
    if (effects)
        multiplied.blendMode = BlendMode::Multiply;
    m.place(multiplied);
    m.showFrame();
    return m.finish();
}

// Eight 90 x 40 button faces in two columns, each with a bevel, a glow or
// both, as CD menus draw them.
QByteArray bevelledMovie()
{
    MovieBuilder m(550, 400, 24);
    m.setBackgroundColor(rgb(0x204060));
    placeBackdrop(m);
    const auto face = m.defineShape(ShapeBuilder()
                                        .fill(linearGradient({{0, rgb(0x3366CC)}, {255, rgb(0x99CCFF)}}, 0, 0, 90, 40))
                                        .rect(0, 0, 90, 40));
    SpriteBuilder s;
    s.place(face, 1);
    s.showFrame();
    const auto button = m.defineSprite(s);
    for (int i = 0; i < 8; ++i) {
        PlaceObject p;
        p.version = 3;
        p.depth = std::uint16_t(200 + i);
        p.characterId = button;
        p.matrix = translatePx(100 + 250 * (i % 2), 40 + 85 * (i / 2));
        BevelFilter bevel;
        bevel.shadowColor = rgba(0, 0, 0, 200);
        bevel.highlightColor = rgba(255, 255, 255, 200);
        bevel.blurX = bevel.blurY = 4;
        bevel.angle = 0.785;
        bevel.distance = 3;
        bevel.inner = true;
        GlowFilter glow;
        glow.color = rgba(255, 220, 0, 255);
        glow.blurX = glow.blurY = 8;
        glow.strength = 1.5;
        glow.passes = 2;
        std::vector<Filter> filters;
        if (i % 3 != 1)
            filters.push_back(bevel);
        if (i % 3 != 0)
            filters.push_back(glow);
        p.filters = filters;
        m.place(p);
    }
    m.showFrame();
    return m.finish();
}

// Twelve 160 px discs overlapping across the stage, each in another blend
// mode.
QByteArray blendedMovie()
{
    MovieBuilder m(550, 400, 24);
    m.setBackgroundColor(rgb(0x204060));
    placeBackdrop(m);
    const auto disc = m.defineShape(ShapeBuilder().fill(solid(rgba(0xFF, 0x80, 0x40, 200))).ellipse(80, 80, 80, 80));
    const BlendMode modes[] = {BlendMode::Multiply, BlendMode::Screen,     BlendMode::Overlay, BlendMode::HardLight,
                               BlendMode::Add,      BlendMode::Difference, BlendMode::Lighten, BlendMode::Darken,
                               BlendMode::Subtract, BlendMode::Invert,     BlendMode::Layer,   BlendMode::Multiply};
    for (int i = 0; i < 12; ++i) {
        PlaceObject p;
        p.version = 3;
        p.depth = std::uint16_t(200 + i);
        p.characterId = disc;
        p.matrix = translatePx(20 + 90 * (i % 4), 10 + 110 * (i / 4));
        p.blendMode = modes[i];
        m.place(p);
    }
    m.showFrame();
    return m.finish();
}

void drawMovie(benchmark::State& state, const QByteArray& bytes)
{
    Player player;
    player.loadBytes(bytes);
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        player.render(painter, image.rect());
    }
}

void drawFrame(benchmark::State& state, bool effects)
{
    Player player;
    player.loadBytes(movie(effects));
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        player.render(painter, image.rect());
    }
}

void BM_FrameWithBlurAndMultiply(benchmark::State& state) { drawFrame(state, true); }
BENCHMARK(BM_FrameWithBlurAndMultiply)->Unit(benchmark::kMillisecond);

void BM_FrameWithoutEffects(benchmark::State& state) { drawFrame(state, false); }
BENCHMARK(BM_FrameWithoutEffects)->Unit(benchmark::kMillisecond);

void BM_FrameWithBevelsAndGlows(benchmark::State& state) { drawMovie(state, bevelledMovie()); }
BENCHMARK(BM_FrameWithBevelsAndGlows)->Unit(benchmark::kMillisecond);

void BM_FrameWithBlendModes(benchmark::State& state) { drawMovie(state, blendedMovie()); }
BENCHMARK(BM_FrameWithBlendModes)->Unit(benchmark::kMillisecond);

// The blur alone on a 200 x 150 layer, by passes.
void BM_Blur(benchmark::State& state)
{
    QImage source(200, 150, QImage::Format_ARGB32_Premultiplied);
    source.fill(0xFF336699);
    for (auto _ : state) {
        QImage image = source;
        effects::blur(image, 8, 8, int(state.range(0)));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_Blur)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

// Compositing a 250 x 250 layer onto the view in multiply mode.
void BM_BlendMultiply(benchmark::State& state)
{
    QImage backdrop(viewSize, QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(0xFF808080);
    QImage layer(250, 250, QImage::Format_ARGB32_Premultiplied);
    layer.fill(0xFFFF8040);
    for (auto _ : state)
        effects::blendLayer(backdrop, layer, QPoint(100, 100), BlendMode::Multiply);
}
BENCHMARK(BM_BlendMultiply)->Unit(benchmark::kMicrosecond);

} // namespace
