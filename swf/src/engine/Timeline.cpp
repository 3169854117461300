#include "engine/Timeline.h"

#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/VideoObject.h"
#include "avm1/Vm.h"
#include "engine/Bounds.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qev::swf::engine {
namespace {

// Action blocks one tick runs at most (scripts themselves are bounded by
// the script machine).
constexpr std::size_t maxBlocksPerTick = 10000;

int frameCount(const TimelineState& t)
{
    return t.timeline ? static_cast<int>(t.timeline->frames.size()) : 0;
}

} // namespace

TimelineEngine::TimelineEngine(const Movie& movie)
    : movie_(movie), vm_(std::make_unique<avm1::Vm>(movie.header.version, this))
{
    if (movie.maxRecursionDepth > 0)
        vm_->limits().maxCallDepth = movie.maxRecursionDepth;
}

TimelineEngine::~TimelineEngine() = default;

TimelineEngine::ActiveRun::ActiveRun(TimelineEngine& e, Run& run) : engine(e), previous(e.run_)
{
    if (!previous)
        e.vm_->beginTick();
    e.run_ = &run;
}

TimelineEngine::ActiveRun::~ActiveRun()
{
    engine.run_ = previous;
    if (!previous)
        engine.vm_->endTick();
}

void clearJustPlaced(TimelineState& t)
{
    for (auto& [depth, inst] : t.list) {
        inst.justPlaced = false;
        for (TimelineState& s : inst.sprite)
            clearJustPlaced(s);
        for (TimelineState& face : inst.buttonFace)
            clearJustPlaced(face);
    }
}

void clearTimelineObjects(TimelineState& t)
{
    for (auto it = t.list.begin(); it != t.list.end();)
        it = it->second.scriptMade ? std::next(it) : t.list.erase(it);
}

std::size_t instanceCount(const TimelineState& t)
{
    std::size_t n = t.list.size();
    for (const auto& [depth, inst] : t.list) {
        for (const TimelineState& s : inst.sprite)
            n += instanceCount(s);
        for (const TimelineState& face : inst.buttonFace)
            n += instanceCount(face);
    }
    return n;
}

RootState TimelineEngine::initial(bool runScripts)
{
    RootState root;
    root.background = movie_.backgroundColor;
    root.main.timeline = &movie_.timeline;
    Run run;
    run.root = &root;
    run.scripts = runScripts;
    // A build without scripts (the seek snapshot of frame 0) names unnamed
    // clips as the real start will, without using those names up.
    const auto unnamedBefore = unnamedClips_;
    ActiveRun active(*this, run);
    if (!movie_.timeline.frames.empty())
        applyFrame(run, root.main, 0, {}, true);
    runActions(run);
    clearJustPlaced(root.main);
    if (!runScripts)
        unnamedClips_ = unnamedBefore;
    return root;
}

void TimelineEngine::step(RootState& state, bool moveMain, bool runScripts)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    run.scripts = runScripts;
    ActiveRun active(*this, run);
    state.navigation.clear();
    if (!unloading_.empty())
        dropUnloaded(state);
    if (!movieRequests_.empty() && runScripts)
        applyMovieRequests(run);
    if (!runScripts) {
        // Frames a seek passes over run no scripts, so the order clips move
        // in shows nowhere; a plain walk spares collecting and sorting.
        std::vector<int> path;
        stepTree(run, state.main, path, moveMain);
    } else {
        // One order serves the tick: clips move on, then their
        // onEnterFrame handlers run, in it.
        collectClipOrder(state);
        stepClips(run, state, moveMain);
        queueEnterFrame(run);
    }
    runActions(run);
    clearJustPlaced(state.main);
}

void TimelineEngine::collectClipOrder(RootState& root)
{
    // The player keeps its clips in one list, the newest first. Placement
    // order is the order of uids. Clips placed during the tick wait for the
    // next; a button's face stands still, but the sprites it shows play on.
    // The paths share one buffer, reused from tick to tick.
    order_.clips.clear();
    order_.depths.clear();
    std::vector<int> path;
    std::function<void(TimelineState&)> collect = [&](TimelineState& t) {
        for (auto& [depth, inst] : t.list) {
            TimelineState* inner = innerList(inst);
            if (!inner || inst.justPlaced || inst.unloading)
                continue;
            path.push_back(depth);
            if (!inst.sprite.empty()) {
                bool enterFrameEvents = false;
                if (inst.clipEvents)
                    for (const ClipEventHandler& h : *inst.clipEvents)
                        enterFrameEvents = enterFrameEvents || (h.events & ClipEvent::EnterFrame);
                order_.clips.push_back({inst.uid, std::uint32_t(order_.depths.size()), std::uint32_t(path.size()),
                                        enterFrameEvents});
                order_.depths.insert(order_.depths.end(), path.begin(), path.end());
            }
            collect(*inner);
            path.pop_back();
        }
    };
    collect(root.main);
    std::sort(order_.clips.begin(), order_.clips.end(),
              [](const ClipOrder::Entry& a, const ClipOrder::Entry& b) { return a.uid > b.uid; });
}

void TimelineEngine::stepClips(Run& run, RootState& state, bool moveMain)
{
    std::vector<int> at;
    for (const ClipOrder::Entry& e : order_.clips) {
        order_.pathOf(e, at);
        // An earlier clip's frame may have removed this one or its parent.
        Instance* inst = instanceAt(state, at);
        if (!inst || inst->uid != e.uid || inst->sprite.empty() || inst->justPlaced || inst->unloading)
            continue;
        TimelineState& s = inst->sprite.front();
        stepTimeline(run, s, at, s.playing);
    }
    stepTimeline(run, state.main, {}, moveMain);
}

