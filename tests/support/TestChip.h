// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "chipdb/ChipType.h"

#include <cstdint>
#include <string>
#include <utility>

namespace qbr::test {

// A chip record built by named setters over defaults: an SPI flash by "TEST" of
// 64 KiB, 3.3 V, 256-byte pages, no identification (FF FF), 8 bits wide.
//     const ChipRecord chip = TestChip("24C02").Type(kEeprom24).Capacity(256).Pages(1, 8);
class TestChip {
public:
    explicit TestChip(std::string name) { record_.chipName = std::move(name); }

    TestChip& Type(uint32_t type) { return Set(&ChipRecord::chipType, type); }
    TestChip& Maker(std::string maker) { return Set(&ChipRecord::makerName, std::move(maker)); }
    TestChip& Capacity(uint32_t bytes) { return Set(&ChipRecord::capacity, bytes); }
    TestChip& Volts(uint8_t tenths) { return Set(&ChipRecord::voltage, tenths); }
    TestChip& Id(uint8_t manufacturer, uint8_t device) {
        return Set(&ChipRecord::manufacturerId, manufacturer).Set(&ChipRecord::deviceId, device);
    }
    TestChip& Pages(uint32_t mode, uint16_t size) {
        return Set(&ChipRecord::pageMode, mode).Set(&ChipRecord::pageSize, size);
    }
    // The 93 series' address parameter and organisation.
    TestChip& Organisation(uint8_t modeParam, uint8_t dataWidth) {
        return Set(&ChipRecord::modeParam, modeParam).Set(&ChipRecord::dataWidth, dataWidth);
    }
    TestChip& Spare(uint8_t value) { return Set(&ChipRecord::spareByte, value); }

    operator ChipRecord() const { return record_; }  // NOLINT(google-explicit-constructor): used as a record

private:
    template <typename Field, typename Value>
    TestChip& Set(Field ChipRecord::*field, Value value) {
        record_.*field = std::move(value);
        return *this;
    }

    ChipRecord record_{kSpiFlash, "", "TEST", 0, 33, 64 * 1024, 1, 256, 0xFF, 0xFF, 0, 8};
};

}  // namespace qbr::test
