#include "render/Paint.h"

#include <algorithm>
#include <unordered_map>

namespace qev::swf::render {
namespace {

struct DirectedEdge {
    Point from;
    Point control;
    Point to;
    bool curved;
};

std::uint64_t pointKey(const Point& p)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) | static_cast<std::uint32_t>(p.y);
}

void appendEdge(QPainterPath& path, const DirectedEdge& e)
{
    if (e.curved)
        path.quadTo(e.control.x, e.control.y, e.to.x, e.to.y);
    else
        path.lineTo(e.to.x, e.to.y);
}

// Joins directed edges into loops: from each unused edge, follow an unused
// edge that starts where the last one ended (the next one in drawing order
// when there is a choice) until the loop closes or nothing continues it.
QPainterPath joinLoops(const std::vector<DirectedEdge>& edges)
{
    QPainterPath path;
    const std::size_t n = edges.size();
    if (n == 0)
        return path;
    std::unordered_multimap<std::uint64_t, std::size_t> byStart;
    byStart.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i)
        byStart.emplace(pointKey(edges[i].from), i);
    std::vector<bool> used(n, false);
    for (std::size_t first = 0; first < n; ++first) {
        if (used[first])
            continue;
        used[first] = true;
        const std::uint64_t startKey = pointKey(edges[first].from);
        path.moveTo(edges[first].from.x, edges[first].from.y);
        appendEdge(path, edges[first]);
        std::size_t cur = first;
        while (pointKey(edges[cur].to) != startKey) {
            std::size_t next = n;
            std::size_t wrapped = n;
            auto range = byStart.equal_range(pointKey(edges[cur].to));
            for (auto it = range.first; it != range.second; ++it) {
                const std::size_t i = it->second;
                if (used[i])
                    continue;
                if (i > cur)
                    next = std::min(next, i);
                else
                    wrapped = std::min(wrapped, i);
            }
            if (next == n)
                next = wrapped;
            if (next == n)
                break;
            used[next] = true;
            appendEdge(path, edges[next]);
            cur = next;
        }
        path.closeSubpath();
    }
    return path;
}

// Line runs keep their drawing order: a run goes on while each edge starts
// where the previous one ended, and is closed (joined, not capped) when it
// comes back to its start.
QPainterPath lineRuns(const std::vector<DirectedEdge>& edges)
{
    QPainterPath path;
    bool open = false;
    Point start, last;
    for (const DirectedEdge& e : edges) {
        if (!open || !(e.from == last)) {
            if (open && last == start)
                path.closeSubpath();
            path.moveTo(e.from.x, e.from.y);
            start = e.from;
            open = true;
        }
        appendEdge(path, e);
        last = e.to;
    }
    if (open && last == start)
        path.closeSubpath();
    return path;
}

} // namespace

PreparedShape prepareShape(const Shape& shape)
{
    PreparedShape out;
    out.fillRule = shape.nonZeroWinding ? Qt::WindingFill : Qt::OddEvenFill;
    for (const ShapeLayer& layer : shape.layers) {
        PreparedLayer pl;
        pl.fills = layer.fills;
        pl.lines = layer.lines;
        // A glyph has no styles: any fill index marks the inside.
        const bool glyph = shape.version == 0;
        const std::size_t fillCount = glyph ? 1 : layer.fills.size();
        std::vector<std::vector<DirectedEdge>> fillEdges(fillCount);
        std::vector<std::vector<DirectedEdge>> lineEdges(layer.lines.size());
        for (const Edge& e : layer.edges) {
            const DirectedEdge forward{e.from, e.control, e.to, e.curved};
            const DirectedEdge backward{e.to, e.control, e.from, e.curved};
            if (glyph) {
                if (e.fill1 != 0)
                    fillEdges[0].push_back(forward);
                else if (e.fill0 != 0)
                    fillEdges[0].push_back(backward);
                continue;
            }
            if (e.fill1 != 0 && e.fill1 <= fillCount)
                fillEdges[e.fill1 - 1].push_back(forward);
            if (e.fill0 != 0 && e.fill0 <= fillCount && e.fill0 != e.fill1)
                fillEdges[e.fill0 - 1].push_back(backward);
            if (e.line != 0 && e.line <= lineEdges.size())
                lineEdges[e.line - 1].push_back(forward);
        }
        for (const auto& edges : fillEdges) {
            QPainterPath p = joinLoops(edges);
            p.setFillRule(glyph ? Qt::OddEvenFill : out.fillRule);
            pl.fillPaths.push_back(std::move(p));
        }
        for (const auto& edges : lineEdges)
            pl.linePaths.push_back(lineRuns(edges));
        out.layers.push_back(std::move(pl));
    }
    return out;
}

const QPainterPath& PreparedShape::coverage() const
{
    if (coverageCache)
        return *coverageCache;
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    int parts = 0;
    QPainterPath single;
    for (const PreparedLayer& l : layers) {
        for (const QPainterPath& p : l.fillPaths) {
            if (p.isEmpty())
                continue;
            ++parts;
            single = p;
            // simplified() removes overlaps under the path's own rule, so the
            // pieces can be added up under the winding rule.
            all.addPath(p.simplified());
        }
    }
    coverageCache = parts == 1 ? single : all;
    return *coverageCache;
}

} // namespace qev::swf::render
