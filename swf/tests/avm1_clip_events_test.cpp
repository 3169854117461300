// Clips on the timeline as scripts see them: the order in which clips move
// on, what a rewind keeps, onClipEvent handlers, registered classes and
// init actions.

#include "script_test_support.h"

using qev::swf::ClipEventHandler;
using qev::swf::PlaceObject;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::playMovie;
namespace ClipEvent = qev::swf::ClipEvent;
namespace op = qev::swf::writer::op;

namespace {

// trace(this + suffix)
ActionAssembler traceThis(const char* suffix)
{
    ActionAssembler a;
    a.push("this").op(op::GetVariable).push(suffix).op(op::Add2).op(op::Trace);
    return a;
}

PlaceObject placement(std::uint16_t id, std::uint16_t depth, const char* name,
                      std::vector<ClipEventHandler> handlers = {})
{
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    p.matrix = qev::swf::Matrix{};
    if (name)
        p.name = QString::fromUtf8(name);
    p.clipActions = std::move(handlers);
    return p;
}

ClipEventHandler handler(std::uint32_t events, const ActionAssembler& body)
{
    return ClipEventHandler{events, 0, body.bytes()};
}

// A sprite of `frames` frames that traces "<this>: frame N" on each and
// stops on its last.
std::uint16_t tracingSprite(MovieBuilder& m, int frames, const std::vector<PlaceObject>& onSecondFrame = {})
{
    SpriteBuilder s;
    for (int f = 1; f <= frames; ++f) {
        ActionAssembler a = traceThis(qPrintable(QStringLiteral(": frame %1").arg(f)));
        if (f == frames)
            a.op(op::Stop);
        s.script(a.bytes());
        if (f == 2)
            for (const PlaceObject& p : onSecondFrame)
                s.place(p);
        s.showFrame();
    }
    return m.defineSprite(s);
}

std::uint16_t spriteTracing(MovieBuilder& m, const char* text)
{
    SpriteBuilder s;
    s.script(ActionAssembler().trace(text).bytes());
    s.showFrame();
    return m.defineSprite(s);
}

} // namespace

TEST(Avm1Timeline, ClipsMoveOnNewestFirstTheMainTimelineLastAndNewClipsRunTheirFirstFrameAtOnce)
{
    MovieBuilder m(100, 100, 10, 8);
    const std::uint16_t child = tracingSprite(m, 3);
    const std::uint16_t first = tracingSprite(m, 3, {placement(child, 1, "child")});
    const std::uint16_t second = tracingSprite(m, 3);
    m.script(traceThis(": frame 1").bytes());
    m.place(placement(first, 1, "clip1"));
    m.place(placement(second, 2, "clip2"));
    m.showFrame();
    m.script(traceThis(": frame 2").bytes());
    m.showFrame();
    m.script(traceThis(": frame 3").op(op::Stop).bytes());
    m.showFrame();

    const auto run = playMovie(m.finish(), 4);
    EXPECT_EQ(run.traces, (QStringList{"_level0: frame 1", "_level0.clip1: frame 1", "_level0.clip2: frame 1",
                                       "_level0.clip2: frame 2", "_level0.clip1: frame 2",
                                       "_level0.clip1.child: frame 1", "_level0: frame 2",
                                       "_level0.clip1.child: frame 2", "_level0.clip2: frame 3",
                                       "_level0.clip1: frame 3", "_level0: frame 3", "_level0.clip1.child: frame 3"}));
}

TEST(Avm1Timeline, ARewindKeepsTheClipsTheSameFramesPlaceAgainAndRemakesTheOthers)
{
    MovieBuilder m(100, 100, 10, 8);
    const std::uint16_t s = spriteTracing(m, "S starts");
    const std::uint16_t t = spriteTracing(m, "T starts");
    ActionAssembler first;
    first.push("s1").op(op::GetVariable).push("mark").op(op::GetMember).op(op::Trace);
    m.script(first.bytes());
    m.place(placement(s, 1, "s1"));
    m.place(placement(s, 2, "s2"));
    m.showFrame();
    m.script(ActionAssembler().trace("root 2").bytes());
    m.remove(2);
    m.place(placement(t, 2, "t"));
    m.showFrame();
    // if (done) stop(); else { done = true; s1.mark = "kept"; gotoAndPlay(1); }
    ActionAssembler third;
    third.push("done").op(op::GetVariable).op(op::Not).ifTrue("again");
    third.op(op::Stop).jump("end");
    third.label("again");
    third.push("done").pushBool(true).op(op::SetVariable);
    third.push("s1").op(op::GetVariable).push("mark").push("kept").op(op::SetMember);
    third.gotoFrame(0).op(op::Play);
    third.label("end");
    m.script(third.bytes());
    m.showFrame();

    const auto run = playMovie(m.finish(), 5, true);
    // s1 stays the same clip (it keeps its mark and does not start again);
    // depth 2 held T, so frame 1's S there is a new clip.
    EXPECT_EQ(run.traces, (QStringList{"undefined", "S starts", "S starts", "root 2", "T starts", "kept", "S starts",
                                       "root 2", "T starts"}));
}

