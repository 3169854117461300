#include "Context.h"
#include "Inflate.h"

#include <QBuffer>
#include <QImageReader>

namespace qev::swf::detail {

namespace {

void checkSize(Context& ctx, std::uint64_t width, std::uint64_t height)
{
    const ReadLimits& l = ctx.limits;
    if (width == 0 || height == 0)
        throw FormatError(QStringLiteral("bitmap without pixels (%1 x %2)").arg(width).arg(height));
    if (width > l.maxBitmapSide || height > l.maxBitmapSide || width * height > l.maxBitmapPixels)
        throw FormatError(QStringLiteral("bitmap of %1 x %2 pixels exceeds the size limits").arg(width).arg(height));
    if (ctx.bitmapPixels + width * height > l.maxTotalBitmapPixels)
        throw FormatError(QStringLiteral("bitmaps of the movie exceed the limit of %1 pixels").arg(l.maxTotalBitmapPixels));
}

// Removes the FF D9 FF D8 (end of image, start of image) pairs that older
// files put at the start of their JPEG data or between tables and image.
// FF D9 cannot occur inside entropy-coded data, so every such pair is a marker pair.
QByteArray stripJpegJoins(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size());
    const char* d = in.constData();
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i + 3 < n && quint8(d[i]) == 0xFF && quint8(d[i + 1]) == 0xD9 && quint8(d[i + 2]) == 0xFF
            && quint8(d[i + 3]) == 0xD8) {
            i += 3;
            continue;
        }
        out.append(d[i]);
    }
    return out;
}

Bitmap::Source sniff(const QByteArray& data)
{
    if (data.startsWith("\x89PNG"))
        return Bitmap::Source::Png;
    if (data.startsWith("GIF8"))
        return Bitmap::Source::Gif;
    return Bitmap::Source::Jpeg;
}

// Decodes JPEG, PNG or GIF data, checking its declared size before any
// pixel memory is allocated.
QImage decodeImage(Context& ctx, const QByteArray& data, Bitmap::Source source)
{
    QByteArray bytes = source == Bitmap::Source::Png || source == Bitmap::Source::Gif ? data : stripJpegJoins(data);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, source == Bitmap::Source::Png   ? QByteArrayLiteral("png")
                                 : source == Bitmap::Source::Gif ? QByteArrayLiteral("gif")
                                                                 : QByteArrayLiteral("jpeg"));
    const QSize size = reader.size();
    if (!size.isValid())
        throw FormatError(QStringLiteral("image data cannot be decoded: %1").arg(reader.errorString()));
    checkSize(ctx, std::uint64_t(size.width()), std::uint64_t(size.height()));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw FormatError(QStringLiteral("image data cannot be decoded: %1").arg(reader.errorString()));
    if (image.size() != size)
        checkSize(ctx, std::uint64_t(image.width()), std::uint64_t(image.height()));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void defineBitmap(Context& ctx, std::uint16_t id, QImage image, Bitmap::Source source)
{
    ctx.bitmapPixels += std::uint64_t(image.width()) * std::uint64_t(image.height());
    Bitmap b;
    b.source = source;
    b.image = std::move(image);
    ctx.define(id, std::move(b));
}

} // namespace

void readDefineBitsJpeg(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    if (version == 1) {
        ctx.pendingJpegs.push_back(PendingJpeg{id, r.rest(), r.fileOffset()});
        return;
    }
    std::size_t imageSize = r.remaining();
    if (version >= 3) {
        imageSize = r.u32();
        if (version == 4)
            r.u16(); // deblocking strength: a smoothing hint
        r.need(imageSize);
    }
    const QByteArray data = r.bytes(imageSize);
    const Bitmap::Source source = sniff(data);
    QImage image = decodeImage(ctx, data, source);
    if (version >= 3 && source == Bitmap::Source::Jpeg && !r.atEnd()) {
        const std::uint64_t pixels = std::uint64_t(image.width()) * std::uint64_t(image.height());
        Inflated alpha = inflateCapped(r.data() + r.pos(), r.remaining(), pixels);
        if (std::uint64_t(alpha.data.size()) != pixels) {
            ctx.warn(QStringLiteral("bitmap %1: alpha data holds %2 of %3 values; shown opaque")
                         .arg(id)
                         .arg(alpha.data.size())
                         .arg(pixels));
        } else {
            image = image.convertToFormat(QImage::Format_ARGB32);
            const auto* a = reinterpret_cast<const std::uint8_t*>(alpha.data.constData());
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = line[x];
                    line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), *a++);
                }
            }
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }
    defineBitmap(ctx, id, std::move(image), source);
}

