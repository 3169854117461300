// The sound track of FLV files: tags play at their time stamps with gaps
// as silence, a start part way in begins at the next tag, every audio codec
// of the format decodes, and a NetStream's sound follows its play, pause,
// seek and close in what the movie's mix holds.

#include "sound_test_support.h"
#include "video_test_support.h"

#include "qev/swf/ActionAssembler.h"
#include "qev/swf/Writer.h"
#include "qev/swf/SoundWriter.h"
#include "video/FlvSound.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

namespace qev::swf {
namespace {

using testing::be;
using testing::channel;
using testing::flvTag;
using testing::kMix;
using testing::rms;
using testing::toneLevel;
using video::FlvAudioPacket;
using writer::ActionAssembler;
using writer::MovieBuilder;
namespace op = writer::op;

constexpr std::uint8_t kPcmMono44k = 0x3E; // PCM little-endian, 44.1 kHz, 16-bit, mono

std::size_t at(double ms)
{
    return std::size_t(ms * kMix / 1000);
}

FlvAudioPacket pcmTag(std::uint32_t timeMs, double hz, double seconds)
{
    return FlvAudioPacket{timeMs, kPcmMono44k, writer::pcm16(writer::sineWave(hz, seconds, kMix))};
}

// Everything the source gives for `seconds`, in reads of 1000 frames as the mixer asks.
std::vector<std::int16_t> readAll(video::FlvSound& sound, double seconds)
{
    media::Pcm out;
    const std::size_t want = at(seconds * 1000);
    while (out.frames() < want && sound.read(out, std::min<std::size_t>(1000, want - out.frames())) > 0) {
    }
    return out.samples;
}

double levelBetween(const std::vector<std::int16_t>& mix, double fromMs, double toMs, double hz)
{
    return toneLevel(channel(mix, at(fromMs), at(toMs) - at(fromMs), 0), hz);
}

TEST(FlvSound, TagsPlayAtTheirTimesAndAGapIsSilence)
{
    auto packets = std::make_shared<std::vector<FlvAudioPacket>>(
        std::vector<FlvAudioPacket>{pcmTag(0, 440, 0.1), pcmTag(100, 660, 0.1), pcmTag(500, 880, 0.1)});
    video::FlvSound sound(packets, 0);
    const auto mix = readAll(sound, 0.7);
    EXPECT_GT(levelBetween(mix, 10, 90, 440), 0.4);
    EXPECT_GT(levelBetween(mix, 110, 190, 660), 0.4);
    EXPECT_LT(rms(channel(mix, at(210), at(280), 0)), 0.001); // the gap
    EXPECT_GT(levelBetween(mix, 510, 590, 880), 0.4);          // in step with its time stamp
    EXPECT_LT(levelBetween(mix, 410, 490, 880), 0.01);
    EXPECT_TRUE(sound.finished());
    EXPECT_TRUE(sound.error().isEmpty());
}

TEST(FlvSound, AStartPartWayInBeginsWithTheNextTagAtItsTime)
{
    auto packets = std::make_shared<std::vector<FlvAudioPacket>>();
    const double pitches[] = {440, 550, 660, 770};
    for (int i = 0; i < 4; ++i)
        packets->push_back(pcmTag(std::uint32_t(i * 100), pitches[i], 0.1));
    video::FlvSound sound(packets, 150);
    const auto mix = readAll(sound, 0.25);
    EXPECT_LT(rms(channel(mix, 0, at(45), 0)), 0.001); // 150 to 200 ms: before the next tag
    EXPECT_GT(levelBetween(mix, 60, 140, 660), 0.4);
    EXPECT_GT(levelBetween(mix, 160, 240, 770), 0.4);
    EXPECT_LT(levelBetween(mix, 0, 250, 550), 0.01); // the tag begun before the start is not heard
}

struct CodecCase {
    const char* encoder;
    std::uint8_t formatByte; // the tag's first byte
    int rate;
    bool configTag; // AAC: a sequence header first, and a packet-type byte on each tag
};

class FlvSoundCodec : public ::testing::TestWithParam<CodecCase> {};

TEST_P(FlvSoundCodec, DecodesToTheTone)
{
    const CodecCase c = GetParam();
    std::vector<QByteArray> encoded;
    QByteArray setup;
    testing::encodeWithFfmpeg(c.encoder, writer::sineWave(440, 0.6, c.rate), c.rate, &encoded, &setup);
    if (encoded.empty())
        GTEST_SKIP() << c.encoder << " encoder is not available";
    auto packets = std::make_shared<std::vector<FlvAudioPacket>>();
    if (c.configTag)
        packets->push_back(FlvAudioPacket{0, c.formatByte, QByteArray(1, '\0') + setup});
    for (const QByteArray& p : encoded)
        packets->push_back(FlvAudioPacket{0, c.formatByte, c.configTag ? QByteArray(1, '\1') + p : p});
    video::FlvSound sound(packets, 0);
    const auto mix = readAll(sound, 0.6);
    EXPECT_TRUE(sound.error().isEmpty()) << sound.error().toStdString();
    EXPECT_GT(levelBetween(mix, 200, 400, 440), 0.25) << c.encoder;
}

INSTANTIATE_TEST_SUITE_P(EveryCodec, FlvSoundCodec,
                         ::testing::Values(CodecCase{"aac", 0xAF, 44100, true},
                                           CodecCase{"libmp3lame", 0x2E, 44100, false},
                                           CodecCase{"nellymoser", 0x6E, 44100, false},
                                           CodecCase{"adpcm_swf", 0x1E, 44100, false},
                                           CodecCase{"libspeex", 0xB2, 16000, false}),
                         [](const auto& info) { return std::string(info.param.encoder); });

TEST(FlvSound, DamagedTagsGiveWhatDecodesAndNoCrash)
{
    auto packets = std::make_shared<std::vector<FlvAudioPacket>>();
    packets->push_back(FlvAudioPacket{0, 0xAF, QByteArray()});                 // AAC without anything
    packets->push_back(FlvAudioPacket{10, 0xAF, QByteArray::fromHex("01ffff")}); // AAC without configuration
    packets->push_back(FlvAudioPacket{20, 0x2E, QByteArray(300, 'x')});         // not MP3
    packets->push_back(FlvAudioPacket{30, 0x7E, QByteArray(10, 'x')});          // a codec the format does not have
    packets->push_back(pcmTag(100, 440, 0.1));
    video::FlvSound sound(packets, 0);
    const auto mix = readAll(sound, 0.3);
    EXPECT_GT(levelBetween(mix, 110, 190, 440), 0.4);
    EXPECT_FALSE(sound.error().isEmpty());
}

// A 10 fps movie whose first frame plays tone.flv (2 s of 440 Hz) beside it
// through a NetStream; frame f runs scripts[f] on the stream "ns".
class FlvSoundMovie {
public:
    explicit FlvSoundMovie(std::map<int, std::function<void(ActionAssembler&)>> scripts, int frames = 30)
    {
        QByteArray flv = QByteArray("FLV") + be(1, 1) + be(0x04, 1) + be(9, 4) + be(0, 4);
        for (int i = 0; i < 20; ++i)
            flv += flvTag(8, std::uint32_t(i * 100),
                          QByteArray(1, char(kPcmMono44k)) + writer::pcm16(writer::sineWave(440, 0.1, kMix)));
        QFile file(dir.filePath("tone.flv"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(flv);
        file.close();

        MovieBuilder m(100, 100, 10);
        for (int f = 0; f < frames; ++f) {
            ActionAssembler a;
            if (f == 0) {
                a.push("nc").push(0).push("NetConnection").op(op::NewObject).op(op::SetVariable);
                a.pushNull().push(1).push("nc").op(op::GetVariable).push("connect").op(op::CallMethod).op(op::Pop);
                a.push("ns").push("nc").op(op::GetVariable).push(1).push("NetStream").op(op::NewObject);
                a.op(op::SetVariable);
                a.push("tone.flv").push(1).push("ns").op(op::GetVariable).push("play").op(op::CallMethod).op(op::Pop);
            }
            if (auto it = scripts.find(f); it != scripts.end())
                it->second(a);
            if (f + 1 == frames)
                a.op(op::Stop);
            if (!a.bytes().isEmpty())
                m.script(a.bytes());
            m.showFrame();
        }
        QFile movie(dir.filePath("movie.swf"));
        EXPECT_TRUE(movie.open(QIODevice::WriteOnly));
        movie.write(m.finish());
        movie.close();
        player.setSoundCapture(true);
        const QString error = player.load(dir.filePath("movie.swf"));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        for (int f = 0; f < frames; ++f) {
            if (f > 0)
                player.advance();
            const auto part = player.mixFrame();
            mix.insert(mix.end(), part.begin(), part.end());
        }
    }

    // The level of the tone during movie frame f.
    double toneAt(int f) const
    {
        return toneLevel(channel(mix, std::size_t(f) * 4410 + 200, 4000, 0), 440);
    }

    QTemporaryDir dir;
    Player player;
    std::vector<std::int16_t> mix;
};

std::function<void(ActionAssembler&)> callOnStream(const char* method, std::optional<double> argument = {})
{
    return [method, argument](ActionAssembler& a) {
        if (argument)
            a.push(*argument).push(1);
        else
            a.push(0);
        a.push("ns").op(op::GetVariable).push(method).op(op::CallMethod).op(op::Pop);
    };
}

TEST(FlvSoundMovie, TheStreamsSoundIsHeardWhileItPlays)
{
    FlvSoundMovie movie({});
    for (int f = 1; f < 19; ++f)
        EXPECT_GT(movie.toneAt(f), 0.3) << "frame " << f;
    // Two seconds of sound, then the stream has ended.
    EXPECT_LT(movie.toneAt(24), 0.01);
}

TEST(FlvSoundMovie, PauseSilencesResumeGoesOnAndCloseEndsIt)
{
    FlvSoundMovie movie({{5, callOnStream("pause", 1)}, {10, callOnStream("pause", 0)}, {13, callOnStream("close")}});
    EXPECT_GT(movie.toneAt(3), 0.3);
    EXPECT_LT(movie.toneAt(7), 0.01);
    EXPECT_GT(movie.toneAt(11), 0.3);
    EXPECT_LT(movie.toneAt(15), 0.01);
}

TEST(FlvSoundMovie, SeekStartsTheSoundAtTheNewTime)
{
    // Seeking to 1.9 s leaves a tenth of a second of sound.
    FlvSoundMovie movie({{5, callOnStream("seek", 1.9)}});
    EXPECT_GT(movie.toneAt(3), 0.3);
    EXPECT_LT(movie.toneAt(8), 0.01);
}

} // namespace
} // namespace qev::swf
