#pragma once

// The streaming sound of one timeline from a given frame on: the stream
// blocks of that frame and the frames after it, decoded as the mixer asks
// for samples. Each frame's block is held to its frame's share of time, so
// sound and frames cannot drift apart by a frame or more.

#include "media/Pcm.h"
#include "media/SoundDecoder.h"
#include "media/SoundSource.h"

#include <qev/swf/model/Sound.h>

#include <QByteArray>

#include <memory>
#include <vector>

namespace qev::swf::media {

class StreamSource : public SoundSource {
public:
    // blocks: the stream blocks of a timeline's frames (empty where a frame
    // has none), shared by every start of its stream; the sound starts at
    // block `first` and ends before the first frame without one.
    // frameRate: the movie's frames per second.
    StreamSource(const SoundStreamHead& head, std::shared_ptr<const std::vector<QByteArray>> blocks,
                 std::size_t first, double frameRate);

    // Appends up to `frames` more frames of sound to out; fewer once the
    // blocks are used up. Returns the number appended.
    std::size_t read(Pcm& out, std::size_t frames) override;
    bool finished() const override { return !hasNextBlock() && pending_.frames() <= taken_; }
    // The decoder's first problem, if any (empty while all is well).
    QString error() const { return decoder_.error(); }
    // Mix-rate frames that one movie frame lasts.
    double framesPerMovieFrame() const { return perFrame_; }

private:
    void decodeNextBlock();
    bool hasNextBlock() const { return next_ < blocks_->size() && !(*blocks_)[next_].isNull(); }

    SoundStreamHead head_;
    std::shared_ptr<const std::vector<QByteArray>> blocks_;
    std::size_t first_;
    SoundDecoder decoder_;
    double perFrame_;
    std::size_t next_;          // the next block to decode
    std::uint64_t produced_ = 0; // frames decoded so far, after fitting to the frames' time
    Pcm pending_;               // decoded, not yet read
    std::size_t taken_ = 0;     // frames of pending_ already read
};

} // namespace qev::swf::media
