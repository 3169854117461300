// XMLNode and XML: a DOM-like tree of element and text nodes that scripts
// build by hand or parse from text, and serialize back with toString.
//
// Every node is an XmlNode object. Its child list is a native vector (the
// truth); the childNodes array scripts see is rebuilt from it whenever the
// tree changes, so reading it never costs more than a lookup. The node
// properties (nodeName, firstChild, parentNode...) are answered by
// getSpecial, which makes them read-only where the player's are and keeps
// them out of for-in, as the player's prototype getters are.
//
// Trees are bounded: the parser stops nesting at kMaxDepth, appendChild
// refuses to make a node its own ancestor (no cycles), and serialization
// and cloning walk with explicit stacks, so a deep tree built by a script
// cannot exhaust the native stack.

#include "avm1/ArrayObject.h"
#include "avm1/builtins/Support.h"

#include <algorithm>
#include <utility>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

constexpr int kMaxDepth = 1024;

// Parse status codes XML.status reports.
enum ParseStatus : int {
    ParseOk = 0,
    CdataNotTerminated = -2,
    XmlDeclNotTerminated = -3,
    DoctypeNotTerminated = -4,
    CommentNotTerminated = -5,
    MalformedElement = -6,
    OutOfMemory = -7,
    AttributeNotTerminated = -8,
    MissingEndTag = -9,
    MissingStartTag = -10,
};

enum NodeType : int {
    ElementNode = 1,
    TextNode = 3,
};

class XmlNode : public Object {
public:
    XmlNode(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Other) {}

    int nodeType = ElementNode;
    Value name = Value::null();  // elements: the tag name; text and documents: null
    Value value = Value::null(); // text: the text; elements: null
    Object* attributes = nullptr;
    ArrayObject* childArray = nullptr;
    XmlNode* parent = nullptr;
    std::vector<XmlNode*> children;
    // A document (made by the XML class) writes its declarations first.
    bool document = false;
    // Where this node last was in its parent's list; sibling lookups check
    // it first, so walking a long list by nextSibling stays linear.
    mutable std::size_t indexHint = 0;

    std::size_t indexInParent() const
    {
        if (!parent)
            return 0;
        const auto& list = parent->children;
        if (indexHint < list.size() && list[indexHint] == this)
            return indexHint;
        const auto it = std::find(list.begin(), list.end(), this);
        indexHint = std::size_t(it - list.begin());
        return indexHint;
    }

    // Makes childNodes show the child list again.
    void syncArray()
    {
        if (!childArray)
            return;
        childArray->elements.clear();
        childArray->elements.reserve(children.size());
        for (XmlNode* c : children)
            childArray->elements.push_back(Value::fromObject(c));
    }

    // Appends without the full sync: the parser adds many children in a row.
    void pushChild(XmlNode* child)
    {
        child->parent = this;
        child->indexHint = children.size();
        children.push_back(child);
        if (childArray)
            childArray->elements.push_back(Value::fromObject(child));
    }

    void detach()
    {
        if (!parent)
            return;
        XmlNode* p = parent;
        const std::size_t i = indexInParent();
        if (i < p->children.size())
            p->children.erase(p->children.begin() + std::ptrdiff_t(i));
        parent = nullptr;
        p->syncArray();
    }

    bool isAncestorOrSelf(const XmlNode* other) const
    {
        for (const XmlNode* n = this; n; n = n->parent)
            if (n == other)
                return true;
        return false;
    }

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& v) override;

    void trace(Marker& m) override
    {
        Object::trace(m);
        m.mark(attributes);
        m.mark(childArray);
        m.mark(parent);
        for (XmlNode* c : children)
            m.mark(c);
    }
};

XmlNode* asNode(const Value& v)
{
    return v.isObject() ? dynamic_cast<XmlNode*>(v.object) : nullptr;
}

Value nodeValue(XmlNode* n)
{
    return n ? Value::fromObject(n) : Value::null();
}

