// Embedded video: the two tags read into the model, every codec libavcodec
// can also encode decoded back to its pictures, frames asked for out of
// order, placed videos drawn like other characters, and broken streams.

#include "engine_test_support.h"
#include "video_test_support.h"

#include "qev/swf/Reader.h"
#include "video/StreamPictures.h"
#include "video/VideoDecoder.h"

#include <QRandomGenerator>

namespace qev::swf {
namespace {

using namespace writer;
using testing::colorNear;
using testing::encodeVideo;
using testing::frameImage;
using testing::loadOrFail;
using testing::testColor;
using testing::testPictures;

constexpr int kTagDefineVideoStream = 60;
constexpr int kTagVideoFrame = 61;

QByteArray u16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char(v >> 8);
    return b;
}

// DefineVideoStream's body after the id.
QByteArray streamHeader(int frames, int w, int h, VideoCodec codec, int flags = 0)
{
    QByteArray b = u16(std::uint16_t(frames)) + u16(std::uint16_t(w)) + u16(std::uint16_t(h));
    b.append(char(flags));
    b.append(char(codec));
    return b;
}

QByteArray frameTag(std::uint16_t stream, std::uint16_t number, const QByteArray& packet)
{
    return u16(stream) + u16(number) + packet;
}

VideoStream streamOf(VideoCodec codec, const std::vector<QByteArray>& packets, int w = 64, int h = 48)
{
    VideoStream s;
    s.codecId = std::uint8_t(codec);
    s.width = std::uint16_t(w);
    s.height = std::uint16_t(h);
    s.declaredFrameCount = std::uint16_t(packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i)
        s.frames[std::uint16_t(i)] = packets[i];
    return s;
}

// The left half of each test picture is its frame's colour.
QRgb leftColor(const QImage& image) { return image.pixel(image.width() / 4, image.height() / 2); }

TEST(VideoReader, HandWorkedTagsReadAsAStreamWithItsFrames)
{
    MovieBuilder m(100, 100, 12, 8);
    // id 1, 3 frames, 320 x 240, deblocking 2 and smoothing (0b0101), VP6.
    const QByteArray body = QByteArray::fromHex("0100" "0300" "4001" "f000" "05" "04");
    m.rawTag(kTagDefineVideoStream, body);
    m.rawTag(kTagVideoFrame, QByteArray::fromHex("0100" "0000" "aabbcc"));
    m.rawTag(kTagVideoFrame, QByteArray::fromHex("0100" "0200" "dd"));
    m.rawTag(kTagVideoFrame, QByteArray::fromHex("0900" "0100" "ee")); // no such stream
    m.showFrame();
    const Movie movie = readMovie(m.finish());
    const auto* video = movie.find<VideoStream>(1);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->declaredFrameCount, 3);
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(video->height, 240);
    EXPECT_EQ(video->deblocking, 2);
    EXPECT_TRUE(video->smoothing);
    EXPECT_EQ(video->codec(), VideoCodec::Vp6);
    ASSERT_EQ(video->frames.size(), 2u);
    EXPECT_EQ(video->frames.at(0), QByteArray::fromHex("aabbcc"));
    EXPECT_EQ(video->frames.at(2), QByteArray::fromHex("dd"));
    EXPECT_EQ(movie.warnings.size(), 1u);
}

TEST(VideoKeyFrames, ReadFromEachCodecsPacketHeader)
{
    using video::isKeyFrame;
    // VP6: the first bit is 0 on intra frames; VP6 with alpha has 3 bytes of offset first.
    EXPECT_TRUE(isKeyFrame(VideoCodec::Vp6, QByteArray::fromHex("46")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::Vp6, QByteArray::fromHex("c6")));
    EXPECT_TRUE(isKeyFrame(VideoCodec::Vp6Alpha, QByteArray::fromHex("00001046")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::Vp6Alpha, QByteArray::fromHex("000010c6")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::Vp6, {}));
    // Sorenson H.263 with picture size 2 (no explicit size): start code
    // 0000 0000 0000 0000 1, version 00000, reference 00000000, size 010,
    // then the type (00 intra, 01 inter).
    EXPECT_TRUE(isKeyFrame(VideoCodec::SorensonH263, QByteArray::fromHex("000080010000")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::SorensonH263, QByteArray::fromHex("000080012000")));
    // Size 0: 8-bit width and height come before the type.
    EXPECT_TRUE(isKeyFrame(VideoCodec::SorensonH263, QByteArray::fromHex("000080000808000000")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::SorensonH263, QByteArray::fromHex("000080000808200000")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::SorensonH263, QByteArray::fromHex("0000")));
    // Screen video of one 16 x 16 block: key only when the block is there.
    EXPECT_TRUE(isKeyFrame(VideoCodec::ScreenVideo, QByteArray::fromHex("0010" "0010" "0001" "ff")));
    EXPECT_FALSE(isKeyFrame(VideoCodec::ScreenVideo, QByteArray::fromHex("0010" "0010" "0000")));
}

