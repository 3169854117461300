#include "avm1/TextFieldObject.h"

#include "avm1/Host.h"
#include "avm1/Vm.h"

namespace qev::swf::avm1 {

bool TextFieldObject::getSpecial(Vm& vm, const QString& name, Value& out)
{
    Host* host = vm.host();
    if (!host || !name.startsWith(u'_'))
        return false;
    return host->getTextFieldProperty(this, name, out);
}

bool TextFieldObject::setSpecial(Vm& vm, const QString& name, const Value& v)
{
    Host* host = vm.host();
    if (!host || !name.startsWith(u'_'))
        return false;
    return host->setTextFieldProperty(this, name, v);
}

bool TextFieldObject::hasSpecial(Vm& vm, const QString& name)
{
    Value ignored;
    return getSpecial(vm, name, ignored);
}

} // namespace qev::swf::avm1
