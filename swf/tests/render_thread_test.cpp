// Frames drawn whole on a thread of Qt's pool (to keep the raster engine
// from handing every batch of fills to that pool) look exactly as frames
// drawn on the calling thread.

#include "engine_test_support.h"
#include "engine/Timeline.h"
#include "qev/swf/Reader.h"
#include "render/DrawingThread.h"
#include "render/Renderer.h"

#include <QPainter>
#include <QThread>
#include <QThreadPool>

#include <stdexcept>

namespace qev::swf {
namespace {

using namespace writer;

TEST(DrawingThread, DrawsOnAPoolThreadAndWaitsForIt)
{
    bool onPool = false;
    int value = 0;
    render::drawOnPoolThread([&] {
        onPool = QThreadPool::globalInstance()->contains(QThread::currentThread());
        QThread::msleep(20);
        value = 42;
    });
    EXPECT_TRUE(onPool);
    EXPECT_EQ(value, 42) << "the caller waited for the drawing";
}

TEST(DrawingThread, AnExceptionOfTheDrawingReachesTheCaller)
{
    EXPECT_THROW(render::drawOnPoolThread([] { throw std::runtime_error("out of memory"); }), std::runtime_error);
}

// Large gradient ellipses and outlined rectangles, overlapping, with alpha:
// fills of many spans each, the kind the raster engine splits up.
QByteArray busyMovie()
{
    MovieBuilder m(400, 300, 24);
    m.setBackgroundColor(rgb(0x204060));
    std::uint16_t depth = 1;
    for (int i = 0; i < 12; ++i) {
        const Rgba c = rgba(30 + 18 * i, 250 - 15 * i, 90 + 10 * i, 160 + 7 * i);
        const auto ellipse = m.defineShape(
            ShapeBuilder().fill(radialGradient({{0, c}, {255, rgba(0, 0, 0, 60)}}, -120, -90, 240, 180)).ellipse(0, 0, 120, 90));
        const auto box = m.defineShape(ShapeBuilder().fill(solid(c)).line(3, rgb(0xffffff)).rect(0, 0, 150 - 5 * i, 110));
        m.place(ellipse, depth++, rotateTranslatePx(i * 17.0, 60 + i * 25, 60 + (i % 4) * 50));
        m.place(box, depth++, rotateTranslatePx(i * -11.0, 30 + i * 22, 40 + (i % 3) * 70));
    }
    m.showFrame();
    return m.finish();
}

TEST(DrawingThread, PicturesAreTheSameOnEitherThread)
{
    const QByteArray bytes = busyMovie();
    Player player;
    testing::loadOrFail(player, bytes);
    for (const bool antialiased : {true, false}) {
        player.setAntialiased(antialiased);
        const QImage viaPool = player.renderImage(QSize(508, 465));

        // The same frame drawn here, with the raster engine free to split its fills.
        const Movie movie = readMovie(QByteArrayView(bytes));
        engine::TimelineEngine engine(movie);
        engine::RootState state = engine.initial();
        render::Renderer renderer(movie, engine);
        renderer.setAntialiased(antialiased);
        QImage here(QSize(508, 465), QImage::Format_ARGB32_Premultiplied);
        here.fill(Qt::white);
        {
            QPainter painter(&here);
            renderer.render(painter, state, here.rect());
        }
        EXPECT_EQ(viaPool, here) << (antialiased ? "anti-aliased" : "aliased");
    }
}

} // namespace
} // namespace qev::swf
