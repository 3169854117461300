// Text fields as scripts see them: found by instance name like clips, with
// their text, settings and variable binding kept per instance.

#include "engine/Bounds.h"
#include "engine/Timeline.h"

#include "avm1/ArrayObject.h"
#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/Vm.h"
#include "text/DeviceText.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::engine {

using avm1::Value;

TextFieldState& editableTextField(std::shared_ptr<const TextFieldState>& state)
{
    static std::uint64_t nextRevision = 1;
    auto copy = state ? std::make_shared<TextFieldState>(*state) : std::make_shared<TextFieldState>();
    copy->revision = nextRevision++;
    TextFieldState& out = *copy;
    state = std::move(copy);
    return out;
}

namespace {

bool findFieldUid(TimelineState& t, std::uint64_t uid, std::vector<int>& path)
{
    for (auto& [depth, inst] : t.list) {
        path.push_back(depth);
        if (inst.textField && inst.uid == uid)
            return true;
        if (!inst.sprite.empty() && findFieldUid(inst.sprite.front(), uid, path))
            return true;
        path.pop_back();
    }
    return false;
}

QString escapeHtml(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else if (c == u'"')
            out += QStringLiteral("&quot;");
        else if (c == u'\'')
            out += QStringLiteral("&apos;");
        else
            out += c;
    }
    return out;
}

// Plain text as fields keep it: paragraphs end at CR.
QString normalizeNewlines(QString s)
{
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    s.replace(u'\n', u'\r');
    return s;
}

QString plainContent(const TextFieldState& f)
{
    const QString content = f.edit.initialText.value_or(QString());
    if (!f.edit.html)
        return content;
    QStringList lines;
    for (const text::Paragraph& p : text::parseHtml(content))
        lines << p.plainText();
    return lines.join(u'\r');
}

// Plain text as HTML in the field's own format.
QString plainAsHtml(const QString& plain)
{
    QString out;
    const QStringList paragraphs = normalizeNewlines(plain).split(u'\r');
    for (int i = 0; i < paragraphs.size(); ++i)
        out += (i ? QStringLiteral("<br>") : QString()) + escapeHtml(paragraphs[i]);
    return out;
}

QString colorHtml(const QColor& c)
{
    return QStringLiteral("#%1").arg(c.rgb() & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

const char* alignName(text::Align a)
{
    switch (a) {
    case text::Align::Right: return "right";
    case text::Align::Center: return "center";
    case text::Align::Justify: return "justify";
    default: return "left";
    }
}

// The HTML the player writes for a field: one <P> per paragraph in the
// field's format, inner <FONT>, <B>, <I>, <U> where a run differs.
QString htmlOf(const TextFieldState& f, const text::FieldFormat& base)
{
    const auto paragraphs = f.edit.html ? text::parseHtml(f.edit.initialText.value_or(QString()))
                                        : text::plainParagraphs(f.edit.initialText.value_or(QString()));
    const int px = int(std::lround(base.size / 20.0));
    QString out;
    QString blockAttributes;
    auto attribute = [&](const char* name, double twips) {
        if (twips != 0)
            blockAttributes += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name)).arg(std::lround(twips / 20.0));
    };
    attribute("LEFTMARGIN", base.leftMargin);
    attribute("RIGHTMARGIN", base.rightMargin);
    attribute("INDENT", base.indent);
    attribute("LEADING", base.leading);
    for (const text::Paragraph& p : paragraphs) {
        if (paragraphs.size() == 1 && p.plainText().trimmed().isEmpty() && p.plainText().isEmpty())
            break;
        QString body;
        for (const text::Run& r : p.runs) {
            QString run = escapeHtml(r.text);
            if (r.format.underline)
                run = QStringLiteral("<U>") + run + QStringLiteral("</U>");
            if (r.format.italic)
                run = QStringLiteral("<I>") + run + QStringLiteral("</I>");
            if (r.format.bold)
                run = QStringLiteral("<B>") + run + QStringLiteral("</B>");
            QString font;
            if (r.format.face && *r.format.face != base.face)
                font += QStringLiteral(" FACE=\"%1\"").arg(*r.format.face);
            if (r.format.size && int(std::lround(*r.format.size)) != px)
                font += QStringLiteral(" SIZE=\"%1\"").arg(std::lround(*r.format.size));
            if (r.format.color && r.format.color->rgb() != base.color.rgb())
                font += QStringLiteral(" COLOR=\"%1\"").arg(colorHtml(*r.format.color));
            if (!font.isEmpty())
                run = QStringLiteral("<FONT") + font + u'>' + run + QStringLiteral("</FONT>");
            body += run;
        }
        const text::Align align = p.align.value_or(base.align);
        QString para = QStringLiteral("<P ALIGN=\"%1\"><FONT FACE=\"%2\" SIZE=\"%3\" COLOR=\"%4\" LETTERSPACING=\"0\" "
                                      "KERNING=\"0\">%5</FONT></P>")
                           .arg(QString::fromLatin1(alignName(align)).toUpper(), base.face)
                           .arg(px)
                           .arg(colorHtml(base.color), body);
        if (!blockAttributes.isEmpty())
            para = QStringLiteral("<TEXTFORMAT") + blockAttributes + u'>' + para + QStringLiteral("</TEXTFORMAT>");
        out += para;
    }
    return out;
}

