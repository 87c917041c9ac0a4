#include "engine/TGraphicSearch.h"

#include "indexfile/TChunk.h"
#include "indexfile/TIndexReader.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ovrin {

using platform::FileHandle;
using platform::FileIdentity;
using platform::FileManager;
using platform::FileStatus;

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

void TGraphicSearch::loadSetting(const TSetting& setting)
{
    m_target->setFilePath(setting.targetFilePath());
    setTopDirPath(setting.topDirPath());
    setIndexFilePath(setting.indexFilePath());
    m_bits.store(setting.bits());
    m_matchRate.store(setting.matchRate());
    m_pixelNumber.store(setting.pixelNumber());
    m_searchMethod.store(setting.searchMethod());
}

void TGraphicSearch::saveSetting(TSetting& setting) const
{
    setting.setTargetFilePath(m_target->filePath());
    setting.setTopDirPath(topDirPath());
    setting.setIndexFilePath(indexFilePath());
    setting.setBits(m_bits.load());
    setting.setMatchRate(m_matchRate.load());
    setting.setSearchMethod(m_searchMethod.load());
}

void TGraphicSearch::setThreadStarter(ThreadStarter starter)
{
    m_threadStarter = starter ? std::move(starter) : ThreadStarter(startDetachedThread);
}

StartResult TGraphicSearch::refuse(Refusal why, std::string detail)
{
    if (m_context != nullptr)
        m_context->searchEndCallback();
    return {why, std::move(detail)};
}

RunSummary TGraphicSearch::lastRunSummary() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_summary;
}

StartResult TGraphicSearch::checkTarget(const std::string&)
{
    return {};
}

StartResult TGraphicSearch::checkTopFolder(const std::string&)
{
    return {};
}

StartResult TGraphicSearch::checkIndexSource(const std::string&)
{
    return {};
}

StartResult TGraphicSearch::checkIndexDestination(const std::string&)
{
    return {};
}

StartResult TGraphicSearch::beginSearch()
{
    if (m_work.load())
        return refuse(Refusal::Busy, {});
    if (!m_target->makeThumbnail(m_pixelNumber.load()))
        return refuse(Refusal::Busy, {});
    {
        const std::lock_guard guard(m_pathGuard);
        if (!m_topDirPath && !m_indexFilePath)
            return refuse(Refusal::Busy, {});
    }
    m_searchTargetPath = m_target->filePath();
    switch (m_searchMethod.load()) {
    case 0:
        return startWorker(&TGraphicSearch::searchDirectoryThread);
    case 1:
        return startWorker(&TGraphicSearch::searchIndexFileThread);
    default:
        // No worker fits; end the call as a refusal so the receiver still gets
        // its one end callback and the engine is left idle.
        return refuse(Refusal::Busy, {});
    }
}

StartResult TGraphicSearch::makeIndexFile()
{
    if (m_work.load())
        return refuse(Refusal::Busy, {});
    {
        const std::lock_guard guard(m_pathGuard);
        if (!m_topDirPath || m_topDirPath->empty())
            return refuse(Refusal::Busy, {});
    }
    return startWorker(&TGraphicSearch::makeIndexFileThread);
}

StartResult TGraphicSearch::startWorker(WorkerBody body)
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
        return refuse(Refusal::NoThread, {});
    }
    return {};
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

bool TGraphicSearch::walkFolder(const std::string& path, WalkState& walk, const EntryFilter& skip,
                                const FileVisitor& visit)
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
        if (skip && skip(fullPath, *status))
            continue;
        if (status->isDirectory) {
            if (walk.isAncestor(status->identity))
                continue; // a link back up the branch would walk forever
            walk.ancestors.push_back(status->identity);
            result = walkFolder(fullPath, walk, skip, visit);
            walk.ancestors.pop_back();
            continue;
        }
        visit(fullPath);
    }
    return result;
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
    return walkFolder(path, walk, {}, [this](const std::string& filePath) {
        // One file's record lives in this scope only, unless the receiver keeps it.
        const auto record = std::make_shared<TFileInfo>(filePath);
        if (m_context != nullptr)
            m_context->progressCallback(record);
        if (!record->makeThumbnail(m_pixelNumber.load()))
            return;
        if (m_target->isEqualThumbnail(m_bits.load(), m_matchRate.load(), *record) &&
            m_context != nullptr)
            m_context->hitItemCallback(record);
    });
}

