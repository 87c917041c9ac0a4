#pragma once

#include "platform/LoadFailure.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::platform {

// Which file an existing path leads to once symbolic links are followed. Two
// paths name the same file exactly when device and inode agree.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
    bool isDirectory = false;
    bool isRegularFile = false;
    FileIdentity identity;
};

// Folder and file queries. Every query follows symbolic links, so a link is
// seen as whatever it leads to and a dangling link as nothing at all.
class FileManager {
public:
    // Entry names of one folder, hidden ones included, never "." or "..", in the
    // order the file system gives them. No value when the folder cannot be listed.
    static std::optional<std::vector<std::string>> directoryContents(const std::string& path);

    static std::optional<FileStatus> fileStatus(const std::string& path);
    static bool fileExists(const std::string& path, bool& isDirectory);
    static bool fileExists(const std::string& path);

    // Size in bytes, links followed; 0 for a missing file.
    static std::int64_t fileSize(const std::string& path);

    // Path texts equal when case is ignored (Unicode simple case folding).
    static bool isSamePathIgnoringCase(const std::string& a, const std::string& b);

    // Opens a regular file (open(2) flags such as O_RDONLY) without ever
    // blocking: a FIFO or a device in a photo tree is refused, not waited on or
    // read forever. -1 when the path names no regular file or cannot be opened;
    // `why` then says which.
    static int openRegularFile(const std::string& path, int flags, LoadFailure* why = nullptr);
    // The same relative to an open folder, so a path's length is no limit.
    static int openRegularFileAt(int folderFd, const std::string& name, int flags,
                                 LoadFailure* why = nullptr);
    // Whether an open file may be decoded as a picture: a regular file, not
    // empty, not on a pseudo file system such as /proc (whose files claim to be
    // regular and can block a reader forever).
    static LoadFailure checkOpenFile(int fd);
    // The reason for an errno of open(2) or stat(2).
    static LoadFailure failureForErrno(int error);

    // Joins with exactly one "/" between folder and name.
    static std::string appendPathComponent(const std::string& folder, const std::string& name);
};

} // namespace ovrin::platform
