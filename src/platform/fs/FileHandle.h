#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ovrin::platform {

// A buffered file handle: many small reads or writes (an index file is read
// and written 4 and 4 bytes at a time) cost one system call per buffer, not
// one each. A handle either reads or writes. After a failed write every later
// write fails too, so a caller can check once at the end.
class FileHandle {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // No handle when the file cannot be opened (a reading one: with the error
    // number in `error`). A writing handle starts at offset 0 and neither
    // creates nor shortens the file.
    static std::unique_ptr<FileHandle> forReading(const std::string& path, int* error = nullptr);
    static std::unique_ptr<FileHandle> forWriting(const std::string& path);
    // Takes over a descriptor already open for reading or for writing.
    static std::unique_ptr<FileHandle> adoptForReading(int fd);
    static std::unique_ptr<FileHandle> adoptForWriting(int fd);

    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // At most `length` bytes, fewer at the end of the file.
    std::size_t read(void* buffer, std::size_t length);

    // Moves `length` bytes on without reading them (reading handles only).
    bool skip(std::uint64_t length);
    // Reads at an offset of the file without moving the handle.
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const;
    int descriptor() const { return m_fd; }

    bool writeData(const void* data, std::size_t length);

    std::uint64_t offsetInFile() const { return m_offset; }
    bool seekToFileOffset(std::uint64_t offset);
    bool seekToEndOfFile();
    // Size of the file now, pending writes included.
    std::int64_t fileSize();

    bool flush();
    // Flushes and asks the system to put the bytes on the disk.
    bool synchronize();
    bool writeFailed() const { return m_writeFailed; }
    // The error number of the first failed write, 0 when none failed.
    int writeError() const { return m_writeError; }

    // Test hook standing in for a full disk: after this many more bytes have
    // reached the system, every write of every handle fails with ENOSPC.
    // A negative budget (the default) means no limit.
    static void setWriteBudgetForTesting(std::int64_t bytes);
    // Flushes pending writes; false when any write of this handle failed.
    bool closeFile();

private:
    enum class Mode { Read, Write };
    FileHandle(int fd, Mode mode);
    bool fillReadBuffer();
    bool writeAll(const std::uint8_t* data, std::size_t length);

    int m_fd;
    Mode m_mode;
    std::uint64_t m_offset = 0; // as the caller sees it
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_readPos = 0; // next unread byte of m_buffer (read mode)
    bool m_writeFailed = false;
    int m_writeError = 0;
};

} // namespace ovrin::platform
