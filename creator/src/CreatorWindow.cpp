#include "CreatorWindow.h"

#include "BuildProgress.h"
#include "CdBuild.h"
#include "CopyThread.h"
#include "CreatorTexts.h"
#include "MovieCheck.h"
#include "PictureButton.h"
#include "ItemNameDialog.h"
#include "qev/FileError.h"
#include "qev/HandlerGuard.h"
#include "qev/Paths.h"
#include "qev/Platform.h"
#include "qev/Playlist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScopeGuard>
#include <QSessionManager>
#include <QShortcut>
#include <QTreeWidget>
#include <QUrl>

#include <csignal>
#include <utility>
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

CreatorWindow::CreatorWindow(qev::Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      fileDialog(platform, this),
      platform_(platform),
      codePage_(qev::CodePage::fromEnvironment())
{
    setObjectName(QStringLiteral("frmAdminAdd"));
    setWindowTitle(QStringLiteral("QEV CD Menu Creator"));
    setWindowIcon(QIcon(QStringLiteral(":/creator/ravlen.svg")));
    createControls();
    placeControls();
    connectHandlers();
    startUp();
}

CreatorWindow::~CreatorWindow() = default;

void CreatorWindow::createControls()
{
    listLabel = new QLabel(QStringLiteral("List of items on CD:"), this);
    listLabel->setObjectName(QStringLiteral("Label1"));

    movieList = new QTreeWidget(this);
    movieList->setObjectName(QStringLiteral("lstViewSongList"));
    movieList->setColumnCount(2);
    movieList->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Path")});
    movieList->setFont(verdana());
    movieList->setRootIsDecorated(false);
    movieList->setItemsExpandable(false);
    movieList->setUniformRowHeights(true);
    movieList->setSortingEnabled(false);
    movieList->setSelectionMode(QAbstractItemView::SingleSelection);
    movieList->setSelectionBehavior(QAbstractItemView::SelectRows);
    movieList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    movieList->setDragDropMode(QAbstractItemView::NoDragDrop);
    // Movies may be dropped onto the list from a file manager; rows are not
    // dragged within it.
    movieList->viewport()->setAcceptDrops(true);
    movieList->viewport()->installEventFilter(this);
    movieList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    movieList->header()->setStretchLastSection(false);
    movieList->header()->setSectionsMovable(false);

    auto button = [this](const char* name, const char* picture, QSize size, const QString& caption,
                         const QString& toolTip) {
        auto* b = new PictureButton(QStringLiteral(":/creator/%1.svg").arg(QLatin1String(picture)),
                                    size, caption, toolTip, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    newProjectButton = button("cmdNewProject", "new-project", {32, 32}, QStringLiteral("New project"),
                           QStringLiteral("New project"));
    saveProjectButton = button("cmdSaveList", "save-list", {24, 24}, {}, QStringLiteral("Save project"));
    openProjectButton = button("cmdOpenList", "open-list", {24, 24}, {}, QStringLiteral("Load project"));
    addButton = button("cmdAdd", "add", {24, 24}, {}, QStringLiteral("Add new item"));
    removeButton = button("cmdRemove", "remove", {24, 24}, {}, QStringLiteral("Remove item from list"));
    moveDownButton = button("cmdDown", "down", {9, 9}, {}, QStringLiteral("Move item down"));
    moveUpButton = button("cmdUp", "up", {9, 9}, {}, QStringLiteral("Move item up"));
    makeCdButton = button("cmdSave", "make-cd", {34, 34}, QStringLiteral("Make autorun CD"),
                     QStringLiteral("Make autorun CD"));
    makeCdButton->setFont(verdana());
}

void CreatorWindow::placeControls()
{
    setFixedSize(583, 307);
    listLabel->setGeometry(8, 8, 265, 17);
    movieList->setGeometry(8, 32, 457, 265);
    movieList->setColumnWidth(0, 229);
    movieList->setColumnWidth(1, 296);
    newProjectButton->setGeometry(480, 8, 89, 65);
    saveProjectButton->setGeometry(480, 80, 41, 41);
    openProjectButton->setGeometry(528, 80, 41, 41);
    addButton->setGeometry(480, 128, 41, 41);
    removeButton->setGeometry(528, 128, 41, 41);
    moveDownButton->setGeometry(480, 176, 41, 41);
    moveUpButton->setGeometry(528, 176, 41, 41);
    makeCdButton->setGeometry(480, 224, 89, 73);

    const QWidget* order[] = {movieList, makeCdButton, addButton, removeButton, openProjectButton,
                              saveProjectButton, moveDownButton, moveUpButton, newProjectButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    movieList->setFocus(Qt::OtherFocusReason);
}

void CreatorWindow::connectHandlers()
{
    const std::pair<PictureButton*, void (CreatorWindow::*)()> handlers[] = {
        {addButton, &CreatorWindow::addClicked},
        {removeButton, &CreatorWindow::removeClicked},
        {moveUpButton, &CreatorWindow::moveUpClicked},
        {moveDownButton, &CreatorWindow::moveDownClicked},
        {newProjectButton, &CreatorWindow::newProjectClicked},
        {openProjectButton, &CreatorWindow::openProjectClicked},
        {saveProjectButton, &CreatorWindow::saveProjectClicked},
        {makeCdButton, &CreatorWindow::makeAutorunCd},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QToolButton::clicked, this, [this, handler = handler] { runHandler(handler); });

    // Keys for the commands used most, named in their buttons' tool tips.
    struct Key {
        QKeySequence keys;
        PictureButton* button;
        void (CreatorWindow::*handler)();
    };
    const Key keys[] = {
        {QKeySequence(Qt::Key_Delete), removeButton, &CreatorWindow::removeClicked},
        {QKeySequence(Qt::CTRL | Qt::Key_S), saveProjectButton, &CreatorWindow::saveProjectClicked},
        {QKeySequence(Qt::CTRL | Qt::Key_O), openProjectButton, &CreatorWindow::openProjectClicked},
        {QKeySequence(Qt::CTRL | Qt::Key_N), newProjectButton, &CreatorWindow::newProjectClicked},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), moveUpButton, &CreatorWindow::moveUpClicked},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), moveDownButton, &CreatorWindow::moveDownClicked},
    };
    for (const Key& key : keys) {
        auto* shortcut = new QShortcut(key.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, handler = key.handler] { runHandler(handler); });
        key.button->setToolTip(QStringLiteral("%1 (%2)").arg(key.button->toolTip(),
                                                            key.keys.toString(QKeySequence::NativeText)));
    }
    if (qApp)
        connect(qApp, &QGuiApplication::commitDataRequest, this, &CreatorWindow::commitData);
}

