// Keyboard focus on buttons, clips and input fields: the order Tab and
// Shift+Tab walk (by place, or by tabIndex), what tabEnabled and
// tabChildren leave out, the focus handlers, Enter and Space pressing the
// focused object, and the yellow frame around it.

#include "engine_test_support.h"
#include "script_test_support.h"
#include "stage_script_support.h"

#include "qev/swf/Writer.h"
#include "qev/swf/testsupport/MovieParts.h"

namespace {

using namespace stage_script;
using qev::swf::Button;
using qev::swf::ButtonCondAction;
using qev::swf::EditText;
using qev::swf::PlaceObject;
using qev::swf::Player;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::ShapeBuilder;
using qev::swf::writer::SpriteBuilder;
namespace testsupport = qev::swf::testsupport;

PlaceObject at(std::uint16_t id, std::uint16_t depth, const char* name, double x, double y)
{
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    p.name = QString::fromUtf8(name);
    p.matrix = qev::swf::writer::translatePx(x, y);
    return p;
}

ActionAssembler traceText(const char* text)
{
    ActionAssembler a;
    trace(a, str(text));
    return a;
}

// function (...) { trace(prefix + arg); } of the argument named param.
Expr traceWith(const char* prefix, const char* param)
{
    ActionAssembler body;
    body.push(prefix).push(param).op(op::GetVariable).op(op::Add2).op(op::Trace);
    return function(body, {QString::fromLatin1("old"), QString::fromLatin1("now")});
}

// A 300 x 300 stage of 20 x 20 boxes: "b" at (10, 10) with onPress and
// onRelease, "a" at (10, 100) with onRelease, the button "btn" at
// (150, 100) whose press and release actions trace, "c" at (150, 10) with
// no handler, the input field "f" at (200, 200), and "g" at (10, 200)
// holding "inner", which has an onPress. A Selection listener traces
// every focus change. Frame i runs scripts[i] after that set-up; the last
// frame stops.
QByteArray focusMovie(const std::vector<ActionAssembler>& scripts)
{
    MovieBuilder m(300, 300, 10, 8);
    m.setBackgroundColor(qev::swf::writer::rgb(0xFFFFFF));
    const auto square
        = m.defineShape(ShapeBuilder().fill(qev::swf::writer::solid(qev::swf::writer::rgb(0x3366CC))).rect(0, 0, 20, 20));
    SpriteBuilder box;
    box.place(square, 1);
    box.showFrame();
    const auto boxId = m.defineSprite(box);
    SpriteBuilder holder;
    holder.place(at(boxId, 1, "inner", 0, 0));
    holder.showFrame();
    const auto holderId = m.defineSprite(holder);
    Button b;
    b.version = 2;
    b.records = {testsupport::buttonRecord(square, 1, testsupport::ButtonStates{true, true, true, true})};
    ButtonCondAction press;
    press.conditions = ButtonCondAction::OverUpToOverDown;
    press.bytecode = traceText("btn press").bytes();
    ButtonCondAction release;
    release.conditions = ButtonCondAction::OverDownToOverUp;
    release.bytecode = traceText("btn release").bytes();
    b.actions = {press, release};
    const auto buttonId = m.defineButton(b);
    EditText input;
    input.bounds = qev::swf::Rect{0, 80 * 20, 0, 20 * 20};
    input.readOnly = false;
    input.fontHeight = 240;
    input.fontClass = QStringLiteral("_sans");
    input.textColor = qev::swf::Rgba{0, 0, 0, 255};
    const auto fieldId = m.defineEditText(input);

    m.place(at(boxId, 1, "b", 10, 10));
    m.place(at(boxId, 2, "a", 10, 100));
    m.place(at(buttonId, 3, "btn", 150, 100));
    m.place(at(boxId, 4, "c", 150, 10));
    m.place(at(fieldId, 5, "f", 200, 200));
    m.place(at(holderId, 6, "g", 10, 200));

    ActionAssembler setup;
    set(setup, get("b"), "onPress", function(traceText("b press")));
    set(setup, get("b"), "onRelease", function(traceText("b release")));
    set(setup, get("a"), "onRelease", function(traceText("a release")));
    set(setup, get("g.inner"), "onPress", function(traceText("inner press")));
    setVar(setup, "l", make("Object"));
    set(setup, get("l"), "onSetFocus", traceWith("focus ", "now"));
    run(setup, call(get("Selection"), "addListener", {get("l")}));
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        if (i == 0)
            m.script(setup.bytes());
        ActionAssembler a = scripts[i];
        if (i + 1 == scripts.size())
            a.op(op::Stop);
        m.script(a.bytes());
        m.showFrame();
    }
    return m.finish();
}

