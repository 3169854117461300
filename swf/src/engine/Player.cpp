#include "qev/swf/Player.h"

#include "engine/MovieSound.h"
#include "engine/PictureFingerprint.h"
#include "engine/State.h"
#include "media/Mixer.h"
#include "engine/Timeline.h"
#include "qev/FileError.h"
#include "qev/swf/Reader.h"
#include "render/DrawingThread.h"
#include "render/Renderer.h"
#include "render/StageNotice.h"
#include "button/ButtonTracker.h"
#include "engine/KeyCodes.h"
#include "render/effects/EffectsLayer.h"
#include "text/DeviceText.h"

#include "avm1/Vm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace qev::swf {

namespace {

QString unreadable(ReadError::Cause cause)
{
    switch (cause) {
    case ReadError::Cause::NotAMovie: return QStringLiteral("This movie cannot be read: the file is not a Flash movie.");
    case ReadError::Cause::BrokenHeader: return QStringLiteral("This movie cannot be read: its header is broken.");
    case ReadError::Cause::EndsEarly: return QStringLiteral("This movie cannot be read: the file ends early.");
    case ReadError::Cause::CannotOpen: return QStringLiteral("This movie cannot be read: the file cannot be opened.");
    case ReadError::Cause::Damaged: break;
    }
    return QStringLiteral("This movie cannot be read: its data is damaged.");
}

} // namespace

struct Player::Impl {
    std::unique_ptr<Movie> movie;
    std::unique_ptr<engine::TimelineEngine> engine;
    std::unique_ptr<render::Renderer> renderer;
    std::unique_ptr<button::ButtonTracker> buttons;
    // Sound outlives movies: the device that plays the mix stays open.
    std::shared_ptr<media::Mixer> mixer = std::make_shared<media::Mixer>();
    std::unique_ptr<engine::MovieSound> sound;
    std::uint64_t framesMixed = 0; // movie frames taken with mixFrame()
    QString movieFolder;           // where loadSound() finds files; empty for movies from memory
    QString movieFile;             // the movie's file, for _url; empty for movies from memory
    QRect lastTarget; // where the last frame was drawn, for mouse positions
    QString notice;   // why the stage stays empty (see Player::notice)
    // A movie that a script loaded into _level0 (empty: unloaded it); it
    // replaces this one before the next tick.
    std::optional<QString> replacement;
    // The digest of the picture render() drew last (see pictureChanged).
    std::optional<std::uint64_t> drawnPicture;
    // The same picture by its top-level objects, for changedArea().
    struct DrawnObject {
        std::uint64_t digest = 0;
        std::optional<QRectF> bounds; // device pixels
    };
    std::map<int, DrawnObject> drawnObjects;
    QRect drawnTarget;
    std::uint64_t drawnStage = 0; // the background, quality and notice
    engine::RootState state;
    // The state is the one that playing from frame 0 to its frame gives (it
    // stops being so when sprites move on while the main timeline stands).
    bool canonical = true;
    bool playing = true;
    bool loop = true;
    bool antialiased = true;
    // Canonical states every `interval` frames, for fast seeking. Long
    // movies with big display lists space them further apart so that all
    // snapshots together stay within a bounded number of instances.
    std::map<int, engine::RootState> snapshots;
    int interval = snapshotInterval;
    std::size_t snapshotInstances = 0;
    static constexpr std::size_t maxSnapshotInstances = 400000;

    std::function<void(const QString&)> traceHandler;
    std::function<void(const QString&)> warningHandler;
    std::function<void(const QString&, const QString&)> urlHandler;
    std::size_t scriptActions = 0; // 0: the machine's own budget
    int scriptMilliseconds = 0;
    bool virtualClock = false;
    double virtualEpoch = 0;
    int virtualZone = 0;
    QElapsedTimer realClock;
    // Collect script garbage after this many new objects.
    static constexpr std::size_t collectEvery = 20000;

    int frameCount() const { return movie ? std::max<int>(1, static_cast<int>(movie->timeline.frames.size())) : 0; }

