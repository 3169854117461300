// The user's pointer and keys as scripts see them: clip events, handler
// methods of clips, button key presses and the Key and Mouse broadcasters.

#include "engine/Timeline.h"

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace qev::swf::engine {

namespace {

constexpr std::uint32_t buttonEvents = ClipEvent::Press | ClipEvent::Release | ClipEvent::ReleaseOutside
    | ClipEvent::RollOver | ClipEvent::RollOut | ClipEvent::DragOver | ClipEvent::DragOut;

} // namespace

void TimelineEngine::queueEverywhere(Run& run, std::uint32_t event, const char16_t* method)
{
    if (method && hasMethod(0, method))
        run.queue.push_back({{}, nullptr, 0, method});
    std::vector<int> path;
    std::function<void(TimelineState&)> walk = [&](TimelineState& t) {
        for (auto& [depth, inst] : t.list) {
            TimelineState* inner = innerList(inst);
            if (!inner || inst.unloading)
                continue;
            path.push_back(depth);
            if (!inst.sprite.empty())
                queueClipEvent(run, inst, path, event, method);
            walk(*inner);
            path.pop_back();
        }
    };
    walk(run.root->main);
}

bool TimelineEngine::broadcast(const char* object, const char16_t* message)
{
    const avm1::Value target = vm_->getMember(vm_->global(), QString::fromLatin1(object));
    if (!target.isObject())
        return false;
    const avm1::Value listeners = vm_->getMember(target, QStringLiteral("_listeners"));
    if (!listeners.isObject() || vm_->lengthOf(listeners.object) == 0)
        return false;
    vm_->runHandler(target.object, QStringLiteral("broadcastMessage"), {avm1::Value::fromString(QString::fromUtf16(message))});
    return true;
}

bool TimelineEngine::mouseEvent(RootState& state, MouseEvent kind, QPointF stage)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    vm_->input.mouseX = stage.x() / 20;
    vm_->input.mouseY = stage.y() / 20;
    if (drag_)
        followPointer(state, stage);
    static const char16_t move[] = u"onMouseMove";
    static const char16_t down[] = u"onMouseDown";
    static const char16_t up[] = u"onMouseUp";
    const char16_t* method = kind == MouseEvent::Move ? move : kind == MouseEvent::Down ? down : up;
    if (kind != MouseEvent::Move)
        vm_->input.mouseDown = kind == MouseEvent::Down;
    const std::uint32_t event = kind == MouseEvent::Move ? ClipEvent::MouseMove
        : kind == MouseEvent::Down                       ? ClipEvent::MouseDown
                                                         : ClipEvent::MouseUp;
    queueEverywhere(run, event, method);
    bool ran = !run.queue.empty();
    runActions(run);
    ran = broadcast("Mouse", method) || ran;
    runActions(run);
    clearJustPlaced(state.main);
    return ran;
}

bool TimelineEngine::keyEvent(RootState& state, bool down, int code, int ascii, int buttonKey)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    auto& input = vm_->input;
    if (down)
        input.keysDown.insert(code);
    else
        input.keysDown.erase(code);
    input.lastCode = code;
    input.lastAscii = ascii;
    queueEverywhere(run, down ? ClipEvent::KeyDown : ClipEvent::KeyUp, nullptr);
    if (down && buttonKey != 0) {
        // Key presses that clip handlers and buttons on the stage wait for.
        std::vector<int> path;
        std::function<void(TimelineState&)> walk = [&](TimelineState& t) {
            for (auto& [depth, inst] : t.list) {
                path.push_back(depth);
                if (inst.clipEvents)
                    for (const ClipEventHandler& h : *inst.clipEvents)
                        if ((h.events & ClipEvent::KeyPress) && h.keyCode == buttonKey)
                            run.queue.push_back({path, &h.bytecode, inst.uid});
                if (const Button* button = movie_.find<Button>(inst.characterId)) {
                    path.pop_back();
                    const Instance* owner = path.empty() ? nullptr : instanceAt(state, path);
                    for (const ButtonCondAction& a : button->actions)
                        if (a.keyPress == buttonKey && !a.bytecode.isEmpty())
                            run.queue.push_back({path, &a.bytecode, owner ? owner->uid : 0});
                    path.push_back(depth);
                }
                if (!inst.sprite.empty())
                    walk(inst.sprite.front());
                path.pop_back();
            }
        };
        walk(state.main);
    }
    bool ran = !run.queue.empty();
    runActions(run);
    ran = broadcast("Key", down ? u"onKeyDown" : u"onKeyUp") || ran;
    runActions(run);
    clearJustPlaced(state.main);
    return ran;
}

void TimelineEngine::runClipEvent(RootState& state, const std::vector<int>& path, std::uint32_t event,
                                  const char16_t* method)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    if (const Instance* inst = instanceAt(state, path))
        queueClipEvent(run, *inst, path, event, method);
    runActions(run);
    clearJustPlaced(state.main);
}

void TimelineEngine::dataArrived(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return;
    if (inst)
        queueClipEvent(*run_, *inst, path, ClipEvent::Data, u"onData");
    else
        vm_->runHandler(clip, QStringLiteral("onData")); // the main timeline has no clip events
}

void TimelineEngine::getUrl(const QString& url, const QString& target, int method)
{
    (void)method; // variables are never sent anywhere
    // fscommand calls ask the hosting program to quit, run programs and
    // the like; this player does none of it.
    if (url.startsWith(QStringLiteral("fscommand:"), Qt::CaseInsensitive))
        return;
    if (onOpenUrl)
        onOpenUrl(url, target);
}

