// swfrun: plays a movie without a window for a number of frames and prints
// every trace() line of its scripts on standard output, nothing else; with
// --verbose the reader's and the engine's warnings go to standard error.
//   swfrun MOVIE.swf --frames N [--real-clock] [--verbose] [--audio OUT.wav]
// --audio writes what the movie sounds like over those N frames: the mix at
// 44.1 kHz, 16-bit stereo, exactly N frames' time long, frame after frame
// with no real clock involved, so runs repeat exactly.
// By default scripts see a virtual clock: each frame is exactly one frame's
// time, starting Saturday 2001-02-03 04:05:06 in a time zone of GMT+05:45,
// so runs repeat exactly.
#include "qev/swf/Player.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTimeZone>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: swfrun MOVIE.swf --frames N [--real-clock] [--verbose] [--audio OUT.wav]\n"
                 "  --frames N       run N frames (the first frame counts as 1; default 1)\n"
                 "  --real-clock     scripts see the real date and clock instead of the fixed one\n"
                 "  --verbose        print the reader's and the engine's warnings (unknown or dropped\n"
                 "                   tags, stopped scripts) on standard error\n"
                 "  --audio OUT.wav  write the sound of those frames (44.1 kHz 16-bit stereo)\n");
    return 2;
}

void printLine(std::FILE* out, const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), out);
    std::fputc('\n', out);
}

// A canonical WAV file: RIFF header, "fmt " chunk of 16-bit PCM, "data".
bool writeWav(const QString& path, const std::vector<std::int16_t>& samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = quint32(samples.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(44100) << quint32(44100 * 4) << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (std::int16_t s : samples)
        out << qint16(s);
    return out.status() == QDataStream::Ok && file.error() == QFileDevice::NoError;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return usage();
    QString movie;
    int frames = 1;
    bool realClock = false;
    QString audioPath;
    bool verbose = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--frames") {
            bool ok = false;
            if (i + 1 >= args.size() || (frames = args[++i].toInt(&ok), !ok) || frames < 0)
                return usage();
        } else if (a == u"--audio") {
            if (i + 1 >= args.size())
                return usage();
            audioPath = args[++i];
        } else if (a == u"--real-clock") {
            realClock = true;
        } else if (a == u"--verbose") {
            verbose = true;
        } else if (movie.isEmpty() && !a.startsWith(u"--")) {
            movie = a;
        } else {
            return usage();
        }
    }
    if (movie.isEmpty())
        return usage();

    qev::swf::Player player;
    player.setTraceHandler([](const QString& line) {
        printLine(stdout, line);
        std::fflush(stdout);
    });
    if (verbose)
        player.setWarningHandler([](const QString& line) { printLine(stderr, QStringLiteral("swfrun: ") + line); });
    if (!realClock) {
        constexpr int zoneMinutes = 5 * 60 + 45;
        const QDateTime start(QDate(2001, 2, 3), QTime(4, 5, 6), QTimeZone(zoneMinutes * 60));
        player.setVirtualClock(double(start.toMSecsSinceEpoch()), zoneMinutes);
    }
    player.setSoundCapture(!audioPath.isEmpty());
    const QString error = player.load(movie);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "swfrun: cannot decode %s: %s\n", qUtf8Printable(movie), qUtf8Printable(error));
        return 1;
    }
    // Loading shows the first frame; each advance is one more. Each frame's
    // sound is mixed once the frame has started its sounds.
    std::vector<std::int16_t> sound;
    for (int f = 0; f < frames; ++f) {
        if (f > 0)
            player.advance();
        if (!audioPath.isEmpty()) {
            const std::vector<std::int16_t> part = player.mixFrame();
            sound.insert(sound.end(), part.begin(), part.end());
        }
    }
    if (!audioPath.isEmpty() && !writeWav(audioPath, sound)) {
        std::fprintf(stderr, "swfrun: cannot write %s\n", qUtf8Printable(audioPath));
        return 1;
    }
    return 0;
}
