#include "media/SoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

namespace qev::swf::media {

namespace {

// FFmpeg's own messages would go to standard error on every damaged frame;
// problems are reported through error() instead.
void quietFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

const AVCodec* findDecoder(const SoundEncoding& e)
{
    switch (e.format) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittle:
        // 8-bit samples are unsigned, 16-bit ones signed little-endian:
        // the machines that made "native" files were little-endian.
        return avcodec_find_decoder(e.sixteenBit ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_PCM_U8);
    case SoundFormat::Adpcm:
        return avcodec_find_decoder(AV_CODEC_ID_ADPCM_SWF);
    case SoundFormat::Mp3:
        return avcodec_find_decoder(AV_CODEC_ID_MP3);
    case SoundFormat::Nellymoser16k:
    case SoundFormat::Nellymoser8k:
    case SoundFormat::Nellymoser:
        return avcodec_find_decoder(AV_CODEC_ID_NELLYMOSER);
    case SoundFormat::Aac:
        return avcodec_find_decoder(AV_CODEC_ID_AAC);
    case SoundFormat::Speex:
        // FFmpeg's own Speex decoder takes the byte-aligned frames one after
        // another from one piece; the libspeex wrapper decodes one frame per
        // packet and prints to standard error.
        if (const AVCodec* c = avcodec_find_decoder_by_name("speex"))
            return c;
        return avcodec_find_decoder(AV_CODEC_ID_SPEEX);
    }
    return nullptr;
}

bool isNellymoser(SoundFormat f)
{
    return f == SoundFormat::Nellymoser16k || f == SoundFormat::Nellymoser8k || f == SoundFormat::Nellymoser;
}

// Speex data is a row of frames, each starting on a byte. The decoder takes
// one frame per packet, so the row is cut where each frame ends: a frame is
// a narrowband layer (flag bit 0, 4-bit mode, then the mode's bits) and,
// in wideband, a high-band layer (flag bit 1, 3-bit mode, its bits). The
// bit counts below include each layer's header.
std::vector<std::pair<std::size_t, std::size_t>> speexFrames(const std::uint8_t* data, std::size_t size)
{
    static constexpr int narrowBits[16] = {5, 43, 119, 160, 220, 300, 364, 492, 79, 0, 0, 0, 0, 0, 0, 0};
    static constexpr int wideBits[8] = {4, 36, 112, 192, 352, 0, 0, 0};
    const std::size_t totalBits = size * 8;
    auto bitAt = [data](std::size_t i) { return (data[i / 8] >> (7 - i % 8)) & 1; };
    auto read = [&](std::size_t at, int n) {
        int v = 0;
        for (int k = 0; k < n; ++k)
            v = (v << 1) | bitAt(at + std::size_t(k));
        return v;
    };
    std::vector<std::pair<std::size_t, std::size_t>> frames;
    std::size_t at = 0;
    while (at + 5 <= totalBits) {
        const std::size_t start = at;
        std::size_t bits = 0;
        if (bitAt(at) == 0 && narrowBits[read(at + 1, 4)] > 0) {
            bits = std::size_t(narrowBits[read(at + 1, 4)]);
            if (start + bits + 4 <= totalBits && bitAt(start + bits) == 1 && wideBits[read(start + bits + 1, 3)] > 0)
                bits += std::size_t(wideBits[read(start + bits + 1, 3)]);
        }
        if (bits == 0) {
            at = (start / 8 + 1) * 8; // not a frame: look at the next byte
            continue;
        }
        const std::size_t end = std::min(totalBits, (start + bits + 7) / 8 * 8);
        frames.emplace_back(start / 8, (end - start) / 8);
        at = end;
    }
    return frames;
}

} // namespace

struct SoundDecoder::Impl {
    SoundEncoding encoding;
    AVCodecContext* ctx = nullptr;
    AVCodecParserContext* parser = nullptr; // MP3: frames may straddle pieces
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    int swrRate = 0;
    int swrChannels = 0;
    int swrFormat = -1;
    int inChannels = 1;
    QString error;
    std::vector<std::int16_t> converted;

    ~Impl()
    {
        swr_free(&swr);
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (parser)
            av_parser_close(parser);
        avcodec_free_context(&ctx);
    }

    void fail(const QString& message)
    {
        if (error.isEmpty())
            error = message;
    }

