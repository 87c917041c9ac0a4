#include "engine/LookAlikeGroups.h"

#include "signature/TFileInfo.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace ovrin {

namespace {

// Rows of the first pass handed to a thread at a time: few enough to balance
// the threads, to notice a stop soon and to keep their widened form in the
// first-level cache (128 rows of pixel number 8 take 24 KiB), many enough that
// each column read is compared with a good number of them.
constexpr std::size_t kRowsPerTask = 128;
constexpr std::size_t kTaskBytes = 32 * 1024;
// Rows are sorted by this channel's sum; the others filter the window.
constexpr int kKeyChannel = 1;
// Matching pairs the first pass remembers for the second, per row, when they
// are this few: then the second pass compares nothing again.
constexpr std::size_t kRememberedPairsPerRow = 2;

int threadCount(int jobs)
{
    if (jobs <= 0)
        jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(jobs, 1, 256);
}

// A fixed set of threads that run one function together, the calling thread
// among them, as often as asked: the second pass runs many short rounds.
class Crew {
public:
    explicit Crew(int size)
    {
        for (int w = 1; w < size; ++w) {
            try {
                m_threads.emplace_back([this, w] { loop(w); });
            } catch (const std::system_error&) {
                break; // fewer threads do the same work
            }
        }
    }
    ~Crew()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;

    int size() const { return static_cast<int>(m_threads.size()) + 1; }

    void run(const std::function<void(int)>& body)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_body = &body;
            m_pending = m_threads.size();
            ++m_generation;
        }
        m_wake.notify_all();
        body(0);
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_pending == 0; });
    }

private:
    void loop(int worker)
    {
        std::uint64_t seen = 0;
        for (;;) {
            const std::function<void(int)>* body = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_closing || m_generation != seen; });
                if (m_closing)
                    return;
                seen = m_generation;
                body = m_body;
            }
            (*body)(worker);
            const std::lock_guard lock(m_mutex);
            if (--m_pending == 0)
                m_done.notify_one();
        }
    }

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_body = nullptr;
    std::size_t m_pending = 0;
    std::uint64_t m_generation = 0;
    bool m_closing = false;
};

// A buffer for widened rows on the boundary the kernels like.
class AlignedBytes {
public:
    explicit AlignedBytes(std::size_t size) : m_storage(size + 64)
    {
        const auto address = reinterpret_cast<std::uintptr_t>(m_storage.data());
        m_data = m_storage.data() + (64 - address % 64) % 64;
    }
    std::uint8_t* data() { return m_data; }

private:
    std::vector<std::uint8_t> m_storage;
    std::uint8_t* m_data;
};

bool stopped(const std::atomic<bool>* proceed)
{
    return proceed != nullptr && !proceed->load(std::memory_order_relaxed);
}

void add(std::atomic<std::uint64_t>* counter, std::uint64_t amount)
{
    if (counter != nullptr)
        counter->fetch_add(amount, std::memory_order_relaxed);
}

class Grouping {
public:
    Grouping(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
             SignatureMatrix::Kernel kernel, Crew& crew, const std::atomic<bool>* proceed,
             GroupingProgress* progress)
        : m_table(table), m_bits(bits), m_matchRate(matchRate), m_crew(crew), m_proceed(proceed),
          m_progress(progress), m_order(sortedByKey(table, bits)),
          m_matrix(table.values.data(), table.count, m_order, bits, matchRate, kernel)
    {
        m_bound = m_matrix.sumBound();
        m_keys.reserve(m_order.size());
        for (std::size_t r = 0; r < m_order.size(); ++r)
            m_keys.push_back(m_matrix.channelSum(r, kKeyChannel));
    }

