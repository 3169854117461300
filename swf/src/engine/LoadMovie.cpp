// Movies that scripts load into levels and clips. A request waits for the
// next tick, as a file that loads does: until then the target shows what
// it showed. Only files beside the playing movie load; the movie's
// characters join the playing movie's dictionary under ids of their own
// (MovieMerge), once per file, so a movie loaded again and again costs
// nothing more. Levels above 0 are script-made instances at the top of the
// main timeline's list: drawn over _level0 at the stage's origin, kept
// through rewinds and seeks of _level0. A clip a movie was loaded into is
// a timeline object like any other: a rewind of its parent that places it
// again places the timeline's own character there.

#include "engine/Timeline.h"

#include "avm1/ClipObject.h"
#include "avm1/Vm.h"
#include "qev/swf/Reader.h"

#include <QUrl>

#include <exception>

namespace qev::swf::engine {

void TimelineEngine::reportLoadFailure(const QString& url, const QString& why)
{
    // What the movie's player prints for a load that fails, then why.
    if (vm_->onTrace)
        vm_->onTrace(QStringLiteral("Error opening URL '%1'").arg(url));
    vm_->warn(QStringLiteral("loadMovie %1: %2").arg(url, why));
}

void TimelineEngine::loadMovie(avm1::ClipObject* clip, const QString& url)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return;
    if (!inst) {
        loadMovieNum(0, url);
        return;
    }
    if (inst->sprite.empty()) {
        vm_->warn(QStringLiteral("loadMovie: %1 is no movie clip").arg(targetPath(clip)));
        return;
    }
    MovieRequest r;
    r.uid = inst->uid;
    r.url = url;
    if (!url.isEmpty()) {
        r.path = avm1::resolveBesideMovie(movieFolder_, url.section(u'?', 0, 0).section(u'#', 0, 0));
        if (r.path.isEmpty()) {
            reportLoadFailure(url, QStringLiteral("only files beside the movie load"));
            return;
        }
    }
    movieRequests_.push_back(std::move(r));
}

void TimelineEngine::loadMovieNum(int level, const QString& url)
{
    if (level < 0 || level > maxLevel)
        return;
    MovieRequest r;
    r.level = level;
    r.url = url;
    if (!url.isEmpty()) {
        r.path = avm1::resolveBesideMovie(movieFolder_, url.section(u'?', 0, 0).section(u'#', 0, 0));
        if (r.path.isEmpty()) {
            reportLoadFailure(url, QStringLiteral("only files beside the movie load"));
            return;
        }
    }
    if (level == 0) {
        // The whole movie goes; the player swaps it between ticks.
        if (onReplaceMovie)
            onReplaceMovie(url, r.path);
        return;
    }
    movieRequests_.push_back(std::move(r));
}

const MergedMovie* TimelineEngine::mergedMovie(const QString& path, const QString& url)
{
    if (auto it = merged_.find(path); it != merged_.end())
        return &it->second;
    if (!editable_) {
        reportLoadFailure(url, QStringLiteral("this player loads no movies"));
        return nullptr;
    }
    if (merged_.size() >= maxLoadedMovies) {
        reportLoadFailure(url, QStringLiteral("too many movies loaded"));
        return nullptr;
    }
    Movie loaded;
    try {
        loaded = readMovieFile(path);
    } catch (const std::exception& e) {
        reportLoadFailure(url, QString::fromUtf8(e.what()));
        return nullptr;
    }
    std::optional<MergedMovie> m = mergeMovie(*editable_, std::move(loaded));
    if (!m) {
        reportLoadFailure(url, QStringLiteral("too many characters"));
        return nullptr;
    }
    const MergedMovie* kept = &merged_.emplace(path, std::move(*m)).first->second;
    mergedByRoot_[kept->rootSprite] = kept;
    if (onCharactersAdded)
        onCharactersAdded();
    return kept;
}

void TimelineEngine::applyMovieRequests(Run& run)
{
    std::vector<MovieRequest> requests;
    requests.swap(movieRequests_);
    for (const MovieRequest& r : requests)
        applyMovieRequest(run, r);
}

