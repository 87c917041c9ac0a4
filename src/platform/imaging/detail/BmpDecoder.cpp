#include "platform/imaging/detail/BmpDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>
#include <vector>

namespace ovrin::platform {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;
constexpr std::size_t kReadChunk = 1024 * 1024;

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

unsigned le16(const std::uint8_t* p)
{
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

// One channel of a bit-field pixel, widened to 8 bits by repeating its bits,
// as the toolkit's reader does.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    unsigned scale = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        std::uint32_t low = mask;
        while (low >= 0x100 || ((low & 1) == 0 && low != 0)) {
            ++shift;
            low >>= 1;
        }
        scale = 8;
        while (low != 0 && scale != 0) {
            --scale;
            low >>= 1;
        }
    }

    std::uint8_t operator()(std::uint32_t pixel) const
    {
        const std::uint32_t value = (pixel & mask) >> shift;
        if ((scale & 7) == 0)
            return static_cast<std::uint8_t>(value);
        unsigned filled = 8 - scale;
        std::uint32_t result = value << scale;
        do {
            result |= result >> filled;
            filled <<= 1;
        } while (filled < 8);
        return static_cast<std::uint8_t>(result);
    }
};

struct Header {
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: stored top row first
    unsigned bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t infoSize = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t colours = 0;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
};

} // namespace

