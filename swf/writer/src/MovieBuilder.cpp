#include "Internal.h"

#include <QBuffer>
#include <QImageWriter>

#include <map>
#include <stdexcept>

namespace qev::swf::writer {

namespace {

enum : int {
    TagShowFrame = 1,
    TagDefineBits = 6,
    TagJpegTables = 8,
    TagSetBackgroundColor = 9,
    TagDoAction = 12,
    TagDefineBitsLossless = 20,
    TagDefineBitsJpeg2 = 21,
    TagRemoveObject = 5,
    TagRemoveObject2 = 28,
    TagDefineBitsJpeg3 = 35,
    TagDefineBitsLossless2 = 36,
    TagDefineEditText = 37,
    TagDefineSprite = 39,
    TagFrameLabel = 43,
    TagDefineMorphShape = 46,
    TagDefineMorphShape2 = 84,
};

int shapeTagCode(int version)
{
    switch (version) {
    case 1:
        return 2;
    case 2:
        return 22;
    case 3:
        return 32;
    default:
        return 83;
    }
}

QByteArray withId(std::uint16_t id, const QByteArray& body)
{
    BitWriter w;
    w.u16(id);
    w.bytes(body);
    return w.data();
}

// Splits a baseline JPEG into its tables (quantisation and Huffman tables,
// as a stream of their own) and the rest of the image.
void splitJpeg(const QByteArray& jpeg, QByteArray& tables, QByteArray& image)
{
    const auto* d = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    const qsizetype n = jpeg.size();
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        throw std::invalid_argument("not a JPEG stream");
    tables = QByteArray("\xFF\xD8", 2);
    image = QByteArray("\xFF\xD8", 2);
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF)
            throw std::invalid_argument("JPEG marker expected");
        const std::uint8_t marker = d[i + 1];
        const qsizetype len = (d[i + 2] << 8) | d[i + 3];
        if (marker == 0xDA) { // start of scan: everything from here is image data
            image.append(jpeg.mid(i));
            tables.append("\xFF\xD9", 2);
            return;
        }
        const QByteArray segment = jpeg.mid(i, 2 + len);
        (marker == 0xDB || marker == 0xC4 ? tables : image).append(segment);
        i += 2 + len;
    }
    throw std::invalid_argument("JPEG without a scan");
}

} // namespace

QByteArray encodeJpeg(const QImage& image, int quality)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
        throw std::runtime_error("JPEG encoding failed: " + writer.errorString().toStdString());
    return out;
}

void TimelineBuilder::place(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix)
{
    PlaceObject p;
    p.characterId = characterId;
    p.depth = depth;
    p.matrix = matrix;
    place(p);
}

void TimelineBuilder::place(const PlaceObject& p) { rawTag(placeObjectTagCode(p), encodePlaceObject(p)); }

void TimelineBuilder::move(std::uint16_t depth, const Matrix& matrix)
{
    PlaceObject p;
    p.move = true;
    p.depth = depth;
    p.matrix = matrix;
    place(p);
}

void TimelineBuilder::remove(std::uint16_t depth)
{
    BitWriter w;
    w.u16(depth);
    rawTag(TagRemoveObject2, w.data());
}

void TimelineBuilder::remove(std::uint16_t characterId, std::uint16_t depth)
{
    BitWriter w;
    w.u16(characterId);
    w.u16(depth);
    rawTag(TagRemoveObject, w.data());
}

void TimelineBuilder::label(const QString& name)
{
    BitWriter w;
    w.string(name);
    rawTag(TagFrameLabel, w.data());
}

void TimelineBuilder::actions(const ActionList& list) { rawTag(TagDoAction, encodeActions(list)); }

void TimelineBuilder::script(const QByteArray& bytecode) { rawTag(TagDoAction, bytecode); }

void TimelineBuilder::exportAsset(std::uint16_t characterId, const QString& name)
{
    QByteArray body;
    body.append(char(1));
    body.append(char(0));
    body.append(char(characterId & 0xFF));
    body.append(char(characterId >> 8));
    body.append(name.toUtf8());
    body.append('\0');
    rawTag(56, body);
}

