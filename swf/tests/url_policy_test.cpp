// What the control opens when a movie asks (getURL): a table of addresses
// against files beside the movie, and the control acting on them.

#include "control/UrlPolicy.h"
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/FlashControl.h"
#include "qev/swf/Writer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace qev::swf {
namespace {

using Action = UrlDecision::Action;
namespace op = writer::op;

void writeFile(const QString& path, QFileDevice::Permissions permissions = {})
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    if (permissions)
        f.setPermissions(permissions);
}

TEST(UrlPolicy, WebAndMailOpenOutsideFilesBesideTheMovieOpenAndProgramsNever)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    writeFile(d + "/guide.pdf");
    QDir(d).mkdir("docs");
    writeFile(d + "/docs/read me.txt");
    writeFile(d + "/setup.sh");
    writeFile(d + "/launch.desktop");
    writeFile(d + "/tool", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    writeFile(d + "/next.swf");

    struct Case {
        const char* url;
        const char* target;
        Action action;
        const char* path; // relative to the folder, for files
    } cases[] = {
        {"http://example.org/a", "_blank", Action::OpenExternal, nullptr},
        {"HTTPS://example.org", "", Action::OpenExternal, nullptr},
        {"mailto:someone@example.org", "", Action::OpenExternal, nullptr},
        {"javascript:alert(1)", "", Action::Ignore, nullptr},
        {"ftp://example.org/file", "", Action::Ignore, nullptr},
        {"   ", "", Action::Ignore, nullptr},
        {"guide.pdf", "_blank", Action::OpenFile, "guide.pdf"},
        {"docs\\read me.txt", "", Action::OpenFile, "docs/read me.txt"},
        {"docs", "", Action::OpenFile, "docs"},
        {"setup.sh", "", Action::Refuse, "setup.sh"},
        {"launch.desktop", "", Action::Refuse, "launch.desktop"},
        {"tool", "", Action::Refuse, "tool"},
        {"missing.pdf", "", Action::Refuse, "missing.pdf"},
        {"next.swf", "_level0", Action::LoadMovie, "next.swf"},
        {"next.swf", "_self", Action::LoadMovie, "next.swf"},
        {"next.swf", "_blank", Action::OpenFile, "next.swf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const UrlDecision got = decideUrl(QString::fromUtf8(c.url), QString::fromUtf8(c.target), d);
        EXPECT_EQ(int(got.action), int(c.action));
        if (c.path) {
            EXPECT_EQ(got.path, QDir(d).absoluteFilePath(QString::fromUtf8(c.path)));
        }
        if (got.action == Action::Refuse) {
            EXPECT_FALSE(got.reason.isEmpty());
        }
    }
    // A file address is a file like any other.
    EXPECT_EQ(decideUrl(QUrl::fromLocalFile(d + "/setup.sh").toString(), "", "/").action, Action::Refuse);
    EXPECT_EQ(decideUrl(QUrl::fromLocalFile(d + "/guide.pdf").toString(), "", "/").action, Action::OpenFile);
}

// A one-frame movie whose script calls getURL(url, target) for each pair.
QByteArray openingMovie(const std::vector<std::pair<QString, QString>>& requests)
{
    writer::MovieBuilder m(100, 100, 10, 6);
    writer::ActionAssembler a;
    for (const auto& [url, target] : requests)
        a.push(url).push(target).getUrl2(0);
    a.op(op::Stop);
    m.script(a.bytes());
    m.showFrame();
    return m.finish();
}

TEST(UrlPolicy, TheControlOpensWhatTheMovieAsksForAndLoadsMoviesInPlaceAfterTheScript)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/guide.pdf");
    writeFile(dir.path() + "/setup.sh");
    {
        QFile next(dir.path() + "/next.swf");
        ASSERT_TRUE(next.open(QIODevice::WriteOnly));
        next.write(openingMovie({}));
    }
    QFile menu(dir.path() + "/menu.swf");
    ASSERT_TRUE(menu.open(QIODevice::WriteOnly));
    menu.write(openingMovie({{"fscommand:quit", ""},
                             {"guide.pdf", "_blank"},
                             {"setup.sh", ""},
                             {"http://example.org/", "_blank"},
                             {"next.swf", "_level0"}}));
    menu.close();

    FlashControl control;
    std::vector<QUrl> opened;
    control.setUrlOpener([&](const QUrl& url) { opened.push_back(url); });
    control.Movie(menu.fileName());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(dir.path() + "/guide.pdf"));
    EXPECT_EQ(opened[1], QUrl("http://example.org/"));
    EXPECT_EQ(control.Movie(), menu.fileName());
    QCoreApplication::processEvents();
    EXPECT_EQ(control.Movie(), dir.path() + "/next.swf");
}

} // namespace
} // namespace qev::swf
