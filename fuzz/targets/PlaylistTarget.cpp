#include "FuzzTargets.h"

#include "qev/CodePage.h"
#include "qev/Playlist.h"

#include <cstdlib>
#include <vector>

namespace qev::fuzz {

int playlistTarget(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const std::vector<int> numbers = CodePage::supportedNumbers();
    const CodePage codePage = CodePage::fromNumber(numbers[data[0] % numbers.size()]);
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    std::vector<PlaylistItem> items;
    try {
        decodePlaylist(bytes, codePage, [&](PlaylistItem&& item) { items.push_back(std::move(item)); });
    } catch (const PlaylistFormatError&) {
        // A name line without its reference: the pairs before it stand.
    }

    // What the file can hold must survive a write and a read unchanged.
    std::vector<PlaylistItem> kept;
    for (const PlaylistItem& item : items)
        if (nameSurvivesFile(item.name, codePage) && referenceSurvivesFile(item.reference, codePage))
            kept.push_back(item);
    std::vector<PlaylistItem> again;
    decodePlaylist(encodePlaylist(kept, codePage), codePage,
                   [&](PlaylistItem&& item) { again.push_back(std::move(item)); });
    if (again != kept)
        std::abort();
    return 0;
}

} // namespace qev::fuzz