TEST(Avm1Events, ClipEventHandlersRunOnLoadEveryFrameAndOnUnload)
{
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder looping;
    looping.showFrame();
    looping.showFrame();
    const std::uint16_t id = m.defineSprite(looping);
    ActionAssembler unload;
    unload.trace("unload");
    ActionAssembler load;
    load.push("load ").push("this").op(op::GetVariable).push("_name").op(op::GetMember).op(op::Add2).op(op::Trace);
    m.script(ActionAssembler().trace("root 1").bytes());
    m.place(placement(id, 1, "e",
                      {handler(ClipEvent::Load, load), handler(ClipEvent::EnterFrame, ActionAssembler().trace("enter")),
                       handler(ClipEvent::Unload | ClipEvent::MouseDown, unload)}));
    m.showFrame();
    m.script(ActionAssembler().trace("root 2").bytes());
    m.showFrame();
    m.script(ActionAssembler().trace("root 3").bytes());
    m.remove(1);
    m.showFrame();
    m.script(ActionAssembler().trace("root 4").op(op::Stop).bytes());
    m.showFrame();

    const auto run = playMovie(m.finish(), 5);
    EXPECT_EQ(run.traces, (QStringList{"root 1", "load e", "enter", "root 2", "root 3", "unload", "root 4"}));
}

TEST(Avm1Events, BrokenClipEventHandlersLeaveTheClipPlacedWithAWarning)
{
    MovieBuilder m(100, 100, 10, 8);
    const std::uint16_t id = spriteTracing(m, "placed");
    // PlaceObject2 with a character, a name and clip actions whose only
    // record claims more bytes than the tag holds.
    QByteArray tag;
    tag.append(char(0x80 | 0x20 | 0x02));
    tag.append(char(1)).append(char(0));
    tag.append(char(id & 0xFF)).append(char(id >> 8));
    tag.append("c", 2);
    tag.append(QByteArray::fromHex("0000" "01000000" "01000000" "ff000000" "96"));
    m.rawTag(26, tag);
    m.showFrame();

    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, QStringList{"placed"});
    EXPECT_FALSE(run.warnings.filter(QStringLiteral("clip event")).isEmpty()) << run.warnings.join('\n').toStdString();
}

TEST(Avm1Classes, ARegisteredClassConstructsItsClipsAfterTheirChildrenAndBeforeOnLoad)
{
    MovieBuilder m(100, 100, 10, 8);
    SpriteBuilder thing;
    thing.showFrame();
    const std::uint16_t id = m.defineSprite(thing);
    m.exportAsset(id, QStringLiteral("Thing"));
    // _global.Thing = function () { trace("made " + this); };
    // Thing.prototype = new MovieClip();
    // Thing.prototype.onLoad = function () { trace("loaded " + this._name); };
    // Object.registerClass("Thing", Thing);
    ActionAssembler init;
    init.push("_global").op(op::GetVariable).push("Thing");
    init.function("", {}, ActionAssembler().push("made ").push("this").op(op::GetVariable).op(op::Add2).op(op::Trace));
    init.op(op::SetMember);
    init.push("Thing").op(op::GetVariable).push("prototype");
    init.push(0).push("MovieClip").op(op::NewObject).op(op::SetMember);
    init.push("Thing").op(op::GetVariable).push("prototype").op(op::GetMember).push("onLoad");
    ActionAssembler onLoad;
    onLoad.push("loaded ").push("this").op(op::GetVariable).push("_name").op(op::GetMember).op(op::Add2).op(op::Trace);
    init.function("", {}, onLoad).op(op::SetMember);
    init.push("Thing").op(op::GetVariable).push("Thing").push(2).push("Object").op(op::GetVariable);
    init.push("registerClass").op(op::CallMethod).op(op::Pop);
    ActionAssembler frame;
    frame.push(1).push("t").push("Thing").push(3).push("this").op(op::GetVariable).push("attachMovie");
    frame.op(op::CallMethod).op(op::Pop).trace("attached");
    // The frame's script comes before the init actions in the file; the
    // init actions still run first.
    m.script(frame.bytes());
    m.initScript(id, init.bytes());
    m.showFrame();

    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, (QStringList{"made _level0.t", "attached", "loaded t"}));
}

TEST(Avm1Timeline, LabelsIgnoreTheCaseOfAsciiLettersOnlyAndDepthsWrapAt32Bits)
{
    MovieBuilder m(100, 100, 10, 8);
    ActionAssembler first;
    first.gotoLabel(QString::fromUtf8("ENDÀ")).traceVariable("_currentframe");
    first.gotoLabel(QStringLiteral("enD")).traceVariable("_currentframe");
    // createEmptyMovieClip at depth 2^32 replaces the clip at depth 0.
    first.push(0).push("a").push(2).push("this").op(op::GetVariable).push("createEmptyMovieClip");
    first.op(op::CallMethod).op(op::Pop);
    first.push(4294967296.0).push("b").push(2).push("this").op(op::GetVariable).push("createEmptyMovieClip");
    first.op(op::CallMethod).op(op::Pop);
    first.traceVariable("a").traceVariable("b");
    first.op(op::Stop);
    m.script(first.bytes());
    m.showFrame();
    m.label(QString::fromUtf8("Endà"));
    m.showFrame();
    m.label(QStringLiteral("End"));
    m.showFrame();

    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, (QStringList{"1", "3", "undefined", "_level0.b"}));
}
