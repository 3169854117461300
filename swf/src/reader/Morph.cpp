#include <qev/swf/model/Shape.h>

#include <algorithm>
#include <cmath>

namespace qev::swf {

namespace {

double lerp(double a, double b, double t) { return a + (b - a) * t; }

Twips lerpTwips(Twips a, Twips b, double t) { return Twips(std::lround(lerp(a, b, t))); }

Point lerpPoint(Point a, Point b, double t) { return Point{lerpTwips(a.x, b.x, t), lerpTwips(a.y, b.y, t)}; }

std::uint8_t lerpByte(std::uint8_t a, std::uint8_t b, double t)
{
    return std::uint8_t(std::clamp(std::lround(lerp(a, b, t)), 0L, 255L));
}

Rgba lerpColor(Rgba a, Rgba b, double t)
{
    return Rgba{lerpByte(a.r, b.r, t), lerpByte(a.g, b.g, t), lerpByte(a.b, b.b, t), lerpByte(a.a, b.a, t)};
}

Matrix lerpMatrix(const Matrix& a, const Matrix& b, double t)
{
    return Matrix{lerp(a.a, b.a, t), lerp(a.b, b.b, t), lerp(a.c, b.c, t), lerp(a.d, b.d, t),
                  lerpTwips(a.tx, b.tx, t), lerpTwips(a.ty, b.ty, t)};
}

Rect lerpRect(const Rect& a, const Rect& b, double t)
{
    return Rect{lerpTwips(a.xMin, b.xMin, t), lerpTwips(a.xMax, b.xMax, t), lerpTwips(a.yMin, b.yMin, t),
                lerpTwips(a.yMax, b.yMax, t)};
}

FillStyle lerpFill(const FillStyle& a, const FillStyle& b, double t)
{
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    const std::size_t n = std::min(a.gradient.records.size(), b.gradient.records.size());
    f.gradient.records.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        f.gradient.records[i].ratio = lerpByte(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t);
        f.gradient.records[i].color = lerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    return f;
}

} // namespace

Shape morphShapeAt(const MorphShape& morph, double ratio)
{
    const double t = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.0;
    Shape shape;
    shape.version = morph.version == 2 ? 4 : 3;
    shape.bounds = lerpRect(morph.startBounds, morph.endBounds, t);
    shape.edgeBounds = lerpRect(morph.startEdgeBounds, morph.endEdgeBounds, t);
    shape.usesNonScalingStrokes = morph.usesNonScalingStrokes;
    shape.usesScalingStrokes = morph.usesScalingStrokes;

    ShapeLayer& layer = shape.layers.emplace_back();
    layer.fills.reserve(morph.fills.size());
    for (const MorphFillStyle& f : morph.fills)
        layer.fills.push_back(lerpFill(f.start, f.end, t));
    layer.lines.reserve(morph.lines.size());
    for (const MorphLineStyle& l : morph.lines) {
        LineStyle line = l.start;
        line.width = std::uint16_t(std::clamp(std::lround(lerp(l.start.width, l.end.width, t)), 0L, 65535L));
        line.color = lerpColor(l.start.color, l.end.color, t);
        if (l.start.fill && l.end.fill)
            line.fill = lerpFill(*l.start.fill, *l.end.fill, t);
        layer.lines.push_back(line);
    }
    const std::size_t n = std::min(morph.startEdges.size(), morph.endEdges.size());
    layer.edges.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Edge& s = morph.startEdges[i];
        const Edge& e = morph.endEdges[i];
        Edge edge = s;
        edge.from = lerpPoint(s.from, e.from, t);
        edge.to = lerpPoint(s.to, e.to, t);
        edge.control = lerpPoint(s.control, e.control, t);
        edge.curved = s.curved || e.curved;
        layer.edges.push_back(edge);
    }
    return shape;
}

} // namespace qev::swf
