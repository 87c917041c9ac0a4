#pragma once

// Pictures made in memory and the ways the loader's tests look at them.
#include "platform/fs/FileManager.h"
#include "platform/fs/Trash.h"
#include "platform/imaging/ImageLoader.h"
#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace ovrin::platformtest {

using namespace ovrin::platform;
using ovrin::test::str;

inline QStringList g_messages;
// What a test warns after decoding, to show the handler still hears the toolkit.
inline constexpr const char* kMarker = "after decoding";
inline QtMessageHandler g_testHandler = nullptr;

inline void captureMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    g_messages << text;
    // the tests' own marker would only bury a failure in the log
    if (g_testHandler != nullptr && text != QLatin1String(kMarker))
        g_testHandler(type, context, text);
}

// The argument that makes the test program, started again by a test, decode
// `alpha` and `grey` as nobody with no thread left to start, and exit 0 when
// both loaded, 1 when not, 3 when it could not become nobody and 4 when
// threads could still be made.
inline constexpr const char* kDecodeWithoutThreads = "--decode-without-threads";

inline int decodeWithoutThreads(const std::string& alpha, const std::string& grey)
{
    // root is not held to the process limit
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 3;
    const rlimit one{1, 1};
    ::setrlimit(RLIMIT_NPROC, &one);
    try {
        std::thread([] {}).join();
        return 4;
    } catch (const std::system_error&) {
    }
    return ImageLoader::loadThumbnail(alpha, 8).raster.has_value() &&
                   ImageLoader::loadThumbnail(grey, 8).raster.has_value()
               ? 0
               : 1;
}

// Level of one channel at a raster point, back from its fraction.
inline int level(float fraction)
{
    return static_cast<int>(fraction * 255.0f);
}

inline QColor shade(const ColorFraction& c)
{
    return {level(c.red), level(c.green), level(c.blue)};
}

// Fails unless every channel of `got` lies within `tolerance` levels of `want`.
inline void checkNear(const QColor& got, const QColor& want, int tolerance, int x, int y)
{
    QVERIFY2(
        std::abs(got.red() - want.red()) <= tolerance &&
            std::abs(got.green() - want.green()) <= tolerance &&
            std::abs(got.blue() - want.blue()) <= tolerance,
        qPrintable(
            QStringLiteral("(%1,%2): got %3, want %4").arg(x).arg(y).arg(got.name(), want.name())));
}

inline QByteArray encoded(const QImage& image, const char* format, bool progressive = false,
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
inline QByteArray exifBlock(int orientation, bool littleEndian)
{
    QByteArray block =
        littleEndian ? QByteArray("II\x2a\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\0\0\0\0", 22)
                     : QByteArray("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0", 22);
    block[littleEndian ? 18 : 19] = char(orientation);
    return block + QByteArray(4, '\0'); // no next IFD
}

// A JPEG whose first APP1 segment is `exif`.
inline QByteArray jpegWithExif(const QImage& image, const QByteArray& exif)
{
    QByteArray segment("\xff\xe1\0\0", 4);
    segment[2] = char((exif.size() + 2) >> 8);
    segment[3] = char((exif.size() + 2) & 0xff);
    return encoded(image, "jpeg").insert(2, segment + exif);
}

inline quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray be32(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

inline QByteArray le32(quint32 value)
{
    const char bytes[] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return QByteArray(bytes, 4);
}

inline QByteArray le16(unsigned value)
{
    return le32(value).left(2);
}

// A TGA header, the ID field, a colour map of `mapBits` entries from index
// `mapFirst` on, and `body`.
inline QByteArray tga(int type, int bits, int descriptor, const QByteArray& body,
                      const QByteArray& map = {}, int mapBits = 0, unsigned mapFirst = 0,
                      const QByteArray& id = {}, unsigned width = 2, unsigned height = 2)
{
    const int entries = mapBits == 0 ? 0 : int(map.size()) / ((mapBits + 7) / 8);
    return char(id.size()) + QByteArray(1, char(map.isEmpty() ? 0 : 1)) + char(type) +
           le16(mapFirst) + le16(unsigned(entries)) + char(mapBits) + QByteArray(4, '\0') +
           le16(width) + le16(height) + char(bits) + char(descriptor) + id + map + body;
}

inline QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray body = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

// A PNG with an eXIf chunk right after its header chunk.
inline QByteArray pngWithExif(const QImage& image, const QByteArray& exif)
{
    return encoded(image, "png").insert(8 + 25, pngChunk("eXIf", exif));
}

// An interlaced 8-bit RGB PNG, which the toolkit does not write.
inline QByteArray interlacedPng(const QImage& image)
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
inline QByteArray webpWithExif(const QImage& image, const QByteArray& exif)
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
inline QByteArray tiffDirectoryFirst(const QImage& image, bool planar)
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
inline QByteArray gif(const QImage& image, std::optional<QRgb> transparent = std::nullopt)
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
inline QByteArray jpegClaiming(int side, bool progressive)
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
inline bool writeSparse(const QString& path, const QByteArray& head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// Runs `body` with the process's stderr sent to a file; gives what was written.
template <typename Body>
inline QByteArray stderrOf(Body body)
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

// The file `tool` (heif-enc, avifenc or cjxl) makes of `image`, or of the
// file at `input`, with `arguments` before the input's and the output's
// names; empty when the tool fails.
inline QByteArray madeBy(const QImage& image, const QString& tool, const QStringList& arguments,
                         const QString& suffix, QString input = {})
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("out.") + suffix);
    if (input.isEmpty() && !image.save(input = dir.filePath(QStringLiteral("in.png"))))
        return {};
    QProcess process;
    // only heif-enc takes the output's name after -o
    process.start(tool, arguments + QStringList{input} +
                            (tool == QStringLiteral("heif-enc")
                                 ? QStringList{QStringLiteral("-o"), output}
                                 : QStringList{output}));
    process.waitForFinished(120000);
    QFile file(output);
    return process.exitCode() == 0 && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                     : QByteArray();
}

// Loads `bytes` as a file of their own, named `name`.
inline LoadResult loaded(const QByteArray& bytes, int side, int fineSide = 0,
                         const QString& name = QStringLiteral("picture"))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!ovrin::test::writeText(path, bytes))
        return LoadResult(std::nullopt, LoadFailure::Missing);
    return ImageLoader::loadThumbnail(str(path), side, nullptr, fineSide);
}

} // namespace ovrin::platformtest

using namespace ovrin::platform;
using namespace ovrin::platformtest;
using ovrin::test::str;

// The test classes, one per part of the module, run one after the other.
QObject* makePlatformTests();
QObject* makeMoreFormatsTests();
QObject* makeOwnReadersTests();
