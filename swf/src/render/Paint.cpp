#include "render/Paint.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
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
    // Flash looks colours up in a table of 256 entries, one per ratio step:
    // each record holds its own entry, and records with equal ratios each
    // take the next entry (those pushed past the end are lost). Between
    // records the entries are interpolated. So every record becomes a flat
    // band one entry wide, and the stretch between bands is interpolated.
    constexpr double entry = 1.0 / 256.0;
    constexpr double tiny = entry * 0.001;
    int previousEntry = -1;
    for (const GradientRecord& r : gradient.records) {
        const int e = std::max<int>(r.ratio, previousEntry + 1);
        if (e > 255)
            break;
        const QColor c = cx.apply(r.color);
        const double start = e * entry;
        if (previousEntry >= 0 && gradient.interpolation == InterpolationMode::Linear && e > previousEntry + 1) {
            // Qt interpolates in sRGB; intermediate stops follow the curve
            // that interpolating in linear RGB takes.
            const QColor prev = stops.back().second;
            const double from = stops.back().first;
            constexpr int steps = 8;
            for (int s = 1; s < steps; ++s) {
                const double t = double(s) / steps;
                stops.append({from + (start - from) * t, mixLinear(prev, c, t)});
            }
        }
        stops.append({start, c});
        stops.append({start + entry - tiny, c});
        previousEntry = e;
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

} // namespace qev::swf::render
