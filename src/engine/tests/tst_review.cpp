#include "engine/ReviewFile.h"
#include "engine/tests/EngineTestSupport.h"
#include "indexfile/BigEndian.h"

#include <map>

using namespace ovrin;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A grouping's result of three groups over seven rows; row 6 is in no group.
LookAlikeResult sample()
{
    LookAlikeResult result;
    SignatureTable& table = result.table;
    table.count = 4;
    table.paths = {"/p/a.jpg", "/p/b.jpg",    "/p/\xff\xfe-not-utf8.jpg", "/p/d.jpg", "/p/e.jpg",
                   "/p/f.jpg", "/p/loose.jpg"};
    for (std::size_t i = 0; i < table.paths.size(); ++i) {
        for (int v = 0; v < 4; ++v)
            table.values.push_back(static_cast<std::int16_t>(i * 100 + v - 2000));
        FineSignature fine;
        fine.width = 640 + static_cast<std::uint32_t>(i);
        fine.height = 480;
        fine.mean = static_cast<std::uint8_t>(i);
        fine.spread = 40;
        fine.hash = {0x0123456789abcdefull * (i + 1), i};
        table.fine.push_back(fine);
        const auto n = static_cast<std::int64_t>(i);
        table.facts.push_back({307200 + n, 1000 + n, 1'700'000'000'000'000'000 + n, 17 + n});
    }
    result.aliases.resize(table.paths.size());
    result.aliases[3] = {"/q/d-link.jpg", "/q/\x80raw"};
    result.groups = {
        {0, {{1, 91, 97.5}, {2, 80, 88.25}}}, {3, {{4, 75, 70.125}}}, {5, {{6, 99, 99.0}}}};
    return result;
}

// Everything a review holds, as one text per picture.
std::vector<std::string> describe(const Review& review)
{
    const SignatureTable& table = review.result.table;
    std::vector<std::string> lines;
    const auto picture = [&](std::size_t entry, const std::string& head) {
        const auto& f = table.facts[entry];
        std::string line = head + " " + table.paths[entry];
        for (int v = 0; v < table.count; ++v)
            line += " " + std::to_string(table.values[entry * std::size_t(table.count) + v]);
        line += " f" + std::to_string(f.pixels) + "," + std::to_string(f.size) + "," +
                std::to_string(f.modifiedNs) + "," + std::to_string(f.changedNs);
        if (!table.fine.empty()) {
            Bytes stored(FineSignature::kStoredSize);
            table.fine[entry].store(stored.data());
            for (const std::uint8_t b : stored)
                line += std::to_string(b) + ".";
        }
        if (entry < review.result.aliases.size())
            for (const std::string& alias : review.result.aliases[entry])
                line += " =" + alias;
        lines.push_back(line + (review.marked[entry] ? " marked" : ""));
    };
    for (std::size_t g = 0; g < review.result.groups.size(); ++g) {
        const LookAlikeGroup& group = review.result.groups[g];
        picture(group.reference, review.referenceGone[g] ? "gone-ref" : "ref");
        for (const LookAlikeMember& m : group.members)
            picture(m.index, std::to_string(m.rate) + "/" + std::to_string(m.likeness));
    }
    return lines;
}

Review reviewOf(const LookAlikeResult& result)
{
    Review::Settings settings;
    settings.method = 1;
    settings.folder = "/photos";
    settings.index = "/idx/\xfe.ovi";
    settings.bits = 2;
    settings.matchRate = 85;
    settings.similarity = Similarity::Loose;
    settings.keep = KeepRule::Oldest;
    settings.preferred = {"/photos/keep", "/photos/\xc0old"};
    // As the window holds them after a removal: the first group lost a member
    // and its reference went to the trash.
    std::vector<LookAlikeGroup> groups = {result.groups[0], result.groups[1]};
    groups[0].members.erase(groups[0].members.begin());
    return ReviewFile::fromGroups(
        result, groups, {true, false},
        [](const std::string& path) {
            return path == "/p/a.jpg" || path == "/p/\xff\xfe-not-utf8.jpg" || path == "/p/e.jpg";
        },
        settings);
}

} // namespace

