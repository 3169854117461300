// TextField: the properties of text fields are getters and setters of the
// prototype, so scripts read them through any field (and a subclass);
// the field itself lives on the stage, which the host reaches.

#include "avm1/ArrayObject.h"
#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/builtins/Support.h"

#include <QRectF>

namespace qev::swf::avm1 {

void installTextFormatClass(Vm& vm);
void installStyleSheetClass(Vm& vm, Object* textFieldClass);

namespace {

TextFieldObject* fieldOf(Vm& vm, const Value& thisValue)
{
    if (!vm.host() || !thisValue.isObject() || thisValue.object->kind() != ObjectKind::TextField)
        return nullptr;
    return static_cast<TextFieldObject*>(thisValue.object);
}

// In the player's order of the prototype (for-in lists them newest first).
const char* const fieldProperties[] = {
    "gridFitType", "antiAliasType", "thickness",  "sharpness",     "filters",        "scroll",
    "maxscroll",   "borderColor",   "backgroundColor", "textColor", "tabIndex",      "autoSize",
    "text",        "type",          "htmlText",   "variable",      "hscroll",        "maxhscroll",
    "maxChars",    "embedFonts",    "html",       "border",        "background",     "wordWrap",
    "password",    "multiline",     "selectable", "length",        "bottomScroll",   "textWidth",
    "textHeight",  "restrict",      "condenseWhite", "mouseWheelEnabled", "styleSheet",
};

const char* const fieldMethods[] = {
    "replaceText", "replaceSel", "getNewTextFormat", "setNewTextFormat", "getTextFormat",
    "setTextFormat", "removeTextField", "getDepth",
};

} // namespace

void installTextClasses(Vm& vm)
{
    using namespace builtins;
    installTextFormatClass(vm);

    Object* proto = vm.newObject();
    vm.textFieldPrototype = proto;
    vm.newClass(QStringLiteral("TextField"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    for (const char* method : fieldMethods) {
        const QString name = QString::fromLatin1(method);
        proto->defineMethod(vm, name, [name](Vm& vm, const Value& t, Args& args) -> Value {
            TextFieldObject* f = fieldOf(vm, t);
            return f ? vm.host()->callTextField(f, name, args) : Value();
        });
        // replaceText came with the version 7 player.
        if (name == u"replaceText")
            proto->findOwn(name)->hiddenBelowVersion = 7;
    }
    for (const char* property : fieldProperties) {
        const QString name = QString::fromLatin1(property);
        // The version 8 player's rendering settings and filters are no
        // field properties for older movies: plain slots of the prototype.
        static const QStringList version8 = {QStringLiteral("gridFitType"), QStringLiteral("antiAliasType"),
                                             QStringLiteral("thickness"), QStringLiteral("sharpness"),
                                             QStringLiteral("filters")};
        if (vm.version() < 8 && version8.contains(name)) {
            proto->define(name, Value(), DontDelete);
            continue;
        }
        defineVirtual(
            vm, proto, name,
            [name](Vm& vm, const Value& t, Args&) -> Value {
                Value out;
                if (TextFieldObject* f = fieldOf(vm, t))
                    vm.host()->getTextFieldProperty(f, name, out);
                return out;
            },
            [name](Vm& vm, const Value& t, Args& args) -> Value {
                if (TextFieldObject* f = fieldOf(vm, t))
                    vm.host()->setTextFieldProperty(f, name, arg(args, 0));
                return Value();
            });
        // for-in lists them, on the prototype and on every field.
        proto->findOwn(name)->flags = DontDelete;
    }
    Object* textField = vm.getMember(vm.global(), QStringLiteral("TextField")).object;
    // Style sheets came with SWF 7; older movies do not see the class.
    if (vm.version() >= 7)
        installStyleSheetClass(vm, textField);
    textField->defineMethod(vm, QStringLiteral("getFontList"), [](Vm& vm, const Value&, Args&) -> Value {
        std::vector<Value> names;
        for (const char* face : {"_sans", "_serif", "_typewriter"})
            names.push_back(Value::fromString(QString::fromLatin1(face)));
        return Value::fromObject(vm.newArray(std::move(names)));
    });

    // Selection: the keyboard focus and the focused field's selection.
    Object* selection = vm.newObject();
    vm.global()->define(QStringLiteral("Selection"), Value::fromObject(selection), DontEnum);
    selection->defineMethod(vm, QStringLiteral("getFocus"), [](Vm& vm, const Value&, Args&) -> Value {
        Object* f = vm.host() ? vm.host()->focus() : nullptr;
        return f ? Value::fromString(vm.toString(Value::fromObject(f))) : Value::null();
    });
    selection->defineMethod(vm, QStringLiteral("setFocus"), [](Vm& vm, const Value&, Args& args) -> Value {
        if (!vm.host())
            return Value::fromBool(false);
        const Value& target = arg(args, 0);
        if (target.isNullish())
            return Value::fromBool(vm.host()->setFocus(nullptr));
        Object* o = target.isObject() ? target.object : nullptr;
        if (!o) {
            // A path: "_level0.form.name", "/form/name" or "name".
            const QString path = vm.toString(target);
            const qsizetype cut = std::max(path.lastIndexOf(u'.'), path.lastIndexOf(u'/'));
            ClipObject* from = vm.host()->rootClip();
            ClipObject* parent = cut < 0 ? from : vm.resolveTarget(from, path.left(cut).isEmpty() ? QStringLiteral("/") : path.left(cut));
            o = parent ? vm.host()->textFieldByName(parent, path.mid(cut + 1)) : nullptr;
            // Else a button or clip of that path.
            if (!o)
                o = vm.resolveTarget(from, path);
        }
        return Value::fromBool(o && vm.host()->setFocus(o));
    });
    auto index = [&](const char* name, int which) {
        selection->defineMethod(vm, QString::fromLatin1(name), [which](Vm& vm, const Value&, Args&) -> Value {
            int begin = -1, end = -1, caret = -1;
            if (vm.host())
                vm.host()->selection(begin, end, caret);
            return Value::fromNumber(which == 0 ? begin : which == 1 ? end : caret);
        });
    };
    index("getBeginIndex", 0);
    index("getEndIndex", 1);
    index("getCaretIndex", 2);
    selection->defineMethod(vm, QStringLiteral("setSelection"), [](Vm& vm, const Value&, Args& args) -> Value {
        if (vm.host() && args.size() >= 2)
            vm.host()->setSelection(int(vm.toInteger(args[0])), int(vm.toInteger(args[1])));
        return Value();
    });

    // MovieClip.createTextField(name, depth, x, y, width, height): the new
    // field from SWF 8 on, nothing before.
    if (vm.clipPrototype)
        vm.clipPrototype->defineMethod(
            vm, QStringLiteral("createTextField"), [](Vm& vm, const Value& t, Args& args) -> Value {
                if (!vm.host() || !t.isObject() || t.object->kind() != ObjectKind::Clip || args.size() < 6)
                    return Value();
                const double depth = vm.toNumber(args[1]);
                if (!std::isfinite(depth))
                    return Value();
                auto px = [&](std::size_t i) {
                    const double n = vm.toNumber(args[i]);
                    return std::isfinite(n) ? n : 0.0;
                };
                TextFieldObject* f = vm.host()->createTextField(static_cast<ClipObject*>(t.object),
                                                                vm.toString(args[0]), int(depth),
                                                                QRectF(px(2), px(3), px(4), px(5)));
                return f && vm.version() >= 8 ? Value::fromObject(f) : Value();
            });
}

} // namespace qev::swf::avm1
