#pragma once

// The whole decoded movie: header, dictionary of characters, main timeline.

#include <qev/swf/model/Bitmap.h>
#include <qev/swf/model/Button.h>
#include <qev/swf/model/Shape.h>
#include <qev/swf/model/Sound.h>
#include <qev/swf/model/Text.h>
#include <qev/swf/model/Timeline.h>
#include <qev/swf/model/Video.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <variant>
#include <vector>

namespace qev::swf {

enum class Compression : std::uint8_t { None, Zlib, Lzma }; // "FWS", "CWS", "ZWS"

struct Header {
    std::uint8_t version = 0;
    Compression compression = Compression::None;
    std::uint32_t fileLength = 0;     // declared length of the uncompressed file, header included
    Rect stage;                       // twips; xMin/yMin are usually 0
    std::uint16_t frameRate88 = 0;    // 8.8 fixed point frames per second
    std::uint16_t frameCount = 0;     // as declared; the timeline holds what is really there

    double frameRate() const { return frameRate88 / 256.0; }
};

using Character = std::variant<Shape, MorphShape, Bitmap, Font, Text, EditText, Button, Sprite, VideoStream>;

// Something the reader dropped or could not read fully; the rest of the
// movie is still there.
struct ReadWarning {
    int tagCode = -1;           // -1 when not about one tag
    std::uint64_t offset = 0;   // byte offset in the uncompressed file
    QString message;
};

struct Movie {
    Header header;
    Rgba backgroundColor{255, 255, 255, 255}; // the first SetBackgroundColor, white without one
    bool hasBackgroundColor = false;
    // Character id -> character. A second definition of an id is ignored.
    std::map<std::uint16_t, Character> dictionary;
    Timeline timeline;                // the main timeline
    // DefineSound: id -> sound (kept apart from the characters: nothing draws them).
    std::map<std::uint16_t, Sound> sounds;
    QByteArray jpegTables;            // JPEGTables tag, as stored (already merged into DefineBits bitmaps)
    std::map<QString, std::uint16_t> exports; // ExportAssets / SymbolClass names -> ids
    // ScriptLimits: how deep script calls may nest (0: the player's default).
    std::uint16_t maxRecursionDepth = 0;
    std::vector<ReadWarning> warnings;

    const Character* character(std::uint16_t id) const
    {
        auto it = dictionary.find(id);
        return it == dictionary.end() ? nullptr : &it->second;
    }
    template <class T> const T* find(std::uint16_t id) const
    {
        const Character* c = character(id);
        return c ? std::get_if<T>(c) : nullptr;
    }
};

} // namespace qev::swf
