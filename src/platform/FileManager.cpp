#include "platform/FileManager.h"

#include <QString>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int FileManager::openRegularFile(const std::string& path, int flags)
{
    if (path.empty())
        return -1;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int current = ::fcntl(fd, F_GETFL);
    if (current != -1)
        ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK);
    return fd;
}

std::int64_t FileManager::fileSize(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<std::int64_t>(st.st_size);
}

bool FileManager::isSamePathIgnoringCase(const std::string& a, const std::string& b)
{
    bool ascii = true;
    if (a.size() == b.size()) {
        bool equal = true;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto x = static_cast<unsigned char>(a[i]);
            const auto y = static_cast<unsigned char>(b[i]);
            ascii = ascii && x < 0x80 && y < 0x80;
            if (std::tolower(x) != std::tolower(y))
                equal = false;
        }
        if (equal)
            return true;
    } else {
        ascii = false;
    }
    if (ascii)
        return false;
    const QString left = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
    const QString right = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
    return left.compare(right, Qt::CaseInsensitive) == 0;
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
