// Make autorun CD with 1 GiB of movies (eight generated files of 128 MiB)
// through the window's command, against `cp` copying the same files in the
// same run. Both write into a fresh folder each round; the sources stay in
// the page cache for both. The figure that matters is the ratio of the two
// throughputs (bytes_per_second of each benchmark).
#include "PictureButton.h"
#include "CreatorWindow.h"

#include "qev/Platform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

namespace {

constexpr int kMovies = 8;
constexpr qint64 kMovieSize = 128LL << 20;

class AnsweringPlatform : public qev::Platform {
public:
    QString folder;
    QStringList messages;
    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    qev::Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return qev::Answer::No; }
    QString openFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString saveFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return folder; }
    void showModal(QDialog*) override {}
};

// The start folder with its four small files, and the movies.
struct Sources {
    QTemporaryDir dir;
    QStringList movies;

    Sources()
    {
        QDir root(dir.path());
        root.mkdir(QStringLiteral("start"));
        root.mkdir(QStringLiteral("movies"));
        for (const char* name : {"Flash.ocx", "COMDLG32.OCX", "MSCOMCTL.OCX", "autorun.exe"}) {
            QFile file(dir.filePath(QStringLiteral("start/") + QLatin1String(name)));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(64 << 10, 'f'));
        }
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < kMovies; ++i) {
            const QString path = dir.filePath(QStringLiteral("movies/movie%1.swf").arg(i));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            for (qint64 written = 0; written < kMovieSize; written += block.size()) {
                for (qsizetype k = 0; k < block.size(); k += 4096)
                    block[k] = char(written / block.size() + i + k);
                file.write(block);
            }
            movies << path;
        }
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }
};

Sources& sources()
{
    static Sources s;
    return s;
}

void removeTarget(const QString& path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

void BM_MakeAutorunCd(benchmark::State& state)
{
    Sources& src = sources();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(src.path(QStringLiteral("start")));
    AnsweringPlatform platform;
    CreatorWindow window(platform);
    QDir::setCurrent(previous);
    for (int i = 0; i < kMovies; ++i)
        window.movieList->addTopLevelItem(
            new QTreeWidgetItem(QStringList{QStringLiteral("Movie %1").arg(i), src.movies[i]}));
    window.show();
    platform.folder = src.path(QStringLiteral("discs"));
    for (auto _ : state) {
        state.PauseTiming();
        removeTarget(platform.folder);
        platform.messages.clear();
        state.ResumeTiming();
        window.makeCdButton->click();
        if (platform.messages != QStringList{QStringLiteral("Project was created successfully")})
            state.SkipWithError("the build failed");
    }
    state.SetBytesProcessed(state.iterations() * kMovies * kMovieSize);
    window.setProjectSaved(true);
}
BENCHMARK(BM_MakeAutorunCd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

void BM_CpSameMovies(benchmark::State& state)
{
    Sources& src = sources();
    const QString target = src.path(QStringLiteral("cp-target"));
    for (auto _ : state) {
        state.PauseTiming();
        removeTarget(target);
        state.ResumeTiming();
        QStringList args = src.movies;
        for (const char* name : {"Flash.ocx", "COMDLG32.OCX", "MSCOMCTL.OCX", "autorun.exe"})
            args << src.path(QStringLiteral("start/") + QLatin1String(name));
        args << target + QStringLiteral("/");
        if (QProcess::execute(QStringLiteral("cp"), args) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(state.iterations() * kMovies * kMovieSize);
}
BENCHMARK(BM_CpSameMovies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

} // namespace
