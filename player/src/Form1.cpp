#include "Form1.h"

#include "ClickArea.h"
#include "FrameStep.h"
#include "Pictures.h"

#include "qev/FileError.h"
#include "qev/FileLookup.h"
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

Form1::Form1(Platform& platform, const MovieControlMaker& makeMovieControl, QWidget* parent)
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

Form1::~Form1() = default;

void Form1::createControls(const MovieControlMaker& makeMovieControl)
{
    // Pictures first: the movie area and the list lie above them where they meet.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(toolbarStripPicture());

    ClickArea** areas[] = {&Image2, &Image3, &Image4, &Image5, &Image6, &Image7};
    int number = 2;
    for (ClickArea** area : areas) {
        *area = new ClickArea(this);
        (*area)->setObjectName(QStringLiteral("Image%1").arg(number++));
    }

    Flash1 = makeMovieControl(this);
    if (!Flash1 || !Flash1->widget())
        throw std::runtime_error("The movie control could not be created.");
    Flash1->widget()->setObjectName(QStringLiteral("Flash1"));
    // Movies take keys: the movie area is reached with Tab and by a click.
    Flash1->widget()->setFocusPolicy(Qt::StrongFocus);

    lstViewSongList = new QTreeWidget(this);
    lstViewSongList->setObjectName(QStringLiteral("lstViewSongList"));
    lstViewSongList->setColumnCount(1);
    lstViewSongList->setHeaderLabels({QStringLiteral("Item")});
    lstViewSongList->setRootIsDecorated(false);
    lstViewSongList->setItemsExpandable(false);
    lstViewSongList->setSortingEnabled(false);
    lstViewSongList->setUniformRowHeights(true);
    lstViewSongList->setSelectionMode(QAbstractItemView::SingleSelection);
    lstViewSongList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstViewSongList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The one column spans the list's visible width, so no sideways scroll
    // bar appears; names too long for it are cut short with an ellipsis.
    lstViewSongList->header()->setStretchLastSection(true);
    lstViewSongList->header()->setSectionsMovable(false);
    // Verdana where it is installed; the toolkit picks the nearest font elsewhere.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    lstViewSongList->setFont(font);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    for (QTimer* timer : {Timer1, Timer2})
        timer->setInterval(10);
}

void Form1::placeControls()
{
    Flash1->widget()->setGeometry(0, 0, px(7620), px(6975));
    lstViewSongList->setGeometry(px(7620), 0, px(2950), px(6975));
    Image1->setGeometry(0, px(6960), px(10590), px(690));

    struct Place {
        ClickArea* area;
        int left;
        int width;
    };
    const Place places[] = {
        {Image2, 105, 540}, {Image3, 735, 540}, {Image4, 1365, 540},
        {Image5, 1995, 645}, {Image6, 2730, 540}, {Image7, 3360, 540},
    };
    for (const Place& place : places)
        place.area->setGeometry(px(place.left), px(6960), px(place.width), px(645));

    setTabOrder(Flash1->widget(), lstViewSongList);
}