void TimelineBuilder::initScript(std::uint16_t spriteId, const QByteArray& bytecode)
{
    QByteArray body;
    body.append(char(spriteId & 0xFF));
    body.append(char(spriteId >> 8));
    body.append(bytecode);
    rawTag(59, body);
}

void TimelineBuilder::showFrame()
{
    rawTag(TagShowFrame, {});
    ++m_frames;
}

void TimelineBuilder::rawTag(int code, const QByteArray& body, bool forceLong)
{
    m_tags.append(tag(code, body, forceLong));
}

MovieBuilder::MovieBuilder(double stageWidthPx, double stageHeightPx, double fps, int version)
    : m_version(version), m_stage{0, px(stageWidthPx), 0, px(stageHeightPx)}, m_fps(fps)
{
}

void MovieBuilder::setBackgroundColor(Rgba color)
{
    BitWriter w;
    w.u8(color.r), w.u8(color.g), w.u8(color.b);
    rawTag(TagSetBackgroundColor, w.data());
}

std::uint16_t MovieBuilder::defineShape(const ShapeBuilder& shape) { return defineShape(shape.build()); }

std::uint16_t MovieBuilder::defineShape(const Shape& shape)
{
    const std::uint16_t id = take();
    rawTag(shapeTagCode(shapeTagVersion(shape)), encodeShape(id, shape));
    return id;
}

std::uint16_t MovieBuilder::defineMorphShape(const MorphShape& morph)
{
    const std::uint16_t id = take();
    rawTag(morph.version == 2 ? TagDefineMorphShape2 : TagDefineMorphShape, encodeMorphShape(id, morph));
    return id;
}

std::uint16_t MovieBuilder::defineBitsLossless(const QImage& source, LosslessFormat format, int tagVersion)
{
    if (source.isNull() || source.width() > 0xFFFF || source.height() > 0xFFFF)
        throw std::invalid_argument("image cannot be stored as a bitmap");
    const int version = tagVersion == 0 ? (source.hasAlphaChannel() ? 2 : 1) : tagVersion;
    if (format == LosslessFormat::Auto)
        format = LosslessFormat::Argb32;
    if (format == LosslessFormat::Rgb15 && version != 1)
        throw std::invalid_argument("15-bit bitmaps have no alpha version");
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width(), h = image.height();
    BitWriter head;
    head.u8(std::uint32_t(format));
    head.u16(std::uint32_t(w));
    head.u16(std::uint32_t(h));
    QByteArray pixels;
    // Version 1 stores opaque colours: alpha is dropped (premultiplied black).
    auto px32 = [&](QRgb p) {
        if (version == 2)
            return p;
        return qRgba(qRed(p), qGreen(p), qBlue(p), 255);
    };
    if (format == LosslessFormat::Colormapped8) {
        std::map<QRgb, int> index;
        std::vector<QRgb> palette;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb p = px32(image.pixel(x, y));
                if (index.emplace(p, int(palette.size())).second)
                    palette.push_back(p);
            }
        if (palette.size() > 256)
            throw std::invalid_argument("more than 256 colours for a colour-mapped bitmap");
        head.u8(std::uint32_t(palette.size() - 1));
        for (QRgb p : palette) {
            pixels.append(char(qRed(p))), pixels.append(char(qGreen(p))), pixels.append(char(qBlue(p)));
            if (version == 2)
                pixels.append(char(qAlpha(p)));
        }
        const int stride = (w + 3) & ~3;
        for (int y = 0; y < h; ++y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < w; ++x)
                row[x] = char(index[px32(image.pixel(x, y))]);
            pixels.append(row);
        }
    } else if (format == LosslessFormat::Rgb15) {
        const int stride = (w * 2 + 3) & ~3;
        for (int y = 0; y < h; ++y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < w; ++x) {
                const QRgb p = image.pixel(x, y);
                const unsigned v = ((unsigned(qRed(p)) >> 3) << 10) | ((unsigned(qGreen(p)) >> 3) << 5) | (unsigned(qBlue(p)) >> 3);
                row[x * 2] = char(v >> 8);
                row[x * 2 + 1] = char(v & 0xFF);
            }
            pixels.append(row);
        }
    } else {
        pixels.reserve(qsizetype(w) * h * 4);
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb p = px32(line[x]);
                pixels.append(char(version == 2 ? qAlpha(p) : 0));
                pixels.append(char(qRed(p))), pixels.append(char(qGreen(p))), pixels.append(char(qBlue(p)));
            }
        }
    }
    head.bytes(zlibForWriter(pixels));
    const std::uint16_t id = take();
    rawTag(version == 2 ? TagDefineBitsLossless2 : TagDefineBitsLossless, withId(id, head.data()), true);
    return id;
}

