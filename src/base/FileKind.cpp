// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileKind.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {
namespace {

FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Directory;
    if (S_ISFIFO(mode)) return FileKind::Fifo;
    if (S_ISCHR(mode)) return FileKind::CharacterDevice;
    if (S_ISBLK(mode)) return FileKind::BlockDevice;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    return FileKind::Other;
}

// Keeps `fd` when `wanted` accepts its kind, back in blocking mode; else closes it.
template <typename Wanted>
int KeepIf(int fd, Wanted wanted) {
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !wanted(KindOfMode(info.st_mode))) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

FileKind KindOfFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FileKind::Missing;
    return KindOfMode(info.st_mode);
}

int OpenRegularFile(const std::string& path) {
    return KeepIf(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC),
                  [](FileKind kind) { return kind == FileKind::Regular; });
}

int OpenStreamForWriting(const std::string& path) {
    return KeepIf(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC),
                  [](FileKind kind) { return kind == FileKind::Fifo || kind == FileKind::CharacterDevice; });
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, next, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        next += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace qbr
