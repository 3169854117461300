#pragma once

#include <QAbstractButton>

namespace qev::player {

// An invisible area over a drawn toolbar button that reports left clicks
// (press and release inside it). It draws nothing, takes no focus and
// reacts to no key.
class ClickArea : public QAbstractButton {
    Q_OBJECT

public:
    explicit ClickArea(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Keys pass by as on any plain picture.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace qev::player
