#include "indexfile/TIndexReader.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"

#include <algorithm>
#include <fcntl.h>

namespace ovrin {

using platform::FileHandle;
using platform::FileManager;

namespace {

constexpr std::size_t kStampSize = 16;

} // namespace

TIndexReader::TIndexReader(const std::string& path)
{
    const int fd = FileManager::openRegularFile(path, O_RDONLY, &m_openFailure);
    if (fd < 0)
        return;
    m_handle = FileHandle::adoptForReading(fd);
    m_size = m_handle->fileSize();
}

TIndexReader::~TIndexReader() = default;

std::uint64_t TIndexReader::offset() const
{
    return m_handle ? m_handle->offsetInFile() : 0;
}

bool TIndexReader::isIndexFile()
{
    if (!m_handle || m_size < TChunk::kHeaderSize)
        return false;
    const auto id = m_handle->peekInPlace(4);
    return id.size() == 4 && bigendian::load32(id.data()) == TChunk::kHeadID;
}

bool TIndexReader::readChunkHeader(std::uint32_t& id, std::int64_t& size)
{
    const auto header = m_handle->readInPlace(TChunk::kHeaderSize);
    if (header.size() != static_cast<std::size_t>(TChunk::kHeaderSize))
        return false;
    id = bigendian::load32(header.data());
    size = static_cast<std::int32_t>(bigendian::load32(header.data() + 4));
    // A chunk running past the end (or a negative size) yields nothing and ends
    // the walk, as a short read does.
    return size >= 0 && size <= m_size - static_cast<std::int64_t>(m_handle->offsetInFile());
}

std::span<const std::uint8_t> TIndexReader::readData(std::size_t size)
{
    if (size <= FileHandle::kBufferSize)
        return m_handle->readInPlace(size);
    m_large.resize(size);
    m_large.resize(m_handle->read(m_large.data(), size));
    return m_large;
}

std::int32_t TIndexReader::readHead()
{
    std::uint32_t id = 0;
    std::int64_t size = 0;
    if (!m_handle || !readChunkHeader(id, size))
        return 0;
    const auto keep = std::min<std::size_t>(static_cast<std::size_t>(size), TChunkHead::kDataSize);
    const auto data = readData(keep);
    std::int32_t version = 0;
    std::int32_t pixelNumber = 0;
    TChunkHead::decode(data.data(), data.size(), version, pixelNumber);
    m_handle->skip(static_cast<std::uint64_t>(size) - keep);
    return pixelNumber;
}

bool TIndexReader::next(Entry& entry, const std::atomic<bool>* proceed)
{
    if (!m_handle)
        return false;
    while (m_size - static_cast<std::int64_t>(m_handle->offsetInFile()) >= TChunk::kHeaderSize) {
        if (proceed != nullptr && !proceed->load())
            return false;
        const std::uint64_t chunkOffset = m_handle->offsetInFile();
        std::uint32_t id = 0;
        std::int64_t size = 0;
        if (!readChunkHeader(id, size))
            return false;
        const auto length = static_cast<std::size_t>(size);
        if (length > TChunk::maxDataSize(id)) {
            // Oversized or of another kind: a path too long to be one leaves
            // no current path, so its thumbnails are passed over too.
            if (id == TChunk::kPathID)
                m_havePath = false;
            if (!m_handle->skip(length))
                return false;
            continue;
        }
        const auto data = readData(length);
        if (data.size() != length)
            return false;

        if (id == TChunk::kPathID) {
            const auto path = TChunkPath::decodePath(data.data(), data.size());
            m_havePath = path.has_value();
            if (path)
                m_path.assign(*path);
            m_pathOffset = chunkOffset;
        } else if (id == TChunk::kThumbID && m_havePath && !m_path.empty()) {
            entry.path = m_path;
            entry.pathOffset = m_pathOffset;
            entry.stored = data;
            entry.stamp.reset();
            if (m_readStamps) {
                // The stamp's header may move the buffer the values lie in.
                m_stored.assign(data.begin(), data.end());
                entry.stored = m_stored;
                const auto header = m_handle->peekInPlace(TChunk::kHeaderSize);
                if (header.size() == static_cast<std::size_t>(TChunk::kHeaderSize) &&
                    bigendian::load32(header.data()) == TChunk::kStampID &&
                    bigendian::load32(header.data() + 4) == kStampSize &&
                    m_size - static_cast<std::int64_t>(m_handle->offsetInFile()) >=
                        static_cast<std::int64_t>(TChunk::kHeaderSize + kStampSize)) {
                    m_handle->skip(TChunk::kHeaderSize);
                    const auto stamp = m_handle->readInPlace(kStampSize);
                    if (stamp.size() == kStampSize)
                        entry.stamp = TFileStamp{
                            static_cast<std::int64_t>(bigendian::load64(stamp.data())),
                            static_cast<std::int64_t>(bigendian::load64(stamp.data() + 8))};
                }
            }
            return true;
        }
    }
    return false;
}

} // namespace ovrin
