// TextField.StyleSheet: named styles, each a plain object of CSS properties,
// kept in the sheet's _css object; _styles keeps what transform() made of
// each (a TextFormat). Scripts may replace transform, so the methods call
// it through the sheet. parseCSS reads the player's small CSS dialect and
// changes nothing unless the whole text reads.

#include "avm1/ArrayObject.h"
#include "avm1/builtins/Support.h"

#include <optional>
#include <utility>
#include <vector>

namespace qev::swf::avm1 {
namespace {

using builtins::arg;

using Declarations = std::vector<std::pair<QString, QString>>;
using Rules = std::vector<std::pair<QString, Declarations>>;

bool isCssSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// A property name as scripts see it: each dash goes and the character after
// it is upper-cased ("font-size" is fontSize).
QString camelCase(const QString& name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'-') {
            if (i + 1 < name.size())
                out += name[++i].toUpper();
        } else {
            out += name[i];
        }
    }
    return out;
}

// The dialect: selectors (no spaces inside, separated by commas) and a block
// of "name: value" declarations. A name ends only at its colon (spaces may
// follow it and stay part of it); a value runs to ";" or "}" and keeps its
// inner and trailing spaces. A block may stay open at the end of the text
// where a new declaration would start, but not inside a name or a value.
std::optional<Rules> parseCss(const QString& css)
{
    Rules rules;
    qsizetype i = 0;
    const qsizetype n = css.size();
    auto skipSpaces = [&] {
        while (i < n && isCssSpace(css[i]))
            ++i;
    };
    while (true) {
        skipSpaces();
        if (i >= n)
            return rules;
        QStringList selectors;
        while (true) {
            skipSpaces();
            const qsizetype start = i;
            while (i < n && !isCssSpace(css[i]) && css[i] != u',' && css[i] != u'{')
                ++i;
            if (i == start)
                return std::nullopt;
            selectors << css.mid(start, i - start);
            skipSpaces();
            if (i < n && css[i] == u',') {
                ++i;
                continue;
            }
            if (i < n && css[i] == u'{')
                break;
            return std::nullopt;
        }
        ++i; // '{'
        Declarations declarations;
        while (true) {
            skipSpaces();
            if (i >= n)
                break;
            if (css[i] == u'}') {
                ++i;
                break;
            }
            const qsizetype nameStart = i;
            while (i < n && css[i] != u':' && !isCssSpace(css[i]))
                ++i;
            while (i < n && isCssSpace(css[i]))
                ++i;
            if (i >= n || css[i] != u':')
                return std::nullopt;
            const QString name = css.mid(nameStart, i - nameStart);
            ++i; // ':'
            skipSpaces();
            const qsizetype valueStart = i;
            while (i < n && css[i] != u';' && css[i] != u'}')
                ++i;
            if (i >= n)
                return std::nullopt;
            const QString value = css.mid(valueStart, i - valueStart);
            if (!name.isEmpty())
                declarations.emplace_back(camelCase(name), value);
            if (css[i] == u'}') {
                ++i;
                break;
            }
            ++i; // ';'
        }
        for (const QString& selector : selectors)
            rules.emplace_back(selector, declarations);
    }
}

// The sheet's own object under `name` (_css or _styles), made when missing.
Object* table(Vm& vm, Object* sheet, const QString& name)
{
    const Value v = vm.getMember(sheet, name);
    if (v.isObject())
        return v.object;
    Object* made = vm.newObject();
    vm.setMember(sheet, name, Value::fromObject(made));
    return made;
}

// A new object with the enumerable properties of `from`.
Object* shallowCopy(Vm& vm, Object* from)
{
    Object* copy = vm.newObject();
    for (const QString& key : vm.enumerate(from))
        vm.setMember(copy, key, vm.getMember(from, key));
    return copy;
}

// Stores a style (an object, or null) and what transform makes of it.
void storeStyle(Vm& vm, Object* sheet, const QString& name, const Value& style)
{
    vm.setMember(table(vm, sheet, QStringLiteral("_css")), name, style);
    const Value format = vm.callMethod(Value::fromObject(sheet), QStringLiteral("transform"), {style});
    vm.setMember(table(vm, sheet, QStringLiteral("_styles")), name, format);
}

// A CSS colour "#RRGGBB" as a number; nullopt for anything else.
std::optional<double> cssColor(const QString& s)
{
    if (s.size() != 7 || s[0] != u'#')
        return std::nullopt;
    bool ok = false;
    const uint rgb = s.mid(1).toUInt(&ok, 16);
    return ok ? std::optional<double>(rgb) : std::nullopt;
}

// The leading whole number of a CSS length ("12px" is 12); nullopt when none.
std::optional<double> cssNumber(const QString& s)
{
    qsizetype end = 0;
    const QString t = s.trimmed();
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+'))
        ++end;
    while (end < t.size() && t[end].isDigit())
        ++end;
    bool ok = false;
    const double n = t.left(end).toDouble(&ok);
    return ok ? std::optional<double>(n) : std::nullopt;
}

