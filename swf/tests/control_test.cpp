// The movie control as the player drives it: the five operations with and
// without a movie, frame numbers out of range, play on load and loop, the
// context menu, a movie that cannot be decoded, and the Flash.ocx module.

#include "engine_test_support.h"
#include "qev/swf/FlashControl.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace qev::swf {
namespace {

using namespace writer;

// A movie of `frames` frames, each showing its number as a bar this many
// pixels long, at 50 frames per second.
QByteArray countingMovie(int frames)
{
    MovieBuilder m(100, 100, 50);
    m.setBackgroundColor(rgb(0xffffff));
    const auto bar = m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 1, 10));
    m.place(bar, 1);
    m.showFrame();
    for (int f = 1; f < frames; ++f) {
        m.move(1, scaleTranslatePx(f + 1, 1, 0, 0));
        m.showFrame();
    }
    return m.finish(Compression::Zlib);
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    QWidget parent;
};

TEST_F(ControlTest, EveryOperationIsSafeWithoutAMovie)
{
    FlashControl control(&parent);
    EXPECT_EQ(control.Movie(), QString());
    control.Play();
    control.Stop();
    control.FrameNum(5);
    control.FrameNum(-3);
    EXPECT_EQ(control.FrameNum(), 0);
    EXPECT_FALSE(control.isRunning());
    control.resize(50, 50);
    const QImage shown = control.grab().toImage();
    EXPECT_EQ(shown.pixelColor(25, 25), QColor(Qt::white));
}

TEST_F(ControlTest, LoadingPlaysFromFrameZeroAndLoops)
{
    FlashControl control(&parent);
    const QString path = write(QStringLiteral("count.swf"), countingMovie(4));
    control.Movie(path);
    EXPECT_EQ(control.Movie(), path);
    EXPECT_TRUE(control.loadError().isEmpty());
    EXPECT_EQ(control.FrameNum(), 0);
    EXPECT_TRUE(control.isRunning());
    EXPECT_TRUE(control.loops());
    // The clock beats once per frame at the movie's 50 frames per second.
    EXPECT_EQ(control.tickInterval(), 20);
    // Beat by beat, the 4 frames come round again to the first.
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        control.tick();
        seen.push_back(control.FrameNum());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 0, 1}));
}

TEST_F(ControlTest, StopKeepsTheFrameAndPlayRunsOn)
{
    FlashControl control(&parent);
    control.resize(100, 100);
    control.Movie(write(QStringLiteral("count.swf"), countingMovie(400)));
    control.tick();
    control.tick();
    ASSERT_EQ(control.FrameNum(), 2);
    control.Stop();
    EXPECT_FALSE(control.isRunning());
    EXPECT_FALSE(control.player().isPlaying());
    // A beat that was already on its way when Stop came moves nothing.
    control.tick();
    EXPECT_EQ(control.FrameNum(), 2);
    // Frame 2 stays on screen: a bar 3 pixels long.
    const QImage shown = control.grab().toImage();
    EXPECT_TRUE(testing::colorNear(shown.pixel(2, 5), 0xffff0000));
    EXPECT_TRUE(testing::colorNear(shown.pixel(4, 5), 0xffffffff));
    control.Play();
    EXPECT_TRUE(control.isRunning());
    EXPECT_EQ(control.FrameNum(), 2);
    control.tick();
    EXPECT_EQ(control.FrameNum(), 3);
}

TEST_F(ControlTest, SettingTheFrameShowsItWithoutPlayingAndClamps)
{
    FlashControl control(&parent);
    control.resize(100, 100);
    control.Movie(write(QStringLiteral("count.swf"), countingMovie(30)));
    control.Stop();
    control.FrameNum(20);
    EXPECT_EQ(control.FrameNum(), 20);
    EXPECT_FALSE(control.isRunning());
    // Frame 20 shows a bar 21 pixels long.
    const QImage shown = control.grab().toImage();
    EXPECT_TRUE(testing::colorNear(shown.pixel(20, 5), 0xffff0000));
    EXPECT_TRUE(testing::colorNear(shown.pixel(22, 5), 0xffffffff));
    control.FrameNum(-2);
    EXPECT_EQ(control.FrameNum(), 0);
    control.FrameNum(31);
    EXPECT_EQ(control.FrameNum(), 29);
    // The player's rewind and fast forward step by two from any frame.
    for (int i = 0; i < 20; ++i)
        control.FrameNum(control.FrameNum() - 2);
    EXPECT_EQ(control.FrameNum(), 0);
    for (int i = 0; i < 20; ++i)
        control.FrameNum(control.FrameNum() + 2);
    EXPECT_EQ(control.FrameNum(), 29);
    EXPECT_FALSE(control.isRunning());
}

TEST_F(ControlTest, SettingTheSamePathReloadsFromFrameZero)
{
    FlashControl control(&parent);
    const QString path = write(QStringLiteral("count.swf"), countingMovie(30));
    control.Movie(path);
    control.Stop();
    control.FrameNum(12);
    control.Stop();
    control.Movie(path);
    EXPECT_EQ(control.FrameNum(), 0);
    EXPECT_TRUE(control.isRunning());
}