// HTML text starts every paragraph left-aligned unless it says otherwise;
// what the last paragraph ends with is the field's format for new text.
TextAlign htmlEndAlign(const QString& html)
{
    const auto paragraphs = text::parseHtml(html);
    switch (paragraphs.empty() ? text::Align::Left : paragraphs.back().align.value_or(text::Align::Left)) {
    case text::Align::Right: return TextAlign::Right;
    case text::Align::Center: return TextAlign::Center;
    case text::Align::Justify: return TextAlign::Justify;
    default: return TextAlign::Left;
    }
}

const QString gridFitNames[3] = {QStringLiteral("none"), QStringLiteral("pixel"), QStringLiteral("subpixel")};

struct Metrics {
    double width = 0;  // pixels
    double height = 0; // pixels
    int lines = 0;
    int visibleLines = 1;
};

Metrics measure(const TextFieldState& f, const Movie& movie)
{
    const text::FieldFormat format = text::fieldFormat(f.edit, movie);
    const text::TextLayout layout = text::layoutText(text::fieldParagraphs(f.edit, format), format);
    Metrics m;
    const double left = format.bounds.left() + text::kGutter;
    for (const text::PlacedRun& r : layout.runs)
        m.width = std::max(m.width, r.origin.x() + r.width - left);
    m.width = std::max(0.0, m.width) / 20.0;
    m.height = layout.height / 20.0;
    m.lines = std::max(1, layout.lineCount);
    // Fields that embed their font measure lines by the font's own ascent
    // and descent; leading counts between lines, and once under a single
    // line.
    const Font* font = f.edit.useOutlines && f.edit.fontId ? movie.find<Font>(f.edit.fontId) : nullptr;
    if (font && font->hasLayout && !font->glyphs.empty() && layout.lineCount > 0) {
        const double scale = format.size / font->emSquare();
        const double lineTwips = (font->ascent + font->descent) * scale;
        const int gaps = std::max(1, layout.lineCount - 1);
        m.height = (layout.lineCount * lineTwips + gaps * format.leading) / 20.0;
    }
    const double lineHeight = layout.lineCount > 0 ? layout.height / layout.lineCount : format.size;
    const double room = format.bounds.height() - 2 * text::kGutter;
    m.visibleLines = lineHeight > 0 ? std::max(1, int(std::floor((room + format.leading) / lineHeight))) : 1;
    return m;
}

} // namespace

QString fieldPlainText(const TextFieldState& field)
{
    return plainContent(field);
}

void TimelineEngine::startTextField(Run& run, Instance& inst, const std::vector<int>& path)
{
    const EditText* model = movie_.find<EditText>(inst.characterId);
    if (!model)
        return;
    if (inst.name.isEmpty())
        inst.name = QStringLiteral("instance%1").arg(++unnamedClips_);
    TextFieldState& f = editableTextField(inst.textField);
    f.edit = *model;
    if (!f.edit.html)
        f.edit.initialText = normalizeNewlines(f.edit.initialText.value_or(QString()));
    f.selectable = !model->noSelect;
    f.variable = model->variableName;
    // An HTML field's text, even none, is parsed into paragraphs.
    if (f.edit.html)
        f.edit.align = htmlEndAlign(f.edit.initialText.value_or(QString()));
    if (f.variable.isEmpty() || !run.scripts)
        return;
    ++boundFields_;
    bindFieldVariable(inst, path, f.variable);
}

void TimelineEngine::bindFieldVariable(Instance& inst, const std::vector<int>& path, const QString& variable)
{
    // A variable that exists shows in the field; otherwise the field starts
    // over from the text its definition gave it (none for script-made
    // fields), which becomes the variable's value (an empty text sets none).
    bool found = false;
    const Value v = readFieldVariable(path, variable, found);
    if (found && !v.isUndefined()) {
        setFieldText(inst, path, vm_->toString(v), inst.textField->edit.html, false);
        return;
    }
    const EditText* model = inst.characterId ? movie_.find<EditText>(inst.characterId) : nullptr;
    const QString initial = model ? model->initialText.value_or(QString()) : QString();
    const bool initialHtml = model && model->html;
    setFieldText(inst, path, initial, initialHtml && inst.textField->edit.html, false);
    const QString text = plainContent(*inst.textField);
    if (!text.isEmpty())
        writeFieldVariable(path, variable,
                           Value::fromString(inst.textField->edit.html ? *inst.textField->edit.initialText : text));
}

