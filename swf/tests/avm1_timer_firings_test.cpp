// Intervals on the frame clock: a frame's time follows the frame, and an
// interval shorter than a frame fires as often as it fits into that time,
// what each firing started (a clip's onLoad) done before the next.

#include "script_test_support.h"

using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::playMovie;
namespace op = qev::swf::writer::op;

TEST(Avm1Timers, AnIntervalShorterThanAFrameFiresAsOftenAsItFitsIntoTheFirstFramesTime)
{
    // n = 0; id = setInterval(function () { n++; trace(n); if (n == 5) clearInterval(id); }, 10);
    ActionAssembler tick;
    tick.push("n").push("n").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    tick.push("n").op(op::GetVariable).op(op::Trace);
    tick.push("n").op(op::GetVariable).push(5).op(op::Equals2).op(op::Not).ifTrue("go on");
    tick.push("id").op(op::GetVariable).push(1).push("clearInterval").op(op::CallFunction).op(op::Pop);
    tick.label("go on");
    ActionAssembler a;
    a.push("n").push(0).op(op::SetVariable);
    a.push("id").push(10).function("", {}, tick).push(2).push("setInterval").op(op::CallFunction);
    a.op(op::SetVariable);
    a.trace("frame 1");
    // At 10 frames a second the first frame lasts 100 ms: five firings,
    // then the interval is cleared and the second frame adds none.
    const auto run = script_test::play({a, ActionAssembler().trace("frame 2")}, 8, 2, true);
    EXPECT_EQ(run.traces, QStringList({"frame 1", "1", "2", "3", "4", "5", "frame 2"}));
}

TEST(Avm1Timers, WhatAFiringStartedRunsBeforeTheNextFiring)
{
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder clip;
    clip.script(ActionAssembler().trace("clip frame 1").bytes());
    clip.showFrame();
    m.exportAsset(m.defineSprite(clip), QStringLiteral("clip"));
    // Each firing attaches a clip whose first frame traces, up to two.
    ActionAssembler tick;
    tick.push("n").push("n").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    tick.push("firing ").push("n").op(op::GetVariable).op(op::Add2).op(op::Trace);
    tick.push("n").op(op::GetVariable).push("clip").push("n").op(op::GetVariable).op(op::Add2).push("clip");
    tick.push(3).push("_root").op(op::GetVariable).push("attachMovie").op(op::CallMethod).op(op::Pop);
    tick.push("n").op(op::GetVariable).push(2).op(op::Equals2).op(op::Not).ifTrue("go on");
    tick.push("id").op(op::GetVariable).push(1).push("clearInterval").op(op::CallFunction).op(op::Pop);
    tick.label("go on");
    ActionAssembler a;
    a.push("n").push(0).op(op::SetVariable);
    a.push("id").push(1).function("", {}, tick).push(2).push("setInterval").op(op::CallFunction);
    a.op(op::SetVariable);
    m.script(a.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, QStringList({"firing 1", "clip frame 1", "firing 2", "clip frame 1"}));
}
