#include "ui/Ovrin.h"

#include "engine/ReviewFile.h"
#include "engine/RunContext.h"
#include "engine/TGraphicSearch.h"
#include "settings/TSetting.h"
#include "settings/WindowSetting.h"
#include "signature/TFileInfo.h"
#include "ui/ActionConfirmDlg.h"
#include "ui/ActionPlan.h"
#include "ui/CompareView.h"
#include "ui/ContextStrip.h"
#include "ui/DropIntake.h"
#include "ui/ExclusionsDlg.h"
#include "ui/GroupExport.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitTableView.h"
#include "ui/MarkSet.h"
#include "ui/PasteIntake.h"
#include "ui/PathDelegate.h"
#include "ui/PathText.h"
#include "ui/PictureFacts.h"
#include "ui/PictureLoader.h"
#include "ui/PreviewPane.h"
#include "ui/ProtectedFoldersDlg.h"
#include "ui/RunReport.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/TSearchDlg.h"
#include "ui/TargetCheck.h"
#include "ui/ThumbnailCache.h"
#include "ui/UiHooks.h"
#include "ui_MainWindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTranslator>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <iterator>
#include <new>
#include <system_error>

// The library's resources are linked into a static library, whose
// registration nothing else would pull into the program.
static void initResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace ovrin::ui {

namespace {

constexpr int kOpenWithoutAsking = 10;
const QSize kThumbnailBox(48, 36);

QString fileName(const std::string& path)
{
    const QString shown = PathText::display(path);
    return shown.section(QLatin1Char('/'), -1);
}

} // namespace

QIcon Ovrin::icon()
{
    initResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1/ovrin.png").arg(size), QSize(size, size));
    return icon;
}

Ovrin::Ovrin(QObject* parent)
    : QObject(parent), m_ui(std::make_unique<Ui::MainWindow>()),
      m_window(std::make_unique<QMainWindow>())
{
    m_ui->setupUi(m_window.get());
    // Every window of the application, dialogs and alerts included.
    QGuiApplication::setWindowIcon(icon());
    m_createIndexFileDlg = new TCreateIndexFileDlg(m_window.get());
    m_searchDlg = new TSearchDlg(m_window.get());
    m_groupsDlg = new GroupsDlg(m_window.get());
    m_protectedDlg = new ProtectedFoldersDlg(m_window.get());

    // The window's own events (drops, the close) come here first.
    m_window->installEventFilter(this);
    m_window->setAcceptDrops(true);

    m_setting = std::make_unique<TSetting>();
    if (m_setting->beginning())
        m_settingSaved = m_setting->clone();
    m_bridge = new RunBridge(this);
    m_gs = m_bridge->engine();
    connect(m_bridge, &RunBridge::hitsArrived, this, &Ovrin::showHits);
    connect(m_bridge, &RunBridge::progressed, this, &Ovrin::showProgress);
    connect(m_bridge, &RunBridge::runEnded, this, &Ovrin::endOfRun);
    m_gs->loadSetting(*m_setting);
    m_gs->setExclusions(ExclusionsDlg::stored());
    m_remembered = {m_gs->target().filePath(), m_gs->topDirPath(), m_gs->indexFilePath(),
                    m_setting->targetPasted()};

    m_hits = new HitListModel(this);
    m_thumbnails = new ThumbnailCache(kThumbnailBox, this);
    m_hits->setThumbnails(m_thumbnails);
    HitTableView* table = m_ui->tvResult;
    table->setModel(m_hits);
    table->setIconSize(kThumbnailBox);
    QHeaderView* rows = table->verticalHeader();
    rows->setVisible(false);
    // Fixed heights: the table never asks every row for its size.
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kThumbnailBox.height() + 6);
    QHeaderView* columns = table->horizontalHeader();
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSortIndicator(HitListModel::kRateColumn, Qt::DescendingOrder);
    columns->resizeSection(HitListModel::kRateColumn,
                           columns->sectionSizeHint(HitListModel::kRateColumn) + 12);
    FactText::sizeColumns(columns, HitListModel::kDimensionsColumn, HitListModel::kModifiedColumn,
                          HitListModel::kFolderColumn);
    auto* paths = new PathDelegate(this);
    table->setItemDelegateForColumn(HitListModel::kPathColumn, paths);
    table->setItemDelegateForColumn(HitListModel::kFolderColumn, paths);
    table->setWordWrap(false);
    PathDelegate::keepRoom(columns, HitListModel::kPathColumn, pathFloor());
    table->setSortingEnabled(true);
    table->setPlaceholderText(tr("Drop a picture and a folder here, or choose File → Search…"));
    connect(table, &QAbstractItemView::doubleClicked, this, &Ovrin::doubleClickTvResultAction);
    connect(table, &HitTableView::openRequested, this, &Ovrin::menuOpenGraphicFileAction);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Ovrin::updateActions);
    connect(table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Ovrin::previewSelection);
    connect(m_hits, &QAbstractItemModel::rowsInserted, this, &Ovrin::updateActions);
    connect(m_hits, &QAbstractItemModel::rowsRemoved, this, &Ovrin::updateActions);
    connect(m_hits, &QAbstractItemModel::modelReset, this, &Ovrin::updateActions);

    m_groups = new GroupTreeModel(this);
    m_hitMarks = new MarkSet(this);
    m_groupMarks = new MarkSet(this);
    const std::vector<std::string> protectedFolders = windowsetting::protectedFolders();
    m_hitMarks->setProtectedFolders(protectedFolders);
    m_groupMarks->setProtectedFolders(protectedFolders);
    m_hits->setMarks(m_hitMarks);
    m_groups->setMarks(m_groupMarks);
    connect(table, &HitTableView::markToggleRequested, this, &Ovrin::toggleMarksAction);
    m_groups->setThumbnails(m_thumbnails);
    GroupTreeView* tree = m_ui->tvGroups;
    tree->setModel(m_groups);
    tree->setIconSize(kThumbnailBox);
    // A double click opens, as in the table; the keyboard and the arrows
    // fold groups.
    tree->setExpandsOnDoubleClick(false);
    QHeaderView* groupColumns = tree->header();
    groupColumns->setStretchLastSection(false);
    for (int column = GroupTreeModel::kRateColumn; column < GroupTreeModel::kColumnCount;
         ++column) {
        groupColumns->setSectionResizeMode(column, QHeaderView::Interactive);
        groupColumns->resizeSection(column, groupColumns->sectionSizeHint(column) + 12);
    }
    FactText::sizeColumns(groupColumns, GroupTreeModel::kDimensionsColumn,
                          GroupTreeModel::kModifiedColumn, GroupTreeModel::kFolderColumn);
    tree->setItemDelegateForColumn(GroupTreeModel::kPathColumn, paths);
    tree->setItemDelegateForColumn(GroupTreeModel::kFolderColumn, paths);
    tree->setWordWrap(false);
    PathDelegate::keepRoom(groupColumns, GroupTreeModel::kPathColumn,
                           pathFloor() + tree->indentation());
    // The engine's order until a column is chosen, and again after a third
    // click on it.
    groupColumns->setSortIndicator(-1, Qt::AscendingOrder);
    groupColumns->setSortIndicatorClearable(true);
    tree->setSortingEnabled(true);
    connect(tree, &QAbstractItemView::doubleClicked, this, &Ovrin::doubleClickTvResultAction);
    connect(tree, &GroupTreeView::openRequested, this, &Ovrin::menuOpenGraphicFileAction);
    connect(tree, &GroupTreeView::markToggleRequested, this, &Ovrin::toggleMarksAction);
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Ovrin::updateActions);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Ovrin::previewSelection);
    connect(m_groups, &QAbstractItemModel::rowsRemoved, this, &Ovrin::updateActions);
    connect(m_groups, &QAbstractItemModel::modelReset, this, [this] {
        m_ui->tvGroups->expandAll();
        updateActions();
        previewSelection();
    });
    connect(m_thumbnails, &ThumbnailCache::changed, tree->viewport(),
            qOverload<>(&QWidget::update));
    // Rows leave and come back by every kind of action: what the window says
    // of them follows the models, not the commands.
    for (QAbstractItemModel* model :
         {static_cast<QAbstractItemModel*>(m_hits), static_cast<QAbstractItemModel*>(m_groups)}) {
        const auto follow = [this] {
            refreshSummary();
            refreshShownPictures();
        };
        connect(model, &QAbstractItemModel::rowsRemoved, this, follow);
        connect(model, &QAbstractItemModel::rowsInserted, this, follow);
        connect(model, &QAbstractItemModel::modelReset, this, follow);
        connect(model, &QAbstractItemModel::dataChanged, this, &Ovrin::refreshSummary);
    }

    m_targetCheck = new TargetCheck(this);
    m_previews = new PictureLoader(3, 0, this);
    connect(m_previews, &PictureLoader::slotLoaded, this, &Ovrin::pictureLoaded);

    connect(m_ui->btnSearch, &QPushButton::clicked, this, &Ovrin::btnSearchAction);
    connect(m_ui->actionSearch, &QAction::triggered, this, &Ovrin::menuSearchAction);
    connect(m_ui->actionCreateIndexFile, &QAction::triggered, this,
            &Ovrin::menuCreateIndexFileAction);
    connect(m_ui->actionStop, &QAction::triggered, this, &Ovrin::menuStopAction);
    connect(m_ui->actionPasteTarget, &QAction::triggered, this, &Ovrin::menuPasteTargetAction);
    // A window shortcut: in a dialog's text field the same keys paste text there.
    m_ui->actionPasteTarget->setShortcuts(QKeySequence::Paste);
    // Asked of the clipboard's owner only when it changes: updateActions runs
    // at every selection change, and an owner may be slow to answer.
    const auto clipboardHolds = [] {
        const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
        return offered != nullptr && !offered->formats().isEmpty();
    };
    m_clipboardHolds = clipboardHolds();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this, clipboardHolds] {
        m_clipboardHolds = clipboardHolds();
        updateActions();
    });
    connect(m_ui->actionOpen, &QAction::triggered, this, &Ovrin::menuOpenGraphicFileAction);
    connect(m_ui->actionShowInFolder, &QAction::triggered, this, &Ovrin::menuShowInFolderAction);
    connect(m_ui->actionCopyPaths, &QAction::triggered, this, &Ovrin::menuCopyPathsAction);
    connect(m_ui->actionMoveToTrash, &QAction::triggered, this, &Ovrin::menuMoveToTrashAction);
    connect(m_ui->actionMoveToFolder, &QAction::triggered, this, &Ovrin::menuMoveToFolderAction);
    connect(m_ui->actionHardLink, &QAction::triggered, this, &Ovrin::menuHardLinkAction);
    connect(m_ui->actionUndo, &QAction::triggered, this, &Ovrin::menuUndoAction);
    connect(m_hitMarks, &MarkSet::changed, this, &Ovrin::updateActions);
    connect(m_groupMarks, &MarkSet::changed, this, &Ovrin::updateActions);
    connect(m_ui->actionExportHits, &QAction::triggered, this, &Ovrin::menuExportHitsAction);
    connect(m_ui->actionFindGroups, &QAction::triggered, this, &Ovrin::menuFindGroupsAction);
    connect(m_ui->actionSelectMembers, &QAction::triggered, this, &Ovrin::menuSelectMembersAction);
    connect(m_ui->actionExportGroups, &QAction::triggered, this, &Ovrin::menuExportGroupsAction);
    connect(m_ui->actionSaveReview, &QAction::triggered, this, &Ovrin::menuSaveReviewAction);
    connect(m_ui->actionOpenReview, &QAction::triggered, this, &Ovrin::menuOpenReviewAction);
    connect(m_ui->actionQuit, &QAction::triggered, m_window.get(), &QMainWindow::close);
    connect(m_ui->actionMarkAllButKept, &QAction::triggered, this,
            &Ovrin::menuMarkAllButKeptAction);
    connect(m_ui->actionUnmarkAll, &QAction::triggered, this, &Ovrin::menuUnmarkAllAction);
    connect(m_ui->actionInvertMarks, &QAction::triggered, this, &Ovrin::menuInvertMarksAction);
    connect(m_ui->actionMarkInFolder, &QAction::triggered, this, &Ovrin::menuMarkInFolderAction);
    connect(m_ui->actionUnmarkInFolder, &QAction::triggered, this,
            &Ovrin::menuUnmarkInFolderAction);
    connect(m_ui->actionMakeReference, &QAction::triggered, this, &Ovrin::menuMakeReferenceAction);
    connect(m_ui->actionKeepAndNext, &QAction::triggered, this, &Ovrin::menuKeepAndNextAction);
    connect(m_ui->actionNextGroup, &QAction::triggered, this, &Ovrin::menuNextGroupAction);
    connect(m_ui->actionPreviousGroup, &QAction::triggered, this, &Ovrin::menuPreviousGroupAction);
    connect(m_ui->actionProtectedFolders, &QAction::triggered, this,
            &Ovrin::menuProtectedFoldersAction);
    connect(m_ui->actionExclusions, &QAction::triggered, this,
            [this] { ExclusionsDlg::edit(m_window.get(), *m_gs); });
    connect(m_ui->actionCompare, &QAction::triggered, this, &Ovrin::menuCompareAction);
    m_ui->actionStop->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(tr("Ctrl+."))});
    auto* separator = new QAction(table);
    separator->setSeparator(true);
    auto* separator2 = new QAction(table);
    separator2->setSeparator(true);
    table->addActions({m_ui->actionOpen, m_ui->actionShowInFolder, m_ui->actionCopyPaths, separator,
                       m_ui->actionMoveToTrash, m_ui->actionMoveToFolder, m_ui->actionUndo,
                       separator2, m_ui->actionExportHits});
    auto* treeSeparator = new QAction(tree);
    treeSeparator->setSeparator(true);
    auto* treeSeparator2 = new QAction(tree);
    treeSeparator2->setSeparator(true);
    tree->addActions({m_ui->actionOpen, m_ui->actionShowInFolder, m_ui->actionCopyPaths,
                      treeSeparator, m_ui->actionSelectMembers, m_ui->actionMoveToTrash,
                      m_ui->actionMoveToFolder, m_ui->actionHardLink, m_ui->actionUndo,
                      treeSeparator2, m_ui->actionExportGroups});

    m_ui->btnSearch->setAccessibleName(tr("Search or stop"));
    m_ui->pbIndexRead->hide();
    m_ui->msgSummary->hide();
    // The counts of a run share the row with the file in hand and wrap on a
    // narrow screen rather than widen the window beyond it.
    m_ui->msgCounts->setWordWrap(true);
    m_ui->statusLayout->setStretchFactor(m_ui->msgCounts, 1);

    setButtonTitle(searchTitle());
    restoreWindow();
    loadGroupsValues();
    refreshContext();
    requestTargetPreview();
    if (m_remembered.targetPasted && !m_gs->target().filePath().value_or(std::string()).empty())
        m_remembered.targetPasted = false; // a path set by hand in the store
    if (m_remembered.targetPasted)
        m_ui->contextStrip->showFeedback(tr("The last target was a pasted picture, which is not "
                                            "kept: paste it again or choose a file."),
                                         false);
    updateActions();
    updateTitle();
    table->setFocus();
    m_quited = false;
}

