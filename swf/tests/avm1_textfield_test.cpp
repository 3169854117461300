// Text fields as scripts see them: DefineEditText instances and fields made
// by createTextField as TextField objects, the variable binding both ways,
// TextFormat and the HTML text the player writes, and what is drawn.

#include "engine_test_support.h"
#include "script_test_support.h"

using qev::swf::EditText;
using qev::swf::PlaceObject;
using qev::swf::Rgba;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::MovieBuilder;
using qev::swf::writer::SpriteBuilder;
using script_test::playMovie;
namespace op = qev::swf::writer::op;

namespace {

// A dynamic device-text field of 200 x 40 pixels.
EditText field(const QString& text = QString(), const QString& variable = QString())
{
    EditText e;
    e.bounds = qev::swf::Rect{0, 200 * 20, 0, 40 * 20};
    e.readOnly = true;
    e.fontHeight = 240;
    e.fontClass = QStringLiteral("_sans");
    e.textColor = Rgba{0, 0, 0, 255};
    if (!text.isEmpty())
        e.initialText = text;
    e.variableName = variable;
    return e;
}

PlaceObject named(std::uint16_t id, std::uint16_t depth, const char* name)
{
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    p.matrix = qev::swf::Matrix{};
    p.matrix->tx = 30 * 20;
    p.matrix->ty = 40 * 20;
    p.name = QString::fromUtf8(name);
    return p;
}

// trace(object.member)
void traceMember(ActionAssembler& a, const char* object, const char* member)
{
    a.push(object).op(op::GetVariable).push(member).op(op::GetMember).op(op::Trace);
}

template <class T> void setMember(ActionAssembler& a, const char* object, const char* member, T value)
{
    a.push(object).op(op::GetVariable).push(member);
    if constexpr (std::is_same_v<T, bool>)
        a.pushBool(value);
    else
        a.push(value);
    a.op(op::SetMember);
}

// object.method() with no arguments, its result left on the stack.
void callMethod(ActionAssembler& a, const char* object, const char* method)
{
    a.push(0).push(object).op(op::GetVariable).push(method).op(op::CallMethod);
}

// A one-frame movie (SWF version) that places `edit` as "field" and then runs `script`.
QByteArray movieWithField(const EditText& edit, const ActionAssembler& script, int version = 8)
{
    MovieBuilder m(300, 200, 10, version);
    const auto id = m.defineEditText(edit);
    m.place(named(id, 1, "field"));
    m.script(script.bytes());
    m.showFrame();
    return m.finish();
}

} // namespace

TEST(TextFieldTest, PlacedFieldIsFoundByNameWithItsTextAndPlace)
{
    ActionAssembler a;
    traceMember(a, "field", "text");
    a.push("field").op(op::GetVariable).op(op::Trace);
    a.push("field").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    a.push("field").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    traceMember(a, "field", "_x");
    traceMember(a, "field", "_width");
    traceMember(a, "field", "_name");
    traceMember(a, "field", "length");
    traceMember(a, "field", "type");
    setMember(a, "field", "text", "changed");
    traceMember(a, "field", "text");
    setMember(a, "field", "_x", 55);
    traceMember(a, "field", "_x");
    const auto run = playMovie(movieWithField(field(QStringLiteral("Hello")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"Hello", "_level0.field", "_level0.field", "object", "30", "200", "field",
                                       "5", "dynamic", "changed", "55"}));
}

TEST(TextFieldTest, SettingsReadBackAsThePlayerConvertsThem)
{
    ActionAssembler a;
    setMember(a, "field", "borderColor", -1);
    traceMember(a, "field", "borderColor");
    setMember(a, "field", "backgroundColor", 0x123456);
    traceMember(a, "field", "backgroundColor");
    setMember(a, "field", "type", "input");
    traceMember(a, "field", "type");
    setMember(a, "field", "type", "nonsense");
    traceMember(a, "field", "type");
    setMember(a, "field", "maxChars", 8);
    traceMember(a, "field", "maxChars");
    traceMember(a, "field", "restrict");
    setMember(a, "field", "autoSize", true);
    traceMember(a, "field", "autoSize");
    setMember(a, "field", "multiline", true);
    traceMember(a, "field", "multiline");
    traceMember(a, "field", "variable");
    traceMember(a, "field", "scroll");
    traceMember(a, "field", "maxscroll");
    const auto run = playMovie(movieWithField(field(QStringLiteral("x")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"16777215", "1193046", "input", "input", "8", "null", "left", "true", "null",
                                       "1", "1"}));
}

