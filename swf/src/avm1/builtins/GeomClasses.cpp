// The flash.geom classes of SWF 8: Point, Rectangle, Matrix and
// ColorTransform. They are plain script objects whose fields scripts read
// and write freely: constructors store their arguments as given (a missing
// one is undefined, not 0), and the methods convert fields to numbers only
// where they compute. Virtual properties (Point.length, Rectangle.right,
// ColorTransform.rgb) are getter/setter entries on the prototypes, hidden
// from for-in like the methods. Methods that make new objects look the
// class up in flash.geom when they run, so they never hold a pointer to a
// class a script may have deleted.

#include "avm1/builtins/Support.h"

#include <cmath>
#include <initializer_list>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

using builtins::defineVirtual;

Value num(double n)
{
    return Value::fromNumber(n);
}

Value field(Vm& vm, const Value& o, const char* name)
{
    return vm.getMember(o, QString::fromLatin1(name));
}

double number(Vm& vm, const Value& o, const char* name)
{
    return vm.toNumber(field(vm, o, name));
}

void setField(Vm& vm, const Value& o, const char* name, const Value& v)
{
    vm.setMember(o, QString::fromLatin1(name), v);
}

// The package object flash.geom, made when missing.
Object* geomPackage(Vm& vm)
{
    Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    if (!flash.isObject()) {
        flash = Value::fromObject(vm.newObject());
        vm.global()->define(QStringLiteral("flash"), flash, DontEnum);
    }
    Value geom = vm.getMember(flash, QStringLiteral("geom"));
    if (!geom.isObject()) {
        geom = Value::fromObject(vm.newObject());
        flash.object->define(QStringLiteral("geom"), geom, DontEnum);
    }
    return geom.object;
}

// flash.geom.<name> as it is now, looked up by the methods each time.
Value geomClass(Vm& vm, const char* name)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    return field(vm, field(vm, flash, "geom"), name);
}

// `new flash.geom.<name>(args...)`; undefined when the class is gone.
Value make(Vm& vm, const char* name, std::initializer_list<Value> values)
{
    Args args(values);
    return vm.construct(geomClass(vm, name), args);
}

Value makePoint(Vm& vm, const Value& x, const Value& y)
{
    return make(vm, "Point", {x, y});
}

// A numeric comparison as the player's Less gives it: undefined when
// either side is NaN, else true or false.
Value less(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return Value::undefined();
    return Value::fromBool(a < b);
}

Value lessOrEqual(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return Value::undefined();
    return Value::fromBool(a <= b);
}

// `a && b && ...` of comparison results: the first one that is not true
// (false or undefined), else true.
Value allOf(std::initializer_list<Value> tests)
{
    for (const Value& t : tests)
        if (!(t.isBoolean() && t.boolean))
            return t;
    return Value::fromBool(true);
}

// Math.min and Math.max of two: NaN wins.
double minOf(double a, double b)
{
    return (std::isnan(a) || std::isnan(b)) ? kNaN : std::min(a, b);
}

double maxOf(double a, double b)
{
    return (std::isnan(a) || std::isnan(b)) ? kNaN : std::max(a, b);
}

// The player's `==` for the field values equals compares: numbers and
// numeric strings by value, undefined and null alike, objects by identity.
bool looselyEqual(Vm& vm, const Value& a, const Value& b)
{
    if (a.isNullish() || b.isNullish())
        return a.isNullish() && b.isNullish();
    if (a.isObject() || b.isObject())
        return a.isObject() && b.isObject() && a.object == b.object;
    if (a.isString() && b.isString())
        return a.string == b.string;
    return vm.toNumber(a) == vm.toNumber(b);
}

// A class on flash.geom: fn initialises `this` under `new` and super().
Object* defineClass(Vm& vm, Object* package, const QString& name, NativeFunction fn)
{
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newClass(QString(), proto, std::move(fn));
    package->define(name, Value::fromObject(ctor), DontEnum);
    return ctor;
}

