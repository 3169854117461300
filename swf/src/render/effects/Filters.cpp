#include "render/effects/Filters.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::effects {

namespace {

constexpr int kMaxPasses = 15;

enum class BevelType { Inner, Outer, Full };

struct GradientStop {
    int ratio = 0;
    QColor color;
};

int clamp255(int v) { return std::clamp(v, 0, 255); }

// Exact rounding of a * b / 255 for a, b in 0..255.
int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

int passCount(int passes) { return std::clamp(passes, 0, kMaxPasses); }

// Pixels a box of the given width reaches on either side of its centre.
int boxReach(double width)
{
    if (!(width > 1.0))
        return 0;
    return int(std::ceil((std::min(width, 4096.0) - 1.0) / 2.0));
}

// The weights of a centred box of `width` samples: `inner` samples each side
// of the centre at full weight (256), and one more each side carrying the
// fractional part of the width, so the blur grows smoothly as the stage
// scales. Samples outside the image count as zero.
struct Box {
    int inner = 0;
    int edge = 0;  // weight of the two end samples, 0..255
    int total = 0; // sum of all weights
    double scale = 0;

    explicit Box(double width)
    {
        width = std::min(width, 4096.0);
        const double radius = (width - 1.0) / 2.0;
        inner = int(std::floor(radius));
        edge = int(std::lround((radius - inner) * 256.0));
        if (edge == 256) {
            ++inner;
            edge = 0;
        }
        total = 256 * (2 * inner + 1) + 2 * edge;
        scale = 1.0 / total;
    }
    // The weighted sum divided by the total weight, rounded (half up).
    std::uint8_t average(std::int64_t sum) const
    {
        return std::uint8_t(std::min<std::int64_t>(255, std::int64_t(double(sum) * scale + 0.5 + 1e-9)));
    }
};

// One horizontal pass over rows of C interleaved 8-bit channels. Samples
// outside the row count as zero. A box as wide as the row, or wider, covers
// all of it wherever it stands, so every sample becomes the row's average;
// otherwise the padding is narrower than the row, and the cost follows the
// image, not the width of the box.
template <int C>
void boxRows(std::uint8_t* data, int width, int height, std::size_t stride, const Box& box)
{
    if (box.inner >= width - 1) {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = data + std::size_t(y) * stride;
            std::int64_t sums[C] = {};
            for (int i = 0; i < width * C; ++i)
                sums[i % C] += row[i];
            for (int i = 0; i < width * C; ++i)
                row[i] = box.average(256 * sums[i % C]);
        }
        return;
    }
    const int reach = box.inner + 1;
    std::vector<int> line(std::size_t(width + 2 * reach) * C, 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = data + std::size_t(y) * stride;
        for (int i = 0; i < width * C; ++i)
            line[std::size_t(reach * C + i)] = row[i];
        // line[k] holds sample k - reach.
        int sums[C] = {};
        for (int k = -box.inner; k <= box.inner; ++k)
            for (int c = 0; c < C; ++c)
                sums[c] += line[std::size_t((k + reach) * C + c)];
        for (int x = 0; x < width; ++x) {
            const int* lo = &line[std::size_t((x - box.inner - 1 + reach) * C)];
            const int* hi = &line[std::size_t((x + box.inner + 1 + reach) * C)];
            for (int c = 0; c < C; ++c) {
                const std::int64_t sum = 256 * std::int64_t(sums[c]) + std::int64_t(box.edge) * (lo[c] + hi[c]);
                row[x * C + c] = box.average(sum);
                // Move the window one sample on.
                sums[c] += hi[c] - lo[c + C];
            }
        }
    }
}

