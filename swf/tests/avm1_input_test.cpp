// The user's pointer and keys as scripts hear them: clips that act as
// buttons, mouse and key listeners, clip events and buttons' key presses,
// and the geometry scripts read (_xmouse, _width).

#include "script_test_support.h"

#include <Qt>

using qev::swf::Button;
using qev::swf::ButtonCondAction;
using qev::swf::ClipEventHandler;
using qev::swf::Player;
using qev::swf::PlaceObject;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::ShapeBuilder;
using qev::swf::writer::SpriteBuilder;
namespace ClipEvent = qev::swf::ClipEvent;
namespace op = qev::swf::writer::op;

namespace {

// obj.name = function () { trace(text); }
void traceHandler(ActionAssembler& a, const char* obj, const char* name, const char* text)
{
    a.push(obj).op(op::GetVariable).push(name);
    a.function("", {}, ActionAssembler().trace(text)).op(op::SetMember);
}

// A 100 x 100 stage drawn at 100 x 100 pixels; a 40 x 40 pixel square
// clip "box" at (20, 20) whose first frame script the test gives, with
// clip event handlers if any.
class InputMovie : public ::testing::Test {
protected:
    void load(const ActionAssembler& script, std::vector<ClipEventHandler> handlers = {})
    {
        MovieBuilder m(100, 100, 10, 8);
        const auto square = m.defineShape(ShapeBuilder().fill(qev::swf::writer::solid(qev::swf::writer::rgb(0xFF0000)))
                                              .rect(0, 0, 40, 40));
        SpriteBuilder box;
        box.place(square, 1);
        box.showFrame();
        const auto boxId = m.defineSprite(box);
        if (keyButton)
            m.place(m.defineButton(*keyButton), 5);
        PlaceObject p;
        p.characterId = boxId;
        p.depth = 1;
        p.name = QStringLiteral("box");
        p.matrix = qev::swf::writer::translatePx(20, 20);
        p.clipActions = std::move(handlers);
        m.place(p);
        m.script(script.bytes());
        m.showFrame();
        player.setTraceHandler([this](const QString& line) { traces << line; });
        ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
        player.renderImage(QSize(100, 100));
    }

    void click(QPointF at)
    {
        player.mouseMove(at);
        player.mousePress(at);
        player.mouseRelease(at);
    }

    std::optional<Button> keyButton;
    Player player;
    QStringList traces;
};

} // namespace

TEST_F(InputMovie, AClipWithButtonHandlersAnswersThePointerWithinWhatItDraws)
{
    ActionAssembler script;
    traceHandler(script, "box", "onRollOver", "over");
    traceHandler(script, "box", "onPress", "press");
    traceHandler(script, "box", "onRelease", "release");
    traceHandler(script, "box", "onRollOut", "out");
    traceHandler(script, "box", "onReleaseOutside", "outside");
    script.op(op::Stop);
    load(script);

    click(QPointF(10, 10)); // beside the clip: nothing
    EXPECT_TRUE(traces.isEmpty());
    EXPECT_FALSE(player.overButton());
    click(QPointF(30, 30));
    EXPECT_TRUE(player.overButton()); // the hand shows over the clip
    // Pressed on the clip, released away from it.
    player.mousePress(QPointF(30, 30));
    player.mouseMove(QPointF(90, 90));
    player.mouseRelease(QPointF(90, 90));
    EXPECT_EQ(traces, (QStringList{"over", "press", "release", "press", "outside"}));
}