void CreatorWindow::startUp()
{
    // Under a file size limit, a write that crosses it would otherwise end
    // the program (SIGXFSZ) and lose the unsaved project; ignored, the write
    // fails with EFBIG and is told like any other failed write.
    std::signal(SIGXFSZ, SIG_IGN);
    startFolder_ = QDir::currentPath();
    projectName_ = QStringLiteral("Untitled");
    setCaptionName(projectName_);
}

void CreatorWindow::setCaptionName(const QString& name)
{
    setWindowTitle(creator::CaptionPrefix + name);
}

void CreatorWindow::runHandler(void (CreatorWindow::*handler)())
{
    runHandler([this, handler] { (this->*handler)(); });
}

void CreatorWindow::runHandler(const std::function<void()>& handler)
{
    if (building_)
        return;
    qev::runHandler(platform_, this, creator::AppTitle, handler);
}

void CreatorWindow::showError(const QString& text)
{
    platform_.message(this, creator::AppTitle, text);
}

ItemNameDialog& CreatorWindow::itemNameDialog()
{
    if (!itemNameDialog_)
        itemNameDialog_ = new ItemNameDialog(platform_, this);
    return *itemNameDialog_;
}

// ---- Item list editing ------------------------------------------------------

QTreeWidgetItem* CreatorWindow::makeRow(const QString& name, const QString& path) const
{
    auto* row = new QTreeWidgetItem(QStringList{name, path});
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return row;
}

