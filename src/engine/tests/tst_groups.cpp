#include "engine/LookAlikeGroups.h"
#include "engine/tests/EngineTestSupport.h"
#include "signature/TFileInfo.h"

#include <random>
#include <regex>

using namespace ovrin;
using Kernel = SignatureMatrix::Kernel;

namespace {

std::vector<Kernel> kernels()
{
    std::vector<Kernel> result;
    for (const Kernel k : {Kernel::Portable, Kernel::Avx2, Kernel::Avx512})
        if (SignatureMatrix::supports(k))
            result.push_back(k);
    return result;
}

// Groups as text, one line per group: "reference: member/rate/likeness ...".
std::vector<std::string> describe(const SignatureTable& table,
                                  const std::vector<LookAlikeGroup>& groups)
{
    std::vector<std::string> lines;
    for (const LookAlikeGroup& g : groups) {
        std::string line = table.paths[g.reference] + ":";
        for (const LookAlikeMember& m : g.members) {
            char likeness[32];
            std::snprintf(likeness, sizeof likeness, "%.6f", m.likeness);
            line += " " + table.paths[m.index] + "/" + std::to_string(m.rate) + "/" + likeness;
        }
        lines.push_back(line);
    }
    return lines;
}

// The definition, pair by pair with the comparison of single signatures.
std::vector<LookAlikeGroup> straightforward(const SignatureTable& t, int bits, int matchRate)
{
    const std::size_t n = t.paths.size();
    const auto at = [&](std::size_t i) { return t.values.data() + i * std::size_t(t.count); };
    std::vector<std::vector<bool>> like(n, std::vector<bool>(n));
    std::vector<int> degree(n);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            const auto ab = TFileInfo::compareSignatures(at(a), at(b), t.count, bits, matchRate);
            // The grouping relies on the comparison being symmetric; a share
            // of the pairs is enough to catch it if it ever is not.
            if ((a + b) % 5 == 0 &&
                ab != TFileInfo::compareSignatures(at(b), at(a), t.count, bits, matchRate))
                qFatal("the comparison is not symmetric");
            like[a][b] = like[b][a] = ab.has_value();
            degree[a] += ab.has_value();
            degree[b] += ab.has_value();
        }
    }
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(degree[b], t.paths[a], a) < std::tie(degree[a], t.paths[b], b);
    });
    std::vector<bool> grouped(n);
    std::vector<LookAlikeGroup> groups;
    for (const std::size_t r : order) {
        if (grouped[r])
            continue;
        LookAlikeGroup g{r, {}};
        for (std::size_t j = 0; j < n; ++j)
            if (j != r && !grouped[j] && like[r][j])
                g.members.push_back(
                    {j, *TFileInfo::compareSignatures(at(r), at(j), t.count, bits, matchRate),
                     TFileInfo::likeness(at(r), at(j), t.count)});
        if (g.members.empty())
            continue;
        grouped[r] = true;
        for (const auto& m : g.members)
            grouped[m.index] = true;
        std::sort(g.members.begin(), g.members.end(), [&](const auto& x, const auto& y) {
            return std::tie(y.rate, y.likeness, t.paths[x.index]) <
                   std::tie(x.rate, x.likeness, t.paths[y.index]);
        });
        groups.push_back(std::move(g));
    }
    std::stable_sort(groups.begin(), groups.end(), [](const auto& x, const auto& y) {
        return x.members.size() > y.members.size();
    });
    return groups;
}

