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
class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(Platform& platform, const MovieControlMaker& makeMovieControl, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: finds "PlayList.qev" in the current directory and fills the
    // lists from it. Returns whether the window is to be shown; false after
    // the missing-playlist message, when the program ends.
    bool Form_Load();

    // Empties both lists, then appends one row and one movie path per pair
    // of fName. A failure while reading leaves the pairs read before it.
    void LoadPlayList(const QString& fName, QTreeWidget& songList);

    // The folder the playlist was looked for in and the prefix of every movie path.
    const QString& startFolder() const { return StartFolder; }
    // The movie path of each row, in row order.
    const QStringList& playList() const { return PlayList; }

private slots:
    void lstViewSongList_Click();
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Image5_Click();
    void Image6_Click();
    void Image7_Click();
    void Timer1_Timer();
    void Timer2_Timer();

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

    std::unique_ptr<swf::MovieControl> Flash1;
    QTreeWidget* lstViewSongList = nullptr;
    QLabel* Image1 = nullptr;
    ClickArea* Image2 = nullptr;
    ClickArea* Image3 = nullptr;
    ClickArea* Image4 = nullptr;
    ClickArea* Image5 = nullptr;
    ClickArea* Image6 = nullptr;
    ClickArea* Image7 = nullptr;
    QTimer* Timer1 = nullptr; // rewind: two frames back per tick
    QTimer* Timer2 = nullptr; // fast forward: two frames on per tick

    // The movie path of each row of lstViewSongList, at the same position.
    QStringList PlayList;
    QString StartFolder;
};

} // namespace qev::player
