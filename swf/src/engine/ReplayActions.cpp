// The timeline actions of frames that a seek passes over. Scripts do not run
// there (a goto runs only the frame it lands on), but stop, play and jumps of
// sprites still shape the picture of the frame arrived at, so they are
// applied the way playing would apply them, without the script machine. The
// block is walked as bytecode in the order it runs, so a constant pool or a
// pushed frame is the one in force where a goto runs, also after a jump.

#include "avm1/Decoder.h"
#include "avm1/Vm.h"
#include "engine/Timeline.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace qev::swf::engine {

namespace {

constexpr std::size_t maxActionsPerBlock = 100000;

// Codes of the actions a replay gives meaning to.
enum : std::uint8_t {
    NextFrame = 0x04,
    PreviousFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    GotoFrame = 0x81,
    ConstantPool = 0x88,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    Push = 0x96,
    Jump = 0x99,
    GotoFrame2 = 0x9F,
};

// The last value a Push action puts on the stack, when it is a number or a
// string (a constant is looked up in the pool in force, if any).
struct PushedValue {
    bool isString = false;
    double number = 0;
    QString string;
};

QString poolEntry(const QByteArray& block, const avm1::DecodedAction* pool, std::size_t index, int version)
{
    if (!pool)
        return {};
    avm1::PayloadReader p(block, pool->payload, pool->length);
    const std::size_t count = p.u16();
    for (std::size_t i = 0; i < count && p.ok(); ++i) {
        QString s = p.string(version);
        if (i == index)
            return p.ok() ? s : QString();
    }
    return {};
}

std::optional<PushedValue> lastPushed(const QByteArray& block, const avm1::DecodedAction& push,
                                      const avm1::DecodedAction* pool, int version)
{
    avm1::PayloadReader p(block, push.payload, push.length);
    std::optional<PushedValue> last;
    while (!p.atEnd() && p.ok()) {
        PushedValue v;
        switch (p.u8()) {
        case 0:
            v.isString = true;
            v.string = p.string(version);
            break;
        case 1:
            v.number = p.f32();
            break;
        case 2: case 3: // null, undefined
            last.reset();
            continue;
        case 4: case 5: // a register, a boolean: not a frame a replay can know
            p.u8();
            last.reset();
            continue;
        case 6:
            v.number = p.f64Swapped();
            break;
        case 7:
            v.number = std::int32_t(p.u32());
            break;
        case 8:
            v.isString = true;
            v.string = poolEntry(block, pool, p.u8(), version);
            break;
        case 9:
            v.isString = true;
            v.string = poolEntry(block, pool, p.u16(), version);
            break;
        default:
            return std::nullopt;
        }
        if (!p.ok())
            return std::nullopt;
        last = std::move(v);
    }
    return last;
}

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

void TimelineEngine::replayActions(Run& run, const std::vector<int>& path, const QByteArray& block)
{
    RootState& root = *run.root;
    std::vector<int> target = path;
    bool targetValid = resolve(root, path) != nullptr;
    if (!targetValid)
        return;
    const int version = vm_->version();

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
    // GotoFrame2 takes its frame from the stack; a replay keeps no stack, so
    // it knows the frame only when the action run just before pushed it.
    auto pushedFrame = [&](const PushedValue& v, int bias) {
        double n = v.number;
        if (v.isString) {
            bool ok = false;
            n = v.string.toInt(&ok);
            if (!ok)
                return labelFrame(v.string);
        }
        if (!std::isfinite(n) || n < -2147483648.0 || n > 2147483647.0)
            return -1;
        return int(std::clamp<std::int64_t>(std::int64_t(n) - 1 + bias, -1, 1 << 30));
    };

    const auto end = std::uint32_t(block.size());
    std::uint32_t pc = 0;
    // The constant pool in force, and the last push with the pool in force
    // when it ran; a jump between a push and the goto leaves the stack as it was.
    avm1::DecodedAction pool;
    bool havePool = false;
    avm1::DecodedAction push;
    avm1::DecodedAction pushPool;
    bool pushHadPool = false;
    bool justPushed = false;
    for (std::size_t executed = 0; executed < maxActionsPerBlock && run.work < maxWorkPerTick;
         ++executed, ++run.work) {
        avm1::DecodedAction a;
        if (!avm1::decodeAction(block, pc, end, a))
            return;
        avm1::PayloadReader p(block, a.payload, a.length);
        const bool afterPush = justPushed;
        justPushed = false;
        pc = a.next;
        switch (a.code) {
        case Stop:
            navigate({Navigation::Kind::Stop, 0, false});
            break;
        case Play:
            navigate({Navigation::Kind::Play, 0, true});
            break;
        case NextFrame:
            navigate({Navigation::Kind::Goto, currentFrame() + 1, false});
            break;
        case PreviousFrame:
            navigate({Navigation::Kind::Goto, currentFrame() - 1, false});
            break;
        case GotoFrame: {
            const int frame = p.u16();
            if (p.ok())
                navigate({Navigation::Kind::Goto, frame, false});
            break;
        }
        case GotoLabel: {
            const int f = labelFrame(p.string(version));
            if (p.ok() && f >= 0)
                navigate({Navigation::Kind::Goto, f, false});
            break;
        }
        case GotoFrame2: {
            const std::uint8_t flags = p.u8();
            const int bias = (flags & 0x02) ? p.u16() : 0;
            if (!p.ok() || !afterPush)
                break;
            if (const auto value = lastPushed(block, push, pushHadPool ? &pushPool : nullptr, version)) {
                const int f = pushedFrame(*value, bias);
                if (f >= 0)
                    navigate({Navigation::Kind::Goto, f, (flags & 0x01) != 0});
            }
            break;
        }
        case SetTarget:
            targetValid = resolveReplayTarget(root, path, p.string(version), target);
            break;
        case ConstantPool:
            pool = a;
            havePool = true;
            break;
        case Push:
            push = a;
            pushPool = pool;
            pushHadPool = havePool;
            justPushed = true;
            break;
        case Jump: {
            const std::int64_t to = std::int64_t(a.next) + p.s16();
            if (!p.ok() || to < 0 || to >= std::int64_t(end))
                return;
            pc = std::uint32_t(to);
            justPushed = afterPush;
            break;
        }
        default:
            // Conditions and everything needing a value stack are not run:
            // execution goes straight on.
            break;
        }
    }
}

} // namespace qev::swf::engine
