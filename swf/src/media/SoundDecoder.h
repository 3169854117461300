#pragma once

// Decodes the sound data of one SWF encoding to 44.1 kHz stereo with
// FFmpeg's decoders and resampler; only the framing the format adds around
// the codec data is done here.

#include "media/Pcm.h"

#include <qev/swf/model/Sound.h>

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace qev::swf::media {

class SoundDecoder {
public:
    // setup: the codec's configuration where it has one apart from the
    // data (AAC's AudioSpecificConfig).
    explicit SoundDecoder(const SoundEncoding& encoding, QByteArrayView setup = {});
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // False when the codec is unknown or cannot be opened; error() says why.
    bool ok() const;
    // The first problem met (set up or data); empty while all is well.
    QString error() const;

    // Decodes one piece of codec data: a whole DefineSound body (after the
    // MP3 seek field) or the codec data of one stream block. Appends at most
    // maxFrames more frames to out; a piece after a damaged one still
    // decodes where the codec can resynchronise. ADPCM pieces each start
    // with their own header, as stream blocks do; MP3 frames may run on
    // from one piece to the next.
    void decode(QByteArrayView data, Pcm& out, std::size_t maxFrames);
    // Puts out what the decoder and resampler still hold.
    void flush(Pcm& out, std::size_t maxFrames);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A DefineSound decoded whole, capped at maxSeconds. Damaged data gives
// what could be decoded (possibly nothing) and a warning.
Pcm decodeSound(const Sound& sound, QString* warning, double maxSeconds = 600);

} // namespace qev::swf::media
