#include "signature/SignatureMatrix.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define OVRIN_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace ovrin {

namespace {

using Layout = SignatureMatrix::Layout;

constexpr std::size_t kBlockPixels = 64;
constexpr std::size_t kAlignment = 64;

// The rows a scan visits.
struct ListColumns {
    const std::uint32_t* list;
    std::uint32_t at(std::size_t k) const { return list[k]; }
};

// Portable kernel: eight pixels per 64-bit word. A byte of an AND is nonzero
// when adding 0x7F to its low seven bits carries into, or it already has, the
// top bit; the pixels are counted, so the byte order does not matter.
std::uint64_t load64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

template <int Planes>
std::int32_t portableBlockMismatches(const std::uint8_t* w, const std::uint8_t* o)
{
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t high = 0x8080808080808080ull;
    std::int32_t mismatches = 0;
    for (std::size_t q = 0; q < kBlockPixels; q += 8) {
        std::uint64_t agree = high;
        for (std::size_t c = 0; c < 3; ++c) {
            std::uint64_t meet =
                load64(w + c * kBlockPixels + q) & load64(o + c * kBlockPixels + q);
            if constexpr (Planes == 2)
                meet |=
                    load64(w + (3 + c) * kBlockPixels + q) & load64(o + (3 + c) * kBlockPixels + q);
            agree &= ((meet & low7) + low7) | meet;
        }
        mismatches += __builtin_popcountll(~agree & high);
    }
    return mismatches;
}

template <int Planes>
bool portablePixelMismatches(const std::uint8_t* w, const std::uint8_t* o, std::size_t p)
{
    for (std::size_t c = 0; c < 3; ++c) {
        unsigned meet = w[c * kBlockPixels + p] & o[c * kBlockPixels + p];
        if constexpr (Planes == 2)
            meet |= w[(3 + c) * kBlockPixels + p] & o[(3 + c) * kBlockPixels + p];
        if (meet == 0)
            return true;
    }
    return false;
}

// The mismatches of the pixels the pardon is tested on (all but the one of
// lastBit), up to the point where they reach it: the count stops early there.
template <int Planes>
std::int32_t portableMismatches(const Layout& l, const std::uint8_t* w, const std::uint8_t* o)
{
    constexpr std::size_t blockBytes = kBlockPixels * 3 * Planes;
    std::int32_t mismatches = 0;
    for (std::size_t b = 0; b + 1 < l.blocks; ++b) {
        mismatches += portableBlockMismatches<Planes>(w + b * blockBytes, o + b * blockBytes);
        if (mismatches >= l.pardon)
            return mismatches;
    }
    const std::size_t last = (l.blocks - 1) * blockBytes;
    const bool lastMismatches =
        l.lastBit != 0 &&
        portablePixelMismatches<Planes>(w + last, o + last,
                                        static_cast<std::size_t>(std::countr_zero(l.lastBit)));
    return mismatches + portableBlockMismatches<Planes>(w + last, o + last) - lastMismatches;
}

template <int Planes, class Columns>
std::size_t portableScan(Layout l, const std::uint8_t* __restrict w, Columns columns, std::size_t n,
                         std::uint32_t* __restrict matches)
{
    std::size_t found = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t j = columns.at(k);
        matches[found] = j;
        found += portableMismatches<Planes>(l, w, l.data + std::size_t{j} * l.stride) < l.pardon;
    }
    return found;
}

#ifdef OVRIN_X86_KERNELS

