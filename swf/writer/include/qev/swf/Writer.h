#pragma once

// qev::swfwriter: makes real SWF bytes from code, for tests and the
// sample-movie tool. Everything the reader reads can be written.
//
// Units:
//  - ShapeBuilder coordinates and line widths are in PIXELS by default
//    (multiplied by 20 and rounded to twips); pass another unit size to its
//    constructor (e.g. 1 for glyph outlines in em units).
//  - MovieBuilder's stage size is in pixels, its frame rate in frames per
//    second (stored as 8.8 fixed point).
//  - Model values (Matrix::tx/ty, Rect, Edge points, PlaceObject fields...)
//    are written as they are: twips. Use px() or Matrix helpers to convert.
//
// Example:
//   MovieBuilder m(550, 400, 24);
//   auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 100, 100));
//   m.place(id, 1, translatePx(10, 10));
//   m.showFrame();
//   QByteArray swf = m.finish(Compression::Zlib);

#include <qev/swf/Actions.h>
#include <qev/swf/model/Model.h>

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace qev::swf::writer {

// ---- small helpers -------------------------------------------------------

inline Twips px(double pixels) { return Twips(std::lround(pixels * kTwipsPerPixel)); }
inline Rgba rgb(std::uint32_t rrggbb) { return Rgba{std::uint8_t(rrggbb >> 16), std::uint8_t(rrggbb >> 8), std::uint8_t(rrggbb), 255}; }
inline Rgba rgba(int r, int g, int b, int a = 255) { return Rgba{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), std::uint8_t(a)}; }
inline Matrix translatePx(double x, double y) { return Matrix::translate(px(x), px(y)); }
// Scale about the origin, then translate (pixels).
Matrix scaleTranslatePx(double sx, double sy, double x, double y);
// Rotation (degrees, clockwise on screen) about the origin, then translate (pixels).
Matrix rotateTranslatePx(double degrees, double x, double y);

FillStyle solid(Rgba color);
// A gradient spread over the box (pixels): linear from left to right edge,
// radial centred in the box touching its edges. `degrees` rotates it.
FillStyle linearGradient(std::vector<GradientRecord> records, double x, double y, double w, double h, double degrees = 0);
FillStyle radialGradient(std::vector<GradientRecord> records, double x, double y, double w, double h);
FillStyle focalGradient(std::vector<GradientRecord> records, double focal, double x, double y, double w, double h);
// A bitmap fill whose pixel (0, 0) lands at (x, y) pixels, one bitmap pixel
// per stage pixel times `scale`.
FillStyle bitmapFill(std::uint16_t bitmapId, double x, double y, double scale = 1, bool repeating = true, bool smoothed = true);
LineStyle solidLine(double widthPx, Rgba color);

// ---- low-level encoding --------------------------------------------------

class BitWriter {
public:
    void u8(std::uint32_t v);
    void u16(std::uint32_t v);
    void u32(std::uint32_t v);
    void f32(float v);
    void fixed16(double v); // 16.16
    void fixed8(double v);  // 8.8
    void ub(int bits, std::uint32_t v);
    void sb(int bits, std::int32_t v);
    void fb(int bits, double v); // 16.16 in `bits` bits
    void flag(bool v) { ub(1, v ? 1 : 0); }
    void align();
    void bytes(const QByteArray& b);
    void string(const QString& s); // UTF-8, null-terminated
    const QByteArray& data(); // aligns first
    std::size_t size() const { return std::size_t(m_data.size()); }

    // Bits needed for a signed / unsigned value (at least 1 for signed values != 0).
    static int sbits(std::int64_t v);
    static int ubits(std::uint64_t v);

private:
    QByteArray m_data;
    std::uint8_t m_byte = 0;
    int m_used = 0;
};

void writeRect(BitWriter& w, const Rect& r);
void writeMatrix(BitWriter& w, const Matrix& m);
void writeColorTransform(BitWriter& w, const ColorTransform& cx, bool withAlpha);
void writeFilters(BitWriter& w, const std::vector<Filter>& filters);
QByteArray encodeActions(const ActionList& actions); // ends with the End action

