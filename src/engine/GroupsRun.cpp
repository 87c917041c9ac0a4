#include "engine/LookAlikeGroups.h"
#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "indexfile/TChunk.h"
#include "indexfile/TIndexReader.h"
#include "platform/DecodeBudget.h"

#include <algorithm>
#include <new>
#include <thread>

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

std::int64_t tableMemory(const Tally& tally, std::int32_t count)
{
    return tally.pictures * (2 * std::int64_t{count} + std::int64_t{sizeof(std::string)}) +
           tally.pathBytes;
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

// Gives up the table once memory ran out; the tally goes on.
void dropTable(SignatureTable& table, Tally& tally)
{
    tally.full = true;
    std::vector<std::int16_t>().swap(table.values);
    std::vector<std::string>().swap(table.paths);
}

// Every signature of an index file of the head's pixel number.
bool readIndex(RunContext& run, SignatureTable& table, Tally& tally)
{
    const std::string indexPath = run.settings().indexFilePath.value_or(std::string());
    TIndexReader reader(indexPath);
    if (!reader.isIndexFile()) {
        run.fail("The index file " + indexPath + " cannot be read: " +
                 (reader.isOpen() ? "not an index file"
                                  : platform::describeLoadFailure(reader.openFailure())));
        return false;
    }
    const std::int32_t pixelNumber = reader.readHead();
    table.count = pixelNumber * pixelNumber;
    std::vector<std::int16_t> values;
    TIndexReader::Entry entry;
    while (reader.next(entry, &run.proceedFlag())) {
        ++run.summary().examined;
        if (entry.stored.size() != 2 * static_cast<std::size_t>(table.count))
            continue; // another pixel number, or damaged: never a look-alike
        tally.add(entry.path.size());
        if (tally.full)
            continue;
        try {
            TChunkThumb::decodeValues(entry.stored.data(), entry.stored.size(), values);
            table.values.insert(table.values.end(), values.begin(), values.end());
            table.paths.emplace_back(entry.path);
        } catch (const std::bad_alloc&) {
            dropTable(table, tally);
        }
    }
    return true;
}

// Every picture of a tree, decoded on every core as an index creation would,
// into memory.
bool decodeTree(RunContext& run, SignatureTable& table, Tally& tally)
{
    table.count = run.settings().pixelNumber * run.settings().pixelNumber;
    PictureWalk::Steps steps;
    steps.complete = [&](DecodePipeline::Item& item) {
        tally.add(item.path.size());
        if (tally.full)
            return;
        try {
            table.values.insert(table.values.end(), item.values.begin(), item.values.end());
            table.paths.push_back(std::move(item.path));
        } catch (const std::bad_alloc&) {
            dropTable(table, tally);
        }
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
    const bool read = run.settings().searchMethod == 1 ? readIndex(run, table, tally)
                                                       : decodeTree(run, table, tally);
    if (!read || !run.proceed()) {
        if (read)
            run.endedByStop();
        return;
    }
    const auto n = static_cast<std::size_t>(tally.pictures);
    const std::int32_t bits = run.settings().bits;
    int threads = threadsFor(run.settings().jobs);
    const auto need = [&](int t) { return lookAlikeGroupingMemory(n, table.count, bits, t); };
    if (tally.full) {
        run.fail(outOfMemory(tally, tableMemory(tally, table.count) + need(threads).most));
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
        run.fail(outOfMemory(tally, tableMemory(tally, table.count) + need(threads).most,
                             "; that is at least " + megabytes(lacking(threads)) +
                                 " more than the memory limits leave"));
        return;
    }
    std::optional<std::vector<LookAlikeGroup>> groups;
    try {
        groups = findLookAlikeGroups(table, bits, run.settings().matchRate, threads,
                                     &run.proceedFlag(), &state.progress);
    } catch (const std::bad_alloc&) {
        run.fail(outOfMemory(tally, tableMemory(tally, table.count) + need(threads).most));
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
