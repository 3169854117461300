#pragma once

// Script objects: an ordered set of named properties and a prototype link.
// Every object lives on the Heap, which owns it; values hold plain
// pointers, and the heap frees what no root reaches when it collects
// between frames (never while a script runs).

#include "avm1/Value.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qev::swf::avm1 {

class Vm;
class Heap;

// Attribute bits of a property, as ASSetPropFlags sets them.
enum PropertyFlag : std::uint8_t {
    DontEnum = 1,
    DontDelete = 2,
    ReadOnly = 4,
};

struct Property {
    QString name;            // as first written (enumeration shows it so)
    Value value;
    Object* getter = nullptr; // addProperty: a getter makes the property virtual
    Object* setter = nullptr;
    std::uint8_t flags = 0;
    // ASSetPropFlags hides some built-ins below a SWF version (bits 0x80
    // and up of its flags): the property is invisible there.
    std::uint8_t hiddenBelowVersion = 0;
    // When it was created, from its object's counter (see takeOrder).
    std::uint32_t order = 0;
    bool isVirtual() const { return getter != nullptr; }
};

// What kind of built-in an object is; classes test it instead of casting
// blindly (instanceof-like checks of natives, toString's tag).
enum class ObjectKind : std::uint8_t {
    Plain,
    Function,
    Array,
    Boolean,
    Number,
    String,
    Date,
    Error,
    Clip,      // a movie clip on the stage
    TextField, // a text field on the stage
    Activation,
    Other,
};

class Marker;

class Object {
public:
    Object(Heap& heap, Object* proto, ObjectKind kind = ObjectKind::Plain);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectKind kind() const { return kind_; }
    Object* proto() const { return proto_; }
    void setProto(Object* p) { proto_ = p; }
    Heap& heap() const { return heap_; }

    // Own properties, in insertion order.
    Property* findOwn(const QString& name);
    const Property* findOwn(const QString& name) const;
    // Looks along the prototype chain (bounded against cycles).
    Property* find(const QString& name, Object** holder = nullptr);

    // Plain own-property writes that call no setter: built-ins use them to
    // install their methods and values.
    void define(const QString& name, const Value& v, std::uint8_t flags = 0);
    void defineMethod(Vm& vm, const QString& name, std::function<Value(Vm&, const Value&, std::vector<Value>&)> fn,
                      std::uint8_t flags = DontEnum);
    bool removeOwn(const QString& name);
    const std::vector<Property>& ownProperties() const { return props_; }
    std::vector<Property>& ownPropertiesMutable() { return props_; }

    // Properties that are not stored as plain entries: array elements and
    // length, a clip's _x, a string's length. Return true when handled.
    virtual bool getSpecial(Vm& vm, const QString& name, Value& out);
    virtual bool setSpecial(Vm& vm, const QString& name, const Value& v);
    virtual bool hasSpecial(Vm& vm, const QString& name);
    virtual bool deleteSpecial(Vm& vm, const QString& name);
    // Names that enumeration shows before the stored properties.
    virtual void specialNames(Vm& vm, std::vector<QString>& out);
    // Names stored outside the property list (array elements) with their
    // creation stamps: enumeration interleaves them with the properties,
    // newest first.
    virtual void stampedNames(std::vector<std::pair<std::uint32_t, QString>>& out);
    // Reports every object this one holds, for the collector.
    virtual void trace(Marker& m);

    // Case folding of names below SWF 7.
    QString key(const QString& name) const;

    // Set by the collector.
    bool marked = false;

    // The primitive that Boolean, Number and String wrappers hold, and a
    // Date's time; Error keeps nothing here.
    Value primitive;

    // Object.watch: callbacks called on a write, with their user data.
    struct Watcher {
        Value callback;
        Value userData;
        bool running = false; // a watcher that writes its own property is not called again
    };
    std::unique_ptr<QHash<QString, Watcher>> watchers;

protected:
    // Creation stamps shared by the properties and whatever a subclass
    // stores on the side, so that enumeration can order them together.
    std::uint32_t takeOrder() { return ++nextOrder_; }

    Heap& heap_;

private:
    void reindex();

    Object* proto_ = nullptr;
    ObjectKind kind_;
    std::vector<Property> props_;
    std::uint32_t nextOrder_ = 0;
    QHash<QString, std::uint32_t> index_; // folded name -> position in props_
};

// The collector's walk: marks an object and everything it reaches.
class Marker {
public:
    void mark(Object* o)
    {
        if (o && !o->marked) {
            o->marked = true;
            pending_.push_back(o);
        }
    }
    void mark(const Value& v)
    {
        if (v.type == Value::Type::Object)
            mark(v.object);
    }
    void drain()
    {
        while (!pending_.empty()) {
            Object* o = pending_.back();
            pending_.pop_back();
            o->trace(*this);
        }
    }

private:
    std::vector<Object*> pending_;
};

// Owns every object of one movie's machine.
class Heap {
public:
    explicit Heap(bool caseSensitive) : caseSensitive_(caseSensitive) {}
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    template <class T, class... Args> T* make(Args&&... args)
    {
        auto owned = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = owned.get();
        objects_.push_back(std::move(owned));
        ++allocatedSinceCollect_;
        return raw;
    }

    bool caseSensitive() const { return caseSensitive_; }
    std::size_t size() const { return objects_.size(); }
    std::size_t allocatedSinceCollect() const { return allocatedSinceCollect_; }

    // Frees every object that the roots marked by markRoots do not reach.
    void collect(const std::function<void(Marker&)>& markRoots);

private:
    bool caseSensitive_;
    std::vector<std::unique_ptr<Object>> objects_;
    std::size_t allocatedSinceCollect_ = 0;
};

} // namespace qev::swf::avm1
