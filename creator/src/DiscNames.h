#pragma once

#include <QString>

namespace creator {

// The longest name, in UCS-2 characters, that Joliet (the names other
// systems read on a disc) holds.
inline constexpr int MaxDiscNameLength = 64;

// Why a file or folder name would not survive being burned to a disc in the
// formats burners write (ISO 9660 with Joliet and Rock Ridge), as the end of
// a sentence ("it is longer than ..."); "" when it survives. Joliet holds
// names of up to 64 UCS-2 characters, without control characters and
// without * / : ; ? or \; Rock Ridge keeps letter case and permission bits,
// but a disc is only as good as its Joliet names.
QString discNameProblem(const QString& name);

} // namespace creator
