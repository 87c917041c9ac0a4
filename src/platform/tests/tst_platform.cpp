#include "platform/AreaReducer.h"
#include "platform/DecodeBudget.h"
#include "platform/FileManager.h"
#include "platform/ImageLoader.h"
#include "platform/Trash.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
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

QColor shade(const ColorFraction& c)
{
    return {level(c.red), level(c.green), level(c.blue)};
}

// Fails unless every channel of `got` lies within `tolerance` levels of `want`.
void checkNear(const QColor& got, const QColor& want, int tolerance, int x, int y)
{
    QVERIFY2(
        std::abs(got.red() - want.red()) <= tolerance &&
            std::abs(got.green() - want.green()) <= tolerance &&
            std::abs(got.blue() - want.blue()) <= tolerance,
        qPrintable(
            QStringLiteral("(%1,%2): got %3, want %4").arg(x).arg(y).arg(got.name(), want.name())));
}

QByteArray encoded(const QImage& image, const char* format, bool progressive = false,
                   int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// An EXIF block (a TIFF header and IFD0) holding just the orientation.
QByteArray exifBlock(int orientation, bool littleEndian)
{
    QByteArray block =
        littleEndian ? QByteArray("II\x2a\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\0\0\0\0", 22)
                     : QByteArray("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0", 22);
    block[littleEndian ? 18 : 19] = char(orientation);
    return block + QByteArray(4, '\0'); // no next IFD
}

// A JPEG whose first APP1 segment is `exif`.
QByteArray jpegWithExif(const QImage& image, const QByteArray& exif)
{
    QByteArray segment("\xff\xe1\0\0", 4);
    segment[2] = char((exif.size() + 2) >> 8);
    segment[3] = char((exif.size() + 2) & 0xff);
    return encoded(image, "jpeg").insert(2, segment + exif);
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray be32(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray le32(quint32 value)
{
    const char bytes[] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray body = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

// A PNG with an eXIf chunk right after its header chunk.
QByteArray pngWithExif(const QImage& image, const QByteArray& exif)
{
    return encoded(image, "png").insert(8 + 25, pngChunk("eXIf", exif));
}

// An interlaced 8-bit RGB PNG, which the toolkit does not write.
QByteArray interlacedPng(const QImage& image)
{
    static constexpr int kX[] = {0, 4, 0, 2, 0, 1, 0}, kDx[] = {8, 8, 4, 4, 2, 2, 1};
    static constexpr int kY[] = {0, 0, 4, 0, 2, 0, 1}, kDy[] = {8, 8, 8, 4, 4, 2, 2};
    QByteArray raw;
    for (int pass = 0; pass < 7; ++pass) {
        for (int y = kY[pass]; y < image.height(); y += kDy[pass]) {
            if (kX[pass] >= image.width())
                continue;
            raw += '\0'; // no filter
            for (int x = kX[pass]; x < image.width(); x += kDx[pass]) {
                const QRgb p = image.pixel(x, y);
                raw.append(char(qRed(p))).append(char(qGreen(p))).append(char(qBlue(p)));
            }
        }
    }
    const QByteArray header = be32(quint32(image.width())) + be32(quint32(image.height())) +
                              QByteArray("\x08\x02\0\0\x01", 5);
    return QByteArray("\x89PNG\r\n\x1a\n") + pngChunk("IHDR", header) +
           pngChunk("IDAT", qCompress(raw).mid(4)) + pngChunk("IEND", {});
}

// A WebP in the extended layout, its EXIF chunk after the picture.
QByteArray webpWithExif(const QImage& image, const QByteArray& exif)
{
    const QByteArray simple = encoded(image, "webp");
    QByteArray canvas =
        le32(quint32(image.width() - 1)).left(3) + le32(quint32(image.height() - 1)).left(3);
    QByteArray body = QByteArray("WEBPVP8X") + le32(10) + QByteArray("\x08\0\0\0", 4) + canvas +
                      simple.mid(12) + "EXIF" + le32(quint32(exif.size())) + exif;
    if (exif.size() % 2 != 0)
        body += '\0';
    return "RIFF" + le32(quint32(body.size())) + body;
}

// An uncompressed RGB TIFF with its directory before the picture, in strips
// of four rows (the toolkit writes the directory last). A planar one keeps
// each strip's three planes one after the other.
QByteArray tiffDirectoryFirst(const QImage& image, bool planar)
{
    const int width = image.width(), height = image.height();
    const int planes = planar ? 3 : 1;
    const int strips = (height + 3) / 4 * planes;
    const quint32 entries = 10;
    const quint32 values = 8 + 2 + entries * 12 + 4; // bits per sample, then the strip tables
    QByteArray out("II\x2a\0", 4);
    out += le32(8);
    out += le32(entries).left(2);
    const auto entry = [&out](quint16 tag, quint16 type, quint32 count, quint32 value) {
        out += le32(tag).left(2) + le32(type).left(2) + le32(count) + le32(value);
    };
    entry(256, 4, 1, quint32(width));
    entry(257, 4, 1, quint32(height));
    entry(258, 3, 3, values);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 2);
    entry(273, 4, quint32(strips), values + 6);
    entry(277, 3, 1, 3);
    entry(278, 4, 1, 4);
    entry(279, 4, quint32(strips), values + 6 + 4 * quint32(strips));
    entry(284, 3, 1, quint32(planar ? 2 : 1));
    out += le32(0);
    out += QByteArray("\x08\0\x08\0\x08\0", 6);
    QByteArray data;
    QList<quint32> offsets(strips), counts(strips);
    const quint32 start = values + 6 + 8 * quint32(strips);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int top = 0; top < height; top += 4) {
        for (int plane = 0; plane < planes; ++plane) {
            const int strip = plane * strips / planes + top / 4;
            offsets[strip] = start + quint32(data.size());
            for (int y = top; y < std::min(top + 4, height); ++y) {
                const auto* line = reinterpret_cast<const char*>(rgb.constScanLine(y));
                if (!planar)
                    data += QByteArray(line, width * 3);
                for (int x = 0; planar && x < width; ++x)
                    data += line[x * 3 + plane];
            }
            counts[strip] = start + quint32(data.size()) - offsets[strip];
        }
    }
    for (const quint32 offset : offsets)
        out += le32(offset);
    for (const quint32 count : counts)
        out += le32(count);
    return out + data;
}

// A GIF of at most 256 colours, its LZW codes kept at 9 bits by clearing
// the table often (no compression, but any decoder reads it); the colour
// `transparent` is left out where given.
QByteArray gif(const QImage& image, std::optional<QRgb> transparent = std::nullopt)
{
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out("GIF89a");
    out += le32(quint32(image.width())).left(2) + le32(quint32(image.height())).left(2) + "\xf7";
    out += QByteArray(2, '\0');
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < indexed.colorCount() ? indexed.color(i) : 0;
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    if (transparent) // a graphic control extension
        out += QByteArray("\x21\xf9\x04\x01\0\0", 6) +
               char(indexed.colorTable().indexOf(*transparent)) + '\0';
    out += ',' + QByteArray(4, '\0') + out.mid(6, 4) + QByteArray("\0\x08", 2);
    QByteArray codes;
    quint32 bits = 0;
    int pending = 0;
    const auto put = [&](quint32 code) {
        bits |= code << pending;
        for (pending += 9; pending >= 8; pending -= 8, bits >>= 8)
            codes += char(bits);
    };
    int sinceClear = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (sinceClear++ % 100 == 0)
                put(256);
            put(indexed.constScanLine(y)[x]);
        }
    }
    put(257);
    if (pending > 0)
        codes += char(bits);
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        out += char(block.size()) + block;
    }
    return out + QByteArray("\0;", 2);
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

