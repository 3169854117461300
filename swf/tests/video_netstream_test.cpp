// FLV files played by script: NetConnection's null connection, a NetStream
// playing a file beside the movie on the movie's clock (its status,
// metadata and cue points reach the script's handlers), and a placed video
// showing the stream's pictures once a script attached it.

#include "engine_test_support.h"
#include "script_test_support.h"
#include "video_test_support.h"

#include "avm1/Vm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <cstring>

namespace qev::swf {
namespace {

using testing::colorNear;
using testing::encodeVideo;
using testing::frameImage;
using testing::testColor;
using testing::testPictures;
using writer::ActionAssembler;
using writer::MovieBuilder;
namespace op = writer::op;

using testing::amfNumber;
using testing::amfString;
using testing::be;
using testing::flvTag;

// Ten 64 x 48 H.263 pictures 40 ms apart, key frames at 0 and 200 ms; an
// onMetaData at the start and an onCuePoint "chapter2" at 200 ms.
QByteArray flvClip()
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(10), 5);
    QByteArray f = QByteArray("FLV") + be(1, 1) + be(0x01, 1) + be(9, 4) + be(0, 4);
    QByteArray meta = QByteArray(1, '\x02') + amfString("onMetaData") + QByteArray(1, '\x08') + be(3, 4);
    meta += amfString("width") + amfNumber(64) + amfString("height") + amfNumber(48);
    meta += amfString("duration") + amfNumber(0.4) + be(0, 2) + QByteArray(1, '\x09');
    f += flvTag(18, 0, meta);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const int frameType = i % 5 == 0 ? 1 : 2;
        f += flvTag(9, std::uint32_t(i * 40), QByteArray(1, char((frameType << 4) | 2)) + packets[i]);
    }
    QByteArray cue = QByteArray(1, '\x02') + amfString("onCuePoint") + QByteArray(1, '\x03');
    cue += amfString("name") + QByteArray(1, '\x02') + amfString("chapter2") + amfString("time") + amfNumber(0.2);
    cue += be(0, 2) + QByteArray(1, '\x09');
    f += flvTag(18, 200, cue);
    return f;
}

QByteArray u16(std::uint16_t v)
{
    return QByteArray(1, char(v & 0xFF)) + QByteArray(1, char(v >> 8));
}

void traceExpr(ActionAssembler& a, const char* object, const char* member, const char* prefix)
{
    a.push(prefix).push(object).op(op::GetVariable).push(member).op(op::GetMember).op(op::Add2).op(op::Trace);
}

// object.method(args...) with its result dropped; the arguments are pushed by pushArgs.
void call(ActionAssembler& a, const char* object, const char* method, int argc = 0,
          const std::function<void(ActionAssembler&)>& pushArgs = {})
{
    if (pushArgs)
        pushArgs(a);
    a.push(argc).push(object).op(op::GetVariable).push(method).op(op::CallMethod).op(op::Pop);
}

// A handler that traces prefix + arg.member (+ " " + arg.member2).
void handler(ActionAssembler& a, const char* object, const char* name, const char* prefix, const char* member,
             const char* member2 = nullptr)
{
    ActionAssembler body;
    body.push(prefix).push("x").op(op::GetVariable).push(member).op(op::GetMember).op(op::Add2);
    if (member2)
        body.push(" ").op(op::Add2).push("x").op(op::GetVariable).push(member2).op(op::GetMember).op(op::Add2);
    body.op(op::Trace);
    a.push(object).op(op::GetVariable).push(name).function(QString(), {QStringLiteral("x")}, body).op(op::SetMember);
}

// The first frame's script: a null connection, a stream with handlers
// that trace, attached to the video "screen", playing file.
ActionAssembler setup(const char* file)
{
    ActionAssembler a;
    a.push("nc").push(0).push("NetConnection").op(op::NewObject).op(op::SetVariable);
    handler(a, "nc", "onStatus", "", "code");
    call(a, "nc", "connect", 1, [](ActionAssembler& s) { s.pushNull(); });
    a.push("ns").push("nc").op(op::GetVariable).push(1).push("NetStream").op(op::NewObject).op(op::SetVariable);
    handler(a, "ns", "onStatus", "", "code", "level");
    handler(a, "ns", "onMetaData", "meta ", "width", "height");
    handler(a, "ns", "onCuePoint", "cue ", "name");
    call(a, "screen", "attachVideo", 1, [](ActionAssembler& s) { s.push("ns").op(op::GetVariable); });
    call(a, "ns", "play", 1, [file](ActionAssembler& s) { s.push(file); });
    return a;
}