void TimelineEngine::queueEnterFrame(Run& run)
{
    // Only clips that scripts reached have a script object, and only those
    // can have a method; clips placed in this tick wait for the next. The
    // handlers run in the order clips move on: the newest first, the main
    // timeline last.
    static const char16_t enterFrame[] = u"onEnterFrame";
    std::vector<Pending> handlers;
    auto& clips = vm_->clips();
    std::vector<int> at;
    for (const ClipOrder::Entry& e : order_.clips) {
        // Most clips of most movies have no handler: they cost no look-up.
        if (!e.enterFrameEvents && !clips.contains(e.uid))
            continue;
        order_.pathOf(e, at);
        const Instance* inst = instanceAt(*run.root, at);
        if (!inst || inst->uid != e.uid || inst->sprite.empty() || inst->justPlaced || inst->unloading)
            continue;
        if (inst->clipEvents)
            for (const ClipEventHandler& h : *inst->clipEvents)
                if (h.events & ClipEvent::EnterFrame)
                    handlers.push_back({at, &h.bytecode, e.uid});
        if (clips.contains(e.uid))
            handlers.push_back({at, nullptr, e.uid, enterFrame});
    }
    if (clips.contains(0))
        handlers.push_back({{}, nullptr, 0, enterFrame});
    if (!handlers.empty())
        run.queue.insert(run.queue.begin(), handlers.begin(), handlers.end());
}

void TimelineEngine::runFrameScripts(RootState& state)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    const int f = state.main.frame;
    if (state.main.timeline && f >= 0 && f < frameCount(state.main))
        for (const ControlTag& tag : state.main.timeline->frames[f].tags)
            if (const auto* a = std::get_if<DoAction>(&tag))
                run.queue.push_back({{}, &a->bytecode, 0});
    runActions(run);
    clearJustPlaced(state.main);
}

void TimelineEngine::runTimers(RootState& state)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    // What a firing queued (a clip's onLoad, ...) runs before the next one.
    vm_->runTimers([&] { runActions(run); });
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

void TimelineEngine::runButtonActions(RootState& state, const std::vector<int>& path, const QByteArray& bytecode)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    Instance* owner = instanceAt(state, path);
    run.queue.push_back({path, &bytecode, owner ? owner->uid : 0});
    runActions(run);
    clearJustPlaced(state.main);
}

void TimelineEngine::applyFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path,
                                bool queueActions)
{
    if (!t.timeline || frame < 0 || frame >= frameCount(t))
        return;
    t.frame = frame;
    // Init actions run before everything else the frame queues, wherever
    // their tags stand in it.
    auto initAt = run.queue.size();
    for (const ControlTag& tag : t.timeline->frames[frame].tags) {
        if (const auto* p = std::get_if<PlaceObject>(&tag)) {
            place(run, t, *p, path);
        } else if (const auto* r = std::get_if<RemoveObject>(&tag)) {
            // What scripts made or moved is theirs to remove.
            if (auto it = t.list.find(r->depth); it != t.list.end() && !it->second.scriptMade)
                remove(run, t, path, r->depth);
        } else if (const auto* bg = std::get_if<SetBackgroundColor>(&tag)) {
            if (path.empty() && t.characterId == 0)
                run.root->background = bg->color;
        } else if (const auto* a = std::get_if<DoAction>(&tag)) {
            if (queueActions) {
                const Instance* owner = path.empty() ? nullptr : instanceAt(*run.root, path);
                if (run.scripts)
                    run.queue.push_back({path, &a->bytecode, owner ? owner->uid : 0});
                else
                    run.queue.push_back({path, &a->bytecode, owner ? owner->uid : 0, nullptr, true});
            }
        } else if (const auto* init = std::get_if<DoInitAction>(&tag)) {
            // Once per sprite, whatever frame or seek first reaches it.
            if (run.scripts && initActionsDone_.insert(init->spriteId).second) {
                Pending pending{{}, &init->bytecode, 0};
                // A loaded movie's init actions run on its root, so that
                // _root in them is that movie's.
                if (!mergedByRoot_.empty() && !path.empty() && mergedByRoot_.contains(t.characterId))
                    if (const Instance* owner = instanceAt(*run.root, path)) {
                        pending.path = path;
                        pending.uid = owner->uid;
                    }
                run.queue.insert(run.queue.begin() + std::ptrdiff_t(initAt++), pending);
            }
        }
    }
}

