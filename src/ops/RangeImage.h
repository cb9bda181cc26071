// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "core/Workspace.h"
#include "ops/ChipTransfers.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace qbr {

// Why an image was not taken into a range.
enum class RangeLoadFault {
    None,
    NotLoaded,       // unreadable, or records that break the rules (the load result says how)
    RecordsOutside,  // a record file for part of the chip has records outside that part
    Empty,           // no data
    TooLong,         // longer than the range, and not to be cut
    NothingLands,    // to be cut, but none of the record file's data lies inside the chip
};

// Records the first-block rule moved: the data from `fileAddress` on went to
// `chipAddress` on, `length` bytes of it on the chip.
struct ImagePlacement {
    uint32_t fileAddress = 0;
    uint32_t chipAddress = 0;
    uint64_t length = 0;
};

struct RangeImage {
    RangeLoadFault fault = RangeLoadFault::NotLoaded;
    ImageLoadResult image;  // its length counted from the range's start; tooLong: cut to the range
    std::optional<ImagePlacement> placed;
};

// Loads the image file `path`, or with `stream` (standard input) raw bytes from it,
// into the workspace's buffer at `range` of the selected chip.
// - A raw image holds the range's bytes: loaded as a file of the range's length
//   would be for a whole chip, then moved to the range's offset.
// - A record file for part of the chip carries chip addresses, as a read of that
//   part saves them: its records stay at their addresses and must lie inside the
//   range. One for the whole chip is placed by the first-block rule.
// An empty image is refused, and so is one longer than the range unless `cut`.
RangeImage LoadRangeImage(Workspace& workspace, ChipRange range, const std::string& path, std::FILE* stream, bool cut);

}  // namespace qbr
