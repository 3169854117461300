#pragma once

// Functions: native ones (the built-in classes) and script ones (bytecode
// of DefineFunction and DefineFunction2) with the scope chain they close
// over.

#include "avm1/Object.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <vector>

namespace qev::swf::avm1 {

using Args = std::vector<Value>;
using NativeFunction = std::function<Value(Vm&, const Value& thisValue, Args& args)>;

// One link of a scope chain. Variables are looked up from the innermost
// link out; a write to a name found nowhere lands on the innermost Target
// (the timeline the code belongs to).
struct Scope {
    enum class Kind : std::uint8_t { Global, Target, Local, With };
    Kind kind = Kind::Global;
    Object* object = nullptr;
    std::shared_ptr<const Scope> parent;
};
using ScopePtr = std::shared_ptr<const Scope>;

// DefineFunction2's flags.
enum FunctionFlag : std::uint16_t {
    PreloadThis = 0x0001,
    SuppressThis = 0x0002,
    PreloadArguments = 0x0004,
    SuppressArguments = 0x0008,
    PreloadSuper = 0x0010,
    SuppressSuper = 0x0020,
    PreloadRoot = 0x0040,
    PreloadParent = 0x0080,
    PreloadGlobal = 0x0100,
};

struct ScriptCode {
    std::shared_ptr<const QByteArray> block; // the whole action block the body lies in
    std::uint32_t start = 0;                 // the body: [start, start + length)
    std::uint32_t length = 0;
    QString name;
    struct Param {
        QString name;
        std::uint8_t reg = 0; // DefineFunction2: the register it goes to, 0 for a variable
    };
    std::vector<Param> params;
    bool v2 = false;               // DefineFunction2
    std::uint8_t registerCount = 4; // DefineFunction2: registers it asks for
    std::uint16_t flags = 0;
    std::shared_ptr<const std::vector<QString>> constants; // the pool in force where it was defined
    // Whether the body can name `arguments` or `super` at all (the name is
    // in its bytes or its constant pool); a call makes them only then.
    bool mayUseArguments = true;
    bool mayUseSuper = true;
};

class FunctionObject : public Object {
public:
    FunctionObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Function) {}

    NativeFunction native;
    // For built-in classes that make their own instances under `new`
    // (Array, Date, the wrappers); otherwise `new` makes a plain object.
    NativeFunction constructor;
    // The constructor answers null when it makes nothing (a size out of
    // bounds): `new` then gives undefined.
    bool constructionMayFail = false;
    std::shared_ptr<const ScriptCode> script;
    ScopePtr scope;
    Object* targetClip = nullptr; // the timeline the function was defined on
    std::vector<Object*> interfaces; // ImplementsOp: what instanceof also accepts

    void trace(Marker& m) override
    {
        Object::trace(m);
        for (const Scope* s = scope.get(); s; s = s->parent.get())
            m.mark(s->object);
        m.mark(targetClip);
        for (Object* i : interfaces)
            m.mark(i);
    }
};

} // namespace qev::swf::avm1

namespace qev::swf::avm1 {

// `super` inside a method found on the prototype `home`: members are looked
// up from the prototype above home, super() calls home's __constructor__
// (the class it extends), and both keep the caller's `this`.
class SuperObject : public Object {
public:
    SuperObject(Heap& heap, Value thisValue, Object* home)
        : Object(heap, nullptr, ObjectKind::Other), thisValue(std::move(thisValue)), home(home),
          base(home ? home->proto() : nullptr)
    {
    }
    Value thisValue;
    Object* home = nullptr;
    Object* base = nullptr;

    void trace(Marker& m) override
    {
        Object::trace(m);
        m.mark(thisValue);
        m.mark(home);
        m.mark(base);
    }
};

} // namespace qev::swf::avm1
