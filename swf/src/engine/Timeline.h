#pragma once

#include "avm1/Host.h"
#include "engine/MovieMerge.h"
#include "engine/PointHit.h"
#include "engine/State.h"

#include <QByteArray>
#include <QPointF>
#include <QRectF>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace qev::swf::avm1 {
class Vm;
class ClipObject;
class TextFieldObject;
class VideoObject;
} // namespace qev::swf::avm1

namespace qev::swf::engine {

// Runs timelines: applies a frame's control tags to a display list, moves
// placed sprites on, and hands frame scripts to the script machine. Frame
// scripts run after the frame's display list is built, the main timeline's
// before those of the sprites it holds. It is also the stage the script
// machine sees (avm1::Host).
class TimelineEngine : public avm1::Host {
public:
    explicit TimelineEngine(const Movie& movie);
    ~TimelineEngine() override;

    avm1::Vm& vm() { return *vm_; }

    // The state at the first frame: frame 0 built and, with runScripts, its
    // scripts run.
    RootState initial(bool runScripts = true);
    // One tick. With moveMain the main timeline moves to its next frame
    // (the caller makes sure there is one); placed sprites that are playing
    // move on, looping at their end; then the scripts of every frame
    // entered run, unless runScripts is false (frames passed over by a
    // seek). Navigation of the main timeline is left in state.navigation.
    void step(RootState& state, bool moveMain, bool runScripts = true);
    // Runs the main timeline's scripts of the frame it is on (a frame
    // reached through a snapshot rather than by stepping).
    void runFrameScripts(RootState& state);
    // Runs the intervals and timeouts that are due.
    void runTimers(RootState& state);

    // The first frame of a sprite on its own (for buttons that show one).
    TimelineState spriteFirstFrame(std::uint16_t spriteId);

    // Runs a button's action block on the timeline at path (depths from the
    // main timeline) as frame scripts run: the main timeline's navigation
    // is left in state.navigation.
    void runButtonActions(RootState& state, const std::vector<int>& path, const QByteArray& bytecode);

    // ---- the user's input (Input.cpp) ----
    enum class MouseEvent { Move, Down, Up };
    // The pointer moved, went down or came up at a stage point (twips):
    // clips' mouse events and onMouse* methods run, then Mouse's listeners
    // hear of it.
    bool mouseEvent(RootState& state, MouseEvent kind, QPointF stage);
    // A key went down or up. code is the key's code as Key reports it,
    // ascii its character (0 for none), buttonKey the code button key-press
    // conditions use (0 for none). Clips' key events, buttons' key-press
    // actions and Key's listeners run. Both return whether any script ran.
    bool keyEvent(RootState& state, bool down, int code, int ascii, int buttonKey);
    // Runs a clip's button-like handlers of event (a ClipEvent bit) and the
    // method of that name (onPress, onRelease, ...).
    void runClipEvent(RootState& state, const std::vector<int>& path, std::uint32_t event, const char16_t* method);
    // Whether the pointer treats the clip as a button: it has a handler of
    // a button event.
    bool isClipButton(const Instance& inst);
    // Rebuilds the live face of every button whose shown state changed
    // (Instance::buttonState, set from the mouse): objects shown in both
    // states stay and play on, the others are placed anew.
    void syncButtonFaces(RootState& state);

    // Frees script objects nothing reaches any more; state is what is on
    // the stage.
    void collectGarbage(const RootState& state);

    // Sprites inside sprites deeper than this are shown empty.
    static constexpr int maxNesting = 24;
    // Above this many instances in one movie, sprites placed are shown empty.
    static constexpr std::size_t maxInstances = 100000;
    // Frames rebuilt by jumps, and replayed actions, in one tick: a loop
    // that seeks a long sprite back and forth would otherwise cost actions
    // x frames.
    static constexpr std::size_t maxWorkPerTick = 100000;