// Stores the arguments in the named fields as given. With no arguments at
// all the fields take their defaults instead; with some, the missing ones
// are undefined.
void initFields(Vm& vm, const Value& self, const Args& args, std::initializer_list<std::pair<const char*, double>> fields)
{
    std::size_t i = 0;
    for (const auto& [name, fallback] : fields) {
        setField(vm, self, name, args.empty() ? num(fallback) : arg(args, i));
        ++i;
    }
}

// ---- Point ------------------------------------------------------------------

void installPoint(Vm& vm, Object* package)
{
    Object* ctor = defineClass(vm, package, QStringLiteral("Point"), [](Vm& vm, const Value& self, Args& args) {
        initFields(vm, self, args, {{"x", 0}, {"y", 0}});
        return Value::undefined();
    });
    Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).object;

    defineVirtual(vm, proto, QStringLiteral("length"), [](Vm& vm, const Value& self, Args&) {
        const double x = number(vm, self, "x"), y = number(vm, self, "y");
        return num(std::sqrt(x * x + y * y));
    });
    proto->defineMethod(vm, QStringLiteral("add"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        return makePoint(vm, num(number(vm, self, "x") + number(vm, p, "x")),
                         num(number(vm, self, "y") + number(vm, p, "y")));
    });
    proto->defineMethod(vm, QStringLiteral("subtract"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        return makePoint(vm, num(number(vm, self, "x") - number(vm, p, "x")),
                         num(number(vm, self, "y") - number(vm, p, "y")));
    });
    proto->defineMethod(vm, QStringLiteral("clone"), [](Vm& vm, const Value& self, Args&) {
        return makePoint(vm, field(vm, self, "x"), field(vm, self, "y"));
    });
    proto->defineMethod(vm, QStringLiteral("equals"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        if (!vm.instanceOf(p, geomClass(vm, "Point")))
            return Value::fromBool(false);
        return Value::fromBool(looselyEqual(vm, field(vm, self, "x"), field(vm, p, "x"))
                               && looselyEqual(vm, field(vm, self, "y"), field(vm, p, "y")));
    });
    // Scales the point to the given length; a point of length 0 or NaN
    // stays as it is, fields and all.
    proto->defineMethod(vm, QStringLiteral("normalize"), [](Vm& vm, const Value& self, Args& args) {
        const double x = number(vm, self, "x"), y = number(vm, self, "y");
        const double length = std::sqrt(x * x + y * y);
        if (length > 0) {
            const double factor = argNumber(vm, args, 0) / length;
            setField(vm, self, "x", num(x * factor));
            setField(vm, self, "y", num(y * factor));
        }
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("offset"), [](Vm& vm, const Value& self, Args& args) {
        setField(vm, self, "x", num(number(vm, self, "x") + argNumber(vm, args, 0)));
        setField(vm, self, "y", num(number(vm, self, "y") + argNumber(vm, args, 1)));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) {
        return Value::fromString(QStringLiteral("(x=") + vm.toString(field(vm, self, "x")) + QStringLiteral(", y=")
                                 + vm.toString(field(vm, self, "y")) + u')');
    });

    // distance goes through the first point's own subtract and length, so
    // a plain object there gives undefined.
    ctor->defineMethod(vm, QStringLiteral("distance"), [](Vm& vm, const Value&, Args& args) {
        const Value difference = vm.callMethod(arg(args, 0), QStringLiteral("subtract"), {arg(args, 1)});
        return field(vm, difference, "length");
    });
    // The point at f along the way from p2 (f = 0) to p1 (f = 1).
    ctor->defineMethod(vm, QStringLiteral("interpolate"), [](Vm& vm, const Value&, Args& args) {
        const Value& p1 = arg(args, 0);
        const Value& p2 = arg(args, 1);
        const double f = argNumber(vm, args, 2);
        const double x2 = number(vm, p2, "x"), y2 = number(vm, p2, "y");
        return makePoint(vm, num(x2 + (number(vm, p1, "x") - x2) * f), num(y2 + (number(vm, p1, "y") - y2) * f));
    });
    ctor->defineMethod(vm, QStringLiteral("polar"), [](Vm& vm, const Value&, Args& args) {
        const double length = argNumber(vm, args, 0), angle = argNumber(vm, args, 1);
        return makePoint(vm, num(length * std::cos(angle)), num(length * std::sin(angle)));
    });
}

