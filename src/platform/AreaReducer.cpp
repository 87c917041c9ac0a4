#include "platform/AreaReducer.h"

#include <algorithm>
#include <cstring>

namespace ovrin::platform {

namespace {

constexpr int kMaxPendingRows = 257; // 257 * 255 is the largest 16-bit sum

} // namespace

AreaReducer::AreaReducer(int width, int height, int side, int scale, std::int64_t pictureWidth,
                         std::int64_t pictureHeight)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)), m_side(std::max(side, 1)),
      m_scale(std::max(scale, 1)),
      m_pictureWidth(pictureWidth > 0 ? pictureWidth : std::int64_t{m_width} * m_scale),
      m_pictureHeight(pictureHeight > 0 ? pictureHeight : std::int64_t{m_height} * m_scale),
      m_pending(static_cast<std::size_t>(m_width) * 3),
      m_across(static_cast<std::size_t>(m_side) * 3),
      m_cells(static_cast<std::size_t>(m_side) * static_cast<std::size_t>(m_side) * 3),
      m_scratch(static_cast<std::size_t>(m_width) * 4)
{
    const std::int64_t n = m_side;
    const std::int64_t w = m_pictureWidth;
    m_spans.reserve(static_cast<std::size_t>(m_width + m_side));
    for (std::int64_t x = 0; x < m_width; ++x) {
        const std::int64_t lo = x * m_scale * n;
        const std::int64_t hi = std::min((x + 1) * m_scale, w) * n;
        for (std::int64_t i = lo / w; i < n && i * w < hi; ++i) {
            const std::int64_t weight = std::min(hi, (i + 1) * w) - std::max(lo, i * w);
            if (weight > 0)
                m_spans.push_back({static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(i),
                                   static_cast<std::uint32_t>(weight)});
        }
    }
}

std::int64_t AreaReducer::memoryNeed(std::int64_t width, int side)
{
    const std::int64_t n = side;
    return width * (3 * 2 + 4 + 3 * 4) + n * n * 3 * 8 + n * (3 * 8 + 12) + 4096;
}

template <typename T>
void AreaReducer::sumAcross(const T* values)
{
    std::fill(m_across.begin(), m_across.end(), 0);
    std::uint64_t* across = m_across.data();
    for (const Span& span : m_spans) {
        const T* v = values + static_cast<std::size_t>(span.point) * 3;
        std::uint64_t* sum = across + static_cast<std::size_t>(span.cell) * 3;
        sum[0] += std::uint64_t{span.weight} * v[0];
        sum[1] += std::uint64_t{span.weight} * v[1];
        sum[2] += std::uint64_t{span.weight} * v[2];
    }
}

void AreaReducer::addCells(std::int64_t cell, std::uint64_t weight)
{
    std::uint64_t* row = m_cells.data() + static_cast<std::size_t>(cell) * m_across.size();
    for (std::size_t k = 0; k < m_across.size(); ++k)
        row[k] += weight * m_across[k];
}

void AreaReducer::fold()
{
    if (m_pendingRows == 0)
        return;
    sumAcross(m_pending.data());
    addCells(m_pendingCell,
             static_cast<std::uint64_t>(m_scale) * static_cast<std::uint64_t>(m_side));
    std::fill(m_pending.begin(), m_pending.end(), 0);
    m_pendingRows = 0;
}