    // ---- movies that scripts load (LoadMovie.cpp) ----
    // Lets scripts load movies: their characters join editable, the
    // movie this engine plays.
    void allowLoadingMovies(Movie& editable) { editable_ = &editable; }
    // Loading into _level0 replaces the whole movie (url as the script
    // gave it, path the file beside the movie; both empty: unloads it);
    // the player does that between ticks.
    std::function<void(const QString& url, const QString& path)> onReplaceMovie;
    // A loaded movie added characters to the dictionary.
    std::function<void()> onCharactersAdded;
    avm1::ClipObject* rootOf(avm1::ClipObject* clip) override;
    avm1::ClipObject* level(int n) override;
    void loadMovie(avm1::ClipObject* clip, const QString& url) override;
    void loadMovieNum(int level, const QString& url) override;
    // Levels above 0 are instances of the main timeline's list at these
    // keys, above every depth timelines and scripts use (scripts' depths
    // end at 2130690044, key 2130706428).
    static constexpr int levelKeyBase = 0x7F000000;
    static constexpr int maxLevel = (1 << 20) - 1;
    static bool isLevelKey(int key) { return key >= levelKeyBase; }
    // Distinct movies loaded in one session; each stays in the dictionary.
    static constexpr std::size_t maxLoadedMovies = 64;

    // ---- avm1::Host ----
    avm1::ClipObject* rootClip() override;
    bool isLive(avm1::ClipObject* clip) override;
    avm1::ClipObject* parentOf(avm1::ClipObject* clip) override;
    avm1::ClipObject* childByName(avm1::ClipObject* clip, const QString& name) override;
    void childNames(avm1::ClipObject* clip, std::vector<QString>& out) override;
    bool getProperty(avm1::ClipObject* clip, const QString& name, avm1::Value& out) override;
    bool setProperty(avm1::ClipObject* clip, const QString& name, const avm1::Value& v) override;
    int currentFrame(avm1::ClipObject* clip) override;
    int totalFrames(avm1::ClipObject* clip) override;
    int findLabel(avm1::ClipObject* clip, const QString& label) override;
    void gotoFrame(avm1::ClipObject* clip, int frame, bool play) override;
    void setPlaying(avm1::ClipObject* clip, bool playing) override;
    std::vector<QByteArray> frameScripts(avm1::ClipObject* clip, int frame) override;
    avm1::ClipObject* createClip(avm1::ClipObject* parent, const QString& name, int depth, const QString& linkage,
                                 avm1::ClipObject* duplicateOf) override;
    bool removeClip(avm1::ClipObject* clip) override;
    std::optional<int> depthOf(avm1::ClipObject* clip) override;
    avm1::ClipObject* clipAtDepth(avm1::ClipObject* parent, int depth) override;
    avm1::Object* objectAtDepth(avm1::ClipObject* parent, int depth) override;
    int nextHighestDepth(avm1::ClipObject* parent) override;
    void swapDepths(avm1::ClipObject* clip, int depth) override;
    void setMask(avm1::ClipObject* clip, avm1::ClipObject* mask) override;

    // stopAllSounds(): the player ends the movie's sounds.
    std::function<void()> onStopSounds;
    void stopSounds() override
    {
        if (onStopSounds)
            onStopSounds();
    }

    // Script depths and the display list's: timeline depth 1 is script depth -16383.
    static constexpr int depthOffset = 16384;
    QString targetPath(avm1::ClipObject* clip) override;
    bool clipToStage(avm1::ClipObject* clip, QTransform& out) override;
    bool clipBounds(avm1::ClipObject* clip, QRectF& out) override;
    void startDrag(avm1::ClipObject* clip, bool lockCenter, std::optional<QRectF> limits) override;
    void stopDrag() override;
    ScriptDrawing* editDrawing(avm1::ClipObject* clip) override;
    bool getTint(avm1::ClipObject* clip, Tint& out) override;
    void setTint(avm1::ClipObject* clip, const Tint& tint) override;
    bool getMatrix(avm1::ClipObject* clip, QTransform& out) override;
    void setMatrix(avm1::ClipObject* clip, const QTransform& m) override;
    void getUrl(const QString& url, const QString& target, int method) override;
    void dataArrived(avm1::ClipObject* clip) override;

