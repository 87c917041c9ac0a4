#pragma once

#include "engine/LookAlikeGroups.h"
#include "output/Formats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::cli {

// The exit status of every command.
enum class ExitCode : int {
    Ok = 0,           // ran to its end
    Failure = 1,      // a file could not be loaded, listed or written
    Usage = 2,        // the command line is wrong
    Interrupted = 130 // Ctrl-C, SIGTERM or SIGHUP
};

// The window's exports write the same formats.
using OutputFormat = output::Format;

struct Options {
    std::string target;                   // search
    std::optional<std::string> directory; // search --dir, index DIR, groups --dir
    std::optional<std::string> indexFile; // search --index, index INDEXFILE, check, groups --index
    std::int32_t bits = search::kDefaultBits;
    std::int32_t matchRate = search::kDefaultMatchRate;
    std::int32_t pixelNumber = search::kDefaultPixelNumber;
    int jobs = 0; // 0: one decoding thread per hardware thread
    OutputFormat format = OutputFormat::Plain;
    bool nullTerminated = false; // search -0: raw paths, records ended by NUL
    bool sort = false;           // search: best first, at the end
    bool verbose = false;        // every skipped file with its reason on stderr
    bool rebuild = false;        // index: decode every picture again
    bool anyOrientation = false; // search, groups: turned and mirrored copies too
    // groups: how alike in structure members must be, which copy leads a
    // group, and folders whose copies lead first (full paths once run)
    Similarity similarity = Similarity::Normal;
    KeepRule keep = KeepRule::Pixels;
    std::vector<std::string> preferred;
    // groups: folders whose copies are never named for removal (full paths
    // once run)
    std::vector<std::string> protectedFolders;
    // search, index, groups --exclude: folders (full paths once run) and name
    // patterns left out of the collection
    std::vector<std::string> excludeFolders;
    std::vector<std::string> excludePatterns;
};

// The parsed command line: which command with which options, or a usage error
// with its reason.
struct CommandLine {
    enum class Kind { Help, Version, Search, Index, Check, Groups, UsageError };

    Kind kind = Kind::UsageError;
    Options options;
    std::string error;

    static CommandLine parse(const std::vector<std::string>& arguments);
    static std::string usage();
};

// Whether an --exclude text names a folder rather than a name pattern: one
// with a '/', ".", "..", "~" alone or before a '/'.
bool isFolderExclusion(const std::string& text);

// Strict decimal 32-bit integer: the whole text, an optional sign, nothing else.
std::optional<std::int32_t> parseInt32(const std::string& text);

} // namespace ovrin::cli
