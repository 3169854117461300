#pragma once

// The script object of a movie clip on the stage (the main timeline or a
// sprite instance). It stands for the clip by id: once the clip leaves the
// stage, the object stays valid but its display properties read undefined.

#include "avm1/Object.h"

#include <cstdint>

namespace qev::swf::avm1 {

class ClipObject : public Object {
public:
    ClipObject(Heap& heap, Object* proto, std::uint64_t uid)
        : Object(heap, proto, ObjectKind::Clip), uid(uid)
    {
    }

    const std::uint64_t uid;
    // The object of a button placed on a timeline rather than of a clip.
    bool isButton = false;
    // Where the host last found the clip (its own cache, e.g. a depth path).
    std::vector<int> hostPath;
    // _lockroot: _root in scripts of this clip and of the clips inside it
    // names this clip (the nearest such one) rather than the level's root.
    bool lockRoot = false;

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;
    bool hasSpecial(Vm& vm, const QString& name) override;
    void specialNames(Vm& vm, std::vector<QString>& out) override;

private:
    bool setTabIndex(Vm& vm, const QString& name, const Value& v);
};

} // namespace qev::swf::avm1
