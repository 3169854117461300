// Every tag kind the writer makes reads back as the model it was made from.

#include "reader_test_support.h"

using namespace qev::swf;
using namespace qev::swf::writer;
using qev::swf::testsupport::expectSamePlace;
using qev::swf::testsupport::readOk;

namespace {

std::vector<GradientRecord> twoStops(std::uint8_t alpha = 255)
{
    return {GradientRecord{0, rgba(255, 0, 0, alpha)}, GradientRecord{255, rgba(0, 0, 255, 255)}};
}

// One movie per shape, read back; the shape must equal what was written.
struct ShapeCase {
    const char* name;
    Shape shape;
    int expectedVersion;
};

std::vector<ShapeCase> shapeCases()
{
    std::vector<ShapeCase> cases;
    cases.push_back({"solid rectangle", ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 100, 50).build(), 1});
    cases.push_back({"translucent fill and line",
                     ShapeBuilder().fill(solid(rgba(1, 2, 3, 128))).line(2, rgb(0x00FF00)).rect(5, 5, 10, 10).build(),
                     3});
    cases.push_back({"curves and moves",
                     ShapeBuilder().fill(solid(rgb(0x123456))).ellipse(50, 50, 40, 20).moveTo(-30.5, -20.25)
                         .lineTo(-30.5, 10).lineTo(0, 10).curveTo(0, -20.25, -30.5, -20.25).build(),
                     1});
    cases.push_back({"gradients",
                     ShapeBuilder().fill(linearGradient(twoStops(), 0, 0, 100, 100, 30)).rect(0, 0, 100, 100)
                         .fill(radialGradient(twoStops(64), 100, 0, 100, 100)).rect(100, 0, 100, 100).build(),
                     3});
    {
        FillStyle focal = focalGradient(twoStops(), -0.5, 0, 0, 64, 64);
        focal.gradient.spread = SpreadMode::Reflect;
        focal.gradient.interpolation = InterpolationMode::Linear;
        cases.push_back({"focal gradient", ShapeBuilder().fill(focal).rect(0, 0, 64, 64).build(), 4});
    }
    cases.push_back({"bitmap fills",
                     ShapeBuilder().fill(bitmapFill(7, 0, 0, 1, true, true)).rect(0, 0, 20, 20)
                         .fill(bitmapFill(7, 20, 0, 2, false, false)).rect(20, 0, 20, 20).build(),
                     1});
    {
        LineStyle fancy = solidLine(4, rgba(9, 8, 7, 200));
        fancy.startCap = CapStyle::None;
        fancy.endCap = CapStyle::Square;
        fancy.join = JoinStyle::Miter;
        fancy.miterLimit = 2.5;
        fancy.noHScale = true;
        fancy.pixelHinting = true;
        fancy.noClose = true;
        LineStyle filled = solidLine(3, rgb(0));
        filled.join = JoinStyle::Bevel;
        filled.fill = linearGradient(twoStops(), 0, 0, 10, 10);
        cases.push_back({"line style 2", ShapeBuilder().line(fancy).moveTo(0, 0).lineTo(50, 50).line(filled)
                                             .lineTo(100, 0).nonZeroWinding().build(),
                         4});
    }
    cases.push_back({"new style layers",
                     ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 10, 10).newLayer()
                         .fill(solid(rgb(0x00FF00))).line(1, rgb(0x0000FF)).rect(5, 5, 10, 10).newLayer()
                         .fill(solid(rgb(0x0000FF))).styles(1, 0, 0).rect(8, 8, 2, 2).build(),
                     2});
    {
        ShapeBuilder b;
        for (int i = 0; i < 300; ++i)
            b.fill(solid(rgb(std::uint32_t(i))));
        b.styles(300, 299, 0).rect(0, 0, 1, 1);
        cases.push_back({"more than 255 styles", b.build(), 2});
    }
    cases.push_back({"long edges", ShapeBuilder().fill(solid(rgb(1))).rect(-1500, -1500, 3000, 3000).build(), 1});
    cases.push_back({"empty", ShapeBuilder().build(), 1});
    return cases;
}

