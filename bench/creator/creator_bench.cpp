// Load project and Save project of a 32,767-item project through the real
// window commands (open and save dialogs answered at once), with the list
// filled: reading the file into the list view, and writing the list back.
#include "PictureButton.h"
#include "CreatorWindow.h"

#include "qev/CodePage.h"
#include "qev/Platform.h"
#include "qev/Playlist.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

namespace {

constexpr int kItems = 32767;

// Answers every file dialog with one path and every question with No.
class AnsweringPlatform : public qev::Platform {
public:
    QString path;
    QStringList messages;
    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    qev::Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return qev::Answer::No; }
    QString openFile(QWidget*, const qev::FileDialogRequest&) override { return path; }
    QString saveFile(QWidget*, const qev::FileDialogRequest&) override { return path; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    void showModal(QDialog*) override {}
};

std::vector<qev::PlaylistItem> project()
{
    std::vector<qev::PlaylistItem> items;
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i)
        items.push_back({QStringLiteral("Movie number %1 of the collection").arg(i + 1),
                         QStringLiteral("/home/author/movies/collection/movie_%1.swf").arg(i + 1)});
    return items;
}

void BM_LoadProject(benchmark::State& state)
{
    QTemporaryDir dir;
    AnsweringPlatform platform;
    platform.path = dir.filePath(QStringLiteral("big.qev"));
    qev::writePlaylistFile(platform.path, project(), qev::CodePage::fromEnvironment());
    CreatorWindow window(platform);
    window.show();
    for (auto _ : state) {
        // The list is full from the previous round: Load replaces it.
        window.openProjectButton->click();
        if (window.movieList->topLevelItemCount() != kItems || !platform.messages.isEmpty())
            state.SkipWithError("the project did not load");
    }
    window.setProjectSaved(true);
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveProject(benchmark::State& state)
{
    QTemporaryDir dir;
    AnsweringPlatform platform;
    platform.path = dir.filePath(QStringLiteral("big.qev"));
    qev::writePlaylistFile(platform.path, project(), qev::CodePage::fromEnvironment());
    CreatorWindow window(platform);
    window.show();
    window.openProjectButton->click();
    platform.path = dir.filePath(QStringLiteral("saved.qev"));
    for (auto _ : state) {
        window.saveProjectButton->click();
        if (!window.projectSaved() || !platform.messages.isEmpty())
            state.SkipWithError("the project was not saved");
    }
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
