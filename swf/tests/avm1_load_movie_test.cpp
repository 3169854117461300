// Movies that movies load: loadMovie into a clip and loadMovieNum into a
// level bring a movie beside the playing one a frame later, drawn where
// the clip stands (levels over _level0), its own characters kept apart
// from the playing movie's even where their ids are the same, its scripts
// running with _root at the loaded movie; unloading empties the clip or
// removes the level; files that are missing, broken or far away fail
// with a warning and leave the target as it was.

#include "engine_test_support.h"
#include "script_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

namespace qev::swf {
namespace {

using testing::colorNear;
using testing::frameImage;
using writer::ActionAssembler;
using writer::MovieBuilder;
using writer::ShapeBuilder;
using writer::SpriteBuilder;
namespace op = writer::op;

// GetURL2's flag: the window names a clip to load into.
constexpr std::uint8_t kLoadTargetFlagForTest = 0x40;

constexpr QRgb kWhite = qRgb(255, 255, 255), kBlue = qRgb(30, 30, 220), kRed = qRgb(220, 30, 30),
               kGreen = qRgb(30, 200, 30);

// object.method(argument) with one string argument, or none.
void callMethod(ActionAssembler& a, const char* object, const char* method, const char* argument = nullptr)
{
    if (argument)
        a.push(argument).push(1);
    else
        a.push(0);
    a.push(object).op(op::GetVariable).push(method).op(op::CallMethod).op(op::Pop);
}

// trace(expression) where expression is the value of a variable or path.
void traceValue(ActionAssembler& a, const char* name)
{
    a.push(name).op(op::GetVariable).op(op::Trace);
}

PlaceObject named(std::uint16_t id, std::uint16_t depth, const char* name, Matrix matrix = {})
{
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    p.name = QString::fromUtf8(name);
    p.matrix = matrix;
    return p;
}

// The playing movie: a 100 x 100 white stage with a blue 20 x 20 square
// (character 1) at the origin and "holder", an empty clip, at (50, 50).
// Frame i runs scripts[i]; the last frame stops.
QByteArray hostMovie(const std::vector<ActionAssembler>& scripts)
{
    MovieBuilder m(100, 100, 10, 8);
    m.setBackgroundColor(writer::rgb(0xFFFFFF));
    const auto blue = m.defineShape(ShapeBuilder().fill(writer::solid(writer::rgb(0x1E1EDC))).rect(0, 0, 20, 20));
    SpriteBuilder empty;
    empty.showFrame();
    m.place(named(m.defineSprite(empty), 1, "holder", writer::translatePx(50, 50)));
    m.place(blue, 2);
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        ActionAssembler a = scripts[i];
        if (i + 1 == scripts.size())
            a.op(op::Stop);
        m.script(a.bytes());
        m.showFrame();
    }
    return m.finish();
}

// A movie to load: a red 20 x 20 square, character 1 like the host's blue
// one, at its origin; "inner", an empty clip; a green 10 x 10 clip
// exported as "box" (with boxInit as its init actions); script on its
// only frame.
QByteArray loadedMovie(const ActionAssembler& script, const ActionAssembler* boxInit = nullptr)
{
    MovieBuilder m(40, 40, 30, 8);
    const auto red = m.defineShape(ShapeBuilder().fill(writer::solid(writer::rgb(0xDC1E1E))).rect(0, 0, 20, 20));
    SpriteBuilder empty;
    empty.showFrame();
    const auto inner = m.defineSprite(empty);
    SpriteBuilder box;
    box.place(m.defineShape(ShapeBuilder().fill(writer::solid(writer::rgb(0x1EC81E))).rect(0, 0, 10, 10)), 1);
    box.showFrame();
    const auto boxId = m.defineSprite(box);
    m.exportAsset(boxId, QStringLiteral("box"));
    if (boxInit)
        m.initScript(boxId, boxInit->bytes());
    m.place(red, 1);
    m.place(named(inner, 2, "inner"));
    m.script(script.bytes());
    m.showFrame();
    return m.finish();
}

class LoadMovie : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Player player;
    QStringList traces;
    QStringList warnings;

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void start(const QByteArray& host)
    {
        writeFile(QStringLiteral("host.swf"), host);
        player.setTraceHandler([this](const QString& line) { traces << line; });
        player.setWarningHandler([this](const QString& line) { warnings << line; });
        player.setVirtualClock(0, 0);
        const QString error = player.load(dir.filePath(QStringLiteral("host.swf")));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    QRgb pixelAt(int x, int y) const { return frameImage(player).pixel(x, y); }
};

TEST_F(LoadMovie, TheLoadedMovieReplacesTheClipsContentAtItsPlaceFromTheNextFrame)
{
    ActionAssembler child;
    child.trace("child runs");
    // _root of the loaded movie's scripts is the clip it was loaded into.
    child.push("_root").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    child.push("_root").op(op::GetVariable).push("this").op(op::GetVariable).op(op::StrictEquals).op(op::Trace);
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));

    ActionAssembler first;
    first.push("holder").op(op::GetVariable).push("mark").push("set by the host").op(op::SetMember);
    callMethod(first, "holder", "loadMovie", "child.swf");
    ActionAssembler second;
    traceValue(second, "holder._x");
    traceValue(second, "holder.mark");
    start(hostMovie({first, second, ActionAssembler()}));

    // Nothing arrives in the frame that asked for it.
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kWhite));
    EXPECT_FALSE(traces.contains(QStringLiteral("child runs")));

    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));   // the loaded square at the clip's place
    EXPECT_TRUE(colorNear(pixelAt(75, 75), kWhite)); // and no further
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kBlue));    // the host's character 1 is still its own
    // The clip keeps its place and name; what scripts gave it went with the content.
    EXPECT_EQ(traces, (QStringList{QStringLiteral("child runs"), QStringLiteral("_level0.holder"),
                                   QStringLiteral("true"), QStringLiteral("50"), QStringLiteral("undefined")}));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

