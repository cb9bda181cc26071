// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipTransfers.h"

#include "base/MessageTable.h"
#include "chipdb/ChipType.h"

#include <algorithm>

namespace qbr {

namespace {

// The words of a transfer that ended well: its completion text with the elapsed
// time, then the bar at 100.
CommandResult Completed(ProgrammerCore& core, MessageId id) {
    return {Outcome::Ok, {.status = MessageText(id) + core.ElapsedText(), .progress = 100}};
}

}  // namespace

CommandResult ReadChipRange(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, uint8_t* destination,
                            Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgReadChipStart));
    if (auto refused = running.Refusal(BusyLog::NotLogged)) return *refused;
    if (!RangeInside(chip, range)) return Failure(kMsgReadChipError);
    if (CommandResult prepared = PrepareChipTransfer(core, chip); !prepared.Ok()) return prepared;
    ProgrammerProtocol& protocol = core.Session().Protocol();
    if (!protocol.StartChipRead(destination, range.offset, range.length)) return Failure(kMsgReadChipError);
    core.ShowInfo(MessageText(kMsgReading));
    if (!PollUntilEnd(core, PollResult::Reading) || protocol.GetBytesRead() < range.length) {
        return Failure(kMsgReadChipError);
    }
    return Completed(core, kMsgReadChipOk);
}

CommandResult EraseChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgEraseChipStart));
    // The EEPROM families are written without erasing.
    if (!IsErasable(FamilyOf(chip))) return Outcome::NotForThisChip;
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    if (CommandResult prepared = PrepareChipTransfer(core, chip); !prepared.Ok()) return prepared;
    if (!core.Session().Protocol().StartChipErase()) return Failure(kMsgEraseChipError);
    core.ShowInfo(MessageText(kMsgErasing));
    core.SetProgress(0);
    if (!PollUntilEnd(core, PollResult::Busy)) return Failure(kMsgEraseChipError);
    core.SetProgress(100);
    return {Outcome::Ok, {.status = MessageText(kMsgEraseChipOk) + core.ElapsedText()}};
}

CommandResult WriteChipRuns(ProgrammerCore& core, const ChipRecord& chip, std::span<const ChipRange> runs,
                            Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgWriteChipStart));
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    const bool inside = std::all_of(runs.begin(), runs.end(),
                                    [&chip](ChipRange run) { return RangeInside(chip, run); });
    if (!inside) return Failure(kMsgWriteChipError);
    if (CommandResult prepared = PrepareChipTransfer(core, chip); !prepared.Ok()) return prepared;
    const uint8_t* image = core.Buffer().bytes.data();
    // Chips written byte by byte get a page of one byte.
    const uint16_t pageSize = chip.pageMode != 0 ? chip.pageSize : 1;
    ProgressShare share{0, 0, 0};
    for (const ChipRange& run : runs) share.total += run.length;
    for (const ChipRange& run : runs) {
        if (!core.Session().Protocol().StartChipWrite(image + run.offset, run.offset, run.length, pageSize)) {
            return Failure(kMsgWriteChipError);
        }
        core.ShowInfo(MessageText(kMsgWriting));
        share.length = run.length;
        if (!PollUntilEnd(core, PollResult::Writing, share)) return Failure(kMsgWriteChipError);
        share.before += run.length;
    }
    return Completed(core, kMsgWriteChipOk);
}

}  // namespace qbr
