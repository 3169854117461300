#pragma once

// Control tags and frames of the main timeline and of sprites.

#include <qev/swf/model/Filters.h>
#include <qev/swf/model/Sound.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace qev::swf {

// The events an onClipEvent handler answers (one bit each, as stored in
// SWF 6 and later; SWF 5 stores the low 16 bits only).
namespace ClipEvent {
enum : std::uint32_t {
    Load = 0x01,
    EnterFrame = 0x02,
    Unload = 0x04,
    MouseMove = 0x08,
    MouseDown = 0x10,
    MouseUp = 0x20,
    KeyDown = 0x40,
    KeyUp = 0x80,
    Data = 0x100,
    Initialize = 0x200,
    Press = 0x400,
    Release = 0x800,
    ReleaseOutside = 0x1000,
    RollOver = 0x2000,
    RollOut = 0x4000,
    DragOver = 0x8000,
    DragOut = 0x10000,
    KeyPress = 0x20000,
    Construct = 0x40000,
};
} // namespace ClipEvent

// One onClipEvent handler of a placed sprite: the events it answers and
// its action block.
struct ClipEventHandler {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0; // the key of a KeyPress event
    QByteArray bytecode;
};

// PlaceObject (version 1), PlaceObject2 and PlaceObject3.
//  - move false, characterId set: put a new character at depth (replacing
//    whatever was there).
//  - move true, characterId empty: modify the character at depth.
//  - move true, characterId set: replace the character at depth, keeping
//    the fields not given here.
// Unset optionals mean "not given" (keep the old value when modifying; the
// default when placing new). PlaceObject version 1 always places new, with
// a matrix and optionally a colour transform without alpha.
struct PlaceObject {
    int version = 2;
    bool move = false;
    std::uint16_t depth = 0;
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;     // morph shapes: 0..65535; sprites/videos: frame hint
    std::optional<QString> name;
    std::optional<std::uint16_t> clipDepth; // this layer masks depths (depth, clipDepth]
    std::optional<std::vector<Filter>> filters;
    std::optional<BlendMode> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> backgroundColor;    // opaque background (cache as bitmap)
    std::optional<QString> className;
    std::vector<ClipEventHandler> clipActions;
};

// RemoveObject (with characterId) and RemoveObject2.
struct RemoveObject {
    std::uint16_t depth = 0;
    std::optional<std::uint16_t> characterId;
};

struct SetBackgroundColor {
    Rgba color; // alpha always 255
};

struct DoAction {
    QByteArray bytecode; // the block as stored, for the script machine
};

// DoInitAction: run once, before the first frame that holds it, for the
// sprite it names (class definitions of exported symbols live here).
struct DoInitAction {
    std::uint16_t spriteId = 0;
    QByteArray bytecode;
};

// In the order the tags appear within the frame. Frame labels are not here
// but on Frame::labels.
using ControlTag = std::variant<PlaceObject, RemoveObject, SetBackgroundColor, DoAction, DoInitAction>;

struct Frame {
    std::vector<ControlTag> tags;
    std::vector<QString> labels; // FrameLabel tags of this frame (usually 0 or 1)
    std::vector<StartSound> sounds; // StartSound and StartSound2, in file order
    std::optional<QByteArray> streamBlock; // SoundStreamBlock: the stream's data for this frame
};

// Each ShowFrame closes one frame. Tags after the last ShowFrame (before
// End) form one more frame when there are any, so a timeline whose final
// ShowFrame is missing still shows its last changes.
struct Timeline {
    std::vector<Frame> frames;
    std::optional<SoundStreamHead> streamHead; // the first SoundStreamHead(2)
    // The tags ended with End right after a ShowFrame. A sprite that does
    // not (no End, or tags after the last ShowFrame) never counts as fully
    // loaded: it stays on its last frame instead of starting over.
    bool complete = true;
};

struct Sprite {
    std::uint16_t declaredFrameCount = 0; // as in the tag; use timeline.frames.size() for playback
    Timeline timeline;
};

} // namespace qev::swf