    // What a movie asks to open (getURL): the address and the window or
    // level named. The player decides what may open.
    std::function<void(const QString& url, const QString& target)> onOpenUrl;
    // Text fields (TextFields.cpp).
    avm1::TextFieldObject* textFieldByName(avm1::ClipObject* parent, const QString& name) override;
    bool getTextFieldProperty(avm1::TextFieldObject* field, const QString& name, avm1::Value& out) override;
    bool setTextFieldProperty(avm1::TextFieldObject* field, const QString& name, const avm1::Value& v) override;
    avm1::Value callTextField(avm1::TextFieldObject* field, const QString& method,
                              std::vector<avm1::Value>& args) override;
    QString textFieldPath(avm1::TextFieldObject* field) override;
    avm1::TextFieldObject* createTextField(avm1::ClipObject* parent, const QString& name, int depth,
                                           const QRectF& rect) override;
    avm1::Object* focus() override;
    bool setFocus(avm1::Object* target) override;
    void selection(int& begin, int& end, int& caret) override;
    void setSelection(int begin, int end) override;

    // ---- videos played by script (Videos.cpp) ----
    avm1::Object* videoByName(avm1::ClipObject* parent, const QString& name) override;
    QString movieFolder() override { return movieFolder_; }
    // ---- points under shapes (Input.cpp) ----
    bool coversPoint(avm1::ClipObject* clip, QPointF stage) override;
    QString dropTarget(avm1::ClipObject* clip) override;
    // ---- static text for TextSnapshot (StaticText.cpp) ----
    std::vector<avm1::StaticChar> staticText(avm1::ClipObject* clip) override;
    void setMovieFolder(const QString& folder) { movieFolder_ = folder; }
    void setMovieFile(const QString& path) { movieFile_ = path; }
    // _url: the address of the file the clip's movie came from (a loaded
    // movie's own), empty for a movie read from memory.
    QString urlOf(avm1::ClipObject* clip);
    // Moves the scripts' streams on by ms (their handlers run), then shows
    // each stream's picture in the videos it is attached to.
    void advanceStreams(RootState& state, double ms);
    // Copies the pictures of attached streams into the video instances.
    void syncVideos(RootState& state);

    // ---- typing into text fields (TextInput.cpp) ----
    // A key typed while the movie has the keyboard: an input field with
    // the focus takes its character or edits by it (code as Key reports
    // it, text the character typed); Tab moves the focus to the next
    // field. Returns whether a field changed.
    bool textInput(RootState& state, int code, const QString& text, bool shift);
    // The pointer went down at a stage point (twips): an input or
    // selectable field under it takes the focus, anything else drops it.
    bool focusAt(RootState& state, QPointF stage);

    // ---- focus on buttons and clips (TabFocus.cpp) ----
    // The button or clip with the keyboard focus, if any: its path.
    bool focusedControl(RootState& root, std::vector<int>& path);
    // Where the yellow frame around the focused button or clip goes (stage
    // twips); none while a field or nothing has the focus, or _focusrect
    // is off for it.
    std::optional<QRectF> focusFrame(RootState& root);
    // Who has the focus (a uid; 0: nobody), for what the stage shows.
    std::uint64_t focusedUid() const { return focusUid_; }
    // Whether Tab finds anything to focus.
    bool hasTabStops(RootState& root) { return !tabOrder(root).empty(); }

private:
    struct Pending {
        std::vector<int> path; // depths from the main timeline down to the timeline
        const QByteArray* bytecode = nullptr;
        std::uint64_t uid = 0; // the clip the block belongs to (0: the main timeline)
        const char16_t* event = nullptr; // instead of bytecode: a handler of the clip to call
        // The bytecode belongs to a frame a seek passes over: only its
        // timeline actions are applied (replayActions).
        bool replay = false;
        // Runs even though the clip has left the stage (unload handlers).
        bool afterRemoval = false;
    };
    // The instances a rewinding timeline may take back (see rewind).
    struct Reuse {
        TimelineState* timeline = nullptr;
        std::map<int, Instance> pool;
        Reuse* outer = nullptr;
    };
    struct Run {
        RootState* root = nullptr;
        Reuse* reuse = nullptr;
        std::vector<Pending> queue;
        std::size_t instances = 0;
        // Frames rebuilt by jumps in this tick (see maxWorkPerTick).
        std::size_t work = 0;
        bool scripts = true;
    };
    // Makes run the tick that host calls act on, for as long as it lives;
    // the outermost one also opens the scripts' budget for the tick.
    struct ActiveRun {
        TimelineEngine& engine;
        Run* previous;
        ActiveRun(TimelineEngine& e, Run& run);
        ~ActiveRun();
    };

