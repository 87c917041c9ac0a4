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
#include <tuple>
#include <utility>

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
// Confirmed pairs kept per row with a match, at most, so that their memory
// stays linear.
constexpr std::size_t kLinksPerRow = 4;

// The per-thread counts of matches of every row, added up.
std::vector<std::uint32_t> summed(const std::vector<std::vector<std::uint32_t>>& counts,
                                  std::size_t n)
{
    std::vector<std::uint32_t> total(n, 0);
    for (const auto& part : counts)
        for (std::size_t r = 0; r < n; ++r)
            total[r] += part[r];
    return total;
}

// The pairs a task of rows [first, last) settles: each row with every later one.
std::uint64_t pairsOfRows(std::size_t first, std::size_t last, std::size_t n)
{
    std::uint64_t pairs = 0;
    for (std::size_t r = first; r < last; ++r)
        pairs += n - 1 - r;
    return pairs;
}
// Matching pairs the first pass remembers for the second, per row, when they
// are this few: then the second pass compares nothing again.
constexpr std::size_t kRememberedPairsPerRow = 2;
constexpr std::size_t kConfirmedPairsPerRow = 8;
// Colour matches one task of the first pass holds to test their fingerprints:
// 8 MiB a thread. A task with more has them confirmed by a later scan.
constexpr std::size_t kTaskPairs = std::size_t{1} << 20;
// Replace the rooms above when set, so tests reach the routes that only
// large collections take otherwise: the colour matches a task holds, and the
// pairs kept for the second pass.
std::atomic<std::size_t> g_taskRoomForTesting{0};
std::atomic<std::size_t> g_keptRoomForTesting{0};

std::size_t roomOr(const std::atomic<std::size_t>& replacement, std::size_t room)
{
    const std::size_t replaced = replacement.load();
    return replaced != 0 ? replaced : room;
}

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

// The form that undoes a form: a turn by the quarter turns left to a whole
// one; a mirrored form is its own undoing.
Orientation undone(Orientation orientation)
{
    const int code = static_cast<int>(orientation);
    return code >= 4 ? orientation : static_cast<Orientation>((4 - code) % 4);
}

// What decides a group beyond the colours, and who leads it.
struct Choices {
    const std::vector<FineSignature>* fine = nullptr;       // one per table index, or none
    const std::vector<FineSignature>* turnedFine = nullptr; // seven per table index, or none
    const std::vector<SignatureTable::Facts>* facts = nullptr;
    Similarity similarity = Similarity::Normal;
    KeepRule keep = KeepRule::Pixels;
    std::vector<std::string> preferred; // without trailing '/', none empty
};

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

    void choose(Choices choices) { m_choices = std::move(choices); }

    // Compares pairs in the eight forms from here on: the rows again, each
    // signature turned one way in each, in the same order since turning
    // leaves a row's sums as they are.
    void turnAll(SignatureMatrix::Kernel kernel)
    {
        const std::int32_t side = gridSide(m_table.count);
        if (side == 0 || m_order.size() < 2 || !m_matrix.anyCanMatch())
            return;
        const auto count = static_cast<std::size_t>(m_table.count);
        const std::size_t n = m_order.size();
        std::vector<std::int16_t> turned(n * count);
        for (int k = 1; k < kOrientations; ++k) {
            for (std::size_t i = 0; i < n; ++i) {
                const std::vector<std::int16_t> form = orientGrid(
                    m_table.values.data() + i * count, side, static_cast<Orientation>(k));
                std::copy(form.begin(), form.end(), turned.begin() + std::ptrdiff_t(i * count));
            }
            m_turned.emplace_back(turned.data(), m_table.count, m_order, m_bits, m_matchRate,
                                  kernel);
        }
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
        enter(GroupingPhase::Comparing);
        if (oriented()) {
            if (!countOrientedMatches())
                return std::nullopt;
            enter(GroupingPhase::Forming);
            return formGroups();
        }
        if (!countMatches())
            return std::nullopt;
        if (m_choices.fine != nullptr && !m_confirmed) {
            enter(GroupingPhase::Confirming);
            if (!confirmMatches())
                return std::nullopt;
        }
        enter(GroupingPhase::Forming);
        if (m_choices.fine == nullptr)
            return formGroups();
        return m_links.complete ? formConfirmedGroups() : formGroups();
    }

