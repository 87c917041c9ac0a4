#pragma once

#include "engine/RunSummary.h"
#include "platform/LoadFailure.h"
#include "platform/Trash.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace ovrin::ui {

// The texts that tell a person what a run is doing and what it did, in the
// language of the installed translation and with the locale's digit grouping.
class RunReport {
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    // The line that stays after a run until the next one starts.
    static QString summary(const RunSummary& run);
    // The same for a grouping, which also says how many of the pictures the
    // groups hold; `held` and `pictures` are unknown (-1) without a result.
    static QString groups(const RunSummary& run, std::int64_t held, std::int64_t pictures);
    // The line for a start the engine refused, and the reason alone.
    static QString refusal(const StartResult& result);
    static QString reason(const StartResult& result);
    // The counts of a running run: examined files (none for an index
    // search), hits (none for an index creation) and the time so far.
    static QString progress(RunSummary::Kind kind, std::int64_t examined, std::int64_t hits,
                            double seconds);
    // The counts of a running grouping: files examined while a folder is
    // decoded (an index file is read without them), then the share of the
    // pairs settled and the groups formed so far.
    static QString groupingProgress(bool fromIndex, std::int64_t examined, std::uint64_t pairsDone,
                                    std::uint64_t pairsTotal, std::uint64_t groups, double seconds);
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
};

} // namespace ovrin::ui
