// Writes a disc folder whose one movie plays an FLV file beside it, for the
// player's end-to-end test of video played by script:
//   player_e2e_make_flv_disc FOLDER
// The movie (320 x 240, dark grey, 25 frames a second) has a 160 x 120
// video named "screen" at (80, 60); its first frame plays "intro.flv"
// through a NetStream attached to the video and stops. The FLV holds 4
// seconds of Screen Video at 25 pictures a second: red for the first 3.2
// seconds, then blue. Screen Video is lossless, so the player must show
// exactly those colours.
#include "qev/CodePage.h"
#include "qev/Playlist.h"
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/Writer.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

using namespace qev::swf;
using namespace qev::swf::writer;

constexpr int kWidth = 160, kHeight = 120, kBlock = 32;
constexpr int kPictures = 100, kFirstColourPictures = 80;

QByteArray bigEndian(std::uint32_t v, int bytes)
{
    QByteArray b;
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

// One Screen Video key picture of a single colour: the size fields, then
// each block's pixels (blue, green, red) compressed with zlib.
QByteArray screenVideoPicture(std::uint32_t rgb)
{
    QByteArray out = bigEndian(std::uint32_t(((kBlock / 16 - 1) << 12) | kWidth), 2)
        + bigEndian(std::uint32_t(((kBlock / 16 - 1) << 12) | kHeight), 2);
    for (int y = 0; y < kHeight; y += kBlock) {
        for (int x = 0; x < kWidth; x += kBlock) {
            const int w = std::min(kBlock, kWidth - x), h = std::min(kBlock, kHeight - y);
            QByteArray pixels;
            for (int i = 0; i < w * h; ++i)
                pixels += QByteArray(1, char(rgb & 0xFF)) + char((rgb >> 8) & 0xFF) + char((rgb >> 16) & 0xFF);
            const QByteArray packed = qCompress(pixels).mid(4); // without Qt's length prefix
            out += bigEndian(std::uint32_t(packed.size()), 2) + packed;
        }
    }
    return out;
}

QByteArray flvTag(int type, std::uint32_t timeMs, const QByteArray& body)
{
    const QByteArray tag = bigEndian(std::uint32_t(type), 1) + bigEndian(std::uint32_t(body.size()), 3)
        + bigEndian(timeMs & 0xFFFFFF, 3) + bigEndian(timeMs >> 24, 1) + bigEndian(0, 3) + body;
    return tag + bigEndian(std::uint32_t(tag.size()), 4);
}

QByteArray introFlv()
{
    QByteArray flv = QByteArray("FLV") + bigEndian(1, 1) + bigEndian(0x01, 1) + bigEndian(9, 4) + bigEndian(0, 4);
    const QByteArray red = screenVideoPicture(0xD02020), blue = screenVideoPicture(0x2040D0);
    for (int i = 0; i < kPictures; ++i) {
        const QByteArray& picture = i < kFirstColourPictures ? red : blue;
        flv += flvTag(9, std::uint32_t(i * 40), QByteArray(1, char((1 << 4) | 3)) + picture); // key frame, Screen Video
    }
    return flv;
}

QByteArray videoMovie()
{
    MovieBuilder movie(320, 240, 25, 6);
    movie.setBackgroundColor(rgb(0x404040));
    // DefineVideoStream: no embedded frames, 160 x 120, Screen Video.
    const auto videoId = movie.defineRaw(60, bigEndian(0, 2) + QByteArray::fromHex("a000") + QByteArray::fromHex("7800")
                                                 + QByteArray(1, '\0') + QByteArray(1, '\x03'));
    PlaceObject place;
    place.characterId = videoId;
    place.depth = 1;
    place.matrix = translatePx(80, 60);
    place.name = QStringLiteral("screen");
    movie.place(place);

    // nc = new NetConnection(); nc.connect(null); ns = new NetStream(nc);
    // screen.attachVideo(ns); ns.play("intro.flv"); stop();
    ActionAssembler first;
    first.push("nc").push(0).push("NetConnection").op(op::NewObject).op(op::SetVariable);
    first.pushNull().push(1).push("nc").op(op::GetVariable).push("connect").op(op::CallMethod).op(op::Pop);
    first.push("ns").push("nc").op(op::GetVariable).push(1).push("NetStream").op(op::NewObject).op(op::SetVariable);
    first.push("ns").op(op::GetVariable).push(1).push("screen").op(op::GetVariable).push("attachVideo");
    first.op(op::CallMethod).op(op::Pop);
    first.push("intro.flv").push(1).push("ns").op(op::GetVariable).push("play").op(op::CallMethod).op(op::Pop);
    first.op(op::Stop);
    movie.script(first.bytes());
    movie.showFrame();
    return movie.finish(Compression::Zlib);
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
        std::fprintf(stderr, "usage: player_e2e_make_flv_disc FOLDER\n");
        return 2;
    }
    try {
        const QDir disc(QString::fromLocal8Bit(argv[1]));
        writeFile(disc.filePath(QStringLiteral("intro.flv")), introFlv());
        writeFile(disc.filePath(QStringLiteral("video.swf")), videoMovie());
        qev::writePlaylistFile(disc.filePath(QStringLiteral("PlayList.qev")),
                               {{QStringLiteral("Intro"), QStringLiteral("video.swf")}},
                               qev::CodePage::fromEnvironment());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "player_e2e_make_flv_disc: %s\n", e.what());
        return 1;
    }
    return 0;
}
