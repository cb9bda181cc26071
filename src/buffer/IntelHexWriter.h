// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qbr {

// Writes bytes as an Intel HEX file: data records of 16 bytes each (objcopy's
// length, which every reader takes), cut short where a 64 KiB block ends so no
// record wraps its 16-bit address. The first record in each block is preceded by an
// extended linear address record (type 4) with the block's upper address bits,
// except in the block below 64 KiB, and an end-of-file record (type 1) closes the
// file. Every byte is written, 0xFF too. Byte i has the address `address + i`, which
// must stay below 2^32.
class IntelHexWriter {
public:
    static std::string Text(std::span<const uint8_t> data, uint32_t address);
};

}  // namespace qbr
