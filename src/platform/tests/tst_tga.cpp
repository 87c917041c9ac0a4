// TGA through our own reader: every kind, origin and alpha rule, and cut files.
#include "platform/tests/PlatformTestSupport.h"

#include <QProcess>
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

} // namespace

class TestTga : public QObject {
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
};

QObject* makeTgaTests()
{
    return new TestTga;
}
#include "tst_tga.moc"