// Property names compare as the machine's other names do: folded below
// SWF 7.
bool sameName(const Heap& heap, const QString& a, QLatin1StringView b)
{
    return a.compare(b, heap.caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

QString prefixOf(const Value& name)
{
    if (!name.isString())
        return {};
    const qsizetype colon = name.string.indexOf(u':');
    return colon < 0 ? QString() : name.string.left(colon);
}

QString localNameOf(const Value& name)
{
    if (!name.isString())
        return {};
    const qsizetype colon = name.string.indexOf(u':');
    return colon < 0 ? name.string : name.string.mid(colon + 1);
}

// The namespace URI an xmlns attribute on this node or an ancestor binds
// the prefix to ("" for the default namespace); null when none does.
Value namespaceForPrefix(Vm& vm, XmlNode* node, const QString& prefix)
{
    const QString attr = prefix.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefix;
    for (XmlNode* n = node; n; n = n->parent) {
        if (!n->attributes)
            continue;
        if (const Property* p = n->attributes->findOwn(attr))
            return Value::fromString(vm.toString(p->value));
    }
    return Value::null();
}

// The prefix the nearest xmlns attribute gives a namespace URI: "" for a
// default namespace declaration, null when none names it.
Value prefixForNamespace(Vm& vm, XmlNode* node, const QString& uri)
{
    for (XmlNode* n = node; n; n = n->parent) {
        if (!n->attributes)
            continue;
        for (const Property& p : n->attributes->ownProperties()) {
            if (p.name == u"xmlns" && vm.toString(p.value) == uri)
                return Value::fromString(QString());
            if (p.name.startsWith(u"xmlns:") && vm.toString(p.value) == uri)
                return Value::fromString(p.name.mid(6));
        }
    }
    return Value::null();
}

bool XmlNode::getSpecial(Vm& vm, const QString& n, Value& out)
{
    const Heap& h = heap();
    if (sameName(h, n, QLatin1StringView("nodeType")))
        out = Value::fromNumber(nodeType);
    else if (sameName(h, n, QLatin1StringView("nodeName")))
        out = name;
    else if (sameName(h, n, QLatin1StringView("nodeValue")))
        out = value;
    else if (sameName(h, n, QLatin1StringView("attributes")))
        out = Value::fromObject(attributes);
    else if (sameName(h, n, QLatin1StringView("childNodes")))
        out = Value::fromObject(childArray);
    else if (sameName(h, n, QLatin1StringView("firstChild")))
        out = nodeValue(children.empty() ? nullptr : children.front());
    else if (sameName(h, n, QLatin1StringView("lastChild")))
        out = nodeValue(children.empty() ? nullptr : children.back());
    else if (sameName(h, n, QLatin1StringView("parentNode")))
        out = nodeValue(parent);
    else if (sameName(h, n, QLatin1StringView("previousSibling"))) {
        const std::size_t i = indexInParent();
        out = nodeValue(parent && i > 0 ? parent->children[i - 1] : nullptr);
    } else if (sameName(h, n, QLatin1StringView("nextSibling"))) {
        const std::size_t i = indexInParent();
        out = nodeValue(parent && i + 1 < parent->children.size() ? parent->children[i + 1] : nullptr);
    } else if (sameName(h, n, QLatin1StringView("prefix")))
        out = name.isString() ? Value::fromString(prefixOf(name)) : Value::null();
    else if (sameName(h, n, QLatin1StringView("localName")))
        out = name.isString() ? Value::fromString(localNameOf(name)) : Value::null();
    else if (sameName(h, n, QLatin1StringView("namespaceURI")))
        out = name.isString() ? namespaceForPrefix(vm, this, prefixOf(name)) : Value::null();
    else
        return false;
    return true;
}

bool XmlNode::setSpecial(Vm& vm, const QString& n, const Value& v)
{
    const Heap& h = heap();
    if (sameName(h, n, QLatin1StringView("nodeName")) || sameName(h, n, QLatin1StringView("nodeValue"))) {
        Value stored = v.isNullish() ? Value::null() : Value::fromString(vm.toString(v));
        (sameName(h, n, QLatin1StringView("nodeName")) ? name : value) = std::move(stored);
        return true;
    }
    if (sameName(h, n, QLatin1StringView("attributes"))) {
        if (v.isObject())
            attributes = v.object;
        return true;
    }
    // The tree links and the type only change through the methods.
    static const char* const readOnly[] = {"nodeType",   "childNodes", "firstChild",      "lastChild",
                                          "parentNode", "nextSibling", "previousSibling", "prefix",
                                          "localName",  "namespaceURI"};
    for (const char* r : readOnly)
        if (sameName(h, n, QLatin1StringView(r)))
            return true;
    return false;
}

// Makes a node with its attribute object and child array.
XmlNode* makeNode(Vm& vm, Object* proto, int type, Value name, Value value)
{
    auto* node = vm.heap().make<XmlNode>(proto);
    node->nodeType = type;
    node->name = std::move(name);
    node->value = std::move(value);
    node->attributes = vm.newObject();
    node->childArray = vm.newArray();
    return node;
}

// ---- serialization ---------------------------------------------------------

// Text as the player writes it inside and around tags.
void appendEscaped(QString& out, const QString& s)
{
    for (QChar c : s) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1StringView("&amp;");
            break;
        case u'<':
            out += QLatin1StringView("&lt;");
            break;
        case u'>':
            out += QLatin1StringView("&gt;");
            break;
        case u'"':
            out += QLatin1StringView("&quot;");
            break;
        case u'\'':
            out += QLatin1StringView("&apos;");
            break;
        default:
            out += c;
        }
    }
}

