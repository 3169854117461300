// FLV files played by script: NetConnection (only the null connection a
// movie uses to play local files), NetStream (play, pause, seek, close,
// time, bytes, buffer time and the onStatus, onMetaData and onCuePoint
// handlers) and the methods of Video objects (attachVideo, clear). A stream
// reads its file beside the movie at once; its clock moves on with the
// movie's ticks (advanceNetStreams), which is also when its handlers hear
// of what happened, as they would from a stream that loads. The engine
// draws the picture of the attached stream in place of the embedded
// frames; the file's sound track goes to the movie's mixer from the
// stream's time whenever it starts, resumes or seeks.

#include "avm1/ArrayObject.h"
#include "avm1/Host.h"
#include "avm1/NetStreamObject.h"
#include "avm1/SoundHost.h"
#include "avm1/VideoObject.h"
#include "avm1/builtins/Support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

const QString kState = QStringLiteral("$netStream");
const QString kConnection = QStringLiteral("$connection");
// Streams that play, by key, so their clocks move on and their handlers hear events.
const QString kRegistry = QStringLiteral("$netStreams");
// Larger files are not read (a disc's intro is far smaller).
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

Object* registry(Vm& vm)
{
    Value r = vm.getMember(vm.global(), kRegistry);
    if (!r.isObject()) {
        r = Value::fromObject(vm.newObject());
        vm.global()->define(kRegistry, r, DontEnum);
    }
    return r.object;
}

Object* statusInfo(Vm& vm, const QString& code, const QString& level)
{
    Object* info = vm.newObject();
    info->define(QStringLiteral("code"), Value::fromString(code));
    info->define(QStringLiteral("level"), Value::fromString(level));
    return info;
}

// Script data of the file as script values; nesting is bounded.
Value toValue(Vm& vm, const QVariant& v, int depth = 0)
{
    if (depth > 32)
        return Value::undefined();
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        Object* o = vm.newObject();
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            o->define(it.key(), toValue(vm, it.value(), depth + 1));
        return Value::fromObject(o);
    }
    case QMetaType::QVariantList: {
        std::vector<Value> items;
        for (const QVariant& item : v.toList())
            items.push_back(toValue(vm, item, depth + 1));
        return Value::fromObject(vm.newArray(std::move(items)));
    }
    case QMetaType::Bool:
        return Value::fromBool(v.toBool());
    case QMetaType::QString:
        return Value::fromString(v.toString());
    case QMetaType::QDateTime:
        return Value::fromNumber(double(v.toDateTime().toMSecsSinceEpoch()));
    case QMetaType::Nullptr:
        return Value::null();
    default:
        break;
    }
    if (!v.isValid() || v.isNull())
        return Value::undefined();
    bool ok = false;
    const double n = v.toDouble(&ok);
    return ok ? Value::fromNumber(n) : Value::undefined();
}

} // namespace

// A file beside the movie, or in a folder below it: a relative path that
// names a plain file. Addresses, absolute paths and paths that climb out of
// the movie's folder give an empty result.
QString resolveBesideMovie(const QString& movieFolder, const QString& name)
{
    if (movieFolder.isEmpty() || name.isEmpty())
        return {};
    QString relative = name;
    relative.replace(u'\\', u'/');
    if (relative.startsWith(u'/') || relative.contains(u':'))
        return {};
    const QString folder = QDir::cleanPath(movieFolder);
    const QString path = QDir::cleanPath(folder + u'/' + relative);
    if (!path.startsWith(folder + u'/'))
        return {};
    return QFileInfo(path).isFile() ? path : QString();
}

NetStreamState* netStreamState(Vm& vm, const Value& stream)
{
    if (!stream.isObject())
        return nullptr;
    Property* p = stream.object->findOwn(kState);
    (void)vm;
    if (!p || !p->value.isObject())
        return nullptr;
    return dynamic_cast<NetStreamState*>(p->value.object);
}

video::FlvPlayback* playbackOf(Vm& vm, const Value& stream)
{
    NetStreamState* st = netStreamState(vm, stream);
    return st ? st->playback.get() : nullptr;
}

