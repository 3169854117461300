#pragma once

// A reader over a bounded byte range: every read checks what is left and
// throws FormatError instead of reading past the end.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <exception>

namespace qev::swf::detail {

// A tag (or bitmap, or action block) that cannot be read as declared.
struct FormatError : std::exception {
    explicit FormatError(QString m) : message(std::move(m)) {}
    const char* what() const noexcept override { return "malformed movie data"; }
    QString message;
};

class BitReader {
public:
    BitReader() = default;
    BitReader(const std::uint8_t* data, std::size_t size, std::uint64_t base = 0)
        : m_data(data), m_size(size), m_base(base)
    {
    }

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    // Offset of the current byte in the whole uncompressed file.
    std::uint64_t fileOffset() const { return m_base + m_pos; }
    const std::uint8_t* data() const { return m_data; }

    void align() { m_bitsLeft = 0; }

    void need(std::size_t n) const
    {
        if (n > m_size - m_pos)
            throw FormatError(QStringLiteral("data ends early: %1 more bytes expected, %2 left")
                                  .arg(n)
                                  .arg(m_size - m_pos));
    }

    std::uint8_t u8()
    {
        align();
        need(1);
        return m_data[m_pos++];
    }
    std::uint16_t u16()
    {
        align();
        need(2);
        std::uint16_t v = std::uint16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    std::int16_t s16() { return std::int16_t(u16()); }
    std::uint32_t u32()
    {
        align();
        need(4);
        std::uint32_t v = std::uint32_t(m_data[m_pos]) | (std::uint32_t(m_data[m_pos + 1]) << 8)
            | (std::uint32_t(m_data[m_pos + 2]) << 16) | (std::uint32_t(m_data[m_pos + 3]) << 24);
        m_pos += 4;
        return v;
    }
    std::int32_t s32() { return std::int32_t(u32()); }
    float f32()
    {
        std::uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    // 16.16 signed fixed point.
    double fixed16() { return s32() / 65536.0; }
    // 8.8 signed fixed point.
    double fixed8() { return s16() / 256.0; }

    std::uint32_t ub(int bits)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bits; ++i) {
            if (m_bitsLeft == 0) {
                need(1);
                m_bitByte = m_data[m_pos++];
                m_bitsLeft = 8;
            }
            --m_bitsLeft;
            v = (v << 1) | ((m_bitByte >> m_bitsLeft) & 1u);
        }
        return v;
    }
    std::int32_t sb(int bits)
    {
        if (bits == 0)
            return 0;
        std::uint32_t v = ub(bits);
        if (bits < 32 && (v & (1u << (bits - 1))))
            v |= ~0u << bits;
        return std::int32_t(v);
    }
    // Signed 16.16 fixed point in `bits` bits.
    double fb(int bits) { return sb(bits) / 65536.0; }
    bool flag() { return ub(1) != 0; }

    void skip(std::size_t n)
    {
        align();
        need(n);
        m_pos += n;
    }
    void seek(std::size_t p)
    {
        align();
        if (p > m_size)
            throw FormatError(QStringLiteral("offset %1 lies past the end (%2 bytes)").arg(p).arg(m_size));
        m_pos = p;
    }
    QByteArray bytes(std::size_t n)
    {
        align();
        need(n);
        QByteArray b(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return b;
    }
    QByteArray rest() { return bytes(remaining()); }
    // A reader over the next n bytes; this reader moves past them.
    BitReader sub(std::size_t n)
    {
        align();
        need(n);
        BitReader r(m_data + m_pos, n, m_base + m_pos);
        m_pos += n;
        return r;
    }
    // A reader over [from, to) of this reader's range, without moving.
    BitReader range(std::size_t from, std::size_t to) const
    {
        if (from > to || to > m_size)
            throw FormatError(QStringLiteral("range %1..%2 lies outside %3 bytes").arg(from).arg(to).arg(m_size));
        return BitReader(m_data + from, to - from, m_base + from);
    }
    // A null-terminated string: UTF-8 from version 6 on, Latin-1 before.
    QString string(int version)
    {
        align();
        if (m_pos >= m_size)
            throw FormatError(QStringLiteral("unterminated string"));
        const void* end = std::memchr(m_data + m_pos, 0, m_size - m_pos);
        if (!end)
            throw FormatError(QStringLiteral("unterminated string"));
        const auto* e = static_cast<const std::uint8_t*>(end);
        const auto* s = reinterpret_cast<const char*>(m_data + m_pos);
        const qsizetype len = qsizetype(e - (m_data + m_pos));
        m_pos += std::size_t(len) + 1;
        return version >= 6 ? QString::fromUtf8(s, len) : QString::fromLatin1(s, len);
    }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    std::uint64_t m_base = 0;
    std::uint8_t m_bitByte = 0;
    int m_bitsLeft = 0;
};

} // namespace qev::swf::detail
