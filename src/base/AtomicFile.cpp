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

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// New files get the usual 0666 less the umask; an existing file keeps its mode.
void CopyModeOf(const std::string& path, int fd) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
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
bool WriteInPlace(const std::string& path, const char* data, size_t size) {
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

bool WriteAndRename(const std::string& target, const char* data, size_t size) {
    const std::string directory = std::filesystem::path(target).parent_path().string();
    std::string temp = directory.empty() ? kTempName : directory + "/" + kTempName;
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return DirectoryRefusesNewFiles(errno) && WriteInPlace(target, data, size);
    CopyModeOf(target, fd);
    bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    if (ok) SyncDirectory(directory.empty() ? "." : directory);
    return ok;
}

// A FIFO or character device takes the data as a stream, as standard output does.
bool WriteInto(const std::string& target, const char* data, size_t size) {
    const int fd = OpenStreamForWriting(target);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, data, size);
    return (::close(fd) == 0) && ok;
}

}  // namespace

bool AtomicFile::Replace(const std::string& path, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    // The kernel follows the links to find the kind, also those of /proc that name
    // no path (/dev/stdout on a pipe).
    switch (KindOfFile(path)) {
    case FileKind::Missing:
    case FileKind::Regular: {
        const auto target = FollowLinks(path);
        // A file made read-only is not replaced behind its owner's back, as cp would not.
        if (target && ::access(target->c_str(), F_OK) == 0 && ::access(target->c_str(), W_OK) != 0) return false;
        return target && WriteAndRename(target->string(), bytes, size);
    }
    case FileKind::Fifo:
    case FileKind::CharacterDevice: return WriteInto(path, bytes, size);
    case FileKind::Directory:
    case FileKind::BlockDevice:
    case FileKind::Socket:
    case FileKind::Other: break;
    }
    return false;
}

}  // namespace qbr
