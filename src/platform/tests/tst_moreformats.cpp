// The formats read through their own libraries (HEIF and AVIF, JPEG XL,
// camera RAW, WebP at a reduced size), BMP bit fields, and damaged files.
#include "platform/tests/PlatformTestSupport.h"
#include "support/DngWriter.h"

#include <QStandardPaths>
#include <QtEndian>

#include <fcntl.h>

// Skips the test where the tool that makes its samples is missing.
#define NEEDS(tool)                                                                                \
    if (QStandardPaths::findExecutable(QStringLiteral(tool)).isEmpty())                            \
    QSKIP(tool " is not installed")

namespace {

// A BMP of one pixel, `value` stored in `bits` bits under the given masks:
// after a header of `infoSize` bytes (masks inside it from 52 bytes on), or
// after it as the compression asks.
QByteArray bitFieldsBmp(quint32 infoSize, int bits, quint32 compression,
                        const std::array<quint32, 4>& masks, quint32 value)
{
    QByteArray info = le32(infoSize) + le32(1) + le32(1) + le32(1).left(2) +
                      le32(quint32(bits)).left(2) + le32(compression) + QByteArray(20, '\0');
    QByteArray after;
    for (std::size_t i = 0; i < (compression == 6 ? 4u : 3u); ++i)
        (infoSize >= 52 ? info : after) += le32(masks[i]);
    if (infoSize >= 56 && compression == 3)
        info += le32(masks[3]);
    info += QByteArray(int(infoSize) - info.size(), '\0');
    const QByteArray pixel = le32(value); // a row is padded to 4 bytes
    const quint32 offset = 14 + infoSize + quint32(after.size());
    return "BM" + le32(offset + 4) + le32(0) + le32(offset) + info + after + pixel;
}

// A bare JPEG XL codestream whose header claims `side` x `side` pixels,
// every other field left to its default.
QByteArray codestreamClaiming(quint32 side)
{
    // LSB first: not small, the height in 30 bits, a 1:1 ratio, then the
    // metadata and transform data all default.
    const quint64 bits =
        0ull | (3ull << 1) | (quint64(side - 1) << 3) | (1ull << 33) | (1ull << 36) | (1ull << 37);
    QByteArray bytes("\xff\x0a", 2);
    for (int i = 0; i < 5; ++i)
        bytes += char(bits >> (8 * i));
    return bytes + QByteArray(16, '\0');
}

QByteArray flipped(QByteArray bytes, qsizetype from, qsizetype step)
{
    for (qsizetype at = from; at < bytes.size(); at += step)
        bytes[at] = char(bytes[at] ^ 0x5a);
    return bytes;
}

// The value of every one-value SHORT or LONG entry `tag` of a TIFF file set
// to `value`.
QByteArray patched(QByteArray tiff, quint16 tag, quint32 value)
{
    for (qsizetype at = 8; at + 12 <= tiff.size(); at += 2)
        if (quint8(tiff[at]) == (tag & 0xff) && quint8(tiff[at + 1]) == tag >> 8 &&
            (tiff[at + 2] == 3 || tiff[at + 2] == 4) && tiff[at + 3] == 0 && tiff[at + 4] == 1 &&
            tiff[at + 5] == 0 && tiff[at + 6] == 0)
            for (int i = 0; i < 4; ++i)
                tiff[at + 8 + i] =
                    char(value >> (8 * i) & (tiff[at + 2] == 3 && i >= 2 ? 0 : 0xff));
    return tiff;
}

QByteArray dng(const ovrin::test::DngOptions& options,
               const QImage& photo = ovrin::test::photoLike(200, 120, 13))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.dng"));
    QFile file(path);
    return ovrin::test::writeDng(path, photo, options) && file.open(QIODevice::ReadOnly)
               ? file.readAll()
               : QByteArray();
}

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

enum class Preview { None, Bitmap, Jpeg };

