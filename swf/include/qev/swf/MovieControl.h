#pragma once

#include <QString>
#include <QtPlugin>

#include <memory>

class QWidget;

namespace qev::swf {

// The movie control as the player drives it: five operations, each safe in
// any state, with or without a movie loaded.
class MovieControl {
public:
    virtual ~MovieControl() = default;

    // The widget that shows the movie; owned by the parent given at creation.
    virtual QWidget* widget() = 0;

    // Loads the movie at a local path, replacing the one held (the same path
    // again reloads it). With play-on-load, playback starts at frame 0.
    virtual void Movie(const QString& path) = 0;
    virtual QString Movie() const = 0;
    // Playback runs on from the current frame; with Loop on it starts over
    // after the last frame.
    virtual void Play() = 0;
    // Playback halts; the current frame stays on screen.
    virtual void Stop() = 0;
    // The current frame, 0-based.
    virtual int FrameNum() const = 0;
    // Moves the playhead to frame and shows it without starting playback.
    // Below 0 goes to frame 0, past the last frame to the last frame.
    virtual void FrameNum(int frame) = 0;
};

// The entry point of the "Flash.ocx" module, loaded at run time.
class MovieControlFactory {
public:
    virtual ~MovieControlFactory() = default;
    virtual std::unique_ptr<MovieControl> create(QWidget* parent) = 0;
};

} // namespace qev::swf

#define QEV_MOVIE_CONTROL_FACTORY_IID "org.qev.MovieControlFactory/1.0"
Q_DECLARE_INTERFACE(qev::swf::MovieControlFactory, QEV_MOVIE_CONTROL_FACTORY_IID)
