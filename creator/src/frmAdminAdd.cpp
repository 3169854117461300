#include "frmAdminAdd.h"

#include "BuildProgress.h"
#include "CdBuild.h"
#include "CreatorTexts.h"
#include "MovieCheck.h"
#include "PictureButton.h"
#include "frmItem.h"
#include "qev/FileError.h"
#include "qev/Paths.h"
#include "qev/Platform.h"
#include "qev/Playlist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSessionManager>
#include <QTreeWidget>

#include <csignal>
#include <vector>

namespace {

QFont verdana()
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(9.75);
    return font;
}

const QString ProjectFilter = QStringLiteral("QEV PlayList (*.qev)|*.qev");

} // namespace

frmAdminAdd::frmAdminAdd(qev::Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      CommonDialog1(platform, this),
      platform_(platform),
      codePage_(qev::CodePage::fromEnvironment())
{
    setObjectName(QStringLiteral("frmAdminAdd"));
    setWindowTitle(QStringLiteral("QEV CD Menu Creator"));
    setWindowIcon(QIcon(QStringLiteral(":/creator/ravlen.svg")));
    createControls();
    placeControls();
    connectHandlers();
    Form_Load();
}

frmAdminAdd::~frmAdminAdd() = default;

void frmAdminAdd::createControls()
{
    Label1 = new QLabel(QStringLiteral("List of items on CD:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    lstViewSongList = new QTreeWidget(this);
    lstViewSongList->setObjectName(QStringLiteral("lstViewSongList"));
    lstViewSongList->setColumnCount(2);
    lstViewSongList->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Path")});
    lstViewSongList->setFont(verdana());
    lstViewSongList->setRootIsDecorated(false);
    lstViewSongList->setItemsExpandable(false);
    lstViewSongList->setUniformRowHeights(true);
    lstViewSongList->setSortingEnabled(false);
    lstViewSongList->setSelectionMode(QAbstractItemView::SingleSelection);
    lstViewSongList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstViewSongList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstViewSongList->setDragDropMode(QAbstractItemView::NoDragDrop);
    lstViewSongList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstViewSongList->header()->setStretchLastSection(false);
    lstViewSongList->header()->setSectionsMovable(false);

    auto button = [this](const char* name, const char* picture, QSize size, const QString& caption,
                         const QString& toolTip) {
        auto* b = new PictureButton(QStringLiteral(":/creator/%1.svg").arg(QLatin1String(picture)),
                                    size, caption, toolTip, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    cmdNewProject = button("cmdNewProject", "new-project", {32, 32}, QStringLiteral("New project"),
                           QStringLiteral("New project"));
    cmdSaveList = button("cmdSaveList", "save-list", {24, 24}, {}, QStringLiteral("Save project"));
    cmdOpenList = button("cmdOpenList", "open-list", {24, 24}, {}, QStringLiteral("Load project"));
    cmdAdd = button("cmdAdd", "add", {24, 24}, {}, QStringLiteral("Add new item"));
    cmdRemove = button("cmdRemove", "remove", {24, 24}, {}, QStringLiteral("Remove item from list"));
    cmdDown = button("cmdDown", "down", {9, 9}, {}, QStringLiteral("Move item down"));
    cmdUp = button("cmdUp", "up", {9, 9}, {}, QStringLiteral("Move item up"));
    cmdSave = button("cmdSave", "make-cd", {34, 34}, QStringLiteral("Make autorun CD"),
                     QStringLiteral("Make autorun CD"));
    cmdSave->setFont(verdana());
}

void frmAdminAdd::placeControls()
{
    setFixedSize(583, 307);
    Label1->setGeometry(8, 8, 265, 17);
    lstViewSongList->setGeometry(8, 32, 457, 265);
    lstViewSongList->setColumnWidth(0, 229);
    lstViewSongList->setColumnWidth(1, 296);
    cmdNewProject->setGeometry(480, 8, 89, 65);
    cmdSaveList->setGeometry(480, 80, 41, 41);
    cmdOpenList->setGeometry(528, 80, 41, 41);
    cmdAdd->setGeometry(480, 128, 41, 41);
    cmdRemove->setGeometry(528, 128, 41, 41);
    cmdDown->setGeometry(480, 176, 41, 41);
    cmdUp->setGeometry(528, 176, 41, 41);
    cmdSave->setGeometry(480, 224, 89, 73);

    const QWidget* order[] = {lstViewSongList, cmdSave, cmdAdd, cmdRemove, cmdOpenList,
                              cmdSaveList, cmdDown, cmdUp, cmdNewProject};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    lstViewSongList->setFocus(Qt::OtherFocusReason);
}

void frmAdminAdd::connectHandlers()
{
    const std::pair<PictureButton*, void (frmAdminAdd::*)()> handlers[] = {
        {cmdAdd, &frmAdminAdd::cmdAdd_Click},
        {cmdRemove, &frmAdminAdd::cmdRemove_Click},
        {cmdUp, &frmAdminAdd::cmdUp_Click},
        {cmdDown, &frmAdminAdd::cmdDown_Click},
        {cmdNewProject, &frmAdminAdd::cmdNewProject_Click},
        {cmdOpenList, &frmAdminAdd::cmdOpenList_Click},
        {cmdSaveList, &frmAdminAdd::cmdSaveList_Click},
        {cmdSave, &frmAdminAdd::cmdSave_Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QToolButton::clicked, this, [this, handler = handler] { runHandler(handler); });
    if (qApp)
        connect(qApp, &QGuiApplication::commitDataRequest, this, &frmAdminAdd::commitData);
}

void frmAdminAdd::Form_Load()
{
    // Under a file size limit, a write that crosses it would otherwise end
    // the program (SIGXFSZ) and lose the unsaved project; ignored, the write
    // fails with EFBIG and is told like any other failed write.
    std::signal(SIGXFSZ, SIG_IGN);
    StartFolder = QDir::currentPath();
    ProjectName = QStringLiteral("Untitled");
    setCaptionName(ProjectName);
}

void frmAdminAdd::setCaptionName(const QString& name)
{
    setWindowTitle(creator::CaptionPrefix + name);
}

void frmAdminAdd::runHandler(void (frmAdminAdd::*handler)())
{
    try {
        (this->*handler)();
    } catch (const qev::FileError& e) {
        showError(e.message());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
}

void frmAdminAdd::showError(const QString& text)
{
    platform_.message(this, creator::AppTitle, text);
}

frmItem& frmAdminAdd::itemPrompt()
{
    if (!frmItem_)
        frmItem_ = new frmItem(platform_, this);
    return *frmItem_;
}

// ---- Item list editing ------------------------------------------------------

QTreeWidgetItem* frmAdminAdd::makeRow(const QString& name, const QString& path) const
{
    auto* row = new QTreeWidgetItem(QStringList{name, path});
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return row;
}

int frmAdminAdd::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = lstViewSongList->selectedItems();
    if (selected.isEmpty())
        return -1;
    return lstViewSongList->indexOfTopLevelItem(selected.constFirst());
}

void frmAdminAdd::selectRow(int row, bool scrollIntoView)
{
    QTreeWidgetItem* item = lstViewSongList->topLevelItem(row);
    // Making a row current scrolls to it unless auto-scroll is off; Add and
    // Remove select without moving the view.
    const bool autoScroll = lstViewSongList->hasAutoScroll();
    lstViewSongList->setAutoScroll(false);
    lstViewSongList->setCurrentItem(item);
    lstViewSongList->setAutoScroll(autoScroll);
    if (scrollIntoView)
        lstViewSongList->scrollToItem(item);
}

void frmAdminAdd::cmdAdd_Click()
{
    CommonDialog1.FileName = QString();
    CommonDialog1.Filter = QStringLiteral("Flash (*.swf)|*.swf");
    CommonDialog1.Flags = qev::FileDialogFlags::PathMustExist | qev::FileDialogFlags::HideReadOnly;
    CommonDialog1.ShowOpen();
    if (CommonDialog1.FileName.isEmpty())
        return;
    const QString path = CommonDialog1.FileName;
    if (const QString problem = pathProblem(path, codePage_); !problem.isEmpty()) {
        showError(problem);
        return;
    }

    frmItem& prompt = itemPrompt();
    prompt.txtItemName->clear();
    prompt.Label1->setText(QStringLiteral("Item name:"));
    platform_.showModal(&prompt);
    const QString name = prompt.txtItemName->text();
    if (name.isEmpty())
        return;
    if (const QString problem = nameProblem(name, codePage_); !problem.isEmpty()) {
        showError(problem);
        return;
    }

    lstViewSongList->addTopLevelItem(makeRow(name, path));
    selectRow(lstViewSongList->topLevelItemCount() - 1, false);
    ProjectSaved = false;
}

void frmAdminAdd::cmdRemove_Click()
{
    int k = selectedRow();
    if (k < 0)
        return;
    {
        const bool autoScroll = lstViewSongList->hasAutoScroll();
        lstViewSongList->setAutoScroll(false);
        delete lstViewSongList->takeTopLevelItem(k);
        lstViewSongList->setAutoScroll(autoScroll);
    }
    ProjectSaved = false;
    const int count = lstViewSongList->topLevelItemCount();
    if (k >= count)
        k = count - 1;
    if (k < 0) {
        lstViewSongList->setCurrentItem(nullptr);
        return;
    }
    selectRow(k, false);
}

void frmAdminAdd::moveSelectedRow(int step)
{
    const int k = selectedRow();
    if (k < 0)
        return;
    const int target = k + step;
    if (target < 0 || target >= lstViewSongList->topLevelItemCount())
        return;
    // The moved row is rebuilt from its two texts; the selection follows it.
    const QTreeWidgetItem* old = lstViewSongList->topLevelItem(k);
    QTreeWidgetItem* moved = makeRow(old->text(0), old->text(1));
    delete lstViewSongList->takeTopLevelItem(k);
    lstViewSongList->insertTopLevelItem(target, moved);
    selectRow(target, true);
    ProjectSaved = false;
}

void frmAdminAdd::cmdUp_Click()
{
    moveSelectedRow(-1);
}

void frmAdminAdd::cmdDown_Click()
{
    moveSelectedRow(+1);
}

// ---- Project commands -------------------------------------------------------

bool frmAdminAdd::askToSaveFirst(const QString& question)
{
    switch (platform_.askYesNoCancel(this, creator::WarningTitle, question)) {
    case qev::Answer::Cancel:
    case qev::Answer::Ok:
        return false;
    case qev::Answer::Yes:
        // Goes on whether or not a file was written.
        cmdSaveList_Click();
        return true;
    case qev::Answer::No:
        return true;
    }
    return false;
}

void frmAdminAdd::cmdNewProject_Click()
{
    if (!ProjectSaved
        && !askToSaveFirst(
            QStringLiteral("Do you want to save your current project before create a new one?")))
        return;
    // The text box is not cleared: the name typed last is offered again.
    frmItem& prompt = itemPrompt();
    prompt.Label1->setText(QStringLiteral("Project name:"));
    platform_.showModal(&prompt);
    const QString name = prompt.txtItemName->text();
    if (name.isEmpty())
        return;
    // Only the caption takes the new name; ProjectName keeps the old one
    // until the next load or save.
    setCaptionName(name);
    lstViewSongList->clear();
    ProjectSaved = false;
}

void frmAdminAdd::cmdOpenList_Click()
{
    if (!ProjectSaved
        && !askToSaveFirst(QStringLiteral("Do you want to save your current project before load?")))
        return;
    // The flags are left as the previous use of the dialog set them.
    CommonDialog1.FileName = QString();
    CommonDialog1.Filter = ProjectFilter;
    CommonDialog1.ShowOpen();
    if (CommonDialog1.FileName.isEmpty())
        return;
    LoadPlayList(CommonDialog1.FileName, lstViewSongList);
    ProjectSaved = false;
}

void frmAdminAdd::cmdSaveList_Click()
{
    CommonDialog1.FileName = QString();
    CommonDialog1.Filter = ProjectFilter;
    CommonDialog1.Flags = qev::FileDialogFlags::OverwritePrompt | qev::FileDialogFlags::HideReadOnly
        | qev::FileDialogFlags::PathMustExist;
    CommonDialog1.ShowSave();
    if (CommonDialog1.FileName.isEmpty())
        return;
    SavePlayList(CommonDialog1.FileName, false);
    ProjectName = ExtractTitle(CommonDialog1.FileName);
    setCaptionName(ProjectName);
}

void frmAdminAdd::Form_Unload(bool& Cancel)
{
    if (ProjectSaved)
        return;
    switch (platform_.askYesNoCancel(this, creator::WarningTitle,
                                     QStringLiteral("Do you want to save your current project?"))) {
    case qev::Answer::Yes:
        cmdSaveList_Click();
        if (!ProjectSaved)
            Cancel = true;
        break;
    case qev::Answer::No:
        break;
    case qev::Answer::Cancel:
    case qev::Answer::Ok:
        Cancel = true;
        break;
    }
}

void frmAdminAdd::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    try {
        Form_Unload(cancel);
    } catch (const qev::FileError& e) {
        showError(e.message());
        cancel = true;
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
        cancel = true;
    }
    event->setAccepted(!cancel);
}

bool frmAdminAdd::sessionEnding(bool mayAsk)
{
    if (!isVisible())
        return true;
    if (!ProjectSaved && !mayAsk)
        return true; // no way to ask: the session ends without a save
    return close();
}

void frmAdminAdd::commitData(QSessionManager& manager)
{
    // Interaction is requested only when there is something to ask.
    const bool mayAsk = ProjectSaved || manager.allowsInteraction();
    const bool goOn = sessionEnding(mayAsk);
    manager.release();
    if (!goOn)
        manager.cancel();
}

// ---- Make autorun CD ---------------------------------------------------------

QString frmAdminAdd::BrowseForFolder(QWidget* hwndOwner, const QString& sPrompt)
{
    return platform_.browseForFolder(hwndOwner, sPrompt);
}

void frmAdminAdd::cmdSave_Click()
{
    const QString folder =
        BrowseForFolder(this, QStringLiteral("Please select a folder to save your project."));
    if (folder.isEmpty())
        return;

    QStringList moviePaths;
    for (int i = 0; i < lstViewSongList->topLevelItemCount(); ++i)
        moviePaths << lstViewSongList->topLevelItem(i)->text(1);
    const creator::CdBuild build(moviePaths, StartFolder);
    // Nothing is written while anything would stop the build halfway or
    // make a disc that plays the wrong movie.
    if (const QStringList problems = build.problems(); !problems.isEmpty()) {
        showError(QStringLiteral("The autorun CD was not made:\n\n") + problems.join(u'\n'));
        return;
    }

    const QString project = creator::CdBuild::makeProjectFolder(folder, ProjectName);
    // Every file that is complete in the project folder, for the message
    // should the build fail part-way.
    QStringList written;
    try {
        const QString playlist = qev::joinPath(project, QStringLiteral("PlayList.qev"));
        SavePlayList(playlist, true);
        written << playlist;
        creator::CdBuild::writeAutorunInf(project);
        written << qev::joinPath(project, QStringLiteral("autorun.inf"));
        BuildProgress progress(this, buildProgressDelayMs_);
        build.copyFiles(
            project,
            [&progress](const QString& fileName, qint64 done, qint64 total) {
                progress.update(fileName, done, total);
            },
            written);
    } catch (const qev::FileError& e) {
        showError(e.message() + QStringLiteral("\n\n") + writtenBeforeFailure(written));
        return;
    }
    platform_.message(this, creator::AppTitle, QStringLiteral("Project was created successfully"));
}

QString frmAdminAdd::writtenBeforeFailure(const QStringList& written)
{
    if (written.isEmpty())
        return QStringLiteral("The autorun CD was not made; no file was written.");
    return QStringLiteral("The autorun CD was not made. These files were written before the failure:\n")
        + written.join(u'\n');
}

// ---- Playlist operations ----------------------------------------------------

QString frmAdminAdd::ExtractFileName(const QString& path)
{
    return qev::fileNameOf(path);
}

QString frmAdminAdd::ExtractTitle(const QString& path)
{
    const QString name = ExtractFileName(path);
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

void frmAdminAdd::SavePlayList(const QString& fName, bool extract)
{
    const int count = lstViewSongList->topLevelItemCount();
    std::vector<qev::PlaylistItem> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* row = lstViewSongList->topLevelItem(i);
        QString reference = row->text(1);
        if (extract)
            reference = ExtractFileName(reference);
        items.push_back({row->text(0), std::move(reference)});
    }
    qev::writePlaylistFile(fName, items, codePage_);
    ProjectSaved = true;
}

void frmAdminAdd::LoadPlayList(const QString& fName, QTreeWidget* list)
{
    list->clear();
    // Rows are added in one go at the end, and also when reading stops on
    // an error, so that the pairs read before the failure stay.
    QList<QTreeWidgetItem*> rows;
    {
        const auto addRead = qScopeGuard([&] { list->addTopLevelItems(rows); });
        try {
            qev::readPlaylistFile(fName, codePage_, [&](qev::PlaylistItem&& item) {
                rows.append(makeRow(item.name, item.reference));
            });
        } catch (const qev::PlaylistFormatError& e) {
            throw qev::FileError(fName, QString::fromLocal8Bit(e.what()));
        }
    }
    ProjectName = ExtractTitle(fName);
    setCaptionName(ProjectName);
}
