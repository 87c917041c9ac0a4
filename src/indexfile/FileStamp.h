#pragma once

#include <cstdint>
#include <optional>

namespace ovrin {

// What an index records of a picture's file beside its signature, so that an
// update can tell whether the file changed.
struct FileStamp {
    static constexpr std::size_t kStoredSize = 24; // three 64-bit big-endian fields
    // The coarsest tick of file system times in use: FAT keeps modification
    // times in even seconds, ext3, HFS+ and small-inode ext4 in seconds.
    static constexpr std::int64_t kCoarsestTickNs = 2'000'000'000;

    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    // The status change time moves with every change of the file's content or
    // permissions, and no program can set it back: a copy made with its old
    // times, or a picture made unreadable, is not taken for the one indexed.
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;

    // Whether every change of the file after a run started at `runStartNs`
    // shows in this stamp, which that run took. A change stamped with the
    // tick it happens in keeps a stamp taken earlier in the same tick: a
    // picture rewritten in the second a run looked at it would pass for the
    // one it signed. So both times must lie before the tick of the start.
    bool settledBefore(std::int64_t runStartNs) const;

    // Now, by the clock file systems stamp changes with, in nanoseconds since
    // 1970: taken before a run looks at any file.
    static std::int64_t clockNs();
    // Makes clockNs() give `ns` (no value: the clock again).
    static void setClockForTesting(std::optional<std::int64_t> ns);
};

} // namespace ovrin
