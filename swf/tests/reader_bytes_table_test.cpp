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

// A tag: its code and length in the short form (RECORDHEADER) when the body
// is shorter than 63 bytes, else the long form, then the body.
QByteArray tagOf(int code, const QByteArray& body)
{
    QByteArray tag;
    auto u16 = [&tag](int v) { tag.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    if (body.size() < 0x3F) {
        u16(code << 6 | int(body.size()));
    } else {
        u16(code << 6 | 0x3F);
        u16(int(body.size() & 0xFFFF));
        u16(int(body.size() >> 16));
    }
    return tag + body;
}

// A version 8 movie of one frame holding the tag with the body given (and
// the tags that follow it), put together by hand as well: "FWS", version,
// file length, an empty stage rectangle (Nbits=0), 12 frames per second,
// 1 frame, the tags, ShowFrame, End.
QByteArray movieWith(int code, const QByteArray& body, const QByteArray& moreTags = {})
{
    QByteArray tags = tagOf(code, body) + moreTags;
    tags += hex("40 00 00 00"); // ShowFrame, End
    QByteArray file = hex("46 57 53 08 00 00 00 00 00 00 0C 01 00");
    const qsizetype length = file.size() + tags.size();
    for (int i = 0; i < 4; ++i)
        file[4 + i] = char((length >> (8 * i)) & 0xFF);
    return file + tags;
}

// Reads the one character of a movieWith() file; fails the test without it.
template <typename T>
std::optional<T> characterOf(int code, const QByteArray& body, std::uint16_t id, const QByteArray& moreTags = {})
{
    const Movie movie = readOk(movieWith(code, body, moreTags));
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
    // HasScale=1 NScaleBits=17/5 ScaleX=0.5/17 ScaleY=-0.5/17 HasRotate=1 NRotateBits=16/5
    // RotateSkew0=0.25/16 RotateSkew1=-0.25/16 NTranslateBits=11/5 TranslateX=-1/11 TranslateY=1000/11
    {"all three parts", "C5 00 01 80 00 C1 00 03 00 01 7F FD F4 00", matrix(0.5, 0.25, -0.25, -0.5, -1, 1000)},
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
    // CXFORMWITHALPHA: HasAddTerms=0 HasMultTerms=1 Nbits=10/4 Red=-256 Green=0 Blue=511 Alpha=1
    {"negative and large multipliers", "6B 00 00 1F F0 04", true, cxform({-256, 0, 511, 1}, {0, 0, 0, 0})},
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


// ---- shapes: shape records, fill and line styles ---------------------------

Edge edge(Point from, Point to, std::uint16_t fill0, std::uint16_t fill1, std::uint16_t line)
{
    Edge e;
    e.from = from, e.to = to, e.fill0 = fill0, e.fill1 = fill1, e.line = line;
    return e;
}

Edge curve(Point from, Point control, Point to, std::uint16_t fill0, std::uint16_t fill1, std::uint16_t line)
{
    Edge e = edge(from, to, fill0, fill1, line);
    e.control = control;
    e.curved = true;
    return e;
}

FillStyle solidFill(Rgba color)
{
    FillStyle f;
    f.color = color;
    return f;
}

LineStyle line(std::uint16_t width, Rgba color)
{
    LineStyle l;
    l.width = width;
    l.color = color;
    return l;
}

struct ShapeCase {
    const char* name;
    int tagCode;
    const char* body;
    Shape model;
};

std::vector<ShapeCase> shapeCases()
{
    std::vector<ShapeCase> cases;
    {
        // DefineShape: ShapeId=1, ShapeBounds Nbits=9/5 Xmin=0 Xmax=200 Ymin=0 Ymax=200;
        // FillStyleCount=1: type 0x00 solid RGB FF 00 00; LineStyleCount=1: Width=20 RGB 00 00 FF;
        // NumFillBits=1/4 NumLineBits=1/4, then the records:
        //   style change TypeFlag=0 NewStyles=0 LineStyle=1 FillStyle1=1 FillStyle0=0 MoveTo=1
        //     MoveBits=6/5 MoveDeltaX=20/6 MoveDeltaY=20/6 FillStyle1=1/1 LineStyle=1/1
        //   straight TypeFlag=1 StraightFlag=1 NumBits=6/4 GeneralLine=0 VertLine=0 DeltaX=100/8
        //   curved TypeFlag=1 StraightFlag=0 NumBits=5/4 Control=(50,50) Anchor=(-50,50) /7 each
        //   straight TypeFlag=1 StraightFlag=1 NumBits=6/4 GeneralLine=1 DeltaX=-100/8 DeltaY=-100/8
        //   end TypeFlag=0 and five zero flags
        Shape s;
        s.version = 1;
        s.bounds = s.edgeBounds = Rect{0, 200, 0, 200};
        ShapeLayer layer;
        layer.fills = {solidFill(rgba(0xFF, 0, 0))};
        layer.lines = {line(20, rgba(0, 0, 0xFF))};
        layer.edges = {edge({20, 20}, {120, 20}, 0, 1, 1), curve({120, 20}, {170, 70}, {120, 120}, 0, 1, 1),
                       edge({120, 120}, {20, 20}, 0, 1, 1)};
        s.layers = {layer};
        cases.push_back({"solid fill, line, straight and curved edges", 2,
                         "01 00  48 01 90 00 64 00  01 00 FF 00 00  01 14 00 00 00 FF  "
                         "11 34 CA 29 EC 32 4A C9 94 E6 5B 67 27 00",
                         s});
    }
    {
        // DefineShape3: ShapeId=1, ShapeBounds Nbits=10/5 0 400 0 400;
        // FillStyleCount=2:
        //   0x10 linear gradient: matrix HasScale=1 NScaleBits=17/5 0.5 0.5 HasRotate=0
        //     NTranslateBits=0; SpreadMode=1/2 (reflect) InterpolationMode=1/2 (linear)
        //     NumGradients=2/4; ratio 0x00 RGBA FF 00 00 FF, ratio 0xFF RGBA 00 00 FF 80
        //   0x41 clipped smoothed bitmap: BitmapId=5, matrix HasScale=1 NScaleBits=22/5
        //     20.0 20.0 HasRotate=0 NTranslateBits=0
        // LineStyleCount=0; NumFillBits=2/4 NumLineBits=0/4, then the records:
        //   style change FillStyle0=1 MoveTo=1: MoveBits=5 (10, 10), FillStyle0=2/2
        //   straight NumBits=3/4 GeneralLine=0 VertLine=1 DeltaY=10/5
        //   style change NewStyles=1 (nothing else), then byte-aligned:
        //     FillStyleCount=1: 0x00 RGBA 00 FF 00 80; LineStyleCount=1: Width=40 RGBA 00 00 00 FF
        //     NumFillBits=1/4 NumLineBits=1/4
        //   style change LineStyle=1 FillStyle1=1: FillStyle1=1/1 LineStyle=1/1
        //   straight NumBits=3/4 GeneralLine=0 VertLine=0 DeltaX=10/5
        //   end
        // The pen keeps its place across the new styles; the new styles make a second layer.
        Shape s;
        s.version = 3;
        s.bounds = s.edgeBounds = Rect{0, 400, 0, 400};
        FillStyle linear;
        linear.kind = FillStyle::Kind::LinearGradient;
        linear.matrix = matrix(0.5, 0, 0, 0.5, 0, 0);
        linear.gradient.spread = SpreadMode::Reflect;
        linear.gradient.interpolation = InterpolationMode::Linear;
        linear.gradient.records = {GradientRecord{0x00, rgba(0xFF, 0, 0, 0xFF)},
                                   GradientRecord{0xFF, rgba(0, 0, 0xFF, 0x80)}};
        FillStyle bitmap;
        bitmap.kind = FillStyle::Kind::Bitmap;
        bitmap.bitmapId = 5;
        bitmap.matrix = matrix(20, 0, 0, 20, 0, 0);
        bitmap.repeating = false;
        bitmap.smoothed = true;
        ShapeLayer first;
        first.fills = {linear, bitmap};
        first.edges = {edge({10, 10}, {10, 20}, 2, 0, 0)};
        ShapeLayer second;
        second.fills = {solidFill(rgba(0, 0xFF, 0, 0x80))};
        second.lines = {line(40, rgba(0, 0, 0, 0xFF))};
        second.edges = {edge({10, 20}, {20, 20}, 0, 1, 1)};
        s.layers = {first, second};
        cases.push_back({"gradient and bitmap fills, new styles", 32,
                         "01 00  50 00 C8 00 0C 80  "
                         "02  10 C5 00 00 80 00 00 52 00 FF 00 00 FF FF 00 00 FF 80  41 05 00 D9 40 00 05 00 00 00  "
                         "00  20 0C AA 55 9A A4 00  01 00 00 FF 00 80  01 28 00 00 00 00 FF  11 33 CC 50 00",
                         s});
    }
    {
        // DefineShape4: ShapeId=1, ShapeBounds and EdgeBounds Nbits=0 (one byte each),
        // Reserved=0/5 UsesFillWindingRule=1 UsesNonScalingStrokes=0 UsesScalingStrokes=1;
        // FillStyleCount=1: 0x13 focal gradient, identity matrix, SpreadMode=0 Interpolation=0
        //   NumGradients=1, ratio 0x80 RGBA 11 22 33 44, FocalPoint=-0.5 (8.8: FF80);
        // LineStyleCount=2 (LINESTYLE2):
        //   Width=60 StartCap=2/2 Join=2/2 HasFill=0 NoHScale=1 NoVScale=0 PixelHinting=1
        //     Reserved=0/5 NoClose=1 EndCap=1/2 MiterLimit=2.5 (8.8) RGBA AA BB CC DD
        //   Width=0 StartCap=0 Join=1 HasFill=1 NoHScale=0 NoVScale=1 PixelHinting=0
        //     Reserved=0/5 NoClose=0 EndCap=0, fill 0x00 RGBA 01 02 03 04
        // NumFillBits=1/4 NumLineBits=2/4, then the records:
        //   style change LineStyle=1 FillStyle0=1: FillStyle0=1/1 LineStyle=2/2
        //   straight NumBits=1/4 GeneralLine=1 DeltaX=3/3 DeltaY=-4/3
        //   end
        Shape s;
        s.version = 4;
        s.nonZeroWinding = true;
        s.usesNonScalingStrokes = false;
        s.usesScalingStrokes = true;
        FillStyle focal;
        focal.kind = FillStyle::Kind::FocalRadialGradient;
        focal.gradient.records = {GradientRecord{0x80, rgba(0x11, 0x22, 0x33, 0x44)}};
        focal.gradient.focalPoint = -0.5;
        LineStyle square = line(60, rgba(0xAA, 0xBB, 0xCC, 0xDD));
        square.startCap = CapStyle::Square;
        square.endCap = CapStyle::None;
        square.join = JoinStyle::Miter;
        square.miterLimit = 2.5;
        square.noHScale = true;
        square.pixelHinting = true;
        square.noClose = true;
        LineStyle filled = line(0, Rgba{});
        filled.join = JoinStyle::Bevel;
        filled.noVScale = true;
        filled.fill = solidFill(rgba(1, 2, 3, 4));
        ShapeLayer layer;
        layer.fills = {focal};
        layer.lines = {square, filled};
        layer.edges = {edge({0, 0}, {3, -4}, 1, 0, 2)};
        s.layers = {layer};
        cases.push_back({"winding rule, focal gradient, caps, joins and a filled line", 83,
                         "01 00  00  00  05  "
                         "01  13 00 01 80 11 22 33 44 80 FF  "
                         "02  3C 00 A5 05 80 02 AA BB CC DD  00 00 1A 00 00 01 02 03 04  "
                         "12 2B 63 70 00",
                         s});
    }
    {
        // DefineShape2: ShapeId=1, ShapeBounds Nbits=0;
        // FillStyleCount=0xFF then 2 (UI16, the extended count):
        //   0x12 radial gradient: matrix HasScale=0 HasRotate=0 NTranslateBits=8 (100, 100);
        //     SpreadMode=2/2 (repeat) InterpolationMode=0/2 NumGradients=1/4; ratio 0xFF RGB 12 34 56
        //   0x43 clipped unsmoothed bitmap: BitmapId=0xFFFF (none), identity matrix
        // LineStyleCount=0xFF then 1: Width=1 RGB 01 02 03;
        // NumFillBits=2/4 NumLineBits=1/4, then the records:
        //   style change LineStyle=1 FillStyle1=1 FillStyle0=1 (no move): FillStyle0=1/2
        //     FillStyle1=2/2 LineStyle=1/1
        //   straight NumBits=2/4 GeneralLine=1 DeltaX=-5/4 DeltaY=7/4
        //   style change FillStyle1=1 MoveTo=1: MoveBits=4/5 (-8, -8), FillStyle1=0/2
        //   straight NumBits=1/4 GeneralLine=0 VertLine=1 DeltaY=-3/3
        //   end
        Shape s;
        s.version = 2;
        FillStyle radial;
        radial.kind = FillStyle::Kind::RadialGradient;
        radial.matrix = matrix(1, 0, 0, 1, 100, 100);
        radial.gradient.spread = SpreadMode::Repeat;
        radial.gradient.records = {GradientRecord{0xFF, rgba(0x12, 0x34, 0x56)}};
        FillStyle none;
        none.kind = FillStyle::Kind::Bitmap;
        none.bitmapId = 0xFFFF;
        none.repeating = false;
        none.smoothed = false;
        ShapeLayer layer;
        layer.fills = {radial, none};
        layer.lines = {line(1, rgba(1, 2, 3))};
        layer.edges = {edge({0, 0}, {-5, 7}, 1, 2, 1), edge({-8, -8}, {-8, -11}, 1, 0, 1)};
        s.layers = {layer};
        cases.push_back({"extended style counts, radial gradient, a move and a cleared fill", 22,
                         "01 00  00  FF 02 00  12 10 C8 C8 81 FF 12 34 56  43 FF FF 00  FF 01 00 01 00 01 02 03  "
                         "21 39 B9 6D C5 24 41 8B 40",
                         s});
    }
    return cases;
}

TEST(ReaderBytesTable, ShapesWithTheirStyles)
{
    for (const ShapeCase& c : shapeCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<Shape> shape = characterOf<Shape>(c.tagCode, hex(c.body), 1);
        ASSERT_TRUE(shape);
        EXPECT_EQ(shape->version, c.model.version);
        EXPECT_EQ(shape->bounds, c.model.bounds);
        EXPECT_EQ(shape->edgeBounds, c.model.edgeBounds);
        EXPECT_EQ(shape->nonZeroWinding, c.model.nonZeroWinding);
        EXPECT_EQ(shape->usesNonScalingStrokes, c.model.usesNonScalingStrokes);
        EXPECT_EQ(shape->usesScalingStrokes, c.model.usesScalingStrokes);
        ASSERT_EQ(shape->layers.size(), c.model.layers.size());
        for (std::size_t i = 0; i < c.model.layers.size(); ++i) {
            SCOPED_TRACE("layer " + std::to_string(i));
            const ShapeLayer& got = shape->layers[i];
            const ShapeLayer& want = c.model.layers[i];
            ASSERT_EQ(got.fills.size(), want.fills.size());
            for (std::size_t f = 0; f < want.fills.size(); ++f)
                EXPECT_TRUE(got.fills[f] == want.fills[f]) << "fill " << f + 1;
            ASSERT_EQ(got.lines.size(), want.lines.size());
            for (std::size_t l = 0; l < want.lines.size(); ++l)
                EXPECT_TRUE(got.lines[l] == want.lines[l]) << "line " << l + 1;
            ASSERT_EQ(got.edges.size(), want.edges.size());
            for (std::size_t e = 0; e < want.edges.size(); ++e)
                EXPECT_TRUE(got.edges[e] == want.edges[e]) << "edge " << e;
        }
        EXPECT_TRUE(*shape == c.model);
    }
}

// ---- glyph outlines --------------------------------------------------------

TEST(ReaderBytesTable, GlyphShapeRecords)
{
    // DefineFont: FontID=1, OffsetTable of one entry (2: the first shape
    // follows the table, so there is one glyph), then the glyph's SHAPE:
    //   NumFillBits=1/4 NumLineBits=0/4
    //   style change FillStyle1=1 MoveTo=1: MoveBits=8/5 (0, -100), FillStyle1=1/1
    //   straight NumBits=6/4 GeneralLine=0 VertLine=0 DeltaX=100/8
    //   straight NumBits=6/4 GeneralLine=0 VertLine=1 DeltaY=100/8
    //   straight NumBits=6/4 GeneralLine=1 DeltaX=-100/8 DeltaY=-100/8
    //   end
    // A glyph has no style arrays: fill 1 marks the inside.
    const std::optional<Font> font =
        characterOf<Font>(10, hex("01 00  02 00  10 15 00 13 9D 86 4D 96 4D B3 93 80 00"), 1);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->version, 1);
    EXPECT_FALSE(font->hasLayout);
    ASSERT_EQ(font->glyphs.size(), 1u);
    const Glyph& glyph = font->glyphs[0];
    EXPECT_EQ(glyph.code, 0);
    EXPECT_FALSE(glyph.advance);
    EXPECT_EQ(glyph.outline.version, 0);
    ASSERT_EQ(glyph.outline.layers.size(), 1u);
    const ShapeLayer& layer = glyph.outline.layers[0];
    EXPECT_TRUE(layer.fills.empty());
    EXPECT_TRUE(layer.lines.empty());
    const std::vector<Edge> edges = {edge({0, -100}, {100, -100}, 0, 1, 0), edge({100, -100}, {100, 0}, 0, 1, 0),
                                     edge({100, 0}, {0, -100}, 0, 1, 0)};
    EXPECT_TRUE(layer.edges == edges);
}

// ---- text records ----------------------------------------------------------

struct TextCase {
    const char* name;
    int tagCode;
    const char* body;
    Text model;
};

TextRecord textRecord(std::uint16_t fontId, Rgba color, Twips x, Twips y, std::uint16_t height,
                      std::vector<GlyphEntry> glyphs)
{
    TextRecord r;
    r.fontId = fontId, r.color = color, r.x = x, r.y = y, r.height = height, r.glyphs = std::move(glyphs);
    return r;
}

std::vector<TextCase> textCases()
{
    std::vector<TextCase> cases;
    {
        // DefineText: CharacterId=2, TextBounds Nbits=0, identity TextMatrix,
        // GlyphBits=3 AdvanceBits=8, then the records:
        //   TextRecordType=1 Reserved=0/3 HasFont=1 HasColor=1 HasYOffset=1 HasXOffset=1,
        //     FontID=1, RGB 10 20 30, XOffset=100 YOffset=200 (SI16), TextHeight=240,
        //     GlyphCount=2: index 3/3 advance 100/8, index 5/3 advance -20/8, padding
        //   TextRecordType=1 HasYOffset=1 only, YOffset=400, GlyphCount=1: index 1/3 advance 50/8
        //   EndOfRecordsFlag=0
        // The second record keeps the font, colour and height and starts where
        // the first one's advances end: x = 100 + 100 - 20.
        Text t;
        t.version = 1;
        t.records = {textRecord(1, rgba(0x10, 0x20, 0x30), 100, 200, 240, {{3, 100}, {5, -20}}),
                     textRecord(1, rgba(0x10, 0x20, 0x30), 180, 400, 240, {{1, 50}})};
        cases.push_back({"carried-over state", 11,
                         "02 00  00  00  03 08  "
                         "8F 01 00 10 20 30 64 00 C8 00 F0 00 02 6C 97 B0  "
                         "82 90 01 01 26 40  "
                         "00",
                         t});
    }
    {
        // DefineText2: CharacterId=2, TextBounds Nbits=0, identity TextMatrix,
        // GlyphBits=1 AdvanceBits=0 (every advance is 0), then:
        //   TextRecordType=1 HasFont=1 HasColor=1, FontID=7, RGBA 01 02 03 80,
        //     TextHeight=20, GlyphCount=2: index 1/1, index 0/1, padding
        //   EndOfRecordsFlag=0
        Text t;
        t.version = 2;
        t.records = {textRecord(7, rgba(1, 2, 3, 0x80), 0, 0, 20, {{1, 0}, {0, 0}})};
        cases.push_back({"colour with alpha, advances of no bits", 33, "02 00  00  00  01 00  8C 07 00 01 02 03 80 14 00 02 80  00", t});
    }
    return cases;
}

TEST(ReaderBytesTable, TextRecords)
{
    for (const TextCase& c : textCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<Text> text = characterOf<Text>(c.tagCode, hex(c.body), 2);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->version, c.model.version);
        EXPECT_EQ(text->bounds, c.model.bounds);
        EXPECT_EQ(text->matrix, c.model.matrix);
        ASSERT_EQ(text->records.size(), c.model.records.size());
        for (std::size_t i = 0; i < c.model.records.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            const TextRecord& got = text->records[i];
            const TextRecord& want = c.model.records[i];
            EXPECT_EQ(got.fontId, want.fontId);
            EXPECT_EQ(got.color, want.color);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.height, want.height);
            ASSERT_EQ(got.glyphs.size(), want.glyphs.size());
            for (std::size_t g = 0; g < want.glyphs.size(); ++g) {
                EXPECT_EQ(got.glyphs[g].index, want.glyphs[g].index) << "glyph " << g;
                EXPECT_EQ(got.glyphs[g].advance, want.glyphs[g].advance) << "glyph " << g;
            }
        }
    }
}

