// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace qbr {

// Why an Intel HEX or S-record file is malformed.
enum class RecordFault {
    None,
    BadCharacter,        // a character in a record that is no hex digit
    LowerCaseDigit,      // a hex digit in lower case
    RecordLength,        // a record shorter or longer than its length byte, or a length wrong for its type
    BadChecksum,         // the checksum byte doesn't match the record
    UnknownType,         // a record type the format doesn't have
    TextBetweenRecords,  // anything but blanks and line breaks between two records
    TextAfterEnd,        // anything but blanks and line breaks after the end record
    MissingEnd,          // the file ends, perhaps inside a record, without an end record (S-records: nor a
                         // count of all its data records)
    CountMismatch,       // an S-record count record that differs from the data records before it
    AddressBelowStart,   // data below the image's start (the first block of the file)
};

// A fault and the line where it shows, counted from 1 (LF, CR LF and CR alone each
// end a line); line 0 when no line shows it, as for a file that ends after a whole
// record but without an end record.
struct RecordError {
    RecordFault fault = RecordFault::None;
    uint64_t line = 0;
};

}  // namespace qbr
