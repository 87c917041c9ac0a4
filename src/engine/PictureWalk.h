#pragma once

#include "engine/DecodePipeline.h"
#include "engine/FolderWalk.h"
#include "engine/RunContext.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace ovrin {

// The pictures of a tree as the folder search and the index creation see
// them: every file the walk meets is announced with the progress callback, in
// walk order, and then completed by the run's own step; decoding runs ahead
// on the pipeline's threads. Special and empty files are never opened; what
// the run's exclusions leave out is only counted. Beside it, a walk of names
// alone counts the files ahead into the run's estimate, at the lowest priority.
class PictureWalk : private FolderWalk::Handler {
public:
    struct Steps {
        // Entries to pass over without a word.
        std::function<bool(const std::string& path, const platform::FileStatus& status)> passOver;
        // Before decoding: may settle the item (a reason to skip it, a
        // signature taken over), so it is not decoded.
        std::function<void(DecodePipeline::Item& item, const WalkFile& file)> prepare;
        // After its progress callback, for an item that gave a signature.
        std::function<void(DecodePipeline::Item& item)> complete;
    };

    PictureWalk(RunContext& run, Steps steps);
    // Walks the top folder; false when it cannot be listed (the run failed).
    bool run();

private:
    // Every walk of the run's tree opens here, so that the count meets the
    // files the run meets.
    bool openWalk(FolderWalk& walk, int* error) const;
    std::thread startCount(const std::atomic<bool>& done);
    bool proceed() override;
    bool passOver(const std::string& path, const platform::FileStatus& status) override;
    void file(const WalkFile& file) override;
    void skipped(const std::string& path, SkipReason reason, platform::LoadFailure detail) override;
    void leftOut(const std::string& path) override;

    RunContext& m_run;
    Steps m_steps;
    DecodePipeline* m_pipeline = nullptr;
    std::int64_t m_leftOut = 0; // counted here, so the summary is only touched after the walk
    std::int64_t m_walked = 0;  // files met
};

} // namespace ovrin
