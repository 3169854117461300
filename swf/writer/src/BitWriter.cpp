#include <qev/swf/Writer.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qev::swf::writer {

void BitWriter::align()
{
    if (m_used > 0) {
        m_data.append(char(std::uint8_t(m_byte << (8 - m_used)))); // bits fill a byte from its top
        m_byte = 0;
        m_used = 0;
    }
}

void BitWriter::u8(std::uint32_t v)
{
    align();
    m_data.append(char(v & 0xFF));
}

void BitWriter::u16(std::uint32_t v)
{
    u8(v);
    u8(v >> 8);
}

void BitWriter::u32(std::uint32_t v)
{
    u16(v);
    u16(v >> 16);
}

void BitWriter::f32(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
}

void BitWriter::fixed16(double v) { u32(std::uint32_t(std::int32_t(std::lround(v * 65536.0)))); }

void BitWriter::fixed8(double v) { u16(std::uint16_t(std::int16_t(std::lround(v * 256.0)))); }

void BitWriter::ub(int bits, std::uint32_t v)
{
    if (bits < 32 && (std::uint64_t(v) >> bits) != 0)
        throw std::invalid_argument("value " + std::to_string(v) + " does not fit in " + std::to_string(bits) + " bits");
    for (int i = bits - 1; i >= 0; --i) {
        m_byte = std::uint8_t((m_byte << 1) | ((v >> i) & 1u));
        if (++m_used == 8) {
            m_data.append(char(m_byte));
            m_byte = 0;
            m_used = 0;
        }
    }
}

void BitWriter::sb(int bits, std::int32_t v)
{
    if (bits == 0) {
        if (v != 0)
            throw std::invalid_argument("non-zero value in zero bits");
        return;
    }
    if (sbits(v) > bits)
        throw std::invalid_argument("value " + std::to_string(v) + " does not fit in " + std::to_string(bits)
                                    + " signed bits");
    const std::uint32_t mask = bits >= 32 ? ~0u : ((1u << bits) - 1);
    ub(bits, std::uint32_t(v) & mask);
}

void BitWriter::fb(int bits, double v) { sb(bits, std::int32_t(std::lround(v * 65536.0))); }

void BitWriter::bytes(const QByteArray& b)
{
    align();
    m_data.append(b);
}

void BitWriter::string(const QString& s)
{
    align();
    m_data.append(s.toUtf8());
    m_data.append('\0');
}

const QByteArray& BitWriter::data()
{
    align();
    return m_data;
}

int BitWriter::ubits(std::uint64_t v)
{
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

int BitWriter::sbits(std::int64_t v)
{
    if (v == 0)
        return 0;
    return ubits(std::uint64_t(v < 0 ? ~v : v)) + 1;
}

} // namespace qev::swf::writer
