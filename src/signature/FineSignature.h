#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace ovrin {

// How close in structure two pictures must be to count as copies of one
// another in a look-alike group.
enum class Similarity : std::uint8_t { Strict, Normal, Loose };

// "strict", "normal", "loose"; no value for any other text.
std::optional<Similarity> parseSimilarity(std::string_view text);
const char* similarityName(Similarity similarity);

// What a finer comparison of structure needs of a picture beside its colour
// signature: its size as seen, and a fingerprint of its luminance that does
// not move with brightness and contrast.
struct FineSignature {
    // The luminance grid a fingerprint is made from: kGridSide x kGridSide
    // 8-bit levels, row by row from the top left, the picture turned upright.
    static constexpr int kGridSide = 32;
    // Bytes the fingerprint takes in an index file.
    static constexpr std::size_t kStoredSize = 24;

    std::uint32_t width = 0; // the picture's pixels as seen, orientation applied
    std::uint32_t height = 0;
    std::uint64_t print = 0;

    bool operator==(const FineSignature&) const = default;

    static FineSignature fromLuminance(const std::uint8_t* grid, std::uint32_t width,
                                       std::uint32_t height);

    // kStoredSize bytes, big-endian.
    void store(std::uint8_t* out) const;
    // No value when the bytes are too few or cannot be a fingerprint.
    static std::optional<FineSignature> load(std::span<const std::uint8_t> bytes);
};

// How alike two pictures are in structure, from 0 (nothing in common) to 100
// (the same).
double fineScore(const FineSignature& a, const FineSignature& b);
// Whether two pictures are copies of one another at a strictness.
bool fineAccepts(const FineSignature& a, const FineSignature& b, Similarity similarity);

} // namespace ovrin