TEST_F(ControlTest, AMovieThatCannotBeDecodedLeavesAnEmptyStage)
{
    FlashControl control(&parent);
    control.resize(60, 60);
    control.Movie(write(QStringLiteral("good.swf"), countingMovie(30)));
    control.Stop();
    control.FrameNum(10);
    const QString bad = write(QStringLiteral("bad.swf"), QByteArray("this is no movie at all, just text"));
    control.Movie(bad);
    EXPECT_FALSE(control.loadError().isEmpty());
    EXPECT_EQ(control.Movie(), bad);
    EXPECT_FALSE(control.player().hasMovie());
    EXPECT_EQ(control.FrameNum(), 0);
    EXPECT_FALSE(control.isRunning());
    // The stage stays white but for one line across its middle saying why.
    EXPECT_EQ(control.player().notice(), QStringLiteral("This movie cannot be read: the file is not a Flash movie."));
    const QImage shown = control.grab().toImage();
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(57, 57), QColor(Qt::white));
    int marks = 0;
    for (int y = 24; y < 36; ++y)
        for (int x = 0; x < 60; ++x)
            marks += shown.pixelColor(x, y) != QColor(Qt::white);
    EXPECT_GT(marks, 10);
    control.Play();
    control.FrameNum(3);
    control.Stop();
    EXPECT_EQ(control.FrameNum(), 0);
    // A missing file is the same, and a good movie loads again after it.
    control.Movie(dir.filePath(QStringLiteral("missing.swf")));
    EXPECT_FALSE(control.loadError().isEmpty());
    control.Movie(write(QStringLiteral("again.swf"), countingMovie(5)));
    EXPECT_TRUE(control.player().hasMovie());
    EXPECT_TRUE(control.isRunning());
}

TEST_F(ControlTest, ContextMenuOffersPlayLoopRewindForwardBack)
{
    FlashControl control(&parent);
    control.Movie(write(QStringLiteral("count.swf"), countingMovie(30)));
    control.Stop();
    control.FrameNum(10);
    QMenu* menu = control.contextMenu();
    QStringList names;
    QAction* byName[5] = {};
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        names << a->text();
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("Play"), QStringLiteral("Loop"), QStringLiteral("Rewind"),
                                  QStringLiteral("Forward"), QStringLiteral("Back")}));
    int i = 0;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            byName[i++] = a;
    EXPECT_TRUE(byName[1]->isCheckable());
    EXPECT_TRUE(byName[1]->isChecked());
    byName[4]->trigger(); // Back
    EXPECT_EQ(control.FrameNum(), 9);
    byName[3]->trigger(); // Forward
    byName[3]->trigger();
    EXPECT_EQ(control.FrameNum(), 11);
    byName[2]->trigger(); // Rewind
    EXPECT_EQ(control.FrameNum(), 0);
    EXPECT_FALSE(control.isRunning());
    byName[1]->trigger(); // Loop off
    EXPECT_FALSE(control.loops());
    byName[0]->trigger(); // Play
    EXPECT_TRUE(control.isRunning());
}

TEST_F(ControlTest, WholeStageShownCentredWithTheBackgroundAround)
{
    MovieBuilder m(100, 50, 12);
    m.setBackgroundColor(rgb(0x00ff00));
    m.place(m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 100, 50)), 1);
    m.showFrame();
    FlashControl control(&parent);
    control.resize(100, 100);
    control.Movie(write(QStringLiteral("wide.swf"), m.finish()));
    const QImage shown = control.grab().toImage();
    EXPECT_TRUE(testing::colorNear(shown.pixel(50, 50), 0xffff0000));
    EXPECT_TRUE(testing::colorNear(shown.pixel(50, 10), 0xff00ff00));
    EXPECT_TRUE(testing::colorNear(shown.pixel(50, 90), 0xff00ff00));
}

TEST_F(ControlTest, HandleOutlivesOrDiesBeforeItsWidget)
{
    auto handle = createMovieControl(&parent);
    ASSERT_NE(handle->widget(), nullptr);
    EXPECT_EQ(handle->widget()->parent(), &parent);
    handle.reset(); // deletes the widget
    EXPECT_TRUE(parent.findChildren<FlashControl*>().isEmpty());

    auto* owner = new QWidget;
    auto second = createMovieControl(owner);
    delete owner; // the widget goes with its parent
    EXPECT_EQ(second->widget(), nullptr);
    second->Play();
    second->FrameNum(4);
    EXPECT_EQ(second->FrameNum(), 0);
}

#ifdef QEV_FLASH_OCX_PATH
TEST_F(ControlTest, FlashOcxModuleLoadsThroughQtsPluginLoader)
{
    const QString path = QStringLiteral(QEV_FLASH_OCX_PATH);
    ASSERT_TRUE(path.endsWith(QStringLiteral("Flash.ocx")));
    QPluginLoader loader(path);
    QObject* instance = loader.instance();
    ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
    auto* factory = qobject_cast<MovieControlFactory*>(instance);
    ASSERT_NE(factory, nullptr);
    auto control = factory->create(&parent);
    ASSERT_NE(control, nullptr);
    ASSERT_NE(control->widget(), nullptr);
    EXPECT_EQ(control->widget()->parent(), &parent);
    control->Play();
    control->FrameNum(7);
    EXPECT_EQ(control->FrameNum(), 0);
    control->Movie(write(QStringLiteral("count.swf"), countingMovie(12)));
    control->Stop();
    control->FrameNum(7);
    EXPECT_EQ(control->FrameNum(), 7);
    control->FrameNum(100);
    EXPECT_EQ(control->FrameNum(), 11);
}
#endif

} // namespace
} // namespace qev::swf
