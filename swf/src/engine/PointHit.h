#pragma once

// Whether what is on the stage covers a point: shapes by their filled
// outlines, everything else by its bounds. Scripts ask this for
// hitTest(x, y, true) and for the clip a dragged clip was dropped on.

#include "engine/State.h"

#include <QPainterPath>
#include <QPointF>
#include <QTransform>

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace qev::swf::engine {

// The area a shape's fills cover (twips, in the shape's space); a shape of
// lines only covers its bounds.
QPainterPath shapeCoverage(const Shape& shape);

class PointHit {
public:
    explicit PointHit(const Movie& movie) : movie_(movie) {}

    // Whether the instance's content covers the stage point p (twips);
    // toStage maps the instance's own space to the stage. Hidden children
    // and masks are left out; the instance itself counts even when hidden.
    bool hits(const Instance& inst, const QTransform& toStage, QPointF p);
    // The deepest clip of list (topmost first) whose content covers p, as
    // depths appended to path; skip and all it holds are left out.
    bool deepestClip(const std::map<int, Instance>& list, const QTransform& toStage, QPointF p, const Instance* skip,
                     std::vector<int>& path);

    // A search that looked at this many objects gives up.
    static constexpr std::size_t maxVisits = 20000;

private:
    bool contentHits(const Instance& inst, const QTransform& toStage, QPointF p, int nesting);
    const QPainterPath& coverage(std::uint16_t shapeId);
    bool visit(int nesting);

    const Movie& movie_;
    std::unordered_map<std::uint16_t, QPainterPath> coverage_;
    std::size_t visitsLeft_ = 0;
};

} // namespace qev::swf::engine
