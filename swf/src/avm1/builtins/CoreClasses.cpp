// Object, Function, Error, AsBroadcaster, the timers and ASSetPropFlags:
// the classes the rest of the language is built on.

#include "avm1/ArrayObject.h"
#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;

Object* thisObject(const Value& thisValue)
{
    return thisValue.isObject() ? thisValue.object : nullptr;
}

// The names ASSetPropFlags and friends take: null for all, "a,b" or an array.
std::vector<QString> nameList(Vm& vm, Object* o, const Value& names)
{
    std::vector<QString> out;
    if (names.isNull()) {
        for (const Property& p : o->ownProperties())
            out.push_back(p.name);
        return out;
    }
    if (names.isObject() && names.object->kind() == ObjectKind::Array) {
        for (const Value& v : static_cast<ArrayObject*>(names.object)->elements)
            out.push_back(vm.toString(v));
        return out;
    }
    if (names.isString()) {
        for (const QString& s : names.string.split(u','))
            out.push_back(s);
    } else if (names.isNumber()) {
        out.push_back(vm.toString(names));
    }
    return out;
}

} // namespace

void installObjectClass(Vm& vm)
{
    Object* proto = vm.objectPrototype;
    FunctionObject* ctor = vm.newClass(
        QStringLiteral("Object"), proto,
        [](Vm& vm, const Value&, Args& args) -> Value {
            const Value v = arg(args, 0);
            if (v.isNullish())
                return Value::fromObject(vm.newObject());
            return Value::fromObject(vm.toObject(v));
        },
        [](Vm& vm, const Value& thisValue, Args& args) -> Value {
            const Value v = arg(args, 0);
            if (v.isNullish())
                return thisValue;
            return Value::fromObject(vm.toObject(v));
        });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm&, const Value& thisValue, Args&) -> Value {
        if (thisValue.isObject() && thisValue.object->kind() == ObjectKind::Function)
            return Value::fromString(QStringLiteral("[type Function]"));
        return Value::fromString(QStringLiteral("[object Object]"));
    });
    proto->defineMethod(vm, QStringLiteral("toLocaleString"), [](Vm& vm, const Value& thisValue, Args&) -> Value {
        return vm.callMethod(thisValue, QStringLiteral("toString"));
    });
    proto->defineMethod(vm, QStringLiteral("valueOf"), [](Vm&, const Value& thisValue, Args&) -> Value {
        return thisValue;
    });
    proto->defineMethod(vm, QStringLiteral("hasOwnProperty"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        if (!o || args.empty())
            return Value::fromBool(false);
        const QString name = vm.toString(args[0]);
        const Property* p = o->findOwn(name);
        return Value::fromBool((p && p->hiddenBelowVersion <= vm.version()) || o->hasSpecial(vm, name));
    });
    proto->defineMethod(vm, QStringLiteral("isPropertyEnumerable"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        if (!o || args.empty())
            return Value::fromBool(false);
        const Property* p = o->findOwn(vm.toString(args[0]));
        return Value::fromBool(p && !(p->flags & DontEnum));
    });
    proto->defineMethod(vm, QStringLiteral("isPrototypeOf"), [](Vm&, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        const Value v = arg(args, 0);
        if (!o || !v.isObject())
            return Value::fromBool(false);
        Object* p = v.object->proto();
        for (int i = 0; p && i < 256; ++i, p = p->proto())
            if (p == o)
                return Value::fromBool(true);
        return Value::fromBool(false);
    });
    proto->defineMethod(vm, QStringLiteral("addProperty"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        const QString name = args.empty() ? QString() : vm.toString(args[0]);
        const Value getter = arg(args, 1);
        const Value setter = arg(args, 2);
        if (!o || name.isEmpty() || !getter.isObject() || getter.object->kind() != ObjectKind::Function)
            return Value::fromBool(false);
        if (!setter.isNull() && !(setter.isObject() && setter.object->kind() == ObjectKind::Function))
            return Value::fromBool(false);
        std::uint8_t flags = 0;
        if (Property* existing = o->findOwn(name))
            flags = existing->flags;
        o->define(name, Value(), flags);
        Property* p = o->findOwn(name);
        p->getter = getter.object;
        p->setter = setter.isObject() ? setter.object : nullptr;
        return Value::fromBool(true);
    });
    proto->defineMethod(vm, QStringLiteral("watch"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        const Value callback = arg(args, 1);
        if (!o || args.empty() || !callback.isObject() || callback.object->kind() != ObjectKind::Function)
            return Value::fromBool(false);
        if (!o->watchers)
            o->watchers = std::make_unique<QHash<QString, Object::Watcher>>();
        (*o->watchers)[o->key(vm.toString(args[0]))] = Object::Watcher{callback, arg(args, 2), false};
        return Value::fromBool(true);
    });
    proto->defineMethod(vm, QStringLiteral("unwatch"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        if (!o || args.empty() || !o->watchers)
            return Value::fromBool(false);
        return Value::fromBool(o->watchers->remove(o->key(vm.toString(args[0]))) > 0);
    });
    ctor->defineMethod(vm, QStringLiteral("registerClass"), [](Vm& vm, const Value&, Args& args) -> Value {
        if (args.size() < 2)
            return Value::fromBool(false);
        // Linkage names to classes, for clips attached from the library.
        Value table = vm.getMember(vm.global(), QStringLiteral("__registeredClasses"));
        if (!table.isObject()) {
            table = Value::fromObject(vm.newObject());
            vm.global()->define(QStringLiteral("__registeredClasses"), table, DontEnum);
        }
        vm.setMember(table.object, vm.toString(args[0]), args[1]);
        return Value::fromBool(true);
    });
}