private:
    void enter(GroupingPhase phase)
    {
        if (m_progress != nullptr)
            m_progress->phase.store(phase);
    }

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

    // Rows are sorted by one channel sum, so the rows that can match row r lie
    // between r + 1 and its end. Either pass calls it first, and announces
    // every pair as its total.
    std::vector<std::uint32_t> windowEnds()
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
        return ends;
    }

    // First pass: the number of matches of every row over the whole table.
    // Within the window of a row the other sums thin it out, and the kernel
    // compares the rest.
    bool countMatches()
    {
        const std::size_t n = m_order.size();
        const std::vector<std::uint32_t> ends = windowEnds();

        const auto workers = static_cast<std::size_t>(m_crew.size());
        std::vector<std::vector<std::uint32_t>> degrees(workers, std::vector<std::uint32_t>(n));
        // The pairs found, while they fit the room of all the workers together.
        std::vector<SignatureMatrix::MatchPairs> found(workers);
        // With fingerprints: the confirmed matches of every row, and whether a
        // task had more colour matches than it could hold to test. Confirmed
        // pairs are rarer and are given more room.
        const bool confirming = m_choices.fine != nullptr;
        const std::size_t room =
            roomOr(g_keptRoomForTesting,
                   (confirming ? kConfirmedPairsPerRow : kRememberedPairsPerRow) * n);
        std::atomic<std::size_t> remembered{0};
        std::atomic<bool> forget{false};
        std::vector<SignatureMatrix::MatchPairs> taskPairs(confirming ? workers : 0);
        std::vector<std::vector<std::uint32_t>> confirmedDegrees(confirming ? workers : 0,
                                                                 std::vector<std::uint32_t>(n));
        std::atomic<bool> unconfirmed{false};
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
                std::uint64_t compared = 0;
                if (confirming) {
                    // The task's colour matches are few beside its pairs; their
                    // fingerprints are tested at once and only the confirmed
                    // ones are kept, so no pair is compared again.
                    SignatureMatrix::MatchPairs& colour =
                        taskPairs[static_cast<std::size_t>(worker)];
                    colour.values.clear();
                    colour.room = roomOr(g_taskRoomForTesting, kTaskPairs);
                    colour.overflowed = false;
                    compared =
                        m_matrix.countBlock(widened.data(), static_cast<std::uint32_t>(first),
                                            static_cast<std::uint32_t>(last), ends.data(),
                                            degree.data() + first, degree.data(), &colour);
                    if (colour.overflowed)
                        unconfirmed = true;
                    std::vector<std::uint32_t>& sure =
                        confirmedDegrees[static_cast<std::size_t>(worker)];
                    for (std::size_t k = 0; k + 1 < colour.values.size(); k += 2) {
                        const std::uint32_t a = colour.values[k];
                        const std::uint32_t b = colour.values[k + 1];
                        if (!confirmed(a, b))
                            continue;
                        ++sure[a];
                        ++sure[b];
                        if (!forget) {
                            mine.values.push_back(a);
                            mine.values.push_back(b);
                        }
                    }
                    if (!forget && remembered.fetch_add((mine.values.size() - before) / 2) +
                                           (mine.values.size() - before) / 2 >
                                       room)
                        forget = true;
                } else {
                    mine.room = room - std::min(room, remembered.load());
                    const bool remember = !forget;
                    compared = m_matrix.countBlock(
                        widened.data(), static_cast<std::uint32_t>(first),
                        static_cast<std::uint32_t>(last), ends.data(), degree.data() + first,
                        degree.data(), remember ? &mine : nullptr);
                    if (remember && (mine.overflowed ||
                                     remembered.fetch_add((mine.values.size() - before) / 2) +
                                             (mine.values.size() - before) / 2 >
                                         room))
                        forget = true;
                }
                if (forget && !mine.values.empty())
                    std::vector<std::uint32_t>().swap(mine.values);
                const std::uint64_t pairs = pairsOfRows(first, last, n);
                if (m_progress != nullptr) {
                    add(&m_progress->pairsCompared, compared);
                    add(&m_progress->pairsPruned, pairs - compared);
                }
            }
        });
        if (halted || stopped(m_proceed))
            return false;
        m_degrees = summed(degrees, n);
        degrees.clear();
        if (confirming && !unconfirmed) {
            // Only confirmed matches count from here on: for the order of the
            // references, and as the remembered pairs.
            m_degrees = summed(confirmedDegrees, n);
            m_confirmed = true;
        }
        confirmedDegrees.clear();
        taskPairs.clear();
        if (confirming && unconfirmed)
            forget = true; // the pairs kept are not all the confirmed ones
        if (!forget)
            rememberPairs(found);
        return true;
    }

    // Where fingerprints confirm the members, the matches that count for the
    // order of references are the confirmed ones: a dark picture that matches
    // many strangers in colour alone would otherwise lead, and its copies that
    // the fingerprint holds apart from it would be scattered. The first pass
    // confirms its colour matches as it finds them; only where a task of it
    // found more than it could hold do the rows with a match in colour meet
    // again here, each pair once. The fingerprint test costs
    // a few operations where the colours cost a comparison of every pixel, so
    // it comes first, on the pairs the sums let through, and the colours are
    // compared for the few it accepts. A row left without a confirmed match
    // can neither lead nor join a group.
    bool confirmMatches()
    {
        std::vector<std::uint32_t> pool;
        for (std::size_t r = 0; r < m_order.size(); ++r)
            if (m_degrees[r] > 0)
                pool.push_back(static_cast<std::uint32_t>(r));
        const std::size_t size = pool.size();
        const SignatureMatrix::Subset rows = m_matrix.subset(pool);
        const std::int32_t* red = rows.sums.data();
        const std::int32_t* keys = red + std::ptrdiff_t(kKeyChannel * size);
        const std::int32_t* blue = red + std::ptrdiff_t(2 * size);
        static_assert(kKeyChannel == 1);
        // The fingerprints in the order they are read.
        std::vector<FineSignature> fine;
        fine.reserve(size);
        for (const std::uint32_t r : pool)
            fine.push_back((*m_choices.fine)[m_order[r]]);
        const auto workers = static_cast<std::size_t>(m_crew.size());
        std::vector<std::vector<std::uint32_t>> degrees(workers, std::vector<std::uint32_t>(size));
        const std::size_t tasks = (size + kRowsPerTask - 1) / kRowsPerTask;
        const auto count = static_cast<std::size_t>(m_table.count);
        std::atomic<std::size_t> nextTask{0};
        std::atomic<bool> halted{false};
        // The confirmed pairs are kept while they stay few, as they do where
        // pictures have a handful of copies each; they then form the groups
        // without another comparison. Past the budget the groups are formed
        // by comparing again, to the same result.
        std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> links(workers);
        const std::size_t budget =
            std::min<std::size_t>(roomOr(g_keptRoomForTesting, kLinksPerRow * size),
                                  std::numeric_limits<std::uint32_t>::max() / 2);
        std::atomic<std::size_t> kept{0};
        std::atomic<bool> overflow{false};

        m_crew.run([&](int worker) {
            std::vector<std::uint32_t>& degree = degrees[static_cast<std::size_t>(worker)];
            std::vector<std::uint32_t> near;
            std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs =
                links[static_cast<std::size_t>(worker)];
            for (;;) {
                const std::size_t task = nextTask.fetch_add(1, std::memory_order_relaxed);
                if (task >= tasks)
                    return;
                if (stopped(m_proceed)) {
                    halted = true;
                    return;
                }
                const std::size_t last = std::min(size, (task + 1) * kRowsPerTask);
                for (std::size_t a = task * kRowsPerTask; a < last; ++a) {
                    const std::int16_t* own = m_table.values.data() + m_order[pool[a]] * count;
                    const std::size_t end = static_cast<std::size_t>(
                        std::upper_bound(keys + a + 1, keys + size, keys[a] + m_bound) - keys);
                    // Branch-free, so that the sums of a long window go fast.
                    near.resize(end - a);
                    std::size_t found = 0;
                    const auto reach = static_cast<std::uint32_t>(2 * m_bound);
                    for (std::size_t b = a + 1; b < end; ++b) {
                        near[found] = static_cast<std::uint32_t>(b);
                        found += (static_cast<std::uint32_t>(red[b] - red[a] + m_bound) <= reach) &
                                 (static_cast<std::uint32_t>(blue[b] - blue[a] + m_bound) <= reach);
                    }
                    for (std::size_t k = 0; k < found; ++k) {
                        const std::size_t b = near[k];
                        if (!fineAccepts(fine[a], fine[b], m_choices.similarity))
                            continue;
                        const std::int16_t* other =
                            m_table.values.data() + m_order[pool[b]] * count;
                        if (TFileInfo::compareSignatures(own, other, m_table.count, m_bits,
                                                         m_matchRate)) {
                            ++degree[a];
                            ++degree[b];
                            if (!overflow.load(std::memory_order_relaxed)) {
                                if (kept.fetch_add(1, std::memory_order_relaxed) < budget)
                                    pairs.emplace_back(a, b);
                                else
                                    overflow = true;
                            }
                        }
                    }
                }
            }
        });
        if (halted || stopped(m_proceed))
            return false;
        for (std::size_t a = 0; a < size; ++a) {
            std::uint32_t confirmed = 0;
            for (const auto& d : degrees)
                confirmed += d[a];
            m_degrees[pool[a]] = confirmed;
        }
        m_links = {};
        if (!overflow) {
            // Each row's confirmed partners, as rows, side by side.
            m_links.first.assign(size + 1, 0);
            for (const auto& w : links)
                for (const auto& [a, b] : w) {
                    ++m_links.first[a + 1];
                    ++m_links.first[b + 1];
                }
            for (std::size_t a = 0; a < size; ++a)
                m_links.first[a + 1] += m_links.first[a];
            m_links.partners.resize(m_links.first[size]);
            std::vector<std::uint32_t> fill(m_links.first.begin(), m_links.first.end() - 1);
            for (auto& w : links) {
                for (const auto& [a, b] : w) {
                    m_links.partners[fill[a]++] = pool[b];
                    m_links.partners[fill[b]++] = pool[a];
                }
                w = {};
            }
            m_links.rows = std::move(pool);
            m_links.complete = true;
        }
        return true;
    }

    // The second pass on the confirmed pairs: references in order of the most
    // confirmed matches, then path, each taking its free partners.
    std::optional<std::vector<LookAlikeGroup>> formConfirmedGroups()
    {
        const std::vector<std::uint32_t>& rows = m_links.rows;
        std::vector<std::uint32_t> references;
        for (std::uint32_t a = 0; a < rows.size(); ++a)
            if (m_degrees[rows[a]] > 0)
                references.push_back(a);
        std::sort(references.begin(), references.end(), [&](std::uint32_t a, std::uint32_t b) {
            const std::uint32_t ra = rows[a];
            const std::uint32_t rb = rows[b];
            if (m_degrees[ra] != m_degrees[rb])
                return m_degrees[ra] > m_degrees[rb];
            const std::string& pa = m_table.paths[m_order[ra]];
            const std::string& pb = m_table.paths[m_order[rb]];
            if (pa != pb)
                return pa < pb;
            return m_order[ra] < m_order[rb];
        });
        std::vector<std::uint8_t> grouped(m_order.size(), 0);
        std::vector<LookAlikeGroup> groups;
        std::vector<std::uint32_t> members;
        for (std::size_t k = 0; k < references.size(); ++k) {
            if (k % 4096 == 0 && stopped(m_proceed))
                return std::nullopt;
            const std::uint32_t a = references[k];
            const std::uint32_t r = rows[a];
            if (grouped[r] != 0)
                continue;
            members.clear();
            for (std::uint32_t at = m_links.first[a]; at < m_links.first[a + 1]; ++at)
                if (grouped[m_links.partners[at]] == 0)
                    members.push_back(m_links.partners[at]);
            if (members.empty())
                continue;
            grouped[r] = 1;
            for (const std::uint32_t j : members)
                grouped[j] = 1;
            groups.push_back(makeGroup(r, members));
            add(m_progress != nullptr ? &m_progress->groups : nullptr, 1);
        }
        m_links = {};
        std::stable_sort(groups.begin(), groups.end(),
                         [](const LookAlikeGroup& a, const LookAlikeGroup& b) {
                             return a.members.size() > b.members.size();
                         });
        return groups;
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
                // A candidate the fingerprint rejects stays free for a later
                // reference, and a reference left without a member stays free.
                for (const std::uint32_t j : found[item])
                    if (j != r && grouped[j] == 0 && (oriented() || confirmed(r, j)))
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

    bool confirmed(std::uint32_t referenceRow, std::uint32_t row) const
    {
        return m_choices.fine == nullptr ||
               fineAccepts((*m_choices.fine)[m_order[referenceRow]],
                           (*m_choices.fine)[m_order[row]], m_choices.similarity);
    }

    // Whether table index a is the better copy to keep than b: a preferred
    // folder first, then the keep rule's facts, then the path.
    bool keptBefore(std::size_t a, std::size_t b, std::size_t rankA, std::size_t rankB) const
    {
        if (rankA != rankB)
            return rankA < rankB;
        if (m_choices.facts != nullptr && m_choices.keep != KeepRule::Path) {
            const SignatureTable::Facts& x = (*m_choices.facts)[a];
            const SignatureTable::Facts& y = (*m_choices.facts)[b];
            // Larger is better throughout; ~ turns the order of times round
            // (the oldest has the smallest) without overflowing.
            const auto rule = [&](const SignatureTable::Facts& f) {
                switch (m_choices.keep) {
                case KeepRule::Size:
                    return std::tuple(f.size, f.pixels, ~f.modifiedNs);
                case KeepRule::Oldest:
                    return std::tuple(~f.modifiedNs, f.pixels, f.size);
                case KeepRule::Newest:
                    return std::tuple(f.modifiedNs, f.pixels, f.size);
                case KeepRule::Pixels:
                case KeepRule::Path:
                    break;
                }
                return std::tuple(f.pixels, f.size, ~f.modifiedNs);
            };
            const auto ruleA = rule(x);
            const auto ruleB = rule(y);
            if (ruleA != ruleB)
                return ruleA > ruleB;
        }
        const std::string& pa = m_table.paths[a];
        const std::string& pb = m_table.paths[b];
        if (pa != pb)
            return pa < pb;
        return a < b;
    }

    // A round's references against the free rows, on every thread: each
    // one's matches among them in ascending order.
    void scanRound(const std::vector<std::uint32_t>& round, const SignatureMatrix::Subset& free,
                   std::vector<std::vector<std::uint32_t>>& found)
    {
        if (oriented()) {
            scanOrientedRound(round, free, found);
            return;
        }
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

    // The members are settled; the keep rule names the one that leads, and the
    // others are listed against it.
    LookAlikeGroup makeGroup(std::uint32_t referenceRow, const std::vector<std::uint32_t>& rows)
    {
        std::size_t leader = m_order[referenceRow];
        std::size_t leaderRank = preferenceRank(m_table.paths[leader], m_choices.preferred);
        for (const std::uint32_t row : rows) {
            const std::size_t index = m_order[row];
            const std::size_t rank = preferenceRank(m_table.paths[index], m_choices.preferred);
            if (keptBefore(index, leader, rank, leaderRank)) {
                leader = index;
                leaderRank = rank;
            }
        }
        LookAlikeGroup group;
        group.reference = leader;
        const auto count = static_cast<std::size_t>(m_table.count);
        const std::int16_t* reference = m_table.values.data() + leader * count;
        const auto list = [&](std::size_t index) {
            if (index == leader)
                return;
            if (oriented()) {
                group.members.push_back(orientedMember(leader, index));
                return;
            }
            const std::int16_t* member = m_table.values.data() + index * count;
            // At match rate 0 the comparison gives the rate itself, which may
            // lie below the match rate when another member took the lead.
            const auto rate =
                TFileInfo::compareSignatures(reference, member, m_table.count, m_bits, 0);
            const double likeness =
                m_choices.fine != nullptr
                    ? fineScore((*m_choices.fine)[leader], (*m_choices.fine)[index])
                    : TFileInfo::likeness(reference, member, m_table.count);
            group.members.push_back(
                LookAlikeMember{index, rate.value_or(0), likeness, Orientation::Upright});
        };
        list(m_order[referenceRow]);
        for (const std::uint32_t row : rows)
            list(m_order[row]);
        std::sort(group.members.begin(), group.members.end(),
                  [&](const LookAlikeMember& a, const LookAlikeMember& b) {
                      if (a.likeness != b.likeness)
                          return a.likeness > b.likeness;
                      if (a.rate != b.rate)
                          return a.rate > b.rate;
                      const std::string& pa = m_table.paths[a.index];
                      const std::string& pb = m_table.paths[b.index];
                      if (pa != pb)
                          return pa < pb;
                      return a.index < b.index;
                  });
        return group;
    }

    bool oriented() const { return !m_turned.empty(); }

    // Form k of rows a < b: row b's signature turned k against row a's.
    const SignatureMatrix& form(int k) const
    {
        return k == 0 ? m_matrix : m_turned[static_cast<std::size_t>(k - 1)];
    }

    // Whether the fingerprints let rows a < b match in form k, which their
    // colours do: row b's fingerprint turned k against row a's. A table
    // without turned fingerprints gives turned forms no say.
    bool formConfirmed(std::uint32_t a, std::uint32_t b, int k) const
    {
        if (m_choices.fine == nullptr)
            return true;
        const FineSignature& first = (*m_choices.fine)[m_order[a]];
        if (k == 0)
            return fineAccepts(first, (*m_choices.fine)[m_order[b]], m_choices.similarity);
        return m_choices.turnedFine != nullptr &&
               fineAccepts(first, turnedFingerprint(m_order[b], k), m_choices.similarity);
    }

    const FineSignature& turnedFingerprint(std::size_t index, int k) const
    {
        return (
            *m_choices.turnedFine)[index * (kOrientations - 1) + static_cast<std::size_t>(k - 1)];
    }

    // The first pass in the eight forms: the rows of a task against every
    // form of the rows after them, each matching form confirmed at once and
    // each pair counted once however many forms match. A task with more
    // colour matches than its room goes again row by row, where a form's
    // matches cannot pass the room of one row.
    bool countOrientedMatches()
    {
        const std::size_t n = m_order.size();
        const std::vector<std::uint32_t> ends = windowEnds();
        const auto workers = static_cast<std::size_t>(m_crew.size());
        std::vector<std::vector<std::uint32_t>> degrees(workers, std::vector<std::uint32_t>(n));
        std::vector<SignatureMatrix::MatchPairs> found(workers);
        const std::size_t room = roomOr(
            g_keptRoomForTesting,
            (m_choices.fine != nullptr ? kConfirmedPairsPerRow : kRememberedPairsPerRow) * n);
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
            std::vector<std::uint32_t> unused(n); // the kernels' counts of every form
            AlignedBytes widened(rowsPerTask * stride);
            SignatureMatrix::MatchPairs colour;
            std::vector<std::pair<std::uint32_t, std::uint32_t>> sure;
            // The confirmed pairs of rows first .. last - 1 in every form;
            // false when the colour matches overflowed their room.
            const auto collect = [&](const std::uint8_t* rows, std::size_t first, std::size_t last,
                                     std::size_t taskRoom, std::uint64_t* compared) {
                for (int k = 0; k < kOrientations; ++k) {
                    colour.values.clear();
                    colour.room = taskRoom;
                    colour.overflowed = false;
                    const std::uint64_t pairs = form(k).countBlock(
                        rows, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last),
                        ends.data(), unused.data(), unused.data(), &colour);
                    if (k == 0 && compared != nullptr)
                        *compared = pairs; // the sums pass the same pairs in every form
                    if (colour.overflowed)
                        return false;
                    for (std::size_t v = 0; v + 1 < colour.values.size(); v += 2)
                        if (formConfirmed(colour.values[v], colour.values[v + 1], k))
                            sure.emplace_back(colour.values[v], colour.values[v + 1]);
                }
                return true;
            };
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
                sure.clear();
                std::uint64_t compared = 0;
                if (!collect(widened.data(), first, last, roomOr(g_taskRoomForTesting, kTaskPairs),
                             &compared)) {
                    sure.clear();
                    for (std::size_t r = first; r < last; ++r)
                        collect(widened.data() + (r - first) * stride, r, r + 1, n, nullptr);
                }
                std::sort(sure.begin(), sure.end());
                sure.erase(std::unique(sure.begin(), sure.end()), sure.end());
                SignatureMatrix::MatchPairs& mine = found[static_cast<std::size_t>(worker)];
                for (const auto& [a, b] : sure) {
                    ++degree[a];
                    ++degree[b];
                    if (!forget) {
                        mine.values.push_back(a);
                        mine.values.push_back(b);
                    }
                }
                if (!forget && remembered.fetch_add(sure.size()) + sure.size() > room)
                    forget = true;
                if (forget && !mine.values.empty())
                    std::vector<std::uint32_t>().swap(mine.values);
                const std::uint64_t pairs = pairsOfRows(first, last, n);
                if (m_progress != nullptr) {
                    add(&m_progress->pairsCompared, compared);
                    add(&m_progress->pairsPruned, pairs - compared);
                }
            }
        });
        if (halted || stopped(m_proceed))
            return false;
        m_degrees = summed(degrees, n);
        m_confirmed = true;
        if (!forget)
            rememberPairs(found);
        return true;
    }

    // A round's references against the free rows in the eight forms: the
    // free rows after a reference turned against it, the reference turned
    // against those before it, as the first pass settled each pair.
    void scanOrientedRound(const std::vector<std::uint32_t>& round,
                           const SignatureMatrix::Subset& free,
                           std::vector<std::vector<std::uint32_t>>& found)
    {
        const std::size_t stride = m_matrix.rowBytes();
        const auto keys = free.sums.begin() + std::ptrdiff_t(kKeyChannel * free.rows.size());
        const auto keysEnd = keys + std::ptrdiff_t(free.rows.size());
        std::atomic<std::size_t> nextItem{0};
        m_crew.run([&](int) {
            AlignedBytes upright(stride);
            AlignedBytes turned(stride);
            std::vector<std::uint32_t> matches;
            for (;;) {
                const std::size_t item = nextItem.fetch_add(1, std::memory_order_relaxed);
                if (item >= round.size())
                    return;
                const std::uint32_t r = round[item];
                const auto from = std::lower_bound(keys, keysEnd, m_keys[r] - m_bound) - keys;
                const auto to = std::upper_bound(keys, keysEnd, m_keys[r] + m_bound) - keys;
                m_matrix.widen(r, upright.data());
                std::vector<std::uint32_t>& out = found[item];
                out.clear();
                matches.resize(static_cast<std::size_t>(to - from));
                std::uint64_t compared = 0;
                for (int k = 0; k < kOrientations; ++k) {
                    std::size_t got =
                        form(k).scanSubset(r, upright.data(), free, static_cast<std::size_t>(from),
                                           static_cast<std::size_t>(to), matches.data(), compared);
                    for (std::size_t m = 0; m < got; ++m)
                        if (matches[m] > r && formConfirmed(r, matches[m], k))
                            out.push_back(matches[m]);
                    form(k).widen(r, turned.data());
                    got =
                        m_matrix.scanSubset(r, turned.data(), free, static_cast<std::size_t>(from),
                                            static_cast<std::size_t>(to), matches.data(), compared);
                    for (std::size_t m = 0; m < got; ++m)
                        if (matches[m] < r && formConfirmed(matches[m], r, k))
                            out.push_back(matches[m]);
                }
                std::sort(out.begin(), out.end());
                out.erase(std::unique(out.begin(), out.end()), out.end());
            }
        });
    }

    LookAlikeMember orientedMember(std::size_t leader, std::size_t index) const
    {
        return comparedMember(m_table, leader, index, m_bits, m_choices.similarity, true);
    }

    const SignatureTable& m_table;
    std::int32_t m_bits;
    std::int32_t m_matchRate;
    Crew& m_crew;
    const std::atomic<bool>* m_proceed;
    GroupingProgress* m_progress;
    std::vector<std::uint32_t> m_order; // row -> table index, by key
    SignatureMatrix m_matrix;
    // With any orientation: forms 1 to 7 of every row.
    std::vector<SignatureMatrix> m_turned;
    std::vector<std::int32_t> m_keys; // the key channel's sum of each row
    std::int32_t m_bound = 0;
    std::vector<std::uint32_t> m_degrees;
    Choices m_choices;
    // The confirmed pairs: the partners of m_links.rows[a] (rows of the
    // matrix) lie at first[a] .. first[a + 1] - 1 in partners.
    struct Links {
        bool complete = false;
        std::vector<std::uint32_t> rows;
        std::vector<std::uint32_t> first;
        std::vector<std::uint32_t> partners;
    } m_links;
    // Each row's matches, rows r's from m_partnersStart[r], when remembered.
    bool m_remembered = false;
    // The first pass counted confirmed matches only (and remembered only those).
    bool m_confirmed = false;
    std::vector<std::size_t> m_partnersStart;
    std::vector<std::uint32_t> m_partners;
};

} // namespace

