// The String class: conversion when called, a wrapper object under `new`,
// String.fromCharCode and the prototype methods. Strings are sequences of
// UTF-16 code units, and every index here counts code units.

#include "avm1/ArrayObject.h"
#include "avm1/builtins/Support.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// The string a method works on: a primitive `this` as it is, a String
// wrapper's held primitive, anything else converted.
QString thisString(Vm& vm, const Value& self)
{
    if (self.isString())
        return self.string;
    if (self.isObject() && self.object->kind() == ObjectKind::String && self.object->primitive.isString())
        return self.object->primitive.string;
    return vm.toString(self);
}

Value str(QString s)
{
    return Value::fromString(std::move(s));
}

Value callString(Vm& vm, const Value&, Args& args)
{
    return str(args.empty() ? QString() : vm.toString(args[0]));
}

Value constructString(Vm& vm, const Value&, Args& args)
{
    auto* wrapper = vm.heap().make<Object>(vm.stringPrototype, ObjectKind::String);
    const QString s = args.empty() ? QString() : vm.toString(args[0]);
    wrapper->primitive = str(s);
    // The wrapper answers .length like the primitive does; the string it
    // holds never changes, so a stored value stays right.
    wrapper->define(QStringLiteral("length"), Value::fromNumber(double(s.size())), DontEnum | DontDelete | ReadOnly);
    return Value::fromObject(wrapper);
}

Value fromCharCode(Vm& vm, const Value&, Args& args)
{
    QString out;
    out.reserve(qsizetype(args.size()));
    for (const Value& a : args)
        out.append(QChar(char16_t(toUint32(vm.toNumber(a)) & 0xFFFF)));
    return str(out);
}

// The code-unit position an argument names, as charAt and charCodeAt read
// it: NaN is 0, fractions drop.
double positionArg(Vm& vm, const Args& args, std::size_t i)
{
    return integerOf(i < args.size() ? vm.toNumber(args[i]) : 0.0);
}

Value charAt(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const double pos = positionArg(vm, args, 0);
    if (pos < 0 || pos >= double(s.size()))
        return str(QString());
    return str(QString(s.at(qsizetype(pos))));
}

Value charCodeAt(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const double pos = positionArg(vm, args, 0);
    if (pos < 0 || pos >= double(s.size()))
        return Value::fromNumber(kNaN);
    return Value::fromNumber(s.at(qsizetype(pos)).unicode());
}

Value concat(Vm& vm, const Value& self, Args& args)
{
    QString s = thisString(vm, self);
    const auto maxChars = qsizetype(vm.limits().maxStringLength);
    for (const Value& a : args) {
        s += vm.toString(a);
        if (s.size() > maxChars) {
            s.truncate(maxChars);
            break;
        }
    }
    return str(s);
}

// indexOf(search, from): the first match at or after from (clamped into
// the string), or -1.
Value indexOf(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const QString search = args.empty() ? QStringLiteral("undefined") : vm.toString(args[0]);
    const double from = std::clamp(positionArg(vm, args, 1), 0.0, double(s.size()));
    return Value::fromNumber(double(s.indexOf(search, qsizetype(from))));
}

// lastIndexOf(search, from): the last match that starts at or before from
// (the end when from is missing or NaN), or -1.
Value lastIndexOf(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const QString search = args.empty() ? QStringLiteral("undefined") : vm.toString(args[0]);
    double from = double(s.size());
    if (args.size() > 1) {
        double n = vm.toNumber(args[1]);
        if (!std::isnan(n))
            from = std::clamp(integerOf(n), 0.0, double(s.size()));
    }
    for (qsizetype i = std::min(qsizetype(from), s.size() - search.size()); i >= 0; --i) {
        if (QStringView(s).mid(i, search.size()) == search)
            return Value::fromNumber(double(i));
    }
    return Value::fromNumber(-1);
}

// slice(start, end): negative positions count from the end.
Value slice(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const double length = double(s.size());
    const double start = relativeIndex(args.empty() ? 0.0 : vm.toNumber(args[0]), length);
    const double end = arg(args, 1).isUndefined() ? length : relativeIndex(vm.toNumber(args[1]), length);
    if (end <= start)
        return str(QString());
    return str(s.mid(qsizetype(start), qsizetype(end - start)));
}

