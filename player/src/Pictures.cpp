#include "Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace qev::player {

namespace {

QPixmap render(const QString& resource, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QPixmap windowIconPicture()
{
    return render(QStringLiteral(":/player/Ostiv.svg"), QSize(100, 100));
}

QPixmap toolbarStripPicture()
{
    return render(QStringLiteral(":/player/Toolbar.svg"), QSize(706, 46));
}

} // namespace qev::player