// _url is the address of the file a clip's movie came from; _root inside a
// loaded movie stops at a clip of it that set _lockroot.
TEST_F(LoadMovie, UrlNamesEachMoviesOwnFileAndLockrootStopsRootInsideIt)
{
    ActionAssembler child;
    child.push("this").op(op::GetVariable).push("_url").op(op::GetMember).op(op::Trace);
    child.push("inner").op(op::GetVariable).push("_lockroot").pushBool(true).op(op::SetMember);
    // tellTarget ("inner") { trace(targetPath(_root)); }
    child.setTarget(QStringLiteral("inner"));
    child.push("_root").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    child.setTarget(QString());
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));
    ActionAssembler first;
    first.push("_url").op(op::GetVariable).op(op::Trace);
    callMethod(first, "holder", "loadMovie", "child.swf");
    start(hostMovie({first, ActionAssembler()}));
    player.advance();
    const QString folder = QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded);
    EXPECT_EQ(traces, (QStringList{folder + QStringLiteral("/host.swf"), folder + QStringLiteral("/child.swf"),
                                   QStringLiteral("_level0.holder.inner")}));
}

TEST_F(LoadMovie, AttachMovieInsideTheLoadedMovieFindsItsOwnSymbols)
{
    ActionAssembler child;
    child.push(5).push("b").push("box").push(3).push("this").op(op::GetVariable).push("attachMovie");
    child.op(op::CallMethod).op(op::Pop);
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));

    ActionAssembler first;
    // The global form: GetURL2 aimed at a clip.
    first.push("child.swf").push("holder").getUrl2(kLoadTargetFlagForTest);
    start(hostMovie({first, ActionAssembler()}));
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kGreen)); // the box over the red square
    EXPECT_TRUE(colorNear(pixelAt(65, 65), kRed));
}

TEST_F(LoadMovie, TheLoadedMoviesInitActionsRunOnceWithItsRoot)
{
    ActionAssembler init;
    init.push("init ").push("_root").op(op::GetVariable).op(op::TargetPath).op(op::Add2).op(op::Trace);
    ActionAssembler child;
    child.trace("frame");
    writeFile(QStringLiteral("child.swf"), loadedMovie(child, &init));
    ActionAssembler first;
    callMethod(first, "holder", "loadMovie", "child.swf");
    start(hostMovie({first, ActionAssembler()}));
    player.advance();
    player.advance();
    EXPECT_EQ(traces, (QStringList{QStringLiteral("init _level0.holder"), QStringLiteral("frame")}));
}

TEST_F(LoadMovie, LevelsStackOverLevelZeroAndUnloadAgain)
{
    ActionAssembler level;
    level.push("this").op(op::GetVariable).op(op::Trace);
    level.push("_root").op(op::GetVariable).push("_level1").op(op::GetVariable).op(op::StrictEquals).op(op::Trace);
    writeFile(QStringLiteral("level.swf"), loadedMovie(level));

    ActionAssembler first;
    first.getUrl(QStringLiteral("level.swf"), QStringLiteral("_level1"));
    traceValue(first, "_level1");
    ActionAssembler second;
    traceValue(second, "_level1.inner");
    second.push("_level1/inner").op(op::GetVariable).op(op::Trace); // slash syntax reaches it too
    second.push("_level1.inner").op(op::GetVariable).op(op::TargetPath).op(op::Trace);
    // A level is nothing the main timeline holds.
    second.push(0).push("_root").op(op::GetVariable).push("getNextHighestDepth").op(op::CallMethod).op(op::Trace);
    second.getUrl(QString(), QStringLiteral("_level1")); // unloadMovieNum(1)
    ActionAssembler third;
    traceValue(third, "_level1");
    start(hostMovie({first, second, third}));

    EXPECT_TRUE(colorNear(pixelAt(5, 5), kBlue));
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kRed)); // level 1 is drawn over level 0, at the origin
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kBlue));
    EXPECT_EQ(traces, (QStringList{QStringLiteral("undefined"), QStringLiteral("_level1"), QStringLiteral("true"),
                                   QStringLiteral("_level1.inner"), QStringLiteral("_level1.inner"),
                                   QStringLiteral("_level1.inner"), QStringLiteral("0"),
                                   QStringLiteral("undefined")}));
}