__attribute__((target("avx2"), always_inline)) inline __m256i load(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// AVX2: half a block per step. The minimum of the three ANDs is zero exactly
// when one of them is, so one compare finds the mismatching pixels.
template <int Planes>
__attribute__((target("avx2,popcnt"), always_inline)) inline std::uint64_t
avx2Mask(const std::uint8_t* w, const std::uint8_t* o)
{
    std::uint64_t mask = 0;
    for (std::size_t h = 0; h < 2; ++h) {
        __m256i meet[3];
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t at = c * kBlockPixels + h * 32;
            meet[c] = _mm256_and_si256(load(w + at), load(o + at));
            if constexpr (Planes == 2) {
                const std::size_t up = at + 3 * kBlockPixels;
                meet[c] = _mm256_or_si256(meet[c], _mm256_and_si256(load(w + up), load(o + up)));
            }
        }
        const __m256i least = _mm256_min_epu8(meet[0], _mm256_min_epu8(meet[1], meet[2]));
        const auto zero = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(least, _mm256_setzero_si256())));
        mask |= std::uint64_t{zero} << (32 * h);
    }
    return mask;
}

template <int Planes, bool OneBlock>
__attribute__((target("avx2,popcnt"), always_inline)) inline bool
avx2Passes(const Layout& l, const std::uint8_t* __restrict w, const std::uint8_t* o)
{
    if constexpr (OneBlock) {
        return std::int32_t(__builtin_popcountll(avx2Mask<Planes>(w, o) & ~l.lastBit)) < l.pardon;
    } else {
        constexpr std::size_t blockBytes = kBlockPixels * 3 * Planes;
        std::int32_t mismatches = 0;
        for (std::size_t b = 0; b + 1 < l.blocks; ++b) {
            mismatches +=
                __builtin_popcountll(avx2Mask<Planes>(w + b * blockBytes, o + b * blockBytes));
            if (mismatches >= l.pardon)
                return false;
        }
        const std::size_t last = (l.blocks - 1) * blockBytes;
        return mismatches +
                   __builtin_popcountll(avx2Mask<Planes>(w + last, o + last) & ~l.lastBit) <
               l.pardon;
    }
}

template <int Planes, bool OneBlock, class Columns>
__attribute__((target("avx2,popcnt"))) std::size_t
avx2Scan(Layout l, const std::uint8_t* __restrict w, Columns columns, std::size_t n,
         std::uint32_t* __restrict matches)
{
    std::size_t found = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t j = columns.at(k);
        matches[found] = j;
        found += avx2Passes<Planes, OneBlock>(l, w, l.data + std::size_t{j} * l.stride);
    }
    return found;
}

// AVX-512: a whole block per step; the test instructions give the mask of
// pixels whose channel ANDs are zero directly.
template <int Planes>
__attribute__((target("avx512f,avx512bw,popcnt"), always_inline)) inline std::uint64_t
avx512Mask(const std::uint8_t* w, const std::uint8_t* o)
{
    if constexpr (Planes == 1) {
        const __m512i meetRed = _mm512_and_si512(_mm512_loadu_si512(w), _mm512_loadu_si512(o));
        const __m512i meetGreen =
            _mm512_and_si512(_mm512_loadu_si512(w + 64), _mm512_loadu_si512(o + 64));
        const __m512i least = _mm512_min_epu8(meetRed, meetGreen);
        return _mm512_testn_epi8_mask(least, least) |
               _mm512_testn_epi8_mask(_mm512_loadu_si512(w + 128), _mm512_loadu_si512(o + 128));
    } else {
        __mmask64 mask = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t at = c * kBlockPixels;
            const std::size_t up = at + 3 * kBlockPixels;
            const __m512i meet = _mm512_or_si512(
                _mm512_and_si512(_mm512_loadu_si512(w + at), _mm512_loadu_si512(o + at)),
                _mm512_and_si512(_mm512_loadu_si512(w + up), _mm512_loadu_si512(o + up)));
            mask |= _mm512_testn_epi8_mask(meet, meet);
        }
        return mask;
    }
}