LookAlikeMember comparedMember(const SignatureTable& table, std::size_t reference,
                               std::size_t entry, std::int32_t bits, Similarity similarity,
                               bool anyOrientation)
{
    const auto count = static_cast<std::size_t>(std::max(table.count, 0));
    const std::size_t n = table.paths.size();
    const bool fine = table.fine.size() == n;
    const std::int32_t side = gridSide(table.count);
    const bool turns =
        anyOrientation && side > 0 && (!fine || table.turnedFine.size() == n * (kOrientations - 1));
    const std::int16_t* a = table.values.data() + reference * count;
    const std::int16_t* b = table.values.data() + entry * count;
    if (!turns) {
        const auto rate = TFileInfo::compareSignatures(a, b, table.count, bits, 0);
        return {entry, rate.value_or(0),
                fine ? fineScore(table.fine[reference], table.fine[entry])
                     : TFileInfo::likeness(a, b, table.count),
                Orientation::Upright};
    }
    // The pair as the grouping settles it: the later of the two in the order
    // of the grouping's rows (by the key channel's sum, then table position)
    // turned against the earlier.
    const auto key = [&](const std::int16_t* values) {
        return SignatureMatrix::channelSums(values, table.count, bits)[kKeyChannel];
    };
    const bool referenceFirst = std::pair(key(a), reference) < std::pair(key(b), entry);
    const std::size_t earlier = referenceFirst ? reference : entry;
    const std::size_t later = referenceFirst ? entry : reference;
    const std::int16_t* upright = table.values.data() + earlier * count;
    LookAlikeMember best{entry, -1, 0.0, Orientation::Upright};
    bool bestConfirmed = false;
    for (int k = 0; k < kOrientations; ++k) {
        const auto orientation = static_cast<Orientation>(k);
        const std::vector<std::int16_t> turned =
            orientGrid(table.values.data() + later * count, side, orientation);
        const FineSignature* form =
            !fine    ? nullptr
            : k == 0 ? &table.fine[later]
                     : &table.turnedFine[later * (kOrientations - 1) + std::size_t(k - 1)];
        const bool sure = form == nullptr || fineAccepts(table.fine[earlier], *form, similarity);
        const std::int32_t rate =
            TFileInfo::compareSignatures(upright, turned.data(), table.count, bits, 0).value_or(0);
        // The reference turned k is the member where it is the earlier row.
        const Orientation seen = referenceFirst ? undone(orientation) : orientation;
        // Upright, the first in the enum's order, wins among equals.
        const bool better = (sure && !bestConfirmed) ||
                            (sure == bestConfirmed &&
                             (rate > best.rate || (rate == best.rate && seen < best.orientation)));
        if (!better)
            continue;
        bestConfirmed = sure;
        best.rate = rate;
        best.orientation = seen;
        best.likeness = form != nullptr ? fineScore(table.fine[earlier], *form)
                                        : TFileInfo::likeness(upright, turned.data(), table.count);
    }
    best.rate = std::max(best.rate, 0);
    return best;
}

