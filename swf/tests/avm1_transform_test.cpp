// clip.transform and flash.geom.Transform: copies of the clip's matrix and
// colour transform, assignments that apply at once, the concatenated
// values and the bounds on the stage.

#include "script_test_support.h"
#include "stage_script_support.h"

#include "qev/swf/Writer.h"

namespace {

using namespace stage_script;
using qev::swf::PlaceObject;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::ShapeBuilder;
using qev::swf::writer::SpriteBuilder;

// A 200 x 200 stage: "c", a 20 x 10 box at (10, 20); "p" at (100, 0)
// scaled by 2 holding "k", a box at (5, 5). Frame i runs scripts[i]; with
// moveOnSecond, frame 2 moves "c" to (70, 80) by the timeline.
QByteArray transformMovie(const std::vector<ActionAssembler>& scripts, bool moveOnSecond = false)
{
    MovieBuilder m(200, 200, 10, 8);
    const auto shape
        = m.defineShape(ShapeBuilder().fill(qev::swf::writer::solid(qev::swf::writer::rgb(0x3366CC))).rect(0, 0, 20, 10));
    SpriteBuilder box;
    box.place(shape, 1);
    box.showFrame();
    const auto boxId = m.defineSprite(box);
    SpriteBuilder holder;
    PlaceObject k;
    k.characterId = boxId;
    k.depth = 1;
    k.name = QStringLiteral("k");
    k.matrix = qev::swf::writer::translatePx(5, 5);
    holder.place(k);
    holder.showFrame();
    const auto holderId = m.defineSprite(holder);

    PlaceObject c;
    c.characterId = boxId;
    c.depth = 1;
    c.name = QStringLiteral("c");
    c.matrix = qev::swf::writer::translatePx(10, 20);
    m.place(c);
    PlaceObject p;
    p.characterId = holderId;
    p.depth = 2;
    p.name = QStringLiteral("p");
    qev::swf::Matrix scaled = qev::swf::Matrix::scale(2, 2);
    scaled.tx = 100 * 20;
    p.matrix = scaled;
    m.place(p);
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        if (i == 1 && moveOnSecond) {
            PlaceObject move;
            move.move = true;
            move.depth = 1;
            move.matrix = qev::swf::writer::translatePx(70, 80);
            m.place(move);
        }
        ActionAssembler a = scripts[i];
        if (i + 1 == scripts.size())
            a.op(op::Stop);
        m.script(a.bytes());
        m.showFrame();
    }
    return m.finish();
}

QStringList traces(const std::vector<ActionAssembler>& scripts, bool moveOnSecond = false)
{
    return script_test::playMovie(transformMovie(scripts, moveOnSecond), int(scripts.size())).traces;
}

Expr matrixOf(const QString& clip)
{
    return member(get(clip + QStringLiteral(".transform")), QStringLiteral("matrix"));
}

TEST(Avm1Transform, MatrixIsACopyInPixels)
{
    ActionAssembler a;
    trace(a, matrixOf("c"));
    setVar(a, "m", matrixOf("c"));
    set(a, get("m"), "tx", num(55));
    trace(a, get("c._x"));
    // Another read is another object.
    setVar(a, "t", get("c.transform"));
    a.push("m").op(op::GetVariable);
    member(get("t"), "matrix")(a);
    a.op(op::StrictEquals).op(op::Trace);
    EXPECT_EQ(traces({a}), QStringList({"(a=1, b=0, c=0, d=1, tx=10, ty=20)", "10", "false"}));
}

TEST(Avm1Transform, SettingTheMatrixScalesAndRotatesTheClip)
{
    ActionAssembler a;
    setVar(a, "t", get("c.transform"));
    // Scale 2, then a quarter turn, then (30, 40).
    set(a, get("t"), "matrix", make("flash.geom.Matrix", {num(0), num(2), num(-2), num(0), num(30), num(40)}));
    for (const char* p : {"c._x", "c._y", "c._xscale", "c._yscale", "c._rotation"})
        trace(a, get(p));
    // The same Transform reads the clip as it is now.
    set(a, get("c"), "_xscale", num(50));
    trace(a, member(member(get("t"), "matrix"), "b"));
    trace(a, member(member(get("t"), "matrix"), "c"));
    EXPECT_EQ(traces({a}), QStringList({"30", "40", "200", "200", "90", "0.5", "-2"}));
}

TEST(Avm1Transform, ASetMatrixStopsTheTimelineMovingTheClip)
{
    ActionAssembler first;
    set(first, get("c.transform"), "matrix", make("flash.geom.Matrix", {num(1), num(0), num(0), num(1), num(3), num(4)}));
    ActionAssembler second;
    trace(second, get("c._x"));
    trace(second, get("c._y"));
    EXPECT_EQ(traces({first, second}, true), QStringList({"3", "4"}));
    // Without the script, the timeline moves it.
    EXPECT_EQ(traces({ActionAssembler(), second}, true), QStringList({"70", "80"}));
}