int CreatorWindow::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = movieList->selectedItems();
    if (selected.isEmpty())
        return -1;
    return movieList->indexOfTopLevelItem(selected.constFirst());
}

void CreatorWindow::selectRow(int row, bool scrollIntoView)
{
    QTreeWidgetItem* item = movieList->topLevelItem(row);
    // Making a row current scrolls to it unless auto-scroll is off; Add and
    // Remove select without moving the view.
    const bool autoScroll = movieList->hasAutoScroll();
    movieList->setAutoScroll(false);
    movieList->setCurrentItem(item);
    movieList->setAutoScroll(autoScroll);
    if (scrollIntoView)
        movieList->scrollToItem(item);
}

void CreatorWindow::addClicked()
{
    fileDialog.fileName = QString();
    fileDialog.filter = QStringLiteral("Flash (*.swf)|*.swf");
    fileDialog.flags = qev::FileDialogFlags::PathMustExist | qev::FileDialogFlags::HideReadOnly;
    fileDialog.showOpen();
    if (fileDialog.fileName.isEmpty())
        return;
    addMovie(fileDialog.fileName);
}

void CreatorWindow::addMovie(const QString& path)
{
    if (const QString problem = pathProblem(path, codePage_); !problem.isEmpty()) {
        showError(problem);
        return;
    }

    ItemNameDialog& prompt = itemNameDialog();
    prompt.nameEdit->clear();
    prompt.promptLabel->setText(QStringLiteral("Item name:"));
    // A name the playlist cannot store is refused while the prompt is still
    // open, so the typed name can be mended instead of typed again.
    prompt.setNameCheck([this](const QString& name) { return nameProblem(name, codePage_); });
    const auto noCheck = qScopeGuard([&prompt] { prompt.setNameCheck({}); });
    platform_.showModal(&prompt);
    const QString name = prompt.nameEdit->text();
    if (name.isEmpty())
        return;

    movieList->addTopLevelItem(makeRow(name, path));
    selectRow(movieList->topLevelItemCount() - 1, false);
    projectSaved_ = false;
}

void CreatorWindow::removeClicked()
{
    int k = selectedRow();
    if (k < 0)
        return;
    {
        const bool autoScroll = movieList->hasAutoScroll();
        movieList->setAutoScroll(false);
        delete movieList->takeTopLevelItem(k);
        movieList->setAutoScroll(autoScroll);
    }
    projectSaved_ = false;
    const int count = movieList->topLevelItemCount();
    if (k >= count)
        k = count - 1;
    if (k < 0) {
        movieList->setCurrentItem(nullptr);
        return;
    }
    selectRow(k, false);
}

void CreatorWindow::moveSelectedRow(int step)
{
    const int k = selectedRow();
    if (k < 0)
        return;
    const int target = k + step;
    if (target < 0 || target >= movieList->topLevelItemCount())
        return;
    // The moved row is rebuilt from its two texts; the selection follows it.
    const QTreeWidgetItem* old = movieList->topLevelItem(k);
    QTreeWidgetItem* moved = makeRow(old->text(0), old->text(1));
    delete movieList->takeTopLevelItem(k);
    movieList->insertTopLevelItem(target, moved);
    selectRow(target, true);
    projectSaved_ = false;
}

void CreatorWindow::moveUpClicked()
{
    moveSelectedRow(-1);
}

void CreatorWindow::moveDownClicked()
{
    moveSelectedRow(+1);
}

QStringList CreatorWindow::droppedMovies(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (path.endsWith(QStringLiteral(".swf"), Qt::CaseInsensitive))
            paths << path;
    }
    return paths;
}

