#include "platform/imaging/ImageLoader.h"
#include "signature/FineSignature.h"
#include "signature/Orientation.h"
#include "signature/StoredComparison.h"
#include "signature/TFileInfo.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <limits>

using ovrin::Orientation;
using ovrin::OrientedStoredComparison;
using ovrin::OrientedTarget;
using ovrin::StoredComparison;
using ovrin::TFileInfo;
using ovrin::platform::ThumbnailRaster;
using ovrin::test::str;

namespace {

std::int16_t fromLevels(int r, int g, int b)
{
    return TFileInfo::packColor(ThumbnailRaster::levelToFraction(static_cast<std::uint8_t>(r)),
                                ThumbnailRaster::levelToFraction(static_cast<std::uint8_t>(g)),
                                ThumbnailRaster::levelToFraction(static_cast<std::uint8_t>(b)));
}

TFileInfo withSignature(std::vector<std::int16_t> values)
{
    TFileInfo info;
    info.setThumbnail(std::move(values));
    return info;
}

// A candidate that differs from an all-zero target in exactly the given pixels.
TFileInfo mismatching(std::int32_t count, const std::vector<int>& pixels)
{
    std::vector<std::int16_t> values(static_cast<std::size_t>(count), 0);
    for (int p : pixels)
        values[static_cast<std::size_t>(p)] = 0x0F00; // red 7 against red 0 at bits 3
    return withSignature(values);
}

// A signature as an index file stores it: big-endian values.
std::vector<std::uint8_t> storedForm(const std::vector<std::int16_t>& values)
{
    std::vector<std::uint8_t> stored;
    for (const std::int16_t v : values)
        stored.insert(stored.end(), {std::uint8_t(std::uint16_t(v) >> 8), std::uint8_t(v & 0xff)});
    return stored;
}

// A 3 x 3 grid from letters a to i, each a colour two steps or more from
// every other at bits 3.
std::vector<std::int16_t> letterGrid(const QByteArray& letters)
{
    std::vector<std::int16_t> values;
    for (const char c : letters)
        values.push_back(static_cast<std::int16_t>((c - 'a') % 3 * 0x400 + (c - 'a') / 3 * 0x40));
    return values;
}

// The structure fingerprint that a load of the picture gives.
ovrin::FineSignature fineOf(const QImage& picture)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.png"));
    ovrin::test::writeImage(path, picture, "png");
    TFileInfo info(str(path));
    info.loadThumbnail(8);
    return info.fine().value_or(ovrin::FineSignature{});
}

QImage jpegAgain(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "JPG", quality);
    return QImage::fromData(bytes, "JPG");
}

// Blotches at levels of 10 to 60, laid out by the seed: moss, a forest at night.
QImage darkTexture(quint32 seed)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor(20, 24, 18));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    QRandomGenerator random(seed);
    for (int i = 0; i < 300; ++i) {
        const int l = random.bounded(10, 60);
        painter.setBrush(QColor(l, l + 4, l));
        painter.drawEllipse(random.bounded(320), random.bounded(240), random.bounded(8, 40),
                            random.bounded(8, 40));
    }
    return image;
}

// A white page, blank, with a logo in its middle, or with playing cards in a row.
QImage onWhite(int drawn)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setBrush(QColor(200, 30, 40));
    if (drawn == 1)
        painter.drawEllipse(160, 110, 80, 80);
    for (int i = 0; drawn == 2 && i < 4; ++i)
        painter.drawRoundedRect(30 + i * 90, 90, 70, 110, 6, 6);
    return image;
}

// A faint pattern two levels above a grey page: stripes, or a ring.
QImage faint(bool stripes)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(120, 120, 120));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(122, 122, 122));
    for (int i = 0; stripes && i < 5; ++i)
        painter.drawRect(0, i * 60, 400, 30);
    if (!stripes)
        painter.drawEllipse(100, 50, 200, 200);
    return image;
}

} // namespace

