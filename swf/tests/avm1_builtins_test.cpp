// The script built-ins (Array, String, Number, Boolean, Math, Date and the
// global parse/escape functions), called through the machine the way
// scripts call them.

#include "avm1/ArrayObject.h"
#include "avm1/Vm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>

using namespace qev::swf::avm1;

namespace {

Value num(double n)
{
    return Value::fromNumber(n);
}

Value str(const char* s)
{
    return Value::fromString(QString::fromUtf8(s));
}

class Builtins : public ::testing::Test {
protected:
    Vm vm{8, nullptr};

    Value global(const char* name) { return vm.getMember(Value::fromObject(vm.global()), QString::fromUtf8(name)); }
    Value make(const char* cls, Args args = {}) { return vm.construct(global(cls), args); }
    Value callGlobal(const char* name, Args args = {}) { return vm.call(global(name), Value::undefined(), args); }
    // A method looked up on the class prototype, so that primitive `this`
    // values reach it exactly as given.
    Value method(const char* cls, const Value& self, const char* name, Args args = {})
    {
        Value proto = vm.getMember(global(cls), QStringLiteral("prototype"));
        return vm.call(vm.getMember(proto, QString::fromUtf8(name)), self, args);
    }
    Value array(std::initializer_list<Value> items) { return make("Array", Args(items)); }
    Value arr(const Value& a, const char* name, Args args = {}) { return method("Array", a, name, args); }
    std::string joined(const Value& a) { return text(arr(a, "join")); }
    Value strm(const char* s, const char* name, Args args = {}) { return method("String", str(s), name, args); }
    double number(const Value& v) { return vm.toNumber(v); }
    // Strings come back as UTF-8 so that failures print readably.
    std::string text(const Value& v) { return vm.toString(v).toStdString(); }
    double constant(const char* cls, const char* name) { return number(vm.getMember(global(cls), QString::fromUtf8(name))); }
};

TEST_F(Builtins, ArrayConstructionJoinAndLimits)
{
    EXPECT_EQ(vm.lengthOf(make("Array", {num(3)}).object), 3u);
    EXPECT_EQ(joined(array({num(1), str("b"), Value::fromBool(true)})), "1,b,true");
    EXPECT_EQ(vm.lengthOf(make("Array", {str("3")}).object), 1u);
    EXPECT_EQ(text(arr(array({num(1), num(2)}), "join", {str(" - ")})), "1 - 2");
    EXPECT_EQ(text(arr(array({num(1), num(2)}), "toString")), "1,2");

    // An array inside itself joins as empty where it recurs.
    Value self = array({str("1")});
    arr(self, "push", {self});
    EXPECT_EQ(joined(self), "1,");

    // Undefined elements print as the version prints undefined.
    EXPECT_EQ(text(make("Array", {num(2)})), "undefined,undefined");
    Vm v6(6, nullptr);
    Args two{num(2)};
    EXPECT_EQ(v6.toString(v6.construct(v6.getMember(Value::fromObject(v6.global()), QStringLiteral("Array")), two)).toStdString(), ",");

    // A plain object with a length works through its members.
    Value like = Value::fromObject(vm.newObject());
    vm.setMember(like, QStringLiteral("length"), num(1));
    vm.setMember(like, QStringLiteral("0"), str("a"));
    EXPECT_EQ(number(arr(like, "push", {str("b")})), 2);
    EXPECT_EQ(text(vm.getMember(like, QStringLiteral("1"))), "b");
    EXPECT_EQ(text(arr(like, "join", {str("+")})), "a+b");
    EXPECT_TRUE(arr(str("abc"), "pop").isUndefined());

    vm.limits().maxArrayLength = 10;
    EXPECT_EQ(vm.lengthOf(make("Array", {num(1e9)}).object), 10u);
    Value full = make("Array", {num(9)});
    EXPECT_EQ(number(arr(full, "push", {num(1), num(2), num(3)})), 10);
    EXPECT_EQ(number(arr(full, "unshift", {num(1)})), 10);
}

TEST_F(Builtins, ArrayMutatorsAndSpliceEdges)
{
    Value a = array({num(1), num(2), num(3)});
    EXPECT_EQ(number(arr(a, "push", {num(4), num(5)})), 5);
    EXPECT_EQ(number(arr(a, "pop")), 5);
    EXPECT_EQ(number(arr(a, "shift")), 1);
    EXPECT_EQ(number(arr(a, "unshift", {num(0), num(1)})), 5);
    EXPECT_EQ(joined(a), "0,1,2,3,4");
    EXPECT_TRUE(arr(array({}), "pop").isUndefined());

    EXPECT_EQ(joined(arr(a, "splice", {num(1), num(2)})), "1,2");
    EXPECT_EQ(joined(a), "0,3,4");
    EXPECT_EQ(joined(arr(a, "splice", {num(-1)})), "4");
    EXPECT_EQ(joined(a), "0,3");
    EXPECT_EQ(joined(arr(a, "splice", {num(1), num(0), str("x"), str("y")})), "");
    EXPECT_EQ(joined(a), "0,x,y,3");
    EXPECT_EQ(joined(arr(a, "splice", {num(10), num(5)})), "");
    // A negative or undefined count, or an undefined start, does nothing.
    EXPECT_TRUE(arr(a, "splice", {num(-100), num(-3)}).isUndefined());
    EXPECT_TRUE(arr(a, "splice", {num(1), Value::undefined()}).isUndefined());
    EXPECT_TRUE(arr(a, "splice", {Value::undefined()}).isUndefined());
    EXPECT_EQ(joined(a), "0,x,y,3");
    EXPECT_EQ(joined(arr(a, "splice", {num(-2), num(99), str("z")})), "y,3");
    EXPECT_EQ(joined(a), "0,x,z");

    Value b = array({num(1), num(2), num(3), num(4)});
    EXPECT_EQ(joined(arr(b, "slice", {num(-2)})), "3,4");
    EXPECT_EQ(joined(arr(b, "slice", {num(1), num(-1)})), "2,3");
    EXPECT_EQ(joined(arr(b, "slice", {num(3), num(1)})), "");
    arr(b, "reverse");
    EXPECT_EQ(joined(b), "4,3,2,1");

    // concat opens array arguments one level only.
    Value c = arr(array({str("1")}), "concat", {num(2), array({num(3), array({num(4), num(5)})})});
    EXPECT_EQ(vm.lengthOf(c.object), 4u);
    EXPECT_EQ(joined(c), "1,2,3,4,5");
    EXPECT_TRUE(vm.getMember(c, QStringLiteral("3")).isObject());
}

// Elements are properties named by index in the player: holes stay out of
// enumeration, and elements and named properties list newest first.
class ArrayProperties : public Builtins {
protected:
    void set(const Value& a, const char* name, const Value& v) { vm.setMember(a, QString::fromUtf8(name), v); }
    Value get(const Value& a, const char* name) { return vm.getMember(a, QString::fromUtf8(name)); }
    double length(const Value& a) { return number(get(a, "length")); }
    std::string keys(const Value& a)
    {
        std::string out;
        for (const QString& n : vm.enumerate(a.object))
            out += (out.empty() ? "" : ",") + n.toStdString();
        return out;
    }
};

TEST_F(ArrayProperties, HolesAreNotElements)
{
    Value a = array({});
    set(a, "4", str("x"));
    EXPECT_EQ(length(a), 5);
    EXPECT_EQ(keys(a), "4");
    EXPECT_FALSE(vm.hasProperty(a.object, QStringLiteral("2")));
    EXPECT_TRUE(get(a, "2").isUndefined());
    EXPECT_EQ(joined(a), "undefined,undefined,undefined,undefined,x");

    // A length alone makes holes; deleting leaves one and keeps length.
    Value b = make("Array", {num(3)});
    EXPECT_EQ(keys(b), "");
    EXPECT_EQ(length(b), 3);
    Value c = array({num(1), num(2), num(3)});
    EXPECT_TRUE(vm.deleteMember(c.object, QStringLiteral("1")));
    EXPECT_EQ(keys(c), "2,0");
    EXPECT_EQ(length(c), 3);
}

TEST_F(ArrayProperties, ElementsAndNamesEnumerateTogetherNewestFirst)
{
    Value a = array({});
    set(a, "1", num(1));
    set(a, "foo", num(2));
    set(a, "0", num(3));
    set(a, "-5", num(4));
    EXPECT_EQ(keys(a), "-5,0,foo,1");
    // Writing an existing element keeps its place; recreating it moves it.
    set(a, "1", num(5));
    EXPECT_EQ(keys(a), "-5,0,foo,1");
    vm.deleteMember(a.object, QStringLiteral("1"));
    set(a, "1", num(6));
    EXPECT_EQ(keys(a), "1,-5,0,foo");
    // Names that are no numbers leave length alone.
    EXPECT_EQ(length(a), 2);
}

TEST_F(ArrayProperties, LengthIsAWrappingIntegerThatCutsIndexes)
{
    Value a = array({});
    set(a, "1", str("a"));
    set(a, "3", str("b"));
    set(a, "-5", str("c"));
    set(a, "2147483648", str("d")); // index -2147483648: below length
    EXPECT_EQ(length(a), 4);
    // Index 2147483647 wraps length to -2147483648, which cuts every
    // non-negative index before the element is stored.
    set(a, "2147483647", str("e"));
    EXPECT_EQ(length(a), -2147483648.0);
    EXPECT_EQ(keys(a), "2147483647,2147483648,-5");
    set(a, "4294967295", str("f")); // index -1
    EXPECT_EQ(length(a), 0);
    set(a, "4294967296", str("g")); // index 0
    EXPECT_EQ(length(a), 1);
    // Integer names wrap exactly, however many digits they have.
    set(a, "302231454903659441160191", str("h")); // index 2147483647
    EXPECT_EQ(length(a), -2147483648.0);
    set(a, "302231454903657293676544", str("i")); // index 0
    EXPECT_EQ(length(a), 1);
    EXPECT_TRUE(get(a, "0").isUndefined());

    Value b = array({num(1), num(2), num(3)});
    set(b, "-1", num(9));
    set(b, "length", num(1));
    EXPECT_EQ(keys(b), "-1,0");
    EXPECT_EQ(joined(b), "1");
    set(b, "length", num(4294967297.0)); // wraps to 1
    EXPECT_EQ(length(b), 1);
    set(b, "length", num(-1));
    EXPECT_EQ(length(b), -1);
    EXPECT_EQ(keys(b), "-1");
    EXPECT_EQ(joined(b), "");
}

TEST_F(ArrayProperties, MethodsReadHolesAsUndefined)
{
    Value a = array({});
    set(a, "4", num(4));
    // shift walks 0..length-1: the moved run comes back without holes.
    EXPECT_TRUE(arr(a, "shift").isUndefined());
    EXPECT_EQ(keys(a), "3,2,1,0");
    EXPECT_EQ(joined(a), "undefined,undefined,undefined,4");

    // Reading methods leave the holes of their source alone.
    Value b = array({});
    set(b, "2", str("x"));
    EXPECT_EQ(joined(arr(b, "slice", {num(0)})), "undefined,undefined,x");
    EXPECT_EQ(vm.lengthOf(arr(b, "concat", {num(1)}).object), 4u);
    EXPECT_EQ(keys(b), "2");

    // push appends at length, past the holes; pop takes the last index.
    EXPECT_EQ(number(arr(b, "push", {str("y")})), 4);
    EXPECT_EQ(keys(b), "3,2");
    EXPECT_EQ(text(arr(b, "pop")), "y");
    EXPECT_EQ(text(arr(b, "pop")), "x");
    EXPECT_TRUE(arr(b, "pop").isUndefined());
    EXPECT_EQ(length(b), 1);
    EXPECT_EQ(keys(b), "");

    Value c = array({});
    set(c, "1", str("m"));
    arr(c, "reverse");
    EXPECT_EQ(joined(c), "m,undefined");
    EXPECT_EQ(keys(c), "1,0");
    Value d = array({});
    set(d, "2", str("z"));
    EXPECT_EQ(joined(arr(d, "splice", {num(0), num(1)})), "undefined");
    EXPECT_EQ(joined(d), "undefined,z");
    EXPECT_EQ(number(arr(d, "unshift", {str("u")})), 3);
    EXPECT_EQ(joined(d), "u,undefined,z");
}

TEST_F(Builtins, ArraySortFlagsAndComparators)
{
    const double numeric = constant("Array", "NUMERIC"), descending = constant("Array", "DESCENDING");
    const double unique = constant("Array", "UNIQUESORT"), indexed = constant("Array", "RETURNINDEXEDARRAY");
    const double caseless = constant("Array", "CASEINSENSITIVE");

    Value a = array({num(10), num(9), num(1), num(100)});
    arr(a, "sort");
    EXPECT_EQ(joined(a), "1,10,100,9"); // as strings
    arr(a, "sort", {num(numeric)});
    EXPECT_EQ(joined(a), "1,9,10,100");
    arr(a, "sort", {num(numeric + descending)});
    EXPECT_EQ(joined(a), "100,10,9,1");

    Value letters = array({str("b"), str("A"), str("a"), str("B")});
    arr(letters, "sort");
    EXPECT_EQ(joined(letters), "A,B,a,b");
    arr(letters, "sort", {num(caseless)});
    EXPECT_EQ(joined(letters), "A,a,B,b"); // stable among equal keys

    Value b = array({num(30), num(10), num(20)});
    EXPECT_EQ(joined(arr(b, "sort", {num(numeric + indexed)})), "1,2,0");
    EXPECT_EQ(joined(b), "30,10,20");
    Value dup = array({num(2), num(1), num(2)});
    EXPECT_EQ(number(arr(dup, "sort", {num(unique)})), 0);
    EXPECT_EQ(joined(dup), "2,1,2");

    // A comparator, alone and followed by flags.
    Value byValue = Value::fromObject(vm.newNative([](Vm& vm, const Value&, Args& args) {
        return Value::fromNumber(vm.toNumber(args[0]) - vm.toNumber(args[1]));
    }));
    Value c = array({num(3), num(20), num(1)});
    arr(c, "sort", {byValue});
    EXPECT_EQ(joined(c), "1,3,20");
    arr(c, "sort", {byValue, num(descending)});
    EXPECT_EQ(joined(c), "20,3,1");
    EXPECT_EQ(joined(arr(c, "sort", {byValue, num(indexed)})), "2,1,0");

    // A comparator that lies and empties the array while the sort runs:
    // no crash, and every element comes back exactly once.
    Value victim = array({});
    for (int i = 0; i < 50; ++i)
        arr(victim, "push", {num(i)});
    int calls = 0;
    Value hostile = Value::fromObject(vm.newNative([&](Vm& vm, const Value&, Args&) {
        ++calls;
        vm.callMethod(victim, QStringLiteral("splice"), {num(0)});
        return Value::fromNumber((calls * 7919) % 3 - 1);
    }));
    arr(victim, "sort", {hostile});
    ASSERT_EQ(vm.lengthOf(victim.object), 50u);
    double sum = 0;
    for (int i = 0; i < 50; ++i)
        sum += number(vm.getMember(victim, QString::number(i)));
    EXPECT_EQ(sum, 49 * 50 / 2);

    // An argument whose valueOf empties the array before splice and slice
    // look at it.
    Value small = array({num(1), num(2), num(3)});
    Value sneaky = Value::fromObject(vm.newObject());
    vm.setMember(sneaky, QStringLiteral("valueOf"), Value::fromObject(vm.newNative([&](Vm& vm, const Value&, Args&) {
        vm.callMethod(small, QStringLiteral("splice"), {num(0)});
        return Value::fromNumber(2);
    })));
    arr(small, "push", {num(4)});
    EXPECT_EQ(joined(arr(small, "splice", {sneaky, num(5)})), "");
    arr(small, "push", {num(4), num(5)});
    EXPECT_EQ(joined(arr(small, "slice", {num(0), sneaky})), "");
}

TEST_F(Builtins, ArraySortOnFieldsAndFlags)
{
    const auto person = [&](const char* name, double age) {
        Value o = Value::fromObject(vm.newObject());
        vm.setMember(o, QStringLiteral("name"), str(name));
        vm.setMember(o, QStringLiteral("age"), num(age));
        return o;
    };
    const auto names = [&](const Value& list) {
        std::string out;
        for (std::uint32_t i = 0; i < vm.lengthOf(list.object); ++i)
            out += (i ? " " : "") + text(vm.getMember(vm.getMember(list, QString::number(i)), QStringLiteral("name")));
        return out;
    };
    Value people = array({person("bob", 9), person("al", 30), person("cy", 9), person("Di", 100)});
    arr(people, "sortOn", {str("age")});
    EXPECT_EQ(names(people), "Di al bob cy"); // "100" < "30" < "9" as strings, stable
    arr(people, "sortOn", {str("age"), num(constant("Array", "NUMERIC"))});
    EXPECT_EQ(names(people), "bob cy al Di");
    arr(people, "sortOn", {array({str("age"), str("name")}), array({num(16), num(2)})});
    EXPECT_EQ(names(people), "cy bob al Di");
}

TEST_F(Builtins, StringMethods)
{
    EXPECT_EQ(text(strm("hello", "charAt", {num(1)})), "e");
    EXPECT_EQ(text(strm("hello", "charAt", {num(9)})), "");
    EXPECT_TRUE(std::isnan(number(strm("hello", "charCodeAt", {num(-1)}))));
    EXPECT_EQ(number(strm("hello", "charCodeAt", {num(4)})), 'o');

    EXPECT_EQ(text(strm("hello", "substr", {num(-3), num(2)})), "ll");
    EXPECT_EQ(text(strm("hello", "substr", {num(1)})), "ello");
    EXPECT_EQ(text(strm("hello", "substr", {num(1), num(-2)})), "");
    EXPECT_EQ(text(strm("hello", "substring", {num(4), num(1)})), "ell");
    EXPECT_EQ(text(strm("hello", "substring", {num(-1), num(2)})), "he");
    EXPECT_EQ(text(strm("hello", "slice", {num(-3), num(-1)})), "ll");
    EXPECT_EQ(text(strm("hello", "slice", {num(2)})), "llo");

    EXPECT_EQ(joined(strm("a,b,,c", "split", {str(",")})), "a,b,,c");
    EXPECT_EQ(vm.lengthOf(strm("a,b,,c", "split", {str(",")}).object), 4u);
    EXPECT_EQ(vm.lengthOf(strm("a,b", "split").object), 1u);
    EXPECT_EQ(joined(strm("abc", "split", {str("")})), "a,b,c");
    EXPECT_EQ(joined(strm("a::b::c", "split", {str("::"), num(2)})), "a,b");

    EXPECT_EQ(number(strm("abcabc", "indexOf", {str("c")})), 2);
    EXPECT_EQ(number(strm("abcabc", "indexOf", {str("c"), num(3)})), 5);
    EXPECT_EQ(number(strm("abcabc", "lastIndexOf", {str("a")})), 3);
    EXPECT_EQ(number(strm("abcabc", "lastIndexOf", {str("a"), num(2)})), 0);
    EXPECT_EQ(number(strm("abc", "indexOf", {str("x")})), -1);

    EXPECT_EQ(text(strm("MiXé", "toUpperCase")), "MIXÉ");
    EXPECT_EQ(text(strm("ab", "concat", {num(1), Value::fromBool(false)})), "ab1false");
    EXPECT_EQ(text(vm.callMethod(global("String"), QStringLiteral("fromCharCode"), {num(72), num(105)})), "Hi");

    Value wrapper = make("String", {num(12)});
    ASSERT_TRUE(wrapper.isObject());
    EXPECT_EQ(wrapper.object->kind(), ObjectKind::String);
    EXPECT_EQ(text(method("String", wrapper, "valueOf")), "12");
    EXPECT_TRUE(callGlobal("String", {num(12)}).isString());
    EXPECT_EQ(text(method("String", wrapper, "charAt", {num(1)})), "2");
    EXPECT_EQ(number(vm.getMember(wrapper, QStringLiteral("length"))), 2);
    EXPECT_EQ(text(wrapper), "12");
}

TEST_F(Builtins, NumberBooleanAndMath)
{
    EXPECT_EQ(number(callGlobal("Number")), 0);
    EXPECT_EQ(number(callGlobal("Number", {str("12")})), 12);
    EXPECT_EQ(constant("Number", "MIN_VALUE"), 5e-324);
    Value five = make("Number", {num(5)});
    EXPECT_EQ(five.object->kind(), ObjectKind::Number);
    EXPECT_EQ(text(method("Number", five, "toString", {num(2)})), "101");
    EXPECT_EQ(text(method("Number", num(255), "toString", {num(16)})), "ff");
    EXPECT_EQ(text(method("Number", num(1.5), "toString")), "1.5");
    EXPECT_EQ(number(method("Number", five, "valueOf")), 5);

    EXPECT_TRUE(callGlobal("Boolean", {str("x")}).boolean);
    EXPECT_FALSE(callGlobal("Boolean").boolean);
    Value f = make("Boolean", {num(0)});
    EXPECT_EQ(text(method("Boolean", f, "toString")), "false");
    EXPECT_FALSE(method("Boolean", f, "valueOf").boolean);

    Value math = global("Math");
    const auto m = [&](const char* name, Args args = {}) { return number(vm.callMethod(math, QString::fromUtf8(name), args)); };
    EXPECT_EQ(m("min"), HUGE_VAL);
    EXPECT_EQ(m("max"), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(m("min", {num(1), str("x"), num(-3)})));
    EXPECT_TRUE(std::isnan(m("max", {Value::undefined(), num(2)})));
    EXPECT_EQ(m("max", {num(1), str("3"), num(2)}), 3);
    EXPECT_EQ(m("round", {num(-2.5)}), -2);
    EXPECT_EQ(m("round", {num(2.5)}), 3);
    EXPECT_TRUE(std::isnan(m("abs")));
    EXPECT_TRUE(std::isnan(m("pow", {num(1), Value::undefined()})));
    EXPECT_EQ(m("pow", {num(2), num(10)}), 1024);
    EXPECT_NEAR(m("atan2", {num(1), num(1)}), std::numbers::pi / 4, 1e-15);
    for (int i = 0; i < 100; ++i) {
        double r = m("random");
        EXPECT_TRUE(r >= 0 && r < 1);
    }
}

TEST_F(Builtins, DateCalendarAndFormat)
{
    vm.timeZoneMinutes = 345; // +05:45
    Value d = make("Date", {num(2001), num(1), num(3), num(4), num(5), num(6)});
    EXPECT_EQ(text(d), "Sat Feb 3 04:05:06 GMT+0545 2001");
    const Value utc = vm.callMethod(global("Date"), QStringLiteral("UTC"), {num(2001), num(1), num(3), num(4), num(5), num(6)});
    EXPECT_EQ(number(method("Date", d, "getTime")), number(utc) - 345 * 60000.0);
    EXPECT_EQ(number(method("Date", d, "getUTCHours")), 22);
    EXPECT_EQ(number(method("Date", d, "getUTCMinutes")), 20);
    EXPECT_EQ(number(method("Date", d, "getUTCDate")), 2);
    EXPECT_EQ(number(method("Date", d, "getDay")), 6);
    EXPECT_EQ(number(method("Date", d, "getTimezoneOffset")), -345);
    EXPECT_EQ(number(method("Date", d, "getYear")), 101);

    // Fields roll over into the next ones; the result is the new time.
    method("Date", d, "setMonth", {num(13)});
    EXPECT_EQ(text(method("Date", d, "toString")), "Sun Feb 3 04:05:06 GMT+0545 2002");
    method("Date", d, "setDate", {num(0)});
    EXPECT_EQ(number(method("Date", d, "getDate")), 31);
    EXPECT_EQ(number(method("Date", d, "getMonth")), 0);
    method("Date", d, "setHours", {num(25), num(0)});
    EXPECT_EQ(text(method("Date", d, "toString")), "Fri Feb 1 01:00:06 GMT+0545 2002");
    Value back = make("Date", {method("Date", d, "getTime")});
    EXPECT_EQ(text(method("Date", back, "toString")), text(method("Date", d, "toString")));

    // Leap days, two-digit years, dates before 1970.
    Value leap = make("Date", {num(2000), num(1), num(29)});
    method("Date", leap, "setDate", {num(number(method("Date", leap, "getDate")) + 1)});
    EXPECT_EQ(number(method("Date", leap, "getMonth")), 2);
    EXPECT_EQ(number(method("Date", leap, "getDate")), 1);
    EXPECT_EQ(number(method("Date", make("Date", {num(99), num(0)}), "getFullYear")), 1999);
    Value before = make("Date", {num(-1)});
    EXPECT_EQ(number(method("Date", before, "getUTCFullYear")), 1969);
    EXPECT_EQ(number(method("Date", before, "getUTCMilliseconds")), 999);
    EXPECT_EQ(number(method("Date", before, "getUTCDay")), 3);

    Value bad = make("Date", {num(NAN)});
    EXPECT_EQ(text(method("Date", bad, "toString")), "Invalid Date");
    EXPECT_TRUE(std::isnan(number(method("Date", bad, "setMinutes", {num(1)}))));
    method("Date", bad, "setFullYear", {num(1980)});
    EXPECT_EQ(number(method("Date", bad, "getFullYear")), 1980);
    EXPECT_TRUE(std::isnan(number(method("Date", make("Date", {num(8.64e15 + 1)}), "getTime"))));

    vm.timeZoneMinutes = -480;
    EXPECT_EQ(text(method("Date", make("Date", {num(0)}), "toString")), "Wed Dec 31 16:00:00 GMT-0800 1969");
    vm.epochAtStart = 86400000.0 * 365;
    EXPECT_EQ(text(callGlobal("Date")), "Thu Dec 31 16:00:00 GMT-0800 1970");
    EXPECT_EQ(number(method("Date", make("Date"), "getTime")), vm.nowEpochMs());
}

TEST_F(Builtins, GlobalParseAndEscape)
{
    const auto parseInt = [&](Args args) { return number(callGlobal("parseInt", args)); };
    EXPECT_EQ(parseInt({str("010")}), 8);
    EXPECT_EQ(parseInt({str("019")}), 19);
    EXPECT_EQ(parseInt({str("010"), num(10)}), 10);
    EXPECT_EQ(parseInt({str("0x1F")}), 31);
    EXPECT_EQ(parseInt({str("0x1F"), num(16)}), 31);
    EXPECT_EQ(parseInt({str("  -12px")}), -12);
    EXPECT_EQ(parseInt({str("ff"), num(16)}), 255);
    EXPECT_EQ(parseInt({str("z"), num(36)}), 35);
    EXPECT_EQ(parseInt({str("12"), num(2)}), 1);
    EXPECT_TRUE(std::isnan(parseInt({str("1"), num(37)})));
    EXPECT_TRUE(std::isnan(parseInt({str("px")})));

    const auto parseFloat = [&](const char* s) { return number(callGlobal("parseFloat", {str(s)})); };
    EXPECT_EQ(parseFloat(" 3.5e2xyz"), 350);
    EXPECT_EQ(parseFloat("-.5"), -0.5);
    EXPECT_EQ(parseFloat("1e"), 1);
    EXPECT_EQ(parseFloat("7."), 7);
    EXPECT_EQ(parseFloat("Infinityx"), HUGE_VAL);
    EXPECT_TRUE(std::isnan(parseFloat(".")));
    EXPECT_TRUE(std::isnan(parseFloat("abc")));

    EXPECT_TRUE(callGlobal("isNaN", {str("abc")}).boolean);
    EXPECT_FALSE(callGlobal("isNaN", {str("12")}).boolean);
    EXPECT_TRUE(callGlobal("isFinite", {str("1")}).boolean);
    EXPECT_FALSE(callGlobal("isFinite", {num(HUGE_VAL)}).boolean);

    const QString original = QString::fromUtf8("a b/é€𝄞%+@");
    const Value escaped = callGlobal("escape", {Value::fromString(original)});
    EXPECT_EQ(text(escaped), "a%20b%2F%C3%A9%E2%82%AC%F0%9D%84%9E%25%2B%40");
    EXPECT_EQ(text(callGlobal("escape", {str("(222) 515-1212")})), "%28222%29%20515%2D1212");
    EXPECT_EQ(text(callGlobal("unescape", {escaped})), original.toStdString());
    EXPECT_EQ(text(callGlobal("unescape", {str("%u20AC%zz%4")})), "€%zz%4");

    Vm old(5, nullptr);
    const Value oldEscape = old.getMember(Value::fromObject(old.global()), QStringLiteral("escape"));
    const Value oldUnescape = old.getMember(Value::fromObject(old.global()), QStringLiteral("unescape"));
    Args e{str("é")}, u{str("%E9")};
    EXPECT_EQ(old.toString(old.call(oldEscape, Value::undefined(), e)).toStdString(), "%E9");
    EXPECT_EQ(old.toString(old.call(oldUnescape, Value::undefined(), u)).toStdString(), "é");
}

} // namespace

