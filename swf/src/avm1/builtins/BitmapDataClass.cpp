// flash.display.BitmapData of SWF 8: a rectangle of 32-bit pixels that
// scripts make, read, paint and compare. This holds the core of the
// class: the size limits of the constructor, width, height, transparent
// and rectangle, reading and writing single pixels, filling rectangles,
// threshold, clone and dispose. Pixels are kept as unpremultiplied ARGB;
// an opaque bitmap keeps every alpha at 255.

#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <QRect>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

class BitmapDataObject : public Object {
public:
    BitmapDataObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Other) {}

    int width = 0;
    int height = 0;
    bool transparent = true;
    bool disposed = false;
    std::vector<std::uint32_t> pixels; // ARGB, row after row

    bool contains(int x, int y) const { return !disposed && x >= 0 && y >= 0 && x < width && y < height; }
    // Pixels are kept with their colour multiplied by their alpha, as the
    // player keeps them: a colour written with little alpha reads back
    // with less precision, and with none reads back as 0.
    std::uint32_t get(int x, int y) const { return unpremultiply(pixels[index(x, y)]); }
    void set(int x, int y, std::uint32_t argb) { pixels[index(x, y)] = premultiply(stored(argb)); }
    std::uint32_t stored(std::uint32_t argb) const { return transparent ? argb : (argb | 0xFF000000u); }

    static std::uint32_t premultiply(std::uint32_t argb)
    {
        const std::uint32_t a = argb >> 24;
        if (a == 255)
            return argb;
        auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        return (a << 24) | (channel((argb >> 16) & 255) << 16) | (channel((argb >> 8) & 255) << 8) |
               channel(argb & 255);
    }
    static std::uint32_t unpremultiply(std::uint32_t argb)
    {
        const std::uint32_t a = argb >> 24;
        if (a == 255)
            return argb;
        if (a == 0)
            return 0;
        auto channel = [a](std::uint32_t c) { return std::min<std::uint32_t>((c * 255 + a / 2) / a, 255); };
        return (a << 24) | (channel((argb >> 16) & 255) << 16) | (channel((argb >> 8) & 255) << 8) |
               channel(argb & 255);
    }
    QRect bounds() const { return QRect(0, 0, width, height); }

private:
    std::size_t index(int x, int y) const { return std::size_t(y) * std::size_t(width) + std::size_t(x); }
};

BitmapDataObject* asBitmap(const Value& v)
{
    if (!v.isObject())
        return nullptr;
    auto* b = dynamic_cast<BitmapDataObject*>(v.object);
    return b && !b->disposed ? b : nullptr;
}

// Sizes a bitmap may have: up to 2880 pixels a side in movies before
// SWF 10; from SWF 10, up to 8191 a side and fewer than 2^24 pixels.
bool validSize(int version, double w, double h)
{
    if (!(w >= 1 && h >= 1))
        return false;
    if (version < 10)
        return w <= 2880 && h <= 2880;
    return w <= 8191 && h <= 8191 && w * h < 16777216.0;
}

std::uint32_t colorArg(Vm& vm, const Args& args, std::size_t i)
{
    return toUint32(argNumber(vm, args, i));
}

int intArg(Vm& vm, const Args& args, std::size_t i)
{
    return toInt32(argNumber(vm, args, i));
}

// A rectangle given as any object with x, y, width and height.
bool rectArg(Vm& vm, const Value& v, QRect& out)
{
    if (!v.isObject())
        return false;
    auto n = [&](const char* name) { return toInt32(vm.toNumber(vm.getMember(v, QString::fromLatin1(name)))); };
    out = QRect(n("x"), n("y"), n("width"), n("height"));
    return true;
}

Value newRectangle(Vm& vm, const QRect& r)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    const Value cls = vm.getMember(vm.getMember(flash, QStringLiteral("geom")), QStringLiteral("Rectangle"));
    Args args{Value::fromNumber(r.x()), Value::fromNumber(r.y()), Value::fromNumber(r.width()),
              Value::fromNumber(r.height())};
    return vm.construct(cls, args);
}

