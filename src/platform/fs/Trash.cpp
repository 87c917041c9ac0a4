#include "platform/fs/Trash.h"

#include "platform/fs/FileManager.h"
#include "platform/fs/FileMoves.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ovrin::platform {

namespace {

using Failure = TrashOutcome::Failure;

constexpr const char* kRecordSuffix = ".trashinfo";
constexpr std::size_t kNameMax = 255;

TrashOutcome failure(Failure why, int error, std::string place = {})
{
    TrashOutcome outcome;
    outcome.failure = why;
    outcome.error = error;
    outcome.place = std::move(place);
    return outcome;
}

std::optional<std::string> homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return std::string(found->pw_dir);
    return std::nullopt;
}

// A relative XDG_DATA_HOME is to be ignored: it would put the trash wherever
// the program happens to run.
std::optional<std::string> homeTrashPath()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return FileManager::appendPathComponent(data, "Trash");
    if (const auto home = homeFolder())
        return FileManager::appendPathComponent(*home, ".local/share/Trash");
    return std::nullopt;
}

// A trash folder of this user at a file system's top: made where missing,
// and used only as a real folder (no link) that the user owns.
int makeOwnFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0)
        ::chmod(path.c_str(), 0700);
    else if (errno != EEXIST)
        return errno;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return ELOOP;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    return st.st_uid == ::getuid() ? 0 : EPERM;
}

