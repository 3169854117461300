#pragma once

// The machine that runs one movie's ActionScript 1 and 2: the heap, the
// global object and built-in classes, conversions, member access, calls and
// the bytecode interpreter. It runs on the GUI thread, one script at a time.

#include "avm1/Function.h"
#include "avm1/Host.h"
#include "avm1/Object.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <random>
#include <vector>

namespace qev::swf::avm1 {

class SoundHost;

class ArrayObject;
class ClipObject;
class TextFieldObject;

// A value thrown by `throw` (or by a built-in raising an error) on its way
// to the nearest try block.
struct ThrownValue {
    Value value;
};

// A script that ran past a limit: the whole run is abandoned (the movie
// plays on).
struct ScriptAborted {
    QString reason;
};

// The registers a block sees. A function's own registers come first; past
// them (and for DefineFunction's functions, which have none) reads and
// writes reach the registers of the code that called it.
struct Registers {
    std::vector<Value> local;
    Registers* outer = nullptr;

    Value get(std::size_t i) const
    {
        const Registers* r = this;
        for (int hops = 0; r && hops < 1024; ++hops, r = r->outer)
            if (i < r->local.size())
                return r->local[i];
        return {};
    }
    void set(std::size_t i, const Value& v)
    {
        Registers* r = this;
        for (int hops = 0; r && hops < 1024; ++hops, r = r->outer)
            if (i < r->local.size()) {
                r->local[i] = v;
                return;
            }
    }
};

struct Limits {
    // Actions the scripts of one tick may execute together (every frame
    // script, event and timer of it); a loop that never ends is stopped
    // here, and the rest of the tick's scripts do not run.
    std::size_t maxActionsPerRun = 4'000'000;
    // Wall-clock budget of one tick's scripts, in milliseconds. The player
    // gave a script 15 s; a window stays answering only with far less.
    int maxRunMilliseconds = 1000;
    int maxCallDepth = 256;
    std::size_t maxStack = 1u << 20;
    int maxStringLength = 1 << 26;     // characters
    std::size_t maxArrayLength = 1u << 24; // elements
};

class Vm {
public:
    // version: the movie's SWF version (case sensitivity and conversions
    // change at 6 and 7). host may be null: clips then do not exist.
    Vm(int version, Host* host);
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    int version() const { return version_; }
    Heap& heap() { return heap_; }
    Host* host() const { return host_; }
    Limits& limits() { return limits_; }

    // ---- output -------------------------------------------------------
    std::function<void(const QString&)> onTrace;
    std::function<void(const QString&)> onWarning;
    // The player's sound, for the Sound class (none: scripts' sounds are silent).
    SoundHost* soundHost = nullptr;
    void warn(const QString& message);

    // ---- clock: getTimer, Date and intervals -----------------------------
    // Milliseconds since the movie started; the host advances it.
    double timer() const { return timerMs_; }
    void advanceClock(double ms);
    // The Date clock's origin (ms since 1970, UTC) and the local offset in
    // minutes east of UTC; the real clock and zone by default.
    double epochAtStart = 0;
    int timeZoneMinutes = 0;
    double nowEpochMs() const { return epochAtStart + timerMs_; }
    // Runs the intervals and timeouts that are due, as many firings of
    // each as fit into the time that passed (at most
    // maxTimerFiringsPerTurn in all); afterEach runs after every firing.
    void runTimers(const std::function<void()>& afterEach = {});
    static constexpr int maxTimerFiringsPerTurn = 1000;
    int addTimer(const Value& target, const Value& function, const QString& method, double ms, Args args, bool repeat);
    void clearTimer(int id);

    std::mt19937& random() { return random_; }

    // ---- the user's input, as Key, Mouse and Stage report it -------------
    struct Input {
        std::set<int> keysDown; // key codes (Key.LEFT, ...) held now
        int lastCode = 0;       // Key.getCode()
        int lastAscii = 0;      // Key.getAscii()
        double mouseX = 0;      // the pointer on the stage, in pixels
        double mouseY = 0;
        bool mouseDown = false;
        bool mouseShown = true;
        double stageWidth = 550; // pixels
        double stageHeight = 400;
    };
    Input input;

    // ---- built-ins -------------------------------------------------------
    Object* global() const { return global_; }
    Object* objectPrototype = nullptr;
    Object* functionPrototype = nullptr;
    Object* arrayPrototype = nullptr;
    Object* stringPrototype = nullptr;
    Object* numberPrototype = nullptr;
    Object* booleanPrototype = nullptr;
    Object* datePrototype = nullptr;
    Object* errorPrototype = nullptr;
    Object* clipPrototype = nullptr;
    Object* buttonPrototype = nullptr;
    Object* textFieldPrototype = nullptr;
    Object* textFormatPrototype = nullptr;

