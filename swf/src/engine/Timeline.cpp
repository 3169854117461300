#include "engine/Timeline.h"

#include <QRegularExpression>

#include <algorithm>

namespace qev::swf::engine {
namespace {

// Bounds that keep hostile action blocks from hanging a tick.
constexpr std::size_t maxBlocksPerTick = 10000;
constexpr std::size_t maxActionsPerBlock = 100000;
// All actions of one tick together, plus the frames that their jumps
// rebuild: a loop that seeks a long sprite back and forth would otherwise
// cost actions x frames.
constexpr std::size_t maxWorkPerTick = 100000;

int frameCount(const TimelineState& t)
{
    return t.timeline ? static_cast<int>(t.timeline->frames.size()) : 0;
}

} // namespace

TimelineEngine::TimelineEngine(const Movie& movie) : movie_(movie) {}

void clearJustPlaced(TimelineState& t)
{
    for (auto& [depth, inst] : t.list) {
        inst.justPlaced = false;
        for (TimelineState& s : inst.sprite)
            clearJustPlaced(s);
    }
}

std::size_t instanceCount(const TimelineState& t)
{
    std::size_t n = t.list.size();
    for (const auto& [depth, inst] : t.list)
        for (const TimelineState& s : inst.sprite)
            n += instanceCount(s);
    return n;
}

RootState TimelineEngine::initial()
{
    RootState root;
    root.background = movie_.backgroundColor;
    root.main.timeline = &movie_.timeline;
    Run run;
    run.root = &root;
    if (!movie_.timeline.frames.empty())
        applyFrame(run, root.main, 0, {}, true);
    runActions(run);
    clearJustPlaced(root.main);
    return root;
}

void TimelineEngine::step(RootState& state, bool moveMain)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    state.navigation.clear();
    stepTimeline(run, state.main, {}, moveMain);
    runActions(run);
    clearJustPlaced(state.main);
}

TimelineState TimelineEngine::spriteFirstFrame(std::uint16_t spriteId)
{
    RootState scratch;
    Instance inst;
    inst.characterId = spriteId;
    Run run;
    run.root = &scratch;
    startSprite(run, inst, {});
    if (inst.sprite.empty())
        return {};
    clearJustPlaced(inst.sprite.front());
    return std::move(inst.sprite.front());
}

void TimelineEngine::runButtonActions(RootState& state, const std::vector<int>& path, const ActionList& actions)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    execute(run, path, actions);
    runActions(run);
    clearJustPlaced(state.main);
}

void TimelineEngine::applyFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path,
                                bool queueActions)
{
    if (!t.timeline || frame < 0 || frame >= frameCount(t))
        return;
    t.frame = frame;
    for (const ControlTag& tag : t.timeline->frames[frame].tags) {
        if (const auto* p = std::get_if<PlaceObject>(&tag)) {
            place(run, t, *p, path);
        } else if (const auto* r = std::get_if<RemoveObject>(&tag)) {
            t.list.erase(r->depth);
        } else if (const auto* bg = std::get_if<SetBackgroundColor>(&tag)) {
            if (path.empty() && t.characterId == 0)
                run.root->background = bg->color;
        } else if (const auto* a = std::get_if<DoAction>(&tag)) {
            if (queueActions)
                run.queue.push_back({path, &a->actions});
        }
    }
}

void TimelineEngine::place(Run& run, TimelineState& t, const PlaceObject& p, const std::vector<int>& path)
{
    auto it = t.list.find(p.depth);
    Instance* inst = nullptr;
    bool fresh = false;
    if (!p.move || p.version == 1) {
        if (!p.characterId)
            return;
        Instance& slot = t.list[p.depth];
        slot = Instance{};
        slot.characterId = *p.characterId;
        inst = &slot;
        fresh = true;
    } else {
        if (it == t.list.end()) {
            // Modifying an empty depth with a character places it anew.
            if (!p.characterId)
                return;
            Instance& slot = t.list[p.depth];
            slot.characterId = *p.characterId;
            inst = &slot;
            fresh = true;
        } else {
            inst = &it->second;
            if (p.characterId && *p.characterId != inst->characterId) {
                inst->characterId = *p.characterId;
                inst->sprite.clear();
                fresh = true;
            }
        }
    }
    if (p.matrix)
        inst->matrix = *p.matrix;
    if (p.colorTransform)
        inst->colorTransform = *p.colorTransform;
    if (p.ratio)
        inst->ratio = *p.ratio;
    if (p.name)
        inst->name = *p.name;
    if (p.clipDepth)
        inst->clipDepth = *p.clipDepth;
    if (p.filters)
        inst->filters = *p.filters;
    if (p.blendMode)
        inst->blendMode = *p.blendMode;
    if (p.cacheAsBitmap)
        inst->cacheAsBitmap = *p.cacheAsBitmap;
    if (p.visible)
        inst->visible = *p.visible;
    if (p.backgroundColor)
        inst->backgroundColor = p.backgroundColor;
    if (fresh) {
        inst->justPlaced = true;
        ++run.instances;
        // Only a sprite has a timeline to start; the path is built for it alone.
        if (movie_.find<Sprite>(inst->characterId)) {
            std::vector<int> childPath = path;
            childPath.push_back(p.depth);
            startSprite(run, *inst, childPath);
        }
    }
}

