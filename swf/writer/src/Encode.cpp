#include <qev/swf/Writer.h>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qev::swf::writer {

namespace {

std::int32_t fixedBits(double v) { return std::int32_t(std::lround(v * 65536.0)); }

void rgb(BitWriter& w, Rgba c)
{
    w.u8(c.r);
    w.u8(c.g);
    w.u8(c.b);
}

void rgbaOut(BitWriter& w, Rgba c)
{
    rgb(w, c);
    w.u8(c.a);
}

QByteArray zlibCompress(const QByteArray& in)
{
    uLongf size = compressBound(uLong(in.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.constData()),
                  uLong(in.size()), 9)
        != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(qsizetype(size));
    return out;
}

// LZMA "alone" stream: 5 property bytes, 8 size bytes, then the data.
QByteArray lzmaAlone(const QByteArray& in)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&ls, &options) != LZMA_OK)
        throw std::runtime_error("LZMA encoder unavailable");
    QByteArray out(qsizetype(in.size() + in.size() / 2 + 1024), Qt::Uninitialized);
    ls.next_in = reinterpret_cast<const std::uint8_t*>(in.constData());
    ls.avail_in = std::size_t(in.size());
    ls.next_out = reinterpret_cast<std::uint8_t*>(out.data());
    ls.avail_out = std::size_t(out.size());
    const lzma_ret rc = lzma_code(&ls, LZMA_FINISH);
    const std::size_t used = std::size_t(out.size()) - ls.avail_out;
    lzma_end(&ls);
    if (rc != LZMA_STREAM_END)
        throw std::runtime_error("LZMA compression failed");
    out.resize(qsizetype(used));
    return out;
}

} // namespace

void writeRect(BitWriter& w, const Rect& r)
{
    w.align();
    const int bits = std::max({BitWriter::sbits(r.xMin), BitWriter::sbits(r.xMax), BitWriter::sbits(r.yMin),
                               BitWriter::sbits(r.yMax)});
    w.ub(5, std::uint32_t(bits));
    w.sb(bits, r.xMin);
    w.sb(bits, r.xMax);
    w.sb(bits, r.yMin);
    w.sb(bits, r.yMax);
    w.align();
}

void writeMatrix(BitWriter& w, const Matrix& m)
{
    w.align();
    const bool hasScale = m.a != 1.0 || m.d != 1.0;
    w.flag(hasScale);
    if (hasScale) {
        const int bits = std::max(BitWriter::sbits(fixedBits(m.a)), BitWriter::sbits(fixedBits(m.d)));
        w.ub(5, std::uint32_t(bits));
        w.fb(bits, m.a);
        w.fb(bits, m.d);
    }
    const bool hasRotate = m.b != 0.0 || m.c != 0.0;
    w.flag(hasRotate);
    if (hasRotate) {
        const int bits = std::max(BitWriter::sbits(fixedBits(m.b)), BitWriter::sbits(fixedBits(m.c)));
        w.ub(5, std::uint32_t(bits));
        w.fb(bits, m.b);
        w.fb(bits, m.c);
    }
    const int bits = std::max(BitWriter::sbits(m.tx), BitWriter::sbits(m.ty));
    w.ub(5, std::uint32_t(bits));
    w.sb(bits, m.tx);
    w.sb(bits, m.ty);
    w.align();
}

void writeColorTransform(BitWriter& w, const ColorTransform& cx, bool withAlpha)
{
    w.align();
    const bool hasMul = cx.rMul != 256 || cx.gMul != 256 || cx.bMul != 256 || (withAlpha && cx.aMul != 256);
    const bool hasAdd = cx.rAdd != 0 || cx.gAdd != 0 || cx.bAdd != 0 || (withAlpha && cx.aAdd != 0);
    int bits = 0;
    auto need = [&](int v) { bits = std::max(bits, BitWriter::sbits(v)); };
    if (hasMul) {
        need(cx.rMul), need(cx.gMul), need(cx.bMul);
        if (withAlpha)
            need(cx.aMul);
    }
    if (hasAdd) {
        need(cx.rAdd), need(cx.gAdd), need(cx.bAdd);
        if (withAlpha)
            need(cx.aAdd);
    }
    if (bits > 15)
        throw std::invalid_argument("colour transform term wider than 15 bits");
    w.flag(hasAdd);
    w.flag(hasMul);
    w.ub(4, std::uint32_t(bits));
    if (hasMul) {
        w.sb(bits, cx.rMul), w.sb(bits, cx.gMul), w.sb(bits, cx.bMul);
        if (withAlpha)
            w.sb(bits, cx.aMul);
    }
    if (hasAdd) {
        w.sb(bits, cx.rAdd), w.sb(bits, cx.gAdd), w.sb(bits, cx.bAdd);
        if (withAlpha)
            w.sb(bits, cx.aAdd);
    }
    w.align();
}

