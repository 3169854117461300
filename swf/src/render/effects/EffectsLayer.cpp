#include "render/effects/EffectsLayer.h"

#include "render/effects/BlendModes.h"
#include "render/effects/Filters.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace qev::swf::effects {

namespace {

bool emptyRow(const QImage& image, int y, int left, int right)
{
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = left; x <= right; ++x)
        if (row[x] != 0)
            return false;
    return true;
}

// The smallest rectangle holding every pixel of `within` that is not fully
// transparent. Rows are searched from the top and the bottom, and then
// only the columns outside what is already known to be drawn, so a solid
// object costs little more than its outline.
QRect drawnArea(const QImage& image, const QRect& within)
{
    if (within.isEmpty())
        return {};
    int top = within.top();
    while (top <= within.bottom() && emptyRow(image, top, within.left(), within.right()))
        ++top;
    if (top > within.bottom())
        return {};
    int bottom = within.bottom();
    while (bottom > top && emptyRow(image, bottom, within.left(), within.right()))
        --bottom;
    int left = within.right() + 1; // none found yet
    int right = within.left() - 1;
    for (int y = top; y <= bottom; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = within.left(); x < left; ++x) {
            if (row[x] != 0) {
                left = x;
                break;
            }
        }
        for (int x = within.right(); x > right; --x) {
            if (row[x] != 0) {
                right = x;
                break;
            }
        }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Makes `area` of the image transparent again.
void clearArea(QImage& image, const QRect& area)
{
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + r.left(), row + r.right() + 1, QRgb(0));
    }
}

QPainter::CompositionMode qtMode(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Multiply: return QPainter::CompositionMode_Multiply;
    case BlendMode::Screen: return QPainter::CompositionMode_Screen;
    case BlendMode::Lighten: return QPainter::CompositionMode_Lighten;
    case BlendMode::Darken: return QPainter::CompositionMode_Darken;
    case BlendMode::Difference: return QPainter::CompositionMode_Difference;
    case BlendMode::Add: return QPainter::CompositionMode_Plus;
    case BlendMode::Overlay: return QPainter::CompositionMode_Overlay;
    case BlendMode::HardLight: return QPainter::CompositionMode_HardLight;
    case BlendMode::Invert: return QPainter::CompositionMode_Difference;
    case BlendMode::Alpha: return QPainter::CompositionMode_DestinationIn;
    case BlendMode::Erase: return QPainter::CompositionMode_DestinationOut;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

void fillBehind(QImage& image, const QRect& area, const Rgba& color)
{
    QImage back(area.size(), QImage::Format_ARGB32_Premultiplied);
    back.fill(QColor(color.r, color.g, color.b, color.a));
    QPainter p(&back);
    p.drawImage(QPoint(0, 0), image, area);
    p.end();
    QPainter q(&image);
    q.setCompositionMode(QPainter::CompositionMode_Source);
    q.drawImage(area.topLeft(), back);
}

// The object's colour transform applies to what its filters make, too; the
// content reaches the filters already transformed, so only the colours the
// filters bring in are transformed here (their alpha stays: the content's
// alpha already carries the transform's).
Rgba tint(const Rgba& c, const render::CxForm& cx)
{
    const QColor t = cx.apply(c);
    return Rgba{std::uint8_t(t.red()), std::uint8_t(t.green()), std::uint8_t(t.blue()), c.a};
}

std::vector<Filter> tinted(const std::vector<Filter>& filters, const render::CxForm& cx)
{
    if (cx.isIdentity() || cx.isAlphaOnly())
        return filters;
    std::vector<Filter> out = filters;
    for (Filter& f : out) {
        std::visit(
            [&cx](auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, DropShadowFilter> || std::is_same_v<T, GlowFilter>) {
                    v.color = tint(v.color, cx);
                } else if constexpr (std::is_same_v<T, BevelFilter>) {
                    v.shadowColor = tint(v.shadowColor, cx);
                    v.highlightColor = tint(v.highlightColor, cx);
                } else if constexpr (std::is_same_v<T, GradientFilter>) {
                    for (auto& r : v.colors)
                        r.color = tint(r.color, cx);
                }
            },
            f);
    }
    return out;
}

// The alpha terms of a colour transform applied to a flattened layer
// (premultiplied): each pixel's alpha a becomes a * mul + add, its colour
// scaled along. Pixels nothing was drawn on stay empty.
void applyLayerAlpha(QImage& image, float mul, float add)
{
    if (mul == 1.0f && add == 0.0f)
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            const int a = qAlpha(p);
            if (a == 0)
                continue;
            const int na = std::clamp(int(std::lround(a * mul + add)), 0, 255);
            if (na == a)
                continue;
            const double f = double(na) / a;
            auto scaled = [f, na](int c) { return std::min(na, int(std::lround(c * f))); };
            row[x] = qRgba(scaled(qRed(p)), scaled(qGreen(p)), scaled(qBlue(p)), na);
        }
    }
}

} // namespace

