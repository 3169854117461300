#include "qev/CryptoModule.h"

#include "qev/CodePage.h"

namespace CryptoModule {

QString Crypt(QStringView text, const qev::CodePage& codePage)
{
    // Each character on its own: its code (sign-extended, as the platform
    // hands it out) XOR NameKey, turned back into a character of the same
    // code page. Only the low byte changes, so a double-byte character keeps
    // its lead byte. A character without a code has already become '?' in
    // codeOf(); a code without a character comes back as '?' from charOf().
    // Lengths are native: texts of any length are ciphered.
    QString result(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    const char16_t* in = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const std::int32_t code = codePage.codeOf(in[i]);
        out[i] = codePage.charOf(static_cast<std::int16_t>(code ^ NameKey));
    }
    return result;
}

} // namespace CryptoModule
