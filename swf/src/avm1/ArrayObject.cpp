#include "avm1/ArrayObject.h"

#include "avm1/Vm.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

// length = index + 1 in 32 bits: index 2147483647 gives -2147483648.
std::int32_t lengthAfter(std::int32_t index)
{
    return std::int32_t(std::uint32_t(index) + 1u);
}

// The 32-bit index a numeric property name stands for. Integer names wrap
// exactly, digit by digit ("4294967297" is 1, however long the name);
// other numbers ("1.5", "1e3") go through the number they read as.
std::optional<std::int32_t> wrappedIndexOf(const QString& name)
{
    int k = 0;
    const bool negative = !name.isEmpty() && name[0] == u'-';
    if (negative || (!name.isEmpty() && name[0] == u'+'))
        k = 1;
    if (k < name.size()) {
        std::uint32_t v = 0;
        bool digits = true;
        for (int j = k; j < name.size() && digits; ++j) {
            const char16_t c = name[j].unicode();
            digits = c >= u'0' && c <= u'9';
            v = v * 10u + std::uint32_t(c - u'0');
        }
        if (digits)
            return std::int32_t(negative ? 0u - v : v);
    }
    const double n = stringToNumber(name);
    if (std::isnan(n))
        return std::nullopt;
    return toInt32(n);
}

} // namespace

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

void ArrayObject::adoptElements()
{
    stamps_.resize(elements.size());
    for (std::uint32_t& s : stamps_)
        s = takeOrder();
    length_ = std::int32_t(elements.size());
}

std::uint32_t ArrayObject::walkLength(Vm& vm)
{
    sync();
    if (length_ <= 0)
        return 0;
    return std::uint32_t(std::min<std::size_t>(std::size_t(length_), vm.limits().maxArrayLength));
}

std::vector<Value> ArrayObject::readAll(Vm& vm)
{
    const std::uint32_t n = walkLength(vm);
    std::vector<Value> out(n);
    const std::size_t stored = std::min<std::size_t>(n, elements.size());
    for (std::size_t i = 0; i < stored; ++i)
        if (stamps_[i])
            out[i] = elements[i];
    return out;
}

void ArrayObject::assign(std::vector<Value> items)
{
    elements = std::move(items);
    elementFlags_.clear();
    adoptElements();
}

void ArrayObject::setElementFlags(std::uint32_t i, std::uint8_t flags)
{
    if (!present(i))
        return;
    if (flags)
        elementFlags_[i] = flags;
    else
        elementFlags_.erase(i);
}

void ArrayObject::setElement(Vm& vm, std::uint32_t i, const Value& v)
{
    sync();
    if (!elementFlags_.empty() && (elementFlags(i) & ReadOnly))
        return;
    const auto index = std::int32_t(i); // below the array limit, so no wrap
    if (index >= length_)
        setLength(vm, lengthAfter(index));
    if (i >= elements.size()) {
        elements.resize(std::size_t(i) + 1);
        stamps_.resize(std::size_t(i) + 1, 0);
    }
    if (!stamps_[i])
        stamps_[i] = takeOrder();
    elements[i] = v;
}

void ArrayObject::removeElement(std::uint32_t i)
{
    sync();
    if (i >= elements.size())
        return;
    if (!elementFlags_.empty()) {
        if (elementFlags(i) & DontDelete)
            return;
        elementFlags_.erase(i);
    }
    elements[i] = Value::undefined();
    stamps_[i] = 0;
    // Trailing holes need no slots.
    while (!stamps_.empty() && stamps_.back() == 0) {
        stamps_.pop_back();
        elements.pop_back();
    }
}

void ArrayObject::setLength(Vm&, std::int32_t length)
{
    sync();
    if (length < length_) {
        const std::size_t keep = length <= 0 ? 0 : std::size_t(length);
        if (keep < elements.size()) {
            if (elementFlags_.empty()) {
                elements.resize(keep);
                stamps_.resize(keep);
            } else {
                // Undeletable elements stay past the new length.
                for (std::size_t i = elements.size(); i-- > keep;)
                    removeElement(std::uint32_t(i));
            }
        }
        // Numeric names kept as plain properties go too when their index
        // is non-negative and at or past the new length.
        std::vector<QString> doomed;
        for (const Property& p : ownProperties()) {
            if (p.flags & DontDelete)
                continue;
            const auto index = wrappedIndexOf(p.name);
            if (index && *index >= 0 && *index >= length)
                doomed.push_back(p.name);
        }
        for (const QString& name : doomed)
            removeOwn(name);
    }
    length_ = length;
}

void ArrayObject::stampedNames(std::vector<std::pair<std::uint32_t, QString>>& out)
{
    sync();
    for (std::size_t i = 0; i < stamps_.size(); ++i)
        if (stamps_[i] && !(elementFlags(std::uint32_t(i)) & DontEnum))
            out.emplace_back(stamps_[i], QString::number(i));
}

bool ArrayObject::getSpecial(Vm&, const QString& name, Value& out)
{
    if (name == u"length") {
        out = Value::fromNumber(double(length()));
        return true;
    }
    if (auto i = indexOf(name)) {
        if (present(*i)) {
            out = elements[*i];
            return true;
        }
    }
    return false;
}

bool ArrayObject::setSpecial(Vm& vm, const QString& name, const Value& v)
{
    // Elements handed over in the vector take their stamps before any new
    // named property does.
    sync();
    if (name == u"length") {
        setLength(vm, toInt32(vm.toNumber(v)));
        return true;
    }
    auto i = indexOf(name);
    if (i && *i < vm.limits().maxArrayLength) {
        setElement(vm, *i, v);
        return true;
    }
    // Any other numeric name is stored as a plain property by the caller,
    // but moves length first as an index would.
    if (const auto index = wrappedIndexOf(name); index && *index >= length())
        setLength(vm, lengthAfter(*index));
    return false;
}

bool ArrayObject::hasSpecial(Vm&, const QString& name)
{
    if (name == u"length")
        return true;
    auto i = indexOf(name);
    return i && present(*i);
}

bool ArrayObject::deleteSpecial(Vm&, const QString& name)
{
    auto i = indexOf(name);
    if (i && present(*i)) {
        if (elementFlags(*i) & DontDelete)
            return false;
        removeElement(*i);
        return true;
    }
    return false;
}

void ArrayObject::trace(Marker& m)
{
    Object::trace(m);
    for (const Value& v : elements)
        m.mark(v);
}

void ArrayObject::resize(Vm& vm, double length)
{
    setLength(vm, std::isfinite(length) ? toInt32(length) : 0);
}

} // namespace qev::swf::avm1
