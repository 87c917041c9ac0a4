// Runs the image loader over every file of a folder (or over one file), in one process on one
// thread, as a folder search does for each file (an 8 x 8 raster).
//   ovrin-load-files DIR              prints: files wall-seconds cpu-seconds failed
//   ovrin-load-files --compare DIR    also reduces every file the way the
//       loader did before it decoded formats itself (the toolkit's reader,
//       JPEG at a scaled size, a whole-picture conversion) and says how many
//       rasters and signature values (the top four bits of each level) differ
//   ovrin-load-files --list DIR       prints each file's reason when it fails, and on
//       standard error the most the decodes reserved of the budget at once
//   ovrin-load-files --fine DIR       the same timing, each file also giving its
//       32 x 32 luminance grid, as signatures are made
//   ovrin-load-files --stop DIR       stops each decode 200 ms after it began
//       and prints, per file, its reason and when the decode ended

#include "platform/imaging/ImageLoader.h"
#include "platform/imaging/detail/DecodeBudget.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using ovrin::platform::ImageLoader;
using ovrin::platform::ThumbnailRaster;

namespace {

constexpr int kSide = 8;

// The previous reduction, kept word for word: premultiplied 0xAARRGGBB on white.
std::vector<int> previousReduce(const std::uint32_t* pixels, int width, int height,
                                std::size_t pixelsPerLine, int side)
{
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
    std::vector<int> levels(cells * cells * 3);
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = static_cast<int>(std::min<std::uint64_t>((cellSums[k] + area / 2) / area, 255));
    return levels;
}

std::vector<int> previousLoad(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file);
    const QByteArray head = file.peek(12);
    if (head.startsWith("\xff\xd8\xff"))
        reader.setFormat("jpeg");
    reader.setAutoTransform(true);
    if (reader.format() == "jpeg") {
        const QSize full = reader.size();
        for (int denominator : {8, 4, 2}) {
            if (full.width() / denominator >= kSide && full.height() / denominator >= kSide) {
                reader.setScaledSize({full.width() / denominator, full.height() / denominator});
                break;
            }
        }
    }
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    if (image.format() != QImage::Format_RGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return previousReduce(reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(),
                          image.height(), std::size_t(image.bytesPerLine()) / 4, kSide);
}

std::vector<int> levelsOf(const ThumbnailRaster& raster)
{
    std::vector<int> levels;
    for (int y = 0; y < raster.side(); ++y)
        for (int x = 0; x < raster.side(); ++x) {
            const auto colour = raster.colorAt(x, y);
            for (float fraction : {colour.red, colour.green, colour.blue})
                levels.push_back(static_cast<int>(fraction * 255.0f));
        }
    return levels;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "";
    if (argc != 2 && !(argc == 3 && (mode == "--compare" || mode == "--list" || mode == "--stop" ||
                                     mode == "--fine"))) {
        std::fputs("usage: ovrin-load-files [--compare|--list|--stop|--fine] DIR\n", stderr);
        return 2;
    }
    std::vector<std::string> files;
    if (std::filesystem::is_regular_file(argv[argc - 1]))
        files.push_back(argv[argc - 1]);
    else
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[argc - 1]))
            if (entry.is_regular_file())
                files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());

    if (mode == "--stop") {
        for (const std::string& file : files) {
            std::atomic<bool> proceed{true};
            const auto began = std::chrono::steady_clock::now();
            std::thread stopper([&proceed] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                proceed = false;
            });
            const auto result = ImageLoader::loadThumbnail(file, kSide, &proceed);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
            stopper.join();
            std::printf("%s: %s after %.3f s (the stop came at 0.200 s)\n", file.c_str(),
                        ovrin::platform::describeLoadFailure(result.failure), took.count());
        }
        return 0;
    }

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::size_t failed = 0;
    std::vector<std::vector<int>> rasters;
    const int fineSide = mode == "--fine" ? 32 : 0;
    for (const std::string& file : files) {
        const auto result = ImageLoader::loadThumbnail(file, kSide, nullptr, fineSide);
        if (!result.raster) {
            ++failed;
            if (mode == "--list")
                std::printf("%s: %s\n", file.c_str(),
                            ovrin::platform::describeLoadFailure(result.failure));
        }
        if (mode == "--compare")
            rasters.push_back(result.raster ? levelsOf(*result.raster) : std::vector<int>());
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%zu %.3f %.3f %zu\n", files.size(), seconds.count(), cpu, failed);
    if (mode == "--list")
        std::fprintf(stderr, "reserved at most %.0f MB\n",
                     double(ovrin::platform::DecodeBudget::highWater()) / (1024 * 1024));
    if (mode != "--compare")
        return 0;

    std::size_t same = 0, differing = 0, signatureFiles = 0, signatureValues = 0, values = 0;
    std::size_t onlyBefore = 0, onlyNow = 0;
    int largest = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::vector<int> before = previousLoad(files[i]);
        const std::vector<int>& now = rasters[i];
        if (before.empty() || now.empty()) {
            onlyBefore += !before.empty() ? 1 : 0;
            onlyNow += !now.empty() ? 1 : 0;
            continue;
        }
        int worst = 0;
        std::size_t changed = 0; // points whose packed 4-bit value differs
        for (std::size_t k = 0; k < now.size(); k += 3) {
            bool differs = false;
            for (std::size_t c = k; c < k + 3; ++c) {
                worst = std::max(worst, std::abs(now[c] - before[c]));
                differs = differs || (now[c] >> 4) != (before[c] >> 4);
            }
            changed += differs ? 1 : 0;
        }
        values += now.size() / 3;
        (worst == 0 ? same : differing) += 1;
        largest = std::max(largest, worst);
        signatureFiles += changed > 0 ? 1 : 0;
        signatureValues += changed;
    }
    std::printf("compared with the previous loader: %zu rasters identical, %zu differ (largest "
                "level difference %d); signatures differ in %zu files, %zu values of %zu;"
                " loaded only before: %zu, only now: %zu\n",
                same, differing, largest, signatureFiles, signatureValues, values, onlyBefore,
                onlyNow);
    return 0;
}
