#pragma once

#include <QString>

namespace qev {

// The part of path after its last separator; both "/" and "\" separate.
// The whole text when there is none, "" when path ends with a separator.
QString fileNameOf(QStringView path);

// folder + "/" + name, joined unchanged (no separator trimmed or added).
QString joinPath(QStringView folder, QStringView name);

} // namespace qev
