#include "indexfile/TChunk.h"

#include "indexfile/BigEndian.h"
#include "output/Utf8.h"
#include "platform/fs/FileHandle.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ovrin {

using platform::FileHandle;

void TChunk::takeChunk(const TChunk& chunk)
{
    m_ckID = chunk.m_ckID;
    m_ckSize = chunk.m_ckSize;
    m_data = chunk.m_data;
}

std::int32_t TChunk::read(FileHandle* handle)
{
    if (handle == nullptr)
        return 0;
    std::uint8_t header[kHeaderSize];
    if (handle->read(header, 4) != 4)
        return 0;
    m_ckID = bigendian::load32(header);
    if (handle->read(header + 4, 4) != 4)
        return 0;
    m_ckSize = static_cast<std::int32_t>(bigendian::load32(header + 4));
    const auto left = static_cast<std::int64_t>(handle->fileSize()) -
                      static_cast<std::int64_t>(handle->offsetInFile());
    if (m_ckSize < 0 || m_ckSize > left) {
        // As a byte count this asks for more than the file holds.
        handle->seekToEndOfFile();
        return 0;
    }
    const auto size = static_cast<std::size_t>(m_ckSize);
    std::vector<std::uint8_t> bytes(std::min(size, maxDataSize(m_ckID)));
    if (handle->read(bytes.data(), bytes.size()) != bytes.size() ||
        !handle->skip(size - bytes.size()))
        return 0;
    m_data = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return m_ckSize > std::numeric_limits<std::int32_t>::max() - kHeaderSize
               ? std::numeric_limits<std::int32_t>::max()
               : m_ckSize + kHeaderSize;
}

std::int32_t TChunk::write(FileHandle* handle)
{
    if (!m_data || handle == nullptr || m_data->empty() ||
        m_data->size() >
            static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - kHeaderSize))
        return 0;
    m_ckSize = static_cast<std::int32_t>(m_data->size());
    std::uint8_t header[8];
    bigendian::store32(header, m_ckID);
    bigendian::store32(header + 4, static_cast<std::uint32_t>(m_ckSize));
    const bool ok = handle->writeData(header, 4) && handle->writeData(header + 4, 4) &&
                    handle->writeData(m_data->data(), m_data->size());
    return ok ? m_ckSize + kHeaderSize : 0;
}

TChunkHead::TChunkHead(const TChunk& chunk) : m_version(0)
{
    takeChunk(chunk);
    if (m_data)
        decode(m_data->data(), m_data->size(), m_version, m_pixcelNumber);
}

void TChunkHead::decode(const std::uint8_t* data, std::size_t size, std::int32_t& version,
                        std::int32_t& pixelNumber)
{
    version = 0;
    pixelNumber = 0;
    if (size < 4)
        return;
    version = static_cast<std::int32_t>(bigendian::load32(data));
    if (version >= kVersion && size >= 8)
        pixelNumber = static_cast<std::int32_t>(bigendian::load32(data + 4));
}

std::int32_t TChunkHead::write(FileHandle* handle)
{
    auto block = std::vector<std::uint8_t>(kDataSize, 0);
    bigendian::store32(block.data(), static_cast<std::uint32_t>(m_version));
    bigendian::store32(block.data() + 4, static_cast<std::uint32_t>(m_pixcelNumber));
    m_data = std::make_shared<const std::vector<std::uint8_t>>(std::move(block));
    return TChunk::write(handle);
}

TChunkPath::TChunkPath(const TChunk& chunk)
{
    takeChunk(chunk);
    if (!m_data) {
        m_path = std::string();
        return;
    }
    if (const auto text = decodePath(m_data->data(), m_data->size()))
        m_path = std::string(*text);
}

std::optional<std::string_view> TChunkPath::decodePath(const std::uint8_t* bytes,
                                                       std::size_t length)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes), length);
    if (!output::isUtf8(text) || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    return text;
}

std::int32_t TChunkPath::write(FileHandle* handle)
{
    const std::string text = m_path.value_or(std::string());
    m_data = std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
    return TChunk::write(handle);
}

TChunkThumb::TChunkThumb(const TChunk& chunk)
{
    takeChunk(chunk);
    if (!m_data)
        return;
    decodeValues(m_data->data(), m_data->size(), m_decoded);
    m_thumbnail = m_decoded.data();
    m_thumbnailCount = static_cast<std::int32_t>(m_decoded.size());
}

void TChunkThumb::decodeValues(const std::uint8_t* bytes, std::size_t length,
                               std::vector<std::int16_t>& values)
{
    const std::size_t count = length / 2;
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<std::int16_t>(bigendian::load16(bytes + 2 * i));
}

void TChunkThumb::setThumbnail(const std::int16_t* values, std::int32_t count)
{
    m_thumbnail = values;
    m_thumbnailCount = values != nullptr && count > 0 ? count : 0;
}

std::int32_t TChunkThumb::write(FileHandle* handle)
{
    if (m_thumbnailCount <= 0 || m_thumbnail == nullptr)
        return 0;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(m_thumbnailCount) * 2);
    for (std::size_t i = 0; i < static_cast<std::size_t>(m_thumbnailCount); ++i)
        bigendian::store16(block.data() + 2 * i, static_cast<std::uint16_t>(m_thumbnail[i]));
    m_data = std::make_shared<const std::vector<std::uint8_t>>(std::move(block));
    return TChunk::write(handle);
}

} // namespace ovrin
