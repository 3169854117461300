// Speed of the movie engine on a generated movie of 2,000 frames with 100
// shapes on every frame, drawn at the player's 508 x 465 pixels.
#include "qev/swf/DecodeBitmap.h"
#include "qev/swf/Player.h"
#include "qev/swf/Reader.h"
#include "qev/swf/Writer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

constexpr int frames = 2000;
constexpr int shapesPerFrame = 100;
const QSize viewSize(508, 465);

const QByteArray& movie()
{
    static const QByteArray bytes = [] {
        MovieBuilder m(550, 400, 24);
        m.setBackgroundColor(rgb(0x102030));
        std::vector<std::uint16_t> ids;
        for (int k = 0; k < 10; ++k) {
            const Rgba c = rgba(40 + 20 * k, 255 - 20 * k, 128, 255);
            ids.push_back(m.defineShape(ShapeBuilder().fill(solid(c)).line(1, rgb(0)).rect(0, 0, 30 + k, 20 + k)));
            ids.push_back(m.defineShape(ShapeBuilder()
                                            .fill(radialGradient({{0, c}, {255, rgba(0, 0, 0, 128)}}, -15, -15, 30, 30))
                                            .ellipse(0, 0, 15, 12)));
        }
        for (int f = 0; f < frames; ++f) {
            for (int i = 0; i < shapesPerFrame; ++i) {
                const double a = (f * 0.02) + i * 0.37;
                const double x = 275 + 230 * std::cos(a) * ((i % 7) + 3) / 10.0;
                const double y = 200 + 170 * std::sin(a * 1.3) * ((i % 5) + 5) / 10.0;
                if (f == 0)
                    m.place(ids[i % ids.size()], std::uint16_t(i + 1), rotateTranslatePx(f + i * 10.0, x, y));
                else
                    m.move(std::uint16_t(i + 1), rotateTranslatePx(f + i * 10.0, x, y));
            }
            m.showFrame();
        }
        return m.finish(Compression::Zlib);
    }();
    return bytes;
}

void draw(const Player& player, QImage& image)
{
    QPainter painter(&image);
    player.render(painter, image.rect());
}

void BM_Decode(benchmark::State& state)
{
    const QByteArray& bytes = movie();
    for (auto _ : state) {
        Player player;
        benchmark::DoNotOptimize(player.loadBytes(bytes));
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

void BM_DrawFrame(benchmark::State& state)
{
    Player player;
    player.loadBytes(movie());
    player.gotoFrame(1000);
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        draw(player, image);
}
BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMillisecond);

// One tick of the player's rewind: the frame two back, then drawn.
void BM_RewindStep(benchmark::State& state)
{
    Player player;
    player.loadBytes(movie());
    player.gotoFrame(frames - 1);
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        int next = player.currentFrame() - 2;
        if (next < 0)
            next = frames - 1;
        player.gotoFrame(next);
        draw(player, image);
    }
}
BENCHMARK(BM_RewindStep)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The seeking part of a rewind step alone (no drawing).
void BM_RewindSeekOnly(benchmark::State& state)
{
    Player player;
    player.loadBytes(movie());
    player.gotoFrame(frames - 1);
    for (auto _ : state) {
        int next = player.currentFrame() - 2;
        if (next < 0)
            next = frames - 1;
        player.gotoFrame(next);
    }
}
BENCHMARK(BM_RewindSeekOnly)->Unit(benchmark::kMicrosecond);

// One tick of the player's fast forward: the frame two on, then drawn.
void BM_ForwardStep(benchmark::State& state)
{
    Player player;
    player.loadBytes(movie());
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        int next = player.currentFrame() + 2;
        if (next >= frames)
            next = 0;
        player.gotoFrame(next);
        draw(player, image);
    }
}
BENCHMARK(BM_ForwardStep)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// Steady playback: one tick at the movie's frame rate, drawn.
void BM_PlaybackTick(benchmark::State& state)
{
    Player player;
    player.loadBytes(movie());
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        player.advance();
        draw(player, image);
    }
}
BENCHMARK(BM_PlaybackTick)->Unit(benchmark::kMillisecond);