// Loads `bytes` as a file of their own, named `name`.
LoadResult loaded(const QByteArray& bytes, int side, int fineSide = 0,
                  const QString& name = QStringLiteral("picture"))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!ovrin::test::writeText(path, bytes))
        return LoadResult(std::nullopt, LoadFailure::Missing);
    return ImageLoader::loadThumbnail(str(path), side, nullptr, fineSide);
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

    // ---- The trash ---------------------------------------------------------
private:
    // A home and a working folder of their own, restored afterwards: a trash
    // made anywhere else, the working folder included, shows as a fault.
    struct TrashScene {
        QTemporaryDir dir;
        std::string root = str(dir.path());
        std::string home = root + "/home";
        std::string work = root + "/work";
        QByteArray savedHome = qgetenv("HOME");
        QByteArray savedData = qgetenv("XDG_DATA_HOME");
        QByteArray savedWork = QDir::currentPath().toLocal8Bit();

        TrashScene()
        {
            ::mkdir(home.c_str(), 0755);
            ::mkdir(work.c_str(), 0755);
            ::mkdir((root + "/pics").c_str(), 0755);
            qputenv("HOME", QByteArray::fromStdString(home));
            qunsetenv("XDG_DATA_HOME");
            QVERIFY(::chdir(work.c_str()) == 0);
        }
        ~TrashScene()
        {
            std::error_code ignored; // names that are not UTF-8 are beyond QDir
            std::filesystem::remove_all(root, ignored);
            (void)::chdir(savedWork.constData());
            qputenv("HOME", savedHome);
            savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
        }
        static std::vector<std::string> recordsBelow(const std::string& folder)
        {
            std::vector<std::string> found;
            std::error_code ignored;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
                if (entry.path().extension() == ".trashinfo")
                    found.push_back(entry.path().string());
            return found;
        }
    };

    // By bytes, for names that are not UTF-8.
    static bool writeBytes(const std::string& path, const std::string& bytes)
    {
        std::ofstream file(path, std::ios::binary);
        return file.write(bytes.data(), std::streamsize(bytes.size())).flush().good();
    }
    static std::string readBytes(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        char buffer[256];
        file.read(buffer, sizeof buffer);
        return file.is_open() ? std::string(buffer, std::size_t(file.gcount())) : "-";
    }
    static unsigned modeOf(const std::string& path)
    {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    }
    // Checks a record: the path as given and a deletion date of about now.
    static void checkRecord(const std::string& record, const std::string& path)
    {
        const std::string text = readBytes(record);
        const std::string head = "[Trash Info]\nPath=" + path + "\nDeletionDate=";
        QCOMPARE(text.substr(0, head.size()), head);
        QCOMPARE(text.size(), head.size() + 19 + 1); // local time, no zone
        const QDateTime date = QDateTime::fromString(
            QString::fromStdString(text.substr(head.size(), 19)), Qt::ISODate);
        QVERIFY2(std::abs(date.secsTo(QDateTime::currentDateTime())) < 5, text.c_str());
        QCOMPARE(text.back(), '\n');
    }

