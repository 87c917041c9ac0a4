// Look-alike grouping benchmark on signatures made from real photographs.
//   ovrin-groups-bench COUNT [--random] [--bits B] [--match-rate R] [--jobs J]
//                      [--kernel best|portable|avx2|avx512] [--any-orientation] PICTURE...
//
// The pictures are decoded once at 128 x 128 points. The collection then
// holds COUNT signatures of pixel number 8, each made as the product makes one
// (area average of the picture to 8 x 8, the top four bits of each level):
//   - 60% stand-alone shots: a random crop (30 to 100% of each side) of a random
//     picture, mirrored or not, with its own exposure (-40 to +40 levels),
//     contrast (0.75 to 1.25) and tint (-16 to +16 levels per channel);
//   - 40% in sets of 2 to 5 copies of one such shot, each copy with a small
//     exposure change (-10 to +10 levels), a crop of up to 6% per side and
//     noise (4 levels standard deviation per point), as resized, re-saved or
//     burst copies are.
// With --random, no picture is read: every value is drawn at random (the worst
// case for the bounds that spare comparisons), 40% again in sets of copies
// that move each channel by at most a level and replace a pixel in ten.
// Each signature comes with its fingerprint (from a 32 x 32 luminance grid of
// the same shot, or random levels) and the facts the keep rule weighs.
// With --any-orientation pairs are compared in all eight forms; each
// picture's fingerprint stands for its seven turned ones, which costs what
// the turned fingerprints cost without making them (the groups differ).
// Paths are shuffled photo-library paths. Prints the size, the seconds of the
// grouping, pairs compared and pruned, the groups and the peak memory.

#include "engine/LookAlikeGroups.h"
#include "platform/imaging/ImageLoader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

constexpr int kSide = 128;

// Summed-area table of one decoded picture, so that any rectangle's mean
// colour costs four look-ups.
struct Picture {
    std::vector<std::array<std::uint32_t, 3>> sums; // (kSide + 1)^2

    std::array<double, 3> mean(int x0, int y0, int x1, int y1) const
    {
        const auto at = [this](int x, int y) {
            return sums[std::size_t(y) * (kSide + 1) + std::size_t(x)];
        };
        const double area = double(x1 - x0) * double(y1 - y0);
        std::array<double, 3> result{};
        for (std::size_t c = 0; c < 3; ++c)
            result[c] = (double(at(x1, y1)[c]) - double(at(x0, y1)[c]) - double(at(x1, y0)[c]) +
                         double(at(x0, y0)[c])) /
                        area;
        return result;
    }
};

bool load(const char* path, Picture& picture)
{
    const auto loaded = ovrin::platform::ImageLoader::loadThumbnail(path, kSide);
    if (!loaded.raster)
        return false;
    picture.sums.assign(std::size_t{kSide + 1} * (kSide + 1), {0, 0, 0});
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const auto color = loaded.raster->colorAt(x, y);
            const std::array<std::uint32_t, 3> level{std::uint32_t(color.red * 255.0f),
                                                     std::uint32_t(color.green * 255.0f),
                                                     std::uint32_t(color.blue * 255.0f)};
            const std::size_t here = (std::size_t(y) + 1) * (kSide + 1) + std::size_t(x) + 1;
            const std::size_t up = std::size_t(y) * (kSide + 1) + std::size_t(x) + 1;
            const std::size_t left = here - 1;
            const std::size_t diagonal = up - 1;
            for (std::size_t c = 0; c < 3; ++c)
                picture.sums[here][c] = level[c] + picture.sums[up][c] + picture.sums[left][c] -
                                        picture.sums[diagonal][c];
        }
    }
    return true;
}

struct Shot {
    std::size_t picture;
    double x0, y0, x1, y1; // crop in picture points
    bool mirrored;
    double exposure, contrast;
    std::array<double, 3> tint;
};