// The TextFormat a style stands for: the CSS properties text fields know.
Value transformStyle(Vm& vm, const Value& style)
{
    if (!style.isObject())
        return Value::null();
    Args none;
    const Value made = vm.construct(vm.getMember(vm.global(), QStringLiteral("TextFormat")), none);
    if (!made.isObject())
        return Value::null();
    Object* format = made.object;
    auto text = [&](const char* name) -> std::optional<QString> {
        const Value v = vm.getMember(style.object, QString::fromLatin1(name));
        return v.isUndefined() ? std::nullopt : std::optional<QString>(vm.toString(v));
    };
    auto set = [&](const char* name, const Value& v) { vm.setMember(format, QString::fromLatin1(name), v); };
    if (const auto v = text("color"); v && cssColor(*v))
        set("color", Value::fromNumber(*cssColor(*v)));
    if (const auto v = text("fontFamily"))
        set("font", Value::fromString(*v));
    if (const auto v = text("fontSize"); v && cssNumber(*v))
        set("size", Value::fromNumber(*cssNumber(*v)));
    if (const auto v = text("fontWeight"))
        set("bold", Value::fromBool(v->trimmed() == u"bold"));
    if (const auto v = text("fontStyle"))
        set("italic", Value::fromBool(v->trimmed() == u"italic"));
    if (const auto v = text("textDecoration"))
        set("underline", Value::fromBool(v->trimmed() == u"underline"));
    if (const auto v = text("textAlign"))
        set("align", Value::fromString(v->trimmed()));
    if (const auto v = text("display"))
        set("display", Value::fromString(v->trimmed()));
    if (const auto v = text("kerning"))
        set("kerning", Value::fromBool(v->trimmed() == u"true"));
    const std::pair<const char*, const char*> lengths[] = {{"marginLeft", "leftMargin"},
                                                           {"marginRight", "rightMargin"},
                                                           {"textIndent", "indent"},
                                                           {"letterSpacing", "letterSpacing"},
                                                           {"leading", "leading"}};
    for (const auto& [css, setting] : lengths)
        if (const auto v = text(css); v && cssNumber(*v))
            set(setting, Value::fromNumber(*cssNumber(*v)));
    return made;
}

} // namespace

void installStyleSheetClass(Vm& vm, Object* textFieldClass)
{
    Object* proto = vm.newObject();
    FunctionObject* cls = vm.newClass(QString(), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    textFieldClass->define(QStringLiteral("StyleSheet"), Value::fromObject(cls), DontEnum);
    constexpr std::uint8_t kFixed = DontEnum | DontDelete | ReadOnly;
    auto sheetOf = [](const Value& t) { return t.isObject() ? t.object : nullptr; };

    proto->defineMethod(
        vm, QStringLiteral("clear"),
        [sheetOf](Vm& vm, const Value& t, Args&) -> Value {
            if (Object* sheet = sheetOf(t)) {
                vm.setMember(sheet, QStringLiteral("_css"), Value::fromObject(vm.newObject()));
                vm.setMember(sheet, QStringLiteral("_styles"), Value::fromObject(vm.newObject()));
            }
            return Value();
        },
        kFixed);
    // A copy of the style, so that changing it changes nothing in the sheet.
    proto->defineMethod(
        vm, QStringLiteral("getStyle"),
        [sheetOf](Vm& vm, const Value& t, Args& args) -> Value {
            Object* sheet = sheetOf(t);
            const Value css = sheet ? vm.getMember(sheet, QStringLiteral("_css")) : Value();
            const Value style = css.isObject() ? vm.getMember(css.object, vm.toString(arg(args, 0))) : Value();
            return style.isObject() ? Value::fromObject(shallowCopy(vm, style.object)) : Value::null();
        },
        kFixed);
    proto->defineMethod(
        vm, QStringLiteral("getStyleNames"),
        [sheetOf](Vm& vm, const Value& t, Args&) -> Value {
            Object* sheet = sheetOf(t);
            const Value css = sheet ? vm.getMember(sheet, QStringLiteral("_css")) : Value();
            std::vector<Value> names;
            if (css.isObject())
                for (const QString& key : vm.enumerate(css.object))
                    names.push_back(Value::fromString(key));
            return Value::fromObject(vm.newArray(std::move(names)));
        },
        kFixed);
    // Loading style sheets from files is not offered: the sheet stays as it is.
    proto->defineMethod(
        vm, QStringLiteral("load"), [](Vm&, const Value&, Args&) -> Value { return Value::fromBool(false); }, kFixed);
    auto parse = [sheetOf](Vm& vm, const Value& t, Args& args) -> Value {
        Object* sheet = sheetOf(t);
        const std::optional<Rules> rules = parseCss(vm.toString(arg(args, 0)));
        if (!sheet || !rules)
            return Value::fromBool(false);
        for (const auto& [selector, declarations] : *rules) {
            Object* style = vm.newObject();
            for (const auto& [name, value] : declarations)
                vm.setMember(style, name, Value::fromString(value));
            storeStyle(vm, sheet, selector, Value::fromObject(style));
        }
        return Value::fromBool(true);
    };
    proto->defineMethod(vm, QStringLiteral("parseCSS"), parse, kFixed);
    proto->defineMethod(vm, QStringLiteral("parse"), parse, kFixed);
    // A style that is no object is kept as null.
    proto->defineMethod(
        vm, QStringLiteral("setStyle"),
        [sheetOf](Vm& vm, const Value& t, Args& args) -> Value {
            if (Object* sheet = sheetOf(t)) {
                const Value& style = arg(args, 1);
                storeStyle(vm, sheet, vm.toString(arg(args, 0)),
                           style.isObject() ? Value::fromObject(shallowCopy(vm, style.object)) : Value::null());
            }
            return Value();
        },
        kFixed);
    proto->defineMethod(
        vm, QStringLiteral("transform"),
        [](Vm& vm, const Value&, Args& args) -> Value { return transformStyle(vm, arg(args, 0)); }, kFixed);
}

} // namespace qev::swf::avm1
