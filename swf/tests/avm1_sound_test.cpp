// The Sound class of scripts: against a recording sound host, what each
// method asks of the player; in a movie, what is heard.

#include "avm1/SoundHost.h"
#include "avm1/Vm.h"
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/SoundWriter.h"
#include "sound_test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

using namespace qev::swf;
using namespace qev::swf::avm1;

namespace {

struct RecordingHost : SoundHost {
    QStringList calls;
    std::vector<std::uint64_t> finished;
    double ll = 1, lr = 0, rl = 0, rr = 1;
    std::uint64_t routedGroup = 99;

    int exportedSound(const QString& linkage) override { return linkage == u"tone" ? 7 : -1; }
    double soundDurationMs(int id) override { return id == 7 ? 1500.5 : 0; }
    std::uint64_t startSound(int id, std::uint64_t group, double offsetMs, int loops) override
    {
        calls << QStringLiteral("start %1 group %2 at %3 x%4").arg(id).arg(group).arg(offsetMs).arg(loops);
        return 42;
    }
    void stopSounds(std::uint64_t group, int id) override { calls << QStringLiteral("stop %1 group %2").arg(id).arg(group); }
    void setRouting(std::uint64_t group, double a, double b, double c, double d) override
    {
        routedGroup = group;
        ll = a, lr = b, rl = c, rr = d;
    }
    double positionMs(std::uint64_t instance) override { return instance == 42 ? 250.7 : -1; }
    std::vector<std::uint64_t> finishedSounds() override { return std::exchange(finished, {}); }
    int loadSoundFile(const QString& url) override { return url == u"song.mp3" ? 70000 : -1; }
};

Value num(double n)
{
    return Value::fromNumber(n);
}

Value str(const char* s)
{
    return Value::fromString(QString::fromUtf8(s));
}

class SoundClass : public ::testing::Test {
protected:
    void SetUp() override { vm.soundHost = &host; }
    Value newSound(Args args = {})
    {
        return vm.construct(vm.getMember(Value::fromObject(vm.global()), QStringLiteral("Sound")), args);
    }
    Value call(const Value& o, const char* name, Args args = {}) { return vm.callMethod(o, QString::fromUtf8(name), args); }
    double number(const Value& v) { return vm.toNumber(v); }

