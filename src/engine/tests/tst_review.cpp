#include "engine/ReviewFile.h"
#include "engine/tests/EngineTestSupport.h"
#include "signature/TFileInfo.h"

#include <algorithm>

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
    for (std::uint32_t i = 0; i < table.paths.size(); ++i) {
        for (int v = 0; v < 4; ++v)
            table.values.push_back(static_cast<std::int16_t>(i * 100 + v - 2000));
        table.fine.push_back({640 + i, 480, std::uint8_t(i), 40, {0x0123456789abcdefull * i, i}});
        table.facts.push_back({307200 + i, 1000 + i, 1'700'000'000'000'000'000 + i, 17 + i});
    }
    result.aliases.resize(table.paths.size());
    result.aliases[3] = {"/q/d-link.jpg", "/q/\x80raw"};
    result.groups = {
        {0, {{1, 91, 97.5}, {2, 80, 88.25}}}, {3, {{4, 75, 70.125}}}, {5, {{6, 99, 99.0}}}};
    return result;
}

Review reviewOf(const LookAlikeResult& result, bool anyOrientation = false)
{
    // As the window holds them after a removal: the first group lost a member
    // and its reference went to the trash.
    std::vector<LookAlikeGroup> groups = {result.groups[0], result.groups[1]};
    groups[0].members.erase(groups[0].members.begin());
    using enum SearchMethod;
    const Review::Settings settings{IndexFile,
                                    "/photos",
                                    "/idx/\xfe.ovi",
                                    2,
                                    85,
                                    Similarity::Loose,
                                    KeepRule::Oldest,
                                    {"/photos/keep", "/photos/\xc0old"},
                                    anyOrientation};
    return ReviewFile::fromGroups(
        result, groups, {true, false}, [](const std::string& path) { return path != "/p/d.jpg"; },
        settings);
}

} // namespace