    std::optional<std::vector<LookAlikeGroup>> run()
    {
        const std::size_t n = m_order.size();
        if (n < 2 || !m_matrix.anyCanMatch()) {
            if (m_progress != nullptr) {
                m_progress->pairsTotal = std::uint64_t{n} * (n > 0 ? n - 1 : 0) / 2;
                m_progress->pairsPruned = m_progress->pairsTotal.load();
            }
            return stopped(m_proceed) ? std::nullopt : std::optional(std::vector<LookAlikeGroup>{});
        }
        if (!countMatches())
            return std::nullopt;
        return formGroups();
    }

private:
    static std::vector<std::uint32_t> sortedByKey(const SignatureTable& table, std::int32_t bits)
    {
        const std::size_t n = table.paths.size();
        std::vector<std::int32_t> keys(n);
        const auto count = static_cast<std::size_t>(table.count);
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = SignatureMatrix::channelSums(table.values.data() + i * count, table.count,
                                                   bits)[kKeyChannel];
        std::vector<std::uint32_t> order(n);
        for (std::size_t i = 0; i < n; ++i)
            order[i] = static_cast<std::uint32_t>(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        return order;
    }

    // First pass: the number of matches of every row over the whole table.
    // Rows are sorted by one channel sum, so the rows that can match row r lie
    // in one window after it; the other sums thin the window out and the
    // kernel compares the rest.
    bool countMatches()
    {
        const std::size_t n = m_order.size();
        std::vector<std::uint32_t> ends(n);
        for (std::size_t r = 0, end = 0; r < n; ++r) {
            end = std::max(end, r + 1);
            while (end < n && m_keys[end] - m_keys[r] <= m_bound)
                ++end;
            ends[r] = static_cast<std::uint32_t>(end);
        }
        if (m_progress != nullptr)
            m_progress->pairsTotal = std::uint64_t{n} * (n - 1) / 2;

        const auto workers = static_cast<std::size_t>(m_crew.size());
        std::vector<std::vector<std::uint32_t>> degrees(workers, std::vector<std::uint32_t>(n));
        // The pairs found, while they fit the room of all the workers together.
        std::vector<SignatureMatrix::MatchPairs> found(workers);
        const std::size_t room = kRememberedPairsPerRow * n;
        std::atomic<std::size_t> remembered{0};
        std::atomic<bool> forget{false};
        const std::size_t stride = m_matrix.rowBytes();
        const std::size_t rowsPerTask =
            std::clamp<std::size_t>(kTaskBytes / stride, 1, kRowsPerTask);
        const std::size_t tasks = (n + rowsPerTask - 1) / rowsPerTask;
        std::atomic<std::size_t> nextTask{0};
        std::atomic<bool> halted{false};

        m_crew.run([&](int worker) {
            std::vector<std::uint32_t>& degree = degrees[static_cast<std::size_t>(worker)];
            AlignedBytes widened(rowsPerTask * stride);
            for (;;) {
                const std::size_t task = nextTask.fetch_add(1, std::memory_order_relaxed);
                if (task >= tasks)
                    return;
                if (stopped(m_proceed)) {
                    halted = true;
                    return;
                }
                const std::size_t first = task * rowsPerTask;
                const std::size_t last = std::min(n, first + rowsPerTask);
                for (std::size_t r = first; r < last; ++r)
                    m_matrix.widen(r, widened.data() + (r - first) * stride);
                SignatureMatrix::MatchPairs& mine = found[static_cast<std::size_t>(worker)];
                const std::size_t before = mine.values.size();
                mine.room = room - std::min(room, remembered.load());
                const bool remember = !forget;
                const std::uint64_t compared = m_matrix.countBlock(
                    widened.data(), static_cast<std::uint32_t>(first),
                    static_cast<std::uint32_t>(last), ends.data(), degree.data() + first,
                    degree.data(), remember ? &mine : nullptr);
                if (remember &&
                    (mine.overflowed || remembered.fetch_add((mine.values.size() - before) / 2) +
                                                (mine.values.size() - before) / 2 >
                                            room))
                    forget = true;
                if (forget && !mine.values.empty())
                    std::vector<std::uint32_t>().swap(mine.values);
                std::uint64_t pairs = 0;
                for (std::size_t r = first; r < last; ++r)
                    pairs += n - 1 - r;
                if (m_progress != nullptr) {
                    add(&m_progress->pairsCompared, compared);
                    add(&m_progress->pairsPruned, pairs - compared);
                }
            }
        });
        if (halted || stopped(m_proceed))
            return false;
        m_degrees.assign(n, 0);
        for (const auto& d : degrees)
            for (std::size_t r = 0; r < n; ++r)
                m_degrees[r] += d[r];
        degrees.clear();
        if (!forget)
            rememberPairs(found);
        return true;
    }

    // The remembered pairs as each row's matches in ascending order, as a
    // scan of the free rows would find them.
    void rememberPairs(std::vector<SignatureMatrix::MatchPairs>& pairs)
    {
        const std::size_t n = m_order.size();
        m_partnersStart.assign(n + 1, 0);
        for (std::size_t r = 0; r < n; ++r)
            m_partnersStart[r + 1] = m_partnersStart[r] + m_degrees[r];
        m_partners.resize(m_partnersStart[n]);
        std::vector<std::size_t> at(m_partnersStart.begin(), m_partnersStart.end() - 1);
        for (auto& p : pairs) {
            for (std::size_t k = 0; k + 1 < p.values.size(); k += 2) {
                m_partners[at[p.values[k]]++] = p.values[k + 1];
                m_partners[at[p.values[k + 1]]++] = p.values[k];
            }
            std::vector<std::uint32_t>().swap(p.values);
        }
        for (std::size_t r = 0; r < n; ++r)
            std::sort(m_partners.begin() + std::ptrdiff_t(m_partnersStart[r]),
                      m_partners.begin() + std::ptrdiff_t(m_partnersStart[r + 1]));
        m_remembered = true;
    }

    // Second pass: references in order of the most matches, then path; each
    // one not yet grouped takes the ungrouped rows that match it. The first
    // pass's matches serve where they were few enough to remember; otherwise
    // rows are compared again, so memory stays linear: a round compares
    // several upcoming references at once, against the rows still free when
    // it starts, and the round's results are then applied in order, dropping
    // what an earlier reference of the round has taken.
    std::optional<std::vector<LookAlikeGroup>> formGroups()
    {
        const std::size_t n = m_order.size();
        std::vector<std::uint32_t> references;
        std::vector<std::uint32_t> pool; // rows with a match, in key order
        for (std::size_t r = 0; r < n; ++r) {
            if (m_degrees[r] > 0) {
                references.push_back(static_cast<std::uint32_t>(r));
                pool.push_back(static_cast<std::uint32_t>(r));
            }
        }
        std::sort(references.begin(), references.end(), [&](std::uint32_t a, std::uint32_t b) {
            if (m_degrees[a] != m_degrees[b])
                return m_degrees[a] > m_degrees[b];
            const std::string& pa = m_table.paths[m_order[a]];
            const std::string& pb = m_table.paths[m_order[b]];
            if (pa != pb)
                return pa < pb;
            return m_order[a] < m_order[b];
        });

        std::vector<std::uint8_t> grouped(n, 0);
        std::vector<LookAlikeGroup> groups;
        const std::size_t roundSize = std::max<std::size_t>(8, 4 * std::size_t(m_crew.size()));
        std::vector<std::vector<std::uint32_t>> found(roundSize);
        std::vector<std::uint32_t> round;
        // Remembered matches leave nothing to compare again.
        SignatureMatrix::Subset free =
            m_matrix.subset(m_remembered ? std::vector<std::uint32_t>{} : std::move(pool));
        std::size_t groupedSinceCompaction = 0;
        std::size_t next = 0;

        while (next < references.size()) {
            if (stopped(m_proceed))
                return std::nullopt;
            round.clear();
            while (next < references.size() && round.size() < roundSize) {
                const std::uint32_t r = references[next++];
                if (grouped[r] == 0)
                    round.push_back(r);
            }
            if (m_remembered) {
                for (std::size_t item = 0; item < round.size(); ++item)
                    found[item].assign(
                        m_partners.begin() + std::ptrdiff_t(m_partnersStart[round[item]]),
                        m_partners.begin() + std::ptrdiff_t(m_partnersStart[round[item] + 1]));
            } else {
                scanRound(round, free, found);
            }
            for (std::size_t item = 0; item < round.size(); ++item) {
                const std::uint32_t r = round[item];
                if (grouped[r] != 0)
                    continue;
                std::vector<std::uint32_t> members;
                for (const std::uint32_t j : found[item])
                    if (j != r && grouped[j] == 0)
                        members.push_back(j);
                if (members.empty())
                    continue;
                grouped[r] = 1;
                for (const std::uint32_t j : members)
                    grouped[j] = 1;
                groupedSinceCompaction += members.size() + 1;
                groups.push_back(makeGroup(r, members));
                add(m_progress != nullptr ? &m_progress->groups : nullptr, 1);
            }
            // Grouped rows are dropped from the free ones now and then, when
            // enough of them have gathered to make the copy worth it.
            if (groupedSinceCompaction * 8 > free.rows.size()) {
                std::vector<std::uint32_t> rows = std::move(free.rows);
                std::erase_if(rows, [&](std::uint32_t r) { return grouped[r] != 0; });
                free = m_matrix.subset(std::move(rows));
                groupedSinceCompaction = 0;
            }
        }
        std::stable_sort(groups.begin(), groups.end(),
                         [](const LookAlikeGroup& a, const LookAlikeGroup& b) {
                             return a.members.size() > b.members.size();
                         });
        return groups;
    }

    // A round's references against the free rows, on every thread: each
    // one's matches among them in ascending order.
    void scanRound(const std::vector<std::uint32_t>& round, const SignatureMatrix::Subset& free,
                   std::vector<std::vector<std::uint32_t>>& found)
    {
        const std::size_t stride = m_matrix.rowBytes();
        // The free rows lie in key order: those that can match a reference
        // form one stretch of them.
        const auto keys = free.sums.begin() + std::ptrdiff_t(kKeyChannel * free.rows.size());
        const auto keysEnd = keys + std::ptrdiff_t(free.rows.size());
        std::atomic<std::size_t> nextItem{0};
        m_crew.run([&](int) {
            AlignedBytes widened(stride);
            for (;;) {
                const std::size_t item = nextItem.fetch_add(1, std::memory_order_relaxed);
                if (item >= round.size())
                    return;
                const std::uint32_t r = round[item];
                const auto from = std::lower_bound(keys, keysEnd, m_keys[r] - m_bound) - keys;
                const auto to = std::upper_bound(keys, keysEnd, m_keys[r] + m_bound) - keys;
                m_matrix.widen(r, widened.data());
                std::vector<std::uint32_t>& out = found[item];
                out.resize(static_cast<std::size_t>(to - from));
                std::uint64_t compared = 0;
                out.resize(m_matrix.scanSubset(r, widened.data(), free,
                                               static_cast<std::size_t>(from),
                                               static_cast<std::size_t>(to), out.data(), compared));
            }
        });
    }

    LookAlikeGroup makeGroup(std::uint32_t referenceRow, const std::vector<std::uint32_t>& rows)
    {
        LookAlikeGroup group;
        group.reference = m_order[referenceRow];
        const auto count = static_cast<std::size_t>(m_table.count);
        const std::int16_t* reference = m_table.values.data() + group.reference * count;
        for (const std::uint32_t row : rows) {
            const std::size_t index = m_order[row];
            const std::int16_t* member = m_table.values.data() + index * count;
            const auto rate =
                TFileInfo::compareSignatures(reference, member, m_table.count, m_bits, m_matchRate);
            group.members.push_back(LookAlikeMember{
                index, rate.value_or(0), TFileInfo::likeness(reference, member, m_table.count)});
        }
        std::sort(group.members.begin(), group.members.end(),
                  [&](const LookAlikeMember& a, const LookAlikeMember& b) {
                      if (a.rate != b.rate)
                          return a.rate > b.rate;
                      if (a.likeness != b.likeness)
                          return a.likeness > b.likeness;
                      const std::string& pa = m_table.paths[a.index];
                      const std::string& pb = m_table.paths[b.index];
                      if (pa != pb)
                          return pa < pb;
                      return a.index < b.index;
                  });
        return group;
    }

    const SignatureTable& m_table;
    std::int32_t m_bits;
    std::int32_t m_matchRate;
    Crew& m_crew;
    const std::atomic<bool>* m_proceed;
    GroupingProgress* m_progress;
    std::vector<std::uint32_t> m_order; // row -> table index, by key
    SignatureMatrix m_matrix;
    std::vector<std::int32_t> m_keys; // the key channel's sum of each row
    std::int32_t m_bound = 0;
    std::vector<std::uint32_t> m_degrees;
    // Each row's matches, rows r's from m_partnersStart[r], when remembered.
    bool m_remembered = false;
    std::vector<std::size_t> m_partnersStart;
    std::vector<std::uint32_t> m_partners;
};

} // namespace