void decodePendingJpegs(Context& ctx)
{
    const QByteArray& tables = ctx.movie.jpegTables;
    for (PendingJpeg& p : ctx.pendingJpegs) {
        ctx.tagCode = 6;
        ctx.tagOffset = p.offset;
        try {
            // Tables and image are separate JPEG streams; the join between
            // them (FF D9 FF D8) is removed so they read as one.
            QByteArray joined = tables;
            joined.append(p.data);
            const Bitmap::Source source = tables.isEmpty() ? sniff(p.data) : Bitmap::Source::JpegWithTables;
            QImage image = decodeImage(ctx, joined, source == Bitmap::Source::JpegWithTables ? Bitmap::Source::Jpeg : source);
            defineBitmap(ctx, p.id, std::move(image), source);
        } catch (const FormatError& e) {
            ctx.warn(QStringLiteral("bitmap %1 dropped: %2").arg(p.id).arg(e.message));
        }
    }
    ctx.pendingJpegs.clear();
}

void readDefineBitsLossless(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    const int format = r.u8();
    const std::uint64_t width = r.u16();
    const std::uint64_t height = r.u16();
    if (format != 3 && format != 5 && !(format == 4 && version == 1))
        throw FormatError(QStringLiteral("unknown lossless bitmap format %1").arg(format));
    checkSize(ctx, width, height);
    const std::uint64_t paletteSize = format == 3 ? std::uint64_t(r.u8()) + 1 : 0;
    const std::uint64_t colorBytes = version == 2 ? 4 : 3;
    const std::uint64_t rowBytes = format == 3 ? (width + 3) & ~3ull
        : format == 4                          ? (width * 2 + 3) & ~3ull
                                               : width * 4;
    const std::uint64_t expected = paletteSize * colorBytes + rowBytes * height;
    Inflated z = inflateCapped(r.data() + r.pos(), r.remaining(), expected);
    if (std::uint64_t(z.data.size()) < expected)
        throw FormatError(QStringLiteral("pixel data holds %1 of %2 bytes").arg(z.data.size()).arg(expected));
    const auto* d = reinterpret_cast<const std::uint8_t*>(z.data.constData());

    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw FormatError(QStringLiteral("no memory for a %1 x %2 bitmap").arg(width).arg(height));
    // Colours of version 2 are already premultiplied in the file; a
    // premultiplied value above its alpha is clamped so the image stays valid.
    auto pixel = [&](std::uint8_t a, std::uint8_t rr, std::uint8_t g, std::uint8_t b) -> QRgb {
        if (version == 1)
            return qRgba(rr, g, b, 255);
        return qRgba(std::min(rr, a), std::min(g, a), std::min(b, a), a);
    };
    if (format == 3) {
        std::vector<QRgb> palette(256, qRgba(0, 0, 0, 0));
        for (std::uint64_t i = 0; i < paletteSize; ++i) {
            const std::uint8_t* c = d + i * colorBytes;
            palette[i] = pixel(version == 2 ? c[3] : 255, c[0], c[1], c[2]);
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
                line[x] = pixel(version == 2 ? p[0] : 255, p[1], p[2], p[3]);
            }
        }
    }
    defineBitmap(ctx, id, std::move(image), version == 2 ? Bitmap::Source::LosslessAlpha : Bitmap::Source::Lossless);
}

} // namespace qev::swf::detail
