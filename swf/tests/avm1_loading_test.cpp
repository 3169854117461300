// Text that movies load: LoadVars, XML.load and loadVariables read the
// files beside the movie, decode URL-encoded variables and UTF-8, and
// deliver them a frame later through onData and onLoad; an address that
// is not a file beside the movie fails like a host that cannot be reached.

#include "script_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qev::swf {
namespace {

using writer::ActionAssembler;
using writer::MovieBuilder;
using writer::SpriteBuilder;
namespace op = writer::op;

// name = new <cls>();
void construct(ActionAssembler& a, const char* name, const char* cls)
{
    a.push(name).push(0).push(cls).op(op::NewObject).op(op::SetVariable);
}

// name.onLoad = function (ok) { trace(label + " " + ok + " " + this.<member>); }
void onLoadTracing(ActionAssembler& a, const char* name, const char* label, const char* member)
{
    ActionAssembler body;
    body.push(label).push(" ").op(op::Add2).push("ok").op(op::GetVariable).op(op::Add2);
    body.push(" ").op(op::Add2).push("this").op(op::GetVariable).push(member).op(op::GetMember);
    body.op(op::Add2).op(op::Trace);
    a.push(name).op(op::GetVariable).push("onLoad").function(QString(), {QStringLiteral("ok")}, body).op(op::SetMember);
}

// name.load(url);
void load(ActionAssembler& a, const char* name, const char* url)
{
    a.push(url).push(1).push(name).op(op::GetVariable).push("load").op(op::CallMethod).op(op::Pop);
}

// trace(label + variable);
void traceVariable(ActionAssembler& a, const char* label, const char* variable)
{
    a.push(label).push(variable).op(op::GetVariable).op(op::Add2).op(op::Trace);
}

class LoadingMovie : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void writeFile(const QString& relative, const QByteArray& bytes)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Plays the movie from a file in the folder, so that it has files beside it.
    script_test::ScriptRun playFromFolder(const QByteArray& movie, int frames)
    {
        writeFile(QStringLiteral("menu/movie.swf"), movie);
        script_test::ScriptRun run;
        Player player;
        player.setTraceHandler([&](const QString& line) { run.traces << line; });
        player.setWarningHandler([&](const QString& line) { run.warnings << line; });
        player.setVirtualClock(0, 0);
        const QString error = player.load(dir.filePath(QStringLiteral("menu/movie.swf")));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        for (int f = 1; f < frames; ++f)
            player.advance();
        return run;
    }
};

TEST_F(LoadingMovie, LoadVarsXmlAndLoadVariablesReadFilesBesideTheMovieAFrameLater)
{
    // "Üni code" percent-encoded with a plus for the space; "café" as raw UTF-8.
    writeFile(QStringLiteral("menu/data/vars.txt"), QByteArray("name=%C3%9Cni+code&word=caf\xC3\xA9&empty="));
    writeFile(QStringLiteral("menu/doc.xml"), QByteArray("<?xml version=\"1.0\"?><menu><item/></menu>"));
    // Outside the movie's folder: never read.
    writeFile(QStringLiteral("secret.txt"), QByteArray("name=secret"));

    ActionAssembler first;
    construct(first, "lv", "LoadVars");
    onLoadTracing(first, "lv", "lv", "name");
    load(first, "lv", "data/vars.txt?cache=1");
    first.push("loaded ").push("lv").op(op::GetVariable).push("loaded").op(op::GetMember).op(op::Add2).op(op::Trace);
    construct(first, "far", "LoadVars");
    onLoadTracing(first, "far", "far", "name");
    load(first, "far", "http://example.com/vars.txt");
    construct(first, "up", "LoadVars");
    onLoadTracing(first, "up", "up", "name");
    load(first, "up", "../secret.txt");
    construct(first, "doc", "XML");
    onLoadTracing(first, "doc", "xml", "firstChild");
    load(first, "doc", "doc.xml");
    // loadVariables("data/vars.txt", "_root"): GetURL2 with the load-variables and target flags.
    first.push("data/vars.txt").push("_root").getUrl2(0xC0);
    traceVariable(first, "frame1 ", "word");
    ActionAssembler second;
    traceVariable(second, "frame2 ", "word");
    ActionAssembler third;
    traceVariable(third, "frame3 ", "word");
    third.op(op::Stop);

    MovieBuilder m(100, 100, 10, 8);
    for (const ActionAssembler* s : {&first, &second, &third}) {
        m.script(s->bytes());
        m.showFrame();
    }
    const auto run = playFromFolder(m.finish(), 3);
    EXPECT_EQ(run.traces, QStringList({
                              QStringLiteral("loaded false"),
                              QStringLiteral("frame1 undefined"),
                              QStringLiteral("frame2 undefined"),
                              QStringLiteral("lv true Üni code"),
                              QStringLiteral("Error opening URL 'http://example.com/vars.txt'"),
                              QStringLiteral("far false undefined"),
                              QStringLiteral("Error opening URL '../secret.txt'"),
                              QStringLiteral("up false undefined"),
                              QStringLiteral("xml true <menu><item /></menu>"),
                              QStringLiteral("frame3 café"),
                          }))
        << run.traces.join(u'\n').toStdString();
}

TEST_F(LoadingMovie, AMovieBelowSwf6ReadsTextInTheSystemCodePage)
{
    // Byte 0xE9 is é in the code page of the C locale (1252).
    const QByteArray savedLocale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "C");
    writeFile(QStringLiteral("menu/vars.txt"), QByteArray("word=caf\xE9"));
    ActionAssembler first;
    first.push("vars.txt").push("_root").getUrl2(0xC0);
    ActionAssembler second;
    traceVariable(second, "", "word");
    ActionAssembler third = second;
    third.op(op::Stop);
    MovieBuilder m(100, 100, 10, 5);
    for (const ActionAssembler* s : {&first, &second, &third}) {
        m.script(s->bytes());
        m.showFrame();
    }
    const auto run = playFromFolder(m.finish(), 3);
    if (savedLocale.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", savedLocale);
    ASSERT_EQ(run.traces.size(), 2);
    EXPECT_EQ(run.traces[1], QStringLiteral("café"));
}

TEST_F(LoadingMovie, VariablesLoadedIntoAClipRaiseItsDataEvent)
{
    writeFile(QStringLiteral("menu/vars.txt"), QByteArray("label=Start&count=2"));
    MovieBuilder m(100, 100, 10, 6);
    SpriteBuilder sprite;
    sprite.script(ActionAssembler().op(op::Stop).bytes());
    sprite.showFrame();
    const std::uint16_t id = m.defineSprite(sprite);
    ActionAssembler onData;
    onData.push("data ").push("this").op(op::GetVariable).push("label").op(op::GetMember).op(op::Add2);
    onData.push(" ").op(op::Add2).push("count").op(op::GetVariable).op(op::Add2).op(op::Trace);
    PlaceObject place;
    place.characterId = id;
    place.depth = 1;
    place.matrix = Matrix{};
    place.name = QStringLiteral("box");
    place.clipActions = {ClipEventHandler{ClipEvent::Data, 0, onData.bytes()}};
    m.place(place);
    // loadVariables("vars.txt", "box")
    m.script(ActionAssembler().push("vars.txt").push("box").getUrl2(0xC0).bytes());
    m.showFrame();
    m.showFrame();
    m.script(ActionAssembler().op(op::Stop).bytes());
    m.showFrame();
    const auto run = playFromFolder(m.finish(), 3);
    EXPECT_EQ(run.traces, QStringList({QStringLiteral("data Start 2")})) << run.traces.join(u'\n').toStdString();
}

} // namespace
} // namespace qev::swf
