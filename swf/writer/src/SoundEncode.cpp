#include "qev/swf/SoundWriter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace qev::swf::writer {

namespace {

enum : int {
    TagDefineSound = 14,
    TagStartSound = 15,
    TagDefineButtonSound = 17,
    TagSoundStreamHead = 18,
    TagSoundStreamBlock = 19,
    TagSoundStreamHead2 = 45,
    TagStartSound2 = 89,
};

std::uint8_t encodingByte(const SoundEncoding& e)
{
    return std::uint8_t((std::uint8_t(e.format) << 4) | ((e.rateCode & 3) << 2) | (e.sixteenBit ? 2 : 0) | (e.stereo ? 1 : 0));
}

// The step sizes of IMA ADPCM, which the format's ADPCM uses.
constexpr int kSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// How the step index moves after a code, by code size; indexed by the
// code's magnitude bits.
const std::vector<int>& indexMoves(int bits)
{
    static const std::vector<int> two = {-1, 2};
    static const std::vector<int> three = {-1, -1, 2, 4};
    static const std::vector<int> four = {-1, -1, -1, -1, 2, 4, 6, 8};
    static const std::vector<int> five = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
    return bits == 2 ? two : bits == 3 ? three : bits == 4 ? four : five;
}

// One channel's predictor: picks the code nearest the next sample and
// follows the decoder exactly, so errors never add up.
struct AdpcmChannel {
    int sample = 0;
    int index = 0;

    std::uint32_t encode(int target, int bits)
    {
        const std::uint32_t signBit = 1u << (bits - 1);
        int diff = target - sample;
        std::uint32_t code = 0;
        if (diff < 0) {
            code = signBit;
            diff = -diff;
        }
        int step = kSteps[index];
        for (std::uint32_t bit = signBit >> 1; bit != 0; bit >>= 1) {
            if (diff >= step) {
                code |= bit;
                diff -= step;
            }
            step >>= 1;
        }
        apply(code, bits);
        return code;
    }

    void apply(std::uint32_t code, int bits)
    {
        const std::uint32_t signBit = 1u << (bits - 1);
        int step = kSteps[index];
        int delta = 0;
        for (std::uint32_t bit = signBit >> 1; bit != 0; bit >>= 1) {
            if (code & bit)
                delta += step;
            step >>= 1;
        }
        delta += step;
        sample = std::clamp(code & signBit ? sample - delta : sample + delta, -32768, 32767);
        index = std::clamp(index + indexMoves(bits)[code & (signBit - 1)], 0, 88);
    }
};

} // namespace

QByteArray encodeSoundInfo(const SoundInfo& info)
{
    BitWriter w;
    const bool loops = info.loops != 1;
    w.u8((info.stop ? 0x20 : 0) | (info.noMultiple ? 0x10 : 0) | (info.envelope.empty() ? 0 : 0x08) | (loops ? 0x04 : 0)
         | (info.outPoint ? 0x02 : 0) | (info.inPoint ? 0x01 : 0));
    if (info.inPoint)
        w.u32(*info.inPoint);
    if (info.outPoint)
        w.u32(*info.outPoint);
    if (loops)
        w.u16(info.loops);
    if (!info.envelope.empty()) {
        if (info.envelope.size() > 255)
            throw std::invalid_argument("an envelope holds at most 255 points");
        w.u8(std::uint32_t(info.envelope.size()));
        for (const EnvelopePoint& p : info.envelope) {
            w.u32(p.position44);
            w.u16(p.left);
            w.u16(p.right);
        }
    }
    return w.data();
}

QByteArray encodeDefineSoundBody(const Sound& sound)
{
    BitWriter w;
    w.u8(encodingByte(sound.encoding));
    w.u32(sound.sampleCount);
    if (sound.encoding.format == SoundFormat::Mp3)
        w.u16(std::uint16_t(sound.seekSamples));
    w.bytes(sound.data);
    return w.data();
}

std::uint16_t defineSound(MovieBuilder& movie, const Sound& sound)
{
    return movie.defineRaw(TagDefineSound, encodeDefineSoundBody(sound));
}

void startSound(TimelineBuilder& timeline, std::uint16_t soundId, const SoundInfo& info)
{
    BitWriter w;
    w.u16(soundId);
    w.bytes(encodeSoundInfo(info));
    timeline.rawTag(TagStartSound, w.data());
}

void startSound2(TimelineBuilder& timeline, const QString& className, const SoundInfo& info)
{
    BitWriter w;
    w.string(className);
    w.bytes(encodeSoundInfo(info));
    timeline.rawTag(TagStartSound2, w.data());
}

