#include "signature/StoredComparison.h"

#include "signature/ComparisonArithmetic.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ovrin {

using namespace comparison;

// The kernels of StoredComparison. A stored value is two bytes: the first holds
// red in its low four bits (its high four bits belong to no channel), the
// second green high and blue low. Reduced to the compared bits, a channel c of
// the candidate agrees with the target's t when t + 1 - c, as a byte, is at
// most 2; the target's side is prepared as t + 1 per byte, so a pixel costs a
// subtraction per byte and a saturating test.
struct StoredKernels {
    static std::int32_t portable(const StoredComparison& c, const std::uint8_t* stored)
    {
        // Words may lie at any address in a read buffer; a small aligned copy is
        // cheaper than loading them one by one.
        std::uint16_t local[1024];
        std::vector<std::uint16_t> heap;
        std::uint16_t* words = local;
        if (c.m_count > 1024) {
            heap.resize(c.m_count);
            words = heap.data();
        }
        std::memcpy(words, stored, c.m_count * 2);
        const auto count = static_cast<std::int32_t>(c.m_count);
        // On a little-endian host a stored word loads byte-swapped: red in bits
        // 0-3, green in 12-15, blue in 8-11.
        if constexpr (std::endian::native == std::endian::little)
            return countMismatches<0, 12, 8>(c.m_words.data(), words, count, c.m_limit,
                                             c.m_lastTested, c.m_shift);
        else
            return countMismatches<8, 4, 0>(c.m_words.data(), words, count, c.m_limit,
                                            c.m_lastTested, c.m_shift);
    }

#if defined(__x86_64__)
    // 16 pixels a block; bit j of the mask is set when pixel j agrees.
    struct Sse2 {
        __m128i shiftLow, shiftHigh, maskLow, maskHigh, two, zero;

        explicit Sse2(int shift)
            : shiftLow(_mm_cvtsi32_si128(shift)), shiftHigh(_mm_cvtsi32_si128(shift + 4)),
              maskLow(_mm_set1_epi8(static_cast<char>(15 >> shift))),
              maskHigh(_mm_set1_epi16(static_cast<short>(0xFF00))), two(_mm_set1_epi8(2)),
              zero(_mm_setzero_si128())
        {}
        static __m128i load(const std::uint8_t* p)
        {
            __m128i v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        // 8 pixels: all ones in the 16 bits of each pixel that agrees.
        __m128i agree(const std::uint8_t* c, const std::uint8_t* low,
                      const std::uint8_t* high) const
        {
            const __m128i v = load(c);
            const __m128i cLow = _mm_and_si128(_mm_srl_epi16(v, shiftLow), maskLow);
            const __m128i cHigh = _mm_and_si128(_mm_srl_epi16(v, shiftHigh), maskHigh);
            const __m128i far = _mm_subs_epu8(
                _mm_max_epu8(_mm_sub_epi8(load(low), cLow), _mm_sub_epi8(load(high), cHigh)), two);
            return _mm_cmpeq_epi16(far, zero);
        }
        std::uint32_t matches(const std::uint8_t* c, const std::uint8_t* low,
                              const std::uint8_t* high) const
        {
            return static_cast<std::uint32_t>(_mm_movemask_epi8(
                _mm_packs_epi16(agree(c, low, high), agree(c + 16, low + 16, high + 16))));
        }
    };

    // Without the popcnt instruction std::popcount may become a library call.
    static std::int32_t bitCount(std::uint32_t x)
    {
        x = x - ((x >> 1) & 0x55555555u);
        x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
        x = (x + (x >> 4)) & 0x0F0F0F0Fu;
        return static_cast<std::int32_t>((x * 0x01010101u) >> 24);
    }

