#include "signature/TFileInfo.h"

#include "platform/imaging/ImageLoader.h"
#include "signature/ComparisonArithmetic.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ovrin {

using namespace comparison;

TFileInfo::TFileInfo(std::string path) : m_filePath(std::move(path)) {}

void TFileInfo::setMatchRate(std::int32_t rate)
{
    m_matchRate = rate;
    m_matchRateNumber = rate;
}

void TFileInfo::setThumbnail(const std::int16_t* values, std::int32_t count)
{
    if (values == nullptr || count < 0)
        count = 0;
    m_thumbnail.assign(values, values + count);
    m_thumbnailCount = count;
}

void TFileInfo::setThumbnail(std::vector<std::int16_t> values)
{
    if (values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        values.clear();
    m_thumbnailCount = static_cast<std::int32_t>(values.size());
    m_thumbnail = std::move(values);
}

std::int32_t TFileInfo::calcPardon(std::int32_t percent) const
{
    // Wide arithmetic: a stored match rate can be any 32-bit value, and the
    // product must not overflow. For sane rates the result is the same.
    return clampToInt32(static_cast<std::int64_t>(m_thumbnailCount) * percent / 100);
}

std::int16_t TFileInfo::packColor(float red, float green, float blue)
{
    const auto level = [](float fraction) {
        const float scaled = std::clamp(fraction * 255.0f, 0.0f, 255.0f);
        return static_cast<int>(scaled); // truncation toward zero, as the format wants
    };
    const int r = level(red);
    const int g = level(green);
    const int b = level(blue);
    return static_cast<std::int16_t>(((r >> 4) << 8) + (g & ~15) + (b >> 4));
}

bool TFileInfo::makeThumbnail(std::int32_t pixelNumber)
{
    return loadThumbnail(pixelNumber) == platform::LoadFailure::None;
}

platform::LoadFailure TFileInfo::loadThumbnail(std::int32_t pixelNumber,
                                               const std::atomic<bool>* proceed)
{
    m_fine.reset();
    m_luminance.clear();
    if (!m_filePath || m_filePath->empty())
        return platform::LoadFailure::Missing;
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber)
        return platform::LoadFailure::NotAnImage;
    return takeRaster(pixelNumber,
                      platform::ImageLoader::loadThumbnail(*m_filePath, pixelNumber, proceed,
                                                           FineSignature::kGridSide));
}

platform::LoadFailure TFileInfo::loadThumbnail(std::int32_t pixelNumber, int fd,
                                               const std::atomic<bool>* proceed)
{
    m_fine.reset();
    m_luminance.clear();
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber) {
        ::close(fd);
        return platform::LoadFailure::NotAnImage;
    }
    // the path still tells apart the formats known by name
    const std::string_view name = m_filePath ? std::string_view(*m_filePath) : std::string_view();
    return takeRaster(pixelNumber, platform::ImageLoader::loadThumbnail(
                                       fd, pixelNumber, proceed, FineSignature::kGridSide, name));
}

platform::LoadFailure TFileInfo::takeRaster(std::int32_t pixelNumber,
                                            const platform::LoadResult& loaded)
{
    if (!loaded.raster)
        return loaded.failure == platform::LoadFailure::None ? platform::LoadFailure::NotAnImage
                                                             : loaded.failure;
    const platform::ThumbnailRaster& raster = *loaded.raster;
    const int n = pixelNumber;
    std::vector<std::int16_t> values(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    std::size_t index = 0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const platform::ColorFraction c = raster.colorAt(x, y);
            values[index++] = packColor(c.red, c.green, c.blue);
        }
    }
    m_thumbnail = std::move(values);
    m_thumbnailCount = n * n;
    constexpr auto kGridCells = static_cast<std::size_t>(FineSignature::kGridSide) *
                                static_cast<std::size_t>(FineSignature::kGridSide);
    if (loaded.luminance.size() == kGridCells) {
        const auto size = [](std::int64_t pixels) {
            return static_cast<std::uint32_t>(
                std::clamp<std::int64_t>(pixels, 0, std::numeric_limits<std::uint32_t>::max()));
        };
        m_fine = FineSignature::fromLuminance(loaded.luminance.data(), size(loaded.width),
                                              size(loaded.height));
        m_luminance = loaded.luminance;
    }
    return platform::LoadFailure::None;
}

std::int64_t TFileInfo::channelDistance(const std::int16_t* a, const std::int16_t* b,
                                        std::int32_t count)
{
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto x = static_cast<std::uint16_t>(a[i]);
        const auto y = static_cast<std::uint16_t>(b[i]);
        for (const int shift : {8, 4, 0})
            sum += std::abs(((x >> shift) & 15) - ((y >> shift) & 15));
    }
    return sum;
}

double TFileInfo::likeness(const TFileInfo& target, const TFileInfo& hit)
{
    const bool upright = hit.orientation() == Orientation::Upright;
    if (upright && target.fine() && hit.fine())
        return fineScore(*target.fine(), *hit.fine());
    const std::vector<std::int16_t>& a = target.thumbnail();
    const std::vector<std::int16_t>& b = hit.thumbnail();
    if (a.empty() || a.size() != b.size())
        return 0.0;
    const auto count = static_cast<std::int32_t>(a.size());
    const std::int32_t side = upright ? 0 : gridSide(count);
    if (side == 0)
        return likeness(a.data(), b.data(), count);
    return likeness(orientGrid(a.data(), side, hit.orientation()).data(), b.data(), count);
}

double TFileInfo::likeness(const std::int16_t* a, const std::int16_t* b, std::int32_t count)
{
    if (count <= 0)
        return 0.0;
    const auto worst = static_cast<double>(count) * 3.0 * 15.0;
    return 100.0 * (1.0 - static_cast<double>(channelDistance(a, b, count)) / worst);
}

std::optional<std::int32_t> TFileInfo::compareSignatures(const std::int16_t* target,
                                                         const std::int16_t* candidate,
                                                         std::int32_t count, std::int32_t bits,
                                                         std::int32_t matchRate)
{
    const Setup setup = setUp(target != nullptr && candidate != nullptr, count, bits, matchRate);
    if (setup.settled)
        return setup.verdict;
    return rateOf(countMismatches<8, 4, 0>(reinterpret_cast<const std::uint16_t*>(target),
                                           reinterpret_cast<const std::uint16_t*>(candidate), count,
                                           setup.limit, setup.lastTested, setup.shift),
                  count);
}

bool TFileInfo::isEqualThumbnail(std::int32_t bits, std::int32_t matchRate, TFileInfo& info) const
{
    if (m_thumbnailCount != info.thumbnailCount())
        return false;
    const auto rate = compareSignatures(m_thumbnail.data(), info.thumbnail().data(),
                                        m_thumbnailCount, bits, matchRate);
    if (!rate)
        return false;
    info.setMatchRate(*rate);
    return true;
}

bool TFileInfo::checkGraphicFile(const std::string& path)
{
    return diagnoseGraphicFile(path) == platform::LoadFailure::None;
}

platform::LoadFailure TFileInfo::diagnoseGraphicFile(const std::string& path)
{
    TFileInfo info(path);
    return info.loadThumbnail(8);
}

} // namespace ovrin
