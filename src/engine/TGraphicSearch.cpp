#include "TGraphicSearch.h"

#include "FileManager.h"

#include <algorithm>
#include <system_error>

namespace ovrin {

using platform::FileIdentity;
using platform::FileManager;

// The folders of the current branch of the walk, top folder first. Links may
// lead back to an ancestor; such a folder is not entered again, while a folder
// reached under two unrelated paths is still walked under each.
struct TGraphicSearch::WalkState {
    std::vector<FileIdentity> ancestors;

    bool isAncestor(const FileIdentity& id) const
    {
        return std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
    }
};

namespace {

bool startDetachedThread(std::function<void()> body)
{
    try {
        std::thread(std::move(body)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

} // namespace

TGraphicSearch::TGraphicSearch(TGraphicSearchCallback* context)
    : m_context(context), m_target(std::make_unique<TFileInfo>()),
      m_threadStarter(startDetachedThread)
{}

TGraphicSearch::~TGraphicSearch() = default;

std::optional<std::string> TGraphicSearch::topDirPath() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_topDirPath;
}

void TGraphicSearch::setTopDirPath(std::optional<std::string> path)
{
    const std::lock_guard guard(m_pathGuard);
    m_topDirPath = std::move(path);
}

std::optional<std::string> TGraphicSearch::indexFilePath() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_indexFilePath;
}

void TGraphicSearch::setIndexFilePath(std::optional<std::string> path)
{
    const std::lock_guard guard(m_pathGuard);
    m_indexFilePath = std::move(path);
}

void TGraphicSearch::setThreadStarter(ThreadStarter starter)
{
    m_threadStarter = starter ? std::move(starter) : ThreadStarter(startDetachedThread);
}

bool TGraphicSearch::refuse()
{
    if (m_context != nullptr)
        m_context->searchEndCallback();
    return false;
}

bool TGraphicSearch::beginSearch()
{
    if (m_work.load())
        return refuse();
    if (!m_target->makeThumbnail(m_pixelNumber.load()))
        return refuse();
    {
        const std::lock_guard guard(m_pathGuard);
        if (!m_topDirPath && !m_indexFilePath)
            return refuse();
    }
    switch (m_searchMethod.load()) {
    case 0:
        return startWorker(&TGraphicSearch::searchDirectoryThread);
    case 1:
        return startWorker(&TGraphicSearch::searchIndexFileThread);
    default:
        // No worker fits; end the call as a refusal so the receiver still gets
        // its one end callback and the engine is left idle.
        return refuse();
    }
}

bool TGraphicSearch::makeIndexFile()
{
    if (m_work.load())
        return refuse();
    {
        const std::lock_guard guard(m_pathGuard);
        if (!m_topDirPath || m_topDirPath->empty())
            return refuse();
    }
    return startWorker(&TGraphicSearch::makeIndexFileThread);
}

bool TGraphicSearch::startWorker(WorkerBody body)
{
    m_work.store(true);
    m_continue.store(true);

    std::shared_ptr<TGraphicSearch> self = weak_from_this().lock();
    bool started = false;
    if (self) {
        started = m_threadStarter([self, body] { self->runWorker(body); });
    }
    if (!started) {
        m_work.store(false);
        m_work.notify_all();
        return refuse();
    }
    return true;
}

void TGraphicSearch::runWorker(WorkerBody body)
{
    m_workerThread.store(std::this_thread::get_id());
    (this->*body)();
    if (m_context != nullptr)
        m_context->searchEndCallback();
    m_workerThread.store(std::thread::id{});
    m_work.store(false);
    m_work.notify_all();
    // Nothing of the engine is touched past this point: a new run may start now.
}

void TGraphicSearch::stop()
{
    const std::lock_guard guard(m_lock);
    m_continue.store(false);
}

void TGraphicSearch::join()
{
    stop();
    // From inside a callback the worker would wait for itself forever.
    if (m_workerThread.load() == std::this_thread::get_id())
        return;
    while (m_work.load())
        m_work.wait(true);
}

void TGraphicSearch::searchDirectoryThread()
{
    const std::optional<std::string> top = topDirPath();
    if (!top)
        return;
    WalkState walk;
    if (const auto status = FileManager::fileStatus(*top))
        walk.ancestors.push_back(status->identity);
    searchDirectorySub(*top, walk);
}

bool TGraphicSearch::searchDirectorySub(const std::string& path, WalkState& walk)
{
    bool result = true;
    const auto listing = FileManager::directoryContents(path);
    if (!listing)
        return result;

    for (const std::string& name : *listing) {
        if (!m_continue.load())
            return false;
        const std::string fullPath = FileManager::appendPathComponent(path, name);
        const auto status = FileManager::fileStatus(fullPath);
        if (!status)
            continue; // vanished since the listing, or a dangling link

        if (status->isDirectory) {
            if (walk.isAncestor(status->identity))
                continue; // a link back up the branch would walk forever
            walk.ancestors.push_back(status->identity);
            result = searchDirectorySub(fullPath, walk);
            walk.ancestors.pop_back();
            continue;
        }

        // One file's record lives in this scope only, unless the receiver keeps it.
        const auto record = std::make_shared<TFileInfo>(fullPath);
        if (m_context != nullptr)
            m_context->progressCallback(record);
        if (!record->makeThumbnail(m_pixelNumber.load()))
            continue;
        if (m_target->isEqualThumbnail(m_bits.load(), m_matchRate.load(), *record) &&
            m_context != nullptr)
            m_context->hitItemCallback(record);
    }
    return result;
}

void TGraphicSearch::searchIndexFileThread()
{
    // The index search body arrives with the index file support.
}

void TGraphicSearch::makeIndexFileThread()
{
    // The index creation body arrives with the index file support.
}

} // namespace ovrin
