#pragma once

// Plays a movie's mix on the default audio device, from a thread of its
// own: the device pulls the mixer there, so drawing and scripts on the GUI
// thread never make the sound stutter. Without a device (CI, Xvfb, a machine
// without sound) it stays silent and the mixer keeps nothing; so it does
// when the environment sets QEV_NO_AUDIO_DEVICE.

#include <QThread>

#include <atomic>
#include <memory>

namespace qev::swf::media {
class Mixer;
}

namespace qev::swf::control {

class AudioOutput {
public:
    explicit AudioOutput(std::shared_ptr<media::Mixer> mixer);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Whether a device plays the mix now.
    bool isLive() const { return state_->live; }
    // The device's buffer in milliseconds: how long a sound takes from the
    // mixer to the ear (0 without a device).
    int latencyMs() const { return state_->latencyMs; }

    // The buffer asked of the device: short enough that Stop is heard at
    // once and the picture follows the sound closely.
    static constexpr int bufferMs = 60;

    struct State {
        std::atomic<bool> live = false;
        std::atomic<int> latencyMs = 0;
    };

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
    QThread thread_;
    QObject* worker_ = nullptr;
};

} // namespace qev::swf::control
