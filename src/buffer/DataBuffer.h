// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qbr {

// The working image of chip contents: 16 MiB of bytes, one change mark per byte
// (bit i & 7 of changeMarks[i >> 3]) and the number of bytes in use.
class DataBuffer {
public:
    static constexpr uint32_t kSize = 0x1000000;
    static constexpr uint32_t kMarkBytes = kSize / 8;

    // Allocates the arrays once: bytes all 0xFF, no marks. False when memory runs out.
    bool Allocate();
    bool IsAllocated() const { return !bytes.empty(); }

    // The selected chip's capacity, never more than the buffer holds.
    void SetActiveLength(uint32_t length) { activeLength = length < kSize ? length : kSize; }

    // 32-bit wrapping sum of the active bytes, and its display form "CheckSum: %08XH".
    uint32_t Checksum() const;
    static std::string ChecksumText(uint32_t sum);

    std::vector<uint8_t> bytes;
    std::vector<uint8_t> changeMarks;
    uint32_t activeLength = 0;
};

}  // namespace qbr
