#pragma once

#include "platform/fs/LoadFailure.h"
#include "signature/FineSignature.h"

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

    const std::vector<std::int16_t>& thumbnail() const { return m_thumbnail; }
    std::int32_t thumbnailCount() const { return m_thumbnailCount; }
    // Copies the first count values; a negative count or no values give an empty signature.
    void setThumbnail(const std::int16_t* values, std::int32_t count);
    void setThumbnail(std::vector<std::int16_t> values);

    // The structure fingerprint made with the signature; none before a
    // picture was loaded, or where its loader gave no luminance grid.
    const std::optional<FineSignature>& fine() const { return m_fine; }
    void setFine(std::optional<FineSignature> fine) { m_fine = fine; }

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

    // The same comparison with the candidates as an index file stores them:
    // big-endian 16-bit values compared where they lie, without decoding. The
    // target, bits and match rate are prepared once for a whole index.
    class StoredComparison {
    public:
        // Ways of comparing that give the same verdicts: the portable one, and
        // x86-64 vector instructions where the processor has them.
        enum class StoredKernel { Portable, Sse2, Avx2 };

        // With the fastest kernel this processor runs.
        StoredComparison(const std::vector<std::int16_t>& target, std::int32_t bits,
                         std::int32_t matchRate);
        // With the given kernel where the processor has it and the signature
        // fills one of its blocks (16 values, 32 for AVX2); the next slower one
        // otherwise.
        StoredComparison(const std::vector<std::int16_t>& target, std::int32_t bits,
                         std::int32_t matchRate, StoredKernel kernel);

        static bool isAvailable(StoredKernel kernel);

        // The rate of a candidate of `bytes` stored bytes (an odd last byte is
        // ignored), or no value when it is rejected or holds another number of
        // values than the target.
        std::optional<std::int32_t> rate(const std::uint8_t* stored, std::size_t bytes) const
        {
            if (bytes / 2 != m_count)
                return std::nullopt;
            if (m_settled)
                return m_verdict;
            const std::int64_t mismatches = m_kernel(*this, stored);
            if (mismatches < 0)
                return std::nullopt;
            const auto count = static_cast<std::int64_t>(m_count);
            return static_cast<std::int32_t>((count - mismatches) * 100 / count);
        }

    private:
        friend struct StoredKernels;
        // Mismatching pixels of a candidate, or -1 when they reach m_limit among
        // the tested pixels (all but the last, or all when m_lastTested).
        using KernelFunction = std::int32_t (*)(const StoredComparison&, const std::uint8_t*);

        KernelFunction m_kernel = nullptr;
        std::size_t m_count = 0;
        bool m_settled = true;
        std::optional<std::int32_t> m_verdict;
        std::int32_t m_limit = 0;
        bool m_lastTested = false;
        int m_shift = 0;
        // Portable: the target's values as words loaded straight from stored bytes.
        std::vector<std::uint16_t> m_words;
        // Vector kernels: per stored byte, the target's reduced low and high
        // channel plus one. m_blocks whole blocks from the first pixel lie
        // before the last pixel; the last block ends at the last pixel (it may
        // overlap them), and of it m_tailTested marks the pixels not counted
        // yet that the limit is tested on, m_tailLast the last pixel when it
        // is not among them.
        std::vector<std::uint8_t> m_low;
        std::vector<std::uint8_t> m_high;
        std::size_t m_blocks = 0;
        std::size_t m_tailStart = 0;
        std::uint32_t m_tailTested = 0;
        std::uint32_t m_tailLast = 0;
    };

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
    // 0 when they cannot be compared.
    static double likeness(const TFileInfo& target, const TFileInfo& hit);

    // One signature value from colour fractions of 0.0 to 1.0.
    static std::int16_t packColor(float red, float green, float blue);

private:
    platform::LoadFailure takeRaster(std::int32_t pixelNumber, const platform::LoadResult& loaded);

    std::optional<std::string> m_filePath;
    std::optional<std::int32_t> m_matchRateNumber;
    std::vector<std::int16_t> m_thumbnail;
    std::optional<FineSignature> m_fine;
    std::int32_t m_thumbnailCount = 0;
    std::int32_t m_matchRate = 0;
};

} // namespace ovrin
