// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Workspace.h"

#include "base/ConfiguredFiles.h"
#include "base/Language.h"
#include "base/MessageTable.h"

namespace qbr {
namespace {

// The chip selected at start: the configured default chip, else EN25T80, else the
// first record.
ChipRecord DefaultChip(const ChipDatabase& database) {
    if (auto chip = database.FindByName(MessageText(kMsgDefaultChipName))) return *chip;
    if (auto chip = database.FindByName("EN25T80")) return *chip;
    return database.Records().front();
}

}  // namespace

Workspace::StartResult Workspace::Start(const std::string& databasePath) {
    const std::string path = databasePath.empty() ? ConfiguredFilePath(ConfiguredFile::Database) : databasePath;
    // An empty database selects no chip, so it fails like a damaged one.
    if (!database_.Load(path) || database_.RecordCount() == 0) return StartResult::DatabaseError;
    if (!buffer_.Allocate()) return StartResult::OutOfMemory;
    SelectChip(DefaultChip(database_));
    ready_ = true;
    return StartResult::Ready;
}

void Workspace::SelectChip(const ChipRecord& chip) {
    selectedChip_ = chip;
    buffer_.SetActiveLength(chip.capacity);
    if (rememberSelectedChip_) SaveDefaultChipName(chip.chipName);
}

}  // namespace qbr
