#include "ui/Ovrin.h"

#include "engine/RunContext.h"
#include "engine/TGraphicSearch.h"
#include "platform/Preferences.h"
#include "settings/TSetting.h"
#include "signature/TFileInfo.h"
#include "ui/ContextStrip.h"
#include "ui/GroupExport.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitTableView.h"
#include "ui/MarkSet.h"
#include "ui/PathText.h"
#include "ui/PictureLoader.h"
#include "ui/PreviewPane.h"
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
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTranslator>
#include <QUrl>

// The library's resources are linked into a static library, whose
// registration nothing else would pull into the program.
static void initResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace ovrin::ui {

namespace {

// The window's own keys, beside the eight values of the settings record.
const char* const kGeometryKey = "Window/geometry";
const char* const kSplitterKey = "Window/splitter";
const char* const kColumnsKey = "Window/columns";
const char* const kGroupColumnsKey = "Window/groupColumns";
// The grouping's values, apart from the search's.
const char* const kGroupsMethodKey = "Groups/method";
const char* const kGroupsFolderKey = "Groups/topDirPath";
const char* const kGroupsIndexKey = "Groups/indexFilePath";
const char* const kGroupsBitsKey = "Groups/bits";
const char* const kGroupsRateKey = "Groups/matchRate";
const char* const kGroupsSimilarityKey = "Groups/similarity";
const char* const kGroupsKeepKey = "Groups/keep";
const char* const kGroupsPreferredKey = "Groups/preferredFolders";

constexpr int kProgressIntervalMs = 250;
constexpr int kOpenWithoutAsking = 10;
const QSize kThumbnailBox(48, 36);

QString fileName(const std::string& path)
{
    const QString shown = PathText::display(path);
    return shown.section(QLatin1Char('/'), -1);
}

// A path in the store: as it reads where that keeps every byte, else as a
// file URL, which does.
std::string storedPath(const std::optional<std::string>& path)
{
    if (!path || PathText::isExact(*path))
        return path.value_or(std::string());
    return PathText::toUrl(*path).toEncoded().toStdString();
}

std::optional<std::string> pathFromStore(const std::optional<std::string>& stored)
{
    if (!stored || stored->rfind("file:", 0) != 0)
        return stored;
    return PathText::fromUrl(QUrl::fromEncoded(QByteArray::fromStdString(*stored)));
}

std::int32_t numberFromStore(const std::optional<std::string>& stored, std::int32_t otherwise)
{
    bool ok = false;
    const int value = stored ? QString::fromStdString(*stored).toInt(&ok) : 0;
    return ok ? value : otherwise;
}

// Preferred folders, one file URL a line: a URL holds every byte of a path
// and never a line end.
std::string storedFolders(const std::vector<std::string>& folders)
{
    std::string stored;
    for (const std::string& folder : folders)
        stored += (stored.empty() ? "" : "\n") + PathText::toUrl(folder).toEncoded().toStdString();
    return stored;
}

// A line that names no absolute local path is passed over.
std::vector<std::string> foldersFromStore(const std::optional<std::string>& stored)
{
    std::vector<std::string> folders;
    if (!stored)
        return folders;
    for (const QByteArray& line : QByteArray::fromStdString(*stored).split('\n'))
        if (const auto folder = PathText::fromUrl(QUrl::fromEncoded(line.trimmed()));
            folder && folder->starts_with('/'))
            folders.push_back(*folder);
    return folders;
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

    // The window's own events (drops, the close) come here first.
    m_window->installEventFilter(this);
    m_window->setAcceptDrops(true);

    m_setting = std::make_unique<TSetting>();
    if (m_setting->beginning())
        m_settingSaved = m_setting->clone();
    m_gs = std::make_shared<TGraphicSearch>(this);
    m_gs->loadSetting(*m_setting);
    m_remembered = {m_gs->target().filePath(), m_gs->topDirPath(), m_gs->indexFilePath()};

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
    columns->setStretchLastSection(true);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSortIndicator(HitListModel::kRateColumn, Qt::DescendingOrder);
    columns->resizeSection(HitListModel::kRateColumn,
                           columns->sectionSizeHint(HitListModel::kRateColumn) + 12);
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
    m_groups->setThumbnails(m_thumbnails);
    GroupTreeView* tree = m_ui->tvGroups;
    tree->setModel(m_groups);
    tree->setIconSize(kThumbnailBox);
    // A double click opens, as in the table; the keyboard and the arrows
    // fold groups.
    tree->setExpandsOnDoubleClick(false);
    QHeaderView* groupColumns = tree->header();
    groupColumns->setStretchLastSection(false);
    groupColumns->setSectionResizeMode(GroupTreeModel::kPathColumn, QHeaderView::Stretch);
    for (const int column : {GroupTreeModel::kRateColumn, GroupTreeModel::kLikenessColumn}) {
        groupColumns->setSectionResizeMode(column, QHeaderView::Interactive);
        groupColumns->resizeSection(column, groupColumns->sectionSizeHint(column) + 12);
    }
    connect(tree, &QAbstractItemView::doubleClicked, this, &Ovrin::doubleClickTvResultAction);
    connect(tree, &GroupTreeView::openRequested, this, &Ovrin::menuOpenGraphicFileAction);
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
    connect(m_ui->actionOpen, &QAction::triggered, this, &Ovrin::menuOpenGraphicFileAction);
    connect(m_ui->actionShowInFolder, &QAction::triggered, this, &Ovrin::menuShowInFolderAction);
    connect(m_ui->actionCopyPaths, &QAction::triggered, this, &Ovrin::menuCopyPathsAction);
    connect(m_ui->actionMoveToTrash, &QAction::triggered, this, &Ovrin::menuMoveToTrashAction);
    connect(m_ui->actionExportHits, &QAction::triggered, this, &Ovrin::menuExportHitsAction);
    connect(m_ui->actionFindGroups, &QAction::triggered, this, &Ovrin::menuFindGroupsAction);
    connect(m_ui->actionSelectMembers, &QAction::triggered, this, &Ovrin::menuSelectMembersAction);
    connect(m_ui->actionExportGroups, &QAction::triggered, this, &Ovrin::menuExportGroupsAction);
    connect(m_ui->actionQuit, &QAction::triggered, m_window.get(), &QMainWindow::close);
    m_ui->actionStop->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(tr("Ctrl+."))});
    auto* separator = new QAction(table);
    separator->setSeparator(true);
    auto* separator2 = new QAction(table);
    separator2->setSeparator(true);
    table->addActions({m_ui->actionOpen, m_ui->actionShowInFolder, m_ui->actionCopyPaths, separator,
                       m_ui->actionMoveToTrash, separator2, m_ui->actionExportHits});
    auto* treeSeparator = new QAction(tree);
    treeSeparator->setSeparator(true);
    auto* treeSeparator2 = new QAction(tree);
    treeSeparator2->setSeparator(true);
    tree->addActions({m_ui->actionOpen, m_ui->actionShowInFolder, m_ui->actionCopyPaths,
                      treeSeparator, m_ui->actionSelectMembers, m_ui->actionMoveToTrash,
                      treeSeparator2, m_ui->actionExportGroups});

    m_ui->btnSearch->setAccessibleName(tr("Search or stop"));
    m_ui->pbIndexRead->hide();
    m_ui->msgSummary->hide();
    // The counts of a run share the row with the file in hand and wrap on a
    // narrow screen rather than widen the window beyond it.
    m_ui->msgCounts->setWordWrap(true);
    m_ui->statusLayout->setStretchFactor(m_ui->msgCounts, 1);
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &Ovrin::showProgress);

    setButtonTitle(searchTitle());
    restoreWindow();
    loadGroupsValues();
    refreshContext();
    requestTargetPreview();
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

