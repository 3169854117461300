// TextFormat: a bag of character and paragraph settings that text fields
// read and hand out. Every setting is a property of the prototype that
// converts what a script stores the way the player does (null when unset,
// whole pixels rounded half to even, or cut toward zero before version 8,
// colours as unsigned 24-bit numbers).

#include "avm1/ArrayObject.h"
#include "avm1/builtins/Support.h"

#include <array>
#include <cmath>
#include <limits>

namespace qev::swf::avm1 {
namespace {

// Indent: indent, leading and block indent, which version 8 lets go
// negative and older versions do not.
enum class Kind { String, Integer, Margin, Indent, Color, Boolean, Align, Number, TabStops, Display };

struct Setting {
    const char* name;
    Kind kind;
};

// In the player's order of the prototype (for-in lists them newest first).
constexpr std::array<Setting, 19> settings{{
    {"display", Kind::Display},     {"tabStops", Kind::TabStops},  {"letterSpacing", Kind::Number},
    {"kerning", Kind::Boolean},     {"bullet", Kind::Boolean},     {"blockIndent", Kind::Indent},
    {"leading", Kind::Indent},      {"indent", Kind::Indent},      {"rightMargin", Kind::Margin},
    {"leftMargin", Kind::Margin},   {"align", Kind::Align},        {"underline", Kind::Boolean},
    {"italic", Kind::Boolean},      {"bold", Kind::Boolean},       {"target", Kind::String},
    {"url", Kind::String},          {"color", Kind::Color},        {"size", Kind::Integer},
    {"font", Kind::String},
}};

class TextFormatObject : public Object {
public:
    TextFormatObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Other)
    {
        values.fill(Value::null());
        values[0] = Value::fromString(QStringLiteral("block"));
    }
    std::array<Value, settings.size()> values;
    void trace(Marker& m) override
    {
        Object::trace(m);
        for (const Value& v : values)
            m.mark(v);
    }
};

// A number as the player stores it in a 32-bit integer: rounded half to
// even (cut toward zero before version 8); NaN, infinities and numbers out
// of range become the smallest integer.
double toInt32Rounded(double n, int version)
{
    if (!std::isfinite(n))
        return std::numeric_limits<std::int32_t>::min();
    const double r = version >= 8 ? std::nearbyint(n) : std::trunc(n);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::min();
    return r;
}

// Converts a value stored in a setting. The constructor stores its
// arguments without the lower bound that setting a property applies.
Value convert(Vm& vm, Kind kind, const Value& v, const Value& old, bool fromConstructor = false)
{
    const int version = vm.version();
    if (v.isNullish())
        return kind == Kind::Display || kind == Kind::Align ? old : Value::null();
    switch (kind) {
    case Kind::String:
        return Value::fromString(vm.toString(v));
    case Kind::Integer:
        return Value::fromNumber(toInt32Rounded(vm.toNumber(v), version));
    case Kind::Margin:
    case Kind::Indent: {
        const bool bounded = !fromConstructor && (kind == Kind::Margin || version < 8);
        const double n = vm.toNumber(v);
        return Value::fromNumber(toInt32Rounded(bounded ? std::max(0.0, n) : n, version));
    }
    case Kind::Color: {
        const double n = vm.toNumber(v);
        if (!std::isfinite(n))
            return Value::fromNumber(0);
        const double t = std::fmod(std::trunc(n), 4294967296.0);
        return Value::fromNumber(t < 0 ? t + 4294967296.0 : t);
    }
    case Kind::Boolean:
        return Value::fromBool(vm.toBoolean(v));
    case Kind::Number:
        return Value::fromNumber(vm.toNumber(v));
    case Kind::Align:
    case Kind::Display: {
        const QString s = vm.toString(v).toLower();
        const QStringList allowed = kind == Kind::Align
            ? QStringList{QStringLiteral("left"), QStringLiteral("center"), QStringLiteral("right"), QStringLiteral("justify")}
            : QStringList{QStringLiteral("block"), QStringLiteral("inline"), QStringLiteral("none")};
        return allowed.contains(s) ? Value::fromString(s) : old;
    }
    case Kind::TabStops: {
        if (!v.isObject())
            return Value::null();
        std::vector<Value> stops;
        const std::uint32_t n = std::min<std::uint32_t>(vm.lengthOf(v.object), 1024);
        for (std::uint32_t i = 0; i < n; ++i)
            stops.push_back(
                Value::fromNumber(toInt32Rounded(vm.toNumber(vm.getMember(v.object, QString::number(i))), version)));
        return Value::fromObject(vm.newArray(std::move(stops)));
    }
    }
    return Value::null();
}

} // namespace

void installTextFormatClass(Vm& vm)
{
    using namespace builtins;
    Object* proto = vm.newObject();
    vm.textFormatPrototype = proto;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const Kind kind = settings[i].kind;
        defineVirtual(
            vm, proto, QString::fromLatin1(settings[i].name),
            [i](Vm&, const Value& t, Args&) -> Value {
                auto* f = t.isObject() ? dynamic_cast<TextFormatObject*>(t.object) : nullptr;
                return f ? f->values[i] : Value();
            },
            [i, kind](Vm& vm, const Value& t, Args& args) -> Value {
                if (auto* f = t.isObject() ? dynamic_cast<TextFormatObject*>(t.object) : nullptr)
                    f->values[i] = convert(vm, kind, arg(args, 0), f->values[i]);
                return Value();
            });
    }
    auto make = [](Vm& vm, const Value& thisValue, Args& args) -> Value {
        auto* f = vm.heap().make<TextFormatObject>(vm.textFormatPrototype);
        if (thisValue.isObject())
            f->setProto(thisValue.object->proto());
        // new TextFormat(font, size, color, bold, italic, underline, url,
        // target, align, leftMargin, rightMargin, indent, leading)
        static const char* const order[] = {"font",   "size",      "color",      "bold",   "italic",
                                            "underline", "url",    "target",     "align",  "leftMargin",
                                            "rightMargin", "indent", "leading"};
        for (std::size_t a = 0; a < args.size() && a < std::size(order); ++a)
            for (std::size_t i = 0; i < settings.size(); ++i)
                if (qstrcmp(settings[i].name, order[a]) == 0)
                    f->values[i] = convert(vm, settings[i].kind, args[a], f->values[i], true);
        return Value::fromObject(f);
    };
    vm.newClass(QStringLiteral("TextFormat"), proto, make, make);
}

} // namespace qev::swf::avm1
