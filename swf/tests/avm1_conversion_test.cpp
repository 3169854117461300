// How values convert as the movie's version asks: SWF 4 equality, the
// comparison and addition of objects (valueOf only, toString for strings),
// strings read as numbers, the global functions called with nothing, the
// version's globals, the depth limit a movie sets, and Sound targets.

#include "script_test_support.h"

using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using script_test::play;
namespace op = qev::swf::writer::op;

namespace {

QStringList traces(const ActionAssembler& script, int version)
{
    return play({script}, version, 1).traces;
}

// name = a new object whose method `method` traces `said` and returns what
// pushResult pushes.
void objectWithMethod(ActionAssembler& a, const QString& name, const QString& method, const QString& said,
                      void (*pushResult)(ActionAssembler&))
{
    ActionAssembler body;
    body.trace(said);
    pushResult(body);
    body.op(op::Return);
    a.push(name).push(0).op(op::InitObject).op(op::DefineLocal);
    a.push(name).op(op::GetVariable).push(method).function({}, {}, body).op(op::SetMember);
}

void pushesObject(ActionAssembler& r)
{
    r.push(0).op(op::InitObject);
}

void pushesB(ActionAssembler& r)
{
    r.push("b");
}

void pushesX(ActionAssembler& r)
{
    r.push("X");
}

void pushesOne(ActionAssembler& r)
{
    r.push(1);
}

} // namespace

TEST(Avm1Conversion, Swf4SeesNoGlobalsSoNaNIsAnEmptyVariable)
{
    // NaN and Infinity are no variables of a SWF 4 movie: both read as ""
    // and so as 0, equal to each other and to 0.
    ActionAssembler a(4);
    a.push("NaN").op(op::GetVariable).push(0).op(op::Equals).op(op::Trace);
    a.push("Infinity").op(op::GetVariable).push("NaN").op(op::GetVariable).op(op::Equals).op(op::Trace);
    EXPECT_EQ(traces(a, 4), (QStringList{"1", "1"}));

    ActionAssembler b(5);
    b.push("NaN").op(op::GetVariable).op(op::Trace);
    EXPECT_EQ(traces(b, 5), (QStringList{"NaN"}));
}

TEST(Avm1Conversion, ComparisonAsksValueOfOnlyAndAnObjectResultIsFalse)
{
    ActionAssembler a(7);
    // {} < 0 and "a" < {}: valueOf gives the object itself, so false (not undefined).
    a.push(0).op(op::InitObject).push(0).op(op::Less2).op(op::Trace);
    a.push("a").push(0).op(op::InitObject).op(op::Less2).op(op::Trace);
    // An object with toString only: toString is never asked by a comparison.
    objectWithMethod(a, "t", "toString", "toString asked", pushesB);
    a.push("a").push("t").op(op::GetVariable).op(op::Less2).op(op::Trace);
    // The left operand converts first; once it stays an object the right one is not asked.
    objectWithMethod(a, "v", "valueOf", "valueOf asked", pushesOne);
    a.push(0).op(op::InitObject).push("v").op(op::GetVariable).op(op::Less2).op(op::Trace);
    a.push("v").op(op::GetVariable).push(2).op(op::Less2).op(op::Trace);
    // A NaN still gives undefined.
    a.push("x").push(1).op(op::Less2).op(op::Trace);
    // A clip compares as NaN.
    a.push("_root").op(op::GetVariable).push(1).op(op::Less2).op(op::Trace);
    EXPECT_EQ(traces(a, 7), (QStringList{"false", "false", "false", "false", "valueOf asked", "true", "undefined",
                                         "undefined"}));
}

TEST(Avm1Conversion, AdditionJoinsObjectsByToStringOnlyBesideAString)
{
    ActionAssembler a(7);
    // valueOf gives an object: beside a string toString is asked, else NaN.
    objectWithMethod(a, "o", "toString", "toString asked", pushesX);
    a.push("o").op(op::GetVariable).push("s").op(op::Add2).op(op::Trace);
    a.push("o").op(op::GetVariable).push(1).op(op::Add2).op(op::Trace);
    a.push("o").op(op::GetVariable).push("o").op(op::GetVariable).op(op::Add2).op(op::Trace);
    // A valueOf that is no function gives undefined, which prints as such.
    a.push("o").op(op::GetVariable).push("valueOf").pushUndefined().op(op::SetMember);
    a.push("").push("o").op(op::GetVariable).op(op::Add2).op(op::Trace);
    // valueOf returning an object: the original object's toString joins the string.
    objectWithMethod(a, "p", "valueOf", "valueOf asked", pushesObject);
    ActionAssembler returnsP;
    returnsP.push("P").op(op::Return);
    a.push("p").op(op::GetVariable).push("toString").function({}, {}, returnsP).op(op::SetMember);
    a.push("").push("p").op(op::GetVariable).op(op::Add2).op(op::Trace);
    EXPECT_EQ(traces(a, 7), (QStringList{"toString asked", "Xs", "NaN", "NaN", "undefined", "valueOf asked", "P"}));
}

TEST(Avm1Conversion, StringsReadAsNumbersWithLeadingSpaceOnly)
{
    ActionAssembler a(6);
    for (const char* s : {" \t 12", "12 ", "  5  ", "", " ", "010", " 010", "-010", "+010", "037777777777",
                          "-037777777777", "0x10", "1e2"})
        a.push(s).op(op::ToNumber).op(op::Trace);
    EXPECT_EQ(traces(a, 6),
              (QStringList{"12", "NaN", "NaN", "NaN", "NaN", "8", "10", "-8", "8", "-1", "1", "16", "100"}));

    // Before SWF 6 an empty string is still 0.
    ActionAssembler b(5);
    b.push("").op(op::ToNumber).op(op::Trace);
    EXPECT_EQ(traces(b, 5), (QStringList{"0"}));
}

