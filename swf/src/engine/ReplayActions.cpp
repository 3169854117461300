// The timeline actions of frames that a seek passes over. Scripts do not run
// there (a goto runs only the frame it lands on), but stop, play and jumps of
// sprites still shape the picture of the frame arrived at, so they are
// applied the way playing would apply them, without the script machine.

#include "engine/Timeline.h"

#include <QRegularExpression>

#include <algorithm>

namespace qev::swf::engine {

namespace {

constexpr std::size_t maxActionsPerBlock = 100000;

int frameCount(const TimelineState& t)
{
    return t.timeline ? static_cast<int>(t.timeline->frames.size()) : 0;
}

} // namespace

bool TimelineEngine::resolveReplayTarget(RootState& root, const std::vector<int>& from, const QString& target,
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

void TimelineEngine::replayActions(Run& run, const std::vector<int>& path, const ActionList& actions)
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
            targetValid = resolveReplayTarget(root, path, a.label, target);
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