TEST(TextFieldTest, TextWidthAndHeightGrowWithTheText)
{
    ActionAssembler a;
    a.push("field").op(op::GetVariable).push("textWidth").op(op::GetMember);
    a.push("w1").op(op::StackSwap).op(op::SetVariable);
    setMember(a, "field", "text", "a much longer line of text");
    a.push("field").op(op::GetVariable).push("textWidth").op(op::GetMember);
    a.push("w1").op(op::GetVariable).op(op::Greater).op(op::Trace);
    a.push("field").op(op::GetVariable).push("textHeight").op(op::GetMember).push(0).op(op::Greater).op(op::Trace);
    const auto run = playMovie(movieWithField(field(QStringLiteral("ab")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"true", "true"}));
}

TEST(TextFieldTest, ScrollStaysWithinTheLinesThereAre)
{
    // Eight lines in a field two or three lines high.
    ActionAssembler a;
    setMember(a, "field", "multiline", true);
    setMember(a, "field", "text", "1\r2\r3\r4\r5\r6\r7\r8");
    a.push("field").op(op::GetVariable).push("maxscroll").op(op::GetMember);
    a.push("max").op(op::StackSwap).op(op::SetVariable);
    a.push("max").op(op::GetVariable).push(5).op(op::Greater).op(op::Trace);
    setMember(a, "field", "scroll", 3);
    traceMember(a, "field", "scroll");
    a.push("field").op(op::GetVariable).push("bottomScroll").op(op::GetMember).push(3).op(op::Greater).op(op::Trace);
    setMember(a, "field", "scroll", 100);
    a.push("field").op(op::GetVariable).push("scroll").op(op::GetMember);
    a.push("max").op(op::GetVariable).op(op::Equals2).op(op::Trace);
    traceMember(a, "field", "length");
    const auto run = playMovie(movieWithField(field(), a), 1);
    EXPECT_EQ(run.traces, QStringList({"true", "3", "true", "true", "15"}));
}

TEST(TextFieldTest, VariableBindingWorksBothWays)
{
    // Frame 1: the field's first text became the variable; a script
    // changes the variable. Frame 2: the field shows it; setting the
    // field's text sets the variable.
    MovieBuilder m(300, 200, 10, 6);
    const auto id = m.defineEditText(field(QStringLiteral("Hello"), QStringLiteral("theVar")));
    m.place(named(id, 1, "field"));
    ActionAssembler first;
    first.push("theVar").op(op::GetVariable).op(op::Trace);
    first.push("theVar").push("Changed").op(op::SetVariable);
    m.script(first.bytes());
    m.showFrame();
    ActionAssembler second;
    traceMember(second, "field", "text");
    setMember(second, "field", "text", "Typed");
    second.push("theVar").op(op::GetVariable).op(op::Trace);
    traceMember(second, "field", "variable");
    second.op(op::Stop);
    m.script(second.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 2);
    EXPECT_EQ(run.traces, QStringList({"Hello", "Changed", "Typed", "theVar"}));
}

TEST(TextFieldTest, VariableOfAnotherTimelineAndAnEmptyFieldSetsNone)
{
    // The field in a sprite shows _root.shown; an empty field bound to
    // "unset" leaves that variable undefined.
    MovieBuilder m(300, 200, 10, 6);
    const auto bound = m.defineEditText(field(QString(), QStringLiteral("_root.shown")));
    const auto empty = m.defineEditText(field(QString(), QStringLiteral("unset")));
    SpriteBuilder s;
    s.place(named(bound, 1, "inner"));
    s.showFrame();
    const auto sprite = m.defineSprite(s);
    ActionAssembler set;
    set.push("shown").push("from root").op(op::SetVariable);
    m.script(set.bytes());
    m.place(named(sprite, 1, "clip"));
    m.place(named(empty, 2, "blank"));
    m.showFrame();
    ActionAssembler check;
    check.push("clip").op(op::GetVariable).push("inner").op(op::GetMember).push("text").op(op::GetMember);
    check.op(op::Trace);
    check.push("unset").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    check.op(op::Stop);
    m.script(check.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 2);
    EXPECT_EQ(run.traces, QStringList({"from root", "undefined"}));
}