void TimelineEngine::setFieldText(Instance& inst, const std::vector<int>& path, const QString& content, bool html,
                                  bool toVariable)
{
    TextFieldState& f = editableTextField(inst.textField);
    if (f.edit.html && html)
        f.edit.align = htmlEndAlign(content);
    if (f.edit.html)
        f.edit.initialText = html ? content : plainAsHtml(content);
    else
        f.edit.initialText = normalizeNewlines(html ? plainContent([&] {
            TextFieldState parsed;
            parsed.edit.html = true;
            parsed.edit.initialText = content;
            return parsed;
        }())
                                                    : content);
    if (toVariable && !f.variable.isEmpty())
        writeFieldVariable(path, f.variable, Value::fromString(*f.edit.initialText));
}

namespace {

// Splits "a.b.name", "/a/b:name" into the target and the variable's name.
void splitVariable(const QString& variable, QString& target, QString& name)
{
    int at = variable.lastIndexOf(u':');
    if (at < 0)
        at = variable.lastIndexOf(u'.');
    if (at < 0) {
        target.clear();
        name = variable;
    } else {
        target = variable.left(at);
        name = variable.mid(at + 1);
    }
}

} // namespace

avm1::Value TimelineEngine::readFieldVariable(const std::vector<int>& path, const QString& variable, bool& found,
                                              bool clipsOnly)
{
    found = false;
    std::vector<int> parentPath(path.begin(), path.end() - 1);
    avm1::ClipObject* timeline = clipAt(*run_->root, parentPath);
    if (!timeline)
        return {};
    QString target, name;
    splitVariable(variable, target, name);
    avm1::Object* holder = timeline;
    if (!target.isEmpty()) {
        holder = vm_->resolveTarget(timeline, target);
        if (!holder) {
            // A path through plain objects: a.b.name
            avm1::Object* at = timeline;
            for (const QString& part : target.split(u'.')) {
                const avm1::Property* p = at ? at->find(part) : nullptr;
                at = p && !p->isVirtual() && p->value.isObject() ? p->value.object : nullptr;
            }
            // The player follows variables of clips only; a field bound to
            // a plain object's property shows it when bound, not later.
            holder = clipsOnly ? nullptr : at;
        }
    }
    if (!holder || name.isEmpty())
        return {};
    // Read without calling getters: this also runs outside any script.
    const avm1::Property* p = holder->find(name);
    if (!p || p->isVirtual())
        return {};
    found = true;
    return p->value;
}

void TimelineEngine::writeFieldVariable(const std::vector<int>& path, const QString& variable, const avm1::Value& v)
{
    std::vector<int> parentPath(path.begin(), path.end() - 1);
    avm1::ClipObject* timeline = clipAt(*run_->root, parentPath);
    if (!timeline)
        return;
    QString target, name;
    splitVariable(variable, target, name);
    avm1::Object* holder = target.isEmpty() ? timeline : vm_->resolveTarget(timeline, target);
    if (!holder && !target.isEmpty()) {
        avm1::Object* at = timeline;
        for (const QString& part : target.split(u'.')) {
            const avm1::Property* p = at ? at->find(part) : nullptr;
            at = p && !p->isVirtual() && p->value.isObject() ? p->value.object : nullptr;
        }
        holder = at;
    }
    if (!holder || name.isEmpty())
        return;
    if (avm1::Property* p = holder->findOwn(name); p && !p->isVirtual()) {
        if (!(p->flags & avm1::ReadOnly))
            p->value = v;
    } else if (!p) {
        holder->define(name, v);
    }
}

void TimelineEngine::updateBoundFields(Run& run)
{
    std::vector<int> path;
    std::function<void(TimelineState&)> walk = [&](TimelineState& t) {
        for (auto& [depth, inst] : t.list) {
            path.push_back(depth);
            if (inst.textField && !inst.textField->variable.isEmpty()) {
                bool found = false;
                const Value v = readFieldVariable(path, inst.textField->variable, found, true);
                // Objects would need their toString run; fields show primitives only here.
                if (found && !v.isUndefined() && !v.isObject()) {
                    const QString s = vm_->toString(v);
                    const QString now = inst.textField->edit.html ? inst.textField->edit.initialText.value_or(QString())
                                                                  : plainContent(*inst.textField);
                    if (s != now && normalizeNewlines(s) != now)
                        setFieldText(inst, path, s, inst.textField->edit.html, false);
                }
            }
            if (!inst.sprite.empty())
                walk(inst.sprite.front());
            path.pop_back();
        }
    };
    walk(run.root->main);
}

