// The main window: layout, the project state, item editing and the project
// commands, driven through the real buttons with scripted dialogs.
#include "CreatorTestSupport.h"

#include "PictureButton.h"
#include "qev/FileError.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QScrollBar>
#include <QTreeWidget>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <ostream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Kind = qev::ScriptedPlatform::Asked;

// ---- Window and project state ------------------------------------------------

TEST_F(CreatorTest, OpensUntitledWithAnEmptyUnsavedProject)
{
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Untitled");
    EXPECT_EQ(window->projectName(), "Untitled");
    EXPECT_EQ(window->startFolder(), QDir::currentPath());
    EXPECT_FALSE(window->projectSaved());
    EXPECT_EQ(window->movieList->topLevelItemCount(), 0);
    EXPECT_EQ(window->focusWidget(), window->movieList);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, ControlsSitWhereTheLayoutPutsThem)
{
    EXPECT_EQ(window->size(), QSize(583, 307));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->listLabel->geometry(), QRect(8, 8, 265, 17));
    EXPECT_EQ(window->listLabel->text(), "List of items on CD:");
    EXPECT_EQ(window->movieList->geometry(), QRect(8, 32, 457, 265));

    struct Expected {
        PictureButton* button;
        QRect geometry;
        const char* caption;
        const char* toolTip;
        QSize picture;
    };
    const Expected buttons[] = {
        {window->newProjectButton, {480, 8, 89, 65}, "New project", "New project (Ctrl+N)", {32, 32}},
        {window->saveProjectButton, {480, 80, 41, 41}, "", "Save project (Ctrl+S)", {24, 24}},
        {window->openProjectButton, {528, 80, 41, 41}, "", "Load project (Ctrl+O)", {24, 24}},
        {window->addButton, {480, 128, 41, 41}, "", "Add new item", {24, 24}},
        {window->removeButton, {528, 128, 41, 41}, "", "Remove item from list (Del)", {24, 24}},
        {window->moveDownButton, {480, 176, 41, 41}, "", "Move item down (Ctrl+Down)", {9, 9}},
        {window->moveUpButton, {528, 176, 41, 41}, "", "Move item up (Ctrl+Up)", {9, 9}},
        {window->makeCdButton, {480, 224, 89, 73}, "Make autorun CD", "Make autorun CD", {34, 34}},
    };
    for (const auto& e : buttons) {
        SCOPED_TRACE(e.toolTip);
        EXPECT_EQ(e.button->geometry(), e.geometry);
        EXPECT_EQ(e.button->text(), e.caption);
        EXPECT_EQ(e.button->toolTip(), e.toolTip);
        EXPECT_EQ(e.button->iconSize(), e.picture);
        EXPECT_FALSE(e.button->icon().isNull());
        EXPECT_EQ(e.button->icon().actualSize(e.picture), e.picture);
    }
    EXPECT_EQ(window->makeCdButton->font().family(), "Verdana");
    EXPECT_DOUBLE_EQ(window->makeCdButton->font().pointSizeF(), 9.75);
    EXPECT_EQ(window->windowIcon().actualSize(QSize(48, 36)), QSize(48, 36));

    // Tab order: the list first, then the buttons as the layout numbers
    // them. The walk follows the focus chain as Tab does, skipping what
    // takes no keyboard focus (the label, the list's own parts).
    const std::vector<const QWidget*> expected = {
        window->movieList, window->makeCdButton,   window->addButton,
        window->removeButton,       window->openProjectButton, window->saveProjectButton,
        window->moveDownButton,         window->moveUpButton,     window->newProjectButton};
    std::vector<const QWidget*> walked;
    const QWidget* w = window->movieList;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window.get()))
            walked.push_back(w);
        w = w->nextInFocusChain();
    } while (w != window->movieList && walked.size() < 20);
    EXPECT_EQ(walked, expected);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, KeysRunTheListAndProjectCommands)
{
    add("/m/a.swf", "A");
    add("/m/b.swf", "B");
    add("/m/c.swf", "C");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTreeWidget* list = window->movieList;
    list->setFocus();
    ASSERT_EQ(selected(), 2);

    QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}, {"C", "/m/c.swf"}, {"B", "/m/b.swf"}}));
    EXPECT_EQ(selected(), 1);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}, {"B", "/m/b.swf"}, {"C", "/m/c.swf"}}));
    EXPECT_EQ(selected(), 2);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}, {"B", "/m/b.swf"}}));

    platform.answerSaveFile(pathIn("keys.qev"));
    QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(window->projectSaved());
    EXPECT_TRUE(QFile::exists(pathIn("keys.qev")));

    platform.answerModal(typeAndOk("Next"));
    QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Next");

    platform.answerQuestion(qev::Answer::No);
    platform.answerOpenFile(pathIn("keys.qev"));
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}, {"B", "/m/b.swf"}}));
    EXPECT_TRUE(platform.messages().empty());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, ListIsAnUnsortedSingleSelectionReportView)
{
    const QTreeWidget* list = window->movieList;
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "Item");
    EXPECT_EQ(list->headerItem()->text(1), "Path");
    EXPECT_EQ(list->columnWidth(0), 229);
    EXPECT_EQ(list->columnWidth(1), 296);
    EXPECT_EQ(list->font().family(), "Verdana");
    EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 9.75);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->header()->stretchLastSection());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, NoButtonAnswersEnterOrEsc)
{
    add("/movies/a.swf", "A");
    // Enter and Esc in the list start no command (no dialog is asked for).
    QTest::keyClick(window->movieList, Qt::Key_Return);
    QTest::keyClick(window->movieList, Qt::Key_Escape);
    EXPECT_EQ(platform.asked().size(), 2u);
    EXPECT_EQ(rows().size(), 1u);
    window->setProjectSaved(true);
}

