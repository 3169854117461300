#include "video/StreamPictures.h"

namespace qev::swf::video {

StreamPictures::StreamPictures(const VideoStream& stream, std::size_t cacheBytes, const QByteArray& codecSetup)
    : stream_(stream)
    , cacheBytes_(cacheBytes)
    , decoder_(std::make_unique<VideoDecoder>(stream.codec(), stream.deblocking))
{
    if (!codecSetup.isEmpty())
        decoder_->setExtraData(codecSetup);
}

QImage StreamPictures::picture(int n)
{
    if (n < 0 || stream_.frames.empty() || !decoder_->valid())
        return {};
    auto packet = stream_.frames.upper_bound(std::uint16_t(std::min(n, 0xFFFF)));
    if (packet == stream_.frames.begin())
        return {};
    const int number = std::prev(packet)->first;
    auto hit = kept_.find(number);
    if (hit != kept_.end()) {
        lru_.splice(lru_.end(), lru_, hit->second.use);
        return hit->second.image;
    }
    decodeUpTo(number);
    hit = kept_.find(number);
    return hit != kept_.end() ? hit->second.image : lastGood_;
}

void StreamPictures::decodeUpTo(int number)
{
    const VideoCodec codec = stream_.codec();
    const auto target = stream_.frames.find(std::uint16_t(number));
    // Go on from where the decoder stands when no key frame lies between
    // there and the target; otherwise start at the key frame nearest before.
    const bool forward = number > decodedUpTo_;
    auto start = target;
    while (start != stream_.frames.begin() && !(forward && start->first <= decodedUpTo_)
           && !startsAKeyFrame(start->first, start->second))
        --start;
    if (forward && start->first <= decodedUpTo_) {
        start = std::next(stream_.frames.find(std::uint16_t(decodedUpTo_)));
    } else {
        if (start == stream_.frames.begin() && !startsAKeyFrame(start->first, start->second)
            && (!keyFrames_.empty() || (codec != VideoCodec::ScreenVideo2 && codec != VideoCodec::H264))
            && !warnedNoKeyFrame_) {
            qCWarning(videoLog, "video stream has no key frame before frame %d; decoding from its first frame", number);
            warnedNoKeyFrame_ = true;
        }
        decoder_->restart();
        lastGood_ = {};
    }
    std::size_t budget = packetBudget_;
    for (auto it = start; it != std::next(target) && budget > 0; ++it, --budget) {
        QImage image = decoder_->decode(it->second, stream_.width, stream_.height);
        ++packetsDecoded_;
        if (image.isNull())
            qCWarning(videoLog, "video frame %d did not decode; the last good picture stays", int(it->first));
        else
            lastGood_ = std::move(image);
        decodedUpTo_ = it->first;
        if (!lastGood_.isNull())
            keep(it->first, lastGood_);
    }
}

bool StreamPictures::startsAKeyFrame(std::uint16_t number, const QByteArray& packet) const
{
    if (!keyFrames_.empty())
        return keyFrames_.count(number) > 0;
    return isKeyFrame(stream_.codec(), packet);
}

void StreamPictures::keep(int number, const QImage& image)
{
    auto old = kept_.find(number);
    if (old != kept_.end()) {
        keptBytes_ -= std::size_t(old->second.image.sizeInBytes());
        lru_.erase(old->second.use);
        kept_.erase(old);
    }
    const auto bytes = std::size_t(image.sizeInBytes());
    while (!lru_.empty() && keptBytes_ + bytes > cacheBytes_) {
        auto oldest = kept_.find(lru_.front());
        keptBytes_ -= std::size_t(oldest->second.image.sizeInBytes());
        kept_.erase(oldest);
        lru_.pop_front();
    }
    lru_.push_back(number);
    kept_.emplace(number, Kept{image, std::prev(lru_.end())});
    keptBytes_ += bytes;
}

} // namespace qev::swf::video