// A DNG of `photo` as bytes; its preview, where it has one, is the photo
// inverted and scaled to `previewSize`, so the result tells which was read.
QByteArray dngOf(const QImage& photo, bool mosaic, Preview preview, QSize previewSize,
                 int orientation)
{
    ovrin::test::DngOptions options;
    options.mosaic = mosaic;
    options.orientation = orientation;
    options.jpegPreview = preview == Preview::Jpeg;
    if (preview != Preview::None) {
        options.preview =
            photo.scaled(previewSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        options.preview.invertPixels();
    }
    return dng(options, photo);
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

class TestMoreFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { ImageLoader::setDecodeBudgetForTesting(0); }

    // Decoded whole, a lossy picture needs 3 bytes a pixel (5 with alpha, whose
    // plane libwebp keeps whole).
    void largeWebpIsDecodedAtAReducedSize_data()
    {
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<int>("quality");
        QTest::addColumn<double>("bytesPerPixel");
        QTest::newRow("lossy") << false << 90 << 1.7;
        QTest::newRow("lossy, alpha") << true << 90 << 3.2;
    }
    void largeWebpIsDecodedAtAReducedSize()
    {
        QFETCH(bool, alpha);
        QFETCH(int, quality);
        QFETCH(double, bytesPerPixel);
        QImage image = ovrin::test::photoLike(6100, 6000, 7);
        if (alpha) {
            image = image.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < 2000; ++y)
                for (int x = 0; x < 6100; ++x)
                    image.setPixel(x, y, (image.pixel(x, y) & 0xffffff) | 0x60000000u);
        }
        const QByteArray bytes = encoded(image, "webp", false, quality);
        QImageReader::setAllocationLimit(512); // the whole picture, to compare with
        const QImage whole =
            QImage::fromData(bytes, "webp").convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const ThumbnailRaster want =
            ImageLoader::reduce(reinterpret_cast<const std::uint32_t*>(whole.constBits()),
                                whole.width(), whole.height(), whole.width(), 8);
        ImageLoader::setDecodeBudgetForTesting(0);
        const LoadResult got = loaded(bytes, 8, 32);
        QVERIFY(got.raster);
        QCOMPARE(got.width, 6100);
        QCOMPARE(got.height, 6000);
        QVERIFY2(double(DecodeBudget::highWater()) < bytesPerPixel * 6100 * 6000,
                 qPrintable(QString::number(DecodeBudget::highWater())));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                checkNear(shade(got.raster->colorAt(x, y)), shade(want.colorAt(x, y)), 1, x, y);
    }

    // Damaged and hostile files give their reason without a word on the
    // terminal; a huge declared size is refused before any decoding, by the
    // budget below the cap (3.6 gigapixels) and by the cap above it.
    void damagedFilesGiveTheirReasonQuietly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("reason"); // -1: a picture or a skip, either
        [[maybe_unused]] const int broken = int(LoadFailure::NotAnImage),
                                   large = int(LoadFailure::TooLarge);
        [[maybe_unused]] const auto add = [](const char* row, const QByteArray& bytes,
                                             const char* name, int reason) {
            QTest::newRow(row) << bytes << QString::fromLatin1(name) << reason;
        };
        // Rows of a format whose encoder is missing are left out.
        [[maybe_unused]] const auto made = [](const char* tool, const QStringList& arguments,
                                              const char* suffix) {
            return QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
                       ? QByteArray()
                       : madeBy(ovrin::test::photoLike(96, 64, 3), QString::fromLatin1(tool),
                                arguments, QString::fromLatin1(suffix));
        };
#ifdef OVRIN_HAVE_HEIF
        if (const QByteArray heic = made("heif-enc", {}, "heic"); !heic.isEmpty()) {
            const qsizetype size = heic.indexOf("ispe") + 8;
            add("heic cut short", heic.left(heic.size() / 2), "a.heic", broken);
            add("heic of no size", QByteArray(heic).replace(size, 8, be32(0) + be32(0)), "a.heic",
                broken);
            add("heic huge", QByteArray(heic).replace(size, 8, be32(60000) + be32(60000)), "a.heic",
                large);
            add("heic with a video brand",
                QByteArray(heic).replace("heic", "isom").replace("mif1", "isom"), "a.heic", broken);
            add("heic flipped", flipped(heic, 20, 53), "a.heic", -1);
        }
#endif
#ifdef OVRIN_HAVE_JXL
        if (const QByteArray jxl = made("cjxl", {QStringLiteral("-d"), QStringLiteral("0")}, "jxl");
            !jxl.isEmpty()) {
            add("jxl cut short", jxl.left(jxl.size() / 2), "a.jxl", broken);
            add("jxl flipped", flipped(jxl, 20, 97), "a.jxl", broken);
            add("jxl header only", jxl.left(12), "a.jxl", broken);
        }
        add("jxl claiming 3.6 gigapixels", codestreamClaiming(60000), "a.jxl", large);
        add("jxl claiming 10 gigapixels", codestreamClaiming(100000), "a.jxl", large);
#endif
#ifdef OVRIN_HAVE_RAW
        const QByteArray raw = dng({});
        QVERIFY(!raw.isEmpty());
        add("dng cut short", raw.left(raw.size() / 2), "a.dng", -1);
        add("dng flipped", flipped(raw, raw.size() / 3, 7), "a.dng", -1);
        add("dng huge", patched(patched(raw, 256, 60000), 257, 60000), "a.dng", large);
        ovrin::test::DngOptions previewed;
        previewed.preview = ovrin::test::photoLike(100, 60, 14);
        previewed.jpegPreview = true;
        add("dng with a preview larger than the file", patched(dng(previewed), 279, 0x7fffffff),
            "a.dng", -1);
#endif
    }
    void damagedFilesGiveTheirReasonQuietly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(int, reason);
        LoadResult result;
        const QByteArray said = stderrOf([&] { result = loaded(bytes, 8, 32, name); });
        QVERIFY2(said.isEmpty(), said.constData());
        if (reason >= 0)
            QCOMPARE(int(result.failure), reason);
        else
            QVERIFY(result.failure == LoadFailure::None ||
                    result.failure == LoadFailure::NotAnImage);
        QCOMPARE(result.raster.has_value(), result.failure == LoadFailure::None);
    }

    void bmpBitFields_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QColor>("colour"); // invalid: refused
        QTest::newRow("16-bit 565")
            << bitFieldsBmp(40, 16, 3, {0xf800, 0x07e0, 0x001f}, 0xf81f) << QColor(255, 0, 255);
        QTest::newRow("32-bit, 10 bits a channel")
            << bitFieldsBmp(40, 32, 3, {0x3ff, 0xffc00, 0x3ff00000}, 0x200u << 10 | 0x3ff)
            << QColor(255, 128, 0);
        QTest::newRow("V5, alpha in the low byte")
            << bitFieldsBmp(124, 32, 3, {0xff000000, 0xff0000, 0xff00, 0xff}, 0xff000000u)
            << QColor(255, 255, 255);
        QTest::newRow("V3, half transparent")
            << bitFieldsBmp(56, 32, 3, {0xff000000, 0xff0000, 0xff00, 0xff}, 0x00ff0080u)
            << QColor(127, 255, 127);
        QTest::newRow("alpha bit fields after the header")
            << bitFieldsBmp(40, 32, 6, {0xff, 0xff00, 0xff0000, 0xff000000}, 0xff0000ffu)
            << QColor(255, 0, 0);
        QTest::newRow("a hole in a mask")
            << bitFieldsBmp(40, 16, 3, {0, 0xf0f0, 0}, 0xf000) << QColor(0, 255, 0);
        QTest::newRow("no colour in any mask")
            << bitFieldsBmp(40, 32, 3, {0, 0, 0}, 0xffffffffu) << QColor();
    }
    void bmpBitFields()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QColor, colour);
        const LoadResult got = loaded(bytes, 1);
        QCOMPARE(bool(got.raster), colour.isValid());
        if (got.raster)
            checkNear(shade(got.raster->colorAt(0, 0)), colour, 1, 0, 0);
    }

    // Colours as stored, alpha on white, and the stored picture turned or
    // mirrored where the file says so (avifenc's irot 1 turns a quarter
    // anticlockwise, imir 0 swaps top and bottom), both in the search's grid
    // and in the window's picture: of the picture's own shape, its longer
    // side fitting the box, decoded no larger than it needs (JPEG at 1/8).
    void coloursAndTurns_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // of `stored`, or of `big` for the JPEG
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("bottom");
        QTest::addColumn<int>("turn"); // degrees clockwise the stored picture is seen turned
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<QString>("format");
        const QColor top(220, 40, 30), blue(40, 60, 200), clear(0, 0, 0, 0);
        const auto made = [&](const char* tool, const char* arguments, QColor bottom) {
            const QString name = QString::fromLatin1(tool);
            return madeBy(halves(64, 32, top, bottom), name,
                          QString::fromLatin1(arguments).split(u' '),
                          name == QStringLiteral("avifenc") ? QStringLiteral("avif")
                          : name == QStringLiteral("cjxl")  ? QStringLiteral("jxl")
                                                            : QStringLiteral("heic"));
        };
        QTest::newRow("heic") << made("heif-enc", "-q 95", blue) << "a" << blue << 0 << 12
                              << "HEIF";
        QTest::newRow("avif") << made("avifenc", "-s 10", blue) << "a" << blue << 0 << 12 << "AVIF";
        QTest::newRow("heic alpha")
            << made("heif-enc", "-q 95", clear) << "a" << clear << 0 << 12 << "HEIF";
        QTest::newRow("avif alpha")
            << made("avifenc", "-s 10", clear) << "a" << clear << 0 << 12 << "AVIF";
        QTest::newRow("avif irot")
            << made("avifenc", "-s 10 --irot 1", blue) << "a" << blue << 270 << 12 << "AVIF";
        QTest::newRow("avif imir")
            << made("avifenc", "-s 10 --imir 0", blue) << "a" << blue << 180 << 12 << "AVIF";
