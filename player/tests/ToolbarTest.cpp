// The toolbar's click areas and the two stepping timers, driven by real
// clicks and by timer events delivered one at a time.
#include "FrameStep.h"
#include "PlayerTestSupport.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

#include <limits>

namespace qev::player::testing {
namespace {

static_assert(steppedFrame(0, -2) == -2);
static_assert(steppedFrame(7, 2) == 9);
static_assert(steppedFrame(std::numeric_limits<std::int32_t>::min() + 1, -2) == std::numeric_limits<std::int32_t>::min());
static_assert(steppedFrame(std::numeric_limits<std::int32_t>::max() - 1, 2) == std::numeric_limits<std::int32_t>::max());

// The drawn buttons, left to right, and the area over each.
struct Button {
    const char* area;
    int left; // of the drawn button in the strip
};
constexpr Button kButtons[] = {{"Image2", 5},   {"Image3", 49},  {"Image4", 93},
                               {"Image5", 137}, {"Image6", 181}, {"Image7", 225}};
constexpr int kStripTop = 464;

class Toolbar : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        writePlaylist({{QStringLiteral("Movie"), QStringLiteral("movie.swf")}});
        writeMovie(QStringLiteral("movie.swf"));
        startPlayer();
        ASSERT_TRUE(window_->isVisible());
    }

    // Clicks the middle of a drawn button where the user would: on whatever
    // control lies there.
    void clickButton(int index)
    {
        const QPoint centre(kButtons[index].left + 18, kStripTop + 4 + 18);
        QWidget* target = window_->childAt(centre);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window_.get(), centre));
    }
    void clickPlay() { clickButton(0); }
    void clickPause() { clickButton(1); }
    void clickStop() { clickButton(2); }
    void clickRewind() { clickButton(3); }
    void clickForward() { clickButton(4); }
    void clickBackToStart() { clickButton(5); }

    QTimer* timer1() const { return child<QTimer>("Timer1"); }
    QTimer* timer2() const { return child<QTimer>("Timer2"); }

    // One tick of a running timer, through its own timeout connection.
    static void tick(QTimer* timer)
    {
        ASSERT_TRUE(timer->isActive());
        QTimerEvent event(timer->timerId());
        QCoreApplication::sendEvent(timer, &event);
    }

    enum class State { Idle, Rewinding, Forwarding, Both };
    State state() const
    {
        const bool back = timer1()->isActive();
        const bool on = timer2()->isActive();
        return back ? (on ? State::Both : State::Rewinding) : (on ? State::Forwarding : State::Idle);
    }
};

TEST_F(Toolbar, EachDrawnButtonIsCoveredByItsClickArea)
{
    for (const Button& button : kButtons) {
        SCOPED_TRACE(button.area);
        const QWidget* area = child<QWidget>(button.area);
        for (QPoint p : {QPoint(button.left + 4, kStripTop + 4 + 4), QPoint(button.left + 18, kStripTop + 22),
                         QPoint(button.left + 31, kStripTop + 4 + 31)})
            EXPECT_EQ(window_->childAt(p), area) << p.x() << "," << p.y();
    }
}

TEST_F(Toolbar, EachButtonSendsItsActionsInOrder)
{
    const QStringList expected[] = {
        {"Play"},                    // play
        {"Stop"},                    // pause
        {"Stop", "FrameNum 0"},      // stop
        {"Stop"},                    // rewind (and the rewind timer on)
        {"Stop"},                    // fast forward (and the fast-forward timer on)
        {"Stop", "FrameNum 0", "Play"}, // back to start
    };
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(kButtons[i].area);
        log_.calls.clear();
        clickButton(i);
        EXPECT_EQ(log_.calls, expected[i]);
    }
    EXPECT_TRUE(platform_.asked().empty());
}

TEST_F(Toolbar, ButtonsWorkBeforeAnyMovieWasPicked)
{
    clickStop();
    clickBackToStart();
    EXPECT_EQ(log_.calls, (QStringList{"Stop", "FrameNum 0", "Stop", "FrameNum 0", "Play"}));
    EXPECT_TRUE(log_.movie.isEmpty());
}

TEST_F(Toolbar, TheStripOutsideTheButtonsDoesNothing)
{
    for (QPoint p : {QPoint(400, kStripTop + 20), QPoint(2, kStripTop + 20), QPoint(700, kStripTop + 40)}) {
        QWidget* target = window_->childAt(p);
        ASSERT_EQ(target, child<QWidget>("Image1"));
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window_.get(), p));
    }
    EXPECT_TRUE(log_.calls.isEmpty());
}

TEST_F(Toolbar, AreasIgnoreOtherButtonsAndKeys)
{
    auto* area = child<QAbstractButton>("Image7");
    QTest::mouseClick(area, Qt::RightButton);
    QTest::keyClick(area, Qt::Key_Space);
    QTest::keyClick(window_.get(), Qt::Key_Space);
    QTest::keyClick(window_.get(), Qt::Key_Return);
    EXPECT_TRUE(log_.calls.isEmpty());
}