avm1::TextFieldObject* TimelineEngine::fieldAt(RootState& root, const std::vector<int>& path)
{
    Instance* inst = instanceAt(root, path);
    if (!inst || !inst->textField)
        return nullptr;
    auto& fields = vm_->textFields();
    auto it = fields.find(inst->uid);
    avm1::TextFieldObject* f = it != fields.end() ? it->second : vm_->newTextField(inst->uid);
    f->hostPath = path;
    return f;
}

bool TimelineEngine::locateField(avm1::TextFieldObject* field, std::vector<int>& path, Instance*& instance)
{
    if (!run_ || !field)
        return false;
    RootState& root = *run_->root;
    Instance* inst = instanceAt(root, field->hostPath);
    if (!inst || inst->uid != field->uid || !inst->textField) {
        std::vector<int> found;
        if (!findFieldUid(root.main, field->uid, found))
            return false;
        field->hostPath = found;
        inst = instanceAt(root, found);
    }
    path = field->hostPath;
    instance = inst;
    return true;
}

avm1::TextFieldObject* TimelineEngine::textFieldByName(avm1::ClipObject* parent, const QString& name)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* owner;
    if (name.isEmpty() || !locate(parent, t, path, owner))
        return nullptr;
    const Qt::CaseSensitivity cs = vm_->version() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (auto& [depth, child] : t->list)
        if (child.textField && child.name.compare(name, cs) == 0) {
            path.push_back(depth);
            return fieldAt(*run_->root, path);
        }
    return nullptr;
}

QString TimelineEngine::textFieldPath(avm1::TextFieldObject* field)
{
    std::vector<int> path;
    Instance* inst;
    if (!locateField(field, path, inst))
        return QString();
    path.pop_back();
    avm1::ClipObject* parent = clipAt(*run_->root, path);
    return parent ? targetPath(parent) + u'.' + inst->name : QString();
}

