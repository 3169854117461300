#include "FuzzTargets.h"

#include "qev/swf/Player.h"

#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>

#include <cstdlib>

namespace qev::fuzz {
namespace {

void ensureGuiApplication()
{
    if (QGuiApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qev-fuzz";
    static char* argv[] = {name, nullptr};
    // Kept for the life of the process: fonts and painting need it.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

void draw(const swf::Player& player, QImage& image)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    player.render(painter, image.rect());
}

// The pointer crosses the stage as a person's would: over a grid of points
// and one point the input chooses (its last two bytes), pressing and
// releasing at each, then a press dragged out and released elsewhere. Buttons
// change state and run their actions on the way.
void useMouse(swf::Player& player, const QImage& image, const std::uint8_t* data, std::size_t size)
{
    QList<QPointF> points;
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            points << QPointF(image.width() * x / 4.0, image.height() * y / 4.0);
    if (size >= 2)
        points << QPointF(data[size - 2] % image.width(), data[size - 1] % image.height());
    for (const QPointF& point : points) {
        player.mouseMove(point);
        player.mousePress(point);
        player.mouseRelease(point);
    }
    player.mousePress(points.back());
    player.mouseMove(points.front());
    player.mouseRelease(points.front());
    player.mouseLeave();
}

} // namespace

int swfEngineTarget(const std::uint8_t* data, std::size_t size)
{
    ensureGuiApplication();
    swf::Player player;
    // A small script budget per frame: a fuzzed loop that never ends then
    // costs 20,000 actions instead of the player's full second.
    player.setScriptBudget(20000, 200);
    // Sounds are decoded and mixed as a device would take them.
    player.setSoundCapture(true);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!player.loadBytes(bytes).isEmpty())
        return 0;

    // A small image: what matters is that every drawing path runs, not the pixels.
    QImage image(48, 36, QImage::Format_ARGB32_Premultiplied);
    draw(player, image);
    useMouse(player, image, data, size);
    for (int i = 0; i < 4; ++i) {
        player.advance();
        player.mixFrame();
    }
    draw(player, image);
    const int count = player.frameCount();
    player.gotoFrame(count - 1);
    player.gotoFrame(count / 2);
    player.advance();
    draw(player, image);
    player.gotoFrame(0);
    player.setLoops(false);
    player.advance();
    player.gotoFrame(1);
    player.mixFrame();
    draw(player, image);
    if (player.currentFrame() < 0 || player.currentFrame() >= count)
        std::abort();
    return 0;
}

} // namespace qev::fuzz
