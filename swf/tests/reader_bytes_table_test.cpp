// Hand-worked bytes for each kind of record the reader decodes (actions
// aside), each with the model it must read as. The bytes were put together
// bit by bit from the SWF file format documentation, not by our writer, so a
// mistake made the same way in writer and reader shows up here. Where the
// writer encodes the same record on its own, it must give the same bytes.
//
// Bit fields are written in comments as name=value/width; a '|' marks a byte
// boundary where it helps to follow the hex.

#include "reader/Context.h"
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

using namespace qev::swf;
using qev::swf::testsupport::readOk;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text)); // spaces are skipped
}

std::string hexOf(const QByteArray& bytes)
{
    return bytes.toHex(' ').toUpper().toStdString();
}

detail::BitReader over(const QByteArray& bytes)
{
    return detail::BitReader(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
}

// A version 8 movie of one frame holding one tag with the body given, put
// together by hand as well: "FWS", version, file length, an empty stage
// rectangle (Nbits=0), 12 frames per second, 1 frame, the tag, ShowFrame, End.
QByteArray movieWith(int code, const QByteArray& body)
{
    QByteArray tags;
    auto u16 = [&tags](int v) { tags.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    if (body.size() < 0x3F) {
        u16(code << 6 | int(body.size()));
    } else {
        u16(code << 6 | 0x3F);
        u16(int(body.size() & 0xFFFF));
        u16(int(body.size() >> 16));
    }
    tags += body;
    tags += hex("40 00 00 00"); // ShowFrame, End
    QByteArray file = hex("46 57 53 08 00 00 00 00 00 00 0C 01 00");
    const qsizetype length = file.size() + tags.size();
    for (int i = 0; i < 4; ++i)
        file[4 + i] = char((length >> (8 * i)) & 0xFF);
    return file + tags;
}

// Reads the one character of a movieWith() file; fails the test without it.
template <typename T>
std::optional<T> characterOf(int code, const QByteArray& body, std::uint16_t id)
{
    const Movie movie = readOk(movieWith(code, body));
    EXPECT_TRUE(movie.warnings.empty()) << movie.warnings.front().message.toStdString();
    const T* found = movie.find<T>(id);
    if (!found) {
        ADD_FAILURE() << "no character " << id;
        return std::nullopt;
    }
    return *found;
}

Rgba rgba(int r, int g, int b, int a = 255)
{
    return Rgba{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), std::uint8_t(a)};
}

Matrix matrix(double a, double b, double c, double d, Twips tx, Twips ty)
{
    Matrix m;
    m.a = a, m.b = b, m.c = c, m.d = d, m.tx = tx, m.ty = ty;
    return m;
}

// ---- matrices --------------------------------------------------------------

struct MatrixCase {
    const char* name;
    const char* bytes;
    Matrix model;
};

const std::vector<MatrixCase> kMatrices = {
    // HasScale=0/1 HasRotate=0/1 NTranslateBits=0/5, padding.
    {"identity", "00", Matrix{}},
    // HasScale=0 HasRotate=0 NTranslateBits=7/5 TranslateX=20/7 TranslateY=-40/7
    // 0 0 00111 | 0010100 1 | 011000 00
    {"translation", "0E 52 C0", matrix(1, 0, 0, 1, 20, -40)},
    // HasScale=1 NScaleBits=18/5 ScaleX=1.5/18 (0x18000) ScaleY=0.5/18 (0x08000)
    // HasRotate=0 NTranslateBits=0/5
    {"scale", "C9 80 00 20 00 00", matrix(1.5, 0, 0, 0.5, 0, 0)},
    // HasScale=0 HasRotate=1 NRotateBits=18/5 RotateSkew0=1.0/18 RotateSkew1=-1.0/18
    // NTranslateBits=2/5 TranslateX=1/2 TranslateY=0/2
    {"rotation and skew", "64 80 00 60 00 02 40", matrix(1, 1, -1, 1, 1, 0)},
};

TEST(ReaderBytesTable, Matrices)
{
    for (const MatrixCase& c : kMatrices) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = hex(c.bytes);
        detail::BitReader r = over(bytes);
        EXPECT_EQ(detail::readMatrix(r), c.model);
        r.align();
        EXPECT_TRUE(r.atEnd()) << r.remaining() << " bytes left";
        writer::BitWriter w;
        writer::writeMatrix(w, c.model);
        EXPECT_EQ(hexOf(w.data()), hexOf(bytes));
    }
}

// ---- colour transforms -----------------------------------------------------

struct ColorTransformCase {
    const char* name;
    const char* bytes;
    bool withAlpha;
    ColorTransform model;
};

