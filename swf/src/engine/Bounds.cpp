#include "engine/Bounds.h"

namespace qev::swf::engine {

namespace {

constexpr int maxDepth = 32; // nested sprites and buttons looked into

QRectF rectOf(const Rect& r)
{
    return r.isEmpty() && r.width() == 0 && r.height() == 0 ? QRectF() : QRectF(r.xMin, r.yMin, r.width(), r.height());
}

QRectF unite(const QRectF& a, const QRectF& b)
{
    if (a.isNull())
        return b;
    if (b.isNull())
        return a;
    return a.united(b);
}

QRectF characterBounds(const Movie& movie, std::uint16_t id, const Instance* inst, const QTransform& m, int depth);

QRectF listBoundsAt(const Movie& movie, const TimelineState& t, const QTransform& m, int depth)
{
    QRectF out;
    if (t.drawing)
        for (const ScriptDrawing::Item& item : t.drawing->picture()) {
            QRectF r = item.path.boundingRect();
            if (item.line)
                r.adjust(-item.lineWidth / 2, -item.lineWidth / 2, item.lineWidth / 2, item.lineWidth / 2);
            out = unite(out, m.mapRect(r));
        }
    for (const auto& [d, child] : t.list) {
        if (child.clipDepth != 0)
            continue; // masks draw nothing themselves
        out = unite(out, characterBounds(movie, child.characterId, &child, child.matrix.toTransform() * m, depth + 1));
    }
    return out;
}

QRectF characterBounds(const Movie& movie, std::uint16_t id, const Instance* inst, const QTransform& m, int depth)
{
    if (depth > maxDepth)
        return {};
    if (inst && !inst->sprite.empty())
        return listBoundsAt(movie, inst->sprite.front(), m, depth);
    if (inst && inst->textField)
        return m.mapRect(rectOf(inst->textField->edit.bounds));
    const Character* c = movie.character(id);
    if (!c)
        return {};
    QRectF local;
    if (const auto* shape = std::get_if<Shape>(c)) {
        local = rectOf(shape->bounds);
    } else if (const auto* morph = std::get_if<MorphShape>(c)) {
        const double r = inst ? inst->ratio / 65535.0 : 0;
        const QRectF a = rectOf(morph->startBounds), b = rectOf(morph->endBounds);
        local = QRectF(a.left() + (b.left() - a.left()) * r, a.top() + (b.top() - a.top()) * r,
                       a.width() + (b.width() - a.width()) * r, a.height() + (b.height() - a.height()) * r);
    } else if (const auto* text = std::get_if<Text>(c)) {
        local = rectOf(text->bounds);
    } else if (const auto* edit = std::get_if<EditText>(c)) {
        local = rectOf(edit->bounds);
    } else if (const auto* video = std::get_if<VideoStream>(c)) {
        local = QRectF(0, 0, video->width * 20.0, video->height * 20.0);
    } else if (const auto* button = std::get_if<Button>(c)) {
        QRectF out;
        for (const ButtonRecord& r : button->records)
            if (r.up)
                out = unite(out, characterBounds(movie, r.characterId, nullptr, r.matrix.toTransform() * m, depth + 1));
        return out;
    } else if (const auto* sprite = std::get_if<Sprite>(c)) {
        // A sprite not on the stage: its first frame as placed.
        QRectF out;
        if (!sprite->timeline.frames.empty())
            for (const ControlTag& tag : sprite->timeline.frames.front().tags)
                if (const auto* p = std::get_if<PlaceObject>(&tag); p && p->characterId && !p->clipDepth)
                    out = unite(out, characterBounds(movie, *p->characterId, nullptr,
                                                     p->matrix.value_or(Matrix{}).toTransform() * m, depth + 1));
        return out;
    }
    return local.isNull() ? QRectF() : m.mapRect(local);
}

} // namespace

QRectF instanceBounds(const Movie& movie, const Instance& inst, const QTransform& toTarget)
{
    return characterBounds(movie, inst.characterId, &inst, toTarget, 0);
}

QRectF listBounds(const Movie& movie, const TimelineState& t, const QTransform& toTarget)
{
    return listBoundsAt(movie, t, toTarget, 0);
}

} // namespace qev::swf::engine
