#pragma once

// A key of the keyboard as movies know it: the code Key.getCode() reports,
// the character Key.getAscii() reports, and the code of buttons' key-press
// conditions.

#include <QString>

namespace qev::swf::engine {

struct MovieKey {
    int code = 0;      // 0: a key movies do not know
    int ascii = 0;
    int buttonKey = 0; // 0: no key-press condition matches it
};

// qtKey is a Qt::Key value; text what the key typed (may be empty).
MovieKey movieKey(int qtKey, const QString& text);

} // namespace qev::swf::engine
