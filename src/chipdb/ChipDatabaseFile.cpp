// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipDatabaseFile.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qbr {

namespace {

// Field offsets inside a record.
constexpr size_t kTypeOffset = 0;
constexpr size_t kChipNameOffset = 4;
constexpr size_t kMakerNameOffset = 44;
constexpr size_t kSpareOffset = 64;
constexpr size_t kVoltageOffset = 65;
constexpr size_t kCapacityOffset = 68;
constexpr size_t kPageModeOffset = 72;
constexpr size_t kPageSizeOffset = 76;
constexpr size_t kManufacturerIdOffset = 78;
constexpr size_t kDeviceIdOffset = 79;
constexpr size_t kModeParamOffset = 80;
constexpr size_t kDataWidthOffset = 81;

uint32_t ReadLe(RecordBytes bytes, size_t offset, size_t width) {
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | bytes[offset + i];
    return value;
}

void WriteLe(MutableRecordBytes bytes, size_t offset, size_t width, uint32_t value) {
    for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string ReadName(RecordBytes bytes, size_t offset, size_t fieldSize) {
    auto field = bytes.subspan(offset, fieldSize);
    auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return std::string(field.begin(), end);
}

void WriteName(MutableRecordBytes bytes, size_t offset, size_t fieldSize, std::string_view name, const char* what) {
    if (name.size() >= fieldSize) {
        throw std::invalid_argument(std::string(what) + " \"" + std::string(name) + "\" is longer than " +
                                    std::to_string(fieldSize - 1) + " bytes");
    }
    if (name.find('\0') != std::string_view::npos) {
        throw std::invalid_argument(std::string(what) + " contains a NUL byte");
    }
    std::copy(name.begin(), name.end(), bytes.begin() + offset);
}

}  // namespace

ChipRecord DecodeRecord(RecordBytes bytes) {
    ChipRecord chip;
    chip.chipType = ReadLe(bytes, kTypeOffset, 4);
    chip.chipName = ReadName(bytes, kChipNameOffset, kChipNameFieldSize);
    chip.makerName = ReadName(bytes, kMakerNameOffset, kMakerNameFieldSize);
    chip.spareByte = bytes[kSpareOffset];
    chip.voltage = bytes[kVoltageOffset];
    chip.capacity = ReadLe(bytes, kCapacityOffset, 4);
    chip.pageMode = ReadLe(bytes, kPageModeOffset, 4);
    chip.pageSize = static_cast<uint16_t>(ReadLe(bytes, kPageSizeOffset, 2));
    chip.manufacturerId = bytes[kManufacturerIdOffset];
    chip.deviceId = bytes[kDeviceIdOffset];
    chip.modeParam = bytes[kModeParamOffset];
    chip.dataWidth = bytes[kDataWidthOffset];
    return chip;
}

void EncodeRecord(const ChipRecord& chip, MutableRecordBytes bytes) {
    std::fill(bytes.begin(), bytes.end(), uint8_t{0});
    WriteLe(bytes, kTypeOffset, 4, chip.chipType);
    WriteName(bytes, kChipNameOffset, kChipNameFieldSize, chip.chipName, "chip name");
    WriteName(bytes, kMakerNameOffset, kMakerNameFieldSize, chip.makerName, "maker name");
    bytes[kSpareOffset] = chip.spareByte;
    bytes[kVoltageOffset] = chip.voltage;
    WriteLe(bytes, kCapacityOffset, 4, chip.capacity);
    WriteLe(bytes, kPageModeOffset, 4, chip.pageMode);
    WriteLe(bytes, kPageSizeOffset, 2, chip.pageSize);
    bytes[kManufacturerIdOffset] = chip.manufacturerId;
    bytes[kDeviceIdOffset] = chip.deviceId;
    bytes[kModeParamOffset] = chip.modeParam;
    bytes[kDataWidthOffset] = chip.dataWidth;
}

std::vector<uint8_t> EncodeDatabase(const std::vector<ChipRecord>& chips) {
    if (chips.size() > ChipDatabase::kMaxRecords) {
        throw std::invalid_argument(std::to_string(chips.size()) + " records; a database holds at most " +
                                    std::to_string(ChipDatabase::kMaxRecords));
    }
    std::vector<uint8_t> file(ChipDatabase::kHeaderSize + ChipDatabase::kRecordSize * chips.size(), 0);
    file[0] = static_cast<uint8_t>(chips.size());
    file[1] = static_cast<uint8_t>(chips.size() >> 8);
    for (size_t i = 0; i < chips.size(); ++i) {
        auto slot = std::span(file).subspan(ChipDatabase::kHeaderSize + i * ChipDatabase::kRecordSize);
        EncodeRecord(chips[i], slot.first<ChipDatabase::kRecordSize>());
    }
    return file;
}

}  // namespace qbr
