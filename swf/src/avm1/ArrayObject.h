#pragma once

// Arrays keep their elements densely; the names "0", "1", ... and "length"
// read and write them like properties, as scripts expect.

#include "avm1/Object.h"

#include <optional>
#include <vector>

namespace qev::swf::avm1 {

class ArrayObject : public Object {
public:
    ArrayObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Array) {}

    std::vector<Value> elements;

    // The element index a property name stands for ("3" -> 3), if any.
    static std::optional<std::uint32_t> indexOf(const QString& name);

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;
    bool hasSpecial(Vm& vm, const QString& name) override;
    bool deleteSpecial(Vm& vm, const QString& name) override;
    void specialNames(Vm& vm, std::vector<QString>& out) override;
    void trace(Marker& m) override;

    // Sets the length, growing with undefined or cutting (bounded by the
    // machine's array limit).
    void resize(Vm& vm, double length);
};

} // namespace qev::swf::avm1
