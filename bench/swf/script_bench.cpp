// Speed of the script machine on a script-heavy frame: a loop of 100,000
// iterations of arithmetic, member access and a function call, next to the
// same loop written in C++ (the ratio of the two is the figure to watch);
// and a frame where 500 clips move themselves in onEnterFrame.
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

constexpr int iterations = 100000;

// function f(x) { return x + 1; }  o = {v: 0};
// for (i = 0; i < 100000; i++) o.v = f(o.v) * 2 % 1000 + i;
ActionAssembler loopScript()
{
    ActionAssembler a;
    ActionAssembler f;
    f.push("x").op(op::GetVariable).push(1).op(op::Add2).op(op::Return);
    a.function("f", {"x"}, f);
    a.push("o").push("v").push(0).push(1).op(op::InitObject).op(op::SetVariable);
    a.push("i").push(0).op(op::SetVariable);
    a.label("top");
    a.push("i").op(op::GetVariable).push(iterations).op(op::Less2).op(op::Not).ifTrue("done");
    a.push("o").op(op::GetVariable).push("v");
    a.push("o").op(op::GetVariable).push("v").op(op::GetMember).push(1).push("f").op(op::CallFunction);
    a.push(2).op(op::Multiply).push(1000).op(op::Modulo).push("i").op(op::GetVariable).op(op::Add2);
    a.op(op::SetMember);
    a.push("i").push("i").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    a.jump("top");
    a.label("done");
    return a;
}

void BM_ScriptLoopFrame(benchmark::State& state)
{
    MovieBuilder m(100, 100, 24, 8);
    const QByteArray script = loopScript().bytes();
    for (int frame = 0; frame < 2; ++frame) {
        m.script(script);
        m.showFrame();
    }
    Player player;
    player.loadBytes(m.finish());
    for (auto _ : state)
        player.advance(); // each frame runs the loop once
    state.SetItemsProcessed(state.iterations() * iterations);
}
BENCHMARK(BM_ScriptLoopFrame)->Unit(benchmark::kMillisecond);

// 500 clips made by a script, each moving itself in its onEnterFrame:
//   for (i = 0; i < 500; i++) {
//     c = createEmptyMovieClip("c" + i, i);
//     c.onEnterFrame = function () { this._x = this._x + 1; };
//   }
void BM_FiveHundredClipsOnEnterFrame(benchmark::State& state)
{
    ActionAssembler move;
    move.push("this").op(op::GetVariable).push("_x");
    move.push("this").op(op::GetVariable).push("_x").op(op::GetMember).push(1).op(op::Add2).op(op::SetMember);
    ActionAssembler a;
    a.push("i").push(0).op(op::SetVariable);
    a.label("top");
    a.push("i").op(op::GetVariable).push(500).op(op::Less2).op(op::Not).ifTrue("done");
    a.push("c").push("i").op(op::GetVariable).push("c").push("i").op(op::GetVariable).op(op::Add2);
    a.push(2).push("this").op(op::GetVariable).push("createEmptyMovieClip").op(op::CallMethod).op(op::SetVariable);
    a.push("c").op(op::GetVariable).push("onEnterFrame");
    a.function("", {}, move).op(op::SetMember);
    a.push("i").push("i").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    a.jump("top");
    a.label("done");
    a.op(op::Stop);
    MovieBuilder m(100, 100, 24, 8);
    m.script(a.bytes());
    m.showFrame();
    Player player;
    player.loadBytes(m.finish());
    for (auto _ : state)
        player.advance(); // one frame: 500 handlers
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(BM_FiveHundredClipsOnEnterFrame)->Unit(benchmark::kMillisecond);

struct Holder {
    double v = 0;
};

__attribute__((noinline)) double addOne(double x)
{
    return x + 1;
}

void BM_SameLoopInCpp(benchmark::State& state)
{
    for (auto _ : state) {
        Holder o;
        for (int i = 0; i < iterations; ++i)
            o.v = std::fmod(addOne(o.v) * 2, 1000) + i;
        benchmark::DoNotOptimize(o.v);
    }
    state.SetItemsProcessed(state.iterations() * iterations);
}
BENCHMARK(BM_SameLoopInCpp)->Unit(benchmark::kMillisecond);

} // namespace