    bool open(QByteArrayView setup)
    {
        quietFfmpeg();
        const AVCodec* codec = findDecoder(encoding);
        if (!codec) {
            fail(QStringLiteral("sound format %1 is not supported").arg(int(encoding.format)));
            return false;
        }
        ctx = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!ctx || !packet || !frame) {
            fail(QStringLiteral("out of memory for a sound decoder"));
            return false;
        }
        // Nellymoser and Speex are mono whatever the flags say.
        inChannels = (isNellymoser(encoding.format) || encoding.format == SoundFormat::Speex) ? 1 : encoding.channels();
        av_channel_layout_default(&ctx->ch_layout, inChannels);
        ctx->sample_rate = encoding.sampleRate();
        if (!setup.isEmpty() && setup.size() < (1 << 16)) {
            ctx->extradata = static_cast<std::uint8_t*>(av_mallocz(std::size_t(setup.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!ctx->extradata) {
                fail(QStringLiteral("out of memory for a sound decoder"));
                return false;
            }
            std::memcpy(ctx->extradata, setup.data(), std::size_t(setup.size()));
            ctx->extradata_size = int(setup.size());
        }
        if (avcodec_open2(ctx, codec, nullptr) < 0) {
            fail(QStringLiteral("the %1 decoder cannot be opened").arg(QString::fromLatin1(codec->name)));
            avcodec_free_context(&ctx);
            return false;
        }
        if (encoding.format == SoundFormat::Mp3)
            parser = av_parser_init(AV_CODEC_ID_MP3);
        return true;
    }

    // The piece rounded down to what the codec can take whole.
    std::size_t usable(std::size_t size) const
    {
        if (encoding.format == SoundFormat::PcmNative || encoding.format == SoundFormat::PcmLittle) {
            const std::size_t unit = std::size_t(inChannels) * (encoding.sixteenBit ? 2 : 1);
            return size - size % unit;
        }
        if (isNellymoser(encoding.format))
            return size - size % 64; // 64-byte blocks of 256 samples
        return size;
    }

    void send(const std::uint8_t* data, std::size_t size, Pcm& out, std::size_t maxFrames)
    {
        if (size > std::size_t(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE))
            return;
        if (av_new_packet(packet, int(size)) < 0) {
            fail(QStringLiteral("out of memory for sound data"));
            return;
        }
        std::memcpy(packet->data, data, size);
        const int sent = avcodec_send_packet(ctx, packet);
        av_packet_unref(packet);
        if (sent < 0 && sent != AVERROR(EAGAIN))
            fail(QStringLiteral("damaged sound data"));
        receive(out, maxFrames);
    }

    void receive(Pcm& out, std::size_t maxFrames)
    {
        while (true) {
            const int got = avcodec_receive_frame(ctx, frame);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return;
            if (got < 0) {
                fail(QStringLiteral("damaged sound data"));
                return;
            }
            convert(frame->extended_data, frame->nb_samples, frame->ch_layout.nb_channels, frame->format,
                    frame->sample_rate, out, maxFrames);
            av_frame_unref(frame);
        }
    }

    bool ensureResampler(int channels, int format, int rate)
    {
        channels = std::clamp(channels, 1, 2);
        if (swr && channels == swrChannels && format == swrFormat && rate == swrRate)
            return true;
        swr_free(&swr);
        AVChannelLayout in, outLayout;
        av_channel_layout_default(&in, channels);
        av_channel_layout_default(&outLayout, channels);
        if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, kMixRate, &in, AVSampleFormat(format), rate, 0,
                                nullptr)
                < 0
            || swr_init(swr) < 0) {
            swr_free(&swr);
            fail(QStringLiteral("sound at %1 Hz cannot be resampled").arg(rate));
            return false;
        }
        swrChannels = channels;
        swrFormat = format;
        swrRate = rate;
        return true;
    }

    // Resamples to the mix rate keeping the channel count, then spreads
    // mono over both sides at full level.
    void convert(std::uint8_t** data, int samples, int channels, int format, int rate, Pcm& out, std::size_t maxFrames)
    {
        if (channels < 1 || channels > 2 || rate <= 0 || rate > 384000) {
            fail(QStringLiteral("decoded sound has %1 channels at %2 Hz").arg(channels).arg(rate));
            return;
        }
        if (!ensureResampler(channels, format, rate))
            return;
        const int room = swr_get_out_samples(swr, samples);
        if (room <= 0)
            return;
        converted.resize(std::size_t(room) * std::size_t(channels));
        auto* target = reinterpret_cast<std::uint8_t*>(converted.data());
        const int made = swr_convert(swr, &target, room, const_cast<const std::uint8_t**>(data), samples);
        if (made <= 0)
            return;
        append(made, channels, out, maxFrames);
    }

    void append(int made, int channels, Pcm& out, std::size_t maxFrames)
    {
        const std::size_t have = out.frames();
        const std::size_t take = std::min<std::size_t>(std::size_t(made), maxFrames > have ? maxFrames - have : 0);
        if (take == 0)
            return;
        out.samples.reserve(out.samples.size() + take * 2);
        if (channels == 2) {
            out.samples.insert(out.samples.end(), converted.begin(), converted.begin() + std::ptrdiff_t(take * 2));
        } else {
            for (std::size_t i = 0; i < take; ++i) {
                out.samples.push_back(converted[i]);
                out.samples.push_back(converted[i]);
            }
        }
    }
};

