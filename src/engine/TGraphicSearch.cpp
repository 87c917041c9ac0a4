#include "engine/TGraphicSearch.h"

#include "indexfile/IndexReader.h"
#include "platform/fs/FileManager.h"
#include "platform/fs/SystemError.h"

#include <chrono>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ovrin {

using platform::FileManager;

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

// In a folder that lets only owners replace their files (/tmp, say), another
// user's index cannot be replaced; say so before the walk, not after it.
std::string stickyRefusal(const std::string& file, const std::string& shown)
{
    struct stat index {};
    struct stat folder {};
    const uid_t me = ::geteuid();
    if (me == 0 || ::stat(file.c_str(), &index) != 0 ||
        ::stat(FileManager::folderOf(file).c_str(), &folder) != 0 ||
        (folder.st_mode & S_ISVTX) == 0 || index.st_uid == me || folder.st_uid == me)
        return {};
    return shown + " belongs to another user in a folder where only owners may replace their "
                   "files; name another file.";
}

bool isUsablePixelNumber(std::int32_t number)
{
    return number >= 1 && number <= TFileInfo::kMaxPixelNumber;
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

void TGraphicSearch::setTargetPicture(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                      std::string name)
{
    const std::lock_guard guard(m_pathGuard);
    m_targetPicture = std::move(bytes);
    m_targetPictureName = m_targetPicture ? std::move(name) : std::string();
}

bool TGraphicSearch::holdsTargetPicture() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_targetPicture != nullptr;
}

std::shared_ptr<const std::vector<std::uint8_t>> TGraphicSearch::targetPicture() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_targetPicture;
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
    m_anyOrientation.store(setting.anyOrientation());
}

void TGraphicSearch::saveSetting(TSetting& setting) const
{
    setting.setTargetFilePath(holdsTargetPicture() ? std::string() : m_target->filePath());
    setting.setTopDirPath(topDirPath());
    setting.setIndexFilePath(indexFilePath());
    setting.setBits(m_bits.load());
    setting.setMatchRate(m_matchRate.load());
    setting.setSearchMethod(m_searchMethod.load());
    setting.setAnyOrientation(m_anyOrientation.load());
}

void TGraphicSearch::setThreadStarter(ThreadStarter starter)
{
    m_threadStarter = starter ? std::move(starter) : ThreadStarter(startDetachedThread);
}

RunSummary TGraphicSearch::lastRunSummary() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_summary;
}

StartResult TGraphicSearch::refuse(Refusal why, std::string detail)
{
    if (m_context != nullptr)
        m_context->searchEndCallback();
    return {why, std::move(detail)};
}

void TGraphicSearch::setPreferredFolders(std::vector<std::string> folders)
{
    const std::lock_guard guard(m_pathGuard);
    m_preferred = std::move(folders);
}

std::vector<std::string> TGraphicSearch::preferredFolders() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_preferred;
}

void TGraphicSearch::setExclusions(Exclusions exclusions)
{
    const std::lock_guard guard(m_pathGuard);
    m_exclusions = std::move(exclusions);
}

Exclusions TGraphicSearch::exclusions() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_exclusions;
}

RunSettings TGraphicSearch::snapshot() const
{
    RunSettings settings;
    {
        const std::lock_guard guard(m_pathGuard);
        settings.topDirPath = m_topDirPath;
        settings.indexFilePath = m_indexFilePath;
        settings.preferred = m_preferred;
        settings.exclusions = m_exclusions;
        settings.targetPicture = m_targetPicture;
    }
    settings.similarity = m_similarity.load();
    settings.keep = m_keep.load();
    settings.targetPath = m_target->filePath();
    settings.bits = m_bits.load();
    settings.matchRate = m_matchRate.load();
    settings.pixelNumber = m_pixelNumber.load();
    settings.searchMethod = m_searchMethod.load();
    settings.jobs = m_jobs.load();
    settings.rebuildIndex = m_rebuildIndex.load();
    settings.anyOrientation = m_anyOrientation.load();
    return settings;
}

StartResult TGraphicSearch::beginSearch()
{
    return startSearch(nullptr);
}

StartResult TGraphicSearch::beginSearch(std::vector<std::int16_t> preparedSignature,
                                        std::optional<FineSignature> preparedFine)
{
    return startSearch(&preparedSignature, preparedFine);
}