void installFunctionClass(Vm& vm)
{
    Object* proto = vm.functionPrototype;
    vm.newClass(QStringLiteral("Function"), proto, [](Vm&, const Value&, Args& args) -> Value {
        return arg(args, 0);
    });
    proto->defineMethod(vm, QStringLiteral("call"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        // A missing, undefined or null this becomes the global object.
        const Value self = args.empty() || args[0].isNullish() ? Value::fromObject(vm.global()) : args[0];
        Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
        return vm.call(thisValue, self, rest);
    });
    proto->defineMethod(vm, QStringLiteral("apply"), [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        const Value self = arg(args, 0).isNullish() ? Value::fromObject(vm.global()) : arg(args, 0);
        Args list;
        const Value a = arg(args, 1);
        if (a.isObject()) {
            const std::uint32_t n = vm.lengthOf(a.object);
            for (std::uint32_t i = 0; i < n; ++i)
                list.push_back(vm.getMember(a.object, QString::number(i)));
        }
        return vm.call(thisValue, self, list);
    });
}

void installErrorClass(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.errorPrototype = proto;
    proto->define(QStringLiteral("message"), Value::fromString(QStringLiteral("Error")), DontEnum);
    proto->define(QStringLiteral("name"), Value::fromString(QStringLiteral("Error")), DontEnum);
    vm.newClass(QStringLiteral("Error"), proto, [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        Object* o = thisObject(thisValue);
        if (!o || o == vm.global()) {
            o = vm.heap().make<Object>(vm.errorPrototype, ObjectKind::Error);
        }
        if (!args.empty() && !args[0].isUndefined())
            vm.setMember(o, QStringLiteral("message"), args[0]);
        return Value::fromObject(o);
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& thisValue, Args&) -> Value {
        return Value::fromString(vm.toString(vm.getMember(thisValue, QStringLiteral("message"))));
    });
}

