#pragma once

#include <QByteArray>

#include <cstdint>

namespace qev::swf::detail {

struct Inflated {
    QByteArray data;
    bool complete = false; // the stream ended cleanly (or maxOut was reached exactly)
    bool failed = false;   // the stream was broken before its end
    // Bytes the LZMA decoder held for its dictionary and state (0 for zlib).
    std::uint64_t decoderMemory = 0;
};

// Inflates a zlib stream, producing at most maxOut bytes (further output is
// dropped, so a bomb costs no more than maxOut of memory).
Inflated inflateCapped(const std::uint8_t* data, std::size_t size, std::uint64_t maxOut);

// Decodes the LZMA body of a ZWS file: 5 property bytes then the stream,
// for an uncompressed body of declaredSize bytes; at most maxOut bytes. The
// dictionary is no larger than the output can be, whatever the file claims.
Inflated unlzmaCapped(const std::uint8_t* props, const std::uint8_t* data, std::size_t size,
                      std::uint64_t declaredSize, std::uint64_t maxOut);

} // namespace qev::swf::detail
