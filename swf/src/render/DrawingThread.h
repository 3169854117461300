#pragma once

#include <functional>

namespace qev::swf::render {

// Runs draw on a thread of Qt's global thread pool and waits for it to end.
// Qt's raster engine (6.4) splits every large batch of span fills across
// that pool and waits for the pieces, unless it already runs on one of the
// pool's threads. A frame of a movie is many small fills, so those
// hand-offs cost several times the fills themselves (and a context switch
// each); drawn whole on one pool thread, the fills stay where they are. The
// pixels are the same either way: only where the same code runs changes.
// When no pool thread is free, or the caller is one already, draw runs
// right here. An exception thrown by draw is thrown again here.
void drawOnPoolThread(const std::function<void()>& draw);

} // namespace qev::swf::render
