#include "render/DrawingThread.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <exception>

namespace qev::swf::render {

void drawOnPoolThread(const std::function<void()>& draw)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    if (!pool || pool->contains(QThread::currentThread())) {
        draw();
        return;
    }
    QSemaphore done;
    std::exception_ptr failure;
    const bool started = pool->tryStart([&] {
        try {
            draw();
        } catch (...) {
            failure = std::current_exception();
        }
        done.release();
    });
    if (!started) {
        draw();
        return;
    }
    done.acquire();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace qev::swf::render
