#include "render/effects/BlendModes.h"

#include <algorithm>

namespace qev::swf::effects {

namespace {

// Exact rounding of v / 255 for v in 0..255*255.
inline int div255(int v)
{
    const int t = v + 128;
    return (t + (t >> 8)) >> 8;
}

inline int clampChannel(int v) { return std::clamp(v, 0, 255); }

// The separable blend modes, premultiplied: the part of each colour the other
// does not cover, plus the blend of the covered part. Terms are in 255ths
// squared so the single division at the end rounds exactly.
template <BlendMode M>
inline int separable(int sc, int sa, int dc, int da)
{
    const int uncovered = sc * (255 - da) + dc * (255 - sa);
    int both = 0; // sa * da * B(dc / da, sc / sa), in 255ths squared
    if constexpr (M == BlendMode::Multiply)
        both = sc * dc;
    else if constexpr (M == BlendMode::Screen)
        both = sc * da + dc * sa - sc * dc;
    else if constexpr (M == BlendMode::Lighten)
        both = std::max(sc * da, dc * sa);
    else if constexpr (M == BlendMode::Darken)
        both = std::min(sc * da, dc * sa);
    else if constexpr (M == BlendMode::Difference)
        both = std::abs(sc * da - dc * sa);
    else if constexpr (M == BlendMode::HardLight)
        both = 2 * sc <= sa ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc);
    else if constexpr (M == BlendMode::Overlay)
        both = 2 * dc <= da ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc);
    else
        both = sc * 255;
    return clampChannel(div255(uncovered + both));
}

inline int overAlpha(int sa, int da) { return clampChannel(sa + div255(da * (255 - sa))); }

// One channel of the blend of source channel s onto backdrop channel d.
template <BlendMode M>
inline int blendChannel(int s, int sa, int d, int da)
{
    if constexpr (M == BlendMode::Normal || M == BlendMode::Layer)
        return clampChannel(s + div255(d * (255 - sa)));
    else if constexpr (M == BlendMode::Add)
        return clampChannel(s + d);
    else if constexpr (M == BlendMode::Subtract)
        // The layer's colour is taken away from the backdrop; alpha as normal.
        return clampChannel(d - s);
    else if constexpr (M == BlendMode::Invert)
        // The backdrop is inverted where the layer covers it; the layer's own
        // colour does not show.
        return clampChannel(div255(d * (255 - sa) + (da - d) * sa));
    else if constexpr (M == BlendMode::Alpha)
        return div255(d * sa);
    else if constexpr (M == BlendMode::Erase)
        return div255(d * (255 - sa));
    else
        return separable<M>(s, sa, d, da);
}

template <BlendMode M>
inline int blendAlpha(int sa, int da)
{
    if constexpr (M == BlendMode::Invert)
        return da;
    else if constexpr (M == BlendMode::Alpha)
        return div255(da * sa);
    else if constexpr (M == BlendMode::Erase)
        return div255(da * (255 - sa));
    else
        return overAlpha(sa, da);
}

template <BlendMode M>
inline QRgb blendOne(QRgb source, QRgb backdrop)
{
    const int sa = qAlpha(source);
    const int da = qAlpha(backdrop);
    const int outA = blendAlpha<M>(sa, da);
    // Premultiplied colour never exceeds its alpha.
    const int r = std::min(blendChannel<M>(qRed(source), sa, qRed(backdrop), da), outA);
    const int g = std::min(blendChannel<M>(qGreen(source), sa, qGreen(backdrop), da), outA);
    const int b = std::min(blendChannel<M>(qBlue(source), sa, qBlue(backdrop), da), outA);
    return qRgba(r, g, b, outA);
}

// The whole row in one mode. A transparent source pixel leaves the backdrop
// as it was, except in alpha mode, which clears it. Every pixel is worked
// out and the result picked after, without a branch, so that the compiler
// can do several pixels at once.
template <BlendMode M>
void blendRowIn(QRgb* backdrop, const QRgb* source, int count)
{
    for (int i = 0; i < count; ++i) {
        const QRgb s = source[i];
        const QRgb d = backdrop[i];
        const QRgb blended = blendOne<M>(s, d);
        if constexpr (M == BlendMode::Alpha)
            backdrop[i] = blended;
        else
            backdrop[i] = qAlpha(s) == 0 ? d : blended;
    }
}