TEST(WriterRoundTrip, ShapesReadBackEqual)
{
    for (const ShapeCase& c : shapeCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.shape.version, c.expectedVersion);
        MovieBuilder m(200, 200, 12);
        const auto id = m.defineShape(c.shape);
        for (Compression compression : {Compression::None, Compression::Zlib, Compression::Lzma}) {
            const Movie movie = readOk(m.finish(compression));
            EXPECT_TRUE(movie.warnings.empty());
            const Shape* back = movie.find<Shape>(id);
            ASSERT_NE(back, nullptr);
            EXPECT_TRUE(*back == c.shape);
        }
    }
}

TEST(WriterRoundTrip, ShapeBoundsIncludeHalfTheLineWidth)
{
    const Shape s = ShapeBuilder().line(4, rgb(0)).rect(10, 10, 20, 20).build();
    EXPECT_EQ(s.bounds, (Rect{160, 640, 160, 640}));
    EXPECT_EQ(s.edgeBounds, s.bounds); // not a version 4 shape
}

TEST(WriterRoundTrip, EdgesCarryAbsolutePositionsAndStyleIndices)
{
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(1))).line(1, rgb(2)).moveTo(1, 2).lineTo(3, 2)
                                      .curveTo(4, 4, 1, 2).build());
    const Movie movie = readOk(m.finish());
    const Shape* s = movie.find<Shape>(id);
    ASSERT_NE(s, nullptr);
    const auto& edges = s->layers.at(0).edges;
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(edges[0].from, (Point{20, 40}));
    EXPECT_EQ(edges[0].to, (Point{60, 40}));
    EXPECT_FALSE(edges[0].curved);
    EXPECT_EQ(edges[1].control, (Point{80, 80}));
    EXPECT_EQ(edges[1].to, (Point{20, 40}));
    EXPECT_TRUE(edges[1].curved);
    EXPECT_EQ(edges[1].fill0, 0);
    EXPECT_EQ(edges[1].fill1, 1);
    EXPECT_EQ(edges[1].line, 1);
}

MorphShape sampleMorph(int version)
{
    MorphShape m;
    m.version = version;
    m.startBounds = Rect{0, 200, 0, 200};
    m.endBounds = Rect{0, 400, 0, 400};
    m.startEdgeBounds = m.startBounds;
    m.endEdgeBounds = m.endBounds;
    MorphFillStyle solidFill;
    solidFill.start = solid(rgba(255, 0, 0, 255));
    solidFill.end = solid(rgba(0, 0, 255, 128));
    MorphFillStyle gradient;
    gradient.start = linearGradient(twoStops(), 0, 0, 10, 10);
    gradient.end = linearGradient(twoStops(10), 0, 0, 20, 20);
    gradient.end.gradient.records[0].ratio = 40;
    m.fills = {solidFill, gradient};
    MorphLineStyle line;
    line.start = solidLine(1, rgb(0));
    line.end = solidLine(3, rgb(0xFFFFFF));
    if (version == 2) {
        line.start.join = JoinStyle::Miter;
        line.start.miterLimit = 4;
        line.start.endCap = CapStyle::Square;
        line.end.join = JoinStyle::Miter;
        line.end.miterLimit = 4;
        line.end.endCap = CapStyle::Square;
        m.usesScalingStrokes = true;
        m.startEdgeBounds = Rect{10, 190, 10, 190};
    }
    m.lines = {line};
    auto edge = [](Point a, Point b, std::uint16_t f1, std::uint16_t ln) {
        Edge e;
        e.from = a;
        e.to = b;
        e.fill1 = f1;
        e.line = ln;
        return e;
    };
    m.startEdges = {edge({0, 0}, {200, 0}, 1, 1), edge({200, 0}, {200, 200}, 1, 1), edge({200, 200}, {0, 0}, 2, 0)};
    m.endEdges = m.startEdges;
    for (Edge& e : m.endEdges) {
        e.from = Point{e.from.x * 2, e.from.y * 2};
        e.to = Point{e.to.x * 2, e.to.y * 2};
    }
    return m;
}

