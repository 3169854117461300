// The live face of a button: the objects of the state (up, over, down) it
// shows, placed like a display list so that the sprites among them play
// their own timelines while the state is shown. Buttons whose pictures are
// only shapes, text and bitmaps are drawn straight from their records.

#include "engine/Timeline.h"

namespace qev::swf::engine {
namespace {

bool showsIn(const ButtonRecord& record, std::uint8_t state)
{
    return state == 1 ? record.over : state == 2 ? record.down : record.up;
}

} // namespace

bool TimelineEngine::hasLivePictures(std::uint16_t buttonId)
{
    auto it = livePictures_.find(buttonId);
    if (it != livePictures_.end())
        return it->second;
    bool live = false;
    if (const Button* button = movie_.find<Button>(buttonId))
        for (const ButtonRecord& r : button->records)
            if ((r.up || r.over || r.down) && (movie_.find<Sprite>(r.characterId) || movie_.find<Button>(r.characterId)))
                live = true;
    livePictures_.emplace(buttonId, live);
    return live;
}

void TimelineEngine::buildButtonFace(Run& run, Instance& inst, const std::vector<int>& path)
{
    const Button* button = movie_.find<Button>(inst.characterId);
    if (!button || !hasLivePictures(inst.characterId) || static_cast<int>(path.size()) > maxNesting
        || run.instances > maxInstances) {
        inst.buttonFace.clear();
        return;
    }
    TimelineState previous;
    if (!inst.buttonFace.empty())
        previous = std::move(inst.buttonFace.front());
    inst.buttonFace.clear();
    inst.buttonFace.emplace_back();
    TimelineState& face = inst.buttonFace.front();
    face.characterId = inst.characterId;
    face.frame = inst.buttonState;
    face.playing = false;
    std::vector<int> childPath = path;
    childPath.push_back(0);
    for (const ButtonRecord& r : button->records) {
        if (!showsIn(r, inst.buttonState) || face.list.contains(r.depth))
            continue;
        // The same character at the same depth in both states is the same
        // object: it keeps its place in its own timeline.
        auto kept = previous.list.find(r.depth);
        if (kept != previous.list.end() && kept->second.characterId == r.characterId) {
            face.list.emplace(r.depth, std::move(kept->second));
            continue;
        }
        Instance& child = face.list[r.depth];
        child.characterId = r.characterId;
        child.matrix = r.matrix;
        child.colorTransform = r.colorTransform;
        child.filters = r.filters;
        child.blendMode = r.blendMode;
        child.uid = nextUid_++;
        child.justPlaced = true;
        ++run.instances;
        childPath.back() = r.depth;
        if (movie_.find<Sprite>(r.characterId)) {
            // The clips a button shows are clips like any other: named,
            // constructed and loaded.
            child.name = QStringLiteral("instance%1").arg(++unnamedClips_);
            constructClip(run, child, childPath);
        } else if (movie_.find<Button>(r.characterId)) {
            child.isButton = true;
            child.name = QStringLiteral("instance%1").arg(++unnamedClips_);
            buildButtonFace(run, child, childPath);
        }
    }
    // What the new state no longer shows leaves the stage.
    for (const auto& [depth, left] : previous.list)
        if (!face.list.contains(depth) || face.list.at(depth).uid != left.uid)
            leaveStage(run, left, path, depth);
}

void TimelineEngine::syncButtonFaces(Run& run, TimelineState& t, std::vector<int>& path)
{
    if (static_cast<int>(path.size()) > maxNesting)
        return;
    for (auto& [depth, inst] : t.list) {
        path.push_back(depth);
        if (!inst.buttonFace.empty() && inst.buttonFace.front().frame != inst.buttonState)
            buildButtonFace(run, inst, path);
        if (TimelineState* inner = innerList(inst))
            syncButtonFaces(run, *inner, path);
        path.pop_back();
    }
}

void TimelineEngine::syncButtonFaces(RootState& state)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    std::vector<int> path;
    syncButtonFaces(run, state.main, path);
    runActions(run);
    clearJustPlaced(state.main);
}

} // namespace qev::swf::engine