ColorTransform cxform(std::vector<int> mul, std::vector<int> add)
{
    ColorTransform cx;
    cx.rMul = std::int16_t(mul[0]), cx.gMul = std::int16_t(mul[1]), cx.bMul = std::int16_t(mul[2]);
    cx.aMul = std::int16_t(mul[3]);
    cx.rAdd = std::int16_t(add[0]), cx.gAdd = std::int16_t(add[1]), cx.bAdd = std::int16_t(add[2]);
    cx.aAdd = std::int16_t(add[3]);
    return cx;
}

const std::vector<ColorTransformCase> kColorTransforms = {
    // CXFORM: HasAddTerms=0 HasMultTerms=1 Nbits=10/4 Red=128/10 Green=256/10 Blue=0/10;
    // without alpha terms the alpha multiplier stays 256.
    {"multiply only, no alpha", "68 80 40 00 00", false, cxform({128, 256, 0, 256}, {0, 0, 0, 0})},
    // CXFORMWITHALPHA: HasAddTerms=1 HasMultTerms=0 Nbits=9/4
    // Red=-10/9 Green=20/9 Blue=0/9 Alpha=-255/9
    {"add only, with alpha", "A7 EC 14 00 40 40", true, cxform({256, 256, 256, 256}, {-10, 20, 0, -255})},
    // CXFORMWITHALPHA: HasAddTerms=1 HasMultTerms=1 Nbits=10/4, multipliers
    // 256 128 64 32 then additions 1 -1 2 -2 (10 bits each).
    {"both, with alpha", "E9 00 20 04 00 80 01 FF C0 2F F8", true, cxform({256, 128, 64, 32}, {1, -1, 2, -2})},
    // CXFORM with neither term: HasAddTerms=0 HasMultTerms=0 Nbits=0/4.
    {"empty", "00", false, ColorTransform{}},
};

TEST(ReaderBytesTable, ColorTransforms)
{
    for (const ColorTransformCase& c : kColorTransforms) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = hex(c.bytes);
        detail::BitReader r = over(bytes);
        EXPECT_EQ(detail::readColorTransform(r, c.withAlpha), c.model);
        r.align();
        EXPECT_TRUE(r.atEnd()) << r.remaining() << " bytes left";
        writer::BitWriter w;
        writer::writeColorTransform(w, c.model, c.withAlpha);
        EXPECT_EQ(hexOf(w.data()), hexOf(bytes));
    }
}

// ---- filters ---------------------------------------------------------------

struct FilterCase {
    const char* name;
    const char* bytes; // a filter list: NumberOfFilters, then FilterID and the filter
    Filter model;
};

