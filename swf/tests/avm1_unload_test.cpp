// Clips leaving the stage: a clip with unload handlers, in itself or in a
// clip inside it, stays beneath its parent's list (depth -32769 - depth)
// until the next frame, so its handlers still find it, its children and its
// path; a clip without any goes at once.

#include "script_test_support.h"

using qev::swf::PlaceObject;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::playMovie;
namespace op = qev::swf::writer::op;

namespace {

// c_<name> = _root.createEmptyMovieClip(name, depth)
ActionAssembler& makeClip(ActionAssembler& a, const char* name, int depth)
{
    a.push(QStringLiteral("c_%1").arg(QLatin1String(name))).push(depth).push(name).push(2);
    a.push("_root").op(op::GetVariable);
    return a.push("createEmptyMovieClip").op(op::CallMethod).op(op::SetVariable);
}

// trace(prefix + this + " " + this.getDepth())
ActionAssembler traceThisAndDepth(const char* prefix)
{
    ActionAssembler a;
    a.push(prefix).push("this").op(op::GetVariable).op(op::Add2).push(" ").op(op::Add2);
    a.push(0).push("this").op(op::GetVariable).push("getDepth").op(op::CallMethod).op(op::Add2).op(op::Trace);
    return a;
}

ActionAssembler& traceDepthOf(ActionAssembler& a, const char* path)
{
    return a.push(0).push(path).op(op::GetVariable).push("getDepth").op(op::CallMethod).op(op::Trace);
}

} // namespace

TEST(Avm1Unload, ARemovedClipWithOnUnloadWaitsBeneathItsParentUntilTheNextFrame)
{
    ActionAssembler first;
    makeClip(first, "kept", 5);
    first.push("c_kept").op(op::GetVariable).push("onUnload").function("", {}, traceThisAndDepth("unload "));
    first.op(op::SetMember);
    makeClip(first, "gone", 6);
    for (const char* name : {"c_kept", "c_gone"})
        first.push(0).push(name).op(op::GetVariable).push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    first.push("_root").op(op::GetVariable).push("kept").op(op::GetMember).op(op::Trace);
    traceDepthOf(first, "c_kept");
    first.push("_root").op(op::GetVariable).push("gone").op(op::GetMember).op(op::Trace);
    // A clip waiting for its unload handlers is no script's to remove.
    first.push(0).push("c_kept").op(op::GetVariable).push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    ActionAssembler second;
    second.push("_root").op(op::GetVariable).push("kept").op(op::GetMember).op(op::Trace);
    const auto run = script_test::play({first, second}, 8, 2, true);
    EXPECT_EQ(run.traces,
              QStringList({"_level0.kept", "-32774", "undefined", "unload _level0.kept -32774", "undefined"}));
}

TEST(Avm1Unload, ATimelineRemovesAClipWhoseChildHasAnUnloadHandlerAfterTheHandlerRan)
{
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder empty;
    empty.showFrame();
    const auto emptyId = m.defineSprite(empty);
    SpriteBuilder outer;
    PlaceObject inner;
    inner.characterId = emptyId;
    inner.depth = 1;
    inner.name = QStringLiteral("inner");
    outer.place(inner);
    outer.showFrame();
    const auto outerId = m.defineSprite(outer);
    PlaceObject p;
    p.characterId = outerId;
    p.depth = 2;
    p.name = QStringLiteral("outer");
    m.place(p);
    ActionAssembler first;
    first.push("outer").op(op::GetVariable).push("inner").op(op::GetMember).push("onUnload");
    first.function("", {}, traceThisAndDepth("unload ")).op(op::SetMember);
    m.script(first.bytes());
    m.showFrame();
    // Frame 2 removes the outer clip (which has no handler itself) and,
    // after the unload handler ran, still finds it at -32769 - (2 - 16384).
    m.remove(2);
    ActionAssembler second;
    traceDepthOf(second, "outer");
    m.script(second.bytes());
    m.showFrame();
    ActionAssembler third;
    third.push("outer").op(op::GetVariable).op(op::Trace);
    m.script(third.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 3, true);
    EXPECT_EQ(run.traces, QStringList({"unload _level0.outer.inner -16383", "-16387", "undefined"}));
}

TEST(Avm1Unload, AClipWithoutUnloadHandlersLeavesAtOnceAndItsDepthIsFreeAgain)
{
    ActionAssembler a;
    makeClip(a, "plain", 3);
    a.push(0).push("c_plain").op(op::GetVariable).push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    a.push("_root").op(op::GetVariable).push("plain").op(op::GetMember).op(op::Trace);
    a.push(3).push(1).push("_root").op(op::GetVariable).push("getInstanceAtDepth").op(op::CallMethod).op(op::Trace);
    const auto run = script_test::play({a}, 8, 1);
    EXPECT_EQ(run.traces, QStringList({"undefined", "undefined"}));
}

TEST(Avm1Unload, AfterTheTargetLeavesScriptsWorkOnTheirOwnClipAndAfterThatLeavesOnTheMainTimeline)
{
    MovieBuilder m(100, 100, 10, 8);
    // An exported clip whose first frame removes itself, then sets a
    // variable and reads _target where its timeline was.
    SpriteBuilder self;
    ActionAssembler selfScript;
    selfScript.push(0).push("this").op(op::GetVariable).push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    selfScript.push("where").push("set by a removed clip").op(op::SetVariable);
    selfScript.push("").push(11).op(op::GetProperty).op(op::Trace);
    self.script(selfScript.bytes());
    self.showFrame();
    m.exportAsset(m.defineSprite(self), QStringLiteral("self"));
    ActionAssembler a;
    makeClip(a, "target", 1);
    a.push("c_target").op(op::GetVariable).op(op::SetTarget2);
    a.push("").push(11).op(op::GetProperty).op(op::Trace);
    a.push(0).push("_root").op(op::GetVariable).push("target").op(op::GetMember);
    a.push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    a.push("").push(11).op(op::GetProperty).op(op::Trace);
    a.setTarget("");
    a.push(2).push("selfish").push("self").push(3).push("_root").op(op::GetVariable);
    a.push("attachMovie").op(op::CallMethod).op(op::Pop);
    m.script(a.bytes());
    m.showFrame();
    ActionAssembler second;
    second.push("_root").op(op::GetVariable).push("where").op(op::GetMember).op(op::Trace);
    m.script(second.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 2, true);
    EXPECT_EQ(run.traces, QStringList({"/target", "/", "/", "set by a removed clip"}));
}
