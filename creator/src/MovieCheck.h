#pragma once

#include <QString>

namespace qev {
class CodePage;
}

// Checks made before an item is added, so that nothing is stored that the
// playlist file cannot give back unchanged. Each returns "" when the text
// can be stored, otherwise a sentence saying why not.

// The movie's path: every character must exist in the code page, and the
// enciphered path must come back as the same path after a write and a read
// ("WP" enciphers to CR LF, which would end the line).
QString pathProblem(const QString& path, const qev::CodePage& codePage);

// The display name: every character must exist in the code page, and the
// name must not hold a line end.
QString nameProblem(const QString& name, const qev::CodePage& codePage);
