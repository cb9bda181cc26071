// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qbr {

// Writes bytes as an Intel HEX file: data records of 16 bytes each (objcopy's
// length, which every reader takes), cut short where a 64 KiB block ends so no
// record wraps its 16-bit address. The file opens with an extended linear address
// record (type 4) of 0, and the first record in each later block is preceded by one
// with the block's upper address bits; an end-of-file record (type 1) closes the
// file. The opening record makes the reader's origin 0, so a part of a chip comes
// back at its own addresses. Every byte is written, 0xFF too. Byte i has the address `address + i`, which
// must stay below 2^32.
std::string IntelHexText(std::span<const uint8_t> data, uint32_t address);

}  // namespace qbr