// substring(start, end): negative or NaN positions are 0, both clamp to
// the length, and the smaller one is the start.
Value substring(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const double length = double(s.size());
    double start = std::clamp(positionArg(vm, args, 0), 0.0, length);
    double end = arg(args, 1).isUndefined() ? length : std::clamp(positionArg(vm, args, 1), 0.0, length);
    if (start > end)
        std::swap(start, end);
    return str(s.mid(qsizetype(start), qsizetype(end - start)));
}

// substr(start, length): a negative start counts from the end; a missing
// length takes the rest, a negative one takes nothing.
Value substr(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    const double length = double(s.size());
    const double start = relativeIndex(args.empty() ? 0.0 : vm.toNumber(args[0]), length);
    double count = length - start;
    if (!arg(args, 1).isUndefined())
        count = std::clamp(integerOf(vm.toNumber(args[1])), 0.0, count);
    return str(s.mid(qsizetype(start), qsizetype(count)));
}

// split(separator, limit): an undefined separator gives the whole string
// as the only element, an empty one each code unit; at most limit
// elements come back.
Value split(Vm& vm, const Value& self, Args& args)
{
    const QString s = thisString(vm, self);
    double limit = double(vm.limits().maxArrayLength);
    if (!arg(args, 1).isUndefined())
        limit = std::min(limit, double(toUint32(vm.toNumber(args[1]))));
    const auto max = std::size_t(limit);

    std::vector<Value> parts;
    if (max == 0)
        return Value::fromObject(vm.newArray());
    if (arg(args, 0).isUndefined()) {
        parts.push_back(str(s));
        return Value::fromObject(vm.newArray(std::move(parts)));
    }
    const QString sep = vm.toString(args[0]);
    if (sep.isEmpty()) {
        for (qsizetype i = 0; i < s.size() && parts.size() < max; ++i)
            parts.push_back(str(QString(s.at(i))));
        return Value::fromObject(vm.newArray(std::move(parts)));
    }
    qsizetype from = 0;
    while (parts.size() < max) {
        qsizetype at = s.indexOf(sep, from);
        if (at < 0) {
            parts.push_back(str(s.mid(from)));
            break;
        }
        parts.push_back(str(s.mid(from, at - from)));
        from = at + sep.size();
    }
    return Value::fromObject(vm.newArray(std::move(parts)));
}

Value toLowerCase(Vm& vm, const Value& self, Args&)
{
    return str(thisString(vm, self).toLower());
}

Value toUpperCase(Vm& vm, const Value& self, Args&)
{
    return str(thisString(vm, self).toUpper());
}

// toString and valueOf give the primitive string.
Value valueOf(Vm& vm, const Value& self, Args&)
{
    return str(thisString(vm, self));
}

} // namespace

void installStringClass(Vm& vm)
{
    // The prototype is itself a String wrapper of "", so that the methods
    // called on it directly find a string.
    auto* proto = vm.heap().make<Object>(vm.objectPrototype, ObjectKind::String);
    proto->primitive = str(QString());
    vm.stringPrototype = proto;
    FunctionObject* cls = vm.newClass(QStringLiteral("String"), proto, callString, constructString);

    cls->defineMethod(vm, QStringLiteral("fromCharCode"), fromCharCode);

    proto->defineMethod(vm, QStringLiteral("charAt"), charAt);
    proto->defineMethod(vm, QStringLiteral("charCodeAt"), charCodeAt);
    proto->defineMethod(vm, QStringLiteral("concat"), concat);
    proto->defineMethod(vm, QStringLiteral("indexOf"), indexOf);
    proto->defineMethod(vm, QStringLiteral("lastIndexOf"), lastIndexOf);
    proto->defineMethod(vm, QStringLiteral("slice"), slice);
    proto->defineMethod(vm, QStringLiteral("split"), split);
    proto->defineMethod(vm, QStringLiteral("substr"), substr);
    proto->defineMethod(vm, QStringLiteral("substring"), substring);
    proto->defineMethod(vm, QStringLiteral("toLowerCase"), toLowerCase);
    proto->defineMethod(vm, QStringLiteral("toUpperCase"), toUpperCase);
    proto->defineMethod(vm, QStringLiteral("toString"), valueOf);
    proto->defineMethod(vm, QStringLiteral("valueOf"), valueOf);

    defineGlobal(vm, QStringLiteral("String"), Value::fromObject(cls));
}

} // namespace qev::swf::avm1
