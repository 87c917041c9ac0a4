#pragma once

#include "platform/LoadFailure.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::platform {

struct ColorFraction {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 1.0f;
};

// A picture reduced to side x side points of 8-bit RGB, already flattened onto
// white, point (0, 0) at the top left as a person sees the picture.
class ThumbnailRaster {
public:
    ThumbnailRaster(int side, std::vector<std::uint8_t> rgb);

    int side() const { return m_side; }
    // Colour of one point as fractions from 0.0 to 1.0; alpha is always 1.
    ColorFraction colorAt(int x, int y) const;

    // The fraction for an 8-bit level, chosen so that multiplying it by 255 in
    // single precision and truncating gives the level back exactly.
    static float levelToFraction(std::uint8_t level);

private:
    int m_side;
    std::vector<std::uint8_t> m_rgb; // side * side * 3 bytes, row by row
};

// A picture reduced to a raster, or why there is none.
struct LoadResult {
    std::optional<ThumbnailRaster> raster;
    LoadFailure failure = LoadFailure::None;
};

class ImageLoader {
public:
    // Guard of the loader itself; callers keep their own, tighter bound.
    static constexpr int kMaxSide = 4096;

    // Decodes the image file at path and reduces the whole picture to side x side
    // points by area averaging, aspect ratio not kept, EXIF orientation applied.
    // Only regular, non-empty files off pseudo file systems are decoded.
    // Decoder messages never reach the terminal. Safe to call from several
    // threads at once; uses no thread of its own. When `proceed` is given and
    // is cleared, decoding ends as soon as the decoder allows (Stopped).
    static LoadResult loadThumbnail(const std::string& path, int side,
                                    const std::atomic<bool>* proceed = nullptr);
    // The same for a file already open for reading (read from its start); the
    // descriptor is taken over and closed.
    static LoadResult loadThumbnail(int fd, int side, const std::atomic<bool>* proceed = nullptr);

    // Area-average reduction of a decoded 0xAARRGGBB premultiplied buffer, with
    // transparent parts flattened onto white.
    static ThumbnailRaster reduce(const std::uint32_t* pixels, int width, int height,
                                  std::size_t pixelsPerLine, int side);
};

} // namespace ovrin::platform
