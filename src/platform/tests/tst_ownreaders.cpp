// TGA and SVG through our own readers: every TGA kind, origin and alpha rule,
// drawings with what they name outside themselves, and cut or hostile files.
#include "platform/tests/PlatformTestSupport.h"

#include <QStandardPaths>

namespace {

// 5 bits a channel, and the bit above them.
QByteArray p16(unsigned red, unsigned green, unsigned blue, bool top = false)
{
    return le16((top ? 0x8000u : 0u) | red << 10 | green << 5 | blue);
}

QByteArray bgr(QRgb c)
{
    const char bytes[] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c))};
    return QByteArray(bytes, 3);
}

using Corners = QList<QColor>; // top left, top right, bottom left, bottom right

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kWhite(255, 255, 255);

void checkCorners(const LoadResult& got, const Corners& want)
{
    QVERIFY(got.raster);
    for (int i = 0; i < 4; ++i)
        checkNear(shade(got.raster->colorAt(i % 2, i / 2)), want[i], 2, i % 2, i / 2);
}

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

class TestOwnReaders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A picture of four coloured quarters (one half transparent) written by
    // ImageMagick's encoder, or bytes written here for what it cannot make;
    // the encoder's own reading, turned upright, is the reference for its files.
    void everyKindReadsUpright_data()
    {
        QTest::addColumn<QStringList>("convert"); // the encoder's options
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Corners>("want");
        const auto im = [](const char* name, const char* options) {
            QTest::newRow(name) << QString::fromLatin1(options).split(u' ') << QByteArray()
                                << Corners();
        };
        im("24-bit", "-alpha off -type TrueColor");
        im("24-bit run-length, top down",
           "-alpha off -type TrueColor -compress RLE -orient TopLeft");
        im("32-bit alpha", "-type TrueColorAlpha");
        im("32-bit run-length, from the top right",
           "-type TrueColorAlpha -compress RLE -orient TopRight");
        im("16-bit", "-alpha off -type TrueColor -depth 5");
        im("grey", "-alpha off -type Grayscale");
        im("grey run-length, from the bottom right",
           "-alpha off -type Grayscale -compress RLE -orient BottomRight");
        im("colour-mapped", "-alpha off -type Palette");
        im("colour-mapped run-length, 16-bit entries",
           "-alpha off -type Palette -compress RLE -depth 5 -orient TopLeft");

        const auto own = [](const char* name, const QByteArray& bytes, const Corners& want) {
            QTest::newRow(name) << QStringList() << bytes << want;
        };
        own("16-bit bottom up, the top bit no alpha",
            tga(2, 16, 0, p16(31, 0, 0) + p16(0, 31, 0, true) + p16(0, 0, 31) + p16(31, 31, 31)),
            {kBlue, kWhite, kRed, kGreen});
        own("16-bit with an alpha bit",
            tga(2, 16, 0x21,
                p16(31, 0, 0, true) + p16(0, 31, 0) + p16(0, 0, 31, true) + p16(16, 16, 16, true)),
            {kRed, kWhite, kBlue, QColor(132, 132, 132)});
        own("15-bit from the right, after an ID field",
            tga(2, 15, 0x30,
                p16(31, 0, 0, true) + p16(0, 31, 0, true) + p16(0, 0, 31, true) +
                    p16(0, 0, 0, true),
                {}, 0, 0, "abc"),
            {kGreen, kRed, Qt::black, kBlue});
        own("32-bit with alpha bytes but no alpha bits",
            tga(2, 32, 0x20,
                bgr(qRgb(255, 0, 0)) + '\0' + bgr(qRgb(0, 255, 0)) + '\0' + bgr(qRgb(0, 0, 255)) +
                    '\0' + bgr(qRgb(90, 90, 90)) + '\x80'),
            {kRed, kGreen, kBlue, QColor(90, 90, 90)});
        // indices 10 to 12; 3 lies outside the map
        own("32-bit colour map from index 10, alpha",
            tga(1, 8, 0x28, QByteArray("\x0a\x0b\x0c\x03", 4),
                bgr(qRgb(255, 0, 0)) + '\xff' + bgr(qRgb(0, 255, 0)) + '\0' + bgr(qRgb(0, 0, 255)) +
                    '\x80',
                32, 10),
            {kRed, kWhite, QColor(127, 127, 255), kWhite});
        own("16-bit indices from 300, run-length",
            tga(9, 16, 0x20, '\x81' + le16(300) + '\x01' + le16(301) + le16(300),
                p16(31, 0, 0) + p16(0, 31, 0), 16, 300),
            {kRed, kRed, kGreen, kRed});
        own("packets running on into the next row, bottom up from the right",
            tga(10, 24, 0x10, '\x82' + bgr(qRgb(255, 0, 0)) + '\0' + bgr(qRgb(0, 0, 255))),
            {kBlue, kRed, kRed, kRed});
        own("grey and alpha, run-length",
            tga(11, 16, 0x28, QByteArray("\x03\xc8\xff\x32\xff\0\0\x64\x80", 9)),
            {QColor(200, 200, 200), QColor(50, 50, 50), kWhite, QColor(177, 177, 177)});
        // a cut file shows the rows that came
        const QByteArray four = bgr(qRgb(255, 0, 0)) + bgr(qRgb(0, 255, 0)) + bgr(qRgb(0, 0, 255)) +
                                bgr(qRgb(255, 255, 255));
        own("cut after the bottom row", tga(2, 24, 0, four.left(6 + 4)),
            {Qt::black, Qt::black, kRed, kGreen});
        own("cut in a packet", tga(10, 24, 0x20, '\x01' + four.left(6) + '\x81' + four.mid(6, 2)),
            {kRed, kGreen, Qt::black, Qt::black});
        own("a packet running past the picture",
            tga(10, 24, 0, '\xff' + bgr(qRgb(0, 0, 255)) + '\x7f' + four.repeated(32)),
            {kBlue, kBlue, kBlue, kBlue});
    }
    void everyKindReadsUpright()
    {
        QFETCH(QStringList, convert);
        QFETCH(QByteArray, bytes);
        QFETCH(Corners, want);
        if (!convert.isEmpty()) {
            if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
                QSKIP("ImageMagick's convert makes these files");
            QTemporaryDir dir;
            QImage quarters(8, 6, QImage::Format_ARGB32);
            quarters.fill(kRed);
            for (int y = 0; y < 6; ++y)
                for (int x = y < 3 ? 4 : 0; x < (y < 3 ? 8 : 4); ++x)
                    quarters.setPixel(x, y, y < 3 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
            for (int y = 3; y < 6; ++y)
                for (int x = 4; x < 8; ++x)
                    quarters.setPixel(x, y, qRgba(255, 255, 0, 128));
            const QString source = dir.filePath(QStringLiteral("in.png"));
            const QString made = dir.filePath(QStringLiteral("out.tga"));
            const QString upright = dir.filePath(QStringLiteral("upright.png"));
            QVERIFY(quarters.save(source));
            QCOMPARE(QProcess::execute(QStringLiteral("convert"),
                                       QStringList{source} << convert << made),
                     0);
            QCOMPARE(QProcess::execute(QStringLiteral("convert"),
                                       {made, QStringLiteral("-auto-orient"), upright}),
                     0);
            const LoadResult reference = ImageLoader::loadThumbnail(str(upright), 2);
            QVERIFY(reference.raster);
            for (int i = 0; i < 4; ++i)
                want << shade(reference.raster->colorAt(i % 2, i / 2));
            QFile file(made);
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
        }
        checkCorners(loaded(bytes, 2, 0, QStringLiteral("picture.tga")), want);
    }

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

QObject* makeOwnReadersTests()
{
    return new TestOwnReaders;
}
#include "tst_ownreaders.moc"