template <int Planes, bool OneBlock>
__attribute__((target("avx512f,avx512bw,popcnt"), always_inline)) inline bool
avx512Passes(const Layout& l, const std::uint8_t* __restrict w, const std::uint8_t* o)
{
    if constexpr (OneBlock) {
        return std::int32_t(__builtin_popcountll(avx512Mask<Planes>(w, o) & ~l.lastBit)) < l.pardon;
    } else {
        constexpr std::size_t blockBytes = kBlockPixels * 3 * Planes;
        std::int32_t mismatches = 0;
        for (std::size_t b = 0; b + 1 < l.blocks; ++b) {
            mismatches +=
                __builtin_popcountll(avx512Mask<Planes>(w + b * blockBytes, o + b * blockBytes));
            if (mismatches >= l.pardon)
                return false;
        }
        const std::size_t last = (l.blocks - 1) * blockBytes;
        return mismatches +
                   __builtin_popcountll(avx512Mask<Planes>(w + last, o + last) & ~l.lastBit) <
               l.pardon;
    }
}

template <int Planes, bool OneBlock, class Columns>
__attribute__((target("avx512f,avx512bw,popcnt"))) std::size_t
avx512Scan(Layout l, const std::uint8_t* __restrict w, Columns columns, std::size_t n,
           std::uint32_t* __restrict matches)
{
    std::size_t found = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t j = columns.at(k);
        matches[found] = j;
        found += avx512Passes<Planes, OneBlock>(l, w, l.data + std::size_t{j} * l.stride);
    }
    return found;
}

// The matches of one column that countBlock remembers for its caller.
struct Pairs {
    SignatureMatrix::MatchPairs* out;
    std::uint32_t first;
    std::uint32_t column;
    void add(std::uint32_t k) const
    {
        if (out == nullptr)
            return;
        if (out->room == 0) {
            out->overflowed = true;
            return;
        }
        --out->room;
        out->values.push_back(first + k);
        out->values.push_back(column);
    }
};

// One column against a stretch of consecutive widened rows, for signatures of
// one block and one plane: every pair is compared, as the tests of a pair cost
// less than filtering by the sums and gathering the rows would. Adds each
// match to rowCounts[k] and to `pairs`; answers the matches.
// Four rows a step, first by the mismatches of red and blue alone: as many
// already fail the pardon, most pairs that do not match are settled so, with
// one branch for all four. The pairs left are tested on green as well, the
// key channel, in which the rows of a stretch are most alike. (Red alone
// settles random signatures sooner, but leaves many photographs of a kind
// open, each a branch mispredicted.)
#define OVRIN_COUNT_STRETCH(FIRST, REST)                                                           \
    const std::uint64_t tested = ~rows.lastBit;                                                    \
    const std::uint8_t* const data = rows.data;                                                    \
    const std::size_t stride = rows.stride;                                                        \
    const std::int32_t pardon = rows.pardon;                                                       \
    const auto passes = [&](std::uint64_t mismatches) {                                            \
        return std::int32_t(__builtin_popcountll(mismatches & tested)) < pardon;                   \
    };                                                                                             \
    std::uint32_t found = 0;                                                                       \
    const auto settle = [&](std::uint32_t k, std::uint64_t mismatches) {                           \
        if (passes(mismatches)) {                                                                  \
            ++rowCounts[k];                                                                        \
            ++found;                                                                               \
            pairs.add(k);                                                                          \
        }                                                                                          \
    };                                                                                             \
    std::uint32_t k = low;                                                                         \
    for (; k + 4 <= high; k += 4) {                                                                \
        const std::uint8_t* const first = data + std::size_t{k} * stride;                          \
        unsigned open = 0;                                                                         \
        for (unsigned i = 0; i < 4; ++i) {                                                         \
            const std::uint8_t* w = first + i * stride;                                            \
            open |= unsigned(passes(FIRST)) << i;                                                  \
        }                                                                                          \
        while (open != 0) {                                                                        \
            const auto i = static_cast<unsigned>(__builtin_ctz(open));                             \
            open &= open - 1;                                                                      \
            const std::uint8_t* w = first + i * stride;                                            \
            settle(k + i, (FIRST) | (REST));                                                       \
        }                                                                                          \
    }                                                                                              \
    for (; k < high; ++k) {                                                                        \
        const std::uint8_t* w = data + std::size_t{k} * stride;                                    \
        settle(k, (FIRST) | (REST));                                                               \
    }                                                                                              \
    return found

