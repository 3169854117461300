#include "render/Renderer.h"

#include <QPainterPathStroker>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qev::swf::render {
namespace {

// Text fields keep a 2 pixel gutter inside their bounds.
constexpr double textGutter = 40;

std::array<float, 8> cxKey(const CxForm& cx)
{
    return {cx.mul[0], cx.mul[1], cx.mul[2], cx.mul[3], cx.add[0], cx.add[1], cx.add[2], cx.add[3]};
}

QRectF toRectF(const Rect& r)
{
    return QRectF(r.xMin, r.yMin, r.width(), r.height());
}

bool invisible(const QBrush& brush)
{
    return brush.style() == Qt::NoBrush || (brush.style() == Qt::SolidPattern && brush.color().alpha() == 0);
}

QString plainText(const EditText& text)
{
    QString s = text.initialText.value_or(QString());
    if (!text.html)
        return s;
    static const QRegularExpression lineBreaks(QStringLiteral("<\\s*(br|/p)\\s*/?\\s*>"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    s.replace(lineBreaks, QStringLiteral("\n"));
    s.remove(tags);
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    if (s.endsWith(u'\n'))
        s.chop(1);
    return s;
}

} // namespace

Renderer::Renderer(const Movie& movie, engine::TimelineEngine& engine) : movie_(movie), engine_(engine)
{
    bitmapLookup_ = [this](std::uint16_t id, const CxForm& cx) { return bitmap(id, cx); };
}

QTransform Renderer::stageTransform(const QRect& target) const
{
    const Rect& stage = movie_.header.stage;
    const double sw = std::max(1, stage.width());
    const double sh = std::max(1, stage.height());
    const double s = std::min(target.width() / sw, target.height() / sh);
    const double ox = target.x() + (target.width() - sw * s) / 2 - stage.xMin * s;
    const double oy = target.y() + (target.height() - sh * s) / 2 - stage.yMin * s;
    return QTransform(s, 0, 0, s, ox, oy);
}

void Renderer::render(QPainter& painter, const engine::RootState& state, const QRect& target)
{
    painter.save();
    const Rgba& bg = state.background;
    painter.fillRect(target, QColor(bg.r, bg.g, bg.b));
    painter.setRenderHint(QPainter::Antialiasing, antialiased_);
    painter.setClipRect(target, Qt::IntersectClip);
    const QTransform toDevice = stageTransform(target);
    viewScale_ = toDevice.m11();
    drawBudget_ = maxObjectsPerFrame;
    drawList(painter, state.main.list, toDevice, CxForm{}, 0);
    painter.restore();
}

void Renderer::drawList(QPainter& painter, const std::map<int, engine::Instance>& list, const QTransform& toDevice,
                        const CxForm& cx, int nesting)
{
    struct Mask {
        int clipDepth;
        QPainterPath path; // device pixels
    };
    std::vector<Mask> masks;
    for (const auto& [depth, inst] : list) {
        // Captured by copy: clang 14 cannot capture a structured binding.
        std::erase_if(masks, [d = depth](const Mask& m) { return m.clipDepth < d; });
        if (inst.clipDepth > 0) {
            const QTransform m = inst.matrix.toTransform() * toDevice;
            masks.push_back({inst.clipDepth, maskPath(inst.characterId, &inst, m, nesting)});
            continue;
        }
        if (masks.empty()) {
            drawObject(painter, inst, toDevice, cx, nesting);
            continue;
        }
        painter.save();
        painter.resetTransform();
        for (const Mask& m : masks)
            painter.setClipPath(m.path, Qt::IntersectClip);
        drawObject(painter, inst, toDevice, cx, nesting);
        painter.restore();
    }
}

void Renderer::drawObject(QPainter& painter, const engine::Instance& instance, const QTransform& parent,
                          const CxForm& parentCx, int nesting)
{
    if (nesting > maxNesting || !instance.visible || drawBudget_ == 0)
        return;
    --drawBudget_;
    const QTransform toDevice = instance.matrix.toTransform() * parent;
    const CxForm cx = CxForm::compose(parentCx, CxForm::from(instance.colorTransform));
    if (layerHook_ && layerHook_->wantsLayer(instance)) {
        layerHook_->drawLayer(painter, instance, toDevice, cx,
                              [&](QPainter& p) { drawContent(p, instance, toDevice, cx, nesting); });
        return;
    }
    drawContent(painter, instance, toDevice, cx, nesting);
}

void Renderer::drawContent(QPainter& painter, const engine::Instance& instance, const QTransform& toDevice,
                           const CxForm& cx, int nesting)
{
    if (!instance.sprite.empty()) {
        drawList(painter, instance.sprite.front().list, toDevice, cx, nesting + 1);
        return;
    }
    // A sprite the engine left without a timeline (nested too deep) shows
    // nothing.
    if (movie_.find<Sprite>(instance.characterId))
        return;
    // A text field draws what scripts made of it.
    if (instance.textField) {
        drawEditText(painter, instance.textField->edit, toDevice, cx, instance.textField.get());
        return;
    }
    drawCharacter(painter, instance.characterId, &instance, toDevice, cx, nesting);
}

void Renderer::drawCharacter(QPainter& painter, std::uint16_t id, const engine::Instance* instance,
                             const QTransform& toDevice, const CxForm& cx, int nesting)
{
    if (nesting > maxNesting)
        return;
    const Character* character = movie_.character(id);
    if (!character)
        return;
    if (std::holds_alternative<Shape>(*character)) {
        if (const PreparedShape* s = shape(id))
            drawShape(painter, *s, toDevice, cx);
    } else if (std::holds_alternative<MorphShape>(*character)) {
        if (const PreparedShape* s = morph(id, instance ? instance->ratio : 0))
            drawShape(painter, *s, toDevice, cx);
    } else if (std::holds_alternative<Bitmap>(*character)) {
        const QImage image = bitmap(id, cx);
        painter.setTransform(QTransform::fromScale(kTwipsPerPixel, kTwipsPerPixel) * toDevice);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QPointF(0, 0), image);
    } else if (const auto* text = std::get_if<Text>(character)) {
        drawText(painter, *text, toDevice, cx);
    } else if (const auto* edit = std::get_if<EditText>(character)) {
        drawEditText(painter, *edit, toDevice, cx);
    } else if (const auto* button = std::get_if<Button>(character)) {
        drawButton(painter, *button, toDevice, cx, nesting, instance ? instance->buttonState : 0);
    } else if (std::holds_alternative<Sprite>(*character)) {
        // A sprite shown without a timeline of its own (inside a button):
        // its first frame.
        auto it = buttonSprites_.find(id);
        if (it == buttonSprites_.end())
            it = buttonSprites_.emplace(id, engine_.spriteFirstFrame(id)).first;
        drawList(painter, it->second.list, toDevice, cx, nesting + 1);
    }
}

void Renderer::drawShape(QPainter& painter, const PreparedShape& shape, const QTransform& toDevice,
                         const CxForm& cx)
{
    painter.setTransform(toDevice);
    const double deviceScale = std::sqrt(std::abs(toDevice.determinant()));
    const bool plain = cx.isIdentity();
    for (const PreparedLayer& layer : shape.layers) {
        for (std::size_t i = 0; i < layer.fillPaths.size() && i < layer.fills.size(); ++i) {
            const QPainterPath& path = layer.fillPaths[i];
            if (path.isEmpty())
                continue;
            const FillStyle& fill = layer.fills[i];
            QBrush brush;
            if (plain) {
                if (layer.plainBrushes.size() != layer.fillPaths.size())
                    layer.plainBrushes.resize(layer.fillPaths.size());
                std::optional<QBrush>& cached = layer.plainBrushes[i];
                if (!cached)
                    cached = makeBrush(fill, cx, bitmapLookup_);
                brush = *cached;
            } else {
                brush = makeBrush(fill, cx, bitmapLookup_);
            }
            if (invisible(brush))
                continue;
            if (fill.kind == FillStyle::Kind::Bitmap)
                painter.setRenderHint(QPainter::SmoothPixmapTransform, fill.smoothed);
            painter.fillPath(path, brush);
        }
        for (std::size_t i = 0; i < layer.linePaths.size() && i < layer.lines.size(); ++i) {
            const QPainterPath& path = layer.linePaths[i];
            if (path.isEmpty())
                continue;
            const QPen pen = makePen(layer.lines[i], cx, bitmapLookup_, deviceScale, viewScale_);
            if (invisible(pen.brush()))
                continue;
            if (pen.isCosmetic()) {
                painter.strokePath(path, pen);
                continue;
            }
            if (layer.lineOutlines.size() != layer.linePaths.size())
                layer.lineOutlines.resize(layer.linePaths.size());
            std::optional<QPainterPath>& outline = layer.lineOutlines[i];
            if (!outline) {
                QPainterPathStroker stroker(pen);
                outline = stroker.createStroke(path);
            }
            painter.fillPath(*outline, pen.brush());
        }
    }
}

void Renderer::drawText(QPainter& painter, const Text& text, const QTransform& toDevice, const CxForm& cx)
{
    const QTransform textToDevice = text.matrix.toTransform() * toDevice;
    for (const TextRecord& record : text.records) {
        const Font* font = movie_.find<Font>(record.fontId);
        if (!font)
            continue;
        if (textHook_ && textHook_->drawDeviceGlyphs(painter, record, *font, textToDevice, cx))
            continue;
        const double scale = record.height / font->emSquare();
        const QBrush brush(cx.apply(record.color));
        double x = record.x;
        for (const GlyphEntry& g : record.glyphs) {
            if (const QPainterPath* path = glyph(record.fontId, g.index); path && !path->isEmpty()) {
                painter.setTransform(QTransform(scale, 0, 0, scale, x, record.y) * textToDevice);
                painter.fillPath(*path, brush);
            }
            x += g.advance;
        }
    }
}

void Renderer::drawEditText(QPainter& painter, const EditText& text, const QTransform& toDevice, const CxForm& cx,
                            const engine::TextFieldState* state)
{
    const QRectF bounds = toRectF(text.bounds);
    painter.save();
    painter.setTransform(toDevice);
    const bool background = state ? state->background || text.border : text.border;
    if (text.border || background) {
        const Rgba line = state ? state->borderColor : Rgba{0, 0, 0, 255};
        const Rgba fill = state ? state->backgroundColor : Rgba{255, 255, 255, 255};
        painter.setPen(text.border ? QPen(cx.apply(line), 0) : QPen(Qt::NoPen));
        painter.setBrush(background ? QBrush(cx.apply(fill)) : QBrush(Qt::NoBrush));
        painter.drawRect(bounds);
    }
    painter.setClipRect(bounds, Qt::IntersectClip);
    const Font* font = text.fontId ? movie_.find<Font>(text.fontId) : nullptr;
    if (!font || !text.useOutlines || font->glyphs.empty()) {
        if (textHook_)
            textHook_->drawDeviceText(painter, text, toDevice, cx, state ? state->revision : 0, state ? state->scroll : 1,
                                      state ? state->hscroll : 0);
        painter.restore();
        return;
    }
    const double height = text.fontHeight;
    const double scale = height / font->emSquare();
    const QBrush brush(cx.apply(text.textColor.value_or(Rgba{0, 0, 0, 255})));

    std::unordered_map<std::uint16_t, std::uint32_t> byCode;
    for (std::uint32_t i = 0; i < font->glyphs.size(); ++i)
        byCode.emplace(font->glyphs[i].code, i);
    auto advanceOf = [&](std::uint32_t index) {
        const Glyph& g = font->glyphs[index];
        if (font->hasLayout && g.advance)
            return *g.advance * scale;
        const QPainterPath* p = glyph(text.fontId, index);
        return p ? (p->boundingRect().right() * scale + height * 0.05) : height * 0.5;
    };
    const double ascent = font->hasLayout ? font->ascent * scale : height * 0.8;
    const double descent = font->hasLayout ? font->descent * scale : height * 0.2;
    const double lineHeight = ascent + descent + text.leading;
    const double left = bounds.left() + textGutter + text.leftMargin;
    const double right = bounds.right() - textGutter - text.rightMargin;

    struct Line {
        std::vector<std::pair<std::uint32_t, double>> glyphs; // index, x offset
        double width = 0;
        bool first = false;
    };
    std::vector<Line> lines;
    const QString content = text.password ? QString(plainText(text).size(), u'*') : plainText(text);
    const QStringList paragraphs = content.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& para : paragraphs) {
        Line line;
        line.first = true;
        double x = text.indent;
        int lastSpace = -1; // glyph count of the line at the last space
        for (const QChar ch : para) {
            auto it = byCode.find(ch.unicode());
            if (ch == u' ')
                lastSpace = static_cast<int>(line.glyphs.size());
            if (it == byCode.end()) {
                if (ch == u' ')
                    x += height * 0.25;
                continue;
            }
            const double adv = advanceOf(it->second);
            if (text.wordWrap && x + adv > right - left && !line.glyphs.empty()) {
                Line next;
                if (lastSpace > 0 && lastSpace < static_cast<int>(line.glyphs.size())) {
                    const double shift = line.glyphs[lastSpace].second;
                    for (std::size_t k = lastSpace; k < line.glyphs.size(); ++k)
                        next.glyphs.push_back({line.glyphs[k].first, line.glyphs[k].second - shift});
                    line.glyphs.resize(lastSpace);
                    x -= shift;
                } else {
                    x = 0;
                }
                line.width = line.glyphs.empty() ? 0 : line.glyphs.back().second + advanceOf(line.glyphs.back().first);
                lines.push_back(std::move(line));
                line = std::move(next);
                lastSpace = -1;
                if (line.glyphs.empty())
                    x = 0;
            }
            line.glyphs.push_back({it->second, x});
            x += adv;
        }
        line.width = x;
        lines.push_back(std::move(line));
        if (!text.multiline)
            break;
    }
    double baseline = bounds.top() + textGutter + ascent;
    for (const Line& line : lines) {
        double x0 = left;
        switch (text.align) {
        case TextAlign::Right:
            x0 = right - line.width;
            break;
        case TextAlign::Center:
            x0 = left + (right - left - line.width) / 2;
            break;
        default:
            break;
        }
        for (const auto& [index, offset] : line.glyphs) {
            if (const QPainterPath* p = glyph(text.fontId, index); p && !p->isEmpty()) {
                painter.setTransform(QTransform(scale, 0, 0, scale, x0 + offset, baseline) * toDevice);
                painter.fillPath(*p, brush);
            }
        }
        baseline += lineHeight;
    }
    painter.restore();
}