void TimelineEngine::place(Run& run, TimelineState& t, const PlaceObject& p, const std::vector<int>& path)
{
    auto it = t.list.find(p.depth);
    Instance* inst = nullptr;
    bool fresh = false;
    if (it != t.list.end() && it->second.scriptMade)
        return; // a script's clip holds this depth
    if (!p.move || p.version == 1) {
        if (!p.characterId)
            return;
        Instance& slot = t.list[p.depth];
        leaveStage(run, slot, path, p.depth);
        if (Instance* kept = reusable(run, t, p.depth, *p.characterId)) {
            slot = std::move(*kept);
            run.reuse->pool.erase(p.depth);
            inst = &slot;
        } else {
            slot = Instance{};
            slot.characterId = *p.characterId;
            inst = &slot;
            fresh = true;
        }
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
                leaveStage(run, *inst, path, p.depth);
                inst->characterId = *p.characterId;
                inst->sprite.clear();
                inst->buttonFace.clear();
                inst->isButton = false;
                fresh = true;
            }
        }
    }
    // Once a script moved the instance, the timeline leaves its transform.
    const bool keepTransform = !fresh && inst->scriptTransformed;
    if (p.matrix && !keepTransform)
        inst->matrix = *p.matrix;
    if (p.colorTransform && !keepTransform)
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
        inst->uid = nextUid_++;
        inst->scriptTransformed = false;
        inst->clipEvents = p.clipActions.empty() ? nullptr : &p.clipActions;
        ++run.instances;
        // Only a sprite has a timeline to start; the path is built for it alone.
        if (movie_.find<Sprite>(inst->characterId)) {
            // Scripts know unnamed clips as instance1, instance2, ...
            if (inst->name.isEmpty())
                inst->name = QStringLiteral("instance%1").arg(++unnamedClips_);
            std::vector<int> childPath = path;
            childPath.push_back(p.depth);
            constructClip(run, *inst, childPath);
        } else if (movie_.find<Button>(inst->characterId)) {
            inst->isButton = true;
            if (inst->name.isEmpty())
                inst->name = QStringLiteral("instance%1").arg(++unnamedClips_);
            std::vector<int> childPath = path;
            childPath.push_back(p.depth);
            buildButtonFace(run, *inst, childPath);
        } else if (movie_.find<EditText>(inst->characterId)) {
            std::vector<int> childPath = path;
            childPath.push_back(p.depth);
            startTextField(run, *inst, childPath);
        }
    }
}

void TimelineEngine::constructClip(Run& run, Instance& placed, const std::vector<int>& path)
{
    Instance* inst = &placed;
    const std::uint64_t uid = inst->uid;
    queueClipEvent(run, *inst, path, ClipEvent::Initialize | ClipEvent::Construct, nullptr);
    // The first frame is built (its scripts queued) before a class
    // registered for the symbol becomes the clip's class and its
    // constructor runs on the clip, so the constructor sees its children.
    startSprite(run, *inst, path);
    if (run.scripts && !inst->sprite.empty()) {
        const avm1::Value cls = registeredClass(inst->characterId);
        if (avm1::ClipObject* clip = cls.isObject() ? clipAt(*run.root, path) : nullptr) {
            const avm1::Value proto = vm_->getMember(cls, QStringLiteral("prototype"));
            if (proto.isObject())
                clip->setProto(proto.object);
            ActiveRun active(*this, run);
            vm_->runConstructor(cls, clip);
            // The constructor may have removed or replaced the clip.
            inst = instanceAt(*run.root, path);
            if (!inst || inst->uid != uid)
                return;
        }
    }
    queueClipEvent(run, *inst, path, ClipEvent::Load, u"onLoad");
}

avm1::Value TimelineEngine::registeredClass(std::uint16_t characterId)
{
    const avm1::Value table = vm_->getMember(vm_->global(), QStringLiteral("__registeredClasses"));
    if (!table.isObject())
        return {};
    auto find = [&](const std::map<QString, std::uint16_t>& exports) -> avm1::Value {
        for (const auto& [name, id] : exports)
            if (id == characterId) {
                const avm1::Value cls = vm_->getMember(table, name);
                if (cls.isObject() && cls.object->kind() == avm1::ObjectKind::Function)
                    return cls;
            }
        return {};
    };
    avm1::Value cls = find(movie_.exports);
    // Loaded movies' symbols have ids of their own.
    for (auto it = merged_.begin(); !cls.isObject() && it != merged_.end(); ++it)
        cls = find(it->second.exports);
    return cls;
}

bool TimelineEngine::queueClipEvent(Run& run, const Instance& inst, const std::vector<int>& path,
                                    std::uint32_t event, const char16_t* method, bool afterRemoval)
{
    if (!run.scripts)
        return false;
    const std::size_t before = run.queue.size();
    if (inst.clipEvents)
        for (const ClipEventHandler& h : *inst.clipEvents)
            if (h.events & event)
                run.queue.push_back({path, &h.bytecode, inst.uid, nullptr, false, afterRemoval});
    // Only a clip that scripts reached can have a method of its own or of
    // its class.
    if (method && hasMethod(inst.uid, method))
        run.queue.push_back({path, nullptr, inst.uid, method, false, afterRemoval});
    return run.queue.size() > before;
}

bool TimelineEngine::hasMethod(std::uint64_t uid, const char16_t* name)
{
    auto it = vm_->clips().find(uid);
    if (it == vm_->clips().end())
        return false;
    // Looked up without calling getters: this runs outside any script.
    const avm1::Property* p = it->second->find(QString::fromUtf16(name));
    return p && !p->isVirtual() && p->value.isObject() && p->value.object->kind() == avm1::ObjectKind::Function;
}

Instance& TimelineEngine::putScriptMade(TimelineState& t, const std::vector<int>& path, int key, Instance made)
{
    Instance& slot = t.list[key];
    leaveStage(*run_, slot, path, key);
    slot = std::move(made);
    ++run_->instances;
    return slot;
}

bool TimelineEngine::leaveStage(Run& run, const Instance& inst, const std::vector<int>& parent, int depth)
{
    if (!isScriptClip(inst) || !run.scripts)
        return false;
    std::vector<int> path = parent;
    path.push_back(depth);
    return leaveStage(run, inst, path);
}

bool TimelineEngine::leaveStage(Run& run, const Instance& inst, std::vector<int>& path)
{
    if (!isScriptClip(inst) || !run.scripts)
        return false;
    bool queued = queueClipEvent(run, inst, path, ClipEvent::Unload, u"onUnload", true);
    const TimelineState* inner = innerList(const_cast<Instance&>(inst));
    if (!inner)
        return queued;
    for (const auto& [depth, child] : inner->list) {
        path.push_back(depth);
        queued = leaveStage(run, child, path) || queued;
        path.pop_back();
    }
    return queued;
}

