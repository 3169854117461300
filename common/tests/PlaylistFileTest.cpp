#include "Printers.h"

#include "qev/CodePage.h"
#include "qev/FileError.h"
#include "qev/Playlist.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qev::CodePage;
using qev::FileError;
using qev::PlaylistItem;

namespace {

class PlaylistFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString path(const QString& name) const { return dir_.filePath(name); }

    static void writeBytes(const QString& path, const QByteArray& data)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(data), data.size());
    }

    static QByteArray readBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<unreadable>";
        return file.readAll();
    }

    static std::vector<PlaylistItem> read(const QString& path, int codePage = 1252)
    {
        std::vector<PlaylistItem> items;
        qev::readPlaylistFile(path, CodePage::fromNumber(codePage),
                              [&](PlaylistItem&& item) { items.push_back(std::move(item)); });
        return items;
    }

    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    static int openDescriptors() { return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size()); }

    // Runs check as a user that file permissions apply to: directly when the
    // tests do not run as root, else in a child process as "nobody". check
    // must not use test assertions; its result is passed back.
    bool withoutRootRights(const std::function<bool()>& check)
    {
        if (::geteuid() != 0)
            return check();
        // The child needs to reach the temporary folder.
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped && check() ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child)
            return false;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    void expectFailedWriteKeepsEarlierFile(int count);

    QTemporaryDir dir_;
};

} // namespace

TEST_F(PlaylistFile, WriteThenReadGivesTheItemsBack)
{
    const std::vector<PlaylistItem> items{
        {"Intro", "C:\\Movies\\intro.swf"},
        {"Windows and Pages", "/media/cd/Windows/Party Pack/WORLD.swf"},
        {"", ""},
        {"Caf\u00E9", "caf\u00E9W.swf"},
    };
    qev::writePlaylistFile(path("list.qev"), items, CodePage::fromNumber(1252));
    EXPECT_EQ(read(path("list.qev")), items);
}

TEST_F(PlaylistFile, WrittenFileHoldsExactlyTheLines)
{
    qev::writePlaylistFile(path("PlayList.qev"), {{"Intro", "intro.swf"}}, CodePage::fromNumber(1252));
    EXPECT_EQ(readBytes(path("PlayList.qev")), QByteArray("Intro\r\n34.(5t)-<\r\n"));
    qev::writePlaylistFile(path("empty.qev"), {}, CodePage::fromNumber(1252));
    EXPECT_EQ(readBytes(path("empty.qev")), QByteArray());
}

TEST_F(PlaylistFile, UsesTheCodePageItIsGiven)
{
    const std::vector<PlaylistItem> russian{{QStringLiteral(u"\u041A\u0438\u043D\u043E"), QStringLiteral(u"\u0424\u0438\u043B\u044C\u043C.swf")}};
    qev::writePlaylistFile(path("ru.qev"), russian, CodePage::fromNumber(1251));
    EXPECT_EQ(readBytes(path("ru.qev")).left(6), QByteArray("\xCA\xE8\xED\xEE\r\n"));
    EXPECT_EQ(read(path("ru.qev"), 1251), russian);

    const std::vector<PlaylistItem> japanese{{QStringLiteral(u"\u6771\u4EAC"), QStringLiteral(u"\u6771\u4EAC.swf")}};
    qev::writePlaylistFile(path("ja.qev"), japanese, CodePage::fromNumber(932));
    EXPECT_EQ(read(path("ja.qev"), 932), japanese);
}

TEST_F(PlaylistFile, ZeroByteFileGivesNoItems)
{
    writeBytes(path("empty.qev"), {});
    EXPECT_TRUE(read(path("empty.qev")).empty());
}

