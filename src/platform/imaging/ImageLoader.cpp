#include "platform/imaging/ImageLoader.h"

#include "platform/fs/FileManager.h"
#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/BmpDecoder.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/GifDecoder.h"
#include "platform/imaging/detail/HeifDecoder.h"
#include "platform/imaging/detail/ImageFile.h"
#include "platform/imaging/detail/JpegDecoder.h"
#include "platform/imaging/detail/JxlDecoder.h"
#include "platform/imaging/detail/PngDecoder.h"
#include "platform/imaging/detail/QtImageDecoder.h"
#include "platform/imaging/detail/RawDecoder.h"
#include "platform/imaging/detail/SvgDecoder.h"
#include "platform/imaging/detail/TgaDecoder.h"
#include "platform/imaging/detail/TiffDecoder.h"
#include "platform/imaging/detail/WebpDecoder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <unistd.h>

namespace ovrin::platform {

namespace {

// Image plugins of the toolkit report damaged files through its message
// system. A photo collection is full of such files and a skipped file is
// not news (its reason goes into LoadFailure), so messages raised on a
// thread while it decodes are dropped; everything else goes on as before.
// The libraries decoded directly are given handlers that say nothing.
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

bool startsWith(const std::array<std::uint8_t, 16>& head, std::size_t length, const char* magic,
                std::size_t size, std::size_t at = 0)
{
    return length >= at + size && std::memcmp(head.data() + at, magic, size) == 0;
}

// The name's extension in lower case ("" when there is none). Only formats
// that carry no signature of their own are ever told apart by it.
std::string extensionOf(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isOneOf(const std::string& extension, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return extension == name; });
}

// Camera files that tell themselves apart from a TIFF without a name: "CR"
// after the header, or a DNGVersion tag among the first IFD's entries.
bool looksLikeRaw(ImageFile& file, const std::array<std::uint8_t, 16>& head, std::size_t length)
{
    if (startsWith(head, length, "CR", 2, 8))
        return true;
    if (length < 8 || head[2] == '+' || head[3] == '+')
        return false;
    const bool little = head[0] == 'I';
    const auto number = [little](const std::uint8_t* at, int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint32_t(at[little ? i : bytes - 1 - i])
                     << (8 * (little ? i : bytes - 1 - i));
        return value;
    };
    const std::uint32_t ifd = number(head.data() + 4, 4);
    std::array<std::uint8_t, 2> count{};
    if (file.readAt(ifd, count.data(), 2) != 2)
        return false;
    const std::uint32_t entries = std::min<std::uint32_t>(number(count.data(), 2), 512);
    std::vector<std::uint8_t> table(std::size_t(entries) * 12);
    const std::int64_t got = file.readAt(std::int64_t(ifd) + 2, table.data(), table.size());
    for (std::int64_t at = 0; at + 12 <= got; at += 12)
        if (number(table.data() + at, 2) == 50706)
            return true;
    return false;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

LoadResult named(LoadResult result, std::string format)
{
    if (result.format.empty())
        result.format = std::move(format);
    return result;
}

LoadResult decodeFile(ImageFile& file, Reduction side, int fineSide, std::string_view name)
{
    const std::string extension = extensionOf(name);
    std::array<std::uint8_t, 16> head{};
    const std::int64_t got = file.readAt(0, head.data(), head.size());
    if (got < 0)
        return {std::nullopt, file.failureOr(LoadFailure::ReadError)};
    const auto length = static_cast<std::size_t>(got);
    // A camera's own name for its files where the name gives one.
    const auto rawName = [&extension] {
        return extension.empty() || extension == "tif" || extension == "tiff" ? std::string("RAW")
                                                                              : upper(extension);
    };
    if (startsWith(head, length, "\xff\x0a", 2) ||
        startsWith(head, length, "\0\0\0\x0cJXL \r\n\x87\n", 12))
        return named(JxlDecoder::decode(file, side, fineSide), "JPEG XL");
    if (startsWith(head, length, "ftyp", 4, 4)) {
        if (startsWith(head, length, "crx ", 4, 8))
            return named(RawDecoder::decode(file, side, fineSide), "CR3");
        const bool av1 =
            startsWith(head, length, "avif", 4, 8) || startsWith(head, length, "avis", 4, 8);
        return named(HeifDecoder::decode(file, side, fineSide), av1 ? "AVIF" : "HEIF");
    }
    if (startsWith(head, length, "FUJIFILMCCD-RAW", 15) || startsWith(head, length, "IIRO", 4) ||
        startsWith(head, length, "IIRS", 4) || startsWith(head, length, "MMOR", 4) ||
        startsWith(head, length, "IIU\0", 4))
        return named(RawDecoder::decode(file, side, fineSide), rawName());
    if (startsWith(head, length, "\xff\xd8\xff", 3))
        return named(JpegDecoder::decode(file, side, fineSide), "JPEG");
    if (startsWith(head, length, "\x89PNG\r\n\x1a\n", 8))
        return named(PngDecoder::decode(file, side, fineSide), "PNG");
    if (startsWith(head, length, "GIF87a", 6) || startsWith(head, length, "GIF89a", 6))
        return named(GifDecoder::decode(file, side, fineSide), "GIF");
    if (startsWith(head, length, "RIFF", 4) && startsWith(head, length, "WEBP", 4, 8))
        return named(WebpDecoder::decode(file, side, fineSide), "WEBP");
    if (startsWith(head, length, "II*\0", 4) || startsWith(head, length, "MM\0*", 4) ||
        startsWith(head, length, "II+\0", 4) || startsWith(head, length, "MM\0+", 4)) {
        if (isOneOf(extension, {"dng", "cr2", "nef", "nrw", "arw", "srf", "sr2", "pef", "3fr",
                                "erf", "kdc", "dcr", "mef", "mos", "srw", "iiq", "rwl"}) ||
            looksLikeRaw(file, head, length)) {
            // A TIFF that libraw cannot read is still read as a TIFF: the
            // answer depends on the bytes alone, so every run agrees.
            LoadResult raw = RawDecoder::decode(file, side, fineSide);
            if (raw.failure != LoadFailure::NotAnImage)
                return named(std::move(raw), rawName());
        }
        return named(TiffDecoder::decode(file, side, fineSide), "TIFF");
    }
    if (startsWith(head, length, "BM", 2)) {
        if (auto result = BmpDecoder::decode(file, side, fineSide))
            return named(std::move(*result), "BMP");
        return named(QtImageDecoder::decode(file, side, fineSide, "bmp"), "BMP");
    }
    // TGA is known only by a name: its files carry no signature.
    if (isOneOf(extension, {"tga", "icb", "vda", "vst"}))
        return named(TgaDecoder::decode(file, side, fineSide), "TGA");
    if (isOneOf(extension, {"svg", "svgz"}) || startsWith(head, length, "<svg", 4) ||
        startsWith(head, length, "<?xml", 5))
        return named(SvgDecoder::decode(file, side, fineSide), "SVG");
    return QtImageDecoder::decode(file, side, fineSide, "");
}

// Checks the open file and decodes it; the descriptor is closed.
LoadResult decodeOpenFile(int fd, Reduction side, const std::atomic<bool>* proceed, int fineSide,
                          std::string_view name)
{
    if (const LoadFailure why = FileManager::checkOpenFile(fd); why != LoadFailure::None) {
        ::close(fd);
        return {std::nullopt, why};
    }
    const QuietDecoderScope quiet;
    ImageFile file(fd, proceed);
    LoadResult result;
    try {
        result = decodeFile(file, side, fineSide, name);
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
    if (!result.raster) {
        result.failure = file.failureOr(result.failure);
        if (result.failure == LoadFailure::None)
            result.failure = LoadFailure::NotAnImage;
        result.format.clear();
    }
    return result;
}

} // namespace

ThumbnailRaster ImageLoader::reduce(const std::uint32_t* pixels, int width, int height,
                                    std::size_t pixelsPerLine, int side)
{
    AreaReducer reducer(width, height, side);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* line = pixels + static_cast<std::size_t>(y) * pixelsPerLine;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = line[x];
            std::uint8_t* out = &rgba[static_cast<std::size_t>(x) * 4];
            out[0] = static_cast<std::uint8_t>(p >> 16);
            out[1] = static_cast<std::uint8_t>(p >> 8);
            out[2] = static_cast<std::uint8_t>(p);
            out[3] = static_cast<std::uint8_t>(p >> 24);
        }
        reducer.addPremultipliedRgbaRow(rgba.data());
    }
    return reducer.finish();
}

