// TextSnapshot: the static text of a clip as characters a script reads,
// searches, selects and finds under a point; its methods hidden from
// movies before SWF 6.

#include "script_test_support.h"

#include <variant>

namespace qev::swf {
namespace {

using script_test::playMovie;
using writer::ActionAssembler;
using writer::MovieBuilder;
namespace op = writer::op;

constexpr Twips px(double v) { return Twips(v * 20); }

// A clip "c" holding two static text lines: "Hello" at (10, 30) and
// "World" at (10, 60), each glyph 10 px wide in a font whose code table
// holds H, e, l, o, W, r, d. The script runs in the main timeline.
QByteArray snapshotMovie(const ActionAssembler& script, int version = 8)
{
    MovieBuilder m(200, 100, 10, version);
    Font font;
    font.version = 2;
    font.name = QStringLiteral("Snap Sans");
    const QString codes = QStringLiteral("HeloWrd");
    for (QChar c : codes) {
        Glyph g;
        g.code = c.unicode();
        g.outline.version = 0;
        g.outline.layers.resize(1);
        font.glyphs.push_back(g);
    }
    const auto fontId = m.defineFont(font);
    auto record = [&](const QString& word, double y) {
        TextRecord r;
        r.fontId = fontId;
        r.color = writer::rgb(0x112233);
        r.x = px(10);
        r.y = px(y);
        r.height = std::uint16_t(px(12));
        for (QChar c : word)
            r.glyphs.push_back(GlyphEntry{std::uint32_t(codes.indexOf(c)), px(10)});
        return r;
    };
    Text text;
    text.bounds = Rect{0, px(200), 0, px(100)};
    text.records = {record(QStringLiteral("Hello"), 30), record(QStringLiteral("World"), 60)};
    const auto textId = m.defineText(text);
    writer::SpriteBuilder clip;
    clip.place(textId, 1);
    clip.showFrame();
    PlaceObject p;
    p.characterId = m.defineSprite(clip);
    p.depth = 1;
    p.name = QStringLiteral("c");
    m.place(p);
    m.script(script.bytes());
    m.showFrame();
    return m.finish();
}

// s = c.getTextSnapshot(), kept in the variable "s".
ActionAssembler takeSnapshot(int version = 8)
{
    ActionAssembler a(version);
    a.push("s").push(0).push("c").op(op::GetVariable).push("getTextSnapshot").op(op::CallMethod).op(op::SetVariable);
    return a;
}

// trace(s.method(args...)), the arguments given first to last.
void traceCall(ActionAssembler& a, const char* method, const std::vector<std::variant<double, QString, bool>>& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        if (const auto* n = std::get_if<double>(&*it))
            a.push(*n);
        else if (const auto* s = std::get_if<QString>(&*it))
            a.push(*s);
        else
            a.pushBool(std::get<bool>(*it));
    }
    a.push(int(args.size())).push("s").op(op::GetVariable).push(method).op(op::CallMethod).op(op::Trace);
}

TEST(Avm1TextSnapshot, ReadsSearchesAndSelectsTheClipsStaticText)
{
    ActionAssembler a = takeSnapshot();
    traceCall(a, "getCount", {});
    traceCall(a, "getText", {0.0, 10.0});
    traceCall(a, "getText", {0.0, 10.0, true});   // with the line ending
    traceCall(a, "getText", {3.0, 99.0});         // clamped to the text
    traceCall(a, "findText", {0.0, QStringLiteral("WORLD"), false});
    traceCall(a, "findText", {0.0, QStringLiteral("WORLD"), true});
    traceCall(a, "findText", {6.0, QStringLiteral("o"), true}); // from index 6 on
    traceCall(a, "getSelected", {0.0, 10.0});
    traceCall(a, "setSelected", {1.0, 3.0, true});
    traceCall(a, "setSelected", {7.0, 8.0, true});
    traceCall(a, "getSelected", {0.0, 1.0});
    traceCall(a, "getSelected", {0.0, 2.0});
    traceCall(a, "getSelectedText", {});
    traceCall(a, "getSelectedText", {true});
    traceCall(a, "setSelected", {2.0, 3.0, false});
    traceCall(a, "getSelectedText", {});
    const auto run = playMovie(snapshotMovie(a), 1);
    EXPECT_EQ(run.traces, (QStringList{"10", "HelloWorld", "Hello\nWorld", "loWorld", "5", "-1", "6", "false",
                                       "undefined", "undefined", "false", "true", "elr", "el\nr", "undefined", "er"}));
}

TEST(Avm1TextSnapshot, FindsTheCharacterUnderAPointAndDescribesRuns)
{
    ActionAssembler a = takeSnapshot();
    traceCall(a, "hitTestTextNearPos", {25.0, 25.0});       // inside "e" of Hello
    traceCall(a, "hitTestTextNearPos", {55.0, 58.0});       // inside "d" of World
    traceCall(a, "hitTestTextNearPos", {150.0, 90.0});      // far from everything
    traceCall(a, "hitTestTextNearPos", {63.0, 33.0, 5.0});  // 3 px right of "o", within 5
    // The second character's run: its colour, height and box.
    a.push("r").push(1).push(1).push(2).push("s").op(op::GetVariable).push("getTextRunInfo").op(op::CallMethod);
    a.push(0).op(op::GetMember).op(op::SetVariable);
    for (const char* field : {"indexInRun", "font", "color", "height", "corner0x", "corner1x", "corner2y"})
        a.push("r").op(op::GetVariable).push(field).op(op::GetMember).op(op::Trace);
    const auto run = playMovie(snapshotMovie(a), 1);
    EXPECT_EQ(run.traces, (QStringList{"1", "9", "-1", "4", "1", "Snap Sans", QString::number(0x112233), "12", "20",
                                       "30", "30"}));
}

TEST(Avm1TextSnapshot, MoviesBeforeSwf6ListTheMethodsButCannotCallThem)
{
    ActionAssembler a(5);
    a.push("s").push(0).push("TextSnapshot").op(op::NewObject).op(op::SetVariable);
    a.push("s").op(op::GetVariable).push("getCount").op(op::GetMember).op(op::Trace);
    a.push("TextSnapshot").op(op::GetVariable).push("prototype").op(op::GetMember).op(op::Enumerate2);
    a.label("next").op(op::PushDuplicate).pushNull().op(op::Equals2).ifTrue("done").op(op::Trace).jump("next");
    a.label("done").op(op::Pop);
    const auto run = playMovie(snapshotMovie(a, 5), 1);
    ASSERT_EQ(run.traces.size(), 10);
    EXPECT_EQ(run.traces[0], "undefined");
    EXPECT_EQ(run.traces[1], "getTextRunInfo"); // newest first
    EXPECT_EQ(run.traces[9], "getCount");
}

} // namespace
} // namespace qev::swf
