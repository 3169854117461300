// MovieClip's drawing methods: lineStyle, beginFill, beginGradientFill,
// moveTo, lineTo, curveTo, endFill and clear, in pixels of the clip's own
// coordinates, kept by the stage as the clip's drawing.

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"
#include "engine/ScriptDrawing.h"

#include <cmath>

namespace qev::swf::avm1 {

namespace {

using builtins::arg;

// The drawing of the clip a method was called on, ready for one command.
ScriptDrawing* drawingOf(Vm& vm, const Value& self)
{
    if (!self.isObject() || self.object->kind() != ObjectKind::Clip || !vm.host())
        return nullptr;
    return vm.host()->editDrawing(static_cast<ClipObject*>(self.object));
}

// A colour argument (0xRRGGBB) with an alpha in percent (100 when left out).
Rgba colorOf(Vm& vm, const Value& rgb, const Value& alpha)
{
    const std::uint32_t c = toUint32(vm.toNumber(rgb));
    const double a = alpha.isUndefined() ? 100 : vm.toNumber(alpha);
    const double a255 = std::isfinite(a) ? std::clamp(a, 0.0, 100.0) * 255 / 100 : 255;
    return Rgba{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), std::uint8_t(std::lround(a255))};
}

// A point argument in pixels, as twips; nothing for what is no number.
std::optional<QPointF> pointOf(Vm& vm, const Value& x, const Value& y)
{
    const double px = vm.toNumber(x), py = vm.toNumber(y);
    if (!std::isfinite(px) || !std::isfinite(py))
        return std::nullopt;
    return QPointF(px * 20, py * 20);
}

double member(Vm& vm, const Value& o, const char* name)
{
    return vm.toNumber(vm.getMember(o, QString::fromLatin1(name)));
}

// beginGradientFill's matrix: {a, b, c, d, tx, ty} in pixels, or the box
// form {matrixType: "box", x, y, w, h, r}. The gradient square spans
// -819.2..819.2 pixels before it.
QTransform gradientMatrix(Vm& vm, const Value& m)
{
    if (!m.isObject())
        return QTransform();
    const Value type = vm.getMember(m, QStringLiteral("matrixType"));
    if (type.isString() && type.string == u"box") {
        const double w = member(vm, m, "w"), h = member(vm, m, "h"), r = member(vm, m, "r");
        const double x = member(vm, m, "x"), y = member(vm, m, "y");
        QTransform t;
        t.translate((x + w / 2) * 20, (y + h / 2) * 20);
        t.rotateRadians(std::isfinite(r) ? r : 0);
        t.scale(w * 20 / 32768, h * 20 / 32768);
        return t;
    }
    const double a = member(vm, m, "a"), b = member(vm, m, "b"), c = member(vm, m, "c");
    const double d = member(vm, m, "d"), tx = member(vm, m, "tx"), ty = member(vm, m, "ty");
    // In twips the scale and turn stay; the move is twenty times as far.
    return QTransform(a, b, c, d, tx * 20, ty * 20);
}

} // namespace

void installClipDrawing(Vm& vm)
{
    Object* proto = vm.clipPrototype;
    proto->defineMethod(vm, QStringLiteral("lineStyle"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ScriptDrawing* d = drawingOf(vm, t)) {
            const double width = vm.toNumber(arg(args, 0));
            // No thickness: no lines from here on.
            if (args.empty() || arg(args, 0).isUndefined() || std::isnan(width))
                d->setLine(false, 0, {});
            else
                d->setLine(true, std::clamp(width, 0.0, 255.0) * 20, colorOf(vm, arg(args, 1), arg(args, 2)));
        }
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("beginFill"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ScriptDrawing* d = drawingOf(vm, t)) {
            if (args.empty() || arg(args, 0).isUndefined())
                d->beginFill(std::nullopt);
            else
                d->beginFill(ScriptDrawing::Paint{colorOf(vm, arg(args, 0), arg(args, 1)), std::nullopt});
        }
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("beginGradientFill"), [](Vm& vm, const Value& t, Args& args) -> Value {
        ScriptDrawing* d = drawingOf(vm, t);
        const Value colors = arg(args, 1), alphas = arg(args, 2), ratios = arg(args, 3);
        if (!d || !colors.isObject() || !alphas.isObject() || !ratios.isObject())
            return Value();
        ScriptDrawing::Gradient g;
        g.radial = vm.toString(arg(args, 0)) == u"radial";
        const std::uint32_t n = std::min({vm.lengthOf(colors.object), vm.lengthOf(alphas.object),
                                          vm.lengthOf(ratios.object), 15u});
        for (std::uint32_t i = 0; i < n; ++i) {
            const QString k = QString::number(i);
            const double ratio = vm.toNumber(vm.getMember(ratios, k));
            g.stops.emplace_back(std::isfinite(ratio) ? ratio / 255 : 0,
                                 colorOf(vm, vm.getMember(colors, k), vm.getMember(alphas, k)));
        }
        if (g.stops.empty())
            return Value();
        g.matrix = gradientMatrix(vm, arg(args, 4));
        d->beginFill(ScriptDrawing::Paint{g.stops.front().second, std::move(g)});
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("moveTo"), [](Vm& vm, const Value& t, Args& args) -> Value {
        const auto p = pointOf(vm, arg(args, 0), arg(args, 1));
        if (ScriptDrawing* d = p ? drawingOf(vm, t) : nullptr)
            d->moveTo(*p);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("lineTo"), [](Vm& vm, const Value& t, Args& args) -> Value {
        const auto p = pointOf(vm, arg(args, 0), arg(args, 1));
        if (ScriptDrawing* d = p ? drawingOf(vm, t) : nullptr)
            d->lineTo(*p);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("curveTo"), [](Vm& vm, const Value& t, Args& args) -> Value {
        const auto c = pointOf(vm, arg(args, 0), arg(args, 1));
        const auto p = pointOf(vm, arg(args, 2), arg(args, 3));
        if (ScriptDrawing* d = c && p ? drawingOf(vm, t) : nullptr)
            d->curveTo(*c, *p);
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("endFill"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ScriptDrawing* d = drawingOf(vm, t))
            d->endFill();
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("clear"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ScriptDrawing* d = drawingOf(vm, t))
            d->clear();
        return Value();
    });
}

} // namespace qev::swf::avm1
