#include "platform/fs/FileMoves.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ovrin::platform {

namespace {

bool copyBytes(int from, int to)
{
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(to, buffer.data() + done, std::size_t(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            done += written;
        }
    }
}

} // namespace

std::optional<FileIdentity> FileMoves::nameIdentity(const std::string& path, int* error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (error != nullptr)
            *error = errno;
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

bool FileMoves::nameExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

int FileMoves::renameWithoutReplacing(int fromFd, const std::string& from, int toFd,
                                      const std::string& to)
{
    if (::renameat2(fromFd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EPERM)
        return errno;
    // A file system without it: looked at just before, as near as it gets.
    struct stat st {};
    if (::fstatat(toFd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromFd, from.c_str(), toFd, to.c_str()) == 0 ? 0 : errno;
}

int FileMoves::renameWithoutReplacing(const std::string& from, const std::string& to)
{
    return renameWithoutReplacing(AT_FDCWD, from, AT_FDCWD, to);
}

int FileMoves::createNewFileAt(int folderFd, const std::string& name, int* error)
{
    const int fd = ::openat(folderFd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && error != nullptr)
        *error = errno;
    return fd;
}

int FileMoves::copyInto(int sourceFd, int copyFd, FileStatus* copied)
{
    struct stat st {};
    if (::fstat(sourceFd, &st) != 0)
        return errno != 0 ? errno : EIO;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    errno = 0;
    if (!copyBytes(sourceFd, copyFd) || ::fsync(copyFd) != 0 ||
        ::fchmod(copyFd, st.st_mode & 07777) != 0 || ::futimens(copyFd, times) != 0)
        return errno != 0 ? errno : EIO;
    const auto written = FileManager::fileStatusOf(copyFd);
    if (!written)
        return errno != 0 ? errno : EIO;
    if (written->size != static_cast<std::int64_t>(st.st_size))
        return EIO;
    if (copied != nullptr)
        *copied = *written;
    return 0;
}

int FileMoves::removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int FileMoves::makeHardLink(const std::string& existing, const std::string& name)
{
    return ::linkat(AT_FDCWD, existing.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? 0
               : errno;
}

} // namespace ovrin::platform
