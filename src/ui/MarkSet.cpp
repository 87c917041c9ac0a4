#include "ui/MarkSet.h"

#include "engine/LookAlikeGroups.h"

#include <algorithm>

namespace ovrin::ui {

MarkSet::MarkSet(QObject* parent) : QObject(parent) {}

bool MarkSet::isMarked(const std::string& path) const
{
    return m_marked.count(path) != 0;
}

bool MarkSet::setMarked(const std::string& path, bool marked)
{
    const bool ok = setMarked(std::vector<std::string>{path}, marked) == 1;
    return marked ? ok : true;
}

std::size_t MarkSet::setMarked(const std::vector<std::string>& paths, bool marked)
{
    std::size_t done = 0;
    bool moved = false;
    for (const std::string& path : paths) {
        if (!marked) {
            moved = m_marked.erase(path) != 0 || moved;
            continue;
        }
        if (isProtected(path))
            continue;
        moved = m_marked.insert(path).second || moved;
        ++done;
    }
    if (moved)
        Q_EMIT changed();
    return done;
}

void MarkSet::clear()
{
    if (m_marked.empty())
        return;
    m_marked.clear();
    Q_EMIT changed();
}

std::vector<std::string> MarkSet::marked() const
{
    std::vector<std::string> paths(m_marked.begin(), m_marked.end());
    std::sort(paths.begin(), paths.end());
    return paths;
}

void MarkSet::forget(const std::vector<std::string>& paths)
{
    setMarked(paths, false);
}

void MarkSet::setProtectedFolders(std::vector<std::string> folders)
{
    m_protected = std::move(folders);
    std::vector<std::string> under;
    for (const std::string& path : m_marked)
        if (isProtected(path))
            under.push_back(path);
    setMarked(under, false);
}

bool MarkSet::isProtected(const std::string& path) const
{
    return !m_protected.empty() && preferenceRank(path, m_protected) < m_protected.size();
}

} // namespace ovrin::ui