// The top folder of the file system that holds `folder` (a real path).
std::string topFolderOf(const std::string& folder, dev_t device)
{
    std::string top = folder;
    while (top != "/") {
        const std::string parent = FileManager::folderOf(top);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// The trash of the file system whose top is `top`: the user's folder in an
// administrator's .Trash where that is a real, sticky folder (a link or a
// folder anyone may empty of others' files could hand the files to someone
// else), else the user's own .Trash-<uid>.
std::optional<std::string> volumeTrash(const std::string& top, int& error)
{
    const std::string uid = std::to_string(::getuid());
    const std::string shared = FileManager::appendPathComponent(top, ".Trash");
    struct stat st {};
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
        const std::string own = FileManager::appendPathComponent(shared, uid);
        if (makeOwnFolder(own) == 0)
            return own;
    }
    const std::string own = FileManager::appendPathComponent(top, ".Trash-" + uid);
    error = makeOwnFolder(own);
    if (error != 0)
        return std::nullopt;
    return own;
}

// The name in files/ and, with ".trashinfo", in info/: the file's own name
// first, then "name.2.ext" and on, cut where the record's name would
// outgrow what a folder entry holds (never inside a UTF-8 character).
std::string trashName(const std::string& name, int attempt)
{
    std::string stem = name;
    std::string extension;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    const std::string number = attempt > 1 ? "." + std::to_string(attempt) : std::string();
    const std::size_t room =
        kNameMax - std::char_traits<char>::length(kRecordSuffix) - number.size() - extension.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + number + extension;
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::string Trash::encodePath(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
            c == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

TrashOutcome Trash::moveToTrash(const std::string& path)
{
    struct stat file {};
    if (path.empty() || ::lstat(path.c_str(), &file) != 0) {
        const int error = path.empty() ? ENOENT : errno;
        return failure(
            error == ENOENT || error == ENOTDIR ? Failure::Missing : Failure::Unreachable, error);
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..")
        return failure(Failure::Unreachable, EINVAL);
    // The folder as the system knows it, links resolved, for the record and
    // for finding the top of its file system.
    char* real = ::realpath(FileManager::folderOf(path).c_str(), nullptr);
    if (real == nullptr)
        return failure(Failure::Unreachable, errno);
    const std::string folder(real);
    std::free(real);
    const std::string original = FileManager::appendPathComponent(folder, name);

    const auto home = homeTrashPath();
    if (!home)
        return failure(Failure::NoHome, ENOENT);
    // The home trash serves the file system it is on (or would be made on).
    std::string existing = *home;
    struct stat homeStatus {};
    while (::stat(existing.c_str(), &homeStatus) != 0) {
        if (errno != ENOENT || existing == "/")
            return failure(Failure::HomeTrashUnusable, errno, *home);
        existing = FileManager::folderOf(existing);
    }

    std::string trash;
    std::string recorded;
    Failure unusable = Failure::HomeTrashUnusable;
    std::string unusablePlace = *home;
    if (homeStatus.st_dev == file.st_dev) {
        trash = *home;
        recorded = original;
        if (const int error = FileManager::makeFolders(trash, 0700); error != 0)
            return failure(unusable, error, trash);
    } else {
        struct stat folderStatus {};
        if (::stat(folder.c_str(), &folderStatus) != 0)
            return failure(Failure::Unreachable, errno);
        const std::string top = topFolderOf(folder, folderStatus.st_dev);
        int error = 0;
        const auto volume = volumeTrash(top, error);
        if (!volume)
            return failure(Failure::NoVolumeTrash, error, top);
        trash = *volume;
        unusable = Failure::NoVolumeTrash;
        unusablePlace = top;
        // Records at a file system's top name the file from there, so that
        // they stay true wherever the file system is mounted.
        recorded = top == "/" ? original.substr(1) : original.substr(top.size() + 1);
    }
    const std::string files = FileManager::appendPathComponent(trash, "files");
    const std::string info = FileManager::appendPathComponent(trash, "info");
    for (const std::string& part : {files, info})
        if (const int error = FileManager::makeFolders(part, 0700); error != 0)
            return failure(unusable, error, unusablePlace);
    int error = 0;
    const Descriptor filesFd(FileManager::openFolder(files, &error));
    const Descriptor infoFd(filesFd.isOpen() ? FileManager::openFolder(info, &error) : -1);
    if (!infoFd.isOpen())
        return failure(unusable, error, unusablePlace);
    const auto filesStatus = FileManager::fileStatusOf(filesFd.get());
    if (!filesStatus || filesStatus->identity.device != static_cast<std::uint64_t>(file.st_dev))
        return failure(Failure::OtherFileSystem, EXDEV, trash);

    const std::string record =
        "[Trash Info]\nPath=" + encodePath(recorded) + "\nDeletionDate=" + deletionDate() + "\n";
    for (int attempt = 1; attempt <= 10000; ++attempt) {
        const std::string entry = trashName(name, attempt);
        const std::string recordName = entry + kRecordSuffix;
        // The record comes first and claims the name: a second program
        // trashing a file of the same name at once takes another.
        const Descriptor recordFd(::openat(infoFd.get(), recordName.c_str(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                           0600));
        if (!recordFd.isOpen()) {
            if (errno == EEXIST)
                continue;
            return failure(Failure::RecordUnwritable, errno, trash);
        }
        const auto dropRecord = [&] { ::unlinkat(infoFd.get(), recordName.c_str(), 0); };
        if (!writeAll(recordFd.get(), record)) {
            const int writeError = errno != 0 ? errno : EIO;
            dropRecord();
            return failure(Failure::RecordUnwritable, writeError, trash);
        }
        const int moved = FileMoves::renameWithoutReplacing(AT_FDCWD, path, filesFd.get(), entry);
        if (moved == 0) {
            TrashOutcome outcome;
            outcome.place = trash;
            outcome.trashedAs = FileManager::appendPathComponent(files, entry);
            return outcome;
        }
        dropRecord();
        if (moved == EEXIST)
            continue; // a file without a record holds the name
        return failure(moved == EXDEV ? Failure::OtherFileSystem : Failure::NotMoved, moved, trash);
    }
    return failure(Failure::RecordUnwritable, EEXIST, trash);
}

int Trash::restore(const std::string& trashedAs, const std::string& path)
{
    const std::string files = FileManager::folderOf(trashedAs);
    const std::string entry = trashedAs.substr(trashedAs.find_last_of('/') + 1);
    if (path.empty() || entry.empty() || files.size() < 6 ||
        files.compare(files.size() - 6, 6, "/files") != 0)
        return EINVAL;
    if (const int moved = FileMoves::renameWithoutReplacing(AT_FDCWD, trashedAs, AT_FDCWD, path);
        moved != 0)
        return moved;
    // A record left behind would only make a file manager offer a restore
    // of nothing; the file is back either way.
    const std::string info = FileManager::appendPathComponent(FileManager::folderOf(files), "info");
    ::unlink(FileManager::appendPathComponent(info, entry + kRecordSuffix).c_str());
    return 0;
}

} // namespace ovrin::platform
