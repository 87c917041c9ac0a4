#include "engine/LookAlikeGroups.h"
#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "indexfile/IndexReader.h"
#include "indexfile/TChunk.h"
#include "platform/imaging/detail/DecodeBudget.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <new>
#include <thread>
#include <unordered_map>

namespace ovrin {

namespace {

// The signatures a grouping is to hold and the heap their paths take, counted
// on even where the table could not hold them all.
struct Tally {
    std::int64_t pictures = 0;
    std::int64_t pathBytes = 0;
    bool full = false; // memory ran out while the table was filled

    void add(std::size_t pathLength)
    {
        ++pictures;
        // Short paths live inside the string; longer ones in a block of their own.
        if (pathLength >= 16)
            pathBytes += static_cast<std::int64_t>(pathLength) + 1 + 16;
    }
};

// What a picture's row takes beside its values and its path: the string, its
// fingerprint and facts, and its entry in the map of files seen.
constexpr std::int64_t kRowBytes = static_cast<std::int64_t>(
    sizeof(std::string) + sizeof(FineSignature) + sizeof(SignatureTable::Facts) + 64);

// A grouping of any orientation keeps the fingerprints of seven turned forms.
std::int64_t tableMemory(const Tally& tally, std::int32_t count, bool anyOrientation)
{
    const std::int64_t turned =
        anyOrientation ? (kOrientations - 1) * std::int64_t{sizeof(FineSignature)} : 0;
    return tally.pictures * (2 * std::int64_t{count} + kRowBytes + turned) + tally.pathBytes;
}

// The fingerprints of a picture turned each way but upright, from the grid
// its fingerprint was made of, as a search turns its target's.
void addTurnedFingerprints(const FineSignature& fine, const std::vector<std::uint8_t>& luminance,
                           std::vector<FineSignature>& out)
{
    constexpr auto kSide = FineSignature::kGridSide;
    for (int k = 1; k < kOrientations; ++k) {
        const bool across = k % 2 == 1; // a quarter turn swaps width and height
        out.push_back(FineSignature::fromLuminance(
            orientGrid(luminance.data(), kSide, static_cast<Orientation>(k)).data(),
            across ? fine.height : fine.width, across ? fine.width : fine.height));
    }
}

std::string megabytes(std::int64_t bytes)
{
    constexpr std::int64_t kMB = 1000 * 1000;
    return std::to_string((std::max<std::int64_t>(bytes, 0) + kMB - 1) / kMB) + " MB";
}

std::string outOfMemory(const Tally& tally, std::int64_t need, const std::string& more = {})
{
    return "Out of memory: grouping " + std::to_string(tally.pictures) + " pictures needs about " +
           megabytes(need) + more + ".";
}

// Whether `path` reaches its file without passing a symbolic link.
bool isDirect(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    const bool direct = real != nullptr && path == real;
    std::free(real);
    return direct;
}

// Which of two paths of one file names it in the groups, the other becoming
// its alias: one without links before one through a link, else the first in
// byte order. So the choice depends neither on the walk's listing order nor
// on the index's.
// A path under a preferred folder leads before all, so the keep rule sees the
// file where the user wants it kept.
bool leads(const std::string& a, const std::string& b, const std::vector<std::string>& preferred)
{
    const std::size_t rankA = preferenceRank(a, preferred);
    const std::size_t rankB = preferenceRank(b, preferred);
    if (rankA != rankB)
        return rankA < rankB;
    const bool directA = isDirect(a);
    return directA != isDirect(b) ? directA : a < b;
}

// The rows of the table as pictures arrive, each file (device and inode) once:
// a file reached again by another path adds that path to its aliases.
class Rows {
public:
    Rows(LookAlikeResult& result, Tally& tally, std::vector<std::string> preferred,
         bool anyOrientation)
        : m_result(result), m_tally(tally), m_preferred(std::move(preferred)),
          m_turned(anyOrientation)
    {}

    // Whether a path of this file came before; marks it as come.
    bool seen(const platform::FileIdentity& file)
    {
        if (file == platform::FileIdentity{})
            return false; // no identity to tell by
        return !m_byFile.try_emplace(file, kPending).second;
    }
    // The first path of a file seen gave no picture, nor will the others.
    void gaveNothing(const platform::FileIdentity& file)
    {
        if (const auto it = m_byFile.find(file); it != m_byFile.end() && it->second == kPending)
            it->second = kNothing;
    }

