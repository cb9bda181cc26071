// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipDiff.h"

#include <cstddef>
#include <string>

namespace qbr {

// What both front ends say of differing reads, of a compare's differences and of
// a backup, in one language. "{}" stands for a value, filled in by Fill
// (base/TextFill.h).
struct DiffWording {
    const char* readsDiffer;     // number of reads
    const char* differingBytes;  // bytes, ranges
    const char* moreRanges;      // count
    const char* causeNotProgrammed;
    const char* causeNotErased;
    const char* causeDataDiffers;
    const char* backupSaved;  // path
    const char* backupReadsDiffer;
    const char* backupFailed;
    const char* backupFileError;   // path
    const char* backupExists;      // path
    const char* backupTaken;       // path, the numbered path the copy went to
    const char* backupDirCreated;  // directory
};

// The wording of the current language; English unless it is Chinese.
const DiffWording& CurrentDiffWording();

// The differing bytes of `diff`, one line each: their count and number of ranges,
// the first `listed` ranges ("  0x000100..0x0001FF  (256)"), then how many more.
std::string DiffRangesText(const ImageDiff& diff, size_t listed);

// Ranges a message box lists; the rest are counted.
inline constexpr size_t kBoxRangesListed = 8;

// The likely cause's text; empty for none.
const char* CauseText(DiffCause cause);

}  // namespace qbr
