#pragma once

#include <string>

namespace ovrin::platform {

// What a person is told when an operation refuses: a code a program acts on
// (the command line picks its exit status by it, the window its translated
// sentence) and the English sentence, whole, for where nothing translates it.
// An operation that can refuse answers std::optional<Refusal<Code>> (nothing:
// done), never a text through a pointer. A file that gave no picture is a
// LoadFailure instead, and a run's end a RunSummary.
template <typename Code>
struct Refusal {
    Code code{};
    std::string sentence;
};

} // namespace ovrin::platform