// The pixels of a block whose one channel disagrees, by its two halves.
__attribute__((target("avx2"), always_inline)) inline std::uint64_t
avx2ChannelMask(const __m256i* oneHot, const std::uint8_t* w)
{
    const __m256i zero = _mm256_setzero_si256();
    const auto low = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(oneHot[0], load(w)), zero)));
    const auto high = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(oneHot[1], load(w + 32)), zero)));
    return std::uint64_t{high} << 32 | low;
}

__attribute__((target("avx2,popcnt"))) std::uint32_t
avx2CountStretch(const Layout& rows, const std::uint8_t* column, std::uint32_t low,
                 std::uint32_t high, std::uint32_t* rowCounts, const Pairs& pairs)
{
    __m256i oneHot[6];
    for (std::size_t i = 0; i < 6; ++i)
        oneHot[i] = load(column + 32 * i);
    OVRIN_COUNT_STRETCH(avx2ChannelMask(oneHot, w) | avx2ChannelMask(oneHot + 4, w + 128),
                        avx2ChannelMask(oneHot + 2, w + 64));
}

__attribute__((target("avx512f,avx512bw,popcnt"))) std::uint32_t
avx512CountStretch(const Layout& rows, const std::uint8_t* column, std::uint32_t low,
                   std::uint32_t high, std::uint32_t* rowCounts, const Pairs& pairs)
{
    const __m512i red = _mm512_loadu_si512(column);
    const __m512i green = _mm512_loadu_si512(column + 64);
    const __m512i blue = _mm512_loadu_si512(column + 128);
    OVRIN_COUNT_STRETCH(_mm512_testn_epi8_mask(red, _mm512_load_si512(w)) |
                            _mm512_testn_epi8_mask(blue, _mm512_load_si512(w + 128)),
                        _mm512_testn_epi8_mask(green, _mm512_load_si512(w + 64)));
}
#undef OVRIN_COUNT_STRETCH

#endif

// The rows of a range whose channel sums lie within the bound of the row's.
// A filter may write up to kFilterSlack entries past the last it keeps.
constexpr std::size_t kFilterSlack = 16;
struct Sums {
    const std::int32_t* red;
    const std::int32_t* green;
    const std::int32_t* blue;
    std::int32_t rowRed, rowGreen, rowBlue, bound;
};
constexpr std::uint32_t kFilterStep = 256;

bool within(std::int32_t a, std::int32_t b, std::int32_t bound)
{
    const std::int64_t d = std::int64_t{a} - b;
    return d <= bound && -d <= bound;
}

std::size_t portableFilter(const Sums& s, std::uint32_t first, std::uint32_t last,
                           std::uint32_t* out)
{
    std::size_t kept = 0;
    for (std::uint32_t j = first; j < last; ++j) {
        out[kept] = j;
        // Branch-free on purpose: the three tests are summed as numbers.
        kept += static_cast<std::size_t>(static_cast<int>(within(s.red[j], s.rowRed, s.bound)) &
                                         static_cast<int>(within(s.green[j], s.rowGreen, s.bound)) &
                                         static_cast<int>(within(s.blue[j], s.rowBlue, s.bound)));
    }
    return kept;
}

#ifdef OVRIN_X86_KERNELS

// Sums are at most 15 * 65,536 and the bound is at most their range, so the
// differences fit 32 bits.
__attribute__((target("avx2"), always_inline)) inline __m256i
avx2Outside(const std::int32_t* sums, __m256i row, __m256i bound)
{
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
    return _mm256_cmpgt_epi32(_mm256_abs_epi32(_mm256_sub_epi32(v, row)), bound);
}

