// The player's window, its start-up and playing a clicked row, on real
// widgets with a movie control that records every call.
#include "PlayerTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace qev::player::testing {
namespace {

const QString kMissingPlaylist = QStringLiteral("QEV Project incorrect: PlayList file is not found.");

class PlayerWindowTest : public PlayerTest {};

TEST_F(PlayerWindowTest, HasItsCaptionFixedSizeAndTitleBarButtons)
{
    PlayerWindow& window = makeWindow();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("QEV Menu Player"));
    EXPECT_EQ(window.size(), QSize(707, 509));
    EXPECT_EQ(window.minimumSize(), QSize(707, 509));
    EXPECT_EQ(window.maximumSize(), QSize(707, 509));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    const QImage icon = window.windowIcon().pixmap(QSize(100, 100)).toImage();
    ASSERT_EQ(icon.size(), QSize(100, 100));
    EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);          // rounded corner
    EXPECT_GT(icon.pixelColor(30, 30).lightness(), 150);  // the disc
    const QColor badge = icon.pixelColor(52, 70);          // the orange play badge
    EXPECT_NEAR(badge.hue(), 38, 8);
    EXPECT_GT(badge.saturation(), 180);
    EXPECT_EQ(icon.pixelColor(72, 70), QColor(Qt::white)); // its play symbol
}

TEST_F(PlayerWindowTest, PlacesItsControlsAsLaidOut)
{
    makeWindow();
    EXPECT_EQ(child<QWidget>("Flash1")->geometry(), QRect(0, 0, 508, 465));
    EXPECT_EQ(songList()->geometry(), QRect(508, 0, 197, 465));
    auto* strip = child<QLabel>("Image1");
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->geometry(), QRect(0, 464, 706, 46));
    EXPECT_EQ(strip->pixmap().size(), QSize(706, 46));

    const QRect areas[] = {{7, 464, 36, 43},   {49, 464, 36, 43},  {91, 464, 36, 43},
                           {133, 464, 43, 43}, {182, 464, 36, 43}, {224, 464, 36, 43}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i + 2);
        auto* area = child<QAbstractButton>(QStringLiteral("Image%1").arg(i + 2).toLatin1().constData());
        ASSERT_NE(area, nullptr);
        EXPECT_EQ(area->geometry(), areas[i]);
        EXPECT_EQ(area->focusPolicy(), Qt::NoFocus);
    }
    // The movie area and the list lie above the strip where they meet it.
    EXPECT_EQ(window_->childAt(100, 464), child<QWidget>("Flash1"));
}

TEST_F(PlayerWindowTest, ListIsAnUnsortedReportWithOneFullWidthColumn)
{
    makeWindow();
    QTreeWidget* list = songList();
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Item"));
    // The column spans the whole visible width: no sideways scrolling.
    window_->show();
    EXPECT_EQ(list->columnWidth(0), list->viewport()->width());
    EXPECT_GT(list->columnWidth(0), 190);
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(list->header()->isHidden());
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->font().family(), QStringLiteral("Verdana"));
    EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 9.75);
    EXPECT_EQ(list->font().weight(), QFont::Normal);
}

TEST_F(PlayerWindowTest, TimersAreOffWithTenMillisecondIntervalsAndTabOrderStartsAtTheMovie)
{
    makeWindow();
    for (const char* name : {"Timer1", "Timer2"}) {
        SCOPED_TRACE(name);
        auto* timer = child<QTimer>(name);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), 10);
        EXPECT_FALSE(timer->isActive());
        EXPECT_FALSE(timer->isSingleShot());
    }
    EXPECT_EQ(child<QWidget>("Flash1")->nextInFocusChain(), songList());
}

TEST_F(PlayerWindowTest, StripShowsSixRaisedButtonsOnLightGrey)
{
    makeWindow();
    const QImage strip = child<QLabel>("Image1")->pixmap().toImage();
    const QColor background = strip.pixelColor(400, 20);
    EXPECT_GT(background.lightness(), 180);
    EXPECT_EQ(background.saturation(), 0);
    for (int left : {5, 49, 93, 137, 181, 225}) {
        SCOPED_TRACE(left);
        EXPECT_EQ(strip.pixelColor(left - 1, 3), background);
        EXPECT_EQ(strip.pixelColor(left, 4), QColor(Qt::white)); // lit top-left edge
        EXPECT_LT(strip.pixelColor(left + 35, 39).lightness(), 100); // shaded bottom-right edge
        EXPECT_EQ(strip.pixelColor(left + 36, 40), background);
        // A dark symbol in the middle of each button.
        int dark = 0;
        for (int y = 14; y < 30; ++y)
            for (int x = left + 8; x < left + 28; ++x)
                dark += strip.pixelColor(x, y).lightness() < 100;
        EXPECT_GT(dark, 60);
    }
}

