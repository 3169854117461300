// The script machine through whole movies: bytecode written by our
// assembler, played by the engine, checked by what the scripts trace.

#include "script_test_support.h"

#include <limits>

using qev::swf::Player;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::play;
using script_test::ScriptRun;
namespace op = qev::swf::writer::op;

namespace {

QStringList traces(const ActionAssembler& script, int version = 8)
{
    return play({script}, version, 1).traces;
}

// a = value; (value already pushed by push())
ActionAssembler& setVar(ActionAssembler& a, const QString& name, double value)
{
    return a.push(name).push(value).op(op::SetVariable);
}

} // namespace

TEST(Avm1Values, NumbersPrintAsThePlayerPrintsThem)
{
    ActionAssembler a;
    const double cases[] = {0.1 + 0.2, 1.0 / 3, 1e21, 123456789012345680000.0, 0.000001, 0.00001, -0.0, 1e15,
                            123456789012345.0, -2.5e-7};
    for (double n : cases)
        a.push(n).op(op::Trace);
    a.push(1).push(0).op(op::Divide).op(op::Trace);
    a.push(0).push(0).op(op::Divide).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"0.3", "0.333333333333333", "1e+21", "1.23456789012346e+20", "1e-6", "0.00001",
                                      "0", "1e+15", "123456789012345", "-2.5e-7", "Infinity", "NaN"}));
}

TEST(Avm1Values, ConversionsFollowTheMovieVersion)
{
    // undefined + "x", a missing variable in a string, and "" as a number
    // (0 up to SWF 5 only).
    ActionAssembler a(6);
    a.pushUndefined().push("x").op(op::Add2).op(op::Trace);
    a.push("").op(op::ToNumber).op(op::Trace);
    a.push("abc").op(op::Not).op(op::Trace);
    EXPECT_EQ(traces(a, 6), (QStringList{"x", "NaN", "true"}));

    ActionAssembler b(7);
    b.pushUndefined().push("x").op(op::Add2).op(op::Trace);
    b.push("").op(op::ToNumber).op(op::Trace);
    b.push("abc").op(op::Not).op(op::Trace);
    EXPECT_EQ(traces(b, 7), (QStringList{"undefinedx", "NaN", "false"}));

    // SWF 4: comparison results print as 1 and 0, text that is no number is 0.
    ActionAssembler c(4);
    c.push(2).push(3).op(op::Less).op(op::Trace);
    c.push("abc").push(5).op(op::Add).op(op::Trace);
    EXPECT_EQ(traces(c, 4), (QStringList{"1", "5"}));

    // Hexadecimal and octal strings, and white space before and after numbers.
    ActionAssembler d;
    d.push("0x1F").op(op::ToNumber).op(op::Trace);
    d.push("010").op(op::ToNumber).op(op::Trace);
    d.push(" 12").op(op::ToNumber).op(op::Trace);
    d.push(" 12 ").op(op::ToNumber).op(op::Trace);
    d.push("12px").op(op::ToNumber).op(op::Trace);
    EXPECT_EQ(traces(d), (QStringList{"31", "8", "12", "NaN", "NaN"}));
}

TEST(Avm1Values, NamesIgnoreCaseBeforeSwf7Only)
{
    for (int version : {6, 7}) {
        ActionAssembler a(version);
        setVar(a, "Score", 5);
        a.traceVariable("score");
        a.push("o").push(0).op(op::InitObject).op(op::SetVariable);
        a.push("o").op(op::GetVariable).push("Name").push("x").op(op::SetMember);
        a.push("o").op(op::GetVariable).push("name").op(op::GetMember).op(op::Trace);
        const QStringList got = traces(a, version);
        if (version == 6)
            EXPECT_EQ(got, (QStringList{"5", "x"}));
        else
            EXPECT_EQ(got, (QStringList{"undefined", "undefined"}));
    }
}

TEST(Avm1Control, LoopsBranchesAndStackEdgesRunAsWritten)
{
    // i = 0; sum = 0; while (i < 10) { i++; sum += i; } trace(sum)
    ActionAssembler a;
    setVar(a, "i", 0);
    setVar(a, "sum", 0);
    a.label("top");
    a.push("i").op(op::GetVariable).push(10).op(op::Less2).op(op::Not).ifTrue("done");
    a.push("i").push("i").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    a.push("sum").push("sum").op(op::GetVariable).push("i").op(op::GetVariable).op(op::Add2).op(op::SetVariable);
    a.jump("top");
    a.label("done");
    a.traceVariable("sum");
    // Popping an empty stack gives undefined; a jump out of the block ends it.
    a.op(op::Pop).op(op::Pop).op(op::Trace);
    a.jumpBy(3000);
    a.trace("not reached");
    EXPECT_EQ(traces(a), (QStringList{"55", "undefined"}));
}

