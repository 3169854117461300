// Truncated, corrupted and hostile files: the reader fails with ReadError
// or drops what is broken, never crashes, never reads past the data and
// keeps its memory within the limits.

#include <qev/swf/DecodeBitmap.h>
#include "reader/Inflate.h"
#include "reader_test_support.h"

#include <QLoggingCategory>

#include <random>

using namespace qev::swf;
using namespace qev::swf::writer;
using qev::swf::testsupport::readOk;

namespace {

// A movie with one of nearly every tag, to cut and corrupt.
QByteArray richMovie(Compression compression = Compression::None)
{
    MovieBuilder m(200, 150, 24, 10);
    m.setBackgroundColor(rgb(0x102030));
    const auto shape = m.defineShape(ShapeBuilder().fill(linearGradient({{0, rgb(0xFF0000)}, {255, rgb(0x0000FF)}}, 0, 0, 50, 50))
                                         .line(2, rgba(0, 0, 0, 128)).rect(0, 0, 50, 50).newLayer()
                                         .fill(solid(rgb(0x00FF00))).ellipse(20, 20, 10, 10));
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(qRgba(200, 100, 50, 180));
    const auto bitmap = m.defineBitsLossless(image);
    const auto jpeg = m.defineBitsJpeg3(image);
    m.defineBits(image);
    const auto bitmapShape = m.defineShape(ShapeBuilder().fill(bitmapFill(bitmap, 0, 0)).rect(0, 0, 8, 8));
    MorphShape morph;
    morph.fills = {MorphFillStyle{solid(rgb(1)), solid(rgb(2))}};
    Edge e;
    e.to = Point{100, 100};
    e.fill1 = 1;
    morph.startEdges = {e};
    morph.endEdges = {e};
    const auto morphId = m.defineMorphShape(morph);
    Font font;
    font.version = 3;
    font.name = QStringLiteral("F");
    Glyph g;
    g.outline = ShapeBuilder(1).fill(solid(rgb(0))).rect(0, -1000, 800, 1000).buildGlyph();
    g.code = 'x';
    g.advance = 900;
    g.bounds = Rect{};
    font.glyphs = {g};
    font.hasLayout = true;
    const auto fontId = m.defineFont(font);
    Text text;
    text.records = {TextRecord{fontId, rgb(0), 0, 100, 200, {{0, 100}}}};
    const auto textId = m.defineText(text);
    EditText edit;
    edit.fontId = fontId;
    edit.fontHeight = 200;
    edit.initialText = QStringLiteral("hi");
    const auto editId = m.defineEditText(edit);
    Button button;
    button.version = 2;
    ButtonRecord br;
    br.up = true;
    br.characterId = shape;
    br.depth = 1;
    button.records = {br};
    button.actions = {ButtonCondAction{ButtonCondAction::OverDownToOverUp, 0, encodeActions({act::play()})}};
    const auto buttonId = m.defineButton(button);
    SpriteBuilder sprite;
    sprite.place(shape, 1);
    sprite.showFrame();
    sprite.actions({act::stop()});
    sprite.showFrame();
    const auto spriteId = m.defineSprite(sprite);
    std::uint16_t depth = 1;
    for (auto id : {shape, bitmapShape, morphId, textId, editId, buttonId, spriteId, jpeg})
        m.place(id, depth++);
    PlaceObject p3;
    p3.version = 3;
    p3.depth = 1;
    p3.move = true;
    p3.filters = std::vector<Filter>{BlurFilter{4, 4, 1}, GlowFilter{}};
    p3.blendMode = BlendMode::Multiply;
    m.place(p3);
    m.label(QStringLiteral("start"));
    m.actions({act::pushNumber(2), act::gotoFrame2(true), act::stop()});
    m.showFrame();
    m.remove(2);
    m.showFrame();
    return m.finish(compression);
}

TEST(ReaderHostile, EveryTruncationFailsCleanlyOrReadsAPrefix)
{
    for (Compression c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        const QByteArray full = richMovie(c);
        SCOPED_TRACE(full.left(3).toStdString());
        ASSERT_TRUE(readOk(full).warnings.empty());
        for (qsizetype n = 0; n < full.size(); n += (n < 64 ? 1 : 7)) {
            const QByteArray cut = full.left(n); // a separate buffer, so reading past it is caught by ASan
            try {
                const Movie movie = readMovie(cut);
                EXPECT_GE(n, 8);
                EXPECT_LE(movie.timeline.frames.size(), 2u);
            } catch (const ReadError&) {
                // fine: nothing usable
            }
        }
    }
}

TEST(ReaderHostile, HeaderProblemsAreFatalErrorsWithContext)
{
    EXPECT_THROW(readMovie(QByteArray()), ReadError);
    EXPECT_THROW(readMovie(QByteArray("FWS")), ReadError);
    EXPECT_THROW(readMovie(QByteArray("GIF89a......")), ReadError);
    QByteArray tiny = MovieBuilder(10, 10, 1).finish();
    tiny[4] = 9; // declared length shorter than any header
    tiny[5] = tiny[6] = tiny[7] = 0;
    try {
        readMovie(tiny);
        FAIL() << "no error";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.offset(), 4u);
        EXPECT_TRUE(QString::fromStdString(e.what()).contains(QStringLiteral("length")));
    }
    // Compressed data that yields nothing.
    QByteArray broken = MovieBuilder(10, 10, 1).finish(Compression::Zlib);
    broken.replace(8, broken.size() - 8, QByteArray(20, '\x55'));
    EXPECT_THROW(readMovie(broken), ReadError);
    QByteArray lzma = MovieBuilder(10, 10, 1).finish(Compression::Lzma);
    EXPECT_THROW(readMovie(lzma.left(15)), ReadError);
}

