#include "qev/HandlerGuard.h"

#include "qev/FileError.h"
#include "qev/Platform.h"

namespace qev {

bool runHandler(Platform& platform, QWidget* owner, const QString& title, const std::function<void()>& body)
{
    // The message box is shown once the exception is gone, so that its
    // event loop never runs inside a catch block.
    QString failure;
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        failure = errorText(e);
    }
    platform.message(owner, title, failure);
    return false;
}

} // namespace qev
