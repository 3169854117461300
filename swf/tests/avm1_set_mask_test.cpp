// setMask: a clip drawn only where another clip's shapes are, the mask
// itself not drawn; following the mask as it moves; setMask(null) ending it.

#include "engine_test_support.h"
#include "qev/swf/ActionAssembler.h"

namespace qev::swf {
namespace {

using testing::colorNear;
using testing::frameImage;
using testing::loadOrFail;
using writer::ActionAssembler;
using writer::MovieBuilder;
using writer::ShapeBuilder;
using writer::SpriteBuilder;
namespace op = writer::op;

constexpr QRgb kBackground = qRgb(255, 255, 255), kContent = qRgb(220, 30, 30), kMask = qRgb(30, 30, 220);

// A 100 x 100 white stage: "content", a red sprite over the whole stage,
// and above it "m", a sprite with a blue 20 x 20 square at (20, 20). Frame i
// runs scripts[i] and stops on the last.
QByteArray maskMovie(const std::vector<ActionAssembler>& scripts)
{
    MovieBuilder m(100, 100, 10);
    m.setBackgroundColor(writer::rgb(0xFFFFFF));
    SpriteBuilder content;
    content.place(m.defineShape(ShapeBuilder().fill(writer::solid(writer::rgb(0xDC1E1E))).rect(0, 0, 100, 100)), 1);
    content.showFrame();
    SpriteBuilder mask;
    mask.place(m.defineShape(ShapeBuilder().fill(writer::solid(writer::rgb(0x1E1EDC))).rect(0, 0, 20, 20)), 1);
    mask.showFrame();
    PlaceObject c;
    c.characterId = m.defineSprite(content);
    c.depth = 1;
    c.name = QStringLiteral("content");
    m.place(c);
    PlaceObject k;
    k.characterId = m.defineSprite(mask);
    k.depth = 2;
    k.name = QStringLiteral("m");
    k.matrix = writer::translatePx(20, 20);
    m.place(k);
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        ActionAssembler a = scripts[i];
        if (i + 1 == scripts.size())
            a.op(op::Stop);
        m.script(a.bytes());
        m.showFrame();
    }
    return m.finish();
}

ActionAssembler setMask(bool on)
{
    ActionAssembler a;
    if (on)
        a.push("m").op(op::GetVariable);
    else
        a.pushNull();
    a.push(1).push("content").op(op::GetVariable).push("setMask").op(op::CallMethod).op(op::Pop);
    return a;
}

TEST(Avm1SetMask, TheClipShowsOnlyUnderTheMasksShapesAndTheMaskIsNotDrawn)
{
    Player player;
    loadOrFail(player, maskMovie({setMask(true)}));
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(30, 30), kContent)); // under the mask: the content, not the mask's blue
    EXPECT_TRUE(colorNear(image.pixel(70, 70), kBackground));
    EXPECT_TRUE(colorNear(image.pixel(5, 5), kBackground));
}

TEST(Avm1SetMask, TheMaskClipsWhereItIsNowAndNullEndsIt)
{
    ActionAssembler move;
    move.push("m").op(op::GetVariable).push("_x").push(60).op(op::SetMember);
    Player player;
    loadOrFail(player, maskMovie({setMask(true), move, setMask(false)}));
    player.advance();
    QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(70, 30), kContent));
    EXPECT_TRUE(colorNear(image.pixel(30, 30), kBackground));
    player.advance();
    image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(5, 5), kContent)); // the whole clip again
    EXPECT_TRUE(colorNear(image.pixel(70, 30), kMask));  // and the former mask is drawn again
}

} // namespace
} // namespace qev::swf
