#include "Context.h"
#include "Inflate.h"

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

unsigned byteAt(const QByteArray& d, qsizetype i)
{
    return quint8(d[i]);
}

// The size a JPEG stream's frame header (SOF0 to SOF15) declares: the
// markers are walked by their lengths up to the first frame header.
bool jpegSize(const QByteArray& d, std::uint64_t& width, std::uint64_t& height)
{
    qsizetype i = 0;
    const qsizetype n = d.size();
    if (n < 4 || byteAt(d, 0) != 0xFF || byteAt(d, 1) != 0xD8)
        return false;
    i = 2;
    while (i + 4 <= n) {
        if (byteAt(d, i) != 0xFF)
            return false;
        const unsigned marker = byteAt(d, i + 1);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            i += 2;
            continue;
        }
        const qsizetype length = qsizetype((byteAt(d, i + 2) << 8) | byteAt(d, i + 3));
        if (length < 2)
            return false;
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (i + 9 > n || length < 7)
                return false;
            height = (byteAt(d, i + 5) << 8) | byteAt(d, i + 6);
            width = (byteAt(d, i + 7) << 8) | byteAt(d, i + 8);
            return true;
        }
        if (marker == 0xDA || marker == 0xD9) // scan data or the end, before any frame header
            return false;
        i += 2 + length;
    }
    return false;
}

// The size in the header of JPEG, PNG (IHDR) or GIF (logical screen) data.
void imageSize(const QByteArray& data, Bitmap::Source source, std::uint64_t& width, std::uint64_t& height)
{
    bool found = false;
    if (source == Bitmap::Source::Png) {
        found = data.size() >= 24 && data.mid(12, 4) == "IHDR";
        if (found) {
            width = (std::uint64_t(byteAt(data, 16)) << 24) | (byteAt(data, 17) << 16) | (byteAt(data, 18) << 8) | byteAt(data, 19);
            height = (std::uint64_t(byteAt(data, 20)) << 24) | (byteAt(data, 21) << 16) | (byteAt(data, 22) << 8) | byteAt(data, 23);
        }
    } else if (source == Bitmap::Source::Gif) {
        found = data.size() >= 10;
        if (found) {
            width = byteAt(data, 6) | (byteAt(data, 7) << 8);
            height = byteAt(data, 8) | (byteAt(data, 9) << 8);
        }
    } else {
        found = jpegSize(data, width, height);
    }
    if (!found)
        throw FormatError(QStringLiteral("image data cannot be decoded: no readable header"));
}

// Checks the data's declared size and puts the bitmap in the dictionary;
// its pixels are decoded when it is first drawn.
void defineEncoded(Context& ctx, std::uint16_t id, Bitmap::Source source, QByteArray data, QByteArray alpha = {})
{
    const Bitmap::Source format = source == Bitmap::Source::JpegWithTables ? Bitmap::Source::Jpeg : source;
    if (format == Bitmap::Source::Jpeg)
        data = stripJpegJoins(data);
    std::uint64_t width = 0, height = 0;
    imageSize(data, format, width, height);
    checkSize(ctx, width, height);
    ctx.bitmapPixels += width * height;
    Bitmap b;
    b.source = source;
    b.pixelWidth = int(width);
    b.pixelHeight = int(height);
    b.data = std::move(data);
    b.alpha = std::move(alpha);
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
    QByteArray data = r.bytes(imageSize);
    const Bitmap::Source source = sniff(data);
    QByteArray alpha;
    if (version >= 3 && source == Bitmap::Source::Jpeg && !r.atEnd())
        alpha = r.rest();
    defineEncoded(ctx, id, source, std::move(data), std::move(alpha));
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
            defineEncoded(ctx, p.id, source, std::move(joined));
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
    const int paletteSize = format == 3 ? r.u8() + 1 : 0;
    ctx.bitmapPixels += width * height;
    Bitmap b;
    b.source = version == 2 ? Bitmap::Source::LosslessAlpha : Bitmap::Source::Lossless;
    b.pixelWidth = int(width);
    b.pixelHeight = int(height);
    b.losslessFormat = std::uint8_t(format);
    b.paletteSize = paletteSize;
    b.data = r.rest();
    ctx.define(id, std::move(b));
}

} // namespace qev::swf::detail
