// Buttons follow the mouse: up, over and down pictures, the transitions of
// their state machine, release actions running as frame actions, and the
// control keeping mouse input to itself.

#include "button/ButtonTracker.h"
#include "qev/swf/FlashControl.h"
#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"
#include "qev/swf/testsupport/MovieParts.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QTemporaryDir>
#include <QWidget>

namespace qev::swf {
namespace {

using namespace writer;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

// A record at depth 1, its picture at (20, 20).
ButtonRecord record(std::uint16_t id, bool up, bool over, bool down, bool hit)
{
    return testsupport::buttonRecord(id, 1, testsupport::ButtonStates{up, over, down, hit}, translatePx(20, 20));
}

// A 100 x 100 stage. Frame 0 stops and shows a 40 x 40 button at (20, 20):
// red when up, green when over, blue when down. Frame 1 shows a black square
// at (70, 70). The button's release action is `actions`.
QByteArray buttonMovie(const ActionList& actions, int version = 2, bool menu = false)
{
    MovieBuilder m(100, 100, 12);
    const auto red = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 40, 40));
    const auto green = m.defineShape(ShapeBuilder().fill(solid(rgb(0x00FF00))).rect(0, 0, 40, 40));
    const auto blue = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000FF))).rect(0, 0, 40, 40));
    const auto black = m.defineShape(ShapeBuilder().fill(solid(rgb(0x000000))).rect(70, 70, 20, 20));
    Button b;
    b.version = version;
    b.trackAsMenu = menu;
    b.records = {record(red, true, false, false, true), record(green, false, true, false, false),
                 record(blue, false, false, true, false)};
    b.records[1].depth = 2;
    b.records[2].depth = 3;
    ButtonCondAction click;
    click.conditions = ButtonCondAction::OverDownToOverUp;
    click.bytecode = encodeActions(actions);
    b.actions = {click};
    const auto button = m.defineButton(b);
    m.actions({act::stop()});
    m.place(button, 1);
    m.showFrame();
    m.remove(1);
    m.place(black, 2);
    m.showFrame();
    return m.finish();
}

class ButtonPlayer : public ::testing::Test {
protected:
    void load(const QByteArray& bytes)
    {
        ASSERT_TRUE(player.loadBytes(bytes).isEmpty());
        draw();
    }
    QImage draw() { return player.renderImage(QSize(100, 100)); }
    QRgb at(int x, int y) { return draw().pixel(x, y); }

    Player player;
};

TEST_F(ButtonPlayer, PictureFollowsThePointer)
{
    load(buttonMovie({act::nextFrame()}));
    EXPECT_EQ(at(40, 40), kRed);
    EXPECT_FALSE(player.overButton());

    EXPECT_TRUE(player.mouseMove(QPointF(40, 40)));
    EXPECT_TRUE(player.overButton());
    EXPECT_EQ(at(40, 40), kGreen);

    EXPECT_TRUE(player.mousePress(QPointF(40, 40)));
    EXPECT_EQ(at(40, 40), kBlue);

    // Dragged out while held: "over"; back in: "down" again.
    EXPECT_TRUE(player.mouseMove(QPointF(90, 10)));
    EXPECT_EQ(at(40, 40), kGreen);
    EXPECT_TRUE(player.mouseMove(QPointF(30, 30)));
    EXPECT_EQ(at(40, 40), kBlue);
}

TEST_F(ButtonPlayer, ReleaseInsideRunsTheActionsOnTheMainTimeline)
{
    load(buttonMovie({act::nextFrame()}));
    EXPECT_EQ(player.currentFrame(), 0);
    player.mouseMove(QPointF(40, 40));
    player.mousePress(QPointF(40, 40));
    EXPECT_EQ(player.currentFrame(), 0); // nothing happens on the press
    EXPECT_TRUE(player.mouseRelease(QPointF(40, 40)));
    EXPECT_EQ(player.currentFrame(), 1);
    const QImage image = draw();
    EXPECT_EQ(image.pixel(80, 80), 0xFF000000u);
    EXPECT_EQ(image.pixel(40, 40), kWhite); // the button is gone with its frame
    EXPECT_FALSE(player.overButton());
}

TEST_F(ButtonPlayer, ReleaseOutsideDoesNothing)
{
    load(buttonMovie({act::nextFrame()}));
    player.mouseMove(QPointF(40, 40));
    player.mousePress(QPointF(40, 40));
    player.mouseMove(QPointF(90, 90));
    player.mouseRelease(QPointF(90, 90));
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(at(40, 40), kRed);
}

TEST_F(ButtonPlayer, GotoFrameAndFirstVersionButtons)
{
    load(buttonMovie({act::gotoFrame(1)}, 1));
    player.mouseMove(QPointF(25, 25));
    player.mousePress(QPointF(25, 25));
    player.mouseRelease(QPointF(25, 25));
    EXPECT_EQ(player.currentFrame(), 1);
}

