// DefineSound, StartSound(2), DefineButtonSound and the stream tags.

#include "Context.h"

namespace qev::swf::detail {

namespace {

enum SoundTag : int {
    TagDefineSound = 14,
    TagStartSound = 15,
    TagDefineButtonSound = 17,
    TagSoundStreamHead = 18,
    TagSoundStreamBlock = 19,
    TagSoundStreamHead2 = 45,
    TagStartSound2 = 89,
};

// The byte "format:4 rate:2 size:1 type:1" that every sound tag shares.
SoundEncoding readEncoding(std::uint8_t byte)
{
    SoundEncoding e;
    e.format = SoundFormat(byte >> 4);
    e.rateCode = (byte >> 2) & 3;
    e.sixteenBit = byte & 0x02;
    e.stereo = byte & 0x01;
    return e;
}

void readDefineSound(BitReader& r, Context& ctx)
{
    const std::uint16_t id = r.u16();
    Sound sound;
    sound.encoding = readEncoding(r.u8());
    sound.sampleCount = r.u32();
    if (sound.encoding.format == SoundFormat::Mp3 && r.remaining() >= 2)
        sound.seekSamples = r.s16();
    sound.data = r.rest();
    if (ctx.movie.sounds.contains(id)) {
        ctx.warn(QStringLiteral("sound %1 is defined again; the first definition stays").arg(id));
        return;
    }
    ctx.movie.sounds.emplace(id, std::move(sound));
}

void readStreamHead(BitReader& r, Context& ctx, Timeline& timeline)
{
    r.u8(); // the rate the authoring tool suggested for playback: the stream's own rate is what plays
    SoundStreamHead head;
    head.encoding = readEncoding(r.u8());
    head.samplesPerBlock = r.u16();
    if (head.encoding.format == SoundFormat::Mp3 && r.remaining() >= 2)
        head.latencySeek = r.s16();
    if (timeline.streamHead) {
        ctx.warn(QStringLiteral("a second stream head on one timeline is ignored"));
        return;
    }
    timeline.streamHead = head;
}

} // namespace

SoundInfo readSoundInfo(BitReader& r)
{
    const std::uint8_t flags = r.u8();
    SoundInfo info;
    info.stop = flags & 0x20;
    info.noMultiple = flags & 0x10;
    if (flags & 0x01)
        info.inPoint = r.u32();
    if (flags & 0x02)
        info.outPoint = r.u32();
    if (flags & 0x04)
        info.loops = std::max<std::uint16_t>(r.u16(), 1);
    if (flags & 0x08) {
        const int count = r.u8();
        info.envelope.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            EnvelopePoint p;
            p.position44 = r.u32();
            p.left = r.u16();
            p.right = r.u16();
            info.envelope.push_back(p);
        }
    }
    return info;
}

bool readSoundTag(int code, BitReader& r, Context& ctx, Timeline& timeline, Frame& frame)
{
    switch (code) {
    case TagDefineSound:
        readDefineSound(r, ctx);
        return true;
    case TagStartSound: {
        StartSound start;
        start.soundId = r.u16();
        start.info = readSoundInfo(r);
        frame.sounds.push_back(std::move(start));
        return true;
    }
    case TagStartSound2: {
        StartSound start;
        start.className = r.string(ctx.version);
        start.info = readSoundInfo(r);
        frame.sounds.push_back(std::move(start));
        return true;
    }
    case TagSoundStreamHead:
    case TagSoundStreamHead2:
        readStreamHead(r, ctx, timeline);
        return true;
    case TagSoundStreamBlock:
        if (frame.streamBlock)
            ctx.warn(QStringLiteral("a second stream block in one frame is ignored"));
        else
            frame.streamBlock = r.rest();
        return true;
    case TagDefineButtonSound: {
        const std::uint16_t id = r.u16();
        auto it = ctx.movie.dictionary.find(id);
        Button* button = it == ctx.movie.dictionary.end() ? nullptr : std::get_if<Button>(&it->second);
        if (!button) {
            ctx.warn(QStringLiteral("sounds for %1, which is not a button").arg(id));
            return true;
        }
        for (std::optional<ButtonSound>& slot : button->sounds) {
            if (r.atEnd())
                break;
            ButtonSound sound;
            sound.soundId = r.u16();
            if (sound.soundId == 0)
                continue;
            sound.info = readSoundInfo(r);
            slot = std::move(sound);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace qev::swf::detail
