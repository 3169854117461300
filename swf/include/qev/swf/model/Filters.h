#pragma once

// Display filters and blend modes of PlaceObject3 and button records.
// Fixed-point fields are converted to double/float: blur sizes, angles
// (radians) and distances (pixels) from 16.16; strengths from 8.8.

#include <qev/swf/model/Geometry.h>
#include <qev/swf/model/Styles.h>

#include <array>
#include <cstdint>
#include <variant>
#include <vector>

namespace qev::swf {

enum class BlendMode : std::uint8_t {
    Normal = 1, // 0 in a file also means Normal
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    HardLight = 14,
};

struct DropShadowFilter {
    Rgba color;
    double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true;
    std::uint8_t passes = 1;
    friend bool operator==(const DropShadowFilter&, const DropShadowFilter&) = default;
};

struct BlurFilter {
    double blurX = 0, blurY = 0;
    std::uint8_t passes = 1;
    friend bool operator==(const BlurFilter&, const BlurFilter&) = default;
};

struct GlowFilter {
    Rgba color;
    double blurX = 0, blurY = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true;
    std::uint8_t passes = 1;
    friend bool operator==(const GlowFilter&, const GlowFilter&) = default;
};

// Colours in file order: shadow first, then highlight.
struct BevelFilter {
    Rgba shadowColor;
    Rgba highlightColor;
    double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    std::uint8_t passes = 1;
    friend bool operator==(const BevelFilter&, const BevelFilter&) = default;
};

// GradientGlow and GradientBevel share their layout.
struct GradientFilter {
    bool bevel = false; // false: GradientGlow (id 4), true: GradientBevel (id 7)
    std::vector<GradientRecord> colors;
    double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    std::uint8_t passes = 1;
    friend bool operator==(const GradientFilter&, const GradientFilter&) = default;
};

struct ConvolutionFilter {
    std::uint8_t matrixX = 0, matrixY = 0;
    float divisor = 1, bias = 0;
    std::vector<float> matrix; // matrixX * matrixY values, row by row
    Rgba defaultColor;
    bool clamp = true, preserveAlpha = true;
    friend bool operator==(const ConvolutionFilter&, const ConvolutionFilter&) = default;
};

// 4x5 matrix, row by row: R' = m[0]*R + m[1]*G + m[2]*B + m[3]*A + m[4], ...
// (offsets in 0..255 units).
struct ColorMatrixFilter {
    std::array<float, 20> matrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    friend bool operator==(const ColorMatrixFilter&, const ColorMatrixFilter&) = default;
};

using Filter = std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientFilter,
                            ConvolutionFilter, ColorMatrixFilter>;

} // namespace qev::swf
