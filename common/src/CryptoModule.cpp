#include "qev/CryptoModule.h"

#include "qev/CodePage.h"

namespace CryptoModule {

QString Crypt(QStringView text, const qev::CodePage& codePage)
{
    // Each character on its own: its code XOR NameKey, turned back into a
    // character of the same code page. The platform widens the signed code
    // with its sign first; the key has no bits above the low byte, so only
    // the low byte changes either way, and a double-byte character keeps its
    // lead byte. A character without a code is taken as '?'; a code without
    // a character comes back as '?'. Lengths are native: texts of any length
    // are ciphered.
    return codePage.xorCodes(text, NameKey);
}

} // namespace CryptoModule
