#include "render/Renderer.h"

#include <qev/swf/DecodeBitmap.h>

#include "text/HtmlText.h"

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
    state_ = &state;
    drawn_ = nullptr;
    stageToDevice_ = toDevice;
    drawBudget_ = maxObjectsPerFrame;
    if (state.main.drawing)
        drawScriptDrawing(painter, *state.main.drawing, toDevice, CxForm{});
    drawList(painter, state.main.list, toDevice, CxForm{}, 0);
    state_ = nullptr;
    painter.restore();
}

namespace {

// The instance of uid under list, and the device transform of its parent.
const engine::Instance* findInstance(const std::map<int, engine::Instance>& list, std::uint64_t uid,
                                     const QTransform& toDevice, QTransform& parentOut, int nesting)
{
    if (nesting > 64)
        return nullptr;
    for (const auto& [depth, inst] : list) {
        if (inst.uid == uid) {
            parentOut = toDevice;
            return &inst;
        }
        if (!inst.sprite.empty())
            if (const auto* found = findInstance(inst.sprite.front().list, uid, inst.matrix.toTransform() * toDevice,
                                                 parentOut, nesting + 1))
                return found;
    }
    return nullptr;
}

} // namespace

std::optional<QPainterPath> Renderer::scriptMaskPath(std::uint64_t uid, int nesting)
{
    if (!state_)
        return std::nullopt;
    QTransform parent;
    const engine::Instance* mask = findInstance(state_->main.list, uid, stageToDevice_, parent, 0);
    if (!mask)
        return std::nullopt;
    return maskPath(mask->characterId, mask, mask->matrix.toTransform() * parent, nesting);
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
    if (nesting > maxNesting || !instance.visible || instance.isScriptMask || drawBudget_ == 0)
        return;
    if (instance.scriptMask && maskedNow_ != &instance) {
        // Clipped by the shapes of the clip a script made its mask.
        if (const std::optional<QPainterPath> mask = scriptMaskPath(instance.scriptMask, nesting)) {
            painter.save();
            painter.resetTransform();
            painter.setClipPath(*mask, Qt::IntersectClip);
            const engine::Instance* outer = maskedNow_;
            maskedNow_ = &instance;
            drawObject(painter, instance, parent, parentCx, nesting);
            maskedNow_ = outer;
            painter.restore();
            return;
        }
    }
    --drawBudget_;
    const QTransform toDevice = instance.matrix.toTransform() * parent;
    const CxForm cx = CxForm::compose(parentCx, CxForm::from(instance.colorTransform));
    if (layerHook_ && layerHook_->wantsLayer(instance)) {
        // A layer is drawn opaque and takes the alpha of its transform as a
        // whole, so parts of it that overlap do not show through each other.
        CxForm opaque = cx;
        opaque.mul[3] = 1;
        opaque.add[3] = 0;
        const DrawnArea changed = layerHook_->drawLayer(painter, instance, toDevice, cx, [&](QPainter& p) {
            // What the content draws is gathered for this layer alone.
            DrawnArea content;
            DrawnArea* outer = drawn_;
            drawn_ = &content;
            drawContent(p, instance, toDevice, opaque, nesting);
            drawn_ = outer;
            return content;
        });
        if (drawn_)
            drawn_->add(changed);
        return;
    }
    drawContent(painter, instance, toDevice, cx, nesting);
}

void Renderer::drawContent(QPainter& painter, const engine::Instance& instance, const QTransform& toDevice,
                           const CxForm& cx, int nesting)
{
    if (!instance.sprite.empty()) {
        if (instance.sprite.front().drawing)
            drawScriptDrawing(painter, *instance.sprite.front().drawing, toDevice, cx);
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
        const QTransform imageToDevice = QTransform::fromScale(kTwipsPerPixel, kTwipsPerPixel) * toDevice;
        painter.setTransform(imageToDevice);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QPointF(0, 0), image);
        if (drawn_)
            noteDrawn(imageToDevice.mapRect(QRectF(image.rect())));
    } else if (const auto* text = std::get_if<Text>(character)) {
        drawText(painter, *text, toDevice, cx);
    } else if (const auto* edit = std::get_if<EditText>(character)) {
        drawEditText(painter, *edit, toDevice, cx);
    } else if (const auto* button = std::get_if<Button>(character)) {
        // A button with a live face for the state it shows draws that face
        // (its sprites play); any other from its records.
        if (instance && !instance->buttonFace.empty() && instance->buttonFace.front().frame == instance->buttonState)
            drawList(painter, instance->buttonFace.front().list, toDevice, cx, nesting + 1);
        else
            drawButton(painter, *button, toDevice, cx, nesting, instance ? instance->buttonState : 0);
    } else if (const auto* video = std::get_if<VideoStream>(character)) {
        drawVideo(painter, id, *video, instance, toDevice, cx);
    } else if (std::holds_alternative<Sprite>(*character)) {
        // A sprite shown without a timeline of its own (inside a button):
        // its first frame.
        auto it = buttonSprites_.find(id);
        if (it == buttonSprites_.end())
            it = buttonSprites_.emplace(id, engine_.spriteFirstFrame(id)).first;
        drawList(painter, it->second.list, toDevice, cx, nesting + 1);
    }
}

