#pragma once

#include <QByteArray>

#include <cstdint>

namespace qev::swf::detail {

struct Inflated {
    QByteArray data;
    bool complete = false; // the stream ended cleanly (or maxOut was reached exactly)
    bool failed = false;   // the stream was broken before its end
};

// Inflates a zlib stream, producing at most maxOut bytes (further output is
// dropped, so a bomb costs no more than maxOut of memory).
Inflated inflateCapped(const std::uint8_t* data, std::size_t size, std::uint64_t maxOut);

// Decodes the LZMA body of a ZWS file: 5 property bytes then the stream,
// for an uncompressed body of declaredSize bytes; at most maxOut bytes.
Inflated unlzmaCapped(const std::uint8_t* props, const std::uint8_t* data, std::size_t size,
                      std::uint64_t declaredSize, std::uint64_t maxOut);

} // namespace qev::swf::detail
