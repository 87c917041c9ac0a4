#include "platform/imaging/detail/AreaReducer.h"

#include <algorithm>
#include <cstring>

namespace ovrin::platform {

namespace {

constexpr int kMaxPendingRows = 257; // 257 * 255 is the largest 16-bit sum

// The picture's shape with its longer side at most `bound`, never larger.
Reduction::Grid fitted(std::int64_t width, std::int64_t height, std::int64_t bound)
{
    const std::int64_t longer = std::max(width, height);
    if (longer <= bound)
        return {static_cast<int>(width), static_cast<int>(height)};
    const auto along = [&](std::int64_t length) {
        return static_cast<int>(std::max<std::int64_t>(1, (length * bound + longer / 2) / longer));
    };
    return {along(width), along(height)};
}

} // namespace

Reduction::Grid Reduction::gridFor(std::int64_t width, std::int64_t height) const
{
    if (!shows)
        return {side, side};
    width = std::max<std::int64_t>(width, 1);
    height = std::max<std::int64_t>(height, 1);
    if (longSide > 0)
        return fitted(width, height, side);
    return fitted(width, height,
                  width * height <= kMaxShownPixels ? std::max(width, height) : kMaxShownSide);
}

AreaReducer::AreaReducer(int width, int height, Reduction to, int scale, std::int64_t pictureWidth,
                         std::int64_t pictureHeight)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)), m_scale(std::max(scale, 1)),
      m_pictureWidth(pictureWidth > 0 ? pictureWidth : std::int64_t{m_width} * m_scale),
      m_pictureHeight(pictureHeight > 0 ? pictureHeight : std::int64_t{m_height} * m_scale),
      m_pending(static_cast<std::size_t>(m_width) * 3),
      m_scratch(static_cast<std::size_t>(m_width) * 4)
{
    if (!to.shows) {
        const int side = std::max(to.side, 1);
        setUp(m_grid, side, side);
        return;
    }
    // No more points than were decoded: a smaller decode is not made larger.
    const Reduction::Grid wanted = to.gridFor(m_pictureWidth, m_pictureHeight);
    const std::int64_t bound =
        std::min(std::max(wanted.columns, wanted.rows), std::max(m_width, m_height));
    const Reduction::Grid grid = fitted(m_pictureWidth, m_pictureHeight, bound);
    if (m_scale == 1 && grid.columns == m_width && grid.rows == m_height &&
        std::int64_t{m_width} * m_height <= Reduction::kMaxShownPixels) {
        m_copy.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) * 3,
                      0);
        return;
    }
    const Reduction::Grid reduced =
        fitted(m_pictureWidth, m_pictureHeight, std::min<std::int64_t>(bound, to.side));
    setUp(m_grid, reduced.columns, reduced.rows);
}

void AreaReducer::setUp(Grid& grid, int columns, int rows) const
{
    grid.side = rows;
    grid.columns = columns;
    const std::int64_t n = columns;
    const std::int64_t w = m_pictureWidth;
    grid.across.assign(static_cast<std::size_t>(n) * 3, 0);
    grid.cells.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(rows) * 3, 0);
    grid.spans.reserve(static_cast<std::size_t>(m_width) + static_cast<std::size_t>(columns));
    for (std::int64_t x = 0; x < m_width; ++x) {
        const std::int64_t lo = x * m_scale * n;
        const std::int64_t hi = std::min((x + 1) * m_scale, w) * n;
        for (std::int64_t i = lo / w; i < n && i * w < hi; ++i) {
            const std::int64_t weight = std::min(hi, (i + 1) * w) - std::max(lo, i * w);
            if (weight > 0)
                grid.spans.push_back({static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(i),
                                      static_cast<std::uint32_t>(weight)});
        }
    }
}

void AreaReducer::alsoReduceTo(int fineSide)
{
    if (fineSide > 0 && m_row == 0 && m_copy.empty())
        setUp(m_fine, fineSide, fineSide);
}

