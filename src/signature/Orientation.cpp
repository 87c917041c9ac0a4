#include "signature/Orientation.h"

#include "signature/TFileInfo.h"

#include <cmath>

namespace ovrin {

const char* orientationName(Orientation orientation)
{
    switch (orientation) {
    case Orientation::Turned90:
        return "turned 90\u00b0";
    case Orientation::Turned180:
        return "turned 180\u00b0";
    case Orientation::Turned270:
        return "turned 270\u00b0";
    case Orientation::Mirrored:
        return "mirrored";
    case Orientation::MirroredTurned90:
        return "mirrored, turned 90\u00b0";
    case Orientation::Flipped:
        return "flipped";
    case Orientation::MirroredTurned270:
        return "mirrored, turned 270\u00b0";
    case Orientation::Upright:
        break;
    }
    return "upright";
}

std::int32_t gridSide(std::int32_t count)
{
    if (count <= 0)
        return 0;
    auto side = static_cast<std::int32_t>(std::lround(std::sqrt(static_cast<double>(count))));
    return static_cast<std::int64_t>(side) * side == count ? side : 0;
}

namespace {

template <typename Value>
std::vector<Value> turnedGrid(const Value* values, std::int32_t side, Orientation orientation)
{
    const auto n = static_cast<std::size_t>(side);
    std::vector<Value> out(n * n);
    const auto code = static_cast<int>(orientation);
    const bool mirrored = code >= 4;
    const int turns = code % 4;
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x) {
            std::size_t r = y;
            std::size_t c = mirrored ? n - 1 - x : x;
            for (int t = 0; t < turns; ++t) { // a clockwise quarter turn
                const std::size_t row = c;
                c = n - 1 - r;
                r = row;
            }
            out[r * n + c] = values[y * n + x];
        }
    return out;
}

} // namespace

std::vector<std::int16_t> orientGrid(const std::int16_t* values, std::int32_t side,
                                     Orientation orientation)
{
    return turnedGrid(values, side, orientation);
}

std::vector<std::uint8_t> orientGrid(const std::uint8_t* values, std::int32_t side,
                                     Orientation orientation)
{
    return turnedGrid(values, side, orientation);
}

namespace {

// The forms a target is compared in, the upright one first and none twice.
std::vector<OrientedTarget::Form> formsOf(const std::vector<std::int16_t>& target,
                                          bool anyOrientation,
                                          const std::optional<FineSignature>& fine = std::nullopt,
                                          const std::vector<std::uint8_t>& luminance = {})
{
    constexpr auto kFineSide = FineSignature::kGridSide;
    const bool confirmable =
        fine && luminance.size() == static_cast<std::size_t>(kFineSide) * kFineSide;
    std::vector<OrientedTarget::Form> forms{{Orientation::Upright, target, std::nullopt}};
    const std::int32_t side = anyOrientation && target.size() <= std::size_t{1} << 30
                                  ? gridSide(static_cast<std::int32_t>(target.size()))
                                  : 0;
    if (side == 0)
        return forms;
    for (int k = 1; k < kOrientations; ++k) {
        const auto orientation = static_cast<Orientation>(k);
        OrientedTarget::Form form{orientation, orientGrid(target.data(), side, orientation),
                                  std::nullopt};
        if (confirmable) {
            const bool across = k % 2 == 1; // a quarter turn swaps width and height
            form.fine = FineSignature::fromLuminance(
                orientGrid(luminance.data(), kFineSide, orientation).data(),
                across ? fine->height : fine->width, across ? fine->width : fine->height);
        }
        bool seen = false;
        for (const OrientedTarget::Form& earlier : forms)
            seen = seen || (earlier.values == form.values && earlier.fine == form.fine);
        if (!seen)
            forms.push_back(std::move(form));
    }
    return forms;
}

} // namespace

OrientedTarget::OrientedTarget(const std::vector<std::int16_t>& target, bool anyOrientation)
    : m_forms(formsOf(target, anyOrientation))
{}

OrientedTarget::OrientedTarget(const TFileInfo& target, bool anyOrientation)
    : m_forms(formsOf(target.thumbnail(), anyOrientation, target.fine(), target.luminance()))
{
    if (m_forms.size() > 1)
        m_uprightFine = target.fine();
}

std::optional<OrientedMatch> OrientedTarget::compare(const std::int16_t* candidate,
                                                     std::int32_t count, std::int32_t bits,
                                                     std::int32_t matchRate,
                                                     const FineSignature* candidateFine) const
{
    std::optional<OrientedMatch> best;
    bool bestConfirmed = false;
    for (const Form& form : m_forms) {
        if (form.values.size() != static_cast<std::size_t>(count))
            return std::nullopt;
        const std::optional<FineSignature>& fine =
            form.orientation == Orientation::Upright ? m_uprightFine : form.fine;
        const bool checked = fine && candidateFine != nullptr;
        const bool confirmed = checked && fineAccepts(*fine, *candidateFine, Similarity::Normal);
        if (checked && !confirmed && form.orientation != Orientation::Upright)
            continue;
        const auto rate =
            TFileInfo::compareSignatures(form.values.data(), candidate, count, bits, matchRate);
        if (rate && (!best || confirmed > bestConfirmed ||
                     (confirmed == bestConfirmed && *rate > best->rate))) {
            best = OrientedMatch{*rate, form.orientation};
            bestConfirmed = confirmed;
        }
        // No later form can do better; while the fingerprint denies the best
        // one, a later form it confirms still would.
        if (best && best->rate >= 100 && (bestConfirmed || !checked))
            break;
    }
    return best;
}

bool OrientedTarget::matches(std::int32_t bits, std::int32_t matchRate, TFileInfo& candidate) const
{
    const std::optional<FineSignature>& fine = candidate.fine();
    const auto match = compare(candidate.thumbnail().data(), candidate.thumbnailCount(), bits,
                               matchRate, fine ? &*fine : nullptr);
    if (!match)
        return false;
    candidate.setMatchRate(match->rate);
    candidate.setOrientation(match->orientation);
    return true;
}

OrientedStoredComparison::OrientedStoredComparison(const std::vector<std::int16_t>& target,
                                                   std::int32_t bits, std::int32_t matchRate,
                                                   bool anyOrientation)
{
    for (OrientedTarget::Form& form : formsOf(target, anyOrientation))
        m_forms.emplace_back(form.orientation, StoredComparison(form.values, bits, matchRate));
}

std::optional<OrientedMatch> OrientedStoredComparison::rate(const std::uint8_t* stored,
                                                            std::size_t bytes) const
{
    std::optional<OrientedMatch> best;
    for (const auto& [orientation, comparison] : m_forms) {
        const auto rate = comparison.rate(stored, bytes);
        if (rate && (!best || *rate > best->rate))
            best = OrientedMatch{*rate, orientation};
        if (best && best->rate >= 100)
            break;
    }
    return best;
}

} // namespace ovrin
