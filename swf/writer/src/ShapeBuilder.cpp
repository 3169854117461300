#include "Internal.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qev::swf::writer {

Matrix scaleTranslatePx(double sx, double sy, double x, double y)
{
    Matrix m = Matrix::scale(sx, sy);
    m.tx = px(x);
    m.ty = px(y);
    return m;
}

Matrix rotateTranslatePx(double degrees, double x, double y)
{
    const double r = qDegreesToRadians(degrees);
    Matrix m;
    m.a = std::round(std::cos(r) * 65536.0) / 65536.0;
    m.b = std::round(std::sin(r) * 65536.0) / 65536.0;
    m.c = -m.b;
    m.d = m.a;
    m.tx = px(x);
    m.ty = px(y);
    return m;
}

namespace {

// Maps the 32768-twip gradient square onto a box given in pixels.
Matrix gradientBox(double x, double y, double w, double h, double degrees)
{
    const double r = qDegreesToRadians(degrees);
    const double sx = w * kTwipsPerPixel / 32768.0, sy = h * kTwipsPerPixel / 32768.0;
    auto fixed = [](double v) { return std::round(v * 65536.0) / 65536.0; };
    Matrix m;
    m.a = fixed(std::cos(r) * sx);
    m.b = fixed(std::sin(r) * sx);
    m.c = fixed(-std::sin(r) * sy);
    m.d = fixed(std::cos(r) * sy);
    m.tx = px(x + w / 2);
    m.ty = px(y + h / 2);
    return m;
}

FillStyle gradientFill(FillStyle::Kind kind, std::vector<GradientRecord> records, const Matrix& m)
{
    FillStyle f;
    f.kind = kind;
    f.gradient.records = std::move(records);
    f.matrix = m;
    return f;
}

} // namespace

FillStyle solid(Rgba color)
{
    FillStyle f;
    f.kind = FillStyle::Kind::Solid;
    f.color = color;
    return f;
}

FillStyle linearGradient(std::vector<GradientRecord> records, double x, double y, double w, double h, double degrees)
{
    return gradientFill(FillStyle::Kind::LinearGradient, std::move(records), gradientBox(x, y, w, h, degrees));
}

FillStyle radialGradient(std::vector<GradientRecord> records, double x, double y, double w, double h)
{
    return gradientFill(FillStyle::Kind::RadialGradient, std::move(records), gradientBox(x, y, w, h, 0));
}

FillStyle focalGradient(std::vector<GradientRecord> records, double focal, double x, double y, double w, double h)
{
    FillStyle f = gradientFill(FillStyle::Kind::FocalRadialGradient, std::move(records), gradientBox(x, y, w, h, 0));
    f.gradient.focalPoint = std::round(std::clamp(focal, -1.0, 1.0) * 256.0) / 256.0;
    return f;
}

FillStyle bitmapFill(std::uint16_t bitmapId, double x, double y, double scale, bool repeating, bool smoothed)
{
    FillStyle f;
    f.kind = FillStyle::Kind::Bitmap;
    f.bitmapId = bitmapId;
    f.matrix = scaleTranslatePx(std::round(scale * kTwipsPerPixel * 65536.0) / 65536.0,
                                std::round(scale * kTwipsPerPixel * 65536.0) / 65536.0, x, y);
    f.repeating = repeating;
    f.smoothed = smoothed;
    return f;
}

LineStyle solidLine(double widthPx, Rgba color)
{
    LineStyle l;
    l.width = std::uint16_t(std::clamp<Twips>(px(widthPx), 0, 65535));
    l.color = color;
    return l;
}

ShapeBuilder::ShapeBuilder(double twipsPerUnit) : m_unit(twipsPerUnit)
{
    m_shape.layers.emplace_back();
}

Point ShapeBuilder::toTwips(double x, double y) const
{
    return Point{Twips(std::lround(x * m_unit)), Twips(std::lround(y * m_unit))};
}

ShapeBuilder& ShapeBuilder::fill(const FillStyle& style)
{
    auto& fills = m_shape.layers.back().fills;
    fills.push_back(style);
    m_fill0 = 0;
    m_fill1 = std::uint16_t(fills.size());
    return *this;
}

ShapeBuilder& ShapeBuilder::noFill()
{
    m_fill0 = m_fill1 = 0;
    return *this;
}

ShapeBuilder& ShapeBuilder::line(const LineStyle& style)
{
    auto& lines = m_shape.layers.back().lines;
    lines.push_back(style);
    m_line = std::uint16_t(lines.size());
    return *this;
}

ShapeBuilder& ShapeBuilder::line(double widthUnits, Rgba color)
{
    LineStyle l;
    l.width = std::uint16_t(std::clamp<long>(std::lround(widthUnits * m_unit), 0, 65535));
    l.color = color;
    return line(l);
}

ShapeBuilder& ShapeBuilder::noLine()
{
    m_line = 0;
    return *this;
}

