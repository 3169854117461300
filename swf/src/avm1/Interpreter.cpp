// The bytecode loop: runs the actions of one block (a frame script, an
// event handler, a function body) on a stack of values.

#include "avm1/ArrayObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/ClipObject.h"
#include "avm1/Decoder.h"
#include "avm1/Vm.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace qev::swf::avm1 {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The names of the SWF 4 property indices (GetProperty, SetProperty).
const char* const propertyNames[] = {
    "_x",       "_y",         "_xscale",     "_yscale",  "_currentframe", "_totalframes", "_alpha",
    "_visible", "_width",     "_height",     "_rotation", "_target",      "_framesloaded", "_name",
    "_droptarget", "_url",    "_highquality", "_focusrect", "_soundbuftime", "_quality",   "_xmouse",
    "_ymouse",
};

} // namespace

// How a range of actions ended.
struct Completion {
    enum class Kind { Normal, Return, JumpOut };
    Kind kind = Kind::Normal;
    Value value;             // Return
    std::uint32_t target = 0; // JumpOut: where execution goes on, outside the range
};

class Interpreter {
public:
    Interpreter(Vm& vm, const std::shared_ptr<const QByteArray>& block, ScopePtr scope, Value thisValue,
                ClipObject* target, std::shared_ptr<const std::vector<QString>> constants,
                Registers* registers, int depth)
        : vm_(vm), blockRef_(block), block_(*block), scope_(std::move(scope)), this_(std::move(thisValue)),
          baseTarget_(target), target_(target), constants_(std::move(constants)), registers_(registers),
          depth_(depth)
    {
        if (!constants_)
            constants_ = std::make_shared<const std::vector<QString>>();
    }

    Value run(std::uint32_t start, std::uint32_t end)
    {
        // Functions this block calls find its registers here.
        struct Current {
            Registers*& slot;
            Registers* saved;
            ~Current() { slot = saved; }
        } current{vm_.currentRegisters_, vm_.currentRegisters_};
        vm_.currentRegisters_ = registers_;
        Completion c = runRange(start, end);
        return c.kind == Completion::Kind::Return ? c.value : Value();
    }

private:
    // ---- the stack -----------------------------------------------------
    Value pop()
    {
        if (stack_.empty())
            return {};
        Value v = std::move(stack_.back());
        stack_.pop_back();
        return v;
    }
    void push(Value v)
    {
        if (stack_.size() >= vm_.limits().maxStack)
            throw ScriptAborted{QStringLiteral("the stack grew past its limit")};
        stack_.push_back(std::move(v));
    }
    void pushBool(bool b) { push(Value::fromBool(b)); }
    double popNumber() { return vm_.toNumber(pop()); }
    // The two operands of a SWF 4 operator, converted in the order they
    // were pushed (valueOf of the left one runs first).
    std::pair<double, double> popNumberPair()
    {
        const Value right = pop();
        const Value left = pop();
        const double l = vm_.toNumber(left);
        return {l, vm_.toNumber(right)};
    }
    QString popString() { return vm_.toString(pop()); }
    // A count popped from the stack, bounded by what is on the stack.
    std::size_t popCount()
    {
        const double n = popNumber();
        if (!(n > 0))
            return 0;
        return std::size_t(std::min(n, double(stack_.size())));
    }
    Args popArgs()
    {
        const std::size_t n = popCount();
        Args args;
        args.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            args.push_back(pop());
        return args;
    }

