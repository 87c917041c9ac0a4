#include "platform/imaging/detail/DecodeBudget.h"

#include "platform/imaging/Raster.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace ovrin::platform {

namespace {

struct Pool {
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t ceiling = kDecodeBudget;
    std::int64_t together = kDecodeBudget;
    std::int64_t alone = kDecodeBudget;
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

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number at the start of a file ("max" and the like give none).
std::optional<std::int64_t> fileNumber(const std::string& path)
{
    const std::string text = fileText(path);
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0)
        return std::nullopt;
    return value;
}

// The number after "key" at the start of a line of a key-value file.
std::optional<std::int64_t> keyedNumber(const std::string& text, const std::string& key)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (text.compare(at, key.size(), key) == 0 && at + key.size() < end &&
            (text[at + key.size()] == ' ' || text[at + key.size()] == ':' ||
             text[at + key.size()] == '\t')) {
            const char* from = text.c_str() + at + key.size() + 1;
            char* stop = nullptr;
            const long long value = std::strtoll(from, &stop, 10);
            if (stop != from && value >= 0)
                return value;
        }
        at = end + 1;
    }
    return std::nullopt;
}

// The room left under the memory limits of a cgroup and its ancestors, the
// reclaimable file cache counted as free.
std::optional<std::int64_t> readCgroupRoom(const std::string& root)
{
    // A version 1 limit this large means none.
    constexpr std::int64_t kUnlimited = std::int64_t{1} << 60;
    const std::string membership = fileText(root + "/proc/self/cgroup");
    std::optional<std::int64_t> room;
    std::istringstream lines(membership);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const bool unified = line.compare(0, first, "0") == 0 && controllers.empty();
        std::istringstream names(controllers);
        bool memory = false;
        for (std::string name; std::getline(names, name, ',');)
            memory = memory || name == "memory";
        if (!unified && !memory)
            continue;
        const std::string base = root + (unified ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory");
        std::string path = line.substr(second + 1);
        for (;;) {
            const std::string dir = base + (path == "/" ? std::string() : path);
            const auto limit =
                fileNumber(dir + (unified ? "/memory.max" : "/memory.limit_in_bytes"));
            const auto usage =
                fileNumber(dir + (unified ? "/memory.current" : "/memory.usage_in_bytes"));
            if (limit && *limit < kUnlimited && usage) {
                // The page cache, active or not, is given back under the
                // limit: a second run over a tree the first one read would
                // otherwise find no room at all.
                const std::string stat = fileText(dir + "/memory.stat");
                const std::int64_t cache =
                    keyedNumber(stat, unified ? "active_file" : "total_active_file").value_or(0) +
                    keyedNumber(stat, unified ? "inactive_file" : "total_inactive_file")
                        .value_or(0);
                const std::int64_t left = *limit - std::max<std::int64_t>(*usage - cache, 0);
                room = std::min(room.value_or(left), left);
            }
            if (path.empty() || path == "/")
                break;
            path.erase(std::max<std::size_t>(path.rfind('/'), 1));
        }
    }
    return room;
}

std::int64_t readThreadAddressSpace()
{
    std::int64_t bytes = 64 * 1024;
    std::size_t stack = 0;
    std::size_t guard = 0;
    pthread_attr_t attributes;
    if (pthread_getattr_default_np(&attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &stack);
        pthread_attr_getguardsize(&attributes, &guard);
        pthread_attr_destroy(&attributes);
    }
    bytes += static_cast<std::int64_t>(stack + guard);
#ifdef __GLIBC__
    // Each thread's first allocation reserves an arena of twice the largest
    // mmap threshold, however little of it is ever used.
    bytes += sizeof(long) >= 8 ? 64 * 1024 * 1024 : 1024 * 1024;
#endif
    return bytes;
}

} // namespace

MemoryReadings MemoryReadings::read(const std::string& root)
{
    MemoryReadings readings;
    rlimit limit{};
    if (root.empty() && ::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        readings.addressSpaceLimit = static_cast<std::int64_t>(limit.rlim_cur);
    if (const auto pages = fileNumber(root + "/proc/self/statm"))
        readings.addressSpaceUsed = *pages * ::sysconf(_SC_PAGESIZE);
    readings.threadAddressSpace = readThreadAddressSpace();
    readings.cgroupRoom = readCgroupRoom(root);
    if (const auto kilobytes = keyedNumber(fileText(root + "/proc/meminfo"), "MemAvailable"))
        readings.available = *kilobytes * 1024;
    return readings;
}

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
    if (bytes > p.alone)
        return LoadFailure::TooLarge;
    const std::uint64_t ticket = p.nextTicket++;
    p.queue.push_back(ticket);
    const auto ready = [&] {
        return p.queue.front() == ticket && (p.used + bytes <= p.together || p.used == 0);
    };
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

DecodeBudget::Share DecodeBudget::shareFor(const MemoryReadings& readings, int threads,
                                           std::int64_t ceiling)
{
    const auto half = [](std::int64_t room) { return std::max<std::int64_t>(room, 0) / 2; };
    Share share{ceiling, ceiling};
    if (readings.addressSpaceLimit)
        share.alone =
            std::min(share.alone, half(*readings.addressSpaceLimit - readings.addressSpaceUsed -
                                       std::max(threads, 0) * readings.threadAddressSpace));
    if (readings.cgroupRoom)
        share.alone = std::min(share.alone, half(*readings.cgroupRoom));
    share.together = share.alone;
    if (readings.available)
        share.together = std::min(share.together, half(*readings.available));
    return share;
}

int DecodeBudget::threadsWithin(const MemoryReadings& readings, int wanted, std::int64_t ceiling)
{
    const Share single = shareFor(readings, 0, ceiling);
    int threads = std::max(wanted, 1);
    while (threads > 1) {
        const Share share = shareFor(readings, threads, ceiling);
        if (share.alone > 0 && 2 * share.alone >= single.alone &&
            2 * share.together >= single.together)
            break;
        --threads;
    }
    return threads;
}

void DecodeBudget::fit(const MemoryReadings& readings, int threads)
{
    Pool& p = pool();
    {
        const std::lock_guard lock(p.mutex);
        const Share share = shareFor(readings, threads, p.ceiling);
        p.together = share.together;
        p.alone = share.alone;
    }
    p.changed.notify_all();
}

void DecodeBudget::unfit()
{
    Pool& p = pool();
    {
        const std::lock_guard lock(p.mutex);
        p.together = p.ceiling;
        p.alone = p.ceiling;
    }
    p.changed.notify_all();
}

std::int64_t DecodeBudget::capacity()
{
    const std::lock_guard lock(pool().mutex);
    return pool().alone;
}

std::int64_t DecodeBudget::ceiling()
{
    const std::lock_guard lock(pool().mutex);
    return pool().ceiling;
}

void DecodeBudget::setCapacity(std::int64_t bytes)
{
    Pool& p = pool();
    {
        const std::lock_guard lock(p.mutex);
        p.ceiling = bytes;
        p.together = bytes;
        p.alone = bytes;
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
