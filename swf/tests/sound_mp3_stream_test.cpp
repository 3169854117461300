// Compressed sound in whole movies: an MP3 soundtrack streamed in blocks
// the way authoring tools cut it (whole MP3 frames per block, a sample
// count and seek per block) stays within a frame of the picture for a
// minute; MP3, Nellymoser and Speex event sounds play on their frame.

#include "qev/swf/SoundWriter.h"
#include "sound_test_support.h"

#include <gtest/gtest.h>

using namespace qev::swf;
using namespace qev::swf::testing;
using namespace qev::swf::writer;

namespace {

constexpr double kFps = 12;
constexpr int kRate = 22050;
constexpr int kMp3FrameSamples = 576; // MPEG-2 layer III at 22.05 kHz

// A streaming movie of the samples as MP3: each frame's block holds the MP3
// frames that start within that frame's time.
QByteArray mp3StreamMovie(const std::vector<std::int16_t>& samples, int frames)
{
    std::vector<QByteArray> packets;
    encodeWithFfmpeg("libmp3lame", samples, kRate, &packets);
    EXPECT_FALSE(packets.empty());
    MovieBuilder m(100, 100, kFps);
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Mp3, 2, true, false};
    head.samplesPerBlock = std::uint16_t(kRate / kFps);
    soundStreamHead(m, head);
    std::size_t next = 0;
    for (int f = 0; f < frames; ++f) {
        const double end = (f + 1) * kRate / kFps;
        QByteArray data;
        int count = 0;
        while (next < packets.size() && double(next * kMp3FrameSamples) < end) {
            data += packets[next++];
            count += kMp3FrameSamples;
        }
        soundStreamBlock(m, mp3StreamBlock(std::uint16_t(count), 0, data));
        m.showFrame();
    }
    return m.finish();
}

double levelIn(const std::vector<std::int16_t>& mix, int frame, double hz)
{
    return toneLevel(channel(mix, frameStart(frame, kFps) + 300, 3000, 0), hz);
}

TEST(SoundMp3Stream, SoundtrackStaysWithinAFrameAfterAMinute)
{
    // 440 Hz for 59 s, then 660 Hz: the change must be heard on frame 708.
    constexpr int frames = 60 * 12;
    auto samples = sineWave(440, 59.0, kRate, 0.5);
    const auto after = sineWave(660, 1.0, kRate, 0.5);
    samples.insert(samples.end(), after.begin(), after.end());
    Player player;
    const auto mix = playMix(player, mp3StreamMovie(samples, frames), frames);
    EXPECT_NEAR(levelIn(mix, 10, 440), 0.5, 0.06);
    EXPECT_NEAR(levelIn(mix, 600, 440), 0.5, 0.06);
    int change = -1;
    for (int f = 690; f < frames; ++f) {
        if (levelIn(mix, f, 660) > levelIn(mix, f, 440)) {
            change = f;
            break;
        }
    }
    // The encoder and decoder delay the sound by about 50 ms (0.6 frames).
    EXPECT_GE(change, 708);
    EXPECT_LE(change, 709);
    EXPECT_NEAR(levelIn(mix, 715, 660), 0.5, 0.06);
}

QByteArray eventMovie(const Sound& sound, int at, int frames)
{
    MovieBuilder m(100, 100, kFps);
    const auto id = defineSound(m, sound);
    for (int f = 0; f < frames; ++f) {
        if (f == at)
            startSound(m, id);
        m.showFrame();
    }
    return m.finish();
}

Sound encoded(const char* encoder, SoundFormat format, int rate, int rateCode)
{
    Sound s;
    s.encoding = SoundEncoding{format, rateCode, true, false};
    const auto tone = sineWave(440, 1.0, rate, 0.5);
    s.data = encodeWithFfmpeg(encoder, tone, rate);
    s.sampleCount = std::uint32_t(tone.size());
    EXPECT_FALSE(s.data.isEmpty()) << encoder;
    return s;
}

TEST(SoundCodecsInMovies, EveryCodecStartsOnItsFrame)
{
    const Sound sounds[] = {
        encoded("libmp3lame", SoundFormat::Mp3, 22050, 2),
        encoded("nellymoser", SoundFormat::Nellymoser, 22050, 2),
        encoded("nellymoser", SoundFormat::Nellymoser8k, 8000, 0),
        encoded("libspeex", SoundFormat::Speex, 16000, 0),
        adpcmSound(sineWave(440, 1.0, 11025, 0.5), 11025, 3),
        pcmSound(sineWave(440, 1.0, 5512, 0.5), 5512),
    };
    for (const Sound& s : sounds) {
        Player player;
        const auto mix = playMix(player, eventMovie(s, 4, 10), 10);
        const int format = int(s.encoding.format);
        EXPECT_LT(rms(channel(mix, 0, frameStart(4, kFps), 0)), 1e-3) << format;
        EXPECT_GT(levelIn(mix, 6, 440), 0.2) << format;
        EXPECT_GT(levelIn(mix, 6, 440), 4 * levelIn(mix, 6, 660)) << format;
    }
}

} // namespace