TEST(TextFieldTest, CreateTextFieldMakesAFieldScriptsCanRemove)
{
    ActionAssembler a;
    // this.createTextField("made", 5, 10, 20, 100, 30)
    a.push(30).push(100).push(20).push(10).push(5).push("made").push(6).push("this").op(op::GetVariable);
    a.push("createTextField").op(op::CallMethod);
    a.push("result").op(op::StackSwap).op(op::SetVariable);
    a.push("result").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    setMember(a, "made", "text", "abc");
    traceMember(a, "made", "text");
    traceMember(a, "made", "_x");
    traceMember(a, "made", "_y");
    traceMember(a, "made", "_width");
    traceMember(a, "made", "_height");
    callMethod(a, "made", "getDepth");
    a.op(op::Trace);
    callMethod(a, "made", "removeTextField");
    a.op(op::Pop);
    traceMember(a, "result", "_x");
    a.push("made").op(op::GetVariable).op(op::TypeOf).op(op::Trace);
    MovieBuilder m(300, 200, 10, 8);
    m.script(a.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, QStringList({"_level0.made", "abc", "10", "20", "100", "30", "5", "undefined",
                                       "undefined"}));
}

TEST(TextFieldTest, TextFormatConvertsWhatScriptsStore)
{
    ActionAssembler a;
    a.push(0).push("TextFormat").op(op::NewObject);
    a.push("fmt").op(op::StackSwap).op(op::SetVariable);
    traceMember(a, "fmt", "font");
    setMember(a, "fmt", "size", 3.5);
    traceMember(a, "fmt", "size");
    setMember(a, "fmt", "size", 2.5);
    traceMember(a, "fmt", "size");
    setMember(a, "fmt", "color", -3);
    traceMember(a, "fmt", "color");
    setMember(a, "fmt", "leftMargin", -3);
    traceMember(a, "fmt", "leftMargin");
    setMember(a, "fmt", "align", "CENTER");
    traceMember(a, "fmt", "align");
    setMember(a, "fmt", "align", "sideways");
    traceMember(a, "fmt", "align");
    setMember(a, "fmt", "bold", "yes");
    traceMember(a, "fmt", "bold");
    MovieBuilder m(300, 200, 10, 8);
    m.script(a.bytes());
    m.showFrame();
    const auto run = playMovie(m.finish(), 1);
    EXPECT_EQ(run.traces, QStringList({"null", "4", "2", "4294967293", "0", "center", "center", "true"}));
}

TEST(TextFieldTest, FieldFormatsGoInAndOut)
{
    ActionAssembler a;
    callMethod(a, "field", "getNewTextFormat");
    a.push("fmt").op(op::StackSwap).op(op::SetVariable);
    traceMember(a, "fmt", "size");
    traceMember(a, "fmt", "align");
    setMember(a, "fmt", "font", "Arial");
    setMember(a, "fmt", "size", 20);
    setMember(a, "fmt", "color", 0xFF0000);
    a.push("fmt").op(op::GetVariable).push(1).push("field").op(op::GetVariable).push("setTextFormat");
    a.op(op::CallMethod).op(op::Pop);
    callMethod(a, "field", "getTextFormat");
    a.push("got").op(op::StackSwap).op(op::SetVariable);
    traceMember(a, "got", "font");
    traceMember(a, "got", "size");
    traceMember(a, "got", "color");
    // An empty field has no format of its own text.
    setMember(a, "field", "text", "");
    callMethod(a, "field", "getTextFormat");
    a.push("size").op(op::GetMember).op(op::Trace);
    const auto run = playMovie(movieWithField(field(QStringLiteral("text")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"12", "left", "Arial", "20", "16711680", "null"}));
}

