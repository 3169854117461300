// FLV files: tags read into packets, script data into values, the video
// decoded back to its pictures, and files cut short or scrambled.

#include "engine_test_support.h"
#include "video_test_support.h"

#include "video/FlvFile.h"
#include "video/FlvPlayback.h"
#include "video/StreamPictures.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <cstring>

namespace qev::swf {
namespace {

using testing::amfNumber;
using testing::amfString;
using testing::be;
using testing::colorNear;
using testing::flvTag;
using testing::encodeVideo;
using testing::testColor;
using testing::testPictures;

// onMetaData with width, height and duration; one H.263 packet every 40 ms
// (key frames flagged), an MP3 audio tag after the first; an onCuePoint.
QByteArray flvFile(const std::vector<QByteArray>& packets, int keyInterval)
{
    QByteArray f = QByteArray("FLV") + be(1, 1) + be(0x05, 1) + be(9, 4) + be(0, 4);
    QByteArray meta = QByteArray(1, '\x02') + amfString("onMetaData") + QByteArray(1, '\x08') + be(3, 4);
    meta += amfString("width") + amfNumber(64) + amfString("height") + amfNumber(48);
    meta += amfString("duration") + amfNumber(packets.size() * 0.04) + be(0, 2) + QByteArray(1, '\x09');
    f += flvTag(18, 0, meta);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const int frameType = i % std::size_t(keyInterval) == 0 ? 1 : 2;
        f += flvTag(9, std::uint32_t(i * 40), QByteArray(1, char((frameType << 4) | 2)) + packets[i]);
        if (i == 0)
            f += flvTag(8, 0, QByteArray::fromHex("2effeedd"));
    }
    QByteArray cue = QByteArray(1, '\x02') + amfString("onCuePoint") + QByteArray(1, '\x03');
    cue += amfString("name") + QByteArray(1, '\x02') + amfString("chapter2") + amfString("time") + amfNumber(0.2);
    cue += be(0, 2) + QByteArray(1, '\x09');
    f += flvTag(18, 200, cue);
    return f;
}

VideoStream streamOf(const video::FlvFile& flv)
{
    VideoStream s;
    s.codecId = std::uint8_t(flv.videoCodec);
    for (std::size_t i = 0; i < flv.video.size(); ++i)
        s.frames[std::uint16_t(i)] = flv.video[i].data;
    return s;
}

TEST(FlvFile, TagsReadIntoPacketsAndScriptValues)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(10), 5);
    ASSERT_EQ(packets.size(), 10u);
    const video::FlvFile flv = video::readFlv(flvFile(packets, 5));
    EXPECT_TRUE(flv.warnings.empty());
    EXPECT_TRUE(flv.declaresAudio);
    EXPECT_TRUE(flv.declaresVideo);
    EXPECT_EQ(flv.videoCodec, VideoCodec::SorensonH263);
    ASSERT_EQ(flv.video.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(flv.video[i].timeMs, i * 40);
        EXPECT_EQ(flv.video[i].keyFrame, i % 5 == 0);
        EXPECT_EQ(flv.video[i].data, packets[i]);
    }
    ASSERT_EQ(flv.audio.size(), 1u);
    EXPECT_EQ(flv.audio[0].format, 0x2e);
    EXPECT_EQ(flv.audio[0].data, QByteArray::fromHex("ffeedd"));
    ASSERT_EQ(flv.scripts.size(), 2u);
    EXPECT_EQ(flv.scripts[0].name, "onMetaData");
    const QVariantMap meta = flv.scripts[0].value.toMap();
    EXPECT_EQ(meta.value("width").toDouble(), 64);
    EXPECT_EQ(meta.value("height").toDouble(), 48);
    EXPECT_DOUBLE_EQ(meta.value("duration").toDouble(), 0.4);
    EXPECT_EQ(flv.scripts[1].name, "onCuePoint");
    EXPECT_EQ(flv.scripts[1].timeMs, 200u);
    EXPECT_EQ(flv.scripts[1].value.toMap().value("name").toString(), "chapter2");
}

