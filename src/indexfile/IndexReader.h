#pragma once

#include "indexfile/FileStamp.h"
#include "platform/fs/LoadFailure.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ovrin {

namespace platform {
class FileHandle;
}

// The one reader of index files. The file's size is taken once and bounds the
// walk; a short read ends it (the file changed under us); chunks of other
// kinds, and chunks larger than their kind can need, are passed over by
// seeking, never read into memory. A thumbnail counts only under a non-empty
// path of valid UTF-8 without NUL, which stays current until the next path
// chunk. The file is read in large blocks and its chunks are walked where they
// lie: nothing is allocated or copied per entry.
class IndexReader {
public:
    struct Entry {
        std::string_view path;                // valid until the next call of next()
        std::span<const std::uint8_t> stored; // big-endian values; the same
        std::uint64_t pathOffset = 0;         // where the entry's path chunk starts
        // From the chunks after the thumbnail, up to the next path or
        // thumbnail: the file as it was indexed, when recorded, and its
        // stored structure fingerprint (empty when none; valid until the
        // next call of next()).
        std::optional<FileStamp> stamp;
        std::span<const std::uint8_t> fine;
    };
    // A test of a thumbnail's stored values made before its path is looked
    // at: a search that turns down nearly every entry does not check the
    // paths of the ones it turns down.
    struct Filter {
        bool (*accept)(void* context, std::span<const std::uint8_t> stored) = nullptr;
        void* context = nullptr;
    };

    explicit IndexReader(const std::string& path);
    ~IndexReader();
    IndexReader(const IndexReader&) = delete;
    IndexReader& operator=(const IndexReader&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    // Why the file could not be opened (None when it is open).
    platform::LoadFailure openFailure() const { return m_openFailure; }
    // An index file: at least one chunk header long and starting with the
    // head's ID. Only these decide; the reader stays at the start.
    bool isIndexFile();
    // Reads the first chunk and takes it as the head, whatever its ID; its
    // pixel number (0 when the head carries none).
    std::int32_t readHead();
    // The next thumbnail under a path; false at the end. When `proceed` is
    // given it is tested before every chunk and a cleared flag ends the walk.
    bool next(Entry& entry, const std::atomic<bool>* proceed = nullptr);
    // The same for the thumbnails that `filter` accepts only.
    bool next(Entry& entry, const std::atomic<bool>* proceed, const Filter& filter);
    // Thumbnails read under a non-empty path chunk so far, accepted or not:
    // whether a path is valid is found out only for the thumbnails accepted.
    std::int64_t entries() const { return m_entries; }

    std::int64_t size() const { return m_size; }
    // Where the walk stands in the file.
    std::uint64_t offset() const { return m_bufferOffset + m_pos; }

private:
    enum class PathState : std::uint8_t { None, Unchecked, Valid, Invalid };

    // At least `length` unread bytes in the buffer; false when the file ends
    // first.
    bool fill(std::size_t length);
    bool endWalk(); // a damaged or shortened file: no more entries
    bool currentPathIsValid();
    // Takes the chunks after an accepted thumbnail (the one at `thumbAt` in
    // the buffer) up to the next path or thumbnail: its stamp and fingerprint.
    void takeFollowing(std::size_t thumbAt, Entry& entry);
    std::string_view currentPath() const;

    std::unique_ptr<platform::FileHandle> m_handle;
    platform::LoadFailure m_openFailure = platform::LoadFailure::None;
    std::int64_t m_size = 0;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_block = 0;          // the next read's size, as it grows
    std::size_t m_pos = 0;            // next unread byte of m_buffer
    std::size_t m_end = 0;            // end of the bytes read into m_buffer
    std::uint64_t m_bufferOffset = 0; // where m_buffer[0] lies in the file
    bool m_ended = false;
    // The current path lies in the buffer at m_pathAt until the buffer moves
    // on; then it is kept in m_path.
    PathState m_pathState = PathState::None;
    bool m_pathInBuffer = false;
    std::size_t m_pathAt = 0;
    std::size_t m_pathLength = 0;
    std::string m_path;
    std::uint64_t m_pathOffset = 0;
    std::int64_t m_entries = 0;
};

} // namespace ovrin
