#pragma once

// Arrays keep their elements in a dense vector for speed, with a creation
// stamp per slot: stamp 0 marks a hole (an index never set, or deleted).
// The player's arrays are ordinary objects whose elements are properties,
// so holes stay invisible to enumeration, and elements and named properties
// enumerate together newest first; the stamps share one counter with the
// named properties to give that order. `length` is a 32-bit integer kept
// apart from the vector: it may be negative or far past the stored slots.
// Numeric names that do not fit the vector (negative, huge, "1.5") are
// ordinary properties, but still move `length` as the player does.

#include "avm1/Object.h"

#include <map>
#include <optional>
#include <vector>

namespace qev::swf::avm1 {

class ArrayObject : public Object {
public:
    ArrayObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Array) {}

    // The slots. Code that replaces or appends to the vector directly (lists
    // the engine keeps) gets every slot present and length = size on the
    // next access; Array methods call assign() instead.
    std::vector<Value> elements;

    // The element index a property name stands for ("3" -> 3), if any.
    static std::optional<std::uint32_t> indexOf(const QString& name);

    std::int32_t length() { sync(); return length_; }
    // Indexes 0..length-1 that methods walk (none when length is negative).
    std::uint32_t walkLength(Vm& vm);
    bool present(std::size_t i) { sync(); return i < stamps_.size() && stamps_[i] != 0; }
    // The value at i, undefined for a hole or past the slots.
    Value at(std::size_t i) { sync(); return present(i) ? elements[i] : Value::undefined(); }
    // Indexes 0..walkLength-1 with holes read as undefined.
    std::vector<Value> readAll(Vm& vm);
    // Replaces the content by `items`, every slot present and created in
    // index order, length = size (what the reordering methods leave).
    void assign(std::vector<Value> items);
    // Sets element i (creating it newest if it was a hole) and moves length.
    void setElement(Vm& vm, std::uint32_t i, const Value& v);
    // Removes element i, leaving a hole; length is unchanged.
    void removeElement(std::uint32_t i);
    // The player's length write: lowering it deletes the non-negative
    // indexes at or past the new length.
    void setLength(Vm& vm, std::int32_t length);
    // (name, stamp) of present elements, for enumeration's ordering.
    void stampedNames(std::vector<std::pair<std::uint32_t, QString>>& out) override;

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;
    bool hasSpecial(Vm& vm, const QString& name) override;
    bool deleteSpecial(Vm& vm, const QString& name) override;
    void trace(Marker& m) override;

    // Sets the length from a script number (Array(n), length = n).
    void resize(Vm& vm, double length);

    // The attributes (DontEnum, DontDelete, ReadOnly) ASSetPropFlags gave
    // element i; a hidden element does not enumerate, a read-only one
    // ignores writes, an undeletable one stays when deleted.
    std::uint8_t elementFlags(std::uint32_t i) const
    {
        const auto it = elementFlags_.find(i);
        return it == elementFlags_.end() ? 0 : it->second;
    }
    void setElementFlags(std::uint32_t i, std::uint8_t flags);
    bool hasElementFlags() const { return !elementFlags_.empty(); }

private:
    // Catches up with direct changes of `elements`.
    void sync()
    {
        if (stamps_.size() != elements.size())
            adoptElements();
    }
    void adoptElements();

    std::vector<std::uint32_t> stamps_;
    std::int32_t length_ = 0;
    // Only elements given attributes; almost every array has none.
    std::map<std::uint32_t, std::uint8_t> elementFlags_;
};

} // namespace qev::swf::avm1