TEST(FlvFile, ItsVideoDecodesToThePictures)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(10), 5);
    ASSERT_EQ(packets.size(), 10u);
    const video::FlvFile flv = video::readFlv(flvFile(packets, 5));
    const VideoStream stream = streamOf(flv);
    video::StreamPictures pictures(stream, video::StreamPictures::kDefaultCacheBytes, flv.videoSetup);
    for (int i : {0, 7, 3, 9}) {
        const QImage image = pictures.picture(i);
        ASSERT_EQ(image.size(), QSize(64, 48));
        EXPECT_TRUE(colorNear(image.pixel(16, 24), testColor(i), 14)) << "frame " << i;
    }
}

TEST(FlvFile, VideoTagsOfVp6AndH264GiveTheirSetupBytesSeparately)
{
    QByteArray f = QByteArray("FLV") + be(1, 1) + be(0x01, 1) + be(9, 4) + be(0, 4);
    f += flvTag(9, 0, QByteArray::fromHex("14" "21" "46aabb")); // key frame, VP6, adjustment 0x21
    f += flvTag(9, 40, QByteArray::fromHex("24" "21" "c6ccdd"));
    video::FlvFile vp6 = video::readFlv(f);
    EXPECT_EQ(vp6.videoCodec, VideoCodec::Vp6);
    EXPECT_EQ(vp6.videoSetup, QByteArray::fromHex("21"));
    ASSERT_EQ(vp6.video.size(), 2u);
    EXPECT_EQ(vp6.video[0].data, QByteArray::fromHex("46aabb"));
    EXPECT_FALSE(vp6.video[1].keyFrame);

    QByteArray h = QByteArray("FLV") + be(1, 1) + be(0x01, 1) + be(9, 4) + be(0, 4);
    h += flvTag(9, 0, QByteArray::fromHex("17" "00" "000000" "01640015ff"));     // configuration record
    h += flvTag(9, 0, QByteArray::fromHex("17" "01" "000000" "0000000565889f")); // one access unit
    h += flvTag(9, 40, QByteArray::fromHex("57" "00"));                        // a command frame
    const video::FlvFile avc = video::readFlv(h);
    EXPECT_EQ(avc.videoCodec, VideoCodec::H264);
    EXPECT_EQ(avc.videoSetup, QByteArray::fromHex("01640015ff"));
    ASSERT_EQ(avc.video.size(), 1u);
    EXPECT_EQ(avc.video[0].data, QByteArray::fromHex("0000000565889f"));
    EXPECT_TRUE(avc.video[0].keyFrame);
}

TEST(FlvFile, AFileCutShortKeepsItsWholeTags)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(6), 3);
    ASSERT_EQ(packets.size(), 6u);
    const QByteArray whole = flvFile(packets, 3);
    const video::FlvFile full = video::readFlv(whole);
    std::size_t lastVideo = 0;
    for (qsizetype cut = 0; cut <= whole.size(); cut += 7) {
        const video::FlvFile part = video::readFlv(whole.first(cut));
        EXPECT_LE(part.bytesUsed, std::size_t(cut));
        EXPECT_LE(part.video.size(), full.video.size());
        EXPECT_GE(part.video.size(), lastVideo); // more bytes never lose packets
        lastVideo = part.video.size();
        for (std::size_t i = 0; i < part.video.size(); ++i)
            EXPECT_EQ(part.video[i].data, full.video[i].data);
        // A cut between two tags looks like a whole file; any other is told.
        if (cut < whole.size() && part.bytesUsed != std::size_t(cut)) {
            EXPECT_FALSE(part.warnings.empty()) << "cut at " << cut;
        }
    }
    EXPECT_TRUE(video::readFlv(QByteArray("GIF89a")).video.empty());
    EXPECT_FALSE(video::readFlv(QByteArray("GIF89a")).warnings.empty());
}

TEST(FlvFile, ScrambledFilesNeverFailAndScriptDataStaysBounded)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(4), 2);
    ASSERT_EQ(packets.size(), 4u);
    const QByteArray whole = flvFile(packets, 2);
    QRandomGenerator random(61);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = whole;
        for (int k = 0; k < 4; ++k)
            bytes[qsizetype(random.bounded(int(bytes.size())))] = char(random.bounded(256));
        const video::FlvFile flv = video::readFlv(bytes);
        EXPECT_LE(flv.bytesUsed, std::size_t(bytes.size()));
    }
    // Objects nested far deeper than any file needs are refused, not followed.
    QByteArray deep = QByteArray(1, '\x02') + amfString("onMetaData");
    for (int i = 0; i < 100000; ++i)
        deep += QByteArray(1, '\x03') + amfString("a");
    QByteArray f = QByteArray("FLV") + be(1, 1) + be(0, 1) + be(9, 4) + be(0, 4) + flvTag(18, 0, deep);
    const video::FlvFile flv = video::readFlv(f);
    EXPECT_TRUE(flv.scripts.empty());
    EXPECT_EQ(flv.warnings.size(), 1u);
}