TEST_F(PlayerWindowTest, TheMovieAreaTakesTheFocusFirstAndWhenClickedAndTabLeadsToTheList)
{
    writePlaylist({{QStringLiteral("One"), QStringLiteral("1.swf")}});
    PlayerWindow& window = startPlayer();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget* movie = child<QWidget>("Flash1");
    EXPECT_TRUE(movie->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(movie->focusPolicy() & Qt::ClickFocus);
    // First in the tab order: the window opens with the focus on the movie.
    EXPECT_EQ(QApplication::focusWidget(), movie);

    QTest::keyClick(movie, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), songList());
    QTest::mouseClick(movie, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(QApplication::focusWidget(), movie);
    EXPECT_TRUE(log_.calls.isEmpty());
}

class StartUp : public PlayerTest {};

TEST_F(StartUp, WithoutPlaylistTellsSoAndNeverShowsTheWindow)
{
    PlayerWindow& window = makeWindow();
    EXPECT_FALSE(window.loadStartFolder());
    ASSERT_EQ(platform_.asked().size(), 1u);
    EXPECT_EQ(platform_.asked()[0].kind, ScriptedPlatform::Asked::Message);
    EXPECT_EQ(platform_.asked()[0].caption, QStringLiteral("Ostiv"));
    EXPECT_EQ(platform_.asked()[0].text, kMissingPlaylist);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(log_.calls.isEmpty());
}

TEST_F(StartUp, ADirectoryNamedLikeThePlaylistCountsAsMissing)
{
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("PlayList.qev")));
    EXPECT_FALSE(makeWindow().loadStartFolder());
    EXPECT_EQ(platform_.messages(), std::vector<QString>{kMissingPlaylist});
}

TEST_F(StartUp, ListsTheNamesAndJoinsEachReferenceToTheStartFolder)
{
    writePlaylist({{QStringLiteral("Intro"), QStringLiteral("intro.swf")},
                   {QStringLiteral("Chapter two"), QStringLiteral("two.swf")},
                   {QString(), QString()},
                   {QStringLiteral("Zeta"), QStringLiteral("z.swf")}});
    PlayerWindow& window = makeWindow();
    EXPECT_TRUE(window.loadStartFolder());
    EXPECT_TRUE(platform_.asked().empty());
    EXPECT_EQ(window.startFolder(), QDir::currentPath());
    // Rows stay in file order, unsorted, each paired with the path at its position.
    EXPECT_EQ(rowTexts(), (QStringList{"Intro", "Chapter two", "", "Zeta"}));
    EXPECT_EQ(window.moviePaths(), (QStringList{folder() + "/intro.swf", folder() + "/two.swf", folder() + "/",
                                            folder() + "/z.swf"}));
    EXPECT_TRUE(log_.calls.isEmpty()); // nothing plays until a row is picked
}

TEST_F(StartUp, ZeroBytePlaylistOpensAnEmptyList)
{
    writeBytes(QStringLiteral("PlayList.qev"), {});
    PlayerWindow& window = startPlayer();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(platform_.asked().empty());
    EXPECT_EQ(songList()->topLevelItemCount(), 0);
    EXPECT_TRUE(window.moviePaths().isEmpty());
}

TEST_F(StartUp, FindsThePlaylistUnderAnotherLetterCase)
{
    writePlaylist({{QStringLiteral("Only"), QStringLiteral("only.swf")}}, QStringLiteral("playlist.qev"));
    EXPECT_TRUE(makeWindow().loadStartFolder());
    EXPECT_TRUE(platform_.asked().empty());
    EXPECT_EQ(rowTexts(), QStringList{"Only"});
}

TEST_F(StartUp, LooksOnlyInTheCurrentDirectoryNotInAnotherFolder)
{
    // A playlist in another folder (where the program file might be), and
    // none in the current directory. The other folder is a temporary one, so
    // a run that crashes leaves nothing behind for later runs to trip over.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    {
        QFile file(elsewhere.filePath(QStringLiteral("PlayList.qev")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encodePlaylist({{QStringLiteral("Beside"), QStringLiteral("b.swf")}}, codePage()));
    }
    ASSERT_NE(QDir::currentPath(), elsewhere.path());

    EXPECT_FALSE(makeWindow().loadStartFolder());
    EXPECT_EQ(platform_.messages(), std::vector<QString>{kMissingPlaylist});

    platform_.clearAsked();
    writePlaylist({{QStringLiteral("Here"), QStringLiteral("h.swf")}});
    EXPECT_TRUE(makeWindow().loadStartFolder());
    EXPECT_EQ(rowTexts(), QStringList{"Here"});
}

