#include "engine/tests/EngineTestSupport.h"
#include "indexfile/TChunk.h"
#include "platform/FileHandle.h"

#include <QFile>

using namespace ovrin;
using namespace ovrin::test;

namespace {

QByteArray readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const std::string& path, const QByteArray& bytes)
{
    return writeText(QString::fromStdString(path), bytes);
}

QByteArray chunk(const char* id, const QByteArray& data)
{
    QByteArray size(4, '\0');
    for (int i = 0; i < 4; ++i)
        size[i] = static_cast<char>((data.size() >> (24 - 8 * i)) & 0xff);
    return QByteArray(id, 4) + size + data;
}

QByteArray thumbData(const std::vector<std::int16_t>& values)
{
    QByteArray data;
    for (const std::int16_t v : values) {
        data += static_cast<char>((static_cast<std::uint16_t>(v) >> 8) & 0xff);
        data += static_cast<char>(static_cast<std::uint16_t>(v) & 0xff);
    }
    return data;
}

QByteArray head(int pixelNumber)
{
    QByteArray data(256, '\0');
    data[1] = 1;
    data[7] = static_cast<char>(pixelNumber);
    return chunk("OVHD", data);
}

// Paths and thumbnail counts of the entries of an index file, in file order.
std::vector<std::pair<std::string, int>> entries(const std::string& path)
{
    std::vector<std::pair<std::string, int>> result;
    auto handle = platform::FileHandle::forReading(path);
    std::string current;
    for (;;) {
        TChunk c;
        if (c.read(handle.get()) == 0)
            break;
        if (c.ckID() == TChunk::kPathID)
            current = TChunkPath(c).path().value_or("");
        else if (c.ckID() == TChunk::kThumbID)
            result.emplace_back(current, TChunkThumb(c).thumbnailCount());
    }
    return result;
}

struct IndexFixture : Fixture {
    // a tree of five pictures, a text file and a sub-folder
    void makeTree()
    {
        folder("tree/sub");
        for (int i = 0; i < 3; ++i)
            image("tree/p" + std::to_string(i) + ".png", 30u + static_cast<quint32>(i));
        image("tree/sub/q.png", 31); // a copy of p1
        image("tree/sub/r.jpg", 40);
        text("tree/notes.txt");
    }
    bool makeIndex(const std::string& top, const std::string& index)
    {
        engine->setTopDirPath(top);
        engine->setIndexFilePath(index);
        const int before = recorder.endCount();
        const bool ok = engine->makeIndexFile() && recorder.waitForEnds(before + 1);
        engine->join();
        return ok;
    }
    // hits of one search as "rate path", sorted
    std::vector<std::string> search(int method)
    {
        engine->setSearchMethod(method);
        const auto before = recorder.events().size();
        const int ends = recorder.endCount();
        engine->beginSearch();
        recorder.waitForEnds(ends + 1);
        engine->join();
        std::vector<std::string> hits;
        const auto events = recorder.events();
        for (auto i = before; i < events.size(); ++i)
            if (events[i].kind == Event::Hit)
                hits.push_back(std::to_string(events[i].rate) + " " + events[i].path);
        std::sort(hits.begin(), hits.end());
        return hits;
    }
};

} // namespace

