#pragma once

// How much of the stage what is placed covers: the bounds scripts read as
// _width, _height and getBounds().

#include "engine/State.h"

#include <QRectF>
#include <QTransform>

namespace qev::swf::engine {

// The bounds (twips) of an instance, its own matrix left out, mapped
// through toTarget. A null rectangle when it draws nothing.
QRectF instanceBounds(const Movie& movie, const Instance& inst, const QTransform& toTarget);
// The bounds of everything on a display list, mapped through toTarget.
QRectF listBounds(const Movie& movie, const TimelineState& t, const QTransform& toTarget);

} // namespace qev::swf::engine
