#include "platform/imaging/Raster.h"

#include <cmath>
#include <cstddef>

namespace ovrin::platform {

ThumbnailRaster::ThumbnailRaster(int side, std::vector<std::uint8_t> rgb)
    : ThumbnailRaster(side, side, std::move(rgb))
{}

ThumbnailRaster::ThumbnailRaster(int width, int height, std::vector<std::uint8_t> rgb)
    : m_width(width), m_height(height), m_rgb(std::move(rgb))
{}

ColorFraction ThumbnailRaster::colorAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return {};
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
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

} // namespace ovrin::platform