// ---- Rectangle ----------------------------------------------------------------

// The edges of a rectangle-like value, computed from x, y, width, height
// (plain objects with those fields work as arguments too).
struct Edges {
    double left, top, right, bottom;
};

Edges edgesOf(Vm& vm, const Value& r)
{
    const double x = number(vm, r, "x"), y = number(vm, r, "y");
    return {x, y, x + number(vm, r, "width"), y + number(vm, r, "height")};
}

Value makeRect(Vm& vm, double x, double y, double width, double height)
{
    return make(vm, "Rectangle", {num(x), num(y), num(width), num(height)});
}

Value contains(double x, double y, const Edges& e)
{
    return allOf({lessOrEqual(e.left, x), less(x, e.right), lessOrEqual(e.top, y), less(y, e.bottom)});
}

// The overlap of two rectangles; an empty Rectangle (all zero) when they
// do not overlap or a side is not a number.
Value intersectionOf(Vm& vm, const Edges& a, const Edges& b)
{
    const double left = maxOf(a.left, b.left), top = maxOf(a.top, b.top);
    const double right = minOf(a.right, b.right), bottom = minOf(a.bottom, b.bottom);
    if (!(right > left && bottom > top))
        return make(vm, "Rectangle", {});
    return makeRect(vm, left, top, right - left, bottom - top);
}

void inflate(Vm& vm, const Value& self, double dx, double dy)
{
    setField(vm, self, "x", num(number(vm, self, "x") - dx));
    setField(vm, self, "width", num(number(vm, self, "width") + 2 * dx));
    setField(vm, self, "y", num(number(vm, self, "y") - dy));
    setField(vm, self, "height", num(number(vm, self, "height") + 2 * dy));
}

void offset(Vm& vm, const Value& self, double dx, double dy)
{
    setField(vm, self, "x", num(number(vm, self, "x") + dx));
    setField(vm, self, "y", num(number(vm, self, "y") + dy));
}

// Moving the left or top edge keeps the opposite edge where it was: the
// size absorbs the move, and the new edge is stored as given.
void setLeft(Vm& vm, const Value& self, const Value& v)
{
    const double right = number(vm, self, "x") + number(vm, self, "width");
    setField(vm, self, "width", num(right - vm.toNumber(v)));
    setField(vm, self, "x", v);
}

void setTop(Vm& vm, const Value& self, const Value& v)
{
    const double bottom = number(vm, self, "y") + number(vm, self, "height");
    setField(vm, self, "height", num(bottom - vm.toNumber(v)));
    setField(vm, self, "y", v);
}

void setRight(Vm& vm, const Value& self, const Value& v)
{
    setField(vm, self, "width", num(vm.toNumber(v) - number(vm, self, "x")));
}

void setBottom(Vm& vm, const Value& self, const Value& v)
{
    setField(vm, self, "height", num(vm.toNumber(v) - number(vm, self, "y")));
}

