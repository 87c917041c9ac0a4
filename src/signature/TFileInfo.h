#pragma once

#include "platform/fs/LoadFailure.h"
#include "signature/FineSignature.h"
#include "signature/Orientation.h"

namespace ovrin::platform {
struct LoadResult;
}

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {

// One image file: its full path, its thumbnail signature and the match rate a
// comparison gave it. A signature for pixel number N holds N * N values, row by
// row from the top left; each packs red in bits 8-11, green in bits 4-7 and
// blue in bits 0-3, the top four bits of each 8-bit level.
class TFileInfo {
public:
    // Largest pixel number a signature is made at. Settings and index heads hand
    // it over unchecked, so the bound is what keeps a damaged value from asking
    // for gigabytes: 256 gives 65,536 values, 128 KiB per signature.
    static constexpr std::int32_t kMaxPixelNumber = 256;

    TFileInfo() = default;
    explicit TFileInfo(std::string path);

    const std::optional<std::string>& filePath() const { return m_filePath; }
    void setFilePath(std::optional<std::string> path) { m_filePath = std::move(path); }

    std::int32_t matchRate() const { return m_matchRate; }
    void setMatchRate(std::int32_t rate);
    // The rate as the results table shows it; no value until the first setMatchRate.
    std::optional<std::int32_t> matchRateNumber() const { return m_matchRateNumber; }
    // Which form of the target the rate was reached against (OrientedTarget).
    Orientation orientation() const { return m_orientation; }
    void setOrientation(Orientation orientation) { m_orientation = orientation; }

    const std::vector<std::int16_t>& thumbnail() const { return m_thumbnail; }
    std::int32_t thumbnailCount() const { return m_thumbnailCount; }
    // Copies the first count values; a negative count or no values give an empty signature.
    void setThumbnail(const std::int16_t* values, std::int32_t count);
    void setThumbnail(std::vector<std::int16_t> values);

    // The structure fingerprint made with the signature; none before a
    // picture was loaded, or where its loader gave no luminance grid.
    const std::optional<FineSignature>& fine() const { return m_fine; }
    void setFine(std::optional<FineSignature> fine) { m_fine = fine; }
    // The luminance grid the fingerprint was made from (FineSignature's
    // kGridSide squared levels), kept so that a target's fingerprint can be
    // made turned (OrientedTarget); empty where none came.
    const std::vector<std::uint8_t>& luminance() const { return m_luminance; }
    void setLuminance(std::vector<std::uint8_t> grid) { m_luminance = std::move(grid); }

    std::int32_t calcPardon(std::int32_t percent) const;

    // Builds the signature of the file at filePath(). Answers no, leaving any
    // earlier signature as it was, for a missing path, a pixel number outside
    // 1..kMaxPixelNumber or a file that is not a readable image.
    bool makeThumbnail(std::int32_t pixelNumber);
    // The same, saying why it failed (None on success). A cleared `proceed`
    // ends a decode early (Stopped).
    platform::LoadFailure loadThumbnail(std::int32_t pixelNumber,
                                        const std::atomic<bool>* proceed = nullptr);
    // The same for a file already open for reading; the descriptor is taken over.
    platform::LoadFailure loadThumbnail(std::int32_t pixelNumber, int fd,
                                        const std::atomic<bool>* proceed = nullptr);

    // Compares this (the target's) signature with the candidate's at the given
    // bits and least match rate; on yes the candidate's match rate is set.
    bool isEqualThumbnail(std::int32_t bits, std::int32_t matchRate, TFileInfo& info) const;

    // The comparison on bare signatures of `count` values: the rate a candidate
    // reaches, or no value when it is rejected.
    static std::optional<std::int32_t> compareSignatures(const std::int16_t* target,
                                                         const std::int16_t* candidate,
                                                         std::int32_t count, std::int32_t bits,
                                                         std::int32_t matchRate);

    static bool checkGraphicFile(const std::string& path);
    // Why checkGraphicFile says no (None when it says yes).
    static platform::LoadFailure diagnoseGraphicFile(const std::string& path);

    // A finer measure than the match rate, for ordering hits of equal rate:
    // the summed differences of all 4-bit channels of two signatures of
    // `count` values (0: identical), and the same as a likeness in percent
    // (100: identical, 0: every channel as far apart as it can be).
    static std::int64_t channelDistance(const std::int16_t* a, const std::int16_t* b,
                                        std::int32_t count);
    static double likeness(const std::int16_t* a, const std::int16_t* b, std::int32_t count);
    // The likeness of a hit to its target as results show it: fineScore where
    // both carry a fingerprint, the likeness of their signatures otherwise,
    // 0 when they cannot be compared. A hit in another orientation than the
    // target's is weighed by its signature against the target's turned one,
    // since a fingerprint's hash cannot be turned.
    static double likeness(const TFileInfo& target, const TFileInfo& hit);

    // One signature value from colour fractions of 0.0 to 1.0.
    static std::int16_t packColor(float red, float green, float blue);

private:
    platform::LoadFailure takeRaster(std::int32_t pixelNumber, const platform::LoadResult& loaded);

    std::optional<std::string> m_filePath;
    std::optional<std::int32_t> m_matchRateNumber;
    std::vector<std::int16_t> m_thumbnail;
    std::optional<FineSignature> m_fine;
    std::vector<std::uint8_t> m_luminance;
    std::int32_t m_thumbnailCount = 0;
    std::int32_t m_matchRate = 0;
    Orientation m_orientation = Orientation::Upright;
};

} // namespace ovrin
