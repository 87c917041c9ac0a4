#include "indexfile/TChunk.h"
#include "indexfile/TIndexLookup.h"
#include "indexfile/TIndexReader.h"
#include "platform/FileHandle.h"
#include "support/TestImages.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace ovrin;
using platform::FileHandle;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Writes the chunks through a real handle and gives back the file's bytes.
template <typename Fill>
QByteArray written(const QTemporaryDir& dir, Fill fill)
{
    const QString path = dir.filePath(QStringLiteral("out.ovi"));
    ovrin::test::writeText(path, QByteArray());
    {
        auto handle = FileHandle::forWriting(path.toStdString());
        fill(handle.get());
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray chunk(const char* id, const QByteArray& data)
{
    QByteArray size(4, '\0');
    for (int i = 0; i < 4; ++i)
        size[i] = static_cast<char>((data.size() >> (24 - 8 * i)) & 0xff);
    return QByteArray(id, 4) + size + data;
}

QByteArray be64(std::int64_t value)
{
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>((static_cast<std::uint64_t>(value) >> (56 - 8 * i)) & 0xff);
    return bytes;
}

std::unique_ptr<FileHandle> readerOf(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("in.ovi"));
    ovrin::test::writeText(path, bytes);
    return FileHandle::forReading(path.toStdString());
}

} // namespace

class TestIndexFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headIsTheExampleByteForByte()
    {
        QTemporaryDir dir;
        TChunk fresh;
        const QByteArray bytes = written(dir, [&](FileHandle* h) {
            QCOMPARE(fresh.write(h), 0);
            TChunkHead head;
            head.setPixcelNumber(8);
            QCOMPARE(head.write(h), 264);
        });
        QCOMPARE(bytes, QByteArray("OVHD") +
                            hex("00000100"
                                "00010000"
                                "00000008") +
                            QByteArray(248, '\0'));

        auto reader = readerOf(dir, bytes);
        TChunk chunk;
        QCOMPARE(chunk.read(reader.get()), 264);
        QCOMPARE(chunk.ckID(), TChunk::kHeadID);
        const TChunkHead head(chunk);
        QCOMPARE(head.version(), 0x00010000);
        QCOMPARE(head.pixelNumber(), 8);
    }

    void oldOrShortHeadsCarryNoPixelNumber_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("version");
        QTest::newRow("version 65535") << hex("0000ffff00000008") << 65535;
        QTest::newRow("negative version") << hex("8000000000000008") << int(0x80000000u);
        QTest::newRow("three bytes") << hex("000100") << 0;
        QTest::newRow("version only") << hex("00010000") << 65536;
        QTest::newRow("half a pixel number") << hex("000100000000") << 65536;
    }
    void oldOrShortHeadsCarryNoPixelNumber()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, version);
        QTemporaryDir dir;
        auto reader = readerOf(dir, "OVHD" + hex("000000") + char(data.size()) + data);
        TChunk chunk;
        QCOMPARE(chunk.read(reader.get()), 8 + int(data.size()));
        const TChunkHead head(chunk);
        QCOMPARE(head.version(), version);
        QCOMPARE(head.pixelNumber(), 0);
    }

    void pathsAreUtf8WithoutTerminator()
    {
        QTemporaryDir dir;
        const std::string accented = "/photos/\xc3\xa9t\xc3\xa9/\xe6\x97\xa5.jpg";
        const QByteArray bytes = written(dir, [&](FileHandle* h) {
            TChunkPath path;
            path.setPath("/a/b.jpg");
            QCOMPARE(path.write(h), 16);
            TChunkPath empty;
            empty.setPath(std::string());
            QCOMPARE(empty.write(h), 0);
            TChunkPath none;
            QCOMPARE(none.write(h), 0);
            TChunkPath other;
            other.setPath(accented);
            QCOMPARE(other.write(h), 8 + int(accented.size()));
        });
        QVERIFY(bytes.startsWith(QByteArray("OVPT") + hex("00000008") + "/a/b.jpg"));

        auto reader = readerOf(dir, bytes + "OVPT" + hex("00000002") + hex("c328"));
        TChunk first, second, invalid;
        QCOMPARE(first.read(reader.get()), 16);
        QCOMPARE(TChunkPath(first).path(), std::optional<std::string>("/a/b.jpg"));
        QVERIFY(second.read(reader.get()) > 0);
        QCOMPARE(TChunkPath(second).path(), std::optional<std::string>(accented));
        QCOMPARE(invalid.read(reader.get()), 10);
        QCOMPARE(TChunkPath(invalid).path(), std::nullopt);
        QCOMPARE(TChunkPath(TChunk()).path(), std::optional<std::string>(""));
    }

    void utf8Validation()
    {
        const auto valid = [](const char* text) {
            const QByteArray b = hex(text);
            return TChunkPath::isValidUtf8(reinterpret_cast<const std::uint8_t*>(b.constData()),
                                           static_cast<std::size_t>(b.size()));
        };
        QVERIFY(valid("41c3a9e697a5f09f9882"));
        QVERIFY(!valid("c0af"));     // overlong "/"
        QVERIFY(!valid("eda080"));   // surrogate
        QVERIFY(!valid("f4908080")); // past U+10FFFF
        QVERIFY(!valid("e697"));     // cut short
        QVERIFY(!valid("80"));       // stray continuation
    }

    void thumbnailsAreBigEndianValues()
    {
        QTemporaryDir dir;
        std::vector<std::int16_t> values(64, 0x0123);
        values[0] = 0x0F80;
        values[63] = static_cast<std::int16_t>(0xF00F);
        const QByteArray bytes = written(dir, [&](FileHandle* h) {
            TChunkThumb thumb;
            thumb.setThumbnail(values.data(), 64);
            QCOMPARE(thumb.write(h), 136);
            TChunkThumb none;
            QCOMPARE(none.write(h), 0);
        });
        QCOMPARE(bytes.size(), 136);
        QCOMPARE(bytes.left(10), QByteArray("OVTM") + hex("00000080"
                                                          "0f80"));
        QCOMPARE(bytes.right(2), hex("f00f"));

        // an odd last byte is ignored
        auto reader = readerOf(dir, bytes + "OVTM" + hex("00000081") + bytes.mid(8, 128) + 'x');
        TChunk chunk, odd;
        QCOMPARE(chunk.read(reader.get()), 136);
        const TChunkThumb thumb(chunk);
        QCOMPARE(thumb.thumbnailCount(), 64);
        QCOMPARE(std::vector<std::int16_t>(thumb.thumbnail(), thumb.thumbnail() + 64), values);
        QCOMPARE(odd.read(reader.get()), 137);
        QCOMPARE(TChunkThumb(odd).thumbnailCount(), 64);
    }

    void shortAndLyingChunksFail()
    {
        QTemporaryDir dir;
        auto six = readerOf(dir, "OVHD" + hex("0000"));
        TChunk chunk;
        QCOMPARE(chunk.read(six.get()), 0);

        // a size far beyond the file, and a negative one: refused, offset at the end
        for (const char* size : {"7fffffff", "ffffff00"}) {
            const QByteArray bytes = "OVPT" + hex(size) + "/a/b.jpg";
            auto lying = readerOf(dir, bytes);
            TChunk c;
            QCOMPARE(c.read(lying.get()), 0);
            QCOMPARE(lying->offsetInFile(), std::uint64_t(bytes.size()));
            QVERIFY(!c.data());
        }
        QCOMPARE(TChunk().read(nullptr), 0);
    }

    void unknownChunksAreConsumedWhole()
    {
        QTemporaryDir dir;
        auto reader =
            readerOf(dir, "XYZW" + hex("00000003") + "abc" + "OVPT" + hex("00000002") + "/x");
        TChunk unknown, path;
        QCOMPARE(unknown.read(reader.get()), 11);
        QCOMPARE(unknown.ckID(), chunkID("XYZW"));
        QCOMPARE(path.read(reader.get()), 10);
        QCOMPARE(TChunkPath(path).path(), std::optional<std::string>("/x"));
    }

    // The reader walks chunks where they lie in blocks of 256 KiB: a head
    // padded byte by byte moves the first block's end over every byte of an
    // entry; after the entries come a path longer than a block, a chunk passed
    // over beyond the block, a path too long to be one, a path that is not
    // UTF-8 and a thumbnail cut short.
    void readerWalksChunksAcrossReadBlocks()
    {
        QTemporaryDir dir;
        const auto thumb = [](int i) {
            QByteArray values(128, static_cast<char>(i * 7));
            values[0] = static_cast<char>(i % 2); // the filter below takes even entries
            return values;
        };
        QByteArray entries;
        std::vector<std::pair<std::string, QByteArray>> expected;
        for (int i = 0; i < 1600; ++i) {
            const QByteArray path = "/p/" + QByteArray::number(i);
            entries +=
                chunk("OVPT", path) + chunk("OVTM", thumb(i)) + chunk("OVST", QByteArray(16, 's'));
            if (i % 2 == 0)
                expected.emplace_back(path.toStdString(), thumb(i));
        }
        const QByteArray longPath = "/long/" + QByteArray(300 * 1024, 'x');
        const QByteArray tail =
            chunk("OVPT", longPath) + chunk("OVTM", thumb(0)) +
            chunk("XTRA", QByteArray(600 * 1024, 'z')) + chunk("OVTM", thumb(2)) +
            chunk("OVPT", QByteArray(1024 * 1024 + 1, 'y')) + chunk("OVTM", thumb(4)) +
            chunk("OVPT", "/\xff") + chunk("OVTM", thumb(6)) + chunk("OVPT", "/cut") +
            chunk("OVTM", thumb(8)).left(100);
        for (int pad = 0; pad <= 200; ++pad) {
            QByteArray head = hex("0001000000000008") + QByteArray(248 + pad, '\0');
            QByteArray bytes = chunk("OVHD", head) + entries;
            auto want = expected;
            std::int64_t counted = 1600;
            if (pad == 0) {
                bytes += tail;
                want.emplace_back(longPath.toStdString(), thumb(0));
                want.emplace_back(longPath.toStdString(), thumb(2));
                counted += 3; // and the one under the path that is not UTF-8
            }
            const QString path = dir.filePath(QStringLiteral("blocks.ovi"));
            QFile::remove(path); // rather than cut it short, which may wait for the disk
            ovrin::test::writeText(path, bytes);
            TIndexReader reader(path.toStdString());
            QCOMPARE(reader.readHead(), 8);
            const TIndexReader::Filter even{
                [](void*, std::span<const std::uint8_t> stored) { return stored[0] == 0; },
                nullptr};
            std::vector<std::pair<std::string, QByteArray>> found;
            TIndexReader::Entry entry;
            while (reader.next(entry, nullptr, even)) {
                found.emplace_back(entry.path,
                                   QByteArray(reinterpret_cast<const char*>(entry.stored.data()),
                                              static_cast<qsizetype>(entry.stored.size())));
                QCOMPARE(bytes.mid(static_cast<qsizetype>(entry.pathOffset), 4),
                         QByteArray("OVPT"));
            }
            QVERIFY2(found == want, qPrintable(QString::number(pad)));
            QCOMPARE(reader.entries(), counted);
        }
    }

    void writingHandleNeitherCreatesNorShortens()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f"));
        QVERIFY(!FileHandle::forWriting(path.toStdString()));
        QVERIFY(!QFile::exists(path));
        QVERIFY(ovrin::test::writeText(path, QByteArray(200000, 'o')));
        {
            auto handle = FileHandle::forWriting(path.toStdString());
            for (int i = 0; i < 100000; ++i) // many small writes through the buffer
                QVERIFY(handle->writeData("n", 1));
            QCOMPARE(handle->offsetInFile(), std::uint64_t(100000));
            QVERIFY(handle->closeFile());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(100000, 'n') + QByteArray(100000, 'o'));

        QVERIFY(::mkfifo(dir.filePath(QStringLiteral("fifo")).toLocal8Bit().constData(), 0600) ==
                0);
        QVERIFY(!FileHandle::forReading(dir.filePath(QStringLiteral("fifo")).toStdString()));
        QVERIFY(!FileHandle::forReading(dir.path().toStdString()));
    }

    // A stamp proves a picture unchanged only when a later change could not
    // have left it as it was: its times lie before the tick, on the coarsest
    // clock of file systems (two seconds), in which the run that recorded it
    // started. Times in nanoseconds; 1 s stamps end in nine zeros.
    void reuseNeedsStampsOlderThanTheRecordingRun_data()
    {
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("modified");
        QTest::addColumn<qint64>("changed");
        QTest::addColumn<bool>("reused");
        const qint64 s = 1'000'000'000;
        QTest::newRow("settled") << true << 1000 * s + s / 2 << 990 * s << 990 * s << true;
        QTest::newRow("changed in the start's second")
            << true << 1000 * s + s / 2 << 990 * s << 1000 * s << false;
        QTest::newRow("modified in the start's second")
            << true << 1000 * s + s / 2 << 1000 * s << 999 * s << false;
        QTest::newRow("in the start's two-second tick")
            << true << 1001 * s + s / 2 << 1000 * s << 1000 * s << false;
        QTest::newRow("just before the tick")
            << true << 1001 * s + s / 2 << 1000 * s - 1 << 1000 * s - 1 << true;
        QTest::newRow("tick before 1970") << true << -s / 2 << -s << -s << false;
        QTest::newRow("earliest start")
            << true << std::numeric_limits<qint64>::min() << std::numeric_limits<qint64>::min()
            << std::numeric_limits<qint64>::min() << false;
        QTest::newRow("no start: an older index") << false << 0ll << 990 * s << 990 * s << false;
    }
    void reuseNeedsStampsOlderThanTheRecordingRun()
    {
        QFETCH(bool, recorded);
        QFETCH(qint64, start);
        QFETCH(qint64, modified);
        QFETCH(qint64, changed);
        QFETCH(bool, reused);
        QTemporaryDir dir;
        QByteArray head(256, '\0');
        head[1] = 1;
        head[7] = 1;
        const QByteArray values = hex("0123");
        const QString path = dir.filePath(QStringLiteral("i.ovi"));
        QVERIFY(ovrin::test::writeText(
            path, chunk("OVHD", head) + (recorded ? chunk("OVRS", be64(start)) : QByteArray()) +
                      chunk("OVPT", "/p.png") + chunk("OVTM", values) +
                      chunk("OVST", be64(10) + be64(modified) + be64(changed))));
        TIndexLookup lookup;
        QVERIFY(lookup.load(path.toStdString(), 1));
        const auto entry = lookup.locate("/p.png");
        QVERIFY(entry);
        std::vector<std::uint8_t> stored;
        QCOMPARE(lookup.storedIfUnchanged(*entry, {10, modified, changed}, stored), reused);
        QCOMPARE(stored.size(), reused ? std::size_t(2) : std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestIndexFile)
#include "tst_indexfile.moc"
