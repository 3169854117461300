#include "render/Renderer.h"

namespace qev::swf::render {

using engine::AttachedVideo;

// A placed video shows the stream frame its ratio names (the timeline moves
// the ratio on as the video plays), stretched over the stream's declared
// size whatever size the pictures come out at.
void Renderer::drawVideo(QPainter& painter, std::uint16_t id, const VideoStream& video,
                         const engine::Instance* instance, const QTransform& toDevice, const CxForm& cx)
{
    if (video.width == 0 || video.height == 0)
        return;
    // A stream a script attached shows its picture instead, on the same place.
    if (instance && instance->attachedVideo) {
        const AttachedVideo& shown = *instance->attachedVideo;
        if (shown.picture.isNull())
            return;
        QImage image = cx.isIdentity() ? shown.picture : transformedImage(shown.picture, cx);
        painter.setTransform(toDevice);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, video.smoothing || shown.smoothing);
        painter.drawImage(QRectF(0, 0, video.width * 20.0, video.height * 20.0), image);
        if (drawn_)
            noteDrawn(toDevice.mapRect(QRectF(0, 0, video.width * 20.0, video.height * 20.0)));
        return;
    }
    auto& pictures = videos_[id];
    if (!pictures)
        pictures = std::make_unique<video::StreamPictures>(video);
    QImage image = pictures->picture(instance ? instance->ratio : 0);
    if (image.isNull())
        return;
    if (!cx.isIdentity())
        image = transformedImage(image, cx);
    painter.setTransform(toDevice);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, video.smoothing);
    painter.drawImage(QRectF(0, 0, video.width * 20.0, video.height * 20.0), image);
    if (drawn_)
        noteDrawn(toDevice.mapRect(QRectF(0, 0, video.width * 20.0, video.height * 20.0)));
}

} // namespace qev::swf::render
