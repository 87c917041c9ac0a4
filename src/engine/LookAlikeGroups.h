#pragma once

#include "settings/SearchParameters.h"
#include "signature/FineSignature.h"
#include "signature/Orientation.h"
#include "signature/SignatureMatrix.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

// n signatures of `count` values each, as an index file or a decoded tree
// gives them.
struct SignatureTable {
    std::int32_t count = 0;           // values per signature (pixel number squared)
    std::vector<std::int16_t> values; // n * count; signature i starts at i * count
    std::vector<std::string> paths;   // n, raw bytes; ties are broken by path
    // Empty, or one per path: each member of a group is confirmed against its
    // reference by its structure as well as its colours.
    std::vector<FineSignature> fine;
    // Empty, or seven per path beside `fine`: the fingerprints of the picture
    // turned each way but upright (Orientation 1 to 7, path i's from 7 * i),
    // made from its luminance grid, which turns exactly where the stored
    // fingerprint cannot. A grouping of any orientation confirms a turned
    // pair with them; without them it leaves turned forms out where the
    // table holds fingerprints.
    std::vector<FineSignature> turnedFine;
    // Empty, or one per path: what the keep rule weighs.
    struct Facts {
        std::int64_t pixels = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        // With size and modifiedNs the file's stamp as examined: an action on
        // a member checks it again first. 0 where unknown.
        std::int64_t changedNs = 0;
    };
    std::vector<Facts> facts;
};

// Which member of a group leads it as the copy to keep. Pixels: most pixels,
// then largest file, then oldest, then path; the others by their own fact
// first, then in that order.
enum class KeepRule : std::uint8_t { Pixels, Size, Oldest, Newest, Path };
// "pixels", "size", "oldest", "newest", "path"; no value for any other text.
std::optional<KeepRule> parseKeepRule(std::string_view text);
const char* keepRuleName(KeepRule rule);

// The rank of the first of `folders` that holds the path (at a '/' boundary,
// so "/a/b" does not hold "/a/bc/x.jpg"); folders.size() for none.
std::size_t preferenceRank(const std::string& path, const std::vector<std::string>& folders);

// What a grouping runs on: a folder or an index file, at the given bits and
// match rate, how strictly members are confirmed and which copy leads each
// group. It is the grouping's own: the search's values stay as they are.
// A saved review keeps it as it was.
struct GroupsRequest {
    SearchMethod method = search::kDefaultMethod;
    std::optional<std::string> folder;
    std::optional<std::string> index;
    std::int32_t bits = search::kDefaultBits;
    std::int32_t matchRate = search::kDefaultMatchRate;
    Similarity similarity = Similarity::Normal;
    KeepRule keep = KeepRule::Pixels;
    std::vector<std::string> preferred; // raw paths, the first preferred first
    bool anyOrientation = false;        // turned and mirrored copies too

    bool operator==(const GroupsRequest&) const = default;
};

// The part of it the grouping itself works with.
struct GroupingRequest {
    std::int32_t bits = search::kDefaultBits;
    std::int32_t matchRate = search::kDefaultMatchRate;
    Similarity similarity = Similarity::Normal;
    KeepRule keep = KeepRule::Pixels;
    // Folders whose pictures are kept before any other, the first named first.
    std::vector<std::string> preferred;
    int jobs = 0; // threads; 0 for one per hardware thread
    // A pair matches in any of the eight forms of one against the other.
    bool anyOrientation = false;
};

struct LookAlikeMember {
    std::size_t index; // into the table
    std::int32_t rate; // the comparison with the reference as the target
    double likeness;   // fineScore of the reference and the member where the table
                       // holds fingerprints, TFileInfo::likeness otherwise
    // How the member lies against its reference: the reference turned this
    // way looks like it. Upright unless the grouping took any orientation.
    Orientation orientation = Orientation::Upright;
};

struct LookAlikeGroup {
    std::size_t reference;                // into the table
    std::vector<LookAlikeMember> members; // best first; never empty
};

// Entry `entry` of the table listed against `reference` as a grouping lists
// its members (rate at match rate 0, likeness, and with anyOrientation its
// best form), for a member whose group got another reference.
LookAlikeMember comparedMember(const SignatureTable& table, std::size_t reference,
                               std::size_t entry, std::int32_t bits, Similarity similarity,
                               bool anyOrientation);

// Where a grouping run is: reading the index file (each entry checked against
// its file) or decoding the folder, then decoding again the entries whose files
// changed, then the first pass over the pairs, the confirmation by fingerprint
// where the first pass could not keep its pairs, and forming the groups.
enum class GroupingPhase : std::uint8_t {
    Reading,
    Decoding,
    Checking,
    Comparing,
    Confirming,
    Forming
};