    void add(std::string path, std::span<const std::int16_t> values,
             const std::optional<FineSignature>& fine, const platform::FileStatus& status,
             const std::vector<std::uint8_t>& luminance = {})
    {
        m_tally.add(path.size());
        if (m_tally.full)
            return;
        SignatureTable& table = m_result.table;
        try {
            table.values.insert(table.values.end(), values.begin(), values.end());
            table.fine.push_back(fine.value_or(FineSignature{}));
            constexpr auto kGridCells =
                static_cast<std::size_t>(FineSignature::kGridSide) * FineSignature::kGridSide;
            m_turned = m_turned && fine && luminance.size() == kGridCells;
            if (m_turned)
                addTurnedFingerprints(*fine, luminance, table.turnedFine);
            else
                std::vector<FineSignature>().swap(table.turnedFine);
            table.facts.push_back({fine ? std::int64_t{fine->width} * fine->height : 0, status.size,
                                   status.modifiedNs, status.changedNs});
            table.paths.push_back(std::move(path));
            m_allFine = m_allFine && fine.has_value();
            if (status.identity != platform::FileIdentity{})
                m_byFile[status.identity] = table.paths.size() - 1;
        } catch (const std::bad_alloc&) {
            drop();
        }
    }

    // Takes `path` as another path of a file seen before; false when that
    // file gave no picture.
    bool alias(std::string path, const platform::FileIdentity& file)
    {
        const auto it = m_byFile.find(file);
        if (it == m_byFile.end() || it->second >= kNothing)
            return false;
        if (m_tally.full)
            return true;
        const std::size_t row = it->second;
        try {
            auto& aliases = m_result.aliases;
            if (aliases.size() <= row)
                aliases.resize(m_result.table.paths.size());
            std::string& first = m_result.table.paths[row];
            if (path == first)
                return true; // an index that lists a path twice
            if (leads(path, first, m_preferred))
                std::swap(path, first);
            m_tally.pathBytes += static_cast<std::int64_t>(path.size() + sizeof(std::string));
            aliases[row].push_back(std::move(path));
        } catch (const std::bad_alloc&) {
            drop();
        }
        return true;
    }

    // Gives up the table once memory ran out; the tally goes on.
    void drop()
    {
        m_tally.full = true;
        const std::int32_t count = m_result.table.count;
        m_result = LookAlikeResult{};
        m_result.table.count = count;
        decltype(m_byFile)().swap(m_byFile);
    }

    // The table as the grouping takes it: fingerprints only where every
    // picture has one (a comparison of structure needs both sides).
    void finish()
    {
        if (!m_allFine)
            std::vector<FineSignature>().swap(m_result.table.fine);
        if (!m_allFine || !m_turned)
            std::vector<FineSignature>().swap(m_result.table.turnedFine);
        auto& aliases = m_result.aliases;
        if (!aliases.empty())
            aliases.resize(m_result.table.paths.size());
        for (auto& paths : aliases) {
            std::sort(paths.begin(), paths.end());
            paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
        }
        decltype(m_byFile)().swap(m_byFile);
    }

private:
    static constexpr std::size_t kPending = static_cast<std::size_t>(-1); // no outcome yet
    static constexpr std::size_t kNothing = kPending - 1; // its first path gave no picture