void AreaReducer::addRgbRow(const std::uint8_t* rgb)
{
    if (m_row >= m_height)
        return;
    const std::int64_t n = m_side;
    const std::int64_t h = m_pictureHeight;
    const std::int64_t y = m_row++;
    const std::int64_t lo = y * m_scale * n;
    const std::int64_t hi = std::min((y + 1) * m_scale, h) * n;
    const std::int64_t cell = lo / h;
    if (hi - lo == m_scale * n && (hi - 1) / h == cell) {
        // The common case: the whole row lies in one result row with full
        // weight, so it only joins the column sums.
        if (cell != m_pendingCell || m_pendingRows == kMaxPendingRows)
            fold();
        m_pendingCell = cell;
        std::uint16_t* pending = m_pending.data();
        const std::size_t count = m_pending.size();
        for (std::size_t k = 0; k < count; ++k)
            pending[k] = static_cast<std::uint16_t>(pending[k] + rgb[k]);
        ++m_pendingRows;
        return;
    }
    fold();
    sumAcross(rgb);
    for (std::int64_t j = cell; j < n && j * h < hi; ++j) {
        const std::int64_t weight = std::min(hi, (j + 1) * h) - std::max(lo, j * h);
        if (weight > 0)
            addCells(j, static_cast<std::uint64_t>(weight));
    }
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

void AreaReducer::addUniformRows(std::int64_t count, std::uint8_t red, std::uint8_t green,
                                 std::uint8_t blue)
{
    count = std::min<std::int64_t>(count, m_height - m_row);
    if (count <= 0)
        return;
    fold();
    // Every result column spans the picture's width in units, so a uniform
    // row gives each cell of its result row colour * width * its overlap.
    const std::int64_t n = m_side;
    const std::int64_t h = m_pictureHeight;
    const std::int64_t lo = std::min(std::int64_t{m_row} * m_scale, h) * n;
    const std::int64_t hi = std::min((std::int64_t{m_row} + count) * m_scale, h) * n;
    m_row += static_cast<int>(count);
    const auto width = static_cast<std::uint64_t>(m_pictureWidth);
    const std::uint64_t colour[3] = {red, green, blue};
    for (std::int64_t j = lo / h; j < n && j * h < hi; ++j) {
        const std::int64_t overlap = std::min(hi, (j + 1) * h) - std::max(lo, j * h);
        if (overlap <= 0)
            continue;
        std::uint64_t* row = m_cells.data() + static_cast<std::size_t>(j) * m_across.size();
        for (std::size_t k = 0; k < m_across.size(); ++k)
            row[k] += colour[k % 3] * width * static_cast<std::uint64_t>(overlap);
    }
}

ThumbnailRaster AreaReducer::finish(int exifOrientation)
{
    fillRemainingRows(0, 0, 0);
    fold();
    const std::size_t n = static_cast<std::size_t>(m_side);
    const auto area =
        static_cast<std::uint64_t>(m_pictureWidth) * static_cast<std::uint64_t>(m_pictureHeight);
    std::vector<std::uint8_t> levels(m_cells.size());
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] =
            static_cast<std::uint8_t>(std::min<std::uint64_t>((m_cells[k] + area / 2) / area, 255));
    if (exifOrientation <= 1 || exifOrientation > 8)
        return ThumbnailRaster(m_side, std::move(levels));

    // Point (x, y) of the upright picture is point (sx, sy) of the stored one.
    std::vector<std::uint8_t> turned(levels.size());
    const std::size_t last = n - 1;
    for (std::size_t y = 0; y < n; ++y) {
        for (std::size_t x = 0; x < n; ++x) {
            std::size_t sx = x;
            std::size_t sy = y;
            switch (exifOrientation) {
            case 2:
                sx = last - x;
                break; // mirrored
            case 3:
                sx = last - x;
                sy = last - y;
                break; // turned half way
            case 4:
                sy = last - y;
                break; // flipped
            case 5:
                sx = y;
                sy = x;
                break; // transposed
            case 6:
                sx = y;
                sy = last - x;
                break; // a quarter clockwise
            case 7:
                sx = last - y;
                sy = last - x;
                break; // transversed
            case 8:
                sx = last - y;
                sy = x;
                break; // a quarter anticlockwise
            default:
                break;
            }
            std::memcpy(&turned[(y * n + x) * 3], &levels[(sy * n + sx) * 3], 3);
        }
    }
    return ThumbnailRaster(m_side, std::move(turned));
}

} // namespace ovrin::platform