// A 25 fps movie (one stream picture per tick) with a 64 x 48 video named
// "screen" at (10, 20) on black; frame 0 runs setup(file), frame i the
// script given for it; the last frame stops.
class NetStreamMovie {
public:
    NetStreamMovie(const char* file, std::vector<ActionAssembler> later)
    {
        QFile clip(dir.filePath("clip.flv"));
        EXPECT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.write(flvClip());
        clip.close();
        MovieBuilder m(200, 150, 25, 8);
        m.setBackgroundColor(Rgba{0, 0, 0, 255});
        const std::uint16_t id = m.defineRaw(60, u16(0) + u16(64) + u16(48) + QByteArray(1, '\0') + QByteArray(1, '\x02'));
        PlaceObject p;
        p.characterId = id;
        p.depth = 1;
        p.matrix = Matrix{};
        p.matrix->tx = Twips(10 * 20);
        p.matrix->ty = Twips(20 * 20);
        p.name = QStringLiteral("screen");
        m.place(p);
        later.insert(later.begin(), setup(file));
        for (std::size_t i = 0; i < later.size(); ++i) {
            if (i + 1 == later.size())
                later[i].op(op::Stop);
            m.script(later[i].bytes());
            m.showFrame();
        }
        QFile movie(dir.filePath("movie.swf"));
        EXPECT_TRUE(movie.open(QIODevice::WriteOnly));
        movie.write(m.finish());
        movie.close();
        player.setTraceHandler([this](const QString& line) { traces << line; });
        player.setVirtualClock(0, 0);
        const QString error = player.load(dir.filePath("movie.swf"));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // The colour at the middle of the video's place.
    QRgb videoColour() const { return frameImage(player).pixel(10 + 16, 20 + 24); }

    QTemporaryDir dir;
    Player player;
    QStringList traces;
};

TEST(NetStream, PlayTellsTheStartAndTheMetaDataThenCuePointsAndTheEnd)
{
    NetStreamMovie movie("clip.flv", {});
    EXPECT_EQ(movie.traces, QStringList{"NetConnection.Connect.Success"}); // the stream tells on the next tick
    movie.player.advance();
    EXPECT_EQ(movie.traces, (QStringList{"NetConnection.Connect.Success", "NetStream.Play.Start status", "meta 64 48",
                                         "NetStream.Buffer.Full status"}));
    for (int i = 0; i < 12; ++i)
        movie.player.advance();
    EXPECT_EQ(movie.traces.mid(4), (QStringList{"cue chapter2", "NetStream.Play.Stop status"}));
}

TEST(NetStream, TheVideoShowsTheStreamsPictureOfTheMoment)
{
    NetStreamMovie movie("clip.flv", {});
    for (int tick = 1; tick <= 7; ++tick) {
        movie.player.advance();
        if (tick == 1 || tick == 4 || tick == 7) {
            EXPECT_TRUE(colorNear(movie.videoColour(), testColor(tick), 14)) << "tick " << tick;
        }
    }
    // A new picture of the stream is a changed picture of the movie.
    QImage drawn(movie.player.stageSize(), QImage::Format_RGB32);
    {
        QPainter painter(&drawn);
        movie.player.render(painter, drawn.rect());
    }
    EXPECT_FALSE(movie.player.pictureChanged());
    movie.player.advance();
    EXPECT_TRUE(movie.player.pictureChanged());
    // Outside the video the stage stays black.
    EXPECT_TRUE(colorNear(frameImage(movie.player).pixel(5, 5), qRgb(0, 0, 0), 2));
}

TEST(NetStream, PauseHoldsTheClockAndResumes)
{
    ActionAssembler pause, show, resume;
    traceExpr(pause, "ns", "time", "t=");
    call(pause, "ns", "pause", 1, [](ActionAssembler& s) { s.pushBool(true); });
    traceExpr(show, "ns", "time", "t=");
    call(resume, "ns", "pause"); // no flag: toggles
    traceExpr(resume, "ns", "time", "t=");
    NetStreamMovie movie("clip.flv", {ActionAssembler(), pause, ActionAssembler(), show, resume, ActionAssembler(), show});
    for (int i = 0; i < 7; ++i)
        movie.player.advance();
    QStringList times;
    for (const QString& line : movie.traces)
        if (line.startsWith("t=") || line.contains("ause.Notify"))
            times << line;
    EXPECT_EQ(times, (QStringList{"t=0.04", "NetStream.Pause.Notify status", "t=0.04", "t=0.04",
                                  "NetStream.Unpause.Notify status", "t=0.12"}));
}

TEST(NetStream, SeekGoesToTheKeyFrameBeforeTheTime)
{
    ActionAssembler seek;
    call(seek, "ns", "seek", 1, [](ActionAssembler& s) { s.push(0.3); });
    traceExpr(seek, "ns", "time", "t=");
    NetStreamMovie movie("clip.flv", {ActionAssembler(), ActionAssembler(), seek});
    for (int i = 0; i < 3; ++i)
        movie.player.advance();
    // Seeking to 0.3 s lands on the key frame at 0.2 s; the tick then moves on 40 ms.
    EXPECT_TRUE(movie.traces.contains("t=0.2"));
    EXPECT_TRUE(movie.traces.contains("NetStream.Seek.Notify status"));
    EXPECT_TRUE(colorNear(movie.videoColour(), testColor(6), 14));
}

TEST(NetStream, CloseTakesThePictureAway)
{
    ActionAssembler close;
    call(close, "ns", "close");
    traceExpr(close, "ns", "time", "t=");
    NetStreamMovie movie("clip.flv", {ActionAssembler(), close});
    movie.player.advance();
    EXPECT_TRUE(colorNear(movie.videoColour(), testColor(1), 14));
    movie.player.advance();
    EXPECT_TRUE(movie.traces.contains("t=0"));
    EXPECT_TRUE(colorNear(movie.videoColour(), qRgb(0, 0, 0), 2));
}

TEST(NetStream, AMissingFileIsAStreamNotFound)
{
    NetStreamMovie movie("nothere.flv", {});
    movie.player.advance();
    movie.player.advance();
    EXPECT_EQ(movie.traces, (QStringList{"NetConnection.Connect.Success", "NetStream.Play.StreamNotFound error"}));
    EXPECT_TRUE(colorNear(movie.videoColour(), qRgb(0, 0, 0), 2));
}

TEST(NetStream, AFolderOrAPathOutOfTheMoviesFolderIsNotPlayed)
{
    NetStreamMovie movie("../clip.flv", {});
    movie.player.advance();
    EXPECT_TRUE(movie.traces.contains("NetStream.Play.StreamNotFound error"));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub/deeper"));
    QFile f(dir.filePath("sub/clip.flv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("FLV");
    f.close();
    const QString folder = dir.filePath("sub");
    EXPECT_EQ(avm1::resolveBesideMovie(folder, "clip.flv"), QDir::cleanPath(dir.filePath("sub/clip.flv")));
    EXPECT_EQ(avm1::resolveBesideMovie(dir.path(), "sub\\clip.flv"), QDir::cleanPath(dir.filePath("sub/clip.flv")));
    EXPECT_EQ(avm1::resolveBesideMovie(folder, "deeper"), QString());
    EXPECT_EQ(avm1::resolveBesideMovie(folder + "/deeper", "../clip.flv"), QString());
    EXPECT_EQ(avm1::resolveBesideMovie(folder, dir.filePath("sub/clip.flv")), QString());
    EXPECT_EQ(avm1::resolveBesideMovie(folder, "file:clip.flv"), QString());
    EXPECT_EQ(avm1::resolveBesideMovie(QString(), "clip.flv"), QString());
}

TEST(NetStream, TheVideoObjectReportsItsSizeAndClears)
{
    ActionAssembler size, clear;
    traceExpr(size, "screen", "width", "w=");
    traceExpr(size, "screen", "height", "h=");
    traceExpr(size, "screen", "smoothing", "s=");
    traceExpr(size, "ns", "bytesLoaded", "l=");
    traceExpr(size, "ns", "bytesTotal", "b=");
    call(size, "ns", "pause", 1, [](ActionAssembler& s) { s.pushBool(true); });
    call(clear, "screen", "clear");
    NetStreamMovie movie("clip.flv", {ActionAssembler(), size, clear, ActionAssembler()});
    movie.player.advance();
    movie.player.advance();
    EXPECT_TRUE(movie.traces.contains("w=64"));
    EXPECT_TRUE(movie.traces.contains("h=48"));
    EXPECT_TRUE(movie.traces.contains("s=false"));
    const QString bytes = QString::number(QFileInfo(movie.dir.filePath("clip.flv")).size());
    EXPECT_TRUE(movie.traces.contains("l=" + bytes));
    EXPECT_TRUE(movie.traces.contains("b=" + bytes));
    EXPECT_TRUE(colorNear(movie.videoColour(), testColor(1), 14));
    movie.player.advance();
    movie.player.advance();
    // Paused and cleared: nothing until the stream shows another picture.
    EXPECT_TRUE(colorNear(movie.videoColour(), qRgb(0, 0, 0), 2));
}

} // namespace
} // namespace qev::swf
