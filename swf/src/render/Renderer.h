#pragma once

#include "engine/OpenCharacters.h"
#include "engine/State.h"
#include "engine/Timeline.h"
#include "render/Paint.h"
#include "video/StreamPictures.h"

#include <QPainter>
#include <QRect>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <unordered_map>

namespace qev::swf::render {

// The device pixels some drawing may have changed: a rectangle that holds
// all of them (anti-aliased edges included), or, when that cannot be told,
// not known (anything on the device may have changed).
struct DrawnArea {
    QRectF rect;
    bool known = true;

    void add(const QRectF& r) { rect |= r; }
    void add(const DrawnArea& other)
    {
        rect |= other.rect;
        known = known && other.known;
    }
};

// Where a later stage draws an object through a layer of its own (blend
// modes, filters, bitmap caching). drawContent paints the object itself onto
// whatever painter it is given, with the device transform toDevice, in the
// colours of cx but opaque: the alpha terms of cx are the layer's to apply
// to the flattened result. It tells where it drew, so the layer need not
// search for it; drawLayer tells the same of what it drew onto painter.
class LayerHook {
public:
    virtual ~LayerHook() = default;
    virtual bool wantsLayer(const engine::Instance& instance) const = 0;
    virtual DrawnArea drawLayer(QPainter& painter, const engine::Instance& instance, const QTransform& toDevice,
                                const CxForm& cx, const std::function<DrawnArea(QPainter&)>& drawContent) = 0;
};

// Where a later stage draws text fields that use device fonts.
class TextHook {
public:
    virtual ~TextHook() = default;
    // revision tells apart the texts one field shows over time (0: the
    // movie's own field, which never changes); firstLine (from 1) and
    // hscroll (pixels) say how far the field is scrolled.
    virtual void drawDeviceText(QPainter& painter, const EditText& text, const QTransform& toDevice,
                                const CxForm& cx, std::uint64_t revision, int firstLine, int hscroll) = 0;
    // One DefineText record; returns whether it drew it (a font without
    // glyph outlines), otherwise the renderer draws the glyph outlines.
    virtual bool drawDeviceGlyphs(QPainter& painter, const TextRecord& record, const Font& font,
                                  const QTransform& textToDevice, const CxForm& cx)
    {
        Q_UNUSED(painter);
        Q_UNUSED(record);
        Q_UNUSED(font);
        Q_UNUSED(textToDevice);
        Q_UNUSED(cx);
        return false;
    }
};

// Draws a movie's display lists with QPainter. Keeps the assembled outlines
// of shapes (and of morph shapes per ratio), glyphs and colour-transformed
// bitmaps between frames.
class Renderer {
public:
    Renderer(const Movie& movie, engine::TimelineEngine& engine);

    // Draws the state into target: the whole stage, aspect kept, centred;
    // the rest of target in the background colour.
    void render(QPainter& painter, const engine::RootState& state, const QRect& target);
    // The transform from stage twips to device pixels used for target.
    QTransform stageTransform(const QRect& target) const;

    void setLayerHook(std::shared_ptr<LayerHook> hook) { layerHook_ = std::move(hook); }
    void setTextHook(std::shared_ptr<TextHook> hook) { textHook_ = std::move(hook); }
    void setAntialiased(bool on) { antialiased_ = on; }
    // Told once for each bitmap whose pixels turn out damaged when first drawn.
    void setWarningHandler(std::function<void(const QString&)> warn) { warn_ = std::move(warn); }

    // Every display object is drawn through here.
    void drawObject(QPainter& painter, const engine::Instance& instance, const QTransform& parent,
                    const CxForm& parentCx, int nesting);
    // Draws one display list, masks applied.
    void drawList(QPainter& painter, const std::map<int, engine::Instance>& list, const QTransform& toDevice,
                  const CxForm& cx, int nesting);

    // The device rectangle an object drawn at parent covers, or nothing when
    // that cannot be told from its outline (filters and blend modes reach
    // past it). Lists: the union of their objects.
    std::optional<QRectF> deviceBounds(const engine::Instance& instance, const QTransform& parent, int nesting = 0);
    std::optional<QRectF> deviceBounds(const std::map<int, engine::Instance>& list, const QTransform& toDevice,
                                       int nesting = 0);

    const PreparedShape* shape(std::uint16_t id);
    const PreparedShape* morph(std::uint16_t id, std::uint16_t ratio);
    const QPainterPath* glyph(std::uint16_t fontId, std::uint32_t index);
    QImage bitmap(std::uint16_t id, const CxForm& cx);

