#include "PictureButton.h"

#include <QIcon>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

PictureButton::PictureButton(const QString& iconPath, QSize pictureSize, const QString& caption,
                             const QString& toolTip, QWidget* parent)
    : QToolButton(parent)
{
    setIcon(QIcon(iconPath));
    setIconSize(pictureSize);
    setText(caption);
    setToolTip(toolTip);
    setAutoRaise(false);
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);

    // The style draws the frame and the focus; picture and caption are ours.
    QStyleOptionToolButton frame = option;
    frame.text.clear();
    frame.icon = QIcon();
    frame.toolButtonStyle = Qt::ToolButtonIconOnly;
    painter.drawComplexControl(QStyle::CC_ToolButton, frame);

    const bool pressed = option.state & QStyle::State_Sunken;
    const QPoint shift = pressed ? QPoint(1, 1) : QPoint(0, 0);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap picture = icon().pixmap(iconSize(), devicePixelRatio(), mode);

    const QRect inner = rect().adjusted(3, 3, -3, -3);
    if (text().isEmpty()) {
        QRect target(QPoint(), iconSize());
        target.moveCenter(inner.center());
        painter.drawPixmap(target.topLeft() + shift, picture);
        return;
    }

    const QFontMetrics metrics(font());
    const QRect textBox = metrics.boundingRect(inner, Qt::AlignHCenter | Qt::TextWordWrap, text());
    const int gap = 2;
    const int total = iconSize().height() + gap + textBox.height();
    const int top = inner.top() + std::max(0, (inner.height() - total) / 2);
    const QPoint pictureAt(inner.left() + (inner.width() - iconSize().width()) / 2, top);
    painter.drawPixmap(pictureAt + shift, picture);
    const QRect captionRect(inner.left(), top + iconSize().height() + gap, inner.width(),
                            textBox.height());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::ButtonText));
    painter.drawText(captionRect.translated(shift), Qt::AlignHCenter | Qt::TextWordWrap, text());
}
