#include "video/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

namespace qev::swf::video {

Q_LOGGING_CATEGORY(videoLog, "qev.swf.video", QtWarningMsg)

namespace {

AVCodecID codecIdFor(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::SorensonH263:
        return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo:
        return AV_CODEC_ID_FLASHSV;
    case VideoCodec::Vp6:
        return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha:
        return AV_CODEC_ID_VP6A;
    case VideoCodec::ScreenVideo2:
        return AV_CODEC_ID_FLASHSV2;
    case VideoCodec::H264:
        return AV_CODEC_ID_H264;
    default:
        return AV_CODEC_ID_NONE;
    }
}

// libavcodec would print every fault of a broken stream on stderr; the
// decoder's callers warn once per frame instead.
void quietLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Pictures larger than this are refused whatever the stream claims.
constexpr int kMaxSide = 4096;

} // namespace

struct DecoderState {
    const AVCodec* codec = nullptr;
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    int deblocking = 0;
    QByteArray extra;

    ~DecoderState() { close(); }

    void close()
    {
        sws_freeContext(scaler);
        scaler = nullptr;
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }

    bool open()
    {
        close();
        if (!codec)
            return false;
        context = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!context || !packet || !frame)
            return false;
        // One thread: pictures come out for the packet that went in, which
        // frame-by-frame stepping relies on.
        context->thread_count = 1;
        if (deblocking == 1)
            context->skip_loop_filter = AVDISCARD_ALL;
        if (!extra.isEmpty()) {
            context->extradata = static_cast<std::uint8_t*>(av_mallocz(std::size_t(extra.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!context->extradata)
                return false;
            std::memcpy(context->extradata, extra.constData(), std::size_t(extra.size()));
            context->extradata_size = int(extra.size());
        }
        if (avcodec_open2(context, codec, nullptr) < 0) {
            avcodec_free_context(&context);
            return false;
        }
        return true;
    }

    QImage toImage(int width, int height)
    {
        int w = frame->width, h = frame->height;
        if (width > 0)
            w = std::min(w, width);
        if (height > 0)
            h = std::min(h, height);
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide)
            return {};
        const auto format = AVPixelFormat(frame->format);
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
        if (!desc)
            return {};
        const bool alpha = desc->flags & AV_PIX_FMT_FLAG_ALPHA;
        scaler = sws_getCachedContext(scaler, w, h, format, w, h, AV_PIX_FMT_BGRA,
                                      SWS_POINT, nullptr, nullptr, nullptr);
        if (!scaler)
            return {};
        // libswscale's unscaled converters work on pixel and line pairs
        // in whole vector widths and may write past the last pixel of a line
        // and past an odd last line: they write into a padded picture.
        QImage padded((w + 63) / 64 * 64 + 64, h + 2, QImage::Format_ARGB32);
        if (padded.isNull())
            return {};
        std::uint8_t* dst[4] = {padded.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(padded.bytesPerLine()), 0, 0, 0};
        if (sws_scale(scaler, frame->data, frame->linesize, 0, h, dst, dstStride) != h)
            return {};
        QImage image = padded.copy(0, 0, w, h);
        if (!alpha)
            return image.convertToFormat(QImage::Format_RGB32);
        // Streams with alpha carry colours already multiplied by it; a
        // colour above its alpha (coding noise) is cut down to it.
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int a = qAlpha(line[x]);
                line[x] = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a), std::min(qBlue(line[x]), a), a);
            }
        }
        return image;
    }
};

VideoDecoder::VideoDecoder(VideoCodec codec, int deblocking)
    : state_(std::make_unique<DecoderState>())
{
    quietLibraryLog();
    const AVCodecID id = codecIdFor(codec);
    state_->codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    state_->deblocking = deblocking;
    if (!state_->codec)
        qCWarning(videoLog, "no decoder for video codec %d", int(codec));
    else if (!state_->open())
        qCWarning(videoLog, "the decoder for video codec %d did not open", int(codec));
}

VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::valid() const { return state_->context != nullptr; }

void VideoDecoder::setExtraData(const QByteArray& extra)
{
    state_->extra = extra;
    if (state_->codec)
        state_->open();
}

void VideoDecoder::restart()
{
    if (state_->context)
        avcodec_flush_buffers(state_->context);
}

QImage VideoDecoder::decode(const QByteArray& packet, int width, int height)
{
    DecoderState& s = *state_;
    if (!s.context || packet.isEmpty())
        return {};
    // libavcodec reads up to its padding past a packet's end; a copy with
    // zeroed padding keeps that inside our memory.
    if (av_new_packet(s.packet, int(packet.size())) < 0)
        return {};
    std::memcpy(s.packet->data, packet.constData(), std::size_t(packet.size()));
    const int sent = avcodec_send_packet(s.context, s.packet);
    av_packet_unref(s.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN))
        return {};
    QImage image;
    // Drain every picture this packet gave; the last one is this frame's.
    while (avcodec_receive_frame(s.context, s.frame) == 0) {
        image = s.toImage(width, height);
        av_frame_unref(s.frame);
    }
    return image;
}

namespace {

// Sorensen H.263: a 17-bit start code, 5 bits of version, 8 bits of
// temporal reference, 3 bits of picture size (with 8 or 16 bits of width and
// height for sizes 0 and 1), then 2 bits of picture type, 0 being intra.
bool h263KeyFrame(const QByteArray& p)
{
    int pos = 17 + 5 + 8;
    auto take = [&](int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++pos) {
            if (pos / 8 >= p.size())
                return ~0u;
            v = (v << 1) | ((std::uint8_t(p[pos / 8]) >> (7 - pos % 8)) & 1);
        }
        return v;
    };
    const unsigned size = take(3);
    if (size == 0)
        pos += 16;
    else if (size == 1)
        pos += 32;
    return take(2) == 0;
}

// Screen video: a frame that carries every block needs no earlier one.
bool screenVideoKeyFrame(const QByteArray& p)
{
    if (p.size() < 4)
        return false;
    auto u8 = [&](int i) { return unsigned(std::uint8_t(p[i])); };
    const unsigned blockWidth = ((u8(0) >> 4) + 1) * 16;
    const unsigned width = ((u8(0) & 0x0F) << 8) | u8(1);
    const unsigned blockHeight = ((u8(2) >> 4) + 1) * 16;
    const unsigned height = ((u8(2) & 0x0F) << 8) | u8(3);
    const unsigned blocks = ((width + blockWidth - 1) / blockWidth) * ((height + blockHeight - 1) / blockHeight);
    qsizetype pos = 4;
    for (unsigned i = 0; i < blocks; ++i) {
        if (pos + 2 > p.size())
            return false;
        const unsigned size = (u8(int(pos)) << 8) | u8(int(pos + 1));
        if (size == 0)
            return false;
        pos += 2 + size;
    }
    return true;
}

} // namespace

bool isKeyFrame(VideoCodec codec, const QByteArray& packet)
{
    switch (codec) {
    case VideoCodec::SorensonH263:
        return h263KeyFrame(packet);
    case VideoCodec::Vp6:
        // The first bit of a VP6 frame is 0 for an intra frame.
        return !packet.isEmpty() && !(std::uint8_t(packet[0]) & 0x80);
    case VideoCodec::Vp6Alpha:
        // Three bytes of offset to the alpha plane come first.
        return packet.size() > 3 && !(std::uint8_t(packet[3]) & 0x80);
    case VideoCodec::ScreenVideo:
        return screenVideoKeyFrame(packet);
    default:
        // Screen video 2 and H.264 (by packet) cannot tell: decode from the start.
        return false;
    }
}

} // namespace qev::swf::video
