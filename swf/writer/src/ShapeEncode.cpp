#include "Internal.h"

#include <algorithm>
#include <stdexcept>

namespace qev::swf::writer {

namespace {

void color(BitWriter& w, Rgba c, bool withAlpha)
{
    w.u8(c.r), w.u8(c.g), w.u8(c.b);
    if (withAlpha)
        w.u8(c.a);
}

std::uint8_t gradientHead(const Gradient& g)
{
    if (g.records.size() > 15)
        throw std::invalid_argument("more than 15 gradient records");
    return std::uint8_t((std::uint8_t(g.spread) << 6) | (std::uint8_t(g.interpolation) << 4) | g.records.size());
}

std::uint8_t fillType(const FillStyle& f)
{
    switch (f.kind) {
    case FillStyle::Kind::Solid:
        return 0x00;
    case FillStyle::Kind::LinearGradient:
        return 0x10;
    case FillStyle::Kind::RadialGradient:
        return 0x12;
    case FillStyle::Kind::FocalRadialGradient:
        return 0x13;
    case FillStyle::Kind::Bitmap:
        return std::uint8_t(0x40 | (f.repeating ? 0 : 1) | (f.smoothed ? 0 : 2));
    }
    return 0;
}

void writeFillStyle(BitWriter& w, const FillStyle& f, int version)
{
    const bool alpha = version >= 3;
    w.u8(fillType(f));
    if (f.kind == FillStyle::Kind::Solid) {
        color(w, f.color, alpha);
    } else if (f.kind == FillStyle::Kind::Bitmap) {
        w.u16(f.bitmapId);
        writeMatrix(w, f.matrix);
    } else {
        writeMatrix(w, f.matrix);
        w.u8(gradientHead(f.gradient));
        for (const GradientRecord& r : f.gradient.records) {
            w.u8(r.ratio);
            color(w, r.color, alpha);
        }
        if (f.kind == FillStyle::Kind::FocalRadialGradient)
            w.fixed8(f.gradient.focalPoint);
    }
}

void writeLineFlags(BitWriter& w, const LineStyle& l, bool hasFill)
{
    w.ub(2, std::uint32_t(l.startCap));
    w.ub(2, std::uint32_t(l.join));
    w.flag(hasFill);
    w.flag(l.noHScale), w.flag(l.noVScale), w.flag(l.pixelHinting);
    w.ub(5, 0);
    w.flag(l.noClose);
    w.ub(2, std::uint32_t(l.endCap));
    if (l.join == JoinStyle::Miter)
        w.u16(std::uint32_t(std::lround(l.miterLimit * 256.0)) & 0xFFFF);
}

void writeLineStyle(BitWriter& w, const LineStyle& l, int version)
{
    w.u16(l.width);
    if (version < 4) {
        color(w, l.color, version >= 3);
        return;
    }
    writeLineFlags(w, l, l.fill.has_value());
    if (l.fill)
        writeFillStyle(w, *l.fill, 4);
    else
        color(w, l.color, true);
}

void writeCount(BitWriter& w, std::size_t n, int version)
{
    if (n < 0xFF || (version < 2 && n == 0xFF)) {
        w.u8(std::uint32_t(n));
    } else {
        if (version < 2 || n > 0xFFFF)
            throw std::invalid_argument("too many styles for this shape version");
        w.u8(0xFF);
        w.u16(std::uint32_t(n));
    }
}

void writeStyles(BitWriter& w, const ShapeLayer& layer, int version)
{
    writeCount(w, layer.fills.size(), version);
    for (const FillStyle& f : layer.fills)
        writeFillStyle(w, f, version);
    writeCount(w, layer.lines.size(), version);
    for (const LineStyle& l : layer.lines)
        writeLineStyle(w, l, version);
}

bool hasAlpha(const FillStyle& f)
{
    if (f.kind == FillStyle::Kind::Solid)
        return f.color.a != 255;
    if (f.isGradient())
        return std::any_of(f.gradient.records.begin(), f.gradient.records.end(),
                           [](const GradientRecord& r) { return r.color.a != 255; });
    return false;
}

bool needsLineStyle2(const LineStyle& l)
{
    return l.startCap != CapStyle::Round || l.endCap != CapStyle::Round || l.join != JoinStyle::Round || l.noHScale
        || l.noVScale || l.pixelHinting || l.noClose || l.fill.has_value();
}

} // namespace

int shapeTagVersion(const Shape& shape)
{
    int need = 1;
    if (shape.layers.size() > 1)
        need = 2;
    for (const ShapeLayer& layer : shape.layers) {
        if (layer.fills.size() > 255 || layer.lines.size() > 255)
            need = std::max(need, 2);
        for (const FillStyle& f : layer.fills) {
            if (hasAlpha(f))
                need = std::max(need, 3);
            if (f.kind == FillStyle::Kind::FocalRadialGradient)
                need = 4;
        }
        for (const LineStyle& l : layer.lines) {
            if (l.color.a != 255)
                need = std::max(need, 3);
            if (needsLineStyle2(l))
                need = 4;
        }
    }
    if (shape.nonZeroWinding || shape.usesNonScalingStrokes || shape.usesScalingStrokes
        || !(shape.edgeBounds == shape.bounds))
        need = 4;
    return std::max(need, std::clamp(shape.version, 1, 4));
}

void writeShapeRecords(BitWriter& w, const std::vector<ShapeLayer>& layers, int version, bool glyph)
{
    auto bitsFor = [&](const ShapeLayer& l, bool fills) {
        if (glyph)
            return fills ? 1 : 0;
        return BitWriter::ubits(fills ? l.fills.size() : l.lines.size());
    };
    int fillBits = layers.empty() ? 0 : bitsFor(layers[0], true);
    int lineBits = layers.empty() ? 0 : bitsFor(layers[0], false);
    w.ub(4, std::uint32_t(fillBits));
    w.ub(4, std::uint32_t(lineBits));
    Point pen;
    std::uint16_t f0 = 0, f1 = 0, ln = 0;
    for (std::size_t li = 0; li < layers.size(); ++li) {
        const ShapeLayer& layer = layers[li];
        if (li > 0) {
            w.ub(1, 0);
            w.ub(5, 0x10);
            writeStyles(w, layer, version);
            fillBits = bitsFor(layer, true);
            lineBits = bitsFor(layer, false);
            w.ub(4, std::uint32_t(fillBits));
            w.ub(4, std::uint32_t(lineBits));
            f0 = f1 = ln = 0;
        }
        for (const Edge& e : layer.edges) {
            const bool move = !(e.from == pen);
            std::uint32_t flags = (move ? 0x01 : 0) | (e.fill0 != f0 ? 0x02 : 0) | (e.fill1 != f1 ? 0x04 : 0)
                | (e.line != ln ? 0x08 : 0);
            if (flags) {
                w.ub(1, 0);
                w.ub(5, flags);
                if (move) {
                    const int bits = std::max(BitWriter::sbits(e.from.x), BitWriter::sbits(e.from.y));
                    w.ub(5, std::uint32_t(bits));
                    w.sb(bits, e.from.x);
                    w.sb(bits, e.from.y);
                }
                if (flags & 0x02)
                    w.ub(fillBits, e.fill0);
                if (flags & 0x04)
                    w.ub(fillBits, e.fill1);
                if (flags & 0x08)
                    w.ub(lineBits, e.line);
                f0 = e.fill0, f1 = e.fill1, ln = e.line;
            }
            w.ub(1, 1);
            if (!e.curved) {
                const std::int64_t dx = std::int64_t(e.to.x) - e.from.x, dy = std::int64_t(e.to.y) - e.from.y;
                const int bits = std::max({2, BitWriter::sbits(dx), BitWriter::sbits(dy)});
                if (bits > 17)
                    throw std::invalid_argument("edge longer than the format can hold");
                w.ub(1, 1);
                w.ub(4, std::uint32_t(bits - 2));
                if (dx != 0 && dy != 0) {
                    w.ub(1, 1);
                    w.sb(bits, std::int32_t(dx));
                    w.sb(bits, std::int32_t(dy));
                } else if (dx == 0) {
                    w.ub(1, 0), w.ub(1, 1);
                    w.sb(bits, std::int32_t(dy));
                } else {
                    w.ub(1, 0), w.ub(1, 0);
                    w.sb(bits, std::int32_t(dx));
                }
            } else {
                const std::int64_t d[4] = {std::int64_t(e.control.x) - e.from.x, std::int64_t(e.control.y) - e.from.y,
                                           std::int64_t(e.to.x) - e.control.x, std::int64_t(e.to.y) - e.control.y};
                int bits = 2;
                for (std::int64_t v : d)
                    bits = std::max(bits, BitWriter::sbits(v));
                if (bits > 17)
                    throw std::invalid_argument("curve longer than the format can hold");
                w.ub(1, 0);
                w.ub(4, std::uint32_t(bits - 2));
                for (std::int64_t v : d)
                    w.sb(bits, std::int32_t(v));
            }
            pen = e.to;
        }
    }
    w.ub(1, 0);
    w.ub(5, 0);
    w.align();
}

QByteArray encodeShape(std::uint16_t id, const Shape& shape)
{
    const int version = shapeTagVersion(shape);
    BitWriter w;
    w.u16(id);
    writeRect(w, shape.bounds);
    if (version >= 4) {
        writeRect(w, shape.edgeBounds);
        w.u8((shape.nonZeroWinding ? 0x04 : 0) | (shape.usesNonScalingStrokes ? 0x02 : 0)
             | (shape.usesScalingStrokes ? 0x01 : 0));
    }
    static const ShapeLayer empty;
    writeStyles(w, shape.layers.empty() ? empty : shape.layers[0], version);
    writeShapeRecords(w, shape.layers, version, false);
    return w.data();
}

namespace {

void writeMorphFill(BitWriter& w, const MorphFillStyle& m)
{
    const FillStyle& s = m.start;
    const FillStyle& e = m.end;
    w.u8(fillType(s));
    if (s.kind == FillStyle::Kind::Solid) {
        color(w, s.color, true);
        color(w, e.color, true);
    } else if (s.kind == FillStyle::Kind::Bitmap) {
        w.u16(s.bitmapId);
        writeMatrix(w, s.matrix);
        writeMatrix(w, e.matrix);
    } else {
        writeMatrix(w, s.matrix);
        writeMatrix(w, e.matrix);
        if (e.gradient.records.size() != s.gradient.records.size())
            throw std::invalid_argument("morph gradient records differ in number");
        w.u8(gradientHead(s.gradient));
        for (std::size_t i = 0; i < s.gradient.records.size(); ++i) {
            w.u8(s.gradient.records[i].ratio);
            color(w, s.gradient.records[i].color, true);
            w.u8(e.gradient.records[i].ratio);
            color(w, e.gradient.records[i].color, true);
        }
        if (s.kind == FillStyle::Kind::FocalRadialGradient) {
            w.fixed8(s.gradient.focalPoint);
            w.fixed8(e.gradient.focalPoint);
        }
    }
}

} // namespace

QByteArray encodeMorphShape(std::uint16_t id, const MorphShape& morph)
{
    const int version = morph.version == 2 ? 2 : 1;
    BitWriter w;
    w.u16(id);
    writeRect(w, morph.startBounds);
    writeRect(w, morph.endBounds);
    if (version == 2) {
        writeRect(w, morph.startEdgeBounds);
        writeRect(w, morph.endEdgeBounds);
        w.u8((morph.usesNonScalingStrokes ? 0x02 : 0) | (morph.usesScalingStrokes ? 0x01 : 0));
    }
    BitWriter rest;
    writeCount(rest, morph.fills.size(), 2);
    for (const MorphFillStyle& f : morph.fills)
        writeMorphFill(rest, f);
    writeCount(rest, morph.lines.size(), 2);
    for (const MorphLineStyle& l : morph.lines) {
        rest.u16(l.start.width);
        rest.u16(l.end.width);
        if (version == 1) {
            color(rest, l.start.color, true);
            color(rest, l.end.color, true);
            continue;
        }
        writeLineFlags(rest, l.start, l.start.fill.has_value());
        if (l.start.fill) {
            writeMorphFill(rest, MorphFillStyle{*l.start.fill, l.end.fill.value_or(*l.start.fill)});
        } else {
            color(rest, l.start.color, true);
            color(rest, l.end.color, true);
        }
    }
    std::vector<ShapeLayer> start(1);
    start[0].fills.resize(morph.fills.size());
    start[0].lines.resize(morph.lines.size());
    start[0].edges = morph.startEdges;
    BitWriter startRecords;
    writeShapeRecords(startRecords, start, 3, false);
    // End edges carry no styles of their own.
    std::vector<ShapeLayer> end(1);
    end[0].edges = morph.endEdges;
    for (Edge& e : end[0].edges)
        e.fill0 = e.fill1 = e.line = 0;
    BitWriter endRecords;
    writeShapeRecords(endRecords, end, 3, false);
    const QByteArray& head = rest.data();
    const QByteArray& starts = startRecords.data();
    w.u32(std::uint32_t(head.size() + starts.size()));
    w.bytes(head);
    w.bytes(starts);
    w.bytes(endRecords.data());
    return w.data();
}

int placeObjectTagCode(const PlaceObject& p)
{
    const bool needs3 = p.filters || p.blendMode || p.cacheAsBitmap || p.visible || p.backgroundColor || p.className;
    if (needs3 || p.version == 3)
        return 70;
    const bool needs2 = p.move || !p.characterId || !p.matrix || p.ratio || p.name || p.clipDepth
        || (p.colorTransform && (p.colorTransform->aMul != 256 || p.colorTransform->aAdd != 0));
    if (needs2 || p.version != 1)
        return 26;
    return 4;
}

QByteArray encodePlaceObject(const PlaceObject& p)
{
    const int code = placeObjectTagCode(p);
    BitWriter w;
    if (code == 4) {
        w.u16(*p.characterId);
        w.u16(p.depth);
        writeMatrix(w, *p.matrix);
        if (p.colorTransform)
            writeColorTransform(w, *p.colorTransform, false);
        return w.data();
    }
    const bool clipActions = code != 4 && !p.clipActions.empty();
    w.u8((clipActions ? 0x80 : 0) | (p.clipDepth ? 0x40 : 0) | (p.name ? 0x20 : 0) | (p.ratio ? 0x10 : 0) | (p.colorTransform ? 0x08 : 0)
         | (p.matrix ? 0x04 : 0) | (p.characterId ? 0x02 : 0) | (p.move ? 0x01 : 0));
    if (code == 70)
        w.u8((p.backgroundColor ? 0x40 : 0) | (p.visible ? 0x20 : 0) | (p.className ? 0x08 : 0)
             | (p.cacheAsBitmap ? 0x04 : 0) | (p.blendMode ? 0x02 : 0) | (p.filters ? 0x01 : 0));
    w.u16(p.depth);
    if (code == 70 && p.className)
        w.string(*p.className);
    if (p.characterId)
        w.u16(*p.characterId);
    if (p.matrix)
        writeMatrix(w, *p.matrix);
    if (p.colorTransform)
        writeColorTransform(w, *p.colorTransform, true);
    if (p.ratio)
        w.u16(*p.ratio);
    if (p.name)
        w.string(*p.name);
    if (p.clipDepth)
        w.u16(*p.clipDepth);
    if (code == 70) {
        if (p.filters)
            writeFilters(w, *p.filters);
        if (p.blendMode)
            w.u8(std::uint32_t(*p.blendMode));
        if (p.cacheAsBitmap)
            w.u8(*p.cacheAsBitmap ? 1 : 0);
        if (p.visible)
            w.u8(*p.visible ? 1 : 0);
        if (p.backgroundColor)
            color(w, *p.backgroundColor, true);
    }
    if (clipActions) {
        // The SWF 6 form, with 32-bit event masks.
        std::uint32_t all = 0;
        for (const ClipEventHandler& h : p.clipActions)
            all |= h.events;
        w.u16(0);
        w.u32(all);
        for (const ClipEventHandler& h : p.clipActions) {
            w.u32(h.events);
            const bool key = h.events & ClipEvent::KeyPress;
            w.u32(std::uint32_t(h.bytecode.size()) + (key ? 1 : 0));
            if (key)
                w.u8(h.keyCode);
            w.bytes(h.bytecode);
        }
        w.u32(0);
    }
    return w.data();
}

namespace {

QByteArray glyphBytes(const Glyph& g)
{
    BitWriter w;
    writeShapeRecords(w, g.outline.layers, 1, true);
    return w.data();
}

} // namespace

QByteArray encodeFont(std::uint16_t id, const Font& font)
{
    BitWriter w;
    w.u16(id);
    std::vector<QByteArray> shapes;
    for (const Glyph& g : font.glyphs)
        shapes.push_back(glyphBytes(g));
    if (font.version == 1) {
        std::size_t offset = shapes.size() * 2;
        for (const QByteArray& s : shapes) {
            w.u16(std::uint32_t(offset));
            offset += std::size_t(s.size());
        }
        if (offset > 0xFFFF)
            throw std::invalid_argument("DefineFont glyphs exceed 64 KiB");
        for (const QByteArray& s : shapes)
            w.bytes(s);
        return w.data();
    }
    const std::size_t n = font.glyphs.size();
    if (n > 0xFFFF)
        throw std::invalid_argument("more than 65535 glyphs");
    std::size_t total = 0;
    for (const QByteArray& s : shapes)
        total += std::size_t(s.size());
    const bool wideOffsets = (n + 1) * 2 + total > 0xFFFF;
    w.u8((font.hasLayout ? 0x80 : 0) | (font.shiftJis ? 0x40 : 0) | (font.smallText ? 0x20 : 0)
         | (font.ansi ? 0x10 : 0) | (wideOffsets ? 0x08 : 0) | (font.wideCodes ? 0x04 : 0) | (font.italic ? 0x02 : 0)
         | (font.bold ? 0x01 : 0));
    w.u8(font.languageCode);
    const QByteArray name = font.name.toUtf8();
    if (name.size() > 255)
        throw std::invalid_argument("font name longer than 255 bytes");
    w.u8(std::uint32_t(name.size()));
    w.bytes(name);
    w.u16(std::uint32_t(n));
    std::size_t offset = (n + 1) * (wideOffsets ? 4 : 2);
    auto putOffset = [&](std::size_t o) { wideOffsets ? w.u32(std::uint32_t(o)) : w.u16(std::uint32_t(o)); };
    for (const QByteArray& s : shapes) {
        putOffset(offset);
        offset += std::size_t(s.size());
    }
    putOffset(offset); // the code table
    for (const QByteArray& s : shapes)
        w.bytes(s);
    for (const Glyph& g : font.glyphs)
        font.wideCodes ? w.u16(g.code) : w.u8(g.code);
    if (font.hasLayout) {
        w.u16(std::uint16_t(font.ascent));
        w.u16(std::uint16_t(font.descent));
        w.u16(std::uint16_t(font.leading));
        for (const Glyph& g : font.glyphs)
            w.u16(std::uint16_t(g.advance.value_or(0)));
        for (const Glyph& g : font.glyphs)
            writeRect(w, g.bounds.value_or(Rect{}));
        w.u16(std::uint32_t(font.kerning.size()));
        for (const KerningPair& k : font.kerning) {
            font.wideCodes ? w.u16(k.code1) : w.u8(k.code1);
            font.wideCodes ? w.u16(k.code2) : w.u8(k.code2);
            w.u16(std::uint16_t(k.adjustment));
        }
    }
    return w.data();
}

QByteArray encodeText(std::uint16_t id, const Text& text)
{
    BitWriter w;
    w.u16(id);
    writeRect(w, text.bounds);
    writeMatrix(w, text.matrix);
    int glyphBits = 0, advanceBits = 0;
    for (const TextRecord& r : text.records)
        for (const GlyphEntry& g : r.glyphs) {
            glyphBits = std::max(glyphBits, BitWriter::ubits(g.index));
            advanceBits = std::max(advanceBits, BitWriter::sbits(g.advance));
        }
    w.u8(std::uint32_t(glyphBits));
    w.u8(std::uint32_t(advanceBits));
    for (const TextRecord& r : text.records) {
        if (r.glyphs.size() > 255)
            throw std::invalid_argument("more than 255 glyphs in one text record");
        if (r.x < -32768 || r.x > 32767 || r.y < -32768 || r.y > 32767)
            throw std::invalid_argument("text record offset outside 16 bits");
        w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
        w.u16(r.fontId);
        color(w, r.color, text.version >= 2);
        w.u16(std::uint16_t(r.x));
        w.u16(std::uint16_t(r.y));
        w.u16(r.height);
        w.u8(std::uint32_t(r.glyphs.size()));
        for (const GlyphEntry& g : r.glyphs) {
            w.ub(glyphBits, g.index);
            w.sb(advanceBits, g.advance);
        }
        w.align();
    }
    w.u8(0);
    return w.data();
}

QByteArray encodeEditText(std::uint16_t id, const EditText& e)
{
    BitWriter w;
    w.u16(id);
    writeRect(w, e.bounds);
    const bool hasFont = e.fontId != 0;
    const bool hasFontClass = !e.fontClass.isEmpty();
    w.u8((e.initialText ? 0x80 : 0) | (e.wordWrap ? 0x40 : 0) | (e.multiline ? 0x20 : 0) | (e.password ? 0x10 : 0)
         | (e.readOnly ? 0x08 : 0) | (e.textColor ? 0x04 : 0) | (e.maxLength ? 0x02 : 0) | (hasFont ? 0x01 : 0));
    w.u8((hasFontClass ? 0x80 : 0) | (e.autoSize ? 0x40 : 0) | (e.hasLayout ? 0x20 : 0) | (e.noSelect ? 0x10 : 0)
         | (e.border ? 0x08 : 0) | (e.wasStatic ? 0x04 : 0) | (e.html ? 0x02 : 0) | (e.useOutlines ? 0x01 : 0));
    if (hasFont)
        w.u16(e.fontId);
    if (hasFontClass)
        w.string(e.fontClass);
    if (hasFont || hasFontClass)
        w.u16(e.fontHeight);
    if (e.textColor)
        color(w, *e.textColor, true);
    if (e.maxLength)
        w.u16(*e.maxLength);
    if (e.hasLayout) {
        w.u8(std::uint32_t(e.align));
        w.u16(e.leftMargin);
        w.u16(e.rightMargin);
        w.u16(e.indent);
        w.u16(std::uint16_t(e.leading));
    }
    w.string(e.variableName);
    if (e.initialText)
        w.string(*e.initialText);
    return w.data();
}

namespace {

// A condition's block; an empty one still ends with the End action.
QByteArray conditionBytes(const ButtonCondAction& c)
{
    return c.bytecode.isEmpty() ? encodeActions({}) : c.bytecode;
}

} // namespace

QByteArray encodeButton(std::uint16_t id, const Button& button)
{
    const int version = button.version == 1 ? 1 : 2;
    BitWriter records;
    for (const ButtonRecord& b : button.records) {
        const bool filters = version == 2 && !b.filters.empty();
        const bool blend = version == 2 && b.blendMode != BlendMode::Normal;
        records.u8((blend ? 0x20 : 0) | (filters ? 0x10 : 0) | (b.hitTest ? 0x08 : 0) | (b.down ? 0x04 : 0)
                   | (b.over ? 0x02 : 0) | (b.up ? 0x01 : 0));
        records.u16(b.characterId);
        records.u16(b.depth);
        writeMatrix(records, b.matrix);
        if (version == 2) {
            writeColorTransform(records, b.colorTransform, true);
            if (filters)
                writeFilters(records, b.filters);
            if (blend)
                records.u8(std::uint32_t(b.blendMode));
        }
    }
    records.u8(0);
    BitWriter w;
    w.u16(id);
    if (version == 1) {
        w.bytes(records.data());
        w.bytes(button.actions.empty() ? encodeActions({}) : conditionBytes(button.actions.front()));
        return w.data();
    }
    w.u8(button.trackAsMenu ? 1 : 0);
    const QByteArray& recordBytes = records.data();
    w.u16(button.actions.empty() ? 0 : std::uint32_t(2 + recordBytes.size()));
    w.bytes(recordBytes);
    for (std::size_t i = 0; i < button.actions.size(); ++i) {
        const ButtonCondAction& c = button.actions[i];
        const QByteArray actions = conditionBytes(c);
        const bool last = i + 1 == button.actions.size();
        w.u16(last ? 0 : std::uint32_t(4 + actions.size()));
        w.u8(std::uint32_t(c.conditions >> 8));
        w.u8(std::uint32_t((c.keyPress << 1) | (c.conditions & 1)));
        w.bytes(actions);
    }
    return w.data();
}

} // namespace qev::swf::writer
