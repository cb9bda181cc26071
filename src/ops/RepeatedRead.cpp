// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/RepeatedRead.h"

#include "buffer/ImageFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace qbr {

RepeatedRead ReadChipRepeatedly(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, unsigned times) {
    RepeatedRead result;
    result.data.assign(range.length, 0x00);
    result.outcome = ReadChipRange(core, chip, range, result.data.data(), Caller::User);
    // The bits any later read had otherwise than the first.
    std::vector<uint8_t> unstable(range.length, 0x00);
    std::vector<uint8_t> again(range.length);
    for (unsigned read = 1; read < times && result.outcome == Outcome::Ok; ++read) {
        result.outcome = ReadChipRange(core, chip, range, again.data(), Caller::User);
        if (result.outcome != Outcome::Ok) break;
        for (uint32_t i = 0; i < range.length; ++i) unstable[i] |= result.data[i] ^ again[i];
    }
    if (result.outcome != Outcome::Ok) return result;
    // A read that differs from the first wherever any read did.
    for (uint32_t i = 0; i < range.length; ++i) unstable[i] ^= result.data[i];
    result.diff = CompareImages(result.data, unstable, range.offset);
    return result;
}

bool AllBytesAre(std::span<const uint8_t> data, uint8_t value) {
    return std::all_of(data.begin(), data.end(), [value](uint8_t byte) { return byte == value; });
}

ChipBackup BackupChip(ProgrammerCore& core, const ChipRecord& chip, const std::string& path) {
    ChipBackup backup;
    std::error_code error;
    backup.fileExists = std::filesystem::exists(path, error) || error;
    if (backup.fileExists) {
        backup.outcome = Outcome::FileError;
        return backup;
    }
    backup.reads = ReadChipRepeatedly(core, chip, WholeChip(chip), 2);
    if (!backup.reads.Agreed()) {
        backup.outcome = backup.reads.outcome == Outcome::Ok ? Outcome::Failed : backup.reads.outcome;
        return backup;
    }
    backup.outcome = SaveImage(path, backup.reads.data) ? Outcome::Ok : Outcome::FileError;
    return backup;
}

std::string BackupFileName(const ChipRecord& chip, std::time_t when) {
    std::string name = chip.chipName;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'); }, '_');
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S.bin", &local);
    return name + stamp;
}

}  // namespace qbr