// A still movie: frame 1000 of the movie above held for 100 frames, as a
// menu page waits for a click.
const QByteArray& stillMovie()
{
    static const QByteArray bytes = [] {
        MovieBuilder m(550, 400, 24);
        m.setBackgroundColor(rgb(0x102030));
        std::vector<std::uint16_t> ids;
        for (int k = 0; k < 10; ++k) {
            const Rgba c = rgba(40 + 20 * k, 255 - 20 * k, 128, 255);
            ids.push_back(m.defineShape(ShapeBuilder().fill(solid(c)).line(1, rgb(0)).rect(0, 0, 30 + k, 20 + k)));
            ids.push_back(m.defineShape(ShapeBuilder()
                                            .fill(radialGradient({{0, c}, {255, rgba(0, 0, 0, 128)}}, -15, -15, 30, 30))
                                            .ellipse(0, 0, 15, 12)));
        }
        for (int i = 0; i < shapesPerFrame; ++i) {
            const double a = 1000 * 0.02 + i * 0.37;
            const double x = 275 + 230 * std::cos(a) * ((i % 7) + 3) / 10.0;
            const double y = 200 + 170 * std::sin(a * 1.3) * ((i % 5) + 5) / 10.0;
            m.place(ids[i % ids.size()], std::uint16_t(i + 1), rotateTranslatePx(1000 + i * 10.0, x, y));
        }
        for (int f = 0; f < 100; ++f)
            m.showFrame();
        return m.finish(Compression::Zlib);
    }();
    return bytes;
}

// One beat of the control's clock over a still movie: the tick, and a
// drawing only when the picture changed (as the control does).
void BM_StillMovieTick(benchmark::State& state)
{
    Player player;
    player.loadBytes(stillMovie());
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    draw(player, image);
    for (auto _ : state) {
        player.advance();
        if (player.pictureChanged())
            draw(player, image);
    }
}
BENCHMARK(BM_StillMovieTick)->Unit(benchmark::kMicrosecond);

// The same beat drawn every time, as the control did before it asked
// whether the picture changed: the cost a still movie no longer pays.
void BM_StillMovieTickDrawnAlways(benchmark::State& state)
{
    Player player;
    player.loadBytes(stillMovie());
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        player.advance();
        draw(player, image);
    }
}
BENCHMARK(BM_StillMovieTickDrawnAlways)->Unit(benchmark::kMicrosecond);

// A gallery movie: 60 photos of 400 x 300 (half JPEG, half lossless), one
// shown per frame. Loading it and drawing the first frame is what a click
// on its row costs before anything shows.
const QByteArray& galleryMovie()
{
    static const QByteArray bytes = [] {
        MovieBuilder m(550, 400, 12);
        std::vector<std::uint16_t> shapes;
        for (int k = 0; k < 60; ++k) {
            QImage photo(400, 300, QImage::Format_RGB32);
            for (int y = 0; y < photo.height(); ++y)
                for (int x = 0; x < photo.width(); ++x)
                    photo.setPixel(x, y, qRgb((x * (k + 3)) & 255, (y * 7 + k * 40) & 255, ((x ^ y) + k) & 255));
            const auto bitmap = k % 2 ? m.defineBitsLossless(photo) : m.defineBitsJpeg2(photo, 80);
            shapes.push_back(m.defineShape(ShapeBuilder().fill(bitmapFill(bitmap, 0, 0)).rect(0, 0, 400, 300)));
        }
        for (std::size_t k = 0; k < shapes.size(); ++k) {
            if (k > 0)
                m.remove(1);
            m.place(shapes[k], 1, translatePx(75, 50));
            m.showFrame();
        }
        return m.finish(Compression::Zlib);
    }();
    return bytes;
}

void BM_GalleryFirstFrame(benchmark::State& state)
{
    const QByteArray& bytes = galleryMovie();
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        Player player;
        player.loadBytes(bytes);
        draw(player, image);
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_GalleryFirstFrame)->Unit(benchmark::kMillisecond);

// Reading the gallery and decoding every photo: what its first frame cost
// when the reader decoded each bitmap as it read it.
void BM_GalleryDecodeEveryBitmap(benchmark::State& state)
{
    const QByteArray& bytes = galleryMovie();
    for (auto _ : state) {
        const Movie movie = readMovie(bytes);
        for (const auto& [id, character] : movie.dictionary)
            if (const auto* bitmap = std::get_if<Bitmap>(&character))
                benchmark::DoNotOptimize(decodeBitmap(*bitmap).constBits());
    }
}
BENCHMARK(BM_GalleryDecodeEveryBitmap)->Unit(benchmark::kMillisecond);

} // namespace
