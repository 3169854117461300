#include "Context.h"

namespace qev::swf::detail {

// DefineVideoStream: id, frame count, size, then one byte of flags
// (4 reserved bits, 3 bits of deblocking, 1 bit of smoothing) and the codec.
void readDefineVideoStream(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    VideoStream video;
    video.declaredFrameCount = r.u16();
    video.width = r.u16();
    video.height = r.u16();
    const std::uint8_t flags = r.u8();
    video.deblocking = (flags >> 1) & 0x07;
    video.smoothing = flags & 0x01;
    video.codecId = r.u8();
    ctx.define(id, std::move(video));
}

// VideoFrame: the stream it belongs to, its frame number within the stream,
// and the packet. The frames are kept with their stream, since a stream is
// shown by frame number wherever it is placed.
void readVideoFrame(BitReader& r, Context& ctx)
{
    const std::uint16_t streamId = r.u16();
    const std::uint16_t frameNumber = r.u16();
    auto it = ctx.movie.dictionary.find(streamId);
    VideoStream* video = it == ctx.movie.dictionary.end() ? nullptr : std::get_if<VideoStream>(&it->second);
    if (!video) {
        ctx.warn(QStringLiteral("video frame for %1, which is not a video stream").arg(streamId));
        return;
    }
    video->frames.insert_or_assign(frameNumber, r.rest());
}

} // namespace qev::swf::detail