void Renderer::drawButton(QPainter& painter, const Button& button, const QTransform& toDevice, const CxForm& cx,
                          int nesting, std::uint8_t state)
{
    // The records of the button's state (up, over or down, as the mouse left it).
    std::vector<const ButtonRecord*> up;
    for (const ButtonRecord& r : button.records)
        if (state == 1 ? r.over : state == 2 ? r.down : r.up)
            up.push_back(&r);
    std::stable_sort(up.begin(), up.end(), [](auto* a, auto* b) { return a->depth < b->depth; });
    for (const ButtonRecord* r : up) {
        engine::Instance inst;
        inst.characterId = r->characterId;
        inst.matrix = r->matrix;
        inst.colorTransform = r->colorTransform;
        inst.filters = r->filters;
        inst.blendMode = r->blendMode;
        drawObject(painter, inst, toDevice, cx, nesting + 1);
    }
}

QPainterPath Renderer::maskPath(std::uint16_t id, const engine::Instance* instance, const QTransform& toDevice,
                                int nesting)
{
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    // Masks share the frame's object budget: a button that shows a sprite
    // holding the same button twice would otherwise double at every level.
    if (nesting > maxNesting || drawBudget_ == 0)
        return out;
    --drawBudget_;
    if (instance && !instance->sprite.empty()) {
        for (const auto& [depth, child] : instance->sprite.front().list) {
            if (!child.visible)
                continue;
            out.addPath(maskPath(child.characterId, &child, child.matrix.toTransform() * toDevice, nesting + 1));
        }
        return out;
    }
    const Character* character = movie_.character(id);
    if (!character)
        return out;
    const PreparedShape* s = nullptr;
    if (std::holds_alternative<Shape>(*character))
        s = shape(id);
    else if (std::holds_alternative<MorphShape>(*character))
        s = morph(id, instance ? instance->ratio : 0);
    if (s)
        return toDevice.map(s->coverage());
    if (const auto* bitmapChar = std::get_if<Bitmap>(character)) {
        out.addRect(QRectF(0, 0, bitmapChar->width() * 20.0, bitmapChar->height() * 20.0));
        return toDevice.map(out);
    }
    if (const auto* text = std::get_if<Text>(character)) {
        const QTransform textToDevice = text->matrix.toTransform() * toDevice;
        for (const TextRecord& record : text->records) {
            const Font* font = movie_.find<Font>(record.fontId);
            if (!font)
                continue;
            const double scale = record.height / font->emSquare();
            double x = record.x;
            for (const GlyphEntry& g : record.glyphs) {
                if (const QPainterPath* p = glyph(record.fontId, g.index))
                    out.addPath((QTransform(scale, 0, 0, scale, x, record.y) * textToDevice).map(p->simplified()));
                x += g.advance;
            }
        }
        return out;
    }
    const auto entry = maskOpened_.enter(id);
    return entry.entered() ? maskContainerPath(id, *character, toDevice, nesting) : out;
}

