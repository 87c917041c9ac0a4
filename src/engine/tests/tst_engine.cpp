#include "engine/TGraphicSearch.h"
#include "engine/tests/EngineTestSupport.h"
#include "platform/FileManager.h"
#include "support/TestImages.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ovrin;
using ovrin::test::str;

using namespace ovrin::test;

namespace {

// The walk order the engine must follow: depth first, each folder in the order
// the file system lists it, links followed.
void expectedWalk(const std::string& folder, std::vector<std::string>& out)
{
    const auto names = platform::FileManager::directoryContents(folder);
    if (!names)
        return;
    for (const std::string& name : *names) {
        const std::string path = platform::FileManager::appendPathComponent(folder, name);
        const auto status = platform::FileManager::fileStatus(path);
        if (!status)
            continue;
        if (status->isDirectory)
            expectedWalk(path, out);
        else
            out.push_back(path);
    }
}

} // namespace
class TestEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newEngineHasTheDefaults()
    {
        Recorder recorder;
        const auto engine = std::make_shared<TGraphicSearch>(&recorder);
        QCOMPARE(engine->bits(), 3);
        QCOMPARE(engine->matchRate(), 70);
        QCOMPARE(engine->pixelNumber(), 8);
        QCOMPARE(engine->searchMethod(), 0);
        QVERIFY(!engine->topDirPath());
        QVERIFY(!engine->indexFilePath());
        QVERIFY(!engine->isWorking());
        QVERIFY(!engine->target().filePath());
        engine->setTopDirPath(std::string{});
        QCOMPARE(engine->topDirPath(), std::optional<std::string>(""));
    }

    void refusalsEndOnceOnTheCallingThread_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("target without path") << QStringLiteral("no target path");
        QTest::newRow("target not an image") << QStringLiteral("unreadable target");
        QTest::newRow("both paths absent") << QStringLiteral("no paths");
        QTest::newRow("unknown search method") << QStringLiteral("method 7");
        QTest::newRow("no thread to be had") << QStringLiteral("thread fails");
        QTest::newRow("pixel number out of range") << QStringLiteral("pixel number 0");
    }
    void refusalsEndOnceOnTheCallingThread()
    {
        QFETCH(QString, situation);
        Fixture f;
        const std::string target = f.image("target.png", 1);
        f.engine->target().setFilePath(target);
        f.engine->setTopDirPath(f.root);
        int starts = 0;
        f.engine->setThreadStarter([&starts](std::function<void()> body) {
            ++starts;
            std::thread(std::move(body)).detach();
            return true;
        });

        if (situation == QLatin1String("no target path"))
            f.engine->target().setFilePath(std::nullopt);
        else if (situation == QLatin1String("unreadable target"))
            f.engine->target().setFilePath(f.text("notes.txt"));
        else if (situation == QLatin1String("no paths"))
            f.engine->setTopDirPath(std::nullopt);
        else if (situation == QLatin1String("method 7"))
            f.engine->setSearchMethod(7);
        else if (situation == QLatin1String("pixel number 0"))
            f.engine->setPixelNumber(0);
        else
            f.engine->setThreadStarter([&starts](std::function<void()>) {
                ++starts;
                return false;
            });

        QVERIFY(!f.engine->beginSearch());
        QCOMPARE(f.recorder.endCount(), 1);
        QCOMPARE(f.recorder.events().front().thread, std::this_thread::get_id());
        QVERIFY(!f.engine->isWorking());
        QCOMPARE(int(f.recorder.events().size()), 1);
        if (situation == QLatin1String("no paths"))
            QCOMPARE(f.engine->target().thumbnailCount(), 64); // remade before the path test
        if (situation != QLatin1String("thread fails"))
            QCOMPARE(starts, 0);

        // whatever refused, the engine can run again once the cause is gone
        f.engine->setThreadStarter({});
        f.engine->target().setFilePath(target);
        f.engine->setTopDirPath(f.root);
        f.engine->setSearchMethod(0);
        f.engine->setPixelNumber(8);
        QVERIFY(f.engine->beginSearch());
        QVERIFY(f.recorder.waitForEnds(2));
    }

    void pathTestsCountAbsenceOnly()
    {
        Fixture f;
        f.engine->target().setFilePath(f.image("target.png", 1));
        f.engine->setTopDirPath(std::string{});
        QVERIFY(f.engine->beginSearch()); // empty passes; the walk just finds nothing
        QVERIFY(f.recorder.waitForEnds(1));
        f.engine->join();
        QCOMPARE(int(f.recorder.events().size()), 1);

        QVERIFY(!f.engine->makeIndexFile()); // empty refused for an index
        QCOMPARE(f.recorder.endCount(), 2);
        f.engine->setTopDirPath(std::nullopt);
        QVERIFY(!f.engine->makeIndexFile());
        QCOMPARE(f.recorder.endCount(), 3);

        Fixture g;
        g.engine->target().setFilePath(std::nullopt);
        g.engine->setTopDirPath(g.root);
        QVERIFY(g.engine->makeIndexFile()); // needs neither index path nor target
        QVERIFY(g.recorder.waitForEnds(1));
        QCOMPARE(g.engine->target().thumbnailCount(), 0);
    }

    void busyEngineRefusesAndTheRunGoesOn()
    {
        Fixture f;
        f.image("a.png", 1);
        f.engine->target().setFilePath(f.outsideImage("target.png", 2));
        f.engine->setTopDirPath(f.root);
        const auto gate = std::make_shared<Gate>();
        f.engine->setThreadStarter(gatedStarter(gate));

        QVERIFY(f.engine->beginSearch());
        QVERIFY(f.engine->isWorking());
        QVERIFY(!f.engine->beginSearch());
        QVERIFY(!f.engine->makeIndexFile());
        QCOMPARE(f.recorder.endCount(), 2);
        QCOMPARE(gate->starts, 1);
        QVERIFY(f.engine->isWorking());

        gate->release();
        QVERIFY(f.recorder.waitForEnds(3));
        f.engine->join();
        QVERIFY(!f.engine->isWorking());
        QCOMPARE(f.recorder.paths(Event::Progress).size(), std::size_t(1)); // the run went on
    }

    void stopBeforeTheFirstEntryGivesOnlyTheEnd()
    {
        Fixture f;
        f.image("a.png", 1);
        f.image("b.png", 2);
        f.engine->target().setFilePath(f.root + "/a.png");
        f.engine->setTopDirPath(f.root);
        const auto gate = std::make_shared<Gate>();
        f.engine->setThreadStarter(gatedStarter(gate));
        QVERIFY(f.engine->beginSearch());
        f.engine->stop();
        gate->release();
        QVERIFY(f.recorder.waitForEnds(1));
        QCOMPARE(int(f.recorder.events().size()), 1);
    }

    void joinWaitsForTheEndCallback()
    {
        Fixture f;
        f.engine->join(); // idle: returns at once
        f.image("a.png", 1);
        f.engine->target().setFilePath(f.root + "/a.png");
        f.engine->setTopDirPath(f.root);
        const auto gate = std::make_shared<Gate>();
        f.engine->setThreadStarter(gatedStarter(gate));
        QVERIFY(f.engine->beginSearch());
        std::thread releaser([gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gate->release();
        });
        f.engine->join();
        QCOMPARE(f.recorder.endCount(), 1);
        QVERIFY(!f.engine->isWorking());
        QVERIFY(f.recorder.events().back().working);
        QVERIFY(f.recorder.events().back().thread != std::this_thread::get_id());
        releaser.join();
    }

    void stopWhenIdleDoesNotSpoilTheNextRun()
    {
        Fixture f;
        f.image("a.png", 1);
        f.image("b.png", 2);
        f.engine->stop();
        QVERIFY(!f.engine->isWorking());
        QVERIFY(f.runEverythingHits(f.root));
        QCOMPARE(f.recorder.paths(Event::Progress).size(), std::size_t(2));
    }

    void walksDepthFirstInListingOrder()
    {
        Fixture f;
        f.image("a.png", 1);
        f.folder("b/deeper");
        f.image("b/b1.png", 2);
        f.image("b/deeper/b2.png", 3);
        f.image("c.png", 4);
        f.image(".hidden.png", 5);
        f.text("notes.txt");
        f.folder("empty");

        QVERIFY(f.runEverythingHits(f.root));
        std::vector<std::string> expected;
        expectedWalk(f.root, expected);
        QCOMPARE(expected.size(), std::size_t(6));
        QCOMPARE(f.recorder.paths(Event::Progress), expected);

        // each image's hit follows its own progress at once; the text file has none
        const auto events = f.recorder.events();
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i].kind != Event::Progress)
                continue;
            QVERIFY(!events[i].signature); // progress comes before the signature is made
            const bool isImage = events[i].path.find("notes.txt") == std::string::npos;
            QCOMPARE(events[i + 1].kind == Event::Hit, isImage);
            if (isImage) {
                QCOMPARE(events[i + 1].path, events[i].path);
                QCOMPARE(events[i + 1].rate, 100);
            }
        }
        QCOMPARE(events.back().kind, Event::End);
    }

    void missingOrEmptyTopGivesOnlyTheEnd()
    {
        Fixture f;
        f.folder("empty");
        QVERIFY(f.runEverythingHits(f.root + "/empty"));
        QVERIFY(f.runEverythingHits(f.root + "/does-not-exist"));
        QCOMPARE(int(f.recorder.events().size()), 2);
    }

    void linksAreFollowedButCyclesEnd()
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
        QCOMPARE(f.recorder.paths(Event::Hit).size(), std::size_t(5));
    }

    void specialFilesAreSkippedWithoutHanging()
    {
        Fixture f;
        QCOMPARE(::mkfifo((f.root + "/pipe.jpg").c_str(), 0600), 0);
        f.link("/dev/zero", "zero.png");
        f.image("ok.png", 3);
        QVERIFY(f.runEverythingHits(f.root));
        QCOMPARE(f.recorder.paths(Event::Progress).size(), std::size_t(3));
        QCOMPARE(f.recorder.paths(Event::Hit), std::vector<std::string>{f.root + "/ok.png"});
    }

    void unreadableFolderIsSkipped()
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
    }

    void stopLetsTheFileInHandFinish()
    {
        Fixture f;
        f.folder("sub");
        for (int i = 0; i < 5; ++i) {
            f.image("sub/p" + std::to_string(i) + ".png", 10u + static_cast<quint32>(i));
            f.image("q" + std::to_string(i) + ".png", 20u + static_cast<quint32>(i));
        }
        std::once_flag once;
        f.recorder.onProgress = [&](const std::string&) {
            std::call_once(once, [&] { f.engine->stop(); });
        };
        QVERIFY(f.runEverythingHits(f.root));
        const auto events = f.recorder.events();
        QCOMPARE(int(events.size()), 3);
        QCOMPARE(events[0].kind, Event::Progress);
        QCOMPARE(events[1].kind, Event::Hit); // the file in hand still reports its hit
        QCOMPARE(events[2].kind, Event::End);
    }

    void engineOutlivesItsOwnerWhileWorking()
    {
        QTemporaryDir dir;
        ovrin::test::writeImage(dir.filePath(QStringLiteral("a.png")),
                                ovrin::test::photoLike(30, 30, 1), "png");
        Recorder recorder;
        auto engine = std::make_shared<TGraphicSearch>(&recorder);
        std::weak_ptr<TGraphicSearch> watch = engine;
        const auto gate = std::make_shared<Gate>();
        engine->setThreadStarter(gatedStarter(gate));
        engine->target().setFilePath(str(dir.filePath(QStringLiteral("a.png"))));
        engine->setTopDirPath(str(dir.path()));
        QVERIFY(engine->beginSearch());
        engine.reset();
        QVERIFY(!watch.expired()); // the worker holds its share
        gate->release();
        QVERIFY(recorder.waitForEnds(1));
        QTRY_VERIFY_WITH_TIMEOUT(watch.expired(), 10000);
    }
};

QObject* makeEngineTests()
{
    return new TestEngine;
}

#include "tst_engine.moc"