std::optional<KeepRule> parseKeepRule(std::string_view text)
{
    for (const KeepRule rule :
         {KeepRule::Pixels, KeepRule::Size, KeepRule::Oldest, KeepRule::Newest, KeepRule::Path})
        if (text == keepRuleName(rule))
            return rule;
    return std::nullopt;
}

const char* keepRuleName(KeepRule rule)
{
    switch (rule) {
    case KeepRule::Size:
        return "size";
    case KeepRule::Oldest:
        return "oldest";
    case KeepRule::Newest:
        return "newest";
    case KeepRule::Path:
        return "path";
    case KeepRule::Pixels:
        break;
    }
    return "pixels";
}

GroupingMemory lookAlikeGroupingMemory(std::size_t n, std::int32_t count, std::int32_t bits,
                                       int threads)
{
    // Per row throughout: the widened row, its three sums, its place in the
    // order, its key and its match count.
    const auto blocks = (static_cast<std::int64_t>(std::max(count, 0)) + 63) / 64;
    const std::int64_t kept = blocks * 64 * 3 * (bits == 4 ? 2 : 1) + 3 * 4 + 4 + 4 + 4;
    // The first pass: the window ends and a match count per thread.
    const std::int64_t counting = 4 + 4 * std::int64_t{std::clamp(threads, 1, 256)};
    // The pairs it remembers when they are few (each thread may fill the room
    // once), and the matches of each row they become.
    const auto room = static_cast<std::int64_t>(kRememberedPairsPerRow);
    const std::int64_t remembering =
        8 * room * std::int64_t{std::clamp(threads, 1, 256)} + 8 + 8 + 8 * room;
    // The second pass: the references, the free rows with their sums (twice
    // while they are compacted), the grouped marks and a member per row.
    const std::int64_t forming = 4 + 2 * (4 + 3 * 4) + 1 + std::int64_t{sizeof(LookAlikeMember)};
    const auto rows = static_cast<std::int64_t>(n);
    return {rows * (kept + counting), rows * (kept + std::max(counting + remembering, forming))};
}

