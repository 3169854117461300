#pragma once

// The state of a playing movie as plain values: one display list per
// timeline, nested for sprites. Copying a TimelineState copies the whole tree,
// which is what a seek snapshot is.

#include "engine/TextField.h"

#include <qev/swf/model/Movie.h>

#include "engine/ScriptDrawing.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace qev::swf::engine {

struct TimelineState;

// What a video shows once a script attached a stream to it: the stream's
// picture now (null: nothing) and how to scale it.
struct AttachedVideo {
    QImage picture;
    bool smoothing = false;
};

// A character placed at one depth of a timeline.
struct Instance {
    std::uint16_t characterId = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    QString name;
    std::uint16_t clipDepth = 0; // > 0: masks the depths above it up to this one
    // Kept for the effects stage (filters, blending, bitmap caching).
    std::vector<Filter> filters;
    BlendMode blendMode = BlendMode::Normal;
    bool cacheAsBitmap = false;
    bool visible = true;
    std::optional<Rgba> backgroundColor;
    // A sprite's own timeline; empty for every other character.
    std::vector<TimelineState> sprite;
    // A button whose pictures hold sprites: the objects of the state it
    // shows, live, so those sprites play (the face's frame is the state,
    // 0 up, 1 over, 2 down). Empty for every other character.
    std::vector<TimelineState> buttonFace;
    // Placed during the tick in progress (a new sprite does not move on in
    // the tick that placed it).
    bool justPlaced = false;
    // A button's picture: 0 up, 1 over, 2 down (set from the mouse).
    std::uint8_t buttonState = 0;
    // A button instance: scripts see it as a Button object.
    bool isButton = false;
    // Removed, waiting for its unload handlers beneath the rest of its
    // parent's list; neither the timeline nor the clock moves it on.
    bool unloading = false;
    // Who this instance is for scripts: unique per placement, kept by seek
    // snapshots, so a clip's script object follows it.
    std::uint64_t uid = 0;
    // A script set the position or shape of this instance; the timeline no
    // longer moves it.
    bool scriptTransformed = false;
    // setMask: the uid of the clip whose shapes clip this one (0: none);
    // that clip is a mask from then on and is not drawn itself.
    std::uint64_t scriptMask = 0;
    bool isScriptMask = false;
    // Made by a script (createEmptyMovieClip, attachMovie, ...): the
    // timeline never removes it, and gotos keep it.
    bool scriptMade = false;
    // A movie that a script loaded plays here (a level, or a clip loaded
    // into): its scripts' _root.
    bool loadedMovie = false;
    // A text field's text and settings (DefineEditText or createTextField);
    // null for every other character.
    std::shared_ptr<const TextFieldState> textField;
    // A video a script attached a stream to shows it instead of its own
    // frames; null for every other instance.
    std::shared_ptr<const AttachedVideo> attachedVideo;
    // The onClipEvent handlers it was placed with (in the movie's model).
    const std::vector<ClipEventHandler>* clipEvents = nullptr;
};

// What a main-timeline action asked for; collected while a frame's actions
// run and applied afterwards, so that seeking can build a frame without
// following the movie's own jumps.
struct Navigation {
    enum class Kind { Stop, Play, Goto };
    Kind kind = Kind::Stop;
    int frame = 0;
    bool play = false;
};

struct TimelineState {
    const Timeline* timeline = nullptr;
    std::uint16_t characterId = 0; // the sprite's id; 0 for the main timeline
    int frame = 0;
    bool playing = true;
    std::map<int, Instance> list; // depth -> instance
    // What scripts drew with the drawing methods, beneath the list.
    std::shared_ptr<const ScriptDrawing> drawing;
};

// The display list inside an instance: a sprite's timeline or a button's
// live face; null for everything else.
inline TimelineState* innerList(Instance& inst)
{
    return !inst.sprite.empty() ? &inst.sprite.front() : !inst.buttonFace.empty() ? &inst.buttonFace.front() : nullptr;
}

// Whether scripts see the instance as an object of its own with a path
// (sprites and buttons; text fields and videos have objects of their own
// kinds).
inline bool isScriptClip(const Instance& inst)
{
    return !inst.sprite.empty() || inst.isButton;
}

struct RootState {
    TimelineState main;
    Rgba background{255, 255, 255, 255};
    // Navigation asked for by the main timeline's actions of the current frame.
    std::vector<Navigation> navigation;
    // A script moved the main timeline to another frame since the player
    // last looked.
    bool jumped = false;
};

} // namespace qev::swf::engine
