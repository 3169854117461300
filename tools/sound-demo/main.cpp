// make-sound-demo: writes a movie to hear the engine's sound with.
//   make-sound-demo OUT.swf
// Twenty seconds at 12 frames per second: a streaming MP3 soundtrack (a
// slow arpeggio, encoded here with FFmpeg's MP3 encoder) under a bar that
// moves with it, and a button that chimes when the pointer enters it and
// clicks when pressed.
#include "qev/swf/SoundWriter.h"
#include "qev/swf/Writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <QFile>

#include <cmath>
#include <cstdio>
#include <numbers>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

constexpr double kFps = 12;
constexpr int kRate = 44100;
constexpr int kSeconds = 20;

// A note every quarter second, rising through a major chord, with a soft
// attack and decay so the notes do not click.
std::vector<std::int16_t> arpeggio()
{
    const double notes[] = {261.63, 329.63, 392.0, 523.25};
    std::vector<std::int16_t> out(std::size_t(kSeconds * kRate));
    const std::size_t noteLength = kRate / 4;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double hz = notes[(i / noteLength) % 4];
        const double t = double(i % noteLength) / kRate;
        const double envelope = std::min(1.0, t * 100) * std::exp(-t * 6);
        out[i] = std::int16_t(9000 * envelope * std::sin(2 * std::numbers::pi * hz * double(i) / kRate));
    }
    return out;
}

// MP3 frames of mono samples at kRate (1152 samples each).
std::vector<QByteArray> mp3Frames(const std::vector<std::int16_t>& samples)
{
    std::vector<QByteArray> frames;
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec)
        return frames;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = kRate;
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->sample_fmt = AV_SAMPLE_FMT_S16P;
    ctx->bit_rate = 96000;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        return frames;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            frames.emplace_back(reinterpret_cast<const char*>(packet->data), packet->size);
            av_packet_unref(packet);
        }
    };
    for (std::size_t at = 0; at < samples.size(); at += std::size_t(ctx->frame_size)) {
        frame->nb_samples = ctx->frame_size;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = kRate;
        av_channel_layout_default(&frame->ch_layout, 1);
        av_frame_get_buffer(frame, 0);
        auto* dst = reinterpret_cast<std::int16_t*>(frame->data[0]);
        for (int i = 0; i < ctx->frame_size; ++i)
            dst[i] = at + std::size_t(i) < samples.size() ? samples[at + std::size_t(i)] : 0;
        avcodec_send_frame(ctx, frame);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return frames;
}

ButtonRecord record(std::uint16_t shape, bool up, bool over, bool down, bool hit)
{
    ButtonRecord r;
    r.up = up;
    r.over = over;
    r.down = down;
    r.hitTest = hit;
    r.characterId = shape;
    r.depth = 1;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sound-demo OUT.swf\n");
        return 2;
    }
    const std::vector<QByteArray> frames = mp3Frames(arpeggio());
    if (frames.empty()) {
        std::fprintf(stderr, "make-sound-demo: no MP3 encoder in this FFmpeg\n");
        return 1;
    }
    MovieBuilder m(320, 240, kFps);
    m.setBackgroundColor(rgb(0x203040));
    const auto bar = m.defineShape(ShapeBuilder().fill(solid(rgb(0xF0C040))).rect(0, 0, 20, 20));
    const auto idle = m.defineShape(ShapeBuilder().fill(solid(rgb(0x4080F0))).rect(0, 0, 80, 40));
    const auto lit = m.defineShape(ShapeBuilder().fill(solid(rgb(0x80C0FF))).rect(0, 0, 80, 40));
    const auto pressed = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFFFFFF))).rect(0, 0, 80, 40));
    Button button;
    button.version = 2;
    button.records = {record(idle, true, false, false, true), record(lit, false, true, false, false),
                      record(pressed, false, false, true, false)};
    button.records[1].depth = 2;
    button.records[2].depth = 3;
    const auto buttonId = m.defineButton(button);
    const auto chime = defineSound(m, adpcmSound(sineWave(880, 0.25, 22050, 0.3), 22050, 4));
    const auto click = defineSound(m, pcmSound(sineWave(1500, 0.04, 22050, 0.5), 22050));
    std::array<std::optional<ButtonSound>, 4> sounds;
    sounds[Button::EnterSound] = ButtonSound{chime, {}};
    sounds[Button::PressSound] = ButtonSound{click, {}};
    defineButtonSound(m, buttonId, sounds);

    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Mp3, 3, true, false};
    head.samplesPerBlock = std::uint16_t(kRate / kFps);
    soundStreamHead(m, head);
    m.place(buttonId, 2, translatePx(120, 160));
    m.place(bar, 1);
    std::size_t next = 0;
    for (int f = 0; f < kSeconds * kFps; ++f) {
        QByteArray data;
        int count = 0;
        while (next < frames.size() && double(next * 1152) < (f + 1) * kRate / kFps) {
            data += frames[next++];
            count += 1152;
        }
        soundStreamBlock(m, mp3StreamBlock(std::uint16_t(count), 0, data));
        // The bar steps with the notes: one place per quarter second.
        const int note = int(f / (kFps / 4));
        m.move(1, translatePx(40 + 60 * (note % 4), 60));
        m.showFrame();
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(m.finish(Compression::Zlib)) < 0) {
        std::fprintf(stderr, "make-sound-demo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
