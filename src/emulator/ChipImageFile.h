// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/VirtualChip.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace qbr {

// The file an emulated chip lives in between runs. Opening it locks it for as long
// as the object lives, so two runs never work on one chip and lose each other's
// writes: the second is refused. The lock is on the open file itself, so a
// symbolic or hard link to the file is the same chip.
class ChipImageFile {
public:
    enum class Problem {
        None,
        CantOpen,    // it can't be opened or made (a missing directory, no permission)
        NotRegular,  // a directory, a FIFO, a device or a socket
        InUse,       // another run holds it
        WrongSize,   // neither empty nor of the chip's size: another chip's image
        Unreadable,
    };

    ChipImageFile() = default;
    ~ChipImageFile();
    ChipImageFile(const ChipImageFile&) = delete;
    ChipImageFile& operator=(const ChipImageFile&) = delete;

    // Opens and locks the file at `path`, making it (empty) when missing, and loads
    // it into `chip`: an empty file is an erased chip. On a problem the chip is erased
    // and nothing is held.
    Problem Open(const std::string& path, VirtualChip& chip);
    // The file's size when it was opened.
    uint64_t FileSize() const { return size_; }
    // Whether another file has taken the name since the open (a buffer saved under
    // it), or something has written into the file: the chip is then not saved over
    // it. A name that is gone is free, and a save makes the file again.
    bool TakenOver() const;
    // Writes the chip's contents back, replacing the file in one step; never when
    // it was taken over.
    bool Save(const VirtualChip& chip) const;

private:
    Problem Lock(const std::string& path);
    void Close();

    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    struct stat opened_ {};  // the file as it was opened
};

}  // namespace qbr
