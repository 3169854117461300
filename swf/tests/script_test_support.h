#pragma once

// Playing movies made by our writer and collecting what their scripts
// trace, for the script machine's tests.

#include "qev/swf/ActionAssembler.h"
#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace script_test {

struct ScriptRun {
    QStringList traces;
    QStringList warnings;
};

// Plays a finished movie for `frames` frames on the virtual clock.
inline ScriptRun playMovie(const QByteArray& movie, int frames, bool stopLooping = false)
{
    ScriptRun run;
    qev::swf::Player player;
    player.setTraceHandler([&](const QString& line) { run.traces << line; });
    player.setWarningHandler([&](const QString& line) { run.warnings << line; });
    const QDateTime start(QDate(2001, 2, 3), QTime(4, 5, 6), QTimeZone(345 * 60));
    player.setVirtualClock(double(start.toMSecsSinceEpoch()), 345);
    const QString error = player.loadBytes(movie);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    if (stopLooping)
        player.setLoops(false);
    for (int f = 1; f < frames; ++f)
        player.advance();
    return run;
}

// Plays a movie whose frames hold the given scripts (one per frame).
inline ScriptRun play(const std::vector<qev::swf::writer::ActionAssembler>& scripts, int version, int frames,
                      bool stopLooping = false)
{
    qev::swf::writer::MovieBuilder m(100, 100, 10, version);
    for (const auto& s : scripts) {
        m.script(s.bytes());
        m.showFrame();
    }
    return playMovie(m.finish(), frames, stopLooping);
}

} // namespace script_test