// The rank of the first preferred folder that holds the path (at a '/'
// boundary, so "/a/b" does not hold "/a/bc/x.jpg"); folders.size() for none.
std::size_t preferenceRank(const std::string& path, const std::vector<std::string>& folders)
{
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string& folder = folders[i];
        if (path.size() > folder.size() && path.starts_with(folder) &&
            (folder.back() == '/' || path[folder.size()] == '/'))
            return i;
    }
    return folders.size();
}

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

void setGroupingRoomForTesting(std::size_t taskPairs, std::size_t keptPairs)
{
    g_taskRoomForTesting = taskPairs;
    g_keptRoomForTesting = keptPairs;
}

GroupingMemory lookAlikeGroupingMemory(std::size_t n, std::int32_t count, std::int32_t bits,
                                       int threads, bool anyOrientation)
{
    // Per row throughout: the widened row, its three sums, its place in the
    // order, its key and its match count; in eight forms with their sums,
    // the row's place by table index and a signature turned while they are made.
    const auto blocks = (static_cast<std::int64_t>(std::max(count, 0)) + 63) / 64;
    const std::int64_t forms = anyOrientation ? kOrientations : 1;
    const std::int64_t kept = forms * (blocks * 64 * 3 * (bits == 4 ? 2 : 1) + 3 * 4) + 4 + 4 + 4 +
                              (anyOrientation ? 4 + 2 * std::int64_t{std::max(count, 0)} : 0);
    // The first pass: the window ends and two match counts per thread (all
    // and confirmed).
    const std::int64_t counting = 4 + 8 * std::int64_t{std::clamp(threads, 1, 256)};
    // The pairs it remembers when they are few (each thread may fill the room
    // once), and the matches of each row they become.
    const auto room = static_cast<std::int64_t>(kConfirmedPairsPerRow);
    const std::int64_t remembering =
        8 * room * std::int64_t{std::clamp(threads, 1, 256)} + 8 + 8 + 8 * room;
    // The second pass: the references, the free rows with their sums (twice
    // while they are compacted), the grouped marks and a member per row.
    const std::int64_t forming = 4 + 2 * (4 + 3 * 4) + 1 + std::int64_t{sizeof(LookAlikeMember)};
    // Confirming by fingerprints: the rows with a match with their sums and
    // fingerprints, per thread a confirmed count and the window of one row,
    // and the confirmed pairs kept, twice while they are laid out by row.
    const auto links = static_cast<std::int64_t>(kLinksPerRow);
    const std::int64_t confirming = 4 + (4 + 3 * 4) + std::int64_t{sizeof(FineSignature)} +
                                    8 * std::int64_t{std::clamp(threads, 1, 256)} + links * 8 + 4 +
                                    links * 2 * 4 + 4;
    const std::int64_t formingConfirmed =
        4 + 4 + links * 2 * 4 + 4 + 1 + std::int64_t{sizeof(LookAlikeMember)};
    const auto rows = static_cast<std::int64_t>(n);
    return {rows * (kept + counting), rows * (kept + std::max({counting + remembering, confirming,
                                                               forming, formingConfirmed}))};
}