void TimelineEngine::applyMovieRequest(Run& run, const MovieRequest& r)
{
    RootState& root = *run.root;
    const MergedMovie* movie = nullptr;
    if (!r.path.isEmpty() && !(movie = mergedMovie(r.path, r.url)))
        return; // a load that fails leaves the target as it was
    if (r.level > 0) {
        const int key = levelKeyBase + r.level;
        if (!movie) {
            remove(run, root.main, {}, key);
            return;
        }
        Instance made;
        made.characterId = movie->rootSprite;
        made.uid = nextUid_++;
        made.scriptMade = true;
        made.justPlaced = true;
        made.loadedMovie = true;
        Instance& slot = putScriptMade(root.main, {}, key, std::move(made));
        constructClip(run, slot, {key});
        return;
    }
    std::vector<int> path;
    if (!findUid(root.main, r.uid, path))
        return; // the clip left the stage meanwhile
    Instance* inst = instanceAt(root, path);
    if (!inst || inst->sprite.empty() || inst->unloading)
        return;
    if (movie) {
        // A movie inside a copy of itself would nest without end, as a
        // sprite placed inside itself would; and nesting has its bounds.
        const std::vector<int> parent(path.begin(), path.end() - 1);
        if (containsItself(run, parent, movie->rootSprite) || static_cast<int>(path.size()) > maxNesting
            || run.instances > maxInstances) {
            reportLoadFailure(r.url, QStringLiteral("the movie would play inside itself or nest too deep"));
            return;
        }
    }
    // The clip stays where it is, as it is placed; what scripts gave it
    // (variables, methods, handlers) goes with its content: it becomes a
    // new script object.
    leaveStage(run, *inst, path);
    inst = instanceAt(root, path);
    inst->uid = nextUid_++;
    inst->clipEvents = nullptr;
    inst->justPlaced = true;
    inst->sprite.clear();
    if (movie) {
        inst->characterId = movie->rootSprite;
        inst->loadedMovie = true;
        constructClip(run, *inst, path);
    } else {
        inst->characterId = 0;
        inst->loadedMovie = false;
        TimelineState empty;
        empty.timeline = &emptyTimeline();
        empty.playing = false;
        inst->sprite.push_back(std::move(empty));
    }
    // The stage is no longer what the timeline alone builds.
    root.jumped = true;
}

avm1::ClipObject* TimelineEngine::rootOf(avm1::ClipObject* clip)
{
    if (merged_.empty() || !clip)
        return rootClip();
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return rootClip();
    // The innermost loaded movie that holds the clip.
    RootState& root = *run_->root;
    TimelineState* at = &root.main;
    std::size_t rootLength = 0;
    for (std::size_t k = 0; k < path.size() && at; ++k) {
        auto it = at->list.find(path[k]);
        if (it == at->list.end())
            break;
        if (it->second.loadedMovie)
            rootLength = k + 1;
        at = innerList(it->second);
    }
    if (rootLength == 0)
        return rootClip();
    path.resize(rootLength);
    return clipAt(root, path);
}

QString TimelineEngine::urlOf(avm1::ClipObject* clip)
{
    QString file = movieFile_;
    avm1::ClipObject* movieRoot = rootOf(clip);
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (movieRoot != rootClip() && locate(movieRoot, t, path, inst) && inst)
        for (const auto& [loadedFile, merged] : merged_)
            if (merged.rootSprite == inst->characterId)
                file = loadedFile;
    return file.isEmpty() ? QString() : QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
}

avm1::ClipObject* TimelineEngine::level(int n)
{
    if (n == 0)
        return rootClip();
    if (!run_ || n < 0 || n > maxLevel)
        return nullptr;
    const int key = levelKeyBase + n;
    auto it = run_->root->main.list.find(key);
    if (it == run_->root->main.list.end() || it->second.unloading)
        return nullptr;
    return clipAt(*run_->root, {key});
}

const std::map<QString, std::uint16_t>& TimelineEngine::exportsAt(RootState& root, const std::vector<int>& path)
{
    if (mergedByRoot_.empty())
        return movie_.exports;
    const std::map<QString, std::uint16_t>* exports = &movie_.exports;
    TimelineState* at = &root.main;
    for (int depth : path) {
        if (!at)
            break;
        auto it = at->list.find(depth);
        if (it == at->list.end())
            break;
        if (it->second.loadedMovie)
            if (auto m = mergedByRoot_.find(it->second.characterId); m != mergedByRoot_.end())
                exports = &m->second->exports;
        at = innerList(it->second);
    }
    return *exports;
}

} // namespace qev::swf::engine
