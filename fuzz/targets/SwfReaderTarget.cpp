#include "FuzzTargets.h"

#include "qev/swf/Reader.h"

namespace qev::fuzz {

int swfReaderTarget(const std::uint8_t* data, std::size_t size)
{
    // Smaller caps than the defaults keep each input fast; the checks they
    // exercise are the same.
    swf::ReadLimits limits;
    limits.maxDecompressedBytes = 8u << 20;
    try {
        const swf::Movie movie = swf::readMovie(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), limits);
        (void)movie;
    } catch (const swf::ReadError&) {
        // Not a movie: refused cleanly.
    }
    return 0;
}

} // namespace qev::fuzz
