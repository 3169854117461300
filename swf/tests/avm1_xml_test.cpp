// The XML and XMLNode classes, driven through the machine the way scripts
// drive them: parsing (entities, CDATA, comments, declarations, errors),
// tree edits and navigation, cloning, serialization and hostile input.

#include "avm1/ArrayObject.h"
#include "avm1/Vm.h"

#include <gtest/gtest.h>

using namespace qev::swf::avm1;

namespace {

Value str(const QString& s)
{
    return Value::fromString(s);
}

class Xml : public ::testing::Test {
protected:
    Vm vm{8, nullptr};

    Value global(const char* name) { return vm.getMember(Value::fromObject(vm.global()), QString::fromUtf8(name)); }
    Value parse(const QString& text)
    {
        Args args{str(text)};
        return vm.construct(global("XML"), args);
    }
    Value emptyDoc()
    {
        Args none;
        return vm.construct(global("XML"), none);
    }
    Value get(const Value& o, const char* name) { return vm.getMember(o, QString::fromUtf8(name)); }
    Value get(const Value& o, const char* a, const char* b) { return get(get(o, a), b); }
    QString text(const Value& v) { return vm.toString(v); }
    QString xml(const Value& node) { return vm.toString(vm.callMethod(node, QStringLiteral("toString"))); }
    double status(const Value& doc) { return vm.toNumber(get(doc, "status")); }
    Value call(const Value& o, const char* name, Args args = {})
    {
        return vm.callMethod(o, QString::fromUtf8(name), std::move(args));
    }
    std::size_t childCount(const Value& node) { return vm.lengthOf(get(node, "childNodes").object); }
    Value child(const Value& node, int i) { return get(get(node, "childNodes"), QString::number(i).toUtf8().constData()); }
    static bool same(const Value& a, const Value& b) { return a.isObject() && b.isObject() && a.object == b.object; }
};

TEST_F(Xml, XmlParsesEntitiesCdataAndComments)
{
    Value doc = parse(QStringLiteral("<r a=\"1 &amp; 2\" b='&lt;x&gt;'>fish &amp; chips &#65;&#x42;&unknown;&nbsp;"
                                     "<!-- gone --><![CDATA[<raw> &amp;]]></r>"));
    EXPECT_EQ(status(doc), 0);
    Value r = get(doc, "firstChild");
    EXPECT_EQ(vm.toNumber(get(r, "nodeType")), 1);
    EXPECT_EQ(text(get(r, "nodeName")), QStringLiteral("r"));
    EXPECT_TRUE(get(r, "nodeValue").isNull());
    EXPECT_EQ(text(get(r, "attributes", "a")), QStringLiteral("1 & 2"));
    EXPECT_EQ(text(get(r, "attributes", "b")), QStringLiteral("<x>"));
    // The comment leaves no node; the CDATA section is a text node of its own.
    ASSERT_EQ(childCount(r), 2u);
    Value t = child(r, 0);
    EXPECT_EQ(vm.toNumber(get(t, "nodeType")), 3);
    EXPECT_TRUE(get(t, "nodeName").isNull());
    EXPECT_EQ(text(get(t, "nodeValue")), QStringLiteral("fish & chips AB&unknown;\u00A0"));
    EXPECT_EQ(text(get(child(r, 1), "nodeValue")), QStringLiteral("<raw> &amp;"));
    // Written back, the text is escaped again and the attributes keep their order.
    EXPECT_EQ(xml(r), QStringLiteral("<r a=\"1 &amp; 2\" b=\"&lt;x&gt;\">fish &amp; chips AB&amp;unknown;\u00A0"
                                     "&lt;raw&gt; &amp;amp;</r>"));

    // The document node itself: an element without a name or value.
    EXPECT_EQ(vm.toNumber(get(doc, "nodeType")), 1);
    EXPECT_TRUE(get(doc, "nodeName").isNull());
    EXPECT_TRUE(get(doc, "parentNode").isNull());
    EXPECT_TRUE(same(get(r, "parentNode"), doc));

    // Declarations are kept as written and come first in the document's text.
    Value d = parse(QStringLiteral("<?xml version='1.0' ?><!DOCTYPE r [<!ELEMENT r ANY>]><r/>"));
    EXPECT_EQ(status(d), 0);
    EXPECT_EQ(text(get(d, "xmlDecl")), QStringLiteral("<?xml version='1.0' ?>"));
    EXPECT_EQ(text(get(d, "docTypeDecl")), QStringLiteral("<!DOCTYPE r [<!ELEMENT r ANY>]>"));
    EXPECT_EQ(xml(d), QStringLiteral("<?xml version='1.0' ?><!DOCTYPE r [<!ELEMENT r ANY>]><r />"));
    EXPECT_TRUE(get(parse(QStringLiteral("<r/>")), "docTypeDecl").isUndefined());
}

TEST_F(Xml, XmlReportsStatusOfMalformedInput)
{
    const std::pair<const char*, int> cases[] = {
        {"<a><b/></a>", 0},
        {"", 0},
        {"just text", 0},
        {"<a><![CDATA[open</a>", -2},
        {"<?xml version='1.0'", -3},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> ", -4},
        {"<a><!-- never closed </a>", -5},
        {"<a b></a>", -6},
        {"<a b=c></a>", -6},
        {"<a", -6},
        {"<a b=\"open></a>", -8},
        {"<a><b></b>", -9},
        {"<a></b>", -10},
        {"</a>", -10},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(status(parse(QString::fromUtf8(input))), expected) << input;

    // What was read before the error stays in the tree.
    Value partial = parse(QStringLiteral("<a><b/></a><c"));
    EXPECT_EQ(status(partial), -6);
    EXPECT_EQ(text(get(partial, "firstChild", "nodeName")), QStringLiteral("a"));

    // parseXML replaces the tree and sets status again.
    Value doc = parse(QStringLiteral("<a></b>"));
    call(doc, "parseXML", {str(QStringLiteral("<x/><y/>"))});
    EXPECT_EQ(status(doc), 0);
    EXPECT_EQ(xml(doc), QStringLiteral("<x /><y />"));
}

TEST_F(Xml, XmlTreeNavigationFollowsEdits)
{
    Value doc = emptyDoc();
    Value a = call(doc, "createElement", {str(QStringLiteral("a"))});
    Value b = call(doc, "createElement", {str(QStringLiteral("b"))});
    Value c = call(doc, "createElement", {str(QStringLiteral("c"))});
    Value t = call(doc, "createTextNode", {str(QStringLiteral("x<y"))});
    EXPECT_FALSE(vm.toBoolean(call(doc, "hasChildNodes")));
    call(doc, "appendChild", {a});
    call(doc, "appendChild", {c});
    call(doc, "insertBefore", {b, c});
    EXPECT_TRUE(vm.toBoolean(call(doc, "hasChildNodes")));
    ASSERT_EQ(childCount(doc), 3u);
    EXPECT_TRUE(same(child(doc, 0), a));
    EXPECT_TRUE(same(child(doc, 1), b));
    EXPECT_TRUE(same(child(doc, 2), c));
    EXPECT_TRUE(same(get(doc, "firstChild"), a));
    EXPECT_TRUE(same(get(doc, "lastChild"), c));
    EXPECT_TRUE(get(a, "previousSibling").isNull());
    EXPECT_TRUE(same(get(a, "nextSibling"), b));
    EXPECT_TRUE(same(get(b, "nextSibling"), c));
    EXPECT_TRUE(same(get(c, "previousSibling"), b));
    EXPECT_TRUE(get(c, "nextSibling").isNull());
    EXPECT_TRUE(same(get(b, "parentNode"), doc));

    // A reference node that is not a child, or a node that sits in a tree
    // already: nothing moves.
    call(doc, "insertBefore", {c, t});
    call(doc, "insertBefore", {c, a});
    EXPECT_EQ(xml(doc), QStringLiteral("<a /><b /><c />"));
    // Taken out first, it goes where asked.
    call(c, "removeNode");
    call(doc, "insertBefore", {c, a});
    EXPECT_EQ(xml(doc), QStringLiteral("<c /><a /><b />"));
    EXPECT_TRUE(get(c, "previousSibling").isNull());
    EXPECT_TRUE(same(get(a, "previousSibling"), c));
    call(c, "removeNode");
    call(doc, "appendChild", {c});

    // Appending a node that sits elsewhere moves it.
    call(b, "appendChild", {t});
    call(b, "appendChild", {a});
    EXPECT_EQ(xml(doc), QStringLiteral("<b>x&lt;y<a /></b><c />"));
    EXPECT_TRUE(same(get(a, "parentNode"), b));
    EXPECT_TRUE(same(get(a, "previousSibling"), t));

    call(t, "removeNode");
    EXPECT_TRUE(get(t, "parentNode").isNull());
    EXPECT_TRUE(get(t, "nextSibling").isNull());
    EXPECT_TRUE(same(get(b, "firstChild"), a));
    EXPECT_EQ(childCount(b), 1u);

    // A node never goes inside itself or below itself.
    call(a, "appendChild", {b});
    call(a, "appendChild", {a});
    EXPECT_EQ(xml(doc), QStringLiteral("<b><a /></b><c />"));

    // The tree links cannot be written; names and values can.
    vm.setMember(b, QStringLiteral("firstChild"), c);
    EXPECT_TRUE(same(get(b, "firstChild"), a));
    vm.setMember(a, QStringLiteral("nodeName"), str(QStringLiteral("z")));
    vm.setMember(get(a, "attributes").object, QStringLiteral("k"), str(QStringLiteral("\"v\"")));
    EXPECT_EQ(xml(b), QStringLiteral("<b><z k=\"&quot;v&quot;\" /></b>"));

    // new XMLNode(type, value).
    Args args{Value::fromNumber(3), str(QStringLiteral("txt"))};
    Value tn = vm.construct(global("XMLNode"), args);
    EXPECT_EQ(vm.toNumber(get(tn, "nodeType")), 3);
    EXPECT_EQ(xml(tn), QStringLiteral("txt"));
    Args elementArgs{Value::fromNumber(1), str(QStringLiteral("e"))};
    Value en = vm.construct(global("XMLNode"), elementArgs);
    EXPECT_EQ(xml(en), QStringLiteral("<e />"));
    EXPECT_TRUE(vm.instanceOf(doc, global("XMLNode")));
    EXPECT_TRUE(vm.instanceOf(en, global("XMLNode")));
}

TEST_F(Xml, XmlCloneNodeDeepAndShallow)
{
    Value doc = parse(QStringLiteral("<a k=\"v\"><b>t</b><c/></a>"));
    Value a = get(doc, "firstChild");
    Value shallow = call(a, "cloneNode", {Value::fromBool(false)});
    Value deep = call(a, "cloneNode", {Value::fromBool(true)});
    EXPECT_EQ(xml(shallow), QStringLiteral("<a k=\"v\" />"));
    EXPECT_EQ(xml(deep), QStringLiteral("<a k=\"v\"><b>t</b><c /></a>"));
    EXPECT_TRUE(get(deep, "parentNode").isNull());
    EXPECT_FALSE(same(get(deep, "firstChild"), get(a, "firstChild")));
    EXPECT_TRUE(same(get(deep, "firstChild", "parentNode"), deep));
    // The copies share nothing with the original.
    vm.setMember(get(deep, "attributes").object, QStringLiteral("k"), str(QStringLiteral("w")));
    call(get(deep, "firstChild"), "removeNode");
    EXPECT_EQ(xml(a), QStringLiteral("<a k=\"v\"><b>t</b><c /></a>"));
    EXPECT_EQ(xml(deep), QStringLiteral("<a k=\"w\"><c /></a>"));
}

TEST_F(Xml, XmlSerializationRoundTripsAndIgnoresWhite)
{
    const QString source = QStringLiteral("<list n=\"2\"><item id=\"1\">one &amp; &quot;two&quot;</item>"
                                          "<item id=\"2\" /><empty /></list>");
    Value doc = parse(source);
    EXPECT_EQ(status(doc), 0);
    const QString once = xml(doc);
    EXPECT_EQ(once, QStringLiteral("<list n=\"2\"><item id=\"1\">one &amp; &quot;two&quot;</item>"
                                   "<item id=\"2\" /><empty /></list>"));
    EXPECT_EQ(xml(parse(once)), once);

    // White space between tags becomes text nodes unless ignoreWhite is set,
    // which drops the nodes that are only white space and keeps the rest whole.
    const QString spaced = QStringLiteral("<a>\n  <b> keep me </b>\n\t<c/>\n</a>");
    Value kept = parse(spaced);
    EXPECT_EQ(childCount(get(kept, "firstChild")), 5u);
    Value doc2 = emptyDoc();
    vm.setMember(doc2, QStringLiteral("ignoreWhite"), Value::fromBool(true));
    call(doc2, "parseXML", {str(spaced)});
    Value a = get(doc2, "firstChild");
    ASSERT_EQ(childCount(a), 2u);
    EXPECT_EQ(text(get(a, "firstChild", "firstChild")), QStringLiteral(" keep me "));
    EXPECT_EQ(xml(doc2), QStringLiteral("<a><b> keep me </b><c /></a>"));

    // Namespaces resolve through the xmlns attributes of the ancestors.
    Value ns = parse(QStringLiteral("<r xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:x/></r>"));
    Value x = get(ns, "firstChild", "firstChild");
    EXPECT_EQ(text(get(x, "prefix")), QStringLiteral("p"));
    EXPECT_EQ(text(get(x, "localName")), QStringLiteral("x"));
    EXPECT_EQ(text(get(x, "namespaceURI")), QStringLiteral("urn:p"));
    EXPECT_EQ(text(call(x, "getNamespaceForPrefix", {str(QString())})), QStringLiteral("urn:d"));
    EXPECT_EQ(text(call(x, "getPrefixForNamespace", {str(QStringLiteral("urn:p"))})), QStringLiteral("p"));
    EXPECT_TRUE(call(x, "getPrefixForNamespace", {str(QStringLiteral("urn:none"))}).isNull());
}

TEST_F(Xml, XmlSurvivesHostileInput)
{
    // Nesting past the bound stops the parse instead of the native stack.
    QString deep;
    for (int i = 0; i < 5000; ++i)
        deep += QStringLiteral("<a>");
    Value doc = parse(deep);
    EXPECT_NE(status(doc), 0);

    // A long chain built by a script serializes and clones without recursion.
    Value root = emptyDoc();
    Value at = root;
    for (int i = 0; i < 10000; ++i) {
        Value n = call(root, "createElement", {str(QStringLiteral("n"))});
        call(at, "appendChild", {n});
        at = n;
    }
    // Each level writes "<n>" and "</n>", the innermost "<n />".
    EXPECT_EQ(xml(root).size(), 9999 * 7 + 5);
    Value copy = call(get(root, "firstChild"), "cloneNode", {Value::fromBool(true)});
    EXPECT_EQ(xml(copy).size(), 9999 * 7 + 5);

    // Junk of every kind parses to some status and never crashes.
    const char* const junk[] = {"<", "<>", "</>", "<a/ >", "<a b='1' b='2'/>", "&#xFFFFFFFF;&#0;&#55296;&",
                                "<![CDATA[", "<!", "<?", "<a =\"1\"/>", "<<<<>>>>", "<a>]]></a>"};
    for (const char* j : junk) {
        Value d = parse(QString::fromUtf8(j));
        (void)xml(d);
    }
    // A document of more nodes than the machine allows stops with -7.
    vm.limits().maxArrayLength = 100;
    QString many;
    for (int i = 0; i < 200; ++i)
        many += QStringLiteral("<a/>");
    EXPECT_EQ(status(parse(many)), -7);
    vm.limits().maxArrayLength = 1u << 24;

    Value dup = parse(QStringLiteral("<a b='1' b='2'/>"));
    EXPECT_EQ(xml(dup), QStringLiteral("<a b=\"2\" />"));
    EXPECT_EQ(xml(get(parse(QStringLiteral("&#xFFFFFFFF;&#0;")), "firstChild")),
              QStringLiteral("&amp;#xFFFFFFFF;&amp;#0;"));

    // Methods called on things that are not nodes do nothing.
    Value plain = Value::fromObject(vm.newObject());
    Value proto = get(global("XMLNode"), "prototype");
    Args args{plain};
    vm.call(get(proto, "appendChild"), plain, args);
    vm.call(get(proto, "removeNode"), plain, args);
    EXPECT_TRUE(vm.call(get(proto, "cloneNode"), plain, args).isUndefined());
    vm.collectGarbage();
}

} // namespace