    void applyFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path, bool queueActions);
    void place(Run& run, TimelineState& t, const PlaceObject& p, const std::vector<int>& path);
    void startSprite(Run& run, Instance& inst, const std::vector<int>& path);
    // The pooled instance of a rewinding timeline that a placement of
    // characterId at depth takes back, if any.
    Instance* reusable(Run& run, TimelineState& t, int depth, std::uint16_t characterId);
    bool containsItself(Run& run, const std::vector<int>& path, std::uint16_t spriteId);
    // Moves every playing timeline on by one frame, in the player's order
    // (order_, collected at the start of the tick).
    void stepClips(Run& run, RootState& state, bool moveMain);
    // t moves on (when move), then every timeline inside it, depth by depth.
    void stepTree(Run& run, TimelineState& t, std::vector<int>& path, bool move);
    // Builds inst.buttonFace for inst.buttonState (buttons whose pictures
    // hold no sprite need none and get none).
    void buildButtonFace(Run& run, Instance& inst, const std::vector<int>& path);
    void syncButtonFaces(Run& run, TimelineState& t, std::vector<int>& path);
    bool hasLivePictures(std::uint16_t buttonId);
    void stepTimeline(Run& run, TimelineState& t, const std::vector<int>& path, bool move);
    // Goes back to frame (applying frames 0 to frame again): instances the
    // same frames place again at the same depth stay the same clips.
    void rewind(Run& run, TimelineState& t, int frame, const std::vector<int>& path, bool queueLast);
    void gotoFrame(Run& run, TimelineState& t, int frame, const std::vector<int>& path);
    void runActions(Run& run);
    // Queues the clip's onClipEvent handlers for event and, when given and
    // the clip has a script object, its method of that name.
    // Returns whether anything was queued.
    bool queueClipEvent(Run& run, const Instance& inst, const std::vector<int>& path, std::uint32_t event,
                        const char16_t* method, bool afterRemoval = false);
    // A sprite instance was made: its class constructor, its first frame
    // and its load events, in the player's order.
    void constructClip(Run& run, Instance& inst, const std::vector<int>& path);
    // The instance and every clip inside it leave the stage: their unload
    // events are queued.
    // Returns whether any unload handler was queued.
    bool leaveStage(Run& run, const Instance& inst, std::vector<int>& path);
    // The same for the instance at depth of the timeline at parent.
    bool leaveStage(Run& run, const Instance& inst, const std::vector<int>& parent, int depth);
    // Takes the instance at key off t, the timeline at path: at once, or,
    // when it has unload handlers, after they ran (see unloading_).
    void remove(Run& run, TimelineState& t, const std::vector<int>& path, int key);
    // Drops the clips that waited for their unload handlers.
    void dropUnloaded(RootState& root);
    // Puts an instance a script made at key (a display-list depth) of t,
    // the timeline at path; what was there leaves the stage.
    Instance& putScriptMade(TimelineState& t, const std::vector<int>& path, int key, Instance made);
    // Queues event (and method) for every clip on the stage, the main
    // timeline's method too.
    void queueEverywhere(Run& run, std::uint32_t event, const char16_t* method);
    // Whether the clip of uid has a script object with a method of that
    // name (found without running getters).
    bool hasMethod(std::uint64_t uid, const char16_t* name);
    // Tells the listeners of a built-in broadcaster (Key, Mouse) of
    // message; false when it has none.
    bool broadcast(const char* object, const char16_t* message);
    // The class a script registered for the sprite's linkage name, if any.
    avm1::Value registeredClass(std::uint16_t characterId);
    // The sprite instances on the stage in the order the player moves them
    // on and runs their handlers: uids and paths, kept in order_.
    struct ClipOrder {
        struct Entry {
            std::uint64_t uid;
            std::uint32_t first; // its path: depths[first, first + length)
            std::uint32_t length;
            bool enterFrameEvents; // onClipEvent(enterFrame) handlers
        };
        std::vector<Entry> clips;
        std::vector<int> depths;
        void pathOf(const Entry& e, std::vector<int>& out) const
        {
            out.assign(depths.begin() + e.first, depths.begin() + e.first + e.length);
        }
    };
    void collectClipOrder(RootState& root);
    ClipOrder order_;
    // Queues the clips' onEnterFrame handlers ahead of the tick's frame scripts.
    void queueEnterFrame(Run& run);
    void execute(Run& run, const Pending& pending);
    void replayActions(Run& run, const std::vector<int>& path, const QByteArray& block);
    bool resolveReplayTarget(RootState& root, const std::vector<int>& from, const QString& target,
                             std::vector<int>& out);
    TimelineState* resolve(RootState& root, const std::vector<int>& path);
    Instance* instanceAt(RootState& root, const std::vector<int>& path);
    int findLabel(const Timeline& timeline, const QString& label) const;

