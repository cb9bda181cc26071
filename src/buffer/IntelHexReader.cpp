// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/IntelHexReader.h"

#include "buffer/HexCharStream.h"

namespace qbr {
namespace {

constexpr size_t kHeaderBytes = 4;  // count, address high, address low, type

}  // namespace

void IntelHexReader::Reset() {
    base_ = 0;
}

bool IntelHexReader::LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity) {
    Record record;
    for (;;) {
        const std::optional<char> mark = stream.TakeNonBlank();
        if (!mark) return Fail(RecordFault::MissingEnd, 0);
        const uint64_t line = stream.Line();
        if (*mark != ':') return Fail(RecordFault::TextBetweenRecords, line);
        if (const RecordFault fault = ReadRecord(stream, record); fault != RecordFault::None) return Fail(fault, line);
        switch (record.type) {
        case 0:
            if (!origin_) origin_ = 0;  // this record went in relative to origin 0
            Place(base_ + record.address - *origin_, record.data.data(), record.count, destination, capacity);
            break;
        case 1:
            if (stream.TakeNonBlank()) return Fail(RecordFault::TextAfterEnd, stream.Line());
            // Trailing 0xFF bytes come off the extent, but only while it lies within the
            // capacity: bytes beyond it were never stored, so an image that reaches past
            // the capacity keeps its full extent and counts as too long.
            while (extent > 0 && extent <= capacity && destination[extent - 1] == 0xFF) --extent;
            return true;
        case 2:
            if (!SetBase(record, 16)) return Fail(RecordFault::RecordLength, line);
            if (base_ < *origin_) return Fail(RecordFault::AddressBelowStart, line);
            break;
        case 3:
        case 5: break;
        case 4:
            if (!SetBase(record, 65536)) return Fail(RecordFault::RecordLength, line);
            break;
        default: return Fail(RecordFault::UnknownType, line);
        }
    }
}

// The rest of a record after its ":". A record that goes on past its length byte
// is told as such rather than by the checksum its wrong length spoils.
RecordFault IntelHexReader::ReadRecord(HexCharStream& stream, Record& record) {
    uint8_t header[kHeaderBytes];
    if (const RecordFault fault = stream.TakeBytes(kHeaderBytes, header); fault != RecordFault::None) return fault;
    record.count = header[0];
    record.address = static_cast<uint16_t>(header[1] << 8 | header[2]);
    record.type = header[3];
    const size_t dataBytes = size_t{record.count} + 1;  // the checksum byte too
    if (const RecordFault fault = stream.TakeBytes(dataBytes, record.data.data()); fault != RecordFault::None) {
        return fault;
    }
    if (stream.AtHexDigit()) return RecordFault::RecordLength;
    unsigned sum = header[0] + header[1] + header[2] + header[3];
    for (size_t i = 0; i < dataBytes; ++i) sum += record.data[i];
    return (sum & 0xFF) == 0 ? RecordFault::None : RecordFault::BadChecksum;
}

// An extended address record: its 16-bit value times `scale` becomes the base. The
// first one also becomes the origin, unless data records came before it.
bool IntelHexReader::SetBase(const Record& record, uint32_t scale) {
    if (record.count != 2) return false;
    base_ = (uint32_t{record.data[0]} << 8 | record.data[1]) * scale;
    if (!origin_) origin_ = base_;
    return true;
}

}  // namespace qbr
