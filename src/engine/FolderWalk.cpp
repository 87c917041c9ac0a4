#include "engine/FolderWalk.h"

#include "platform/fs/ProcessGuard.h"
#include "platform/fs/SystemError.h"

#include <algorithm>
#include <utility>

namespace ovrin {

using platform::FileManager;
using platform::LoadFailure;

bool FolderWalk::open(const std::string& top, int* error)
{
    m_stack.clear();
    m_visits.clear();
    m_maxOpenFolders = static_cast<std::size_t>(std::clamp(platform::openFileLimit() / 8, 4L, 64L));
    Level level;
    m_path = top;
    level.pathLength = m_path.size();
    level.fd.reset(FileManager::openFolder(top, error));
    if (!level.fd.isOpen())
        return false;
    m_topLeftOut = m_exclusions.excludes(top);
    auto names = m_topLeftOut ? std::optional<std::vector<std::string>>(std::in_place)
                              : FileManager::listFolder(level.fd.get(), error);
    const auto status = FileManager::fileStatusOf(level.fd.get());
    if (!names || !status)
        return false;
    level.names = std::move(*names);
    level.identity = status->identity;
    m_visits[level.identity] = 1;
    m_stack.push_back(std::move(level));
    return true;
}

bool FolderWalk::isOnBranch(const platform::FileIdentity& identity) const
{
    return std::any_of(m_stack.begin(), m_stack.end(),
                       [&identity](const Level& level) { return level.identity == identity; });
}

void FolderWalk::closeShallowFolders()
{
    // The top and the deepest folders stay open; the ones between are opened
    // again on the way back up.
    std::size_t open = 0;
    for (const Level& level : m_stack)
        open += level.fd.isOpen() ? 1 : 0;
    for (std::size_t i = 1; open > m_maxOpenFolders && i + 1 < m_stack.size(); ++i) {
        if (m_stack[i].fd.isOpen()) {
            m_stack[i].fd.reset();
            --open;
        }
    }
}

bool FolderWalk::reopen(std::size_t level, int childFd)
{
    // The child's ".." is the folder itself unless the child was entered
    // through a link; then go down again from the nearest open folder above.
    platform::Descriptor up(FileManager::openFolderAt(childFd, ".."));
    if (up.isOpen()) {
        const auto status = FileManager::fileStatusOf(up.get());
        if (status && status->identity == m_stack[level].identity) {
            m_stack[level].fd = std::move(up);
            return true;
        }
    }
    std::size_t from = level;
    while (from > 0 && !m_stack[from - 1].fd.isOpen())
        --from;
    for (std::size_t i = from; i <= level; ++i) {
        platform::Descriptor fd(
            FileManager::openFolderAt(m_stack[i - 1].fd.get(), m_stack[i].name));
        const auto status = fd.isOpen() ? FileManager::fileStatusOf(fd.get()) : std::nullopt;
        if (!status || status->identity != m_stack[i].identity)
            return false; // moved or replaced while the walk was below it
        m_stack[i].fd = std::move(fd);
    }
    return true;
}

bool FolderWalk::run(Handler& handler)
{
    if (std::exchange(m_topLeftOut, false))
        handler.leftOut(m_path);
    while (!m_stack.empty()) {
        Level& level = m_stack.back();
        if (level.next == level.names.size()) {
            Level child = std::move(m_stack.back());
            m_stack.pop_back();
            if (m_stack.empty())
                continue;
            const std::size_t parent = m_stack.size() - 1;
            m_path.resize(m_stack[parent].pathLength);
            if (!m_stack[parent].fd.isOpen() && !reopen(parent, child.fd.get())) {
                handler.skipped(m_path, SkipReason::FolderUnlistable, LoadFailure::Missing);
                m_stack[parent].next = m_stack[parent].names.size();
            }
            continue;
        }
        if (!handler.proceed())
            return false;
        const std::string& name = level.names[level.next++];
        const std::string path = FileManager::appendPathComponent(m_path, name);
        if (m_exclusions.matchesName(name) || m_exclusions.inFolder(path)) {
            handler.leftOut(path);
            continue;
        }
        int error = 0;
        const auto status = FileManager::fileStatusAt(level.fd.get(), name, &error);
        if (!status) {
            // Vanished since the listing, or a link that leads nowhere: no trace.
            if (error != ENOENT && error != ELOOP)
                handler.skipped(path, SkipReason::Unreadable, FileManager::failureForErrno(error));
            continue;
        }
        if (handler.passOver(path, *status))
            continue;
        if (!status->isDirectory) {
            handler.file({path, level.fd.get(), name, *status});
            continue;
        }
        if (isOnBranch(status->identity))
            continue; // a link back up the branch would walk forever
        int& visits = m_visits[status->identity];
        if (visits >= kMaxFolderVisits) {
            handler.skipped(path, SkipReason::FolderRepeated, LoadFailure::None);
            continue;
        }
        Level child;
        child.fd.reset(FileManager::openFolderAt(level.fd.get(), name, &error));
        auto names =
            child.fd.isOpen() ? FileManager::listFolder(child.fd.get(), &error) : std::nullopt;
        if (!names) {
            handler.skipped(path, SkipReason::FolderUnlistable,
                            FileManager::failureForErrno(error));
            continue;
        }
        ++visits;
        m_path = path;
        child.pathLength = m_path.size();
        child.name = name;
        child.identity = status->identity;
        child.names = std::move(*names);
        m_stack.push_back(std::move(child)); // `level` is stale from here on
        closeShallowFolders();
    }
    return true;
}

} // namespace ovrin