__attribute__((target("avx2,popcnt"))) std::size_t
avx2Filter(const Sums& s, std::uint32_t first, std::uint32_t last, std::uint32_t* out)
{
    const __m256i red = _mm256_set1_epi32(s.rowRed);
    const __m256i green = _mm256_set1_epi32(s.rowGreen);
    const __m256i blue = _mm256_set1_epi32(s.rowBlue);
    const __m256i bound = _mm256_set1_epi32(s.bound);
    std::size_t kept = 0;
    std::uint32_t j = first;
    for (; j + 8 <= last; j += 8) {
        const __m256i far = _mm256_or_si256(avx2Outside(s.red + j, red, bound),
                                            _mm256_or_si256(avx2Outside(s.green + j, green, bound),
                                                            avx2Outside(s.blue + j, blue, bound)));
        auto mask =
            static_cast<std::uint32_t>(~_mm256_movemask_ps(_mm256_castsi256_ps(far))) & 0xFFu;
        while (mask != 0) {
            out[kept++] = j + static_cast<std::uint32_t>(__builtin_ctz(mask));
            mask &= mask - 1;
        }
    }
    return kept + portableFilter(s, j, last, out + kept);
}

__attribute__((target("avx512f"), always_inline)) inline __mmask16
avx512Near(__m512i v, __m512i row, __m512i bound)
{
    const __m512i d = _mm512_sub_epi32(v, row);
    return _mm512_cmple_epi32_mask(d, bound) &
           _mm512_cmple_epi32_mask(_mm512_sub_epi32(_mm512_setzero_si512(), bound), d);
}

__attribute__((target("avx512f,avx512bw,popcnt"))) std::size_t
avx512Filter(const Sums& s, std::uint32_t first, std::uint32_t last, std::uint32_t* out)
{
    const __m512i red = _mm512_set1_epi32(s.rowRed);
    const __m512i green = _mm512_set1_epi32(s.rowGreen);
    const __m512i blue = _mm512_set1_epi32(s.rowBlue);
    const __m512i bound = _mm512_set1_epi32(s.bound);
    const __m512i steps = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    std::size_t kept = 0;
    for (std::uint32_t j = first; j < last; j += 16) {
        const __mmask16 valid =
            last - j >= 16 ? __mmask16(0xFFFF) : static_cast<__mmask16>((1u << (last - j)) - 1);
        const __m512i r = _mm512_maskz_loadu_epi32(valid, s.red + j);
        const __m512i g = _mm512_maskz_loadu_epi32(valid, s.green + j);
        const __m512i b = _mm512_maskz_loadu_epi32(valid, s.blue + j);
        const __mmask16 near = valid & avx512Near(r, red, bound) & avx512Near(g, green, bound) &
                               avx512Near(b, blue, bound);
        const __m512i index = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int>(j)), steps);
        // Compressed in a register and stored whole: the masked compressing
        // store is microcoded and many times slower on some processors.
        _mm512_storeu_si512(out + kept, _mm512_maskz_compress_epi32(near, index));
        kept += static_cast<std::size_t>(__builtin_popcount(near));
    }
    return kept;
}

#endif

std::size_t filterSums(SignatureMatrix::Kernel kernel, const Sums& s, std::uint32_t first,
                       std::uint32_t last, std::uint32_t* out)
{
    switch (kernel) {
#ifdef OVRIN_X86_KERNELS
    case SignatureMatrix::Kernel::Avx512:
        return avx512Filter(s, first, last, out);
    case SignatureMatrix::Kernel::Avx2:
        return avx2Filter(s, first, last, out);
#endif
    default:
        return portableFilter(s, first, last, out);
    }
}