TEST(ReaderHostile, TagLengthPastTheEndKeepsWhatCameBefore)
{
    MovieBuilder m(100, 100, 12);
    const auto id = m.defineShape(ShapeBuilder().fill(solid(rgb(1))).rect(0, 0, 5, 5));
    m.place(id, 1);
    m.showFrame();
    BitWriter w;
    w.u16((2 << 6) | 0x3F);
    w.u32(0xFFFFFFF0u); // a huge declared length
    w.bytes(QByteArray(10, '\0'));
    const QByteArray tail = w.data();
    QByteArray bytes = m.finish();
    bytes.chop(2); // the End tag
    bytes.append(tail);
    const Movie movie = readOk(bytes);
    EXPECT_EQ(movie.timeline.frames.size(), 1u);
    EXPECT_NE(movie.find<Shape>(id), nullptr);
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_EQ(movie.warnings[0].tagCode, 2);
}

TEST(ReaderHostile, DecompressionIsCappedByTheLimitAndTheDeclaredLength)
{
    // 64 MiB of ShowFrame tags compress to a few hundred KiB.
    QByteArray frames;
    frames.reserve(64 << 20);
    const QByteArray showFrame = tag(1, {});
    while (frames.size() < (64 << 20))
        frames.append(showFrame);
    const QByteArray bomb = movieFile(10, Rect{0, 200, 0, 200}, 12, 0, frames, Compression::Zlib, 0xFFFFFFFFu);
    EXPECT_LT(bomb.size(), 1 << 20);
    ReadLimits limits;
    limits.maxDecompressedBytes = 1 << 20;
    const Movie movie = readOk(bomb, limits);
    EXPECT_LE(movie.timeline.frames.size(), std::size_t(1 << 19));
    EXPECT_GT(movie.timeline.frames.size(), 100000u);
    EXPECT_FALSE(movie.warnings.empty());

    // The declared length caps too: a stream longer than declared stops there.
    const QByteArray honest = movieFile(10, Rect{0, 200, 0, 200}, 12, 0, frames.left(2000), Compression::Lzma, 8 + 6 + 4 + 200);
    const Movie short_ = readOk(honest);
    EXPECT_EQ(short_.timeline.frames.size(), 100u);
}

