#pragma once

// Sound that arrives as it is decoded, for the mixer's streams: the
// streaming sound of a timeline, or the sound track of an FLV file.

#include "media/Pcm.h"

#include <cstddef>

namespace qev::swf::media {

class SoundSource {
public:
    virtual ~SoundSource() = default;
    // Appends up to `frames` more frames of 44.1 kHz stereo to out; fewer
    // once the sound is used up. Returns the number appended.
    virtual std::size_t read(Pcm& out, std::size_t frames) = 0;
    virtual bool finished() const = 0;
};

} // namespace qev::swf::media