std::int64_t AreaReducer::memoryNeed(std::int64_t width, Reduction to, int fineSide)
{
    const std::int64_t n = to.side;
    // the sums, and for a shown picture the levels and their turned copy
    std::int64_t result = n * n * 3 * 8;
    if (to.shows) {
        const std::int64_t sides = std::min<std::int64_t>(to.longSide, Reduction::kMaxShownSide);
        // or the points copied, and turned
        const std::int64_t copied = to.longSide > 0 ? sides * sides : Reduction::kMaxShownPixels;
        result = std::max(n * n * 3 * (8 + 2), copied * 3 * 2);
    }
    std::int64_t need = width * (3 * 2 + 4 + 3 * 4) + result + n * (3 * 8 + 12) + 4096;
    if (fineSide > 0) {
        // its spans, sums, and the levels and luminance it ends in
        const std::int64_t f = fineSide;
        need += width * 12 + f * f * (3 * 8 + 3 + 1) + f * (3 * 8 + 12);
    }
    return need;
}

template <typename T>
void AreaReducer::sumAcross(Grid& grid, const T* values)
{
    std::fill(grid.across.begin(), grid.across.end(), 0);
    std::uint64_t* across = grid.across.data();
    for (const Span& span : grid.spans) {
        const T* v = values + static_cast<std::size_t>(span.point) * 3;
        std::uint64_t* sum = across + static_cast<std::size_t>(span.cell) * 3;
        sum[0] += std::uint64_t{span.weight} * v[0];
        sum[1] += std::uint64_t{span.weight} * v[1];
        sum[2] += std::uint64_t{span.weight} * v[2];
    }
}

void AreaReducer::addCells(Grid& grid, std::int64_t cell, std::uint64_t weight)
{
    std::uint64_t* row = grid.cells.data() + static_cast<std::size_t>(cell) * grid.across.size();
    for (std::size_t k = 0; k < grid.across.size(); ++k)
        row[k] += weight * grid.across[k];
}

void AreaReducer::fold()
{
    if (m_pendingRows == 0)
        return;
    for (Grid* grid : {&m_grid, &m_fine}) {
        if (grid->side == 0)
            continue;
        sumAcross(*grid, m_pending.data());
        addCells(*grid, grid->pendingCell,
                 static_cast<std::uint64_t>(m_scale) * static_cast<std::uint64_t>(grid->side));
    }
    std::fill(m_pending.begin(), m_pending.end(), 0);
    m_pendingRows = 0;
}

// A row over [lo, hi) of the picture's rows, in picture pixels, added to the
// result rows it overlaps by their share.
void AreaReducer::addSplitRow(Grid& grid, const std::uint8_t* rgb, std::int64_t lo, std::int64_t hi)
{
    const std::int64_t n = grid.side;
    const std::int64_t h = m_pictureHeight;
    lo *= n;
    hi *= n;
    sumAcross(grid, rgb);
    for (std::int64_t j = lo / h; j < n && j * h < hi; ++j) {
        const std::int64_t weight = std::min(hi, (j + 1) * h) - std::max(lo, j * h);
        if (weight > 0)
            addCells(grid, j, static_cast<std::uint64_t>(weight));
    }
}

void AreaReducer::addRgbRow(const std::uint8_t* rgb)
{
    if (m_row >= m_height)
        return;
    if (!m_copy.empty()) {
        const std::size_t length = static_cast<std::size_t>(m_width) * 3;
        std::memcpy(m_copy.data() + static_cast<std::size_t>(m_row++) * length, rgb, length);
        return;
    }
    const std::int64_t h = m_pictureHeight;
    const std::int64_t y = m_row++;
    const std::int64_t lo = y * m_scale;
    const std::int64_t hi = std::min((y + 1) * m_scale, h);
    // The common case: the whole row lies in one result row of each grid
    // with full weight, so it only joins the column sums.
    const bool full = hi - lo == m_scale;
    const std::int64_t cell = lo * m_grid.side / h;
    bool whole = full && (hi * m_grid.side - 1) / h == cell;
    std::int64_t fineCell = -1;
    if (m_fine.side > 0) {
        fineCell = lo * m_fine.side / h;
        whole = whole && (hi * m_fine.side - 1) / h == fineCell;
    }
    if (whole) {
        if (cell != m_grid.pendingCell || fineCell != m_fine.pendingCell ||
            m_pendingRows == kMaxPendingRows)
            fold();
        m_grid.pendingCell = cell;
        m_fine.pendingCell = fineCell;
        std::uint16_t* pending = m_pending.data();
        const std::size_t count = m_pending.size();
        for (std::size_t k = 0; k < count; ++k)
            pending[k] = static_cast<std::uint16_t>(pending[k] + rgb[k]);
        ++m_pendingRows;
        return;
    }
    fold();
    addSplitRow(m_grid, rgb, lo, hi);
    if (m_fine.side > 0)
        addSplitRow(m_fine, rgb, lo, hi);
}

