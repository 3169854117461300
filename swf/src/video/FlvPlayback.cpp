#include "video/FlvPlayback.h"

#include <algorithm>

namespace qev::swf::video {

namespace {
// Frame numbers of a stream are 16 bits; longer files play their first part.
constexpr std::size_t kMaxPackets = 0xFFFF;
} // namespace

FlvPlayback::FlvPlayback(FlvFile file) : file_(std::move(file))
{
    stream_.codecId = std::uint8_t(file_.videoCodec);
    std::set<std::uint16_t> keys;
    const std::size_t count = std::min(file_.video.size(), kMaxPackets);
    for (std::size_t i = 0; i < count; ++i) {
        stream_.frames.emplace(std::uint16_t(i), file_.video[i].data);
        if (file_.video[i].keyFrame)
            keys.insert(std::uint16_t(i));
    }
    if (file_.video.size() > kMaxPackets)
        file_.warnings.push_back(QStringLiteral("FLV file has more video frames than are played"));
    if (!file_.audio.empty())
        audio_ = std::make_shared<const std::vector<FlvAudioPacket>>(file_.audio);
    if (!stream_.frames.empty()) {
        pictures_ = std::make_unique<StreamPictures>(stream_, StreamPictures::kDefaultCacheBytes, file_.videoSetup);
        pictures_->setKeyFrames(std::move(keys));
    }
}

void FlvPlayback::status(const char* code, const char* level)
{
    StreamEvent e;
    e.code = QString::fromLatin1(code);
    e.level = QString::fromLatin1(level);
    events_.push_back(std::move(e));
}

double FlvPlayback::durationMs() const
{
    double end = 0;
    if (!file_.video.empty())
        end = std::max(end, double(file_.video.back().timeMs));
    if (!file_.audio.empty())
        end = std::max(end, double(file_.audio.back().timeMs));
    return end;
}

void FlvPlayback::play()
{
    if (file_.video.empty() && file_.audio.empty() && file_.scripts.empty()) {
        status("NetStream.Play.StreamNotFound", "error");
        return;
    }
    playing_ = true;
    paused_ = false;
    closed_ = false;
    ended_ = false;
    timeMs_ = 0;
    status("NetStream.Play.Start");
    dueScripts(-1, 0); // the tags at the start, metadata first as files store it
}

void FlvPlayback::pause(bool paused)
{
    if (!playing_ || paused == paused_)
        return;
    paused_ = paused;
    status(paused ? "NetStream.Pause.Notify" : "NetStream.Unpause.Notify");
}

void FlvPlayback::seek(double seconds)
{
    if (!playing_)
        return;
    const double want = seconds * 1000;
    if (!(want >= 0) || want > durationMs()) {
        status("NetStream.Seek.InvalidTime", "error");
        return;
    }
    // The key frame at or before the time.
    double to = 0;
    for (const FlvVideoPacket& p : file_.video) {
        if (p.timeMs > want)
            break;
        if (p.keyFrame)
            to = p.timeMs;
    }
    if (file_.video.empty())
        to = want;
    timeMs_ = to;
    ended_ = false;
    status("NetStream.Seek.Notify");
}

void FlvPlayback::close()
{
    playing_ = false;
    closed_ = true;
}

void FlvPlayback::advance(double ms)
{
    if (!isPlaying() || ended_ || ms <= 0)
        return;
    const double from = timeMs_;
    const double end = durationMs();
    timeMs_ = std::min(timeMs_ + ms, end);
    dueScripts(from, timeMs_);
    if (timeMs_ >= end) {
        ended_ = true;
        status("NetStream.Play.Stop");
    }
}

void FlvPlayback::dueScripts(double fromMs, double toMs)
{
    for (const FlvScriptTag& tag : file_.scripts) {
        if (!(double(tag.timeMs) > fromMs && double(tag.timeMs) <= toMs))
            continue;
        StreamEvent e;
        if (tag.name == QLatin1String("onMetaData"))
            e.kind = StreamEvent::Kind::MetaData;
        else if (tag.name == QLatin1String("onCuePoint"))
            e.kind = StreamEvent::Kind::CuePoint;
        else
            continue;
        e.value = tag.value;
        events_.push_back(std::move(e));
    }
}

int FlvPlayback::packetAt(double ms) const
{
    auto it = std::upper_bound(file_.video.begin(), file_.video.end(), ms,
                               [](double t, const FlvVideoPacket& p) { return t < double(p.timeMs); });
    return int(it - file_.video.begin()) - 1;
}

QImage FlvPlayback::picture()
{
    if (closed_ || !pictures_)
        return {};
    const int index = packetAt(timeMs_);
    if (index < 0)
        return {};
    return pictures_->picture(std::min(index, int(kMaxPackets) - 1));
}

std::shared_ptr<FlvSound> FlvPlayback::sound() const
{
    if (!audio_ || !isPlaying() || ended_)
        return nullptr;
    return std::make_shared<FlvSound>(audio_, timeMs_);
}

std::vector<StreamEvent> FlvPlayback::takeEvents()
{
    std::vector<StreamEvent> out;
    out.swap(events_);
    return out;
}

} // namespace qev::swf::video