struct EncodedCodec {
    AVCodecID encoder;
    VideoCodec codec;
    int tolerance; // lossy codecs land near the colour
    int keyInterval;
};

class VideoCodecRoundTrip : public ::testing::TestWithParam<EncodedCodec> {};

TEST_P(VideoCodecRoundTrip, EveryFrameDecodesToItsPicture)
{
    const auto [encoder, codec, tolerance, keyInterval] = GetParam();
    const auto packets = encodeVideo(encoder, testPictures(12), keyInterval);
    ASSERT_EQ(packets.size(), 12u) << "the encoder is missing or failed";
    const VideoStream stream = streamOf(codec, packets);
    video::StreamPictures pictures(stream);
    for (int i = 0; i < 12; ++i) {
        const QImage image = pictures.picture(i);
        ASSERT_EQ(image.size(), QSize(64, 48)) << "frame " << i;
        EXPECT_TRUE(colorNear(leftColor(image), testColor(i), tolerance)) << "frame " << i;
        // The moving square: white where it is, black just above it.
        const int y = i % 40;
        EXPECT_TRUE(colorNear(image.pixel(44, y + 4), 0xffffffff, tolerance)) << "frame " << i;
    }
    EXPECT_EQ(pictures.packetsDecoded(), 12u);
}

INSTANTIATE_TEST_SUITE_P(Codecs, VideoCodecRoundTrip,
                         // The inter frames libavcodec's Screen Video 2 encoder writes
                         // decode to the picture before them unchanged, so that stream
                         // is all key frames.
                         ::testing::Values(EncodedCodec{AV_CODEC_ID_FLV1, VideoCodec::SorensonH263, 14, 5},
                                           EncodedCodec{AV_CODEC_ID_FLASHSV, VideoCodec::ScreenVideo, 0, 5},
                                           EncodedCodec{AV_CODEC_ID_FLASHSV2, VideoCodec::ScreenVideo2, 0, 1}),
                         [](const auto& info) { return std::to_string(int(info.param.codec)); });

TEST(VideoSeeking, OutOfOrderFramesMatchDecodingInOrderAndStepsBackHitTheCache)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(30), 10);
    ASSERT_EQ(packets.size(), 30u);
    const VideoStream stream = streamOf(VideoCodec::SorensonH263, packets);
    std::vector<QImage> inOrder;
    {
        video::StreamPictures sequential(stream);
        for (int i = 0; i < 30; ++i)
            inOrder.push_back(sequential.picture(i));
    }
    video::StreamPictures pictures(stream);
    // A jump to 25 decodes from the key frame at 20 only.
    EXPECT_EQ(pictures.picture(25), inOrder[25]);
    EXPECT_EQ(pictures.packetsDecoded(), 6u);
    // Back to 13: from the key frame at 10.
    EXPECT_EQ(pictures.picture(13), inOrder[13]);
    EXPECT_EQ(pictures.packetsDecoded(), 10u);
    // Stepping back by two through frames decoded on the way costs nothing.
    EXPECT_EQ(pictures.picture(11), inOrder[11]);
    EXPECT_EQ(pictures.picture(23), inOrder[23]);
    EXPECT_EQ(pictures.packetsDecoded(), 10u);
    // Forward from 13 to 16 goes on without going back to the key frame.
    EXPECT_EQ(pictures.picture(16), inOrder[16]);
    EXPECT_EQ(pictures.packetsDecoded(), 13u);
    // A frame number past the last packet shows the last one.
    EXPECT_EQ(pictures.picture(500), inOrder[29]);
    EXPECT_TRUE(pictures.picture(-1).isNull());
}

TEST(VideoSeeking, ATinyCacheStillGivesTheRightPictures)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(20), 10);
    ASSERT_EQ(packets.size(), 20u);
    const VideoStream stream = streamOf(VideoCodec::SorensonH263, packets);
    video::StreamPictures sequential(stream);
    video::StreamPictures small(stream, 64 * 48 * 4 * 2); // two pictures
    for (int i : {19, 3, 17, 15, 0, 9, 10, 2}) {
        EXPECT_EQ(small.picture(i), sequential.picture(i)) << "frame " << i;
    }
}