void TimelineEngine::remove(Run& run, TimelineState& t, const std::vector<int>& path, int key)
{
    auto it = t.list.find(key);
    if (it == t.list.end())
        return;
    if (!leaveStage(run, it->second, path, key)) {
        t.list.erase(it);
        return;
    }
    // A clip with unload handlers, in itself or below, stays on the stage
    // beneath everything (depth -32769 - depth, for scripts) until its
    // handlers ran: they still find it, its children and its path. The
    // next tick takes it away.
    Instance leaving = std::move(it->second);
    t.list.erase(it);
    leaving.unloading = true;
    unloading_.push_back(leaving.uid);
    t.list.insert_or_assign(-1 - key, std::move(leaving));
}

void TimelineEngine::dropUnloaded(RootState& root)
{
    for (std::uint64_t uid : unloading_) {
        std::vector<int> path;
        if (!findUid(root.main, uid, path))
            continue;
        const int key = path.back();
        path.pop_back();
        if (TimelineState* parent = resolve(root, path))
            if (auto it = parent->list.find(key); it != parent->list.end() && it->second.unloading)
                parent->list.erase(it);
    }
    unloading_.clear();
}

Instance* TimelineEngine::reusable(Run& run, TimelineState& t, int depth, std::uint16_t characterId)
{
    if (!run.reuse || run.reuse->timeline != &t)
        return nullptr;
    auto it = run.reuse->pool.find(depth);
    return it != run.reuse->pool.end() && it->second.characterId == characterId ? &it->second : nullptr;
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
    if (!move)
        return;
    const int count = frameCount(t);
    if (t.frame + 1 < count) {
        applyFrame(run, t, t.frame + 1, path, true);
    } else if (count > 1 && (path.empty() || t.timeline->complete)) {
        // A timeline starts over after its last frame; a sprite whose tags
        // stop short waits there for frames that never come.
        rewind(run, t, 0, path, true);
    }
}

void TimelineEngine::stepTree(Run& run, TimelineState& t, std::vector<int>& path, bool move)
{
    stepTimeline(run, t, path, move);
    path.push_back(0);
    for (auto& [depth, inst] : t.list) {
        TimelineState* inner = innerList(inst);
        if (!inner || inst.justPlaced || inst.unloading)
            continue;
        path.back() = depth;
        // A button's face stands; the sprites it shows play on.
        stepTree(run, *inner, path, !inst.sprite.empty() && inner->playing);
    }
    path.pop_back();
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
    if (from == 0) {
        rewind(run, t, frame, path, true);
        return;
    }
    for (int f = from; f <= frame; ++f)
        applyFrame(run, t, f, path, f == frame);
}

void TimelineEngine::rewind(Run& run, TimelineState& t, int frame, const std::vector<int>& path, bool queueLast)
{
    // The timeline's instances wait in a pool while frames 0 to frame are
    // applied again; a frame that places the same character at the same
    // depth takes its instance back, so that clip keeps its state and its
    // scripts do not run again. What no frame takes back leaves the stage.
    Reuse reuse{&t, {}, run.reuse};
    for (auto it = t.list.begin(); it != t.list.end();) {
        if (it->second.scriptMade || it->second.unloading) {
            ++it;
            continue;
        }
        reuse.pool.emplace(it->first, std::move(it->second));
        it = t.list.erase(it);
    }
    run.reuse = &reuse;
    for (int f = 0; f <= frame; ++f)
        applyFrame(run, t, f, path, queueLast && f == frame);
    run.reuse = reuse.outer;
    for (auto& [depth, left] : reuse.pool) {
        leaveStage(run, left, path, depth);
    }
}


void TimelineEngine::runActions(Run& run)
{
    // What the scripts leave for after them (dialogs that answer at once,
    // loads that arrived) runs once they are done, within the same tick,
    // and so do the actions it queues.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < run.queue.size() && i < maxBlocksPerTick; ++i) {
            const Pending pending = run.queue[i];
            if (pending.replay)
                replayActions(run, pending.path, *pending.bytecode);
            else if (pending.bytecode || pending.event)
                execute(run, pending);
        }
        run.queue.clear();
        if (round > 0 || !vm_->runDeferred())
            break;
    }
    if (boundFields_ && run.scripts)
        updateBoundFields(run);
}

void TimelineEngine::execute(Run& run, const Pending& pending)
{
    const std::vector<int>& path = pending.path;
    const std::uint64_t uid = pending.uid;
    RootState& root = *run.root;
    // The clip may have moved to another depth since its block was queued;
    // a block whose clip was removed stays unrun.
    std::vector<int> at = path;
    avm1::ClipObject* clip = nullptr;
    bool found = true;
    if (!at.empty()) {
        const Instance* inst = instanceAt(root, at);
        if (!inst || inst->uid != uid) {
            at.clear();
            found = findUid(root.main, uid, at);
        }
    }
    if (found && (at.empty() || instanceAt(root, at))) {
        clip = clipAt(root, at);
    } else if (pending.afterRemoval) {
        // Unload handlers run on the clip that has left the stage.
        auto& clips = vm_->clips();
        auto it = clips.find(uid);
        clip = it != clips.end() ? it->second : vm_->newClip(uid);
    } else {
        return;
    }
    ActiveRun active(*this, run);
    if (pending.event)
        vm_->runHandler(clip, QString::fromUtf16(pending.event));
    else
        vm_->runBlock(std::make_shared<const QByteArray>(*pending.bytecode), clip);
}