Ovrin::~Ovrin()
{
    // Should the window never have closed, the worker still must not outlive
    // its receiver.
    if (m_gs)
        m_gs->join();
    if (m_reviewReader.joinable())
        m_reviewReader.join();
    stopActing();
    m_targetCheck->cancel();
    m_window->removeEventFilter(this);
}

QString Ovrin::searchTitle()
{
    return QCoreApplication::translate("Ovrin", "Search");
}

QString Ovrin::stopTitle()
{
    return QCoreApplication::translate("Ovrin", "Stop");
}

std::unique_ptr<QTranslator> Ovrin::loadTranslation(const QLocale& locale)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("ovrin"), QStringLiteral("_"),
                          QStringLiteral(":/i18n")))
        return nullptr;
    return translator;
}

std::unique_ptr<QTranslator> Ovrin::loadQtTranslation(const QLocale& locale)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}

void Ovrin::setButtonTitle(const QString& title)
{
    m_ui->btnSearch->setText(title);
    m_ui->btnSearch->repaint();
}

// ---- Window state --------------------------------------------------------

std::vector<std::string> Ovrin::windowState() const
{
    return {m_window->saveGeometry().toBase64().toStdString(),
            m_ui->splitter->saveState().toBase64().toStdString(),
            m_ui->tvResult->horizontalHeader()->saveState().toBase64().toStdString(),
            m_ui->tvGroups->header()->saveState().toBase64().toStdString()};
}

int Ovrin::pathFloor() const
{
    // A thumbnail and a file name of about twenty letters.
    return kThumbnailBox.width() + 22 * m_ui->tvResult->fontMetrics().averageCharWidth();
}

void Ovrin::restoreWindow()
{
    using windowsetting::State;
    std::vector<QByteArray> stored;
    for (const State key :
         {State::Geometry, State::Splitter, State::Columns, State::GroupColumns}) {
        m_windowKeys.emplace_back(key, windowsetting::state(key));
        stored.push_back(
            QByteArray::fromBase64(QByteArray::fromStdString(m_windowKeys.back().second)));
    }
    if (!m_window->restoreGeometry(stored[0])) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize room = screen != nullptr ? screen->availableSize() : QSize(1024, 600);
        m_window->resize(std::min(980, room.width() * 92 / 100),
                         std::min(620, room.height() * 92 / 100));
    }
    if (!m_ui->splitter->restoreState(stored[1])) {
        const int width = m_window->width();
        m_ui->splitter->setSizes({width * 60 / 100, width * 40 / 100});
    }
    QHeaderView* columns = m_ui->tvResult->horizontalHeader();
    columns->restoreState(stored[2]);
    QHeaderView* groupColumns = m_ui->tvGroups->header();
    groupColumns->restoreState(stored[3]);
    PathDelegate::keepRoom(columns, HitListModel::kPathColumn, pathFloor());
    PathDelegate::keepRoom(groupColumns, GroupTreeModel::kPathColumn,
                           pathFloor() + m_ui->tvGroups->indentation());
    // Kept by a version whose groups could not be sorted: the engine's order.
    if (!groupColumns->isSortIndicatorShown()) {
        groupColumns->setSortIndicatorShown(true);
        groupColumns->setSortIndicator(-1, Qt::AscendingOrder);
    }
    // Widths kept from a run in another language still show the whole title.
    columns->resizeSection(HitListModel::kRateColumn,
                           std::max(columns->sectionSize(HitListModel::kRateColumn),
                                    columns->sectionSizeHint(HitListModel::kRateColumn)));
    for (const int column : {GroupTreeModel::kRateColumn, GroupTreeModel::kLikenessColumn})
        groupColumns->resizeSection(column, std::max(groupColumns->sectionSize(column),
                                                     groupColumns->sectionSizeHint(column)));
    // The facts their likely text, also where the widths come from before
    // there were facts.
    FactText::sizeColumns(columns, HitListModel::kDimensionsColumn, HitListModel::kModifiedColumn,
                          HitListModel::kFolderColumn, true);
    FactText::sizeColumns(groupColumns, GroupTreeModel::kDimensionsColumn,
                          GroupTreeModel::kModifiedColumn, GroupTreeModel::kFolderColumn, true);
    // A restored state need not give back the very bytes it came from (the
    // frame is added again): what counts as a change is a change from here.
    const std::vector<std::string> now = windowState();
    for (std::size_t i = 0; i < m_windowKeys.size(); ++i)
        if (!m_windowKeys[i].second.empty())
            m_windowKeys[i].second = now[i];
}

void Ovrin::saveWindow()
{
    const std::vector<std::string> now = windowState();
    bool changed = false;
    for (std::size_t i = 0; i < m_windowKeys.size(); ++i) {
        if (m_windowKeys[i].second == now[i])
            continue;
        windowsetting::setState(m_windowKeys[i].first, now[i]);
        changed = true;
    }
    if (m_compare) {
        const std::string geometry = m_compare->saveGeometry().toBase64().toStdString();
        if (geometry != m_compareGeometry) {
            windowsetting::setState(windowsetting::State::CompareGeometry, geometry);
            changed = true;
        }
    }
    changed = saveGroupsValues() || changed;
    // Like the settings record: the store is written only when something changed.
    if (changed)
        windowsetting::write();
}

void Ovrin::loadGroupsValues()
{
    // Until a grouping has run, it starts from the search's values.
    GroupsRequest values;
    values.method = m_gs->searchMethod() == SearchMethod::IndexFile ? SearchMethod::IndexFile
                                                                    : SearchMethod::Directory;
    values.folder = m_gs->topDirPath();
    values.index = m_gs->indexFilePath();
    values.bits = m_gs->bits();
    values.matchRate = m_gs->matchRate();
    const windowsetting::Groups stored = windowsetting::groups();
    if (stored.source) {
        values.method = stored.source->method.value_or(values.method);
        values.folder = stored.source->folder;
        values.index = stored.source->index;
        values.bits = stored.source->bits.value_or(values.bits);
        values.matchRate = stored.source->matchRate.value_or(values.matchRate);
    }
    values.similarity = parseSimilarity(stored.similarity).value_or(values.similarity);
    values.keep = parseKeepRule(stored.keep).value_or(values.keep);
    values.preferred = stored.preferred;
    values.anyOrientation = stored.anyOrientation;
    m_groupsValues = m_groupsStarted = m_groupsLoaded = values;
}

bool Ovrin::saveGroupsValues()
{
    if (m_groupsStarted == m_groupsLoaded)
        return false;
    const GroupsRequest& run = m_groupsStarted;
    windowsetting::setGroups({run.method, run.folder, run.index, run.bits, run.matchRate},
                             similarityName(run.similarity), keepRuleName(run.keep), run.preferred,
                             run.anyOrientation);
    m_groupsLoaded = m_groupsStarted;
    return true;
}