using RowBlend = void (*)(QRgb*, const QRgb*, int);

RowBlend rowBlendFor(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Layer: return &blendRowIn<BlendMode::Layer>;
    case BlendMode::Multiply: return &blendRowIn<BlendMode::Multiply>;
    case BlendMode::Screen: return &blendRowIn<BlendMode::Screen>;
    case BlendMode::Lighten: return &blendRowIn<BlendMode::Lighten>;
    case BlendMode::Darken: return &blendRowIn<BlendMode::Darken>;
    case BlendMode::Difference: return &blendRowIn<BlendMode::Difference>;
    case BlendMode::Add: return &blendRowIn<BlendMode::Add>;
    case BlendMode::Subtract: return &blendRowIn<BlendMode::Subtract>;
    case BlendMode::Invert: return &blendRowIn<BlendMode::Invert>;
    case BlendMode::Alpha: return &blendRowIn<BlendMode::Alpha>;
    case BlendMode::Erase: return &blendRowIn<BlendMode::Erase>;
    case BlendMode::Overlay: return &blendRowIn<BlendMode::Overlay>;
    case BlendMode::HardLight: return &blendRowIn<BlendMode::HardLight>;
    // Unknown numbers draw as normal.
    default: return &blendRowIn<BlendMode::Normal>;
    }
}

// Clears backdrop pixels x0..x1 (inclusive) of one row.
void clearSpan(QRgb* row, int x0, int x1)
{
    if (x0 <= x1)
        std::fill(row + x0, row + x1 + 1, QRgb(0));
}

} // namespace

BlendMode blendModeFromCode(int code)
{
    if (code >= 2 && code <= 14)
        return BlendMode(code);
    return BlendMode::Normal;
}

bool needsLayer(BlendMode mode) { return mode != BlendMode::Normal; }

bool actsOnParentAlpha(BlendMode mode) { return mode == BlendMode::Alpha || mode == BlendMode::Erase; }

QRgb blendPixel(QRgb source, QRgb backdrop, BlendMode mode)
{
    QRgb out = backdrop;
    blendRow(&out, &source, 1, mode);
    return out;
}

void blendRow(QRgb* backdrop, const QRgb* source, int count, BlendMode mode)
{
    rowBlendFor(mode)(backdrop, source, count);
}

void blendLayer(QImage& backdrop, const QImage& layer, QPoint at, BlendMode mode, QRect clip)
{
    if (backdrop.isNull() || layer.isNull())
        return;
    if (backdrop.format() != QImage::Format_ARGB32_Premultiplied)
        backdrop.convertTo(QImage::Format_ARGB32_Premultiplied);
    const QImage src = layer.format() == QImage::Format_ARGB32_Premultiplied
                           ? layer
                           : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QRect area = QRect(at, src.size()).intersected(backdrop.rect());
    if (clip.isValid())
        area = area.intersected(clip);
    // Outside the layer the alpha mode leaves nothing of the parent.
    if (mode == BlendMode::Alpha) {
        const QRect cleared = clip.isValid() ? clip.intersected(backdrop.rect()) : backdrop.rect();
        for (int y = cleared.top(); y <= cleared.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
            if (area.isEmpty() || y < area.top() || y > area.bottom()) {
                clearSpan(row, cleared.left(), cleared.right());
                continue;
            }
            clearSpan(row, cleared.left(), std::min(cleared.right(), area.left() - 1));
            clearSpan(row, std::max(cleared.left(), area.right() + 1), cleared.right());
        }
    }
    if (area.isEmpty())
        return;
    const RowBlend blend = rowBlendFor(mode);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y()));
        blend(dst + area.left(), s + (area.left() - at.x()), area.width());
    }
}

} // namespace qev::swf::effects
