#pragma once

// What the control does when a movie asks to open something (getURL): web
// and mail addresses go to the desktop's browser or mail program, files
// beside the movie open with the desktop's application for them, a movie
// aimed at the movie's own window replaces it. Nothing a movie asks for
// ever runs a program.

#include <QString>
#include <QUrl>

namespace qev::swf {

struct UrlDecision {
    enum class Action {
        Ignore,       // nothing to do (javascript:, other schemes, empty)
        OpenExternal, // url: http, https or mailto
        OpenFile,     // path: a file or folder, with the desktop's application
        LoadMovie,    // path: a movie to play in place of this one
        Refuse,       // path and reason: a program, launcher or script
    };
    Action action = Action::Ignore;
    QUrl url;
    QString path;
    QString reason;
};

// url and target as the movie gave them; movieFolder the folder of the
// playing movie, against which relative addresses resolve.
UrlDecision decideUrl(const QString& url, const QString& target, const QString& movieFolder);

} // namespace qev::swf
