// Points under what clips draw: hitTest with shapeFlag follows a shape's
// outline rather than its bounds, and _droptarget names the clip a dragged
// clip is over, the dragged clip itself left out.

#include "script_test_support.h"

using qev::swf::PlaceObject;
using qev::swf::Player;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::ShapeBuilder;
using qev::swf::writer::SpriteBuilder;
namespace op = qev::swf::writer::op;
namespace writer = qev::swf::writer;

namespace {

// A 100 x 100 stage: "disc", a circle of radius 20 around (20, 20);
// "zone" holding "inner", a square from (60, 60) to (90, 90); "drag", a
// 10 x 10 square on top. The first frame runs script.
QByteArray hitMovie(const ActionAssembler& script)
{
    MovieBuilder m(100, 100, 10, 8);
    auto spriteOf = [&](const ShapeBuilder& shape) {
        SpriteBuilder s;
        s.place(m.defineShape(shape), 1);
        s.showFrame();
        return m.defineSprite(s);
    };
    auto place = [&](std::uint16_t id, int depth, const char* name, double x, double y, SpriteBuilder* into = nullptr) {
        PlaceObject p;
        p.characterId = id;
        p.depth = std::uint16_t(depth);
        p.name = QString::fromLatin1(name);
        p.matrix = writer::translatePx(x, y);
        into ? into->place(p) : m.place(p);
    };
    const auto disc = spriteOf(ShapeBuilder().fill(writer::solid(writer::rgb(0x00AA00))).ellipse(20, 20, 20, 20));
    const auto square = spriteOf(ShapeBuilder().fill(writer::solid(writer::rgb(0x0000AA))).rect(0, 0, 30, 30));
    SpriteBuilder zone;
    place(square, 1, "inner", 60, 60, &zone);
    zone.showFrame();
    const auto zoneId = m.defineSprite(zone);
    const auto drag = spriteOf(ShapeBuilder().fill(writer::solid(writer::rgb(0xAA0000))).rect(0, 0, 10, 10));
    place(disc, 1, "disc", 0, 0);
    place(zoneId, 2, "zone", 0, 0);
    place(drag, 3, "drag", 0, 0);
    m.script(script.bytes());
    m.showFrame();
    return m.finish();
}

// trace(clip.hitTest(x, y, shapeFlag))
void traceHitTest(ActionAssembler& a, const char* clip, double x, double y, bool shapeFlag)
{
    a.pushBool(shapeFlag).push(y).push(x).push(3).push(clip).op(op::GetVariable).push("hitTest");
    a.op(op::CallMethod).op(op::Trace);
}

TEST(Avm1ShapeHit, HitTestWithShapeFlagFollowsTheOutline)
{
    ActionAssembler a;
    traceHitTest(a, "disc", 20, 20, true);  // the centre
    traceHitTest(a, "disc", 3, 3, true);    // a corner of its bounds, outside the circle
    traceHitTest(a, "disc", 3, 3, false);   // within the bounds
    traceHitTest(a, "zone", 75, 75, true);  // through the clip it holds
    traceHitTest(a, "zone", 50, 50, true);
    traceHitTest(a, "_root", 20, 20, true); // anything on the stage
    traceHitTest(a, "_root", 97, 3, true);
    a.op(op::Stop);
    const auto run = script_test::playMovie(hitMovie(a), 1);
    EXPECT_EQ(run.traces, (QStringList{"true", "false", "true", "true", "false", "true", "false"}));
}

TEST(Avm1ShapeHit, DropTargetNamesTheDeepestClipUnderTheDraggedOne)
{
    ActionAssembler a;
    // drag.startDrag(true); drag.onMouseUp = function () { trace(this._droptarget); }
    a.pushBool(true).push(1).push("drag").op(op::GetVariable).push("startDrag").op(op::CallMethod).op(op::Pop);
    ActionAssembler up;
    up.push("this").op(op::GetVariable).push("_droptarget").op(op::GetMember).op(op::Trace);
    a.push("drag").op(op::GetVariable).push("onMouseUp").function("", {}, up).op(op::SetMember);
    a.op(op::Stop);
    Player player;
    QStringList traces;
    player.setTraceHandler([&](const QString& line) { traces << line; });
    ASSERT_TRUE(player.loadBytes(hitMovie(a)).isEmpty());
    player.renderImage(QSize(100, 100));
    for (const QPointF at : {QPointF(75, 75), QPointF(20, 20), QPointF(3, 3), QPointF(50, 5)}) {
        player.mouseMove(at);
        player.mouseRelease(at);
    }
    EXPECT_EQ(traces, (QStringList{"/zone/inner", "/disc", "", ""}));
}

} // namespace
