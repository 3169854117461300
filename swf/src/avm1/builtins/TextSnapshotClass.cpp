// TextSnapshot: the characters of the static text a clip shows, taken when
// MovieClip.getTextSnapshot() is called, with a selection per character
// that scripts read and set. Its methods exist from SWF 6 on; older movies
// see the names (they enumerate) but read them as undefined.

#include "avm1/ArrayObject.h"
#include "avm1/ClipObject.h"
#include "avm1/Host.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

class TextSnapshotObject : public Object {
public:
    TextSnapshotObject(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Other) {}

    std::vector<StaticChar> chars;
    std::vector<bool> selected;
    std::uint32_t selectColor = 0xFFFF00;

    int count() const { return int(chars.size()); }
    // [from, to) of the characters, from and to clamped into the text.
    std::pair<int, int> range(double from, double to) const
    {
        auto clamp = [&](double n) { return std::isnan(n) ? 0 : int(std::clamp(std::trunc(n), 0.0, double(count()))); };
        const int a = clamp(from);
        return {a, std::max(a, clamp(to))};
    }
    // The characters of [from, to), or the selected ones among them; with
    // lineEndings, a line break between characters of different lines.
    QString text(int from, int to, bool lineEndings, bool onlySelected) const
    {
        QString out;
        int line = 0;
        int lastLine = -1;
        for (int i = 0; i < to; ++i) {
            const StaticChar& c = chars[std::size_t(i)];
            if (c.startsLine)
                ++line;
            if (i < from || (onlySelected && !selected[std::size_t(i)]))
                continue;
            if (lineEndings && lastLine >= 0 && line != lastLine)
                out += u'\n';
            lastLine = line;
            out += c.ch;
        }
        return out;
    }
};

TextSnapshotObject* snapshotOf(const Value& v)
{
    return v.isObject() ? dynamic_cast<TextSnapshotObject*>(v.object) : nullptr;
}

TextSnapshotObject* makeSnapshot(Vm& vm, Object* proto, ClipObject* clip)
{
    auto* s = vm.heap().make<TextSnapshotObject>(proto);
    if (clip && vm.host() && vm.host()->isLive(clip))
        s->chars = vm.host()->staticText(clip);
    s->selected.assign(s->chars.size(), false);
    return s;
}

// Whether a point (clip pixels) lies within a character's box.
bool inside(const StaticChar& c, QPointF p)
{
    QPolygonF box;
    for (const QPointF& corner : c.corners)
        box << corner;
    return box.containsPoint(p, Qt::OddEvenFill);
}

double distanceTo(const StaticChar& c, QPointF p)
{
    if (inside(c, p))
        return 0;
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 4; ++i) {
        const QPointF a = c.corners[i], b = c.corners[(i + 1) % 4];
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0;
        const QPointF d = p - (a + t * ab);
        best = std::min(best, std::hypot(d.x(), d.y()));
    }
    return best;
}

using Method = Value (*)(Vm&, TextSnapshotObject&, Args&);

