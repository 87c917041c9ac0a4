#pragma once

#include <array>
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
//
// The fingerprint is a hash of the picture's coarse shapes: the 90 lowest
// frequencies of the luminance grid's cosine transform (the constant one left
// out, so brightness does not count), one bit each, set where the frequency
// is clearly above their median (so contrast does not count either). Copies
// of one picture, resized, recompressed, slightly brightened or cropped by a
// few percent, share nearly all the bits they set; different pictures about
// a third; a mirrored copy, unless the picture is symmetric, no more.
// A picture of nearly one level has no shapes to hash; its spread of levels
// tells it from one that has, and its mean from another flat one.
struct FineSignature {
    // The luminance grid a fingerprint is made from: kGridSide x kGridSide
    // 8-bit levels, row by row from the top left, the picture turned upright.
    static constexpr int kGridSide = 32;
    // Bytes the fingerprint takes in an index file: a format byte, width,
    // height, mean, spread and the hash in 12 bytes.
    static constexpr std::size_t kStoredSize = 23;
    static constexpr int kHashBits = 90;
    static constexpr std::uint8_t kFormat = 1;

    std::uint32_t width = 0; // the picture's pixels as seen, orientation applied; 0 unknown
    std::uint32_t height = 0;
    std::uint8_t mean = 0; // the grid's mean level, rounded
    // The standard deviation of the grid's levels in quarter levels, at most 255.
    std::uint8_t spread = 0;
    // Bit i (of hash[i / 64]): frequency i in the order of the transform's
    // zigzag, u + v from 1 to 12.
    std::array<std::uint64_t, 2> hash{};

    bool operator==(const FineSignature&) const = default;

    // A grid of kGridSide * kGridSide levels.
    static FineSignature fromLuminance(const std::uint8_t* grid, std::uint32_t width,
                                       std::uint32_t height);

    // Whether the picture is too nearly of one level for its hash to mean anything.
    bool isFlat() const;

    // kStoredSize bytes, big-endian.
    void store(std::uint8_t* out) const;
    // No value when the bytes are too few or cannot be a fingerprint; bytes
    // beyond kStoredSize are ignored.
    static std::optional<FineSignature> load(std::span<const std::uint8_t> bytes);
};

// How alike two pictures are in structure, from 0 (nothing in common: hashes
// as far apart as unrelated ones, or one picture flat and the other not) to
// 100 (the same hash, and between flat pictures the same mean level); it
// falls as the share of differing bits grows and, between flat pictures, as
// their means part.
double fineScore(const FineSignature& a, const FineSignature& b);
// Whether two pictures are copies of one another at a strictness: aspect
// ratios near, and hashes close enough with spreads near, or both flat at
// near means with hashes not far apart.
bool fineAccepts(const FineSignature& a, const FineSignature& b, Similarity similarity);

} // namespace ovrin
