#pragma once

#include "engine/RunContext.h"
#include "engine/RunSummary.h"
#include "engine/TGraphicSearchCallback.h"
#include "settings/TSetting.h"
#include "signature/TFileInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ovrin {

// The search engine: holds the search settings and runs one search or one index
// creation at a time on a detached worker thread that keeps the engine alive
// until it has ended. Must be owned by a std::shared_ptr (make_shared); an
// engine that is not cannot start a worker and refuses every start.
class TGraphicSearch : public std::enable_shared_from_this<TGraphicSearch> {
public:
    // Runs a worker body on a new detached thread; false when no thread could be
    // started. Replaceable so that tests can make thread creation fail.
    using ThreadStarter = std::function<bool(std::function<void()> body)>;

    explicit TGraphicSearch(TGraphicSearchCallback* context);
    ~TGraphicSearch();
    TGraphicSearch(const TGraphicSearch&) = delete;
    TGraphicSearch& operator=(const TGraphicSearch&) = delete;

    // The engine's own target; callers set its path through it. Lives as long
    // as the engine.
    TFileInfo& target() { return *m_target; }
    const TFileInfo& target() const { return *m_target; }
    // A target that is no file (a picture on standard input, a pasted one):
    // its encoded bytes, decoded as a file's would be, and the name messages
    // give it. While one is held the target's path is not looked at and the
    // settings keep no target; an empty pointer lets go of it.
    void setTargetPicture(std::shared_ptr<const std::vector<std::uint8_t>> bytes, std::string name);
    bool holdsTargetPicture() const;
    std::shared_ptr<const std::vector<std::uint8_t>> targetPicture() const;

    std::optional<std::string> topDirPath() const;
    void setTopDirPath(std::optional<std::string> path);
    std::optional<std::string> indexFilePath() const;
    void setIndexFilePath(std::optional<std::string> path);

    std::int32_t bits() const { return m_bits.load(); }
    void setBits(std::int32_t bits) { m_bits.store(bits); }
    std::int32_t matchRate() const { return m_matchRate.load(); }
    void setMatchRate(std::int32_t rate) { m_matchRate.store(rate); }
    std::int32_t pixelNumber() const { return m_pixelNumber.load(); }
    void setPixelNumber(std::int32_t number) { m_pixelNumber.store(number); }
    // beginSearch and beginGroups refuse a method of neither kind.
    SearchMethod searchMethod() const { return m_searchMethod.load(); }
    void setSearchMethod(SearchMethod method) { m_searchMethod.store(method); }

    // Decoding threads of a folder search or an index creation; 0 (the
    // default) takes one per hardware thread. What a receiver or an index file
    // sees is the same for any number.
    void setJobs(int jobs) { m_jobs.store(jobs < 0 ? 0 : jobs); }
    int jobs() const { return m_jobs.load(); }
    // Index creation decodes every picture again instead of reusing the
    // signatures of unchanged pictures in the index it replaces.
    void setRebuildIndex(bool rebuild) { m_rebuildIndex.store(rebuild); }
    bool rebuildIndex() const { return m_rebuildIndex.load(); }
    // Searches also find copies turned by quarter turns or mirrored.
    void setAnyOrientation(bool any) { m_anyOrientation.store(any); }
    bool anyOrientation() const { return m_anyOrientation.load(); }

    // How a grouping confirms its members and which copy leads each group.
    void setSimilarity(Similarity similarity) { m_similarity.store(similarity); }
    Similarity similarity() const { return m_similarity.load(); }
    void setKeepRule(KeepRule rule) { m_keep.store(rule); }
    KeepRule keepRule() const { return m_keep.load(); }
    void setPreferredFolders(std::vector<std::string> folders);
    std::vector<std::string> preferredFolders() const;
    // Left out of every kind of run; a target in an excluded folder is still
    // the target.
    void setExclusions(Exclusions exclusions);
    Exclusions exclusions() const;

    // Copies a settings record into the engine, and the engine's values back
    // into one: all but the pixel number, which an index head may have changed
    // for this run only. A path the engine does not hold leaves the record's.
    void loadSetting(const TSetting& setting);
    void saveSetting(TSetting& setting) const;

