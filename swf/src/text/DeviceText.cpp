#include "text/DeviceText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qev::swf::text {

namespace {

constexpr double kMaxSize = 20000; // twips: 1000 pixels

struct Piece {
    QString text;
    QFont font;
    QColor color;
    double width = 0;
    double ascent = 0;
    double descent = 0;
};

struct Line {
    std::vector<Piece> pieces;
    double width = 0;
    double ascent = 0;
    double descent = 0;
    Align align = Align::Left;
    bool first = false; // first line of its paragraph (indented)
};

double trailingSpaceWidth(const Line& line)
{
    if (line.pieces.empty())
        return 0;
    const Piece& last = line.pieces.back();
    qsizetype keep = last.text.size();
    while (keep > 0 && last.text[keep - 1].isSpace())
        --keep;
    if (keep == last.text.size())
        return 0;
    const QFontMetricsF fm(last.font);
    return last.width - fm.horizontalAdvance(last.text.left(keep));
}

class LineBreaker {
public:
    LineBreaker(const FieldFormat& field, std::vector<Line>& out) : field_(field), out_(out)
    {
        available_ = field.bounds.width() - 2 * kGutter - field.leftMargin - field.rightMargin;
    }

    void paragraph(const Paragraph& p)
    {
        align_ = p.align.value_or(field_.align);
        startLine(true);
        for (const Run& run : p.runs)
            addRun(run);
        endLine();
    }

private:
    QFont fontOf(const RunFormat& f) const
    {
        const double size = std::clamp(f.size ? *f.size * 20.0 : field_.size, 1.0, kMaxSize);
        return deviceFont(f.face.value_or(field_.face), size, field_.bold || f.bold, field_.italic || f.italic,
                          f.underline);
    }

    void startLine(bool first)
    {
        line_ = Line{};
        line_.align = align_;
        line_.first = first;
        lineStart_ = first ? field_.indent : 0;
    }

    void endLine()
    {
        if (line_.pieces.empty()) {
            // An empty line still takes the height of the field's font.
            const LineMetrics m = lineMetrics(fontOf(lastFormat_));
            line_.ascent = m.ascent;
            line_.descent = m.descent;
        }
        out_.push_back(std::move(line_));
    }

    void place(const QString& s, const QFont& font, const QColor& color, double width)
    {
        if (s.isEmpty())
            return;
        const LineMetrics m = lineMetrics(font);
        if (!line_.pieces.empty() && line_.pieces.back().font == font && line_.pieces.back().color == color) {
            line_.pieces.back().text += s;
            line_.pieces.back().width += width;
        } else {
            line_.pieces.push_back(Piece{s, font, color, width, m.ascent, m.descent});
        }
        line_.width += width;
        line_.ascent = std::max(line_.ascent, m.ascent);
        line_.descent = std::max(line_.descent, m.descent);
    }

    double room() const { return available_ - lineStart_ - line_.width; }

    void addRun(const Run& run)
    {
        lastFormat_ = run.format;
        const QFont font = fontOf(run.format);
        const QColor color = run.format.color.value_or(field_.color);
        const QFontMetricsF fm(font);
        // Words keep the spaces that follow them.
        qsizetype i = 0;
        const QString& s = run.text;
        while (i < s.size()) {
            qsizetype end = i;
            while (end < s.size() && !s[end].isSpace())
                ++end;
            while (end < s.size() && s[end].isSpace())
                ++end;
            const QString word = s.mid(i, end - i);
            i = end;
            const double width = fm.horizontalAdvance(word);
            if (!field_.wordWrap) {
                place(word, font, color, width);
                continue;
            }
            QString bare = word;
            while (!bare.isEmpty() && bare.back().isSpace())
                bare.chop(1);
            const double bareWidth = fm.horizontalAdvance(bare);
            if (bareWidth <= room() || (line_.pieces.empty() && lineStart_ == 0 && bareWidth <= available_)) {
                place(word, font, color, width);
                continue;
            }
            if (!line_.pieces.empty()) {
                endLine();
                startLine(false);
                if (bareWidth <= room()) {
                    place(word, font, color, width);
                    continue;
                }
            }
            // Longer than a whole line: broken between characters.
            QString part;
            for (const QChar c : word) {
                const double w = fm.horizontalAdvance(part + c);
                if (!part.isEmpty() && w > room() && !c.isSpace()) {
                    place(part, font, color, fm.horizontalAdvance(part));
                    endLine();
                    startLine(false);
                    part.clear();
                }
                part += c;
            }
            place(part, font, color, fm.horizontalAdvance(part));
        }
    }

