#pragma once

// What a text field on the stage holds beyond its DefineEditText: the text
// scripts gave it and the settings they changed. An instance shares its
// state until something changes it (copy on write), so seek snapshots stay
// cheap and keep the text each frame had.

#include <qev/swf/model/Text.h>

#include <QString>

#include <cstdint>
#include <memory>

namespace qev::swf::engine {

struct TextFieldState {
    // The field's settings as drawn. edit.initialText holds what the field
    // shows now: HTML when edit.html, plain text (paragraphs ending at CR)
    // otherwise.
    EditText edit;
    bool background = false;
    Rgba backgroundColor{255, 255, 255, 255};
    Rgba borderColor{0, 0, 0, 255};
    bool selectable = true;
    bool condenseWhite = false;
    bool mouseWheelEnabled = true;
    std::optional<QString> restrict; // characters typing may enter; none: all
    QString autoSize = QStringLiteral("none");
    int scroll = 1;  // first line shown, from 1
    int hscroll = 0; // pixels scrolled to the left
    std::optional<double> tabIndex;
    QString variable; // a variable of the field's timeline the field shows
    // Changes with every edit; the renderer relays the field out when it
    // sees a new one.
    std::uint64_t revision = 0;
};

// The text a field shows, without HTML (paragraphs end at CR).
QString fieldPlainText(const TextFieldState& field);

// Makes the state of inst writable (its own copy), with a new revision.
TextFieldState& editableTextField(std::shared_ptr<const TextFieldState>& state);

} // namespace qev::swf::engine
