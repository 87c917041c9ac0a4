#include "engine/DecodePipeline.h"
#include "engine/Exclusions.h"
#include "engine/FolderWalk.h"
#include "engine/tests/EngineTestSupport.h"
#include "platform/fs/FileManager.h"

#include <QProcess>
#include <QTest>

#include <chrono>
#include <clocale>
#include <condition_variable>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace ovrin;
using namespace ovrin::test;

namespace {

// The walk order the engine must follow: depth first, each folder in the order
// the file system lists it, links followed.
void expectedWalk(const std::string& folder, std::vector<std::string>& out)
{
    const platform::Descriptor fd(platform::FileManager::openFolder(folder));
    const auto names = platform::FileManager::listFolder(fd.get());
    for (const std::string& name : names.value_or(std::vector<std::string>{})) {
        const std::string path = platform::FileManager::appendPathComponent(folder, name);
        if (const auto status = platform::FileManager::fileStatus(path))
            status->isDirectory ? expectedWalk(path, out) : out.push_back(path);
    }
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusalsSayWhyAndEndOnceOnTheCallingThread_data()
    {
        QTest::addColumn<Refusal>("why");
        QTest::newRow("no target path") << Refusal::TargetUnreadable;
        QTest::newRow("unreadable target") << Refusal::TargetUnreadable;
        QTest::newRow("no paths") << Refusal::NoPaths;
        QTest::newRow("missing folder") << Refusal::TopFolderUnusable;
        QTest::newRow("method 7") << Refusal::UnknownSearchMethod;
        QTest::newRow("thread fails") << Refusal::NoThread;
        QTest::newRow("pixel number 0") << Refusal::PixelNumberUnusable;
    }
    void refusalsSayWhyAndEndOnceOnTheCallingThread()
    {
        QFETCH(Refusal, why);
        const QLatin1String situation(QTest::currentDataTag());
        Fixture f;
        const std::string target = f.image("target.png", 1);
        f.engine->target().setFilePath(target);
        f.engine->setTopDirPath(f.root);
        const auto gate = std::make_shared<Gate>();
        gate->open = true; // counts the starts, holds nothing back
        f.engine->setThreadStarter(gatedStarter(gate));
        if (situation == QLatin1String("no target path"))
            f.engine->target().setFilePath(std::nullopt);
        else if (situation == QLatin1String("unreadable target"))
            f.engine->target().setFilePath(f.text("notes.txt"));
        else if (situation == QLatin1String("no paths"))
            f.engine->setTopDirPath(std::nullopt);
        else if (situation == QLatin1String("missing folder"))
            f.engine->setTopDirPath(f.root + "/nowhere");
        else if (situation == QLatin1String("method 7"))
            f.engine->setSearchMethod(static_cast<SearchMethod>(7));
        else if (situation == QLatin1String("pixel number 0"))
            f.engine->setPixelNumber(0);
        else
            f.engine->setThreadStarter([gate](const std::function<void()>&) {
                ++gate->starts;
                return false;
            });

        const StartResult result = f.engine->beginSearch();
        QCOMPARE(result.code, why);
        QVERIFY(!result.sentence.empty());
        QCOMPARE(int(f.recorder.events().size()), 1);
        QCOMPARE(f.recorder.events().front().kind, Event::End);
        QCOMPARE(f.recorder.events().front().thread, std::this_thread::get_id());
        QVERIFY(!f.engine->isWorking());
        if (situation == QLatin1String("no paths"))
            QCOMPARE(f.engine->target().thumbnailCount(), 64); // remade before the path test
        QCOMPARE(gate->starts, situation == QLatin1String("thread fails") ? 1 : 0);

        // whatever refused, the engine can run again once the cause is gone
        f.engine->setThreadStarter({});
        f.engine->target().setFilePath(target);
        f.engine->setTopDirPath(f.root);
        f.engine->setSearchMethod(SearchMethod::Directory);
        f.engine->setPixelNumber(8);
        f.engine->stop(); // a stop while idle does not spoil the next run
        QVERIFY(f.search());
        QCOMPARE(f.recorder.paths(Event::Hit), std::vector<std::string>{target});
    }

    void aPreparedSignatureStandsForTheTarget()
    {
        Fixture f;
        f.image("a.png", 1);
        f.engine->target().setFilePath(f.text("notes.txt")); // would not decode
        f.engine->setTopDirPath(f.root);
        f.engine->setPixelNumber(8);
        // One of another size is set aside, and the target decoded.
        QCOMPARE(f.engine->beginSearch(std::vector<std::int16_t>(63, 0)).code,
                 Refusal::TargetUnreadable);
        // Its fingerprint comes with it, and every hit brings its own.
        const std::vector<std::uint8_t> grid(FineSignature::kGridSide * FineSignature::kGridSide,
                                             9);
        const FineSignature fine = FineSignature::fromLuminance(grid.data(), 40, 30);
        f.engine->setBits(0);
        QVERIFY(f.run(
            [&] { return f.engine->beginSearch(std::vector<std::int16_t>(64, 0x0fff), fine); }));
        QCOMPARE(f.engine->target().thumbnail(), std::vector<std::int16_t>(64, 0x0fff));
        QVERIFY(f.engine->target().fine() == fine);
        const auto events = f.recorder.events();
        QVERIFY(std::any_of(events.begin(), events.end(),
                            [](const Event& e) { return e.kind == Event::Hit && e.fine; }));
    }

    // A run held at its start: more work is refused and the run goes on, kept
    // alive by its worker when its owner lets go, or a join (which stops)
    // waits for the end callback and no entry is seen. The end comes on the
    // worker while the engine still counts as working.
    void aHeldRunRefusesMoreAndIsJoinedOrOutlivesItsOwner_data()
    {
        QTest::addColumn<bool>("joined");
        QTest::newRow("owner lets go") << false;
        QTest::newRow("joined before the first entry") << true;
    }
    void aHeldRunRefusesMoreAndIsJoinedOrOutlivesItsOwner()
    {
        QFETCH(bool, joined);
        Fixture f;
        f.image("a.png", 1);
        f.engine->target().setFilePath(f.outsideImage("target.png", 2));
        f.engine->setTopDirPath(f.root);
        f.engine->setIndexFilePath(f.root + "/index.ovi");
        const auto gate = std::make_shared<Gate>();
        f.engine->setThreadStarter(gatedStarter(gate));

        QVERIFY(f.engine->beginSearch());
        QVERIFY(f.engine->isWorking());
        QCOMPARE(f.engine->beginSearch().code, Refusal::Busy);
        QCOMPARE(f.engine->makeIndexFile().code, Refusal::Busy);
        QCOMPARE(f.recorder.endCount(), 2);
        QCOMPARE(gate->starts, 1);
        const std::weak_ptr<TGraphicSearch> watch = f.engine;
        if (!joined)
            f.engine.reset();
        QVERIFY(!watch.expired()); // the worker holds its share
        std::thread releaser([gate, joined] {
            if (joined)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gate->release();
        });
        if (joined) {
            f.engine->join();
            QCOMPARE(f.recorder.endCount(), 3);
            QVERIFY(!f.engine->isWorking());
            QCOMPARE(int(f.recorder.events().size()), 3);
            QCOMPARE(f.engine->lastRunSummary().outcome, RunSummary::Outcome::Stopped);
        } else {
            QVERIFY(f.recorder.waitForEnds(3));
            QTRY_VERIFY_WITH_TIMEOUT(watch.expired(), 10000);
            QCOMPARE(f.recorder.paths(Event::Progress).size(), std::size_t(1)); // the run went on
        }
        releaser.join();
        QVERIFY(f.recorder.events().back().working);
        QVERIFY(f.recorder.events().back().thread != std::this_thread::get_id());
    }

    // One walk order, whatever the number of decoding threads: the receiver
    // sees exactly what one thread would have shown it.
    void walksDepthFirstInListingOrderWithAnyJobs()
    {
        Fixture f;
        f.image("a.png", 1);
        f.folder("b/deeper");
        f.image("b/b1.png", 2);
        f.image("b/deeper/b2.png", 3);
        f.image("c.png", 4);
        f.image(".hidden.png", 5);
        f.text("notes.txt");
        // special files are never read: an empty one, a FIFO, a device, and
        // one that claims to be a regular file
        f.text("empty.jpg", {});
        QCOMPARE(::mkfifo((f.root + "/pipe.jpg").c_str(), 0600), 0);
        f.link("/dev/zero", "zero.jpg");
        f.link("/proc/self/status", "b/status.jpg");
        f.folder("empty");
        for (int i = 0; i < 12; ++i)
            f.image(std::string("b/many").append(std::to_string(i)) + ".png",
                    10u + static_cast<quint32>(i));

        std::vector<std::string> expected;
        expectedWalk(f.root, expected);
        std::vector<std::string> first;
        for (const int jobs : {1, 2, 8}) {
            f.recorder.clear();
            f.engine->setJobs(jobs);
            QVERIFY(f.runEverythingHits(f.root));
            QCOMPARE(f.recorder.paths(Event::Progress), expected);
            const auto events = f.recorder.events();
            for (std::size_t i = 0; i + 1 < events.size(); ++i) {
                if (events[i].kind != Event::Progress)
                    continue;
                QVERIFY(!events[i].signature); // the record holds only its path
                const bool picture = events[i].path.find(".png") != std::string::npos;
                QCOMPARE(events[i + 1].kind, picture ? Event::Hit : Event::Skip);
                QCOMPARE(events[i + 1].path, events[i].path); // its own hit follows at once
            }
            QCOMPARE(events.back().kind, Event::End);
            if (first.empty())
                first = f.recorder.transcript();
            QCOMPARE(f.recorder.transcript(), first);
            const RunSummary summary = f.engine->lastRunSummary();
            QCOMPARE(summary.examined, std::int64_t(expected.size()));
            QCOMPARE(summary.hits, std::int64_t(17));
            QCOMPARE(summary.skipped[std::size_t(SkipReason::NotAnImage)], std::int64_t(1));
            QCOMPARE(summary.skipped[std::size_t(SkipReason::SpecialFile)], std::int64_t(4));
        }
    }

    // The count beside a grouping's walk (held at its first file: one thread
    // decodes few ahead) meets what the walk meets; the phase follows the run.
    void aGroupingCountsItsFilesAndTellsItsPhase()
    {
        Fixture f;
        f.folder("b/deeper");
        f.image("a.png", 1);
        f.image("b/deeper/b2.png", 3);
        for (const char* name : {"b/t1.txt", "t2.txt", "t3.txt", "t4.txt"})
            f.text(name);
        f.link(f.root + "/b", "b-again");
        f.engine->setJobs(1);
        std::atomic<int> decoding{0};
        std::atomic<std::int64_t> counted{-1};
        f.recorder.onProgress = [&](const std::string&) {
            counted.store(countedAhead(*f.engine, counted.load()));
            if (f.engine->groupingProgress().phase.load() == GroupingPhase::Decoding)
                ++decoding;
        };
        f.engine->setTopDirPath(f.root);
        QVERIFY(f.run([&] { return f.engine->beginGroups(); }));
        QCOMPARE(decoding.load(), 8);
        QCOMPARE(f.engine->groupingProgress().phase.load(), GroupingPhase::Forming);
        QCOMPARE(counted.load(), std::int64_t(8));
        QCOMPARE(f.engine->lastRunSummary().estimated, std::int64_t(8));
    }

    void stopLetsTheFileInHandFinish_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one thread") << 1;
        QTest::newRow("four threads") << 4;
    }
    void stopLetsTheFileInHandFinish()
    {
        QFETCH(int, jobs);
        Fixture f;
        f.folder("sub");
        for (int i = 0; i < 5; ++i) {
            f.image(std::string("sub/p").append(std::to_string(i)) + ".png",
                    10u + static_cast<quint32>(i));
            f.image(std::string("q").append(std::to_string(i)) + ".png",
                    20u + static_cast<quint32>(i));
        }
        std::once_flag once;
        f.recorder.onProgress = [&](const std::string&) {
            std::call_once(once, [&] { f.engine->stop(); });
        };
        f.engine->setJobs(jobs);
        QVERIFY(f.runEverythingHits(f.root));
        const auto events = f.recorder.events();
        QCOMPARE(int(events.size()), 3);
        QCOMPARE(events[0].kind, Event::Progress);
        QCOMPARE(events[1].kind, Event::Hit); // the file in hand still reports its hit
        QCOMPARE(events[2].kind, Event::End);
    }