// ---- Drops and arguments -------------------------------------------------

bool Ovrin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window.get())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        // Hits dragged out of our own table are not dropped back in.
        if (drag->source() != nullptr || !offersPicture(drag->mimeData())) {
            drag->ignore();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() != nullptr) {
            drop->ignore();
            return true;
        }
        takeOffered(drop->mimeData(), false);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    case QEvent::Close:
        if (!windowWillClose()) {
            event->ignore();
            return true;
        }
        return false;
    default:
        return QObject::eventFilter(watched, event);
    }
}

void Ovrin::performDragOperation(const QList<QUrl>& urls)
{
    std::vector<std::string> paths;
    for (const QUrl& url : urls)
        if (auto path = PathText::fromUrl(url))
            paths.push_back(std::move(*path));
    takePaths(paths);
}

void Ovrin::menuPasteTargetAction()
{
    takeOffered(QGuiApplication::clipboard()->mimeData(), true);
}

void Ovrin::takeOffered(const QMimeData* data, bool pasted)
{
    PasteIntake intake = readPaste(data);
    switch (intake.kind) {
    case PasteIntake::Kind::Nothing:
        return;
    case PasteIntake::Kind::Files:
        takePaths(intake.paths);
        return;
    case PasteIntake::Kind::Picture:
        takePicture(std::move(intake.picture), pasted);
        return;
    case PasteIntake::Kind::Refused:
        break;
    }
    const QString reason =
        intake.webAddress
            ? tr("It names a picture on the web, which Ovrin does not fetch: copy the picture "
                 "itself, or save it and take the file.")
        : intake.why == platform::LoadFailure::TooLarge
            ? RunReport::loadFailure(intake.why)
            : tr("Copy a picture, a screenshot or a picture file, then paste again.");
    if (pasted) {
        UiHooks::alert(m_window.get(), tr("The clipboard holds no picture."), reason);
        // Ctrl+V works again at once, also where no window manager hands
        // the activation back.
        m_window->activateWindow();
    } else {
        showTaken({}, {tr("the dropped data (%1)").arg(reason)}, false);
    }
}

void Ovrin::takePicture(TargetCheck::Picture picture, bool pasted)
{
    // Like a dropped file, checked off this thread within the decode budget;
    // nothing of it is written anywhere.
    m_dropTaken.clear();
    m_dropRefused.clear();
    m_checkingPasted = pasted;
    m_targetCheck->start(std::move(picture), 8, [this, pasted](TargetCheck::Verdict verdict) {
        if (!verdict.picture) {
            const QString reason =
                RunReport::loadFailure(verdict.refused.empty() ? platform::LoadFailure::Stopped
                                                               : verdict.refused.front().second);
            if (!pasted) {
                showTaken({}, {tr("the dropped picture (%1)").arg(reason)}, false);
                return;
            }
            showTaken({}, {}, false);
            UiHooks::alert(m_window.get(), tr("The pasted picture cannot be read."), reason);
            m_window->activateWindow();
            return;
        }
        m_pasted = verdict.picture;
        m_pastedSize = verdict.fine && verdict.fine->width > 0 && verdict.fine->height > 0
                           ? QSize(static_cast<int>(verdict.fine->width),
                                   static_cast<int>(verdict.fine->height))
                           : QSize();
        m_gs->target().setFilePath(std::string());
        m_gs->setTargetPicture(m_pasted, ContextStrip::pictureName().toStdString());
        m_remembered.target = std::string();
        m_remembered.targetPasted = true;
        showTaken({tr("target %1").arg(ContextStrip::pictureName(m_pastedSize))}, {}, true);
    });
    if (!isCheckingTarget())
        return; // answered at once
    m_ui->contextStrip->showFeedback(pasted ? tr("Checking the pasted picture… (Escape stops it)")
                                            : tr("Checking the dropped picture… (Escape stops it)"),
                                     false);
    refreshContext();
    setButtonTitle(stopTitle());
    updateActions();
}

void Ovrin::openArguments(const std::vector<std::string>& arguments,
                          const std::string& workingFolder)
{
    std::vector<std::string> paths;
    for (const std::string& argument : arguments)
        if (!argument.empty())
            paths.push_back(PathText::fromArgument(argument, workingFolder));
    takePaths(paths);
}

void Ovrin::takePaths(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    DropIntake intake =
        sortDrop(paths, [this](const std::string& path) { return m_gs->checkIndexFile(path); });
    const std::optional<std::string>& folder = intake.folder;
    const std::optional<std::string>& index = intake.index;
    std::vector<std::string>& candidates = intake.pictures;
    QStringList refused;
    for (const auto& [path, failure] : intake.refused)
        refused << tr("%1 (%2)").arg(PathText::display(path), RunReport::loadFailure(failure));

    QStringList taken;
    if (folder) {
        m_gs->setTopDirPath(*folder);
        m_remembered.folder = folder;
        taken << tr("folder “%1”").arg(PathText::display(*folder));
        if (!index)
            m_gs->setSearchMethod(SearchMethod::Directory);
    }
    if (index) {
        m_gs->setIndexFilePath(*index);
        m_remembered.index = index;
        m_gs->setSearchMethod(SearchMethod::IndexFile);
        taken << tr("index file “%1” (the next search uses it)").arg(fileName(*index));
    }
    if (candidates.empty()) {
        // A drop without pictures leaves a check still running in place.
        if (!isCheckingTarget())
            showTaken(taken, refused, false);
        else
            refreshContext();
        return;
    }
    // Of several pictures the last one counts, so only those after it are
    // decoded; a file that is no readable picture never becomes the target.
    // The decoding runs off this thread, since a hostile picture can take
    // seconds: a newer drop or a stop drops its verdict.
    m_dropTaken = taken;
    m_dropRefused = refused;
    m_checkingPasted = false;
    const QString last = fileName(candidates.back());
    m_targetCheck->start(std::move(candidates), 8, [this](TargetCheck::Verdict verdict) {
        QStringList refusedNow = m_dropRefused;
        for (const auto& [path, failure] : verdict.refused)
            refusedNow << tr("%1 (%2)").arg(PathText::display(path),
                                            RunReport::loadFailure(failure));
        QStringList takenNow = m_dropTaken;
        if (!verdict.target.empty()) {
            m_gs->target().setFilePath(verdict.target);
            m_gs->setTargetPicture(nullptr, {});
            m_pasted.reset();
            m_pastedSize = QSize();
            m_remembered.target = verdict.target;
            m_remembered.targetPasted = false;
            takenNow.prepend(tr("target “%1”").arg(fileName(verdict.target)));
        }
        showTaken(takenNow, refusedNow, !verdict.target.empty());
    });
    if (!isCheckingTarget())
        return; // answered at once
    m_ui->contextStrip->showFeedback(tr("Checking the target “%1”… (Escape stops it)").arg(last),
                                     false);
    refreshContext();
    setButtonTitle(stopTitle());
    updateActions();
}

bool Ovrin::isCheckingTarget() const
{
    return m_targetCheck->isChecking();
}

void Ovrin::showTaken(const QStringList& taken, const QStringList& refused, bool targetTaken,
                      const QString& note)
{
    QString feedback = note;
    if (!taken.isEmpty()) {
        // While results are shown, the strip stays with the run that made them.
        const bool results = m_view == View::Groups || m_hitsRun;
        const QString took = (results ? tr("Taken for the next run: %1.") : tr("Taken: %1."))
                                 .arg(taken.join(QStringLiteral(", ")));
        feedback = feedback.isEmpty() ? took : took + QLatin1Char(' ') + feedback;
    }
    if (!refused.isEmpty()) {
        const QString refusal = tr("Refused: %1").arg(refused.join(QStringLiteral("; ")));
        feedback = feedback.isEmpty() ? refusal : feedback + QLatin1Char(' ') + refusal;
    }
    m_ui->contextStrip->showFeedback(feedback, !refused.isEmpty() || !note.isEmpty());
    refreshContext();
    if (targetTaken)
        requestTargetPreview();
    if (m_runKind == RunKind::None)
        setButtonTitle(searchTitle());
    updateActions();
}

// ---- Runs ----------------------------------------------------------------

void Ovrin::showHits(const std::vector<HitRecord>& batch)
{
    // An index search makes the target's signature on its worker: its pixels
    // are known by the time the first hits come.
    const auto& fine = m_gs->target().fine();
    if (m_runKind == RunKind::Search && m_hits->targetFacts().pixels == 0 && fine &&
        fine->width > 0 && fine->height > 0) {
        const PictureFacts seen = PictureFacts::of(fine->width, fine->height);
        PictureFacts target = m_hits->targetFacts();
        target.width = seen.width;
        target.height = seen.height;
        target.pixels = seen.pixels;
        m_hits->setTargetFacts(target);
    }
    m_hits->appendHits(batch);
}

void Ovrin::showProgress(const std::optional<std::string>& path)
{
    const double seconds = static_cast<double>(m_runClock.elapsed()) / 1000.0;
    if (m_summaryKind == RunSummary::Kind::Groups) {
        const RunReport::GroupingState state = groupingState();
        // Once the pairs are compared, no file is in hand any more.
        if (state.phase >= GroupingPhase::Comparing)
            m_ui->msgCurrentFilePath->clear();
        else if (path)
            m_ui->msgCurrentFilePath->setText(PathText::display(*path));
        m_ui->msgCounts->setText(RunReport::groupingProgress(state, seconds));
        return;
    }
    if (path)
        m_ui->msgCurrentFilePath->setText(PathText::display(*path));
    const TGraphicSearch::Estimate estimate = m_gs->fileEstimate();
    m_ui->msgCounts->setText(RunReport::progress(
        m_summaryKind, m_bridge->examined(), m_bridge->hitCount(), seconds,
        m_summaryKind == RunSummary::Kind::IndexSearch ? -1 : estimate.files, estimate.settled));
    if (m_summaryKind == RunSummary::Kind::IndexSearch) {
        const auto read = m_gs->indexReadProgress();
        if (read.total > 0) {
            m_ui->pbIndexRead->setValue(static_cast<int>(read.done * 1000 / read.total));
            m_ui->pbIndexRead->show();
        }
    }
}

RunSummary Ovrin::completeSummary(RunSummary summary) const
{
    summary.kind = m_summaryKind;
    if (summary.seconds <= 0.0)
        summary.seconds = static_cast<double>(m_runClock.elapsed()) / 1000.0;
    return summary;
}