void installRectangle(Vm& vm, Object* package)
{
    Object* ctor = defineClass(vm, package, QStringLiteral("Rectangle"), [](Vm& vm, const Value& self, Args& args) {
        initFields(vm, self, args, {{"x", 0}, {"y", 0}, {"width", 0}, {"height", 0}});
        return Value::undefined();
    });
    Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).object;

    defineVirtual(
        vm, proto, QStringLiteral("left"), [](Vm& vm, const Value& self, Args&) { return field(vm, self, "x"); },
        [](Vm& vm, const Value& self, Args& args) {
            setLeft(vm, self, arg(args, 0));
            return Value::undefined();
        });
    defineVirtual(
        vm, proto, QStringLiteral("top"), [](Vm& vm, const Value& self, Args&) { return field(vm, self, "y"); },
        [](Vm& vm, const Value& self, Args& args) {
            setTop(vm, self, arg(args, 0));
            return Value::undefined();
        });
    defineVirtual(
        vm, proto, QStringLiteral("right"),
        [](Vm& vm, const Value& self, Args&) { return num(edgesOf(vm, self).right); },
        [](Vm& vm, const Value& self, Args& args) {
            setRight(vm, self, arg(args, 0));
            return Value::undefined();
        });
    defineVirtual(
        vm, proto, QStringLiteral("bottom"),
        [](Vm& vm, const Value& self, Args&) { return num(edgesOf(vm, self).bottom); },
        [](Vm& vm, const Value& self, Args& args) {
            setBottom(vm, self, arg(args, 0));
            return Value::undefined();
        });
    // The corner and size properties read as new Points and take any
    // object with x and y.
    defineVirtual(
        vm, proto, QStringLiteral("topLeft"),
        [](Vm& vm, const Value& self, Args&) { return makePoint(vm, field(vm, self, "x"), field(vm, self, "y")); },
        [](Vm& vm, const Value& self, Args& args) {
            const Value& p = arg(args, 0);
            setLeft(vm, self, field(vm, p, "x"));
            setTop(vm, self, field(vm, p, "y"));
            return Value::undefined();
        });
    defineVirtual(
        vm, proto, QStringLiteral("bottomRight"),
        [](Vm& vm, const Value& self, Args&) {
            const Edges e = edgesOf(vm, self);
            return makePoint(vm, num(e.right), num(e.bottom));
        },
        [](Vm& vm, const Value& self, Args& args) {
            const Value& p = arg(args, 0);
            setRight(vm, self, field(vm, p, "x"));
            setBottom(vm, self, field(vm, p, "y"));
            return Value::undefined();
        });
    defineVirtual(
        vm, proto, QStringLiteral("size"),
        [](Vm& vm, const Value& self, Args&) {
            return makePoint(vm, field(vm, self, "width"), field(vm, self, "height"));
        },
        [](Vm& vm, const Value& self, Args& args) {
            const Value& p = arg(args, 0);
            setField(vm, self, "width", field(vm, p, "x"));
            setField(vm, self, "height", field(vm, p, "y"));
            return Value::undefined();
        });

    proto->defineMethod(vm, QStringLiteral("clone"), [](Vm& vm, const Value& self, Args&) {
        return make(vm, "Rectangle",
                    {field(vm, self, "x"), field(vm, self, "y"), field(vm, self, "width"), field(vm, self, "height")});
    });
    // contains and its kin answer undefined when a coordinate is not a
    // number, as the comparisons they are made of do.
    proto->defineMethod(vm, QStringLiteral("contains"), [](Vm& vm, const Value& self, Args& args) {
        return contains(argNumber(vm, args, 0), argNumber(vm, args, 1), edgesOf(vm, self));
    });
    proto->defineMethod(vm, QStringLiteral("containsPoint"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        return contains(number(vm, p, "x"), number(vm, p, "y"), edgesOf(vm, self));
    });
    proto->defineMethod(vm, QStringLiteral("containsRectangle"), [](Vm& vm, const Value& self, Args& args) {
        const Edges outer = edgesOf(vm, self);
        const Edges inner = edgesOf(vm, arg(args, 0));
        return allOf({lessOrEqual(outer.left, inner.left), lessOrEqual(outer.top, inner.top),
                      lessOrEqual(inner.right, outer.right), lessOrEqual(inner.bottom, outer.bottom)});
    });
    proto->defineMethod(vm, QStringLiteral("equals"), [](Vm& vm, const Value& self, Args& args) {
        const Value& r = arg(args, 0);
        if (!vm.instanceOf(r, geomClass(vm, "Rectangle")))
            return Value::fromBool(false);
        for (const char* name : {"x", "y", "width", "height"})
            if (!looselyEqual(vm, field(vm, self, name), field(vm, r, name)))
                return Value::fromBool(false);
        return Value::fromBool(true);
    });
    proto->defineMethod(vm, QStringLiteral("inflate"), [](Vm& vm, const Value& self, Args& args) {
        inflate(vm, self, argNumber(vm, args, 0), argNumber(vm, args, 1));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("inflatePoint"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        inflate(vm, self, number(vm, p, "x"), number(vm, p, "y"));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("intersection"), [](Vm& vm, const Value& self, Args& args) {
        return intersectionOf(vm, edgesOf(vm, self), edgesOf(vm, arg(args, 0)));
    });
    proto->defineMethod(vm, QStringLiteral("intersects"), [](Vm& vm, const Value& self, Args& args) {
        const Edges a = edgesOf(vm, self), b = edgesOf(vm, arg(args, 0));
        return Value::fromBool(minOf(a.right, b.right) > maxOf(a.left, b.left)
                               && minOf(a.bottom, b.bottom) > maxOf(a.top, b.top));
    });
    // Empty unless both sizes are positive numbers (NaN counts as empty).
    proto->defineMethod(vm, QStringLiteral("isEmpty"), [](Vm& vm, const Value& self, Args&) {
        return Value::fromBool(!(number(vm, self, "width") > 0 && number(vm, self, "height") > 0));
    });
    proto->defineMethod(vm, QStringLiteral("offset"), [](Vm& vm, const Value& self, Args& args) {
        offset(vm, self, argNumber(vm, args, 0), argNumber(vm, args, 1));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("offsetPoint"), [](Vm& vm, const Value& self, Args& args) {
        const Value& p = arg(args, 0);
        offset(vm, self, number(vm, p, "x"), number(vm, p, "y"));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("setEmpty"), [](Vm& vm, const Value& self, Args&) {
        for (const char* name : {"x", "y", "width", "height"})
            setField(vm, self, name, num(0));
        return Value::undefined();
    });
    // The bounds of both, empty ones included; a side that is not a number
    // makes the matching result NaN.
    proto->defineMethod(vm, QStringLiteral("union"), [](Vm& vm, const Value& self, Args& args) {
        const Edges a = edgesOf(vm, self), b = edgesOf(vm, arg(args, 0));
        const double left = minOf(a.left, b.left), top = minOf(a.top, b.top);
        return makeRect(vm, left, top, maxOf(a.right, b.right) - left, maxOf(a.bottom, b.bottom) - top);
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) {
        return Value::fromString(QStringLiteral("(x=") + vm.toString(field(vm, self, "x")) + QStringLiteral(", y=")
                                 + vm.toString(field(vm, self, "y")) + QStringLiteral(", w=")
                                 + vm.toString(field(vm, self, "width")) + QStringLiteral(", h=")
                                 + vm.toString(field(vm, self, "height")) + u')');
    });
}

// ---- Matrix -------------------------------------------------------------------

struct Affine {
    double a, b, c, d, tx, ty;
};

Affine affineOf(Vm& vm, const Value& m)
{
    return {number(vm, m, "a"), number(vm, m, "b"), number(vm, m, "c"),
            number(vm, m, "d"), number(vm, m, "tx"), number(vm, m, "ty")};
}

void store(Vm& vm, const Value& self, const Affine& m)
{
    setField(vm, self, "a", num(m.a));
    setField(vm, self, "b", num(m.b));
    setField(vm, self, "c", num(m.c));
    setField(vm, self, "d", num(m.d));
    setField(vm, self, "tx", num(m.tx));
    setField(vm, self, "ty", num(m.ty));
}

// m applied first, then n (points are row vectors: p * m * n).
Affine multiply(const Affine& m, const Affine& n)
{
    return {m.a * n.a + m.b * n.c,          m.a * n.b + m.b * n.d,          m.c * n.a + m.d * n.c,
            m.c * n.b + m.d * n.d,          m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}

// Scale, then rotation, then translation: what createBox builds.
Affine box(double scaleX, double scaleY, double rotation, double tx, double ty)
{
    const double cos = std::cos(rotation), sin = std::sin(rotation);
    return {scaleX * cos, scaleY * sin, -scaleX * sin, scaleY * cos, tx, ty};
}

void installMatrix(Vm& vm, Object* package)
{
    Object* ctor = defineClass(vm, package, QStringLiteral("Matrix"), [](Vm& vm, const Value& self, Args& args) {
        initFields(vm, self, args, {{"a", 1}, {"b", 0}, {"c", 0}, {"d", 1}, {"tx", 0}, {"ty", 0}});
        return Value::undefined();
    });
    Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).object;

    proto->defineMethod(vm, QStringLiteral("clone"), [](Vm& vm, const Value& self, Args&) {
        return make(vm, "Matrix",
                    {field(vm, self, "a"), field(vm, self, "b"), field(vm, self, "c"), field(vm, self, "d"),
                     field(vm, self, "tx"), field(vm, self, "ty")});
    });
    proto->defineMethod(vm, QStringLiteral("concat"), [](Vm& vm, const Value& self, Args& args) {
        store(vm, self, multiply(affineOf(vm, self), affineOf(vm, arg(args, 0))));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("identity"), [](Vm& vm, const Value& self, Args&) {
        store(vm, self, {1, 0, 0, 1, 0, 0});
        return Value::undefined();
    });
    // A singular matrix divides by zero: its fields become infinite or NaN.
    proto->defineMethod(vm, QStringLiteral("invert"), [](Vm& vm, const Value& self, Args&) {
        const Affine m = affineOf(vm, self);
        const double det = m.a * m.d - m.b * m.c;
        const double a = m.d / det, b = -m.b / det, c = -m.c / det, d = m.a / det;
        store(vm, self, {a, b, c, d, -(a * m.tx + c * m.ty), -(b * m.tx + d * m.ty)});
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("rotate"), [](Vm& vm, const Value& self, Args& args) {
        const double angle = argNumber(vm, args, 0);
        const double cos = std::cos(angle), sin = std::sin(angle);
        store(vm, self, multiply(affineOf(vm, self), {cos, sin, -sin, cos, 0, 0}));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("scale"), [](Vm& vm, const Value& self, Args& args) {
        const double sx = argNumber(vm, args, 0), sy = argNumber(vm, args, 1);
        store(vm, self, multiply(affineOf(vm, self), {sx, 0, 0, sy, 0, 0}));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("translate"), [](Vm& vm, const Value& self, Args& args) {
        setField(vm, self, "tx", num(number(vm, self, "tx") + argNumber(vm, args, 0)));
        setField(vm, self, "ty", num(number(vm, self, "ty") + argNumber(vm, args, 1)));
        return Value::undefined();
    });
    // A missing rotation is NaN (as any missing number is); missing
    // translations are 0.
    proto->defineMethod(vm, QStringLiteral("createBox"), [](Vm& vm, const Value& self, Args& args) {
        const double tx = args.size() > 3 ? vm.toNumber(args[3]) : 0;
        const double ty = args.size() > 4 ? vm.toNumber(args[4]) : 0;
        store(vm, self, box(argNumber(vm, args, 0), argNumber(vm, args, 1), argNumber(vm, args, 2), tx, ty));
        return Value::undefined();
    });
    // The box that maps the gradient square (-819.2 .. 819.2 twips) onto
    // width x height at (tx, ty); rotation and offsets default to 0 here.
    proto->defineMethod(vm, QStringLiteral("createGradientBox"), [](Vm& vm, const Value& self, Args& args) {
        const double width = argNumber(vm, args, 0), height = argNumber(vm, args, 1);
        const double rotation = args.size() > 2 ? vm.toNumber(args[2]) : 0;
        const double tx = args.size() > 3 ? vm.toNumber(args[3]) : 0;
        const double ty = args.size() > 4 ? vm.toNumber(args[4]) : 0;
        store(vm, self, box(width / 1638.4, height / 1638.4, rotation, tx + width / 2, ty + height / 2));
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("transformPoint"), [](Vm& vm, const Value& self, Args& args) {
        const Affine m = affineOf(vm, self);
        const double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
        return makePoint(vm, num(m.a * x + m.c * y + m.tx), num(m.b * x + m.d * y + m.ty));
    });
    proto->defineMethod(vm, QStringLiteral("deltaTransformPoint"), [](Vm& vm, const Value& self, Args& args) {
        const Affine m = affineOf(vm, self);
        const double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
        return makePoint(vm, num(m.a * x + m.c * y), num(m.b * x + m.d * y));
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) {
        QString s = QStringLiteral("(");
        bool first = true;
        for (const char* name : {"a", "b", "c", "d", "tx", "ty"}) {
            if (!first)
                s += QStringLiteral(", ");
            first = false;
            s += QString::fromLatin1(name) + u'=' + vm.toString(field(vm, self, name));
        }
        return Value::fromString(s + u')');
    });
}

// ---- ColorTransform -----------------------------------------------------------

constexpr const char* kColorFields[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                        "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

void installColorTransform(Vm& vm, Object* package)
{
    Object* ctor = defineClass(vm, package, QStringLiteral("ColorTransform"), [](Vm& vm, const Value& self, Args& args) {
        initFields(vm, self, args,
                   {{kColorFields[0], 1}, {kColorFields[1], 1}, {kColorFields[2], 1}, {kColorFields[3], 1},
                    {kColorFields[4], 0}, {kColorFields[5], 0}, {kColorFields[6], 0}, {kColorFields[7], 0}});
        return Value::undefined();
    });
    Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).object;

    // rgb packs the three colour offsets as 0xRRGGBB; writing it sets the
    // offsets from it and the colour multipliers to 0 (a solid colour).
    defineVirtual(
        vm, proto, QStringLiteral("rgb"),
        [](Vm& vm, const Value& self, Args&) {
            const std::int32_t r = toInt32(number(vm, self, "redOffset"));
            const std::int32_t g = toInt32(number(vm, self, "greenOffset"));
            const std::int32_t b = toInt32(number(vm, self, "blueOffset"));
            return num(double(std::int32_t(std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b))));
        },
        [](Vm& vm, const Value& self, Args& args) {
            const std::uint32_t rgb = toUint32(argNumber(vm, args, 0));
            setField(vm, self, "redOffset", num((rgb >> 16) & 0xff));
            setField(vm, self, "greenOffset", num((rgb >> 8) & 0xff));
            setField(vm, self, "blueOffset", num(rgb & 0xff));
            setField(vm, self, "redMultiplier", num(0));
            setField(vm, self, "greenMultiplier", num(0));
            setField(vm, self, "blueMultiplier", num(0));
            return Value::undefined();
        });
    // Applies this transform, then the second one, as one transform.
    proto->defineMethod(vm, QStringLiteral("concat"), [](Vm& vm, const Value& self, Args& args) {
        const Value& second = arg(args, 0);
        for (int i = 0; i < 4; ++i) {
            const char* mul = kColorFields[i];
            const char* off = kColorFields[i + 4];
            const double m = number(vm, self, mul);
            setField(vm, self, off, num(number(vm, second, off) * m + number(vm, self, off)));
            setField(vm, self, mul, num(m * number(vm, second, mul)));
        }
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) {
        QString s = QStringLiteral("(");
        for (const char* name : kColorFields) {
            if (s.size() > 1)
                s += QStringLiteral(", ");
            s += QString::fromLatin1(name) + u'=' + vm.toString(field(vm, self, name));
        }
        return Value::fromString(s + u')');
    });
}

} // namespace

void installGeomClasses(Vm& vm)
{
    if (vm.version() < 8)
        return;
    Object* package = geomPackage(vm);
    installPoint(vm, package);
    installRectangle(vm, package);
    installMatrix(vm, package);
    installColorTransform(vm, package);
}

} // namespace qev::swf::avm1