void writeFilters(BitWriter& w, const std::vector<Filter>& filters)
{
    if (filters.size() > 255)
        throw std::invalid_argument("more than 255 filters");
    w.u8(std::uint32_t(filters.size()));
    for (const Filter& filter : filters) {
        std::visit(
            [&](const auto& f) {
                using T = std::decay_t<decltype(f)>;
                if constexpr (std::is_same_v<T, DropShadowFilter>) {
                    w.u8(0);
                    rgbaOut(w, f.color);
                    w.fixed16(f.blurX), w.fixed16(f.blurY), w.fixed16(f.angle), w.fixed16(f.distance);
                    w.fixed8(f.strength);
                    w.flag(f.inner), w.flag(f.knockout), w.flag(f.compositeSource), w.ub(5, f.passes);
                } else if constexpr (std::is_same_v<T, BlurFilter>) {
                    w.u8(1);
                    w.fixed16(f.blurX), w.fixed16(f.blurY);
                    w.ub(5, f.passes), w.ub(3, 0);
                } else if constexpr (std::is_same_v<T, GlowFilter>) {
                    w.u8(2);
                    rgbaOut(w, f.color);
                    w.fixed16(f.blurX), w.fixed16(f.blurY);
                    w.fixed8(f.strength);
                    w.flag(f.inner), w.flag(f.knockout), w.flag(f.compositeSource), w.ub(5, f.passes);
                } else if constexpr (std::is_same_v<T, BevelFilter>) {
                    w.u8(3);
                    rgbaOut(w, f.shadowColor);
                    rgbaOut(w, f.highlightColor);
                    w.fixed16(f.blurX), w.fixed16(f.blurY), w.fixed16(f.angle), w.fixed16(f.distance);
                    w.fixed8(f.strength);
                    w.flag(f.inner), w.flag(f.knockout), w.flag(f.compositeSource), w.flag(f.onTop);
                    w.ub(4, f.passes);
                } else if constexpr (std::is_same_v<T, GradientFilter>) {
                    w.u8(f.bevel ? 7 : 4);
                    if (f.colors.size() > 255)
                        throw std::invalid_argument("more than 255 gradient filter colours");
                    w.u8(std::uint32_t(f.colors.size()));
                    for (const auto& c : f.colors)
                        rgbaOut(w, c.color);
                    for (const auto& c : f.colors)
                        w.u8(c.ratio);
                    w.fixed16(f.blurX), w.fixed16(f.blurY), w.fixed16(f.angle), w.fixed16(f.distance);
                    w.fixed8(f.strength);
                    w.flag(f.inner), w.flag(f.knockout), w.flag(f.compositeSource), w.flag(f.onTop);
                    w.ub(4, f.passes);
                } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
                    w.u8(5);
                    w.u8(f.matrixX), w.u8(f.matrixY);
                    w.f32(f.divisor), w.f32(f.bias);
                    if (f.matrix.size() != std::size_t(f.matrixX) * f.matrixY)
                        throw std::invalid_argument("convolution matrix size differs from its dimensions");
                    for (float v : f.matrix)
                        w.f32(v);
                    rgbaOut(w, f.defaultColor);
                    w.ub(6, 0), w.flag(f.clamp), w.flag(f.preserveAlpha);
                } else {
                    w.u8(6);
                    for (float v : f.matrix)
                        w.f32(v);
                }
            },
            filter);
        w.align();
    }
}