TEST(WriterRoundTrip, MorphShapesReadBackEqualAndInterpolate)
{
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        const MorphShape morph = sampleMorph(version);
        MovieBuilder m(100, 100, 12);
        const auto id = m.defineMorphShape(morph);
        const Movie movie = readOk(m.finish(Compression::Zlib));
        const MorphShape* back = movie.find<MorphShape>(id);
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(*back == morph);

        const Shape half = morphShapeAt(*back, 0.5);
        ASSERT_EQ(half.layers.size(), 1u);
        EXPECT_EQ(half.layers[0].edges.at(1).to, (Point{300, 300}));
        EXPECT_EQ(half.layers[0].fills.at(0).color, rgba(128, 0, 128, 192));
        EXPECT_EQ(half.layers[0].lines.at(0).width, 40);
        EXPECT_EQ(half.layers[0].fills.at(1).gradient.records.at(0).ratio, 20);
        EXPECT_EQ(half.bounds, (Rect{0, 300, 0, 300}));
        EXPECT_EQ(morphShapeAt(*back, -3).layers[0].edges, back->startEdges);
        EXPECT_EQ(morphShapeAt(*back, 7).layers[0].edges.at(2).from, (Point{400, 400}));
    }
}

TEST(WriterRoundTrip, MorphEdgesOfDifferentKindsBecomeCurvesOnBothSides)
{
    MorphShape morph = sampleMorph(1);
    morph.endEdges[0].curved = true;
    morph.endEdges[0].control = Point{200, -100};
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineMorphShape(morph);
    const Movie movie = readOk(m.finish());
    const MorphShape* back = movie.find<MorphShape>(id);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->startEdges[0].curved);
    EXPECT_EQ(back->startEdges[0].control, (Point{100, 0}));
    EXPECT_EQ(back->endEdges[0].control, (Point{200, -100}));
}

TEST(WriterRoundTrip, PlaceObjectsOfAllVersionsReadBackEqual)
{
    std::vector<PlaceObject> places;
    {
        PlaceObject p;
        p.version = 1;
        p.characterId = 1;
        p.depth = 2;
        p.matrix = scaleTranslatePx(1.5, -0.25, 3, 4);
        p.colorTransform = ColorTransform{128, 256, 300, 256, -10, 20, 255, 0};
        places.push_back(p);
    }
    {
        PlaceObject p;
        p.version = 2;
        p.characterId = 1;
        p.depth = 3;
        p.matrix = rotateTranslatePx(45, -10, 10);
        p.colorTransform = ColorTransform{256, 256, 256, 128, 0, 0, 0, -20};
        p.ratio = 32768;
        p.name = QStringLiteral("clip_ü");
        p.clipDepth = 9;
        places.push_back(p);
    }
    {
        PlaceObject p;
        p.version = 2;
        p.move = true;
        p.depth = 3;
        p.colorTransform = ColorTransform{};
        places.push_back(p);
    }
    {
        PlaceObject p;
        p.version = 3;
        p.move = true;
        p.characterId = 1;
        p.depth = 4;
        p.matrix = Matrix{};
        p.className = QStringLiteral("my.Class");
        p.blendMode = BlendMode::HardLight;
        p.cacheAsBitmap = true;
        p.visible = false;
        p.backgroundColor = rgba(1, 2, 3, 4);
        DropShadowFilter shadow;
        shadow.color = rgba(0, 0, 0, 128);
        shadow.blurX = 4.5;
        shadow.blurY = 2;
        shadow.angle = 0.75;
        shadow.distance = 4;
        shadow.strength = 1.5;
        shadow.inner = true;
        shadow.passes = 3;
        BlurFilter blur{8, 8, 2};
        GlowFilter glow{rgb(0xFF0000), 6, 6, 2, false, true, true, 1};
        BevelFilter bevel{rgb(0), rgb(0xFFFFFF), 4, 4, 0.5, 3, 1, true, false, true, true, 1};
        GradientFilter ggb;
        ggb.bevel = true;
        ggb.colors = twoStops();
        ggb.onTop = true;
        GradientFilter ggl;
        ggl.colors = twoStops(3);
        ConvolutionFilter conv;
        conv.matrixX = 3;
        conv.matrixY = 2;
        conv.matrix = {1, 2, 3, 4, 5, 6};
        conv.divisor = 21;
        conv.bias = 0.5f;
        conv.defaultColor = rgba(5, 6, 7, 8);
        conv.clamp = false;
        ColorMatrixFilter cm;
        cm.matrix[4] = 10.5f;
        p.filters = std::vector<Filter>{shadow, blur, glow, bevel, ggb, ggl, conv, cm};
        places.push_back(p);
    }
    MovieBuilder m(100, 100, 12);
    for (const PlaceObject& p : places)
        m.place(p);
    m.showFrame();
    const Movie movie = readOk(m.finish(Compression::Lzma));
    EXPECT_TRUE(movie.warnings.empty());
    ASSERT_EQ(movie.timeline.frames.size(), 1u);
    const auto& tags = movie.timeline.frames[0].tags;
    ASSERT_EQ(tags.size(), places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        SCOPED_TRACE(i);
        expectSamePlace(std::get<PlaceObject>(tags[i]), places[i]);
    }
}

