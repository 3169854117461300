#include "render/StageNotice.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace qev::swf::render {

void drawStageNotice(QPainter& painter, const QRectF& area, const QColor& background, const QString& line)
{
    if (line.isEmpty() || area.width() < 4 || area.height() < 4)
        return;
    painter.save();
    painter.resetTransform();
    painter.setClipRect(area, Qt::IntersectClip);
    QFont font = painter.font();
    // About a twentieth of the height, but never wider than the area.
    double size = std::clamp(area.height() / 20.0, 6.0, 18.0);
    font.setPixelSize(int(size));
    const double room = area.width() * 0.9;
    const double width = QFontMetricsF(font).horizontalAdvance(line);
    if (width > room && width > 0) {
        size = std::max(6.0, size * room / width);
        font.setPixelSize(int(size));
    }
    painter.setFont(font);
    painter.setPen(background.lightnessF() > 0.5 ? QColor(64, 64, 64) : QColor(224, 224, 224));
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QString shown = QFontMetricsF(font).elidedText(line, Qt::ElideRight, room);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, shown);
    painter.restore();
}

} // namespace qev::swf::render
