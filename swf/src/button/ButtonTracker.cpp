#include "button/ButtonTracker.h"

#include "engine/PointHit.h"

#include <algorithm>

namespace qev::swf::button {

namespace {

QRectF rectOf(const Rect& r) { return QRectF(r.xMin, r.yMin, r.width(), r.height()); }

bool inside(const QTransform& toStage, const QRectF& local, QPointF p)
{
    bool invertible = false;
    const QTransform back = toStage.inverted(&invertible);
    return invertible && local.contains(back.map(p));
}

const engine::Instance* instanceAt(const engine::RootState& state, const std::vector<int>& path)
{
    const std::map<int, engine::Instance>* list = &state.main.list;
    const engine::Instance* found = nullptr;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto it = list->find(path[i]);
        if (it == list->end())
            return nullptr;
        found = &it->second;
        if (i + 1 < path.size()) {
            if (found->sprite.empty())
                return nullptr;
            list = &found->sprite.front().list;
        }
    }
    return found;
}

engine::Instance* instanceAt(engine::RootState& state, const std::vector<int>& path)
{
    return const_cast<engine::Instance*>(instanceAt(static_cast<const engine::RootState&>(state), path));
}

void resetButtons(const Movie& movie, std::map<int, engine::Instance>& list, int nesting)
{
    if (nesting > ButtonTracker::maxNesting)
        return;
    for (auto& [depth, inst] : list) {
        if (inst.buttonState != 0 && movie.find<Button>(inst.characterId))
            inst.buttonState = 0;
        if (!inst.sprite.empty())
            resetButtons(movie, inst.sprite.front().list, nesting + 1);
    }
}

} // namespace

bool shows(const ButtonRecord& record, Visual visual)
{
    switch (visual) {
    case Visual::Up: return record.up;
    case Visual::Over: return record.over;
    case Visual::Down: return record.down;
    }
    return false;
}

Visual visualOf(Phase phase)
{
    switch (phase) {
    case Phase::Idle: return Visual::Up;
    case Phase::OverUp: return Visual::Over;
    case Phase::OverDown: return Visual::Down;
    case Phase::OutDown: return Visual::Over;
    }
    return Visual::Up;
}

ButtonTracker::ButtonTracker(const Movie& movie, ClipButtonTest isClipButton)
    : movie_(movie), isClipButton_(std::move(isClipButton))
{
    charactersAdded();
}

void ButtonTracker::charactersAdded()
{
    // Clips answer the pointer from SWF 6 on (and through onClipEvent
    // handlers of the same version).
    hasButtons_ = (isClipButton_ && movie_.header.version >= 6)
        || std::any_of(movie_.dictionary.begin(), movie_.dictionary.end(),
                       [](const auto& entry) { return std::holds_alternative<Button>(entry.second); });
}

const QPainterPath& ButtonTracker::coverage(std::uint16_t shapeId)
{
    auto it = coverage_.find(shapeId);
    if (it != coverage_.end())
        return it->second;
    const Shape* shape = movie_.find<Shape>(shapeId);
    return coverage_.emplace(shapeId, shape ? engine::shapeCoverage(*shape) : QPainterPath()).first->second;
}

// Whether the search may look at one more object.
bool ButtonTracker::visit(int nesting)
{
    if (nesting > maxNesting || visitsLeft_ == 0)
        return false;
    --visitsLeft_;
    return true;
}

bool ButtonTracker::hitTimelineFrame(const Timeline& timeline, const QTransform& toStage, QPointF p, int nesting)
{
    if (timeline.frames.empty())
        return false;
    for (const ControlTag& tag : timeline.frames.front().tags) {
        const auto* place = std::get_if<PlaceObject>(&tag);
        if (!place || !place->characterId || place->clipDepth)
            continue;
        const QTransform m = place->matrix.value_or(Matrix{}).toTransform() * toStage;
        if (hitCharacter(*place->characterId, nullptr, m, p, nesting + 1))
            return true;
    }
    return false;
}

bool ButtonTracker::hitCharacter(std::uint16_t id, const engine::Instance* instance, const QTransform& toStage,
                                 QPointF p, int nesting)
{
    if (!visit(nesting))
        return false;
    const Character* c = movie_.character(id);
    if (!c)
        return false;
    if (std::holds_alternative<Shape>(*c)) {
        bool invertible = false;
        const QTransform back = toStage.inverted(&invertible);
        return invertible && coverage(id).contains(back.map(p));
    }
    if (const auto* morph = std::get_if<MorphShape>(c))
        return inside(toStage, rectOf(morph->startBounds), p);
    if (const auto* text = std::get_if<Text>(c))
        return inside(toStage, rectOf(text->bounds), p);
    if (const auto* edit = std::get_if<EditText>(c))
        return inside(toStage, rectOf(edit->bounds), p);
    if (const auto* bitmap = std::get_if<Bitmap>(c))
        return inside(toStage, QRectF(0, 0, bitmap->width() * 20.0, bitmap->height() * 20.0), p);
    const auto entry = opened_.enter(id);
    return entry.entered() && hitContainer(*c, instance, toStage, p, nesting);
}

