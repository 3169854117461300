#pragma once

// One FLV file played on a clock, as a NetStream plays it: play, pause,
// seek and close, the time, the picture at that time, and the events the
// stream tells its onStatus, onMetaData and onCuePoint handlers. It knows
// nothing of scripts: the NetStream class turns the events into calls.
// Sound is not played here: sound() gives the file's sound track from the
// current time, for the mixer.

#include "video/FlvFile.h"
#include "video/FlvSound.h"
#include "video/StreamPictures.h"

#include <QImage>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace qev::swf::video {

struct StreamEvent {
    enum class Kind { Status, MetaData, CuePoint };
    Kind kind = Kind::Status;
    QString code;  // Status: "NetStream.Play.Start", ...
    QString level; // Status: "status" or "error"
    QVariant value; // MetaData and CuePoint: the script data value
};

class FlvPlayback {
public:
    // A file that holds no FLV plays as a stream that was not found.
    explicit FlvPlayback(FlvFile file);

    void play();
    void pause(bool paused);
    void togglePause() { pause(!paused_); }
    // To the key frame at or before the time, as the format's players do.
    void seek(double seconds);
    void close();
    // Moves the clock on while playing.
    void advance(double ms);
    // The events since the last call, in order.
    std::vector<StreamEvent> takeEvents();

    double time() const { return timeMs_ / 1000.0; }
    bool isPlaying() const { return playing_ && !paused_; }
    double durationMs() const;
    // The picture at the current time; null before the first frame or after close.
    QImage picture();
    // The sound track from the current time on, while the stream plays and
    // has sound left; null otherwise.
    std::shared_ptr<FlvSound> sound() const;
    const FlvFile& file() const { return file_; }

private:
    void status(const char* code, const char* level = "status");
    // Script tags whose time lies in (from, to].
    void dueScripts(double fromMs, double toMs);
    int packetAt(double ms) const;

    FlvFile file_;
    VideoStream stream_; // the video packets by index, for StreamPictures
    std::shared_ptr<const std::vector<FlvAudioPacket>> audio_; // shared with the sound being heard
    std::unique_ptr<StreamPictures> pictures_;
    double timeMs_ = 0;
    bool playing_ = false;
    bool paused_ = false;
    bool closed_ = false;
    bool ended_ = false;
    std::vector<StreamEvent> events_;
};

} // namespace qev::swf::video
