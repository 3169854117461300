// swfshot: draws a frame of a movie into a PNG with the engine the movie
// control uses.
//   swfshot INPUT.swf OUTPUT.png [--frame N | --advance N] [--width W --height H] [--verbose]
#include "qev/swf/Player.h"

#include <QGuiApplication>
#include <QImage>
#include <QStringList>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: swfshot INPUT.swf OUTPUT.png [--frame N | --advance N] [--width W --height H] [--quality high|low]\n"
                 "               [--verbose]\n"
                 "  --frame N    show frame N (0-based), as setting the frame number does\n"
                 "  --advance N  play N frames from the start (the first frame counts as 1)\n"
                 "  --width W, --height H  image size (default: the stage size)\n"
                 "  --quality Q  low (the default: edges snap to whole pixels, as reference\n"
                 "               renderings of movies are usually made) or high (anti-aliased,\n"
                 "               as the control draws)\n"
                 "  --verbose    print the reader's and the engine's warnings on standard error\n");
    return 2;
}

bool number(const QString& text, int& out)
{
    bool ok = false;
    out = text.toInt(&ok);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return usage();
    const QString input = args[1];
    const QString output = args[2];
    int frame = -1, advance = -1, width = 0, height = 0;
    bool antialiased = false;
    bool verbose = false;
    for (int i = 3; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString& v = args[++i];
        if (a == u"--quality") {
            if (v != u"high" && v != u"low")
                return usage();
            antialiased = v == u"high";
            continue;
        }
        int* target = a == u"--frame" ? &frame : a == u"--advance" ? &advance : a == u"--width" ? &width
                    : a == u"--height"                                         ? &height
                                                                               : nullptr;
        if (!target || !number(v, *target))
            return usage();
    }
    if (frame >= 0 && advance >= 0) {
        std::fprintf(stderr, "swfshot: give --frame or --advance, not both\n");
        return 2;
    }

    qev::swf::Player player;
    if (verbose) {
        player.setWarningHandler([](const QString& line) {
            std::fprintf(stderr, "swfshot: %s\n", qUtf8Printable(line));
        });
    }
    const QString error = player.load(input);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "swfshot: cannot decode %s: %s\n", qUtf8Printable(input), qUtf8Printable(error));
        return 1;
    }
    player.setAntialiased(antialiased);
    if (frame >= 0) {
        player.gotoFrame(frame);
    } else if (advance > 1) {
        // The first frame is on the stage after loading; each further frame
        // is one tick.
        for (int i = 1; i < advance; ++i)
            player.advance();
    }
    QSize size = player.stageSize();
    if (width > 0)
        size.setWidth(width);
    if (height > 0)
        size.setHeight(height);
    if (size.isEmpty()) {
        std::fprintf(stderr, "swfshot: %s has an empty stage; give --width and --height\n", qUtf8Printable(input));
        return 1;
    }
    const QImage image = player.renderImage(size);
    if (!image.save(output, "PNG")) {
        std::fprintf(stderr, "swfshot: cannot write %s\n", qUtf8Printable(output));
        return 1;
    }
    return 0;
}
