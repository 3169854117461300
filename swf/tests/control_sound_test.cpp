// The control's sound: silent and never in the way without a device, and
// its clock following the main timeline's streaming sound: frames dropped
// when the sound is ahead, held when it is behind, never stuck on a sound
// that stopped moving. The test pulls the mix itself, as a device would.

#include "media/Mixer.h"
#include "qev/swf/FlashControl.h"
#include "qev/swf/SoundWriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace qev::swf {
namespace {

using namespace writer;

constexpr double kFps = 10;

QByteArray streamMovie(int frames)
{
    MovieBuilder m(100, 100, kFps);
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = 4410;
    soundStreamHead(m, head);
    for (int f = 0; f < frames; ++f) {
        soundStreamBlock(m, pcm16(sineWave(440, 0.1, 44100, 0.3)));
        m.showFrame();
    }
    return m.finish();
}

class ControlSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("QEV_NO_AUDIO_DEVICE", "1");
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { qunsetenv("QEV_NO_AUDIO_DEVICE"); }
    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("sound.swf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // What a device would take: `frames` mix frames.
    void pull(FlashControl& control, std::size_t frames)
    {
        std::vector<std::int16_t> out(frames * 2);
        control.player().mixer()->mix(out.data(), frames);
    }
    QTemporaryDir dir;
};

TEST_F(ControlSound, WithoutADeviceTheMoviePlaysSilentlyFrameByFrame)
{
    FlashControl control;
    control.Movie(write(streamMovie(20)));
    EXPECT_FALSE(control.soundIsLive());
    EXPECT_TRUE(control.isRunning());
    for (int i = 1; i <= 5; ++i) {
        control.tick();
        EXPECT_EQ(control.FrameNum(), i);
    }
}

TEST_F(ControlSound, TheClockFollowsTheStream)
{
    FlashControl control;
    control.player().mixer()->setListening(true); // the test is the device
    control.Movie(write(streamMovie(40)));
    ASSERT_EQ(control.FrameNum(), 0);

    // The sound is 2.6 frames on: the movie catches up, dropping pictures.
    pull(control, 4410 * 26 / 10);
    control.tick();
    EXPECT_EQ(control.FrameNum(), 3);

    // The sound has not moved: the movie waits for it...
    control.tick();
    control.tick();
    EXPECT_EQ(control.FrameNum(), 3);
    // ... and goes on in step once it moves.
    pull(control, 4410);
    control.tick();
    EXPECT_EQ(control.FrameNum(), 4);

    // While the sound leads, the clock beats four times a frame.
    EXPECT_EQ(control.tickInterval(), 100 / 4);

    // A sound that stopped moving holds the movie only a few frames' time.
    for (int i = 0; i < 20; ++i)
        control.tick();
    EXPECT_GT(control.FrameNum(), 4);
}

TEST_F(ControlSound, StopPausesTheSoundAndPlayResumesIt)
{
    FlashControl control;
    control.player().mixer()->setListening(true);
    control.Movie(write(streamMovie(40)));
    auto mixer = control.player().mixer();
    control.Stop();
    EXPECT_TRUE(mixer->paused());
    std::vector<std::int16_t> out(2000);
    mixer->mix(out.data(), 1000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t s) { return s == 0; }));
    control.Play();
    EXPECT_FALSE(mixer->paused());
    mixer->mix(out.data(), 1000);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](std::int16_t s) { return s != 0; }));
}

TEST_F(ControlSound, LoadingAnotherMovieEndsTheOldSound)
{
    FlashControl control;
    control.player().mixer()->setListening(true);
    control.Movie(write(streamMovie(40)));
    EXPECT_EQ(control.player().mixer()->voiceCount(), 1u);
    MovieBuilder silent(100, 100, kFps);
    silent.showFrame();
    control.Movie(write(silent.finish()));
    EXPECT_EQ(control.player().mixer()->voiceCount(), 0u);
}

} // namespace
} // namespace qev::swf
