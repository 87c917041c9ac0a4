#include "platform/tests/PlatformTestSupport.h"

#include <QStandardPaths>
#include <QtEndian>

namespace {

QByteArray box(const char* type, const QByteArray& body)
{
    return be32(quint32(body.size() + 8)) + QByteArray(type, 4) + body;
}

QByteArray fullBox(const char* type, const QByteArray& body)
{
    return box(type, QByteArray(4, '\0') + body);
}

QByteArray be16(int value)
{
    return be32(quint32(value)).right(2);
}

// A grid of `columns` x `rows` copies of the one coded image of `tile` (a
// file heif-enc made), all its tiles' items pointing at the same bytes.
QByteArray grid(const QByteArray& tile, int columns, int rows)
{
    const auto boxAt = [&tile](const char* type) {
        const qsizetype at = tile.indexOf(type) - 4;
        return tile.mid(at, qFromBigEndian<quint32>(tile.constData() + at));
    };
    const QByteArray hvcC = boxAt("hvcC"), tileSize = boxAt("ispe").mid(12, 8);
    const QByteArray coded = boxAt("mdat").mid(8);
    const int count = columns * rows;
    const int width = columns * int(qFromBigEndian<quint32>(tileSize.constData()));
    const int height = rows * int(qFromBigEndian<quint32>(tileSize.constData() + 4));
    const auto meta = [&](quint32 data) {
        QByteArray entries = fullBox("infe", be16(1) + be16(0) + "grid" + '\0'), uses, tiles,
                   places = be16(1) + be16(0) + be16(1) + be32(data) + be32(8);
        entries[8] = 2; // infe version 2
        uses = be32(quint32(count + 1)) + be16(1) + "\x01\x03";
        for (int item = 2; item < count + 2; ++item) {
            QByteArray entry = fullBox("infe", be16(item) + be16(0) + "hvc1" + '\0');
            entry[8] = 2;
            entries += entry;
            uses += be16(item) + "\x02\x81\x02";
            tiles += be16(item);
            places += be16(item) + be16(0) + be16(1) + be32(data + 8) + be32(quint32(coded.size()));
        }
        return fullBox("meta",
                       fullBox("hdlr", QByteArray(4, '\0') + "pict" + QByteArray(13, '\0')) +
                           fullBox("pitm", be16(1)) +
                           fullBox("iloc", QByteArray("\x44\0", 2) + be16(count + 1) + places) +
                           fullBox("iinf", be16(count + 1) + entries) +
                           fullBox("iref", box("dimg", be16(1) + be16(count) + tiles)) +
                           box("iprp", box("ipco", hvcC + fullBox("ispe", tileSize) +
                                                       fullBox("ispe", be32(quint32(width)) +
                                                                           be32(quint32(height)))) +
                                           fullBox("ipma", uses)));
    };
    const QByteArray ftyp = box("ftyp", QByteArray("heic\0\0\0\0mif1heic", 16));
    const quint32 data = quint32(ftyp.size() + meta(0).size() + 8);
    const QByteArray layout =
        QByteArray(2, '\0') + char(rows - 1) + char(columns - 1) + be16(width) + be16(height);
    return ftyp + meta(data) + box("mdat", layout + coded);
}

QImage halves(int width, int height, QColor top, QColor bottom)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(top);
    for (int y = height / 2; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, bottom);
    return image;
}

} // namespace

