// The Sound class: a script attaches an exported sound, starts it (part way
// in, looped), stops it, and sets how loud and where the sounds of its clip
// play (volume, pan, the four-way transform); position and duration are
// read-only virtual properties in milliseconds; onSoundComplete is called
// when a started sound plays to its end. loadSound reads a local MP3 file
// beside the movie (streaming ones start at once) and calls onLoad with
// whether it could, on the next frame as a download would. Sound objects that control the
// same clip share its volume and pan, as the player's do. Without the
// player's sound (tools, tests of other things) every method answers as if
// the sound were silent.

#include "avm1/ClipObject.h"
#include "avm1/SoundHost.h"
#include "avm1/builtins/Support.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

using builtins::defineVirtual;

// Where a Sound object keeps its state: properties scripts do not list.
const QString kGroup = QStringLiteral("$soundGroup");
const QString kSound = QStringLiteral("$soundId");
const QString kInstance = QStringLiteral("$soundInstance");
const QString kLoaded = QStringLiteral("$soundLoaded");
// Registry entries of Sound objects whose onLoad is due.
const QString kLoadPrefix = QStringLiteral("load");
// Per group (on the registry object): volume and transform in per cent.
const QString kRegistry = QStringLiteral("$sounds");

Value num(double n)
{
    return Value::fromNumber(n);
}

double hidden(Vm& vm, const Value& self, const QString& name, double fallback)
{
    if (!self.isObject())
        return fallback;
    const Value v = vm.getMember(self, name);
    return v.isUndefined() ? fallback : vm.toNumber(v);
}

void setHidden(const Value& self, const QString& name, double value)
{
    if (self.isObject())
        self.object->define(name, num(value), DontEnum);
}

// The object that keeps the state shared by a group and the Sound objects
// waiting for onSoundComplete; it hangs off the global object, so the
// collector keeps both.
Object* registry(Vm& vm)
{
    Value r = vm.getMember(vm.global(), kRegistry);
    if (!r.isObject()) {
        r = Value::fromObject(vm.newObject());
        vm.global()->define(kRegistry, r, DontEnum);
    }
    return r.object;
}

std::uint64_t groupOf(Vm& vm, const Value& self)
{
    return std::uint64_t(hidden(vm, self, kGroup, 0));
}

// A group's volume (0..) and transform (ll, lr, rl, rr), in per cent.
struct Mix {
    double volume = 100, ll = 100, lr = 0, rl = 0, rr = 100;
};

QString groupKey(std::uint64_t group)
{
    return QStringLiteral("group%1").arg(group);
}

Mix mixOf(Vm& vm, std::uint64_t group)
{
    Mix m;
    const Value g = vm.getMember(registry(vm), groupKey(group));
    if (!g.isObject())
        return m;
    auto read = [&](const char* name, double fallback) {
        const Value v = vm.getMember(g, QString::fromLatin1(name));
        return v.isUndefined() ? fallback : vm.toNumber(v);
    };
    m.volume = read("volume", 100);
    m.ll = read("ll", 100);
    m.lr = read("lr", 0);
    m.rl = read("rl", 0);
    m.rr = read("rr", 100);
    return m;
}

void applyMix(Vm& vm, std::uint64_t group, const Mix& m)
{
    Object* g = vm.newObject();
    g->define(QStringLiteral("volume"), num(m.volume));
    g->define(QStringLiteral("ll"), num(m.ll));
    g->define(QStringLiteral("lr"), num(m.lr));
    g->define(QStringLiteral("rl"), num(m.rl));
    g->define(QStringLiteral("rr"), num(m.rr));
    registry(vm)->define(groupKey(group), Value::fromObject(g), DontEnum);
    if (vm.soundHost) {
        auto part = [&](double v) { return std::isfinite(v) ? v * m.volume / 10000.0 : 0.0; };
        vm.soundHost->setRouting(group, part(m.ll), part(m.lr), part(m.rl), part(m.rr));
    }
}

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

} // namespace

