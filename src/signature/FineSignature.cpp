#include "signature/FineSignature.h"

#include <bit>

namespace ovrin {

std::optional<Similarity> parseSimilarity(std::string_view text)
{
    if (text == "strict")
        return Similarity::Strict;
    if (text == "normal")
        return Similarity::Normal;
    if (text == "loose")
        return Similarity::Loose;
    return std::nullopt;
}

const char* similarityName(Similarity similarity)
{
    switch (similarity) {
    case Similarity::Strict:
        return "strict";
    case Similarity::Loose:
        return "loose";
    case Similarity::Normal:
        break;
    }
    return "normal";
}

FineSignature FineSignature::fromLuminance(const std::uint8_t* grid, std::uint32_t width,
                                           std::uint32_t height)
{
    // Placeholder: one bit per 4 x 2 block, above or below the mean.
    FineSignature fine;
    fine.width = width;
    fine.height = height;
    constexpr int side = kGridSide;
    unsigned total = 0;
    for (int i = 0; i < side * side; ++i)
        total += grid[i];
    const unsigned mean = total / (side * side);
    for (int b = 0; b < 64; ++b) {
        const int x = (b % 8) * 4;
        const int y = (b / 8) * 4;
        unsigned sum = 0;
        for (int dy = 0; dy < 4; ++dy)
            for (int dx = 0; dx < 4; ++dx)
                sum += grid[(y + dy) * side + x + dx];
        if (sum / 16 > mean)
            fine.print |= std::uint64_t{1} << b;
    }
    return fine;
}

void FineSignature::store(std::uint8_t* out) const
{
    const auto put = [&out](std::uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            *out++ = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(width, 4);
    put(height, 4);
    put(print, 8);
    put(0, 8);
}

std::optional<FineSignature> FineSignature::load(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kStoredSize)
        return std::nullopt;
    std::size_t at = 0;
    const auto get = [&](int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 8) | bytes[at++];
        return value;
    };
    FineSignature fine;
    fine.width = static_cast<std::uint32_t>(get(4));
    fine.height = static_cast<std::uint32_t>(get(4));
    fine.print = get(8);
    return fine;
}

double fineScore(const FineSignature& a, const FineSignature& b)
{
    return 100.0 * (64 - std::popcount(a.print ^ b.print)) / 64.0;
}

bool fineAccepts(const FineSignature& a, const FineSignature& b, Similarity similarity)
{
    const int allowed = similarity == Similarity::Strict  ? 6
                        : similarity == Similarity::Loose ? 16
                                                          : 10;
    return std::popcount(a.print ^ b.print) <= allowed;
}

} // namespace ovrin
