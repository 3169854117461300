#pragma once

// The pictures of one embedded video stream by frame number. Any frame can
// be asked for in any order (a goto, a rewind step): the stream is decoded
// from the nearest key frame at or before it, and the pictures decoded on the
// way are kept, so stepping backwards or forwards through a stream decodes
// each frame about once.

#include "video/VideoDecoder.h"

#include <qev/swf/model/Video.h>

#include <QImage>

#include <algorithm>
#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <set>

namespace qev::swf::video {

class StreamPictures {
public:
    // The stream must outlive this object. cacheBytes bounds the kept
    // pictures; codecSetup is what some FLV streams carry ahead of their
    // packets (FlvFile::videoSetup).
    explicit StreamPictures(const VideoStream& stream, std::size_t cacheBytes = kDefaultCacheBytes,
                            const QByteArray& codecSetup = {});

    // The picture shown at frame number n: the stream's latest frame at or
    // before n. A null image when there is none or none could be decoded
    // yet; a frame that fails to decode shows the last good picture before it.
    // One call decodes at most packetBudget() packets, so a jump far from
    // any key frame (screen video often has one only at its start) never
    // stalls a tick: the call shows the latest picture it reached, and the
    // next calls go on from there until they reach the frame.
    QImage picture(int n);

    // Streams whose container flags key frames (FLV) give them here; the
    // packets' own headers are read otherwise.
    void setKeyFrames(std::set<std::uint16_t> numbers) { keyFrames_ = std::move(numbers); }

    std::size_t packetBudget() const { return packetBudget_; }
    void setPacketBudget(std::size_t packets) { packetBudget_ = std::max<std::size_t>(1, packets); }

    // How many packets went through the decoder so far (for tests and
    // measurements).
    std::size_t packetsDecoded() const { return packetsDecoded_; }

    static constexpr std::size_t kDefaultCacheBytes = std::size_t(96) << 20;
    // About eight seconds of video at 30 frames per second.
    static constexpr std::size_t kDefaultPacketBudget = 240;

private:
    void decodeUpTo(int packetNumber);
    bool startsAKeyFrame(std::uint16_t number, const QByteArray& packet) const;
    void keep(int packetNumber, const QImage& image);

    const VideoStream& stream_;
    std::size_t cacheBytes_;
    std::unique_ptr<VideoDecoder> decoder_;
    // The number of the packet the decoder took last; -1: none since a restart.
    int decodedUpTo_ = -1;
    QImage lastGood_;
    std::size_t packetsDecoded_ = 0;
    std::size_t packetBudget_ = kDefaultPacketBudget;
    bool warnedNoKeyFrame_ = false;
    std::set<std::uint16_t> keyFrames_;

    // Decoded pictures by packet number, oldest use first in lru_.
    struct Kept {
        QImage image;
        std::list<int>::iterator use;
    };
    std::map<int, Kept> kept_;
    std::list<int> lru_;
    std::size_t keptBytes_ = 0;
};

} // namespace qev::swf::video
