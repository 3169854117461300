#include "avm1/ClipObject.h"

#include "avm1/Host.h"
#include "avm1/TextFieldObject.h"
#include "avm1/Vm.h"

#include <cmath>

namespace qev::swf::avm1 {

Object* Host::objectAtDepth(ClipObject* parent, int depth)
{
    return clipAtDepth(parent, depth);
}

bool ClipObject::getSpecial(Vm& vm, const QString& name, Value& out)
{
    Host* host = vm.host();
    if (!host || !host->isLive(this))
        return false;
    // The clip's place in the tree reads like a property.
    const Qt::CaseSensitivity cs = vm.version() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (name.compare(u"_parent", cs) == 0) {
        ClipObject* parent = host->parentOf(this);
        out = parent ? Value::fromObject(parent) : Value();
        return true;
    }
    if (name.compare(u"_root", cs) == 0) {
        out = Value::fromObject(host->rootOf(this));
        return true;
    }
    if (ClipObject* child = host->childByName(this, name)) {
        out = Value::fromObject(child);
        return true;
    }
    if (Object* field = host->textFieldByName(this, name)) {
        out = Value::fromObject(field);
        return true;
    }
    if (Object* video = host->videoByName(this, name)) {
        out = Value::fromObject(video);
        return true;
    }
    if (name.startsWith(u'_'))
        return host->getProperty(this, name, out);
    return false;
}

bool ClipObject::setSpecial(Vm& vm, const QString& name, const Value& v)
{
    if (!name.startsWith(u'_'))
        return setTabIndex(vm, name, v);
    Host* host = vm.host();
    if (!host || !host->isLive(this))
        return false;
    return host->setProperty(this, name, v);
}

// tabIndex keeps a 32-bit integer, cut toward zero; NaN and numbers out of
// that range become its lowest value, as a processor's truncating
// conversion gives. A button lists it among its properties, a clip not.
bool ClipObject::setTabIndex(Vm& vm, const QString& name, const Value& v)
{
    const Qt::CaseSensitivity cs = vm.version() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (v.isUndefined() || name.compare(u"tabIndex", cs) != 0)
        return false;
    const double cut = std::trunc(vm.toNumber(v));
    const bool fits = cut >= -2147483648.0 && cut <= 2147483647.0;
    define(QStringLiteral("tabIndex"), Value::fromNumber(fits ? cut : -2147483648.0), isButton ? 0 : DontEnum);
    return true;
}

bool ClipObject::hasSpecial(Vm& vm, const QString& name)
{
    Value ignored;
    return getSpecial(vm, name, ignored);
}

void ClipObject::specialNames(Vm& vm, std::vector<QString>& out)
{
    if (Host* host = vm.host(); host && host->isLive(this))
        host->childNames(this, out);
}

} // namespace qev::swf::avm1