    static std::int32_t sse2(const StoredComparison& c, const std::uint8_t* stored)
    {
        constexpr std::size_t kBlock = 16;
        const Sse2 v(c.m_shift);
        std::int32_t mismatches = 0;
        for (std::size_t b = 0; b < c.m_blocks; ++b) {
            const std::size_t at = b * kBlock * 2;
            mismatches += static_cast<std::int32_t>(kBlock) -
                          bitCount(v.matches(stored + at, &c.m_low[at], &c.m_high[at]));
            if (mismatches >= c.m_limit)
                return -1;
        }
        const std::size_t at = c.m_tailStart * 2;
        const std::uint32_t misses = ~v.matches(stored + at, &c.m_low[at], &c.m_high[at]);
        mismatches += bitCount(misses & c.m_tailTested);
        if (mismatches >= c.m_limit)
            return -1;
        return mismatches + ((misses & c.m_tailLast) != 0 ? 1 : 0);
    }

    // 32 pixels a block. The pack works within 128-bit lanes, so bit j of the
    // mask is pixel j for j < 8 and j >= 24; bits 8-15 are pixels 16-23 and
    // bits 16-23 pixels 8-15 (see avx2Bit).
    struct Avx2 {
        __m128i shiftLow, shiftHigh;
        __m256i maskLow, maskHigh, two, zero;

        __attribute__((target("avx2,popcnt"))) explicit Avx2(int shift)
            : shiftLow(_mm_cvtsi32_si128(shift)), shiftHigh(_mm_cvtsi32_si128(shift + 4)),
              maskLow(_mm256_set1_epi8(static_cast<char>(15 >> shift))),
              maskHigh(_mm256_set1_epi16(static_cast<short>(0xFF00))), two(_mm256_set1_epi8(2)),
              zero(_mm256_setzero_si256())
        {}
        __attribute__((target("avx2,popcnt"))) static __m256i load(const std::uint8_t* p)
        {
            __m256i v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        __attribute__((target("avx2,popcnt"))) __m256i
        agree(const std::uint8_t* c, const std::uint8_t* low, const std::uint8_t* high) const
        {
            const __m256i v = load(c);
            const __m256i cLow = _mm256_and_si256(_mm256_srl_epi16(v, shiftLow), maskLow);
            const __m256i cHigh = _mm256_and_si256(_mm256_srl_epi16(v, shiftHigh), maskHigh);
            const __m256i far =
                _mm256_subs_epu8(_mm256_max_epu8(_mm256_sub_epi8(load(low), cLow),
                                                 _mm256_sub_epi8(load(high), cHigh)),
                                 two);
            return _mm256_cmpeq_epi16(far, zero);
        }
        __attribute__((target("avx2,popcnt"))) std::uint32_t
        matches(const std::uint8_t* c, const std::uint8_t* low, const std::uint8_t* high) const
        {
            return static_cast<std::uint32_t>(_mm256_movemask_epi8(
                _mm256_packs_epi16(agree(c, low, high), agree(c + 32, low + 32, high + 32))));
        }
    };

    static unsigned avx2Bit(std::size_t pixel)
    {
        if (pixel >= 8 && pixel < 16)
            return static_cast<unsigned>(pixel + 8);
        if (pixel >= 16 && pixel < 24)
            return static_cast<unsigned>(pixel - 8);
        return static_cast<unsigned>(pixel);
    }

    __attribute__((target("avx2,popcnt"))) static std::int32_t avx2(const StoredComparison& c,
                                                                    const std::uint8_t* stored)
    {
        constexpr std::size_t kBlock = 32;
        const Avx2 v(c.m_shift);
        std::int32_t mismatches = 0;
        for (std::size_t b = 0; b < c.m_blocks; ++b) {
            const std::size_t at = b * kBlock * 2;
            mismatches += static_cast<std::int32_t>(kBlock) -
                          std::popcount(v.matches(stored + at, &c.m_low[at], &c.m_high[at]));
            if (mismatches >= c.m_limit)
                return -1;
        }
        const std::size_t at = c.m_tailStart * 2;
        const std::uint32_t misses = ~v.matches(stored + at, &c.m_low[at], &c.m_high[at]);
        mismatches += std::popcount(misses & c.m_tailTested);
        if (mismatches >= c.m_limit)
            return -1;
        return mismatches + ((misses & c.m_tailLast) != 0 ? 1 : 0);
    }
#endif