// One vertical pass: every column at once, row after row, so the data is
// read in order.
template <int C>
void boxColumns(std::uint8_t* data, int width, int height, std::size_t stride, const Box& box)
{
    const std::size_t rowBytes = std::size_t(width) * C;
    std::vector<std::uint8_t> source(std::size_t(height) * rowBytes);
    for (int y = 0; y < height; ++y)
        std::copy_n(data + std::size_t(y) * stride, rowBytes, source.begin() + std::ptrdiff_t(std::size_t(y) * rowBytes));
    auto rowAt = [&](int y) -> const std::uint8_t* {
        return y >= 0 && y < height ? source.data() + std::size_t(y) * rowBytes : nullptr;
    };
    std::vector<int> sums(rowBytes, 0);
    for (int k = -box.inner; k <= box.inner; ++k)
        if (const std::uint8_t* r = rowAt(k))
            for (std::size_t i = 0; i < rowBytes; ++i)
                sums[i] += r[i];
    // A box as tall as the column, or taller, covers all of it wherever it
    // stands: every sample of the column becomes the same average.
    if (box.inner >= height - 1) {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* out = data + std::size_t(y) * stride;
            for (std::size_t i = 0; i < rowBytes; ++i)
                out[i] = box.average(256 * std::int64_t(sums[i]));
        }
        return;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = data + std::size_t(y) * stride;
        const std::uint8_t* above = rowAt(y - box.inner - 1);
        const std::uint8_t* below = rowAt(y + box.inner + 1);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int edges = (above ? above[i] : 0) + (below ? below[i] : 0);
            out[i] = box.average(256 * std::int64_t(sums[i]) + std::int64_t(box.edge) * edges);
        }
        // Move the window one row on.
        const std::uint8_t* leaving = rowAt(y - box.inner);
        if (below)
            for (std::size_t i = 0; i < rowBytes; ++i)
                sums[i] += below[i];
        if (leaving)
            for (std::size_t i = 0; i < rowBytes; ++i)
                sums[i] -= leaving[i];
    }
}

template <int C>
void boxBlur(std::uint8_t* data, int width, int height, std::size_t stride, double blurX, double blurY, int passes)
{
    for (int p = 0; p < passes; ++p) {
        if (blurX > 1.0)
            boxRows<C>(data, width, height, stride, Box(blurX));
        if (blurY > 1.0)
            boxColumns<C>(data, width, height, stride, Box(blurY));
    }
}

std::vector<std::uint8_t> alphaPlane(const QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<std::uint8_t> plane(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            plane[size_t(y) * size_t(w) + size_t(x)] = std::uint8_t(qAlpha(row[x]));
    }
    return plane;
}

// plane moved by (dx, dy); uncovered pixels take `fill`.
std::vector<std::uint8_t> shifted(const std::vector<std::uint8_t>& plane, int w, int h, int dx, int dy,
                            std::uint8_t fill)
{
    if (dx == 0 && dy == 0)
        return plane;
    std::vector<std::uint8_t> out(plane.size(), fill);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h)
            continue;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx >= 0 && sx < w)
                out[size_t(y) * size_t(w) + size_t(x)] = plane[size_t(sy) * size_t(w) + size_t(sx)];
        }
    }
    return out;
}

void applyStrength(std::vector<std::uint8_t>& plane, double strength)
{
    if (strength == 1.0)
        return;
    const int s256 = int(std::lround(std::clamp(strength, 0.0, 255.0) * 256.0));
    for (auto& v : plane)
        v = std::uint8_t(std::min(255, (v * s256 + 128) >> 8));
}

struct Premul {
    int r, g, b, a;
};

Premul premul(const QColor& c)
{
    const int a = c.alpha();
    return {mul255(c.red(), a), mul255(c.green(), a), mul255(c.blue(), a), a};
}

QRgb scaleColor(const Premul& c, int amount)
{
    return qRgba(mul255(c.r, amount), mul255(c.g, amount), mul255(c.b, amount), mul255(c.a, amount));
}

QRgb scaleRgb(QRgb p, int amount)
{
    return qRgba(mul255(qRed(p), amount), mul255(qGreen(p), amount), mul255(qBlue(p), amount),
                 mul255(qAlpha(p), amount));
}

