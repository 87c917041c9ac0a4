#include "platform/fs/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrin::platform {

namespace {

std::string randomSuffix()
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^
                                        static_cast<std::uint64_t>(::getpid()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(AtomicFile::kSuffixLength, 'X');
    for (char& c : suffix)
        c = kLetters[pick(random)];
    return suffix;
}

// The process's file-creation mask, read without changing it (umask(2) would,
// for every thread at once).
unsigned currentUmask()
{
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status != nullptr) {
        char line[256];
        constexpr std::size_t kKey = sizeof "Umask:" - 1;
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "Umask:", kKey) != 0)
                continue;
            char* end = nullptr;
            const unsigned long value = std::strtoul(line + kKey, &end, 8);
            if (end != line + kKey) {
                mask = static_cast<unsigned>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}

void syncFolder(const std::string& path)
{
    const Descriptor folder(
        ::open(FileManager::folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isOpen())
        ::fsync(folder.get()); // the rename itself must survive a power loss
}

} // namespace

AtomicFile::AtomicFile(const std::string& destination)
    : m_destination(FileManager::resolveLinks(destination))
{}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : EIO;
    return false;
}

bool AtomicFile::Found::operator==(const Found& other) const
{
    if (exists != other.exists)
        return false;
    return !exists ||
           (status.identity == other.status.identity && status.type == other.status.type &&
            status.size == other.status.size && status.modifiedNs == other.status.modifiedNs &&
            status.changedNs == other.status.changedNs && head == other.head);
}

AtomicFile::Found AtomicFile::look(const std::string& path)
{
    Found found;
    const auto status = FileManager::fileStatus(path);
    if (!status)
        return found;
    found.exists = true;
    found.status = *status;
    // Times of a coarse clock may not move with a quick copy; the first bytes do.
    const Descriptor file(FileManager::openRegularFile(path, O_RDONLY));
    if (file.isOpen()) {
        char bytes[kComparedBytes];
        const ssize_t count = ::pread(file.get(), bytes, sizeof bytes, 0);
        if (count > 0)
            found.head.assign(bytes, static_cast<std::size_t>(count));
    }
    return found;
}

bool AtomicFile::begin()
{
    m_found = look(m_destination);
    struct stat existing {};
    if (m_found.exists && ::stat(m_destination.c_str(), &existing) == 0) {
        m_mode = existing.st_mode & 07777;
        m_owner = existing.st_uid;
        m_group = existing.st_gid;
    } else {
        m_mode = 0666u & ~currentUmask();
    }
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_temporaryPath = m_destination + kTemporaryMarker + randomSuffix();
        // Private while it is written; it takes the index's mode at the end.
        fd = ::open(m_temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        m_temporaryPath.clear();
        return fail(error);
    }
    // Exactly 0600 whatever the umask: that mode is one of the marks by which
    // a stale temporary is told from a user's file of the same name.
    ::fchmod(fd, 0600);
    // A live writer holds this lock; a stale temporary has none.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (const auto status = FileManager::fileStatusOf(fd))
        m_temporaryIdentity = status->identity;
    m_handle = FileHandle::adoptForWriting(fd);
    return true;
}

bool AtomicFile::commit(const std::function<bool(const std::string& destination)>& mayReplace)
{
    if (!m_handle || m_temporaryPath.empty())
        return fail(EBADF);
    if (!m_handle->synchronize())
        return fail(m_handle->writeError());
    const int fd = m_handle->descriptor();
    if (m_found.exists && ::getuid() == 0)
        (void)::fchown(fd, m_owner, m_group); // a rebuild by root keeps the index its owner's
    if (::fchmod(fd, m_mode) != 0)
        return fail(errno);
    if (!m_handle->closeFile())
        return fail(m_handle->writeError());
    // Something else may have come to the destination while the file was being
    // written: it is replaced only when it is still what was there, or when
    // the caller says it may be.
    const Found now = look(m_destination);
    if (!(now == m_found) && mayReplace && !mayReplace(m_destination))
        return fail(EEXIST);
    int renamed = 0;
    if (!m_found.exists && !now.exists) {
        // Nothing was there: nothing is replaced, whatever appears meanwhile.
        renamed = ::renameat2(AT_FDCWD, m_temporaryPath.c_str(), AT_FDCWD, m_destination.c_str(),
                              RENAME_NOREPLACE);
        // A file system, kernel or sandbox without it
        if (renamed != 0 && (errno == EINVAL || errno == ENOSYS || errno == EPERM))
            renamed = ::rename(m_temporaryPath.c_str(), m_destination.c_str());
    } else {
        renamed = ::rename(m_temporaryPath.c_str(), m_destination.c_str());
    }
    if (renamed != 0)
        return fail(errno);
    m_temporaryPath.clear();
    m_handle.reset();
    syncFolder(m_destination);
    return true;
}

void AtomicFile::discard()
{
    if (m_temporaryPath.empty())
        return;
    m_handle.reset();
    // Another run may have taken the name since; remove only our own file.
    if (const auto status = FileManager::fileStatus(m_temporaryPath);
        status && status->identity == m_temporaryIdentity)
        ::unlink(m_temporaryPath.c_str());
    m_temporaryPath.clear();
}

int AtomicFile::removeStaleTemporaries(const std::string& destination,
                                       std::int64_t minimumAgeSeconds, std::string_view start)
{
    const std::string resolved = FileManager::resolveLinks(destination);
    const std::string folder = FileManager::folderOf(resolved);
    const auto slash = resolved.find_last_of('/');
    const std::string prefix =
        (slash == std::string::npos ? resolved : resolved.substr(slash + 1)) + kTemporaryMarker;
    const Descriptor folderFd(FileManager::openFolder(folder));
    if (!folderFd.isOpen())
        return 0;
    const auto names = FileManager::listFolder(folderFd.get());
    if (!names)
        return 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    const auto isSuffixLetter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    };
    int removed = 0;
    for (const std::string& name : *names) {
        if (name.size() != prefix.size() + kSuffixLength ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                         isSuffixLetter))
            continue;
        const Descriptor file(
            ::openat(folderFd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file.isOpen())
            continue;
        struct stat st {};
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 07777) != 0600)
            continue;
        const auto status = FileManager::fileStatusOf(file.get());
        if (!status || nowNs - status->modifiedNs < minimumAgeSeconds * 1000000000)
            continue;
        if (status->size > 0) {
            // A killed writer got as far as the head, or not even that far.
            const std::size_t wanted =
                std::min(start.size(), static_cast<std::size_t>(status->size));
            std::string bytes(wanted, '\0');
            if (wanted == 0 ||
                ::pread(file.get(), bytes.data(), wanted, 0) != static_cast<ssize_t>(wanted) ||
                start.substr(0, wanted) != bytes)
                continue;
        }
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue; // a run is still writing it
        const auto named = FileManager::fileStatusAt(folderFd.get(), name);
        if (named && named->identity == status->identity &&
            ::unlinkat(folderFd.get(), name.c_str(), 0) == 0)
            ++removed;
    }
    return removed;
}

} // namespace ovrin::platform
