#include "platform/fs/FileManager.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <locale.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <wctype.h>

namespace ovrin::platform {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int Descriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void Descriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

namespace {

// Nanoseconds since the epoch; times beyond what 64 bits hold (past the year
// 2262, or before 1677) are held at the limit instead of wrapping.
std::int64_t nanoseconds(const timespec& time)
{
    constexpr std::int64_t kSecondsLimit =
        std::numeric_limits<std::int64_t>::max() / 1000000000 - 1;
    const auto seconds = static_cast<std::int64_t>(time.tv_sec);
    if (seconds > kSecondsLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (seconds < -kSecondsLimit)
        return std::numeric_limits<std::int64_t>::min();
    return seconds * 1000000000 + static_cast<std::int64_t>(time.tv_nsec);
}

FileStatus statusFrom(const struct stat& st)
{
    FileStatus status;
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isRegularFile = S_ISREG(st.st_mode);
    status.type = status.isDirectory     ? FileType::Directory
                  : status.isRegularFile ? FileType::Regular
                                         : FileType::Other;
    status.identity.device = static_cast<std::uint64_t>(st.st_dev);
    status.identity.inode = static_cast<std::uint64_t>(st.st_ino);
    status.size = static_cast<std::int64_t>(st.st_size);
    status.modifiedNs = nanoseconds(st.st_mtim);
    status.changedNs = nanoseconds(st.st_ctim);
    return status;
}

void setError(int* error, int value)
{
    if (error != nullptr)
        *error = value;
}

} // namespace

std::optional<std::vector<std::string>> FileManager::listFolder(int folderFd, int* error)
{
    // The stream takes a descriptor of its own so the caller's stays usable.
    const int own = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        setError(error, errno);
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(own);
    if (dir == nullptr) {
        setError(error, errno);
        ::close(own);
        return std::nullopt;
    }
    ::rewinddir(dir);
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

int FileManager::openFolder(const std::string& path, int* error)
{
    if (path.empty()) {
        setError(error, ENOENT);
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        setError(error, errno);
    return fd;
}

int FileManager::openFolderAt(int folderFd, const std::string& name, int* error)
{
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        setError(error, errno);
    return fd;
}

std::optional<FileStatus> FileManager::fileStatus(const std::string& path, int* error)
{
    if (path.empty()) {
        setError(error, ENOENT);
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        setError(error, errno);
        return std::nullopt;
    }
    return statusFrom(st);
}

std::optional<FileStatus> FileManager::fileStatusAt(int folderFd, const std::string& name,
                                                    int* error)
{
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) {
        setError(error, errno);
        return std::nullopt;
    }
    return statusFrom(st);
}

std::optional<FileStatus> FileManager::fileStatusOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return statusFrom(st);
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

LoadFailure FileManager::failureForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return LoadFailure::Missing;
    case EACCES:
    case EPERM:
        return LoadFailure::PermissionDenied;
    case ENXIO:
    case ENODEV:
        return LoadFailure::NotRegularFile;
    default:
        return LoadFailure::ReadError;
    }
}

namespace {

bool onPseudoFileSystem(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9fa0:     // proc
    case 0x62656572: // sysfs
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x27e0eb:   // cgroup
    case 0x63677270: // cgroup2
    case 0xcafe4a11: // bpf
    case 0x1cd1:     // devpts
    case 0x62656570: // configfs
    case 0x6165676c: // pstore
    case 0xde5e81e4: // efivarfs
    case 0xf97cff8c: // selinuxfs
    case 0x65735543: // fusectl
    case 0x42494e4d: // binfmt_misc
        return true;
    default:
        return false;
    }
}

int finishOpen(int fd, LoadFailure* why)
{
    if (fd < 0) {
        if (why != nullptr)
            *why = FileManager::failureForErrno(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (why != nullptr)
            *why = LoadFailure::NotRegularFile;
        return -1;
    }
    const int current = ::fcntl(fd, F_GETFL);
    if (current != -1)
        ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK);
    if (why != nullptr)
        *why = LoadFailure::None;
    return fd;
}

} // namespace

int FileManager::openRegularFile(const std::string& path, int flags, LoadFailure* why)
{
    if (path.empty()) {
        if (why != nullptr)
            *why = LoadFailure::Missing;
        return -1;
    }
    // A device is never opened: opening some (a watchdog) already acts.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (why != nullptr)
            *why = LoadFailure::NotRegularFile;
        return -1;
    }
    return finishOpen(::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK), why);
}

