#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovrin {

// Folders as stored: one file URL a line, which holds every byte of a path and
// never a line end. A line that names no absolute local path is passed over.
std::string folderUrls(const std::vector<std::string>& folders);
std::vector<std::string> foldersFromUrls(const std::optional<std::string>& stored);

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
