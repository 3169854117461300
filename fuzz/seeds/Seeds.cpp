#include "Seeds.h"

#include "qev/CodePage.h"
#include "qev/Playlist.h"
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/SoundWriter.h"
#include "qev/swf/Writer.h"
#include "qev/swf/testsupport/MovieParts.h"

#include <QImage>

#include <algorithm>
#include <cstring>

namespace qev::fuzz {

// ---- playlists -------------------------------------------------------------

namespace {

// Names and references in the script of each code page, so the seeds hold
// real double-byte and accented text.
std::vector<PlaylistItem> itemsFor(int codePage)
{
    std::vector<PlaylistItem> items = {{QStringLiteral("Intro"), QStringLiteral("C:\\Movies\\intro.swf")},
                                       {QStringLiteral("Menu Two"), QStringLiteral("menu2.swf")}};
    switch (codePage) {
    case 932: items.push_back({QStringLiteral("映画の紹介"), QStringLiteral("ムービー\\表示.swf")}); break;
    case 936: items.push_back({QStringLiteral("电影介绍"), QStringLiteral("电影\\播放.swf")}); break;
    case 949: items.push_back({QStringLiteral("영화 소개"), QStringLiteral("영화\\재생.swf")}); break;
    case 950: items.push_back({QStringLiteral("電影介紹"), QStringLiteral("電影\\播放.swf")}); break;
    case 874: items.push_back({QStringLiteral("ภาพยนตร์"), QStringLiteral("หนัง.swf")}); break;
    case 1250: items.push_back({QStringLiteral("Žluťoučký kůň"), QStringLiteral("filmy\\úvod.swf")}); break;
    case 1251: items.push_back({QStringLiteral("Фильм"), QStringLiteral("Видео\\фильм.swf")}); break;
    case 1253: items.push_back({QStringLiteral("Ταινία"), QStringLiteral("ταινία.swf")}); break;
    case 1254: items.push_back({QStringLiteral("Film ğüşıö"), QStringLiteral("filmler\\çocuk.swf")}); break;
    case 1255: items.push_back({QStringLiteral("סרט"), QStringLiteral("סרטים\\סרט.swf")}); break;
    case 1256: items.push_back({QStringLiteral("فيلم"), QStringLiteral("أفلام\\فيلم.swf")}); break;
    case 1257: items.push_back({QStringLiteral("Filmas ąčę"), QStringLiteral("filmai\\ž.swf")}); break;
    case 1258: items.push_back({QStringLiteral("Phim hay ₫"), QStringLiteral("phim\\đẹp.swf")}); break;
    default: items.push_back({QStringLiteral("Café € ‰"), QStringLiteral("Films\\déjà vu.swf")}); break;
    }
    return items;
}

} // namespace

std::vector<Seed> playlistSeeds()
{
    std::vector<Seed> seeds;
    const std::vector<int> numbers = CodePage::supportedNumbers();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const CodePage codePage = CodePage::fromNumber(numbers[i]);
        QByteArray bytes(1, char(i));
        bytes += encodePlaylist(itemsFor(numbers[i]), codePage);
        seeds.push_back({QStringLiteral("cp%1").arg(numbers[i]), bytes});
    }
    // Lines that are not plain pairs: a lone CR and LF inside lines, a last
    // line without CR LF, a name without its reference, an empty file.
    seeds.push_back({QStringLiteral("empty"), QByteArray(1, '\0')});
    seeds.push_back({QStringLiteral("lone-breaks"), QByteArray("\x00name\rwith\ncr\r\nref\r\n", 21)});
    seeds.push_back({QStringLiteral("no-final-crlf"), QByteArray("\x01one\r\ntwo", 9)});
    seeds.push_back({QStringLiteral("odd-lines"), QByteArray("\x02one\r\ntwo\r\nthree\r\n", 18)});
    seeds.push_back({QStringLiteral("dbcs-lead-at-end"), QByteArray("\x01\x82\xa0\r\n\x81", 6)});
    return seeds;
}

// ---- movies ----------------------------------------------------------------

