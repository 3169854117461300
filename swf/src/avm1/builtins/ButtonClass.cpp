// Button: the script objects of buttons placed on a timeline. They share
// the clip objects' way to the stage (display properties, _name, _target,
// _parent, their children by name); their own class has only what buttons
// answer besides.

#include "avm1/ClipObject.h"
#include "avm1/Host.h"
#include "avm1/Vm.h"

namespace qev::swf::avm1 {

void installButtonClass(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.buttonPrototype = proto;
    vm.newClass(QStringLiteral("Button"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    proto->defineMethod(vm, QStringLiteral("getDepth"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (!t.isObject() || t.object->kind() != ObjectKind::Clip || !vm.host())
            return Value();
        auto* button = static_cast<ClipObject*>(t.object);
        const auto depth = vm.host()->isLive(button) ? vm.host()->depthOf(button) : std::nullopt;
        return depth ? Value::fromNumber(*depth) : Value();
    });
    // A button answers the pointer and shows the hand over it until a
    // script says otherwise.
    proto->define(QStringLiteral("enabled"), Value::fromBool(true));
    proto->define(QStringLiteral("useHandCursor"), Value::fromBool(true));
    // Listed among a button's properties before any script sets it.
    proto->define(QStringLiteral("tabIndex"), Value());
}

} // namespace qev::swf::avm1
