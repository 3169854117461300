// Tab in the movie control: a movie with buttons keeps Tab for its own
// focus, a movie without any leaves it to the window.

#include "engine_test_support.h"
#include "qev/swf/FlashControl.h"
#include "qev/swf/testsupport/MovieParts.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace qev::swf {
namespace {

using namespace writer;

QByteArray movie(bool withButton)
{
    MovieBuilder m(100, 100, 10, 8);
    const auto square = m.defineShape(ShapeBuilder().fill(solid(rgb(0x3366CC))).rect(0, 0, 20, 20));
    if (withButton) {
        Button b;
        b.version = 2;
        b.records = {testsupport::buttonRecord(square, 1, testsupport::ButtonStates{true, true, true, true})};
        m.place(m.defineButton(b), 1, translatePx(10, 10));
    } else {
        m.place(square, 1, translatePx(10, 10));
    }
    m.showFrame();
    return m.finish();
}

// A window with the control first and a line edit after it.
TEST(ControlTab, AMovieWithButtonsKeepsTabAndOneWithoutLeavesItToTheWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, bool withButton) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(movie(withButton));
        return f.fileName();
    };
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* control = new FlashControl(&window);
    control->setFocusPolicy(Qt::StrongFocus);
    control->setMinimumSize(100, 100);
    auto* edit = new QLineEdit(&window);
    layout->addWidget(control);
    layout->addWidget(edit);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    control->Movie(write(QStringLiteral("button.swf"), true));
    control->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), control);
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control);

    control->Movie(write(QStringLiteral("plain.swf"), false));
    control->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), control);
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

} // namespace
} // namespace qev::swf
