#pragma once

#include "qev/swf/MovieControl.h"
#include "qev/swf/Player.h"

#include <QImage>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <QWidget>

class QAction;
class QMenu;

namespace qev::swf {

namespace control {
class AudioOutput;
}

// The movie control widget: plays one movie with our engine. Design settings
// as the player expects them: high quality (anti-aliased), the whole stage
// shown with its aspect kept and centred, play on load, loop on, and a
// context menu with Play, Loop, Rewind, Forward and Back.
class FlashControl : public QWidget, public MovieControl {
    Q_OBJECT
public:
    explicit FlashControl(QWidget* parent = nullptr);
    ~FlashControl() override;

    QWidget* widget() override { return this; }
    void Movie(const QString& path) override;
    QString Movie() const override { return moviePath_; }
    void Play() override;
    void Stop() override;
    int FrameNum() const override;
    void FrameNum(int frame) override;

    // Whether the control's clock runs (Play) or is halted (Stop).
    bool isRunning() const { return timer_.isActive(); }
    // Milliseconds between two beats of the clock: one frame at the movie's
    // rate (a quarter of that while a streaming sound leads the movie).
    int tickInterval() const { return timer_.interval(); }
    // One beat of the clock: the movie moves on one tick and is drawn again.
    // While the main timeline's streaming sound plays, its sound leads: the
    // movie moves on as many frames as the sound has (dropping pictures
    // when late, waiting when early). The clock calls it while running;
    // tests call it to step the movie without waiting for real time to pass.
    void tick();
    // Whether a device plays the movie's sound.
    bool soundIsLive() const;
    bool loops() const { return player_.loops(); }
    void setLoops(bool loop);
    // The reason the last movie could not be loaded, empty when it loaded.
    QString loadError() const { return loadError_; }
    const Player& player() const { return player_; }
    // How the control opens what a movie asks for (web addresses, files
    // beside the movie): the desktop's default application unless set.
    void setUrlOpener(std::function<void(const QUrl&)> opener) { urlOpener_ = std::move(opener); }
    // The context menu as it would pop up now (actions enabled and checked).
    QMenu* contextMenu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The mouse drives the movie's buttons; its events stop here and never
    // reach the window around the control.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // With a movie that has buttons or input fields, Tab and Shift+Tab move
    // the focus within the movie, as in the movie's player, rather than to
    // the next control of the window.
    bool focusNextPrevChild(bool next) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // A movie asked to open url in target (see UrlPolicy).
    void openFromMovie(const QString& url, const QString& target);
    void rewind();
    void forward();
    void back();
    void updateMenu();
    // Asks for a paint of the part of the picture that changed, if any.
    void showChanges();

    Player player_;
    // Opened with the first movie; outlives movies.
    std::unique_ptr<control::AudioOutput> audio_;
    int soundWaits_ = 0; // ticks in a row the sound held the movie back
    int frameInterval_ = 0; // ms
    QString moviePath_;
    std::function<void(const QUrl&)> urlOpener_;
    QString loadError_;
    QImage frame_; // the picture last drawn, shown again by paints that need no new one
    QTimer timer_;
    QMenu* menu_ = nullptr;
    QAction* playAction_ = nullptr;
    QAction* loopAction_ = nullptr;
    QAction* rewindAction_ = nullptr;
    QAction* forwardAction_ = nullptr;
    QAction* backAction_ = nullptr;
};

} // namespace qev::swf

namespace qev::swf {

// Creates a control owned by parent, behind a handle that is safe to destroy
// before or after the parent: it deletes the widget if the widget still
// exists, and every call through it after the widget is gone does nothing.
std::unique_ptr<MovieControl> createMovieControl(QWidget* parent);

} // namespace qev::swf
