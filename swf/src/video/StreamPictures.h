#pragma once

// The pictures of one embedded video stream by frame number. Any frame can
// be asked for in any order (a goto, a rewind step): the stream is decoded
// from the nearest key frame at or before it, and the pictures decoded on the
// way are kept, so stepping backwards or forwards through a stream decodes
// each frame about once.

#include "video/VideoDecoder.h"

#include <qev/swf/model/Video.h>

#include <QImage>

#include <cstddef>
#include <list>
#include <map>
#include <memory>

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
    QImage picture(int n);

    // How many packets went through the decoder so far (for tests and
    // measurements).
    std::size_t packetsDecoded() const { return packetsDecoded_; }

    static constexpr std::size_t kDefaultCacheBytes = std::size_t(96) << 20;

private:
    void decodeUpTo(int packetNumber);
    void keep(int packetNumber, const QImage& image);

    const VideoStream& stream_;
    std::size_t cacheBytes_;
    std::unique_ptr<VideoDecoder> decoder_;
    // The number of the packet the decoder took last; -1: none since a restart.
    int decodedUpTo_ = -1;
    QImage lastGood_;
    std::size_t packetsDecoded_ = 0;
    bool warnedNoKeyFrame_ = false;

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
