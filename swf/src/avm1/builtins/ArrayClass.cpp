// The Array class: construction, the sort constants and the prototype
// methods. Methods read an array's indexes 0..length-1 with holes as
// undefined; those that reorder write the result back as a fresh run of
// elements (holes filled), as the player does. On another object used as
// `this` they read and write its numbered members and "length", as long as
// it is small enough for that to stay cheap.

#include "avm1/ArrayObject.h"
#include "avm1/builtins/Support.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

enum SortFlag : int {
    CaseInsensitive = 1,
    Descending = 2,
    UniqueSort = 4,
    ReturnIndexedArray = 8,
    Numeric = 16,
};

// Objects that are not arrays are handled element by element through
// member access; past this many elements a method gives up (returns
// undefined) instead of walking millions of names.
constexpr std::uint32_t kGenericLimit = 1u << 16;

ArrayObject* asArray(const Value& v)
{
    if (v.isObject() && v.object->kind() == ObjectKind::Array)
        return dynamic_cast<ArrayObject*>(v.object);
    return nullptr;
}

std::size_t maxLength(Vm& vm)
{
    return vm.limits().maxArrayLength;
}

// How many more elements an array of `size` may take.
std::size_t room(Vm& vm, std::size_t size)
{
    return size >= maxLength(vm) ? 0 : maxLength(vm) - size;
}

// The elements `this` stands for, as a copy: for an array its indexes
// 0..length-1, which commit() makes the array's whole content; for another
// object its numbered members, which commit() writes back (elements,
// removed tail, then "length").
class Elements {
public:
    Elements(Vm& vm, const Value& self) : vm_(vm)
    {
        array_ = asArray(self);
        if (array_) {
            copy_ = array_->readAll(vm);
            usable_ = true;
            return;
        }
        if (!self.isObject())
            return;
        object_ = self.object;
        std::uint32_t length = vm.lengthOf(object_);
        if (length > kGenericLimit)
            return;
        oldLength_ = length;
        copy_.reserve(length);
        for (std::uint32_t i = 0; i < length; ++i)
            copy_.push_back(vm.getMember(object_, QString::number(i)));
        usable_ = true;
    }

    bool ok() const { return usable_; }
    std::vector<Value>& items() { return copy_; }

    void commit()
    {
        if (!usable_)
            return;
        if (array_) {
            array_->assign(copy_);
            return;
        }
        for (std::size_t i = 0; i < copy_.size(); ++i)
            vm_.setMember(object_, QString::number(i), copy_[i]);
        for (std::size_t i = copy_.size(); i < oldLength_; ++i)
            vm_.deleteMember(object_, QString::number(i));
        vm_.setMember(object_, QStringLiteral("length"), Value::fromNumber(double(copy_.size())));
    }

private:
    Vm& vm_;
    ArrayObject* array_ = nullptr;
    Object* object_ = nullptr;
    std::vector<Value> copy_;
    std::size_t oldLength_ = 0;
    bool usable_ = false;
};

Value newArrayValue(Vm& vm, std::vector<Value> elements)
{
    if (elements.size() > maxLength(vm))
        elements.resize(maxLength(vm));
    return Value::fromObject(vm.newArray(std::move(elements)));
}

// Array(...) and new Array(...): one number argument is a length, anything
// else lists the elements.
Value constructArray(Vm& vm, const Value&, Args& args)
{
    if (args.size() == 1 && args[0].isNumber()) {
        // Only a length: the indexes below it are holes.
        ArrayObject* a = vm.newArray();
        a->resize(vm, std::max(integerOf(args[0].number), 0.0));
        return Value::fromObject(a);
    }
    return newArrayValue(vm, std::vector<Value>(args.begin(), args.end()));
}

// The state of the join running on this thread. An array that contains
// itself (directly or deeper) joins as "" where it recurs instead of
// recursing without end; and since arrays that share sub-arrays can make a
// nested join exponentially long, the outermost join hands out a budget of
// work (one unit per element visited plus the characters produced) that the
// nested ones draw from too. Once spent, every join stops where it is.
struct JoinState {
    std::vector<Object*> active;
    qint64 budget = 0;
};

