#include "Context.h"
#include "Inflate.h"
#include "qev/FileError.h"

#include <QFile>

#include <climits>

namespace qev::swf {

using namespace detail;

namespace {

enum TagCode : int {
    TagEnd = 0,
    TagShowFrame = 1,
    TagDefineShape = 2,
    TagPlaceObject = 4,
    TagRemoveObject = 5,
    TagDefineBits = 6,
    TagDefineButton = 7,
    TagJpegTables = 8,
    TagSetBackgroundColor = 9,
    TagScriptLimits = 65,
    TagDefineFont = 10,
    TagDefineText = 11,
    TagDoAction = 12,
    TagDoInitAction = 59,
    TagDefineFontInfo = 13,
    TagDefineBitsLossless = 20,
    TagDefineBitsJpeg2 = 21,
    TagDefineShape2 = 22,
    TagDefineButtonCxform = 23,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
    TagDefineShape3 = 32,
    TagDefineText2 = 33,
    TagDefineButton2 = 34,
    TagDefineBitsJpeg3 = 35,
    TagDefineBitsLossless2 = 36,
    TagDefineEditText = 37,
    TagDefineSprite = 39,
    TagFrameLabel = 43,
    TagDefineMorphShape = 46,
    TagDefineFont2 = 48,
    TagExportAssets = 56,
    TagDefineFontInfo2 = 62,
    TagPlaceObject3 = 70,
    TagDefineFont3 = 75,
    TagSymbolClass = 76,
    TagDefineShape4 = 83,
    TagDefineMorphShape2 = 84,
    TagDefineBitsJpeg4 = 90,
    TagDefineVideoStream = 60,
    TagVideoFrame = 61,
};

PlaceObject readPlaceObject1(BitReader& r)
{
    PlaceObject p;
    p.version = 1;
    p.characterId = r.u16();
    p.depth = r.u16();
    p.matrix = readMatrix(r);
    if (!r.atEnd())
        p.colorTransform = readColorTransform(r, false);
    return p;
}

// CLIPACTIONS: a reserved word, the union of all events, then one record
// per handler up to a record whose events are zero. Event masks are 16 bits
// before SWF 6.
void readClipActions(BitReader& r, int version, std::vector<ClipEventHandler>& handlers)
{
    auto events = [&] { return version >= 6 ? r.u32() : std::uint32_t(r.u16()); };
    r.u16();
    events();
    while (!r.atEnd()) {
        ClipEventHandler h;
        h.events = events();
        if (h.events == 0)
            break;
        std::size_t size = r.u32();
        if (h.events & ClipEvent::KeyPress) {
            h.keyCode = r.u8();
            size = size > 0 ? size - 1 : 0;
        }
        if (size > r.remaining())
            throw FormatError(QStringLiteral("a handler of %1 bytes lies past the tag's end").arg(size));
        BitReader block = r.sub(size);
        h.bytecode = actionBytes(block);
        handlers.push_back(std::move(h));
    }
}

PlaceObject readPlaceObject23(BitReader& r, Context& ctx, int version)
{
    PlaceObject p;
    p.version = version;
    const std::uint8_t f1 = r.u8();
    const std::uint8_t f2 = version == 3 ? r.u8() : 0;
    p.move = f1 & 0x01;
    p.depth = r.u16();
    const bool hasImage = f2 & 0x10;
    if ((f2 & 0x08) || (hasImage && (f1 & 0x02)))
        p.className = r.string(ctx.version);
    if (f1 & 0x02)
        p.characterId = r.u16();
    if (f1 & 0x04)
        p.matrix = readMatrix(r);
    if (f1 & 0x08)
        p.colorTransform = readColorTransform(r, true);
    if (f1 & 0x10)
        p.ratio = r.u16();
    if (f1 & 0x20)
        p.name = r.string(ctx.version);
    if (f1 & 0x40)
        p.clipDepth = r.u16();
    if (f2 & 0x01)
        p.filters = readFilters(r);
    if (f2 & 0x02)
        p.blendMode = toBlendMode(r.u8());
    if (f2 & 0x04)
        p.cacheAsBitmap = r.atEnd() ? true : r.u8() != 0; // some writers leave the byte out
    if (f2 & 0x20)
        p.visible = r.u8() != 0;
    if (f2 & 0x40)
        p.backgroundColor = readRgba(r);
    if (f1 & 0x80) {
        // Broken handlers lose only themselves; the clip is still placed.
        try {
            readClipActions(r, ctx.version, p.clipActions);
        } catch (const FormatError& e) {
            ctx.warn(QStringLiteral("clip event handlers cut short: %1").arg(e.message));
        }
    }
    return p;
}

std::vector<ButtonRecord> readButtonRecords(BitReader& r, int version)
{
    std::vector<ButtonRecord> records;
    while (true) {
        const std::uint8_t flags = r.u8();
        if (flags == 0)
            break;
        ButtonRecord b;
        b.up = flags & 0x01;
        b.over = flags & 0x02;
        b.down = flags & 0x04;
        b.hitTest = flags & 0x08;
        b.characterId = r.u16();
        b.depth = r.u16();
        b.matrix = readMatrix(r);
        if (version == 2) {
            b.colorTransform = readColorTransform(r, true);
            if (flags & 0x10)
                b.filters = readFilters(r);
            if (flags & 0x20)
                b.blendMode = toBlendMode(r.u8());
        }
        records.push_back(std::move(b));
    }
    return records;
}

void readDefineButton(BitReader& r, Context& ctx, int version)
{
    const std::uint16_t id = r.u16();
    Button button;
    button.version = version;
    if (version == 1) {
        button.records = readButtonRecords(r, 1);
        ButtonCondAction click;
        click.conditions = ButtonCondAction::OverDownToOverUp;
        click.bytecode = actionBytes(r);
        if (!click.bytecode.isEmpty() && click.bytecode.front() != 0)
            button.actions.push_back(std::move(click));
    } else {
        button.trackAsMenu = r.u8() & 0x01;
        const std::size_t offsetAt = r.pos();
        const std::size_t actionOffset = r.u16();
        button.records = readButtonRecords(r, 2);
        if (actionOffset != 0) {
            r.seek(offsetAt + actionOffset);
            while (!r.atEnd()) {
                const std::size_t size = r.u16();
                BitReader a = size == 0 ? r.sub(r.remaining()) : r.sub(std::max<std::size_t>(size, 2) - 2);
                ButtonCondAction cond;
                const std::uint8_t c1 = a.u8();
                const std::uint8_t c2 = a.u8();
                cond.conditions = std::uint16_t((c1 << 8) | (c2 & 0x01));
                cond.keyPress = std::uint8_t(c2 >> 1);
                cond.bytecode = actionBytes(a);
                button.actions.push_back(std::move(cond));
                if (size == 0)
                    break;
            }
        }
    }
    ctx.define(id, std::move(button));
}

void readButtonCxform(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    const ColorTransform cx = readColorTransform(r, false);
    auto it = ctx.movie.dictionary.find(id);
    Button* button = it == ctx.movie.dictionary.end() ? nullptr : std::get_if<Button>(&it->second);
    if (!button) {
        ctx.warn(QStringLiteral("colour transform for %1, which is not a button").arg(id));
        return;
    }
    for (ButtonRecord& b : button->records)
        b.colorTransform = cx;
}

void readExports(BitReader& r, Context& ctx)
{
    const std::size_t count = r.u16();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t id = r.u16();
        const QString name = r.string(ctx.version);
        ctx.movie.exports.emplace(name, id);
    }
}

void readTimeline(BitReader& r, Context& ctx, Timeline& timeline, std::uint32_t depth);

void readSprite(BitReader& r, Context& ctx, std::uint32_t depth)
{
    const std::uint16_t id = r.u16();
    if (depth >= ctx.limits.maxSpriteDepth)
        throw FormatError(QStringLiteral("sprites nested deeper than the limit of %1").arg(ctx.limits.maxSpriteDepth));
    Sprite sprite;
    sprite.declaredFrameCount = r.u16();
    const int outerCode = ctx.tagCode;
    const std::uint64_t outerOffset = ctx.tagOffset;
    readTimeline(r, ctx, sprite.timeline, depth + 1);
    ctx.tagCode = outerCode;
    ctx.tagOffset = outerOffset;
    ctx.define(id, std::move(sprite));
}

// Reads one tag body. Control tags go into `frame`.
// Tags that carry nothing a player shows or runs (file attributes, metadata,
// authoring tool data, debugger and protection settings, font names and
// hinting, scaling grids): skipped without a word.
bool carriesNothingToPlay(int code)
{
    switch (code) {
    case 24: // Protect
    case 41: // ProductInfo
    case 58: // EnableDebugger
    case 63: // DebugID
    case 64: // EnableDebugger2
    case 66: // SetTabIndex
    case 69: // FileAttributes
    case 73: // DefineFontAlignZones
    case 77: // Metadata
    case 78: // DefineScalingGrid
    case 86: // DefineSceneAndFrameLabelData
    case 88: // DefineFontName
        return true;
    default:
        return false;
    }
}

// Any other tag not read is named once per code, so that a movie that
// shows less than it should says what was left out.
void noteSkipped(Context& ctx, int code)
{
    if (carriesNothingToPlay(code) || !ctx.skippedCodes.insert(code).second)
        return;
    ctx.warn(QStringLiteral("tag %1 is not read by this player; skipped").arg(code));
}

void readTag(int code, BitReader& body, Context& ctx, Frame& frame, std::uint32_t depth)
{
    switch (code) {
    case TagPlaceObject:
        frame.tags.emplace_back(readPlaceObject1(body));
        break;
    case TagPlaceObject2:
        frame.tags.emplace_back(readPlaceObject23(body, ctx, 2));
        break;
    case TagPlaceObject3:
        frame.tags.emplace_back(readPlaceObject23(body, ctx, 3));
        break;
    case TagRemoveObject: {
        RemoveObject rm;
        rm.characterId = body.u16();
        rm.depth = body.u16();
        frame.tags.emplace_back(rm);
        break;
    }
    case TagRemoveObject2:
        frame.tags.emplace_back(RemoveObject{body.u16(), std::nullopt});
        break;
    case TagScriptLimits:
        // The timeout is ours to keep short; only the depth changes what scripts see.
        ctx.movie.maxRecursionDepth = body.u16();
        break;
    case TagSetBackgroundColor: {
        const Rgba c = readRgb(body);
        if (!ctx.movie.hasBackgroundColor) {
            ctx.movie.backgroundColor = c;
            ctx.movie.hasBackgroundColor = true;
        }
        frame.tags.emplace_back(SetBackgroundColor{c});
        break;
    }
    case TagDoAction: {
        frame.tags.emplace_back(DoAction{actionBytes(body)});
        break;
    }
    case TagDoInitAction: {
        DoInitAction init;
        init.spriteId = body.u16();
        init.bytecode = actionBytes(body);
        frame.tags.emplace_back(std::move(init));
        break;
    }
    case TagFrameLabel:
        frame.labels.push_back(body.string(ctx.version));
        break;
    case TagDefineShape:
        readDefineShape(body, ctx, 1);
        break;
    case TagDefineShape2:
        readDefineShape(body, ctx, 2);
        break;
    case TagDefineShape3:
        readDefineShape(body, ctx, 3);
        break;
    case TagDefineShape4:
        readDefineShape(body, ctx, 4);
        break;
    case TagDefineMorphShape:
        readDefineMorphShape(body, ctx, 1);
        break;
    case TagDefineMorphShape2:
        readDefineMorphShape(body, ctx, 2);
        break;
    case TagDefineBits:
        readDefineBitsJpeg(body, ctx, 1);
        break;
    case TagJpegTables:
        if (ctx.movie.jpegTables.isEmpty())
            ctx.movie.jpegTables = body.rest();
        break;
    case TagDefineBitsJpeg2:
        readDefineBitsJpeg(body, ctx, 2);
        break;
    case TagDefineBitsJpeg3:
        readDefineBitsJpeg(body, ctx, 3);
        break;
    case TagDefineBitsJpeg4:
        readDefineBitsJpeg(body, ctx, 4);
        break;
    case TagDefineBitsLossless:
        readDefineBitsLossless(body, ctx, 1);
        break;
    case TagDefineBitsLossless2:
        readDefineBitsLossless(body, ctx, 2);
        break;
    case TagDefineFont:
        readDefineFont(body, ctx);
        break;
    case TagDefineFont2:
        readDefineFont23(body, ctx, 2);
        break;
    case TagDefineFont3:
        readDefineFont23(body, ctx, 3);
        break;
    case TagDefineFontInfo:
        readDefineFontInfo(body, ctx, 1);
        break;
    case TagDefineFontInfo2:
        readDefineFontInfo(body, ctx, 2);
        break;
    case TagDefineText:
        readDefineText(body, ctx, 1);
        break;
    case TagDefineText2:
        readDefineText(body, ctx, 2);
        break;
    case TagDefineEditText:
        readDefineEditText(body, ctx);
        break;
    case 74: // CSMTextSettings
        readCsmTextSettings(body, ctx);
        break;
    case TagDefineButton:
        readDefineButton(body, ctx, 1);
        break;
    case TagDefineButton2:
        readDefineButton(body, ctx, 2);
        break;
    case TagDefineButtonCxform:
        readButtonCxform(body, ctx);
        break;
    case TagDefineSprite:
        readSprite(body, ctx, depth);
        break;
    case TagDefineVideoStream:
        readDefineVideoStream(body, ctx);
        break;
    case TagVideoFrame:
        readVideoFrame(body, ctx);
        break;
    case TagExportAssets:
    case TagSymbolClass:
        readExports(body, ctx);
        break;
    default:
        noteSkipped(ctx, code);
        break;
    }
}

void readTimeline(BitReader& r, Context& ctx, Timeline& timeline, std::uint32_t depth)
{
    Frame frame;
    bool limitHit = false;
    bool ended = false;
    while (!r.atEnd()) {
        ctx.tagCode = -1;
        ctx.tagOffset = r.fileOffset();
        if (r.remaining() < 2) {
            ctx.warn(QStringLiteral("a stray byte where a tag should start"));
            break;
        }
        const std::uint16_t head = r.u16();
        const int code = head >> 6;
        std::size_t length = head & 0x3F;
        ctx.tagCode = code;
        if (length == 0x3F) {
            if (r.remaining() < 4) {
                ctx.warn(QStringLiteral("tag header cut off"));
                break;
            }
            length = r.u32();
        }
        if (length > r.remaining()) {
            ctx.warn(QStringLiteral("tag declares %1 bytes but only %2 are left; the rest of the data is ignored")
                         .arg(length)
                         .arg(r.remaining()));
            break;
        }
        BitReader body = r.sub(length);
        if (code == TagEnd) {
            ended = true;
            break;
        }
        if (++ctx.tags > ctx.limits.maxTags) {
            ctx.warn(QStringLiteral("more tags than the limit of %1; the rest is ignored").arg(ctx.limits.maxTags));
            limitHit = true;
            break;
        }
        if (code == TagShowFrame) {
            if (++ctx.frames > ctx.limits.maxFrames) {
                ctx.warn(QStringLiteral("more frames than the limit of %1; the rest is ignored").arg(ctx.limits.maxFrames));
                limitHit = true;
                break;
            }
            timeline.frames.push_back(std::move(frame));
            frame = Frame{};
            continue;
        }
        try {
            if (!readSoundTag(code, body, ctx, timeline, frame))
                readTag(code, body, ctx, frame, depth);
        } catch (const FormatError& e) {
            ctx.tagCode = code;
            ctx.tagOffset = body.fileOffset() - body.pos();
            ctx.warn(QStringLiteral("tag dropped: %1").arg(e.message));
        }
    }
    const bool trailing = !frame.tags.empty() || !frame.labels.empty() || !frame.sounds.empty() || frame.streamBlock;
    if (!limitHit && trailing)
        timeline.frames.push_back(std::move(frame));
    timeline.complete = ended && !trailing;
}

} // namespace

