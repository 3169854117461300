#pragma once

// Writes action bytecode by hand, for tests and sample movies: pushes,
// operators, jumps to named labels, functions, try and with blocks. The
// result is the bytes of a DoAction tag (or a function body).
//
//   ActionAssembler a;
//   a.push("x").push(1).op(op::SetVariable);
//   a.label("loop").push("x").op(op::GetVariable).op(op::Trace);
//   QByteArray bytes = a.bytes();

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace qev::swf::writer {

// Action codes by name.
namespace op {
inline constexpr std::uint8_t NextFrame = 0x04, PreviousFrame = 0x05, Play = 0x06, Stop = 0x07,
                              ToggleQuality = 0x08, StopSounds = 0x09, Add = 0x0A, Subtract = 0x0B,
                              Multiply = 0x0C, Divide = 0x0D, Equals = 0x0E, Less = 0x0F, And = 0x10, Or = 0x11,
                              Not = 0x12, StringEquals = 0x13, StringLength = 0x14, StringExtract = 0x15,
                              Pop = 0x17, ToInteger = 0x18, GetVariable = 0x1C, SetVariable = 0x1D,
                              SetTarget2 = 0x20, StringAdd = 0x21, GetProperty = 0x22, SetProperty = 0x23,
                              CloneSprite = 0x24, RemoveSprite = 0x25, Trace = 0x26, StartDrag = 0x27,
                              EndDrag = 0x28, StringLess = 0x29, Throw = 0x2A, CastOp = 0x2B, ImplementsOp = 0x2C,
                              RandomNumber = 0x30, MBStringLength = 0x31, CharToAscii = 0x32, AsciiToChar = 0x33,
                              GetTime = 0x34, MBStringExtract = 0x35, MBCharToAscii = 0x36, MBAsciiToChar = 0x37,
                              Delete = 0x3A, Delete2 = 0x3B, DefineLocal = 0x3C, CallFunction = 0x3D,
                              Return = 0x3E, Modulo = 0x3F, NewObject = 0x40, DefineLocal2 = 0x41,
                              InitArray = 0x42, InitObject = 0x43, TypeOf = 0x44, TargetPath = 0x45,
                              Enumerate = 0x46, Add2 = 0x47, Less2 = 0x48, Equals2 = 0x49, ToNumber = 0x4A,
                              ToString = 0x4B, PushDuplicate = 0x4C, StackSwap = 0x4D, GetMember = 0x4E,
                              SetMember = 0x4F, Increment = 0x50, Decrement = 0x51, CallMethod = 0x52,
                              NewMethod = 0x53, InstanceOf = 0x54, Enumerate2 = 0x55, BitAnd = 0x60, BitOr = 0x61,
                              BitXor = 0x62, BitLShift = 0x63, BitRShift = 0x64, BitURShift = 0x65,
                              StrictEquals = 0x66, Greater = 0x67, StringGreater = 0x68, Extends = 0x69;
} // namespace op

class ActionAssembler {
public:
    // Strings are written as UTF-8 from SWF 6, as Latin-1 before.
    explicit ActionAssembler(int version = 8) : version_(version) {}

    // ---- pushes (one value per Push action) ----
    ActionAssembler& push(double number);
    ActionAssembler& push(int number) { return push(double(number)); }
    ActionAssembler& push(const QString& string);
    ActionAssembler& push(const char* string) { return push(QString::fromUtf8(string)); }
    ActionAssembler& pushBool(bool value);
    ActionAssembler& pushNull();
    ActionAssembler& pushUndefined();
    ActionAssembler& pushRegister(std::uint8_t reg);
    ActionAssembler& pushConstant(std::uint16_t index);
    ActionAssembler& pushFloat(float value); // the 32-bit float form

    // ---- plain actions ----
    ActionAssembler& op(std::uint8_t code);
    // Any action with a payload, written as given.
    ActionAssembler& action(std::uint8_t code, const QByteArray& payload);

    ActionAssembler& constantPool(const QStringList& strings);
    ActionAssembler& storeRegister(std::uint8_t reg);
    ActionAssembler& gotoFrame(int frame); // 0-based
    ActionAssembler& gotoLabel(const QString& label);
    ActionAssembler& gotoFrame2(bool play, std::optional<std::uint16_t> sceneBias = std::nullopt);
    ActionAssembler& setTarget(const QString& target);
    ActionAssembler& getUrl(const QString& url, const QString& target);
    ActionAssembler& getUrl2(std::uint8_t flags);
    ActionAssembler& waitForFrame(int frame, std::uint8_t skip);
    ActionAssembler& waitForFrame2(std::uint8_t skip);

    // ---- control flow: labels may be used before they are placed ----
    ActionAssembler& label(const QString& name);
    ActionAssembler& jump(const QString& label);
    ActionAssembler& ifTrue(const QString& label);
    // A raw branch offset, for hostile cases.
    ActionAssembler& jumpBy(std::int16_t offset);

    // ---- functions and blocks (bodies are assembled on their own) ----
    ActionAssembler& function(const QString& name, const QStringList& params, const ActionAssembler& body);
    struct Param {
        QString name;
        std::uint8_t reg = 0; // 0: a variable
    };
    ActionAssembler& function2(const QString& name, const std::vector<Param>& params, std::uint8_t registerCount,
                               std::uint16_t flags, const ActionAssembler& body);
    struct Catch {
        QString variable;                 // the caught value goes to this variable ...
        std::optional<std::uint8_t> reg;  // ... or to this register
    };
    ActionAssembler& tryBlock(const ActionAssembler& tryBody, std::optional<Catch> catchClause,
                              const ActionAssembler& catchBody, std::optional<ActionAssembler> finallyBody);
    ActionAssembler& with(const ActionAssembler& body);

    // ---- shortcuts for common statements ----
    // trace(value of variable name)
    ActionAssembler& traceVariable(const QString& name);
    // trace("text")
    ActionAssembler& trace(const QString& text);

    // The assembled actions without the closing End action (a body).
    QByteArray body() const;
    // The actions followed by End: a whole action block.
    QByteArray bytes() const;
    int version() const { return version_; }

private:
    QByteArray string(const QString& s) const;
    void pushValue(const QByteArray& typedValue);

    struct Fixup {
        int at;      // offset of the 16-bit branch field
        int after;   // offset of the next action (branches count from there)
        QString label;
    };
    int version_;
    QByteArray code_;
    std::map<QString, int> labels_;
    std::vector<Fixup> fixups_;
};

} // namespace qev::swf::writer
