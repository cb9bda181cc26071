// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipCommands.h"

#include "base/MessageTable.h"
#include "base/TickCount.h"
#include "buffer/ChangeMarks.h"
#include "chipdb/ChipType.h"
#include "ops/ChipTransfers.h"
#include "ops/ChipVerify.h"
#include "ops/OperationFramework.h"
#include "ops/SparseWrite.h"

#include <algorithm>
#include <span>
#include <vector>

namespace qbr {

namespace {

// The runs Auto writes: the whole chip, or after the erase of an SPI flash only
// the runs that hold data when told to skip the blank ones.
std::vector<ChipRange> AutoWriteRuns(ProgrammerCore& core, const ChipRecord& chip, AutoWrite write) {
    if (write == AutoWrite::SkipBlank && IsErasable(FamilyOf(chip))) {
        const uint32_t length = std::min(chip.capacity, DataBuffer::kSize);
        return DataRuns(std::span(core.Buffer().bytes).first(length), chip.pageSize);
    }
    return {WholeChip(chip)};
}

// Runs the steps in order and stops at the first one that fails, whose words are
// Auto's; the end of each step that went well is shown as Auto goes on.
CommandResult RunAutoSteps(ProgrammerCore& core, const ChipRecord& chip, AutoWrite write) {
    if (IsErasable(FamilyOf(chip))) {
        const CommandResult erased = EraseChip(core, chip, Caller::AutoStep);
        if (!erased.Ok()) return erased;
        core.Show(erased);
    }
    const std::vector<ChipRange> runs = AutoWriteRuns(core, chip, write);
    const CommandResult written = WriteChipRuns(core, chip, runs, Caller::AutoStep);
    if (!written.Ok()) return written;
    core.Show(written);
    return VerifyChip(core, chip, Caller::AutoStep);
}

}  // namespace

// Each command works on a copy of the chip selected when it began.

CommandResult OnReadChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    CommandResult read = ReadChipRange(core, chip, WholeChip(chip), core.Buffer().bytes.data(), Caller::User);
    // Every byte read now matches the chip, so none of them counts as changed.
    if (read.Ok()) ClearMarks(core.Buffer(), core.Buffer().activeLength);
    return read;
}

RepeatedRead ReadChipTwiceIntoBuffer(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (auto refused = running.Refusal(BusyLog::Logged)) return {*refused, {}, {}};
    const ChipRecord chip = core.SelectedChip();
    RepeatedRead read = ReadChipRepeatedly(core, chip, WholeChip(chip), 2, Caller::AutoStep);
    if (!read.Agreed()) return read;
    std::copy(read.data.begin(), read.data.end(), core.Buffer().bytes.begin());
    ClearMarks(core.Buffer(), core.Buffer().activeLength);
    return read;
}

CommandResult OnEraseChip(ProgrammerCore& core) {
    return EraseChip(core, ChipRecord(core.SelectedChip()), Caller::User);
}

CommandResult OnWriteChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    const ChipRange whole = WholeChip(chip);
    return WriteChipRuns(core, chip, std::span(&whole, 1), Caller::User);
}

CommandResult OnVerifyChip(ProgrammerCore& core) {
    return VerifyChip(core, ChipRecord(core.SelectedChip()), Caller::User);
}

namespace {

// Auto's sequence, holding the programmer as `caller`.
CommandResult RunAutoHeld(ProgrammerCore& core, AutoWrite write, Caller caller) {
    const RunningCommand running(core, caller);
    const ChipRecord chip = core.SelectedChip();
    const uint32_t start = TickCount();
    core.LogText(MessageText(kMsgAutoStart));
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    if (!core.Session().OpenLink()) return core.NoProgrammer();
    CommandResult result = RunAutoSteps(core, chip, write);
    if (!result.Ok()) return result;
    // The verify's own end, then the time of the whole sequence.
    core.Show(result);
    return {Outcome::Ok, {.status = MessageText(kMsgVerifyChipOk) + core.ElapsedText(start)}};
}

}  // namespace

// Auto holds the programmer from its start to its end, so a command chosen while
// one of its steps pumps messages, or between two steps, is refused.
CommandResult RunAuto(ProgrammerCore& core, AutoWrite write) {
    return RunAutoHeld(core, write, Caller::User);
}

CommandResult RunAutoAsStep(ProgrammerCore& core, AutoWrite write) {
    return RunAutoHeld(core, write, Caller::AutoStep);
}

CommandResult OnAuto(ProgrammerCore& core) {
    return RunAuto(core, AutoWrite::WholeChip);
}

}  // namespace qbr