JoinState& joinState()
{
    static thread_local JoinState state;
    return state;
}

QString joinElements(Vm& vm, const std::vector<Value>& items, const QString& separator)
{
    // Element conversions may run script code that changes the array, so
    // the loop works on the copy it was handed.
    JoinState& state = joinState();
    QString out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += separator;
        const QString part = vm.toString(items[i]);
        out += part;
        state.budget -= 1 + separator.size() + part.size();
        if (state.budget < 0)
            break;
    }
    if (out.size() > vm.limits().maxStringLength)
        out.truncate(vm.limits().maxStringLength);
    return out;
}

Value joinWith(Vm& vm, const Value& self, const QString& separator)
{
    JoinState& state = joinState();
    if (self.isObject() && std::find(state.active.begin(), state.active.end(), self.object) != state.active.end())
        return Value::fromString(QString());
    if (state.active.empty())
        state.budget = vm.limits().maxStringLength;
    else if (state.budget < 0)
        return Value::fromString(QString());
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    std::vector<Value> items = e.items();
    state.active.push_back(self.object);
    struct Pop {
        std::vector<Object*>& list;
        ~Pop() { list.pop_back(); }
    } pop{state.active};
    return Value::fromString(joinElements(vm, items, separator));
}

Value join(Vm& vm, const Value& self, Args& args)
{
    QString separator = arg(args, 0).isUndefined() ? QStringLiteral(",") : vm.toString(args[0]);
    return joinWith(vm, self, separator);
}

Value toStringMethod(Vm& vm, const Value& self, Args&)
{
    return joinWith(vm, self, QStringLiteral(","));
}

Value push(Vm& vm, const Value& self, Args& args)
{
    // An array takes the new elements in place: pushing in a loop stays
    // linear.
    if (ArrayObject* a = asArray(self)) {
        std::uint32_t at = a->walkLength(vm);
        for (const Value& v : args) {
            if (at >= maxLength(vm))
                break;
            a->setElement(vm, at++, v);
        }
        return Value::fromNumber(double(a->length()));
    }
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    auto& items = e.items();
    std::size_t n = std::min(args.size(), room(vm, items.size()));
    items.insert(items.end(), args.begin(), args.begin() + std::ptrdiff_t(n));
    e.commit();
    return Value::fromNumber(double(items.size()));
}

Value pop(Vm& vm, const Value& self, Args&)
{
    if (ArrayObject* a = asArray(self)) {
        const std::uint32_t n = a->walkLength(vm);
        if (n == 0)
            return Value::undefined();
        Value last = a->at(n - 1);
        a->setLength(vm, std::int32_t(n - 1));
        return last;
    }
    Elements e(vm, self);
    if (!e.ok() || e.items().empty())
        return Value::undefined();
    Value last = e.items().back();
    e.items().pop_back();
    e.commit();
    return last;
}

// shift of an array whose elements have attributes, as the player shifts
// properties: every element is deleted (undeletable ones stay), then each
// value moves down one place by an ordinary write (read-only ones refuse).
Value shiftWithAttributes(Vm& vm, ArrayObject& array)
{
    const std::int32_t length = array.length();
    if (length <= 0)
        return Value::undefined();
    std::vector<Value> values;
    values.reserve(std::size_t(length));
    for (std::int32_t i = 0; i < length; ++i)
        values.push_back(array.at(std::size_t(i)));
    for (std::int32_t i = 0; i < length; ++i)
        array.removeElement(std::uint32_t(i));
    for (std::int32_t i = 0; i + 1 < length; ++i)
        array.setElement(vm, std::uint32_t(i), values[std::size_t(i) + 1]);
    array.setLength(vm, length - 1);
    return values.front();
}

