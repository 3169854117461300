// System: what the player and the machine can do (System.capabilities),
// the security sandbox a movie runs in (System.security) and the few
// settings scripts may read or change. The capabilities tell the truth
// about this player: a stand-alone player on Linux that plays sound and
// embedded video, has no printer support, no camera or microphone and no
// debugger.

#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QUrl>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

// The player's language as a two-letter code; Chinese names its script.
QString playerLanguage()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::TraditionalChineseScript ? QStringLiteral("zh-TW")
                                                                     : QStringLiteral("zh-CN");
    const QString name = locale.name().section(u'_', 0, 0);
    return name.size() == 2 ? name : QStringLiteral("en");
}

struct Screen {
    int width = 0;
    int height = 0;
    int dpi = 72;
};

Screen primaryScreen()
{
    Screen s;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return s;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const qreal ratio = screen->devicePixelRatio();
        s.width = int(screen->geometry().width() * ratio);
        s.height = int(screen->geometry().height() * ratio);
        s.dpi = int(screen->logicalDotsPerInch());
    }
    return s;
}

void installCapabilities(Vm& vm, Object* system)
{
    Object* caps = vm.newObject();
    system->define(QStringLiteral("capabilities"), Value::fromObject(caps), DontEnum);
    const Screen screen = primaryScreen();
    const QString language = playerLanguage();
    struct Flag {
        const char* name;
        const char* code; // in serverString
        bool value;
    };
    const Flag flags[] = {
        {"avHardwareDisable", "AVD", true}, // no camera or microphone is offered
        {"hasAccessibility", "ACC", false},  {"hasAudio", "A", true},
        {"hasAudioEncoder", "AE", false},    {"hasEmbeddedVideo", "EV", true},
        {"hasIME", "IME", false},            {"hasMP3", "MP3", true},
        {"hasPrinting", "PR", false},        {"hasScreenBroadcast", "SB", false},
        {"hasScreenPlayback", "SP", false},  {"hasStreamingAudio", "SA", true},
        {"hasStreamingVideo", "SV", true},   {"hasVideoEncoder", "VE", false},
        {"isDebugger", "DEB", false},        {"localFileReadDisable", "LFD", false},
    };
    const QString version = QStringLiteral("LNX 10,0,0,0");
    QStringList server;
    auto put = [&](const QString& name, const Value& v) { caps->define(name, v, DontDelete | ReadOnly); };
    for (const Flag& f : flags) {
        put(QString::fromLatin1(f.name), Value::fromBool(f.value));
        server << QStringLiteral("%1=%2").arg(QLatin1StringView(f.code), f.value ? u"t" : u"f");
    }
    const QString strings[][3] = {
        {QStringLiteral("language"), QStringLiteral("L"), language},
        {QStringLiteral("manufacturer"), QStringLiteral("M"), QStringLiteral("Linux")},
        {QStringLiteral("os"), QStringLiteral("OS"), QStringLiteral("Linux")},
        {QStringLiteral("playerType"), QStringLiteral("PT"), QStringLiteral("StandAlone")},
        {QStringLiteral("screenColor"), QStringLiteral("COL"), QStringLiteral("color")},
        {QStringLiteral("version"), QStringLiteral("V"), version},
    };
    for (const auto& s : strings) {
        put(s[0], Value::fromString(s[2]));
        server << s[1] + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(s[2]));
    }
    put(QStringLiteral("pixelAspectRatio"), Value::fromNumber(1));
    put(QStringLiteral("screenDPI"), Value::fromNumber(screen.dpi));
    put(QStringLiteral("screenResolutionX"), Value::fromNumber(screen.width));
    put(QStringLiteral("screenResolutionY"), Value::fromNumber(screen.height));
    server << QStringLiteral("AR=1") << QStringLiteral("DP=%1").arg(screen.dpi)
           << QStringLiteral("R=%1x%2").arg(screen.width).arg(screen.height);
    put(QStringLiteral("serverString"), Value::fromString(server.join(u'&')));
}

void installSecurity(Vm& vm, Object* system)
{
    Object* security = vm.newObject();
    system->define(QStringLiteral("security"), Value::fromObject(security), DontEnum);
    // A movie from a disc may read the files beside it; it reaches no
    // network, but it is not refused the way a local-only movie would be.
    security->define(QStringLiteral("sandboxType"), Value::fromString(QStringLiteral("localWithNetwork")),
                     DontEnum | DontDelete | ReadOnly);
    // There is no other domain to allow: these change nothing.
    for (const char* name : {"allowDomain", "allowInsecureDomain", "loadPolicyFile"})
        security->defineMethod(vm, QString::fromLatin1(name), [](Vm&, const Value&, Args&) -> Value {
            return Value();
        });
}

} // namespace

void installSystemObject(Vm& vm)
{
    const Value systemValue = vm.getMember(vm.global(), QStringLiteral("System"));
    if (!systemValue.isObject())
        return;
    Object* system = systemValue.object;
    installCapabilities(vm, system);
    installSecurity(vm, system);
    // Movies of SWF 7 and later ask for exact security domains.
    system->define(QStringLiteral("exactSettings"), Value::fromBool(vm.version() >= 7), DontEnum);
    system->define(QStringLiteral("useCodepage"), Value::fromBool(false), DontEnum);
    // The player shows no settings panel and keeps the clipboard to itself.
    system->defineMethod(vm, QStringLiteral("showSettings"), [](Vm&, const Value&, Args&) -> Value { return Value(); });
    system->defineMethod(vm, QStringLiteral("setClipboard"), [](Vm&, const Value&, Args&) -> Value {
        return Value::fromBool(false);
    });
}

} // namespace qev::swf::avm1
