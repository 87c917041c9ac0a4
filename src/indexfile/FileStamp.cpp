#include "indexfile/FileStamp.h"

#include <atomic>
#include <ctime>
#include <limits>

namespace ovrin {

namespace {

constexpr std::int64_t kNoFixedClock = std::numeric_limits<std::int64_t>::min();
std::atomic<std::int64_t> fixedClock{kNoFixedClock};

} // namespace

bool FileStamp::settledBefore(std::int64_t runStartNs) const
{
    if (runStartNs < std::numeric_limits<std::int64_t>::min() + kCoarsestTickNs)
        return false; // no time lies before that tick
    std::int64_t intoTick = runStartNs % kCoarsestTickNs;
    if (intoTick < 0)
        intoTick += kCoarsestTickNs; // ticks before 1970 start below the time too
    const std::int64_t tick = runStartNs - intoTick;
    return modifiedNs < tick && changedNs < tick;
}

std::int64_t FileStamp::clockNs()
{
    const std::int64_t fixed = fixedClock.load();
    if (fixed != kNoFixedClock)
        return fixed;
    timespec now{};
#ifdef CLOCK_REALTIME_COARSE
    // The kernel stamps changes with its coarse clock, which lags the precise
    // one by up to a scheduler tick: a change made just after a precise start
    // could be stamped before it.
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
#else
    ::clock_gettime(CLOCK_REALTIME, &now);
#endif
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void FileStamp::setClockForTesting(std::optional<std::int64_t> ns)
{
    fixedClock.store(ns.value_or(kNoFixedClock));
}

} // namespace ovrin
