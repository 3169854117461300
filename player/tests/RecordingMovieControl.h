#pragma once

#include "qev/swf/MovieControl.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace qev::player::testing {

// What a RecordingMovieControl was asked, and how it answers.
struct MovieControlLog {
    QStringList calls;         // "Stop", "Play", "Movie <path>", "FrameNum", "FrameNum <n>"
    QString movie;
    int frame = 0;             // the frame FrameNum reports
    bool clamp = false;        // clamp written frames to 0..lastFrame as the real control does
    int lastFrame = 0;
    bool failFrameNum = false; // FrameNum throws, as a broken control might
};

// A movie control that shows nothing and logs each of the five operations.
class RecordingMovieControl : public QWidget, public swf::MovieControl {
public:
    RecordingMovieControl(QWidget* parent, MovieControlLog& log)
        : QWidget(parent)
        , log_(log)
    {
    }

    QWidget* widget() override { return this; }
    void Movie(const QString& path) override
    {
        log_.calls << QStringLiteral("Movie ") + path;
        log_.movie = path;
        log_.frame = 0;
    }
    QString Movie() const override { return log_.movie; }
    void Play() override { log_.calls << QStringLiteral("Play"); }
    void Stop() override { log_.calls << QStringLiteral("Stop"); }
    int FrameNum() const override
    {
        log_.calls << QStringLiteral("FrameNum");
        if (log_.failFrameNum)
            throw std::runtime_error("The movie control failed.");
        return log_.frame;
    }
    void FrameNum(int frame) override
    {
        log_.calls << QStringLiteral("FrameNum %1").arg(frame);
        log_.frame = log_.clamp ? std::clamp(frame, 0, log_.lastFrame) : frame;
    }

    // A maker for PlayerWindow that creates a control logging into log.
    static auto maker(MovieControlLog& log)
    {
        return [&log](QWidget* parent) -> std::unique_ptr<swf::MovieControl> {
            return std::make_unique<RecordingMovieControl>(parent, log);
        };
    }

private:
    MovieControlLog& log_;
};

} // namespace qev::player::testing
