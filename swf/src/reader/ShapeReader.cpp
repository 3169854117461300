#include "Context.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace qev::swf::detail {

namespace {

Gradient readGradient(BitReader& r, int shapeVersion, bool focal)
{
    Gradient g;
    r.align();
    const std::uint8_t head = r.u8();
    g.spread = SpreadMode(std::min(head >> 6, 2));
    g.interpolation = InterpolationMode(std::min((head >> 4) & 3, 1));
    const int count = head & 0x0F;
    g.records.resize(std::size_t(count));
    for (GradientRecord& rec : g.records) {
        rec.ratio = r.u8();
        rec.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
    }
    if (focal)
        g.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
    return g;
}

void setBitmapKind(FillStyle& f, std::uint8_t type)
{
    f.kind = FillStyle::Kind::Bitmap;
    f.repeating = (type & 1) == 0;
    f.smoothed = (type & 2) == 0;
}

FillStyle readFillStyle(BitReader& r, int shapeVersion)
{
    FillStyle f;
    const std::uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        f.kind = FillStyle::Kind::Solid;
        f.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        f.kind = type == 0x10 ? FillStyle::Kind::LinearGradient
            : type == 0x12    ? FillStyle::Kind::RadialGradient
                              : FillStyle::Kind::FocalRadialGradient;
        f.matrix = readMatrix(r);
        f.gradient = readGradient(r, shapeVersion, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        setBitmapKind(f, type);
        f.bitmapId = r.u16();
        f.matrix = readMatrix(r);
        break;
    default:
        throw FormatError(QStringLiteral("unknown fill style type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
    }
    return f;
}

LineStyle readLineStyle(BitReader& r, int shapeVersion)
{
    LineStyle l;
    l.width = r.u16();
    if (shapeVersion < 4) {
        l.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
        return l;
    }
    l.startCap = CapStyle(std::min<std::uint32_t>(r.ub(2), 2));
    l.join = JoinStyle(std::min<std::uint32_t>(r.ub(2), 2));
    const bool hasFill = r.flag();
    l.noHScale = r.flag();
    l.noVScale = r.flag();
    l.pixelHinting = r.flag();
    r.ub(5);
    l.noClose = r.flag();
    l.endCap = CapStyle(std::min<std::uint32_t>(r.ub(2), 2));
    if (l.join == JoinStyle::Miter)
        l.miterLimit = r.u16() / 256.0;
    if (hasFill)
        l.fill = readFillStyle(r, 4);
    else
        l.color = readRgba(r);
    return l;
}

std::size_t readStyleCount(BitReader& r, int shapeVersion)
{
    std::size_t count = r.u8();
    if (count == 0xFF && shapeVersion >= 2)
        count = r.u16();
    return count;
}

void readStyles(BitReader& r, Context& ctx, int shapeVersion, ShapeLayer& layer)
{
    std::size_t n = readStyleCount(r, shapeVersion);
    ctx.countDrawing(n);
    layer.fills.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        layer.fills.push_back(readFillStyle(r, shapeVersion));
    n = readStyleCount(r, shapeVersion);
    ctx.countDrawing(n);
    layer.lines.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        layer.lines.push_back(readLineStyle(r, shapeVersion));
}

// A position plus a delta; hostile files could otherwise overflow 32 bits
// after enough long edges in one direction.
Twips offset(Twips a, std::int64_t d)
{
    return Twips(std::clamp<std::int64_t>(std::int64_t(a) + d, INT32_MIN, INT32_MAX));
}

// Walks shape records into edges. shapeVersion 0 reads a glyph or morph
// edge list (no style arrays in the records). Layers get their styles from
// `first` and from new-styles records.
struct EdgeWalker {
    BitReader& r;
    Context& ctx;
    int shapeVersion;
    bool glyph;           // fill indices just mean "inside"
    bool allowNewStyles;
    std::vector<ShapeLayer>& layers;
    bool badIndex = false;

    std::uint16_t checked(std::uint32_t index, std::size_t count)
    {
        if (glyph)
            return index ? 1 : 0;
        if (index > count) {
            badIndex = true;
            return 0;
        }
        return std::uint16_t(index);
    }

    void walk()
    {
        int fillBits = int(r.ub(4));
        int lineBits = int(r.ub(4));
        Point pen;
        std::uint16_t fill0 = 0, fill1 = 0, line = 0;
        std::uint64_t records = 0;
        while (true) {
            if (++records > ctx.limits.maxShapeRecords)
                throw FormatError(QStringLiteral("more shape records than the limit of %1")
                                      .arg(ctx.limits.maxShapeRecords));
            const bool isEdge = r.flag();
            if (!isEdge) {
                const std::uint32_t flags = r.ub(5);
                if (flags == 0)
                    break;
                if (flags & 0x01) {
                    const int bits = int(r.ub(5));
                    pen.x = r.sb(bits);
                    pen.y = r.sb(bits);
                }
                std::uint32_t f0 = 0, f1 = 0, ln = 0;
                if (flags & 0x02)
                    f0 = r.ub(fillBits);
                if (flags & 0x04)
                    f1 = r.ub(fillBits);
                if (flags & 0x08)
                    ln = r.ub(lineBits);
                if ((flags & 0x10) && allowNewStyles) {
                    ShapeLayer next;
                    readStyles(r, ctx, shapeVersion, next);
                    fillBits = int(r.ub(4));
                    lineBits = int(r.ub(4));
                    layers.push_back(std::move(next));
                    fill0 = fill1 = line = 0;
                }
                const ShapeLayer& current = layers.back();
                if (flags & 0x02)
                    fill0 = checked(f0, current.fills.size());
                if (flags & 0x04)
                    fill1 = checked(f1, current.fills.size());
                if (flags & 0x08)
                    line = glyph ? 0 : checked(ln, current.lines.size());
                continue;
            }
            ctx.countDrawing(1);
            Edge e;
            e.from = pen;
            e.fill0 = fill0;
            e.fill1 = fill1;
            e.line = line;
            const bool straight = r.flag();
            const int bits = int(r.ub(4)) + 2;
            if (straight) {
                Point d;
                if (r.flag()) {
                    d.x = r.sb(bits);
                    d.y = r.sb(bits);
                } else if (r.flag()) {
                    d.y = r.sb(bits);
                } else {
                    d.x = r.sb(bits);
                }
                e.to = Point{offset(pen.x, d.x), offset(pen.y, d.y)};
            } else {
                const Twips cx = r.sb(bits), cy = r.sb(bits), ax = r.sb(bits), ay = r.sb(bits);
                e.curved = true;
                e.control = Point{offset(pen.x, cx), offset(pen.y, cy)};
                e.to = Point{offset(e.control.x, ax), offset(e.control.y, ay)};
            }
            pen = e.to;
            layers.back().edges.push_back(e);
        }
        r.align();
        if (badIndex)
            ctx.warn(QStringLiteral("shape names styles it does not have; those edges are drawn without them"));
    }
};

} // namespace

void readDefineShape(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    Shape shape;
    shape.version = version;
    shape.bounds = readRect(r);
    shape.edgeBounds = shape.bounds;
    if (version >= 4) {
        shape.edgeBounds = readRect(r);
        const std::uint8_t flags = r.u8();
        shape.nonZeroWinding = flags & 0x04;
        shape.usesNonScalingStrokes = flags & 0x02;
        shape.usesScalingStrokes = flags & 0x01;
    }
    shape.layers.emplace_back();
    readStyles(r, ctx, version, shape.layers.back());
    EdgeWalker{r, ctx, version, false, true, shape.layers}.walk();
    ctx.define(id, std::move(shape));
}

namespace {

// Reads one morph fill style; version 1 and 2 share the layout.
MorphFillStyle readMorphFillStyle(BitReader& r)
{
    MorphFillStyle m;
    const std::uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        m.start.color = readRgba(r);
        m.end.color = readRgba(r);
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        const auto kind = type == 0x10 ? FillStyle::Kind::LinearGradient
            : type == 0x12             ? FillStyle::Kind::RadialGradient
                                       : FillStyle::Kind::FocalRadialGradient;
        m.start.kind = m.end.kind = kind;
        m.start.matrix = readMatrix(r);
        m.end.matrix = readMatrix(r);
        const std::uint8_t head = r.u8();
        for (FillStyle* f : {&m.start, &m.end}) {
            f->gradient.spread = SpreadMode(std::min(head >> 6, 2));
            f->gradient.interpolation = InterpolationMode(std::min((head >> 4) & 3, 1));
            f->gradient.records.resize(head & 0x0F);
        }
        for (std::size_t i = 0; i < m.start.gradient.records.size(); ++i) {
            m.start.gradient.records[i].ratio = r.u8();
            m.start.gradient.records[i].color = readRgba(r);
            m.end.gradient.records[i].ratio = r.u8();
            m.end.gradient.records[i].color = readRgba(r);
        }
        if (type == 0x13) {
            m.start.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
            m.end.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        setBitmapKind(m.start, type);
        setBitmapKind(m.end, type);
        m.start.bitmapId = m.end.bitmapId = r.u16();
        m.start.matrix = readMatrix(r);
        m.end.matrix = readMatrix(r);
        break;
    default:
        throw FormatError(QStringLiteral("unknown morph fill style type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
    }
    return m;
}

MorphLineStyle readMorphLineStyle(BitReader& r, int version)
{
    MorphLineStyle m;
    m.start.width = r.u16();
    m.end.width = r.u16();
    if (version == 1) {
        m.start.color = readRgba(r);
        m.end.color = readRgba(r);
        return m;
    }
    LineStyle& s = m.start;
    s.startCap = CapStyle(std::min<std::uint32_t>(r.ub(2), 2));
    s.join = JoinStyle(std::min<std::uint32_t>(r.ub(2), 2));
    const bool hasFill = r.flag();
    s.noHScale = r.flag();
    s.noVScale = r.flag();
    s.pixelHinting = r.flag();
    r.ub(5);
    s.noClose = r.flag();
    s.endCap = CapStyle(std::min<std::uint32_t>(r.ub(2), 2));
    if (s.join == JoinStyle::Miter)
        s.miterLimit = r.u16() / 256.0;
    if (hasFill) {
        MorphFillStyle f = readMorphFillStyle(r);
        s.fill = f.start;
        m.end.fill = f.end;
    } else {
        s.color = readRgba(r);
        m.end.color = readRgba(r);
    }
    const std::uint16_t endWidth = m.end.width;
    const Rgba endColor = m.end.color;
    const std::optional<FillStyle> endFill = m.end.fill;
    m.end = s;
    m.end.width = endWidth;
    m.end.color = endColor;
    m.end.fill = endFill;
    return m;
}

} // namespace

void readDefineMorphShape(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    MorphShape morph;
    morph.version = version;
    morph.startBounds = readRect(r);
    morph.endBounds = readRect(r);
    morph.startEdgeBounds = morph.startBounds;
    morph.endEdgeBounds = morph.endBounds;
    if (version == 2) {
        morph.startEdgeBounds = readRect(r);
        morph.endEdgeBounds = readRect(r);
        const std::uint8_t flags = r.u8();
        morph.usesNonScalingStrokes = flags & 0x02;
        morph.usesScalingStrokes = flags & 0x01;
    }
    const std::uint32_t endOffset = r.u32();
    const std::size_t endEdgesAt = r.pos() + endOffset;
    std::size_t n = readStyleCount(r, 2);
    ctx.countDrawing(n);
    for (std::size_t i = 0; i < n; ++i)
        morph.fills.push_back(readMorphFillStyle(r));
    n = readStyleCount(r, 2);
    ctx.countDrawing(n);
    for (std::size_t i = 0; i < n; ++i)
        morph.lines.push_back(readMorphLineStyle(r, version));

    std::vector<ShapeLayer> start(1);
    start[0].fills.resize(morph.fills.size());
    start[0].lines.resize(morph.lines.size());
    EdgeWalker{r, ctx, 0, false, false, start}.walk();
    std::vector<ShapeLayer> end(1);
    if (endOffset != 0 && endEdgesAt <= r.size()) {
        BitReader er = r.range(endEdgesAt, r.size());
        EdgeWalker{er, ctx, 0, true, false, end}.walk();
    } else {
        EdgeWalker{r, ctx, 0, true, false, end}.walk();
    }
    morph.startEdges = std::move(start[0].edges);
    morph.endEdges = std::move(end[0].edges);
    if (morph.startEdges.size() != morph.endEdges.size()) {
        ctx.warn(QStringLiteral("morph shape %1 has %2 start edges but %3 end edges; the extra ones are dropped")
                     .arg(id)
                     .arg(morph.startEdges.size())
                     .arg(morph.endEdges.size()));
        const std::size_t common = std::min(morph.startEdges.size(), morph.endEdges.size());
        morph.startEdges.resize(common);
        morph.endEdges.resize(common);
    }
    for (std::size_t i = 0; i < morph.startEdges.size(); ++i) {
        Edge& s = morph.startEdges[i];
        Edge& e = morph.endEdges[i];
        for (Edge* x : {&s, &e}) {
            if (!x->curved && (s.curved || e.curved)) {
                x->curved = true;
                x->control = Point{Twips((std::int64_t(x->from.x) + x->to.x) / 2),
                                   Twips((std::int64_t(x->from.y) + x->to.y) / 2)};
            }
        }
        e.fill0 = s.fill0;
        e.fill1 = s.fill1;
        e.line = s.line;
    }
    ctx.define(id, std::move(morph));
}

namespace {

// The glyph stored in [from, to) of table; a glyph that cannot be read
// stays empty so the other glyphs keep their indices.
Shape readGlyph(const BitReader& table, std::size_t from, std::size_t to, Context& ctx)
{
    Shape outline;
    outline.version = 0;
    outline.layers.emplace_back();
    try {
        if (from >= to || to > table.size())
            return outline;
        BitReader r = table.range(from, to);
        EdgeWalker{r, ctx, 0, true, false, outline.layers}.walk();
    } catch (const FormatError& e) {
        outline.layers.assign(1, ShapeLayer{});
        ctx.warn(QStringLiteral("glyph outline dropped: %1").arg(e.message));
    }
    return outline;
}

} // namespace

void readDefineFont(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    Font font;
    font.version = 1;
    BitReader table = r.range(r.pos(), r.size());
    if (!table.atEnd()) {
        const std::uint16_t first = table.u16();
        const std::size_t count = first / 2;
        if (count > ctx.limits.maxGlyphs)
            throw FormatError(QStringLiteral("more glyphs than the limit of %1").arg(ctx.limits.maxGlyphs));
        std::vector<std::size_t> offsets{first};
        for (std::size_t i = 1; i < count; ++i)
            offsets.push_back(table.u16());
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t from = offsets[i];
            const std::size_t to = i + 1 < count ? offsets[i + 1] : table.size();
            Glyph g;
            g.outline = readGlyph(table, from, to, ctx);
            font.glyphs.push_back(std::move(g));
        }
    }
    ctx.define(id, std::move(font));
}

void readDefineFont23(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    Font font;
    font.version = version;
    const std::uint8_t flags = r.u8();
    font.hasLayout = flags & 0x80;
    font.shiftJis = flags & 0x40;
    font.smallText = flags & 0x20;
    font.ansi = flags & 0x10;
    const bool wideOffsets = flags & 0x08;
    font.wideCodes = flags & 0x04;
    font.italic = flags & 0x02;
    font.bold = flags & 0x01;
    font.languageCode = r.u8();
    const std::size_t nameLen = r.u8();
    QByteArray name = r.bytes(nameLen);
    while (name.endsWith('\0'))
        name.chop(1);
    font.name = ctx.version >= 6 ? QString::fromUtf8(name) : QString::fromLatin1(name);
    const std::size_t count = r.u16();
    if (count > ctx.limits.maxGlyphs)
        throw FormatError(QStringLiteral("more glyphs than the limit of %1").arg(ctx.limits.maxGlyphs));
    if (count > 0) {
        const std::size_t tableStart = r.pos();
        BitReader table = r.range(tableStart, r.size());
        std::vector<std::size_t> offsets(count + 1); // the last one is the code table's
        for (std::size_t& o : offsets)
            o = wideOffsets ? table.u32() : table.u16();
        font.glyphs.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            font.glyphs[i].outline = readGlyph(table, offsets[i], offsets[i + 1], ctx);
        r.seek(tableStart + std::min(offsets[count], table.size()));
        for (Glyph& g : font.glyphs)
            g.code = font.wideCodes ? r.u16() : r.u8();
    } else if (r.remaining() >= 2) {
        r.skip(wideOffsets ? std::min<std::size_t>(4, r.remaining()) : 2); // the code table offset
    }
    if (font.hasLayout && r.remaining() >= 6) {
        font.ascent = r.s16();
        font.descent = r.s16();
        font.leading = r.s16();
        for (Glyph& g : font.glyphs)
            g.advance = r.s16();
        for (Glyph& g : font.glyphs)
            g.bounds = readRect(r);
        const std::size_t kerning = r.u16();
        font.kerning.reserve(std::min<std::size_t>(kerning, r.remaining() / 4));
        for (std::size_t i = 0; i < kerning; ++i) {
            KerningPair k;
            k.code1 = font.wideCodes ? r.u16() : r.u8();
            k.code2 = font.wideCodes ? r.u16() : r.u8();
            k.adjustment = r.s16();
            font.kerning.push_back(k);
        }
    }
    ctx.define(id, std::move(font));
}

void readDefineFontInfo(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    auto it = ctx.movie.dictionary.find(id);
    Font* font = it == ctx.movie.dictionary.end() ? nullptr : std::get_if<Font>(&it->second);
    if (!font) {
        ctx.warn(QStringLiteral("font information for %1, which is not a font").arg(id));
        return;
    }
    const std::size_t nameLen = r.u8();
    QByteArray name = r.bytes(nameLen);
    while (name.endsWith('\0'))
        name.chop(1);
    const std::uint8_t flags = r.u8();
    std::uint8_t language = 0;
    if (version == 2)
        language = r.u8();
    const bool wide = flags & 0x01;
    std::vector<std::uint16_t> codes(font->glyphs.size());
    for (std::uint16_t& c : codes)
        c = wide ? r.u16() : r.u8();
    font->name = ctx.version >= 6 ? QString::fromUtf8(name) : QString::fromLatin1(name);
    font->smallText = flags & 0x20;
    font->shiftJis = flags & 0x10;
    font->ansi = flags & 0x08;
    font->italic = flags & 0x04;
    font->bold = flags & 0x02;
    font->wideCodes = wide;
    font->languageCode = language;
    for (std::size_t i = 0; i < codes.size(); ++i)
        font->glyphs[i].code = codes[i];
}

void readDefineText(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    Text text;
    text.version = version;
    text.bounds = readRect(r);
    text.matrix = readMatrix(r);
    const int glyphBits = r.u8();
    const int advanceBits = r.u8();
    if (glyphBits > 32 || advanceBits > 32)
        throw FormatError(QStringLiteral("glyph or advance fields wider than 32 bits"));
    TextRecord state;
    while (true) {
        const std::uint8_t flags = r.u8();
        if (flags == 0)
            break;
        TextRecord rec = state;
        rec.glyphs.clear();
        if (flags & 0x08)
            rec.fontId = r.u16();
        if (flags & 0x04)
            rec.color = version >= 2 ? readRgba(r) : readRgb(r);
        if (flags & 0x01)
            rec.x = r.s16();
        if (flags & 0x02)
            rec.y = r.s16();
        if (flags & 0x08)
            rec.height = r.u16();
        const std::size_t count = r.u8();
        ctx.countDrawing(count + 1);
        rec.glyphs.resize(count);
        Twips x = rec.x;
        for (GlyphEntry& g : rec.glyphs) {
            g.index = r.ub(glyphBits);
            g.advance = r.sb(advanceBits);
            x = offset(x, g.advance);
        }
        r.align();
        state = rec;
        state.glyphs.clear();
        state.x = x;
        text.records.push_back(std::move(rec));
    }
    ctx.define(id, std::move(text));
}

void readCsmTextSettings(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    const std::uint8_t flags = r.u8();
    const double thickness = r.f32();
    const double sharpness = r.f32();
    auto it = ctx.movie.dictionary.find(id);
    EditText* text = it == ctx.movie.dictionary.end() ? nullptr : std::get_if<EditText>(&it->second);
    // Static text has these settings too; scripts see them only on fields.
    if (!text)
        return;
    text->advancedAntiAlias = (flags >> 6) == 1;
    text->gridFit = std::min((flags >> 3) & 0x07, 2);
    text->thickness = thickness;
    text->sharpness = sharpness;
}

void readDefineEditText(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    EditText e;
    e.bounds = readRect(r);
    const std::uint8_t f1 = r.u8();
    const std::uint8_t f2 = r.u8();
    const bool hasText = f1 & 0x80;
    e.wordWrap = f1 & 0x40;
    e.multiline = f1 & 0x20;
    e.password = f1 & 0x10;
    e.readOnly = f1 & 0x08;
    const bool hasColor = f1 & 0x04;
    const bool hasMaxLength = f1 & 0x02;
    const bool hasFont = f1 & 0x01;
    const bool hasFontClass = f2 & 0x80;
    e.autoSize = f2 & 0x40;
    e.hasLayout = f2 & 0x20;
    e.noSelect = f2 & 0x10;
    e.border = f2 & 0x08;
    e.wasStatic = f2 & 0x04;
    e.html = f2 & 0x02;
    e.useOutlines = f2 & 0x01;
    if (hasFont)
        e.fontId = r.u16();
    if (hasFontClass)
        e.fontClass = r.string(ctx.version);
    if (hasFont || hasFontClass)
        e.fontHeight = r.u16();
    if (hasColor)
        e.textColor = readRgba(r);
    if (hasMaxLength)
        e.maxLength = r.u16();
    if (e.hasLayout) {
        e.align = TextAlign(std::min<std::uint8_t>(r.u8(), 3));
        e.leftMargin = r.u16();
        e.rightMargin = r.u16();
        e.indent = r.u16();
        e.leading = r.s16();
    }
    e.variableName = r.string(ctx.version);
    if (hasText)
        e.initialText = r.string(ctx.version);
    ctx.define(id, std::move(e));
}

} // namespace qev::swf::detail
