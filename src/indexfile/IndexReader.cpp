#include "indexfile/IndexReader.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileHandle.h"
#include "platform/fs/FileManager.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>

namespace ovrin {

using platform::FileHandle;
using platform::FileManager;

namespace {

// Reads grow from the size a check of the head needs to one large enough that
// a read costs little beside the bytes it copies, yet small enough to stay in
// the processor's second-level cache while its chunks are walked.
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kReadBlock = 256 * 1024;
constexpr std::size_t kHeaderSize = static_cast<std::size_t>(TChunk::kHeaderSize);
// How far past a thumbnail its entry's other chunks are looked for: well
// beyond what they take, and a chunk larger than that is left to the walk.
constexpr std::size_t kMaxLookAhead = 64 * 1024;

} // namespace

IndexReader::IndexReader(const std::string& path) : m_block(kFirstBlock)
{
    const int fd = FileManager::openRegularFile(path, O_RDONLY, &m_openFailure);
    if (fd < 0)
        return;
    m_handle = FileHandle::adoptForReading(fd);
    m_size = m_handle->fileSize();
}

IndexReader::~IndexReader() = default;

bool IndexReader::fill(std::size_t length)
{
    if (m_end - m_pos >= length)
        return true;
    if (m_pathInBuffer) {
        m_path.assign(reinterpret_cast<const char*>(m_buffer.get() + m_pathAt), m_pathLength);
        m_pathInBuffer = false;
    }
    if (m_end > m_pos)
        std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end - m_pos);
    m_bufferOffset += m_pos;
    m_end -= m_pos;
    m_pos = 0;
    const std::size_t block = std::max(length, m_block);
    m_block = std::min(m_block * 2, kReadBlock);
    if (m_capacity < block) {
        auto larger = std::make_unique_for_overwrite<std::uint8_t[]>(block);
        if (m_end > 0)
            std::memcpy(larger.get(), m_buffer.get(), m_end);
        m_buffer = std::move(larger);
        m_capacity = block;
    }
    // Nothing past the size taken at the start is read.
    const std::uint64_t from = m_bufferOffset + m_end;
    const std::uint64_t left =
        static_cast<std::uint64_t>(m_size) > from ? static_cast<std::uint64_t>(m_size) - from : 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_capacity - m_end, left));
    m_end += m_handle->readAt(from, m_buffer.get() + m_end, want);
    return m_end - m_pos >= length;
}

bool IndexReader::endWalk()
{
    m_ended = true;
    return false;
}

bool IndexReader::isIndexFile()
{
    if (!m_handle || m_size < TChunk::kHeaderSize || !fill(4))
        return false;
    return bigendian::load32(m_buffer.get() + m_pos) == TChunk::kHeadID;
}

std::int32_t IndexReader::readHead()
{
    if (!m_handle)
        return 0;
    const std::uint64_t at = offset();
    if (!fill(kHeaderSize)) {
        m_pos = m_end;
        return 0;
    }
    const std::uint8_t* header = m_buffer.get() + m_pos;
    const auto size =
        static_cast<std::int64_t>(static_cast<std::int32_t>(bigendian::load32(header + 4)));
    m_pos += kHeaderSize;
    // A size running past the end (or a negative one) yields no pixel number;
    // the walk goes on behind the header.
    if (size < 0 || size > m_size - static_cast<std::int64_t>(offset()))
        return 0;
    const auto keep = std::min<std::size_t>(static_cast<std::size_t>(size), TChunkHead::kDataSize);
    fill(keep);
    std::int32_t version = 0;
    std::int32_t pixelNumber = 0;
    TChunkHead::decode(m_buffer.get() + m_pos, std::min(keep, m_end - m_pos), version, pixelNumber);
    const std::uint64_t next = at + kHeaderSize + static_cast<std::uint64_t>(size);
    if (next <= m_bufferOffset + m_end) {
        m_pos = static_cast<std::size_t>(next - m_bufferOffset);
    } else {
        m_bufferOffset = next;
        m_pos = m_end = 0;
    }
    return pixelNumber;
}

std::string_view IndexReader::currentPath() const
{
    const char* bytes =
        m_pathInBuffer ? reinterpret_cast<const char*>(m_buffer.get() + m_pathAt) : m_path.data();
    return {bytes, m_pathLength};
}

bool IndexReader::currentPathIsValid()
{
    if (m_pathState == PathState::Unchecked) {
        const std::string_view path = currentPath();
        m_pathState =
            TChunkPath::decodePath(reinterpret_cast<const std::uint8_t*>(path.data()), path.size())
                ? PathState::Valid
                : PathState::Invalid;
    }
    return m_pathState == PathState::Valid;
}

