#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::cli {

struct Options {
    std::string target;                   // search
    std::optional<std::string> directory; // search --dir, index DIR
    std::optional<std::string> indexFile; // search --index, index INDEXFILE, check INDEXFILE
    std::int32_t bits = 3;
    std::int32_t matchRate = 70;
    std::int32_t pixelNumber = 8;
};

// The parsed command line: which command with which options, or a usage error
// with its reason.
struct CommandLine {
    enum class Kind { Help, Search, Index, Check, UsageError };

    Kind kind = Kind::UsageError;
    Options options;
    std::string error;

    static CommandLine parse(const std::vector<std::string>& arguments);
    static std::string usage();
};

// Strict decimal 32-bit integer: the whole text, an optional sign, nothing else.
std::optional<std::int32_t> parseInt32(const std::string& text);

} // namespace ovrin::cli