std::vector<FilterCase> filterCases()
{
    std::vector<FilterCase> cases;
    {
        // BlurX=4.0 BlurY=2.5 (16.16, little-endian), Passes=2/5 Reserved=0/3.
        BlurFilter f;
        f.blurX = 4.0, f.blurY = 2.5, f.passes = 2;
        cases.push_back({"blur", "01 01  00 00 04 00  00 80 02 00  10", f});
    }
    {
        // Colour RGBA, BlurX, BlurY, Angle=0.75, Distance=4.0 (16.16), Strength=1.5 (8.8),
        // InnerShadow=1 Knockout=0 CompositeSource=1 Passes=1/5.
        DropShadowFilter f;
        f.color = rgba(0x10, 0x20, 0x30, 0x80);
        f.blurX = 5.0, f.blurY = 5.0, f.angle = 0.75, f.distance = 4.0, f.strength = 1.5;
        f.inner = true, f.knockout = false, f.compositeSource = true, f.passes = 1;
        cases.push_back(
            {"drop shadow", "01 00  10 20 30 80  00 00 05 00  00 00 05 00  00 C0 00 00  00 00 04 00  80 01  A1", f});
    }
    {
        // Colour, BlurX=2.0, BlurY=3.0, Strength=2.0,
        // InnerGlow=0 Knockout=1 CompositeSource=1 Passes=3/5.
        GlowFilter f;
        f.color = rgba(0xFF, 0xFF, 0x00, 0xFF);
        f.blurX = 2.0, f.blurY = 3.0, f.strength = 2.0;
        f.inner = false, f.knockout = true, f.compositeSource = true, f.passes = 3;
        cases.push_back({"glow", "01 02  FF FF 00 FF  00 00 02 00  00 00 03 00  00 02  63", f});
    }
    {
        // ShadowColor, HighlightColor, BlurX=1, BlurY=1, Angle=1.0, Distance=2.0,
        // Strength=1.0, InnerShadow=1 Knockout=0 CompositeSource=1 OnTop=1 Passes=3/4.
        BevelFilter f;
        f.shadowColor = rgba(0, 0, 0);
        f.highlightColor = rgba(0xFF, 0xFF, 0xFF);
        f.blurX = 1, f.blurY = 1, f.angle = 1.0, f.distance = 2.0, f.strength = 1.0;
        f.inner = true, f.knockout = false, f.compositeSource = true, f.onTop = true, f.passes = 3;
        cases.push_back({"bevel",
                         "01 03  00 00 00 FF  FF FF FF FF  00 00 01 00  00 00 01 00  00 00 01 00  00 00 02 00  00 01  B3",
                         f});
    }
    {
        // NumColors=2, the colours, then their ratios, BlurX=2, BlurY=2, Angle=0,
        // Distance=0, Strength=1.0, InnerShadow=0 Knockout=1 CompositeSource=1 OnTop=0 Passes=1/4.
        GradientFilter f;
        f.bevel = false;
        f.colors = {GradientRecord{0x00, rgba(0xFF, 0, 0)}, GradientRecord{0xFF, rgba(0, 0, 0xFF, 0)}};
        f.blurX = 2, f.blurY = 2, f.angle = 0, f.distance = 0, f.strength = 1.0;
        f.inner = false, f.knockout = true, f.compositeSource = true, f.onTop = false, f.passes = 1;
        cases.push_back({"gradient glow",
                         "01 04  02  FF 00 00 FF  00 00 FF 00  00 FF  00 00 02 00  00 00 02 00  00 00 00 00  "
                         "00 00 00 00  00 01  61",
                         f});
    }
    {
        // As the gradient glow, filter 7: Angle=0.5, Distance=1.0, Strength=2.0,
        // InnerShadow=1 Knockout=0 CompositeSource=1 OnTop=1 Passes=2/4.
        GradientFilter f;
        f.bevel = true;
        f.colors = {GradientRecord{0x00, rgba(0, 0, 0)}, GradientRecord{0xFF, rgba(0xFF, 0xFF, 0xFF)}};
        f.blurX = 1, f.blurY = 1, f.angle = 0.5, f.distance = 1.0, f.strength = 2.0;
        f.inner = true, f.knockout = false, f.compositeSource = true, f.onTop = true, f.passes = 2;
        cases.push_back({"gradient bevel",
                         "01 07  02  00 00 00 FF  FF FF FF FF  00 FF  00 00 01 00  00 00 01 00  00 80 00 00  "
                         "00 00 01 00  00 02  B2",
                         f});
    }
    {
        // MatrixX=3 MatrixY=3, Divisor=9.0 Bias=0.5 (32-bit floats), nine floats
        // (1.0 in the middle), DefaultColor, Reserved=0/6 Clamp=1 PreserveAlpha=0.
        ConvolutionFilter f;
        f.matrixX = 3, f.matrixY = 3, f.divisor = 9.0f, f.bias = 0.5f;
        f.matrix = {0, 0, 0, 0, 1, 0, 0, 0, 0};
        f.defaultColor = rgba(0x11, 0x22, 0x33, 0x44);
        f.clamp = true, f.preserveAlpha = false;
        cases.push_back({"convolution",
                         "01 05  03 03  00 00 10 41  00 00 00 3F  00 00 00 00  00 00 00 00  00 00 00 00  "
                         "00 00 00 00  00 00 80 3F  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00  "
                         "11 22 33 44  02",
                         f});
    }
    {
        // Twenty floats, row by row: red and green swapped, blue less one,
        // alpha halved.
        ColorMatrixFilter f;
        f.matrix = {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, -1, 0, 0, 0, 0.5f, 0};
        cases.push_back({"colour matrix",
                         "01 06  00 00 00 00  00 00 80 3F  00 00 00 00  00 00 00 00  00 00 00 00  "
                         "00 00 80 3F  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00  "
                         "00 00 00 00  00 00 00 00  00 00 80 3F  00 00 00 00  00 00 80 BF  "
                         "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 3F  00 00 00 00",
                         f});
    }
    return cases;
}

TEST(ReaderBytesTable, Filters)
{
    for (const FilterCase& c : filterCases()) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = hex(c.bytes);
        detail::BitReader r = over(bytes);
        const std::vector<Filter> read = detail::readFilters(r);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_TRUE(read[0] == c.model);
        EXPECT_TRUE(r.atEnd()) << r.remaining() << " bytes left";
        writer::BitWriter w;
        writer::writeFilters(w, {c.model});
        EXPECT_EQ(hexOf(w.data()), hexOf(bytes));
    }
}

} // namespace
