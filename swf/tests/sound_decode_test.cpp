// Every codec the format uses decodes to 44.1 kHz stereo at the pitch and
// length it was made with; damaged data gives silence and a reason, never a
// crash.

#include "media/SoundDecoder.h"
#include "media/StreamSource.h"
#include "qev/swf/SoundWriter.h"
#include "sound_test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace qev::swf;
using namespace qev::swf::testing;
using qev::swf::writer::sineWave;

namespace {

media::Pcm decode(const Sound& sound, QString* warning = nullptr)
{
    QString w;
    media::Pcm pcm = media::decodeSound(sound, &w);
    if (warning)
        *warning = w;
    return pcm;
}

// The middle of the decoded sound holds hz, on both sides, and not a
// fifth above.
void expectTone(const media::Pcm& pcm, double hz, double level, double tolerance)
{
    ASSERT_GT(pcm.frames(), 4000u);
    const std::size_t from = pcm.frames() / 2 - 2000;
    for (int side = 0; side < 2; ++side) {
        const auto x = channel(pcm.samples, from, 4000, side);
        EXPECT_NEAR(toneLevel(x, hz), level, tolerance) << "side " << side;
        EXPECT_LT(toneLevel(x, hz * 1.5), 0.05) << "side " << side;
    }
}

Sound withFormat(SoundFormat format, int rateCode, bool sixteen, bool stereo, QByteArray data)
{
    Sound s;
    s.encoding = SoundEncoding{format, rateCode, sixteen, stereo};
    s.data = std::move(data);
    return s;
}

TEST(SoundDecode, Pcm16LittleEndianKeepsPitchLengthAndLevel)
{
    const auto tone = sineWave(440, 1.0, 22050, 0.5);
    const media::Pcm pcm = decode(writer::pcmSound(tone, 22050));
    // Twice the samples at twice the rate, within the resampler's edges.
    EXPECT_NEAR(double(pcm.frames()), 44100, 64);
    expectTone(pcm, 440, 0.5, 0.02);
}

TEST(SoundDecode, NativeOrderPcmPlaysAsLittleEndian)
{
    const auto tone = sineWave(1000, 0.5, 44100, 0.4);
    const media::Pcm pcm = decode(withFormat(SoundFormat::PcmNative, 3, true, false, writer::pcm16(tone)));
    ASSERT_EQ(pcm.frames(), tone.size());
    // At the mix rate nothing is resampled: the samples come out as written.
    for (std::size_t i = 0; i < tone.size(); i += 97)
        ASSERT_EQ(pcm.samples[i * 2], tone[i]) << i;
    expectTone(pcm, 1000, 0.4, 0.01);
}

TEST(SoundDecode, EightBitPcmIsUnsigned)
{
    const auto tone = sineWave(500, 0.5, 11025, 0.5);
    const media::Pcm pcm = decode(withFormat(SoundFormat::PcmLittle, 1, false, false, writer::pcm8(tone)));
    expectTone(pcm, 500, 0.5, 0.03);
}

TEST(SoundDecode, StereoKeepsItsSides)
{
    const auto left = sineWave(440, 0.5, 44100, 0.5);
    const auto right = sineWave(880, 0.5, 44100, 0.25);
    const media::Pcm pcm = decode(writer::pcmSound(writer::interleave(left, right), 44100, true));
    const auto l = channel(pcm.samples, 5000, 8000, 0);
    const auto r = channel(pcm.samples, 5000, 8000, 1);
    EXPECT_NEAR(toneLevel(l, 440), 0.5, 0.01);
    EXPECT_LT(toneLevel(l, 880), 0.01);
    EXPECT_NEAR(toneLevel(r, 880), 0.25, 0.01);
    EXPECT_LT(toneLevel(r, 440), 0.01);
}

TEST(SoundDecode, EveryRateIsResampledTo44k)
{
    for (int rate : {5512, 11025, 22050, 44100}) {
        const auto tone = sineWave(300, 1.0, rate, 0.5);
        const media::Pcm pcm = decode(writer::pcmSound(tone, rate));
        EXPECT_NEAR(double(pcm.frames()), 44100.0 * tone.size() / rate, 80) << rate;
        expectTone(pcm, 300, 0.5, 0.03);
    }
}

class AdpcmBits : public ::testing::TestWithParam<int> {};

TEST_P(AdpcmBits, WriterAdpcmDecodesToTheSameTone)
{
    const int bits = GetParam();
    // Longer than one 4096-sample packet, so the packet headers count too.
    const auto tone = sineWave(440, 1.0, 22050, 0.5);
    const media::Pcm pcm = decode(writer::adpcmSound(tone, 22050, bits));
    EXPECT_NEAR(double(pcm.frames()), 44100, 64);
    // Fewer bits, more noise: the tone is still there at its level.
    expectTone(pcm, 440, 0.5, bits == 2 ? 0.12 : 0.05);
}

INSTANTIATE_TEST_SUITE_P(SoundDecode, AdpcmBits, ::testing::Values(2, 3, 4, 5));

TEST(SoundDecode, StereoAdpcmKeepsItsSides)
{
    const auto left = sineWave(440, 0.5, 44100, 0.5);
    const auto right = sineWave(660, 0.5, 44100, 0.5);
    const media::Pcm pcm = decode(writer::adpcmSound(writer::interleave(left, right), 44100, 4, true));
    EXPECT_NEAR(toneLevel(channel(pcm.samples, 8000, 8000, 0), 440), 0.5, 0.05);
    EXPECT_NEAR(toneLevel(channel(pcm.samples, 8000, 8000, 1), 660), 0.5, 0.05);
    EXPECT_LT(toneLevel(channel(pcm.samples, 8000, 8000, 0), 660), 0.05);
}

TEST(SoundDecode, Mp3)
{
    const auto tone = sineWave(440, 1.0, 22050, 0.5);
    const QByteArray mp3 = encodeWithFfmpeg("libmp3lame", tone, 22050);
    ASSERT_FALSE(mp3.isEmpty()) << "no MP3 encoder";
    Sound s = withFormat(SoundFormat::Mp3, 2, true, false, mp3);
    s.sampleCount = std::uint32_t(tone.size());
    const media::Pcm pcm = decode(s);
    EXPECT_NEAR(double(pcm.frames()), 44100, 44100 * 0.15);
    expectTone(pcm, 440, 0.5, 0.06);
}

TEST(SoundDecode, NellymoserAtEachRate)
{
    const std::pair<SoundFormat, int> kinds[] = {
        {SoundFormat::Nellymoser8k, 8000}, {SoundFormat::Nellymoser16k, 16000}, {SoundFormat::Nellymoser, 22050}};
    for (auto [format, rate] : kinds) {
        const auto tone = sineWave(440, 1.0, rate, 0.5);
        const QByteArray data = encodeWithFfmpeg("nellymoser", tone, rate);
        ASSERT_FALSE(data.isEmpty()) << "no Nellymoser encoder";
        const media::Pcm pcm = decode(withFormat(format, rate == 22050 ? 2 : 0, true, false, data));
        EXPECT_NEAR(double(pcm.frames()), 44100, 44100 * 0.1) << rate;
        expectTone(pcm, 440, 0.5, 0.15);
    }
}

TEST(SoundDecode, Speex)
{
    const auto tone = sineWave(440, 1.0, 16000, 0.5);
    const QByteArray data = encodeWithFfmpeg("libspeex", tone, 16000);
    ASSERT_FALSE(data.isEmpty()) << "no Speex encoder";
    QString warning;
    const media::Pcm pcm = decode(withFormat(SoundFormat::Speex, 0, true, false, data), &warning);
    EXPECT_NEAR(double(pcm.frames()), 44100, 44100 * 0.1) << warning.toStdString();
    // Speech coding keeps the pitch, not the exact level.
    ASSERT_GT(pcm.frames(), 4000u);
    const auto x = channel(pcm.samples, pcm.frames() / 2 - 2000, 4000, 0);
    EXPECT_GT(toneLevel(x, 440), 0.15);
    EXPECT_GT(toneLevel(x, 440), 3 * toneLevel(x, 660));
}

TEST(SoundDecode, UnknownFormatIsSilenceWithAReason)
{
    QString warning;
    const media::Pcm pcm = decode(withFormat(SoundFormat(7), 3, true, false, QByteArray(1000, 'x')), &warning);
    EXPECT_EQ(pcm.frames(), 0u);
    EXPECT_TRUE(warning.contains(u"not supported")) << warning.toStdString();
}

TEST(SoundDecode, GarbageInEveryCodecNeverCrashes)
{
    std::mt19937 random(7);
    const SoundFormat formats[] = {SoundFormat::PcmNative, SoundFormat::Adpcm,     SoundFormat::Mp3,
                                   SoundFormat::PcmLittle, SoundFormat::Nellymoser16k, SoundFormat::Nellymoser8k,
                                   SoundFormat::Nellymoser, SoundFormat::Speex};
    for (SoundFormat f : formats) {
        for (int size : {0, 1, 3, 63, 64, 65, 417, 5000}) {
            QByteArray data(size, '\0');
            for (char& c : data)
                c = char(random());
            for (int flags = 0; flags < 16; ++flags) {
                const media::Pcm pcm = decode(withFormat(f, flags & 3, flags & 4, flags & 8, data));
                // Whatever comes out is bounded by what so little data can hold.
                EXPECT_LE(pcm.frames(), std::size_t(44100 * 20)) << int(f) << " " << size;
            }
        }
    }
}

TEST(SoundDecode, DecodingStopsAtTheCap)
{
    const auto tone = sineWave(440, 3.0, 44100, 0.5);
    QString warning;
    const media::Pcm pcm = media::decodeSound(writer::pcmSound(tone, 44100), &warning, 1.0);
    EXPECT_EQ(pcm.frames(), 44100u);
    EXPECT_TRUE(warning.contains(u"cut")) << warning.toStdString();
}

TEST(SoundStream, BlocksAreHeldToTheirFramesTime)
{
    // Blocks at 10 frames per second: one 100 ms too short, one too long;
    // the stream still ends each frame where the frame ends.
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = 4410;
    std::vector<QByteArray> blocks;
    for (int i = 0; i < 6; ++i) {
        const int n = i == 2 ? 1000 : i == 4 ? 12000 : 4410;
        blocks.push_back(writer::pcm16(sineWave(400 + 100 * i, double(n) / 44100, 44100, 0.5)));
    }
    blocks.push_back(QByteArray()); // a frame without a block ends the stream
    blocks.push_back(writer::pcm16(sineWave(400, 0.1, 44100, 0.5)));
    media::StreamSource source(head, std::make_shared<const std::vector<QByteArray>>(blocks), 0, 10);
    media::Pcm out;
    EXPECT_EQ(source.read(out, 100000), std::size_t(6 * 4410));
    // Frame 3 starts where it should: its own pitch, not frame 2's.
    EXPECT_GT(toneLevel(channel(out.samples, 3 * 4410 + 200, 4000, 0), 700), 0.4);
    EXPECT_GT(toneLevel(channel(out.samples, 5 * 4410 + 200, 4000, 0), 900), 0.4);
    EXPECT_TRUE(source.finished());
}

} // namespace
