#pragma once

// Draws display objects that have filters, a blend mode other than normal,
// or a cached bitmap with an opaque background through an offscreen layer:
// the object is drawn into a transparent image of the device's size, its
// drawn area is found (within the area the renderer says it drew), grown by
// what the filters need, filtered, and then composited onto what lies below
// with the object's blend mode.

#include "render/Renderer.h"

#include <QSize>

#include <memory>
#include <vector>

class QImage;

namespace qev::swf::effects {

class EffectsLayer : public render::LayerHook {
public:
    // stageSize: the movie's stage in pixels, to tell the stage scale from
    // the size of the device drawn on.
    explicit EffectsLayer(QSize stageSize);

    bool wantsLayer(const engine::Instance& instance) const override;
    render::DrawnArea drawLayer(QPainter& painter, const engine::Instance& instance, const QTransform& toDevice,
                                const render::CxForm& cx,
                                const std::function<render::DrawnArea(QPainter&)>& drawContent) override;

    // Device pixels per stage pixel when drawing the whole stage on device.
    double stageScale(const QPaintDevice& device) const;

    // Layers bigger than this many pixels a side are not made; the object is
    // then drawn directly.
    static constexpr int maxLayerSide = 8192;

private:
    QSize stageSize_;
    // The layers being drawn into, innermost last: alpha and erase act on
    // the layer they are drawn into, and as normal anywhere else.
    std::vector<const QImage*> open_;
    // One transparent image per nesting depth, kept between objects and
    // frames: after each use only the part drawn on is cleared again.
    std::vector<std::unique_ptr<QImage>> spare_;
};

} // namespace qev::swf::effects
