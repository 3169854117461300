#pragma once

// FLV files, as movies play them beside themselves through NetStream: the
// video packets ready for VideoDecoder, the audio packets as stored (the
// sound side decodes them), and the script data tags (onMetaData,
// onCuePoint) as values.

#include <qev/swf/model/Video.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace qev::swf::video {

struct FlvVideoPacket {
    std::uint32_t timeMs = 0;
    bool keyFrame = false;
    // What VideoDecoder takes: for VP6 without the size adjustment byte
    // (that is in FlvFile::videoSetup), for H.264 one access unit.
    QByteArray data;
};

struct FlvAudioPacket {
    std::uint32_t timeMs = 0;
    std::uint8_t format = 0; // the tag's first byte: format, rate, size and channels
    QByteArray data;         // the rest of the tag
};

struct FlvScriptTag {
    std::uint32_t timeMs = 0;
    QString name;   // "onMetaData", "onCuePoint", ...
    QVariant value; // objects as QVariantMap, arrays as QVariantList
};

struct FlvFile {
    bool declaresAudio = false;
    bool declaresVideo = false;
    VideoCodec videoCodec = VideoCodec::None; // of the first video packet
    // Codec setup: VP6's size adjustment byte, H.264's configuration record.
    QByteArray videoSetup;
    std::vector<FlvVideoPacket> video;
    std::vector<FlvAudioPacket> audio;
    std::vector<FlvScriptTag> scripts;
    std::vector<QString> warnings;
    // Bytes that made whole tags; a file still arriving or cut short ends here.
    std::size_t bytesUsed = 0;
};

// Reads whatever complete tags the bytes hold; never throws. A file that is
// not FLV gives no packets and a warning.
FlvFile readFlv(QByteArrayView bytes);

} // namespace qev::swf::video
