#include "engine/PictureWalk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace ovrin {

using platform::FileManager;
using platform::LoadFailure;

PictureWalk::PictureWalk(RunContext& run, Steps steps) : m_run(run), m_steps(std::move(steps)) {}

bool PictureWalk::run()
{
    const std::string top = m_run.settings().topDirPath.value_or(std::string());
    FolderWalk walk;
    walk.setExclusions(m_run.settings().exclusions);
    int error = 0;
    if (!walk.open(top, &error)) {
        m_run.fail("The folder " + top + " cannot be listed: " + std::strerror(error));
        return false;
    }
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
    if (walk.run(*this))
        pipeline.finish();
    m_pipeline = nullptr;
    m_run.summary().excluded += m_leftOut;
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