Value shift(Vm& vm, const Value& self, Args&)
{
    if (self.isObject() && self.object->kind() == ObjectKind::Array) {
        auto* array = static_cast<ArrayObject*>(self.object);
        if (array->hasElementFlags())
            return shiftWithAttributes(vm, *array);
    }
    Elements e(vm, self);
    if (!e.ok() || e.items().empty())
        return Value::undefined();
    Value first = e.items().front();
    e.items().erase(e.items().begin());
    e.commit();
    return first;
}

Value unshift(Vm& vm, const Value& self, Args& args)
{
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    auto& items = e.items();
    std::size_t n = std::min(args.size(), room(vm, items.size()));
    items.insert(items.begin(), args.begin(), args.begin() + std::ptrdiff_t(n));
    e.commit();
    return Value::fromNumber(double(items.size()));
}

// splice(start, deleteCount, items...): removes deleteCount elements at
// start (all of the rest when deleteCount is missing), puts the items
// there and returns the removed ones as a new array.
Value splice(Vm& vm, const Value& self, Args& args)
{
    // An undefined start, or a count given as undefined or below zero,
    // makes splice do nothing and answer undefined.
    if (args.empty() || args[0].isUndefined() || (args.size() >= 2 && args[1].isUndefined()))
        return Value::undefined();
    // The arguments are converted before the elements are looked at: a
    // valueOf may run script code that changes the array.
    const double startArg = vm.toNumber(args[0]);
    const double countArg = args.size() >= 2 ? integerOf(vm.toNumber(args[1])) : HUGE_VAL;
    if (countArg < 0)
        return Value::undefined();
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    auto& items = e.items();
    const auto start = std::size_t(relativeIndex(startArg, double(items.size())));
    const auto count = std::size_t(std::clamp(countArg, 0.0, double(items.size() - start)));
    std::vector<Value> removed(items.begin() + std::ptrdiff_t(start), items.begin() + std::ptrdiff_t(start + count));
    items.erase(items.begin() + std::ptrdiff_t(start), items.begin() + std::ptrdiff_t(start + count));
    if (args.size() > 2) {
        std::size_t n = std::min(args.size() - 2, room(vm, items.size()));
        items.insert(items.begin() + std::ptrdiff_t(start), args.begin() + 2, args.begin() + 2 + std::ptrdiff_t(n));
    }
    e.commit();
    return newArrayValue(vm, std::move(removed));
}

Value slice(Vm& vm, const Value& self, Args& args)
{
    // Arguments first, as in splice.
    const double startArg = args.empty() ? 0.0 : vm.toNumber(args[0]);
    const double endArg = arg(args, 1).isUndefined() ? HUGE_VAL : vm.toNumber(args[1]);
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    const auto& items = e.items();
    const double length = double(items.size());
    const double start = relativeIndex(startArg, length);
    const double end = relativeIndex(endArg, length);
    if (end <= start)
        return newArrayValue(vm, {});
    return newArrayValue(vm, std::vector<Value>(items.begin() + std::ptrdiff_t(start), items.begin() + std::ptrdiff_t(end)));
}

// concat: a new array of this array's elements followed by the arguments,
// where an array argument contributes its elements (one level only).
Value concat(Vm& vm, const Value& self, Args& args)
{
    // A `this` that is no array is itself the first element.
    std::vector<Value> out;
    if (ArrayObject* own = asArray(self))
        out = own->readAll(vm);
    else if (!self.isNullish())
        out.push_back(self);
    for (const Value& a : args) {
        if (ArrayObject* other = asArray(a)) {
            const std::vector<Value> items = other->readAll(vm);
            std::size_t n = std::min(items.size(), room(vm, out.size()));
            out.insert(out.end(), items.begin(), items.begin() + std::ptrdiff_t(n));
        } else if (room(vm, out.size()) > 0) {
            out.push_back(a);
        }
    }
    return newArrayValue(vm, std::move(out));
}

Value reverse(Vm& vm, const Value& self, Args&)
{
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    std::reverse(e.items().begin(), e.items().end());
    e.commit();
    return self;
}

// ---- sorting ------------------------------------------------------------