    const FieldFormat& field_;
    std::vector<Line>& out_;
    double available_ = 0;
    double lineStart_ = 0;
    Align align_ = Align::Left;
    Line line_;
    RunFormat lastFormat_;
};

QString fontName(const Font& font)
{
    QString name = font.name;
    // Names are stored with a terminating zero in some files.
    while (!name.isEmpty() && name.back() == QChar(0))
        name.chop(1);
    return name.trimmed();
}

} // namespace

LineMetrics lineMetrics(const QFont& font)
{
    // The stand-ins of the core fonts often report taller ascents than the
    // originals; the originals' proportions keep lines where authors put them.
    const QString family = font.families().isEmpty() ? font.family() : font.families().front();
    const double size = font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height();
    if (family.compare(QStringLiteral("Arial"), Qt::CaseInsensitive) == 0)
        return {0.905 * size, 0.212 * size};
    if (family.compare(QStringLiteral("Times New Roman"), Qt::CaseInsensitive) == 0)
        return {0.891 * size, 0.216 * size};
    if (family.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) == 0)
        return {0.833 * size, 0.300 * size};
    const QFontMetricsF fm(font);
    return {fm.ascent(), fm.descent()};
}

QString systemFamily(const QString& face)
{
    const QString f = face.trimmed();
    if (f.compare(QStringLiteral("_sans"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Arial");
    if (f.compare(QStringLiteral("_serif"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Times New Roman");
    if (f.compare(QStringLiteral("_typewriter"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Courier New");
    if (f.isEmpty())
        return QStringLiteral("Times New Roman");
    return f;
}

QFont deviceFont(const QString& face, double sizeTwips, bool bold, bool italic, bool underline)
{
    const QString family = systemFamily(face);
    QFont font(family);
    // The original platform's core fonts are rarely installed here; their
    // metric-compatible stand-ins keep line breaks where the author saw them.
    // Any other name goes to fontconfig's nearest match.
    if (family.compare(QStringLiteral("Arial"), Qt::CaseInsensitive) == 0) {
        font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                          QStringLiteral("Nimbus Sans")});
        font.setStyleHint(QFont::SansSerif);
    } else if (family.compare(QStringLiteral("Times New Roman"), Qt::CaseInsensitive) == 0) {
        font.setFamilies({family, QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                          QStringLiteral("Nimbus Roman")});
        font.setStyleHint(QFont::Serif);
    } else if (family.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) == 0) {
        font.setFamilies({family, QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                          QStringLiteral("Nimbus Mono PS")});
        font.setStyleHint(QFont::TypeWriter);
    }
    font.setPixelSize(std::max(1, int(std::lround(std::clamp(sizeTwips, 1.0, kMaxSize)))));
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setKerning(true);
    // Hinting at this size would distort advances once scaled down.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TextLayout layoutText(const std::vector<Paragraph>& paragraphs, const FieldFormat& field)
{
    std::vector<Line> lines;
    LineBreaker breaker(field, lines);
    for (const Paragraph& p : paragraphs)
        breaker.paragraph(p);
    TextLayout layout;
    layout.lineCount = int(lines.size());
    const double left = field.bounds.left() + kGutter + field.leftMargin;
    const double right = field.bounds.right() - kGutter - field.rightMargin;
    double top = field.bounds.top() + kGutter;
    const double firstTop = top;
    for (const Line& line : lines) {
        const double start = left + (line.first ? field.indent : 0);
        const double width = line.width - trailingSpaceWidth(line);
        double x = start;
        switch (line.align) {
        case Align::Right: x = right - width; break;
        case Align::Center: x = start + (right - start - width) / 2; break;
        default: break;
        }
        const double baseline = top + line.ascent;
        for (const Piece& piece : line.pieces) {
            layout.runs.push_back(PlacedRun{piece.text, piece.font, piece.color, QPointF(x, baseline), piece.width});
            x += piece.width;
        }
        top = baseline + line.descent + field.leading;
    }
    layout.height = top - firstTop;
    return layout;
}

void drawLayout(QPainter& painter, const TextLayout& layout, const render::CxForm& cx)
{
    for (const PlacedRun& run : layout.runs) {
        painter.setFont(run.font);
        painter.setPen(cx.apply(run.color));
        painter.drawText(run.origin, run.text);
    }
}

FieldFormat fieldFormat(const EditText& text, const Movie& movie)
{
    FieldFormat f;
    if (const Font* font = text.fontId ? movie.find<Font>(text.fontId) : nullptr) {
        const QString name = fontName(*font);
        if (!name.isEmpty())
            f.face = name;
        f.bold = font->bold;
        f.italic = font->italic;
    } else if (!text.fontClass.isEmpty()) {
        f.face = text.fontClass;
    }
    if (text.fontHeight > 0)
        f.size = text.fontHeight;
    if (text.textColor)
        f.color = QColor(text.textColor->r, text.textColor->g, text.textColor->b, text.textColor->a);
    switch (text.align) {
    case TextAlign::Right: f.align = Align::Right; break;
    case TextAlign::Center: f.align = Align::Center; break;
    case TextAlign::Justify: f.align = Align::Justify; break;
    default: f.align = Align::Left; break;
    }
    f.bounds = QRectF(text.bounds.xMin, text.bounds.yMin, text.bounds.width(), text.bounds.height());
    f.leading = text.leading;
    f.leftMargin = text.leftMargin;
    f.rightMargin = text.rightMargin;
    f.indent = text.indent;
    f.wordWrap = text.wordWrap;
    f.multiline = text.multiline;
    return f;
}

std::vector<Paragraph> fieldParagraphs(const EditText& text, const FieldFormat& field)
{
    Q_UNUSED(field);
    const QString content = text.initialText.value_or(QString());
    std::vector<Paragraph> paragraphs = text.html ? parseHtml(content) : plainParagraphs(content);
    if (text.html && !text.multiline)
        joinParagraphs(paragraphs);
    if (text.password)
        for (Paragraph& p : paragraphs)
            for (Run& r : p.runs)
                r.text = QString(r.text.size(), u'*');
    return paragraphs;
}

bool lacksOutlines(const Font& font)
{
    return std::all_of(font.glyphs.begin(), font.glyphs.end(),
                       [](const Glyph& g) {
                           return std::all_of(g.outline.layers.begin(), g.outline.layers.end(),
                                              [](const ShapeLayer& l) { return l.edges.empty(); });
                       });
}

void drawDeviceGlyphs(QPainter& painter, const TextRecord& record, const Font& font, const QTransform& textToDevice,
                      const render::CxForm& cx)
{
    if (record.height == 0)
        return;
    painter.save();
    painter.setTransform(textToDevice);
    painter.setFont(deviceFont(fontName(font), record.height, font.bold, font.italic));
    painter.setPen(cx.apply(record.color));
    double x = record.x;
    for (const GlyphEntry& g : record.glyphs) {
        if (g.index < font.glyphs.size() && font.glyphs[g.index].code != 0)
            painter.drawText(QPointF(x, record.y), QString(QChar(font.glyphs[g.index].code)));
        x += g.advance;
    }
    painter.restore();
}

void DeviceTextRenderer::drawDeviceText(QPainter& painter, const EditText& text, const QTransform& toDevice,
                                        const render::CxForm& cx, std::uint64_t revision, int firstLine,
                                        int hscroll)
{
    // Fields scripts change come and go; their old layouts are dropped now
    // and then rather than kept for ever.
    if (layouts_.size() > 4096)
        layouts_.clear();
    auto it = layouts_.find(&text);
    if (it == layouts_.end() || it->second.revision != revision) {
        const FieldFormat field = fieldFormat(text, movie_);
        it = layouts_.insert_or_assign(&text, CachedLayout{revision, layoutText(fieldParagraphs(text, field), field)})
                 .first;
    }
    painter.save();
    painter.setTransform(toDevice);
    // A scrolled field shows its text moved up by the lines above the
    // first one shown (the field clips the rest) and left by hscroll.
    const TextLayout& layout = it->second.layout;
    if ((firstLine > 1 && layout.lineCount > 1) || hscroll > 0) {
        const double lineHeight = layout.lineCount > 0 ? layout.height / layout.lineCount : 0;
        const int skipped = std::clamp(firstLine, 1, std::max(1, layout.lineCount)) - 1;
        painter.translate(-hscroll * 20.0, -skipped * lineHeight);
    }
    drawLayout(painter, layout, cx);
    painter.restore();
}

bool DeviceTextRenderer::drawDeviceGlyphs(QPainter& painter, const TextRecord& record, const Font& font,
                                          const QTransform& textToDevice, const render::CxForm& cx)
{
    auto it = withoutOutlines_.find(&font);
    if (it == withoutOutlines_.end())
        it = withoutOutlines_.emplace(&font, lacksOutlines(font)).first;
    if (!it->second)
        return false;
    text::drawDeviceGlyphs(painter, record, font, textToDevice, cx);
    return true;
}

} // namespace qev::swf::text
