#pragma once

#include <QString>

#include <cstdint>

namespace qev {
class CodePage;
}

// The cipher that hides movie references in playlist files: every character's
// code in the ANSI code page is XOR-ed with NameKey. It is its own inverse on
// a single-byte code page; on a double-byte code page only the trail byte of a
// double-byte character changes.
namespace CryptoModule {

inline constexpr std::uint8_t NameKey = 0x5A;

QString Crypt(QStringView text, const qev::CodePage& codePage);

} // namespace CryptoModule