Movie readMovie(QByteArrayView bytes, const ReadLimits& limits)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = std::size_t(bytes.size());
    if (size < 8) {
        // The start of a signature that stops short is a movie cut early.
        const bool signatureStart = size > 0 && (data[0] == 'F' || data[0] == 'C' || data[0] == 'Z')
            && (size < 2 || data[1] == 'W') && (size < 3 || data[2] == 'S');
        throw ReadError(QStringLiteral("not a movie: %1 bytes are too few for the header").arg(size),
                        signatureStart ? ReadError::Cause::EndsEarly : ReadError::Cause::NotAMovie);
    }
    Movie movie;
    Header& h = movie.header;
    const QByteArrayView signature = bytes.first(3);
    if (signature == "FWS")
        h.compression = Compression::None;
    else if (signature == "CWS")
        h.compression = Compression::Zlib;
    else if (signature == "ZWS")
        h.compression = Compression::Lzma;
    else
        throw ReadError(QStringLiteral("not a movie: unknown signature"), ReadError::Cause::NotAMovie);
    h.version = data[3];
    h.fileLength = std::uint32_t(data[4]) | (std::uint32_t(data[5]) << 8) | (std::uint32_t(data[6]) << 16)
        | (std::uint32_t(data[7]) << 24);
    if (h.fileLength < 8 + 5) // header fields beyond the first 8 bytes take at least 5 more
        throw ReadError(QStringLiteral("broken header: declared length %1 is too small").arg(h.fileLength), -1, 4,
                        ReadError::Cause::BrokenHeader);
    const std::uint64_t cap = std::min<std::uint64_t>(h.fileLength - 8, limits.maxDecompressedBytes);

    Context ctx(limits, movie);
    ctx.version = h.version;
    QByteArray body;
    BitReader r;
    if (h.compression == Compression::None) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(size - 8, cap));
        r = BitReader(data + 8, n, 8);
        if (size - 8 < h.fileLength - 8)
            ctx.warn(QStringLiteral("file holds %1 of %2 declared bytes").arg(size).arg(h.fileLength));
    } else {
        Inflated out;
        if (h.compression == Compression::Zlib) {
            out = inflateCapped(data + 8, size - 8, cap);
        } else {
            if (size < 17)
                throw ReadError(QStringLiteral("broken header: LZMA properties cut off"), -1, 8,
                                ReadError::Cause::EndsEarly);
            out = unlzmaCapped(data + 12, data + 17, size - 17, h.fileLength - 8, cap);
        }
        if (out.data.isEmpty())
            throw ReadError(QStringLiteral("compressed data cannot be decompressed"), -1, 8,
                            out.failed ? ReadError::Cause::Damaged : ReadError::Cause::EndsEarly);
        if (out.failed)
            ctx.warn(QStringLiteral("compressed data is damaged after %1 bytes; the rest is ignored").arg(out.data.size()));
        else if (!out.complete || std::uint64_t(out.data.size()) < cap)
            ctx.warn(QStringLiteral("compressed data ends after %1 of %2 bytes").arg(out.data.size()).arg(cap));
        if (h.fileLength - 8 > limits.maxDecompressedBytes)
            ctx.warn(QStringLiteral("movie cut at the size limit of %1 bytes").arg(limits.maxDecompressedBytes));
        body = std::move(out.data);
        r = BitReader(reinterpret_cast<const std::uint8_t*>(body.constData()), std::size_t(body.size()), 8);
    }

    try {
        h.stage = readRect(r);
        h.frameRate88 = r.u16();
        h.frameCount = r.u16();
    } catch (const FormatError& e) {
        throw ReadError(QStringLiteral("broken header: %1").arg(e.message), -1, 8, ReadError::Cause::EndsEarly);
    }
    readTimeline(r, ctx, movie.timeline, 0);
    decodePendingJpegs(ctx);
    return movie;
}

Movie readMovieFile(const QString& path, const ReadLimits& limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(path, FileError::openErrorText(file, path));
    // A compressed file is never larger than its content plus a little, so
    // the size cap applies to the file as well.
    const qint64 max = qint64(std::min<std::uint64_t>(limits.maxDecompressedBytes + limits.maxDecompressedBytes / 64 + 1024, std::uint64_t(INT_MAX - 1)));
    const QByteArray bytes = file.read(max);
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        throw FileError(path, file.errorString());
    try {
        return readMovie(bytes, limits);
    } catch (const ReadError& e) {
        // Worded as every file failure is: what went wrong, then the file.
        throw ReadError(FileError::describe(e.message(), path), e.tagCode(), e.offset(), e.cause());
    }
}

} // namespace qev::swf
