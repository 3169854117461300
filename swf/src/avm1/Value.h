#pragma once

// A value of the movies' script language: undefined, null, a boolean, a
// number (always a double), a string or a reference to an object on the
// heap. Conversions that may call script code (valueOf, toString) live on
// the machine (Vm), because they need it; the ones here need nothing.

#include <QString>

#include <cstdint>

namespace qev::swf::avm1 {

class Object;

struct Value {
    enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

    Type type = Type::Undefined;
    bool boolean = false;
    double number = 0;
    QString string;
    Object* object = nullptr;

    Value() = default;
    static Value undefined() { return {}; }
    static Value null()
    {
        Value v;
        v.type = Type::Null;
        return v;
    }
    static Value fromBool(bool b)
    {
        Value v;
        v.type = Type::Boolean;
        v.boolean = b;
        return v;
    }
    static Value fromNumber(double n)
    {
        Value v;
        v.type = Type::Number;
        v.number = n;
        return v;
    }
    static Value fromString(QString s)
    {
        Value v;
        v.type = Type::String;
        v.string = std::move(s);
        return v;
    }
    static Value fromObject(Object* o)
    {
        if (!o)
            return null();
        Value v;
        v.type = Type::Object;
        v.object = o;
        return v;
    }

    bool isUndefined() const { return type == Type::Undefined; }
    bool isNull() const { return type == Type::Null; }
    bool isNullish() const { return type == Type::Undefined || type == Type::Null; }
    bool isBoolean() const { return type == Type::Boolean; }
    bool isNumber() const { return type == Type::Number; }
    bool isString() const { return type == Type::String; }
    bool isObject() const { return type == Type::Object; }
    bool isPrimitive() const { return type != Type::Object; }
};

// The player's number-to-string form: up to 15 significant digits, plain
// decimals for exponents from -5 to 14, else "1.5e+21" / "1e-7".
QString numberToString(double n);
// The player's number form in another radix (2..36), for Number.toString.
QString numberToStringRadix(double n, int radix);
// A string as a number the way the player reads it: leading white space
// skipped, "0x" hexadecimal, "0" octal, else a decimal literal that must
// fill the rest of the string (trailing white space too makes NaN); an
// empty string is NaN (0 when emptyIsZero).
double stringToNumber(const QString& s, bool emptyIsZero = false);
// ECMA ToInt32 and ToUint32 of a number.
std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);

} // namespace qev::swf::avm1
