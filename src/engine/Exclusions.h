#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

// What a person keeps out of every collection a run looks at: folders (the
// folder itself and everything under it, by the path as the walk builds it,
// links not resolved) and name patterns (shell globs: '*', '?', '[...]',
// matched byte for byte against a single file or folder name whatever the
// locale; '*' matches a leading '.' too, so ".*" and "*" reach hidden names).
// A path is left out when it lies in one of the folders or any of its names
// matches a pattern, so a folder search and a search of an index made from
// the same folder give the same pictures. A pattern holding '/' can match no
// name; the command line and the window take such text for a folder.
class Exclusions {
public:
    Exclusions() = default;
    // Folders that are not absolute and empty patterns are dropped; a folder
    // loses its final '/'.
    Exclusions(std::vector<std::string> folders, std::vector<std::string> patterns);

    const std::vector<std::string>& folders() const { return m_folders; }
    const std::vector<std::string>& patterns() const { return m_patterns; }
    bool empty() const { return m_folders.empty() && m_patterns.empty(); }

    // The path is one of the folders or lies under one (at a '/' boundary,
    // so "/a/b" holds "/a/b/x.jpg" but not "/a/bc").
    bool inFolder(std::string_view path) const;
    // One name, without '/'.
    bool matchesName(std::string_view name) const;
    // The whole path: in a folder, or any of its names matching.
    bool excludes(std::string_view path) const;

    bool operator==(const Exclusions&) const = default;

private:
    std::vector<std::string> m_folders;
    std::vector<std::string> m_patterns;
};

} // namespace ovrin