bool compare(const QString& op, std::uint32_t a, std::uint32_t b, bool& ok)
{
    ok = true;
    if (op == u"<")
        return a < b;
    if (op == u"<=")
        return a <= b;
    if (op == u">")
        return a > b;
    if (op == u">=")
        return a >= b;
    if (op == u"==")
        return a == b;
    if (op == u"!=")
        return a != b;
    ok = false;
    return false;
}

using Method = std::function<Value(Vm&, BitmapDataObject&, Args&)>;

BitmapDataObject* anyBitmap(const Value& v)
{
    return v.isObject() ? dynamic_cast<BitmapDataObject*>(v.object) : nullptr;
}

// A method that answers for live bitmaps, -1 for disposed ones and
// undefined on other objects.
void method(Vm& vm, Object* proto, const char* name, Method fn)
{
    proto->defineMethod(vm, QString::fromLatin1(name), [fn = std::move(fn)](Vm& vm, const Value& self, Args& args) {
        BitmapDataObject* b = anyBitmap(self);
        if (!b)
            return Value();
        return b->disposed ? Value::fromNumber(-1) : fn(vm, *b, args);
    });
}

void installMethods(Vm& vm, Object* proto)
{
    method(vm, proto, "getPixel", [](Vm& vm, BitmapDataObject& b, Args& args) {
        const int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
        return Value::fromNumber(b.contains(x, y) ? double(b.get(x, y) & 0xFFFFFF) : 0);
    });
    method(vm, proto, "getPixel32", [](Vm& vm, BitmapDataObject& b, Args& args) {
        const int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
        return Value::fromNumber(b.contains(x, y) ? double(std::int32_t(b.get(x, y))) : 0);
    });
    method(vm, proto, "setPixel", [](Vm& vm, BitmapDataObject& b, Args& args) {
        const int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
        if (b.contains(x, y))
            b.set(x, y, (b.get(x, y) & 0xFF000000u) | (colorArg(vm, args, 2) & 0xFFFFFF));
        return Value();
    });
    method(vm, proto, "setPixel32", [](Vm& vm, BitmapDataObject& b, Args& args) {
        const int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
        if (b.contains(x, y))
            b.set(x, y, colorArg(vm, args, 2));
        return Value();
    });
    method(vm, proto, "fillRect", [](Vm& vm, BitmapDataObject& b, Args& args) {
        QRect r;
        if (!rectArg(vm, arg(args, 0), r))
            return Value();
        const QRect area = r.intersected(b.bounds());
        const std::uint32_t color = colorArg(vm, args, 1);
        for (int y = area.top(); y <= area.bottom() && !area.isEmpty(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                b.set(x, y, color);
        return Value();
    });
    // Compares each source pixel, masked, with the masked threshold; where
    // the comparison holds the destination gets color, elsewhere the source
    // pixel when copySource is set. Answers how many pixels matched.
    method(vm, proto, "threshold", [](Vm& vm, BitmapDataObject& b, Args& args) {
        BitmapDataObject* source = asBitmap(arg(args, 0));
        QRect rect;
        const Value& point = arg(args, 2);
        bool known = false;
        compare(vm.toString(arg(args, 3)), 0, 0, known);
        if (!source || !rectArg(vm, arg(args, 1), rect) || !known)
            return Value::fromNumber(0);
        const QString op = vm.toString(arg(args, 3));
        const std::uint32_t threshold = colorArg(vm, args, 4);
        const std::uint32_t color = args.size() > 5 ? colorArg(vm, args, 5) : 0;
        const std::uint32_t mask = args.size() > 6 ? colorArg(vm, args, 6) : 0xFFFFFFFFu;
        const bool copySource = vm.toBoolean(arg(args, 7));
        // Without a point the result lands at the top left.
        const int dx = point.isObject() ? toInt32(vm.toNumber(vm.getMember(point, QStringLiteral("x")))) : 0;
        const int dy = point.isObject() ? toInt32(vm.toNumber(vm.getMember(point, QStringLiteral("y")))) : 0;
        // Read from a copy: source and destination may be the same bitmap.
        const std::vector<std::uint32_t> from = source->pixels;
        const std::size_t fromWidth = std::size_t(source->width);
        const QRect area = rect.intersected(source->bounds());
        int matched = 0;
        for (int y = area.top(); y <= area.bottom() && !area.isEmpty(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const int tx = x - rect.left() + dx, ty = y - rect.top() + dy;
                if (!b.contains(tx, ty))
                    continue;
                const std::uint32_t p =
                    BitmapDataObject::unpremultiply(from[std::size_t(y) * fromWidth + std::size_t(x)]);
                bool ok;
                if (compare(op, p & mask, threshold & mask, ok)) {
                    b.set(tx, ty, color);
                    ++matched;
                } else if (copySource) {
                    b.set(tx, ty, p);
                }
            }
        return Value::fromNumber(matched);
    });
    method(vm, proto, "clone", [](Vm& vm, BitmapDataObject& b, Args&) {
        auto* copy = vm.heap().make<BitmapDataObject>(b.proto());
        copy->width = b.width;
        copy->height = b.height;
        copy->transparent = b.transparent;
        copy->pixels = b.pixels;
        return Value::fromObject(copy);
    });
    method(vm, proto, "dispose", [](Vm&, BitmapDataObject& b, Args&) {
        b.disposed = true;
        b.pixels.clear();
        b.pixels.shrink_to_fit();
        return Value();
    });
}

// width, height and transparent read -1 once the bitmap is disposed.
void installProperties(Vm& vm, Object* proto)
{
    auto number = [](int BitmapDataObject::*member) {
        return [member](Vm&, const Value& self, Args&) -> Value {
            const auto* b = self.isObject() ? dynamic_cast<BitmapDataObject*>(self.object) : nullptr;
            if (!b)
                return Value();
            return Value::fromNumber(b->disposed ? -1 : b->*member);
        };
    };
    const NativeFunction ignore = [](Vm&, const Value&, Args&) { return Value(); };
    defineVirtual(vm, proto, QStringLiteral("width"), number(&BitmapDataObject::width), ignore);
    defineVirtual(vm, proto, QStringLiteral("height"), number(&BitmapDataObject::height), ignore);
    defineVirtual(
        vm, proto, QStringLiteral("transparent"),
        [](Vm&, const Value& self, Args&) -> Value {
            const auto* b = self.isObject() ? dynamic_cast<BitmapDataObject*>(self.object) : nullptr;
            if (!b)
                return Value();
            return b->disposed ? Value::fromNumber(-1) : Value::fromBool(b->transparent);
        },
        ignore);
    defineVirtual(
        vm, proto, QStringLiteral("rectangle"),
        [](Vm& vm, const Value& self, Args&) -> Value {
            const auto* b = self.isObject() ? dynamic_cast<BitmapDataObject*>(self.object) : nullptr;
            if (!b)
                return Value();
            return b->disposed ? Value::fromNumber(-1) : newRectangle(vm, b->bounds());
        },
        ignore);
}

} // namespace

void installBitmapDataClass(Vm& vm)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    if (!flash.isObject())
        return;
    Value display = vm.getMember(flash, QStringLiteral("display"));
    if (!display.isObject()) {
        display = Value::fromObject(vm.newObject());
        flash.object->define(QStringLiteral("display"), display, DontEnum);
    }
    Object* proto = vm.pin(vm.newObject());
    installProperties(vm, proto);
    installMethods(vm, proto);
    // new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF);
    // a size out of bounds makes nothing.
    FunctionObject* cls = vm.newClass(
        QString(), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); },
        [proto](Vm& vm, const Value&, Args& args) -> Value {
            const double w = integerOf(argNumber(vm, args, 0));
            const double h = integerOf(argNumber(vm, args, 1));
            if (!validSize(vm.version(), w, h))
                return Value::null();
            auto* b = vm.heap().make<BitmapDataObject>(proto);
            b->width = int(w);
            b->height = int(h);
            b->transparent = args.size() < 3 || vm.toBoolean(args[2]);
            const std::uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : colorArg(vm, args, 3);
            b->pixels.assign(std::size_t(b->width) * std::size_t(b->height),
                             BitmapDataObject::premultiply(b->stored(fill)));
            return Value::fromObject(b);
        });
    cls->constructionMayFail = true;
    display.object->define(QStringLiteral("BitmapData"), Value::fromObject(cls), DontEnum);
}

} // namespace qev::swf::avm1
