#include "platform/fs/FileHandle.h"

#include "platform/fs/FileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrin::platform {

namespace {

std::atomic<std::int64_t> g_writeBudget{-1};

} // namespace

FileHandle::FileHandle(int fd, Mode mode) : m_fd(fd), m_mode(mode)
{
    m_buffer.reserve(kBufferSize);
}

std::unique_ptr<FileHandle> FileHandle::forReading(const std::string& path, int* error)
{
    const int fd = FileManager::openRegularFile(path, O_RDONLY);
    if (fd < 0) {
        if (error != nullptr)
            *error = errno;
        return nullptr;
    }
    return std::unique_ptr<FileHandle>(new FileHandle(fd, Mode::Read));
}

std::unique_ptr<FileHandle> FileHandle::forWriting(const std::string& path)
{
    const int fd = FileManager::openRegularFile(path, O_WRONLY);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<FileHandle>(new FileHandle(fd, Mode::Write));
}

std::unique_ptr<FileHandle> FileHandle::adoptForReading(int fd)
{
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<FileHandle>(new FileHandle(fd, Mode::Read));
}

std::unique_ptr<FileHandle> FileHandle::adoptForWriting(int fd)
{
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<FileHandle>(new FileHandle(fd, Mode::Write));
}

FileHandle::~FileHandle()
{
    closeFile();
}

bool FileHandle::fillReadBuffer()
{
    m_buffer.resize(kBufferSize);
    ssize_t got = 0;
    do {
        got = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (got < 0 && errno == EINTR);
    m_buffer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    m_readPos = 0;
    return got > 0;
}

std::size_t FileHandle::read(void* buffer, std::size_t length)
{
    if (m_fd < 0 || m_mode != Mode::Read)
        return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        if (m_readPos == m_buffer.size() && !fillReadBuffer())
            break;
        const std::size_t take = std::min(length - done, m_buffer.size() - m_readPos);
        std::memcpy(out + done, m_buffer.data() + m_readPos, take);
        m_readPos += take;
        done += take;
    }
    m_offset += done;
    return done;
}

bool FileHandle::skip(std::uint64_t length)
{
    if (m_fd < 0 || m_mode != Mode::Read)
        return false;
    const std::size_t buffered = m_buffer.size() - m_readPos;
    if (length <= buffered) {
        m_readPos += static_cast<std::size_t>(length);
        m_offset += length;
        return true;
    }
    return seekToFileOffset(m_offset + length);
}

std::size_t FileHandle::readAt(std::uint64_t offset, void* buffer, std::size_t length) const
{
    if (m_fd < 0)
        return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(m_fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool FileHandle::writeData(const void* data, std::size_t length)
{
    if (m_fd < 0 || m_mode != Mode::Write || m_writeFailed)
        return false;
    const auto* in = static_cast<const std::uint8_t*>(data);
    if (m_buffer.size() + length > kBufferSize && !flush())
        return false;
    if (length >= kBufferSize) {
        if (!writeAll(in, length))
            return false;
    } else {
        m_buffer.insert(m_buffer.end(), in, in + length);
    }
    m_offset += length;
    return true;
}

void FileHandle::setWriteBudgetForTesting(std::int64_t bytes)
{
    g_writeBudget.store(bytes);
}

bool FileHandle::writeAll(const std::uint8_t* data, std::size_t length)
{
    std::size_t done = 0;
    while (done < length && !m_writeFailed) {
        std::size_t step = length - done;
        const std::int64_t budget = g_writeBudget.load();
        if (budget >= 0) {
            step = std::min<std::size_t>(step, static_cast<std::size_t>(budget));
            if (step == 0) {
                m_writeFailed = true;
                m_writeError = ENOSPC;
                break;
            }
            g_writeBudget.fetch_sub(static_cast<std::int64_t>(step));
        }
        const ssize_t wrote = ::write(m_fd, data + done, step);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            m_writeFailed = true;
            m_writeError = wrote < 0 ? errno : ENOSPC;
        } else {
            done += static_cast<std::size_t>(wrote);
        }
    }
    return !m_writeFailed;
}

bool FileHandle::flush()
{
    if (m_fd < 0 || m_mode != Mode::Write)
        return !m_writeFailed;
    if (!m_buffer.empty() && !m_writeFailed)
        writeAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return !m_writeFailed;
}

bool FileHandle::synchronize()
{
    if (!flush() || m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0) {
        m_writeFailed = true;
        m_writeError = errno;
    }
    return !m_writeFailed;
}

bool FileHandle::seekToFileOffset(std::uint64_t offset)
{
    if (m_fd < 0 || !flush())
        return false;
    m_buffer.clear();
    m_readPos = 0;
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        return false;
    m_offset = offset;
    return true;
}

bool FileHandle::seekToEndOfFile()
{
    if (m_fd < 0 || !flush())
        return false;
    m_buffer.clear();
    m_readPos = 0;
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0)
        return false;
    m_offset = static_cast<std::uint64_t>(end);
    return true;
}

std::int64_t FileHandle::fileSize()
{
    if (m_fd < 0)
        return 0;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return 0;
    const auto onDisk = static_cast<std::int64_t>(st.st_size);
    if (m_mode == Mode::Write)
        return std::max(onDisk, static_cast<std::int64_t>(m_offset));
    return onDisk;
}

bool FileHandle::closeFile()
{
    if (m_fd < 0)
        return !m_writeFailed;
    flush();
    if (::close(m_fd) != 0 && m_mode == Mode::Write && !m_writeFailed) {
        m_writeFailed = true;
        m_writeError = errno;
    }
    m_fd = -1;
    return !m_writeFailed;
}

} // namespace ovrin::platform
