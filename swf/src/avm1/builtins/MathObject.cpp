// The Math object: a plain object holding the usual constants and
// functions. Missing arguments read as NaN.

#include "avm1/builtins/Support.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

using Unary = double (*)(double);

// A method of one numeric argument.
void defineUnary(Vm& vm, Object* math, const QString& name, Unary f)
{
    math->defineMethod(vm, name, [f](Vm& vm, const Value&, Args& args) {
        return Value::fromNumber(f(argNumber(vm, args, 0)));
    });
}

// min and max: no argument gives the identity (Infinity for min,
// -Infinity for max); any NaN makes the result NaN. Every argument is
// still converted, as scripts may count on their valueOf running.
Value extreme(Vm& vm, Args& args, bool wantMax)
{
    double result = wantMax ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    bool sawNaN = false;
    for (const Value& a : args) {
        double n = vm.toNumber(a);
        if (std::isnan(n)) {
            sawNaN = true;
            continue;
        }
        // +0 is larger than -0 here, as the results must tell them apart.
        if (wantMax ? (n > result || (n == 0 && result == 0 && !std::signbit(n)))
                    : (n < result || (n == 0 && result == 0 && std::signbit(n))))
            result = n;
    }
    return Value::fromNumber(sawNaN ? kNaN : result);
}

// A uniformly spread double in [0, 1) from 53 random bits.
double randomUnit(std::mt19937& gen)
{
    const std::uint32_t high = gen() >> 5; // 27 bits
    const std::uint32_t low = gen() >> 6;  // 26 bits
    return (double(high) * 67108864.0 + double(low)) / 9007199254740992.0;
}

} // namespace

void installMathObject(Vm& vm)
{
    Object* math = vm.newObject();

    defineConstant(math, QStringLiteral("E"), Value::fromNumber(std::numbers::e));
    defineConstant(math, QStringLiteral("LN10"), Value::fromNumber(std::numbers::ln10));
    defineConstant(math, QStringLiteral("LN2"), Value::fromNumber(std::numbers::ln2));
    defineConstant(math, QStringLiteral("LOG10E"), Value::fromNumber(std::numbers::log10e));
    defineConstant(math, QStringLiteral("LOG2E"), Value::fromNumber(std::numbers::log2e));
    defineConstant(math, QStringLiteral("PI"), Value::fromNumber(std::numbers::pi));
    defineConstant(math, QStringLiteral("SQRT1_2"), Value::fromNumber(1.0 / std::numbers::sqrt2));
    defineConstant(math, QStringLiteral("SQRT2"), Value::fromNumber(std::numbers::sqrt2));

    defineUnary(vm, math, QStringLiteral("abs"), [](double x) { return std::fabs(x); });
    defineUnary(vm, math, QStringLiteral("acos"), [](double x) { return std::acos(x); });
    defineUnary(vm, math, QStringLiteral("asin"), [](double x) { return std::asin(x); });
    defineUnary(vm, math, QStringLiteral("atan"), [](double x) { return std::atan(x); });
    defineUnary(vm, math, QStringLiteral("ceil"), [](double x) { return std::ceil(x); });
    defineUnary(vm, math, QStringLiteral("cos"), [](double x) { return std::cos(x); });
    defineUnary(vm, math, QStringLiteral("exp"), [](double x) { return std::exp(x); });
    defineUnary(vm, math, QStringLiteral("floor"), [](double x) { return std::floor(x); });
    defineUnary(vm, math, QStringLiteral("log"), [](double x) { return std::log(x); });
    // round is floor(x + 0.5): halves go up, also for negative numbers
    // (-2.5 rounds to -2).
    defineUnary(vm, math, QStringLiteral("round"), [](double x) { return std::floor(x + 0.5); });
    defineUnary(vm, math, QStringLiteral("sin"), [](double x) { return std::sin(x); });
    defineUnary(vm, math, QStringLiteral("sqrt"), [](double x) { return std::sqrt(x); });
    defineUnary(vm, math, QStringLiteral("tan"), [](double x) { return std::tan(x); });

    math->defineMethod(vm, QStringLiteral("atan2"), [](Vm& vm, const Value&, Args& args) {
        return Value::fromNumber(std::atan2(argNumber(vm, args, 0), argNumber(vm, args, 1)));
    });
    math->defineMethod(vm, QStringLiteral("pow"), [](Vm& vm, const Value&, Args& args) {
        const double x = argNumber(vm, args, 0), y = argNumber(vm, args, 1);
        // C's pow gives 1 for pow(1, NaN) and pow(-1, ±Infinity); script
        // arithmetic wants NaN there.
        if (std::isnan(y) || (std::fabs(x) == 1 && std::isinf(y)))
            return Value::fromNumber(kNaN);
        return Value::fromNumber(std::pow(x, y));
    });
    math->defineMethod(vm, QStringLiteral("min"), [](Vm& vm, const Value&, Args& args) { return extreme(vm, args, false); });
    math->defineMethod(vm, QStringLiteral("max"), [](Vm& vm, const Value&, Args& args) { return extreme(vm, args, true); });
    math->defineMethod(vm, QStringLiteral("random"), [](Vm& vm, const Value&, Args&) {
        return Value::fromNumber(randomUnit(vm.random()));
    });

    defineGlobal(vm, QStringLiteral("Math"), Value::fromObject(math));
}

} // namespace qev::swf::avm1
