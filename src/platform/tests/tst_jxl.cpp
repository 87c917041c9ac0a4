#include "platform/tests/PlatformTestSupport.h"

#include <QPainter>
#include <QStandardPaths>

namespace {

QByteArray cjxl(const QImage& image, const QStringList& arguments, const QString& source = {})
{
    return madeBy(image, QStringLiteral("cjxl"), arguments, QStringLiteral("jxl"), source);
}

// Four quadrants: red, green, blue and half-transparent black (grey on white).
QImage quadrants(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int h = side / 2;
    painter.fillRect(0, 0, h, h, QColor(255, 0, 0));
    painter.fillRect(h, 0, h, h, QColor(0, 255, 0));
    painter.fillRect(0, h, h, h, QColor(0, 0, 255));
    painter.fillRect(h, h, h, h, QColor(0, 0, 0, 128));
    return image;
}

} // namespace

class TestJxl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
#ifndef OVRIN_HAVE_JXL
        QSKIP("built without JPEG XL");
#endif
        if (QStandardPaths::findExecutable(QStringLiteral("cjxl")).isEmpty())
            QSKIP("cjxl is not installed");
    }

    void colours_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("lossless") << QStringList{QStringLiteral("-d"), QStringLiteral("0")} << 1;
        QTest::newRow("lossy") << QStringList{QStringLiteral("-d"), QStringLiteral("1")} << 12;
        QTest::newRow("lossy in boxes") << QStringList{QStringLiteral("-d"), QStringLiteral("1"),
                                                       QStringLiteral("--container=1")}
                                        << 12;
    }
    void colours()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, tolerance);
        const QByteArray bytes = cjxl(quadrants(64), arguments);
        QVERIFY(!bytes.isEmpty());
        const LoadResult result = loaded(bytes, 2);
        QVERIFY(result.raster);
        QCOMPARE(result.width, 64);
        const QColor want[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {127, 127, 127}};
        for (int i = 0; i < 4; ++i)
            checkNear(shade(result.raster->colorAt(i % 2, i / 2)), want[i], tolerance, i % 2,
                      i / 2);
    }

    // Only the first frame counts, and the others are never decoded.
    void animationGivesItsFirstFrame()
    {
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
        const QByteArray bytes = cjxl({}, {}, gif);
        QVERIFY(!bytes.isEmpty());
        const LoadResult result = loaded(bytes, 1);
        QVERIFY(result.raster);
        checkNear(shade(result.raster->colorAt(0, 0)), QColor(255, 0, 0), 2, 0, 0);
    }
};

QObject* makeJxlTests()
{
    return new TestJxl;
}
#include "tst_jxl.moc"