namespace {

// The table's fingerprints and facts are weighed only with `weighTable`.
std::optional<std::vector<LookAlikeGroup>>
groupTable(const SignatureTable& table, const GroupingRequest& request, bool weighTable,
           const std::atomic<bool>* proceed, GroupingProgress* progress,
           SignatureMatrix::Kernel kernel)
{
    const std::size_t n = table.paths.size();
    const auto count = static_cast<std::size_t>(std::max(table.count, 0));
    const bool consistent = table.count >= 0 && (count == 0 ? table.values.empty()
                                                            : table.values.size() % count == 0 &&
                                                                  table.values.size() / count == n);
    if (!consistent || n >= std::numeric_limits<std::uint32_t>::max())
        throw std::invalid_argument("signature table: values do not match the paths");
    if (weighTable &&
        ((!table.fine.empty() && table.fine.size() != n) ||
         (!table.facts.empty() && table.facts.size() != n) ||
         (!table.turnedFine.empty() &&
          (table.fine.empty() || table.turnedFine.size() != n * (kOrientations - 1)))))
        throw std::invalid_argument(
            "signature table: fingerprints or facts do not match the paths");
    Choices choices;
    if (weighTable) {
        choices.fine = table.fine.empty() ? nullptr : &table.fine;
        choices.facts = table.facts.empty() ? nullptr : &table.facts;
        if (request.anyOrientation && choices.fine != nullptr && !table.turnedFine.empty())
            choices.turnedFine = &table.turnedFine;
    }
    choices.similarity = request.similarity;
    choices.keep = request.keep;
    for (std::string folder : request.preferred) {
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (!folder.empty())
            choices.preferred.push_back(std::move(folder));
    }
    Crew crew(threadCount(request.jobs));
    Grouping grouping(table, request.bits, request.matchRate, kernel, crew, proceed, progress);
    // Without turned fingerprints beside the upright ones a turned form could
    // only pass on colour alone; the upright relation is left as it is.
    const bool turn =
        request.anyOrientation && (choices.fine == nullptr || choices.turnedFine != nullptr);
    grouping.choose(std::move(choices));
    if (turn)
        grouping.turnAll(kernel);
    return grouping.run();
}

} // namespace

std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed, GroupingProgress* progress,
                    SignatureMatrix::Kernel kernel)
{
    GroupingRequest request;
    request.bits = bits;
    request.matchRate = matchRate;
    request.jobs = jobs;
    return groupTable(table, request, false, proceed, progress, kernel);
}

std::optional<std::vector<LookAlikeGroup>> findLookAlikeGroups(const SignatureTable& table,
                                                               const GroupingRequest& request,
                                                               const std::atomic<bool>* proceed,
                                                               GroupingProgress* progress,
                                                               SignatureMatrix::Kernel kernel)
{
    return groupTable(table, request, true, proceed, progress, kernel);
}

std::optional<std::vector<LookAlikeGroup>>
findLookAlikeGroups(const SignatureTable& table, std::int32_t bits, std::int32_t matchRate,
                    int jobs, const std::atomic<bool>* proceed, GroupingProgress* progress)
{
    return findLookAlikeGroups(table, bits, matchRate, jobs, proceed, progress,
                               SignatureMatrix::bestKernel());
}

} // namespace ovrin
