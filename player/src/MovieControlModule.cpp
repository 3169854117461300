#include "MovieControlModule.h"

#include "qev/FileLookup.h"
#include "qev/swf/MovieControl.h"

#include <QDir>

namespace qev::player {

MovieControlModule::MovieControlModule(const QString& path)
{
    QString reason;
    // Looked up like every other disc file: a disc copied onto a mount that
    // lower-cases names holds "flash.ocx".
    if (const std::optional<QString> found = findRegularFile(path); !found) {
        reason = QStringLiteral("The file does not exist.");
    } else {
        loader_.setFileName(*found);
        QObject* instance = loader_.instance();
        factory_ = qobject_cast<swf::MovieControlFactory*>(instance);
        if (!instance)
            reason = loader_.errorString();
        else if (!factory_)
            reason = QStringLiteral("The file is not a movie control module (it does not provide %1).")
                         .arg(QStringLiteral(QEV_MOVIE_CONTROL_FACTORY_IID));
    }
    if (!factory_)
        errorText_ = QStringLiteral("The movie control %1 cannot be loaded.\n%2")
                         .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace qev::player
