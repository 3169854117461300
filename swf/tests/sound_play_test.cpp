// What a playing movie sounds like, frame by frame, through the same path
// as `swfrun --audio`: event sounds start on their frame, stop, loop, keep
// to their in and out points and envelope; streams stay in step with the
// frames; the control's stop, play and frame stepping; bad sound data.

#include "qev/swf/SoundWriter.h"
#include "qev/swf/testsupport/MovieParts.h"
#include "sound_test_support.h"

#include <gtest/gtest.h>

using namespace qev::swf;
using namespace qev::swf::testing;
using namespace qev::swf::writer;

namespace {

constexpr double kFps = 10; // 4410 mix frames per movie frame
constexpr std::size_t kFrame = 4410;

// The level of hz in the middle 4000 frames of movie frame f (left side
// unless told).
double levelAt(const std::vector<std::int16_t>& mix, int f, double hz, int side = 0)
{
    return toneLevel(channel(mix, frameStart(f, kFps) + 205, 4000, side), hz);
}

double loudnessAt(const std::vector<std::int16_t>& mix, int f, int side = 0)
{
    return rms(channel(mix, frameStart(f, kFps), kFrame, side));
}

// A movie of `frames` frames whose frame `at` starts `sound` with `info`.
QByteArray movieStarting(const Sound& sound, int at, int frames, const SoundInfo& info = {},
                         std::vector<std::pair<int, SoundInfo>> more = {})
{
    MovieBuilder m(100, 100, kFps);
    const auto id = defineSound(m, sound);
    for (int f = 0; f < frames; ++f) {
        if (f == at)
            startSound(m, id, info);
        for (const auto& [when, extra] : more)
            if (when == f)
                startSound(m, id, extra);
        m.showFrame();
    }
    return m.finish();
}

// A root stream whose frame f carries a 44.1 kHz tone of pitchOf(f).
double pitchOf(int f)
{
    return 300 + 50 * (f % 8);
}

void addStream(TimelineBuilder& t, int frames, int firstFrame = 0)
{
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = kFrame;
    soundStreamHead(t, head);
    for (int f = 0; f < frames; ++f) {
        if (f >= firstFrame)
            soundStreamBlock(t, pcm16(sineWave(pitchOf(f), double(kFrame) / kMix, kMix, 0.5)));
        t.showFrame();
    }
}

QByteArray streamMovie(int frames)
{
    MovieBuilder m(100, 100, kFps);
    addStream(m, frames);
    return m.finish();
}

Sound beep(double hz, double seconds, double amplitude = 0.5)
{
    return pcmSound(sineWave(hz, seconds, 22050, amplitude), 22050);
}

TEST(SoundPlay, EventSoundStartsOnItsFrameAndEnds)
{
    Player player;
    const auto mix = playMix(player, movieStarting(beep(440, 0.3), 5, 12), 12);
    ASSERT_EQ(mix.size(), 12 * kFrame * 2);
    for (int f = 0; f < 5; ++f)
        EXPECT_LT(loudnessAt(mix, f), 1e-3) << "frame " << f;
    for (int f = 5; f < 8; ++f) {
        EXPECT_NEAR(levelAt(mix, f, 440), 0.5, 0.02) << "frame " << f;
        EXPECT_NEAR(levelAt(mix, f, 440, 1), 0.5, 0.02) << "frame " << f;
    }
    for (int f = 8; f < 12; ++f)
        EXPECT_LT(loudnessAt(mix, f), 1e-3) << "frame " << f;
    // The very first sample of frame 5 is where the sound begins.
    EXPECT_EQ(mix[frameStart(5, kFps) * 2 - 2], 0);
    EXPECT_NE(mix[frameStart(5, kFps) * 2 + 4], 0);
}

TEST(SoundPlay, StopEndsEveryInstance)
{
    SoundInfo stop;
    stop.stop = true;
    Player player;
    const auto mix = playMix(player, movieStarting(beep(440, 2.0), 1, 10, {}, {{4, stop}}), 10);
    EXPECT_NEAR(levelAt(mix, 3, 440), 0.5, 0.02);
    for (int f = 4; f < 10; ++f)
        EXPECT_LT(loudnessAt(mix, f), 1e-3) << "frame " << f;
}

TEST(SoundPlay, LoopsPlayTheGivenNumberOfTimes)
{
    SoundInfo three;
    three.loops = 3;
    Player player;
    // 0.1 s is one frame: three loops fill frames 2, 3 and 4.
    const auto mix = playMix(player, movieStarting(beep(440, 0.1), 2, 9, three), 9);
    EXPECT_LT(loudnessAt(mix, 1), 1e-3);
    for (int f = 2; f < 5; ++f)
        EXPECT_NEAR(levelAt(mix, f, 440), 0.5, 0.03) << "frame " << f;
    for (int f = 5; f < 9; ++f)
        EXPECT_LT(loudnessAt(mix, f), 1e-3) << "frame " << f;
}

TEST(SoundPlay, InstancesAddUpUnlessNoMultiple)
{
    SoundInfo single;
    single.noMultiple = true;
    Player twice;
    const auto both = playMix(twice, movieStarting(beep(440, 1.0, 0.3), 0, 4, {}, {{1, {}}}), 4);
    Player once;
    const auto one = playMix(once, movieStarting(beep(440, 1.0, 0.3), 0, 4, {}, {{1, single}}), 4);
    // Frame 1 starts a second instance 0.1 s later: a 440 Hz sine shifted by
    // 44 periods is in phase again, so the two add to 0.6.
    EXPECT_NEAR(levelAt(both, 2, 440), 0.6, 0.03);
    EXPECT_NEAR(levelAt(one, 2, 440), 0.3, 0.02);
}

TEST(SoundPlay, InAndOutPointsCutTheSound)
{
    // 0.5 s at 440 Hz, then 0.5 s at 880 Hz, at 44.1 kHz.
    auto tone = sineWave(440, 0.5, kMix, 0.5);
    const auto high = sineWave(880, 0.5, kMix, 0.5);
    tone.insert(tone.end(), high.begin(), high.end());
    SoundInfo cut;
    cut.inPoint = 22050;
    cut.outPoint = 22050 + 2 * kFrame;
    Player player;
    const auto mix = playMix(player, movieStarting(pcmSound(tone, kMix), 1, 6, cut), 6);
    EXPECT_NEAR(levelAt(mix, 1, 880), 0.5, 0.02);
    EXPECT_LT(levelAt(mix, 1, 440), 0.02);
    EXPECT_NEAR(levelAt(mix, 2, 880), 0.5, 0.02);
    EXPECT_LT(loudnessAt(mix, 3), 1e-3);
}

TEST(SoundPlay, EnvelopeSetsEachSide)
{
    SoundInfo env;
    env.envelope = {EnvelopePoint{0, 0, 32768}, EnvelopePoint{44100, 0, 32768}};
    Player player;
    const auto mix = playMix(player, movieStarting(beep(440, 0.5), 0, 4, env), 4);
    EXPECT_LT(loudnessAt(mix, 1, 0), 1e-3);
    EXPECT_NEAR(levelAt(mix, 1, 440, 1), 0.5, 0.02);

    // A fade from silence to full over the first 0.2 s.
    SoundInfo fade;
    fade.envelope = {EnvelopePoint{0, 0, 0}, EnvelopePoint{8820, 32768, 32768}};
    Player fading;
    const auto faded = playMix(fading, movieStarting(beep(440, 0.5), 0, 4, fade), 4);
    EXPECT_NEAR(levelAt(faded, 0, 440), 0.125, 0.03);
    EXPECT_NEAR(levelAt(faded, 1, 440), 0.375, 0.03);
    EXPECT_NEAR(levelAt(faded, 2, 440), 0.5, 0.02);
}

TEST(SoundPlay, ButtonSoundsFollowTheirTransitions)
{
    MovieBuilder m(100, 100, kFps);
    const auto square = testsupport::solidRect(m, 0xFF0000, 0, 0, 50, 50);
    Button b;
    b.version = 2;
    b.records = {testsupport::buttonRecord(square, 1, testsupport::ButtonStates::all())};
    const auto button = m.defineButton(b);
    const auto enter = defineSound(m, beep(440, 0.5));
    const auto press = defineSound(m, beep(660, 0.5));
    std::array<std::optional<ButtonSound>, 4> sounds;
    sounds[Button::EnterSound] = ButtonSound{enter, {}};
    sounds[Button::PressSound] = ButtonSound{press, {}};
    defineButtonSound(m, button, sounds);
    m.place(button, 1);
    m.showFrame();
    m.showFrame();

    Player player;
    auto mix = playMix(player, m.finish(), 1);
    player.renderImage(QSize(100, 100));
    EXPECT_LT(rms(channel(mix, 0, kFrame, 0)), 1e-3);
    player.mouseMove(QPointF(25, 25));
    mix = player.mixFrame();
    EXPECT_NEAR(toneLevel(channel(mix, 200, 4000, 0), 440), 0.5, 0.02);
    EXPECT_LT(toneLevel(channel(mix, 200, 4000, 0), 660), 0.02);
    player.mousePress(QPointF(25, 25));
    mix = player.mixFrame();
    EXPECT_NEAR(toneLevel(channel(mix, 200, 4000, 0), 660), 0.5, 0.02);
}

TEST(SoundPlay, ExportedSoundStartsByName)
{
    MovieBuilder m(100, 100, kFps);
    const auto id = defineSound(m, beep(550, 0.5));
    m.exportAsset(id, QStringLiteral("ding"));
    m.showFrame();
    startSound2(m, QStringLiteral("ding"));
    m.showFrame();
    m.showFrame();
    Player player;
    const auto mix = playMix(player, m.finish(), 3);
    EXPECT_LT(loudnessAt(mix, 0), 1e-3);
    EXPECT_NEAR(levelAt(mix, 1, 550), 0.5, 0.02);
}

TEST(SoundPlay, StreamStaysInStepForAMinute)
{
    constexpr int frames = 600;
    Player player;
    const auto mix = playMix(player, streamMovie(frames), frames);
    ASSERT_EQ(mix.size(), frames * kFrame * 2);
    // Every frame's window carries that frame's own pitch, to the last one.
    for (int f = 0; f < frames; f += (f < 20 ? 1 : 37)) {
        EXPECT_NEAR(levelAt(mix, f, pitchOf(f)), 0.5, 0.02) << "frame " << f;
        // A neighbour's pitch only leaks in through the window's edges.
        EXPECT_LT(levelAt(mix, f, pitchOf(f + 1)), 0.05) << "frame " << f;
    }
    EXPECT_NEAR(levelAt(mix, frames - 1, pitchOf(frames - 1)), 0.5, 0.02);
}

TEST(SoundPlay, StreamInsideASpriteStartsWhenPlaced)
{
    MovieBuilder m(100, 100, kFps);
    SpriteBuilder s;
    addStream(s, 6);
    const auto sprite = m.defineSprite(s);
    m.showFrame();
    m.showFrame();
    m.place(sprite, 1);
    for (int f = 2; f < 8; ++f)
        m.showFrame();
    Player player;
    const auto mix = playMix(player, m.finish(), 8);
    EXPECT_LT(loudnessAt(mix, 1), 1e-3);
    // The sprite's frame f plays in the root's frame f + 2.
    for (int f = 0; f < 6; ++f)
        EXPECT_NEAR(levelAt(mix, f + 2, pitchOf(f)), 0.5, 0.02) << "sprite frame " << f;
}

TEST(SoundPlay, StreamStartsAgainWhenTheMovieLoops)
{
    Player player;
    const auto mix = playMix(player, streamMovie(5), 12);
    for (int f = 0; f < 12; ++f)
        EXPECT_NEAR(levelAt(mix, f, pitchOf(f % 5)), 0.5, 0.02) << "frame " << f;
}

TEST(SoundPlay, StopAllSoundsEndsEventSoundsAndStreamsGoOn)
{
    MovieBuilder m(100, 100, kFps);
    const auto id = defineSound(m, beep(1000, 3.0, 0.3));
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = kFrame;
    soundStreamHead(m, head);
    startSound(m, id);
    for (int f = 0; f < 6; ++f) {
        if (f == 2)
            m.actions({act::raw(0x09)}); // StopSounds
        soundStreamBlock(m, pcm16(sineWave(pitchOf(f), double(kFrame) / kMix, kMix, 0.3)));
        m.showFrame();
    }
    Player player;
    const auto mix = playMix(player, m.finish(), 6);
    EXPECT_NEAR(levelAt(mix, 1, 1000), 0.3, 0.02);
    EXPECT_NEAR(levelAt(mix, 1, pitchOf(1)), 0.3, 0.02);
    // From the frame that stops all sounds on, the event sound is gone; the
    // stream goes on with the block of that frame.
    for (int f = 2; f < 6; ++f) {
        EXPECT_LT(levelAt(mix, f, 1000), 0.02) << "frame " << f;
        EXPECT_NEAR(levelAt(mix, f, pitchOf(f)), 0.3, 0.02) << "frame " << f;
    }
}

TEST(SoundPlay, StopPausesAndPlayResumes)
{
    Player player;
    auto mix = playMix(player, movieStarting(beep(440, 0.25), 0, 10), 1);
    player.setPlaying(false);
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(rms(channel(player.mixFrame(), 0, kFrame, 0)), 1e-3);
    player.setPlaying(true);
    // The rest of the sound: 0.15 s, one full frame and half of the next.
    mix = player.mixFrame();
    EXPECT_NEAR(toneLevel(channel(mix, 200, 4000, 0), 440), 0.5, 0.02);
    mix = player.mixFrame();
    EXPECT_GT(rms(channel(mix, 0, 2000, 0)), 0.3);
    EXPECT_LT(rms(channel(mix, 2400, 2000, 0)), 1e-3);
}

TEST(SoundPlay, SteppingIsSilentAndPlayStartsTheStreamThere)
{
    MovieBuilder m(100, 100, kFps);
    const auto id = defineSound(m, beep(1000, 0.5));
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = kFrame;
    soundStreamHead(m, head);
    for (int f = 0; f < 20; ++f) {
        if (f == 6)
            startSound(m, id);
        soundStreamBlock(m, pcm16(sineWave(pitchOf(f), double(kFrame) / kMix, kMix, 0.4)));
        m.showFrame();
    }
    Player player;
    playMix(player, m.finish(), 1);
    player.setPlaying(false);
    // The toolbar's stepping: frame puts while stopped, two at a time.
    for (int f : {2, 4, 6, 8})
        player.gotoFrame(f);
    for (int i = 0; i < 2; ++i)
        EXPECT_LT(rms(channel(player.mixFrame(), 0, kFrame, 0)), 1e-3);
    // Play: frame 9 is next, its stream block is heard, frame 6's sound never.
    player.setPlaying(true);
    player.advance();
    const auto mix = player.mixFrame();
    EXPECT_NEAR(toneLevel(channel(mix, 200, 4000, 0), pitchOf(9)), 0.4, 0.02);
    EXPECT_LT(toneLevel(channel(mix, 200, 4000, 0), 1000), 0.02);
    EXPECT_LT(toneLevel(channel(mix, 200, 4000, 0), pitchOf(0)), 0.05);
}

TEST(SoundPlay, LoadingAnotherMovieEndsTheOldSounds)
{
    Player player;
    playMix(player, movieStarting(beep(440, 3.0), 0, 4), 2);
    MovieBuilder silent(100, 100, kFps);
    silent.showFrame();
    ASSERT_TRUE(player.loadBytes(silent.finish()).isEmpty());
    EXPECT_LT(rms(channel(player.mixFrame(), 0, kFrame, 0)), 1e-3);
}

TEST(SoundPlay, NothingIsKeptWhileNobodyListens)
{
    Player player;
    ASSERT_TRUE(player.loadBytes(movieStarting(beep(440, 3.0), 0, 4)).isEmpty());
    player.advance();
    player.setSoundCapture(true);
    EXPECT_LT(rms(channel(player.mixFrame(), 0, kFrame, 0)), 1e-3);
}

// ---- bad input -------------------------------------------------------------

std::vector<QString> warningsOf(const QByteArray& movie, int frames, std::vector<std::int16_t>* mixOut = nullptr)
{
    std::vector<QString> warnings;
    Player player;
    player.setWarningHandler([&](const QString& w) { warnings.push_back(w); });
    const auto mix = playMix(player, movie, frames);
    if (mixOut)
        *mixOut = mix;
    return warnings;
}

bool anyContains(const std::vector<QString>& lines, const char* text)
{
    return std::any_of(lines.begin(), lines.end(), [text](const QString& l) { return l.contains(QLatin1String(text)); });
}

TEST(SoundBadInput, StreamBlockWithoutHeadIsSilentWithAWarning)
{
    MovieBuilder m(100, 100, kFps);
    for (int f = 0; f < 3; ++f) {
        soundStreamBlock(m, pcm16(sineWave(440, 0.1, kMix)));
        m.showFrame();
    }
    std::vector<std::int16_t> mix;
    const auto warnings = warningsOf(m.finish(), 3, &mix);
    EXPECT_TRUE(anyContains(warnings, "without a stream head"));
    EXPECT_LT(rms(channel(mix, 0, 3 * kFrame, 0)), 1e-3);
}

TEST(SoundBadInput, UndefinedAndUndecodableSoundsWarn)
{
    MovieBuilder m(100, 100, kFps);
    Sound broken;
    broken.encoding = SoundEncoding{SoundFormat::Mp3, 2, true, false};
    broken.sampleCount = 0xFFFFFFFF; // absurd
    broken.data = QByteArray(300, '\x55');
    const auto bad = defineSound(m, broken);
    Sound unknown;
    unknown.encoding = SoundEncoding{SoundFormat(9), 3, true, true};
    unknown.data = QByteArray(100, '\x01');
    const auto odd = defineSound(m, unknown);
    startSound(m, bad);
    startSound(m, odd);
    startSound(m, 999);
    m.showFrame();
    m.showFrame();
    std::vector<std::int16_t> mix;
    const auto warnings = warningsOf(m.finish(), 2, &mix);
    EXPECT_TRUE(anyContains(warnings, "not defined"));
    EXPECT_TRUE(anyContains(warnings, "not supported"));
    EXPECT_TRUE(anyContains(warnings, QStringLiteral("sound %1").arg(bad).toLatin1().constData()));
    EXPECT_LT(rms(channel(mix, 0, 2 * kFrame, 0)), 0.05);
}

TEST(SoundBadInput, CutTagsAndWrongFieldsReadAsFarAsTheyGo)
{
    MovieBuilder m(100, 100, kFps);
    m.rawTag(14, QByteArray("\x01\x00", 2));           // DefineSound cut after the id
    m.rawTag(15, QByteArray("\x01", 1));               // StartSound cut
    m.rawTag(18, QByteArray("\x00\x3F\xFF", 3));       // stream head cut
    m.rawTag(17, QByteArray("\x07\x00\x01\x00", 4));   // button sound for no button
    m.rawTag(19, QByteArray());                        // empty block, and the head is broken
    m.rawTag(45, QByteArray("\x00\xF2\x10\x00", 4));   // a head of codec 15
    m.showFrame();
    m.rawTag(19, QByteArray(1000, '\x7F'));
    m.showFrame();
    m.rawTag(19, QByteArray(3, '\x00'));
    m.showFrame();
    std::vector<std::int16_t> mix;
    const auto warnings = warningsOf(m.finish(), 5, &mix);
    EXPECT_TRUE(anyContains(warnings, "tag dropped"));
    EXPECT_TRUE(anyContains(warnings, "not a button"));
    EXPECT_TRUE(anyContains(warnings, "not supported"));
    EXPECT_LT(rms(channel(mix, 0, 5 * kFrame, 0)), 1e-3);
}

} // namespace
