// Hand-worked bytes of each sound tag and the model each must read as, put
// together bit by bit from the format documentation rather than by our
// writer; where the writer encodes the same record it must give the same
// bytes. Then whole movies: where sound tags land in the model.

#include "qev/swf/Reader.h"
#include "qev/swf/SoundWriter.h"
#include "reader/Context.h"

#include <gtest/gtest.h>

using namespace qev::swf;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

struct Reading {
    ReadLimits limits;
    Movie movie;
    detail::Context ctx{limits, movie};
    Timeline timeline;
    Frame frame;

    bool read(int code, const QByteArray& body)
    {
        detail::BitReader r(reinterpret_cast<const std::uint8_t*>(body.constData()), std::size_t(body.size()));
        return detail::readSoundTag(code, r, ctx, timeline, frame);
    }
};

TEST(SoundBytes, DefineSoundAdpcm)
{
    // id=5 | format=1/4 rate=2/2 16bit=1/1 stereo=0/1 (0x1A) | samples=1000/32 | data AB CD
    const QByteArray body = hex("0500 1A E8030000 ABCD");
    Reading r;
    ASSERT_TRUE(r.read(14, body));
    ASSERT_TRUE(r.movie.sounds.contains(5));
    const Sound& s = r.movie.sounds.at(5);
    EXPECT_EQ(s.encoding.format, SoundFormat::Adpcm);
    EXPECT_EQ(s.encoding.sampleRate(), 22050);
    EXPECT_TRUE(s.encoding.sixteenBit);
    EXPECT_FALSE(s.encoding.stereo);
    EXPECT_EQ(s.sampleCount, 1000u);
    EXPECT_EQ(s.data, hex("ABCD"));
    EXPECT_EQ(writer::encodeDefineSoundBody(s), body.mid(2));
}

TEST(SoundBytes, DefineSoundMp3KeepsTheSeekFieldApart)
{
    // id=6 | format=2 rate=3 16bit stereo (0x2F) | samples=1152 | seek=-529/16 | FF FB
    const QByteArray body = hex("0600 2F 80040000 EFFD FFFB");
    Reading r;
    ASSERT_TRUE(r.read(14, body));
    const Sound& s = r.movie.sounds.at(6);
    EXPECT_EQ(s.encoding.format, SoundFormat::Mp3);
    EXPECT_EQ(s.encoding.sampleRate(), 44100);
    EXPECT_TRUE(s.encoding.stereo);
    EXPECT_EQ(s.seekSamples, -529);
    EXPECT_EQ(s.data, hex("FFFB"));
    EXPECT_EQ(writer::encodeDefineSoundBody(s), body.mid(2));
}

TEST(SoundBytes, StartSoundWithEveryField)
{
    // id=5 | reserved=0/2 stop=0 noMultiple=1 envelope=1 loops=1 out=1 in=1 (0x1F)
    // | in=100/32 | out=5000/32 | loops=3/16 | points=2/8
    // | pos=0 left=0 right=32768 | pos=44100 left=32768 right=0
    const QByteArray body = hex("0500 1F 64000000 88130000 0300 02 00000000 0000 0080 44AC0000 0080 0000");
    Reading r;
    ASSERT_TRUE(r.read(15, body));
    ASSERT_EQ(r.frame.sounds.size(), 1u);
    const StartSound& s = r.frame.sounds[0];
    EXPECT_EQ(s.soundId, 5);
    EXPECT_FALSE(s.info.stop);
    EXPECT_TRUE(s.info.noMultiple);
    EXPECT_EQ(s.info.inPoint, 100u);
    EXPECT_EQ(s.info.outPoint, 5000u);
    EXPECT_EQ(s.info.loops, 3);
    ASSERT_EQ(s.info.envelope.size(), 2u);
    EXPECT_EQ(s.info.envelope[0].left, 0);
    EXPECT_EQ(s.info.envelope[0].right, 32768);
    EXPECT_EQ(s.info.envelope[1].position44, 44100u);
    EXPECT_EQ(s.info.envelope[1].left, 32768);
    EXPECT_EQ(writer::encodeSoundInfo(s.info), body.mid(2));
}

