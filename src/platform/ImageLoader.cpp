#include "platform/ImageLoader.h"

#include "platform/FileManager.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrin::platform {

namespace {

// Image plugins report damaged files through Qt's message system (libjpeg's
// "Corrupt JPEG data", libpng's profile complaints, ...). A photo collection is
// full of such files and a skipped file is not news, so messages raised on a
// thread while it decodes are dropped; everything else goes on as before.
thread_local int t_quietDepth = 0;
std::atomic<QtMessageHandler> g_previousHandler{nullptr};

void quietDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (t_quietDepth > 0 && type != QtFatalMsg)
        return;
    if (const QtMessageHandler previous = g_previousHandler.load())
        previous(type, context, text);
}

class QuietDecoderScope {
public:
    QuietDecoderScope()
    {
        static std::once_flag installed;
        std::call_once(installed, [] {
            g_previousHandler.store(qInstallMessageHandler(quietDecoderMessages));
        });
        ++t_quietDepth;
    }
    ~QuietDecoderScope() { --t_quietDepth; }
    QuietDecoderScope(const QuietDecoderScope&) = delete;
    QuietDecoderScope& operator=(const QuietDecoderScope&) = delete;
};

// JPEG can decode at 1/2, 1/4 or 1/8 of its size by averaging DCT blocks, which
// is where almost all of the time of a folder search goes. Asking for the
// smallest such size that still has at least `side` points in both directions
// keeps the averaging honest and never decodes a photo at full size.
QSize reducedJpegSize(QSize full, int side)
{
    for (int denominator : {8, 4, 2}) {
        const int w = full.width() / denominator;
        const int h = full.height() / denominator;
        if (w >= side && h >= side)
            return {w, h};
    }
    return {};
}

// The reader's format for the common signatures. Naming it up front spares
// the reader from loading every image plugin to ask each whether it knows the
// bytes, which is most of a short run's start-up.
QByteArray formatFromSignature(const QByteArray& head)
{
    const auto starts = [&head](const char* magic, qsizetype at = 0) {
        return head.mid(at).startsWith(QByteArray(magic));
    };
    if (starts("\xff\xd8\xff"))
        return QByteArrayLiteral("jpeg");
    if (starts("\x89PNG\r\n\x1a\n"))
        return QByteArrayLiteral("png");
    if (starts("GIF87a") || starts("GIF89a"))
        return QByteArrayLiteral("gif");
    if (starts("RIFF") && starts("WEBP", 8))
        return QByteArrayLiteral("webp");
    if (starts("II*") || starts("MM"))
        return head.size() >= 4 && (starts("II*\0") || starts("MM\0*")) ? QByteArrayLiteral("tiff")
                                                                        : QByteArray();
    return {};
}

} // namespace

ThumbnailRaster::ThumbnailRaster(int side, std::vector<std::uint8_t> rgb)
    : m_side(side), m_rgb(std::move(rgb))
{}

ColorFraction ThumbnailRaster::colorAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_side || y >= m_side)
        return {};
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_side) +
                            static_cast<std::size_t>(x)) *
                           3;
    return {levelToFraction(m_rgb[at]), levelToFraction(m_rgb[at + 1]),
            levelToFraction(m_rgb[at + 2]), 1.0f};
}

float ThumbnailRaster::levelToFraction(std::uint8_t level)
{
    float fraction = static_cast<float>(level) / 255.0f;
    // Nudge up should rounding ever leave the product a hair below the level.
    while (static_cast<int>(fraction * 255.0f) < level)
        fraction = std::nextafter(fraction, 2.0f);
    return fraction;
}

