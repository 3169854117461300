// Start-up of the player's window with a playlist of 32,767 items: reading
// the playlist into both lists, and the whole start-up up to the window
// being shown (offscreen).
#include "PlayerWindow.h"
#include "RecordingMovieControl.h"

#include "qev/Playlist.h"
#include "qev/Platform.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <optional>

namespace {

using qev::player::PlayerWindow;
using qev::player::testing::MovieControlLog;
using qev::player::testing::RecordingMovieControl;

constexpr int kItems = 32767;

// No dialog is expected during start-up; one would fail the benchmark.
class NoDialogs : public qev::Platform {
public:
    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    qev::Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return qev::Answer::Cancel; }
    QString openFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString saveFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    void showModal(QDialog*) override {}
    QStringList messages;
};

// A disc folder holding "PlayList.qev" with kItems items, made the current directory.
class DiscFolder {
public:
    DiscFolder()
    {
        std::vector<qev::PlaylistItem> items;
        items.reserve(kItems);
        for (int i = 0; i < kItems; ++i)
            items.push_back({QStringLiteral("Movie number %1 of the collection").arg(i + 1),
                             QStringLiteral("movie_%1.swf").arg(i + 1)});
        qev::writePlaylistFile(dir_.filePath(QStringLiteral("PlayList.qev")), items,
                               qev::CodePage::fromEnvironment());
        QDir::setCurrent(dir_.path());
    }

private:
    QTemporaryDir dir_;
};

DiscFolder& disc()
{
    static DiscFolder folder;
    return folder;
}

void BM_LoadPlayList(benchmark::State& state)
{
    disc();
    NoDialogs platform;
    MovieControlLog log;
    PlayerWindow window(platform, RecordingMovieControl::maker(log));
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lstViewSongList"));
    const QString path = QDir::current().filePath(QStringLiteral("PlayList.qev"));
    for (auto _ : state) {
        window.loadPlaylist(path, *list);
        benchmark::DoNotOptimize(list->topLevelItemCount());
    }
    if (list->topLevelItemCount() != kItems || !platform.messages.isEmpty())
        state.SkipWithError("the list does not hold every item");
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_LoadPlayList)->Unit(benchmark::kMillisecond);

// Creating the window, its start-up, and showing it until it is exposed.
void BM_StartUpToWindowShown(benchmark::State& state)
{
    disc();
    NoDialogs platform;
    MovieControlLog log;
    for (auto _ : state) {
        std::optional<PlayerWindow> window;
        window.emplace(platform, RecordingMovieControl::maker(log));
        if (!window->loadStartFolder() || !platform.messages.isEmpty()) {
            state.SkipWithError("the playlist was not read");
            break;
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(&*window)) {
            state.SkipWithError("the window was not exposed");
            break;
        }
        QCoreApplication::processEvents();
        state.PauseTiming();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToWindowShown)->Unit(benchmark::kMillisecond);

} // namespace
