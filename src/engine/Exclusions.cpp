#include "engine/Exclusions.h"

#include <algorithm>
#include <clocale>
#include <fnmatch.h>
#include <locale.h>

namespace ovrin {

namespace {

// fnmatch follows the thread's locale: in a UTF-8 one '?' takes a whole
// character, a name that is no UTF-8 may match differently and ranges follow
// the collation. The "C" locale, for this thread and this call only, makes it
// compare bytes.
class ByteLocale {
public:
    ByteLocale() : m_previous(c() != nullptr ? ::uselocale(c()) : nullptr) {}
    ~ByteLocale()
    {
        if (m_previous != nullptr)
            ::uselocale(m_previous);
    }
    ByteLocale(const ByteLocale&) = delete;
    ByteLocale& operator=(const ByteLocale&) = delete;

private:
    static locale_t c()
    {
        static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return locale;
    }
    locale_t m_previous;
};

} // namespace

Exclusions::Exclusions(std::vector<std::string> folders, std::vector<std::string> patterns)
{
    for (std::string& folder : folders) {
        if (folder.empty() || folder.front() != '/')
            continue;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (std::find(m_folders.begin(), m_folders.end(), folder) == m_folders.end())
            m_folders.push_back(std::move(folder));
    }
    for (std::string& pattern : patterns)
        if (!pattern.empty() &&
            std::find(m_patterns.begin(), m_patterns.end(), pattern) == m_patterns.end())
            m_patterns.push_back(std::move(pattern));
}

bool Exclusions::inFolder(std::string_view path) const
{
    return std::any_of(m_folders.begin(), m_folders.end(), [path](const std::string& folder) {
        return path.starts_with(folder) &&
               (path.size() == folder.size() || folder.back() == '/' || path[folder.size()] == '/');
    });
}

bool Exclusions::matchesName(std::string_view name) const
{
    if (m_patterns.empty() || name.empty())
        return false;
    const std::string text(name); // fnmatch wants the name ended by NUL
    const ByteLocale bytes;
    return std::any_of(m_patterns.begin(), m_patterns.end(), [&text](const std::string& pattern) {
        return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
    });
}

bool Exclusions::excludes(std::string_view path) const
{
    if (inFolder(path))
        return true;
    if (m_patterns.empty())
        return false;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (matchesName(path.substr(start, slash - start)))
            return true;
        start = slash + 1;
    }
    return false;
}

} // namespace ovrin
