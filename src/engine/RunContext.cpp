#include "engine/RunContext.h"

#include "platform/fs/FileManager.h"
#include "signature/TFileInfo.h"

namespace ovrin {

RunContext::RunContext(TGraphicSearchCallback* receiver, std::atomic<bool>& proceed,
                       RunSettings settings, RunSummary::Kind kind)
    : m_receiver(receiver), m_diagnostics(dynamic_cast<GraphicSearchDiagnostics*>(receiver)),
      m_proceed(proceed), m_settings(std::move(settings))
{
    m_summary.kind = kind;
}

void RunContext::progress(const std::string& path)
{
    ++m_summary.examined;
    if (m_receiver != nullptr)
        m_receiver->progressCallback(std::make_shared<TFileInfo>(path));
}

void RunContext::hit(const std::shared_ptr<TFileInfo>& record)
{
    ++m_summary.hits;
    if (m_receiver != nullptr)
        m_receiver->hitItemCallback(record);
}

void RunContext::skipped(const std::string& path, SkipReason reason, platform::LoadFailure detail)
{
    ++m_summary.skipped[static_cast<std::size_t>(reason)];
    if (m_diagnostics != nullptr)
        m_diagnostics->skippedCallback(path, reason, detail);
}

void RunContext::fail(std::string error)
{
    m_summary.outcome = RunSummary::Outcome::Failed;
    if (m_summary.error.empty())
        m_summary.error = std::move(error);
}

void RunContext::abort(std::string error)
{
    fail(std::move(error));
    m_proceed.store(false);
}

void RunContext::endedByStop()
{
    if (m_summary.outcome == RunSummary::Outcome::Finished)
        m_summary.outcome = RunSummary::Outcome::Stopped;
}

platform::LoadFailure loadTarget(TFileInfo& target, const std::vector<std::uint8_t>* picture,
                                 std::int32_t pixelNumber, const std::atomic<bool>* proceed)
{
    if (picture == nullptr)
        return target.loadThumbnail(pixelNumber, proceed);
    platform::LoadFailure why = platform::LoadFailure::None;
    const int fd = platform::FileManager::memoryFile(picture->data(), picture->size(), &why);
    return fd < 0 ? why : target.loadThumbnail(pixelNumber, fd, proceed);
}

} // namespace ovrin