    bool isWorking() const { return m_work.load(); }
    // Starts a folder search (method 0) or an index search (method 1). A
    // refused start says why and has already sent its one end callback.
    StartResult beginSearch();
    // The same with the target's signature made beforehand at the engine's
    // pixel number (off the caller's thread, where a decode may be long), and
    // the fingerprint made with it: they are taken instead of decoding the
    // target again. A signature of another size is set aside and the target
    // decoded as above.
    StartResult beginSearch(std::vector<std::int16_t> preparedSignature,
                            std::optional<FineSignature> preparedFine = std::nullopt);
    StartResult makeIndexFile();
    // Finds the look-alike groups of the tree at the top folder (method 0,
    // every picture decoded into memory) or of the index file (method 1).
    StartResult beginGroups();
    // The same on the request's folder or index file and values instead of
    // the engine's, which it leaves untouched.
    StartResult beginGroups(const GroupsRequest& request);
    void stop();
    // Stops and waits until the worker has returned from its end callback.
    void join();

    // Tells whether the file at path is an index file; on yes the pixel number
    // is now the one of its head.
    bool checkIndexFile(const std::string& path);

    // The tests a start makes, on their own, for the dialogs and the command
    // line: a folder to walk; an index file to search (is it one, and can a
    // search use its pixel number); a path an index creation may write
    // (nothing there, an empty file or an index file, and a folder that takes
    // a new file); a path an export of hits or groups may write (the same,
    // but over anything except a picture or an index). A target picture's
    // reason is TFileInfo::diagnoseGraphicFile.
    static StartResult checkTopFolder(const std::string& path);
    static StartResult checkIndexSource(const std::string& path);
    static StartResult checkIndexDestination(const std::string& path);
    static StartResult checkExportDestination(const std::string& path);

    // What the last run did; complete once its end callback has been sent.
    RunSummary lastRunSummary() const;
    // How far an index search has read its file: bytes done and in all.
    struct ReadProgress {
        std::int64_t done = 0;
        std::int64_t total = 0;
    };
    ReadProgress indexReadProgress() const { return {m_readDone.load(), m_readTotal.load()}; }
    // How many files the running folder walk (a folder search, an index
    // creation, a grouping of a folder) meets in all, as a count of names
    // beside it has come: a lower bound until settled.
    struct Estimate {
        std::int64_t files = 0;
        bool settled = false;
    };
    Estimate fileEstimate() const { return {m_estimate.counted.load(), m_estimate.settled.load()}; }
    // The groups of the last finished grouping (none before one, or when it
    // was stopped), and how far a running one is.
    std::shared_ptr<const LookAlikeResult> lastGroups() const;
    const GroupingProgress& groupingProgress() const { return m_grouping; }

    void setThreadStarter(ThreadStarter starter);

private:
    using Body = std::function<void(RunContext&)>;

    StartResult refuse(Refusal why, std::string detail);
    StartResult startSearch(std::vector<std::int16_t>* prepared,
                            std::optional<FineSignature> preparedFine = std::nullopt);
    StartResult startWorker(RunSummary::Kind kind, Body body);
    StartResult startWorker(RunSummary::Kind kind, Body body, RunSettings settings);
    RunSettings snapshot() const;

    TGraphicSearchCallback* const m_context;
    const std::unique_ptr<TFileInfo> m_target;
    // Paths are replaced whole under this guard, so a drop on the window during
    // a run never tears a value the worker is copying.
    mutable std::mutex m_pathGuard;
    std::optional<std::string> m_topDirPath;
    std::optional<std::string> m_indexFilePath;
    std::shared_ptr<const std::vector<std::uint8_t>> m_targetPicture;
    std::string m_targetPictureName;
    std::atomic<std::int32_t> m_bits{search::kDefaultBits};
    std::atomic<std::int32_t> m_matchRate{search::kDefaultMatchRate};
    std::atomic<std::int32_t> m_pixelNumber{search::kDefaultPixelNumber};
    std::atomic<bool> m_work{false};
    std::atomic<bool> m_continue{true};
    std::atomic<SearchMethod> m_searchMethod{search::kDefaultMethod};
    std::atomic<int> m_jobs{0};
    std::atomic<bool> m_rebuildIndex{false};
    std::atomic<bool> m_anyOrientation{false};
    std::atomic<Similarity> m_similarity{Similarity::Normal};
    std::atomic<KeepRule> m_keep{KeepRule::Pixels};
    std::vector<std::string> m_preferred; // under m_pathGuard
    Exclusions m_exclusions;              // under m_pathGuard
    std::atomic<std::thread::id> m_workerThread{};
    std::atomic<std::int64_t> m_readDone{0};
    std::atomic<std::int64_t> m_readTotal{0};
    FileEstimate m_estimate;
    RunSummary m_summary;                            // under m_pathGuard
    std::shared_ptr<const LookAlikeResult> m_groups; // under m_pathGuard
    GroupingProgress m_grouping;
    ThreadStarter m_threadStarter;
};

} // namespace ovrin