// Read by another thread while a grouping runs. Every pair is settled once in
// the first pass, by the comparison or by a bound that proves it cannot
// match: pairsCompared + pairsPruned reaches pairsTotal at its end. `groups`
// grows during the second pass, which forms the groups.
struct GroupingProgress {
    std::atomic<std::uint64_t> pairsCompared{0};
    std::atomic<std::uint64_t> pairsPruned{0};
    std::atomic<std::uint64_t> pairsTotal{0};
    std::atomic<std::uint64_t> groups{0};
    std::atomic<GroupingPhase> phase{GroupingPhase::Reading};
    std::atomic<std::uint64_t> entriesRead{0}; // of an index file
};

// Every group of look-alike pictures in the table at the request's bits and
// match rate, the look-alike relation being the comparison of TFileInfo::
// compareSignatures (which is symmetric), the one searches use, and where the
// table holds fingerprints also fineAccepts at the request's similarity:
//  - who matches whom is decided first. A group forms around a reference and
//    the pictures that match it (at least one); a picture is in at most one
//    group. References are taken in the order of the most matches in the whole
//    table (with fingerprints, of the matches they confirm), ties by path in
//    byte order (then by table position): each picture in that order that is
//    not yet in a group takes every picture not yet in a group that matches
//    it, if there is one. A picture it does not take stays free for a later
//    reference;
//  - then the member that the keep rule puts first leads the group as its
//    reference (the copy to keep): one under a preferred folder (a prefix of
//    its path ending at a '/'; the first named folder first) before any other,
//    then by the table's facts as KeepRule says, then by path in byte order,
//    then by table position. Without facts the path decides after the folders;
//  - members are listed against that reference: `rate` is what the comparison
//    gives at match rate 0, below the match rate where a member matched only
//    the picture that gathered the group; `likeness` is fineScore with
//    fingerprints, TFileInfo::likeness otherwise. Members come by likeness,
//    then rate (both descending), then path, then table position;
//  - groups come largest first, equal sizes in the order they were formed.
// With anyOrientation (and square signatures) a pair matches where one of
// the eight forms does: the signature of the pair's later row in the sorted
// order turned that way compared with the earlier one's upright, and with
// fingerprints, the later one's turned fingerprint (turnedFine) accepted by
// the earlier one's. Each unordered pair is so settled once, in one way,
// which keeps the relation symmetric. The channel sums that prune the pairs
// do not move when a grid turns, so their bound holds for every form. A
// member's rate, likeness and orientation are then its best form against the
// reference among those the fingerprints accept (all where none does), the
// upright one first among equals. Without the option every result is what it
// is without this paragraph.
// The result does not depend on `jobs` (threads; 0 for one per hardware
// thread). Memory beyond the table grows with n alone: about three bytes per
// value (six at bits 4) and eight bytes per picture and thread. No value when
// `proceed` is cleared before the end; the work stops within a fraction of a
// second. Throws std::invalid_argument when the table's values do not hold
// count values per path, or its fingerprints or facts are neither none nor
// one per path (turned fingerprints: none or seven per path with fingerprints).
std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, const GroupingRequest& request,
                    const std::atomic<bool>* proceed = nullptr,
                    GroupingProgress* progress = nullptr,
                    SignatureMatrix::Kernel kernel = SignatureMatrix::bestKernel());

// The same by colour alone: a default request at these bits, match rate and
// jobs on the table with its fingerprints and facts left out, so the path
// picks each reference.
std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed = nullptr,
                    GroupingProgress* progress = nullptr);

// Bytes a grouping of n signatures of `count` values at `bits` takes at its
// height beyond the table and the threads' stacks, with `threads` threads:
// at least (however few pictures match) and at most (all of them in groups).
struct GroupingMemory {
    std::int64_t least = 0;
    std::int64_t most = 0;
};
// Bounds the colour matches one task of a grouping holds and the pairs it
// keeps (0: as sized for the table), so that tests reach the routes large
// collections take. While no grouping runs.
void setGroupingRoomForTesting(std::size_t taskPairs, std::size_t keptPairs);

// Any orientation keeps the rows in eight forms.
GroupingMemory lookAlikeGroupingMemory(std::size_t n, std::int32_t count, std::int32_t bits,
                                       int threads, bool anyOrientation = false);

// The same with a chosen comparison kernel (one the processor lacks falls back
// to the portable one).
std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed, GroupingProgress* progress,
                    SignatureMatrix::Kernel kernel);

} // namespace ovrin
