// flash.external.ExternalInterface: calls between a movie and the page
// that holds it. This player has no page, so nothing is available: call
// answers null and addCallback false. The helpers that turn values into
// the XML the calls travel as are there, as in the player, since movies
// use them on their own (_escapeXML, _toXML and its kin).

#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <algorithm>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// Nesting deeper than this (or a value that holds itself) is written as null.
constexpr int kMaxDepth = 64;

QString escapeXml(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        case u'\'': out += QStringLiteral("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeXml(QString s)
{
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return s;
}

class XmlWriter {
public:
    explicit XmlWriter(Vm& vm) : vm_(vm) {}

    QString value(const Value& v, int depth = 0)
    {
        switch (v.type) {
        case Value::Type::Undefined: return QStringLiteral("<undefined/>");
        case Value::Type::Null: return QStringLiteral("<null/>");
        case Value::Type::Boolean: return v.boolean ? QStringLiteral("<true/>") : QStringLiteral("<false/>");
        case Value::Type::Number: return QStringLiteral("<number>") + vm_.toString(v) + QStringLiteral("</number>");
        case Value::Type::String:
            // An empty string travels as the word null.
            return QStringLiteral("<string>") + (v.string.isEmpty() ? QStringLiteral("null") : escapeXml(v.string)) +
                   QStringLiteral("</string>");
        default: break;
        }
        if (depth >= kMaxDepth || v.object->kind() == ObjectKind::Function)
            return QStringLiteral("<null/>");
        if (v.object->kind() == ObjectKind::Array)
            return array(v, depth + 1);
        return object(v, depth + 1);
    }

    // Elements 0 to length - 1, each as a property named by its index.
    QString array(const Value& v, int depth = 0)
    {
        QString out = QStringLiteral("<array>");
        const std::uint32_t n = length(v);
        for (std::uint32_t i = 0; i < n; ++i)
            out += QStringLiteral("<property id=\"%1\">").arg(i) + value(element(v, i), depth) +
                   QStringLiteral("</property>");
        return out + QStringLiteral("</array>");
    }

    // The arguments of a call: every element but the first (the name of
    // the function called).
    QString arguments(const Value& v, int depth = 0)
    {
        QString out = QStringLiteral("<arguments>");
        const std::uint32_t n = length(v);
        for (std::uint32_t i = 1; i < n; ++i)
            out += value(element(v, i), depth);
        return out + QStringLiteral("</arguments>");
    }

    // The enumerable properties, in for-in order; the names go as they are.
    QString object(const Value& v, int depth = 0)
    {
        QString out = QStringLiteral("<object>");
        if (v.isObject())
            for (const QString& name : vm_.enumerate(v.object))
                out += QStringLiteral("<property id=\"") + name + QStringLiteral("\">") +
                       value(vm_.getMember(v, name), depth) + QStringLiteral("</property>");
        return out + QStringLiteral("</object>");
    }

private:
    std::uint32_t length(const Value& v)
    {
        if (v.isNullish())
            return 0;
        const double n = vm_.toNumber(vm_.getMember(v, QStringLiteral("length")));
        if (!(n > 0))
            return 0;
        return std::uint32_t(std::min(n, double(vm_.limits().maxArrayLength)));
    }
    Value element(const Value& v, std::uint32_t i) { return vm_.getMember(v, QString::number(i)); }

    Vm& vm_;
};

} // namespace

void installExternalInterface(Vm& vm)
{
    const Value flash = vm.getMember(vm.global(), QStringLiteral("flash"));
    if (!flash.isObject())
        return;
    Value external = vm.getMember(flash, QStringLiteral("external"));
    if (!external.isObject()) {
        external = Value::fromObject(vm.newObject());
        flash.object->define(QStringLiteral("external"), external, DontEnum);
    }
    Object* proto = vm.newObject();
    FunctionObject* cls =
        vm.newClass(QString(), proto, [](Vm&, const Value&, Args&) -> Value { return Value(); });
    external.object->define(QStringLiteral("ExternalInterface"), Value::fromObject(cls), DontEnum);

    cls->define(QStringLiteral("available"), Value::fromBool(false), DontEnum | DontDelete | ReadOnly);
    cls->defineMethod(vm, QStringLiteral("addCallback"), [](Vm&, const Value&, Args&) -> Value {
        return Value::fromBool(false);
    });
    cls->defineMethod(vm, QStringLiteral("call"), [](Vm&, const Value&, Args&) -> Value { return Value::null(); });

    cls->defineMethod(vm, QStringLiteral("_escapeXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        const QString s = args.empty() ? QString() : vm.toString(args[0]);
        return s.isEmpty() ? Value::null() : Value::fromString(escapeXml(s));
    });
    cls->defineMethod(vm, QStringLiteral("_unescapeXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        const QString s = args.empty() ? QString() : vm.toString(args[0]);
        return s.isEmpty() ? Value::null() : Value::fromString(unescapeXml(s));
    });
    cls->defineMethod(vm, QStringLiteral("_toXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        return Value::fromString(XmlWriter(vm).value(arg(args, 0)));
    });
    cls->defineMethod(vm, QStringLiteral("_arrayToXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        return Value::fromString(XmlWriter(vm).array(arg(args, 0)));
    });
    cls->defineMethod(vm, QStringLiteral("_argumentsToXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        return Value::fromString(XmlWriter(vm).arguments(arg(args, 0)));
    });
    cls->defineMethod(vm, QStringLiteral("_objectToXML"), [](Vm& vm, const Value&, Args& args) -> Value {
        return Value::fromString(XmlWriter(vm).object(arg(args, 0)));
    });
}

} // namespace qev::swf::avm1