void IndexReader::takeFollowing(std::size_t thumbAt, Entry& entry)
{
    // The thumbnail chunk stays in the buffer while the chunks after it are
    // read in, so the spans handed out point into the buffer as it lies
    // after the last fill.
    const std::size_t thumbEnd = m_pos - thumbAt;
    std::size_t at = thumbEnd; // from the thumbnail chunk's start
    std::optional<std::size_t> fineAt;
    std::size_t fineLength = 0;
    entry.stamp.reset();
    const auto inBuffer = [&](std::size_t length) {
        if (m_end - thumbAt >= length)
            return true;
        m_pos = thumbAt;
        const bool filled = fill(length);
        thumbAt = m_pos;
        return filled;
    };
    while (at - thumbEnd <= kMaxLookAhead && inBuffer(at + kHeaderSize)) {
        const std::uint8_t* header = m_buffer.get() + thumbAt + at;
        const std::uint32_t id = bigendian::load32(header);
        const auto size =
            static_cast<std::int64_t>(static_cast<std::int32_t>(bigendian::load32(header + 4)));
        const std::int64_t left = m_size - static_cast<std::int64_t>(m_bufferOffset + thumbAt + at);
        // The next entry, or a chunk the walk itself must judge: damaged, or
        // too large to be looked over here.
        if (id == TChunk::kPathID || id == TChunk::kThumbID || size < 0 ||
            size > left - TChunk::kHeaderSize ||
            static_cast<std::size_t>(size) > kMaxLookAhead - (at - thumbEnd) ||
            !inBuffer(at + kHeaderSize + static_cast<std::size_t>(size)))
            break;
        const auto length = static_cast<std::size_t>(size);
        const std::uint8_t* bytes = m_buffer.get() + thumbAt + at + kHeaderSize; // filled anew
        if (id == TChunk::kStampID && length == FileStamp::kStoredSize) {
            entry.stamp = FileStamp{static_cast<std::int64_t>(bigendian::load64(bytes)),
                                    static_cast<std::int64_t>(bigendian::load64(bytes + 8)),
                                    static_cast<std::int64_t>(bigendian::load64(bytes + 16))};
        } else if (id == TChunk::kFineID && length <= TChunk::maxDataSize(id)) {
            fineAt = at + kHeaderSize;
            fineLength = length;
        }
        at += kHeaderSize + length;
    }
    m_pos = thumbAt + at;
    const std::uint8_t* thumb = m_buffer.get() + thumbAt;
    entry.stored = {thumb + kHeaderSize, thumbEnd - kHeaderSize};
    entry.fine = fineAt ? std::span<const std::uint8_t>(thumb + *fineAt, fineLength)
                        : std::span<const std::uint8_t>();
}

bool IndexReader::next(Entry& entry, const std::atomic<bool>* proceed)
{
    return next(entry, proceed, Filter{});
}

bool IndexReader::next(Entry& entry, const std::atomic<bool>* proceed, const Filter& filter)
{
    if (!m_handle || m_ended)
        return false;
    for (;;) {
        if (proceed != nullptr && !proceed->load())
            return false;
        const std::uint64_t at = offset();
        const std::int64_t left = m_size - static_cast<std::int64_t>(at);
        if (left < TChunk::kHeaderSize)
            return false;
        if (m_end - m_pos < kHeaderSize && !fill(kHeaderSize))
            return endWalk();
        const std::uint8_t* header = m_buffer.get() + m_pos;
        const std::uint32_t id = bigendian::load32(header);
        const auto size =
            static_cast<std::int64_t>(static_cast<std::int32_t>(bigendian::load32(header + 4)));
        // A chunk running past the end (or a negative size) yields nothing and
        // ends the walk, as a short read does.
        if (size < 0 || size > left - TChunk::kHeaderSize)
            return endWalk();
        const auto length = static_cast<std::size_t>(size);
        if (length > TChunk::maxDataSize(id)) {
            // Oversized or of another kind: a path too long to be one leaves
            // no current path, so its thumbnails are passed over too.
            if (id == TChunk::kPathID)
                m_pathState = PathState::None;
            const std::uint64_t next = at + kHeaderSize + length;
            if (next <= m_bufferOffset + m_end) {
                m_pos = static_cast<std::size_t>(next - m_bufferOffset);
            } else {
                m_bufferOffset = next;
                m_pos = m_end = 0;
            }
            continue;
        }
        if (m_end - m_pos < kHeaderSize + length && !fill(kHeaderSize + length))
            return endWalk();
        const std::size_t data = m_pos + kHeaderSize;
        m_pos = data + length;

        if (id == TChunk::kThumbID) {
            if (m_pathState == PathState::None)
                continue;
            ++m_entries;
            if (m_pathState == PathState::Invalid)
                continue;
            // The path is checked only for a thumbnail the filter accepts.
            const std::span<const std::uint8_t> stored(m_buffer.get() + data, length);
            if ((filter.accept != nullptr && !filter.accept(filter.context, stored)) ||
                !currentPathIsValid())
                continue;
            takeFollowing(data - kHeaderSize, entry);
            entry.path = currentPath();
            entry.pathOffset = m_pathOffset;
            return true;
        }
        if (id == TChunk::kPathID) {
            m_pathState = length == 0 ? PathState::None : PathState::Unchecked;
            m_pathInBuffer = true;
            m_pathAt = data;
            m_pathLength = length;
            m_pathOffset = at;
        }
    }
}

} // namespace ovrin
