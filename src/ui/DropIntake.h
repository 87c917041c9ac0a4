#pragma once

#include "platform/fs/LoadFailure.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ovrin::ui {

// What a drop on the window, or the files named on its command line, amount
// to before any picture is decoded. Of several folders or index files the
// last one counts; the pictures stay in drag order, since the last readable
// one becomes the target.
struct DropIntake {
    std::optional<std::string> folder;
    std::optional<std::string> index;
    std::vector<std::string> pictures;
    std::vector<std::pair<std::string, platform::LoadFailure>> refused;
};

// Sorts the paths by what is on disk. Whether a file is an index file is
// asked of the caller, who knows the index format.
DropIntake sortDrop(const std::vector<std::string>& paths,
                    const std::function<bool(const std::string&)>& isIndexFile);

} // namespace ovrin::ui