void appendStartTag(Vm& vm, QString& out, XmlNode* n, bool empty)
{
    out += u'<';
    out += n->name.string;
    if (n->attributes) {
        // The attributes in the order they were set; values may be any
        // script value and are written as strings.
        const std::vector<Property> props = n->attributes->ownProperties();
        for (const Property& p : props) {
            if (p.flags & DontEnum)
                continue;
            out += u' ';
            out += p.name;
            out += QLatin1StringView("=\"");
            appendEscaped(out, vm.toString(p.getter ? vm.getMember(n->attributes, p.name) : p.value));
            out += u'"';
        }
    }
    out += empty ? QLatin1StringView(" />") : QLatin1StringView(">");
}

// The node and its subtree as text. Elements without children close
// themselves ("<a />"); nameless elements (a document) write only their
// children; text nodes write their escaped text.
QString serialize(Vm& vm, XmlNode* root)
{
    QString out;
    const auto maxChars = qsizetype(vm.limits().maxStringLength);
    if (root->document) {
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            const Value v = vm.getMember(root, QLatin1StringView(decl));
            if (!v.isNullish())
                out += vm.toString(v);
        }
    }
    struct Frame {
        XmlNode* node;
        std::size_t next; // the next child to write
    };
    std::vector<Frame> stack;
    auto open = [&](XmlNode* n) {
        if (n->nodeType == TextNode) {
            if (n->value.isString())
                appendEscaped(out, n->value.string);
            else if (!n->value.isNull())
                appendEscaped(out, vm.toString(n->value));
            return;
        }
        const bool named = n->name.isString();
        if (named)
            appendStartTag(vm, out, n, n->children.empty());
        if (!n->children.empty() || !named)
            stack.push_back({n, 0});
    };
    open(root);
    while (!stack.empty()) {
        if (out.size() > maxChars) {
            out.truncate(maxChars);
            break;
        }
        Frame& f = stack.back();
        if (f.next < f.node->children.size()) {
            XmlNode* child = f.node->children[f.next++];
            open(child);
            continue;
        }
        XmlNode* done = f.node;
        stack.pop_back();
        if (done->name.isString()) {
            out += QLatin1StringView("</");
            out += done->name.string;
            out += u'>';
        }
    }
    if (out.size() > maxChars)
        out.truncate(maxChars);
    return out;
}

// ---- cloning -------------------------------------------------------------

XmlNode* cloneOne(Vm& vm, XmlNode* src)
{
    XmlNode* copy = makeNode(vm, src->proto(), src->nodeType, src->name, src->value);
    copy->document = src->document;
    if (src->attributes)
        for (const Property& p : src->attributes->ownProperties())
            if (!(p.flags & DontEnum))
                copy->attributes->define(p.name, p.value);
    return copy;
}

XmlNode* cloneTree(Vm& vm, XmlNode* src, bool deep)
{
    XmlNode* root = cloneOne(vm, src);
    if (!deep)
        return root;
    std::vector<std::pair<XmlNode*, XmlNode*>> pending{{src, root}}; // original, copy
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        for (XmlNode* c : from->children) {
            XmlNode* cc = cloneOne(vm, c);
            to->pushChild(cc);
            pending.emplace_back(c, cc);
        }
    }
    return root;
}

// ---- parsing ---------------------------------------------------------------

bool isXmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isWhitespaceOnly(QStringView s)
{
    return std::all_of(s.begin(), s.end(), isXmlSpace);
}

