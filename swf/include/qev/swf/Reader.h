#pragma once

// Reads SWF bytes (FWS, CWS or ZWS) into the movie model.
//
// Fatal problems (not a movie, broken header, compressed data that yields
// nothing) throw ReadError. Problems inside single tags drop that tag (or
// the rest of a truncated file) and are listed in Movie::warnings; the rest
// of the movie is kept. Every read is bounded by the data and by ReadLimits.

#include <qev/swf/model/Movie.h>

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <stdexcept>

namespace qev::swf {

struct ReadLimits {
    std::uint64_t maxDecompressedBytes = 256ull << 20; // cap on the uncompressed file, below the header's length
    std::uint32_t maxCharacters = 65536;      // dictionary entries
    std::uint32_t maxFrames = 1u << 20;       // frames of all timelines together
    std::uint32_t maxTags = 1u << 20;         // tags of all timelines together
    std::uint32_t maxShapeRecords = 1u << 20; // records per shape (and per glyph)
    std::uint64_t maxTotalShapeRecords = 8u << 20; // shape records, styles and glyph entries of all characters
    std::uint32_t maxGlyphs = 65536;          // glyphs per font
    std::uint32_t maxSpriteDepth = 8;         // sprites defined inside sprites
    std::uint32_t maxBitmapSide = 16384;      // pixels, each side
    std::uint64_t maxBitmapPixels = 64ull << 20;       // width * height per bitmap
    std::uint64_t maxTotalBitmapPixels = 256ull << 20; // all bitmaps together
};

class ReadError : public std::runtime_error {
public:
    // Why the movie could not be read, in words a user can be shown.
    enum class Cause { NotAMovie, BrokenHeader, EndsEarly, Damaged, CannotOpen };

    ReadError(const QString& message, int tagCode = -1, std::uint64_t offset = 0, Cause cause = Cause::Damaged);
    ReadError(const QString& message, Cause cause) : ReadError(message, -1, 0, cause) {}
    const QString& message() const { return m_message; }
    int tagCode() const { return m_tagCode; } // -1 when not within a tag
    std::uint64_t offset() const { return m_offset; }
    Cause cause() const { return m_cause; }

private:
    QString m_message;
    int m_tagCode;
    std::uint64_t m_offset;
    Cause m_cause;
};

Movie readMovie(QByteArrayView bytes, const ReadLimits& limits = {});
// Reads the file at path (at most limits.maxDecompressedBytes of it). A file
// that cannot be opened or read throws qev::FileError; one that is not a
// movie throws ReadError whose message names the file the same way
// ("<what went wrong>: <path>").
Movie readMovieFile(const QString& path, const ReadLimits& limits = {});

} // namespace qev::swf
