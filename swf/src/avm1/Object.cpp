#include "avm1/Object.h"

#include "avm1/Function.h"
#include "avm1/Vm.h"

#include <algorithm>

namespace qev::swf::avm1 {

namespace {
// Prototype chains longer than this are cut: a cycle made by a script
// (a.__proto__ = b; b.__proto__ = a) must not hang a lookup.
constexpr int maxProtoChain = 256;
} // namespace

Object::Object(Heap& heap, Object* proto, ObjectKind kind) : heap_(heap), proto_(proto), kind_(kind) {}

Object::~Object() = default;

QString Object::key(const QString& name) const
{
    return heap_.caseSensitive() ? name : name.toLower();
}

Property* Object::findOwn(const QString& name)
{
    if (props_.size() <= 8) {
        const Qt::CaseSensitivity cs = heap_.caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (Property& p : props_)
            if (p.name.size() == name.size() && p.name.compare(name, cs) == 0)
                return &p;
        return nullptr;
    }
    auto it = index_.constFind(key(name));
    return it == index_.constEnd() ? nullptr : &props_[it.value()];
}

const Property* Object::findOwn(const QString& name) const
{
    return const_cast<Object*>(this)->findOwn(name);
}

Property* Object::find(const QString& name, Object** holder)
{
    Object* o = this;
    for (int i = 0; o && i < maxProtoChain; ++i, o = o->proto_) {
        if (Property* p = o->findOwn(name)) {
            if (holder)
                *holder = o;
            return p;
        }
    }
    return nullptr;
}

void Object::define(const QString& name, const Value& v, std::uint8_t flags)
{
    if (Property* p = findOwn(name)) {
        p->value = v;
        p->getter = p->setter = nullptr;
        p->flags = flags;
        return;
    }
    Property p;
    p.name = name;
    p.value = v;
    p.flags = flags;
    p.order = takeOrder();
    props_.push_back(std::move(p));
    if (props_.size() > 8) {
        if (props_.size() == 9)
            reindex();
        else
            index_.insert(key(name), std::uint32_t(props_.size() - 1));
    }
}

void Object::defineMethod(Vm& vm, const QString& name,
                          std::function<Value(Vm&, const Value&, std::vector<Value>&)> fn, std::uint8_t flags)
{
    define(name, Value::fromObject(vm.newNative(std::move(fn))), flags);
}

bool Object::removeOwn(const QString& name)
{
    Property* p = findOwn(name);
    if (!p)
        return false;
    props_.erase(props_.begin() + (p - props_.data()));
    if (props_.size() > 8)
        reindex();
    else
        index_.clear();
    return true;
}

void Object::reindex()
{
    index_.clear();
    for (std::uint32_t i = 0; i < props_.size(); ++i)
        index_.insert(key(props_[i].name), i);
}

bool Object::getSpecial(Vm&, const QString&, Value&) { return false; }
bool Object::setSpecial(Vm&, const QString&, const Value&) { return false; }
bool Object::hasSpecial(Vm&, const QString&) { return false; }
bool Object::deleteSpecial(Vm&, const QString&) { return false; }
void Object::specialNames(Vm&, std::vector<QString>&) {}
void Object::stampedNames(std::vector<std::pair<std::uint32_t, QString>>&) {}

void Object::trace(Marker& m)
{
    m.mark(proto_);
    m.mark(primitive);
    for (const Property& p : props_) {
        m.mark(p.value);
        m.mark(p.getter);
        m.mark(p.setter);
    }
    if (watchers)
        for (const Watcher& w : *watchers) {
            m.mark(w.callback);
            m.mark(w.userData);
        }
}

Heap::~Heap()
{
    // Objects point at each other freely; none frees another, so order is free.
    objects_.clear();
}

void Heap::collect(const std::function<void(Marker&)>& markRoots)
{
    for (auto& o : objects_)
        o->marked = false;
    Marker marker;
    markRoots(marker);
    marker.drain();
    auto dead = std::stable_partition(objects_.begin(), objects_.end(), [](const auto& o) { return o->marked; });
    objects_.erase(dead, objects_.end());
    allocatedSinceCollect_ = 0;
}

} // namespace qev::swf::avm1