void installMethods(Vm& vm, Object* proto)
{
    // The player lists them newest first: getTextRunInfo first, getCount last.
    const std::pair<const char*, Method> methods[] = {
        {"getCount", [](Vm&, TextSnapshotObject& s, Args&) { return Value::fromNumber(s.count()); }},
        {"setSelected",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const auto [from, to] = s.range(argNumber(vm, args, 0), argNumber(vm, args, 1));
             const bool on = args.size() < 3 || vm.toBoolean(args[2]);
             std::fill(s.selected.begin() + from, s.selected.begin() + to, on);
             return Value();
         }},
        {"getSelected",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const auto [from, to] = s.range(argNumber(vm, args, 0), argNumber(vm, args, 1));
             return Value::fromBool(std::any_of(s.selected.begin() + from, s.selected.begin() + to, [](bool b) { return b; }));
         }},
        {"getText",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const auto [from, to] = s.range(argNumber(vm, args, 0), argNumber(vm, args, 1));
             return Value::fromString(s.text(from, to, args.size() > 2 && vm.toBoolean(args[2]), false));
         }},
        {"getSelectedText",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             return Value::fromString(s.text(0, s.count(), !args.empty() && vm.toBoolean(args[0]), true));
         }},
        {"hitTestTextNearPos",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const QPointF p(argNumber(vm, args, 0), argNumber(vm, args, 1));
             const double close = args.size() > 2 ? argNumber(vm, args, 2) : 0;
             int best = -1;
             double bestDistance = std::isnan(close) ? 0 : close;
             for (int i = 0; i < s.count(); ++i) {
                 const double d = distanceTo(s.chars[std::size_t(i)], p);
                 if (d <= bestDistance && (best < 0 || d < bestDistance)) {
                     best = i;
                     bestDistance = d;
                 }
             }
             return Value::fromNumber(best);
         }},
        {"findText",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const auto [from, to] = s.range(argNumber(vm, args, 0), s.count());
             (void)to;
             const QString wanted = args.size() > 1 ? vm.toString(args[1]) : QString();
             const bool caseSensitive = args.size() > 2 && vm.toBoolean(args[2]);
             if (wanted.isEmpty())
                 return Value::fromNumber(-1);
             const QString all = s.text(0, s.count(), false, false);
             return Value::fromNumber(all.indexOf(wanted, from, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive));
         }},
        {"setSelectColor",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             s.selectColor = toUint32(argNumber(vm, args, 0)) & 0xFFFFFF;
             return Value();
         }},
        {"getTextRunInfo",
         [](Vm& vm, TextSnapshotObject& s, Args& args) {
             const auto [from, to] = s.range(argNumber(vm, args, 0), argNumber(vm, args, 1) + 1);
             std::vector<Value> runs;
             for (int i = from; i < to; ++i) {
                 const StaticChar& c = s.chars[std::size_t(i)];
                 Object* o = vm.newObject();
                 auto put = [&](const char* name, const Value& v) { vm.setMember(o, QString::fromLatin1(name), v); };
                 put("indexInRun", Value::fromNumber(i));
                 put("selected", Value::fromBool(s.selected[std::size_t(i)]));
                 put("font", Value::fromString(c.font));
                 put("color", Value::fromNumber(c.color));
                 put("height", Value::fromNumber(c.height));
                 put("matrix_a", Value::fromNumber(c.matrix.m11()));
                 put("matrix_b", Value::fromNumber(c.matrix.m12()));
                 put("matrix_c", Value::fromNumber(c.matrix.m21()));
                 put("matrix_d", Value::fromNumber(c.matrix.m22()));
                 put("matrix_tx", Value::fromNumber(c.matrix.dx()));
                 put("matrix_ty", Value::fromNumber(c.matrix.dy()));
                 const char* const cornerNames[4][2] = {{"corner0x", "corner0y"}, {"corner1x", "corner1y"},
                                                        {"corner2x", "corner2y"}, {"corner3x", "corner3y"}};
                 for (int k = 0; k < 4; ++k) {
                     put(cornerNames[k][0], Value::fromNumber(c.corners[k].x()));
                     put(cornerNames[k][1], Value::fromNumber(c.corners[k].y()));
                 }
                 runs.push_back(Value::fromObject(o));
             }
             return Value::fromObject(vm.newArray(std::move(runs)));
         }},
    };
    for (const auto& [name, method] : methods) {
        proto->defineMethod(
            vm, QString::fromLatin1(name),
            [method](Vm& vm, const Value& self, Args& args) -> Value {
                TextSnapshotObject* s = snapshotOf(self);
                return s ? method(vm, *s, args) : Value();
            },
            0);
        proto->findOwn(QString::fromLatin1(name))->hiddenBelowVersion = 6;
    }
}

} // namespace

void installTextSnapshotClass(Vm& vm)
{
    Object* proto = vm.pin(vm.newObject());
    installMethods(vm, proto);
    // new TextSnapshot(clip): the clip's static text; without one, empty.
    vm.newClass(
        QStringLiteral("TextSnapshot"), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); },
        [proto](Vm& vm, const Value&, Args& args) -> Value {
            ClipObject* clip = !args.empty() && args[0].isObject() && args[0].object->kind() == ObjectKind::Clip
                ? static_cast<ClipObject*>(args[0].object)
                : nullptr;
            return Value::fromObject(makeSnapshot(vm, proto, clip));
        });
    const Value movieClip = vm.getMember(vm.global(), QStringLiteral("MovieClip"));
    const Value clipProto = vm.getMember(movieClip, QStringLiteral("prototype"));
    if (!clipProto.isObject())
        return;
    clipProto.object->defineMethod(vm, QStringLiteral("getTextSnapshot"), [proto](Vm& vm, const Value& self, Args&) -> Value {
        if (!self.isObject() || self.object->kind() != ObjectKind::Clip)
            return Value();
        return Value::fromObject(makeSnapshot(vm, proto, static_cast<ClipObject*>(self.object)));
    });
    clipProto.object->findOwn(QStringLiteral("getTextSnapshot"))->hiddenBelowVersion = 6;
}

} // namespace qev::swf::avm1
