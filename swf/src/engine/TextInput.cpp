// The keyboard focus and typing into input text fields: Selection's focus,
// the caret and selection, and the keys that edit.

#include "engine/Timeline.h"

#include "avm1/ClipObject.h"
#include "avm1/TextFieldObject.h"
#include "avm1/Vm.h"

#include <algorithm>

namespace qev::swf::engine {

using avm1::Value;

namespace {

struct FieldAt {
    std::vector<int> path;
    Instance* inst = nullptr;
};

// Every text field on the stage, in depth order (deeper timelines inside
// their clip's place).
void collectFields(TimelineState& t, std::vector<int>& path, std::vector<FieldAt>& out)
{
    for (auto& [depth, inst] : t.list) {
        path.push_back(depth);
        if (inst.textField)
            out.push_back({path, &inst});
        if (!inst.sprite.empty())
            collectFields(inst.sprite.front(), path, out);
        path.pop_back();
    }
}

// Whether restrict lets c be typed: its characters and ranges ("A-Z"),
// "^" switching to characters that may not be typed, "\" taking the next
// character as it is.
bool restrictAllows(const QString& restrict, QChar c)
{
    bool allowed = false;
    bool any = false;    // whether an allowing part came first
    bool exclude = false;
    for (int i = 0; i < restrict.size(); ++i) {
        QChar from = restrict[i];
        if (from == u'^') {
            if (!any && !exclude && i == 0)
                allowed = true; // "^abc": all but abc
            exclude = !exclude;
            continue;
        }
        if (from == u'\\' && i + 1 < restrict.size())
            from = restrict[++i];
        QChar to = from;
        if (i + 2 < restrict.size() && restrict[i + 1] == u'-') {
            to = restrict[i + 2];
            if (to == u'\\' && i + 3 < restrict.size())
                to = restrict[++i + 2];
            i += 2;
        }
        if (!exclude)
            any = true;
        if (c >= from && c <= to)
            allowed = !exclude;
    }
    return allowed;
}

} // namespace

bool findTextFieldPath(TimelineState& t, std::uint64_t uid, std::vector<int>& path)
{
    for (auto& [depth, inst] : t.list) {
        path.push_back(depth);
        if (inst.textField && inst.uid == uid)
            return true;
        if (!inst.sprite.empty() && findTextFieldPath(inst.sprite.front(), uid, path))
            return true;
        path.pop_back();
    }
    return false;
}

avm1::Object* TimelineEngine::focus()
{
    std::vector<int> path;
    if (!run_ || !focusUid_)
        return nullptr;
    if (findTextFieldPath(run_->root->main, focusUid_, path))
        return fieldAt(*run_->root, path);
    // A button or clip (TabFocus.cpp); nothing once it left the stage.
    path.clear();
    return findUid(run_->root->main, focusUid_, path) ? clipAt(*run_->root, path) : nullptr;
}

bool TimelineEngine::setFocus(avm1::Object* target)
{
    if (!target) {
        moveFocus(0);
        return true;
    }
    std::vector<int> path;
    Instance* inst;
    if (target->kind() == avm1::ObjectKind::Clip) {
        // Buttons and clips take the focus too; the main timeline does not.
        TimelineState* t;
        if (!locate(static_cast<avm1::ClipObject*>(target), t, path, inst) || !inst)
            return false;
        moveFocus(inst->uid);
        return true;
    }
    if (target->kind() != avm1::ObjectKind::TextField)
        return false;
    if (!locateField(static_cast<avm1::TextFieldObject*>(target), path, inst))
        return false;
    moveFocus(inst->uid);
    return true;
}

void TimelineEngine::selection(int& begin, int& end, int& caret)
{
    const avm1::Object* focused = focus();
    if (!focused || focused->kind() != avm1::ObjectKind::TextField) {
        begin = end = caret = -1;
        return;
    }
    begin = selectionBegin_;
    end = selectionEnd_;
    caret = caret_;
}

void TimelineEngine::setSelection(int begin, int end)
{
    std::vector<int> path;
    if (!run_ || !focusUid_ || !findTextFieldPath(run_->root->main, focusUid_, path))
        return;
    const int length = int(fieldPlainText(*instanceAt(*run_->root, path)->textField).size());
    selectionBegin_ = std::clamp(std::min(begin, end), 0, length);
    selectionEnd_ = std::clamp(std::max(begin, end), 0, length);
    caret_ = std::clamp(end, 0, length);
}

void TimelineEngine::moveFocus(std::uint64_t uid)
{
    if (uid == focusUid_ || !run_)
        return;
    avm1::Object* before = focus();
    focusUid_ = uid;
    avm1::Object* now = focus();
    if (uid && !now)
        focusUid_ = 0;
    // A field that takes the focus has all its text selected.
    if (now && now->kind() == avm1::ObjectKind::TextField) {
        std::vector<int> path;
        findTextFieldPath(run_->root->main, uid, path);
        const int length = int(fieldPlainText(*instanceAt(*run_->root, path)->textField).size());
        selectionBegin_ = 0;
        selectionEnd_ = caret_ = length;
    }
    if (!run_->scripts)
        return;
    const Value was = before ? Value::fromObject(before) : Value::null();
    const Value is = now ? Value::fromObject(now) : Value::null();
    if (before)
        vm_->runHandler(before, QStringLiteral("onKillFocus"), {is});
    if (now)
        vm_->runHandler(now, QStringLiteral("onSetFocus"), {was});
    const Value selection = vm_->getMember(vm_->global(), QStringLiteral("Selection"));
    if (selection.isObject())
        vm_->runHandler(selection.object, QStringLiteral("broadcastMessage"),
                        {Value::fromString(QStringLiteral("onSetFocus")), was, is});
}

bool TimelineEngine::focusAt(RootState& state, QPointF stage)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    std::vector<FieldAt> fields;
    std::vector<int> path;
    collectFields(state.main, path, fields);
    std::uint64_t hit = 0;
    for (const FieldAt& f : fields) {
        const Rect& b = f.inst->textField->edit.bounds;
        bool invertible = false;
        const QPointF local = toStage(state, f.path).inverted(&invertible).map(stage);
        if (invertible && f.inst->visible && QRectF(b.xMin, b.yMin, b.width(), b.height()).contains(local))
            hit = f.inst->textField->edit.readOnly && !f.inst->textField->selectable ? 0 : f.inst->uid;
    }
    const std::uint64_t before = focusUid_;
    moveFocus(hit);
    runActions(run);
    return focusUid_ != before;
}