    // Lays out the target for a vector kernel of `block` pixels a block, whose
    // mask bit for a pixel of a block is `bit(pixel)`; at least one block.
    template <typename Bit>
    static void layOut(StoredComparison& c, const std::vector<std::int16_t>& target,
                       std::size_t block, Bit bit)
    {
        const std::size_t count = c.m_count;
        c.m_low.assign(count * 2, 1);
        c.m_high.assign(count * 2, 1); // the first byte's high bits: always agree
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = static_cast<std::uint16_t>(target[i]);
            const auto reduce = [&c, value](int offset) {
                return static_cast<std::uint8_t>((((value >> offset) & 15) >> c.m_shift) + 1);
            };
            c.m_low[2 * i] = reduce(8);
            c.m_low[2 * i + 1] = reduce(0);
            c.m_high[2 * i + 1] = reduce(4);
        }
        // Whole blocks among all pixels but the last; the last block ends at the
        // last pixel and may overlap them.
        c.m_blocks = (count - 1) / block;
        c.m_tailStart = count - block;
        c.m_tailTested = 0;
        for (std::size_t pixel = c.m_blocks * block; pixel + 1 < count; ++pixel)
            c.m_tailTested |= 1u << bit(pixel - c.m_tailStart);
        c.m_tailLast = 1u << bit(count - 1 - c.m_tailStart);
        if (c.m_lastTested) {
            c.m_tailTested |= c.m_tailLast;
            c.m_tailLast = 0;
        }
    }
};

bool StoredComparison::isAvailable(StoredKernel kernel)
{
#if defined(__x86_64__)
    if (kernel == StoredKernel::Avx2)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return true;
#else
    return kernel == StoredKernel::Portable;
#endif
}

StoredComparison::StoredComparison(const std::vector<std::int16_t>& target, std::int32_t bits,
                                   std::int32_t matchRate)
    : StoredComparison(target, bits, matchRate,
                       isAvailable(StoredKernel::Avx2)   ? StoredKernel::Avx2
                       : isAvailable(StoredKernel::Sse2) ? StoredKernel::Sse2
                                                         : StoredKernel::Portable)
{}

StoredComparison::StoredComparison(const std::vector<std::int16_t>& target, std::int32_t bits,
                                   std::int32_t matchRate, StoredKernel kernel)
    : m_count(target.size())
{
    const Setup setup = setUp(true,
                              static_cast<std::int32_t>(std::min<std::size_t>(
                                  target.size(), std::numeric_limits<std::int32_t>::max())),
                              bits, matchRate);
    m_settled = setup.settled;
    m_verdict = setup.verdict;
    m_limit = setup.limit;
    m_lastTested = setup.lastTested;
    m_shift = setup.shift;
    if (m_settled)
        return;
    m_kernel = &StoredKernels::portable;
#if defined(__x86_64__)
    // Signatures shorter than a block (pixel numbers up to 5) are compared
    // by the portable kernel.
    if (kernel == StoredKernel::Avx2 && m_count >= 32 && isAvailable(kernel)) {
        m_kernel = &StoredKernels::avx2;
        StoredKernels::layOut(*this, target, 32, &StoredKernels::avx2Bit);
        return;
    }
    if ((kernel == StoredKernel::Sse2 || kernel == StoredKernel::Avx2) && m_count >= 16) {
        m_kernel = &StoredKernels::sse2;
        StoredKernels::layOut(*this, target, 16, [](std::size_t pixel) { return pixel; });
        return;
    }
#endif
    static_cast<void>(kernel);
    m_words.reserve(target.size());
    for (const std::int16_t value : target) {
        const auto v = static_cast<std::uint16_t>(value);
        m_words.push_back(std::endian::native == std::endian::little
                              ? static_cast<std::uint16_t>((v << 8) | (v >> 8))
                              : v);
    }
}

} // namespace ovrin
