#include "video/FlvFile.h"

#include <QDateTime>
#include <QVariantMap>

#include <cstring>

namespace qev::swf::video {

namespace {

class Bytes {
public:
    Bytes(QByteArrayView data) : data_(data) {}
    bool has(std::size_t n) const { return pos_ + n <= std::size_t(data_.size()); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return std::size_t(data_.size()) - pos_; }
    std::uint32_t be(int n)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | std::uint8_t(data_[qsizetype(pos_++)]);
        return v;
    }
    QByteArray take(std::size_t n)
    {
        QByteArray out(data_.data() + pos_, qsizetype(n));
        pos_ += n;
        return out;
    }
    Bytes sub(std::size_t n)
    {
        Bytes out(data_.sliced(qsizetype(pos_), qsizetype(n)));
        pos_ += n;
        return out;
    }
    double number()
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | std::uint8_t(data_[qsizetype(pos_++)]);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

private:
    QByteArrayView data_;
    std::size_t pos_ = 0;
};

struct AmfError {};

// Script data values (AMF0), nested at most this deep.
constexpr int kMaxAmfDepth = 32;

QString amfString(Bytes& b, int lengthBytes)
{
    if (!b.has(std::size_t(lengthBytes)))
        throw AmfError{};
    const std::size_t n = b.be(lengthBytes);
    if (!b.has(n))
        throw AmfError{};
    return QString::fromUtf8(b.take(n));
}

QVariant amfValue(Bytes& b, int depth);

// Name and value pairs up to the empty name and the object end marker (9).
QVariantMap amfProperties(Bytes& b, int depth)
{
    QVariantMap map;
    while (true) {
        const QString name = amfString(b, 2);
        if (name.isEmpty()) {
            if (b.has(1) && b.be(1) == 9)
                return map;
            throw AmfError{};
        }
        map.insert(name, amfValue(b, depth + 1));
    }
}

QVariant amfValue(Bytes& b, int depth)
{
    if (depth > kMaxAmfDepth || !b.has(1))
        throw AmfError{};
    switch (b.be(1)) {
    case 0:
        if (!b.has(8))
            throw AmfError{};
        return b.number();
    case 1:
        if (!b.has(1))
            throw AmfError{};
        return b.be(1) != 0;
    case 2:
        return amfString(b, 2);
    case 3:
        return amfProperties(b, depth);
    case 5:
    case 6:
        return QVariant();
    case 8: // an associative array: a count the writers do not always keep, then properties
        if (!b.has(4))
            throw AmfError{};
        b.be(4);
        return amfProperties(b, depth);
    case 10: {
        if (!b.has(4))
            throw AmfError{};
        const std::uint32_t count = b.be(4);
        QVariantList list;
        for (std::uint32_t i = 0; i < count; ++i) // each element takes at least a byte
            list.append(amfValue(b, depth + 1));
        return list;
    }
    case 11: {
        if (!b.has(10))
            throw AmfError{};
        const double ms = b.number();
        b.be(2); // time zone, unused by the format's writers
        return QDateTime::fromMSecsSinceEpoch(qint64(ms), Qt::UTC);
    }
    case 12:
        return amfString(b, 4);
    default:
        throw AmfError{};
    }
}

enum : int { TagAudio = 8, TagVideo = 9, TagScript = 18 };

void readVideoTag(Bytes& body, std::uint32_t timeMs, FlvFile& file)
{
    if (!body.has(1))
        return;
    const std::uint8_t head = std::uint8_t(body.be(1));
    const int frameType = head >> 4;
    const auto codec = VideoCodec(head & 0x0F);
    if (frameType == 5)
        return; // a command frame, no picture
    if (file.videoCodec == VideoCodec::None)
        file.videoCodec = codec;
    else if (codec != file.videoCodec) {
        file.warnings.push_back(QStringLiteral("video packet at %1 ms changes codec; skipped").arg(timeMs));
        return;
    }
    FlvVideoPacket packet;
    packet.timeMs = timeMs;
    packet.keyFrame = frameType == 1 || frameType == 4;
    if (codec == VideoCodec::Vp6 || codec == VideoCodec::Vp6Alpha) {
        if (!body.has(1))
            return;
        const QByteArray adjustment = body.take(1);
        if (file.videoSetup.isEmpty())
            file.videoSetup = adjustment;
    } else if (codec == VideoCodec::H264) {
        if (!body.has(4))
            return;
        const std::uint32_t type = body.be(1);
        body.be(3); // composition time offset: no B-frame reordering is kept here
        if (type == 0) {
            file.videoSetup = body.take(body.remaining());
            return;
        }
        if (type != 1)
            return;
    }
    packet.data = body.take(body.remaining());
    if (!packet.data.isEmpty())
        file.video.push_back(std::move(packet));
}

void readScriptTag(Bytes& body, std::uint32_t timeMs, FlvFile& file)
{
    try {
        const QVariant name = amfValue(body, 0);
        FlvScriptTag tag;
        tag.timeMs = timeMs;
        tag.name = name.toString();
        tag.value = amfValue(body, 0);
        file.scripts.push_back(std::move(tag));
    } catch (const AmfError&) {
        file.warnings.push_back(QStringLiteral("script data at %1 ms could not be read").arg(timeMs));
    }
}

} // namespace

FlvFile readFlv(QByteArrayView bytes)
{
    FlvFile file;
    Bytes b(bytes);
    if (!b.has(9) || bytes.first(3) != QByteArrayView("FLV")) {
        file.warnings.push_back(QStringLiteral("not an FLV file"));
        return file;
    }
    b.take(3);
    b.be(1); // version
    const std::uint32_t flags = b.be(1);
    file.declaresAudio = flags & 0x04;
    file.declaresVideo = flags & 0x01;
    const std::uint32_t headerSize = b.be(4);
    if (headerSize < 9 || !b.has(headerSize - 9 + 4)) {
        file.warnings.push_back(QStringLiteral("FLV header cut off"));
        return file;
    }
    b.take(headerSize - 9);
    b.be(4); // size of the tag before the first: 0
    file.bytesUsed = b.pos();
    while (b.remaining() > 0) {
        if (!b.has(11)) {
            file.warnings.push_back(QStringLiteral("FLV tag header cut off"));
            break;
        }
        const std::uint32_t type = b.be(1) & 0x1F;
        const std::uint32_t size = b.be(3);
        const std::uint32_t low = b.be(3);
        const std::uint32_t timeMs = (b.be(1) << 24) | low;
        b.be(3); // stream id
        if (!b.has(size)) {
            file.warnings.push_back(QStringLiteral("FLV tag at %1 ms cut off").arg(timeMs));
            break;
        }
        Bytes body = b.sub(size);
        switch (type) {
        case TagVideo:
            readVideoTag(body, timeMs, file);
            break;
        case TagAudio:
            if (body.has(1)) {
                FlvAudioPacket packet;
                packet.timeMs = timeMs;
                packet.format = std::uint8_t(body.be(1));
                packet.data = body.take(body.remaining());
                file.audio.push_back(std::move(packet));
            }
            break;
        case TagScript:
            readScriptTag(body, timeMs, file);
            break;
        default:
            break;
        }
        // The size of the tag just read; a file cut here still has the tag.
        if (b.has(4)) {
            b.be(4);
        } else {
            file.warnings.push_back(QStringLiteral("FLV file cut off after the tag at %1 ms").arg(timeMs));
            b.take(b.remaining());
        }
        file.bytesUsed = b.pos();
    }
    return file;
}

} // namespace qev::swf::video
