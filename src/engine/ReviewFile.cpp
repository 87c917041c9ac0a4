#include "engine/ReviewFile.h"

#include "indexfile/BigEndian.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileHandle.h"
#include "platform/fs/FileManager.h"
#include "platform/fs/SystemError.h"
#include "signature/TFileInfo.h"

#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace ovrin {

namespace {

constexpr std::uint32_t kHeadID = chunkID("OVRV");
constexpr std::uint32_t kSettingsID = chunkID("RVSE");
constexpr std::uint32_t kFolderID = chunkID("RVSF");
constexpr std::uint32_t kIndexID = chunkID("RVSI");
constexpr std::uint32_t kPreferredID = chunkID("RVPF");
constexpr std::uint32_t kGroupID = chunkID("RVGR");
constexpr std::uint32_t kPictureID = chunkID("RVPI");
constexpr std::uint32_t kPathID = chunkID("RVPT");
constexpr std::uint32_t kValuesID = chunkID("RVVL");
constexpr std::uint32_t kAliasID = chunkID("RVAL");
constexpr std::uint32_t kEndID = chunkID("RVND");

constexpr std::size_t kHeadSize = 16;     // version, values per signature, groups, pictures
constexpr std::size_t kSettingsSize = 11; // bits, match rate, similarity, keep, method
constexpr std::size_t kPictureSize = 1 + 4 + 8 + 4 * 8 + FineSignature::kStoredSize;
constexpr std::size_t kEndSize = 8;
constexpr std::uint8_t kGoneFlag = 1;
constexpr std::uint8_t kMarkedFlag = 1;
constexpr std::uint8_t kFineFlag = 2;

class Writer {
public:
    std::vector<std::uint8_t> bytes;

    void begin(std::uint32_t id)
    {
        m_start = bytes.size();
        bytes.resize(bytes.size() + TChunk::kHeaderSize);
        bigendian::store32(bytes.data() + m_start, id);
    }
    void end()
    {
        const std::size_t size = bytes.size() - m_start - TChunk::kHeaderSize;
        bigendian::store32(bytes.data() + m_start + 4, static_cast<std::uint32_t>(size));
    }
    void u8(std::uint8_t value) { bytes.push_back(value); }
    void u32(std::uint32_t value)
    {
        bytes.resize(bytes.size() + 4);
        bigendian::store32(bytes.data() + bytes.size() - 4, value);
    }
    void u64(std::uint64_t value)
    {
        bytes.resize(bytes.size() + 8);
        bigendian::store64(bytes.data() + bytes.size() - 8, value);
    }
    void text(std::uint32_t id, const std::string& value)
    {
        begin(id);
        bytes.insert(bytes.end(), value.begin(), value.end());
        end();
    }

private:
    std::size_t m_start = 0;
};

// Reads fields off one chunk's data; the caller has checked its size.
struct Fields {
    const std::uint8_t* at;
    std::uint8_t u8() { return *at++; }
    std::uint32_t u32()
    {
        at += 4;
        return bigendian::load32(at - 4);
    }
    std::uint64_t u64()
    {
        at += 8;
        return bigendian::load64(at - 8);
    }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
};

using Opened = ReviewFile::Opened;
using Problem = ReviewFile::Problem;

Opened refused(Problem problem)
{
    Opened opened;
    opened.problem = problem;
    return opened;
}

std::optional<std::string> pathOf(const std::uint8_t* data, std::size_t size)
{
    // Raw bytes, as the file system names them: only emptiness and NUL,
    // which no path holds, are refused.
    if (size == 0 || size > TChunk::kMaxPathBytes || std::memchr(data, 0, size) != nullptr)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), size);
}