int FileManager::openRegularFileAt(int folderFd, const std::string& name, int flags,
                                   LoadFailure* why)
{
    return finishOpen(::openat(folderFd, name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
                      why);
}

LoadFailure FileManager::checkOpenFile(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failureForErrno(errno);
    if (!S_ISREG(st.st_mode))
        return LoadFailure::NotRegularFile;
    if (onPseudoFileSystem(fd))
        return LoadFailure::SystemFile;
    if (st.st_size == 0)
        return LoadFailure::EmptyFile;
    return LoadFailure::None;
}

int FileManager::memoryFile(const void* data, std::size_t size, LoadFailure* why)
{
    const auto fail = [why](int error) {
        if (why != nullptr)
            *why = error == ENOMEM || error == ENOSPC || error == EFBIG ? LoadFailure::OutOfMemory
                                                                        : failureForErrno(error);
        return -1;
    };
    Descriptor file(::memfd_create("ovrin-picture", MFD_CLOEXEC));
    if (!file.isOpen())
        return fail(errno);
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote = ::write(file.get(), bytes + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return fail(wrote < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(wrote);
    }
    if (::lseek(file.get(), 0, SEEK_SET) != 0)
        return fail(errno);
    if (why != nullptr)
        *why = LoadFailure::None;
    return file.release();
}

LoadFailure FileManager::readStream(int fd, std::int64_t limit, std::vector<std::uint8_t>& bytes,
                                    const std::atomic<bool>* stop)
{
    bytes.clear();
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    try {
        for (;;) {
            const std::size_t had = bytes.size();
            bytes.resize(had + kChunk);
            const ssize_t got = ::read(fd, bytes.data() + had, kChunk);
            if (got < 0 && errno == EINTR) {
                bytes.resize(had);
                if (stop != nullptr && stop->load())
                    return LoadFailure::Stopped;
                continue;
            }
            bytes.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
            if (got < 0)
                return LoadFailure::ReadError;
            if (got == 0)
                break;
            if (static_cast<std::int64_t>(bytes.size()) > limit) {
                bytes.clear();
                bytes.shrink_to_fit();
                return LoadFailure::TooLarge;
            }
        }
    } catch (const std::bad_alloc&) {
        bytes.clear();
        bytes.shrink_to_fit();
        return LoadFailure::OutOfMemory;
    }
    bytes.shrink_to_fit();
    return bytes.empty() ? LoadFailure::EmptyFile : LoadFailure::None;
}

std::int64_t FileManager::fileSize(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<std::int64_t>(st.st_size);
}

namespace {

// The next character of UTF-8 text as a code point; a byte that starts no
// valid sequence stands for itself, above every code point, so two texts
// differing in such bytes never compare equal.
std::uint32_t nextCharacter(const std::string& text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80             ? 1
                         : (lead & 0xE0) == 0xC0 ? 2
                         : (lead & 0xF0) == 0xE0 ? 3
                         : (lead & 0xF8) == 0xF0 ? 4
                                                 : 0;
    std::uint32_t code = length == 1   ? lead
                         : length == 2 ? lead & 0x1Fu
                         : length == 3 ? lead & 0x0Fu
                                       : lead & 0x07u;
    if (length == 0 || text.size() - i < length) {
        ++i;
        return 0x110000u + lead;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0x110000u + lead;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    i += length;
    return code;
}

} // namespace

bool FileManager::isSamePathIgnoringCase(const std::string& a, const std::string& b)
{
    // Unicode case mapping of the C.UTF-8 locale, whatever locale the user runs.
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t x = nextCharacter(a, i);
        const std::uint32_t y = nextCharacter(b, j);
        if (x == y)
            continue;
        if (x >= 0x110000u || y >= 0x110000u || unicode == locale_t{})
            return false;
        if (::towlower_l(static_cast<wint_t>(x), unicode) !=
            ::towlower_l(static_cast<wint_t>(y), unicode))
            return false;
    }
    return i == a.size() && j == b.size();
}

int FileManager::makeFolders(const std::string& path, unsigned mode)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    if (const std::string parent = folderOf(path); parent != path)
        if (const int error = makeFolders(parent, mode); error != 0)
            return error;
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) {
        if ((mode & 077) == 0)
            ::chmod(path.c_str(), static_cast<mode_t>(mode));
    } else if (errno != EEXIST) {
        return errno;
    }
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string FileManager::folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string FileManager::resolveLinks(const std::string& path)
{
    std::string current = path;
    std::vector<char> target(4096);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            break;
        const std::string next(target.data(), static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : appendPathComponent(folderOf(current), next);
    }
    return current;
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

FileManager::WriteRight FileManager::writeRight(const std::string& path, int* error)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        setError(error, path.empty() ? ENOENT : errno);
        return WriteRight::Unknown;
    }
    const bool writable = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
    if (!writable && errno == EROFS) {
        setError(error, EROFS);
        return WriteRight::ReadOnlyMount;
    }
    if (writable && (st.st_mode & S_IWUSR) != 0)
        return WriteRight::Writable;
    const uid_t me = ::geteuid();
    return me == 0 || st.st_uid == me ? WriteRight::ReadOnly : WriteRight::OtherUsersFile;
}

int FileManager::mayMakeFilesIn(const std::string& folder)
{
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::optional<std::string> FileManager::workingFolder(int* error)
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            setError(error, errno);
            return std::nullopt;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

int FileManager::writeToStream(std::FILE* stream, std::string_view text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::fflush(stream) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

int FileManager::flushStream(std::FILE* stream)
{
    errno = 0;
    return std::fflush(stream) == 0 ? 0 : (errno != 0 ? errno : EIO);
}

} // namespace ovrin::platform
