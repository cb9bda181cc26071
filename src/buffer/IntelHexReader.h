// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/RecordFault.h"

#include <array>
#include <cstdint>
#include <string>

namespace qbr {

class HexCharStream;

// Loads an Intel HEX file into a byte array.
//
// Records are ":" count address type data checksum, every field as pairs of
// upper-case hex digits. Between records, and after the end-of-file record, only
// blanks (space, tab) and line breaks may stand: any other text (a record that lost
// its ":", say) fails the load rather than being dropped. Data records land
// at base + address - origin (32-bit wrapping arithmetic), where base comes from the
// last extended segment (type 2, value x 16) or extended linear (type 4,
// value x 65536) record. The origin is the base of the file's first extended
// address record, so an image whose first extended address is not 0 still starts
// at offset 0; when data records come before any extended address record, they
// were placed at their own addresses and the origin stays 0 for the whole file
// (as in a file that starts at 0 and only later needs extended addresses). A
// segment base below the origin fails the load. Start address records (types 3
// and 5) are ignored; any other type fails. Records may come in any order and
// overlap; a later one overwrites an earlier one.
class IntelHexReader {
public:
    // True when the end-of-file record was reached with nothing but blanks after it.
    // On failure `error` says why and the records placed before the fault stay in
    // `destination`. Nothing is written at or beyond `capacity`.
    bool Load(const std::string& path, uint8_t* destination, uint32_t capacity);

    // When set, the origin is 0 from the start: records land at their own addresses.
    bool atOwnAddresses = false;

    // Whether the last Load could open its file and read what it needed of it; when
    // not, its failure says nothing about the records.
    bool FileRead() const { return fileRead_; }

    // Why the last Load failed, when its file was read.
    RecordError error;

    // One past the highest offset any data record covered, including records that
    // fell beyond the capacity (saturating at 2^32 - 1). At the end-of-file record
    // trailing 0xFF bytes are taken off it, but only while it lies within the
    // capacity: bytes beyond it were never stored, so an image that reaches past the
    // capacity keeps its full extent and counts as too long.
    uint32_t extent = 0;
    // Whether a data record with at least one byte was met.
    bool anyData = false;
    // The file address of offset 0 (0 until an extended address record sets it).
    uint32_t Origin() const { return origin_; }

private:
    struct Record {
        uint8_t count = 0;
        uint16_t address = 0;
        uint8_t type = 0;
        std::array<uint8_t, 256> data{};  // count data bytes, then the checksum byte
    };

    bool LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity);
    bool Fail(RecordFault fault, uint64_t line);
    static RecordFault ReadRecord(HexCharStream& stream, Record& record);
    void PlaceData(const Record& record, uint8_t* destination, uint32_t capacity);
    bool SetBase(const Record& record, uint32_t scale);
    void TrimTrailingErased(const uint8_t* destination, uint32_t capacity);

    uint32_t base_ = 0;
    uint32_t origin_ = 0;
    bool originFixed_ = false;
    bool fileRead_ = false;
};

}  // namespace qbr
