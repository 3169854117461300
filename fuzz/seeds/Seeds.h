#pragma once

// Seed inputs for the fuzz targets, made with the project's own playlist
// and SWF writers: small files that between them reach every kind of tag,
// style, action and playlist line the readers know.

#include <QByteArray>
#include <QString>

#include <vector>

namespace qev::fuzz {

struct Seed {
    QString name;
    QByteArray bytes;
};

// Inputs of playlistTarget: a code page selector byte, then a playlist file.
std::vector<Seed> playlistSeeds();

// SWF files for swfReaderTarget and swfEngineTarget.
std::vector<Seed> swfSeeds();

// Hand-made hostile movies: well-formed files whose structure multiplies
// the engine's work (actions that jump in a loop while seeking a sprite,
// sprites that place themselves, buttons that show sprites that hold the
// same button). Each must play and draw in bounded time.
std::vector<Seed> hostileSwfSeeds();

} // namespace qev::fuzz
