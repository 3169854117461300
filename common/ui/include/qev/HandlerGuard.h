#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace qev {

class Platform;

// Runs the body of an event handler. A failure it raises (a file that
// cannot be read or written, or anything else) ends the body there and is
// shown in a message box over owner with the program's title; the program
// goes on, and what the body did before the failure stays done. Returns
// false when the body failed.
bool runHandler(Platform& platform, QWidget* owner, const QString& title, const std::function<void()>& body);

} // namespace qev