QPainterPath Renderer::maskContainerPath(std::uint16_t id, const Character& character, const QTransform& toDevice,
                                         int nesting)
{
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    if (std::holds_alternative<Sprite>(character)) {
        auto it = buttonSprites_.find(id);
        if (it == buttonSprites_.end())
            it = buttonSprites_.emplace(id, engine_.spriteFirstFrame(id)).first;
        for (const auto& [depth, child] : it->second.list)
            out.addPath(maskPath(child.characterId, &child, child.matrix.toTransform() * toDevice, nesting + 1));
        return out;
    }
    if (const auto* button = std::get_if<Button>(&character)) {
        for (const ButtonRecord& r : button->records)
            if (r.up)
                out.addPath(maskPath(r.characterId, nullptr, r.matrix.toTransform() * toDevice, nesting + 1));
    }
    return out;
}

const PreparedShape* Renderer::shape(std::uint16_t id)
{
    auto it = shapes_.find(id);
    if (it != shapes_.end())
        return &it->second;
    const Shape* s = movie_.find<Shape>(id);
    if (!s)
        return nullptr;
    return &shapes_.emplace(id, prepareShape(*s)).first->second;
}

const PreparedShape* Renderer::morph(std::uint16_t id, std::uint16_t ratio)
{
    const std::uint32_t key = (std::uint32_t(id) << 16) | ratio;
    auto it = morphs_.find(key);
    if (it != morphs_.end())
        return &it->second;
    const MorphShape* m = movie_.find<MorphShape>(id);
    if (!m)
        return nullptr;
    // A morph animates through many ratios; the cache is kept bounded.
    if (morphs_.size() > 1024)
        morphs_.clear();
    return &morphs_.emplace(key, prepareShape(morphShapeAt(*m, ratio / 65535.0))).first->second;
}