StartResult TGraphicSearch::startSearch(std::vector<std::int16_t>* prepared,
                                        std::optional<FineSignature> preparedFine)
{
    if (m_work.load())
        return refuse(Refusal::Busy, "A search or an index creation is running.");
    const std::int32_t pixelNumber = m_pixelNumber.load();
    if (!isUsablePixelNumber(pixelNumber))
        return refuse(Refusal::PixelNumberUnusable,
                      "The pixel number " + std::to_string(pixelNumber) + " cannot be used.");
    // A stop from here on also ends the decoding of the target, which can be
    // long for a hostile picture.
    m_continue.store(true);
    const auto count =
        static_cast<std::size_t>(pixelNumber) * static_cast<std::size_t>(pixelNumber);
    if (prepared != nullptr && prepared->size() == count) {
        m_target->setThumbnail(std::move(*prepared));
        m_target->setFine(preparedFine);
        m_target->setLuminance({}); // of the last target decoded here, if any
    } else {
        std::shared_ptr<const std::vector<std::uint8_t>> picture;
        std::string name;
        {
            const std::lock_guard guard(m_pathGuard);
            picture = m_targetPicture;
            name = picture ? m_targetPictureName : m_target->filePath().value_or(std::string());
        }
        if (const auto failure = loadTarget(*m_target, picture.get(), pixelNumber, &m_continue);
            failure != platform::LoadFailure::None)
            return refuse(Refusal::TargetUnreadable,
                          name + ": " + platform::describeLoadFailure(failure));
    }
    if (!topDirPath() && !indexFilePath())
        return refuse(Refusal::NoPaths, "Neither a folder nor an index file was named.");
    switch (m_searchMethod.load()) {
    case SearchMethod::Directory:
        if (StartResult folder = checkTopFolder(topDirPath().value_or(std::string())); !folder)
            return refuse(folder.code, std::move(folder.sentence));
        return startWorker(RunSummary::Kind::FolderSearch,
                           [this](RunContext& run) { runFolderSearch(run, *m_target); });
    case SearchMethod::IndexFile:
        return startWorker(RunSummary::Kind::IndexSearch, [this](RunContext& run) {
            runIndexSearch(run, {*m_target, m_pixelNumber, m_readDone, m_readTotal});
        });
    default:
        // No worker fits; end the call as a refusal so the receiver still gets
        // its one end callback and the engine is left idle.
        return refuse(Refusal::UnknownSearchMethod, "Unknown search method.");
    }
}

StartResult TGraphicSearch::makeIndexFile()
{
    if (m_work.load())
        return refuse(Refusal::Busy, "A search or an index creation is running.");
    const std::optional<std::string> top = topDirPath();
    if (!top || top->empty())
        return refuse(Refusal::NoTopFolder, "No folder was named.");
    if (StartResult folder = checkTopFolder(*top); !folder)
        return refuse(folder.code, std::move(folder.sentence));
    if (StartResult index = checkIndexDestination(indexFilePath().value_or(std::string())); !index)
        return refuse(index.code, std::move(index.sentence));
    if (!isUsablePixelNumber(m_pixelNumber.load()))
        return refuse(Refusal::PixelNumberUnusable, "The pixel number " +
                                                        std::to_string(m_pixelNumber.load()) +
                                                        " cannot be used.");
    return startWorker(RunSummary::Kind::IndexCreation, runIndexCreation);
}

StartResult TGraphicSearch::beginGroups()
{
    RunSettings settings = snapshot();
    return beginGroups(GroupsRequest{settings.searchMethod, std::move(settings.topDirPath),
                                     std::move(settings.indexFilePath), settings.bits,
                                     settings.matchRate, settings.similarity, settings.keep,
                                     std::move(settings.preferred), settings.anyOrientation});
}