class Decoder {
public:
    Opened run(const std::uint8_t* bytes, std::size_t size)
    {
        std::size_t offset = 0;
        bool first = true;
        while (offset < size) {
            if (size - offset < TChunk::kHeaderSize)
                return refused(first ? Problem::NotAReview : Problem::Truncated);
            const std::uint32_t id = bigendian::load32(bytes + offset);
            const std::size_t length = bigendian::load32(bytes + offset + 4);
            offset += TChunk::kHeaderSize;
            if (first && id != kHeadID)
                return refused(Problem::NotAReview);
            if (length > size - offset)
                return refused(Problem::Truncated);
            const Problem problem = take(id, bytes + offset, length);
            if (problem != Problem::None)
                return refused(problem);
            offset += length;
            first = false;
            if (m_ended)
                break;
        }
        if (first)
            return refused(Problem::NotAReview);
        if (!m_ended)
            return refused(Problem::Truncated);
        Opened opened;
        opened.review = std::move(m_review);
        return opened;
    }

private:
    Problem take(std::uint32_t id, const std::uint8_t* data, std::size_t length)
    {
        Fields in{data};
        switch (id) {
        case kHeadID: {
            if (m_headSeen || length < kHeadSize)
                return Problem::Damaged;
            m_headSeen = true;
            const std::uint32_t version = in.u32();
            if ((version >> 16) > (ReviewFile::kVersion >> 16))
                return Problem::NewerFormat;
            const std::uint32_t count = in.u32();
            if (count == 0 || count > static_cast<std::uint32_t>(TChunkThumb::kMaxValues))
                return Problem::Damaged;
            m_review.result.table.count = static_cast<std::int32_t>(count);
            m_groups = in.u32();
            m_pictures = in.u32();
            return Problem::None;
        }
        case kSettingsID: {
            if (length < kSettingsSize)
                return Problem::Damaged;
            Review::Settings& settings = m_review.settings;
            settings.bits = static_cast<std::int32_t>(in.u32());
            settings.matchRate = static_cast<std::int32_t>(in.u32());
            const std::uint8_t similarity = in.u8();
            const std::uint8_t keep = in.u8();
            const std::uint8_t method = in.u8();
            if (settings.bits < 0 || settings.bits > 8 || settings.matchRate < 0 ||
                settings.matchRate > 100 ||
                similarity > static_cast<std::uint8_t>(Similarity::Loose) ||
                keep > static_cast<std::uint8_t>(KeepRule::Path) || method > 1)
                return Problem::Damaged;
            settings.similarity = static_cast<Similarity>(similarity);
            settings.keep = static_cast<KeepRule>(keep);
            settings.method = static_cast<SearchMethod>(method);
            // A later byte: a grouping of any orientation (none before it was kept).
            settings.anyOrientation = length > kSettingsSize && in.u8() != 0;
            return Problem::None;
        }
        case kFolderID:
        case kIndexID:
        case kPreferredID: {
            auto path = pathOf(data, length);
            if (!path)
                return Problem::Damaged;
            if (id == kFolderID)
                m_review.settings.folder = std::move(path);
            else if (id == kIndexID)
                m_review.settings.index = std::move(path);
            else
                m_review.settings.preferred.push_back(std::move(*path));
            return Problem::None;
        }
        case kGroupID:
            if (length < 1 || !endPicture() || !endGroup())
                return Problem::Damaged;
            m_inGroup = true;
            m_review.result.groups.push_back({});
            m_review.referenceGone.push_back((in.u8() & kGoneFlag) != 0);
            return Problem::None;
        case kPictureID:
            return length < kPictureSize || !m_inGroup || !endPicture() ? Problem::Damaged
                                                                        : beginPicture(in, length);
        case kPathID: {
            if (!m_inPicture || m_hasPath)
                return Problem::Damaged;
            auto path = pathOf(data, length);
            if (!path)
                return Problem::Damaged;
            m_review.result.table.paths.push_back(std::move(*path));
            m_hasPath = true;
            return Problem::None;
        }
        case kValuesID: {
            auto& table = m_review.result.table;
            if (!m_inPicture || m_hasValues || length != 2 * static_cast<std::size_t>(table.count))
                return Problem::Damaged;
            for (std::size_t i = 0; i < length; i += 2)
                table.values.push_back(static_cast<std::int16_t>(bigendian::load16(data + i)));
            m_hasValues = true;
            return Problem::None;
        }
        case kAliasID: {
            auto path = pathOf(data, length);
            if (!m_inPicture || !path)
                return Problem::Damaged;
            auto& aliases = m_review.result.aliases;
            aliases.resize(m_review.result.table.facts.size());
            aliases.back().push_back(std::move(*path));
            return Problem::None;
        }
        case kEndID: {
            if (length < kEndSize || !endPicture() || !endGroup())
                return Problem::Damaged;
            const std::uint32_t groups = in.u32();
            const std::uint32_t pictures = in.u32();
            const auto& result = m_review.result;
            if (!m_headSeen || groups != m_groups || pictures != m_pictures ||
                groups != result.groups.size() || pictures != result.table.facts.size())
                return Problem::Damaged;
            finish();
            m_ended = true;
            return Problem::None;
        }
        default:
            return Problem::None; // a later version's, passed over
        }
    }

