// Text field settings as scripts see them: rebinding a field's variable,
// the format of a range of text, the alignment HTML text gives, rendering
// settings from CSMTextSettings, TextFormat's conversions by SWF version
// and the tab index of fields.

#include "script_test_support.h"

#include <functional>

using qev::swf::EditText;
using qev::swf::PlaceObject;
using qev::swf::Rgba;
using qev::swf::TextAlign;
using qev::swf::writer::ActionAssembler;
using qev::swf::writer::BitWriter;
using qev::swf::writer::MovieBuilder;
using script_test::playMovie;
namespace op = qev::swf::writer::op;

namespace {

// A dynamic device-text field of 200 x 40 pixels in 12-pixel type.
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

// trace(field.<method>(args...).<member>), the arguments pushed last first.
void traceFormat(ActionAssembler& a, const char* method, std::vector<int> args, const char* member)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        a.push(*it);
    a.push(int(args.size())).push("field").op(op::GetVariable).push(method).op(op::CallMethod);
    a.push(member).op(op::GetMember).op(op::Trace);
}

// A one-frame movie that places `edit` as "field", adds `extraTags` and runs `script`.
QByteArray movieWithField(const EditText& edit, const ActionAssembler& script, int version = 8,
                          const std::function<void(MovieBuilder&, std::uint16_t)>& extraTags = {})
{
    MovieBuilder m(300, 200, 10, version);
    const auto id = m.defineEditText(edit);
    if (extraTags)
        extraTags(m, id);
    PlaceObject p;
    p.characterId = id;
    p.depth = 1;
    p.matrix = qev::swf::Matrix{};
    p.name = QStringLiteral("field");
    m.place(p);
    m.script(script.bytes());
    m.showFrame();
    return m.finish();
}

} // namespace

TEST(TextFieldSettingsTest, RebindingToAMissingVariableStartsOverFromTheDefinedText)
{
    ActionAssembler a;
    setMember(a, "field", "text", "changed");
    setMember(a, "field", "variable", "other");
    traceMember(a, "field", "text");
    a.push("other").op(op::GetVariable).op(op::Trace);
    // A variable that exists shows in the field instead.
    a.push("existing").push("value").op(op::SetVariable);
    setMember(a, "field", "variable", "existing");
    traceMember(a, "field", "text");
    const auto run = playMovie(movieWithField(field(QStringLiteral("Hello"), QStringLiteral("first")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"Hello", "Hello", "value"}));
}

TEST(TextFieldSettingsTest, ARangeWithoutCharactersHasNoFormat)
{
    ActionAssembler a;
    traceFormat(a, "getTextFormat", {}, "size");
    traceFormat(a, "getTextFormat", {1, 1}, "size");
    traceFormat(a, "getTextFormat", {0, 2}, "size");
    traceFormat(a, "getTextFormat", {2}, "size");
    traceFormat(a, "getTextFormat", {3}, "size"); // past the last character
    traceFormat(a, "getNewTextFormat", {}, "size");
    const auto run = playMovie(movieWithField(field(QStringLiteral("abc")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"12", "null", "12", "12", "null", "12"}));
}

TEST(TextFieldSettingsTest, HtmlTextAlignsLeftWhereItSaysNothing)
{
    EditText centred = field(QStringLiteral("plain"));
    centred.hasLayout = true;
    centred.align = TextAlign::Center;
    ActionAssembler a;
    traceFormat(a, "getNewTextFormat", {}, "align");
    setMember(a, "field", "html", true);
    setMember(a, "field", "htmlText", "<b>bold</b>");
    traceFormat(a, "getNewTextFormat", {}, "align");
    setMember(a, "field", "htmlText", "<p align=\"right\">x</p>");
    traceFormat(a, "getNewTextFormat", {}, "align");
    const auto run = playMovie(movieWithField(centred, a), 1);
    EXPECT_EQ(run.traces, QStringList({"center", "left", "right"}));

    // A field defined as HTML has its (empty) text parsed when placed.
    EditText html = centred;
    html.html = true;
    html.initialText.reset();
    ActionAssembler b;
    traceFormat(b, "getNewTextFormat", {}, "align");
    EXPECT_EQ(playMovie(movieWithField(html, b), 1).traces, QStringList({"left"}));
}

