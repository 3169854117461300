#include "avm1/VideoObject.h"

#include "avm1/Vm.h"

namespace qev::swf::avm1 {

// width and height are the stream's picture size, read-only; 0 before a picture.
bool VideoObject::getSpecial(Vm& vm, const QString& name, Value& out)
{
    (void)vm;
    if (name == QLatin1String("width")) {
        out = Value::fromNumber(pictureWidth);
        return true;
    }
    if (name == QLatin1String("height")) {
        out = Value::fromNumber(pictureHeight);
        return true;
    }
    return false;
}

// Scripts cannot set the size; the writes are dropped.
bool VideoObject::setSpecial(Vm& vm, const QString& name, const Value& v)
{
    (void)vm, (void)v;
    return name == QLatin1String("width") || name == QLatin1String("height");
}

} // namespace qev::swf::avm1
