#pragma once

// One video stream's decoder: packets in decoding order in, pictures out.
// libavcodec does the decoding; this class only knows which decoder each
// SWF and FLV codec id maps to and how its pictures become QImages.

#include <qev/swf/model/Video.h>

#include <QByteArray>
#include <QImage>
#include <QLoggingCategory>

#include <memory>

namespace qev::swf::video {

Q_DECLARE_LOGGING_CATEGORY(videoLog)

struct DecoderState;

class VideoDecoder {
public:
    // deblocking as in DefineVideoStream (1 turns the stream's own filter
    // off). A codec libavcodec lacks gives a decoder that decodes nothing.
    VideoDecoder(VideoCodec codec, int deblocking);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool valid() const;
    // Decodes one packet. Returns the picture cut to at most width x height
    // (0: no cut), premultiplied ARGB; a null image when the packet could
    // not be decoded (the decoder stays usable).
    QImage decode(const QByteArray& packet, int width, int height);
    // Forgets earlier pictures, before decoding from a key frame again.
    void restart();
    // Codec setup bytes some FLV streams carry (VP6's size adjustment, H.264's
    // configuration record); call before the first packet.
    void setExtraData(const QByteArray& extra);

private:
    std::unique_ptr<DecoderState> state_;
};

// Whether a packet starts a picture that needs no earlier one. Streams
// whose packets never say so (or say it wrongly) decode from their first
// frame.
bool isKeyFrame(VideoCodec codec, const QByteArray& packet);

} // namespace qev::swf::video
