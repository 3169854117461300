#include "Context.h"

namespace qev::swf::detail {

void Context::warn(const QString& message)
{
    constexpr std::size_t kMaxWarnings = 1000;
    if (movie.warnings.size() < kMaxWarnings)
        movie.warnings.push_back(ReadWarning{tagCode, tagOffset, message});
    else if (movie.warnings.size() == kMaxWarnings)
        movie.warnings.push_back(ReadWarning{-1, 0, QStringLiteral("further warnings left out")});
}

void Context::countDrawing(std::uint64_t n)
{
    drawingRecords += n;
    if (drawingRecords > limits.maxTotalShapeRecords)
        throw FormatError(QStringLiteral("more drawing records in the movie than the limit of %1")
                              .arg(limits.maxTotalShapeRecords));
}

void Context::define(std::uint16_t id, Character&& character)
{
    if (movie.dictionary.count(id)) {
        warn(QStringLiteral("character %1 is defined again; the first definition stays").arg(id));
        return;
    }
    if (movie.dictionary.size() >= limits.maxCharacters) {
        warn(QStringLiteral("character %1 dropped: more characters than the limit of %2")
                 .arg(id)
                 .arg(limits.maxCharacters));
        return;
    }
    movie.dictionary.emplace(id, std::move(character));
}

Rect readRect(BitReader& r)
{
    r.align();
    const int bits = int(r.ub(5));
    Rect rect;
    rect.xMin = r.sb(bits);
    rect.xMax = r.sb(bits);
    rect.yMin = r.sb(bits);
    rect.yMax = r.sb(bits);
    r.align();
    return rect;
}

Matrix readMatrix(BitReader& r)
{
    r.align();
    Matrix m;
    if (r.flag()) {
        const int bits = int(r.ub(5));
        m.a = r.fb(bits);
        m.d = r.fb(bits);
    }
    if (r.flag()) {
        const int bits = int(r.ub(5));
        m.b = r.fb(bits);
        m.c = r.fb(bits);
    }
    const int bits = int(r.ub(5));
    m.tx = r.sb(bits);
    m.ty = r.sb(bits);
    r.align();
    return m;
}

ColorTransform readColorTransform(BitReader& r, bool withAlpha)
{
    r.align();
    ColorTransform cx;
    const bool hasAdd = r.flag();
    const bool hasMul = r.flag();
    const int bits = int(r.ub(4));
    if (hasMul) {
        cx.rMul = std::int16_t(r.sb(bits));
        cx.gMul = std::int16_t(r.sb(bits));
        cx.bMul = std::int16_t(r.sb(bits));
        if (withAlpha)
            cx.aMul = std::int16_t(r.sb(bits));
    }
    if (hasAdd) {
        cx.rAdd = std::int16_t(r.sb(bits));
        cx.gAdd = std::int16_t(r.sb(bits));
        cx.bAdd = std::int16_t(r.sb(bits));
        if (withAlpha)
            cx.aAdd = std::int16_t(r.sb(bits));
    }
    r.align();
    return cx;
}

Rgba readRgb(BitReader& r)
{
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rgba readRgba(BitReader& r)
{
    Rgba c = readRgb(r);
    c.a = r.u8();
    return c;
}

Rgba readArgb(BitReader& r)
{
    Rgba c;
    c.a = r.u8();
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

BlendMode toBlendMode(std::uint8_t value)
{
    if (value == 0 || value > 14)
        return BlendMode::Normal;
    return BlendMode(value);
}

std::vector<Filter> readFilters(BitReader& r)
{
    const int count = r.u8();
    std::vector<Filter> filters;
    filters.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const int id = r.u8();
        switch (id) {
        case 0: {
            DropShadowFilter f;
            f.color = readRgba(r);
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.passes = std::uint8_t(r.ub(5));
            filters.emplace_back(f);
            break;
        }
        case 1: {
            BlurFilter f;
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.passes = std::uint8_t(r.ub(5));
            r.ub(3);
            filters.emplace_back(f);
            break;
        }
        case 2: {
            GlowFilter f;
            f.color = readRgba(r);
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.passes = std::uint8_t(r.ub(5));
            filters.emplace_back(f);
            break;
        }
        case 3: {
            BevelFilter f;
            f.shadowColor = readRgba(r);
            f.highlightColor = readRgba(r);
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.onTop = r.flag();
            f.passes = std::uint8_t(r.ub(4));
            filters.emplace_back(f);
            break;
        }
        case 4:
        case 7: {
            GradientFilter f;
            f.bevel = id == 7;
            const int n = r.u8();
            f.colors.resize(std::size_t(n));
            for (auto& c : f.colors)
                c.color = readRgba(r);
            for (auto& c : f.colors)
                c.ratio = r.u8();
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.onTop = r.flag();
            f.passes = std::uint8_t(r.ub(4));
            filters.emplace_back(std::move(f));
            break;
        }
        case 5: {
            ConvolutionFilter f;
            f.matrixX = r.u8();
            f.matrixY = r.u8();
            f.divisor = r.f32();
            f.bias = r.f32();
            const std::size_t n = std::size_t(f.matrixX) * f.matrixY;
            r.need(n * 4);
            f.matrix.resize(n);
            for (float& v : f.matrix)
                v = r.f32();
            f.defaultColor = readRgba(r);
            r.ub(6);
            f.clamp = r.flag();
            f.preserveAlpha = r.flag();
            filters.emplace_back(std::move(f));
            break;
        }
        case 6: {
            ColorMatrixFilter f;
            for (float& v : f.matrix)
                v = r.f32();
            filters.emplace_back(f);
            break;
        }
        default:
            throw FormatError(QStringLiteral("unknown filter %1").arg(id));
        }
        r.align();
    }
    return filters;
}

} // namespace qev::swf::detail