TEST(TextFieldSettingsTest, RenderingSettingsComeFromCsmTextSettingsAndScripts)
{
    ActionAssembler a;
    for (const char* name : {"antiAliasType", "gridFitType", "thickness", "sharpness"})
        traceMember(a, "field", name);
    setMember(a, "field", "antiAliasType", "sharpest"); // unknown: kept
    setMember(a, "field", "gridFitType", "none");
    setMember(a, "field", "thickness", -539);
    setMember(a, "field", "sharpness", 1.5);
    for (const char* name : {"antiAliasType", "gridFitType", "thickness", "sharpness"})
        traceMember(a, "field", name);
    setMember(a, "field", "antiAliasType", "normal");
    traceMember(a, "field", "antiAliasType");
    auto csm = [](MovieBuilder& m, std::uint16_t id) {
        BitWriter w;
        w.u16(id);
        w.u8(1 << 6 | 2 << 3); // advanced anti-aliasing, subpixel grid fitting
        w.f32(2.5f);
        w.f32(-100);
        w.u8(0);
        m.rawTag(74, w.data());
    };
    const auto run = playMovie(movieWithField(field(QStringLiteral("x")), a, 8, csm), 1);
    EXPECT_EQ(run.traces, QStringList({"advanced", "subpixel", "2.5", "-100", "advanced", "none", "-539", "1.5",
                                       "normal"}));

    // Without the tag: the player's defaults.
    ActionAssembler b;
    for (const char* name : {"antiAliasType", "gridFitType", "thickness", "sharpness"})
        traceMember(b, "field", name);
    EXPECT_EQ(playMovie(movieWithField(field(QStringLiteral("x")), b), 1).traces,
              QStringList({"normal", "pixel", "0", "0"}));
}

namespace {

// Traces what a TextFormat keeps of numbers stored by its constructor and
// its setters, in a movie of the given version.
QStringList textFormatNumbers(int version)
{
    ActionAssembler a;
    // new TextFormat(font, size, color, bold, italic, underline, url, target, align, leftMargin)
    a.push(-5).push("right");
    for (int i = 0; i < 6; ++i)
        a.pushNull();
    a.push(-10.9).pushNull().push(10).push("TextFormat").op(op::NewObject);
    a.push("f").op(op::StackSwap).op(op::SetVariable);
    for (const char* name : {"size", "leftMargin", "align"})
        traceMember(a, "f", name);
    setMember(a, "f", "size", -10.9);
    setMember(a, "f", "indent", -3);
    setMember(a, "f", "leftMargin", -3);
    a.push("f").op(op::GetVariable).push("align").pushNull().op(op::SetMember);
    for (const char* name : {"size", "indent", "leftMargin", "align"})
        traceMember(a, "f", name);
    qev::swf::writer::MovieBuilder m(100, 100, 10, version);
    m.script(a.bytes());
    m.showFrame();
    return playMovie(m.finish(), 1).traces;
}

} // namespace

TEST(TextFieldSettingsTest, TextFormatCutsTowardZeroBeforeVersion8AndKeepsIndentsFromGoingNegative)
{
    EXPECT_EQ(textFormatNumbers(7), QStringList({"-10", "-5", "right", "-10", "0", "0", "right"}));
    EXPECT_EQ(textFormatNumbers(8), QStringList({"-11", "-5", "right", "-11", "-3", "0", "right"}));
}