TEST_F(StartUp, PlaylistWithAnOddLineIsReportedAndKeepsTheCompletePairs)
{
    QByteArray bytes = encodePlaylist({{QStringLiteral("One"), QStringLiteral("1.swf")},
                                       {QStringLiteral("Two"), QStringLiteral("2.swf")}},
                                      codePage());
    bytes += "Orphan\r\n";
    writeBytes(QStringLiteral("PlayList.qev"), bytes);
    PlayerWindow& window = startPlayer();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(platform_.asked().size(), 1u);
    EXPECT_EQ(platform_.asked()[0].caption, QStringLiteral("Ostiv"));
    // The reader's own words for the failure.
    QString readerText;
    try {
        decodePlaylist(bytes, codePage(), [](PlaylistItem&&) {});
    } catch (const PlaylistFormatError& e) {
        readerText = QString::fromUtf8(e.what());
    }
    ASSERT_FALSE(readerText.isEmpty());
    // The reader's words and the file, as every other file failure is told.
    EXPECT_EQ(platform_.asked()[0].text, readerText + QStringLiteral(": ") + pathIn("PlayList.qev"));
    EXPECT_EQ(rowTexts(), (QStringList{"One", "Two"}));
    EXPECT_EQ(window.moviePaths(), (QStringList{folder() + "/1.swf", folder() + "/2.swf"}));
}

TEST_F(StartUp, UnreadablePlaylistIsReportedWithItsPath)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    writePlaylist({{QStringLiteral("One"), QStringLiteral("1.swf")}});
    ASSERT_TRUE(QFile::setPermissions(pathIn("PlayList.qev"), QFileDevice::WriteOwner));
    PlayerWindow& window = startPlayer();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(platform_.messages().size(), 1u);
    EXPECT_TRUE(platform_.messages()[0].contains(pathIn("PlayList.qev")));
    EXPECT_EQ(songList()->topLevelItemCount(), 0);
}

TEST_F(StartUp, ANameHoldingALineFeedShowsOnOneLineAndLeavesEveryRowItsHeight)
{
    writePlaylist({{QStringLiteral("Plain"), QStringLiteral("p.swf")}}, QStringLiteral("plain.qev"));
    writePlaylist({{QStringLiteral("Two\nlines"), QStringLiteral("a.swf")},
                   {QStringLiteral("Also\rbroken"), QStringLiteral("b.swf")},
                   {QStringLiteral("Plain"), QStringLiteral("c.swf")}});
    PlayerWindow& window = startPlayer();
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(platform_.asked().empty());
    EXPECT_EQ(rowTexts(), (QStringList{"Two lines", "Also broken", "Plain"}));
    QList<int> heights;
    for (int row = 0; row < 3; ++row)
        heights << songList()->visualItemRect(songList()->topLevelItem(row)).height();

    // The height of a row in a list of one-line names only.
    window.loadPlaylist(pathIn("plain.qev"), *songList());
    const int plainHeight = songList()->visualItemRect(songList()->topLevelItem(0)).height();
    ASSERT_GT(plainHeight, 0);
    EXPECT_EQ(heights, (QList<int>{plainHeight, plainHeight, plainHeight}));
}

TEST_F(StartUp, LoadingAgainReplacesBothLists)
{
    writePlaylist({{QStringLiteral("A"), QStringLiteral("a.swf")}, {QStringLiteral("B"), QStringLiteral("b.swf")}});
    PlayerWindow& window = makeWindow();
    ASSERT_TRUE(window.loadStartFolder());
    writePlaylist({{QStringLiteral("C"), QStringLiteral("c.swf")}}, QStringLiteral("other.qev"));
    window.loadPlaylist(pathIn("other.qev"), *songList());
    EXPECT_EQ(rowTexts(), QStringList{"C"});
    EXPECT_EQ(window.moviePaths(), QStringList{folder() + "/c.swf"});
}

TEST_F(StartUp, HoldsMoreRowsThanASixteenBitPositionCounts)
{
    std::vector<PlaylistItem> items;
    for (int i = 0; i < 40000; ++i)
        items.push_back({QStringLiteral("Item %1").arg(i), QStringLiteral("m%1.swf").arg(i)});
    writePlaylist(items);
    writeMovie(QStringLiteral("m39999.swf"));
    PlayerWindow& window = startPlayer();
    ASSERT_EQ(songList()->topLevelItemCount(), 40000);
    ASSERT_EQ(window.moviePaths().size(), 40000);

    QTreeWidgetItem* last = songList()->topLevelItem(39999);
    songList()->scrollToItem(last);
    QTest::mouseClick(songList()->viewport(), Qt::LeftButton, {}, songList()->visualItemRect(last).center());
    EXPECT_EQ(log_.calls, (QStringList{"Stop", "Movie " + folder() + "/m39999.swf", "Play"}));
}