    void setUpScripts()
    {
        avm1::Vm& vm = engine->vm();
        vm.onTrace = traceHandler;
        vm.onWarning = warningHandler;
        engine->onOpenUrl = urlHandler;
        if (scriptActions > 0) {
            vm.limits().maxActionsPerRun = scriptActions;
            vm.limits().maxRunMilliseconds = scriptMilliseconds;
        }
        vm.input.stageWidth = movie->header.stage.width() / double(kTwipsPerPixel);
        vm.input.stageHeight = movie->header.stage.height() / double(kTwipsPerPixel);
        if (virtualClock) {
            vm.epochAtStart = virtualEpoch;
            vm.timeZoneMinutes = virtualZone;
        }
        realClock.start();
        if (warningHandler)
            for (const ReadWarning& w : movie->warnings)
                warningHandler(w.tagCode >= 0 ? QStringLiteral("tag %1 at %2: %3").arg(w.tagCode).arg(w.offset).arg(w.message)
                                              : w.message);
    }

    // After scripts ran: a jump they made takes the state off the played path.
    void noteJumps()
    {
        if (state.jumped) {
            canonical = false;
            state.jumped = false;
        }
    }

    // The script clock moves on by one frame (virtual) or to now (real)
    // and due intervals run: a frame's time follows the frame.
    void runClock(bool moveStreams = true)
    {
        avm1::Vm& vm = engine->vm();
        const double before = vm.timer();
        if (virtualClock) {
            const double rate = movie->header.frameRate();
            vm.advanceClock(1000.0 / (rate > 0.01 ? rate : 12.0));
        } else {
            vm.advanceClock(double(realClock.elapsed()) - vm.timer());
        }
        engine->runTimers(state);
        noteJumps();
        // Scripts' streams play on the same clock, from the first tick.
        if (moveStreams) {
            engine->advanceStreams(state, vm.timer() - before);
            noteJumps();
        }
    }

    // The clock moves on (runClock); garbage is collected now and then.
    void afterTick()
    {
        runClock();
        avm1::Vm& vm = engine->vm();
        if (vm.heap().allocatedSinceCollect() > collectEvery)
            engine->collectGarbage(state);
    }

    void start(Movie&& m)
    {
        sound.reset();
        renderer.reset();
        engine.reset();
        snapshots.clear();
        interval = snapshotInterval;
        snapshotInstances = 0;
        movie = std::make_unique<Movie>(std::move(m));
        engine = std::make_unique<engine::TimelineEngine>(*movie);
        sound = std::make_unique<engine::MovieSound>(*movie, mixer, warningHandler);
        sound->setMovieFolder(movieFolder);
        engine->setMovieFolder(movieFolder);
        engine->setMovieFile(movieFile);
        engine->vm().soundHost = sound.get();
        engine->onStopSounds = [this] {
            if (sound)
                sound->stopAll();
        };
        engine->allowLoadingMovies(*movie);
        engine->onReplaceMovie = [this](const QString& url, const QString& path) {
            // A program that decides what movies may open (the control)
            // loads the movie in place itself, as for getURL.
            if (urlHandler && !url.isEmpty())
                urlHandler(url, QStringLiteral("_level0"));
            else
                replacement = path;
        };
        engine->onCharactersAdded = [this] {
            if (buttons)
                buttons->charactersAdded();
            if (sound)
                sound->charactersAdded();
        };
        renderer = std::make_unique<render::Renderer>(*movie, *engine);
        renderer->setWarningHandler(warningHandler);
        // Filters, blend modes and cached bitmaps; text in system fonts.
        renderer->setLayerHook(std::make_shared<effects::EffectsLayer>(
            QSize(movie->header.stage.width() / kTwipsPerPixel, movie->header.stage.height() / kTwipsPerPixel)));
        renderer->setTextHook(std::make_shared<text::DeviceTextRenderer>(*movie));
        engine::TimelineEngine* scripts = engine.get();
        buttons = std::make_unique<button::ButtonTracker>(
            *movie, [scripts](const engine::Instance& inst) { return scripts->isClipButton(inst); });
        setUpScripts();
        // The seek snapshot of frame 0 is the frame as built; the stage then
        // runs the frame's scripts, which may already jump elsewhere.
        snapshots.emplace(0, engine->initial(false));
        state = engine->initial(true);
        canonical = !state.jumped;
        state.jumped = false;
        playing = true;
        loop = true;
        applyNavigation();
        runClock(false);
        applyNavigation();
        mixer->setPaused(false);
        framesMixed = 0;
        sound->played(state, playing);
    }

