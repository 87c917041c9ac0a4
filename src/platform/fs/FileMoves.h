#pragma once

#include "platform/fs/FileManager.h"

#include <optional>
#include <string>

namespace ovrin::platform {

// The calls that move, copy, link and remove files for the actions on
// pictures. Each answers 0 or the system's error number, so no caller reads
// errno.
class FileMoves {
public:
    // The name itself, a link not followed: what a rename moves. None, with
    // the error number in `error`, when it cannot be looked at.
    static std::optional<FileIdentity> nameIdentity(const std::string& path, int* error = nullptr);
    // Whether anything has the name, a dangling link too (unsure counts as yes).
    static bool nameExists(const std::string& path);
    // Renames without ever replacing what has the new name (EEXIST then);
    // a file system without that check is looked at just before instead.
    static int renameWithoutReplacing(int fromFd, const std::string& from, int toFd,
                                      const std::string& to);
    static int renameWithoutReplacing(const std::string& from, const std::string& to);
    // A new private file `name` in an open folder, never through a link; -1
    // with the error number in `error` (EEXIST when the name is taken).
    static int createNewFileAt(int folderFd, const std::string& name, int* error);
    // Copies the open file `sourceFd` into the new file `copyFd`, its bytes,
    // mode and times, and puts it on the disk; `copied` is then the copy as
    // it lies. EIO for a copy of another size than its source.
    static int copyInto(int sourceFd, int copyFd, FileStatus* copied);
    static int removeFile(const std::string& path);
    // A hard link `name` to the file `existing` leads to.
    static int makeHardLink(const std::string& existing, const std::string& name);
};

} // namespace ovrin::platform
