#pragma once

// What the Sound class of scripts asks of the player's sound: exported
// sounds by linkage name, instances started and stopped by group (the clip
// a Sound object controls, 0 for the whole movie), how a group reaches the
// speakers, and where an instance has got to.

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace qev::swf::media {
class SoundSource;
}

namespace qev::swf::avm1 {

class SoundHost {
public:
    virtual ~SoundHost() = default;

    // The id of the sound exported under a linkage name, or -1.
    virtual int exportedSound(const QString& linkage) = 0;
    // Length in milliseconds; 0 when the sound gives no samples.
    virtual double soundDurationMs(int soundId) = 0;
    // Starts an instance offsetMs into the sound, played `loops` times;
    // returns its id (0 when nothing plays).
    virtual std::uint64_t startSound(int soundId, std::uint64_t group, double offsetMs, int loops) = 0;
    // Stops a group's instances of soundId, or all of them when soundId < 0.
    virtual void stopSounds(std::uint64_t group, int soundId) = 0;
    // ll, lr, rl, rr: left to left, left to right, ... (1 = full).
    virtual void setRouting(std::uint64_t group, double ll, double lr, double rl, double rr) = 0;
    // Milliseconds an instance has played into its sound; -1 once it ended.
    virtual double positionMs(std::uint64_t instance) = 0;
    // Loads a local MP3 file (a path relative to the movie's folder, or a
    // file: URL); returns a sound id for the calls above, or -1 when it
    // cannot be read or decoded. Other addresses are refused.
    virtual int loadSoundFile(const QString& url) = 0;
    // Instances that played to their end since the last call.
    virtual std::vector<std::uint64_t> finishedSounds() = 0;
    // A sound decoded as it plays, such as the sound track of an FLV file
    // that a NetStream plays, under a key of its own (the top bit set, so
    // that it meets no timeline's); starting one replaces the key's earlier
    // sound.
    virtual void startSoundStream(std::uint64_t key, std::shared_ptr<media::SoundSource> source)
    {
        (void)key, (void)source;
    }
    virtual void stopSoundStream(std::uint64_t key) { (void)key; }
};

} // namespace qev::swf::avm1
