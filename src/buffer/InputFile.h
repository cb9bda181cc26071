// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qbr {

// A file opened for reading, closed when the object goes away. Directories, FIFOs,
// devices and sockets are refused at Open, without waiting on them, as a file that
// cannot be opened.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);
    // The file's length when it was opened.
    uint64_t Size() const { return size_; }
    // Reads up to `size` bytes into `out`; fewer only at the end of the file or on a
    // read error, which Failed() then reports.
    size_t Read(void* out, size_t size);
    bool Failed() const { return failed_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool failed_ = false;
};

}  // namespace qbr
