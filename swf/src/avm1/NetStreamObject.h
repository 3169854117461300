#pragma once

// What a NetStream object plays: the FLV file on its clock. It hangs off
// the script object as a hidden property, so a script class that extends
// NetStream gets one too; the engine reaches it through playbackOf to draw
// the stream's picture in the videos it is attached to.

#include "avm1/Object.h"
#include "video/FlvPlayback.h"

#include <memory>

namespace qev::swf::avm1 {

class Vm;

class NetStreamState : public Object {
public:
    NetStreamState(Heap& heap, Object* proto) : Object(heap, proto, ObjectKind::Other) {}

    std::unique_ptr<video::FlvPlayback> playback; // null before play and after close
    QString registryKey; // where the stream waits for its events while it plays
    double bufferTime = 0.1;
    double bytesLoaded = 0;
    double bytesTotal = 0;
    std::uint64_t soundKey = 0; // the mixer's key for the file's sound track
    bool soundOn = false;
};

// The state of a NetStream object; null for anything else.
NetStreamState* netStreamState(Vm& vm, const Value& stream);
// What the stream plays now; null when it plays nothing.
video::FlvPlayback* playbackOf(Vm& vm, const Value& stream);

} // namespace qev::swf::avm1