TEST(VideoSeeking, AFarJumpSpreadsItsDecodingOverSeveralCallsAndEndsOnTheFrame)
{
    // One key frame at the start only.
    const auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(30), 1000);
    ASSERT_EQ(packets.size(), 30u);
    const VideoStream stream = streamOf(VideoCodec::SorensonH263, packets);
    video::StreamPictures pictures(stream);
    pictures.setPacketBudget(8);
    // Each call moves on by eight packets and shows the picture it reached.
    EXPECT_TRUE(colorNear(leftColor(pictures.picture(25)), testColor(7), 14));
    EXPECT_EQ(pictures.packetsDecoded(), 8u);
    EXPECT_TRUE(colorNear(leftColor(pictures.picture(25)), testColor(15), 14));
    EXPECT_TRUE(colorNear(leftColor(pictures.picture(25)), testColor(23), 14));
    EXPECT_TRUE(colorNear(leftColor(pictures.picture(25)), testColor(25), 14));
    EXPECT_EQ(pictures.packetsDecoded(), 26u);
    // Frames passed on the way are kept; one before them all decodes again
    // from the key frame.
    EXPECT_TRUE(colorNear(leftColor(pictures.picture(20)), testColor(20), 14));
    EXPECT_EQ(pictures.packetsDecoded(), 26u);
    video::StreamPictures small(stream, 64 * 48 * 4 * 2);
    small.setPacketBudget(8);
    for (int i = 0; i < 4; ++i)
        small.picture(29);
    EXPECT_TRUE(colorNear(leftColor(small.picture(5)), testColor(5), 14));
    EXPECT_EQ(small.packetsDecoded(), 30u + 6u);
}

// A movie showing the stream at depth 1 under the given matrix and colour
// transform, one video frame per movie frame, on a black stage.
QByteArray videoMovie(const std::vector<QByteArray>& packets, VideoCodec codec, const Matrix& matrix,
                      std::optional<ColorTransform> cx = std::nullopt, int w = 64, int h = 48)
{
    MovieBuilder m(200, 150, 12, 8);
    m.setBackgroundColor(rgb(0x000000));
    const std::uint16_t id = m.defineRaw(kTagDefineVideoStream, streamHeader(int(packets.size()), w, h, codec));
    for (std::size_t i = 0; i < packets.size(); ++i) {
        m.rawTag(kTagVideoFrame, frameTag(id, std::uint16_t(i), packets[i]), true);
        PlaceObject p;
        p.depth = 1;
        p.ratio = std::uint16_t(i);
        if (i == 0) {
            p.characterId = id;
            p.matrix = matrix;
            p.colorTransform = cx;
        } else {
            p.move = true;
        }
        m.place(p);
        m.showFrame();
    }
    return m.finish();
}

Matrix scaledBy(double s, double txPx, double tyPx)
{
    Matrix mx = Matrix::scale(s, s);
    mx.tx = Twips(txPx * 20);
    mx.ty = Twips(tyPx * 20);
    return mx;
}

TEST(VideoDrawing, APlacedVideoShowsTheFrameItsRatioNamesUnderItsMatrix)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLASHSV, testPictures(8), 4);
    ASSERT_EQ(packets.size(), 8u);
    Player player;
    loadOrFail(player, videoMovie(packets, VideoCodec::ScreenVideo, scaledBy(2, 10, 20)));
    for (int n : {0, 5, 2, 7, 6}) {
        player.gotoFrame(n);
        const QImage image = frameImage(player);
        // Left half of the picture: stage x 10..74, y 20..116.
        EXPECT_TRUE(colorNear(image.pixel(30, 60), testColor(n), 2)) << "frame " << n;
        EXPECT_TRUE(colorNear(image.pixel(5, 60), 0xff000000, 2)) << "frame " << n;
        EXPECT_TRUE(colorNear(image.pixel(30, 130), 0xff000000, 2)) << "frame " << n;
    }
}

TEST(VideoDrawing, ColourTransformAndMaskApply)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLASHSV, testPictures(1), 1);
    ASSERT_EQ(packets.size(), 1u);
    ColorTransform cx;
    cx.rMul = 0;   // no red
    cx.bAdd = 255; // full blue
    Player player;
    loadOrFail(player, videoMovie(packets, VideoCodec::ScreenVideo, scaledBy(1, 0, 0), cx));
    const QImage image = frameImage(player);
    const QRgb want = qRgb(0, qGreen(testColor(0)), 255);
    EXPECT_TRUE(colorNear(image.pixel(10, 20), want, 2));

    // The same video under a mask that covers only its top-left corner.
    MovieBuilder m(200, 150, 12, 8);
    m.setBackgroundColor(rgb(0x000000));
    const std::uint16_t id = m.defineRaw(kTagDefineVideoStream, streamHeader(1, 64, 48, VideoCodec::ScreenVideo));
    m.rawTag(kTagVideoFrame, frameTag(id, 0, packets[0]), true);
    const auto mask = m.defineShape(ShapeBuilder().fill(solid(rgb(0xffffff))).rect(0, 0, 10, 10));
    PlaceObject maskPlace;
    maskPlace.depth = 1;
    maskPlace.characterId = mask;
    maskPlace.clipDepth = 2;
    m.place(maskPlace);
    m.place(id, 2);
    m.showFrame();
    Player masked;
    loadOrFail(masked, m.finish());
    const QImage maskedImage = frameImage(masked);
    EXPECT_TRUE(colorNear(maskedImage.pixel(5, 5), testColor(0), 2));
    EXPECT_TRUE(colorNear(maskedImage.pixel(20, 20), 0xff000000, 2));
}

