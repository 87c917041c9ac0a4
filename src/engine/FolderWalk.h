#pragma once

#include "engine/Exclusions.h"
#include "engine/RunSummary.h"
#include "platform/fs/FileManager.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace ovrin {

// One file the walk meets: its full path as the walk built it, and the open
// folder it lies in with its name there, so it can be opened whatever the
// path's length.
struct WalkFile {
    const std::string& path;
    int folderFd;
    const std::string& name;
    const platform::FileStatus& status;
};

// The depth-first walk of a folder tree in listing order, for the folder
// search and the index creation. Links are followed and a folder reached
// through a link is walked under the link's own path; a link back to a folder
// of the current branch is not entered, and a folder walked kMaxFolderVisits
// times in one run is not walked again (each such path counts as skipped), so
// links among sibling folders cannot multiply the work. The walk goes by open
// folder descriptors, so depth is no limit, and keeps only a few of them open.
// What the exclusions leave out is never looked at: an excluded folder is not
// opened, an excluded name not even examined.
class FolderWalk {
public:
    static constexpr int kMaxFolderVisits = 4;

    class Handler {
    public:
        virtual ~Handler() = default;
        // Tested before every entry; false ends the walk.
        virtual bool proceed() = 0;
        // Entries the walk must pass over without a word (the index's own files).
        virtual bool passOver(const std::string& path, const platform::FileStatus& status) = 0;
        virtual void file(const WalkFile& file) = 0;
        virtual void skipped(const std::string& path, SkipReason reason,
                             platform::LoadFailure detail) = 0;
        // An entry the exclusions leave out (the top too, when they hold it).
        virtual void leftOut(const std::string& path) { static_cast<void>(path); }

    protected:
        Handler() = default;
        Handler(const Handler&) = default;
        Handler& operator=(const Handler&) = default;
    };

    // Before open(): a top they leave out is opened but not listed.
    void setExclusions(Exclusions exclusions) { m_exclusions = std::move(exclusions); }
    // Opens and lists the top folder; false with the error number in `error` when it
    // cannot be listed.
    bool open(const std::string& top, int* error);
    // Walks the tree; false when the handler stopped it.
    bool run(Handler& handler);

private:
    struct Level {
        std::size_t pathLength = 0; // of m_path while this folder is walked
        std::string name;           // in the parent folder
        platform::Descriptor fd;
        platform::FileIdentity identity;
        std::vector<std::string> names;
        std::size_t next = 0;
    };

    bool isOnBranch(const platform::FileIdentity& identity) const;
    void closeShallowFolders();
    bool reopen(std::size_t level, int childFd);

    // The path of the folder being walked; each level knows its length, so a
    // deep tree costs its depth once, not once per level.
    std::string m_path;
    std::vector<Level> m_stack;
    std::unordered_map<platform::FileIdentity, int, platform::FileIdentityHash> m_visits;
    std::size_t m_maxOpenFolders = 16;
    Exclusions m_exclusions;
    bool m_topLeftOut = false;
};

} // namespace ovrin