    RecordingHost host;
    Vm vm{8, nullptr};
};

TEST_F(SoundClass, AttachAndStartPassOffsetAndLoops)
{
    const Value s = newSound();
    call(s, "attachSound", {str("tone")});
    call(s, "start", {num(1.5), num(3)});
    call(s, "start");
    ASSERT_EQ(host.calls.size(), 2);
    EXPECT_EQ(host.calls[0], u"start 7 group 0 at 1500 x3");
    EXPECT_EQ(host.calls[1], u"start 7 group 0 at 0 x1");
    EXPECT_EQ(number(vm.getMember(s, QStringLiteral("duration"))), 1500);
    EXPECT_EQ(number(vm.getMember(s, QStringLiteral("position"))), 250);
    // The state it keeps is not listed.
    EXPECT_TRUE(vm.enumerate(s.object).empty());
}

TEST_F(SoundClass, UnknownLinkageStartsNothing)
{
    const Value s = newSound();
    call(s, "attachSound", {str("nothing")});
    call(s, "start");
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_TRUE(vm.getMember(s, QStringLiteral("duration")).isUndefined());
}

TEST_F(SoundClass, StopByNameOrAll)
{
    const Value s = newSound();
    call(s, "stop");
    call(s, "stop", {str("tone")});
    call(s, "stop", {str("missing")});
    ASSERT_EQ(host.calls.size(), 2);
    EXPECT_EQ(host.calls[0], u"stop -1 group 0");
    EXPECT_EQ(host.calls[1], u"stop 7 group 0");
}

TEST_F(SoundClass, VolumePanAndTransformRouteTheGroup)
{
    const Value s = newSound();
    EXPECT_EQ(number(call(s, "getVolume")), 100);
    call(s, "setVolume", {num(50)});
    EXPECT_EQ(number(call(s, "getVolume")), 50);
    EXPECT_DOUBLE_EQ(host.ll, 0.5);
    EXPECT_DOUBLE_EQ(host.rr, 0.5);
    call(s, "setPan", {num(-100)});
    EXPECT_EQ(number(call(s, "getPan")), -100);
    EXPECT_DOUBLE_EQ(host.ll, 0.5);
    EXPECT_DOUBLE_EQ(host.rr, 0);
    call(s, "setPan", {num(40)});
    EXPECT_EQ(number(call(s, "getPan")), 40);
    EXPECT_DOUBLE_EQ(host.ll, 0.3);
    EXPECT_DOUBLE_EQ(host.rr, 0.5);

    Object* t = vm.newObject();
    vm.setMember(t, QStringLiteral("ll"), num(0));
    vm.setMember(t, QStringLiteral("lr"), num(100));
    vm.setMember(t, QStringLiteral("rl"), num(100));
    vm.setMember(t, QStringLiteral("rr"), num(0));
    call(s, "setVolume", {num(100)});
    call(s, "setTransform", {Value::fromObject(t)});
    EXPECT_DOUBLE_EQ(host.ll, 0);
    EXPECT_DOUBLE_EQ(host.lr, 1);
    EXPECT_DOUBLE_EQ(host.rl, 1);
    const Value back = call(s, "getTransform");
    EXPECT_EQ(number(vm.getMember(back, QStringLiteral("lr"))), 100);
    EXPECT_EQ(number(vm.getMember(back, QStringLiteral("rr"))), 0);

    // A second Sound of the whole movie sees the same volume.
    EXPECT_EQ(number(call(newSound(), "getVolume")), 100);
    call(s, "setVolume", {num(20)});
    EXPECT_EQ(number(call(newSound(), "getVolume")), 20);
}

TEST_F(SoundClass, OnSoundCompleteRunsOnceForTheSoundThatEnded)
{
    const Value s = newSound();
    int completions = 0;
    vm.setMember(s, QStringLiteral("onSoundComplete"),
                 Value::fromObject(vm.newNative([&](Vm&, const Value& self, Args&) {
                     EXPECT_EQ(self.object, s.object);
                     ++completions;
                     return Value();
                 })));
    call(s, "attachSound", {str("tone")});
    call(s, "start");
    host.finished = {41};
    deliverSoundCompletions(vm);
    EXPECT_EQ(completions, 0);
    host.finished = {42};
    deliverSoundCompletions(vm);
    EXPECT_EQ(completions, 1);
    host.finished = {42};
    deliverSoundCompletions(vm);
    EXPECT_EQ(completions, 1);
}

TEST_F(SoundClass, LoadSoundCallsOnLoadOnTheNextFrame)
{
    QStringList loads;
    auto watch = [&](const Value& s, const char* name) {
        vm.setMember(s, QStringLiteral("onLoad"), Value::fromObject(vm.newNative([&loads, name](Vm& vm, const Value&, Args& args) {
                         loads << QStringLiteral("%1 %2").arg(QString::fromLatin1(name), vm.toString(args.at(0)));
                         return Value();
                     })));
    };
    const Value song = newSound();
    const Value missing = newSound();
    watch(song, "song");
    watch(missing, "missing");
    call(song, "loadSound", {str("song.mp3"), Value::fromBool(true)});
    call(missing, "loadSound", {str("missing.mp3"), Value::fromBool(false)});
    // A streaming load starts at once; onLoad waits for the next frame.
    ASSERT_EQ(host.calls.size(), 1);
    EXPECT_EQ(host.calls[0], u"start 70000 group 0 at 0 x1");
    EXPECT_TRUE(loads.isEmpty());
    deliverSoundCompletions(vm);
    EXPECT_EQ(loads, QStringList({QStringLiteral("song true"), QStringLiteral("missing false")}));
    deliverSoundCompletions(vm);
    EXPECT_EQ(loads.size(), 2);
    EXPECT_EQ(number(vm.getMember(song, QStringLiteral("duration"))), 0); // the recording host knows no length
}

TEST_F(SoundClass, WithoutAHostEverythingIsSilent)
{
    vm.soundHost = nullptr;
    const Value s = newSound();
    call(s, "attachSound", {str("tone")});
    call(s, "start");
    call(s, "setVolume", {num(10)});
    EXPECT_EQ(number(call(s, "getVolume")), 10);
    EXPECT_TRUE(vm.getMember(s, QStringLiteral("position")).isUndefined());
}

// ---- in a movie -----------------------------------------------------------

TEST(SoundClassMovie, ScriptsStartAnExportedSoundAtHalfVolume)
{
    using namespace writer;
    using namespace qev::swf::testing;
    MovieBuilder m(100, 100, 10);
    const auto id = defineSound(m, pcmSound(sineWave(440, 0.5, 44100, 0.5), 44100));
    m.exportAsset(id, QStringLiteral("tone"));
    ActionAssembler a;
    a.push("s").push(0).push("Sound").op(op::NewObject).op(op::SetVariable);
    a.push("tone").push(1).push("s").op(op::GetVariable).push("attachSound").op(op::CallMethod).op(op::Pop);
    a.push(50).push(1).push("s").op(op::GetVariable).push("setVolume").op(op::CallMethod).op(op::Pop);
    a.push(0).push("s").op(op::GetVariable).push("start").op(op::CallMethod).op(op::Pop);
    a.push("s").op(op::GetVariable).push("duration").op(op::GetMember).op(op::Trace);
    m.script(a.bytes());
    for (int f = 0; f < 8; ++f)
        m.showFrame();
    Player player;
    QStringList traced;
    player.setTraceHandler([&](const QString& line) { traced << line; });
    const auto mix = playMix(player, m.finish(), 8);
    ASSERT_FALSE(traced.isEmpty());
    EXPECT_EQ(traced[0], u"500");
    EXPECT_NEAR(toneLevel(channel(mix, 200, 4000, 0), 440), 0.25, 0.02);
    EXPECT_NEAR(toneLevel(channel(mix, 4410 * 4 + 200, 4000, 1), 440), 0.25, 0.02);
    EXPECT_LT(rms(channel(mix, 4410 * 6, 4410, 0)), 1e-3);
}

TEST(SoundClassMovie, AClipsVolumeAppliesToItsFramesSoundsAndTheMoviesToAll)
{
    using namespace writer;
    using namespace qev::swf::testing;
    MovieBuilder m(100, 100, 10);
    const auto id = defineSound(m, pcmSound(sineWave(440, 1.0, 44100, 0.5), 44100));
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::PcmLittle, 3, true, false};
    head.samplesPerBlock = 4410;
    soundStreamHead(m, head);
    // Frame 0: new Sound(_root).setVolume(50); frame 3: new Sound().setVolume(0).
    ActionAssembler half;
    half.push(50).push(1).push("_root").op(op::GetVariable).push(1).push("Sound").op(op::NewObject);
    half.push("setVolume").op(op::CallMethod).op(op::Pop);
    ActionAssembler mute;
    mute.push(0).push(1).push(0).push("Sound").op(op::NewObject).push("setVolume").op(op::CallMethod).op(op::Pop);
    for (int f = 0; f < 5; ++f) {
        if (f == 0) {
            m.script(half.bytes());
            startSound(m, id);
        }
        if (f == 3)
            m.script(mute.bytes());
        soundStreamBlock(m, pcm16(sineWave(660, 0.1, 44100, 0.5)));
        m.showFrame();
    }
    Player player;
    const auto mix = playMix(player, m.finish(), 5);
    const auto frame = [&](int f) { return channel(mix, std::size_t(f) * 4410 + 200, 4000, 0); };
    EXPECT_NEAR(toneLevel(frame(1), 440), 0.25, 0.02);
    EXPECT_NEAR(toneLevel(frame(1), 660), 0.25, 0.02);
    EXPECT_LT(rms(frame(4)), 1e-3);
}