    // Starts again from a snapshot; the clips scripts made on the main
    // timeline stay, as they do through a goto.
    void restore(const engine::RootState& snapshot)
    {
        std::vector<std::pair<int, engine::Instance>> kept;
        for (auto& [depth, inst] : state.main.list)
            if (inst.scriptMade)
                kept.emplace_back(depth, std::move(inst));
        state = snapshot;
        for (auto& [depth, inst] : kept)
            state.main.list[depth] = std::move(inst);
    }

    void keepSnapshot()
    {
        const int f = state.main.frame;
        if (!canonical || f % interval != 0 || snapshots.contains(f))
            return;
        // Snapshots hold what the timeline built; script-made clips live on
        // in the state itself.
        engine::RootState snapshot = state;
        for (auto it = snapshot.main.list.begin(); it != snapshot.main.list.end();)
            it = it->second.scriptMade ? snapshot.main.list.erase(it) : std::next(it);
        snapshots.emplace(f, std::move(snapshot));
        snapshotInstances += engine::instanceCount(state.main);
        while (snapshotInstances > maxSnapshotInstances && interval < (1 << 20)) {
            interval *= 2;
            snapshotInstances = 0;
            for (auto it = snapshots.begin(); it != snapshots.end();) {
                if (it->first != 0 && it->first % interval != 0) {
                    it = snapshots.erase(it);
                } else {
                    snapshotInstances += engine::instanceCount(it->second.main);
                    ++it;
                }
            }
        }
    }

    // Moves to frame n the way playing from the first frame would get there:
    // from the current state when it is on the way, else from the nearest
    // snapshot at or before n.
    void seek(int n)
    {
        n = std::clamp(n, 0, frameCount() - 1);
        if (canonical && state.main.frame == n)
            return;
        auto snap = snapshots.upper_bound(n);
        --snap; // frame 0 is always there
        const bool fromCurrent = canonical && state.main.frame < n && state.main.frame >= snap->first;
        if (!fromCurrent) {
            restore(snap->second);
            canonical = true;
        }
        // Scripts run once, on the frame arrived at: frames passed over are
        // only built, as a goto builds them. Where those scripts jump is
        // where the seek ends.
        while (state.main.frame < n - 1) {
            engine->step(state, true, false);
            keepSnapshot();
        }
        if (state.main.frame == n - 1) {
            engine->step(state, true, true);
            noteJumps();
            keepSnapshot();
        } else {
            engine->runFrameScripts(state);
            noteJumps();
        }
    }

    // Applies what the main timeline's actions asked for: stop, play and
    // jumps, following a bounded number of jumps per tick.
    void applyNavigation()
    {
        for (int round = 0; round < 16 && !state.navigation.empty(); ++round) {
            std::vector<engine::Navigation> navs;
            navs.swap(state.navigation);
            std::vector<engine::Navigation> next;
            for (const engine::Navigation& nav : navs) {
                switch (nav.kind) {
                case engine::Navigation::Kind::Stop:
                    playing = false;
                    break;
                case engine::Navigation::Kind::Play:
                    playing = true;
                    break;
                case engine::Navigation::Kind::Goto:
                    if (nav.frame != state.main.frame) {
                        seek(nav.frame);
                        next = state.navigation;
                    }
                    playing = nav.play;
                    break;
                }
            }
            state.navigation = std::move(next);
        }
        state.navigation.clear();
    }

    // Runs what the buttons' transitions asked for, then the main timeline's
    // navigation. Actions on a sprite take the state off the played path.
    bool runButtons(const std::vector<button::Fired>& fired)
    {
        for (const button::Fired& f : fired) {
            if (f.clipEvent)
                engine->runClipEvent(state, f.timelinePath, f.clipEvent, f.method);
            else
                engine->runButtonActions(state, f.timelinePath, *f.bytecode);
            if (!f.timelinePath.empty())
                canonical = false;
        }
        noteJumps();
        applyNavigation();
        return !fired.empty();
    }

