#include "engine/ScriptDrawing.h"

namespace qev::swf {

namespace {

// Lines end a run where their style changes or a fill begins or ends, so
// that they lie over the fill drawn with them.
void flushLine(ScriptDrawing& d)
{
    if (d.linePath.elementCount() > 1) {
        ScriptDrawing::Item item;
        item.path = d.linePath;
        item.line = true;
        item.lineWidth = d.lineWidth;
        item.lineColor = d.lineColor;
        d.items.push_back(std::move(item));
    }
    d.linePath = QPainterPath();
    d.linePath.moveTo(d.pen);
}

} // namespace

void ScriptDrawing::moveTo(QPointF p)
{
    pen = p;
    if (fill)
        fillPath.moveTo(p);
    linePath.moveTo(p);
}

void ScriptDrawing::lineTo(QPointF p)
{
    if (fill)
        fillPath.lineTo(p);
    if (lineOn)
        linePath.lineTo(p);
    else
        linePath.moveTo(p);
    pen = p;
}

void ScriptDrawing::curveTo(QPointF control, QPointF p)
{
    if (fill)
        fillPath.quadTo(control, p);
    if (lineOn)
        linePath.quadTo(control, p);
    else
        linePath.moveTo(p);
    pen = p;
}

void ScriptDrawing::setLine(bool on, double width, Rgba color)
{
    flushLine(*this);
    lineOn = on;
    lineWidth = width;
    lineColor = color;
}

void ScriptDrawing::beginFill(std::optional<Paint> paint)
{
    endFill();
    fill = std::move(paint);
    fillPath = QPainterPath();
    fillPath.moveTo(pen);
}

void ScriptDrawing::endFill()
{
    if (fill && fillPath.elementCount() > 2) {
        // An open fill closes back to where it began.
        fillPath.closeSubpath();
        Item item;
        item.path = fillPath;
        item.fill = fill;
        items.push_back(std::move(item));
    }
    flushLine(*this);
    fill.reset();
    fillPath = QPainterPath();
}

void ScriptDrawing::clear()
{
    *this = ScriptDrawing{{}, {}, {}, {}, false, 0, {}, {}, revision};
}

std::vector<ScriptDrawing::Item> ScriptDrawing::picture() const
{
    ScriptDrawing copy = *this;
    copy.endFill();
    return copy.items;
}

} // namespace qev::swf
