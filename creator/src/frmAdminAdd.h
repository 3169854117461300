#pragma once

#include "CommonDialog.h"
#include "qev/CodePage.h"

#include <QString>
#include <QWidget>

class PictureButton;
class QLabel;
class QSessionManager;
class QTreeWidget;
class QTreeWidgetItem;
class frmItem;

namespace qev {
class Platform;
}

// The creator's main window. It holds one project: an ordered list of items
// (display name and movie path) in lstViewSongList, and the project state
// that every command reads and writes directly.
class frmAdminAdd : public QWidget {
    Q_OBJECT
public:
    explicit frmAdminAdd(qev::Platform& platform, QWidget* parent = nullptr);
    ~frmAdminAdd() override;

    // True when nothing needs saving: set by SavePlayList, cleared by edits,
    // New project and Load project.
    bool ProjectSaved = false;
    // The current directory when the window loaded; the four fixed files of
    // a disc are copied from here.
    QString StartFolder;
    // Shown in the caption and names the folder a disc build creates.
    QString ProjectName;

    QLabel* Label1;
    QTreeWidget* lstViewSongList;
    PictureButton* cmdNewProject;
    PictureButton* cmdSaveList;
    PictureButton* cmdOpenList;
    PictureButton* cmdAdd;
    PictureButton* cmdRemove;
    PictureButton* cmdDown;
    PictureButton* cmdUp;
    PictureButton* cmdSave;
    CommonDialog CommonDialog1;

    // Writes the list to fName: full paths, or with extract the bare file
    // names. Replaces the file atomically; sets ProjectSaved.
    void SavePlayList(const QString& fName, bool extract);
    // Replaces the rows of list with the items of fName, then names the
    // project after the file. Rows read before a failure stay.
    void LoadPlayList(const QString& fName, QTreeWidget* list);

    // The part of path after its last "/" or "\".
    static QString ExtractFileName(const QString& path);
    // The file name up to its first "."; the whole name when it has none.
    static QString ExtractTitle(const QString& path);

    // The toolkit's modal folder picker over hwndOwner, showing sPrompt: the
    // chosen folder's path, or "" when cancelled.
    QString BrowseForFolder(QWidget* hwndOwner, const QString& sPrompt);

    // How long a disc build runs before its progress dialog appears.
    void setBuildProgressDelay(int ms) { buildProgressDelayMs_ = ms; }

    // The desktop session is ending: the window closes as if the user had
    // closed it, asking the closing question when mayAsk. False when the
    // user chose to stay (Cancel), which should stop the logout.
    bool sessionEnding(bool mayAsk);

    // The name prompt, or nullptr before its first use.
    frmItem* itemPromptIfCreated() const { return frmItem_; }

public slots:
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdNewProject_Click();
    void cmdOpenList_Click();
    void cmdSaveList_Click();
    void cmdSave_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void commitData(QSessionManager& manager);

private:
    void createControls();
    void placeControls();
    void connectHandlers();
    void Form_Load();
    void Form_Unload(bool& Cancel);

    // Runs a command; a failure to read or write a file is shown and ends
    // the command, and the window goes on.
    void runHandler(void (frmAdminAdd::*handler)());
    void showError(const QString& text);

    frmItem& itemPrompt();
    void setCaptionName(const QString& name);
    // The save question of New and Load; false when the user chose Cancel.
    bool askToSaveFirst(const QString& question);
    // The position of the selected row, or -1 when no row is selected.
    int selectedRow() const;
    void selectRow(int row, bool scrollIntoView);
    QTreeWidgetItem* makeRow(const QString& name, const QString& path) const;
    void moveSelectedRow(int step);
    // The part of a failed build's message that tells which files it wrote.
    static QString writtenBeforeFailure(const QStringList& written);

    qev::Platform& platform_;
    qev::CodePage codePage_;
    frmItem* frmItem_ = nullptr;
    int buildProgressDelayMs_ = 500;
};
