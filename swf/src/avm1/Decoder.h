#pragma once

// Reads one action at a time from an action block: its code, its payload
// and where the next action starts. Nothing here gives actions meaning.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>

namespace qev::swf::avm1 {

struct DecodedAction {
    std::uint8_t code = 0;
    std::uint32_t payload = 0; // offset of the payload in the block
    std::uint32_t length = 0;  // payload length
    std::uint32_t next = 0;    // offset of the next action
};

// A bounded little-endian reader over one action's payload.
class PayloadReader {
public:
    PayloadReader(const QByteArray& block, std::uint32_t start, std::uint32_t length)
        : data_(reinterpret_cast<const unsigned char*>(block.constData()) + start), size_(length)
    {
    }
    bool atEnd() const { return pos_ >= size_; }
    bool ok() const { return ok_; }
    std::uint32_t pos() const { return pos_; }
    std::uint8_t u8()
    {
        if (pos_ + 1 > size_) {
            ok_ = false;
            pos_ = size_;
            return 0;
        }
        return data_[pos_++];
    }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return std::uint16_t(lo | (u8() << 8));
    }
    std::int16_t s16() { return std::int16_t(u16()); }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (std::uint32_t(u16()) << 16);
    }
    float f32()
    {
        const std::uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    double f64Swapped()
    {
        // Push's doubles store the high 32 bits first.
        const std::uint64_t high = u32();
        const std::uint64_t low = u32();
        const std::uint64_t bits = (high << 32) | low;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    // A zero-terminated string: UTF-8 from SWF 6, the 8-bit code page before.
    QString string(int version)
    {
        const std::uint32_t start = pos_;
        while (pos_ < size_ && data_[pos_] != 0)
            ++pos_;
        const char* s = reinterpret_cast<const char*>(data_ + start);
        const qsizetype n = qsizetype(pos_ - start);
        if (pos_ < size_)
            ++pos_;
        else
            ok_ = false;
        return version >= 6 ? QString::fromUtf8(s, n) : QString::fromLatin1(s, n);
    }

private:
    const unsigned char* data_;
    std::uint32_t size_;
    std::uint32_t pos_ = 0;
    bool ok_ = true;
};

// The action at pc of block, which ends at end. False at the end of the
// block, at an End action, or for an action whose payload runs past end.
inline bool decodeAction(const QByteArray& block, std::uint32_t pc, std::uint32_t end, DecodedAction& out)
{
    if (pc >= end || pc >= std::uint32_t(block.size()))
        return false;
    const auto* d = reinterpret_cast<const unsigned char*>(block.constData());
    out.code = d[pc];
    if (out.code == 0)
        return false;
    if (out.code < 0x80) {
        out.payload = pc + 1;
        out.length = 0;
        out.next = pc + 1;
        return true;
    }
    if (pc + 3 > end)
        return false;
    out.length = std::uint32_t(d[pc + 1] | (d[pc + 2] << 8));
    out.payload = pc + 3;
    out.next = out.payload + out.length;
    return out.next <= end;
}

} // namespace qev::swf::avm1