class TestHeif : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* tool : {"heif-enc", "avifenc"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("heif-enc and avifenc make the samples");
    }
    void init() { ImageLoader::setDecodeBudgetForTesting(0); }

    // Colours as stored, alpha on white, and the stored picture turned or
    // mirrored where the file says so: avifenc's irot 1 turns a quarter
    // anticlockwise (the top half becomes the left one), imir 0 swaps top
    // and bottom.
    void coloursAndTurns_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QColor>("bottom");
        QTest::addColumn<int>("seen"); // 0 upright, 1 turned, 2 upside down
        const QStringList heic{QStringLiteral("-q"), QStringLiteral("95")};
        const QStringList avif{QStringLiteral("-s"), QStringLiteral("10")};
        const QColor blue(40, 60, 200);
        QTest::newRow("heic") << "heif-enc" << heic << blue << 0;
        QTest::newRow("avif") << "avifenc" << avif << blue << 0;
        QTest::newRow("heic alpha") << "heif-enc" << heic << QColor(0, 0, 0, 0) << 0;
        QTest::newRow("avif alpha") << "avifenc" << avif << QColor(0, 0, 0, 0) << 0;
        QTest::newRow("avif irot")
            << "avifenc" << avif + QStringList{QStringLiteral("--irot"), QStringLiteral("1")}
            << blue << 1;
        QTest::newRow("avif imir")
            << "avifenc" << avif + QStringList{QStringLiteral("--imir"), QStringLiteral("0")}
            << blue << 2;
    }
    void coloursAndTurns()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(QColor, bottom);
        QFETCH(int, seen);
        const bool turned = seen == 1;
        const QColor top(220, 40, 30);
        const QByteArray bytes = madeBy(halves(64, 32, top, bottom), tool, arguments,
                                        tool == QStringLiteral("avifenc") ? QStringLiteral("avif")
                                                                          : QStringLiteral("heic"));
        QVERIFY(!bytes.isEmpty());
        const LoadResult result = loaded(bytes, 2);
        QCOMPARE(result.failure, LoadFailure::None);
        QCOMPARE(result.width, turned ? 32 : 64);
        QCOMPARE(result.height, turned ? 64 : 32);
        const QColor second = bottom.alpha() == 0 ? QColor(Qt::white) : bottom;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                checkNear(shade(result.raster->colorAt(x, y)),
                          ((turned ? x : y) == 0) == (seen != 2) ? top : second, 12, x, y);
    }

    // A thumbnail is never the picture: every other pixel black makes a
    // mid grey of the whole, while a thumbnail of half the size, taken from
    // every second pixel, is black or white.
    void thumbnailLeftAside()
    {
        QImage image(128, 96, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (x + y) % 2 == 0 ? 0xff000000u : 0xffffffffu);
        const QByteArray bytes = madeBy(
            image, QStringLiteral("heif-enc"),
            {QStringLiteral("-L"), QStringLiteral("-p"), QStringLiteral("chroma=444"),
             QStringLiteral("--matrix_coefficients=0"), QStringLiteral("-t"), QStringLiteral("64")},
            QStringLiteral("heic"));
        QVERIFY(bytes.contains("thmb"));
        const LoadResult result = loaded(bytes, 1);
        QCOMPARE(result.failure, LoadFailure::None);
        checkNear(shade(result.raster->colorAt(0, 0)), QColor(127, 127, 127), 3, 0, 0);
    }

    // A picture in many tiles.
    void gridOfTiles()
    {
        const QColor colour(200, 120, 40);
        QImage tile(64, 64, QImage::Format_RGB32);
        tile.fill(colour);
        const QByteArray one = madeBy(tile, QStringLiteral("heif-enc"), {}, QStringLiteral("heic"));
        QVERIFY(one.contains("hvcC"));
        const QByteArray whole = grid(one, 40, 30);
        LoadResult result;
        QVERIFY(stderrOf([&] { result = loaded(whole, 2); }).isEmpty());
        QCOMPARE(result.failure, LoadFailure::None);
        QCOMPARE(result.width, 40 * 64);
        checkNear(shade(result.raster->colorAt(1, 1)), colour, 6, 1, 1);
    }

    // A stopped run gives up before decoding; workers decode side by side.
    void stopsAndDecodesSideBySide()
    {
        const QByteArray good = madeBy(ovrin::test::photoLike(96, 64, 3),
                                       QStringLiteral("heif-enc"), {}, QStringLiteral("heic"));
        QVERIFY(!good.isEmpty());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.heic"));
        QVERIFY(ovrin::test::writeText(path, good));
        const std::atomic<bool> stopped(false);
        QCOMPARE(ImageLoader::loadThumbnail(str(path), 8, &stopped).failure, LoadFailure::Stopped);
        const LoadResult alone = ImageLoader::loadThumbnail(str(path), 8);
        QCOMPARE(alone.failure, LoadFailure::None);
        std::vector<std::thread> workers;
        std::atomic<int> same(0);
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([&] {
                for (int k = 0; k < 3; ++k) {
                    const LoadResult r = ImageLoader::loadThumbnail(str(path), 8);
                    bool alike = r.raster.has_value();
                    for (int i = 0; alike && i < 64; ++i)
                        alike = shade(r.raster->colorAt(i % 8, i / 8)) ==
                                shade(alone.raster->colorAt(i % 8, i / 8));
                    same += alike;
                }
            });
        for (auto& worker : workers)
            worker.join();
        QCOMPARE(same.load(), 12);
    }
};

QObject* makeHeifTests()
{
    return new TestHeif;
}

#include "tst_heif.moc"
