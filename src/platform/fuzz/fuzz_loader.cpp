// Fuzz target for the image loader: arbitrary bytes in a file without a path,
// decoded at the signature's side and the fine side every search uses. The
// first byte of an input picks the name the file goes by (some formats are
// known only by it, camera RAW files that look like TIFF are told apart by
// it); the rest are the file's bytes. Built for libFuzzer with clang
// (OVRIN_FUZZ), and as a plain replay of the committed seeds in every test run.

#include "platform/imaging/ImageLoader.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Index 0 is a file known by no name; the rest cover every extension the
// dispatch looks at, and a few more the decoders may one day.
constexpr std::array<std::string_view, 16> kNames = {
    "",       "in.jpg",  "in.png", "in.gif", "in.webp", "in.tif", "in.bmp", "in.tga",
    "in.svg", "in.svgz", "in.ico", "in.ppm", "in.heic", "in.jxl", "in.dng", "in.nef"};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote <= 0)
            return false;
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool prepared = [] {
        ovrin::platform::ImageLoader::adoptMainThread();
        // A few hundred bytes may declare a picture of hundreds of megapixels
        // that every decoder rightly works through; a budget of 48 MB keeps
        // each input to a fraction of a second under the sanitizers, and
        // sends the large ones down the refusal (TooLarge) instead.
        ovrin::platform::ImageLoader::setDecodeBudgetForTesting(std::int64_t{48} << 20);
        return true;
    }();
    (void)prepared;
    if (size < 1)
        return 0;
    const std::string_view name = kNames[data[0] % kNames.size()];
    const int fd = ::memfd_create("ovrin-fuzz", MFD_CLOEXEC);
    if (fd < 0 || !writeAll(fd, data + 1, size - 1))
        std::abort();
    const auto result = ovrin::platform::ImageLoader::loadThumbnail(fd, 8, nullptr, 16, name);
    if (result.raster) {
        // A picture comes whole: every point and every fine level asked for.
        if (result.raster->side() != 8 || result.luminance.size() != 16 * 16 || result.width <= 0 ||
            result.height <= 0)
            std::abort();
        volatile float touched = 0.0f;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                touched = touched + result.raster->colorAt(x, y).red;
    } else if (result.failure == ovrin::platform::LoadFailure::None) {
        std::abort(); // a skip always says why
    }
    return 0;
}
