#pragma once

// The sound track of an FLV file from a given time on, decoded as the
// mixer asks for it. Each audio tag carries its own codec byte (MP3, AAC,
// ADPCM, Nellymoser, Speex, PCM); a change of codec mid-file starts a new
// decoder. Tags are placed by their time stamps: a gap in the track is
// silence, so the sound keeps in step with the pictures of the same file.

#include "media/SoundDecoder.h"
#include "media/SoundSource.h"
#include "video/FlvFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace qev::swf::video {

class FlvSound : public media::SoundSource {
public:
    // packets: the file's audio tags in file order, shared with the
    // playback; the sound starts with the first tag at or after startMs.
    FlvSound(std::shared_ptr<const std::vector<FlvAudioPacket>> packets, double startMs);

    std::size_t read(media::Pcm& out, std::size_t frames) override;
    bool finished() const override;
    // The first problem met, if any (empty while all is well).
    QString error() const { return error_; }

private:
    void decodeNext();
    // A decoder for the tag's codec byte, kept while the byte stays the same.
    media::SoundDecoder* decoderFor(std::uint8_t format);

    std::shared_ptr<const std::vector<FlvAudioPacket>> packets_;
    double startMs_;
    std::size_t next_ = 0;
    std::unique_ptr<media::SoundDecoder> decoder_;
    int decoderFormat_ = -1;
    QByteArray aacSetup_; // AAC's AudioSpecificConfig, from its sequence header tag
    std::uint64_t produced_ = 0; // frames put into pending_ since the start
    media::Pcm pending_;
    std::size_t taken_ = 0;
    QString error_;
};

// The encoding an FLV audio tag's first byte declares.
SoundEncoding flvSoundEncoding(std::uint8_t format);

} // namespace qev::swf::video