namespace {

using namespace swf;
using namespace swf::writer;
using swf::testsupport::ButtonStates;
using swf::testsupport::buttonRecord;
using swf::testsupport::defineButtonSpriteCycle;
using swf::testsupport::defineSelfPlacingSprite;
using swf::testsupport::solidRect;

std::vector<GradientRecord> stops()
{
    return {GradientRecord{0, rgba(255, 0, 0, 255)}, GradientRecord{128, rgba(0, 255, 0, 128)},
            GradientRecord{255, rgba(0, 0, 255, 255)}};
}

QImage testImage(int w, int h, bool alpha)
{
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgba(x * 40, y * 40, (x + y) * 20, alpha ? 60 + x * 20 : 255));
    return image;
}

QByteArray shapesMovie()
{
    MovieBuilder m(64, 48, 12);
    m.setBackgroundColor(rgb(0x336699));
    const auto a = m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).line(1, rgb(0)).rect(0, 0, 20, 20));
    const auto b = m.defineShape(ShapeBuilder().fill(linearGradient(stops(), 0, 0, 30, 30, 45)).ellipse(15, 15, 14, 9)
                                     .fill(radialGradient(stops(), 0, 0, 30, 30)).rect(30, 0, 10, 10));
    FillStyle focal = focalGradient(stops(), 0.5, 0, 0, 20, 20);
    focal.gradient.spread = SpreadMode::Repeat;
    LineStyle fancy = solidLine(3, rgba(9, 8, 7, 200));
    fancy.join = JoinStyle::Miter;
    fancy.endCap = CapStyle::Square;
    fancy.fill = linearGradient(stops(), 0, 0, 10, 10);
    const auto c = m.defineShape(ShapeBuilder().fill(focal).line(fancy).moveTo(0, 0).lineTo(20, 0)
                                     .curveTo(25, 10, 20, 20).lineTo(0, 0).nonZeroWinding()
                                     .newLayer().fill(solid(rgba(0, 0, 0, 90))).rect(5, 5, 5, 5));
    m.place(a, 1, translatePx(2, 2));
    m.place(b, 2, scaleTranslatePx(1.5, 0.5, 10, 10));
    m.place(c, 3, rotateTranslatePx(30, 30, 20));
    m.showFrame();
    m.move(1, translatePx(10, 10));
    m.remove(2);
    m.showFrame();
    return m.finish();
}

QByteArray bitmapsMovie(Compression compression)
{
    MovieBuilder m(32, 32, 24);
    const auto lossless = m.defineBitsLossless(testImage(5, 4, true));
    const QImage gray = testImage(4, 4, false).convertToFormat(QImage::Format_Indexed8);
    const auto mapped = m.defineBitsLossless(gray.convertToFormat(QImage::Format_RGB32), LosslessFormat::Colormapped8, 1);
    const auto rgb15 = m.defineBitsLossless(testImage(3, 3, false), LosslessFormat::Rgb15, 1);
    const auto jpeg2 = m.defineBitsJpeg2(testImage(8, 8, false), 50);
    const auto jpeg3 = m.defineBitsJpeg3(testImage(8, 8, true), 50);
    const auto bits = m.defineBits(testImage(8, 8, false), 50);
    const std::uint16_t ids[] = {lossless, mapped, rgb15, jpeg2, jpeg3, bits};
    std::uint16_t depth = 1;
    for (std::uint16_t id : ids) {
        const auto shape = m.defineShape(ShapeBuilder().fill(bitmapFill(id, 0, 0, 1, depth % 2, depth % 3 == 0))
                                             .rect(0, 0, 10, 10));
        m.place(shape, depth, translatePx(depth * 4, depth * 3));
        ++depth;
    }
    m.showFrame();
    return m.finish(compression);
}

