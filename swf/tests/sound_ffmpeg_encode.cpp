// Test-time encoding with FFmpeg, for the codecs our writer does not encode
// itself (MP3, Nellymoser, Speex, and AAC for FLV files).

#include "sound_test_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstring>

namespace qev::swf::testing {

QByteArray encodeWithFfmpeg(const char* name, const std::vector<std::int16_t>& samples, int rate,
                            std::vector<QByteArray>* packets, QByteArray* setup)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        return {};
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, 1);
    // The first sample format the encoder takes.
    ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (std::string(name) == "libmp3lame") {
        ctx->bit_rate = 64000;
        ctx->sample_fmt = AV_SAMPLE_FMT_S16P;
    }
    QByteArray out;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return {};
    }
    if (setup && ctx->extradata)
        *setup = QByteArray(reinterpret_cast<const char*>(ctx->extradata), ctx->extradata_size);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            const QByteArray bytes(reinterpret_cast<const char*>(packet->data), packet->size);
            out += bytes;
            if (packets)
                packets->push_back(bytes);
            av_packet_unref(packet);
        }
    };
    for (std::size_t at = 0; at < samples.size(); at += std::size_t(frameSize)) {
        frame->nb_samples = frameSize;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_default(&frame->ch_layout, 1);
        av_frame_get_buffer(frame, 0);
        for (int i = 0; i < frameSize; ++i) {
            const std::size_t k = at + std::size_t(i);
            const std::int16_t s = k < samples.size() ? samples[k] : 0;
            if (ctx->sample_fmt == AV_SAMPLE_FMT_FLT || ctx->sample_fmt == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(frame->data[0])[i] = s / 32768.0f;
            else
                reinterpret_cast<std::int16_t*>(frame->data[0])[i] = s;
        }
        avcodec_send_frame(ctx, frame);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

} // namespace qev::swf::testing
