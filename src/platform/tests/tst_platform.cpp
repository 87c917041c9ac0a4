#include "platform/AreaReducer.h"
#include "platform/DecodeBudget.h"
#include "platform/FileManager.h"
#include "platform/ImageLoader.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
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

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A JPEG whose first APP1 segment is EXIF with the given orientation.
QByteArray jpegWithOrientation(const QImage& image, int orientation)
{
    QByteArray exif("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 32);
    exif[25] = char(orientation);
    QByteArray segment("\xff\xe1\0\0", 4);
    segment[2] = char((exif.size() + 2) >> 8);
    segment[3] = char((exif.size() + 2) & 0xff);
    return encoded(image, "jpeg").insert(2, segment + exif);
}

// A small JPEG whose header claims `side` x `side` pixels.
QByteArray jpegClaiming(int side, bool progressive)
{
    QByteArray bytes = encoded(ovrin::test::photoLike(16, 16, 5), "jpeg", progressive);
    const qsizetype sof = bytes.indexOf(progressive ? "\xff\xc2" : "\xff\xc0");
    for (qsizetype at : {sof + 5, sof + 7}) { // height, then width
        bytes[at] = char(side >> 8);
        bytes[at + 1] = char(side & 0xff);
    }
    return bytes;
}

// A file of `size` bytes that starts with `head` and is a hole after it.
bool writeSparse(const QString& path, const QByteArray& head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// The 54-byte header of an uncompressed 24-bit BMP.
QByteArray bmpHeader(int width, int height)
{
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(0) << quint32(0) << quint32(54) << quint32(40) << qint32(width) << qint32(height)
        << quint16(1) << quint16(24) << quint32(0) << quint32(0) << quint64(0) << quint64(0);
    return head;
}

// Runs `body` with the process's stderr sent to a file; gives what was written.
template <typename Body>
QByteArray stderrOf(Body body)
{
    QTemporaryFile capture;
    capture.open();
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    body();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Installed before the loader decodes anything: it chains to whatever
    // handler exists at its first decode, and this one stays for the whole run.
    void initTestCase() { g_testHandler = qInstallMessageHandler(captureMessages); }
    void init()
    {
        g_messages.clear();
        ImageLoader::setDecodeBudgetForTesting(0);
    }

    void listingAndJoining()
    {
        QTemporaryDir dir;
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral(".hidden")), "x"));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("plain")), "x"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));

        const Descriptor folder(FileManager::openFolder(str(dir.path())));
        auto names = FileManager::listFolder(folder.get());
        QVERIFY(names.has_value());
        std::sort(names->begin(), names->end());
        QCOMPARE(*names, (std::vector<std::string>{".hidden", "plain", "sub"}));
        // the folder's own descriptor stays usable: listed twice, the same
        QCOMPARE(FileManager::listFolder(folder.get())->size(), std::size_t(3));

        int error = 0;
        QCOMPARE(FileManager::openFolder(str(dir.filePath(QStringLiteral("plain"))), &error), -1);
        QCOMPARE(error, ENOTDIR);
        QCOMPARE(FileManager::openFolder(str(dir.filePath(QStringLiteral("none"))), &error), -1);
        QCOMPARE(error, ENOENT);
        QCOMPARE(FileManager::openFolder(""), -1);

        // case is ignored by Unicode's mapping; bytes that are not UTF-8 only match exactly
        QVERIFY(FileManager::isSamePathIgnoringCase("/A/\xc3\x89T\xc3\x89.OVI",
                                                    "/a/\xc3\xa9t\xc3\xa9.ovi"));
        QVERIFY(!FileManager::isSamePathIgnoringCase("/a/\xe9", "/a/\xc9"));
        QVERIFY(!FileManager::isSamePathIgnoringCase("/a/b", "/a/bc"));

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

    void premultipliedPixelsLieOnWhite()
    {
        // fully transparent, and half-covered pure red
        const std::uint32_t pixels[2] = {0x00000000u, 0x80800000u};
        const ThumbnailRaster t = ImageLoader::reduce(pixels, 2, 1, 2, 2);
        QCOMPARE(level(t.colorAt(0, 0).green), 255);
        QCOMPARE(level(t.colorAt(1, 0).red), 255);
        QCOMPARE(level(t.colorAt(1, 0).green), 127);
    }

    // The streamed reduction against a direct sum over every pixel, for
    // shapes that exercise whole rows, rows split between cells, more cells
    // than pixels, and decoded points standing for several pixels.
    void streamedReductionMatchesDirectSum_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("uniformFrom"); // rows from here on are one colour
        QTest::newRow("many rows per cell") << 61 << 700 << 8 << 1 << 700;
        QTest::newRow("rows split") << 37 << 29 << 8 << 1 << 11;
        QTest::newRow("fewer pixels than cells") << 3 << 5 << 8 << 1 << 5;
        QTest::newRow("scaled, partial edges") << 125 << 94 << 8 << 8 << 50;
        QTest::newRow("scaled half") << 33 << 517 << 5 << 2 << 517;
    }
    void streamedReductionMatchesDirectSum()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, side);
        QFETCH(int, scale);
        QFETCH(int, uniformFrom);
        // the picture: the decoded size times the scale, less a bit at the edges
        const std::int64_t pictureWidth = std::int64_t{width} * scale - (scale > 1 ? scale / 2 : 0);
        const std::int64_t pictureHeight = std::int64_t{height} * scale - (scale > 1 ? 1 : 0);
        QRandomGenerator random(quint32(width * 1000 + height));
        std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
        const std::size_t uniformAt = std::size_t(uniformFrom) * std::size_t(width) * 3;
        for (std::size_t k = 0; k < rgb.size(); ++k)
            rgb[k] = std::uint8_t(k < uniformAt ? random.bounded(256u) : 60u * (k % 3 + 1));

        AreaReducer reducer(width, height, side, scale, pictureWidth, pictureHeight);
        for (int y = 0; y < uniformFrom; ++y)
            reducer.addRgbRow(&rgb[std::size_t(y) * std::size_t(width) * 3]);
        reducer.fillRemainingRows(60, 120, 180);
        const ThumbnailRaster raster = reducer.finish();

        // every picture pixel weighs the same; it takes its decoded point's colour
        const std::int64_t n = side;
        for (std::int64_t j = 0; j < n; ++j) {
            for (std::int64_t i = 0; i < n; ++i) {
                std::uint64_t sums[3] = {};
                for (std::int64_t py = 0; py < pictureHeight; ++py) {
                    const std::int64_t wy = std::min((py + 1) * n, (j + 1) * pictureHeight) -
                                            std::max(py * n, j * pictureHeight);
                    if (wy <= 0)
                        continue;
                    for (std::int64_t px = 0; px < pictureWidth; ++px) {
                        const std::int64_t wx = std::min((px + 1) * n, (i + 1) * pictureWidth) -
                                                std::max(px * n, i * pictureWidth);
                        if (wx <= 0)
                            continue;
                        const std::size_t at = (std::size_t(py / scale) * std::size_t(width) +
                                                std::size_t(px / scale)) *
                                               3;
                        for (int c = 0; c < 3; ++c)
                            sums[c] += std::uint64_t(wx * wy) * rgb[at + std::size_t(c)];
                    }
                }
                const auto area = std::uint64_t(pictureWidth * pictureHeight);
                const ColorFraction got = raster.colorAt(int(i), int(j));
                QCOMPARE(level(got.red), int((sums[0] + area / 2) / area));
                QCOMPARE(level(got.green), int((sums[1] + area / 2) / area));
                QCOMPARE(level(got.blue), int((sums[2] + area / 2) / area));
            }
        }
    }

    void readsTheCommonFormats_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QImage::Format>("layout");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("jpeg") << QByteArray("jpeg") << QImage::Format_RGB32 << 12;
        QTest::newRow("jpeg grey") << QByteArray("jpeg") << QImage::Format_Grayscale8 << 12;
        QTest::newRow("png") << QByteArray("png") << QImage::Format_RGB32 << 1;
        QTest::newRow("png alpha") << QByteArray("png") << QImage::Format_ARGB32 << 1;
        QTest::newRow("png 16-bit alpha") << QByteArray("png") << QImage::Format_RGBA64 << 1;
        QTest::newRow("png palette") << QByteArray("png") << QImage::Format_Indexed8 << 1;
        QTest::newRow("png grey") << QByteArray("png") << QImage::Format_Grayscale8 << 1;
        QTest::newRow("gif") << QByteArray("gif") << QImage::Format_RGB32 << 1;
        QTest::newRow("gif transparent") << QByteArray("gif") << QImage::Format_ARGB32 << 1;
        QTest::newRow("bmp") << QByteArray("bmp") << QImage::Format_RGB32 << 1;
        QTest::newRow("bmp palette") << QByteArray("bmp") << QImage::Format_Indexed8 << 1;
        QTest::newRow("webp") << QByteArray("webp") << QImage::Format_RGB32 << 12;
        QTest::newRow("webp alpha") << QByteArray("webp") << QImage::Format_ARGB32 << 12;
        QTest::newRow("tiff") << QByteArray("tiff") << QImage::Format_RGB32 << 1;
        QTest::newRow("tiff alpha") << QByteArray("tiff") << QImage::Format_ARGB32 << 1;
        QTest::newRow("tiff grey") << QByteArray("tiff") << QImage::Format_Grayscale8 << 1;
        QTest::newRow("ppm (toolkit)") << QByteArray("ppm") << QImage::Format_RGB32 << 1;
    }
    void readsTheCommonFormats()
    {
        QFETCH(QByteArray, format);
        QFETCH(QImage::Format, layout);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        // left half orange, right half teal; where there is alpha, the top
        // left quarter is half transparent
        QImage image(64, 32, QImage::Format_ARGB32);
        image.fill(QColor(240, 128, 16));
        for (int y = 0; y < 32; ++y)
            for (int x = 32; x < 64; ++x)
                image.setPixel(x, y, qRgb(0, 128, 128));
        const bool alpha = image.convertToFormat(layout).hasAlphaChannel();
        if (alpha)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, qRgba(240, 128, 16, 128));
        image = layout == QImage::Format_Indexed8
                    ? image.convertToFormat(layout, {qRgb(240, 128, 16), qRgb(0, 128, 128)})
                    : image.convertToFormat(layout);
        const QString path = dir.filePath(QStringLiteral("picture.") + QString::fromLatin1(format));
        if (format == "gif") {
            // Qt writes no GIF: two colours by hand, the first of them
            // transparent (a graphic control extension) where there is alpha
            const QByteArray gif = QByteArray::fromHex(alpha ? "474946383961" : "474946383761") +
                                   QByteArray::fromHex("0200010080"
                                                       "0000"
                                                       "f08010008080") +
                                   QByteArray::fromHex(alpha ? "21f9040100000000" : "") +
                                   QByteArray::fromHex("2c000000000200010000"
                                                       "0202440a00"
                                                       "3b");
            QVERIFY(ovrin::test::writeText(path, gif));
            image = QImage(2, 1, QImage::Format_ARGB32);
            image.setPixel(0, 0, alpha ? qRgba(0, 0, 0, 0) : qRgb(240, 128, 16));
            image.setPixel(1, 0, qRgb(0, 128, 128));
        } else {
            QVERIFY(ovrin::test::writeImage(path, image, format.constData(), 95));
        }
        // what the picture shows, on white
        const auto shown = [&image](int x, int y) {
            const QRgb p = image.convertToFormat(QImage::Format_ARGB32).pixel(x, y);
            const int a = qAlpha(p);
            return QColor((qRed(p) * a + 255 * (255 - a)) / 255,
                          (qGreen(p) * a + 255 * (255 - a)) / 255,
                          (qBlue(p) * a + 255 * (255 - a)) / 255);
        };
        const auto raster = ImageLoader::loadThumbnail(str(path), 2).raster;
        QVERIFY(raster.has_value());
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                const QColor want = shown(x * (image.width() - 1), y * (image.height() - 1));
                const ColorFraction got = raster->colorAt(x, y);
                QVERIFY2(std::abs(level(got.red) - want.red()) <= tolerance &&
                             std::abs(level(got.green) - want.green()) <= tolerance &&
                             std::abs(level(got.blue) - want.blue()) <= tolerance,
                         qPrintable(QStringLiteral("(%1,%2): got %3 %4 %5, want %6")
                                        .arg(x)
                                        .arg(y)
                                        .arg(level(got.red))
                                        .arg(level(got.green))
                                        .arg(level(got.blue))
                                        .arg(want.name())));
            }
        }
    }

    // Red on top as stored; where the picture ends up says it was turned.
    void appliesTheStoredOrientation_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("redX"); // where the red half lies when upright
        QTest::addColumn<int>("redY");
        QTest::newRow("jpeg upright") << QByteArray("jpeg") << 1 << -1 << 0;
        QTest::newRow("jpeg half turn") << QByteArray("jpeg") << 3 << -1 << 1;
        QTest::newRow("jpeg quarter clockwise") << QByteArray("jpeg") << 6 << 1 << -1;
        QTest::newRow("jpeg quarter anticlockwise") << QByteArray("jpeg") << 8 << 0 << -1;
        QTest::newRow("tiff quarter clockwise") << QByteArray("tiff") << 6 << 1 << -1;
    }
    void appliesTheStoredOrientation()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, orientation);
        QFETCH(int, redX);
        QFETCH(int, redY);
        QTemporaryDir dir;
        QImage image(80, 40, QImage::Format_RGB32);
        image.fill(Qt::blue);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 80; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        const QString path = dir.filePath(QStringLiteral("turned"));
        if (format == "jpeg") {
            QVERIFY(ovrin::test::writeText(path, jpegWithOrientation(image, orientation)));
        } else {
            QImageWriter writer(path, format);
            writer.setTransformation(QImageIOHandler::TransformationRotate90);
            QVERIFY(writer.write(image));
        }
        const auto raster = ImageLoader::loadThumbnail(str(path), 2).raster;
        QVERIFY(raster.has_value());
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                const bool red = redX >= 0 ? x == redX : y == redY;
                QVERIFY2((level(raster->colorAt(x, y).red) > 200) == red,
                         qPrintable(QStringLiteral("point %1,%2").arg(x).arg(y)));
            }
        }
    }

    // Pictures far larger than the budget decode when their format can be
    // streamed: memory follows the width, not the size.
    void largePicturesStreamWithinASmallBudget_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpeg") << QByteArray("jpeg");
        QTest::newRow("png") << QByteArray("png");
        QTest::newRow("tiff") << QByteArray("tiff");
        QTest::newRow("bmp") << QByteArray("bmp");
    }
    void largePicturesStreamWithinASmallBudget()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.") + QString::fromLatin1(format));
        QImage image(3000, 2000, QImage::Format_RGB888); // 18 MB decoded
        image.fill(QColor(200, 40, 40));
        for (int y = 1000; y < 2000; ++y)
            std::fill_n(image.scanLine(y), 3000 * 3, uchar(20));
        QImageWriter writer(path, format);
        writer.setCompression(1);
        QVERIFY(writer.write(image));
        ImageLoader::setDecodeBudgetForTesting(4 * 1024 * 1024);
        const auto result = ImageLoader::loadThumbnail(str(path), 8);
        QCOMPARE(result.failure, LoadFailure::None);
        QVERIFY(level(result.raster->colorAt(3, 0).red) > 190);
        QVERIFY(level(result.raster->colorAt(3, 7).red) < 30);
    }

    // Every file gets its reason, and no decoder says a word about it, on
    // stderr or through the toolkit's messages.
    void badFilesGiveTheirReasonQuietly_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<LoadFailure>("reason");
        const QImage photo = ovrin::test::photoLike(64, 64, 1);
        QByteArray png = encoded(photo, "png");
        png[png.indexOf("IDAT") + 40] = char(png[png.indexOf("IDAT") + 40] ^ 0x5a);
        const QByteArray tiff = encoded(photo, "tiff");
        const QByteArray jpeg = encoded(photo, "jpeg");
        QTest::newRow("text") << QByteArray("text.jpg") << QByteArray("not a picture")
                              << LoadFailure::NotAnImage;
        QTest::newRow("empty") << QByteArray("empty.png") << QByteArray() << LoadFailure::EmptyFile;
        QTest::newRow("jpeg header only")
            << QByteArray("head.jpg") << jpeg.left(40) << LoadFailure::NotAnImage;
        QTest::newRow("png damaged") << QByteArray("bad.png") << png << LoadFailure::NotAnImage;
        QTest::newRow("tiff header only")
            << QByteArray("head.tif") << tiff.left(8) << LoadFailure::NotAnImage;
        QTest::newRow("gif cut") << QByteArray("cut.gif") << QByteArray("GIF89a\x10\0")
                                 << LoadFailure::NotAnImage;
        QTest::newRow("webp cut") << QByteArray("cut.webp") << encoded(photo, "webp").left(60)
                                  << LoadFailure::NotAnImage;
        QTest::newRow("bmp header only")
            << QByteArray("head.bmp") << bmpHeader(64, 64).left(30) << LoadFailure::NotAnImage;
        // headers that claim more than the budget: refused before decoding
        QTest::newRow("progressive jpeg 46000 square")
            << QByteArray("huge.jpg") << jpegClaiming(46000, true) << LoadFailure::TooLarge;
        // signature, header (interlaced), an empty first data chunk
        const QByteArray interlaced =
            QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000186a0000186a008020000015037ac09"
                                "000000004944415435af061e");
        QTest::newRow("interlaced png 100000 square")
            << QByteArray("huge.png") << interlaced << LoadFailure::TooLarge;
    }
    void badFilesGiveTheirReasonQuietly()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, bytes);
        QFETCH(LoadFailure, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(name));
        QVERIFY(ovrin::test::writeText(path, bytes));
        LoadFailure got = LoadFailure::None;
        const QByteArray said =
            stderrOf([&] { got = ImageLoader::loadThumbnail(str(path), 8).failure; });
        QCOMPARE(got, reason);
        QVERIFY2(said.isEmpty(), said.constData());
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
        qWarning("after decoding");
        QCOMPARE(g_messages, QStringList{QStringLiteral("after decoding")});
    }

    void nonPicturesAreNeverRead()
    {
        QTemporaryDir dir;
        const std::string root = str(dir.path());
        QCOMPARE(::mkfifo((root + "/fifo.jpg").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", (root + "/zero.jpg").c_str()), 0);
        QCOMPARE(ImageLoader::loadThumbnail(root + "/fifo.jpg", 8).failure,
                 LoadFailure::NotRegularFile); // must not block
        QCOMPARE(ImageLoader::loadThumbnail(root + "/zero.jpg", 8).failure,
                 LoadFailure::NotRegularFile); // must not read forever
        QCOMPARE(ImageLoader::loadThumbnail(root, 8).failure, LoadFailure::NotRegularFile);
        QCOMPARE(ImageLoader::loadThumbnail(root + "/missing.png", 8).failure,
                 LoadFailure::Missing);
        QCOMPARE(ImageLoader::loadThumbnail("", 8).failure, LoadFailure::Missing);
    }

    // Decodes that would take seconds end soon after the stop, whether they
    // decode or wait for their share of the budget.
    void stopEndsADecode_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("budgetTaken");
        QTest::newRow("bmp of 900 megapixels") << QByteArray("big.bmp") << bmpHeader(30000, 30000)
                                               << qint64(54) + 90000LL * 30000 << false;
        QTest::newRow("jpeg claiming 60000 square")
            << QByteArray("big.jpg") << jpegClaiming(60000, false) << qint64(0) << false;
        QTest::newRow("waiting for the budget")
            << QByteArray("wait.jpg") << encoded(ovrin::test::photoLike(64, 64, 2), "jpeg")
            << qint64(0) << true;
    }
    void stopEndsADecode()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(bool, budgetTaken);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(name));
        QVERIFY(writeSparse(path, head, std::max<qint64>(size, head.size())));
        DecodeBudget::Reservation held;
        if (budgetTaken)
            QCOMPARE(DecodeBudget::reserve(DecodeBudget::capacity(), nullptr, held),
                     LoadFailure::None);

        std::atomic<bool> proceed{true};
        LoadFailure got = LoadFailure::None;
        std::thread decode(
            [&] { got = ImageLoader::loadThumbnail(str(path), 8, &proceed).failure; });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        proceed = false;
        decode.join();
        QCOMPARE(got, LoadFailure::Stopped);
    }

    // Workers decoding at once wait for each other rather than add up past
    // the budget, and all of them get their picture.
    // No decode may wait on a thread it cannot start (the toolkit converts
    // large pictures on its thread pool): with threads refused to the
    // process, as an unprivileged user, pictures that need conversions still
    // load.
    void decodesWhereNoThreadCanStart()
    {
        QTemporaryDir dir;
        QImage image(2000, 1500, QImage::Format_ARGB32);
        image.fill(QColor(10, 200, 30, 128));
        const QString alpha = dir.filePath(QStringLiteral("alpha.png"));
        const QString grey = dir.filePath(QStringLiteral("grey.pgm")); // through the toolkit
        QVERIFY(ovrin::test::writeImage(alpha, image, "png"));
        QVERIFY(
            ovrin::test::writeImage(grey, image.convertToFormat(QImage::Format_Grayscale8), "pgm"));
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther));

        const pid_t child = ::fork();
        if (child == 0) {
            // root is not held to the process limit: become nobody first
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            const rlimit one{1, 1};
            ::setrlimit(RLIMIT_NPROC, &one);
            try {
                std::thread([] {}).join();
                ::_exit(4); // threads can still be made: nothing to show
            } catch (const std::system_error&) {
            }
            const bool loaded = ImageLoader::loadThumbnail(str(alpha), 8).raster.has_value() &&
                                ImageLoader::loadThumbnail(str(grey), 8).raster.has_value();
            ::_exit(loaded ? 0 : 1);
        }
        QVERIFY(child > 0);
        int status = 0;
        for (int waited = 0; ::waitpid(child, &status, WNOHANG) == 0; waited += 50) {
            if (waited > 10000) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                QFAIL("decoding waited for a thread that could not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 4)
            QSKIP("threads cannot be refused to this process here");
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    void workersShareTheBudget()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("whole.webp"));
        // WebP is decoded whole: some 3.6 MB each, so two at once would not fit
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(QColor(250, 0, 0));
        QVERIFY(ovrin::test::writeImage(path, image, "webp", 90));
        ImageLoader::setDecodeBudgetForTesting(5 * 1024 * 1024);
        std::vector<std::thread> workers;
        std::atomic<int> loaded{0};
        for (int i = 0; i < 4; ++i)
            workers.emplace_back([&] {
                for (int k = 0; k < 5; ++k) {
                    const auto result = ImageLoader::loadThumbnail(str(path), 8);
                    loaded +=
                        result.raster && level(result.raster->colorAt(7, 7).red) > 240 ? 1 : 0;
                }
            });
        for (auto& worker : workers)
            worker.join();
        QCOMPARE(loaded.load(), 20);
        QVERIFY(DecodeBudget::highWater() > 3 * 1024 * 1024);
        QVERIFY(DecodeBudget::highWater() <= 5 * 1024 * 1024);
    }

    // Readings in MiB (-1: no such limit), each thread taking 72 MiB of
    // address space, under the 1 GiB ceiling.
    void budgetFollowsTheLimits_data()
    {
        QTest::addColumn<int>("addressSpace");
        QTest::addColumn<int>("used");
        QTest::addColumn<int>("cgroup");
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("together");
        QTest::addColumn<int>("alone");
        QTest::newRow("no limits") << -1 << 150 << -1 << -1 << 8 << 8 << 1024 << 1024;
        QTest::newRow("wide address space") << 16384 << 150 << -1 << -1 << 8 << 8 << 1024 << 1024;
        QTest::newRow("ulimit -v 800000") << 780 << 150 << -1 << -1 << 8 << 4 << 171 << 171;
        QTest::newRow("room for one thread only") << 400 << 150 << -1 << -1 << 8 << 1 << 125 << 125;
        QTest::newRow("limit below the use") << 100 << 150 << -1 << -1 << 8 << 1 << 0 << 0;
        QTest::newRow("cgroup") << -1 << 150 << 600 << -1 << 8 << 8 << 300 << 300;
        QTest::newRow("available memory") << -1 << 150 << -1 << 400 << 8 << 8 << 200 << 1024;
        QTest::newRow("tightest of all") << 2048 << 100 << 1000 << 300 << 2 << 2 << 150 << 500;
    }
    void budgetFollowsTheLimits()
    {
        QFETCH(int, addressSpace);
        QFETCH(int, used);
        QFETCH(int, cgroup);
        QFETCH(int, available);
        QFETCH(int, wanted);
        QFETCH(int, threads);
        QFETCH(int, together);
        QFETCH(int, alone);
        constexpr std::int64_t kMiB = 1024 * 1024;
        const auto reading = [](int mib) {
            return mib < 0 ? std::nullopt : std::optional<std::int64_t>(mib * kMiB);
        };
        MemoryReadings readings;
        readings.addressSpaceLimit = reading(addressSpace);
        readings.addressSpaceUsed = used * kMiB;
        readings.threadAddressSpace = 72 * kMiB;
        readings.cgroupRoom = reading(cgroup);
        readings.available = reading(available);
        QCOMPARE(DecodeBudget::threadsWithin(readings, wanted, 1024 * kMiB), threads);
        const auto share = DecodeBudget::shareFor(readings, threads > 1 ? threads : 0, 1024 * kMiB);
        QCOMPARE(share.together, together * kMiB);
        QCOMPARE(share.alone, alone * kMiB);
    }

    void limitsAreReadFromTheCgroupHierarchy_data()
    {
        QTest::addColumn<QByteArrayList>("files"); // path, content, path, content, ...
        QTest::addColumn<qint64>("room");          // -1: none
        QTest::newRow("version 2, the parent binds")
            << QByteArrayList{"proc/self/cgroup",
                              "0::/a/b\n",
                              "sys/fs/cgroup/a/memory.max",
                              "1000000\n",
                              "sys/fs/cgroup/a/memory.current",
                              "600000\n",
                              "sys/fs/cgroup/a/memory.stat",
                              "anon 5\ninactive_file 100000\n",
                              "sys/fs/cgroup/a/b/memory.max",
                              "max\n",
                              "sys/fs/cgroup/a/b/memory.current",
                              "300000\n"}
            << qint64(500000);
        QTest::newRow("version 1, unlimited root")
            << QByteArrayList{"proc/self/cgroup",
                              "5:cpu,memory:/x\n1:pids:/\n",
                              "sys/fs/cgroup/memory/x/memory.limit_in_bytes",
                              "800000\n",
                              "sys/fs/cgroup/memory/x/memory.usage_in_bytes",
                              "500000\n",
                              "sys/fs/cgroup/memory/x/memory.stat",
                              "total_inactive_file 50000\n",
                              "sys/fs/cgroup/memory/memory.limit_in_bytes",
                              "9223372036854771712\n",
                              "sys/fs/cgroup/memory/memory.usage_in_bytes",
                              "900000\n"}
            << qint64(350000);
        QTest::newRow("no memory controller")
            << QByteArrayList{"proc/self/cgroup", "1:pids:/\n"} << qint64(-1);
    }
    void limitsAreReadFromTheCgroupHierarchy()
    {
        QFETCH(QByteArrayList, files);
        QFETCH(qint64, room);
        QTemporaryDir root;
        files << "proc/meminfo"
              << "MemTotal: 9 kB\nMemAvailable:    2048 kB\n"
              << "proc/self/statm"
              << "1000 20 3\n";
        for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
            const QString path = root.filePath(QString::fromUtf8(files[i]));
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(files[i + 1]);
        }
        const MemoryReadings readings = MemoryReadings::read(str(root.path()));
        QCOMPARE(readings.cgroupRoom.value_or(-1), room);
        QCOMPARE(readings.available.value_or(-1), 2048 * 1024);
        QCOMPARE(readings.addressSpaceUsed, 1000 * ::sysconf(_SC_PAGESIZE));
        QVERIFY(!readings.addressSpaceLimit);
    }

    // A decode needing more than the shared part waits until it is alone;
    // past the largest single decode it is refused at once.
    void largeDecodeWaitsToRunAlone()
    {
        ImageLoader::setDecodeBudgetForTesting(100 * 1024 * 1024);
        MemoryReadings readings;
        readings.available = 20 * 1024 * 1024; // 10 MiB at once
        DecodeBudget::fit(readings, 0);
        DecodeBudget::Reservation small;
        QCOMPARE(DecodeBudget::reserve(1024 * 1024, nullptr, small), LoadFailure::None);
        DecodeBudget::Reservation large;
        QCOMPARE(DecodeBudget::reserve(101 * 1024 * 1024, nullptr, large), LoadFailure::TooLarge);
        std::atomic<bool> granted{false};
        std::thread waiter([&] {
            granted = DecodeBudget::reserve(60 * 1024 * 1024, nullptr, large) == LoadFailure::None;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const bool grantedBeside = granted.load();
        small = DecodeBudget::Reservation();
        waiter.join();
        DecodeBudget::unfit();
        QVERIFY(!grantedBeside);
        QVERIFY(granted.load());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
