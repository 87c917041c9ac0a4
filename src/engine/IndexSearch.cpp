#include "engine/RunContext.h"
#include "indexfile/IndexReader.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileManager.h"
#include "signature/FineSignature.h"
#include "signature/Orientation.h"
#include "signature/TFileInfo.h"

namespace ovrin {

void runIndexSearch(RunContext& run, IndexSearchState state)
{
    const RunSettings& settings = run.settings();
    const std::string indexPath = settings.indexFilePath.value_or(std::string());
    IndexReader reader(indexPath);
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
        if (settings.targetPath || settings.targetPicture) {
            TFileInfo rebuilt(settings.targetPath.value_or(std::string()));
            if (loadTarget(rebuilt, settings.targetPicture.get(), pixelNumber, nullptr) ==
                platform::LoadFailure::None) {
                state.target.setThumbnail(rebuilt.thumbnail());
                state.target.setFine(rebuilt.fine());
                state.target.setLuminance(rebuilt.luminance());
            }
        }
    }

    // Stored values are compared where they lie, before the reader looks at
    // the entry's path; a record is made only for a hit, so a million entries
    // do not mean millions of allocations.
    struct Scan {
        OrientedStoredComparison comparison;
        const IndexReader& reader;
        std::atomic<std::int64_t>& readDone;
        std::int64_t seen = 0;
        std::optional<OrientedMatch> rate;

        static bool accept(void* context, std::span<const std::uint8_t> stored)
        {
            auto& scan = *static_cast<Scan*>(context);
            if ((++scan.seen & 1023) == 0)
                scan.readDone.store(static_cast<std::int64_t>(scan.reader.offset()));
            scan.rate = scan.comparison.rate(stored.data(), stored.size());
            return scan.rate.has_value();
        }
    };
    Scan scan{OrientedStoredComparison(state.target.thumbnail(), settings.bits, settings.matchRate,
                                       settings.anyOrientation),
              reader, state.readDone, 0, std::nullopt};
    const OrientedTarget forms(state.target, settings.anyOrientation);
    const IndexReader::Filter filter{&Scan::accept, &scan};
    std::vector<std::int16_t> values;
    IndexReader::Entry entry;
    RunSummary& summary = run.summary();
    while (reader.next(entry, &run.proceedFlag(), filter)) {
        // Only a matching entry's path is read, so only those are weighed.
        if (settings.exclusions.excludes(entry.path)) {
            ++summary.excluded;
            continue;
        }
        auto record = std::make_shared<TFileInfo>(std::string(entry.path));
        // Only hits are looked at on disk: the entry stands for its file as
        // long as the file's stamp is the one recorded with it.
        const auto status = platform::FileManager::fileStatus(*record->filePath());
        if (!status || !status->isRegularFile) {
            ++summary.leftOut;
            continue;
        }
        if (entry.stamp == FileStamp{status->size, status->modifiedNs, status->changedNs}) {
            TChunkThumb::decodeValues(entry.stored.data(), entry.stored.size(), values);
            record->setThumbnail(values);
            if (!entry.fine.empty())
                record->setFine(FineSignature::load(entry.fine));
            // The scan matched on colour; a turned form still has to be
            // confirmed by the entry's fingerprint, which also tells an
            // upright match from a turned one where the colours allow both.
            if (forms.forms().size() == 1 || !record->fine()) {
                record->setMatchRate(scan.rate->rate);
                record->setOrientation(scan.rate->orientation);
            } else if (!forms.matches(settings.bits, settings.matchRate, *record)) {
                continue;
            }
            run.hit(record);
            continue;
        }
        // Changed since it was indexed, or indexed without a stamp: what the
        // file holds now decides.
        const platform::LoadFailure failure =
            record->loadThumbnail(state.pixelNumber.load(), &run.proceedFlag());
        if (failure == platform::LoadFailure::Stopped)
            break;
        if (failure == platform::LoadFailure::OutOfMemory) {
            run.abort("Out of memory while decoding " + *record->filePath() + ".");
            break;
        }
        if (failure != platform::LoadFailure::None) {
            ++summary.leftOut;
            continue;
        }
        ++summary.redecoded;
        if (forms.matches(settings.bits, settings.matchRate, *record))
            run.hit(record);
    }
    state.readDone.store(static_cast<std::int64_t>(reader.offset()));
    run.summary().examined = reader.entries();
    if (!run.proceed()) {
        run.endedByStop();
        // Entries take about the same room each: the share read tells how many there are.
        if (reader.offset() > 0)
            run.summary().estimated = static_cast<std::int64_t>(
                static_cast<double>(reader.entries()) * static_cast<double>(reader.size()) /
                static_cast<double>(reader.offset()));
    }
}

} // namespace ovrin
