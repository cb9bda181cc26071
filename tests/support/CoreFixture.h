// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipRecord.h"
#include "chipdb/ChipType.h"
#include "core/ProgrammerCore.h"
#include "support/ProgramDir.h"
#include "support/RecordingEvents.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

inline ChipRecord MakeChip(uint32_t type, const std::string& name, const std::string& maker, uint32_t capacity) {
    return {type, name, maker, 0, 0, capacity, 0, 0, 0, 0, 0, 8};
}

// A small database of SPI flash and 24 EEPROM chips by three makers.
inline const std::vector<ChipRecord>& SampleChips() {
    static const std::vector<ChipRecord> chips = {
        MakeChip(kSpiFlash, "A25L080", "AMIC", 0x100000), MakeChip(kSpiFlash, "EN25Q80", "EON", 0x100000),
        MakeChip(kSpiFlash, "EN25T80", "EON", 0x100000),  MakeChip(kSpiFlash, "en25b40", "EON", 0x80000),
        MakeChip(kEeprom24, "24C16", "ZETA", 2048),       MakeChip(kEeprom24, "24C02", "ZETA", 256),
        MakeChip(kEeprom24, "AT24C02", "ATMEL", 256),
    };
    return chips;
}

// A temporary program directory with its own config.ini, chip database and log.
class ProgramFixture : public ::testing::Test {
protected:
    void Prepare(const std::string& config, const std::vector<ChipRecord>& chips = SampleChips()) {
        dir = std::make_unique<ProgramDir>(config);
        const auto bytes = EncodeDatabase(chips);
        WriteFileText(dir->file("chips.dat"), {bytes.begin(), bytes.end()});
    }
    std::string Log() const { return ReadFileText(dir->file("test.log")); }

    std::unique_ptr<ProgramDir> dir;
};

// The operations on a workspace and a session, their events recorded.
class CoreFixture : public ProgramFixture {
protected:
    CoreFixture() {
        session.SetWait([this] {
            host.Pump();
            PausePolling();
        });
    }

    Workspace workspace;
    ProgrammerSession session;
    RecordingEvents host;
    ProgrammerCore core{session, workspace, host};
};

}  // namespace qbr::test
