// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/InputFile.h"

#include "base/FileKind.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

size_t InputFile::Read(void* out, size_t size) {
    char* next = static_cast<char*>(out);
    size_t done = 0;
    while (done < size && fd_ >= 0) {
        const ssize_t n = ::read(fd_, next + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed_ = true;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace qbr
