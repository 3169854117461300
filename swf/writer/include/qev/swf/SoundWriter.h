#pragma once

// Sound for the SWF writer: DefineSound, StartSound(2), DefineButtonSound
// and the stream tags, plus the sample data tests need: sine tones as
// 8- and 16-bit PCM and the format's ADPCM (2 to 5 bits), encoded here.
//
// Example (a 440 Hz beep started on the first frame):
//   MovieBuilder m(100, 100, 10);
//   auto tone = sineWave(440, 0.5, 22050);
//   auto id = defineSound(m, pcmSound(tone, 22050));
//   startSound(m, id);
//   m.showFrame();

#include <qev/swf/Writer.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf::writer {

// ---- tags ----------------------------------------------------------------

QByteArray encodeSoundInfo(const SoundInfo& info);
// The DefineSound body after the id (MP3: the seek field, then the frames).
QByteArray encodeDefineSoundBody(const Sound& sound);
std::uint16_t defineSound(MovieBuilder& movie, const Sound& sound);
void startSound(TimelineBuilder& timeline, std::uint16_t soundId, const SoundInfo& info = {});
void startSound2(TimelineBuilder& timeline, const QString& className, const SoundInfo& info = {});
// SoundStreamHead (version 1) or SoundStreamHead2.
void soundStreamHead(TimelineBuilder& timeline, const SoundStreamHead& head, int version = 2);
// One frame's block, as stored (for MP3: use mp3StreamBlock).
void soundStreamBlock(TimelineBuilder& timeline, const QByteArray& block);
QByteArray mp3StreamBlock(std::uint16_t sampleCount, std::int16_t seekSamples, const QByteArray& frames);
void defineButtonSound(MovieBuilder& movie, std::uint16_t buttonId,
                       const std::array<std::optional<ButtonSound>, 4>& sounds);

// ---- samples -------------------------------------------------------------

// A sine of hz at rate samples per second, amplitude of full scale (0..1).
std::vector<std::int16_t> sineWave(double hz, double seconds, int rate, double amplitude = 0.5);
// Channels interleaved from two mono signals of equal length.
std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right);
// 16-bit little-endian bytes.
QByteArray pcm16(const std::vector<std::int16_t>& samples);
// 8-bit unsigned bytes (the top byte of each sample, offset by 128).
QByteArray pcm8(const std::vector<std::int16_t>& samples);
// The format's ADPCM of interleaved samples: a 2-bit code size, then
// packets of 4096 samples per channel, each starting with the exact sample
// and step index. bits: 2 to 5.
QByteArray encodeAdpcm(const std::vector<std::int16_t>& samples, int channels, int bits);

// The encoding of a rate in samples per second (5512, 11025, 22050, 44100).
int rateCode(int rate);
// A DefineSound of 16-bit PCM (format 3), or of ADPCM with `bits` bits.
Sound pcmSound(const std::vector<std::int16_t>& samples, int rate, bool stereo = false);
Sound adpcmSound(const std::vector<std::int16_t>& samples, int rate, int bits, bool stereo = false);

} // namespace qev::swf::writer
