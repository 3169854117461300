#include "engine/PointHit.h"

#include "engine/Bounds.h"
#include "render/Paint.h"

namespace qev::swf::engine {

namespace {

constexpr int maxNesting = 32;

// Whether what a script drew on the timeline lies under p: within its bounds.
bool drawingCovers(const Movie& movie, const TimelineState& t, const QTransform& toStage, QPointF p)
{
    if (!t.drawing)
        return false;
    TimelineState drawingOnly;
    drawingOnly.drawing = t.drawing;
    return listBounds(movie, drawingOnly, toStage).contains(p);
}

} // namespace

QPainterPath shapeCoverage(const Shape& shape)
{
    QPainterPath path = render::prepareShape(shape).coverage();
    if (path.isEmpty() && !shape.bounds.isEmpty())
        path.addRect(QRectF(shape.bounds.xMin, shape.bounds.yMin, shape.bounds.width(), shape.bounds.height()));
    return path;
}

bool PointHit::visit(int nesting)
{
    if (nesting > maxNesting || visitsLeft_ == 0)
        return false;
    --visitsLeft_;
    return true;
}

const QPainterPath& PointHit::coverage(std::uint16_t shapeId)
{
    auto it = coverage_.find(shapeId);
    if (it != coverage_.end())
        return it->second;
    const Shape* shape = movie_.find<Shape>(shapeId);
    return coverage_.emplace(shapeId, shape ? shapeCoverage(*shape) : QPainterPath()).first->second;
}

bool PointHit::contentHits(const Instance& inst, const QTransform& toStage, QPointF p, int nesting)
{
    if (!visit(nesting))
        return false;
    if (!inst.sprite.empty()) {
        const TimelineState& t = inst.sprite.front();
        for (auto it = t.list.rbegin(); it != t.list.rend(); ++it) {
            const Instance& child = it->second;
            if (child.visible && child.clipDepth == 0 && !child.isScriptMask
                && contentHits(child, child.matrix.toTransform() * toStage, p, nesting + 1))
                return true;
        }
        return drawingCovers(movie_, t, toStage, p);
    }
    if (!inst.textField && movie_.find<Shape>(inst.characterId)) {
        bool invertible = false;
        const QTransform back = toStage.inverted(&invertible);
        return invertible && coverage(inst.characterId).contains(back.map(p));
    }
    return instanceBounds(movie_, inst, toStage).contains(p);
}

bool PointHit::hits(const Instance& inst, const QTransform& toStage, QPointF p)
{
    visitsLeft_ = maxVisits;
    return contentHits(inst, toStage, p, 0);
}

bool PointHit::deepestClip(const std::map<int, Instance>& list, const QTransform& toStage, QPointF p,
                           const Instance* skip, std::vector<int>& path)
{
    if (path.empty())
        visitsLeft_ = maxVisits;
    if (!visit(int(path.size())))
        return false;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const Instance& inst = it->second;
        if (&inst == skip || !inst.visible || inst.clipDepth != 0 || inst.isScriptMask)
            continue;
        const QTransform m = inst.matrix.toTransform() * toStage;
        path.push_back(it->first);
        if (!inst.sprite.empty()) {
            // A clip inside it under the point is deeper; else the clip
            // itself, when something of its own is.
            const TimelineState& t = inst.sprite.front();
            if (deepestClip(t.list, m, p, skip, path))
                return true;
            if (drawingCovers(movie_, t, m, p))
                return true;
        } else if (contentHits(inst, m, p, int(path.size()))) {
            // A shape or text directly on this list: the list's own clip.
            path.pop_back();
            return true;
        }
        path.pop_back();
    }
    return false;
}

} // namespace qev::swf::engine