TEST(SoundClassMovie, LoadSoundPlaysAnMp3FileBesideTheMovie)
{
    using namespace writer;
    using namespace qev::swf::testing;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile mp3(dir.filePath(QStringLiteral("tone.mp3")));
    ASSERT_TRUE(mp3.open(QIODevice::WriteOnly));
    mp3.write(QByteArray("ID3\x03\x00\x00\x00\x00\x00\x04TAGS", 14)); // a tag in front is skipped
    mp3.write(encodeWithFfmpeg("libmp3lame", sineWave(440, 1.0, 22050, 0.5), 22050));
    mp3.close();

    MovieBuilder m(100, 100, 10);
    ActionAssembler a;
    a.push("s").push(0).push("Sound").op(op::NewObject).op(op::SetVariable);
    a.pushBool(true).push("tone.mp3").push(2).push("s").op(op::GetVariable).push("loadSound").op(op::CallMethod).op(op::Pop);
    m.script(a.bytes());
    for (int f = 0; f < 6; ++f)
        m.showFrame();
    const QString moviePath = dir.filePath(QStringLiteral("movie.swf"));
    QFile movie(moviePath);
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write(m.finish());
    movie.close();

    Player player;
    player.setSoundCapture(true);
    ASSERT_TRUE(player.load(moviePath).isEmpty());
    std::vector<std::int16_t> mix = player.mixFrame();
    for (int f = 1; f < 6; ++f) {
        player.advance();
        const auto part = player.mixFrame();
        mix.insert(mix.end(), part.begin(), part.end());
    }
    EXPECT_NEAR(toneLevel(channel(mix, 4410 * 3, 4000, 0), 440), 0.5, 0.06);

    // From memory there is no folder: nothing is read, a warning says why.
    QStringList warnings;
    Player fromMemory;
    fromMemory.setWarningHandler([&](const QString& w) { warnings << w; });
    fromMemory.setSoundCapture(true);
    ASSERT_TRUE(fromMemory.loadBytes(m.finish()).isEmpty());
    EXPECT_TRUE(warnings.join(u'\n').contains(u"not a file beside the movie"));
}

} // namespace
