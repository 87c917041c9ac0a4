#include "FileManager.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace ovrin::platform {

std::optional<std::vector<std::string>> FileManager::directoryContents(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr)
            break; // end of folder, or a read error: keep what was listed so far
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<FileStatus> FileManager::fileStatus(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    FileStatus status;
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isRegularFile = S_ISREG(st.st_mode);
    status.identity.device = static_cast<std::uint64_t>(st.st_dev);
    status.identity.inode = static_cast<std::uint64_t>(st.st_ino);
    return status;
}

bool FileManager::fileExists(const std::string& path, bool& isDirectory)
{
    const auto status = fileStatus(path);
    isDirectory = status && status->isDirectory;
    return status.has_value();
}

bool FileManager::fileExists(const std::string& path)
{
    return fileStatus(path).has_value();
}

std::string FileManager::appendPathComponent(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    std::string joined;
    joined.reserve(folder.size() + 1 + name.size());
    joined.append(folder).append(1, '/').append(name);
    return joined;
}

} // namespace ovrin::platform
