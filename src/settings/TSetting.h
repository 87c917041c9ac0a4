#pragma once

#include "settings/SearchParameters.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ovrin {

// The ten values that survive from one run to the next, stored in the
// per-user preferences under the field names.
class TSetting {
public:
    static constexpr std::int32_t kVersion = 256;

    TSetting() = default;

    std::int32_t version() const { return m_version; }
    void setVersion(std::int32_t version) { m_version = version; }
    const std::string& targetFilePath() const { return m_targetFilePath; }
    // The string setters change nothing when given no string.
    void setTargetFilePath(const std::optional<std::string>& path);
    const std::string& topDirPath() const { return m_topDirPath; }
    void setTopDirPath(const std::optional<std::string>& path);
    const std::string& indexFilePath() const { return m_indexFilePath; }
    void setIndexFilePath(const std::optional<std::string>& path);
    std::int32_t bits() const { return m_bits; }
    void setBits(std::int32_t bits) { m_bits = bits; }
    std::int32_t matchRate() const { return m_matchRate; }
    void setMatchRate(std::int32_t rate) { m_matchRate = rate; }
    std::int32_t pixelNumber() const { return m_pixelNumber; }
    void setPixelNumber(std::int32_t number) { m_pixelNumber = number; }
    SearchMethod searchMethod() const { return m_searchMethod; }
    void setSearchMethod(SearchMethod method) { m_searchMethod = method; }
    // Searches also find turned and mirrored copies; off where never stored.
    bool anyOrientation() const { return m_anyOrientation; }
    void setAnyOrientation(bool any) { m_anyOrientation = any; }
    // The last target was a picture pasted or dropped as data, which is not
    // kept: the target path is then empty rather than one that never existed.
    bool targetPasted() const { return m_targetPasted; }
    void setTargetPasted(bool pasted) { m_targetPasted = pasted; }

    void copyFrom(const TSetting& other) { *this = other; }
    std::unique_ptr<TSetting> clone() const { return std::make_unique<TSetting>(*this); }
    bool equals(const TSetting& other) const;

    // Loads the record from the preferences; yes when settings had been stored.
    bool beginning();
    // Saves all ten values and writes the store out.
    void ending();

private:
    std::int32_t m_version = 0;
    std::string m_targetFilePath;
    std::string m_topDirPath;
    std::string m_indexFilePath;
    std::int32_t m_bits = search::kDefaultBits;
    std::int32_t m_matchRate = search::kDefaultMatchRate;
    std::int32_t m_pixelNumber = search::kDefaultPixelNumber;
    SearchMethod m_searchMethod = search::kDefaultMethod;
    bool m_anyOrientation = false;
    bool m_targetPasted = false;
};

} // namespace ovrin