    QPointF toStage(QPointF pos) const
    {
        bool invertible = false;
        const QTransform back = renderer->stageTransform(lastTarget).inverted(&invertible);
        return invertible ? back.map(pos) : QPointF(-1e9, -1e9);
    }

    bool pointer(QPointF pos, int kind)
    {
        if (!movie || lastTarget.isEmpty())
            return false;
        const QPointF p = toStage(pos);
        // Scripts hear of every move, press and release; what they change
        // takes the state off the played path.
        bool scripted = false;
        // A press puts the keyboard focus on the text field under it.
        if (kind == 1 && engine->focusAt(state, p))
            scripted = afterInput();
        if (kind < 3 && movie->header.version >= 5) {
            using Kind = engine::TimelineEngine::MouseEvent;
            if (engine->mouseEvent(state, kind == 0 ? Kind::Move : kind == 1 ? Kind::Down : Kind::Up, p))
                scripted = afterInput();
        }
        if (!buttons->hasButtons())
            return scripted;
        const button::Phase before = buttons->phase();
        const auto fired = kind == 0 ? buttons->move(state, p)
            : kind == 1              ? buttons->press(state, p)
            : kind == 2              ? buttons->release(state, p)
                                     : buttons->leave(state);
        const bool ran = runButtons(fired);
        if (sound)
            sound->playButtonSounds(buttons->takeSounds());
        showButtonStates();
        return scripted || ran || buttons->phase() != before;
    }

    // After input events ran scripts: their jumps and navigation take
    // effect. Whether anything may have changed on the stage.
    bool afterInput()
    {
        canonical = false;
        noteJumps();
        applyNavigation();
        return true;
    }

    bool typeText(int code, const QString& text, bool backwards)
    {
        if (!movie || movie->header.version < 4 || (code == 0 && text.isEmpty()))
            return false;
        return engine->textInput(state, code, text, backwards) && afterInput();
    }

    // Enter or Space with the focus on a button or clip presses and
    // releases it.
    bool pressFocused()
    {
        std::vector<int> path;
        if (!movie || movie->header.version < 4 || !buttons || !engine->focusedControl(state, path))
            return false;
        const bool ran = runButtons(buttons->pressByKey(state, path));
        if (sound)
            sound->playButtonSounds(buttons->takeSounds());
        return ran;
    }

    // The frame around the focused button or clip, as a number for the
    // digests of what the stage shows.
    std::uint64_t focusDigest() const
    {
        if (!engine)
            return 0;
        const auto frame = engine->focusFrame(const_cast<engine::RootState&>(state));
        if (!frame)
            return 0;
        return qHash(qRound64(frame->x())) ^ (qHash(qRound64(frame->y())) * 3) ^ (qHash(qRound64(frame->width())) * 5)
            ^ (qHash(qRound64(frame->height())) * 7) ^ (engine->focusedUid() * 11);
    }

    bool key(bool down, int code, int ascii, int buttonKey)
    {
        if (!movie || movie->header.version < 4)
            return false;
        return engine->keyEvent(state, down, code, ascii, buttonKey) && afterInput();
    }

    // The buttons show the pictures the mouse asks for; the sprites in
    // those pictures are placed.
    void showButtonStates()
    {
        if (!buttons->hasButtons())
            return;
        buttons->apply(state);
        engine->syncButtonFaces(state);
    }

    // What the stage shows now, as a digest: the frame's objects and what
    // else decides the picture (quality, the notice).
    std::uint64_t picture() const
    {
        const std::uint64_t seed = qHash(notice) * 31 + (antialiased ? 1 : 2) + focusDigest() * 13;
        return movie ? engine::pictureFingerprint(state) ^ (seed * 0x9E3779B97F4A7C15ull) : seed;
    }

    std::uint64_t stageDigest() const
    {
        const Rgba& bg = state.background;
        // What scripts drew on the main timeline lies under everything.
        const std::uint64_t drawn = state.main.drawing ? state.main.drawing->revision : 0;
        return (qHash(notice) * 31 + (antialiased ? 1 : 2) + drawn * 7 + focusDigest() * 13) * 0x100000000ull
            + ((std::uint64_t(bg.r) << 16) | (std::uint64_t(bg.g) << 8) | bg.b);
    }

