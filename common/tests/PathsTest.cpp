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

TEST(FileErrorText, AnyExceptionReadsAsUtf8AndAFileErrorAsItsMessage)
{
    const QString path = QStringLiteral(u"/tmp/\u00C9t\u00E9/\u6771\u4EAC.qev");
    const qev::FileError fileError(path, QStringLiteral(u"Acc\u00E8s refus\u00E9"));
    const std::exception& asException = fileError;
    EXPECT_EQ(qev::errorText(asException), QStringLiteral(u"Acc\u00E8s refus\u00E9: ") + path);

    // Text raised elsewhere in our code is UTF-8, whatever the locale says.
    const std::runtime_error other(QStringLiteral(u"Zu gro\u00DF: \u00FC").toStdString());
    EXPECT_EQ(qev::errorText(other), QStringLiteral(u"Zu gro\u00DF: \u00FC"));
    EXPECT_EQ(qev::errorText(std::bad_alloc()), QString::fromLatin1(std::bad_alloc().what()));
}

TEST(FileErrorText, DescribeIsTheOneWordingOfFileErrors)
{
    EXPECT_EQ(qev::FileError::describe("Not a movie", "/m/a.swf"), "Not a movie: /m/a.swf");
    const qev::FileError error("/m/a.swf", "Not a movie");
    EXPECT_EQ(error.message(), qev::FileError::describe(error.systemText(), error.path()));
}