TEST_F(PlaylistFile, OddNumberOfLinesDeliversPairsThenFailsAndCloses)
{
    writeBytes(path("odd.qev"), "A\r\n;\r\nB\r\n");
    const int before = openDescriptors();
    std::vector<PlaylistItem> items;
    try {
        qev::readPlaylistFile(path("odd.qev"), CodePage::fromNumber(1252),
                              [&](PlaylistItem&& item) { items.push_back(std::move(item)); });
        ADD_FAILURE() << "no error raised";
    } catch (const qev::PlaylistFormatError& error) {
        EXPECT_STREQ(error.what(), "Input past end of file");
    }
    EXPECT_EQ(items, (std::vector<PlaylistItem>{{"A", "a"}}));
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PlaylistFile, ReadUpToFailureKeepsThePairsBeforeAnOddLineAndNamesTheFile)
{
    writeBytes(path("odd.qev"), "A\r\n;\r\nB\r\n8\r\nC\r\n");
    const qev::PlaylistRead read = qev::readPlaylistUpToFailure(path("odd.qev"), CodePage::fromNumber(1252));
    EXPECT_EQ(read.items, (std::vector<PlaylistItem>{{"A", "a"}, {"B", "b"}}));
    ASSERT_TRUE(read.failure.has_value());
    EXPECT_EQ(read.failure->path(), path("odd.qev"));
    EXPECT_EQ(read.failure->message(), "Input past end of file: " + path("odd.qev"));
    try {
        read.throwFailure();
        ADD_FAILURE() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.message(), read.failure->message());
    }
}

TEST_F(PlaylistFile, ReadUpToFailureOfAMissingFileHasNoPairsAndTheSystemText)
{
    const qev::PlaylistRead read = qev::readPlaylistUpToFailure(path("missing.qev"), CodePage::fromNumber(1252));
    EXPECT_TRUE(read.items.empty());
    ASSERT_TRUE(read.failure.has_value());
    EXPECT_EQ(read.failure->message(), FileError::errnoText(ENOENT) + ": " + path("missing.qev"));
}

TEST_F(PlaylistFile, ReadUpToFailureOfAWholeFileHasNoFailure)
{
    writeBytes(path("two.qev"), "A\r\n;\r\nB\r\n8\r\n");
    const qev::PlaylistRead read = qev::readPlaylistUpToFailure(path("two.qev"), CodePage::fromNumber(1252));
    EXPECT_EQ(read.items, (std::vector<PlaylistItem>{{"A", "a"}, {"B", "b"}}));
    EXPECT_FALSE(read.failure.has_value());
    EXPECT_NO_THROW(read.throwFailure());
}

TEST_F(PlaylistFile, ErrorFromTheCallerClosesTheFile)
{
    writeBytes(path("two.qev"), "A\r\n;\r\nB\r\n8\r\n");
    const int before = openDescriptors();
    int seen = 0;
    EXPECT_THROW(qev::readPlaylistFile(path("two.qev"), CodePage::fromNumber(1252),
                                       [&](PlaylistItem&&) {
                                           if (++seen == 2)
                                               throw std::runtime_error("list full");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PlaylistFile, MissingFileRaisesFileErrorWithPathAndText)
{
    const QString missing = path("missing.qev");
    try {
        read(missing);
        FAIL() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), missing);
        EXPECT_EQ(error.systemText(), FileError::errnoText(ENOENT));
        EXPECT_EQ(error.message(), FileError::errnoText(ENOENT) + ": " + missing);
    }
}

TEST_F(PlaylistFile, DirectoryRaisesFileError)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.qev"));
    try {
        read(path("folder.qev"));
        FAIL() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), path("folder.qev"));
        EXPECT_EQ(error.systemText(), FileError::errnoText(EISDIR));
    }
}

TEST_F(PlaylistFile, UnreadableFileRaisesFileError)
{
    writeBytes(path("locked.qev"), "A\r\n;\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked.qev")).constData(), 0), 0);
    const QString locked = path("locked.qev");
    EXPECT_TRUE(withoutRootRights([&] {
        try {
            read(locked);
            return false;
        } catch (const FileError& error) {
            return error.path() == locked && error.systemText() == FileError::errnoText(EACCES);
        }
    }));
}