bool TGraphicSearch::checkIndexFile(const std::string& path)
{
    if (FileManager::fileSize(path) < TChunk::kHeaderSize)
        return false;
    const auto handle = FileHandle::forReading(path);
    if (!handle)
        return false;
    std::uint8_t id[4];
    if (handle->read(id, 4) != 4 || TChunk::bigEndian32(id) != TChunk::kHeadID)
        return false;
    handle->seekToFileOffset(0);
    TChunk chunk;
    chunk.read(handle.get());
    m_pixelNumber.store(TChunkHead(chunk).pixelNumber());
    return true;
}

void TGraphicSearch::searchIndexFileThread()
{
    if (const std::optional<std::string> path = indexFilePath())
        searchIndexFileSub(*path);
}

void TGraphicSearch::searchIndexFileSub(const std::string& indexPath)
{
    TIndexReader reader(indexPath);
    if (!reader.isOpen())
        return;
    {
        const std::int32_t pixelNumber = reader.readHead();
        m_pixelNumber.store(pixelNumber);
        if (m_searchTargetPath) {
            TFileInfo rebuilt(*m_searchTargetPath);
            if (rebuilt.makeThumbnail(pixelNumber))
                m_target->setThumbnail(rebuilt.thumbnail());
        }
    }

    // Stored values are compared where they lie; a record is made only for a
    // hit, so a million entries do not mean millions of allocations.
    const std::vector<std::uint16_t> target = TFileInfo::storedWords(m_target->thumbnail());
    const auto targetCount = static_cast<std::int32_t>(target.size());
    std::vector<std::int16_t> values;
    TIndexReader::Entry entry;
    while (reader.next(entry, &m_continue)) {
        if (entry.stored.size() / 2 != target.size())
            continue;
        const auto rate = TFileInfo::compareStoredSignature(
            target.data(), entry.stored.data(), targetCount, m_bits.load(), m_matchRate.load());
        if (rate && m_context != nullptr) {
            TChunkThumb::decodeValues(entry.stored.data(), entry.stored.size(), values);
            const auto record = std::make_shared<TFileInfo>(std::string(entry.path));
            record->setThumbnail(values);
            record->setMatchRate(*rate);
            m_context->hitItemCallback(record);
        }
    }
}

namespace {

std::string describe(const std::string& what, const std::string& path, int error)
{
    return what + " " + path + ": " + std::strerror(error);
}

// The file a path finally names once symbolic links are followed, also when
// that file does not exist yet: replacing the index must replace that file,
// never the link.
std::string resolveLinks(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path current(path);
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(current, error); ++hops) {
        const fs::path next = fs::read_symlink(current, error);
        if (error)
            break;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

// Writes the index into a temporary file beside the destination and puts it in
// place only when every byte reached the disk, so a crash, a kill or a full
// disk leaves the old index (or none), never a mix of old and new.
class IndexTransaction {
public:
    explicit IndexTransaction(std::string indexPath)
        : m_indexPath(std::move(indexPath)), m_destination(resolveLinks(m_indexPath))
    {}
    ~IndexTransaction()
    {
        m_handle.reset();
        if (!m_tempPath.empty())
            ::unlink(m_tempPath.c_str());
        if (m_createdPlaceholder)
            ::unlink(m_destination.c_str());
    }
    IndexTransaction(const IndexTransaction&) = delete;
    IndexTransaction& operator=(const IndexTransaction&) = delete;

    bool begin()
    {
        // A new index is created at once, empty, so that the walk meets it and
        // skips it like an existing one.
        if (!FileManager::fileExists(m_indexPath)) {
            const int fd =
                ::open(m_destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0)
                return fail("Could not create the index file", errno);
            ::close(fd);
            m_createdPlaceholder = true;
        }
        struct stat existing {};
        if (::stat(m_destination.c_str(), &existing) != 0)
            return fail("Could not open the index file", errno);

        std::string pattern = m_destination + ".ovrin-XXXXXX";
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return fail("Could not write beside the index file", errno);
        m_tempPath = pattern;
        ::fchmod(fd, existing.st_mode & 07777);
        struct stat temp {};
        ::fstat(fd, &temp);
        m_tempIdentity = {static_cast<std::uint64_t>(temp.st_dev),
                          static_cast<std::uint64_t>(temp.st_ino)};
        ::close(fd);
        m_handle = FileHandle::forWriting(m_tempPath);
        if (!m_handle)
            return fail("Could not write beside the index file", errno);
        return true;
    }

    bool commit()
    {
        if (!m_handle->synchronize() || !m_handle->closeFile())
            return fail("Could not write the index file", m_handle->writeError());
        if (::rename(m_tempPath.c_str(), m_destination.c_str()) != 0)
            return fail("Could not replace the index file", errno);
        m_tempPath.clear();
        m_createdPlaceholder = false;
        const std::string folder = std::filesystem::path(m_destination).parent_path().string();
        const int dir =
            ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir); // the rename itself must survive a power loss
            ::close(dir);
        }
        return true;
    }

