// Loading the movie control module from a file.
#include "MovieControlModule.h"

#include "qev/swf/MovieControl.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace qev::player {
namespace {

TEST(MovieControlModule, MissingFileIsNamedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Flash.ocx"));
    const MovieControlModule module(path);
    EXPECT_EQ(module.factory(), nullptr);
    EXPECT_TRUE(module.errorText().contains(path));
    EXPECT_TRUE(module.errorText().contains(QStringLiteral("does not exist")));
}

TEST(MovieControlModule, AFileThatIsNoModuleIsNamedWithTheLoadersReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Flash.ocx"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a library");
    file.close();
    const MovieControlModule module(path);
    EXPECT_EQ(module.factory(), nullptr);
    const QStringList lines = module.errorText().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(path));
    EXPECT_FALSE(lines[1].isEmpty());
}

TEST(MovieControlModule, LoadsAFactoryNamedFlashOcxAndCreatesControls)
{
    const MovieControlModule module(QStringLiteral(QEV_FAKE_MODULE_DIR "/Flash.ocx"));
    ASSERT_NE(module.factory(), nullptr) << module.errorText().toStdString();
    EXPECT_TRUE(module.errorText().isEmpty());
    QWidget parent;
    std::unique_ptr<swf::MovieControl> control = module.factory()->create(&parent);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->widget()->parentWidget(), &parent);
}

TEST(MovieControlModule, IsFoundUnderAnotherLetterCaseLikeEveryDiscFile)
{
    // A disc copied onto a mount that lower-cases every name.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(QEV_FAKE_MODULE_DIR "/Flash.ocx"), dir.filePath(QStringLiteral("flash.ocx"))));
    const MovieControlModule module(dir.filePath(QStringLiteral("Flash.ocx")));
    ASSERT_NE(module.factory(), nullptr) << module.errorText().toStdString();
    EXPECT_TRUE(module.errorText().isEmpty());
}

} // namespace
} // namespace qev::player
