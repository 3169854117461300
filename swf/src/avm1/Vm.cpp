#include "avm1/Vm.h"

#include "avm1/ArrayObject.h"
#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"

#include <algorithm>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <limits>

namespace qev::swf::avm1 {

namespace {

constexpr int maxProtoChain = 256;

// SWF 4 reads the longest decimal number the string starts with ("150a"
// is 150, "0x96" is 0), and 0 when there is none.
double swf4StringToNumber(const QString& s)
{
    const QByteArray latin = s.trimmed().toLatin1();
    const char* begin = latin.constData();
    int i = 0;
    if (begin[i] == '+' || begin[i] == '-')
        ++i;
    int digits = 0;
    while (begin[i] >= '0' && begin[i] <= '9') {
        ++i;
        ++digits;
    }
    if (begin[i] == '.') {
        ++i;
        while (begin[i] >= '0' && begin[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (begin[i] == 'e' || begin[i] == 'E') {
        int j = i + 1;
        if (begin[j] == '+' || begin[j] == '-')
            ++j;
        if (begin[j] >= '0' && begin[j] <= '9') {
            while (begin[j] >= '0' && begin[j] <= '9')
                ++j;
            i = j;
        }
    }
    return std::strtod(QByteArray(begin, i).constData(), nullptr);
}

std::int64_t steadyMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

} // namespace

Vm::Vm(int version, Host* host) : version_(version), host_(host), heap_(version >= 7)
{
    epochAtStart = double(QDateTime::currentMSecsSinceEpoch());
    timeZoneMinutes = QDateTime::currentDateTime().offsetFromUtc() / 60;
    installBuiltins();
}

Vm::~Vm() = default;

void Vm::warn(const QString& message)
{
    if (onWarning)
        onWarning(message);
}

void Vm::installBuiltins()
{
    // Object.prototype and Function.prototype come first: every other
    // object is made with one of them as its prototype.
    objectPrototype = heap_.make<Object>(nullptr);
    // Function.prototype is a plain object: typeof gives "object".
    functionPrototype = heap_.make<Object>(objectPrototype);
    // The global object inherits nothing: scripts that print it get
    // "[type Object]", as in the player.
    global_ = heap_.make<Object>(nullptr);
    installObjectClass(*this);
    installFunctionClass(*this);
    installArrayClass(*this);
    installStringClass(*this);
    installNumberAndBooleanClasses(*this);
    installMathObject(*this);
    installDateClass(*this);
    installErrorClass(*this);
    installBroadcaster(*this);
    installGlobalFunctions(*this);
    installClipClass(*this);
    installButtonClass(*this);
    installTimersAndFlags(*this);
    installSoundClass(*this);
    installColorClass(*this);
    installTextClasses(*this);
    installNetStreamClasses(*this);
    installPlaceholders(*this);
    installSystemObject(*this);
    installConnectionClasses(*this);
    installExternalInterface(*this);
    installFileReferenceClasses(*this);
    installGeomClasses(*this);
    installTransformClass(*this);
    installXmlClasses(*this);
    installInputClasses(*this);
    installClipGeometry(*this);
    installClipDrawing(*this);
    installLoadingClasses(*this);
    installClipLoading(*this);
    installBitmapDataClass(*this);
    installTextSnapshotClass(*this);
}

// ---- making objects ------------------------------------------------------

Object* Vm::newObject()
{
    return heap_.make<Object>(objectPrototype);
}

ArrayObject* Vm::newArray(std::vector<Value> elements)
{
    ArrayObject* a = heap_.make<ArrayObject>(arrayPrototype ? arrayPrototype : objectPrototype);
    a->assign(std::move(elements));
    return a;
}

FunctionObject* Vm::newNative(NativeFunction fn, NativeFunction constructor)
{
    FunctionObject* f = heap_.make<FunctionObject>(functionPrototype);
    f->native = std::move(fn);
    f->constructor = std::move(constructor);
    return f;
}

FunctionObject* Vm::newClass(const QString& name, Object* proto, NativeFunction fn, NativeFunction constructor)
{
    FunctionObject* f = newNative(std::move(fn), std::move(constructor));
    f->define(QStringLiteral("prototype"), Value::fromObject(proto), DontEnum | DontDelete);
    proto->define(QStringLiteral("constructor"), Value::fromObject(f), DontEnum);
    if (!name.isEmpty())
        global_->define(name, Value::fromObject(f), DontEnum);
    return f;
}

ClipObject* Vm::newClip(std::uint64_t uid, Object* proto)
{
    if (!proto)
        proto = clipPrototype ? clipPrototype : objectPrototype;
    ClipObject* c = heap_.make<ClipObject>(proto, uid);
    clips_[uid] = c;
    return c;
}

TextFieldObject* Vm::newTextField(std::uint64_t uid)
{
    TextFieldObject* t = heap_.make<TextFieldObject>(textFieldPrototype ? textFieldPrototype : objectPrototype, uid);
    textFields_[uid] = t;
    return t;
}

void Vm::throwError(const QString& message)
{
    Object* e = heap_.make<Object>(errorPrototype ? errorPrototype : objectPrototype, ObjectKind::Error);
    e->define(QStringLiteral("message"), Value::fromString(message));
    throw ThrownValue{Value::fromObject(e)};
}

// ---- conversions -----------------------------------------------------------

double Vm::toNumber(const Value& v)
{
    switch (v.type) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return version_ >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    case Value::Type::Boolean:
        return v.boolean ? 1 : 0;
    case Value::Type::Number:
        return v.number;
    case Value::Type::String:
        if (version_ < 5)
            return swf4StringToNumber(v.string);
        return stringToNumber(v.string, version_ < 6);
    case Value::Type::Object: {
        const Value p = toPrimitive(v);
        if (p.isObject())
            return std::numeric_limits<double>::quiet_NaN();
        return toNumber(p);
    }
    }
    return 0;
}

QString Vm::toString(const Value& v)
{
    switch (v.type) {
    case Value::Type::Undefined:
        return version_ >= 7 ? QStringLiteral("undefined") : QString();
    case Value::Type::Null:
        return QStringLiteral("null");
    case Value::Type::Boolean:
        // SWF 4 movies print booleans as 1 and 0.
        if (version_ < 5)
            return v.boolean ? QStringLiteral("1") : QStringLiteral("0");
        return v.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case Value::Type::Number:
        return numberToString(v.number);
    case Value::Type::String:
        return v.string;
    case Value::Type::Object: {
        if (v.object->kind() == ObjectKind::Clip)
            return host_ ? host_->targetPath(static_cast<ClipObject*>(v.object)) : QString();
        if (v.object->kind() == ObjectKind::TextField)
            return host_ ? host_->textFieldPath(static_cast<TextFieldObject*>(v.object)) : QString();
        // toString decides; anything but a string from it names the type.
        const Value f = getMember(v.object, QStringLiteral("toString"));
        if (f.isObject() && f.object->kind() == ObjectKind::Function) {
            Args none;
            const Value r = call(f, v, none);
            if (r.isString())
                return r.string;
        }
        return v.object->kind() == ObjectKind::Function ? QStringLiteral("[type Function]")
                                                        : QStringLiteral("[type Object]");
    }
    }
    return {};
}

bool Vm::toBoolean(const Value& v)
{
    switch (v.type) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return false;
    case Value::Type::Boolean:
        return v.boolean;
    case Value::Type::Number:
        return v.number != 0 && !std::isnan(v.number);
    case Value::Type::String:
        if (version_ >= 7)
            return !v.string.isEmpty();
        {
            const double n = stringToNumber(v.string, true);
            return n != 0 && !std::isnan(n);
        }
    case Value::Type::Object:
        return true;
    }
    return false;
}

Value Vm::toPrimitive(const Value& v, bool hintString)
{
    if (!v.isObject())
        return v;
    Object* o = v.object;
    // A Date converts to its string unless a number is asked for; clips to their path.
    if (o->kind() == ObjectKind::Clip)
        return Value::fromString(host_ ? host_->targetPath(static_cast<ClipObject*>(o)) : QString());
    if (o->kind() == ObjectKind::TextField)
        return Value::fromString(host_ ? host_->textFieldPath(static_cast<TextFieldObject*>(o)) : QString());
    // The player asks one method only: valueOf (toString for a string
    // hint), and takes whatever it gives, undefined when there is no such
    // function; callers decide what an object result means.
    const Value f = getMember(o, hintString ? QStringLiteral("toString") : QStringLiteral("valueOf"));
    if (!f.isObject() || f.object->kind() != ObjectKind::Function)
        return {};
    Args none;
    return call(f, v, none);
}

Object* Vm::toObject(const Value& v)
{
    switch (v.type) {
    case Value::Type::Object:
        return v.object;
    case Value::Type::String: {
        Object* o = heap_.make<Object>(stringPrototype ? stringPrototype : objectPrototype, ObjectKind::String);
        o->primitive = v;
        return o;
    }
    case Value::Type::Number: {
        Object* o = heap_.make<Object>(numberPrototype ? numberPrototype : objectPrototype, ObjectKind::Number);
        o->primitive = v;
        return o;
    }
    case Value::Type::Boolean: {
        Object* o = heap_.make<Object>(booleanPrototype ? booleanPrototype : objectPrototype, ObjectKind::Boolean);
        o->primitive = v;
        return o;
    }
    default:
        return nullptr;
    }
}

QString Vm::typeOf(const Value& v)
{
    switch (v.type) {
    case Value::Type::Undefined:
        return QStringLiteral("undefined");
    case Value::Type::Null:
        return QStringLiteral("null");
    case Value::Type::Boolean:
        return QStringLiteral("boolean");
    case Value::Type::Number:
        return QStringLiteral("number");
    case Value::Type::String:
        return QStringLiteral("string");
    case Value::Type::Object:
        if (v.object->kind() == ObjectKind::Function)
            return QStringLiteral("function");
        if (v.object->kind() == ObjectKind::Clip)
            return QStringLiteral("movieclip");
        return QStringLiteral("object");
    }
    return {};
}

double Vm::toInteger(const Value& v)
{
    const double n = toNumber(v);
    if (std::isnan(n))
        return 0;
    if (std::isinf(n))
        return n;
    return std::trunc(n);
}

// ---- members -----------------------------------------------------------------

Value Vm::getMember(const Value& target, const QString& name)
{
    switch (target.type) {
    case Value::Type::Object:
        return getMember(target.object, name);
    case Value::Type::String:
        if (name == u"length")
            return Value::fromNumber(double(target.string.size()));
        if (stringPrototype) {
            // Methods see the primitive as this; the wrapper is never kept.
            Object* holder = nullptr;
            if (Property* p = stringPrototype->find(name, &holder)) {
                if (p->getter) {
                    Args none;
                    return call(Value::fromObject(p->getter), target, none);
                }
                return p->value;
            }
        }
        return {};
    case Value::Type::Number:
    case Value::Type::Boolean: {
        Object* proto = target.isNumber() ? numberPrototype : booleanPrototype;
        if (proto) {
            if (Property* p = proto->find(name)) {
                if (p->getter) {
                    Args none;
                    return call(Value::fromObject(p->getter), target, none);
                }
                return p->value;
            }
        }
        return {};
    }
    default:
        return {};
    }
}

Value Vm::getMember(Object* o, const QString& name)
{
    if (!o)
        return {};
    if (name == u"__proto__" || (!heap_.caseSensitive() && name.compare(u"__proto__", Qt::CaseInsensitive) == 0))
        return o->proto() ? Value::fromObject(o->proto()) : Value::undefined();
    if (o->kind() == ObjectKind::Other) {
        if (auto* s = dynamic_cast<SuperObject*>(o)) {
            Value thisValue = s->thisValue;
            Object* holder = nullptr;
            Property* p = s->base ? s->base->find(name, &holder) : nullptr;
            if (!p)
                return {};
            if (p->getter) {
                Args none;
                return call(Value::fromObject(p->getter), thisValue, none);
            }
            return p->value;
        }
    }
    if (Property* p = o->findOwn(name); p && p->hiddenBelowVersion <= version_) {
        if (p->getter) {
            Args none;
            return call(Value::fromObject(p->getter), Value::fromObject(o), none);
        }
        return p->value;
    }
    if (o->kind() == ObjectKind::String && name == u"length" && o->primitive.isString())
        return Value::fromNumber(double(o->primitive.string.size()));
    Value special;
    if (o->getSpecial(*this, name, special))
        return special;
    Object* proto = o->proto();
    for (int i = 0; proto && i < maxProtoChain; ++i, proto = proto->proto()) {
        if (Property* p = proto->findOwn(name); p && p->hiddenBelowVersion <= version_) {
            if (p->getter) {
                Args none;
                return call(Value::fromObject(p->getter), Value::fromObject(o), none);
            }
            return p->value;
        }
        if (proto->kind() != ObjectKind::Plain && proto->getSpecial(*this, name, special))
            return special;
    }
    return {};
}

void Vm::setMember(const Value& target, const QString& name, const Value& v)
{
    if (target.isObject())
        setMember(target.object, name, v);
}

void Vm::setMember(Object* o, const QString& name, const Value& v)
{
    if (!o)
        return;
    if (name == u"__proto__" || (!heap_.caseSensitive() && name.compare(u"__proto__", Qt::CaseInsensitive) == 0)) {
        if (v.isObject())
            o->setProto(v.object);
        else if (v.isNull())
            o->setProto(nullptr);
        return;
    }
    Value value = v;
    if (o->watchers) {
        auto it = o->watchers->find(o->key(name));
        if (it != o->watchers->end() && !it->running) {
            Value callback = it->callback;
            Args args{Value::fromString(name), getMember(o, name), v, it->userData};
            it->running = true;
            try {
                value = call(callback, Value::fromObject(o), args);
            } catch (...) {
                if (auto again = o->watchers->find(o->key(name)); again != o->watchers->end())
                    again->running = false;
                throw;
            }
            if (auto again = o->watchers->find(o->key(name)); again != o->watchers->end())
                again->running = false;
        }
    }
    if (o->setSpecial(*this, name, value))
        return;
    if (Property* p = o->findOwn(name)) {
        if (p->getter || p->setter) {
            if (p->setter) {
                Object* setter = p->setter;
                Args args{value};
                call(Value::fromObject(setter), Value::fromObject(o), args);
            }
            return;
        }
        if (p->flags & ReadOnly)
            return;
        p->value = value;
        if (p->hiddenBelowVersion > version_)
            p->hiddenBelowVersion = 0;
        return;
    }
    // A virtual property on a prototype takes the write through its setter.
    Object* proto = o->proto();
    for (int i = 0; proto && i < maxProtoChain; ++i, proto = proto->proto()) {
        if (Property* p = proto->findOwn(name); p && (p->getter || p->setter)) {
            if (p->setter) {
                Object* setter = p->setter;
                Args args{value};
                call(Value::fromObject(setter), Value::fromObject(o), args);
            }
            return;
        }
    }
    o->define(name, value);
}

bool Vm::deleteMember(Object* o, const QString& name)
{
    if (!o)
        return false;
    if (Property* p = o->findOwn(name)) {
        if (p->flags & DontDelete)
            return false;
        return o->removeOwn(name);
    }
    return o->deleteSpecial(*this, name);
}

bool Vm::hasProperty(Object* o, const QString& name)
{
    for (int i = 0; o && i < maxProtoChain; ++i, o = o->proto()) {
        if (const Property* p = o->findOwn(name); p && p->hiddenBelowVersion <= version_)
            return true;
        if (o->hasSpecial(*this, name))
            return true;
        if (o->kind() == ObjectKind::String && name == u"length" && o->primitive.isString())
            return true;
    }
    return false;
}

std::vector<QString> Vm::enumerate(Object* o)
{
    std::vector<QString> names;
    QSet<QString> seen;
    std::vector<std::pair<std::uint32_t, QString>> stamped;
    for (int i = 0; o && i < maxProtoChain; ++i, o = o->proto()) {
        std::vector<QString> special;
        o->specialNames(*this, special);
        for (const QString& n : special)
            if (!seen.contains(o->key(n))) {
                seen.insert(o->key(n));
                names.push_back(n);
            }
        auto visit = [&](const QString& name, bool enumerable) {
            const QString k = o->key(name);
            if (seen.contains(k))
                return;
            seen.insert(k);
            if (enumerable)
                names.push_back(name);
        };
        // Newest first, as the player lists them; array elements fall in
        // between the properties by their creation stamps.
        stamped.clear();
        o->stampedNames(stamped);
        std::sort(stamped.begin(), stamped.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        auto next = stamped.begin();
        const auto& props = o->ownProperties();
        for (auto it = props.rbegin(); it != props.rend(); ++it) {
            for (; next != stamped.end() && next->first > it->order; ++next)
                visit(next->second, true);
            visit(it->name, !(it->flags & DontEnum));
        }
        for (; next != stamped.end(); ++next)
            visit(next->second, true);
    }
    return names;
}

std::uint32_t Vm::lengthOf(Object* o)
{
    if (auto* a = dynamic_cast<ArrayObject*>(o))
        return a->walkLength(*this);
    const double n = toNumber(getMember(o, QStringLiteral("length")));
    return std::isfinite(n) && n > 0 ? std::uint32_t(std::min(n, double(limits_.maxArrayLength))) : 0;
}

// ---- calls ---------------------------------------------------------------------

Value Vm::call(const Value& function, const Value& thisValue, Args& args)
{
    if (!function.isObject() || function.object->kind() != ObjectKind::Function)
        return {};
    auto* f = static_cast<FunctionObject*>(function.object);
    if (f->native)
        return f->native(*this, thisValue, args);
    if (f->script) {
        Object* home = thisValue.isObject() ? thisValue.object->proto() : nullptr;
        return callScript(f, thisValue, args, home);
    }
    return {};
}

Value Vm::callMethod(const Value& target, const QString& name, Args args)
{
    const Value f = getMember(target, name);
    return call(f, target, args);
}

Value Vm::construct(const Value& constructor, Args& args)
{
    if (!constructor.isObject() || constructor.object->kind() != ObjectKind::Function)
        return {};
    auto* f = static_cast<FunctionObject*>(constructor.object);
    const Value protoValue = getMember(f, QStringLiteral("prototype"));
    Object* proto = protoValue.isObject() ? protoValue.object : objectPrototype;
    Object* o = heap_.make<Object>(proto);
    o->define(QStringLiteral("__constructor__"), constructor, DontEnum);
    if (version_ < 7)
        o->define(QStringLiteral("constructor"), constructor, DontEnum);
    if (f->constructor) {
        Value r = f->constructor(*this, Value::fromObject(o), args);
        if (r.isObject())
            return r;
        if (r.isNull() && f->constructionMayFail)
            return {};
        return Value::fromObject(o);
    }
    if (f->native) {
        f->native(*this, Value::fromObject(o), args);
        return Value::fromObject(o);
    }
    if (f->script)
        callScript(f, Value::fromObject(o), args, proto);
    return Value::fromObject(o);
}

bool Vm::instanceOf(const Value& v, const Value& constructor)
{
    if (!v.isObject() || !constructor.isObject())
        return false;
    const Value protoValue = getMember(constructor.object, QStringLiteral("prototype"));
    if (!protoValue.isObject())
        return false;
    Object* target = protoValue.object;
    Object* o = v.object->proto();
    for (int i = 0; o && i < maxProtoChain; ++i, o = o->proto()) {
        if (o == target)
            return true;
        // Interfaces a class implements count too.
        const Value ctor = getMember(o, QStringLiteral("constructor"));
        if (ctor.isObject() && ctor.object->kind() == ObjectKind::Function) {
            for (Object* iface : static_cast<FunctionObject*>(ctor.object)->interfaces)
                if (iface == constructor.object)
                    return true;
        }
    }
    return false;
}

// ---- running ---------------------------------------------------------------------

void Vm::beginRun()
{
    actionsThisRun_ = 0;
    runStartedMs_ = steadyMs();
    aborted_ = false;
}

void Vm::beginTick()
{
    beginRun();
    inTick_ = true;
}

void Vm::endTick()
{
    inTick_ = false;
}

void Vm::countAction()
{
    if (++actionsThisRun_ > limits_.maxActionsPerRun) {
        aborted_ = true;
        throw ScriptAborted{QStringLiteral("scripts ran more than %1 actions in one frame").arg(limits_.maxActionsPerRun)};
    }
    if ((actionsThisRun_ & 0xFFF) == 0 && steadyMs() - runStartedMs_ > limits_.maxRunMilliseconds) {
        aborted_ = true;
        throw ScriptAborted{QStringLiteral("scripts ran longer than %1 ms in one frame").arg(limits_.maxRunMilliseconds)};
    }
}

void Vm::runGuarded(const std::function<void()>& body)
{
    const bool outer = !running_;
    if (outer) {
        if (!inTick_)
            beginRun();
        if (aborted_)
            return;
        running_ = true;
    }
    try {
        body();
    } catch (const ThrownValue& t) {
        // The player reports an exception nobody caught through trace.
        if (onTrace)
            onTrace(QStringLiteral("Warning: Uncaught exception, ") + toString(t.value));
    } catch (const ScriptAborted& a) {
        if (!outer)
            throw; // the outermost run reports it once
        running_ = false;
        warn(QStringLiteral("script stopped: %1").arg(a.reason));
        return;
    }
    if (outer)
        running_ = false;
}

void Vm::runBlock(const std::shared_ptr<const QByteArray>& block, ClipObject* clip)
{
    if (!block || block->isEmpty())
        return;
    runGuarded([&] {
        auto scope = std::make_shared<Scope>();
        scope->kind = Scope::Kind::Global;
        scope->object = global_;
        ScopePtr chain = scope;
        if (clip) {
            auto target = std::make_shared<Scope>();
            target->kind = Scope::Kind::Target;
            target->object = clip;
            target->parent = chain;
            chain = target;
        }
        Registers registers;
        registers.local.resize(4);
        execute(block, 0, std::uint32_t(block->size()), chain, clip ? Value::fromObject(clip) : Value::undefined(),
                clip, nullptr, &registers, 0);
    });
}

void Vm::runHandler(Object* target, const QString& name, Args args)
{
    if (!target)
        return;
    runGuarded([&] {
        const Value f = getMember(target, name);
        if (f.isObject() && f.object->kind() == ObjectKind::Function)
            call(f, Value::fromObject(target), args);
    });
}

void Vm::runConstructor(const Value& constructor, Object* self)
{
    if (!self)
        return;
    runGuarded([&] {
        Args none;
        call(constructor, Value::fromObject(self), none);
    });
}

// ---- clock and timers --------------------------------------------------------------

void Vm::advanceClock(double ms)
{
    if (ms > 0)
        timerMs_ += ms;
}

int Vm::addTimer(const Value& target, const Value& function, const QString& method, double ms, Args args, bool repeat)
{
    const int id = nextTimerId_++;
    Timer t;
    t.target = target;
    t.function = function;
    t.method = method;
    t.interval = std::isfinite(ms) && ms > 0 ? ms : 0;
    t.due = timerMs_ + t.interval;
    t.args = std::move(args);
    t.repeat = repeat;
    timers_[id] = std::move(t);
    return id;
}

void Vm::clearTimer(int id)
{
    timers_.erase(id);
}

void Vm::runTimers(const std::function<void()>& afterEach)
{
    // Each timer fires as often as its interval fits into the time that
    // passed, the firings in the order they fall due; what one firing asked
    // for (afterEach) is done before the next. Timers added meanwhile wait
    // for the next turn.
    const int firstNew = nextTimerId_;
    for (int fired = 0; fired < maxTimerFiringsPerTurn; ++fired) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end() && it->first < firstNew; ++it)
            if (it->second.due <= timerMs_ && (next == timers_.end() || it->second.due < next->second.due))
                next = it;
        if (next == timers_.end())
            break;
        Timer t = next->second;
        if (t.repeat)
            next->second.due += std::max(t.interval, 1.0);
        else
            timers_.erase(next);
        Value f = t.function;
        Value thisValue = t.target;
        if (!t.method.isNull()) {
            f = getMember(t.target, t.method);
        }
        // Timers fire between scripts, never inside one.
        if (running_)
            break;
        runGuarded([&] { call(f, thisValue, t.args); });
        if (afterEach)
            afterEach();
    }
    // A clock far ahead (a stalled machine) does not owe every firing.
    for (auto& [id, t] : timers_)
        if (t.repeat && t.due < timerMs_ - t.interval)
            t.due = timerMs_ - t.interval + 1;
}

// ---- targets --------------------------------------------------------------------------

ClipObject* Vm::rootOf(ClipObject* from)
{
    if (!host_)
        return nullptr;
    if (!from || !host_->isLive(from))
        return host_->rootClip();
    // The nearest of a clip with _lockroot set and the root of the movie
    // the clip belongs to (a level, or a clip a movie was loaded into).
    ClipObject* movieRoot = host_->rootOf(from);
    ClipObject* at = from;
    // Bounded like every walk up a tree scripts can build.
    for (int steps = 0; steps < 1000 && at; ++steps) {
        if (at->lockRoot || at == movieRoot)
            return at;
        at = host_->parentOf(at);
    }
    return movieRoot;
}

ClipObject* Vm::resolveTarget(ClipObject* from, const QString& path)
{
    if (!host_)
        return nullptr;
    QString rest = path;
    ClipObject* at = from;
    if (rest.isEmpty())
        return at;
    // A leading slash names the root as _root does (_lockroot included).
    if (rest.startsWith(u'/')) {
        at = rootOf(from);
        rest.remove(0, 1);
    }
    const QStringList parts = rest.split(QRegularExpression(QStringLiteral("[/.:]")), Qt::KeepEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty()) {
            // ".." in slash syntax: the parent
            if (i + 1 < parts.size() && parts[i + 1].isEmpty() && path.contains(QStringLiteral(".."))) {
                at = at ? host_->parentOf(at) : nullptr;
                ++i;
            }
            continue;
        }
        if (!at)
            return nullptr;
        const Qt::CaseSensitivity cs = heap_.caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (part.compare(u"_root", cs) == 0) {
            at = rootOf(at);
        } else if (const auto level = levelNumber(part)) {
            at = host_->level(*level);
        } else if (part.compare(u"_parent", cs) == 0) {
            at = host_->parentOf(at);
        } else if (part.compare(u"this", cs) == 0) {
        } else {
            ClipObject* child = host_->childByName(at, part);
            if (!child) {
                // A variable holding a clip also leads on.
                const Value v = at->findOwn(part) ? at->findOwn(part)->value : Value();
                child = v.isObject() && v.object->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(v.object)
                                                                            : nullptr;
            }
            at = child;
        }
    }
    return at && host_->isLive(at) ? at : nullptr;
}