#ifdef OVRIN_HAVE_JXL
        QTest::newRow("jxl lossless")
            << made("cjxl", "-d 0", blue) << "a" << blue << 0 << 1 << "JPEG XL";
        QTest::newRow("jxl lossy, alpha")
            << made("cjxl", "-d 1", clear) << "a" << clear << 0 << 12 << "JPEG XL";
        QTest::newRow("jxl lossy in boxes")
            << made("cjxl", "-d 1 --container=1", blue) << "a" << blue << 0 << 12 << "JPEG XL";
#endif
        const QImage stored = halves(64, 32, top, blue);
        QTest::newRow("dng turned")
            << dngOf(stored, true, Preview::None, {}, 6) << "a.dng" << blue << 90 << 14 << "DNG";
        // a TGA has no footer unless it says so
        const QImage bgr = stored.convertToFormat(QImage::Format_BGR888);
        const QByteArray pixels(reinterpret_cast<const char*>(bgr.constBits()), 64 * 32 * 3);
        QTest::newRow("tga") << tga(2, 24, 0x20, pixels, {}, 0, 0, {}, 64, 32) << "a.tga" << blue
                             << 0 << 0 << "TGA";
        QTest::newRow("jpeg turned") << jpegWithExif(halves(1600, 800, top, blue),
                                                     QByteArray("Exif\0\0", 6) + exifBlock(8, true))
                                     << "a.jpg" << blue << 270 << 12 << "JPEG";
    }
    void coloursAndTurns()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QColor, bottom);
        QFETCH(int, turn);
        QFETCH(int, tolerance);
        QFETCH(QString, format);
        if (bytes.isEmpty())
            QSKIP("the tool that makes this file is not installed");
        const int scale = name == QStringLiteral("a.jpg") ? 25 : 1;
        const bool across = turn % 180 != 0;
        const QColor top(220, 40, 30), second = bottom.alpha() == 0 ? QColor(Qt::white) : bottom;
        const LoadResult result = loaded(bytes, 2, 0, name);
        QCOMPARE(result.failure, LoadFailure::None);
        QCOMPARE(QSize(int(result.width), int(result.height)),
                 across ? QSize(32, 64) * scale : QSize(64, 32) * scale);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                checkNear(shade(result.raster->colorAt(x, y)),
                          (turn == 90    ? x == 1
                           : turn == 270 ? x == 0
                                         : (y == 0) == (turn == 0))
                              ? top
                              : second,
                          tolerance, x, y);

        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(ovrin::test::writeText(path, bytes));
        const int longSide = 16 * scale / 4;
        const LoadResult shown = ImageLoader::loadForDisplay(::open(qPrintable(path), O_RDONLY),
                                                             longSide, nullptr, str(path));
        QCOMPARE(QString::fromStdString(shown.format), format);
        QCOMPARE(QSize(shown.raster->width(), shown.raster->height()),
                 across ? QSize(longSide / 2, longSide) : QSize(longSide, longSide / 2));
        const QImage seen = halves(64, 32, top, second).transformed(QTransform().rotate(turn));
        const int right = shown.raster->width() - 1;
        const int low = shown.raster->height() - 1;
        for (const QPoint at : {QPoint(0, 0), QPoint(right, 0), QPoint(0, low), QPoint(right, low)})
            checkNear(shade(shown.raster->colorAt(at.x(), at.y())),
                      seen.pixelColor(at.x() * (seen.width() - 1) / right,
                                      at.y() * (seen.height() - 1) / low),
                      tolerance + 2, at.x(), at.y());
    }

    // A thumbnail is never the picture: every other pixel black makes a
    // mid grey of the whole, while a thumbnail of half the size, taken from
    // every second pixel, is black or white.
    void thumbnailLeftAside()
    {
        NEEDS("heif-enc");
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
        NEEDS("heif-enc");
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
        NEEDS("heif-enc");
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
        workers.reserve(4);
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

    // Only the first frame counts, and the others are never decoded.
    void animationGivesItsFirstFrame()
    {
#ifndef OVRIN_HAVE_JXL
        QSKIP("built without JPEG XL");
#endif
        NEEDS("cjxl");
        const QTemporaryDir dir;
        const QString gif = dir.filePath(QStringLiteral("in.gif"));
        QProcess convert;
        // frames shown for a while each: frames of no duration are layers of
        // the one after them
        QStringList frames{QStringLiteral("-delay"), QStringLiteral("10"), QStringLiteral("-size"),
                           QStringLiteral("32x32"), QStringLiteral("xc:red")};
        for (int i = 0; i < 40; ++i)
            frames << QStringLiteral("xc:blue");
        convert.start(QStringLiteral("convert"),
                      frames << QStringLiteral("-loop") << QStringLiteral("0") << gif);
        if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
            QSKIP("ImageMagick's convert made no animation");
        const QByteArray bytes = madeBy({}, QStringLiteral("cjxl"), {}, QStringLiteral("jxl"), gif);
        QVERIFY(!bytes.isEmpty());
        const LoadResult result = loaded(bytes, 1);
        QVERIFY(result.raster);
        checkNear(shade(result.raster->colorAt(0, 0)), QColor(255, 0, 0), 2, 0, 0);
    }

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

QObject* makeMoreFormatsTests()
{
    return new TestMoreFormats;
}
#include "tst_moreformats.moc"
