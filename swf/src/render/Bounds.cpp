// How far an object reaches on the device, for redrawing only the part of
// the stage that changed. Objects whose drawing reaches past their own
// outline in ways not worth working out (filters, blend modes) report
// nothing, and the whole stage is drawn again.

#include "render/Renderer.h"

namespace qev::swf::render {
namespace {

// Edges anti-aliased, hairlines one device pixel wide and rounding: every
// object may touch this many device pixels past its outline.
constexpr double deviceMargin = 2.0;

QRectF rectOf(const Rect& r)
{
    return QRectF(r.xMin, r.yMin, r.width(), r.height());
}

// Lines that keep their width whatever the scale are left out of the shape's
// own coordinates; a shape with one has no bounds known here.
std::optional<QRectF> preparedBounds(const PreparedShape& shape)
{
    QRectF out;
    for (const PreparedLayer& layer : shape.layers) {
        for (const QPainterPath& p : layer.fillPaths)
            out |= p.boundingRect();
        for (std::size_t i = 0; i < layer.linePaths.size() && i < layer.lines.size(); ++i) {
            if (layer.linePaths[i].isEmpty())
                continue;
            if (layer.lines[i].noHScale || layer.lines[i].noVScale)
                return std::nullopt;
            // Miter joins reach out further than half the width.
            const double reach = layer.lines[i].width * std::max(1.0, double(layer.lines[i].miterLimit)) / 2.0;
            out |= layer.linePaths[i].boundingRect().adjusted(-reach, -reach, reach, reach);
        }
    }
    return out;
}

} // namespace

std::optional<QRectF> Renderer::deviceBounds(const std::map<int, engine::Instance>& list, const QTransform& toDevice,
                                             int nesting)
{
    QRectF out;
    for (const auto& [depth, inst] : list) {
        const std::optional<QRectF> r = deviceBounds(inst, toDevice, nesting);
        if (!r)
            return std::nullopt;
        out |= *r;
    }
    return out;
}

std::optional<QRectF> Renderer::deviceBounds(const engine::Instance& inst, const QTransform& parent, int nesting)
{
    if (nesting > maxNesting)
        return std::nullopt;
    if (!inst.visible)
        return QRectF();
    const bool plainBlend = inst.blendMode == BlendMode::Normal || int(inst.blendMode) == 0;
    if (!inst.filters.empty() || !plainBlend)
        return std::nullopt;
    const QTransform toDevice = inst.matrix.toTransform() * parent;
    // What scripts drew is not worked out here: the whole stage is drawn.
    if (!inst.sprite.empty() && inst.sprite.front().drawing)
        return std::nullopt;
    if (!inst.sprite.empty())
        return deviceBounds(inst.sprite.front().list, toDevice, nesting + 1);
    if (!inst.buttonFace.empty())
        return deviceBounds(inst.buttonFace.front().list, toDevice, nesting + 1);
    const Character* character = movie_.character(inst.characterId);
    if (!character)
        return QRectF();
    QRectF local;
    if (std::holds_alternative<Shape>(*character)) {
        auto it = shapeBounds_.find(inst.characterId);
        if (it == shapeBounds_.end()) {
            const PreparedShape* s = shape(inst.characterId);
            it = shapeBounds_.emplace(inst.characterId, s ? preparedBounds(*s) : std::optional<QRectF>(QRectF())).first;
        }
        if (!it->second)
            return std::nullopt;
        local = *it->second;
    } else if (std::holds_alternative<MorphShape>(*character)) {
        if (const PreparedShape* s = morph(inst.characterId, inst.ratio)) {
            const std::optional<QRectF> b = preparedBounds(*s);
            if (!b)
                return std::nullopt;
            local = *b;
        }
    } else if (const auto* bitmap = std::get_if<Bitmap>(character)) {
        local = QRectF(0, 0, bitmap->width() * double(kTwipsPerPixel), bitmap->height() * double(kTwipsPerPixel));
    } else if (const auto* text = std::get_if<Text>(character)) {
        local = text->matrix.toTransform().mapRect(rectOf(text->bounds));
    } else if (const auto* edit = std::get_if<EditText>(character)) {
        local = rectOf(edit->bounds);
    } else if (const auto* button = std::get_if<Button>(character)) {
        QRectF out;
        for (const ButtonRecord& r : button->records) {
            const bool shown = inst.buttonState == 1 ? r.over : inst.buttonState == 2 ? r.down : r.up;
            if (!shown)
                continue;
            engine::Instance part;
            part.characterId = r.characterId;
            part.matrix = r.matrix;
            part.filters = r.filters;
            part.blendMode = r.blendMode;
            const std::optional<QRectF> b = deviceBounds(part, toDevice, nesting + 1);
            if (!b)
                return std::nullopt;
            out |= *b;
        }
        return out;
    } else if (std::holds_alternative<Sprite>(*character)) {
        // A sprite without a timeline of its own is drawn empty.
        return QRectF();
    } else {
        return std::nullopt;
    }
    if (local.isEmpty() && local.width() <= 0 && local.height() <= 0)
        return QRectF();
    return toDevice.mapRect(local).adjusted(-deviceMargin, -deviceMargin, deviceMargin, deviceMargin);
}

} // namespace qev::swf::render