TEST(Avm1Functions, ClosuresRecursionAndBothFunctionForms)
{
    ActionAssembler a;
    // function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }
    ActionAssembler fact;
    fact.push("n").op(op::GetVariable).push(1).op(op::Greater).ifTrue("more");
    fact.push(1).op(op::Return);
    fact.label("more");
    fact.push("n").op(op::GetVariable);
    fact.push("n").op(op::GetVariable).push(1).op(op::Subtract).push(1).push("fact").op(op::CallFunction);
    fact.op(op::Multiply).op(op::Return);
    a.function("fact", {"n"}, fact);
    a.push(10).push(1).push("fact").op(op::CallFunction).op(op::Trace);

    // function counter() { var c = 0; return function () { c++; return c; }; }
    ActionAssembler inner;
    inner.push("c").push("c").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    inner.push("c").op(op::GetVariable).op(op::Return);
    ActionAssembler counter;
    counter.push("c").push(0).op(op::DefineLocal);
    counter.function("", {}, inner).op(op::Return);
    a.function("counter", {}, counter);
    a.push("next").push(0).push("counter").op(op::CallFunction).op(op::SetVariable);
    for (int i = 0; i < 3; ++i)
        a.push(0).push("next").op(op::CallFunction).op(op::Trace);
    // The counter's variable stayed inside it.
    a.traceVariable("c");

    // DefineFunction2: this and arguments in registers 1 and 2, x in register 3.
    ActionAssembler two;
    two.pushRegister(1).push("tag").op(op::GetMember);
    two.pushRegister(2).push("length").op(op::GetMember).op(op::Add2);
    two.pushRegister(3).op(op::Add2).op(op::Return);
    a.function2("describe", {{"x", 3}}, 4, 0x0001 | 0x0004 | 0x0002 | 0x0008, two);
    a.push("o").push("tag").push("T").push(1).op(op::InitObject).op(op::SetVariable);
    a.push("o").op(op::GetVariable).push("describe").op(op::GetVariable).push("m").op(op::StackSwap).op(op::SetMember);
    a.push("z").push("y").push(2).push("o").op(op::GetVariable).push("m").op(op::CallMethod).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"3628800", "1", "2", "3", "undefined", "T2y"}));
}

TEST(Avm1Functions, OldStyleFunctionsShareTheirCallersRegisters)
{
    ActionAssembler a;
    a.push(7).storeRegister(1).op(op::Pop);
    ActionAssembler body;
    body.pushRegister(1).op(op::Trace);
    body.push(9).storeRegister(1).op(op::Pop);
    a.function("f", {}, body);
    a.push(0).push("f").op(op::CallFunction).op(op::Pop);
    a.pushRegister(1).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"7", "9"}));
}

TEST(Avm1Objects, PrototypesClassesAndSuper)
{
    ActionAssembler a;
    // function Animal(name) { this.name = name; }
    ActionAssembler animal;
    animal.push("this").op(op::GetVariable).push("name").push("name").op(op::GetVariable).op(op::SetMember);
    a.function("Animal", {"name"}, animal);
    // Animal.prototype.speak = function () { return this.name + " speaks"; }
    ActionAssembler speak;
    speak.push("this").op(op::GetVariable).push("name").op(op::GetMember).push(" speaks").op(op::Add2).op(op::Return);
    a.push("Animal").op(op::GetVariable).push("prototype").op(op::GetMember).push("speak");
    a.function("", {}, speak).op(op::SetMember);
    // function Dog(name) { super(name); }  Dog extends Animal
    ActionAssembler dog;
    dog.push("name").op(op::GetVariable).push(1).push("super").op(op::CallFunction).op(op::Pop);
    a.function("Dog", {"name"}, dog);
    a.push("Dog").op(op::GetVariable).push("Animal").op(op::GetVariable).op(op::Extends);
    // Dog.prototype.speak = function () { return super.speak() + " loudly"; }
    ActionAssembler loud;
    loud.push(0).push("super").op(op::GetVariable).push("speak").op(op::CallMethod).push(" loudly").op(op::Add2);
    loud.op(op::Return);
    a.push("Dog").op(op::GetVariable).push("prototype").op(op::GetMember).push("speak");
    a.function("", {}, loud).op(op::SetMember);
    a.push("d").push("Rex").push(1).push("Dog").op(op::NewObject).op(op::SetVariable);
    a.push(0).push("d").op(op::GetVariable).push("speak").op(op::CallMethod).op(op::Trace);
    a.push("d").op(op::GetVariable).push("Animal").op(op::GetVariable).op(op::InstanceOf).op(op::Trace);
    a.push("d").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    a.push("Dog").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    // A prototype cycle made by a script must not hang a lookup.
    a.push("p").push(0).op(op::InitObject).op(op::SetVariable);
    a.push("p").op(op::GetVariable).push("__proto__").push("p").op(op::GetVariable).op(op::SetMember);
    a.push("p").op(op::GetVariable).push("missing").op(op::GetMember).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"Rex speaks loudly", "true", "object", "function", "undefined"}));
}

