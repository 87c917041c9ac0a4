#pragma once

// The comparison's arithmetic shared by the decoded signatures (TFileInfo)
// and the stored ones (StoredComparison): what a comparison settles before
// any pixel, and the portable count of mismatching pixels.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace ovrin::comparison {

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

// Mismatching pixels among n: a pixel mismatches when any channel differs by
// more than one step after the reduction. The channels lie at bit offsets R, G
// and B of the 16-bit words; branch-free so that the loop vectorizes.
template <int R, int G, int B>
inline int blockMismatches(const std::uint16_t* target, const std::uint16_t* candidate,
                           std::int32_t n, int shift)
{
    int mismatches = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::uint16_t t = target[k];
        const std::uint16_t c = candidate[k];
        const auto differs = [shift](std::uint16_t a, std::uint16_t b, int offset) {
            const auto x = static_cast<std::uint16_t>(((a >> offset) & 15) >> shift);
            const auto y = static_cast<std::uint16_t>(((b >> offset) & 15) >> shift);
            return static_cast<int>(static_cast<std::uint16_t>(x - y + 1) > 2);
        };
        mismatches += differs(t, c, R) | differs(t, c, G) | differs(t, c, B);
    }
    return mismatches;
}

// The same for a block of a size known at compile time, which the compiler
// turns into a few vector instructions.
template <int R, int G, int B, int N>
inline int fullBlockMismatches(const std::uint16_t* target, const std::uint16_t* candidate,
                               int shift)
{
    std::uint16_t flags[N];
    for (int k = 0; k < N; ++k) {
        const std::uint16_t t = target[k];
        const std::uint16_t c = candidate[k];
        const auto differs = [shift](std::uint16_t a, std::uint16_t b, int offset) {
            const auto x = static_cast<std::uint16_t>(((a >> offset) & 15) >> shift);
            const auto y = static_cast<std::uint16_t>(((b >> offset) & 15) >> shift);
            return static_cast<std::uint16_t>(static_cast<std::uint16_t>(x - y + 1) > 2);
        };
        flags[k] =
            static_cast<std::uint16_t>(differs(t, c, R) | differs(t, c, G) | differs(t, c, B));
    }
    int mismatches = 0;
    for (int k = 0; k < N; ++k)
        mismatches += flags[k];
    return mismatches;
}

// The comparison rule on 16-bit words whose channels lie at offsets R, G, B:
// the mismatching pixels, or -1 when they reach `limit` among the pixels
// tested (all but the last, or all when `lastTested`).
template <int R, int G, int B>
inline std::int32_t countMismatches(const std::uint16_t* target, const std::uint16_t* candidate,
                                    std::int32_t count, std::int32_t limit, bool lastTested,
                                    int shift)
{
    // The limit is tested before each pixel, so a candidate is rejected exactly
    // when the mismatches among the tested pixels reach it; counting them a
    // block at a time gives the same verdict and still stops early.
    const std::int32_t tested = lastTested ? count : count - 1;
    constexpr std::int32_t kBlock = 16;
    std::int32_t mismatches = 0;
    std::int32_t i = 0;
    for (; i + kBlock <= tested; i += kBlock) {
        mismatches += fullBlockMismatches<R, G, B, kBlock>(target + i, candidate + i, shift);
        if (mismatches >= limit)
            return -1;
    }
    mismatches += blockMismatches<R, G, B>(target + i, candidate + i, tested - i, shift);
    if (mismatches >= limit)
        return -1;
    if (lastTested)
        return mismatches;
    return mismatches + blockMismatches<R, G, B>(target + tested, candidate + tested, 1, shift);
}

// The rate of a candidate with the given mismatches among count pixels.
inline std::optional<std::int32_t> rateOf(std::int32_t mismatches, std::int64_t count)
{
    if (mismatches < 0)
        return std::nullopt;
    return static_cast<std::int32_t>((count - mismatches) * 100 / count);
}

inline std::int32_t clampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// What a comparison settles before looking at any pixel: two empty signatures
// say nothing about the pictures (and a rate over zero values has no meaning),
// a match rate above 100 cannot be reached (its pardon is negative, or zero
// when truncated on few pixels), and bits that keep no channel make every
// pixel agree. Otherwise it gives the shift and what the mismatches are held
// to. The pardon is tested before each pixel, so the last pixel's mismatch
// never rejects. A pardon of zero (match rate 100, or one close to it on few
// pixels) would by that test reject before the first pixel, even an identical
// picture; it lets no pixel mismatch instead, the last one included.
struct Setup {
    bool settled = true;
    std::optional<std::int32_t> verdict;
    std::int32_t limit = 0;
    bool lastTested = false;
    int shift = 0;
};

inline Setup setUp(bool haveBoth, std::int32_t count, std::int32_t bits, std::int32_t matchRate)
{
    Setup setup;
    if (count <= 0 || !haveBoth)
        return setup;
    const std::int32_t pardon = clampToInt32(static_cast<std::int64_t>(count) *
                                             (100 - static_cast<std::int64_t>(matchRate)) / 100);
    if (pardon < 0 || matchRate > 100)
        return setup;
    const ChannelReduction reduction(bits);
    if (!reduction.keepsBits) {
        setup.verdict = 100;
        return setup;
    }
    setup.settled = false;
    setup.limit = std::max(pardon, 1);
    setup.lastTested = pardon == 0;
    setup.shift = reduction.shift;
    return setup;
}

} // namespace ovrin::comparison