// ---- button records --------------------------------------------------------

struct ButtonCase {
    const char* name;
    int tagCode;
    const char* body;
    Button model;
    QByteArray moreTags = {};
};

std::vector<ButtonCase> buttonCases()
{
    std::vector<ButtonCase> cases;
    {
        // DefineButton2: ButtonId=3, Reserved=0/7 TrackAsMenu=1, ActionOffset=0 (no actions), then:
        //   Reserved=0/2 HasBlendMode=0 HasFilterList=0 HitTest=1 Down=0 Over=0 Up=1,
        //     CharacterID=1 PlaceDepth=1, identity matrix, CXFORMWITHALPHA with no terms
        //   Reserved=0/2 HasBlendMode=1 HasFilterList=1 HitTest=0 Down=1 Over=1 Up=0,
        //     CharacterID=2 PlaceDepth=2, the translation matrix (20, -40) and the
        //     add-only colour transform of the tables above, a filter list of one
        //     blur (4.0, 2.5, 2 passes), BlendMode=3 (multiply)
        //   CharacterEndFlag=0
        Button b;
        b.version = 2;
        b.trackAsMenu = true;
        ButtonRecord plain;
        plain.hitTest = true, plain.up = true;
        plain.characterId = 1, plain.depth = 1;
        ButtonRecord rich;
        rich.down = true, rich.over = true;
        rich.characterId = 2, rich.depth = 2;
        rich.matrix = matrix(1, 0, 0, 1, 20, -40);
        rich.colorTransform = cxform({256, 256, 256, 256}, {-10, 20, 0, -255});
        BlurFilter blur;
        blur.blurX = 4.0, blur.blurY = 2.5, blur.passes = 2;
        rich.filters = {blur};
        rich.blendMode = BlendMode::Multiply;
        b.records = {plain, rich};
        cases.push_back({"states, transforms, filters and blend mode", 34,
                         "03 00  01  00 00  "
                         "09 01 00 01 00 00 00  "
                         "36 02 00 02 00 0E 52 C0 A7 EC 14 00 40 40 01 01 00 00 04 00 00 80 02 00 10 03  "
                         "00",
                         b});
    }
    {
        // DefineButton: ButtonId=3, then:
        //   Reserved=0/4 HitTest=1 Down=1 Over=1 Up=1, CharacterID=1 PlaceDepth=3,
        //     matrix HasScale=0 HasRotate=0 NTranslateBits=7 (20, -40), no colour transform
        //   CharacterEndFlag=0, an empty action list (End)
        // then DefineButtonCxform (tag 23): ButtonId=3 and the multiply-only CXFORM
        // of the tables above, which the record takes as its colour transform.
        Button b;
        b.version = 1;
        ButtonRecord all;
        all.up = all.over = all.down = all.hitTest = true;
        all.characterId = 1, all.depth = 3;
        all.matrix = matrix(1, 0, 0, 1, 20, -40);
        all.colorTransform = cxform({128, 256, 0, 256}, {0, 0, 0, 0});
        b.records = {all};
        cases.push_back(
            {"first version with its colour transform", 7, "03 00  0F 01 00 03 00 0E 52 C0  00  00", b,
             tagOf(23, hex("03 00  68 80 40 00 00"))});
    }
    return cases;
}