struct Session {
    Player player;
    QStringList traces;

    explicit Session(const std::vector<ActionAssembler>& scripts)
    {
        player.setTraceHandler([this](const QString& line) { traces << line; });
        qev::swf::testing::loadOrFail(player, focusMovie(scripts));
        for (std::size_t i = 1; i < scripts.size(); ++i)
            player.advance();
    }
    // Everything traced since the last call.
    QStringList take() { return std::exchange(traces, {}); }
    void tab(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            player.keyPress(Qt::Key_Tab, QStringLiteral("\t"));
    }
    void backTab(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            player.keyPress(Qt::Key_Backtab, QString());
    }
};

TEST(Avm1TabFocus, TabWalksTopToBottomThenLeftToRightAndWraps)
{
    Session s({ActionAssembler()});
    s.take();
    s.tab(6);
    // c has no handler; inner and f share a row.
    EXPECT_EQ(s.take(), QStringList({"focus _level0.b", "focus _level0.a", "focus _level0.btn",
                                     "focus _level0.g.inner", "focus _level0.f", "focus _level0.b"}));
    s.backTab(2);
    EXPECT_EQ(s.take(), QStringList({"focus _level0.f", "focus _level0.g.inner"}));
}

TEST(Avm1TabFocus, ShiftTabWithoutFocusStartsAtTheEnd)
{
    Session s({ActionAssembler()});
    s.take();
    s.backTab();
    EXPECT_EQ(s.take(), QStringList({"focus _level0.f"}));
}

TEST(Avm1TabFocus, WithTabIndexesOnlyIndexedObjectsInIndexOrderTiesByPlace)
{
    ActionAssembler a;
    set(a, get("btn"), "tabIndex", num(1));
    set(a, get("c"), "tabEnabled", boolean(true));
    // c (depth 4, top 10) and a (depth 2, top 100) tie.
    set(a, get("a"), "tabIndex", num(3));
    set(a, get("c"), "tabIndex", num(3));
    set(a, get("f"), "tabIndex", num(2));
    Session s({a});
    s.take();
    s.tab(5);
    EXPECT_EQ(s.take(), QStringList({"focus _level0.btn", "focus _level0.f", "focus _level0.c", "focus _level0.a",
                                     "focus _level0.btn"}));
    s.backTab();
    EXPECT_EQ(s.take(), QStringList({"focus _level0.a"}));
}

TEST(Avm1TabFocus, TabEnabledAndTabChildrenDecide)
{
    ActionAssembler a;
    set(a, get("b"), "tabEnabled", boolean(false));
    set(a, get("c"), "tabEnabled", boolean(true));
    set(a, get("g"), "tabChildren", boolean(false));
    Session s({a});
    s.take();
    s.tab(5);
    EXPECT_EQ(s.take(), QStringList({"focus _level0.c", "focus _level0.a", "focus _level0.btn", "focus _level0.f",
                                     "focus _level0.c"}));
}

TEST(Avm1TabFocus, HiddenObjectsAndWhatIsInsideThemAreSkipped)
{
    ActionAssembler a;
    set(a, get("a"), "_visible", boolean(false));
    set(a, get("g"), "_visible", boolean(false));
    Session s({a});
    s.take();
    s.tab(4);
    EXPECT_EQ(s.take(), QStringList({"focus _level0.b", "focus _level0.btn", "focus _level0.f", "focus _level0.b"}));
}