void AreaReducer::addGrayRow(const std::uint8_t* gray)
{
    std::uint8_t* out = m_scratch.data();
    for (int x = 0; x < m_width; ++x, out += 3)
        out[0] = out[1] = out[2] = gray[x];
    addRgbRow(m_scratch.data());
}

void AreaReducer::addRgbxRow(const std::uint8_t* rgbx)
{
    std::uint8_t* out = m_scratch.data();
    for (int x = 0; x < m_width; ++x, out += 3, rgbx += 4) {
        out[0] = rgbx[0];
        out[1] = rgbx[1];
        out[2] = rgbx[2];
    }
    addRgbRow(m_scratch.data());
}

void AreaReducer::addRgbaRow(const std::uint8_t* rgba)
{
    std::uint8_t* out = m_scratch.data();
    for (int x = 0; x < m_width; ++x, out += 3, rgba += 4) {
        const unsigned alpha = rgba[3];
        if (alpha == 255) {
            out[0] = rgba[0];
            out[1] = rgba[1];
            out[2] = rgba[2];
        } else {
            out[0] = onWhite(rgba[0], alpha);
            out[1] = onWhite(rgba[1], alpha);
            out[2] = onWhite(rgba[2], alpha);
        }
    }
    addRgbRow(m_scratch.data());
}

void AreaReducer::addPremultipliedRgbaRow(const std::uint8_t* rgba)
{
    std::uint8_t* out = m_scratch.data();
    for (int x = 0; x < m_width; ++x, out += 3, rgba += 4) {
        const unsigned alpha = rgba[3];
        out[0] = premultipliedOnWhite(rgba[0], alpha);
        out[1] = premultipliedOnWhite(rgba[1], alpha);
        out[2] = premultipliedOnWhite(rgba[2], alpha);
    }
    addRgbRow(m_scratch.data());
}

void AreaReducer::addIndexedRow(const std::uint8_t* indices, const std::uint8_t* palette)
{
    std::uint8_t* out = m_scratch.data();
    for (int x = 0; x < m_width; ++x, out += 3) {
        const std::uint8_t* colour = palette + std::size_t{indices[x]} * 3;
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
    }
    addRgbRow(m_scratch.data());
}

void AreaReducer::addUniformTo(Grid& grid, std::int64_t lo, std::int64_t hi,
                               const std::uint64_t* colour)
{
    // Every result column spans the picture's width in units, so a uniform
    // row gives each cell of its result row colour * width * its overlap.
    const std::int64_t n = grid.side;
    const std::int64_t h = m_pictureHeight;
    lo *= n;
    hi *= n;
    const auto width = static_cast<std::uint64_t>(m_pictureWidth);
    for (std::int64_t j = lo / h; j < n && j * h < hi; ++j) {
        const std::int64_t overlap = std::min(hi, (j + 1) * h) - std::max(lo, j * h);
        if (overlap <= 0)
            continue;
        std::uint64_t* row = grid.cells.data() + static_cast<std::size_t>(j) * grid.across.size();
        for (std::size_t k = 0; k < grid.across.size(); ++k)
            row[k] += colour[k % 3] * width * static_cast<std::uint64_t>(overlap);
    }
}

void AreaReducer::addUniformRows(std::int64_t count, std::uint8_t red, std::uint8_t green,
                                 std::uint8_t blue)
{
    count = std::min<std::int64_t>(count, m_height - m_row);
    if (count <= 0)
        return;
    if (!m_copy.empty()) {
        for (std::uint8_t* point = m_copy.data() + static_cast<std::size_t>(m_row) * m_width * 3;
             count > 0; --count, ++m_row)
            for (int x = 0; x < m_width; ++x, point += 3) {
                point[0] = red;
                point[1] = green;
                point[2] = blue;
            }
        return;
    }
    fold();
    const std::int64_t h = m_pictureHeight;
    const std::int64_t lo = std::min(std::int64_t{m_row} * m_scale, h);
    const std::int64_t hi = std::min((std::int64_t{m_row} + count) * m_scale, h);
    m_row += static_cast<int>(count);
    const std::uint64_t colour[3] = {red, green, blue};
    addUniformTo(m_grid, lo, hi, colour);
    if (m_fine.side > 0)
        addUniformTo(m_fine, lo, hi, colour);
}