void Ovrin::endOfRun(RunSummary summary, const std::shared_ptr<const LookAlikeResult>& groups)
{
    m_ui->msgCurrentFilePath->setText(QString());
    m_ui->msgCurrentFilePath->hide();
    m_ui->msgCounts->setText(QString());
    m_ui->pbIndexRead->hide();
    setButtonTitle(isCheckingTarget() ? stopTitle() : searchTitle());
    m_hits->setLive(false);
    const RunKind kind = m_runKind;
    m_runKind = RunKind::None;
    // A refused start ends here within the start itself: what was summed up
    // before belongs to an earlier run, and the start says why instead.
    if (kind == RunKind::Groups)
        m_ui->tvGroups->setPlaceholderText(groups && groups->groups.empty() && !m_starting
                                               ? tr("No look-alike groups were found.")
                                               : QString());
    if (kind == RunKind::Groups && !m_starting) {
        summary = completeSummary(std::move(summary));
        m_groupsStop.reset();
        if (summary.outcome == RunSummary::Outcome::Stopped)
            m_groupsStop = groupingState();
        m_groupsPictures = groups ? static_cast<std::int64_t>(groups->table.paths.size()) : -1;
        m_groupsSummary = summary;
        m_summaryOf = View::Groups;
        m_reviewLeftOut = -1;
        m_groups->compareAs(m_groupsStarted.similarity, m_groupsStarted.anyOrientation);
        m_groups->setResult(groups, m_groupsStarted.bits);
        refreshSummary();
        m_ui->msgSummary->show();
    } else if (kind != RunKind::None && !m_starting) {
        summary = completeSummary(std::move(summary));
        if (kind == RunKind::Search) {
            m_hitsSummary = summary;
            m_summaryOf = View::Hits;
            refreshSummary();
        } else {
            m_ui->msgSummary->setText(RunReport::summary(summary));
        }
        m_ui->msgSummary->show();
        if (kind == RunKind::Search && m_hits->rowCount() == 0)
            m_ui->tvResult->setPlaceholderText(RunReport::noHits(summary));
        if (kind == RunKind::IndexCreation && summary.outcome == RunSummary::Outcome::Failed &&
            !m_quited)
            UiHooks::alert(m_window.get(), tr("The index file could not be written."),
                           PathText::display(summary.error));
    }
    updateActions();
    updateTitle();
}

// ---- Commands ------------------------------------------------------------

void Ovrin::btnSearchAction()
{
    if (m_gs->isWorking() || isCheckingTarget())
        menuStopAction();
    else
        menuSearchAction();
}

void Ovrin::menuSearchAction()
{
    // A run would replace the rows an action is about to take away.
    if (m_gs->isWorking() || m_acting)
        return;
    m_searchDlg->setup(m_gs.get());
    const bool confirmed = m_searchDlg->doModal();
    // Shortcuts of the window work again at once, also where no window
    // manager hands the activation back.
    m_window->activateWindow();
    if (!confirmed)
        return;
    if (m_gs->targetPicture() != m_pasted) {
        m_pasted.reset(); // the dialog's file replaced it
        m_pastedSize = QSize();
    }
    m_hits->clear();
    m_groups->clear();
    startRun(RunKind::Search, m_searchDlg->takeSignature(), m_searchDlg->takeFine());
}

void Ovrin::menuFindGroupsAction()
{
    // A run would replace the rows an action is about to take away.
    if (m_gs->isWorking() || m_acting)
        return;
    m_groupsDlg->setup(m_groupsValues);
    const bool confirmed = m_groupsDlg->doModal();
    m_window->activateWindow();
    if (!confirmed)
        return;
    m_groupsValues = m_groupsDlg->values();
    m_groups->clear();
    m_hits->clear();
    startRun(RunKind::Groups);
}

StartResult Ovrin::beginGroups()
{
    return m_gs->beginGroups(m_groupsValues);
}

void Ovrin::menuCreateIndexFileAction()
{
    // A run would replace the rows an action is about to take away.
    if (m_gs->isWorking() || m_acting)
        return;
    m_createIndexFileDlg->setup(m_gs.get());
    const bool confirmed = m_createIndexFileDlg->doModal();
    m_window->activateWindow();
    if (!confirmed)
        return;
    startRun(RunKind::IndexCreation);
}

void Ovrin::startRun(RunKind kind, std::vector<std::int16_t> preparedSignature,
                     std::optional<FineSignature> preparedFine)
{
    const std::string targetPath = m_gs->target().filePath().value_or(std::string());
    const auto targetStatus = platform::FileManager::fileStatus(targetPath);
    m_bridge->beginRun(targetPath,
                       targetStatus ? std::optional(targetStatus->identity) : std::nullopt);
    m_runKind = kind;
    if (kind == RunKind::IndexCreation)
        m_summaryKind = RunSummary::Kind::IndexCreation;
    else if (kind == RunKind::Groups)
        m_summaryKind = RunSummary::Kind::Groups;
    else
        m_summaryKind = m_gs->searchMethod() == SearchMethod::IndexFile
                            ? RunSummary::Kind::IndexSearch
                            : RunSummary::Kind::FolderSearch;
    const auto& targetFine = preparedFine ? preparedFine : m_gs->target().fine();
    PictureFacts target =
        targetFine ? PictureFacts::of(targetFine->width, targetFine->height) : PictureFacts();
    if (targetStatus) {
        target.size = targetStatus->size;
        target.modifiedNs = targetStatus->modifiedNs;
        target.timeKnown = true;
    }
    if (kind == RunKind::Search)
        m_hits->setTargetFacts(target);

    m_summaryOf.reset();
    if (kind == RunKind::Search)
        m_hitsRun = nextSearchContext();
    else if (kind == RunKind::Groups)
        m_groupsRun = m_groupsValues;
    if (kind == RunKind::Search) {
        m_hitsTarget = targetPath;
        m_hitsFolder.reset();
        if (m_summaryKind == RunSummary::Kind::FolderSearch)
            m_hitsFolder = m_gs->topDirPath();
        m_ui->tvResult->setPlaceholderText(QString());
        showView(View::Hits);
    } else if (kind == RunKind::Groups) {
        m_ui->tvGroups->setPlaceholderText(tr("The groups appear here when the grouping ends."));
        showView(View::Groups);
    }
    m_ui->msgSummary->hide();
    m_ui->msgCurrentFilePath->show();
    m_ui->pbIndexRead->setValue(0);
    m_hits->setLive(true);
    setButtonTitle(stopTitle());
    // An index creation leaves the strip with the results the table shows.
    refreshContext();
    if (kind == RunKind::Search)
        requestTargetPreview();
    updateActions();
    updateTitle();
    m_runClock.start();

    m_starting = true;
    const StartResult started = kind == RunKind::Search
                                    ? m_gs->beginSearch(std::move(preparedSignature), preparedFine)
                                : kind == RunKind::Groups ? beginGroups()
                                                          : m_gs->makeIndexFile();
    m_starting = false;
    if (started) {
        rememberPaths();
        return;
    }
    // The refusal has already ended the run through its end callback.
    m_ui->msgSummary->setText(RunReport::refusal(started));
    m_ui->msgSummary->show();
}

void Ovrin::rememberPaths()
{
    if (m_runKind == RunKind::Groups) {
        m_groupsStarted = m_groupsValues;
        return;
    }
    m_remembered.targetPasted = m_gs->holdsTargetPicture();
    m_remembered.target =
        m_remembered.targetPasted ? std::optional(std::string()) : m_gs->target().filePath();
    if (m_runKind == RunKind::IndexCreation || m_summaryKind == RunSummary::Kind::FolderSearch)
        m_remembered.folder = m_gs->topDirPath();
    if (m_runKind == RunKind::IndexCreation || m_summaryKind == RunSummary::Kind::IndexSearch)
        m_remembered.index = m_gs->indexFilePath();
}

void Ovrin::menuStopAction()
{
    if (isCheckingTarget()) {
        m_targetCheck->cancel();
        showTaken(m_dropTaken, m_dropRefused, false,
                  m_checkingPasted ? tr("The check of the pasted picture was stopped; the target "
                                        "stays as it was.")
                                   : tr("The check of the dropped picture was stopped; the "
                                        "target stays as it was."));
        return;
    }
    m_gs->stop();
}

void Ovrin::doubleClickTvResultAction()
{
    menuOpenGraphicFileAction();
}

std::vector<std::string> Ovrin::selectedPaths() const
{
    if (m_view == View::Groups)
        return m_groups->paths(m_ui->tvGroups->selectionModel()->selection());
    const QItemSelectionModel* selection = m_ui->tvResult->selectionModel();
    if (selection == nullptr)
        return {};
    std::vector<std::string> paths = m_hits->paths(selection->selectedRows());
    paths.erase(std::remove(paths.begin(), paths.end(), std::string()), paths.end());
    return paths;
}

Ovrin::ActionTargets Ovrin::actionTargets() const
{
    const MarkSet* marks = m_view == View::Groups ? m_groupMarks : m_hitMarks;
    if (!marks->empty())
        return {marks->marked(), true};
    return {selectedPaths(), false};
}

void Ovrin::menuOpenGraphicFileAction()
{
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        return;
    if (paths.size() > static_cast<std::size_t>(kOpenWithoutAsking) &&
        !UiHooks::confirm(
            m_window.get(),
            tr("Open %1 pictures?").arg(QLocale().toString(static_cast<qulonglong>(paths.size()))),
            tr("Each opens in the desktop's viewer."), tr("Open All")))
        return;
    QPointer<QMainWindow> window(m_window.get());
    for (const std::string& path : paths) {
        const QString shown = PathText::display(path);
        const auto failed = [window, shown](const QString& reason) {
            UiHooks::alert(window, tr("The picture could not be opened."),
                           shown + QLatin1Char('\n') + reason);
        };
        if (!platform::FileManager::fileExists(path)) {
            failed(RunReport::loadFailure(platform::LoadFailure::Missing));
            continue;
        }
        UiHooks::openUrl(m_window.get(), PathText::toUrl(path), failed);
    }
}

void Ovrin::menuShowInFolderAction()
{
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        return;
    QPointer<QMainWindow> window(m_window.get());
    const QString shown = PathText::display(paths.front());
    UiHooks::showInFolder(m_window.get(), paths.front(), [window, shown](const QString& reason) {
        UiHooks::alert(window, tr("The folder could not be shown."),
                       shown + QLatin1Char('\n') + reason);
    });
}