    Object* newObject();
    ArrayObject* newArray(std::vector<Value> elements = {});
    FunctionObject* newNative(NativeFunction fn, NativeFunction constructor = {});
    // A class: a constructor function whose prototype object is proto.
    FunctionObject* newClass(const QString& name, Object* proto, NativeFunction fn, NativeFunction constructor = {});
    // A clip object (a button's when proto is Button's prototype).
    ClipObject* newClip(std::uint64_t uid, Object* proto = nullptr);
    TextFieldObject* newTextField(std::uint64_t uid);
    // Raises an Error object with the message as a script exception.
    [[noreturn]] void throwError(const QString& message);

    // ---- conversions -------------------------------------------------------
    double toNumber(const Value& v);
    QString toString(const Value& v);
    bool toBoolean(const Value& v);
    // valueOf then toString (hint number) or toString then valueOf (hint string).
    Value toPrimitive(const Value& v, bool hintString = false);
    Object* toObject(const Value& v);
    QString typeOf(const Value& v);
    double toInteger(const Value& v);

    // ---- members -------------------------------------------------------
    Value getMember(const Value& target, const QString& name);
    Value getMember(Object* o, const QString& name);
    void setMember(const Value& target, const QString& name, const Value& v);
    void setMember(Object* o, const QString& name, const Value& v);
    bool deleteMember(Object* o, const QString& name);
    bool hasProperty(Object* o, const QString& name);
    // Enumerable names, own first then inherited, in the player's order.
    std::vector<QString> enumerate(Object* o);
    // Array-like helpers for built-ins.
    std::uint32_t lengthOf(Object* o);

    // ---- calls -------------------------------------------------------------
    Value call(const Value& function, const Value& thisValue, Args& args);
    Value callMethod(const Value& target, const QString& name, Args args = {});
    Value construct(const Value& constructor, Args& args);
    bool instanceOf(const Value& v, const Value& constructor);

    // ---- running code --------------------------------------------------------
    // Runs an action block (a frame script, an event handler's body) on a
    // clip. Uncaught throws and aborted scripts end the block with a warning.
    void runBlock(const std::shared_ptr<const QByteArray>& block, ClipObject* clip);
    // Calls an event handler method of an object (onEnterFrame, ...) if it
    // has one, the way runBlock runs a block.
    void runHandler(Object* target, const QString& name, Args args = {});
    // Calls a class's constructor on an object that already exists (a clip
    // of a symbol with a registered class), the way runBlock runs a block.
    void runConstructor(const Value& constructor, Object* self);
    // Runs an action block on the given scope with this; returns what a
    // Return action gave (undefined otherwise). Used by runBlock and calls.
    Value execute(const std::shared_ptr<const QByteArray>& block, std::uint32_t start, std::uint32_t end,
                  const ScopePtr& scope, const Value& thisValue, ClipObject* target,
                  std::shared_ptr<const std::vector<QString>> constants, Registers* registers,
                  int depth);
    int callDepth() const { return depth_; }

    // Work that must wait until the scripts running now have finished (a
    // dialog that answers at once) or for a number of ticks (a file that
    // loads). holder stays alive meanwhile. The host runs what is due
    // after its queue of actions (runDeferred) and counts ticks down once
    // per tick (tickDeferred).
    void defer(const Value& holder, std::function<void()> work, int ticks = 0);
    bool runDeferred();
    void tickDeferred();

    // Resolves a target path ("/a/b", "_root.a", "_parent", "a.b") from a clip.
    // What _root names for a script of the clip from: the nearest clip
    // from it upwards whose _lockroot is set, else the top of its tree (the
    // root of its level); the main timeline without a clip.
    ClipObject* rootOf(ClipObject* from);
    ClipObject* resolveTarget(ClipObject* from, const QString& path);
    ClipObject* clipFromValue(ClipObject* from, const Value& v);

    // ---- memory -------------------------------------------------------------
    // Collects unreachable objects; call only between runs. extraRoots
    // marks what the host holds (clip objects on the stage).
    void collectGarbage(const std::function<void(Marker&)>& extraRoots = {});
    // Objects the host keeps alive by id (clip objects).
    std::map<std::uint64_t, ClipObject*>& clips() { return clips_; }
    std::map<std::uint64_t, TextFieldObject*>& textFields() { return textFields_; }
    // Keeps an object alive for the machine's life: built-ins whose native
    // code holds it, whatever scripts delete.
    Object* pin(Object* o)
    {
        pinned_.push_back(o);
        return o;
    }

    // For the limits: the host brackets a tick's scripts with these, so
    // the budget covers all of them; a block run outside a tick has a
    // budget of its own.
    void beginTick();
    void endTick();
    void countAction();

private:
    friend class Interpreter;
    void installBuiltins();
    Value callScript(FunctionObject* f, const Value& thisValue, Args& args, Object* superObject);

