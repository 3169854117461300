// The writer's low-level encoding against bytes worked out by hand.

#include "reader_test_support.h"

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

TEST(WriterBits, BitFieldsFillBytesFromTheTopAndAlign)
{
    BitWriter w;
    w.ub(3, 0b101);
    w.sb(5, -3); // 11101
    w.ub(4, 0xF);
    w.u8(0x42); // aligns first: 1011 1101 | 1111 0000
    EXPECT_EQ(w.data().toHex(), QByteArray("bdf042"));
    EXPECT_THROW(w.ub(3, 8), std::invalid_argument);
    EXPECT_THROW(w.sb(3, 4), std::invalid_argument);
    EXPECT_THROW(w.sb(0, 1), std::invalid_argument);
}

TEST(WriterBits, BitCountsOfSignedAndUnsignedValues)
{
    EXPECT_EQ(BitWriter::ubits(0), 0);
    EXPECT_EQ(BitWriter::ubits(1), 1);
    EXPECT_EQ(BitWriter::ubits(255), 8);
    EXPECT_EQ(BitWriter::sbits(0), 0);
    EXPECT_EQ(BitWriter::sbits(1), 2);
    EXPECT_EQ(BitWriter::sbits(-1), 1);
    EXPECT_EQ(BitWriter::sbits(-2), 2);
    EXPECT_EQ(BitWriter::sbits(65535), 17);
    EXPECT_EQ(BitWriter::sbits(-65536), 17);
}

TEST(WriterBits, MatrixAndColorTransformEncodings)
{
    BitWriter identity;
    writeMatrix(identity, Matrix{});
    EXPECT_EQ(identity.data().toHex(), QByteArray("00")); // no scale, no rotation, 0 translate bits

    // Scale 1.5 x 0.5 (16.16: 0x18000, 0x8000 need 18 bits), translate (20, -20) in 6 bits.
    BitWriter scaled;
    writeMatrix(scaled, Matrix{1.5, 0, 0, 0.5, 20, -20});
    const qev::swf::Matrix back = [&] {
        MovieBuilder m(10, 10, 1);
        PlaceObject p;
        p.characterId = 1;
        p.depth = 1;
        p.matrix = Matrix{1.5, 0, 0, 0.5, 20, -20};
        m.place(p);
        m.showFrame();
        const Movie movie = testsupport::readOk(m.finish());
        return *std::get<PlaceObject>(movie.timeline.frames.at(0).tags.at(0)).matrix;
    }();
    EXPECT_EQ(back, (Matrix{1.5, 0, 0, 0.5, 20, -20}));
    // has scale, 18 bits: 0x18000, 0x08000; no rotation; 6 bits: 20, -20.
    EXPECT_EQ(scaled.data().toHex(), QByteArray("c9800020000652c0"));

    BitWriter cx;
    writeColorTransform(cx, ColorTransform{256, 256, 256, 256, 255, 0, -255, 0}, false);
    // has add, no mult, 9 bits: 255, 0, -255, padded.
    EXPECT_EQ(cx.data().toHex(), QByteArray("a5fe008080"));
    BitWriter none;
    writeColorTransform(none, ColorTransform{}, true);
    EXPECT_EQ(none.data().toHex(), QByteArray("00"));
}

TEST(WriterBits, ShortAndLongTagHeaders)
{
    EXPECT_EQ(tag(1, {}).toHex(), QByteArray("4000"));
    EXPECT_EQ(tag(9, QByteArray("\x01\x02\x03", 3)).toHex(), QByteArray("4302010203"));
    EXPECT_EQ(tag(9, QByteArray("\x01", 1), true).toHex(), QByteArray("7f020100000001"));
    EXPECT_EQ(tag(2, QByteArray(63, 'a')).left(6).toHex(), QByteArray("bf003f000000"));
}

TEST(WriterBits, ValuesTheFormatCannotHoldAreRefused)
{
    // 5000 pixels are 100000 twips: more than an edge's 17-bit delta holds.
    Shape longEdge = ShapeBuilder().fill(solid(rgb(0))).moveTo(0, 0).lineTo(5000, 0).build();
    ASSERT_EQ(longEdge.layers.at(0).edges.size(), 2u); // the builder splits it
    EXPECT_EQ(longEdge.layers[0].edges[1].to, (Point{100000, 0}));
    EXPECT_NO_THROW(encodeShape(1, longEdge));
    longEdge.layers[0].edges[0].to = Point{100000, 0};
    longEdge.layers[0].edges.resize(1);
    EXPECT_THROW(encodeShape(1, longEdge), std::invalid_argument);
    Text text;
    text.records = {TextRecord{1, rgb(0), 0, 0, 100, std::vector<GlyphEntry>(256)}};
    EXPECT_THROW(encodeText(2, text), std::invalid_argument);
    MovieBuilder m(10, 10, 1);
    QImage many(20, 20, QImage::Format_RGB32);
    for (int i = 0; i < 400; ++i)
        many.setPixel(i % 20, i / 20, qRgb(i, i / 2, 0));
    EXPECT_THROW(m.defineBitsLossless(many, LosslessFormat::Colormapped8), std::invalid_argument);
    EXPECT_THROW(m.defineBitsLossless(many, LosslessFormat::Rgb15, 2), std::invalid_argument);
}

} // namespace