// top over bottom, both premultiplied.
QRgb over(QRgb top, QRgb bottom)
{
    const int inv = 255 - qAlpha(top);
    return qRgba(std::min(255, qRed(top) + mul255(qRed(bottom), inv)),
                 std::min(255, qGreen(top) + mul255(qGreen(bottom), inv)),
                 std::min(255, qBlue(top) + mul255(qBlue(bottom), inv)),
                 std::min(255, qAlpha(top) + mul255(qAlpha(bottom), inv)));
}

std::pair<int, int> offsetOf(double angle, double distance)
{
    return {int(std::lround(std::cos(angle) * distance)), int(std::lround(std::sin(angle) * distance))};
}

// The intensity plane shared by the drop shadow, the glow and the gradient
// glow: the (inverted, for inner) alpha moved by the offset, blurred, scaled.
std::vector<std::uint8_t> shadowPlane(const std::vector<std::uint8_t>& alpha, int w, int h, bool inner, int dx,
                                int dy, double blurX, double blurY, int passes, double strength)
{
    std::vector<std::uint8_t> s = alpha;
    if (inner)
        for (auto& v : s)
            v = std::uint8_t(255 - v);
    s = shifted(s, w, h, dx, dy, inner ? 255 : 0);
    blurPlane(s, w, h, blurX, blurY, passes);
    applyStrength(s, strength);
    return s;
}

enum class Mode { Outer, Inner, Full };

// Puts the effect colour (premultiplied, per pixel) together with the source.
void composite(QImage& image, const std::vector<QRgb>& effect, const std::vector<std::uint8_t>& alpha,
               Mode mode, bool knockout, bool hideObject)
{
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const QRgb src = row[x];
            const int a = alpha[i];
            QRgb fx = effect[i];
            switch (mode) {
            case Mode::Outer:
                if (knockout)
                    row[x] = scaleRgb(fx, 255 - a);
                else if (hideObject)
                    row[x] = fx;
                else
                    row[x] = over(src, fx);
                break;
            case Mode::Inner:
                fx = scaleRgb(fx, a);
                if (knockout || hideObject) {
                    row[x] = fx;
                } else {
                    // The effect is drawn on the source only: source alpha stays.
                    const int fa = qAlpha(effect[i]);
                    const QRgb kept = scaleRgb(src, 255 - fa);
                    row[x] = qRgba(std::min(255, qRed(fx) + qRed(kept)),
                                   std::min(255, qGreen(fx) + qGreen(kept)),
                                   std::min(255, qBlue(fx) + qBlue(kept)), a);
                }
                break;
            case Mode::Full:
                if (knockout || hideObject)
                    row[x] = fx;
                else
                    row[x] = over(fx, src);
                break;
            }
        }
    }
}