// Replaces the five named entities, &nbsp; and numeric references;
// anything else that starts with '&' stays as written.
QString decodeEntities(QStringView s)
{
    if (!s.contains(u'&'))
        return s.toString();
    QString out;
    out.reserve(s.size());
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c != u'&') {
            out += c;
            ++i;
            continue;
        }
        const qsizetype semi = s.indexOf(u';', i + 1);
        // Entity names are short; a far ';' belongs to other text.
        if (semi < 0 || semi - i > 12) {
            out += c;
            ++i;
            continue;
        }
        const QStringView ent = s.mid(i + 1, semi - i - 1);
        QString replacement;
        if (ent == u"amp")
            replacement = QStringLiteral("&");
        else if (ent == u"lt")
            replacement = QStringLiteral("<");
        else if (ent == u"gt")
            replacement = QStringLiteral(">");
        else if (ent == u"quot")
            replacement = QStringLiteral("\"");
        else if (ent == u"apos")
            replacement = QStringLiteral("'");
        else if (ent == u"nbsp")
            replacement = QString(QChar(0xA0));
        else if (ent.size() > 1 && ent[0] == u'#') {
            bool ok = false;
            uint code = 0;
            if (ent[1] == u'x' || ent[1] == u'X')
                code = ent.mid(2).toUInt(&ok, 16);
            else
                code = ent.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t cp = char32_t(code);
                replacement = QString::fromUcs4(&cp, 1);
            }
        }
        if (replacement.isNull()) {
            out += c;
            ++i;
            continue;
        }
        out += replacement;
        i = semi + 1;
    }
    return out;
}

class Parser {
public:
    Parser(Vm& vm, XmlNode* doc, QStringView text, bool ignoreWhite, Object* nodeProto)
        : vm_(vm), doc_(doc), s_(text), ignoreWhite_(ignoreWhite), nodeProto_(nodeProto)
    {
    }

    int run()
    {
        stack_.push_back(doc_);
        const int status = parseAll();
        // Elements still open at the end lack their end tags.
        if (status == ParseOk && stack_.size() > 1)
            return MissingEndTag;
        return status;
    }

    QString xmlDecl;
    QString docTypeDecl;
    bool sawXmlDecl = false;
    bool sawDocType = false;

private:
    XmlNode* current() const { return stack_.back(); }

    // Every node the text makes counts against the machine's element
    // limit, so a huge document of tiny tags stops instead of filling memory.
    bool overBudget() { return ++nodes_ > vm_.limits().maxArrayLength; }

    void addText(QString text)
    {
        XmlNode* t = makeNode(vm_, nodeProto_, TextNode, Value::null(), Value::fromString(std::move(text)));
        current()->pushChild(t);
    }

    bool startsWith(qsizetype at, QLatin1StringView what) const { return s_.mid(at).startsWith(what); }

    void skipSpace()
    {
        while (pos_ < s_.size() && isXmlSpace(s_[pos_]))
            ++pos_;
    }

    int parseAll()
    {
        const qsizetype n = s_.size();
        while (pos_ < n) {
            if (s_[pos_] != u'<') {
                qsizetype end = s_.indexOf(u'<', pos_);
                if (end < 0)
                    end = n;
                const QStringView raw = s_.mid(pos_, end - pos_);
                pos_ = end;
                if (!(ignoreWhite_ && isWhitespaceOnly(raw))) {
                    if (overBudget())
                        return OutOfMemory;
                    addText(decodeEntities(raw));
                }
                continue;
            }
            int status = ParseOk;
            if (startsWith(pos_, QLatin1StringView("<!--")))
                status = comment();
            else if (startsWith(pos_, QLatin1StringView("<![CDATA[")))
                status = cdata();
            else if (startsWith(pos_, QLatin1StringView("<?")))
                status = declaration();
            else if (startsWith(pos_, QLatin1StringView("<!")))
                status = doctype();
            else if (startsWith(pos_, QLatin1StringView("</")))
                status = endTag();
            else
                status = startTag();
            if (status != ParseOk)
                return status;
        }
        return ParseOk;
    }

    // Comments are read past and kept nowhere.
    int comment()
    {
        const qsizetype end = s_.indexOf(QLatin1StringView("-->"), pos_ + 4);
        if (end < 0)
            return CommentNotTerminated;
        pos_ = end + 3;
        return ParseOk;
    }