TEST(WriterRoundTrip, RemoveObjectKeepsItsCharacterId)
{
    MovieBuilder m(100, 100, 12);
    m.remove(5, 6);
    m.remove(7);
    m.showFrame();
    const Movie movie = readOk(m.finish());
    const auto& tags = movie.timeline.frames.at(0).tags;
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(std::get<RemoveObject>(tags[0]).characterId, std::optional<std::uint16_t>(5));
    EXPECT_EQ(std::get<RemoveObject>(tags[0]).depth, 6);
    EXPECT_FALSE(std::get<RemoveObject>(tags[1]).characterId);
    EXPECT_EQ(std::get<RemoveObject>(tags[1]).depth, 7);
}

TEST(WriterRoundTrip, ActionBlocksReadBackAsTheirBytecode)
{
    Action pool;
    pool.code = std::uint8_t(ActionCode::ConstantPool);
    pool.constants = {QStringLiteral("intro"), QStringLiteral("outro")};
    Action pushMany;
    pushMany.code = std::uint8_t(ActionCode::Push);
    pushMany.pushed = {PushValue{PushValue::Type::Null, {}, 0}, PushValue{PushValue::Type::Constant, {}, 1},
                       PushValue{PushValue::Type::Integer, {}, -7}, PushValue{PushValue::Type::String, QStringLiteral("x"), 0}};
    const ActionList written = {act::gotoFrame(4), act::pushNumber(10), act::gotoFrame2(true, 2), pool, pushMany,
                                act::jump(-3)};
    // Worked by hand: code, then for codes from 0x80 a 16-bit length and the payload.
    const QByteArray expected = QByteArray::fromHex("81020004009605000"
                                                    "70a000000"
                                                    "9f0300030200"
                                                    "880e000200696e74726f006f7574726f00"
                                                    "960b0002080107f9ffffff007800"
                                                    "990200fdff"
                                                    "00");
    EXPECT_EQ(encodeActions(written), expected);
    MovieBuilder m(100, 100, 12);
    m.actions(written);
    m.showFrame();
    const Movie movie = readOk(m.finish());
    EXPECT_EQ(std::get<DoAction>(movie.timeline.frames.at(0).tags.at(0)).bytecode, expected);
}