QByteArray textMovie()
{
    MovieBuilder m(80, 40, 12);
    Font font;
    font.version = 3;
    font.name = QStringLiteral("Seed");
    Glyph x;
    x.outline = ShapeBuilder(1).fill(solid(rgb(0))).rect(0, -800, 600, 800).buildGlyph();
    x.code = 'x';
    x.advance = 700;
    x.bounds = Rect{0, 600, -800, 0};
    Glyph o;
    o.outline = ShapeBuilder(1).fill(solid(rgb(0))).ellipse(300, -400, 300, 400).buildGlyph();
    o.code = 'o';
    o.advance = 650;
    o.bounds = Rect{0, 600, -800, 0};
    font.glyphs = {x, o};
    font.hasLayout = true;
    font.ascent = 900;
    font.descent = 200;
    font.kerning = {KerningPair{'x', 'o', -50}};
    const auto fontId = m.defineFont(font);
    Font old;
    old.version = 1;
    old.glyphs = {x};
    const auto oldId = m.defineFont(old);
    Text text;
    text.version = 2;
    text.bounds = Rect{0, 1200, 0, 400};
    text.records = {TextRecord{fontId, rgba(0, 0, 0, 200), 0, 300, 240, {{0, 150}, {1, 150}, {0, 150}}},
                    TextRecord{oldId, rgb(0xff0000), 0, 600, 200, {{0, 140}}}};
    m.place(m.defineText(text), 1);
    EditText device;
    device.bounds = Rect{0, 1500, 0, 400};
    device.html = true;
    device.multiline = true;
    device.wordWrap = true;
    device.border = true;
    device.fontHeight = 200;
    device.textColor = rgb(0x0000ff);
    device.hasLayout = true;
    device.align = TextAlign::Center;
    device.initialText = QStringLiteral("<p align=\"right\"><b>Bold</b> <i>it</i> <font color=\"#ff0000\" size=\"14\" "
                                        "face=\"Serif\">red</font><br/>two &amp; <u>lines</u></p>");
    m.place(m.defineEditText(device), 2, translatePx(0, 10));
    EditText outlined;
    outlined.bounds = Rect{0, 900, 0, 300};
    outlined.useOutlines = true;
    outlined.fontId = fontId;
    outlined.fontHeight = 240;
    outlined.password = true;
    outlined.initialText = QStringLiteral("xox");
    m.place(m.defineEditText(outlined), 3, translatePx(0, 25));
    m.showFrame();
    return m.finish();
}

QByteArray morphMovie()
{
    MovieBuilder m(40, 40, 12);
    MorphShape morph;
    morph.version = 2;
    morph.startBounds = Rect{0, 200, 0, 200};
    morph.endBounds = Rect{0, 400, 0, 400};
    morph.startEdgeBounds = morph.startBounds;
    morph.endEdgeBounds = morph.endBounds;
    morph.fills = {MorphFillStyle{solid(rgb(0xff0000)), solid(rgba(0, 0, 255, 100))},
                   MorphFillStyle{linearGradient(stops(), 0, 0, 10, 10), radialGradient(stops(), 0, 0, 20, 20)}};
    morph.lines = {MorphLineStyle{solidLine(1, rgb(0)), solidLine(3, rgb(0xffffff))}};
    Edge e1;
    e1.to = Point{200, 0};
    e1.fill1 = 1;
    e1.line = 1;
    Edge e2;
    e2.from = Point{200, 0};
    e2.control = Point{300, 100};
    e2.to = Point{200, 200};
    e2.curved = true;
    e2.fill1 = 2;
    Edge e3;
    e3.from = Point{200, 200};
    e3.to = Point{0, 0};
    e3.fill1 = 1;
    morph.startEdges = {e1, e2, e3};
    morph.endEdges = morph.startEdges;
    for (Edge& e : morph.endEdges) {
        e.from = Point{e.from.x * 2, e.from.y * 2};
        e.control = Point{e.control.x * 2, e.control.y * 2};
        e.to = Point{e.to.x * 2, e.to.y * 2};
    }
    const auto id = m.defineMorphShape(morph);
    for (int f = 0; f < 4; ++f) {
        PlaceObject p;
        p.version = 2;
        p.move = f > 0;
        p.depth = 1;
        if (f == 0)
            p.characterId = id;
        p.ratio = std::uint16_t(f * 20000);
        m.place(p);
        m.showFrame();
    }
    return m.finish();
}

