#include "engine/MovieSound.h"

#include "media/Mixer.h"
#include "media/SoundSource.h"
#include "media/SoundDecoder.h"
#include "media/StreamSource.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace qev::swf::engine {

namespace {

constexpr int kMaxNesting = 64;

// The Sound class's group of the clip whose timeline has this key (the
// main timeline's key is 0, its clip's id too).
std::uint64_t groupOf(std::uint64_t key)
{
    return key + 1;
}

double playbackRate(const Movie& movie)
{
    const double rate = movie.header.frameRate();
    return rate > 0.01 ? std::min(rate, 120.0) : 12.0;
}

} // namespace

MovieSound::MovieSound(const Movie& movie, std::shared_ptr<media::Mixer> mixer,
                       std::function<void(const QString&)> warn)
    : movie_(movie), mixer_(std::move(mixer)), warn_(std::move(warn))
{
    charactersAdded();
}

void MovieSound::charactersAdded()
{
    const Movie& movie = movie_;
    // Sound tags anywhere (even ones that cannot play, which are warned about).
    auto tagged = [](const Timeline& t) {
        return t.streamHead || std::any_of(t.frames.begin(), t.frames.end(), [](const Frame& f) {
                   return !f.sounds.empty() || f.streamBlock;
               });
    };
    hasSound_ = !movie.sounds.empty() || tagged(movie.timeline);
    for (const auto& [id, c] : movie.dictionary)
        if (const Sprite* s = std::get_if<Sprite>(&c); s && tagged(s->timeline))
            hasSound_ = true;
}

MovieSound::~MovieSound()
{
    mixer_->reset();
}

void MovieSound::warn(const QString& message)
{
    if (warn_ && warned_.insert(message).second)
        warn_(message);
}

std::shared_ptr<const media::Pcm> MovieSound::decoded(std::uint16_t soundId)
{
    if (auto it = cache_.find(soundId); it != cache_.end())
        return it->second;
    std::shared_ptr<const media::Pcm> pcm;
    auto found = movie_.sounds.find(soundId);
    if (found == movie_.sounds.end()) {
        warn(QStringLiteral("sound %1 is started but not defined").arg(soundId));
    } else {
        QString problem;
        const double room = double(maxCachedFrames - std::min(maxCachedFrames, cachedFrames_)) / media::kMixRate;
        pcm = std::make_shared<const media::Pcm>(media::decodeSound(found->second, &problem, std::min(600.0, room)));
        cachedFrames_ += pcm->frames();
        if (!problem.isEmpty())
            warn(QStringLiteral("sound %1: %2").arg(soundId).arg(problem));
    }
    cache_.emplace(soundId, pcm);
    return pcm;
}

void MovieSound::startStream(const TimelineState& t, std::uint64_t key)
{
    const Timeline& timeline = *t.timeline;
    auto& blocks = blocks_[&timeline];
    if (!blocks) {
        auto all = std::make_shared<std::vector<QByteArray>>(timeline.frames.size());
        for (std::size_t f = 0; f < timeline.frames.size(); ++f)
            if (timeline.frames[f].streamBlock)
                (*all)[f] = timeline.frames[f].streamBlock->isNull() ? QByteArray("") : *timeline.frames[f].streamBlock;
        blocks = std::move(all);
    }
    auto source = std::make_shared<media::StreamSource>(*timeline.streamHead, blocks, std::size_t(t.frame),
                                                        playbackRate(movie_));
    if (!source->error().isEmpty())
        warn(QStringLiteral("streaming sound: %1").arg(source->error()));
    mixer_->startStream(key, std::move(source), groupOf(key));
    streams_.insert(key);
    if (key == 0)
        rootStreamStart_ = t.frame;
}

void MovieSound::stopStream(std::uint64_t key)
{
    if (streams_.erase(key))
        mixer_->stopStream(key);
}

