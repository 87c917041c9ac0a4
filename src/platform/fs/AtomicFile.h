#pragma once

#include "platform/fs/FileHandle.h"
#include "platform/fs/FileManager.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace ovrin::platform {

// Writes a new version of a file beside it and puts it in place only when
// every byte is on the disk: a temporary file next to the destination,
// flushed, synced and renamed over it, then the folder synced. A crash, a
// kill or a full disk leaves the old file (or none), never a mix. Nothing
// appears at the destination before the rename, and only this object's own
// temporary is ever removed.
class AtomicFile {
public:
    // Temporaries are named "<destination>.ovrin-XXXXXX".
    static constexpr const char* kTemporaryMarker = ".ovrin-";
    static constexpr std::size_t kSuffixLength = 6;

    // Where the file is written: the destination once symbolic links are
    // followed, so a link at the destination keeps pointing at the new file.
    explicit AtomicFile(const std::string& destination);
    ~AtomicFile(); // discards what was not committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary; false with errorCode() set when it cannot.
    bool begin();
    FileHandle& handle() { return *m_handle; }
    // Puts the temporary in place; false with errorCode() set when any byte
    // failed to reach the disk or the rename failed (the old file stays).
    // `mayReplace` is asked about whatever lies at the destination by then,
    // unless it is still the very file that was there at begin() (or nothing):
    // another program may have put something there meanwhile (EEXIST). A
    // copy over the file keeps its inode, so "the very file" means the same
    // inode with the same size, times and first bytes.
    bool commit(const std::function<bool(const std::string& destination)>& mayReplace = {});
    // Removes the temporary, if it is still ours.
    void discard();

    const std::string& destination() const { return m_destination; }
    const std::string& temporaryPath() const { return m_temporaryPath; }
    FileIdentity temporaryIdentity() const { return m_temporaryIdentity; }
    int errorCode() const { return m_error; }

    // Removes temporaries that earlier runs left beside `destination` when
    // killed, and only what is provably one: named like ours, a regular file
    // of mode 0600, empty or beginning with `start` (as much of it as the file
    // holds), unchanged for `minimumAgeSeconds`, and not held by a live writer
    // (each writer keeps a lock on its temporary). A user's file that merely
    // has such a name stays. Answers how many were removed.
    static int removeStaleTemporaries(const std::string& destination,
                                      std::int64_t minimumAgeSeconds, std::string_view start);

private:
    // What lies at a path, to tell whether it is still the same file.
    struct Found {
        bool exists = false;
        FileStatus status;
        std::string head; // its first bytes, where it can be read
        bool operator==(const Found& other) const;
    };
    static constexpr std::size_t kComparedBytes = 4096;
    static Found look(const std::string& path);
    bool fail(int error);

    std::string m_destination;
    std::string m_temporaryPath;
    FileIdentity m_temporaryIdentity;
    std::unique_ptr<FileHandle> m_handle;
    Found m_found; // at the destination when begin() ran
    unsigned m_mode = 0;
    unsigned m_owner = 0;
    unsigned m_group = 0;
    int m_error = 0;
};

} // namespace ovrin::platform