    // The transform from the timeline at path to the stage.
    QTransform toStage(RootState& root, const std::vector<int>& path);
    // The clip object of the timeline at path (created on first use).
    avm1::ClipObject* clipAt(RootState& root, const std::vector<int>& path);
    // Where a clip object's clip is now: its timeline, path and instance
    // (null for the main timeline); false once it left the stage.
    bool locate(avm1::ClipObject* clip, TimelineState*& timeline, std::vector<int>& path, Instance*& instance);

    // Moves the dragged clip under the pointer (stage twips).
    void followPointer(RootState& root, QPointF stage);

    struct Drag {
        std::uint64_t uid = 0;
        QPointF grab; // the pointer's offset from the clip's origin, in the parent's twips
        std::optional<QRectF> limits;
    };
    // ---- text fields (TextFields.cpp) ----
    // A text field was placed: its state from its DefineEditText, and its
    // variable read or set.
    void startTextField(Run& run, Instance& inst, const std::vector<int>& path);
    // Fields bound to variables show the variables' values now.
    void updateBoundFields(Run& run);
    // Where a field object's field is now; false once it left the stage.
    bool locateField(avm1::TextFieldObject* field, std::vector<int>& path, Instance*& instance);
    avm1::TextFieldObject* fieldAt(RootState& root, const std::vector<int>& path);
    // The value of the field's variable (undefined when there is none)
    // and a write to it.
    avm1::Value readFieldVariable(const std::vector<int>& path, const QString& variable, bool& found,
                                  bool clipsOnly = false);
    void writeFieldVariable(const std::vector<int>& path, const QString& variable, const avm1::Value& v);
    // A field was bound to a variable: it shows the variable's value, or
    // gives the variable its first text.
    void bindFieldVariable(Instance& inst, const std::vector<int>& path, const QString& variable);
    // Sets the text a field shows (and its variable, when bound).
    void setFieldText(Instance& inst, const std::vector<int>& path, const QString& content, bool html,
                      bool toVariable);
    std::size_t boundFields_ = 0; // fields ever placed with a variable
    // The field with the keyboard focus (its uid; 0: none), its caret and
    // selection (character indexes, begin <= end).
    std::uint64_t focusUid_ = 0;
    int caret_ = 0;
    int selectionBegin_ = 0;
    int selectionEnd_ = 0;
    // Moves the focus to the object of uid (0: none), telling both objects
    // and Selection's listeners.
    void moveFocus(std::uint64_t uid);
    // What may take the focus by Tab, in the order Tab walks it.
    struct Focusable {
        std::vector<int> path;
        std::uint64_t uid = 0;
        QRectF bounds; // on the stage, twips
        std::optional<double> tabIndex;
    };
    void collectFocusables(RootState& root, TimelineState& t, std::vector<int>& path, std::vector<Focusable>& out);
    std::vector<Focusable> tabOrder(RootState& root);
    // Tab (or Shift+Tab: backwards) moves the focus on, wrapping round;
    // whether it moved.
    bool tabFocus(RootState& root, bool backwards);
    // A value a script gave the object of uid (a clip or button, or a
    // field), read without running getters.
    avm1::Value scriptValue(std::uint64_t uid, bool field, const QString& name);
    // _focusrect: the movie's setting, and what scripts set on single
    // buttons and clips.
    bool focusRect_ = true;
    std::map<std::uint64_t, bool> focusRects_;
    bool focusRectShown(std::uint64_t uid) const;

