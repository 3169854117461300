// The classes that tell a movie what this player is and what it cannot do:
// System.capabilities and System.security, Stage.displayState,
// LocalConnection between the movie's own connections, XMLSocket without a
// network, ExternalInterface without a page and FileReference without file
// dialogs. Driven through the machine the way scripts drive them; what
// waits for the script to finish runs when the test calls runDeferred, as
// the engine does after its actions.

#include "avm1/ArrayObject.h"
#include "avm1/Vm.h"

#include <gtest/gtest.h>

using namespace qev::swf::avm1;

namespace {

class PlayerClasses : public ::testing::Test {
protected:
    PlayerClasses() { vm.onTrace = [this](const QString& line) { log << line; }; }

    Vm vm{8, nullptr};
    QStringList log;

    Value global(const char* name) { return vm.getMember(Value::fromObject(vm.global()), QString::fromUtf8(name)); }
    Value get(const Value& o, const char* name) { return vm.getMember(o, QString::fromUtf8(name)); }
    Value path(const char* dotted)
    {
        const QStringList parts = QString::fromUtf8(dotted).split(u'.');
        Value v = Value::fromObject(vm.global());
        for (const QString& p : parts)
            v = vm.getMember(v, p);
        return v;
    }
    QString text(const Value& v) { return vm.toString(v); }
    Value call(const Value& o, const char* name, Args args = {})
    {
        return vm.callMethod(o, QString::fromUtf8(name), std::move(args));
    }
    Value make(const char* dottedClass, Args args = {}) { return vm.construct(path(dottedClass), args); }
    static Value str(const char* s) { return Value::fromString(QString::fromUtf8(s)); }