void applyShadow(QImage& image, const QColor& color, double blurX, double blurY, double angle,
                 double distance, double strength, int passes, bool inner, bool knockout,
                 bool hideObject)
{
    const int w = image.width();
    const int h = image.height();
    const auto alpha = alphaPlane(image);
    const auto [dx, dy] = offsetOf(angle, distance);
    const auto s = shadowPlane(alpha, w, h, inner, dx, dy, blurX, blurY, passes, strength);
    const Premul c = premul(color);
    std::vector<QRgb> effect(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        effect[i] = scaleColor(c, s[i]);
    composite(image, effect, alpha, inner ? Mode::Inner : Mode::Outer, knockout, hideObject);
}

Mode maskOf(BevelType type)
{
    switch (type) {
    case BevelType::Inner: return Mode::Inner;
    case BevelType::Outer: return Mode::Outer;
    case BevelType::Full: return Mode::Full;
    }
    return Mode::Inner;
}

// Blurred alpha seen from the light (p + offset) minus from the shadow side
// (p - offset), scaled by strength: positive where the edge faces away from
// the light.
std::vector<int> bevelDifference(const std::vector<std::uint8_t>& alpha, int w, int h, double blurX,
                                 double blurY, double angle, double distance, double strength,
                                 int passes)
{
    std::vector<std::uint8_t> b = alpha;
    blurPlane(b, w, h, blurX, blurY, passes);
    const auto [dx, dy] = offsetOf(angle, distance);
    const auto towards = shifted(b, w, h, dx, dy, 0);   // b(p - d)
    const auto away = shifted(b, w, h, -dx, -dy, 0);    // b(p + d)
    const double s = std::clamp(strength, 0.0, 255.0);
    std::vector<int> diff(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        diff[i] = std::clamp(int(std::lround((int(towards[i]) - int(away[i])) * s)), -255, 255);
    return diff;
}

void applyBevel(QImage& image, const QColor& highlight, const QColor& shadow, double blurX,
                double blurY, double angle, double distance, double strength, int passes,
                BevelType type, bool knockout, bool hideObject)
{
    const int w = image.width();
    const int h = image.height();
    const auto alpha = alphaPlane(image);
    const auto diff = bevelDifference(alpha, w, h, blurX, blurY, angle, distance, strength, passes);
    const Premul hi = premul(highlight);
    const Premul lo = premul(shadow);
    std::vector<QRgb> effect(diff.size());
    for (size_t i = 0; i < diff.size(); ++i)
        effect[i] = diff[i] >= 0 ? scaleColor(lo, diff[i]) : scaleColor(hi, -diff[i]);
    composite(image, effect, alpha, maskOf(type), knockout, hideObject);
}

std::array<QRgb, 256> gradientTable(const std::vector<GradientStop>& stops)
{
    std::array<QRgb, 256> table{};
    if (stops.empty())
        return table;
    for (int i = 0; i < 256; ++i) {
        const GradientStop* before = &stops.front();
        const GradientStop* after = &stops.back();
        for (const auto& s : stops) {
            if (s.ratio <= i)
                before = &s;
        }
        for (auto it = stops.rbegin(); it != stops.rend(); ++it) {
            if (it->ratio >= i)
                after = &*it;
        }
        QColor c = before->color;
        if (i <= stops.front().ratio) {
            c = stops.front().color;
        } else if (i >= stops.back().ratio) {
            c = stops.back().color;
        } else if (after->ratio > before->ratio) {
            const double t = double(i - before->ratio) / double(after->ratio - before->ratio);
            const auto mix = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
            c = QColor(mix(before->color.red(), after->color.red()),
                       mix(before->color.green(), after->color.green()),
                       mix(before->color.blue(), after->color.blue()),
                       mix(before->color.alpha(), after->color.alpha()));
        }
        const Premul p = premul(c);
        table[size_t(i)] = qRgba(p.r, p.g, p.b, p.a);
    }
    return table;
}

void applyGradient(QImage& image, bool bevel, const std::vector<GradientStop>& stops, double blurX,
                   double blurY, double angle, double distance, double strength, int passes,
                   BevelType type, bool knockout, bool hideObject)
{
    const int w = image.width();
    const int h = image.height();
    const auto alpha = alphaPlane(image);
    const auto table = gradientTable(stops);
    std::vector<QRgb> effect(alpha.size());
    if (bevel) {
        const auto diff = bevelDifference(alpha, w, h, blurX, blurY, angle, distance, strength, passes);
        for (size_t i = 0; i < diff.size(); ++i)
            effect[i] = table[size_t(clamp255((diff[i] + 256) / 2))]; // -255..255 onto 0..255
    } else {
        const auto [dx, dy] = offsetOf(angle, distance);
        const bool inner = type == BevelType::Inner;
        const auto s = shadowPlane(alpha, w, h, inner, dx, dy, blurX, blurY, passes, strength);
        for (size_t i = 0; i < s.size(); ++i)
            effect[i] = table[s[i]];
    }
    composite(image, effect, alpha, maskOf(type), knockout, hideObject);
}

struct Straight {
    float r, g, b, a;
};

Straight straight(QRgb p)
{
    const int a = qAlpha(p);
    if (a == 0)
        return {0, 0, 0, 0};
    const float k = 255.0f / float(a);
    return {qRed(p) * k, qGreen(p) * k, qBlue(p) * k, float(a)};
}

QRgb premulRounded(float r, float g, float b, float a)
{
    const int ia = clamp255(int(std::lround(a)));
    const auto ch = [ia](float v) { return mul255(clamp255(int(std::lround(v))), ia); };
    return qRgba(ch(r), ch(g), ch(b), ia);
}

void applyConvolution(QImage& image, const ConvolutionFilter& f)
{
    const int columns = f.matrixX;
    const int rows = f.matrixY;
    if (columns <= 0 || rows <= 0 || f.matrix.size() < size_t(columns) * size_t(rows))
        return;
    const int w = image.width();
    const int h = image.height();
    const QImage src = image.copy();
    // A zero divisor would blow every pixel up; it is read as 1.
    const float divisor = f.divisor == 0.0f ? 1.0f : f.divisor;
    const Straight outside{float(f.defaultColor.r), float(f.defaultColor.g), float(f.defaultColor.b),
                           float(f.defaultColor.a)};
    const int cx = columns / 2;
    const int cy = rows / 2;
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int j = 0; j < rows; ++j) {
                for (int i = 0; i < columns; ++i) {
                    const float m = f.matrix[size_t(j) * size_t(columns) + size_t(i)];
                    if (m == 0.0f)
                        continue;
                    int sx = x + i - cx;
                    int sy = y + j - cy;
                    Straight p = outside;
                    if (sx >= 0 && sx < w && sy >= 0 && sy < h) {
                        p = straight(reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx]);
                    } else if (f.clamp) {
                        sx = std::clamp(sx, 0, w - 1);
                        sy = std::clamp(sy, 0, h - 1);
                        p = straight(reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx]);
                    }
                    r += m * p.r;
                    g += m * p.g;
                    b += m * p.b;
                    a += m * p.a;
                }
            }
            const float sa = float(qAlpha(reinterpret_cast<const QRgb*>(src.constScanLine(y))[x]));
            const float outA = f.preserveAlpha ? sa : a / divisor + f.bias;
            out[x] = premulRounded(r / divisor + f.bias, g / divisor + f.bias, b / divisor + f.bias, outA);
        }
    }
}

