#pragma once

// Actions as a movie's author lists them, for encodeActions to turn into a
// block's bytecode. The movie model keeps only the bytecode; meaning is the
// engine's.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

enum class ActionCode : std::uint8_t {
    End = 0x00,
    NextFrame = 0x04,
    PreviousFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    ToggleQuality = 0x08,
    StopSounds = 0x09,
    Pop = 0x17,
    GotoFrame = 0x81,
    GetUrl = 0x83,
    ConstantPool = 0x88,
    WaitForFrame = 0x8A,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    WaitForFrame2 = 0x8D,
    Push = 0x96,
    Jump = 0x99,
    GetUrl2 = 0x9A,
    If = 0x9D,
    GotoFrame2 = 0x9F,
};

// One value of a Push action.
struct PushValue {
    enum class Type : std::uint8_t { String, Float, Null, Undefined, Register, Boolean, Double, Integer, Constant };
    Type type = Type::Undefined;
    QString string;          // String
    double number = 0;       // Float, Double, Integer, Register (register number), Boolean (0/1), Constant (index)
    friend bool operator==(const PushValue&, const PushValue&) = default;
};

struct Action {
    std::uint8_t code = 0;      // an ActionCode value or any other code
    std::optional<std::int32_t> frame; // GotoFrame: 0-based frame; WaitForFrame: frame
    // GotoLabel's label, SetTarget's target, GetUrl's url.
    QString label;
    QString target;             // GetUrl's target window
    bool play = false;          // GotoFrame2: play after going
    std::uint16_t sceneBias = 0; // GotoFrame2
    std::uint8_t skipCount = 0; // WaitForFrame/2: actions to skip when the frame is not loaded
    std::int16_t branchOffset = 0; // Jump/If: byte offset from the end of this action
    std::vector<PushValue> pushed; // Push
    std::vector<QString> constants; // ConstantPool
    QByteArray payload;         // the payload of any other action of code >= 0x80
};

using ActionList = std::vector<Action>;

} // namespace qev::swf