template <class Columns>
std::size_t dispatchScan(SignatureMatrix::Kernel kernel, const Layout& l, const std::uint8_t* w,
                         Columns columns, std::size_t n, std::uint32_t* matches)
{
    const bool one = l.blocks == 1;
    switch (kernel) {
#ifdef OVRIN_X86_KERNELS
    case SignatureMatrix::Kernel::Avx512:
        if (l.planes == 1)
            return one ? avx512Scan<1, true>(l, w, columns, n, matches)
                       : avx512Scan<1, false>(l, w, columns, n, matches);
        return one ? avx512Scan<2, true>(l, w, columns, n, matches)
                   : avx512Scan<2, false>(l, w, columns, n, matches);
    case SignatureMatrix::Kernel::Avx2:
        if (l.planes == 1)
            return one ? avx2Scan<1, true>(l, w, columns, n, matches)
                       : avx2Scan<1, false>(l, w, columns, n, matches);
        return one ? avx2Scan<2, true>(l, w, columns, n, matches)
                   : avx2Scan<2, false>(l, w, columns, n, matches);
#endif
    default:
        return l.planes == 1 ? portableScan<1>(l, w, columns, n, matches)
                             : portableScan<2>(l, w, columns, n, matches);
    }
}

std::int32_t clampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

bool SignatureMatrix::supports(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Portable:
        return true;
#ifdef OVRIN_X86_KERNELS
    case Kernel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case Kernel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("popcnt");
#endif
    default:
        return false;
    }
}

SignatureMatrix::Kernel SignatureMatrix::bestKernel()
{
    const char* portable = std::getenv("OVRIN_PORTABLE_KERNEL");
    if (portable != nullptr && *portable != '\0')
        return Kernel::Portable;
    for (const Kernel k : {Kernel::Avx512, Kernel::Avx2})
        if (supports(k))
            return k;
    return Kernel::Portable;
}

const char* SignatureMatrix::name(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Avx512:
        return "avx512";
    case Kernel::Avx2:
        return "avx2";
    default:
        return "portable";
    }
}

std::array<std::int32_t, 3> SignatureMatrix::channelSums(const std::int16_t* signature,
                                                         std::int32_t count, std::int32_t bits)
{
    std::array<std::int32_t, 3> sums{0, 0, 0};
    const auto b = static_cast<int>(static_cast<std::uint32_t>(bits) & 63u);
    if (b < 1 || b > 4)
        return sums;
    for (std::int32_t p = 0; p < count; ++p) {
        const auto value = static_cast<std::uint16_t>(signature[p]);
        for (std::size_t c = 0; c < 3; ++c)
            sums[c] += ((value >> (8 - 4 * c)) & 15) >> (4 - b);
    }
    return sums;
}

SignatureMatrix::SignatureMatrix(const std::int16_t* values, std::int32_t count,
                                 const std::vector<std::uint32_t>& order, std::int32_t bits,
                                 std::int32_t matchRate, Kernel kernel)
    : m_rows(order.size()), m_count(std::max(count, 0)),
      m_kernel(supports(kernel) ? kernel : Kernel::Portable)
{
    m_pardon = clampToInt32(std::int64_t{m_count} * (100 - std::int64_t{matchRate}) / 100);
    // A rate above 100 cannot be reached, even where its pardon truncates to zero.
    if (matchRate > 100)
        m_pardon = -1;
    const auto b = static_cast<int>(static_cast<std::uint32_t>(bits) & 63u);
    const bool keepsBits = b >= 1 && b <= 4;
    const int shift = keepsBits ? 4 - b : 0;
    const int largest = keepsBits ? (1 << b) - 1 : 0;
    m_planes = b == 4 ? 2 : 1;
    m_blocks = (static_cast<std::size_t>(m_count) + kBlockPixels - 1) / kBlockPixels;
    m_stride = m_blocks * kBlockPixels * 3 * static_cast<std::size_t>(m_planes);
    m_lastBit = m_count > 0 ? std::uint64_t{1} << ((m_count - 1) % 64) : 0;
    // Agreeing pixels move a channel sum by at most one, mismatching ones by at
    // most the largest reduced value, and a match has at most `pardon` of them.
    const std::int64_t mismatching = std::clamp<std::int64_t>(m_pardon, 0, m_count);
    m_sumBound = clampToInt32(std::int64_t{m_count} + (largest - 1) * mismatching);
    if (largest == 0)
        m_sumBound = 0;

    m_storage.assign(m_rows * m_stride + kAlignment, 0xFF);
    const auto address = reinterpret_cast<std::uintptr_t>(m_storage.data());
    m_data = m_storage.data() + (kAlignment - address % kAlignment) % kAlignment;
    m_sums.assign(m_rows * 3, 0);

    for (std::size_t row = 0; row < m_rows; ++row) {
        const std::int16_t* signature = values + std::size_t{order[row]} * std::size_t(m_count);
        std::uint8_t* out = m_data + row * m_stride;
        const auto sums = channelSums(signature, m_count, bits);
        for (std::size_t c = 0; c < 3; ++c)
            m_sums[c * m_rows + row] = sums[c];
        for (std::size_t p = 0; p < static_cast<std::size_t>(m_count); ++p) {
            const auto value = static_cast<std::uint16_t>(signature[p]);
            const std::size_t block = p / kBlockPixels;
            const std::size_t at = p % kBlockPixels;
            std::uint8_t* blockStart = out + block * kBlockPixels * 3 * std::size_t(m_planes);
            for (std::size_t c = 0; c < 3; ++c) {
                if (!keepsBits)
                    continue; // stays 0xFF: every pixel agrees
                const int reduced = ((value >> (8 - 4 * c)) & 15) >> shift;
                const unsigned oneHot = 1u << reduced;
                blockStart[c * kBlockPixels + at] = static_cast<std::uint8_t>(oneHot & 0xFF);
                if (m_planes == 2)
                    blockStart[(3 + c) * kBlockPixels + at] =
                        static_cast<std::uint8_t>(oneHot >> 8);
            }
        }
    }
}

