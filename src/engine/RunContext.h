#pragma once

#include "engine/Exclusions.h"
#include "engine/LookAlikeGroups.h"
#include "engine/RunSummary.h"
#include "engine/TGraphicSearchCallback.h"
#include "platform/fs/LoadFailure.h"
#include "settings/SearchParameters.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {

class TFileInfo;

// The engine's settings as a run took them at its start: a drop on the window
// during the run changes the engine's fields, never what the run uses.
struct RunSettings {
    std::optional<std::string> topDirPath;
    std::optional<std::string> indexFilePath;
    std::optional<std::string> targetPath;
    // A target that is no file, in place of targetPath (setTargetPicture).
    std::shared_ptr<const std::vector<std::uint8_t>> targetPicture;
    std::int32_t bits = search::kDefaultBits;
    std::int32_t matchRate = search::kDefaultMatchRate;
    std::int32_t pixelNumber = search::kDefaultPixelNumber;
    SearchMethod searchMethod = search::kDefaultMethod;
    int jobs = 0;
    bool rebuildIndex = false;
    // Searches: candidates are compared with the target turned and mirrored
    // too; groups: pairs match in any of the eight forms.
    bool anyOrientation = false;
    // Every kind of run: what the walk or the index reading leaves out.
    Exclusions exclusions;
    // Groups only.
    Similarity similarity = Similarity::Normal;
    KeepRule keep = KeepRule::Pixels;
    std::vector<std::string> preferred;
};

// The files a folder walk will meet, counted beside it by a walk of names
// alone: `counted` grows until `settled`, from then on the whole tree's.
struct FileEstimate {
    std::atomic<std::int64_t> counted{0};
    std::atomic<bool> settled{false};

    void reset()
    {
        counted.store(0);
        settled.store(false);
    }
};

// What one run reports through, and what it counts on the way.
class RunContext {
public:
    RunContext(TGraphicSearchCallback* receiver, std::atomic<bool>& proceed, RunSettings settings,
               RunSummary::Kind kind);

    const RunSettings& settings() const { return m_settings; }
    const std::atomic<bool>& proceedFlag() const { return m_proceed; }
    bool proceed() const { return m_proceed.load(); }
    RunSummary& summary() { return m_summary; }
    // Where the run's folder walk counts its files ahead; none without.
    FileEstimate* estimate() const { return m_estimate; }
    void setEstimate(FileEstimate* estimate) { m_estimate = estimate; }

    void progress(const std::string& path);
    void hit(const std::shared_ptr<TFileInfo>& record);
    void skipped(const std::string& path, SkipReason reason, platform::LoadFailure detail);
    void fail(std::string error);
    // Fails the run and ends it, as a stop would.
    void abort(std::string error);
    // Marks a run that ended because of a stop (a failure stays a failure).
    void endedByStop();

private:
    TGraphicSearchCallback* m_receiver;
    GraphicSearchDiagnostics* m_diagnostics;
    std::atomic<bool>& m_proceed;
    const RunSettings m_settings;
    RunSummary m_summary;
    FileEstimate* m_estimate = nullptr;
};

// The three kinds of run, each a body over its settings.
void runFolderSearch(RunContext& run, const TFileInfo& target);
void runIndexCreation(RunContext& run);
struct IndexSearchState {
    TFileInfo& target;                      // remade at the head's pixel number
    std::atomic<std::int32_t>& pixelNumber; // takes the head's
    std::atomic<std::int64_t>& readDone;
    std::atomic<std::int64_t>& readTotal;
};
void runIndexSearch(RunContext& run, IndexSearchState state);

// Makes the target's signature from its picture in memory when there is one,
// else from its path.
platform::LoadFailure loadTarget(TFileInfo& target, const std::vector<std::uint8_t>* picture,
                                 std::int32_t pixelNumber, const std::atomic<bool>* proceed);

// The look-alike groups of a collection and the signatures they refer to.
struct LookAlikeResult {
    SignatureTable table;
    // Empty, or one per table row: the other paths of the same file (links,
    // hard links, bind mounts), never members of their own.
    std::vector<std::vector<std::string>> aliases;
    std::vector<LookAlikeGroup> groups;
};
struct GroupsState {
    GroupingProgress& progress;
    std::function<void(std::shared_ptr<const LookAlikeResult>)> publish;
};
void runGroups(RunContext& run, GroupsState state);

} // namespace ovrin
