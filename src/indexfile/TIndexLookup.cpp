#include "indexfile/TIndexLookup.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>

namespace ovrin {

using platform::FileHandle;

namespace {

std::uint64_t hashOf(std::string_view path)
{
    return static_cast<std::uint64_t>(std::hash<std::string_view>{}(path));
}

} // namespace

TIndexLookup::TIndexLookup() = default;
TIndexLookup::~TIndexLookup() = default;

bool TIndexLookup::load(const std::string& path, std::int32_t pixelNumber,
                        const std::atomic<bool>* proceed)
{
    m_table.clear();
    TIndexReader reader(path);
    if (!reader.isIndexFile() || reader.readHead() != pixelNumber)
        return false;
    TIndexReader::Entry entry;
    while (reader.next(entry, proceed))
        m_table.push_back({hashOf(entry.path), entry.pathOffset});
    if (proceed != nullptr && !proceed->load())
        return false;
    std::stable_sort(m_table.begin(), m_table.end(),
                     [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
    m_kept.assign(m_table.size(), false);
    m_file = FileHandle::adoptForReading(platform::FileManager::openRegularFile(path, O_RDONLY));
    return m_file != nullptr;
}

bool TIndexLookup::readAt(std::uint64_t offset, std::uint32_t id, std::vector<std::uint8_t>& data)
{
    std::uint8_t header[TChunk::kHeaderSize];
    if (m_file->readAt(offset, header, sizeof header) != sizeof header ||
        bigendian::load32(header) != id)
        return false;
    const auto size = static_cast<std::int32_t>(bigendian::load32(header + 4));
    if (size < 0 || static_cast<std::size_t>(size) > TChunk::maxDataSize(id))
        return false;
    data.resize(static_cast<std::size_t>(size));
    return m_file->readAt(offset + sizeof header, data.data(), data.size()) == data.size();
}

std::optional<std::size_t> TIndexLookup::locate(std::string_view path)
{
    if (!m_file)
        return std::nullopt;
    const std::uint64_t hash = hashOf(path);
    auto it = std::lower_bound(m_table.begin(), m_table.end(), hash,
                               [](const Slot& slot, std::uint64_t h) { return slot.hash < h; });
    for (; it != m_table.end() && it->hash == hash; ++it) {
        if (readAt(it->offset, TChunk::kPathID, m_scratch) &&
            std::string_view(reinterpret_cast<const char*>(m_scratch.data()), m_scratch.size()) ==
                path)
            return static_cast<std::size_t>(it - m_table.begin());
    }
    return std::nullopt;
}

bool TIndexLookup::storedIfUnchanged(std::size_t entry, const TFileStamp& stamp,
                                     std::vector<std::uint8_t>& stored)
{
    if (!recordedStamp(entry, stored) || m_recorded != stamp) {
        stored.clear();
        return false;
    }
    return true;
}

bool TIndexLookup::recordedStamp(std::size_t entry, std::vector<std::uint8_t>& stored)
{
    if (entry >= m_table.size() || !readAt(m_table[entry].offset, TChunk::kPathID, m_scratch))
        return false;
    const std::uint64_t thumbAt = m_table[entry].offset + TChunk::kHeaderSize + m_scratch.size();
    if (!readAt(thumbAt, TChunk::kThumbID, stored))
        return false;
    const std::uint64_t stampAt = thumbAt + TChunk::kHeaderSize + stored.size();
    if (!readAt(stampAt, TChunk::kStampID, m_scratch) || m_scratch.size() != 16)
        return false;
    m_recorded = {static_cast<std::int64_t>(bigendian::load64(m_scratch.data())),
                  static_cast<std::int64_t>(bigendian::load64(m_scratch.data() + 8))};
    return true;
}

void TIndexLookup::keep(std::size_t entry)
{
    if (entry < m_kept.size())
        m_kept[entry] = true;
}

std::int64_t TIndexLookup::removed() const
{
    return static_cast<std::int64_t>(std::count(m_kept.begin(), m_kept.end(), false));
}

} // namespace ovrin
