// Key, Mouse and Stage: what the user's keyboard and pointer did, as the
// engine reports it into Vm::input, and the stage's size. The objects are
// broadcasters (made with the other built-in objects); the engine tells
// their listeners of events.

#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <memory>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;
using builtins::defineVirtual;

Object* globalObject(Vm& vm, const char* name)
{
    const Value v = vm.getMember(vm.global(), QString::fromLatin1(name));
    return v.isObject() ? v.object : nullptr;
}

// Stage.displayState: "normal" or "fullScreen", written in any letter
// case; other words change nothing. A change tells the listeners through
// onFullScreen at once. The movie's stage keeps its size either way: the
// control shows it scaled to whatever room it has.
void installDisplayState(Vm& vm, Object* stage)
{
    auto fullScreen = std::make_shared<bool>(false);
    defineVirtual(
        vm, stage, QStringLiteral("displayState"),
        [fullScreen](Vm&, const Value&, Args&) {
            return Value::fromString(*fullScreen ? QStringLiteral("fullScreen") : QStringLiteral("normal"));
        },
        [fullScreen](Vm& vm, const Value& self, Args& args) {
            const QString word = vm.toString(arg(args, 0));
            bool wanted;
            if (word.compare(u"fullScreen", Qt::CaseInsensitive) == 0)
                wanted = true;
            else if (word.compare(u"normal", Qt::CaseInsensitive) == 0)
                wanted = false;
            else
                return Value();
            if (wanted == *fullScreen)
                return Value();
            *fullScreen = wanted;
            vm.callMethod(self, QStringLiteral("broadcastMessage"),
                          {Value::fromString(QStringLiteral("onFullScreen")), Value::fromBool(wanted)});
            return Value();
        });
}

} // namespace

void installInputClasses(Vm& vm)
{
    if (Object* key = globalObject(vm, "Key")) {
        key->defineMethod(vm, QStringLiteral("isDown"), [](Vm& vm, const Value&, Args& args) -> Value {
            return Value::fromBool(vm.input.keysDown.contains(int(vm.toNumber(arg(args, 0)))));
        });
        key->defineMethod(vm, QStringLiteral("getCode"), [](Vm& vm, const Value&, Args&) -> Value {
            return Value::fromNumber(vm.input.lastCode);
        });
        key->defineMethod(vm, QStringLiteral("getAscii"), [](Vm& vm, const Value&, Args&) -> Value {
            return Value::fromNumber(vm.input.lastAscii);
        });
        key->defineMethod(vm, QStringLiteral("isToggled"), [](Vm&, const Value&, Args&) -> Value {
            return Value::fromBool(false);
        });
    }
    if (Object* mouse = globalObject(vm, "Mouse")) {
        // Both answer whether the pointer was shown before.
        mouse->defineMethod(vm, QStringLiteral("show"), [](Vm& vm, const Value&, Args&) -> Value {
            const bool was = vm.input.mouseShown;
            vm.input.mouseShown = true;
            return Value::fromNumber(was ? 1 : 0);
        });
        mouse->defineMethod(vm, QStringLiteral("hide"), [](Vm& vm, const Value&, Args&) -> Value {
            const bool was = vm.input.mouseShown;
            vm.input.mouseShown = false;
            return Value::fromNumber(was ? 1 : 0);
        });
    }
    if (Object* stage = globalObject(vm, "Stage")) {
        defineVirtual(vm, stage, QStringLiteral("width"),
                      [](Vm& vm, const Value&, Args&) { return Value::fromNumber(vm.input.stageWidth); });
        defineVirtual(vm, stage, QStringLiteral("height"),
                      [](Vm& vm, const Value&, Args&) { return Value::fromNumber(vm.input.stageHeight); });
        // The control always shows the whole stage, aspect kept and centred.
        stage->define(QStringLiteral("scaleMode"), Value::fromString(QStringLiteral("showAll")), DontEnum);
        stage->define(QStringLiteral("align"), Value::fromString(QString()), DontEnum);
        stage->define(QStringLiteral("showMenu"), Value::fromBool(true), DontEnum);
        installDisplayState(vm, stage);
    }
}

} // namespace qev::swf::avm1
