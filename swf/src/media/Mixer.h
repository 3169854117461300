#pragma once

// Adds every playing sound of a movie into one 44.1 kHz stereo signal.
// The engine (GUI thread) starts and stops sounds; whoever plays the mix
// (the audio thread, or a tool writing a file) pulls it with mix(). Calls
// from both sides are serialised by one lock, held only for the short time
// a call or a pulled block takes.

#include "media/Pcm.h"

#include <qev/swf/model/Sound.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace qev::swf::media {

class SoundSource;

class Mixer {
public:
    // Nothing is kept while nobody listens (no device, no tool): sounds
    // started then are dropped, so an unheard movie costs nothing.
    void setListening(bool on);
    bool listening() const { return listening_; }

    // An event sound: starts an instance (or, with info.stop, stops every
    // instance of soundId; with info.noMultiple, starts only if none plays).
    // group: as for playInstance (the timeline's clip), so that a script's
    // volume for a clip applies to the sounds of its frames too.
    void play(std::uint16_t soundId, std::shared_ptr<const Pcm> pcm, const SoundInfo& info, std::uint64_t group = 0);
    void stop(std::uint16_t soundId);
    bool isPlaying(std::uint16_t soundId) const;

    // A sound decoded as it plays: the streaming sound of one timeline
    // (key: the timeline's identity) or a stream a script plays; starting
    // one replaces the key's earlier stream.
    void startStream(std::uint64_t key, std::shared_ptr<SoundSource> source, std::uint64_t group = 0);
    void stopStream(std::uint64_t key);
    // Mix-rate frames of the key's stream heard so far (mixed, less what
    // the device still holds), or -1 when it does not play.
    std::int64_t streamPosition(std::uint64_t key) const;

    // Sounds that scripts start (the Sound class): each instance has an id,
    // belongs to a group (the clip its Sound object controls; 0 is the
    // whole movie) and may start part way in. Returns 0 when nothing starts.
    std::uint64_t playInstance(std::uint16_t soundId, std::shared_ptr<const Pcm> pcm, std::uint64_t group,
                               std::size_t offsetFrames, int loops);
    // Stops a group's instances of soundId (every sound of the group when
    // soundId < 0; group 0 and soundId < 0: every event sound).
    void stopGroup(std::uint64_t group, int soundId);
    // How a group's sounds reach the speakers: left to left, left to
    // right, right to left, right to right (1 = full). Group 0's applies to
    // every sound of the movie as well.
    struct Transform {
        double ll = 1, lr = 0, rl = 0, rr = 1;
    };
    void setTransform(std::uint64_t group, const Transform& t);
    // Frames an instance has played into its sound (from the sound's
    // start), or -1 once it ended.
    std::int64_t instancePosition(std::uint64_t instance) const;
    // Instances that played to their end since the last call.
    std::vector<std::uint64_t> takeFinished();

    // Every sound ends (stopAllSounds); volumes and pans stay.
    void stopAll();
    // As stopAll, and volumes, pans and pending completions are forgotten:
    // for a movie that ends.
    void reset();
    // Paused: the mix is silence and every sound keeps its place.
    void setPaused(bool paused);
    bool paused() const;

    // Frames the device holds between mix() and the ear (set by the output).
    void setOutputDelay(std::int64_t frames) { outputDelay_ = frames; }

    // Writes frames stereo frames of the mix into out (2 * frames values).
    void mix(std::int16_t* out, std::size_t frames);
    std::size_t voiceCount() const;

    // Limits: sounds at once (the oldest event sound gives way).
    static constexpr std::size_t maxVoices = 64;

private:
    struct Voice {
        std::uint16_t soundId = 0;
        std::uint64_t group = 0;
        std::uint64_t instance = 0; // 0: started by a timeline or button
        std::shared_ptr<const Pcm> pcm;
        std::size_t begin = 0, end = 0, pos = 0; // frames of pcm
        int loopsLeft = 1;
        std::vector<EnvelopePoint> envelope;
    };
    struct Stream {
        std::shared_ptr<SoundSource> source;
        std::uint64_t group = 0;
        std::int64_t position = 0;
        Pcm buffer;
    };
    void mixVoice(Voice& v, std::int32_t* acc, std::size_t frames);
    Transform transformOf(std::uint64_t group) const;
    bool mixStream(Stream& s, std::int32_t* acc, std::size_t frames);

    mutable std::mutex lock_;
    std::atomic<bool> listening_ = false;
    std::atomic<std::int64_t> outputDelay_ = 0;
    bool paused_ = false;
    std::vector<Voice> voices_;
    std::map<std::uint64_t, Stream> streams_;
    std::vector<std::int32_t> acc_;
    std::map<std::uint64_t, Transform> transforms_;
    std::uint64_t nextInstance_ = 1;
    std::vector<std::uint64_t> finished_;
};

} // namespace qev::swf::media
