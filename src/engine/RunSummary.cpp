#include "engine/RunSummary.h"

#include <numeric>

namespace ovrin {

using platform::LoadFailure;

SkipReason skipReasonFor(LoadFailure failure)
{
    switch (failure) {
    case LoadFailure::Missing:
    case LoadFailure::PermissionDenied:
    case LoadFailure::ReadError:
        return SkipReason::Unreadable;
    case LoadFailure::NotRegularFile:
    case LoadFailure::EmptyFile:
    case LoadFailure::SystemFile:
        return SkipReason::SpecialFile;
    case LoadFailure::TooLarge:
        return SkipReason::TooLarge;
    default:
        return SkipReason::NotAnImage;
    }
}

const char* describeSkipReason(SkipReason reason)
{
    switch (reason) {
    case SkipReason::NotAnImage:
        return "not pictures";
    case SkipReason::Unreadable:
        return "unreadable";
    case SkipReason::SpecialFile:
        return "special or empty files";
    case SkipReason::TooLarge:
        return "too large";
    case SkipReason::NameNotUtf8:
        return "unreadable names";
    case SkipReason::FolderUnlistable:
        return "folders that cannot be listed";
    case SkipReason::FolderRepeated:
        return "folders reached again through links";
    }
    return "other";
}

std::int64_t RunSummary::skippedTotal() const
{
    return std::accumulate(skipped.begin(), skipped.end(), std::int64_t{0});
}

} // namespace ovrin