std::optional<LoadResult> BmpDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    std::array<std::uint8_t, 14 + 124 + 16> head{};
    const std::int64_t got = file.readAt(0, head.data(), head.size());
    if (got < 0)
        return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    if (got < 14 + 16 || head[0] != 'B' || head[1] != 'M')
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    Header h;
    h.dataOffset = le32(&head[10]);
    h.infoSize = le32(&head[14]);
    const std::uint8_t* info = &head[14];
    if (h.infoSize == 12) {
        h.width = le16(info + 4);
        h.height = static_cast<std::int16_t>(le16(info + 6));
        h.bits = le16(info + 10);
    } else if (h.infoSize == 40 || h.infoSize == 52 || h.infoSize == 56 || h.infoSize == 64 ||
               h.infoSize == 108 || h.infoSize == 124) {
        if (got < 14 + std::int64_t{h.infoSize})
            return LoadResult{std::nullopt, LoadFailure::NotAnImage};
        h.width = static_cast<std::int32_t>(le32(info + 4));
        h.height = static_cast<std::int32_t>(le32(info + 8));
        if (le16(info + 12) != 1)
            return LoadResult{std::nullopt, LoadFailure::NotAnImage};
        h.bits = le16(info + 14);
        h.compression = le32(info + 16);
        h.colours = le32(info + 32);
        if (h.infoSize >= 52)
            h.masks = {le32(info + 40), le32(info + 44), le32(info + 48),
                       h.infoSize >= 56 ? le32(info + 52) : 0};
    } else {
        return std::nullopt;
    }
    const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (h.compression != kRgb && !(bitFields && (h.bits == 16 || h.bits == 32)))
        return std::nullopt; // run-length and embedded formats: the toolkit's reader
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    const std::int64_t height = std::abs(h.height);
    if (h.width <= 0 || height == 0)
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    if (h.width * height > kMaxPixels)
        return LoadResult{std::nullopt, LoadFailure::TooLarge};

    // Bit masks follow a short header; a palette follows them.
    std::int64_t position = 14 + std::int64_t{h.infoSize};
    if (bitFields && h.infoSize < 52) {
        const int count = h.compression == kAlphaBitFields ? 4 : 3;
        std::array<std::uint8_t, 16> masks{};
        if (file.readAt(position, masks.data(), std::size_t(count) * 4) != count * 4)
            return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        for (int i = 0; i < count; ++i)
            h.masks[std::size_t(i)] = le32(&masks[std::size_t(i) * 4]);
        position += count * 4;
    }
    std::array<std::uint8_t, 256 * 3> palette;
    palette.fill(255); // an index past the palette shows as transparent: white
    if (h.bits <= 8) {
        const std::uint32_t count = h.colours != 0 ? h.colours : 1u << h.bits;
        if (count < 1 || count > 256)
            return LoadResult{std::nullopt, LoadFailure::NotAnImage};
        const std::size_t entry = h.infoSize == 12 ? 3 : 4;
        std::vector<std::uint8_t> table(count * entry);
        if (file.readAt(position, table.data(), table.size()) != std::int64_t(table.size()))
            return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        for (std::size_t i = 0; i < count; ++i) {
            palette[i * 3] = table[i * entry + 2];
            palette[i * 3 + 1] = table[i * entry + 1];
            palette[i * 3 + 2] = table[i * entry];
        }
        position += std::int64_t(table.size());
    }
    if (h.dataOffset > position)
        position = h.dataOffset;

    const bool alpha =
        (bitFields || (h.compression == kRgb && h.bits == 32 && h.masks[3] == 0xff000000u)) &&
        h.masks[3] != 0;
    if (h.compression == kRgb && h.bits == 16)
        h.masks = {0x7c00, 0x03e0, 0x001f, 0};
    else if (h.compression == kRgb && h.bits >= 24)
        h.masks = {0x00ff0000, 0x0000ff00, 0x000000ff, h.masks[3]};
    // Bit fields that pick no colour at all leave nothing to show.
    if (bitFields && h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0)
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    const Channel red(h.masks[0]);
    const Channel green(h.masks[1]);
    const Channel blue(h.masks[2]);
    const Channel opacity(h.masks[3]);

    const std::int64_t rowBytes = (h.width * h.bits + 31) / 32 * 4;
    if (position + rowBytes > file.size())
        return LoadResult{std::nullopt, LoadFailure::NotAnImage}; // not one row in the file
    const std::int64_t rowsAtOnce = std::max<std::int64_t>(1, std::int64_t{kReadChunk} / rowBytes);
    const std::int64_t need = rowBytes * rowsAtOnce + h.width * 8 + 1024 * 1024 +
                              AreaReducer::memoryNeed(h.width, side, fineSide);
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return LoadResult{std::nullopt, why};

    try {
        AreaReducer reducer(int(h.width), int(height), side);
        reducer.alsoReduceTo(fineSide);
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(rowBytes * rowsAtOnce));
        std::vector<std::uint8_t> points(static_cast<std::size_t>(h.width) * 4);
        const auto width = static_cast<std::size_t>(h.width);
        file.seek(position);
        for (std::int64_t y = 0; y < height;) {
            const std::int64_t rows = std::min(rowsAtOnce, height - y);
            const std::int64_t read =
                file.read(chunk.data(), static_cast<std::size_t>(rows * rowBytes));
            if (read < 0)
                return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
            const std::int64_t whole = read / rowBytes;
            for (std::int64_t r = 0; r < whole; ++r) {
                const std::uint8_t* row = chunk.data() + r * rowBytes;
                std::uint8_t* out = reducer.scratch();
                if (h.bits <= 8) {
                    for (std::size_t x = 0; x < width; ++x) {
                        const std::size_t bit = x * h.bits;
                        points[x] = static_cast<std::uint8_t>(
                            (row[bit >> 3] >> (8 - h.bits - (bit & 7))) & ((1u << h.bits) - 1));
                    }
                    reducer.addIndexedRow(points.data(), palette.data());
                } else if (h.bits == 24 || (h.bits == 32 && !alpha && !bitFields)) {
                    const std::size_t step = h.bits / 8;
                    for (std::size_t x = 0; x < width; ++x, row += step, out += 3) {
                        out[0] = row[2];
                        out[1] = row[1];
                        out[2] = row[0];
                    }
                    reducer.addRgbRow(reducer.scratch());
                } else {
                    const std::size_t step = h.bits / 8;
                    std::uint8_t* rgba = points.data();
                    for (std::size_t x = 0; x < width; ++x, row += step, rgba += 4) {
                        const std::uint32_t pixel = step == 2 ? le16(row) : le32(row);
                        rgba[0] = red(pixel);
                        rgba[1] = green(pixel);
                        rgba[2] = blue(pixel);
                        rgba[3] = alpha ? opacity(pixel) : 255;
                    }
                    reducer.addRgbaRow(points.data());
                }
            }
            y += whole;
            if (whole < rows)
                break; // a cut file: the rows that never came stay black
            if (!file.proceeding())
                return LoadResult{std::nullopt, LoadFailure::Stopped};
        }
        // Rows are reduced in file order; a bottom-up file is then flipped.
        return reducer.result(h.height > 0 ? 4 : 1);
    } catch (const std::bad_alloc&) {
        return LoadResult{std::nullopt, LoadFailure::OutOfMemory};
    }
}

} // namespace ovrin::platform
