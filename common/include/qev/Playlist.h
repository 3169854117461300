#pragma once

#include "qev/CodePage.h"
#include "qev/FileError.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace qev {

// One playlist entry: the display name and the movie reference in clear text
// (a full path in a project file, a bare file name on a disc).
struct PlaylistItem {
    QString name;
    QString reference;
    friend bool operator==(const PlaylistItem&, const PlaylistItem&) = default;
};

// The file holds two lines per item: the name, then the reference passed
// through CryptoModule::Crypt. Every line is ANSI text followed by CR LF.
// There is no header, count or trailer; an empty list is a zero-byte file.
//
// Lines end only at CR LF: a lone CR or LF is part of the line (a ciphered
// "W" is a CR, a ciphered "P" an LF). A last line without CR LF runs to the
// end of the data.

// Raised when the data ends after the first line of a pair.
class PlaylistFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Appends text in the code page and CR LF.
void appendLine(QByteArray& out, QStringView text, const CodePage& codePage);

// The bytes of a whole playlist (references are ciphered here).
QByteArray encodePlaylist(const std::vector<PlaylistItem>& items, const CodePage& codePage);

// Reads pairs from data, deciphering each reference, and hands each complete
// pair to onItem in file order. The end of the data is tested only before the
// first line of a pair: data that ends after a name line throws
// PlaylistFormatError after every earlier pair was delivered.
void decodePlaylist(QByteArrayView data, const CodePage& codePage,
                    const std::function<void(PlaylistItem&&)>& onItem);

// Reads the file at path as decodePlaylist does. Throws FileError when the
// file cannot be read, PlaylistFormatError as above.
void readPlaylistFile(const QString& path, const CodePage& codePage,
                      const std::function<void(PlaylistItem&&)>& onItem);

// What reading a playlist file gave: every pair read before reading
// stopped, and the failure that stopped it, if any, as a FileError naming
// the file (an odd number of lines reads "Input past end of file: <path>").
struct PlaylistRead {
    std::vector<PlaylistItem> items;
    std::optional<FileError> failure;

    // Raises the failure, if there was one. A window shows the pairs read
    // first, so that they stay listed when the failure is reported.
    void throwFailure() const;
};

// Reads the file at path as readPlaylistFile does, keeping the pairs read
// before a failure. Raises nothing a file can cause.
PlaylistRead readPlaylistUpToFailure(const QString& path, const CodePage& codePage);

// Writes the file atomically: on failure the earlier file stays as it was.
// Throws FileError.
void writePlaylistFile(const QString& path, const std::vector<PlaylistItem>& items,
                       const CodePage& codePage);

// Whether a display name comes back from the file exactly as written: every
// character has a code and its bytes hold no CR LF.
bool nameSurvivesFile(QStringView name, const CodePage& codePage);

// Whether a reference comes back from the file exactly as written. False when
// a character has no code, when the ciphered line would hold CR LF (a "W"
// directly followed by a "P" ciphers to CR LF and would split the line), or,
// on a double-byte code page, when a ciphered character has no character of
// its own and the cipher cannot be undone. The creator refuses such items.
bool referenceSurvivesFile(QStringView reference, const CodePage& codePage);

} // namespace qev
