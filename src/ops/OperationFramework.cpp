// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/OperationFramework.h"

#include "base/MessageTable.h"
#include "buffer/DataBuffer.h"

namespace qbr {

RunningCommand::RunningCommand(ProgrammerCore& core, Caller caller)
    : core_(core),
      wasRunning_(core.Session().IsCommandRunning()),
      insideAnother_(caller == Caller::User && wasRunning_) {
    core_.Session().SetCommandRunning(true);
}

RunningCommand::~RunningCommand() {
    core_.Session().SetCommandRunning(wasRunning_);
}

bool RunningCommand::RefuseWhileBusy(BusyLog log) const {
    if (!insideAnother_ && core_.Session().Protocol().PollOperation() == PollResult::Done) return false;
    core_.ReportBusy(log == BusyLog::Logged);
    return true;
}

Outcome ReportFailure(ProgrammerCore& core, MessageId id) {
    core.ShowError(MessageText(id));
    core.MessageBox(MessageText(id));
    return Outcome::Failed;
}

bool LinkReady(ProgrammerCore& core) {
    if (core.Session().OpenLink()) return true;
    core.ReportNoProgrammer();
    return false;
}

// Every chip command works on the chip's whole range from offset 0 of the buffer,
// so a chip larger than the buffer can't be served.
Outcome PrepareChipTransfer(ProgrammerCore& core, const ChipRecord& chip) {
    if (chip.capacity > DataBuffer::kSize) return ReportFailure(core, kMsgMemoryOverflow);
    if (!LinkReady(core)) return Outcome::NoProgrammer;
    core.Session().StartTiming();
    core.Session().Protocol().SetChipParameters(chip);
    return Outcome::Ok;
}

uint16_t ProgressShare::Percent(uint16_t percent) const {
    if (total == 0) return percent;
    return static_cast<uint16_t>((before * 100 + length * percent) / total);
}

bool PollUntilEnd(ProgrammerCore& core, PollResult inProgress, const ProgressShare& share) {
    for (;;) {
        const PollResult result = core.Session().Protocol().PollOperation();
        if (result == PollResult::Done) return true;
        if (result == PollResult::Failed) return false;
        if (result == inProgress) {
            core.SetProgress(share.Percent(core.Session().Protocol().GetPercent()));
            core.Session().Wait();
        }
    }
}

}  // namespace qbr
