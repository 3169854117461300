#pragma once

// Bitmaps are decoded while reading (DefineBits with the movie's JPEGTables,
// DefineBitsJPEG2/3/4 including PNG and GIF data and the JPEG3 alpha plane,
// DefineBitsLossless 1 and 2). A bitmap that fails to decode is not put in
// the dictionary (a warning says why), so fills naming it find no bitmap.

#include <QImage>

#include <cstdint>

namespace qev::swf {

struct Bitmap {
    enum class Source : std::uint8_t { Jpeg, JpegWithTables, Png, Gif, Lossless, LosslessAlpha };

    Source source = Source::Lossless;
    // Always QImage::Format_ARGB32_Premultiplied, width and height >= 1 and
    // within ReadLimits. One image pixel is one bitmap pixel; bitmap fills
    // scale it through their matrix (20 twips per pixel when unscaled).
    QImage image;
    int width() const { return image.width(); }
    int height() const { return image.height(); }
};

} // namespace qev::swf
