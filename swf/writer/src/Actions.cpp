#include <qev/swf/Writer.h>

#include <cmath>

namespace qev::swf::writer::act {

namespace {

Action make(ActionCode code)
{
    Action a;
    a.code = std::uint8_t(code);
    return a;
}

} // namespace

Action stop() { return make(ActionCode::Stop); }
Action play() { return make(ActionCode::Play); }
Action nextFrame() { return make(ActionCode::NextFrame); }
Action previousFrame() { return make(ActionCode::PreviousFrame); }

Action gotoFrame(int frame)
{
    Action a = make(ActionCode::GotoFrame);
    a.frame = frame;
    return a;
}

Action gotoLabel(const QString& label)
{
    Action a = make(ActionCode::GotoLabel);
    a.label = label;
    return a;
}

Action pushNumber(double value)
{
    Action a = make(ActionCode::Push);
    const bool integral = value == std::trunc(value) && value >= -2147483648.0 && value <= 2147483647.0;
    a.pushed = {PushValue{integral ? PushValue::Type::Integer : PushValue::Type::Double, {}, value}};
    return a;
}

Action pushString(const QString& value)
{
    Action a = make(ActionCode::Push);
    a.pushed = {PushValue{PushValue::Type::String, value, 0}};
    return a;
}

Action gotoFrame2(bool play, std::uint16_t sceneBias)
{
    Action a = make(ActionCode::GotoFrame2);
    a.play = play;
    a.sceneBias = sceneBias;
    return a;
}

Action jump(std::int16_t byteOffset)
{
    Action a = make(ActionCode::Jump);
    a.branchOffset = byteOffset;
    return a;
}

Action ifTrue(std::int16_t byteOffset)
{
    Action a = make(ActionCode::If);
    a.branchOffset = byteOffset;
    return a;
}

Action raw(std::uint8_t code, const QByteArray& payload)
{
    Action a;
    a.code = code;
    a.payload = payload;
    return a;
}

} // namespace qev::swf::writer::act