TimelineState* TimelineEngine::resolve(RootState& root, const std::vector<int>& path)
{
    TimelineState* t = &root.main;
    for (int depth : path) {
        auto it = t->list.find(depth);
        if (it == t->list.end() || !(t = innerList(it->second)))
            return nullptr;
    }
    return t;
}

Instance* TimelineEngine::instanceAt(RootState& root, const std::vector<int>& path)
{
    TimelineState* t = &root.main;
    Instance* inst = nullptr;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto it = t->list.find(path[i]);
        if (it == t->list.end())
            return nullptr;
        inst = &it->second;
        if (i + 1 < path.size() && !(t = innerList(*inst)))
            return nullptr;
    }
    return inst;
}

int TimelineEngine::findLabel(const Timeline& timeline, const QString& label) const
{
    // Labels match without regard to the case of ASCII letters only: "À"
    // and "à" are different labels.
    auto asciiLower = [](QString s) {
        for (QChar& c : s)
            if (c.unicode() < 128)
                c = c.toLower();
        return s;
    };
    const QString wanted = asciiLower(label);
    for (std::size_t f = 0; f < timeline.frames.size(); ++f)
        for (const QString& l : timeline.frames[f].labels)
            if (l.size() == wanted.size() && asciiLower(l) == wanted)
                return static_cast<int>(f);
    return -1;
}

// ---- the stage as scripts see it ----------------------------------------

avm1::ClipObject* TimelineEngine::clipAt(RootState& root, const std::vector<int>& path)
{
    std::uint64_t uid = 0;
    bool button = false;
    if (!path.empty()) {
        Instance* inst = instanceAt(root, path);
        if (!inst)
            return nullptr;
        uid = inst->uid;
        button = inst->isButton;
    }
    auto& clips = vm_->clips();
    auto it = clips.find(uid);
    avm1::ClipObject* clip = it != clips.end() ? it->second
        : vm_->newClip(uid, button ? vm_->buttonPrototype : nullptr);
    clip->isButton = button;
    clip->hostPath = path;
    return clip;
}

bool findUid(TimelineState& t, std::uint64_t uid, std::vector<int>& path)
{
    for (auto& [depth, inst] : t.list) {
        if (!isScriptClip(inst))
            continue;
        path.push_back(depth);
        if (inst.uid == uid)
            return true;
        if (TimelineState* inner = innerList(inst); inner && findUid(*inner, uid, path))
            return true;
        path.pop_back();
    }
    return false;
}


bool TimelineEngine::locate(avm1::ClipObject* clip, TimelineState*& timeline, std::vector<int>& path,
                            Instance*& instance)
{
    if (!run_ || !clip)
        return false;
    RootState& root = *run_->root;
    if (clip->uid == 0) {
        timeline = &root.main;
        path.clear();
        instance = nullptr;
        return true;
    }
    Instance* inst = instanceAt(root, clip->hostPath);
    if (!inst || inst->uid != clip->uid || !isScriptClip(*inst)) {
        std::vector<int> found;
        if (!findUid(root.main, clip->uid, found))
            return false;
        clip->hostPath = found;
        inst = instanceAt(root, found);
    }
    path = clip->hostPath;
    instance = inst;
    timeline = innerList(*inst);
    if (!timeline) {
        // A button whose pictures hold no sprite has no list of its own:
        // it shows an empty one, which nothing keeps.
        noChildren_ = TimelineState{};
        timeline = &noChildren_;
    }
    return true;
}

avm1::ClipObject* TimelineEngine::rootClip()
{
    auto& clips = vm_->clips();
    auto it = clips.find(0);
    return it != clips.end() ? it->second : vm_->newClip(0);
}

bool TimelineEngine::isLive(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    return locate(clip, t, path, inst);
}

avm1::ClipObject* TimelineEngine::parentOf(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || path.empty() || (path.size() == 1 && isLevelKey(path[0])))
        return nullptr;
    path.pop_back();
    return clipAt(*run_->root, path);
}

avm1::ClipObject* TimelineEngine::childByName(avm1::ClipObject* clip, const QString& name)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (name.isEmpty() || !locate(clip, t, path, inst))
        return nullptr;
    const Qt::CaseSensitivity cs = vm_->version() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (auto& [depth, child] : t->list) {
        if (isScriptClip(child) && child.name.compare(name, cs) == 0) {
            path.push_back(depth);
            return clipAt(*run_->root, path);
        }
    }
    return nullptr;
}

void TimelineEngine::childNames(avm1::ClipObject* clip, std::vector<QString>& out)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return;
    for (auto it = t->list.rbegin(); it != t->list.rend(); ++it)
        if (isScriptClip(it->second) && !it->second.name.isEmpty())
            out.push_back(it->second.name);
}

