#pragma once

#include "platform/fs/LoadFailure.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a decoder makes of a picture, and the limits every decoder keeps.

namespace ovrin::platform {

// Memory that all decodes running at once in the process may hold
// together: 1 GiB. It lets any one picture of up to 100 megapixels
// through in every format (the largest need, an interlaced 16-bit PNG of
// that size, is about 800 MB), while N workers
// decoding large pictures at once wait for each other instead of adding
// up. A picture needing more than the whole budget is refused at once
// (TooLarge), before anything large is allocated.
inline constexpr std::int64_t kDecodeBudget = std::int64_t{1} << 30;
// Pictures with more pixels than this are refused (TooLarge) even where
// a decoder could stream them: 4 gigapixels is far beyond any photograph.
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 32;

struct ColorFraction {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 1.0f;
};

// A picture reduced to side x side points of 8-bit RGB (or, for showing it,
// width x height points of its own shape), already flattened onto white,
// point (0, 0) at the top left as a person sees the picture.
class ThumbnailRaster {
public:
    ThumbnailRaster(int side, std::vector<std::uint8_t> rgb);
    ThumbnailRaster(int width, int height, std::vector<std::uint8_t> rgb);

    // The side of a square raster, the width of any other.
    int side() const { return m_width; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // width * height * 3 bytes, row by row.
    const std::vector<std::uint8_t>& rgb() const { return m_rgb; }
    // Colour of one point as fractions from 0.0 to 1.0; alpha is always 1.
    ColorFraction colorAt(int x, int y) const;

    // The fraction for an 8-bit level, chosen so that multiplying it by 255 in
    // single precision and truncating gives the level back exactly.
    static float levelToFraction(std::uint8_t level);

private:
    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_rgb;
};

// A picture reduced to a raster, or why there is none.
struct LoadResult {
    LoadResult() = default;
    LoadResult(std::optional<ThumbnailRaster> raster_, LoadFailure failure_ = LoadFailure::None)
        : raster(std::move(raster_)), failure(failure_)
    {}

    std::optional<ThumbnailRaster> raster;
    LoadFailure failure = LoadFailure::None;
    // The picture's luminance at a finer side asked for by the caller
    // (fineSide * fineSide 8-bit levels, row by row, turned upright); empty
    // when none was asked for.
    std::vector<std::uint8_t> luminance;
    // The picture's size as seen, orientation applied; 0 when unknown.
    std::int64_t width = 0;
    std::int64_t height = 0;
    // What the window calls the format ("JPEG", "HEIF", "DNG", ...); set by
    // the loader, empty when the file gave nothing.
    std::string format;
};

} // namespace ovrin::platform
