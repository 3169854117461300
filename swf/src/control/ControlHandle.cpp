#include "qev/swf/FlashControl.h"

#include <QPointer>

namespace qev::swf {
namespace {

class ControlHandle final : public MovieControl {
public:
    explicit ControlHandle(FlashControl* control) : control_(control) {}
    ~ControlHandle() override { delete control_.data(); }

    QWidget* widget() override { return control_.data(); }
    void Movie(const QString& path) override
    {
        if (control_)
            control_->Movie(path);
    }
    QString Movie() const override { return control_ ? control_->Movie() : QString(); }
    void Play() override
    {
        if (control_)
            control_->Play();
    }
    void Stop() override
    {
        if (control_)
            control_->Stop();
    }
    int FrameNum() const override { return control_ ? control_->FrameNum() : 0; }
    void FrameNum(int frame) override
    {
        if (control_)
            control_->FrameNum(frame);
    }

private:
    QPointer<FlashControl> control_;
};

} // namespace

std::unique_ptr<MovieControl> createMovieControl(QWidget* parent)
{
    return std::make_unique<ControlHandle>(new FlashControl(parent));
}

} // namespace qev::swf