void soundStreamHead(TimelineBuilder& timeline, const SoundStreamHead& head, int version)
{
    BitWriter w;
    SoundEncoding playback = head.encoding;
    playback.format = SoundFormat::PcmNative; // the playback byte has no codec
    w.u8(encodingByte(playback));
    w.u8(encodingByte(head.encoding));
    w.u16(head.samplesPerBlock);
    if (head.encoding.format == SoundFormat::Mp3)
        w.u16(std::uint16_t(head.latencySeek));
    timeline.rawTag(version == 1 ? TagSoundStreamHead : TagSoundStreamHead2, w.data());
}

void soundStreamBlock(TimelineBuilder& timeline, const QByteArray& block)
{
    timeline.rawTag(TagSoundStreamBlock, block, true);
}

QByteArray mp3StreamBlock(std::uint16_t sampleCount, std::int16_t seekSamples, const QByteArray& frames)
{
    BitWriter w;
    w.u16(sampleCount);
    w.u16(std::uint16_t(seekSamples));
    w.bytes(frames);
    return w.data();
}

void defineButtonSound(MovieBuilder& movie, std::uint16_t buttonId,
                       const std::array<std::optional<ButtonSound>, 4>& sounds)
{
    BitWriter w;
    w.u16(buttonId);
    for (const std::optional<ButtonSound>& s : sounds) {
        w.u16(s ? s->soundId : 0);
        if (s && s->soundId != 0)
            w.bytes(encodeSoundInfo(s->info));
    }
    movie.rawTag(TagDefineButtonSound, w.data());
}

std::vector<std::int16_t> sineWave(double hz, double seconds, int rate, double amplitude)
{
    const auto n = std::size_t(std::llround(seconds * rate));
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = std::int16_t(std::lround(32767.0 * amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
    return out;
}

std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right)
{
    std::vector<std::int16_t> out;
    const std::size_t n = std::min(left.size(), right.size());
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(left[i]);
        out.push_back(right[i]);
    }
    return out;
}

QByteArray pcm16(const std::vector<std::int16_t>& samples)
{
    QByteArray out;
    out.reserve(qsizetype(samples.size() * 2));
    for (std::int16_t s : samples) {
        out.append(char(std::uint16_t(s) & 0xFF));
        out.append(char(std::uint16_t(s) >> 8));
    }
    return out;
}

QByteArray pcm8(const std::vector<std::int16_t>& samples)
{
    QByteArray out;
    out.reserve(qsizetype(samples.size()));
    for (std::int16_t s : samples)
        out.append(char(std::uint8_t((s >> 8) + 128)));
    return out;
}

QByteArray encodeAdpcm(const std::vector<std::int16_t>& samples, int channels, int bits)
{
    if (bits < 2 || bits > 5)
        throw std::invalid_argument("ADPCM codes have 2 to 5 bits");
    if (channels < 1 || channels > 2)
        throw std::invalid_argument("ADPCM has one or two channels");
    BitWriter w;
    w.ub(2, std::uint32_t(bits - 2));
    const std::size_t frames = samples.size() / std::size_t(channels);
    AdpcmChannel state[2];
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % 4096 == 0) {
            // A packet starts with each channel's sample as it is.
            for (int c = 0; c < channels; ++c) {
                AdpcmChannel& ch = state[c];
                ch.sample = samples[i * std::size_t(channels) + std::size_t(c)];
                ch.index = std::clamp(ch.index, 0, 63); // the field has 6 bits
                w.sb(16, ch.sample);
                w.ub(6, std::uint32_t(ch.index));
            }
            continue;
        }
        for (int c = 0; c < channels; ++c)
            w.ub(bits, state[c].encode(samples[i * std::size_t(channels) + std::size_t(c)], bits));
    }
    return w.data();
}

int rateCode(int rate)
{
    switch (rate) {
    case 5512: return 0;
    case 11025: return 1;
    case 22050: return 2;
    case 44100: return 3;
    default: throw std::invalid_argument("sound rates are 5512, 11025, 22050 or 44100");
    }
}

Sound pcmSound(const std::vector<std::int16_t>& samples, int rate, bool stereo)
{
    Sound s;
    s.encoding = SoundEncoding{SoundFormat::PcmLittle, rateCode(rate), true, stereo};
    s.sampleCount = std::uint32_t(samples.size() / (stereo ? 2 : 1));
    s.data = pcm16(samples);
    return s;
}

Sound adpcmSound(const std::vector<std::int16_t>& samples, int rate, int bits, bool stereo)
{
    Sound s;
    s.encoding = SoundEncoding{SoundFormat::Adpcm, rateCode(rate), true, stereo};
    s.sampleCount = std::uint32_t(samples.size() / (stereo ? 2 : 1));
    s.data = encodeAdpcm(samples, stereo ? 2 : 1, bits);
    return s;
}

} // namespace qev::swf::writer
