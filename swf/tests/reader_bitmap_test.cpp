// Bitmaps decode to the right pixels, whichever tag and format stores them.

#include <qev/swf/DecodeBitmap.h>
#include "reader_test_support.h"

#include <QBuffer>
#include <QPainter>

using namespace qev::swf;
using namespace qev::swf::writer;
using qev::swf::testsupport::readOk;

namespace {

// Four quadrants: red, green, blue, half-transparent white.
QImage quadrants(int size = 16)
{
    QImage image(size, size, QImage::Format_ARGB32);
    const int h = size / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            QRgb c = x < h ? (y < h ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) : (y < h ? qRgb(0, 255, 0) : qRgba(255, 255, 255, 128));
            image.setPixel(x, y, c);
        }
    return image;
}

// Bitmaps are decoded when first drawn; the tests decode them as drawing does.
QImage pixels(const Bitmap& b) { return decodeBitmap(b); }
QRgb straight(const Bitmap& b, int x, int y) { return pixels(b).pixelColor(x, y).rgba(); }

const Bitmap& onlyBitmap(const Movie& movie, std::uint16_t id)
{
    static const Bitmap none;
    const Bitmap* b = movie.find<Bitmap>(id);
    EXPECT_NE(b, nullptr) << "bitmap " << id << " missing";
    return b ? *b : none;
}

