#include "CreatorWindow.h"
#include "qev/Platform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravlen"));
    qev::QtPlatform platform;
    CreatorWindow window(platform);
    window.show();
    return app.exec();
}