void Form1::connectHandlers()
{
    // The list reacts to a mouse click on a row, after the click has moved
    // the selection; keys and clicks on empty space have no handler.
    connect(lstViewSongList, &QTreeWidget::itemClicked, this, &Form1::lstViewSongList_Click);
    connect(Image2, &ClickArea::clicked, this, &Form1::Image2_Click);
    connect(Image3, &ClickArea::clicked, this, &Form1::Image3_Click);
    connect(Image4, &ClickArea::clicked, this, &Form1::Image4_Click);
    connect(Image5, &ClickArea::clicked, this, &Form1::Image5_Click);
    connect(Image6, &ClickArea::clicked, this, &Form1::Image6_Click);
    connect(Image7, &ClickArea::clicked, this, &Form1::Image7_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

void Form1::runHandler(QWidget* owner, const std::function<void()>& handler)
{
    QString failure;
    try {
        handler();
        return;
    } catch (const FileError& e) {
        failure = e.message();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    platform_.message(owner, kProgramTitle, failure);
}

bool Form1::Form_Load()
{
    StartFolder = QDir::currentPath();
    const std::optional<QString> playlist = findRegularFile(joinPath(StartFolder, u"PlayList.qev"));
    if (!playlist) {
        platform_.message(nullptr, kProgramTitle,
                          QStringLiteral("QEV Project incorrect: PlayList file is not found."));
        return false;
    }
    // A playlist that fails part-way is reported; the window still opens
    // with the items read before the failure.
    runHandler(nullptr, [&] { LoadPlayList(*playlist, *lstViewSongList); });
    return true;
}

void Form1::LoadPlayList(const QString& fName, QTreeWidget& songList)
{
    songList.clear();
    PlayList.clear();
    // The rows go into the list in one insertion, which lays the list out
    // once instead of once per row; the pairs read before a failure are
    // still added before the failure is passed on.
    QList<QTreeWidgetItem*> rows;
    QStringList paths;
    const auto addRead = [&] {
        songList.addTopLevelItems(std::exchange(rows, {}));
        PlayList.append(std::exchange(paths, {}));
    };
    try {
        readPlaylistFile(fName, codePage_, [&](PlaylistItem&& item) {
            rows.append(new QTreeWidgetItem(QStringList{oneLine(std::move(item.name))}));
            paths.append(joinPath(StartFolder, item.reference));
        });
    } catch (const PlaylistFormatError& e) {
        addRead();
        // Told like every other file failure: what went wrong, and the file.
        throw FileError(fName, QString::fromUtf8(e.what()));
    } catch (...) {
        addRead();
        throw;
    }
    addRead();
}

void Form1::lstViewSongList_Click()
{
    runHandler(this, [this] {
        if (lstViewSongList->topLevelItemCount() == 0)
            return;
        const QModelIndexList selected = lstViewSongList->selectionModel()->selectedRows();
        if (selected.isEmpty())
            return;
        const qsizetype row = selected.constFirst().row();
        if (row >= PlayList.size())
            return; // a row without a movie path cannot be played
        Flash1->Stop();
        const QString path = PlayList.at(row);
        const std::optional<QString> movie = findRegularFile(path);
        if (!movie) {
            platform_.message(this, kProgramTitle, QStringLiteral("File ") + path + QStringLiteral(" not found."));
            return;
        }
        Flash1->Movie(*movie);
        Flash1->Play();
    });
}

void Form1::Image2_Click()
{
    runHandler(this, [this] {
        Timer1->stop();
        Timer2->stop();
        Flash1->Play();
    });
}

void Form1::Image3_Click()
{
    runHandler(this, [this] { Flash1->Stop(); });
}

void Form1::Image4_Click()
{
    runHandler(this, [this] {
        Flash1->Stop();
        Flash1->FrameNum(0);
    });
}

void Form1::Image5_Click()
{
    runHandler(this, [this] {
        Flash1->Stop();
        switchOn(*Timer1);
    });
}

void Form1::Image6_Click()
{
    runHandler(this, [this] {
        Flash1->Stop();
        switchOn(*Timer2);
    });
}

void Form1::Image7_Click()
{
    runHandler(this, [this] {
        Flash1->Stop();
        Flash1->FrameNum(0);
        Flash1->Play();
    });
}

void Form1::Timer1_Timer()
{
    stepFrames(*Timer1, -2);
}

void Form1::Timer2_Timer()
{
    stepFrames(*Timer2, +2);
}

void Form1::stepFrames(QTimer& timer, int step)
{
    runHandler(this, [&] {
        try {
            Flash1->FrameNum(steppedFrame(Flash1->FrameNum(), step));
        } catch (...) {
            // One report, not one every 10 ms.
            timer.stop();
            throw;
        }
    });
}

} // namespace qev::player
