#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovrin {

// TFileInfo::compareSignatures with the candidates as an index file stores them:
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

} // namespace ovrin