// Stable merge sort of the positions 0..n-1 by `less-or-equal` decisions
// of cmp. It only ever indexes inside its own buffers, so a comparator
// that answers inconsistently gives some order but never a crash.
std::vector<std::size_t> mergeSortOrder(std::size_t n, const std::function<double(std::size_t, std::size_t)>& cmp)
{
    std::vector<std::size_t> order(n), buffer(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                // Ties keep the left run first, which makes the sort stable.
                if (cmp(order[i], order[j]) <= 0)
                    buffer[k++] = order[i++];
                else
                    buffer[k++] = order[j++];
            }
            while (i < mid)
                buffer[k++] = order[i++];
            while (j < hi)
                buffer[k++] = order[j++];
        }
        order.swap(buffer);
    }
    return order;
}

// What sort and sortOn compare when no comparator is given: the string of
// the value (folded for CASEINSENSITIVE) or its number (for NUMERIC).
struct SortKey {
    QString text;
    double number = 0;
};

SortKey makeKey(Vm& vm, const Value& v, int flags)
{
    SortKey k;
    if (flags & Numeric) {
        k.number = vm.toNumber(v);
    } else {
        k.text = vm.toString(v);
        if (flags & CaseInsensitive)
            k.text = k.text.toLower();
    }
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b, int flags)
{
    int r;
    if (flags & Numeric) {
        // NaN sorts after every number so that non-numbers gather at the end.
        bool an = std::isnan(a.number), bn = std::isnan(b.number);
        if (an || bn)
            r = an == bn ? 0 : (an ? 1 : -1);
        else
            r = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    } else {
        r = QString::compare(a.text, b.text, Qt::CaseSensitive);
        r = r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    return (flags & Descending) ? -r : r;
}

// Orders `items` (a copy, so script code run by comparisons cannot pull it
// from under the sort) and applies the result: the number 0 when
// UNIQUESORT finds two equal elements, the index array for
// RETURNINDEXEDARRAY, else the elements written back in order.
Value finishSort(Vm& vm, const Value& self, Elements& e, const std::vector<Value>& items, int flags,
                 const std::function<double(std::size_t, std::size_t)>& cmp)
{
    std::vector<std::size_t> order = mergeSortOrder(items.size(), cmp);
    if (flags & UniqueSort) {
        for (std::size_t i = 1; i < order.size(); ++i) {
            if (cmp(order[i - 1], order[i]) == 0)
                return Value::fromNumber(0);
        }
    }
    if (flags & ReturnIndexedArray) {
        std::vector<Value> indices;
        indices.reserve(order.size());
        for (std::size_t i : order)
            indices.push_back(Value::fromNumber(double(i)));
        return newArrayValue(vm, std::move(indices));
    }
    std::vector<Value> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order)
        sorted.push_back(items[i]);
    e.items() = std::move(sorted);
    e.commit();
    return self;
}

bool isFunction(const Value& v)
{
    return v.isObject() && v.object->kind() == ObjectKind::Function;
}

// sort(), sort(flags), sort(compare), sort(compare, flags).
Value sort(Vm& vm, const Value& self, Args& args)
{
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    const std::vector<Value> items = e.items();

    Value comparator;
    int flags = 0;
    if (isFunction(arg(args, 0))) {
        comparator = args[0];
        if (args.size() > 1)
            flags = toInt32(vm.toNumber(args[1]));
    } else if (!arg(args, 0).isNullish()) {
        flags = toInt32(vm.toNumber(args[0]));
    }

    if (comparator.isObject()) {
        auto cmp = [&](std::size_t a, std::size_t b) -> double {
            Args pair{items[a], items[b]};
            double r = vm.toNumber(vm.call(comparator, Value::undefined(), pair));
            if (std::isnan(r))
                r = 0;
            return (flags & Descending) ? -r : r;
        };
        return finishSort(vm, self, e, items, flags, cmp);
    }

    std::vector<SortKey> keys;
    keys.reserve(items.size());
    for (const Value& v : items)
        keys.push_back(makeKey(vm, v, flags));
    auto cmp = [&](std::size_t a, std::size_t b) -> double { return compareKeys(keys[a], keys[b], flags); };
    return finishSort(vm, self, e, items, flags, cmp);
}

