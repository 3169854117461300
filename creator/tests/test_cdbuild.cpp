// Make autorun CD through the real window with a scripted folder picker:
// the files and bytes of the built folder, the checks made before writing,
// and the failures.
#include "CdBuild.h"
#include "CreatorTestSupport.h"
#include "qev/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cerrno>

namespace {

using Kind = qev::ScriptedPlatform::Asked;

const QFileDevice::Permissions kExecutable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup;

// A window whose start folder holds the four fixed files, with movies in
// other folders and an empty folder to build into.
class CdBuildTest : public CreatorTest {
protected:
    void SetUp() override
    {
        QDir root(dir.path());
        for (const char* sub : {"start", "movies", "other", "discs"})
            ASSERT_TRUE(root.mkdir(sub));
        fixed = {{"Flash.ocx", "the movie engine module"},
                 {"COMDLG32.OCX", "notice one"},
                 {"MSCOMCTL.OCX", "notice two"},
                 {"autorun.exe", "#!/bin/sh\necho player\n"}};
        for (const auto& [name, content] : fixed)
            writeBytes(pathIn("start/" + name), content);
        // The runtime: Qt's settings file and a folder of libraries and plugins.
        runtime = {{"qt.conf", "[Paths]\nPrefix = runtime\n"},
                   {"runtime/libQt6Core.so.6", "core library"},
                   {"runtime/plugins/platforms/libqxcb.so", "platform plugin"}};
        ASSERT_TRUE(QDir(pathIn("start")).mkpath("runtime/plugins/platforms"));
        for (const auto& [name, content] : runtime)
            writeBytes(pathIn("start/" + name), content);
        QFile::setPermissions(pathIn("start/autorun.exe"), kExecutable);
        QFile::setPermissions(pathIn("start/COMDLG32.OCX"), kPrivate);
        movieA = makeMovie("movies/intro.swf", 3000);
        movieB = makeMovie("other/Credits.swf", 70000);

        const QString previous = QDir::currentPath();
        QDir::setCurrent(pathIn("start"));
        CreatorTest::SetUp();
        QDir::setCurrent(previous);
        ASSERT_EQ(window->startFolder(), pathIn("start"));
    }

    QString makeMovie(const QString& relative, int size)
    {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char((qint64(i) * 131 + relative.size()) & 0xff);
        writeBytes(pathIn(relative), bytes);
        return pathIn(relative);
    }

    // Runs Make autorun CD with folder as the picker's answer.
    void build(const QString& folder)
    {
        platform.answerFolder(folder);
        window->makeCdButton->click();
    }

