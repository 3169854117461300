#pragma once

// Basic values of the movie format: twips, points, rectangles, matrices,
// colours and colour transforms.
//
// Units: every coordinate, width and offset in the model is in twips
// (1/20 pixel) unless its comment says otherwise. Stage pixels = twips / 20.

#include <QtGlobal>

#include <algorithm>
#include <cstdint>

QT_BEGIN_NAMESPACE
class QTransform;
QT_END_NAMESPACE

namespace qev::swf {

using Twips = std::int32_t;

inline constexpr int kTwipsPerPixel = 20;

struct Point {
    Twips x = 0;
    Twips y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Stored as the format stores it: xMin, xMax, yMin, yMax (twips).
struct Rect {
    Twips xMin = 0;
    Twips xMax = 0;
    Twips yMin = 0;
    Twips yMax = 0;

    Twips width() const { return xMax - xMin; }
    Twips height() const { return yMax - yMin; }
    bool isEmpty() const { return xMax <= xMin || yMax <= yMin; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// An affine matrix as the format defines it:
//   x' = a*x + c*y + tx
//   y' = b*x + d*y + ty
// a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY (read from 16.16
// fixed point, so they hold exact multiples of 1/65536); tx, ty in twips.
struct Matrix {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    Twips tx = 0;
    Twips ty = 0;

    bool isIdentity() const { return a == 1.0 && b == 0.0 && c == 0.0 && d == 1.0 && tx == 0 && ty == 0; }
    // The same mapping as a QTransform (twips to twips). A template so that
    // the model and the reader need no Qt Gui: only code that draws or
    // places things, which includes <QTransform>, makes one.
    template <typename Transform = QTransform>
    Transform toTransform() const
    {
        return Transform(a, b, c, d, tx, ty);
    }
    static Matrix translate(Twips x, Twips y) { Matrix m; m.tx = x; m.ty = y; return m; }
    static Matrix scale(double sx, double sy) { Matrix m; m.a = sx; m.d = sy; return m; }
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

// A colour with straight (not premultiplied) alpha. Colours read without
// alpha (RGB records) get alpha 255.
struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Colour transform: channel' = clamp(channel * mul / 256 + add, 0, 255).
// Multipliers are 8.8 fixed point (256 = 1.0), additions in 0..255 units, both
// may be negative. A transform read without alpha terms has aMul 256, aAdd 0.
struct ColorTransform {
    std::int16_t rMul = 256, gMul = 256, bMul = 256, aMul = 256;
    std::int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const
    {
        return rMul == 256 && gMul == 256 && bMul == 256 && aMul == 256 && rAdd == 0 && gAdd == 0 && bAdd == 0
            && aAdd == 0;
    }
    Rgba apply(Rgba c) const
    {
        auto ch = [](int v, int mul, int add) { return std::uint8_t(std::clamp(v * mul / 256 + add, 0, 255)); };
        return Rgba{ch(c.r, rMul, rAdd), ch(c.g, gMul, gAdd), ch(c.b, bMul, bAdd), ch(c.a, aMul, aAdd)};
    }
    friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

} // namespace qev::swf
