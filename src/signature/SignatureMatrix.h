#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ovrin {

// Many signatures of one length, laid out so that comparing a pair takes a
// handful of vector instructions, with exactly the verdict and the rate of
// TFileInfo::compareSignatures at the bits and match rate it was built for.
//
// Each reduced channel of each pixel becomes a one-hot byte (bit v set for the
// value v; two bytes, "planes", when the bits keep all four and values reach
// 15). Two channels agree when they are equal or one step apart, which is when
// the one-hot byte of one meets the other's widened by a step each way: one AND
// per channel, and a pixel mismatches when any of its three ANDs is zero.
// Pixels come in blocks of 64 so that a block's mismatches are one 64-bit mask
// and a popcount; padding pixels agree with everything, and bits that keep no
// channel make every pixel agree the same way.
class SignatureMatrix {
public:
    enum class Kernel { Portable, Avx2, Avx512 };

    // The best kernel this processor runs; Portable when the environment sets
    // OVRIN_PORTABLE_KERNEL to anything non-empty.
    static Kernel bestKernel();
    static bool supports(Kernel kernel);
    static const char* name(Kernel kernel);

    // Sums of the reduced red, green and blue channels of one signature over
    // its pixels at the given bits, as channelSum() gives them for a row.
    static std::array<std::int32_t, 3> channelSums(const std::int16_t* signature,
                                                   std::int32_t count, std::int32_t bits);

    // Row k holds signature order[k], that is values[order[k] * count ...] for
    // count values; rows are what every other call speaks of. An unsupported
    // kernel falls back to the portable one.
    SignatureMatrix(const std::int16_t* values, std::int32_t count,
                    const std::vector<std::uint32_t>& order, std::int32_t bits,
                    std::int32_t matchRate, Kernel kernel);

    std::size_t rows() const { return m_rows; }
    std::int32_t count() const { return m_count; }
    Kernel kernel() const { return m_kernel; }
    // False when no pair can match: empty signatures, or match rates above
    // 100. A pardon of zero (rate 100, or near it on few pixels) lets no pixel
    // mismatch.
    bool anyCanMatch() const { return m_count > 0 && m_pardon >= 0; }

    // Sum of one reduced channel (0 red, 1 green, 2 blue) over a row's pixels,
    // and the most by which that sum can differ between two matching rows: a
    // pixel within one step moves it by at most one, a mismatching pixel by at
    // most the largest reduced value, and a match has at most `pardon`
    // mismatching pixels (those before the last, and the last).
    std::int32_t channelSum(std::size_t row, int channel) const
    {
        return m_sums[static_cast<std::size_t>(channel) * m_rows + row];
    }
    std::int32_t sumBound() const { return m_sumBound; }

    // Bytes of a widened row; the buffer handed to widen() holds this many and
    // is aligned to 64 bytes.
    std::size_t rowBytes() const { return m_stride; }
    void widen(std::size_t row, std::uint8_t* out) const;

    // Counts the matches between the rows first .. last - 1, widened one after
    // another in `widened`, and the rows after each of them up to ends[r] - 1
    // (ends holding one value per row of the matrix, never decreasing): adds
    // to rowCounts[r - first] and columnCounts[column] for every match and
    // answers the pairs compared. A column is read once for all the rows,
    // which stay in the first-level cache.
    // With `pairs`, each match is also appended to its values as the row and
    // the column, while its room (in pairs) lasts; one past that marks it
    // overflowed instead.
    struct MatchPairs {
        std::vector<std::uint32_t> values;
        std::size_t room = 0;
        bool overflowed = false;
    };
    std::uint64_t countBlock(const std::uint8_t* widened, std::uint32_t first, std::uint32_t last,
                             const std::uint32_t* ends, std::uint32_t* rowCounts,
                             std::uint32_t* columnCounts, MatchPairs* pairs = nullptr) const;

    // Some rows in ascending order, with their sums beside them so that a scan
    // over a stretch of them filters as fast as one over consecutive rows.
    struct Subset {
        std::vector<std::uint32_t> rows;
        std::vector<std::int32_t> sums; // red of every row, then green, then blue
    };
    Subset subset(std::vector<std::uint32_t> rows) const;
    // Compares `row`, as widen() wrote it to `widened`, with the subset's rows
    // at positions from .. to - 1 and writes those that match to `matches` in
    // order; answers how many it wrote. Rows outside the sum bound are passed
    // over without a comparison; `compared` grows by the number of the others.
    std::size_t scanSubset(std::size_t row, const std::uint8_t* widened, const Subset& subset,
                           std::size_t from, std::size_t to, std::uint32_t* matches,
                           std::uint64_t& compared) const;

    // The layout the kernels read; public for them, not for callers. A pair
    // matches when its mismatching pixels, leaving out the one of lastBit in
    // the last block (the last pixel, or none), stay below `pardon`.
    struct Layout {
        const std::uint8_t* data;
        std::size_t stride;
        std::size_t blocks;
        std::uint64_t lastBit;
        std::int32_t pardon;
        int planes;
    };

private:
    Layout layout() const;
    std::size_t scanSums(std::size_t row, const std::uint8_t* widened, const std::int32_t* sums,
                         std::size_t stride, const std::uint32_t* rows, std::size_t from,
                         std::size_t to, std::uint32_t* matches, std::uint64_t& compared) const;

    std::size_t m_rows = 0;
    std::int32_t m_count = 0;
    std::int32_t m_pardon = 0;
    std::int32_t m_sumBound = 0;
    int m_planes = 1;
    std::size_t m_blocks = 0;    // blocks of 64 pixels
    std::size_t m_stride = 0;    // bytes per row: blocks * 64 * 3 * planes
    std::uint64_t m_lastBit = 0; // the last pixel's bit in the last block
    Kernel m_kernel = Kernel::Portable;
    std::vector<std::uint8_t> m_storage; // rows * stride bytes from a 64-byte boundary
    std::uint8_t* m_data = nullptr;
    std::vector<std::int32_t> m_sums;
};

} // namespace ovrin
