// LocalConnection and XMLSocket: a player on a disc has no other players
// to talk to and no network.
//
// LocalConnection works between the connections of this movie: connect
// takes a name, send calls a method on the object that holds the name
// once the sending script is done, and tells the sender through onStatus
// whether anyone received it. XMLSocket never opens a socket: connect
// starts an attempt that fails, reported through onConnect(false) once
// the script is done, as a player reports a host it cannot reach.

#include "avm1/ArrayObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// Connection names in use, each mapped to the object that took it.
const QString kConnections = QStringLiteral("$localConnections");
// The name an object took, kept on the object.
const QString kConnectedName = QStringLiteral("$connectedName");

Object* connections(Vm& vm)
{
    Value r = vm.getMember(vm.global(), kConnections);
    if (!r.isObject()) {
        r = Value::fromObject(vm.newObject());
        vm.global()->define(kConnections, r, DontEnum);
    }
    return r.object;
}

// Connection names match whatever their letter case.
QString connectionKey(const QString& name)
{
    return name.toLower();
}

Object* statusInfo(Vm& vm, const QString& level)
{
    Object* info = vm.newObject();
    info->define(QStringLiteral("level"), Value::fromString(level));
    return info;
}

void installLocalConnection(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("LocalConnection"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    const std::uint8_t flags = DontEnum | DontDelete;
    // Movies from files belong to the local machine.
    proto->defineMethod(
        vm, QStringLiteral("domain"),
        [](Vm&, const Value&, Args&) -> Value { return Value::fromString(QStringLiteral("localhost")); }, flags);
    proto->defineMethod(
        vm, QStringLiteral("connect"),
        [](Vm& vm, const Value& self, Args& args) -> Value {
            const Value& name = arg(args, 0);
            if (!self.isObject() || !name.isString() || name.string.isEmpty() || name.string.contains(u':'))
                return Value::fromBool(false);
            if (self.object->findOwn(kConnectedName))
                return Value::fromBool(false); // one name per object
            Object* all = connections(vm);
            const QString key = connectionKey(name.string);
            if (all->findOwn(key))
                return Value::fromBool(false); // taken by another object
            all->define(key, self);
            self.object->define(kConnectedName, Value::fromString(key), DontEnum);
            return Value::fromBool(true);
        },
        flags);
    proto->defineMethod(
        vm, QStringLiteral("close"),
        [](Vm& vm, const Value& self, Args&) -> Value {
            if (!self.isObject())
                return Value();
            const Property* p = self.object->findOwn(kConnectedName);
            if (!p)
                return Value();
            connections(vm)->removeOwn(vm.toString(p->value));
            self.object->removeOwn(kConnectedName);
            return Value();
        },
        flags);
    proto->defineMethod(
        vm, QStringLiteral("send"),
        [](Vm& vm, const Value& self, Args& args) -> Value {
            const Value& name = arg(args, 0);
            const Value& method = arg(args, 1);
            if (!self.isObject() || !name.isString() || name.string.isEmpty() || !method.isString() ||
                method.string.isEmpty())
                return Value::fromBool(false);
            const QString key = connectionKey(name.string);
            const QString methodName = method.string;
            Args rest(args.size() > 2 ? args.begin() + 2 : args.end(), args.end());
            Object* holder = vm.newArray(rest);
            holder->define(QStringLiteral("sender"), self);
            vm.defer(Value::fromObject(holder), [&vm, self, key, methodName, rest]() {
                const Value receiver = vm.getMember(connections(vm), key);
                bool delivered = false;
                if (receiver.isObject()) {
                    const Value f = vm.getMember(receiver, methodName);
                    if (f.isObject() && f.object->kind() == ObjectKind::Function) {
                        Args callArgs = rest;
                        vm.call(f, receiver, callArgs);
                        delivered = true;
                    }
                }
                vm.callMethod(self, QStringLiteral("onStatus"),
                              {Value::fromObject(statusInfo(vm, delivered ? QStringLiteral("status")
                                                                          : QStringLiteral("error")))});
            });
            return Value::fromBool(true);
        },
        flags);
}

void installXmlSocket(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("XMLSocket"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    proto->defineMethod(vm, QStringLiteral("connect"), [](Vm& vm, const Value& self, Args& args) -> Value {
        if (!self.isObject())
            return Value::fromBool(false);
        // A port below 1024 is refused before any attempt.
        const double port = vm.toNumber(arg(args, 1));
        if (!(port >= 1024 && port <= 65535))
            return Value::fromBool(false);
        vm.defer(self, [&vm, self]() {
            vm.callMethod(self, QStringLiteral("onConnect"), {Value::fromBool(false)});
        });
        return Value::fromBool(true);
    });
    // Nothing is ever connected: there is nothing to send or close.
    proto->defineMethod(vm, QStringLiteral("send"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
    proto->defineMethod(vm, QStringLiteral("close"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
    // What arrives is a document: the default handler parses it for onXML.
    proto->defineMethod(vm, QStringLiteral("onData"), [](Vm& vm, const Value& self, Args& args) -> Value {
        Args source{arg(args, 0)};
        const Value doc = vm.construct(vm.getMember(vm.global(), QStringLiteral("XML")), source);
        vm.callMethod(self, QStringLiteral("onXML"), {doc});
        return Value();
    });
}

} // namespace

void installConnectionClasses(Vm& vm)
{
    installLocalConnection(vm);
    installXmlSocket(vm);
}

} // namespace qev::swf::avm1
