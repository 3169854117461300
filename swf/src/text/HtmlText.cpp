#include "text/HtmlText.h"

#include <QRegularExpression>

#include <algorithm>

namespace qev::swf::text {

namespace {

struct Tag {
    QString name; // lower case, without '/'
    bool closing = false;
    bool selfClosing = false;
    QString attributes;
};

Tag parseTag(const QString& body)
{
    Tag tag;
    QString s = body.trimmed();
    if (s.startsWith(u'/')) {
        tag.closing = true;
        s = s.mid(1).trimmed();
    }
    if (s.endsWith(u'/')) {
        tag.selfClosing = true;
        s.chop(1);
    }
    const qsizetype space = s.indexOf(QRegularExpression(QStringLiteral("\\s")));
    tag.name = (space < 0 ? s : s.left(space)).toLower();
    tag.attributes = space < 0 ? QString() : s.mid(space + 1);
    return tag;
}

std::optional<QString> attribute(const QString& attributes, const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
    auto it = pattern.globalMatch(attributes);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (int g : {3, 4, 5})
            if (m.capturedStart(g) >= 0)
                return m.captured(g);
    }
    return std::nullopt;
}

std::optional<QColor> parseColor(QString value)
{
    value = value.trimmed();
    if (value.startsWith(u'#'))
        value = value.mid(1);
    else if (value.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        value = value.mid(2);
    bool ok = false;
    const uint rgb = value.toUInt(&ok, 16);
    if (!ok || value.isEmpty() || value.size() > 6)
        return std::nullopt;
    return QColor::fromRgb(QRgb(rgb | 0xFF000000u));
}

std::optional<Align> parseAlign(const QString& value)
{
    const QString v = value.trimmed().toLower();
    if (v == u"left")
        return Align::Left;
    if (v == u"right")
        return Align::Right;
    if (v == u"center")
        return Align::Center;
    if (v == u"justify")
        return Align::Justify;
    return std::nullopt;
}

class Builder {
public:
    explicit Builder(const RunFormat& base) { formats_.push_back(base); }

    void text(const QString& s)
    {
        for (const QChar c : s) {
            if (c == u'\r' || c == u'\n') {
                // CR LF counts once.
                if (c == u'\n' && lastWasCr_) {
                    lastWasCr_ = false;
                    continue;
                }
                lastWasCr_ = c == u'\r';
                breakParagraph();
                continue;
            }
            lastWasCr_ = false;
            append(QString(c));
        }
    }
    void append(const QString& s)
    {
        auto& runs = current_.runs;
        if (runs.empty() || !(runs.back().format == formats_.back()))
            runs.push_back(Run{QString(), formats_.back()});
        runs.back().text += s;
        hasContent_ = true;
    }
    void breakParagraph()
    {
        current_.align = align_;
        out_.push_back(std::move(current_));
        current_ = Paragraph{};
        hasContent_ = false;
    }
    void push(const RunFormat& f) { formats_.push_back(f); }
    void pop()
    {
        if (formats_.size() > 1)
            formats_.pop_back();
    }
    RunFormat top() const { return formats_.back(); }
    void setAlign(std::optional<Align> a) { align_ = a; }
    bool hasContent() const { return hasContent_; }
    void tag(const Tag& t)
    {
        if (t.name == u"br") {
            lastWasCr_ = false;
            breakParagraph();
        } else if (t.name == u"p" || t.name == u"li") {
            if (!t.closing) {
                if (hasContent_ || !current_.runs.empty())
                    breakParagraph();
                if (t.name == u"p") {
                    const auto a = attribute(t.attributes, QStringLiteral("align"));
                    setAlign(a ? parseAlign(*a) : std::nullopt);
                } else {
                    append(QStringLiteral("\u2022 "));
                }
            } else {
                breakParagraph();
                setAlign(std::nullopt);
            }
        } else if (t.name == u"b" || t.name == u"i" || t.name == u"u" || t.name == u"font") {
            if (t.closing) {
                pop();
                return;
            }
            RunFormat f = top();
            if (t.name == u"b")
                f.bold = true;
            else if (t.name == u"i")
                f.italic = true;
            else if (t.name == u"u")
                f.underline = true;
            else
                fontAttributes(t.attributes, f);
            if (!t.selfClosing)
                push(f);
        }
    }
    std::vector<Paragraph> finish()
    {
        if (!current_.runs.empty() || out_.empty())
            breakParagraph();
        return std::move(out_);
    }

private:
    static void fontAttributes(const QString& attributes, RunFormat& f)
    {
        if (const auto c = attribute(attributes, QStringLiteral("color")))
            if (const auto color = parseColor(*c))
                f.color = color;
        if (const auto face = attribute(attributes, QStringLiteral("face")))
            f.face = face->trimmed();
        if (const auto size = attribute(attributes, QStringLiteral("size"))) {
            const QString s = size->trimmed();
            bool ok = false;
            const double v = s.toDouble(&ok);
            if (ok) {
                // "+2" and "-2" are relative to the size around.
                const bool relative = s.startsWith(u'+') || s.startsWith(u'-');
                const double px = relative ? f.size.value_or(12.0) + v : v;
                if (px > 0)
                    f.size = std::min(px, 1000.0);
            }
        }
    }

    std::vector<RunFormat> formats_;
    std::vector<Paragraph> out_;
    Paragraph current_;
    std::optional<Align> align_;
    bool hasContent_ = false;
    bool lastWasCr_ = false;
};

} // namespace

QString Paragraph::plainText() const
{
    QString s;
    for (const Run& r : runs)
        s += r.text;
    return s;
}

std::vector<Paragraph> plainParagraphs(const QString& text)
{
    std::vector<Paragraph> out;
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : text.split(breaks)) {
        Paragraph p;
        p.runs.push_back(Run{line, RunFormat{}});
        out.push_back(std::move(p));
    }
    return out;
}

