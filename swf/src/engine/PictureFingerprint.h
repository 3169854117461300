#pragma once

#include "engine/State.h"

#include <cstdint>

namespace qev::swf::engine {

// A 64-bit digest of everything in a state that shows on the stage: the
// background and, for every object drawn, what it is, where, in which
// colours, with which filters and blend mode, and what it holds. Two states
// with the same digest draw the same picture, so a frame whose digest did
// not change need not be drawn again. Names, uids and play states are left
// out: they do not show.
std::uint64_t pictureFingerprint(const RootState& state);
// The same for one object of a display list at its depth, and what it holds.
std::uint64_t objectFingerprint(int depth, const Instance& instance);

} // namespace qev::swf::engine
