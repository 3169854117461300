#pragma once

// Bitmaps as stored (DefineBits with the movie's JPEGTables, DefineBitsJPEG2/3/4
// including PNG and GIF data and the JPEG3 alpha plane, DefineBitsLossless 1
// and 2). Reading checks each bitmap's header and size; the pixels are
// decoded on first use (decodeBitmap), so a movie with many bitmaps shows its
// first frame without decoding those it does not show yet. A bitmap whose
// header is unreadable or too large is not put in the dictionary (a warning
// says why), so fills naming it find no bitmap.

#include <QByteArray>

#include <cstdint>

namespace qev::swf {

struct Bitmap {
    enum class Source : std::uint8_t { Jpeg, JpegWithTables, Png, Gif, Lossless, LosslessAlpha };

    Source source = Source::Lossless;
    // Pixels, from the data's header; >= 1 and within ReadLimits. One image
    // pixel is one bitmap pixel; bitmap fills scale it through their matrix
    // (20 twips per pixel when unscaled).
    int pixelWidth = 0;
    int pixelHeight = 0;
    int width() const { return pixelWidth; }
    int height() const { return pixelHeight; }

    // What the pixels are decoded from. Jpeg, JpegWithTables: one JPEG
    // stream (the movie's tables joined in front, and the FF D9 FF D8 joins
    // of older files removed); Png, Gif: the file's bytes; Lossless: the
    // zlib stream of palette and pixels.
    QByteArray data;
    QByteArray alpha;          // JPEG with an alpha plane: its zlib stream
    std::uint8_t losslessFormat = 5; // 3: palette, 4: 15-bit (version 1 only), 5: 32-bit
    int paletteSize = 0;       // format 3: colours in the palette
};

} // namespace qev::swf
