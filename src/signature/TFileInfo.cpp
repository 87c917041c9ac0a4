#include "signature/TFileInfo.h"

#include "platform/imaging/ImageLoader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ovrin {

namespace {

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
int blockMismatches(const std::uint16_t* target, const std::uint16_t* candidate, std::int32_t n,
                    int shift)
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
int fullBlockMismatches(const std::uint16_t* target, const std::uint16_t* candidate, int shift)
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
std::int32_t countMismatches(const std::uint16_t* target, const std::uint16_t* candidate,
                             std::int32_t count, std::int32_t limit, bool lastTested, int shift)
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
std::optional<std::int32_t> rateOf(std::int32_t mismatches, std::int64_t count)
{
    if (mismatches < 0)
        return std::nullopt;
    return static_cast<std::int32_t>((count - mismatches) * 100 / count);
}

std::int32_t clampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

TFileInfo::TFileInfo(std::string path) : m_filePath(std::move(path)) {}

void TFileInfo::setMatchRate(std::int32_t rate)
{
    m_matchRate = rate;
    m_matchRateNumber = rate;
}

void TFileInfo::setThumbnail(const std::int16_t* values, std::int32_t count)
{
    if (values == nullptr || count < 0)
        count = 0;
    m_thumbnail.assign(values, values + count);
    m_thumbnailCount = count;
}

void TFileInfo::setThumbnail(std::vector<std::int16_t> values)
{
    if (values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        values.clear();
    m_thumbnailCount = static_cast<std::int32_t>(values.size());
    m_thumbnail = std::move(values);
}

std::int32_t TFileInfo::calcPardon(std::int32_t percent) const
{
    // Wide arithmetic: a stored match rate can be any 32-bit value, and the
    // product must not overflow. For sane rates the result is the same.
    return clampToInt32(static_cast<std::int64_t>(m_thumbnailCount) * percent / 100);
}

std::int16_t TFileInfo::packColor(float red, float green, float blue)
{
    const auto level = [](float fraction) {
        const float scaled = std::clamp(fraction * 255.0f, 0.0f, 255.0f);
        return static_cast<int>(scaled); // truncation toward zero, as the format wants
    };
    const int r = level(red);
    const int g = level(green);
    const int b = level(blue);
    return static_cast<std::int16_t>(((r >> 4) << 8) + (g & ~15) + (b >> 4));
}

bool TFileInfo::makeThumbnail(std::int32_t pixelNumber)
{
    return loadThumbnail(pixelNumber) == platform::LoadFailure::None;
}

platform::LoadFailure TFileInfo::loadThumbnail(std::int32_t pixelNumber,
                                               const std::atomic<bool>* proceed)
{
    m_fine.reset();
    if (!m_filePath || m_filePath->empty())
        return platform::LoadFailure::Missing;
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber)
        return platform::LoadFailure::NotAnImage;
    return takeRaster(pixelNumber,
                      platform::ImageLoader::loadThumbnail(*m_filePath, pixelNumber, proceed,
                                                           FineSignature::kGridSide));
}

platform::LoadFailure TFileInfo::loadThumbnail(std::int32_t pixelNumber, int fd,
                                               const std::atomic<bool>* proceed)
{
    m_fine.reset();
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber) {
        ::close(fd);
        return platform::LoadFailure::NotAnImage;
    }
    // the path still tells apart the formats known by name
    const std::string_view name = m_filePath ? std::string_view(*m_filePath) : std::string_view();
    return takeRaster(pixelNumber, platform::ImageLoader::loadThumbnail(
                                       fd, pixelNumber, proceed, FineSignature::kGridSide, name));
}

platform::LoadFailure TFileInfo::takeRaster(std::int32_t pixelNumber,
                                            const platform::LoadResult& loaded)
{
    if (!loaded.raster)
        return loaded.failure == platform::LoadFailure::None ? platform::LoadFailure::NotAnImage
                                                             : loaded.failure;
    const platform::ThumbnailRaster& raster = *loaded.raster;
    const int n = pixelNumber;
    std::vector<std::int16_t> values(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    std::size_t index = 0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const platform::ColorFraction c = raster.colorAt(x, y);
            values[index++] = packColor(c.red, c.green, c.blue);
        }
    }
    m_thumbnail = std::move(values);
    m_thumbnailCount = n * n;
    constexpr auto kGridCells = static_cast<std::size_t>(FineSignature::kGridSide) *
                                static_cast<std::size_t>(FineSignature::kGridSide);
    if (loaded.luminance.size() == kGridCells) {
        const auto size = [](std::int64_t pixels) {
            return static_cast<std::uint32_t>(
                std::clamp<std::int64_t>(pixels, 0, std::numeric_limits<std::uint32_t>::max()));
        };
        m_fine = FineSignature::fromLuminance(loaded.luminance.data(), size(loaded.width),
                                              size(loaded.height));
    }
    return platform::LoadFailure::None;
}