TEST(TextFieldTest, HtmlTextIsWrittenAsThePlayerWritesIt)
{
    ActionAssembler a;
    setMember(a, "field", "html", true);
    setMember(a, "field", "htmlText", "<b>bold</b> & plain");
    traceMember(a, "field", "text");
    traceMember(a, "field", "htmlText");
    setMember(a, "field", "html", false);
    traceMember(a, "field", "text");
    EditText e = field();
    e.fontClass = QStringLiteral("Arial");
    const auto run = playMovie(movieWithField(e, a), 1);
    EXPECT_EQ(run.traces,
              QStringList({"bold & plain",
                           "<P ALIGN=\"LEFT\"><FONT FACE=\"Arial\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
                           "KERNING=\"0\"><B>bold</B> &amp; plain</FONT></P>",
                           "bold & plain"}));
}

TEST(TextFieldTest, DrawnFieldShowsWhatScriptsSet)
{
    // A script gives the field a red background; the drawn frame shows it
    // where the field is, and the stage's colour elsewhere.
    ActionAssembler a;
    setMember(a, "field", "background", true);
    setMember(a, "field", "backgroundColor", 0xFF0000);
    a.op(op::Stop);
    qev::swf::Player player;
    qev::swf::testing::loadOrFail(player, movieWithField(field(), a));
    const QImage image = qev::swf::testing::frameImage(player);
    EXPECT_TRUE(qev::swf::testing::colorNear(qev::swf::testing::pixel(image, 130, 60), qRgb(255, 0, 0)));
    EXPECT_TRUE(qev::swf::testing::colorNear(qev::swf::testing::pixel(image, 10, 10), qRgb(255, 255, 255)));
}

namespace {

// Two input fields, "first" (bound to "typed", restricted to letters, at
// most 3 characters) and "second". Frame 1 focuses "first"; frame 2
// reports what was typed, the caret, and tells when "second" takes the
// focus.
QByteArray inputMovie()
{
    MovieBuilder m(300, 200, 10, 6);
    EditText first = field(QString(), QStringLiteral("typed"));
    first.readOnly = false;
    first.maxLength = 3;
    const auto firstId = m.defineEditText(first);
    EditText second = field();
    second.readOnly = false;
    const auto secondId = m.defineEditText(second);
    m.place(named(firstId, 1, "first"));
    PlaceObject below = named(secondId, 2, "second");
    below.matrix->ty = 100 * 20;
    m.place(below);
    ActionAssembler a;
    a.push("first").push(1).push("Selection").op(op::GetVariable).push("setFocus").op(op::CallMethod);
    a.op(op::Trace);
    a.push(0).push("Selection").op(op::GetVariable).push("getFocus").op(op::CallMethod).op(op::Trace);
    setMember(a, "first", "restrict", "a-z");
    m.script(a.bytes());
    m.showFrame();
    ActionAssembler check;
    check.push("typed").op(op::GetVariable).op(op::Trace);
    check.push(0).push("Selection").op(op::GetVariable).push("getCaretIndex").op(op::CallMethod).op(op::Trace);
    ActionAssembler onFocus;
    onFocus.push(0).push("Selection").op(op::GetVariable).push("getFocus").op(op::CallMethod).op(op::Trace);
    check.push("second").op(op::GetVariable).push("onSetFocus").function("", {}, onFocus).op(op::SetMember);
    check.op(op::Stop);
    m.script(check.bytes());
    m.showFrame();
    return m.finish();
}

} // namespace

TEST(TextFieldTest, TypingEditsTheFocusedInputFieldAndItsVariable)
{
    QStringList traces;
    qev::swf::Player player;
    player.setTraceHandler([&](const QString& line) { traces << line; });
    qev::swf::testing::loadOrFail(player, inputMovie());
    for (const char* c : {"a", "B", "b", "1", "c"})
        player.keyPress(Qt::Key_A, QString::fromLatin1(c));
    player.keyPress(Qt::Key_Backspace, QStringLiteral("\b"));
    player.keyPress(Qt::Key_Left, QString());
    player.keyPress(Qt::Key_X, QStringLiteral("x"));
    player.keyPress(Qt::Key_D, QStringLiteral("d")); // past maxChars
    player.advance();
    player.keyPress(Qt::Key_Tab, QStringLiteral("\t"));
    // "B" and "1" are no letters a-z; backspace took "c"; x went before
    // "b"; "d" did not fit.
    EXPECT_EQ(traces, QStringList({"true", "_level0.first", "axb", "2", "_level0.second"}));
}