void TimelineEngine::startDrag(avm1::ClipObject* clip, bool lockCenter, std::optional<QRectF> limits)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return;
    Drag d;
    d.uid = inst->uid;
    d.limits = limits;
    if (!lockCenter) {
        std::vector<int> parent(path.begin(), path.end() - 1);
        const QPointF pointer = toStage(*run_->root, parent).inverted().map(
            QPointF(vm_->input.mouseX * 20, vm_->input.mouseY * 20));
        d.grab = pointer - QPointF(inst->matrix.tx, inst->matrix.ty);
    }
    drag_ = d;
    followPointer(*run_->root, QPointF(vm_->input.mouseX * 20, vm_->input.mouseY * 20));
}

bool TimelineEngine::getTint(avm1::ClipObject* clip, Tint& out)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return false;
    const ColorTransform& c = inst->colorTransform;
    const std::int16_t muls[] = {c.rMul, c.gMul, c.bMul, c.aMul};
    const std::int16_t adds[] = {c.rAdd, c.gAdd, c.bAdd, c.aAdd};
    for (int i = 0; i < 4; ++i) {
        out.mul[i] = muls[i] * 100.0 / 256.0;
        out.add[i] = adds[i];
    }
    return true;
}

void TimelineEngine::setTint(avm1::ClipObject* clip, const Tint& tint)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return;
    auto mul = [&](int i) { return std::int16_t(std::clamp(std::round(tint.mul[i] * 256.0 / 100.0), -32768.0, 32767.0)); };
    auto add = [&](int i) { return std::int16_t(std::clamp(std::round(tint.add[i]), -32768.0, 32767.0)); };
    ColorTransform& c = inst->colorTransform;
    c = ColorTransform{mul(0), mul(1), mul(2), mul(3), add(0), add(1), add(2), add(3)};
    // Like a move, a script's colour is the clip's from then on.
    inst->scriptTransformed = true;
}

bool TimelineEngine::getMatrix(avm1::ClipObject* clip, QTransform& out)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    out = inst ? inst->matrix.toTransform() : QTransform();
    return true;
}

void TimelineEngine::setMatrix(avm1::ClipObject* clip, const QTransform& m)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return; // the main timeline keeps its place
    Matrix& to = inst->matrix;
    to.a = m.m11();
    to.b = m.m12();
    to.c = m.m21();
    to.d = m.m22();
    to.tx = Twips(std::clamp(std::round(m.dx()), -2147483648.0, 2147483647.0));
    to.ty = Twips(std::clamp(std::round(m.dy()), -2147483648.0, 2147483647.0));
    inst->scriptTransformed = true;
}

ScriptDrawing* TimelineEngine::editDrawing(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || (inst && inst->isButton))
        return nullptr;
    // Snapshots share drawings; a command works on the clip's own copy.
    auto own = t->drawing ? std::make_shared<ScriptDrawing>(*t->drawing) : std::make_shared<ScriptDrawing>();
    ++own->revision;
    ScriptDrawing* d = own.get();
    t->drawing = std::move(own);
    return d;
}

void TimelineEngine::stopDrag()
{
    drag_.reset();
}

void TimelineEngine::followPointer(RootState& root, QPointF stage)
{
    std::vector<int> path;
    if (!findUid(root.main, drag_->uid, path)) {
        drag_.reset();
        return;
    }
    Instance* inst = instanceAt(root, path);
    std::vector<int> parent(path.begin(), path.end() - 1);
    QPointF at = toStage(root, parent).inverted().map(stage) - drag_->grab;
    if (drag_->limits) {
        const QRectF& r = *drag_->limits;
        at = QPointF(std::clamp(at.x(), r.left(), r.right()), std::clamp(at.y(), r.top(), r.bottom()));
    }
    inst->matrix.tx = Twips(std::round(at.x()));
    inst->matrix.ty = Twips(std::round(at.y()));
    inst->scriptTransformed = true;
    // The clip under the pointer, the dragged one and all it holds left out.
    if (!pointHit_)
        pointHit_ = std::make_unique<PointHit>(movie_);
    std::vector<int> under;
    QString target;
    if (pointHit_->deepestClip(root.main.list, QTransform(), stage, inst, under) && !under.empty()) {
        const TimelineState* t = &root.main;
        for (int depth : under) {
            const Instance& i = t->list.at(depth);
            target += u'/' + i.name;
            if (i.sprite.empty())
                break;
            t = &i.sprite.front();
        }
    }
    dropTargets_[inst->uid] = target;
}

bool TimelineEngine::coversPoint(avm1::ClipObject* clip, QPointF stage)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return false;
    if (!pointHit_)
        pointHit_ = std::make_unique<PointHit>(movie_);
    const QPointF p = stage * 20;
    if (inst)
        return pointHit_->hits(*inst, toStage(*run_->root, path), p);
    std::vector<int> none;
    return pointHit_->deepestClip(t->list, QTransform(), p, nullptr, none);
}

QString TimelineEngine::dropTarget(avm1::ClipObject* clip)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst) || !inst)
        return {};
    const auto it = dropTargets_.find(inst->uid);
    return it == dropTargets_.end() ? QString() : it->second;
}

bool TimelineEngine::isClipButton(const Instance& inst)
{
    if (inst.sprite.empty())
        return false;
    if (inst.clipEvents)
        for (const ClipEventHandler& h : *inst.clipEvents)
            if (h.events & buttonEvents)
                return true;
    for (const char16_t* m : {u"onPress", u"onRelease", u"onReleaseOutside", u"onRollOver", u"onRollOut",
                              u"onDragOver", u"onDragOut"})
        if (hasMethod(inst.uid, m))
            return true;
    return false;
}

} // namespace qev::swf::engine