EffectsLayer::EffectsLayer(QSize stageSize) : stageSize_(stageSize) {}

bool EffectsLayer::wantsLayer(const engine::Instance& instance) const
{
    return !instance.filters.empty() || (instance.blendMode != BlendMode::Normal && int(instance.blendMode) != 0)
        || (instance.cacheAsBitmap && instance.backgroundColor.has_value());
}

double EffectsLayer::stageScale(const QPaintDevice& device) const
{
    if (stageSize_.width() <= 0 || stageSize_.height() <= 0)
        return 1.0;
    return std::min(double(device.width()) / stageSize_.width(), double(device.height()) / stageSize_.height());
}

render::DrawnArea EffectsLayer::drawLayer(QPainter& painter, const engine::Instance& instance, const QTransform&,
                                          const render::CxForm& cx,
                                          const std::function<render::DrawnArea(QPainter&)>& drawContent)
{
    QPaintDevice* device = painter.device();
    if (!device || device->width() <= 0 || device->height() <= 0 || device->width() > maxLayerSide
        || device->height() > maxLayerSide)
        return drawContent(painter);
    const QRect deviceRect(0, 0, device->width(), device->height());
    const BlendMode mode = blendModeFromCode(int(instance.blendMode));
    const bool intoLayer = !open_.empty() && device == static_cast<const QPaintDevice*>(open_.back());
    // On the stage, which is opaque, a change of alpha alone shows nothing.
    if (actsOnParentAlpha(mode) && !intoLayer)
        return {};

    // The renderer sets absolute device transforms, so the layer shares the
    // device's coordinates.
    const std::size_t level = open_.size();
    if (spare_.size() <= level)
        spare_.resize(level + 1);
    std::unique_ptr<QImage>& spare = spare_[level];
    if (!spare || spare->size() != deviceRect.size()) {
        spare = std::make_unique<QImage>(deviceRect.size(), QImage::Format_ARGB32_Premultiplied);
        spare->fill(0);
    }
    QImage& layer = *spare;
    render::DrawnArea content;
    {
        QPainter lp(&layer);
        lp.setRenderHints(painter.renderHints());
        open_.push_back(&layer);
        content = drawContent(lp);
        open_.pop_back();
    }
    // Every pixel drawn lies in `reach`; the layer is transparent elsewhere.
    // (Cut to the device before rounding: far-off objects may lie beyond
    // what an int holds.)
    const QRect reach = content.known
        ? content.rect.intersected(QRectF(deviceRect)).toAlignedRect().intersected(deviceRect)
        : deviceRect;

    QRect drawn = drawnArea(layer, reach);
    if (instance.cacheAsBitmap && instance.backgroundColor && drawn.isValid())
        fillBehind(layer, drawn, *instance.backgroundColor);
    const double scale = stageScale(*device);
    const QRect area = drawn.marginsAdded(filterPadding(instance.filters, scale)).intersected(deviceRect);
    if (!area.isValid()) {
        clearArea(layer, reach);
        return {};
    }

    QImage piece = layer.copy(area);
    clearArea(layer, reach);
    applyFilters(piece, tinted(instance.filters, cx), scale);
    applyLayerAlpha(piece, cx.mul[3], cx.add[3]);

    painter.save();
    painter.resetTransform();
    if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
        painter.drawImage(area.topLeft(), piece);
    } else if (device->devType() == QInternal::Image) {
        // Blend onto a copy of what lies below, then put the result back
        // through the painter so that its clip still applies.
        const auto* below = static_cast<const QImage*>(device);
        const QRect region = actsOnParentAlpha(mode) ? deviceRect : area;
        QImage result = below->copy(region);
        if (result.format() != QImage::Format_ARGB32_Premultiplied)
            result.convertTo(QImage::Format_ARGB32_Premultiplied);
        blendLayer(result, piece, area.topLeft() - region.topLeft(), mode);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(region.topLeft(), result);
    } else {
        // Nothing to read back from: Qt's nearest composition mode.
        if (mode == BlendMode::Invert) {
            QPainter whiten(&piece);
            whiten.setCompositionMode(QPainter::CompositionMode_SourceIn);
            whiten.fillRect(piece.rect(), Qt::white);
        }
        painter.setCompositionMode(qtMode(mode));
        painter.drawImage(area.topLeft(), piece);
    }
    painter.restore();
    // Alpha and erase may also clear pixels outside `area`, which makes
    // nothing appear there.
    render::DrawnArea changed;
    changed.add(QRectF(area));
    return changed;
}

} // namespace qev::swf::effects