void installBroadcaster(Vm& vm)
{
    // AsBroadcaster is a class of its own (a function with a prototype)
    // whose static methods do the work.
    FunctionObject* broadcaster = vm.newClass(QStringLiteral("AsBroadcaster"), vm.newObject(),
                                              [](Vm&, const Value&, Args&) -> Value { return Value(); });
    FunctionObject* addListener = vm.newNative([](Vm& vm, const Value& thisValue, Args& args) -> Value {
        const Value list = vm.getMember(thisValue, QStringLiteral("_listeners"));
        if (!list.isObject() || list.object->kind() != ObjectKind::Array)
            return Value::fromBool(true);
        auto& elements = static_cast<ArrayObject*>(list.object)->elements;
        const Value listener = arg(args, 0);
        for (const Value& l : elements)
            if (l.isObject() && listener.isObject() && l.object == listener.object)
                return Value::fromBool(true);
        elements.push_back(listener);
        return Value::fromBool(true);
    });
    FunctionObject* removeListener = vm.newNative([](Vm& vm, const Value& thisValue, Args& args) -> Value {
        const Value list = vm.getMember(thisValue, QStringLiteral("_listeners"));
        if (!list.isObject() || list.object->kind() != ObjectKind::Array)
            return Value::fromBool(false);
        auto& elements = static_cast<ArrayObject*>(list.object)->elements;
        const Value listener = arg(args, 0);
        for (auto it = elements.begin(); it != elements.end(); ++it) {
            if (it->isObject() && listener.isObject() && it->object == listener.object) {
                elements.erase(it);
                return Value::fromBool(true);
            }
        }
        return Value::fromBool(false);
    });
    FunctionObject* broadcast = vm.newNative([](Vm& vm, const Value& thisValue, Args& args) -> Value {
        const Value list = vm.getMember(thisValue, QStringLiteral("_listeners"));
        if (args.empty() || !list.isObject() || list.object->kind() != ObjectKind::Array)
            return Value();
        const QString name = vm.toString(args[0]);
        Args rest(args.begin() + 1, args.end());
        // Listeners added or removed by a handler take effect next time.
        const std::vector<Value> listeners = static_cast<ArrayObject*>(list.object)->elements;
        for (const Value& l : listeners)
            vm.callMethod(l, name, rest);
        return Value::fromBool(!listeners.empty());
    });
    // initialize hands out these three, so they live as long as the machine.
    vm.pin(addListener);
    vm.pin(removeListener);
    vm.pin(broadcast);
    broadcaster->define(QStringLiteral("addListener"), Value::fromObject(addListener), DontEnum);
    broadcaster->define(QStringLiteral("removeListener"), Value::fromObject(removeListener), DontEnum);
    broadcaster->define(QStringLiteral("broadcastMessage"), Value::fromObject(broadcast), DontEnum);
    broadcaster->defineMethod(vm, QStringLiteral("initialize"), [=](Vm& vm, const Value&, Args& args) -> Value {
        const Value target = arg(args, 0);
        if (!target.isObject())
            return Value();
        Object* o = target.object;
        o->define(QStringLiteral("_listeners"), Value::fromObject(vm.newArray()), DontEnum);
        o->define(QStringLiteral("addListener"), Value::fromObject(addListener), DontEnum);
        o->define(QStringLiteral("removeListener"), Value::fromObject(removeListener), DontEnum);
        o->define(QStringLiteral("broadcastMessage"), Value::fromObject(broadcast), DontEnum);
        return Value();
    });
}

