#include "platform/FileManager.h"
#include "platform/ImageLoader.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace ovrin::platform;
using ovrin::test::str;

namespace {

QStringList g_messages;
QtMessageHandler g_testHandler = nullptr;

void captureMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    g_messages << text;
    if (g_testHandler != nullptr)
        g_testHandler(type, context, text);
}

// Level of one channel at a raster point, back from its fraction.
int level(float fraction)
{
    return static_cast<int>(fraction * 255.0f);
}

QByteArray jpegBytes(const QImage& image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Installed before the loader decodes anything: it chains to whatever
    // handler exists at its first decode, and this one stays for the whole run.
    void initTestCase() { g_testHandler = qInstallMessageHandler(captureMessages); }
    void init() { g_messages.clear(); }

    void decoderWarningsStayQuiet()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cut.jpg"));
        const QByteArray whole = jpegBytes(ovrin::test::photoLike(400, 300, 7));
        QVERIFY(ovrin::test::writeText(path, whole.left(whole.size() / 2)));

        // Qt's own reader complains about the cut file...
        {
            QImageReader reader(path);
            reader.read();
        }
        QVERIFY2(!g_messages.isEmpty(), "a cut JPEG should make the decoder warn");
        g_messages.clear();

        // ...the loader does not let it through, and other messages still flow.
        ImageLoader::loadThumbnail(str(path), 8);
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
        qWarning("after decoding");
        QCOMPARE(g_messages, QStringList{QStringLiteral("after decoding")});
    }

    void listingAndJoining()
    {
        QTemporaryDir dir;
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral(".hidden")), "x"));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("plain")), "x"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));

        auto names = FileManager::directoryContents(str(dir.path()));
        QVERIFY(names.has_value());
        std::sort(names->begin(), names->end());
        QCOMPARE(*names, (std::vector<std::string>{".hidden", "plain", "sub"}));

        QVERIFY(!FileManager::directoryContents(str(dir.filePath(QStringLiteral("plain")))));
        QVERIFY(!FileManager::directoryContents(str(dir.filePath(QStringLiteral("none")))));
        QVERIFY(!FileManager::directoryContents(""));

        QCOMPARE(FileManager::appendPathComponent("/a/b", "c"), std::string("/a/b/c"));
        QCOMPARE(FileManager::appendPathComponent("/a/b/", "c"), std::string("/a/b/c"));
        QCOMPARE(FileManager::appendPathComponent("/", "c"), std::string("/c"));
    }

    void existenceFollowsLinks()
    {
        QTemporaryDir dir;
        const std::string root = str(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("file")), "x"));
        QCOMPARE(::symlink("folder", (root + "/toFolder").c_str()), 0);
        QCOMPARE(::symlink("file", (root + "/toFile").c_str()), 0);
        QCOMPARE(::symlink("missing", (root + "/dangling").c_str()), 0);

        bool isDirectory = false;
        QVERIFY(FileManager::fileExists(root + "/toFolder", isDirectory));
        QVERIFY(isDirectory);
        QVERIFY(FileManager::fileExists(root + "/toFile", isDirectory));
        QVERIFY(!isDirectory);
        QVERIFY(!FileManager::fileExists(root + "/dangling"));
        QCOMPARE(FileManager::fileStatus(root + "/toFolder")->identity,
                 FileManager::fileStatus(root + "/folder")->identity);
        QVERIFY(!(FileManager::fileStatus(root + "/file")->identity ==
                  FileManager::fileStatus(root + "/folder")->identity));
    }

    void everyLevelSurvivesTheFractionStep()
    {
        for (int l = 0; l < 256; ++l) {
            const float fraction = ThumbnailRaster::levelToFraction(static_cast<std::uint8_t>(l));
            QVERIFY(fraction >= 0.0f && fraction <= 1.0f);
            QCOMPARE(static_cast<int>(fraction * 255.0f), l);
        }
    }

    void reductionIsAnAreaAverage()
    {
        // 3 x 1 into 2 x 2: each cell covers one and a half source pixels, and
        // the single source row stretches over both cell rows.
        const std::uint32_t row[3] = {0xff000000u | (30u << 16), 0xff000000u | (90u << 16),
                                      0xff000000u | (210u << 16)};
        const ThumbnailRaster r = ImageLoader::reduce(row, 3, 1, 3, 2);
        // (30 + 90/2) / 1.5 = 50; (90/2 + 210) / 1.5 = 170
        QCOMPARE(level(r.colorAt(0, 0).red), 50);
        QCOMPARE(level(r.colorAt(1, 0).red), 170);
        QCOMPARE(level(r.colorAt(0, 1).red), 50);
        QCOMPARE(level(r.colorAt(1, 1).green), 0);

        // A one-pixel-wide stripe must weigh in, not be skipped as a sample would.
        std::vector<std::uint32_t> stripes(16 * 16, 0xff000000u);
        for (int y = 0; y < 16; ++y)
            stripes[static_cast<std::size_t>(y) * 16 + 5] = 0xffffffffu;
        const ThumbnailRaster s = ImageLoader::reduce(stripes.data(), 16, 16, 16, 2);
        QCOMPARE(level(s.colorAt(0, 0).blue), 32); // 255 / 8, rounded
        QCOMPARE(level(s.colorAt(1, 1).blue), 0);
    }

    void transparencyLiesOnWhite()
    {
        // premultiplied: fully transparent, and half-covered pure red
        const std::uint32_t pixels[2] = {0x00000000u, 0x80800000u};
        const ThumbnailRaster r = ImageLoader::reduce(pixels, 2, 1, 2, 2);
        QCOMPARE(level(r.colorAt(0, 0).red), 255);
        QCOMPARE(level(r.colorAt(0, 0).green), 255);
        QCOMPARE(level(r.colorAt(1, 0).red), 255);
        QCOMPARE(level(r.colorAt(1, 0).green), 127);
    }

    void readsTheCommonFormats_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("jpeg") << QByteArray("jpeg") << 12;
        QTest::newRow("png") << QByteArray("png") << 1;
        QTest::newRow("gif") << QByteArray("gif") << 1;
        QTest::newRow("bmp") << QByteArray("bmp") << 1;
        QTest::newRow("webp") << QByteArray("webp") << 12;
        QTest::newRow("tiff") << QByteArray("tiff") << 1;
    }
    void readsTheCommonFormats()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        // left half orange, right half teal
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(QColor(240, 128, 16));
        for (int y = 0; y < 32; ++y)
            for (int x = 32; x < 64; ++x)
                image.setPixel(x, y, qRgb(0, 128, 128));
        const QString path = dir.filePath(QStringLiteral("picture.") + QString::fromLatin1(format));
        if (format == "gif") {
            // Qt writes no GIF; a two-colour GIF87a by hand
            const QByteArray gif = QByteArray::fromHex("4749463837610200010080"
                                                       "0000"
                                                       "f08010008080"
                                                       "2c000000000200010000"
                                                       "0202440a00"
                                                       "3b");
            QVERIFY(ovrin::test::writeText(path, gif));
            image = QImage(2, 1, QImage::Format_RGB32);
            image.setPixel(0, 0, qRgb(240, 128, 16));
            image.setPixel(1, 0, qRgb(0, 128, 128));
        } else {
            QVERIFY(ovrin::test::writeImage(path, image, format.constData(), 95));
        }
        const auto raster = ImageLoader::loadThumbnail(str(path), 2).raster;
        QVERIFY(raster.has_value());
        const auto near = [tolerance](float fraction, int expected) {
            return std::abs(level(fraction) - expected) <= tolerance;
        };
        QVERIFY(near(raster->colorAt(0, 0).red, 240));
        QVERIFY(near(raster->colorAt(0, 1).green, 128));
        QVERIFY(near(raster->colorAt(1, 0).red, 0));
        QVERIFY(near(raster->colorAt(1, 1).blue, 128));
    }

    void appliesTheExifOrientation()
    {
        QTemporaryDir dir;
        // stored with red on top and blue below; shown turned a quarter clockwise
        QImage image(80, 40, QImage::Format_RGB32);
        image.fill(Qt::blue);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 80; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        const QString path = dir.filePath(QStringLiteral("turned.jpg"));
        QImageWriter writer(path, "jpeg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY(writer.write(image));

        const auto raster = ImageLoader::loadThumbnail(str(path), 2).raster;
        QVERIFY(raster.has_value());
        QVERIFY(level(raster->colorAt(1, 0).red) > 200); // red now on the right
        QVERIFY(level(raster->colorAt(1, 1).red) > 200);
        QVERIFY(level(raster->colorAt(0, 0).blue) > 200);
        QVERIFY(level(raster->colorAt(0, 0).red) < 50);
    }

    void bigJpegDecodesReduced()
    {
        // With the reader's limit lowered to 4 MB, a 2400 x 1800 JPEG (16.5 MB
        // decoded) cannot be read whole, yet its 1/8 decode fits easily.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.jpg"));
        QVERIFY(ovrin::test::writeImage(path, ovrin::test::photoLike(2400, 1800, 3), "jpeg", 85));

        const int oldLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(4);
        QImage whole;
        {
            QImageReader reader(path);
            whole = reader.read();
        }
        const auto raster = ImageLoader::loadThumbnail(str(path), 8).raster;
        QImageReader::setAllocationLimit(oldLimit);
        QVERIFY(whole.isNull());
        QVERIFY(raster.has_value());
        QCOMPARE(raster->side(), 8);
    }

    void badFilesAreNotImages()
    {
        QTemporaryDir dir;
        const std::string root = str(dir.path());
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("text.jpg")), "not a picture"));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("empty.png")), QByteArray()));
        const QByteArray header = jpegBytes(ovrin::test::photoLike(64, 64, 1)).left(40);
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("header.jpg")), header));
        QCOMPARE(::mkfifo((root + "/fifo.jpg").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", (root + "/zero.jpg").c_str()), 0);

        QVERIFY(!ImageLoader::loadThumbnail(root + "/text.jpg", 8).raster);
        QVERIFY(!ImageLoader::loadThumbnail(root + "/empty.png", 8).raster);
        QVERIFY(!ImageLoader::loadThumbnail(root + "/header.jpg", 8).raster);
        QVERIFY(!ImageLoader::loadThumbnail(root + "/fifo.jpg", 8).raster); // must not block
        QVERIFY(!ImageLoader::loadThumbnail(root + "/zero.jpg", 8).raster); // must not read forever
        QVERIFY(!ImageLoader::loadThumbnail(root, 8).raster);
        QVERIFY(!ImageLoader::loadThumbnail(root + "/missing.png", 8).raster);
        QVERIFY(!ImageLoader::loadThumbnail("", 8).raster);
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
