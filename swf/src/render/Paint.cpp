#include "render/Paint.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>

namespace qev::swf::render {

CxForm CxForm::from(const ColorTransform& t)
{
    CxForm cx;
    cx.mul[0] = t.rMul / 256.0f;
    cx.mul[1] = t.gMul / 256.0f;
    cx.mul[2] = t.bMul / 256.0f;
    cx.mul[3] = t.aMul / 256.0f;
    cx.add[0] = t.rAdd;
    cx.add[1] = t.gAdd;
    cx.add[2] = t.bAdd;
    cx.add[3] = t.aAdd;
    return cx;
}

bool CxForm::isIdentity() const
{
    return *this == CxForm{};
}

bool CxForm::isAlphaOnly() const
{
    return mul[0] == 1 && mul[1] == 1 && mul[2] == 1 && add[0] == 0 && add[1] == 0 && add[2] == 0 && add[3] == 0;
}

namespace {
int channel(float v, float mul, float add)
{
    return std::clamp(static_cast<int>(std::lround(v * mul + add)), 0, 255);
}
} // namespace

QColor CxForm::apply(const Rgba& c) const
{
    return QColor(channel(c.r, mul[0], add[0]), channel(c.g, mul[1], add[1]), channel(c.b, mul[2], add[2]),
                  channel(c.a, mul[3], add[3]));
}

QColor CxForm::apply(const QColor& c) const
{
    return QColor(channel(c.red(), mul[0], add[0]), channel(c.green(), mul[1], add[1]),
                  channel(c.blue(), mul[2], add[2]), channel(c.alpha(), mul[3], add[3]));
}

CxForm CxForm::compose(const CxForm& outer, const CxForm& inner)
{
    CxForm r;
    for (int i = 0; i < 4; ++i) {
        r.mul[i] = inner.mul[i] * outer.mul[i];
        r.add[i] = inner.add[i] * outer.mul[i] + outer.add[i];
    }
    return r;
}

namespace {

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double fromLinear(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

QColor mixSrgb(const QColor& a, const QColor& b, double t)
{
    auto mix = [t](int x, int y) { return static_cast<int>(std::lround(x * (1 - t) + y * t)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()),
                  mix(a.alpha(), b.alpha()));
}

QColor mixLinear(const QColor& a, const QColor& b, double t)
{
    auto mix = [t](double x, double y) {
        return fromLinear(toLinear(x) * (1 - t) + toLinear(y) * t);
    };
    QColor c;
    c.setRgbF(static_cast<float>(mix(a.redF(), b.redF())), static_cast<float>(mix(a.greenF(), b.greenF())),
              static_cast<float>(mix(a.blueF(), b.blueF())),
              static_cast<float>(a.alphaF() * (1 - t) + b.alphaF() * t));
    return c;
}

} // namespace

QGradientStops gradientStops(const Gradient& gradient, const CxForm& cx)
{
    QGradientStops stops;
    if (gradient.records.empty()) {
        stops.append({0.0, Qt::black});
        stops.append({1.0, Qt::black});
        return stops;
    }
    // Colours come from a table of 256 entries, one per ratio step, the way
    // the movie's player builds it: between two ratios the table runs from
    // the last record of the first ratio to the first record of the next;
    // when several records share a ratio, all but the last are stamped on
    // the entries from that ratio on, one each, so each shows as a thin band.
    const auto& records = gradient.records;
    const bool linear = gradient.interpolation == InterpolationMode::Linear;
    std::vector<QColor> colours;
    std::vector<int> ratios;
    for (const GradientRecord& r : records) {
        colours.push_back(cx.apply(r.color));
        ratios.push_back(ratios.empty() ? r.ratio : std::max<int>(r.ratio, ratios.back()));
    }
    std::array<QColor, 256> table;
    const std::size_t n = records.size();
    for (int i = 0; i < 256; ++i) {
        // The first run whose ratio is above i ends the segment holding i.
        std::size_t next = 0;
        while (next < n && ratios[next] <= i)
            ++next;
        if (next == 0) {
            table[i] = colours.front();
        } else if (next == n) {
            table[i] = colours.back();
        } else {
            const std::size_t prev = next - 1; // the last record at or below i
            const double t = double(i - ratios[prev]) / double(ratios[next] - ratios[prev]);
            table[i] = linear ? mixLinear(colours[prev], colours[next], t) : mixSrgb(colours[prev], colours[next], t);
        }
    }
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (ratios[k + 1] != ratios[k])
            continue;
        // Record k is not the last of its ratio: stamp it on its own entry.
        std::size_t first = k;
        while (first > 0 && ratios[first - 1] == ratios[k])
            --first;
        const int entry = ratios[k] + int(k - first);
        if (entry <= 255)
            table[entry] = colours[k];
    }
    constexpr double width = 1.0 / 256.0;
    for (int i = 0; i < 256; ++i) {
        if (i > 0 && table[i] == table[i - 1] && (i == 255 || table[i + 1] == table[i]))
            continue; // inside a flat stretch: the neighbours' stops hold it
        stops.append({i * width, table[i]});
        stops.append({(i + 1) * width - width * 0.001, table[i]});
    }
    if (stops.size() == 1)
        stops.append({1.0, stops.front().second});
    return stops;
}

QBrush makeBrush(const FillStyle& fill, const CxForm& cx, const BitmapLookup& bitmaps)
{
    switch (fill.kind) {
    case FillStyle::Kind::Solid:
        return QBrush(cx.apply(fill.color));
    case FillStyle::Kind::LinearGradient:
    case FillStyle::Kind::RadialGradient:
    case FillStyle::Kind::FocalRadialGradient: {
        constexpr double half = 16384.0;
        QGradient g;
        if (fill.kind == FillStyle::Kind::LinearGradient) {
            g = QLinearGradient(-half, 0, half, 0);
        } else {
            const double focal = fill.kind == FillStyle::Kind::FocalRadialGradient
                ? std::clamp(fill.gradient.focalPoint, -0.998, 0.998) * half
                : 0.0;
            g = QRadialGradient(QPointF(0, 0), half, QPointF(focal, 0));
        }
        g.setStops(gradientStops(fill.gradient, cx));
        // Colours mix unpremultiplied, as in the movie's player: a stop that
        // fades out keeps its colour instead of darkening towards black.
        g.setInterpolationMode(QGradient::ComponentInterpolation);
        switch (fill.gradient.spread) {
        case SpreadMode::Reflect:
            g.setSpread(QGradient::ReflectSpread);
            break;
        case SpreadMode::Repeat:
            g.setSpread(QGradient::RepeatSpread);
            break;
        default:
            g.setSpread(QGradient::PadSpread);
            break;
        }
        QBrush brush(g);
        brush.setTransform(fill.matrix.toTransform());
        return brush;
    }
    case FillStyle::Kind::Bitmap: {
        const QImage image = bitmaps ? bitmaps(fill.bitmapId, cx) : QImage();
        if (image.isNull())
            return QBrush(Qt::NoBrush);
        QBrush brush(image);
        brush.setTransform(fill.matrix.toTransform());
        return brush;
    }
    }
    return QBrush(Qt::NoBrush);
}

QPen makePen(const LineStyle& line, const CxForm& cx, const BitmapLookup& bitmaps, double deviceScale,
             double viewScale)
{
    QPen pen;
    if (line.fill)
        pen.setBrush(makeBrush(*line.fill, cx, bitmaps));
    else
        pen.setColor(cx.apply(line.color));
    if (line.noHScale && line.noVScale) {
        // Not scaled with the object: the width is in stage pixels.
        pen.setCosmetic(true);
        pen.setWidthF(std::max(1.0, line.width * viewScale));
    } else if (line.width * deviceScale < 1.0) {
        // Anything thinner than a pixel (hairlines included) is drawn one
        // pixel wide.
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    } else {
        // Scaled with the object, unevenly when the object is.
        pen.setWidthF(line.width);
    }
    switch (line.startCap) {
    case CapStyle::None:
        pen.setCapStyle(Qt::FlatCap);
        break;
    case CapStyle::Square:
        pen.setCapStyle(Qt::SquareCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (line.join) {
    case JoinStyle::Bevel:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case JoinStyle::Miter:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(std::max(1.0, line.miterLimit));
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return pen;
}

QImage transformedImage(const QImage& image, const CxForm& cx)
{
    if (cx.isIdentity() || image.isNull())
        return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(channel(qRed(p), cx.mul[0], cx.add[0]), channel(qGreen(p), cx.mul[1], cx.add[1]),
                            channel(qBlue(p), cx.mul[2], cx.add[2]), channel(qAlpha(p), cx.mul[3], cx.add[3]));
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QBrush clampedBitmapBrush(const QBrush& tiled, const QRectF& area)
{
    const QImage image = tiled.textureImage();
    if (image.isNull())
        return tiled;
    bool invertible = false;
    const QTransform toImage = tiled.transform().inverted(&invertible);
    if (!invertible)
        return tiled;
    const QRect bitmap = image.rect();
    // The image pixels the fill covers, a pixel more for smoothing, and
    // never more than this far past the bitmap on any side.
    constexpr int maxReach = 2048;
    QRect cover = toImage.mapRect(area).toAlignedRect().adjusted(-1, -1, 1, 1).united(bitmap);
    cover = cover.intersected(bitmap.adjusted(-maxReach, -maxReach, maxReach, maxReach));
    if (cover == bitmap)
        return tiled;
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage padded(cover.size(), QImage::Format_ARGB32_Premultiplied);
    const int w = bitmap.width();
    const int h = bitmap.height();
    for (int y = 0; y < cover.height(); ++y) {
        const int sy = std::clamp(y + cover.top(), 0, h - 1);
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
        auto* out = reinterpret_cast<QRgb*>(padded.scanLine(y));
        for (int x = 0; x < cover.width(); ++x)
            out[x] = in[std::clamp(x + cover.left(), 0, w - 1)];
    }
    QBrush brush(padded);
    brush.setTransform(QTransform::fromTranslate(cover.left(), cover.top()) * tiled.transform());
    return brush;
}

} // namespace qev::swf::render
