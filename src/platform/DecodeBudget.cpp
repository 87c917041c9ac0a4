#include "platform/DecodeBudget.h"

#include "platform/ImageLoader.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace ovrin::platform {

namespace {

struct Pool {
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t capacity = ImageLoader::kDecodeBudget;
    std::int64_t used = 0;
    std::int64_t highWater = 0;
    // Waiting requests in arrival order; only the first may take its share,
    // so a large picture is not starved by a stream of small ones.
    std::deque<std::uint64_t> queue;
    std::uint64_t nextTicket = 0;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

void release(std::int64_t bytes)
{
    if (bytes == 0)
        return;
    Pool& p = pool();
    {
        const std::lock_guard lock(p.mutex);
        p.used -= bytes;
    }
    p.changed.notify_all();
}

} // namespace

DecodeBudget::Reservation::Reservation(Reservation&& other) noexcept : m_bytes(other.m_bytes)
{
    other.m_bytes = 0;
}

DecodeBudget::Reservation& DecodeBudget::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other) {
        release(m_bytes);
        m_bytes = other.m_bytes;
        other.m_bytes = 0;
    }
    return *this;
}

DecodeBudget::Reservation::~Reservation()
{
    release(m_bytes);
}

LoadFailure DecodeBudget::reserve(std::int64_t bytes, const std::atomic<bool>* proceed,
                                  Reservation& reservation)
{
    reservation = Reservation();
    bytes = std::max<std::int64_t>(bytes, 1);
    Pool& p = pool();
    std::unique_lock lock(p.mutex);
    if (bytes > p.capacity)
        return LoadFailure::TooLarge;
    const std::uint64_t ticket = p.nextTicket++;
    p.queue.push_back(ticket);
    const auto ready = [&] { return p.queue.front() == ticket && p.used + bytes <= p.capacity; };
    while (!ready()) {
        if (proceed != nullptr && !proceed->load(std::memory_order_relaxed)) {
            p.queue.erase(std::find(p.queue.begin(), p.queue.end(), ticket));
            lock.unlock();
            p.changed.notify_all(); // the next in line may go now
            return LoadFailure::Stopped;
        }
        p.changed.wait_for(lock, std::chrono::milliseconds(20));
    }
    p.queue.pop_front();
    p.used += bytes;
    p.highWater = std::max(p.highWater, p.used);
    lock.unlock();
    p.changed.notify_all();
    reservation = Reservation(bytes);
    return LoadFailure::None;
}

std::int64_t DecodeBudget::capacity()
{
    const std::lock_guard lock(pool().mutex);
    return pool().capacity;
}

void DecodeBudget::setCapacity(std::int64_t bytes)
{
    Pool& p = pool();
    {
        const std::lock_guard lock(p.mutex);
        p.capacity = bytes;
        p.highWater = p.used;
    }
    p.changed.notify_all();
}

std::int64_t DecodeBudget::highWater()
{
    const std::lock_guard lock(pool().mutex);
    return pool().highWater;
}

} // namespace ovrin::platform
