// Decoding cost per second of sound for each codec family, and the mixer's
// cost while a 44.1 kHz stereo MP3 soundtrack streams under four looping
// event sounds (one ADPCM, one MP3, two PCM), as a device pulls it in
// blocks of 1024 frames.
#include "media/Mixer.h"
#include "media/SoundDecoder.h"
#include "qev/swf/Player.h"
#include "qev/swf/SoundWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <benchmark/benchmark.h>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

// MP3 frames of interleaved 16-bit samples at rate, each as a packet.
std::vector<QByteArray> mp3Frames(const std::vector<std::int16_t>& samples, int rate, int channels)
{
    std::vector<QByteArray> packets;
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec)
        return packets;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = AV_SAMPLE_FMT_S16P;
    ctx->bit_rate = 128000;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        return packets;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const std::size_t n = samples.size() / std::size_t(channels);
    for (std::size_t at = 0; at <= n; at += std::size_t(ctx->frame_size)) {
        frame->nb_samples = ctx->frame_size;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_default(&frame->ch_layout, channels);
        av_frame_get_buffer(frame, 0);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < ctx->frame_size; ++i) {
                const std::size_t k = (at + std::size_t(i)) * std::size_t(channels) + std::size_t(c);
                reinterpret_cast<std::int16_t*>(frame->data[c])[i] = k < samples.size() ? samples[k] : 0;
            }
        avcodec_send_frame(ctx, frame);
        av_frame_unref(frame);
        while (avcodec_receive_packet(ctx, packet) == 0) {
            packets.emplace_back(reinterpret_cast<const char*>(packet->data), packet->size);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return packets;
}

std::vector<std::int16_t> stereoTone(double seconds, int rate)
{
    return interleave(sineWave(440, seconds, rate, 0.4), sineWave(554, seconds, rate, 0.4));
}

void decodeOneSecond(benchmark::State& state, const Sound& sound)
{
    for (auto _ : state) {
        const media::Pcm pcm = media::decodeSound(sound, nullptr);
        benchmark::DoNotOptimize(pcm.samples.data());
    }
    state.counters["audio_x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeSecondPcm44kStereo(benchmark::State& state)
{
    decodeOneSecond(state, pcmSound(stereoTone(1, 44100), 44100, true));
}
BENCHMARK(BM_DecodeSecondPcm44kStereo);

void BM_DecodeSecondAdpcm22kMono(benchmark::State& state)
{
    decodeOneSecond(state, adpcmSound(sineWave(440, 1, 22050), 22050, 4));
}
BENCHMARK(BM_DecodeSecondAdpcm22kMono);

void BM_DecodeSecondMp3_44kStereo(benchmark::State& state)
{
    Sound s;
    s.encoding = SoundEncoding{SoundFormat::Mp3, 3, true, true};
    for (const QByteArray& f : mp3Frames(stereoTone(1, 44100), 44100, 2))
        s.data += f;
    decodeOneSecond(state, s);
}
BENCHMARK(BM_DecodeSecondMp3_44kStereo);

// A 24 fps movie: a 44.1 kHz stereo MP3 stream of 60 s, and four event
// sounds on frame 0 that loop all along.
QByteArray soundtrackMovie()
{
    constexpr double fps = 24;
    const auto packets = mp3Frames(stereoTone(60, 44100), 44100, 2);
    MovieBuilder m(100, 100, fps);
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Mp3, 3, true, true};
    head.samplesPerBlock = 1837;
    soundStreamHead(m, head);
    SoundInfo loop;
    loop.loops = 1000;
    Sound mp3Event;
    mp3Event.encoding = head.encoding;
    const auto shortPackets = mp3Frames(stereoTone(0.5, 44100), 44100, 2);
    for (const QByteArray& f : shortPackets)
        mp3Event.data += f;
    startSound(m, defineSound(m, adpcmSound(sineWave(660, 0.7, 22050), 22050, 4)), loop);
    startSound(m, defineSound(m, mp3Event), loop);
    startSound(m, defineSound(m, pcmSound(sineWave(880, 0.3, 11025), 11025)), loop);
    startSound(m, defineSound(m, pcmSound(stereoTone(0.4, 44100), 44100, true)), loop);
    std::size_t next = 0;
    for (int f = 0; f < 60 * 24; ++f) {
        QByteArray data;
        int count = 0;
        while (next < packets.size() && double(next * 1152) < (f + 1) * 44100 / fps) {
            data += packets[next++];
            count += 1152;
        }
        soundStreamBlock(m, mp3StreamBlock(std::uint16_t(count), 0, data));
        m.showFrame();
    }
    return m.finish();
}

void BM_MixMp3StreamAndFourEventSounds(benchmark::State& state)
{
    static const QByteArray movie = soundtrackMovie();
    Player player;
    player.setSoundCapture(true);
    player.loadBytes(movie);
    auto mixer = player.mixer();
    std::vector<std::int16_t> out(1024 * 2);
    std::size_t mixed = 0;
    for (auto _ : state) {
        if (mixed > 50 * 44100) {
            state.PauseTiming();
            player.loadBytes(movie);
            mixed = 0;
            state.ResumeTiming();
        }
        mixer->mix(out.data(), 1024);
        mixed += 1024;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["voices"] = double(mixer->voiceCount());
    state.counters["audio_x_realtime"] =
        benchmark::Counter(double(state.iterations()) * 1024 / 44100, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixMp3StreamAndFourEventSounds);

} // namespace
