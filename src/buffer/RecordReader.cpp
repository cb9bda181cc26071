// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/RecordReader.h"

#include "buffer/HexCharStream.h"
#include "buffer/InputFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qbr {

bool RecordReader::Load(const std::string& path, uint8_t* destination, uint32_t capacity) {
    extent = 0;
    error = {};
    anyData = false;
    lowest = reach = 0;
    origin_.reset();
    if (atOwnAddresses) origin_ = 0;
    Reset();
    InputFile file;
    fileRead_ = file.Open(path);
    if (!fileRead_) return false;
    HexCharStream stream(file);
    const bool loaded = LoadRecords(stream, destination, capacity);
    fileRead_ = !file.Failed();
    return loaded;
}

bool RecordReader::Fail(RecordFault fault, uint64_t line) {
    error = {fault, line};
    return false;
}

void RecordReader::Place(uint32_t offset, const uint8_t* data, size_t size, uint8_t* destination, uint32_t capacity) {
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + size, std::numeric_limits<uint32_t>::max());
    extent = std::max(extent, static_cast<uint32_t>(end));
    if (size > 0) {
        lowest = anyData ? std::min(lowest, offset) : offset;
        reach = std::max(reach, static_cast<uint32_t>(end));
        anyData = true;
    }
    if (offset >= capacity) return;
    std::memcpy(destination + offset, data, std::min<uint64_t>(size, capacity - offset));
}

}  // namespace qbr
