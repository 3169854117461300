#pragma once

#include <QString>

#include <optional>

namespace qev {

// The existence test both programs use before opening a playlist or movie:
// the path must name a regular file (a directory does not count). When the
// exact name is missing, a file in the same folder whose name differs only in
// letter case counts (discs mounted without Rock Ridge show lower-case names).
// Returns the path of the file actually found.
std::optional<QString> findRegularFile(const QString& path);

} // namespace qev
