// Speed of the script machine on a script-heavy frame: a loop of 100,000
// iterations of arithmetic, member access and a function call, next to the
// same loop written in C++ (the ratio of the two is the figure to watch).
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
