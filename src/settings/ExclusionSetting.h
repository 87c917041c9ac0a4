#pragma once

#include <string>
#include <vector>

namespace ovrin {

// The folders and name patterns the window leaves out of every run, kept in
// the per-user preferences beside the settings record: the folders one file
// URL a line, as the preferred folders of groups are kept, and the patterns
// one a line with what a line could not hold (line ends, '%', bytes that are
// no ASCII) percent-encoded, so that every byte of both comes back.
struct ExclusionSetting {
    static constexpr const char* kFoldersKey = "Exclusions/folders";
    static constexpr const char* kPatternsKey = "Exclusions/patterns";

    std::vector<std::string> folders; // raw absolute paths
    std::vector<std::string> patterns;

    // None stored reads as none; a line that names no absolute local path is
    // passed over.
    static ExclusionSetting load();
    // Writes the store out at once; false when it could not be written.
    bool save() const;

    bool operator==(const ExclusionSetting&) const = default;
};

} // namespace ovrin
