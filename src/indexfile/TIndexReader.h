#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

namespace platform {
class FileHandle;
}

// Walks an index file as the index search reads it: the file's size is taken
// once and bounds the walk, a short read ends it (the file changed under us),
// chunks of other kinds are passed over, and a thumbnail counts only under a
// readable, non-empty path, which stays current until the next path chunk.
// Chunks are read in place: nothing is allocated per entry.
class TIndexReader {
public:
    struct Entry {
        std::string_view path;                // valid until the next path chunk
        std::span<const std::uint8_t> stored; // big-endian values; valid until next()
    };

    explicit TIndexReader(const std::string& path);
    ~TIndexReader();
    TIndexReader(const TIndexReader&) = delete;
    TIndexReader& operator=(const TIndexReader&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    // Reads the first chunk and takes it as the head, whatever its ID; its
    // pixel number (0 when the head carries none).
    std::int32_t readHead();
    // The next thumbnail under a path; false at the end. When `proceed` is
    // given it is tested before every chunk and a cleared flag ends the walk.
    bool next(Entry& entry, const std::atomic<bool>* proceed = nullptr);

private:
    std::unique_ptr<platform::FileHandle> m_handle;
    std::int64_t m_size = 0;
    std::vector<std::uint8_t> m_large; // a chunk too big for the handle's buffer
    std::string m_path;
    bool m_havePath = true; // the empty path at the start: thumbnails are passed over
};

} // namespace ovrin
