#include <qev/swf/ActionAssembler.h>

#include <cstring>
#include <stdexcept>

namespace qev::swf::writer {

namespace {

void putU16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putU32(QByteArray& out, std::uint32_t v)
{
    putU16(out, std::uint16_t(v & 0xFFFF));
    putU16(out, std::uint16_t(v >> 16));
}

} // namespace

QByteArray ActionAssembler::string(const QString& s) const
{
    QByteArray b = version_ >= 6 ? s.toUtf8() : s.toLatin1();
    b.append('\0');
    return b;
}

ActionAssembler& ActionAssembler::action(std::uint8_t code, const QByteArray& payload)
{
    code_.append(char(code));
    if (code >= 0x80) {
        if (payload.size() > 0xFFFF)
            throw std::length_error("action payload over 65535 bytes");
        putU16(code_, std::uint16_t(payload.size()));
        code_.append(payload);
    }
    return *this;
}

ActionAssembler& ActionAssembler::op(std::uint8_t code)
{
    return action(code, {});
}

void ActionAssembler::pushValue(const QByteArray& typedValue)
{
    action(0x96, typedValue);
}

ActionAssembler& ActionAssembler::push(double number)
{
    QByteArray v;
    // Whole numbers that fit go as 32-bit integers, as compilers write them.
    if (number == double(std::int32_t(number)) && !(number == 0 && std::signbit(number))) {
        v.append(char(7));
        putU32(v, std::uint32_t(std::int32_t(number)));
    } else {
        v.append(char(6));
        std::uint64_t bits;
        std::memcpy(&bits, &number, 8);
        // The high word comes first.
        putU32(v, std::uint32_t(bits >> 32));
        putU32(v, std::uint32_t(bits & 0xFFFFFFFFu));
    }
    pushValue(v);
    return *this;
}

ActionAssembler& ActionAssembler::pushFloat(float value)
{
    QByteArray v;
    v.append(char(1));
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(v, bits);
    pushValue(v);
    return *this;
}

ActionAssembler& ActionAssembler::push(const QString& s)
{
    QByteArray v;
    v.append(char(0));
    v.append(string(s));
    pushValue(v);
    return *this;
}

ActionAssembler& ActionAssembler::pushBool(bool value)
{
    pushValue(QByteArray("\x05", 1) + char(value ? 1 : 0));
    return *this;
}

ActionAssembler& ActionAssembler::pushNull()
{
    pushValue(QByteArray("\x02", 1));
    return *this;
}

ActionAssembler& ActionAssembler::pushUndefined()
{
    pushValue(QByteArray("\x03", 1));
    return *this;
}

ActionAssembler& ActionAssembler::pushRegister(std::uint8_t reg)
{
    pushValue(QByteArray("\x04", 1) + char(reg));
    return *this;
}

ActionAssembler& ActionAssembler::pushConstant(std::uint16_t index)
{
    QByteArray v;
    if (index < 256) {
        v.append(char(8));
        v.append(char(index));
    } else {
        v.append(char(9));
        putU16(v, index);
    }
    pushValue(v);
    return *this;
}

ActionAssembler& ActionAssembler::constantPool(const QStringList& strings)
{
    QByteArray p;
    putU16(p, std::uint16_t(strings.size()));
    for (const QString& s : strings)
        p.append(string(s));
    return action(0x88, p);
}

ActionAssembler& ActionAssembler::storeRegister(std::uint8_t reg)
{
    return action(0x87, QByteArray(1, char(reg)));
}

ActionAssembler& ActionAssembler::gotoFrame(int frame)
{
    QByteArray p;
    putU16(p, std::uint16_t(frame));
    return action(0x81, p);
}

ActionAssembler& ActionAssembler::gotoLabel(const QString& label)
{
    return action(0x8C, string(label));
}

ActionAssembler& ActionAssembler::gotoFrame2(bool play, std::optional<std::uint16_t> sceneBias)
{
    QByteArray p;
    p.append(char((play ? 1 : 0) | (sceneBias ? 2 : 0)));
    if (sceneBias)
        putU16(p, *sceneBias);
    return action(0x9F, p);
}

ActionAssembler& ActionAssembler::setTarget(const QString& target)
{
    return action(0x8B, string(target));
}

ActionAssembler& ActionAssembler::getUrl(const QString& url, const QString& target)
{
    return action(0x83, string(url) + string(target));
}

ActionAssembler& ActionAssembler::getUrl2(std::uint8_t flags)
{
    return action(0x9A, QByteArray(1, char(flags)));
}

ActionAssembler& ActionAssembler::waitForFrame(int frame, std::uint8_t skip)
{
    QByteArray p;
    putU16(p, std::uint16_t(frame));
    p.append(char(skip));
    return action(0x8A, p);
}

ActionAssembler& ActionAssembler::waitForFrame2(std::uint8_t skip)
{
    return action(0x8D, QByteArray(1, char(skip)));
}

ActionAssembler& ActionAssembler::label(const QString& name)
{
    labels_[name] = int(code_.size());
    return *this;
}

ActionAssembler& ActionAssembler::jump(const QString& target)
{
    action(0x99, QByteArray(2, '\0'));
    fixups_.push_back({int(code_.size()) - 2, int(code_.size()), target});
    return *this;
}

ActionAssembler& ActionAssembler::ifTrue(const QString& target)
{
    action(0x9D, QByteArray(2, '\0'));
    fixups_.push_back({int(code_.size()) - 2, int(code_.size()), target});
    return *this;
}

ActionAssembler& ActionAssembler::jumpBy(std::int16_t offset)
{
    QByteArray p;
    putU16(p, std::uint16_t(offset));
    return action(0x99, p);
}

ActionAssembler& ActionAssembler::function(const QString& name, const QStringList& params,
                                           const ActionAssembler& body)
{
    const QByteArray code = body.body();
    QByteArray p = string(name);
    putU16(p, std::uint16_t(params.size()));
    for (const QString& param : params)
        p.append(string(param));
    putU16(p, std::uint16_t(code.size()));
    action(0x9B, p);
    code_.append(code);
    return *this;
}

ActionAssembler& ActionAssembler::function2(const QString& name, const std::vector<Param>& params,
                                            std::uint8_t registerCount, std::uint16_t flags,
                                            const ActionAssembler& body)
{
    const QByteArray code = body.body();
    QByteArray p = string(name);
    putU16(p, std::uint16_t(params.size()));
    p.append(char(registerCount));
    putU16(p, flags);
    for (const Param& param : params) {
        p.append(char(param.reg));
        p.append(string(param.name));
    }
    putU16(p, std::uint16_t(code.size()));
    action(0x8E, p);
    code_.append(code);
    return *this;
}

ActionAssembler& ActionAssembler::tryBlock(const ActionAssembler& tryBody, std::optional<Catch> catchClause,
                                           const ActionAssembler& catchBody,
                                           std::optional<ActionAssembler> finallyBody)
{
    const QByteArray t = tryBody.body();
    const QByteArray c = catchClause ? catchBody.body() : QByteArray();
    const QByteArray f = finallyBody ? finallyBody->body() : QByteArray();
    QByteArray p;
    std::uint8_t flags = 0;
    if (catchClause)
        flags |= 0x01;
    if (finallyBody)
        flags |= 0x02;
    if (catchClause && catchClause->reg)
        flags |= 0x04;
    p.append(char(flags));
    putU16(p, std::uint16_t(t.size()));
    putU16(p, std::uint16_t(c.size()));
    putU16(p, std::uint16_t(f.size()));
    if (catchClause && catchClause->reg)
        p.append(char(*catchClause->reg));
    else
        p.append(string(catchClause ? catchClause->variable : QString()));
    action(0x8F, p);
    code_.append(t);
    code_.append(c);
    code_.append(f);
    return *this;
}

ActionAssembler& ActionAssembler::with(const ActionAssembler& body)
{
    const QByteArray code = body.body();
    QByteArray p;
    putU16(p, std::uint16_t(code.size()));
    action(0x94, p);
    code_.append(code);
    return *this;
}

ActionAssembler& ActionAssembler::traceVariable(const QString& name)
{
    return push(name).op(op::GetVariable).op(op::Trace);
}

ActionAssembler& ActionAssembler::trace(const QString& text)
{
    return push(text).op(op::Trace);
}

QByteArray ActionAssembler::body() const
{
    QByteArray out = code_;
    for (const Fixup& f : fixups_) {
        auto it = labels_.find(f.label);
        if (it == labels_.end())
            throw std::invalid_argument("jump to a label that was never placed: " + f.label.toStdString());
        const int offset = it->second - f.after;
        out[f.at] = char(offset & 0xFF);
        out[f.at + 1] = char((offset >> 8) & 0xFF);
    }
    return out;
}

QByteArray ActionAssembler::bytes() const
{
    return body() + QByteArray(1, '\0');
}

} // namespace qev::swf::writer
