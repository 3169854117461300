#include "PlayerWindow.h"

#include "ClickArea.h"
#include "FrameStep.h"
#include "Pictures.h"

#include "qev/FileLookup.h"
#include "qev/HandlerGuard.h"
#include "qev/Paths.h"
#include "qev/Platform.h"
#include "qev/Playlist.h"
#include "qev/swf/MovieControl.h"

#include <QDir>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <stdexcept>
#include <utility>

namespace qev::player {

namespace {

const QString kProgramTitle = QStringLiteral("Ostiv");

// The window was laid out in twips; at 96 dots per inch a pixel is 15 twips.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

// A timer that is already running keeps its rhythm when switched on again.
void switchOn(QTimer& timer)
{
    if (!timer.isActive())
        timer.start();
}

// The text of a row: the name on one line. A line feed inside a name would
// make its row taller, and with rows of uniform height every row with it.
QString oneLine(QString name)
{
    for (QChar& c : name) {
        switch (c.unicode()) {
        case u'\n': case u'\r': case u'\v': case u'\f': case 0x0085: case 0x2028: case 0x2029:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return name;
}

} // namespace

PlayerWindow::PlayerWindow(Platform& platform, const MovieControlMaker& makeMovieControl, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , platform_(platform)
    , codePage_(CodePage::fromEnvironment())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QEV Menu Player"));
    setWindowIcon(QIcon(windowIconPicture()));
    setFixedSize(px(10605), px(7635));

    createControls(makeMovieControl);
    placeControls();
    connectHandlers();
}

PlayerWindow::~PlayerWindow() = default;

void PlayerWindow::createControls(const MovieControlMaker& makeMovieControl)
{
    // Pictures first: the movie area and the list lie above them where they meet.
    toolbarStrip_ = new QLabel(this);
    toolbarStrip_->setObjectName(QStringLiteral("Image1"));
    toolbarStrip_->setPixmap(toolbarStripPicture());

    ClickArea** areas[] = {&playButton_, &pauseButton_, &stopButton_, &rewindButton_, &fastForwardButton_, &restartButton_};
    int number = 2;
    for (ClickArea** area : areas) {
        *area = new ClickArea(this);
        (*area)->setObjectName(QStringLiteral("Image%1").arg(number++));
    }

    movie_ = makeMovieControl(this);
    if (!movie_ || !movie_->widget())
        throw std::runtime_error("The movie control could not be created.");
    movie_->widget()->setObjectName(QStringLiteral("Flash1"));
    // Movies take keys: the movie area is reached with Tab and by a click.
    movie_->widget()->setFocusPolicy(Qt::StrongFocus);

    movieList_ = new QTreeWidget(this);
    movieList_->setObjectName(QStringLiteral("lstViewSongList"));
    movieList_->setColumnCount(1);
    movieList_->setHeaderLabels({QStringLiteral("Item")});
    movieList_->setRootIsDecorated(false);
    movieList_->setItemsExpandable(false);
    movieList_->setSortingEnabled(false);
    movieList_->setUniformRowHeights(true);
    movieList_->setSelectionMode(QAbstractItemView::SingleSelection);
    movieList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    movieList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The one column spans the list's visible width, so no sideways scroll
    // bar appears; names too long for it are cut short with an ellipsis.
    movieList_->header()->setStretchLastSection(true);
    movieList_->header()->setSectionsMovable(false);
    // Verdana where it is installed; the toolkit picks the nearest font elsewhere.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    movieList_->setFont(font);

    rewindTimer_ = new QTimer(this);
    rewindTimer_->setObjectName(QStringLiteral("Timer1"));
    fastForwardTimer_ = new QTimer(this);
    fastForwardTimer_->setObjectName(QStringLiteral("Timer2"));
    for (QTimer* timer : {rewindTimer_, fastForwardTimer_})
        timer->setInterval(10);
}

void PlayerWindow::placeControls()
{
    movie_->widget()->setGeometry(0, 0, px(7620), px(6975));
    movieList_->setGeometry(px(7620), 0, px(2950), px(6975));
    toolbarStrip_->setGeometry(0, px(6960), px(10590), px(690));

    struct Place {
        ClickArea* area;
        int left;
        int width;
    };
    const Place places[] = {
        {playButton_, 105, 540}, {pauseButton_, 735, 540}, {stopButton_, 1365, 540},
        {rewindButton_, 1995, 645}, {fastForwardButton_, 2730, 540}, {restartButton_, 3360, 540},
    };
    for (const Place& place : places)
        place.area->setGeometry(px(place.left), px(6960), px(place.width), px(645));

    setTabOrder(movie_->widget(), movieList_);
}

void PlayerWindow::connectHandlers()
{
    // The list reacts to a mouse click on a row, after the click has moved
    // the selection; keys and clicks on empty space have no handler.
    connect(movieList_, &QTreeWidget::itemClicked, this, &PlayerWindow::movieListClicked);
    connect(playButton_, &ClickArea::clicked, this, &PlayerWindow::playClicked);
    connect(pauseButton_, &ClickArea::clicked, this, &PlayerWindow::pauseClicked);
    connect(stopButton_, &ClickArea::clicked, this, &PlayerWindow::stopClicked);
    connect(rewindButton_, &ClickArea::clicked, this, &PlayerWindow::rewindClicked);
    connect(fastForwardButton_, &ClickArea::clicked, this, &PlayerWindow::fastForwardClicked);
    connect(restartButton_, &ClickArea::clicked, this, &PlayerWindow::restartClicked);
    connect(rewindTimer_, &QTimer::timeout, this, &PlayerWindow::rewindTick);
    connect(fastForwardTimer_, &QTimer::timeout, this, &PlayerWindow::fastForwardTick);
}

void PlayerWindow::runHandler(QWidget* owner, const std::function<void()>& handler)
{
    qev::runHandler(platform_, owner, kProgramTitle, handler);
}

bool PlayerWindow::loadStartFolder()
{
    startFolder_ = QDir::currentPath();
    const std::optional<QString> playlist = findRegularFile(joinPath(startFolder_, u"PlayList.qev"));
    if (!playlist) {
        platform_.message(nullptr, kProgramTitle,
                          QStringLiteral("QEV Project incorrect: PlayList file is not found."));
        return false;
    }
    // A playlist that fails part-way is reported; the window still opens
    // with the items read before the failure.
    runHandler(nullptr, [&] { loadPlaylist(*playlist, *movieList_); });
    return true;
}

void PlayerWindow::loadPlaylist(const QString& fName, QTreeWidget& songList)
{
    songList.clear();
    moviePaths_.clear();
    // The rows go into the list in one insertion, which lays the list out
    // once instead of once per row; the pairs read before a failure are
    // still added before the failure is passed on.
    const PlaylistRead read = readPlaylistUpToFailure(fName, codePage_);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(read.items.size()));
    for (const PlaylistItem& item : read.items) {
        rows.append(new QTreeWidgetItem(QStringList{oneLine(item.name)}));
        moviePaths_.append(joinPath(startFolder_, item.reference));
    }
    songList.addTopLevelItems(rows);
    read.throwFailure();
}

void PlayerWindow::movieListClicked()
{
    runHandler(this, [this] {
        if (movieList_->topLevelItemCount() == 0)
            return;
        const QModelIndexList selected = movieList_->selectionModel()->selectedRows();
        if (selected.isEmpty())
            return;
        const qsizetype row = selected.constFirst().row();
        if (row >= moviePaths_.size())
            return; // a row without a movie path cannot be played
        movie_->Stop();
        const QString path = moviePaths_.at(row);
        const std::optional<QString> movie = findRegularFile(path);
        if (!movie) {
            platform_.message(this, kProgramTitle, QStringLiteral("File ") + path + QStringLiteral(" not found."));
            return;
        }
        movie_->Movie(*movie);
        movie_->Play();
    });
}

void PlayerWindow::playClicked()
{
    runHandler(this, [this] {
        rewindTimer_->stop();
        fastForwardTimer_->stop();
        movie_->Play();
    });
}

void PlayerWindow::pauseClicked()
{
    runHandler(this, [this] { movie_->Stop(); });
}

void PlayerWindow::stopClicked()
{
    runHandler(this, [this] {
        movie_->Stop();
        movie_->FrameNum(0);
    });
}

void PlayerWindow::rewindClicked()
{
    runHandler(this, [this] {
        movie_->Stop();
        switchOn(*rewindTimer_);
    });
}

void PlayerWindow::fastForwardClicked()
{
    runHandler(this, [this] {
        movie_->Stop();
        switchOn(*fastForwardTimer_);
    });
}

void PlayerWindow::restartClicked()
{
    runHandler(this, [this] {
        movie_->Stop();
        movie_->FrameNum(0);
        movie_->Play();
    });
}

void PlayerWindow::rewindTick()
{
    stepFrames(*rewindTimer_, -2);
}

void PlayerWindow::fastForwardTick()
{
    stepFrames(*fastForwardTimer_, +2);
}

void PlayerWindow::stepFrames(QTimer& timer, int step)
{
    runHandler(this, [&] {
        try {
            movie_->FrameNum(steppedFrame(movie_->FrameNum(), step));
        } catch (...) {
            // One report, not one every 10 ms.
            timer.stop();
            throw;
        }
    });
}

} // namespace qev::player
