// The Number and Boolean classes: conversion when called, wrapper objects
// under `new`, Number's constants and the prototypes' toString and valueOf.

#include "avm1/builtins/Support.h"

#include <limits>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// The number a Number method works on: a primitive number, a Number
// wrapper's value, another primitive converted. Other objects give NaN
// rather than a conversion, which would call valueOf and could come
// straight back here.
double thisNumber(Vm& vm, const Value& self)
{
    if (self.isNumber())
        return self.number;
    if (self.isObject()) {
        if (self.object->kind() == ObjectKind::Number && self.object->primitive.isNumber())
            return self.object->primitive.number;
        return kNaN;
    }
    return vm.toNumber(self);
}

// The same for Boolean methods; other objects read as false.
bool thisBoolean(Vm& vm, const Value& self)
{
    if (self.isBoolean())
        return self.boolean;
    if (self.isObject()) {
        if (self.object->kind() == ObjectKind::Boolean && self.object->primitive.isBoolean())
            return self.object->primitive.boolean;
        return false;
    }
    return vm.toBoolean(self);
}

Value callNumber(Vm& vm, const Value&, Args& args)
{
    return Value::fromNumber(args.empty() ? 0.0 : vm.toNumber(args[0]));
}

Value constructNumber(Vm& vm, const Value& self, Args& args)
{
    auto* wrapper = vm.heap().make<Object>(vm.numberPrototype, ObjectKind::Number);
    wrapper->primitive = callNumber(vm, self, args);
    return Value::fromObject(wrapper);
}

// toString(radix): radix 10 (or none) is the ordinary number form; 2..36
// use that base; others fall back to 10.
Value numberToStringMethod(Vm& vm, const Value& self, Args& args)
{
    const double n = thisNumber(vm, self);
    int radix = 10;
    if (!arg(args, 0).isUndefined()) {
        double r = integerOf(vm.toNumber(args[0]));
        if (r >= 2 && r <= 36)
            radix = int(r);
    }
    return Value::fromString(radix == 10 ? numberToString(n) : numberToStringRadix(n, radix));
}

Value numberValueOf(Vm& vm, const Value& self, Args&)
{
    return Value::fromNumber(thisNumber(vm, self));
}

// Boolean() called with nothing gives undefined; new Boolean() is false.
Value callBoolean(Vm& vm, const Value&, Args& args)
{
    return args.empty() ? Value() : Value::fromBool(vm.toBoolean(args[0]));
}

Value constructBoolean(Vm& vm, const Value&, Args& args)
{
    auto* wrapper = vm.heap().make<Object>(vm.booleanPrototype, ObjectKind::Boolean);
    wrapper->primitive = Value::fromBool(!args.empty() && vm.toBoolean(args[0]));
    return Value::fromObject(wrapper);
}

Value booleanToString(Vm& vm, const Value& self, Args&)
{
    return Value::fromString(thisBoolean(vm, self) ? QStringLiteral("true") : QStringLiteral("false"));
}

Value booleanValueOf(Vm& vm, const Value& self, Args&)
{
    return Value::fromBool(thisBoolean(vm, self));
}

} // namespace

void installNumberAndBooleanClasses(Vm& vm)
{
    // Each prototype is itself a wrapper (of 0 and of false), so that its
    // methods called on it directly find a value.
    auto* numberProto = vm.heap().make<Object>(vm.objectPrototype, ObjectKind::Number);
    numberProto->primitive = Value::fromNumber(0);
    vm.numberPrototype = numberProto;
    FunctionObject* number = vm.newClass(QStringLiteral("Number"), numberProto, callNumber, constructNumber);

    using limits = std::numeric_limits<double>;
    defineConstant(number, QStringLiteral("MAX_VALUE"), Value::fromNumber(limits::max()));
    defineConstant(number, QStringLiteral("MIN_VALUE"), Value::fromNumber(limits::denorm_min()));
    defineConstant(number, QStringLiteral("NaN"), Value::fromNumber(kNaN));
    defineConstant(number, QStringLiteral("NEGATIVE_INFINITY"), Value::fromNumber(-limits::infinity()));
    defineConstant(number, QStringLiteral("POSITIVE_INFINITY"), Value::fromNumber(limits::infinity()));

    numberProto->defineMethod(vm, QStringLiteral("toString"), numberToStringMethod);
    numberProto->defineMethod(vm, QStringLiteral("valueOf"), numberValueOf);
    defineGlobal(vm, QStringLiteral("Number"), Value::fromObject(number));

    auto* booleanProto = vm.heap().make<Object>(vm.objectPrototype, ObjectKind::Boolean);
    booleanProto->primitive = Value::fromBool(false);
    vm.booleanPrototype = booleanProto;
    FunctionObject* boolean = vm.newClass(QStringLiteral("Boolean"), booleanProto, callBoolean, constructBoolean);

    booleanProto->defineMethod(vm, QStringLiteral("toString"), booleanToString);
    booleanProto->defineMethod(vm, QStringLiteral("valueOf"), booleanValueOf);
    defineGlobal(vm, QStringLiteral("Boolean"), Value::fromObject(boolean));
}

} // namespace qev::swf::avm1