    bool isOwnFile(const std::string& path, const FileStatus& status) const
    {
        return status.identity == m_tempIdentity ||
               FileManager::isSamePathIgnoringCase(path, m_indexPath);
    }

    FileHandle& handle() { return *m_handle; }
    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& what, int error)
    {
        if (m_error.empty())
            m_error = describe(what, m_indexPath, error != 0 ? error : EIO);
        return false;
    }

    std::string m_indexPath;
    std::string m_destination;
    std::string m_tempPath;
    FileIdentity m_tempIdentity;
    std::unique_ptr<FileHandle> m_handle;
    bool m_createdPlaceholder = false;
    std::string m_error;
};

} // namespace

std::optional<std::string> TGraphicSearch::lastIndexError() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_lastIndexError;
}

void TGraphicSearch::setLastIndexError(std::optional<std::string> error)
{
    const std::lock_guard guard(m_pathGuard);
    m_lastIndexError = std::move(error);
}

void TGraphicSearch::makeIndexFileThread()
{
    // Taken once, so a drop on the window during the walk cannot make the head
    // and the thumbnails disagree or split the index over two files.
    const std::optional<std::string> top = topDirPath();
    const std::optional<std::string> indexPath = indexFilePath();
    const std::int32_t pixelNumber = m_pixelNumber.load();
    m_indexedImages.store(0);
    setLastIndexError(std::nullopt);

    if (!top)
        return;
    if (!indexPath || indexPath->empty()) {
        setLastIndexError(std::string("No index file was named."));
        return;
    }
    IndexTransaction transaction(*indexPath);
    if (!transaction.begin()) {
        setLastIndexError(transaction.error());
        return;
    }
    {
        TChunkHead head;
        head.setPixcelNumber(pixelNumber);
        head.write(&transaction.handle());
    }
    WalkState walk;
    if (const auto status = FileManager::fileStatus(*top))
        walk.ancestors.push_back(status->identity);
    const EntryFilter skip = [&transaction](const std::string& path, const FileStatus& status) {
        return transaction.isOwnFile(path, status);
    };
    makeIndexFileSub(*top, transaction.handle(), walk, skip, pixelNumber);

    if (!transaction.commit())
        setLastIndexError(transaction.error());
}

bool TGraphicSearch::makeIndexFileSub(const std::string& path, FileHandle& handle, WalkState& walk,
                                      const EntryFilter& skip, std::int32_t pixelNumber)
{
    return walkFolder(path, walk, skip, [&](const std::string& filePath) {
        const auto record = std::make_shared<TFileInfo>(filePath);
        if (m_context != nullptr)
            m_context->progressCallback(record);
        if (!record->makeThumbnail(pixelNumber))
            return;
        // Path and thumbnail always travel together, path first.
        TChunkPath pathChunk;
        pathChunk.setPath(record->filePath());
        pathChunk.write(&handle);
        TChunkThumb thumbChunk;
        thumbChunk.setThumbnail(record->thumbnail().data(), record->thumbnailCount());
        thumbChunk.write(&handle);
        m_indexedImages.fetch_add(1);
    });
}

} // namespace ovrin
