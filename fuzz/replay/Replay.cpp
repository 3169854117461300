// Runs one fuzz target without libFuzzer, for builds made with any compiler:
// every seed, every file of the given crasher folders, then a fixed number
// of mutations of them (a deterministic pseudo-random sequence, so a failure
// reproduces). An input that crashes or trips a sanitizer ends the program
// abnormally, which fails the test; the input's name is printed first.
//
//   fuzz_replay <playlist|swf_reader|swf_engine> [--mutations N] [--seconds S]
//               [--write-seeds DIR [--hostile]] [--keep FILE] [file or folder...]
//
// --keep writes each mutation to FILE before running it, so the input that
// failed is there to look at (and to add to a crashers folder).
// --seconds stops the mutations early on a slow machine; it never fails a run.

#include "FuzzTargets.h"
#include "Seeds.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

struct Input {
    QString name;
    QByteArray bytes;
};

void run(Target target, const Input& input)
{
    std::fprintf(stderr, "%s\n", qPrintable(input.name));
    target(reinterpret_cast<const std::uint8_t*>(input.bytes.constData()), std::size_t(input.bytes.size()));
}

// Small edits of the kinds that find reader faults: flipped bits, bytes set
// to boundary values, inserted and removed runs, truncation, and splices of
// two inputs.
QByteArray mutate(const std::vector<Input>& pool, std::mt19937& rng)
{
    auto pick = [&](std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng) : 0; };
    QByteArray bytes = pool[pick(pool.size())].bytes;
    const int edits = 1 + int(pick(4));
    for (int e = 0; e < edits; ++e) {
        const std::size_t size = std::size_t(bytes.size());
        const std::size_t at = pick(size + 1);
        switch (pick(7)) {
        case 0:
            if (at < size)
                bytes[qsizetype(at)] = char(bytes[qsizetype(at)] ^ char(1u << pick(8)));
            break;
        case 1: {
            static const unsigned char interesting[] = {0x00, 0x01, 0x7f, 0x80, 0xff, 0x3f, 0x40, 0x1f, 0x20};
            if (at < size)
                bytes[qsizetype(at)] = char(interesting[pick(sizeof interesting)]);
            break;
        }
        case 2:
            if (at < size)
                bytes[qsizetype(at)] = char(pick(256));
            break;
        case 3:
            bytes.insert(qsizetype(at), QByteArray(qsizetype(1 + pick(8)), char(pick(256))));
            break;
        case 4:
            bytes.remove(qsizetype(at), qsizetype(1 + pick(8)));
            break;
        case 5:
            bytes.truncate(qsizetype(at));
            break;
        case 6: {
            const QByteArray& other = pool[pick(pool.size())].bytes;
            const std::size_t from = pick(std::size_t(other.size()) + 1);
            bytes = bytes.left(qsizetype(at)) + other.mid(qsizetype(from));
            break;
        }
        }
    }
    return bytes;
}

void addPath(std::vector<Input>& inputs, const QString& path)
{
    const QFileInfo info(path);
    QStringList files;
    if (info.isDir()) {
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
    } else {
        files << path;
    }
    for (const QString& file : files) {
        QFile f(file);
        if (QFileInfo(file).fileName().startsWith(u'.') || file.endsWith(QStringLiteral(".md")))
            continue;
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
            std::exit(2);
        }
        inputs.push_back({file, f.readAll()});
    }
}

int usage()
{
    std::fprintf(stderr, "usage: fuzz_replay <playlist|swf_reader|swf_engine> [--mutations N] [--seconds S] "
                         "[--write-seeds DIR [--hostile]] [--keep FILE] [file or folder...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string name = argv[1];
    Target target = nullptr;
    std::vector<qev::fuzz::Seed> seeds;
    if (name == "playlist") {
        target = qev::fuzz::playlistTarget;
    } else if (name == "swf_reader") {
        target = qev::fuzz::swfReaderTarget;
    } else if (name == "swf_engine") {
        target = qev::fuzz::swfEngineTarget;
    } else {
        return usage();
    }

    // The engine target needs a GUI application; make it here so that the
    // writer's image encoders can run for the seeds too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QGuiApplication app(appArgc, argv);
    seeds = name == "playlist" ? qev::fuzz::playlistSeeds() : qev::fuzz::swfSeeds();

    long mutations = 0;
    double seconds = 0;
    QString seedDir;
    QString keep;
    bool hostile = false;
    std::vector<Input> inputs;
    for (const qev::fuzz::Seed& seed : seeds)
        inputs.push_back({QStringLiteral("seed:") + seed.name, seed.bytes});
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mutations" && i + 1 < argc) {
            mutations = std::atol(argv[++i]);
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--write-seeds" && i + 1 < argc) {
            seedDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--hostile") {
            hostile = true;
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = QString::fromLocal8Bit(argv[++i]);
        } else if (arg.starts_with("--")) {
            return usage();
        } else {
            addPath(inputs, QString::fromLocal8Bit(argv[i]));
        }
    }

    if (!seedDir.isEmpty()) {
        // Only writes the seeds (for libFuzzer's corpus folder). With
        // --hostile, the hand-made hostile movies instead (the crashers
        // folder holds the ones the engine now plays in bounded time).
        if (hostile)
            seeds = qev::fuzz::hostileSwfSeeds();
        QDir().mkpath(seedDir);
        for (const qev::fuzz::Seed& seed : seeds) {
            QFile f(QDir(seedDir).filePath(seed.name));
            if (!f.open(QIODevice::WriteOnly) || f.write(seed.bytes) != seed.bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
                return 1;
            }
        }
        return 0;
    }

    for (const Input& input : inputs)
        run(target, input);

    std::mt19937 rng(20261207);
    QElapsedTimer clock;
    clock.start();
    long done = 0;
    for (; done < mutations; ++done) {
        if (seconds > 0 && clock.elapsed() > seconds * 1000)
            break;
        const QByteArray bytes = mutate(inputs, rng);
        if (!keep.isEmpty()) {
            QFile f(keep);
            if (f.open(QIODevice::WriteOnly))
                f.write(bytes);
        }
        target(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    }
    std::printf("%s: %zu inputs, %ld mutations, all handled\n", name.c_str(), inputs.size(), done);
    return 0;
}
