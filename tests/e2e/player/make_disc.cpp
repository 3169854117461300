// Writes a small disc folder's content for the player's end-to-end test:
// two movies made with our SWF writer and the playlist that lists them.
//   player_e2e_make_disc FOLDER
#include "qev/CodePage.h"
#include "qev/Playlist.h"
#include "qev/swf/Writer.h"

#include <QDir>
#include <QFile>


#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

using namespace qev::swf::writer;

// A square that crosses a coloured stage, one step per frame.
QByteArray movingSquare(std::uint32_t background, std::uint32_t square)
{
    MovieBuilder movie(320, 240, 24);
    movie.setBackgroundColor(rgb(background));
    const auto id = movie.defineShape(ShapeBuilder().fill(solid(rgb(square))).rect(0, 0, 60, 60));
    movie.place(id, 1, translatePx(20, 90));
    movie.showFrame();
    for (int frame = 1; frame < 24; ++frame) {
        movie.move(1, translatePx(20 + frame * 10, 90));
        movie.showFrame();
    }
    return movie.finish(qev::swf::Compression::Zlib);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: player_e2e_make_disc FOLDER\n");
        return 2;
    }
    try {
        const QDir disc(QString::fromLocal8Bit(argv[1]));
        writeFile(disc.filePath(QStringLiteral("first.swf")), movingSquare(0x203080, 0xE04020));
        writeFile(disc.filePath(QStringLiteral("second.swf")), movingSquare(0x206020, 0xF0E040));
        qev::writePlaylistFile(disc.filePath(QStringLiteral("PlayList.qev")),
                               {{QStringLiteral("First movie"), QStringLiteral("first.swf")},
                                {QStringLiteral("Second movie"), QStringLiteral("second.swf")}},
                               qev::CodePage::fromEnvironment());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "player_e2e_make_disc: %s\n", e.what());
        return 1;
    }
    return 0;
}
