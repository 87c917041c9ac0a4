#include "indexfile/IndexLookup.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileHandle.h"
#include "platform/fs/FileManager.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <iterator>

namespace ovrin {

using platform::FileHandle;

namespace {

std::uint64_t hashOf(std::string_view path)
{
    return static_cast<std::uint64_t>(std::hash<std::string_view>{}(path));
}

} // namespace

IndexLookup::IndexLookup() = default;
IndexLookup::~IndexLookup() = default;

bool IndexLookup::load(const std::string& path, std::int32_t pixelNumber,
                       const std::atomic<bool>* proceed)
{
    m_table.clear();
    m_runStart.reset();
    IndexReader reader(path);
    if (!reader.isIndexFile() || reader.readHead() != pixelNumber)
        return false;
    const std::uint64_t afterHead = reader.offset();
    IndexReader::Entry entry;
    while (reader.next(entry, proceed))
        m_table.push_back({hashOf(entry.path), entry.pathOffset});
    if (proceed != nullptr && !proceed->load())
        return false;
    std::stable_sort(m_table.begin(), m_table.end(),
                     [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
    m_kept.assign(m_table.size(), false);
    m_file = FileHandle::adoptForReading(platform::FileManager::openRegularFile(path, O_RDONLY));
    if (!m_file)
        return false;
    std::uint8_t start[TChunk::kHeaderSize + TChunk::kRunStartSize];
    if (m_file->readAt(afterHead, start, sizeof start) == sizeof start &&
        bigendian::load32(start) == TChunk::kRunStartID &&
        bigendian::load32(start + 4) == TChunk::kRunStartSize)
        m_runStart = static_cast<std::int64_t>(bigendian::load64(start + TChunk::kHeaderSize));
    return true;
}

bool IndexLookup::readEntry(std::size_t entry)
{
    if (m_cached == entry)
        return m_cachedValid;
    m_cached = entry;
    m_cachedValid = false;
    // One read usually takes the path, thumbnail, stamp and fingerprint chunks
    // of an entry, which lie one after the other; a larger entry is read again
    // whole.
    const std::uint64_t offset = m_table[entry].offset;
    constexpr std::uint32_t ids[] = {TChunk::kPathID, TChunk::kThumbID, TChunk::kStampID,
                                     TChunk::kFineID};
    constexpr std::size_t kinds = std::size(ids);
    std::size_t wanted = 4096;
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_block.resize(wanted);
        m_block.resize(m_file->readAt(offset, m_block.data(), m_block.size()));
        const bool whole = m_block.size() < wanted; // the file ended within the read
        std::size_t at = 0;
        std::size_t pathSize = 0;
        std::size_t k = 0;
        for (; k < kinds; ++k) {
            if (m_block.size() < at + TChunk::kHeaderSize)
                break;
            if (bigendian::load32(&m_block[at]) != ids[k])
                return k > 0 && setEntry(pathSize); // the entry has no more of them
            const auto size = static_cast<std::int32_t>(bigendian::load32(&m_block[at + 4]));
            if (size < 0 || static_cast<std::size_t>(size) > TChunk::maxDataSize(ids[k]))
                return k > 0 && setEntry(pathSize);
            if (k == 0)
                pathSize = static_cast<std::size_t>(size);
            at += TChunk::kHeaderSize + static_cast<std::size_t>(size);
        }
        if (k == kinds && m_block.size() >= at)
            return setEntry(pathSize);
        if (whole)
            return k > 0 && setEntry(pathSize);
        // Enough for the chunks seen so far and the largest the rest can be.
        wanted = at;
        for (std::size_t rest = k; rest < kinds; ++rest)
            wanted += TChunk::kHeaderSize + TChunk::maxDataSize(ids[rest]);
    }
    return false;
}

bool IndexLookup::setEntry(std::size_t pathSize)
{
    if (m_block.size() < TChunk::kHeaderSize + pathSize)
        return false;
    m_path =
        std::string_view(reinterpret_cast<const char*>(&m_block[TChunk::kHeaderSize]), pathSize);
    m_thumbAt = TChunk::kHeaderSize + pathSize;
    m_cachedValid = true;
    return true;
}

std::optional<std::size_t> IndexLookup::locate(std::string_view path)
{
    if (!m_file)
        return std::nullopt;
    const std::uint64_t hash = hashOf(path);
    auto it = std::lower_bound(m_table.begin(), m_table.end(), hash,
                               [](const Slot& slot, std::uint64_t h) { return slot.hash < h; });
    for (; it != m_table.end() && it->hash == hash; ++it) {
        const auto entry = static_cast<std::size_t>(it - m_table.begin());
        if (readEntry(entry) && m_path == path)
            return entry;
    }
    return std::nullopt;
}

bool IndexLookup::storedIfUnchanged(std::size_t entry, const FileStamp& stamp,
                                    std::vector<std::uint8_t>& stored,
                                    std::vector<std::uint8_t>& fine)
{
    stored.clear();
    fine.clear();
    if (!m_runStart || !stamp.settledBefore(*m_runStart) || entry >= m_table.size() ||
        !readEntry(entry))
        return false;
    const auto chunk = [this](std::size_t at, std::uint32_t id) -> std::optional<std::size_t> {
        if (m_block.size() < at + TChunk::kHeaderSize || bigendian::load32(&m_block[at]) != id)
            return std::nullopt;
        const auto size = static_cast<std::int32_t>(bigendian::load32(&m_block[at + 4]));
        if (size < 0 || m_block.size() < at + TChunk::kHeaderSize + static_cast<std::size_t>(size))
            return std::nullopt;
        return static_cast<std::size_t>(size);
    };
    const auto thumb = chunk(m_thumbAt, TChunk::kThumbID);
    if (!thumb)
        return false;
    const std::size_t stampAt = m_thumbAt + TChunk::kHeaderSize + *thumb;
    if (chunk(stampAt, TChunk::kStampID) != std::optional<std::size_t>(FileStamp::kStoredSize))
        return false;
    const std::uint8_t* recorded = &m_block[stampAt + TChunk::kHeaderSize];
    if (FileStamp{static_cast<std::int64_t>(bigendian::load64(recorded)),
                  static_cast<std::int64_t>(bigendian::load64(recorded + 8)),
                  static_cast<std::int64_t>(bigendian::load64(recorded + 16))} != stamp)
        return false;
    // An entry written before fingerprints were recorded is decoded again, so
    // the index gains one.
    const std::size_t fineAt = stampAt + TChunk::kHeaderSize + FileStamp::kStoredSize;
    const auto fineSize = chunk(fineAt, TChunk::kFineID);
    if (!fineSize || *fineSize == 0)
        return false;
    const auto* values = &m_block[m_thumbAt + TChunk::kHeaderSize];
    stored.assign(values, values + *thumb);
    const auto* print = &m_block[fineAt + TChunk::kHeaderSize];
    fine.assign(print, print + *fineSize);
    return true;
}

void IndexLookup::keep(std::size_t entry)
{
    if (entry < m_kept.size())
        m_kept[entry] = true;
}

std::int64_t IndexLookup::removed() const
{
    return static_cast<std::int64_t>(std::count(m_kept.begin(), m_kept.end(), false));
}

} // namespace ovrin