    QStringList filesIn(const QString& relative) const
    {
        return QDir(pathIn(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    std::vector<std::pair<QString, QByteArray>> fixed;
    std::vector<std::pair<QString, QByteArray>> runtime;
    QString movieA, movieB;
};

TEST_F(CdBuildTest, TheDiscsAutorunInfIsTwentyNineExactBytesReplacingAnEarlierOne)
{
    // A longer file from an earlier build must not leave its tail behind.
    ASSERT_TRUE(QDir(pathIn("discs")).mkdir("Untitled"));
    writeBytes(pathIn("discs/Untitled/autorun.inf"), QByteArray(200, 'x'));
    build(pathIn("discs"));
    EXPECT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
    // "[autorun]" CR LF "open=autorun.exe" CR LF, worked out by hand.
    const QByteArray onDisc = readBytes(pathIn("discs/Untitled/autorun.inf"));
    EXPECT_EQ(onDisc, QByteArray::fromHex("5B6175746F72756E5D0D0A6F70656E3D6175746F72756E2E6578650D0A"));
    EXPECT_EQ(onDisc.size(), 29);
}

TEST_F(CdBuildTest, BuildsTheWholeFolder)
{
    add(movieA, "Intro");
    add(movieB, "The credits");
    platform.clearAsked();
    build(pathIn("discs"));

    const auto asked = platform.asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, Kind::Folder);
    EXPECT_EQ(asked[0].text, "Please select a folder to save your project.");
    EXPECT_EQ(asked[1].kind, Kind::Message);
    EXPECT_EQ(asked[1].caption, "Ravlen");
    EXPECT_EQ(asked[1].text, "Project was created successfully");

    const QString disc = "discs/Untitled/";
    EXPECT_EQ(filesIn(disc), QStringList({"COMDLG32.OCX", "Credits.swf", "Flash.ocx", "MSCOMCTL.OCX", "PlayList.qev",
                                          "autorun.exe", "autorun.inf", "autorun.sh", "intro.swf", "qt.conf"}));
    EXPECT_EQ(readBytes(pathIn(disc + "PlayList.qev")),
              QByteArray("Intro\r\n") + ciphered("intro.swf") + "\r\nThe credits\r\n"
                  + ciphered("Credits.swf") + "\r\n");
    EXPECT_EQ(readBytes(pathIn(disc + "autorun.inf")), creator::CdBuild::autorunInf());
    EXPECT_EQ(readBytes(pathIn(disc + "intro.swf")), readBytes(movieA));
    EXPECT_EQ(readBytes(pathIn(disc + "Credits.swf")), readBytes(movieB));
    for (const auto& [name, content] : fixed) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(readBytes(pathIn(disc + name)), content);
        EXPECT_EQ(QFile::permissions(pathIn(disc + name)), QFile::permissions(pathIn("start/" + name)));
    }
    EXPECT_TRUE(QFileInfo(pathIn(disc + "autorun.exe")).isExecutable());
    EXPECT_EQ(QFile::permissions(pathIn(disc + "COMDLG32.OCX")), kPrivate);
    // The runtime under the same relative paths, and the desktop's script.
    for (const auto& [name, content] : runtime) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(readBytes(pathIn(disc + name)), content);
    }
    EXPECT_EQ(QDir(pathIn(disc + "runtime")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"libQt6Core.so.6", "plugins"}));
    EXPECT_EQ(readBytes(pathIn(disc + "autorun.sh")), creator::CdBuild::autorunScript());
    EXPECT_EQ(QFile::permissions(pathIn(disc + "autorun.sh")), kExecutable);

    // The build wrote a playlist: nothing needs saving any more.
    EXPECT_TRUE(window->projectSaved());
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Untitled");
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(window->movieList->topLevelItem(0)->text(1), movieA);
    EXPECT_TRUE(window->close());
}

TEST_F(CdBuildTest, EmptyListGivesAZeroBytePlaylistAndTheFixedFiles)
{
    build(pathIn("discs"));
    EXPECT_EQ(filesIn("discs/Untitled"), QStringList({"COMDLG32.OCX", "Flash.ocx", "MSCOMCTL.OCX", "PlayList.qev",
                                                      "autorun.exe", "autorun.inf", "autorun.sh", "qt.conf"}));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/PlayList.qev")), QByteArray());
    EXPECT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
}

TEST_F(CdBuildTest, CancelInThePickerWritesAndShowsNothing)
{
    add(movieA, "Intro");
    build(QString());
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_FALSE(window->projectSaved());
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, AnExistingFolderIsReusedAndItsOtherFilesKept)
{
    QDir(pathIn("discs")).mkdir("Untitled");
    writeBytes(pathIn("discs/Untitled/notes.txt"), "keep me");
    writeBytes(pathIn("discs/Untitled/autorun.inf"), QByteArray(500, 'x'));
    writeBytes(pathIn("discs/Untitled/intro.swf"), QByteArray(100000, 'y'));
    writeBytes(pathIn("discs/Untitled/autorun.exe"), "old player");
    add(movieA, "Intro");
    build(pathIn("discs"));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/notes.txt")), "keep me");
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/autorun.inf")), creator::CdBuild::autorunInf());
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/intro.swf")), readBytes(movieA));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/autorun.exe")), fixed[3].second);
    EXPECT_TRUE(QFileInfo(pathIn("discs/Untitled/autorun.exe")).isExecutable());
}