namespace {

// Starts the file's sound from the stream's time while it plays, stops it
// otherwise: after every call that starts, moves or stops the stream.
void syncSound(Vm& vm, NetStreamState* st)
{
    if (!vm.soundHost || !st)
        return;
    static std::uint64_t serial = 0;
    if (st->soundKey == 0)
        st->soundKey = (std::uint64_t(1) << 63) | ++serial;
    std::shared_ptr<video::FlvSound> sound = st->playback ? st->playback->sound() : nullptr;
    const bool on = sound != nullptr;
    if (on)
        vm.soundHost->startSoundStream(st->soundKey, std::move(sound));
    else if (st->soundOn)
        vm.soundHost->stopSoundStream(st->soundKey);
    st->soundOn = on;
}

void stopStream(Vm& vm, NetStreamState* st)
{
    if (st->playback)
        st->playback->close();
    st->playback.reset();
    if (!st->registryKey.isEmpty())
        registry(vm)->removeOwn(st->registryKey);
    st->registryKey.clear();
    st->bytesLoaded = st->bytesTotal = 0;
    syncSound(vm, st);
}

void playFile(Vm& vm, const Value& self, NetStreamState* st, const QString& name)
{
    stopStream(vm, st);
    video::FlvFile file;
    const QString path = resolveBesideMovie(vm.host() ? vm.host()->movieFolder() : QString(), name);
    QFile f(path);
    if (!path.isEmpty() && f.size() <= kMaxFileBytes && f.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = f.readAll();
        file = video::readFlv(bytes);
        st->bytesTotal = double(bytes.size());
        st->bytesLoaded = double(bytes.size());
        for (const QString& w : file.warnings)
            vm.warn(name + QStringLiteral(": ") + w);
    }
    st->playback = std::make_unique<video::FlvPlayback>(std::move(file));
    st->playback->play();
    syncSound(vm, st);
    static std::uint64_t serial = 0;
    st->registryKey = QStringLiteral("s%1").arg(++serial);
    registry(vm)->define(st->registryKey, self);
}

NetStreamState* stateOf(Vm& vm, const Value& self)
{
    if (!self.isObject())
        return nullptr;
    if (NetStreamState* st = netStreamState(vm, self))
        return st;
    auto* st = vm.heap().make<NetStreamState>(vm.objectPrototype);
    self.object->define(kState, Value::fromObject(st), DontEnum);
    return st;
}

void installNetConnection(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("NetConnection"), proto, [](Vm&, const Value&, Args&) -> Value { return {}; });
    // connect(null) makes the local connection streams play files through;
    // servers are not reached.
    proto->defineMethod(vm, QStringLiteral("connect"), [](Vm& vm, const Value& self, Args& args) {
        if (!self.isObject())
            return Value::fromBool(false);
        const bool local = arg(args, 0).isNullish();
        self.object->define(QStringLiteral("isConnected"), Value::fromBool(local), DontEnum);
        self.object->define(QStringLiteral("uri"), local ? Value::fromString(QStringLiteral("null")) : arg(args, 0),
                            DontEnum);
        Object* info = local ? statusInfo(vm, QStringLiteral("NetConnection.Connect.Success"), QStringLiteral("status"))
                             : statusInfo(vm, QStringLiteral("NetConnection.Connect.Failed"), QStringLiteral("error"));
        vm.runHandler(self.object, QStringLiteral("onStatus"), Args{Value::fromObject(info)});
        return Value::fromBool(local);
    });
    proto->defineMethod(vm, QStringLiteral("close"), [](Vm&, const Value& self, Args&) {
        if (self.isObject())
            self.object->define(QStringLiteral("isConnected"), Value::fromBool(false), DontEnum);
        return Value::undefined();
    });
}

