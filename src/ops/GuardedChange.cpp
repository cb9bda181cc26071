// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/GuardedChange.h"

#include "base/TextFill.h"
#include "ops/ChipCommands.h"
#include "ops/ChipTransfers.h"
#include "ops/DiffWording.h"

namespace qbr {
namespace {

// Why the chip was not changed: the copy couldn't be saved, the reads differed
// (and where), or a read failed.
CommandResult Refusal(const ChipBackup& backup, const std::string& path) {
    const DiffWording& wording = CurrentDiffWording();
    std::string status = wording.backupFailed;
    std::string box = status;
    if (backup.outcome == Outcome::FileError) {
        status = box = Fill(wording.backupFileError, {path});
    } else if (backup.reads.Ok()) {
        status = wording.backupReadsDiffer;
        box = status + "\n\n" + DiffRangesText(backup.reads.diff, kBoxRangesListed);
    }
    return {backup.outcome, {.status = status, .error = true, .box = box}};
}

CommandResult Change(ProgrammerCore& core, const ChipRecord& chip, ChipChange change) {
    const ChipRange whole = WholeChip(chip);
    switch (change) {
    case ChipChange::Erase: return EraseChip(core, chip, Caller::AutoStep);
    case ChipChange::Write: return WriteChipRuns(core, chip, std::span(&whole, 1), Caller::AutoStep);
    case ChipChange::Auto: break;
    }
    return RunAutoAsStep(core, AutoWrite::WholeChip);
}

}  // namespace

GuardedChange BackUpThenChange(ProgrammerCore& core, const std::string& directory, ChipChange change,
                               std::time_t when) {
    GuardedChange guarded;
    const RunningCommand running(core, Caller::User);
    if (auto refused = running.Refusal(BusyLog::Logged)) {
        guarded.result = *refused;
        return guarded;
    }
    const ChipRecord chip = core.SelectedChip();
    const BackupTarget target = ChooseBackupTarget({"", directory, ""}, chip, when);
    if (target.path.empty()) {
        guarded.backup.outcome = Outcome::FileError;
        guarded.result = Refusal(guarded.backup, directory);
        return guarded;
    }
    guarded.backup = BackupChip(core, chip, target.path, target.naming, Caller::AutoStep);
    core.Show(guarded.backup.reads);
    if (guarded.backup.outcome != Outcome::Ok) {
        guarded.result = Refusal(guarded.backup, target.path);
        return guarded;
    }
    core.LogText(Fill(CurrentDiffWording().backupSaved, {guarded.backup.path}));
    guarded.result = Change(core, chip, change);
    return guarded;
}

}  // namespace qbr
