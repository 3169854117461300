// _lockroot: _root in scripts of a clip that sets it, and of the clips
// inside it, names that clip; elsewhere it is the level's root.

#include "script_test_support.h"
#include "stage_script_support.h"

#include "qev/swf/Writer.h"

namespace {

using namespace stage_script;
using qev::swf::PlaceObject;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;

// "a" holding "b", both empty sprites, and one frame running script.
QStringList playScript(const ActionAssembler& script, int version = 8)
{
    MovieBuilder m(100, 100, 10, version);
    SpriteBuilder inner;
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);
    SpriteBuilder outer;
    PlaceObject b;
    b.characterId = innerId;
    b.depth = 1;
    b.name = QStringLiteral("b");
    outer.place(b);
    outer.showFrame();
    PlaceObject a;
    a.characterId = m.defineSprite(outer);
    a.depth = 1;
    a.name = QStringLiteral("a");
    m.place(a);
    ActionAssembler s = script;
    s.op(op::Stop);
    m.script(s.bytes());
    m.showFrame();
    return script_test::playMovie(m.finish(), 1).traces;
}

void traceVariable(ActionAssembler& a, const char* name)
{
    a.push(name).op(op::GetVariable).op(op::Trace);
}

TEST(Avm1LockRoot, RootInsideALockedClipIsThatClip)
{
    ActionAssembler a;
    setVar(a, "where", str("root"));
    set(a, get("a"), "where", str("a"));
    trace(a, get("a._lockroot"));
    set(a, get("a"), "_lockroot", boolean(true));
    trace(a, get("a._lockroot"));
    trace(a, get("a.b._lockroot"));
    // A member of a clip inside it.
    trace(a, get("a.b._root.where"));
    // Scripts that run on b: the identifier, a dot path in one name, a
    // slash path, and _level0, which stays the level.
    a.setTarget("a/b");
    trace(a, get("_root.where"));
    traceVariable(a, "_root.where");
    traceVariable(a, "/:where");
    trace(a, get("_level0.where"));
    a.setTarget("");
    // The main timeline's own scripts are outside the locked clip.
    trace(a, get("_root.where"));
    set(a, get("a"), "_lockroot", boolean(false));
    trace(a, get("a.b._root.where"));
    EXPECT_EQ(playScript(a), QStringList({"false", "true", "false", "a", "a", "a", "a", "root", "root", "root"}));
}

TEST(Avm1LockRoot, TheNearestLockedClipWins)
{
    ActionAssembler a;
    set(a, get("a"), "where", str("a"));
    set(a, get("a.b"), "where", str("b"));
    set(a, get("a"), "_lockroot", num(1));
    set(a, get("a.b"), "_lockroot", boolean(true));
    trace(a, get("a.b._root.where"));
    trace(a, get("a._root.where"));
    // A function made on b keeps b's root when called from the main timeline.
    ActionAssembler body;
    trace(body, get("_root.where"));
    a.setTarget("a/b");
    setVar(a, "_level0.f", function(body));
    a.setTarget("");
    run(a, callFunction("f"));
    EXPECT_EQ(playScript(a), QStringList({"b", "a", "b"}));
}

} // namespace