QBrush Renderer::fillBrush(const FillStyle& fill, const CxForm& cx, const QPainterPath& path)
{
    QBrush brush = makeBrush(fill, cx, bitmapLookup_);
    if (fill.kind == FillStyle::Kind::Bitmap && !fill.repeating)
        brush = clampedBitmapBrush(brush, path.boundingRect());
    return brush;
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
                    cached = fillBrush(fill, cx, path);
                brush = *cached;
            } else {
                brush = fillBrush(fill, cx, path);
            }
            if (invisible(brush))
                continue;
            if (fill.kind == FillStyle::Kind::Bitmap)
                painter.setRenderHint(QPainter::SmoothPixmapTransform, fill.smoothed);
            painter.fillPath(path, brush);
            if (drawn_)
                noteDrawn(toDevice.mapRect(path.boundingRect()));
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
                if (drawn_) {
                    // The pen's width is in device pixels here.
                    const double reach = std::max(1.0, pen.widthF());
                    noteDrawn(toDevice.mapRect(path.boundingRect()).adjusted(-reach, -reach, reach, reach));
                }
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
            if (drawn_)
                noteDrawn(toDevice.mapRect(outline->boundingRect()));
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
        if (textHook_ && textHook_->drawDeviceGlyphs(painter, record, *font, textToDevice, cx)) {
            // System fonts may reach past the bounds the movie gives.
            noteDrawnAnywhere();
            continue;
        }
        const double scale = record.height / font->emSquare();
        const QBrush brush(cx.apply(record.color));
        double x = record.x;
        for (const GlyphEntry& g : record.glyphs) {
            if (const QPainterPath* path = glyph(record.fontId, g.index); path && !path->isEmpty()) {
                const QTransform glyphToDevice = QTransform(scale, 0, 0, scale, x, record.y) * textToDevice;
                painter.setTransform(glyphToDevice);
                painter.fillPath(*path, brush);
                if (drawn_)
                    noteDrawn(glyphToDevice.mapRect(path->boundingRect()));
            }
            x += g.advance;
        }
    }
}

void Renderer::drawEditText(QPainter& painter, const EditText& text, const QTransform& toDevice, const CxForm& cx,
                            const engine::TextFieldState* state)
{
    const QRectF bounds = toRectF(text.bounds);
    // Everything a field draws is clipped to its bounds but its border, a
    // hairline on them.
    if (drawn_)
        noteDrawn(toDevice.mapRect(bounds).adjusted(-1, -1, 1, 1));
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
    for (const OutlineLine& line : layOutOutlineText(text, *font)) {
        for (const OutlineGlyph& g : line.glyphs) {
            if (const QPainterPath* p = glyph(g.fontId, g.index); p && !p->isEmpty()) {
                painter.setTransform(QTransform(g.scale, 0, 0, g.scale, line.x + g.x, line.baseline) * toDevice);
                painter.fillPath(*p, QBrush(cx.apply(g.color)));
            }
        }
    }
    painter.restore();
}