void installNetStream(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("NetStream"), proto, [](Vm& vm, const Value& self, Args& args) -> Value {
        if (stateOf(vm, self))
            self.object->define(kConnection, arg(args, 0), DontEnum);
        return {};
    });
    proto->defineMethod(vm, QStringLiteral("play"), [](Vm& vm, const Value& self, Args& args) {
        if (NetStreamState* st = stateOf(vm, self))
            playFile(vm, self, st, vm.toString(arg(args, 0)));
        return Value::undefined();
    });
    // pause() toggles; pause(flag) pauses or resumes.
    proto->defineMethod(vm, QStringLiteral("pause"), [](Vm& vm, const Value& self, Args& args) {
        if (video::FlvPlayback* p = playbackOf(vm, self)) {
            if (args.empty() || arg(args, 0).isUndefined())
                p->togglePause();
            else
                p->pause(vm.toBoolean(arg(args, 0)));
            syncSound(vm, netStreamState(vm, self));
        }
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("seek"), [](Vm& vm, const Value& self, Args& args) {
        if (video::FlvPlayback* p = playbackOf(vm, self)) {
            p->seek(vm.toNumber(arg(args, 0)));
            syncSound(vm, netStreamState(vm, self));
        }
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("close"), [](Vm& vm, const Value& self, Args&) {
        if (NetStreamState* st = netStreamState(vm, self))
            stopStream(vm, st);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("setBufferTime"), [](Vm& vm, const Value& self, Args& args) {
        const double t = vm.toNumber(arg(args, 0));
        if (NetStreamState* st = stateOf(vm, self); st && t >= 0)
            st->bufferTime = t;
        return Value::undefined();
    });
    auto number = [](double NetStreamState::*field) {
        return [field](Vm& vm, const Value& self, Args&) {
            NetStreamState* st = netStreamState(vm, self);
            return Value::fromNumber(st ? st->*field : 0);
        };
    };
    defineVirtual(vm, proto, QStringLiteral("bufferTime"), number(&NetStreamState::bufferTime));
    defineVirtual(vm, proto, QStringLiteral("bytesLoaded"), number(&NetStreamState::bytesLoaded));
    defineVirtual(vm, proto, QStringLiteral("bytesTotal"), number(&NetStreamState::bytesTotal));
    defineVirtual(vm, proto, QStringLiteral("time"), [](Vm& vm, const Value& self, Args&) {
        video::FlvPlayback* p = playbackOf(vm, self);
        return Value::fromNumber(p ? p->time() : 0);
    });
    defineVirtual(vm, proto, QStringLiteral("bufferLength"), [](Vm& vm, const Value& self, Args&) {
        NetStreamState* st = netStreamState(vm, self);
        video::FlvPlayback* p = st ? st->playback.get() : nullptr;
        if (!p)
            return Value::fromNumber(0);
        const double left = std::max(0.0, p->durationMs() / 1000.0 - p->time());
        return Value::fromNumber(std::min(st->bufferTime, left));
    });
}

void installVideo(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("Video"), proto, [](Vm&, const Value&, Args&) -> Value { return {}; });
    proto->define(QStringLiteral("smoothing"), Value::fromBool(false));
    proto->define(QStringLiteral("deblocking"), Value::fromNumber(0));
    // attachVideo(stream) shows the stream's pictures; attachVideo(null) nothing.
    proto->defineMethod(vm, QStringLiteral("attachVideo"), [](Vm&, const Value& self, Args& args) {
        auto* v = self.isObject() ? dynamic_cast<VideoObject*>(self.object) : nullptr;
        if (v) {
            v->stream = arg(args, 0).isObject() ? arg(args, 0) : Value::null();
            v->cleared = false;
        }
        return Value::undefined();
    });
    // clear() takes the picture away until the stream shows its next one.
    proto->defineMethod(vm, QStringLiteral("clear"), [](Vm&, const Value& self, Args&) {
        if (auto* v = self.isObject() ? dynamic_cast<VideoObject*>(self.object) : nullptr) {
            v->cleared = true;
            v->clearedPicture = v->shownPicture;
        }
        return Value::undefined();
    });
}

} // namespace

void installNetStreamClasses(Vm& vm)
{
    installNetConnection(vm);
    installNetStream(vm);
    installVideo(vm);
}

void advanceNetStreams(Vm& vm, double ms)
{
    Object* reg = registry(vm);
    std::vector<std::pair<QString, Value>> playing;
    for (const Property& p : reg->ownProperties())
        playing.emplace_back(p.name, p.value);
    for (const auto& [key, stream] : playing) {
        NetStreamState* st = netStreamState(vm, stream);
        if (!st || !st->playback || st->registryKey != key) {
            reg->removeOwn(key);
            continue;
        }
        st->playback->advance(ms);
        bool started = false;
        const std::vector<video::StreamEvent> events = st->playback->takeEvents();
        for (const video::StreamEvent& e : events) {
            switch (e.kind) {
            case video::StreamEvent::Kind::Status:
                started = started || e.code == QLatin1String("NetStream.Play.Start");
                if (e.code == QLatin1String("NetStream.Play.StreamNotFound"))
                    stopStream(vm, st);
                vm.runHandler(stream.object, QStringLiteral("onStatus"),
                              Args{Value::fromObject(statusInfo(vm, e.code, e.level))});
                break;
            case video::StreamEvent::Kind::MetaData:
                vm.runHandler(stream.object, QStringLiteral("onMetaData"), Args{toValue(vm, e.value)});
                break;
            case video::StreamEvent::Kind::CuePoint:
                vm.runHandler(stream.object, QStringLiteral("onCuePoint"), Args{toValue(vm, e.value)});
                break;
            }
        }
        // The whole file is there at once: the buffer is full as soon as it starts.
        if (started && st->playback)
            vm.runHandler(stream.object, QStringLiteral("onStatus"),
                          Args{Value::fromObject(statusInfo(vm, QStringLiteral("NetStream.Buffer.Full"),
                                                            QStringLiteral("status")))});
    }
}

} // namespace qev::swf::avm1