TEST(TextFieldSettingsTest, TabIndexOfAFieldIsAnUnsignedInteger)
{
    ActionAssembler a;
    traceMember(a, "field", "tabIndex");
    setMember(a, "field", "tabIndex", -4);
    traceMember(a, "field", "tabIndex");
    setMember(a, "field", "tabIndex", 1.9);
    traceMember(a, "field", "tabIndex");
    setMember(a, "field", "tabIndex", "x");
    traceMember(a, "field", "tabIndex");
    a.push("field").op(op::GetVariable).push("tabIndex").pushUndefined().op(op::SetMember);
    traceMember(a, "field", "tabIndex");
    const auto run = playMovie(movieWithField(field(QStringLiteral("x")), a), 1);
    EXPECT_EQ(run.traces, QStringList({"undefined", "4294967292", "1", "0", "undefined"}));
}

namespace {

// Runs `body` after "sheet = new TextField.StyleSheet()" in a version 8 movie.
QStringList withStyleSheet(const std::function<void(ActionAssembler&)>& body)
{
    ActionAssembler a;
    a.push("sheet").push(0).push("TextField").op(op::GetVariable).push("StyleSheet").op(op::NewMethod);
    a.op(op::SetVariable);
    body(a);
    qev::swf::writer::MovieBuilder m(100, 100, 10, 8);
    m.script(a.bytes());
    m.showFrame();
    return playMovie(m.finish(), 1).traces;
}

// trace(sheet.parseCSS(css))
void parseCss(ActionAssembler& a, const char* css)
{
    a.push(css).push(1).push("sheet").op(op::GetVariable).push("parseCSS").op(op::CallMethod).op(op::Trace);
}

// trace(sheet.getStyle(name)[member])
void traceStyle(ActionAssembler& a, const char* name, const char* member)
{
    a.push(name).push(1).push("sheet").op(op::GetVariable).push("getStyle").op(op::CallMethod);
    a.push(member).op(op::GetMember).op(op::Trace);
}

} // namespace

TEST(TextFieldSettingsTest, StyleSheetReadsTheCssDialectOrChangesNothing)
{
    const auto traces = withStyleSheet([](ActionAssembler& a) {
        parseCss(a, "h1, .note { font-size: 12px ; color:#FF0000}\np{margin-left:4}");
        traceStyle(a, "h1", "fontSize");
        traceStyle(a, ".note", "color");
        traceStyle(a, "p", "marginLeft");
        // What transform made of the style is kept beside it.
        a.push("sheet").op(op::GetVariable).push("_styles").op(op::GetMember).push("h1").op(op::GetMember);
        a.push("color").op(op::GetMember).op(op::Trace);
        // A space inside a selector spoils the whole text; nothing changes.
        parseCss(a, "h1 { color: blue; } long name { color: red; }");
        traceStyle(a, "h1", "color");
        // A block may stay open where a declaration would start, not in a value.
        parseCss(a, "open { a: b;");
        traceStyle(a, "open", "a");
        parseCss(a, "cut { a: b");
        a.push("cut").push(1).push("sheet").op(op::GetVariable).push("getStyle").op(op::CallMethod).op(op::Trace);
    });
    EXPECT_EQ(traces, QStringList({"true", "12px ", "#FF0000", "4", "16711680", "false", "#FF0000", "true", "b",
                                   "false", "null"}));
}

