// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/NewFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {
namespace {

constexpr const char* kTempName = ".qbr.XXXXXX";

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes, flushes and closes; false on any failure, the descriptor closed all the same.
bool FillAndClose(int fd, const void* data, size_t size) {
    bool ok = WriteAll(fd, static_cast<const char*>(data), size) && ::fsync(fd) == 0;
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
    const bool written = WriteAll(fd, static_cast<const char*>(data), size) && ::fsync(fd) == 0;
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
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (!FillAndClose(fd, data, size)) {
        ::unlink(temp.c_str());
        return NewFileResult::Failed;
    }
    return PublishTemporary(temp, path);
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

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