// ---- The shared file dialog ----------------------------------------------------

TEST_F(CreatorTest, FileDialogsKeepTheirTitleAndLoadRunsWithThePreviousFlags)
{
    // Load right after start: the flags the control was made with.
    platform.answerQuestion(qev::Answer::No);
    platform.answerOpenFile(QString());
    window->openProjectButton->click();
    // Add sets 0x804; a later load keeps them.
    platform.answerOpenFile(QString());
    window->addButton->click();
    platform.answerQuestion(qev::Answer::No);
    platform.answerOpenFile(QString());
    window->openProjectButton->click();
    // Save sets 0x806; a later load keeps them.
    platform.answerSaveFile(QString());
    window->saveProjectButton->click();
    platform.answerQuestion(qev::Answer::No);
    platform.answerOpenFile(QString());
    window->openProjectButton->click();

    std::vector<qev::FileDialogRequest> requests;
    for (const auto& a : platform.asked())
        if (a.kind == Kind::OpenFile || a.kind == Kind::SaveFile)
            requests.push_back(a.request);
    ASSERT_EQ(requests.size(), 5u);
    const int flags[] = {0, 0x804, 0x804, 0x806, 0x806};
    const char* filters[] = {"QEV PlayList (*.qev)|*.qev", "Flash (*.swf)|*.swf",
                             "QEV PlayList (*.qev)|*.qev", "QEV PlayList (*.qev)|*.qev",
                             "QEV PlayList (*.qev)|*.qev"};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(requests[i].title, "Select a file");
        EXPECT_EQ(requests[i].fileName, "");
        EXPECT_EQ(requests[i].flags, flags[i]);
        EXPECT_EQ(requests[i].filter, filters[i]);
    }
    // A cancelled dialog leaves the file name empty.
    EXPECT_EQ(window->fileDialog.fileName, "");
    window->setProjectSaved(true);
}

// ---- Add ---------------------------------------------------------------------

TEST_F(CreatorTest, FileDialogsOpenInTheFolderOfTheFileChosenLast)
{
    add("/movies/summer/a.swf", "A");
    save(pathIn("menu.qev"));
    platform.answerOpenFile(""); // Add cancelled in the dialog
    window->addButton->click();
    platform.answerOpenFile("");
    window->addButton->click();
    const auto opens = platform.asked(Kind::OpenFile);
    const auto saves = platform.asked(Kind::SaveFile);
    ASSERT_EQ(opens.size(), 3u);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(opens[0].request.folder, ""); // the current directory
    EXPECT_EQ(saves[0].request.folder, "/movies/summer");
    EXPECT_EQ(opens[1].request.folder, dir.path());
    EXPECT_EQ(opens[2].request.folder, dir.path()); // a cancel changes nothing
}

