// make-samples: writes the sample movies of the creator's start folder.
//   make-samples FOLDER
// Four short movies made with our SWF writer, each showing one part of what
// the engine draws: moving shapes, gradients, a bitmap, and text in an
// embedded font.
#include "qev/swf/Writer.h"

#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace qev::swf;
using namespace qev::swf::writer;

constexpr double kWidth = 480;
constexpr double kHeight = 360;
constexpr double kPi = std::numbers::pi;

// Rotation (degrees, clockwise on screen) and uniform scale about the
// origin, then a move (pixels).
Matrix place(double x, double y, double degrees = 0, double scale = 1)
{
    const double r = degrees * kPi / 180.0;
    Matrix m;
    m.a = std::round(std::cos(r) * scale * 65536.0) / 65536.0;
    m.b = std::round(std::sin(r) * scale * 65536.0) / 65536.0;
    m.c = -m.b;
    m.d = m.a;
    m.tx = px(x);
    m.ty = px(y);
    return m;
}

ColorTransform tint(double r, double g, double b, double alpha = 1)
{
    ColorTransform cx;
    cx.rMul = std::int16_t(std::lround(r * 256));
    cx.gMul = std::int16_t(std::lround(g * 256));
    cx.bMul = std::int16_t(std::lround(b * 256));
    cx.aMul = std::int16_t(std::lround(alpha * 256));
    return cx;
}

void moveTinted(TimelineBuilder& timeline, std::uint16_t depth, const Matrix& matrix, const ColorTransform& cx)
{
    PlaceObject p;
    p.move = true;
    p.depth = depth;
    p.matrix = matrix;
    p.colorTransform = cx;
    timeline.place(p);
}

// A star of `points` tips centred on the origin.
ShapeBuilder& star(ShapeBuilder& shape, int points, double outer, double inner)
{
    for (int i = 0; i <= 2 * points; ++i) {
        const double angle = -kPi / 2 + i * kPi / points;
        const double radius = i % 2 == 0 ? outer : inner;
        const double x = std::cos(angle) * radius;
        const double y = std::sin(angle) * radius;
        if (i == 0)
            shape.moveTo(x, y);
        else
            shape.lineTo(x, y);
    }
    return shape;
}

// ---- Shapes: a spinning star, orbiting balls and a breathing square -------

QByteArray shapesMovie()
{
    MovieBuilder m(kWidth, kHeight, 24);
    m.setBackgroundColor(rgb(0x1B2A49));

    ShapeBuilder starShape;
    starShape.fill(solid(rgb(0xFFC93C))).line(4, rgb(0xFF8F00));
    const auto starId = m.defineShape(star(starShape, 5, 70, 30));

    const std::uint32_t ballColours[] = {0xEF476F, 0x06D6A0, 0x118AB2, 0xF78C6B};
    std::uint16_t ballIds[4];
    for (int i = 0; i < 4; ++i)
        ballIds[i] = m.defineShape(ShapeBuilder().fill(solid(rgb(ballColours[i]))).line(3, rgb(0xFFFFFF)).ellipse(0, 0, 18, 18));

    const auto squareId = m.defineShape(
        ShapeBuilder().fill(solid(rgba(255, 255, 255, 70))).line(3, rgb(0xA0E7FF)).rect(-40, -40, 80, 80));
    const auto floorId = m.defineShape(ShapeBuilder().fill(solid(rgb(0x243B63))).rect(0, 300, kWidth, 60));

    m.place(floorId, 1);
    m.place(squareId, 2, place(kWidth / 2, kHeight / 2));
    m.place(starId, 3, place(kWidth / 2, kHeight / 2));
    for (int i = 0; i < 4; ++i)
        m.place(ballIds[i], std::uint16_t(10 + i), place(0, 0));

    const int frames = 72;
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames; // one loop per movie
        m.move(3, place(kWidth / 2, kHeight / 2 - 10, t * 360, 1 + 0.15 * std::sin(t * 4 * kPi)));
        m.move(2, place(kWidth / 2, kHeight / 2 - 10, -t * 180, 1.6 + 0.6 * std::sin(t * 2 * kPi)));
        for (int i = 0; i < 4; ++i) {
            const double angle = t * 2 * kPi + i * kPi / 2;
            const double x = kWidth / 2 + std::cos(angle) * 170;
            const double y = kHeight / 2 - 10 + std::sin(angle) * 100;
            m.move(std::uint16_t(10 + i), place(x, y, 0, 1 + 0.3 * std::sin(angle * 2)));
        }
        m.showFrame();
    }
    return m.finish(Compression::Zlib);
}