const QPainterPath* Renderer::glyph(std::uint16_t fontId, std::uint32_t index)
{
    const std::uint64_t key = (std::uint64_t(fontId) << 32) | index;
    auto it = glyphs_.find(key);
    if (it != glyphs_.end())
        return &it->second;
    const Font* font = movie_.find<Font>(fontId);
    if (!font || index >= font->glyphs.size())
        return nullptr;
    const PreparedShape prepared = prepareShape(font->glyphs[index].outline);
    QPainterPath path;
    if (!prepared.layers.empty() && !prepared.layers.front().fillPaths.empty())
        path = prepared.layers.front().fillPaths.front();
    return &glyphs_.emplace(key, std::move(path)).first->second;
}

QImage Renderer::bitmap(std::uint16_t id, const CxForm& cx)
{
    const Bitmap* b = movie_.find<Bitmap>(id);
    if (!b)
        return {};
    if (cx.isIdentity())
        return b->image;
    const auto key = std::make_tuple(id, cxKey(cx));
    auto it = bitmaps_.find(key);
    if (it != bitmaps_.end())
        return it->second;
    if (bitmaps_.size() > 64)
        bitmaps_.clear();
    return bitmaps_.emplace(key, transformedImage(b->image, cx)).first->second;
}

} // namespace qev::swf::render