class TestIndex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void indexSearchGivesTheFolderSearchHits()
    {
        IndexFixture f;
        f.makeTree();
        const std::string index = f.root + "/tree/index.ovi"; // inside the tree, skipped
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        QCOMPARE(f.engine->lastIndexError(), std::nullopt);
        QCOMPARE(f.engine->lastIndexedImageCount(), 5);

        const auto stored = entries(index);
        QCOMPARE(stored.size(), std::size_t(5));
        for (const auto& [path, count] : stored) {
            QVERIFY(path.find("index.ovi") == std::string::npos);
            QCOMPARE(count, 64);
        }
        const QByteArray bytes = readAll(index);
        QCOMPARE(bytes.left(264), head(8));
        // no temporary file left, none reported
        for (const std::string& p : f.recorder.paths(Event::Progress))
            QVERIFY(p.find(".ovrin-") == std::string::npos && p != index);
        QCOMPARE(f.recorder.paths(Event::Progress).size(), std::size_t(6));
        QCOMPARE(QDir(QString::fromStdString(f.root + "/tree")).entryList(QDir::Files).size(), 5);

        f.engine->target().setFilePath(f.root + "/tree/p1.png");
        f.engine->setTopDirPath(f.root + "/tree");
        f.engine->setMatchRate(60);
        const auto fromFolder = f.search(0);
        f.engine->setPixelNumber(3); // the index check must bring back the head's 8
        QVERIFY(f.engine->checkIndexFile(index));
        QCOMPARE(f.engine->pixelNumber(), 8);
        const auto fromIndex = f.search(1);
        QVERIFY(fromFolder.size() >= 2);
        QCOMPARE(fromIndex, fromFolder);
    }

    void headCarriesThePixelNumber()
    {
        IndexFixture f;
        f.makeTree();
        f.engine->setPixelNumber(16);
        const std::string index = f.root + "/i16.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        QCOMPARE(entries(index).front().second, 256);
        f.engine->setPixelNumber(8);
        QVERIFY(f.engine->checkIndexFile(index));
        QCOMPARE(f.engine->pixelNumber(), 16);
    }

    void notIndexFilesLeaveThePixelNumber()
    {
        IndexFixture f;
        f.engine->setPixelNumber(11);
        QVERIFY(writeAll(f.root + "/short", "OVHD\0\0\0"));
        QVERIFY(writeAll(f.root + "/other", "OVPT\0\0\0\x02/x"));
        const std::string picture = f.image("pic.png", 1);
        for (const std::string& path :
             {f.root + "/short", f.root + "/other", picture, f.root + "/missing", f.root}) {
            QVERIFY(!f.engine->checkIndexFile(path));
            QCOMPARE(f.engine->pixelNumber(), 11);
        }
        // only the first four bytes decide: a head cut short reads as pixel number 0
        QVERIFY(writeAll(f.root + "/cut", head(8).left(20)));
        QVERIFY(f.engine->checkIndexFile(f.root + "/cut"));
        QCOMPARE(f.engine->pixelNumber(), 0);
    }

    void olderLongerIndexLeavesNoStaleBytes()
    {
        IndexFixture f;
        f.makeTree();
        const std::string index = f.root + "/index.ovi";
        QVERIFY(writeAll(index, head(8) + QByteArray(100000, 'x')));
        QVERIFY(f.makeIndex(f.root + "/tree/sub", index));
        QCOMPARE(entries(index).size(), std::size_t(2));
        QCOMPARE(readAll(index).size(),
                 264 + 2 * 136 + int(std::string(f.root + "/tree/sub/q.png").size()) + 8 +
                     int(std::string(f.root + "/tree/sub/r.jpg").size()) + 8);
    }

    void linkAtTheIndexPathIsFollowed()
    {
        IndexFixture f;
        f.makeTree();
        f.folder("real");
        QVERIFY(writeAll(f.root + "/real/index.ovi", "old"));
        f.link("real/index.ovi", "link.ovi");
        QVERIFY(f.makeIndex(f.root + "/tree/sub", f.root + "/link.ovi"));
        QVERIFY(QFileInfo(QString::fromStdString(f.root + "/link.ovi")).isSymLink());
        QCOMPARE(entries(f.root + "/real/index.ovi").size(), std::size_t(2));
    }

    void failedWritesKeepTheOldIndex()
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
        const auto error = f.engine->lastIndexError();
        QVERIFY(error.has_value());
        QVERIFY2(error->find(std::strerror(ENOSPC)) != std::string::npos, error->c_str());
        QCOMPARE(QDir(QString::fromStdString(f.root)).entryList(QDir::Files).size(), 1);

        // a new index that cannot be finished leaves nothing behind
        platform::FileHandle::setWriteBudgetForTesting(100);
        QVERIFY(f.makeIndex(f.root + "/tree", f.root + "/new.ovi"));
        platform::FileHandle::setWriteBudgetForTesting(-1);
        QVERIFY(f.engine->lastIndexError().has_value());
        QVERIFY(!QFile::exists(QString::fromStdString(f.root + "/new.ovi")));

        // a folder that does not exist: reported, one end callback
        const int ends = f.recorder.endCount();
        QVERIFY(f.makeIndex(f.root + "/tree", f.root + "/nowhere/index.ovi"));
        QCOMPARE(f.recorder.endCount(), ends + 1);
        QVERIFY(f.engine->lastIndexError().has_value());

        // and the next good run clears the failure
        QVERIFY(f.makeIndex(f.root + "/tree/sub", index));
        QCOMPARE(f.engine->lastIndexError(), std::nullopt);
    }

    void stopLeavesAShorterWellFormedIndex()
    {
        IndexFixture f;
        f.makeTree();
        std::once_flag once;
        f.recorder.onProgress = [&](const std::string&) {
            std::call_once(once, [&] { f.engine->stop(); });
        };
        const std::string index = f.root + "/index.ovi";
        QVERIFY(f.makeIndex(f.root + "/tree", index));
        QCOMPARE(f.recorder.endCount(), 1);
        const auto stored = entries(index);
        QVERIFY(stored.size() <= 1);
        QCOMPARE(f.engine->lastIndexError(), std::nullopt);
        QVERIFY(f.engine->checkIndexFile(index));
    }

    void searchWalksChunksAsTheyCome()
    {
        IndexFixture f;
        const std::string target = f.image("target.png", 5);
        TFileInfo info(target);
        QVERIFY(info.makeThumbnail(8));
        const QByteArray same = thumbData(info.thumbnail());
        const std::string index = f.root + "/hand.ovi";
        QVERIFY(writeAll(index, head(8) + chunk("OVTM", same) + // before any path
                                    chunk("OVPT", "/a.png") + chunk("OVTM", same) +
                                    chunk("XTRA", "skip me") + chunk("OVTM", same) +  // same path
                                    chunk("OVPT", "\xc3\x28") + chunk("OVTM", same) + // bad UTF-8
                                    chunk("OVPT", "/b.png") +
                                    chunk("OVTM", thumbData(std::vector<std::int16_t>(49))) +
                                    chunk("OVHD", "ignored") + chunk("OVTM", same) +
                                    QByteArray("\0\0\0", 3))); // trailing fragment
        f.engine->target().setFilePath(target);
        f.engine->setIndexFilePath(index);
        QVERIFY(f.engine->checkIndexFile(index));
        QCOMPARE(f.search(1), (std::vector<std::string>{"100 /a.png", "100 /a.png", "100 /b.png"}));
        QVERIFY(f.recorder.paths(Event::Progress).empty());

        QVERIFY(writeAll(index, head(8)));
        QVERIFY(f.search(1).empty());
        ::unlink(index.c_str()); // vanished between check and search
        QVERIFY(f.search(1).empty());
        QCOMPARE(f.recorder.endCount(), 3);
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
        const auto all = f.search(1);
        QCOMPARE(all.size(), std::size_t(5));
        for (qsizetype length = 0; length < whole.size(); ++length) {
            QVERIFY(writeAll(f.root + "/cut.ovi", whole.left(length)));
            f.engine->setPixelNumber(8);
            const auto hits = f.search(1);
            QVERIFY(std::includes(all.begin(), all.end(), hits.begin(), hits.end()));
        }
        QCOMPARE(f.recorder.endCount(), 2 + static_cast<int>(whole.size()));
    }
};

QObject* makeIndexTests()
{
    return new TestIndex;
}

#include "tst_index.moc"
