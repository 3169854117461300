#pragma once

// An embedded video stream: DefineVideoStream and the VideoFrame tags that
// fill it.

#include <QByteArray>

#include <cstdint>
#include <map>

namespace qev::swf {

// The codec ids of DefineVideoStream (and of FLV video tags).
enum class VideoCodec : std::uint8_t {
    None = 0,
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
    H264 = 7, // FLV files only
};

struct VideoStream {
    std::uint16_t declaredFrameCount = 0;
    std::uint16_t width = 0;  // pixels
    std::uint16_t height = 0;
    // 0: as the stream says, 1: off, 2..7: stronger filter levels.
    std::uint8_t deblocking = 0;
    bool smoothing = false;
    std::uint8_t codecId = 0; // a VideoCodec value, kept raw: unknown ids show nothing
    // Stream frame number -> the frame's packet as stored (VIDEOPACKET).
    // A later VideoFrame for the same number replaces the earlier one.
    std::map<std::uint16_t, QByteArray> frames;

    VideoCodec codec() const { return VideoCodec(codecId); }
};

} // namespace qev::swf
