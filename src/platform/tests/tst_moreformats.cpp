// WebP at a reduced size, BMP bit fields, and damaged files of the formats
// read through their own libraries.
#include "platform/tests/PlatformTestSupport.h"
#include "support/DngWriter.h"

#include <QStandardPaths>

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

QByteArray dng(const ovrin::test::DngOptions& options)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.dng"));
    QFile file(path);
    return ovrin::test::writeDng(path, ovrin::test::photoLike(200, 120, 13), options) &&
                   file.open(QIODevice::ReadOnly)
               ? file.readAll()
               : QByteArray();
}

} // namespace

class TestMoreFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
};

QObject* makeMoreFormatsTests()
{
    return new TestMoreFormats;
}
#include "tst_moreformats.moc"
