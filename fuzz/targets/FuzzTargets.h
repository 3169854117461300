#pragma once

// The fuzz entry points. libFuzzer calls them through the small files in
// entry/; the replay program calls the same functions on seed movies,
// crashers and mutations of both, so the normal build checks what the fuzz
// build explores. Each returns 0 (libFuzzer's "input processed").

#include <cstddef>
#include <cstdint>

namespace qev::fuzz {

// Playlist bytes under one code page: the first byte picks the code page,
// the rest is the file. Decoded pairs that the file can hold must come back
// unchanged when written and read again.
int playlistTarget(const std::uint8_t* data, std::size_t size);

// SWF bytes into the movie model.
int swfReaderTarget(const std::uint8_t* data, std::size_t size);

// SWF bytes played: load, advance a few frames, seek back and forth, draw
// into a small image. Needs a QGuiApplication, which it makes on first use
// (offscreen platform unless one is set).
int swfEngineTarget(const std::uint8_t* data, std::size_t size);

} // namespace qev::fuzz
