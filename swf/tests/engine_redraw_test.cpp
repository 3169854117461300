// Drawing only when the picture changed: a still movie, a frame put again
// and a stopped movie cost no redraw; anything that shows does.

#include "engine_test_support.h"
#include "qev/swf/FlashControl.h"

#include <QCoreApplication>
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
