// make-demo-disc: makes an autorun disc folder from the sample movies with
// the creator's own window and build command, and prints the folder's path.
//   make-demo-disc STAGE_DIR OUT_DIR
// The creator runs as it does for a user: started in its start folder, with
// a project "Demo" that lists the sample movies, and "Make autorun CD"
// clicked with OUT_DIR chosen in the folder picker. Runs without a display.
#include "CreatorWindow.h"
#include "PictureButton.h"
#include "qev/CodePage.h"
#include "qev/Platform.h"
#include "qev/Playlist.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <exception>
#include <limits>
#include <vector>

namespace {

// The movies of the demo project, in menu order, as found in the start
// folder, with the names the menu shows.
const std::vector<qev::PlaylistItem>& demoItems()
{
    static const std::vector<qev::PlaylistItem> items = {
        {QStringLiteral("Dancing shapes"), QStringLiteral("samples/shapes.swf")},
        {QStringLiteral("Sunrise gradients"), QStringLiteral("samples/gradients.swf")},
        {QStringLiteral("Spinning picture"), QStringLiteral("samples/bitmap.swf")},
        {QStringLiteral("Waving letters"), QStringLiteral("samples/text.swf")},
    };
    return items;
}

// Answers the folder picker with the output folder and keeps the messages
// the window shows; nothing else is expected to be asked.
class DemoPlatform : public qev::Platform {
public:
    explicit DemoPlatform(QString folder) : folder_(std::move(folder)) {}

    QStringList messages;

    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    qev::Answer askYesNoCancel(QWidget*, const QString&, const QString& text) override
    {
        messages << text;
        return qev::Answer::Cancel;
    }
    QString openFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString saveFile(QWidget*, const qev::FileDialogRequest&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return folder_; }
    void showModal(QDialog*) override {}

private:
    QString folder_;
};

void fail(const QString& text)
{
    std::fprintf(stderr, "make-demo-disc: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-demo-disc STAGE_DIR OUT_DIR\n");
        return 2;
    }
    // The window is never shown; it needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravlen"));

    const QString stage = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    if (!QDir().mkpath(out)) {
        fail(QStringLiteral("cannot create the folder %1").arg(out));
        return 1;
    }
    // The creator finds the disc's fixed files in the folder it starts in.
    if (!QDir::setCurrent(stage)) {
        fail(QStringLiteral("cannot enter the start folder %1").arg(stage));
        return 1;
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        fail(QStringLiteral("cannot make a temporary folder: %1").arg(work.errorString()));
        return 1;
    }
    const QString projectFile = work.filePath(QStringLiteral("Demo.qev"));

    DemoPlatform platform(out);
    CreatorWindow window(platform);
    window.setBuildProgressDelay(std::numeric_limits<int>::max());
    try {
        qev::writePlaylistFile(projectFile, demoItems(), qev::CodePage::fromEnvironment());
        // Loading names the project after the file: "Demo".
        window.loadPlaylist(projectFile, window.movieList);
    } catch (const std::exception& e) {
        fail(QString::fromLocal8Bit(e.what()));
        return 1;
    }

    window.makeCdButton->click();
    const QString success = QStringLiteral("Project was created successfully");
    if (platform.messages != QStringList{success}) {
        fail(platform.messages.isEmpty() ? QStringLiteral("the build showed no result") : platform.messages.join(u'\n'));
        return 1;
    }
    std::printf("%s\n", qPrintable(QDir(out).filePath(window.projectName())));
    return 0;
}
