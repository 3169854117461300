#include "qev/swf/FlashControl.h"

#include "control/AudioOutput.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>

#include "UrlPolicy.h"

#include <algorithm>
#include <cstdio>
#include <cmath>

namespace qev::swf {

FlashControl::FlashControl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Flash1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    timer_.setTimerType(Qt::PreciseTimer);
    urlOpener_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    player_.setUrlHandler([this](const QString& url, const QString& target) { openFromMovie(url, target); });
    connect(&timer_, &QTimer::timeout, this, &FlashControl::tick);

    menu_ = new QMenu(this);
    playAction_ = menu_->addAction(tr("Play"));
    playAction_->setCheckable(true);
    loopAction_ = menu_->addAction(tr("Loop"));
    loopAction_->setCheckable(true);
    menu_->addSeparator();
    rewindAction_ = menu_->addAction(tr("Rewind"));
    forwardAction_ = menu_->addAction(tr("Forward"));
    backAction_ = menu_->addAction(tr("Back"));
    connect(playAction_, &QAction::triggered, this, [this] { isRunning() ? Stop() : Play(); });
    connect(loopAction_, &QAction::toggled, this, &FlashControl::setLoops);
    connect(rewindAction_, &QAction::triggered, this, &FlashControl::rewind);
    connect(forwardAction_, &QAction::triggered, this, &FlashControl::forward);
    connect(backAction_, &QAction::triggered, this, &FlashControl::back);
    updateMenu();
}

FlashControl::~FlashControl() = default;

void FlashControl::Movie(const QString& path)
{
    timer_.stop();
    moviePath_ = path;
    if (!path.isEmpty() && !audio_)
        audio_ = std::make_unique<control::AudioOutput>(player_.mixer());
    loadError_ = path.isEmpty() ? QString() : player_.load(path);
    if (path.isEmpty())
        player_.clear();
    if (player_.hasMovie()) {
        // Play on load: the movie starts by itself at frame 0.
        Play();
    }
    update();
}

void FlashControl::Play()
{
    if (!player_.hasMovie())
        return;
    player_.setPlaying(true);
    const double rate = player_.frameRate();
    frameInterval_ = std::clamp(static_cast<int>(std::lround(1000.0 / rate)), 1, 1000);
    timer_.start(frameInterval_);
}

void FlashControl::Stop()
{
    timer_.stop();
    player_.setPlaying(false);
}

int FlashControl::FrameNum() const
{
    return player_.currentFrame();
}

void FlashControl::FrameNum(int frame)
{
    if (!player_.hasMovie())
        return;
    // The player clamps: below 0 is the first frame, past the end the last.
    player_.gotoFrame(frame);
    // A frame put again (a rewind held at the first frame) draws nothing.
    showChanges();
}

void FlashControl::showChanges()
{
    const QRect changed = player_.changedArea(rect());
    if (!changed.isEmpty())
        update(changed);
}

void FlashControl::setLoops(bool loop)
{
    player_.setLoops(loop);
}

bool FlashControl::soundIsLive() const
{
    return audio_ && audio_->isLive();
}

void FlashControl::tick()
{
    // Frames a late clock catches up in one beat; beats the sound may hold
    // the movie back before the clock stops waiting for it (a stalled
    // device): about four frames' time.
    constexpr int maxCatchUp = 8;
    constexpr int beatsPerFrame = 4;
    constexpr int maxWaits = 4 * beatsPerFrame;
    int steps = 1;
    const int heard = player_.soundFrame();
    // While a stream leads, the clock beats several times a frame, so the
    // picture changes within a fraction of a frame of its sound.
    const int interval = heard >= 0 ? std::max(1, frameInterval_ / beatsPerFrame) : frameInterval_;
    if (timer_.isActive() && timer_.interval() != interval)
        timer_.setInterval(interval);
    if (heard >= 0) {
        steps = std::clamp(heard - player_.currentFrame(), 0, maxCatchUp);
        soundWaits_ = steps == 0 ? soundWaits_ + 1 : 0;
        if (soundWaits_ > maxWaits) {
            steps = 1;
            soundWaits_ = 0;
        }
    }
    for (int i = 0; i < steps; ++i)
        player_.advance();
    // A still movie costs no drawing; a small change only its own part.
    if (steps > 0)
        showChanges();
}

