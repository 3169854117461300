#pragma once

// The sounds a playing movie asks for: the event sounds of the frames each
// timeline enters, the streaming sound of each timeline from the frame it
// starts at, and the sounds of button transitions. Looks at the display
// tree after each tick, so the timeline code needs no sound of its own.

#include "avm1/SoundHost.h"
#include "engine/State.h"

#include <qev/swf/model/Movie.h>

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>

namespace qev::swf::media {
class Mixer;
class SoundSource;
struct Pcm;
} // namespace qev::swf::media

namespace qev::swf::engine {

class MovieSound : public avm1::SoundHost {
public:
    MovieSound(const Movie& movie, std::shared_ptr<media::Mixer> mixer, std::function<void(const QString&)> warn);
    // Ends every sound of the movie.
    ~MovieSound() override;

    // After a tick that played (and after loading): every timeline that
    // entered a frame starts that frame's sounds; streams start or go on.
    // rootPlaying: whether the main timeline plays on (its stream stops
    // with it).
    void played(const RootState& state, bool rootPlaying);
    // After the player moved the main timeline by itself (not playing):
    // nothing is heard, streams stop, and the frames arrived at count as
    // entered already.
    void seeked(const RootState& state);
    void playButtonSounds(const std::vector<ButtonSound>& sounds);
    // stopAllSounds(): every sound ends; streams start again with the next
    // block their timelines reach.
    void stopAll();

    // The main timeline's frame that its streaming sound has reached, while
    // one plays.
    std::optional<int> streamFrame() const;
    // Whether the movie has any sound at all.
    bool hasSound() const { return hasSound_; }
    // A loaded movie added characters (and perhaps sounds) to the movie.
    void charactersAdded();

    // ---- avm1::SoundHost: the Sound class of scripts ----
    int exportedSound(const QString& linkage) override;
    double soundDurationMs(int soundId) override;
    std::uint64_t startSound(int soundId, std::uint64_t group, double offsetMs, int loops) override;
    void stopSounds(std::uint64_t group, int soundId) override;
    void setRouting(std::uint64_t group, double ll, double lr, double rl, double rr) override;
    double positionMs(std::uint64_t instance) override;
    std::vector<std::uint64_t> finishedSounds() override;
    void startSoundStream(std::uint64_t key, std::shared_ptr<media::SoundSource> source) override;
    void stopSoundStream(std::uint64_t key) override;
    int loadSoundFile(const QString& url) override;

    // The folder loadSound() looks in: the movie's own (none for a movie
    // loaded from memory: nothing is loaded).
    void setMovieFolder(const QString& folder) { folder_ = folder; }

private:
    struct Seen {
        std::uint16_t characterId = 0;
        int frame = -1;
    };
    void visit(const TimelineState& t, std::uint64_t key, bool playing, bool fire,
               std::unordered_map<std::uint64_t, Seen>& now, int nesting);
    void enter(const TimelineState& t, std::uint64_t key, bool fire, bool consecutive);
    void startStream(const TimelineState& t, std::uint64_t key);
    void stopStream(std::uint64_t key);
    void walk(const RootState& state, bool rootPlaying, bool fire);
    std::shared_ptr<const media::Pcm> decoded(std::uint16_t soundId);
    // A DefineSound or a loaded file by id (loaded files from 65536 on).
    std::shared_ptr<const media::Pcm> pcmFor(int soundId);
    // Decoded event sounds of one movie together, in mix frames (about
    // 128 MB); sounds past it are not heard.
    static constexpr std::size_t maxCachedFrames = std::size_t(32) << 20;
    void warn(const QString& message);

    const Movie& movie_;
    std::shared_ptr<media::Mixer> mixer_;
    std::function<void(const QString&)> warn_;
    bool hasSound_ = false;
    std::unordered_map<std::uint64_t, Seen> seen_;
    std::set<std::uint64_t> streams_;
    int rootStreamStart_ = 0;
    std::map<std::uint16_t, std::shared_ptr<const media::Pcm>> cache_;
    std::size_t cachedFrames_ = 0;
    // Each timeline's stream blocks by frame, gathered once.
    std::map<const Timeline*, std::shared_ptr<const std::vector<QByteArray>>> blocks_;
    std::set<QString> warned_;
    QString folder_;
    std::map<int, std::shared_ptr<const media::Pcm>> loaded_;
    std::map<QString, int> loadedByPath_;
};

} // namespace qev::swf::engine
