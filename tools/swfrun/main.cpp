// swfrun: plays a movie without a window for a number of frames and prints
// every trace() line of its scripts on standard output, nothing else; with
// --verbose the reader's and the engine's warnings go to standard error.
//   swfrun MOVIE.swf --frames N [--real-clock] [--verbose]
// By default scripts see a virtual clock: each frame is exactly one frame's
// time, starting Saturday 2001-02-03 04:05:06 in a time zone of GMT+05:45,
// so runs repeat exactly.
#include "qev/swf/Player.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QStringList>
#include <QTimeZone>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: swfrun MOVIE.swf --frames N [--real-clock] [--verbose]\n"
                 "  --frames N    run N frames (the first frame counts as 1; default 1)\n"
                 "  --real-clock  scripts see the real date and clock instead of the fixed one\n"
                 "  --verbose     print the reader's and the engine's warnings (unknown or dropped\n"
                 "                tags, stopped scripts) on standard error\n");
    return 2;
}

void printLine(std::FILE* out, const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), out);
    std::fputc('\n', out);
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
    bool verbose = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--frames") {
            bool ok = false;
            if (i + 1 >= args.size() || (frames = args[++i].toInt(&ok), !ok) || frames < 0)
                return usage();
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
    const QString error = player.load(movie);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "swfrun: cannot decode %s: %s\n", qUtf8Printable(movie), qUtf8Printable(error));
        return 1;
    }
    // Loading shows the first frame; each advance is one more.
    for (int f = 1; f < frames; ++f)
        player.advance();
    return 0;
}
