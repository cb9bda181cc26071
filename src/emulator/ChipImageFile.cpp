// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/ChipImageFile.h"

#include "base/AtomicFile.h"
#include "base/FileKind.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {
namespace {

// Another run may save (replace the file) between this one's open and lock; the
// open is tried again on the new file that many times.
constexpr int kLockTries = 3;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool ReadAll(int fd, uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

ChipImageFile::~ChipImageFile() {
    Close();
}

void ChipImageFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// Opened without blocking, so a FIFO is refused rather than waited on.
ChipImageFile::Problem ChipImageFile::Lock(const std::string& path) {
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const FileKind kind = KindOfFile(path);
            return kind == FileKind::Missing || kind == FileKind::Regular ? Problem::CantOpen : Problem::NotRegular;
        }
        struct stat opened {};
        if (::fstat(fd_, &opened) != 0) return Problem::CantOpen;
        if (!S_ISREG(opened.st_mode)) return Problem::NotRegular;
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? Problem::InUse : Problem::CantOpen;
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && SameFile(opened, named)) {
            size_ = static_cast<uint64_t>(opened.st_size);
            opened_ = opened;
            return Problem::None;
        }
        Close();
    }
    return Problem::InUse;
}

ChipImageFile::Problem ChipImageFile::Open(const std::string& path, VirtualChip& chip) {
    Close();
    path_ = path;
    chip.Erase();
    Problem problem = Lock(path);
    const std::span<uint8_t> contents = chip.Contents();
    if (problem == Problem::None && size_ != 0 && size_ != contents.size()) problem = Problem::WrongSize;
    if (problem == Problem::None && size_ != 0 && !ReadAll(fd_, contents.data(), contents.size())) {
        problem = Problem::Unreadable;
    }
    if (problem != Problem::None) {
        Close();
        chip.Erase();
    }
    return problem;
}

bool ChipImageFile::TakenOver() const {
    struct stat named {};
    if (fd_ < 0 || ::stat(path_.c_str(), &named) != 0) return false;
    return !SameFile(opened_, named) || named.st_size != opened_.st_size ||
           named.st_mtim.tv_sec != opened_.st_mtim.tv_sec || named.st_mtim.tv_nsec != opened_.st_mtim.tv_nsec;
}

bool ChipImageFile::Save(const VirtualChip& chip) const {
    const std::span<const uint8_t> contents = chip.Contents();
    return fd_ >= 0 && !TakenOver() && AtomicFile::Replace(path_, contents.data(), contents.size());
}

}  // namespace qbr
