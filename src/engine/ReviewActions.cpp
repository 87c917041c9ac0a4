#include "engine/ReviewActions.h"

#include "platform/FileManager.h"

namespace ovrin {

std::optional<TFileStamp> currentStamp(const std::string& path)
{
    const auto status = platform::FileManager::fileStatus(path);
    if (!status)
        return std::nullopt;
    return TFileStamp{status->size, status->modifiedNs, status->changedNs};
}

ActionReport ActionJournal::perform(const ActionRequest& request, const std::atomic<bool>*)
{
    ActionReport report;
    report.kind = request.kind;
    for (const ActionItem& item : request.items)
        report.refused.push_back({item.picture.path, ActionRefusal::NotExamined, 0, {}, {}});
    m_last.clear();
    return report;
}

bool ActionJournal::canUndo() const
{
    return !m_last.empty();
}

ActionReport ActionJournal::undo()
{
    ActionReport report;
    report.undo = true;
    m_last.clear();
    return report;
}

} // namespace ovrin