ShapeBuilder& ShapeBuilder::styles(std::uint16_t fill0, std::uint16_t fill1, std::uint16_t line)
{
    m_fill0 = fill0;
    m_fill1 = fill1;
    m_line = line;
    return *this;
}

ShapeBuilder& ShapeBuilder::newLayer()
{
    m_shape.layers.emplace_back();
    m_fill0 = m_fill1 = m_line = 0;
    return *this;
}

ShapeBuilder& ShapeBuilder::moveTo(double x, double y)
{
    m_pen = toTwips(x, y);
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(double x, double y)
{
    // An edge holds deltas of at most 17 bits; longer lines become several edges.
    const Point from = m_pen, to = toTwips(x, y);
    const std::int64_t dx = std::int64_t(to.x) - from.x, dy = std::int64_t(to.y) - from.y;
    const std::int64_t pieces = std::max<std::int64_t>(1, (std::max(std::abs(dx), std::abs(dy)) + 65534) / 65535);
    for (std::int64_t i = 1; i <= pieces; ++i) {
        Edge e;
        e.from = m_pen;
        e.to = Point{Twips(from.x + dx * i / pieces), Twips(from.y + dy * i / pieces)};
        e.fill0 = m_fill0, e.fill1 = m_fill1, e.line = m_line;
        m_shape.layers.back().edges.push_back(e);
        m_pen = e.to;
    }
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(double cx, double cy, double x, double y)
{
    Edge e;
    e.from = m_pen;
    e.control = toTwips(cx, cy);
    e.to = toTwips(x, y);
    e.curved = true;
    e.fill0 = m_fill0, e.fill1 = m_fill1, e.line = m_line;
    m_shape.layers.back().edges.push_back(e);
    m_pen = e.to;
    return *this;
}

ShapeBuilder& ShapeBuilder::rect(double x, double y, double w, double h)
{
    return moveTo(x, y).lineTo(x + w, y).lineTo(x + w, y + h).lineTo(x, y + h).lineTo(x, y);
}

ShapeBuilder& ShapeBuilder::ellipse(double cx, double cy, double rx, double ry)
{
    // Eight quadratic segments; each control point sits where the tangents
    // at the segment's ends meet.
    const double k = 1.0 / std::cos(M_PI / 8);
    moveTo(cx + rx, cy);
    for (int i = 1; i <= 8; ++i) {
        const double mid = (i - 0.5) * M_PI / 4, end = i * M_PI / 4;
        curveTo(cx + rx * k * std::cos(mid), cy + ry * k * std::sin(mid), cx + rx * std::cos(end),
                cy + ry * std::sin(end));
    }
    return *this;
}

ShapeBuilder& ShapeBuilder::nonZeroWinding(bool on)
{
    m_shape.nonZeroWinding = on;
    return *this;
}

Shape ShapeBuilder::build() const
{
    Shape s = m_shape;
    std::int64_t x0 = std::numeric_limits<std::int64_t>::max(), y0 = x0, x1 = std::numeric_limits<std::int64_t>::min(),
                 y1 = x1;
    std::int64_t ex0 = x0, ey0 = y0, ex1 = x1, ey1 = y1;
    for (const ShapeLayer& layer : s.layers)
        for (const Edge& e : layer.edges) {
            const std::int64_t half = e.line ? layer.lines[e.line - 1].width / 2 : 0;
            for (const Point& p : {e.from, e.to, e.curved ? e.control : e.to}) {
                ex0 = std::min<std::int64_t>(ex0, p.x), ex1 = std::max<std::int64_t>(ex1, p.x);
                ey0 = std::min<std::int64_t>(ey0, p.y), ey1 = std::max<std::int64_t>(ey1, p.y);
                x0 = std::min(x0, p.x - half), x1 = std::max(x1, p.x + half);
                y0 = std::min(y0, p.y - half), y1 = std::max(y1, p.y + half);
            }
        }
    if (ex0 <= ex1) {
        s.bounds = Rect{Twips(x0), Twips(x1), Twips(y0), Twips(y1)};
        s.edgeBounds = Rect{Twips(ex0), Twips(ex1), Twips(ey0), Twips(ey1)};
    }
    s.version = 1;
    // Shapes without version 4 features keep edgeBounds equal to bounds, as
    // the reader gives them back.
    Shape probe = s;
    probe.edgeBounds = probe.bounds;
    s.version = shapeTagVersion(probe);
    if (s.version < 4)
        s.edgeBounds = s.bounds;
    return s;
}

Shape ShapeBuilder::buildGlyph() const
{
    Shape s;
    s.version = 0;
    s.layers.emplace_back();
    for (const ShapeLayer& layer : m_shape.layers)
        for (Edge e : layer.edges) {
            e.fill0 = e.fill0 ? 1 : 0;
            e.fill1 = e.fill1 ? 1 : 0;
            e.line = 0;
            s.layers[0].edges.push_back(e);
        }
    return s;
}

} // namespace qev::swf::writer
