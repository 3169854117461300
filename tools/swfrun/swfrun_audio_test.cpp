// `swfrun MOVIE --frames N --audio OUT.wav`: a canonical 44.1 kHz 16-bit
// stereo WAV exactly N frames long, silent until the frame that starts a
// tone, the same on every run.

#include "qev/swf/SoundWriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>

namespace {

using namespace qev::swf;
using namespace qev::swf::writer;

QByteArray beepMovie()
{
    MovieBuilder m(100, 100, 10);
    const auto id = defineSound(m, pcmSound(sineWave(1000, 0.2, 44100, 0.5), 44100));
    for (int f = 0; f < 6; ++f) {
        if (f == 3)
            startSound(m, id);
        m.showFrame();
    }
    return m.finish();
}

QByteArray run(const QTemporaryDir& dir, int frames)
{
    const QString movie = dir.filePath(QStringLiteral("beep.swf"));
    QFile f(movie);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(beepMovie());
    f.close();
    const QString wav = dir.filePath(QStringLiteral("out.wav"));
    QProcess p;
    p.start(QStringLiteral(QEV_SWFRUN_PATH),
            {movie, QStringLiteral("--frames"), QString::number(frames), QStringLiteral("--audio"), wav});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile out(wav);
    EXPECT_TRUE(out.open(QIODevice::ReadOnly));
    return out.readAll();
}

std::int16_t sampleAt(const QByteArray& wav, std::size_t frame, int side)
{
    return qFromLittleEndian<qint16>(wav.constData() + 44 + frame * 4 + std::size_t(side) * 2);
}

TEST(SwfrunAudio, WritesTheMixOfTheFrames)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray wav = run(dir, 5);
    ASSERT_EQ(wav.size(), 44 + 5 * 4410 * 4);
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 22), 2);     // channels
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 24), 44100u); // rate
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 16);    // bits
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(5 * 4410 * 4));
    // Silent for three frames, then the tone from the first sample of frame 3.
    for (std::size_t i = 0; i < 3 * 4410; i += 7)
        ASSERT_EQ(sampleAt(wav, i, 0), 0) << i;
    const std::size_t start = 3 * 4410;
    for (std::size_t i = 1; i < 200; ++i) {
        const double want = 0.5 * 32767 * std::sin(2 * M_PI * 1000 * double(i) / 44100);
        ASSERT_NEAR(sampleAt(wav, start + i, 0), want, 1.5) << i;
        ASSERT_EQ(sampleAt(wav, start + i, 1), sampleAt(wav, start + i, 0)) << i;
    }
    // Runs repeat exactly.
    EXPECT_EQ(run(dir, 5), wav);
}

} // namespace
