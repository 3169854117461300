#pragma once

// Compositing of an offscreen layer onto what is already drawn, for the
// blend modes of placed objects. Both images are premultiplied ARGB32.

#include <qev/swf/model/Filters.h>

#include <QImage>
#include <QPoint>
#include <QRect>

namespace qev::swf::effects {

// Reads a blend mode number from a file; unknown numbers are normal.
BlendMode blendModeFromCode(int code);

// Whether the object must be drawn through an offscreen layer.
bool needsLayer(BlendMode mode);

// Alpha and erase change the alpha of the layer they are drawn into; drawn
// straight onto the (opaque) stage they leave nothing to see.
bool actsOnParentAlpha(BlendMode mode);

// One premultiplied source pixel blended onto one backdrop pixel.
QRgb blendPixel(QRgb source, QRgb backdrop, BlendMode mode);

// A row of count source pixels blended onto as many backdrop pixels, in
// place. Each mode has a loop of its own, chosen once for the row.
void blendRow(QRgb* backdrop, const QRgb* source, int count, BlendMode mode);

// Blends `layer` onto `backdrop` with the layer's top-left at `at`, limited
// to `clip` (in backdrop pixels) when it is valid.
void blendLayer(QImage& backdrop, const QImage& layer, QPoint at, BlendMode mode,
                QRect clip = QRect());

} // namespace qev::swf::effects
