#include "engine/ReviewActions.h"

#include "engine/LookAlikeGroups.h"
#include "platform/fs/FileManager.h"
#include "platform/fs/FileMoves.h"
#include "platform/fs/SystemError.h"
#include "platform/fs/Trash.h"
#include "signature/TFileInfo.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace ovrin {

namespace {

using platform::Descriptor;
using platform::FileIdentity;
using platform::FileIdentityHash;
using platform::FileManager;
using platform::FileMoves;
using platform::FileStatus;
using platform::LoadFailure;

ActionOutcome outcome(const std::string& path, ActionRefusal refusal, std::string detail = {},
                      int error = 0)
{
    return {path, refusal, error, std::move(detail), {}};
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    const auto status = FileManager::fileStatus(path);
    return status ? std::optional(status->identity) : std::nullopt;
}

// Whether a picture that stays is still there with the content it was
// examined with, as far as its size and modification time tell (a link made
// to it moves its status change time).
bool keptAsExamined(const ExaminedPicture& picture)
{
    const auto status = FileManager::fileStatus(picture.path);
    if (!status)
        return false;
    return !picture.stamp ||
           (status->size == picture.stamp->size && status->modifiedNs == picture.stamp->modifiedNs);
}

std::string realPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return {};
    std::string resolved(real);
    std::free(real);
    return resolved;
}

std::string nameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

bool isMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

// A kept copy gains a link count, and with it a status change time, with
// every hard link made to it: its own stamp is size and modification time.
bool sameStamp(const FileStatus& now, const FileStamp& then, bool keptCopy)
{
    return now.size == then.size && now.modifiedNs == then.modifiedNs &&
           (keptCopy || now.changedNs == then.changedNs);
}

bool sameFile(const FileStatus& now, const FileStatus& checked)
{
    return now.identity == checked.identity && now.size == checked.size &&
           now.modifiedNs == checked.modifiedNs && now.changedNs == checked.changedNs;
}

// Whether the file is still as the checks left it, right before it is acted on.
bool stillAsChecked(const std::string& path, const FileStatus& checked)
{
    const auto now = FileManager::fileStatus(path);
    return now && sameFile(*now, checked);
}

// What a check of a picture's file found; `status` is the file as decoded.
struct Checked {
    ActionRefusal refusal = ActionRefusal::None;
    int error = 0;
    FileStatus status;
};

Checked refusedAs(ActionRefusal refusal, int error = 0)
{
    Checked checked;
    checked.refusal = refusal;
    checked.error = error;
    return checked;
}

// Finds the file as it was examined: the same stamp, and decoded again, the
// same signature value for value.
Checked checkPicture(const ExaminedPicture& picture, const std::atomic<bool>* proceed,
                     bool keptCopy)
{
    int error = 0;
    const auto status = FileManager::fileStatus(picture.path, &error);
    if (!status)
        return isMissing(error) ? refusedAs(ActionRefusal::Missing)
                                : refusedAs(ActionRefusal::Failed, error);
    if (!picture.stamp || picture.signature.empty())
        return refusedAs(ActionRefusal::NotExamined);
    if (!sameStamp(*status, *picture.stamp, keptCopy))
        return refusedAs(ActionRefusal::Changed);
    if (!status->isRegularFile)
        return refusedAs(ActionRefusal::NotThePicture);
    LoadFailure why = LoadFailure::None;
    Descriptor fd(FileManager::openRegularFile(picture.path, O_RDONLY, &why));
    const auto opened = fd.isOpen() ? FileManager::fileStatusOf(fd.get()) : std::nullopt;
    if (!opened || !sameFile(*opened, *status))
        return refusedAs(why == LoadFailure::PermissionDenied ? ActionRefusal::Failed
                                                              : ActionRefusal::Changed,
                         why == LoadFailure::PermissionDenied ? EACCES : 0);
    TFileInfo decoded;
    decoded.setFilePath(picture.path); // the name tells apart the formats known by it
    switch (decoded.loadThumbnail(picture.pixelNumber, fd.release(), proceed)) {
    case LoadFailure::None:
        break;
    case LoadFailure::Stopped:
        return refusedAs(ActionRefusal::Stopped);
    case LoadFailure::OutOfMemory:
        return refusedAs(ActionRefusal::Failed, ENOMEM);
    case LoadFailure::PermissionDenied:
        return refusedAs(ActionRefusal::Failed, EACCES);
    case LoadFailure::ReadError:
        return refusedAs(ActionRefusal::Failed, EIO);
    default:
        return refusedAs(ActionRefusal::NotThePicture);
    }
    if (decoded.thumbnail() != picture.signature)
        return refusedAs(ActionRefusal::NotThePicture);
    // A change while it decoded would leave the signature of another file.
    if (!stillAsChecked(picture.path, *status))
        return refusedAs(ActionRefusal::Changed);
    Checked checked;
    checked.status = *status;
    return checked;
}