TEST(BuiltinsMemory, NativeCodeKeepsWhatItHoldsWhenScriptsDeleteTheNames)
{
    Vm vm(8, nullptr);
    // A script deletes every name that leads to AsBroadcaster's methods and
    // to XML's prototypes; the collector runs; the natives that hold them
    // must still work (the sanitizers see any use after free).
    Object* broadcaster = vm.pin(vm.getMember(vm.global(), QStringLiteral("AsBroadcaster")).object);
    Object* xmlClass = vm.pin(vm.getMember(vm.global(), QStringLiteral("XML")).object);
    for (const char* name : {"AsBroadcaster", "Key", "Mouse", "Stage", "Selection", "System", "MovieClipLoader",
                             "XML", "XMLNode"})
        vm.deleteMember(vm.global(), QString::fromLatin1(name));
    vm.collectGarbage();
    for (int i = 0; i < 1000; ++i) // new objects take the freed places
        vm.newObject();

    Object* target = vm.pin(vm.newObject());
    vm.callMethod(Value::fromObject(broadcaster), QStringLiteral("initialize"), {Value::fromObject(target)});
    Object* listener = vm.pin(vm.newObject());
    listener->defineMethod(vm, QStringLiteral("onPing"), [](Vm&, const Value&, Args& args) -> Value {
        return args.empty() ? Value() : args[0];
    });
    vm.callMethod(Value::fromObject(target), QStringLiteral("addListener"), {Value::fromObject(listener)});
    const Value sent =
        vm.callMethod(Value::fromObject(target), QStringLiteral("broadcastMessage"), {Value::fromString("onPing")});
    EXPECT_TRUE(vm.toBoolean(sent));

    Args noArgs;
    Value doc = vm.construct(Value::fromObject(xmlClass), noArgs);
    ASSERT_TRUE(doc.isObject());
    vm.callMethod(doc, QStringLiteral("parseXML"), {Value::fromString(QStringLiteral("<a><b/></a>"))});
    const Value first = vm.getMember(doc, QStringLiteral("firstChild"));
    EXPECT_EQ(vm.toString(vm.getMember(first, QStringLiteral("nodeName"))), QStringLiteral("a"));
}
