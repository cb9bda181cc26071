// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/RecordReader.h"

#include <array>
#include <cstdint>

namespace qbr {

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
class IntelHexReader : public RecordReader {
private:
    struct Record {
        uint8_t count = 0;
        uint16_t address = 0;
        uint8_t type = 0;
        std::array<uint8_t, 256> data{};  // count data bytes, then the checksum byte
    };

    void Reset() override;
    bool LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity) override;
    static RecordFault ReadRecord(HexCharStream& stream, Record& record);
    bool SetBase(const Record& record, uint32_t scale);

    uint32_t base_ = 0;
};

}  // namespace qbr