std::vector<std::uint8_t> AreaReducer::levelsOf(const Grid& grid) const
{
    const auto area =
        static_cast<std::uint64_t>(m_pictureWidth) * static_cast<std::uint64_t>(m_pictureHeight);
    std::vector<std::uint8_t> levels(grid.cells.size());
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = static_cast<std::uint8_t>(
            std::min<std::uint64_t>((grid.cells[k] + area / 2) / area, 255));
    return levels;
}

std::vector<std::uint8_t> AreaReducer::turned(std::vector<std::uint8_t> levels, std::size_t width,
                                              std::size_t height, std::size_t channels,
                                              int exifOrientation)
{
    if (exifOrientation <= 1 || exifOrientation > 8)
        return levels;
    // Point (x, y) of the upright picture is point (sx, sy) of the stored one.
    std::vector<std::uint8_t> out(levels.size());
    const bool across = exifOrientation >= 5;
    const std::size_t upWidth = across ? height : width;
    const std::size_t upHeight = across ? width : height;
    const std::size_t lastX = width - 1;
    const std::size_t lastY = height - 1;
    for (std::size_t y = 0; y < upHeight; ++y) {
        for (std::size_t x = 0; x < upWidth; ++x) {
            std::size_t sx = x;
            std::size_t sy = y;
            switch (exifOrientation) {
            case 2:
                sx = lastX - x;
                break; // mirrored
            case 3:
                sx = lastX - x;
                sy = lastY - y;
                break; // turned half way
            case 4:
                sy = lastY - y;
                break; // flipped
            case 5:
                sx = y;
                sy = x;
                break; // transposed
            case 6:
                sx = y;
                sy = lastY - x;
                break; // a quarter clockwise
            case 7:
                sx = lastX - y;
                sy = lastY - x;
                break; // transversed
            case 8:
                sx = lastX - y;
                sy = x;
                break; // a quarter anticlockwise
            default:
                break;
            }
            std::memcpy(&out[(y * upWidth + x) * channels], &levels[(sy * width + sx) * channels],
                        channels);
        }
    }
    return out;
}

ThumbnailRaster AreaReducer::finish(int exifOrientation)
{
    fillRemainingRows(0, 0, 0);
    fold();
    const bool across = exifOrientation >= 5 && exifOrientation <= 8;
    const int columns = m_copy.empty() ? m_grid.columns : m_width;
    const int rows = m_copy.empty() ? m_grid.side : m_height;
    std::vector<std::uint8_t> levels = m_copy.empty() ? levelsOf(m_grid) : std::move(m_copy);
    m_copy.clear();
    return ThumbnailRaster(across ? rows : columns, across ? columns : rows,
                           turned(std::move(levels), static_cast<std::size_t>(columns),
                                  static_cast<std::size_t>(rows), 3, exifOrientation));
}

LoadResult AreaReducer::result(int exifOrientation)
{
    LoadResult result(finish(exifOrientation));
    if (m_fine.side > 0) {
        const std::vector<std::uint8_t> levels = levelsOf(m_fine);
        std::vector<std::uint8_t> luma(levels.size() / 3);
        for (std::size_t k = 0; k < luma.size(); ++k) {
            const std::uint8_t* rgb = &levels[k * 3];
            luma[k] = static_cast<std::uint8_t>(
                (299u * rgb[0] + 587u * rgb[1] + 114u * rgb[2] + 500u) / 1000u);
        }
        result.luminance =
            turned(std::move(luma), static_cast<std::size_t>(m_fine.side), 1, exifOrientation);
    }
    // Orientations 5 to 8 turn the picture a quarter.
    const bool across = exifOrientation >= 5 && exifOrientation <= 8;
    result.width = across ? m_pictureHeight : m_pictureWidth;
    result.height = across ? m_pictureWidth : m_pictureHeight;
    return result;
}

} // namespace ovrin::platform
