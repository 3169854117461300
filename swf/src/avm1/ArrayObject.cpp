#include "avm1/ArrayObject.h"

#include "avm1/Vm.h"

#include <cmath>

namespace qev::swf::avm1 {

std::optional<std::uint32_t> ArrayObject::indexOf(const QString& name)
{
    if (name.isEmpty() || name.size() > 10)
        return std::nullopt;
    if (name.size() > 1 && name[0] == u'0')
        return std::nullopt;
    std::uint64_t v = 0;
    for (QChar c : name) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v >= 0xFFFFFFFFull)
        return std::nullopt;
    return std::uint32_t(v);
}

bool ArrayObject::getSpecial(Vm&, const QString& name, Value& out)
{
    if (name == u"length") {
        out = Value::fromNumber(double(elements.size()));
        return true;
    }
    if (auto i = indexOf(name)) {
        if (*i < elements.size()) {
            out = elements[*i];
            return true;
        }
    }
    return false;
}

bool ArrayObject::setSpecial(Vm& vm, const QString& name, const Value& v)
{
    if (name == u"length") {
        resize(vm, vm.toNumber(v));
        return true;
    }
    if (auto i = indexOf(name)) {
        if (*i >= vm.limits().maxArrayLength) {
            vm.warn(QStringLiteral("array index %1 is past the array limit").arg(*i));
            return true;
        }
        if (*i >= elements.size())
            elements.resize(std::size_t(*i) + 1);
        elements[*i] = v;
        return true;
    }
    return false;
}

bool ArrayObject::hasSpecial(Vm&, const QString& name)
{
    if (name == u"length")
        return true;
    auto i = indexOf(name);
    return i && *i < elements.size();
}

bool ArrayObject::deleteSpecial(Vm&, const QString& name)
{
    auto i = indexOf(name);
    if (i && *i < elements.size()) {
        elements[*i] = Value::undefined();
        return true;
    }
    return false;
}

void ArrayObject::specialNames(Vm&, std::vector<QString>& out)
{
    for (std::size_t i = 0; i < elements.size(); ++i)
        out.push_back(QString::number(i));
}

void ArrayObject::trace(Marker& m)
{
    Object::trace(m);
    for (const Value& v : elements)
        m.mark(v);
}

void ArrayObject::resize(Vm& vm, double length)
{
    if (!std::isfinite(length) || length < 0)
        return;
    std::size_t n = std::size_t(std::min(length, double(vm.limits().maxArrayLength)));
    elements.resize(n);
}

} // namespace qev::swf::avm1