TEST(VideoBadInput, ACorruptFrameKeepsTheLastGoodPicture)
{
    auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(6), 6);
    ASSERT_EQ(packets.size(), 6u);
    packets[3] = QByteArray(40, '\x5a');
    const VideoStream stream = streamOf(VideoCodec::SorensonH263, packets);
    video::StreamPictures pictures(stream);
    const QImage before = pictures.picture(2);
    EXPECT_TRUE(colorNear(leftColor(before), testColor(2), 14));
    EXPECT_EQ(pictures.picture(3), before);
    EXPECT_FALSE(pictures.picture(5).isNull());
}

TEST(VideoBadInput, AStreamWithoutKeyFramesShowsNothingOrAPictureButNeverFails)
{
    auto packets = encodeVideo(AV_CODEC_ID_FLV1, testPictures(6), 6);
    ASSERT_EQ(packets.size(), 6u);
    packets.erase(packets.begin()); // the key frame
    const VideoStream stream = streamOf(VideoCodec::SorensonH263, packets);
    video::StreamPictures pictures(stream);
    for (int i : {4, 0, 2}) {
        const QImage image = pictures.picture(i);
        EXPECT_TRUE(image.isNull() || image.size() == QSize(64, 48));
    }
}

TEST(VideoBadInput, SizesThatDisagreeWithTheStreamAreCutOrStretched)
{
    const auto packets = encodeVideo(AV_CODEC_ID_FLASHSV, testPictures(1), 1);
    ASSERT_EQ(packets.size(), 1u);
    // Declared smaller: pictures are cut to the declared size.
    const VideoStream small = streamOf(VideoCodec::ScreenVideo, packets, 20, 10);
    EXPECT_EQ(video::StreamPictures(small).picture(0).size(), QSize(20, 10));
    // Declared larger: the 64 x 48 picture is stretched over 128 x 96 pixels.
    Player player;
    loadOrFail(player, videoMovie(packets, VideoCodec::ScreenVideo, scaledBy(1, 0, 0), std::nullopt, 128, 96));
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(50, 60), testColor(0), 2)); // left half of 128
    EXPECT_FALSE(colorNear(image.pixel(100, 60), testColor(0), 40));
}

TEST(VideoBadInput, TruncatedAndScrambledPacketsOfEveryCodecNeverCrash)
{
    QRandomGenerator random(16);
    for (auto [encoder, codec] : {std::pair{AV_CODEC_ID_FLV1, VideoCodec::SorensonH263},
                                  std::pair{AV_CODEC_ID_FLASHSV, VideoCodec::ScreenVideo},
                                  std::pair{AV_CODEC_ID_FLASHSV2, VideoCodec::ScreenVideo2}}) {
        auto packets = encodeVideo(encoder, testPictures(8), 4);
        ASSERT_EQ(packets.size(), 8u);
        for (QByteArray& p : packets) {
            p.truncate(qsizetype(random.bounded(int(p.size()) + 1)));
            if (!p.isEmpty())
                p[qsizetype(random.bounded(int(p.size())))] = char(random.bounded(256));
        }
        // Also feed them to decoders of the codecs libavcodec cannot encode.
        for (VideoCodec as : {codec, VideoCodec::Vp6, VideoCodec::Vp6Alpha, VideoCodec(9)}) {
            const VideoStream stream = streamOf(as, packets);
            video::StreamPictures pictures(stream);
            for (int i : {7, 0, 3, 5, 1}) {
                const QImage image = pictures.picture(i);
                EXPECT_TRUE(image.isNull() || (image.width() <= 64 && image.height() <= 48));
            }
        }
    }
}

TEST(VideoBadInput, AnUnknownCodecDrawsNothing)
{
    Player player;
    loadOrFail(player, videoMovie({QByteArray("abc")}, VideoCodec(9), scaledBy(1, 0, 0)));
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(10, 10), 0xff000000, 0));
}

} // namespace
} // namespace qev::swf
