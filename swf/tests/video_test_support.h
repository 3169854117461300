#pragma once

#include <cstring>

// Small video streams made at test time with libavcodec's own encoders
// (Sorenson H.263, Screen Video 1 and 2), so the tests need no sample files.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <vector>

namespace qev::swf::testing {

// One packet per picture, in order; empty when the encoder is missing or fails.
inline std::vector<QByteArray> encodeVideo(AVCodecID id, const std::vector<QImage>& pictures, int keyInterval)
{
    std::vector<QByteArray> packets;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec || pictures.empty())
        return packets;
    const int w = pictures.front().width(), h = pictures.front().height();
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = w;
    ctx->height = h;
    ctx->time_base = {1, 25};
    ctx->gop_size = keyInterval;
    ctx->max_b_frames = 0;
    ctx->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 2;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return packets;
    }
    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt;
    frame->width = w;
    frame->height = h;
    av_frame_get_buffer(frame, 0);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, ctx->pix_fmt, SWS_BILINEAR | SWS_ACCURATE_RND,
                                     nullptr, nullptr, nullptr);
    AVPacket* packet = av_packet_alloc();
    auto collect = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            packets.emplace_back(reinterpret_cast<const char*>(packet->data), packet->size);
            av_packet_unref(packet);
        }
    };
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const QImage src = pictures[i].convertToFormat(QImage::Format_RGB32);
        av_frame_make_writable(frame);
        const std::uint8_t* srcData[4] = {src.constBits(), nullptr, nullptr, nullptr};
        const int srcStride[4] = {int(src.bytesPerLine()), 0, 0, 0};
        sws_scale(sws, srcData, srcStride, 0, h, frame->data, frame->linesize);
        frame->pts = std::int64_t(i);
        frame->pict_type = i % std::size_t(keyInterval) == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        avcodec_send_frame(ctx, frame);
        collect();
    }
    avcodec_send_frame(ctx, nullptr);
    collect();
    av_packet_free(&packet);
    sws_freeContext(sws);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return packets;
}

// The colour of test picture i: each frame differs from the one before.
inline QRgb testColor(int i)
{
    return qRgb((i * 37) % 256, 255 - (i * 23) % 256, (i * 71 + 40) % 256);
}

// Picture i: its colour on the left half, a white square on the right
// half that moves down one pixel per frame.
inline QImage testPicture(int i, int w = 64, int h = 48)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, QColor::fromRgb(testColor(i)));
    p.fillRect(w / 2 + 8, i % (h - 8), 8, 8, Qt::white);
    return image;
}

inline std::vector<QImage> testPictures(int count, int w = 64, int h = 48)
{
    std::vector<QImage> out;
    for (int i = 0; i < count; ++i)
        out.push_back(testPicture(i, w, h));
    return out;
}

// Bytes of FLV files as tests write them: big-endian numbers, AMF0 values
// and tags.
inline QByteArray be(std::uint32_t v, int n)
{
    QByteArray b;
    for (int i = n - 1; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

inline QByteArray amfString(const QByteArray& s) { return be(std::uint32_t(s.size()), 2) + s; }

inline QByteArray amfNumber(double d)
{
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return QByteArray(1, '\0') + be(std::uint32_t(bits >> 32), 4) + be(std::uint32_t(bits), 4);
}

// One FLV tag with the size of the tag after it.
inline QByteArray flvTag(int type, std::uint32_t timeMs, const QByteArray& body)
{
    QByteArray t = be(std::uint32_t(type), 1) + be(std::uint32_t(body.size()), 3) + be(timeMs & 0xFFFFFF, 3)
        + be(timeMs >> 24, 1) + be(0, 3) + body;
    return t + be(std::uint32_t(t.size()), 4);
}

} // namespace qev::swf::testing
