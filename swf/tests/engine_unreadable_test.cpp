// A movie that cannot be read leaves an empty stage (or its background) with
// one short line saying why, drawn on the stage itself.

#include "engine_test_support.h"

namespace qev::swf {
namespace {

using namespace writer;

constexpr QRgb kWhite = 0xFFFFFFFF;

// How many pixels of the image's middle row differ from `background`.
int marksInMiddleRow(const QImage& image, QRgb background)
{
    int marks = 0;
    const int y = image.height() / 2;
    for (int x = 0; x < image.width(); ++x)
        marks += image.pixel(x, y) != background;
    return marks;
}

QByteArray movieBytes(const QColor& background = Qt::white)
{
    MovieBuilder m(200, 100, 12);
    m.setBackgroundColor(rgb(background.rgb() & 0xFFFFFF));
    m.place(m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 20, 20)), 1);
    m.showFrame();
    return m.finish();
}

TEST(UnreadableMovie, NotAMovieSaysSoOnAnEmptyStage)
{
    Player player;
    EXPECT_FALSE(player.loadBytes(QByteArray("this is a text file, not a movie")).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file is not a Flash movie."));
    const QImage image = player.renderImage(QSize(400, 200));
    EXPECT_GT(marksInMiddleRow(image, kWhite), 20) << "the line is drawn across the middle";
    EXPECT_EQ(image.pixel(5, 5), kWhite);
    EXPECT_EQ(image.pixel(5, image.height() / 2), kWhite) << "the line keeps clear of the edges";
}

TEST(UnreadableMovie, EachCauseHasItsOwnLine)
{
    const QByteArray good = movieBytes();
    Player player;

    QByteArray zeroLength = good;
    zeroLength[4] = zeroLength[5] = zeroLength[6] = zeroLength[7] = 0;
    EXPECT_FALSE(player.loadBytes(zeroLength).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: its header is broken."));

    // Cut inside the stage rectangle of the header.
    EXPECT_FALSE(player.loadBytes(good.left(9)).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file ends early."));
    EXPECT_FALSE(player.loadBytes(good.left(3)).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file ends early."));

    const QByteArray compressed = [] {
        MovieBuilder m(50, 50, 12);
        m.showFrame();
        return m.finish(Compression::Zlib);
    }();
    EXPECT_FALSE(player.loadBytes(compressed.left(10)).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file ends early."));

    EXPECT_FALSE(player.load(QStringLiteral("/nonexistent/folder/menu.swf")).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file cannot be opened."));

    // A movie that loads clears the line.
    ASSERT_TRUE(player.loadBytes(good).isEmpty());
    EXPECT_TRUE(player.notice().isEmpty());
    const QImage image = player.renderImage(QSize(200, 100));
    EXPECT_EQ(marksInMiddleRow(image, kWhite), 0);
}

TEST(UnreadableMovie, CutBeforeItsFirstFrameShowsTheBackgroundAndTheLine)
{
    const QColor navy(0, 0, 128);
    QByteArray bytes = movieBytes(navy);
    // Everything after the background colour (tag 9: 2 header bytes + 3) goes.
    const int background = bytes.indexOf(QByteArray("\x43\x02", 2));
    ASSERT_GT(background, 0);
    bytes.truncate(background + 5);
    Player player;
    ASSERT_TRUE(player.loadBytes(bytes).isEmpty());
    EXPECT_EQ(player.notice(), QStringLiteral("This movie cannot be read: the file ends early."));
    const QImage image = player.renderImage(QSize(200, 100));
    EXPECT_EQ(image.pixel(2, 2), navy.rgb());
    EXPECT_GT(marksInMiddleRow(image, navy.rgb()), 10);
}

} // namespace
} // namespace qev::swf