    Problem beginPicture(Fields& in, std::size_t length)
    {
        auto& table = m_review.result.table;
        auto& group = m_review.result.groups.back();
        const std::uint8_t flags = in.u8();
        const auto rate = static_cast<std::int32_t>(in.u32());
        const double likeness = std::bit_cast<double>(in.u64());
        SignatureTable::Facts facts;
        facts.pixels = in.i64();
        facts.size = in.i64();
        facts.modifiedNs = in.i64();
        facts.changedNs = in.i64();
        const std::optional<FineSignature> fine =
            FineSignature::load({in.at, FineSignature::kStoredSize});
        if ((flags & kFineFlag) != 0 && !fine)
            return Problem::Damaged;
        // A later byte: how a member lies against its reference.
        const std::uint8_t form = length > kPictureSize ? in.at[FineSignature::kStoredSize] : 0;
        if (form >= kOrientations)
            return Problem::Damaged;
        if ((flags & kFineFlag) == 0)
            m_allFine = false;
        const std::size_t row = table.facts.size();
        if (row >= m_pictures)
            return Problem::Damaged; // more than the head said: never more than it allowed for
        if (m_starts == 0)
            group.reference = row;
        else
            group.members.push_back({row, rate, likeness, static_cast<Orientation>(form)});
        ++m_starts;
        table.facts.push_back(facts);
        table.fine.push_back(fine.value_or(FineSignature{}));
        m_review.marked.push_back((flags & kMarkedFlag) != 0);
        m_inPicture = true;
        m_hasPath = m_hasValues = false;
        return Problem::None;
    }

    bool endPicture()
    {
        if (!m_inPicture)
            return true;
        m_inPicture = false;
        return m_hasPath && m_hasValues;
    }

    bool endGroup()
    {
        if (!m_inGroup)
            return true;
        m_inGroup = false;
        const bool whole = m_starts >= 2;
        m_starts = 0;
        return whole;
    }

    void finish()
    {
        auto& result = m_review.result;
        if (!m_allFine)
            std::vector<FineSignature>().swap(result.table.fine);
        if (!result.aliases.empty())
            result.aliases.resize(result.table.facts.size());
    }

    Review m_review;
    std::uint32_t m_groups = 0;
    std::uint32_t m_pictures = 0;
    std::size_t m_starts = 0; // pictures begun in the group
    bool m_headSeen = false;
    bool m_inGroup = false;
    bool m_inPicture = false;
    bool m_hasPath = false;
    bool m_hasValues = false;
    bool m_allFine = true;
    bool m_ended = false;
};

} // namespace

Review ReviewFile::fromGroups(const LookAlikeResult& result,
                              const std::vector<LookAlikeGroup>& groups,
                              const std::vector<bool>& referenceGone,
                              const std::function<bool(const std::string&)>& isMarked,
                              Review::Settings settings)
{
    Review review;
    review.settings = std::move(settings);
    const SignatureTable& from = result.table;
    SignatureTable& table = review.result.table;
    table.count = from.count;
    const auto take = [&](std::size_t entry) {
        const auto count = static_cast<std::size_t>(from.count);
        table.values.insert(table.values.end(),
                            from.values.begin() + static_cast<std::ptrdiff_t>(entry * count),
                            from.values.begin() + static_cast<std::ptrdiff_t>((entry + 1) * count));
        table.paths.push_back(from.paths[entry]);
        if (!from.fine.empty())
            table.fine.push_back(from.fine[entry]);
        table.facts.push_back(entry < from.facts.size() ? from.facts[entry]
                                                        : SignatureTable::Facts{});
        if (!result.aliases.empty()) {
            review.result.aliases.resize(table.paths.size());
            review.result.aliases.back() = result.aliases[entry];
        }
        review.marked.push_back(isMarked && isMarked(from.paths[entry]));
        return table.paths.size() - 1;
    };
    for (std::size_t g = 0; g < groups.size(); ++g) {
        LookAlikeGroup group;
        group.reference = take(groups[g].reference);
        for (const LookAlikeMember& member : groups[g].members)
            group.members.push_back(
                {take(member.index), member.rate, member.likeness, member.orientation});
        review.result.groups.push_back(std::move(group));
        review.referenceGone.push_back(g < referenceGone.size() && referenceGone[g]);
    }
    // A gone reference is no candidate for a mark.
    for (std::size_t g = 0; g < review.result.groups.size(); ++g)
        if (review.referenceGone[g])
            review.marked[review.result.groups[g].reference] = false;
    return review;
}

