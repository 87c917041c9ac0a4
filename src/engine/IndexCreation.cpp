#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "indexfile/BigEndian.h"
#include "indexfile/IndexLookup.h"
#include "indexfile/IndexReader.h"
#include "indexfile/IndexWriter.h"
#include "indexfile/TChunk.h"
#include "output/Utf8.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileManager.h"
#include "platform/fs/SystemError.h"
#include "signature/FineSignature.h"

namespace ovrin {

using platform::AtomicFile;
using platform::FileManager;
using IndexResult = RunSummary::IndexResult;

namespace {

static_assert(FineSignature::kStoredSize <= TChunk::maxDataSize(TChunk::kFineID),
              "readers keep no more of a fingerprint chunk");

// Temporaries of killed runs older than this are removed when the index is
// written again; a live run keeps a lock on its own whatever its age.
constexpr std::int64_t kStaleTemporarySeconds = 60;

std::string because(int error)
{
    return platform::systemMessage(error != 0 ? error : EIO);
}

// How every index this program writes begins, whatever its pixel number: the
// head chunk's id and size and the format version. A file named like a
// temporary is taken for a killed run's only when it begins so (or is empty).
std::string headStart()
{
    std::uint8_t bytes[12];
    bigendian::store32(bytes, TChunk::kHeadID);
    bigendian::store32(bytes + 4, static_cast<std::uint32_t>(TChunkHead::kDataSize));
    bigendian::store32(bytes + 8, static_cast<std::uint32_t>(TChunkHead::kVersion));
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Nothing, an empty file or an index: what the index path may hold for the new
// index to be put there.
bool mayReplace(const std::string& destination)
{
    const auto status = FileManager::fileStatus(destination);
    return !status ||
           (status->isRegularFile && (status->size == 0 || IndexReader(destination).isIndexFile()));
}

// For a person told that the index path was taken by something else while the
// run went on: what stands there now, that it was left alone, and that no
// index is there any more.
std::string displacedMessage(const std::string& indexPath, const std::string& destination)
{
    const auto status = FileManager::fileStatus(destination);
    const std::string what =
        !status               ? "nothing"
        : status->isDirectory ? "a folder"
        : !status->isRegularFile
            ? "a device, FIFO or socket"
            : "a file of " + std::to_string(status->size) + " bytes that is no index file";
    return indexPath +
           " was overwritten or replaced by another program while the index was written: " + what +
           " stands there now. It was left as it is and the new index was discarded, so no "
           "index is at " +
           indexPath + " now.";
}

// Paths the walk must not take for pictures: the index itself (its path text,
// case ignored, at any depth), the temporary the new index is written into,
// and temporaries other runs are writing beside it.
bool isIndexOwnFile(const std::string& path, const platform::FileStatus& status,
                    const std::string& indexPath, const AtomicFile& file)
{
    if (status.identity == file.temporaryIdentity() ||
        FileManager::isSamePathIgnoringCase(path, indexPath))
        return true;
    const std::string marker = indexPath + AtomicFile::kTemporaryMarker;
    return path.size() == marker.size() + 6 && path.compare(0, marker.size(), marker) == 0;
}

} // namespace

void runIndexCreation(RunContext& run)
{
    // Before any file is looked at: the next update trusts only the stamps
    // taken here that are settled before this.
    const std::int64_t runStart = FileStamp::clockNs();
    const RunSettings& settings = run.settings();
    const std::string indexPath = settings.indexFilePath.value_or(std::string());
    const std::int32_t pixelNumber = settings.pixelNumber;
    RunSummary& summary = run.summary();

    const bool hadIndex = IndexReader(FileManager::resolveLinks(indexPath)).isIndexFile();
    summary.index = hadIndex ? IndexResult::KeptExisting : IndexResult::NotWritten;
    if (settings.exclusions.excludes(settings.topDirPath.value_or(std::string()))) {
        // Its index would be empty, and an update would empty the one there.
        run.fail("The folder " + settings.topDirPath.value_or(std::string()) +
                 " is left out by the exclusions, so there is nothing to index.");
        return;
    }
    AtomicFile::removeStaleTemporaries(indexPath, kStaleTemporarySeconds, headStart());

    // Signatures of pictures unchanged since the index there was written are
    // taken over instead of decoded again.
    IndexLookup previous;
    const bool update = hadIndex && !settings.rebuildIndex &&
                        previous.load(indexPath, pixelNumber, &run.proceedFlag());

    AtomicFile file(indexPath);
    if (!file.begin()) {
        run.fail("Cannot create a file in the folder of the index file " + indexPath + ": " +
                 because(file.errorCode()));
        return;
    }
    // What the start found at the index path may have been exchanged since;
    // from here on the commit notices any change.
    if (!mayReplace(file.destination())) {
        summary.index = IndexResult::NotWritten;
        run.fail(displacedMessage(indexPath, file.destination()));
        return;
    }
    IndexWriter writer(file.handle());
    writer.writeHead(pixelNumber);
    writer.writeRunStart(runStart);

    std::vector<std::uint8_t> storedFine;
    PictureWalk::Steps steps;
    steps.passOver = [&](const std::string& path, const platform::FileStatus& status) {
        return isIndexOwnFile(path, status, indexPath, file);
    };
    steps.prepare = [&](DecodePipeline::Item& item, const WalkFile&) {
        if (item.path.size() > TChunk::kMaxPathBytes || !output::isUtf8(item.path)) {
            item.skip = SkipReason::NameNotUtf8; // the index stores UTF-8 paths only
            return;
        }
        if (!update)
            return;
        item.previousEntry = previous.locate(item.path);
        const FileStamp stamp{item.status.size, item.status.modifiedNs, item.status.changedNs};
        if (!item.previousEntry ||
            !previous.storedIfUnchanged(*item.previousEntry, stamp, item.stored, storedFine))
            return;
        // Taken over with its fingerprint, or decoded again when either is of
        // no use.
        if (storedFine.size() == FineSignature::kStoredSize)
            item.fine = FineSignature::load(storedFine);
        if (!item.fine ||
            item.stored.size() != 2 * static_cast<std::size_t>(pixelNumber * pixelNumber)) {
            item.stored.clear();
            item.fine.reset();
        }
    };
    std::uint8_t fine[FineSignature::kStoredSize];
    const auto fineOf = [&fine](const DecodePipeline::Item& item) {
        if (!item.fine)
            return std::span<const std::uint8_t>();
        item.fine->store(fine);
        return std::span<const std::uint8_t>(fine);
    };
    steps.complete = [&](DecodePipeline::Item& item) {
        const FileStamp stamp{item.status.size, item.status.modifiedNs, item.status.changedNs};
        if (!item.stored.empty()) {
            writer.writeStoredEntry(item.path, item.stored, stamp, fineOf(item));
            ++summary.reused;
        } else {
            writer.writeEntry(item.path, item.values, stamp, fineOf(item));
            ++summary.decoded;
        }
        ++summary.indexed;
        if (item.previousEntry)
            previous.keep(*item.previousEntry);
    };
    if (!PictureWalk(run, std::move(steps)).run())
        return; // the top folder went away since the start: nothing is replaced
    if (update)
        summary.removed = previous.removed();

    if (summary.outcome == RunSummary::Outcome::Failed)
        return; // out of memory, say: what was there stays, nothing half-made replaces it
    if (summary.outcome == RunSummary::Outcome::Stopped && hadIndex) {
        // A stopped run must not replace a complete index with part of one.
        file.discard();
        return;
    }
    // Whatever came to the index path meanwhile is replaced only if it could
    // have been there at the start.
    if (!file.commit(mayReplace)) {
        const int error = file.errorCode();
        if (error == EEXIST) {
            summary.index = IndexResult::NotWritten; // whatever the index was, it is gone
            run.fail(displacedMessage(indexPath, file.destination()));
        } else {
            run.fail("Could not write the index file " + indexPath + ": " + because(error));
        }
        return;
    }
    summary.index = summary.outcome == RunSummary::Outcome::Stopped ? IndexResult::Partial
                                                                    : IndexResult::Written;
}

} // namespace ovrin