class TestReview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("review.ovr"));
        for (const bool fine : {true, false}) {
            LookAlikeResult result = sample();
            if (!fine)
                result.table.fine.clear();
            const Review review = reviewOf(result);
            QCOMPARE(review.result.table.paths.size(), std::size_t{4});
            const Bytes bytes = ReviewFile::encode(review);
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
            out.close();
            const ReviewFile::Opened opened = ReviewFile::read(test::str(file));
            QVERIFY(opened.review);
            QCOMPARE(opened.review->settings, review.settings);
            QCOMPARE(opened.review->result.table.fine.empty(), !fine);
            const std::vector<std::string> lines = describe(*opened.review);
            QCOMPARE(lines, describe(review));
            // The gone reference never carries a mark, the member does.
            QVERIFY(lines[0].starts_with("gone-ref /p/a.jpg") && !lines[0].ends_with("marked"));
            QVERIFY(lines[1].ends_with("marked") && lines[3].ends_with("marked"));
        }
        QCOMPARE(ReviewFile::read(test::str(dir.filePath(QStringLiteral("none.ovr")))).problem,
                 ReviewFile::Problem::CannotRead);
    }

    void damaged_data()
    {
        QTest::addColumn<int>("at");         // a byte offset, or -1 for none
        QTest::addColumn<QByteArray>("put"); // bytes written there
        QTest::addColumn<int>("cut");        // bytes left, -1 for all
        QTest::addColumn<int>("problem");
        using P = ReviewFile::Problem;
        const auto row = [](const char* name, int at, QByteArray put, int cut, P problem) {
            QTest::newRow(name) << at << put << cut << int(problem);
        };
        row("whole", -1, {}, -1, P::None);
        row("empty", -1, {}, 0, P::NotAReview);
        row("another magic", 0, "OVHD", -1, P::NotAReview);
        row("head cut", -1, {}, 12, P::Truncated);
        row("cut at a chunk's end", -1, {}, 8 + 16, P::Truncated);
        row("newer major version", 8, QByteArray("\x00\x02", 2), -1, P::NewerFormat);
        row("newer minor version", 10, QByteArray("\x00\x05", 2), -1, P::None);
        row("no values per signature", 12, QByteArray(4, '\0'), -1, P::Damaged);
        row("head's length beyond the file", 4, "\x7f\xff\xff\xff", -1, P::Truncated);
        row("keep rule unknown", 8 + 16 + 8 + 9, "\x09", -1, P::Damaged);
        row("match rate above 100", 8 + 16 + 8 + 4, QByteArray("\x00\x00\x00\x65", 4), -1,
            P::Damaged);
        row("settings passed over", 8 + 16, "RVXX", -1, P::None);
        row("first group's kind unknown", -2, "ABCD", -1, P::Damaged);
        row("a fingerprint of another format", -3, QByteArray(1, '\0'), -1, P::Damaged);
        row("NUL in a path", -4, QByteArray(1, '\0'), -1, P::Damaged);
    }
    void damaged()
    {
        QFETCH(int, at);
        QFETCH(QByteArray, put);
        QFETCH(int, cut);
        QFETCH(int, problem);
        Bytes bytes = ReviewFile::encode(reviewOf(sample()));
        const auto find = [&bytes](const char* kind) {
            for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
                if (std::memcmp(bytes.data() + i, kind, 4) == 0)
                    return int(i);
            return -1;
        };
        // Negative offsets name a place in the first group.
        const int fineFormat = 8 + 1 + 4 + 8 + 32;
        const std::map<int, int> places = {
            {-2, find("RVGR")}, {-3, find("RVPI") + fineFormat}, {-4, find("RVPT") + 10}};
        if (places.count(at) != 0)
            at = places.at(at);
        if (at >= 0)
            std::copy(put.begin(), put.end(), bytes.begin() + at);
        if (cut >= 0)
            bytes.resize(std::size_t(cut));
        QCOMPARE(int(ReviewFile::decode(bytes.data(), bytes.size()).problem), problem);
    }

    // Any cut of a review is refused, and never read past its end.
    void everyCutRefused()
    {
        const Bytes bytes = ReviewFile::encode(reviewOf(sample()));
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            const Bytes cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(size));
            const auto opened = ReviewFile::decode(cut.data(), cut.size());
            QVERIFY2(!opened.review, std::to_string(size).c_str());
        }
    }

    void leaveOutChanged_data()
    {
        QTest::addColumn<QByteArrayList>(
            "changed"); // paths now changed: "+" size, "~" status, "-" missing
        QTest::addColumn<int>("leftOut");
        QTest::addColumn<QByteArrayList>("groups"); // references ("!" gone) and member counts
        QTest::newRow("nothing changed")
            << QByteArrayList{} << 0 << QByteArrayList{"!/p/a.jpg 1", "/p/d.jpg 1"};
        QTest::newRow("a member changed")
            << QByteArrayList{"+/p/e.jpg"} << 1 << QByteArrayList{"!/p/a.jpg 1"};
        QTest::newRow("a reference missing")
            << QByteArrayList{"-/p/d.jpg"} << 1 << QByteArrayList{"!/p/a.jpg 1"};
        QTest::newRow("the gone reference is not looked at")
            << QByteArrayList{"-/p/a.jpg"} << 0 << QByteArrayList{"!/p/a.jpg 1", "/p/d.jpg 1"};
        QTest::newRow("a status change")
            << QByteArrayList{"~/p/e.jpg"} << 1 << QByteArrayList{"!/p/a.jpg 1"};
    }
    void leaveOutChanged()
    {
        QFETCH(QByteArrayList, changed);
        QFETCH(int, leftOut);
        QFETCH(QByteArrayList, groups);
        Review review = reviewOf(sample());
        std::map<std::string, TFileStamp> now;
        for (std::size_t i = 0; i < review.result.table.paths.size(); ++i) {
            const auto& f = review.result.table.facts[i];
            now[review.result.table.paths[i]] = {f.size, f.modifiedNs, f.changedNs};
        }
        for (const QByteArray& entry : changed) {
            const std::string path = entry.mid(1).toStdString();
            if (entry.startsWith('-'))
                now.erase(path);
            else if (entry.startsWith('~'))
                ++now[path].changedNs;
            else
                ++now[path].size;
        }
        const std::vector<std::string> out = ReviewFile::leaveOutChanged(
            review, [&now](const std::string& path) -> std::optional<TFileStamp> {
                const auto it = now.find(path);
                return it == now.end() ? std::nullopt : std::optional(it->second);
            });
        QCOMPARE(int(out.size()), leftOut);
        QByteArrayList shown;
        for (std::size_t g = 0; g < review.result.groups.size(); ++g)
            shown << QByteArray::fromStdString(
                (review.referenceGone[g] ? "!" : "") +
                review.result.table.paths[review.result.groups[g].reference] + " " +
                std::to_string(review.result.groups[g].members.size()));
        QCOMPARE(shown, groups);
    }
};

QObject* makeReviewTests()
{
    return new TestReview;
}

#include "tst_review.moc"