// The embedded font a run of a field is set in: the font its face names (in
// its weight and slant where the movie has that), else the field's own.
std::uint16_t Renderer::runFont(std::uint16_t fieldFont, const std::optional<QString>& face, bool bold, bool italic)
{
    const Font* base = movie_.find<Font>(fieldFont);
    const QString name = face.value_or(base ? base->name : QString());
    std::uint16_t best = fieldFont;
    int bestScore = -1;
    for (const auto& [id, character] : movie_.dictionary) {
        const auto* f = std::get_if<Font>(&character);
        if (!f || f->glyphs.empty() || f->name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const int score = (f->bold == bold ? 2 : 0) + (f->italic == italic ? 1 : 0);
        if (score > bestScore) {
            best = id;
            bestScore = score;
        }
    }
    return best;
}

std::vector<Renderer::OutlineLine> Renderer::layOutOutlineText(const EditText& text, const Font& fieldFont)
{
    // The field's own format; HTML runs change colour, size, face, weight
    // and slant from there.
    text::RunFormat base;
    const Rgba colour = text.textColor.value_or(Rgba{0, 0, 0, 255});
    base.color = QColor(colour.r, colour.g, colour.b, colour.a);
    base.size = text.fontHeight / double(kTwipsPerPixel);
    base.bold = fieldFont.bold;
    base.italic = fieldFont.italic;
    const QString content = text.initialText.value_or(QString());
    std::vector<text::Paragraph> paragraphs;
    if (text.html && !text.password) {
        paragraphs = text::parseHtml(content, base);
        if (!text.multiline)
            text::joinParagraphs(paragraphs);
    } else {
        paragraphs = text::plainParagraphs(text.password ? QString(plainText(text).size(), u'*') : plainText(text));
        for (text::Paragraph& p : paragraphs)
            for (text::Run& r : p.runs)
                r.format = base;
    }

    struct FontUse {
        const Font* font = nullptr;
        std::unordered_map<std::uint16_t, std::uint32_t> byCode;
    };
    std::map<std::uint16_t, FontUse> fonts;
    auto use = [&](std::uint16_t id) -> FontUse& {
        auto it = fonts.find(id);
        if (it != fonts.end())
            return it->second;
        FontUse u;
        u.font = movie_.find<Font>(id);
        if (u.font)
            for (std::uint32_t i = 0; i < u.font->glyphs.size(); ++i)
                u.byCode.emplace(u.font->glyphs[i].code, i);
        return fonts.emplace(id, std::move(u)).first->second;
    };

    const QRectF bounds = toRectF(text.bounds);
    const double left = bounds.left() + textGutter + text.leftMargin;
    const double right = bounds.right() - textGutter - text.rightMargin;
    const double fieldHeight = text.fontHeight;
    const double fieldScale = fieldHeight / fieldFont.emSquare();
    const double fieldAscent = fieldFont.hasLayout ? fieldFont.ascent * fieldScale : fieldHeight * 0.8;
    const double fieldDescent = fieldFont.hasLayout ? fieldFont.descent * fieldScale : fieldHeight * 0.2;

    struct Pending {
        OutlineLine line;
        double width = 0;
        double ascent = 0;
        double descent = 0;
        std::optional<text::Align> align;
    };
    std::vector<Pending> lines;
    for (const text::Paragraph& para : paragraphs) {
        Pending line;
        line.align = para.align;
        double x = text.indent;
        int lastSpace = -1; // glyph count of the line at the last space
        auto finish = [&](Pending& l) {
            if (l.line.glyphs.empty()) {
                l.ascent = std::max(l.ascent, fieldAscent);
                l.descent = std::max(l.descent, fieldDescent);
            }
            lines.push_back(std::move(l));
        };
        for (const text::Run& run : para.runs) {
            const double height = std::clamp(run.format.size.value_or(base.size.value_or(12)) * kTwipsPerPixel, 1.0, 20000.0);
            const std::uint16_t fontId = runFont(text.fontId, run.format.face, run.format.bold, run.format.italic);
            FontUse& f = use(fontId);
            if (!f.font)
                continue;
            const double scale = height / f.font->emSquare();
            const double ascent = f.font->hasLayout ? f.font->ascent * scale : height * 0.8;
            const double descent = f.font->hasLayout ? f.font->descent * scale : height * 0.2;
            const QColor runColour = run.format.color.value_or(base.color.value_or(Qt::black));
            const Rgba rgba{std::uint8_t(runColour.red()), std::uint8_t(runColour.green()),
                            std::uint8_t(runColour.blue()), std::uint8_t(runColour.alpha())};
            auto advanceOf = [&](std::uint32_t index) {
                const Glyph& g = f.font->glyphs[index];
                if (f.font->hasLayout && g.advance)
                    return *g.advance * scale;
                const QPainterPath* p = glyph(fontId, index);
                return p ? (p->boundingRect().right() * scale + height * 0.05) : height * 0.5;
            };
            for (const QChar ch : run.text) {
                if (ch == u' ')
                    lastSpace = static_cast<int>(line.line.glyphs.size());
                auto it = f.byCode.find(ch.unicode());
                if (it == f.byCode.end()) {
                    if (ch == u' ')
                        x += height * 0.25;
                    continue;
                }
                const double adv = advanceOf(it->second);
                if (text.wordWrap && x + adv > right - left && !line.line.glyphs.empty()) {
                    Pending next;
                    next.align = line.align;
                    if (lastSpace > 0 && lastSpace < static_cast<int>(line.line.glyphs.size())) {
                        const double shift = line.line.glyphs[lastSpace].x;
                        for (std::size_t k = lastSpace; k < line.line.glyphs.size(); ++k) {
                            OutlineGlyph moved = line.line.glyphs[k];
                            moved.x -= shift;
                            next.line.glyphs.push_back(moved);
                            next.ascent = std::max(next.ascent, moved.ascent);
                            next.descent = std::max(next.descent, moved.descent);
                        }
                        line.line.glyphs.resize(lastSpace);
                        x -= shift;
                    } else {
                        x = 0;
                    }
                    line.width = line.line.glyphs.empty() ? 0 : line.line.glyphs.back().x + line.line.glyphs.back().advance;
                    finish(line);
                    line = std::move(next);
                    lastSpace = -1;
                    if (line.line.glyphs.empty())
                        x = 0;
                }
                line.line.glyphs.push_back({fontId, it->second, x, scale, rgba, adv, ascent, descent});
                line.ascent = std::max(line.ascent, ascent);
                line.descent = std::max(line.descent, descent);
                x += adv;
            }
        }
        line.width = x;
        finish(line);
    }

    std::vector<OutlineLine> out;
    double top = bounds.top() + textGutter;
    for (Pending& l : lines) {
        const double baseline = top + l.ascent;
        double x0 = left;
        const text::Align align = l.align.value_or(text.align == TextAlign::Right    ? text::Align::Right
                                                   : text.align == TextAlign::Center ? text::Align::Center
                                                                                     : text::Align::Left);
        if (align == text::Align::Right)
            x0 = right - l.width;
        else if (align == text::Align::Center)
            x0 = left + (right - left - l.width) / 2;
        l.line.x = x0;
        l.line.baseline = baseline;
        top = baseline + l.descent + text.leading;
        out.push_back(std::move(l.line));
    }
    return out;
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
    if (const auto* video = std::get_if<VideoStream>(character)) {
        out.addRect(QRectF(0, 0, video->width * 20.0, video->height * 20.0));
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
    auto decoded = decodedBitmaps_.find(id);
    if (decoded == decodedBitmaps_.end()) {
        QString problem;
        decoded = decodedBitmaps_.emplace(id, decodeBitmap(*b, &problem)).first;
        if (!problem.isEmpty() && warn_)
            warn_(QStringLiteral("bitmap %1: %2").arg(id).arg(problem));
    }
    const QImage& image = decoded->second;
    if (cx.isIdentity() || image.isNull())
        return image;
    const auto key = std::make_tuple(id, cxKey(cx));
    auto it = bitmaps_.find(key);
    if (it != bitmaps_.end())
        return it->second;
    if (bitmaps_.size() > 64)
        bitmaps_.clear();
    return bitmaps_.emplace(key, transformedImage(image, cx)).first->second;
}

void Renderer::drawScriptDrawing(QPainter& painter, const ScriptDrawing& drawing, const QTransform& toDevice,
                                 const CxForm& cx)
{
    painter.save();
    painter.setTransform(toDevice);
    for (const ScriptDrawing::Item& item : drawing.picture()) {
        if (item.fill) {
            QBrush brush(cx.apply(item.fill->color));
            if (const auto& g = item.fill->gradient) {
                // Gradients span -16384..16384 twips before their matrix.
                QGradient gradient = g->radial ? QGradient(QRadialGradient(QPointF(0, 0), 16384))
                                               : QGradient(QLinearGradient(QPointF(-16384, 0), QPointF(16384, 0)));
                for (const auto& [ratio, color] : g->stops)
                    gradient.setColorAt(std::clamp(ratio, 0.0, 1.0), cx.apply(color));
                brush = QBrush(gradient);
                brush.setTransform(g->matrix);
            }
            painter.fillPath(item.path, brush);
            if (drawn_)
                noteDrawn(toDevice.mapRect(item.path.boundingRect()));
        }
        if (item.line) {
            QPen pen(cx.apply(item.lineColor));
            // Hairlines stay one pixel wide at any scale.
            pen.setWidthF(item.lineWidth > 0 ? item.lineWidth : 0);
            pen.setCosmetic(item.lineWidth <= 0);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.strokePath(item.path, pen);
            if (drawn_) {
                // Round caps and joins reach half the width past the path.
                const double half = item.lineWidth > 0 ? item.lineWidth / 2 : 0;
                noteDrawn(toDevice.mapRect(item.path.boundingRect().adjusted(-half, -half, half, half))
                              .adjusted(-1, -1, 1, 1));
            }
        }
    }
    painter.restore();
}

} // namespace qev::swf::render
