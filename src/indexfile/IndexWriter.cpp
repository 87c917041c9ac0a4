#include "indexfile/IndexWriter.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileHandle.h"

#include <limits>

namespace ovrin {

bool IndexWriter::writeChunk(std::uint32_t id, std::span<const std::uint8_t> data)
{
    if (data.empty() ||
        data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    std::uint8_t header[TChunk::kHeaderSize];
    bigendian::store32(header, id);
    bigendian::store32(header + 4, static_cast<std::uint32_t>(data.size()));
    return m_handle.writeData(header, sizeof header) &&
           m_handle.writeData(data.data(), data.size());
}

bool IndexWriter::writeHead(std::int32_t pixelNumber)
{
    TChunkHead head;
    head.setPixcelNumber(pixelNumber);
    return head.write(&m_handle) != 0;
}

bool IndexWriter::writeRunStart(std::int64_t startNs)
{
    std::uint8_t data[TChunk::kRunStartSize];
    bigendian::store64(data, static_cast<std::uint64_t>(startNs));
    return writeChunk(TChunk::kRunStartID, data);
}

bool IndexWriter::writeStamp(const FileStamp& stamp)
{
    std::uint8_t data[FileStamp::kStoredSize];
    bigendian::store64(data, static_cast<std::uint64_t>(stamp.size));
    bigendian::store64(data + 8, static_cast<std::uint64_t>(stamp.modifiedNs));
    bigendian::store64(data + 16, static_cast<std::uint64_t>(stamp.changedNs));
    return writeChunk(TChunk::kStampID, data);
}

bool IndexWriter::writeEntry(std::string_view path, std::span<const std::int16_t> values,
                             const FileStamp& stamp, std::span<const std::uint8_t> fine)
{
    m_values.resize(values.size() * 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        bigendian::store16(m_values.data() + 2 * i, static_cast<std::uint16_t>(values[i]));
    return writeStoredEntry(path, m_values, stamp, fine);
}

bool IndexWriter::writeStoredEntry(std::string_view path, std::span<const std::uint8_t> stored,
                                   const FileStamp& stamp, std::span<const std::uint8_t> fine)
{
    // Path and thumbnail always travel together, path first, so the file never
    // holds one without the other.
    if (path.empty() || stored.empty())
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(path.data());
    return writeChunk(TChunk::kPathID, {bytes, path.size()}) &&
           writeChunk(TChunk::kThumbID, stored) && writeStamp(stamp) &&
           (fine.empty() || writeChunk(TChunk::kFineID, fine));
}

} // namespace ovrin