    // CDATA content becomes a text node as written, entities and all.
    int cdata()
    {
        const qsizetype start = pos_ + 9;
        const qsizetype end = s_.indexOf(QLatin1StringView("]]>"), start);
        if (end < 0)
            return CdataNotTerminated;
        const QStringView raw = s_.mid(start, end - start);
        pos_ = end + 3;
        if (!(ignoreWhite_ && isWhitespaceOnly(raw))) {
            if (overBudget())
                return OutOfMemory;
            addText(raw.toString());
        }
        return ParseOk;
    }

    // The XML declaration and other processing instructions are kept, as
    // written, in xmlDecl (several in a row add up).
    int declaration()
    {
        const qsizetype end = s_.indexOf(QLatin1StringView("?>"), pos_ + 2);
        if (end < 0)
            return XmlDeclNotTerminated;
        xmlDecl += s_.mid(pos_, end + 2 - pos_);
        sawXmlDecl = true;
        pos_ = end + 2;
        return ParseOk;
    }

    // <!DOCTYPE ...> (with an internal subset in brackets) goes to
    // docTypeDecl as written.
    int doctype()
    {
        int brackets = 0;
        for (qsizetype i = pos_ + 2; i < s_.size(); ++i) {
            const QChar c = s_[i];
            if (c == u'[')
                ++brackets;
            else if (c == u']' && brackets > 0)
                --brackets;
            else if (c == u'>' && brackets == 0) {
                docTypeDecl = s_.mid(pos_, i + 1 - pos_).toString();
                sawDocType = true;
                pos_ = i + 1;
                return ParseOk;
            }
        }
        return DoctypeNotTerminated;
    }

    int endTag()
    {
        const qsizetype close = s_.indexOf(u'>', pos_ + 2);
        if (close < 0)
            return MalformedElement;
        const QStringView name = s_.mid(pos_ + 2, close - pos_ - 2).trimmed();
        pos_ = close + 1;
        if (stack_.size() <= 1 || !current()->name.isString() || current()->name.string != name)
            return MissingStartTag;
        stack_.pop_back();
        return ParseOk;
    }

    static bool endsName(QChar c) { return isXmlSpace(c) || c == u'/' || c == u'>' || c == u'='; }

    QStringView readName()
    {
        const qsizetype start = pos_;
        while (pos_ < s_.size() && !endsName(s_[pos_]) && s_[pos_] != u'<')
            ++pos_;
        return s_.mid(start, pos_ - start);
    }

    int startTag()
    {
        ++pos_; // '<'
        const QStringView name = readName();
        if (name.isEmpty())
            return MalformedElement;
        if (overBudget())
            return OutOfMemory;
        XmlNode* element = makeNode(vm_, nodeProto_, ElementNode, Value::fromString(name.toString()), Value::null());
        current()->pushChild(element);
        for (;;) {
            skipSpace();
            if (pos_ >= s_.size())
                return MalformedElement;
            const QChar c = s_[pos_];
            if (c == u'>') {
                ++pos_;
                if (stack_.size() > std::size_t(kMaxDepth))
                    return OutOfMemory;
                stack_.push_back(element);
                return ParseOk;
            }
            if (c == u'/') {
                if (pos_ + 1 < s_.size() && s_[pos_ + 1] == u'>') {
                    pos_ += 2;
                    return ParseOk;
                }
                return MalformedElement;
            }
            const QStringView attr = readName();
            if (attr.isEmpty())
                return MalformedElement;
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != u'=')
                return MalformedElement;
            ++pos_;
            skipSpace();
            if (pos_ >= s_.size())
                return AttributeNotTerminated;
            const QChar quote = s_[pos_];
            if (quote != u'"' && quote != u'\'')
                return MalformedElement;
            const qsizetype end = s_.indexOf(quote, pos_ + 1);
            if (end < 0)
                return AttributeNotTerminated;
            const QString value = decodeEntities(s_.mid(pos_ + 1, end - pos_ - 1));
            pos_ = end + 1;
            // A repeated attribute keeps its first place and takes the
            // last value.
            element->attributes->define(attr.toString(), Value::fromString(value));
        }
    }

    Vm& vm_;
    XmlNode* doc_;
    QStringView s_;
    bool ignoreWhite_;
    Object* nodeProto_;
    qsizetype pos_ = 0;
    std::size_t nodes_ = 0;
    std::vector<XmlNode*> stack_;
};