    bool caseSensitive() const { return vm_.heap().caseSensitive(); }
    bool same(const QString& a, const char16_t* b) const
    {
        return a.compare(QStringView(b), caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
    }

    // ---- variables --------------------------------------------------------

    // The scope object a link stands for: the block's own timeline follows
    // tellTarget.
    Object* scopeObject(const Scope* s) const
    {
        if (s->kind == Scope::Kind::Target && s->object == baseTarget_ && target_)
            return scopeClip();
        return s->object;
    }

    // The clip that paths, properties and the timeline's variables start
    // from: the target while it is on the stage; once it left, the block's
    // own clip; once that left too, the main timeline.
    ClipObject* scopeClip() const
    {
        Host* h = vm_.host();
        if (!h || !target_ || h->isLive(target_))
            return target_;
        if (baseTarget_ && h->isLive(baseTarget_))
            return baseTarget_;
        return h->rootClip();
    }

    // _root of the running block: the root of the movie its clip belongs to.
    // (The host finds where the clip is; a clip that left the stage has
    // the main timeline as its root.)
    ClipObject* rootClip() const { return vm_.host() ? vm_.host()->rootOf(target_) : nullptr; }

    // Names that are not variables: this, _root, _global, _parent, _levelN.
    bool specialVariable(const QString& name, Value& out)
    {
        if (name.isEmpty() || (name[0] != u'_' && name[0] != u't' && name[0] != u'T'))
            return false;
        if (same(name, u"this")) {
            // A variable named this (a function's own, or one a script set)
            // comes first; a function body has no other this by name.
            for (const Scope* s = scope_.get(); s; s = s->parent.get()) {
                Object* o = scopeObject(s);
                if (o && s->kind != Scope::Kind::Global && o->findOwn(name)) {
                    out = vm_.getMember(o, name);
                    return true;
                }
            }
            out = depth_ > 0 ? Value() : this_;
            return true;
        }
        if (name[0] != u'_')
            return false;
        if (same(name, u"_global") && vm_.version() >= 6) {
            out = Value::fromObject(vm_.global());
            return true;
        }
        if (same(name, u"_root")) {
            ClipObject* root = target_ ? vm_.rootOf(scopeClip()) : rootClip();
            out = root ? Value::fromObject(root) : Value();
            return true;
        }
        if (same(name, u"_parent")) {
            ClipObject* p = target_ && vm_.host() ? vm_.host()->parentOf(scopeClip()) : nullptr;
            out = p ? Value::fromObject(p) : Value();
            return true;
        }
        if (name.size() > 6 && name.left(6).compare(u"_level", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int level = name.mid(6).toInt(&ok);
            if (ok) {
                ClipObject* at = vm_.host() && level >= 0 ? vm_.host()->level(level) : nullptr;
                out = at ? Value::fromObject(at) : Value();
                return true;
            }
        }
        return false;
    }

    Value lookup(const QString& name)
    {
        Value special;
        if (specialVariable(name, special))
            return special;
        // SWF 4 movies predate the global object: NaN, Infinity and the
        // classes are no variables of theirs.
        const bool seesGlobals = vm_.version() >= 5;
        for (const Scope* s = scope_.get(); s; s = s->parent.get()) {
            if (!seesGlobals && s->kind == Scope::Kind::Global)
                continue;
            Object* o = scopeObject(s);
            if (o && vm_.hasProperty(o, name))
                return vm_.getMember(o, name);
        }
        return {};
    }

    // A variable name that holds a path: "/a/b:c", "a:c", "_root.a.c", "a.b".
    static bool isPath(const QString& name)
    {
        for (QChar c : name)
            if (c == u':' || c == u'/' || c == u'.')
                return true;
        return false;
    }

    // The object a dot path ("a.b", "_root.menu") or slash path names.
    Value resolveObjectPath(const QString& path)
    {
        if (path.isEmpty())
            return target_ ? Value::fromObject(scopeClip()) : Value();
        if (path.contains(u'/')) {
            ClipObject* c = vm_.resolveTarget(scopeClip(), path);
            return c ? Value::fromObject(c) : Value();
        }
        const QStringList parts = path.split(u'.');
        Value at = lookup(parts[0]);
        for (int i = 1; i < parts.size(); ++i) {
            if (!at.isObject())
                return {};
            Value special;
            if (same(parts[i], u"_parent") && at.object->kind() == ObjectKind::Clip && vm_.host()) {
                ClipObject* p = vm_.host()->parentOf(static_cast<ClipObject*>(at.object));
                at = p ? Value::fromObject(p) : Value();
                continue;
            }
            at = vm_.getMember(at, parts[i]);
        }
        return at;
    }

    Value getVariable(const QString& name)
    {
        if (!isPath(name))
            return lookup(name);
        const int colon = name.lastIndexOf(u':');
        if (colon >= 0) {
            const Value owner = resolveObjectPath(name.left(colon));
            return owner.isObject() ? vm_.getMember(owner, name.mid(colon + 1)) : Value();
        }
        if (name.contains(u'/')) {
            ClipObject* c = vm_.resolveTarget(scopeClip(), name);
            return c ? Value::fromObject(c) : Value();
        }
        // "a.b.c": the object path then the member.
        const int dot = name.lastIndexOf(u'.');
        if (dot <= 0 || dot == name.size() - 1)
            return lookup(name);
        const Value owner = resolveObjectPath(name.left(dot));
        if (!owner.isObject())
            return lookup(name);
        return vm_.getMember(owner, name.mid(dot + 1));
    }

    void setVariable(const QString& name, const Value& v)
    {
        if (isPath(name)) {
            int split = name.lastIndexOf(u':');
            if (split < 0)
                split = name.contains(u'/') ? -1 : name.lastIndexOf(u'.');
            if (split > 0 || (split == 0 && name[0] == u':')) {
                const Value owner = resolveObjectPath(name.left(split));
                if (owner.isObject())
                    vm_.setMember(owner.object, name.mid(split + 1), v);
                return;
            }
        }
        for (const Scope* s = scope_.get(); s; s = s->parent.get()) {
            Object* o = scopeObject(s);
            if (!o)
                continue;
            if (s->kind == Scope::Kind::Target || s->kind == Scope::Kind::Global) {
                vm_.setMember(o, name, v);
                return;
            }
            if (vm_.hasProperty(o, name)) {
                vm_.setMember(o, name, v);
                return;
            }
        }
    }

    // The object `var` declares in: the function's activation, else the timeline.
    Object* localObject()
    {
        for (const Scope* s = scope_.get(); s; s = s->parent.get()) {
            if (s->kind == Scope::Kind::Local)
                return s->object;
            if (s->kind == Scope::Kind::Target || s->kind == Scope::Kind::Global)
                return scopeObject(s);
        }
        return vm_.global();
    }

    bool deleteVariable(const QString& name)
    {
        for (const Scope* s = scope_.get(); s; s = s->parent.get()) {
            Object* o = scopeObject(s);
            if (o && vm_.hasProperty(o, name))
                return vm_.deleteMember(o, name);
        }
        return false;
    }

    // ---- registers -------------------------------------------------------
    Value reg(std::size_t i) const { return registers_ ? registers_->get(i) : Value(); }
    void setReg(std::size_t i, const Value& v)
    {
        if (registers_)
            registers_->set(i, v);
    }

    // ---- operators -----------------------------------------------------------
    Value add2(const Value& a, const Value& b)
    {
        // Dates ask toString, everything else valueOf; an object that stays
        // an object joins a string by its toString and is NaN as a number.
        const Value pa = vm_.toPrimitive(a, a.isObject() && a.object->kind() == ObjectKind::Date);
        const Value pb = vm_.toPrimitive(b, b.isObject() && b.object->kind() == ObjectKind::Date);
        if (pa.isString() || pb.isString()) {
            QString s = vm_.toString(pa.isObject() ? a : pa);
            const QString t = vm_.toString(pb.isObject() ? b : pb);
            if (s.size() + t.size() > vm_.limits().maxStringLength)
                throw ScriptAborted{QStringLiteral("a string grew past its limit")};
            s += t;
            return Value::fromString(s);
        }
        const double x = pa.isObject() ? nan : vm_.toNumber(pa);
        const double y = pb.isObject() ? nan : vm_.toNumber(pb);
        return Value::fromNumber(x + y);
    }

    // a < b as ECMA's comparison: undefined when a NaN is involved. An
    // operand whose valueOf gives an object makes the answer false, and the
    // right one is not converted once the left one did so.
    // Clips and text fields compare as NaN.
    Value comparable(const Value& v)
    {
        if (v.isObject() && (v.object->kind() == ObjectKind::Clip || v.object->kind() == ObjectKind::TextField))
            return Value::fromNumber(nan);
        return vm_.toPrimitive(v);
    }

    Value lessThan(const Value& a, const Value& b)
    {
        const Value pa = comparable(a);
        if (pa.isObject())
            return Value::fromBool(false);
        const Value pb = comparable(b);
        if (pb.isObject())
            return Value::fromBool(false);
        if (pa.isString() && pb.isString())
            return Value::fromBool(pa.string < pb.string);
        const double x = vm_.toNumber(pa);
        const double y = vm_.toNumber(pb);
        if (std::isnan(x) || std::isnan(y))
            return {};
        return Value::fromBool(x < y);
    }

    bool looseEquals(const Value& a, const Value& b)
    {
        using T = Value::Type;
        if (a.type == b.type) {
            switch (a.type) {
            case T::Undefined:
            case T::Null:
                return true;
            case T::Number:
                return a.number == b.number;
            case T::String:
                return a.string == b.string;
            case T::Boolean:
                return a.boolean == b.boolean;
            case T::Object: {
                if (a.object == b.object)
                    return true;
                // Two objects compare by what valueOf gives, when both give primitives.
                const Value pb = vm_.callMethod(b, QStringLiteral("valueOf"));
                const Value pa = vm_.callMethod(a, QStringLiteral("valueOf"));
                if (pa.isObject() || pb.isObject())
                    return false;
                return looseEquals(pa, pb);
            }
            }
        }
        if (a.isNullish() && b.isNullish())
            return true;
        if (a.isNullish() || b.isNullish())
            return false;
        if (a.isNumber() && b.isString())
            return a.number == vm_.toNumber(b);
        if (a.isString() && b.isNumber())
            return vm_.toNumber(a) == b.number;
        if (a.isBoolean())
            return looseEquals(Value::fromNumber(a.boolean ? 1 : 0), b);
        if (b.isBoolean())
            return looseEquals(a, Value::fromNumber(b.boolean ? 1 : 0));
        if ((a.isNumber() || a.isString()) && b.isObject()) {
            const Value pb = vm_.toPrimitive(b);
            return pb.isObject() ? false : looseEquals(a, pb);
        }
        if (a.isObject() && (b.isNumber() || b.isString())) {
            const Value pa = vm_.toPrimitive(a);
            return pa.isObject() ? false : looseEquals(pa, b);
        }
        return false;
    }

    static bool strictEquals(const Value& a, const Value& b)
    {
        if (a.type != b.type)
            return false;
        switch (a.type) {
        case Value::Type::Undefined:
        case Value::Type::Null:
            return true;
        case Value::Type::Number:
            return a.number == b.number;
        case Value::Type::String:
            return a.string == b.string;
        case Value::Type::Boolean:
            return a.boolean == b.boolean;
        case Value::Type::Object:
            return a.object == b.object;
        }
        return false;
    }

    // ---- timeline actions --------------------------------------------------------
    Host* host() const { return vm_.host(); }

    void gotoFrame(ClipObject* clip, int frame, bool play)
    {
        if (host() && clip && host()->isLive(clip))
            host()->gotoFrame(clip, frame, play);
    }

    // GotoFrame2's value: a frame number, a label, or "target:frame".
    void gotoValue(const Value& v, bool play, int bias)
    {
        ClipObject* clip = target_;
        Value frame = v;
        if (v.isString()) {
            QString s = v.string;
            const int colon = s.lastIndexOf(u':');
            if (colon >= 0) {
                clip = vm_.resolveTarget(target_, s.left(colon));
                s = s.mid(colon + 1);
            }
            const double n = stringToNumber(s);
            if (std::isnan(n)) {
                if (clip && host()) {
                    const int f = host()->findLabel(clip, s);
                    if (f >= 0)
                        gotoFrame(clip, f, play);
                }
                return;
            }
            frame = Value::fromNumber(n);
        }
        const double n = vm_.toNumber(frame);
        if (!std::isfinite(n))
            return;
        gotoFrame(clip, int(std::clamp(std::trunc(n), -1e9, 1e9)) - 1 + bias, play);
    }

    // ---- functions -----------------------------------------------------------------
    // Calls with the prototype the method was found on, so `super` inside
    // it starts one prototype further up.
    Value callWithHome(const Value& f, const Value& thisValue, Args& args, Object* home)
    {
        if (!f.isObject() || f.object->kind() != ObjectKind::Function)
            return {};
        auto* fn = static_cast<FunctionObject*>(f.object);
        if (fn->script)
            return vm_.callScript(fn, thisValue, args, home ? home : (thisValue.isObject() ? thisValue.object->proto() : nullptr));
        return vm_.call(f, thisValue, args);
    }

    // super(...): the extended class's constructor on this object, one
    // prototype further up.
    Value callSuperConstructor(const SuperObject& s, Args& args)
    {
        if (!s.home)
            return {};
        const Value ctor = vm_.getMember(s.home, QStringLiteral("__constructor__"));
        return callWithHome(ctor, s.thisValue, args, s.base);
    }

    Value construct(const Value& ctor, Args& args)
    {
        if (!ctor.isObject() || ctor.object->kind() != ObjectKind::Function)
            return {};
        return vm_.construct(ctor, args);
    }

    // Whether a function body can reach a name: it is pushed from its own
    // bytes or from the constant pool it sees (names fold case below SWF 7).
    bool bodyMayName(const ScriptCode& code, const QString& name) const
    {
        const Qt::CaseSensitivity cs = caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (const QString& c : *constants_)
            if (c.compare(name, cs) == 0)
                return true;
        const QByteArray body = block_.mid(code.start, code.length);
        const QByteArray needle = name.toLatin1();
        return caseSensitive() ? body.contains(needle) : body.toLower().contains(needle.toLower());
    }

    FunctionObject* makeFunction(std::shared_ptr<ScriptCode> code)
    {
        code->block = blockRef_;
        code->constants = constants_;
        code->mayUseArguments = bodyMayName(*code, QStringLiteral("arguments"));
        code->mayUseSuper = bodyMayName(*code, QStringLiteral("super"));
        FunctionObject* f = vm_.heap().make<FunctionObject>(vm_.functionPrototype);
        f->script = std::move(code);
        // The closure keeps the chain with the timeline tellTarget chose.
        f->scope = scope_;
        f->targetClip = target_;
        Object* proto = vm_.newObject();
        proto->define(QStringLiteral("constructor"), Value::fromObject(f), DontEnum);
        f->define(QStringLiteral("prototype"), Value::fromObject(proto), DontEnum);
        return f;
    }

    void defineFunction(const DecodedAction& a, bool v2)
    {
        PayloadReader p(block_, a.payload, a.length);
        auto code = std::make_shared<ScriptCode>();
        code->v2 = v2;
        code->name = p.string(vm_.version());
        const std::uint16_t paramCount = p.u16();
        if (v2) {
            code->registerCount = p.u8();
            code->flags = p.u16();
        }
        for (std::uint16_t i = 0; i < paramCount && p.ok(); ++i) {
            ScriptCode::Param param;
            if (v2)
                param.reg = p.u8();
            param.name = p.string(vm_.version());
            code->params.push_back(std::move(param));
        }
        const std::uint16_t codeSize = p.u16();
        code->start = a.next;
        code->length = std::min<std::uint32_t>(codeSize, std::uint32_t(block_.size()) - std::min<std::uint32_t>(a.next, std::uint32_t(block_.size())));
        const QString name = code->name;
        FunctionObject* f = makeFunction(std::move(code));
        if (name.isEmpty())
            push(Value::fromObject(f));
        else
            vm_.setMember(localObject(), name, Value::fromObject(f));
    }

    // ---- the loop ------------------------------------------------------------------------
    Completion runRange(std::uint32_t start, std::uint32_t end);
    Completion runTry(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end);
    Completion runWith(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end);
    void step(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end, Completion& done);
    void doPush(const DecodedAction& a);

    Vm& vm_;
    std::shared_ptr<const QByteArray> blockRef_;
    const QByteArray& block_;
    ScopePtr scope_;
    Value this_;
    ClipObject* baseTarget_;
    ClipObject* target_;
    std::shared_ptr<const std::vector<QString>> constants_;
    Registers* registers_;
    int depth_;
    std::vector<Value> stack_;
    bool finished_ = false;
};

Completion Interpreter::runRange(std::uint32_t start, std::uint32_t end)
{
    std::uint32_t pc = start;
    end = std::min<std::uint32_t>(end, std::uint32_t(block_.size()));
    DecodedAction a;
    while (!finished_ && pc < end) {
        if (!decodeAction(block_, pc, end, a))
            break;
        vm_.countAction();
        Completion done;
        step(a, pc, end, done);
        if (done.kind == Completion::Kind::Return)
            return done;
        if (done.kind == Completion::Kind::JumpOut) {
            if (done.target >= start && done.target < end) {
                pc = done.target;
                continue;
            }
            return done;
        }
    }
    return {};
}

void Interpreter::doPush(const DecodedAction& a)
{
    PayloadReader p(block_, a.payload, a.length);
    const int version = vm_.version();
    while (!p.atEnd()) {
        const std::uint8_t type = p.u8();
        switch (type) {
        case 0:
            push(Value::fromString(p.string(version)));
            break;
        case 1:
            push(Value::fromNumber(p.f32()));
            break;
        case 2:
            push(Value::null());
            break;
        case 3:
            push(Value::undefined());
            break;
        case 4:
            push(reg(p.u8()));
            break;
        case 5:
            push(Value::fromBool(p.u8() != 0));
            break;
        case 6:
            push(Value::fromNumber(p.f64Swapped()));
            break;
        case 7:
            push(Value::fromNumber(double(std::int32_t(p.u32()))));
            break;
        case 8:
        case 9: {
            const std::size_t i = type == 8 ? p.u8() : p.u16();
            push(i < constants_->size() ? Value::fromString((*constants_)[i]) : Value());
            break;
        }
        default:
            vm_.warn(QStringLiteral("push of unknown type %1").arg(type));
            return;
        }
        if (!p.ok())
            return;
    }
}

Completion Interpreter::runTry(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end)
{
    PayloadReader p(block_, a.payload, a.length);
    const std::uint8_t flags = p.u8();
    const std::uint32_t trySize = p.u16();
    const std::uint32_t catchSize = p.u16();
    const std::uint32_t finallySize = p.u16();
    const bool catchInRegister = flags & 0x04;
    const bool hasFinally = flags & 0x02;
    const bool hasCatch = flags & 0x01;
    QString catchName;
    std::uint8_t catchRegister = 0;
    if (catchInRegister)
        catchRegister = p.u8();
    else
        catchName = p.string(vm_.version());
    const std::uint32_t tryStart = a.next;
    const std::uint32_t catchStart = std::min(end, tryStart + trySize);
    const std::uint32_t finallyStart = std::min(end, catchStart + catchSize);
    const std::uint32_t after = std::min(end, finallyStart + finallySize);
    pc = after;

    Completion result;
    std::optional<ThrownValue> pending;
    const std::size_t stackSize = stack_.size();
    try {
        result = runRange(tryStart, catchStart);
    } catch (const ThrownValue& thrown) {
        stack_.resize(std::min(stack_.size(), stackSize));
        if (hasCatch) {
            if (catchInRegister) {
                setReg(catchRegister, thrown.value);
            } else {
                vm_.setMember(localObject(), catchName, thrown.value);
            }
            try {
                result = runRange(catchStart, finallyStart);
            } catch (const ThrownValue& again) {
                if (!hasFinally)
                    throw;
                pending = again;
            }
        } else {
            pending = thrown;
        }
    }
    if (hasFinally) {
        Completion fin = runRange(finallyStart, after);
        if (fin.kind != Completion::Kind::Normal)
            return fin; // a return or jump in finally wins
    }
    if (pending)
        throw *pending;
    return result;
}

Completion Interpreter::runWith(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end)
{
    PayloadReader p(block_, a.payload, a.length);
    const std::uint32_t size = p.u16();
    const Value v = pop();
    const std::uint32_t bodyEnd = std::min(end, a.next + size);
    pc = bodyEnd;
    Object* o = v.isObject() ? v.object : vm_.toObject(v);
    if (!o)
        return {};
    auto link = std::make_shared<Scope>();
    link->kind = Scope::Kind::With;
    link->object = o;
    link->parent = scope_;
    ScopePtr saved = scope_;
    scope_ = link;
    Completion c;
    try {
        c = runRange(a.next, bodyEnd);
    } catch (...) {
        scope_ = saved;
        throw;
    }
    scope_ = saved;
    return c;
}

void Interpreter::step(const DecodedAction& a, std::uint32_t& pc, std::uint32_t end, Completion& done)
{
    pc = a.next;
    const int version = vm_.version();
    switch (a.code) {
    // ---- SWF 3 timeline actions ----
    case 0x04: // NextFrame
        if (target_ && host())
            gotoFrame(target_, host()->currentFrame(target_) + 1, false);
        break;
    case 0x05: // PreviousFrame
        if (target_ && host())
            gotoFrame(target_, host()->currentFrame(target_) - 1, false);
        break;
    case 0x06: // Play
        if (target_ && host() && host()->isLive(target_))
            host()->setPlaying(target_, true);
        break;
    case 0x07: // Stop
        if (target_ && host() && host()->isLive(target_))
            host()->setPlaying(target_, false);
        break;
    case 0x08: // ToggleQuality
        break;
    case 0x09: // StopSounds
        if (host())
            host()->stopSounds();
        break;
    case 0x81: { // GotoFrame
        PayloadReader p(block_, a.payload, a.length);
        gotoFrame(target_, p.u16(), false);
        break;
    }
    case 0x83: { // GetURL
        PayloadReader p(block_, a.payload, a.length);
        const QString url = p.string(version);
        const QString window = p.string(version);
        openUrl(vm_, scopeClip(), url, window, 0);
        break;
    }
    case 0x8A: { // WaitForFrame
        PayloadReader p(block_, a.payload, a.length);
        const int frame = p.u16();
        const int skip = p.u8();
        (void)frame;
        if (!target_) {
            DecodedAction s;
            for (int i = 0; i < skip && decodeAction(block_, pc, end, s); ++i)
                pc = s.next;
        }
        break;
    }
    case 0x8B: { // SetTarget
        PayloadReader p(block_, a.payload, a.length);
        const QString path = p.string(version);
        target_ = path.isEmpty() ? baseTarget_ : vm_.resolveTarget(baseTarget_, path);
        if (!target_) {
            // A target that is not there leaves the actions on the block's own clip.
            vm_.warn(QStringLiteral("tellTarget: no clip at \"%1\"").arg(path));
            target_ = baseTarget_;
        }
        break;
    }
    case 0x8C: { // GotoLabel
        PayloadReader p(block_, a.payload, a.length);
        const QString label = p.string(version);
        if (target_ && host() && host()->isLive(target_)) {
            const int f = host()->findLabel(target_, label);
            if (f >= 0)
                gotoFrame(target_, f, false);
        }
        break;
    }

    // ---- SWF 4 stack actions ----
    case 0x96: // Push
        doPush(a);
        break;
    case 0x17: // Pop
        pop();
        break;
    case 0x0A: { // Add
        const auto [y, x] = popNumberPair();
        push(Value::fromNumber(y + x));
        break;
    }
    case 0x0B: { // Subtract
        const auto [y, x] = popNumberPair();
        push(Value::fromNumber(y - x));
        break;
    }
    case 0x0C: { // Multiply
        const auto [y, x] = popNumberPair();
        push(Value::fromNumber(y * x));
        break;
    }
    case 0x0D: { // Divide
        const auto [y, x] = popNumberPair();
        if (x == 0 && version < 5)
            push(Value::fromString(QStringLiteral("#ERROR#")));
        else
            push(Value::fromNumber(y / x));
        break;
    }
    case 0x0E: { // Equals: unlike the others, the right operand converts first
        const double x = popNumber();
        const double y = popNumber();
        pushBool(x == y);
        break;
    }
    case 0x0F: { // Less
        const auto [y, x] = popNumberPair();
        pushBool(y < x);
        break;
    }
    case 0x10: { // And
        const bool x = vm_.toBoolean(pop());
        const bool y = vm_.toBoolean(pop());
        pushBool(x && y);
        break;
    }
    case 0x11: { // Or
        const bool x = vm_.toBoolean(pop());
        const bool y = vm_.toBoolean(pop());
        pushBool(x || y);
        break;
    }
    case 0x12: // Not
        pushBool(!vm_.toBoolean(pop()));
        break;
    case 0x13: { // StringEquals
        const QString x = popString();
        const QString y = popString();
        pushBool(x == y);
        break;
    }
    case 0x14: // StringLength
    case 0x31: // MBStringLength
        push(Value::fromNumber(double(popString().size())));
        break;
    case 0x15: // StringExtract
    case 0x35: { // MBStringExtract
        const double count = popNumber();
        const double index = popNumber();
        const QString s = popString();
        // Index (from 1) and count wrap as 32-bit integers; a negative count takes the rest.
        const qsizetype from = std::clamp<qsizetype>(qsizetype(toInt32(index)) - 1, 0, s.size());
        const std::int32_t wanted = toInt32(count);
        const qsizetype n = wanted < 0 ? s.size() : std::min<qsizetype>(wanted, s.size());
        push(Value::fromString(s.mid(from, n)));
        break;
    }
    case 0x21: { // StringAdd
        const QString x = popString();
        QString y = popString();
        if (x.size() + y.size() > vm_.limits().maxStringLength)
            throw ScriptAborted{QStringLiteral("a string grew past its limit")};
        push(Value::fromString(y + x));
        break;
    }
    case 0x29: { // StringLess
        const QString x = popString();
        const QString y = popString();
        pushBool(y < x);
        break;
    }
    case 0x68: { // StringGreater
        const QString x = popString();
        const QString y = popString();
        pushBool(y > x);
        break;
    }
    case 0x18: // ToInteger
        push(Value::fromNumber(vm_.toInteger(pop())));
        break;
    case 0x32: // CharToAscii
    case 0x36: { // MBCharToAscii
        const QString s = popString();
        // Half of a surrogate pair is no character of its own: U+FFFD.
        const char16_t c = s.isEmpty() ? 0 : s[0].unicode();
        push(s.isEmpty() ? Value::fromNumber(nan)
                         : Value::fromNumber(QChar::isSurrogate(c) ? char16_t(QChar::ReplacementCharacter) : c));
        break;
    }
    case 0x33: // AsciiToChar
    case 0x37: { // MBAsciiToChar
        const double n = popNumber();
        std::uint32_t code = toUint32(n) & 0xFFFF;
        if (QChar::isSurrogate(code))
            code = QChar::ReplacementCharacter;
        push(Value::fromString(code ? QString(QChar(char16_t(code))) : QString()));
        break;
    }
    case 0x1C: { // GetVariable
        const QString name = popString();
        push(getVariable(name));
        break;
    }
    case 0x1D: { // SetVariable
        const Value v = pop();
        const QString name = popString();
        setVariable(name, v);
        break;
    }
    case 0x20: { // SetTarget2
        const Value v = pop();
        if (v.isString() && v.string.isEmpty())
            target_ = baseTarget_;
        else
            target_ = vm_.clipFromValue(baseTarget_, v);
        break;
    }
    case 0x22: { // GetProperty
        const double index = popNumber();
        const Value t = pop();
        ClipObject* clip = (t.isString() && t.string.isEmpty()) ? scopeClip() : vm_.clipFromValue(scopeClip(), t);
        const int i = std::isfinite(index) ? int(index) : -1;
        if (clip && i >= 0 && i < int(std::size(propertyNames)))
            push(vm_.getMember(clip, QString::fromLatin1(propertyNames[i])));
        else
            push({});
        break;
    }
    case 0x23: { // SetProperty
        const Value v = pop();
        const double index = popNumber();
        const Value t = pop();
        ClipObject* clip = (t.isString() && t.string.isEmpty()) ? scopeClip() : vm_.clipFromValue(scopeClip(), t);
        const int i = std::isfinite(index) ? int(index) : -1;
        if (clip && i >= 0 && i < int(std::size(propertyNames)))
            vm_.setMember(clip, QString::fromLatin1(propertyNames[i]), v);
        break;
    }
    case 0x24: { // CloneSprite
        const Value depth = pop();
        const Value name = pop();
        const Value source = pop();
        Value clip = Value::fromObject(vm_.clipFromValue(target_, source));
        if (clip.isObject())
            vm_.callMethod(clip, QStringLiteral("duplicateMovieClip"),
                           {Value::fromString(vm_.toString(name)), Value::fromNumber(vm_.toNumber(depth) - 16384)});
        break;
    }
    case 0x25: { // RemoveSprite
        const Value t = pop();
        Value clip = Value::fromObject(vm_.clipFromValue(target_, t));
        if (clip.isObject())
            vm_.callMethod(clip, QStringLiteral("removeMovieClip"));
        break;
    }
    case 0x26: { // Trace
        const Value v = pop();
        // trace shows undefined by name in every version.
        const QString text = v.isUndefined() ? QStringLiteral("undefined") : vm_.toString(v);
        if (vm_.onTrace)
            vm_.onTrace(text);
        break;
    }
    case 0x27: { // StartDrag
        const Value t = pop();
        const bool lockCenter = vm_.toBoolean(pop());
        const bool constrain = vm_.toBoolean(pop());
        Args args{Value::fromBool(lockCenter)};
        if (constrain) {
            const Value y2 = pop(), x2 = pop(), y1 = pop(), x1 = pop();
            args.insert(args.end(), {x1, y1, x2, y2});
        }
        Value clip = Value::fromObject(vm_.clipFromValue(target_, t));
        if (clip.isObject())
            vm_.callMethod(clip, QStringLiteral("startDrag"), args);
        break;
    }
    case 0x28: // EndDrag
        if (target_)
            vm_.callMethod(Value::fromObject(target_), QStringLiteral("stopDrag"));
        break;
    case 0x30: { // RandomNumber
        const double max = popNumber();
        const std::int32_t m = toInt32(max);
        if (m <= 0) {
            push(Value::fromNumber(0));
        } else {
            std::uniform_int_distribution<std::int32_t> d(0, m - 1);
            push(Value::fromNumber(d(vm_.random())));
        }
        break;
    }
    case 0x34: // GetTime
        push(Value::fromNumber(std::floor(vm_.timer())));
        break;
    case 0x99: { // Jump
        PayloadReader p(block_, a.payload, a.length);
        const std::int64_t target = std::int64_t(a.next) + p.s16();
        if (target < 0 || target > std::int64_t(block_.size())) {
            finished_ = true;
            break;
        }
        done.kind = Completion::Kind::JumpOut;
        done.target = std::uint32_t(target);
        break;
    }
    case 0x9D: { // If
        PayloadReader p(block_, a.payload, a.length);
        const std::int16_t offset = p.s16();
        if (vm_.toBoolean(pop())) {
            const std::int64_t target = std::int64_t(a.next) + offset;
            if (target < 0 || target > std::int64_t(block_.size())) {
                finished_ = true;
                break;
            }
            done.kind = Completion::Kind::JumpOut;
            done.target = std::uint32_t(target);
        }
        break;
    }
    case 0x9E: { // Call: runs a frame's scripts on a clip, staying where it is
        const Value frame = pop();
        ClipObject* clip = scopeClip();
        QString text = vm_.toString(frame);
        if (const int colon = text.lastIndexOf(u':'); colon >= 0) {
            clip = vm_.resolveTarget(clip, text.left(colon));
            text = text.mid(colon + 1);
        }
        if (!clip || !host() || !host()->isLive(clip))
            break;
        const double n = stringToNumber(text);
        // Frame numbers wrap as 32-bit integers.
        const int index = std::isnan(n) ? host()->findLabel(clip, text) : int(std::int64_t(toInt32(n)) - 1);
        if (index < 0)
            break;
        for (const QByteArray& script : host()->frameScripts(clip, index))
            vm_.runBlock(std::make_shared<const QByteArray>(script), clip);
        // A block whose own clip has left the stage ends at its next call.
        if (baseTarget_ && !host()->isLive(baseTarget_))
            finished_ = true;
        break;
    }
    case 0x9A: { // GetURL2
        PayloadReader p(block_, a.payload, a.length);
        const std::uint8_t flags = p.u8();
        const QString window = popString();
        const QString url = popString();
        openUrl(vm_, target_, url, window, flags);
        break;
    }
    case 0x9F: { // GotoFrame2
        PayloadReader p(block_, a.payload, a.length);
        const std::uint8_t flags = p.u8();
        const int bias = (flags & 0x02) ? p.u16() : 0;
        gotoValue(pop(), flags & 0x01, bias);
        break;
    }
    case 0x8D: { // WaitForFrame2
        PayloadReader p(block_, a.payload, a.length);
        const int skip = p.u8();
        const Value frame = pop();
        // The whole movie is loaded before it plays, so a frame counts as
        // loaded unless it lies past the most frames a movie can have
        // (16,000). A whole number is a frame from 1, wrapping as a 32-bit
        // integer; anything else (fractions, names) names no such frame.
        bool beyond = false;
        if (frame.isNumber() && std::trunc(frame.number) == frame.number) {
            const std::int32_t index = std::int32_t(std::uint32_t(toInt32(frame.number)) - 1u);
            beyond = index > 16000;
        }
        const bool loaded = target_ != nullptr && !beyond;
        if (!loaded) {
            DecodedAction s;
            for (int i = 0; i < skip && decodeAction(block_, pc, end, s); ++i)
                pc = s.next;
        }
        break;
    }

    // ---- SWF 5 ----
    case 0x88: { // ConstantPool
        PayloadReader p(block_, a.payload, a.length);
        const std::uint16_t n = p.u16();
        auto pool = std::make_shared<std::vector<QString>>();
        pool->reserve(n);
        for (std::uint16_t i = 0; i < n && !p.atEnd(); ++i)
            pool->push_back(p.string(version));
        constants_ = std::move(pool);
        break;
    }
    case 0x87: { // StoreRegister
        PayloadReader p(block_, a.payload, a.length);
        const std::uint8_t r = p.u8();
        setReg(r, stack_.empty() ? Value() : stack_.back());
        break;
    }
    case 0x3A: { // Delete
        const QString name = popString();
        const Value o = pop();
        pushBool(o.isObject() && vm_.deleteMember(o.object, name));
        break;
    }
    case 0x3B: { // Delete2
        const QString name = popString();
        pushBool(deleteVariable(name));
        break;
    }
    case 0x3C: { // DefineLocal
        const Value v = pop();
        const QString name = popString();
        vm_.setMember(localObject(), name, v);
        break;
    }
    case 0x41: { // DefineLocal2
        const QString name = popString();
        // Declares without a value; a name already there (inherited too) stays.
        Object* o = localObject();
        if (o && !vm_.hasProperty(o, name))
            vm_.setMember(o, name, Value());
        break;
    }
    case 0x3D: { // CallFunction
        const QString name = popString();
        Args args = popArgs();
        Value f = getVariable(name);
        Value thisValue;
        Object* home = nullptr;
        if (f.isObject() && f.object->kind() == ObjectKind::Other) {
            // super(...): the superclass constructor on this object.
            if (auto* s = dynamic_cast<SuperObject*>(f.object)) {
                push(callSuperConstructor(*s, args));
                break;
            }
        }
        if (!f.isObject() || f.object->kind() != ObjectKind::Function) {
            push({});
            break;
        }
        (void)home;
        // A plain call runs with the calling timeline as this.
        thisValue = target_ ? Value::fromObject(target_) : this_;
        push(callWithHome(f, thisValue, args, nullptr));
        break;
    }
    case 0x52: { // CallMethod
        const Value nameValue = pop();
        const Value object = pop();
        Args args = popArgs();
        const QString name = nameValue.isUndefined() ? QString() : vm_.toString(nameValue);
        if (name.isEmpty()) {
            // The object itself is the function (or super's constructor).
            if (object.isObject() && object.object->kind() == ObjectKind::Other) {
                if (auto* s = dynamic_cast<SuperObject*>(object.object)) {
                    push(callSuperConstructor(*s, args));
                    break;
                }
            }
            push(callWithHome(object, Value(), args, nullptr));
            break;
        }
        if (object.isObject() && object.object->kind() == ObjectKind::Other) {
            if (auto* s = dynamic_cast<SuperObject*>(object.object)) {
                Object* holder = nullptr;
                Property* p = s->base ? s->base->find(name, &holder) : nullptr;
                Value f = p ? (p->getter ? vm_.getMember(Value::fromObject(object.object), name) : p->value) : Value();
                push(callWithHome(f, s->thisValue, args, holder));
                break;
            }
        }
        Value f;
        Object* home = nullptr;
        if (object.isObject()) {
            Object* holder = nullptr;
            Object* o = object.object;
            Property* p = o->findOwn(name);
            if (p && p->hiddenBelowVersion <= version) {
                holder = o;
            } else {
                p = nullptr;
            }
            if (!p) {
                Value special;
                if (o->getSpecial(vm_, name, special)) {
                    f = special;
                    home = o->proto();
                } else if (o->proto() && (p = o->proto()->find(name, &holder))) {
                }
            }
            if (p) {
                f = p->getter ? vm_.getMember(object, name) : p->value;
                home = holder;
            }
        } else {
            f = vm_.getMember(object, name);
        }
        if (!f.isObject() || f.object->kind() != ObjectKind::Function) {
            push({});
            break;
        }
        push(callWithHome(f, object, args, home));
        break;
    }
    case 0x3E: // Return
        done.kind = Completion::Kind::Return;
        done.value = pop();
        finished_ = true;
        break;
    case 0x3F: { // Modulo
        const double x = popNumber();
        const double y = popNumber();
        push(Value::fromNumber(std::fmod(y, x)));
        break;
    }
    case 0x40: { // NewObject
        const QString name = popString();
        Args args = popArgs();
        const Value ctor = getVariable(name);
        push(construct(ctor, args));
        break;
    }
    case 0x53: { // NewMethod
        const Value nameValue = pop();
        const Value object = pop();
        Args args = popArgs();
        const QString name = nameValue.isUndefined() ? QString() : vm_.toString(nameValue);
        const Value ctor = name.isEmpty() ? object : vm_.getMember(object, name);
        push(construct(ctor, args));
        break;
    }
    case 0x42: { // InitArray
        Args elements = popArgs();
        push(Value::fromObject(vm_.newArray(std::move(elements))));
        break;
    }
    case 0x43: { // InitObject
        const double n = popNumber();
        // A count the stack cannot hold makes no object and takes nothing.
        if (!(n >= 0) || n * 2 > double(stack_.size())) {
            push({});
            break;
        }
        const std::size_t count = std::size_t(n);
        Object* o = vm_.newObject();
        for (std::size_t i = 0; i < count; ++i) {
            const Value v = pop();
            const QString name = popString();
            vm_.setMember(o, name, v);
        }
        push(Value::fromObject(o));
        break;
    }
    case 0x44: // TypeOf
        push(Value::fromString(vm_.typeOf(pop())));
        break;
    case 0x45: { // TargetPath
        const Value v = pop();
        if (v.isObject() && v.object->kind() == ObjectKind::Clip && host())
            push(Value::fromString(host()->targetPath(static_cast<ClipObject*>(v.object))));
        else if (v.isObject() && v.object->kind() == ObjectKind::TextField && host())
            push(Value::fromString(host()->textFieldPath(static_cast<TextFieldObject*>(v.object))));
        else
            push({});
        break;
    }
    case 0x46: // Enumerate
    case 0x55: { // Enumerate2
        Value v = pop();
        if (a.code == 0x46)
            v = getVariable(vm_.toString(v));
        push(Value::null());
        Object* o = v.isObject() ? v.object : nullptr;
        if (o) {
            const std::vector<QString> names = vm_.enumerate(o);
            for (auto it = names.rbegin(); it != names.rend(); ++it)
                push(Value::fromString(*it));
        }
        break;
    }
    case 0x47: { // Add2
        const Value x = pop();
        const Value y = pop();
        push(add2(y, x));
        break;
    }
    case 0x48: { // Less2
        const Value x = pop();
        const Value y = pop();
        push(lessThan(y, x));
        break;
    }
    case 0x67: { // Greater
        const Value x = pop();
        const Value y = pop();
        push(lessThan(x, y));
        break;
    }
    case 0x49: { // Equals2
        const Value x = pop();
        const Value y = pop();
        pushBool(looseEquals(y, x));
        break;
    }
    case 0x66: { // StrictEquals
        const Value x = pop();
        const Value y = pop();
        pushBool(strictEquals(y, x));
        break;
    }
    case 0x4A: // ToNumber
        push(Value::fromNumber(popNumber()));
        break;
    case 0x4B: // ToString
        push(Value::fromString(popString()));
        break;
    case 0x4C: // PushDuplicate
        push(stack_.empty() ? Value() : stack_.back());
        break;
    case 0x4D: { // StackSwap
        const Value x = pop();
        const Value y = pop();
        push(x);
        push(y);
        break;
    }
    case 0x4E: { // GetMember
        const Value nameValue = pop();
        const Value object = pop();
        push(vm_.getMember(object, vm_.toString(nameValue)));
        break;
    }
    case 0x4F: { // SetMember
        const Value v = pop();
        const Value nameValue = pop();
        const Value object = pop();
        if (object.isObject())
            vm_.setMember(object.object, vm_.toString(nameValue), v);
        break;
    }
    case 0x50: // Increment
        push(Value::fromNumber(popNumber() + 1));
        break;
    case 0x51: // Decrement
        push(Value::fromNumber(popNumber() - 1));
        break;
    case 0x54: { // InstanceOf
        const Value ctor = pop();
        const Value v = pop();
        pushBool(vm_.instanceOf(v, ctor));
        break;
    }
    case 0x9B: // DefineFunction
        defineFunction(a, false);
        pc = std::min<std::uint32_t>(end, a.next + [&] {
            // Skip the body: its size is the payload's last two bytes.
            PayloadReader p(block_, a.payload + a.length - 2, 2);
            return std::uint32_t(a.length >= 2 ? p.u16() : 0);
        }());
        break;
    case 0x8E: // DefineFunction2
        defineFunction(a, true);
        pc = std::min<std::uint32_t>(end, a.next + [&] {
            PayloadReader p(block_, a.payload + a.length - 2, 2);
            return std::uint32_t(a.length >= 2 ? p.u16() : 0);
        }());
        break;
    case 0x8F: { // Try
        done = runTry(a, pc, end);
        break;
    }
    case 0x94: { // With
        done = runWith(a, pc, end);
        break;
    }
    case 0x2A: // Throw
        throw ThrownValue{pop()};

    // ---- SWF 6 and 7 ----
    case 0x60:
    case 0x61:
    case 0x62:
    case 0x63:
    case 0x64:
    case 0x65: {
        const double x = popNumber();
        const double y = popNumber();
        const std::int32_t b = toInt32(x);
        const std::int32_t av = toInt32(y);
        switch (a.code) {
        case 0x60:
            push(Value::fromNumber(av & b));
            break;
        case 0x61:
            push(Value::fromNumber(av | b));
            break;
        case 0x62:
            push(Value::fromNumber(av ^ b));
            break;
        case 0x63:
            push(Value::fromNumber(std::int32_t(std::uint32_t(av) << (b & 31))));
            break;
        case 0x64:
            push(Value::fromNumber(av >> (b & 31)));
            break;
        default:
            push(Value::fromNumber(double(toUint32(y) >> (b & 31))));
            break;
        }
        break;
    }
    case 0x69: { // Extends
        const Value superclass = pop();
        const Value subclass = pop();
        if (!superclass.isObject() || !subclass.isObject())
            break;
        const Value superProto = vm_.getMember(superclass, QStringLiteral("prototype"));
        Object* proto = vm_.heap().make<Object>(superProto.isObject() ? superProto.object : nullptr);
        proto->define(QStringLiteral("__constructor__"), superclass, DontEnum);
        if (version < 7)
            proto->define(QStringLiteral("constructor"), superclass, DontEnum);
        vm_.setMember(subclass.object, QStringLiteral("prototype"), Value::fromObject(proto));
        break;
    }
    case 0x2B: { // CastOp
        const Value v = pop();
        const Value ctor = pop();
        push(vm_.instanceOf(v, ctor) ? v : Value::null());
        break;
    }
    case 0x2C: { // ImplementsOp
        const Value ctor = pop();
        Args interfaces = popArgs();
        if (ctor.isObject() && ctor.object->kind() == ObjectKind::Function) {
            auto* f = static_cast<FunctionObject*>(ctor.object);
            f->interfaces.clear();
            for (const Value& i : interfaces)
                if (i.isObject())
                    f->interfaces.push_back(i.object);
        }
        break;
    }
    default:
        // Unknown actions are skipped by their length, as the player does.
        break;
    }
}

Value Vm::execute(const std::shared_ptr<const QByteArray>& block, std::uint32_t start, std::uint32_t end,
                  const ScopePtr& scope, const Value& thisValue, ClipObject* target,
                  std::shared_ptr<const std::vector<QString>> constants, Registers* registers, int depth)
{
    Interpreter interpreter(*this, block, scope, thisValue, target, std::move(constants), registers, depth);
    return interpreter.run(start, end);
}

Value Vm::callScript(FunctionObject* f, const Value& thisValue, Args& args, Object* home)
{
    const ScriptCode& code = *f->script;
    if (!code.block)
        return {};
    // The script that made the first call counts as one level.
    if (depth_ + 1 >= limits_.maxCallDepth)
        throw ScriptAborted{QStringLiteral("more than %1 levels of recursion").arg(limits_.maxCallDepth)};
    Object* activation = heap_.make<Object>(nullptr, ObjectKind::Activation);
    // arguments and super are made only for bodies that can name them (or
    // ask for them in registers): most calls need neither.
    Value argumentsValue;
    if (code.mayUseArguments || (code.flags & PreloadArguments)) {
        ArrayObject* arguments = newArray(args);
        arguments->define(QStringLiteral("callee"), Value::fromObject(f), DontEnum);
        argumentsValue = Value::fromObject(arguments);
    }
    Value superValue;
    if (home && (code.mayUseSuper || (code.flags & PreloadSuper)))
        superValue = Value::fromObject(heap_.make<SuperObject>(thisValue, home));
    ClipObject* target = f->targetClip && f->targetClip->kind() == ObjectKind::Clip
        ? static_cast<ClipObject*>(f->targetClip) : nullptr;

    // DefineFunction's functions use their caller's registers;
    // DefineFunction2's have their own, as many as they ask for.
    Registers registers;
    registers.outer = currentRegisters_;
    if (code.v2) {
        std::size_t registerCount = code.registerCount;
        for (const ScriptCode::Param& p : code.params)
            if (p.reg != 0)
                registerCount = std::max<std::size_t>(registerCount, std::size_t(p.reg) + 1);
        registers.local.resize(std::min<std::size_t>(registerCount, 256));
    } else if (!currentRegisters_) {
        registers.local.resize(4);
    }
    // Preloads and parameters go only to the function's own registers.
    auto setRegister = [&](std::size_t r, const Value& v) {
        if (r < registers.local.size())
            registers.local[r] = v;
    };
    if (code.v2) {
        std::size_t r = 1;
        const std::uint16_t flags = code.flags;
        if (flags & PreloadThis)
            setRegister(r++, thisValue);
        else if (!(flags & SuppressThis))
            activation->define(QStringLiteral("this"), thisValue);
        if (flags & PreloadArguments)
            setRegister(r++, argumentsValue);
        else if (!(flags & SuppressArguments) && code.mayUseArguments)
            activation->define(QStringLiteral("arguments"), argumentsValue);
        if (flags & PreloadSuper)
            setRegister(r++, superValue);
        else if (!(flags & SuppressSuper) && code.mayUseSuper)
            activation->define(QStringLiteral("super"), superValue);
        if (flags & PreloadRoot)
            setRegister(r++, host_ && rootOf(target) ? Value::fromObject(rootOf(target)) : Value());
        if (flags & PreloadParent) {
            ClipObject* parent = target && host_ ? host_->parentOf(target) : nullptr;
            setRegister(r++, parent ? Value::fromObject(parent) : Value());
        }
        if (flags & PreloadGlobal)
            setRegister(r++, Value::fromObject(global_));
    } else {
        activation->define(QStringLiteral("this"), thisValue);
        if (code.mayUseArguments)
            activation->define(QStringLiteral("arguments"), argumentsValue);
        if (code.mayUseSuper)
            activation->define(QStringLiteral("super"), superValue);
    }
    for (std::size_t i = 0; i < code.params.size(); ++i) {
        const Value v = i < args.size() ? args[i] : Value();
        if (code.v2 && code.params[i].reg != 0)
            setRegister(code.params[i].reg, v);
        else
            activation->define(code.params[i].name, v);
    }
    auto local = std::make_shared<Scope>();
    local->kind = Scope::Kind::Local;
    local->object = activation;
    local->parent = f->scope;
    ++depth_;
    struct DepthGuard {
        int& d;
        ~DepthGuard() { --d; }
    } guard{depth_};
    return execute(code.block, code.start, code.start + code.length, local, thisValue, target, code.constants,
                   &registers, depth_);
}

} // namespace qev::swf::avm1
