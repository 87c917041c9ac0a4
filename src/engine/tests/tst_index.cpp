#include "engine/ReviewActions.h"
#include "engine/tests/EngineTestSupport.h"
#include "indexfile/FileStamp.h"
#include "indexfile/IndexReader.h"
#include "indexfile/TChunk.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileHandle.h"
#include "signature/FineSignature.h"

#include <QFile>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>

using namespace ovrin;
using namespace ovrin::test;

namespace {

// The start of every index run unless a test says otherwise: later than any
// picture a test makes, so every stamp is settled before it, and the same for
// every run, so runs write the same bytes.
constexpr std::int64_t kLaterStart = 4'000'000'000'000'000'000;

QByteArray readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const std::string& path, const QByteArray& bytes)
{
    return writeText(QString::fromStdString(path), bytes);
}

template <typename T>
QByteArray bigEndian(T value)
{
    QByteArray bytes(sizeof value, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* id, const QByteArray& data)
{
    return QByteArray(id, 4) + bigEndian(quint32(data.size())) + data;
}

QByteArray thumbData(const std::vector<std::int16_t>& values)
{
    QByteArray data;
    for (const std::int16_t v : values)
        data += bigEndian(v);
    return data;
}

QByteArray head(int pixelNumber)
{
    QByteArray data(256, '\0');
    data[1] = 1;
    data[7] = static_cast<char>(pixelNumber);
    return chunk("OVHD", data);
}

// An index as a reader that knows only the head, path and thumbnail kinds
// sees it: (path, values) of every thumbnail under a path, other chunks
// passed over whole.
std::vector<std::pair<std::string, std::vector<std::int16_t>>>
strictEntries(const QByteArray& bytes)
{
    std::vector<std::pair<std::string, std::vector<std::int16_t>>> result;
    std::size_t at = 0;
    std::string path;
    bool first = true;
    while (bytes.size() - static_cast<qsizetype>(at) >= 8) {
        const std::string id(bytes.data() + at, 4);
        const std::size_t size = qFromBigEndian<quint32>(bytes.data() + at + 4);
        const std::size_t data = at + 8;
        at = data + size;
        if (first) {
            first = false;
            continue;
        }
        if (id == "OVPT") {
            path.assign(bytes.data() + data, size);
        } else if (id == "OVTM" && !path.empty()) {
            std::vector<std::int16_t> values(size / 2);
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = qFromBigEndian<qint16>(bytes.data() + data + 2 * i);
            result.emplace_back(path, values);
        }
    }
    return result;
}

void setTimes(const std::string& path, std::int64_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct IndexFixture : Fixture {
    IndexFixture() { FileStamp::setClockForTesting(kLaterStart); }
    ~IndexFixture() { FileStamp::setClockForTesting(std::nullopt); }

    // a tree of six pictures, a text file, an empty and a damaged picture, a link
    // and a sub-folder
    void makeTree()
    {
        folder("tree/sub");
        for (int i = 0; i < 3; ++i)
            image(std::string("tree/p").append(std::to_string(i)) + ".png",
                  30u + static_cast<quint32>(i));
        image("tree/sub/q.png", 31); // a copy of p1
        writeImage(QString::fromStdString(root + "/tree/sub/r.jpg"), photoLike(64, 48, 40), "jpeg");
        writeImage(QString::fromStdString(root + "/tree/sub/s.bmp"), photoLike(20, 20, 41), "bmp");
        text("tree/notes.txt");
        text("tree/sub/empty.png", {});
        text("tree/sub/broken.png", "\x89PNG\r\n\x1a\n but damaged");
        link("sub/q.png", "tree/link.png");
    }
    // hits of one search as "rate path", sorted
    std::vector<std::string> hits(SearchMethod method = SearchMethod::IndexFile)
    {
        engine->setSearchMethod(method);
        recorder.clear();
        search();
        std::vector<std::string> found;
        for (const Event& e : recorder.events())
            if (e.kind == Event::Hit)
                found.push_back(std::to_string(e.rate) + " " + e.path);
        std::sort(found.begin(), found.end());
        return found;
    }
};

} // namespace

class TestIndex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The same index bytes whatever the number of threads, and the index
    // search finds what the folder search finds.
    void indexWithAnyJobsGivesTheFolderSearchHits()
    {
        IndexFixture f;
        f.makeTree();
        f.text("tree/INDEX.OVI"); // the index's path but for case: passed over too
        const std::string index = f.root + "/tree/index.ovi";
        QByteArray first;
        // The count of files beside the walk passes over the index's files too.
        std::atomic<std::int64_t> counted{-1};
        f.recorder.onProgress = [&](const std::string&) {
            counted.store(countedAhead(*f.engine, counted.load()));
        };
        for (const int jobs : {1, 2, 8}) {
            f.engine->setJobs(jobs);
            counted.store(-1);
            f.engine->setRebuildIndex(jobs == 2); // a rebuild and updates write the same bytes
            f.recorder.clear();
            QVERIFY(f.makeIndex(f.root + "/tree", index));
            const RunSummary summary = f.engine->lastRunSummary();
            QCOMPARE(summary.index, RunSummary::IndexResult::Written);
            QCOMPARE(summary.indexed, std::int64_t(7));
            QCOMPARE(counted.load(), summary.examined);
            for (const std::string& p : f.recorder.paths(Event::Progress))
                QVERIFY(QString::fromStdString(p).indexOf(QLatin1String("ovi"), 0,
                                                          Qt::CaseInsensitive) < 0);
            if (first.isEmpty())
                first = readAll(index);
            QCOMPARE(readAll(index), first);
        }
        QCOMPARE(first.left(280), head(8) + chunk("OVRS", bigEndian<qint64>(kLaterStart)));

        f.engine->target().setFilePath(f.root + "/tree/p1.png");
        f.engine->setTopDirPath(f.root + "/tree");
        f.engine->setIndexFilePath(index);
        f.engine->setMatchRate(60);
        const auto fromFolder = f.hits(SearchMethod::Directory);
        QVERIFY(fromFolder.size() >= 3);
        f.engine->setPixelNumber(3); // the index search takes the head's 8 without a check
        QCOMPARE(f.hits(), fromFolder);
        QCOMPARE(f.engine->pixelNumber(), 8);

        // A reader that knows only the three kinds of chunk finds the same.
        std::vector<std::string> strict;
        for (const auto& [path, values] : strictEntries(first)) {
            const auto rate = TFileInfo::compareSignatures(f.engine->target().thumbnail().data(),
                                                           values.data(), 64, 3, 60);
            if (rate)
                strict.push_back(std::to_string(*rate) + " " + path);
        }
        std::sort(strict.begin(), strict.end());
        QCOMPARE(strict, fromFolder);
    }

    // A check takes the pixel number from an index head and from nothing else.
    void checkTakesThePixelNumberOnlyFromAnIndexHead()
    {
        IndexFixture f;
        f.makeTree();
        f.engine->setPixelNumber(16);
        const std::string index = f.root + "/i16.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        QCOMPARE(strictEntries(readAll(index)).front().second.size(), std::size_t(256));
        f.engine->setPixelNumber(11);
        QVERIFY(writeAll(f.root + "/short", "OVHD\0\0\0"));
        QVERIFY(writeAll(f.root + "/other", "OVPT\0\0\0\x02/x"));
        for (const std::string& path : {f.root + "/short", f.root + "/other",
                                        f.root + "/tree/p0.png", f.root + "/missing", f.root}) {
            QVERIFY(!f.engine->checkIndexFile(path));
            QCOMPARE(f.engine->pixelNumber(), 11);
        }
        QVERIFY(f.engine->checkIndexFile(index));
        QCOMPARE(f.engine->pixelNumber(), 16);
        // only the first four bytes decide: a head cut short reads as pixel number 0,
        // which no search can use
        QVERIFY(writeAll(f.root + "/cut", head(8).left(20)));
        QVERIFY(f.engine->checkIndexFile(f.root + "/cut"));
        QCOMPARE(f.engine->pixelNumber(), 0);
        QCOMPARE(TGraphicSearch::checkIndexSource(f.root + "/cut").code,
                 Refusal::IndexFileUnusable);
    }

    void whatIsNoIndexIsNeverReplaced_data()
    {
        QTest::addColumn<bool>("readable"); // a FIFO would block a reader
        for (const char* kind :
             {"picture", "text", "fifo", "device", "folder", "no folder", "read-only index"})
            QTest::newRow(kind) << (QByteArray(kind) != "fifo" && QByteArray(kind) != "device");
    }
    void whatIsNoIndexIsNeverReplaced()
    {
        QFETCH(bool, readable);
        const QLatin1String kind(QTest::currentDataTag());
        IndexFixture f;
        f.makeTree();
        std::string index = f.root + "/target";
        if (kind == QLatin1String("picture"))
            index = f.root + "/tree/p0.png";
        else if (kind == QLatin1String("text"))
            f.text("target", "a");
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(index.c_str(), 0600), 0);
        else if (kind == QLatin1String("device"))
            f.link("/dev/null", "target");
        else if (kind == QLatin1String("folder"))
            f.folder("target");
        else if (kind == QLatin1String("no folder"))
            index = f.root + "/nowhere/index.ovi";
        else // root passes access(2) for any file; the mode bits still refuse
            QVERIFY(writeAll(index, head(8)) && ::chmod(index.c_str(), 0444) == 0);
        const QByteArray before = readable ? readAll(index) : QByteArray();
        f.engine->setTopDirPath(f.root + "/tree");
        f.engine->setIndexFilePath(index);
        const StartResult result = f.engine->makeIndexFile();
        QCOMPARE(result.code, Refusal::IndexFileUnusable);
        QVERIFY(result.sentence.find(index) != std::string::npos ||
                result.sentence.find("nowhere") != std::string::npos);
        QCOMPARE(f.recorder.endCount(), 1);
        if (readable)
            QCOMPARE(readAll(index), before);
        else
            QVERIFY(!QFileInfo(QString::fromStdString(index)).isFile());
    }

    void failuresAndStopsKeepWhatWasThere()
    {
        IndexFixture f;
        f.makeTree();
        const std::string index = f.root + "/index.ovi";
        const QByteArray old = head(8) + "old content";
        QVERIFY(writeAll(index, old));

        platform::FileHandle::setWriteBudgetForTesting(400); // the disk fills up mid-way
        const bool ran = f.makeIndex(f.root + "/tree", index);
        platform::FileHandle::setWriteBudgetForTesting(-1);
        QVERIFY(ran);
        QCOMPARE(readAll(index), old);
        RunSummary summary = f.engine->lastRunSummary();
        QCOMPARE(summary.outcome, RunSummary::Outcome::Failed);
        QCOMPARE(summary.index, RunSummary::IndexResult::KeptExisting);
        QVERIFY2(summary.error.find(std::strerror(ENOSPC)) != std::string::npos,
                 summary.error.c_str());
        QCOMPARE(QDir(QString::fromStdString(f.root)).entryList(QDir::Files).size(), 1);

        // A new index that cannot be finished leaves nothing behind, and never
        // touches a file another run put at the path meanwhile.
        const std::string fresh = f.root + "/new.ovi";
        f.recorder.onProgress = [&](const std::string&) {
            if (!QFile::exists(QString::fromStdString(fresh)))
                writeAll(fresh, head(8) + "another run's index");
        };
        platform::FileHandle::setWriteBudgetForTesting(100);
        QVERIFY(f.makeIndex(f.root + "/tree", fresh));
        platform::FileHandle::setWriteBudgetForTesting(-1);
        f.recorder.onProgress = {};
        QCOMPARE(f.engine->lastRunSummary().outcome, RunSummary::Outcome::Failed);
        QCOMPARE(readAll(fresh), head(8) + "another run's index");

        // a folder that cannot be listed any more is a failure, not an empty tree
        f.folder("gone");
        f.engine->setTopDirPath(f.root + "/gone");
        f.engine->setIndexFilePath(index);
        const auto gate = std::make_shared<Gate>();
        f.engine->setThreadStarter(gatedStarter(gate));
        QVERIFY(f.run([&] {
            StartResult started = f.engine->makeIndexFile();
            QDir(QString::fromStdString(f.root + "/gone")).removeRecursively();
            gate->release();
            return started;
        }));
        f.engine->setThreadStarter({});
        QCOMPARE(f.engine->lastRunSummary().outcome, RunSummary::Outcome::Failed);
        QCOMPARE(readAll(index), old);

        QVERIFY(f.makeIndex(f.root + "/tree/sub", index)); // the next good run writes it
        QCOMPARE(f.engine->lastRunSummary().index, RunSummary::IndexResult::Written);

        // A stop keeps an index there was, or leaves a partial one.
        const QByteArray complete = readAll(index);
        std::atomic<bool> stopped{false};
        f.recorder.onProgress = [&](const std::string&) {
            if (!stopped.exchange(true))
                f.engine->stop();
        };
        f.engine->setRebuildIndex(true);
        QVERIFY(f.makeIndex(f.root + "/tree/sub", index));
        QCOMPARE(readAll(index), complete);
        QCOMPARE(f.engine->lastRunSummary().index, RunSummary::IndexResult::KeptExisting);

        stopped = false;
        const std::string partial = f.root + "/partial.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", partial));
        QCOMPARE(f.engine->lastRunSummary().index, RunSummary::IndexResult::Partial);
        QVERIFY(strictEntries(readAll(partial)).size() <= 1); // at most the file in hand
        QVERIFY(f.engine->checkIndexFile(partial));
    }

    // A killed run's temporary goes; a file that merely looks like one stays.
    void staleTemporariesGoOnlyWhenProvablyOurs_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("removed");
        const QByteArray started = head(8) + "partial";
        const QByteArray picture = QByteArray("\xff\xd8\xff\xe0") + QByteArray(300, 'j');
        const auto row = [](const char* name, const char* suffix, const QByteArray& content,
                            int mode, bool old, bool locked, bool removed) {
            QTest::newRow(name) << QString::fromLatin1(suffix) << content << mode << old << locked
                                << removed;
        };
        row("killed before a byte", "AAAAAA", {}, 0600, true, false, true);
        row("killed after the head", "AAAAAA", started, 0600, true, false, true);
        row("killed within the head", "AAAAAA", head(8).left(6), 0600, true, false, true);
        row("picture, private", "AAAAAA", picture, 0600, true, false, false);
        row("index head, not private", "AAAAAA", started, 0644, true, false, false);
        row("empty, not private", "AAAAAA", {}, 0640, true, false, false);
        row("not our suffix", "AA-A.A", started, 0600, true, false, false);
        row("held by a writer", "AAAAAA", started, 0600, true, true, false);
        row("young", "AAAAAA", started, 0600, false, false, false);
    }
    void staleTemporariesGoOnlyWhenProvablyOurs()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(bool, old);
        QFETCH(bool, locked);
        QFETCH(bool, removed);
        IndexFixture f;
        f.folder("tree");
        const std::string index = f.root + "/index.ovi";
        const std::string temporary = index + ".ovrin-" + str(suffix);
        QVERIFY(writeAll(temporary, content));
        QCOMPARE(::chmod(temporary.c_str(), static_cast<mode_t>(mode)), 0);
        if (old)
            setTimes(temporary, 1000000000);
        const platform::Descriptor writer(::open(temporary.c_str(), O_RDONLY));
        if (locked)
            QCOMPARE(::flock(writer.get(), LOCK_EX), 0);
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        QCOMPARE(f.engine->lastRunSummary().index, RunSummary::IndexResult::Written);
        QCOMPARE(!QFile::exists(QString::fromStdString(temporary)), removed);
        if (!removed)
            QCOMPARE(readAll(temporary), content);
    }

    // Another program puts a file at the index path while an update runs: a
    // copy over the index keeps its inode, a rename does not. What is not an
    // index stays where it is and the run says that no index is there now.
    void whatTakesTheIndexPathMeanwhileIsLeftAlone_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<bool>("index");
        QTest::newRow("picture copied over") << false << false;
        QTest::newRow("picture renamed over") << true << false;
        QTest::newRow("index copied over") << false << true;
    }
    void whatTakesTheIndexPathMeanwhileIsLeftAlone()
    {
        QFETCH(bool, rename);
        QFETCH(bool, index);
        IndexFixture f;
        f.makeTree();
        const std::string path = f.root + "/index.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", path));
        const QByteArray intruder = index ? head(8) : readAll(f.root + "/tree/p0.png");
        std::once_flag once;
        f.recorder.onProgress = [&](const std::string&) {
            std::call_once(once, [&] {
                if (!rename) {
                    writeAll(path, intruder); // truncates and writes the same inode
                } else if (writeAll(f.root + "/moved", intruder)) {
                    ::rename((f.root + "/moved").c_str(), path.c_str());
                }
            });
        };
        QVERIFY(f.makeIndex(f.root + "/tree", path));
        const RunSummary summary = f.engine->lastRunSummary();
        const QStringList left = QDir(QString::fromStdString(f.root)).entryList(QDir::Files);
        QCOMPARE(left, QStringList{QStringLiteral("index.ovi")}); // no temporary stays behind
        if (index) {
            QCOMPARE(summary.index, RunSummary::IndexResult::Written);
            QCOMPARE(strictEntries(readAll(path)).size(), 7u);
            return;
        }
        QCOMPARE(readAll(path), intruder);
        QCOMPARE(summary.outcome, RunSummary::Outcome::Failed);
        QCOMPARE(summary.index, RunSummary::IndexResult::NotWritten);
        QVERIFY2(summary.error.find("a file of " + std::to_string(intruder.size()) +
                                    " bytes that is no index file stands there now") !=
                     std::string::npos,
                 summary.error.c_str());
    }

    void searchWalksChunksAsTheyCome()
    {
        IndexFixture f;
        const std::string target = f.image("target.png", 5);
        const std::string a = f.image("a.png", 5);
        const std::string b = f.image("b.png", 5);
        TFileInfo info(target);
        QVERIFY(info.makeThumbnail(8));
        const QByteArray same = thumbData(info.thumbnail());
        const auto stamped = [](const std::string& path) {
            const FileStamp stamp = *currentStamp(path);
            return chunk("OVST", bigEndian<qint64>(stamp.size) +
                                     bigEndian<qint64>(stamp.modifiedNs) +
                                     bigEndian<qint64>(stamp.changedNs));
        };
        QByteArray huge("OVTM\x7f\xff\xff\xf0", 8); // claims 2 GiB it does not hold
        const std::string index = f.root + "/hand.ovi";
        QVERIFY(writeAll(index, head(8) + chunk("OVTM", same) + // before any path
                                    chunk("OVPT", a.c_str()) + chunk("OVTM", same) + stamped(a) +
                                    chunk("XTRA", "skip me") + chunk("OVTM", same) +  // same path
                                    chunk("OVPT", "\xc3\x28") + chunk("OVTM", same) + // bad UTF-8
                                    chunk("OVPT", QByteArray("/n\0ul", 5)) + chunk("OVTM", same) +
                                    chunk("OVPT", b.c_str()) +
                                    chunk("OVTM", thumbData(std::vector<std::int16_t>(49))) +
                                    chunk("OVHD", "ignored") + chunk("OVTM", same) + stamped(b) +
                                    huge));
        f.engine->target().setFilePath(target);
        f.engine->setIndexFilePath(index);
        QCOMPARE(f.hits(), (std::vector<std::string>{"100 " + a, "100 " + a, "100 " + b}));
        QVERIFY(f.recorder.paths(Event::Progress).empty());
        QCOMPARE(f.engine->lastRunSummary().redecoded,
                 std::int64_t(1)); // the second, without a stamp
        // A stop ends the walk before the next chunk.
        f.recorder.onHit = [&](const std::string&) { f.engine->stop(); };
        QCOMPARE(f.hits(), std::vector<std::string>{"100 " + a});
        QCOMPARE(f.engine->lastRunSummary().outcome, RunSummary::Outcome::Stopped);
        f.recorder.onHit = nullptr;

        ::unlink(index.c_str()); // vanished between check and search
        QVERIFY(f.hits().empty());
        QCOMPARE(f.engine->lastRunSummary().outcome, RunSummary::Outcome::Failed);
    }

    // An index search lists no hit on what its file held when it was indexed:
    // a hit whose file changed is decoded again, one whose file is gone, or is
    // no picture any more, is left out; both are counted.
    void indexSearchHitsAreCheckedAgainstTheirFiles_data()
    {
        QTest::addColumn<bool>("hit");
        QTest::addColumn<int>("redecoded");
        QTest::addColumn<int>("leftOut");
        QTest::newRow("unchanged") << true << 0 << 0;
        QTest::newRow("another picture") << false << 1 << 0;
        QTest::newRow("a changed copy") << true << 1 << 0;
        QTest::newRow("deleted") << false << 0 << 1;
        QTest::newRow("no picture any more") << false << 0 << 1;
    }
    void indexSearchHitsAreCheckedAgainstTheirFiles()
    {
        const QByteArray change = QTest::currentDataTag();
        QFETCH(bool, hit);
        QFETCH(int, redecoded);
        QFETCH(int, leftOut);
        IndexFixture f;
        f.folder("tree");
        const std::string target = f.image("target.png", 5);
        const std::string copy = f.image("tree/copy.png", 5);
        const std::string kept = f.image("tree/kept.png", 5);
        QVERIFY(f.makeIndex(f.root + "/tree", f.root + "/index.ovi"));
        QImage changed = photoLike(48, 36, 5);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                changed.setPixel(x, y, 0xff000000u);
        if (change == "another picture")
            f.image("tree/copy.png", 77);
        else if (change == "a changed copy")
            writeImage(QString::fromStdString(copy), changed, "png");
        else if (change == "deleted")
            QVERIFY(QFile::remove(QString::fromStdString(copy)));
        else if (change == "no picture any more")
            f.text("tree/copy.png");

        f.engine->target().setFilePath(target);
        f.engine->setMatchRate(60);
        std::vector<std::string> want{"100 " + kept};
        if (hit) {
            TFileInfo now(copy), aim(target);
            QVERIFY(now.makeThumbnail(8) && aim.makeThumbnail(8));
            QVERIFY(aim.isEqualThumbnail(3, 60, now));
            QCOMPARE(now.matchRate() < 100, change != "unchanged");
            want.insert(want.begin(), std::to_string(now.matchRate()) + " " + copy);
        }
        std::sort(want.begin(), want.end());
        QCOMPARE(f.hits(), want);
        const RunSummary summary = f.engine->lastRunSummary();
        QCOMPARE(summary.redecoded, std::int64_t(redecoded));
        QCOMPARE(summary.leftOut, std::int64_t(leftOut));
    }

    void everyPrefixOfAnIndexEnds()
    {
        IndexFixture f;
        f.makeTree();
        const std::string index = f.root + "/index.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        const QByteArray whole = readAll(index);
        f.engine->target().setFilePath(f.root + "/tree/p1.png");
        f.engine->setIndexFilePath(f.root + "/cut.ovi");
        f.engine->setBits(0); // every stored entry is a hit
        QVERIFY(writeAll(f.root + "/cut.ovi", whole));
        const auto all = f.hits();
        QCOMPARE(all.size(), std::size_t(7));
        for (qsizetype length = 0; length < whole.size(); length += 3) {
            QVERIFY(writeAll(f.root + "/cut.ovi", whole.left(length)));
            f.engine->setPixelNumber(8);
            const auto found = f.hits();
            QVERIFY(std::includes(all.begin(), all.end(), found.begin(), found.end()));
        }
    }

    // An update takes over the signatures of unchanged pictures and writes the
    // very bytes a rebuild of the tree as it is now would write.
    void updateWritesWhatARebuildWrites()
    {
        IndexFixture f;
        f.makeTree();
        const std::string tree = f.root + "/tree";
        const std::string index = f.root + "/index.ovi";
        const std::string rebuilt = f.root + "/rebuilt.ovi";
        const auto rebuild = [&] {
            f.engine->setRebuildIndex(true);
            QVERIFY(f.makeIndex(tree, rebuilt));
            f.engine->setRebuildIndex(false);
        };
        QVERIFY(f.makeIndex(tree, index));

        f.image("tree/added.png", 60);
        QFile::remove(QString::fromStdString(tree + "/p0.png"));
        QFile::rename(QString::fromStdString(tree + "/p2.png"),
                      QString::fromStdString(tree + "/renamed.png"));
        writeImage(QString::fromStdString(tree + "/sub/s.bmp"), photoLike(20, 20, 99), "bmp");
        setTimes(tree + "/sub/s.bmp", 2000000000); // same size, new content and time
        f.image("tree/sub/r.jpg", 61);             // new size
        f.text("tree/sub/q.png", "not a picture any more");
        QVERIFY(f.makeIndex(tree, index));
        RunSummary summary = f.engine->lastRunSummary();
        rebuild();
        QCOMPARE(readAll(index), readAll(rebuilt));
        QCOMPARE(summary.reused, std::int64_t(1));  // p1
        QCOMPARE(summary.decoded, std::int64_t(4)); // added, renamed, s.bmp, r.jpg
        QCOMPARE(summary.removed, std::int64_t(4)); // p0, p2, q.png and the link to it

        // Entries larger than a first read (pixel number 64: 8 KiB values) are
        // taken over too; a change of permissions alone is a change.
        f.engine->setPixelNumber(64);
        const std::string large = f.root + "/large.ovi";
        QVERIFY(f.makeIndex(tree, large));
        QVERIFY(::chmod((tree + "/p1.png").c_str(), 0600) == 0);
        QVERIFY(f.makeIndex(tree, large));
        summary = f.engine->lastRunSummary();
        QCOMPARE(summary.reused, summary.indexed - 1);
        f.engine->setPixelNumber(8);
        rebuild();

        // An index from before run starts, or stamps, were recorded: decoded
        // once, then written as a rebuild writes it.
        const QByteArray current = readAll(rebuilt);
        QByteArray unstamped = head(8);
        for (const auto& [path, values] : strictEntries(current))
            unstamped +=
                chunk("OVPT", QByteArray::fromStdString(path)) + chunk("OVTM", thumbData(values));
        // And one without fingerprints: decoded again so that it gains them.
        QByteArray unprinted = current;
        for (qsizetype at = 0; (at = unprinted.indexOf("OVFP", at)) >= 0;)
            unprinted.remove(at, 8 + qsizetype(FineSignature::kStoredSize));
        for (const QByteArray& old : {head(8) + current.mid(280), unstamped, unprinted}) {
            QVERIFY(writeAll(index, old));
            QVERIFY(f.makeIndex(tree, index));
            QCOMPARE(f.engine->lastRunSummary().reused, std::int64_t(0));
            QCOMPARE(readAll(index), current);
        }
    }

    // A picture may change again within the tick (FAT's two seconds) of the
    // time its stamp holds and keep that stamp: an entry taken in the tick its
    // picture last changed in, even late in it, is decoded again by the next
    // update, and taken over by the one after.
    void picturesChangedAsTheRunStartedAreDecodedAgain()
    {
        IndexFixture f;
        f.folder("tree");
        const std::string tree = f.root + "/tree";
        const std::string index = f.root + "/index.ovi";
        const std::int64_t changed = currentStamp(f.image("tree/p.png", 1))->changedNs;
        const std::int64_t tick = FileStamp::kCoarsestTickNs;
        for (const std::int64_t start : {changed, changed - changed % tick + tick - 1}) {
            QFile::remove(QString::fromStdString(index));
            FileStamp::setClockForTesting(start);
            QVERIFY(f.makeIndex(tree, index));
            FileStamp::setClockForTesting(kLaterStart);
            for (const std::int64_t reused : {0, 1}) {
                QVERIFY(f.makeIndex(tree, index));
                QCOMPARE(f.engine->lastRunSummary().reused, reused);
            }
        }
    }

    void creationTakesItsSettingsOnceAndStoresOnlyUtf8()
    {
        IndexFixture f;
        f.makeTree();
        f.rawFile("tree/\xe9t\xe9.png", readAll(f.root + "/tree/p1.png"));
        f.recorder.onProgress = [&](const std::string&) {
            f.engine->setPixelNumber(16); // a drop on the window during the run
            f.engine->setIndexFilePath(f.root + "/elsewhere.ovi");
        };
        const std::string index = f.root + "/index.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        const auto entries = strictEntries(readAll(index));
        QCOMPARE(entries.size(), std::size_t(7));
        for (const auto& [path, values] : entries)
            QCOMPARE(values.size(), std::size_t(64));
        QVERIFY(!QFile::exists(QString::fromStdString(f.root + "/elsewhere.ovi")));
        const RunSummary summary = f.engine->lastRunSummary();
        QCOMPARE(summary.skipped[std::size_t(SkipReason::NameNotUtf8)], std::int64_t(1));
        ::unlink((f.root + "/tree/\xe9t\xe9.png").c_str()); // a name QDir cannot spell
    }
};

QObject* makeIndexTests()
{
    return new TestIndex;
}

#include "tst_index.moc"
