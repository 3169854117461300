#include "Printers.h"

#include "qev/FileError.h"
#include "qev/Paths.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(Paths, FileNameAfterEitherSeparator)
{
    EXPECT_EQ(qev::fileNameOf(u"C:\\Movies\\intro.swf"), "intro.swf");
    EXPECT_EQ(qev::fileNameOf(u"/home/me/movies/intro.swf"), "intro.swf");
    EXPECT_EQ(qev::fileNameOf(u"/home/me\\mixed/a\\b.swf"), "b.swf");
    EXPECT_EQ(qev::fileNameOf(u"C:\\dir/last.swf"), "last.swf");
    EXPECT_EQ(qev::fileNameOf(u"intro.swf"), "intro.swf");
    EXPECT_EQ(qev::fileNameOf(u"folder/"), "");
    EXPECT_EQ(qev::fileNameOf(u"folder\\"), "");
    EXPECT_EQ(qev::fileNameOf(u""), "");
}

TEST(Paths, JoinKeepsBothPartsUnchanged)
{
    EXPECT_EQ(qev::joinPath(u"/media/cd", u"intro.swf"), "/media/cd/intro.swf");
    EXPECT_EQ(qev::joinPath(u"/", u"intro.swf"), "//intro.swf");
    EXPECT_EQ(qev::joinPath(u"/media/cd", u""), "/media/cd/");
    EXPECT_EQ(qev::joinPath(u"/media/cd", u"C:\\full\\path.swf"), "/media/cd/C:\\full\\path.swf");
}

TEST(FileErrorText, MessageIsSystemTextThenPath)
{
    const qev::FileError error("/tmp/x.qev", "No such file or directory");
    EXPECT_EQ(error.path(), "/tmp/x.qev");
    EXPECT_EQ(error.systemText(), "No such file or directory");
    EXPECT_EQ(error.message(), "No such file or directory: /tmp/x.qev");
    EXPECT_STREQ(error.what(), "No such file or directory: /tmp/x.qev");
}

TEST(FileErrorText, ErrnoTextIsTheSystemsWording)
{
    // The tests run without setting a locale, so the C library speaks English.
    EXPECT_EQ(qev::FileError::errnoText(ENOENT), "No such file or directory");
    EXPECT_EQ(qev::FileError::errnoText(EACCES), "Permission denied");
    EXPECT_EQ(qev::FileError::errnoText(EISDIR), "Is a directory");
    EXPECT_FALSE(qev::FileError::errnoText(99999).isEmpty());
}

TEST(FileErrorText, NonAsciiPathKeepsItsCharacters)
{
    const QString path = QStringLiteral(u"/tmp/\u6771\u4EAC.qev");
    const qev::FileError error(path, "Permission denied");
    EXPECT_EQ(error.message(), "Permission denied: " + path);
    EXPECT_EQ(QString::fromStdString(error.what()), error.message());
}