TEST(ReaderHostile, HostileLzmaDictionarySizeCostsNoMemory)
{
    QByteArray bytes = richMovie(Compression::Lzma);
    // Properties follow the compressed length: byte 12 is lc/lp/pb, 13..16 the dictionary size.
    bytes[13] = bytes[14] = bytes[15] = bytes[16] = char(0xFF);
    const Movie movie = readOk(bytes);
    EXPECT_EQ(movie.timeline.frames.size(), 2u);

    // The decoder's memory follows the body's declared size (bytes 4..7,
    // less the 8 header bytes), not the 4 GiB the properties ask for.
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::uint32_t declared = (data[4] | data[5] << 8 | data[6] << 16 | std::uint32_t(data[7]) << 24) - 8;
    const detail::Inflated body =
        detail::unlzmaCapped(data + 12, data + 17, std::size_t(bytes.size() - 17), declared, 256u << 20);
    EXPECT_FALSE(body.failed);
    EXPECT_EQ(std::uint64_t(body.data.size()), declared);
    // The dictionary plus the decoder's tables (a few tens of KiB for the
    // usual literal context bits).
    EXPECT_GT(body.decoderMemory, 0u);
    EXPECT_LE(body.decoderMemory, std::max<std::uint64_t>(declared, 4096) + (256u << 10));
}

QByteArray nestedSprites(int levels)
{
    QByteArray inner = tag(1, {}) + tag(0, {});
    for (int i = levels; i >= 1; --i) {
        BitWriter w;
        w.u16(std::uint32_t(i));
        w.u16(1);
        w.bytes(inner);
        inner = tag(39, w.data()) + tag(0, {});
    }
    return movieFile(10, Rect{0, 200, 0, 200}, 12, 1, inner + tag(1, {}));
}

TEST(ReaderHostile, DeepSpriteNestingIsCutAtTheLimit)
{
    ReadLimits limits;
    limits.maxSpriteDepth = 8;
    const Movie movie = readOk(nestedSprites(5000), limits);
    EXPECT_FALSE(movie.warnings.empty());
    EXPECT_NE(movie.find<Sprite>(1), nullptr);
    EXPECT_NE(movie.find<Sprite>(8), nullptr);
    EXPECT_EQ(movie.find<Sprite>(9), nullptr); // the ninth level and all inside it are dropped
    EXPECT_EQ(movie.dictionary.size(), 8u);
    const Movie shallow = readOk(nestedSprites(8), limits);
    EXPECT_TRUE(shallow.warnings.empty());
    EXPECT_NE(shallow.find<Sprite>(8), nullptr);
    EXPECT_NE(shallow.find<Sprite>(1), nullptr);
}

TEST(ReaderHostile, BitmapSizesAreCheckedBeforeAnyPixelIsAllocated)
{
    MovieBuilder m(100, 100, 12);
    const QByteArray pixels = QByteArray::fromHex("789c63000000010001");
    std::vector<std::uint16_t> ids;
    for (auto [w, h] : {std::pair{65535, 65535}, std::pair{16385, 1}, std::pair{0, 10}, std::pair{9000, 9000}}) {
        BitWriter b;
        b.u8(5), b.u16(std::uint32_t(w)), b.u16(std::uint32_t(h));
        b.bytes(pixels);
        ids.push_back(m.defineRaw(36, b.data()));
    }
    const Movie movie = readOk(m.finish());
    for (auto id : ids)
        EXPECT_EQ(movie.find<Bitmap>(id), nullptr);
    EXPECT_EQ(movie.warnings.size(), ids.size());

    // A JPEG whose header declares a huge image.
    QImage big(4000, 3000, QImage::Format_RGB32);
    big.fill(Qt::gray);
    MovieBuilder j(100, 100, 12);
    const auto jid = j.defineBitsJpeg2(big, 10);
    ReadLimits limits;
    limits.maxBitmapPixels = 1000000;
    const Movie jm = readOk(j.finish(), limits);
    EXPECT_EQ(jm.find<Bitmap>(jid), nullptr);
    ASSERT_EQ(jm.warnings.size(), 1u);
    EXPECT_TRUE(jm.warnings[0].message.contains(QStringLiteral("limit")));

    // Many bitmaps together stop at the movie-wide cap.
    MovieBuilder many(100, 100, 12);
    QImage tile(100, 100, QImage::Format_RGB32);
    tile.fill(Qt::red);
    for (int i = 0; i < 5; ++i)
        many.defineBitsLossless(tile);
    limits = ReadLimits{};
    limits.maxTotalBitmapPixels = 25000;
    const Movie mm = readOk(many.finish(), limits);
    EXPECT_EQ(mm.dictionary.size(), 2u);
}