void ImageLoader::adoptMainThread()
{
    // The first thread the toolkit meets becomes its main thread.
    [[maybe_unused]] const QThread* const adopted = QThread::currentThread();
}

struct HeadlessApplication::Application {
    // The toolkit keeps a reference to the count; its own arguments, so it
    // takes none of the program's.
    int argc = 3;
    std::array<char*, 4> argv{const_cast<char*>("ovrin"), const_cast<char*>("-platform"),
                              const_cast<char*>("offscreen"), nullptr};
    QGuiApplication application{argc, argv.data()};
};

HeadlessApplication::HeadlessApplication()
{
    // A platform that cannot be loaded would end the process.
    const QStringList folders = QCoreApplication::libraryPaths();
    if (std::any_of(folders.begin(), folders.end(), [](const QString& folder) {
            return QFileInfo::exists(folder + QStringLiteral("/platforms/libqoffscreen.so"));
        })) {
        // Its start-up notes (a runtime folder it defaulted, say) are not the run's news.
        const QuietDecoderScope quiet;
        m_application = std::make_unique<Application>();
    }
}

HeadlessApplication::~HeadlessApplication() = default;

void ImageLoader::setDecodeBudgetForTesting(std::int64_t bytes)
{
    DecodeBudget::setCapacity(bytes > 0 ? bytes : kDecodeBudget);
}

LoadResult ImageLoader::loadThumbnail(const std::string& path, int side,
                                      const std::atomic<bool>* proceed, int fineSide)
{
    if (path.empty())
        return {std::nullopt, LoadFailure::Missing};
    LoadFailure why = LoadFailure::None;
    const int fd = FileManager::openRegularFile(path, O_RDONLY, &why);
    if (fd < 0)
        return {std::nullopt, why};
    return loadThumbnail(fd, side, proceed, fineSide, path);
}

LoadResult ImageLoader::loadThumbnail(int fd, int side, const std::atomic<bool>* proceed,
                                      int fineSide, std::string_view name)
{
    if (side < 1 || side > kMaxSide || fineSide < 0 || fineSide > kMaxSide) {
        ::close(fd);
        return {std::nullopt, LoadFailure::NotAnImage};
    }
    return decodeOpenFile(fd, side, proceed, fineSide, name);
}

LoadResult ImageLoader::loadForDisplay(int fd, int longSide, const std::atomic<bool>* proceed,
                                       std::string_view name)
{
    if (longSide < 0) {
        ::close(fd);
        return {std::nullopt, LoadFailure::NotAnImage};
    }
    return decodeOpenFile(fd, Reduction::shown(longSide), proceed, 0, name);
}

} // namespace ovrin::platform