TEST_F(PlaylistFile, PathThroughAFileRaisesFileError)
{
    writeBytes(path("plain"), "x");
    try {
        read(path("plain/list.qev"));
        FAIL() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), path("plain/list.qev"));
        EXPECT_EQ(error.systemText(), FileError::errnoText(ENOTDIR));
    }
}

TEST_F(PlaylistFile, WriteReplacesTheEarlierFileAndLeavesNothingElse)
{
    writeBytes(path("list.qev"), "old contents");
    qev::writePlaylistFile(path("list.qev"), {{"New", "new.swf"}}, CodePage::fromNumber(1252));
    EXPECT_EQ(read(path("list.qev")), (std::vector<PlaylistItem>{{"New", "new.swf"}}));
    EXPECT_EQ(entries(), QStringList{"list.qev"});
}

// Writes count items under a file size limit of 1 KiB; the write must fail
// and leave the earlier file and nothing else.
void PlaylistFile::expectFailedWriteKeepsEarlierFile(int count)
{
    writeBytes(path("list.qev"), "A\r\n;\r\n");
    const std::vector<PlaylistItem> many(count, PlaylistItem{"A name of some length", "C:\\A\\path\\of\\some\\length.swf"});

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    QString text;
    try {
        qev::writePlaylistFile(path("list.qev"), many, CodePage::fromNumber(1252));
    } catch (const FileError& error) {
        raised = true;
        text = error.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(raised);
    EXPECT_TRUE(text.endsWith(path("list.qev"))) << text.toStdString();
    EXPECT_EQ(readBytes(path("list.qev")), QByteArray("A\r\n;\r\n"));
    EXPECT_EQ(entries(), QStringList{"list.qev"});
}

TEST_F(PlaylistFile, FailedLargeWriteLeavesTheEarlierFile)
{
    // A file size limit makes the write itself fail, whoever runs the test.
    // About 110 KB: written straight through, the short write shows at once.
    expectFailedWriteKeepsEarlierFile(2000);
}

TEST_F(PlaylistFile, FailedBufferedWriteLeavesTheEarlierFile)
{
    // About 2 KB: held in the file's buffer, the short write shows only when
    // the buffer is flushed before the file takes the old one's place.
    expectFailedWriteKeepsEarlierFile(40);
}

TEST_F(PlaylistFile, WriteIntoReadOnlyFolderLeavesTheEarlierFile)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir("ro"));
    const QString target = path("ro/list.qev");
    writeBytes(target, "A\r\n;\r\n");
    const QByteArray folder = QFile::encodeName(path("ro"));
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0666), 0);
    EXPECT_TRUE(withoutRootRights([&] {
        try {
            qev::writePlaylistFile(target, {{"New", "new.swf"}}, CodePage::fromNumber(1252));
            return false;
        } catch (const FileError& error) {
            return error.path() == target && !error.systemText().isEmpty();
        }
    }));
    ::chmod(folder.constData(), 0755);
    EXPECT_EQ(readBytes(target), QByteArray("A\r\n;\r\n"));
    EXPECT_EQ(QDir(path("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{"list.qev"});
}

TEST_F(PlaylistFile, WriteOntoAReadOnlyFileGivesTheSystemTextAndThePathOnce)
{
    const QString target = path("kept.qev");
    writeBytes(target, "A\r\n;\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);
    EXPECT_TRUE(withoutRootRights([&] {
        try {
            qev::writePlaylistFile(target, {{"New", "new.swf"}}, CodePage::fromNumber(1252));
            return false;
        } catch (const FileError& error) {
            return error.path() == target && error.systemText() == FileError::errnoText(EACCES)
                && error.message().count(target) == 1;
        }
    }));
    EXPECT_EQ(readBytes(target), QByteArray("A\r\n;\r\n"));
}

TEST_F(PlaylistFile, WriteIntoMissingFolderRaisesFileError)
{
    const QString target = path("no/such/folder/list.qev");
    try {
        qev::writePlaylistFile(target, {{"A", "a"}}, CodePage::fromNumber(1252));
        FAIL() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), target);
        EXPECT_FALSE(error.systemText().isEmpty());
    }
}