TEST_F(CdBuildTest, TheFolderIsNamedAfterProjectNameNotTheNewProjectCaption)
{
    add(movieA, "Intro");
    save(pathIn("show.final.qev"));
    platform.answerModal(typeAndOk("Demo"));
    window->newProjectButton->click();
    add(movieB, "Credits");
    build(pathIn("discs"));
    EXPECT_EQ(QDir(pathIn("discs")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"show"});
    EXPECT_EQ(readBytes(pathIn("discs/show/PlayList.qev")),
              QByteArray("Credits\r\n") + ciphered("Credits.swf") + "\r\n");
    EXPECT_EQ(window->windowTitle(), "QEV CD Menu Creator - Demo");
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(CdBuildTest, ProblemsAreListedTogetherAndNothingIsWritten)
{
    const QString twin = makeMovie("other/INTRO.SWF", 10);
    const QString reserved = makeMovie("other/autorun.EXE", 10);
    QFile::remove(pathIn("start/MSCOMCTL.OCX"));
    add(movieA, "Intro");
    add(pathIn("movies/gone.swf"), "Gone");
    add(twin, "Twin");
    add(reserved, "Reserved");
    platform.clearAsked();
    build(pathIn("discs"));
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    const QString& text = shown[0];
    EXPECT_TRUE(text.contains(pathIn("movies/gone.swf"))) << text.toStdString();
    EXPECT_TRUE(text.contains(twin) && text.contains(movieA));
    EXPECT_TRUE(text.contains(reserved));
    EXPECT_TRUE(text.contains(pathIn("start/MSCOMCTL.OCX")));
    EXPECT_EQ(platform.asked(Kind::Message)[0].caption, "Ravlen");
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());
    EXPECT_FALSE(window->projectSaved());
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, TheSameMovieListedTwiceIsFine)
{
    add(movieA, "Intro");
    add(movieA, "Intro again");
    build(pathIn("discs"));
    EXPECT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/intro.swf")), readBytes(movieA));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/PlayList.qev")),
              QByteArray("Intro\r\n") + ciphered("intro.swf") + "\r\nIntro again\r\n"
                  + ciphered("intro.swf") + "\r\n");
}

TEST_F(CdBuildTest, AMovieThatAlreadyIsTheTargetIsNotCopiedOntoItself)
{
    QDir(pathIn("discs")).mkdir("Untitled");
    const QString inPlace = makeMovie("discs/Untitled/inplace.swf", 50000);
    const QByteArray before = readBytes(inPlace);
    add(inPlace, "In place");
    // A second name for the same file, through a link in another folder.
    ASSERT_TRUE(QFile::link(pathIn("start/Flash.ocx"), pathIn("discs/Untitled/Flash.ocx")));
    build(pathIn("discs"));
    EXPECT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
    EXPECT_EQ(readBytes(inPlace), before);
    EXPECT_EQ(readBytes(pathIn("start/Flash.ocx")), fixed[0].second);
}

TEST_F(CdBuildTest, AFolderThatCannotBeMadeIsReportedWithTheSystemText)
{
    writeBytes(pathIn("discs/Untitled"), "a file in the way");
    add(movieA, "Intro");
    build(pathIn("discs"));
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].contains(pathIn("discs/Untitled")));
    EXPECT_TRUE(shown[0].contains("Not a directory")) << shown[0].toStdString();
    EXPECT_FALSE(window->projectSaved());
    EXPECT_EQ(readBytes(pathIn("discs/Untitled")), "a file in the way");
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, AFailedCopyKeepsWhatWasWrittenAndShowsNoSuccess)
{
    add(movieA, "Intro");
    add(movieB, "Credits");
    QDir(pathIn("discs")).mkdir("Untitled");
    // A folder where the second movie's copy should go.
    QDir(pathIn("discs/Untitled")).mkdir("Credits.swf");
    build(pathIn("discs"));
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].contains(pathIn("discs/Untitled/Credits.swf"))) << shown[0].toStdString();
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/intro.swf")), readBytes(movieA));
    EXPECT_TRUE(QFile::exists(pathIn("discs/Untitled/PlayList.qev")));
    EXPECT_TRUE(QFile::exists(pathIn("discs/Untitled/autorun.inf")));
    EXPECT_FALSE(QFile::exists(pathIn("discs/Untitled/autorun.exe")));
    // The playlist was written before the failure.
    EXPECT_TRUE(window->projectSaved());
}

