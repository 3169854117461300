#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace qev::swf {

namespace media {
class Mixer;
}

struct Movie;

// Plays one decoded movie: the timeline with its sprites and frame actions,
// seeking, and drawing a frame. The control widget and the tools share it,
// so what the tools draw is what the control shows.
class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Loads a movie; returns an empty string on success, else the reason.
    // On failure the player holds no movie (an empty stage).
    QString load(const QString& path);
    QString loadBytes(const QByteArray& bytes);
    void clear();

    bool hasMovie() const;
    // The short line the stage shows when the last movie could not be read
    // (or held not one whole frame), for example "This movie cannot be
    // read: the file ends early."; empty otherwise.
    QString notice() const;
    // Stage size in pixels (at 20 twips to the pixel).
    QSize stageSize() const;
    double frameRate() const;
    int frameCount() const;
    QColor backgroundColor() const;

    // The main timeline's frame, 0-based.
    int currentFrame() const;
    // Whether the main timeline runs on at the next advance(); frame actions
    // (stop, play, go to) change it as the movie plays.
    bool isPlaying() const;
    void setPlaying(bool playing);
    bool loops() const;
    void setLoops(bool loop);

    // One tick at the movie's frame rate: the main timeline moves on (when
    // playing), placed sprites move on, and the frame's actions run.
    void advance();
    // Shows frame n (clamped to the movie) exactly as playing from the first
    // frame up to n would show it. Does not change isPlaying().
    void gotoFrame(int n);

    // Anti-aliased drawing (the control's high quality) or not (low quality:
    // edges snap to whole pixels). On by default.
    bool antialiased() const;
    void setAntialiased(bool on);

    // Mouse input at a point of the target last drawn into. Buttons under the
    // pointer change their picture and run their actions; each returns
    // whether the picture may have changed.
    bool mouseMove(QPointF pos);
    bool mousePress(QPointF pos);
    bool mouseRelease(QPointF pos);
    bool mouseLeave();
    // Whether the pointer is over a button (the control shows a hand).
    bool overButton() const;
    // Whether Tab has anything to move the focus to in the movie (buttons,
    // clips acting as buttons, input fields).
    bool hasTabStops() const;
    // A key went down or up (qtKey a Qt::Key, text what it typed): the
    // movie's key handlers and buttons' key presses run. Returns whether
    // the picture may have changed.
    bool keyPress(int qtKey, const QString& text);
    bool keyRelease(int qtKey, const QString& text);

    // Draws the current frame scaled to show the whole stage in target, aspect
    // kept and centred; the rest of target is filled with the background.
    void render(QPainter& painter, const QRect& target) const;
    // Whether the picture differs from the one render() drew last (true
    // before the first). A still movie, or a frame put again, changes
    // nothing, and need not be drawn again.
    bool pictureChanged() const;
    // The part of target (as last drawn into) whose picture differs from
    // the one render() drew last: empty when nothing changed, all of
    // target when the change cannot be bounded (or is large). Drawing only
    // this part, clipped, over the last picture gives the new one.
    QRect changedArea(const QRect& target) const;
    QImage renderImage(const QSize& size) const;

    // Script output: trace() lines, and warnings of the reader and the
    // scripts (stopped scripts, bad actions). Set before load() to see the
    // first frame's output.
    void setTraceHandler(std::function<void(const QString&)> handler);
    void setWarningHandler(std::function<void(const QString&)> handler);
    // What the movie asks to open (getURL), with the window or level it
    // names; fscommand calls never arrive here, nor movies loaded into
    // clips and levels above 0, which the player loads itself. A movie
    // loaded into _level0 arrives here when a handler is set; without one
    // the player plays it in place of its movie. Set before load().
    void setUrlHandler(std::function<void(const QString& url, const QString& target)> handler);
    // Scripts see a clock that moves exactly one frame's time per
    // advance(), from a fixed date (ms since 1970) in a fixed time zone
    // (minutes east of UTC); otherwise the real clock. Set before load().
    void setVirtualClock(double epochMs, int timeZoneMinutes);

    // What the scripts of one frame may spend together: actions, and
    // wall-clock milliseconds. Past either, the frame's remaining scripts
    // are stopped (with a warning) and the movie plays on. By default 4
    // million actions and one second.
    void setScriptBudget(std::size_t actions, int milliseconds);

    // Sound. The movie's sounds are mixed into 44.1 kHz 16-bit stereo; the
    // mixer outlives movies (loading another movie ends the old sounds).
    // Nothing is mixed until someone listens: the control's audio output,
    // or a tool that turns on capture and takes the mix frame by frame.
    std::shared_ptr<media::Mixer> mixer() const;
    bool hasSound() const;
    void setSoundCapture(bool on);
    // The next movie frame's share of the mix (interleaved left, right),
    // counting frames from the last load; for tools that play without a clock.
    std::vector<std::int16_t> mixFrame();
    // While the main timeline's streaming sound plays: the frame its sound
    // has reached, which the clock follows; -1 otherwise.
    int soundFrame() const;

    // How many frames apart the seek snapshots are kept.
    static constexpr int snapshotInterval = 16;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace qev::swf