void applyColorMatrix(QImage& image, const std::array<float, 20>& m)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const Straight p = straight(row[x]);
            const auto channel = [&](int k) {
                return m[size_t(k)] * p.r + m[size_t(k) + 1] * p.g + m[size_t(k) + 2] * p.b +
                       m[size_t(k) + 3] * p.a + m[size_t(k) + 4];
            };
            row[x] = premulRounded(channel(0), channel(5), channel(10), channel(15));
        }
    }
}

QImage& ensureFormat(QImage& image)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

// Rounds up, ignoring the last bits of error of sin and cos.
int ceilAbs(double v) { return int(std::ceil(std::min(std::abs(v), 4096.0) - 1e-9)); }

} // namespace

void blurPlane(std::vector<std::uint8_t>& plane, int width, int height, double blurX, double blurY,
               int passes)
{
    if (width <= 0 || height <= 0 || plane.size() < size_t(width) * size_t(height))
        return;
    boxBlur<1>(plane.data(), width, height, std::size_t(width), blurX, blurY, passCount(passes));
}

void blur(QImage& image, double blurX, double blurY, int passes)
{
    if ((!(blurX > 1.0) && !(blurY > 1.0)) || passCount(passes) == 0 || image.isNull())
        return;
    ensureFormat(image);
    // Each channel is blurred on its own; the same weights on premultiplied
    // values keep every colour at or below its alpha.
    boxBlur<4>(image.bits(), image.width(), image.height(), std::size_t(image.bytesPerLine()), blurX, blurY,
               passCount(passes));
}

int blurReach(double width, int passes) { return boxReach(width) * passCount(passes); }