std::vector<std::uint8_t> ReviewFile::encode(const Review& review)
{
    const LookAlikeResult& result = review.result;
    const SignatureTable& table = result.table;
    const auto count = static_cast<std::size_t>(table.count);
    Writer out;
    out.begin(kHeadID);
    out.u32(kVersion);
    out.u32(static_cast<std::uint32_t>(table.count));
    out.u32(static_cast<std::uint32_t>(result.groups.size()));
    std::size_t pictures = 0;
    for (const LookAlikeGroup& group : result.groups)
        pictures += group.members.size() + 1;
    out.u32(static_cast<std::uint32_t>(pictures));
    out.end();

    const Review::Settings& settings = review.settings;
    out.begin(kSettingsID);
    out.u32(static_cast<std::uint32_t>(settings.bits));
    out.u32(static_cast<std::uint32_t>(settings.matchRate));
    out.u8(static_cast<std::uint8_t>(settings.similarity));
    out.u8(static_cast<std::uint8_t>(settings.keep));
    out.u8(static_cast<std::uint8_t>(settings.method));
    if (settings.anyOrientation)
        out.u8(1);
    out.end();
    if (settings.folder && !settings.folder->empty())
        out.text(kFolderID, *settings.folder);
    if (settings.index && !settings.index->empty())
        out.text(kIndexID, *settings.index);
    for (const std::string& folder : settings.preferred)
        out.text(kPreferredID, folder);

    const auto picture = [&](std::size_t entry, std::int32_t rate, double likeness,
                             Orientation orientation) {
        const SignatureTable::Facts facts =
            entry < table.facts.size() ? table.facts[entry] : SignatureTable::Facts{};
        const bool fine = entry < table.fine.size();
        out.begin(kPictureID);
        out.u8(static_cast<std::uint8_t>(
            (entry < review.marked.size() && review.marked[entry] ? kMarkedFlag : 0) |
            (fine ? kFineFlag : 0)));
        out.u32(static_cast<std::uint32_t>(rate));
        out.u64(std::bit_cast<std::uint64_t>(likeness));
        for (const std::int64_t value :
             {facts.pixels, facts.size, facts.modifiedNs, facts.changedNs})
            out.u64(static_cast<std::uint64_t>(value));
        out.bytes.resize(out.bytes.size() + FineSignature::kStoredSize);
        (fine ? table.fine[entry] : FineSignature{})
            .store(out.bytes.data() + out.bytes.size() - FineSignature::kStoredSize);
        if (settings.anyOrientation)
            out.u8(static_cast<std::uint8_t>(orientation));
        out.end();
        out.text(kPathID, table.paths[entry]);
        out.begin(kValuesID);
        const std::size_t at = out.bytes.size();
        out.bytes.resize(at + 2 * count);
        for (std::size_t i = 0; i < count; ++i)
            bigendian::store16(out.bytes.data() + at + 2 * i,
                               static_cast<std::uint16_t>(table.values[entry * count + i]));
        out.end();
        if (entry < result.aliases.size())
            for (const std::string& alias : result.aliases[entry])
                out.text(kAliasID, alias);
    };
    for (std::size_t g = 0; g < result.groups.size(); ++g) {
        const LookAlikeGroup& group = result.groups[g];
        out.begin(kGroupID);
        out.u8(g < review.referenceGone.size() && review.referenceGone[g] ? kGoneFlag : 0);
        out.end();
        picture(group.reference, 0, 0.0, Orientation::Upright);
        for (const LookAlikeMember& member : group.members)
            picture(member.index, member.rate, member.likeness, member.orientation);
    }
    out.begin(kEndID);
    out.u32(static_cast<std::uint32_t>(result.groups.size()));
    out.u32(static_cast<std::uint32_t>(pictures));
    out.end();
    return std::move(out.bytes);
}