TEST(ReaderBitmap, LosslessFormatsDecodeExactly)
{
    const QImage image = quadrants();
    QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    MovieBuilder m(100, 100, 12);
    const auto argb2 = m.defineBitsLossless(image);                                 // Lossless2, 32-bit
    const auto rgb1 = m.defineBitsLossless(opaque);                                 // Lossless, 32-bit
    const auto map1 = m.defineBitsLossless(opaque, LosslessFormat::Colormapped8);   // palette, rows padded
    const auto map2 = m.defineBitsLossless(image, LosslessFormat::Colormapped8, 2); // palette with alpha
    const auto pix15 = m.defineBitsLossless(opaque, LosslessFormat::Rgb15, 1);
    const QImage odd = quadrants(6).copy(0, 0, 5, 3).convertToFormat(QImage::Format_RGB32); // odd width: padding
    const auto oddMap = m.defineBitsLossless(odd, LosslessFormat::Colormapped8);
    const Movie movie = readOk(m.finish());
    EXPECT_TRUE(movie.warnings.empty());

    const Bitmap& a = onlyBitmap(movie, argb2);
    EXPECT_EQ(a.source, Bitmap::Source::LosslessAlpha);
    EXPECT_EQ(pixels(a).format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(a.width(), 16);
    EXPECT_EQ(a.height(), 16);
    EXPECT_EQ(straight(a, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(straight(a, 15, 0), qRgb(0, 255, 0));
    EXPECT_EQ(straight(a, 0, 15), qRgb(0, 0, 255));
    EXPECT_EQ(pixels(a).pixel(15, 15), qRgba(128, 128, 128, 128)); // premultiplied
    for (auto id : {rgb1, map1, pix15}) {
        SCOPED_TRACE(id);
        const Bitmap& b = onlyBitmap(movie, id);
        EXPECT_EQ(b.source, Bitmap::Source::Lossless);
        EXPECT_EQ(straight(b, 3, 3), qRgb(255, 0, 0));
        EXPECT_EQ(straight(b, 12, 3), qRgb(0, 255, 0));
        EXPECT_EQ(straight(b, 3, 12), qRgb(0, 0, 255));
        EXPECT_EQ(qAlpha(straight(b, 12, 12)), 255);
    }
    const Bitmap& p2 = onlyBitmap(movie, map2);
    EXPECT_EQ(pixels(p2).pixel(15, 15), qRgba(128, 128, 128, 128));
    EXPECT_EQ(straight(p2, 0, 0), qRgb(255, 0, 0));
    const Bitmap& o = onlyBitmap(movie, oddMap);
    EXPECT_EQ(o.width(), 5);
    EXPECT_EQ(o.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(straight(o, x, y), odd.pixel(x, y)) << x << "," << y;
}

// JPEG is lossy: colours within a tolerance.
void expectNear(QRgb got, QRgb want, int tolerance = 24)
{
    EXPECT_NEAR(qRed(got), qRed(want), tolerance);
    EXPECT_NEAR(qGreen(got), qGreen(want), tolerance);
    EXPECT_NEAR(qBlue(got), qBlue(want), tolerance);
    EXPECT_NEAR(qAlpha(got), qAlpha(want), 1);
}

TEST(ReaderBitmap, JpegTagsDecodeWithTablesAlphaAndOtherFormats)
{
    const QImage image = quadrants(32);
    MovieBuilder m(100, 100, 12);
    const auto bits = m.defineBits(image, 95);
    const auto bits2 = m.defineBits(image.mirrored(true, false), 95); // shares the one JPEGTables tag
    const auto jpeg2 = m.defineBitsJpeg2(image, 95);
    const auto jpeg3 = m.defineBitsJpeg3(image, 95);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    const auto pngId = m.defineBitsJpeg2Data(png);
    QByteArray erroneous = QByteArray("\xFF\xD9\xFF\xD8", 4) + encodeJpeg(image, 95);
    const auto oldHeader = m.defineBitsJpeg2Data(erroneous);
    const Movie movie = readOk(m.finish(Compression::Zlib));
    EXPECT_TRUE(movie.warnings.empty()) << movie.warnings.front().message.toStdString();
    EXPECT_FALSE(movie.jpegTables.isEmpty());

    for (auto id : {bits, jpeg2, oldHeader}) {
        SCOPED_TRACE(id);
        const Bitmap& b = onlyBitmap(movie, id);
        EXPECT_EQ(b.width(), 32);
        expectNear(straight(b, 4, 4), qRgb(255, 0, 0));
        expectNear(straight(b, 28, 4), qRgb(0, 255, 0));
        expectNear(straight(b, 4, 28), qRgb(0, 0, 255));
        expectNear(straight(b, 28, 28), qRgb(255, 255, 255)); // no alpha in these tags
    }
    EXPECT_EQ(onlyBitmap(movie, bits).source, Bitmap::Source::JpegWithTables);
    expectNear(straight(onlyBitmap(movie, bits2), 4, 4), qRgb(0, 255, 0));
    const Bitmap& withAlpha = onlyBitmap(movie, jpeg3);
    expectNear(straight(withAlpha, 4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(pixels(withAlpha).pixel(28, 28)), 128);
    EXPECT_EQ(qAlpha(pixels(withAlpha).pixel(4, 4)), 255);
    const Bitmap& p = onlyBitmap(movie, pngId);
    EXPECT_EQ(p.source, Bitmap::Source::Png);
    EXPECT_EQ(straight(p, 28, 28), qRgba(255, 255, 255, 128));
    EXPECT_EQ(straight(p, 4, 4), qRgb(255, 0, 0));
}

// Headers are checked when the movie is read: a bitmap without a readable
// header or of an unknown format is dropped with a warning. Pixel data is
// only inflated when the bitmap is first drawn: cut short, it decodes to
// nothing and says why.
TEST(ReaderBitmap, BrokenBitmapsAreDroppedWithAWarning)
{
    MovieBuilder m(100, 100, 12);
    const auto garbage = m.defineBitsJpeg2Data(QByteArray("\xFF\xD8 not really a jpeg", 20));
    // Lossless 32-bit 4 x 4 whose pixel data is cut short.
    BitWriter w;
    w.u8(5), w.u16(4), w.u16(4);
    w.bytes(QByteArray::fromHex("789c63000000010001")); // zlib of one zero byte
    const auto shortData = m.defineRaw(20, w.data());
    BitWriter f;
    f.u8(9), f.u16(1), f.u16(1);
    const auto badFormat = m.defineRaw(36, f.data());
    const auto good = m.defineBitsLossless(quadrants(4));
    const Movie movie = readOk(m.finish());
    EXPECT_EQ(movie.find<Bitmap>(garbage), nullptr);
    EXPECT_EQ(movie.find<Bitmap>(badFormat), nullptr);
    EXPECT_NE(movie.find<Bitmap>(good), nullptr);
    EXPECT_EQ(movie.warnings.size(), 2u);
    for (const ReadWarning& warning : movie.warnings)
        EXPECT_TRUE(warning.tagCode == 21 || warning.tagCode == 36) << warning.tagCode;

    const Bitmap* cut = movie.find<Bitmap>(shortData);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->width(), 4);
    QString problem;
    EXPECT_TRUE(decodeBitmap(*cut, &problem).isNull());
    EXPECT_TRUE(problem.contains("pixel data holds")) << problem.toStdString();
    EXPECT_FALSE(decodeBitmap(*movie.find<Bitmap>(good)).isNull());
}

TEST(ReaderBitmap, JpegThreeWithShortAlphaIsShownOpaque)
{
    const QImage image = quadrants(8);
    const QByteArray jpeg = encodeJpeg(image);
    BitWriter w;
    w.u32(std::uint32_t(jpeg.size()));
    w.bytes(jpeg);
    w.bytes(QByteArray::fromHex("789c63000000010001")); // one alpha value instead of 64
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineRaw(35, w.data());
    const Movie movie = readOk(m.finish());
    const Bitmap* b = movie.find<Bitmap>(id);
    ASSERT_NE(b, nullptr);
    QString problem;
    EXPECT_EQ(qAlpha(decodeBitmap(*b, &problem).pixel(7, 7)), 255);
    EXPECT_TRUE(problem.contains("alpha")) << problem.toStdString();
}

} // namespace
