#pragma once

#include <string>

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
// Answers false, with a sentence in `problem`, when the process cannot run
// safely (fewer than kMinimumOpenFiles open files allowed).
bool prepareProcess(std::string* problem);

// How many files the process may have open at once (the soft limit).
long openFileLimit();

} // namespace ovrin::platform
