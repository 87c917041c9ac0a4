#include "ui/Ovrin.h"

#include "engine/TGraphicSearch.h"
#include "settings/TSetting.h"
#include "signature/TFileInfo.h"
#include "ui/HitListModel.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMainWindow>
#include <QMimeData>
#include <QThread>
#include <QTranslator>
#include <QUrl>

namespace ovrin::ui {

Ovrin::Ovrin(QObject* parent)
    : QObject(parent), m_ui(std::make_unique<Ui::MainWindow>()),
      m_window(std::make_unique<QMainWindow>())
{
    m_ui->setupUi(m_window.get());
    m_createIndexFileDlg = new TCreateIndexFileDlg(m_window.get());
    m_searchDlg = new TSearchDlg(m_window.get());

    // The window's own events (drops, the close) come here first.
    m_window->installEventFilter(this);
    m_window->setAcceptDrops(true);

    m_setting = std::make_unique<TSetting>();
    if (m_setting->beginning())
        m_settingSaved = m_setting->clone();
    m_gs = std::make_shared<TGraphicSearch>(this);
    m_gs->loadSetting(*m_setting);

    m_hits = new HitListModel(this);
    m_ui->tvResult->setModel(m_hits);
    m_ui->tvResult->horizontalHeader()->setStretchLastSection(true);
    m_ui->tvResult->verticalHeader()->setVisible(false);
    connect(m_ui->tvResult, &QAbstractItemView::doubleClicked, this,
            &Ovrin::doubleClickTvResultAction);

    connect(m_ui->btnSearch, &QPushButton::clicked, this, &Ovrin::btnSearchAction);
    connect(m_ui->actionSearch, &QAction::triggered, this, &Ovrin::menuSearchAction);
    connect(m_ui->actionCreateIndexFile, &QAction::triggered, this,
            &Ovrin::menuCreateIndexFileAction);
    connect(m_ui->actionStop, &QAction::triggered, this, &Ovrin::menuStopAction);
    connect(m_ui->actionOpen, &QAction::triggered, this, &Ovrin::menuOpenGraphicFileAction);
    connect(m_ui->actionQuit, &QAction::triggered, m_window.get(), &QMainWindow::close);
    m_ui->actionStop->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(tr("Ctrl+."))});
    setButtonTitle(searchTitle());
    m_quited = false;
}

Ovrin::~Ovrin()
{
    // Should the window never have closed, the worker still must not outlive
    // its receiver.
    if (m_gs)
        m_gs->join();
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

void Ovrin::setButtonTitle(const QString& title)
{
    m_ui->btnSearch->setText(title);
    m_ui->btnSearch->repaint();
}

bool Ovrin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window.get())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        performDragOperation(drop->mimeData() != nullptr ? drop->mimeData()->urls()
                                                         : QList<QUrl>{});
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    case QEvent::Close:
        windowWillClose();
        return false;
    default:
        return QObject::eventFilter(watched, event);
    }
}

void Ovrin::performDragOperation(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString local = url.toLocalFile();
        const std::string path = local.toStdString();
        const QFileInfo info(local);
        if (info.exists() && info.isDir())
            m_gs->setTopDirPath(path);
        else if (info.exists()) {
            if (m_gs->checkIndexFile(path))
                m_gs->setIndexFilePath(path);
            else
                m_gs->target().setFilePath(path);
        }
    }
}

void Ovrin::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
{
    QMetaObject::invokeMethod(
        this, [this, hit = info] { m_hits->append(hit); }, Qt::QueuedConnection);
}

void Ovrin::progressCallback(const std::shared_ptr<TFileInfo>& info)
{
    const QString path = QString::fromStdString(info->filePath().value_or(std::string()));
    bool post = false;
    {
        const std::lock_guard lock(m_statusLock);
        post = !m_pendingStatus.has_value();
        m_pendingStatus = path;
    }
    if (post)
        QMetaObject::invokeMethod(this, &Ovrin::showStatus, Qt::QueuedConnection);
}

void Ovrin::showStatus()
{
    std::optional<QString> path;
    {
        const std::lock_guard lock(m_statusLock);
        path.swap(m_pendingStatus);
    }
    if (path)
        m_ui->msgCurrentFilePath->setText(*path);
}

void Ovrin::searchEndCallback()
{
    // A refused start calls back on the UI thread itself: the title must be
    // back before the command returns. A worker's end queues behind its hits.
    if (QThread::currentThread() == thread())
        endOfRun();
    else
        QMetaObject::invokeMethod(this, &Ovrin::endOfRun, Qt::QueuedConnection);
}

void Ovrin::endOfRun()
{
    {
        const std::lock_guard lock(m_statusLock);
        m_pendingStatus.reset();
    }
    m_ui->msgCurrentFilePath->setText(QString());
    setButtonTitle(searchTitle());
    const bool wasIndex = m_indexRunning;
    m_indexRunning = false;
    if (wasIndex && !m_quited) {
        if (const RunSummary summary = m_gs->lastRunSummary();
            summary.outcome == RunSummary::Outcome::Failed)
            UiHooks::alert(m_window.get(), tr("The index file could not be written."),
                           QString::fromStdString(summary.error));
    }
}

void Ovrin::btnSearchAction()
{
    if (m_gs->isWorking())
        menuStopAction();
    else
        menuSearchAction();
}

void Ovrin::menuSearchAction()
{
    if (m_gs->isWorking())
        return;
    m_searchDlg->setup(m_gs.get());
    if (!m_searchDlg->doModal())
        return;
    m_hits->clear();
    setButtonTitle(stopTitle());
    m_indexRunning = false;
    m_gs->beginSearch();
}

void Ovrin::menuCreateIndexFileAction()
{
    if (m_gs->isWorking())
        return;
    m_createIndexFileDlg->setup(m_gs.get());
    if (!m_createIndexFileDlg->doModal())
        return;
    setButtonTitle(stopTitle());
    m_indexRunning = true;
    if (const StartResult started = m_gs->makeIndexFile(); !started)
        UiHooks::alert(m_window.get(), tr("The index file could not be written."),
                       QString::fromStdString(started.detail));
}

void Ovrin::menuStopAction()
{
    m_gs->stop();
}

void Ovrin::doubleClickTvResultAction()
{
    menuOpenGraphicFileAction();
}

void Ovrin::menuOpenGraphicFileAction()
{
    const QModelIndexList rows = m_ui->tvResult->selectionModel() != nullptr
                                     ? m_ui->tvResult->selectionModel()->selectedRows()
                                     : QModelIndexList{};
    if (rows.isEmpty())
        return;
    const auto hit = m_hits->hit(rows.front().row());
    if (!hit || !hit->filePath())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(*hit->filePath())));
}

void Ovrin::windowWillClose()
{
    if (!m_quited) {
        m_gs->saveSetting(*m_setting);
        if (!m_settingSaved || !m_settingSaved->equals(*m_setting))
            m_setting->ending();
        m_gs->join();
        m_quited = true;
    }
    QCoreApplication::quit();
}

} // namespace ovrin::ui