SignatureMatrix::Layout SignatureMatrix::layout() const
{
    // A pardon of zero lets no pixel mismatch, the last one included (rather
    // than rejecting before the first pixel, even an identical picture).
    if (m_pardon == 0)
        return Layout{m_data, m_stride, m_blocks, 0, 1, m_planes};
    return Layout{m_data, m_stride, m_blocks, m_lastBit, m_pardon, m_planes};
}

void SignatureMatrix::widen(std::size_t row, std::uint8_t* out) const
{
    const std::uint8_t* in = m_data + row * m_stride;
    const std::size_t blockBytes = kBlockPixels * 3 * std::size_t(m_planes);
    for (std::size_t b = 0; b < m_blocks; ++b) {
        for (std::size_t i = 0; i < kBlockPixels * 3; ++i) {
            const std::size_t low = b * blockBytes + i;
            const std::size_t high = low + kBlockPixels * 3;
            const unsigned hot =
                m_planes == 2 ? unsigned(in[low]) | unsigned(in[high]) << 8 : unsigned(in[low]);
            const unsigned wide = hot | hot << 1 | hot >> 1;
            out[low] = static_cast<std::uint8_t>(wide & 0xFF);
            if (m_planes == 2)
                out[high] = static_cast<std::uint8_t>((wide >> 8) & 0xFF);
        }
    }
}

std::size_t SignatureMatrix::scanSums(std::size_t row, const std::uint8_t* widened,
                                      const std::int32_t* sums, std::size_t stride,
                                      const std::uint32_t* rows, std::size_t from, std::size_t to,
                                      std::uint32_t* matches, std::uint64_t& compared) const
{
    if (!anyCanMatch())
        return 0;
    const Layout l = layout();
    const Sums view{sums,        sums + stride,        sums + 2 * stride,
                    m_sums[row], m_sums[m_rows + row], m_sums[2 * m_rows + row],
                    m_sumBound};
    std::uint32_t candidates[kFilterStep + kFilterSlack];
    std::size_t found = 0;
    for (std::size_t start = from; start < to;) {
        const std::size_t end = std::min<std::size_t>(to, start + kFilterStep);
        const std::size_t kept = filterSums(m_kernel, view, static_cast<std::uint32_t>(start),
                                            static_cast<std::uint32_t>(end), candidates);
        if (rows != nullptr)
            for (std::size_t k = 0; k < kept; ++k)
                candidates[k] = rows[candidates[k]];
        compared += kept;
        found += dispatchScan(m_kernel, l, widened, ListColumns{candidates}, kept, matches + found);
        start = end;
    }
    return found;
}

