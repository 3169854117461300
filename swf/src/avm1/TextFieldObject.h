#pragma once

// The script object of a text field on the stage (DefineEditText or
// createTextField). Like a clip's object it stands for its field by id:
// once the field leaves the stage, the object stays valid and its
// properties read undefined.

#include "avm1/Object.h"

#include <cstdint>
#include <vector>

namespace qev::swf::avm1 {

class TextFieldObject : public Object {
public:
    TextFieldObject(Heap& heap, Object* proto, std::uint64_t uid)
        : Object(heap, proto, ObjectKind::TextField), uid(uid)
    {
    }

    const std::uint64_t uid;
    // Where the host last found the field (its own cache, e.g. a depth path).
    std::vector<int> hostPath;

    // Display properties (_x, _name, ...) go to the host; the text
    // properties are getters on TextField.prototype.
    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;
    bool hasSpecial(Vm& vm, const QString& name) override;
};

} // namespace qev::swf::avm1