    std::map<int, DrawnObject> objectsNow(const QRect& target) const
    {
        std::map<int, DrawnObject> out;
        const QTransform toDevice = renderer->stageTransform(target);
        for (const auto& [depth, inst] : state.main.list)
            out.emplace(depth, DrawnObject{engine::objectFingerprint(depth, inst), renderer->deviceBounds(inst, toDevice)});
        return out;
    }

    void noteDrawn(const QRect& target)
    {
        drawnPicture = picture();
        drawnTarget = target;
        drawnStage = stageDigest();
        drawnObjects.clear();
        if (movie)
            drawnObjects = objectsNow(target);
    }

    // A movie cut off before it placed anything loads, but has nothing to
    // show: the stage says so over the background.
    void noteEmptyMovie()
    {
        if (movie->warnings.empty())
            return;
        for (const Frame& frame : movie->timeline.frames)
            for (const ControlTag& tag : frame.tags)
                if (std::holds_alternative<PlaceObject>(tag))
                    return;
        notice = unreadable(ReadError::Cause::EndsEarly);
    }

    void advance()
    {
        const int count = frameCount();
        if (playing && state.main.frame + 1 < count) {
            engine->step(state, true);
            noteJumps();
            keepSnapshot();
        } else if (playing && loop && count > 1) {
            restore(snapshots.at(0));
            canonical = true;
            engine->runFrameScripts(state);
            noteJumps();
        } else {
            // The main timeline stands; sprites go on.
            if (playing && !loop)
                playing = false;
            engine->step(state, false);
            canonical = false;
        }
        applyNavigation();
        afterTick();
        applyNavigation();
        sound->played(state, playing);
        avm1::deliverSoundCompletions(engine->vm());
        noteJumps();
        applyNavigation();
        showButtonStates();
    }
};

Player::Player() : d(std::make_unique<Impl>()) {}

Player::~Player() = default;

QString Player::load(const QString& path)
{
    clear();
    d->movieFolder = QFileInfo(path).absolutePath();
    d->movieFile = QFileInfo(path).absoluteFilePath();
    try {
        d->start(readMovieFile(path));
    } catch (const ReadError& e) {
        clear();
        d->notice = unreadable(e.cause());
        return e.message();
    } catch (const FileError& e) {
        clear();
        d->notice = unreadable(ReadError::Cause::CannotOpen);
        return qev::errorText(e);
    } catch (const std::exception& e) {
        clear();
        d->notice = unreadable(ReadError::Cause::Damaged);
        return qev::errorText(e);
    }
    d->noteEmptyMovie();
    return {};
}

QString Player::loadBytes(const QByteArray& bytes)
{
    clear();
    d->movieFolder.clear();
    d->movieFile.clear();
    try {
        d->start(readMovie(QByteArrayView(bytes)));
    } catch (const ReadError& e) {
        clear();
        d->notice = unreadable(e.cause());
        return e.message();
    } catch (const std::exception& e) {
        clear();
        d->notice = unreadable(ReadError::Cause::Damaged);
        return qev::errorText(e);
    }
    d->noteEmptyMovie();
    return {};
}

void Player::clear()
{
    d->replacement.reset();
    d->sound.reset();
    d->buttons.reset();
    d->renderer.reset();
    d->engine.reset();
    d->snapshots.clear();
    d->state = {};
    d->movie.reset();
    d->canonical = true;
    d->notice.clear();
    d->drawnPicture.reset();
    d->drawnObjects.clear();
}

QString Player::notice() const
{
    return d->notice;
}

bool Player::hasMovie() const
{
    return d->movie != nullptr;
}

QSize Player::stageSize() const
{
    if (!d->movie)
        return {};
    const Rect& r = d->movie->header.stage;
    return QSize(std::max(0, r.width()) / kTwipsPerPixel, std::max(0, r.height()) / kTwipsPerPixel);
}

double Player::frameRate() const
{
    if (!d->movie)
        return 0;
    const double rate = d->movie->header.frameRate();
    // A rate of 0 plays as fast as the player's clock allows in other
    // players; here it is bounded to something watchable.
    return rate > 0.01 ? std::min(rate, 120.0) : 12.0;
}

int Player::frameCount() const
{
    return d->frameCount();
}

