#include "Context.h"

#include <cmath>
#include <cstring>
#include <map>

namespace qev::swf::detail {

namespace {

// Push's double keeps its two 32-bit halves high word first.
double readPushDouble(BitReader& r)
{
    const std::uint64_t high = r.u32();
    const std::uint64_t low = r.u32();
    const std::uint64_t bits = (high << 32) | low;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

std::vector<PushValue> readPush(BitReader& r, int version, const std::vector<QString>& pool)
{
    std::vector<PushValue> values;
    while (!r.atEnd()) {
        PushValue v;
        const std::uint8_t type = r.u8();
        switch (type) {
        case 0:
            v.type = PushValue::Type::String;
            v.string = r.string(version);
            break;
        case 1:
            v.type = PushValue::Type::Float;
            v.number = r.f32();
            break;
        case 2:
            v.type = PushValue::Type::Null;
            break;
        case 3:
            v.type = PushValue::Type::Undefined;
            break;
        case 4:
            v.type = PushValue::Type::Register;
            v.number = r.u8();
            break;
        case 5:
            v.type = PushValue::Type::Boolean;
            v.number = r.u8() ? 1 : 0;
            break;
        case 6:
            v.type = PushValue::Type::Double;
            v.number = readPushDouble(r);
            break;
        case 7:
            v.type = PushValue::Type::Integer;
            v.number = r.s32();
            break;
        case 8:
        case 9: {
            const std::size_t index = type == 8 ? r.u8() : r.u16();
            if (index < pool.size()) {
                v.type = PushValue::Type::String;
                v.string = pool[index];
            } else {
                v.type = PushValue::Type::Constant;
                v.number = double(index);
            }
            break;
        }
        default:
            throw FormatError(QStringLiteral("unknown push value type %1").arg(type));
        }
        values.push_back(std::move(v));
    }
    return values;
}

// The frame a constant pushed before GotoFrame2 names (stack frames count from 1).
void resolveGotoFrame2(Action& a, const ActionList& before)
{
    if (before.empty() || before.back().code != std::uint8_t(ActionCode::Push) || before.back().pushed.empty())
        return;
    const PushValue& v = before.back().pushed.back();
    auto fromNumber = [&](double n) {
        if (std::isfinite(n) && n >= -2147483648.0 && n <= 2147483647.0)
            a.frame = std::int32_t(std::int64_t(n) - 1 + a.sceneBias);
    };
    switch (v.type) {
    case PushValue::Type::Integer:
    case PushValue::Type::Double:
    case PushValue::Type::Float:
        fromNumber(v.number);
        break;
    case PushValue::Type::String: {
        bool ok = false;
        const int n = v.string.toInt(&ok);
        if (ok)
            fromNumber(n);
        else
            a.label = v.string;
        break;
    }
    default:
        break;
    }
}

} // namespace

ActionList readActions(BitReader& r, Context& ctx)
{
    ActionList list;
    std::vector<QString> pool;
    std::map<std::uint32_t, int> indexAt;
    std::uint32_t endOffset = 0;
    while (true) {
        if (r.atEnd()) {
            endOffset = std::uint32_t(r.pos());
            break;
        }
        if (list.size() >= ctx.limits.maxActions || ctx.actions >= ctx.limits.maxActionsTotal) {
            ctx.warn(QStringLiteral("action block cut at the action limit"));
            endOffset = std::uint32_t(r.pos());
            break;
        }
        Action a;
        a.offset = std::uint32_t(r.pos());
        a.code = r.u8();
        if (a.code == 0) {
            endOffset = a.offset;
            break;
        }
        ++ctx.actions;
        if (a.code >= 0x80) {
            const std::size_t length = r.u16();
            BitReader p = r.sub(length);
            a.payload = QByteArray(reinterpret_cast<const char*>(p.data()), qsizetype(length));
            try {
                switch (ActionCode(a.code)) {
                case ActionCode::GotoFrame:
                    a.frame = p.u16();
                    break;
                case ActionCode::GetUrl:
                    a.label = p.string(ctx.version);
                    a.target = p.string(ctx.version);
                    break;
                case ActionCode::WaitForFrame:
                    a.frame = p.u16();
                    a.skipCount = p.u8();
                    break;
                case ActionCode::WaitForFrame2:
                    a.skipCount = p.u8();
                    break;
                case ActionCode::SetTarget:
                case ActionCode::GotoLabel:
                    a.label = p.string(ctx.version);
                    break;
                case ActionCode::ConstantPool: {
                    const std::size_t n = p.u16();
                    for (std::size_t i = 0; i < n; ++i)
                        a.constants.push_back(p.string(ctx.version));
                    pool = a.constants;
                    break;
                }
                case ActionCode::Push:
                    a.pushed = readPush(p, ctx.version, pool);
                    break;
                case ActionCode::Jump:
                case ActionCode::If:
                    a.branchOffset = p.s16();
                    break;
                case ActionCode::GotoFrame2: {
                    const std::uint8_t flags = p.u8();
                    a.play = flags & 0x01;
                    if (flags & 0x02)
                        a.sceneBias = p.u16();
                    resolveGotoFrame2(a, list);
                    break;
                }
                default:
                    break;
                }
            } catch (const FormatError& e) {
                // The payload length is known, so the rest of the block stays readable.
                ctx.warn(QStringLiteral("action 0x%1 at %2 is malformed: %3")
                             .arg(a.code, 2, 16, QLatin1Char('0'))
                             .arg(a.offset)
                             .arg(e.message));
            }
        }
        indexAt[a.offset] = int(list.size());
        list.push_back(std::move(a));
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        Action& a = list[i];
        if (a.code != std::uint8_t(ActionCode::Jump) && a.code != std::uint8_t(ActionCode::If))
            continue;
        const std::int64_t next = i + 1 < list.size() ? list[i + 1].offset : endOffset;
        const std::int64_t target = next + a.branchOffset;
        if (target == endOffset)
            a.branchTarget = int(list.size());
        else if (auto it = indexAt.find(std::uint32_t(target)); target >= 0 && it != indexAt.end())
            a.branchTarget = it->second;
    }
    return list;
}

} // namespace qev::swf::detail