Font sampleFont(int version)
{
    Font f;
    f.version = version;
    f.name = QStringLiteral("Sample Sans");
    f.bold = version >= 2; // DefineFont has no flags
    f.wideCodes = version >= 2;
    const double em = version == 3 ? 20480 : 1024;
    const double s = em / 1024;
    Glyph box;
    box.outline = ShapeBuilder(1).fill(solid(rgb(0))).rect(0, -700 * s, 500 * s, 700 * s).buildGlyph();
    box.code = 'A';
    Glyph ring;
    ring.outline = ShapeBuilder(1).fill(solid(rgb(0))).ellipse(300 * s, -350 * s, 250 * s, 350 * s)
                       .ellipse(300 * s, -350 * s, 100 * s, 200 * s).buildGlyph();
    ring.code = version >= 2 ? 0x00D8 : 'O';
    Glyph space;
    space.outline = ShapeBuilder(1).buildGlyph();
    space.code = ' ';
    f.glyphs = {box, ring, space};
    if (version >= 2) {
        f.hasLayout = true;
        f.ascent = std::int16_t(900 * s);
        f.descent = std::int16_t(200 * s);
        f.leading = 10;
        for (Glyph& g : f.glyphs) {
            g.advance = std::int16_t(600 * s);
            g.bounds = Rect{0, Twips(500 * s), Twips(-700 * s), 0};
        }
        f.kerning = {KerningPair{'A', 0xD8, -40}};
    }
    return f;
}

void expectSameFont(const Font& a, const Font& b, bool codes)
{
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.bold, b.bold);
    EXPECT_EQ(a.hasLayout, b.hasLayout);
    EXPECT_EQ(a.ascent, b.ascent);
    EXPECT_EQ(a.descent, b.descent);
    EXPECT_EQ(a.leading, b.leading);
    ASSERT_EQ(a.glyphs.size(), b.glyphs.size());
    for (std::size_t i = 0; i < a.glyphs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(a.glyphs[i].outline.layers.at(0).edges == b.glyphs[i].outline.layers.at(0).edges);
        if (codes) {
            EXPECT_EQ(a.glyphs[i].code, b.glyphs[i].code);
        }
        EXPECT_EQ(a.glyphs[i].advance, b.glyphs[i].advance);
        EXPECT_EQ(a.glyphs[i].bounds, b.glyphs[i].bounds);
    }
    ASSERT_EQ(a.kerning.size(), b.kerning.size());
    for (std::size_t i = 0; i < a.kerning.size(); ++i) {
        EXPECT_EQ(a.kerning[i].code1, b.kerning[i].code1);
        EXPECT_EQ(a.kerning[i].code2, b.kerning[i].code2);
        EXPECT_EQ(a.kerning[i].adjustment, b.kerning[i].adjustment);
    }
}

TEST(WriterRoundTrip, FontsAndTextsReadBack)
{
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        const Font font = sampleFont(version);
        Text text;
        text.version = version == 1 ? 1 : 2;
        text.bounds = Rect{0, 2000, -400, 100};
        text.matrix = translatePx(10, 30);
        MovieBuilder m(100, 100, 12);
        const auto fontId = m.defineFont(font);
        TextRecord first{fontId, rgba(10, 20, 30, text.version == 2 ? 100 : 255), 0, 0, 240, {{0, 150}, {1, 160}, {2, 100}}};
        TextRecord second{fontId, rgb(0xFF00FF), -5, 300, 480, {{1, 300}}};
        text.records = {first, second};
        const auto textId = m.defineText(text);
        const Movie movie = readOk(m.finish(Compression::Zlib));
        EXPECT_TRUE(movie.warnings.empty());
        const Font* f = movie.find<Font>(fontId);
        ASSERT_NE(f, nullptr);
        expectSameFont(*f, font, version >= 2);
        EXPECT_EQ(f->name, version >= 2 ? font.name : QString());
        EXPECT_DOUBLE_EQ(f->emSquare(), version == 3 ? 20480.0 : 1024.0);

        const Text* t = movie.find<Text>(textId);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->bounds, text.bounds);
        EXPECT_EQ(t->matrix, text.matrix);
        ASSERT_EQ(t->records.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(t->records[i].fontId, text.records[i].fontId);
            EXPECT_EQ(t->records[i].color, text.records[i].color);
            EXPECT_EQ(t->records[i].x, text.records[i].x);
            EXPECT_EQ(t->records[i].y, text.records[i].y);
            EXPECT_EQ(t->records[i].height, text.records[i].height);
            ASSERT_EQ(t->records[i].glyphs.size(), text.records[i].glyphs.size());
            for (std::size_t g = 0; g < t->records[i].glyphs.size(); ++g) {
                EXPECT_EQ(t->records[i].glyphs[g].index, text.records[i].glyphs[g].index);
                EXPECT_EQ(t->records[i].glyphs[g].advance, text.records[i].glyphs[g].advance);
            }
        }
    }
}