    // A method on o that logs "name:" and its arguments, comma-separated;
    // object arguments log their `name` member when they have one.
    void logMethod(const Value& o, const char* name)
    {
        const QString method = QString::fromUtf8(name);
        vm.setMember(o, method, Value::fromObject(vm.newNative([this, method](Vm& vm, const Value&, Args& args) {
            QStringList parts;
            for (const Value& a : args)
                parts << (a.isObject() && !vm.getMember(a, QStringLiteral("level")).isUndefined()
                              ? vm.toString(vm.getMember(a, QStringLiteral("level")))
                              : vm.toString(a));
            log << method + u':' + parts.join(u',');
            return Value();
        })));
    }
};

TEST_F(PlayerClasses, CapabilitiesDescribeAStandAlonePlayerOnLinuxAndCannotBeChanged)
{
    const Value caps = path("System.capabilities");
    ASSERT_TRUE(caps.isObject());
    EXPECT_EQ(text(get(caps, "os")), QStringLiteral("Linux"));
    EXPECT_EQ(text(get(caps, "playerType")), QStringLiteral("StandAlone"));
    EXPECT_TRUE(get(caps, "hasAudio").boolean);
    EXPECT_TRUE(get(caps, "hasMP3").boolean);
    EXPECT_FALSE(get(caps, "isDebugger").boolean);
    EXPECT_FALSE(get(caps, "hasPrinting").boolean);
    EXPECT_TRUE(text(get(caps, "version")).startsWith(QStringLiteral("LNX ")));
    EXPECT_EQ(text(get(caps, "language")).size() >= 2, true);
    const QString server = text(get(caps, "serverString"));
    EXPECT_TRUE(server.contains(QStringLiteral("OS=Linux"))) << server.toStdString();
    EXPECT_TRUE(server.contains(QStringLiteral("A=t&"))) << server.toStdString();
    EXPECT_TRUE(server.contains(QStringLiteral("DEB=f"))) << server.toStdString();
    vm.setMember(caps, QStringLiteral("os"), str("Windows"));
    EXPECT_EQ(text(get(caps, "os")), QStringLiteral("Linux"));
    // A script sees every capability when it enumerates them.
    EXPECT_GE(vm.enumerate(caps.object).size(), 20u);
}

TEST_F(PlayerClasses, AMovieFromADiscRunsInTheLocalSandboxWithNetwork)
{
    EXPECT_EQ(text(path("System.security.sandboxType")), QStringLiteral("localWithNetwork"));
    EXPECT_TRUE(call(path("System.security"), "allowDomain", {str("example.com")}).isUndefined());
    EXPECT_TRUE(path("System.exactSettings").boolean);
    Vm swf6(6, nullptr);
    EXPECT_FALSE(swf6.getMember(swf6.getMember(swf6.global(), QStringLiteral("System")), QStringLiteral("exactSettings"))
                     .boolean);
}

TEST_F(PlayerClasses, DisplayStateChangesOnlyForItsTwoWordsAndTellsListenersOfEachChange)
{
    const Value stage = global("Stage");
    Value listener = Value::fromObject(vm.newObject());
    logMethod(listener, "onFullScreen");
    call(stage, "addListener", {listener});
    EXPECT_EQ(text(get(stage, "displayState")), QStringLiteral("normal"));
    vm.setMember(stage, QStringLiteral("displayState"), str("A"));
    vm.setMember(stage, QStringLiteral("displayState"), str("normal"));
    EXPECT_TRUE(log.isEmpty()) << log.join(u'|').toStdString();
    vm.setMember(stage, QStringLiteral("displayState"), str("FULLSCREEN"));
    EXPECT_EQ(text(get(stage, "displayState")), QStringLiteral("fullScreen"));
    vm.setMember(stage, QStringLiteral("displayState"), str("fullscreen"));
    vm.setMember(stage, QStringLiteral("displayState"), str("Normal"));
    EXPECT_EQ(text(get(stage, "displayState")), QStringLiteral("normal"));
    EXPECT_EQ(log, QStringList({QStringLiteral("onFullScreen:true"), QStringLiteral("onFullScreen:false")}));
}

TEST_F(PlayerClasses, LocalConnectionsOfTheMovieReachEachOtherOnceTheSenderIsDone)
{
    const Value receiver = make("LocalConnection");
    const Value other = make("LocalConnection");
    const Value sender = make("LocalConnection");
    logMethod(receiver, "greet");
    logMethod(sender, "onStatus");
    EXPECT_TRUE(call(receiver, "connect", {str("menu")}).boolean);
    EXPECT_FALSE(call(other, "connect", {str("MENU")}).boolean);    // the name is taken, whatever its case
    EXPECT_FALSE(call(receiver, "connect", {str("second")}).boolean); // one name per connection
    EXPECT_EQ(text(call(sender, "domain")), QStringLiteral("localhost"));
    EXPECT_TRUE(call(sender, "send", {str("menu"), str("greet"), str("hi"), Value::fromNumber(2)}).boolean);
    EXPECT_TRUE(call(sender, "send", {str("nobody"), str("greet")}).boolean);
    EXPECT_FALSE(call(sender, "send", {str("menu")}).boolean); // no method named
    EXPECT_TRUE(log.isEmpty());
    vm.runDeferred();
    EXPECT_EQ(log, QStringList({QStringLiteral("greet:hi,2"), QStringLiteral("onStatus:status"),
                                QStringLiteral("onStatus:error")}));
    // Once closed, the name is free for another connection.
    call(receiver, "close");
    EXPECT_TRUE(call(other, "connect", {str("menu")}).boolean);
}

TEST_F(PlayerClasses, AnXmlSocketNeverConnects)
{
    const Value socket = make("XMLSocket");
    logMethod(socket, "onConnect");
    EXPECT_FALSE(call(socket, "connect", {str("localhost"), Value::fromNumber(80)}).boolean);
    EXPECT_TRUE(call(socket, "connect", {str("localhost"), Value::fromNumber(8001)}).boolean);
    EXPECT_TRUE(log.isEmpty());
    vm.runDeferred();
    EXPECT_EQ(log, QStringList({QStringLiteral("onConnect:false")}));
    // Text that a socket hands over reaches onXML as a parsed document.
    Value got;
    vm.setMember(socket, QStringLiteral("onXML"), Value::fromObject(vm.newNative([&got](Vm&, const Value&, Args& args) {
        got = args.empty() ? Value() : args[0];
        return Value();
    })));
    call(socket, "onData", {str("<a b=\"1\"/>")});
    ASSERT_TRUE(got.isObject());
    EXPECT_EQ(text(get(get(got, "firstChild"), "nodeName")), QStringLiteral("a"));
}

TEST_F(PlayerClasses, ExternalInterfaceHasNoPageButWritesValuesAsItsXml)
{
    const Value ei = path("flash.external.ExternalInterface");
    ASSERT_TRUE(ei.isObject());
    EXPECT_FALSE(get(ei, "available").boolean);
    EXPECT_TRUE(call(ei, "call", {str("alert"), str("x")}).isNull());
    EXPECT_FALSE(call(ei, "addCallback", {str("f"), Value::null(), Value::fromObject(vm.newObject())}).boolean);

    EXPECT_EQ(text(call(ei, "_escapeXML", {str("a<b>&\"'")})), QStringLiteral("a&lt;b&gt;&amp;&quot;&apos;"));
    EXPECT_TRUE(call(ei, "_escapeXML", {str("")}).isNull());
    EXPECT_TRUE(call(ei, "_escapeXML").isNull());
    EXPECT_EQ(text(call(ei, "_unescapeXML", {str("&lt;&amp;amp;")})), QStringLiteral("<&amp;"));

    Object* inner = vm.newArray({Value::fromBool(true), str("")});
    Object* array = vm.newArray({Value::fromNumber(1.5), Value::fromObject(inner), Value::null()});
    EXPECT_EQ(text(call(ei, "_toXML", {Value::fromObject(array)})),
              QStringLiteral("<array><property id=\"0\"><number>1.5</number></property>"
                             "<property id=\"1\"><array><property id=\"0\"><true/></property>"
                             "<property id=\"1\"><string>null</string></property></array></property>"
                             "<property id=\"2\"><null/></property></array>"));
    EXPECT_EQ(text(call(ei, "_argumentsToXML", {Value::fromObject(array)})),
              QStringLiteral("<arguments><array><property id=\"0\"><true/></property>"
                             "<property id=\"1\"><string>null</string></property></array><null/></arguments>"));
    Object* plain = vm.newObject();
    plain->define(QStringLiteral("k"), str("<v>"));
    EXPECT_EQ(text(call(ei, "_toXML", {Value::fromObject(plain)})),
              QStringLiteral("<object><property id=\"k\"><string>&lt;v&gt;</string></property></object>"));
    EXPECT_EQ(text(call(ei, "_toXML", {Value()})), QStringLiteral("<undefined/>"));
    EXPECT_EQ(text(call(ei, "_toXML", {global("Object")})), QStringLiteral("<null/>"));
    EXPECT_EQ(text(call(ei, "_arrayToXML", {Value::fromBool(true)})), QStringLiteral("<array></array>"));
    // A value that holds itself ends in null instead of running forever.
    ArrayObject* loop = vm.newArray();
    vm.setMember(Value::fromObject(loop), QStringLiteral("0"), Value::fromObject(loop));
    EXPECT_TRUE(text(call(ei, "_toXML", {Value::fromObject(loop)})).contains(QStringLiteral("<null/>")));
}

TEST_F(PlayerClasses, FileDialogsAreCancelledAndDownloadsCannotOpenTheirAddress)
{
    const Value list = make("flash.net.FileReferenceList");
    Value listener = Value::fromObject(vm.newObject());
    logMethod(listener, "onCancel");
    logMethod(listener, "onSelect");
    logMethod(listener, "onIOError");
    call(list, "addListener", {listener});
    EXPECT_TRUE(get(list, "fileList").isUndefined());
    EXPECT_TRUE(call(list, "browse").boolean);
    EXPECT_TRUE(log.isEmpty());
    vm.runDeferred();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("onCancel:")));
    log.clear();

    const Value file = make("flash.net.FileReference");
    call(file, "addListener", {listener});
    EXPECT_FALSE(call(file, "upload", {str("http://example.com/up")}).boolean);
    EXPECT_FALSE(call(file, "download").boolean);
    EXPECT_TRUE(call(file, "download", {str("http://example.com/get?x=1"), str("notes.txt")}).boolean);
    EXPECT_TRUE(get(file, "name").isUndefined());
    vm.runDeferred();
    ASSERT_EQ(log.size(), 3) << log.join(u'|').toStdString();
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("onSelect:")));
    EXPECT_EQ(log[1], QStringLiteral("Error opening URL 'http://example.com/get?x=1'"));
    EXPECT_TRUE(log[2].startsWith(QStringLiteral("onIOError:")));
    EXPECT_EQ(text(get(file, "name")), QStringLiteral("notes.txt"));
    EXPECT_EQ(text(get(file, "type")), QStringLiteral(".txt"));
    EXPECT_TRUE(get(file, "creator").isUndefined());
}