ReviewFile::Opened ReviewFile::decode(const std::uint8_t* bytes, std::size_t size)
{
    try {
        return Decoder().run(bytes, size);
    } catch (const std::bad_alloc&) {
        return refused(Problem::OutOfMemory);
    }
}

ReviewFile::Opened ReviewFile::read(const std::string& path)
{
    int error = 0;
    const auto handle = platform::FileHandle::forReading(path, &error);
    if (!handle) {
        Opened opened = refused(Problem::CannotRead);
        opened.error = error;
        return opened;
    }
    const std::int64_t size = handle->fileSize();
    if (size < 0)
        return refused(Problem::CannotRead);
    if (size > kMaxFileBytes)
        return refused(Problem::TooLarge);
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        if (handle->read(bytes.data(), bytes.size()) != bytes.size()) {
            Opened opened = refused(Problem::CannotRead);
            opened.error = EIO;
            return opened;
        }
        return decode(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        return refused(Problem::OutOfMemory);
    }
}

std::optional<FileStamp> ReviewFile::stampNow(const std::string& path)
{
    const auto status = platform::FileManager::fileStatus(path);
    if (!status || !status->isRegularFile)
        return std::nullopt;
    return FileStamp{status->size, status->modifiedNs, status->changedNs};
}

std::vector<std::string> ReviewFile::leaveOutChanged(
    Review& review, const std::function<std::optional<FileStamp>(const std::string&)>& stampOf)
{
    LookAlikeResult& result = review.result;
    SignatureTable& table = result.table;
    std::vector<std::string> leftOut;
    // A file moved to the trash and back, or linked to, keeps its content
    // and times but gets a new status change time: decoded again, it is the
    // picture the review holds when its signature is the same.
    const auto sameSignature = [&table](std::size_t entry) {
        std::int32_t side = 1;
        while (side * side < table.count)
            ++side;
        if (side * side != table.count)
            return false;
        TFileInfo info(table.paths[entry]);
        if (info.loadThumbnail(side) != platform::LoadFailure::None)
            return false;
        const auto* saved = table.values.data() + entry * static_cast<std::size_t>(table.count);
        return std::equal(info.thumbnail().begin(), info.thumbnail().end(), saved,
                          saved + table.count) &&
               info.thumbnail().size() == static_cast<std::size_t>(table.count);
    };
    const auto unchanged = [&](std::size_t entry) {
        const auto now = stampOf(table.paths[entry]);
        SignatureTable::Facts& saved = table.facts[entry];
        // A status change time of 0 was not known when the review was made.
        if (now && now->size == saved.size && now->modifiedNs == saved.modifiedNs) {
            if (saved.changedNs == 0 || now->changedNs == saved.changedNs)
                return true;
            if (sameSignature(entry)) {
                saved.changedNs = now->changedNs;
                return true;
            }
        }
        leftOut.push_back(table.paths[entry]);
        return false;
    };
    std::size_t kept = 0;
    for (std::size_t g = 0; g < result.groups.size(); ++g) {
        LookAlikeGroup& group = result.groups[g];
        bool gone = review.referenceGone[g];
        const std::size_t before = leftOut.size();
        if (!gone && !unchanged(group.reference))
            gone = true;
        std::erase_if(group.members,
                      [&](const LookAlikeMember& member) { return !unchanged(member.index); });
        const std::size_t after = group.members.size() + (gone ? 0 : 1);
        if (group.members.empty() || (leftOut.size() > before && after < 2))
            continue;
        if (kept != g)
            result.groups[kept] = std::move(group);
        review.referenceGone[kept] = gone;
        ++kept;
    }
    result.groups.resize(kept);
    review.referenceGone.resize(kept);
    return leftOut;
}

} // namespace ovrin
