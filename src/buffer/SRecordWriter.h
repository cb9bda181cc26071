// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qbr {

// Writes bytes as a Motorola S-record file: an S0 header of kChipAddressHeader (our
// reader then keeps the records at their own addresses), S3 data records of
// 16 bytes each at 32-bit addresses, the number of data records as S5 (below 2^16)
// or S6 (below 2^24; beyond that the count record is left out), and an S7 end record
// without a start address. Every byte is written, 0xFF too. Byte i has the address
// `address + i`, which must stay below 2^32.
std::string SRecordText(std::span<const uint8_t> data, uint32_t address);

}  // namespace qbr
