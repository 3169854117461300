#include "media/StreamSource.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::media {

namespace {
// How far a stream may run ahead of or behind its frames before it is put
// back in step: MP3 blocks hold whole MP3 frames, so a block's share of
// time varies by up to one of them (1152 samples, 2304 at the mix rate
// from 22 kHz) while the average stays right.
constexpr double kSlackMixFrames = 2400;
// Past this many seconds, the samples one block decodes to are cut.
constexpr std::size_t kMaxBlockSeconds = 10;
} // namespace

StreamSource::StreamSource(const SoundStreamHead& head, std::shared_ptr<const std::vector<QByteArray>> blocks,
                           std::size_t first, double frameRate)
    : head_(head), blocks_(std::move(blocks)), first_(first), decoder_(head.encoding),
      perFrame_(kMixRate / std::clamp(frameRate, 0.01, 120.0)), next_(first)
{
}

void StreamSource::decodeNextBlock()
{
    const QByteArray& block = (*blocks_)[next_++];
    QByteArrayView data(block);
    // MP3 blocks start with their sample count and seek field.
    if (head_.encoding.format == SoundFormat::Mp3)
        data = data.size() >= 4 ? data.sliced(4) : QByteArrayView();
    // Drop what was read, keep what was not.
    if (taken_ > 0) {
        pending_.samples.erase(pending_.samples.begin(), pending_.samples.begin() + std::ptrdiff_t(taken_ * 2));
        taken_ = 0;
    }
    const std::size_t before = pending_.frames();
    decoder_.decode(data, pending_, before + std::size_t(kMaxBlockSeconds * kMixRate));
    produced_ += pending_.frames() - before;

    // Hold the stream to the frames' clock: silence where blocks fall
    // short, cut where they run long, so frame n always starts within the
    // slack of n frames' time.
    const double due = double(next_ - first_) * perFrame_;
    const double slack = std::max(kSlackMixFrames, perFrame_ / 2);
    const double ahead = double(produced_) - due;
    if (ahead < -slack) {
        const auto missing = std::size_t(std::llround(-ahead));
        pending_.samples.insert(pending_.samples.end(), missing * 2, 0);
        produced_ += missing;
    } else if (ahead > slack) {
        const auto extra = std::min<std::size_t>(std::size_t(std::llround(ahead)), pending_.frames() - taken_);
        pending_.samples.resize(pending_.samples.size() - extra * 2);
        produced_ -= extra;
    }
}

std::size_t StreamSource::read(Pcm& out, std::size_t frames)
{
    std::size_t done = 0;
    while (done < frames) {
        if (taken_ >= pending_.frames()) {
            if (!hasNextBlock())
                break;
            decodeNextBlock();
            continue;
        }
        const std::size_t n = std::min(frames - done, pending_.frames() - taken_);
        const auto from = pending_.samples.begin() + std::ptrdiff_t(taken_ * 2);
        out.samples.insert(out.samples.end(), from, from + std::ptrdiff_t(n * 2));
        taken_ += n;
        done += n;
    }
    return done;
}

} // namespace qev::swf::media
