#pragma once

#include <QPluginLoader>
#include <QString>

namespace qev::swf {
class MovieControlFactory;
}

namespace qev::player {

// The movie control module ("Flash.ocx"), loaded from a file at run time.
// The module stays loaded for the life of this object and beyond: controls
// it created may outlive it until the program ends.
class MovieControlModule {
public:
    // path is looked up as disc files are: when its exact name is missing, a
    // file whose name differs only in letter case is loaded.
    explicit MovieControlModule(const QString& path);

    // The module's factory, or nullptr when it could not be loaded.
    swf::MovieControlFactory* factory() const { return factory_; }
    // Why loading failed, naming the file; "" when it loaded.
    const QString& errorText() const { return errorText_; }

private:
    QPluginLoader loader_;
    swf::MovieControlFactory* factory_ = nullptr;
    QString errorText_;
};

} // namespace qev::player
