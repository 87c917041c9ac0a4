#pragma once

#include "platform/fs/LoadFailure.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace ovrin::platform {

// How much memory the system leaves the process, as far as it says. Each
// reading is absent where no such limit applies.
struct MemoryReadings {
    std::optional<std::int64_t> addressSpaceLimit; // the soft RLIMIT_AS
    std::int64_t addressSpaceUsed = 0;             // the process's virtual size now
    // Address space each thread started from now on takes: its stack and the
    // allocator's arena it gets on its first allocation.
    std::int64_t threadAddressSpace = 0;
    // The tightest memory cgroup of the process and its ancestors: its limit
    // minus what the group holds that cannot be reclaimed.
    std::optional<std::int64_t> cgroupRoom;
    std::optional<std::int64_t> available; // MemAvailable

    // The readings of this process now; `root` is prefixed to the /proc and
    // /sys files read (for tests, which then see no address-space limit).
    static MemoryReadings read(const std::string& root = {});
};

// Memory that all decodes of the process may hold at once. A decoder works
// out from a picture's header what its decoding needs at most (pixel buffers,
// the whole-image coefficient store of a progressive JPEG, row copies, the
// raster reduction) and reserves that much before it allocates anything
// large. A picture needing more than the whole budget is refused at once;
// one that fits waits, first come first served, until enough is free.
//
// The budget is at most a fixed ceiling (kDecodeBudget) and, once
// fitted to the readings, half of what the limits leave. The address space
// and the memory cgroup are limits that fail a process which passes them: they
// bound the largest single decode, which runs alone if it needs more than the
// shared part. Available memory can grow again as the system reclaims, so it
// only narrows what decodes hold at once and never refuses a picture.
class DecodeBudget {
public:
    // Holds a share of the budget until it is destroyed.
    class Reservation {
    public:
        Reservation() = default;
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation();

        std::int64_t bytes() const { return m_bytes; }

    private:
        friend class DecodeBudget;
        explicit Reservation(std::int64_t bytes) : m_bytes(bytes) {}
        std::int64_t m_bytes = 0;
    };

    // Waits until `bytes` are free and hands them over in `reservation`
    // (None). TooLarge at once when `bytes` exceed the largest single
    // decode; Stopped when `proceed` is cleared while waiting (it is looked
    // at every few milliseconds).
    static LoadFailure reserve(std::int64_t bytes, const std::atomic<bool>* proceed,
                               Reservation& reservation);

    struct Share {
        std::int64_t together = 0; // what all decodes hold at once
        std::int64_t alone = 0;    // the most one decode may hold, with no other running
    };
    // The budget under `readings` once `threads` more threads run.
    static Share shareFor(const MemoryReadings& readings, int threads, std::int64_t ceiling);
    // How many of `wanted` decoding threads to start: each takes address
    // space, and they stop where the budget would fall below half of what
    // the thread already running would have alone. 1 means that thread only.
    static int threadsWithin(const MemoryReadings& readings, int wanted, std::int64_t ceiling);

    // Narrows the budget to shareFor(readings, threads, ceiling) until the
    // next fit or unfit.
    static void fit(const MemoryReadings& readings, int threads);
    // Back to the ceiling.
    static void unfit();

    // The largest single decode.
    static std::int64_t capacity();
    static std::int64_t ceiling();
    // Changes the ceiling and unfits; for tests and benchmarks, while no
    // decode runs.
    static void setCapacity(std::int64_t bytes);
    // The most that was reserved at once since the last setCapacity.
    static std::int64_t highWater();
};

} // namespace ovrin::platform
