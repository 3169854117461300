#pragma once

// Shapes, already decoded from their records into edges.
//
// The reader walks the shape records with a pen and emits one Edge per
// straight or curved edge record, absolute in the shape's coordinates
// (twips), in file order. Moves are implicit: an edge whose `from` differs
// from the previous edge's `to` starts a new sub-path.
//
// Each edge carries the three styles that were current when it was drawn:
// fill0, fill1 and line, as 1-based indices into the style arrays of its
// layer (0 = none). The reader guarantees every non-zero index is valid for
// that layer. Edges are stored as drawn: the renderer reverses the fill0
// edges itself so that all edges of one fill run the same way (fill0 and
// fill1 lie on opposite sides of the edge), then joins each fill's edges
// end to start into closed loops.
//
// A "new styles" record starts a new layer with its own style arrays; draw
// the layers in order, each one's fills (in style order) then its lines.

#include <qev/swf/model/Styles.h>

#include <cstdint>
#include <vector>

namespace qev::swf {

struct Edge {
    Point from;
    Point control; // curved edges only: the quadratic Bezier control point
    Point to;
    bool curved = false;
    std::uint16_t fill0 = 0;
    std::uint16_t fill1 = 0;
    std::uint16_t line = 0;
    friend bool operator==(const Edge&, const Edge&) = default;
};

struct ShapeLayer {
    std::vector<FillStyle> fills; // fill index i refers to fills[i - 1]
    std::vector<LineStyle> lines; // line index i refers to lines[i - 1]
    std::vector<Edge> edges;
    friend bool operator==(const ShapeLayer&, const ShapeLayer&) = default;
};

// DefineShape 1..4, and glyph outlines (version 0: no styles, see Font).
struct Shape {
    int version = 1;      // 1..4 for DefineShape N; 0 for a glyph
    Rect bounds;          // including line widths
    Rect edgeBounds;      // DefineShape4 only; otherwise equal to bounds
    bool nonZeroWinding = false;      // DefineShape4 UsesFillWindingRule; otherwise fills are even-odd
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<ShapeLayer> layers;   // at least one layer once read

    friend bool operator==(const Shape&, const Shape&) = default;
};

// DefineMorphShape 1 and 2. One style set; every style has a start and an
// end value. startEdges and endEdges have the same length and pair up one to
// one (the reader makes both curved, with the straight one's control point at
// its midpoint, when only one of a pair is curved). End edges copy the style
// indices of their start edges. Use morphShapeAt() to get the shape for a
// ratio.
struct MorphFillStyle {
    FillStyle start;
    FillStyle end;
    friend bool operator==(const MorphFillStyle&, const MorphFillStyle&) = default;
};

struct MorphLineStyle {
    LineStyle start; // caps, joins, flags are shared: read from `start`
    LineStyle end;
    friend bool operator==(const MorphLineStyle&, const MorphLineStyle&) = default;
};

struct MorphShape {
    int version = 1; // DefineMorphShape 1 or 2
    Rect startBounds;
    Rect endBounds;
    Rect startEdgeBounds; // version 2 only; otherwise the bounds
    Rect endEdgeBounds;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<MorphFillStyle> fills;
    std::vector<MorphLineStyle> lines;
    std::vector<Edge> startEdges;
    std::vector<Edge> endEdges;
    friend bool operator==(const MorphShape&, const MorphShape&) = default;
};

// The shape of a morph at ratio 0.0 (start) .. 1.0 (end); PlaceObject's
// ratio is 0..65535, so pass ratio / 65535.0. Colours, positions, widths,
// matrices and gradient records are interpolated linearly; one layer.
Shape morphShapeAt(const MorphShape& morph, double ratio);

} // namespace qev::swf
