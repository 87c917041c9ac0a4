#pragma once

#include "platform/LoadFailure.h"

#include <atomic>
#include <cstdint>

namespace ovrin::platform {

// Memory that all decodes of the process may hold at once. A decoder works
// out from a picture's header what its decoding needs at most (pixel buffers,
// the whole-image coefficient store of a progressive JPEG, row copies, the
// raster reduction) and reserves that much before it allocates anything
// large. A picture needing more than the whole budget is refused at once;
// one that fits waits, first come first served, until enough is free.
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
    // (None). TooLarge at once when `bytes` exceed the whole budget; Stopped
    // when `proceed` is cleared while waiting (it is looked at every few
    // milliseconds).
    static LoadFailure reserve(std::int64_t bytes, const std::atomic<bool>* proceed,
                               Reservation& reservation);

    static std::int64_t capacity();
    // Changes the size of the budget; for tests and benchmarks, while no
    // decode runs.
    static void setCapacity(std::int64_t bytes);
    // The most that was reserved at once since the last setCapacity.
    static std::int64_t highWater();
};

} // namespace ovrin::platform
