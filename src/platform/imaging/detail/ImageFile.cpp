#include "platform/imaging/detail/ImageFile.h"

#include "platform/fs/SystemError.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrin::platform {

ImageFile::ImageFile(int fd, const std::atomic<bool>* proceed) : m_fd(fd), m_proceed(proceed)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        m_size = static_cast<std::int64_t>(st.st_size);
    else
        m_readError = true;
}

ImageFile::~ImageFile()
{
    ::close(m_fd);
}

bool ImageFile::seek(std::int64_t position)
{
    if (position < 0)
        return false;
    m_position = position;
    return true;
}

std::int64_t ImageFile::read(void* buffer, std::size_t count)
{
    constexpr std::size_t kBuffer = 64 * 1024;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t offset = m_position - m_bufferStart;
        if (offset >= 0 && static_cast<std::size_t>(offset) < m_buffered) {
            const std::size_t n =
                std::min(count - done, m_buffered - static_cast<std::size_t>(offset));
            std::memcpy(out + done, m_buffer.data() + offset, n);
            done += n;
            m_position += static_cast<std::int64_t>(n);
            continue;
        }
        if (count - done >= kBuffer) {
            const std::int64_t got = readAt(m_position, out + done, count - done);
            if (got < 0)
                return -1;
            done += static_cast<std::size_t>(got);
            m_position += got;
            break;
        }
        m_buffer.resize(kBuffer);
        const std::int64_t got = readAt(m_position, m_buffer.data(), kBuffer);
        if (got < 0)
            return -1;
        m_bufferStart = m_position;
        m_buffered = static_cast<std::size_t>(got);
        if (got == 0)
            break;
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t ImageFile::readAt(std::int64_t offset, void* buffer, std::size_t count)
{
    if (m_readError || !proceeding() || offset < 0)
        return -1;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(m_fd, out + done, count - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (platform::lastSystemError() == EINTR)
                continue;
            m_readError = true;
            return -1;
        }
        if (got == 0) {
            m_reachedEnd = true;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

LoadFailure ImageFile::failure() const
{
    if (!proceeding())
        return LoadFailure::Stopped;
    if (m_readError)
        return LoadFailure::ReadError;
    return LoadFailure::None;
}

LoadFailure ImageFile::failureOr(LoadFailure decoderReason) const
{
    const LoadFailure why = failure();
    return why != LoadFailure::None ? why : decoderReason;
}

} // namespace ovrin::platform
