// Text that scripts load: LoadVars, XML.load and loadVariables. A movie on
// a disc reads the files beside it; a relative address resolves against
// the movie's folder (never above it) and a query after "?" is dropped.
// Anything else (http addresses, absolute paths, a movie from memory)
// fails, as a load from a host that cannot be reached does: the player
// prints "Error opening URL" and the object hears of it through
// onData(undefined) and onLoad(false).
//
// The text arrives a frame later, as from a file that loads, and is
// decoded as UTF-8 in movies of SWF 6 and later (a byte-order mark names
// UTF-16 as well), in the system's code page below that or when
// System.useCodepage is set.

#include "avm1/ClipObject.h"
#include "avm1/Host.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include "qev/CodePage.h"

#include <QFile>
#include <QStringDecoder>
#include <QUrl>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// Larger files are not read.
constexpr qint64 kMaxLoadBytes = qint64(64) << 20;
// Frames between asking for a file and its text arriving.
constexpr int kLoadTicks = 1;

const QString kBytesLoaded = QStringLiteral("$bytesLoaded");
const QString kUnescape = QStringLiteral("$unescape");
const QString kEscape = QStringLiteral("$escape");

struct LoadedText {
    bool ok = false;
    QString text;
    qint64 bytes = 0;
};

QString decodeText(Vm& vm, const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    const Value system = vm.getMember(vm.global(), QStringLiteral("System"));
    const bool codePage =
        vm.version() < 6 || (system.isObject() && vm.toBoolean(vm.getMember(system, QStringLiteral("useCodepage"))));
    if (codePage)
        return CodePage::fromEnvironment().decode(bytes);
    return QString::fromUtf8(bytes);
}

LoadedText readBesideMovie(Vm& vm, const QString& url)
{
    LoadedText result;
    const QString folder = vm.host() ? vm.host()->movieFolder() : QString();
    const QString path = url.section(u'?', 0, 0).section(u'#', 0, 0);
    QString file = resolveBesideMovie(folder, path);
    if (file.isEmpty()) {
        const QString decoded = QUrl::fromPercentEncoding(path.toUtf8());
        if (decoded != path)
            file = resolveBesideMovie(folder, decoded);
    }
    if (file.isEmpty())
        return result;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxLoadBytes)
        return result;
    const QByteArray bytes = f.readAll();
    result.ok = true;
    result.bytes = bytes.size();
    result.text = decodeText(vm, bytes);
    return result;
}

void reportFailure(Vm& vm, const QString& url)
{
    if (vm.onTrace)
        vm.onTrace(QStringLiteral("Error opening URL '%1'").arg(url));
}

// Starts loading url for target: a frame later its onData hears the text
// (undefined when the file could not be read).
void startLoad(Vm& vm, const Value& target, const QString& url)
{
    if (!target.isObject())
        return;
    target.object->removeOwn(kBytesLoaded);
    vm.defer(
        target,
        [&vm, target, url]() {
            const LoadedText loaded = readBesideMovie(vm, url);
            if (!loaded.ok) {
                reportFailure(vm, url);
                vm.callMethod(target, QStringLiteral("onData"), {Value()});
                return;
            }
            target.object->define(kBytesLoaded, Value::fromNumber(double(loaded.bytes)), DontEnum);
            vm.callMethod(target, QStringLiteral("onData"), {Value::fromString(loaded.text)});
        },
        kLoadTicks);
}

Value pinnedGlobal(Vm& vm, const QString& hiddenName)
{
    const Property* p = vm.global()->findOwn(hiddenName);
    return p ? p->value : Value();
}

QString unescapeComponent(Vm& vm, QString s)
{
    s.replace(u'+', u' ');
    Args args{Value::fromString(s)};
    return vm.toString(vm.call(pinnedGlobal(vm, kUnescape), Value(), args));
}

QString escapeComponent(Vm& vm, const QString& s)
{
    Args args{Value::fromString(s)};
    return vm.toString(vm.call(pinnedGlobal(vm, kEscape), Value(), args));
}

