#pragma once

// Helpers for the sound tests: what a stretch of the mix sounds like (the
// level of one pitch, the overall level), movies played frame by frame
// into a mix, and codec data made at test time with FFmpeg's encoders.

#include "qev/swf/Player.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace qev::swf::testing {

constexpr int kMix = 44100;

// One channel (0 left, 1 right) of interleaved stereo, from frame `from`
// for `count` frames, as doubles of full scale.
inline std::vector<double> channel(const std::vector<std::int16_t>& stereo, std::size_t from, std::size_t count, int side)
{
    std::vector<double> out;
    for (std::size_t i = from; i < from + count && i * 2 + 1 < stereo.size(); ++i)
        out.push_back(stereo[i * 2 + std::size_t(side)] / 32768.0);
    return out;
}

// The amplitude of the sine of frequency hz in the signal (Goertzel):
// 0.5 for a sine of half full scale at exactly that pitch, near 0 for
// silence or another pitch.
inline double toneLevel(const std::vector<double>& x, double hz, int rate = kMix)
{
    if (x.empty())
        return 0;
    const double w = 2 * std::numbers::pi * hz / rate;
    double s1 = 0, s2 = 0;
    const double c = 2 * std::cos(w);
    for (double v : x) {
        const double s = v + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / double(x.size());
}

inline double rms(const std::vector<double>& x)
{
    double sum = 0;
    for (double v : x)
        sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

// Plays a movie for n frames the way `swfrun --audio` does and returns the
// mix (interleaved stereo at 44.1 kHz).
inline std::vector<std::int16_t> playMix(Player& player, const QByteArray& movie, int frames)
{
    player.setSoundCapture(true);
    const QString error = player.loadBytes(movie);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    std::vector<std::int16_t> mix;
    for (int f = 0; f < frames; ++f) {
        if (f > 0)
            player.advance();
        const auto part = player.mixFrame();
        mix.insert(mix.end(), part.begin(), part.end());
    }
    return mix;
}

// Where frame f starts in the mix, at fps frames per second.
inline std::size_t frameStart(int f, double fps)
{
    return std::size_t(std::llround(f * kMix / fps));
}

// Codec data made by FFmpeg's encoder `name` ("libmp3lame", "nellymoser",
// "libspeex", "aac") from mono 16-bit samples at rate: the packets one
// after the other. Empty when the encoder is missing. setup receives the
// codec's configuration where it has one (AAC's AudioSpecificConfig).
QByteArray encodeWithFfmpeg(const char* name, const std::vector<std::int16_t>& samples, int rate,
                            std::vector<QByteArray>* packets = nullptr, QByteArray* setup = nullptr);

} // namespace qev::swf::testing