void installSoundClass(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.newClass(QStringLiteral("Sound"), proto, [](Vm& vm, const Value& self, Args& args) {
        // new Sound(clip): the clip's sounds; new Sound(): the whole movie's.
        // Any other target names a clip by its path, so an object's
        // toString runs here (and what it throws ends the constructor).
        const Value& target = arg(args, 0);
        std::uint64_t group = 0;
        if (!target.isNullish()) {
            ClipObject* root = vm.host() ? vm.host()->rootClip() : nullptr;
            if (ClipObject* clip = vm.clipFromValue(root, target))
                group = clip->uid + 1;
        }
        setHidden(self, kGroup, double(group));
        return Value::undefined();
    });

    proto->defineMethod(vm, QStringLiteral("attachSound"), [](Vm& vm, const Value& self, Args& args) {
        const int id = vm.soundHost ? vm.soundHost->exportedSound(vm.toString(arg(args, 0))) : -1;
        setHidden(self, kSound, id);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("start"), [](Vm& vm, const Value& self, Args& args) {
        const int id = int(hidden(vm, self, kSound, -1));
        if (!vm.soundHost || id < 0)
            return Value::undefined();
        const double offset = std::max(0.0, finiteOr(argNumber(vm, args, 0), 0));
        const double loops = finiteOr(argNumber(vm, args, 1), 1);
        const std::uint64_t instance =
            vm.soundHost->startSound(id, groupOf(vm, self), offset * 1000, int(std::clamp(loops, 1.0, 32767.0)));
        setHidden(self, kInstance, double(instance));
        if (instance != 0)
            registry(vm)->define(QStringLiteral("i%1").arg(instance), self, DontEnum);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("loadSound"), [](Vm& vm, const Value& self, Args& args) {
        const int id = vm.soundHost ? vm.soundHost->loadSoundFile(vm.toString(arg(args, 0))) : -1;
        setHidden(self, kSound, id);
        setHidden(self, kLoaded, id >= 0 ? 1 : 0);
        if (id >= 0 && vm.toBoolean(arg(args, 1)))
            vm.callMethod(self, QStringLiteral("start"));
        if (self.isObject()) {
            Object* reg = registry(vm);
            const double n = hidden(vm, Value::fromObject(reg), QStringLiteral("$loads"), 0) + 1;
            setHidden(Value::fromObject(reg), QStringLiteral("$loads"), n);
            reg->define(kLoadPrefix + QString::number(n), self);
        }
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("stop"), [](Vm& vm, const Value& self, Args& args) {
        if (!vm.soundHost)
            return Value::undefined();
        int id = -1;
        if (!args.empty()) {
            id = vm.soundHost->exportedSound(vm.toString(args[0]));
            if (id < 0)
                return Value::undefined();
        }
        vm.soundHost->stopSounds(groupOf(vm, self), id);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("setVolume"), [](Vm& vm, const Value& self, Args& args) {
        Mix m = mixOf(vm, groupOf(vm, self));
        m.volume = finiteOr(argNumber(vm, args, 0), m.volume);
        applyMix(vm, groupOf(vm, self), m);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("getVolume"), [](Vm& vm, const Value& self, Args&) {
        return num(mixOf(vm, groupOf(vm, self)).volume);
    });
    proto->defineMethod(vm, QStringLiteral("setPan"), [](Vm& vm, const Value& self, Args& args) {
        // -100: left only, 100: right only; each side at full level.
        Mix m = mixOf(vm, groupOf(vm, self));
        const double pan = std::clamp(finiteOr(argNumber(vm, args, 0), 0), -100.0, 100.0);
        m.ll = pan > 0 ? 100 - pan : 100;
        m.rr = pan < 0 ? 100 + pan : 100;
        m.lr = m.rl = 0;
        applyMix(vm, groupOf(vm, self), m);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("getPan"), [](Vm& vm, const Value& self, Args&) {
        const Mix m = mixOf(vm, groupOf(vm, self));
        return num(m.ll < 100 ? 100 - m.ll : m.rr < 100 ? m.rr - 100 : 0);
    });
    proto->defineMethod(vm, QStringLiteral("setTransform"), [](Vm& vm, const Value& self, Args& args) {
        const Value& t = arg(args, 0);
        if (!t.isObject())
            return Value::undefined();
        Mix m = mixOf(vm, groupOf(vm, self));
        auto read = [&](const char* name, double& field) {
            const Value v = vm.getMember(t, QString::fromLatin1(name));
            if (!v.isUndefined())
                field = finiteOr(vm.toNumber(v), field);
        };
        read("ll", m.ll);
        read("lr", m.lr);
        read("rl", m.rl);
        read("rr", m.rr);
        applyMix(vm, groupOf(vm, self), m);
        return Value::undefined();
    });
    proto->defineMethod(vm, QStringLiteral("getTransform"), [](Vm& vm, const Value& self, Args&) {
        const Mix m = mixOf(vm, groupOf(vm, self));
        Object* t = vm.newObject();
        vm.setMember(t, QStringLiteral("ll"), num(m.ll));
        vm.setMember(t, QStringLiteral("lr"), num(m.lr));
        vm.setMember(t, QStringLiteral("rl"), num(m.rl));
        vm.setMember(t, QStringLiteral("rr"), num(m.rr));
        return Value::fromObject(t);
    });
    defineVirtual(vm, proto, QStringLiteral("duration"), [](Vm& vm, const Value& self, Args&) {
        const int id = int(hidden(vm, self, kSound, -1));
        if (!vm.soundHost || id < 0)
            return Value::undefined();
        return num(std::floor(vm.soundHost->soundDurationMs(id)));
    });
    defineVirtual(vm, proto, QStringLiteral("position"), [](Vm& vm, const Value& self, Args&) {
        const int id = int(hidden(vm, self, kSound, -1));
        if (!vm.soundHost || id < 0)
            return Value::undefined();
        const auto instance = std::uint64_t(hidden(vm, self, kInstance, 0));
        const double at = instance ? vm.soundHost->positionMs(instance) : 0;
        // Once the sound ended, position stays at its end.
        return num(std::floor(at < 0 ? vm.soundHost->soundDurationMs(id) : at));
    });
}

void deliverSoundCompletions(Vm& vm)
{
    Object* waiting = registry(vm);
    // Loads asked for since the last frame, in the order asked: onLoad(success).
    std::vector<std::pair<double, QString>> loads;
    for (const QString& key : vm.enumerate(waiting))
        if (key.startsWith(kLoadPrefix))
            loads.emplace_back(key.mid(kLoadPrefix.size()).toDouble(), key);
    std::sort(loads.begin(), loads.end());
    for (const auto& [order, key] : loads) {
        const Value sound = vm.getMember(waiting, key);
        waiting->removeOwn(key);
        if (!sound.isObject())
            continue;
        vm.runHandler(sound.object, QStringLiteral("onLoad"), Args{Value::fromBool(hidden(vm, sound, kLoaded, 0) != 0)});
    }
    if (!vm.soundHost)
        return;
    const std::vector<std::uint64_t> done = vm.soundHost->finishedSounds();
    if (done.empty())
        return;
    for (std::uint64_t instance : done) {
        const QString key = QStringLiteral("i%1").arg(instance);
        const Value sound = vm.getMember(waiting, key);
        waiting->removeOwn(key);
        // Only the sound the object started last counts as its own.
        if (sound.isObject() && std::uint64_t(hidden(vm, sound, kInstance, 0)) == instance)
            vm.runHandler(sound.object, QStringLiteral("onSoundComplete"));
    }
}

} // namespace qev::swf::avm1