// A tag: header (short or long form) and body. forceLong writes the long
// form even for short bodies (some tags must use it, e.g. bitmaps).
QByteArray tag(int code, const QByteArray& body, bool forceLong = false);
// Header plus tags into a file; `tags` must already end with the End tag if
// wanted. fileLength 0 computes the true length.
QByteArray movieFile(int version, const Rect& stage, double fps, std::uint16_t frameCount, const QByteArray& tags,
                     Compression compression = Compression::None, std::uint32_t fileLength = 0);

// Writers throw std::invalid_argument for values the format cannot hold
// (a delta wider than 17 bits, more than 255 glyphs in a text record, ...).

// Tag bodies from model values (character id first where the tag has one).
QByteArray encodeShape(std::uint16_t id, const Shape& shape); // DefineShape N with N = max(shape.version, needed)
int shapeTagVersion(const Shape& shape);
QByteArray encodeMorphShape(std::uint16_t id, const MorphShape& morph);
QByteArray encodePlaceObject(const PlaceObject& place); // version from place.version, raised when fields need it
int placeObjectTagCode(const PlaceObject& place);
QByteArray encodeFont(std::uint16_t id, const Font& font); // DefineFont, DefineFont2 or DefineFont3 by font.version
QByteArray encodeText(std::uint16_t id, const Text& text);
QByteArray encodeEditText(std::uint16_t id, const EditText& edit);
QByteArray encodeButton(std::uint16_t id, const Button& button); // DefineButton or DefineButton2 by version

// ---- actions -------------------------------------------------------------

namespace act {
Action stop();
Action play();
Action nextFrame();
Action previousFrame();
Action gotoFrame(int frame); // 0-based
Action gotoLabel(const QString& label);
Action pushNumber(double value);
Action pushString(const QString& value);
Action gotoFrame2(bool play, std::uint16_t sceneBias = 0);
Action jump(std::int16_t byteOffset);
Action ifTrue(std::int16_t byteOffset);
Action raw(std::uint8_t code, const QByteArray& payload = {});
} // namespace act

// ---- shapes --------------------------------------------------------------

class ShapeBuilder {
public:
    explicit ShapeBuilder(double twipsPerUnit = kTwipsPerPixel);

    // Adds a fill style to the current layer and draws what follows with it
    // (as fill style 1 of the edges; fill style 0 becomes none).
    ShapeBuilder& fill(const FillStyle& style);
    ShapeBuilder& noFill();
    // Adds a line style and strokes what follows with it.
    ShapeBuilder& line(const LineStyle& style);
    ShapeBuilder& line(double widthUnits, Rgba color);
    ShapeBuilder& noLine();
    // Selects styles of the current layer by 1-based index (0 = none).
    ShapeBuilder& styles(std::uint16_t fill0, std::uint16_t fill1, std::uint16_t line);
    // Starts a new layer (a "new styles" record): its styles are added afterwards.
    ShapeBuilder& newLayer();

    ShapeBuilder& moveTo(double x, double y);
    // Lines longer than an edge can hold (65535 twips per axis) are split.
    ShapeBuilder& lineTo(double x, double y);
    ShapeBuilder& curveTo(double cx, double cy, double x, double y);
    // Closed outlines, clockwise on screen, ending where they start.
    ShapeBuilder& rect(double x, double y, double w, double h);
    ShapeBuilder& ellipse(double cx, double cy, double rx, double ry);

    // Fills and lines of DefineShape4.
    ShapeBuilder& nonZeroWinding(bool on = true);

    // The shape with bounds computed from its edges (lines add half their
    // width) and the lowest tag version that holds it.
    Shape build() const;
    // The outline of a glyph: styles dropped, inside edges keep fill index 1.
    Shape buildGlyph() const;

private:
    Point toTwips(double x, double y) const;
    double m_unit;
    Shape m_shape;
    Point m_pen;
    std::uint16_t m_fill0 = 0, m_fill1 = 0, m_line = 0;
};

// ---- movies --------------------------------------------------------------