std::uint16_t MovieBuilder::defineBitsJpeg2(const QImage& image, int quality)
{
    return defineBitsJpeg2Data(encodeJpeg(image, quality));
}

std::uint16_t MovieBuilder::defineBitsJpeg2Data(const QByteArray& data)
{
    const std::uint16_t id = take();
    rawTag(TagDefineBitsJpeg2, withId(id, data), true);
    return id;
}

std::uint16_t MovieBuilder::defineBitsJpeg3(const QImage& source, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const QByteArray jpeg = encodeJpeg(image, quality);
    QByteArray alpha;
    alpha.reserve(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            alpha.append(char(qAlpha(line[x])));
    }
    BitWriter w;
    w.u32(std::uint32_t(jpeg.size()));
    w.bytes(jpeg);
    w.bytes(zlibForWriter(alpha));
    const std::uint16_t id = take();
    rawTag(TagDefineBitsJpeg3, withId(id, w.data()), true);
    return id;
}

std::uint16_t MovieBuilder::defineBits(const QImage& image, int quality)
{
    QByteArray tables, data;
    splitJpeg(encodeJpeg(image, quality), tables, data);
    if (!m_wroteTables) {
        rawTag(TagJpegTables, tables, true);
        m_wroteTables = true;
    }
    const std::uint16_t id = take();
    rawTag(TagDefineBits, withId(id, data), true);
    return id;
}

std::uint16_t MovieBuilder::defineFont(const Font& font)
{
    const std::uint16_t id = take();
    rawTag(font.version == 1 ? 10 : font.version == 2 ? 48 : 75, encodeFont(id, font));
    return id;
}

std::uint16_t MovieBuilder::defineText(const Text& text)
{
    const std::uint16_t id = take();
    rawTag(text.version >= 2 ? 33 : 11, encodeText(id, text));
    return id;
}

std::uint16_t MovieBuilder::defineEditText(const EditText& edit)
{
    const std::uint16_t id = take();
    rawTag(TagDefineEditText, encodeEditText(id, edit));
    return id;
}

std::uint16_t MovieBuilder::defineButton(const Button& button)
{
    const std::uint16_t id = take();
    rawTag(button.version == 1 ? 7 : 34, encodeButton(id, button));
    return id;
}

std::uint16_t MovieBuilder::defineSprite(const SpriteBuilder& sprite)
{
    const std::uint16_t id = take();
    BitWriter w;
    w.u16(id);
    w.u16(std::uint32_t(sprite.frameCount()));
    w.bytes(sprite.tags());
    w.bytes(tag(0, {}));
    rawTag(TagDefineSprite, w.data());
    return id;
}

std::uint16_t MovieBuilder::defineRaw(int code, const QByteArray& bodyAfterId)
{
    const std::uint16_t id = take();
    rawTag(code, withId(id, bodyAfterId));
    return id;
}

QByteArray MovieBuilder::finish(Compression compression) const
{
    QByteArray all = m_tags;
    all.append(tag(0, {}));
    return movieFile(m_version, m_stage, m_fps, std::uint16_t(m_frames), all, compression);
}

} // namespace qev::swf::writer