// Sprites inside sprites with their own frame actions, a mask, a button,
// filters and blend modes; the main timeline has labels and jumps.
QByteArray spritesMovie(Compression compression)
{
    MovieBuilder m(60, 60, 20);
    const auto square = solidRect(m, 0x00ff00, 0, 0, 10, 10);
    const auto circle = m.defineShape(ShapeBuilder().fill(solid(rgba(255, 0, 255, 160))).ellipse(5, 5, 5, 5));

    SpriteBuilder inner;
    inner.place(circle, 1);
    inner.showFrame();
    inner.move(1, translatePx(2, 0));
    inner.showFrame();
    inner.actions({act::gotoFrame(0), act::play()});
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);

    SpriteBuilder outer;
    outer.place(square, 1);
    PlaceObject named;
    named.version = 2;
    named.depth = 2;
    named.characterId = innerId;
    named.name = QStringLiteral("inner");
    named.matrix = translatePx(5, 5);
    outer.place(named);
    outer.label(QStringLiteral("start"));
    outer.showFrame();
    outer.remove(1);
    outer.showFrame();
    outer.actions({act::raw(0x8B, QByteArray("inner", 6)), act::stop(), act::raw(0x8B, QByteArray(1, '\0')),
                   act::gotoLabel(QStringLiteral("start"))});
    outer.showFrame();
    const auto outerId = m.defineSprite(outer);

    Button button;
    button.version = 2;
    ButtonRecord up = buttonRecord(square, 1, ButtonStates{true, true, false, true});
    up.blendMode = BlendMode::Multiply;
    button.records = {up, buttonRecord(outerId, 2, ButtonStates{false, false, true, false})};
    button.actions = {ButtonCondAction{ButtonCondAction::OverDownToOverUp, 0, encodeActions({act::nextFrame()})}};
    const auto buttonId = m.defineButton(button);

    PlaceObject mask;
    mask.version = 2;
    mask.depth = 1;
    mask.characterId = circle;
    mask.clipDepth = 3;
    mask.matrix = scaleTranslatePx(4, 4, 0, 0);
    m.place(mask);
    PlaceObject filtered;
    filtered.version = 3;
    filtered.depth = 2;
    filtered.characterId = outerId;
    filtered.name = QStringLiteral("outer");
    filtered.blendMode = BlendMode::Screen;
    DropShadowFilter shadow;
    shadow.color = rgba(0, 0, 0, 128);
    shadow.blurX = shadow.blurY = 2;
    shadow.distance = 2;
    shadow.angle = 0.7;
    BlurFilter blur;
    blur.blurX = blur.blurY = 3;
    GlowFilter glow;
    glow.color = rgb(0xffff00);
    glow.blurX = glow.blurY = 2;
    glow.inner = true;
    BevelFilter bevel;
    bevel.shadowColor = rgb(0);
    bevel.highlightColor = rgb(0xffffff);
    bevel.blurX = bevel.blurY = 2;
    bevel.distance = 1;
    GradientFilter gradientGlow;
    gradientGlow.colors = stops();
    gradientGlow.blurX = gradientGlow.blurY = 2;
    ConvolutionFilter convolution;
    convolution.matrixX = convolution.matrixY = 3;
    convolution.divisor = 9;
    convolution.matrix = std::vector<float>(9, 1.0f);
    ColorMatrixFilter colorMatrix;
    colorMatrix.matrix[0] = 0.5f;
    filtered.filters = std::vector<Filter>{shadow, blur, glow, bevel, gradientGlow, convolution, colorMatrix};
    filtered.cacheAsBitmap = true;
    ColorTransform cx;
    cx.rMul = 128;
    cx.gAdd = 40;
    cx.aMul = 200;
    filtered.colorTransform = cx;
    m.place(filtered);
    PlaceObject buttonPlace;
    buttonPlace.version = 3;
    buttonPlace.depth = 4;
    buttonPlace.characterId = buttonId;
    buttonPlace.matrix = translatePx(30, 30);
    buttonPlace.blendMode = BlendMode::Difference;
    buttonPlace.visible = true;
    buttonPlace.backgroundColor = rgb(0x112233);
    m.place(buttonPlace);
    m.label(QStringLiteral("one"));
    m.showFrame();
    m.actions({act::raw(0x8B, QByteArray("outer/inner", 12)), act::gotoFrame(1), act::raw(0x8B, QByteArray(1, '\0')),
               act::nextFrame()});
    m.showFrame();
    m.label(QStringLiteral("three"));
    m.actions({act::gotoLabel(QStringLiteral("one")), act::play()});
    m.showFrame();
    for (int i = 0; i < 20; ++i) {
        m.move(2, translatePx(i, i));
        m.showFrame();
    }
    m.actions({act::pushString(QStringLiteral("three")), act::gotoFrame2(true), act::stop()});
    m.showFrame();
    return m.finish(compression);
}