private Q_SLOTS:

    void homeTrashIsMadeWhereMissing_data()
    {
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QString>("trash"); // below the scene's root
        QTest::newRow("default") << QByteArray() << QStringLiteral("home/.local/share/Trash");
        QTest::newRow("XDG_DATA_HOME")
            << QByteArray("/data/sub") << QStringLiteral("data/sub/Trash");
        QTest::newRow("relative XDG_DATA_HOME is ignored")
            << QByteArray("data") << QStringLiteral("home/.local/share/Trash");
    }
    void homeTrashIsMadeWhereMissing()
    {
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, trash);
        TrashScene scene;
        if (!dataHome.isEmpty())
            qputenv("XDG_DATA_HOME", dataHome.startsWith('/')
                                         ? QByteArray::fromStdString(scene.root) + dataHome
                                         : dataHome);
        const std::string pics = scene.root + "/pics";
        const std::string trashPath = scene.root + "/" + str(trash);
        const std::string odd = "a b%\xff.png"; // not UTF-8
        QVERIFY(writeBytes(pics + "/" + odd, "first"));
        ::mkdir((pics + "/other").c_str(), 0755);
        QVERIFY(writeBytes(pics + "/other/" + odd, "second"));
        QVERIFY(writeBytes(pics + "/other/b.png", "third"));

        const TrashOutcome first = Trash::moveToTrash(pics + "/" + odd);
        QVERIFY(first);
        QCOMPARE(first.trashedAs, trashPath + "/files/" + odd);
        QCOMPARE(readBytes(first.trashedAs), std::string("first"));
        QVERIFY(!FileManager::fileExists(pics + "/" + odd));
        checkRecord(trashPath + "/info/" + odd + ".trashinfo", pics + "/a%20b%25%FF.png");
        // every folder it made is the user's alone
        for (std::string folder = trashPath + "/files";
             folder != scene.home && folder != scene.root; folder = FileManager::folderOf(folder))
            QCOMPARE(modeOf(folder), 0700u);
        QCOMPARE(modeOf(trashPath + "/info"), 0700u);

        // A name already taken, by a record or by a file without one, goes to the next.
        QVERIFY(writeBytes(trashPath + "/files/a b%\xff.2.png", "stale"));
        QCOMPARE(Trash::moveToTrash(pics + "/other/" + odd).trashedAs,
                 trashPath + "/files/a b%\xff.3.png");
        checkRecord(trashPath + "/info/a b%\xff.3.png.trashinfo", pics + "/other/a%20b%25%FF.png");
        QCOMPARE(readBytes(trashPath + "/files/a b%\xff.2.png"), std::string("stale"));
        QVERIFY(!FileManager::fileExists(trashPath + "/info/a b%\xff.2.png.trashinfo"));
        // A relative path is recorded whole.
        QVERIFY(::chdir((pics + "/other").c_str()) == 0);
        QVERIFY(Trash::moveToTrash("b.png"));
        checkRecord(trashPath + "/info/b.png.trashinfo", pics + "/other/b.png");
        QVERIFY(QDir(QString::fromStdString(scene.work))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void trashRefusalsLeaveEverythingInPlace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("error");
        const auto row = [](const char* kind, TrashOutcome::Failure failure, int error) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << int(failure) << error;
        };
        row("trash is a file", TrashOutcome::Failure::HomeTrashUnusable, ENOTDIR);
        row("info is a file", TrashOutcome::Failure::HomeTrashUnusable, ENOTDIR);
        row("folder holding the trash", TrashOutcome::Failure::NotMoved, EINVAL);
        row("read-only folder", TrashOutcome::Failure::NotMoved, EACCES);
        row("missing", TrashOutcome::Failure::Missing, ENOENT);
    }
    void trashRefusalsLeaveEverythingInPlace()
    {
        QFETCH(QString, kind);
        QFETCH(int, failure);
        QFETCH(int, error);
        TrashScene scene;
        const std::string trash = scene.home + "/.local/share/Trash";
        std::string victim = scene.root + "/pics/p.png";
        QVERIFY(writeBytes(victim, "picture"));
        QVERIFY(QDir().mkpath(QString::fromStdString(trash + "/files")));
        if (kind == QLatin1String("trash is a file")) {
            QVERIFY(QDir(QString::fromStdString(trash)).removeRecursively());
            QVERIFY(writeBytes(trash, "x"));
        } else if (kind == QLatin1String("info is a file")) {
            QVERIFY(writeBytes(trash + "/info", "x"));
        } else if (kind == QLatin1String("folder holding the trash")) {
            victim = scene.home; // a folder cannot go into itself, not even for root
        } else if (kind == QLatin1String("missing")) {
            victim = scene.root + "/pics/none.png";
        } else if (::geteuid() == 0) {
            QSKIP("root may change any folder");
        } else {
            QCOMPARE(::chmod((scene.root + "/pics").c_str(), 0555), 0);
        }
        const TrashOutcome outcome = Trash::moveToTrash(victim);
        ::chmod((scene.root + "/pics").c_str(), 0755);
        QCOMPARE(int(outcome.failure), failure);
        QCOMPARE(outcome.error, error);
        QVERIFY(outcome.trashedAs.empty());
        if (kind != QLatin1String("missing"))
            QVERIFY(FileManager::fileExists(victim));
        QCOMPARE(readBytes(scene.root + "/pics/p.png"), std::string("picture"));
        QCOMPARE(scene.recordsBelow(scene.root), std::vector<std::string>());
        QVERIFY(QDir(QString::fromStdString(scene.work))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void otherFileSystemsUseTheirOwnTrash_data()
    {
        QTest::addColumn<QString>("shared"); // what lies at <top>/.Trash
        QTest::addColumn<QString>("used");   // the trash below <top>, or none
        const QString own = QStringLiteral(".Trash-%1").arg(::getuid());
        QTest::newRow("none") << QString() << own;
        QTest::newRow("sticky folder")
            << QStringLiteral("sticky") << QStringLiteral(".Trash/%1").arg(::getuid());
        QTest::newRow("folder not sticky") << QStringLiteral("plain") << own;
        QTest::newRow("link to a sticky folder") << QStringLiteral("link") << own;
        QTest::newRow("own trash is a file") << QStringLiteral("own file") << QString();
    }
    void otherFileSystemsUseTheirOwnTrash()
    {
        QFETCH(QString, shared);
        QFETCH(QString, used);
        // /dev/shm is its own file system on most machines: its top is itself.
        const std::string top = "/dev/shm";
        struct stat volume {};
        struct stat temporary {};
        if (::stat(top.c_str(), &volume) != 0 ||
            ::stat(str(QDir::tempPath()).c_str(), &temporary) != 0 ||
            volume.st_dev == temporary.st_dev)
            QSKIP("no second file system at /dev/shm beside the temporary folder");
        const std::string sharedTrash = top + "/.Trash";
        const std::string ownTrash = top + "/.Trash-" + std::to_string(::getuid());
        if (FileManager::fileExists(sharedTrash) || FileManager::fileExists(ownTrash))
            QSKIP("/dev/shm already has a trash, which a test must not touch");
        TrashScene scene;
        QTemporaryDir place(QStringLiteral("/dev/shm/ovrin-trash-XXXXXX"));
        const std::string folder = str(place.path());
        const std::string victim = folder + "/p \xff.png";
        QVERIFY(writeBytes(victim, "picture"));
        const auto cleanUp = qScopeGuard([&] {
            ::unlink(sharedTrash.c_str());
            ::unlink(ownTrash.c_str());
            std::error_code ignored;
            for (const std::string& made : {sharedTrash, ownTrash, folder})
                std::filesystem::remove_all(made, ignored);
        });
        if (shared == QLatin1String("sticky") || shared == QLatin1String("plain")) {
            QCOMPARE(::mkdir(sharedTrash.c_str(), 0777), 0);
            QCOMPARE(::chmod(sharedTrash.c_str(), shared == QLatin1String("sticky") ? 01777 : 0777),
                     0);
        } else if (shared == QLatin1String("link")) {
            QCOMPARE(::mkdir((folder + "/elsewhere").c_str(), 0777), 0);
            QCOMPARE(::chmod((folder + "/elsewhere").c_str(), 01777), 0);
            QCOMPARE(::symlink((folder + "/elsewhere").c_str(), sharedTrash.c_str()), 0);
        } else if (shared == QLatin1String("own file")) {
            QVERIFY(writeBytes(ownTrash, "x"));
        }

        const TrashOutcome outcome = Trash::moveToTrash(victim);
        // Never the home trash: that would be a copy between file systems.
        QVERIFY(!FileManager::fileExists(scene.home + "/.local"));
        QCOMPARE(TrashScene::recordsBelow(folder), std::vector<std::string>());
        if (used.isEmpty()) {
            QCOMPARE(outcome.failure, TrashOutcome::Failure::NoVolumeTrash);
            QCOMPARE(outcome.place, top);
            QCOMPARE(readBytes(victim), std::string("picture"));
            return;
        }
        QVERIFY(outcome);
        const std::string trash = top + "/" + str(used);
        QCOMPARE(outcome.trashedAs, trash + "/files/p \xff.png");
        QCOMPARE(readBytes(outcome.trashedAs), std::string("picture"));
        QCOMPARE(modeOf(trash), 0700u);
        // named from the top, so the record holds wherever the file system is mounted
        checkRecord(trash + "/info/p \xff.png.trashinfo",
                    Trash::encodePath(folder.substr(top.size() + 1)) + "/p%20%FF.png");
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
            // Qt writes no GIF; where there is alpha, orange is transparent
            const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
            QVERIFY(ovrin::test::writeText(
                path, gif(opaque, alpha ? std::optional(qRgb(240, 128, 16)) : std::nullopt)));
            image = opaque.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; alpha && y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, qRgba(0, 0, 0, 0));
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
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                checkNear(shade(raster->colorAt(x, y)),
                          shown(x * (image.width() - 1), y * (image.height() - 1)), tolerance, x,
                          y);
    }

    // Six colours in three columns and two rows: each of the eight ways to
    // turn or mirror it looks different. Every format that can carry an EXIF
    // orientation (TIFF its own tag) shows the picture upright; unreadable
    // EXIF leaves it as stored.
    void appliesTheStoredOrientation_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("exif"); // for TIFF, only its orientation counts
        QTest::addColumn<int>("upright");     // the orientation that must be applied
        const char* formats[] = {"jpeg", "png", "webp", "tiff"};
        for (const char* format : formats) {
            for (int orientation = 1; orientation <= 8; ++orientation) {
                // the marker JPEG needs, and PNG and WebP may have
                const QByteArray marker =
                    qstrcmp(format, "png") == 0 ? QByteArray() : QByteArray("Exif\0\0", 6);
                QTest::addRow("%s %d", format, orientation)
                    << QByteArray(format) << marker + exifBlock(orientation, orientation % 2 == 0)
                    << orientation;
            }
        }
        const QByteArray turned = exifBlock(6, false);
        QTest::newRow("png too short") << QByteArray("png") << QByteArray("MM") << 1;
        QTest::newRow("png IFD far away")
            << QByteArray("png") << turned.left(4) + be32(0xfffffff0u) << 1;
        QTest::newRow("png IFD cut") << QByteArray("png") << turned.left(20) << 1;
        QByteArray endless = turned; // 65535 entries, and no orientation among them
        endless[8] = endless[9] = '\xff';
        endless[11] = '\x13';
        QTest::newRow("webp endless entries") << QByteArray("webp") << endless << 1;
        QByteArray loop = exifBlock(1, false); // IFD0 names itself as the next IFD
        loop[11] = '\x13';
        loop.replace(22, 4, be32(8));
        QTest::newRow("webp IFD loop") << QByteArray("webp") << loop << 1;
        QTest::newRow("jpeg marker missing") << QByteArray("jpeg") << turned << 1;
    }
    void appliesTheStoredOrientation()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, exif);
        QFETCH(int, upright);
        QImage stored(60, 40, QImage::Format_RGB32);
        const QRgb colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                                qRgb(255, 255, 0), qRgb(255, 0, 255), qRgb(0, 255, 255)};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                stored.setPixel(x, y, colours[y / 20 * 3 + x / 20]);
        QByteArray bytes;
        if (format == "jpeg") {
            bytes = jpegWithExif(stored, exif);
        } else if (format == "png") {
            bytes = pngWithExif(stored, exif);
        } else if (format == "webp") {
            bytes = webpWithExif(stored, exif);
        } else {
            // each orientation as the toolkit's transformation flags
            static constexpr int kTiff[] = {0, 1, 3, 2, 6, 4, 5, 7};
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "tiff");
            writer.setTransformation(QImageIOHandler::Transformations(kTiff[upright - 1]));
            QVERIFY(writer.write(stored));
        }
        // the picture as a person sees it: turns clockwise, mirrors left to right
        const QImage quarter = stored.transformed(QTransform().rotate(90));
        const QImage seen[] = {stored,
                               stored.mirrored(true, false),
                               stored.mirrored(true, true),
                               stored.mirrored(false, true),
                               quarter.mirrored(true, false),
                               quarter,
                               quarter.mirrored(false, true),
                               stored.transformed(QTransform().rotate(270))};
        const QImage want = seen[upright - 1].convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const ThumbnailRaster expected =
            ImageLoader::reduce(reinterpret_cast<const std::uint32_t*>(want.constBits()),
                                want.width(), want.height(), std::size_t(want.width()), 6);
        const auto raster = loaded(bytes, 6).raster;
        QVERIFY(raster.has_value());
        const int tolerance = format == "png" || format == "tiff" ? 0 : 48;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                checkNear(shade(raster->colorAt(x, y)), shade(expected.colorAt(x, y)), tolerance, x,
                          y);
    }

    // Every decoder reduces the rows it gives to the finer grid too: its
    // luminance is the luma of the raster made at the grid's side, turned
    // alike, the size comes as seen, and the raster stays what it was.
    void fineGridIsTheLumaOfTheRasterAtItsSide_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width"); // as seen
        QTest::addColumn<int>("height");
        const QImage photo = ovrin::test::photoLike(131, 97, 3);
        // large enough that JPEG decodes at 1/8 for either side
        const QImage large = ovrin::test::photoLike(512, 384, 4);
        QImage alpha = photo.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < alpha.height(); ++y)
            for (int x = 0; x < alpha.width(); ++x)
                alpha.setPixel(x, y,
                               (alpha.pixel(x, y) & 0xffffffu) | quint32((x + 2 * y) % 256) << 24);
        const QByteArray turned = exifBlock(6, false);
        QTest::newRow("jpeg") << encoded(large, "jpeg") << 512 << 384;
        QTest::newRow("jpeg grey progressive")
            << encoded(large.convertToFormat(QImage::Format_Grayscale8), "jpeg", true) << 512
            << 384;
        QTest::newRow("jpeg turned")
            << jpegWithExif(large, QByteArray("Exif\0\0", 6) + turned) << 384 << 512;
        QTest::newRow("png") << encoded(photo, "png") << 131 << 97;
        QTest::newRow("png alpha") << encoded(alpha, "png") << 131 << 97;
        QTest::newRow("png interlaced") << interlacedPng(photo) << 131 << 97;
        QTest::newRow("png turned") << pngWithExif(photo, turned) << 97 << 131;
        QTest::newRow("gif") << gif(photo) << 131 << 97;
        QTest::newRow("bmp") << encoded(photo, "bmp") << 131 << 97;
        QTest::newRow("webp") << encoded(alpha, "webp") << 131 << 97;
        QTest::newRow("tiff") << encoded(photo, "tiff") << 131 << 97;
        QTest::newRow("tiff planar") << tiffDirectoryFirst(photo, true) << 131 << 97;
        QTest::newRow("ppm (toolkit)") << encoded(photo, "ppm") << 131 << 97;
    }
    void fineGridIsTheLumaOfTheRasterAtItsSide()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QFETCH(int, height);
        constexpr int kSide = 8;
        constexpr int kFine = 32;
        const auto levels = [](const ThumbnailRaster& r) {
            std::vector<QRgb> out;
            for (int k = 0; k < r.side() * r.side(); ++k)
                out.push_back(shade(r.colorAt(k % r.side(), k / r.side())).rgb());
            return out;
        };
        const LoadResult plain = loaded(bytes, kSide);
        const LoadResult both = loaded(bytes, kSide, kFine);
        const LoadResult fine = loaded(bytes, kFine);
        QVERIFY(plain.raster && both.raster && fine.raster);
        QVERIFY(plain.luminance.empty());
        QVERIFY(levels(*both.raster) == levels(*plain.raster));
        QCOMPARE(both.width, width);
        QCOMPARE(both.height, height);
        std::vector<int> luma;
        for (const QRgb p : levels(*fine.raster))
            luma.push_back((299 * qRed(p) + 587 * qGreen(p) + 114 * qBlue(p) + 500) / 1000);
        QCOMPARE(both.luminance.size(), luma.size());
        for (std::size_t k = 0; k < luma.size(); ++k)
            QVERIFY2(both.luminance[k] == luma[k], qPrintable(QString::number(k)));
    }

    // A file cut short is read with the rows that came, as long as one came
    // and the format's library can decode them; what was read is the part of
    // the picture stored first.
    void cutFilesShowWhatCame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("kept");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("firstRow"); // the raster row stored first
        QTest::addColumn<int>("tolerance");
        const QImage photo = ovrin::test::photoLike(128, 128, 7);
        const struct {
            const char* name;
            QByteArray bytes;
            qsizetype headerCut; // no row in it
            bool read;
            int firstRow;
            int tolerance = 12; // an early interlaced pass only samples the picture
        } formats[] = {
            {"jpeg", encoded(photo, "jpeg"), 40, true, 0},
            {"jpeg progressive", encoded(photo, "jpeg", true), 40, true, 0},
            {"png", encoded(photo, "png"), 30, true, 0},
            {"png interlaced", interlacedPng(photo), 100, true, 0, 24},
            {"png with eXIf", pngWithExif(photo, exifBlock(1, true)), 50, true, 0},
            {"gif", gif(photo), 800, true, 0},
            {"webp", encoded(photo, "webp"), 60, true, 0},
            {"webp lossless", encoded(photo, "webp", false, 100), 60, true, 0},
            {"tiff directory first", tiffDirectoryFirst(photo, false), 50, true, 0},
            {"tiff planar", tiffDirectoryFirst(photo, true), 50, true, 0},
            {"tiff directory last", encoded(photo, "tiff"), 50, false, 0},
            {"bmp bottom up", encoded(photo, "bmp"), 30, true, 7},
        };
        for (const auto& format : formats) {
            QTest::addRow("%s, header", format.name)
                << format.bytes << format.headerCut << false << format.firstRow << 0;
            for (const int percent : {50, 90})
                QTest::addRow("%s, %d%%", format.name, percent)
                    << format.bytes << format.bytes.size() * percent / 100 << format.read
                    << format.firstRow << format.tolerance;
        }
    }
    void cutFilesShowWhatCame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, kept);
        QFETCH(bool, read);
        QFETCH(int, firstRow);
        QFETCH(int, tolerance);
        const auto complete = loaded(bytes, 8).raster;
        QVERIFY(complete.has_value());
        LoadResult result;
        const QByteArray said = stderrOf([&] { result = loaded(bytes.left(kept), 8); });
        QCOMPARE(result.failure, read ? LoadFailure::None : LoadFailure::NotAnImage);
        QVERIFY2(said.isEmpty(), said.constData()); // no decoder speaks of a cut file
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
        if (!read)
            return;
        for (int x = 0; x < 8; ++x)
            checkNear(shade(result.raster->colorAt(x, firstRow)),
                      shade(complete->colorAt(x, firstRow)), tolerance, x, firstRow);
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
        QTest::newRow("text") << QByteArray("text.jpg") << QByteArray("not a picture")
                              << LoadFailure::NotAnImage;
        QTest::newRow("empty") << QByteArray("empty.png") << QByteArray() << LoadFailure::EmptyFile;
        QTest::newRow("png damaged") << QByteArray("bad.png") << png << LoadFailure::NotAnImage;
        QTest::newRow("tiff header only")
            << QByteArray("head.tif") << encoded(photo, "tiff").left(8) << LoadFailure::NotAnImage;
        QTest::newRow("gif cut") << QByteArray("cut.gif") << QByteArray("GIF89a\x10\0")
                                 << LoadFailure::NotAnImage;
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
        LoadFailure got = LoadFailure::None;
        const QByteArray said =
            stderrOf([&] { got = loaded(bytes, 8, 0, QString::fromLatin1(name)).failure; });
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
        QByteArray bmp = encoded(ovrin::test::photoLike(16, 16, 5), "bmp").left(54);
        bmp.replace(18, 8, le32(30000) + le32(30000)); // its width and height
        QTest::newRow("bmp of 900 megapixels")
            << QByteArray("big.bmp") << bmp << qint64(54) + 90000LL * 30000 << false;
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

    // Workers decoding at once wait for each other rather than add up past
    // the budget, and all of them get their picture.
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
        QTest::addColumn<QByteArrayList>("files"); // "path: content"
        QTest::addColumn<qint64>("room");          // -1: none
        QTest::newRow("version 2, the parent binds")
            << QByteArrayList{"proc/self/cgroup: 0::/a/b\n",
                              "sys/fs/cgroup/a/memory.max: 1000000\n",
                              "sys/fs/cgroup/a/memory.current: 600000\n",
                              "sys/fs/cgroup/a/memory.stat: "
                              "anon 5\nactive_file 40000\ninactive_file 60000\n",
                              "sys/fs/cgroup/a/b/memory.max: max\n",
                              "sys/fs/cgroup/a/b/memory.current: 300000\n"}
            << qint64(500000);
        QTest::newRow("version 1, unlimited root")
            << QByteArrayList{"proc/self/cgroup: 5:cpu,memory:/x\n1:pids:/\n",
                              "sys/fs/cgroup/memory/x/memory.limit_in_bytes: 800000\n",
                              "sys/fs/cgroup/memory/x/memory.usage_in_bytes: 500000\n",
                              "sys/fs/cgroup/memory/x/memory.stat: "
                              "total_active_file 20000\ntotal_inactive_file 30000\n",
                              "sys/fs/cgroup/memory/memory.limit_in_bytes: 9223372036854771712\n",
                              "sys/fs/cgroup/memory/memory.usage_in_bytes: 900000\n"}
            << qint64(350000);
        QTest::newRow("no memory controller")
            << QByteArrayList{"proc/self/cgroup: 1:pids:/\n"} << qint64(-1);
    }
    void limitsAreReadFromTheCgroupHierarchy()
    {
        QFETCH(QByteArrayList, files);
        QFETCH(qint64, room);
        QTemporaryDir root;
        files << "proc/meminfo: MemTotal: 9 kB\nMemAvailable:    2048 kB\n"
              << "proc/self/statm: 1000 20 3\n";
        for (const QByteArray& entry : files) {
            const qsizetype colon = entry.indexOf(": ");
            const QString path = root.filePath(QString::fromUtf8(entry.left(colon)));
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(path).path()));
            QVERIFY(ovrin::test::writeText(path, entry.mid(colon + 2)));
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