TEST(ReaderBytesTable, ButtonRecords)
{
    for (const ButtonCase& c : buttonCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<Button> button = characterOf<Button>(c.tagCode, hex(c.body), 3, c.moreTags);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->version, c.model.version);
        EXPECT_EQ(button->trackAsMenu, c.model.trackAsMenu);
        ASSERT_EQ(button->records.size(), c.model.records.size());
        for (std::size_t i = 0; i < c.model.records.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            const ButtonRecord& got = button->records[i];
            const ButtonRecord& want = c.model.records[i];
            EXPECT_EQ(got.up, want.up);
            EXPECT_EQ(got.over, want.over);
            EXPECT_EQ(got.down, want.down);
            EXPECT_EQ(got.hitTest, want.hitTest);
            EXPECT_EQ(got.characterId, want.characterId);
            EXPECT_EQ(got.depth, want.depth);
            EXPECT_EQ(got.matrix, want.matrix);
            EXPECT_EQ(got.colorTransform, want.colorTransform);
            EXPECT_TRUE(got.filters == want.filters);
            EXPECT_EQ(got.blendMode, want.blendMode);
        }
    }
}

// ---- morph records ---------------------------------------------------------

struct MorphCase {
    const char* name;
    int tagCode;
    const char* body;
    MorphShape model;
};

