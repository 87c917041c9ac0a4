#include "indexfile/IndexLookup.h"
#include "indexfile/IndexReader.h"
#include "indexfile/IndexWriter.h"
#include "indexfile/TChunk.h"
#include "platform/fs/FileHandle.h"
#include "support/TestImages.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <tuple>

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

QByteArray be64(std::int64_t value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* id, const QByteArray& data)
{
    return QByteArray(id, 4) + be64(data.size()).right(4) + data;
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
    void onlyCurrentWholeHeadsCarryAPixelNumber_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("pixelNumber");
        QTest::newRow("as written")
            << hex("0001000000000008") + QByteArray(248, '\0') << 65536 << 8;
        QTest::newRow("version 65535") << hex("0000ffff00000008") << 65535 << 0;
        QTest::newRow("negative version") << hex("8000000000000008") << int(0x80000000u) << 0;
        QTest::newRow("three bytes") << hex("000100") << 0 << 0;
        QTest::newRow("version only") << hex("00010000") << 65536 << 0;
        QTest::newRow("half a pixel number") << hex("000100000000") << 65536 << 0;
    }
    void onlyCurrentWholeHeadsCarryAPixelNumber()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, version);
        QFETCH(int, pixelNumber);
        QTemporaryDir dir;
        auto reader = readerOf(dir, "OVHD" + hex("0000") + char(data.size() >> 8) +
                                        char(data.size() & 0xff) + data);
        TChunk chunk;
        QCOMPARE(chunk.read(reader.get()), 8 + int(data.size()));
        QCOMPARE(chunk.ckID(), TChunk::kHeadID);
        const TChunkHead head(chunk);
        QCOMPARE(head.version(), version);
        QCOMPARE(head.pixelNumber(), pixelNumber);
    }

    // Paths are UTF-8 without a terminator, thumbnails big-endian values.
    void pathsAndThumbnailsAreWrittenAndRead()
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
            QCOMPARE(TChunk().write(h), 0);
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

        // thumbnails are big-endian values
        std::vector<std::int16_t> values(64, 0x0123);
        values[0] = 0x0F80;
        values[63] = static_cast<std::int16_t>(0xF00F);
        const QByteArray thumbs = written(dir, [&](FileHandle* h) {
            TChunkThumb thumb;
            thumb.setThumbnail(values.data(), 64);
            QCOMPARE(thumb.write(h), 136);
            TChunkThumb none;
            QCOMPARE(none.write(h), 0);
        });
        QCOMPARE(thumbs.size(), 136);
        QCOMPARE(thumbs.left(10), QByteArray("OVTM") + hex("000000800f80"));
        QCOMPARE(thumbs.right(2), hex("f00f"));

        // an odd last byte is ignored
        auto thumbReader =
            readerOf(dir, thumbs + "OVTM" + hex("00000081") + thumbs.mid(8, 128) + 'x');
        TChunk chunk, odd;
        QCOMPARE(chunk.read(thumbReader.get()), 136);
        const TChunkThumb thumb(chunk);
        QCOMPARE(thumb.thumbnailCount(), 64);
        QCOMPARE(std::vector<std::int16_t>(thumb.thumbnail(), thumb.thumbnail() + 64), values);
        QCOMPARE(odd.read(thumbReader.get()), 137);
        QCOMPARE(TChunkThumb(odd).thumbnailCount(), 64);
    }

    // What each read returns, and where it leaves the file: a short head, a
    // size beyond the file or a negative one is refused with the offset at the
    // end; a chunk of an unknown kind is consumed whole.
    void chunksAreReadWholeOrRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("reads");
        QTest::newRow("six bytes") << "OVHD" + hex("0000") << QList{0};
        QTest::newRow("beyond the file") << "OVPT" + hex("7fffffff") + "/a/b.jpg" << QList{0};
        QTest::newRow("negative") << "OVPT" + hex("ffffff00") + "/a/b.jpg" << QList{0};
        QTest::newRow("unknown, then a path")
            << "XYZW" + hex("00000003") + "abc" + "OVPT" + hex("00000002") + "/x" << QList{11, 10};
    }
    void chunksAreReadWholeOrRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, reads);
        QTemporaryDir dir;
        auto reader = readerOf(dir, bytes);
        for (const int expected : reads) {
            TChunk c;
            QCOMPARE(c.read(reader.get()), expected);
            QCOMPARE(bool(c.data()), expected != 0);
        }
        QCOMPARE(reader->offsetInFile(), std::uint64_t(bytes.size()));
        QCOMPARE(TChunk().read(nullptr), 0);
    }

    // The reader walks chunks where they lie in blocks of 256 KiB: a head
    // padded byte by byte moves the ends of the first blocks (the third one
    // into a buffer that is not reallocated) over every byte of an accepted
    // and a passed-over entry, the chunks after its thumbnail included; after
    // the entries come a path longer than a block, a chunk passed over beyond
    // the block, a path too long to be one, a path that is not UTF-8 and a
    // thumbnail cut short. Entries are (path, values, stamp size or none,
    // fingerprint).
    void readerWalksChunksAcrossReadBlocks()
    {
        QTemporaryDir dir;
        const auto thumb = [](int i) {
            QByteArray values(128, static_cast<char>(i * 7));
            values[0] = static_cast<char>(i % 2); // the filter below takes even entries
            return values;
        };
        using Found = std::tuple<std::string, QByteArray, std::optional<std::int64_t>, QByteArray>;
        // After the thumbnail: a stamp; then by turns nothing, a fingerprint, a
        // chunk of another kind before it, a stamp of the wrong size and a
        // fingerprint too large to be one.
        QByteArray entries;
        std::vector<Found> expected;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray path = "/p/" + QByteArray::number(i);
            const QByteArray fine(24, static_cast<char>('a' + i % 26));
            const QByteArray after[] = {{},
                                        chunk("OVFP", fine),
                                        chunk("XTRA", "x") + chunk("OVFP", fine),
                                        chunk("OVST", QByteArray(16, 's')),
                                        chunk("OVFP", QByteArray(65, 'f'))};
            const int kind = (i / 2) % 5;
            entries +=
                chunk("OVPT", path) + chunk("OVTM", thumb(i)) +
                (kind == 3 ? QByteArray() : chunk("OVST", be64(i) + be64(2 * i) + be64(3 * i))) +
                after[kind];
            if (i % 2 == 0)
                expected.emplace_back(path.toStdString(), thumb(i),
                                      kind == 3 ? std::nullopt : std::optional<std::int64_t>(i),
                                      kind == 1 || kind == 2 ? fine : QByteArray());
        }
        const QByteArray longPath = "/long/" + QByteArray(300 * 1024, 'x');
        const QByteArray tail =
            chunk("OVPT", longPath) + chunk("OVTM", thumb(0)) +
            chunk("XTRA", QByteArray(600 * 1024, 'z')) + chunk("OVTM", thumb(2)) +
            chunk("OVPT", QByteArray(1024 * 1024 + 1, 'y')) + chunk("OVTM", thumb(4)) +
            chunk("OVPT", "/\xff") + chunk("OVTM", thumb(6)) + chunk("OVPT", "/cut") +
            chunk("OVTM", thumb(8)).left(100);
        for (int pad = 0; pad <= 460; ++pad) {
            QByteArray head = hex("0001000000000008") + QByteArray(248 + pad, '\0');
            QByteArray bytes = chunk("OVHD", head) + entries;
            auto want = expected;
            std::int64_t counted = 3000;
            if (pad == 0) {
                bytes += tail;
                want.emplace_back(longPath.toStdString(), thumb(0), std::nullopt, QByteArray());
                want.emplace_back(longPath.toStdString(), thumb(2), std::nullopt, QByteArray());
                counted += 3; // and the one under the path that is not UTF-8
            }
            const QString path = dir.filePath(QStringLiteral("blocks.ovi"));
            QFile::remove(path); // rather than cut it short, which may wait for the disk
            ovrin::test::writeText(path, bytes);
            IndexReader reader(path.toStdString());
            QCOMPARE(reader.readHead(), 8);
            const IndexReader::Filter even{
                [](void*, std::span<const std::uint8_t> stored) { return stored[0] == 0; },
                nullptr};
            const auto bytesOf = [](std::span<const std::uint8_t> span) {
                return QByteArray(reinterpret_cast<const char*>(span.data()),
                                  static_cast<qsizetype>(span.size()));
            };
            std::vector<Found> found;
            IndexReader::Entry entry;
            while (reader.next(entry, nullptr, even)) {
                std::optional<std::int64_t> stamp;
                if (entry.stamp) {
                    QCOMPARE(entry.stamp->modifiedNs, 2 * entry.stamp->size);
                    QCOMPARE(entry.stamp->changedNs, 3 * entry.stamp->size);
                    stamp = entry.stamp->size;
                }
                found.emplace_back(entry.path, bytesOf(entry.stored), stamp, bytesOf(entry.fine));
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
    // started. Times in nanoseconds; 1 s stamps end in nine zeros. An entry
    // without a fingerprint is decoded again, so that it gains one.
    void reuseNeedsStampsOlderThanTheRecordingRun_data()
    {
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("modified");
        QTest::addColumn<qint64>("changed");
        QTest::addColumn<QByteArray>("fine");
        QTest::addColumn<bool>("reused");
        const qint64 s = 1'000'000'000;
        const qint64 least = std::numeric_limits<qint64>::min();
        const QByteArray f(24, 'f');
        const auto row = [](const char* name, bool recorded, qint64 start, qint64 modified,
                            qint64 changed, const QByteArray& fine, bool reused) {
            QTest::newRow(name) << recorded << start << modified << changed << fine << reused;
        };
        row("settled", true, 1000 * s + s / 2, 990 * s, 990 * s, f, true);
        row("settled, no fingerprint: an older index", true, 1000 * s + s / 2, 990 * s, 990 * s, {},
            false);
        row("changed in the start's second", true, 1000 * s + s / 2, 990 * s, 1000 * s, f, false);
        row("modified in the start's second", true, 1000 * s + s / 2, 1000 * s, 999 * s, f, false);
        row("in the start's two-second tick", true, 1001 * s + s / 2, 1000 * s, 1000 * s, f, false);
        row("just before the tick", true, 1001 * s + s / 2, 1000 * s - 1, 1000 * s - 1, f, true);
        row("tick before 1970", true, -s / 2, -s, -s, f, false);
        row("earliest start", true, least, least, least, f, false);
        row("no start: an older index", false, 0, 990 * s, 990 * s, f, false);
    }
    void reuseNeedsStampsOlderThanTheRecordingRun()
    {
        QFETCH(bool, recorded);
        QFETCH(qint64, start);
        QFETCH(qint64, modified);
        QFETCH(qint64, changed);
        QFETCH(QByteArray, fine);
        QFETCH(bool, reused);
        QTemporaryDir dir;
        const std::vector<std::uint8_t> values{0x01, 0x23};
        const auto bytes = [](const QByteArray& data) {
            return std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                             static_cast<std::size_t>(data.size()));
        };
        const FileStamp stamp{10, modified, changed};
        written(dir, [&](FileHandle* h) {
            IndexWriter writer(*h);
            QVERIFY(writer.writeHead(1));
            QVERIFY(!recorded || writer.writeRunStart(start));
            QVERIFY(writer.writeStoredEntry("/p.png", values, stamp, bytes(fine)));
        });
        const std::string path = dir.filePath(QStringLiteral("out.ovi")).toStdString();

        IndexReader reader(path);
        QCOMPARE(reader.readHead(), 1);
        IndexReader::Entry entry;
        QVERIFY(reader.next(entry));
        QCOMPARE(entry.stamp, std::optional<FileStamp>(stamp)); // the fields in the same order

        IndexLookup lookup;
        QVERIFY(lookup.load(path, 1));
        const auto found = lookup.locate("/p.png");
        QVERIFY(found);
        std::vector<std::uint8_t> stored, print;
        QCOMPARE(lookup.storedIfUnchanged(*found, stamp, stored, print), reused);
        QCOMPARE(stored, reused ? values : std::vector<std::uint8_t>());
        QCOMPARE(print, reused ? std::vector<std::uint8_t>(bytes(fine).begin(), bytes(fine).end())
                               : std::vector<std::uint8_t>());
    }
};

QTEST_GUILESS_MAIN(TestIndexFile)
#include "tst_indexfile.moc"