// Actions that jump backwards within one frame: the engine must bound them.
QByteArray loopingActionsMovie()
{
    MovieBuilder m(20, 20, 12);
    m.showFrame();
    m.actions({act::nextFrame(), act::jump(-6)});
    m.showFrame();
    m.actions({act::pushNumber(1), act::ifTrue(-14), act::gotoFrame(0), act::previousFrame()});
    m.showFrame();
    return m.finish();
}

// SetTarget naming a sprite instance, as raw action bytes.
Action setTarget(const char* name)
{
    return act::raw(0x8B, QByteArray(name, qsizetype(std::strlen(name) + 1)));
}

// A sprite of many frames; the main timeline's actions seek it to its end
// and back in a loop, and each end frame runs the same loop again.
QByteArray seekLoopMovie()
{
    MovieBuilder m(20, 20, 12);
    const auto shape = solidRect(m, 0xff0000, 0, 0, 5, 5);
    const int frames = 400;
    // GotoFrame and Jump are 5 bytes each: -15 lands on the first GotoFrame.
    const ActionList loop = {act::gotoFrame(frames - 1), act::gotoFrame(0), act::jump(-15)};
    SpriteBuilder s;
    for (int f = 0; f < frames; ++f) {
        s.place(shape, std::uint16_t(1 + f % 8), translatePx(f % 10, 0));
        if (f == 0 || f == frames - 1)
            s.actions(loop);
        s.showFrame();
    }
    const auto sprite = m.defineSprite(s);
    PlaceObject p;
    p.depth = 1;
    p.characterId = sprite;
    p.name = QStringLiteral("s");
    m.place(p);
    ActionList main = {setTarget("s")};
    main.insert(main.end(), loop.begin(), loop.end());
    m.actions(main);
    m.showFrame();
    m.showFrame();
    return m.finish();
}

// A sprite that places itself twice: the instances double at each level.
QByteArray selfPlacingMovie()
{
    MovieBuilder m(20, 20, 12);
    const auto shape = solidRect(m, 0x00ff00, 0, 0, 2, 2);
    const auto self = defineSelfPlacingSprite(m, shape, {translatePx(1, 0), translatePx(0, 1)});
    m.place(self, 1);
    for (int f = 0; f < 3000; ++f)
        m.showFrame();
    return m.finish();
}

// A button whose picture is a sprite that holds the button twice.
QByteArray buttonCycleMovie()
{
    MovieBuilder m(20, 20, 12);
    const auto shape = solidRect(m, 0x0000ff, 0, 0, 2, 2);
    const auto cycle = defineButtonSpriteCycle(m, ButtonStates::all(), 2, translatePx(1, 1), shape);
    // The same as a mask: clipping paths are built by their own walk.
    PlaceObject mask;
    mask.depth = 1;
    mask.characterId = cycle.button;
    mask.clipDepth = 3;
    m.place(mask);
    m.place(cycle.button, 2);
    m.place(cycle.sprite, 3);
    m.showFrame();
    return m.finish();
}

} // namespace