bool TimelineEngine::getProperty(avm1::ClipObject* clip, const QString& rawName, avm1::Value& out)
{
    using avm1::Value;
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    const QString name = rawName.toLower();
    const Matrix m = inst ? inst->matrix : Matrix{};
    if (name == u"_x")
        out = Value::fromNumber(m.tx / 20.0);
    else if (name == u"_y")
        out = Value::fromNumber(m.ty / 20.0);
    else if (name == u"_xscale")
        out = Value::fromNumber(std::hypot(m.a, m.b) * 100);
    else if (name == u"_yscale")
        out = Value::fromNumber(std::hypot(m.c, m.d) * 100);
    else if (name == u"_rotation")
        out = Value::fromNumber(std::atan2(m.b, m.a) * 180 / M_PI);
    else if (name == u"_alpha")
        out = Value::fromNumber(inst ? inst->colorTransform.aMul * 100.0 / 256.0 : 100);
    else if (name == u"_visible")
        out = Value::fromBool(inst ? inst->visible : true);
    else if (name == u"_currentframe")
        out = Value::fromNumber(t->frame + 1);
    else if (name == u"_totalframes" || name == u"_framesloaded")
        out = Value::fromNumber(std::max(1, frameCount(*t)));
    else if (name == u"_name")
        out = Value::fromString(inst ? inst->name : QString());
    else if (name == u"_target") {
        QString p;
        const TimelineState* at = &run_->root->main;
        for (int depth : path) {
            Instance& i = const_cast<TimelineState*>(at)->list.at(depth);
            if (isLevelKey(depth))
                p = QStringLiteral("_level%1").arg(depth - levelKeyBase);
            else
                p += u'/' + i.name;
            if (!(at = innerList(i)))
                break;
        }
        out = Value::fromString(p.isEmpty() ? QStringLiteral("/") : p);
    } else if (name == u"_url")
        out = Value::fromString(urlOf(clip));
    else if (name == u"_droptarget")
        out = Value::fromString(dropTarget(clip));
    else if (name == u"_width" || name == u"_height") {
        // What the clip draws, as its parent sees it.
        const QRectF b = inst ? instanceBounds(movie_, *inst, inst->matrix.toTransform())
                              : listBounds(movie_, *t, QTransform());
        out = Value::fromNumber((name == u"_width" ? b.width() : b.height()) / 20.0);
    }
    else if (name == u"_quality")
        out = Value::fromString(quality_);
    else if (name == u"_highquality")
        out = Value::fromNumber(quality_ == u"LOW" ? 0 : quality_ == u"BEST" ? 2 : 1);
    else if (name == u"_focusrect")
        out = Value::fromBool(inst ? focusRectShown(inst->uid) : focusRect_);
    else if (name == u"_soundbuftime")
        out = Value::fromNumber(soundBufferTime_);
    else if (name == u"_xmouse" || name == u"_ymouse") {
        const QPointF mouse(vm_->input.mouseX * 20, vm_->input.mouseY * 20);
        const QPointF local = toStage(*run_->root, path).inverted().map(mouse);
        out = Value::fromNumber(std::round(name == u"_xmouse" ? local.x() : local.y()) / 20.0);
    }
    else
        return false;
    return true;
}

bool TimelineEngine::setProperty(avm1::ClipObject* clip, const QString& rawName, const avm1::Value& v)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    const QString name = rawName.toLower();
    static const QStringList known = {QStringLiteral("_x"),        QStringLiteral("_y"),
                                      QStringLiteral("_xscale"),   QStringLiteral("_yscale"),
                                      QStringLiteral("_rotation"), QStringLiteral("_alpha"),
                                      QStringLiteral("_visible"),  QStringLiteral("_name"),
                                      QStringLiteral("_width"),    QStringLiteral("_height"),
                                      QStringLiteral("_quality"),  QStringLiteral("_highquality"),
                                      QStringLiteral("_focusrect"), QStringLiteral("_soundbuftime")};
    if (!known.contains(name))
        return false;
    if (name == u"_focusrect") {
        // On the main timeline it is the movie's setting; on a button or
        // clip it is that object's own.
        (inst ? focusRects_[inst->uid] : focusRect_) = vm_->toBoolean(v);
        return true;
    }
    // The movie's settings, whichever clip a script sets them on. Pictures
    // are drawn smoothed at every quality; scripts read back what they set.
    if (name == u"_quality") {
        const QString q = vm_->toString(v).toUpper();
        if (q == u"LOW" || q == u"MEDIUM" || q == u"HIGH" || q == u"BEST")
            quality_ = q;
        return true;
    }
    if (name == u"_highquality") {
        const double n = vm_->toNumber(v);
        if (std::isfinite(n))
            quality_ = n <= 0 ? QStringLiteral("LOW") : n >= 2 ? QStringLiteral("BEST") : QStringLiteral("HIGH");
        return true;
    }
    if (name == u"_soundbuftime") {
        const double n = vm_->toNumber(v);
        if (std::isfinite(n))
            soundBufferTime_ = std::clamp(std::trunc(n), 0.0, 2147483647.0);
        return true;
    }
    if (!inst)
        return true; // the main timeline keeps its place
    const double n = vm_->toNumber(v);
    Matrix& m = inst->matrix;
    auto recompose = [&](double xs, double ys, double rotation) {
        const double r = rotation * M_PI / 180;
        m.a = xs * std::cos(r);
        m.b = xs * std::sin(r);
        m.c = -ys * std::sin(r);
        m.d = ys * std::cos(r);
    };
    const double xs = std::hypot(m.a, m.b), ys = std::hypot(m.c, m.d), rot = std::atan2(m.b, m.a) * 180 / M_PI;
    if (name == u"_x" || name == u"_y") {
        if (!std::isfinite(n))
            return true;
        const Twips tw = Twips(std::clamp(std::round(n * 20), -2147483648.0, 2147483647.0));
        (name == u"_x" ? m.tx : m.ty) = tw;
        inst->scriptTransformed = true;
    } else if (name == u"_xscale" && std::isfinite(n)) {
        recompose(n / 100, ys, rot);
        inst->scriptTransformed = true;
    } else if (name == u"_yscale" && std::isfinite(n)) {
        recompose(xs, n / 100, rot);
        inst->scriptTransformed = true;
    } else if (name == u"_rotation" && std::isfinite(n)) {
        recompose(xs, ys, std::fmod(n, 360.0));
        inst->scriptTransformed = true;
    } else if (name == u"_alpha" && std::isfinite(n)) {
        inst->colorTransform.aMul = std::int16_t(std::clamp(n * 256 / 100, -32768.0, 32767.0));
        inst->scriptTransformed = true;
    } else if ((name == u"_width" || name == u"_height") && std::isfinite(n) && n >= 0) {
        // Scales the clip so that, as its parent sees it, it is that size.
        const QRectF b = instanceBounds(movie_, *inst, inst->matrix.toTransform());
        const double now = (name == u"_width" ? b.width() : b.height()) / 20.0;
        if (now > 0) {
            const double k = n / now;
            name == u"_width" ? recompose(xs * k, ys, rot) : recompose(xs, ys * k, rot);
            inst->scriptTransformed = true;
        }
    } else if (name == u"_visible") {
        inst->visible = vm_->toBoolean(v);
    } else if (name == u"_name") {
        inst->name = vm_->toString(v);
    }
    return true;
}