TEST_F(CdBuildTest, ProgressIsShownWithoutACancelButton)
{
    const QString big = makeMovie("movies/big.swf", 24 << 20);
    add(big, "Big");
    window->setBuildProgressDelay(0);
    bool seen = false;
    QStringList labels;
    // Runs from inside the build, while the copies run.
    QTimer::singleShot(0, window.get(), [&] {
        auto* progress = window->findChild<QProgressDialog*>("buildProgress");
        ASSERT_NE(progress, nullptr);
        seen = true;
        EXPECT_TRUE(progress->isVisible());
        EXPECT_TRUE(progress->isModal() || progress->windowModality() != Qt::NonModal);
        EXPECT_TRUE(progress->findChildren<QPushButton*>().isEmpty());
        // The copies report from their own thread, each report setting the
        // label and then the bar; the labels are taken as the bar moves.
        auto* bar = progress->findChild<QProgressBar*>();
        ASSERT_NE(bar, nullptr);
        QObject::connect(bar, &QProgressBar::valueChanged, [&labels, progress] { labels << progress->labelText(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return labels.contains("Copying big.swf"); })) << labels.join(", ").toStdString();
        EXPECT_EQ(progress->windowTitle(), "Ravlen");
        // Esc and the close box do not stop or hide it.
        QTest::keyClick(progress, Qt::Key_Escape);
        progress->close();
        EXPECT_TRUE(progress->isVisible());
    });
    build(pathIn("discs"));
    EXPECT_TRUE(seen);
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/big.swf")), readBytes(big));
    EXPECT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
    EXPECT_EQ(window->findChild<QProgressDialog*>("buildProgress"), nullptr);
}

TEST_F(CdBuildTest, CommandsCloseAndTheSessionsEndAreRefusedWhileTheCopiesRun)
{
    const QString big = makeMovie("movies/big.swf", 24 << 20);
    add(movieA, "Intro");
    add(big, "Big");
    platform.clearAsked();
    bool ran = false;
    // Queued before the build, so it runs inside it as events from the
    // desktop would: the window answers them while the copies run, before
    // its progress dialog is shown.
    QTimer::singleShot(0, window.get(), [&] {
        ran = true;
        ASSERT_TRUE(window->building());
        EXPECT_FALSE(window->findChild<QProgressDialog*>("buildProgress")->isVisible());
        // Each of these would ask a question or change the list; the
        // scripted platform fails the test on any question it was not given.
        window->saveProjectButton->click();
        window->removeButton->click();
        window->newProjectButton->click();
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(window->movieList, Qt::Key_Delete);
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->sessionEnding(true));
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(rows().size(), 2u);
    });
    build(pathIn("discs"));
    ASSERT_TRUE(ran);
    EXPECT_FALSE(window->building());

    // The build ended as it does undisturbed.
    const auto asked = platform.asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, Kind::Folder);
    EXPECT_EQ(asked[1].text, "Project was created successfully");
    EXPECT_EQ(filesIn("discs/Untitled"),
              QStringList({"COMDLG32.OCX", "Flash.ocx", "MSCOMCTL.OCX", "PlayList.qev", "autorun.exe", "autorun.inf",
                           "autorun.sh", "big.swf", "intro.swf", "qt.conf"}));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/big.swf")), readBytes(big));
    EXPECT_EQ(readBytes(pathIn("discs/Untitled/PlayList.qev")),
              QByteArray("Intro\r\n") + ciphered("intro.swf") + "\r\nBig\r\n" + ciphered("big.swf") + "\r\n");
    EXPECT_EQ(rows().size(), 2u);

    // The close asked for during the build follows it; the build saved the
    // list, so it closes without a question.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(platform.asked().size(), 2u);
}

