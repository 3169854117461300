#include "engine/KeyCodes.h"

#include <Qt>

namespace qev::swf::engine {

namespace {

struct Special {
    int qtKey;
    int code;
    int buttonKey; // the special codes of key-press conditions
};

// Keys without a character, and the ones whose character is not their code.
constexpr Special specials[] = {
    {Qt::Key_Left, 37, 1},     {Qt::Key_Right, 39, 2},    {Qt::Key_Home, 36, 3},    {Qt::Key_End, 35, 4},
    {Qt::Key_Insert, 45, 5},   {Qt::Key_Delete, 46, 6},   {Qt::Key_Backspace, 8, 8}, {Qt::Key_Return, 13, 13},
    {Qt::Key_Enter, 13, 13},   {Qt::Key_Up, 38, 14},      {Qt::Key_Down, 40, 15},   {Qt::Key_PageUp, 33, 16},
    {Qt::Key_PageDown, 34, 17}, {Qt::Key_Tab, 9, 18},     {Qt::Key_Escape, 27, 19}, {Qt::Key_Shift, 16, 0},
    {Qt::Key_Control, 17, 0},  {Qt::Key_Alt, 18, 0},      {Qt::Key_CapsLock, 20, 0}, {Qt::Key_Space, 32, 32},
    {Qt::Key_Semicolon, 186, 0}, {Qt::Key_Equal, 187, 0}, {Qt::Key_Comma, 188, 0},  {Qt::Key_Minus, 189, 0},
    {Qt::Key_Period, 190, 0},  {Qt::Key_Slash, 191, 0},   {Qt::Key_QuoteLeft, 192, 0}, {Qt::Key_BracketLeft, 219, 0},
    {Qt::Key_Backslash, 220, 0}, {Qt::Key_BracketRight, 221, 0}, {Qt::Key_Apostrophe, 222, 0},
};

} // namespace

MovieKey movieKey(int qtKey, const QString& text)
{
    MovieKey k;
    const QChar c = text.size() == 1 ? text.front() : QChar();
    if (!c.isNull() && c.unicode() >= 32 && c.unicode() != 127)
        k.ascii = c.unicode();
    for (const Special& s : specials)
        if (s.qtKey == qtKey) {
            k.code = s.code;
            k.buttonKey = s.buttonKey != 0 && s.buttonKey != 32 ? s.buttonKey : k.ascii;
            if (s.code == 13 || s.code == 8 || s.code == 9 || s.code == 27)
                k.ascii = s.code;
            return k;
        }
    // Letters and digits have their upper-case character as code.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        k.code = qtKey;
    else if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        k.code = 112 + (qtKey - Qt::Key_F1);
    k.buttonKey = k.ascii;
    return k;
}

} // namespace qev::swf::engine