bool TimelineEngine::getTextFieldProperty(avm1::TextFieldObject* field, const QString& rawName, Value& out)
{
    std::vector<int> path;
    Instance* inst;
    if (!locateField(field, path, inst))
        return false;
    const TextFieldState& f = *inst->textField;
    const QString name = vm_->version() >= 7 ? rawName : rawName.toLower();
    auto is = [&](const char16_t* n) { return vm_->version() >= 7 ? name == n : name == QString::fromUtf16(n).toLower(); };
    auto rgb = [](const Rgba& c) { return Value::fromNumber((c.r << 16) | (c.g << 8) | c.b); };
    const Matrix& m = inst->matrix;
    if (is(u"_x"))
        out = Value::fromNumber(m.tx / 20.0);
    else if (is(u"_y"))
        out = Value::fromNumber(m.ty / 20.0);
    else if (is(u"_xscale"))
        out = Value::fromNumber(std::hypot(m.a, m.b) * 100);
    else if (is(u"_yscale"))
        out = Value::fromNumber(std::hypot(m.c, m.d) * 100);
    else if (is(u"_rotation"))
        out = Value::fromNumber(std::atan2(m.b, m.a) * 180 / M_PI);
    else if (is(u"_alpha"))
        out = Value::fromNumber(inst->colorTransform.aMul * 100.0 / 256.0);
    else if (is(u"_visible"))
        out = Value::fromBool(inst->visible);
    else if (is(u"_name"))
        out = Value::fromString(inst->name);
    else if (is(u"_width") || is(u"_height")) {
        const QRectF b = instanceBounds(movie_, *inst, inst->matrix.toTransform());
        out = Value::fromNumber((is(u"_width") ? b.width() : b.height()) / 20.0);
    } else if (is(u"_target")) {
        QString p = textFieldPath(field);
        p.remove(0, 7); // "_level0"
        out = Value::fromString(p.replace(u'.', u'/'));
    } else if (is(u"_parent")) {
        path.pop_back();
        avm1::ClipObject* parent = clipAt(*run_->root, path);
        out = parent ? Value::fromObject(parent) : Value();
    } else if (is(u"_url"))
        out = Value::fromString(QString());
    else if (is(u"_quality"))
        out = Value::fromString(QStringLiteral("HIGH"));
    else if (is(u"_highquality"))
        out = Value::fromNumber(1);
    else if (is(u"_xmouse") || is(u"_ymouse")) {
        const QPointF mouse(vm_->input.mouseX * 20, vm_->input.mouseY * 20);
        const QPointF local = toStage(*run_->root, path).inverted().map(mouse);
        out = Value::fromNumber(std::round(is(u"_xmouse") ? local.x() : local.y()) / 20.0);
    }
    // ---- the text and its settings ----
    else if (is(u"text")) {
        if (!f.variable.isEmpty()) {
            updateBoundFields(*run_);
            inst = instanceAt(*run_->root, path);
        }
        out = Value::fromString(plainContent(*inst->textField));
    } else if (is(u"htmlText")) {
        out = Value::fromString(f.edit.html ? htmlOf(f, text::fieldFormat(f.edit, movie_)) : plainContent(f));
    } else if (is(u"html"))
        out = Value::fromBool(f.edit.html);
    else if (is(u"length"))
        out = Value::fromNumber(plainContent(f).size());
    else if (is(u"variable"))
        out = f.variable.isEmpty() ? Value::null() : Value::fromString(f.variable);
    else if (is(u"border"))
        out = Value::fromBool(f.edit.border);
    else if (is(u"borderColor"))
        out = rgb(f.borderColor);
    else if (is(u"background"))
        out = Value::fromBool(f.background);
    else if (is(u"backgroundColor"))
        out = rgb(f.backgroundColor);
    else if (is(u"textColor"))
        out = rgb(f.edit.textColor.value_or(Rgba{0, 0, 0, 255}));
    else if (is(u"wordWrap"))
        out = Value::fromBool(f.edit.wordWrap);
    else if (is(u"multiline"))
        out = Value::fromBool(f.edit.multiline);
    else if (is(u"selectable"))
        out = Value::fromBool(f.selectable);
    else if (is(u"password"))
        out = Value::fromBool(f.edit.password);
    else if (is(u"embedFonts"))
        out = Value::fromBool(f.edit.useOutlines);
    else if (is(u"condenseWhite"))
        out = Value::fromBool(f.condenseWhite);
    else if (is(u"mouseWheelEnabled"))
        out = Value::fromBool(f.mouseWheelEnabled);
    else if (is(u"type"))
        out = Value::fromString(f.edit.readOnly ? QStringLiteral("dynamic") : QStringLiteral("input"));
    else if (is(u"maxChars"))
        out = f.edit.maxLength && *f.edit.maxLength ? Value::fromNumber(*f.edit.maxLength) : Value::null();
    else if (is(u"restrict"))
        out = f.restrict ? Value::fromString(*f.restrict) : Value::null();
    else if (is(u"autoSize"))
        out = Value::fromString(f.autoSize);
    else if (is(u"tabIndex"))
        out = f.tabIndex ? Value::fromNumber(*f.tabIndex) : Value();
    else if (is(u"scroll") || is(u"maxscroll") || is(u"bottomScroll") || is(u"textWidth") || is(u"textHeight")) {
        const Metrics metrics = measure(f, movie_);
        const int maxScroll = std::max(1, metrics.lines - metrics.visibleLines + 1);
        const int scroll = std::clamp(f.scroll, 1, maxScroll);
        if (is(u"scroll"))
            out = Value::fromNumber(scroll);
        else if (is(u"maxscroll"))
            out = Value::fromNumber(maxScroll);
        else if (is(u"bottomScroll"))
            out = Value::fromNumber(std::min(metrics.lines, scroll + metrics.visibleLines - 1));
        else if (is(u"textWidth"))
            out = Value::fromNumber(std::round(metrics.width));
        else
            out = Value::fromNumber(std::round(metrics.height));
    } else if (is(u"hscroll"))
        out = Value::fromNumber(f.hscroll);
    else if (is(u"maxhscroll")) {
        const Metrics metrics = measure(f, movie_);
        const double room = f.edit.bounds.width() / 20.0 - 4;
        out = Value::fromNumber(f.edit.wordWrap ? 0 : std::max(0.0, std::round(metrics.width - room)));
    } else if (is(u"styleSheet"))
        out = Value();
    else if (is(u"filters"))
        out = Value::fromObject(vm_->newArray());
    else if (is(u"antiAliasType"))
        out = Value::fromString(f.edit.advancedAntiAlias ? QStringLiteral("advanced") : QStringLiteral("normal"));
    else if (is(u"gridFitType"))
        out = Value::fromString(gridFitNames[std::min<int>(f.edit.gridFit, 2)]);
    else if (is(u"sharpness"))
        out = Value::fromNumber(f.edit.sharpness);
    else if (is(u"thickness"))
        out = Value::fromNumber(f.edit.thickness);
    else
        return false;
    return true;
}

