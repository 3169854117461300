#pragma once

// Shared state and helpers of the reader's parts (not public).

#include "BitReader.h"

#include <qev/swf/Reader.h>
#include <qev/swf/model/Model.h>

#include <cstdint>
#include <set>
#include <vector>

namespace qev::swf::detail {

struct PendingJpeg {
    std::uint16_t id = 0;
    QByteArray data;
    std::uint64_t offset = 0;
};

struct Context {
    Context(const ReadLimits& l, Movie& m) : limits(l), movie(m) {}

    const ReadLimits& limits;
    Movie& movie;
    int version = 0;
    int tagCode = -1;            // the tag being read, for warnings
    std::uint64_t tagOffset = 0;
    std::uint64_t frames = 0;
    std::uint64_t tags = 0;
    std::uint64_t drawingRecords = 0; // shape records, styles and glyph entries of all characters
    std::uint64_t bitmapPixels = 0;
    std::vector<PendingJpeg> pendingJpegs; // DefineBits, decoded once JPEGTables is known
    std::set<int> skippedCodes;            // tag codes already warned about as skipped

    void warn(const QString& message);
    // Counts n drawing records against the movie-wide cap.
    void countDrawing(std::uint64_t n);
    // Adds a character unless the id is taken or the dictionary is full.
    void define(std::uint16_t id, Character&& character);
};

// Values shared by several tags.
Rect readRect(BitReader& r);
Matrix readMatrix(BitReader& r);
ColorTransform readColorTransform(BitReader& r, bool withAlpha);
Rgba readRgb(BitReader& r);
Rgba readRgba(BitReader& r);
Rgba readArgb(BitReader& r);
std::vector<Filter> readFilters(BitReader& r);
BlendMode toBlendMode(std::uint8_t value);

// The rest of r as an action block's bytes, without moving r.
inline QByteArray actionBytes(const BitReader& r)
{
    return QByteArray(reinterpret_cast<const char*>(r.data() + r.pos()), qsizetype(r.remaining()));
}

// Characters. Each reads one tag body and defines its character.
void readDefineShape(BitReader& r, Context& ctx, int version);
void readDefineMorphShape(BitReader& r, Context& ctx, int version);
void readDefineFont(BitReader& r, Context& ctx);
void readDefineFont23(BitReader& r, Context& ctx, int version);
void readDefineFontInfo(BitReader& r, Context& ctx, int version);
void readDefineText(BitReader& r, Context& ctx, int version);
void readDefineEditText(BitReader& r, Context& ctx);
// The rendering settings of a text field defined before.
void readCsmTextSettings(BitReader& r, Context& ctx);
void readDefineBitsJpeg(BitReader& r, Context& ctx, int version); // 2, 3, 4
void readDefineBitsLossless(BitReader& r, Context& ctx, int version); // 1, 2
void decodePendingJpegs(Context& ctx);
void readDefineVideoStream(BitReader& r, Context& ctx);
void readVideoFrame(BitReader& r, Context& ctx);

// Sound tags: false when code is not one of them.
bool readSoundTag(int code, BitReader& r, Context& ctx, Timeline& timeline, Frame& frame);
SoundInfo readSoundInfo(BitReader& r);

} // namespace qev::swf::detail
