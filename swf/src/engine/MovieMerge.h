#pragma once

// A movie loaded into a playing one (loadMovie) joins the playing movie's
// dictionary under character ids of its own, so that the renderer, the
// buttons, the sounds and the text look characters up in one dictionary
// as they always have, and a movie that plays alone pays nothing. Every
// reference inside the loaded movie (placements, bitmap fills, fonts,
// button records, sounds, init actions, exported names) is renumbered
// with it; its main timeline becomes one more sprite.

#include <qev/swf/model/Movie.h>

#include <QString>

#include <cstdint>
#include <map>
#include <optional>

namespace qev::swf::engine {

struct MergedMovie {
    // The sprite that plays the loaded movie's main timeline.
    std::uint16_t rootSprite = 0;
    // Its exported names (attachMovie inside it), with the new ids.
    std::map<QString, std::uint16_t> exports;
    std::uint8_t version = 0;
};

// Adds loaded's characters and sounds to host under ids host does not use
// (taken from the top of the id space down). Returns nothing, and leaves
// host as it was, when too few ids are free.
std::optional<MergedMovie> mergeMovie(Movie& host, Movie&& loaded);

} // namespace qev::swf::engine