TEST(Avm1Transform, ColorTransformWithOffsetsReadsBackThroughColor)
{
    ActionAssembler a;
    trace(a, member(get("c.transform"), "colorTransform"));
    set(a, get("c.transform"), "colorTransform",
        make("flash.geom.ColorTransform", {num(0.5), num(1), num(0.25), num(1), num(10), num(-20), num(30), num(0)}));
    setVar(a, "o", call(make("Color", {get("c")}), "getTransform"));
    for (const char* f : {"o.ra", "o.ba", "o.rb", "o.gb", "o.bb", "o.aa"})
        trace(a, get(f));
    trace(a, member(member(get("c.transform"), "colorTransform"), "greenOffset"));
    // A returned copy changed without assigning it back changes nothing.
    setVar(a, "ct", member(get("c.transform"), "colorTransform"));
    set(a, get("ct"), "redOffset", num(99));
    trace(a, member(call(make("Color", {get("c")}), "getTransform"), "rb"));
    EXPECT_EQ(traces({a}), QStringList({"(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
                                        "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)",
                                        "50", "25", "10", "-20", "30", "100", "-20", "10"}));
}

TEST(Avm1Transform, AssigningATransformCopiesMatrixAndColour)
{
    ActionAssembler a;
    set(a, get("c"), "_rotation", num(90));
    set(a, get("c"), "_alpha", num(50));
    set(a, get("p"), "transform", get("c.transform"));
    for (const char* f : {"p._x", "p._y", "p._xscale", "p._rotation", "p._alpha"})
        trace(a, get(f));
    // A plain object with a matrix works as well; a missing colour keeps it.
    setVar(a, "o", make("Object"));
    set(a, get("o"), "matrix", make("flash.geom.Matrix", {num(1), num(0), num(0), num(1), num(7), num(8)}));
    set(a, get("p"), "transform", get("o"));
    trace(a, get("p._x"));
    trace(a, get("p._alpha"));
    EXPECT_EQ(traces({a}), QStringList({"10", "20", "100", "90", "50", "7", "50"}));
}

TEST(Avm1Transform, ConcatenatedValuesAndPixelBounds)
{
    ActionAssembler a;
    setVar(a, "t", make("flash.geom.Transform", {get("p.k")}));
    // k at (5, 5) inside p, which is at (100, 0) scaled by 2.
    trace(a, member(get("t"), "concatenatedMatrix"));
    trace(a, member(get("t"), "matrix"));
    set(a, get("p"), "_alpha", num(50));
    set(a, get("p.k.transform"), "colorTransform",
        make("flash.geom.ColorTransform", {num(0.5), num(1), num(1), num(1), num(10), num(0), num(0), num(0)}));
    setVar(a, "cc", member(get("t"), "concatenatedColorTransform"));
    for (const char* f : {"cc.redMultiplier", "cc.redOffset", "cc.alphaMultiplier"})
        trace(a, get(f));
    // The 20 x 10 box, twice as large, at (110, 10).
    trace(a, member(get("t"), "pixelBounds"));
    EXPECT_EQ(traces({a}), QStringList({"(a=2, b=0, c=0, d=2, tx=110, ty=10)", "(a=1, b=0, c=0, d=1, tx=5, ty=5)",
                                        "0.5", "10", "0.5", "(x=110, y=10, w=40, h=20)"}));
}

TEST(Avm1Transform, ATransformOfARemovedClipReadsUndefined)
{
    ActionAssembler a;
    setVar(a, "t", get("c.transform"));
    run(a, call(get("c"), "swapDepths", {num(5)}));
    run(a, call(get("c"), "removeMovieClip"));
    trace(a, member(get("t"), "matrix"));
    trace(a, member(get("t"), "colorTransform"));
    // Nor does assigning to it reach anything.
    set(a, get("t"), "matrix", make("flash.geom.Matrix"));
    trace(a, member(make("flash.geom.Transform", {num(3)}), "matrix"));
    EXPECT_EQ(traces({a}), QStringList({"undefined", "undefined", "undefined"}));
}

TEST(Avm1Transform, OnlyFromSwf8)
{
    ActionAssembler a;
    a.push("_root").op(op::GetVariable).push("transform").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(script_test::play({a}, 7, 1).traces, QStringList({"undefined"}));
    EXPECT_EQ(script_test::play({a}, 8, 1).traces, QStringList({"object"}));
}

} // namespace
