#pragma once

#include "indexfile/FileStamp.h"
#include "settings/SearchParameters.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {

// A picture as a run examined it. An action that removes or replaces its file
// first finds the file again as it was: the same stamp, and decoded anew, the
// same signature. A path that a hostile index file names, or a file changed
// since, is never acted on.
struct ExaminedPicture {
    std::string path;
    std::optional<FileStamp> stamp;      // none: never acted on
    std::vector<std::int16_t> signature; // at pixelNumber; empty: never acted on
    std::int32_t pixelNumber = search::kDefaultPixelNumber;
};

// The stamp of the file at `path` now (links followed); none when it cannot be
// looked at.
std::optional<FileStamp> currentStamp(const std::string& path);

enum class ActionKind : std::uint8_t { Trash, MoveToFolder, HardLink };

// Why one picture was left as it was.
enum class ActionRefusal : std::uint8_t {
    None,
    // Nothing of its group would stay: no kept picture is there that is not
    // asked for too (a hard link also needs a group to take the copy from).
    LastOfGroup,
    Target,    // the target of the search, not named on its own
    Protected, // under a protected folder
    // Another name (a link, a hard link) of a picture that stays, of one
    // asked for before it, or of the target; or already a link of the kept copy.
    Alias,
    Missing,         // nothing at the path any more
    Changed,         // its stamp differs from when it was examined
    NotThePicture,   // it no longer decodes to the signature it was examined with
    NotExamined,     // no stamp or signature was taken when it was examined
    OtherFileSystem, // a hard link cannot reach the kept copy from there
    Occupied,        // the destination path is taken
    Failed,          // the file system refused (`error`)
    Stopped,         // not reached: the action was stopped before it
};

// One picture to act on, with what the rules weigh.
struct ActionItem {
    ExaminedPicture picture;
    // The group it belongs to (into ActionRequest::kept); none for a search hit.
    std::optional<std::size_t> group;
};

struct ActionRequest {
    ActionKind kind = ActionKind::Trash;
    std::vector<ActionItem> items;
    // Per group: the pictures of it that stay, the copy to keep first (the
    // source of a hard link, checked like the items but for its status change
    // time, which every link made to it moves).
    std::vector<std::vector<ExaminedPicture>> kept;
    // A search's target: never acted on unless `targetNamed` (the person asked
    // for it by name).
    std::optional<std::string> target;
    bool targetNamed = false;
    std::vector<std::string> protectedFolders;
    // MoveToFolder: where to, and the searched folder, below which paths are
    // kept relative (others keep their own folder's name only).
    std::string destination;
    std::string root;
};

struct ActionOutcome {
    std::string path;
    ActionRefusal refusal = ActionRefusal::None;
    int error = 0; // Failed: the system's error number
    // The path the refusal concerns, where it is not the picture's own: the
    // kept copy a hard link needs (which then failed the named check), the
    // picture it is an alias of, the protected folder, the destination taken,
    // the trash that refused it. Empty otherwise.
    std::string detail;
    // Where the file lies now (trash, folder); for a hard link, where the
    // replaced file went in the trash; after an undo, the picture's path.
    std::string placedAt;
};

struct ActionReport {
    ActionKind kind = ActionKind::Trash;
    std::vector<ActionOutcome> done;
    std::vector<ActionOutcome> refused;
    bool undo = false; // the report of an undo
    // Whether something moved that an undo can bring back: what was done, and
    // a refused picture whose file could not be put back at once (its
    // placedAt says where it lies).
    bool journaled = false;
};

// Carries out actions and remembers the last one, so that it can be undone.
// Not for several threads at once; perform and undo may run on a worker.
class ActionJournal {
public:
    // Checks every item by the rules (group, target, protection, aliases),
    // then each left by its file (stamp, signature, file system), and acts on
    // those that pass, one by one. A cleared `proceed` stops before the next
    // item (the rest are refused as Stopped); what was done stays done and
    // can be undone. A perform that does nothing leaves the journal of the
    // one before it to be undone.
    ActionReport perform(const ActionRequest& request, const std::atomic<bool>* proceed = nullptr);
    bool canUndo() const;
    // Brings back what the last perform that did anything did, last first:
    // from the trash or the folder, or the replaced file in place of its
    // link. A path taken since, or a file moved or replaced since, is refused
    // and stays to be undone by the next call; what came back is forgotten.
    ActionReport undo();

private:
    struct Step {
        ActionKind kind;
        std::string path;     // where the picture was
        std::string placedAt; // where it went (a hard link: where the original went)
        // The file at placedAt as it was left there, and for a hard link the
        // kept copy now at path: an undo moves only these.
        std::uint64_t placedDevice = 0;
        std::uint64_t placedInode = 0;
        std::uint64_t linkDevice = 0;
        std::uint64_t linkInode = 0;
        // What a copy back across file systems must decode to.
        std::vector<std::int16_t> signature;
        std::int32_t pixelNumber = search::kDefaultPixelNumber;
    };
    std::vector<Step> m_last; // in the order done
    ActionKind m_lastKind = ActionKind::Trash;
};

} // namespace ovrin
