// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/VirtualChip.h"

#include <cstdint>
#include <span>

namespace qbr {

// What a read or write request says about the chip: the family code (byte 2), the
// start address, the four-byte parameter block and, for writes, the page size.
struct RequestedAccess {
    uint8_t protocolCode = 0;
    uint32_t address = 0;
    uint8_t modeByte = 0;
    uint8_t orgByte = 0;
    uint8_t highVoltage = 0;
    uint8_t reserved = 0;
    uint16_t pageSize = 0;
};

// How the programmer drives the chip in its socket with the parameters a request
// gave, by the programmer's own table of what each chip needs (written apart from
// the host's on purpose, so that a host mistake shows). Parameters that don't fit
// the chip misbehave as a real programmer plausibly would, and always the same way:
// - family code, mode byte or reserved byte wrong, or the wrong supply voltage:
//   the chip does not answer; reads give 0xFF and writes program nothing;
// - the wrong organisation byte on a 93-series chip: the two bytes of each word
//   change places, on reads and on writes;
// - the wrong page size on a write: the programmer sends the data in bursts of the
//   page size it was given (split at multiples of that size), and the chip wraps
//   each burst inside its own page, so data that crosses a page boundary lands at
//   the start of the page; a page size of 0 programs nothing.
// The organisation byte matters only to the 93 series.
class ChipAccess {
public:
    ChipAccess(VirtualChip& chip, const RequestedAccess& request);

    // Bytes from `address` on, as the host receives them.
    void Read(uint64_t address, std::span<uint8_t> out) const;
    // Programs bytes from `address` on, as the chip takes them.
    void Program(uint64_t address, std::span<const uint8_t> data);

    // The parameter block and page size that the chip needs.
    static RequestedAccess Needed(const ChipRecord& chip);

private:
    uint64_t Target(uint64_t address) const;
    uint64_t PageWrapped(uint64_t address) const;

    VirtualChip& chip_;
    bool answers_ = false;
    bool swapsWords_ = false;
    uint32_t hostPage_ = 0;
    uint32_t chipPage_ = 1;
    uint64_t start_ = 0;
};

}  // namespace qbr
