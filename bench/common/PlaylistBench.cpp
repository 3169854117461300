// Writing and reading back the largest playlist the original programs could
// hold: 32,767 items, names of about 20 characters, paths of about 60.

#include "qev/CodePage.h"
#include "qev/CryptoModule.h"
#include "qev/Playlist.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kItems = 32767;

std::vector<qev::PlaylistItem> makeItems()
{
    std::vector<qev::PlaylistItem> items;
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i) {
        items.push_back({QStringLiteral("Movie number %1 ok").arg(i, 5, 10, QChar(u'0')),
                         QStringLiteral("C:\\Projects\\Autorun\\Windows Movies\\Part %1\\clip%2.swf")
                             .arg(i % 100, 3, 10, QChar(u'0'))
                             .arg(i, 5, 10, QChar(u'0'))});
    }
    return items;
}

const std::vector<qev::PlaylistItem>& items()
{
    static const std::vector<qev::PlaylistItem> list = makeItems();
    return list;
}

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

void WritePlaylistFile(benchmark::State& state)
{
    const qev::CodePage page = qev::CodePage::fromNumber(static_cast<int>(state.range(0)));
    const QString path = folder().filePath(QStringLiteral("write.qev"));
    for (auto _ : state)
        qev::writePlaylistFile(path, items(), page);
    state.SetItemsProcessed(state.iterations() * kItems);
}

void ReadPlaylistFile(benchmark::State& state)
{
    const qev::CodePage page = qev::CodePage::fromNumber(static_cast<int>(state.range(0)));
    const QString path = folder().filePath(QStringLiteral("read.qev"));
    qev::writePlaylistFile(path, items(), page);
    std::vector<qev::PlaylistItem> read;
    read.reserve(kItems);
    for (auto _ : state) {
        read.clear();
        qev::readPlaylistFile(path, page, [&](qev::PlaylistItem&& item) { read.push_back(std::move(item)); });
        benchmark::DoNotOptimize(read.data());
    }
    if (read.size() != items().size() || read.back() != items().back())
        state.SkipWithError("the playlist did not come back as written");
    state.SetItemsProcessed(state.iterations() * kItems);
}

void DecodePlaylist(benchmark::State& state)
{
    const qev::CodePage page = qev::CodePage::fromNumber(static_cast<int>(state.range(0)));
    const QByteArray data = qev::encodePlaylist(items(), page);
    std::size_t count = 0;
    for (auto _ : state) {
        count = 0;
        qev::decodePlaylist(data, page, [&](qev::PlaylistItem&& item) {
            benchmark::DoNotOptimize(item.reference.data());
            ++count;
        });
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(state.iterations() * data.size());
}

void CryptLine(benchmark::State& state)
{
    const qev::CodePage page = qev::CodePage::fromNumber(1252);
    const QString line = items().front().reference;
    for (auto _ : state)
        benchmark::DoNotOptimize(CryptoModule::Crypt(line, page));
    state.SetItemsProcessed(state.iterations() * line.size());
}

} // namespace

BENCHMARK(WritePlaylistFile)->Arg(1252)->Arg(932)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPlaylistFile)->Arg(1252)->Arg(932)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodePlaylist)->Arg(1252)->Arg(932)->Unit(benchmark::kMillisecond);
BENCHMARK(CryptLine);

BENCHMARK_MAIN();
