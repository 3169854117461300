#include "render/effects/BlendModes.h"

#include <algorithm>

namespace qev::swf::effects {

namespace {

// Exact rounding of v / 255 for v in 0..255*255.
int div255(int v)
{
    const int t = v + 128;
    return (t + (t >> 8)) >> 8;
}

int clampChannel(int v) { return std::clamp(v, 0, 255); }

// The separable blend modes, premultiplied: the part of each colour the other
// does not cover, plus the blend of the covered part. Terms are in 255ths
// squared so the single division at the end rounds exactly.
int separable(int sc, int sa, int dc, int da, BlendMode mode)
{
    const int uncovered = sc * (255 - da) + dc * (255 - sa);
    int both = 0; // sa * da * B(dc / da, sc / sa), in 255ths squared
    switch (mode) {
    case BlendMode::Multiply: both = sc * dc; break;
    case BlendMode::Screen: both = sc * da + dc * sa - sc * dc; break;
    case BlendMode::Lighten: both = std::max(sc * da, dc * sa); break;
    case BlendMode::Darken: both = std::min(sc * da, dc * sa); break;
    case BlendMode::Difference: both = std::abs(sc * da - dc * sa); break;
    case BlendMode::HardLight:
        both = 2 * sc <= sa ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc);
        break;
    case BlendMode::Overlay:
        both = 2 * dc <= da ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc);
        break;
    default: both = sc * 255; break;
    }
    return clampChannel(div255(uncovered + both));
}

int overAlpha(int sa, int da) { return clampChannel(sa + div255(da * (255 - sa))); }

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
    const int sa = qAlpha(source);
    const int da = qAlpha(backdrop);
    if (sa == 0 && mode != BlendMode::Alpha)
        return backdrop;
    const int s[3] = {qRed(source), qGreen(source), qBlue(source)};
    const int d[3] = {qRed(backdrop), qGreen(backdrop), qBlue(backdrop)};
    int out[3];
    int outA = overAlpha(sa, da);
    switch (mode) {
    case BlendMode::Normal:
    case BlendMode::Layer:
        for (int i = 0; i < 3; ++i)
            out[i] = clampChannel(s[i] + div255(d[i] * (255 - sa)));
        break;
    case BlendMode::Add:
        for (int i = 0; i < 3; ++i)
            out[i] = clampChannel(s[i] + d[i]);
        break;
    case BlendMode::Subtract:
        // The layer's colour is taken away from the backdrop; alpha as normal.
        for (int i = 0; i < 3; ++i)
            out[i] = clampChannel(d[i] - s[i]);
        break;
    case BlendMode::Invert:
        // The backdrop is inverted where the layer covers it; the layer's own
        // colour does not show.
        for (int i = 0; i < 3; ++i)
            out[i] = clampChannel(div255(d[i] * (255 - sa) + (da - d[i]) * sa));
        outA = da;
        break;
    case BlendMode::Alpha:
        for (int i = 0; i < 3; ++i)
            out[i] = div255(d[i] * sa);
        outA = div255(da * sa);
        break;
    case BlendMode::Erase:
        for (int i = 0; i < 3; ++i)
            out[i] = div255(d[i] * (255 - sa));
        outA = div255(da * (255 - sa));
        break;
    default:
        for (int i = 0; i < 3; ++i)
            out[i] = separable(s[i], sa, d[i], da, mode);
        break;
    }
    // Premultiplied colour never exceeds its alpha.
    return qRgba(std::min(out[0], outA), std::min(out[1], outA), std::min(out[2], outA), outA);
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
    const bool clearsOutside = mode == BlendMode::Alpha;
    if (clearsOutside) {
        QRect keep = area;
        for (int y = 0; y < backdrop.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
            for (int x = 0; x < backdrop.width(); ++x) {
                if (!keep.contains(x, y) && (!clip.isValid() || clip.contains(x, y)))
                    row[x] = 0;
            }
        }
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y()));
        for (int x = area.left(); x <= area.right(); ++x)
            dst[x] = blendPixel(s[x - at.x()], dst[x], mode);
    }
}

} // namespace qev::swf::effects
