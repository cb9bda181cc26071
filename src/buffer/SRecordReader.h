// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/RecordReader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qbr {

// The header text of the S-record files this program writes: their addresses are
// chip addresses, so a part of a chip comes back where it was read.
inline constexpr std::string_view kChipAddressHeader = "chip addresses";

// Loads a Motorola S-record file into a byte array.
//
// A record is "S", its type digit, then count, address, data and checksum as pairs
// of upper-case hex digits (lower case is refused, as by the Intel HEX reader; every
// common tool writes upper case). The count covers address, data and checksum; the
// checksum makes the low byte of the sum of count, address and data bytes 0xFF.
// Between records, and after the end record, only line breaks (LF, CR LF or CR
// alone) and blanks (space, tab) may stand; any other character, or a record longer
// or shorter than its count, fails the load.
//
// S0 (header) is ignored, unless it holds kChipAddressHeader before any data record
// (see below). S1, S2 and S3 carry data at 16-, 24- and 32-bit addresses.
// S5 and S6 hold the number of data records so far and fail the load when it is
// wrong. S7, S8 and S9 end the file. A file without one of them is whole only when
// its last count record counts every data record (tools write such files when no
// start address is asked for); otherwise it fails, as one that may be cut short.
// Count and end records carry no data. Any other type fails.
//
// The origin is the first data record's address rounded down to 64 KiB, and every
// data record lands at its address less the origin: an image linked at 0x08000000
// starts at offset 0, one linked at 0x100 at offset 0x100. Records may come in any
// order and overlap, a later one overwriting an earlier one; one below the origin
// fails the load. A file whose header is kChipAddressHeader has the origin 0: its
// records land at their own addresses.
class SRecordReader : public RecordReader {
private:
    struct Record {
        char type = 0;
        uint32_t address = 0;
        uint8_t size = 0;                  // data bytes
        std::array<uint8_t, 255> bytes{};  // address, data, checksum
        const uint8_t* data() const;
    };

    void Reset() override;
    bool LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity) override;
    static RecordFault ReadRecord(HexCharStream& stream, Record& record);
    bool PlaceData(const Record& record, uint8_t* destination, uint32_t capacity);

    uint64_t dataRecords_ = 0;
    std::optional<uint64_t> countedRecords_;  // data records the last count record counted
};

}  // namespace qbr
