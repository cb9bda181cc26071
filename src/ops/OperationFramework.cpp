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

std::optional<CommandResult> RunningCommand::Refusal(BusyLog log) const {
    if (!insideAnother_ && core_.Session().Protocol().PollOperation() == PollResult::Done) return std::nullopt;
    return ProgrammerCore::Busy(log == BusyLog::Logged);
}

CommandResult Failure(MessageId id, bool boxed) {
    CommandResult result(Outcome::Failed,
                         {.status = MessageText(id), .error = true, .box = boxed ? MessageText(id) : ""});
    result.message = id;
    return result;
}

// Every chip command works on the chip's whole range from offset 0 of the buffer,
// so a chip larger than the buffer can't be served.
CommandResult PrepareChipTransfer(ProgrammerCore& core, const ChipRecord& chip) {
    if (chip.capacity > DataBuffer::kSize) return Failure(kMsgMemoryOverflow);
    if (!core.Session().OpenLink()) return core.NoProgrammer();
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
