#include "Printers.h"

#include "qev/FileLookup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class FileLookup : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString path(const QString& name) const { return dir_.path() + "/" + name; }

    void touch(const QString& name) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    void mkdir(const QString& name) const { ASSERT_TRUE(QDir(dir_.path()).mkpath(name)); }

    void link(const QString& target, const QString& name) const
    {
        ASSERT_TRUE(QFile::link(target, path(name)));
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(FileLookup, ExactRegularFileIsFound)
{
    touch("intro.swf");
    EXPECT_EQ(qev::findRegularFile(path("intro.swf")), path("intro.swf"));
}

TEST_F(FileLookup, MissingFileIsNotFound)
{
    touch("intro.swf");
    EXPECT_EQ(qev::findRegularFile(path("outro.swf")), std::nullopt);
    EXPECT_EQ(qev::findRegularFile(path("intro.swf.bak")), std::nullopt);
    EXPECT_EQ(qev::findRegularFile(""), std::nullopt);
}

TEST_F(FileLookup, DirectoryOfThatNameDoesNotCount)
{
    mkdir("movie.swf");
    EXPECT_EQ(qev::findRegularFile(path("movie.swf")), std::nullopt);
    // Nor in the case-insensitive fallback.
    EXPECT_EQ(qev::findRegularFile(path("MOVIE.SWF")), std::nullopt);
    // The folder itself is no file either.
    EXPECT_EQ(qev::findRegularFile(dir_.path()), std::nullopt);
    EXPECT_EQ(qev::findRegularFile(dir_.path() + "/"), std::nullopt);
}

TEST_F(FileLookup, NameDifferingOnlyInCaseIsFoundUnderItsRealName)
{
    touch("intro.swf");
    EXPECT_EQ(qev::findRegularFile(path("INTRO.SWF")), path("intro.swf"));
    EXPECT_EQ(qev::findRegularFile(path("Intro.Swf")), path("intro.swf"));
    touch("PLAYLIST.QEV");
    EXPECT_EQ(qev::findRegularFile(path("PlayList.qev")), path("PLAYLIST.QEV"));
}

TEST_F(FileLookup, ExactNameIsPreferred)
{
    touch("a.swf");
    touch("A.swf");
    EXPECT_EQ(qev::findRegularFile(path("A.swf")), path("A.swf"));
    EXPECT_EQ(qev::findRegularFile(path("a.swf")), path("a.swf"));
    // With no exact match one of the two is found, the same one every time.
    const auto first = qev::findRegularFile(path("a.SWF"));
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(*first == path("a.swf") || *first == path("A.swf"));
    EXPECT_EQ(qev::findRegularFile(path("a.SWF")), first);
}

TEST_F(FileLookup, DirectoryWithExactNameFallsBackToAFileInOtherCase)
{
    mkdir("clip.swf");
    touch("CLIP.swf");
    EXPECT_EQ(qev::findRegularFile(path("clip.swf")), path("CLIP.swf"));
}

TEST_F(FileLookup, SymbolicLinks)
{
    touch("real.swf");
    mkdir("realdir");
    link(path("real.swf"), "tofile.swf");
    link(path("realdir"), "todir.swf");
    link(path("gone.swf"), "dangling.swf");
    EXPECT_EQ(qev::findRegularFile(path("tofile.swf")), path("tofile.swf"));
    EXPECT_EQ(qev::findRegularFile(path("TOFILE.SWF")), path("tofile.swf"));
    EXPECT_EQ(qev::findRegularFile(path("todir.swf")), std::nullopt);
    EXPECT_EQ(qev::findRegularFile(path("dangling.swf")), std::nullopt);
}

TEST_F(FileLookup, FallbackStaysInTheSameFolder)
{
    mkdir("Movies");
    touch("Movies/intro.swf");
    EXPECT_EQ(qev::findRegularFile(path("Movies/INTRO.swf")), path("Movies/intro.swf"));
    // A folder part that does not exist as written is not searched for.
    EXPECT_EQ(qev::findRegularFile(path("movies/intro.swf")), std::nullopt);
    EXPECT_EQ(qev::findRegularFile(path("nowhere/intro.swf")), std::nullopt);
    // Nor is a file of the same name in another folder.
    touch("outro.swf");
    EXPECT_EQ(qev::findRegularFile(path("Movies/outro.swf")), std::nullopt);
}

TEST_F(FileLookup, BareNameIsLookedUpInTheCurrentFolder)
{
    touch("Local.swf");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    const auto exact = qev::findRegularFile("Local.swf");
    const auto other = qev::findRegularFile("local.SWF");
    const auto missing = qev::findRegularFile("none.swf");
    QDir::setCurrent(previous);
    EXPECT_EQ(exact, QString("Local.swf"));
    EXPECT_EQ(other, QString("Local.swf"));
    EXPECT_EQ(missing, std::nullopt);
}