// Scripts that reach most of the script machine: functions of both kinds,
// objects and prototypes, arrays, strings, try/catch, with, loops, a timer,
// and a sprite's properties and timeline, over two frames.
QByteArray scriptsMovie()
{
    namespace op = writer::op;
    using writer::ActionAssembler;
    MovieBuilder m(100, 100, 12, 8);
    SpriteBuilder s;
    ActionAssembler inside;
    inside.push("_x").push("_x").op(op::GetVariable).push(1).op(op::Add2).op(op::SetVariable).op(op::Stop);
    s.script(inside.bytes());
    s.showFrame();
    s.showFrame();
    const std::uint16_t sprite = m.defineSprite(s);

    ActionAssembler a;
    a.constantPool({QStringLiteral("clip"), QStringLiteral("list"), QStringLiteral("push")});
    ActionAssembler square;
    square.push("n").op(op::GetVariable).push("n").op(op::GetVariable).op(op::Multiply).op(op::Return);
    a.function("square", {"n"}, square);
    ActionAssembler two;
    two.pushRegister(1).push("v").op(op::GetMember).pushRegister(2).op(op::Add2).op(op::Return);
    a.function2("method", {{"x", 2}}, 3, 0x0001, two);
    a.push("o").push("v").push(3).push(1).op(op::InitObject).op(op::SetVariable);
    a.pushConstant(1).push(1).push(2).push("three").push(3).op(op::InitArray).op(op::SetVariable);
    a.push(4).push(1).pushConstant(1).op(op::GetVariable).pushConstant(2).op(op::CallMethod).op(op::Pop);
    a.push("i").push(0).op(op::SetVariable);
    a.label("loop");
    a.push("i").op(op::GetVariable).push(1).push("square").op(op::CallFunction).op(op::Trace);
    a.push("i").push("i").op(op::GetVariable).op(op::Increment).op(op::SetVariable);
    a.push("i").op(op::GetVariable).push(5).op(op::Less2).ifTrue("loop");
    ActionAssembler risky;
    risky.push("thrown").op(op::Throw);
    ActionAssembler handler;
    handler.pushRegister(0).op(op::Trace);
    a.tryBlock(risky, ActionAssembler::Catch{{}, 0}, handler, std::nullopt);
    ActionAssembler within;
    within.push("v").op(op::GetVariable).op(op::Trace);
    a.push("o").op(op::GetVariable).with(within);
    a.push("clip").op(op::GetVariable).push("_y").push(7).op(op::SetMember);
    a.push("/clip:_x").op(op::GetVariable).op(op::Trace);
    a.push("abc").push(1).push(1).op(op::StringExtract).op(op::Trace);
    ActionAssembler tick;
    tick.push(0).push("getTimer").op(op::CallFunction).op(op::Trace);
    a.function("tick", {}, tick);
    a.push(100).push("tick").op(op::GetVariable).push(2).push("setInterval").op(op::CallFunction).op(op::Pop);
    PlaceObject clip;
    clip.depth = 1;
    clip.characterId = sprite;
    clip.matrix = Matrix::translate(200, 200);
    clip.name = QStringLiteral("clip");
    m.place(clip);
    m.script(a.bytes());
    m.showFrame();
    ActionAssembler second;
    second.push(1).gotoFrame2(true);
    m.script(second.bytes());
    m.showFrame();
    return m.finish();
}

// ---- video -----------------------------------------------------------------

