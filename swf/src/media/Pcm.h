#pragma once

// Decoded sound as the mixer plays it: 16-bit stereo, interleaved, at the
// mix rate.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qev::swf::media {

// The one rate everything is decoded to and mixed at. The format's own
// positions (in and out points, envelopes) count in samples at this rate.
constexpr int kMixRate = 44100;

struct Pcm {
    std::vector<std::int16_t> samples; // left, right, left, right, ...
    std::size_t frames() const { return samples.size() / 2; }
};

} // namespace qev::swf::media