// Whether `relative` names a file below its folder: no empty, "." or ".."
// part that could lead a hostile index's path out of the destination.
bool staysBelow(const std::string& relative)
{
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string_view part(relative.data() + start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string destinationFor(const std::string& path, const ActionRequest& request)
{
    const std::string& root = request.root;
    if (!root.empty() && preferenceRank(path, {root}) == 0) {
        const std::string relative = path.substr(root.size() + (root.back() == '/' ? 0 : 1));
        if (staysBelow(relative))
            return FileManager::appendPathComponent(request.destination, relative);
    }
    return FileManager::appendPathComponent(request.destination, nameOf(path));
}

struct Copied {
    ActionRefusal refusal = ActionRefusal::None;
    int error = 0;
    FileIdentity placed;
};

Copied copyFailed(ActionRefusal refusal, int error)
{
    Copied copied;
    copied.refusal = refusal;
    copied.error = error;
    return copied;
}

// Copies `from` to the new name `to` on another file system: into a
// temporary name beside it, made durable, found to be the picture again, and
// only then given its name, never in place of anything. The original stays;
// a failure leaves no copy.
Copied copyAcross(const std::string& from, const std::string& to,
                  const std::vector<std::int16_t>& signature, std::int32_t pixelNumber)
{
    LoadFailure why = LoadFailure::None;
    const Descriptor source(FileManager::openRegularFile(from, O_RDONLY, &why));
    if (!source.isOpen() || !FileManager::fileStatusOf(source.get()))
        return copyFailed(why == LoadFailure::Missing ? ActionRefusal::Missing
                                                      : ActionRefusal::Failed,
                          why == LoadFailure::PermissionDenied ? EACCES : EIO);
    int error = 0;
    const Descriptor folder(FileManager::openFolder(FileManager::folderOf(to), &error));
    if (!folder.isOpen())
        return copyFailed(ActionRefusal::Failed, error);
    std::string temporary;
    Descriptor copy;
    for (int attempt = 0; attempt < 100 && !copy.isOpen(); ++attempt) {
        temporary =
            ".ovrin-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".part";
        copy.reset(FileMoves::createNewFileAt(folder.get(), temporary, &error));
        if (!copy.isOpen() && error != EEXIST)
            return copyFailed(ActionRefusal::Failed, error);
    }
    if (!copy.isOpen())
        return copyFailed(ActionRefusal::Failed, EEXIST);
    const auto fail = [&](ActionRefusal refusal, int code) {
        ::unlinkat(folder.get(), temporary.c_str(), 0);
        return copyFailed(refusal, code);
    };
    FileStatus written;
    if (const int copied = FileMoves::copyInto(source.get(), copy.get(), &written); copied != 0)
        return fail(ActionRefusal::Failed, copied);
    if (!signature.empty()) {
        TFileInfo decoded;
        decoded.setFilePath(to); // read under the name it is given, not the temporary one
        const int fd = FileManager::openRegularFileAt(folder.get(), temporary, O_RDONLY);
        if (fd < 0 || decoded.loadThumbnail(pixelNumber, fd) != LoadFailure::None ||
            decoded.thumbnail() != signature)
            return fail(ActionRefusal::Failed, EIO);
    }
    if (const int moved =
            FileMoves::renameWithoutReplacing(folder.get(), temporary, folder.get(), nameOf(to));
        moved != 0)
        return fail(moved == EEXIST ? ActionRefusal::Occupied : ActionRefusal::Failed, moved);
    ::fsync(folder.get());
    Copied copied;
    copied.placed = written.identity;
    return copied;
}

// Moves `from` to `to`, which must be free: renamed on one file system,
// copied and then removed across two. `sourceAsChecked` (none: any) is the
// state the original must still be in when it is removed.
Copied moveFile(const std::string& from, const std::string& to,
                const std::vector<std::int16_t>& signature, std::int32_t pixelNumber,
                const std::optional<FileStatus>& sourceAsChecked)
{
    const int moved = FileMoves::renameWithoutReplacing(from, to);
    if (moved == 0) {
        Copied copied;
        copied.placed = FileMoves::nameIdentity(to).value_or(FileIdentity{});
        return copied;
    }
    if (moved != EXDEV)
        return copyFailed(moved == EEXIST ? ActionRefusal::Occupied : ActionRefusal::Failed, moved);
    Copied copied = copyAcross(from, to, signature, pixelNumber);
    if (copied.refusal != ActionRefusal::None)
        return copied;
    const auto dropCopy = [&](ActionRefusal refusal, int error) {
        if (FileMoves::nameIdentity(to) == copied.placed)
            ::unlink(to.c_str());
        return copyFailed(refusal, error);
    };
    if (sourceAsChecked && !stillAsChecked(from, *sourceAsChecked))
        return dropCopy(ActionRefusal::Changed, 0);
    if (const int removed = FileMoves::removeFile(from); removed != 0)
        return dropCopy(ActionRefusal::Failed, removed);
    return copied;
}

int trashError(const platform::TrashOutcome& trashed)
{
    return trashed.error != 0 ? trashed.error : EIO;
}

// What one act came to: its outcome and, where the file went anywhere, what
// an undo needs to find it again.
struct Acted {
    ActionOutcome outcome;
    std::optional<ActionKind> step; // the kind of step to undo; none: nothing moved
    FileIdentity placed;            // the file at outcome.placedAt
    FileIdentity link;              // a hard link: the kept copy now at the path
};

Acted refused(const std::string& path, ActionRefusal refusal, std::string detail = {},
              int error = 0)
{
    return {outcome(path, refusal, std::move(detail), error), std::nullopt, {}, {}};
}

Acted placed(const std::string& path, ActionKind kind, const std::string& at,
             const FileIdentity& file, const FileIdentity& link = {})
{
    Acted acted{outcome(path, ActionRefusal::None), kind, file, link};
    acted.outcome.placedAt = at;
    return acted;
}

// Whether the file the trash took is the one checked: a folder on the way
// swapped for a link between the check and the move sends another file.
bool trashedAsChecked(const std::string& trashedAs, const FileStatus& checked)
{
    return FileMoves::nameIdentity(trashedAs) == checked.identity ||
           fileIdentity(trashedAs) == checked.identity;
}

// Brings back at once what the trash took in place of the picture checked.
Acted putBackChanged(const std::string& path, const std::string& trashedAs)
{
    if (platform::Trash::restore(trashedAs, path) == 0)
        return refused(path, ActionRefusal::Changed);
    Acted acted = placed(path, ActionKind::Trash, trashedAs,
                         FileMoves::nameIdentity(trashedAs).value_or(FileIdentity{}));
    acted.outcome.refusal = ActionRefusal::Changed;
    acted.outcome.detail = trashedAs;
    return acted;
}

Acted trashFile(const std::string& path, const FileStatus& checked)
{
    if (!stillAsChecked(path, checked))
        return refused(path, ActionRefusal::Changed);
    const platform::TrashOutcome trashed = platform::Trash::moveToTrash(path);
    if (!trashed)
        return refused(path, ActionRefusal::Failed, trashed.place, trashError(trashed));
    if (!trashedAsChecked(trashed.trashedAs, checked))
        return putBackChanged(path, trashed.trashedAs);
    return placed(path, ActionKind::Trash, trashed.trashedAs,
                  FileMoves::nameIdentity(trashed.trashedAs).value_or(FileIdentity{}));
}

Acted moveIntoFolder(const ExaminedPicture& picture, const ActionRequest& request,
                     const FileStatus& checked)
{
    const std::string& path = picture.path;
    if (request.destination.empty())
        return refused(path, ActionRefusal::Failed, {}, EINVAL);
    const std::string to = destinationFor(path, request);
    if (FileMoves::nameExists(to))
        return refused(path, ActionRefusal::Occupied, to);
    if (const int error = FileManager::makeFolders(FileManager::folderOf(to)); error != 0)
        return refused(path, ActionRefusal::Failed, FileManager::folderOf(to), error);
    if (!stillAsChecked(path, checked))
        return refused(path, ActionRefusal::Changed);
    const Copied moved = moveFile(path, to, picture.signature, picture.pixelNumber, checked);
    if (moved.refusal != ActionRefusal::None)
        return refused(path, moved.refusal,
                       moved.refusal == ActionRefusal::Changed ? std::string() : to, moved.error);
    return placed(path, ActionKind::MoveToFolder, to, moved.placed);
}

// Puts a hard link to the kept copy (checked as `kept`) in place of the
// file, which goes to the trash first and comes back at once when no link
// can be made.
Acted replaceWithLink(const std::string& path, const FileStatus& checked,
                      const std::string& keptPath, Checked& kept)
{
    if (kept.refusal == ActionRefusal::None) {
        const auto now = FileManager::fileStatus(keptPath);
        const FileStatus& then = kept.status;
        if (!now || now->identity != then.identity || now->size != then.size ||
            now->modifiedNs != then.modifiedNs)
            kept = refusedAs(ActionRefusal::Changed);
    }
    if (kept.refusal != ActionRefusal::None)
        return refused(path, kept.refusal,
                       kept.refusal == ActionRefusal::Stopped ? std::string() : keptPath,
                       kept.error);
    const FileIdentity link = kept.status.identity;
    if (checked.identity == link)
        return refused(path, ActionRefusal::Alias, keptPath);
    const auto folder = FileManager::fileStatus(FileManager::folderOf(path));
    if (!folder || folder->identity.device != link.device)
        return refused(path, ActionRefusal::OtherFileSystem, keptPath, EXDEV);
    Acted trashed = trashFile(path, checked);
    if (trashed.outcome.refusal != ActionRefusal::None)
        return trashed;
    const std::string trashedAs = trashed.outcome.placedAt;
    const FileIdentity original = trashed.placed;
    int error = 0;
    if (const int linked = FileMoves::makeHardLink(keptPath, path); linked != 0) {
        error = linked;
    } else if (fileIdentity(path) != link) {
        // The kept copy's path led elsewhere by the time it was linked.
        ::unlink(path.c_str());
        error = ESTALE;
    }
    if (error == 0) {
        // The new link moved the kept copy's status change time.
        if (const auto now = FileManager::fileStatus(keptPath))
            kept.status = *now;
        return placed(path, ActionKind::HardLink, trashedAs, original, link);
    }
    if (platform::Trash::restore(trashedAs, path) == 0)
        return error == ESTALE ? refused(path, ActionRefusal::Changed, keptPath)
                               : refused(path, ActionRefusal::Failed, keptPath, error);
    // It stays in the trash, for an undo to bring back.
    Acted acted = placed(path, ActionKind::Trash, trashedAs, original);
    acted.outcome.refusal = ActionRefusal::Failed;
    acted.outcome.error = error;
    acted.outcome.detail = trashedAs;
    return acted;
}

// The rules on paths and identities alone: a refusal for each item they
// refuse. `identities` gets the file of each item as the rules saw it.
std::vector<std::optional<ActionOutcome>>
applyRules(const ActionRequest& request, std::vector<std::optional<FileIdentity>>& identities)
{
    const std::vector<ActionItem>& items = request.items;
    std::vector<std::optional<ActionOutcome>> ruled(items.size());
    identities.assign(items.size(), std::nullopt);
    for (std::size_t i = 0; i < items.size(); ++i)
        identities[i] = fileIdentity(items[i].picture.path);
    const auto targetIdentity =
        request.target ? fileIdentity(*request.target) : std::optional<FileIdentity>();
    // A protected folder holds a path by its name and by its real place.
    std::vector<std::string> folders;
    std::vector<const std::string*> folderNames;
    for (const std::string& folder : request.protectedFolders)
        for (std::string place : {folder, realPath(folder)})
            if (!place.empty()) {
                folders.push_back(std::move(place));
                folderNames.push_back(&folder);
            }
    std::unordered_set<std::string> asked;
    for (const ActionItem& item : items)
        if (item.group)
            asked.insert(item.picture.path);
    std::unordered_map<FileIdentity, std::string, FileIdentityHash> staying;
    for (const auto& group : request.kept)
        for (const ExaminedPicture& picture : group)
            if (!asked.contains(picture.path))
                if (const auto identity = fileIdentity(picture.path))
                    staying.emplace(*identity, picture.path);
    // Per group: whether a kept picture that is not itself asked for is there.
    std::unordered_map<std::size_t, bool> groupStays;
    const auto stays = [&](std::size_t group) {
        if (const auto found = groupStays.find(group); found != groupStays.end())
            return found->second;
        bool any = false;
        if (group < request.kept.size())
            for (const ExaminedPicture& picture : request.kept[group])
                // A hard link checks its kept copy whole, and says so.
                any = any || (!asked.contains(picture.path) &&
                              (request.kind == ActionKind::HardLink
                                   ? fileIdentity(picture.path).has_value()
                                   : keptAsExamined(picture)));
        groupStays.emplace(group, any);
        return any;
    };
    std::unordered_map<FileIdentity, std::string, FileIdentityHash> accepted;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& path = items[i].picture.path;
        const auto& identity = identities[i];
        const bool isTarget =
            request.target && (path == *request.target ||
                               (identity && targetIdentity && *identity == *targetIdentity));
        std::size_t rank = preferenceRank(path, folders);
        if (const std::string real = realPath(path); rank == folders.size() && !real.empty())
            rank = preferenceRank(real, folders);
        if (isTarget && !request.targetNamed) {
            ruled[i] = outcome(path, ActionRefusal::Target,
                               path == *request.target ? std::string() : *request.target);
        } else if (rank < folders.size()) {
            ruled[i] = outcome(path, ActionRefusal::Protected, *folderNames[rank]);
        } else if ((items[i].group && !stays(*items[i].group)) ||
                   (!items[i].group && request.kind == ActionKind::HardLink)) {
            ruled[i] = outcome(path, ActionRefusal::LastOfGroup);
        } else if (!identity) {
            continue; // its own checks find nothing there
        } else if (const auto kept = staying.find(*identity); kept != staying.end()) {
            ruled[i] = outcome(path, ActionRefusal::Alias, kept->second);
        } else if (isTarget && path != *request.target) {
            ruled[i] = outcome(path, ActionRefusal::Alias, *request.target);
        } else if (const auto other = accepted.find(*identity); other != accepted.end()) {
            ruled[i] = outcome(path, ActionRefusal::Alias, other->second);
        } else {
            accepted.emplace(*identity, path);
        }
    }
    return ruled;
}

} // namespace