TEST(Avm1Objects, GettersSettersWatchersAndEnumeration)
{
    ActionAssembler a;
    a.push("o").push(0).op(op::InitObject).op(op::SetVariable);
    // o.addProperty("v", function () { return 42; }, function (x) { trace("set " + x); })
    ActionAssembler getter;
    getter.push(42).op(op::Return);
    ActionAssembler setter;
    setter.push("set ").push("x").op(op::GetVariable).op(op::Add2).op(op::Trace);
    a.function("", {"x"}, setter);
    a.function("", {}, getter);
    a.push("v").push(3).push("o").op(op::GetVariable).push("addProperty").op(op::CallMethod).op(op::Pop);
    a.push("o").op(op::GetVariable).push("v").op(op::GetMember).op(op::Trace);
    a.push("o").op(op::GetVariable).push("v").push(5).op(op::SetMember);
    // o.watch("w", function (name, old, now) { return now * 2; })
    ActionAssembler watcher;
    watcher.push("now").op(op::GetVariable).push(2).op(op::Multiply).op(op::Return);
    a.function("", {"name", "old", "now"}, watcher);
    a.push("w").push(2).push("o").op(op::GetVariable).push("watch").op(op::CallMethod).op(op::Pop);
    a.push("o").op(op::GetVariable).push("w").push(21).op(op::SetMember);
    a.push("o").op(op::GetVariable).push("w").op(op::GetMember).op(op::Trace);
    // e.a = 1; e.b = 2; e.c = 3; for (k in e) trace(k): the newest first.
    a.push("e").push(0).op(op::InitObject).op(op::SetVariable);
    for (const char* name : {"a", "b", "c"})
        a.push("e").op(op::GetVariable).push(name).push(1).op(op::SetMember);
    a.push("e").op(op::GetVariable).op(op::Enumerate2);
    a.label("next").storeRegister(0).pushNull().op(op::Equals2).ifTrue("end");
    a.pushRegister(0).op(op::Trace).jump("next");
    a.label("end");
    EXPECT_EQ(traces(a), (QStringList{"42", "set 5", "42", "c", "b", "a"}));
}

TEST(Avm1Exceptions, TryCatchFinallyAndUncaughtThrows)
{
    ActionAssembler a;
    ActionAssembler tryBody;
    tryBody.trace("try");
    tryBody.push("boom").op(op::Throw);
    tryBody.trace("not reached");
    ActionAssembler catchBody;
    catchBody.push("caught ").push("e").op(op::GetVariable).op(op::Add2).op(op::Trace);
    ActionAssembler finallyBody;
    finallyBody.trace("finally");
    a.tryBlock(tryBody, ActionAssembler::Catch{"e", {}}, catchBody, finallyBody);
    // A throw from a called function reaches the caller's catch (in a register).
    ActionAssembler thrower;
    thrower.push("deep").op(op::Throw);
    a.function("f", {}, thrower);
    ActionAssembler callF;
    callF.push(0).push("f").op(op::CallFunction).op(op::Pop);
    ActionAssembler catchReg;
    catchReg.pushRegister(2).op(op::Trace);
    a.tryBlock(callF, ActionAssembler::Catch{{}, 2}, catchReg, std::nullopt);
    // Nothing catches this one: the block ends, the next frame still runs.
    a.push("Oh no!").op(op::Throw);
    a.trace("not reached");
    ActionAssembler next;
    next.trace("frame 2");
    const ScriptRun run = play({a, next}, 8, 2);
    EXPECT_EQ(run.traces,
              (QStringList{"try", "caught boom", "finally", "deep", "Warning: Uncaught exception, Oh no!", "frame 2"}));
}