std::vector<MorphCase> morphCases()
{
    std::vector<MorphCase> cases;
    {
        // DefineMorphShape: CharacterId=4, StartBounds and EndBounds Nbits=0,
        // Offset=30 (fill styles 10 + line styles 13 + start edges 7 bytes);
        // MorphFillStyleCount=1: 0x00 solid, StartColor RGBA FF 00 00 80, EndColor 00 FF 00 FF;
        // MorphLineStyleCount=1: StartWidth=20 EndWidth=40, StartColor 00 00 00 FF, EndColor FF FF FF FF;
        // StartEdges: NumFillBits=1/4 NumLineBits=1/4,
        //   style change LineStyle=1 FillStyle0=1 MoveTo=1: MoveBits=5 (10, 0), FillStyle0=1/1 LineStyle=1/1
        //   straight NumBits=3/4 GeneralLine=0 VertLine=1 DeltaY=10/5
        //   end
        // EndEdges: NumFillBits=0/4 NumLineBits=0/4,
        //   style change MoveTo=1: MoveBits=6 (20, 0)
        //   curved NumBits=3/4 Control=(10,10) Anchor=(-10,10) /5 each
        //   end
        // The straight start edge pairs with a curved end edge, so it becomes a
        // curve through its midpoint; the end edge takes the start edge's styles.
        MorphShape m;
        m.version = 1;
        m.fills = {MorphFillStyle{solidFill(rgba(0xFF, 0, 0, 0x80)), solidFill(rgba(0, 0xFF, 0, 0xFF))}};
        m.lines = {MorphLineStyle{line(20, rgba(0, 0, 0, 0xFF)), line(40, rgba(0xFF, 0xFF, 0xFF, 0xFF))}};
        m.startEdges = {curve({10, 0}, {10, 5}, {10, 10}, 1, 0, 1)};
        m.endEdges = {curve({20, 0}, {30, 10}, {20, 20}, 1, 0, 1)};
        cases.push_back({"solid fill and line, straight edge against a curve", 46,
                         "04 00  00  00  1E 00 00 00  "
                         "01 00 FF 00 00 80 00 FF 00 FF  "
                         "01 14 00 28 00 00 00 00 FF FF FF FF FF  "
                         "11 2C AA 07 9A A0 00  "
                         "00 04 CA 01 1A 95 65 00",
                         m});
    }
    {
        // DefineMorphShape2: CharacterId=4, StartBounds Nbits=0, EndBounds Nbits=9 0 200 0 200,
        // StartEdgeBounds and EndEdgeBounds Nbits=0, Reserved=0/6 UsesNonScalingStrokes=1
        // UsesScalingStrokes=0, Offset=39 (17 + 17 + 5 bytes);
        // MorphFillStyleCount=1: 0x10 linear, StartGradientMatrix identity, EndGradientMatrix
        //   (20, -40), NumGradients=1: StartRatio 0x00 RGBA FF 00 00 FF, EndRatio 0xFF RGBA 00 00 FF FF;
        // MorphLineStyleCount=1 (MORPHLINESTYLE2): StartWidth=10 EndWidth=30 StartCap=1/2 Join=2/2
        //   HasFill=0 NoHScale=0 NoVScale=1 PixelHinting=1 Reserved=0/5 NoClose=0 EndCap=2/2
        //   MiterLimit=3.0, StartColor 11 22 33 44, EndColor 55 66 77 88;
        // StartEdges: NumFillBits=1/4 NumLineBits=1/4, style change LineStyle=1 FillStyle1=1:
        //   FillStyle1=1/1 LineStyle=1/1, straight NumBits=3/4 GeneralLine=0 VertLine=0 DeltaX=10/5, end
        // EndEdges: NumFillBits=0/4 NumLineBits=0/4, straight NumBits=4/4 GeneralLine=0 VertLine=0
        //   DeltaX=20/6, end
        MorphShape m;
        m.version = 2;
        m.endBounds = Rect{0, 200, 0, 200};
        m.usesNonScalingStrokes = true;
        FillStyle start;
        start.kind = FillStyle::Kind::LinearGradient;
        start.gradient.records = {GradientRecord{0x00, rgba(0xFF, 0, 0, 0xFF)}};
        FillStyle end = start;
        end.matrix = matrix(1, 0, 0, 1, 20, -40);
        end.gradient.records = {GradientRecord{0xFF, rgba(0, 0, 0xFF, 0xFF)}};
        m.fills = {MorphFillStyle{start, end}};
        LineStyle startLine = line(10, rgba(0x11, 0x22, 0x33, 0x44));
        startLine.startCap = CapStyle::None;
        startLine.endCap = CapStyle::Square;
        startLine.join = JoinStyle::Miter;
        startLine.miterLimit = 3.0;
        startLine.noVScale = true;
        startLine.pixelHinting = true;
        LineStyle endLine = startLine;
        endLine.width = 30;
        endLine.color = rgba(0x55, 0x66, 0x77, 0x88);
        m.lines = {MorphLineStyle{startLine, endLine}};
        m.startEdges = {edge({0, 0}, {10, 0}, 0, 1, 1)};
        m.endEdges = {edge({0, 0}, {20, 0}, 0, 1, 1)};
        cases.push_back({"gradient fill, caps and joins, edge bounds", 84,
                         "04 00  00  48 01 90 00 64 00  00  00  02  27 00 00 00  "
                         "01 10 00 0E 52 C0 01 00 FF 00 00 FF FF 00 00 FF FF  "
                         "01 0A 00 1E 00 63 02 00 03 11 22 33 44 55 66 77 88  "
                         "11 33 CC 50 00  "
                         "00 D0 50 00",
                         m});
    }
    return cases;
}