namespace {

QColor toColor(const Rgba& c) { return QColor(c.r, c.g, c.b, c.a); }

BevelType typeOf(bool inner, bool onTop)
{
    if (onTop)
        return BevelType::Full;
    return inner ? BevelType::Inner : BevelType::Outer;
}

QMargins blurMargins(double bx, double by, int passes)
{
    const int x = blurReach(bx, passes);
    const int y = blurReach(by, passes);
    return QMargins(x, y, x, y);
}

QMargins offsetMargins(QMargins m, double angle, double distance)
{
    const int dx = ceilAbs(std::cos(angle) * distance);
    const int dy = ceilAbs(std::sin(angle) * distance);
    return m + QMargins(dx, dy, dx, dy);
}

} // namespace

QMargins filterPadding(const Filter& filter, double scale)
{
    return std::visit(
        [scale](const auto& f) -> QMargins {
            using T = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<T, BlurFilter>) {
                return blurMargins(f.blurX * scale, f.blurY * scale, f.passes);
            } else if constexpr (std::is_same_v<T, DropShadowFilter>) {
                if (f.inner)
                    return {};
                return offsetMargins(blurMargins(f.blurX * scale, f.blurY * scale, f.passes), f.angle,
                                     f.distance * scale);
            } else if constexpr (std::is_same_v<T, GlowFilter>) {
                return f.inner ? QMargins() : blurMargins(f.blurX * scale, f.blurY * scale, f.passes);
            } else if constexpr (std::is_same_v<T, BevelFilter> || std::is_same_v<T, GradientFilter>) {
                if (f.inner && !f.onTop)
                    return {};
                return offsetMargins(blurMargins(f.blurX * scale, f.blurY * scale, f.passes), f.angle,
                                     f.distance * scale);
            } else {
                return {};
            }
        },
        filter);
}

QMargins filterPadding(const std::vector<Filter>& filters, double scale)
{
    QMargins total;
    for (const auto& f : filters)
        total += filterPadding(f, scale);
    return total;
}

void applyFilter(QImage& image, const Filter& filter, double scale)
{
    if (image.isNull())
        return;
    ensureFormat(image);
    std::visit(
        [&image, scale](const auto& f) {
            using T = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<T, BlurFilter>) {
                blur(image, f.blurX * scale, f.blurY * scale, f.passes);
            } else if constexpr (std::is_same_v<T, DropShadowFilter>) {
                applyShadow(image, toColor(f.color), f.blurX * scale, f.blurY * scale, f.angle,
                            f.distance * scale, f.strength, f.passes, f.inner, f.knockout,
                            !f.compositeSource);
            } else if constexpr (std::is_same_v<T, GlowFilter>) {
                applyShadow(image, toColor(f.color), f.blurX * scale, f.blurY * scale, 0.0, 0.0,
                            f.strength, f.passes, f.inner, f.knockout, !f.compositeSource);
            } else if constexpr (std::is_same_v<T, BevelFilter>) {
                // The colour stored first lights the side the angle points
                // away from, whatever the format's field names say.
                applyBevel(image, toColor(f.shadowColor), toColor(f.highlightColor), f.blurX * scale,
                           f.blurY * scale, f.angle, f.distance * scale, f.strength, f.passes,
                           typeOf(f.inner, f.onTop), f.knockout, !f.compositeSource);
            } else if constexpr (std::is_same_v<T, GradientFilter>) {
                std::vector<GradientStop> stops;
                for (const auto& c : f.colors)
                    stops.push_back({c.ratio, toColor(c.color)});
                applyGradient(image, f.bevel, stops, f.blurX * scale, f.blurY * scale, f.angle,
                              f.distance * scale, f.strength, f.passes, typeOf(f.inner, f.onTop),
                              f.knockout, !f.compositeSource);
            } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
                applyConvolution(image, f);
            } else if constexpr (std::is_same_v<T, ColorMatrixFilter>) {
                applyColorMatrix(image, f.matrix);
            }
        },
        filter);
}

void applyFilters(QImage& image, const std::vector<Filter>& filters, double scale)
{
    for (const auto& f : filters)
        applyFilter(image, f, scale);
}

} // namespace qev::swf::effects