TEST(Avm1Scopes, WithTellTargetAndVariablePaths)
{
    ActionAssembler a;
    a.push("o").push("x").push(1).push(1).op(op::InitObject).op(op::SetVariable);
    ActionAssembler inside;
    inside.traceVariable("x");
    inside.push("x").push(2).op(op::SetVariable); // an existing member of o
    inside.push("y").push(3).op(op::SetVariable); // new: lands on the timeline
    a.push("o").op(op::GetVariable).with(inside);
    a.push("o").op(op::GetVariable).push("x").op(op::GetMember).op(op::Trace);
    a.traceVariable("y");
    a.traceVariable("_root.y");
    a.traceVariable("/:y");
    a.push("this").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"1", "2", "3", "3", "3", "_level0"}));
}

TEST(Avm1Timeline, StopGotoAndFramePropertiesFromScripts)
{
    ActionAssembler first;
    first.trace("one");
    ActionAssembler second;
    second.push("_currentframe").op(op::GetVariable).op(op::Trace);
    second.push(4).gotoFrame2(false); // gotoAndStop(4)
    second.push("_currentframe").op(op::GetVariable).op(op::Trace);
    ActionAssembler third;
    third.trace("three: skipped by the jump");
    ActionAssembler fourth;
    fourth.trace("four");
    const ScriptRun run = play({first, second, third, fourth}, 8, 6);
    // frame 4 runs once, when the jump lands there; then the movie stands.
    EXPECT_EQ(run.traces, (QStringList{"one", "2", "4", "four"}));
}

TEST(Avm1Timers, IntervalsRunOnTheFrameClock)
{
    // setInterval(tick, 250) at 10 frames per second fires every 2.5 frames;
    // clearInterval after the third call.
    ActionAssembler tick;
    tick.push("n").push("n").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    tick.push("tick ").push("n").op(op::GetVariable).op(op::Add2).op(op::Trace);
    tick.push("n").op(op::GetVariable).push(3).op(op::Equals2).op(op::Not).ifTrue("keep");
    tick.push("id").op(op::GetVariable).push(1).push("clearInterval").op(op::CallFunction).op(op::Pop);
    tick.label("keep");
    ActionAssembler a;
    setVar(a, "n", 0);
    a.function("tick", {}, tick);
    a.push("id").push(250).push("tick").op(op::GetVariable).push(2).push("setInterval").op(op::CallFunction);
    a.op(op::SetVariable);
    a.push(0).push("getTimer").op(op::CallFunction).op(op::Trace);
    ActionAssembler stop;
    stop.op(op::Stop);
    const ScriptRun run = play({a, stop}, 8, 20);
    EXPECT_EQ(run.traces, (QStringList{"0", "tick 1", "tick 2", "tick 3"}));
}

TEST(Avm1Limits, RunawayScriptsStopAndTheMoviePlaysOn)
{
    // An endless loop, endless recursion, and an absurd InitArray count.
    ActionAssembler loop;
    loop.label("top").jump("top");
    ActionAssembler recurse;
    ActionAssembler body;
    body.push(0).push("r").op(op::CallFunction).op(op::Return);
    recurse.function("r", {}, body);
    recurse.push(0).push("r").op(op::CallFunction).op(op::Pop);
    recurse.trace("not reached");
    ActionAssembler huge;
    huge.push(1).push(2).push(1e9).op(op::InitArray).push("length").op(op::GetMember).op(op::Trace);
    huge.push(1e9).op(op::InitObject).op(op::TypeOf).op(op::Trace);
    ActionAssembler last;
    last.trace("still playing");
    const ScriptRun run = play({loop, recurse, huge, last}, 8, 4, true);
    EXPECT_EQ(run.traces, (QStringList{"2", "undefined", "still playing"}));
    ASSERT_GE(run.warnings.size(), 2);
    EXPECT_TRUE(run.warnings.filter("script stopped").size() >= 2) << run.warnings.join('\n').toStdString();
}

