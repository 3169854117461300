// Buttons placed on a timeline as scripts see them: Button objects with a
// name, a path, a parent, display properties and a depth, the clips their
// pictures show, and handler methods that the pointer calls.

#include "script_test_support.h"

#include "qev/swf/testsupport/MovieParts.h"

using qev::swf::Button;
using qev::swf::Player;
using qev::swf::PlaceObject;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::ShapeBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::playMovie;
namespace op = qev::swf::writer::op;
namespace testsupport = qev::swf::testsupport;

namespace {

// trace(base.member) for a chain of members of the variable base.
ActionAssembler& traceMember(ActionAssembler& a, const char* base, std::initializer_list<const char*> members)
{
    a.push(base).op(op::GetVariable);
    for (const char* m : members)
        a.push(m).op(op::GetMember);
    return a.op(op::Trace);
}

// A 100 x 100 stage; a 40 x 40 pixel button "btn" at (20, 20) and depth 3
// whose up picture also shows a sprite that traces its own _name and
// _parent; then the frame script given.
QByteArray buttonMovie(const ActionAssembler& script, int frames = 1)
{
    MovieBuilder m(100, 100, 10, 8);
    const auto square = m.defineShape(
        ShapeBuilder().fill(qev::swf::writer::solid(qev::swf::writer::rgb(0xFF0000))).rect(0, 0, 40, 40));
    SpriteBuilder inner;
    ActionAssembler innerScript;
    traceMember(innerScript, "this", {"_name"});
    traceMember(innerScript, "this", {"_parent"});
    inner.script(innerScript.bytes());
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);
    Button b;
    b.version = 2;
    b.records = {testsupport::buttonRecord(square, 1, testsupport::ButtonStates{true, true, true, true}),
                 testsupport::buttonRecord(innerId, 2, testsupport::ButtonStates{true, false, false, false})};
    const auto button = m.defineButton(b);
    PlaceObject p;
    p.characterId = button;
    p.depth = 3;
    p.name = QStringLiteral("btn");
    p.matrix = qev::swf::writer::translatePx(20, 20);
    m.place(p);
    m.script(script.bytes());
    m.showFrame();
    for (int f = 1; f < frames; ++f) {
        if (f == 2)
            m.remove(3);
        m.showFrame();
    }
    return m.finish();
}

} // namespace

TEST(Avm1Buttons, AButtonOnATimelineIsAButtonObjectWithNamePathParentPropertiesAndDepth)
{
    ActionAssembler a;
    a.push("btn").op(op::GetVariable).op(op::Trace);
    traceMember(a, "btn", {"_name"});
    traceMember(a, "btn", {"_target"});
    traceMember(a, "btn", {"_parent"});
    traceMember(a, "btn", {"_x"});
    traceMember(a, "btn", {"_width"});
    a.push("btn").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    a.push(0).push("btn").op(op::GetVariable).push("getDepth").op(op::CallMethod).op(op::Trace);
    a.push("btn").op(op::GetVariable).push("Button").op(op::GetVariable).op(op::InstanceOf).op(op::Trace);
    a.push("btn").op(op::GetVariable).push("MovieClip").op(op::GetVariable).op(op::InstanceOf).op(op::Trace);
    // The button is found at its depth, and its pictures' clip by name.
    a.push(-16381).push(1).push("_root").op(op::GetVariable).push("getInstanceAtDepth").op(op::CallMethod);
    a.push("btn").op(op::GetVariable).op(op::Equals2).op(op::Trace);
    traceMember(a, "btn", {"instance1", "_target"});
    const auto run = playMovie(buttonMovie(a), 1);
    EXPECT_EQ(run.traces, QStringList({"instance1", "_level0.btn", "_level0.btn", "btn", "/btn", "_level0", "20",
                                       "40", "_level0.btn", "-16381", "true", "false", "true",
                                       "/btn/instance1"}));
}

TEST(Avm1Buttons, ClipsInAButtonPlayUntilTheButtonIsRemovedAndItsObjectThenReadsUndefined)
{
    ActionAssembler a;
    a.push("btn").op(op::GetVariable).push("instance1").op(op::GetMember).push("onEnterFrame");
    a.function("", {}, ActionAssembler().trace("inner enterFrame")).op(op::SetMember);
    a.push("_root").op(op::GetVariable).push("onEnterFrame");
    ActionAssembler rootHandler;
    traceMember(rootHandler, "_root", {"btn"});
    a.function("", {}, rootHandler).op(op::SetMember);
    // Frame 3 removes the button.
    const auto run = playMovie(buttonMovie(a, 3), 3);
    EXPECT_EQ(run.traces, QStringList({"instance1", "_level0.btn", "inner enterFrame", "_level0.btn", "undefined"}));
}

TEST(Avm1Buttons, TheButtonObjectsHandlerMethodsAnswerThePointerWithThisTheButton)
{
    ActionAssembler a;
    for (const char* method : {"onPress", "onRelease"}) {
        ActionAssembler body;
        body.push(QStringLiteral("%1 ").arg(QLatin1String(method))).push("this").op(op::GetVariable);
        body.push("_name").op(op::GetMember).op(op::Add2).op(op::Trace);
        a.push("btn").op(op::GetVariable).push(method).function("", {}, body).op(op::SetMember);
    }
    Player player;
    QStringList traces;
    player.setTraceHandler([&](const QString& line) { traces << line; });
    ASSERT_TRUE(player.loadBytes(buttonMovie(a)).isEmpty());
    player.renderImage(QSize(100, 100));
    const QPointF at(40, 40);
    player.mouseMove(at);
    player.mousePress(at);
    player.mouseRelease(at);
    EXPECT_EQ(traces, QStringList({"instance1", "_level0.btn", "onPress btn", "onRelease btn"}));
}

// tabIndex of buttons and clips holds a 32-bit integer cut toward zero;
// what does not fit (NaN, past 2^31) becomes the lowest one. A button lists
// the property, a clip keeps it out of for-in.
TEST(Avm1Buttons, TabIndexOfButtonsAndClipsIsA32BitIntegerListedOnlyOnButtons)
{
    ActionAssembler a;
    a.push("mc").push(1).push("mc").push(2).push("_root").op(op::GetVariable);
    a.push("createEmptyMovieClip").op(op::CallMethod).op(op::SetVariable);
    for (const char* target : {"btn", "mc"}) {
        a.push("tabIndex").push(1).push(target).op(op::GetVariable).push("isPropertyEnumerable");
        a.op(op::CallMethod).op(op::Trace);
        auto set = [&](auto value) {
            a.push(target).op(op::GetVariable).push("tabIndex").push(value).op(op::SetMember);
            traceMember(a, target, {"tabIndex"});
        };
        set(2147483648.0);
        set("x");
        set(-7.9);
        set(2147483647.0);
        a.push("tabIndex").push(1).push(target).op(op::GetVariable).push("isPropertyEnumerable");
        a.op(op::CallMethod).op(op::Trace);
    }
    QStringList traces = playMovie(buttonMovie(a), 1).traces;
    traces.removeAll("instance1"); // what the button's own sprite traces
    traces.removeAll("_level0.btn");
    const QStringList expectedValues{"-2147483648", "-2147483648", "-7", "2147483647"};
    EXPECT_EQ(traces, QStringList{"false"} + expectedValues + QStringList{"true"} + QStringList{"false"}
                                     + expectedValues + QStringList{"false"});
}
