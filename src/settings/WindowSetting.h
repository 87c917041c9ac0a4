#pragma once

#include "settings/SearchParameters.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {

// The window's own keys in the per-user preferences, beside the settings
// record. Nothing here is written out until write().
namespace windowsetting {

// The toolkit's saved states, as base64 text; empty when none is kept.
enum class State { Geometry, Splitter, Columns, GroupColumns, CompareGeometry };
std::string state(State which);
void setState(State which, const std::string& base64);

// The grouping's values, apart from the search's. The source is kept once a
// grouping has run; the names of the similarity and the copy to keep are
// kept apart from it, since a store of an older version has none of them.
struct Groups {
    struct Source {
        std::optional<SearchMethod> method; // none where the stored text is no number
        std::optional<std::string> folder;
        std::optional<std::string> index;
        std::optional<std::int32_t> bits;
        std::optional<std::int32_t> matchRate;
    };
    std::optional<Source> source;
    std::string similarity; // empty when none is kept
    std::string keep;
    std::vector<std::string> preferred; // raw paths
    bool anyOrientation = false;        // turned and mirrored copies too; off when none is kept
};
Groups groups();
void setGroups(const Groups::Source& source, const std::string& similarity, const std::string& keep,
               const std::vector<std::string>& preferred, bool anyOrientation = false);

// Folders whose copies are never marked for removal, stored as the preferred
// folders are.
std::vector<std::string> protectedFolders();
void setProtectedFolders(const std::vector<std::string>& folders);

// Writes the store out; false when it could not be written.
bool write();

} // namespace windowsetting

} // namespace ovrin
