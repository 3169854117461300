#pragma once

// What the renderer draws with: colour transforms, shapes assembled into
// outlines per style, and the brushes and pens for fill and line styles.

#include <qev/swf/model/Shape.h>

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qev::swf::render {

// A colour transform in floating point, so that nested transforms compose
// without rounding: each channel c (0..255) becomes c * mul + add, clamped.
// Channel order: red, green, blue, alpha.
struct CxForm {
    float mul[4] = {1, 1, 1, 1};
    float add[4] = {0, 0, 0, 0};

    static CxForm from(const ColorTransform& t);
    bool isIdentity() const;
    // Only alpha is scaled (what a painter's opacity can carry).
    bool isAlphaOnly() const;
    QColor apply(const Rgba& c) const;
    QColor apply(const QColor& c) const;
    // The transform that applies inner first, then outer.
    static CxForm compose(const CxForm& outer, const CxForm& inner);
    bool operator==(const CxForm&) const = default;
};

// One layer of a shape: fillPaths[i] is the outline of fill style i + 1,
// linePaths[i] the runs of line style i + 1 (shape coordinates, twips).
struct PreparedLayer {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<QPainterPath> fillPaths;
    std::vector<QPainterPath> linePaths;
    // Outlines of lines that scale with their object, made on first use:
    // in shape coordinates they do not depend on the transform.
    mutable std::vector<std::optional<QPainterPath>> lineOutlines;
    // Brushes of the fills without a colour transform, made on first use.
    mutable std::vector<std::optional<QBrush>> plainBrushes;
};

struct PreparedShape {
    std::vector<PreparedLayer> layers;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    // Everything the fills cover, as one winding-rule outline (masks);
    // made on first use.
    const QPainterPath& coverage() const;
    mutable std::optional<QPainterPath> coverageCache;
};

// Assembles a shape's edges into closed outlines per fill style and into
// runs per line style. Fill-0 edges are reversed so that every fill's edges
// run the same way round, then each fill's edges are joined end to start
// into loops. A glyph (version 0) fills everything bounded by its edges.
PreparedShape prepareShape(const Shape& shape);

// A bitmap by character id with a colour transform applied to its pixels;
// a null image when the id names no bitmap.
using BitmapLookup = std::function<QImage(std::uint16_t id, const CxForm& cx)>;

// The brush for a fill style under a colour transform, in shape coordinates.
// A bitmap fill that names no known bitmap gives Qt::NoBrush.
QBrush makeBrush(const FillStyle& fill, const CxForm& cx, const BitmapLookup& bitmaps);

// The colour stops of a gradient under a colour transform, with the extra
// stops that make linear-RGB interpolation look right in Qt's sRGB gradients.
QGradientStops gradientStops(const Gradient& gradient, const CxForm& cx);

// The pen for a line style. deviceScale is how many device pixels one twip
// of the shape covers (the square root of the full transform's determinant);
// viewScale the device pixels per stage twip, for lines that do not scale.
QPen makePen(const LineStyle& line, const CxForm& cx, const BitmapLookup& bitmaps, double deviceScale,
             double viewScale);

// A bitmap with a colour transform applied to its pixels.
QImage transformedImage(const QImage& image, const CxForm& cx);

// A clipped bitmap fill (0x41, 0x43) does not tile: past the bitmap's
// edges each row and column goes on in the colour of its edge pixel. A
// brush of a tiled bitmap (as makeBrush gives) is turned into one whose
// image covers `area` (shape coordinates) with the edges so extended; the
// extension is bounded, and a fill reaching further tiles beyond it.
QBrush clampedBitmapBrush(const QBrush& tiled, const QRectF& area);

} // namespace qev::swf::render