int TimelineEngine::currentFrame(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    return locate(clip, t, path, inst) ? t->frame : 0;
}

int TimelineEngine::totalFrames(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    return locate(clip, t, path, inst) ? std::max(1, frameCount(*t)) : 0;
}

int TimelineEngine::findLabel(avm1::ClipObject* clip, const QString& label)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !t->timeline)
        return -1;
    return findLabel(*t->timeline, label);
}

void TimelineEngine::gotoFrame(avm1::ClipObject* clip, int frame, bool play)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return;
    const int count = frameCount(*t);
    if (count == 0)
        return;
    // A goto takes effect at once; the player learns the main timeline's
    // play state afterwards.
    gotoFrame(*run_, *t, std::clamp(frame, 0, count - 1), path);
    if (path.empty()) {
        run_->root->navigation.push_back({play ? Navigation::Kind::Play : Navigation::Kind::Stop, 0, play});
        run_->root->jumped = true;
    } else {
        t->playing = play;
    }
}

void TimelineEngine::setPlaying(avm1::ClipObject* clip, bool playing)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || (inst && inst->isButton))
        return;
    if (path.empty()) {
        auto& navs = run_->root->navigation;
        // Only the last stop or play decides; the list stays short.
        if (!navs.empty())
            navs.pop_back();
        navs.push_back({playing ? Navigation::Kind::Play : Navigation::Kind::Stop, 0, playing});
    } else {
        t->playing = playing;
    }
}

std::vector<QByteArray> TimelineEngine::frameScripts(avm1::ClipObject* clip, int frame)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    std::vector<QByteArray> out;
    if (!locate(clip, t, path, inst) || !t->timeline || frame < 0 || frame >= frameCount(*t))
        return out;
    for (const ControlTag& tag : t->timeline->frames[frame].tags)
        if (const auto* a = std::get_if<DoAction>(&tag))
            out.push_back(a->bytecode);
    return out;
}

const Timeline& emptyTimeline()
{
    static const Timeline timeline = [] {
        Timeline t;
        t.frames.emplace_back();
        return t;
    }();
    return timeline;
}

avm1::ClipObject* TimelineEngine::createClip(avm1::ClipObject* parent, const QString& name, int depth,
                                             const QString& linkage, avm1::ClipObject* duplicateOf)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* owner;
    if (!locate(parent, t, path, owner) || static_cast<int>(path.size()) >= maxNesting
        || run_->instances > maxInstances || (owner && owner->isButton))
        return nullptr;
    Instance made;
    if (duplicateOf) {
        TimelineState* st;
        std::vector<int> sp;
        Instance* source;
        if (!locate(duplicateOf, st, sp, source) || !source)
            return nullptr;
        made = *source;
        made.sprite.clear();
    } else if (!linkage.isEmpty()) {
        const auto& exports = exportsAt(*run_->root, path);
        auto it = exports.find(linkage);
        // Linkage names match whatever their letters' case.
        for (auto e = exports.begin(); it == exports.end() && e != exports.end(); ++e)
            if (e->first.compare(linkage, Qt::CaseInsensitive) == 0)
                it = e;
        if (it == exports.end() || !movie_.find<Sprite>(it->second)) {
            vm_->warn(QStringLiteral("attachMovie: no exported clip \"%1\"").arg(linkage));
            return nullptr;
        }
        made.characterId = it->second;
    }
    made.name = name;
    made.uid = nextUid_++;
    made.scriptMade = true;
    made.justPlaced = true;
    made.clipDepth = 0;
    const int key = depth + depthOffset;
    Instance& slot = putScriptMade(*t, path, key, std::move(made));
    std::vector<int> childPath = path;
    childPath.push_back(key);
    if (slot.characterId != 0 && movie_.find<Sprite>(slot.characterId)) {
        constructClip(*run_, slot, childPath);
    } else {
        slot.characterId = 0;
        slot.sprite.clear();
        TimelineState empty;
        empty.timeline = &emptyTimeline();
        empty.frame = 0;
        empty.playing = false;
        slot.sprite.push_back(std::move(empty));
    }
    if (slot.sprite.empty())
        return nullptr;
    return clipAt(*run_->root, childPath);
}

bool TimelineEngine::removeClip(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || path.empty())
        return false;
    const int depth = path.back() - depthOffset;
    if (depth < 0 || depth >= 1048576)
        return false;
    const int key = path.back();
    path.pop_back();
    TimelineState* parent = resolve(*run_->root, path);
    if (!parent || !parent->list.contains(key))
        return false;
    remove(*run_, *parent, path, key);
    return true;
}