TEST_F(CdBuildTest, AMissingOrEmptyRuntimeIsReportedBeforeAnythingIsWritten)
{
    add(movieA, "Intro");
    ASSERT_TRUE(QDir(pathIn("start/runtime")).removeRecursively());
    ASSERT_TRUE(QFile::remove(pathIn("start/qt.conf")));
    platform.clearAsked();
    build(pathIn("discs"));
    auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith("The autorun CD was not made:\n\n")) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains("The start folder lacks the file qt.conf: " + pathIn("start/qt.conf")));
    EXPECT_TRUE(shown[0].contains("runtime folder") && shown[0].contains(pathIn("start/runtime")))
        << shown[0].toStdString();
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());

    // A runtime folder with nothing in it is no runtime either.
    writeBytes(pathIn("start/qt.conf"), "[Paths]\n");
    ASSERT_TRUE(QDir(pathIn("start")).mkpath("runtime/plugins"));
    platform.clearAsked();
    build(pathIn("discs"));
    shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].contains("holds no files: " + pathIn("start/runtime"))) << shown[0].toStdString();
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, NamesABurnedDiscCannotKeepAreReportedBeforeAnythingIsWritten)
{
    const QString colon = makeMovie("movies/part 1: intro.swf", 100);
    const QString longName = makeMovie("movies/" + QString(61, u'a') + ".swf", 100);
    add(colon, "Colon");
    add(longName, "Long");
    add(movieA, "Fine");
    writeBytes(pathIn("start/runtime/what?.so"), "odd");
    platform.clearAsked();
    build(pathIn("discs"));
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    const QStringList lines = shown[0].split(u'\n');
    const auto lineWith = [&](const QString& text) {
        return std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(text); });
    };
    EXPECT_EQ(lineWith(colon), 1) << shown[0].toStdString();
    EXPECT_EQ(lineWith("\":\""), 1);
    EXPECT_EQ(lineWith(longName), 1);
    EXPECT_EQ(lineWith("65 characters long"), 1);
    EXPECT_EQ(lineWith(pathIn("start/runtime/what?.so")), 1);
    EXPECT_EQ(lineWith(movieA), 0);
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, UnreadableMoviesAndFixedFilesAreFoundBeforeAnythingIsWritten)
{
    add(movieA, "Intro");
    add(movieB, "Credits");
    ASSERT_TRUE(QFile::setPermissions(movieB, {}));
    ASSERT_TRUE(QFile::setPermissions(pathIn("start/COMDLG32.OCX"), {}));
    platform.clearAsked();
    {
        const PermissionBitsApply permissions;
        ASSERT_TRUE(permissions.active());
        QFile probe(movieB);
        ASSERT_FALSE(probe.open(QIODevice::ReadOnly));
        build(pathIn("discs"));
    }
    const auto shown = platform.messages();
    ASSERT_EQ(shown.size(), 1u);
    const QString denied = qev::FileError::errnoText(EACCES);
    EXPECT_TRUE(shown[0].contains(movieB)) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(pathIn("start/COMDLG32.OCX")));
    EXPECT_EQ(shown[0].count(denied), 2);
    EXPECT_FALSE(shown[0].contains(movieA));
    EXPECT_TRUE(QDir(pathIn("discs")).isEmpty());
    window->setProjectSaved(true);
}

TEST_F(CdBuildTest, ACopyThatFailsLeavesNoPartFileKeepsTheEarlierOneAndTellsWhatWasWritten)
{
    add(movieA, "Intro");
    add(movieB, "Credits");
    const QString disc = pathIn("discs/Untitled");
    const QStringList written = {disc + "/PlayList.qev", disc + "/autorun.inf", disc + "/autorun.sh",
                                 disc + "/intro.swf"};
    const auto expectFailedCopy = [&] {
        const auto shown = platform.messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].startsWith(qev::FileError::errnoText(EFBIG) + ": " + disc + "/Credits.swf\n"))
            << shown[0].toStdString();
        for (const QString& path : written)
            EXPECT_TRUE(shown[0].contains(path + (path == written.last() ? "" : "\n"))) << path.toStdString();
        EXPECT_FALSE(shown[0].contains("autorun.exe"));
        platform.clearAsked();
    };

    // A movie larger than the file size limit lets through, into a new folder.
    {
        const FileSizeLimit limit(40000);
        build(pathIn("discs"));
    }
    expectFailedCopy();
    EXPECT_EQ(filesIn("discs/Untitled"), (QStringList{"PlayList.qev", "autorun.inf", "autorun.sh", "intro.swf"}));

    // A whole disc, then the movie grown past the limit: the copy on the
    // disc stays the earlier, complete one.
    build(pathIn("discs"));
    ASSERT_EQ(platform.messages(), std::vector<QString>{"Project was created successfully"});
    platform.clearAsked();
    const QByteArray earlier = readBytes(disc + "/Credits.swf");
    const QStringList earlierFiles = filesIn("discs/Untitled");
    makeMovie("other/Credits.swf", 90000);
    {
        const FileSizeLimit limit(80000);
        build(pathIn("discs"));
    }
    expectFailedCopy();
    EXPECT_EQ(readBytes(disc + "/Credits.swf"), earlier);
    EXPECT_EQ(filesIn("discs/Untitled"), earlierFiles);
}

} // namespace