ClipObject* Vm::clipFromValue(ClipObject* from, const Value& v)
{
    if (v.isObject() && v.object->kind() == ObjectKind::Clip)
        return static_cast<ClipObject*>(v.object);
    if (v.isString())
        return resolveTarget(from, v.string);
    if (v.isNullish())
        return nullptr;
    return resolveTarget(from, toString(v));
}

// ---- memory ----------------------------------------------------------------------------

void Vm::collectGarbage(const std::function<void(Marker&)>& extraRoots)
{
    if (running_)
        return;
    heap_.collect([&](Marker& m) {
        m.mark(global_);
        for (Object* p : {objectPrototype, functionPrototype, arrayPrototype, stringPrototype, numberPrototype,
                          booleanPrototype, datePrototype, errorPrototype, clipPrototype,
                          textFieldPrototype, textFormatPrototype})
            m.mark(p);
        for (const auto& [id, t] : timers_) {
            m.mark(t.target);
            m.mark(t.function);
            for (const Value& a : t.args)
                m.mark(a);
        }
        for (const Deferred& d : deferred_)
            m.mark(d.holder);
        for (const auto& [uid, clip] : clips_)
            m.mark(clip);
        for (const auto& [uid, field] : textFields_)
            m.mark(field);
        for (Object* o : pinned_)
            m.mark(o);
        if (extraRoots)
            extraRoots(m);
    });
}

void Vm::defer(const Value& holder, std::function<void()> work, int ticks)
{
    deferred_.push_back({holder, std::move(work), std::max(ticks, 0)});
}

bool Vm::runDeferred()
{
    // Work queued while this runs (a handler that starts another load)
    // waits for the next call, so a script cannot keep this loop busy.
    if (running_ || deferred_.empty())
        return false;
    std::vector<Deferred> due;
    std::vector<Deferred> waiting;
    for (Deferred& d : deferred_)
        (d.ticks == 0 ? due : waiting).push_back(std::move(d));
    deferred_ = std::move(waiting);
    for (Deferred& d : due)
        runGuarded(d.work);
    return !due.empty();
}

void Vm::tickDeferred()
{
    for (Deferred& d : deferred_)
        if (d.ticks > 0)
            --d.ticks;
}

} // namespace qev::swf::avm1
