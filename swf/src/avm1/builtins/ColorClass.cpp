// Color: a clip's colour transform for scripts. new Color(target) keeps
// the clip (or the path that names it); setRGB paints it one colour,
// setTransform sets multipliers (percent) and offsets.

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;
using Tint = Host::Tint;

// The clip a Color object stands for: its target, resolved now (a path
// string is looked up from the main timeline).
ClipObject* targetOf(Vm& vm, const Value& self)
{
    if (!self.isObject() || !vm.host())
        return nullptr;
    const Value target = vm.getMember(self, QStringLiteral("target"));
    ClipObject* c = vm.clipFromValue(vm.host()->rootClip(), target);
    return c && vm.host()->isLive(c) ? c : nullptr;
}

const char* const mulNames[] = {"ra", "ga", "ba", "aa"};
const char* const addNames[] = {"rb", "gb", "bb", "ab"};

} // namespace

void installColorClass(Vm& vm)
{
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newClass(QStringLiteral("Color"), proto, [](Vm&, const Value& self, Args& args) -> Value {
        if (self.isObject())
            self.object->define(QStringLiteral("target"), arg(args, 0), DontEnum);
        return Value();
    });
    (void)ctor;
    proto->defineMethod(vm, QStringLiteral("setRGB"), [](Vm& vm, const Value& self, Args& args) -> Value {
        ClipObject* c = targetOf(vm, self);
        Tint tint;
        if (!c || !vm.host()->getTint(c, tint))
            return Value();
        const std::uint32_t rgb = toUint32(vm.toNumber(arg(args, 0)));
        for (int i = 0; i < 3; ++i) {
            tint.mul[i] = 0;
            tint.add[i] = (rgb >> (16 - 8 * i)) & 0xFF;
        }
        vm.host()->setTint(c, tint);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("getRGB"), [](Vm& vm, const Value& self, Args&) -> Value {
        ClipObject* c = targetOf(vm, self);
        Tint tint;
        if (!c || !vm.host()->getTint(c, tint))
            return Value();
        auto channel = [&](int i) { return std::uint32_t(std::clamp(tint.add[i], 0.0, 255.0)); };
        return Value::fromNumber((channel(0) << 16) | (channel(1) << 8) | channel(2));
    });
    proto->defineMethod(vm, QStringLiteral("setTransform"), [](Vm& vm, const Value& self, Args& args) -> Value {
        ClipObject* c = targetOf(vm, self);
        Tint tint;
        const Value t = arg(args, 0);
        if (!c || !t.isObject() || !vm.host()->getTint(c, tint))
            return Value();
        // Fields left out keep their value.
        for (int i = 0; i < 4; ++i) {
            const Value m = vm.getMember(t, QString::fromLatin1(mulNames[i]));
            if (!m.isUndefined())
                tint.mul[i] = vm.toNumber(m);
            const Value a = vm.getMember(t, QString::fromLatin1(addNames[i]));
            if (!a.isUndefined())
                tint.add[i] = vm.toNumber(a);
        }
        for (int i = 0; i < 4; ++i)
            if (!std::isfinite(tint.mul[i]) || !std::isfinite(tint.add[i]))
                return Value();
        vm.host()->setTint(c, tint);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("getTransform"), [](Vm& vm, const Value& self, Args&) -> Value {
        ClipObject* c = targetOf(vm, self);
        Tint tint;
        if (!c || !vm.host()->getTint(c, tint))
            return Value();
        Object* o = vm.newObject();
        for (int i = 0; i < 4; ++i) {
            o->define(QString::fromLatin1(mulNames[i]), Value::fromNumber(tint.mul[i]));
            o->define(QString::fromLatin1(addNames[i]), Value::fromNumber(tint.add[i]));
        }
        return Value::fromObject(o);
    });
}

} // namespace qev::swf::avm1
