// flash.geom.Transform of SWF 8 and the `transform` property of clips and
// buttons. A Transform stands for its clip: every read makes a fresh
// Matrix, ColorTransform or Rectangle from where the clip is now (changing
// one changes nothing until it is assigned back), and assigning matrix or
// colorTransform applies to the clip at once, which the timeline then no
// longer moves. The clip is kept in the object's primitive slot, where
// scripts cannot reach or overwrite it.

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;
using builtins::liveClip;
using builtins::defineVirtual;
using Tint = Host::Tint;

constexpr const char* kColorFields[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                        "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

Value geomClass(Vm& vm, const char* name)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    return vm.getMember(vm.getMember(flash, QStringLiteral("geom")), QString::fromLatin1(name));
}

Value make(Vm& vm, const char* name, Args args)
{
    return vm.construct(geomClass(vm, name), args);
}

// The clip a Transform object stands for, while it is on the stage.
ClipObject* clipOf(Vm& vm, const Value& self)
{
    return self.isObject() ? liveClip(vm, self.object->primitive) : nullptr;
}

// A QTransform (offsets in twips) as a script Matrix (offsets in pixels).
Value matrixValue(Vm& vm, const QTransform& m)
{
    return make(vm, "Matrix",
                {Value::fromNumber(m.m11()), Value::fromNumber(m.m12()), Value::fromNumber(m.m21()),
                 Value::fromNumber(m.m22()), Value::fromNumber(m.dx() / 20), Value::fromNumber(m.dy() / 20)});
}

// A tint (multipliers in percent) as a script ColorTransform (multipliers
// as factors).
Value colorValue(Vm& vm, const Tint& t)
{
    Args args;
    for (int i = 0; i < 4; ++i)
        args.push_back(Value::fromNumber(t.mul[i] / 100));
    for (int i = 0; i < 4; ++i)
        args.push_back(Value::fromNumber(t.add[i]));
    return make(vm, "ColorTransform", std::move(args));
}

// A script matrix applied to the clip; objects that are none, or give a
// number that is not finite, change nothing.
void applyMatrix(Vm& vm, ClipObject* c, const Value& m)
{
    if (!c || !m.isObject())
        return;
    double f[6];
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i) {
        f[i] = vm.toNumber(vm.getMember(m, QString::fromLatin1(names[i])));
        if (!std::isfinite(f[i]))
            return;
    }
    vm.host()->setMatrix(c, QTransform(f[0], f[1], f[2], f[3], f[4] * 20, f[5] * 20));
}

void applyColor(Vm& vm, ClipObject* c, const Value& ct)
{
    Tint tint;
    if (!c || !ct.isObject() || !vm.host()->getTint(c, tint))
        return;
    for (int i = 0; i < 4; ++i) {
        const double mul = vm.toNumber(vm.getMember(ct, QString::fromLatin1(kColorFields[i])));
        const double add = vm.toNumber(vm.getMember(ct, QString::fromLatin1(kColorFields[i + 4])));
        if (!std::isfinite(mul) || !std::isfinite(add))
            return;
        tint.mul[i] = mul * 100;
        tint.add[i] = add;
    }
    vm.host()->setTint(c, tint);
}

// The clip's colour transform followed by each of its parents': what its
// pictures finally go through.
Tint concatenatedTint(Vm& vm, ClipObject* c)
{
    Tint out;
    for (ClipObject* at = c; at; at = vm.host()->parentOf(at)) {
        Tint own;
        if (!vm.host()->getTint(at, own))
            continue; // the main timeline has none
        for (int i = 0; i < 4; ++i) {
            out.add[i] = out.add[i] * own.mul[i] / 100 + own.add[i];
            out.mul[i] = out.mul[i] * own.mul[i] / 100;
        }
    }
    return out;
}

Value newTransform(Vm& vm, ClipObject* c)
{
    return make(vm, "Transform", {Value::fromObject(c)});
}

