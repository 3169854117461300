#include "control/AudioOutput.h"

#include "media/Mixer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace qev::swf::control {

namespace {

constexpr int kBytesPerFrame = 4; // 16-bit stereo

// The device reads the mix through this: every read is mixed on the spot.
class MixDevice : public QIODevice {
public:
    explicit MixDevice(std::shared_ptr<media::Mixer> mixer) : mixer_(std::move(mixer)) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return qint64(1) << 30; }
    QAudioSink* sink = nullptr;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 frames = maxSize / kBytesPerFrame;
        if (frames <= 0)
            return 0;
        if (sink)
            mixer_->setOutputDelay((sink->bufferSize() - sink->bytesFree()) / kBytesPerFrame);
        mixer_->mix(reinterpret_cast<std::int16_t*>(data), std::size_t(frames));
        return frames * kBytesPerFrame;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<media::Mixer> mixer_;
};

// Lives on the output thread: opens the device there and owns the sink.
class Worker : public QObject {
public:
    Worker(std::shared_ptr<media::Mixer> mixer, std::shared_ptr<AudioOutput::State> state)
        : mixer_(std::move(mixer)), state_(std::move(state)), device_(mixer_)
    {
    }

    void open()
    {
        // Tests that pull the mix themselves turn the device off.
        if (qEnvironmentVariableIsSet("QEV_NO_AUDIO_DEVICE"))
            return;
        const QAudioDevice output = QMediaDevices::defaultAudioOutput();
        if (output.isNull())
            return; // no device: silence
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!output.isFormatSupported(format))
            return;
        sink_ = new QAudioSink(output, format, this);
        sink_->setBufferSize(44100 * kBytesPerFrame * AudioOutput::bufferMs / 1000);
        QObject::connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State) {
            const QAudio::Error error = sink_->error();
            if (error == QAudio::OpenError || error == QAudio::FatalError)
                goSilent();
        });
        device_.open(QIODevice::ReadOnly);
        device_.sink = sink_;
        mixer_->setListening(true);
        sink_->start(&device_);
        if (sink_->error() != QAudio::NoError) {
            goSilent();
            return;
        }
        state_->latencyMs = int(qint64(sink_->bufferSize()) * 1000 / (44100 * kBytesPerFrame));
        state_->live = true;
    }

    void close()
    {
        if (sink_) {
            sink_->stop();
            delete sink_;
            sink_ = nullptr;
        }
        goSilent();
    }

private:
    void goSilent()
    {
        state_->live = false;
        mixer_->setListening(false);
    }

    std::shared_ptr<media::Mixer> mixer_;
    std::shared_ptr<AudioOutput::State> state_;
    MixDevice device_;
    QAudioSink* sink_ = nullptr;
};

} // namespace

AudioOutput::AudioOutput(std::shared_ptr<media::Mixer> mixer)
{
    auto* worker = new Worker(std::move(mixer), state_);
    worker->moveToThread(&thread_);
    worker_ = worker;
    thread_.setObjectName(QStringLiteral("movie sound"));
    thread_.start(QThread::TimeCriticalPriority);
    // Opened before the movie starts, so its first frame is heard.
    QMetaObject::invokeMethod(worker, [worker] { worker->open(); }, Qt::BlockingQueuedConnection);
}

AudioOutput::~AudioOutput()
{
    auto* worker = static_cast<Worker*>(worker_);
    QMetaObject::invokeMethod(worker, [worker] { worker->close(); delete worker; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

} // namespace qev::swf::control