TEST(Avm1Operators, StringBitTypeAndConversionActions)
{
    ActionAssembler a;
    a.push("abc").push("abd").op(op::StringLess).op(op::Trace);
    a.push("abc").push("abd").op(op::StringGreater).op(op::Trace);
    a.push("hello").push(2).push(3).op(op::MBStringExtract).op(op::Trace);
    a.push(QStringLiteral("\u00e9t\u00e9")).op(op::MBStringLength).op(op::Trace);
    a.push("A").op(op::CharToAscii).op(op::Trace);
    a.push(0x263A).op(op::MBAsciiToChar).op(op::CharToAscii).op(op::Trace);
    a.push(-1).push(28).op(op::BitURShift).op(op::Trace);
    a.push(-16).push(2).op(op::BitRShift).op(op::Trace);
    a.push(1).push(31).op(op::BitLShift).op(op::Trace);
    a.push(6).push(3).op(op::BitXor).op(op::Trace);
    a.push(-7.9).op(op::ToInteger).op(op::Trace);
    a.push(7).push(3).op(op::Modulo).op(op::Trace);
    a.push("5").push(5).op(op::StrictEquals).op(op::Trace);
    a.push("5").push(5).op(op::Equals2).op(op::Trace);
    a.push(5).op(op::ToString).op(op::TypeOf).op(op::Trace);
    a.pushNull().op(op::TypeOf).op(op::Trace);
    // delete o.x and delete of a variable
    a.push("o").push("x").push(1).push(1).op(op::InitObject).op(op::SetVariable);
    a.push("o").op(op::GetVariable).push("x").op(op::Delete).op(op::Trace);
    a.push("o").op(op::GetVariable).push("x").op(op::GetMember).op(op::Trace);
    a.push("o").op(op::Delete2).op(op::Trace);
    a.traceVariable("o");
    // CastOp: an object that is not an instance casts to null.
    a.push("Array").op(op::GetVariable).push(0).op(op::InitObject).op(op::CastOp).op(op::Trace);
    // RandomNumber stays below its bound.
    a.push(1).op(op::RandomNumber).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"true", "false", "ell", "3", "65", "9786", "15", "-4", "-2147483648", "5",
                                      "-7", "1", "false", "true", "string", "null", "true", "undefined", "true",
                                      "undefined", "null", "0"}));
}

TEST(Avm1Timeline, CallRunsAnotherFramesScriptWithoutGoingThere)
{
    ActionAssembler first;
    first.push(3).op(0x9E); // call(3): frame 3's script, here
    first.push("_currentframe").op(op::GetVariable).op(op::Trace);
    first.op(op::Stop);
    ActionAssembler second;
    ActionAssembler third;
    third.trace("frame three's script");
    const ScriptRun run = play({first, second, third}, 8, 3);
    EXPECT_EQ(run.traces, (QStringList{"frame three's script", "1"}));
}

TEST(Avm1Clips, ScriptsMakeMoveAndRemoveClipsThatOutliveTheTimeline)
{
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder ball;
    ActionAssembler ballScript;
    ballScript.push("made ").push("this").op(op::GetVariable).op(op::Add2).op(op::Trace).op(op::Stop);
    ball.script(ballScript.bytes());
    ball.showFrame();
    const std::uint16_t ballId = m.defineSprite(ball);
    m.exportAsset(ballId, QStringLiteral("Ball"));

    auto callOnRoot = [](ActionAssembler& a, const char* method, std::initializer_list<QString> args) {
        for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
            bool number = false;
            const double n = it->toDouble(&number);
            number ? a.push(n) : a.push(*it);
        }
        a.push(int(args.size())).push("_root").op(op::GetVariable).push(method).op(op::CallMethod);
    };
    ActionAssembler first;
    callOnRoot(first, "createEmptyMovieClip", {"holder", "5"});
    first.op(op::Pop);
    callOnRoot(first, "attachMovie", {"Ball", "b1", "7"});
    first.op(op::Pop);
    callOnRoot(first, "attachMovie", {"Missing", "nothing", "8"});
    first.op(op::Trace);
    first.push(0).push("b1").op(op::GetVariable).push("getDepth").op(op::CallMethod).op(op::Trace);
    first.push(0).push("_root").op(op::GetVariable).push("getNextHighestDepth").op(op::CallMethod).op(op::Trace);
    first.push(9).push("b2").push(2).push("b1").op(op::GetVariable).push("duplicateMovieClip").op(op::CallMethod);
    first.op(op::Pop);
    first.push(20).push(1).push("b1").op(op::GetVariable).push("swapDepths").op(op::CallMethod).op(op::Pop);
    first.push(20).push(1).push("_root").op(op::GetVariable).push("getInstanceAtDepth").op(op::CallMethod);
    first.op(op::Trace);
    first.push(0).push("holder").op(op::GetVariable).push("removeMovieClip").op(op::CallMethod).op(op::Pop);
    first.push("holder").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    ActionAssembler second;
    second.traceVariable("b1");
    second.traceVariable("b2");
    m.script(first.bytes());
    m.showFrame();
    m.script(second.bytes());
    m.showFrame();

    ScriptRun run;
    Player player;
    player.setTraceHandler([&](const QString& line) { run.traces << line; });
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    // The new clips' own first frames run once the block that made them
    // ends; on frame 2 the clips are still there.
    player.advance();
    EXPECT_EQ(run.traces, (QStringList{"undefined", "7", "8", "_level0.b1", "undefined", "made _level0.b1",
                                       "made _level0.b2", "_level0.b1", "_level0.b2"}));
}

