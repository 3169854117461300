#include "qev/Playlist.h"

#include "qev/CryptoModule.h"
#include "qev/FileError.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace qev {

namespace {

constexpr char kLineEnd[] = "\r\n";

// The next line of data from pos: everything up to the next CR LF (which is
// skipped), or up to the end when no CR LF follows. A lone CR or LF stays in
// the line.
QByteArrayView nextLine(QByteArrayView data, qsizetype& pos)
{
    const char* begin = data.data() + pos;
    const char* end = data.data() + data.size();
    const char* p = begin;
    while (p < end) {
        const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
        if (!cr)
            break;
        const char* at = static_cast<const char*>(cr);
        if (at + 1 < end && at[1] == '\n') {
            pos = (at + 2) - data.data();
            return QByteArrayView(begin, at - begin);
        }
        p = at + 1;
    }
    pos = data.size();
    return QByteArrayView(begin, end - begin);
}

} // namespace

void appendLine(QByteArray& out, QStringView text, const CodePage& codePage)
{
    codePage.encodeAppend(out, text);
    out.append(kLineEnd, 2);
}

QByteArray encodePlaylist(const std::vector<PlaylistItem>& items, const CodePage& codePage)
{
    QByteArray out;
    qsizetype estimate = 0;
    for (const PlaylistItem& item : items)
        estimate += item.name.size() + item.reference.size() + 4;
    out.reserve(codePage.isDoubleByte() ? 2 * estimate : estimate);
    for (const PlaylistItem& item : items) {
        appendLine(out, item.name, codePage);
        appendLine(out, CryptoModule::Crypt(item.reference, codePage), codePage);
    }
    return out;
}

void decodePlaylist(QByteArrayView data, const CodePage& codePage,
                    const std::function<void(PlaylistItem&&)>& onItem)
{
    qsizetype pos = 0;
    // The end of the data is tested only before the first line of a pair.
    while (pos < data.size()) {
        const QByteArrayView nameLine = nextLine(data, pos);
        // The name line took the rest of the data: the reference line that
        // should follow would be read past the end.
        if (pos >= data.size())
            throw PlaylistFormatError("Input past end of file");
        const QByteArrayView referenceLine = nextLine(data, pos);
        PlaylistItem item;
        item.name = codePage.decode(nameLine);
        // Crypt(decode(line)), without the intermediate text.
        item.reference = codePage.decodeXored(referenceLine, CryptoModule::NameKey);
        onItem(std::move(item));
    }
}

void readPlaylistFile(const QString& path, const CodePage& codePage,
                      const std::function<void(PlaylistItem&&)>& onItem)
{
    QByteArray data;
    {
        // The whole file is read and closed before any pair is handed on, so
        // the file is closed on every path, errors included.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw FileError(path, FileError::openErrorText(file, path));
        data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw FileError(path, file.errorString());
    }
    decodePlaylist(data, codePage, onItem);
}

void PlaylistRead::throwFailure() const
{
    if (failure)
        throw *failure;
}

PlaylistRead readPlaylistUpToFailure(const QString& path, const CodePage& codePage)
{
    PlaylistRead read;
    try {
        readPlaylistFile(path, codePage, [&](PlaylistItem&& item) { read.items.push_back(std::move(item)); });
    } catch (const FileError& e) {
        read.failure = e;
    } catch (const std::exception& e) {
        // Told like every other file failure: what went wrong, and the file.
        read.failure = FileError(path, errorText(e));
    }
    return read;
}

void writePlaylistFile(const QString& path, const std::vector<PlaylistItem>& items,
                       const CodePage& codePage)
{
    const QByteArray data = encodePlaylist(items, codePage);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, FileError::openErrorText(file, path));
    if (file.write(data) != data.size()) {
        const QString text = file.errorString();
        file.cancelWriting();
        throw FileError(path, text);
    }
    // A short write (disk full, file size limit) shows only in flush():
    // QSaveFile::commit() of Qt 6.4 ignores it and renames the truncated
    // file over the old one. The second flush retries the rest, so the
    // error text is the system's reason rather than "Unknown error".
    if (!file.flush() && !file.flush()) {
        const QString text = file.errorString();
        file.cancelWriting();
        throw FileError(path, text);
    }
    if (!file.commit())
        throw FileError(path, file.errorString());
}

bool nameSurvivesFile(QStringView name, const CodePage& codePage)
{
    if (!codePage.canEncode(name))
        return false;
    return !codePage.encode(name).contains(kLineEnd);
}

bool referenceSurvivesFile(QStringView reference, const CodePage& codePage)
{
    if (!codePage.canEncode(reference))
        return false;
    // What the writer stores and the reader gets back: the ciphered line must
    // hold no CR LF, and deciphering what is read must give the reference.
    const QString ciphered = CryptoModule::Crypt(reference, codePage);
    const QByteArray stored = codePage.encode(ciphered);
    if (stored.contains(kLineEnd))
        return false;
    return CryptoModule::Crypt(codePage.decode(stored), codePage) == reference;
}

} // namespace qev