void installTransform(Vm& vm, Object* package)
{
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newClass(QString(), proto, [](Vm& vm, const Value& self, Args& args) {
        if (self.isObject() && liveClip(vm, arg(args, 0)))
            self.object->primitive = args[0];
        return Value::undefined();
    });
    package->define(QStringLiteral("Transform"), Value::fromObject(ctor), DontEnum);

    defineVirtual(
        vm, proto, QStringLiteral("matrix"),
        [](Vm& vm, const Value& self, Args&) -> Value {
            ClipObject* c = clipOf(vm, self);
            QTransform m;
            return c && vm.host()->getMatrix(c, m) ? matrixValue(vm, m) : Value();
        },
        [](Vm& vm, const Value& self, Args& args) -> Value {
            applyMatrix(vm, clipOf(vm, self), arg(args, 0));
            return Value();
        });
    defineVirtual(
        vm, proto, QStringLiteral("colorTransform"),
        [](Vm& vm, const Value& self, Args&) -> Value {
            ClipObject* c = clipOf(vm, self);
            Tint tint;
            if (!c)
                return Value();
            vm.host()->getTint(c, tint); // the main timeline's is the identity
            return colorValue(vm, tint);
        },
        [](Vm& vm, const Value& self, Args& args) -> Value {
            applyColor(vm, clipOf(vm, self), arg(args, 0));
            return Value();
        });
    defineVirtual(vm, proto, QStringLiteral("concatenatedMatrix"), [](Vm& vm, const Value& self, Args&) -> Value {
        ClipObject* c = clipOf(vm, self);
        QTransform m;
        return c && vm.host()->clipToStage(c, m) ? matrixValue(vm, m) : Value();
    });
    defineVirtual(vm, proto, QStringLiteral("concatenatedColorTransform"),
                  [](Vm& vm, const Value& self, Args&) -> Value {
                      ClipObject* c = clipOf(vm, self);
                      return c ? colorValue(vm, concatenatedTint(vm, c)) : Value();
                  });
    // What the clip draws, on the stage, in whole pixels.
    defineVirtual(vm, proto, QStringLiteral("pixelBounds"), [](Vm& vm, const Value& self, Args&) -> Value {
        ClipObject* c = clipOf(vm, self);
        QRectF local;
        QTransform toStage;
        if (!c || !vm.host()->clipBounds(c, local) || !vm.host()->clipToStage(c, toStage))
            return Value();
        QRectF r;
        if (!local.isNull()) {
            const QRectF s = toStage.mapRect(local);
            r = QRectF(QPointF(std::floor(s.left() / 20), std::floor(s.top() / 20)),
                       QPointF(std::ceil(s.right() / 20), std::ceil(s.bottom() / 20)));
        }
        return make(vm, "Rectangle",
                    {Value::fromNumber(r.x()), Value::fromNumber(r.y()), Value::fromNumber(r.width()),
                     Value::fromNumber(r.height())});
    });
}

// clip.transform: a new Transform of the clip; assigning one copies its
// matrix and colour transform onto the clip.
void installTransformProperty(Vm& vm, Object* proto)
{
    if (!proto)
        return;
    defineVirtual(
        vm, proto, QStringLiteral("transform"),
        [](Vm& vm, const Value& self, Args&) -> Value {
            ClipObject* c = liveClip(vm, self);
            return c ? newTransform(vm, c) : Value();
        },
        [](Vm& vm, const Value& self, Args& args) -> Value {
            ClipObject* c = liveClip(vm, self);
            const Value t = arg(args, 0);
            if (!c || !t.isObject())
                return Value();
            // Both are read before either applies: a Transform of this
            // very clip hands back what it had.
            const Value matrix = vm.getMember(t, QStringLiteral("matrix"));
            const Value color = vm.getMember(t, QStringLiteral("colorTransform"));
            applyMatrix(vm, c, matrix);
            applyColor(vm, c, color);
            return Value();
        });
}

} // namespace

void installTransformClass(Vm& vm)
{
    if (vm.version() < 8)
        return;
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    const Value geom = vm.getMember(flash, QStringLiteral("geom"));
    if (!geom.isObject())
        return;
    installTransform(vm, geom.object);
    installTransformProperty(vm, vm.clipPrototype);
    installTransformProperty(vm, vm.buttonPrototype);
}

} // namespace qev::swf::avm1
