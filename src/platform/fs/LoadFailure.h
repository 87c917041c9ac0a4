#pragma once

#include <cstdint>

namespace ovrin::platform {

// Why a file gave no picture. The walk, the loader and the messages a person
// reads share these, so a skipped file is always counted under one reason.
enum class LoadFailure : std::uint8_t {
    None,             // loaded
    Missing,          // no such file (or a link that leads nowhere)
    PermissionDenied, // the file exists but may not be read
    NotRegularFile,   // a FIFO, socket or device: never opened for decoding
    EmptyFile,        // size 0: never opened for decoding
    SystemFile,       // lies on a pseudo file system such as /proc or /sys
    NotAnImage,       // no decoder reads it, or it is damaged
    TooLarge,         // decoding it would exceed the decode-memory budget
    ReadError,        // an I/O error while reading it
    Stopped,          // the run was stopped while it decoded
    OutOfMemory,      // the system had no memory for it (within the budget)
};

inline constexpr int kLoadFailureCount = 11;

// A short reason for a person, in English ("not a picture Ovrin can read").
const char* describeLoadFailure(LoadFailure failure);

} // namespace ovrin::platform
