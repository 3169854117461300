// A stand-in for the "Flash.ocx" module: a factory whose controls are plain
// widgets that ignore every call.
#include "qev/swf/MovieControl.h"

#include <QObject>
#include <QWidget>

namespace {

class SilentControl : public qev::swf::MovieControl {
public:
    explicit SilentControl(QWidget* parent)
        : widget_(new QWidget(parent))
    {
    }
    QWidget* widget() override { return widget_; }
    void Movie(const QString& path) override { movie_ = path; }
    QString Movie() const override { return movie_; }
    void Play() override {}
    void Stop() override {}
    int FrameNum() const override { return 0; }
    void FrameNum(int) override {}

private:
    QWidget* widget_;
    QString movie_;
};

} // namespace

class FakeFlashOcx : public QObject, public qev::swf::MovieControlFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QEV_MOVIE_CONTROL_FACTORY_IID)
    Q_INTERFACES(qev::swf::MovieControlFactory)

public:
    std::unique_ptr<qev::swf::MovieControl> create(QWidget* parent) override
    {
        return std::make_unique<SilentControl>(parent);
    }
};

#include "FakeFlashOcx.moc"
