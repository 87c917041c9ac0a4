#include "platform/tests/PlatformTestSupport.h"
#include "support/DngWriter.h"

#include <fcntl.h>

namespace {

enum class Preview { None, Bitmap, Jpeg };

// A DNG of `photo` as bytes; its preview, where it has one, is the photo
// inverted and scaled to `previewSize`, so the result tells which was read.
QByteArray dngOf(const QImage& photo, bool mosaic, Preview preview, QSize previewSize,
                 int orientation)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.dng"));
    ovrin::test::DngOptions options;
    options.mosaic = mosaic;
    options.orientation = orientation;
    options.jpegPreview = preview == Preview::Jpeg;
    if (preview != Preview::None) {
        options.preview =
            photo.scaled(previewSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        options.preview.invertPixels();
    }
    if (!ovrin::test::writeDng(path, photo, options))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture seen upright from one stored with an EXIF orientation of 1, 3,
// 6 or 8.
QImage upright(const QImage& stored, int orientation)
{
    const int degrees = orientation == 3 ? 180 : orientation == 6 ? 90 : orientation == 8 ? 270 : 0;
    return stored.transformed(QTransform().rotate(degrees));
}

void checkLike(const LoadResult& got, const QImage& want, int side)
{
    const LoadResult reference = loaded(encoded(want, "png"), side);
    QVERIFY(got.raster && reference.raster);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            checkNear(shade(got.raster->colorAt(x, y)), shade(reference.raster->colorAt(x, y)), 12,
                      x, y);
}

} // namespace

class TestRaw : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The raw data decides even where a whole-frame preview would stand in:
    // the preview here is the photo inverted.
    void developsTheRawData_data()
    {
        QTest::addColumn<bool>("mosaic");
        QTest::addColumn<int>("preview");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("name"); // without one, known by its DNGVersion tag
        QTest::newRow("mosaic") << true << int(Preview::None) << 1 << QString();
        QTest::newRow("linear") << false << int(Preview::None) << 1 << QStringLiteral("a.dng");
        QTest::newRow("turned") << true << int(Preview::None) << 6 << QStringLiteral("a.dng");
        QTest::newRow("turned back") << true << int(Preview::Jpeg) << 8 << QStringLiteral("a.dng");
        QTest::newRow("upside down")
            << false << int(Preview::Bitmap) << 3 << QStringLiteral("a.dng");
    }
    void developsTheRawData()
    {
        QFETCH(bool, mosaic);
        QFETCH(int, preview);
        QFETCH(int, orientation);
        QFETCH(QString, name);
        const QImage photo = ovrin::test::photoLike(600, 400, 11);
        const QByteArray dng = dngOf(photo, mosaic, Preview(preview), {300, 200}, orientation);
        QVERIFY(!dng.isEmpty());
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(dng) == dng.size() && file.flush());
        const LoadResult got =
            name.isEmpty()
                ? ImageLoader::loadThumbnail(::open(qPrintable(file.fileName()), O_RDONLY), 6)
                : loaded(dng, 6, 0, name);
        QCOMPARE(got.failure, LoadFailure::None);
        const bool across = orientation >= 5;
        QCOMPARE(got.width, across ? 400 : 600);
        QCOMPARE(got.height, across ? 600 : 400);
        checkLike(got, upright(photo, orientation), 6);
    }
};

QObject* makeRawTests()
{
    return new TestRaw;
}

#include "tst_raw.moc"
