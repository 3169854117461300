#pragma once

// Fonts with embedded glyph outlines, static text and edit text fields.

#include <qev/swf/model/Shape.h>

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

// A glyph's outline lives in an em square of Font::emSquare() units with
// the baseline at y = 0 (y grows downwards, so most of a glyph has y < 0).
// Its shape has one layer without styles: an edge with fill0 or fill1 != 0
// bounds the inside; fill with the text colour. Glyph shapes have no lines.
struct Glyph {
    Shape outline;                  // version 0, bounds left empty by the reader
    std::uint16_t code = 0;         // character code from the code table (UCS-2 for wide codes in SWF 6+); 0 if none
    std::optional<std::int16_t> advance;   // layout fonts only, em units
    std::optional<Rect> bounds;            // layout fonts only, em units
};

struct KerningPair {
    std::uint16_t code1 = 0;
    std::uint16_t code2 = 0;
    std::int16_t adjustment = 0; // em units
};

// DefineFont (codes may come from a later DefineFontInfo/2), DefineFont2,
// DefineFont3.
struct Font {
    int version = 1; // 1, 2, 3
    QString name;
    bool bold = false;
    bool italic = false;
    bool smallText = false;
    bool shiftJis = false;
    bool ansi = false;
    bool wideCodes = false;
    std::uint8_t languageCode = 0;
    std::vector<Glyph> glyphs;
    bool hasLayout = false;
    std::int16_t ascent = 0;  // em units, layout fonts only
    std::int16_t descent = 0;
    std::int16_t leading = 0;
    std::vector<KerningPair> kerning;

    // Glyph coordinates per em: 1024 for DefineFont/2, 20480 for DefineFont3.
    // A glyph drawn at text height h (twips) is scaled by h / emSquare().
    double emSquare() const { return version == 3 ? 20480.0 : 1024.0; }
};

struct GlyphEntry {
    std::uint32_t index = 0; // into Font::glyphs; may be out of range in bad files: skip those
    std::int32_t advance = 0; // twips, in text space, to the next glyph's origin
};

// One run of glyphs of DefineText/DefineText2. The reader resolves the
// format's "carried over" state: every record names its font, colour,
// height and the absolute origin (x, y) of its first glyph (twips, in the
// text's own space before Text::matrix). A record that sets no x starts
// where the previous one ended.
struct TextRecord {
    std::uint16_t fontId = 0;
    Rgba color;
    Twips x = 0;
    Twips y = 0;
    std::uint16_t height = 0; // twips: the em square is scaled to this
    std::vector<GlyphEntry> glyphs;
};

struct Text {
    int version = 1; // DefineText 1 or 2 (2 has alpha in its colours)
    Rect bounds;
    Matrix matrix; // text space -> character space
    std::vector<TextRecord> records;
};

enum class TextAlign : std::uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

// DefineEditText. Sizes in twips. fontId 0 with no fontClass means device
// text (drawn with a system font).
struct EditText {
    Rect bounds;
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool readOnly = false;
    bool noSelect = false;
    bool border = false;
    bool wasStatic = false;
    bool html = false;        // initialText is HTML
    bool useOutlines = false; // draw with the embedded font's glyphs
    bool autoSize = false;
    std::uint16_t fontId = 0;   // 0 = none
    QString fontClass;
    std::uint16_t fontHeight = 0; // twips
    std::optional<Rgba> textColor;
    std::optional<std::uint16_t> maxLength;
    bool hasLayout = false;
    TextAlign align = TextAlign::Left;
    std::uint16_t leftMargin = 0;
    std::uint16_t rightMargin = 0;
    std::uint16_t indent = 0;
    std::int16_t leading = 0;
    QString variableName;
    std::optional<QString> initialText;
    // Rendering settings of CSMTextSettings (kept for scripts; drawing
    // ignores them): the advanced anti-aliaser, grid fitting (0 none,
    // 1 pixel, 2 subpixel), stroke thickness and sharpness.
    bool advancedAntiAlias = false;
    std::uint8_t gridFit = 1;
    double thickness = 0;
    double sharpness = 0;
};

} // namespace qev::swf
