#include "platform/tests/PlatformTestSupport.h"

namespace {

// A gzip member around the deflate stream of the toolkit's zlib format.
QByteArray gzipped(const QByteArray& plain)
{
    return QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + qCompress(plain, 9).mid(6).chopped(4) +
           le32(crc32(plain)) + le32(quint32(plain.size()));
}

// A drawing of 4 x 4 units with `body` over a blue left and a green right
// half; "@" in the body stands for the test's folder.
QByteArray drawing(const char* size, const QByteArray& body = {})
{
    return QByteArray("<svg xmlns='http://www.w3.org/2000/svg' "
                      "xmlns:xlink='http://www.w3.org/1999/xlink' ") +
           size +
           "><rect width='2' height='4' fill='#0000ff'/>"
           "<rect x='2' width='2' height='4' fill='#00ff00'/>" +
           body + "</svg>";
}

QByteArray redPicture()
{
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    return encoded(red, "png");
}

} // namespace

class TestSvg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Drawings read with their colours, laid on white; what a drawing names
    // outside itself is never read, whatever it is; what cannot be read
    // safely is skipped with its reason, quietly.
    void drawings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QColor>("left");
        QTest::addColumn<QColor>("right");
        const QColor blue(0, 0, 255), green(0, 255, 0), red(255, 0, 0);
        const auto none = int(LoadFailure::None);
        const auto refused = int(LoadFailure::NotAnImage);
        const QByteArray cover = "width='4' height='4'";
        const QByteArray plain = drawing("width='64' height='32' viewBox='0 0 4 4'");
        QTest::newRow("plain") << plain << "a.svg" << none << blue << green;
        QTest::newRow("packed, by its bytes")
            << gzipped(plain) << "picture" << none << blue << green;
        QTest::newRow("view box only")
            << drawing("viewBox='0 0 4 4'") << "a" << none << blue << green;
        QTest::newRow("declared absurdly large")
            << drawing("width='1e30' height='4e29' viewBox='0 0 4 4'") << "a.svg" << none << blue
            << green;
        QTest::newRow("half transparent on white")
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'><rect "
                          "width='4' height='4' fill='#ff0000' fill-opacity='0.5'/></svg>")
            << "a.svg" << none << QColor(255, 127, 127) << QColor(255, 127, 127);
        QTest::newRow("embedded picture")
            << drawing(cover, "<image " + cover + " xlink:href='data:image/png;base64," +
                                  redPicture().toBase64() + "'/>")
            << "a.svg" << none << red << red;
        QTest::newRow("picture by path")
            << drawing(cover, "<image " + cover + " xlink:href='@/red.png'/>") << "a.svg" << none
            << blue << green;
        QTest::newRow("picture from a FIFO")
            << drawing(cover, "<image " + cover + " xlink:href='@/fifo'/>") << "a.svg" << none
            << blue << green;
        QTest::newRow("DOCTYPE first, picture by path")
            << "<!DOCTYPE svg>" + drawing(cover, "<image " + cover + " xlink:href='@/red.png'/>")
            << "picture" << none << blue << green;
        QTest::newRow("style sheet by path")
            << "<?xml-stylesheet type=\"text/css\" href=\"@/red.css\"?>" + plain << "a.svg" << none
            << blue << green;
        QTest::newRow("animated") << drawing(
                                         cover,
                                         "<rect " + cover +
                                             " fill='#ff0000'><animateColor attributeName='fill' "
                                             "from='#000000' to='#000000' dur='9s'/></rect>")
                                  << "a.svg" << none << red << red;
        QTest::newRow("text without a GUI application")
            << drawing(cover, "<text y='3'>W</text>") << "a.svg" << refused << QColor() << QColor();
        QTest::newRow("no size") << drawing("") << "a.svg" << refused << QColor() << QColor();
        QTest::newRow("zero width")
            << drawing("width='0' height='4'") << "a.svg" << refused << QColor() << QColor();
        QTest::newRow("view box not a number")
            << drawing("viewBox='0 0 nan 4'") << "a.svg" << refused << QColor() << QColor();
        QTest::newRow("cut short")
            << plain.left(plain.size() - 8) << "a.svg" << refused << QColor() << QColor();
        QTest::newRow("packed, cut short")
            << gzipped(plain).chopped(12) << "a.svgz" << refused << QColor() << QColor();
        QTest::newRow("not a drawing") << QByteArray("<?xml version='1.0'?><html/>") << "a.xml"
                                       << refused << QColor() << QColor();
        QByteArray laughs = "<!DOCTYPE svg [<!ENTITY a0 'lollollollol'>";
        for (int i = 1; i < 10; ++i)
            laughs += QByteArray("<!ENTITY a%1 '").replace("%1", QByteArray::number(i)) +
                      QByteArray("&a" + QByteArray::number(i - 1) + ";").repeated(10) + "'>";
        QTest::newRow("entities expanding without end")
            << laughs + "]>" + drawing(cover, "<desc>&a9;</desc>") << "a.svg" << refused << QColor()
            << QColor();
        QTest::newRow("packed bomb")
            << gzipped("<svg" + QByteArray(40 * 1024 * 1024, ' ')) << "a.svgz"
            << int(LoadFailure::TooLarge) << QColor() << QColor();
    }
    void drawings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(int, failure);
        QFETCH(QColor, left);
        QFETCH(QColor, right);
#ifndef OVRIN_HAVE_SVG
        QSKIP("built without SVG");
#endif
        QTemporaryDir dir;
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("red.png")), redPicture()) &&
                ovrin::test::writeText(dir.filePath(QStringLiteral("red.css")),
                                       "rect { fill: #ff0000 }") &&
                ::mkfifo(qPrintable(dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
        if (!bytes.startsWith("\x1f\x8b"))
            bytes.replace('@', dir.path().toUtf8());
        LoadResult result;
        const QByteArray noise = stderrOf([&] { result = loaded(bytes, 8, 16, name); });
        QCOMPARE(int(result.failure), failure);
        QCOMPARE(noise, QByteArray());
        if (failure != int(LoadFailure::None))
            return;
        QVERIFY(result.raster && result.luminance.size() == 256);
        checkNear(shade(result.raster->colorAt(0, 4)), left, 1, 0, 4);
        checkNear(shade(result.raster->colorAt(7, 4)), right, 1, 7, 4);
    }
};

QObject* makeSvgTests()
{
    return new TestSvg;
}

#include "tst_svg.moc"