TEST(ReaderBytesTable, MorphRecords)
{
    for (const MorphCase& c : morphCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<MorphShape> morph = characterOf<MorphShape>(c.tagCode, hex(c.body), 4);
        ASSERT_TRUE(morph);
        EXPECT_EQ(morph->version, c.model.version);
        EXPECT_EQ(morph->startBounds, c.model.startBounds);
        EXPECT_EQ(morph->endBounds, c.model.endBounds);
        EXPECT_EQ(morph->startEdgeBounds, c.model.startEdgeBounds);
        EXPECT_EQ(morph->endEdgeBounds, c.model.endEdgeBounds);
        ASSERT_EQ(morph->fills.size(), c.model.fills.size());
        for (std::size_t i = 0; i < c.model.fills.size(); ++i)
            EXPECT_TRUE(morph->fills[i] == c.model.fills[i]) << "fill " << i + 1;
        ASSERT_EQ(morph->lines.size(), c.model.lines.size());
        for (std::size_t i = 0; i < c.model.lines.size(); ++i)
            EXPECT_TRUE(morph->lines[i] == c.model.lines[i]) << "line " << i + 1;
        ASSERT_EQ(morph->startEdges.size(), c.model.startEdges.size());
        ASSERT_EQ(morph->endEdges.size(), c.model.endEdges.size());
        for (std::size_t i = 0; i < c.model.startEdges.size(); ++i) {
            EXPECT_TRUE(morph->startEdges[i] == c.model.startEdges[i]) << "start edge " << i;
            EXPECT_TRUE(morph->endEdges[i] == c.model.endEdges[i]) << "end edge " << i;
        }
        EXPECT_TRUE(*morph == c.model);
    }
}

} // namespace
