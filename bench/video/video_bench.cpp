// Speed of video. libavcodec has no VP6 encoder, so the VP6 frame comes
// from a reference movie outside the repository when it is there
// (QEV_VP6_MOVIE, else the shared reference movies beside the checkout);
// the stepping runs on a Sorenson H.263 stream encoded here, one key frame
// every 30 frames like common encoder settings.
#include "qev/swf/Player.h"
#include "qev/swf/Reader.h"
#include "qev/swf/Writer.h"
#include "video/StreamPictures.h"
#include "video_test_support.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

QString vp6MoviePath()
{
    const QString env = qEnvironmentVariable("QEV_VP6_MOVIE");
    if (!env.isEmpty())
        return env;
    return QStringLiteral(QEV_SOURCE_DIR "/../shared/swf-corpus/visual-video-colorconversion-vp6/test.swf");
}

const VideoStream* firstStream(const Movie& movie)
{
    for (const auto& [id, character] : movie.dictionary)
        if (const auto* v = std::get_if<VideoStream>(&character))
            return v;
    return nullptr;
}

// Decoding one 640 x 480 VP6 key frame, then drawing it at its size.
void BM_Vp6DecodeAndDraw640x480(benchmark::State& state)
{
    if (!QFile::exists(vp6MoviePath())) {
        state.SkipWithError("no VP6 movie (set QEV_VP6_MOVIE)");
        return;
    }
    const Movie movie = readMovieFile(vp6MoviePath());
    const VideoStream* stream = firstStream(movie);
    if (!stream || stream->frames.empty()) {
        state.SkipWithError("the movie has no video frame");
        return;
    }
    QImage target(640, 480, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        qev::swf::video::StreamPictures pictures(*stream, 0); // no cache: every picture decoded
        const QImage picture = pictures.picture(stream->frames.begin()->first);
        QPainter painter(&target);
        painter.drawImage(QRectF(0, 0, 640, 480), picture);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_Vp6DecodeAndDraw640x480)->Unit(benchmark::kMillisecond);

// A whole movie drawn by the player: a frame showing that VP6 picture.
void BM_Vp6MovieFrame(benchmark::State& state)
{
    if (!QFile::exists(vp6MoviePath())) {
        state.SkipWithError("no VP6 movie (set QEV_VP6_MOVIE)");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Player player;
        player.load(vp6MoviePath());
        state.ResumeTiming();
        benchmark::DoNotOptimize(player.renderImage(QSize(640, 480)).constBits());
    }
}
BENCHMARK(BM_Vp6MovieFrame)->Unit(benchmark::kMillisecond);

constexpr int kFrames = 120;

QByteArray steppingMovie()
{
    const auto packets = qev::swf::testing::encodeVideo(AV_CODEC_ID_FLV1, qev::swf::testing::testPictures(kFrames, 640, 480), 30);
    MovieBuilder m(640, 480, 30, 8);
    QByteArray header(8, '\0');
    header[0] = char(kFrames);
    header[2] = char(640 & 0xFF);
    header[3] = char(640 >> 8);
    header[4] = char(480 & 0xFF);
    header[5] = char(480 >> 8);
    header[7] = char(VideoCodec::SorensonH263);
    const std::uint16_t id = m.defineRaw(60, header);
    for (int i = 0; i < kFrames && i < int(packets.size()); ++i) {
        QByteArray frame(4, '\0');
        frame[0] = char(id & 0xFF);
        frame[1] = char(id >> 8);
        frame[2] = char(i & 0xFF);
        frame[3] = char(i >> 8);
        m.rawTag(61, frame + packets[std::size_t(i)], true);
        PlaceObject p;
        p.depth = 1;
        p.ratio = std::uint16_t(i);
        if (i == 0)
            p.characterId = id;
        else
            p.move = true;
        m.place(p);
        m.showFrame();
    }
    return m.finish();
}

// One tick of the toolbar's rewind (two frames back, drawn) or forward (two
// frames on), over a whole 640 x 480 stream; the time is per tick.
void stepping(benchmark::State& state, int step)
{
    const QByteArray bytes = steppingMovie();
    Player player;
    player.loadBytes(bytes);
    player.setPlaying(false);
    int frame = step < 0 ? kFrames - 1 : 0;
    player.gotoFrame(frame);
    for (auto _ : state) {
        frame += step;
        if (frame < 0 || frame >= kFrames)
            frame = step < 0 ? kFrames - 1 : 0;
        player.gotoFrame(frame);
        benchmark::DoNotOptimize(player.renderImage(QSize(640, 480)).constBits());
    }
}

void BM_RewindTick640x480(benchmark::State& state) { stepping(state, -2); }
BENCHMARK(BM_RewindTick640x480)->Unit(benchmark::kMillisecond);

void BM_ForwardTick640x480(benchmark::State& state) { stepping(state, 2); }
BENCHMARK(BM_ForwardTick640x480)->Unit(benchmark::kMillisecond);

// The dearest rewind tick: from a key frame two frames back into the key
// interval before it, which decodes that whole interval (29 packets).
void BM_RewindTickIntoEarlierKeyInterval640x480(benchmark::State& state)
{
    const QByteArray bytes = steppingMovie();
    for (auto _ : state) {
        state.PauseTiming();
        Player player;
        player.loadBytes(bytes);
        player.setPlaying(false);
        player.gotoFrame(60);
        benchmark::DoNotOptimize(player.renderImage(QSize(640, 480)).constBits());
        state.ResumeTiming();
        player.gotoFrame(58);
        benchmark::DoNotOptimize(player.renderImage(QSize(640, 480)).constBits());
    }
}
BENCHMARK(BM_RewindTickIntoEarlierKeyInterval640x480)->Unit(benchmark::kMillisecond);

} // namespace
