#pragma once

#include "indexfile/FileStamp.h"
#include "indexfile/IndexReader.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ovrin {

namespace platform {
class FileHandle;
}

// The one writer of index files: a head, the start of the run that writes
// it, then for every picture its path chunk, its thumbnail chunk right after
// it, its stamp chunk and, when the picture has one, its structure
// fingerprint (FineSignature::store bytes). Writes go
// through the handle's buffer; a failed write sticks to the handle, so the
// caller checks once at the end.
class IndexWriter {
public:
    explicit IndexWriter(platform::FileHandle& handle) : m_handle(handle) {}

    bool writeHead(std::int32_t pixelNumber);
    // Right after the head, from FileStamp::clockNs() taken before the run
    // looked at any file.
    bool writeRunStart(std::int64_t startNs);
    // A picture's entry from its signature in host order.
    bool writeEntry(std::string_view path, std::span<const std::int16_t> values,
                    const FileStamp& stamp, std::span<const std::uint8_t> fine = {});
    // The same from values already stored big-endian (an unchanged picture
    // taken over from an older index).
    bool writeStoredEntry(std::string_view path, std::span<const std::uint8_t> stored,
                          const FileStamp& stamp, std::span<const std::uint8_t> fine = {});

private:
    bool writeChunk(std::uint32_t id, std::span<const std::uint8_t> data);
    bool writeStamp(const FileStamp& stamp);

    platform::FileHandle& m_handle;
    std::vector<std::uint8_t> m_values;
};

} // namespace ovrin
