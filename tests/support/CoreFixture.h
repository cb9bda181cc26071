// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipRecord.h"
#include "chipdb/ChipType.h"
#include "core/ProgrammerCore.h"
#include "support/ProgramDir.h"
#include "support/RecordingEvents.h"
#include "support/TestChip.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

// A small database of SPI flash and 24 EEPROM chips by three makers.
inline const std::vector<ChipRecord>& SampleChips() {
    static const std::vector<ChipRecord> chips = {
        TestChip("A25L080").Maker("AMIC").Capacity(0x100000),
        TestChip("EN25Q80").Maker("EON").Capacity(0x100000),
        TestChip("EN25T80").Maker("EON").Capacity(0x100000),
        TestChip("en25b40").Maker("EON").Capacity(0x80000),
        TestChip("24C16").Type(kEeprom24).Maker("ZETA").Capacity(2048),
        TestChip("24C02").Type(kEeprom24).Maker("ZETA").Capacity(256),
        TestChip("AT24C02").Type(kEeprom24).Maker("ATMEL").Capacity(256),
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

    // A command's result, shown as a front end shows it.
    CommandResult Shown(const CommandResult& result) { return core.Show(result), result; }

    Workspace workspace;
    ProgrammerSession session;
    RecordingEvents host;
    ProgrammerCore core{session, workspace, host};
};

}  // namespace qbr::test
