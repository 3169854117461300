#pragma once

// Sounds: event sounds (DefineSound, started by StartSound, StartSound2 and
// button transitions) and the streaming sound of a timeline (SoundStreamHead
// and one SoundStreamBlock per frame). Sample data is kept as stored; the
// media layer decodes it.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

// The codec numbers of the format.
enum class SoundFormat : std::uint8_t {
    PcmNative = 0,      // uncompressed, byte order of the machine that made it (little-endian in practice)
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,      // uncompressed, little-endian
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Aac = 10,           // FLV files only; its configuration comes in a tag of its own
    Speex = 11,
};

// How samples are stored: codec, rate, width and channels.
struct SoundEncoding {
    SoundFormat format = SoundFormat::PcmLittle;
    int rateCode = 3;       // 0: 5512.5 Hz, 1: 11025, 2: 22050, 3: 44100 (Nellymoser 8k/16k and Speex fix their own)
    bool sixteenBit = true;
    bool stereo = false;

    // Samples per second as the codec plays them.
    int sampleRate() const
    {
        switch (format) {
        case SoundFormat::Nellymoser8k: return 8000;
        case SoundFormat::Nellymoser16k: return 16000;
        case SoundFormat::Speex: return 16000;
        default: break;
        }
        static constexpr int rates[4] = {5512, 11025, 22050, 44100};
        return rates[rateCode & 3];
    }
    int channels() const { return stereo ? 2 : 1; }
};

// DefineSound. For MP3 the data starts after the 16-bit "seek samples"
// (kept in seekSamples): it holds MP3 frames only.
struct Sound {
    SoundEncoding encoding;
    std::uint32_t sampleCount = 0; // per channel, as declared
    std::int16_t seekSamples = 0;  // MP3 only: decoder delay to skip
    QByteArray data;
};

// One point of a sound's volume envelope: from position (in samples at
// 44.1 kHz) on, the channels play at left/32768 and right/32768 (values up
// to 32768), linear between points.
struct EnvelopePoint {
    std::uint32_t position44 = 0;
    std::uint16_t left = 32768;
    std::uint16_t right = 32768;
};

// How a StartSound or button transition plays a sound.
struct SoundInfo {
    bool stop = false;       // stop every instance of the sound instead of starting one
    bool noMultiple = false; // start only if the sound is not already playing
    std::optional<std::uint32_t> inPoint;  // samples at 44.1 kHz
    std::optional<std::uint32_t> outPoint;
    std::uint16_t loops = 1; // times played in all (0 is stored as "no loop field": 1)
    std::vector<EnvelopePoint> envelope;
};

// StartSound (by id) and StartSound2 (by class name, resolved through the
// movie's exported names).
struct StartSound {
    std::uint16_t soundId = 0;
    QString className; // StartSound2 only
    SoundInfo info;
};

// SoundStreamHead and SoundStreamHead2: the format of the blocks that
// follow on the same timeline.
struct SoundStreamHead {
    SoundEncoding encoding;
    std::uint16_t samplesPerBlock = 0; // average samples per frame, per channel
    std::int16_t latencySeek = 0;      // MP3 only
};

// A button's sound for one of its four transitions.
struct ButtonSound {
    std::uint16_t soundId = 0;
    SoundInfo info;
};

} // namespace qev::swf