void TimelineEngine::startSprite(Run& run, Instance& inst, const std::vector<int>& path)
{
    inst.sprite.clear();
    const Sprite* sprite = movie_.find<Sprite>(inst.characterId);
    if (!sprite)
        return;
    if (static_cast<int>(path.size()) > maxNesting || run.instances > maxInstances)
        return;
    if (containsItself(run, path, inst.characterId))
        return;
    inst.sprite.emplace_back();
    TimelineState& s = inst.sprite.front();
    s.timeline = &sprite->timeline;
    s.characterId = inst.characterId;
    s.frame = 0;
    s.playing = true;
    applyFrame(run, s, 0, path, true);
}

bool TimelineEngine::containsItself(Run& run, const std::vector<int>& path, std::uint16_t spriteId)
{
    // A sprite placed inside itself, directly or through other sprites,
    // would nest without end and double with every level; such an inner copy
    // stays empty. The walk stops at the instance being started, whose own
    // timeline does not exist yet.
    const TimelineState* t = &run.root->main;
    for (int depth : path) {
        auto it = t->list.find(depth);
        if (it == t->list.end() || it->second.sprite.empty())
            return false;
        t = &it->second.sprite.front();
        if (t->characterId == spriteId)
            return true;
    }
    return false;
}

void TimelineEngine::stepTimeline(Run& run, TimelineState& t, const std::vector<int>& path, bool move)
{
    if (move) {
        const int count = frameCount(t);
        if (t.frame + 1 < count) {
            applyFrame(run, t, t.frame + 1, path, true);
        } else if (count > 1) {
            // A sprite starts over after its last frame.
            t.list.clear();
            applyFrame(run, t, 0, path, true);
        }
    }
    std::vector<int> childPath = path;
    childPath.push_back(0);
    for (auto& [depth, inst] : t.list) {
        if (inst.justPlaced || inst.sprite.empty())
            continue;
        childPath.back() = depth;
        TimelineState& s = inst.sprite.front();
        stepTimeline(run, s, childPath, s.playing);
    }
}

void TimelineEngine::gotoFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path)
{
    const int count = frameCount(t);
    if (count == 0)
        return;
    frame = std::clamp(frame, 0, count - 1);
    if (frame == t.frame)
        return;
    const int from = frame < t.frame ? 0 : t.frame + 1;
    // A jump the tick cannot afford is not taken.
    const std::size_t frames = static_cast<std::size_t>(frame - from + 1);
    if (run.work + frames > maxWorkPerTick)
        return;
    run.work += frames;
    if (from == 0)
        t.list.clear();
    for (int f = from; f <= frame; ++f)
        applyFrame(run, t, f, path, f == frame);
}

TimelineState* TimelineEngine::resolve(RootState& root, const std::vector<int>& path)
{
    TimelineState* t = &root.main;
    for (int depth : path) {
        auto it = t->list.find(depth);
        if (it == t->list.end() || it->second.sprite.empty())
            return nullptr;
        t = &it->second.sprite.front();
    }
    return t;
}

bool TimelineEngine::resolveTarget(RootState& root, const std::vector<int>& from, const QString& target,
                                   std::vector<int>& out)
{
    out = from;
    QString rest = target.trimmed();
    if (rest.isEmpty())
        return true;
    if (rest.startsWith(u'/')) {
        out.clear();
    }
    const QStringList parts = rest.split(QRegularExpression(QStringLiteral("[/.:]")), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.compare(QStringLiteral("_root"), Qt::CaseInsensitive) == 0
            || part.compare(QStringLiteral("_level0"), Qt::CaseInsensitive) == 0) {
            out.clear();
        } else if (part.compare(QStringLiteral("_parent"), Qt::CaseInsensitive) == 0) {
            if (out.empty())
                return false;
            out.pop_back();
        } else if (part.compare(QStringLiteral("this"), Qt::CaseInsensitive) == 0) {
            continue;
        } else {
            TimelineState* t = resolve(root, out);
            if (!t)
                return false;
            auto found = std::find_if(t->list.begin(), t->list.end(), [&](const auto& entry) {
                return entry.second.name.compare(part, Qt::CaseInsensitive) == 0 && !entry.second.sprite.empty();
            });
            if (found == t->list.end())
                return false;
            out.push_back(found->first);
        }
    }
    return true;
}