TEST_F(InputMovie, MouseAndKeyListenersClipEventsAndTheKeyState)
{
    ActionAssembler script;
    // Key.addListener(box); listener = {}; Mouse.addListener(listener);
    script.push("box").op(op::GetVariable).push(1).push("Key").op(op::GetVariable);
    script.push("addListener").op(op::CallMethod).op(op::Pop);
    script.push("listener").push(0).op(op::InitObject).op(op::SetVariable);
    traceHandler(script, "listener", "onMouseDown", "listener down");
    script.push("listener").op(op::GetVariable).push(1).push("Mouse").op(op::GetVariable);
    script.push("addListener").op(op::CallMethod).op(op::Pop);
    ActionAssembler down;
    down.push("down ").push(0).push("Key").op(op::GetVariable).push("getCode").op(op::CallMethod).op(op::Add2);
    down.push(" ").op(op::Add2);
    down.push(37).push(1).push("Key").op(op::GetVariable).push("isDown").op(op::CallMethod).op(op::Add2).op(op::Trace);
    script.push("box").op(op::GetVariable).push("onKeyDown").function("", {}, down).op(op::SetMember);
    traceHandler(script, "box", "onMouseDown", "clip down");
    script.op(op::Stop);
    load(script, {ClipEventHandler{ClipEvent::MouseUp, 0, ActionAssembler().trace("clip event up").bytes()},
                  ClipEventHandler{ClipEvent::KeyUp, 0, ActionAssembler().trace("clip event key up").bytes()}});

    // Mouse events reach clips wherever the pointer is, then listeners.
    player.mousePress(QPointF(90, 90));
    player.mouseRelease(QPointF(90, 90));
    player.keyPress(Qt::Key_Left, QString());
    player.keyRelease(Qt::Key_Left, QString());
    player.keyPress(Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(traces, (QStringList{"clip down", "listener down", "clip event up", "down 37 true", "clip event key up",
                                   "down 65 false"}));
}

TEST_F(InputMovie, ButtonsAndClipsRunTheirKeyPressActions)
{
    Button b;
    b.version = 2;
    ButtonCondAction enter;
    enter.keyPress = 13;
    enter.bytecode = ActionAssembler().trace("button enter").bytes();
    ButtonCondAction letter;
    letter.keyPress = 'x';
    letter.bytecode = ActionAssembler().trace("button x").bytes();
    b.actions = {enter, letter};
    keyButton = b;
    load(ActionAssembler().op(op::Stop),
         {ClipEventHandler{ClipEvent::KeyPress, 2, ActionAssembler().trace("clip right arrow").bytes()}});

    player.keyPress(Qt::Key_Return, QStringLiteral("\r"));
    player.keyPress(Qt::Key_X, QStringLiteral("x"));
    player.keyPress(Qt::Key_Right, QString());
    player.keyPress(Qt::Key_Y, QStringLiteral("y"));
    EXPECT_EQ(traces, (QStringList{"button enter", "button x", "clip right arrow"}));
}

TEST_F(InputMovie, ClipsReportTheirSizeAndThePointerInTheirOwnCoordinates)
{
    ActionAssembler script;
    script.push("box").op(op::GetVariable).push("_width").op(op::GetMember).op(op::Trace);
    // box._xscale = 50: half as wide
    script.push("box").op(op::GetVariable).push("_xscale").push(50).op(op::SetMember);
    script.push("box").op(op::GetVariable).push("_width").op(op::GetMember).op(op::Trace);
    // box._height = 10: a quarter as high
    script.push("box").op(op::GetVariable).push("_height").push(10).op(op::SetMember);
    script.push("box").op(op::GetVariable).push("_yscale").op(op::GetMember).op(op::Trace);
    ActionAssembler where;
    where.push("box").op(op::GetVariable).push("_xmouse").op(op::GetMember).op(op::Trace);
    where.push("_root").op(op::GetVariable).push("_ymouse").op(op::GetMember).op(op::Trace);
    script.push("box").op(op::GetVariable).push("onMouseMove").function("", {}, where).op(op::SetMember);
    script.op(op::Stop);
    load(script);

    player.mouseMove(QPointF(30, 35));
    // The clip starts at x = 20 and is drawn at half its width.
    EXPECT_EQ(traces, (QStringList{"40", "20", "25", "20", "35"}));
}

TEST_F(InputMovie, ADraggedClipFollowsThePointerWithinItsLimitsUntilStopped)
{
    ActionAssembler script;
    // box.startDrag(true, 0, 0, 50, 100)
    script.push(100).push(50).push(0).push(0).pushBool(true).push(5).push("box").op(op::GetVariable);
    script.push("startDrag").op(op::CallMethod).op(op::Pop);
    // box.onMouseUp = function () { trace(this._x + "," + this._y); this.stopDrag(); }
    ActionAssembler up;
    up.push("this").op(op::GetVariable).push("_x").op(op::GetMember).push(",").op(op::Add2);
    up.push("this").op(op::GetVariable).push("_y").op(op::GetMember).op(op::Add2).op(op::Trace);
    up.push(0).push("this").op(op::GetVariable).push("stopDrag").op(op::CallMethod).op(op::Pop);
    script.push("box").op(op::GetVariable).push("onMouseUp").function("", {}, up).op(op::SetMember);
    script.op(op::Stop);
    load(script);

    player.mouseMove(QPointF(70, 60));
    player.mouseRelease(QPointF(70, 60));
    player.mouseMove(QPointF(10, 10));
    player.mouseRelease(QPointF(10, 10));
    EXPECT_EQ(traces, (QStringList{"50,60", "50,60"}));
}

TEST_F(InputMovie, BoundsPointsAndHitTestsInStageAndClipCoordinates)
{
    ActionAssembler script;
    // b = box.getBounds(_root); trace(b.xMin + " " + b.xMax + " " + b.yMin + " " + b.yMax);
    script.push("b").push("_root").op(op::GetVariable).push(1).push("box").op(op::GetVariable);
    script.push("getBounds").op(op::CallMethod).op(op::SetVariable);
    script.push("b").op(op::GetVariable).push("xMin").op(op::GetMember);
    for (const char* field : {"xMax", "yMin", "yMax"})
        script.push(" ").op(op::Add2).push("b").op(op::GetVariable).push(field).op(op::GetMember).op(op::Add2);
    script.op(op::Trace);
    // p = {x: 10, y: 5}; box.localToGlobal(p); trace(p.x + " " + p.y); box.globalToLocal(p); trace(...)
    script.push("p").push("x").push(10).push("y").push(5).push(2).op(op::InitObject).op(op::SetVariable);
    for (const char* method : {"localToGlobal", "globalToLocal"}) {
        script.push("p").op(op::GetVariable).push(1).push("box").op(op::GetVariable).push(method);
        script.op(op::CallMethod).op(op::Pop);
        script.push("p").op(op::GetVariable).push("x").op(op::GetMember).push(" ").op(op::Add2);
        script.push("p").op(op::GetVariable).push("y").op(op::GetMember).op(op::Add2).op(op::Trace);
    }
    // hitTest at stage points inside and outside
    for (int at : {30, 10}) {
        script.pushBool(true).push(at).push(at).push(3).push("box").op(op::GetVariable).push("hitTest");
        script.op(op::CallMethod).op(op::Trace);
    }
    script.op(op::Stop);
    load(script);

    EXPECT_EQ(traces, (QStringList{"20 60 20 60", "30 25", "10 5", "true", "false"}));
}

TEST_F(InputMovie, ColorPaintsAClipAndReportsItsTransform)
{
    ActionAssembler script;
    // c = new Color(box); c.setRGB(0x336699); trace(c.getRGB());
    script.push("c").push("box").op(op::GetVariable).push(1).push("Color").op(op::NewObject).op(op::SetVariable);
    script.push(0x336699).push(1).push("c").op(op::GetVariable).push("setRGB").op(op::CallMethod).op(op::Pop);
    script.push(0).push("c").op(op::GetVariable).push("getRGB").op(op::CallMethod).op(op::Trace);
    // t = c.getTransform(); trace(t.ra + " " + t.gb);
    script.push("t").push(0).push("c").op(op::GetVariable).push("getTransform").op(op::CallMethod).op(op::SetVariable);
    script.push("t").op(op::GetVariable).push("ra").op(op::GetMember).push(" ").op(op::Add2);
    script.push("t").op(op::GetVariable).push("gb").op(op::GetMember).op(op::Add2).op(op::Trace);
    // c.setTransform({aa: 50}); trace(box._alpha);
    script.push("aa").push(50).push(1).op(op::InitObject).push(1).push("c").op(op::GetVariable);
    script.push("setTransform").op(op::CallMethod).op(op::Pop);
    script.push("box").op(op::GetVariable).push("_alpha").op(op::GetMember).op(op::Trace);
    script.op(op::Stop);
    load(script);

    EXPECT_EQ(traces, (QStringList{"3368601", "0 102", "50"}));
    // Half the painted colour over the white stage.
    const QColor c = QColor::fromRgb(player.renderImage(QSize(100, 100)).pixel(40, 40));
    EXPECT_NEAR(c.red(), (0x33 + 255) / 2, 2);
    EXPECT_NEAR(c.green(), (0x66 + 255) / 2, 2);
    EXPECT_NEAR(c.blue(), (0x99 + 255) / 2, 2);
}

TEST_F(InputMovie, TheDrawingMethodsPaintFillsAndLinesBeneathTheClipsChildren)
{
    auto call = [](ActionAssembler& a, const char* method, std::initializer_list<double> args) {
        for (auto it = std::rbegin(args); it != std::rend(args); ++it)
            a.push(*it);
        a.push(int(args.size())).push("d").op(op::GetVariable).push(method).op(op::CallMethod).op(op::Pop);
    };
    ActionAssembler script;
    // d = createEmptyMovieClip("d", 10) and a blue square with a green line under it.
    script.push("d").push(10).push("d").push(2).push("this").op(op::GetVariable).push("createEmptyMovieClip");
    script.op(op::CallMethod).op(op::SetVariable);
    call(script, "beginFill", {0x0000FF});
    call(script, "moveTo", {60, 60});
    call(script, "lineTo", {90, 60});
    call(script, "lineTo", {90, 90});
    call(script, "lineTo", {60, 90}); // left open: endFill closes it
    call(script, "endFill", {});
    call(script, "lineStyle", {4, 0x00FF00, 100});
    call(script, "moveTo", {0, 95});
    call(script, "lineTo", {100, 95});
    script.push("d").op(op::GetVariable).push("_width").op(op::GetMember).op(op::Trace);
    script.op(op::Stop);
    load(script);

    EXPECT_EQ(traces, QStringList{"104"});
    const QImage picture = player.renderImage(QSize(100, 100));
    EXPECT_EQ(picture.pixel(75, 75), 0xFF0000FFu);
    EXPECT_EQ(picture.pixel(50, 95), 0xFF00FF00u);
    EXPECT_EQ(picture.pixel(50, 50), 0xFFFF0000u); // the box clip, untouched
    EXPECT_EQ(picture.pixel(95, 75), 0xFFFFFFFFu);
}

namespace {

// _quality, _highquality and _soundbuftime are the movie's settings: set on
// any clip, read back on every clip; words it does not know leave it.
TEST(Avm1MovieSettings, QualityAndSoundBufferTimeAreKeptForTheWholeMovie)
{
    ActionAssembler a;
    auto set = [&](const char* clip, const char* name, auto value) {
        a.push(clip).op(op::GetVariable).push(name).push(value).op(op::SetMember);
    };
    auto trace = [&](const char* clip, const char* name) {
        a.push(clip).op(op::GetVariable).push(name).op(op::GetMember).op(op::Trace);
    };
    trace("_root", "_quality");
    set("box", "_quality", "low");
    trace("_root", "_quality");
    trace("box", "_highquality");
    set("_root", "_quality", "fuzzy");
    trace("box", "_quality");
    set("_root", "_highquality", 2);
    trace("_root", "_quality");
    set("box", "_soundbuftime", 12.7);
    trace("_root", "_soundbuftime");
    a.op(op::Stop);
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder empty;
    empty.showFrame();
    PlaceObject p;
    p.characterId = m.defineSprite(empty);
    p.depth = 1;
    p.name = QStringLiteral("box");
    m.place(p);
    m.script(a.bytes());
    m.showFrame();
    const auto run = script_test::playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, (QStringList{"HIGH", "LOW", "0", "LOW", "BEST", "12"}));
}

} // namespace
