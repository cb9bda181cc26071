// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/RangeImage.h"

#include "ops/RepeatedRead.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace qbr {

namespace {

RangeImage LoadRecordsInRange(Workspace& workspace, ChipRange range, const std::string& path) {
    const uint32_t capacity = workspace.SelectedChip().capacity;
    RangeImage loaded;
    loaded.image = LoadImage(path, workspace.Buffer(), capacity, RecordPlacement::AtOwnAddresses);
    if (loaded.image.outcome != ImageLoadResult::Outcome::Loaded) return loaded;
    // Every record counts, also one of 0xFF bytes: the range's write would leave it out.
    // An empty record past the chip leaves no data outside, but would make the file
    // look longer than the range: it is outside too.
    const ImageLoadResult& image = loaded.image;
    if (image.tooLong || (!image.empty && (image.lowest < range.offset || image.reach > range.End()))) {
        loaded.fault = RangeLoadFault::RecordsOutside;
    }
    loaded.image.length = loaded.image.length > range.offset ? loaded.image.length - range.offset : 0;
    return loaded;
}

RangeLoadFault FitFault(const ImageLoadResult& image, bool cut, bool nothingLands) {
    if (image.empty) return RangeLoadFault::Empty;
    if (!image.tooLong) return RangeLoadFault::None;
    if (!cut) return RangeLoadFault::TooLong;
    return nothingLands ? RangeLoadFault::NothingLands : RangeLoadFault::None;
}

}  // namespace

RangeImage LoadRangeImage(Workspace& workspace, ChipRange range, const std::string& path, std::FILE* stream, bool cut) {
    const bool records = !stream && IsRecordFileName(path);
    const bool part = range != WholeChip(workspace.SelectedChip());
    std::vector<uint8_t>& bytes = workspace.Buffer().bytes;
    RangeImage loaded;
    if (records && part) {
        loaded = LoadRecordsInRange(workspace, range, path);
    } else {
        loaded.image = stream ? LoadRawStream(stream, workspace.Buffer(), range.length)
                              : LoadImage(path, workspace.Buffer(), range.length);
    }
    if (loaded.image.outcome != ImageLoadResult::Outcome::Loaded || loaded.fault == RangeLoadFault::RecordsOutside) {
        return loaded;
    }
    // A record file cut to the chip may keep none of its data: its records lie beyond.
    loaded.fault = FitFault(loaded.image, cut, records && AllBytesAre(std::span(bytes).first(range.length), 0xFF));
    if (loaded.fault != RangeLoadFault::None) return loaded;
    if (loaded.image.origin != 0) {
        const uint64_t length = std::clamp<uint64_t>(loaded.image.length, 1, range.length);
        loaded.placed = ImagePlacement{loaded.image.origin, range.offset, length};
    }
    if (!records && range.offset != 0) {
        std::memmove(bytes.data() + range.offset, bytes.data(), range.length);
        std::fill_n(bytes.begin(), std::min(range.offset, range.length), 0xFF);
    }
    return loaded;
}

}  // namespace qbr
