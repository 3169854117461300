#include "qev/swf/testsupport/MovieParts.h"

namespace qev::swf::testsupport {

using namespace writer;

std::uint16_t solidRect(MovieBuilder& m, std::uint32_t colour, double x, double y, double w, double h)
{
    return m.defineShape(ShapeBuilder().fill(solid(rgb(colour))).rect(x, y, w, h));
}

ButtonRecord buttonRecord(std::uint16_t characterId, std::uint16_t depth, ButtonStates states, const Matrix& matrix)
{
    ButtonRecord r;
    r.characterId = characterId;
    r.depth = depth;
    r.up = states.up;
    r.over = states.over;
    r.down = states.down;
    r.hitTest = states.hitTest;
    r.matrix = matrix;
    return r;
}

std::uint16_t defineSelfPlacingSprite(MovieBuilder& m, std::uint16_t shape, const std::vector<Matrix>& selfPlacements,
                                      int frames)
{
    // The sprite names itself by the id it is about to get.
    const std::uint16_t self = m.nextId();
    SpriteBuilder s;
    s.place(shape, 1);
    std::uint16_t depth = 2;
    for (const Matrix& matrix : selfPlacements)
        s.place(self, depth++, matrix);
    for (int f = 0; f < frames; ++f)
        s.showFrame();
    return m.defineSprite(s);
}

ButtonSpriteCycle defineButtonSpriteCycle(MovieBuilder& m, ButtonStates states, int copies, const Matrix& offset,
                                          std::uint16_t shape)
{
    ButtonSpriteCycle ids;
    ids.button = m.nextId();
    ids.sprite = std::uint16_t(ids.button + 1);
    Button button;
    button.version = 2;
    button.records = {buttonRecord(ids.sprite, 1, states)};
    m.defineButton(button);
    SpriteBuilder s;
    std::uint16_t depth = 1;
    for (int i = 0; i < copies; ++i)
        s.place(ids.button, depth++, offset);
    if (shape != 0)
        s.place(shape, depth);
    s.showFrame();
    m.defineSprite(s);
    return ids;
}

} // namespace qev::swf::testsupport
