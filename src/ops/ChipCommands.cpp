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

Outcome ReadChip(ProgrammerCore& core, const ChipRecord& chip) {
    const RunningCommand running(core, Caller::User);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgReadChipStart));
    if (running.RefuseWhileBusy(BusyLog::NotLogged)) return Outcome::Busy;
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    ProgrammerProtocol& protocol = core.Protocol();
    if (!protocol.StartChipRead(core.Buffer().bytes.data(), 0, chip.capacity)) {
        return ReportFailure(core, kMsgReadChipError);
    }
    core.ShowInfo(MessageText(kMsgReading));
    // A read that ended short left old bytes behind the new ones: it is no copy of
    // the chip, so it fails like any other read.
    if (!PollUntilEnd(core, PollResult::Reading) || protocol.GetBytesRead() < chip.capacity) {
        return ReportFailure(core, kMsgReadChipError);
    }
    core.ShowInfo(MessageText(kMsgReadChipOk) + core.ElapsedText());
    core.SetProgress(100);
    // Every byte read now matches the chip, so none of them counts as changed.
    ClearMarks(core.Buffer(), core.Buffer().activeLength);
    core.Host().RefreshHexView();
    return Outcome::Ok;
}

Outcome EraseChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgEraseChipStart));
    // The EEPROM families are written without erasing.
    if (chip.chipType != kSpiFlash) return Outcome::NotForThisChip;
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    if (!core.Protocol().StartChipErase()) return ReportFailure(core, kMsgEraseChipError);
    core.ShowInfo(MessageText(kMsgErasing));
    core.SetProgress(0);
    core.Host().PumpOneMessage();
    core.Host().PumpOneMessage();
    if (!PollUntilEnd(core, PollResult::Busy)) return ReportFailure(core, kMsgEraseChipError);
    core.SetProgress(100);
    core.ShowInfo(MessageText(kMsgEraseChipOk) + core.ElapsedText());
    return Outcome::Ok;
}

Outcome WriteChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgWriteChipStart));
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    if (!core.Protocol().StartChipWrite(core.Buffer().bytes.data(), 0, chip.capacity, WritePageSize(chip))) {
        return ReportFailure(core, kMsgWriteChipError);
    }
    core.ShowInfo(MessageText(kMsgWriting));
    if (!PollUntilEnd(core, PollResult::Writing)) return ReportFailure(core, kMsgWriteChipError);
    core.ShowInfo(MessageText(kMsgWriteChipOk) + core.ElapsedText());
    core.SetProgress(100);
    return Outcome::Ok;
}

// Runs the steps in order and stops at the first one that fails; that step has
// reported itself already.
CommandResult RunAutoSteps(ProgrammerCore& core, const ChipRecord& chip) {
    if (chip.chipType == kSpiFlash) {
        if (const Outcome erased = EraseChip(core, chip, Caller::AutoStep); erased != Outcome::Ok) return erased;
    }
    if (const Outcome written = WriteChip(core, chip, Caller::AutoStep); written != Outcome::Ok) return written;
    return VerifyChip(core, chip, Caller::AutoStep);
}

}  // namespace

// Each command works on a copy of the chip selected when it began.

CommandResult OnReadChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    return ReadChip(core, chip);
}

CommandResult OnEraseChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    return EraseChip(core, chip, Caller::User);
}

CommandResult OnWriteChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    return WriteChip(core, chip, Caller::User);
}

CommandResult OnVerifyChip(ProgrammerCore& core) {
    const ChipRecord chip = core.SelectedChip();
    return VerifyChip(core, chip, Caller::User);
}

// Auto holds the programmer from its start to its end, so a command chosen while
// one of its steps pumps messages, or between two steps, is refused.
CommandResult OnAuto(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    const ChipRecord chip = core.SelectedChip();
    const uint32_t start = TickCount();
    core.LogText(MessageText(kMsgAutoStart));
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    if (!LinkReady(core)) return Outcome::NoProgrammer;
    CommandResult result = RunAutoSteps(core, chip);
    if (result.Ok()) core.ShowInfo(MessageText(kMsgVerifyChipOk) + ElapsedSince(start));
    return result;
}

}  // namespace qbr
