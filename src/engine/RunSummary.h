#pragma once

#include "platform/fs/LoadFailure.h"
#include "platform/fs/Refusal.h"

#include <array>
#include <cstdint>
#include <string>

namespace ovrin {

// Why a start was refused. Every refusal still sends exactly one end callback.
enum class Refusal : std::uint8_t {
    None,                // started
    Busy,                // a run is going on
    TargetUnreadable,    // no target path, or the target is no readable picture
    NoPaths,             // neither a folder nor an index file was named
    UnknownSearchMethod, // neither a folder search nor an index search
    PixelNumberUnusable, // the pixel number is outside 1..TFileInfo::kMaxPixelNumber
    NoTopFolder,         // index creation without a folder
    TopFolderUnusable,   // the folder does not exist or cannot be listed
    NoIndexFile,         // no index file was named
    IndexFileUnusable,   // the index path names something that must not be replaced
                         // or cannot be read (a picture, a device, a folder, ...)
    NoThread,            // no worker thread could be started
    ExportUnusable,      // an export's path names a picture, an index or no file to write
};

// The answer of a start, or of one of its tests run on its own: a refusal
// (`sentence` says what and why) whose code None means it started. Converts
// to the yes/no of a start.
struct StartResult : platform::Refusal<Refusal> {
    explicit operator bool() const { return code == ovrin::Refusal::None; }
};

// Why an entry of a walked tree gave nothing. Files carry the loader's reason;
// the walk adds its own.
enum class SkipReason : std::uint8_t {
    NotAnImage,       // also damaged pictures
    Unreadable,       // permission denied, read errors, vanished files
    SpecialFile,      // FIFO, socket, device, empty file, pseudo file system
    TooLarge,         // beyond the decode-memory budget
    NameNotUtf8,      // index creation only: the index stores UTF-8 paths
    FolderUnlistable, // a folder below the top that cannot be listed
    FolderRepeated,   // a folder reached again through links too often
};

inline constexpr int kSkipReasonCount = 7;

SkipReason skipReasonFor(platform::LoadFailure failure);
// Plural phrase for counts ("not pictures", "unreadable names").
const char* describeSkipReason(SkipReason reason);

// What the last run did, complete once its end callback has been sent.
struct RunSummary {
    enum class Kind : std::uint8_t { FolderSearch, IndexSearch, IndexCreation, Groups };
    enum class Outcome : std::uint8_t { Finished, Stopped, Failed };
    // What became of the index file (index creation only).
    enum class IndexResult : std::uint8_t {
        None,         // not an index creation
        Written,      // complete index written
        Partial,      // stopped where no index was before: the partial index is kept
        KeptExisting, // stopped or failed: the index that was there is unchanged
        NotWritten,   // failed, and no index is at the path: none was, or another
                      // program put something else there meanwhile
    };

    Kind kind = Kind::FolderSearch;
    Outcome outcome = Outcome::Finished;
    IndexResult index = IndexResult::None;
    std::string error;         // Outcome::Failed: what went wrong, for a person
    std::int64_t examined = 0; // files reported with progress (index search: entries read)
    std::int64_t hits = 0;
    std::int64_t indexed = 0; // pictures written into the index
    std::int64_t reused = 0;  // index update: signatures taken over unchanged
    std::int64_t decoded = 0; // index update: pictures decoded
    std::int64_t removed = 0; // index update: old entries gone from the tree or now excluded
    std::int64_t leftOut =
        0; // groups, index search: entries whose files vanished or became unreadable
    std::int64_t redecoded = 0; // groups, index search: entries whose files changed since indexed
    // Left out by the exclusions without a word: what a walk met (an excluded
    // folder once, nothing under it being read), the entries of an index for
    // groups, and the entries that matched for an index search.
    std::int64_t excluded = 0;
    std::array<std::int64_t, kSkipReasonCount> skipped{};
    double seconds = 0.0;
    // Folder walks, index search: what a whole run would have gone through
    // (files; entries, from the share of the index read), so that a stopped
    // run can say how far it came. -1 where unknown; a count of a tree not
    // settled at the end holds at least this many.
    std::int64_t estimated = -1;
    bool estimateSettled = false;

    std::int64_t skippedTotal() const;
};

} // namespace ovrin