    LookAlikeResult& m_result;
    Tally& m_tally;
    const std::vector<std::string> m_preferred;
    std::unordered_map<platform::FileIdentity, std::size_t, platform::FileIdentityHash> m_byFile;
    bool m_allFine = true;
    // Every picture so far gave the grid its turned fingerprints are made of.
    bool m_turned;
};

// Whether an index holds the fingerprints a grouping confirms its members
// with: an index written before they were kept holds none. One without any
// entry needs none.
bool holdsFingerprints(const std::string& indexPath, const std::atomic<bool>& proceed)
{
    IndexReader reader(indexPath);
    if (!reader.isIndexFile())
        return true; // said by the reading itself
    reader.readHead();
    IndexReader::Entry entry;
    bool any = false;
    while (reader.next(entry, &proceed)) {
        if (!entry.fine.empty())
            return true;
        any = true;
    }
    return !any;
}

// Every signature of an index file of the head's pixel number, each checked
// against its file: one unchanged since it was indexed is taken as stored, a
// changed one (or one without its fingerprint) is decoded again, one that
// vanished or cannot be read is left out.
bool readIndex(RunContext& run, Rows& rows, SignatureTable& table, GroupingProgress& progress)
{
    const std::string indexPath = run.settings().indexFilePath.value_or(std::string());
    IndexReader reader(indexPath);
    if (!reader.isIndexFile()) {
        run.fail("The index file " + indexPath + " cannot be read: " +
                 (reader.isOpen() ? "not an index file"
                                  : platform::describeLoadFailure(reader.openFailure())));
        return false;
    }
    if (!holdsFingerprints(indexPath, run.proceedFlag())) {
        if (run.proceed())
            run.fail("The index file " + indexPath +
                     " was made by an older version and lacks what look-alike groups need: "
                     "update it with ovrin-cli index DIR " +
                     indexPath +
                     " (or Create Index File in the window), or group the folder "
                     "instead.");
        return !run.proceed(); // a stop is told as one
    }
    const std::int32_t pixelNumber = reader.readHead();
    table.count = pixelNumber * pixelNumber;
    RunSummary& summary = run.summary();
    std::vector<std::int16_t> values;
    // Whether each entry decoded, in turn, had changed: a grouping of any
    // orientation decodes the unchanged ones too, which no summary calls stale.
    std::deque<bool> changed;
    DecodePipeline pipeline(
        run.settings().jobs, pixelNumber, run.proceedFlag(), [](DecodePipeline::Item&) {},
        [&](DecodePipeline::Item& item) {
            const platform::FileIdentity& file = item.status.identity;
            const bool stale = item.decode && changed.front();
            if (item.decode)
                changed.pop_front();
            if (item.failure == platform::LoadFailure::OutOfMemory) {
                run.abort("Out of memory while decoding " + item.path + ".");
            } else if (item.skip) {
                ++summary.leftOut;
                rows.gaveNothing(file);
            } else if (item.decode) {
                summary.redecoded += stale ? 1 : 0;
                rows.add(std::move(item.path), item.values, item.fine, item.status, item.luminance);
            } else if (!item.stored.empty()) {
                TChunkThumb::decodeValues(item.stored.data(), item.stored.size(), values);
                rows.add(std::move(item.path), values, item.fine, item.status);
            } else if (!rows.alias(std::move(item.path), file)) {
                ++summary.leftOut;
            }
        });
    progress.phase.store(GroupingPhase::Reading);
    bool decoding = false;
    IndexReader::Entry entry;
    while (reader.next(entry, &run.proceedFlag())) {
        ++summary.examined;
        progress.entriesRead.fetch_add(1, std::memory_order_relaxed);
        if (entry.stored.size() != 2 * static_cast<std::size_t>(table.count))
            continue; // another pixel number, or damaged: never a look-alike
        if (run.settings().exclusions.excludes(entry.path)) {
            ++summary.excluded;
            continue;
        }
        DecodePipeline::Item item;
        item.path = entry.path;
        const auto status = platform::FileManager::fileStatus(item.path);
        if (!status || !status->isRegularFile) {
            ++summary.leftOut;
            continue;
        }
        item.status = *status;
        if (rows.seen(status->identity)) {
            pipeline.submit(std::move(item)); // an alias, settled in turn
            continue;
        }
        const FileStamp now{status->size, status->modifiedNs, status->changedNs};
        item.fine = entry.fine.empty() ? std::nullopt : FineSignature::load(entry.fine);
        // A stored fingerprint cannot be turned (it keeps no grid): a grouping
        // of any orientation decodes every picture again, as a folder's would.
        if (item.fine && entry.stamp == now && !run.settings().anyOrientation) {
            item.stored.assign(entry.stored.begin(), entry.stored.end());
        } else {
            const bool stale = !(item.fine && entry.stamp == now);
            item.fine.reset();
            item.file.reset(platform::FileManager::openRegularFile(item.path, O_RDONLY));
            if (!item.file.isOpen()) {
                ++summary.leftOut;
                rows.gaveNothing(status->identity);
                continue;
            }
            item.decode = true;
            changed.push_back(stale);
            decoding = true;
        }
        pipeline.submit(std::move(item));
    }
    // What is left are the files changed since they were indexed.
    if (decoding)
        progress.phase.store(GroupingPhase::Checking);
    pipeline.finish();
    return true;
}

// Every picture of a tree, decoded on every core as an index creation would,
// into memory; a file the walk meets again by another path is not decoded
// again.
bool decodeTree(RunContext& run, Rows& rows, SignatureTable& table, GroupingProgress& progress)
{
    progress.phase.store(GroupingPhase::Decoding);
    table.count = run.settings().pixelNumber * run.settings().pixelNumber;
    PictureWalk::Steps steps;
    steps.prepare = [&](DecodePipeline::Item& item, const WalkFile&) {
        // One byte is no signature of any size: the walk hands the item back
        // as settled, and it is taken for an alias.
        if (rows.seen(item.status.identity))
            item.stored.assign(1, 0);
    };
    steps.complete = [&](DecodePipeline::Item& item) {
        if (item.stored.empty())
            rows.add(std::move(item.path), item.values, item.fine, item.status, item.luminance);
        else
            rows.alias(std::move(item.path), item.status.identity);
    };
    return PictureWalk(run, std::move(steps)).run();
}

int threadsFor(int jobs)
{
    return std::clamp(jobs > 0 ? jobs : static_cast<int>(std::thread::hardware_concurrency()), 1,
                      256);
}

// What the limits that fail a process passing them leave for a grouping
// with `threads` threads (the calling one among them); none without limits.
std::optional<std::int64_t> roomFor(const platform::MemoryReadings& readings, int threads)
{
    std::optional<std::int64_t> room = readings.cgroupRoom;
    if (readings.addressSpaceLimit) {
        const std::int64_t left = *readings.addressSpaceLimit - readings.addressSpaceUsed -
                                  (threads - 1) * readings.threadAddressSpace;
        room = std::min(room.value_or(left), left);
    }
    return room;
}

} // namespace

void runGroups(RunContext& run, GroupsState state)
{
    auto result = std::make_shared<LookAlikeResult>();
    SignatureTable& table = result->table;
    Tally tally;
    const bool anyOrientation = run.settings().anyOrientation;
    Rows rows(*result, tally, run.settings().preferred, anyOrientation);
    const bool read = run.settings().searchMethod == SearchMethod::IndexFile
                          ? readIndex(run, rows, table, state.progress)
                          : decodeTree(run, rows, table, state.progress);
    rows.finish();
    if (!read || !run.proceed()) {
        if (read)
            run.endedByStop();
        return;
    }
    const auto n = static_cast<std::size_t>(tally.pictures);
    const std::int32_t bits = run.settings().bits;
    int threads = threadsFor(run.settings().jobs);
    const auto need = [&](int t) {
        return lookAlikeGroupingMemory(n, table.count, bits, t, anyOrientation);
    };
    if (tally.full) {
        run.fail(outOfMemory(tally,
                             tableMemory(tally, table.count, anyOrientation) + need(threads).most));
        return;
    }
    // Each thread costs address space of its own; fewer of them first. Only
    // what the grouping needs in any case refuses it.
    const platform::MemoryReadings readings = platform::MemoryReadings::read();
    const auto lacking = [&](int t) {
        const auto room = roomFor(readings, t);
        return room ? need(t).least - *room : std::int64_t{0};
    };
    while (threads > 1 && lacking(threads) > 0)
        --threads;
    if (lacking(threads) > 0) {
        run.fail(outOfMemory(tally,
                             tableMemory(tally, table.count, anyOrientation) + need(threads).most,
                             "; that is at least " + megabytes(lacking(threads)) +
                                 " more than the memory limits leave"));
        return;
    }
    std::optional<std::vector<LookAlikeGroup>> groups;
    try {
        const RunSettings& settings = run.settings();
        groups = findLookAlikeGroups(table,
                                     GroupingRequest{bits, settings.matchRate, settings.similarity,
                                                     settings.keep, settings.preferred, threads,
                                                     anyOrientation},
                                     &run.proceedFlag(), &state.progress);
    } catch (const std::bad_alloc&) {
        run.fail(outOfMemory(tally,
                             tableMemory(tally, table.count, anyOrientation) + need(threads).most));
        return;
    }
    if (!groups) {
        run.endedByStop();
        return;
    }
    result->groups = std::move(*groups);
    run.summary().hits = static_cast<std::int64_t>(result->groups.size());
    state.publish(std::move(result));
}

} // namespace ovrin