QByteArray encodeActions(const ActionList& actions)
{
    BitWriter w;
    for (const Action& a : actions) {
        w.u8(a.code);
        if (a.code < 0x80)
            continue;
        BitWriter p;
        switch (ActionCode(a.code)) {
        case ActionCode::GotoFrame:
            p.u16(std::uint32_t(a.frame.value_or(0)));
            break;
        case ActionCode::GetUrl:
            p.string(a.label);
            p.string(a.target);
            break;
        case ActionCode::WaitForFrame:
            p.u16(std::uint32_t(a.frame.value_or(0)));
            p.u8(a.skipCount);
            break;
        case ActionCode::WaitForFrame2:
            p.u8(a.skipCount);
            break;
        case ActionCode::SetTarget:
        case ActionCode::GotoLabel:
            p.string(a.label);
            break;
        case ActionCode::ConstantPool:
            p.u16(std::uint32_t(a.constants.size()));
            for (const QString& c : a.constants)
                p.string(c);
            break;
        case ActionCode::Push:
            for (const PushValue& v : a.pushed) {
                switch (v.type) {
                case PushValue::Type::String:
                    p.u8(0), p.string(v.string);
                    break;
                case PushValue::Type::Float:
                    p.u8(1), p.f32(float(v.number));
                    break;
                case PushValue::Type::Null:
                    p.u8(2);
                    break;
                case PushValue::Type::Undefined:
                    p.u8(3);
                    break;
                case PushValue::Type::Register:
                    p.u8(4), p.u8(std::uint32_t(v.number));
                    break;
                case PushValue::Type::Boolean:
                    p.u8(5), p.u8(v.number != 0 ? 1 : 0);
                    break;
                case PushValue::Type::Double: {
                    std::uint64_t bits;
                    std::memcpy(&bits, &v.number, 8);
                    p.u8(6), p.u32(std::uint32_t(bits >> 32)), p.u32(std::uint32_t(bits));
                    break;
                }
                case PushValue::Type::Integer:
                    p.u8(7), p.u32(std::uint32_t(std::int32_t(v.number)));
                    break;
                case PushValue::Type::Constant:
                    if (v.number < 256)
                        p.u8(8), p.u8(std::uint32_t(v.number));
                    else
                        p.u8(9), p.u16(std::uint32_t(v.number));
                    break;
                }
            }
            break;
        case ActionCode::Jump:
        case ActionCode::If:
            p.u16(std::uint16_t(a.branchOffset));
            break;
        case ActionCode::GotoFrame2:
            p.u8((a.play ? 1 : 0) | (a.sceneBias ? 2 : 0));
            if (a.sceneBias)
                p.u16(a.sceneBias);
            break;
        default:
            p.bytes(a.payload);
            break;
        }
        const QByteArray& payload = p.data();
        if (payload.size() > 0xFFFF)
            throw std::invalid_argument("action payload longer than 65535 bytes");
        w.u16(std::uint32_t(payload.size()));
        w.bytes(payload);
    }
    w.u8(0);
    return w.data();
}

QByteArray tag(int code, const QByteArray& body, bool forceLong)
{
    BitWriter w;
    if (body.size() < 0x3F && !forceLong) {
        w.u16(std::uint32_t(code << 6) | std::uint32_t(body.size()));
    } else {
        w.u16(std::uint32_t(code << 6) | 0x3F);
        w.u32(std::uint32_t(body.size()));
    }
    w.bytes(body);
    return w.data();
}

QByteArray movieFile(int version, const Rect& stage, double fps, std::uint16_t frameCount, const QByteArray& tags,
                     Compression compression, std::uint32_t fileLength)
{
    BitWriter b;
    writeRect(b, stage);
    b.u16(std::uint32_t(std::lround(fps * 256.0)) & 0xFFFF);
    b.u16(frameCount);
    b.bytes(tags);
    const QByteArray& body = b.data();
    if (fileLength == 0)
        fileLength = std::uint32_t(body.size() + 8);
    BitWriter out;
    const char* signature = compression == Compression::None ? "FWS" : compression == Compression::Zlib ? "CWS" : "ZWS";
    out.bytes(QByteArray(signature, 3));
    out.u8(std::uint32_t(version));
    out.u32(fileLength);
    if (compression == Compression::None) {
        out.bytes(body);
    } else if (compression == Compression::Zlib) {
        out.bytes(zlibCompress(body));
    } else {
        const QByteArray alone = lzmaAlone(body);
        out.u32(std::uint32_t(alone.size() - 13));
        out.bytes(alone.left(5));
        out.bytes(alone.mid(13));
    }
    return out.data();
}

QByteArray zlibForWriter(const QByteArray& in) { return zlibCompress(in); }

} // namespace qev::swf::writer