std::uint64_t SignatureMatrix::countBlock(const std::uint8_t* widened, std::uint32_t first,
                                          std::uint32_t last, const std::uint32_t* ends,
                                          std::uint32_t* rowCounts, std::uint32_t* columnCounts,
                                          MatchPairs* pairs) const
{
    if (!anyCanMatch() || last <= first)
        return 0;
    const std::uint32_t size = last - first;
    // The block's sums side by side, for the filter.
    std::vector<std::int32_t> sums(std::size_t{size} * 3);
    for (std::size_t c = 0; c < 3; ++c)
        for (std::uint32_t k = 0; k < size; ++k)
            sums[c * size + k] = m_sums[c * m_rows + first + k];
    // The block's widened rows take the place of columns: the relation is
    // symmetric, and the one-hot column meets a widened row as a widened row
    // meets a one-hot column.
    Layout rows = layout();
    rows.data = widened;
    const bool stretch =
        m_planes == 1 && m_blocks == 1 && (m_kernel == Kernel::Avx512 || m_kernel == Kernel::Avx2);
    std::vector<std::uint32_t> candidates(size + kFilterSlack);
    std::vector<std::uint32_t> matches(size);
    std::uint64_t compared = 0;
    std::uint32_t low = 0; // rows before this one have ended
    const std::uint32_t end = ends[last - 1];
    for (std::uint32_t column = first + 1; column < end; ++column) {
        while (low < size && ends[first + low] <= column)
            ++low;
        const std::uint32_t high = std::min(size, column - first);
        if (low >= high)
            continue;
        const Pairs remembered{pairs, first, column};
#ifdef OVRIN_X86_KERNELS
        if (stretch) {
            const std::uint8_t* oneHot = m_data + std::size_t{column} * m_stride;
            compared += high - low;
            columnCounts[column] +=
                m_kernel == Kernel::Avx512
                    ? avx512CountStretch(rows, oneHot, low, high, rowCounts, remembered)
                    : avx2CountStretch(rows, oneHot, low, high, rowCounts, remembered);
            continue;
        }
#endif
        const Sums view{
            sums.data(),    sums.data() + size,      sums.data() + 2 * std::size_t{size},
            m_sums[column], m_sums[m_rows + column], m_sums[2 * m_rows + column],
            m_sumBound};
        const std::size_t kept = filterSums(m_kernel, view, low, high, candidates.data());
        compared += kept;
        const std::size_t found =
            dispatchScan(m_kernel, rows, m_data + std::size_t{column} * m_stride,
                         ListColumns{candidates.data()}, kept, matches.data());
        for (std::size_t k = 0; k < found; ++k) {
            ++rowCounts[matches[k]];
            remembered.add(matches[k]);
        }
        columnCounts[column] += static_cast<std::uint32_t>(found);
    }
    return compared;
}

SignatureMatrix::Subset SignatureMatrix::subset(std::vector<std::uint32_t> rows) const
{
    Subset s;
    s.sums.resize(rows.size() * 3);
    for (std::size_t c = 0; c < 3; ++c)
        for (std::size_t k = 0; k < rows.size(); ++k)
            s.sums[c * rows.size() + k] = m_sums[c * m_rows + rows[k]];
    s.rows = std::move(rows);
    return s;
}

std::size_t SignatureMatrix::scanSubset(std::size_t row, const std::uint8_t* widened,
                                        const Subset& subset, std::size_t from, std::size_t to,
                                        std::uint32_t* matches, std::uint64_t& compared) const
{
    return scanSums(row, widened, subset.sums.data(), subset.rows.size(), subset.rows.data(), from,
                    std::min(to, subset.rows.size()), matches, compared);
}

} // namespace ovrin
