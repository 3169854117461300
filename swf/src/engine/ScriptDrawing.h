#pragma once

// What a clip's drawing methods (lineStyle, beginFill, moveTo, lineTo,
// curveTo, endFill, clear) drew, in the clip's coordinates in twips. The
// clip shows it beneath its children.

#include <qev/swf/model/Geometry.h>

#include <QPainterPath>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

struct ScriptDrawing {
    struct Gradient {
        bool radial = false;
        std::vector<std::pair<double, Rgba>> stops; // ratio 0..1, colour
        QTransform matrix;                          // the unit square (-16384..16384 twips) to the clip
    };
    struct Paint {
        Rgba color;
        std::optional<Gradient> gradient;
    };
    // One filled area or one run of lines, in drawing order.
    struct Item {
        QPainterPath path;
        std::optional<Paint> fill;
        double lineWidth = 0; // twips; lines of width 0 are hairlines
        Rgba lineColor;
        bool line = false;
    };
    std::vector<Item> items;
    // Drawing in progress.
    QPointF pen;
    std::optional<Paint> fill;
    QPainterPath fillPath;
    bool lineOn = false;
    double lineWidth = 0;
    Rgba lineColor;
    QPainterPath linePath;
    // Changes with every command, so a changed drawing is drawn again.
    std::uint64_t revision = 0;

    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void curveTo(QPointF control, QPointF p);
    void setLine(bool on, double width, Rgba color);
    void beginFill(std::optional<Paint> paint);
    void endFill();
    void clear();
    // The items with what is in progress closed, for drawing and bounds.
    std::vector<Item> picture() const;
};

} // namespace qev::swf
