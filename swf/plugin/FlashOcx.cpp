// The "Flash.ocx" module: exposes the movie control to the player through
// Qt's plugin loader.
#include "qev/swf/FlashControl.h"
#include "qev/swf/MovieControl.h"

#include <QObject>

namespace qev::swf {

class FlashOcxFactory : public QObject, public MovieControlFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QEV_MOVIE_CONTROL_FACTORY_IID)
    Q_INTERFACES(qev::swf::MovieControlFactory)
public:
    std::unique_ptr<MovieControl> create(QWidget* parent) override { return createMovieControl(parent); }
};

} // namespace qev::swf

// A plain entry point for loaders that open the module without Qt's plugin
// loader: returns a control the caller owns (delete it to release it).
extern "C" Q_DECL_EXPORT qev::swf::MovieControl* qev_create_movie_control(QWidget* parent)
{
    return qev::swf::createMovieControl(parent).release();
}

#include "FlashOcx.moc"
