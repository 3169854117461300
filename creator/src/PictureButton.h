#pragma once

#include <QToolButton>

// A push button that shows a picture with its caption, if any, below it.
// A caption wider than the button wraps onto a second line, as the
// original's picture buttons did ("Make autorun CD" on an 89-pixel button).
class PictureButton : public QToolButton {
    Q_OBJECT
public:
    PictureButton(const QString& iconPath, QSize pictureSize, const QString& caption,
                  const QString& toolTip, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