    // A decode that runs out of memory beside others is tried again once no
    // other decode runs; only a decode that fails alone counts as out of memory.
    void outOfMemoryBesideOthersIsTriedAlone_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("failsAlone");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("attempts");
        QTest::newRow("beside others, then alone")
            << 3 << false << int(platform::LoadFailure::None) << 2;
        QTest::newRow("alone as well") << 3 << true << int(platform::LoadFailure::OutOfMemory) << 2;
        QTest::newRow("alone from the start")
            << 1 << false << int(platform::LoadFailure::OutOfMemory) << 1;
    }
    void outOfMemoryBesideOthersIsTriedAlone()
    {
        QFETCH(int, jobs);
        QFETCH(bool, failsAlone);
        QFETCH(int, failure);
        QFETCH(int, attempts);
        QTemporaryDir dir;
        const std::vector<std::string> names{"big", "s1", "s2", "s3", "s4"};
        for (const std::string& name : names)
            QVERIFY(writeText(dir.filePath(QString::fromStdString(name)),
                              QByteArray::fromStdString(name.substr(0, 1))));

        std::mutex mutex;
        std::condition_variable changed;
        int running = 0;
        int tries = 0;
        int runningAtRetry = 0;
        bool failed = false;
        // The big file fails while the other threads hold theirs, which end
        // only once it has failed.
        const auto decoder = [&](int fd, std::vector<std::int16_t>& values,
                                 std::optional<FineSignature>&) {
            char kind = 0;
            const bool read = ::pread(fd, &kind, 1, 0) == 1;
            ::close(fd);
            std::unique_lock lock(mutex);
            ++running;
            changed.notify_all();
            auto result = read ? platform::LoadFailure::None : platform::LoadFailure::ReadError;
            if (kind == 'b' && ++tries == 1) {
                changed.wait(lock, [&] { return running == jobs; });
                failed = true;
                result = platform::LoadFailure::OutOfMemory;
            } else if (kind == 'b') {
                runningAtRetry = running;
                if (failsAlone)
                    result = platform::LoadFailure::OutOfMemory;
            } else {
                changed.wait(lock, [&] { return failed; });
            }
            --running;
            changed.notify_all();
            if (result == platform::LoadFailure::None)
                values.assign(1, static_cast<std::int16_t>(kind));
            return result;
        };
        std::atomic<bool> proceed{true};
        std::vector<std::pair<std::string, platform::LoadFailure>> handed;
        DecodePipeline pipeline(
            jobs, 8, proceed, [](DecodePipeline::Item&) {},
            [&](DecodePipeline::Item& item) {
                handed.emplace_back(item.path, item.values.empty() ? item.failure
                                                                   : platform::LoadFailure::None);
            },
            decoder);
        if (pipeline.threadCount() != (jobs > 1 ? jobs : 0))
            QSKIP("the memory limits here leave room for fewer threads");
        for (const std::string& name : names) {
            DecodePipeline::Item item;
            item.path = name;
            item.file.reset(::open(
                dir.filePath(QString::fromStdString(name)).toLocal8Bit().constData(), O_RDONLY));
            item.decode = true;
            pipeline.submit(std::move(item));
        }
        pipeline.finish();
        QCOMPARE(int(handed.size()), int(names.size()));
        QCOMPARE(handed[0].first, names[0]);
        QCOMPARE(int(handed[0].second), failure);
        for (std::size_t i = 1; i < handed.size(); ++i)
            QCOMPARE(int(handed[i].second), int(platform::LoadFailure::None));
        QCOMPARE(tries, attempts);
        if (attempts == 2)
            QCOMPARE(runningAtRetry, 1);
    }

    void linksAreFollowedButCyclesAndRepeatsEnd()
    {
        Fixture f;
        f.folder("real/inner");
        f.image("real/inner/pic.png", 1);
        f.image("real/top.png", 2);
        f.link("real", "alias");             // second path to the same folder
        f.link("..", "real/inner/up");       // cycle back to real
        f.link("../..", "real/inner/farUp"); // cycle back to the top
        f.link("real/top.png", "fileLink.png");
        f.link("gone.png", "dangling.png");
        QVERIFY(f.runEverythingHits(f.root));
        auto progress = f.recorder.paths(Event::Progress);
        std::sort(progress.begin(), progress.end());
        const std::vector<std::string> expected{
            f.root + "/alias/inner/pic.png", f.root + "/alias/top.png", f.root + "/fileLink.png",
            f.root + "/real/inner/pic.png", f.root + "/real/top.png"};
        QCOMPARE(progress, expected);

        // Sibling folders linking to each other: the paths multiply with every
        // folder, the walks of one folder stay bounded.
        Fixture g;
        const int folders = 12;
        for (int i = 0; i < folders; ++i) {
            g.folder(std::string("f").append(std::to_string(i)));
            g.image(std::string("f").append(std::to_string(i)) + "/p.png", static_cast<quint32>(i));
            for (int j = 0; j < i; ++j) {
                g.link(std::string("../f").append(std::to_string(j)),
                       std::string("f").append(std::to_string(i)) +
                           std::string("/l").append(std::to_string(j)));
                g.link(std::string("../f").append(std::to_string(i)),
                       std::string("f").append(std::to_string(j)) +
                           std::string("/l").append(std::to_string(i)));
            }
        }
        QVERIFY(g.runEverythingHits(g.root));
        const RunSummary summary = g.engine->lastRunSummary();
        QVERIFY(summary.hits >= folders);
        QVERIFY(summary.hits <= folders * FolderWalk::kMaxFolderVisits);
        QVERIFY(summary.skipped[std::size_t(SkipReason::FolderRepeated)] > 0);
    }

    void unreadableFolderIsSkippedAndCounted()
    {
        if (::geteuid() == 0)
            QSKIP("root lists any folder whatever its permissions");
        Fixture f;
        f.folder("locked");
        f.image("locked/secret.png", 1);
        f.image("open.png", 2);
        QCOMPARE(::chmod((f.root + "/locked").c_str(), 0), 0);
        const bool ran = f.runEverythingHits(f.root);
        ::chmod((f.root + "/locked").c_str(), 0700);
        QVERIFY(ran);
        QCOMPARE(f.recorder.paths(Event::Progress), std::vector<std::string>{f.root + "/open.png"});
        QCOMPARE(f.engine->lastRunSummary().skipped[std::size_t(SkipReason::FolderUnlistable)],
                 std::int64_t(1));
    }

    void exclusionsMatchFoldersAtABoundaryAndNamesByteForByte_data()
    {
        QTest::addColumn<std::string>("folder");
        QTest::addColumn<std::string>("pattern");
        QTest::addColumn<std::string>("path");
        QTest::addColumn<bool>("excluded");
        const auto row = [](const char* name, const char* folder, const char* pattern,
                            const char* path, bool excluded) {
            QTest::newRow(name) << std::string(folder) << std::string(pattern) << std::string(path)
                                << excluded;
        };
        row("the folder itself", "/a/b", "", "/a/b", true);
        row("under it, a final slash", "/a/b//", "", "/a/b/c/x.jpg", true);
        row("a longer name beside it", "/a/b", "", "/a/bc/x.jpg", false);
        row("a relative folder is none", "a/b", "", "/w/a/b/x.jpg", false);
        row("a name along the path", "", ".thumbnails", "/p/.thumbnails/big/x.png", true);
        row("part of a name is not the name", "", "@eaDir", "/p/x@eaDir/y.jpg", false);
        row("a star takes a leading dot", "", "*.tmp", "/p/.x.tmp", true);
        row("a star never crosses a slash", "", "p*y.jpg", "/p/x/y.jpg", false);
        row("a question mark is one byte", "", "?t?.png", "/p/\xc3\xa9t\xc3\xa9.png", false);
        row("two bytes of UTF-8", "", "??t??.png", "/p/\xc3\xa9t\xc3\xa9.png", true);
        row("no UTF-8", "", "\xe9?\xe9.*", "/p/\xe9t\xe9.png", true);
        row("a slash in a pattern matches no name", "", "p/x", "/p/x", false);
    }
    void exclusionsMatchFoldersAtABoundaryAndNamesByteForByte()
    {
        QFETCH(std::string, folder);
        QFETCH(std::string, pattern);
        QFETCH(std::string, path);
        QFETCH(bool, excluded);
        // In a UTF-8 locale fnmatch would take "é" for one character.
        const std::string before = std::setlocale(LC_ALL, nullptr);
        QVERIFY(std::setlocale(LC_ALL, "C.UTF-8") != nullptr);
        const bool answer = Exclusions({folder}, {pattern}).excludes(path);
        std::setlocale(LC_ALL, before.c_str());
        QCOMPARE(answer, excluded);
    }

    // The same pictures with the same exclusions from a folder walked, an
    // index of all of it read and an index written with them; the walk never
    // lists an excluded folder, which keeps the access time it was given.
    void exclusionsGiveTheSameCollectionEitherWay()
    {
        Fixture f;
        f.folder("keep/@eaDir");
        f.folder("other");
        for (const char* copy : {"keep/a.png", "keep/@eaDir/a.png", "other/a.png"})
            f.image(copy, 1);
        f.image("keep/b.tmp", 2);
        const Exclusions exclusions({f.root + "/other"}, {"@eaDir", "*.tmp"});
        const std::string all = str(f.outside.filePath(QStringLiteral("all.idx")));
        const std::string some = str(f.outside.filePath(QStringLiteral("some.idx")));
        QVERIFY(f.makeIndex(f.root, all));
        const timespec old[2] = {{946684800, 0}, {0, UTIME_OMIT}};
        const auto age = [&](const char* folder) {
            struct stat status {};
            ::stat((f.root + "/" + folder).c_str(), &status);
            return status.st_atim.tv_sec;
        };
        for (const char* folder : {"keep", "keep/@eaDir", "other"})
            QCOMPARE(::utimensat(AT_FDCWD, (f.root + "/" + folder).c_str(), old, 0), 0);
        f.engine->setExclusions(exclusions);
        QVERIFY(f.makeIndex(f.root, some));
        QCOMPARE(f.engine->lastRunSummary().indexed, std::int64_t(1));
        QCOMPARE(f.engine->lastRunSummary().excluded, std::int64_t(3));
        if (age("keep") != old[0].tv_sec) { // else the file system keeps no access times
            QCOMPARE(age("other"), old[0].tv_sec);
            QCOMPARE(age("keep/@eaDir"), old[0].tv_sec);
        }
        // Hits at bits 0 (any picture), or the number of groups of identical copies.
        const auto found = [&](bool groups, SearchMethod method, const std::string& index,
                               bool exclude) {
            f.recorder.clear();
            f.engine->setExclusions(exclude ? exclusions : Exclusions());
            f.engine->setSearchMethod(method);
            f.engine->setIndexFilePath(index);
            f.engine->target().setFilePath(f.outsideImage("target.png", 99));
            f.engine->setBits(groups ? 4 : 0);
            f.engine->setMatchRate(groups ? 100 : 70);
            if (!f.run([&] { return groups ? f.engine->beginGroups() : f.engine->beginSearch(); }))
                return std::vector<std::string>{"no run"};
            const auto result = f.engine->lastGroups();
            return groups ? std::vector<std::string>{std::to_string(result->groups.size())}
                          : f.recorder.paths(Event::Hit);
        };
        const std::vector<std::string> one{f.root + "/keep/a.png"};
        QCOMPARE(found(false, SearchMethod::Directory, all, true), one);
        QCOMPARE(found(false, SearchMethod::IndexFile, all, true), one);
        QCOMPARE(found(false, SearchMethod::IndexFile, some, false), one);
        QCOMPARE(found(true, SearchMethod::IndexFile, all, false), std::vector<std::string>{"1"});
        for (const SearchMethod method : {SearchMethod::Directory, SearchMethod::IndexFile})
            QCOMPARE(found(true, method, all, true), std::vector<std::string>{"0"});
        // A folder left out whole would empty the index there; it is kept.
        f.engine->setExclusions(Exclusions({f.root}, {}));
        QVERIFY(f.makeIndex(f.root, some));
        QCOMPARE(f.engine->lastRunSummary().index, RunSummary::IndexResult::KeptExisting);
        QCOMPARE(found(false, SearchMethod::IndexFile, some, false), one);
    }

    // Paths beyond what the system takes whole, and names that are no UTF-8.
    void deepTreesAndOddNamesAreWalked()
    {
        Fixture f;
        const std::string name(100, 'd');
        int fd = ::open(f.root.c_str(), O_RDONLY | O_DIRECTORY);
        std::string deepest = f.root;
        for (int level = 0; level < 60; ++level) { // 6,000 bytes: past PATH_MAX
            QCOMPARE(::mkdirat(fd, name.c_str(), 0700), 0);
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            deepest += "/" + name;
        }
        QFile source(QString::fromStdString(f.outsideImage("deep.png", 5)));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray png = source.readAll();
        const int file = ::openat(fd, "deep.png", O_WRONLY | O_CREAT, 0600);
        QCOMPARE(::write(file, png.data(), static_cast<std::size_t>(png.size())), png.size());
        ::close(file);
        ::close(fd);
        f.rawFile("\xe9t\xe9.png", png);
        QVERIFY(f.runEverythingHits(f.root));
        auto hits = f.recorder.paths(Event::Hit);
        std::sort(hits.begin(), hits.end());
        QCOMPARE(hits,
                 (std::vector<std::string>{deepest + "/deep.png", f.root + "/\xe9t\xe9.png"}));
        // rm takes a tree too deep for a whole path, and names QDir cannot spell
        QCOMPARE(QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), f.dir.path()}), 0);
    }

    void settingsGoInWholeAndComeBackButThePixelNumber()
    {
        TSetting setting;
        setting.setTargetFilePath(std::string("/t.jpg"));
        setting.setTopDirPath(std::string("/photos"));
        setting.setBits(4);
        setting.setPixelNumber(12);
        setting.setSearchMethod(SearchMethod::IndexFile);
        setting.setAnyOrientation(true);
        const auto engine = std::make_shared<TGraphicSearch>(nullptr);
        engine->loadSetting(setting);
        QVERIFY(engine->anyOrientation());
        QCOMPARE(engine->topDirPath(), std::optional<std::string>("/photos"));
        QCOMPARE(engine->indexFilePath(), std::optional<std::string>(""));
        QCOMPARE(engine->pixelNumber(), 12);

        engine->setPixelNumber(16); // as an index head would
        engine->setMatchRate(80);
        engine->setAnyOrientation(false);
        engine->target().setFilePath(std::nullopt);
        TSetting back = setting;
        engine->saveSetting(back);
        QCOMPARE(back.pixelNumber(), 12);
        QCOMPARE(back.matchRate(), 80);
        QCOMPARE(back.targetFilePath(), std::string("/t.jpg")); // engine holds none: kept
        QCOMPARE(back.bits(), 4);
        QVERIFY(!back.anyOrientation());
    }
};

QObject* makeEngineTests()
{
    return new TestEngine;
}

#include "tst_engine.moc"