std::optional<FileStamp> currentStamp(const std::string& path)
{
    const auto status = platform::FileManager::fileStatus(path);
    if (!status)
        return std::nullopt;
    return FileStamp{status->size, status->modifiedNs, status->changedNs};
}

ActionReport ActionJournal::perform(const ActionRequest& request, const std::atomic<bool>* proceed)
{
    ActionReport report;
    report.kind = request.kind;
    std::vector<Step> steps;
    const std::vector<ActionItem>& items = request.items;
    std::size_t reported = 0;
    try {
        std::vector<std::optional<FileIdentity>> identities;
        const auto ruled = applyRules(request, identities);
        // Kept copies by group, checked once for all the links made to them.
        std::unordered_map<std::size_t, Checked> keptChecks;
        bool stopped = false;
        for (; reported < items.size(); ++reported) {
            const ActionItem& item = items[reported];
            const std::string& path = item.picture.path;
            if (ruled[reported]) {
                report.refused.push_back(*ruled[reported]);
                continue;
            }
            stopped = stopped || (proceed != nullptr && !proceed->load());
            if (stopped) {
                report.refused.push_back(outcome(path, ActionRefusal::Stopped));
                continue;
            }
            try {
                Checked checked = checkPicture(item.picture, proceed, false);
                // The rules weighed the file that was there then.
                if (checked.refusal == ActionRefusal::None && identities[reported] &&
                    checked.status.identity != *identities[reported])
                    checked = refusedAs(ActionRefusal::Changed);
                Acted acted = refused(path, checked.refusal, {}, checked.error);
                if (checked.refusal == ActionRefusal::None) {
                    if (request.kind == ActionKind::Trash) {
                        acted = trashFile(path, checked.status);
                    } else if (request.kind == ActionKind::MoveToFolder) {
                        acted = moveIntoFolder(item.picture, request, checked.status);
                    } else {
                        const ExaminedPicture& kept = request.kept[*item.group].front();
                        auto found = keptChecks.find(*item.group);
                        if (found == keptChecks.end())
                            found =
                                keptChecks.emplace(*item.group, checkPicture(kept, proceed, true))
                                    .first;
                        acted = replaceWithLink(path, checked.status, kept.path, found->second);
                    }
                }
                if (acted.step)
                    steps.push_back({*acted.step, path, acted.outcome.placedAt, acted.placed.device,
                                     acted.placed.inode, acted.link.device, acted.link.inode,
                                     item.picture.signature, item.picture.pixelNumber});
                auto& list =
                    acted.outcome.refusal == ActionRefusal::None ? report.done : report.refused;
                list.push_back(std::move(acted.outcome));
            } catch (const std::bad_alloc&) {
                report.refused.push_back(outcome(path, ActionRefusal::Failed, {}, ENOMEM));
            }
        }
    } catch (const std::bad_alloc&) {
        // What was done is in the journal; what was not reached is reported
        // as far as memory allows.
        try {
            for (; reported < items.size(); ++reported)
                report.refused.push_back(
                    outcome(items[reported].picture.path, ActionRefusal::Failed, {}, ENOMEM));
        } catch (const std::bad_alloc&) {
        }
    }
    if (!steps.empty()) {
        report.journaled = true;
        m_last = std::move(steps);
        m_lastKind = request.kind;
    }
    return report;
}

