// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/IntelHexReader.h"

#include "buffer/HexCharStream.h"
#include "buffer/InputFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qbr {

namespace {

constexpr size_t kHeaderBytes = 4;  // count, address high, address low, type

uint32_t Saturate32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

bool IntelHexReader::Load(const std::string& path, uint8_t* destination, uint32_t capacity) {
    extent = 0;
    error = {};
    anyData = false;
    base_ = 0;
    origin_ = 0;
    originFixed_ = atOwnAddresses;
    InputFile file;
    fileRead_ = file.Open(path);
    if (!fileRead_) return false;
    HexCharStream stream(file);
    const bool loaded = LoadRecords(stream, destination, capacity);
    fileRead_ = !file.Failed();
    return loaded;
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
        case 0: PlaceData(record, destination, capacity); break;
        case 1:
            if (stream.TakeNonBlank()) return Fail(RecordFault::TextAfterEnd, stream.Line());
            TrimTrailingErased(destination, capacity);
            return true;
        case 2:
            if (!SetBase(record, 16)) return Fail(RecordFault::RecordLength, line);
            if (base_ < origin_) return Fail(RecordFault::AddressBelowStart, line);
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

bool IntelHexReader::Fail(RecordFault fault, uint64_t line) {
    error = {fault, line};
    return false;
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

void IntelHexReader::PlaceData(const Record& record, uint8_t* destination, uint32_t capacity) {
    originFixed_ = true;  // this record went in relative to origin 0
    const uint32_t offset = base_ + record.address - origin_;
    extent = std::max(extent, Saturate32(uint64_t{offset} + record.count));
    anyData = anyData || record.count > 0;
    if (offset >= capacity) return;
    const size_t n = std::min<uint64_t>(record.count, capacity - offset);
    std::memcpy(destination + offset, record.data.data(), n);
}

// An extended address record: its 16-bit value times `scale` becomes the base. The
// first one also becomes the origin, unless data records came before it.
bool IntelHexReader::SetBase(const Record& record, uint32_t scale) {
    if (record.count != 2) return false;
    base_ = (uint32_t{record.data[0]} << 8 | record.data[1]) * scale;
    if (!originFixed_) {
        origin_ = base_;
        originFixed_ = true;
    }
    return true;
}

void IntelHexReader::TrimTrailingErased(const uint8_t* destination, uint32_t capacity) {
    if (extent > capacity) return;
    while (extent > 0 && destination[extent - 1] == 0xFF) --extent;
}

}  // namespace qbr