class TestReview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip()
    {
        // With any orientation the settings and each member keep it too.
        for (const auto& [fine, any] : {std::pair{true, false}, {false, false}, {true, true}}) {
            LookAlikeResult result = sample();
            if (!fine)
                result.table.fine.clear();
            result.groups[1].members[0].orientation = Orientation::Flipped;
            const Review review = reviewOf(result, any);
            const Bytes bytes = ReviewFile::encode(review);
            const auto opened = ReviewFile::decode(bytes.data(), bytes.size()).review;
            // Read back, every field is written again as it was.
            QVERIFY(opened && ReviewFile::encode(*opened) == bytes);
            const Review& back = *opened;
            const SignatureTable& table = back.result.table;
            QCOMPARE(back.settings, review.settings);
            QCOMPARE(table.paths, (std::vector<std::string>{"/p/a.jpg", "/p/\xff\xfe-not-utf8.jpg",
                                                            "/p/d.jpg", "/p/e.jpg"}));
            QCOMPARE(table.facts[2].changedNs, 17 + 3);
            QCOMPARE(table.fine.size(), fine ? 4u : 0u);
            QVERIFY(!fine || table.fine[3] == result.table.fine[4]);
            QCOMPARE(back.result.aliases[2], result.aliases[3]);
            QCOMPARE(back.result.groups[1].members[0].likeness, 70.125);
            QCOMPARE(back.result.groups[1].members[0].orientation,
                     any ? Orientation::Flipped : Orientation::Upright);
            // The gone reference never carries a mark; the members do.
            QCOMPARE(back.referenceGone, (std::vector<bool>{true, false}));
            QCOMPARE(back.marked, (std::vector<bool>{false, true, false, true}));
        }
        QCOMPARE(ReviewFile::read("/nonexistent/review.ovr").problem,
                 ReviewFile::Problem::CannotRead);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("kind"); // the first chunk of the kind, none: the file
        QTest::addColumn<int>("at");          // an offset into it
        QTest::addColumn<QByteArray>("put");  // bytes written there; none: the file cut there
        QTest::addColumn<int>("problem");
        using P = ReviewFile::Problem;
        const auto row = [](const char* name, const QByteArray& kind, int at, const QByteArray& put,
                            P problem) {
            QTest::newRow(name) << kind << at << put << int(problem);
        };
        row("whole", "RVND", 16, {}, P::None);
        row("empty", {}, 0, {}, P::NotAReview);
        row("another magic", {}, 0, "OVHD", P::NotAReview);
        row("newer major version", {}, 8, QByteArray("\x00\x02", 2), P::NewerFormat);
        row("newer minor version", {}, 10, QByteArray("\x00\x05", 2), P::None);
        row("no values per signature", {}, 12, QByteArray(4, '\0'), P::Damaged);
        row("head's length beyond the file", {}, 4, "\x7f\xff\xff\xff", P::Truncated);
        row("keep rule unknown", "RVSE", 8 + 9, "\x09", P::Damaged);
        row("settings passed over", "RVSE", 0, "RVXX", P::None);
        row("first group's kind unknown", "RVGR", 0, "ABCD", P::Damaged);
        row("a fingerprint of another format", "RVPI", 8 + 45, QByteArray(1, '\0'), P::Damaged);
        row("NUL in a path", "RVPT", 10, QByteArray(1, '\0'), P::Damaged);
        row("an end that miscounts", "RVND", 11, "\x09", P::Damaged);
    }
    void damaged()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, at);
        QFETCH(QByteArray, put);
        QFETCH(int, problem);
        const Bytes bytes = ReviewFile::encode(reviewOf(sample()));
        QByteArray file(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        at += kind.isEmpty() ? 0 : int(file.indexOf(kind));
        if (put.isEmpty())
            file.truncate(at);
        else
            file.replace(at, put.size(), put);
        const auto* data = reinterpret_cast<const std::uint8_t*>(file.constData());
        QCOMPARE(int(ReviewFile::decode(data, std::size_t(file.size())).problem), problem);
    }

    // Any cut of a review is refused as one, and never read past its end.
    void everyCutRefused()
    {
        const Bytes bytes = ReviewFile::encode(reviewOf(sample()));
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            const Bytes cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(size));
            QVERIFY2(
                ReviewFile::decode(cut.data(), cut.size()).problem ==
                    (size < 8 ? ReviewFile::Problem::NotAReview : ReviewFile::Problem::Truncated),
                std::to_string(size).c_str());
        }
    }

    void leaveOutChanged_data()
    {
        QTest::addColumn<QByteArray>("change"); // of one file: '+' size, '~' status, '-' gone
        QTest::addColumn<int>("leftOut");
        QTest::addColumn<QByteArrayList>("groups"); // references ("!" gone) and member counts
        const QByteArrayList both = {"!/p/a.jpg 1", "/p/d.jpg 1"};
        QTest::newRow("nothing changed") << QByteArray() << 0 << both;
        QTest::newRow("a member changed") << QByteArray("+/p/e.jpg") << 1 << both.mid(0, 1);
        QTest::newRow("its status changed") << QByteArray("~/p/e.jpg") << 1 << both.mid(0, 1);
        QTest::newRow("a reference missing") << QByteArray("-/p/d.jpg") << 1 << both.mid(0, 1);
        QTest::newRow("a gone reference is not looked at") << QByteArray("-/p/a.jpg") << 0 << both;
    }
    void leaveOutChanged()
    {
        QFETCH(QByteArray, change);
        QFETCH(int, leftOut);
        QFETCH(QByteArrayList, groups);
        Review review = reviewOf(sample());
        const SignatureTable& table = review.result.table;
        const auto stampOf = [&](const std::string& path) -> std::optional<FileStamp> {
            const auto& f = table.facts[std::size_t(
                std::find(table.paths.begin(), table.paths.end(), path) - table.paths.begin())];
            FileStamp stamp{f.size, f.modifiedNs, f.changedNs};
            if (change.mid(1).toStdString() != path)
                return stamp;
            if (change[0] == '-')
                return std::nullopt;
            ++(change[0] == '~' ? stamp.changedNs : stamp.size);
            return stamp;
        };
        QCOMPARE(int(ReviewFile::leaveOutChanged(review, stampOf).size()), leftOut);
        QByteArrayList shown;
        for (std::size_t g = 0; g < review.result.groups.size(); ++g)
            shown << QByteArray::fromStdString(
                (review.referenceGone[g] ? "!" : "") +
                table.paths[review.result.groups[g].reference] + " " +
                std::to_string(review.result.groups[g].members.size()));
        QCOMPARE(shown, groups);
    }

    // A picture moved to the trash and back keeps its content and times but
    // not its status change time: it stays when it still gives its signature.
    void aNewStatusChangeAloneIsCheckedByTheSignature()
    {
        QTemporaryDir dir;
        Review review;
        SignatureTable& table = review.result.table;
        table.count = 64;
        for (int i = 0; i < 2; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            test::writeImage(path, test::photoLike(80, 60, 7), "png");
            TFileInfo info(path.toStdString());
            QVERIFY(info.makeThumbnail(8));
            const auto stamp = ReviewFile::stampNow(path.toStdString());
            table.paths.push_back(path.toStdString());
            table.values.insert(table.values.end(), info.thumbnail().begin(),
                                info.thumbnail().end());
            table.facts.push_back({4800, stamp->size, stamp->modifiedNs, stamp->changedNs + 1});
        }
        review.result.groups = {{0, {{1, 100, 100.0}}}};
        review.referenceGone = {false};
        review.marked.assign(2, false);
        Review other = review;
        QVERIFY(ReviewFile::leaveOutChanged(review).empty());
        QCOMPARE(review.result.table.facts[1].changedNs,
                 ReviewFile::stampNow(table.paths[1])->changedNs);
        ++other.result.table.values[64]; // another picture's signature
        QCOMPARE(ReviewFile::leaveOutChanged(other), std::vector<std::string>{table.paths[1]});
    }
};

QObject* makeReviewTests()
{
    return new TestReview;
}

#include "tst_review.moc"