bool ButtonTracker::hitContainer(const Character& c, const engine::Instance* instance, const QTransform& toStage,
                                 QPointF p, int nesting)
{
    if (const auto* sprite = std::get_if<Sprite>(&c)) {
        if (instance && !instance->sprite.empty()) {
            for (const auto& [depth, child] : instance->sprite.front().list) {
                if (child.visible && child.clipDepth == 0
                    && hitCharacter(child.characterId, &child, child.matrix.toTransform() * toStage, p, nesting + 1))
                    return true;
            }
            return false;
        }
        return hitTimelineFrame(sprite->timeline, toStage, p, nesting);
    }
    if (const auto* button = std::get_if<Button>(&c)) {
        for (const ButtonRecord& r : button->records) {
            if (r.hitTest && hitCharacter(r.characterId, nullptr, r.matrix.toTransform() * toStage, p, nesting + 1))
                return true;
        }
    }
    return false;
}

bool ButtonTracker::findHit(const std::map<int, engine::Instance>& list, const QTransform& toStage, QPointF p,
                            int nesting, std::vector<int>& path)
{
    if (!visit(nesting))
        return false;
    // Topmost first.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const engine::Instance& inst = it->second;
        if (!inst.visible || inst.clipDepth != 0)
            continue;
        const QTransform m = inst.matrix.toTransform() * toStage;
        path.push_back(it->first);
        if (movie_.find<Button>(inst.characterId)) {
            if (hitCharacter(inst.characterId, &inst, m, p, nesting))
                return true;
        } else if (!inst.sprite.empty() && isClipButton_ && isClipButton_(inst)) {
            // A clip acting as a button takes the pointer for all it holds.
            if (hitCharacter(inst.characterId, &inst, m, p, nesting))
                return true;
        } else if (!inst.sprite.empty() && findHit(inst.sprite.front().list, m, p, nesting + 1, path)) {
            return true;
        }
        path.pop_back();
    }
    return false;
}

std::optional<std::vector<int>> ButtonTracker::hit(const engine::RootState& state, QPointF stage)
{
    if (!hasButtons_)
        return std::nullopt;
    std::vector<int> path;
    visitsLeft_ = maxVisitsPerSearch;
    opened_.clear();
    if (findHit(state.main.list, QTransform(), stage, 0, path))
        return path;
    return std::nullopt;
}

const Button* ButtonTracker::buttonAt(const engine::RootState& state, const std::vector<int>& path,
                                      std::uint16_t id) const
{
    const engine::Instance* inst = path.empty() ? nullptr : instanceAt(state, path);
    if (!inst || inst->characterId != id)
        return nullptr;
    return movie_.find<Button>(inst->characterId);
}

namespace {

// What a clip acting as a button runs on a transition of the button state
// machine: its handler event and method.
std::pair<std::uint32_t, const char16_t*> clipHandlerOf(std::uint16_t condition)
{
    switch (condition) {
    case ButtonCondAction::IdleToOverUp: return {ClipEvent::RollOver, u"onRollOver"};
    case ButtonCondAction::OverUpToIdle: return {ClipEvent::RollOut, u"onRollOut"};
    case ButtonCondAction::OverUpToOverDown: return {ClipEvent::Press, u"onPress"};
    case ButtonCondAction::OverDownToOverUp: return {ClipEvent::Release, u"onRelease"};
    case ButtonCondAction::OverDownToOutDown: return {ClipEvent::DragOut, u"onDragOut"};
    case ButtonCondAction::OutDownToOverDown: return {ClipEvent::DragOver, u"onDragOver"};
    case ButtonCondAction::OutDownToIdle: return {ClipEvent::ReleaseOutside, u"onReleaseOutside"};
    case ButtonCondAction::IdleToOverDown: return {ClipEvent::DragOver, u"onDragOver"};
    case ButtonCondAction::OverDownToIdle: return {ClipEvent::DragOut, u"onDragOut"};
    }
    return {0, nullptr};
}

} // namespace

void ButtonTracker::fire(const engine::RootState& state, std::uint16_t condition, std::vector<Fired>& out) const
{
    fireAt(state, tracked_, trackedId_, condition, out);
}

std::vector<Fired> ButtonTracker::pressByKey(const engine::RootState& state, const std::vector<int>& path)
{
    std::vector<Fired> out;
    const engine::Instance* inst = path.empty() ? nullptr : instanceAt(state, path);
    if (!inst)
        return out;
    fireAt(state, path, inst->characterId, ButtonCondAction::OverUpToOverDown, out);
    fireAt(state, path, inst->characterId, ButtonCondAction::OverDownToOverUp, out);
    return out;
}