// The whole of parseXML: the document's children are replaced by the
// parsed tree, its declarations by the ones found, and status tells how
// far the text made sense (what was read before an error stays).
void parseInto(Vm& vm, XmlNode* doc, const QString& text, Object* nodeProto)
{
    for (XmlNode* c : doc->children)
        c->parent = nullptr;
    doc->children.clear();
    doc->syncArray();
    const bool ignoreWhite = vm.toBoolean(vm.getMember(doc, QStringLiteral("ignoreWhite")));
    Parser parser(vm, doc, text, ignoreWhite, nodeProto);
    const int status = parser.run();
    if (parser.sawXmlDecl)
        vm.setMember(doc, QStringLiteral("xmlDecl"), Value::fromString(parser.xmlDecl));
    if (parser.sawDocType)
        vm.setMember(doc, QStringLiteral("docTypeDecl"), Value::fromString(parser.docTypeDecl));
    vm.setMember(doc, QStringLiteral("status"), Value::fromNumber(status));
}

// A node made by `new`: it takes the prototype `new` chose (a subclass's
// when a script extends the class) and the constructor links.
XmlNode* nodeForNew(Vm& vm, const Value& thisValue, Object* fallbackProto)
{
    Object* made = thisValue.isObject() ? thisValue.object : nullptr;
    Object* proto = made && made != vm.global() ? made->proto() : fallbackProto;
    XmlNode* node = makeNode(vm, proto, ElementNode, Value::null(), Value::null());
    if (made && made != vm.global()) {
        for (const char* link : {"__constructor__", "constructor"})
            if (const Property* p = made->findOwn(QLatin1StringView(link)))
                node->define(p->name, p->value, p->flags);
    }
    return node;
}

} // namespace