void FlashControl::rewind()
{
    Stop();
    FrameNum(0);
}

void FlashControl::forward()
{
    Stop();
    FrameNum(FrameNum() + 1);
}

void FlashControl::back()
{
    Stop();
    FrameNum(FrameNum() - 1);
}

void FlashControl::updateMenu()
{
    const bool movie = player_.hasMovie();
    playAction_->setEnabled(movie);
    playAction_->setChecked(isRunning());
    loopAction_->setEnabled(movie);
    loopAction_->setChecked(player_.loops());
    rewindAction_->setEnabled(movie && FrameNum() > 0);
    backAction_->setEnabled(movie && FrameNum() > 0);
    forwardAction_->setEnabled(movie && FrameNum() + 1 < player_.frameCount());
}

QMenu* FlashControl::contextMenu()
{
    updateMenu();
    return menu_;
}

void FlashControl::paintEvent(QPaintEvent* event)
{
    // The frame is drawn into an image of the control's own (on a drawing
    // thread, see Player::render) only where the picture changed; an expose
    // just shows it again.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (frame_.size() != pixels || frame_.devicePixelRatio() != ratio) {
        frame_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        frame_.setDevicePixelRatio(ratio);
        QPainter painter(&frame_);
        player_.render(painter, rect());
    } else if (const QRect changed = player_.changedArea(rect()); !changed.isEmpty()) {
        QPainter painter(&frame_);
        if (changed != rect())
            painter.setClipRect(changed);
        player_.render(painter, rect());
    }
    QPainter painter(this);
    const QRect shown = event->rect();
    painter.drawImage(QRectF(shown), frame_, QRectF(QPointF(shown.topLeft()) * ratio, QSizeF(shown.size()) * ratio));
}

void FlashControl::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (player_.mouseMove(event->position()))
        update();
    setCursor(player_.overButton() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void FlashControl::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && player_.mousePress(event->position()))
        update();
}

void FlashControl::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && player_.mouseRelease(event->position()))
        update();
    setCursor(player_.overButton() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void FlashControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A second click is a press like the first.
    mousePressEvent(event);
}

void FlashControl::leaveEvent(QEvent* event)
{
    if (player_.mouseLeave())
        update();
    unsetCursor();
    QWidget::leaveEvent(event);
}

void FlashControl::openFromMovie(const QString& url, const QString& target)
{
    const UrlDecision d = decideUrl(url, target, QFileInfo(moviePath_).absolutePath());
    switch (d.action) {
    case UrlDecision::Action::Ignore:
        break;
    case UrlDecision::Action::OpenExternal:
    case UrlDecision::Action::OpenFile:
        if (urlOpener_)
            urlOpener_(d.url);
        break;
    case UrlDecision::Action::LoadMovie:
        // Not while the movie's own script is running: the next turn of the
        // event loop replaces it.
        QMetaObject::invokeMethod(this, [this, path = d.path] { Movie(path); }, Qt::QueuedConnection);
        break;
    case UrlDecision::Action::Refuse:
        fprintf(stderr, "The movie asked to open %s; refused: %s.\n", qPrintable(d.path), qPrintable(d.reason));
        break;
    }
}

void FlashControl::keyPressEvent(QKeyEvent* event)
{
    // Held keys repeat their presses, as the movie's player reports them.
    if (player_.keyPress(event->key(), event->text()))
        update();
    // Tab that moved the focus within the movie goes no further (the
    // window would move the focus on as well).
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && player_.hasTabStops()) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FlashControl::focusNextPrevChild(bool next)
{
    // A movie without buttons or input fields leaves Tab to the window.
    if (player_.hasTabStops())
        return false; // the key reaches keyPressEvent and the movie
    return QWidget::focusNextPrevChild(next);
}

void FlashControl::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat() && player_.keyRelease(event->key(), event->text()))
        update();
    QWidget::keyReleaseEvent(event);
}

void FlashControl::contextMenuEvent(QContextMenuEvent* event)
{
    contextMenu()->popup(event->globalPos());
}

} // namespace qev::swf