TEST_F(CreatorTest, SwfFilesDroppedOnTheListAreAddedOneByOneThroughTheNamePrompt)
{
    add("/movies/first.swf", "First");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/movies/one.swf"), QUrl::fromLocalFile("/movies/notes.txt"),
                  QUrl::fromLocalFile("/movies/TWO.SWF"), QUrl("https://example.org/far.swf"),
                  QUrl::fromLocalFile("/movies/three.swf")});
    QWidget* viewport = window->movieList->viewport();
    const QPoint at(20, 40);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());

    QStringList prompts;
    const auto answer = [&](const QString& name) {
        platform.answerModal([&prompts, name](QDialog* dialog) {
            prompts << dialog->findChild<QLabel*>("Label1")->text();
            typeAndOk(name)(dialog);
        });
    };
    answer("One");
    answer("Two");
    platform.answerModal(pressCancel()); // the third is not wanted after all
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QCoreApplication::processEvents();

    EXPECT_EQ(prompts, (QStringList{"Item name:", "Item name:"}));
    EXPECT_EQ(rows(), (std::vector<Row>{{"First", "/movies/first.swf"},
                                        {"One", "/movies/one.swf"},
                                        {"Two", "/movies/TWO.SWF"}}));
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_TRUE(platform.asked(Kind::OpenFile).size() == 1u); // only the first Add asked for a file

    // Nothing but other files is refused.
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile("/movies/notes.txt")});
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QCoreApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, AddAppendsSelectsAndMarksUnsaved)
{
    window->setProjectSaved(true);
    add("/movies/intro.swf", "  Intro  ");
    add("/movies/intro.swf", "  Intro  ");
    add("/movies/missing/nothere.swf", "   ");
    EXPECT_EQ(rows(), (std::vector<Row>{{"  Intro  ", "/movies/intro.swf"},
                                        {"  Intro  ", "/movies/intro.swf"},
                                        {"   ", "/movies/missing/nothere.swf"}}));
    EXPECT_EQ(selected(), 2);
    EXPECT_FALSE(window->projectSaved());
    const auto modals = platform.asked(Kind::Modal);
    ASSERT_EQ(modals.size(), 3u);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, AddCancelledChangesNothing)
{
    add("/movies/a.swf", "A");
    window->setProjectSaved(true);
    // Cancelled file dialog: no name prompt.
    platform.answerOpenFile(QString());
    window->addButton->click();
    EXPECT_EQ(platform.asked(Kind::Modal).size(), 1u);
    // Cancelled name prompt: the chosen file is dropped.
    platform.answerOpenFile("/movies/b.swf");
    platform.answerModal(pressCancel());
    window->addButton->click();
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/movies/a.swf"}}));
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(CreatorTest, NamePromptOpensEmptyForAddEvenAfterNewProject)
{
    window->setProjectSaved(true);
    platform.answerModal(typeAndOk("Demo"));
    window->newProjectButton->click();
    platform.answerOpenFile("/movies/a.swf");
    platform.answerModal([](QDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("txtItemName")->text(), "");
        EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "Item name:");
        d->findChild<QLineEdit*>("txtItemName")->setText("A");
        d->findChild<QPushButton*>("cmdOK")->click();
    });
    window->addButton->click();
    EXPECT_EQ(rows().size(), 1u);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, AddedRowIsSelectedWithoutScrolling)
{
    fillRows(300);
    const int before = window->movieList->verticalScrollBar()->value();
    add("/movies/last.swf", "Last");
    EXPECT_EQ(selected(), 300);
    EXPECT_EQ(window->movieList->verticalScrollBar()->value(), before);
    window->setProjectSaved(true);
}

// ---- Remove ------------------------------------------------------------------

class RemoveTest : public CreatorTest {
protected:
    void SetUp() override
    {
        CreatorTest::SetUp();
        add("/m/a.swf", "A");
        add("/m/b.swf", "B");
        add("/m/c.swf", "C");
        window->setProjectSaved(true);
    }
    void TearDown() override
    {
        window->setProjectSaved(true);
        CreatorTest::TearDown();
    }
    void select(int row) { window->movieList->setCurrentItem(window->movieList->topLevelItem(row)); }
    QStringList names() const
    {
        QStringList n;
        for (const auto& r : rows())
            n << r.first;
        return n;
    }
};

TEST_F(RemoveTest, LastRowSelectsTheNewLastRow)
{
    select(2);
    window->removeButton->click();
    EXPECT_EQ(names(), QStringList({"A", "B"}));
    EXPECT_EQ(selected(), 1);
    EXPECT_FALSE(window->projectSaved());
}

TEST_F(RemoveTest, FirstRowSelectsTheRowThatTookItsPlace)
{
    select(0);
    window->removeButton->click();
    EXPECT_EQ(names(), QStringList({"B", "C"}));
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(window->movieList->topLevelItem(0)->text(1), "/m/b.swf");
}

TEST_F(RemoveTest, MiddleRowSelectsTheNextRow)
{
    select(1);
    window->removeButton->click();
    EXPECT_EQ(names(), QStringList({"A", "C"}));
    EXPECT_EQ(selected(), 1);
}

