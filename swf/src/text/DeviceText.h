#pragma once

// Text drawn with system fonts: DefineEditText fields whose font has no
// glyph outlines (or that ask not to use them), and DefineText runs in such
// fonts. Fontconfig picks the nearest installed family; the player's
// generic names "_sans", "_serif" and "_typewriter" map to the families the
// original platform used for them. All sizes are twips.

#include "render/Renderer.h"
#include "text/HtmlText.h"

#include <qev/swf/model/Movie.h>

#include <QColor>
#include <QFont>
#include <QRectF>

#include <unordered_map>
#include <vector>

namespace qev::swf::text {

// The family to ask the system for when a movie names `face`.
QString systemFamily(const QString& face);

// A system font at a size in twips (one twip per font pixel, since the text
// is drawn in twips).
QFont deviceFont(const QString& face, double sizeTwips, bool bold, bool italic, bool underline = false);

struct LineMetrics {
    double ascent = 0;
    double descent = 0;
};

// Ascent and descent of a font in its pixel units, as the movie's platform
// measured them for its core fonts.
LineMetrics lineMetrics(const QFont& font);

// The field's own format, that HTML runs start from.
struct FieldFormat {
    QString face = QStringLiteral("Times New Roman");
    double size = 240; // twips
    bool bold = false;
    bool italic = false;
    QColor color = Qt::black;
    Align align = Align::Left;
    QRectF bounds;     // twips
    double leading = 0;
    double leftMargin = 0;
    double rightMargin = 0;
    double indent = 0;
    bool wordWrap = false;
    bool multiline = false;
};

// A piece of one line in one format, placed at its baseline origin.
struct PlacedRun {
    QString text;
    QFont font;
    QColor color;
    QPointF origin;
    double width = 0;
};

struct TextLayout {
    std::vector<PlacedRun> runs;
    int lineCount = 0;
    double height = 0; // from the first line's top to the last line's bottom
};

// Text fields keep a gutter of 2 pixels inside their bounds.
inline constexpr double kGutter = 40;

// Lays paragraphs out in the field: lines broken at paragraph ends and, with
// word wrap, at spaces (or inside a word longer than the line); each line
// aligned; line after line at ascent + descent + leading.
TextLayout layoutText(const std::vector<Paragraph>& paragraphs, const FieldFormat& field);

// Draws a layout in the painter's current (twips) coordinates.
void drawLayout(QPainter& painter, const TextLayout& layout, const render::CxForm& cx);

// The field format of an edit text field, with its font looked up in movie.
FieldFormat fieldFormat(const EditText& text, const Movie& movie);
// The paragraphs an edit text field shows at first.
std::vector<Paragraph> fieldParagraphs(const EditText& text, const FieldFormat& field);

// Draws one DefineText record whose font has no outlines: each glyph's
// character at the glyph's position with a system font of the record's
// height. textToDevice maps the text's own space to device pixels.
void drawDeviceGlyphs(QPainter& painter, const TextRecord& record, const Font& font, const QTransform& textToDevice,
                      const render::CxForm& cx);

// Whether a font carries no glyph outlines to draw.
bool lacksOutlines(const Font& font);

// The renderer's hook for device text fields. Layouts are kept per field.
class DeviceTextRenderer : public render::TextHook {
public:
    explicit DeviceTextRenderer(const Movie& movie) : movie_(movie) {}
    void drawDeviceText(QPainter& painter, const EditText& text, const QTransform& toDevice,
                        const render::CxForm& cx, std::uint64_t revision, int firstLine, int hscroll) override;
    bool drawDeviceGlyphs(QPainter& painter, const TextRecord& record, const Font& font,
                          const QTransform& textToDevice, const render::CxForm& cx) override;

private:
    const Movie& movie_;
    struct CachedLayout {
        std::uint64_t revision = 0;
        TextLayout layout;
    };
    std::unordered_map<const EditText*, CachedLayout> layouts_;
    std::unordered_map<const Font*, bool> withoutOutlines_;
};

} // namespace qev::swf::text