int TimelineEngine::findLabel(const Timeline& timeline, const QString& label) const
{
    for (std::size_t f = 0; f < timeline.frames.size(); ++f)
        for (const QString& l : timeline.frames[f].labels)
            if (l.compare(label, Qt::CaseInsensitive) == 0)
                return static_cast<int>(f);
    return -1;
}

void TimelineEngine::runActions(Run& run)
{
    for (std::size_t i = 0; i < run.queue.size() && i < maxBlocksPerTick; ++i) {
        const Pending pending = run.queue[i];
        execute(run, pending.path, *pending.actions);
    }
    run.queue.clear();
}

void TimelineEngine::execute(Run& run, const std::vector<int>& path, const ActionList& actions)
{
    RootState& root = *run.root;
    std::vector<int> target = path;
    bool targetValid = resolve(root, path) != nullptr;
    if (!targetValid)
        return;

    // Applies one navigation to the target timeline: the main timeline's is
    // collected for the player, a sprite's takes effect at once.
    auto navigate = [&](Navigation nav) {
        if (!targetValid)
            return;
        TimelineState* t = resolve(root, target);
        if (!t)
            return;
        if (target.empty()) {
            if (nav.kind == Navigation::Kind::Goto)
                nav.frame = std::clamp(nav.frame, 0, std::max(0, frameCount(*t) - 1));
            // Only the last jump and the last stop or play after it decide
            // where the movie ends up, so the list never holds more than two:
            // an action loop full of jumps cannot make the player seek once
            // per action.
            auto& navs = root.navigation;
            if (nav.kind == Navigation::Kind::Goto)
                navs.clear();
            else if (!navs.empty() && navs.back().kind != Navigation::Kind::Goto)
                navs.pop_back();
            navs.push_back(nav);
            return;
        }
        switch (nav.kind) {
        case Navigation::Kind::Stop:
            t->playing = false;
            break;
        case Navigation::Kind::Play:
            t->playing = true;
            break;
        case Navigation::Kind::Goto:
            gotoFrame(run, *t, nav.frame, target);
            t->playing = nav.play;
            break;
        }
    };
    auto currentFrame = [&]() {
        TimelineState* t = targetValid ? resolve(root, target) : nullptr;
        return t ? t->frame : 0;
    };
    auto labelFrame = [&](const QString& label) {
        TimelineState* t = targetValid ? resolve(root, target) : nullptr;
        return t && t->timeline ? findLabel(*t->timeline, label) : -1;
    };

    std::size_t executed = 0;
    for (std::size_t i = 0; i < actions.size() && executed < maxActionsPerBlock && run.work < maxWorkPerTick;
         ++i, ++executed, ++run.work) {
        const Action& a = actions[i];
        switch (static_cast<ActionCode>(a.code)) {
        case ActionCode::End:
            return;
        case ActionCode::Stop:
            navigate({Navigation::Kind::Stop, 0, false});
            break;
        case ActionCode::Play:
            navigate({Navigation::Kind::Play, 0, true});
            break;
        case ActionCode::NextFrame:
            navigate({Navigation::Kind::Goto, currentFrame() + 1, false});
            break;
        case ActionCode::PreviousFrame:
            navigate({Navigation::Kind::Goto, currentFrame() - 1, false});
            break;
        case ActionCode::GotoFrame:
            if (a.frame)
                navigate({Navigation::Kind::Goto, *a.frame, false});
            break;
        case ActionCode::GotoLabel: {
            const int f = labelFrame(a.label);
            if (f >= 0)
                navigate({Navigation::Kind::Goto, f, false});
            break;
        }
        case ActionCode::GotoFrame2: {
            int f = -1;
            if (a.frame)
                f = *a.frame;
            else if (!a.label.isEmpty())
                f = labelFrame(a.label);
            if (f >= 0)
                navigate({Navigation::Kind::Goto, f, a.play});
            break;
        }
        case ActionCode::SetTarget:
            targetValid = resolveTarget(root, path, a.label, target);
            break;
        case ActionCode::Jump:
            if (a.branchTarget < 0 || a.branchTarget >= static_cast<int>(actions.size()))
                return;
            // The loop's ++i lands on the target.
            i = static_cast<std::size_t>(a.branchTarget) - 1;
            break;
        default:
            // Conditions and everything needing a value stack are not run:
            // execution goes straight on.
            break;
        }
    }
}

} // namespace qev::swf::engine