    // ---- movies that scripts load (LoadMovie.cpp) ----
    struct MovieRequest {
        std::uint64_t uid = 0; // the clip to load into (with level < 0)
        int level = -1;
        QString url;
        QString path; // the file, resolved beside the movie; empty: unload
    };
    // Loads and unloads asked for in the last tick, done at the start of
    // the next one.
    void applyMovieRequests(Run& run);
    void applyMovieRequest(Run& run, const MovieRequest& request);
    // The loaded movie at path, read and merged on first use; null (with
    // a warning) when it cannot be.
    const MergedMovie* mergedMovie(const QString& path, const QString& url);
    // The names attachMovie finds inside the clip at path: those of the
    // movie it was loaded from.
    const std::map<QString, std::uint16_t>& exportsAt(RootState& root, const std::vector<int>& path);
    void reportLoadFailure(const QString& url, const QString& why);
    Movie* editable_ = nullptr;
    std::vector<MovieRequest> movieRequests_;
    std::map<QString, MergedMovie> merged_; // by file
    std::map<std::uint16_t, const MergedMovie*> mergedByRoot_; // by root sprite

    // Script objects of videos on the stage, by uid.
    std::map<std::uint64_t, avm1::VideoObject*> videos_;
    QString movieFolder_;
    QString movieFile_;
    QString quality_ = QStringLiteral("HIGH"); // _quality
    double soundBufferTime_ = 5;               // _soundbuftime, seconds

    const Movie& movie_;
    std::unique_ptr<avm1::Vm> vm_;
    std::optional<Drag> drag_;
    // What each dragged clip was last over (its _droptarget), by uid.
    std::map<std::uint64_t, QString> dropTargets_;
    std::unique_ptr<PointHit> pointHit_; // made on first use
    Run* run_ = nullptr;
    // Clips removed with unload handlers, waiting beneath their parent's
    // list for the next tick (their uids).
    std::vector<std::uint64_t> unloading_;
    // What locate hands out as the list of a button without live pictures.
    TimelineState noChildren_;
    std::uint64_t nextUid_ = 1;
    std::uint64_t unnamedClips_ = 0;
    std::set<std::uint16_t> initActionsDone_;
    std::map<std::uint16_t, bool> livePictures_; // button id -> a picture holds a sprite
};

// The timeline of a clip a script made empty: one frame, nothing on it.
const Timeline& emptyTimeline();
// Removes what the timeline placed from a display list, keeping what
// scripts made.
void clearTimelineObjects(TimelineState& t);
// Clears the placed-this-tick marks of a whole tree.
void clearJustPlaced(TimelineState& t);
// The depths from t down to the sprite instance of uid; false when it is
// not in the tree.
bool findUid(TimelineState& t, std::uint64_t uid, std::vector<int>& path);
// The depths from the timeline down to the text field of uid.
bool findTextFieldPath(TimelineState& t, std::uint64_t uid, std::vector<int>& path);
// The number of instances in a tree, nested sprites included.
std::size_t instanceCount(const TimelineState& t);

} // namespace qev::swf::engine