std::optional<int> TimelineEngine::depthOf(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return std::nullopt;
    // The main timeline sits at depth -16384 of its level.
    return path.empty() ? -depthOffset : path.back() - depthOffset;
}

avm1::ClipObject* TimelineEngine::clipAtDepth(avm1::ClipObject* parent, int depth)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(parent, t, path, inst))
        return nullptr;
    auto it = t->list.find(depth + depthOffset);
    if (it == t->list.end() || !isScriptClip(it->second))
        return nullptr;
    path.push_back(it->first);
    return clipAt(*run_->root, path);
}

avm1::Object* TimelineEngine::objectAtDepth(avm1::ClipObject* parent, int depth)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(parent, t, path, inst))
        return nullptr;
    auto it = t->list.find(depth + depthOffset);
    if (it == t->list.end())
        return nullptr;
    path.push_back(it->first);
    if (isScriptClip(it->second))
        return clipAt(*run_->root, path);
    if (it->second.textField)
        return fieldAt(*run_->root, path);
    return parent;
}

int TimelineEngine::nextHighestDepth(avm1::ClipObject* parent)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(parent, t, path, inst))
        return 0;
    // Levels above the main timeline are none of its depths.
    auto top = t->list.lower_bound(levelKeyBase);
    if (top == t->list.begin())
        return 0;
    return std::max(0, std::prev(top)->first - depthOffset + 1);
}

void TimelineEngine::setMask(avm1::ClipObject* clip, avm1::ClipObject* mask)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return;
    Instance* maskInst = nullptr;
    if (mask && (!locate(mask, t, path, maskInst) || maskInst == inst))
        maskInst = nullptr;
    // The clip that masked before draws again.
    if (inst->scriptMask) {
        std::vector<int> oldPath;
        if (findUid(run_->root->main, inst->scriptMask, oldPath))
            if (Instance* old = instanceAt(*run_->root, oldPath))
                old->isScriptMask = false;
    }
    inst->scriptMask = maskInst ? maskInst->uid : 0;
    if (maskInst)
        maskInst->isScriptMask = true;
}

void TimelineEngine::swapDepths(avm1::ClipObject* clip, int depth)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || path.empty())
        return;
    const int from = path.back();
    const int to = depth + depthOffset;
    path.pop_back();
    TimelineState* parent = resolve(*run_->root, path);
    if (!parent || from == to)
        return;
    // A clip a script moved is the script's from then on: the timeline
    // neither moves nor removes it.
    Instance moving = std::move(parent->list.at(from));
    moving.scriptMade = true;
    auto other = parent->list.find(to);
    if (other != parent->list.end()) {
        Instance displaced = std::move(other->second);
        displaced.scriptMade = true;
        parent->list.erase(other);
        parent->list.erase(from);
        parent->list.emplace(from, std::move(displaced));
    } else {
        parent->list.erase(from);
    }
    parent->list.emplace(to, std::move(moving));
}

QTransform TimelineEngine::toStage(RootState& root, const std::vector<int>& path)
{
    QTransform m;
    const TimelineState* t = &root.main;
    for (int depth : path) {
        auto it = t->list.find(depth);
        if (it == t->list.end())
            break;
        // The inner matrix applies first.
        m = it->second.matrix.toTransform() * m;
        if (it->second.sprite.empty())
            break;
        t = &it->second.sprite.front();
    }
    return m;
}

bool TimelineEngine::clipToStage(avm1::ClipObject* clip, QTransform& out)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    out = toStage(*run_->root, path);
    return true;
}

bool TimelineEngine::clipBounds(avm1::ClipObject* clip, QRectF& out)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    out = listBounds(movie_, *t, QTransform());
    return true;
}

QString TimelineEngine::targetPath(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return QString();
    QString p = QStringLiteral("_level0");
    const TimelineState* at = &run_->root->main;
    for (std::size_t k = 0; k < path.size(); ++k) {
        const int depth = path[k];
        Instance& i = const_cast<TimelineState*>(at)->list.at(depth);
        if (k == 0 && isLevelKey(depth))
            p = QStringLiteral("_level%1").arg(depth - levelKeyBase);
        else
            p += u'.' + i.name;
        if (!(at = innerList(i)))
            break;
    }
    return p;
}

void TimelineEngine::collectGarbage(const RootState& state)
{
    // Clip objects of clips that left the stage stay only while a script
    // holds them.
    std::set<std::uint64_t> live{0};
    std::function<void(const TimelineState&)> walk = [&](const TimelineState& t) {
        for (const auto& [depth, inst] : t.list)
            if (isScriptClip(inst)) {
                live.insert(inst.uid);
                if (const TimelineState* inner = innerList(const_cast<Instance&>(inst)))
                    walk(*inner);
            } else if (inst.textField || videos_.contains(inst.uid)) {
                live.insert(inst.uid);
            }
    };
    walk(state.main);
    auto& clips = vm_->clips();
    for (auto it = clips.begin(); it != clips.end();)
        it = live.contains(it->first) ? std::next(it) : clips.erase(it);
    auto& fields = vm_->textFields();
    for (auto it = fields.begin(); it != fields.end();)
        it = live.contains(it->first) ? std::next(it) : fields.erase(it);
    for (auto it = videos_.begin(); it != videos_.end();)
        it = live.contains(it->first) ? std::next(it) : videos_.erase(it);
    for (auto it = focusRects_.begin(); it != focusRects_.end();)
        it = live.contains(it->first) ? std::next(it) : focusRects_.erase(it);
    vm_->collectGarbage([this](avm1::Marker& m) {
        for (const auto& [uid, video] : videos_)
            m.mark(video);
    });
}

} // namespace qev::swf::engine