bool CreatorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != movieList->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedMovies(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedMovies(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // The movies are added once the drop is over: the file manager waits
        // for the drop to finish, and a name prompt inside it would hold it up.
        QMetaObject::invokeMethod(
            this,
            [this, paths] {
                for (const QString& path : paths)
                    runHandler([this, &path] { addMovie(path); });
            },
            Qt::QueuedConnection);
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// ---- Project commands -------------------------------------------------------

bool CreatorWindow::askToSaveFirst(const QString& question)
{
    switch (platform_.askYesNoCancel(this, creator::WarningTitle, question)) {
    case qev::Answer::Cancel:
    case qev::Answer::Ok:
        return false;
    case qev::Answer::Yes:
        // Goes on whether or not a file was written.
        saveProjectClicked();
        return true;
    case qev::Answer::No:
        return true;
    }
    return false;
}

void CreatorWindow::newProjectClicked()
{
    if (!projectSaved_
        && !askToSaveFirst(
            QStringLiteral("Do you want to save your current project before create a new one?")))
        return;
    // The text box is not cleared: the name typed last is offered again.
    ItemNameDialog& prompt = itemNameDialog();
    prompt.promptLabel->setText(QStringLiteral("Project name:"));
    platform_.showModal(&prompt);
    const QString name = prompt.nameEdit->text();
    if (name.isEmpty())
        return;
    // Only the caption takes the new name; projectName_ keeps the old one
    // until the next load or save.
    setCaptionName(name);
    movieList->clear();
    projectSaved_ = false;
}

void CreatorWindow::openProjectClicked()
{
    if (!projectSaved_
        && !askToSaveFirst(QStringLiteral("Do you want to save your current project before load?")))
        return;
    // The flags are left as the previous use of the dialog set them.
    fileDialog.fileName = QString();
    fileDialog.filter = ProjectFilter;
    fileDialog.showOpen();
    if (fileDialog.fileName.isEmpty())
        return;
    loadPlaylist(fileDialog.fileName, movieList);
    projectSaved_ = false;
}

void CreatorWindow::saveProjectClicked()
{
    fileDialog.fileName = QString();
    fileDialog.filter = ProjectFilter;
    fileDialog.flags = qev::FileDialogFlags::OverwritePrompt | qev::FileDialogFlags::HideReadOnly
        | qev::FileDialogFlags::PathMustExist;
    fileDialog.showSave();
    if (fileDialog.fileName.isEmpty())
        return;
    savePlaylist(fileDialog.fileName, false);
    projectName_ = extractTitle(fileDialog.fileName);
    setCaptionName(projectName_);
}

void CreatorWindow::askBeforeClosing(bool& cancel)
{
    if (projectSaved_)
        return;
    switch (platform_.askYesNoCancel(this, creator::WarningTitle,
                                     QStringLiteral("Do you want to save your current project?"))) {
    case qev::Answer::Yes:
        saveProjectClicked();
        if (!projectSaved_)
            cancel = true;
        break;
    case qev::Answer::No:
        break;
    case qev::Answer::Cancel:
    case qev::Answer::Ok:
        cancel = true;
        break;
    }
}

void CreatorWindow::closeEvent(QCloseEvent* event)
{
    if (building_) {
        // The closing question could save into files the build is using;
        // the window closes once the build has ended.
        closeAfterBuild_ = true;
        event->ignore();
        return;
    }
    bool cancel = false;
    // A save that fails keeps the window open, with the failure told.
    const bool asked = qev::runHandler(platform_, this, creator::AppTitle, [&] { askBeforeClosing(cancel); });
    event->setAccepted(asked && !cancel);
}

bool CreatorWindow::sessionEnding(bool mayAsk)
{
    if (!isVisible())
        return true;
    if (building_)
        return false; // a disc half written is not left behind by a logout
    if (!projectSaved_ && !mayAsk)
        return true; // no way to ask: the session ends without a save
    return close();
}

void CreatorWindow::commitData(QSessionManager& manager)
{
    // Interaction is requested only when there is something to ask.
    const bool mayAsk = projectSaved_ || manager.allowsInteraction();
    const bool goOn = sessionEnding(mayAsk);
    manager.release();
    if (!goOn)
        manager.cancel();
}

// ---- Make autorun CD ---------------------------------------------------------

QString CreatorWindow::browseForFolder(QWidget* owner, const QString& prompt)
{
    return platform_.browseForFolder(owner, prompt);
}

void CreatorWindow::makeAutorunCd()
{
    const QString folder =
        browseForFolder(this, QStringLiteral("Please select a folder to save your project."));
    if (folder.isEmpty())
        return;

    QStringList moviePaths;
    for (int i = 0; i < movieList->topLevelItemCount(); ++i)
        moviePaths << movieList->topLevelItem(i)->text(1);
    const creator::CdBuild build(moviePaths, startFolder_);
    // Nothing is written while anything would stop the build halfway or
    // make a disc that plays the wrong movie.
    if (const QStringList problems = build.problems(); !problems.isEmpty()) {
        showError(QStringLiteral("The autorun CD was not made:\n\n") + problems.join(u'\n'));
        return;
    }

    const QString project = creator::CdBuild::makeProjectFolder(folder, projectName_);
    // Every file that is complete in the project folder, for the message
    // should the build fail part-way.
    QStringList written;
    try {
        const QString playlist = qev::joinPath(project, QStringLiteral("PlayList.qev"));
        savePlaylist(playlist, true);
        written << playlist;
        creator::CdBuild::writeAutorunInf(project);
        written << qev::joinPath(project, QStringLiteral("autorun.inf"));
        creator::CdBuild::writeAutorunScript(project);
        written << qev::joinPath(project, QStringLiteral("autorun.sh"));
    } catch (const std::exception& e) {
        showError(qev::errorText(e) + QStringLiteral("\n\n") + writtenBeforeFailure(written));
        return;
    }
    if (const QString failure = copyOffThread(build, project, written); !failure.isEmpty()) {
        showError(failure + QStringLiteral("\n\n") + writtenBeforeFailure(written));
        return;
    }
    platform_.message(this, creator::AppTitle, QStringLiteral("Project was created successfully"));
}

QString CreatorWindow::copyOffThread(const creator::CdBuild& build, const QString& project,
                                     QStringList& written)
{
    building_ = true;
    const auto ended = qScopeGuard([this] {
        building_ = false;
        // A close asked for during the build happens now, after the build's
        // own message, with the closing question as usual.
        if (std::exchange(closeAfterBuild_, false))
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    BuildProgress progress(this, buildProgressDelayMs_);
    CopyThread copies(build, project);
    connect(&copies, &CopyThread::progressed, &progress, &BuildProgress::update);
    QEventLoop loop;
    connect(&copies, &QThread::finished, &loop, &QEventLoop::quit);
    copies.start();
    // The window keeps painting while the copies run. Whatever arrives
    // meanwhile (a click, a key, the close box, the session's save request)
    // finds building_ set and is refused, so no command runs halfway
    // through a build.
    loop.exec();
    copies.wait();
    written << copies.written();
    return copies.failure();
}

QString CreatorWindow::writtenBeforeFailure(const QStringList& written)
{
    if (written.isEmpty())
        return QStringLiteral("The autorun CD was not made; no file was written.");
    return QStringLiteral("The autorun CD was not made. These files were written before the failure:\n")
        + written.join(u'\n');
}

// ---- Playlist operations ----------------------------------------------------

QString CreatorWindow::extractFileName(const QString& path)
{
    return qev::fileNameOf(path);
}

QString CreatorWindow::extractTitle(const QString& path)
{
    const QString name = extractFileName(path);
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

void CreatorWindow::savePlaylist(const QString& fName, bool extract)
{
    const int count = movieList->topLevelItemCount();
    std::vector<qev::PlaylistItem> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* row = movieList->topLevelItem(i);
        QString reference = row->text(1);
        if (extract)
            reference = extractFileName(reference);
        items.push_back({row->text(0), std::move(reference)});
    }
    qev::writePlaylistFile(fName, items, codePage_);
    projectSaved_ = true;
}

void CreatorWindow::loadPlaylist(const QString& fName, QTreeWidget* list)
{
    list->clear();
    // The rows go in at once, those read before a failure included, and the
    // failure is passed on afterwards.
    const qev::PlaylistRead read = qev::readPlaylistUpToFailure(fName, codePage_);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(read.items.size()));
    for (const qev::PlaylistItem& item : read.items)
        rows.append(makeRow(item.name, item.reference));
    list->addTopLevelItems(rows);
    read.throwFailure();
    projectName_ = extractTitle(fName);
    setCaptionName(projectName_);
}
