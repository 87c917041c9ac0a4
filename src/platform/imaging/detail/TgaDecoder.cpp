#include "platform/imaging/detail/TgaDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace ovrin::platform {

namespace {

constexpr std::size_t kReadChunk = 256 * 1024;

constexpr unsigned kColourMapped = 1;
constexpr unsigned kTrueColour = 2;
constexpr unsigned kGrey = 3;
constexpr unsigned kRunLength = 8; // added to the kind

unsigned le16(const std::uint8_t* p)
{
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

// 5 bits widened to 8 by repeating their top bits.
std::uint8_t widen5(unsigned value)
{
    return static_cast<std::uint8_t>(value << 3 | value >> 2);
}

// One stored colour of `bytes` bytes (2: 5-5-5 with an alpha bit, 3: BGR,
// 4: BGRA) as RGBA; the alpha is opaque unless `alpha`.
void toRgba(const std::uint8_t* p, unsigned bytes, bool alpha, std::uint8_t* out)
{
    if (bytes == 2) {
        const unsigned value = le16(p);
        out[0] = widen5(value >> 10 & 31);
        out[1] = widen5(value >> 5 & 31);
        out[2] = widen5(value & 31);
        out[3] = !alpha || (value & 0x8000) != 0 ? 255 : 0;
    } else {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = alpha && bytes == 4 ? p[3] : 255;
    }
}

// The pixel data, handed out in pieces of any size from large reads.
class Stream {
public:
    explicit Stream(ImageFile& file) : m_file(file), m_buffer(kReadChunk) {}

    // False once the file ends (or fails) before `count` bytes came.
    bool take(std::uint8_t* out, std::size_t count)
    {
        while (count > 0) {
            if (m_at == m_end && !refill())
                return false;
            const std::size_t n = std::min(count, m_end - m_at);
            std::memcpy(out, m_buffer.data() + m_at, n);
            m_at += n;
            out += n;
            count -= n;
        }
        return true;
    }

private:
    bool refill()
    {
        const std::int64_t got = m_file.read(m_buffer.data(), m_buffer.size());
        if (got <= 0)
            return false;
        m_at = 0;
        m_end = static_cast<std::size_t>(got);
        return true;
    }

    ImageFile& m_file;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_at = 0;
    std::size_t m_end = 0;
};

// Run-length packets may run on from one row into the next, so what is left
// of the current one is kept between rows.
struct Packets {
    unsigned left = 0;
    bool repeat = false;
    std::array<std::uint8_t, 4> pixel{};

    bool fill(Stream& stream, std::uint8_t* row, std::size_t width, std::size_t bytes)
    {
        for (std::size_t x = 0; x < width;) {
            if (left == 0) {
                std::uint8_t head = 0;
                if (!stream.take(&head, 1))
                    return false;
                left = (head & 0x7fu) + 1;
                repeat = (head & 0x80u) != 0;
                if (repeat && !stream.take(pixel.data(), bytes))
                    return false;
            }
            const std::size_t n = std::min<std::size_t>(left, width - x);
            std::uint8_t* out = row + x * bytes;
            if (!repeat) {
                if (!stream.take(out, n * bytes))
                    return false;
            } else if (bytes == 1) {
                std::memset(out, pixel[0], n);
            } else {
                for (std::size_t k = 0; k < n; ++k, out += bytes)
                    std::memcpy(out, pixel.data(), bytes);
            }
            x += n;
            left -= static_cast<unsigned>(n);
        }
        return true;
    }
};

} // namespace

LoadResult TgaDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    std::array<std::uint8_t, 18> head{};
    const std::int64_t got = file.readAt(0, head.data(), head.size());
    if (got < 0)
        return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    if (got < std::int64_t(head.size()))
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    const unsigned mapType = head[1];
    const unsigned type = head[2];
    const unsigned kind = type & ~kRunLength;
    const bool runLength = (type & kRunLength) != 0;
    const unsigned mapFirst = le16(&head[3]);
    const unsigned mapLength = le16(&head[5]);
    const unsigned mapBits = head[7];
    const std::int64_t width = le16(&head[12]);
    const std::int64_t height = le16(&head[14]);
    const unsigned bits = head[16];
    const unsigned descriptor = head[17];
    const bool alpha = (descriptor & 15) != 0;