class RowClick : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        writePlaylist({{QStringLiteral("First movie"), QStringLiteral("first.swf")},
                       {QStringLiteral("Second movie"), QStringLiteral("second.swf")},
                       {QStringLiteral("Gone"), QStringLiteral("gone.swf")}});
        writeMovie(QStringLiteral("first.swf"));
        writeMovie(QStringLiteral("second.swf"));
        startPlayer();
        ASSERT_TRUE(window_->isVisible());
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTreeWidgetItem* item = songList()->topLevelItem(row);
        QTest::mouseClick(songList()->viewport(), Qt::LeftButton, modifiers,
                          songList()->visualItemRect(item).center());
    }
};

TEST_F(RowClick, StopsLoadsThePathAndPlays)
{
    clickRow(1);
    EXPECT_EQ(log_.calls, (QStringList{"Stop", "Movie " + folder() + "/second.swf", "Play"}));
    EXPECT_TRUE(platform_.asked().empty());
}

TEST_F(RowClick, ClickingThePlayingRowAgainRunsTheWholeSequence)
{
    clickRow(0);
    clickRow(0);
    const QString movie = "Movie " + folder() + "/first.swf";
    EXPECT_EQ(log_.calls, (QStringList{"Stop", movie, "Play", "Stop", movie, "Play"}));
}

TEST_F(RowClick, MissingMovieStopsAndNamesItsFullPath)
{
    clickRow(0);
    log_.calls.clear();
    clickRow(2);
    EXPECT_EQ(log_.calls, QStringList{"Stop"});
    ASSERT_EQ(platform_.asked().size(), 1u);
    EXPECT_EQ(platform_.asked()[0].caption, QStringLiteral("Ostiv"));
    EXPECT_EQ(platform_.asked()[0].text, "File " + folder() + "/gone.swf not found.");
    EXPECT_EQ(log_.movie, folder() + "/first.swf"); // the stopped movie stays loaded
}

TEST_F(RowClick, MovieDeletedAfterStartUpCountsAsMissing)
{
    ASSERT_TRUE(QFile::remove(pathIn("second.swf")));
    clickRow(1);
    EXPECT_EQ(log_.calls, QStringList{"Stop"});
    EXPECT_EQ(platform_.messages(), std::vector<QString>{"File " + folder() + "/second.swf not found."});
}

TEST_F(RowClick, ADirectoryInPlaceOfTheMovieCountsAsMissing)
{
    ASSERT_TRUE(QFile::remove(pathIn("second.swf")));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("second.swf")));
    clickRow(1);
    EXPECT_EQ(log_.calls, QStringList{"Stop"});
    EXPECT_EQ(platform_.messages().size(), 1u);
}

TEST_F(RowClick, MovieUnderAnotherLetterCaseIsPlayedFromTheFoundFile)
{
    ASSERT_TRUE(QFile::rename(pathIn("second.swf"), pathIn("SECOND.SWF")));
    clickRow(1);
    EXPECT_EQ(log_.calls, (QStringList{"Stop", "Movie " + folder() + "/SECOND.SWF", "Play"}));
}

TEST_F(RowClick, EmptySpaceAndTheHeaderDoNothing)
{
    clickRow(0);
    log_.calls.clear();
    QTest::mouseClick(songList()->viewport(), Qt::LeftButton, {}, QPoint(50, songList()->viewport()->height() - 5));
    QTest::mouseClick(songList()->header()->viewport(), Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_TRUE(log_.calls.isEmpty());
    EXPECT_TRUE(platform_.asked().empty());
}

TEST_F(RowClick, AClickThatLeavesNoRowSelectedDoesNothing)
{
    clickRow(0);
    log_.calls.clear();
    clickRow(0, Qt::ControlModifier); // deselects the row
    ASSERT_TRUE(songList()->selectedItems().isEmpty());
    EXPECT_TRUE(log_.calls.isEmpty());
    EXPECT_TRUE(platform_.asked().empty());
}

TEST_F(RowClick, KeysOnTheListPlayNothing)
{
    clickRow(0);
    log_.calls.clear();
    songList()->setFocus();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter})
        QTest::keyClick(songList(), key);
    EXPECT_TRUE(log_.calls.isEmpty());
}

TEST_F(RowClick, RowsOfAnEmptyListPlayNothing)
{
    writeBytes(QStringLiteral("PlayList.qev"), {});
    window_->loadPlaylist(pathIn("PlayList.qev"), *songList());
    ASSERT_EQ(songList()->topLevelItemCount(), 0);
    QTest::mouseClick(songList()->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_TRUE(log_.calls.isEmpty());
    EXPECT_TRUE(platform_.asked().empty());
}

} // namespace
} // namespace qev::player::testing
