#pragma once

#include "engine/LookAlikeGroups.h"
#include "engine/RunSummary.h"
#include "platform/fs/LoadFailure.h"
#include "platform/fs/Trash.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace ovrin::ui {

// The texts that tell a person what a run is doing and what it did, in the
// language of the installed translation and with the locale's digit grouping.
class RunReport {
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    // Where a grouping is, or was when it stopped: its phase and the
    // counts that phase moves.
    struct GroupingState {
        GroupingPhase phase = GroupingPhase::Decoding;
        std::int64_t examined = 0;   // files decoded so far, or entries read
        std::int64_t estimated = -1; // files of the folder as counted so far
        bool settled = false;        // the count is through
        std::uint64_t pairsDone = 0;
        std::uint64_t pairsTotal = 0;
        std::uint64_t groups = 0;
    };

    // The line that stays after a run until the next one starts.
    static QString summary(const RunSummary& run);
    // The same for a grouping, which also says how many of the pictures the
    // groups hold; `held` and `pictures` are unknown (-1) without a result.
    // A stopped grouping says where it stopped when `where` is known.
    static QString groups(const RunSummary& run, std::int64_t held, std::int64_t pictures,
                          const GroupingState* where = nullptr);
    // What the table says when a search ended without a hit.
    static QString noHits(const RunSummary& run);
    // The line for a start the engine refused, and the reason alone.
    static QString refusal(const StartResult& result);
    static QString reason(const StartResult& result);
    // The counts of a running run: examined files (none for an index
    // search) of the estimated total once it is counted (-1: no count), with
    // the time left from the pace so far, hits (none for an index creation)
    // and the time so far.
    static QString progress(RunSummary::Kind kind, std::int64_t examined, std::int64_t hits,
                            double seconds, std::int64_t estimated = -1, bool settled = false);
    // The counts of a running grouping, by its phase.
    static QString groupingProgress(const GroupingState& state, double seconds);
    // "about 2 min left", empty until the pace is known.
    static QString timeLeft(std::int64_t done, std::int64_t total, double seconds);
    // Why a file is no picture, for the informative text of an alert.
    static QString loadFailure(platform::LoadFailure failure);
    // Why a file stayed out of the trash; empty once it is in.
    static QString trashFailure(const platform::TrashOutcome& outcome);

    static QString count(std::int64_t n, const QString& one, const QString& many);
    static QString seconds(double seconds);
    static QString clock(double seconds);

private:
    static QString skipReason(SkipReason reason);
    static QString skipped(const RunSummary& run);
    // "5 of about 1,240 files", "5 of at least 300 files" or "5 files".
    static QString reach(std::int64_t done, std::int64_t estimated, bool settled,
                         const QString& one, const QString& many);
    // The phase's name and what it has done so far.
    static QString phaseName(GroupingPhase phase);
    static QString phaseDetail(const GroupingState& state);
};

} // namespace ovrin::ui