bool TimelineEngine::setTextFieldProperty(avm1::TextFieldObject* field, const QString& rawName, const Value& v)
{
    std::vector<int> path;
    Instance* inst;
    if (!locateField(field, path, inst))
        return false;
    const QString name = vm_->version() >= 7 ? rawName : rawName.toLower();
    auto is = [&](const char16_t* n) { return vm_->version() >= 7 ? name == n : name == QString::fromUtf16(n).toLower(); };
    auto toRgba = [&](const Value& value) {
        const double n = vm_->toNumber(value);
        const std::uint32_t c = std::isfinite(n) ? std::uint32_t(std::int64_t(n)) : 0;
        return Rgba{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 255};
    };
    const double n = vm_->toNumber(v);
    Matrix& m = inst->matrix;
    const double xs = std::hypot(m.a, m.b), ys = std::hypot(m.c, m.d), rot = std::atan2(m.b, m.a);
    auto recompose = [&](double x, double y, double r) {
        m.a = x * std::cos(r);
        m.b = x * std::sin(r);
        m.c = -y * std::sin(r);
        m.d = y * std::cos(r);
        inst->scriptTransformed = true;
    };
    if (is(u"_x") || is(u"_y")) {
        if (std::isfinite(n)) {
            (is(u"_x") ? m.tx : m.ty) = Twips(std::clamp(std::round(n * 20), -2147483648.0, 2147483647.0));
            inst->scriptTransformed = true;
        }
    } else if (is(u"_xscale")) {
        if (std::isfinite(n))
            recompose(n / 100, ys, rot);
    } else if (is(u"_yscale")) {
        if (std::isfinite(n))
            recompose(xs, n / 100, rot);
    } else if (is(u"_rotation")) {
        if (std::isfinite(n))
            recompose(xs, ys, std::fmod(n, 360.0) * M_PI / 180);
    } else if (is(u"_alpha")) {
        if (std::isfinite(n)) {
            inst->colorTransform.aMul = std::int16_t(std::clamp(n * 256 / 100, -32768.0, 32767.0));
            inst->scriptTransformed = true;
        }
    } else if (is(u"_visible")) {
        inst->visible = vm_->toBoolean(v);
    } else if (is(u"_name")) {
        inst->name = vm_->toString(v);
    } else if (is(u"_width") || is(u"_height")) {
        // A field changes its own size rather than its scale.
        if (std::isfinite(n) && n >= 0) {
            TextFieldState& f = editableTextField(inst->textField);
            Rect& b = f.edit.bounds;
            if (is(u"_width"))
                b.xMax = b.xMin + Twips(std::round(n * 20 / std::max(xs, 1e-9)));
            else
                b.yMax = b.yMin + Twips(std::round(n * 20 / std::max(ys, 1e-9)));
        }
    } else if (name.startsWith(u'_')) {
        return false;
    }
    // ---- the text and its settings ----
    else if (is(u"text")) {
        setFieldText(*inst, path, vm_->toString(v), false, true);
    } else if (is(u"htmlText")) {
        setFieldText(*inst, path, vm_->toString(v), inst->textField->edit.html, true);
    } else if (is(u"variable")) {
        const QString variable = v.isNullish() ? QString() : vm_->toString(v);
        editableTextField(inst->textField).variable = variable;
        if (!variable.isEmpty()) {
            ++boundFields_;
            bindFieldVariable(*inst, path, variable);
        }
    } else {
        TextFieldState& f = editableTextField(inst->textField);
        const bool on = vm_->toBoolean(v);
        if (is(u"html")) {
            if (on != f.edit.html) {
                const QString plain = plainContent(f);
                f.edit.html = on;
                f.edit.initialText = on ? plainAsHtml(plain) : plain;
            }
        } else if (is(u"border"))
            f.edit.border = on;
        else if (is(u"borderColor"))
            f.borderColor = toRgba(v);
        else if (is(u"background"))
            f.background = on;
        else if (is(u"backgroundColor"))
            f.backgroundColor = toRgba(v);
        else if (is(u"textColor"))
            f.edit.textColor = toRgba(v);
        else if (is(u"wordWrap"))
            f.edit.wordWrap = on;
        else if (is(u"multiline"))
            f.edit.multiline = on;
        else if (is(u"selectable"))
            f.selectable = on;
        else if (is(u"password"))
            f.edit.password = on;
        else if (is(u"embedFonts"))
            f.edit.useOutlines = on;
        else if (is(u"condenseWhite"))
            f.condenseWhite = on;
        else if (is(u"mouseWheelEnabled"))
            f.mouseWheelEnabled = on;
        else if (is(u"type")) {
            const QString type = vm_->toString(v).toLower();
            if (type == u"input" || type == u"dynamic")
                f.edit.readOnly = type == u"dynamic";
        } else if (is(u"maxChars")) {
            if (v.isNullish() || !std::isfinite(n) || n <= 0)
                f.edit.maxLength.reset();
            else
                f.edit.maxLength = std::uint16_t(std::min(n, 65535.0));
        } else if (is(u"restrict")) {
            if (v.isNullish())
                f.restrict.reset();
            else
                f.restrict = vm_->toString(v);
        } else if (is(u"autoSize")) {
            if (v.type == Value::Type::Boolean)
                f.autoSize = on ? QStringLiteral("left") : QStringLiteral("none");
            else if (const QString s = vm_->toString(v).toLower();
                     s == u"none" || s == u"left" || s == u"center" || s == u"right")
                f.autoSize = s;
            else
                f.autoSize = QStringLiteral("none");
            f.edit.autoSize = f.autoSize != u"none";
        } else if (is(u"scroll")) {
            if (std::isfinite(n)) {
                const Metrics metrics = measure(f, movie_);
                const int maxScroll = std::max(1, metrics.lines - metrics.visibleLines + 1);
                f.scroll = int(std::clamp(n, 1.0, double(maxScroll)));
            }
        } else if (is(u"hscroll")) {
            if (std::isfinite(n))
                f.hscroll = std::max(0, int(n));
        } else if (is(u"antiAliasType")) {
            // Names other than the two it knows leave the setting as it was.
            const QString type = vm_->toString(v);
            if (type == u"normal" || type == u"advanced")
                f.edit.advancedAntiAlias = type == u"advanced";
        } else if (is(u"gridFitType")) {
            const QString type = vm_->toString(v);
            for (int i = 0; i < 3; ++i)
                if (type == gridFitNames[i])
                    f.edit.gridFit = std::uint8_t(i);
        } else if (is(u"sharpness")) {
            f.edit.sharpness = n;
        } else if (is(u"thickness")) {
            f.edit.thickness = n;
        } else if (is(u"tabIndex")) {
            if (v.isUndefined())
                f.tabIndex.reset();
            else
                f.tabIndex = double(avm1::toUint32(n));
        }
        // The rest (sizes, filters, styles) are read-only or kept as drawn.
    }
    return true;
}