StartResult TGraphicSearch::beginGroups(const GroupsRequest& request)
{
    if (m_work.load())
        return refuse(Refusal::Busy, "A search or an index creation is running.");
    StartResult source;
    switch (request.method) {
    case SearchMethod::Directory:
        if (!isUsablePixelNumber(m_pixelNumber.load()))
            return refuse(Refusal::PixelNumberUnusable, "The pixel number " +
                                                            std::to_string(m_pixelNumber.load()) +
                                                            " cannot be used.");
        source = checkTopFolder(request.folder.value_or(std::string()));
        break;
    case SearchMethod::IndexFile:
        source = checkIndexSource(request.index.value_or(std::string()));
        break;
    default:
        return refuse(Refusal::UnknownSearchMethod, "Unknown search method.");
    }
    if (!source)
        return refuse(source.code, std::move(source.sentence));
    {
        const std::lock_guard guard(m_pathGuard);
        m_groups.reset();
    }
    for (auto* counter : {&m_grouping.pairsCompared, &m_grouping.pairsPruned,
                          &m_grouping.pairsTotal, &m_grouping.groups, &m_grouping.entriesRead})
        counter->store(0);
    m_grouping.phase.store(request.method == SearchMethod::IndexFile ? GroupingPhase::Reading
                                                                     : GroupingPhase::Decoding);
    RunSettings settings = snapshot();
    settings.searchMethod = request.method;
    settings.topDirPath = request.folder;
    settings.indexFilePath = request.index;
    settings.bits = request.bits;
    settings.matchRate = request.matchRate;
    settings.similarity = request.similarity;
    settings.keep = request.keep;
    settings.preferred = request.preferred;
    settings.anyOrientation = request.anyOrientation;
    return startWorker(
        RunSummary::Kind::Groups,
        [this](RunContext& run) {
            runGroups(run, {m_grouping, [this](std::shared_ptr<const LookAlikeResult> result) {
                                const std::lock_guard guard(m_pathGuard);
                                m_groups = std::move(result);
                            }});
        },
        std::move(settings));
}

std::shared_ptr<const LookAlikeResult> TGraphicSearch::lastGroups() const
{
    const std::lock_guard guard(m_pathGuard);
    return m_groups;
}

StartResult TGraphicSearch::startWorker(RunSummary::Kind kind, Body body)
{
    return startWorker(kind, std::move(body), snapshot());
}

StartResult TGraphicSearch::startWorker(RunSummary::Kind kind, Body body, RunSettings settings)
{
    m_work.store(true);
    m_continue.store(true);
    m_readDone.store(0);
    m_readTotal.store(0);
    m_estimate.reset();

    std::shared_ptr<TGraphicSearch> self = weak_from_this().lock();
    auto run = [self, kind, body = std::move(body), settings = std::move(settings)]() mutable {
        self->m_workerThread.store(std::this_thread::get_id());
        const auto start = std::chrono::steady_clock::now();
        RunContext context(self->m_context, self->m_continue, std::move(settings), kind);
        context.setEstimate(&self->m_estimate);
        try {
            body(context);
        } catch (const std::bad_alloc&) {
            context.abort("Out of memory.");
        }
        context.summary().seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        {
            const std::lock_guard guard(self->m_pathGuard);
            self->m_summary = context.summary();
        }
        if (self->m_context != nullptr)
            self->m_context->searchEndCallback();
        self->m_workerThread.store(std::thread::id{});
        self->m_work.store(false);
        self->m_work.notify_all();
        // Nothing of the engine is touched past this point: a new run may start now.
    };
    if (!self || !m_threadStarter(std::move(run))) {
        m_work.store(false);
        m_work.notify_all();
        return refuse(Refusal::NoThread,
                      "No thread could be started for the run: " + platform::systemMessage(EAGAIN));
    }
    return {};
}