// ---- Gradients: a sunrise over rolling hills ------------------------------

QByteArray gradientsMovie()
{
    MovieBuilder m(kWidth, kHeight, 20);
    m.setBackgroundColor(rgb(0x000000));

    const auto skyId = m.defineShape(ShapeBuilder()
                                         .fill(linearGradient({{0, rgb(0x0B1D51)}, {140, rgb(0x8C5FB4)}, {255, rgb(0xFFB677)}},
                                                              0, 0, kWidth, kHeight, 90))
                                         .rect(0, 0, kWidth, kHeight));
    const auto sunId = m.defineShape(
        ShapeBuilder()
            .fill(radialGradient({{0, rgb(0xFFFDE4)}, {90, rgb(0xFFE066)}, {200, rgba(255, 140, 60, 120)}, {255, rgba(255, 120, 60, 0)}},
                                 -90, -90, 180, 180))
            .rect(-90, -90, 180, 180));
    auto hill = [&](std::uint32_t top, std::uint32_t bottom, double height) {
        ShapeBuilder s;
        s.fill(linearGradient({{0, rgb(top)}, {255, rgb(bottom)}}, 0, -height, 640, height + 60, 90));
        s.moveTo(0, 0).curveTo(160, -height, 320, 0).curveTo(480, -height, 640, 0).lineTo(640, 60).lineTo(0, 60).lineTo(0, 0);
        return m.defineShape(s);
    };
    const auto farHillId = hill(0x5A8F6B, 0x2E4D3A, 70);
    const auto nearHillId = hill(0x3E7C4F, 0x163021, 90);
    const auto barId = m.defineShape(ShapeBuilder()
                                         .fill(linearGradient({{0, rgba(255, 255, 255, 0)}, {128, rgba(255, 255, 255, 110)},
                                                               {255, rgba(255, 255, 255, 0)}},
                                                              -60, -4, 120, 8))
                                         .rect(-60, -4, 120, 8));

    m.place(skyId, 1);
    m.place(sunId, 2, place(kWidth / 2, 330));
    m.place(farHillId, 3, place(-40, 300));
    m.place(nearHillId, 4, place(-120, 320));
    for (int i = 0; i < 3; ++i)
        m.place(barId, std::uint16_t(5 + i), place(-100, 60 + i * 40));

    const int frames = 80;
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / (frames - 1);
        const double rise = 1 - (1 - t) * (1 - t); // slows down as it comes up
        m.move(2, place(kWidth / 2, 330 - rise * 190, 0, 0.8 + 0.5 * rise + 0.05 * std::sin(f * 0.6)));
        // The sky brightens as the sun rises.
        moveTinted(m, 1, place(0, 0), tint(0.55 + 0.45 * rise, 0.55 + 0.45 * rise, 0.6 + 0.4 * rise));
        m.move(3, place(-40 - 60 * t, 300));
        m.move(4, place(-120 + 100 * t, 320));
        for (int i = 0; i < 3; ++i)
            m.move(std::uint16_t(5 + i), place(std::fmod(-100 + f * (6 + 2 * i) + i * 170, kWidth + 200) - 100, 60 + i * 40, 0, 1 + i * 0.4));
        m.showFrame();
    }
    return m.finish(Compression::Zlib);
}

