#pragma once

#include <cstdint>
#include <string>

namespace ovrin::platform {

// What became of a file sent to the trash.
struct TrashOutcome {
    enum class Failure : std::uint8_t {
        None,
        Missing,           // nothing at the path
        Unreachable,       // the path cannot be looked at (`error`)
        NoHome,            // neither HOME nor the user database names a home folder
        HomeTrashUnusable, // the home trash (`place`) cannot be made or used
        NoVolumeTrash,     // on another file system, whose top (`place`) has no usable trash
        RecordUnwritable,  // the trash (`place`) refused the record of where the file was
        NotMoved,          // the move into the trash (`place`) failed; nothing changed
        OtherFileSystem,   // the trash (`place`) lies on another file system after all
    };
    Failure failure = Failure::None;
    int error = 0;         // errno where one is known
    std::string place;     // the trash, or the file system's top folder, concerned
    std::string trashedAs; // where the file lies now, once moved

    explicit operator bool() const { return failure == Failure::None; }
};

// The desktop's trash as file managers share it: the home trash
// ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) for files on the
// home folder's file system, and a file system's own trash at its top folder
// ($top/.Trash/<uid> in an administrator's sticky .Trash, else $top/.Trash-<uid>)
// for the others. Each trashed file gets a record in info/ naming where it
// lay and when it left, written before the file is renamed into files/ under
// the same unique name. A file is only ever renamed, never copied, so a file
// that no trash on its own file system can take stays where it is; a failure
// leaves neither the file moved nor a record behind.
class Trash {
public:
    // Paths are bytes: a name that is not UTF-8 keeps every byte, in files/
    // and, percent-encoded, in its record. The home folder is read from the
    // environment at each call.
    static TrashOutcome moveToTrash(const std::string& path);

    // Puts a file that moveToTrash left at `trashedAs` back at `path`, never
    // in place of anything there, and only then drops its record. 0, or
    // errno: EEXIST when `path` is taken, ENOENT when nothing lies at
    // `trashedAs` (or its folder is gone), EINVAL when `trashedAs` lies in
    // no trash's files/.
    static int restore(const std::string& trashedAs, const std::string& path);

    // The record's Path value: every byte but letters, digits, "-._~" and "/"
    // as %XX.
    static std::string encodePath(const std::string& path);
};

} // namespace ovrin::platform
