#pragma once

#include "platform/fs/LoadFailure.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin::platform {

// Which file an existing path leads to once symbolic links are followed. Two
// paths name the same file exactly when device and inode agree.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const
    {
        return static_cast<std::size_t>(id.inode * 0x9e3779b97f4a7c15ull ^ id.device);
    }
};

enum class FileType : std::uint8_t { Regular, Directory, Other };

struct FileStatus {
    FileType type = FileType::Other; // FIFOs, sockets and devices are Other
    bool isDirectory = false;
    bool isRegularFile = false;
    FileIdentity identity;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // modification time in nanoseconds since the epoch
    std::int64_t changedNs = 0;  // status change time: also moves on chmod, chown and copies
};

// An open file descriptor that closes itself.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : m_fd(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// Folder and file queries. Every query follows symbolic links, so a link is
// seen as whatever it leads to and a dangling link as nothing at all. The
// variants relative to an open folder let a walk go deeper than any path the
// system would take whole.
class FileManager {
public:
    // Entry names of an open folder, hidden ones included, never "." or "..",
    // in the order the file system gives them. No value when the folder cannot
    // be listed; `error` then holds errno.
    static std::optional<std::vector<std::string>> listFolder(int folderFd, int* error = nullptr);

    // An open folder, for listing it and for the calls relative to it; -1 with
    // errno in `error` when it is none or cannot be opened.
    static int openFolder(const std::string& path, int* error = nullptr);
    static int openFolderAt(int folderFd, const std::string& name, int* error = nullptr);

    static std::optional<FileStatus> fileStatus(const std::string& path, int* error = nullptr);
    static std::optional<FileStatus> fileStatusAt(int folderFd, const std::string& name,
                                                  int* error = nullptr);
    static std::optional<FileStatus> fileStatusOf(int fd);
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

    // A picture that has no file (read from a stream, taken from the
    // clipboard) as an open file in memory, read from its start, so that it
    // meets the same decoders and checks as a file on disk; -1 when the
    // system makes none, `why` then saying why.
    static int memoryFile(const void* data, std::size_t size, LoadFailure* why = nullptr);
    // All the open stream `fd` gives until its end, at most `limit` bytes:
    // TooLarge when there is more (nothing more is read), EmptyFile when it
    // gives nothing, ReadError when a read fails, Stopped when a signal ends a
    // wait for more while `stop` is set. `fd` stays open.
    static LoadFailure readStream(int fd, std::int64_t limit, std::vector<std::uint8_t>& bytes,
                                  const std::atomic<bool>* stop = nullptr);

    // Joins with exactly one "/" between folder and name.
    static std::string appendPathComponent(const std::string& folder, const std::string& name);
    // The folder part of a path ("." for a bare name, "/" for the root).
    static std::string folderOf(const std::string& path);
    // Makes `path` a folder, with every missing folder above it; 0 when it is
    // one, else errno. Folders made private to the user (no group or other
    // bits in `mode`) stay so whatever the umask.
    static int makeFolders(const std::string& path, unsigned mode = 0777);
    // The path a link chain at `path` finally names, also when that file does
    // not exist yet: writing a file through a link must write the file it
    // names, never replace the link.
    static std::string resolveLinks(const std::string& path);

    // Whether the calling user may put a new version in place of the existing
    // file at `path` (written beside it and renamed over it; the folder's own
    // rights are not looked at). A file whose owner's write bit is clear is
    // read-only for everyone, root included, whom access(2) never refuses; a
    // user other than the owner may replace it only where the mode lets them
    // write it.
    enum class WriteRight : std::uint8_t {
        Writable,
        ReadOnly,       // the owner (or root) may make it writable again
        OtherUsersFile, // not the caller's, and not writable for them
        ReadOnlyMount,
        Unknown, // the file cannot be looked at; `error` holds errno
    };
    static WriteRight writeRight(const std::string& path, int* error = nullptr);
    // Whether the calling user may make new files in the folder: 0, or the
    // error number (EROFS for a file system mounted read-only).
    static int mayMakeFilesIn(const std::string& folder);
    // The current folder; none, with the error number in `error`, when it is
    // gone or cannot be reached.
    static std::optional<std::string> workingFolder(int* error = nullptr);
    // Writes all of `text` to a stream and flushes it: 0, or the error number
    // (EIO where the system named none).
    static int writeToStream(std::FILE* stream, std::string_view text);
    static int flushStream(std::FILE* stream);
};

} // namespace ovrin::platform
