#pragma once

#include "PlayerWindow.h"
#include "RecordingMovieControl.h"

#include "qev/CodePage.h"
#include "qev/Playlist.h"
#include "qev/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qev::player::testing {

// Each test starts the player in a fresh folder of its own, made the
// current directory for the test and restored afterwards.
class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        previousDir_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    }
    void TearDown() override
    {
        window_.reset();
        QDir::setCurrent(previousDir_);
    }

    QString folder() const { return QDir::currentPath(); }
    QString pathIn(const QString& name) const { return folder() + u'/' + name; }

    static CodePage codePage() { return CodePage::fromEnvironment(); }

    void writePlaylist(const std::vector<PlaylistItem>& items, const QString& name = QStringLiteral("PlayList.qev"))
    {
        writeBytes(name, encodePlaylist(items, codePage()));
    }
    void writeBytes(const QString& name, const QByteArray& bytes)
    {
        QFile file(pathIn(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // A movie file; its content is never read through the fake control.
    void writeMovie(const QString& name) { writeBytes(name, QByteArrayLiteral("FWS")); }

    PlayerWindow& makeWindow()
    {
        window_ = std::make_unique<PlayerWindow>(platform_, RecordingMovieControl::maker(log_));
        return *window_;
    }
    // Creates the window, runs its start-up and shows it when asked to.
    PlayerWindow& startPlayer()
    {
        PlayerWindow& window = makeWindow();
        if (window.loadStartFolder())
            window.show();
        return window;
    }

    template <typename T>
    T* child(const char* name) const
    {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }
    QTreeWidget* songList() const { return child<QTreeWidget>("lstViewSongList"); }
    QStringList rowTexts() const
    {
        QStringList texts;
        for (int i = 0; i < songList()->topLevelItemCount(); ++i)
            texts << songList()->topLevelItem(i)->text(0);
        return texts;
    }

    QTemporaryDir folder_;
    QString previousDir_;
    ScriptedPlatform platform_;
    MovieControlLog log_;
    std::unique_ptr<PlayerWindow> window_;
};

} // namespace qev::player::testing