TEST(Avm1TabFocus, FocusHandlersOfTheObjectsAndGetFocus)
{
    ActionAssembler a;
    set(a, get("b"), "onKillFocus", traceWith("b lost to ", "old"));
    set(a, get("a"), "onSetFocus", traceWith("a took from ", "old"));
    ActionAssembler report;
    trace(report, call(get("Selection"), "getFocus"));
    set(a, get("l"), "onKeyUp", function(report));
    run(a, call(get("Key"), "addListener", {get("l")}));
    Session s({a});
    s.take();
    s.tab(2);
    s.player.keyRelease(Qt::Key_Tab, QStringLiteral("\t"));
    EXPECT_EQ(s.take(), QStringList({"focus _level0.b", "b lost to _level0.a", "a took from _level0.b",
                                     "focus _level0.a", "_level0.a"}));
}

TEST(Avm1TabFocus, EnterAndSpacePressTheFocusedButtonOrClip)
{
    ActionAssembler a;
    trace(a, call(get("Selection"), "setFocus", {get("b")}));
    Session s({a});
    EXPECT_EQ(s.take(), QStringList({"focus _level0.b", "true"}));
    s.player.keyPress(Qt::Key_Return, QStringLiteral("\r"));
    s.tab();
    s.player.keyPress(Qt::Key_Space, QStringLiteral(" "));
    s.tab();
    s.player.keyPress(Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(s.take(), QStringList({"b press", "b release", "focus _level0.a", "a release", "focus _level0.btn",
                                     "btn press", "btn release"}));
    // In an input field, Enter is typing, not a press.
    s.tab(2);
    s.player.keyPress(Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(s.take(), QStringList({"focus _level0.g.inner", "focus _level0.f"}));
}

TEST(Avm1TabFocus, SetFocusByPathAndARemovedFocusedClip)
{
    ActionAssembler first;
    trace(first, call(get("Selection"), "setFocus", {str("btn")}));
    trace(first, call(get("Selection"), "getFocus"));
    run(first, call(get("Selection"), "setFocus", {get("a")}));
    ActionAssembler second;
    run(second, call(get("a"), "swapDepths", {num(50)}));
    run(second, call(get("a"), "removeMovieClip"));
    trace(second, call(get("Selection"), "getFocus"));
    Session s({first, second});
    EXPECT_EQ(s.take(), QStringList({"focus _level0.btn", "true", "_level0.btn", "focus _level0.a", "null"}));
    // Tab starts again from the first object.
    s.tab();
    EXPECT_EQ(s.take(), QStringList({"focus _level0.b"}));
}

bool yellow(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80;
}

TEST(Avm1TabFocus, AYellowFrameMarksTheFocusedClipWhileFocusRectIsOn)
{
    Session s({ActionAssembler()});
    QImage image = qev::swf::testing::frameImage(s.player);
    EXPECT_FALSE(yellow(image.pixel(9, 20)));
    s.tab(); // b, the box at (10, 10)
    EXPECT_TRUE(s.player.pictureChanged());
    image = qev::swf::testing::frameImage(s.player);
    EXPECT_TRUE(yellow(image.pixel(9, 20)));
    EXPECT_TRUE(yellow(image.pixel(20, 30)));
    EXPECT_FALSE(yellow(image.pixel(20, 20)) || yellow(image.pixel(50, 20)));
    // A field with the focus has no frame.
    s.backTab();
    image = qev::swf::testing::frameImage(s.player);
    EXPECT_FALSE(yellow(image.pixel(9, 20)));
}

TEST(Avm1TabFocus, FocusRectOffHidesTheFrame)
{
    ActionAssembler a;
    setVar(a, "_focusrect", boolean(false));
    trace(a, get("_focusrect"));
    Session s({a});
    s.tab();
    EXPECT_FALSE(yellow(qev::swf::testing::frameImage(s.player).pixel(9, 20)));
    ActionAssembler b;
    set(b, get("b"), "_focusrect", boolean(true));
    Session t({a, b});
    t.tab();
    EXPECT_TRUE(yellow(qev::swf::testing::frameImage(t.player).pixel(9, 20)));
    EXPECT_EQ(s.take().mid(0, 1), QStringList({"false"}));
}

} // namespace