namespace {

// Packets of 16 x 16 pictures written once by libavcodec's encoders (a key
// frame and an inter frame of Sorenson H.263, two Screen Video frames, one
// Screen Video 2 frame), so the seeds need no encoder.
std::vector<QByteArray> h263Packets()
{
    return {
    QByteArray::fromHex("000084000808111ea80e03dc0300b80c0fc81d03266901802b0600841c0fb20701ee41801106007c2181d06006c1000f"
                       "8300c60c02d81d51a0c00e8300243f128180f900e0380c03903001e01a0c0b58068920c0068300340a106003c4bf8208"
                       "3001c0c0770301dea87cacb81007e7a501c07b8060170181f903a064cb203800ca0c0108301680e0023fc180610601cc"
                       "740c0328300840c0448300c62481dd05003003aa87c3f060294038181050601c803c030bc0f806007843060198142a84"
                       "a040041f0301ca0c0488300e23e03e0c0092a0089a0701ee01805c0607e40e81933400e002403004e0e07dc8380f7224"
                       "0301e2240301f00c013030050a01806106018010c4a04304000f0602207e0c08a8300342582841800e0601c81801012c"
                       "180ea0601c22a0603d8180110601cc180880603c41801d00c06018c1808812e096109c"),
    QByteArray::fromHex("000084040808310298441a0040601b018018060110180550700113e0c0390300cc0c0180300d80c04b8300dc1041800f"
                       "2f0600504b0820c0460300220c0390f41800e12c4908401e5e250210300da0800c039891148920c0068405607fc3ef09"
                       "700f288ac78ad5c0cc1a00406006c180640606447e14806838009c0e00200078380f660c02683002c0c0158f8180f9f0"
                       "3001a10d5d00f06018c0344803f28300200c00f82060fc1806d0820c07c78100180711f0070925e3e06043c1801312c0"
                       "34215040560c03402083002210021df781a0780601428300e00c038838009e0e00238903f0600501807200d060060180"
                       "470701ef4780c0367c1807206003c218960c0080300d00c00e8300720c0082bfc060054210f820842f83001e0c034830"
                       "0265e0c02a8300e20860c0348411f50603cc180170601901801f0840c0130300e2108bfc258f9e")};
}

std::vector<QByteArray> screenVideoPackets()
{
    return {
    QByteArray::fromHex("30103010006078daabe898b162c7891b2f7e704868587844645410e017344c58b0e1c085071f1804140c1c021208f109"
                       "1a88c64f20d18208122d0820d1020f122d7020d1020b122d3020d1020d122d5020d10209122d1020d1020e122d6020d1"
                       "02009dc17410"),
    QByteArray::fromHex("30103010006078da5bb5ebd4ad57bfb8a4b4acbca2b2aaba66ad22c05fb4e9d0a5479f9884948c9c82928a9a2611e213"
                       "34108d3f89440bba48b4a089440baa48b4a088440bb248b42089440ba248b42088440bbc48b4c089440bac48b4c08844"
                       "0b0051667a10")};
}

std::vector<QByteArray> screenVideo2Packets()
{
    return {
    QByteArray::fromHex("3010301000008f1078da3ba7ffecebffdd5312d7aa1f7d7b6ff3f7ca1efb254ff7aebe56f8debcfdef9cc55b334ff13d"
                       "baf27bd60487956c07cfdc9af439a2436ec1919d5d97025e8b35df99d1b4d103bbae737053b1eb42988a5d17c254ecba"
                       "10a662d7853015bb2e84a9b8fc0d331597bf61a6e2f237cc545cfe86998acbdf305371f91b662aee9883988a3be620a6"
                       "020003cf3f10")};
}

QByteArray le16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char(v >> 8);
    return b;
}

// Streams of each codec placed side by side, their ratios stepping on each
// frame; the H.263 packets also go to VP6, VP6 with alpha and an unknown
// codec, whose decoders must refuse them cleanly.
QByteArray videoMovie()
{
    MovieBuilder m(64, 48, 12, 8);
    struct Stream {
        std::uint8_t codec;
        std::uint8_t flags;
        std::vector<QByteArray> packets;
    };
    const std::vector<Stream> streams = {{2, 0x02, h263Packets()},       {3, 0x01, screenVideoPackets()},
                                         {6, 0x00, screenVideo2Packets()}, {4, 0x04, h263Packets()},
                                         {5, 0x00, h263Packets()},        {9, 0x00, h263Packets()}};
    std::vector<std::uint16_t> ids;
    for (const Stream& s : streams) {
        QByteArray header = le16(std::uint16_t(s.packets.size())) + le16(16) + le16(16);
        header.append(char(s.flags));
        header.append(char(s.codec));
        ids.push_back(m.defineRaw(60, header));
    }
    for (int frame = 0; frame < 2; ++frame) {
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (std::size_t(frame) < streams[i].packets.size())
                m.rawTag(61, le16(ids[i]) + le16(std::uint16_t(frame)) + streams[i].packets[std::size_t(frame)]);
            PlaceObject p;
            p.depth = std::uint16_t(i + 1);
            p.ratio = std::uint16_t(frame);
            if (frame == 0) {
                p.characterId = ids[i];
                p.matrix = Matrix::translate(Twips((i % 3) * 320), Twips((i / 3) * 320));
            } else {
                p.move = true;
            }
            m.place(p);
        }
        m.showFrame();
    }
    return m.finish();
}

} // namespace

std::vector<Seed> hostileSwfSeeds()
{
    return {{QStringLiteral("hostile-seek-loop"), seekLoopMovie()},
            {QStringLiteral("hostile-self-placing-sprite"), selfPlacingMovie()},
            {QStringLiteral("hostile-button-cycle"), buttonCycleMovie()}};
}