TEST_F(RemoveTest, OnlyRowLeavesNothingSelectedAndUnsaved)
{
    select(0);
    window->removeButton->click();
    select(0);
    window->removeButton->click();
    window->setProjectSaved(true);
    select(0);
    window->removeButton->click();
    EXPECT_TRUE(names().isEmpty());
    EXPECT_EQ(selected(), -1);
    EXPECT_FALSE(window->projectSaved());
    // And on the empty list it does nothing at all.
    window->setProjectSaved(true);
    window->removeButton->click();
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(RemoveTest, NoSelectedRowMeansNothingHappens)
{
    window->movieList->clearSelection();
    for (auto* button : {window->removeButton, window->moveUpButton, window->moveDownButton})
        button->click();
    EXPECT_EQ(names(), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(RemoveTest, DoesNotScroll)
{
    fillRows(300);
    select(1);
    window->movieList->scrollToBottom();
    const int before = window->movieList->verticalScrollBar()->value();
    ASSERT_GT(before, 0);
    window->removeButton->click();
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(window->movieList->verticalScrollBar()->value(), before);
}

// ---- Up and Down -------------------------------------------------------------

TEST_F(RemoveTest, UpOnTheFirstAndDownOnTheLastRowChangeNothing)
{
    select(0);
    window->moveUpButton->click();
    EXPECT_EQ(names(), QStringList({"A", "B", "C"}));
    EXPECT_EQ(selected(), 0);
    select(2);
    window->moveDownButton->click();
    EXPECT_EQ(names(), QStringList({"A", "B", "C"}));
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(RemoveTest, UpAndDownInTheMiddleMoveTheRowAndItsSelection)
{
    select(1);
    window->moveUpButton->click();
    EXPECT_EQ(names(), QStringList({"B", "A", "C"}));
    EXPECT_EQ(selected(), 0);
    EXPECT_FALSE(window->projectSaved());
    window->setProjectSaved(true);
    window->moveDownButton->click();
    window->moveDownButton->click();
    EXPECT_EQ(names(), QStringList({"A", "C", "B"}));
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(window->movieList->topLevelItem(2)->text(1), "/m/b.swf");
    EXPECT_FALSE(window->projectSaved());
}

// The row's whole height lies in the list's visible area (the columns are
// wider than the list, so only the vertical extent counts).
bool fullyShown(const QTreeWidget* list, int row)
{
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    return r.height() > 0 && r.top() >= 0 && r.bottom() < list->viewport()->height();
}

TEST_F(RemoveTest, MovedRowIsScrolledIntoView)
{
    fillRows(300);
    QTreeWidget* list = window->movieList;
    const bool autoScroll = list->hasAutoScroll();
    list->setAutoScroll(false);
    select(200);
    list->setAutoScroll(autoScroll);
    list->scrollToTop();
    QCoreApplication::processEvents();
    ASSERT_FALSE(fullyShown(list, 201));
    window->moveDownButton->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(selected(), 201);
    const QRect shown = list->visualItemRect(list->topLevelItem(201));
    EXPECT_TRUE(fullyShown(list, 201)) << shown.y();

    list->scrollToBottom();
    QCoreApplication::processEvents();
    ASSERT_FALSE(fullyShown(list, 200));
    window->moveUpButton->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(selected(), 200);
    EXPECT_TRUE(fullyShown(list, 200));
}

// ---- Save and load -------------------------------------------------------------

TEST_F(CreatorTest, SaveWritesNameAndCipheredFullPathLinesForEveryRow)
{
    add("C:\\movies\\Intro.swf", "Intro");
    add("/home/ann/Films/Wave caf\u00e9.swf", "Caf\u00e9 menu");
    add("/m/x.swf", " ");
    save(pathIn("show.qev"));
    const QByteArray expected = QByteArray("Intro\r\n") + ciphered("C:\\movies\\Intro.swf") + "\r\n"
        + "Caf\xe9 menu\r\n" + ciphered("/home/ann/Films/Wave caf\xe9.swf") + "\r\n" + " \r\n"
        + ciphered("/m/x.swf") + "\r\n";
    EXPECT_EQ(readBytes(pathIn("show.qev")), expected);
    EXPECT_TRUE(window->projectSaved());
    EXPECT_EQ(window->projectName(), "show");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - show");
}

TEST_F(CreatorTest, EmptyListSavesAZeroByteFile)
{
    save(pathIn("empty.qev"));
    EXPECT_EQ(readBytes(pathIn("empty.qev")), QByteArray());
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(CreatorTest, LoadThenSaveGivesTheSameBytes)
{
    // High bytes, 1252's unassigned bytes, a lone CR inside a reference ("W"),
    // a lone LF inside a name, and an empty pair.
    const QByteArray original = QByteArray("Caf\xe9 \x81\x8d\x8f\x90\x9d\r\n") + ciphered("C:\\Films\\Wild.swf")
        + "\r\n" + "two\nlines\r\n" + ciphered("/a/b/c.d.swf") + "\r\n" + "\r\n\r\n";
    writeBytes(pathIn("in.qev"), original);
    platform.answerQuestion(qev::Answer::No);
    load(pathIn("in.qev"));
    ASSERT_EQ(rows().size(), 3u);
    EXPECT_EQ(rows()[0].second, "C:\\Films\\Wild.swf");
    EXPECT_EQ(rows()[2], Row("", ""));
    save(pathIn("out.qev"));
    EXPECT_EQ(readBytes(pathIn("out.qev")), original);
}

TEST_F(CreatorTest, LoadNamesTheProjectAndCountsAsUnsaved)
{
    writeBytes(pathIn("my.folder"), {});
    QDir(dir.path()).mkdir("my.dir");
    writeBytes(pathIn("my.dir/menu.old.qev"), QByteArray("A\r\n") + ciphered("/m/a.swf") + "\r\n");
    add("/m/x.swf", "X");
    save(pathIn("first.qev"));
    ASSERT_TRUE(window->projectSaved());
    load(pathIn("my.dir/menu.old.qev")); // saved: no question
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}}));
    EXPECT_EQ(window->projectName(), "menu");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - menu");
    EXPECT_FALSE(window->projectSaved());
    EXPECT_TRUE(platform.asked(Kind::Question).empty());
    // Closing right after a load asks again.
    platform.answerQuestion(qev::Answer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(platform.asked(Kind::Question).size(), 1u);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, NewProjectShowsTheNameOnlyInTheCaption)
{
    add("/m/a.swf", "Intro");
    save(pathIn("kept.qev"));
    platform.answerModal([](QDialog* d) {
        // The text typed for the last item is offered again.
        EXPECT_EQ(d->findChild<QLineEdit*>("txtItemName")->text(), "Intro");
        EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "Project name:");
        d->findChild<QLineEdit*>("txtItemName")->setText("Demo");
        d->findChild<QPushButton*>("cmdOK")->click();
    });
    window->newProjectButton->click();
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Demo");
    EXPECT_EQ(window->projectName(), "kept");
    EXPECT_TRUE(rows().empty());
    EXPECT_FALSE(window->projectSaved());
    // Cancel in the prompt changes nothing.
    add("/m/b.swf", "B");
    platform.answerQuestion(qev::Answer::No);
    platform.answerModal(pressCancel());
    window->newProjectButton->click();
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Demo");
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, TitleOfANameWithoutADotIsTheWholeName)
{
    save(pathIn("plain"));
    EXPECT_EQ(window->projectName(), "plain");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - plain");
    EXPECT_TRUE(QFile::exists(pathIn("plain")));
    EXPECT_FALSE(QFile::exists(pathIn("plain.qev")));
    save(pathIn("show.final.qev"));
    EXPECT_EQ(window->projectName(), "show");
}

TEST(PathFunctions, FileNameAndTitle)
{
    struct Case {
        const char* path;
        const char* fileName;
        const char* title;
    };
    const Case cases[] = {
        {"C:\\movies\\intro.swf", "intro.swf", "intro"},
        {"intro.swf", "intro.swf", "intro"},
        {"C:\\movies\\", "", ""},
        {"C:\\projects\\menu.qev", "menu.qev", "menu"},
        {"C:\\my.folder\\menu.qev", "menu.qev", "menu"},
        {"C:\\projects\\.qev", ".qev", ""},
        {"C:\\projects\\menu.old.qev", "menu.old.qev", "menu"},
        {"/home/ann/my.dir/show.qev", "show.qev", "show"},
        {"/home/ann\\mixed/a\\b.swf", "b.swf", "b"},
        {"/home/ann/", "", ""},
        {"/home/ann/README", "README", "README"},
        {"plain", "plain", "plain"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(CreatorWindow::extractFileName(c.path), c.fileName);
        EXPECT_EQ(CreatorWindow::extractTitle(c.path), c.title);
    }
}

// ---- The save question of New and Load ----------------------------------------

struct QuestionCase {
    const char* command;
    const char* question;
};

// Test lists and failures name the command, not the bytes of the case.
void PrintTo(const QuestionCase& c, std::ostream* os)
{
    *os << c.command;
}

class SaveQuestion : public CreatorTest, public ::testing::WithParamInterface<QuestionCase> {
protected:
    bool isNew() const { return std::string(GetParam().command) == "new"; }
    void run() { (isNew() ? window->newProjectButton : window->openProjectButton)->click(); }
    // What the command asks for after the question.
    void answerCommandDialog(bool cancel)
    {
        if (isNew())
            platform.answerModal(cancel ? pressCancel() : typeAndOk("Next"));
        else
            platform.answerOpenFile(cancel ? QString() : pathIn("other.qev"));
    }
    void SetUp() override
    {
        CreatorTest::SetUp();
        writeBytes(pathIn("other.qev"), QByteArray("O\r\n") + ciphered("/m/o.swf") + "\r\n");
        add("/m/a.swf", "A");
        platform.clearAsked();
    }
    void TearDown() override
    {
        window->setProjectSaved(true);
        CreatorTest::TearDown();
    }
};

TEST_P(SaveQuestion, CancelEndsTheCommand)
{
    platform.answerQuestion(qev::Answer::Cancel);
    run();
    const auto asked = platform.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, Kind::Question);
    EXPECT_EQ(asked[0].caption, "Warning");
    EXPECT_EQ(asked[0].text, GetParam().question);
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Untitled");
}

TEST_P(SaveQuestion, NoGoesOnWithoutSaving)
{
    platform.answerQuestion(qev::Answer::No);
    answerCommandDialog(false);
    run();
    EXPECT_TRUE(platform.asked(Kind::SaveFile).empty());
    EXPECT_EQ(window->windowTitle(), isNew() ? "QEV CD Menu Creator - Next" : "QEV CD Menu Creator - other");
    EXPECT_FALSE(window->projectSaved());
}

TEST_P(SaveQuestion, YesThenCancelledSaveStillGoesOn)
{
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(QString());
    answerCommandDialog(false);
    run();
    EXPECT_EQ(platform.asked(Kind::SaveFile).size(), 1u);
    EXPECT_EQ(window->windowTitle(), isNew() ? "QEV CD Menu Creator - Next" : "QEV CD Menu Creator - other");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"other.qev"});
}