// name=value pairs joined by "&", URL-encoded, each set on target as a string.
void decodeVariables(Vm& vm, const Value& target, const QString& text)
{
    for (const QString& pair : text.split(u'&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf(u'=');
        const QString name = unescapeComponent(vm, eq < 0 ? pair : pair.left(eq));
        if (name.isEmpty())
            continue;
        const QString value = eq < 0 ? QString() : unescapeComponent(vm, pair.mid(eq + 1));
        vm.setMember(target, name, Value::fromString(value));
    }
}

Value bytesLoaded(const Value& self)
{
    if (!self.isObject())
        return Value();
    const Property* p = self.object->findOwn(kBytesLoaded);
    return p ? p->value : Value();
}

// load and sendAndLoad of LoadVars and XML: the object (or the target of
// sendAndLoad) is marked as not loaded and its text comes a frame later.
void defineLoadMethods(Vm& vm, Object* proto)
{
    proto->defineMethod(vm, QStringLiteral("load"), [](Vm& vm, const Value& self, Args& args) -> Value {
        if (!self.isObject() || args.empty() || args[0].isNullish())
            return Value::fromBool(false);
        vm.setMember(self, QStringLiteral("loaded"), Value::fromBool(false));
        startLoad(vm, self, vm.toString(args[0]));
        return Value::fromBool(true);
    });
    // Nothing is sent anywhere; what the address names beside the movie
    // is what the target receives.
    proto->defineMethod(vm, QStringLiteral("sendAndLoad"), [](Vm& vm, const Value&, Args& args) -> Value {
        const Value& target = arg(args, 1);
        if (args.empty() || args[0].isNullish() || !target.isObject())
            return Value::fromBool(false);
        vm.setMember(target, QStringLiteral("loaded"), Value::fromBool(false));
        startLoad(vm, target, vm.toString(args[0]));
        return Value::fromBool(true);
    });
    // There is no browser to send variables to.
    proto->defineMethod(vm, QStringLiteral("send"), [](Vm&, const Value&, Args&) -> Value {
        return Value::fromBool(false);
    });
    proto->defineMethod(vm, QStringLiteral("getBytesLoaded"), [](Vm&, const Value& self, Args&) -> Value {
        return bytesLoaded(self);
    });
    proto->defineMethod(vm, QStringLiteral("getBytesTotal"), [](Vm&, const Value& self, Args&) -> Value {
        return bytesLoaded(self);
    });
    proto->defineMethod(vm, QStringLiteral("addRequestHeader"), [](Vm&, const Value&, Args&) -> Value {
        return Value();
    });
}

void installLoadVars(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("LoadVars"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    proto->define(QStringLiteral("contentType"), Value::fromString(QStringLiteral("application/x-www-form-urlencoded")),
                  DontEnum);
    defineLoadMethods(vm, proto);
    proto->defineMethod(vm, QStringLiteral("decode"), [](Vm& vm, const Value& self, Args& args) -> Value {
        if (self.isObject() && !args.empty())
            decodeVariables(vm, self, vm.toString(args[0]));
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) -> Value {
        if (!self.isObject())
            return Value::fromString(QString());
        QStringList pairs;
        for (const QString& name : vm.enumerate(self.object))
            pairs << escapeComponent(vm, name) + u'=' + escapeComponent(vm, vm.toString(vm.getMember(self, name)));
        return Value::fromString(pairs.join(u'&'));
    });
    // What a finished load calls with the raw text.
    proto->defineMethod(vm, QStringLiteral("onData"), [](Vm& vm, const Value& self, Args& args) -> Value {
        const Value& src = arg(args, 0);
        if (src.isUndefined()) {
            vm.callMethod(self, QStringLiteral("onLoad"), {Value::fromBool(false)});
            return Value();
        }
        vm.callMethod(self, QStringLiteral("decode"), {src});
        vm.setMember(self, QStringLiteral("loaded"), Value::fromBool(true));
        vm.callMethod(self, QStringLiteral("onLoad"), {Value::fromBool(true)});
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("onLoad"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
}

} // namespace

void loadVariables(Vm& vm, ClipObject* target, const QString& url)
{
    if (!target)
        return;
    const Value clip = Value::fromObject(target);
    vm.defer(
        clip,
        [&vm, target, clip, url]() {
            if (vm.host() && !vm.host()->isLive(target))
                return;
            const LoadedText loaded = readBesideMovie(vm, url);
            if (!loaded.ok) {
                reportFailure(vm, url);
                return;
            }
            decodeVariables(vm, clip, loaded.text);
            if (vm.host())
                vm.host()->dataArrived(target);
        },
        kLoadTicks);
}

void installLoadingClasses(Vm& vm)
{
    // The decoders use the built-in escape and unescape, whatever scripts
    // later put under those names.
    for (const auto& [visible, hidden] : {std::pair{QStringLiteral("escape"), kEscape},
                                          std::pair{QStringLiteral("unescape"), kUnescape}})
        vm.global()->define(hidden, vm.getMember(vm.global(), visible), DontEnum | DontDelete | ReadOnly);
    installLoadVars(vm);
    const Value xml = vm.getMember(vm.global(), QStringLiteral("XML"));
    const Value xmlProto = xml.isObject() ? vm.getMember(xml, QStringLiteral("prototype")) : Value();
    if (xmlProto.isObject())
        defineLoadMethods(vm, xmlProto.object);
    if (vm.clipPrototype)
        vm.clipPrototype->defineMethod(vm, QStringLiteral("loadVariables"), [](Vm& vm, const Value& self, Args& args) -> Value {
            if (self.isObject() && self.object->kind() == ObjectKind::Clip && !args.empty())
                loadVariables(vm, static_cast<ClipObject*>(self.object), vm.toString(args[0]));
            return Value();
        });
}

} // namespace qev::swf::avm1