TEST(WriterRoundTrip, FontInfoGivesDefineFontItsCodes)
{
    MovieBuilder m(100, 100, 12, 5);
    const auto id = m.defineFont(sampleFont(1));
    // DefineFontInfo: id, name "Old", flags (bold, 8-bit codes), one code per glyph.
    BitWriter w;
    w.u16(id);
    w.u8(3);
    w.bytes("Old");
    w.u8(0x02);
    w.u8('a'), w.u8('b'), w.u8('c');
    m.rawTag(13, w.data());
    const Movie movie = readOk(m.finish());
    const Font* f = movie.find<Font>(id);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->name, QStringLiteral("Old"));
    EXPECT_TRUE(f->bold);
    ASSERT_EQ(f->glyphs.size(), 3u);
    EXPECT_EQ(f->glyphs[2].code, 'c');
}

TEST(WriterRoundTrip, TextRecordsWithoutPositionContinueWhereTheLastEnded)
{
    // Hand-made DefineText: record 1 sets font, colour, x = 100, one glyph
    // advancing 50; record 2 sets only y.
    MovieBuilder m(100, 100, 12);
    BitWriter w;
    writeRect(w, Rect{});
    writeMatrix(w, Matrix{});
    w.u8(1); // glyph bits
    w.u8(8); // advance bits
    w.u8(0x80 | 0x08 | 0x04 | 0x01);
    w.u16(1), w.u8(1), w.u8(2), w.u8(3), w.u16(100), w.u16(200), w.u8(1);
    w.ub(1, 0), w.sb(8, 50);
    w.align();
    w.u8(0x80 | 0x02);
    w.u16(40), w.u8(1);
    w.ub(1, 1), w.sb(8, -20);
    w.align();
    w.u8(0);
    const auto id = m.defineRaw(11, w.data());
    const Movie movie = readOk(m.finish());
    const Text* t = movie.find<Text>(id);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->records.size(), 2u);
    EXPECT_EQ(t->records[1].x, 150);
    EXPECT_EQ(t->records[1].y, 40);
    EXPECT_EQ(t->records[1].fontId, 1);
    EXPECT_EQ(t->records[1].height, 200);
    EXPECT_EQ(t->records[1].color, rgb(0x010203));
    EXPECT_EQ(t->records[1].glyphs.at(0).advance, -20);
}