TEST_F(ButtonPlayer, PointerOutsideTheHitAreaOrWithoutAMovieIsHarmless)
{
    load(buttonMovie({act::nextFrame()}));
    EXPECT_FALSE(player.mouseMove(QPointF(5, 5)));
    EXPECT_FALSE(player.mousePress(QPointF(5, 5)));
    EXPECT_FALSE(player.mouseRelease(QPointF(5, 5)));
    EXPECT_EQ(at(40, 40), kRed);

    Player empty;
    EXPECT_FALSE(empty.mouseMove(QPointF(40, 40)));
    EXPECT_FALSE(empty.mousePress(QPointF(40, 40)));
    EXPECT_FALSE(empty.mouseRelease(QPointF(40, 40)));
    EXPECT_FALSE(empty.mouseLeave());
    EXPECT_FALSE(empty.overButton());
}

TEST_F(ButtonPlayer, PositionsFollowTheScaledStage)
{
    load(buttonMovie({act::nextFrame()}));
    // Drawn at twice the size: the button covers (40, 40) to (120, 120).
    player.renderImage(QSize(200, 200));
    EXPECT_FALSE(player.mouseMove(QPointF(30, 30)));
    EXPECT_TRUE(player.mouseMove(QPointF(110, 110)));
    EXPECT_TRUE(player.overButton());
}

TEST_F(ButtonPlayer, LeavingTheControlReturnsTheButtonToUp)
{
    load(buttonMovie({act::nextFrame()}));
    player.mouseMove(QPointF(40, 40));
    EXPECT_TRUE(player.mouseLeave());
    EXPECT_EQ(at(40, 40), kRed);
}

TEST_F(ButtonPlayer, ButtonInASpriteDrivesTheSprite)
{
    MovieBuilder m(100, 100, 12);
    const auto red = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 40, 40));
    const auto blue = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000FF))).rect(0, 0, 10, 10));
    Button b;
    b.version = 2;
    b.records = {record(red, true, true, true, true)};
    ButtonCondAction click;
    click.conditions = ButtonCondAction::OverDownToOverUp;
    click.bytecode = encodeActions({act::nextFrame()});
    b.actions = {click};
    const auto button = m.defineButton(b);
    SpriteBuilder s;
    s.actions({act::stop()});
    s.place(button, 1);
    s.showFrame();
    s.place(blue, 2, translatePx(80, 80));
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    m.place(sprite, 1);
    m.showFrame();
    m.showFrame();
    load(m.finish());
    EXPECT_EQ(at(85, 85), kWhite);
    player.mouseMove(QPointF(40, 40));
    player.mousePress(QPointF(40, 40));
    player.mouseRelease(QPointF(40, 40));
    EXPECT_EQ(at(85, 85), kBlue); // the sprite went to its second frame
}

// A menu button whose faces are sprites. Up shows a sprite that flashes
// red, green, red, ... one colour per frame and sits in the over state too;
// down shows a sprite that is blue, then stops on black. The main timeline
// stands on one frame, so only the sprites move.
QByteArray spriteFacedButtonMovie()
{
    MovieBuilder m(100, 100, 12);
    const auto red = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 40, 40));
    const auto green = m.defineShape(ShapeBuilder().fill(solid(rgb(0x00FF00))).rect(0, 0, 40, 40));
    const auto blue = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000FF))).rect(0, 0, 40, 40));
    const auto black = m.defineShape(ShapeBuilder().fill(solid(rgb(0x000000))).rect(0, 0, 40, 40));
    SpriteBuilder flashing;
    flashing.place(red, 1);
    flashing.showFrame();
    flashing.remove(1);
    flashing.place(green, 1);
    flashing.showFrame();
    const auto flashingId = m.defineSprite(flashing);
    SpriteBuilder pressed;
    pressed.place(blue, 1);
    pressed.showFrame();
    pressed.remove(1);
    pressed.place(black, 1);
    pressed.actions({act::stop()});
    pressed.showFrame();
    const auto pressedId = m.defineSprite(pressed);
    const auto hit = m.defineShape(ShapeBuilder().fill(solid(rgb(0x808080))).rect(0, 0, 40, 40));
    Button b;
    b.version = 2;
    b.records = {record(flashingId, true, true, false, false), record(pressedId, false, false, true, false),
                 record(hit, false, false, false, true)};
    b.records[1].depth = 2;
    b.records[2].depth = 3;
    m.actions({act::stop()});
    m.place(m.defineButton(b), 1);
    m.showFrame();
    return m.finish();
}