std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed, GroupingProgress* progress,
                    SignatureMatrix::Kernel kernel)
{
    const std::size_t n = table.paths.size();
    const auto count = static_cast<std::size_t>(std::max(table.count, 0));
    const bool consistent = table.count >= 0 && (count == 0 ? table.values.empty()
                                                            : table.values.size() % count == 0 &&
                                                                  table.values.size() / count == n);
    if (!consistent || n >= std::numeric_limits<std::uint32_t>::max())
        throw std::invalid_argument("signature table: values do not match the paths");
    Crew crew(threadCount(jobs));
    Grouping grouping(table, bits, matchRate, kernel, crew, proceed, progress);
    return grouping.run();
}

std::optional<std::vector<LookAlikeGroup>> findLookAlikeGroups(const SignatureTable& table,
                                                               const GroupingRequest& request,
                                                               const std::atomic<bool>* proceed,
                                                               GroupingProgress* progress,
                                                               SignatureMatrix::Kernel kernel)
{
    return findLookAlikeGroups(table, request.bits, request.matchRate, request.jobs, proceed,
                               progress, kernel);
}

std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed, GroupingProgress* progress)
{
    return findLookAlikeGroups(table, bits, matchRate, jobs, proceed, progress,
                               SignatureMatrix::bestKernel());
}

} // namespace ovrin
