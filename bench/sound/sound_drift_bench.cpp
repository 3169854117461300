// A 60-second streaming movie played by the control as the player plays
// it: real timers, and a stand-in device on its own thread that takes the
// mix at exactly 44.1 kHz in 1024-frame blocks with 60 ms of buffer. At the
// end (and once a second on the way) the frame shown is compared with the
// frame the heard sound belongs to. drift_end_frames and drift_max_frames
// are in frames at 12 fps; the target is under one.
#include "media/Mixer.h"
#include "qev/swf/FlashControl.h"
#include "qev/swf/SoundWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace qev::swf;
using namespace qev::swf::writer;

namespace {

constexpr double kFps = 12;
constexpr int kSeconds = 60;
constexpr std::int64_t kBufferFrames = 44100 * 60 / 1000;

QByteArray streamMovie()
{
    MovieBuilder m(100, 100, kFps);
    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Adpcm, 3, true, false};
    head.samplesPerBlock = 3675;
    soundStreamHead(m, head);
    const auto block = encodeAdpcm(sineWave(440, 3675.0 / 44100, 44100, 0.3), 1, 4);
    for (int f = 0; f < kSeconds * kFps + 24; ++f) {
        soundStreamBlock(m, block);
        m.showFrame();
    }
    return m.finish();
}

void BM_StreamDriftAfterAMinute(benchmark::State& state)
{
    qputenv("QEV_NO_AUDIO_DEVICE", "1");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stream.swf"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(streamMovie());
    file.close();

    for (auto _ : state) {
        FlashControl control;
        auto mixer = control.player().mixer();
        mixer->setListening(true);
        mixer->setOutputDelay(kBufferFrames);
        control.Movie(path);
        std::atomic<bool> done = false;
        std::atomic<std::int64_t> pulled = 0;
        QElapsedTimer clock;
        clock.start();
        std::thread device([&] {
            std::vector<std::int16_t> block(1024 * 2);
            while (!done) {
                // Keeps its buffer full: what was played plus the buffer.
                const auto due = std::int64_t(clock.nsecsElapsed() / 1e9 * 44100) + kBufferFrames;
                while (pulled + 1024 <= due) {
                    mixer->mix(block.data(), 1024);
                    pulled += 1024;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        double maxDrift = 0;
        auto driftNow = [&] {
            const double heard = double(pulled - kBufferFrames) * kFps / 44100;
            return control.FrameNum() - heard;
        };
        for (int s = 1; s <= kSeconds; ++s) {
            while (clock.elapsed() < s * 1000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            maxDrift = std::max(maxDrift, std::abs(driftNow()));
        }
        const double end = driftNow();
        done = true;
        device.join();
        state.counters["drift_end_frames"] = end;
        state.counters["drift_max_frames"] = maxDrift;
        state.counters["frame_at_end"] = control.FrameNum();
    }
}
BENCHMARK(BM_StreamDriftAfterAMinute)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace
