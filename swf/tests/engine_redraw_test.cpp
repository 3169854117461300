// Drawing only when the picture changed: a still movie, a frame put again
// and a stopped movie cost no redraw; anything that shows does.

#include "engine_test_support.h"
#include "qev/swf/FlashControl.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace qev::swf {
namespace {

using namespace writer;

// Ten frames; the square moves in frames 5 and 6 only, and changes colour
// (through a colour transform) in frame 8.
QByteArray mostlyStillMovie()
{
    MovieBuilder m(100, 100, 50);
    const auto square = m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 20, 20));
    m.place(square, 1);
    m.showFrame();
    for (int f = 1; f < 10; ++f) {
        if (f == 5 || f == 6)
            m.move(1, translatePx(f * 5, 0));
        if (f == 8) {
            PlaceObject p;
            p.version = 2;
            p.move = true;
            p.depth = 1;
            ColorTransform cx;
            cx.rMul = 0;
            p.colorTransform = cx;
            m.place(p);
        }
        m.showFrame();
    }
    return m.finish();
}

TEST(Redraw, OnlyFramesThatShowSomethingNewAskForAPicture)
{
    Player player;
    testing::loadOrFail(player, mostlyStillMovie());
    EXPECT_TRUE(player.pictureChanged()) << "nothing drawn yet";
    testing::frameImage(player);
    EXPECT_FALSE(player.pictureChanged());
    std::vector<int> changedAt;
    for (int f = 1; f < 10; ++f) {
        player.advance();
        if (player.pictureChanged())
            changedAt.push_back(player.currentFrame());
        testing::frameImage(player);
    }
    EXPECT_EQ(changedAt, (std::vector<int>{5, 6, 8}));
    // Looping back to frame 0 moves the square back and drops the colour.
    player.advance();
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_TRUE(player.pictureChanged());
}

TEST(Redraw, AFramePutAgainOrAStoppedMovieIsNotDrawnAgain)
{
    Player player;
    testing::loadOrFail(player, mostlyStillMovie());
    player.gotoFrame(6);
    testing::frameImage(player);
    for (int i = 0; i < 5; ++i) {
        player.gotoFrame(6);
        EXPECT_FALSE(player.pictureChanged());
    }
    player.gotoFrame(0);
    EXPECT_TRUE(player.pictureChanged());
    testing::frameImage(player);
    player.gotoFrame(-5); // held at the first frame, as a rewind does
    EXPECT_FALSE(player.pictureChanged());
    player.setPlaying(false);
    player.advance();
    EXPECT_FALSE(player.pictureChanged());
    // Quality is part of the picture.
    player.setAntialiased(!player.antialiased());
    EXPECT_TRUE(player.pictureChanged());
}

// A 200 x 200 stage: a still backdrop of two shapes, and a small square
// that moves on in every frame; from frame 3 a blurred square joins in.
QByteArray smallMoverMovie()
{
    MovieBuilder m(200, 200, 50);
    m.setBackgroundColor(rgb(0xffffff));
    const auto backdrop = m.defineShape(ShapeBuilder().fill(linearGradient({{0, rgb(0x3060a0)}, {255, rgb(0xa0c0e0)}}, 0, 100, 200, 100)).rect(0, 100, 200, 100));
    const auto disc = m.defineShape(ShapeBuilder().fill(solid(rgb(0x208020))).line(2, rgb(0)).ellipse(150, 40, 30, 30));
    const auto square = m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 10, 10));
    m.place(backdrop, 1);
    m.place(disc, 2);
    m.place(square, 3, translatePx(20, 20));
    m.showFrame();
    for (int f = 1; f < 6; ++f) {
        m.move(3, translatePx(20 + 5 * f, 20 + 3 * f));
        if (f == 3) {
            PlaceObject p;
            p.version = 3;
            p.characterId = square;
            p.depth = 4;
            p.matrix = translatePx(100, 150);
            p.filters = std::vector<Filter>{BlurFilter{4, 4, 1}};
            m.place(p);
        }
        m.showFrame();
    }
    return m.finish();
}

TEST(Redraw, ASmallChangeRedrawsOnlyItsOwnPart)
{
    Player player;
    testing::loadOrFail(player, smallMoverMovie());
    const QRect target(0, 0, 200, 200);
    QImage kept(target.size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&kept);
        player.render(painter, target);
    }
    EXPECT_TRUE(player.changedArea(target).isEmpty());
    for (int f = 1; f < 3; ++f) {
        player.advance();
        const QRect area = player.changedArea(target);
        // The square's old and new places, a little margin around them.
        EXPECT_TRUE(area.contains(QRect(20 + 5 * (f - 1), 20 + 3 * (f - 1), 15, 13))) << f;
        EXPECT_LE(area.width(), 25) << f;
        EXPECT_LE(area.height(), 25) << f;
        // Drawn over the last picture, clipped to that part, the result is
        // the whole new picture.
        {
            QPainter painter(&kept);
            painter.setClipRect(area);
            player.render(painter, target);
        }
        EXPECT_EQ(kept, player.renderImage(target.size())) << f;
    }
    // A blurred object reaches past its outline: all is drawn again.
    player.advance();
    EXPECT_EQ(player.changedArea(target), target);
    // Another target, or none drawn yet, is changed as a whole.
    EXPECT_EQ(player.changedArea(QRect(0, 0, 100, 100)), QRect(0, 0, 100, 100));
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(Redraw, TheControlPaintsAStillMovieOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MovieBuilder m(100, 100, 50);
    m.place(m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000ff))).rect(10, 10, 50, 50)), 1);
    for (int f = 0; f < 30; ++f)
        m.showFrame();
    const QString path = dir.filePath(QStringLiteral("still.swf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(m.finish());
    }
    FlashControl control;
    control.resize(100, 100);
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    control.Movie(path);
    control.Stop();
    QCoreApplication::processEvents();
    PaintCounter counter;
    control.installEventFilter(&counter);
    for (int i = 0; i < 20; ++i) {
        control.tick();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0) << "twenty beats over a still picture";
    control.FrameNum(0);
    control.FrameNum(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    // Loading draws.
    control.Movie(path);
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
}

} // namespace
} // namespace qev::swf