// The mean colour levels of a side x side grid over the shot, as the product
// reduces a picture, with the shot's exposure, contrast, tint and noise.
std::vector<std::array<int, 3>> gridOf(const std::vector<Picture>& pictures, const Shot& shot,
                                       int side, double noise, std::mt19937& random)
{
    std::normal_distribution<double> jitter(0.0, noise);
    std::vector<std::array<int, 3>> levels(std::size_t(side * side));
    for (int gy = 0; gy < side; ++gy) {
        for (int gx = 0; gx < side; ++gx) {
            const int cx = shot.mirrored ? side - 1 - gx : gx;
            const double w = (shot.x1 - shot.x0) / side;
            const double h = (shot.y1 - shot.y0) / side;
            const int x0 = std::clamp(int(std::lround(shot.x0 + cx * w)), 0, kSide - 1);
            const int y0 = std::clamp(int(std::lround(shot.y0 + gy * h)), 0, kSide - 1);
            const int x1 = std::clamp(int(std::lround(shot.x0 + (cx + 1) * w)), x0 + 1, kSide);
            const int y1 = std::clamp(int(std::lround(shot.y0 + (gy + 1) * h)), y0 + 1, kSide);
            const auto mean = pictures[shot.picture].mean(x0, y0, x1, y1);
            for (std::size_t c = 0; c < 3; ++c) {
                double level = (mean[c] - 128.0) * shot.contrast + 128.0 + shot.exposure +
                               shot.tint[c] + (noise > 0 ? jitter(random) : 0.0);
                levels[std::size_t(gy) * std::size_t(side) + std::size_t(gx)][c] =
                    std::clamp(int(level), 0, 255);
            }
        }
    }
    return levels;
}

std::vector<std::int16_t> signatureOf(const std::vector<Picture>& pictures, const Shot& shot,
                                      double noise, std::mt19937& random)
{
    std::vector<std::int16_t> values;
    for (const auto& l : gridOf(pictures, shot, 8, noise, random))
        values.push_back(
            static_cast<std::int16_t>((l[0] >> 4) << 8 | (l[1] >> 4) << 4 | l[2] >> 4));
    return values;
}

