#pragma once

#include <cstdint>
#include <limits>

namespace qev::player {

// The frame a stepping timer writes: frame + step in 32-bit signed
// arithmetic. A result beyond the 32-bit range stops at its end instead of
// overflowing; the movie control clamps every frame to the movie anyway,
// so a saturated step is indistinguishable from an exact one.
constexpr std::int32_t steppedFrame(std::int32_t frame, std::int32_t step)
{
    const std::int64_t next = std::int64_t{frame} + step;
    if (next > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (next < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(next);
}

} // namespace qev::player
