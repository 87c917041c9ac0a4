#pragma once

#include "platform/imaging/Raster.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ovrin::platform {

// What a decode reduces the picture to: the search's square grid of side x
// side points, or, for the window, a picture of the picture's own shape
// whose longer side is at most `longSide` points (a box that holds whichever
// way the picture turns, so it needs no orientation known up front). A shown
// picture never has more points than were decoded, nor a longer side than
// kMaxShownSide unless it is the whole picture at its size (at most
// kMaxShownPixels points), since every reduced point holds sums of 24 bytes.
struct Reduction {
    static constexpr int kMaxShownSide = 2048;
    static constexpr std::int64_t kMaxShownPixels = 36'000'000;

    // A bare side is the square grid, as every caller had it.
    // NOLINTNEXTLINE(google-explicit-constructor,hicpp-explicit-conversions)
    Reduction(int side_) : side(side_) {}
    // A picture for showing; 0 asks for it whole.
    static Reduction shown(int longSide)
    {
        Reduction to(longSide > 0 ? std::min(longSide, kMaxShownSide) : kMaxShownSide);
        to.shows = true;
        to.longSide = longSide;
        return to;
    }

    struct Grid {
        int columns;
        int rows;
    };
    // The result's size for a picture of width x height pixels (for a shown
    // one, before its bound by the decoded size).
    Grid gridFor(std::int64_t width, std::int64_t height) const;
    // Whether a decode at width x height still has a point for every point
    // of the result for a picture of pictureWidth x pictureHeight.
    bool keptBy(std::int64_t width, std::int64_t height, std::int64_t pictureWidth,
                std::int64_t pictureHeight) const
    {
        const Grid grid = gridFor(pictureWidth, pictureHeight);
        return width >= grid.columns && height >= grid.rows;
    }

    // The square's side; for a shown picture, the bound of its longer side
    // (what a decoder that oversamples the result sizes its decode by).
    int side;
    bool shows = false;
    int longSide = 0;
};

// Reduces a picture to side x side points by an exact area average while its
// rows stream in from a decoder, top to bottom, so no decoder has to hold the
// whole picture. Every point of the result is the mean of the part of the
// picture it covers, in whole numbers: scaling both axes by `side` puts
// picture pixel x at [x*side, (x+1)*side) and result column i at
// [i*width, (i+1)*width), so every overlap is a whole number of units.
//
// A decoder that decodes at a reduced size (JPEG's 1/2, 1/4 and 1/8) gives
// the picture's own size too: each decoded point then covers `scale` x
// `scale` picture pixels, those of the last column and row only as many as
// the picture has left, so the average stays that of the picture.
//
// Beside the raster it may reduce the same rows to a second, finer grid, of
// which it gives the luminance: both grids share the column sums of the rows
// that lie wholly in one row of each, so the second costs little more than a
// few extra folds.
//
// Rows of any layout are laid on white the way the previous toolkit-based
// reduction did, so results stay the same to the last level: straight alpha
// is premultiplied with the toolkit's rounding, then colour + (255 - alpha).
//
// A shown picture that keeps every decoded point (the whole picture, or one
// smaller than its box) is copied as it comes, 3 bytes a point, with no sums.
class AreaReducer {
public:
    AreaReducer(int width, int height, Reduction to, int scale = 1, std::int64_t pictureWidth = 0,
                std::int64_t pictureHeight = 0);

    // Memory the reducer needs for rows `width` points wide, with a finer
    // grid of `fineSide` when that is above 0.
    static std::int64_t memoryNeed(std::int64_t width, Reduction to, int fineSide = 0);

    // Reduces the rows to a second grid of fineSide x fineSide too (none for
    // 0); only before the first row.
    void alsoReduceTo(int fineSide);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int rowsAdded() const { return m_row; }
    bool complete() const { return m_row >= m_height; }

