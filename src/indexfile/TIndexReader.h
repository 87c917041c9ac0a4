#pragma once

#include "platform/LoadFailure.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

namespace platform {
class FileHandle;
}

// What an index records of a picture's file beside its signature, so that an
// update can tell whether the file changed.
struct TFileStamp {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};

// The one reader of index files. The file's size is taken once and bounds the
// walk; a short read ends it (the file changed under us); chunks of other
// kinds, and whatever part of a chunk its kind cannot need, are passed over by
// seeking, never read into memory. A thumbnail counts only under a readable,
// non-empty path, which stays current until the next path chunk. Chunks are
// read in place: nothing is allocated per entry.
class TIndexReader {
public:
    struct Entry {
        std::string_view path;                // valid until the next path chunk
        std::span<const std::uint8_t> stored; // big-endian values; valid until next()
        std::optional<TFileStamp> stamp;      // with setReadStamps(true) only
        std::uint64_t pathOffset = 0;         // where the entry's path chunk starts
    };

    explicit TIndexReader(const std::string& path);
    ~TIndexReader();
    TIndexReader(const TIndexReader&) = delete;
    TIndexReader& operator=(const TIndexReader&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    // Why the file could not be opened (None when it is open).
    platform::LoadFailure openFailure() const { return m_openFailure; }
    // An index file: at least one chunk header long and starting with the
    // head's ID. Only these decide; the handle stays at the start.
    bool isIndexFile();
    // Reads the first chunk and takes it as the head, whatever its ID; its
    // pixel number (0 when the head carries none).
    std::int32_t readHead();
    // Also take the stamp chunk that may follow a thumbnail.
    void setReadStamps(bool read) { m_readStamps = read; }
    // The next thumbnail under a path; false at the end. When `proceed` is
    // given it is tested before every chunk and a cleared flag ends the walk.
    bool next(Entry& entry, const std::atomic<bool>* proceed = nullptr);

    std::int64_t size() const { return m_size; }
    std::uint64_t offset() const;

private:
    bool readChunkHeader(std::uint32_t& id, std::int64_t& size);
    std::span<const std::uint8_t> readData(std::size_t size);

    std::unique_ptr<platform::FileHandle> m_handle;
    platform::LoadFailure m_openFailure = platform::LoadFailure::None;
    std::int64_t m_size = 0;
    std::vector<std::uint8_t> m_large;  // a chunk too big for the handle's buffer
    std::vector<std::uint8_t> m_stored; // a thumbnail kept while its stamp is read
    std::string m_path;
    std::uint64_t m_pathOffset = 0;
    bool m_havePath = true; // the empty path at the start: thumbnails are passed over
    bool m_readStamps = false;
};

} // namespace ovrin
