#include "ui/RunBridge.h"

#include "engine/RunContext.h"
#include "engine/TGraphicSearch.h"
#include "signature/TFileInfo.h"

#include <QThread>

#include <algorithm>

namespace ovrin::ui {

namespace {

constexpr int kProgressIntervalMs = 250;

} // namespace

RunBridge::RunBridge(QObject* parent)
    : QObject(parent), m_engine(std::make_shared<TGraphicSearch>(this))
{
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &RunBridge::tell);
}

RunBridge::~RunBridge()
{
    // The worker keeps the engine alive, not this receiver.
    m_engine->join();
}

void RunBridge::beginRun(std::string targetPath,
                         std::optional<platform::FileIdentity> targetIdentity)
{
    m_generation.fetch_add(1);
    {
        const std::lock_guard lock(m_handoverLock);
        m_pendingHits.clear();
        m_latestPath.reset();
    }
    m_examined.store(0);
    m_hitCount.store(0);
    // Written before the worker starts, so its callbacks see them settled.
    m_targetPath = std::move(targetPath);
    m_targetIdentity = targetIdentity;
    m_progressTimer.start();
}

HitRecord RunBridge::recordFor(const std::shared_ptr<TFileInfo>& info) const
{
    HitRecord record{info};
    // The engine's target signature is made before the worker starts (folder
    // search) or by the worker itself (index search): either way it is
    // settled before the first hit reaches this thread.
    record.likeness = TFileInfo::likeness(m_engine->target(), *info);
    if (const auto& fine = info->fine()) {
        record.width = fine->width;
        record.height = fine->height;
    }
    if (const auto& path = info->filePath()) {
        const auto status = platform::FileManager::fileStatus(*path);
        if (status)
            record.stamp = FileStamp{status->size, status->modifiedNs, status->changedNs};
        if (*path == m_targetPath)
            record.isTarget = true;
        else if (m_targetIdentity)
            record.isTarget = status && status->identity == *m_targetIdentity;
    }
    return record;
}

void RunBridge::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
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
        QMetaObject::invokeMethod(this, &RunBridge::flushHits, Qt::QueuedConnection);
}

void RunBridge::progressCallback(const std::shared_ptr<TFileInfo>& info)
{
    m_examined.fetch_add(1);
    const std::lock_guard lock(m_handoverLock);
    m_latestPath = info->filePath().value_or(std::string());
}

void RunBridge::flushHits()
{
    std::vector<HitRecord> batch;
    {
        const std::lock_guard lock(m_handoverLock);
        batch.swap(m_pendingHits);
    }
    Q_EMIT hitsArrived(batch);
}

void RunBridge::tell()
{
    std::optional<std::string> path;
    {
        const std::lock_guard lock(m_handoverLock);
        path.swap(m_latestPath);
    }
    Q_EMIT progressed(path);
}

void RunBridge::searchEndCallback()
{
    const std::uint64_t generation = m_generation.load();
    RunSummary summary = m_engine->lastRunSummary();
    // Taken with the summary, before another run could replace them.
    std::shared_ptr<const LookAlikeResult> groups =
        summary.kind == RunSummary::Kind::Groups ? m_engine->lastGroups() : nullptr;
    // A refused start calls back on the UI thread itself: the window must have
    // taken the end before the command returns. A worker's end queues behind
    // its hits.
    if (QThread::currentThread() == thread())
        endOfRun(generation, std::move(summary), groups);
    else
        QMetaObject::invokeMethod(
            this, [this, generation, summary, groups] { endOfRun(generation, summary, groups); },
            Qt::QueuedConnection);
}

void RunBridge::endOfRun(std::uint64_t generation, RunSummary summary,
                         const std::shared_ptr<const LookAlikeResult>& groups)
{
    if (generation != m_generation.load())
        return; // the end of an earlier run, queued behind a newer start
    flushHits();
    m_progressTimer.stop();
    // What was counted here stands where the engine said less.
    summary.examined = std::max(summary.examined, m_examined.load());
    summary.hits = std::max(summary.hits, m_hitCount.load());
    Q_EMIT runEnded(summary, groups);
}

} // namespace ovrin::ui
