// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "core/ProgrammerCore.h"
#include "support/ProgramDir.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

ChipRecord MakeChip(uint32_t type, const std::string& name, const std::string& maker, uint32_t capacity);

// A small database of SPI flash and 24 EEPROM chips by three makers.
const std::vector<ChipRecord>& SampleChips();

// A core over a recording host in a temporary program directory with its own
// config.ini, chip database and log.
class CoreFixture : public ::testing::Test {
protected:
    void Prepare(const std::string& config, const std::vector<ChipRecord>& chips = SampleChips());
    std::string Log() const;

    std::unique_ptr<ProgramDir> dir;
    RecordingHost host;
    ProgrammerCore core{host};
};

}  // namespace qbr::test
