#include "media/Mixer.h"

#include "media/SoundSource.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qev::swf::media {

namespace {

// The envelope's level (of 32768) for one side at a position of the sound.
std::int32_t envelopeLevel(const std::vector<EnvelopePoint>& env, std::size_t pos, bool right)
{
    auto level = [right](const EnvelopePoint& p) { return std::int32_t(std::min<int>(right ? p.right : p.left, 32768)); };
    if (pos <= env.front().position44)
        return level(env.front());
    for (std::size_t i = 1; i < env.size(); ++i) {
        const EnvelopePoint& a = env[i - 1];
        const EnvelopePoint& b = env[i];
        if (pos < b.position44) {
            const double t = double(pos - a.position44) / double(b.position44 - a.position44);
            return std::int32_t(level(a) + (level(b) - level(a)) * t);
        }
    }
    return level(env.back());
}

} // namespace

void Mixer::setListening(bool on)
{
    std::lock_guard guard(lock_);
    listening_ = on;
    if (!on) {
        voices_.clear();
        streams_.clear();
    }
}

void Mixer::play(std::uint16_t soundId, std::shared_ptr<const Pcm> pcm, const SoundInfo& info, std::uint64_t group)
{
    std::lock_guard guard(lock_);
    if (info.stop) {
        std::erase_if(voices_, [soundId](const Voice& v) { return v.soundId == soundId; });
        return;
    }
    if (!listening_ || !pcm)
        return;
    if (info.noMultiple && std::any_of(voices_.begin(), voices_.end(), [soundId](const Voice& v) { return v.soundId == soundId; }))
        return;
    Voice v;
    v.soundId = soundId;
    v.group = group;
    v.pcm = std::move(pcm);
    const std::size_t length = v.pcm->frames();
    v.begin = std::min<std::size_t>(info.inPoint.value_or(0), length);
    v.end = std::min<std::size_t>(info.outPoint.value_or(length), length);
    if (v.end <= v.begin)
        return;
    v.pos = v.begin;
    v.loopsLeft = std::max<int>(1, info.loops);
    v.envelope = info.envelope;
    std::stable_sort(v.envelope.begin(), v.envelope.end(),
                     [](const EnvelopePoint& a, const EnvelopePoint& b) { return a.position44 < b.position44; });
    if (voices_.size() >= maxVoices)
        voices_.erase(voices_.begin());
    voices_.push_back(std::move(v));
}

std::uint64_t Mixer::playInstance(std::uint16_t soundId, std::shared_ptr<const Pcm> pcm, std::uint64_t group,
                                  std::size_t offsetFrames, int loops)
{
    std::lock_guard guard(lock_);
    if (!listening_ || !pcm || offsetFrames >= pcm->frames())
        return 0;
    Voice v;
    v.soundId = soundId;
    v.group = group;
    v.instance = nextInstance_++;
    v.pcm = std::move(pcm);
    v.begin = offsetFrames;
    v.end = v.pcm->frames();
    v.pos = v.begin;
    v.loopsLeft = std::clamp(loops, 1, 0x7FFF);
    if (voices_.size() >= maxVoices)
        voices_.erase(voices_.begin());
    voices_.push_back(std::move(v));
    return voices_.back().instance;
}

void Mixer::stopGroup(std::uint64_t group, int soundId)
{
    std::lock_guard guard(lock_);
    std::erase_if(voices_, [&](const Voice& v) {
        return (group == 0 || v.group == group) && (soundId < 0 || v.soundId == soundId);
    });
}

void Mixer::setTransform(std::uint64_t group, const Transform& t)
{
    std::lock_guard guard(lock_);
    transforms_[group] = t;
}

Mixer::Transform Mixer::transformOf(std::uint64_t group) const
{
    auto find = [this](std::uint64_t g) {
        auto it = transforms_.find(g);
        return it == transforms_.end() ? Transform{} : it->second;
    };
    const Transform all = find(0);
    if (group == 0)
        return all;
    // The group's own routing, then the movie's.
    const Transform own = find(group);
    return Transform{own.ll * all.ll + own.lr * all.rl, own.ll * all.lr + own.lr * all.rr,
                     own.rl * all.ll + own.rr * all.rl, own.rl * all.lr + own.rr * all.rr};
}

std::int64_t Mixer::instancePosition(std::uint64_t instance) const
{
    std::lock_guard guard(lock_);
    for (const Voice& v : voices_)
        if (v.instance == instance)
            return std::int64_t(v.pos);
    return -1;
}

std::vector<std::uint64_t> Mixer::takeFinished()
{
    std::lock_guard guard(lock_);
    return std::exchange(finished_, {});
}

void Mixer::stop(std::uint16_t soundId)
{
    std::lock_guard guard(lock_);
    std::erase_if(voices_, [soundId](const Voice& v) { return v.soundId == soundId; });
}