void installTimersAndFlags(Vm& vm)
{
    Object* g = vm.global();
    g->define(QStringLiteral("NaN"), Value::fromNumber(std::nan("")), DontEnum | DontDelete);
    g->define(QStringLiteral("Infinity"), Value::fromNumber(INFINITY), DontEnum | DontDelete);
    auto addTimer = [](bool repeat) {
        return [repeat](Vm& vm, const Value&, Args& args) -> Value {
            const Value first = arg(args, 0);
            if (!first.isObject())
                return Value();
            if (first.object->kind() == ObjectKind::Function) {
                if (args.size() < 2 || args[1].isUndefined())
                    return Value();
                Args rest(args.begin() + 2, args.end());
                return Value::fromNumber(vm.addTimer(Value(), first, QString(), vm.toNumber(args[1]), rest, repeat));
            }
            if (args.size() < 3 || args[2].isUndefined())
                return Value();
            Args rest(args.begin() + 3, args.end());
            QString method = vm.toString(args[1]);
            if (method.isNull())
                method = QStringLiteral("");
            return Value::fromNumber(vm.addTimer(first, Value(), method, vm.toNumber(args[2]), rest, repeat));
        };
    };
    g->defineMethod(vm, QStringLiteral("setInterval"), addTimer(true));
    g->defineMethod(vm, QStringLiteral("setTimeout"), addTimer(false));
    auto clear = [](Vm& vm, const Value&, Args& args) -> Value {
        if (!args.empty())
            vm.clearTimer(int(vm.toNumber(args[0])));
        return Value();
    };
    g->defineMethod(vm, QStringLiteral("clearInterval"), clear);
    g->defineMethod(vm, QStringLiteral("clearTimeout"), clear);
    g->defineMethod(vm, QStringLiteral("getTimer"), [](Vm& vm, const Value&, Args&) -> Value {
        return Value::fromNumber(std::floor(vm.timer()));
    });
    g->defineMethod(vm, QStringLiteral("updateAfterEvent"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
    g->defineMethod(vm, QStringLiteral("ASSetPropFlags"), [](Vm& vm, const Value&, Args& args) -> Value {
        const Value target = arg(args, 0);
        if (!target.isObject())
            return Value();
        Object* o = target.object;
        const std::vector<QString> names = nameList(vm, o, arg(args, 1));
        const std::uint32_t set = toUint32(vm.toNumber(arg(args, 2)));
        const std::uint32_t clear = args.size() > 3 ? toUint32(vm.toNumber(args[3])) : 0;
        for (const QString& name : names) {
            Property* p = o->findOwn(name);
            if (!p && o->kind() == ObjectKind::Array) {
                // Elements take the three attribute bits only.
                auto* array = static_cast<ArrayObject*>(o);
                if (const auto i = ArrayObject::indexOf(name))
                    array->setElementFlags(*i, std::uint8_t((array->elementFlags(*i) & ~clear & 7) | (set & 7)));
                continue;
            }
            if (!p)
                continue;
            p->flags = std::uint8_t((p->flags & ~clear & 7) | (set & 7));
            // Higher bits hide a property from movies below a version.
            const std::uint32_t bits = (p->hiddenBelowVersion ? 0 : 0) | set;
            std::uint8_t hidden = 0;
            if (bits & (1u << 14))
                hidden = 10;
            else if (bits & (1u << 13))
                hidden = 9;
            else if (bits & (1u << 12))
                hidden = 8;
            else if (bits & (1u << 10))
                hidden = 7;
            else if (bits & (1u << 7))
                hidden = 6;
            if (clear & ((1u << 7) | (1u << 10) | (1u << 12) | (1u << 13) | (1u << 14)))
                p->hiddenBelowVersion = 0;
            if (hidden)
                p->hiddenBelowVersion = hidden;
        }
        return Value();
    });
}

void installPlaceholders(Vm& vm)
{
    // Classes a later stage fills in exist already, so scripts that touch
    // them go on.
    const char* const classes[] = {"Sound",      "Color",        "TextField",    "TextFormat",  "XML",
                                   "XMLNode",    "LoadVars",     "NetConnection", "NetStream", "Video",
                                   "Camera",     "Microphone",   "SharedObject", "LocalConnection",
                                   "ContextMenu", "ContextMenuItem", "Button",    "XMLSocket",  "PrintJob",
                                   "MovieClipLoader", "LoadVars"};
    for (const char* name : classes) {
        const QString n = QString::fromLatin1(name);
        if (vm.global()->findOwn(n))
            continue;
        Object* proto = vm.newObject();
        vm.newClass(n, proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    }
    const char* const objects[] = {"Key", "Mouse", "Stage", "Selection", "System", "Accessibility"};
    for (const char* name : objects) {
        const QString n = QString::fromLatin1(name);
        if (!vm.global()->findOwn(n))
            vm.global()->define(n, Value::fromObject(vm.newObject()), DontEnum);
    }
    // The objects that tell listeners of events share AsBroadcaster's methods.
    const Value broadcaster = vm.getMember(vm.global(), QStringLiteral("AsBroadcaster"));
    auto makeBroadcaster = [&](Object* o) {
        vm.callMethod(broadcaster, QStringLiteral("initialize"), {Value::fromObject(o)});
    };
    for (const char* name : {"Key", "Mouse", "Stage", "Selection"})
        makeBroadcaster(vm.getMember(vm.global(), QString::fromLatin1(name)).object);
    Object* ime = vm.newObject();
    makeBroadcaster(ime);
    vm.getMember(vm.global(), QStringLiteral("System")).object->define(QStringLiteral("IME"), Value::fromObject(ime), DontEnum);
    makeBroadcaster(vm.getMember(vm.getMember(vm.global(), QStringLiteral("MovieClipLoader")), QStringLiteral("prototype")).object);

    Object* key = vm.getMember(vm.global(), QStringLiteral("Key")).object;
    const std::pair<const char*, int> keys[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
        {"ENTER", 13},    {"ESCAPE", 27},   {"HOME", 36},    {"INSERT", 45},    {"LEFT", 37}, {"PGDN", 34},
        {"PGUP", 33},     {"RIGHT", 39},    {"SHIFT", 16},   {"SPACE", 32},     {"TAB", 9},   {"UP", 38},
    };
    for (const auto& [name, code] : keys)
        key->define(QString::fromLatin1(name), Value::fromNumber(code), DontEnum | DontDelete | ReadOnly);
    if (vm.version() >= 8) {
        Object* flash = vm.newObject();
        vm.global()->define(QStringLiteral("flash"), Value::fromObject(flash), DontEnum);
        for (const char* package : {"geom", "filters", "display", "external", "net", "text"})
            flash->define(QString::fromLatin1(package), Value::fromObject(vm.newObject()), DontEnum);
    }
}

} // namespace qev::swf::avm1