SoundDecoder::SoundDecoder(const SoundEncoding& encoding, QByteArrayView setup) : d(std::make_unique<Impl>())
{
    d->encoding = encoding;
    d->open(setup);
}

SoundDecoder::~SoundDecoder() = default;

bool SoundDecoder::ok() const
{
    return d->ctx != nullptr;
}

QString SoundDecoder::error() const
{
    return d->error;
}

void SoundDecoder::decode(QByteArrayView data, Pcm& out, std::size_t maxFrames)
{
    if (!d->ctx || data.isEmpty() || out.frames() >= maxFrames)
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t size = std::size_t(data.size());
    if (d->encoding.format == SoundFormat::Speex) {
        for (auto [offset, length] : speexFrames(bytes, size)) {
            if (out.frames() >= maxFrames)
                break;
            d->send(bytes + offset, length, out, maxFrames);
        }
        return;
    }
    if (!d->parser) {
        size = d->usable(size);
        if (size > 0)
            d->send(bytes, size, out, maxFrames);
        return;
    }
    while (size > 0 && out.frames() < maxFrames) {
        std::uint8_t* frameData = nullptr;
        int frameSize = 0;
        const int used = av_parser_parse2(d->parser, d->ctx, &frameData, &frameSize, bytes, int(std::min<std::size_t>(size, INT32_MAX / 2)),
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            d->fail(QStringLiteral("damaged MP3 data"));
            return;
        }
        bytes += used;
        size -= std::size_t(used);
        if (frameSize > 0)
            d->send(frameData, std::size_t(frameSize), out, maxFrames);
        else if (used == 0)
            break;
    }
}

void SoundDecoder::flush(Pcm& out, std::size_t maxFrames)
{
    if (!d->ctx)
        return;
    if (d->parser) {
        std::uint8_t* frameData = nullptr;
        int frameSize = 0;
        av_parser_parse2(d->parser, d->ctx, &frameData, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (frameSize > 0)
            d->send(frameData, std::size_t(frameSize), out, maxFrames);
    }
    if (avcodec_send_packet(d->ctx, nullptr) >= 0)
        d->receive(out, maxFrames);
    avcodec_flush_buffers(d->ctx);
    if (d->swr && out.frames() < maxFrames) {
        const int room = swr_get_out_samples(d->swr, 0);
        if (room > 0) {
            d->converted.resize(std::size_t(room) * std::size_t(d->swrChannels));
            auto* target = reinterpret_cast<std::uint8_t*>(d->converted.data());
            const int made = swr_convert(d->swr, &target, room, nullptr, 0);
            if (made > 0)
                d->append(made, d->swrChannels, out, maxFrames);
        }
    }
}

Pcm decodeSound(const Sound& sound, QString* warning, double maxSeconds)
{
    Pcm pcm;
    SoundDecoder decoder(sound.encoding);
    const std::size_t maxFrames = std::size_t(std::max(0.0, maxSeconds) * kMixRate);
    decoder.decode(QByteArrayView(sound.data), pcm, maxFrames);
    decoder.flush(pcm, maxFrames);
    if (warning) {
        if (!decoder.error().isEmpty())
            *warning = decoder.error();
        else if (pcm.frames() == 0 && !sound.data.isEmpty())
            *warning = QStringLiteral("sound data gives no samples");
        else if (pcm.frames() >= maxFrames)
            *warning = QStringLiteral("sound cut at %1 seconds").arg(maxSeconds);
    }
    return pcm;
}

} // namespace qev::swf::media