// ---- Bitmap: a picture made in code, spinning over a scrolling tile -------

QImage pictureImage()
{
    QImage image(128, 128, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double u = x / 127.0;
            const double v = y / 127.0;
            const double wave = std::sin(u * 9 + std::sin(v * 7) * 2) + std::sin(v * 11 - u * 3);
            const int r = int(127 + 120 * std::sin(wave * 1.4));
            const int g = int(127 + 120 * std::sin(wave * 1.4 + 2.1));
            const int b = int(127 + 120 * std::sin(wave * 1.4 + 4.2));
            // A white frame, two pixels wide.
            const bool frame = x < 3 || y < 3 || x > 124 || y > 124;
            image.setPixel(x, y, frame ? qRgb(255, 255, 255) : qRgb(r, g, b));
        }
    return image;
}

QImage tileImage()
{
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool dark = (x < 16) != (y < 16);
            const bool dot = std::hypot(x % 16 - 7.5, y % 16 - 7.5) < 3;
            image.setPixel(x, y, dot ? qRgb(255, 209, 102) : dark ? qRgb(38, 70, 83) : qRgb(42, 157, 143));
        }
    return image;
}

QByteArray bitmapMovie()
{
    MovieBuilder m(kWidth, kHeight, 24);
    m.setBackgroundColor(rgb(0x264653));

    const auto tileBitmap = m.defineBitsLossless(tileImage());
    const auto pictureBitmap = m.defineBitsLossless(pictureImage());
    // The tiled floor (each tile pixel drawn 2 x 2) is larger than the stage
    // so that it can scroll by one tile and start over.
    const auto floorId = m.defineShape(
        ShapeBuilder().fill(bitmapFill(tileBitmap, 0, 0, 2, true, false)).rect(0, 0, kWidth + 64, kHeight + 64));
    const auto pictureId =
        m.defineShape(ShapeBuilder().fill(bitmapFill(pictureBitmap, -64, -64, 1, false)).line(2, rgb(0x000000)).rect(-64, -64, 128, 128));

    m.place(floorId, 1, place(-64, -64));
    m.place(pictureId, 2, place(kWidth / 2, kHeight / 2));
    m.place(pictureId, 3, place(90, 90));
    m.place(pictureId, 4, place(kWidth - 90, kHeight - 90));

    const int frames = 72;
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        const double shift = std::fmod(f * 2.0, 64.0);
        m.move(1, place(-64 + shift, -64 + shift));
        m.move(2, place(kWidth / 2, kHeight / 2, t * 360, 1.2 + 0.5 * std::sin(t * 2 * kPi)));
        m.move(3, place(90, 90 + 20 * std::sin(t * 4 * kPi), -t * 180, 0.5));
        m.move(4, place(kWidth - 90, kHeight - 90 - 20 * std::sin(t * 4 * kPi), t * 180, 0.5));
        m.showFrame();
    }
    return m.finish(Compression::Zlib);
}

// ---- Text: letters of an embedded dot-matrix font on a wave ---------------

// Five columns by seven rows per letter, "#" for a dot.
struct LetterPattern {
    char code;
    const char* rows[7];
};

constexpr LetterPattern kLetters[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
};

// Glyph outlines in the 1024-unit em square: round dots on a grid of
// 128 units, the baseline under the bottom row.
Font dotFont()
{
    constexpr double cell = 128;
    Font font;
    font.version = 2;
    font.name = QStringLiteral("Dots");
    for (const LetterPattern& letter : kLetters) {
        ShapeBuilder outline(1);
        outline.fill(solid(rgb(0)));
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (letter.rows[row][column] == '#')
                    outline.ellipse(column * cell + cell / 2, (row - 7) * cell + cell / 2, cell * 0.44, cell * 0.44);
        Glyph glyph;
        glyph.outline = outline.buildGlyph();
        glyph.code = std::uint16_t(letter.code);
        font.glyphs.push_back(std::move(glyph));
    }
    return font;
}

