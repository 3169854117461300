// Movies that movies load: loadMovie, unloadMovie, loadMovieNum and
// unloadMovieNum, whether a script calls them as MovieClip methods or they
// arrive as GetURL actions aimed at a level or (GetURL2's load-target
// flag) at a clip. Where the movie comes from and when it arrives is the
// host's business.

#include "avm1/ClipObject.h"
#include "avm1/Host.h"
#include "avm1/Vm.h"
#include "avm1/builtins/Support.h"

namespace qev::swf::avm1 {

namespace {

using builtins::arg;
using builtins::liveClip;

} // namespace

std::optional<int> levelNumber(const QString& window)
{
    const QString w = window.trimmed();
    if (w.size() <= 6 || w.left(6).compare(u"_level", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    bool ok = false;
    const int n = w.mid(6).toInt(&ok);
    if (!ok || n < 0 || !w.at(6).isDigit())
        return std::nullopt;
    return n;
}

void openUrl(Vm& vm, ClipObject* from, const QString& url, const QString& window, std::uint8_t flags)
{
    Host* host = vm.host();
    if (!host)
        return;
    if (flags & kLoadVariablesFlag) {
        loadVariables(vm, vm.resolveTarget(from, window), url);
        return;
    }
    // fscommand: calls keep their own way to the host.
    if (url.startsWith(QStringLiteral("fscommand:"), Qt::CaseInsensitive)) {
        host->getUrl(url, window, flags);
        return;
    }
    if (const auto level = levelNumber(window)) {
        host->loadMovieNum(*level, url);
        return;
    }
    if (flags & kLoadTargetFlag) {
        if (ClipObject* clip = vm.resolveTarget(from, window))
            host->loadMovie(clip, url);
        else
            vm.warn(QStringLiteral("loadMovie: no clip \"%1\" to load %2 into").arg(window, url));
        return;
    }
    host->getUrl(url, window, flags);
}

void installClipLoading(Vm& vm)
{
    Object* proto = vm.clipPrototype;
    if (!proto)
        return;
    proto->defineMethod(vm, QStringLiteral("loadMovie"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ClipObject* c = liveClip(vm, t); c && !args.empty())
            vm.host()->loadMovie(c, vm.toString(args[0]));
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("unloadMovie"), [](Vm& vm, const Value& t, Args&) -> Value {
        if (ClipObject* c = liveClip(vm, t))
            vm.host()->loadMovie(c, QString());
        return Value();
    });
    proto->defineMethod(vm, QStringLiteral("getURL"), [](Vm& vm, const Value& t, Args& args) -> Value {
        if (ClipObject* c = liveClip(vm, t); c && !args.empty())
            openUrl(vm, c, vm.toString(args[0]), args.size() > 1 ? vm.toString(args[1]) : QString(), 0);
        return Value();
    });
}

} // namespace qev::swf::avm1