    int version_;
    Host* host_;
    Heap heap_;
    Limits limits_;
    Object* global_ = nullptr;
    double timerMs_ = 0;
    std::mt19937 random_{0x5eed};
    int depth_ = 0;
    Registers* currentRegisters_ = nullptr; // of the block running now
    std::size_t actionsThisRun_ = 0;
    std::int64_t runStartedMs_ = 0;
    bool running_ = false;
    bool inTick_ = false;
    bool aborted_ = false; // the tick's budget is spent: no more scripts in it
    void beginRun();
    // Runs body as one script of the tick: an uncaught throw is reported
    // through trace, a script past the budget is stopped with a warning;
    // nested runs leave both to the outermost one.
    void runGuarded(const std::function<void()>& body);

    struct Timer {
        Value target;
        Value function;
        QString method;
        double interval = 0;
        double due = 0;
        Args args;
        bool repeat = true;
    };
    std::map<int, Timer> timers_;
    struct Deferred {
        Value holder;
        std::function<void()> work;
        int ticks = 0;
    };
    std::vector<Deferred> deferred_;
    int nextTimerId_ = 1;
    std::map<std::uint64_t, ClipObject*> clips_;
    std::map<std::uint64_t, TextFieldObject*> textFields_;
    std::vector<Object*> pinned_;
};

// The built-in classes, each installed on the global object.
void installObjectClass(Vm& vm);
void installFunctionClass(Vm& vm);
void installArrayClass(Vm& vm);
void installStringClass(Vm& vm);
void installNumberAndBooleanClasses(Vm& vm);
void installMathObject(Vm& vm);
void installDateClass(Vm& vm);
void installErrorClass(Vm& vm);
void installBroadcaster(Vm& vm);
void installGlobalFunctions(Vm& vm);
void installClipClass(Vm& vm);
void installButtonClass(Vm& vm);
void installPlaceholders(Vm& vm);
void installTimersAndFlags(Vm& vm);
void installGeomClasses(Vm& vm);
// flash.geom.Transform and the transform property of clips (TransformClass.cpp).
void installTransformClass(Vm& vm);
void installXmlClasses(Vm& vm);
void installInputClasses(Vm& vm);
void installClipGeometry(Vm& vm);
void installColorClass(Vm& vm);
void installClipDrawing(Vm& vm);
void installSoundClass(Vm& vm);
// Calls onSoundComplete of the Sound objects whose sounds ended.
void deliverSoundCompletions(Vm& vm);
void installTextClasses(Vm& vm);
// NetConnection, NetStream and Video (NetStreamClasses.cpp).
void installNetStreamClasses(Vm& vm);
// Moves the clocks of the streams that play on by ms and tells their
// handlers what happened (onStatus, onMetaData, onCuePoint).
void advanceNetStreams(Vm& vm, double ms);
// System.capabilities, System.security and System's settings (SystemObject.cpp).
void installSystemObject(Vm& vm);
// LocalConnection and XMLSocket (ConnectionClasses.cpp).
void installConnectionClasses(Vm& vm);
// flash.external.ExternalInterface (ExternalInterfaceClass.cpp).
void installExternalInterface(Vm& vm);
// flash.net.FileReference and FileReferenceList (FileReferenceClasses.cpp).
void installFileReferenceClasses(Vm& vm);
// LoadVars, XML.load and MovieClip.loadVariables (LoadingClasses.cpp).
void installLoadingClasses(Vm& vm);
// Loads the variables of the file at url beside the movie into target a
// frame later (loadVariables, loadVariablesNum).
void loadVariables(Vm& vm, ClipObject* target, const QString& url);
// MovieClip.loadMovie, unloadMovie and getURL (ClipLoading.cpp).
void installClipLoading(Vm& vm);
// GetURL2's flags: the window names a clip to load the movie into, or to
// load variables into.
constexpr std::uint8_t kLoadTargetFlag = 0x40;
constexpr std::uint8_t kLoadVariablesFlag = 0x80;
// getURL and the GetURL actions: an address aimed at "_levelN" loads a
// movie there (or unloads it, for an empty address), one aimed at a clip
// (kLoadTargetFlag) loads into that clip; every other address goes to the
// host's getUrl. from is the clip paths start from.
void openUrl(Vm& vm, ClipObject* from, const QString& url, const QString& window, std::uint8_t flags);
// N of a "_levelN" window, if it is one.
std::optional<int> levelNumber(const QString& window);
// flash.display.BitmapData (BitmapDataClass.cpp).
void installBitmapDataClass(Vm& vm);
void installTextSnapshotClass(Vm& vm);
// The path of a plain file at name relative to the movie's folder, or empty.
QString resolveBesideMovie(const QString& movieFolder, const QString& name);

} // namespace qev::swf::avm1