void Ovrin::menuCopyPathsAction()
{
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        return;
    QList<QUrl> urls;
    QStringList lines;
    for (const std::string& path : paths) {
        urls << PathText::toUrl(path);
        lines << PathText::display(path);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(lines.join(QLatin1Char('\n')));
    QGuiApplication::clipboard()->setMimeData(data);
}

void Ovrin::menuMoveToTrashAction()
{
    act(ActionKind::Trash);
}

void Ovrin::menuMoveToFolderAction()
{
    act(ActionKind::MoveToFolder);
}

void Ovrin::menuHardLinkAction()
{
    if (m_view == View::Groups)
        act(ActionKind::HardLink);
}

void Ovrin::menuUndoAction()
{
    if (m_acting || !m_journal.canUndo())
        return;
    m_actingView = m_journalView;
    startJournal([this] { return m_journal.undo(); }, ActionText::working(m_journalKind, 0, true));
}

std::string Ovrin::actionRoot() const
{
    if (m_view == View::Groups) {
        if (m_groupsRun.method == SearchMethod::Directory && m_groupsRun.folder)
            return *m_groupsRun.folder;
        // An index may lie anywhere: the pictures' own common folder keeps
        // the most of their places.
        const LookAlikeResult* result = m_groups->result();
        return result != nullptr ? commonFolder(result->table.paths) : std::string("/");
    }
    if (m_hitsFolder)
        return *m_hitsFolder;
    std::vector<std::string> paths;
    for (int row = 0; row < m_hits->rowCount(); ++row)
        paths.push_back(m_hits->path(row));
    return commonFolder(paths);
}

void Ovrin::act(ActionKind kind)
{
    if (m_acting)
        return;
    const bool groups = m_view == View::Groups;
    const ActionTargets targets = actionTargets();
    if (targets.paths.empty())
        return;
    const MarkSet& marks = groups ? *m_groupMarks : *m_hitMarks;
    ActionPlan plan = groups ? planForGroups(kind, *m_groups, targets.paths, marks)
                             : planForHits(kind, *m_hits, targets.paths, m_hitsTarget, marks);
    plan.marked = targets.marked;
    if (plan.asked() == 0)
        return;
    if (kind == ActionKind::MoveToFolder) {
        plan.request.root = actionRoot();
        const auto chosen = UiHooks::openFolder(
            m_window.get(),
            PathText::display(m_lastDestination.empty() ? plan.request.root : m_lastDestination));
        if (!chosen || chosen->isEmpty())
            return;
        plan.request.destination = PathText::fromText(*chosen);
        m_lastDestination = plan.request.destination;
    }
    const bool confirmed = UiHooks::confirmAction(m_window.get(), ActionText::confirmation(plan));
    m_window->activateWindow();
    if (!confirmed)
        return;
    auto request = std::make_shared<const ActionRequest>(std::move(plan.request));
    m_actingView = m_view;
    // Marked pictures come back marked by an undo.
    m_actingMarked.clear();
    if (targets.marked)
        m_actingMarked.insert(targets.paths.begin(), targets.paths.end());
    startJournal([this, request] { return m_journal.perform(*request, &m_actionProceed); },
                 ActionText::working(kind, plan.acting.size(), false));
}

void Ovrin::startJournal(std::function<ActionReport()> work, const QString& busy)
{
    stopActing();
    m_acting = true;
    m_actionProceed.store(true);
    m_ui->msgSummary->setText(busy);
    m_ui->msgSummary->setToolTip(busy);
    m_ui->msgSummary->show();
    updateActions();
    // Files on a slow or remote disk take their time: the window stays
    // responsive meanwhile, and the end comes back to this thread.
    const auto job = std::make_shared<std::function<ActionReport()>>(std::move(work));
    const auto finish = [this, job] {
        ActionReport report = (*job)();
        QMetaObject::invokeMethod(
            this, [this, report = std::move(report)] { actionEnded(report); },
            Qt::QueuedConnection);
    };
    try {
        m_actionThread = std::thread(finish);
    } catch (const std::system_error&) {
        finish(); // no thread to be had: here, then
    }
}

void Ovrin::stopActing()
{
    m_actionProceed.store(false);
    if (m_actionThread.joinable())
        m_actionThread.join();
}

void Ovrin::actionEnded(const ActionReport& report)
{
    if (m_actionThread.joinable())
        m_actionThread.join();
    m_acting = false;
    std::vector<std::string> paths;
    for (const ActionOutcome& done : report.done)
        paths.push_back(done.path);
    // A picture whose file went but could not come back at once is gone from
    // its place all the same, until the undo.
    if (!report.undo)
        for (const ActionOutcome& refused : report.refused)
            if (!refused.placedAt.empty())
                paths.push_back(refused.path);
    // One that did nothing leaves the one before it to be undone.
    if (!report.undo && report.journaled) {
        m_journalView = m_actingView;
        m_journalKind = report.kind;
        m_journalMarked = std::move(m_actingMarked);
    }
    const bool groups = m_actingView == View::Groups;
    // A link made or taken back moves the kept copy's status change time.
    if (groups && report.kind == ActionKind::HardLink)
        m_groups->restampReferencesOf(paths);
    if (report.undo) {
        if (groups)
            m_groups->restorePaths(paths);
        else
            m_hits->restorePaths(paths);
        std::vector<std::string> remarked;
        for (const std::string& path : paths)
            if (m_journalMarked.count(path) != 0)
                remarked.push_back(path);
        (groups ? m_groupMarks : m_hitMarks)->setMarked(remarked, true);
    } else {
        (groups ? m_groupMarks : m_hitMarks)->forget(paths);
        if (groups)
            m_groups->removePaths(paths);
        else
            m_hits->removePaths(paths);
    }
    if (groups && m_groups->rowCount() == 0)
        m_ui->tvGroups->setPlaceholderText(tr("No groups are left."));
    const QString line = ActionText::line(report);
    m_ui->msgSummary->setText(line);
    m_ui->msgSummary->setToolTip(line);
    m_ui->msgSummary->show();
    updateActions();
    if (!report.refused.empty() && !m_quited)
        UiHooks::alert(m_window.get(), ActionText::alertMessage(report),
                       ActionText::alertDetails(report));
}

void Ovrin::menuExportHitsAction()
{
    if (m_hits->rowCount() == 0)
        return;
    const auto path =
        UiHooks::saveFile(m_window.get(), QDir::homePath(), QStringLiteral("hits.csv"),
                          tr("CSV files (*.csv)") + QStringLiteral(";;") + tr("All files (*)"));
    if (!path)
        return;
    if (const auto problem = ExportFile::write(PathText::fromText(*path), m_hits->toCsv()))
        UiHooks::alert(m_window.get(), tr("The hits could not be exported."),
                       *path + QLatin1Char('\n') + ExportFile::reason(*problem));
}

void Ovrin::menuSelectMembersAction()
{
    if (m_view != View::Groups || m_groups->rowCount() == 0)
        return;
    GroupTreeView* tree = m_ui->tvGroups;
    // Folded groups are opened, so that nothing selected is out of sight.
    tree->expandAll();
    const QItemSelection members = m_groups->allMembers();
    // Cleared first: telling a large selection from another takes time with
    // the product of their sizes.
    tree->selectionModel()->clearSelection();
    tree->selectionModel()->setCurrentIndex(members.first().topLeft(),
                                            QItemSelectionModel::NoUpdate);
    tree->selectionModel()->select(members, QItemSelectionModel::Select);
    tree->scrollTo(members.first().topLeft());
    tree->setFocus();
}

void Ovrin::menuExportGroupsAction()
{
    const LookAlikeResult* result = m_groups->result();
    if (result == nullptr || m_groups->rowCount() == 0)
        return;
    const auto path = UiHooks::saveFile(
        m_window.get(), QDir::homePath(), QStringLiteral("groups.csv"),
        tr("CSV files (*.csv)") + QStringLiteral(";;") + tr("JSON Lines files (*.jsonl *.json)") +
            QStringLiteral(";;") + tr("All files (*)"));
    if (!path)
        return;
    const QByteArray text =
        GroupExport::write(result->table.paths, result->aliases, m_groups->groups(),
                           GroupExport::formatFor(*path), m_groups->anyOrientation());
    if (const auto problem = ExportFile::write(PathText::fromText(*path), text))
        UiHooks::alert(m_window.get(), tr("The groups could not be exported."),
                       *path + QLatin1Char('\n') + ExportFile::reason(*problem));
}

// ---- Marks ---------------------------------------------------------------

MarkSet* Ovrin::shownMarks() const
{
    return m_view == View::Groups ? m_groupMarks : m_hitMarks;
}

QModelIndex Ovrin::currentRow() const
{
    const QAbstractItemView* view = m_view == View::Groups
                                        ? static_cast<QAbstractItemView*>(m_ui->tvGroups)
                                        : static_cast<QAbstractItemView*>(m_ui->tvResult);
    return view->currentIndex();
}

void Ovrin::report(const QString& text)
{
    m_ui->msgSummary->setText(text);
    m_ui->msgSummary->show();
}

void Ovrin::markAndReport(const std::vector<std::string>& paths, bool mark, const QString& one,
                          const QString& many, const QString& extra)
{
    MarkSet* marks = shownMarks();
    std::int64_t counted = 0;
    std::int64_t kept = 0;
    for (const std::string& path : paths) {
        if (mark && marks->isProtected(path))
            ++kept;
        else if (!mark && marks->isMarked(path))
            ++counted;
    }
    if (mark)
        counted = static_cast<std::int64_t>(marks->setMarked(paths, true));
    else
        marks->setMarked(paths, false);
    QString text = RunReport::count(counted,
                                    !one.isEmpty() ? one
                                    : mark         ? tr("Marked %1 picture")
                                                   : tr("Unmarked %1 picture"),
                                    !many.isEmpty() ? many
                                    : mark          ? tr("Marked %1 pictures")
                                                    : tr("Unmarked %1 pictures"));
    // Filled after the count, so that a name holding "%1" stays as it is.
    if (!extra.isEmpty())
        text = text.arg(extra);
    if (kept > 0)
        text += RunReport::count(kept, tr("; %1 under a protected folder stays unmarked"),
                                 tr("; %1 under protected folders stay unmarked"));
    report(text);
}

void Ovrin::menuMarkAllButKeptAction()
{
    const bool groups = m_view == View::Groups;
    std::vector<std::string> paths = groups ? m_groups->memberPaths() : m_hits->allPaths(false);
    // What was marked beyond those goes, so that the marks are exactly them.
    std::vector<std::string> others = shownMarks()->marked();
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> stray;
    std::set_difference(others.begin(), others.end(), paths.begin(), paths.end(),
                        std::back_inserter(stray));
    shownMarks()->setMarked(stray, false);
    markAndReport(paths, true);
}

void Ovrin::menuUnmarkAllAction()
{
    markAndReport(shownMarks()->marked(), false);
}

void Ovrin::menuInvertMarksAction()
{
    MarkSet* marks = shownMarks();
    std::vector<std::string> paths;
    if (m_view == View::Groups) {
        const QModelIndex current = currentRow();
        paths = m_groups->groupPaths(current.isValid() ? current : m_groups->index(0, 0));
    } else {
        paths = m_hits->allPaths();
    }
    std::vector<std::string> marked;
    std::vector<std::string> unmarked;
    for (const std::string& path : paths)
        (marks->isMarked(path) ? marked : unmarked).push_back(path);
    marks->setMarked(marked, false);
    markAndReport(unmarked, true, tr("Marks inverted: %1 picture marked, %2 unmarked"),
                  tr("Marks inverted: %1 pictures marked, %2 unmarked"),
                  QLocale().toString(static_cast<qulonglong>(marked.size())));
}

void Ovrin::markFolder(bool mark)
{
    const std::string current =
        m_view == View::Groups ? m_groups->path(currentRow()) : m_hits->path(currentRow().row());
    const QString start =
        current.empty() ? QDir::homePath() : UiHooks::startFolderFor(PathText::display(current));
    const auto chosen = UiHooks::openFolder(m_window.get(), start);
    m_window->activateWindow();
    if (!chosen)
        return;
    std::string folder = PathText::fromText(*chosen);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::vector<std::string> under{folder};
    std::vector<std::string> paths;
    for (std::string& path : m_view == View::Groups ? m_groups->allPaths() : m_hits->allPaths())
        if (preferenceRank(path, under) == 0)
            paths.push_back(std::move(path));
    const QString shown = PathText::display(folder);
    if (mark)
        markAndReport(paths, true, tr("Marked %1 picture under %2"),
                      tr("Marked %1 pictures under %2"), shown);
    else
        markAndReport(paths, false, tr("Unmarked %1 picture under %2"),
                      tr("Unmarked %1 pictures under %2"), shown);
}

void Ovrin::menuMarkInFolderAction()
{
    markFolder(true);
}

void Ovrin::menuUnmarkInFolderAction()
{
    markFolder(false);
}

void Ovrin::toggleMarksAction()
{
    const QModelIndex current = currentRow();
    const std::string here =
        m_view == View::Groups ? m_groups->path(current) : m_hits->path(current.row());
    std::vector<std::string> paths = selectedPaths();
    if (!here.empty() && std::find(paths.begin(), paths.end(), here) == paths.end())
        paths = {here};
    if (paths.empty())
        return;
    const MarkSet* marks = shownMarks();
    const bool mark = std::any_of(paths.begin(), paths.end(), [marks](const std::string& path) {
        return !marks->isMarked(path) && !marks->isProtected(path);
    });
    const bool anyMarked =
        std::any_of(paths.begin(), paths.end(),
                    [marks](const std::string& path) { return marks->isMarked(path); });
    // Nothing to unmark either: tell why the box stays empty.
    markAndReport(paths, mark || !anyMarked);
}

void Ovrin::menuMakeReferenceAction()
{
    if (m_view != View::Groups)
        return;
    const QModelIndex current = currentRow();
    const std::string path = m_groups->path(current);
    if (!path.empty() && m_groups->isReference(current)) {
        report(tr("“%1” is already the copy its group keeps.").arg(fileName(path)));
        return;
    }
    // The group keeps its row: the picture moves up to it.
    const QModelIndex reference = m_groups->referenceOf(current);
    if (!m_groups->makeReference(current)) {
        report(tr("Choose a member of a group to keep it instead of its reference."));
        return;
    }
    GroupTreeView* tree = m_ui->tvGroups;
    tree->selectionModel()->setCurrentIndex(reference, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    tree->scrollTo(reference);
    previewSelection();
    report(tr("“%1” is now the copy its group keeps.").arg(fileName(path)));
}

void Ovrin::stepGroup(int step)
{
    if (m_view != View::Groups)
        return;
    const QModelIndex row = m_groups->stepGroup(currentRow(), step);
    if (!row.isValid()) {
        report(step > 0 ? tr("This is the last group.") : tr("This is the first group."));
        return;
    }
    GroupTreeView* tree = m_ui->tvGroups;
    tree->expand(row);
    tree->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    tree->scrollTo(row);
}

void Ovrin::menuNextGroupAction()
{
    stepGroup(1);
}

void Ovrin::menuPreviousGroupAction()
{
    stepGroup(-1);
}

void Ovrin::menuKeepAndNextAction()
{
    if (m_view != View::Groups)
        return;
    const QModelIndex current = currentRow();
    const std::string kept = m_groups->path(current);
    if (kept.empty()) {
        report(tr("Choose the picture of a group to keep."));
        return;
    }
    const QModelIndex reference = m_groups->referenceOf(current);
    // The last picture of a group whose reference went stays a member: it is
    // kept all the same.
    if (!m_groups->isReference(current))
        m_groups->makeReference(current);
    std::vector<std::string> others = m_groups->groupPaths(reference);
    others.erase(std::remove(others.begin(), others.end(), kept), others.end());
    m_groupMarks->setMarked(kept, false);
    markAndReport(others, true, tr("Kept “%2”, marked %1 other"), tr("Kept “%2”, marked %1 others"),
                  fileName(kept));
    const QModelIndex next = m_groups->stepGroup(reference, 1);
    GroupTreeView* tree = m_ui->tvGroups;
    const QModelIndex row = next.isValid() ? next : reference;
    tree->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    tree->scrollTo(row);
    // In the last group the row stays where it was, with another reference.
    previewGroupSelection();
}

void Ovrin::menuProtectedFoldersAction()
{
    m_protectedDlg->setFolders(m_groupMarks->protectedFolders());
    const bool confirmed = m_protectedDlg->exec() == QDialog::Accepted;
    m_window->activateWindow();
    if (!confirmed)
        return;
    const std::vector<std::string> folders = m_protectedDlg->folders();
    const std::size_t before = m_hitMarks->size() + m_groupMarks->size();
    m_hitMarks->setProtectedFolders(folders);
    m_groupMarks->setProtectedFolders(folders);
    const std::size_t dropped = before - m_hitMarks->size() - m_groupMarks->size();
    windowsetting::setProtectedFolders(folders);
    windowsetting::write();
    // Boxes that can no longer be ticked, or can again.
    m_ui->tvResult->viewport()->update();
    m_ui->tvGroups->viewport()->update();
    report(dropped == 0 ? RunReport::count(static_cast<std::int64_t>(folders.size()),
                                           tr("%1 protected folder"), tr("%1 protected folders"))
                        : RunReport::count(static_cast<std::int64_t>(dropped),
                                           tr("%1 mark under a protected folder was dropped"),
                                           tr("%1 marks under protected folders were dropped")));
}

QString Ovrin::reviewFilter()
{
    return tr("Ovrin reviews (*.ovr)") + QStringLiteral(";;") + tr("All files (*)");
}

void Ovrin::menuSaveReviewAction()
{
    const LookAlikeResult* result = m_groups->result();
    if (m_view != View::Groups || result == nullptr || m_groups->rowCount() == 0)
        return;
    auto path = UiHooks::saveFile(m_window.get(), m_reviewFolder, QStringLiteral("review.ovr"),
                                  reviewFilter());
    if (!path)
        return;
    if (QFileInfo(*path).suffix().isEmpty())
        *path += QString::fromLatin1(ReviewFile::kExtension);
    // The settings of the groups shown, not of the next run.
    Review review = ReviewFile::fromGroups(
        *result, m_groups->groups(), m_groups->referenceGone(),
        [this](const std::string& file) { return m_groupMarks->isMarked(file); }, m_groupsRun);
    // Files an action moved back or linked to carry their new stamp, or the
    // review would take them for changed when it is opened.
    SignatureTable& saved = review.result.table;
    for (std::size_t i = 0; i < saved.paths.size() && i < saved.facts.size(); ++i)
        if (const auto stamp = m_groups->restamped(saved.paths[i])) {
            saved.facts[i].size = stamp->size;
            saved.facts[i].modifiedNs = stamp->modifiedNs;
            saved.facts[i].changedNs = stamp->changedNs;
        }
    const std::vector<std::uint8_t> bytes = ReviewFile::encode(review);
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    if (const auto problem = ExportFile::write(PathText::fromText(*path), data)) {
        UiHooks::alert(m_window.get(), tr("The review could not be saved."),
                       *path + QLatin1Char('\n') + ExportFile::reason(*problem));
        return;
    }
    m_reviewFolder = QFileInfo(*path).absolutePath();
    report(tr("Review saved as %1").arg(*path));
}

void Ovrin::menuOpenReviewAction()
{
    // An action under way is about to take rows from the groups shown.
    if (m_runKind != RunKind::None || isCheckingTarget() || m_readingReview || m_acting)
        return;
    const auto path = UiHooks::openFile(m_window.get(), m_reviewFolder, {}, reviewFilter());
    if (!path)
        return;
    if (m_reviewReader.joinable())
        m_reviewReader.join();
    m_readingReview = true;
    updateActions();
    m_ui->msgSummary->setText(tr("Opening the review…"));
    m_ui->msgSummary->show();
    // Reading a review of a large collection and looking at each of its
    // files takes longer than a key press may wait.
    m_reviewReader = std::thread([this, generation = m_bridge->generation(), file = *path] {
        ReviewFile::Opened opened = ReviewFile::read(PathText::fromText(file));
        std::shared_ptr<Review> review;
        std::vector<std::string> leftOut;
        try {
            if (opened.review) {
                review = std::make_shared<Review>(std::move(*opened.review));
                leftOut = ReviewFile::leaveOutChanged(*review);
            }
        } catch (const std::bad_alloc&) {
            review.reset();
            opened.problem = ReviewFile::Problem::OutOfMemory;
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, file, review, problem = static_cast<int>(opened.problem),
             error = opened.error, leftOut = std::move(leftOut)] {
                reviewRead(generation, file, review, problem, error, leftOut);
            },
            Qt::QueuedConnection);
    });
}

void Ovrin::reviewRead(std::uint64_t generation, const QString& path,
                       const std::shared_ptr<Review>& opened, int problem, int error,
                       const std::vector<std::string>& leftOut)
{
    m_readingReview = false;
    updateActions();
    if (generation != m_bridge->generation() || m_runKind != RunKind::None)
        return; // a run took the window meanwhile
    if (!opened) {
        m_ui->msgSummary->hide();
        UiHooks::alert(m_window.get(), tr("The review could not be opened."),
                       path + QLatin1Char('\n') + reviewProblem(problem, error));
        return;
    }
    m_reviewFolder = QFileInfo(path).absolutePath();
    Review& review = *opened;
    const Review::Settings& settings = review.settings;
    m_groupsValues = settings;
    // Marks come back for the pictures still shown, never for one left out.
    std::vector<std::string> marked;
    const auto& table = review.result.table;
    for (std::size_t g = 0; g < review.result.groups.size(); ++g) {
        const LookAlikeGroup& group = review.result.groups[g];
        if (!review.referenceGone[g] && review.marked[group.reference])
            marked.push_back(table.paths[group.reference]);
        for (const LookAlikeMember& member : group.members)
            if (review.marked[member.index])
                marked.push_back(table.paths[member.index]);
    }
    m_groupMarks->clear();
    m_groups->compareAs(settings.similarity, settings.anyOrientation);
    m_groups->setResult(std::make_shared<const LookAlikeResult>(std::move(review.result)),
                        std::move(review.referenceGone), settings.bits);
    m_groupMarks->setMarked(marked, true);
    m_ui->tvGroups->setPlaceholderText(
        m_groups->rowCount() == 0 ? tr("No group of the review is left.") : QString());
    // The strip and the status line tell the review's grouping from now on.
    m_groupsRun = m_groupsValues;
    m_summaryOf = View::Groups;
    m_reviewLeftOut = static_cast<std::int64_t>(leftOut.size());
    showView(View::Groups);
    refreshContext();
    refreshSummary();
    m_ui->msgSummary->show();
    updateActions();
    if (leftOut.empty())
        return;
    // Said at once: a person going on with the review must know what is missing.
    constexpr std::size_t kNamed = 20;
    QStringList named;
    for (std::size_t i = 0; i < std::min(leftOut.size(), kNamed); ++i)
        named << PathText::display(leftOut[i]);
    if (leftOut.size() > kNamed)
        named << RunReport::count(static_cast<std::int64_t>(leftOut.size() - kNamed),
                                  tr("and %1 more"), tr("and %1 more"));
    UiHooks::alert(
        m_window.get(),
        RunReport::count(
            static_cast<std::int64_t>(leftOut.size()),
            tr("%1 picture changed or moved since the review was saved and was left out."),
            tr("%1 pictures changed or moved since the review was saved and were left out.")),
        named.join(QLatin1Char('\n')));
}

QString Ovrin::reviewProblem(int problem, int error)
{
    switch (static_cast<ReviewFile::Problem>(problem)) {
    case ReviewFile::Problem::CannotRead:
        return qt_error_string(error);
    case ReviewFile::Problem::TooLarge:
        return tr("The file is too large to be a review.");
    case ReviewFile::Problem::NotAReview:
        return tr("The file is not an Ovrin review.");
    case ReviewFile::Problem::NewerFormat:
        return tr("The review was saved by a newer version of Ovrin.");
    case ReviewFile::Problem::Truncated:
        return tr("The file ends early: it was cut off while it was written or copied.");
    case ReviewFile::Problem::OutOfMemory:
        return tr("There is not enough memory to open it.");
    case ReviewFile::Problem::Damaged:
    case ReviewFile::Problem::None:
        break;
    }
    return tr("The file is damaged.");
}

// ---- The window's parts --------------------------------------------------

void Ovrin::showView(View view)
{
    if (m_view == view)
        return;
    m_view = view;
    QWidget* shown = view == View::Groups ? static_cast<QWidget*>(m_ui->tvGroups)
                                          : static_cast<QWidget*>(m_ui->tvResult);
    const bool hadFocus = m_ui->resultStack->currentWidget()->hasFocus();
    m_ui->resultStack->setCurrentWidget(shown);
    if (hadFocus)
        shown->setFocus();
    // Pictures still on their way belong to the other view.
    ++m_previewTickets[PreviewPane::TargetSlot];
    ++m_previewTickets[PreviewPane::HitSlot];
    m_previewPaths[0].clear();
    m_previewPaths[1].clear();
    m_gone[0] = m_gone[1] = false;
    m_ui->previewPane->setMode(view == View::Groups ? PreviewPane::Mode::Groups
                                                    : PreviewPane::Mode::Hits);
    if (view == View::Hits)
        requestTargetPreview();
    else
        m_ui->contextStrip->setTargetImage({}); // the strip names no target for groups
    previewSelection();
    updateActions();
}

void Ovrin::refreshSummary()
{
    if (!m_summaryOf || m_runKind != RunKind::None)
        return;
    if (*m_summaryOf == View::Groups && m_reviewLeftOut >= 0) {
        QString text =
            tr("Review opened: %1 with %2")
                .arg(RunReport::count(m_groups->rowCount(), tr("%1 group"), tr("%1 groups")),
                     RunReport::count(m_groups->picturesHeld(), tr("%1 picture"),
                                      tr("%1 pictures")));
        if (m_reviewLeftOut > 0)
            text += tr("; %1 left out")
                        .arg(QLocale().toString(static_cast<qlonglong>(m_reviewLeftOut)));
        m_ui->msgSummary->setText(text);
    } else if (*m_summaryOf == View::Groups && m_groupsSummary) {
        RunSummary run = *m_groupsSummary;
        // A grouping that found none keeps saying so; one that found some
        // counts what is left of them.
        const bool found = m_groups->result() != nullptr && run.hits > 0;
        if (found)
            run.hits = m_groups->rowCount();
        m_ui->msgSummary->setText(RunReport::groups(run, found ? m_groups->picturesHeld() : -1,
                                                    m_groupsPictures,
                                                    m_groupsStop ? &*m_groupsStop : nullptr));
    } else if (*m_summaryOf == View::Hits && m_hitsSummary) {
        RunSummary run = *m_hitsSummary;
        run.hits = m_hits->rowCount();
        m_ui->msgSummary->setText(RunReport::summary(run));
    }
}

void Ovrin::updateActions()
{
    const bool working = m_runKind != RunKind::None || isCheckingTarget();
    const bool groups = m_view == View::Groups;
    const QItemSelectionModel* selection =
        groups ? m_ui->tvGroups->selectionModel() : m_ui->tvResult->selectionModel();
    const bool selected = selection != nullptr && selection->hasSelection();
    m_ui->actionStop->setEnabled(working);
    m_ui->actionPasteTarget->setEnabled(m_clipboardHolds);
    m_ui->actionSearch->setEnabled(!working && !m_acting);
    m_ui->actionCreateIndexFile->setEnabled(!working && !m_acting);
    m_ui->actionFindGroups->setEnabled(!working && !m_acting);
    m_ui->actionSelectMembers->setEnabled(groups && m_groups->rowCount() > 0);
    m_ui->actionExportGroups->setEnabled(groups && m_groups->rowCount() > 0);
    m_ui->actionSaveReview->setEnabled(groups && m_groups->rowCount() > 0);
    m_ui->actionOpenReview->setEnabled(!working && !m_readingReview && !m_acting);
    m_ui->actionOpen->setEnabled(selected);
    m_ui->actionShowInFolder->setEnabled(selected);
    m_ui->actionCopyPaths->setEnabled(selected);
    const bool targets = selected || !(groups ? m_groupMarks : m_hitMarks)->empty();
    m_ui->actionMoveToTrash->setEnabled(targets && !m_acting);
    m_ui->actionMoveToFolder->setEnabled(targets && !m_acting);
    m_ui->actionHardLink->setEnabled(groups && targets && !m_acting);
    const bool undo = !m_acting && m_journal.canUndo();
    m_ui->actionUndo->setEnabled(undo);
    m_ui->actionUndo->setText(undo ? tr("&Undo %1").arg(ActionText::name(m_journalKind))
                                   : tr("&Undo"));
    m_ui->actionExportHits->setEnabled(!groups && m_hits->rowCount() > 0);
    const bool rows = groups ? m_groups->rowCount() > 0 : m_hits->rowCount() > 0;
    for (QAction* action :
         {m_ui->actionMarkAllButKept, m_ui->actionUnmarkAll, m_ui->actionInvertMarks,
          m_ui->actionMarkInFolder, m_ui->actionUnmarkInFolder})
        action->setEnabled(rows);
    for (QAction* action : {m_ui->actionMakeReference, m_ui->actionKeepAndNext,
                            m_ui->actionNextGroup, m_ui->actionPreviousGroup})
        action->setEnabled(groups && rows);
}

void Ovrin::updateTitle()
{
    switch (m_runKind) {
    case RunKind::Search:
        m_window->setWindowTitle(tr("Ovrin — searching…"));
        break;
    case RunKind::IndexCreation:
        m_window->setWindowTitle(tr("Ovrin — indexing…"));
        break;
    case RunKind::Groups:
        m_window->setWindowTitle(tr("Ovrin — grouping…"));
        break;
    case RunKind::None:
        m_window->setWindowTitle(tr("Ovrin"));
        break;
    }
}

RunReport::GroupingState Ovrin::groupingState() const
{
    const GroupingProgress& grouping = m_gs->groupingProgress();
    RunReport::GroupingState state;
    state.phase = grouping.phase.load();
    const TGraphicSearch::Estimate estimate = m_gs->fileEstimate();
    state.examined = state.phase == GroupingPhase::Reading
                         ? static_cast<std::int64_t>(grouping.entriesRead.load())
                         : m_bridge->examined();
    state.estimated = estimate.files;
    state.settled = estimate.settled;
    state.pairsTotal = grouping.pairsTotal.load();
    state.pairsDone = grouping.pairsCompared.load() + grouping.pairsPruned.load();
    state.groups = grouping.groups.load();
    return state;
}

StripContext Ovrin::nextSearchContext() const
{
    StripContext context;
    context.target = m_gs->target().filePath();
    context.picture = m_gs->targetPicture();
    if (context.picture && context.picture == m_pasted)
        context.pictureSize = m_pastedSize;
    context.folder = m_gs->topDirPath();
    context.index = m_gs->indexFilePath();
    context.method = m_gs->searchMethod();
    context.bits = m_gs->bits();
    context.matchRate = m_gs->matchRate();
    return context;
}

std::shared_ptr<const std::vector<std::uint8_t>> Ovrin::shownPicture() const
{
    return m_hitsRun ? m_hitsRun->picture : m_gs->targetPicture();
}

std::optional<std::string> Ovrin::shownTarget() const
{
    return m_hitsRun ? m_hitsRun->target : m_gs->target().filePath();
}

void Ovrin::refreshContext()
{
    if (m_view == View::Groups) {
        const GroupsRequest& run = m_groupsRun;
        StripContext context;
        context.folder = run.folder;
        context.index = run.index;
        context.method = run.method;
        context.bits = run.bits;
        context.matchRate = run.matchRate;
        context.groups = true;
        context.grouping =
            tr("similarity %1 · keep %2")
                .arg(GroupsDlg::similarityText(run.similarity), GroupsDlg::keepText(run.keep));
        m_ui->contextStrip->showContext(context);
        return;
    }
    m_ui->contextStrip->showContext(m_hitsRun.value_or(nextSearchContext()));
}

void Ovrin::requestTargetPreview()
{
    followCompare();
    // While the pane shows groups, the strip names no target.
    if (m_view == View::Groups) {
        ++m_previewTickets[kStripSlot];
        m_previewPaths[kStripSlot].clear();
        m_ui->contextStrip->setTargetImage({});
        return;
    }
    if (auto picture = shownPicture()) {
        m_previewPaths[PreviewPane::TargetSlot].clear(); // no file that could go
        m_gone[PreviewPane::TargetSlot] = false;
        m_previews->request(PreviewPane::TargetSlot, std::move(picture), PreviewPane::pictureBox(),
                            ++m_previewTickets[PreviewPane::TargetSlot]);
        return;
    }
    const std::optional<std::string> path = shownTarget();
    m_previewPaths[PreviewPane::TargetSlot] = path.value_or(std::string());
    m_gone[PreviewPane::TargetSlot] = false;
    if (!path || path->empty()) {
        ++m_previewTickets[PreviewPane::TargetSlot];
        m_ui->previewPane->showMessage(PreviewPane::TargetSlot, {}, tr("No target chosen yet."));
        m_ui->contextStrip->setTargetImage({});
        return;
    }
    m_previews->request(PreviewPane::TargetSlot, *path, PreviewPane::pictureBox(),
                        ++m_previewTickets[PreviewPane::TargetSlot]);
}

void Ovrin::showGone(int slot, const std::string& path)
{
    ++m_previewTickets[slot];
    m_gone[slot] = true;
    if (slot == kStripSlot || (slot == PreviewPane::TargetSlot && m_view == View::Hits))
        m_ui->contextStrip->setTargetImage({});
    if (slot != kStripSlot)
        m_ui->previewPane->showMessage(static_cast<PreviewPane::Slot>(slot),
                                       tr("%1 (gone)").arg(fileName(path)),
                                       tr("The picture is no longer there."));
}

void Ovrin::refreshShownPictures()
{
    if (m_view == View::Groups) {
        previewGroupSelection();
        return;
    }
    previewSelection();
    // The target is no row of its own: its file tells.
    const std::string& target = m_previewPaths[PreviewPane::TargetSlot];
    const bool gone = !target.empty() && !platform::FileManager::fileExists(target);
    if (gone && !m_gone[PreviewPane::TargetSlot])
        showGone(PreviewPane::TargetSlot, target);
    else if (!gone && m_gone[PreviewPane::TargetSlot])
        requestTargetPreview();
}

void Ovrin::requestPreview(int slot, const std::string& path)
{
    // Moving within a group leaves its reference in place.
    if (m_previewPaths[slot] == path)
        return;
    m_previewPaths[slot] = path;
    m_gone[slot] = false;
    m_previews->request(slot, path, PreviewPane::pictureBox(), ++m_previewTickets[slot]);
}

void Ovrin::previewGroupSelection()
{
    PreviewPane* pane = m_ui->previewPane;
    const QModelIndex current = m_ui->tvGroups->selectionModel()->currentIndex();
    const auto message = [this, pane](PreviewPane::Slot slot, const QString& text) {
        ++m_previewTickets[slot];
        m_previewPaths[slot].clear();
        pane->showMessage(slot, {}, text);
    };
    if (!current.isValid()) {
        // Pictures whose rows left with their files are said to be gone.
        bool gone[2] = {false, false};
        for (const int slot : {PreviewPane::TargetSlot, PreviewPane::HitSlot}) {
            std::string& shown = m_previewPaths[slot];
            gone[slot] = !shown.empty() && !platform::FileManager::fileExists(shown);
            if (gone[slot])
                showGone(slot, shown);
            shown.clear();
        }
        // A side that said its picture is gone goes on saying so.
        if (!gone[PreviewPane::TargetSlot] && !m_gone[PreviewPane::TargetSlot])
            message(PreviewPane::TargetSlot, tr("Select a group to see its reference here."));
        if (!gone[PreviewPane::HitSlot] && !m_gone[PreviewPane::HitSlot])
            message(PreviewPane::HitSlot, tr("Select a member to compare it with its reference."));
        return;
    }
    const std::string reference = m_groups->path(m_groups->referenceOf(current));
    if (reference.empty())
        message(PreviewPane::TargetSlot, tr("The reference was moved to the trash."));
    else
        requestPreview(PreviewPane::TargetSlot, reference);
    if (m_groups->isReference(current))
        message(PreviewPane::HitSlot,
                tr("This is the group's reference. Select a member to compare it with the "
                   "reference."));
    else
        requestPreview(PreviewPane::HitSlot, m_groups->path(current));
}

void Ovrin::previewSelection()
{
    followCompare();
    if (m_view == View::Groups) {
        previewGroupSelection();
        return;
    }
    const QModelIndex current = m_ui->tvResult->selectionModel()->currentIndex();
    const std::string path = current.isValid() ? m_hits->path(current.row()) : std::string();
    std::string& shown = m_previewPaths[PreviewPane::HitSlot];
    if (path.empty()) {
        // A hit whose row left the table leaves the pane with it.
        if (!shown.empty() && !platform::FileManager::fileExists(shown))
            showGone(PreviewPane::HitSlot, shown);
        else if (!m_gone[PreviewPane::HitSlot] || !shown.empty())
            m_ui->previewPane->showMessage(PreviewPane::HitSlot, {},
                                           tr("Select a hit to see it here."));
        ++m_previewTickets[PreviewPane::HitSlot];
        shown.clear();
        return;
    }
    requestPreview(PreviewPane::HitSlot, path);
}

void Ovrin::pictureLoaded(int slot, std::uint64_t ticket, const PictureInfo& info)
{
    if (slot < 0 || slot > kStripSlot || ticket != m_previewTickets[slot])
        return; // a newer request has replaced it
    if (info.failure == platform::LoadFailure::Missing) {
        showGone(slot, m_previewPaths[slot]);
        return;
    }
    if (slot == kStripSlot) {
        m_ui->contextStrip->setTargetImage(info.image);
        return;
    }
    if (m_view == View::Groups) {
        QString name = fileName(m_previewPaths[slot]);
        const QModelIndex current = m_ui->tvGroups->selectionModel()->currentIndex();
        if (slot == PreviewPane::HitSlot && current.isValid())
            name =
                tr("%1\nRate %2 % · likeness %3 %")
                    .arg(
                        name,
                        current.siblingAtColumn(GroupTreeModel::kRateColumn).data().toString(),
                        current.siblingAtColumn(GroupTreeModel::kLikenessColumn).data().toString());
        m_ui->previewPane->showPicture(static_cast<PreviewPane::Slot>(slot), name, info);
        return;
    }
    if (slot == PreviewPane::TargetSlot) {
        const auto path = shownTarget();
        m_ui->previewPane->showPicture(PreviewPane::TargetSlot,
                                       shownPicture() ? ContextStrip::pictureName()
                                       : path         ? fileName(*path)
                                                      : QString(),
                                       info);
        m_ui->contextStrip->setTargetImage(info.image);
        return;
    }
    const QModelIndex current = m_ui->tvResult->selectionModel()->currentIndex();
    QString name;
    Orientation lies = Orientation::Upright;
    if (current.isValid()) {
        name = fileName(m_hits->path(current.row()));
        if (m_hits->isTarget(current.row()))
            name = tr("%1 (the target)").arg(name);
        if (const auto hit = m_hits->hit(current.row()))
            lies = hit->orientation();
    }
    m_ui->previewPane->showPicture(PreviewPane::HitSlot, name, info, lies);
}

// ---- Compare ---------------------------------------------------------------

void Ovrin::menuCompareAction()
{
    if (!m_compare) {
        m_compare = new CompareView(m_window.get());
        m_compare->setWindowFlag(Qt::Window);
        const std::string stored = windowsetting::state(windowsetting::State::CompareGeometry);
        if (m_compare->restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(stored)))) {
            // What counts as a change is a change from here.
            m_compareGeometry = m_compare->saveGeometry().toBase64().toStdString();
        } else {
            const QScreen* screen = QGuiApplication::primaryScreen();
            const QSize room = screen != nullptr ? screen->availableSize() : QSize(1024, 600);
            m_compare->resize(std::min(1200, room.width() * 92 / 100),
                              std::min(800, room.height() * 92 / 100));
        }
    }
    // The main window's commands (walking, marking, trashing) work from here
    // too, but not on the keys that zoom and move the pictures. Taken each
    // time, so that actions added since are among them.
    const QList<QKeySequence> own = m_compare->ownShortcuts();
    for (QAction* action : m_window->findChildren<QAction*>()) {
        if (action->isSeparator() || action->menu() != nullptr ||
            action->shortcutContext() != Qt::WindowShortcut || action->shortcuts().isEmpty())
            continue;
        const QList<QKeySequence> keys = action->shortcuts();
        if (std::none_of(keys.begin(), keys.end(),
                         [&own](const QKeySequence& key) { return own.contains(key); }))
            m_compare->addAction(action);
    }
    m_compare->show();
    m_compare->raise();
    m_compare->activateWindow();
    followCompare();
}

