#include "engine/LookAlikeGroups.h"
#include "engine/tests/EngineTestSupport.h"
#include "signature/TFileInfo.h"

#include <cmath>
#include <random>

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

// Groups as text, one line per group: "reference: member/rate/likeness ...",
// or without the likeness.
std::vector<std::string> describe(const SignatureTable& table,
                                  const std::vector<LookAlikeGroup>& groups, bool likeness = true)
{
    std::vector<std::string> lines;
    for (const LookAlikeGroup& g : groups) {
        std::string line = table.paths[g.reference] + ":";
        for (const LookAlikeMember& m : g.members) {
            char text[32];
            std::snprintf(text, sizeof text, "/%.6f", m.likeness);
            line += " " + table.paths[m.index] + "/" + std::to_string(m.rate) +
                    (likeness ? text : "") +
                    (m.orientation == Orientation::Upright
                         ? ""
                         : "@" + std::to_string(static_cast<int>(m.orientation)));
        }
        lines.push_back(line);
    }
    return lines;
}

// A luminance grid of soft bright and dark blobs, one structure per seed: any
// fingerprint of structure tells two seeds apart and takes a seed for itself.
std::vector<std::uint8_t> shapeGrid(unsigned seed)
{
    constexpr int side = FineSignature::kGridSide;
    std::mt19937 random(seed);
    const auto draw = [&](unsigned below) { return double(random() % below); };
    std::vector<double> field(side * side, 128.0);
    for (int blob = 0; blob < 6; ++blob) {
        const double cx = draw(side);
        const double cy = draw(side);
        const double radius = 3.0 + draw(6);
        const double height = (draw(2) != 0 ? 1.0 : -1.0) * (50.0 + draw(40));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                field[std::size_t(y) * std::size_t(side) + std::size_t(x)] +=
                    height * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) /
                                      (2.0 * radius * radius));
    }
    std::vector<std::uint8_t> grid;
    grid.reserve(field.size());
    for (const double level : field)
        grid.push_back(static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0)));
    return grid;
}

FineSignature shape(unsigned seed)
{
    return FineSignature::fromLuminance(shapeGrid(seed).data(), 640, 480);
}

// The fingerprint of a 640 x 480 picture of a shape turned `form`, and with
// `turned` its seven turned fingerprints, added to the table.
void addShape(SignatureTable& t, unsigned seed, int form, bool turned)
{
    const auto grid = orientGrid(shapeGrid(seed).data(), FineSignature::kGridSide,
                                 static_cast<Orientation>(form));
    const bool across = form % 2 == 1;
    t.fine.push_back(
        FineSignature::fromLuminance(grid.data(), across ? 480 : 640, across ? 640 : 480));
    for (int k = 1; turned && k < kOrientations; ++k) {
        const bool swap = across != (k % 2 == 1);
        t.turnedFine.push_back(FineSignature::fromLuminance(
            orientGrid(grid.data(), FineSignature::kGridSide, static_cast<Orientation>(k)).data(),
            swap ? 480 : 640, swap ? 640 : 480));
    }
}

Orientation undone(int k)
{
    return static_cast<Orientation>(k >= 4 ? k : (4 - k) % 4);
}