TEST_P(SaveQuestion, YesSavesThenGoesOn)
{
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(pathIn("saved.qev"));
    answerCommandDialog(true);
    run();
    EXPECT_EQ(readBytes(pathIn("saved.qev")), QByteArray("A\r\n") + ciphered("/m/a.swf") + "\r\n");
    // The save named the project; the cancelled second step changed nothing.
    EXPECT_EQ(window->projectName(), "saved");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - saved");
    EXPECT_TRUE(window->projectSaved());
    EXPECT_EQ(rows().size(), 1u);
}

TEST_P(SaveQuestion, NotAskedWhenSaved)
{
    window->setProjectSaved(true);
    answerCommandDialog(true);
    run();
    EXPECT_TRUE(platform.asked(Kind::Question).empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, SaveQuestion,
                         ::testing::Values(
                             QuestionCase{"new", "Do you want to save your current project before create a new one?"},
                             QuestionCase{"load", "Do you want to save your current project before load?"}),
                         [](const auto& info) { return std::string(info.param.command); });

// ---- The closing question -------------------------------------------------------

class ClosingQuestion : public CreatorTest {
protected:
    void SetUp() override
    {
        CreatorTest::SetUp();
        add("/m/a.swf", "A");
        platform.clearAsked();
    }
    void TearDown() override
    {
        window->setProjectSaved(true);
        CreatorTest::TearDown();
    }
};

TEST_F(ClosingQuestion, IsAskedRightAfterStartWithAnEmptyList)
{
    window = std::make_unique<CreatorWindow>(platform);
    window->show();
    platform.answerQuestion(qev::Answer::No);
    EXPECT_TRUE(window->close());
    const auto asked = platform.asked(Kind::Question);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Do you want to save your current project?");
    EXPECT_EQ(asked[0].caption, "Warning");
}

TEST_F(ClosingQuestion, CancelKeepsTheWindowOpen)
{
    platform.answerQuestion(qev::Answer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(ClosingQuestion, NoClosesWithoutWriting)
{
    platform.answerQuestion(qev::Answer::No);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(platform.asked(Kind::SaveFile).empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ClosingQuestion, YesThenCancelledSaveKeepsTheWindowOpen)
{
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(QString());
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(ClosingQuestion, YesThenSaveCloses)
{
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(pathIn("closing.qev"));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readBytes(pathIn("closing.qev")), QByteArray("A\r\n") + ciphered("/m/a.swf") + "\r\n");
}

TEST_F(ClosingQuestion, YesThenFailedSaveReportsAndKeepsTheWindowOpen)
{
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(pathIn("no-such-folder/closing.qev"));
    EXPECT_FALSE(window->close());
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_TRUE(platform.messages()[0].contains(pathIn("no-such-folder/closing.qev")));
}

TEST_F(ClosingQuestion, NotAskedAfterSave)
{
    save(pathIn("done.qev"));
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(platform.asked(Kind::Question).empty());
}

TEST_F(ClosingQuestion, TheEndOfTheSessionAsksTheSameQuestion)
{
    platform.answerQuestion(qev::Answer::Cancel);
    EXPECT_FALSE(window->sessionEnding(true));
    EXPECT_TRUE(window->isVisible());
    platform.answerQuestion(qev::Answer::Yes);
    platform.answerSaveFile(pathIn("logout.qev"));
    EXPECT_TRUE(window->sessionEnding(true));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(readBytes(pathIn("logout.qev")), QByteArray("A\r\n") + ciphered("/m/a.swf") + "\r\n");
    ASSERT_EQ(platform.asked(Kind::Question).size(), 2u);
    EXPECT_EQ(platform.asked(Kind::Question)[1].text, "Do you want to save your current project?");
}

TEST_F(ClosingQuestion, ASessionThatAllowsNoQuestionIsNotHeldUp)
{
    EXPECT_TRUE(window->sessionEnding(false));
    EXPECT_TRUE(platform.asked().empty());
}

// ---- Failures ------------------------------------------------------------------

TEST_F(CreatorTest, LoadOfAMissingFileIsReportedAndNamesNothing)
{
    add("/m/a.swf", "A");
    save(pathIn("named.qev"));
    load(pathIn("missing.qev"));
    const auto shown = platform.asked(Kind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Ravlen");
    EXPECT_TRUE(shown[0].text.contains(pathIn("missing.qev")));
    EXPECT_TRUE(shown[0].text.contains("No such file or directory")) << shown[0].text.toStdString();
    EXPECT_EQ(window->projectName(), "named");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - named");
    // The list was emptied before the file was opened; nothing else ran.
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(window->projectSaved());
    // The window goes on working.
    add("/m/b.swf", "B");
    EXPECT_EQ(rows().size(), 1u);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, LoadOfAnOddNumberOfLinesKeepsTheItemsBefore)
{
    writeBytes(pathIn("odd.qev"), QByteArray("A\r\n") + ciphered("/m/a.swf") + "\r\nB\r\n" + ciphered("/m/b.swf")
                                      + "\r\nHalf\r\n");
    platform.answerQuestion(qev::Answer::No);
    load(pathIn("odd.qev"));
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "/m/a.swf"}, {"B", "/m/b.swf"}}));
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_TRUE(platform.messages()[0].contains(pathIn("odd.qev")));
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Untitled");
    EXPECT_EQ(window->projectName(), "Untitled");
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, SaveIntoAMissingFolderIsReported)
{
    add("/m/a.swf", "A");
    save(pathIn("gone/x.qev"));
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_TRUE(platform.messages()[0].contains(pathIn("gone/x.qev")));
    EXPECT_FALSE(window->projectSaved());
    EXPECT_EQ(window->projectName(), "Untitled");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Untitled");
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, FailedSaveLeavesTheEarlierFileAndTheStateAsTheyWere)
{
    add("/m/a.swf", "A");
    save(pathIn("kept.qev"));
    const QByteArray before = readBytes(pathIn("kept.qev"));
    add("/m/a-much-longer-path-that-will-not-fit/movie.swf", "A longer name than the limit allows");
    ASSERT_FALSE(window->projectSaved());

    // A file size limit smaller than the new content makes the write fail,
    // whoever runs the test (a read-only folder does not stop root).
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(before.size() + 4);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    platform.answerSaveFile(pathIn("kept.qev"));
    window->saveProjectButton->click();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_TRUE(platform.messages()[0].contains(pathIn("kept.qev")));
    EXPECT_EQ(readBytes(pathIn("kept.qev")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.qev"});
    EXPECT_FALSE(window->projectSaved());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, SavePastAFileSizeLimitIsToldAndTheProgramGoesOn)
{
    add("/m/a.swf", "A");
    save(pathIn("kept.qev"));
    const QByteArray before = readBytes(pathIn("kept.qev"));
    add("/m/a-much-longer-path-that-will-not-fit/movie.swf", "A longer name than the limit allows");
    platform.clearAsked();
    {
        // What a write past the limit does is left to the program.
        const FileSizeLimit limit(before.size() + 4);
        save(pathIn("kept.qev"));
    }
    EXPECT_EQ(platform.messages(),
              std::vector<QString>{qev::FileError::errnoText(EFBIG) + ": " + pathIn("kept.qev")});
    EXPECT_EQ(readBytes(pathIn("kept.qev")), before);
    EXPECT_FALSE(window->projectSaved());

    // The window goes on, with its work: without the limit the save succeeds.
    save(pathIn("kept.qev"));
    EXPECT_TRUE(window->projectSaved());
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_GT(readBytes(pathIn("kept.qev")).size(), before.size());
}

TEST_F(CreatorTest, SaveIntoAReadOnlyFolderIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root; the file size test covers the failure";
    QDir(dir.path()).mkdir("ro");
    writeBytes(pathIn("ro/old.qev"), "old");
    QFile::setPermissions(pathIn("ro"), QFile::ReadOwner | QFile::ExeOwner);
    add("/m/a.swf", "A");
    save(pathIn("ro/old.qev"));
    QFile::setPermissions(pathIn("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(readBytes(pathIn("ro/old.qev")), "old");
    EXPECT_FALSE(window->projectSaved());
    window->setProjectSaved(true);
}

// ---- What Add refuses --------------------------------------------------------------

TEST_F(CreatorTest, AddRefusesAPathThatWouldCipherToALineEnd)
{
    platform.answerOpenFile("/movies/NEWPLAN.swf");
    window->addButton->click();
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_TRUE(platform.messages()[0].contains("/movies/NEWPLAN.swf"));
    EXPECT_TRUE(platform.messages()[0].contains("\"WP\"")) << platform.messages()[0].toStdString();
    EXPECT_EQ(platform.asked(Kind::Message)[0].caption, "Ravlen");
    EXPECT_TRUE(platform.asked(Kind::Modal).empty());
    EXPECT_TRUE(rows().empty());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, AddRefusesCharactersTheCodePageCannotHoldAndNamesThem)
{
    platform.answerOpenFile("/movies/\u65e5\u672c\u65e5.swf");
    window->addButton->click();
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "The movie's path holds characters that this system's code page cannot store: "
                        "\u65e5, \u672c\n/movies/\u65e5\u672c\u65e5.swf");
    EXPECT_TRUE(platform.asked(Kind::Modal).empty());
    EXPECT_TRUE(rows().empty());
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, ANameTheCodePageCannotHoldKeepsThePromptOpenWithTheTypedName)
{
    platform.answerOpenFile("/movies/ok.swf");
    platform.answerModal([this](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>("txtItemName");
        box->setText("\u041f\u0440\u0438\u043c\u0435\u0440 \u043f\u0440\u0438");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(box->text(), "\u041f\u0440\u0438\u043c\u0435\u0440 \u043f\u0440\u0438");
        EXPECT_EQ(platform.messages(),
                  std::vector<QString>{"The name holds characters that this system's code page cannot store: "
                                       "\u041f, \u0440, \u0438, \u043c, \u0435, \u043f"});
        // Mended, the name is taken.
        box->setText("Primer");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
    });
    window->addButton->click();
    EXPECT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(rows(), (std::vector<Row>{{"Primer", "/movies/ok.swf"}}));
    // The project name takes what the code page cannot store: it goes only
    // into the caption.
    platform.answerQuestion(qev::Answer::No);
    platform.answerModal(typeAndOk("\u041f"));
    window->newProjectButton->click();
    EXPECT_EQ(platform.messages().size(), 1u);
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, PathsWithWAndPApartAreKeptThroughSaveAndLoad)
{
    add("/Work/Paris/PW.swf", "W and P");
    ASSERT_TRUE(platform.messages().empty());
    save(pathIn("w.qev"));
    add("/m/other.swf", "other");
    platform.answerQuestion(qev::Answer::No);
    load(pathIn("w.qev"));
    EXPECT_EQ(rows(), (std::vector<Row>{{"W and P", "/Work/Paris/PW.swf"}}));
    window->setProjectSaved(true);
}

// ---- No 16-bit limits ----------------------------------------------------------------

TEST_F(CreatorTest, ListsLongerThan32767RowsSaveLoadAndMove)
{
    fillRows(40000);
    save(pathIn("long.qev"));
    ASSERT_TRUE(platform.messages().empty());
    load(pathIn("long.qev"));
    ASSERT_EQ(window->movieList->topLevelItemCount(), 40000);
    EXPECT_EQ(window->movieList->topLevelItem(39999)->text(1), "/movies/m39999.swf");
    window->movieList->setCurrentItem(window->movieList->topLevelItem(39998));
    window->moveDownButton->click();
    EXPECT_EQ(selected(), 39999);
    EXPECT_EQ(window->movieList->topLevelItem(39999)->text(0), "Movie 39998");
    window->removeButton->click();
    EXPECT_EQ(selected(), 39998);
    window->setProjectSaved(true);
}

} // namespace