bool Mixer::isPlaying(std::uint16_t soundId) const
{
    std::lock_guard guard(lock_);
    return std::any_of(voices_.begin(), voices_.end(), [soundId](const Voice& v) { return v.soundId == soundId; });
}

void Mixer::startStream(std::uint64_t key, std::shared_ptr<SoundSource> source, std::uint64_t group)
{
    std::lock_guard guard(lock_);
    if (!listening_ || !source) {
        streams_.erase(key);
        return;
    }
    Stream s;
    s.source = std::move(source);
    s.group = group;
    streams_[key] = std::move(s);
}

void Mixer::stopStream(std::uint64_t key)
{
    std::lock_guard guard(lock_);
    streams_.erase(key);
}

std::int64_t Mixer::streamPosition(std::uint64_t key) const
{
    std::lock_guard guard(lock_);
    auto it = streams_.find(key);
    if (it == streams_.end())
        return -1;
    return std::max<std::int64_t>(0, it->second.position - outputDelay_);
}

void Mixer::stopAll()
{
    std::lock_guard guard(lock_);
    voices_.clear();
    streams_.clear();
}

void Mixer::reset()
{
    std::lock_guard guard(lock_);
    voices_.clear();
    streams_.clear();
    transforms_.clear();
    finished_.clear();
}

void Mixer::setPaused(bool paused)
{
    std::lock_guard guard(lock_);
    paused_ = paused;
}

bool Mixer::paused() const
{
    std::lock_guard guard(lock_);
    return paused_;
}

std::size_t Mixer::voiceCount() const
{
    std::lock_guard guard(lock_);
    return voices_.size() + streams_.size();
}

void Mixer::mixVoice(Voice& v, std::int32_t* acc, std::size_t frames)
{
    const std::int16_t* data = v.pcm->samples.data();
    const Transform t = transformOf(v.group);
    const bool routed = t.ll != 1 || t.lr != 0 || t.rl != 0 || t.rr != 1;
    for (std::size_t i = 0; i < frames && v.loopsLeft > 0; ++i) {
        std::int32_t l = data[v.pos * 2];
        std::int32_t r = data[v.pos * 2 + 1];
        if (!v.envelope.empty()) {
            l = std::int32_t((std::int64_t(l) * envelopeLevel(v.envelope, v.pos, false)) >> 15);
            r = std::int32_t((std::int64_t(r) * envelopeLevel(v.envelope, v.pos, true)) >> 15);
        }
        if (routed) {
            const double inL = l, inR = r;
            l = std::int32_t(std::lround(inL * t.ll + inR * t.rl));
            r = std::int32_t(std::lround(inL * t.lr + inR * t.rr));
        }
        acc[i * 2] += l;
        acc[i * 2 + 1] += r;
        if (++v.pos >= v.end) {
            v.pos = v.begin;
            --v.loopsLeft;
        }
    }
}

bool Mixer::mixStream(Stream& s, std::int32_t* acc, std::size_t frames)
{
    s.buffer.samples.clear();
    const std::size_t got = s.source->read(s.buffer, frames);
    const Transform t = transformOf(s.group);
    if (t.ll == 1 && t.lr == 0 && t.rl == 0 && t.rr == 1) {
        for (std::size_t i = 0; i < got * 2; ++i)
            acc[i] += s.buffer.samples[i];
    } else {
        for (std::size_t i = 0; i < got; ++i) {
            const double l = s.buffer.samples[i * 2], r = s.buffer.samples[i * 2 + 1];
            acc[i * 2] += std::int32_t(std::lround(l * t.ll + r * t.rl));
            acc[i * 2 + 1] += std::int32_t(std::lround(l * t.lr + r * t.rr));
        }
    }
    s.position += std::int64_t(got);
    return got == frames || !s.source->finished();
}

void Mixer::mix(std::int16_t* out, std::size_t frames)
{
    std::lock_guard guard(lock_);
    if (paused_ || (voices_.empty() && streams_.empty())) {
        std::fill(out, out + frames * 2, std::int16_t(0));
        return;
    }
    acc_.assign(frames * 2, 0);
    for (Voice& v : voices_)
        mixVoice(v, acc_.data(), frames);
    std::erase_if(voices_, [this](const Voice& v) {
        if (v.loopsLeft > 0)
            return false;
        if (v.instance != 0 && finished_.size() < 4096)
            finished_.push_back(v.instance);
        return true;
    });
    for (auto it = streams_.begin(); it != streams_.end();)
        it = mixStream(it->second, acc_.data(), frames) ? std::next(it) : streams_.erase(it);
    for (std::size_t i = 0; i < frames * 2; ++i)
        out[i] = std::int16_t(std::clamp<std::int32_t>(acc_[i], -32768, 32767));
}

} // namespace qev::swf::media
