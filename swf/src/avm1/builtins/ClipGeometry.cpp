// MovieClip's geometry: getBounds, getRect, hitTest, localToGlobal and
// globalToLocal, in pixels, from what the stage says the clip draws and
// where it sits.

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;
using builtins::liveClip;

// The transform from the clip to the stage, and back.
bool stageTransform(Vm& vm, ClipObject* c, QTransform& out)
{
    return c && vm.host()->clipToStage(c, out);
}

// The bounds of a clip in the coordinates of space (itself when space is
// not a clip), as getBounds reports them: xMin, xMax, yMin, yMax in pixels.
// A clip that draws nothing reports the player's "no bounds" value.
Value boundsObject(Vm& vm, ClipObject* c, const Value& spaceArg)
{
    QRectF local;
    QTransform toStage;
    if (!vm.host()->clipBounds(c, local) || !stageTransform(vm, c, toStage))
        return Value();
    ClipObject* space = spaceArg.isUndefined() ? c : liveClip(vm, spaceArg);
    QTransform spaceToStage;
    if (!space || !stageTransform(vm, space, spaceToStage))
        return Value();
    bool invertible = false;
    const QTransform toSpace = toStage * spaceToStage.inverted(&invertible);
    Object* o = vm.newObject();
    if (local.isNull() || !invertible) {
        const double none = 6710886.35;
        for (const char* name : {"xMin", "xMax", "yMin", "yMax"})
            o->define(QString::fromLatin1(name), Value::fromNumber(none));
        return Value::fromObject(o);
    }
    const QRectF r = toSpace.mapRect(local);
    o->define(QStringLiteral("xMin"), Value::fromNumber(r.left() / 20));
    o->define(QStringLiteral("xMax"), Value::fromNumber(r.right() / 20));
    o->define(QStringLiteral("yMin"), Value::fromNumber(r.top() / 20));
    o->define(QStringLiteral("yMax"), Value::fromNumber(r.bottom() / 20));
    return Value::fromObject(o);
}

// Maps a script point object {x, y} (pixels) through m, in place.
void mapPoint(Vm& vm, const Value& point, const QTransform& m)
{
    if (!point.isObject())
        return;
    const double x = vm.toNumber(vm.getMember(point, QStringLiteral("x")));
    const double y = vm.toNumber(vm.getMember(point, QStringLiteral("y")));
    const QPointF p = m.map(QPointF(x * 20, y * 20));
    vm.setMember(point.object, QStringLiteral("x"), Value::fromNumber(p.x() / 20));
    vm.setMember(point.object, QStringLiteral("y"), Value::fromNumber(p.y() / 20));
}

} // namespace

void installClipGeometry(Vm& vm)
{
    Object* proto = vm.clipPrototype;
    for (const char* name : {"getBounds", "getRect"})
        proto->defineMethod(vm, QString::fromLatin1(name), [](Vm& vm, const Value& t, Args& args) -> Value {
            ClipObject* c = liveClip(vm, t);
            return c ? boundsObject(vm, c, arg(args, 0)) : Value();
        });
    proto->defineMethod(vm, QStringLiteral("localToGlobal"), [](Vm& vm, const Value& t, Args& args) -> Value {
        QTransform m;
        if (stageTransform(vm, liveClip(vm, t), m))
            mapPoint(vm, arg(args, 0), m);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("globalToLocal"), [](Vm& vm, const Value& t, Args& args) -> Value {
        QTransform m;
        bool invertible = false;
        if (stageTransform(vm, liveClip(vm, t), m)) {
            const QTransform back = m.inverted(&invertible);
            if (invertible)
                mapPoint(vm, arg(args, 0), back);
        }
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("startDrag"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = liveClip(vm, t);
        if (!c)
            return Value();
        std::optional<QRectF> limits;
        if (args.size() >= 5) {
            const double left = vm.toNumber(args[1]) * 20, top = vm.toNumber(args[2]) * 20;
            const double right = vm.toNumber(args[3]) * 20, bottom = vm.toNumber(args[4]) * 20;
            if (std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom))
                limits = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
        }
        vm.host()->startDrag(c, vm.toBoolean(arg(args, 0)), limits);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("stopDrag"), [](Vm& vm, const Value&, Args&) -> Value {
        if (vm.host())
            vm.host()->stopDrag();
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("hitTest"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = liveClip(vm, t);
        QRectF local;
        QTransform toStage;
        if (!c || !vm.host()->clipBounds(c, local) || !stageTransform(vm, c, toStage) || local.isNull())
            return Value::fromBool(false);
        const QRectF mine = toStage.mapRect(local);
        if (args.size() >= 2) {
            // A stage point, in pixels: within the clip's bounds, or with
            // shapeFlag under what it draws.
            const double x = vm.toNumber(args[0]), y = vm.toNumber(args[1]);
            if (args.size() >= 3 && vm.toBoolean(args[2]))
                return Value::fromBool(vm.host()->coversPoint(c, QPointF(x, y)));
            return Value::fromBool(mine.contains(QPointF(x * 20, y * 20)));
        }
        ClipObject* other = liveClip(vm, arg(args, 0));
        QRectF otherLocal;
        QTransform otherToStage;
        if (!other || !vm.host()->clipBounds(other, otherLocal) || !stageTransform(vm, other, otherToStage)
            || otherLocal.isNull())
            return Value::fromBool(false);
        return Value::fromBool(mine.intersects(otherToStage.mapRect(otherLocal)));
    });
}

} // namespace qev::swf::avm1
