#pragma once

#include <qev/swf/model/Filters.h>
#include <qev/swf/model/Sound.h>

#include <array>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {

// One character shown by a button in the states its flags name, placed at
// its own depth within the button like a display list entry.
struct ButtonRecord {
    bool up = false;
    bool over = false;
    bool down = false;
    bool hitTest = false;
    std::uint16_t characterId = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform; // DefineButton2, or DefineButtonCxform for DefineButton
    std::vector<Filter> filters;
    BlendMode blendMode = BlendMode::Normal;
};

// Condition bits of DefineButton2's actions, as stored in the file's first
// two condition bytes (bit 15 = IdleToOverDown ... bit 8 = IdleToOverUp,
// bit 0 = OverDownToIdle); keyPress is the key code (0 = none).
struct ButtonCondAction {
    std::uint16_t conditions = 0;
    std::uint8_t keyPress = 0;
    QByteArray bytecode; // the block as stored, for the script machine

    static constexpr std::uint16_t IdleToOverDown = 0x8000;
    static constexpr std::uint16_t OutDownToIdle = 0x4000;
    static constexpr std::uint16_t OutDownToOverDown = 0x2000;
    static constexpr std::uint16_t OverDownToOutDown = 0x1000;
    static constexpr std::uint16_t OverDownToOverUp = 0x0800; // a click (release inside)
    static constexpr std::uint16_t OverUpToOverDown = 0x0400;
    static constexpr std::uint16_t OverUpToIdle = 0x0200;
    static constexpr std::uint16_t IdleToOverUp = 0x0100;
    static constexpr std::uint16_t OverDownToIdle = 0x0001;
};

// DefineButton (its one action list becomes a single entry with condition
// OverDownToOverUp) and DefineButton2.
struct Button {
    int version = 1;
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records; // in file order
    std::vector<ButtonCondAction> actions;
    // DefineButtonSound, by transition: pointer leaves (over to up), enters
    // (up to over), press (over to down), release inside (down to over).
    enum SoundSlot { LeaveSound = 0, EnterSound = 1, PressSound = 2, ReleaseSound = 3 };
    std::array<std::optional<ButtonSound>, 4> sounds;
};

} // namespace qev::swf