avm1::TextFieldObject* TimelineEngine::createTextField(avm1::ClipObject* parent, const QString& name, int depth,
                                                       const QRectF& rect)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* owner;
    if (!locate(parent, t, path, owner) || run_->instances > maxInstances || (owner && owner->isButton))
        return nullptr;
    Instance made;
    made.name = name;
    made.uid = nextUid_++;
    made.scriptMade = true;
    made.justPlaced = true;
    made.matrix.tx = Twips(std::round(rect.x() * 20));
    made.matrix.ty = Twips(std::round(rect.y() * 20));
    TextFieldState& f = editableTextField(made.textField);
    // A new field: dynamic, one line, 12-pixel Times New Roman in black.
    f.edit.bounds = Rect{0, Twips(std::round(rect.width() * 20)), 0, Twips(std::round(rect.height() * 20))};
    f.edit.readOnly = true;
    f.edit.fontHeight = 240;
    f.edit.fontClass = QStringLiteral("Times New Roman");
    f.edit.textColor = Rgba{0, 0, 0, 255};
    f.edit.initialText = QString();
    const int key = depth + depthOffset;
    putScriptMade(*t, path, key, std::move(made));
    path.push_back(key);
    return fieldAt(*run_->root, path);
}

namespace {

// A text format object's settings from a field's own format.
void fillFormat(avm1::Vm& vm, avm1::Object* format, const TextFieldState& f, const Movie& movie)
{
    const text::FieldFormat base = text::fieldFormat(f.edit, movie);
    auto set = [&](const char* name, const Value& v) { vm.setMember(format, QString::fromLatin1(name), v); };
    set("font", Value::fromString(base.face));
    set("size", Value::fromNumber(std::round(base.size / 20.0)));
    set("color", Value::fromNumber(base.color.rgb() & 0xFFFFFF));
    set("bold", Value::fromBool(base.bold));
    set("italic", Value::fromBool(base.italic));
    set("underline", Value::fromBool(false));
    set("url", Value::fromString(QString()));
    set("target", Value::fromString(QString()));
    set("align", Value::fromString(QString::fromLatin1(alignName(base.align))));
    set("leftMargin", Value::fromNumber(std::round(base.leftMargin / 20.0)));
    set("rightMargin", Value::fromNumber(std::round(base.rightMargin / 20.0)));
    set("indent", Value::fromNumber(std::round(base.indent / 20.0)));
    set("leading", Value::fromNumber(std::round(base.leading / 20.0)));
    set("blockIndent", Value::fromNumber(0));
    set("bullet", Value::fromBool(false));
    set("kerning", Value::fromBool(false));
    set("letterSpacing", Value::fromNumber(0));
    set("tabStops", Value::fromObject(vm.newArray()));
}

// The id of the movie's font with glyphs named `name` (plain style first);
// 0 when there is none.
std::uint16_t embeddedFontNamed(const Movie& movie, const QString& name)
{
    std::uint16_t best = 0;
    for (const auto& [id, character] : movie.dictionary) {
        const auto* font = std::get_if<Font>(&character);
        if (!font || font->glyphs.empty())
            continue;
        QString fontName = font->name;
        while (fontName.endsWith(QChar(0)))
            fontName.chop(1);
        if (fontName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!font->bold && !font->italic)
            return id;
        if (!best)
            best = id;
    }
    return best;
}

// Applies the set (non-null) settings of a text format to a field.
void applyFormat(avm1::Vm& vm, avm1::Object* format, TextFieldState& f, const Movie& movie)
{
    auto get = [&](const char* name) { return vm.getMember(format, QString::fromLatin1(name)); };
    auto twips = [&](const Value& v) { return std::clamp(vm.toNumber(v) * 20, -32768.0, 65535.0); };
    if (const Value v = get("font"); v.isString()) {
        // A font of the movie by that name serves fields that embed fonts;
        // the others (and all fields when there is none) use the system's.
        f.edit.fontClass = v.string;
        f.edit.fontId = embeddedFontNamed(movie, v.string);
    }
    if (const Value v = get("size"); v.isNumber() && v.number >= 0)
        f.edit.fontHeight = std::uint16_t(std::min(v.number * 20, 65535.0));
    if (const Value v = get("color"); v.isNumber()) {
        const auto c = std::uint32_t(v.number);
        f.edit.textColor = Rgba{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 255};
    }
    if (const Value v = get("align"); v.isString()) {
        f.edit.align = v.string == u"right"    ? TextAlign::Right
                       : v.string == u"center" ? TextAlign::Center
                       : v.string == u"justify" ? TextAlign::Justify
                                                : TextAlign::Left;
    }
    if (const Value v = get("leftMargin"); v.isNumber())
        f.edit.leftMargin = std::uint16_t(std::clamp(twips(v), 0.0, 65535.0));
    if (const Value v = get("rightMargin"); v.isNumber())
        f.edit.rightMargin = std::uint16_t(std::clamp(twips(v), 0.0, 65535.0));
    if (const Value v = get("indent"); v.isNumber())
        f.edit.indent = std::uint16_t(std::clamp(twips(v), 0.0, 65535.0));
    if (const Value v = get("leading"); v.isNumber())
        f.edit.leading = std::int16_t(std::clamp(twips(v), -32768.0, 32767.0));
}

} // namespace