// Control tags of one timeline (the main one or a sprite's).
class TimelineBuilder {
public:
    // PlaceObject2 of a new character.
    void place(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix = {});
    // Any PlaceObject (1, 2 or 3 by place.version and its fields).
    void place(const PlaceObject& place);
    // PlaceObject2 that moves the character at depth.
    void move(std::uint16_t depth, const Matrix& matrix);
    void remove(std::uint16_t depth);                       // RemoveObject2
    void remove(std::uint16_t characterId, std::uint16_t depth); // RemoveObject
    void label(const QString& name);
    void actions(const ActionList& actions); // DoAction
    void script(const QByteArray& bytecode); // DoAction with bytecode as given (see ActionAssembler)
    // DoInitAction for a sprite (main timeline only).
    void initScript(std::uint16_t spriteId, const QByteArray& bytecode);
    // ExportAssets of one character under a linkage name (for attachMovie).
    void exportAsset(std::uint16_t characterId, const QString& name);
    void showFrame();
    // Any tag, as given (for tags the builder has no method for, or broken ones).
    void rawTag(int code, const QByteArray& body, bool forceLong = false);

    int frameCount() const { return m_frames; }
    const QByteArray& tags() const { return m_tags; }

protected:
    QByteArray m_tags;
    int m_frames = 0;
};

class SpriteBuilder : public TimelineBuilder {};

enum class LosslessFormat { Auto, Colormapped8 = 3, Rgb15 = 4, Argb32 = 5 };

class MovieBuilder : public TimelineBuilder {
public:
    MovieBuilder(double stageWidthPx, double stageHeightPx, double fps, int version = 10);

    // The next free character id (ids start at 1).
    std::uint16_t nextId() const { return m_nextId; }

    void setBackgroundColor(Rgba color);
    std::uint16_t defineShape(const ShapeBuilder& shape);
    std::uint16_t defineShape(const Shape& shape);
    std::uint16_t defineMorphShape(const MorphShape& morph);
    // DefineBitsLossless (tagVersion 1: opaque) or DefineBitsLossless2
    // (tagVersion 2: with alpha, premultiplied in the file); 0 picks 2 when
    // the image has an alpha channel. Auto format: Argb32. Colormapped8 needs
    // an image of at most 256 colours; Rgb15 exists in version 1 only.
    std::uint16_t defineBitsLossless(const QImage& image, LosslessFormat format = LosslessFormat::Auto, int tagVersion = 0);
    // DefineBitsJPEG2 (opaque) from a JPEG Qt encodes at `quality`.
    std::uint16_t defineBitsJpeg2(const QImage& image, int quality = 90);
    // DefineBitsJPEG3: the colours as JPEG, the alpha plane zlib-compressed.
    std::uint16_t defineBitsJpeg3(const QImage& image, int quality = 90);
    // DefineBitsJPEG2 with the data as given (JPEG, PNG or GIF).
    std::uint16_t defineBitsJpeg2Data(const QByteArray& data);
    // DefineBits: the JPEG is split into tables (one JPEGTables tag per
    // movie, written the first time) and image data.
    std::uint16_t defineBits(const QImage& image, int quality = 90);
    std::uint16_t defineFont(const Font& font);
    std::uint16_t defineText(const Text& text);
    std::uint16_t defineEditText(const EditText& edit);
    std::uint16_t defineButton(const Button& button);
    std::uint16_t defineSprite(const SpriteBuilder& sprite);
    // A character tag of any code whose body starts with the new id.
    std::uint16_t defineRaw(int code, const QByteArray& bodyAfterId);

    // Header, tags, End. Frame count: the number of showFrame() calls.
    QByteArray finish(Compression compression = Compression::None) const;

private:
    std::uint16_t take() { return m_nextId++; }
    int m_version;
    Rect m_stage;
    double m_fps;
    std::uint16_t m_nextId = 1;
    bool m_wroteTables = false;
};

// JPEG bytes of image (opaque) at quality.
QByteArray encodeJpeg(const QImage& image, int quality = 90);

} // namespace qev::swf::writer
