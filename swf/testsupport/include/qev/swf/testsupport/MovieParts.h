#pragma once

// Parts of movies that the engine's tests and the fuzz seeds build alike,
// written with the SWF writer: solid shapes, button records, and the two
// structures that refer to themselves (a sprite that places itself, a
// button and a sprite that hold each other).

#include <qev/swf/Writer.h>

#include <cstdint>
#include <vector>

namespace qev::swf::testsupport {

// A rectangle filled with one opaque colour (0xRRGGBB); x, y, w, h in pixels.
std::uint16_t solidRect(writer::MovieBuilder& m, std::uint32_t colour, double x, double y, double w, double h);

// The states of a button record, as the four flags of the format.
struct ButtonStates {
    bool up = false;
    bool over = false;
    bool down = false;
    bool hitTest = false;
    static ButtonStates all() { return {true, true, true, true}; }
};

// A button record showing `characterId` at `depth` in `states`.
ButtonRecord buttonRecord(std::uint16_t characterId, std::uint16_t depth, ButtonStates states,
                          const Matrix& matrix = {});

// A sprite that shows `shape` at depth 1 and places itself at depths 2, 3,
// ... once per matrix in `selfPlacements`; its frame repeats `frames` times.
// Returns its id, which is the builder's next id when called.
std::uint16_t defineSelfPlacingSprite(writer::MovieBuilder& m, std::uint16_t shape,
                                      const std::vector<Matrix>& selfPlacements, int frames = 1);

// A button and a sprite that hold each other: the button's one record
// (depth 1, in `states`) shows the sprite; the sprite places the button at
// depths 1 to `copies`, each moved by `offset`, then `shape` (unless 0) at
// the depth after them. The sprite's id is the button's plus one.
struct ButtonSpriteCycle {
    std::uint16_t button = 0;
    std::uint16_t sprite = 0;
};
ButtonSpriteCycle defineButtonSpriteCycle(writer::MovieBuilder& m, ButtonStates states, int copies,
                                          const Matrix& offset, std::uint16_t shape);

} // namespace qev::swf::testsupport
