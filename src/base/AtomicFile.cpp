// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/AtomicFile.h"

#include "base/FileKind.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {
namespace {

// As the kernel allows when it resolves a path.
constexpr int kMaxLinkHops = 40;
// Short, so that it fits wherever the target's own name fits.
constexpr const char* kTempName = ".qbr.XXXXXX";

// Writes, flushes and closes; false on any failure, the descriptor closed all the same.
bool FillAndClose(int fd, const void* data, size_t size) {
    const bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    return (::close(fd) == 0) && ok;
}

// New files get the usual 0666 less the umask.
void SetNewFileMode(int fd) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

// An existing file keeps its mode.
void CopyModeOf(const std::string& path, int fd) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        SetNewFileMode(fd);
    }
}

// The file a path finally names once symbolic links are followed (a relative link
// counts from the link's directory); a dangling link names its missing target.
// Nothing for a loop of links.
std::optional<std::filesystem::path> FollowLinks(std::filesystem::path path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return path;
        std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) return std::nullopt;
        path = target.is_relative() ? path.parent_path() / target : target;
    }
    return std::nullopt;
}

// Errors of creating a file that mean the directory refuses new entries.
bool DirectoryRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// Overwrites an existing regular file with the data and cuts it to the data's
// length; the old length is cut only once every byte is written.
bool WriteInPlace(const std::string& path, const void* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat file {};
    bool ok = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && WriteAll(fd, data, size) &&
              ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

// The rename is on disk once its directory is: after a power cut the file then
// holds the new contents, not the old. Some file systems can't sync a directory;
// the rename has happened all the same.
void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool WriteAndRename(const std::string& target, const void* data, size_t size) {
    const std::string directory = std::filesystem::path(target).parent_path().string();
    std::string temp = directory.empty() ? kTempName : directory + "/" + kTempName;
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return DirectoryRefusesNewFiles(errno) && WriteInPlace(target, data, size);
    CopyModeOf(target, fd);
    const bool ok = FillAndClose(fd, data, size) && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    if (ok) SyncDirectory(directory.empty() ? "." : directory);
    return ok;
}

// A FIFO or character device takes the data as a stream, as standard output does.
bool WriteInto(const std::string& target, const void* data, size_t size) {
    const int fd = OpenStreamForWriting(target);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, data, size);
    return (::close(fd) == 0) && ok;
}

NewFileResult ResultOfLink(int result) {
    if (result == 0) return NewFileResult::Created;
    return errno == EEXIST ? NewFileResult::Exists : NewFileResult::Failed;
}

// Gives the anonymous file its name. Linking by the descriptor itself needs a
// privilege; through /proc any owner may.
NewFileResult LinkAnonymous(int fd, const std::string& path) {
    if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return NewFileResult::Created;
    if (errno == EEXIST) return NewFileResult::Exists;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ResultOfLink(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW));
}

NewFileResult CreateAnonymous(int fd, const std::string& path, const void* data, size_t size) {
    const bool written = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    const NewFileResult result = written ? LinkAnonymous(fd, path) : NewFileResult::Failed;
    ::close(fd);
    return result;
}

// A hard link never replaces its target; where the file system has none, a rename
// that refuses to replace.
NewFileResult PublishTemporary(const std::string& temp, const std::string& path) {
    NewFileResult result = ResultOfLink(::link(temp.c_str(), path.c_str()));
    if (result == NewFileResult::Failed) {
        result = ResultOfLink(::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE));
    }
    ::unlink(temp.c_str());
    return result;
}

NewFileResult CreateNamed(const std::string& directory, const std::string& path, const void* data, size_t size) {
    std::string temp = directory + "/" + kTempName;
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return NewFileResult::Failed;
    SetNewFileMode(fd);
    if (!FillAndClose(fd, data, size)) {
        ::unlink(temp.c_str());
        return NewFileResult::Failed;
    }
    return PublishTemporary(temp, path);
}

}  // namespace

bool AtomicFile::Replace(const std::string& path, const void* data, size_t size) {
    // The kernel follows the links to find the kind, also those of /proc that name
    // no path (/dev/stdout on a pipe).
    switch (KindOfFile(path)) {
    case FileKind::Missing:
    case FileKind::Regular: {
        const auto target = FollowLinks(path);
        // A file made read-only is not replaced behind its owner's back, as cp would not.
        if (target && ::access(target->c_str(), F_OK) == 0 && ::access(target->c_str(), W_OK) != 0) return false;
        return target && WriteAndRename(target->string(), data, size);
    }
    case FileKind::Fifo:
    case FileKind::CharacterDevice: return WriteInto(path, data, size);
    case FileKind::Directory:
    case FileKind::BlockDevice:
    case FileKind::Socket:
    case FileKind::Other: break;
    }
    return false;
}

NewFileResult CreateNewFile(const std::string& path, const void* data, size_t size) {
    std::string directory = std::filesystem::path(path).parent_path().string();
    if (directory.empty()) directory = ".";
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const NewFileResult result = fd >= 0 ? CreateAnonymous(fd, path, data, size)
                                         : CreateNamed(directory, path, data, size);
    if (result == NewFileResult::Created) SyncDirectory(directory);
    return result;
}

std::string NumberedName(const std::string& path, unsigned n) {
    const std::filesystem::path file(path);
    const std::string name = file.stem().string() + "-" + std::to_string(n) + file.extension().string();
    return (file.parent_path() / name).string();
}

}  // namespace qbr
