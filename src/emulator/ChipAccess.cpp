// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/ChipAccess.h"

#include "chipdb/ChipType.h"

#include <algorithm>

namespace qbr {

namespace {

uint8_t NeededMode(const ChipRecord& chip) {
    switch (FamilyOf(chip)) {
    case ChipFamily::SpiFlash: return 0x03;
    case ChipFamily::Eeprom24:
        if (chip.deviceId == 0xFE) return 0x04;
        return chip.capacity <= 2048 ? 0x14 : 0x24;
    case ChipFamily::Eeprom25: return chip.capacity <= 512 ? 0x01 : 0x11;
    case ChipFamily::Eeprom93: return static_cast<uint8_t>(chip.modeParam << 4 | 0x08);
    case ChipFamily::Unknown: break;
    }
    return 0;
}

}  // namespace

RequestedAccess ChipAccess::Needed(const ChipRecord& chip) {
    RequestedAccess needed;
    needed.protocolCode = ProtocolCode(FamilyOf(chip));
    needed.modeByte = NeededMode(chip);
    needed.orgByte = HasOrganisationByte(FamilyOf(chip)) ? (chip.dataWidth == 8 ? 3 : 1) : 0;
    needed.highVoltage = HasHighVoltageRule(FamilyOf(chip)) && chip.voltage > 40 ? 1 : 0;
    needed.pageSize = chip.pageMode != 0 ? chip.pageSize : 1;
    return needed;
}

ChipAccess::ChipAccess(VirtualChip& chip, const RequestedAccess& request) : chip_(chip) {
    const RequestedAccess needed = Needed(chip.Record());
    answers_ = needed.protocolCode != 0 && request.protocolCode == needed.protocolCode &&
               request.modeByte == needed.modeByte && request.highVoltage == needed.highVoltage &&
               request.reserved == 0;
    swapsWords_ = HasOrganisationByte(FamilyOf(chip.Record())) && request.orgByte != needed.orgByte;
    hostPage_ = request.pageSize;
    chipPage_ = needed.pageSize == 0 ? 1 : needed.pageSize;
    start_ = request.address;
}

void ChipAccess::Read(uint64_t address, std::span<uint8_t> out) const {
    if (!answers_) {
        std::fill(out.begin(), out.end(), 0xFF);
        return;
    }
    if (!swapsWords_) {
        chip_.Read(address, out);
        return;
    }
    for (size_t i = 0; i < out.size(); ++i) chip_.Read((address + i) ^ 1, out.subspan(i, 1));
}

void ChipAccess::Program(uint64_t address, std::span<const uint8_t> data) {
    if (!answers_ || hostPage_ == 0 || data.empty()) return;
    if (!swapsWords_ && hostPage_ == chipPage_) {
        chip_.Program(address, data);
        return;
    }
    for (size_t i = 0; i < data.size(); ++i) chip_.Program(Target(address + i), data.subspan(i, 1));
}

uint64_t ChipAccess::Target(uint64_t address) const {
    const uint64_t wrapped = hostPage_ == chipPage_ ? address : PageWrapped(address);
    return swapsWords_ ? wrapped ^ 1 : wrapped;
}

// The byte's place when its burst (the run between two multiples of the host's page
// size) is written into the chip page where the burst begins.
uint64_t ChipAccess::PageWrapped(uint64_t address) const {
    const uint64_t burstStart = std::max(start_, address - address % hostPage_);
    const uint64_t pageStart = burstStart - burstStart % chipPage_;
    return pageStart + (burstStart % chipPage_ + (address - burstStart)) % chipPage_;
}

}  // namespace qbr