QColor Player::backgroundColor() const
{
    if (!d->movie)
        return Qt::white;
    const Rgba& c = d->state.background;
    return QColor(c.r, c.g, c.b);
}

int Player::currentFrame() const
{
    return d->movie ? d->state.main.frame : 0;
}

bool Player::isPlaying() const
{
    return d->movie && d->playing;
}

void Player::setPlaying(bool playing)
{
    d->playing = playing;
    // The control's Stop pauses the movie's sounds and Play resumes them.
    d->mixer->setPaused(!playing);
}

bool Player::loops() const
{
    return d->loop;
}

void Player::setLoops(bool loop)
{
    d->loop = loop;
}

void Player::advance()
{
    if (d->movie && d->replacement) {
        // The movie a script loaded into _level0 plays from its first frame.
        const QString path = *d->replacement;
        d->replacement.reset();
        if (path.isEmpty()) {
            clear();
            return;
        }
        try {
            Movie next = readMovieFile(path);
            d->movieFolder = QFileInfo(path).absolutePath();
            d->movieFile = QFileInfo(path).absoluteFilePath();
            d->start(std::move(next));
            return;
        } catch (const std::exception& e) {
            if (d->warningHandler)
                d->warningHandler(QStringLiteral("loadMovie %1: %2").arg(path, QString::fromUtf8(e.what())));
        }
    }
    if (d->movie)
        d->advance();
}

void Player::gotoFrame(int n)
{
    if (!d->movie)
        return;
    d->seek(n);
    // Videos a script attached to a stream show it on the frame arrived at.
    d->engine->syncVideos(d->state);
    // The frame's scripts ran, but their stop and play leave the player's
    // own play state as the caller set it.
    d->state.navigation.clear();
    d->showButtonStates();
    // Stepping through frames is silent; playing on starts the stream at
    // the frame arrived at.
    d->sound->seeked(d->state);
}

std::shared_ptr<media::Mixer> Player::mixer() const
{
    return d->mixer;
}

bool Player::hasSound() const
{
    return d->sound && d->sound->hasSound();
}

void Player::setSoundCapture(bool on)
{
    d->mixer->setListening(on);
}

std::vector<std::int16_t> Player::mixFrame()
{
    const double rate = frameRate() > 0 ? frameRate() : 12.0;
    const auto at = [rate](std::uint64_t frame) { return std::uint64_t(std::llround(double(frame) * media::kMixRate / rate)); };
    const std::size_t frames = std::size_t(at(d->framesMixed + 1) - at(d->framesMixed));
    ++d->framesMixed;
    std::vector<std::int16_t> out(frames * 2);
    d->mixer->mix(out.data(), frames);
    return out;
}

int Player::soundFrame() const
{
    if (!d->sound || !d->playing)
        return -1;
    return d->sound->streamFrame().value_or(-1);
}

void Player::setTraceHandler(std::function<void(const QString&)> handler)
{
    d->traceHandler = std::move(handler);
    if (d->engine)
        d->engine->vm().onTrace = d->traceHandler;
}

void Player::setWarningHandler(std::function<void(const QString&)> handler)
{
    d->warningHandler = std::move(handler);
    if (d->engine)
        d->engine->vm().onWarning = d->warningHandler;
}

void Player::setScriptBudget(std::size_t actions, int milliseconds)
{
    d->scriptActions = std::max<std::size_t>(actions, 1);
    d->scriptMilliseconds = std::max(milliseconds, 1);
    if (d->engine) {
        d->engine->vm().limits().maxActionsPerRun = d->scriptActions;
        d->engine->vm().limits().maxRunMilliseconds = d->scriptMilliseconds;
    }
}

void Player::setVirtualClock(double epochMs, int timeZoneMinutes)
{
    d->virtualClock = true;
    d->virtualEpoch = epochMs;
    d->virtualZone = timeZoneMinutes;
}

bool Player::antialiased() const
{
    return d->antialiased;
}

void Player::setAntialiased(bool on)
{
    d->antialiased = on;
}

bool Player::mouseMove(QPointF pos)
{
    return d->pointer(pos, 0);
}

bool Player::mousePress(QPointF pos)
{
    return d->pointer(pos, 1);
}

bool Player::mouseRelease(QPointF pos)
{
    return d->pointer(pos, 2);
}