TEST(TextFieldSettingsTest, StyleSheetKeepsCopiesOfStylesAndNullForOthers)
{
    const auto traces = withStyleSheet([](ActionAssembler& a) {
        a.push("_css").push("sheet").op(op::GetVariable).op(op::StackSwap).op(op::GetMember).op(op::Trace);
        // style = {color: "red"}; sheet.setStyle("x", style); style.color = "blue"
        a.push("style").push("color").push("red").push(1).op(op::InitObject).op(op::SetVariable);
        a.push("style").op(op::GetVariable).push("x").push(2).push("sheet").op(op::GetVariable);
        a.push("setStyle").op(op::CallMethod).op(op::Pop);
        setMember(a, "style", "color", "blue");
        traceStyle(a, "x", "color");
        a.push("text").push("y").push(2).push("sheet").op(op::GetVariable).push("setStyle").op(op::CallMethod);
        a.op(op::Pop);
        a.push("y").push(1).push("sheet").op(op::GetVariable).push("getStyle").op(op::CallMethod).op(op::Trace);
        a.push(0).push("sheet").op(op::GetVariable).push("getStyleNames").op(op::CallMethod);
        a.push("length").op(op::GetMember).op(op::Trace);
        a.push(0).push("sheet").op(op::GetVariable).push("clear").op(op::CallMethod).op(op::Pop);
        a.push("x").push(1).push("sheet").op(op::GetVariable).push("getStyle").op(op::CallMethod).op(op::Trace);
    });
    EXPECT_EQ(traces, QStringList({"undefined", "red", "null", "2", "null"}));
}

TEST(TextFieldSettingsTest, FieldsThatEmbedTheirFontMeasureLinesByIt)
{
    // A layout font whose ascent and descent fill its em square exactly.
    qev::swf::Font font;
    font.version = 3;
    font.name = QStringLiteral("Square");
    font.hasLayout = true;
    font.ascent = 16384;
    font.descent = 4096;
    for (const char16_t c : u"abc \r") {
        qev::swf::Glyph g;
        g.code = c;
        g.advance = 10240;
        font.glyphs.push_back(g);
    }
    // field.embedFonts = true; f = field.getNewTextFormat(); f.font = "Square";
    // f.size = 20; f.leading = leading; field.setNewTextFormat(f); field.text = text
    auto heightOf = [&](const char* text, int leading) {
        ActionAssembler a;
        setMember(a, "field", "embedFonts", true);
        a.push("f").push(0).push("field").op(op::GetVariable).push("getNewTextFormat").op(op::CallMethod);
        a.op(op::SetVariable);
        setMember(a, "f", "font", "Square");
        setMember(a, "f", "size", 20);
        setMember(a, "f", "leading", leading);
        a.push("f").op(op::GetVariable).push(1).push("field").op(op::GetVariable).push("setNewTextFormat");
        a.op(op::CallMethod).op(op::Pop);
        setMember(a, "field", "text", text);
        traceMember(a, "field", "textHeight");
        traceMember(a, "field", "embedFonts");
        MovieBuilder m(300, 200, 10, 8);
        m.defineFont(font);
        EditText e = field();
        e.bounds = qev::swf::Rect{0, 200 * 20, 0, 200 * 20};
        e.multiline = true;
        const auto id = m.defineEditText(e);
        PlaceObject p;
        p.characterId = id;
        p.depth = 1;
        p.matrix = qev::swf::Matrix{};
        p.name = QStringLiteral("field");
        m.place(p);
        m.script(a.bytes());
        m.showFrame();
        return playMovie(m.finish(), 1).traces;
    };
    EXPECT_EQ(heightOf("abc", 0), QStringList({"20", "true"}));
    // Leading counts once under a single line, then between lines.
    EXPECT_EQ(heightOf("abc", 5), QStringList({"25", "true"}));
    EXPECT_EQ(heightOf("a\rb", 5), QStringList({"45", "true"}));
    EXPECT_EQ(heightOf("a\rb\rc", 5), QStringList({"70", "true"}));
}

// Style sheets came with SWF 7: a version 6 movie finds no TextField.StyleSheet.
TEST(TextFieldSettingsTest, StyleSheetIsThereFromVersionSeven)
{
    for (int version : {6, 7}) {
        ActionAssembler a;
        a.push("TextField").op(op::GetVariable).push("StyleSheet").op(op::GetMember).op(op::TypeOf).op(op::Trace);
        qev::swf::writer::MovieBuilder m(100, 100, 10, version);
        m.script(a.bytes());
        m.showFrame();
        EXPECT_EQ(playMovie(m.finish(), 1).traces, QStringList{version >= 7 ? "function" : "undefined"}) << version;
    }
}
