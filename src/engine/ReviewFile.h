#pragma once

#include "engine/LookAlikeGroups.h"
#include "engine/RunContext.h"
#include "indexfile/FileStamp.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {

// A review of look-alike groups as a person left it: the grouping's settings,
// the groups as they stood (after pictures went and references changed) and
// the marks, so that the review can go on another day.
struct Review {
    using Settings = GroupsRequest;
    Settings settings;
    // Holds the pictures of the groups alone; the facts give each one's stamp.
    LookAlikeResult result;
    std::vector<bool> referenceGone; // per group: its reference went to the trash
    std::vector<bool> marked;        // per table row
};

// A review as a file of chunks like an index file's (a four-character kind,
// a 32-bit big-endian length, the data): a head "OVRV" with the format's
// version, then the settings, then per group a "RVGR" followed by its
// pictures, reference first, each a "RVPI" with its facts, rate, likeness,
// mark and fingerprint (and, where the settings say the grouping took any
// orientation, its form against the reference), its path, signature and
// other paths; an end "RVND" with the counts tells a whole file from a cut
// one. Kinds a reader does not know are passed over, so later versions may
// add some, and so are bytes after those a chunk's kind is known to hold.
class ReviewFile {
public:
    static constexpr const char* kExtension = ".ovr";
    static constexpr std::uint32_t kVersion = 0x00010000; // major in the upper half
    // Larger files are refused before anything is read: what a review holds
    // grows with its bytes, and no review of a collection comes near this.
    static constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 31;

    enum class Problem : std::uint8_t {
        None,
        CannotRead,  // `error` holds the system's error number
        TooLarge,    // above kMaxFileBytes
        NotAReview,  // no head
        NewerFormat, // a later major version
        Damaged,     // a chunk that cannot be what its kind says, or out of place
        Truncated,   // ends before its end chunk
        OutOfMemory,
    };
    struct Opened {
        std::optional<Review> review;
        Problem problem = Problem::None;
        int error = 0;
    };

    // The review of groups as they stand: the pictures of `groups` taken out
    // of `result`'s table, with their marks.
    static Review fromGroups(const LookAlikeResult& result,
                             const std::vector<LookAlikeGroup>& groups,
                             const std::vector<bool>& referenceGone,
                             const std::function<bool(const std::string&)>& isMarked,
                             Review::Settings settings);

    static std::vector<std::uint8_t> encode(const Review& review);
    static Opened decode(const std::uint8_t* bytes, std::size_t size);
    static Opened read(const std::string& path);

    // Leaves out every picture whose file is not found or whose stamp differs
    // from the saved one: a member leaves its group, a reference leaves its
    // row marked as gone. A group that loses pictures so that fewer than two
    // are left goes, as does one without members. Answers the paths left
    // out, in the order of the groups. `stampOf` tells a file's stamp now
    // (none: not found).
    static std::vector<std::string> leaveOutChanged(
        Review& review,
        const std::function<std::optional<FileStamp>(const std::string&)>& stampOf = stampNow);
    // The stamp of the file at a path now, links followed; none when there is
    // no regular file to look at.
    static std::optional<FileStamp> stampNow(const std::string& path);
};

} // namespace ovrin