TEST_F(LoadMovie, LevelsStayWhenLevelZeroGoesBackAndClipsLoadedIntoGoWithTheirTimeline)
{
    writeFile(QStringLiteral("child.swf"), loadedMovie(ActionAssembler()));
    ActionAssembler second;
    second.getUrl(QStringLiteral("child.swf"), QStringLiteral("_level1"));
    callMethod(second, "holder", "loadMovie", "child.swf");
    start(hostMovie({ActionAssembler(), second, ActionAssembler(), ActionAssembler(), ActionAssembler()}));
    player.advance();
    player.advance();
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kRed));
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));
    // Seeking _level0 back to its first frame rebuilds its timeline: the
    // clip it placed is its empty self again; level 1 is no part of it.
    player.gotoFrame(0);
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kRed));
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kWhite));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST_F(LoadMovie, UnloadMovieEmptiesTheClipAndTellsItsHandlers)
{
    ActionAssembler child;
    ActionAssembler body;
    body.trace("unloaded");
    child.push("this").op(op::GetVariable).push("onUnload").function(QString(), {}, body).op(op::SetMember);
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));

    ActionAssembler first;
    callMethod(first, "holder", "loadMovie", "child.swf");
    ActionAssembler second;
    callMethod(second, "holder", "unloadMovie");
    ActionAssembler third;
    third.push("holder").op(op::GetVariable).op(op::Trace);
    start(hostMovie({first, ActionAssembler(), second, third, ActionAssembler()}));
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed)); // until the next frame
    player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kWhite));
    EXPECT_EQ(traces, (QStringList{QStringLiteral("unloaded"), QStringLiteral("_level0.holder")}));
}

TEST_F(LoadMovie, MissingBrokenAndFarAwayMoviesFailWithAWarningAndLeaveTheClipAlone)
{
    writeFile(QStringLiteral("broken.swf"), QByteArray("this is no movie"));
    writeFile(QStringLiteral("child.swf"), loadedMovie(ActionAssembler()));
    ActionAssembler first;
    callMethod(first, "holder", "loadMovie", "child.swf");
    ActionAssembler second;
    callMethod(second, "holder", "loadMovie", "missing.swf");
    callMethod(second, "holder", "loadMovie", "broken.swf");
    callMethod(second, "holder", "loadMovie", "http://example.com/menu.swf");
    callMethod(second, "holder", "loadMovie", "../host.swf");
    start(hostMovie({first, second, ActionAssembler(), ActionAssembler()}));
    for (int i = 0; i < 3; ++i)
        player.advance();
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));
    EXPECT_EQ(traces.filter(QStringLiteral("Error opening URL")).size(), 4) << traces.join(u'\n').toStdString();
    EXPECT_EQ(warnings.filter(QStringLiteral("loadMovie")).size(), 4) << warnings.join(u'\n').toStdString();
}

TEST_F(LoadMovie, AMovieThatLoadsItselfIntoItselfEveryFrameStaysBounded)
{
    ActionAssembler child;
    child.trace("again");
    callMethod(child, "this", "loadMovie", "child.swf");
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));
    ActionAssembler first;
    callMethod(first, "holder", "loadMovie", "child.swf");
    start(hostMovie({first, ActionAssembler()}));
    for (int i = 0; i < 30; ++i)
        player.advance();
    // Once a tick, each time the same movie: it arrived 30 times.
    EXPECT_EQ(traces.size(), 30);
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));
}

TEST_F(LoadMovie, AMovieIsNotLoadedIntoAClipOfItsOwn)
{
    ActionAssembler child;
    child.push("inner").op(op::GetVariable).op(op::Trace);
    callMethod(child, "inner", "loadMovie", "child.swf");
    writeFile(QStringLiteral("child.swf"), loadedMovie(child));
    ActionAssembler first;
    callMethod(first, "holder", "loadMovie", "child.swf");
    start(hostMovie({first, ActionAssembler(), ActionAssembler()}));
    player.advance();
    player.advance();
    // The clip inside the loaded movie stays as it was.
    EXPECT_EQ(traces, (QStringList{QStringLiteral("_level0.holder.inner"), QStringLiteral("Error opening URL 'child.swf'")}));
    EXPECT_EQ(warnings.filter(QStringLiteral("inside itself")).size(), 1);
    EXPECT_TRUE(colorNear(pixelAt(55, 55), kRed));
}

TEST_F(LoadMovie, LoadingIntoLevelZeroReplacesTheMovie)
{
    ActionAssembler next;
    next.trace("the new movie");
    writeFile(QStringLiteral("next.swf"), loadedMovie(next));
    ActionAssembler first;
    first.getUrl(QStringLiteral("next.swf"), QStringLiteral("_level0"));
    start(hostMovie({first, ActionAssembler()}));
    player.advance();
    EXPECT_EQ(traces, QStringList{QStringLiteral("the new movie")});
    EXPECT_EQ(player.stageSize(), QSize(40, 40));
    EXPECT_TRUE(colorNear(pixelAt(5, 5), kRed));
}

} // namespace
} // namespace qev::swf