TEST(WriterRoundTrip, EditTextReadsBackEveryField)
{
    EditText e;
    e.bounds = Rect{-40, 2000, -40, 400};
    e.wordWrap = e.multiline = e.password = e.readOnly = e.noSelect = e.border = e.wasStatic = e.html = true;
    e.useOutlines = e.autoSize = true;
    e.fontId = 3;
    e.fontHeight = 240;
    e.textColor = rgba(1, 2, 3, 4);
    e.maxLength = 99;
    e.hasLayout = true;
    e.align = TextAlign::Justify;
    e.leftMargin = 1, e.rightMargin = 2, e.indent = 3, e.leading = -4;
    e.variableName = QStringLiteral("_root.name");
    e.initialText = QStringLiteral("<p>Hello ✓</p>");
    EditText plain;
    plain.fontClass = QStringLiteral("EmbeddedFont");
    plain.fontHeight = 100;
    MovieBuilder m(100, 100, 12);
    const auto a = m.defineEditText(e);
    const auto b = m.defineEditText(plain);
    const Movie movie = readOk(m.finish());
    const EditText* r = movie.find<EditText>(a);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->bounds, e.bounds);
    EXPECT_TRUE(r->wordWrap && r->multiline && r->password && r->readOnly && r->noSelect && r->border);
    EXPECT_TRUE(r->wasStatic && r->html && r->useOutlines && r->autoSize && r->hasLayout);
    EXPECT_EQ(r->fontId, 3);
    EXPECT_EQ(r->fontHeight, 240);
    EXPECT_EQ(r->textColor, e.textColor);
    EXPECT_EQ(r->maxLength, e.maxLength);
    EXPECT_EQ(r->align, TextAlign::Justify);
    EXPECT_EQ(r->leftMargin, 1);
    EXPECT_EQ(r->rightMargin, 2);
    EXPECT_EQ(r->indent, 3);
    EXPECT_EQ(r->leading, -4);
    EXPECT_EQ(r->variableName, e.variableName);
    EXPECT_EQ(r->initialText, e.initialText);
    const EditText* p = movie.find<EditText>(b);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->fontId, 0);
    EXPECT_EQ(p->fontClass, plain.fontClass);
    EXPECT_EQ(p->fontHeight, 100);
    EXPECT_FALSE(p->initialText);
    EXPECT_FALSE(p->textColor);
    EXPECT_FALSE(p->wordWrap);
}

TEST(WriterRoundTrip, ButtonsReadBackWithStatesAndActions)
{
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        Button button;
        button.version = version;
        button.trackAsMenu = version == 2;
        ButtonRecord up;
        up.up = true;
        up.characterId = 1;
        up.depth = 1;
        up.matrix = translatePx(5, 5);
        ButtonRecord other;
        other.over = other.down = other.hitTest = true;
        other.characterId = 2;
        other.depth = 2;
        if (version == 2) {
            other.colorTransform = ColorTransform{256, 128, 256, 256, 0, 0, 0, 0};
            other.blendMode = BlendMode::Screen;
            other.filters = {BlurFilter{2, 2, 1}};
        }
        button.records = {up, other};
        ButtonCondAction click;
        click.conditions = ButtonCondAction::OverDownToOverUp;
        click.bytecode = encodeActions({act::gotoFrame(3), act::play()});
        button.actions = {click};
        if (version == 2) {
            ButtonCondAction key;
            key.conditions = ButtonCondAction::IdleToOverUp | ButtonCondAction::OverDownToIdle;
            key.keyPress = 13;
            key.bytecode = encodeActions({act::stop()});
            button.actions.push_back(key);
        }
        MovieBuilder m(100, 100, 12);
        const auto id = m.defineButton(button);
        const Movie movie = readOk(m.finish());
        EXPECT_TRUE(movie.warnings.empty());
        const Button* b = movie.find<Button>(id);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->version, version);
        EXPECT_EQ(b->trackAsMenu, button.trackAsMenu);
        ASSERT_EQ(b->records.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const ButtonRecord& x = b->records[i];
            const ButtonRecord& y = button.records[i];
            EXPECT_EQ(x.up, y.up);
            EXPECT_EQ(x.over, y.over);
            EXPECT_EQ(x.down, y.down);
            EXPECT_EQ(x.hitTest, y.hitTest);
            EXPECT_EQ(x.characterId, y.characterId);
            EXPECT_EQ(x.depth, y.depth);
            EXPECT_EQ(x.matrix, y.matrix);
            EXPECT_EQ(x.colorTransform, y.colorTransform);
            EXPECT_EQ(x.blendMode, y.blendMode);
            EXPECT_EQ(x.filters, y.filters);
        }
        ASSERT_EQ(b->actions.size(), button.actions.size());
        for (std::size_t i = 0; i < b->actions.size(); ++i) {
            EXPECT_EQ(b->actions[i].conditions, button.actions[i].conditions);
            EXPECT_EQ(b->actions[i].keyPress, button.actions[i].keyPress);
            EXPECT_EQ(b->actions[i].bytecode, button.actions[i].bytecode);
        }
    }
}