// The definition, pair by pair with the comparison of single signatures and,
// where the table holds them, the fingerprints; the path picks the reference.
// With any orientation, a pair matches in the first form that the colours
// and fingerprints let through: the signature and fingerprint of the later of
// the two in the order of green sums (then table position) turned that way.
std::vector<LookAlikeGroup> straightforward(const SignatureTable& t, int bits, int matchRate,
                                            Similarity similarity = Similarity::Normal,
                                            bool anyOrientation = false)
{
    const std::size_t n = t.paths.size();
    const auto at = [&](std::size_t i) { return t.values.data() + i * std::size_t(t.count); };
    const std::int32_t side = gridSide(t.count);
    const bool turns = anyOrientation && side > 0 && (t.fine.empty() || !t.turnedFine.empty());
    std::vector<std::int32_t> green(n);
    for (std::size_t i = 0; i < n; ++i)
        green[i] = SignatureMatrix::channelSums(at(i), t.count, bits)[1];
    // The pair as the grouping settles it; for each form its rate and
    // whether the fingerprints accept it, the member's form as the reference
    // turned.
    struct Form {
        Orientation seen;
        std::int32_t rate;
        bool accepted; // by the fingerprints
        bool matches;  // and by the colours at the match rate
        double likeness;
    };
    const auto forms = [&](std::size_t lead, std::size_t j) {
        const bool leadFirst = std::tie(green[lead], lead) < std::tie(green[j], j);
        const std::size_t e = leadFirst ? lead : j;
        const std::size_t l = leadFirst ? j : lead;
        std::vector<Form> out;
        for (int k = 0; k < (turns ? kOrientations : 1); ++k) {
            const auto turned = orientGrid(at(l), std::max(side, 1), Orientation(k));
            const std::int16_t* other = side > 0 ? turned.data() : at(l);
            const FineSignature* fine = t.fine.empty() ? nullptr
                                        : k == 0       ? &t.fine[l]
                                                       : &t.turnedFine[l * 7 + k - 1];
            const bool accepted = !fine || fineAccepts(t.fine[e], *fine, similarity);
            out.push_back(
                {leadFirst ? undone(k) : Orientation(k),
                 TFileInfo::compareSignatures(at(e), other, t.count, bits, 0).value_or(0), accepted,
                 accepted && TFileInfo::compareSignatures(at(e), other, t.count, bits, matchRate),
                 fine ? fineScore(t.fine[e], *fine) : TFileInfo::likeness(at(e), other, t.count)});
        }
        return out;
    };
    std::vector<std::vector<bool>> like(n, std::vector<bool>(n));
    std::vector<int> degree(n);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            if (turns) {
                bool any = false;
                for (const Form& f : forms(a, b))
                    any = any || f.matches;
                like[a][b] = like[b][a] = any;
                degree[a] += any;
                degree[b] += any;
                continue;
            }
            const auto ab = TFileInfo::compareSignatures(at(a), at(b), t.count, bits, matchRate);
            // The grouping relies on the comparison being symmetric; a share
            // of the pairs is enough to catch it if it ever is not.
            if ((a + b) % 5 == 0 &&
                ab != TFileInfo::compareSignatures(at(b), at(a), t.count, bits, matchRate))
                qFatal("the comparison is not symmetric");
            const bool confirmed =
                ab && (t.fine.empty() || fineAccepts(t.fine[a], t.fine[b], similarity));
            like[a][b] = like[b][a] = confirmed;
            degree[a] += confirmed;
            degree[b] += confirmed;
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
        std::vector<std::size_t> all{r};
        for (std::size_t j = 0; j < n; ++j)
            if (j != r && !grouped[j] && like[r][j])
                all.push_back(j);
        if (all.size() == 1)
            continue;
        const std::size_t lead = *std::min_element(
            all.begin(), all.end(), [&](auto x, auto y) { return t.paths[x] < t.paths[y]; });
        LookAlikeGroup g{lead, {}};
        for (const std::size_t j : all) {
            grouped[j] = true;
            if (j != lead && turns) {
                // The best form the fingerprints accept (any where none
                // does), upright and then the enum's order among equals.
                const std::vector<Form> each = forms(lead, j);
                const bool anyAccepted =
                    std::any_of(each.begin(), each.end(), [](const Form& f) { return f.accepted; });
                const Form* best = nullptr;
                for (const Form& f : each)
                    if ((f.accepted || !anyAccepted) &&
                        (!best || std::tie(f.rate, best->seen) > std::tie(best->rate, f.seen)))
                        best = &f;
                g.members.push_back({j, best->rate, best->likeness, best->seen});
            }
            if (j != lead && !turns)
                g.members.push_back(
                    {j, TFileInfo::compareSignatures(at(lead), at(j), t.count, bits, 0).value_or(0),
                     t.fine.empty() ? TFileInfo::likeness(at(lead), at(j), t.count)
                                    : fineScore(t.fine[lead], t.fine[j]),
                     Orientation::Upright});
        }
        std::sort(g.members.begin(), g.members.end(), [&](const auto& x, const auto& y) {
            return std::tie(y.likeness, y.rate, t.paths[x.index], x.index) <
                   std::tie(x.likeness, x.rate, t.paths[y.index], y.index);
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
        t.paths.push_back("p" + std::to_string(random() % 1000) + "-" + std::to_string(i));
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

// Turned copies of the first of every set, appended: {source, form} each.
std::vector<std::pair<std::size_t, int>> addTurnedCopies(SignatureTable& t)
{
    const auto count = static_cast<std::size_t>(t.count);
    const std::size_t n = t.paths.size();
    std::vector<std::pair<std::size_t, int>> copies;
    for (std::size_t i = 0; i < n; i += 6) {
        const int k = 1 + static_cast<int>(i / 6 % 7);
        const auto turned =
            orientGrid(t.values.data() + i * count, gridSide(t.count), static_cast<Orientation>(k));
        t.values.insert(t.values.end(), turned.begin(), turned.end());
        t.paths.push_back("t" + std::to_string(i));
        copies.emplace_back(i, k);
    }
    return copies;
}

// Fingerprints for a random table: most copies of a set share its structure,
// the others have one of their own; turned copies (the last rows) their
// source's turned, and with `turned` every row's turned fingerprints too.
void addShapes(SignatureTable& t, std::uint32_t seed,
               const std::vector<std::pair<std::size_t, int>>& copies = {}, bool turned = false)
{
    std::mt19937 random(seed);
    unsigned set = 0;
    std::vector<unsigned> seeds;
    const std::size_t plain = t.paths.size() - copies.size();
    for (std::size_t i = 0; i < t.paths.size(); ++i) {
        if (i % 6 == 0)
            set = unsigned(random());
        const int form = i < plain ? 0 : copies[i - plain].second;
        seeds.push_back(i < plain ? (random() % 3 == 0 ? unsigned(random()) : set)
                                  : seeds[copies[i - plain].first]);
        addShape(t, seeds.back(), form, turned);
    }
}

// A picture as "path colour [structure] [pixels size modified]". Its eight
// pixels are red where the bit of `colour` is set, black elsewhere, a value
// after '+' added to their blue: at bits 3 and match rate 75 (pardon 2), two
// pictures match when at most one of their first seven pixels differs
// (rate 87), the eighth lowering the rate but never rejecting. Pictures of
// the same structure letter have the same luminance grid, of different
// letters different ones. All pictures of a table name the same fields.
SignatureTable tableOf(const QByteArrayList& pictures)
{
    SignatureTable t;
    t.count = 8;
    const auto named = pictures.isEmpty() ? 2 : pictures[0].count(' ') + 1;
    for (const QByteArray& picture : pictures) {
        const QByteArrayList fields = picture.split(' ');
        t.paths.push_back(fields[0].toStdString());
        const QByteArrayList colour = fields[1].split('+');
        const unsigned red = colour[0].toUInt();
        const int blue = colour.size() > 1 ? colour[1].toInt() : 0;
        for (unsigned p = 0; p < 8; ++p)
            t.values.push_back(static_cast<std::int16_t>(((red >> p) & 1) ? 0x0F00 | blue : blue));
        if (named == 3 || named == 6)
            t.fine.push_back(shape(static_cast<unsigned char>(fields[2][0])));
        if (named >= 5)
            t.facts.push_back({fields[named - 3].toLongLong(), fields[named - 2].toLongLong(),
                               fields[named - 1].toLongLong()});
    }
    return t;
}

} // namespace

class TestGroups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsTheRules_data()
    {
        QTest::addColumn<QByteArrayList>("pictures");
        QTest::addColumn<QByteArrayList>("expected"); // likeness left out
        const auto row = [](const char* name, const QByteArrayList& pictures,
                            const QByteArrayList& expected) {
            QTest::newRow(name) << pictures << expected;
        };
        // a matches b, d and e; c matches b and e only: no chaining brings it in.
        row("no chaining", {"a 0", "b 1", "c 3", "d 4", "e 2"}, {"a: b/87 d/87 e/87"});
        // Equal matches and likeness: the rate, then the path in byte order.
        row("tie by path", {"\xC3\xA9t\xC3\xA9 128", "Z 0", "z 128", "y 0"},
            {"Z: y/100 z/87 \xC3\xA9t\xC3\xA9/87"});
        // Larger groups first.
        row("order", {"x1 7", "x2 7", "y1 0", "y2 128", "y3 1"}, {"y1: y2/87 y3/87", "x1: x2/100"});
        // Likeness before rate: b differs in one pixel by a whole channel,
        // c in every pixel by three levels of blue.
        row("likeness first", {"a 0", "b 1", "c 0+3"}, {"a: b/87 c/100"});
        row("alone", {"a 0", "b 3"}, {});
        // The same colours in another structure are no copy.
        row("structure keeps apart", {"a 0 S", "b 0 T", "c 1 T"}, {"b: c/87"});
        // k1 leads by path; m1 matches it in colour only and stays free for m2.
        row("rejected stays free", {"k1 0 S", "k2 1 S", "m1 2 T", "m2 6 T"},
            {"k1: k2/87", "m1: m2/87"});
        // dark matches every x in colour alone; p1, which it confirms with
        // p2, leads and keeps the three together (p2 does not match dark in
        // colour: its rate against it is below the match rate).
        row("confirmed matches lead",
            {"dark 0 S", "x1 1 T", "x2 2 U", "x3 4 V", "x4 8 W", "p1 16 S", "p2 48 S"},
            {"dark: p1/87 p2/75"});
    }
    void followsTheRules()
    {
        QFETCH(QByteArrayList, pictures);
        QFETCH(QByteArrayList, expected);
        const SignatureTable table = tableOf(pictures);
        GroupingRequest request;
        request.matchRate = 75;
        groupsAre(table, request, {1, 2, 8}, expected);
    }

    // The same groups with every kernel and each number of threads.
    static void groupsAre(const SignatureTable& table, GroupingRequest request,
                          std::initializer_list<int> threads, const QByteArrayList& expected)
    {
        for (const Kernel k : kernels()) {
            for (const int jobs : threads) {
                request.jobs = jobs;
                const auto groups = findLookAlikeGroups(table, request, nullptr, nullptr, k);
                QVERIFY(groups);
                QByteArrayList got;
                for (const std::string& line : describe(table, *groups, false))
                    got << QByteArray::fromStdString(line);
                QCOMPARE(got, expected);
            }
        }
    }

    // A picture, its copy turned by 90°, its mirrored copy and a stranger of
    // its colours turned by 180° but another structure.
    void findsTurnedCopies_data()
    {
        QTest::addColumn<bool>("any");
        QTest::addColumn<int>("fine"); // 0 none, 1 upright ones, 2 turned ones too
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("off") << false << 2 << QByteArrayList{};
        QTest::newRow("off, colour alone") << false << 0 << QByteArrayList{};
        QTest::newRow("colour alone") << true << 0 << QByteArrayList{"a: b/100@1 c/100@4 s/100@2"};
        QTest::newRow("fingerprints") << true << 2 << QByteArrayList{"a: b/100@1 c/100@4"};
        QTest::newRow("no turned fingerprints") << true << 1 << QByteArrayList{};
    }
    void findsTurnedCopies()
    {
        QFETCH(bool, any);
        QFETCH(int, fine);
        QFETCH(QByteArrayList, expected);
        std::mt19937 random(5);
        std::vector<std::int16_t> a(64);
        for (auto& v : a)
            v = static_cast<std::int16_t>(random() & 0x0FFF);
        SignatureTable table;
        table.count = 64;
        for (const auto& [path, form, seed] : {std::tuple{"a", 0, 1u}, std::tuple{"b", 1, 1u},
                                               std::tuple{"c", 4, 1u}, std::tuple{"s", 2, 9u}}) {
            const auto values = orientGrid(a.data(), 8, static_cast<Orientation>(form));
            table.values.insert(table.values.end(), values.begin(), values.end());
            table.paths.emplace_back(path);
            if (fine > 0)
                addShape(table, seed, form, fine == 2);
        }
        GroupingRequest request;
        request.anyOrientation = any;
        groupsAre(table, request, {1, 3}, expected);
    }

    void keepsTheBestCopy_data()
    {
        QTest::addColumn<QByteArrayList>("pictures"); // path pixels size modified
        QTest::addColumn<QByteArray>("keep");
        QTest::addColumn<QByteArrayList>("preferred");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* name, QByteArrayList pictures, const char* keep,
                            const QByteArrayList& preferred, const char* expected) {
            for (QByteArray& p : pictures)
                p.insert(p.contains(' ') ? p.indexOf(' ') : p.size(), " 0 S");
            QTest::newRow(name) << pictures << QByteArray(keep) << preferred
                                << QByteArray(expected);
        };
        // Each facts a later one would prefer, until the rule's order settles.
        row("pixels, size", {"/a 100 900 1", "/c 200 5 1", "/b 200 6 9"}, "pixels", {}, "/b");
        row("pixels, size, oldest, path", {"/c 200 6 9", "/b 200 6 1", "/a 200 6 1"}, "pixels", {},
            "/a");
        row("size, pixels, oldest", {"/a 900 5 1", "/c 200 6 9", "/b 200 6 1"}, "size", {}, "/b");
        row("oldest, pixels, size", {"/a 900 900 5", "/c 200 5 4", "/b 200 6 4"}, "oldest", {},
            "/b");
        row("oldest of all times", {"/a 9 9 0", "/b 1 1 -9223372036854775808"}, "oldest", {}, "/b");
        row("newest, pixels", {"/a 900 900 3", "/c 100 900 4", "/b 200 1 4"}, "newest", {}, "/b");
        row("path", {"/b 900 900 1", "/a 1 1 9"}, "path", {}, "/a");
        row("no facts", {"/b", "/a"}, "pixels", {}, "/a");
        row("preferred folders", {"/o/big 900 900 1", "/one/x 9 9 9", "/two/y 1 1 1"}, "pixels",
            {"/two/", "/one"}, "/two/y");
        row("folder at a slash", {"/a/bc/x.jpg 1 1 1", "/c/y.jpg 9 9 9", "/a/b/c/x.jpg 1 1 2"},
            "pixels", {"/a/b"}, "/a/b/c/x.jpg");
    }
    void keepsTheBestCopy()
    {
        QFETCH(QByteArrayList, pictures);
        QFETCH(QByteArray, keep);
        QFETCH(QByteArrayList, preferred);
        QFETCH(QByteArray, expected);
        const SignatureTable table = tableOf(pictures);
        GroupingRequest request;
        request.matchRate = 75;
        request.keep = *parseKeepRule(keep.toStdString());
        for (const QByteArray& folder : std::as_const(preferred))
            request.preferred.push_back(folder.toStdString());
        const auto groups = findLookAlikeGroups(table, request);
        QVERIFY(groups && groups->size() == 1);
        QCOMPARE(table.paths[(*groups)[0].reference], expected.toStdString());
    }

    void matchesTheStraightforwardDefinition_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pixelNumber");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("matchRate");
        QTest::addColumn<int>("similarity"); // -1: no fingerprints
        // 0: upright only; with turned copies added, 1: the option off, 2: on,
        // 3: on without turned fingerprints (which leaves turned forms out).
        QTest::addColumn<int>("orient");
        // The default setting on a few thousand signatures; the others, the
        // bits that keep nothing and the match rates at and past both ends on
        // fewer. Pixel numbers 9 and 12 take more than one block of 64. A
        // match rate of 99 leaves a pardon of zero below 100 pixels. With
        // fingerprints at match rate 0 only they decide.
        const int settings[][6] = {
            {3000, 8, 3, 70, -1},
            {600, 8, 4, 80, -1},
            {600, 8, 2, 60, -1},
            {600, 8, 1, 90, -1},
            {600, 8, 0, 70, -1},
            {600, 8, 5, 70, -1},
            {600, 8, -60, 85, -1},
            {600, 8, 3, 0, -1},
            {600, 8, 3, 100, -1},
            {600, 8, 3, 99, -1},
            {600, 8, 0, 100, -1},
            {600, 1, 3, 100, -1},
            {600, 1, 4, 99, -1},
            {600, 8, 3, -20, -1},
            {500, 9, 3, 75, -1},
            {500, 9, 3, 99, -1},
            {400, 12, 4, 85, -1},
            {400, 12, 4, 99, -1},
            {400, 12, 2, 100, -1},
            {300, 8, 3, 101, -1},
            {3000, 8, 3, 70, 1},
            {600, 8, 3, 0, 2},
            {600, 8, 4, 80, 0},
            {500, 9, 3, 75, 1},
            // Any orientation: off on a table of turned copies is the upright
            // definition; on, by colour alone and with turned fingerprints.
            {200, 8, 3, 70, 1, 1},
            {200, 8, 3, 70, -1, 1},
            {200, 8, 3, 70, -1, 2},
            {200, 9, 3, 75, -1, 2},
            {200, 8, 3, 70, 1, 2},
            {200, 8, 4, 80, 0, 2},
            {200, 8, 3, 0, 2, 2},
            {200, 8, 3, 70, 1, 3}};
        for (const auto& s : settings)
            QTest::addRow("n %d N %d bits %d rate %d similarity %d orient %d", s[0], s[1], s[2],
                          s[3], s[4], s[5])
                << s[0] << s[1] << s[2] << s[3] << s[4] << s[5];
    }
    void matchesTheStraightforwardDefinition()
    {
        QFETCH(int, count);
        QFETCH(int, pixelNumber);
        QFETCH(int, bits);
        QFETCH(int, matchRate);
        QFETCH(int, similarity);
        QFETCH(int, orient);
        const auto n = static_cast<std::size_t>(count);
        SignatureTable table = randomTable(n, pixelNumber * pixelNumber, 7u + unsigned(bits));
        addEdgeOfSumBound(table, bits, matchRate);
        const auto copies =
            orient > 0 ? addTurnedCopies(table) : std::vector<std::pair<std::size_t, int>>{};
        GroupingRequest request;
        request.bits = bits;
        request.matchRate = matchRate;
        request.anyOrientation = orient >= 2;
        if (similarity >= 0) {
            addShapes(table, unsigned(count), copies, orient == 1 || orient == 2);
            request.similarity = Similarity(similarity);
        }
        const auto expected = describe(
            table, straightforward(table, bits, matchRate, request.similarity, orient == 2));
        // Turned copies join their sources only under the option.
        const auto joined = [&](const std::vector<std::string>& lines) {
            return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                return line.find('@') != std::string::npos;
            });
        };
        QCOMPARE(joined(expected) > 0, orient == 2);
        QCOMPARE(expected.empty(), matchRate > 100); // every reachable rate has look-alikes
        // With fingerprints, a table whose pairs do not fit the room kept for
        // them takes the slower routes to the same groups.
        // {task, kept}: every route (pairs confirmed while counting or by a
        // later scan; groups formed from kept pairs or by comparing again).
        using Rooms = std::pair<std::size_t, std::size_t>;
        const std::vector<Rooms> rooms = similarity >= 0 || orient >= 2
                                             ? std::vector<Rooms>{{0, 0}, {1, 1}, {1, 0}, {0, 1}}
                                             : std::vector<Rooms>{{0, 0}};
        for (const auto& [taskRoom, keptRoom] : rooms) {
            setGroupingRoomForTesting(taskRoom, keptRoom);
            for (const Kernel k :
                 taskRoom + keptRoom == 0 ? kernels() : std::vector<Kernel>{Kernel::Portable}) {
                for (const int jobs : {1, 3}) {
                    GroupingProgress progress;
                    request.jobs = jobs;
                    const auto groups =
                        similarity >= 0 || orient > 0
                            ? findLookAlikeGroups(table, request, nullptr, &progress, k)
                            : findLookAlikeGroups(table, bits, matchRate, jobs, nullptr, &progress,
                                                  k);
                    QVERIFY(groups);
                    QCOMPARE(describe(table, *groups), expected);
                    QCOMPARE(progress.pairsCompared + progress.pairsPruned,
                             progress.pairsTotal.load());
                    QCOMPARE(progress.groups.load(), std::uint64_t(groups->size()));
                }
            }
        }
        setGroupingRoomForTesting(0, 0);
    }

    void stopsAndRefusesBadTables()
    {
        SignatureTable table = randomTable(300, 64, 3);
        const std::atomic<bool> proceed{false};
        QVERIFY(!findLookAlikeGroups(table, 3, 70, 2, &proceed));
        SignatureTable broken = table;
        broken.paths.pop_back();
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, findLookAlikeGroups(broken, 3, 70, 1));
        for (const bool fine : {true, false}) {
            broken = table;
            fine ? broken.fine.resize(1) : broken.facts.resize(table.paths.size() + 1);
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, findLookAlikeGroups(broken, {}));
        }
    }
};

QObject* makeGroupsTests()
{
    return new TestGroups;
}

#include "tst_groups.moc"
