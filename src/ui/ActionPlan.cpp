#include "ui/ActionPlan.h"

#include "engine/LookAlikeGroups.h"
#include "engine/RunContext.h"
#include "platform/fs/FileManager.h"
#include "signature/TFileInfo.h"
#include "ui/ActionConfirmDlg.h"
#include "ui/GroupTreeModel.h"
#include "ui/HitListModel.h"
#include "ui/MarkSet.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"

#include <QLocale>

#include <cmath>
#include <optional>
#include <unordered_set>

namespace ovrin::ui {

namespace {

std::int32_t sideOf(std::size_t values, std::int32_t otherwise)
{
    const auto side =
        static_cast<std::int32_t>(std::lround(std::sqrt(static_cast<double>(values))));
    return side > 0 && static_cast<std::size_t>(side) * static_cast<std::size_t>(side) == values
               ? side
               : otherwise;
}

ExaminedPicture examinedEntry(const GroupTreeModel& groups, std::size_t entry)
{
    const SignatureTable& table = groups.result()->table;
    ExaminedPicture picture;
    picture.path = table.paths[entry];
    const auto count = static_cast<std::size_t>(std::max(table.count, 0));
    const auto begin = table.values.begin() + static_cast<std::ptrdiff_t>(entry * count);
    picture.signature.assign(begin, begin + static_cast<std::ptrdiff_t>(count));
    picture.pixelNumber = sideOf(count, picture.pixelNumber);
    if (table.facts.size() == table.paths.size()) {
        const SignatureTable::Facts& facts = table.facts[entry];
        picture.stamp = FileStamp{facts.size, facts.modifiedNs, facts.changedNs};
        if (const auto stamp = groups.restamped(picture.path))
            picture.stamp = stamp;
    }
    return picture;
}

ExaminedPicture examinedHit(const HitRecord& record, const std::string& path)
{
    ExaminedPicture picture;
    picture.path = path;
    picture.stamp = record.stamp;
    picture.signature = record.hit->thumbnail();
    picture.pixelNumber = sideOf(picture.signature.size(), picture.pixelNumber);
    return picture;
}

std::optional<platform::FileIdentity> identityOf(const std::string& path)
{
    const auto status = platform::FileManager::fileStatus(path);
    return status ? std::optional(status->identity) : std::nullopt;
}

// The rules the journal applies before it looks at a file, in its order:
// the last pictures of a group, the target, protected folders, aliases of
// pictures that stay. `staying` are the pictures of an item that stay.
std::optional<ActionOutcome> foresee(const ActionRequest& request, const ActionItem& item,
                                     bool isTarget, const MarkSet& marks,
                                     const std::vector<ExaminedPicture>& staying)
{
    const std::string& path = item.picture.path;
    if (item.group && request.kept[*item.group].empty())
        return ActionOutcome{path, ActionRefusal::LastOfGroup, 0, {}, {}};
    if (isTarget && !request.targetNamed)
        return ActionOutcome{path, ActionRefusal::Target, 0, request.target.value_or(path), {}};
    if (marks.isProtected(path))
        return ActionOutcome{
            path,
            ActionRefusal::Protected,
            0,
            request.protectedFolders[preferenceRank(path, request.protectedFolders)],
            {}};
    if (const auto identity = identityOf(path))
        for (const ExaminedPicture& other : staying)
            if (other.path != path && identityOf(other.path) == identity)
                return ActionOutcome{path, ActionRefusal::Alias, 0, other.path, {}};
    return std::nullopt;
}

void addActing(ActionPlan& plan, const ExaminedPicture& picture)
{
    std::int64_t size = 0;
    if (picture.stamp)
        size = picture.stamp->size;
    else if (const auto status = platform::FileManager::fileStatus(picture.path))
        size = status->size;
    plan.acting.push_back({picture.path, size});
    plan.totalSize += size;
}

} // namespace

std::string commonFolder(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return "/";
    std::string common = paths.front().substr(0, paths.front().rfind('/') + 1);
    for (const std::string& path : paths) {
        std::size_t same = 0;
        while (same < common.size() && same < path.size() && common[same] == path[same])
            ++same;
        common.resize(same);
        // Cut back to a whole folder name.
        common.resize(common.rfind('/') + 1);
    }
    if (common.size() > 1)
        common.pop_back();
    return common.empty() ? std::string("/") : common;
}

ActionPlan planForGroups(ActionKind kind, const GroupTreeModel& groups,
                         const std::vector<std::string>& paths, const MarkSet& marks)
{
    ActionPlan plan;
    ActionRequest& request = plan.request;
    request.kind = kind;
    request.protectedFolders = marks.protectedFolders();
    const LookAlikeResult* result = groups.result();
    if (result == nullptr)
        return plan;
    const std::unordered_set<std::string> asked(paths.begin(), paths.end());
    const std::vector<LookAlikeGroup>& shown = groups.groups();
    request.kept.resize(shown.size());
    std::vector<std::size_t> entries;
    for (std::size_t g = 0; g < shown.size(); ++g) {
        // The group as it stands, reference first.
        entries.clear();
        if (!groups.referenceGone(g))
            entries.push_back(shown[g].reference);
        for (const LookAlikeMember& member : shown[g].members)
            entries.push_back(member.index);
        const std::size_t first = request.items.size();
        for (const std::size_t entry : entries)
            if (asked.count(result->table.paths[entry]) != 0)
                request.items.push_back({examinedEntry(groups, entry), g});
        if (request.items.size() == first)
            continue;
        for (const std::size_t entry : entries)
            if (asked.count(result->table.paths[entry]) == 0)
                request.kept[g].push_back(examinedEntry(groups, entry));
    }
    for (const ActionItem& item : request.items) {
        if (auto refused = foresee(request, item, false, marks, request.kept[*item.group]))
            plan.refused.push_back(std::move(*refused));
        else
            addActing(plan, item.picture);
    }
    return plan;
}

ActionPlan planForHits(ActionKind kind, const HitListModel& hits,
                       const std::vector<std::string>& paths, const std::string& target,
                       const MarkSet& marks)
{
    ActionPlan plan;
    ActionRequest& request = plan.request;
    request.kind = kind;
    request.protectedFolders = marks.protectedFolders();
    if (!target.empty())
        request.target = target;
    const std::unordered_set<std::string> asked(paths.begin(), paths.end());
    std::vector<bool> isTarget;
    for (int row = 0; row < hits.rowCount(); ++row) {
        const std::string path = hits.path(row);
        if (path.empty() || asked.count(path) == 0)
            continue;
        const HitRecord* record = hits.record(row);
        request.items.push_back({examinedHit(*record, path), std::nullopt});
        isTarget.push_back(record->isTarget || path == target);
    }
    request.targetNamed = request.items.size() == 1 && isTarget.front();
    std::vector<ExaminedPicture> staying;
    if (!target.empty())
        staying.push_back({target, std::nullopt, {}, 8});
    for (std::size_t i = 0; i < request.items.size(); ++i) {
        const ActionItem& item = request.items[i];
        if (auto refused = foresee(request, item, isTarget[i], marks, staying))
            plan.refused.push_back(std::move(*refused));
        else
            addActing(plan, item.picture);
    }
    return plan;
}

// ---- Texts ---------------------------------------------------------------

QString ActionText::name(ActionKind kind)
{
    switch (kind) {
    case ActionKind::Trash:
        return tr("Move to Trash");
    case ActionKind::MoveToFolder:
        return tr("Move to Folder");
    case ActionKind::HardLink:
        return tr("Replace with Hard Link");
    }
    return {};
}

QString ActionText::refusal(const ActionOutcome& outcome)
{
    const QString detail = PathText::display(outcome.detail);
    switch (outcome.refusal) {
    case ActionRefusal::None:
        return {};
    case ActionRefusal::LastOfGroup:
        return tr("every other remaining copy of its group was asked for too, and one must stay");
    case ActionRefusal::Target:
        return tr("it is the search's target, which is only acted on when chosen alone");
    case ActionRefusal::Protected:
        return detail.isEmpty() ? tr("it lies in a protected folder")
                                : tr("it lies in the protected folder %1").arg(detail);
    case ActionRefusal::Alias:
        return detail.isEmpty() ? tr("it is another name of a picture that stays")
                                : tr("it is another name of %1, which stays").arg(detail);
    case ActionRefusal::Missing:
        return tr("nothing is at this path any more");
    case ActionRefusal::Changed:
        return tr("the file changed since it was examined");
    case ActionRefusal::NotThePicture:
        return tr("it no longer shows the picture that was examined");
    case ActionRefusal::NotExamined:
        return tr("it was not examined closely enough to be recognised again");
    case ActionRefusal::OtherFileSystem:
        return detail.isEmpty()
                   ? tr("a hard link cannot reach the kept copy on another file system")
                   : tr("a hard link cannot reach the kept copy %1 on another file system")
                         .arg(detail);
    case ActionRefusal::Occupied:
        return detail.isEmpty() ? tr("the destination is taken")
                                : tr("%1 is taken already").arg(detail);
    case ActionRefusal::Failed: {
        const QString error = qt_error_string(outcome.error);
        return detail.isEmpty() ? tr("the file system refused (%1)").arg(error)
                                : tr("the file system refused: %1 (%2)").arg(detail, error);
    }
    case ActionRefusal::Stopped:
        return tr("the action stopped before it");
    }
    return {};
}

ActionConfirmation ActionText::confirmation(const ActionPlan& plan)
{
    const ActionRequest& request = plan.request;
    const auto asked = static_cast<std::int64_t>(plan.asked());
    const QString pictures =
        plan.marked
            ? RunReport::count(asked, tr("%1 marked picture"), tr("%1 marked pictures"))
            : RunReport::count(asked, tr("%1 selected picture"), tr("%1 selected pictures"));
    ActionConfirmation shown;
    shown.kind = request.kind;
    shown.request = &plan.request;
    shown.actionText = name(request.kind);
    const QString target =
        request.targetNamed ? PathText::display(request.items.front().picture.path) : QString();
    switch (request.kind) {
    case ActionKind::Trash:
        shown.question = request.targetNamed
                             ? tr("Move the search's target %1 to the trash?").arg(target)
                             : tr("Move %1 to the trash?").arg(pictures);
        shown.effect = tr("They can be brought back with Undo, or from the trash until it is "
                          "emptied.");
        break;
    case ActionKind::MoveToFolder:
        shown.question =
            request.targetNamed
                ? tr("Move the search's target %1 to %2?")
                      .arg(target, PathText::display(request.destination))
                : tr("Move %1 to %2?").arg(pictures, PathText::display(request.destination));
        shown.effect = tr("Below %1 they keep their folders; others keep the name of their own "
                          "folder. Undo moves them back.")
                           .arg(PathText::display(request.root));
        break;
    case ActionKind::HardLink:
        shown.question = tr("Replace %1 with hard links to the kept copies?").arg(pictures);
        shown.effect = tr("Each file gives way to a hard link to the copy its group keeps, so "
                          "both names show that copy. Undo puts the replaced files back.");
        // The replaced picture is gone from its name once linked: Enter alone
        // must not do that.
        shown.enterActs = false;
        break;
    }
    if (request.targetNamed)
        shown.effect =
            tr("This is the picture the search was made for.") + QLatin1Char(' ') + shown.effect;
    shown.effect += QLatin1Char(' ') + tr("A picture that changed since it was examined is left "
                                          "as it is.");
    shown.actingTitle =
        plan.acting.empty()
            ? tr("None of them can be acted on.")
            : tr("%1, %2 in all:")
                  .arg(RunReport::count(static_cast<std::int64_t>(plan.acting.size()),
                                        tr("%1 picture"), tr("%1 pictures")),
                       QLocale().formattedDataSize(plan.totalSize));
    for (const ActionPlan::Entry& entry : plan.acting)
        shown.acting.push_back({entry.path, {}});
    if (!plan.refused.empty())
        shown.refusedTitle = RunReport::count(static_cast<std::int64_t>(plan.refused.size()),
                                              tr("%1 picture is left as it is:"),
                                              tr("%1 pictures are left as they are:"));
    for (const ActionOutcome& outcome : plan.refused)
        shown.refused.push_back({outcome.path, refusal(outcome)});
    return shown;
}

QString ActionText::working(ActionKind kind, std::size_t count, bool undo)
{
    const auto n = static_cast<std::int64_t>(count);
    if (undo)
        return tr("Undoing %1…").arg(name(kind));
    switch (kind) {
    case ActionKind::Trash:
        return RunReport::count(n, tr("Moving %1 picture to the trash…"),
                                tr("Moving %1 pictures to the trash…"));
    case ActionKind::MoveToFolder:
        return RunReport::count(n, tr("Moving %1 picture…"), tr("Moving %1 pictures…"));
    case ActionKind::HardLink:
        return RunReport::count(n, tr("Replacing %1 picture with a hard link…"),
                                tr("Replacing %1 pictures with hard links…"));
    }
    return {};
}

namespace {

QString doneText(const ActionReport& report)
{
    const auto n = static_cast<std::int64_t>(report.done.size());
    if (report.undo)
        return n == 0 ? ActionText::tr("Nothing was put back")
                      : RunReport::count(n, ActionText::tr("Put back %1 picture"),
                                         ActionText::tr("Put back %1 pictures"));
    if (n == 0)
        switch (report.kind) {
        case ActionKind::Trash:
            return ActionText::tr("Nothing was moved to the trash");
        case ActionKind::MoveToFolder:
            return ActionText::tr("Nothing was moved");
        case ActionKind::HardLink:
            return ActionText::tr("Nothing was replaced");
        }
    switch (report.kind) {
    case ActionKind::Trash:
        return RunReport::count(n, ActionText::tr("Moved %1 picture to the trash"),
                                ActionText::tr("Moved %1 pictures to the trash"));
    case ActionKind::MoveToFolder:
        return RunReport::count(n, ActionText::tr("Moved %1 picture"),
                                ActionText::tr("Moved %1 pictures"));
    case ActionKind::HardLink:
        return RunReport::count(n, ActionText::tr("Replaced %1 picture with a hard link"),
                                ActionText::tr("Replaced %1 pictures with hard links"));
    }
    return {};
}

} // namespace

QString ActionText::line(const ActionReport& report)
{
    QString text = doneText(report);
    if (report.refused.empty())
        return text + QLatin1Char('.');
    QStringList reasons;
    for (const ActionOutcome& outcome : report.refused) {
        if (reasons.size() == 3) {
            reasons << QStringLiteral("…");
            break;
        }
        reasons << tr("%1 (%2)").arg(PathText::display(outcome.path).section(QLatin1Char('/'), -1),
                                     refusal(outcome));
    }
    return tr("%1; refused %2: %3")
        .arg(text, QLocale().toString(static_cast<qulonglong>(report.refused.size())),
             reasons.join(QStringLiteral("; ")));
}

QString ActionText::alertMessage(const ActionReport& report)
{
    return tr("%1; %2").arg(doneText(report),
                            RunReport::count(static_cast<std::int64_t>(report.refused.size()),
                                             tr("%1 picture was left as it was."),
                                             tr("%1 pictures were left as they were.")));
}

QString ActionText::alertDetails(const ActionReport& report)
{
    QStringList lines;
    for (const ActionOutcome& outcome : report.refused)
        lines << tr("%1: %2").arg(PathText::display(outcome.path), refusal(outcome));
    return lines.join(QLatin1Char('\n'));
}

} // namespace ovrin::ui
