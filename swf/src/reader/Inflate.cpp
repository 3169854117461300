#include "Inflate.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>

namespace qev::swf::detail {

namespace {

constexpr std::uint64_t kChunk = 1u << 20;

// Grows out to hold at least one more chunk, never beyond maxOut.
bool grow(QByteArray& out, std::uint64_t used, std::uint64_t maxOut)
{
    if (used >= maxOut)
        return false;
    const std::uint64_t want = std::min<std::uint64_t>(maxOut, std::max<std::uint64_t>(used * 2, used + kChunk));
    out.resize(qsizetype(want));
    return true;
}

} // namespace

Inflated inflateCapped(const std::uint8_t* data, std::size_t size, std::uint64_t maxOut)
{
    Inflated result;
    maxOut = std::min<std::uint64_t>(maxOut, std::uint64_t(INT_MAX) - 1);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        result.failed = true;
        return result;
    }
    zs.next_in = const_cast<Bytef*>(data);
    std::uint64_t used = 0;
    std::size_t inLeft = size;
    int rc = Z_OK;
    while (true) {
        if (used == std::uint64_t(result.data.size()) && !grow(result.data, used, maxOut)) {
            result.complete = true; // cap reached: the rest is not wanted
            break;
        }
        const std::uint64_t space = std::uint64_t(result.data.size()) - used;
        zs.next_out = reinterpret_cast<Bytef*>(result.data.data()) + used;
        zs.avail_out = uInt(std::min<std::uint64_t>(space, UINT_MAX));
        const uInt inChunk = uInt(std::min<std::size_t>(inLeft, UINT_MAX));
        zs.avail_in = inChunk;
        const uInt outBefore = zs.avail_out;
        rc = inflate(&zs, Z_NO_FLUSH);
        used += outBefore - zs.avail_out;
        inLeft -= inChunk - zs.avail_in;
        if (rc == Z_STREAM_END) {
            result.complete = true;
            break;
        }
        if (rc == Z_BUF_ERROR && zs.avail_out != 0) // no more input
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            result.failed = true;
            break;
        }
    }
    inflateEnd(&zs);
    result.data.resize(qsizetype(used));
    return result;
}

Inflated unlzmaCapped(const std::uint8_t* props, const std::uint8_t* data, std::size_t size,
                      std::uint64_t declaredSize, std::uint64_t maxOut)
{
    Inflated result;
    maxOut = std::min<std::uint64_t>(maxOut, std::uint64_t(INT_MAX) - 1);
    // Rebuild the header of the "alone" format: properties, dictionary size,
    // 64-bit uncompressed size. The dictionary never needs to be larger than
    // the output we keep (the declared size, at most maxOut), so a hostile
    // dictionary size costs no memory.
    std::uint8_t header[13];
    header[0] = props[0];
    std::uint32_t dict = std::uint32_t(props[1]) | (std::uint32_t(props[2]) << 8) | (std::uint32_t(props[3]) << 16)
        | (std::uint32_t(props[4]) << 24);
    const std::uint64_t outputBound = std::min(maxOut, declaredSize);
    dict = std::uint32_t(std::clamp<std::uint64_t>(dict, 4096, std::max<std::uint64_t>(4096, outputBound)));
    for (int i = 0; i < 4; ++i)
        header[1 + i] = std::uint8_t(dict >> (8 * i));
    for (int i = 0; i < 8; ++i)
        header[5 + i] = std::uint8_t(declaredSize >> (8 * i));

    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&ls, 512ull << 20) != LZMA_OK) {
        result.failed = true;
        return result;
    }
    std::uint64_t used = 0;
    // First the rebuilt header (produces no output), then the body.
    const std::uint8_t* inputs[2] = {header, data};
    const std::size_t lengths[2] = {sizeof header, size};
    bool done = false;
    for (int part = 0; part < 2 && !done; ++part) {
        ls.next_in = inputs[part];
        ls.avail_in = lengths[part];
        while (true) {
            if (used == std::uint64_t(result.data.size()) && !grow(result.data, used, maxOut)) {
                result.complete = true;
                done = true;
                break;
            }
            ls.next_out = reinterpret_cast<std::uint8_t*>(result.data.data()) + used;
            ls.avail_out = std::size_t(std::uint64_t(result.data.size()) - used);
            const std::size_t outBefore = ls.avail_out;
            const lzma_ret rc = lzma_code(&ls, LZMA_RUN);
            used += outBefore - ls.avail_out;
            if (rc == LZMA_STREAM_END) {
                result.complete = true;
                done = true;
                break;
            }
            if (rc != LZMA_OK) {
                result.failed = true;
                done = true;
                break;
            }
            if (ls.avail_in == 0 && ls.avail_out != 0)
                break; // this part is used up
        }
    }
    result.decoderMemory = lzma_memusage(&ls);
    lzma_end(&ls);
    result.data.resize(qsizetype(used));
    return result;
}

} // namespace qev::swf::detail
