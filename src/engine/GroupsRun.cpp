#include "engine/LookAlikeGroups.h"
#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "indexfile/TChunk.h"
#include "indexfile/TIndexReader.h"

namespace ovrin {

namespace {

// Every signature of an index file of the head's pixel number.
bool readIndex(RunContext& run, SignatureTable& table)
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
        TChunkThumb::decodeValues(entry.stored.data(), entry.stored.size(), values);
        table.values.insert(table.values.end(), values.begin(), values.end());
        table.paths.emplace_back(entry.path);
    }
    return true;
}

// Every picture of a tree, decoded on every core as an index creation would,
// into memory.
bool decodeTree(RunContext& run, SignatureTable& table)
{
    table.count = run.settings().pixelNumber * run.settings().pixelNumber;
    PictureWalk::Steps steps;
    steps.complete = [&](DecodePipeline::Item& item) {
        table.values.insert(table.values.end(), item.values.begin(), item.values.end());
        table.paths.push_back(std::move(item.path));
    };
    return PictureWalk(run, std::move(steps)).run();
}

} // namespace

void runGroups(RunContext& run, GroupsState state)
{
    auto result = std::make_shared<LookAlikeResult>();
    const bool read = run.settings().searchMethod == 1 ? readIndex(run, result->table)
                                                       : decodeTree(run, result->table);
    if (!read || !run.proceed()) {
        if (read)
            run.endedByStop();
        return;
    }
    auto groups = findLookAlikeGroups(result->table, run.settings().bits, run.settings().matchRate,
                                      run.settings().jobs, &run.proceedFlag(), &state.progress);
    if (!groups) {
        run.endedByStop();
        return;
    }
    result->groups = std::move(*groups);
    run.summary().hits = static_cast<std::int64_t>(result->groups.size());
    state.publish(std::move(result));
}

} // namespace ovrin
