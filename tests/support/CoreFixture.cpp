// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CoreFixture.h"

#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"

#include <fstream>

namespace qbr::test {

ChipRecord MakeChip(uint32_t type, const std::string& name, const std::string& maker, uint32_t capacity) {
    ChipRecord chip;
    chip.chipType = type;
    chip.chipName = name;
    chip.makerName = maker;
    chip.capacity = capacity;
    chip.dataWidth = 8;
    return chip;
}

const std::vector<ChipRecord>& SampleChips() {
    static const std::vector<ChipRecord> chips = {
        MakeChip(kSpiFlash, "A25L080", "AMIC", 0x100000), MakeChip(kSpiFlash, "EN25Q80", "EON", 0x100000),
        MakeChip(kSpiFlash, "EN25T80", "EON", 0x100000),  MakeChip(kSpiFlash, "en25b40", "EON", 0x80000),
        MakeChip(kEeprom24, "24C16", "ZETA", 2048),       MakeChip(kEeprom24, "24C02", "ZETA", 256),
        MakeChip(kEeprom24, "AT24C02", "ATMEL", 256),
    };
    return chips;
}

void CoreFixture::Prepare(const std::string& config, const std::vector<ChipRecord>& chips) {
    dir = std::make_unique<ProgramDir>(config);
    const auto bytes = EncodeDatabase(chips);
    std::ofstream(dir->file("chips.dat"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string CoreFixture::Log() const {
    return ReadFileText(dir->file("test.log"));
}

}  // namespace qbr::test