TEST(WriterRoundTrip, ButtonCxformAppliesToAVersionOneButton)
{
    Button button;
    button.version = 1;
    ButtonRecord r;
    r.up = true;
    r.characterId = 1;
    button.records = {r};
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineButton(button);
    BitWriter w;
    w.u16(id);
    writeColorTransform(w, ColorTransform{0, 256, 256, 256, 255, 0, 0, 0}, false);
    m.rawTag(23, w.data());
    const Movie movie = readOk(m.finish());
    const Button* b = movie.find<Button>(id);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->records.at(0).colorTransform, (ColorTransform{0, 256, 256, 256, 255, 0, 0, 0}));
}

TEST(WriterRoundTrip, SpritesKeepTheirOwnFrames)
{
    MovieBuilder m(100, 100, 12);
    const auto shape = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF))).rect(0, 0, 5, 5));
    SpriteBuilder inner;
    inner.place(shape, 1);
    inner.showFrame();
    inner.label(QStringLiteral("b"));
    inner.actions({act::stop()});
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);
    SpriteBuilder outer;
    outer.place(innerId, 1, translatePx(10, 10));
    outer.showFrame();
    const auto outerId = m.defineSprite(outer);
    m.place(outerId, 1);
    m.showFrame();
    const Movie movie = readOk(m.finish(Compression::Lzma));
    EXPECT_TRUE(movie.warnings.empty());
    const Sprite* s = movie.find<Sprite>(innerId);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->declaredFrameCount, 2);
    ASSERT_EQ(s->timeline.frames.size(), 2u);
    EXPECT_EQ(std::get<PlaceObject>(s->timeline.frames[0].tags.at(0)).characterId, std::optional<std::uint16_t>(shape));
    EXPECT_EQ(s->timeline.frames[1].labels, std::vector<QString>{QStringLiteral("b")});
    EXPECT_EQ(std::get<DoAction>(s->timeline.frames[1].tags.at(0)).bytecode, encodeActions({act::stop()}));
    const Sprite* o = movie.find<Sprite>(outerId);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(std::get<PlaceObject>(o->timeline.frames.at(0).tags.at(0)).characterId, std::optional<std::uint16_t>(innerId));
    EXPECT_EQ(movie.timeline.frames.size(), 1u);
}

TEST(WriterRoundTrip, ExportedNamesAreKept)
{
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(1))).rect(0, 0, 1, 1));
    BitWriter w;
    w.u16(1), w.u16(id), w.string(QStringLiteral("Square"));
    m.rawTag(56, w.data());
    EXPECT_EQ(readOk(m.finish()).exports.at(QStringLiteral("Square")), id);
}

TEST(WriterRoundTrip, ASecondDefinitionOfAnIdIsIgnored)
{
    MovieBuilder m(100, 100, 12);
    const Shape first = ShapeBuilder().fill(solid(rgb(1))).rect(0, 0, 1, 1).build();
    m.rawTag(2, encodeShape(1, first));
    m.rawTag(2, encodeShape(1, ShapeBuilder().fill(solid(rgb(2))).rect(0, 0, 2, 2).build()));
    const Movie movie = readOk(m.finish());
    ASSERT_NE(movie.find<Shape>(1), nullptr);
    EXPECT_TRUE(*movie.find<Shape>(1) == first);
    EXPECT_EQ(movie.warnings.size(), 1u);
}

} // namespace
