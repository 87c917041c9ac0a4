#pragma once

#include "platform/fs/LoadFailure.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ovrin::platform {

// The bytes of one picture file for a decoder: positioned reads that refuse
// to go on once the run is stopped, so a decoder waiting for data ends
// promptly, and that tell a read error from the end of the file.
class ImageFile {
public:
    // Takes over `fd` (a regular file) and closes it when destroyed.
    ImageFile(int fd, const std::atomic<bool>* proceed);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    std::int64_t size() const { return m_size; }
    std::int64_t position() const { return m_position; }
    bool seek(std::int64_t position);

    // Reads up to `count` bytes at the position and moves past them. Fewer
    // only at the end of the file; -1 after a read error or a stop. Small
    // reads (decoders ask for a few bytes of a chunk header at a time) are
    // served from a buffer of the file's next bytes.
    std::int64_t read(void* buffer, std::size_t count);
    // Reads at `offset`, unbuffered, without moving the position.
    std::int64_t readAt(std::int64_t offset, void* buffer, std::size_t count);

    // Whether the run still wants this picture.
    bool proceeding() const
    {
        return m_proceed == nullptr || m_proceed->load(std::memory_order_relaxed);
    }
    const std::atomic<bool>* proceed() const { return m_proceed; }
    bool reachedEnd() const { return m_reachedEnd; }

    // Why reading ended early (ReadError or Stopped); None while all is well.
    LoadFailure failure() const;
    // The reason to report for a decode that failed: a stop or read error if
    // there was one, else `decoderReason`.
    LoadFailure failureOr(LoadFailure decoderReason) const;

private:
    int m_fd;
    const std::atomic<bool>* m_proceed;
    std::int64_t m_size = 0;
    std::int64_t m_position = 0;
    bool m_readError = false;
    bool m_reachedEnd = false;
    std::vector<unsigned char> m_buffer;
    std::int64_t m_bufferStart = 0; // file offset of m_buffer[0]
    std::size_t m_buffered = 0;     // valid bytes in m_buffer
};

} // namespace ovrin::platform