// sortOn(name or [names], flags or [flags]): orders elements by the named
// field, later names breaking ties; each name may have its own flags.
Value sortOn(Vm& vm, const Value& self, Args& args)
{
    if (args.empty())
        return Value::undefined();
    Elements e(vm, self);
    if (!e.ok())
        return Value::undefined();
    const std::vector<Value> items = e.items();

    std::vector<QString> names;
    if (ArrayObject* list = asArray(args[0])) {
        const std::vector<Value> copy = list->readAll(vm);
        for (const Value& v : copy)
            names.push_back(vm.toString(v));
    } else {
        names.push_back(vm.toString(args[0]));
    }
    if (names.empty())
        return self;

    std::vector<int> fieldFlags(names.size(), 0);
    if (ArrayObject* list = asArray(arg(args, 1))) {
        const std::vector<Value> copy = list->readAll(vm);
        for (std::size_t i = 0; i < fieldFlags.size() && i < copy.size(); ++i)
            fieldFlags[i] = toInt32(vm.toNumber(copy[i]));
    } else if (!arg(args, 1).isNullish()) {
        std::fill(fieldFlags.begin(), fieldFlags.end(), toInt32(vm.toNumber(args[1])));
    }
    // UNIQUESORT and RETURNINDEXEDARRAY concern the whole sort; the first
    // field's flags decide them.
    const int flags = fieldFlags[0];

    const std::size_t fields = names.size();
    std::vector<SortKey> keys;
    keys.reserve(items.size() * fields);
    for (const Value& item : items) {
        for (std::size_t f = 0; f < fields; ++f) {
            Value field = item.isObject() ? vm.getMember(item, names[f]) : Value::undefined();
            keys.push_back(makeKey(vm, field, fieldFlags[f]));
        }
    }
    auto cmp = [&](std::size_t a, std::size_t b) -> double {
        for (std::size_t f = 0; f < fields; ++f) {
            int r = compareKeys(keys[a * fields + f], keys[b * fields + f], fieldFlags[f]);
            if (r)
                return r;
        }
        return 0;
    };
    return finishSort(vm, self, e, items, flags, cmp);
}

} // namespace

void installArrayClass(Vm& vm)
{
    Object* proto = vm.newObject();
    FunctionObject* cls = vm.newClass(QStringLiteral("Array"), proto, constructArray, constructArray);

    defineConstant(cls, QStringLiteral("CASEINSENSITIVE"), Value::fromNumber(CaseInsensitive));
    defineConstant(cls, QStringLiteral("DESCENDING"), Value::fromNumber(Descending));
    defineConstant(cls, QStringLiteral("UNIQUESORT"), Value::fromNumber(UniqueSort));
    defineConstant(cls, QStringLiteral("RETURNINDEXEDARRAY"), Value::fromNumber(ReturnIndexedArray));
    defineConstant(cls, QStringLiteral("NUMERIC"), Value::fromNumber(Numeric));

    proto->defineMethod(vm, QStringLiteral("push"), push);
    proto->defineMethod(vm, QStringLiteral("pop"), pop);
    proto->defineMethod(vm, QStringLiteral("shift"), shift);
    proto->defineMethod(vm, QStringLiteral("unshift"), unshift);
    proto->defineMethod(vm, QStringLiteral("splice"), splice);
    proto->defineMethod(vm, QStringLiteral("slice"), slice);
    proto->defineMethod(vm, QStringLiteral("concat"), concat);
    proto->defineMethod(vm, QStringLiteral("join"), join);
    proto->defineMethod(vm, QStringLiteral("reverse"), reverse);
    proto->defineMethod(vm, QStringLiteral("sort"), sort);
    proto->defineMethod(vm, QStringLiteral("sortOn"), sortOn);
    proto->defineMethod(vm, QStringLiteral("toString"), toStringMethod);

    vm.arrayPrototype = proto;
    defineGlobal(vm, QStringLiteral("Array"), Value::fromObject(cls));
}

} // namespace qev::swf::avm1