TEST(ReaderHostile, CountsLargerThanTheDataDropOnlyTheirTag)
{
    MovieBuilder m(100, 100, 12);
    std::vector<std::uint16_t> bad;
    {
        BitWriter w; // DefineShape3 claiming 65535 fill styles
        writeRect(w, Rect{});
        w.u8(0xFF), w.u16(0xFFFF), w.u8(0);
        bad.push_back(m.defineRaw(32, w.data()));
    }
    {
        BitWriter w; // DefineFont2 with 65535 glyphs and no offsets
        w.u8(0), w.u8(0), w.u8(0), w.u16(0xFFFF);
        bad.push_back(m.defineRaw(48, w.data()));
    }
    {
        BitWriter w; // DefineFont with offsets pointing anywhere: glyphs stay empty
        w.u16(8), w.u16(0xFFFF), w.u16(3), w.u16(0);
        m.defineRaw(10, w.data());
    }
    {
        BitWriter w; // DefineText with 40-bit glyph indices
        writeRect(w, Rect{});
        writeMatrix(w, Matrix{});
        w.u8(40), w.u8(8), w.u8(0x80), w.u8(0);
        bad.push_back(m.defineRaw(11, w.data()));
    }
    {
        BitWriter w; // DefineMorphShape whose end edges lie past the tag
        writeRect(w, Rect{}), writeRect(w, Rect{});
        w.u32(0x7FFFFFFF), w.u8(0), w.u8(0), w.u8(0);
        bad.push_back(m.defineRaw(46, w.data()));
    }
    {
        BitWriter w; // DefineButton2 with an action offset past the end
        w.u8(0), w.u16(0xFFFF), w.u8(0);
        bad.push_back(m.defineRaw(34, w.data()));
    }
    // PlaceObject3 with 255 filters and no data.
    m.rawTag(70, QByteArray::fromHex("0001" "0100" "ff"));
    // ConstantPool claiming 65535 strings: the block is kept as it is, for
    // the script machine to judge.
    const QByteArray badPool = QByteArray::fromHex("88" "0300" "ffff41" "07" "00");
    m.rawTag(12, badPool);
    const auto good = m.defineShape(ShapeBuilder().fill(solid(rgb(3))).rect(0, 0, 1, 1));
    m.showFrame();
    const Movie movie = readOk(m.finish());
    for (auto id : bad)
        EXPECT_EQ(movie.character(id), nullptr) << id;
    EXPECT_NE(movie.find<Shape>(good), nullptr);
    ASSERT_EQ(movie.timeline.frames.size(), 1u);
    const auto& tags = movie.timeline.frames[0].tags;
    ASSERT_EQ(tags.size(), 1u); // the PlaceObject3 was dropped, the DoAction kept
    EXPECT_EQ(std::get<DoAction>(tags[0]).bytecode, badPool);
    EXPECT_GE(movie.warnings.size(), bad.size() + 1);
}

