#include "ClickArea.h"

namespace qev::player {

ClickArea::ClickArea(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ClickArea::paintEvent(QPaintEvent*)
{
    // The button is part of the strip picture underneath.
}

void ClickArea::keyPressEvent(QKeyEvent* event)
{
    QWidget::keyPressEvent(event);
}

void ClickArea::keyReleaseEvent(QKeyEvent* event)
{
    QWidget::keyReleaseEvent(event);
}

} // namespace qev::player