void ButtonTracker::fireAt(const engine::RootState& state, const std::vector<int>& path, std::uint16_t id,
                           std::uint16_t condition, std::vector<Fired>& out) const
{
    const Button* button = buttonAt(state, path, id);
    if (!button) {
        const engine::Instance* inst = path.empty() ? nullptr : instanceAt(state, path);
        if (inst && inst->characterId == id && !inst->sprite.empty()) {
            const auto [event, method] = clipHandlerOf(condition);
            if (event != 0)
                out.push_back(Fired{path, nullptr, event, method});
        }
        return;
    }
    const int slot = condition == ButtonCondAction::OverUpToIdle ? Button::LeaveSound
        : condition == ButtonCondAction::IdleToOverUp            ? Button::EnterSound
        : condition == ButtonCondAction::OverUpToOverDown        ? Button::PressSound
        : condition == ButtonCondAction::OverDownToOverUp        ? Button::ReleaseSound
                                                                 : -1;
    if (slot >= 0 && button->sounds[std::size_t(slot)])
        firedSounds_.push_back(*button->sounds[std::size_t(slot)]);
    const std::vector<int> timeline(path.begin(), path.end() - 1);
    for (const ButtonCondAction& a : button->actions) {
        if ((a.conditions & condition) != 0 && !a.bytecode.isEmpty())
            out.push_back(Fired{timeline, &a.bytecode});
    }
    // Then the button object's own handler (onPress, onRelease, ...), if
    // a script gave it one.
    if (const auto [event, method] = clipHandlerOf(condition); event != 0)
        out.push_back(Fired{path, nullptr, event, method});
}

void ButtonTracker::enter(const engine::RootState& state, const std::optional<std::vector<int>>& over,
                          std::vector<Fired>& out)
{
    if (!over)
        return;
    const engine::Instance* inst = instanceAt(state, *over);
    if (!inst)
        return;
    const Button* button = movie_.find<Button>(inst->characterId);
    if (pressed_ && !(button && button->trackAsMenu))
        return; // held down elsewhere: an ordinary button does not react
    tracked_ = *over;
    trackedId_ = inst->characterId;
    if (pressed_) {
        phase_ = Phase::OverDown;
        fire(state, ButtonCondAction::IdleToOverDown, out);
    } else {
        phase_ = Phase::OverUp;
        fire(state, ButtonCondAction::IdleToOverUp, out);
    }
}

std::vector<Fired> ButtonTracker::move(const engine::RootState& state, QPointF stage)
{
    std::vector<Fired> out;
    if (!hasButtons_)
        return out;
    const auto over = hit(state, stage);
    const bool onTracked = over && phase_ != Phase::Idle && *over == tracked_;
    const Button* button = phase_ == Phase::Idle ? nullptr : buttonAt(state, tracked_, trackedId_);
    switch (phase_) {
    case Phase::Idle:
        enter(state, over, out);
        break;
    case Phase::OverUp:
        if (!onTracked) {
            fire(state, ButtonCondAction::OverUpToIdle, out);
            phase_ = Phase::Idle;
            enter(state, over, out);
        }
        break;
    case Phase::OverDown:
        if (!onTracked) {
            if (button && button->trackAsMenu) {
                fire(state, ButtonCondAction::OverDownToIdle, out);
                phase_ = Phase::Idle;
                enter(state, over, out);
            } else {
                fire(state, ButtonCondAction::OverDownToOutDown, out);
                phase_ = Phase::OutDown;
            }
        }
        break;
    case Phase::OutDown:
        if (onTracked) {
            fire(state, ButtonCondAction::OutDownToOverDown, out);
            phase_ = Phase::OverDown;
        }
        break;
    }
    return out;
}

std::vector<Fired> ButtonTracker::press(const engine::RootState& state, QPointF stage)
{
    std::vector<Fired> out = move(state, stage);
    pressed_ = true;
    if (phase_ == Phase::OverUp) {
        fire(state, ButtonCondAction::OverUpToOverDown, out);
        phase_ = Phase::OverDown;
    }
    return out;
}

std::vector<Fired> ButtonTracker::release(const engine::RootState& state, QPointF stage)
{
    std::vector<Fired> out = move(state, stage);
    pressed_ = false;
    if (phase_ == Phase::OverDown) {
        // A click: the actions of a release inside run.
        fire(state, ButtonCondAction::OverDownToOverUp, out);
        phase_ = Phase::OverUp;
    } else if (phase_ == Phase::OutDown) {
        fire(state, ButtonCondAction::OutDownToIdle, out);
        phase_ = Phase::Idle;
        auto more = move(state, stage);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

std::vector<Fired> ButtonTracker::leave(const engine::RootState& state)
{
    std::vector<Fired> out;
    if (phase_ == Phase::OverUp) {
        fire(state, ButtonCondAction::OverUpToIdle, out);
        phase_ = Phase::Idle;
    } else if (phase_ == Phase::OverDown) {
        fire(state, ButtonCondAction::OverDownToOutDown, out);
        phase_ = Phase::OutDown;
    }
    return out;
}

void ButtonTracker::apply(engine::RootState& state)
{
    if (!hasButtons_)
        return;
    resetButtons(movie_, state.main.list, 0);
    if (phase_ == Phase::Idle)
        return;
    engine::Instance* inst = instanceAt(state, tracked_);
    if (!inst || inst->characterId != trackedId_) {
        // The button went away (the frame changed under the pointer).
        phase_ = Phase::Idle;
        tracked_.clear();
        trackedId_ = 0;
        return;
    }
    inst->buttonState = static_cast<std::uint8_t>(visualOf(phase_));
}

} // namespace qev::swf::button