    static constexpr int maxNesting = 64;
    // Hostile movies can nest buttons and sprites so that one frame holds
    // more objects than could ever be drawn; drawing stops at this many.
    // Masks count too: a clip path of that many parts already takes seconds
    // to apply.
    static constexpr std::size_t maxObjectsPerFrame = 20000;

private:
    // Inside a layer, widens the layer's drawn area by the device rectangle
    // of one thing drawn, grown by what anti-aliasing touches.
    void noteDrawn(const QRectF& deviceRect)
    {
        if (drawn_)
            drawn_->add(deviceRect.adjusted(-drawnMargin, -drawnMargin, drawnMargin, drawnMargin));
    }
    void noteDrawnAnywhere()
    {
        if (drawn_)
            drawn_->known = false;
    }
    static constexpr double drawnMargin = 2.0;

    // What scripts drew on a timeline, beneath its objects.
    void drawScriptDrawing(QPainter& painter, const ScriptDrawing& drawing, const QTransform& toDevice,
                           const CxForm& cx);
    void drawContent(QPainter& painter, const engine::Instance& instance, const QTransform& toDevice,
                     const CxForm& cx, int nesting);
    void drawCharacter(QPainter& painter, std::uint16_t id, const engine::Instance* instance,
                       const QTransform& toDevice, const CxForm& cx, int nesting);
    void drawShape(QPainter& painter, const PreparedShape& shape, const QTransform& toDevice, const CxForm& cx);
    // The brush of one fill of a shape whose outline is path.
    QBrush fillBrush(const FillStyle& fill, const CxForm& cx, const QPainterPath& path);
    void drawText(QPainter& painter, const Text& text, const QTransform& toDevice, const CxForm& cx);
    void drawEditText(QPainter& painter, const EditText& text, const QTransform& toDevice, const CxForm& cx,
                      const engine::TextFieldState* state = nullptr);
    // A text field in embedded fonts laid out in lines of glyphs; HTML runs
    // keep their colour, size, face, weight and slant.
    struct OutlineGlyph {
        std::uint16_t fontId = 0;
        std::uint32_t index = 0;
        double x = 0;     // from the line's start, twips
        double scale = 0; // glyph units to twips
        Rgba color;
        double advance = 0;
        double ascent = 0;
        double descent = 0;
    };
    struct OutlineLine {
        std::vector<OutlineGlyph> glyphs;
        double x = 0;
        double baseline = 0;
    };
    std::vector<OutlineLine> layOutOutlineText(const EditText& text, const Font& fieldFont);
    std::uint16_t runFont(std::uint16_t fieldFont, const std::optional<QString>& face, bool bold, bool italic);
    void drawButton(QPainter& painter, const Button& button, const QTransform& toDevice, const CxForm& cx,
                    int nesting, std::uint8_t state);
    // The device outline of the clip a script set as a mask (setMask), or
    // nothing when it is no longer on the stage.
    std::optional<QPainterPath> scriptMaskPath(std::uint64_t uid, int nesting);
    // The outline a mask covers, in device pixels.
    QPainterPath maskPath(std::uint16_t id, const engine::Instance* instance, const QTransform& toDevice,
                          int nesting);
    // A video stream at the frame the instance's ratio names (DrawVideo.cpp).
    void drawVideo(QPainter& painter, std::uint16_t id, const VideoStream& video, const engine::Instance* instance,
                   const QTransform& toDevice, const CxForm& cx);
    QPainterPath maskContainerPath(std::uint16_t id, const Character& character, const QTransform& toDevice,
                                   int nesting);

    const Movie& movie_;
    engine::TimelineEngine& engine_;
    std::shared_ptr<LayerHook> layerHook_;
    std::shared_ptr<TextHook> textHook_;
    double viewScale_ = 1; // device pixels per stage twip
    bool antialiased_ = true;
    std::size_t drawBudget_ = 0;
    // The buttons and sprites whose mask shapes are being gathered now.
    engine::OpenCharacters maskOpened_;
    BitmapLookup bitmapLookup_;
    std::function<void(const QString&)> warn_;
    // While render() runs: the state and its stage transform, for masks
    // that scripts set, which may live anywhere in the tree.
    const engine::RootState* state_ = nullptr;
    QTransform stageToDevice_;
    const engine::Instance* maskedNow_ = nullptr; // whose script mask is applied now
    // What has been drawn into the innermost open layer, or null outside
    // layers.
    DrawnArea* drawn_ = nullptr;

    std::unordered_map<std::uint16_t, PreparedShape> shapes_;
    std::unordered_map<std::uint16_t, std::optional<QRectF>> shapeBounds_; // in shape coordinates
    std::unordered_map<std::uint32_t, PreparedShape> morphs_;
    std::unordered_map<std::uint64_t, QPainterPath> glyphs_;
    // Bitmaps decoded on first use (null when their data is damaged), and
    // their colour-transformed copies.
    std::unordered_map<std::uint16_t, QImage> decodedBitmaps_;
    std::map<std::tuple<std::uint16_t, std::array<float, 8>>, QImage> bitmaps_;
    std::unordered_map<std::uint16_t, engine::TimelineState> buttonSprites_;
    std::unordered_map<std::uint16_t, std::unique_ptr<video::StreamPictures>> videos_;
};

} // namespace qev::swf::render
