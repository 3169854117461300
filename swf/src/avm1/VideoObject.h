#pragma once

// The script object of a video placed on the stage (DefineVideoStream).
// Like a text field's object it stands for its video by id: the engine
// reads what a script attached and how to draw it when it builds the
// picture, and the object outlives the video's leaving the stage.

#include "avm1/Object.h"

#include <QImage>

#include <cstdint>

namespace qev::swf::avm1 {

class VideoObject : public Object {
public:
    VideoObject(Heap& heap, Object* proto, std::uint64_t uid) : Object(heap, proto, ObjectKind::Other), uid(uid) {}

    const std::uint64_t uid;
    // The NetStream object attachVideo gave (undefined: the embedded frames show).
    Value stream;
    // clear() hides the picture it was showing until the stream shows another.
    qint64 clearedPicture = 0;
    // The picture shown last (its QImage cache key), for clear().
    qint64 shownPicture = 0;
    bool cleared = false;
    // The size of the last picture shown, for width and height.
    int pictureWidth = 0;
    int pictureHeight = 0;

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;
    void trace(Marker& m) override
    {
        Object::trace(m);
        m.mark(stream);
    }
};

} // namespace qev::swf::avm1