void MovieSound::enter(const TimelineState& t, std::uint64_t key, bool fire, bool consecutive)
{
    if (!fire || !t.timeline || t.frame < 0 || std::size_t(t.frame) >= t.timeline->frames.size())
        return;
    const Frame& frame = t.timeline->frames[std::size_t(t.frame)];
    for (const StartSound& start : frame.sounds) {
        std::uint16_t id = start.soundId;
        if (!start.className.isEmpty()) {
            auto it = movie_.exports.find(start.className);
            if (it == movie_.exports.end()) {
                warn(QStringLiteral("no sound is exported as \"%1\"").arg(start.className));
                continue;
            }
            id = it->second;
        }
        if (start.info.stop)
            mixer_->stop(id);
        else if (auto pcm = decoded(id))
            mixer_->play(id, std::move(pcm), start.info, groupOf(key));
    }
    if (frame.streamBlock && !t.timeline->streamHead) {
        warn(QStringLiteral("a stream block without a stream head is not heard"));
        return;
    }
    if (frame.streamBlock) {
        // A stream plays on by itself from frame to frame; a jump, a loop
        // or a stream that ran out starts it again here.
        if (!consecutive || !streams_.contains(key) || mixer_->streamPosition(key) < 0)
            startStream(t, key);
    } else if (!consecutive) {
        stopStream(key);
    }
}

void MovieSound::visit(const TimelineState& t, std::uint64_t key, bool playing, bool fire,
                       std::unordered_map<std::uint64_t, Seen>& now, int nesting)
{
    auto it = seen_.find(key);
    const bool isNew = it == seen_.end() || it->second.characterId != t.characterId;
    if (isNew || it->second.frame != t.frame)
        enter(t, key, fire, !isNew && t.frame == it->second.frame + 1);
    else if (!playing)
        stopStream(key); // the timeline stands: so does its stream
    now[key] = Seen{t.characterId, t.frame};
    if (nesting >= kMaxNesting)
        return;
    for (const auto& [depth, inst] : t.list)
        if (!inst.sprite.empty())
            visit(inst.sprite.front(), inst.uid, inst.sprite.front().playing, fire, now, nesting + 1);
}

void MovieSound::walk(const RootState& state, bool rootPlaying, bool fire)
{
    std::unordered_map<std::uint64_t, Seen> now;
    now.reserve(seen_.size());
    visit(state.main, 0, rootPlaying, fire, now, 0);
    // Sprites that left the stage take their streams with them.
    for (auto it = streams_.begin(); it != streams_.end();) {
        if (!now.contains(*it)) {
            mixer_->stopStream(*it);
            it = streams_.erase(it);
        } else {
            ++it;
        }
    }
    seen_ = std::move(now);
}

void MovieSound::played(const RootState& state, bool rootPlaying)
{
    // A movie without sounds costs its ticks nothing.
    if (hasSound_)
        walk(state, rootPlaying, true);
}

void MovieSound::seeked(const RootState& state)
{
    if (!hasSound_)
        return;
    for (std::uint64_t key : streams_)
        mixer_->stopStream(key);
    streams_.clear();
    walk(state, false, false);
}

void MovieSound::stopAll()
{
    mixer_->stopAll();
    streams_.clear();
}

void MovieSound::playButtonSounds(const std::vector<ButtonSound>& sounds)
{
    for (const ButtonSound& s : sounds) {
        if (s.info.stop)
            mixer_->stop(s.soundId);
        else if (auto pcm = decoded(s.soundId))
            mixer_->play(s.soundId, std::move(pcm), s.info);
    }
}

int MovieSound::exportedSound(const QString& linkage)
{
    auto it = movie_.exports.find(linkage);
    if (it == movie_.exports.end() || !movie_.sounds.contains(it->second))
        return -1;
    return it->second;
}

double MovieSound::soundDurationMs(int soundId)
{
    const auto pcm = pcmFor(soundId);
    return pcm ? double(pcm->frames()) * 1000.0 / media::kMixRate : 0;
}

std::uint64_t MovieSound::startSound(int soundId, std::uint64_t group, double offsetMs, int loops)
{
    const auto pcm = pcmFor(soundId);
    if (!pcm || !std::isfinite(offsetMs))
        return 0;
    const auto offset = std::size_t(std::clamp(offsetMs * media::kMixRate / 1000.0, 0.0, double(pcm->frames())));
    // Loaded files share the top of the id range; stopping by id tells
    // them apart well enough.
    return mixer_->playInstance(std::uint16_t(std::min(soundId, 0xFFFF)), pcm, group, offset, loops);
}