TEST(Avm1Conversion, GlobalFunctionsCalledWithNothing)
{
    ActionAssembler a(6);
    for (const char* f : {"Number", "isNaN", "isFinite", "Boolean"})
        a.push(0).push(f).op(op::CallFunction).op(op::Trace);
    // new Boolean() is still false.
    a.push(0).push("Boolean").op(op::NewObject).op(op::Trace);
    EXPECT_EQ(traces(a, 6), (QStringList{"0", "true", "false", "undefined", "false"}));
}

TEST(Avm1Conversion, GlobalsOfTheVersion)
{
    ActionAssembler a(6);
    a.push("AsBroadcaster").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    a.push("AsBroadcaster").op(op::GetVariable).push("prototype").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    a.push("Function").op(op::GetVariable).push("prototype").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    a.push("System").op(op::GetVariable).push("security").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    a.push("CustomActions").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    // AsBroadcaster still makes broadcasters.
    a.push("b").push(0).op(op::InitObject).op(op::DefineLocal);
    a.push("b").op(op::GetVariable).push(1).push("AsBroadcaster").op(op::GetVariable).push("initialize")
        .op(op::CallMethod).op(op::Pop);
    a.push("b").op(op::GetVariable).push("addListener").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(traces(a, 6), (QStringList{"function", "object", "object", "object", "undefined", "function"}));
}

TEST(Avm1Conversion, ScriptLimitsSetsHowDeepCallsNest)
{
    // f traces and calls itself; a depth of 5 counts the frame script, so
    // four calls run and the whole script then stops, catch and all.
    ActionAssembler body;
    body.trace("in f").push(0).push("f").op(op::CallFunction).op(op::Pop);
    ActionAssembler tryBody;
    tryBody.push(0).push("f").op(op::CallFunction).op(op::Pop);
    ActionAssembler catchBody;
    catchBody.trace("caught");
    ActionAssembler a(7);
    a.function("f", {}, body);
    a.tryBlock(tryBody, ActionAssembler::Catch{"e", {}}, catchBody, std::nullopt);
    a.trace("after");

    MovieBuilder m(100, 100, 10, 7);
    QByteArray limits;
    limits.append(char(5)).append(char(0)).append(char(10)).append(char(0));
    m.rawTag(65, limits);
    m.script(a.bytes());
    m.showFrame();
    EXPECT_EQ(script_test::playMovie(m.finish(), 1).traces, (QStringList{"in f", "in f", "in f", "in f"}));
}

TEST(Avm1Conversion, SoundTargetOtherThanAClipConvertsByToString)
{
    // new Sound(o) reads o as a clip path: o.toString runs, and its throw
    // ends the script.
    ActionAssembler thrower;
    thrower.trace("toString asked").push("boom").op(op::Throw);
    ActionAssembler a(7);
    a.push("o").push(0).op(op::InitObject).op(op::DefineLocal);
    a.push("o").op(op::GetVariable).push("toString").function({}, {}, thrower).op(op::SetMember);
    a.push("s").push("o").op(op::GetVariable).push(1).push("Sound").op(op::NewObject).op(op::DefineLocal);
    a.trace("unreachable");
    const QStringList got = traces(a, 7);
    ASSERT_GE(got.size(), 1);
    EXPECT_EQ(got.first(), "toString asked");
    EXPECT_FALSE(got.contains("unreachable"));

    // A path string still names the clip.
    ActionAssembler b(7);
    b.push("s").push("_root").push(1).push("Sound").op(op::NewObject).op(op::DefineLocal);
    b.push("s").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(traces(b, 7), (QStringList{"object"}));
}

TEST(Avm1Conversion, CallAndApplyWithNoThisUseTheGlobalObject)
{
    ActionAssembler body;
    body.push("this").op(op::GetVariable).push("_global").op(op::GetVariable).op(op::StrictEquals).op(op::Trace);
    ActionAssembler a(7);
    a.function("f", {}, body);
    a.pushUndefined().push(1).push("f").op(op::GetVariable).push("call").op(op::CallMethod).op(op::Pop);
    a.pushNull().push(1).push("f").op(op::GetVariable).push("apply").op(op::CallMethod).op(op::Pop);
    a.push(0).push("f").op(op::GetVariable).push("call").op(op::CallMethod).op(op::Pop);
    a.push(0).op(op::InitObject).push(1).push("f").op(op::GetVariable).push("call").op(op::CallMethod).op(op::Pop);
    EXPECT_EQ(traces(a, 7), (QStringList{"true", "true", "true", "false"}));
}

TEST(Avm1Conversion, TheFirstUnnamedClipIsInstance1)
{
    // The seek snapshot built at load time must not use up clip names.
    MovieBuilder m(100, 100, 10, 7);
    qev::swf::writer::SpriteBuilder clip;
    ActionAssembler clipScript(7);
    clipScript.push("this").op(op::GetVariable).op(op::Trace).op(op::Stop);
    clip.script(clipScript.bytes());
    clip.showFrame();
    const std::uint16_t id = m.defineSprite(clip);
    m.place(id, 1);
    m.place(id, 2);
    m.showFrame();
    EXPECT_EQ(script_test::playMovie(m.finish(), 1).traces,
              (QStringList{"_level0.instance1", "_level0.instance2"}));
}
