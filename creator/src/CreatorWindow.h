#pragma once

#include "FileDialog.h"
#include "qev/CodePage.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class PictureButton;
class QLabel;
class QMimeData;
class QSessionManager;
class QTreeWidget;
class QTreeWidgetItem;
class ItemNameDialog;

namespace qev {
class Platform;
}
namespace creator {
class CdBuild;
}

// The creator's main window. It holds one project: an ordered list of items
// (display name and movie path) in movieList, and the project state
// that every command reads and writes directly.
class CreatorWindow : public QWidget {
    Q_OBJECT
public:
    explicit CreatorWindow(qev::Platform& platform, QWidget* parent = nullptr);
    ~CreatorWindow() override;

    // True when nothing needs saving: set by savePlaylist, cleared by edits,
    // New project and Load project.
    bool projectSaved() const { return projectSaved_; }
    void setProjectSaved(bool saved) { projectSaved_ = saved; }
    // The current directory when the window loaded; the four fixed files of
    // a disc are copied from here.
    const QString& startFolder() const { return startFolder_; }
    // Shown in the caption and names the folder a disc build creates.
    const QString& projectName() const { return projectName_; }

    QLabel* listLabel;
    QTreeWidget* movieList;
    PictureButton* newProjectButton;
    PictureButton* saveProjectButton;
    PictureButton* openProjectButton;
    PictureButton* addButton;
    PictureButton* removeButton;
    PictureButton* moveDownButton;
    PictureButton* moveUpButton;
    PictureButton* makeCdButton;
    FileDialog fileDialog;

    // Writes the list to fName: full paths, or with extract the bare file
    // names. Replaces the file atomically; sets projectSaved_.
    void savePlaylist(const QString& fName, bool extract);
    // Replaces the rows of list with the items of fName, then names the
    // project after the file. Rows read before a failure stay.
    void loadPlaylist(const QString& fName, QTreeWidget* list);

    // The part of path after its last "/" or "\".
    static QString extractFileName(const QString& path);
    // The file name up to its first "."; the whole name when it has none.
    static QString extractTitle(const QString& path);

    // The toolkit's modal folder picker over owner, showing prompt: the
    // chosen folder's path, or "" when cancelled.
    QString browseForFolder(QWidget* owner, const QString& prompt);

    // How long a disc build runs before its progress dialog appears.
    void setBuildProgressDelay(int ms) { buildProgressDelayMs_ = ms; }

    // The desktop session is ending: the window closes as if the user had
    // closed it, asking the closing question when mayAsk. False when the
    // user chose to stay (Cancel), or while a disc build runs; either
    // should stop the logout.
    bool sessionEnding(bool mayAsk);

    // True while a disc build copies its files. Commands, closing and the
    // end of the session are refused meanwhile; a close is done when the
    // build ends.
    bool building() const { return building_; }

    // The name prompt, or nullptr before its first use.
    ItemNameDialog* itemPromptIfCreated() const { return itemNameDialog_; }

public slots:
    void addClicked();
    void removeClicked();
    void moveUpClicked();
    void moveDownClicked();
    void newProjectClicked();
    void openProjectClicked();
    void saveProjectClicked();
    void makeAutorunCd();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Movies dropped onto the list from a file manager.
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void commitData(QSessionManager& manager);

private:
    void createControls();
    void placeControls();
    void connectHandlers();
    void startUp();
    void askBeforeClosing(bool& cancel);

    // Runs a command through qev::runHandler: a failure is shown and ends
    // the command, and the window goes on. Refused while a disc build runs.
    void runHandler(void (CreatorWindow::*handler)());
    void runHandler(const std::function<void()>& handler);
    // Adds the movie at path as Add does once its file is chosen: the path
    // is checked, then the name prompt asks for its name.
    void addMovie(const QString& path);
    // The local ".swf" files among dropped data, in their order.
    static QStringList droppedMovies(const QMimeData* data);
    void showError(const QString& text);

    ItemNameDialog& itemNameDialog();
    void setCaptionName(const QString& name);
    // The save question of New and Load; false when the user chose Cancel.
    bool askToSaveFirst(const QString& question);
    // The position of the selected row, or -1 when no row is selected.
    int selectedRow() const;
    void selectRow(int row, bool scrollIntoView);
    QTreeWidgetItem* makeRow(const QString& name, const QString& path) const;
    void moveSelectedRow(int step);
    // Runs the copies of build on a worker thread while the window keeps
    // answering; appends the files written. Returns the failure's text, ""
    // when every copy was made.
    QString copyOffThread(const creator::CdBuild& build, const QString& project, QStringList& written);
    // The part of a failed build's message that tells which files it wrote.
    static QString writtenBeforeFailure(const QStringList& written);

    bool projectSaved_ = false;
    QString startFolder_;
    QString projectName_;
    qev::Platform& platform_;
    qev::CodePage codePage_;
    ItemNameDialog* itemNameDialog_ = nullptr;
    int buildProgressDelayMs_ = 500;
    bool building_ = false;
    bool closeAfterBuild_ = false;
};