TEST(Avm1Events, OnEnterFrameRunsEveryTickBeforeTheFrameScriptsUntilDeleted)
{
    ActionAssembler first;
    first.trace("frame 1");
    first.push("count").push(0).op(op::SetVariable);
    ActionAssembler handler;
    handler.push("count").push("count").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    handler.push("enter ").push("count").op(op::GetVariable).op(op::Add2).op(op::Trace);
    handler.push("count").op(op::GetVariable).push(3).op(op::Equals2).op(op::Not).ifTrue("keep");
    handler.push("this").op(op::GetVariable).push("onEnterFrame").op(op::Delete).op(op::Pop);
    handler.label("keep");
    first.push("this").op(op::GetVariable).push("onEnterFrame");
    first.function("", {}, handler).op(op::SetMember);
    ActionAssembler second;
    second.trace("frame 2");
    ActionAssembler third;
    third.trace("frame 3");
    third.op(op::Stop);
    // A stopped movie still gets its enter-frame calls.
    const ScriptRun run = play({first, second, third}, 8, 6);
    EXPECT_EQ(run.traces, (QStringList{"frame 1", "enter 1", "frame 2", "enter 2", "frame 3", "enter 3"}));
}

TEST(Avm1Events, ClipsMadeByScriptsMoveThemselvesInOnEnterFrame)
{
    // c = createEmptyMovieClip("c", 1); c.onEnterFrame = function () { this._x = this._x + 1; }
    ActionAssembler move;
    move.push("this").op(op::GetVariable).push("_x");
    move.push("this").op(op::GetVariable).push("_x").op(op::GetMember).push(1).op(op::Add2).op(op::SetMember);
    ActionAssembler first;
    first.push("c").push(1).push("c").push(2).push("this").op(op::GetVariable);
    first.push("createEmptyMovieClip").op(op::CallMethod).op(op::SetVariable);
    first.push("c").op(op::GetVariable).push("onEnterFrame");
    first.function("", {}, move).op(op::SetMember);
    ActionAssembler probe;
    probe.push("c").op(op::GetVariable).push("_x").op(op::GetMember).op(op::Trace);
    ActionAssembler last = probe;
    last.op(op::Stop);
    // The clip made on frame 1 moves from the next tick on, before each
    // frame's script reads it.
    const ScriptRun run = play({first, probe, last}, 8, 5);
    EXPECT_EQ(run.traces, (QStringList{"1", "2"}));
}

TEST(Avm1Timeline, WaitForFrameCountsEveryFrameUpToTheFormatsLimitAsLoaded)
{
    // The whole movie is read before it plays: only whole frame numbers past
    // 16,001 (as 32-bit integers, so 2^31 + 1 wraps below zero) are not
    // loaded, and then the actions after the wait (push and trace) are skipped.
    ActionAssembler a;
    for (double frame : {16001.0, 16002.0, 2147483648.0, 2147483649.0, 16002.5,
                         std::numeric_limits<double>::infinity()})
        a.push(frame).waitForFrame2(2).trace(QString::number(frame, 'g', 12));
    a.push("abc").waitForFrame2(2).trace("abc");
    EXPECT_EQ(traces(a), (QStringList{"16001", "2147483649", "16002.5", "inf", "abc"}));
}
