// Ostiv, the menu player: lists the movies of "PlayList.qev" in the current
// directory and plays the one the user clicks.
#include "PlayerWindow.h"
#include "MovieControlModule.h"

#include "qev/FileError.h"
#include "qev/Platform.h"
#include "qev/swf/MovieControl.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostiv"));
    const QString title = QStringLiteral("Ostiv");
    qev::QtPlatform platform;

    // The movie control lives in a module beside the program file.
    const qev::player::MovieControlModule module(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Flash.ocx")));
    if (!module.factory()) {
        platform.message(nullptr, title, module.errorText());
        return 1;
    }

    try {
        qev::player::PlayerWindow window(platform, [&](QWidget* parent) { return module.factory()->create(parent); });
        if (!window.loadStartFolder())
            return 0;
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        platform.message(nullptr, title, qev::errorText(e));
        return 1;
    }
}