std::int64_t TFileInfo::channelDistance(const std::int16_t* a, const std::int16_t* b,
                                        std::int32_t count)
{
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto x = static_cast<std::uint16_t>(a[i]);
        const auto y = static_cast<std::uint16_t>(b[i]);
        for (const int shift : {8, 4, 0})
            sum += std::abs(((x >> shift) & 15) - ((y >> shift) & 15));
    }
    return sum;
}

double TFileInfo::likeness(const TFileInfo& target, const TFileInfo& hit)
{
    if (target.fine() && hit.fine())
        return fineScore(*target.fine(), *hit.fine());
    const std::vector<std::int16_t>& a = target.thumbnail();
    const std::vector<std::int16_t>& b = hit.thumbnail();
    if (a.empty() || a.size() != b.size())
        return 0.0;
    return likeness(a.data(), b.data(), static_cast<std::int32_t>(a.size()));
}

double TFileInfo::likeness(const std::int16_t* a, const std::int16_t* b, std::int32_t count)
{
    if (count <= 0)
        return 0.0;
    const auto worst = static_cast<double>(count) * 3.0 * 15.0;
    return 100.0 * (1.0 - static_cast<double>(channelDistance(a, b, count)) / worst);
}

namespace {

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

Setup setUp(bool haveBoth, std::int32_t count, std::int32_t bits, std::int32_t matchRate)
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

} // namespace

std::optional<std::int32_t> TFileInfo::compareSignatures(const std::int16_t* target,
                                                         const std::int16_t* candidate,
                                                         std::int32_t count, std::int32_t bits,
                                                         std::int32_t matchRate)
{
    const Setup setup = setUp(target != nullptr && candidate != nullptr, count, bits, matchRate);
    if (setup.settled)
        return setup.verdict;
    return rateOf(countMismatches<8, 4, 0>(reinterpret_cast<const std::uint16_t*>(target),
                                           reinterpret_cast<const std::uint16_t*>(candidate), count,
                                           setup.limit, setup.lastTested, setup.shift),
                  count);
}

// The kernels of StoredComparison. A stored value is two bytes: the first holds
// red in its low four bits (its high four bits belong to no channel), the
// second green high and blue low. Reduced to the compared bits, a channel c of
// the candidate agrees with the target's t when t + 1 - c, as a byte, is at
// most 2; the target's side is prepared as t + 1 per byte, so a pixel costs a
// subtraction per byte and a saturating test.
struct StoredKernels {
    static std::int32_t portable(const TFileInfo::StoredComparison& c, const std::uint8_t* stored)
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

    static std::int32_t sse2(const TFileInfo::StoredComparison& c, const std::uint8_t* stored)
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

    __attribute__((target("avx2,popcnt"))) static std::int32_t
    avx2(const TFileInfo::StoredComparison& c, const std::uint8_t* stored)
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
    static void layOut(TFileInfo::StoredComparison& c, const std::vector<std::int16_t>& target,
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

bool TFileInfo::StoredComparison::isAvailable(StoredKernel kernel)
{
#if defined(__x86_64__)
    if (kernel == StoredKernel::Avx2)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return true;
#else
    return kernel == StoredKernel::Portable;
#endif
}

TFileInfo::StoredComparison::StoredComparison(const std::vector<std::int16_t>& target,
                                              std::int32_t bits, std::int32_t matchRate)
    : StoredComparison(target, bits, matchRate,
                       isAvailable(StoredKernel::Avx2)   ? StoredKernel::Avx2
                       : isAvailable(StoredKernel::Sse2) ? StoredKernel::Sse2
                                                         : StoredKernel::Portable)
{}

TFileInfo::StoredComparison::StoredComparison(const std::vector<std::int16_t>& target,
                                              std::int32_t bits, std::int32_t matchRate,
                                              StoredKernel kernel)
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

bool TFileInfo::isEqualThumbnail(std::int32_t bits, std::int32_t matchRate, TFileInfo& info) const
{
    if (m_thumbnailCount != info.thumbnailCount())
        return false;
    const auto rate = compareSignatures(m_thumbnail.data(), info.thumbnail().data(),
                                        m_thumbnailCount, bits, matchRate);
    if (!rate)
        return false;
    info.setMatchRate(*rate);
    return true;
}

bool TFileInfo::checkGraphicFile(const std::string& path)
{
    return diagnoseGraphicFile(path) == platform::LoadFailure::None;
}

platform::LoadFailure TFileInfo::diagnoseGraphicFile(const std::string& path)
{
    TFileInfo info(path);
    return info.loadThumbnail(8);
}

} // namespace ovrin
