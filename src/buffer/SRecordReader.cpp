// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/SRecordReader.h"

#include "buffer/HexCharStream.h"

namespace qbr {
namespace {

// Address bytes of each record type S0..S9; 0 for the unused S4.
constexpr std::array<uint8_t, 10> kAddressBytes = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

}  // namespace

const uint8_t* SRecordReader::Record::data() const {
    return bytes.data() + kAddressBytes[type - '0'];
}

void SRecordReader::Reset() {
    dataRecords_ = 0;
    countedRecords_.reset();
}

bool SRecordReader::LoadRecords(HexCharStream& stream, uint8_t* destination, uint32_t capacity) {
    Record record;
    for (;;) {
        const std::optional<char> mark = stream.TakeNonBlank();
        // Without an end record, a count of every data record tells the file is whole.
        if (!mark) return countedRecords_ == dataRecords_ || Fail(RecordFault::MissingEnd, 0);
        const uint64_t line = stream.Line();
        if (*mark != 'S') return Fail(RecordFault::TextBetweenRecords, line);
        if (const RecordFault fault = ReadRecord(stream, record); fault != RecordFault::None) return Fail(fault, line);
        switch (record.type) {
        case '0':
            if (!origin_ &&
                std::string_view(reinterpret_cast<const char*>(record.data()), record.size) == kChipAddressHeader) {
                origin_ = 0;
            }
            break;
        case '1':
        case '2':
        case '3':
            if (!PlaceData(record, destination, capacity)) return Fail(RecordFault::AddressBelowStart, line);
            break;
        case '5':
        case '6':
            if (record.size != 0) return Fail(RecordFault::RecordLength, line);
            if (record.address != dataRecords_) return Fail(RecordFault::CountMismatch, line);
            countedRecords_ = dataRecords_;
            break;
        default:  // S7, S8, S9
            if (record.size != 0) return Fail(RecordFault::RecordLength, line);
            return !stream.TakeNonBlank() || Fail(RecordFault::TextAfterEnd, stream.Line());
        }
    }
}

// The rest of a record after its "S": a known type, then a count that covers at
// least the address and checksum and ends where the record does, and a checksum
// that matches.
RecordFault SRecordReader::ReadRecord(HexCharStream& stream, Record& record) {
    const char* type = stream.Take(1);
    if (!type) return RecordFault::MissingEnd;
    if (*type < '0' || *type > '9' || *type == '4') return RecordFault::UnknownType;
    record.type = *type;
    const size_t addressBytes = kAddressBytes[*type - '0'];
    uint8_t count = 0;
    if (const RecordFault fault = stream.TakeBytes(1, &count); fault != RecordFault::None) return fault;
    if (count < addressBytes + 1) return RecordFault::RecordLength;
    if (const RecordFault fault = stream.TakeBytes(count, record.bytes.data()); fault != RecordFault::None) {
        return fault;
    }
    if (stream.AtHexDigit()) return RecordFault::RecordLength;
    record.size = static_cast<uint8_t>(count - addressBytes - 1);
    record.address = 0;
    for (size_t i = 0; i < addressBytes; ++i) record.address = record.address << 8 | record.bytes[i];
    unsigned sum = count;
    for (size_t i = 0; i < count; ++i) sum += record.bytes[i];
    return (sum & 0xFF) == 0xFF ? RecordFault::None : RecordFault::BadChecksum;
}

bool SRecordReader::PlaceData(const Record& record, uint8_t* destination, uint32_t capacity) {
    ++dataRecords_;
    if (!origin_) origin_ = record.address & ~uint32_t{0xFFFF};
    if (record.address < *origin_) return false;
    Place(record.address - *origin_, record.data(), record.size, destination, capacity);
    return true;
}

}  // namespace qbr
