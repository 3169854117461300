// Videos as scripts see them: a placed DefineVideoStream is an object
// found by its instance name; a stream attached to it replaces its
// embedded frames with the stream's picture of the moment.

#include "avm1/ClipObject.h"
#include "avm1/NetStreamObject.h"
#include "avm1/VideoObject.h"
#include "avm1/Vm.h"
#include "engine/Timeline.h"

#include <functional>

namespace qev::swf::engine {

avm1::Object* TimelineEngine::videoByName(avm1::ClipObject* parent, const QString& name)
{
    TimelineState* t;
    std::vector<int> path;
    Instance* owner;
    if (name.isEmpty() || !locate(parent, t, path, owner))
        return nullptr;
    const Qt::CaseSensitivity cs = vm_->version() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (auto& [depth, child] : t->list) {
        if (child.name.compare(name, cs) != 0 || !movie_.find<VideoStream>(child.characterId))
            continue;
        auto it = videos_.find(child.uid);
        if (it != videos_.end())
            return it->second;
        const avm1::Value cls = vm_->getMember(vm_->global(), QStringLiteral("Video"));
        const avm1::Value proto = vm_->getMember(cls, QStringLiteral("prototype"));
        auto* object = vm_->heap().make<avm1::VideoObject>(proto.isObject() ? proto.object : vm_->objectPrototype,
                                                           child.uid);
        videos_[child.uid] = object;
        return object;
    }
    return nullptr;
}

void TimelineEngine::advanceStreams(RootState& state, double ms)
{
    {
        Run run;
        run.root = &state;
        run.instances = instanceCount(state.main);
        ActiveRun active(*this, run);
        vm_->tickDeferred();
        avm1::advanceNetStreams(*vm_, ms);
        runActions(run);
        clearJustPlaced(state.main);
    }
    syncVideos(state);
}

void TimelineEngine::syncVideos(RootState& state)
{
    if (videos_.empty())
        return;
    std::function<void(TimelineState&)> walk = [&](TimelineState& t) {
        for (auto& [depth, inst] : t.list) {
            if (TimelineState* inner = innerList(inst)) {
                walk(*inner);
                continue;
            }
            auto it = videos_.find(inst.uid);
            if (it == videos_.end())
                continue;
            avm1::VideoObject* object = it->second;
            if (object->stream.isUndefined()) {
                inst.attachedVideo.reset();
                continue;
            }
            video::FlvPlayback* playback = avm1::playbackOf(*vm_, object->stream);
            QImage picture = playback ? playback->picture() : QImage();
            if (object->cleared) {
                if (!picture.isNull() && picture.cacheKey() == object->clearedPicture)
                    picture = QImage();
                else
                    object->cleared = false;
            }
            object->shownPicture = picture.cacheKey();
            if (!picture.isNull()) {
                object->pictureWidth = picture.width();
                object->pictureHeight = picture.height();
            }
            auto shown = std::make_shared<AttachedVideo>();
            shown->picture = picture;
            // Read without getters: drawing runs no script.
            const avm1::Property* smoothing = object->find(QStringLiteral("smoothing"));
            shown->smoothing = smoothing && !smoothing->isVirtual() && vm_->toBoolean(smoothing->value);
            inst.attachedVideo = std::move(shown);
        }
    };
    walk(state.main);
}

} // namespace qev::swf::engine