ThumbnailRaster ImageLoader::reduce(const std::uint32_t* pixels, int width, int height,
                                    std::size_t pixelsPerLine, int side)
{
    // Exact box filter in integers: scaling both axes by `side` puts source
    // pixel x at [x*side, (x+1)*side) and target cell i at [i*width, (i+1)*width),
    // so every overlap is a whole number and every cell weighs width*height.
    const auto n = static_cast<std::int64_t>(side);
    const auto w = static_cast<std::int64_t>(width);
    const auto h = static_cast<std::int64_t>(height);
    const std::size_t cells = static_cast<std::size_t>(side);

    std::vector<std::uint64_t> rowSums(cells * 3);
    std::vector<std::uint64_t> cellSums(cells * cells * 3);

    for (std::int64_t y = 0; y < h; ++y) {
        std::fill(rowSums.begin(), rowSums.end(), 0);
        const std::uint32_t* line = pixels + static_cast<std::size_t>(y) * pixelsPerLine;
        for (std::int64_t x = 0; x < w; ++x) {
            const std::uint32_t p = line[x];
            const std::uint32_t alpha = p >> 24;
            // premultiplied colour over white: c + (255 - alpha)
            const std::uint64_t r = ((p >> 16) & 0xffu) + 255u - alpha;
            const std::uint64_t g = ((p >> 8) & 0xffu) + 255u - alpha;
            const std::uint64_t b = (p & 0xffu) + 255u - alpha;
            const std::int64_t lo = x * n;
            const std::int64_t hi = lo + n;
            for (std::int64_t i = lo / w; i < n && i * w < hi; ++i) {
                const auto weight =
                    static_cast<std::uint64_t>(std::min(hi, (i + 1) * w) - std::max(lo, i * w));
                std::uint64_t* sum = &rowSums[static_cast<std::size_t>(i) * 3];
                sum[0] += weight * r;
                sum[1] += weight * g;
                sum[2] += weight * b;
            }
        }
        const std::int64_t lo = y * n;
        const std::int64_t hi = lo + n;
        for (std::int64_t j = lo / h; j < n && j * h < hi; ++j) {
            const auto weight =
                static_cast<std::uint64_t>(std::min(hi, (j + 1) * h) - std::max(lo, j * h));
            std::uint64_t* row = &cellSums[static_cast<std::size_t>(j) * cells * 3];
            for (std::size_t k = 0; k < cells * 3; ++k)
                row[k] += weight * rowSums[k];
        }
    }

    const auto area = static_cast<std::uint64_t>(w * h);
    std::vector<std::uint8_t> rgb(cells * cells * 3);
    for (std::size_t k = 0; k < rgb.size(); ++k) {
        const std::uint64_t level = (cellSums[k] + area / 2) / area;
        rgb[k] = static_cast<std::uint8_t>(std::min<std::uint64_t>(level, 255));
    }
    return ThumbnailRaster(side, std::move(rgb));
}

LoadResult ImageLoader::loadThumbnail(const std::string& path, int side,
                                      const std::atomic<bool>* proceed)
{
    if (path.empty())
        return {std::nullopt, LoadFailure::Missing};
    LoadFailure why = LoadFailure::None;
    const int fd = FileManager::openRegularFile(path, O_RDONLY, &why);
    if (fd < 0)
        return {std::nullopt, why};
    return loadThumbnail(fd, side, proceed);
}

LoadResult ImageLoader::loadThumbnail(int fd, int side, const std::atomic<bool>* proceed)
{
    if (side < 1 || side > kMaxSide) {
        ::close(fd);
        return {std::nullopt, LoadFailure::NotAnImage};
    }
    if (const LoadFailure why = FileManager::checkOpenFile(fd); why != LoadFailure::None) {
        ::close(fd);
        return {std::nullopt, why};
    }
    const QuietDecoderScope quiet;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {std::nullopt, LoadFailure::ReadError};
    }

    QImageReader reader(&file);
    if (const QByteArray format = formatFromSignature(file.peek(12)); !format.isEmpty())
        reader.setFormat(format);
    reader.setAutoTransform(true);
    if (reader.format() == "jpeg") {
        const QSize reduced = reducedJpegSize(reader.size(), side);
        if (reduced.isValid())
            reader.setScaledSize(reduced);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() < 1 || image.height() < 1)
        return {std::nullopt, proceed != nullptr && !proceed->load() ? LoadFailure::Stopped
                                                                     : LoadFailure::NotAnImage};

    if (image.format() != QImage::Format_RGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            return {std::nullopt, LoadFailure::NotAnImage};
    }
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(image.constBits());
    const auto perLine = static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t);
    return {reduce(pixels, image.width(), image.height(), perLine, side), LoadFailure::None};
}

} // namespace ovrin::platform
