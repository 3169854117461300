#pragma once

// Small helpers the built-in classes share: reading arguments that may be
// missing, and putting a class or constant where scripts find it.

#include "avm1/ClipObject.h"
#include "avm1/Function.h"
#include "avm1/Host.h"
#include "avm1/Object.h"
#include "avm1/Vm.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace qev::swf::avm1::builtins {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The clip a value stands for, while it is on the stage; null otherwise.
inline ClipObject* liveClip(Vm& vm, const Value& v)
{
    if (!v.isObject() || v.object->kind() != ObjectKind::Clip || !vm.host())
        return nullptr;
    auto* c = static_cast<ClipObject*>(v.object);
    return vm.host()->isLive(c) ? c : nullptr;
}

// A getter (and optionally a setter) on an object, hidden from for-in.
inline void defineVirtual(Vm& vm, Object* o, const QString& name, NativeFunction getter, NativeFunction setter = {})
{
    o->define(name, Value(), DontEnum);
    Property* p = o->findOwn(name);
    p->getter = vm.newNative(std::move(getter));
    p->setter = setter ? vm.newNative(std::move(setter)) : nullptr;
}

// The i-th argument, undefined when the script passed fewer.
inline const Value& arg(const Args& args, std::size_t i)
{
    static const Value missing;
    return i < args.size() ? args[i] : missing;
}

// The i-th argument as a number; missing arguments read as NaN, which is
// what the methods see when a script leaves one out.
inline double argNumber(Vm& vm, const Args& args, std::size_t i)
{
    return i < args.size() ? vm.toNumber(args[i]) : kNaN;
}

// ECMA ToInteger of a number: NaN is 0, infinities stay, the rest rounds
// toward zero.
inline double integerOf(double n)
{
    if (std::isnan(n))
        return 0;
    if (std::isinf(n))
        return n;
    return std::trunc(n);
}

// A relative index as slice and splice read it: negative counts from the
// end; the result lies in [0, length].
inline double relativeIndex(double n, double length)
{
    n = integerOf(n);
    if (n < 0)
        return std::max(length + n, 0.0);
    return std::min(n, length);
}

// Built-in constants can be neither enumerated, deleted nor overwritten.
inline void defineConstant(Object* o, const QString& name, const Value& v)
{
    o->define(name, v, DontEnum | DontDelete | ReadOnly);
}

// Classes and global functions live on the global object, hidden from
// for-in.
inline void defineGlobal(Vm& vm, const QString& name, const Value& v)
{
    vm.global()->define(name, v, DontEnum);
}

} // namespace qev::swf::avm1::builtins