    // The next row, in one of the layouts decoders give. Rows after the last
    // are ignored.
    void addRgbRow(const std::uint8_t* rgb);
    void addGrayRow(const std::uint8_t* gray);
    void addRgbxRow(const std::uint8_t* rgbx); // 4 bytes a point, the 4th unused
    void addRgbaRow(const std::uint8_t* rgba); // straight (unassociated) alpha
    void addPremultipliedRgbaRow(const std::uint8_t* rgba);
    // One byte a point into `palette`: 256 entries of 3 bytes, already on white.
    void addIndexedRow(const std::uint8_t* indices, const std::uint8_t* palette);
    // The next `count` rows, all of one colour (a background, or what a cut
    // file shows), added whatever their number at the cost of one row.
    void addUniformRows(std::int64_t count, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue);
    // Fills the rows not given yet with one colour.
    void fillRemainingRows(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
    {
        addUniformRows(m_height - m_row, red, green, blue);
    }

    // A row of width * 3 bytes a decoder may build an RGB row in before
    // handing it to addRgbRow.
    std::uint8_t* scratch() { return m_scratch.data(); }

    // The raster, turned as an EXIF orientation (1 to 8) says the stored
    // picture must be turned to be seen upright.
    ThumbnailRaster finish(int exifOrientation = 1);
    // The raster as finish gives it, the finer grid's luminance where one was
    // asked for (the luma of its levels, turned the same way) and the
    // picture's size as seen.
    LoadResult result(int exifOrientation = 1);
    // Points of `channels` bytes on a width x height grid, turned as finish
    // turns the raster, for a grid made elsewhere (a decoder's own
    // reduction); orientations 5 to 8 give a height x width grid.
    static std::vector<std::uint8_t> turned(std::vector<std::uint8_t> levels, std::size_t width,
                                            std::size_t height, std::size_t channels,
                                            int exifOrientation);
    static std::vector<std::uint8_t> turned(std::vector<std::uint8_t> levels, std::size_t n,
                                            std::size_t channels, int exifOrientation)
    {
        return turned(std::move(levels), n, n, channels, exifOrientation);
    }

    // The toolkit's premultiplication of a straight-alpha channel value, laid
    // on white.
    static std::uint8_t onWhite(unsigned value, unsigned alpha)
    {
        const unsigned t = value * alpha;
        return static_cast<std::uint8_t>(((t + (t >> 8) + 0x80u) >> 8) + 255u - alpha);
    }
    // The same for an already premultiplied value (clamped: a damaged file
    // may hold values above their alpha).
    static std::uint8_t premultipliedOnWhite(unsigned value, unsigned alpha)
    {
        const unsigned level = value + 255u - alpha;
        return static_cast<std::uint8_t>(level > 255u ? 255u : level);
    }

private:
    struct Span {
        std::uint32_t point; // decoded column
        std::uint32_t cell;  // result column
        std::uint32_t weight;
    };
    // One result: its column spans and its sums.
    struct Grid {
        int side = 0; // rows; 0: none
        int columns = 0;
        std::vector<Span> spans;
        std::vector<std::uint64_t> across; // one result row, columns * 3
        std::vector<std::uint64_t> cells;  // columns * rows * 3
        std::int64_t pendingCell = -1;     // the result row m_pending lies in
    };
    void setUp(Grid& grid, int columns, int rows) const;
    template <typename T>
    static void sumAcross(Grid& grid, const T* values);
    static void addCells(Grid& grid, std::int64_t cell, std::uint64_t weight);
    void addSplitRow(Grid& grid, const std::uint8_t* rgb, std::int64_t lo, std::int64_t hi);
    void addUniformTo(Grid& grid, std::int64_t lo, std::int64_t hi, const std::uint64_t* colour);
    std::vector<std::uint8_t> levelsOf(const Grid& grid) const;
    void fold();

    int m_width;
    int m_height;
    int m_scale;
    std::int64_t m_pictureWidth;
    std::int64_t m_pictureHeight;
    int m_row = 0;
    Grid m_grid;
    Grid m_fine;
    // Column sums of whole rows that lie in one result row of each grid, not
    // yet folded into their cells; 16 bits hold 257 rows of 255.
    std::vector<std::uint16_t> m_pending;
    int m_pendingRows = 0;
    std::vector<std::uint8_t> m_scratch;
    // The decoded points themselves, for a shown picture that keeps them all.
    std::vector<std::uint8_t> m_copy;
};

} // namespace ovrin::platform
