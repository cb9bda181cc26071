// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/DataBuffer.h"

#include "base/LargeBytes.h"

#include <cstdio>
#include <new>
#include <numeric>

namespace qbr {

bool DataBuffer::Allocate() {
    try {
        AssignLarge(bytes, kSize, 0xFF);
        changeMarks.assign(kMarkBytes, 0x00);
        return true;
    } catch (const std::bad_alloc&) {
        bytes.clear();
        changeMarks.clear();
        return false;
    }
}

uint32_t DataBuffer::Checksum() const {
    const uint32_t length = IsAllocated() ? activeLength : 0;
    return std::accumulate(bytes.begin(), bytes.begin() + length, uint32_t{0});
}

std::string DataBuffer::ChecksumText(uint32_t sum) {
    char text[32];
    std::snprintf(text, sizeof text, "CheckSum: %08XH", sum);
    return text;
}

}  // namespace qbr
