// Containers and headers: the same movie written uncompressed, with zlib and
// with LZMA reads back identically.

#include "reader_test_support.h"
#include "qev/FileError.h"

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

using namespace qev::swf;
using namespace qev::swf::writer;
using qev::swf::testsupport::readOk;

namespace {

QByteArray sampleMovie(Compression compression)
{
    MovieBuilder m(550, 400, 24.5, 8);
    m.setBackgroundColor(rgb(0x336699));
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(0xFF0000))).rect(0, 0, 100, 50));
    m.place(id, 1, translatePx(10, 20));
    m.showFrame();
    m.label(QStringLiteral("second"));
    m.move(1, translatePx(30, 40));
    m.showFrame();
    m.remove(1);
    m.showFrame();
    return m.finish(compression);
}

class ContainerTest : public ::testing::TestWithParam<Compression> {};

TEST_P(ContainerTest, HeaderTimelineAndDictionaryReadBack)
{
    const QByteArray bytes = sampleMovie(GetParam());
    const char* signatures[] = {"FWS", "CWS", "ZWS"};
    EXPECT_TRUE(bytes.startsWith(signatures[int(GetParam())]));

    const Movie movie = readOk(bytes);
    EXPECT_TRUE(movie.warnings.empty()) << movie.warnings.front().message.toStdString();
    EXPECT_EQ(movie.header.version, 8);
    EXPECT_EQ(movie.header.compression, GetParam());
    EXPECT_EQ(movie.header.stage, (Rect{0, 11000, 0, 8000}));
    EXPECT_EQ(movie.header.frameRate88, 24 * 256 + 128);
    EXPECT_DOUBLE_EQ(movie.header.frameRate(), 24.5);
    EXPECT_EQ(movie.header.frameCount, 3);
    EXPECT_EQ(movie.header.fileLength, std::uint32_t(sampleMovie(Compression::None).size()));
    EXPECT_TRUE(movie.hasBackgroundColor);
    EXPECT_EQ(movie.backgroundColor, rgb(0x336699));

    ASSERT_EQ(movie.timeline.frames.size(), 3u);
    const Frame& f0 = movie.timeline.frames[0];
    ASSERT_EQ(f0.tags.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<SetBackgroundColor>(f0.tags[0]));
    const auto& place = std::get<PlaceObject>(f0.tags[1]);
    EXPECT_EQ(place.characterId, std::optional<std::uint16_t>(1));
    EXPECT_EQ(place.depth, 1);
    EXPECT_EQ(place.matrix, translatePx(10, 20));
    EXPECT_FALSE(place.move);

    const Frame& f1 = movie.timeline.frames[1];
    EXPECT_EQ(f1.labels, std::vector<QString>{QStringLiteral("second")});
    const auto& move = std::get<PlaceObject>(f1.tags.at(0));
    EXPECT_TRUE(move.move);
    EXPECT_FALSE(move.characterId);
    EXPECT_EQ(move.matrix, translatePx(30, 40));

    const auto& remove = std::get<RemoveObject>(movie.timeline.frames[2].tags.at(0));
    EXPECT_EQ(remove.depth, 1);
    EXPECT_FALSE(remove.characterId);

    const Shape* shape = movie.find<Shape>(1);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->layers.at(0).edges.size(), 4u);
    EXPECT_EQ(movie.find<Bitmap>(1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllCompressions, ContainerTest,
                         ::testing::Values(Compression::None, Compression::Zlib, Compression::Lzma));

TEST(ContainerTest, KnownHeaderBytesOfAnEmptyMovie)
{
    // 550 x 400 pixels, 12 fps, no frames, only the End tag.
    const QByteArray bytes = MovieBuilder(550, 400, 12, 6).finish();
    EXPECT_EQ(bytes.toHex(), QByteArray("4657530617000000" // signature, version 6, 23 bytes
                                        "7800055f00000fa000" // stage rectangle, 15-bit fields
                                        "000c"               // 12.0 frames per second
                                        "0000"               // no frames
                                        "0000"));            // End
    const Movie movie = readOk(bytes);
    EXPECT_EQ(movie.header.stage.width(), 11000);
    EXPECT_EQ(movie.header.stage.height(), 8000);
    EXPECT_TRUE(movie.timeline.frames.empty());
    EXPECT_FALSE(movie.hasBackgroundColor);
    EXPECT_EQ(movie.backgroundColor, rgb(0xFFFFFF));
}

TEST(ContainerTest, TagsAfterTheLastShowFrameFormOneMoreFrame)
{
    MovieBuilder m(100, 100, 10);
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(0x00FF00))).rect(0, 0, 10, 10));
    m.showFrame();
    m.place(id, 1);
    const Movie movie = readOk(m.finish());
    ASSERT_EQ(movie.timeline.frames.size(), 2u);
    EXPECT_TRUE(movie.timeline.frames[0].tags.empty());
    EXPECT_EQ(movie.timeline.frames[1].tags.size(), 1u);
}

TEST(ContainerTest, UnknownTagsAreSkippedAndTheRestStillReads)
{
    MovieBuilder m(100, 100, 10);
    m.rawTag(200, QByteArray("whatever", 8));
    m.rawTag(200, QByteArray("again", 5));
    m.rawTag(69, QByteArray(4, '\0')); // file attributes: nothing to play, no warning
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(0x00FF00))).rect(0, 0, 10, 10));
    m.place(id, 3);
    m.showFrame();
    const Movie movie = readOk(m.finish(Compression::Zlib));
    // Each code left out is named once.
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_TRUE(movie.warnings[0].message.contains(QStringLiteral("tag 200")));
    EXPECT_EQ(movie.warnings[0].tagCode, 200);
    ASSERT_EQ(movie.timeline.frames.size(), 1u);
    EXPECT_EQ(std::get<PlaceObject>(movie.timeline.frames[0].tags.at(0)).depth, 3);
    EXPECT_NE(movie.find<Shape>(id), nullptr);
}

TEST(ContainerTest, ReadMovieFileReportsAMissingFileAsEveryFileErrorIs)
{
    const QString path = QStringLiteral("/nonexistent/folder/movie.swf");
    try {
        readMovieFile(path);
        FAIL() << "no error";
    } catch (const qev::FileError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.message(), qev::FileError::errnoText(ENOENT) + QStringLiteral(": ") + path);
    }
}

TEST(ContainerTest, AFileThatIsNotAMovieNamesItsPathAfterTheReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("notes.swf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("plain text, not a movie");
    file.close();
    QString reason;
    try {
        readMovie(QByteArrayView("plain text, not a movie"));
        FAIL() << "no error from the bytes";
    } catch (const ReadError& e) {
        reason = e.message();
    }
    try {
        readMovieFile(path);
        FAIL() << "no error from the file";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.message(), reason + QStringLiteral(": ") + path);
    }
}

} // namespace