std::optional<QString> decodeEntity(const QString& name)
{
    if (name == u"lt")
        return QStringLiteral("<");
    if (name == u"gt")
        return QStringLiteral(">");
    if (name == u"amp")
        return QStringLiteral("&");
    if (name == u"quot")
        return QStringLiteral("\"");
    if (name == u"apos")
        return QStringLiteral("'");
    if (name == u"nbsp")
        return QString(QChar(0xA0));
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.startsWith(QStringLiteral("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                     : name.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    return std::nullopt;
}

std::vector<Paragraph> parseHtml(const QString& html, const RunFormat& base)
{
    Builder b(base);
    qsizetype i = 0;
    const qsizetype n = html.size();
    QString pending;
    auto flush = [&] {
        if (!pending.isEmpty()) {
            b.text(pending);
            pending.clear();
        }
    };
    while (i < n) {
        const QChar c = html[i];
        if (c == u'<') {
            const qsizetype end = html.indexOf(u'>', i + 1);
            if (end < 0) {
                // An unclosed tag: the rest is text.
                pending += html.mid(i);
                break;
            }
            flush();
            const QString body = html.mid(i + 1, end - i - 1);
            if (!body.startsWith(u'!') && !body.startsWith(u'?'))
                b.tag(parseTag(body));
            i = end + 1;
        } else if (c == u'&') {
            const qsizetype end = html.indexOf(u';', i + 1);
            std::optional<QString> decoded;
            if (end > i && end - i <= 10)
                decoded = decodeEntity(html.mid(i + 1, end - i - 1));
            if (decoded) {
                pending += *decoded;
                i = end + 1;
            } else {
                pending += c;
                ++i;
            }
        } else {
            pending += c;
            ++i;
        }
    }
    flush();
    return b.finish();
}

void joinParagraphs(std::vector<Paragraph>& paragraphs)
{
    if (paragraphs.size() < 2)
        return;
    Paragraph& first = paragraphs.front();
    for (std::size_t i = 1; i < paragraphs.size(); ++i)
        for (Run& run : paragraphs[i].runs)
            first.runs.push_back(std::move(run));
    paragraphs.resize(1);
}

} // namespace qev::swf::text
