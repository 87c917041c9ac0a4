#include "signature/TFileInfo.h"

#include "platform/ImageLoader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unistd.h>

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

// The comparison rule on 16-bit words whose channels lie at offsets R, G, B.
template <int R, int G, int B>
std::optional<std::int32_t> compareWords(const std::uint16_t* target,
                                         const std::uint16_t* candidate, std::int32_t count,
                                         std::int32_t pardon, int shift)
{
    // The pardon is tested before each pixel, so a candidate is rejected exactly
    // when the mismatches among all pixels but the last reach it; counting them
    // a block at a time gives the same verdict and still stops early.
    const std::int32_t last = count - 1;
    constexpr std::int32_t kBlock = 16;
    std::int32_t mismatches = 0;
    std::int32_t i = 0;
    for (; i + kBlock <= last; i += kBlock) {
        mismatches += fullBlockMismatches<R, G, B, kBlock>(target + i, candidate + i, shift);
        if (mismatches >= pardon)
            return std::nullopt;
    }
    mismatches += blockMismatches<R, G, B>(target + i, candidate + i, last - i, shift);
    if (mismatches >= pardon)
        return std::nullopt;
    mismatches += blockMismatches<R, G, B>(target + last, candidate + last, 1, shift);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(count - mismatches) * 100 / count);
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
    if (!m_filePath || m_filePath->empty())
        return platform::LoadFailure::Missing;
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber)
        return platform::LoadFailure::NotAnImage;
    return takeRaster(pixelNumber,
                      platform::ImageLoader::loadThumbnail(*m_filePath, pixelNumber, proceed));
}

platform::LoadFailure TFileInfo::loadThumbnail(std::int32_t pixelNumber, int fd,
                                               const std::atomic<bool>* proceed)
{
    if (pixelNumber < 1 || pixelNumber > kMaxPixelNumber) {
        ::close(fd);
        return platform::LoadFailure::NotAnImage;
    }
    return takeRaster(pixelNumber, platform::ImageLoader::loadThumbnail(fd, pixelNumber, proceed));
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
// a pardon of zero or less rejects before the first pixel, and bits that keep
// no channel make every pixel agree. Otherwise it gives the pardon and shift.
struct Setup {
    bool settled = true;
    std::optional<std::int32_t> verdict;
    std::int32_t pardon = 0;
    int shift = 0;
};

Setup setUp(bool haveBoth, std::int32_t count, std::int32_t bits, std::int32_t matchRate)
{
    Setup setup;
    if (count <= 0 || !haveBoth)
        return setup;
    setup.pardon = clampToInt32(static_cast<std::int64_t>(count) *
                                (100 - static_cast<std::int64_t>(matchRate)) / 100);
    if (setup.pardon <= 0)
        return setup;
    const ChannelReduction reduction(bits);
    if (!reduction.keepsBits) {
        setup.verdict = 100;
        return setup;
    }
    setup.settled = false;
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
    return compareWords<8, 4, 0>(reinterpret_cast<const std::uint16_t*>(target),
                                 reinterpret_cast<const std::uint16_t*>(candidate), count,
                                 setup.pardon, setup.shift);
}

std::vector<std::uint16_t> TFileInfo::storedWords(const std::vector<std::int16_t>& values)
{
    std::vector<std::uint16_t> words(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        words[i] = std::endian::native == std::endian::little
                       ? static_cast<std::uint16_t>((v << 8) | (v >> 8))
                       : v;
    }
    return words;
}

std::optional<std::int32_t> TFileInfo::compareStoredSignature(const std::uint16_t* targetWords,
                                                              const std::uint8_t* storedCandidate,
                                                              std::int32_t count, std::int32_t bits,
                                                              std::int32_t matchRate)
{
    const Setup setup =
        setUp(targetWords != nullptr && storedCandidate != nullptr, count, bits, matchRate);
    if (setup.settled)
        return setup.verdict;
    // Words may lie at any address in a read buffer; a small aligned copy is
    // cheaper than loading them one by one.
    std::uint16_t local[1024];
    std::vector<std::uint16_t> heap;
    std::uint16_t* words = local;
    if (count > 1024) {
        heap.resize(static_cast<std::size_t>(count));
        words = heap.data();
    }
    std::memcpy(words, storedCandidate, static_cast<std::size_t>(count) * 2);
    // On a little-endian host a stored word loads byte-swapped: red in bits
    // 0-3, green in 12-15, blue in 8-11.
    if constexpr (std::endian::native == std::endian::little)
        return compareWords<0, 12, 8>(targetWords, words, count, setup.pardon, setup.shift);
    else
        return compareWords<8, 4, 0>(targetWords, words, count, setup.pardon, setup.shift);
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
