// Keyboard focus on buttons, clips and input text fields: the order Tab
// and Shift+Tab walk, what Selection sees, and the frame drawn around a
// focused button or clip.
//
// The order is the player's: when any object on the stage has a tabIndex,
// only those objects, by tabIndex; otherwise every object that takes the
// focus by its place on the stage, top to bottom, then left to right.
// Buttons and input fields take it, and clips that answer the pointer as
// buttons do; tabEnabled set by a script says yes or no for any of them,
// tabChildren = false on a clip keeps the objects inside it out.

#include "engine/Bounds.h"
#include "engine/Timeline.h"

#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/Vm.h"

#include <algorithm>
#include <cmath>

namespace qev::swf::engine {

using avm1::Value;

namespace {

// The order compares whole pixels, so that objects on one row go left to
// right although their tops differ by a twip.
double pixelRow(double twips)
{
    return std::round(twips / 20);
}

} // namespace

avm1::Value TimelineEngine::scriptValue(std::uint64_t uid, bool field, const QString& name)
{
    avm1::Object* o = nullptr;
    if (field) {
        auto it = vm_->textFields().find(uid);
        o = it != vm_->textFields().end() ? it->second : nullptr;
    } else {
        auto it = vm_->clips().find(uid);
        o = it != vm_->clips().end() ? it->second : nullptr;
    }
    if (!o)
        return {};
    // Read without calling getters: this runs between scripts.
    const avm1::Property* p = o->find(name);
    return p && !p->isVirtual() ? p->value : Value();
}

void TimelineEngine::collectFocusables(RootState& root, TimelineState& t, std::vector<int>& path,
                                       std::vector<Focusable>& out)
{
    for (auto& [depth, inst] : t.list) {
        if (!inst.visible || inst.unloading)
            continue;
        path.push_back(depth);
        const bool field = inst.textField != nullptr;
        if (field || isScriptClip(inst)) {
            const Value enabled = scriptValue(inst.uid, field, QStringLiteral("tabEnabled"));
            bool takesFocus;
            if (enabled.isBoolean() || enabled.isNumber() || enabled.isString())
                takesFocus = vm_->toBoolean(enabled);
            else if (field)
                takesFocus = !inst.textField->edit.readOnly;
            else
                takesFocus = inst.isButton || isClipButton(inst);
            if (takesFocus) {
                Focusable f;
                f.path = path;
                f.uid = inst.uid;
                f.bounds = instanceBounds(movie_, inst, toStage(root, path));
                if (field) {
                    f.tabIndex = inst.textField->tabIndex;
                } else {
                    const Value index = scriptValue(inst.uid, false, QStringLiteral("tabIndex"));
                    if (index.isNumber())
                        f.tabIndex = index.number;
                }
                out.push_back(std::move(f));
            }
        }
        if (!inst.sprite.empty()) {
            const Value children = scriptValue(inst.uid, false, QStringLiteral("tabChildren"));
            if (children.isUndefined() || children.isNull() || vm_->toBoolean(children))
                collectFocusables(root, inst.sprite.front(), path, out);
        }
        path.pop_back();
    }
}

std::vector<TimelineEngine::Focusable> TimelineEngine::tabOrder(RootState& root)
{
    std::vector<Focusable> all;
    std::vector<int> path;
    collectFocusables(root, root.main, path, all);
    // Place on the stage first; objects at the same place keep their
    // order in the display list.
    std::stable_sort(all.begin(), all.end(), [](const Focusable& a, const Focusable& b) {
        const double ay = pixelRow(a.bounds.top()), by = pixelRow(b.bounds.top());
        if (ay != by)
            return ay < by;
        return pixelRow(a.bounds.left()) < pixelRow(b.bounds.left());
    });
    const bool indexed = std::any_of(all.begin(), all.end(), [](const Focusable& f) { return f.tabIndex.has_value(); });
    if (!indexed)
        return all;
    std::vector<Focusable> order;
    for (Focusable& f : all)
        if (f.tabIndex)
            order.push_back(std::move(f));
    // Equal indexes keep the order of their place.
    std::stable_sort(order.begin(), order.end(),
                     [](const Focusable& a, const Focusable& b) { return *a.tabIndex < *b.tabIndex; });
    return order;
}

bool TimelineEngine::tabFocus(RootState& root, bool backwards)
{
    const std::vector<Focusable> order = tabOrder(root);
    if (order.empty())
        return false;
    auto at = std::find_if(order.begin(), order.end(), [&](const Focusable& f) { return f.uid == focusUid_; });
    std::size_t next = backwards ? order.size() - 1 : 0;
    if (at != order.end()) {
        const std::size_t i = std::size_t(at - order.begin());
        next = backwards ? (i + order.size() - 1) % order.size() : (i + 1) % order.size();
    }
    const std::uint64_t before = focusUid_;
    moveFocus(order[next].uid);
    return focusUid_ != before;
}

bool TimelineEngine::focusedControl(RootState& root, std::vector<int>& path)
{
    path.clear();
    return focusUid_ != 0 && findUid(root.main, focusUid_, path);
}

std::optional<QRectF> TimelineEngine::focusFrame(RootState& root)
{
    std::vector<int> path;
    if (!focusedControl(root, path))
        return std::nullopt;
    const Instance* inst = instanceAt(root, path);
    if (!inst || !focusRectShown(inst->uid))
        return std::nullopt;
    const QRectF b = instanceBounds(movie_, *inst, toStage(root, path));
    if (b.isNull())
        return std::nullopt;
    return b;
}

bool TimelineEngine::focusRectShown(std::uint64_t uid) const
{
    auto it = focusRects_.find(uid);
    return it != focusRects_.end() ? it->second : focusRect_;
}

} // namespace qev::swf::engine