void Ovrin::followCompare()
{
    if (!m_compare || !m_compare->isVisible())
        return;
    CompareView::Picture reference;
    CompareView::Picture member;
    if (m_view == View::Groups) {
        const QModelIndex current = m_ui->tvGroups->selectionModel()->currentIndex();
        if (!current.isValid()) {
            reference.message = tr("Select a group to see its reference here.");
            member.message = tr("Select a member to compare it with its reference.");
        } else {
            reference.path = m_groups->path(m_groups->referenceOf(current));
            reference.name = fileName(reference.path);
            if (reference.path.empty())
                reference.message = tr("The reference was moved to the trash.");
            if (m_groups->isReference(current)) {
                member.message = tr("This is the group's reference. Select a member to compare "
                                    "it with the reference.");
            } else {
                member.path = m_groups->path(current);
                member.name =
                    tr("%1\nRate %2 % · likeness %3 %")
                        .arg(fileName(member.path),
                             current.siblingAtColumn(GroupTreeModel::kRateColumn).data().toString(),
                             current.siblingAtColumn(GroupTreeModel::kLikenessColumn)
                                 .data()
                                 .toString());
            }
        }
        m_compare->showPair(CompareView::Mode::Groups, reference, member);
        return;
    }
    const auto& target = m_gs->target().filePath();
    if (auto picture = m_gs->targetPicture()) {
        reference.bytes = std::move(picture);
        reference.name = ContextStrip::pictureName();
    } else if (target && !target->empty()) {
        reference.path = *target;
        reference.name = fileName(*target);
    } else {
        reference.message = tr("No target chosen yet.");
    }
    const QModelIndex current = m_ui->tvResult->selectionModel()->currentIndex();
    if (current.isValid())
        member.path = m_hits->path(current.row());
    if (member.path.empty()) {
        member.message = tr("Select a hit to see it here.");
    } else {
        member.name = fileName(member.path);
        if (m_hits->isTarget(current.row()))
            member.name = tr("%1 (the target)").arg(member.name);
        if (const auto hit = m_hits->hit(current.row()))
            member.orientation = hit->orientation();
    }
    m_compare->showPair(CompareView::Mode::Hits, reference, member);
}

// ---- Shutdown ------------------------------------------------------------

void Ovrin::quitWithoutAsking()
{
    m_quitWithoutAsking = true;
    m_window->close();
}

bool Ovrin::windowWillClose()
{
    if (!m_quited && !m_quitWithoutAsking && m_gs->isWorking() &&
        m_runKind == RunKind::IndexCreation &&
        !UiHooks::confirm(m_window.get(), tr("An index file is being written. Stop and quit?"),
                          tr("Stopping keeps the index that was there before; where there was "
                             "none, the index written so far stays, partial."),
                          tr("Stop and Quit")))
        return false;
    if (!m_quited) {
        m_gs->saveSetting(*m_setting);
        // Paths the engine refused to start with are not kept for next time.
        m_setting->setTargetFilePath(m_remembered.target);
        m_setting->setTopDirPath(m_remembered.folder);
        m_setting->setIndexFilePath(m_remembered.index);
        m_setting->setTargetPasted(m_remembered.targetPasted);
        if (!m_settingSaved || !m_settingSaved->equals(*m_setting))
            m_setting->ending();
        saveWindow();
        m_gs->join();
        stopActing();
        m_quited = true;
    }
    QCoreApplication::quit();
    return true;
}

} // namespace ovrin::ui