TEST(SoundBytes, StopFlagAlone)
{
    // id=9 | stop=1 (0x20)
    Reading r;
    ASSERT_TRUE(r.read(15, hex("0900 20")));
    EXPECT_TRUE(r.frame.sounds.at(0).info.stop);
    EXPECT_EQ(r.frame.sounds.at(0).info.loops, 1);
    SoundInfo stop;
    stop.stop = true;
    EXPECT_EQ(writer::encodeSoundInfo(stop), hex("20"));
}

TEST(SoundBytes, StartSound2ByClassName)
{
    // "ab" NUL | flags=0
    Reading r;
    r.ctx.version = 9;
    ASSERT_TRUE(r.read(89, hex("616200 00")));
    EXPECT_EQ(r.frame.sounds.at(0).className, QStringLiteral("ab"));
}

TEST(SoundBytes, StreamHeadAndBlock)
{
    // playback: reserved=0/4 rate=2 16bit mono (0x0A) | stream: format=2 rate=2 16bit mono (0x2A)
    // | samplesPerBlock=1837 | latencySeek=576
    Reading r;
    ASSERT_TRUE(r.read(45, hex("0A 2A 2D07 4002")));
    ASSERT_TRUE(r.timeline.streamHead);
    EXPECT_EQ(r.timeline.streamHead->encoding.format, SoundFormat::Mp3);
    EXPECT_EQ(r.timeline.streamHead->encoding.sampleRate(), 22050);
    EXPECT_EQ(r.timeline.streamHead->samplesPerBlock, 1837);
    EXPECT_EQ(r.timeline.streamHead->latencySeek, 576);
    ASSERT_TRUE(r.read(19, hex("01020304")));
    EXPECT_EQ(r.frame.streamBlock, hex("01020304"));
    EXPECT_EQ(writer::mp3StreamBlock(0x0201, 0x0403, {}), hex("01020304"));
}

TEST(SoundBytes, ButtonSoundsByTransition)
{
    // button 3 | leave: none | enter: sound 7, flags 0 | press: none | release: sound 8, loops=2
    Reading r;
    r.ctx.define(3, Button{});
    ASSERT_TRUE(r.read(17, hex("0300 0000 0700 00 0000 0800 04 0200")));
    const Button* b = r.movie.find<Button>(3);
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->sounds[Button::LeaveSound]);
    ASSERT_TRUE(b->sounds[Button::EnterSound]);
    EXPECT_EQ(b->sounds[Button::EnterSound]->soundId, 7);
    EXPECT_FALSE(b->sounds[Button::PressSound]);
    ASSERT_TRUE(b->sounds[Button::ReleaseSound]);
    EXPECT_EQ(b->sounds[Button::ReleaseSound]->info.loops, 2);
}

TEST(SoundBytes, OtherTagsAreNotSoundTags)
{
    Reading r;
    EXPECT_FALSE(r.read(1, {}));
    EXPECT_FALSE(r.read(26, hex("00")));
}

TEST(SoundMovie, SoundTagsLandOnTheirFramesAndTimelines)
{
    using namespace writer;
    MovieBuilder m(100, 100, 12);
    const auto id = defineSound(m, pcmSound(sineWave(440, 0.1, 11025), 11025));
    SpriteBuilder s;
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Adpcm, 1, true, false};
    soundStreamHead(s, head, 1);
    soundStreamBlock(s, encodeAdpcm(sineWave(440, 0.08, 11025), 1, 4));
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    m.showFrame();
    startSound(m, id);
    m.place(sprite, 1);
    m.showFrame();
    const Movie movie = readMovie(m.finish());
    EXPECT_TRUE(movie.warnings.empty());
    ASSERT_EQ(movie.timeline.frames.size(), 2u);
    EXPECT_TRUE(movie.timeline.frames[0].sounds.empty());
    ASSERT_EQ(movie.timeline.frames[1].sounds.size(), 1u);
    EXPECT_EQ(movie.timeline.frames[1].sounds[0].soundId, id);
    EXPECT_FALSE(movie.timeline.streamHead);
    const Sprite* sp = movie.find<Sprite>(sprite);
    ASSERT_TRUE(sp);
    ASSERT_TRUE(sp->timeline.streamHead);
    EXPECT_EQ(sp->timeline.streamHead->encoding.format, SoundFormat::Adpcm);
    ASSERT_EQ(sp->timeline.frames.size(), 1u);
    EXPECT_TRUE(sp->timeline.frames[0].streamBlock);
}

} // namespace
