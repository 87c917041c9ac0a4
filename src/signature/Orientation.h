#pragma once

#include "signature/FineSignature.h"
#include "signature/StoredComparison.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovrin {

class TFileInfo;

// How a hit lies against its target: the target turned clockwise by a
// quarter turn or more, or mirrored left to right first and then turned.
// Mirrored and turned by 180° is the picture upside down: "flipped".
enum class Orientation : std::uint8_t {
    Upright,
    Turned90,
    Turned180,
    Turned270,
    Mirrored,
    MirroredTurned90,
    Flipped,
    MirroredTurned270
};
inline constexpr int kOrientations = 8;

// "upright", "turned 90°", "turned 180°", "turned 270°", "mirrored",
// "mirrored, turned 90°", "flipped", "mirrored, turned 270°" (UTF-8).
const char* orientationName(Orientation orientation);

// The side of a square grid of `count` values; 0 when count is no square.
std::int32_t gridSide(std::int32_t count);

// A signature of side * side values as the picture turned that way gives it:
// turning a picture turns its grid cell for cell, whatever its aspect, since
// it is reduced along each axis on its own.
std::vector<std::int16_t> orientGrid(const std::int16_t* values, std::int32_t side,
                                     Orientation orientation);
// The same for a luminance grid, a fingerprint's source.
std::vector<std::uint8_t> orientGrid(const std::uint8_t* values, std::int32_t side,
                                     Orientation orientation);

// The best of a candidate's comparisons with the forms of a target, and the
// form that gave it: the first form in the enum's order among equal rates.
struct OrientedMatch {
    std::int32_t rate = 0;
    Orientation orientation = Orientation::Upright;
};

// A target's signature in the forms a search compares candidates with: the
// upright one alone, or all eight where asked and the signature is a square
// grid. A form equal to an earlier one (a symmetric picture) is left out,
// since it could only tie.
//
// Seven more forms give a stranger seven more chances to pass on colour
// alone, so a turned form counts only where the candidate's fingerprint is
// one of the target turned that way too (fineAccepts at Normal, the one made
// from the target's luminance grid turned as its signature is; turning a
// square grid is exact). Where the target has no grid or the candidate no
// fingerprint, colour alone decides, as it does for the upright form always:
// a search without the option is never narrowed.
//
// A copy turned by 180° of a picture whose colours lie alike all over
// matches upright as well as turned; the fingerprint tells which it is, so
// a form it confirms goes before one it denies, the best rate among either.
// It never decides whether a candidate is a hit, only how it lies.
class OrientedTarget {
public:
    OrientedTarget(const std::vector<std::int16_t>& target, bool anyOrientation);
    // The target's signature, and its fingerprint and luminance grid where it has them.
    OrientedTarget(const TFileInfo& target, bool anyOrientation);

    // The candidate's fingerprint, where given, confirms the turned forms.
    std::optional<OrientedMatch> compare(const std::int16_t* candidate, std::int32_t count,
                                         std::int32_t bits, std::int32_t matchRate,
                                         const FineSignature* candidateFine = nullptr) const;
    // Compares the candidate's signature at the bits and least match rate;
    // on yes the candidate's rate and form are set.
    bool matches(std::int32_t bits, std::int32_t matchRate, TFileInfo& candidate) const;

    // The forms compared, the upright one first, each turned one with the
    // target's fingerprint turned the same way where it could be made.
    struct Form {
        Orientation orientation;
        std::vector<std::int16_t> values;
        std::optional<FineSignature> fine;
    };
    const std::vector<Form>& forms() const { return m_forms; }

private:
    std::vector<Form> m_forms;
    // The target's own fingerprint, where turned forms are compared too:
    // it only ranks the upright form among them.
    std::optional<FineSignature> m_uprightFine;
};

// The same over stored signatures, each form prepared once for a whole index;
// on colour alone, as an index entry's fingerprint is read only after its
// signature matched (OrientedTarget confirms a turned one then).
class OrientedStoredComparison {
public:
    OrientedStoredComparison(const std::vector<std::int16_t>& target, std::int32_t bits,
                             std::int32_t matchRate, bool anyOrientation);

    std::optional<OrientedMatch> rate(const std::uint8_t* stored, std::size_t bytes) const;

private:
    std::vector<std::pair<Orientation, StoredComparison>> m_forms;
};

} // namespace ovrin
