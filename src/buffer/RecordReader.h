// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/RecordFault.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qbr {

class HexCharStream;

// What the Intel HEX and S-record readers share: the file read through a
// HexCharStream, the fault that ended it, and the data records' extent.
class RecordReader {
public:
    virtual ~RecordReader() = default;

    // True when the file ended as the format's rules require. On failure `error`
    // says why and the records placed before the fault stay in `destination`.
    // Nothing is written at or beyond `capacity`.
    bool Load(const std::string& path, uint8_t* destination, uint32_t capacity);

    // When set, the origin is 0 from the start: records land at their own addresses.
    bool atOwnAddresses = false;

    // Whether the last Load could open its file and read what it needed of it; when
    // not, its failure says nothing about the records.
    bool FileRead() const { return fileRead_; }

    // Why the last Load failed, when its file was read.
    RecordError error;

    // One past the highest offset any data record covered, including records that
    // fell beyond the capacity (saturating at 2^32 - 1); the image is too long for
    // the capacity when this exceeds it.
    uint32_t extent = 0;
    // Whether a data record with at least one byte was met.
    bool anyData = false;
    // The offsets the data records covered, 0xFF bytes and those beyond the capacity
    // included: from `lowest` to one before `reach` (both 0 without data).
    uint32_t lowest = 0;
    uint32_t reach = 0;
    // The file address that lands at offset 0.
    uint32_t Origin() const { return origin_.value_or(0); }

protected:
    // Sets the format's own state back for a new file.
    virtual void Reset() = 0;
    virtual bool LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity) = 0;

    bool Fail(RecordFault fault, uint64_t line);
    // A data record's `size` bytes at `offset`: counted in the extent, and copied
    // as far as they fall inside the capacity.
    void Place(uint32_t offset, const uint8_t* data, size_t size, uint8_t* destination, uint32_t capacity);

    std::optional<uint32_t> origin_;  // none until the format's rule fixes it

private:
    bool fileRead_ = false;
};

}  // namespace qbr
