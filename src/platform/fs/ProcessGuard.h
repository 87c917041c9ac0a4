#pragma once

#include "platform/fs/Refusal.h"

#include <cstdint>
#include <optional>

namespace ovrin::platform {

// Fewest open files a run needs: the standard streams, the toolkit's own
// descriptors, a few folders of the walk and the files being decoded.
inline constexpr long kMinimumOpenFiles = 32;

// Makes the process safe to run, before anything else opens a file:
// - a closed standard descriptor (0, 1 or 2) is filled with /dev/null opened
//   for reading only, so no file opened later takes its number (and receives
//   what is written to stdout or stderr), while a write there still fails and
//   can be reported;
// - the soft limit of open files is raised to the hard limit.
// Refuses when the process cannot run safely.
enum class ProcessProblem : std::uint8_t {
    NoNullDevice,    // /dev/null could not stand in for a closed standard stream
    TooFewOpenFiles, // fewer than kMinimumOpenFiles open files allowed
};
std::optional<Refusal<ProcessProblem>> prepareProcess();

// How many files the process may have open at once (the soft limit).
long openFileLimit();

} // namespace ovrin::platform
