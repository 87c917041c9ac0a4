// Makes the picture collections of the format benchmark:
//   ovrin-make-formats corpus OUTDIR COUNT SOURCE...
//       the sources (photographs) resized to photo sizes and written as JPEG,
//       PNG, WebP, GIF, BMP and TIFF, COUNT files per format, in OUTDIR/<format>/
//   ovrin-make-formats huge OUTDIR SOURCE
//       one picture of 12000 x 8400 (100.8 megapixels) in every format, in
//       OUTDIR/<format>/, and a progressive JPEG of it
//   ovrin-make-formats small OUTDIR COUNT
//       COUNT small PNG files of 64 x 48
//   ovrin-make-formats dng IN OUT.dng preview|bare
//       the picture IN as a camera's DNG: an RGGB mosaic of 14-bit linear
//       values in a SubIFD behind a JPEG preview of 1600 pixels on the longest
//       side in IFD0 (preview), or the mosaic alone in IFD0 (bare)
//   ovrin-make-formats webp-lossless IN OUT.webp
//       the picture IN as a lossless WebP, at libwebp's fastest setting
//   ovrin-make-formats liar FILE
//       a progressive JPEG of a few hundred bytes whose header claims
//       46000 x 46000 pixels

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include <array>
#include <cmath>
#include <cstdio>
#include <gif_lib.h>
#include <tiffio.h>
#include <vector>
#include <webp/encode.h>

namespace {

constexpr int kLongestSide = 3000;

// A GIF of the picture: its colours reduced to 256 by giflib's quantizer.
bool writeGif(const QImage& source, const QString& path)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const auto width = static_cast<unsigned>(image.width());
    const auto height = static_cast<unsigned>(image.height());
    const std::size_t points = std::size_t{width} * height;
    std::vector<GifByteType> red(points), green(points), blue(points), indices(points);
    for (unsigned y = 0; y < height; ++y) {
        const uchar* line = image.constScanLine(static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) {
            const std::size_t at = std::size_t{y} * width + x;
            red[at] = line[x * 3];
            green[at] = line[x * 3 + 1];
            blue[at] = line[x * 3 + 2];
        }
    }
    int colours = 256;
    std::vector<GifColorType> map(256);
    if (GifQuantizeBuffer(width, height, &colours, red.data(), green.data(), blue.data(),
                          indices.data(), map.data()) == GIF_ERROR)
        return false;
    ColorMapObject* colourMap = GifMakeMapObject(256, map.data());
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (out == nullptr || colourMap == nullptr)
        return false;
    int error = 0;
    GifFileType* gif = EGifOpen(
        out,
        [](GifFileType* g, const GifByteType* data, int size) {
            return static_cast<int>(std::fwrite(data, 1, static_cast<std::size_t>(size),
                                                static_cast<FILE*>(g->UserData)));
        },
        &error);
    bool ok = gif != nullptr &&
              EGifPutScreenDesc(gif, int(width), int(height), 8, 0, colourMap) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, int(width), int(height), false, nullptr) != GIF_ERROR;
    for (unsigned y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, &indices[std::size_t{y} * width], int(width)) != GIF_ERROR;
    if (gif != nullptr)
        ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    GifFreeMapObject(colourMap);
    std::fclose(out);
    return ok;
}