// The fingerprint of the same shot, from its luminance grid as the product
// makes it; the size as seen is that of the crop of a 4000 x 3000 photograph.
ovrin::FineSignature fineOf(const std::vector<Picture>& pictures, const Shot& shot, double noise,
                            std::mt19937& random)
{
    constexpr int side = ovrin::FineSignature::kGridSide;
    std::vector<std::uint8_t> luminance;
    for (const auto& l : gridOf(pictures, shot, side, noise, random))
        luminance.push_back(
            static_cast<std::uint8_t>((299 * l[0] + 587 * l[1] + 114 * l[2] + 500) / 1000));
    return ovrin::FineSignature::fromLuminance(
        luminance.data(), std::uint32_t(std::lround((shot.x1 - shot.x0) * 4000 / kSide)),
        std::uint32_t(std::lround((shot.y1 - shot.y0) * 3000 / kSide)));
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 +
           double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: ovrin-groups-bench COUNT [--random] [--bits B] [--match-rate R] "
                   "[--jobs J] [--kernel best|portable|avx2|avx512] [--any-orientation] "
                   "PICTURE...\n",
                   stderr);
        return 2;
    }
    const std::size_t count = std::strtoull(argv[1], nullptr, 10);
    int bits = 3, matchRate = 70, jobs = 0;
    bool randomMode = false;
    bool anyOrientation = false;
    auto kernel = ovrin::SignatureMatrix::bestKernel();
    std::vector<Picture> pictures;
    for (int a = 2; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--random")
            randomMode = true;
        else if (arg == "--any-orientation")
            anyOrientation = true;
        else if (a + 1 < argc && arg == "--bits")
            bits = static_cast<int>(std::strtol(argv[++a], nullptr, 10));
        else if (a + 1 < argc && arg == "--match-rate")
            matchRate = static_cast<int>(std::strtol(argv[++a], nullptr, 10));
        else if (a + 1 < argc && arg == "--jobs")
            jobs = static_cast<int>(std::strtol(argv[++a], nullptr, 10));
        else if (a + 1 < argc && arg == "--kernel") {
            const std::string k = argv[++a];
            kernel = k == "portable" ? ovrin::SignatureMatrix::Kernel::Portable
                     : k == "avx2"   ? ovrin::SignatureMatrix::Kernel::Avx2
                     : k == "avx512" ? ovrin::SignatureMatrix::Kernel::Avx512
                                     : kernel;
        } else {
            Picture p;
            if (load(argv[a], p))
                pictures.push_back(std::move(p));
        }
    }
    if ((pictures.empty() && !randomMode) || count == 0) {
        std::fputs("no picture could be read\n", stderr);
        return 1;
    }

    std::mt19937 random(20240611);
    // The fingerprints draw from their own stream, so that the signatures stay
    // those of earlier versions of this benchmark.
    std::mt19937 fineRandom(20261208);
    const auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    const auto newShot = [&] {
        Shot s{};
        s.picture = std::uniform_int_distribution<std::size_t>(0, pictures.size() - 1)(random);
        const double w = uniform(0.3, 1.0) * kSide, h = uniform(0.3, 1.0) * kSide;
        s.x0 = uniform(0, kSide - w);
        s.y0 = uniform(0, kSide - h);
        s.x1 = s.x0 + w;
        s.y1 = s.y0 + h;
        s.mirrored = uniform(0, 1) < 0.5;
        s.exposure = uniform(-40, 40);
        s.contrast = uniform(0.75, 1.25);
        s.tint = {uniform(-16, 16), uniform(-16, 16), uniform(-16, 16)};
        return s;
    };
    // Random mode: every value drawn at random, a copy moving each channel of
    // each pixel by at most one level of 16 and replacing one pixel in ten.
    std::vector<std::int16_t> base(64);
    std::vector<std::uint8_t> baseGrid(
        std::size_t(ovrin::FineSignature::kGridSide * ovrin::FineSignature::kGridSide));
    std::uint32_t baseWidth = 0, baseHeight = 0;
    const auto newRandom = [&] {
        for (auto& v : base)
            v = static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, 4095)(random));
        for (auto& l : baseGrid)
            l = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(fineRandom));
        baseWidth = std::uniform_int_distribution<std::uint32_t>(600, 6000)(fineRandom);
        baseHeight = std::uniform_int_distribution<std::uint32_t>(600, 6000)(fineRandom);
    };
    const auto randomCopy = [&](std::vector<std::int16_t>& values,
                                std::vector<std::uint8_t>& grid) {
        for (auto& v : values) {
            if (uniform(0, 1) < 0.1) {
                v = static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, 4095)(random));
                continue;
            }
            int packed = 0;
            for (int c = 0; c < 3; ++c) {
                const int shift = 8 - 4 * c;
                const int level = std::clamp(
                    ((v >> shift) & 15) + std::uniform_int_distribution<int>(-1, 1)(random), 0, 15);
                packed |= level << shift;
            }
            v = static_cast<std::int16_t>(packed);
        }
        for (auto& l : grid)
            l = static_cast<std::uint8_t>(
                std::clamp(int(l) + std::uniform_int_distribution<int>(-8, 8)(fineRandom), 0, 255));
    };

    ovrin::SignatureTable table;
    table.count = 64;
    table.values.reserve(count * 64);
    table.fine.reserve(count);
    table.facts.reserve(count);
    std::size_t standAlone = 0, inSets = 0;
    while (table.paths.size() < count) {
        std::size_t copies = 1;
        Shot shot{};
        if (randomMode)
            newRandom();
        else
            shot = newShot();
        if (uniform(0, 1) >= 0.6 / (0.6 + 0.4 / 3.5)) // sets average 3.5 copies
            copies = std::uniform_int_distribution<std::size_t>(2, 5)(random);
        copies = std::min(copies, count - table.paths.size());
        for (std::size_t k = 0; k < copies; ++k) {
            std::vector<std::int16_t> values;
            ovrin::FineSignature fine;
            if (randomMode) {
                values = base;
                std::vector<std::uint8_t> grid = baseGrid;
                if (copies > 1)
                    randomCopy(values, grid);
                fine = ovrin::FineSignature::fromLuminance(grid.data(), baseWidth, baseHeight);
            } else {
                Shot copy = shot;
                double noise = 0.0;
                if (copies > 1) {
                    const double w = shot.x1 - shot.x0, h = shot.y1 - shot.y0;
                    copy.x0 += uniform(0, 0.06) * w;
                    copy.x1 -= uniform(0, 0.06) * w;
                    copy.y0 += uniform(0, 0.06) * h;
                    copy.y1 -= uniform(0, 0.06) * h;
                    copy.exposure += uniform(-10, 10);
                    noise = 4.0;
                }
                values = signatureOf(pictures, copy, noise, random);
                fine = fineOf(pictures, copy, noise, fineRandom);
            }
            table.values.insert(table.values.end(), values.begin(), values.end());
            table.fine.push_back(fine);
            const std::int64_t pixels = std::int64_t{fine.width} * fine.height;
            table.facts.push_back(ovrin::SignatureTable::Facts{
                pixels, pixels / 4 + std::int64_t(fineRandom() % 65536),
                1'600'000'000'000'000'000 +
                    std::int64_t(fineRandom() % 1'000'000'000) * 1'000'000'000});
            table.paths.emplace_back();
        }
        (copies > 1 ? inSets : standAlone) += copies;
    }
    // Photo-library paths in an order that has nothing to do with the sets.
    std::vector<std::size_t> names(count);
    for (std::size_t i = 0; i < count; ++i)
        names[i] = i;
    std::shuffle(names.begin(), names.end(), random);
    const char* albums[] = {"Holidays", "Family", "Camera Uploads", "Scans", "Screenshots"};
    for (std::size_t i = 0; i < count; ++i) {
        char name[160];
        std::snprintf(name, sizeof name, "/home/user/Pictures/%s/%04zu/IMG_%07zu.jpg",
                      albums[names[i] % 5], 2000 + names[i] % 25, names[i]);
        table.paths[i] = name;
    }

    if (const char* dump = std::getenv("OVRIN_GROUPS_DUMP")) {
        if (FILE* f = std::fopen(dump, "wb")) {
            std::fwrite(table.values.data(), 2, table.values.size(), f);
            std::fclose(f);
        }
    }
    ovrin::GroupingProgress progress;
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // The first pass ends when every pair is settled; watched as a window would.
    std::atomic<bool> done{false};
    double firstPass = 0.0;
    std::thread watcher([&] {
        while (!done) {
            const auto total = progress.pairsTotal.load();
            if (total > 0 && progress.pairsCompared + progress.pairsPruned >= total) {
                firstPass = since();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ovrin::GroupingRequest request;
    request.bits = bits;
    request.matchRate = matchRate;
    request.jobs = jobs;
    request.anyOrientation = anyOrientation;
    if (anyOrientation)
        for (const ovrin::FineSignature& fine : table.fine)
            table.turnedFine.insert(table.turnedFine.end(), 7, fine);
    const auto groups = ovrin::findLookAlikeGroups(table, request, nullptr, &progress, kernel);
    const double seconds = since();
    const double cpu = cpuSeconds() - cpuBefore;
    done = true;
    watcher.join();
    // A digest of the whole result, to show that a change leaves it as it was.
    std::uint64_t digest = 1469598103934665603ull;
    const auto mix = [&digest](std::uint64_t value) {
        digest = (digest ^ value) * 1099511628211ull;
    };
    std::size_t grouped = 0, largest = 0;
    for (const auto& g : *groups) {
        grouped += g.members.size() + 1;
        largest = std::max(largest, g.members.size() + 1);
        mix(g.reference);
        for (const auto& m : g.members) {
            mix(m.index);
            mix(std::uint64_t(m.rate));
            mix(std::uint64_t(std::llround(m.likeness * 1e6)));
        }
    }
    const double total = double(progress.pairsTotal.load());
    if (randomMode)
        std::printf("n %zu random (%zu stand-alone, %zu in sets of 2-5 copies)\n", count,
                    standAlone, inSets);
    else
        std::printf("n %zu (%zu stand-alone, %zu in sets of 2-5 copies; %zu source pictures)\n",
                    count, standAlone, inSets, pictures.size());
    std::printf("bits %d, match rate %d, kernel %s, jobs %d\n", bits, matchRate,
                ovrin::SignatureMatrix::name(kernel), jobs);
    std::printf("seconds %.3f (counting matches %.3f, forming groups %.3f; processor time %.3f)\n",
                seconds, firstPass, seconds - firstPass, cpu);
    std::printf("pairs %.0f: compared %.0f (%.1f%%), pruned %.0f (%.1f%%)\n", total,
                double(progress.pairsCompared.load()),
                100.0 * double(progress.pairsCompared.load()) / total,
                double(progress.pairsPruned.load()),
                100.0 * double(progress.pairsPruned.load()) / total);
    std::printf("groups %zu holding %zu pictures, largest %zu; digest %016llx\n", groups->size(),
                grouped, largest, static_cast<unsigned long long>(digest));
    std::printf("peak RSS %ld KiB (the table itself %zu KiB)\n", peakKiB(),
                (table.values.size() * 2 + count * 48) / 1024);
    return 0;
}