bool TimelineEngine::textInput(RootState& state, int code, const QString& typed, bool shift)
{
    Run run;
    run.root = &state;
    run.instances = instanceCount(state.main);
    ActiveRun active(*this, run);
    bool changed = false;
    std::vector<FieldAt> fields;
    std::vector<int> path;
    collectFields(state.main, path, fields);
    if (code == 9) {
        // Tab: the next button, clip or input field (TabFocus.cpp);
        // Shift+Tab goes back.
        changed = tabFocus(state, shift);
        runActions(run);
        return changed;
    }
    auto focused = std::find_if(fields.begin(), fields.end(), [&](const FieldAt& f) { return f.inst->uid == focusUid_; });
    if (focused == fields.end() || focused->inst->textField->edit.readOnly) {
        runActions(run);
        return false;
    }
    Instance& inst = *focused->inst;
    const TextFieldState& field = *inst.textField;
    QString text = fieldPlainText(field);
    const int length = int(text.size());
    caret_ = std::clamp(caret_, 0, length);
    selectionBegin_ = std::clamp(selectionBegin_, 0, length);
    selectionEnd_ = std::clamp(selectionEnd_, selectionBegin_, length);
    const bool hasSelection = selectionEnd_ > selectionBegin_;
    auto removeSelection = [&] {
        text.remove(selectionBegin_, selectionEnd_ - selectionBegin_);
        caret_ = selectionBegin_;
    };
    QString insert;
    switch (code) {
    case 8: // Backspace
        if (hasSelection)
            removeSelection();
        else if (caret_ > 0)
            text.remove(--caret_, 1);
        break;
    case 46: // Delete
        if (hasSelection)
            removeSelection();
        else if (caret_ < length)
            text.remove(caret_, 1);
        break;
    case 37: caret_ = std::max(0, caret_ - 1); break;
    case 39: caret_ = std::min(length, caret_ + 1); break;
    case 36: caret_ = 0; break;
    case 35: caret_ = length; break;
    case 13:
        if (field.edit.multiline)
            insert = QStringLiteral("\r");
        break;
    default:
        for (QChar c : typed)
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F && (!field.restrict || restrictAllows(*field.restrict, c)))
                insert += c;
        break;
    }
    if (!insert.isEmpty()) {
        if (hasSelection)
            removeSelection();
        if (!field.edit.multiline)
            insert.remove(u'\r');
        if (field.edit.maxLength && *field.edit.maxLength > 0)
            insert.truncate(std::max(0, int(*field.edit.maxLength) - int(text.size())));
        text.insert(caret_, insert);
        caret_ += int(insert.size());
    }
    selectionBegin_ = selectionEnd_ = caret_;
    if (text != fieldPlainText(field)) {
        setFieldText(inst, focused->path, text, false, true);
        changed = true;
        if (avm1::TextFieldObject* object = fieldAt(state, focused->path))
            vm_->runHandler(object, QStringLiteral("onChanged"), {Value::fromObject(object)});
    }
    runActions(run);
    return changed || code == 37 || code == 39 || code == 36 || code == 35;
}

} // namespace qev::swf::engine