    if (mapType > 1 || kind < kColourMapped || kind > kGrey || width == 0 || height == 0)
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    if (kind == kColourMapped) {
        if (mapType != 1 || (bits != 8 && bits != 16) || mapLength == 0 ||
            mapFirst + mapLength > 1u << bits ||
            (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32))
            return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    } else if (kind == kTrueColour ? bits != 15 && bits != 16 && bits != 24 && bits != 32
                                   : bits != 8 && bits != 16) {
        return LoadResult{std::nullopt, LoadFailure::NotAnImage};
    }
    const std::size_t bytes = (bits + 7) / 8;
    const std::size_t mapEntryBytes = (mapBits + 7) / 8;
    const std::int64_t mapBytes =
        mapType == 1 ? std::int64_t{mapLength} * static_cast<std::int64_t>(mapEntryBytes) : 0;
    const std::int64_t position = 18 + std::int64_t{head[0]} + mapBytes; // after the ID field
    const std::int64_t rowBytes = width * std::int64_t(bytes);
    if (position + (runLength ? 2 : rowBytes) > file.size())
        return LoadResult{std::nullopt, LoadFailure::NotAnImage}; // not one row in the file

    const std::int64_t paletteBytes = kind == kColourMapped ? (std::int64_t{1} << bits) * 3 : 0;
    const std::int64_t need = std::int64_t{kReadChunk} + rowBytes + width * 4 + paletteBytes +
                              (kind == kColourMapped ? mapBytes : 0) + 1024 * 1024 +
                              AreaReducer::memoryNeed(width, side, fineSide);
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return LoadResult{std::nullopt, why};

    try {
        // The colours of every index, laid on white; an index the map does
        // not cover shows white too.
        std::vector<std::uint8_t> palette(static_cast<std::size_t>(paletteBytes), 255);
        if (kind == kColourMapped) {
            std::vector<std::uint8_t> map(static_cast<std::size_t>(mapBytes));
            if (file.readAt(position - mapBytes, map.data(), map.size()) != mapBytes)
                return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
            for (std::size_t i = 0; i < mapLength; ++i) {
                std::array<std::uint8_t, 4> rgba{};
                toRgba(&map[i * mapEntryBytes], unsigned(mapEntryBytes), alpha && mapBits != 15,
                       rgba.data());
                std::uint8_t* entry = &palette[(mapFirst + i) * 3];
                for (int c = 0; c < 3; ++c)
                    entry[c] = AreaReducer::onWhite(rgba[std::size_t(c)], rgba[3]);
            }
        }

        AreaReducer reducer(int(width), int(height), side);
        reducer.alsoReduceTo(fineSide);
        const auto points = static_cast<std::size_t>(width);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
        std::vector<std::uint8_t> converted(points * 4);
        Stream stream(file);
        Packets packets;
        file.seek(position);
        std::int64_t y = 0;
        for (; y < height; ++y) {
            const bool whole = runLength ? packets.fill(stream, row.data(), points, bytes)
                                         : stream.take(row.data(), row.size());
            if (!whole)
                break; // a cut file: the rows that never came stay black
            const std::uint8_t* in = row.data();
            std::uint8_t* out = converted.data();
            if (kind == kColourMapped && bits == 8) {
                reducer.addIndexedRow(in, palette.data());
            } else if (kind == kColourMapped) {
                for (std::size_t x = 0; x < points; ++x, in += 2, out += 3)
                    std::memcpy(out, &palette[std::size_t{le16(in)} * 3], 3);
                reducer.addRgbRow(converted.data());
            } else if (kind == kGrey && bits == 8) {
                reducer.addGrayRow(in);
            } else if (kind == kGrey) { // grey and alpha
                for (std::size_t x = 0; x < points; ++x, in += 2, out += 4) {
                    out[0] = out[1] = out[2] = in[0];
                    out[3] = alpha ? in[1] : 255;
                }
                reducer.addRgbaRow(converted.data());
            } else if (alpha && bits != 15 && bits != 24) {
                for (std::size_t x = 0; x < points; ++x, in += bytes, out += 4)
                    toRgba(in, unsigned(bytes), true, out);
                reducer.addRgbaRow(converted.data());
            } else {
                std::array<std::uint8_t, 4> rgba{};
                for (std::size_t x = 0; x < points; ++x, in += bytes, out += 3) {
                    toRgba(in, unsigned(bytes), false, rgba.data());
                    std::memcpy(out, rgba.data(), 3);
                }
                reducer.addRgbRow(converted.data());
            }
            if (!file.proceeding())
                return LoadResult{std::nullopt, LoadFailure::Stopped};
        }
        if (file.failure() != LoadFailure::None || y == 0)
            return LoadResult{std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        // Rows are reduced as stored, the first at the top; the raster is
        // then turned to the origin the descriptor names.
        const bool topFirst = (descriptor & 0x20) != 0;
        const bool rightFirst = (descriptor & 0x10) != 0;
        return reducer.result(topFirst ? (rightFirst ? 2 : 1) : (rightFirst ? 3 : 4));
    } catch (const std::bad_alloc&) {
        return LoadResult{std::nullopt, LoadFailure::OutOfMemory};
    }
}

} // namespace ovrin::platform