class TestSignature : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each form of a hand-made grid, and of a picture that is not square
    // turned that way, is found as itself only where asked for.
    void everyFormIsFoundAsItself_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QByteArray>("grid"); // "abcdefghi" as the picture turned gives it
        const char* grids[] = {"abcdefghi", "gdahebifc", "ihgfedcba", "cfibehadg",
                               "cbafedihg", "ifchebgda", "ghidefabc", "adgbehcfi"};
        for (int k = 0; k < ovrin::kOrientations; ++k)
            QTest::newRow(ovrin::orientationName(Orientation(k))) << k << QByteArray(grids[k]);
    }
    void everyFormIsFoundAsItself()
    {
        QFETCH(int, form);
        QFETCH(QByteArray, grid);
        // found at rate 100 in its own form with the option, not at all without
        const auto check = [form](const std::vector<std::int16_t>& target,
                                  const std::vector<std::int16_t>& turned) {
            const std::vector<std::uint8_t> stored = storedForm(turned);
            for (const bool any : {false, true})
                for (const auto& match :
                     {OrientedTarget(target, any).compare(turned.data(), int(turned.size()), 3, 70),
                      OrientedStoredComparison(target, 3, 70, any)
                          .rate(stored.data(), stored.size())})
                    QVERIFY(match ? match->rate == 100 && int(match->orientation) == form
                                  : !any && form != 0);
        };
        const std::vector<std::int16_t> target = letterGrid("abcdefghi");
        QCOMPARE(ovrin::orientGrid(target.data(), 3, Orientation(form)), letterGrid(grid));
        check(target, letterGrid(grid));
        // a tie goes to the upright form: a mirror-symmetric grid is itself mirrored
        const std::vector<std::int16_t> symmetric = letterGrid("abadedghg");
        QCOMPARE(
            int(OrientedTarget(symmetric, true).compare(symmetric.data(), 9, 3, 100)->orientation),
            0);

        // Exactly: turning a picture squeezes the same pixels into each cell.
        QTemporaryDir dir;
        const auto loaded = [&dir, form](const QImage& image, bool turn) {
            const QString path = dir.filePath(QStringLiteral("p.png"));
            TFileInfo info(str(path));
            const QImage shown = turn ? image.mirrored(form >= 4, false)
                                            .transformed(QTransform().rotate(90.0 * (form % 4)))
                                      : image;
            if (!ovrin::test::writeImage(path, shown, "png") || !info.makeThumbnail(8))
                qFatal("cannot make a test picture");
            return info;
        };
        const QImage picture = ovrin::test::photoLike(331, 203, 5);
        const TFileInfo upright = loaded(picture, false);
        TFileInfo turned = loaded(picture, true);
        QCOMPARE(turned.thumbnail(),
                 ovrin::orientGrid(upright.thumbnail().data(), 8, Orientation(form)));
        check(upright.thumbnail(), turned.thumbnail());
        // The turned copy's fingerprint is the target's turned; a stranger
        // with the same colours but another picture's fingerprint passes only upright.
        QVERIFY(OrientedTarget(upright, true).matches(3, 70, turned));
        // Where the colours match in every form, the fingerprint tells how it lies.
        TFileInfo even = upright;
        TFileInfo evenTurned = turned;
        even.setThumbnail(std::vector<std::int16_t>(64, 0x777));
        evenTurned.setThumbnail(even.thumbnail());
        QVERIFY(OrientedTarget(even, true).matches(3, 70, evenTurned));
        QCOMPARE(int(evenTurned.orientation()), form);
        turned.setFine(loaded(ovrin::test::photoLike(331, 203, 9), true).fine());
        QCOMPARE(OrientedTarget(upright, true).matches(3, 70, turned), form == 0);
    }

    void packsTheTopFourBitsOfEachLevel()
    {
        QCOMPARE(TFileInfo::packColor(1.0f, 0.5f, 0.0f), std::int16_t(0x0F70));
        QCOMPARE(TFileInfo::packColor(0.999f, 0.0f, 0.0f), std::int16_t(0x0F00)); // 254.7 -> 254
        for (int l = 0; l < 256; ++l)
            QCOMPARE(int(fromLevels(l, l, l)), ((l >> 4) << 8) | ((l >> 4) << 4) | (l >> 4));
    }

    void signatureRunsRowByRowFromTheTopLeft()
    {
        QTemporaryDir dir;
        QImage image(3, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                image.setPixel(x, y, qRgb(x * 100, y * 100, 16 * (y * 3 + x)));
        const QString path = dir.filePath(QStringLiteral("grid.png"));
        QVERIFY(ovrin::test::writeImage(path, image, "png"));

        TFileInfo info(str(path));
        QVERIFY(info.makeThumbnail(3));
        QCOMPARE(info.thumbnailCount(), 9);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(info.thumbnail()[static_cast<std::size_t>(y * 3 + x)],
                         fromLevels(x * 100, y * 100, 16 * (y * 3 + x)));
    }

    void failedSignatureKeepsTheOldOne_data()
    {
        using F = ovrin::platform::LoadFailure;
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pixelNumber");
        QTest::addColumn<F>("why");
        const auto row = [](const char* tag, const char* name, int pixelNumber, F why) {
            QTest::newRow(tag) << QString::fromLatin1(name) << pixelNumber << why;
        };
        row("empty path", "", 8, F::Missing);
        row("missing file", "missing.png", 8, F::Missing);
        row("not an image", "notes.txt", 8, F::NotAnImage);
        row("empty file", "empty.png", 8, F::EmptyFile);
        row("a folder", "folder", 8, F::NotRegularFile);
        row("pixel number 0", "good.png", 0, F::NotAnImage);
        row("negative pixel number", "good.png", -5, F::NotAnImage);
        row("pixel number past the bound", "good.png", TFileInfo::kMaxPixelNumber + 1,
            F::NotAnImage);
        row("pixel number whose square overflows", "good.png", std::numeric_limits<int>::max(),
            F::NotAnImage);
    }
    void failedSignatureKeepsTheOldOne()
    {
        QFETCH(QString, name);
        QFETCH(int, pixelNumber);
        QFETCH(ovrin::platform::LoadFailure, why);
        QTemporaryDir dir;
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("empty.png")), {}));
        QVERIFY(ovrin::test::writeImage(dir.filePath(QStringLiteral("good.png")),
                                        ovrin::test::photoLike(40, 30, 2), "png"));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("notes.txt")), "hello"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));

        // a loaded picture brings its fingerprint, a failed load takes it away
        TFileInfo info(str(dir.filePath(QStringLiteral("good.png"))));
        QCOMPARE(info.loadThumbnail(2), ovrin::platform::LoadFailure::None);
        QVERIFY(info.fine().has_value());
        QCOMPARE(info.fine()->width, 40u);
        QCOMPARE(info.fine()->height, 30u);
        const std::string path = name.isEmpty() ? std::string() : str(dir.filePath(name));
        // the check of a picture file ignores the pixel number setting
        QCOMPARE(TFileInfo::checkGraphicFile(path), name == QLatin1String("good.png"));
        info.setFilePath(path);
        const std::vector<std::int16_t> earlier{1, 2, 3, 4};
        info.setThumbnail(earlier.data(), 4);
        QCOMPARE(info.loadThumbnail(pixelNumber), why);
        QCOMPARE(info.thumbnail(), earlier);
        QCOMPARE(info.thumbnailCount(), 4);
        QVERIFY(!info.fine().has_value());
    }

    void fineTellsCopiesFromOtherPictures_data()
    {
        QTest::addColumn<QImage>("a");
        QTest::addColumn<QImage>("b");
        QTest::addColumn<bool>("copies");
        const QImage photo = ovrin::test::photoLike(640, 480, 7);
        QTest::newRow("half size")
            << photo << photo.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            << true;
        QTest::newRow("recompressed") << photo << jpegAgain(photo, 50) << true;
        QTest::newRow("4% cropped") << photo << photo.copy(13, 10, 614, 461) << true;
        QTest::newRow("squeezed") << photo << photo.scaled(640, 400) << false;
        QTest::newRow("dark, recompressed")
            << darkTexture(1) << jpegAgain(darkTexture(1), 50) << true;
        QTest::newRow("two dark textures") << darkTexture(1) << darkTexture(2) << false;
        QTest::newRow("blank, logo") << onWhite(0) << onWhite(1) << false;
        QTest::newRow("blank, cards") << onWhite(0) << onWhite(2) << false;
        QTest::newRow("logo, cards") << onWhite(1) << onWhite(2) << false;
        QTest::newRow("blank, grey page")
            << onWhite(0) << ovrin::test::solid(400, 300, Qt::lightGray) << false;
        QTest::newRow("two faint patterns") << faint(true) << faint(false) << false;
        QTest::newRow("faint, recompressed") << faint(false) << jpegAgain(faint(false), 50) << true;
        QTest::newRow("two blanks") << onWhite(0) << jpegAgain(onWhite(0), 50) << true;
    }

    void fineTellsCopiesFromOtherPictures()
    {
        QFETCH(QImage, a);
        QFETCH(QImage, b);
        QFETCH(bool, copies);
        const ovrin::FineSignature fa = fineOf(a), fb = fineOf(b);
        QCOMPARE(ovrin::fineAccepts(fa, fb, ovrin::Similarity::Normal), copies);
        QCOMPARE(ovrin::fineAccepts(fb, fa, ovrin::Similarity::Normal), copies);
        QCOMPARE(ovrin::fineScore(fa, fb), ovrin::fineScore(fb, fa));
    }

    void fineStoresBigEndianAndRefusesWhatIsNone()
    {
        const ovrin::FineSignature fine = fineOf(ovrin::test::photoLike(300, 200, 3));
        std::vector<std::uint8_t> bytes(ovrin::FineSignature::kStoredSize + 1);
        fine.store(bytes.data());
        QCOMPARE(bytes[4], std::uint8_t{44}); // 300 = 0x12c
        QCOMPARE(bytes[3], std::uint8_t{1});
        QCOMPARE(ovrin::FineSignature::load(bytes), std::optional(fine));
        QCOMPARE(ovrin::FineSignature::load(std::span(bytes).first(bytes.size() - 2)),
                 std::nullopt);
        bytes[11] |= 0x80; // a bit past the last frequency
        QCOMPARE(ovrin::FineSignature::load(bytes), std::nullopt);
        bytes[11] &= 0x7f;
        bytes[0] = 0; // no format of ours
        QCOMPARE(ovrin::FineSignature::load(bytes), std::nullopt);
    }

    void likenessOrdersEqualRates()
    {
        const std::vector<std::int16_t> grey(64, 0x0777);
        std::vector<std::int16_t> near = grey;
        near[5] = 0x0778; // one channel one step away
        std::vector<std::int16_t> far = grey;
        far[5] = 0x0779;
        QCOMPARE(TFileInfo::likeness(grey.data(), grey.data(), 64), 100.0);
        QVERIFY(TFileInfo::likeness(grey.data(), near.data(), 64) >
                TFileInfo::likeness(grey.data(), far.data(), 64));
        const std::vector<std::int16_t> black(64, 0), white(64, 0x0FFF);
        QCOMPARE(TFileInfo::likeness(black.data(), white.data(), 64), 0.0);
        QCOMPARE(TFileInfo::channelDistance(grey.data(), far.data(), 64), std::int64_t(2));
    }

    void pardonTruncatesTowardZero()
    {
        TFileInfo info = withSignature(std::vector<std::int16_t>(64));
        QCOMPARE(info.calcPardon(30), 19);
        QCOMPARE(info.calcPardon(-30), -19);
        // 64 * (2^31 - 1) / 100 does not fit 32 bits on the way; it must not wrap
        QCOMPARE(info.calcPardon(std::numeric_limits<std::int32_t>::max()), 1374389534);
    }

    // Against an all-zero target of 64 pixels (bits 3): a match sets the
    // candidate's rate, anything else leaves it as it was.
    void matchSetsTheCandidatesRate_data()
    {
        QTest::addColumn<int>("targetSize");
        QTest::addColumn<int>("candidateSize");
        QTest::addColumn<QList<int>>("differing");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("got"); // -1: no match
        QList<int> all;
        for (int i = 0; i < 64; ++i)
            all << i;
        const int max = std::numeric_limits<std::int32_t>::max();
        const int min = std::numeric_limits<std::int32_t>::min();
        QTest::newRow("one mismatch") << 64 << 64 << QList{10} << 70 << 98; // 6300 / 64
        // (the pardon, the last pixel, rates past 100: the pixel-by-pixel rule below)
        QTest::newRow("largest rate") << 64 << 64 << QList<int>() << max << -1;
        QTest::newRow("all differ at 0") << 64 << 64 << all << 0 << 0; // pardon = count
        QTest::newRow("all differ at the least rate") << 64 << 64 << all << min << 0;
        QTest::newRow("other length") << 64 << 49 << QList<int>() << 0 << -1;
        QTest::newRow("both empty") << 0 << 0 << QList<int>() << 0 << -1;
    }
    void matchSetsTheCandidatesRate()
    {
        QFETCH(int, targetSize);
        QFETCH(int, candidateSize);
        QFETCH(QList<int>, differing);
        QFETCH(int, rate);
        QFETCH(int, got);
        const TFileInfo target = withSignature(std::vector<std::int16_t>(std::size_t(targetSize)));
        TFileInfo candidate = mismatching(candidateSize, {differing.begin(), differing.end()});
        candidate.setMatchRate(42);
        QCOMPARE(OrientedTarget(target.thumbnail(), false).matches(3, rate, candidate), got >= 0);
        QCOMPARE(candidate.matchRate(), got >= 0 ? got : 42);
    }

    void agreesWithThePixelByPixelRule()
    {
        // The rule as written: test the pardon before each pixel, then count;
        // a pardon of zero lets no pixel mismatch, and no rate above 100 is
        // reached.
        const auto reference = [](const std::vector<std::int16_t>& t,
                                  const std::vector<std::int16_t>& c, int bits,
                                  int rate) -> std::optional<int> {
            const int count = static_cast<int>(t.size());
            const int pardon = count * (100 - rate) / 100;
            const int b = bits & 63;
            int mismatches = 0;
            for (std::size_t i = 0; i < t.size(); ++i) {
                if (rate > 100 || pardon < 0 || (pardon > 0 && mismatches >= pardon))
                    return std::nullopt;
                for (int offset : {8, 4, 0}) {
                    const int x = (t[static_cast<std::size_t>(i)] >> offset) & 15;
                    const int y = (c[static_cast<std::size_t>(i)] >> offset) & 15;
                    const int rx = b >= 1 && b <= 4 ? x >> (4 - b) : 0;
                    const int ry = b >= 1 && b <= 4 ? y >> (4 - b) : 0;
                    if (std::abs(rx - ry) > 1) {
                        ++mismatches;
                        break;
                    }
                }
            }
            if (pardon == 0 && mismatches > 0)
                return std::nullopt;
            return (count - mismatches) * 100 / count;
        };
        using StoredKernel = StoredComparison::StoredKernel;
        std::vector<StoredKernel> kernels;
        for (const StoredKernel k :
             {StoredKernel::Portable, StoredKernel::Sse2, StoredKernel::Avx2})
            if (StoredComparison::isAvailable(k))
                kernels.push_back(k);
        QRandomGenerator random(7);
        const int counts[] = {1, 2, 4, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 256};
        constexpr int kCounts = static_cast<int>(std::size(counts));
        for (int round = 0; round < 6000; ++round) {
            const int count = counts[round % kCounts];
            // A third of the rounds near a match rate of 100, where a candidate
            // is the target's copy but for at most one pixel.
            const bool nearAll = (round / kCounts) % 3 == 0;
            std::vector<std::int16_t> t(static_cast<std::size_t>(count));
            std::vector<std::int16_t> c(t.size());
            // none, the last (which a pardon of zero does not pass over) or any
            const int pick = random.bounded(3);
            const int odd = pick == 0 ? -1 : pick == 1 ? count - 1 : random.bounded(count);
            for (std::size_t i = 0; i < t.size(); ++i) {
                const int value = random.bounded(0x1000);
                // mostly near the target, so that both verdicts occur
                const int noise = nearAll ? (static_cast<int>(i) == odd ? value ^ 0x0C00 : value)
                                  : random.bounded(4) == 0 ? random.bounded(0x1000)
                                                           : value ^ random.bounded(0x112);
                // the top four bits belong to no channel, on either side
                t[i] = static_cast<std::int16_t>(value | (random.bounded(16) << 12));
                c[i] = static_cast<std::int16_t>(noise | (random.bounded(16) << 12));
            }
            // only the low six bits of bits count
            const int bits = random.bounded(-2, 7) + 64 * random.bounded(-1, 2);
            const int rate = nearAll ? random.bounded(98, 102) : random.bounded(-10, 111);
            const auto expected = reference(t, c, bits, rate);
            QCOMPARE(TFileInfo::compareSignatures(t.data(), c.data(), count, bits, rate), expected);
            // and on the candidate as an index file stores it, big-endian, with
            // an odd byte after it that is ignored
            std::vector<std::uint8_t> stored = storedForm(c);
            stored.push_back(0xff);
            for (const StoredKernel kernel : kernels) {
                const StoredComparison comparison(t, bits, rate, kernel);
                QCOMPARE(comparison.rate(stored.data(), stored.size()), expected);
                QCOMPARE(comparison.rate(stored.data(), stored.size() - 2), std::nullopt);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSignature)
#include "tst_signature.moc"
