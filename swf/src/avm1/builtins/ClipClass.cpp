// MovieClip: the methods scripts call on clips (timeline control, and
// clips made, moved between depths and removed by scripts). The clip's
// display properties are the stage's (ClipObject asks the host).

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;

// The clip a method was called on, if it is still on the stage.
ClipObject* clipOf(Vm& vm, const Value& thisValue)
{
    if (!thisValue.isObject() || thisValue.object->kind() != ObjectKind::Clip || !vm.host())
        return nullptr;
    auto* c = static_cast<ClipObject*>(thisValue.object);
    return vm.host()->isLive(c) ? c : nullptr;
}

// gotoAndPlay/gotoAndStop's frame: a number from 1, or a label.
void gotoArg(Vm& vm, ClipObject* c, const Value& frame, bool play)
{
    if (frame.isString()) {
        const double n = stringToNumber(frame.string);
        if (std::isnan(n)) {
            const int f = vm.host()->findLabel(c, frame.string);
            if (f >= 0)
                vm.host()->gotoFrame(c, f, play);
            return;
        }
        vm.host()->gotoFrame(c, int(n) - 1, play);
        return;
    }
    const double n = vm.toNumber(frame);
    if (std::isfinite(n))
        vm.host()->gotoFrame(c, int(std::clamp(n, -1e9, 1e9)) - 1, play);
}

// A depth argument as the player reads it; nothing for what is no number.
std::optional<int> depthArg(Vm& vm, const Value& v)
{
    const double n = vm.toNumber(v);
    if (!std::isfinite(n))
        return std::nullopt;
    // Depths wrap as 32-bit integers (2^32 is depth 0); outside the range
    // scripts may use, nothing is made.
    const int depth = toInt32(n);
    if (depth < -16384 || depth > 2130690044)
        return std::nullopt;
    return depth;
}

} // namespace

void installClipClass(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.clipPrototype = proto;
    vm.newClass(QStringLiteral("MovieClip"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });

    // ---- timeline ----
    proto->defineMethod(vm, QStringLiteral("play"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            vm.host()->setPlaying(c, true);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("stop"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            vm.host()->setPlaying(c, false);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("gotoAndPlay"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            gotoArg(vm, c, arg(args, args.size() > 1 ? 1 : 0), true);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("gotoAndStop"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            gotoArg(vm, c, arg(args, args.size() > 1 ? 1 : 0), false);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("nextFrame"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            vm.host()->gotoFrame(c, vm.host()->currentFrame(c) + 1, false);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("prevFrame"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            vm.host()->gotoFrame(c, vm.host()->currentFrame(c) - 1, false);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("getBytesLoaded"), [](Vm& vm, const Value& t, Args&) -> Value {
        return clipOf(vm, t) ? Value::fromNumber(1) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("getBytesTotal"), [](Vm& vm, const Value& t, Args&) -> Value {
        return clipOf(vm, t) ? Value::fromNumber(1) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (t.isObject() && t.object->kind() == ObjectKind::Clip && vm.host())
            return Value::fromString(vm.host()->targetPath(static_cast<ClipObject*>(t.object)));
        return Value::fromString(QStringLiteral("[object Object]"));
    });

    // ---- clips made by scripts, and depths ----
    proto->defineMethod(vm, QStringLiteral("createEmptyMovieClip"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        const auto depth = depthArg(vm, arg(args, 1));
        if (!c || args.size() < 2 || !depth)
            return Value();
        return Value::fromObject(vm.host()->createClip(c, vm.toString(args[0]), *depth, QString(), nullptr));
    });
    proto->defineMethod(vm, QStringLiteral("attachMovie"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        const auto depth = depthArg(vm, arg(args, 2));
        if (!c || args.size() < 3 || !depth)
            return Value();
        const QString linkage = vm.toString(args[0]);
        ClipObject* made = vm.host()->createClip(c, vm.toString(args[1]), *depth, linkage, nullptr);
        // The init object's members are copied onto the new clip.
        if (made && args.size() > 3 && args[3].isObject())
            for (const QString& name : vm.enumerate(args[3].object))
                vm.setMember(made, name, vm.getMember(args[3].object, name));
        return made ? Value::fromObject(made) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("duplicateMovieClip"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        // The name is converted before the depth.
        const QString name = vm.toString(arg(args, 0));
        const auto depth = depthArg(vm, arg(args, 1));
        ClipObject* parent = c ? vm.host()->parentOf(c) : nullptr;
        if (!parent || args.size() < 2 || !depth)
            return Value();
        ClipObject* made = vm.host()->createClip(parent, name, *depth, QString(), c);
        if (made && args.size() > 2 && args[2].isObject())
            for (const QString& name : vm.enumerate(args[2].object))
                vm.setMember(made, name, vm.getMember(args[2].object, name));
        return made ? Value::fromObject(made) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("removeMovieClip"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = clipOf(vm, t))
            vm.host()->removeClip(c);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("getDepth"), [](Vm& vm, const Value& t, Args&) -> Value {
        ClipObject* c = clipOf(vm, t);
        if (!c)
            return Value();
        const auto depth = vm.host()->depthOf(c);
        return depth ? Value::fromNumber(*depth) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("getNextHighestDepth"), [](Vm& vm, const Value& t, Args&) -> Value {
        ClipObject* c = clipOf(vm, t);
        return c ? Value::fromNumber(vm.host()->nextHighestDepth(c)) : Value();
    });
    proto->defineMethod(vm, QStringLiteral("getInstanceAtDepth"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        const auto depth = depthArg(vm, arg(args, 0));
        if (!c || !depth)
            return Value();
        Object* found = vm.host()->objectAtDepth(c, *depth);
        return found ? Value::fromObject(found) : Value();
    });
    // setMask(clip) clips this clip by the other's shapes; setMask(null) ends it.
    proto->defineMethod(vm, QStringLiteral("setMask"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        if (!c)
            return Value();
        ClipObject* mask = nullptr;
        if (!args.empty() && args[0].isObject() && args[0].object->kind() == ObjectKind::Clip)
            mask = static_cast<ClipObject*>(args[0].object);
        else if (!args.empty() && args[0].isString())
            mask = vm.resolveTarget(c, vm.toString(args[0]));
        vm.host()->setMask(c, mask);
        return Value::fromBool(true);
    });
    proto->defineMethod(vm, QStringLiteral("swapDepths"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ClipObject* c = clipOf(vm, t);
        if (!c || args.empty())
            return Value();
        std::optional<int> depth;
        if (args[0].isObject() && args[0].object->kind() == ObjectKind::Clip) {
            auto* other = static_cast<ClipObject*>(args[0].object);
            if (vm.host()->isLive(other) && vm.host()->parentOf(other) == vm.host()->parentOf(c))
                depth = vm.host()->depthOf(other);
        } else {
            depth = depthArg(vm, args[0]);
        }
        if (depth)
            vm.host()->swapDepths(c, *depth);
        return Value();
    });
}

} // namespace qev::swf::avm1
