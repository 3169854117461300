#include <qev/swf/DecodeBitmap.h>

#include "reader/Inflate.h"

#include <QBuffer>
#include <QImageReader>

#include <stdexcept>
#include <vector>

namespace qev::swf {

namespace {

struct Damaged : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void damaged(const QString& why)
{
    throw Damaged(why.toStdString());
}

// JPEG, PNG or GIF data; its size must be the one its header declared when
// the movie was read.
QImage decodeEncoded(const Bitmap& b)
{
    QByteArray bytes = b.data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, b.source == Bitmap::Source::Png   ? QByteArrayLiteral("png")
                                 : b.source == Bitmap::Source::Gif ? QByteArrayLiteral("gif")
                                                                   : QByteArrayLiteral("jpeg"));
    if (reader.size() != QSize(b.width(), b.height()))
        damaged(QStringLiteral("image data cannot be decoded: %1").arg(reader.errorString()));
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.size() != QSize(b.width(), b.height()))
        damaged(QStringLiteral("image data cannot be decoded: %1").arg(reader.errorString()));
    return image;
}

// The JPEG alpha plane: one value a pixel, zlib-compressed. Missing or
// short, the picture shows opaque.
void applyAlpha(const Bitmap& b, QImage& image, QString* problem)
{
    const std::uint64_t pixels = std::uint64_t(image.width()) * std::uint64_t(image.height());
    detail::Inflated alpha =
        detail::inflateCapped(reinterpret_cast<const std::uint8_t*>(b.alpha.constData()), std::size_t(b.alpha.size()), pixels);
    if (std::uint64_t(alpha.data.size()) != pixels) {
        if (problem)
            *problem = QStringLiteral("alpha data holds %1 of %2 values; shown opaque").arg(alpha.data.size()).arg(pixels);
        return;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const auto* a = reinterpret_cast<const std::uint8_t*>(alpha.data.constData());
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), *a++);
        }
    }
}

QImage decodeLossless(const Bitmap& b)
{
    const bool withAlpha = b.source == Bitmap::Source::LosslessAlpha;
    const std::uint64_t width = std::uint64_t(b.width()), height = std::uint64_t(b.height());
    const int format = b.losslessFormat;
    const std::uint64_t paletteSize = format == 3 ? std::uint64_t(b.paletteSize) : 0;
    const std::uint64_t colorBytes = withAlpha ? 4 : 3;
    const std::uint64_t rowBytes = format == 3 ? (width + 3) & ~3ull
        : format == 4                          ? (width * 2 + 3) & ~3ull
                                               : width * 4;
    const std::uint64_t expected = paletteSize * colorBytes + rowBytes * height;
    detail::Inflated z =
        detail::inflateCapped(reinterpret_cast<const std::uint8_t*>(b.data.constData()), std::size_t(b.data.size()), expected);
    if (std::uint64_t(z.data.size()) < expected)
        damaged(QStringLiteral("pixel data holds %1 of %2 bytes").arg(z.data.size()).arg(expected));
    const auto* d = reinterpret_cast<const std::uint8_t*>(z.data.constData());

    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        damaged(QStringLiteral("no memory for a %1 x %2 bitmap").arg(width).arg(height));
    // Colours with alpha are already premultiplied in the file; a
    // premultiplied value above its alpha is clamped so the image stays valid.
    auto pixel = [&](std::uint8_t a, std::uint8_t rr, std::uint8_t g, std::uint8_t bl) -> QRgb {
        if (!withAlpha)
            return qRgba(rr, g, bl, 255);
        return qRgba(std::min(rr, a), std::min(g, a), std::min(bl, a), a);
    };
    if (format == 3) {
        std::vector<QRgb> palette(256, qRgba(0, 0, 0, 0));
        for (std::uint64_t i = 0; i < paletteSize; ++i) {
            const std::uint8_t* c = d + i * colorBytes;
            palette[i] = pixel(withAlpha ? c[3] : 255, c[0], c[1], c[2]);
        }
        const std::uint8_t* pixels = d + paletteSize * colorBytes;
        for (std::uint64_t y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            const std::uint8_t* row = pixels + y * rowBytes;
            for (std::uint64_t x = 0; x < width; ++x)
                line[x] = palette[row[x]]; // indices past the palette read as transparent
        }
    } else if (format == 4) {
        for (std::uint64_t y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            const std::uint8_t* row = d + y * rowBytes;
            for (std::uint64_t x = 0; x < width; ++x) {
                const unsigned v = (unsigned(row[x * 2]) << 8) | row[x * 2 + 1];
                const auto five = [](unsigned c) { return std::uint8_t((c << 3) | (c >> 2)); };
                line[x] = qRgba(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31), 255);
            }
        }
    } else {
        for (std::uint64_t y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            const std::uint8_t* row = d + y * rowBytes;
            for (std::uint64_t x = 0; x < width; ++x) {
                const std::uint8_t* p = row + x * 4;
                line[x] = pixel(withAlpha ? p[0] : 255, p[1], p[2], p[3]);
            }
        }
    }
    return image;
}

} // namespace

QImage decodeBitmap(const Bitmap& b, QString* problem)
{
    if (b.width() <= 0 || b.height() <= 0)
        return {};
    try {
        if (b.source == Bitmap::Source::Lossless || b.source == Bitmap::Source::LosslessAlpha)
            return decodeLossless(b);
        QImage image = decodeEncoded(b);
        if (!b.alpha.isEmpty() && b.source == Bitmap::Source::Jpeg)
            applyAlpha(b, image, problem);
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } catch (const Damaged& e) {
        if (problem)
            *problem = QString::fromStdString(e.what());
        return {};
    }
}

} // namespace qev::swf