std::uint32_t glyphIndex(char c)
{
    for (std::uint32_t i = 0; i < std::size(kLetters); ++i)
        if (kLetters[i].code == c)
            return i;
    throw std::logic_error(std::string("no glyph for ") + c);
}

// A text character holding one letter with its origin at (0, 0).
std::uint16_t letterText(MovieBuilder& m, std::uint16_t fontId, char c, double heightPx)
{
    Text text;
    text.version = 1;
    text.bounds = Rect{0, px(heightPx), px(-heightPx), 0};
    TextRecord record;
    record.fontId = fontId;
    record.color = rgb(0xFFFFFF);
    record.height = std::uint16_t(px(heightPx));
    record.glyphs.push_back(GlyphEntry{glyphIndex(c), px(heightPx)});
    text.records.push_back(std::move(record));
    return m.defineText(text);
}

QByteArray textMovie()
{
    MovieBuilder m(kWidth, kHeight, 20);
    m.setBackgroundColor(rgb(0x10002B));

    const auto glowId = m.defineShape(ShapeBuilder()
                                          .fill(radialGradient({{0, rgb(0x5A189A)}, {255, rgb(0x10002B)}}, -320, -240, 640, 480))
                                          .rect(-320, -240, 640, 480));
    m.place(glowId, 1, place(kWidth / 2, kHeight / 2));

    const auto fontId = m.defineFont(dotFont());
    const char* lines[] = {"WELCOME", "TO THE", "DEMO DISC"};
    const double heights[] = {48, 36, 40};
    const double baselines[] = {120, 200, 285};

    struct Letter {
        std::uint16_t depth;
        double x, y;
        int index; // position in the whole text, for the wave's phase
    };
    std::vector<Letter> letters;
    std::uint16_t depth = 10;
    int index = 0;
    for (int line = 0; line < 3; ++line) {
        const std::string s = lines[line];
        const double advance = heights[line] * 0.8;
        double x = (kWidth - advance * double(s.size()) + heights[line] * 0.15) / 2;
        for (char c : s) {
            if (c != ' ') {
                const auto id = letterText(m, fontId, c, heights[line]);
                m.place(id, depth, place(x, baselines[line]));
                letters.push_back({depth++, x, baselines[line], index});
            }
            x += advance;
            ++index;
        }
    }

    const int frames = 80;
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        for (const Letter& letter : letters) {
            const double phase = t * 2 * kPi * 2 - letter.index * 0.45;
            const double hue = t * 2 * kPi + letter.index * 0.3;
            // Letters arrive one after another, then ride the wave.
            const double arrive = std::clamp((f + 3 - letter.index * 1.5) / 8.0, 0.0, 1.0);
            const double y = letter.y + 8 * std::sin(phase) - (1 - arrive) * 80;
            moveTinted(m, letter.depth, place(letter.x, y, 0, 0.4 + 0.6 * arrive),
                       tint(0.6 + 0.4 * std::sin(hue), 0.6 + 0.4 * std::sin(hue + 2.1), 0.6 + 0.4 * std::sin(hue + 4.2), arrive));
        }
        m.showFrame();
    }
    return m.finish(Compression::Zlib);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(path.toStdString() + ": " + file.errorString().toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-samples FOLDER\n");
        return 2;
    }
    try {
        const QString folder = QString::fromLocal8Bit(argv[1]);
        if (!QDir().mkpath(folder))
            throw std::runtime_error(folder.toStdString() + ": cannot create the folder");
        const QDir dir(folder);
        writeFile(dir.filePath(QStringLiteral("shapes.swf")), shapesMovie());
        writeFile(dir.filePath(QStringLiteral("gradients.swf")), gradientsMovie());
        writeFile(dir.filePath(QStringLiteral("bitmap.swf")), bitmapMovie());
        writeFile(dir.filePath(QStringLiteral("text.swf")), textMovie());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
