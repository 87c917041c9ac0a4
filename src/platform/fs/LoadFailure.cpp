#include "platform/fs/LoadFailure.h"

namespace ovrin::platform {

const char* describeLoadFailure(LoadFailure failure)
{
    switch (failure) {
    case LoadFailure::None:
        return "loaded";
    case LoadFailure::Missing:
        return "no such file";
    case LoadFailure::PermissionDenied:
        return "permission denied";
    case LoadFailure::NotRegularFile:
        return "not a regular file";
    case LoadFailure::EmptyFile:
        return "empty file";
    case LoadFailure::SystemFile:
        return "a system file, not a picture";
    case LoadFailure::NotAnImage:
        return "not a picture Ovrin can read";
    case LoadFailure::TooLarge:
        return "too large to decode within the memory budget";
    case LoadFailure::ReadError:
        return "read error";
    case LoadFailure::Stopped:
        return "stopped while decoding";
    case LoadFailure::OutOfMemory:
        return "out of memory";
    }
    return "unknown";
}

} // namespace ovrin::platform