bool Player::mouseLeave()
{
    return d->pointer(QPointF(), 3);
}

void Player::setUrlHandler(std::function<void(const QString& url, const QString& target)> handler)
{
    d->urlHandler = std::move(handler);
    if (d->engine)
        d->engine->onOpenUrl = d->urlHandler;
}

bool Player::keyPress(int qtKey, const QString& text)
{
    const engine::MovieKey k = engine::movieKey(qtKey, text);
    // An input field with the focus takes what is typed; the movie's key
    // handlers hear of the key as well.
    const bool typed = d->typeText(k.code ? k.code : (qtKey == Qt::Key_Backtab ? 9 : 0), text,
                                   qtKey == Qt::Key_Backtab);
    const bool heard = k.code != 0 && d->key(true, k.code, k.ascii, k.buttonKey);
    const bool pressed = (k.code == 13 || k.code == 32) && d->pressFocused();
    return heard || typed || pressed;
}

bool Player::keyRelease(int qtKey, const QString& text)
{
    const engine::MovieKey k = engine::movieKey(qtKey, text);
    return k.code != 0 && d->key(false, k.code, k.ascii, 0);
}

bool Player::overButton() const
{
    return d->buttons && d->buttons->overButton();
}

bool Player::hasTabStops() const
{
    return d->movie && d->engine && d->engine->hasTabStops(d->state);
}

void Player::render(QPainter& painter, const QRect& target) const
{
    if (!d->movie) {
        painter.fillRect(target, Qt::white);
        render::drawStageNotice(painter, target, Qt::white, d->notice);
        d->noteDrawn(target);
        return;
    }
    d->lastTarget = target;
    d->showButtonStates();
    d->noteDrawn(target);
    d->renderer->setAntialiased(d->antialiased);
    // Into an image, the frame is drawn whole on a drawing thread (see
    // drawOnPoolThread); a widget's painter stays on the GUI thread.
    const QPaintDevice* device = painter.device();
    if (device && device->devType() == QInternal::Image)
        render::drawOnPoolThread([&] { d->renderer->render(painter, d->state, target); });
    else
        d->renderer->render(painter, d->state, target);
    // The player's yellow frame around the button or clip that Tab focused.
    if (const auto frame = d->engine->focusFrame(d->state)) {
        const QRectF r = d->renderer->stageTransform(target).mapRect(*frame);
        painter.save();
        painter.setPen(QPen(QColor(255, 255, 0), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        painter.restore();
    }
    if (!d->notice.isEmpty()) {
        const Rect& stage = d->movie->header.stage;
        const QRectF area = d->renderer->stageTransform(target).mapRect(
            QRectF(stage.xMin, stage.yMin, stage.width(), stage.height()));
        render::drawStageNotice(painter, area.width() >= 4 && area.height() >= 4 ? area : QRectF(target),
                                backgroundColor(), d->notice);
    }
}

bool Player::pictureChanged() const
{
    return !d->drawnPicture || *d->drawnPicture != d->picture();
}

QRect Player::changedArea(const QRect& target) const
{
    if (!pictureChanged())
        return {};
    if (!d->movie || target != d->drawnTarget || d->stageDigest() != d->drawnStage)
        return target;
    const std::map<int, Impl::DrawnObject> now = d->objectsNow(target);
    QRectF changed;
    auto add = [&changed](const Impl::DrawnObject& object) {
        if (!object.bounds)
            return false;
        changed |= *object.bounds;
        return true;
    };
    for (const auto& [depth, before] : d->drawnObjects) {
        auto it = now.find(depth);
        if (it == now.end() || it->second.digest != before.digest) {
            if (!add(before) || (it != now.end() && !add(it->second)))
                return target;
        }
    }
    for (const auto& [depth, object] : now)
        if (!d->drawnObjects.contains(depth) && !add(object))
            return target;
    const QRect area = changed.toAlignedRect().intersected(target);
    // Past half the stage, one whole drawing is as cheap as a clipped one.
    if (double(area.width()) * area.height() > 0.5 * double(target.width()) * target.height())
        return target;
    return area;
}

QImage Player::renderImage(const QSize& size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    render(painter, image.rect());
    painter.end();
    return image;
}

} // namespace qev::swf
