// WebP at a reduced size and BMP bit fields.
#include "platform/tests/PlatformTestSupport.h"

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
        QTest::newRow("lossy") << false << 90 << 1.5;
        QTest::newRow("lossy, alpha") << true << 90 << 2.5;
    }
    void largeWebpIsDecodedAtAReducedSize()
    {
        QFETCH(bool, alpha);
        QFETCH(int, quality);
        QFETCH(double, bytesPerPixel);
        QImage image = ovrin::test::photoLike(4200, 4100, 7);
        if (alpha) {
            image = image.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < 1400; ++y)
                for (int x = 0; x < 4200; ++x)
                    image.setPixel(x, y, (image.pixel(x, y) & 0xffffff) | 0x60000000u);
        }
        const QByteArray bytes = encoded(image, "webp", false, quality);
        const QImage whole =
            QImage::fromData(bytes, "webp").convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const ThumbnailRaster want =
            ImageLoader::reduce(reinterpret_cast<const std::uint32_t*>(whole.constBits()),
                                whole.width(), whole.height(), whole.width(), 8);
        ImageLoader::setDecodeBudgetForTesting(0);
        const LoadResult got = loaded(bytes, 8, 32);
        QVERIFY(got.raster);
        QCOMPARE(got.width, 4200);
        QCOMPARE(got.height, 4100);
        QVERIFY2(double(DecodeBudget::highWater()) < bytesPerPixel * 4200 * 4100,
                 qPrintable(QString::number(DecodeBudget::highWater())));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                checkNear(shade(got.raster->colorAt(x, y)), shade(want.colorAt(x, y)), 1, x, y);
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