avm1::Value TimelineEngine::callTextField(avm1::TextFieldObject* field, const QString& method,
                                          std::vector<avm1::Value>& args)
{
    std::vector<int> path;
    Instance* inst;
    if (!locateField(field, path, inst))
        return {};
    auto newFormat = [&]() -> avm1::Object* {
        const Value cls = vm_->getMember(vm_->global(), QStringLiteral("TextFormat"));
        std::vector<Value> none;
        const Value made = vm_->construct(cls, none);
        return made.isObject() ? made.object : nullptr;
    };
    if (method == u"getTextFormat" || method == u"getNewTextFormat") {
        // An empty field has no text to have a format: every setting reads
        // null. Its format for new text is the field's own.
        // A range (begin, end; begin alone means one character) that holds
        // no character has no format either.
        avm1::Object* format = newFormat();
        const int length = int(plainContent(*inst->textField).size());
        int begin = 0, end = length;
        if (method == u"getTextFormat" && !args.empty()) {
            auto index = [&](const Value& v) {
                const double n = vm_->toNumber(v);
                return std::isfinite(n) ? int(std::clamp(std::trunc(n), 0.0, double(length))) : 0;
            };
            begin = index(args[0]);
            end = args.size() >= 2 ? index(args[1]) : std::min(begin + 1, length);
        }
        if (format && (method == u"getNewTextFormat" || begin < end))
            fillFormat(*vm_, format, *inst->textField, movie_);
        return format ? Value::fromObject(format) : Value();
    }
    if (method == u"setTextFormat" || method == u"setNewTextFormat") {
        // The format applies to the whole field: fields here keep one format.
        const Value format = args.empty() ? Value() : args.back();
        if (format.isObject()) {
            applyFormat(*vm_, format.object, editableTextField(inst->textField), movie_);
        }
        return {};
    }
    if (method == u"replaceSel" || method == u"replaceText") {
        // Without a selection, replaceSel inserts at the end.
        QString text = plainContent(*inst->textField);
        if (method == u"replaceSel" && !args.empty()) {
            text += vm_->toString(args[0]);
        } else if (args.size() >= 3) {
            const int from = std::clamp(int(vm_->toInteger(args[0])), 0, int(text.size()));
            const int to = std::clamp(int(vm_->toInteger(args[1])), from, int(text.size()));
            text.replace(from, to - from, vm_->toString(args[2]));
        }
        setFieldText(*inst, path, text, false, true);
        return {};
    }
    if (method == u"removeTextField") {
        // Only fields that scripts may remove (depths 0 and up) go.
        const int key = path.back();
        if (key - depthOffset < 0 || key - depthOffset >= 1048576)
            return {};
        path.pop_back();
        if (TimelineState* parent = resolve(*run_->root, path))
            parent->list.erase(key);
        return {};
    }
    if (method == u"getDepth")
        return Value::fromNumber(path.back() - depthOffset);
    return {};
}

} // namespace qev::swf::engine