std::vector<QString> codes(const std::vector<video::StreamEvent>& events)
{
    std::vector<QString> out;
    for (const auto& e : events) {
        switch (e.kind) {
        case video::StreamEvent::Kind::Status: out.push_back(e.code); break;
        case video::StreamEvent::Kind::MetaData: out.push_back(QStringLiteral("metadata")); break;
        case video::StreamEvent::Kind::CuePoint: out.push_back(QStringLiteral("cue ") + e.value.toMap().value("name").toString()); break;
        }
    }
    return out;
}

using Codes = std::vector<QString>;

TEST(FlvPlayback, PlaysOnItsClockWithStatusMetadataAndCuePoints)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(10), 5);
    ASSERT_EQ(packets.size(), 10u);
    video::FlvPlayback stream(video::readFlv(flvFile(packets, 5)));
    stream.advance(100); // nothing moves before play
    EXPECT_DOUBLE_EQ(stream.time(), 0);
    stream.play();
    EXPECT_EQ(codes(stream.takeEvents()), (Codes{"NetStream.Play.Start", "metadata"}));
    EXPECT_TRUE(colorNear(stream.picture().pixel(16, 24), testColor(0), 14));
    stream.advance(130); // 130 ms: frame 3 (at 120 ms)
    EXPECT_DOUBLE_EQ(stream.time(), 0.13);
    EXPECT_TRUE(colorNear(stream.picture().pixel(16, 24), testColor(3), 14));
    EXPECT_TRUE(stream.takeEvents().empty());
    stream.pause(true);
    stream.advance(1000);
    EXPECT_DOUBLE_EQ(stream.time(), 0.13);
    stream.pause(false);
    EXPECT_EQ(codes(stream.takeEvents()), (Codes{"NetStream.Pause.Notify", "NetStream.Unpause.Notify"}));
    stream.advance(100); // past the cue point at 200 ms
    EXPECT_EQ(codes(stream.takeEvents()), (Codes{"cue chapter2"}));
    stream.advance(1000);
    EXPECT_DOUBLE_EQ(stream.time(), 0.36); // the last frame's time
    EXPECT_TRUE(colorNear(stream.picture().pixel(16, 24), testColor(9), 14));
    EXPECT_EQ(codes(stream.takeEvents()), (Codes{"NetStream.Play.Stop"}));
    stream.close();
    EXPECT_TRUE(stream.picture().isNull());
}

TEST(FlvPlayback, SeeksLandOnTheKeyFrameAtOrBeforeTheTime)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(10), 5);
    ASSERT_EQ(packets.size(), 10u);
    video::FlvPlayback stream(video::readFlv(flvFile(packets, 5)));
    stream.play();
    stream.takeEvents();
    stream.seek(0.35); // key frames at 0 and 200 ms
    EXPECT_DOUBLE_EQ(stream.time(), 0.2);
    EXPECT_TRUE(colorNear(stream.picture().pixel(16, 24), testColor(5), 14));
    stream.seek(0.1);
    EXPECT_DOUBLE_EQ(stream.time(), 0);
    stream.seek(99);
    stream.seek(-1);
    EXPECT_DOUBLE_EQ(stream.time(), 0);
    EXPECT_EQ(codes(stream.takeEvents()), (Codes{"NetStream.Seek.Notify", "NetStream.Seek.Notify",
                                                 "NetStream.Seek.InvalidTime", "NetStream.Seek.InvalidTime"}));
}

TEST(FlvPlayback, AMissingOrEmptyFileIsAStreamNotFound)
{
    video::FlvPlayback stream(video::readFlv(QByteArray()));
    stream.play();
    const auto events = stream.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, "NetStream.Play.StreamNotFound");
    EXPECT_EQ(events[0].level, "error");
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_TRUE(stream.picture().isNull());
}

} // namespace
} // namespace qev::swf