// Sets of six copies of a random signature, each copy with a share of its
// pixels moved by a few steps in one channel, so that every setting has
// groups, ties and pairs just either side of the pardon.
SignatureTable randomTable(std::size_t n, std::int32_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    SignatureTable t;
    t.count = count;
    std::vector<std::int16_t> base(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 6 == 0)
            for (auto& v : base)
                v = static_cast<std::int16_t>(random() & 0xFFFF);  // bits 12-15 set too
        const auto share = static_cast<unsigned>(2 + 4 * (i % 7)); // in 32nds
        for (std::int16_t v : base) {
            if (random() % 32 < share) {
                const auto shift = static_cast<unsigned>(4 * (random() % 3));
                const int steps[] = {-8, -3, -2, -1, 1, 2, 3, 8};
                const int channel = std::clamp(((v >> shift) & 15) + steps[random() % 8], 0, 15);
                v = static_cast<std::int16_t>((v & ~(15 << shift)) | (channel << shift));
            }
            t.values.push_back(v);
        }
        t.paths.push_back(std::string("p")
                              .append(std::to_string(random() % 1000))
                              .append("-")
                              .append(std::to_string(i)));
    }
    return t;
}

// Two signatures that match with their channel sums as far apart as a match
// allows: the pardon's worth of pixels (the last among them; none for a pardon
// of zero) at opposite ends of every channel, the others one step apart.
void addEdgeOfSumBound(SignatureTable& t, int bits, int matchRate)
{
    const int b = bits & 63;
    const int pardon = t.count * (100 - matchRate) / 100;
    if (b < 1 || b > 4 || pardon < 0 || pardon > t.count)
        return;
    const int step = 1 << (4 - b);
    for (int p = 0; p < t.count; ++p)
        t.values.push_back(0);
    for (int p = 0; p < t.count; ++p) {
        const bool far = p < pardon - 1 || (pardon > 0 && p == t.count - 1);
        t.values.push_back(static_cast<std::int16_t>(far ? 0x0FFF : step * 0x111));
    }
    t.paths.insert(t.paths.end(), {"edge-a", "edge-b"});
}

// A signature of four pixels, a pixel red where its bit is set: at bits 3 and
// match rate 50 (pardon 2), two pictures match when at most one of their
// first three pixels differs.
void addPicture(SignatureTable& t, const std::string& path, unsigned bitsSet, int blue = 0)
{
    for (unsigned p = 0; p < 4; ++p)
        t.values.push_back(static_cast<std::int16_t>(((bitsSet >> p) & 1) ? 0x0F00 | blue : blue));
    t.paths.push_back(path);
}

using Pictures = QList<QPair<QByteArray, int>>; // path, red pixels

} // namespace

