// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/RepeatedRead.h"

#include "base/LargeBytes.h"
#include "buffer/ImageFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace qbr {

RepeatedRead ReadChipRepeatedly(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, unsigned times,
                                Caller caller) {
    RepeatedRead result;
    AssignLarge(result.data, range.length, 0x00);
    static_cast<CommandResult&>(result) = ReadChipRange(core, chip, range, result.data.data(), caller);
    // A single read has nothing to be compared with.
    if (times < 2 || !result.Ok()) return result;
    // The bits any later read had otherwise than the first.
    std::vector<uint8_t> unstable, again;
    AssignLarge(unstable, range.length, 0x00);
    AssignLarge(again, range.length, 0x00);
    for (unsigned read = 1; read < times; ++read) {
        core.Show(result);
        static_cast<CommandResult&>(result) = ReadChipRange(core, chip, range, again.data(), caller);
        if (!result.Ok()) break;
        for (uint32_t i = 0; i < range.length; ++i) unstable[i] |= result.data[i] ^ again[i];
    }
    if (!result.Ok()) return result;
    // A read that differs from the first wherever any read did.
    for (uint32_t i = 0; i < range.length; ++i) unstable[i] ^= result.data[i];
    result.diff = CompareImages(result.data, unstable, range.offset);
    return result;
}

bool AllBytesAre(std::span<const uint8_t> data, uint8_t value) {
    // The first byte is `value` and each byte equals the one before it: one
    // memcmp of the data with itself a byte on, which runs as wide as memcmp does.
    return data.empty() || (data[0] == value && std::memcmp(data.data(), data.data() + 1, data.size() - 1) == 0);
}

namespace {

// Numbered names tried before giving up on a directory full of them.
constexpr unsigned kNumberedNames = 1000;

// A symbolic link takes the name too, even one that leads nowhere; so does a name
// that can't be looked at.
bool NameTaken(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

bool DirectoryOf(const std::string& path) {
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    std::error_code error;
    return directory.empty() || std::filesystem::is_directory(directory, error);
}

// The first free numbered name that takes the data; empty when none does.
std::string SaveUnderFreeName(const std::string& path, std::span<const uint8_t> data) {
    for (unsigned n = 2; n <= kNumberedNames; ++n) {
        const std::string name = NumberedName(path, n);
        const NewFileResult result = SaveNewImage(name, data);
        if (result == NewFileResult::Created) return name;
        if (result == NewFileResult::Failed) break;
    }
    return {};
}

}  // namespace

ChipBackup BackupChip(ProgrammerCore& core, const ChipRecord& chip, const std::string& path, BackupName naming,
                      Caller caller) {
    ChipBackup backup;
    backup.fileExists = naming == BackupName::AsGiven && NameTaken(path);
    if (backup.fileExists || !DirectoryOf(path)) {
        backup.outcome = Outcome::FileError;
        return backup;
    }
    backup.reads = ReadChipRepeatedly(core, chip, WholeChip(chip), 2, caller);
    if (!backup.reads.Agreed()) {
        backup.outcome = backup.reads.outcome == Outcome::Ok ? Outcome::Failed : backup.reads.outcome;
        return backup;
    }
    const NewFileResult saved = SaveNewImage(path, backup.reads.data);
    if (saved == NewFileResult::Created) backup.path = path;
    if (saved == NewFileResult::Exists) {
        backup.fileExists = naming == BackupName::AsGiven;
        backup.path = SaveUnderFreeName(path, backup.reads.data);
    }
    backup.outcome = backup.path.empty() || backup.fileExists ? Outcome::FileError : Outcome::Ok;
    return backup;
}

BackupTarget ChooseBackupTarget(const BackupPlace& place, const ChipRecord& chip, std::time_t when) {
    if (!place.file.empty()) return {place.file, BackupName::AsGiven};
    BackupTarget target;
    target.naming = BackupName::FirstFree;
    std::error_code error;
    target.directoryMade = std::filesystem::create_directories(place.directory, error);
    if (error) return target;
    std::string name = chip.chipName;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'); }, '_');
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    const std::string programmer = place.programmer.empty() ? "" : '-' + place.programmer;
    target.path = (std::filesystem::path(place.directory) / (name + stamp + programmer + ".bin")).string();
    return target;
}

}  // namespace qbr