bool writeAs(const QImage& image, const QString& path, const QByteArray& format, int index)
{
    if (format == "gif")
        return writeGif(image, path);
    QImageWriter writer(path, format);
    if (format == "jpeg")
        writer.setQuality(85);
    else if (format == "webp")
        writer.setQuality(80);
    else if (format == "tiff")
        writer.setCompression(index % 2); // half uncompressed, half LZW
    if (!writer.write(format == "bmp" || format == "tiff" || format == "png"
                          ? image.convertToFormat(QImage::Format_RGB888)
                          : image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

QImage readPhoto(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull() || std::max(image.width(), image.height()) < 1000)
        return {};
    if (std::max(image.width(), image.height()) > kLongestSide)
        image =
            image.scaled(kLongestSide, kLongestSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_RGB32);
}

const QByteArray kFormats[] = {"jpeg", "png", "webp", "gif", "bmp", "tiff"};
const char* suffix(const QByteArray& format)
{
    return format == "jpeg" ? "jpg" : format == "tiff" ? "tif" : format.constData();
}

int makeCorpus(const QString& out, int count, const QStringList& sources)
{
    std::vector<QImage> photos;
    for (const QString& source : sources) {
        QImage photo = readPhoto(source);
        if (!photo.isNull())
            photos.push_back(std::move(photo));
    }
    if (photos.empty()) {
        std::fputs("no readable photographs\n", stderr);
        return 1;
    }
    const double factors[] = {1.0, 0.8, 0.65, 0.5, 0.4, 0.9, 0.7, 0.55};
    int written = 0;
    for (int index = 0; index < count; ++index) {
        const QImage& photo = photos[std::size_t(index) % photos.size()];
        const double factor = factors[std::size_t(index) / photos.size() % std::size(factors)];
        const QImage image =
            factor == 1.0 ? photo
                          : photo.scaled(int(photo.width() * factor), int(photo.height() * factor),
                                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        for (const QByteArray& format : kFormats) {
            const QDir dir(out + QLatin1Char('/') + QString::fromLatin1(format));
            if (!QDir().mkpath(dir.path()))
                return 1;
            const QString name = QStringLiteral("%1.%2")
                                     .arg(index, 5, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(suffix(format)));
            if (!writeAs(image, dir.filePath(name), format, index))
                return 1;
        }
        ++written;
    }
    std::printf("%d pictures in each of %zu formats from %zu photographs\n", written,
                std::size(kFormats), photos.size());
    return 0;
}

int makeHuge(const QString& out, const QString& source)
{
    QImageReader reader(source);
    reader.setAllocationLimit(0);
    const QImage photo = reader.read();
    if (photo.isNull() || !QDir().mkpath(out))
        return 1;
    const QImage image = photo.scaled(12000, 8400, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    int index = 1; // TIFF with LZW
    for (const QByteArray& format : kFormats) {
        const QDir dir(out + QLatin1Char('/') + QString::fromLatin1(format));
        const QString path =
            dir.filePath(QStringLiteral("huge.%1").arg(QLatin1String(suffix(format))));
        if (!QDir().mkpath(dir.path()) || !writeAs(image, path, format, index))
            return 1;
    }
    // and one progressive JPEG, which libjpeg must hold whole as coefficients
    QImageWriter progressive(QDir(out).filePath(QStringLiteral("jpeg/huge-progressive.jpg")),
                             "jpeg");
    progressive.setQuality(85);
    progressive.setProgressiveScanWrite(true);
    return progressive.write(image) ? 0 : 1;
}

// Tags every DNG reader wants: version, a camera model, and a colour matrix
// that takes XYZ (D65) to the mosaic's primaries, here those of sRGB, so that
// a development gives the source picture's colours back.
void setDngTags(TIFF* tiff)
{
    const std::uint8_t version[4] = {1, 4, 0, 0};
    const std::uint8_t backward[4] = {1, 1, 0, 0};
    TIFFSetField(tiff, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tiff, TIFFTAG_DNGBACKWARDVERSION, backward);
    TIFFSetField(tiff, TIFFTAG_MAKE, "Ovrin");
    TIFFSetField(tiff, TIFFTAG_MODEL, "Bench Mosaic");
    TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Ovrin Bench Mosaic");
    const float xyzToSrgb[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                0.0415f, 0.0557f,  -0.2040f, 1.0570f};
    TIFFSetField(tiff, TIFFTAG_COLORMATRIX1, 9, xyzToSrgb);
    TIFFSetField(tiff, TIFFTAG_CALIBRATIONILLUMINANT1, 21); // D65
    const float neutral[3] = {1.0f, 1.0f, 1.0f};
    TIFFSetField(tiff, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
}

bool writeMosaic(TIFF* tiff, const QImage& image, std::uint32_t subfileType)
{
    constexpr std::uint16_t kWhite = 16383;
    std::array<std::uint16_t, 256> linear{};
    for (std::size_t v = 0; v < linear.size(); ++v) {
        const double c = double(v) / 255.0;
        const double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        linear[v] = static_cast<std::uint16_t>(std::lround(l * kWhite));
    }
    const auto width = static_cast<std::uint32_t>(image.width());
    const auto height = static_cast<std::uint32_t>(image.height());
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, subfileType);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    const std::uint16_t dimensions[2] = {2, 2};
    const std::uint8_t pattern[4] = {0, 1, 1, 2}; // red green / green blue
    TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, dimensions);
    TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, pattern);
    const std::uint32_t white = kWhite;
    TIFFSetField(tiff, TIFFTAG_WHITELEVEL, 1, &white);
    std::vector<std::uint16_t> row(width);
    for (std::uint32_t y = 0; y < height; ++y) {
        const uchar* line = image.constScanLine(int(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            // red on even rows' even columns, blue on odd rows' odd columns
            const std::uint32_t channel = (y & 1) + (x & 1);
            row[x] = linear[line[x * 3 + channel]];
        }
        if (TIFFWriteScanline(tiff, row.data(), y, 0) < 0)
            return false;
    }
    return true;
}

bool writePreview(TIFF* tiff, const QImage& image)
{
    const QImage preview = image.scaled(1600, 1600, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB888);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(preview.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(preview.height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
    // one strip holding a whole JPEG, tables included, as cameras store it
    TIFFSetField(tiff, TIFFTAG_JPEGTABLESMODE, 0);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, std::uint32_t(preview.height()));
    for (int y = 0; y < preview.height(); ++y)
        if (TIFFWriteScanline(tiff, const_cast<uchar*>(preview.constScanLine(y)), std::uint32_t(y),
                              0) < 0)
            return false;
    return true;
}

int makeDng(const QString& in, const QString& out, bool preview)
{
    QImageReader reader(in);
    reader.setAllocationLimit(0);
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        return 1;
    const QString part = out + QStringLiteral(".part");
    TIFF* tiff = TIFFOpen(QFile::encodeName(part).constData(),
                          image.sizeInBytes() > (3ll << 30) / 2 ? "w8" : "w");
    if (tiff == nullptr)
        return 1;
    setDngTags(tiff);
    bool ok = true;
    if (preview) {
        toff_t subIfd = 0;
        TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, &subIfd);
        ok = writePreview(tiff, image) && TIFFWriteDirectory(tiff);
    }
    ok = ok && writeMosaic(tiff, image, 0) && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    return ok && QFile::rename(part, out) ? 0 : 1;
}

int makeLosslessWebp(const QString& in, const QString& out)
{
    QImageReader reader(in);
    reader.setAllocationLimit(0);
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB888);
    WebPConfig config;
    WebPPicture picture;
    if (image.isNull() || !WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, 0) ||
        !WebPPictureInit(&picture))
        return 1;
    config.thread_level = 1;
    picture.use_argb = 1;
    picture.width = image.width();
    picture.height = image.height();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    bool ok = WebPPictureImportRGB(&picture, image.constBits(), int(image.bytesPerLine())) &&
              WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    QFile file(out);
    ok = ok && file.open(QIODevice::WriteOnly) &&
         file.write(reinterpret_cast<const char*>(writer.mem), qint64(writer.size)) ==
             qint64(writer.size);
    WebPMemoryWriterClear(&writer);
    return ok ? 0 : 1;
}

int makeLiar(const QString& path)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(90, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(image))
        return 1;
    const qsizetype sof = bytes.indexOf("\xff\xc2");
    if (sof < 0)
        return 1;
    for (int at : {5, 7}) {
        bytes[sof + at] = char(46000 >> 8);
        bytes[sof + at + 1] = char(46000 & 0xff);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
}

int makeSmall(const QString& out, int count)
{
    if (!QDir().mkpath(out))
        return 1;
    QRandomGenerator random(7);
    for (int i = 0; i < count; ++i) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor(random.bounded(256), random.bounded(256), random.bounded(256)));
        for (int k = 0; k < 200; ++k)
            image.setPixel(random.bounded(64), random.bounded(48), random.generate());
        if (!image.save(
                QDir(out).filePath(QStringLiteral("s%1.png").arg(i, 5, 10, QLatin1Char('0')))))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QImageReader::setAllocationLimit(0);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("corpus"))
        return makeCorpus(args[2], args[3].toInt(), args.mid(4));
    if (args.size() == 4 && args[1] == QLatin1String("huge"))
        return makeHuge(args[2], args[3]);
    if (args.size() == 4 && args[1] == QLatin1String("small"))
        return makeSmall(args[2], args[3].toInt());
    if (args.size() == 5 && args[1] == QLatin1String("dng"))
        return makeDng(args[2], args[3], args[4] == QLatin1String("preview"));
    if (args.size() == 4 && args[1] == QLatin1String("webp-lossless"))
        return makeLosslessWebp(args[2], args[3]);
    if (args.size() == 3 && args[1] == QLatin1String("liar"))
        return makeLiar(args[2]);
    std::fputs(
        "usage: ovrin-make-formats corpus OUTDIR COUNT SOURCE... | huge OUTDIR SOURCE | "
        "small OUTDIR COUNT | dng IN OUT.dng preview|bare | webp-lossless IN OUT.webp | liar "
        "FILE\n",
        stderr);
    return 2;
}
