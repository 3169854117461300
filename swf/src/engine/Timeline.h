#pragma once

#include "engine/State.h"

#include <cstddef>
#include <vector>

namespace qev::swf::engine {

// Runs timelines: applies a frame's control tags to a display list, moves
// placed sprites on, and runs the simple frame actions. Frame actions run
// after the frame's display list is built, the main timeline's before those
// of the sprites it holds.
class TimelineEngine {
public:
    explicit TimelineEngine(const Movie& movie);

    // The state at the first frame: frame 0 built and its actions run.
    RootState initial();
    // One tick. With moveMain the main timeline moves to its next frame
    // (the caller makes sure there is one); placed sprites that are playing
    // move on, looping at their end; then the actions of every frame entered
    // run. Navigation of the main timeline is left in state.navigation.
    void step(RootState& state, bool moveMain);

    // The first frame of a sprite on its own (for buttons that show one).
    TimelineState spriteFirstFrame(std::uint16_t spriteId);

    // Runs a button's action block on the timeline at path (depths from the
    // main timeline) as frame actions run: the main timeline's navigation
    // is left in state.navigation.
    void runButtonActions(RootState& state, const std::vector<int>& path, const ActionList& actions);

    // Sprites inside sprites deeper than this are shown empty.
    static constexpr int maxNesting = 24;
    // Above this many instances in one movie, sprites placed are shown empty.
    static constexpr std::size_t maxInstances = 100000;

private:
    struct Pending {
        std::vector<int> path; // depths from the main timeline down to the timeline
        const ActionList* actions = nullptr;
    };
    struct Run {
        RootState* root = nullptr;
        std::vector<Pending> queue;
        std::size_t instances = 0;
        // Actions run and frames rebuilt by jumps in this tick (see maxWorkPerTick).
        std::size_t work = 0;
    };

    void applyFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path, bool queueActions);
    void place(Run& run, TimelineState& t, const PlaceObject& p, const std::vector<int>& path);
    void startSprite(Run& run, Instance& inst, const std::vector<int>& path);
    bool containsItself(Run& run, const std::vector<int>& path, std::uint16_t spriteId);
    void stepTimeline(Run& run, TimelineState& t, const std::vector<int>& path, bool move);
    void gotoFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path);
    void runActions(Run& run);
    void execute(Run& run, const std::vector<int>& path, const ActionList& actions);
    TimelineState* resolve(RootState& root, const std::vector<int>& path);
    bool resolveTarget(RootState& root, const std::vector<int>& from, const QString& target, std::vector<int>& out);
    int findLabel(const Timeline& timeline, const QString& label) const;

    const Movie& movie_;
};

// Clears the placed-this-tick marks of a whole tree.
void clearJustPlaced(TimelineState& t);
// The number of instances in a tree, nested sprites included.
std::size_t instanceCount(const TimelineState& t);

} // namespace qev::swf::engine