bool ActionJournal::canUndo() const
{
    return !m_last.empty();
}

ActionReport ActionJournal::undo()
{
    ActionReport report;
    report.undo = true;
    report.kind = m_lastKind;
    const auto undoStep = [](const Step& step) -> ActionOutcome {
        const std::string& path = step.path;
        const FileIdentity placed{step.placedDevice, step.placedInode};
        int error = 0;
        const auto there = FileMoves::nameIdentity(step.placedAt, &error);
        if (!there)
            return outcome(path, isMissing(error) ? ActionRefusal::Missing : ActionRefusal::Failed,
                           step.placedAt, isMissing(error) ? 0 : error);
        if (*there != placed)
            return outcome(path, ActionRefusal::Changed, step.placedAt);
        // What stands at the path now: for a hard link, the link, put aside
        // under a name of its own so that nothing else is removed in its place.
        std::string aside;
        if (step.kind == ActionKind::HardLink && FileMoves::nameExists(path)) {
            if (FileMoves::nameIdentity(path) != FileIdentity{step.linkDevice, step.linkInode})
                return outcome(path, ActionRefusal::Occupied, path);
            const std::string folder = FileManager::folderOf(path);
            for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
                const std::string name = FileManager::appendPathComponent(
                    folder,
                    ".ovrin-undo-" + std::to_string(::getpid()) + "-" + std::to_string(attempt));
                const int moved = FileMoves::renameWithoutReplacing(path, name);
                if (moved == 0)
                    aside = name;
                else if (moved != EEXIST)
                    return outcome(path, ActionRefusal::Failed, path, moved);
            }
            if (aside.empty())
                return outcome(path, ActionRefusal::Failed, path, EEXIST);
            if (FileMoves::nameIdentity(aside) != FileIdentity{step.linkDevice, step.linkInode}) {
                FileMoves::renameWithoutReplacing(aside, path);
                return outcome(path, ActionRefusal::Occupied, path);
            }
            // With the kept copy gone meanwhile, the link is the last name of
            // its picture: removing it would lose that picture.
            struct stat st {};
            if (::lstat(aside.c_str(), &st) != 0 || st.st_nlink < 2) {
                FileMoves::renameWithoutReplacing(aside, path);
                return outcome(path, ActionRefusal::LastOfGroup, path);
            }
        } else if (FileMoves::nameExists(path)) {
            return outcome(path, ActionRefusal::Occupied, path);
        }
        const auto putBack = [&](ActionOutcome refused) {
            if (!aside.empty())
                FileMoves::renameWithoutReplacing(aside, path);
            return refused;
        };
        if (const int made = FileManager::makeFolders(FileManager::folderOf(path)); made != 0)
            return putBack(outcome(path, ActionRefusal::Failed, FileManager::folderOf(path), made));
        if (step.kind == ActionKind::MoveToFolder) {
            const Copied moved = moveFile(step.placedAt, path, step.signature, step.pixelNumber,
                                          FileManager::fileStatus(step.placedAt));
            if (moved.refusal != ActionRefusal::None)
                return outcome(path, moved.refusal, path, moved.error);
        } else if (const int restored = platform::Trash::restore(step.placedAt, path);
                   restored != 0) {
            return putBack(outcome(
                path, restored == EEXIST ? ActionRefusal::Occupied : ActionRefusal::Failed,
                restored == EEXIST ? path : step.placedAt, restored == EEXIST ? 0 : restored));
        }
        if (!aside.empty())
            ::unlink(aside.c_str());
        ActionOutcome done = outcome(path, ActionRefusal::None);
        done.placedAt = path;
        return done;
    };
    for (std::size_t i = m_last.size(); i-- > 0;) {
        try {
            ActionOutcome result = undoStep(m_last[i]);
            if (result.refusal == ActionRefusal::None) {
                report.done.push_back(std::move(result));
                m_last[i].path.clear(); // back: nothing left to undo
            } else {
                report.refused.push_back(std::move(result));
            }
        } catch (const std::bad_alloc&) {
            try {
                report.refused.push_back(
                    outcome(m_last[i].path, ActionRefusal::Failed, {}, ENOMEM));
            } catch (const std::bad_alloc&) {
            }
        }
    }
    std::erase_if(m_last, [](const Step& step) { return step.path.empty(); });
    return report;
}

} // namespace ovrin
