#pragma once

#include "indexfile/FileStamp.h"
#include "indexfile/IndexReader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

namespace platform {
class FileHandle;
}

// The entries of an older index by path, so an update decodes only pictures
// that changed. Memory stays small for millions of entries: a sorted table of
// path hashes and file offsets (16 bytes an entry); the path itself is read
// back from the file and compared on every hit.
//
// An entry is taken over only when its stamp was settled before the run that
// recorded it started (FileStamp::settledBefore). An index that does not
// record that start has every entry decoded again, once: its stamps may have
// been taken in the very second of a change, and nothing tells which.
class IndexLookup {
public:
    IndexLookup();
    ~IndexLookup();
    IndexLookup(const IndexLookup&) = delete;
    IndexLookup& operator=(const IndexLookup&) = delete;

    // Reads the index at `path`. False when it cannot be read, is no index
    // file, or was made with another pixel number (its signatures are then of
    // no use), or when `proceed` was cleared.
    bool load(const std::string& path, std::int32_t pixelNumber,
              const std::atomic<bool>* proceed = nullptr);

    // The entry that holds `path`, if any.
    std::optional<std::size_t> locate(std::string_view path);
    // The entry's stored values and structure fingerprint when its recorded
    // stamp equals `stamp` and was settled before the recording run started,
    // and it has a fingerprint.
    bool storedIfUnchanged(std::size_t entry, const FileStamp& stamp,
                           std::vector<std::uint8_t>& stored, std::vector<std::uint8_t>& fine);
    // The entry's path goes on into the new index.
    void keep(std::size_t entry);

    std::int64_t entries() const { return static_cast<std::int64_t>(m_table.size()); }
    // Entries whose path did not go on into the new index.
    std::int64_t removed() const;

private:
    struct Slot {
        std::uint64_t hash;
        std::uint64_t offset;
    };
    // Reads the entry's chunks into m_block (kept for the next question).
    bool readEntry(std::size_t entry);
    bool setEntry(std::size_t pathSize);

    std::unique_ptr<platform::FileHandle> m_file;
    std::vector<Slot> m_table;              // sorted by hash
    std::optional<std::int64_t> m_runStart; // of the run that wrote the index
    std::vector<bool> m_kept;
    std::vector<std::uint8_t> m_block;
    std::size_t m_cached = static_cast<std::size_t>(-1);
    bool m_cachedValid = false;
    std::string_view m_path;   // in m_block
    std::size_t m_thumbAt = 0; // in m_block
};

} // namespace ovrin
