// Movies that are broken or hostile at the level of the timeline: the
// engine must neither hang nor recurse without end, and must keep playing
// what it can.

#include "engine_test_support.h"

namespace qev::swf {
namespace {

using namespace writer;
using testsupport::ButtonStates;
using testsupport::defineButtonSpriteCycle;
using testsupport::defineSelfPlacingSprite;
using testsupport::solidRect;
using testing::colorNear;
using testing::frameImage;

TEST(EngineBadInput, UndecodableBytesLeaveNoMovie)
{
    Player player;
    EXPECT_FALSE(player.loadBytes(QByteArray()).isEmpty());
    EXPECT_FALSE(player.loadBytes(QByteArray("not a movie at all")).isEmpty());
    EXPECT_FALSE(player.hasMovie());
    player.advance();
    player.gotoFrame(3);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(player.frameCount(), 0);
}

TEST(EngineBadInput, AFailedLoadDropsTheMovieHeldBefore)
{
    MovieBuilder m(50, 50, 12);
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    EXPECT_FALSE(player.loadBytes(QByteArray("CWS\x09garbage", 11)).isEmpty());
    EXPECT_FALSE(player.hasMovie());
}

TEST(EngineBadInput, TruncatedMoviePlaysWhatIsThere)
{
    MovieBuilder m(50, 50, 12);
    m.setBackgroundColor(rgb(0xffffff));
    m.place(m.defineShape(ShapeBuilder().fill(solid(rgb(0xff0000))).rect(0, 0, 50, 50)), 1);
    m.showFrame();
    for (int i = 0; i < 20; ++i)
        m.showFrame();
    QByteArray bytes = m.finish();
    // The End tag and the last three ShowFrame tags (two bytes each) go.
    bytes.chop(8);
    Player player;
    ASSERT_TRUE(player.loadBytes(bytes).isEmpty());
    EXPECT_EQ(player.frameCount(), 18);
    EXPECT_TRUE(colorNear(frameImage(player).pixel(25, 25), 0xffff0000));
    // Playing on loops round the frames that are there.
    for (int i = 0; i < 40; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 40 % 18);
    player.gotoFrame(1000);
    EXPECT_EQ(player.currentFrame(), 17);
    EXPECT_TRUE(colorNear(frameImage(player).pixel(25, 25), 0xffff0000));
}

TEST(EngineBadInput, ASpriteThatPlacesItselfIsBounded)
{
    // Sprite 2 places sprite 2: without a bound this nests for ever.
    MovieBuilder m(50, 50, 12);
    const auto shape = solidRect(m, 0x00ff00, 0, 0, 5, 5);
    const auto sprite = defineSelfPlacingSprite(m, shape, {translatePx(1, 1), translatePx(2, 1)}, 2);
    m.place(sprite, 1);
    m.showFrame();
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    for (int i = 0; i < 4; ++i)
        player.advance();
    player.gotoFrame(0);
    EXPECT_TRUE(colorNear(frameImage(player).pixel(2, 2), 0xff00ff00));
}

TEST(EngineBadInput, ACopyOfASpriteInsideItselfStaysEmpty)
{
    // Sprite 2 draws a square and places itself 20 px further on: the outer
    // copy shows, the inner one would nest without end and is left empty.
    MovieBuilder m(50, 50, 12);
    m.setBackgroundColor(rgb(0xffffff));
    const auto shape = solidRect(m, 0x00ff00, 0, 0, 10, 10);
    const auto sprite = defineSelfPlacingSprite(m, shape, {translatePx(20, 20)});
    m.place(sprite, 1);
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(5, 5), 0xff00ff00));
    EXPECT_TRUE(colorNear(image.pixel(25, 25), 0xffffffff));
}

TEST(EngineBadInput, AMaskHoldingItselfStillClipsToItsOwnShape)
{
    // The mask is a button showing sprite S; S draws a square and places the
    // button four times further on. Each copy would hold four more without
    // end; the inner copies add nothing, and the square still clips.
    MovieBuilder m(50, 50, 12);
    m.setBackgroundColor(rgb(0xffffff));
    const auto square = solidRect(m, 0x000000, 0, 0, 10, 10);
    const auto red = solidRect(m, 0xff0000, 0, 0, 50, 50);
    const std::uint16_t buttonId =
        defineButtonSpriteCycle(m, ButtonStates{true, false, false, true}, 4, translatePx(20, 20), square).button;

    PlaceObject mask;
    mask.version = 2;
    mask.depth = 1;
    mask.characterId = buttonId;
    mask.clipDepth = 2;
    m.place(mask);
    m.place(red, 2);
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    const QImage image = frameImage(player);
    EXPECT_TRUE(colorNear(image.pixel(5, 5), 0xffff0000));
    EXPECT_TRUE(colorNear(image.pixel(25, 25), 0xffffffff));
    EXPECT_TRUE(colorNear(image.pixel(45, 45), 0xffffffff));
}

TEST(EngineBadInput, ManyJumpsInOneBlockEndWhereTheLastOneGoes)
{
    // One action block jumps back and forth many times; the movie must end
    // on the last jump's frame, stopped by the stop after it.
    MovieBuilder m(50, 50, 12);
    ActionList jumps;
    for (int i = 0; i < 500; ++i)
        jumps.push_back(act::gotoFrame(1 + i % 3));
    jumps.push_back(act::gotoFrame(2));
    jumps.push_back(act::stop());
    m.actions(jumps);
    for (int f = 0; f < 4; ++f)
        m.showFrame();
    Player player;
    // The first frame's actions run as the movie is loaded.
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
}

TEST(EngineBadInput, ActionsThatJumpForEverDoNotHang)
{
    MovieBuilder m(50, 50, 12);
    // Frame 0 jumps to 1 and plays, frame 1 jumps back to 0 and plays.
    m.actions({act::gotoFrame(1), act::play()});
    m.showFrame();
    m.actions({act::gotoFrame(0), act::play()});
    m.showFrame();
    // A jump to itself inside one action block.
    m.actions({act::jump(-5)});
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    for (int i = 0; i < 10; ++i)
        player.advance();
    player.gotoFrame(2);
    EXPECT_EQ(player.currentFrame(), 2);
    player.setPlaying(true);
    player.advance();
    // Where the endless jumps leave the playhead depends on when a goto takes
    // effect; what must hold is that the calls came back and the player
    // still does what it is told.
    player.setPlaying(false);
    player.gotoFrame(2);
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
    player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
}

TEST(EngineBadInput, UnknownCharactersAndDepthsAreSkipped)
{
    MovieBuilder m(50, 50, 12);
    m.setBackgroundColor(rgb(0xffffff));
    const auto shape = m.defineShape(ShapeBuilder().fill(solid(rgb(0x0000ff))).rect(0, 0, 50, 50));
    m.place(999, 1);            // no such character
    m.move(7, translatePx(5, 5)); // nothing at depth 7
    m.remove(9);
    m.place(shape, 2);
    m.rawTag(200, QByteArray(10, '\x55')); // a tag nobody knows
    m.showFrame();
    Player player;
    ASSERT_TRUE(player.loadBytes(m.finish()).isEmpty());
    EXPECT_TRUE(colorNear(frameImage(player).pixel(25, 25), 0xff0000ff));
}

} // namespace
} // namespace qev::swf
