#include "indexfile/TIndexReader.h"

#include "indexfile/TChunk.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"

namespace ovrin {

using platform::FileHandle;

TIndexReader::TIndexReader(const std::string& path)
    : m_handle(FileHandle::forReading(path)), m_size(platform::FileManager::fileSize(path))
{}

TIndexReader::~TIndexReader() = default;

std::int32_t TIndexReader::readHead()
{
    TChunk first;
    first.read(m_handle.get());
    return TChunkHead(first).pixelNumber();
}

bool TIndexReader::next(Entry& entry, const std::atomic<bool>* proceed)
{
    if (!m_handle)
        return false;
    while (m_size - static_cast<std::int64_t>(m_handle->offsetInFile()) >= TChunk::kHeaderSize) {
        if (proceed != nullptr && !proceed->load())
            return false;
        const auto header = m_handle->readInPlace(TChunk::kHeaderSize);
        if (header.size() != static_cast<std::size_t>(TChunk::kHeaderSize))
            return false;
        const std::uint32_t id = TChunk::bigEndian32(header.data());
        const auto dataSize = static_cast<std::int32_t>(TChunk::bigEndian32(header.data() + 4));
        std::span<const std::uint8_t> data;
        if (dataSize >= 0 && static_cast<std::size_t>(dataSize) <= FileHandle::kBufferSize) {
            data = m_handle->readInPlace(static_cast<std::size_t>(dataSize));
            if (data.size() != static_cast<std::size_t>(dataSize))
                return false;
        } else {
            if (!TChunk::readBody(m_handle.get(), dataSize, m_large))
                return false;
            data = m_large;
        }

        if (id == TChunk::kPathID) {
            const auto path = TChunkPath::decodePath(data.data(), data.size());
            m_havePath = path.has_value();
            if (path)
                m_path.assign(*path);
        } else if (id == TChunk::kThumbID && m_havePath && !m_path.empty()) {
            entry.path = m_path;
            entry.stored = data;
            return true;
        }
    }
    return false;
}

} // namespace ovrin
