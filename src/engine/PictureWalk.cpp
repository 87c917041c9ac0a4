#include "engine/PictureWalk.h"

#include "platform/fs/SystemError.h"

#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace ovrin {

using platform::FileManager;
using platform::LoadFailure;

PictureWalk::PictureWalk(RunContext& run, Steps steps) : m_run(run), m_steps(std::move(steps)) {}

namespace {

// The same walk by names alone, for the estimate of a run's files: it meets
// what the picture walk meets, by the same rules, and opens nothing but
// folders. It ends with the run, or when the picture walk is through.
class FileCount : public FolderWalk::Handler {
public:
    FileCount(const RunContext& run, const std::atomic<bool>& done, FileEstimate& estimate,
              std::function<bool(const std::string&, const platform::FileStatus&)> passOver)
        : m_run(run), m_done(done), m_estimate(estimate), m_passOver(std::move(passOver))
    {}

    bool proceed() override { return m_run.proceed() && !m_done.load(std::memory_order_relaxed); }
    bool passOver(const std::string& path, const platform::FileStatus& status) override
    {
        return m_passOver(path, status);
    }
    void file(const WalkFile&) override
    {
        m_estimate.counted.fetch_add(1, std::memory_order_relaxed);
    }
    void skipped(const std::string&, SkipReason, LoadFailure) override {}

private:
    const RunContext& m_run;
    const std::atomic<bool>& m_done;
    FileEstimate& m_estimate;
    std::function<bool(const std::string&, const platform::FileStatus&)> m_passOver;
};

} // namespace

bool PictureWalk::openWalk(FolderWalk& walk, int* error) const
{
    return walk.open(m_run.settings().topDirPath.value_or(std::string()), error);
}

std::thread PictureWalk::startCount(const std::atomic<bool>& done)
{
    FileEstimate* estimate = m_run.estimate();
    if (estimate == nullptr)
        return {};
    const auto count = [this, &done, estimate] {
        // Behind the decoding threads: the count only tells how far the run is.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        FolderWalk walk;
        walk.setExclusions(m_run.settings().exclusions);
        int error = 0;
        if (!openWalk(walk, &error))
            return;
        FileCount handler(m_run, done, *estimate,
                          [this](const std::string& path, const platform::FileStatus& status) {
                              return passOver(path, status);
                          });
        if (walk.run(handler))
            estimate->settled.store(true);
    };
    try {
        return std::thread(count);
    } catch (const std::system_error&) {
        return {}; // the run goes on without an estimate
    }
}

bool PictureWalk::run()
{
    const std::string top = m_run.settings().topDirPath.value_or(std::string());
    FolderWalk walk;
    walk.setExclusions(m_run.settings().exclusions);
    int error = 0;
    if (!openWalk(walk, &error)) {
        m_run.fail("The folder " + top + " cannot be listed: " + platform::systemMessage(error));
        return false;
    }
    std::atomic<bool> walked{false};
    std::thread count = startCount(walked);
    // Ends the count however the walk ends, a throw included.
    struct CountEnd {
        std::atomic<bool>& walked;
        std::thread& count;
        CountEnd(std::atomic<bool>& w, std::thread& c) : walked(w), count(c) {}
        CountEnd(const CountEnd&) = delete;
        CountEnd& operator=(const CountEnd&) = delete;
        ~CountEnd()
        {
            walked.store(true);
            if (count.joinable())
                count.join();
        }
    };
    std::optional<CountEnd> countEnd;
    countEnd.emplace(walked, count);
    DecodePipeline pipeline(
        m_run.settings().jobs, m_run.settings().pixelNumber, m_run.proceedFlag(),
        [this](DecodePipeline::Item& item) {
            if (item.announce)
                m_run.progress(item.path);
        },
        [this](DecodePipeline::Item& item) {
            if (item.failure == LoadFailure::OutOfMemory)
                m_run.abort("Out of memory while decoding " + item.path + ".");
            else if (item.skip)
                m_run.skipped(item.path, *item.skip, item.failure);
            else if (m_steps.complete)
                m_steps.complete(item);
        });
    m_pipeline = &pipeline;
    if (walk.run(*this)) {
        // The walk through knows the total itself, while its files decode.
        countEnd.reset();
        if (FileEstimate* estimate = m_run.estimate()) {
            estimate->counted.store(m_walked);
            estimate->settled.store(true);
        }
        pipeline.finish();
    }
    countEnd.reset();
    m_pipeline = nullptr;
    m_run.summary().excluded += m_leftOut;
    if (const FileEstimate* estimate = m_run.estimate()) {
        m_run.summary().estimated = estimate->counted.load();
        m_run.summary().estimateSettled = estimate->settled.load();
    }
    if (!m_run.proceed())
        m_run.endedByStop();
    return true;
}

bool PictureWalk::proceed()
{
    return m_run.proceed();
}

bool PictureWalk::passOver(const std::string& path, const platform::FileStatus& status)
{
    return m_steps.passOver && m_steps.passOver(path, status);
}

void PictureWalk::file(const WalkFile& file)
{
    ++m_walked;
    DecodePipeline::Item item;
    item.path = file.path;
    item.status = file.status;
    if (!file.status.isRegularFile) {
        item.failure = LoadFailure::NotRegularFile;
    } else if (file.status.size == 0) {
        item.failure = LoadFailure::EmptyFile;
    } else if (m_steps.prepare) {
        m_steps.prepare(item, file);
    }
    if (item.failure == LoadFailure::None && !item.skip && item.stored.empty()) {
        item.file.reset(
            FileManager::openRegularFileAt(file.folderFd, file.name, O_RDONLY, &item.failure));
        item.decode = item.file.isOpen();
    }
    if (item.failure != LoadFailure::None && !item.skip)
        item.skip = skipReasonFor(item.failure);
    m_pipeline->submit(std::move(item));
}

void PictureWalk::leftOut(const std::string&)
{
    ++m_leftOut;
}

void PictureWalk::skipped(const std::string& path, SkipReason reason, LoadFailure detail)
{
    // Through the pipeline, so it is told in walk order among the files.
    DecodePipeline::Item item;
    item.path = path;
    item.announce = false;
    item.skip = reason;
    item.failure = detail;
    m_pipeline->submit(std::move(item));
}

} // namespace ovrin