TEST(ReaderHostile, RecordTagFrameAndCharacterCountsStopAtTheirLimits)
{
    MovieBuilder m(100, 100, 12);
    ShapeBuilder b;
    b.fill(solid(rgb(1)));
    for (int i = 0; i < 2000; ++i)
        b.rect(i % 50, i / 50, 1, 1);
    const auto big = m.defineShape(b);
    for (int i = 0; i < 50; ++i)
        m.defineShape(ShapeBuilder().fill(solid(rgb(2))).rect(0, 0, 1, 1));
    for (int i = 0; i < 300; ++i)
        m.showFrame();
    const QByteArray bytes = m.finish();

    ReadLimits limits;
    limits.maxShapeRecords = 5000;
    limits.maxCharacters = 20;
    limits.maxFrames = 100;
    const Movie movie = readOk(bytes, limits);
    EXPECT_EQ(movie.find<Shape>(big), nullptr);
    EXPECT_EQ(movie.dictionary.size(), 20u);
    EXPECT_EQ(movie.timeline.frames.size(), 100u);

    limits = ReadLimits{};
    limits.maxTags = 60;
    const Movie fewTags = readOk(bytes, limits);
    EXPECT_EQ(fewTags.dictionary.size(), 51u);
    EXPECT_EQ(fewTags.timeline.frames.size(), 9u);

    limits = ReadLimits{};
    // The big shape counts 1 style and 8000 edges, each small one 1 + 4.
    limits.maxTotalShapeRecords = 8001 + 4 * 5 + 2;
    const Movie fewRecords = readOk(bytes, limits);
    EXPECT_NE(fewRecords.find<Shape>(big), nullptr);
    EXPECT_EQ(fewRecords.dictionary.size(), 5u);
}

TEST(ReaderHostile, WarningsThemselvesAreBounded)
{
    MovieBuilder m(100, 100, 12);
    for (int i = 0; i < 5000; ++i)
        m.rawTag(2, QByteArray(3, '\xFF')); // broken DefineShape
    const Movie movie = readOk(m.finish());
    // The first thousand are kept as they come, then one line says the rest
    // were left out.
    ASSERT_EQ(movie.warnings.size(), 1001u);
    for (std::size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(movie.warnings[i].tagCode, 2) << i;
    EXPECT_EQ(movie.warnings.back().tagCode, -1);
    EXPECT_TRUE(movie.warnings.back().message.contains(QStringLiteral("left out")));
}

TEST(ReaderHostile, RandomCorruptionNeverCrashes)
{
    // Broken JPEG data makes the image plugin complain on every round.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg=false"));
    std::mt19937 random(20261207);
    for (Compression c : {Compression::None, Compression::Zlib}) {
        const QByteArray original = richMovie(c);
        // In a compressed file only the header bytes are meaningful to flip;
        // corrupt the uncompressed body as well by flipping before compressing.
        const QByteArray plain = richMovie(Compression::None);
        for (int round = 0; round < 1500; ++round) {
            QByteArray bytes = c == Compression::None ? original : plain;
            const int flips = 1 + int(random() % 8);
            for (int i = 0; i < flips; ++i) {
                const auto at = qsizetype(8 + random() % std::uint32_t(bytes.size() - 8));
                bytes[at] = char(random() % 4 == 0 ? 0xFF : random());
            }
            if (c == Compression::Zlib) {
                // Re-wrap the corrupted body so the flips reach the tag reader.
                const QByteArray body = bytes.mid(8);
                bytes = bytes.left(8);
                bytes[0] = 'C';
                bytes.append(qCompress(body).mid(4)); // qCompress adds a 4-byte length before the zlib stream
            }
            try {
                const Movie movie = readMovie(bytes);
                for (const auto& [id, character] : movie.dictionary)
                    if (const Bitmap* b = std::get_if<Bitmap>(&character)) {
                        // Damaged pixels decode to nothing; whatever does
                        // decode has the size the header declared.
                        EXPECT_GT(b->width(), 0);
                        const QImage image = decodeBitmap(*b);
                        if (!image.isNull()) {
                            EXPECT_EQ(image.size(), QSize(b->width(), b->height()));
                            EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
                        }
                    }
                // Invariant the renderer relies on: style indices are valid.
                for (const auto& [id, character] : movie.dictionary)
                    if (const Shape* s = std::get_if<Shape>(&character))
                        for (const ShapeLayer& layer : s->layers)
                            for (const Edge& e : layer.edges) {
                                EXPECT_LE(e.fill0, layer.fills.size());
                                EXPECT_LE(e.fill1, layer.fills.size());
                                EXPECT_LE(e.line, layer.lines.size());
                            }
            } catch (const ReadError&) {
            }
        }
    }
}

} // namespace
