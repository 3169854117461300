#pragma once

// Fill and line styles of shapes, morph shapes and line fills.

#include <qev/swf/model/Geometry.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

enum class SpreadMode : std::uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : std::uint8_t { Normal = 0, Linear = 1 }; // Normal = sRGB space, Linear = linear RGB

struct GradientRecord {
    std::uint8_t ratio = 0; // 0..255 position along the gradient
    Rgba color;
    friend bool operator==(const GradientRecord&, const GradientRecord&) = default;
};

// A gradient is defined in the "gradient square": linear gradients run from
// x = -16384 to x = +16384 twips; radial gradients are a circle of radius
// 16384 twips centred on (0, 0). The fill's matrix maps that square into the
// shape's coordinates. Records are in file order (ratios non-decreasing in
// well-formed files; not enforced).
struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Normal;
    std::vector<GradientRecord> records;
    // Focal radial gradients only: focal point on the x axis, -1.0..1.0 of the
    // radius (read from 8.8 fixed point).
    double focalPoint = 0.0;
    friend bool operator==(const Gradient&, const Gradient&) = default;
};

struct FillStyle {
    // File type codes: 0x00 solid, 0x10 linear, 0x12 radial, 0x13 focal
    // radial, 0x40..0x43 bitmap (repeating/clipped, smoothed/not).
    enum class Kind : std::uint8_t { Solid, LinearGradient, RadialGradient, FocalRadialGradient, Bitmap };

    Kind kind = Kind::Solid;
    Rgba color;          // Solid
    Gradient gradient;   // the three gradient kinds
    // Gradients: gradient square -> shape space. Bitmaps: bitmap pixels ->
    // shape space (twips); an unscaled bitmap fill has a = d = 20.
    Matrix matrix;
    std::uint16_t bitmapId = 0; // Bitmap; 0xFFFF or an unknown id means "no bitmap" (draw nothing / a fallback)
    bool repeating = true;      // Bitmap: tiled (0x40/0x42) or clipped with edge pixels extended (0x41/0x43)
    bool smoothed = true;       // Bitmap: 0x40/0x41 smoothed, 0x42/0x43 not

    bool isGradient() const
    {
        return kind == Kind::LinearGradient || kind == Kind::RadialGradient || kind == Kind::FocalRadialGradient;
    }
    friend bool operator==(const FillStyle&, const FillStyle&) = default;
};

enum class CapStyle : std::uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : std::uint8_t { Round = 0, Bevel = 1, Miter = 2 };

// A line style. Lines of DefineShape 1..3 only carry width and colour (the
// other fields keep their defaults, which match how those lines are drawn:
// round caps and joins). DefineShape4 lines carry everything.
struct LineStyle {
    std::uint16_t width = 20; // twips; 0 means a hairline (one pixel wide whatever the scale)
    Rgba color;               // unused when fill is set
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0; // Miter joins only (read from 8.8 fixed point)
    bool noHScale = false;   // width not scaled horizontally by transforms
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;    // a closed path gets no join where it meets itself
    std::optional<FillStyle> fill; // the line is painted with this fill instead of color
    friend bool operator==(const LineStyle&, const LineStyle&) = default;
};

} // namespace qev::swf
