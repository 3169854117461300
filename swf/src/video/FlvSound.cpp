#include "video/FlvSound.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::video {

namespace {

// Up to this much time between where the sound has got to and where a
// tag's time stamp puts it is left alone (time stamps are whole
// milliseconds, and decoders hold back a frame at the start); a larger
// gap, as recorders leave in silent stretches, is filled with silence.
constexpr double kToleranceMs = 40;

// The most one tag may give: a tag holds well under a second of sound, and
// damaged data must not push the rest of the track out of step.
constexpr std::size_t kMaxFramesPerTag = media::kMixRate;

constexpr std::uint8_t kAac = 10;

std::size_t framesOf(double ms)
{
    return ms > 0 ? std::size_t(std::llround(ms * media::kMixRate / 1000.0)) : 0;
}

} // namespace

SoundEncoding flvSoundEncoding(std::uint8_t format)
{
    SoundEncoding e;
    e.format = SoundFormat(format >> 4);
    e.rateCode = (format >> 2) & 3;
    e.sixteenBit = (format & 2) != 0;
    e.stereo = (format & 1) != 0;
    return e;
}

FlvSound::FlvSound(std::shared_ptr<const std::vector<FlvAudioPacket>> packets, double startMs)
    : packets_(std::move(packets)), startMs_(std::max(0.0, startMs))
{
    // AAC needs the configuration from its sequence header, which files
    // store once at the start: look for it before skipping ahead.
    for (const FlvAudioPacket& p : *packets_) {
        if ((p.format >> 4) == kAac && !p.data.isEmpty() && p.data[0] == 0) {
            aacSetup_ = p.data.mid(1);
            break;
        }
    }
    while (next_ < packets_->size() && double((*packets_)[next_].timeMs) < startMs_)
        ++next_;
}

media::SoundDecoder* FlvSound::decoderFor(std::uint8_t format)
{
    if (decoder_ && decoderFormat_ == format)
        return decoder_.get();
    const SoundEncoding encoding = flvSoundEncoding(format);
    decoder_ = std::make_unique<media::SoundDecoder>(encoding, (format >> 4) == kAac ? QByteArrayView(aacSetup_)
                                                                                      : QByteArrayView());
    decoderFormat_ = format;
    if (!decoder_->ok() && error_.isEmpty())
        error_ = decoder_->error();
    return decoder_.get();
}

void FlvSound::decodeNext()
{
    const FlvAudioPacket& p = (*packets_)[next_++];
    QByteArrayView data(p.data);
    if ((p.format >> 4) == kAac) {
        if (data.isEmpty())
            return;
        if (data[0] == 0) { // a sequence header: the configuration of what follows
            if (data.sliced(1) != QByteArrayView(aacSetup_)) {
                aacSetup_ = data.sliced(1).toByteArray();
                decoder_.reset();
            }
            return;
        }
        data = data.sliced(1);
    }
    // Fill a gap before the tag's time with silence; the first tag after
    // a start part way in begins exactly at its time.
    const std::size_t due = framesOf(double(p.timeMs) - startMs_);
    const std::size_t tolerance = produced_ == 0 ? 0 : framesOf(kToleranceMs);
    if (due > produced_ + tolerance) {
        const std::size_t gap = std::min(due - produced_, kMaxFramesPerTag);
        pending_.samples.insert(pending_.samples.end(), gap * 2, 0);
        produced_ += gap;
    }
    media::SoundDecoder* decoder = decoderFor(p.format);
    if (!decoder->ok())
        return;
    const std::size_t before = pending_.frames();
    decoder->decode(data, pending_, before + kMaxFramesPerTag);
    if (error_.isEmpty() && !decoder->error().isEmpty())
        error_ = decoder->error();
    produced_ += pending_.frames() - before;
}

std::size_t FlvSound::read(media::Pcm& out, std::size_t frames)
{
    while (pending_.frames() - taken_ < frames && next_ < packets_->size())
        decodeNext();
    if (next_ >= packets_->size() && decoder_ && pending_.frames() - taken_ < frames) {
        // The end of the track: what the decoder still holds.
        const std::size_t before = pending_.frames();
        decoder_->flush(pending_, before + kMaxFramesPerTag);
        produced_ += pending_.frames() - before;
        decoder_.reset();
    }
    const std::size_t take = std::min(frames, pending_.frames() - taken_);
    out.samples.insert(out.samples.end(), pending_.samples.begin() + std::ptrdiff_t(taken_ * 2),
                       pending_.samples.begin() + std::ptrdiff_t((taken_ + take) * 2));
    taken_ += take;
    // Drop what has been read once it is most of the buffer.
    if (taken_ > 0 && taken_ * 2 >= pending_.frames()) {
        pending_.samples.erase(pending_.samples.begin(), pending_.samples.begin() + std::ptrdiff_t(taken_ * 2));
        taken_ = 0;
    }
    return take;
}

bool FlvSound::finished() const
{
    return next_ >= packets_->size() && !decoder_ && pending_.frames() <= taken_;
}

} // namespace qev::swf::video