TEST_F(ButtonPlayer, SpritesInAButtonsPicturesPlayWhileShown)
{
    load(spriteFacedButtonMovie());
    EXPECT_EQ(at(40, 40), kRed);
    player.advance();
    EXPECT_EQ(at(40, 40), kGreen);
    player.advance();
    EXPECT_EQ(at(40, 40), kRed) << "the sprite loops";
    player.advance();
    EXPECT_EQ(at(40, 40), kGreen);

    // Over shows the same sprite at the same depth: it plays on, it does not start again.
    player.mouseMove(QPointF(40, 40));
    EXPECT_EQ(at(40, 40), kGreen);
    player.advance();
    EXPECT_EQ(at(40, 40), kRed);

    // Down shows another sprite from its first frame; its stop() holds it.
    player.mousePress(QPointF(40, 40));
    EXPECT_EQ(at(40, 40), kBlue);
    player.advance();
    EXPECT_EQ(at(40, 40), 0xFF000000u);
    player.advance();
    EXPECT_EQ(at(40, 40), 0xFF000000u) << "the sprite's own stop() holds it";

    // Back to over: the flashing sprite is placed anew, from red.
    player.mouseRelease(QPointF(40, 40));
    EXPECT_EQ(at(40, 40), kRed);
}

// Hostile hit areas. A button whose hit area is a sprite that places the
// same button four times before a shape: the inner copies count as empty, so
// the shape is still found. A button whose hit area is 16 levels of sprites
// each placing the level below four times (4^16 objects): the search gives
// up in bounded time. The ordinary button on top still answers the pointer.
TEST_F(ButtonPlayer, HitAreasThatNestWithoutEndStayUsable)
{
    MovieBuilder m(100, 100, 12);
    const auto red = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 40, 40));
    const auto green = m.defineShape(ShapeBuilder().fill(solid(rgb(0x00FF00))).rect(0, 0, 40, 40));
    const auto small = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000FF))).rect(0, 0, 10, 10));
    Button plain;
    plain.version = 2;
    plain.records = {record(red, true, false, false, true), record(green, false, true, true, false)};
    plain.records[1].depth = 2;
    const auto plainId = m.defineButton(plain);

    // A button whose hit area holds itself four times; the copies lie away
    // from the shape, so only the outermost shape is under the pointer.
    const std::uint16_t cycleId =
        testsupport::defineButtonSpriteCycle(m, testsupport::ButtonStates{false, false, false, true}, 4,
                                             translatePx(200, 200), small)
            .button;

    SpriteBuilder empty;
    empty.showFrame();
    std::uint16_t level = m.defineSprite(empty);
    for (int i = 0; i < 16; ++i) {
        SpriteBuilder s;
        for (std::uint16_t depth = 1; depth <= 4; ++depth)
            s.place(level, depth);
        s.showFrame();
        level = m.defineSprite(s);
    }
    Button fan;
    fan.version = 2;
    fan.records = {record(level, false, false, false, true)};
    const auto fanId = m.defineButton(fan);

    m.actions({act::stop()});
    // The search runs topmost first and shares one budget, so the button it
    // gives up on lies lowest.
    m.place(fanId, 1);
    m.place(cycleId, 2, translatePx(80, 0));
    m.place(plainId, 3);
    m.showFrame();
    load(m.finish());

    player.mouseMove(QPointF(70, 90));
    EXPECT_FALSE(player.overButton());
    player.mouseMove(QPointF(85, 5));
    EXPECT_TRUE(player.overButton()) << "the shape beside the inner copies is part of the hit area";
    player.mouseMove(QPointF(40, 40));
    EXPECT_TRUE(player.overButton());
    EXPECT_EQ(at(40, 40), kGreen);
}

TEST(ButtonStates, RecordsShownPerPictureAndPhase)
{
    ButtonRecord r = record(1, true, false, true, false);
    EXPECT_TRUE(button::shows(r, button::Visual::Up));
    EXPECT_FALSE(button::shows(r, button::Visual::Over));
    EXPECT_TRUE(button::shows(r, button::Visual::Down));
    EXPECT_EQ(button::visualOf(button::Phase::Idle), button::Visual::Up);
    EXPECT_EQ(button::visualOf(button::Phase::OverUp), button::Visual::Over);
    EXPECT_EQ(button::visualOf(button::Phase::OverDown), button::Visual::Down);
    EXPECT_EQ(button::visualOf(button::Phase::OutDown), button::Visual::Over);
}

// Records which mouse presses reach the window around the control.
class Surround : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(ButtonControl, ClicksOnTheControlDriveTheMovieAndStopThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("menu.swf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buttonMovie({act::nextFrame()}));
    }
    Surround window;
    window.resize(100, 100);
    auto* control = new FlashControl(&window);
    control->setGeometry(0, 0, 100, 100);
    window.show();
    control->Movie(path);
    control->Stop();
    control->grab(); // draws once, so the control knows where the stage is
    QTest::mouseMove(control, QPoint(40, 40));
    EXPECT_EQ(control->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(control->FrameNum(), 1);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(window.presses, 0);
}

} // namespace
} // namespace qev::swf
