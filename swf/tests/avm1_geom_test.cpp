// The flash.geom classes (Point, Rectangle, Matrix, ColorTransform),
// driven through the machine the way scripts use them.

#include "avm1/Vm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace qev::swf::avm1;

namespace {

Value num(double n)
{
    return Value::fromNumber(n);
}

class Geom : public ::testing::Test {
protected:
    Vm vm{8, nullptr};

    Value geom() { return vm.getMember(vm.getMember(vm.global(), QStringLiteral("flash")), QStringLiteral("geom")); }
    Value cls(const char* name) { return vm.getMember(geom(), QString::fromUtf8(name)); }
    Value make(const char* name, Args args = {}) { return vm.construct(cls(name), args); }
    Value call(const Value& o, const char* name, Args args = {}) { return vm.callMethod(o, QString::fromUtf8(name), args); }
    Value callStatic(const char* c, const char* name, Args args = {}) { return call(cls(c), name, args); }
    Value get(const Value& o, const char* name) { return vm.getMember(o, QString::fromUtf8(name)); }
    void set(const Value& o, const char* name, const Value& v) { vm.setMember(o, QString::fromUtf8(name), v); }
    double number(const Value& v) { return vm.toNumber(v); }
    std::string text(const Value& v) { return vm.toString(v).toStdString(); }
    Value rect(double x, double y, double w, double h) { return make("Rectangle", {num(x), num(y), num(w), num(h)}); }
    Value matrix(double a, double b, double c, double d, double tx, double ty)
    {
        return make("Matrix", {num(a), num(b), num(c), num(d), num(tx), num(ty)});
    }
};

TEST_F(Geom, OnlyFromSwf8)
{
    Vm old(7, nullptr);
    EXPECT_TRUE(old.getMember(old.global(), QStringLiteral("flash")).isUndefined());
    for (const char* name : {"Point", "Rectangle", "Matrix", "ColorTransform"})
        EXPECT_EQ(vm.typeOf(cls(name)).toStdString(), "function") << name;
}

TEST_F(Geom, PointFieldsMethodsAndStatics)
{
    EXPECT_EQ(text(make("Point")), "(x=0, y=0)");
    // Arguments are stored as given; a missing one is undefined.
    EXPECT_EQ(text(make("Point", {num(1)})), "(x=1, y=undefined)");
    EXPECT_EQ(text(make("Point", {Value::fromObject(vm.newObject()), num(2)})), "(x=[object Object], y=2)");

    Value p = make("Point", {num(3), num(4)});
    EXPECT_EQ(number(get(p, "length")), 5);
    // length is read-only and hidden from for-in.
    set(p, "length", num(1));
    EXPECT_EQ(number(get(p, "length")), 5);
    EXPECT_EQ(vm.enumerate(p.object).size(), 2u);

    EXPECT_EQ(text(call(p, "add", {make("Point", {num(1), num(2)})})), "(x=4, y=6)");
    EXPECT_EQ(text(call(p, "subtract", {Value::undefined()})), "(x=NaN, y=NaN)");
    EXPECT_EQ(text(p), "(x=3, y=4)");
    Value copy = call(p, "clone");
    EXPECT_NE(copy.object, p.object);
    EXPECT_TRUE(call(p, "equals", {copy}).boolean);
    // A plain object with the same fields is not a Point.
    Value plain = Value::fromObject(vm.newObject());
    set(plain, "x", num(3));
    set(plain, "y", num(4));
    EXPECT_FALSE(call(p, "equals", {plain}).boolean);

    call(p, "normalize", {num(10)});
    EXPECT_EQ(text(p), "(x=6, y=8)");
    // A point of length 0 or NaN stays as it is.
    Value odd = make("Point", {Value::undefined(), num(100)});
    call(odd, "normalize", {num(3)});
    EXPECT_EQ(text(odd), "(x=undefined, y=100)");
    call(p, "offset", {num(1)});
    EXPECT_EQ(text(p), "(x=7, y=NaN)");

    EXPECT_EQ(number(callStatic("Point", "distance", {make("Point", {num(-100), num(200)}), make("Point", {num(100), num(200)})})), 200);
    EXPECT_TRUE(callStatic("Point", "distance", {plain, make("Point")}).isUndefined());
    EXPECT_TRUE(callStatic("Point", "distance").isUndefined());
    EXPECT_TRUE(std::isnan(number(callStatic("Point", "distance", {make("Point")}))));
    EXPECT_EQ(text(callStatic("Point", "interpolate", {make("Point", {num(-100), num(-200)}), make("Point", {num(100), num(200)}), num(-1)})),
              "(x=300, y=600)");
    EXPECT_EQ(text(callStatic("Point", "interpolate")), "(x=NaN, y=NaN)");
    EXPECT_EQ(text(callStatic("Point", "polar", {num(5), num(std::atan(0.75))})), "(x=4, y=3)");
    EXPECT_EQ(text(callStatic("Point", "polar", {num(5)})), "(x=NaN, y=NaN)");
}

TEST_F(Geom, RectangleVirtualProperties)
{
    Value r = rect(1, 3, 5, 7);
    EXPECT_EQ(text(r), "(x=1, y=3, w=5, h=7)");
    EXPECT_EQ(text(make("Rectangle", {num(1)})), "(x=1, y=undefined, w=undefined, h=undefined)");
    EXPECT_EQ(number(get(r, "right")), 6);
    EXPECT_EQ(number(get(r, "bottom")), 10);
    EXPECT_EQ(text(get(r, "topLeft")), "(x=1, y=3)");
    EXPECT_EQ(text(get(r, "bottomRight")), "(x=6, y=10)");
    EXPECT_EQ(text(get(r, "size")), "(x=5, y=7)");
    // Only the four fields enumerate.
    EXPECT_EQ(vm.enumerate(r.object).size(), 4u);

    // Moving the left or top edge keeps the opposite edge.
    set(r, "left", num(0));
    EXPECT_EQ(text(r), "(x=0, y=3, w=6, h=7)");
    set(r, "top", num(100));
    EXPECT_EQ(text(r), "(x=0, y=100, w=6, h=-90)");
    set(r, "right", num(10));
    set(r, "bottom", num(110));
    EXPECT_EQ(text(r), "(x=0, y=100, w=10, h=10)");
    set(r, "right", Value::undefined());
    EXPECT_EQ(text(r), "(x=0, y=100, w=NaN, h=10)");

    Value s = rect(1, 3, 5, 7);
    set(s, "topLeft", make("Point", {num(-100), num(-200)}));
    EXPECT_EQ(text(s), "(x=-100, y=-200, w=106, h=210)");
    set(s, "bottomRight", make("Point", {num(0), num(0)}));
    EXPECT_EQ(text(s), "(x=-100, y=-200, w=100, h=200)");
    // size takes the point's fields as they are.
    set(s, "size", num(100));
    EXPECT_EQ(text(s), "(x=-100, y=-200, w=undefined, h=undefined)");
    EXPECT_TRUE(std::isnan(number(get(s, "right"))));
    // A non-number left edge is stored as given but its right edge is NaN.
    set(s, "left", Value::fromObject(vm.newObject()));
    EXPECT_EQ(text(get(s, "left")), "[object Object]");
}

TEST_F(Geom, RectangleTestsAndSetOperations)
{
    Value r = rect(1, 3, 5, 7);
    EXPECT_TRUE(call(r, "contains", {num(1), num(3)}).boolean);
    EXPECT_FALSE(call(r, "contains", {num(6), num(10)}).boolean);
    EXPECT_TRUE(call(r, "contains", {num(5.9), num(9.9)}).boolean);
    // A coordinate that is not a number answers undefined, not false.
    EXPECT_TRUE(call(r, "contains", {num(4), num(NAN)}).isUndefined());
    EXPECT_FALSE(call(r, "contains", {num(5), num(INFINITY)}).isUndefined());
    EXPECT_TRUE(call(r, "containsPoint", {make("Point", {num(1.1), num(3.1)})}).boolean);
    EXPECT_TRUE(call(r, "containsRectangle", {rect(1, 3, 5, 7)}).boolean);
    EXPECT_FALSE(call(r, "containsRectangle", {rect(1, 3, 5.1, 7)}).boolean);
    EXPECT_TRUE(call(r, "containsRectangle").isUndefined());

    EXPECT_TRUE(call(make("Rectangle"), "isEmpty").boolean);
    EXPECT_TRUE(call(rect(1, 2, NAN, NAN), "isEmpty").boolean);
    EXPECT_TRUE(call(rect(1, 2, -1, -2), "isEmpty").boolean);
    EXPECT_FALSE(call(rect(1, 2, INFINITY, INFINITY), "isEmpty").boolean);

    EXPECT_EQ(text(call(r, "intersection", {rect(3, 5, 7, 9)})), "(x=3, y=5, w=3, h=5)");
    EXPECT_EQ(text(call(r, "intersection", {rect(-1, -3, 5, 7)})), "(x=1, y=3, w=3, h=1)");
    // No overlap, a missing argument, or rectangles that only touch: empty.
    EXPECT_EQ(text(call(r, "intersection", {rect(30, 50, 1, 1)})), "(x=0, y=0, w=0, h=0)");
    EXPECT_EQ(text(call(r, "intersection")), "(x=0, y=0, w=0, h=0)");
    EXPECT_EQ(text(call(r, "intersection", {rect(6, 3, 5, 7)})), "(x=0, y=0, w=0, h=0)");
    EXPECT_TRUE(call(r, "intersects", {rect(3, 5, 7, 9)}).boolean);
    EXPECT_FALSE(call(r, "intersects", {rect(6, 3, 5, 7)}).boolean);
    EXPECT_FALSE(call(r, "intersects").boolean);

    EXPECT_EQ(text(call(r, "union", {rect(3, 5, 7, 9)})), "(x=1, y=3, w=9, h=11)");
    EXPECT_EQ(text(call(r, "union", {rect(-1, -3, 5, 7)})), "(x=-1, y=-3, w=7, h=13)");
    // Empty rectangles still stretch the bounds; a missing one gives NaN.
    EXPECT_EQ(text(call(r, "union", {make("Rectangle")})), "(x=0, y=0, w=6, h=10)");
    EXPECT_EQ(text(call(r, "union")), "(x=NaN, y=NaN, w=NaN, h=NaN)");

    Value c = call(r, "clone");
    EXPECT_NE(c.object, r.object);
    EXPECT_TRUE(call(r, "equals", {c}).boolean);
    call(c, "inflate", {num(1), num(2)});
    EXPECT_EQ(text(c), "(x=0, y=1, w=7, h=11)");
    call(c, "inflatePoint", {make("Point", {num(-3), num(-4)})});
    EXPECT_EQ(text(c), "(x=3, y=5, w=1, h=3)");
    call(c, "offset", {num(1)});
    EXPECT_EQ(text(c), "(x=4, y=NaN, w=1, h=3)");
    call(c, "offsetPoint", {make("Point", {num(1), num(2)})});
    EXPECT_EQ(text(c), "(x=5, y=NaN, w=1, h=3)");
    EXPECT_TRUE(call(c, "setEmpty").isUndefined());
    EXPECT_EQ(text(c), "(x=0, y=0, w=0, h=0)");
    EXPECT_FALSE(call(r, "equals", {c}).boolean);
}

TEST_F(Geom, MatrixNumerics)
{
    EXPECT_EQ(text(make("Matrix")), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
    EXPECT_EQ(text(make("Matrix", {num(1), num(2)})), "(a=1, b=2, c=undefined, d=undefined, tx=undefined, ty=undefined)");

    Value m = matrix(2, 3, 5, 7, 9, 11);
    call(m, "invert");
    EXPECT_EQ(text(m), "(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)");
    // Inverting back and concatenating with the inverse give the identity.
    Value back = call(m, "clone");
    call(back, "invert");
    EXPECT_EQ(text(back), "(a=2, b=3, c=5, d=7, tx=9, ty=11)");
    call(back, "concat", {m});
    EXPECT_EQ(text(back), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");

    Value n = matrix(11, 13, 17, 19, 23, 29);
    call(n, "concat", {matrix(3, 0, 0, 5, 7, 9)});
    EXPECT_EQ(text(n), "(a=33, b=65, c=51, d=95, tx=76, ty=154)");
    call(n, "identity");
    call(n, "scale", {num(3), num(5)});
    call(n, "translate", {num(7), num(9)});
    EXPECT_EQ(text(n), "(a=3, b=0, c=0, d=5, tx=7, ty=9)");
    call(n, "rotate", {num(std::numbers::pi / 2)});
    EXPECT_NEAR(number(get(n, "b")), 3, 1e-12);
    EXPECT_NEAR(number(get(n, "c")), -5, 1e-12);
    EXPECT_NEAR(number(get(n, "tx")), -9, 1e-12);
    EXPECT_NEAR(number(get(n, "ty")), 7, 1e-12);

    Value t = matrix(2, 3, 5, 7, 11, 13);
    EXPECT_EQ(text(call(t, "transformPoint", {make("Point", {num(1), num(1)})})), "(x=18, y=23)");
    EXPECT_EQ(text(call(t, "deltaTransformPoint", {make("Point", {num(1), num(1)})})), "(x=7, y=10)");
    EXPECT_EQ(text(call(t, "transformPoint")), "(x=NaN, y=NaN)");

    Value b = make("Matrix");
    call(b, "createBox", {num(2), num(3)});
    EXPECT_EQ(text(b), "(a=NaN, b=NaN, c=NaN, d=NaN, tx=0, ty=0)");
    call(b, "createBox", {num(2), num(3), num(0), num(4), num(5)});
    EXPECT_EQ(text(b), "(a=2, b=0, c=0, d=3, tx=4, ty=5)");
    call(b, "createGradientBox", {num(200), num(300)});
    EXPECT_EQ(text(b), "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)");
}

TEST_F(Geom, ColorTransformAndOddReceivers)
{
    Value ct = make("ColorTransform");
    EXPECT_EQ(text(ct), "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
                        "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)");
    set(ct, "rgb", num(0x123456));
    EXPECT_EQ(number(get(ct, "rgb")), 0x123456);
    EXPECT_EQ(number(get(ct, "redOffset")), 0x12);
    EXPECT_EQ(number(get(ct, "blueOffset")), 0x56);
    EXPECT_EQ(number(get(ct, "redMultiplier")), 0);
    EXPECT_EQ(number(get(ct, "alphaMultiplier")), 1);

    Value a = make("ColorTransform", {num(0.5), num(1), num(1), num(1), num(10), num(0), num(0), num(0)});
    call(a, "concat", {make("ColorTransform", {num(2), num(1), num(1), num(1), num(4), num(0), num(0), num(0)})});
    EXPECT_EQ(number(get(a, "redMultiplier")), 1);
    EXPECT_EQ(number(get(a, "redOffset")), 12);

    // Methods called on primitives or plain objects neither crash nor
    // write anywhere.
    for (const char* c : {"Point", "Rectangle", "Matrix", "ColorTransform"}) {
        Value proto = get(cls(c), "prototype");
        for (const Value& self : {Value::undefined(), num(3), Value::fromObject(vm.newObject())}) {
            Args none;
            vm.call(get(proto, "toString"), self, none);
            vm.call(get(proto, "clone"), self, none);
            vm.call(get(proto, "concat"), self, none);
            vm.call(get(proto, "offset"), self, none);
        }
    }
    // A script-made subclass gets the fields through super().
    Value sub = Value::fromObject(vm.newObject());
    Value point = cls("Point");
    Args xy{num(1), num(2)};
    vm.call(point, sub, xy);
    EXPECT_EQ(number(get(sub, "x")), 1);
    // With the class gone, methods that make points answer undefined.
    vm.deleteMember(geom().object, QStringLiteral("Point"));
    EXPECT_TRUE(get(rect(1, 2, 3, 4), "topLeft").isUndefined());
}

} // namespace
