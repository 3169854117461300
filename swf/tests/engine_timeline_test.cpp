// The timeline: placing, moving, replacing and removing across frames,
// sprites running on their own, frame actions and looping, and seeking that
// gives exactly the frame that playing gives.

#include "engine/Timeline.h"
#include "engine_test_support.h"
#include "qev/swf/Reader.h"

namespace qev::swf {
namespace {

using namespace writer;
using testing::colorNear;
using testing::frameImage;
using testing::loadOrFail;

std::uint16_t square(MovieBuilder& m, std::uint32_t colour, double size = 10)
{
    return testsupport::solidRect(m, colour, 0, 0, size, size);
}

// Runs a movie through the engine alone, to look at its display lists.
struct EngineRun {
    explicit EngineRun(const QByteArray& bytes) : movie(readMovie(bytes)), engine(movie), state(engine.initial()) {}
    void step(bool moveMain = true) { engine.step(state, moveMain); }
    const engine::Instance* at(int depth) const
    {
        auto it = state.main.list.find(depth);
        return it == state.main.list.end() ? nullptr : &it->second;
    }
    Movie movie;
    engine::TimelineEngine engine;
    engine::RootState state;
};

TEST(EngineDisplayList, PlaceMoveReplaceAndRemoveAcrossFrames)
{
    MovieBuilder m(100, 100, 12);
    const auto a = square(m, 0xff0000);
    const auto b = square(m, 0x0000ff);
    m.place(a, 1, translatePx(10, 10));
    m.showFrame();
    m.move(1, translatePx(50, 20));
    m.showFrame();
    PlaceObject replace; // a new character at the same depth, the matrix kept
    replace.move = true;
    replace.depth = 1;
    replace.characterId = b;
    m.place(replace);
    m.showFrame();
    m.remove(1);
    m.showFrame();
    EngineRun run(m.finish());

    ASSERT_NE(run.at(1), nullptr);
    EXPECT_EQ(run.at(1)->characterId, a);
    EXPECT_EQ(run.at(1)->matrix.tx, px(10));
    run.step();
    EXPECT_EQ(run.at(1)->characterId, a);
    EXPECT_EQ(run.at(1)->matrix.tx, px(50));
    EXPECT_EQ(run.at(1)->matrix.ty, px(20));
    run.step();
    EXPECT_EQ(run.at(1)->characterId, b);
    EXPECT_EQ(run.at(1)->matrix.tx, px(50));
    run.step();
    EXPECT_EQ(run.at(1), nullptr);
}

TEST(EngineDisplayList, PixelsFollowTheTimeline)
{
    MovieBuilder m(100, 100, 12);
    m.setBackgroundColor(rgb(0xffffff));
    m.place(square(m, 0xff0000), 1, translatePx(0, 0));
    m.showFrame();
    m.move(1, translatePx(50, 50));
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    QImage f0 = frameImage(player);
    EXPECT_TRUE(colorNear(f0.pixel(5, 5), 0xffff0000));
    EXPECT_TRUE(colorNear(f0.pixel(55, 55), 0xffffffff));
    player.advance();
    QImage f1 = frameImage(player);
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_TRUE(colorNear(f1.pixel(5, 5), 0xffffffff));
    EXPECT_TRUE(colorNear(f1.pixel(55, 55), 0xffff0000));
}

// A sprite of three frames showing a square at x = 0, 10, 20.
std::uint16_t walker(MovieBuilder& m, const ActionList& lastFrameActions = {})
{
    const auto sq = square(m, 0x00ff00);
    SpriteBuilder s;
    s.place(sq, 1, translatePx(0, 0));
    s.showFrame();
    s.move(1, translatePx(10, 0));
    s.showFrame();
    s.move(1, translatePx(20, 0));
    if (!lastFrameActions.empty())
        s.actions(lastFrameActions);
    s.showFrame();
    return m.defineSprite(s);
}

Twips walkerX(const EngineRun& run, int depth)
{
    const engine::Instance* inst = run.at(depth);
    if (!inst || inst->sprite.empty() || inst->sprite.front().list.empty())
        return -1;
    return inst->sprite.front().list.begin()->second.matrix.tx;
}

TEST(EngineSprites, SpritesStartAtTheirFirstFrameAndRunWhilePlaced)
{
    MovieBuilder m(100, 100, 12);
    const auto w = walker(m);
    m.place(w, 1);
    m.showFrame();
    m.showFrame();
    m.place(w, 2); // a second copy placed later starts at its own frame 0
    m.showFrame();
    m.showFrame();
    m.showFrame();
    EngineRun run(m.finish());
    EXPECT_EQ(walkerX(run, 1), 0);
    run.step();
    EXPECT_EQ(walkerX(run, 1), px(10));
    run.step();
    EXPECT_EQ(walkerX(run, 1), px(20));
    EXPECT_EQ(walkerX(run, 2), 0);
    run.step();
    EXPECT_EQ(walkerX(run, 1), 0); // looped
    EXPECT_EQ(walkerX(run, 2), px(10));
    // With the main timeline standing, sprites still move on.
    run.step(false);
    EXPECT_EQ(walkerX(run, 1), px(10));
    EXPECT_EQ(walkerX(run, 2), px(20));
}

// A sprite starts over only when its tags end with End right after a
// ShowFrame; one that stops short waits on its last frame for frames that
// never come.
TEST(EngineSprites, OnlyASpriteWhoseTagsEndProperlyStartsOver)
{
    enum class Ending { ShowFrameThenEnd, NoEnd, TagsAfterTheLastShowFrame };
    for (const Ending ending : {Ending::ShowFrameThenEnd, Ending::NoEnd, Ending::TagsAfterTheLastShowFrame}) {
        MovieBuilder m(100, 100, 12);
        const auto sq = square(m, 0x00ff00);
        SpriteBuilder s;
        s.place(sq, 1, translatePx(0, 0));
        s.showFrame();
        s.move(1, translatePx(10, 0));
        s.showFrame();
        s.move(1, translatePx(20, 0));
        if (ending != Ending::TagsAfterTheLastShowFrame)
            s.showFrame();
        BitWriter body;
        body.u16(3);
        body.bytes(s.tags());
        if (ending != Ending::NoEnd)
            body.bytes(QByteArray(2, '\0')); // End
        const auto sprite = m.defineRaw(39, body.data());
        m.place(sprite, 1);
        for (int i = 0; i < 8; ++i)
            m.showFrame();
        EngineRun run(m.finish());
        ASSERT_EQ(run.movie.find<Sprite>(sprite)->timeline.frames.size(), 3u);
        for (int i = 0; i < 3; ++i)
            run.step();
        // Three steps from frame 0: back at frame 0 when it loops.
        EXPECT_EQ(walkerX(run, 1), ending == Ending::ShowFrameThenEnd ? 0 : px(20)) << int(ending);
        run.step();
        EXPECT_EQ(walkerX(run, 1), ending == Ending::ShowFrameThenEnd ? px(10) : px(20)) << int(ending);
    }
}

TEST(EngineSprites, ASpriteStopsItselfOnItsLastFrame)
{
    MovieBuilder m(100, 100, 12);
    const auto w = walker(m, {act::stop()});
    m.place(w, 1);
    for (int i = 0; i < 6; ++i)
        m.showFrame();
    EngineRun run(m.finish());
    for (int i = 0; i < 5; ++i)
        run.step();
    EXPECT_EQ(walkerX(run, 1), px(20));
    EXPECT_FALSE(run.at(1)->sprite.front().playing);
}

TEST(EngineActions, StopHoldsTheMovieOnItsFrame)
{
    MovieBuilder m(100, 100, 12);
    m.showFrame();
    m.actions({act::stop()});
    m.showFrame();
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    EXPECT_TRUE(player.isPlaying());
    for (int i = 0; i < 5; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_FALSE(player.isPlaying());
    player.setPlaying(true);
    player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
}

TEST(EngineActions, AMovieThatStopsOnItsLastFrameStaysThere)
{
    MovieBuilder m(100, 100, 12);
    m.showFrame();
    m.showFrame();
    m.actions({act::stop()});
    m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    for (int i = 0; i < 10; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
}

TEST(EngineActions, LoopsAfterTheLastFrameUnlessLoopIsOff)
{
    MovieBuilder m(100, 100, 12);
    for (int i = 0; i < 3; ++i)
        m.showFrame();
    Player player;
    loadOrFail(player, m.finish());
    player.advance();
    player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
    player.advance();
    EXPECT_EQ(player.currentFrame(), 0);
    player.setLoops(false);
    for (int i = 0; i < 5; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
}

TEST(EngineActions, GotoFrameAndGotoLabelJump)
{
    MovieBuilder m(100, 100, 12);
    m.showFrame();                                            // 0
    m.actions({act::gotoLabel(QStringLiteral("end")), act::play()});
    m.showFrame();                                            // 1: jump to "end" and play on
    m.showFrame();                                            // 2: skipped
    m.label(QStringLiteral("end"));
    m.showFrame();                                            // 3
    m.actions({act::gotoFrame(1)});
    m.showFrame();                                            // 4: back to 1, stopped
    m.showFrame();                                            // 5
    Player player;
    loadOrFail(player, m.finish());
    player.advance();
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_TRUE(player.isPlaying());
    player.advance();
    // Frame 4 sends the movie to frame 1, whose own actions then jump on to
    // "end" and play.
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_TRUE(player.isPlaying());
}

TEST(EngineActions, NextAndPreviousFrameStop)
{
    MovieBuilder m(100, 100, 12);
    m.showFrame();
    m.actions({act::nextFrame()});
    m.showFrame(); // 1 -> 2
    m.showFrame();
    m.actions({act::previousFrame()});
    m.showFrame(); // 3 -> 2
    Player player;
    loadOrFail(player, m.finish());
    player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
    player.setPlaying(true);
    player.advance();
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
}

// Frames a seek passes over run no scripts, but their gotos still decide
// where the movie ends up. GotoFrame2 takes the value pushed last in the
// order the block runs, with the constant pool in force then.
TEST(EngineActions, PassedFramesFollowJumpsToThePoolAndPushInForce)
{
    Action pool;
    pool.code = std::uint8_t(ActionCode::ConstantPool);
    pool.constants = {QStringLiteral("end")};
    Action pushConstant;
    pushConstant.code = std::uint8_t(ActionCode::Push);
    pushConstant.pushed = {PushValue{PushValue::Type::Constant, {}, 0}};
    // Bytes: Jump 0..5, Push 5..10, GotoFrame2 10..14, Jump 14..19, pool 19..28, Jump 28..33.
    const ActionList poolDefinedLater = {act::jump(14),  pushConstant, act::gotoFrame2(false),
                                         act::jump(14),  pool,         act::jump(-28)};
    // Push 3 (8 bytes), Jump (5) over Push 2 (8), GotoFrame2: the stack holds 3.
    const ActionList pushBeforeAJump = {act::pushNumber(3), act::jump(8), act::pushNumber(2), act::gotoFrame2(false)};
    for (const auto& [block, expected] : {std::pair{poolDefinedLater, 4}, std::pair{pushBeforeAJump, 2}}) {
        MovieBuilder m(100, 100, 12);
        m.showFrame();
        m.actions(block);
        m.showFrame();
        m.showFrame();
        m.showFrame();
        m.label(QStringLiteral("end"));
        m.showFrame();
        EngineRun run(m.finish());
        run.engine.step(run.state, true, false);
        ASSERT_EQ(run.state.navigation.size(), 1u) << expected;
        EXPECT_EQ(run.state.navigation[0].kind, engine::Navigation::Kind::Goto);
        EXPECT_EQ(run.state.navigation[0].frame, expected);
    }
}

TEST(EngineActions, PassedFramesIgnoreAGotoWhoseFrameTheyCannotKnow)
{
    // A register and a value the stack computed: the replay keeps no stack.
    Action pushRegister;
    pushRegister.code = std::uint8_t(ActionCode::Push);
    pushRegister.pushed = {PushValue{PushValue::Type::Register, {}, 1}};
    for (const ActionList& block : {ActionList{pushRegister, act::gotoFrame2(false)},
                                    ActionList{act::pushNumber(1), act::pushNumber(2), act::raw(0x0A),
                                               act::gotoFrame2(false)},
                                    ActionList{act::raw(0x96, QByteArray("\x09\x05\x00", 3)), act::gotoFrame2(false)}}) {
        MovieBuilder m(100, 100, 12);
        m.showFrame();
        m.actions(block);
        m.showFrame();
        m.showFrame();
        EngineRun run(m.finish());
        run.engine.step(run.state, true, false);
        EXPECT_TRUE(run.state.navigation.empty());
    }
}

TEST(EngineActions, ActionsTargetANamedSprite)
{
    MovieBuilder m(100, 100, 12);
    const auto w = walker(m);
    PlaceObject p;
    p.depth = 1;
    p.characterId = w;
    p.name = QStringLiteral("clip");
    m.place(p);
    m.showFrame();
    ActionList a;
    Action setTarget;
    setTarget.code = std::uint8_t(ActionCode::SetTarget);
    setTarget.label = QStringLiteral("clip");
    a.push_back(setTarget);
    a.push_back(act::stop());
    Action back = setTarget;
    back.label.clear();
    a.push_back(back);
    m.actions(a);
    m.showFrame();
    m.showFrame();
    EngineRun run(m.finish());
    run.step();
    EXPECT_EQ(walkerX(run, 1), px(10));
    EXPECT_FALSE(run.at(1)->sprite.front().playing);
    run.step();
    EXPECT_EQ(walkerX(run, 1), px(10));
}

// A movie with a moving shape, a sprite that loops on its own, a sprite
// placed half way and frame actions in a sprite.
QByteArray busyMovie(int frames)
{
    MovieBuilder m(120, 80, 24);
    m.setBackgroundColor(rgb(0xffffff));
    const auto w = walker(m);
    const auto stopper = walker(m, {act::stop()});
    const auto box = square(m, 0x0000ff, 20);
    for (int f = 0; f < frames; ++f) {
        if (f == 0) {
            m.place(box, 1, translatePx(0, 40));
            m.place(w, 2, translatePx(0, 0));
        } else {
            m.move(1, translatePx(f * 3 % 100, 40));
        }
        if (f == frames / 3)
            m.place(stopper, 3, translatePx(40, 20));
        if (f == frames / 2)
            m.remove(2);
        if (f == frames / 2 + 5)
            m.place(w, 2, translatePx(60, 0));
        m.showFrame();
    }
    return m.finish();
}

TEST(EngineSeeking, SeekingGivesThePictureThatPlayingGives)
{
    constexpr int frames = 70;
    const QByteArray bytes = busyMovie(frames);
    Player playing;
    loadOrFail(playing, bytes);
    std::vector<QImage> played;
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(playing.currentFrame(), f);
        played.push_back(frameImage(playing));
        playing.advance();
    }

    Player seeking;
    loadOrFail(seeking, bytes);
    // Backwards two at a time, as the player's rewind does, then forwards.
    for (int f = frames - 1; f >= 0; f -= 2) {
        seeking.gotoFrame(f);
        ASSERT_EQ(seeking.currentFrame(), f);
        EXPECT_EQ(frameImage(seeking), played[f]) << "backwards to frame " << f;
    }
    for (int f = 0; f < frames; f += 2) {
        seeking.gotoFrame(f);
        EXPECT_EQ(frameImage(seeking), played[f]) << "forwards to frame " << f;
    }
    // Jumps in both directions, and the frames they land on play on the same.
    for (int f : {50, 3, 66, 17, 17, 0, 33}) {
        seeking.gotoFrame(f);
        EXPECT_EQ(frameImage(seeking), played[f]) << "jump to frame " << f;
        if (f + 1 < frames) {
            seeking.setPlaying(true);
            seeking.advance();
            EXPECT_EQ(frameImage(seeking), played[f + 1]) << "playing on from frame " << f;
        }
    }
}

TEST(EngineSeeking, FramesOutOfRangeAreClamped)
{
    Player player;
    loadOrFail(player, busyMovie(10));
    player.gotoFrame(-5);
    EXPECT_EQ(player.currentFrame(), 0);
    player.gotoFrame(1000);
    EXPECT_EQ(player.currentFrame(), 9);
    player.gotoFrame(std::numeric_limits<int>::min());
    EXPECT_EQ(player.currentFrame(), 0);
    player.gotoFrame(std::numeric_limits<int>::max());
    EXPECT_EQ(player.currentFrame(), 9);
}

TEST(EngineSeeking, SeekingDoesNotStartOrStopPlayback)
{
    Player player;
    loadOrFail(player, busyMovie(10));
    player.setPlaying(false);
    player.gotoFrame(5);
    EXPECT_FALSE(player.isPlaying());
    player.setPlaying(true);
    player.gotoFrame(2);
    EXPECT_TRUE(player.isPlaying());
}

} // namespace
} // namespace qev::swf
