#pragma once

// Bitmap filters of placed objects, applied to an offscreen layer that holds
// the object drawn in device pixels (QImage::Format_ARGB32_Premultiplied).
// Blur sizes and distances in the model are stage pixels; `scale` is the
// number of device pixels per stage pixel, so filters grow with the stage.
// Every filter keeps the image size: the caller grows the layer beforehand
// by filterPadding().

#include <qev/swf/model/Filters.h>

#include <QImage>
#include <QMargins>

#include <cstdint>
#include <vector>

namespace qev::swf::effects {

// How far a filter's output may reach past the drawn pixels.
QMargins filterPadding(const Filter& filter, double scale);
QMargins filterPadding(const std::vector<Filter>& filters, double scale);

// Applies one filter (or a chain, in order) in place.
void applyFilter(QImage& image, const Filter& filter, double scale);
void applyFilters(QImage& image, const std::vector<Filter>& filters, double scale);

// Box blur of a premultiplied image, run `passes` times; blurX/blurY are the
// width of the box in pixels (1 or less leaves that direction untouched).
void blur(QImage& image, double blurX, double blurY, int passes);

// Blurs one 8-bit plane of width x height (row-major) in place, as blur()
// does each channel.
void blurPlane(std::vector<std::uint8_t>& plane, int width, int height, double blurX, double blurY,
               int passes);

// Pixels a blur of this box width and passes reaches past the drawn pixels.
int blurReach(double width, int passes);

} // namespace qev::swf::effects
