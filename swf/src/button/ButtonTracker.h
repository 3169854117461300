#pragma once

// The mouse over buttons (DefineButton, DefineButton2): which button is under
// the pointer, the state machine each button runs through (idle, over up,
// over down, out down), the picture each state shows, and the action blocks
// whose conditions a transition meets.

#include "engine/OpenCharacters.h"
#include "engine/State.h"

#include <qev/swf/model/Movie.h>

#include <QPainterPath>
#include <QPointF>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qev::swf::button {

// The picture a button shows, as kept in engine::Instance::buttonState.
enum class Visual : std::uint8_t { Up = 0, Over = 1, Down = 2 };

enum class Phase { Idle, OverUp, OverDown, OutDown };

// Which of a button's records a state shows.
bool shows(const ButtonRecord& record, Visual visual);
// The picture of each phase; dragged out while held, a button shows "over".
Visual visualOf(Phase phase);

// An action block to run on the timeline at timelinePath (depths from the
// main timeline; empty for the main timeline itself). For a clip that acts
// as a button, instead: the clip's event (a ClipEvent bit) and handler
// method to run, timelinePath being the clip's.
struct Fired {
    std::vector<int> timelinePath;
    const QByteArray* bytecode = nullptr;
    std::uint32_t clipEvent = 0;
    const char16_t* method = nullptr;
};

// Whether a sprite instance answers the pointer as a button does (a script
// gave it onPress, onRelease, ...).
using ClipButtonTest = std::function<bool(const engine::Instance&)>;

class ButtonTracker {
public:
    explicit ButtonTracker(const Movie& movie, ClipButtonTest isClipButton = {});

    // Whether the movie defines any button, or may make clips act as
    // buttons (otherwise nothing here needs to run).
    bool hasButtons() const { return hasButtons_; }
    // A loaded movie added characters to the dictionary: its buttons count.
    void charactersAdded();

    // The topmost visible button whose hit area holds the point (stage
    // twips): its depths from the main timeline down.
    std::optional<std::vector<int>> hit(const engine::RootState& state, QPointF stage);

    // Pointer events at a stage point. Each returns the action blocks the
    // transitions call for, in order.
    std::vector<Fired> move(const engine::RootState& state, QPointF stage);
    std::vector<Fired> press(const engine::RootState& state, QPointF stage);
    std::vector<Fired> release(const engine::RootState& state, QPointF stage);
    // The pointer left the control.
    std::vector<Fired> leave(const engine::RootState& state);
    // Enter or Space on the focused button or clip at path: it is pressed
    // and released where it is, whatever the pointer does.
    std::vector<Fired> pressByKey(const engine::RootState& state, const std::vector<int>& path);

    // Writes the pictures into the display list: the tracked button shows its
    // phase, every other button is up. Forgets a tracked button that is gone.
    void apply(engine::RootState& state);

    // The sounds of the transitions made since the last call (DefineButtonSound).
    std::vector<ButtonSound> takeSounds() { return std::exchange(firedSounds_, {}); }

    Phase phase() const { return phase_; }
    bool overButton() const { return phase_ == Phase::OverUp || phase_ == Phase::OverDown; }
    const std::vector<int>& tracked() const { return tracked_; }

    // Buttons inside buttons and sprites deeper than this are not looked at.
    static constexpr int maxNesting = 32;
    // Hit areas can nest buttons and sprites into each other so that one
    // search would visit more objects than could ever be drawn; a search
    // that looked at this many gives up and finds nothing.
    static constexpr std::size_t maxVisitsPerSearch = 20000;

private:
    // The button at path, if it is still the character id.
    const Button* buttonAt(const engine::RootState& state, const std::vector<int>& path, std::uint16_t id) const;
    void fire(const engine::RootState& state, std::uint16_t condition, std::vector<Fired>& out) const;
    void fireAt(const engine::RootState& state, const std::vector<int>& path, std::uint16_t id,
                std::uint16_t condition, std::vector<Fired>& out) const;
    void enter(const engine::RootState& state, const std::optional<std::vector<int>>& over, std::vector<Fired>& out);
    bool findHit(const std::map<int, engine::Instance>& list, const QTransform& toStage, QPointF p, int nesting,
                 std::vector<int>& path);
    bool hitCharacter(std::uint16_t id, const engine::Instance* instance, const QTransform& toStage, QPointF p,
                      int nesting);
    bool hitContainer(const Character& c, const engine::Instance* instance, const QTransform& toStage, QPointF p,
                      int nesting);
    bool hitTimelineFrame(const Timeline& timeline, const QTransform& toStage, QPointF p, int nesting);
    bool visit(int nesting);
    const QPainterPath& coverage(std::uint16_t shapeId);

    const Movie& movie_;
    ClipButtonTest isClipButton_;
    bool hasButtons_ = false;
    mutable std::vector<ButtonSound> firedSounds_;
    std::vector<int> tracked_;
    std::uint16_t trackedId_ = 0;
    Phase phase_ = Phase::Idle;
    bool pressed_ = false;
    std::unordered_map<std::uint16_t, QPainterPath> coverage_;
    std::size_t visitsLeft_ = 0;
    // The sprites and buttons whose hit areas the search is inside now.
    engine::OpenCharacters opened_;
};

} // namespace qev::swf::button