TEST_F(PlayerClasses, BitmapDataKeepsItsSizeLimitsAndPremultipliedPixels)
{
    auto bitmap = [this](double w, double h, Args more = {}) {
        Args args{Value::fromNumber(w), Value::fromNumber(h)};
        args.insert(args.end(), more.begin(), more.end());
        return vm.construct(path("flash.display.BitmapData"), args);
    };
    EXPECT_TRUE(bitmap(2880, 2880).isObject());
    EXPECT_TRUE(bitmap(2881, 1).isUndefined());
    EXPECT_TRUE(bitmap(0, 5).isUndefined());
    Vm swf10(10, nullptr);
    const Value cls10 = swf10.getMember(
        swf10.getMember(swf10.getMember(swf10.global(), QStringLiteral("flash")), QStringLiteral("display")),
        QStringLiteral("BitmapData"));
    auto make10 = [&](double w, double h) {
        Args args{Value::fromNumber(w), Value::fromNumber(h)};
        return swf10.construct(cls10, args);
    };
    EXPECT_TRUE(make10(8191, 1).isObject());
    EXPECT_TRUE(make10(8192, 1).isUndefined());
    EXPECT_TRUE(make10(4095, 4096).isObject());
    EXPECT_TRUE(make10(4096, 4096).isUndefined());

    const Value b = bitmap(3, 2, {Value::fromBool(true), Value::fromNumber(0x80FF0000)});
    EXPECT_EQ(vm.toNumber(get(b, "width")), 3);
    EXPECT_EQ(vm.toNumber(get(b, "height")), 2);
    EXPECT_TRUE(get(b, "transparent").boolean);
    vm.setMember(b, QStringLiteral("width"), Value::fromNumber(100));
    EXPECT_EQ(vm.toNumber(get(b, "width")), 3);
    auto pixel32 = [&](const Value& bmp, int x, int y) {
        return vm.toNumber(call(bmp, "getPixel32", {Value::fromNumber(x), Value::fromNumber(y)}));
    };
    EXPECT_EQ(pixel32(b, 2, 1), double(std::int32_t(0x80FF0000)));
    // Written with no alpha, a colour is gone; with a little, it loses precision.
    call(b, "setPixel32", {Value::fromNumber(0), Value::fromNumber(0), Value::fromNumber(0x00FFFFFF)});
    EXPECT_EQ(pixel32(b, 0, 0), 0);
    call(b, "setPixel32", {Value::fromNumber(1), Value::fromNumber(0), Value::fromNumber(0x12121212)});
    EXPECT_EQ(pixel32(b, 1, 0), double(0x120E0E0E));
    call(b, "setPixel", {Value::fromNumber(2), Value::fromNumber(0), Value::fromNumber(0xBBBBBB)});
    EXPECT_EQ(vm.toNumber(call(b, "getPixel", {Value::fromNumber(2), Value::fromNumber(0)})), double(0xBBBBBB));
    EXPECT_EQ(pixel32(b, 9, 9), 0); // outside

    // An opaque bitmap keeps every alpha at 255.
    const Value opaque = bitmap(2, 2, {Value::fromBool(false), Value::fromNumber(0)});
    call(opaque, "setPixel32", {Value::fromNumber(0), Value::fromNumber(0), Value::fromNumber(0x00123456)});
    EXPECT_EQ(pixel32(opaque, 0, 0), double(std::int32_t(0xFF123456)));

    Object* rect = vm.newObject();
    rect->define(QStringLiteral("x"), Value::fromNumber(1));
    rect->define(QStringLiteral("y"), Value::fromNumber(-5));
    rect->define(QStringLiteral("width"), Value::fromNumber(10));
    rect->define(QStringLiteral("height"), Value::fromNumber(6));
    call(opaque, "fillRect", {Value::fromObject(rect), Value::fromNumber(0xFF00FF00)});
    EXPECT_EQ(pixel32(opaque, 1, 0), double(std::int32_t(0xFF00FF00)));
    EXPECT_EQ(pixel32(opaque, 1, 1), double(std::int32_t(0xFF000000)));
    EXPECT_EQ(pixel32(opaque, 0, 0), double(std::int32_t(0xFF123456)));

    // threshold: where the masked source pixel compares true the colour
    // goes in, elsewhere the source when asked to copy it.
    const Value dest = bitmap(2, 2, {Value::fromBool(true), Value::fromNumber(0)});
    Args threshold{opaque, get(opaque, "rectangle"), Value(), str("=="), Value::fromNumber(0xFF00FF00),
                   Value::fromNumber(0xFFFF0000), Value::fromNumber(0xFFFFFFFF), Value::fromBool(true)};
    EXPECT_EQ(vm.toNumber(call(dest, "threshold", threshold)), 1);
    EXPECT_EQ(pixel32(dest, 1, 0), double(std::int32_t(0xFFFF0000)));
    EXPECT_EQ(pixel32(dest, 0, 0), double(std::int32_t(0xFF123456)));
    threshold[3] = str("<>");
    EXPECT_EQ(vm.toNumber(call(dest, "threshold", threshold)), 0);

    const Value copy = call(b, "clone");
    call(b, "dispose");
    EXPECT_EQ(vm.toNumber(get(b, "width")), -1);
    EXPECT_EQ(vm.toNumber(call(b, "getPixel", {Value::fromNumber(0), Value::fromNumber(0)})), -1);
    EXPECT_EQ(pixel32(copy, 2, 1), double(std::int32_t(0x80FF0000)));
    const Value r = get(copy, "rectangle");
    EXPECT_EQ(vm.toNumber(get(r, "width")), 3);
}

} // namespace
