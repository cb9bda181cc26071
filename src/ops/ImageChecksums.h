// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "core/CommandResult.h"

#include <cstdint>
#include <string>

namespace qbr {

class ProgrammerCore;

// The checksums of an image file. The window's CheckSum is the sum of the whole
// chip as loaded, bytes the file leaves out counted as 0xFF, so it is no checksum
// of the file. The loaded buffer stays in the core for sums of the chip's image;
// a vendor publishes the file's own CRC-32 and SHA-256, which are summed here.
// Its outcome is FileError when the file could not be loaded or read; a file too
// long for the chip is said in a box.
struct ImageChecksums : CommandResult {
    ImageChecksums() : CommandResult(Outcome::Ok) {}

    ImageLoadResult load;  // how the load ended, with the fault of a malformed file
    uint32_t chipSum = 0;
    uint32_t chipBytes = 0;  // the bytes summed: the selected chip's
    uint64_t fileBytes = 0;
    std::string fileCrc32;   // eight lower-case hex digits
    std::string fileSha256;  // sixty-four
};

// Loads `path` into the buffer for the selected chip (`load` tells
// why it failed) and sums both the chip's image and the file's bytes.
ImageChecksums ChecksumImage(ProgrammerCore& core, const std::string& path);

}  // namespace qbr
