#include "engine/RunContext.h"
#include "indexfile/TChunk.h"
#include "indexfile/TIndexReader.h"
#include "signature/TFileInfo.h"

namespace ovrin {

void runIndexSearch(RunContext& run, IndexSearchState state)
{
    const RunSettings& settings = run.settings();
    const std::string indexPath = settings.indexFilePath.value_or(std::string());
    TIndexReader reader(indexPath);
    if (!reader.isOpen()) {
        run.fail("The index file " + indexPath +
                 " cannot be opened: " + platform::describeLoadFailure(reader.openFailure()));
        return;
    }
    state.readTotal.store(reader.size());
    {
        // The head decides the pixel number; the target is remade at it from
        // the path the search was started with.
        const std::int32_t pixelNumber = reader.readHead();
        state.pixelNumber.store(pixelNumber);
        if (settings.targetPath) {
            TFileInfo rebuilt(*settings.targetPath);
            if (rebuilt.makeThumbnail(pixelNumber))
                state.target.setThumbnail(rebuilt.thumbnail());
        }
    }

    // Stored values are compared where they lie; a record is made only for a
    // hit, so a million entries do not mean millions of allocations.
    const std::vector<std::uint16_t> target = TFileInfo::storedWords(state.target.thumbnail());
    const auto targetCount = static_cast<std::int32_t>(target.size());
    std::vector<std::int16_t> values;
    TIndexReader::Entry entry;
    std::int64_t entries = 0;
    while (reader.next(entry, &run.proceedFlag())) {
        ++entries;
        if ((entries & 1023) == 0)
            state.readDone.store(static_cast<std::int64_t>(reader.offset()));
        if (entry.stored.size() / 2 != target.size())
            continue;
        const auto rate = TFileInfo::compareStoredSignature(
            target.data(), entry.stored.data(), targetCount, settings.bits, settings.matchRate);
        if (rate) {
            TChunkThumb::decodeValues(entry.stored.data(), entry.stored.size(), values);
            const auto record = std::make_shared<TFileInfo>(std::string(entry.path));
            record->setThumbnail(values);
            record->setMatchRate(*rate);
            run.hit(record);
        }
    }
    state.readDone.store(static_cast<std::int64_t>(reader.offset()));
    run.summary().examined = entries;
    if (!run.proceed())
        run.summary().outcome = RunSummary::Outcome::Stopped;
}

} // namespace ovrin