TEST_F(Toolbar, StateMachineOfTheTwoTimers)
{
    EXPECT_EQ(state(), State::Idle);
    clickRewind();
    EXPECT_EQ(state(), State::Rewinding);
    clickPlay();
    EXPECT_EQ(state(), State::Idle);
    clickForward();
    EXPECT_EQ(state(), State::Forwarding);
    clickRewind();
    EXPECT_EQ(state(), State::Both);
    // Pause, stop, back to start and a picked row leave the stepping running.
    clickPause();
    clickStop();
    clickBackToStart();
    QTreeWidgetItem* row = songList()->topLevelItem(0);
    QTest::mouseClick(songList()->viewport(), Qt::LeftButton, {}, songList()->visualItemRect(row).center());
    EXPECT_EQ(state(), State::Both);
    clickPlay();
    EXPECT_EQ(state(), State::Idle);
    clickRewind();
    clickForward();
    EXPECT_EQ(state(), State::Both);
    clickPlay();
    EXPECT_EQ(state(), State::Idle);
}

TEST_F(Toolbar, SwitchingOnARunningTimerKeepsItRunning)
{
    clickRewind();
    const int id = timer1()->timerId();
    clickRewind();
    EXPECT_EQ(timer1()->timerId(), id);
    EXPECT_EQ(state(), State::Rewinding);
}

TEST_F(Toolbar, RewindStepsTwoFramesBackPerTickAndGoesBelowZero)
{
    log_.frame = 3;
    clickRewind();
    log_.calls.clear();
    tick(timer1());
    EXPECT_EQ(log_.calls, (QStringList{"FrameNum", "FrameNum 1"}));
    tick(timer1());
    tick(timer1());
    EXPECT_EQ(log_.frame, -3);
    EXPECT_EQ(state(), State::Rewinding); // no bound switches it off
}

TEST_F(Toolbar, RewindAtTheFirstFrameOfAClampingControlWritesMinusTwoEachTick)
{
    log_.clamp = true;
    log_.lastFrame = 50;
    log_.frame = 0;
    clickRewind();
    log_.calls.clear();
    tick(timer1());
    tick(timer1());
    EXPECT_EQ(log_.calls, (QStringList{"FrameNum", "FrameNum -2", "FrameNum", "FrameNum -2"}));
    clickPlay();
    EXPECT_EQ(state(), State::Idle);
}

TEST_F(Toolbar, FastForwardStepsTwoFramesOnPastTheEnd)
{
    log_.clamp = true;
    log_.lastFrame = 10;
    log_.frame = 9;
    clickForward();
    log_.calls.clear();
    tick(timer2());
    tick(timer2());
    EXPECT_EQ(log_.calls, (QStringList{"FrameNum", "FrameNum 11", "FrameNum", "FrameNum 12"}));
}

TEST_F(Toolbar, InBothStatesEachTimerAppliesItsOwnStep)
{
    log_.frame = 20;
    clickRewind();
    clickForward();
    log_.calls.clear();
    tick(timer1());
    EXPECT_EQ(log_.frame, 18);
    tick(timer1());
    EXPECT_EQ(log_.frame, 16);
    tick(timer2());
    EXPECT_EQ(log_.frame, 18);
    EXPECT_EQ(log_.calls.size(), 6);
}

TEST_F(Toolbar, SteppingGoesOnAfterAnotherRowIsPicked)
{
    clickRewind();
    QTreeWidgetItem* row = songList()->topLevelItem(0);
    QTest::mouseClick(songList()->viewport(), Qt::LeftButton, {}, songList()->visualItemRect(row).center());
    EXPECT_EQ(log_.movie, folder() + "/movie.swf");
    log_.frame = 6;
    log_.calls.clear();
    tick(timer1());
    EXPECT_EQ(log_.calls, (QStringList{"FrameNum", "FrameNum 4"}));
}

TEST_F(Toolbar, SteppingStopsAtTheEndsOfThe32BitRange)
{
    log_.frame = std::numeric_limits<int>::min() + 1;
    clickRewind();
    tick(timer1());
    EXPECT_EQ(log_.frame, std::numeric_limits<int>::min());
    tick(timer1());
    EXPECT_EQ(log_.frame, std::numeric_limits<int>::min());
    clickPlay();

    log_.frame = std::numeric_limits<int>::max() - 1;
    clickForward();
    tick(timer2());
    tick(timer2());
    EXPECT_EQ(log_.frame, std::numeric_limits<int>::max());
}

TEST_F(Toolbar, AFailingControlIsReportedOnceAndItsTimerSwitchedOff)
{
    clickRewind();
    log_.failFrameNum = true;
    tick(timer1());
    EXPECT_EQ(state(), State::Idle);
    ASSERT_EQ(platform_.asked().size(), 1u);
    EXPECT_EQ(platform_.asked()[0].caption, QStringLiteral("Ostiv"));
    EXPECT_EQ(platform_.asked()[0].text, QStringLiteral("The movie control failed."));
}

} // namespace
} // namespace qev::player::testing
