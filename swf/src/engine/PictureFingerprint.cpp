#include "engine/PictureFingerprint.h"

#include "engine/TextField.h"

#include <bit>
#include <cstring>

namespace qev::swf::engine {
namespace {

// Mixes 64-bit words into a running digest (a multiply-xorshift step, as
// in common non-cryptographic hashes); collisions between two successive
// frames are what matters, and those are vanishingly rare.
class Digest {
public:
    void add(std::uint64_t v)
    {
        h_ ^= v + 0x9E3779B97F4A7C15ull + (h_ << 6) + (h_ >> 2);
        h_ *= 0xBF58476D1CE4E5B9ull;
        h_ ^= h_ >> 31;
    }
    void add(double v) { add(std::bit_cast<std::uint64_t>(v)); }
    void add(float v) { add(std::uint64_t(std::bit_cast<std::uint32_t>(v))); }
    void add(bool v) { add(std::uint64_t(v)); }
    void add(std::uint8_t v) { add(std::uint64_t(v)); }
    void add(std::int16_t v) { add(std::uint64_t(std::uint16_t(v))); }
    void add(std::uint16_t v) { add(std::uint64_t(v)); }
    void add(int v) { add(std::uint64_t(std::uint32_t(v))); }
    void add(Rgba c) { add((std::uint64_t(c.r) << 24) | (std::uint64_t(c.g) << 16) | (std::uint64_t(c.b) << 8) | c.a); }
    std::uint64_t value() const { return h_; }

    template <typename... T>
    void all(const T&... v)
    {
        (add(v), ...);
    }

private:
    std::uint64_t h_ = 0x243F6A8885A308D3ull;
};

void addFilter(Digest& d, const Filter& filter)
{
    d.add(std::uint64_t(filter.index()));
    std::visit(
        [&](const auto& f) {
            using F = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<F, DropShadowFilter>) {
                d.all(f.color, f.blurX, f.blurY, f.angle, f.distance, f.strength, f.inner, f.knockout,
                      f.compositeSource, f.passes);
            } else if constexpr (std::is_same_v<F, BlurFilter>) {
                d.all(f.blurX, f.blurY, f.passes);
            } else if constexpr (std::is_same_v<F, GlowFilter>) {
                d.all(f.color, f.blurX, f.blurY, f.strength, f.inner, f.knockout, f.compositeSource, f.passes);
            } else if constexpr (std::is_same_v<F, BevelFilter>) {
                d.all(f.shadowColor, f.highlightColor, f.blurX, f.blurY, f.angle, f.distance, f.strength, f.inner,
                      f.knockout, f.compositeSource, f.onTop, f.passes);
            } else if constexpr (std::is_same_v<F, GradientFilter>) {
                d.all(f.bevel, f.blurX, f.blurY, f.angle, f.distance, f.strength, f.inner, f.knockout,
                      f.compositeSource, f.onTop, f.passes);
                for (const GradientRecord& r : f.colors)
                    d.all(r.ratio, r.color);
            } else if constexpr (std::is_same_v<F, ConvolutionFilter>) {
                d.all(f.matrixX, f.matrixY, f.divisor, f.bias, f.defaultColor, f.clamp, f.preserveAlpha);
                for (float v : f.matrix)
                    d.add(v);
            } else if constexpr (std::is_same_v<F, ColorMatrixFilter>) {
                for (float v : f.matrix)
                    d.add(v);
            }
        },
        filter);
}

void addList(Digest& d, const TimelineState& t);

void addObject(Digest& d, int depth, const Instance& inst)
{
    {
        d.all(depth, inst.characterId, inst.ratio, inst.clipDepth, inst.visible, inst.cacheAsBitmap,
              std::uint8_t(inst.blendMode), inst.buttonState, inst.scriptMask, inst.isScriptMask);
        const Matrix& m = inst.matrix;
        d.all(m.a, m.b, m.c, m.d, m.tx, m.ty);
        const ColorTransform& c = inst.colorTransform;
        d.all(c.rMul, c.gMul, c.bMul, c.aMul, c.rAdd, c.gAdd, c.bAdd, c.aAdd);
        d.add(inst.backgroundColor.has_value());
        if (inst.backgroundColor)
            d.add(*inst.backgroundColor);
        d.add(std::uint64_t(inst.filters.size()));
        for (const Filter& f : inst.filters)
            addFilter(d, f);
        // A text field's content and looks change with its revision.
        if (inst.textField)
            d.add(inst.textField->revision);
        // A stream's picture: which image, and how it is scaled.
        if (inst.attachedVideo)
            d.all(std::uint8_t(3), std::uint64_t(inst.attachedVideo->picture.cacheKey()), inst.attachedVideo->smoothing);
        // What an object holds: 1 marks a sprite's list, 2 a button's face.
        for (const TimelineState& s : inst.sprite) {
            d.add(std::uint64_t(1));
            addList(d, s);
        }
        for (const TimelineState& face : inst.buttonFace) {
            d.add(std::uint64_t(2));
            addList(d, face);
        }
    }
}

void addList(Digest& d, const TimelineState& t)
{
    d.add(t.drawing ? t.drawing->revision : std::uint64_t(0));
    d.add(std::uint64_t(t.list.size()));
    for (const auto& [depth, inst] : t.list)
        addObject(d, depth, inst);
}

} // namespace

std::uint64_t pictureFingerprint(const RootState& state)
{
    Digest d;
    d.add(state.background);
    addList(d, state.main);
    return d.value();
}

std::uint64_t objectFingerprint(int depth, const Instance& instance)
{
    Digest d;
    addObject(d, depth, instance);
    return d.value();
}

} // namespace qev::swf::engine
