#include "ui/RunReport.h"

#include "ui/PathText.h"

#include <QLocale>
#include <QStringList>
#include <QtGlobal>

#include <cmath>

namespace ovrin::ui {

namespace {

QString number(std::int64_t n)
{
    return QLocale().toString(static_cast<qlonglong>(n));
}

} // namespace

QString RunReport::count(std::int64_t n, const QString& one, const QString& many)
{
    return (n == 1 ? one : many).arg(number(n));
}

QString RunReport::seconds(double seconds)
{
    if (seconds < 60.0)
        return tr("%1 s").arg(QLocale().toString(seconds, 'f', 1));
    return tr("%1 min").arg(clock(seconds));
}

QString RunReport::clock(double seconds)
{
    const auto whole = static_cast<std::int64_t>(std::floor(std::max(seconds, 0.0)));
    const auto pad = [](std::int64_t value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    if (whole >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(whole / 3600)
            .arg(pad(whole / 60 % 60), pad(whole % 60));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(pad(whole % 60));
}

QString RunReport::skipReason(SkipReason reason)
{
    switch (reason) {
    case SkipReason::NotAnImage:
        return tr("not pictures");
    case SkipReason::Unreadable:
        return tr("unreadable");
    case SkipReason::SpecialFile:
        return tr("special or empty files");
    case SkipReason::TooLarge:
        return tr("too large");
    case SkipReason::NameNotUtf8:
        return tr("unreadable names");
    case SkipReason::FolderUnlistable:
        return tr("folders that cannot be listed");
    case SkipReason::FolderRepeated:
        return tr("folders reached again through links");
    }
    return {};
}

// "12 files skipped (8 not pictures, 4 unreadable names)", then what the
// exclusions left out; empty for none.
QString RunReport::skipped(const RunSummary& run)
{
    QString excluded = run.excluded > 0
                           ? tr("%1 left out by the exclusions").arg(number(run.excluded))
                           : QString();
    const std::int64_t total = run.skippedTotal();
    if (total <= 0)
        return excluded;
    QStringList parts;
    for (int i = 0; i < kSkipReasonCount; ++i) {
        const std::int64_t n = run.skipped[static_cast<std::size_t>(i)];
        if (n > 0)
            parts << QStringLiteral("%1 %2").arg(number(n), skipReason(static_cast<SkipReason>(i)));
    }
    const QString skips =
        tr("%1 (%2)").arg(count(total, tr("%1 file skipped"), tr("%1 files skipped")),
                          parts.join(QStringLiteral(", ")));
    return excluded.isEmpty() ? skips : tr("%1; %2").arg(skips, excluded);
}

QString RunReport::summary(const RunSummary& run)
{
    const QString hits = count(run.hits, tr("%1 hit"), tr("%1 hits"));
    const QString skips = skipped(run);
    const auto withSkips = [&skips](const QString& text) {
        return skips.isEmpty() ? text : tr("%1; %2").arg(text, skips);
    };
    const std::int64_t pictures = std::max<std::int64_t>(run.examined - run.skippedTotal(), 0);

    switch (run.kind) {
    case RunSummary::Kind::Groups:
        return groups(run, -1, -1);

    case RunSummary::Kind::FolderSearch:
        if (run.outcome == RunSummary::Outcome::Failed)
            return tr("Search failed: %1").arg(PathText::display(run.error));
        if (run.outcome == RunSummary::Outcome::Stopped)
            return withSkips(tr("Stopped after %1: %2 in %3")
                                 .arg(reach(run.examined, run.estimated, run.estimateSettled,
                                            tr("%1 file"), tr("%1 files")),
                                      hits, seconds(run.seconds)));
        return withSkips(tr("%1 among %2 in %3")
                             .arg(hits, count(pictures, tr("%1 picture"), tr("%1 pictures")),
                                  seconds(run.seconds)));

    case RunSummary::Kind::IndexSearch: {
        const QString entries = count(run.examined, tr("%1 entry"), tr("%1 entries"));
        // Hits whose files changed or went since the index was written.
        const auto withStale = [&run](const QString& text) {
            if (run.redecoded == 0 && run.leftOut == 0)
                return text;
            return tr("%1; %2 decoded again (changed since indexed), %3 left out (vanished or "
                      "unreadable)")
                .arg(text, number(run.redecoded), number(run.leftOut));
        };
        if (run.outcome == RunSummary::Outcome::Failed)
            return tr("Index search failed: %1").arg(PathText::display(run.error));
        if (run.outcome == RunSummary::Outcome::Stopped)
            return withStale(
                tr("Index search stopped after %1: %2")
                    .arg(reach(run.examined, run.estimated, true, tr("%1 entry"), tr("%1 entries")),
                         hits));
        // An engine that counted no entries says nothing about them.
        if (run.examined < run.hits)
            return withStale(tr("Index search: %1 in %2").arg(hits, seconds(run.seconds)));
        return withStale(
            tr("Index search: %1 among %2 in %3").arg(hits, entries, seconds(run.seconds)));
    }

    case RunSummary::Kind::IndexCreation: {
        QString written =
            count(run.indexed, tr("%1 picture", "written"), tr("%1 pictures", "written"));
        if (run.reused > 0 || run.removed > 0)
            written =
                tr("%1 (%2 reused, %3 decoded, %4 removed)")
                    .arg(written, number(run.reused), number(run.decoded), number(run.removed));
        const QString counts = skips.isEmpty() ? written : tr("%1, %2").arg(written, skips);
        const QString error = PathText::display(run.error);
        switch (run.index) {
        case RunSummary::IndexResult::Written:
        case RunSummary::IndexResult::None:
            if (run.outcome == RunSummary::Outcome::Failed)
                return tr("Index not written: %1").arg(error);
            return tr("Index written: %1").arg(counts);
        case RunSummary::IndexResult::Partial:
            return tr("Index creation stopped; the index is partial (there was none before): %1")
                .arg(counts);
        case RunSummary::IndexResult::KeptExisting:
            if (run.outcome == RunSummary::Outcome::Failed)
                return tr("Index not written: %1. The existing index was kept unchanged.")
                    .arg(error);
            return tr("Index creation stopped after %1; the existing index was kept unchanged.")
                .arg(reach(run.examined, run.estimated, run.estimateSettled, tr("%1 file"),
                           tr("%1 files")));
        case RunSummary::IndexResult::NotWritten:
            return error.isEmpty() ? tr("Index not written.")
                                   : tr("Index not written: %1").arg(error);
        }
        break;
    }
    }
    return {};
}

QString RunReport::reach(std::int64_t done, std::int64_t estimated, bool settled,
                         const QString& one, const QString& many)
{
    if (estimated < 0 || (estimated <= done && !settled))
        return count(done, one, many);
    // The plural of the whole decides: "1 of about 5 files".
    const QString whole = count(std::max(estimated, done), one, many);
    return (settled ? tr("%1 of about %2") : tr("%1 of at least %2")).arg(number(done), whole);
}

QString RunReport::noHits(const RunSummary& run)
{
    switch (run.outcome) {
    case RunSummary::Outcome::Finished:
        return tr("No pictures like the target were found.");
    case RunSummary::Outcome::Stopped:
        if (run.kind == RunSummary::Kind::IndexSearch)
            return tr("Stopped after %1; no look-alikes among them.")
                .arg(reach(run.examined, run.estimated, true, tr("%1 entry"), tr("%1 entries")));
        return tr("Stopped after %1; no look-alikes among them.")
            .arg(reach(run.examined, run.estimated, run.estimateSettled, tr("%1 file"),
                       tr("%1 files")));
    case RunSummary::Outcome::Failed:
        break;
    }
    return tr("The search failed; the line below says why.");
}

QString RunReport::groups(const RunSummary& run, std::int64_t held, std::int64_t pictures,
                          const GroupingState* where)
{
    // What an index no longer told right is said with the skips: entries of
    // changed files were decoded again, those of files gone left out.
    QStringList notes;
    if (const QString skips = skipped(run); !skips.isEmpty())
        notes << skips;
    if (run.redecoded > 0)
        notes << count(run.redecoded, tr("%1 changed picture decoded again"),
                       tr("%1 changed pictures decoded again"));
    if (run.leftOut > 0)
        notes << count(run.leftOut, tr("%1 entry left out as its file is gone or unreadable"),
                       tr("%1 entries left out as their files are gone or unreadable"));
    const QString skips = notes.join(QStringLiteral("; "));
    const auto withSkips = [&skips](const QString& text) {
        return skips.isEmpty() ? text : tr("%1; %2").arg(text, skips);
    };
    if (pictures < 0)
        pictures = std::max<std::int64_t>(run.examined - run.skippedTotal(), 0);
    const QString among = count(pictures, tr("%1 picture"), tr("%1 pictures"));
    switch (run.outcome) {
    case RunSummary::Outcome::Failed:
        return tr("Grouping failed: %1").arg(PathText::display(run.error));
    case RunSummary::Outcome::Stopped:
        if (where != nullptr) {
            const QString detail = phaseDetail(*where);
            const QString phase = detail.isEmpty()
                                      ? phaseName(where->phase)
                                      : tr("%1: %2").arg(phaseName(where->phase), detail);
            return withSkips(tr("Grouping stopped after %1 while %2; no groups are shown")
                                 .arg(seconds(run.seconds), phase));
        }
        return withSkips(tr("Grouping stopped after %1 in %2; no groups are shown")
                             .arg(count(pictures, tr("%1 picture read"), tr("%1 pictures read")),
                                  seconds(run.seconds)));
    case RunSummary::Outcome::Finished:
        break;
    }
    if (run.hits == 0 && held < 0)
        return withSkips(
            tr("No look-alike groups among %1 in %2").arg(among, seconds(run.seconds)));
    const QString found = count(run.hits, tr("%1 group"), tr("%1 groups"));
    if (held < 0)
        return withSkips(tr("%1 among %2 in %3").arg(found, among, seconds(run.seconds)));
    return withSkips(
        tr("%1 holding %2 of %3 in %4")
            .arg(found, number(held),
                 count(pictures, tr("%1 picture", "of all"), tr("%1 pictures", "of all")),
                 seconds(run.seconds)));
}

QString RunReport::refusal(const StartResult& result)
{
    return result ? QString() : tr("Not started. %1").arg(reason(result));
}

QString RunReport::reason(const StartResult& result)
{
    QString why = PathText::display(result.sentence);
    if (why.isEmpty()) {
        switch (result.code) {
        case Refusal::None:
            break;
        case Refusal::Busy:
            why = tr("A run is going on.");
            break;
        case Refusal::TargetUnreadable:
            why = tr("The target is no picture Ovrin can read.");
            break;
        case Refusal::NoPaths:
            why = tr("Neither a folder nor an index file was named.");
            break;
        case Refusal::UnknownSearchMethod:
            why = tr("The search method is unknown.");
            break;
        case Refusal::PixelNumberUnusable:
            why = tr("The pixel number is outside what a search can use.");
            break;
        case Refusal::NoTopFolder:
            why = tr("No folder was named.");
            break;
        case Refusal::TopFolderUnusable:
            why = tr("The folder does not exist or cannot be listed.");
            break;
        case Refusal::NoIndexFile:
            why = tr("No index file was named.");
            break;
        case Refusal::IndexFileUnusable:
            why = tr("The index file cannot be used.");
            break;
        case Refusal::NoThread:
            why = tr("No worker thread could be started.");
            break;
        case Refusal::ExportUnusable:
            why = tr("The file cannot be written there.");
            break;
        }
    }
    return why;
}

QString RunReport::timeLeft(std::int64_t done, std::int64_t total, double elapsed)
{
    // The pace of the first seconds or files says little.
    if (elapsed < 5.0 || done < 50 || total <= done)
        return {};
    const double left = static_cast<double>(total - done) * elapsed / static_cast<double>(done);
    if (left < 60.0)
        return tr("less than a minute left");
    if (left < 5400.0)
        return tr("about %1 min left").arg(static_cast<qlonglong>(std::lround(left / 60.0)));
    return tr("about %1 h left").arg(QLocale().toString(left / 3600.0, 'f', 1));
}

QString RunReport::progress(RunSummary::Kind kind, std::int64_t examined, std::int64_t hits,
                            double elapsed, std::int64_t estimated, bool settled)
{
    QStringList parts;
    if (kind != RunSummary::Kind::IndexSearch) {
        if (estimated < 0)
            parts << count(examined, tr("%1 file examined"), tr("%1 files examined"));
        else if (!settled)
            parts << count(examined, tr("Examined %1 file (counting…)"),
                           tr("Examined %1 files (counting…)"));
        else
            parts << tr("Examined %1")
                         .arg(reach(examined, estimated, true, tr("%1 file"), tr("%1 files")));
        if (settled)
            if (const QString left = timeLeft(examined, estimated, elapsed); !left.isEmpty())
                parts << left;
    }
    if (kind != RunSummary::Kind::IndexCreation)
        parts << count(hits, tr("%1 hit"), tr("%1 hits"));
    parts << clock(elapsed);
    return parts.join(QStringLiteral(" · "));
}

QString RunReport::phaseName(GroupingPhase phase)
{
    switch (phase) {
    case GroupingPhase::Reading:
        return tr("reading the index file");
    case GroupingPhase::Decoding:
        return tr("decoding");
    case GroupingPhase::Checking:
        return tr("decoding again the pictures changed since indexed");
    case GroupingPhase::Comparing:
        return tr("comparing pairs");
    case GroupingPhase::Confirming:
        return tr("confirming the matches by their fingerprints");
    case GroupingPhase::Forming:
        return tr("forming groups");
    }
    return {};
}

QString RunReport::phaseDetail(const GroupingState& state)
{
    switch (state.phase) {
    case GroupingPhase::Reading:
        return count(state.examined, tr("%1 entry checked"), tr("%1 entries checked"));
    case GroupingPhase::Decoding:
        return reach(state.examined, state.settled ? state.estimated : -1, true, tr("%1 file"),
                     tr("%1 files"));
    case GroupingPhase::Comparing:
        if (state.pairsTotal == 0)
            return {};
        // Whole percent, rounded down: 100 % only once every pair is settled.
        return tr("%1 % settled")
            .arg(std::min(state.pairsDone, state.pairsTotal) * 100 / state.pairsTotal);
    case GroupingPhase::Forming:
        return count(static_cast<std::int64_t>(state.groups), tr("%1 group so far"),
                     tr("%1 groups so far"));
    case GroupingPhase::Checking:
    case GroupingPhase::Confirming:
        break;
    }
    return {};
}

QString RunReport::groupingProgress(const GroupingState& state, double elapsed)
{
    QString phase = phaseName(state.phase);
    if (!phase.isEmpty())
        phase[0] = phase[0].toUpper();
    QStringList parts{phase};
    if (const QString detail = phaseDetail(state); !detail.isEmpty())
        parts << detail;
    if (state.phase == GroupingPhase::Decoding && state.settled)
        if (const QString left = timeLeft(state.examined, state.estimated, elapsed);
            !left.isEmpty())
            parts << left;
    parts << clock(elapsed);
    return parts.join(QStringLiteral(" · "));
}

QString RunReport::loadFailure(platform::LoadFailure failure)
{
    using platform::LoadFailure;
    switch (failure) {
    case LoadFailure::None:
        return {};
    case LoadFailure::Missing:
        return tr("No such file.");
    case LoadFailure::PermissionDenied:
        return tr("Permission denied.");
    case LoadFailure::NotRegularFile:
        return tr("Not a regular file.");
    case LoadFailure::EmptyFile:
        return tr("The file is empty.");
    case LoadFailure::SystemFile:
        return tr("A system file, not a picture.");
    case LoadFailure::NotAnImage:
        return tr("Not a picture Ovrin can read.");
    case LoadFailure::TooLarge:
        return tr("Too large to decode within the memory budget.");
    case LoadFailure::ReadError:
        return tr("The file could not be read.");
    case LoadFailure::Stopped:
        return tr("Stopped while decoding.");
    case LoadFailure::OutOfMemory:
        return tr("Out of memory.");
    }
    return {};
}

QString RunReport::trashFailure(const platform::TrashOutcome& outcome)
{
    using Failure = platform::TrashOutcome::Failure;
    const QString place = PathText::display(outcome.place);
    const QString error = qt_error_string(outcome.error);
    switch (outcome.failure) {
    case Failure::None:
        return {};
    case Failure::Missing:
        return tr("No such file.");
    case Failure::Unreachable:
        return tr("It cannot be reached (%1).").arg(error);
    case Failure::NoHome:
        return tr("No home folder is known to hold the trash (HOME is not set).");
    case Failure::HomeTrashUnusable:
        return tr("The trash %1 cannot be used (%2).").arg(place, error);
    case Failure::NoVolumeTrash:
        return tr("It lies on another file system than the home folder, and %1 has no trash "
                  "that can be used (%2). Pictures are never copied between file systems.")
            .arg(place, error);
    case Failure::RecordUnwritable:
        return tr("The trash %1 could not record where it came from (%2).").arg(place, error);
    case Failure::NotMoved:
        return tr("It could not be moved into the trash %1 (%2).").arg(place, error);
    case Failure::OtherFileSystem:
        return tr("The trash %1 lies on another file system, and pictures are never copied "
                  "between file systems.")
            .arg(place);
    }
    return {};
}

} // namespace ovrin::ui
