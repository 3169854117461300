#pragma once

#include "qev/CodePage.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QTimer;
class QTreeWidget;

namespace qev {
class Platform;
namespace swf {
class MovieControl;
}
} // namespace qev

namespace qev::player {

class ClickArea;

// Creates the movie control as a child of the given parent. The program
// passes the factory of the loaded "Flash.ocx" module; tests pass a fake.
using MovieControlMaker = std::function<std::unique_ptr<swf::MovieControl>(QWidget* parent)>;

// The player's only window: the movie area, the list of movies and the
// toolbar with its two stepping timers.
class PlayerWindow : public QWidget {
    Q_OBJECT

public:
    PlayerWindow(Platform& platform, const MovieControlMaker& makeMovieControl, QWidget* parent = nullptr);
    ~PlayerWindow() override;

    // Start-up: finds "PlayList.qev" in the current directory and fills the
    // lists from it. Returns whether the window is to be shown; false after
    // the missing-playlist message, when the program ends.
    bool loadStartFolder();

    // Empties both lists, then appends one row and one movie path per pair
    // of fName. A failure while reading leaves the pairs read before it.
    void loadPlaylist(const QString& fName, QTreeWidget& songList);

    // The folder the playlist was looked for in and the prefix of every movie path.
    const QString& startFolder() const { return startFolder_; }
    // The movie path of each row, in row order.
    const QStringList& moviePaths() const { return moviePaths_; }

private slots:
    void movieListClicked();
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void rewindClicked();
    void fastForwardClicked();
    void restartClicked();
    void rewindTick();
    void fastForwardTick();

private:
    void createControls(const MovieControlMaker& makeMovieControl);
    void placeControls();
    void connectHandlers();
    // Runs a handler; a failure it raises is told in a message box and the
    // player goes on running.
    void runHandler(QWidget* owner, const std::function<void()>& handler);
    // One tick of a stepping timer: moves the movie's frame by step.
    void stepFrames(QTimer& timer, int step);

    Platform& platform_;
    CodePage codePage_;

    std::unique_ptr<swf::MovieControl> movie_;
    QTreeWidget* movieList_ = nullptr;
    QLabel* toolbarStrip_ = nullptr;
    ClickArea* playButton_ = nullptr;
    ClickArea* pauseButton_ = nullptr;
    ClickArea* stopButton_ = nullptr;
    ClickArea* rewindButton_ = nullptr;
    ClickArea* fastForwardButton_ = nullptr;
    ClickArea* restartButton_ = nullptr;
    QTimer* rewindTimer_ = nullptr; // rewind: two frames back per tick
    QTimer* fastForwardTimer_ = nullptr; // fast forward: two frames on per tick

    // The movie path of each row of movieList_, at the same position.
    QStringList moviePaths_;
    QString startFolder_;
};

} // namespace qev::player
