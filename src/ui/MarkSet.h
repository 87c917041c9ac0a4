#pragma once

#include <QObject>

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

namespace ovrin::ui {

// The pictures a person marked to act on, kept by path apart from the
// selection, so that sorting, filtering or reloading rows leaves them as they
// are. A picture under a protected folder is never marked.
class MarkSet : public QObject {
    Q_OBJECT

public:
    explicit MarkSet(QObject* parent = nullptr);

    bool isMarked(const std::string& path) const;
    // False when the path lies under a protected folder (it stays unmarked).
    bool setMarked(const std::string& path, bool marked);
    // Each of `paths` as `marked`; answers how many are marked now of those
    // asked to be; one `changed` for all.
    std::size_t setMarked(const std::vector<std::string>& paths, bool marked);
    void clear();
    std::size_t size() const { return m_marked.size(); }
    bool empty() const { return m_marked.empty(); }
    // In byte order.
    std::vector<std::string> marked() const;
    // Drops the marks of paths no longer shown (gone to the trash, say).
    void forget(const std::vector<std::string>& paths);

    // Folders whose pictures can never be marked; marks already under them go.
    void setProtectedFolders(std::vector<std::string> folders);
    const std::vector<std::string>& protectedFolders() const { return m_protected; }
    bool isProtected(const std::string& path) const;

Q_SIGNALS:
    void changed();

private:
    std::unordered_set<std::string> m_marked;
    std::vector<std::string> m_protected;
};

} // namespace ovrin::ui