class TestGroups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsTheRules_data()
    {
        QTest::addColumn<Pictures>("pictures");
        QTest::addColumn<QByteArrayList>("expected"); // likeness left out
        using P = QPair<QByteArray, int>;
        // a matches b, d and e; c matches b and e only: no chaining brings it in.
        QTest::newRow("no chaining") << QList<P>{{"a", 0}, {"b", 1}, {"c", 3}, {"d", 4}, {"e", 2}}
                                     << QByteArrayList{"a: b/75 d/75 e/75"};
        // Equal matches: the first path in byte order is the reference; the
        // last pixel never rejects but lowers the rate.
        QTest::newRow("tie by path") << QList<P>{{"\xC3\xA9t\xC3\xA9", 0}, {"Z", 8}, {"z", 0}}
                                     << QByteArrayList{"Z: z/75 \xC3\xA9t\xC3\xA9/75"};
        // Larger groups first; then members by rate.
        QTest::newRow("order") << QList<P>{{"x1", 7}, {"x2", 7}, {"y1", 0},
                                           {"y2", 8}, {"y3", 1}, {"y4", 0}}
                               << QByteArrayList{"y1: y4/100 y2/75 y3/75", "x1: x2/100"};
        QTest::newRow("alone") << QList<P>{{"a", 0}, {"b", 3}} << QByteArrayList{};
    }
    void followsTheRules()
    {
        QFETCH(Pictures, pictures);
        QFETCH(QByteArrayList, expected);
        SignatureTable table;
        table.count = 4;
        for (const auto& [path, red] : std::as_const(pictures))
            addPicture(table, path.toStdString(), static_cast<unsigned>(red));
        for (const Kernel k : kernels()) {
            for (const int jobs : {1, 2, 8}) {
                const auto groups = findLookAlikeGroups(table, 3, 50, jobs, nullptr, nullptr, k);
                QVERIFY(groups);
                QByteArrayList got;
                for (const std::string& line : describe(table, *groups))
                    got << QByteArray::fromStdString(
                        std::regex_replace(line, std::regex("/[0-9.]+(?= |$)"), ""));
                QCOMPARE(got, expected);
            }
        }
    }

    void likenessBreaksTiesOfRate()
    {
        // Blue one and three levels from the reference's: both within one step.
        SignatureTable table;
        table.count = 4;
        addPicture(table, "a", 0);
        addPicture(table, "b-far", 0, 3);
        addPicture(table, "c-near", 0, 1);
        const auto groups = findLookAlikeGroups(table, 3, 50, 1);
        QVERIFY(groups && groups->size() == 1);
        const auto& members = (*groups)[0].members;
        QCOMPARE(table.paths[(*groups)[0].reference] + table.paths[members[0].index] +
                     table.paths[members[1].index],
                 std::string("ac-nearb-far"));
        QVERIFY(members[0].rate == 100 && members[1].rate == 100);
        QCOMPARE(members[1].likeness,
                 TFileInfo::likeness(table.values.data(), table.values.data() + 4, 4));
    }

    void matchesTheStraightforwardDefinition_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pixelNumber");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("matchRate");
        // The default setting on a few thousand signatures; the others, the
        // bits that keep nothing and the match rates at and past both ends on
        // fewer. Pixel numbers 9 and 12 take more than one block of 64. A
        // match rate of 99 leaves a pardon of zero below 100 pixels.
        const int settings[][4] = {
            {3000, 8, 3, 70}, {600, 8, 4, 80},  {600, 8, 2, 60},   {600, 8, 1, 90},
            {600, 8, 0, 70},  {600, 8, 5, 70},  {600, 8, -60, 85}, {600, 8, 3, 0},
            {600, 8, 3, 100}, {600, 8, 3, 99},  {600, 8, 0, 100},  {600, 1, 3, 100},
            {600, 1, 4, 99},  {600, 8, 3, -20}, {500, 9, 3, 75},   {500, 9, 3, 99},
            {400, 12, 4, 85}, {400, 12, 4, 99}, {400, 12, 2, 100}, {300, 8, 3, 101}};
        for (const auto& s : settings)
            QTest::addRow("n %d N %d bits %d rate %d", s[0], s[1], s[2], s[3])
                << s[0] << s[1] << s[2] << s[3];
    }
    void matchesTheStraightforwardDefinition()
    {
        QFETCH(int, count);
        QFETCH(int, pixelNumber);
        QFETCH(int, bits);
        QFETCH(int, matchRate);
        const auto n = static_cast<std::size_t>(count);
        SignatureTable table = randomTable(n, pixelNumber * pixelNumber, 7u + unsigned(bits));
        addEdgeOfSumBound(table, bits, matchRate);
        const auto expected = describe(table, straightforward(table, bits, matchRate));
        QCOMPARE(expected.empty(), matchRate > 100); // every reachable rate has look-alikes
        for (const Kernel k : kernels()) {
            GroupingProgress progress;
            const auto groups =
                findLookAlikeGroups(table, bits, matchRate, 2, nullptr, &progress, k);
            QVERIFY(groups);
            QCOMPARE(describe(table, *groups), expected);
            QCOMPARE(progress.pairsCompared + progress.pairsPruned, progress.pairsTotal.load());
            QCOMPARE(progress.groups.load(), std::uint64_t(groups->size()));
        }
    }

    void stopsAndRefusesBadTables()
    {
        SignatureTable table = randomTable(300, 64, 3);
        const std::atomic<bool> proceed{false};
        QVERIFY(!findLookAlikeGroups(table, 3, 70, 2, &proceed));
        SignatureTable broken = table;
        broken.paths.pop_back();
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, findLookAlikeGroups(broken, 3, 70, 1));
    }
};

QObject* makeGroupsTests()
{
    return new TestGroups;
}

#include "tst_groups.moc"
