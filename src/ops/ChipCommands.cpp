// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipCommands.h"

#include "base/MessageTable.h"
#include "base/TickCount.h"
#include "buffer/ChangeMarks.h"
#include "chipdb/ChipType.h"
#include "ops/ChipVerify.h"
#include "ops/OperationFramework.h"

namespace qbr {

namespace {

// Chips written byte by byte get a page of one byte.
uint16_t WritePageSize(const ChipRecord& chip) {
    return chip.pageMode != 0 ? chip.pageSize : 1;
}

// "   " + "Elapsed time: " + the milliseconds since `start` + " ms".
std::string ElapsedSince(uint32_t start) {
    const auto elapsed = static_cast<int32_t>(TickCount() - start);
    return "   " + MessageText(kMsgElapsedTime) + std::to_string(elapsed) + " ms";
}

void ReadChip(ProgrammerCore& core, const ChipRecord& chip) {
    const RunningCommand running(core, Caller::User);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgReadChipStart));
    if (running.RefuseWhileBusy(BusyLog::NotLogged) || !PrepareChipTransfer(core, chip)) return;
    if (!core.protocol.StartChipRead(core.buffer.bytes.data(), 0, chip.capacity)) {
        ReportFailure(core, kMsgReadChipError);
        return;
    }
    core.ShowInfo(MessageText(kMsgReading));
    // A read that ended short left old bytes behind the new ones: it is no copy of
    // the chip, so it fails like any other read.
    if (!PollUntilEnd(core, PollResult::Reading) || core.protocol.GetBytesRead() < chip.capacity) {
        ReportFailure(core, kMsgReadChipError);
        return;
    }
    core.ShowInfo(MessageText(kMsgReadChipOk) + core.ElapsedText());
    core.SetProgress(100);
    // Every byte read now matches the chip, so none of them counts as changed.
    ClearMarks(core.buffer, core.buffer.activeLength);
    core.Host().RefreshHexView();
}

void EraseChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    StepOutcome outcome(core);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgEraseChipStart));
    // The EEPROM families are written without erasing.
    if (chip.chipType != kSpiFlash) return;
    if (running.RefuseWhileBusy(BusyLog::Logged) || !PrepareChipTransfer(core, chip)) return;
    if (!core.protocol.StartChipErase()) {
        ReportFailure(core, kMsgEraseChipError);
        return;
    }
    core.ShowInfo(MessageText(kMsgErasing));
    core.SetProgress(0);
    core.Host().PumpOneMessage();
    core.Host().PumpOneMessage();
    if (!PollUntilEnd(core, PollResult::Busy)) {
        ReportFailure(core, kMsgEraseChipError);
        return;
    }
    core.SetProgress(100);
    core.ShowInfo(MessageText(kMsgEraseChipOk) + core.ElapsedText());
    outcome.Completed();
}

void WriteChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    StepOutcome outcome(core);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgWriteChipStart));
    if (running.RefuseWhileBusy(BusyLog::Logged) || !PrepareChipTransfer(core, chip)) return;
    if (!core.protocol.StartChipWrite(core.buffer.bytes.data(), 0, chip.capacity, WritePageSize(chip))) {
        ReportFailure(core, kMsgWriteChipError);
        return;
    }
    core.ShowInfo(MessageText(kMsgWriting));
    if (!PollUntilEnd(core, PollResult::Writing)) {
        ReportFailure(core, kMsgWriteChipError);
        return;
    }
    core.ShowInfo(MessageText(kMsgWriteChipOk) + core.ElapsedText());
    core.SetProgress(100);
    outcome.Completed();
}

// Runs the steps in order and stops at the first one that fails; that step has
// reported itself already.
bool RunAutoSteps(ProgrammerCore& core, const ChipRecord& chip) {
    if (chip.chipType == kSpiFlash) {
        EraseChip(core, chip, Caller::AutoStep);
        if (!core.lastStepOk) return false;
    }
    WriteChip(core, chip, Caller::AutoStep);
    if (!core.lastStepOk) return false;
    VerifyChip(core, chip, Caller::AutoStep);
    return core.lastStepOk;
}

}  // namespace

// Each command works on a copy of the chip selected when it began.

void OnReadChip(ProgrammerCore& core) {
    const ChipRecord chip = core.selectedChip;
    ReadChip(core, chip);
}

void OnEraseChip(ProgrammerCore& core) {
    const ChipRecord chip = core.selectedChip;
    EraseChip(core, chip, Caller::User);
}

void OnWriteChip(ProgrammerCore& core) {
    const ChipRecord chip = core.selectedChip;
    WriteChip(core, chip, Caller::User);
}

void OnVerifyChip(ProgrammerCore& core) {
    const ChipRecord chip = core.selectedChip;
    VerifyChip(core, chip, Caller::User);
}

// Auto holds the programmer from its start to its end, so a command chosen while
// one of its steps pumps messages, or between two steps, is refused.
void OnAuto(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    const ChipRecord chip = core.selectedChip;
    const uint32_t start = TickCount();
    core.LogText(MessageText(kMsgAutoStart));
    if (running.RefuseWhileBusy(BusyLog::Logged) || !LinkReady(core)) return;
    if (!RunAutoSteps(core, chip)) return;
    core.ShowInfo(MessageText(kMsgVerifyChipOk) + ElapsedSince(start));
}

}  // namespace qbr