void TGraphicSearch::stop()
{
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

bool TGraphicSearch::checkIndexFile(const std::string& path)
{
    IndexReader reader(path);
    if (!reader.isIndexFile())
        return false;
    m_pixelNumber.store(reader.readHead());
    return true;
}

StartResult TGraphicSearch::checkTopFolder(const std::string& path)
{
    if (path.empty())
        return {Refusal::NoTopFolder, "No folder was named."};
    int error = 0;
    const platform::Descriptor folder(FileManager::openFolder(path, &error));
    if (folder.isOpen() && FileManager::listFolder(folder.get(), &error))
        return {};
    if (error == ENOENT)
        return {Refusal::TopFolderUnusable, "The folder " + path + " does not exist."};
    if (error == ENOTDIR)
        return {Refusal::TopFolderUnusable, path + " is not a folder."};
    return {Refusal::TopFolderUnusable,
            "The folder " + path + " cannot be listed: " + platform::systemMessage(error)};
}

StartResult TGraphicSearch::checkIndexSource(const std::string& path)
{
    if (path.empty())
        return {Refusal::NoIndexFile, "No index file was named."};
    IndexReader reader(path);
    if (!reader.isOpen()) {
        const auto status = FileManager::fileStatus(path);
        return {Refusal::IndexFileUnusable,
                path + ": " +
                    (status && status->isDirectory
                         ? "a folder, not an index file"
                         : platform::describeLoadFailure(reader.openFailure()))};
    }
    if (!reader.isIndexFile())
        return {Refusal::IndexFileUnusable, path + ": not an index file"};
    const std::int32_t pixelNumber = reader.readHead();
    if (!isUsablePixelNumber(pixelNumber))
        return {Refusal::IndexFileUnusable, path + ": the index is damaged (its pixel number " +
                                                std::to_string(pixelNumber) + " cannot be used)"};
    return {};
}

namespace {

// What may be written at a path, and over what. An index replaces only an
// index (or an empty file); an export replaces anything but a picture or an
// index, which a slip in a file panel must never cost.
enum class Destination { Index, Export };

StartResult checkDestination(const std::string& path, Destination kind)
{
    const bool index = kind == Destination::Index;
    const Refusal refusal = index ? Refusal::IndexFileUnusable : Refusal::ExportUnusable;
    const std::string what = index ? "the index" : "the export";
    if (path.empty())
        return {index ? Refusal::NoIndexFile : refusal,
                index ? "No index file was named." : "No file was named."};
    if (path.back() == '/')
        return {refusal, path + " names a folder; name a file for " + what + "."};
    const std::string file = FileManager::resolveLinks(path);
    const auto refuse = [refusal](std::string detail) {
        return StartResult{refusal, std::move(detail)};
    };
    int error = 0;
    bool exists = false;
    if (const auto status = FileManager::fileStatus(file, &error)) {
        if (status->isDirectory)
            return refuse(path + " is a folder; name a file for " + what + ".");
        if (!status->isRegularFile)
            return refuse(path + " is a device, FIFO or socket" +
                          (index ? ", not an index file" : "") + "; it is never replaced.");
        if (status->size > 0) {
            IndexReader reader(file);
            if (!reader.isOpen())
                return refuse(path + " cannot be read (" +
                              platform::describeLoadFailure(reader.openFailure()) +
                              (index ? "), so it cannot be told to be an index file"
                                     : "), so it cannot be told not to be a picture") +
                              "; it is not replaced.");
            if (index && !reader.isIndexFile())
                return refuse(path + " is not an index file; only index files are replaced.");
            if (!index && reader.isIndexFile())
                return refuse(path + " is an index file; an export never replaces it.");
            if (!index && TFileInfo::checkGraphicFile(file))
                return refuse(path + " is a picture; an export never replaces it.");
        }
        exists = true;
    } else if (error != ENOENT) {
        return refuse(path + " cannot be reached: " + platform::systemMessage(error));
    }
    // The folder comes first: where no file can be made, no advice about the
    // index itself would help.
    const std::string folder = FileManager::folderOf(file);
    const std::string cannot = (index ? "Cannot write the index file " : "Cannot write ") + path;
    const auto folderStatus = FileManager::fileStatus(folder, &error);
    if (!folderStatus || !folderStatus->isDirectory)
        return refuse(cannot + ": the folder " + folder + " does not exist.");
    if (const int refused = FileManager::mayMakeFilesIn(folder); refused != 0)
        return refuse(refused == EROFS
                          ? path + " lies on a file system mounted read-only; name " +
                                (index ? "an index file" : "a file") + " elsewhere."
                          : cannot + ": no new file can be made in " + folder + " (" +
                                platform::systemMessage(refused) + "). Choose another place for " +
                                what + ", or make the folder writable.");
    if (!exists)
        return {};
    const std::string another = index ? "index file" : "file";
    switch (FileManager::writeRight(file, &error)) {
    case FileManager::WriteRight::Writable:
        break;
    case FileManager::WriteRight::ReadOnly:
        return refuse(path +
                      " is read-only: make it writable (for example chmod u+w) to replace "
                      "it, or name another " +
                      another + ".");
    case FileManager::WriteRight::OtherUsersFile:
        return refuse(path + " belongs to another user and is not writable for you: name another " +
                      another + ", or ask its owner to make it writable.");
    case FileManager::WriteRight::ReadOnlyMount:
        return refuse(path + " lies on a file system mounted read-only; name " +
                      (index ? "an index file" : "a file") + " elsewhere.");
    case FileManager::WriteRight::Unknown:
        return refuse(path + " cannot be reached: " + platform::systemMessage(error));
    }
    if (const std::string reason = stickyRefusal(file, path); !reason.empty())
        return refuse(reason);
    return {};
}

} // namespace

StartResult TGraphicSearch::checkIndexDestination(const std::string& path)
{
    return checkDestination(path, Destination::Index);
}

StartResult TGraphicSearch::checkExportDestination(const std::string& path)
{
    return checkDestination(path, Destination::Export);
}

} // namespace ovrin