void MovieSound::stopSounds(std::uint64_t group, int soundId)
{
    mixer_->stopGroup(group, soundId);
}

void MovieSound::setRouting(std::uint64_t group, double ll, double lr, double rl, double rr)
{
    mixer_->setTransform(group, media::Mixer::Transform{ll, lr, rl, rr});
}

double MovieSound::positionMs(std::uint64_t instance)
{
    const std::int64_t at = mixer_->instancePosition(instance);
    return at < 0 ? -1 : double(at) * 1000.0 / media::kMixRate;
}

std::shared_ptr<const media::Pcm> MovieSound::pcmFor(int soundId)
{
    if (soundId >= 0 && soundId <= 0xFFFF)
        return decoded(std::uint16_t(soundId));
    auto it = loaded_.find(soundId);
    return it == loaded_.end() ? nullptr : it->second;
}

int MovieSound::loadSoundFile(const QString& url)
{
    // Files beside the movie only, as for getURL: no network, no movie from memory.
    const QUrl parsed(url);
    QString path;
    if (parsed.isLocalFile())
        path = parsed.toLocalFile();
    else if (parsed.scheme().size() <= 1) // none, or a drive letter
        path = QString(url).replace(u'\\', u'/');
    if (path.isEmpty() || folder_.isEmpty()) {
        warn(QStringLiteral("loadSound: %1 is not a file beside the movie").arg(url));
        return -1;
    }
    path = QDir(folder_).absoluteFilePath(path);
    if (auto it = loadedByPath_.find(path); it != loadedByPath_.end())
        return it->second;
    QFile file(path);
    constexpr qint64 maxFileBytes = qint64(64) << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes) {
        warn(QStringLiteral("loadSound: cannot read %1").arg(path));
        return -1;
    }
    QByteArray bytes = file.readAll();
    // An ID3v2 tag in front: its size is four 7-bit bytes after the header.
    if (bytes.size() >= 10 && bytes.startsWith("ID3")) {
        const auto b = [&](int i) { return qsizetype(std::uint8_t(bytes[i]) & 0x7F); };
        bytes.remove(0, std::min(bytes.size(), 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9))));
    }
    Sound sound;
    sound.encoding = SoundEncoding{SoundFormat::Mp3, 3, true, true};
    sound.data = bytes;
    QString problem;
    const double room = double(maxCachedFrames - std::min(maxCachedFrames, cachedFrames_)) / media::kMixRate;
    auto pcm = std::make_shared<const media::Pcm>(media::decodeSound(sound, &problem, std::min(600.0, room)));
    if (pcm->frames() == 0) {
        warn(QStringLiteral("loadSound: %1 holds no MP3 sound%2").arg(path, problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem)));
        return -1;
    }
    cachedFrames_ += pcm->frames();
    const int id = 0x10000 + int(loaded_.size());
    loaded_.emplace(id, std::move(pcm));
    loadedByPath_.emplace(path, id);
    return id;
}

std::vector<std::uint64_t> MovieSound::finishedSounds()
{
    return mixer_->takeFinished();
}

void MovieSound::startSoundStream(std::uint64_t key, std::shared_ptr<media::SoundSource> source)
{
    mixer_->startStream(key, std::move(source));
}

void MovieSound::stopSoundStream(std::uint64_t key)
{
    mixer_->stopStream(key);
}

std::optional<int> MovieSound::streamFrame() const
{
    if (!streams_.contains(0))
        return std::nullopt;
    const std::int64_t pos = mixer_->streamPosition(0);
    if (pos < 0)
        return std::nullopt;
    // Rounded: the frame whose time is nearest, so that a clock beating at
    // the frame rate never sits on the boundary between two frames.
    return rootStreamStart_ + int(std::floor(double(pos) * playbackRate(movie_) / media::kMixRate + 0.5));
}

} // namespace qev::swf::engine
