// flash.net.FileReference and FileReferenceList: choosing files to upload
// and places to download to. The player on a disc opens no file dialogs,
// writes no files and has no network, and says so the way a player does
// when those things fail:
//  - browse starts and is cancelled at once (onCancel), so nothing is ever
//    chosen and upload has no file to send;
//  - download takes the name the movie proposes as the place to save to
//    (onSelect), then cannot open the address: a line in the trace output
//    and onIOError.
// The events reach the listeners once the script that asked is done.

#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

Value package(Vm& vm, const char* name)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    if (!flash.isObject())
        return {};
    Value p = vm.getMember(flash, QString::fromLatin1(name));
    if (!p.isObject()) {
        p = Value::fromObject(vm.newObject());
        flash.object->define(QString::fromLatin1(name), p, DontEnum);
    }
    return p;
}

void makeBroadcaster(Vm& vm, const Value& self)
{
    if (self.isObject())
        vm.callMethod(vm.getMember(vm.global(), QStringLiteral("AsBroadcaster")), QStringLiteral("initialize"),
                      {self});
}

// Tells the listeners of self of an event (with self as its argument) once
// the running script is done.
void broadcastLater(Vm& vm, const Value& self, const QString& event)
{
    vm.defer(self, [&vm, self, event]() {
        vm.callMethod(self, QStringLiteral("broadcastMessage"), {Value::fromString(event), self});
    });
}

// The file name at the end of an address, without query or fragment.
QString fileNameOf(const QString& url)
{
    QString path = url.section(u'?', 0, 0).section(u'#', 0, 0);
    path.replace(u'\\', u'/');
    return path.section(u'/', -1);
}

void installFileReference(Vm& vm, Object* net)
{
    Object* proto = vm.newObject();
    FunctionObject* cls = vm.newClass(QString(), proto, [](Vm& vm, const Value& self, Args&) -> Value {
        makeBroadcaster(vm, self);
        return Value();
    });
    net->define(QStringLiteral("FileReference"), Value::fromObject(cls), DontEnum);
    // What a chosen file tells; nothing is chosen yet.
    for (const char* name : {"creationDate", "creator", "modificationDate", "name", "size", "type"})
        proto->define(QString::fromLatin1(name), Value(), DontEnum);
    proto->defineMethod(vm, QStringLiteral("browse"), [](Vm& vm, const Value& self, Args&) -> Value {
        if (!self.isObject())
            return Value::fromBool(false);
        broadcastLater(vm, self, QStringLiteral("onCancel"));
        return Value::fromBool(true);
    });
    // No file was chosen, so there is nothing to send.
    proto->defineMethod(vm, QStringLiteral("upload"), [](Vm&, const Value&, Args&) -> Value {
        return Value::fromBool(false);
    });
    proto->defineMethod(vm, QStringLiteral("cancel"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
    proto->defineMethod(vm, QStringLiteral("download"), [](Vm& vm, const Value& self, Args& args) -> Value {
        const Value& urlValue = arg(args, 0);
        if (!self.isObject() || !urlValue.isString() || urlValue.string.isEmpty())
            return Value::fromBool(false);
        const QString url = urlValue.string;
        QString name = args.size() > 1 && !args[1].isNullish() ? vm.toString(args[1]) : fileNameOf(url);
        vm.defer(self, [&vm, self, url, name]() {
            Object* file = self.object;
            file->define(QStringLiteral("name"), Value::fromString(name));
            const int dot = name.lastIndexOf(u'.');
            file->define(QStringLiteral("type"), dot >= 0 ? Value::fromString(name.mid(dot)) : Value());
            vm.callMethod(self, QStringLiteral("broadcastMessage"), {Value::fromString(QStringLiteral("onSelect")), self});
            if (vm.onTrace)
                vm.onTrace(QStringLiteral("Error opening URL '%1'").arg(url));
            vm.callMethod(self, QStringLiteral("broadcastMessage"),
                          {Value::fromString(QStringLiteral("onIOError")), self});
        });
        return Value::fromBool(true);
    });
}

void installFileReferenceList(Vm& vm, Object* net)
{
    Object* proto = vm.newObject();
    FunctionObject* cls = vm.newClass(QString(), proto, [](Vm& vm, const Value& self, Args&) -> Value {
        makeBroadcaster(vm, self);
        return Value();
    });
    net->define(QStringLiteral("FileReferenceList"), Value::fromObject(cls), DontEnum);
    proto->define(QStringLiteral("fileList"), Value(), DontEnum);
    proto->defineMethod(vm, QStringLiteral("browse"), [](Vm& vm, const Value& self, Args&) -> Value {
        if (!self.isObject())
            return Value::fromBool(false);
        broadcastLater(vm, self, QStringLiteral("onCancel"));
        return Value::fromBool(true);
    });
}

} // namespace

void installFileReferenceClasses(Vm& vm)
{
    const Value net = package(vm, "net");
    if (!net.isObject())
        return;
    installFileReference(vm, net.object);
    installFileReferenceList(vm, net.object);
}

} // namespace qev::swf::avm1
