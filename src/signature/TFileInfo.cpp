#include "TFileInfo.h"

#include "ImageLoader.h"

#include <algorithm>
#include <limits>

namespace ovrin {

namespace {

// Reduces a 4-bit channel to the number of bits a comparison uses. Only 1 to 4
// keep anything; every other value (taken modulo 64) makes all channels agree.
struct ChannelReduction {
    bool keepsBits = false;
    int shift = 0;

    explicit ChannelReduction(std::int32_t bits)
    {
        const auto b = static_cast<int>(static_cast<std::uint32_t>(bits) & 63u);
        keepsBits = b >= 1 && b <= 4;
        shift = keepsBits ? 4 - b : 0;
    }
};

bool channelAgrees(int a, int b, const ChannelReduction& reduction)
{
    if (!reduction.keepsBits)
        return true;
    const int diff = (a >> reduction.shift) - (b >> reduction.shift);
    return diff >= -1 && diff <= 1;
}

bool pixelAgrees(std::int16_t target, std::int16_t candidate, const ChannelReduction& reduction)
{
    const auto t = static_cast<std::uint16_t>(target);
    const auto c = static_cast<std::uint16_t>(candidate);
    return channelAgrees((t >> 8) & 15, (c >> 8) & 15, reduction) &&
           channelAgrees((t >> 4) & 15, (c >> 4) & 15, reduction) &&
           channelAgrees(t & 15, c & 15, reduction);
}

std::int32_t clampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

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
    if (!m_filePath || m_filePath->empty())
        return false;
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber)
        return false;
    const auto raster = platform::ImageLoader::loadThumbnail(*m_filePath, pixelNumber);
    if (!raster)
        return false;

    const int n = pixelNumber;
    std::vector<std::int16_t> values(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    std::size_t index = 0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const platform::ColorFraction c = raster->colorAt(x, y);
            values[index++] = packColor(c.red, c.green, c.blue);
        }
    }
    m_thumbnail = std::move(values);
    m_thumbnailCount = n * n;
    return true;
}

bool TFileInfo::isEqualThumbnail(std::int32_t bits, std::int32_t matchRate, TFileInfo& info) const
{
    const std::int32_t count = m_thumbnailCount;
    if (count != info.thumbnailCount())
        return false;
    // Two empty signatures say nothing about the pictures, and a rate over zero
    // values has no meaning.
    if (count <= 0)
        return false;

    const std::int32_t pardon = clampToInt32(static_cast<std::int64_t>(count) *
                                             (100 - static_cast<std::int64_t>(matchRate)) / 100);
    const ChannelReduction reduction(bits);
    const std::int16_t* target = m_thumbnail.data();
    const std::int16_t* candidate = info.thumbnail().data();

    std::int32_t mismatches = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        // Tested before each pixel, so the last pixel's mismatch never rejects.
        if (mismatches >= pardon)
            return false;
        if (!pixelAgrees(target[i], candidate[i], reduction))
            ++mismatches;
    }
    info.setMatchRate(
        static_cast<std::int32_t>(static_cast<std::int64_t>(count - mismatches) * 100 / count));
    return true;
}

bool TFileInfo::checkGraphicFile(const std::string& path)
{
    TFileInfo info(path);
    return info.makeThumbnail(8);
}

} // namespace ovrin