void installXmlClasses(Vm& vm)
{
    // ---- XMLNode --------------------------------------------------------
    // Native code below makes nodes with this prototype, so it lives as
    // long as the machine even if a script replaces XMLNode.prototype.
    Object* nodeProto = vm.pin(vm.newObject());
    // Replaces the empty placeholder class of the same name.
    FunctionObject* nodeClass = vm.newClass(
        QStringLiteral("XMLNode"), nodeProto, [](Vm&, const Value&, Args&) -> Value { return Value(); },
        [nodeProto](Vm& vm, const Value& thisValue, Args& args) -> Value {
            XmlNode* node = nodeForNew(vm, thisValue, nodeProto);
            const int type = int(integerOf(argNumber(vm, args, 0)));
            const Value& v = arg(args, 1);
            const Value text = v.isNullish() ? Value::null() : Value::fromString(vm.toString(v));
            if (type == TextNode) {
                node->nodeType = TextNode;
                node->value = text;
            } else {
                node->nodeType = type;
                node->name = text;
            }
            return Value::fromObject(node);
        });
    (void)nodeClass;

    nodeProto->defineMethod(vm, QStringLiteral("appendChild"), [](Vm&, const Value& self, Args& args) -> Value {
        XmlNode* node = asNode(self);
        XmlNode* child = asNode(arg(args, 0));
        // A node cannot go inside itself or its own subtree.
        if (!node || !child || node->isAncestorOrSelf(child))
            return Value();
        child->detach();
        node->pushChild(child);
        node->syncArray();
        return Value();
    });
    nodeProto->defineMethod(vm, QStringLiteral("insertBefore"), [](Vm&, const Value& self, Args& args) -> Value {
        XmlNode* node = asNode(self);
        XmlNode* child = asNode(arg(args, 0));
        XmlNode* before = asNode(arg(args, 1));
        // The reference must be one of this node's children, and unlike
        // appendChild the new node is not taken out of a tree it is in
        // already: the player leaves such a call without effect.
        if (!node || !child || !before || before->parent != node || child->parent || node->isAncestorOrSelf(child))
            return Value();
        const std::size_t at = before->indexInParent();
        node->children.insert(node->children.begin() + std::ptrdiff_t(at), child);
        child->parent = node;
        node->syncArray();
        return Value();
    });
    nodeProto->defineMethod(vm, QStringLiteral("removeNode"), [](Vm&, const Value& self, Args&) -> Value {
        if (XmlNode* node = asNode(self))
            node->detach();
        return Value();
    });
    nodeProto->defineMethod(vm, QStringLiteral("cloneNode"), [](Vm& vm, const Value& self, Args& args) -> Value {
        XmlNode* node = asNode(self);
        if (!node)
            return Value();
        return Value::fromObject(cloneTree(vm, node, vm.toBoolean(arg(args, 0))));
    });
    nodeProto->defineMethod(vm, QStringLiteral("hasChildNodes"), [](Vm&, const Value& self, Args&) -> Value {
        XmlNode* node = asNode(self);
        return Value::fromBool(node && !node->children.empty());
    });
    nodeProto->defineMethod(vm, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args&) -> Value {
        XmlNode* node = asNode(self);
        if (!node)
            return Value::fromString(QStringLiteral("[object Object]"));
        return Value::fromString(serialize(vm, node));
    });
    nodeProto->defineMethod(vm, QStringLiteral("getNamespaceForPrefix"), [](Vm& vm, const Value& self, Args& args) -> Value {
        XmlNode* node = asNode(self);
        if (!node)
            return Value::null();
        return namespaceForPrefix(vm, node, args.empty() ? QString() : vm.toString(args[0]));
    });
    nodeProto->defineMethod(vm, QStringLiteral("getPrefixForNamespace"), [](Vm& vm, const Value& self, Args& args) -> Value {
        XmlNode* node = asNode(self);
        if (!node || args.empty())
            return Value::null();
        return prefixForNamespace(vm, node, vm.toString(args[0]));
    });

    // ---- XML --------------------------------------------------------------
    Object* docProto = vm.pin(vm.heap().make<Object>(nodeProto));
    vm.newClass(
        QStringLiteral("XML"), docProto, [](Vm&, const Value&, Args&) -> Value { return Value(); },
        [docProto, nodeProto](Vm& vm, const Value& thisValue, Args& args) -> Value {
            XmlNode* doc = nodeForNew(vm, thisValue, docProto);
            doc->document = true;
            doc->define(QStringLiteral("status"), Value::fromNumber(ParseOk));
            if (!args.empty() && !args[0].isNullish())
                parseInto(vm, doc, vm.toString(args[0]), nodeProto);
            return Value::fromObject(doc);
        });
    docProto->define(QStringLiteral("ignoreWhite"), Value::fromBool(false), DontEnum);
    docProto->define(QStringLiteral("contentType"), Value::fromString(QStringLiteral("application/x-www-form-urlencoded")),
                     DontEnum);

    docProto->defineMethod(vm, QStringLiteral("parseXML"), [nodeProto](Vm& vm, const Value& self, Args& args) -> Value {
        XmlNode* doc = asNode(self);
        if (!doc)
            return Value();
        parseInto(vm, doc, args.empty() ? QString() : vm.toString(args[0]), nodeProto);
        return Value();
    });
    docProto->defineMethod(vm, QStringLiteral("createElement"), [nodeProto](Vm& vm, const Value&, Args& args) -> Value {
        const Value& v = arg(args, 0);
        const Value name = v.isNullish() ? Value::null() : Value::fromString(vm.toString(v));
        return Value::fromObject(makeNode(vm, nodeProto, ElementNode, name, Value::null()));
    });
    docProto->defineMethod(vm, QStringLiteral("createTextNode"), [nodeProto](Vm& vm, const Value&, Args& args) -> Value {
        const Value& v = arg(args, 0);
        const Value text = v.isNullish() ? Value::null() : Value::fromString(vm.toString(v));
        return Value::fromObject(makeNode(vm, nodeProto, TextNode, Value::null(), text));
    });
    // load, sendAndLoad, send and the byte counts are LoadingClasses.cpp's.
    // What a finished load calls with the raw text: parse it and tell
    // onLoad whether anything arrived.
    docProto->defineMethod(vm, QStringLiteral("onData"), [](Vm& vm, const Value& self, Args& args) -> Value {
        const Value& src = arg(args, 0);
        if (src.isUndefined()) {
            vm.callMethod(self, QStringLiteral("onLoad"), {Value::fromBool(false)});
            return Value();
        }
        vm.callMethod(self, QStringLiteral("parseXML"), {src});
        vm.setMember(self, QStringLiteral("loaded"), Value::fromBool(true));
        vm.callMethod(self, QStringLiteral("onLoad"), {Value::fromBool(true)});
        return Value();
    });
    docProto->defineMethod(vm, QStringLiteral("onLoad"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
}

} // namespace qev::swf::avm1