namespace {

// Every sound tag: PCM and ADPCM event sounds with every sound info field,
// one started by name, a button with sounds, and streams on the main
// timeline (ADPCM) and in a sprite (8-bit PCM).
QByteArray soundMovie()
{
    MovieBuilder m(20, 20, 12);
    const auto tone = sineWave(440, 0.05, 11025, 0.5);
    const auto pcm = defineSound(m, pcmSound(tone, 11025));
    const auto adpcm = defineSound(m, adpcmSound(tone, 11025, 2));
    m.exportAsset(adpcm, QStringLiteral("beep"));
    Button b;
    b.version = 2;
    b.records = {testsupport::buttonRecord(testsupport::solidRect(m, 0xFF0000, 0, 0, 20, 20), 1,
                                           testsupport::ButtonStates::all())};
    const auto button = m.defineButton(b);
    std::array<std::optional<ButtonSound>, 4> sounds;
    sounds[Button::EnterSound] = ButtonSound{pcm, {}};
    sounds[Button::PressSound] = ButtonSound{adpcm, {}};
    defineButtonSound(m, button, sounds);

    SpriteBuilder sprite;
    SoundStreamHead pcmHead;
    pcmHead.encoding = SoundEncoding{SoundFormat::PcmLittle, 1, false, false};
    pcmHead.samplesPerBlock = 919;
    soundStreamHead(sprite, pcmHead, 1);
    for (int f = 0; f < 3; ++f) {
        soundStreamBlock(sprite, pcm8(sineWave(300, 919.0 / 11025, 11025)));
        sprite.showFrame();
    }
    const auto spriteId = m.defineSprite(sprite);

    SoundStreamHead head;
    head.encoding = SoundEncoding{SoundFormat::Adpcm, 1, true, false};
    head.samplesPerBlock = 919;
    soundStreamHead(m, head);
    SoundInfo info;
    info.noMultiple = true;
    info.inPoint = 10;
    info.outPoint = 400;
    info.loops = 2;
    info.envelope = {EnvelopePoint{0, 0, 32768}, EnvelopePoint{200, 32768, 0}};
    startSound(m, pcm, info);
    m.place(button, 1);
    m.place(spriteId, 2);
    for (int f = 0; f < 4; ++f) {
        soundStreamBlock(m, encodeAdpcm(sineWave(500, 919.0 / 11025, 11025), 1, 4));
        if (f == 2)
            startSound2(m, QStringLiteral("beep"));
        if (f == 3) {
            SoundInfo stop;
            stop.stop = true;
            startSound(m, pcm, stop);
        }
        m.showFrame();
    }
    return m.finish();
}

} // namespace

std::vector<Seed> swfSeeds()
{
    std::vector<Seed> seeds;
    {
        MovieBuilder m(1, 1, 1, 1);
        m.showFrame();
        seeds.push_back({QStringLiteral("empty-v1"), m.finish()});
    }
    seeds.push_back({QStringLiteral("shapes"), shapesMovie()});
    seeds.push_back({QStringLiteral("bitmaps"), bitmapsMovie(Compression::None)});
    seeds.push_back({QStringLiteral("bitmaps-zlib"), bitmapsMovie(Compression::Zlib)});
    seeds.push_back({QStringLiteral("text"), textMovie()});
    seeds.push_back({QStringLiteral("morph"), morphMovie()});
    seeds.push_back({QStringLiteral("sprites"), spritesMovie(Compression::None)});
    seeds.push_back({QStringLiteral("sprites-zlib"), spritesMovie(Compression::Zlib)});
    seeds.push_back({QStringLiteral("sprites-lzma"), spritesMovie(Compression::Lzma)});
    seeds.push_back({QStringLiteral("looping-actions"), loopingActionsMovie()});
    seeds.push_back({QStringLiteral("scripts"), scriptsMovie()});
    seeds.push_back({QStringLiteral("sounds"), soundMovie()});
    seeds.push_back({QStringLiteral("video"), videoMovie()});
    return seeds;
}

} // namespace qev::fuzz