void Ovrin::restoreWindow()
{
    platform::Preferences& store = platform::Preferences::standard();
    std::vector<QByteArray> stored;
    for (const char* key : {kGeometryKey, kSplitterKey, kColumnsKey, kGroupColumnsKey}) {
        m_windowKeys.emplace_back(key, store.stringForKey(key).value_or(std::string()));
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
    // Widths kept from a run in another language still show the whole title.
    columns->resizeSection(HitListModel::kRateColumn,
                           std::max(columns->sectionSize(HitListModel::kRateColumn),
                                    columns->sectionSizeHint(HitListModel::kRateColumn)));
    for (const int column : {GroupTreeModel::kRateColumn, GroupTreeModel::kLikenessColumn})
        groupColumns->resizeSection(column, std::max(groupColumns->sectionSize(column),
                                                     groupColumns->sectionSizeHint(column)));
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
    platform::Preferences& store = platform::Preferences::standard();
    bool changed = false;
    for (std::size_t i = 0; i < m_windowKeys.size(); ++i) {
        if (m_windowKeys[i].second == now[i])
            continue;
        store.setString(m_windowKeys[i].first, now[i]);
        changed = true;
    }
    changed = saveGroupsValues() || changed;
    // Like the settings record: the store is written only when something changed.
    if (changed)
        store.synchronize();
}

void Ovrin::loadGroupsValues()
{
    const platform::Preferences& store = platform::Preferences::standard();
    // Until a grouping has run, it starts from the search's values.
    GroupsRequest values;
    const std::int32_t method = m_gs->searchMethod();
    values.method =
        method == TGraphicSearch::kSearchIndexFile ? method : TGraphicSearch::kSearchDirectory;
    values.folder = m_gs->topDirPath();
    values.index = m_gs->indexFilePath();
    values.bits = m_gs->bits();
    values.matchRate = m_gs->matchRate();
    if (store.stringForKey(kGroupsMethodKey)) {
        values.method = numberFromStore(store.stringForKey(kGroupsMethodKey), values.method) ==
                                TGraphicSearch::kSearchIndexFile
                            ? TGraphicSearch::kSearchIndexFile
                            : TGraphicSearch::kSearchDirectory;
        values.folder = pathFromStore(store.stringForKey(kGroupsFolderKey));
        values.index = pathFromStore(store.stringForKey(kGroupsIndexKey));
        values.bits = numberFromStore(store.stringForKey(kGroupsBitsKey), values.bits);
        values.matchRate = numberFromStore(store.stringForKey(kGroupsRateKey), values.matchRate);
    }
    // Kept apart from the method: a store of an older version has none of these.
    values.similarity = parseSimilarity(store.stringForKey(kGroupsSimilarityKey).value_or(""))
                            .value_or(values.similarity);
    values.keep =
        parseKeepRule(store.stringForKey(kGroupsKeepKey).value_or("")).value_or(values.keep);
    values.preferred = foldersFromStore(store.stringForKey(kGroupsPreferredKey));
    m_groupsValues = m_groupsStarted = m_groupsLoaded = values;
}

bool Ovrin::saveGroupsValues()
{
    if (m_groupsStarted == m_groupsLoaded)
        return false;
    platform::Preferences& store = platform::Preferences::standard();
    store.setString(kGroupsMethodKey, std::to_string(m_groupsStarted.method));
    store.setString(kGroupsFolderKey, storedPath(m_groupsStarted.folder));
    store.setString(kGroupsIndexKey, storedPath(m_groupsStarted.index));
    store.setString(kGroupsBitsKey, std::to_string(m_groupsStarted.bits));
    store.setString(kGroupsRateKey, std::to_string(m_groupsStarted.matchRate));
    store.setString(kGroupsSimilarityKey, similarityName(m_groupsStarted.similarity));
    store.setString(kGroupsKeepKey, keepRuleName(m_groupsStarted.keep));
    store.setString(kGroupsPreferredKey, storedFolders(m_groupsStarted.preferred));
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
        if (drag->source() != nullptr || drag->mimeData() == nullptr ||
            !drag->mimeData()->hasUrls()) {
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
        performDragOperation(drop->mimeData() != nullptr ? drop->mimeData()->urls()
                                                         : QList<QUrl>{});
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
    std::optional<std::string> folder;
    std::optional<std::string> index;
    std::vector<std::string> candidates;
    QStringList refused;
    for (const std::string& path : paths) {
        bool isFolder = false;
        if (!platform::FileManager::fileExists(path, isFolder))
            refused << tr("%1 (%2)").arg(PathText::display(path),
                                         RunReport::loadFailure(platform::LoadFailure::Missing));
        else if (isFolder)
            folder = path;
        else if (m_gs->checkIndexFile(path))
            index = path;
        else
            candidates.push_back(path);
    }

    QStringList taken;
    if (folder) {
        m_gs->setTopDirPath(*folder);
        m_remembered.folder = folder;
        taken << tr("folder “%1”").arg(PathText::display(*folder));
        if (!index)
            m_gs->setSearchMethod(TGraphicSearch::kSearchDirectory);
    }
    if (index) {
        m_gs->setIndexFilePath(*index);
        m_remembered.index = index;
        m_gs->setSearchMethod(TGraphicSearch::kSearchIndexFile);
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
    const QString last = fileName(candidates.back());
    m_targetCheck->start(std::move(candidates), 8, [this](TargetCheck::Verdict verdict) {
        QStringList refusedNow = m_dropRefused;
        for (const auto& [path, failure] : verdict.refused)
            refusedNow << tr("%1 (%2)").arg(PathText::display(path),
                                            RunReport::loadFailure(failure));
        QStringList takenNow = m_dropTaken;
        if (!verdict.target.empty()) {
            m_gs->target().setFilePath(verdict.target);
            m_remembered.target = verdict.target;
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

// ---- Callbacks -----------------------------------------------------------

HitRecord Ovrin::recordFor(const std::shared_ptr<TFileInfo>& info) const
{
    HitRecord record{info};
    // The engine's target signature is made before the worker starts (folder
    // search) or by the worker itself (index search): either way it is
    // settled before the first hit reaches this thread.
    record.likeness = TFileInfo::likeness(m_gs->target(), *info);
    if (const auto& fine = info->fine()) {
        record.width = fine->width;
        record.height = fine->height;
    }
    if (const auto& path = info->filePath()) {
        const auto status = platform::FileManager::fileStatus(*path);
        if (status)
            record.stamp = TFileStamp{status->size, status->modifiedNs, status->changedNs};
        if (*path == m_targetPath)
            record.isTarget = true;
        else if (m_targetIdentity)
            record.isTarget = status && status->identity == *m_targetIdentity;
    }
    return record;
}

void Ovrin::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
{
    HitRecord record = recordFor(info);
    m_hitCount.fetch_add(1);
    bool post = false;
    {
        const std::lock_guard lock(m_handoverLock);
        post = m_pendingHits.empty();
        m_pendingHits.push_back(std::move(record));
    }
    // One queued flush takes every hit gathered until it runs.
    if (post)
        QMetaObject::invokeMethod(this, &Ovrin::flushHits, Qt::QueuedConnection);
}

void Ovrin::progressCallback(const std::shared_ptr<TFileInfo>& info)
{
    m_examined.fetch_add(1);
    const std::lock_guard lock(m_handoverLock);
    m_latestPath = info->filePath().value_or(std::string());
}

void Ovrin::flushHits()
{
    std::vector<HitRecord> batch;
    {
        const std::lock_guard lock(m_handoverLock);
        batch.swap(m_pendingHits);
    }
    m_hits->appendHits(std::move(batch));
}

void Ovrin::showProgress()
{
    std::optional<std::string> path;
    {
        const std::lock_guard lock(m_handoverLock);
        path.swap(m_latestPath);
    }
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
        m_summaryKind, m_examined.load(), m_hitCount.load(), seconds,
        m_summaryKind == RunSummary::Kind::IndexSearch ? -1 : estimate.files, estimate.settled));
    if (m_summaryKind == RunSummary::Kind::IndexSearch) {
        const auto read = m_gs->indexReadProgress();
        if (read.total > 0) {
            m_ui->pbIndexRead->setValue(static_cast<int>(read.done * 1000 / read.total));
            m_ui->pbIndexRead->show();
        }
    }
}

void Ovrin::searchEndCallback()
{
    const std::uint64_t generation = m_generation.load();
    RunSummary summary = m_gs->lastRunSummary();
    // Taken with the summary, before another run could replace them.
    std::shared_ptr<const LookAlikeResult> groups =
        summary.kind == RunSummary::Kind::Groups ? m_gs->lastGroups() : nullptr;
    // A refused start calls back on the UI thread itself: the title must be
    // back before the command returns. A worker's end queues behind its hits.
    if (QThread::currentThread() == thread())
        endOfRun(generation, std::move(summary), std::move(groups));
    else
        QMetaObject::invokeMethod(
            this, [this, generation, summary, groups] { endOfRun(generation, summary, groups); },
            Qt::QueuedConnection);
}

RunSummary Ovrin::completeSummary(RunSummary summary) const
{
    // What the window counted itself stands where the engine said less.
    summary.kind = m_summaryKind;
    summary.examined = std::max(summary.examined, m_examined.load());
    summary.hits = std::max(summary.hits, m_hitCount.load());
    if (summary.seconds <= 0.0)
        summary.seconds = static_cast<double>(m_runClock.elapsed()) / 1000.0;
    return summary;
}

void Ovrin::endOfRun(std::uint64_t generation, RunSummary summary,
                     std::shared_ptr<const LookAlikeResult> groups)
{
    if (generation != m_generation.load())
        return; // the end of an earlier run, queued behind a newer start
    flushHits();
    m_progressTimer.stop();
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
        m_groups->setResult(groups);
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
    if (m_gs->isWorking())
        return;
    m_searchDlg->setup(m_gs.get());
    const bool confirmed = m_searchDlg->doModal();
    // Shortcuts of the window work again at once, also where no window
    // manager hands the activation back.
    m_window->activateWindow();
    if (!confirmed)
        return;
    m_hits->clear();
    m_groups->clear();
    startRun(RunKind::Search, m_searchDlg->takeSignature(), m_searchDlg->takeFine());
}

void Ovrin::menuFindGroupsAction()
{
    if (m_gs->isWorking())
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
    // The engine runs on what it holds; the search's values go back at once,
    // since the run has taken its own copy when it started.
    const auto folder = m_gs->topDirPath();
    const auto index = m_gs->indexFilePath();
    const std::int32_t method = m_gs->searchMethod();
    const std::int32_t bits = m_gs->bits();
    const std::int32_t rate = m_gs->matchRate();
    m_gs->setTopDirPath(m_groupsValues.folder);
    m_gs->setIndexFilePath(m_groupsValues.index);
    m_gs->setSearchMethod(m_groupsValues.method);
    m_gs->setBits(m_groupsValues.bits);
    m_gs->setMatchRate(m_groupsValues.matchRate);
    // Only groupings use these, so they are left as the grouping set them.
    m_gs->setSimilarity(m_groupsValues.similarity);
    m_gs->setKeepRule(m_groupsValues.keep);
    m_gs->setPreferredFolders(m_groupsValues.preferred);
    StartResult started = m_gs->beginGroups();
    m_gs->setTopDirPath(folder);
    m_gs->setIndexFilePath(index);
    m_gs->setSearchMethod(method);
    m_gs->setBits(bits);
    m_gs->setMatchRate(rate);
    return started;
}

void Ovrin::menuCreateIndexFileAction()
{
    if (m_gs->isWorking())
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
    m_generation.fetch_add(1);
    {
        const std::lock_guard lock(m_handoverLock);
        m_pendingHits.clear();
        m_latestPath.reset();
    }
    m_examined.store(0);
    m_hitCount.store(0);
    m_runKind = kind;
    if (kind == RunKind::IndexCreation)
        m_summaryKind = RunSummary::Kind::IndexCreation;
    else if (kind == RunKind::Groups)
        m_summaryKind = RunSummary::Kind::Groups;
    else
        m_summaryKind = m_gs->searchMethod() == TGraphicSearch::kSearchIndexFile
                            ? RunSummary::Kind::IndexSearch
                            : RunSummary::Kind::FolderSearch;
    m_targetPath = m_gs->target().filePath().value_or(std::string());
    m_targetIdentity.reset();
    if (const auto status = platform::FileManager::fileStatus(m_targetPath))
        m_targetIdentity = status->identity;

    m_summaryOf.reset();
    if (kind == RunKind::Search)
        m_hitsRun = nextSearchContext();
    else if (kind == RunKind::Groups)
        m_groupsRun = m_groupsValues;
    if (kind == RunKind::Search) {
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
    m_progressTimer.start();

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
    m_remembered.target = m_gs->target().filePath();
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
                  tr("The check of the dropped picture was stopped; the target stays as it was."));
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
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        return;
    const QString question =
        paths.size() == 1 ? tr("Move “%1” to the trash?").arg(fileName(paths.front()))
                          : tr("Move %1 pictures to the trash?")
                                .arg(QLocale().toString(static_cast<qulonglong>(paths.size())));
    if (!UiHooks::confirm(m_window.get(), question,
                          tr("They can be restored from the trash until it is emptied."),
                          tr("Move to Trash")))
        return;
    std::vector<std::string> gone;
    QStringList failures;
    for (const std::string& path : paths) {
        if (const auto problem = UiHooks::moveToTrash(path))
            failures << tr("%1: %2").arg(PathText::display(path), *problem);
        else
            gone.push_back(path);
    }
    if (m_view == View::Groups) {
        m_groups->removePaths(gone);
        if (m_groups->rowCount() == 0)
            m_ui->tvGroups->setPlaceholderText(tr("No groups are left."));
    } else {
        m_hits->removePaths(gone);
    }
    if (!failures.isEmpty())
        UiHooks::alert(m_window.get(),
                       RunReport::count(failures.size(),
                                        tr("%1 picture could not be moved to the trash."),
                                        tr("%1 pictures could not be moved to the trash.")),
                       failures.join(QLatin1Char('\n')));
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
                       *path + QLatin1Char('\n') + *problem);
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
    const QByteArray text = GroupExport::write(result->table.paths, result->aliases,
                                               m_groups->groups(), GroupExport::formatFor(*path));
    if (const auto problem = ExportFile::write(PathText::fromText(*path), text))
        UiHooks::alert(m_window.get(), tr("The groups could not be exported."),
                       *path + QLatin1Char('\n') + *problem);
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
    previewSelection();
    updateActions();
}

void Ovrin::refreshSummary()
{
    if (!m_summaryOf || m_runKind != RunKind::None)
        return;
    if (*m_summaryOf == View::Groups && m_groupsSummary) {
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
    m_ui->actionSearch->setEnabled(!working);
    m_ui->actionCreateIndexFile->setEnabled(!working);
    m_ui->actionFindGroups->setEnabled(!working);
    m_ui->actionSelectMembers->setEnabled(groups && m_groups->rowCount() > 0);
    m_ui->actionExportGroups->setEnabled(groups && m_groups->rowCount() > 0);
    m_ui->actionOpen->setEnabled(selected);
    m_ui->actionShowInFolder->setEnabled(selected);
    m_ui->actionCopyPaths->setEnabled(selected);
    m_ui->actionMoveToTrash->setEnabled(selected);
    m_ui->actionExportHits->setEnabled(!groups && m_hits->rowCount() > 0);
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
                         : m_examined.load();
    state.estimated = estimate.files;
    state.settled = estimate.settled;
    state.pairsTotal = grouping.pairsTotal.load();
    state.pairsDone = grouping.pairsCompared.load() + grouping.pairsPruned.load();
    state.groups = grouping.groups.load();
    return state;
}

RunContext Ovrin::nextSearchContext() const
{
    return RunContext{m_gs->target().filePath(),
                      m_gs->topDirPath(),
                      m_gs->indexFilePath(),
                      m_gs->searchMethod(),
                      m_gs->bits(),
                      m_gs->matchRate(),
                      false,
                      {}};
}

std::optional<std::string> Ovrin::shownTarget() const
{
    return m_hitsRun ? m_hitsRun->target : m_gs->target().filePath();
}

void Ovrin::refreshContext()
{
    if (m_view == View::Groups) {
        const GroupsRequest& run = m_groupsRun;
        m_ui->contextStrip->showContext(RunContext{
            std::nullopt, run.folder, run.index, run.method, run.bits, run.matchRate, true,
            tr("similarity %1 · keep %2")
                .arg(GroupsDlg::similarityText(run.similarity), GroupsDlg::keepText(run.keep))});
        return;
    }
    m_ui->contextStrip->showContext(m_hitsRun.value_or(nextSearchContext()));
}

void Ovrin::requestTargetPreview()
{
    // While the pane shows groups, the strip names no target.
    if (m_view == View::Groups) {
        ++m_previewTickets[kStripSlot];
        m_previewPaths[kStripSlot].clear();
        m_ui->contextStrip->setTargetImage({});
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
        m_ui->previewPane->showPicture(PreviewPane::TargetSlot, path ? fileName(*path) : QString(),
                                       info);
        m_ui->contextStrip->setTargetImage(info.image);
        return;
    }
    const QModelIndex current = m_ui->tvResult->selectionModel()->currentIndex();
    QString name;
    if (current.isValid()) {
        name = fileName(m_hits->path(current.row()));
        if (m_hits->isTarget(current.row()))
            name = tr("%1 (the target)").arg(name);
    }
    m_ui->previewPane->showPicture(PreviewPane::HitSlot, name, info);
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
        if (!m_settingSaved || !m_settingSaved->equals(*m_setting))
            m_setting->ending();
        saveWindow();
        m_gs->join();
        m_quited = true;
    }
    QCoreApplication::quit();
    return true;
}

} // namespace ovrin::ui
