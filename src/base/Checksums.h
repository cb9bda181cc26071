// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qbr {

// The checksums users compare with published firmware checksums and with those of
// other tools: CRC-32 (as zlib, gzip and PNG compute it) and SHA-256.
uint32_t Crc32(std::span<const uint8_t> data);
// Eight lower-case hex digits.
std::string Crc32Text(uint32_t crc);
// Sixty-four lower-case hex digits.
std::string Sha256Text(std::span<const uint8_t> data);

}  // namespace qbr
